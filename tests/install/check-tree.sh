#!/usr/bin/env bash
# Checks an installed tree: `cmake --install` into a temporary prefix, or the package unpacked
# with dpkg-deb -x (its usr/ folder).
#
#   check-tree.sh ROOT PROBE_DIR SIMULATOR [USB_SIMULATOR]
#
#  - it holds exactly the files promised (tests/install/expected-files.txt): the programs, the
#    monitors' resources, the desktop entries, the icon, the udev rule, the manual pages, the
#    AppStream metadata, the README, the changelog and the copyright file; nothing of the
#    simulator, the benchmarks or the tests;
#  - the desktop entries pass desktop-file-validate and name a program and an icon of the tree;
#  - the AppStream metadata passes `appstreamcli validate --no-net`, one component per menu
#    entry, naming its entry and its program;
#  - the programs carry no path of the source or build tree;
#  - each monitor, started with a temporary HOME, XDG folders and a private session bus, makes
#    its preference files from the tree's resources and writes its autostart entry pointing at
#    the tree's program, and ends normally on SIGTERM;
#  - each Remote Setup program shows its device window; the network model's lists the simulated
#    scanner announced on the loopback interface, the USB-only model's the one the USB simulator
#    plugs in, when it is given (devices-window.sh).
# Environment: ZR_SOURCE_DIR, ZR_BUILD_DIR.
source "$(dirname "$0")/lib.sh"
here=$(cd "$(dirname "$0")" && pwd)

root=$(cd "$1" && pwd) || { fail "no tree at $1"; finish; }
probe_dir=$2
sim=$3
usb_sim=${4:-}
require_tools desktop-file-validate appstreamcli dbus-run-session objcopy strings cmp gzip

# ---- The files -------------------------------------------------------------------------------
(cd "$root" && find . \( -type f -o -type l \) | sed 's|^\./||' | LC_ALL=C sort) >"$work/files"
if LC_ALL=C sort "$here/expected-files.txt" | diff -u - "$work/files" >"$work/files.diff"; then
  pass "the tree holds exactly the promised files"
else
  fail "the tree's files differ from the promised ones (- promised, + found):"
  cat "$work/files.diff" >&2
fi
for f in bin/morvane-qmx7315w bin/morvane-qmx7305 bin/tullet-qmx7315w bin/tullet-qmx7305; do
  [ -x "$root/$f" ] || fail "$f is not executable"
done
cmp -s "$root/lib/udev/rules.d/70-zerelta-scanners.rules" "$ZR_SOURCE_DIR/resources/udev/70-zerelta-scanners.rules" ||
  fail "the udev rule differs from resources/udev"
gzip -dc "$root/share/doc/zerelta-scanner-tools/README.md.gz" | cmp -s - "$ZR_SOURCE_DIR/README.md" ||
  fail "the README differs"
cmp -s "$root/share/doc/zerelta-scanner-tools/copyright" "$ZR_SOURCE_DIR/resources/debian/copyright" || fail "the copyright file differs"
cmp -s "$root/share/icons/hicolor/scalable/apps/zerelta-remote-setup.svg" \
  "$ZR_SOURCE_DIR/resources/icons/zerelta-remote-setup.svg" || fail "the icon differs from resources/icons"

# ---- Desktop entries -------------------------------------------------------------------------
# The value of KEY in the [Desktop Entry] group.
entry_value() {
  awk -v key="$2" '/^\[/ { inside = ($0 == "[Desktop Entry]") } inside && index($0, key "=") == 1 {
    print substr($0, length(key) + 2); exit }' "$1"
}
for program in morvane-qmx7315w morvane-qmx7305; do
  entry="$root/share/applications/$program.desktop"
  [ -f "$entry" ] || continue
  if out=$(desktop-file-validate "$entry" 2>&1) && [ -z "$out" ]; then
    pass "desktop-file-validate $program.desktop"
  else
    fail "desktop-file-validate $program.desktop: $out"
  fi
  [ "$(entry_value "$entry" Exec)" = "$program" ] || fail "$program.desktop: Exec is not $program"
  [ "$(entry_value "$entry" TryExec)" = "$program" ] || fail "$program.desktop: TryExec is not $program"
  icon=$(entry_value "$entry" Icon)
  [ -f "$root/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "$program.desktop: icon \"$icon\" not in the tree"
  for category in Settings HardwareSettings; do
    case ";$(entry_value "$entry" Categories)" in
      *";$category;"*) ;;
      *) fail "$program.desktop: not in the category $category" ;;
    esac
  done
  for key in Name Comment; do [ -n "$(entry_value "$entry" $key)" ] || fail "$program.desktop: no $key"; done
done
for program in tullet-qmx7315w tullet-qmx7305; do
  out=$(desktop-file-validate "$root/share/$program/scanModel.desktop" 2>&1) && [ -z "$out" ] ||
    fail "desktop-file-validate share/$program/scanModel.desktop: $out"
done

