# Read by cpack (CPACK_PROJECT_CONFIG_FILE) before it builds a package. A Debian package needs a
# maintainer, and the project has none of its own to build in: whoever builds the package names
# it with -DZR_PACKAGE_MAINTAINER="Name <address>" when configuring. Without one cpack stops here
# and says so, instead of building a package with a made-up address.
if(CPACK_GENERATOR STREQUAL "DEB")
  if(NOT CPACK_DEBIAN_PACKAGE_MAINTAINER MATCHES "^[^<>]+ <[^<>@ ]+@[^<> ]+>$")
    message(FATAL_ERROR
      "The Debian package needs a maintainer: configure with "
      "-DZR_PACKAGE_MAINTAINER=\"Your Name <you@example.org>\" and run cpack again "
      "(given: \"${CPACK_DEBIAN_PACKAGE_MAINTAINER}\").")
  endif()
  # The changelog's entries are signed by the package's maintainer: the install that cpack runs
  # next, in this process, reads it here (cmake/InstallCompressed.cmake).
  set(ENV{ZR_CHANGELOG_MAINTAINER} "${CPACK_DEBIAN_PACKAGE_MAINTAINER}")
endif()
