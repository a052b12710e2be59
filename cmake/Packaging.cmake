# `cpack -G DEB` in the build folder: velkaf_<version>_<arch>.deb from the install rules (the
# program, KORU.sys, the desktop entry, the icons, the file types and the AppStream metadata),
# its Depends worked out by dpkg-shlibdeps from the program's libraries. libmpv is opened at
# run time (dlopen), so no library link names it: it is added by hand.
set(VELKAF_PACKAGE_MAINTAINER "VELKAF developers <velkaf@users.noreply.github.com>"
    CACHE STRING "The Maintainer field of the Debian package")

# What a Debian package must carry in /usr/share/doc/velkaf: the copyright and, for a native
# package, its changelog compressed without a time stamp (reproducible); and the manual page.
execute_process(COMMAND date -u -R -d "${VELKAF_RELEASE_DATE}" OUTPUT_VARIABLE VELKAF_CHANGELOG_DATE
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
configure_file(${CMAKE_SOURCE_DIR}/res/package/changelog.in ${CMAKE_BINARY_DIR}/package/changelog @ONLY)
execute_process(COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/package/changelog
                OUTPUT_FILE ${CMAKE_BINARY_DIR}/package/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${CMAKE_SOURCE_DIR}/res/package/copyright ${CMAKE_BINARY_DIR}/package/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/package/velkaf.1)
execute_process(COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/res/package/velkaf.1
                OUTPUT_FILE ${CMAKE_BINARY_DIR}/package/velkaf.1.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${CMAKE_BINARY_DIR}/package/velkaf.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_PACKAGE_NAME velkaf)
set(CPACK_PACKAGE_VENDOR "VELKAF developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small skinned media player with a Japanese interface")
set(CPACK_PACKAGE_DESCRIPTION
    "VELKAF plays music and video files from a playlist, in order or shuffled,
with or without repeat. Its small borderless window is drawn entirely from
a skin picture: transport buttons, a scrolling title, a track counter, a
time field, position and volume knobs. It plays through libmpv and shows
tags read with TagLib.")
set(CPACK_PACKAGE_CONTACT "${VELKAF_PACKAGE_MAINTAINER}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELKAF_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VELKAF_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libmpv2 (>= 0.35)")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
