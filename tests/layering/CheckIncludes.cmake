# The include rules of the layers, checked over the source tree (cmake -P, run by ctest):
#   1. The platform layer (all of src/platform but src/platform/widgets/, Dialogs.* and
#      ProgramIcon.*), src/Socket, src/USB and src/IO include no Qt Widgets header: the transports,
#      the command layer and the monitor's part of the platform build without a window system.
#   2. The pages (src/Views) and the main window (src/RemoteSetup) include no header of
#      src/Socket, src/USB or src/platform/usb: they reach the scanner through IOWrapper only.
# Every include that breaks a rule is reported with its file and the rule; any one fails the test.
#
# -DSOURCE_DIR=<the source tree> -DQT_WIDGETS_DIR=<Qt Widgets' include folder>
cmake_minimum_required(VERSION 3.25)

if(NOT IS_DIRECTORY "${SOURCE_DIR}/src" OR NOT IS_DIRECTORY "${QT_WIDGETS_DIR}")
  message(FATAL_ERROR "CheckIncludes.cmake needs -DSOURCE_DIR (now '${SOURCE_DIR}') and -DQT_WIDGETS_DIR (now '${QT_WIDGETS_DIR}')")
endif()

file(GLOB widget_headers LIST_DIRECTORIES false RELATIVE "${QT_WIDGETS_DIR}" "${QT_WIDGETS_DIR}/*")

set(violations 0)
# Reports `file` (relative to the source tree) breaking `rule` with `include`.
macro(report file include rule)
  message("${file}: #include ${include}: ${rule}")
  math(EXPR violations "${violations} + 1")
endmacro()

# The sources of `folders` (relative to the source tree), less those matching `skip`.
function(sources_of out skip)
  set(found)
  foreach(folder IN LISTS ARGN)
    file(GLOB_RECURSE files RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp")
    list(APPEND found ${files})
  endforeach()
  if(skip)
    list(FILTER found EXCLUDE REGEX "${skip}")
  endif()
  list(SORT found)
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# The includes of `file`: one entry per directive, the name as written with its brackets or quotes.
function(includes_of out file)
  file(STRINGS "${SOURCE_DIR}/${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  set(found)
  foreach(line IN LISTS lines)
    string(REGEX MATCH "[<\"][^>\"]+[>\"]" include "${line}")
    list(APPEND found "${include}")
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# The source-tree path an include names: the src folder's own file, else one beside `file`.
function(resolve out file name)
  get_filename_component(dir "${SOURCE_DIR}/${file}" DIRECTORY)
  set(path "")
  if(EXISTS "${SOURCE_DIR}/src/${name}")
    set(path "src/${name}")
  elseif(EXISTS "${dir}/${name}")
    get_filename_component(absolute "${dir}/${name}" ABSOLUTE)
    file(RELATIVE_PATH path "${SOURCE_DIR}" "${absolute}")
  endif()
  set(${out} "${path}" PARENT_SCOPE)
endfunction()

# ---- 1. No Qt Widgets below the windows ----------------------------------------------------------
set(rule1 "a Qt Widgets header in a layer that builds without a window system (src/platform but widgets/, Dialogs and ProgramIcon; src/Socket; src/USB; src/IO)")
sources_of(files "^src/platform/(widgets/|Dialogs\\.|ProgramIcon\\.)" src/platform src/Socket src/USB src/IO)
foreach(file IN LISTS files)
  includes_of(includes "${file}")
  foreach(include IN LISTS includes)
    string(REGEX REPLACE "^[<\"](.*)[>\"]$" "\\1" name "${include}")
    string(REGEX REPLACE "^QtWidgets/" "" bare "${name}")
    if(name MATCHES "^QtWidgets(/|$)" OR bare IN_LIST widget_headers)
      report("${file}" "${include}" "${rule1}")
    endif()
  endforeach()
endforeach()

# ---- 2. The pages and the main window reach the scanner through the command layer --------------
set(rule2 "a transport header (src/Socket, src/USB, src/platform/usb) in a page or the main window; they talk to the scanner through IOWrapper")
sources_of(files "" src/Views src/RemoteSetup)
foreach(file IN LISTS files)
  includes_of(includes "${file}")
  foreach(include IN LISTS includes)
    string(REGEX REPLACE "^[<\"](.*)[>\"]$" "\\1" name "${include}")
    resolve(path "${file}" "${name}")
    if(path MATCHES "^src/(Socket|USB|platform/usb)/")
      report("${file}" "${include}" "${rule2}")
    endif()
  endforeach()
endforeach()

if(violations GREATER 0)
  message(FATAL_ERROR "${violations} include(s) break the layering rules (listed above)")
endif()
message(STATUS "The layers include only what their rules allow")
