#!/usr/bin/env bash
# `cmake --install --strip` of the build into a temporary prefix, as the README installs it,
# checked by check-tree.sh.
#
#   install-prefix.sh PROBE_DIR SIMULATOR [USB_SIMULATOR]
# Environment: ZR_SOURCE_DIR, ZR_BUILD_DIR.
source "$(dirname "$0")/lib.sh"
here=$(cd "$(dirname "$0")" && pwd)
require_tools cmake

if ! cmake --install "$ZR_BUILD_DIR" --prefix "$work/prefix" --strip >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  fail "cmake --install --strip"
  finish
fi
pass "cmake --install --strip into a temporary prefix"
bash "$here/check-tree.sh" "$work/prefix" "$1" "$2" "${3:-}"
case $? in
  0) ;;
  77) skip "some checks of the installed tree" ;;
  *) fail "the installed tree" ;;
esac
finish
