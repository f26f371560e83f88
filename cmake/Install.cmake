# What `cmake --install` lays out, and the packages made from it (CPack: a
# Debian package, a zip for Windows).
#
# Linux (prefix /usr for the package, /usr/local by default):
#   bin/obsidel                     the host, finding its libraries through $ORIGIN
#   lib/obsidel/vumira.so           the module, where the host looks when none is named
#   lib/obsidel/libwin32subset.so   the Win32 subset the two share
#   share/obsidel/styles/           the shipped styles (../share/obsidel/styles from bin/)
#   share/applications/obsidel.desktop, share/man/man1/obsidel.1
# Windows (the zip): bin/obsidel.exe and bin/vumira.dll side by side,
#   share/obsidel/styles/, and README.txt at the top.

set(OBSIDEL_LIB_DIR lib/obsidel)
file(GLOB OBSIDEL_STYLE_FILES ${PROJECT_SOURCE_DIR}/share/styles/*.style)
install(FILES ${OBSIDEL_STYLE_FILES} DESTINATION share/obsidel/styles)

if(WIN32)
    install(TARGETS obsidel RUNTIME DESTINATION bin)
    install(TARGETS vumira LIBRARY DESTINATION bin RUNTIME DESTINATION bin)
    install(FILES ${PROJECT_SOURCE_DIR}/share/windows/README.txt DESTINATION .)
else()
    set_target_properties(obsidel PROPERTIES INSTALL_RPATH "$ORIGIN/../${OBSIDEL_LIB_DIR}")
    set_target_properties(vumira PROPERTIES INSTALL_RPATH "$ORIGIN")
    install(TARGETS obsidel RUNTIME DESTINATION bin)
    install(TARGETS vumira LIBRARY DESTINATION ${OBSIDEL_LIB_DIR})
    install(TARGETS win32subset LIBRARY DESTINATION ${OBSIDEL_LIB_DIR} NAMELINK_SKIP)
    # Only the version is filled in: the page's other @...@ texts (the
    # sound server's @DEFAULT_MONITOR@) are meant as they stand.
    file(READ ${PROJECT_SOURCE_DIR}/share/man/obsidel.1 OBSIDEL_MANUAL)
    string(REPLACE "@PROJECT_VERSION@" "${PROJECT_VERSION}" OBSIDEL_MANUAL "${OBSIDEL_MANUAL}")
    file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/share/man/obsidel.1 CONTENT "${OBSIDEL_MANUAL}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/share/man/obsidel.1)
    install(FILES ${CMAKE_BINARY_DIR}/share/man/obsidel.1 DESTINATION share/man/man1)
    install(FILES ${PROJECT_SOURCE_DIR}/share/applications/obsidel.desktop DESTINATION share/applications)
endif()

set(CPACK_PACKAGE_NAME obsidel)
set(CPACK_PACKAGE_VENDOR "The Vumira developers")
set(CPACK_PACKAGE_CONTACT "The Vumira developers <developers@vumira.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Vumira, a real-time audio spectrum analyser, in its Obsidel host")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_HOMEPAGE_URL "https://vumira.invalid/")
set(CPACK_STRIP_FILES ON)
if(WIN32)
    set(CPACK_GENERATOR ZIP)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(CPACK_SYSTEM_NAME win64)
    else()
        set(CPACK_SYSTEM_NAME win32)
    endif()
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION sound)
    # The first line is the synopsis; the others, the long description.
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
        "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}\nVumira records from the sound server, ALSA or a sound file, and shows\nthe spectrum as bars in a small floating window, in a terminal, or in\nmemory. It runs as a plug-in of the small Obsidel host shell.")
    # The libraries the programs link, found by dpkg-shlibdeps; the subset's
    # own library is private to the package.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
endif()
include(CPack)
