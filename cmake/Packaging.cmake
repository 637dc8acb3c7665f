# What `cmake --install` places beside the programs, and the Debian package built from it
# (`cpack -G DEB` in the build folder).
#
# The package holds what an install holds, every component (the programs, their resources, the
# desktop entries and icon, the udev rule, the manual pages, the AppStream metadata, the README,
# the changelog and the copyright file), and nothing else: the simulator, the benchmarks and the
# tests have no install rules. The package strips the programs; `cmake --install --strip` does
# the same, and then installs the same files.

set(ZR_PACKAGE_NAME zerelta-scanner-tools)
set(ZR_DOC_DIR share/doc/${ZR_PACKAGE_NAME})
# The package's Maintainer field, who also signs the changelog: set by whoever builds the
# package. cpack refuses to build a Debian package without it (cmake/PackageMaintainer.cmake).
set(ZR_PACKAGE_MAINTAINER "" CACHE STRING "The Debian package's maintainer, \"Name <address>\"")

# ---- The release: the changelog's latest entry ----------------------------------------------
# resources/debian/changelog names each release; its latest is this project's version, and its
# date is the release date the manual pages and the AppStream metadata show.
file(STRINGS ${CMAKE_SOURCE_DIR}/resources/debian/changelog zr_changelog LIMIT_COUNT 40)
list(GET zr_changelog 0 zr_first)
if(NOT zr_first MATCHES "^${ZR_PACKAGE_NAME} \\(([^)]+)\\) ")
  message(FATAL_ERROR "resources/debian/changelog does not begin with an entry of ${ZR_PACKAGE_NAME}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "resources/debian/changelog's latest entry is version ${CMAKE_MATCH_1}, the project's is "
                      "${PROJECT_VERSION}: add an entry for ${PROJECT_VERSION}")
