# Finds every library the build needs and stops with the Debian package to install when one is
# missing. What only the tests or the benchmarks need is looked for only when they are built
# (ZR_BUILD_TESTS, ZR_BUILD_BENCH): `scripts/deps run` installs what a build without them needs.

macro(zr_require_qt component package)
  find_package(Qt6 QUIET COMPONENTS ${component})
  if(NOT Qt6${component}_FOUND)
    message(FATAL_ERROR "Qt 6 ${component} not found: install the Debian package ${package} (or run scripts/deps as root)")
  endif()
endmacro()

zr_require_qt(Core qt6-base-dev)
zr_require_qt(Gui qt6-base-dev)
zr_require_qt(Widgets qt6-base-dev)
zr_require_qt(DBus qt6-base-dev)
zr_require_qt(Svg qt6-svg-dev)
if(ZR_BUILD_TESTS)
  zr_require_qt(Test qt6-base-dev)
endif()

find_package(PkgConfig QUIET)
if(NOT PKG_CONFIG_FOUND)
  message(FATAL_ERROR "pkg-config not found: install the Debian package pkg-config")
endif()

macro(zr_require_pkg target module package)
  pkg_check_modules(${target} QUIET IMPORTED_TARGET ${module})
  if(NOT ${target}_FOUND)
    message(FATAL_ERROR "${module} not found: install the Debian package ${package} (or run scripts/deps as root)")
  endif()
endmacro()

zr_require_pkg(LIBUSB libusb-1.0 libusb-1.0-0-dev)
zr_require_pkg(AVAHI avahi-client libavahi-client-dev)
zr_require_pkg(PLIST libplist-2.0 libplist-dev)

# umockdev presents the simulated scanner as a USB device: the simulator's USB front end for the
# QMX-7305 demo (sim/) and the libusb tests (tests/USB). Optional: without it neither is built.
pkg_check_modules(UMOCKDEV QUIET IMPORTED_TARGET umockdev-1.0)
find_library(ZR_UMOCKDEV_PRELOAD NAMES libumockdev-preload.so.0 umockdev-preload)
if(UMOCKDEV_FOUND AND ZR_UMOCKDEV_PRELOAD)
  set(ZR_HAVE_UMOCKDEV ON)
else()
  set(ZR_HAVE_UMOCKDEV OFF)
  message(STATUS "umockdev not found (Debian packages umockdev, libumockdev-dev): the simulated scanner on USB "
                 "and the libusb tests against it are not built")
endif()

if(ZR_BUILD_TESTS)
  find_package(GTest QUIET)
  if(NOT GTest_FOUND)
    message(FATAL_ERROR "GoogleTest not found: install the Debian packages googletest libgtest-dev libgmock-dev")
  endif()
endif()
if(ZR_BUILD_BENCH)
  find_package(benchmark QUIET)
  if(NOT benchmark_FOUND)
    message(FATAL_ERROR "Google Benchmark not found: install the Debian package libbenchmark-dev")
  endif()
endif()