# ---- AppStream metadata ----------------------------------------------------------------------
for program in morvane-qmx7315w morvane-qmx7305; do
  id="com.zerelta.${program//-/_}"
  metainfo="$root/share/metainfo/$id.metainfo.xml"
  [ -f "$metainfo" ] || continue
  if out=$(appstreamcli validate --no-net "$metainfo" 2>&1); then
    pass "appstreamcli validate --no-net $id.metainfo.xml"
  else
    fail "appstreamcli validate --no-net $id.metainfo.xml: $out"
  fi
  grep -qF "<id>$id</id>" "$metainfo" || fail "$id.metainfo.xml: not the component $id"
  grep -qF "<launchable type=\"desktop-id\">$program.desktop</launchable>" "$metainfo" &&
    [ -f "$root/share/applications/$program.desktop" ] || fail "$id.metainfo.xml: no launchable $program.desktop of the tree"
  grep -qF "<binary>$program</binary>" "$metainfo" || fail "$id.metainfo.xml: does not provide $program"
done

# ---- Nothing of the build tree in the programs ----------------------------------------------
# (Debug information names the sources; what the programs use at run time must not.)
for program in morvane-qmx7315w morvane-qmx7305 tullet-qmx7315w tullet-qmx7305; do
  [ -f "$root/bin/$program" ] || continue
  objcopy --strip-debug "$root/bin/$program" "$work/stripped" || { fail "objcopy $program"; continue; }
  if strings -a "$work/stripped" | grep -F -e "$ZR_SOURCE_DIR" -e "$ZR_BUILD_DIR" >"$work/paths"; then
    fail "$program names the source or build tree: $(head -n 3 "$work/paths" | tr '\n' ' ')"
  else
    pass "$program names no path of the source or build tree"
  fi
done

# ---- The monitors ------------------------------------------------------------------------------
check_monitor() {
  local program=$1 product=$2 w="$work/$1"
  local exe="$root/bin/$program"
  local prefs="$w/home/Library/Preferences/${product#TW-Zerelta }/$product"
  mkdir -p "$w/home" "$w/config" "$w/runtime"
  chmod 700 "$w/runtime"
  # A mark in the tree's resource: the copy in HOME shows where it came from.
  local resource="$root/share/$program/Setting_RemoteSetup.plist"
  sed -i '1a <!-- zr-install-check: from the installed resources -->' "$resource"

  # In a private session bus (dbus-run-session), no system bus: a short run, then SIGTERM.
  HOME="$w/home" XDG_CONFIG_HOME="$w/config" XDG_RUNTIME_DIR="$w/runtime" \
    DBUS_SYSTEM_BUS_ADDRESS="unix:path=$w/no-system-bus" \
    dbus-run-session -- bash -c '
      "$1" </dev/null >"$2/monitor.out" 2>&1 &
      pid=$!
      for ((i = 0; i < 600; i++)); do
        [ -f "$3" ] && [ -f "$4/DeviceSetting.plist" ] && [ -f "$4/Setting_RemoteSetup.plist" ] && break
        kill -0 $pid 2>/dev/null || break
        sleep 0.1
      done
      kill -TERM $pid 2>/dev/null
      for ((i = 0; i < 300; i++)); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
      kill -0 $pid 2>/dev/null && { kill -KILL $pid; wait $pid; echo killed >"$2/status"; exit 0; }
      wait $pid
      echo $? >"$2/status"' bash "$exe" "$w" "$w/config/autostart/$program.desktop" "$prefs" \
    >"$w/bus.out" 2>&1
  local status
  status=$(cat "$w/status" 2>/dev/null || echo "not run")
  [ "$status" = 0 ] && pass "$program ended normally on SIGTERM" || fail "$program on SIGTERM: exit status $status"

  if [ -f "$prefs/DeviceSetting.plist" ] && grep -q "zr-install-check" "$prefs/Setting_RemoteSetup.plist" 2>/dev/null; then
    pass "$program made its preference files from the tree's resources"
  else
    fail "$program made no preference files from the tree's resources in $prefs"
    ls -la "$prefs" >&2 2>/dev/null
  fi
  local entry="$w/config/autostart/$program.desktop"
  local want
  want="\"$(readlink -f "$exe")\""
  if [ "$(entry_value "$entry" Exec 2>/dev/null)" = "$want" ]; then
    pass "$program's autostart entry runs $want"
  else
    fail "$program's autostart entry does not run $want: $(cat "$entry" 2>/dev/null)"
  fi
  out=$(desktop-file-validate "$entry" 2>&1) && [ -z "$out" ] || fail "desktop-file-validate of the autostart entry: $out"
  sed -i '/zr-install-check/d' "$resource"
  if [ "$failures" -gt 0 ]; then
    echo "--- output of $program" >&2
    cat "$w/monitor.out" "$w/bus.out" >&2 2>/dev/null
  fi
}
check_monitor tullet-qmx7315w "TW-Zerelta QMX-7315W"
check_monitor tullet-qmx7305 "TW-Zerelta QMX-7305"

# ---- Remote Setup -----------------------------------------------------------------------------
bash "$here/devices-window.sh" "$root/bin/morvane-qmx7315w" "$probe_dir" "$sim"
case $? in
  0) pass "morvane-qmx7315w lists the simulated scanner" ;;
  77) skip "morvane-qmx7315w and the simulated scanner" ;;
  *) fail "morvane-qmx7315w and the simulated scanner" ;;
esac
bash "$here/devices-window.sh" "$root/bin/morvane-qmx7305" "$probe_dir" "$usb_sim"
case $? in
  0) pass "morvane-qmx7305 shows its device window${usb_sim:+ and lists the simulated scanner on USB}" ;;
  77) skip "morvane-qmx7305's device window" ;;
  *) fail "morvane-qmx7305's device window" ;;
esac

finish
