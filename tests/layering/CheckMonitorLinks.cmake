# What the push-scan monitor's targets link, checked against its rule (cmake -P, run by ctest): of
# this project's libraries only zr_platform_core, zr_usbhost, zr_dnssd and its own zr_monitor (and
# the resources compiled into them); of Qt only Core and DBus; system libraries as they come.
# No Qt Widgets, nothing of the remote-setup program.
#
# -DLINKS_FILE=<the file the configure run wrote: "<target>: <kind>:<library>;..." per line>
cmake_minimum_required(VERSION 3.25)

set(allowed_own zr_monitor zr_platform_core zr_usbhost zr_dnssd)
# Qt6::Platform is Qt's own build settings, which Qt Core brings.
set(allowed_qt Qt6::Core Qt6::DBus Qt6::Platform)

if(NOT EXISTS "${LINKS_FILE}")
  message(FATAL_ERROR "No link list at '${LINKS_FILE}': configure the build again")
endif()
file(STRINGS "${LINKS_FILE}" lines)
if(NOT lines)
  message(FATAL_ERROR "${LINKS_FILE} lists no target of src/monitor")
endif()

set(violations 0)
foreach(line IN LISTS lines)
  string(REGEX MATCH "^([^:]+): (.*)$" matched "${line}")
  set(target "${CMAKE_MATCH_1}")
  set(libraries "${CMAKE_MATCH_2}")
  foreach(entry IN LISTS libraries)
    string(REGEX MATCH "^([a-z]+):(.*)$" matched "${entry}")
    set(kind "${CMAKE_MATCH_1}")
    set(library "${CMAKE_MATCH_2}")
    set(refused FALSE)
    if(kind STREQUAL "own")
      # A library's compiled-in resources are an object library named after it.
      string(REGEX REPLACE "_resources_[0-9]+$" "" owner "${library}")
      if(NOT owner IN_LIST allowed_own)
        set(refused TRUE)
      endif()
    else()
      # A Qt module, by target name (also inside an expression) or as a library file.
      string(REGEX MATCHALL "Qt[0-9]*::[A-Za-z]+" modules "${library}")
      if(library MATCHES "(^|/)libQt([0-9]+)([A-Za-z]+)")
        list(APPEND modules "Qt${CMAKE_MATCH_2}::${CMAKE_MATCH_3}")
      endif()
      foreach(module IN LISTS modules)
        if(NOT module IN_LIST allowed_qt)
          set(refused TRUE)
        endif()
      endforeach()
    endif()
    if(refused)
      message("${target} links ${library}: a monitor target links only zr_monitor, zr_platform_core, zr_usbhost, zr_dnssd, Qt Core, Qt DBus and system libraries")
      math(EXPR violations "${violations} + 1")
    endif()
  endforeach()
endforeach()

if(violations GREATER 0)
  message(FATAL_ERROR "${violations} link(s) of the monitor break its layering rule (listed above)")
endif()
message(STATUS "The monitor's targets link only what their rule allows")
