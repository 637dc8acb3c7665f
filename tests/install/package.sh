#!/usr/bin/env bash
# The Debian package: built with cpack into a temporary folder, never installed here. Its
# control data and file list are checked with dpkg-deb --info and --contents, lintian finds no
# error (nor any of the warnings and hardening tags named below), its changelog is this version's
# and signed by its maintainer, its maintainer scripts are run with a failing and with a missing
# udevadm, the unpacked tree (dpkg-deb -x) gets the checks of an installed one (check-tree.sh),
# and `cmake --install --strip` (the README's install without the package) installs the same
# files, byte for byte.
#
#   package.sh PROBE_DIR SIMULATOR [USB_SIMULATOR]
# Environment: ZR_SOURCE_DIR, ZR_BUILD_DIR.
source "$(dirname "$0")/lib.sh"
here=$(cd "$(dirname "$0")" && pwd)
probe_dir=$1
sim=$2
usb_sim=${3:-}
require_tools cpack cmake dpkg-deb dpkg-shlibdeps file lintian gzip

# The maintainer is the packager's (ZR_PACKAGE_MAINTAINER): without one, cpack refuses and says
# how to name one; with one, it is the package's Maintainer field.
cpack_deb() {
  (cd "$ZR_BUILD_DIR" && cpack -G DEB -B "$1" --config "$ZR_BUILD_DIR/CPackConfig.cmake" \
    -D CPACK_DEBIAN_PACKAGE_MAINTAINER="$2")
}
if cpack_deb "$work/unnamed" "" >"$work/unnamed.log" 2>&1; then
  fail "cpack built a package without a maintainer"
elif ! grep -q 'ZR_PACKAGE_MAINTAINER' "$work/unnamed.log"; then
  cat "$work/unnamed.log" >&2
  fail "cpack without a maintainer does not say how to name one"
else
  pass "without a maintainer cpack refuses and names ZR_PACKAGE_MAINTAINER"
fi
ls "$work"/unnamed/*.deb >/dev/null 2>&1 && fail "a package without a maintainer was left behind"
maintainer="Test Packager <packager@example.org>"
if ! cpack_deb "$work/pkg" "$maintainer" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  fail "cpack -G DEB"
  finish
fi
debs=("$work"/pkg/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  fail "cpack made no single package: ${debs[*]}"
  finish
fi
deb=${debs[0]}
version=$(sed -n 's/^project(Zerelta .*VERSION \([0-9.]*\)).*/\1/p' "$ZR_SOURCE_DIR/CMakeLists.txt")
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "zerelta-scanner-tools_${version}_${arch}.deb" ] && pass "built $(basename "$deb")" ||
  fail "package file name $(basename "$deb"), expected zerelta-scanner-tools_${version}_${arch}.deb"

# ---- Control data ----------------------------------------------------------------------------
dpkg-deb --info "$deb" >"$work/info" || fail "dpkg-deb --info"
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = zerelta-scanner-tools ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), the project's is $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ "$(field Maintainer)" = "$maintainer" ] || fail "Maintainer: $(field Maintainer), the packager's is $maintainer"
# A synopsis line and a long description that does not repeat it.
description=$(field Description)
[ "$(sed -n 1p <<<"$description")" = "settings and push-scan monitor for Zerelta QMX-7315W and QMX-7305 scanners" ] ||
  fail "Description's synopsis: $(sed -n 1p <<<"$description")"
[ "$(sed -n 2p <<<"$description" | sed 's/^ //')" != "$(sed -n 1p <<<"$description")" ] || fail "the synopsis is repeated"
[ "$(wc -l <<<"$description")" -ge 3 ] || fail "no long description"
# The names of a relation field, without versions and alternatives' separators.
names() { field "$1" | tr ',|' '\n\n' | sed 's/(.*)//; s/^ *//; s/ *$//' | grep -v '^$' | sort -u; }
names Depends >"$work/depends"
for p in libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6 libqt6svg6 qt6-qpa-plugins libusb-1.0-0 \
  libavahi-client3 libplist3 libc6 libstdc++6; do
  grep -qx "$p" "$work/depends" || fail "Depends does not name $p: $(field Depends)"
done
grep -qx 'libasan[0-9]*\|libubsan[0-9]*' "$work/depends" && fail "Depends names a sanitizer runtime"
names Recommends >"$work/recommends"
for p in avahi-daemon simple-scan; do
  grep -qx "$p" "$work/recommends" || fail "Recommends does not name $p: $(field Recommends)"
done
for s in postinst postrm; do grep -q "^ *[0-9]* bytes, *[0-9]* lines *\* *$s " "$work/info" || fail "no $s"; done
[ "$failures" -eq 0 ] && pass "control: $(field Package) $(field Version); Depends: $(field Depends); Recommends: $(field Recommends)"

