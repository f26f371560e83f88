; The Windows installer (makensis, run by scripts/package.sh win64|win32):
; obsidel.exe, vumira.dll, the styles and the read-me under Program Files,
; a Start-menu entry, and an uninstaller listed among the installed programs.
;
; Defines given by package.sh:
;   VERSION   the project's version
;   ARCH      win64 or win32
;   FILES     an include that lists the files (fileList and removeFileList
;             macros, one line a file, written from the installation tree)
;   OUTFILE   the installer to write
;
; No Vumira.rc is installed: the folder under Program Files is not the
; user's to write, so the plug-in's first change writes Vumira.rc in the
; host's configuration folder (%APPDATA%\Obsidel), where obsidel.rc lives
; too. The uninstaller removes only what the installer put there: the
; user's settings stay, wherever they are.
Unicode true
!if "${ARCH}" == "win64"
    Target amd64-unicode
    InstallDir "$PROGRAMFILES64\Vumira"
!else
    Target x86-unicode
    InstallDir "$PROGRAMFILES\Vumira"
!endif
!include "${FILES}"
!include "LogicLib.nsh"
!include "x64.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vumira"

Name "Vumira ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
!if "${ARCH}" == "win64"
    ${IfNot} ${RunningX64}
        MessageBox MB_OK|MB_ICONSTOP "This is the installer for 64-bit Windows; use the win32 one here." /SD IDOK
        Abort
    ${EndIf}
    SetRegView 64
!endif
FunctionEnd

Function un.onInit
!if "${ARCH}" == "win64"
    SetRegView 64
!endif
FunctionEnd

Section "Vumira"
    !insertmacro fileList
    WriteUninstaller "$INSTDIR\uninstall.exe"
    SetShellVarContext all
    CreateShortcut "$SMPROGRAMS\Vumira.lnk" "$INSTDIR\bin\obsidel.exe" "" "$INSTDIR\bin\obsidel.exe" 0 \
        SW_SHOWNORMAL "" "Vumira, a real-time audio spectrum analyser"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Vumira ${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Vumira developers"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\bin\obsidel.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    Delete "$SMPROGRAMS\Vumira.lnk"
    !insertmacro removeFileList
    Delete "$INSTDIR\uninstall.exe"
    ; Only empty folders go: one that holds a file of the user's stays.
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
