# SPDX-License-Identifier: GPL-3.0-or-later
# Installation in the freedesktop.org layout and the Debian package.
#   cmake --install build --prefix /usr/local
#   cd build && cpack -G DEB
include(GNUInstallDirs)
set(TROVIX_APP_ID io.github.trovix.Trovix)
set(data ${PROJECT_SOURCE_DIR}/data)

install(TARGETS Trovix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${data}/${TROVIX_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${data}/${TROVIX_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${data}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
# D-Bus activation of the program's own name and of the file manager name;
# the second file is named after the program so that it never collides with
# another file manager's file for the same name. Their Exec paths are written
# at install time, from the prefix the install (or the package) uses.
foreach(service ${TROVIX_APP_ID} ${TROVIX_APP_ID}.FileManager1)
  install(CODE "
    set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
    set(folder \"\$ENV{DESTDIR}\${prefix}/${CMAKE_INSTALL_DATADIR}/dbus-1/services\")
    file(READ \"${data}/${service}.service.in\" text)
    string(REPLACE \"@TROVIX_BINDIR@\" \"\${prefix}/${CMAKE_INSTALL_BINDIR}\" text \"\${text}\")
    message(STATUS \"Installing: \${folder}/${service}.service\")
    file(MAKE_DIRECTORY \"\${folder}\")
    file(WRITE \"\${folder}/${service}.service\" \"\${text}\")
  ")
endforeach()
# Debian keeps the licence of a package as its copyright file.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/trovix
  RENAME copyright)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/trovix)

set(CPACK_PACKAGE_NAME trovix)
set(CPACK_PACKAGE_VENDOR "The Trovix developers")
set(CPACK_PACKAGE_CONTACT "The Trovix developers <trovix@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fast, safe file manager with a viewer, search and compare")
set(CPACK_PACKAGE_DESCRIPTION "Trovix is a desktop file manager with browse tabs, a folder tree \
and a file grid. Copies, moves and deletes run in the background and never harm an existing \
file; a built-in viewer, a file search that finds duplicates and a text compare come with it.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://github.com/trovix/trovix")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_LICENSE GPL-3.0-or-later)
# Library dependencies come from dpkg-shlibdeps; what is only loaded at run
# time (the media back end, the opener of files) is recommended.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-libav, xdg-utils, dbus-user-session | dbus-x11")
include(CPack)
