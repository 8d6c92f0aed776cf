# The Debian package, made by CPack (scripts/package.sh runs it). Its
# dependencies are what dpkg-shlibdeps finds in the programs, plus Python for
# the Python programs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rover-server)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The rover-server authors")
set(CPACK_PACKAGE_CONTACT "The rover-server authors <rover-server@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "simulation server for a rover-steering programming game")
# CPack puts the summary on the Description line and this text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Contestants write controller programs that connect over TCP and steer a
rover home across a map of craters, boulders and hostile Martians. The server
plays every run in real time or in lockstep, referees it and scores it, and
can show the world in an OpenGL window.
.
Beside it come rover-replay (verifies and draws game records), rover-mapcheck,
an example controller (rover-pilot), a map generator, a tournament runner for
GNU parallel or Slurm, a browser viewer for records, example maps, and
systemd units that serve games on a port.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS python3)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "parallel, bubblewrap")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS slurm-client)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/prerm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# DESTDIR installs: the tree is installed for /usr, so the units name
# /usr/bin/rover-server, and the units go to /lib/systemd/system.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