# ---- lintian ---------------------------------------------------------------------------------
# No error, and none of the tags the package once had: no changelog, no manual pages, long
# description lines, programs built without bindnow or fortified functions.
lintian --info --display-info "$deb" >"$work/lintian" 2>&1
lintian_status=$?
grep -E '^[EWI]: ' "$work/lintian" >"$work/lintian.tags"
sed 's/^/  /' "$work/lintian.tags"
if [ $lintian_status -ne 0 ] || grep -q '^E: ' "$work/lintian.tags"; then
  fail "lintian reports errors (status $lintian_status)"
  grep -v '^[EWIN]: \|^N:' "$work/lintian" >&2
elif grep -E ' (no-changelog|no-manual-page|extended-description-line-too-long|hardening-no-bindnow|hardening-no-fortify-functions|hardening-no-relro|hardening-no-pie)( |$)' \
  "$work/lintian.tags" >"$work/lintian.named"; then
  fail "lintian: $(tr '\n' ';' <"$work/lintian.named")"
else
  pass "lintian: no error, no changelog, manual page, description or hardening tag"
fi

# ---- Changelog ---------------------------------------------------------------------------------
changelog=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/zerelta-scanner-tools/changelog.gz | gzip -dc)
[ "$(sed -n 1p <<<"$changelog")" = "zerelta-scanner-tools ($version) unstable; urgency=medium" ] ||
  fail "the changelog's latest entry: $(sed -n 1p <<<"$changelog"), the project's version is $version"
grep -q "^ -- $maintainer  [A-Z][a-z][a-z], " <<<"$changelog" || fail "the changelog is not signed by $maintainer"

# ---- Maintainer scripts: udevadm failing, then missing ---------------------------------------
dpkg-deb --control "$deb" "$work/control" || fail "dpkg-deb --control"
mkdir -p "$work/failing-udevadm" "$work/no-udevadm"
printf '#!/bin/sh\necho "udevadm $*" >>"%s/udevadm.calls"\nexit 1\n' "$work" >"$work/failing-udevadm/udevadm"
chmod +x "$work/failing-udevadm/udevadm"
for s in "postinst configure" "postrm remove" "postrm purge"; do
  read -r script action <<<"$s"
  PATH="$work/failing-udevadm:/usr/bin:/bin" /bin/sh "$work/control/$script" "$action" ||
    fail "$s with a failing udevadm exits with $?"
  PATH="$work/no-udevadm" /bin/sh "$work/control/$script" "$action" || fail "$s without udevadm exits with $?"
done
grep -q "control --reload-rules" "$work/udevadm.calls" 2>/dev/null || fail "postinst does not reload the udev rules"
[ "$failures" -eq 0 ] && pass "the maintainer scripts reload the udev rules and bear a failing or missing udevadm"

# ---- Contents --------------------------------------------------------------------------------
dpkg-deb --contents "$deb" >"$work/contents" || fail "dpkg-deb --contents"
# Files only (directories end in /), without the ./usr/ prefix; symbolic links as "name -> target".
awk '$1 !~ /^d/ { print $6 }' "$work/contents" | sed 's|^\./usr/||' | LC_ALL=C sort >"$work/files"
if LC_ALL=C sort "$here/expected-files.txt" | diff -u - "$work/files" >"$work/files.diff"; then
  pass "the package holds exactly the promised files under /usr"
else
  fail "the package's files differ from the promised ones (- promised, + found):"
  cat "$work/files.diff" >&2
fi
awk '$1 !~ /^d/ && $2 != "root/root" { print }' "$work/contents" | grep . && fail "files not owned by root"
awk '$1 !~ /^d/ && $6 ~ /^\.\/usr\/bin\// && $1 != "-rwxr-xr-x" { print }' "$work/contents" | grep . && fail "programs not mode 755"

# ---- Unpacked --------------------------------------------------------------------------------
dpkg-deb -x "$deb" "$work/root" || fail "dpkg-deb -x"
bash "$here/check-tree.sh" "$work/root/usr" "$probe_dir" "$sim" "$usb_sim"
case $? in
  0) ;;
  77) skip "some checks of the unpacked package" ;;
  *) fail "the unpacked package" ;;
esac

# ---- The install without the package -------------------------------------------------------------
# The same files as the package, byte for byte (the changelog signed by the same maintainer,
# named as cpack passes it on).
if ZR_CHANGELOG_MAINTAINER="$maintainer" cmake --install "$ZR_BUILD_DIR" --prefix "$work/install" --strip \
  >"$work/install.log" 2>&1; then
  if diff -r "$work/root/usr" "$work/install" >"$work/install.diff" 2>&1; then
    pass "cmake --install --strip installs the package's files"
  else
    fail "cmake --install --strip differs from the package:"
    cat "$work/install.diff" >&2
  fi
else
  cat "$work/install.log" >&2
  fail "cmake --install --strip"
fi
finish
