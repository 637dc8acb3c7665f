# Run at install time (`cmake --install` and cpack, through install(CODE) in Packaging.cmake):
# the files Debian's policy wants compressed, installed as `gzip -9n` makes them (the best
# compression, and no name or time stamp in the header, so the same file makes the same bytes).
#
# Set by the install rule before these are called: zr_install_work, a folder for the moment
# of the install (removed after each file).

# Installs FILE as <prefix>/DESTINATION/<its name>.gz.
function(zr_install_gzipped file destination)
  get_filename_component(name "${file}" NAME)
  string(RANDOM LENGTH 12 run)  # cpack and `cmake --install` may run side by side
  set(work "${zr_install_work}-${run}")
  file(MAKE_DIRECTORY "${work}")
  file(COPY_FILE "${file}" "${work}/${name}")
  execute_process(COMMAND gzip -9n "${work}/${name}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    file(REMOVE_RECURSE "${work}")
    message(FATAL_ERROR "gzip -9n ${file} failed (${rc})")
  endif()
  file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${destination}" TYPE FILE FILES "${work}/${name}.gz")
  file(REMOVE_RECURSE "${work}")
endfunction()

# The Debian changelog, SOURCE, as <prefix>/DESTINATION/changelog.gz. Each entry is signed
# "@MAINTAINER@": that becomes whoever builds the package, as Debian's format asks for a name and
# an address: the maintainer cpack was given (cmake/PackageMaintainer.cmake passes it on in the
# environment, ZR_CHANGELOG_MAINTAINER, cpack installing in the same process), else CONFIGURED,
# the one named when configuring (ZR_PACKAGE_MAINTAINER). An install without either names the
# project alone.
function(zr_install_changelog source destination configured)
  set(maintainer "$ENV{ZR_CHANGELOG_MAINTAINER}")
  if(maintainer STREQUAL "")
    set(maintainer "${configured}")
  endif()
  if(maintainer STREQUAL "")
    set(maintainer "The Zerelta scanner tools for Linux developers")
  endif()
  file(READ "${source}" text)
  string(REPLACE "@MAINTAINER@" "${maintainer}" text "${text}")
  string(RANDOM LENGTH 12 run)
  set(work "${zr_install_work}-${run}")
  file(WRITE "${work}/changelog" "${text}")
  zr_install_gzipped("${work}/changelog" "${destination}")
  file(REMOVE_RECURSE "${work}")
endfunction()