endif()
foreach(line IN LISTS zr_changelog)
  if(line MATCHES "^ -- .*  [A-Z][a-z][a-z], ([0-9]+) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    set(zr_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    list(FIND zr_months ${CMAKE_MATCH_2} zr_month)
    math(EXPR zr_month "${zr_month} + 1" OUTPUT_FORMAT DECIMAL)
    string(LENGTH "${zr_month}" zr_length)
    if(zr_length EQUAL 1)
      set(zr_month 0${zr_month})
    endif()
    set(zr_day ${CMAKE_MATCH_1})
    if(zr_day LESS 10)
      set(zr_day 0${zr_day})
    endif()
    set(ZR_RELEASE_DATE ${CMAKE_MATCH_3}-${zr_month}-${zr_day})
    break()
  endif()
endforeach()
if(NOT ZR_RELEASE_DATE)
  message(FATAL_ERROR "resources/debian/changelog: no date in the latest entry's signature line")
endif()

# ---- Documentation, as Debian's policy asks -------------------------------------------------
# The README and the changelog compressed (gzip -9n, at install time: cmake/InstallCompressed.cmake),
# the copyright file as it is.
install(FILES ${CMAKE_SOURCE_DIR}/resources/debian/copyright DESTINATION ${ZR_DOC_DIR})
install(CODE "set(zr_install_work [[${CMAKE_BINARY_DIR}/CMakeFiles/zr-install]])
include([[${CMAKE_SOURCE_DIR}/cmake/InstallCompressed.cmake]])
zr_install_gzipped([[${CMAKE_SOURCE_DIR}/README.md]] [[${ZR_DOC_DIR}]])
zr_install_changelog([[${CMAKE_SOURCE_DIR}/resources/debian/changelog]] [[${ZR_DOC_DIR}]]
                     [[${ZR_PACKAGE_MAINTAINER}]])")

# ---- Manual pages (section 1), one per program ----------------------------------------------
# Made from resources/man/morvane.1.in and tullet.1.in with the model's names and texts.
set(ZR_MAN_BUILD_DIR ${CMAKE_BINARY_DIR}/man)
function(zr_manual_page program template)
  set(ZR_PROGRAM ${program})
  string(TOUPPER ${program} upper)
  string(REPLACE "-" "\\-" ZR_PROGRAM_UPPER ${upper})
  string(REPLACE "-" "\\-" ZR_PROGRAM_ROFF ${program})
  configure_file(${CMAKE_SOURCE_DIR}/resources/man/${template} ${ZR_MAN_BUILD_DIR}/${program}.1 @ONLY)
  install(CODE "zr_install_gzipped([[${ZR_MAN_BUILD_DIR}/${program}.1]] share/man/man1)")
endfunction()

set(ZR_MONITOR_ROFF "tullet\\-qmx7315w")
set(ZR_REMOTE_SETUP_ROFF "morvane\\-qmx7315w")
set(ZR_MODEL QMX-7315W)
set(ZR_WHERE "on USB or on the network")
set(ZR_NETWORK_TEXT "
.PP
On the network the program finds scanners by DNS service discovery
(\\(dq_scanner._tcp\\(dq) through the Avahi daemon, which must be running.")
set(ZR_DEVICE_TEXT "for a scanner on USB,
.I device
is \\(dqTW\\-Zerelta QMX\\-7315W\\(dq; for a network scanner it is the name the
scanner driver's device list gives it")
set(ZR_NETWORK_FILES "
.TP
.I ~/../../../Library/Preferences/Zerelta/QMX\\-7315W/ModeInfo_LAN.plist
The scanner driver's list of network devices (for a home folder in
.I /home
that is
.IR /Library/Preferences/... ),
read to find a network scanner's
.IR device .")
set(ZR_EXPORT_FILES ".IR name \".bin, \" name .addr")
zr_manual_page(morvane-qmx7315w morvane.1.in)
zr_manual_page(tullet-qmx7315w tullet.1.in)

set(ZR_MONITOR_ROFF "tullet\\-qmx7305")
set(ZR_REMOTE_SETUP_ROFF "morvane\\-qmx7305")
set(ZR_MODEL QMX-7305)
set(ZR_WHERE "on USB")
set(ZR_NETWORK_TEXT "")
set(ZR_DEVICE_TEXT "\\(dqTW\\-Zerelta QMX\\-7305\\(dq")
set(ZR_NETWORK_FILES "")
set(ZR_EXPORT_FILES ".IR name .bin")
zr_manual_page(morvane-qmx7305 morvane.1.in)
zr_manual_page(tullet-qmx7305 tullet.1.in)

# ---- AppStream metadata, one component per menu entry ----------------------------------------
# For software centres: what Remote Setup is, its menu entry, the scanner it serves (by its USB
# IDs, src/USB/UsbIds.h). Made from resources/metainfo/remote-setup.metainfo.xml.in.
function(zr_metainfo program model where pages pid)
  set(ZR_PROGRAM ${program})
  string(REPLACE "-" "_" id ${program})
  set(ZR_METAINFO_ID com.zerelta.${id})
  set(ZR_MODEL ${model})
  set(ZR_WHERE ${where})
  set(ZR_PAGES ${pages})
  set(ZR_USB_VID 1209)
  set(ZR_USB_PID ${pid})
  configure_file(${CMAKE_SOURCE_DIR}/resources/metainfo/remote-setup.metainfo.xml.in
                 ${CMAKE_BINARY_DIR}/metainfo/${ZR_METAINFO_ID}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/metainfo/${ZR_METAINFO_ID}.metainfo.xml DESTINATION share/metainfo)
endfunction()
zr_metainfo(morvane-qmx7315w QMX-7315W "on USB or on the network"
            "general setup, address book, scan file name, scan to USB memory, scan to e-mail, scan to PC, scan profiles, wired and wireless LAN, e-mail server and machine information"
            0001)
zr_metainfo(morvane-qmx7305 QMX-7305 "on USB"
            "general setup, scan file name, scan to USB memory, scan to PC and machine information" 0002)


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
# The long description; CPack puts the summary above it. Lines within 80 columns (Debian's
# policy; dpkg adds one space before each).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Remote Setup (morvane-qmx7315w, morvane-qmx7305) finds the scanner on
USB or, for the QMX-7315W, on the network, and shows, edits, exports and
imports all of its settings.
.
The push-scan monitor (tullet-qmx7315w, tullet-qmx7305) registers this
computer with the scanner and starts a scan application when the scanner's
scan button is pressed.
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
