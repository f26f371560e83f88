// CreateFileA and CloseHandle, for as much as their callers need: a new
// file made for writing (CREATE_NEW), so that a program can learn whether a
// folder takes new files, removed at its close with FILE_FLAG_DELETE_ON_CLOSE.
//
// Promises, as Windows keeps them: a file that exists already fails with
// ERROR_FILE_EXISTS, a folder that does not exist with ERROR_PATH_NOT_FOUND,
// one that may not be written (its mode, a read-only or immutable file
// system) with ERROR_ACCESS_DENIED; any other creation mode, access or a
// template file give ERROR_INVALID_PARAMETER. CloseHandle of anything but
// such a file fails with ERROR_INVALID_HANDLE.
#include <windows.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <string>

#include "kernel/last_error.h"

namespace {

struct OpenFile {
    int descriptor;
    std::string path;
    bool deleteOnClose;
};

std::mutex filesLock;
std::map<HANDLE, OpenFile>& openFiles() {
    static std::map<HANDLE, OpenFile> files;
    return files;
}
ULONG_PTR lastHandle = 0x4000;  // apart from the small numbers of pseudo handles

DWORD errorOf(int code) {
    switch (code) {
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENOENT:
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    default: return ERROR_ACCESS_DENIED;  // EACCES, EPERM, EROFS and the like
    }
}

}  // namespace

extern "C" {

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD creation,
                          DWORD flagsAndAttributes, HANDLE templateFile) {
    if (!fileName || !*fileName || access != GENERIC_WRITE || creation != CREATE_NEW || templateFile) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const int descriptor = open(fileName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        SetLastError(errorOf(errno));
        return INVALID_HANDLE_VALUE;
    }
    std::lock_guard<std::mutex> guard(filesLock);
    HANDLE handle = reinterpret_cast<HANDLE>(lastHandle += 4);
    openFiles()[handle] = OpenFile{descriptor, fileName, (flagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0};
    SetLastError(0);
    return handle;
}

BOOL WINAPI CloseHandle(HANDLE object) {
    OpenFile file;
    {
        std::lock_guard<std::mutex> guard(filesLock);
        auto found = openFiles().find(object);
        if (found == openFiles().end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        file = found->second;
        openFiles().erase(found);
    }
    if (file.deleteOnClose) unlink(file.path.c_str());
    close(file.descriptor);
    return TRUE;
}

}  // extern "C"
