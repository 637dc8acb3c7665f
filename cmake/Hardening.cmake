# The hardening of Debian's build flags (dpkg-buildflags with DEB_BUILD_MAINT_OPTIONS=
# hardening=+all, Debian 12) for the build that is installed and packaged: stack protector,
# format-string checks, fortified C library calls, read-only relocations bound at start-up
# (relro, bindnow), position-independent executables (the compiler's default on Debian).
#
# Not in the sanitizer and fuzz builds: _FORTIFY_SOURCE and AddressSanitizer do not mix, and
# neither build is installed. _FORTIFY_SOURCE needs an optimised build, so a Debug build goes
# without it.
if(NOT ZR_SANITIZE AND NOT ZR_FUZZ)
  add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security -Wdate-time)
  add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
  add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
