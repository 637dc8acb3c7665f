# What `cmake --install` places beside the programs, and the Debian package built from it
# (`cpack -G DEB` in the build folder).
#
# The package holds what an install holds, every component (the programs, their resources, the
# desktop entries and icon, the udev rule, the README), and nothing else: the simulator, the
# benchmarks and the tests have no install rules.

set(ZR_PACKAGE_NAME zerelta-scanner-tools)

install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/resources/debian/copyright
        DESTINATION share/doc/${ZR_PACKAGE_NAME})

# The package's Maintainer field: set by whoever builds the package. cpack refuses to build a
# Debian package without it (cmake/PackageMaintainer.cmake).
set(ZR_PACKAGE_MAINTAINER "" CACHE STRING "The Debian package's maintainer, \"Name <address>\"")

set(CPACK_PACKAGE_NAME ${ZR_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zerelta scanner tools for Linux")
set(CPACK_PACKAGE_CONTACT "${ZR_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZR_PACKAGE_MAINTAINER}")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/PackageMaintainer.cmake)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "settings and push-scan monitor for Zerelta QMX-7315W and QMX-7305 scanners")
set(CPACK_PACKAGE_INSTALL_DIRECTORY ${ZR_PACKAGE_NAME})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The long description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Remote Setup (morvane-qmx7315w, morvane-qmx7305) finds the scanner on USB or, for the
QMX-7315W, on the network, and shows, edits, exports and imports all of its settings.
.
The push-scan monitor (tullet-qmx7315w, tullet-qmx7305) registers this computer with the
scanner and starts a scan application when the scanner's scan button is pressed.
.
A udev rule gives the user at the seat access to the scanners on USB.")
# The shared libraries the programs link (Qt 6 Core, Gui, Widgets, DBus and SVG, libusb-1.0, the
# Avahi client, libplist, the C++ runtime) are read from the programs by dpkg-shlibdeps; Qt's
# platform plugins are loaded at run time, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Network scanners are found through the Avahi daemon; the monitor starts simple-scan by default.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "avahi-daemon, simple-scan")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/resources/debian/postinst ${CMAKE_SOURCE_DIR}/resources/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
