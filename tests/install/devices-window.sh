#!/usr/bin/env bash
# A Remote Setup program started as a user starts it (with Qt's own option "-platform offscreen",
# a temporary HOME, no session bus of the machine) shows its device window; with a simulator
# given, the simulated scanner, announced on the loopback interface through a private Avahi
# daemon, appears in that window's list as ready. Then SIGTERM ends the program normally.
#
#   devices-window.sh PROGRAM PROBE_DIR [SIMULATOR]
#
# PROBE_DIR holds libqttestability.so (TableProbe.cpp), which reports what the window lists.
# Used for the built programs and for the installed and packaged ones (check-tree.sh).
# Environment: ZR_SOURCE_DIR (the source tree: scripts/avahi-loopback).
source "$(dirname "$0")/lib.sh"

program=$1
probe_dir=$2
sim=${3:-}
usb_sim=""
scanner=""
if [ "${sim##*/}" = zerelta-scanner-sim-usb ]; then
  usb_sim=$sim
  sim=""
  # umockdev's preload library comes before the sanitizer runtime of a sanitizer build.
  export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
fi
[ -x "$program" ] || { fail "$program is not an executable program"; finish; }
[ -f "$probe_dir/libqttestability.so" ] || { fail "no probe library in $probe_dir"; finish; }
name_of=$(basename "$program")

if [ -n "$sim" ]; then
  require_tools dbus-daemon dbus-send
  bus=$(bash "$ZR_SOURCE_DIR/scripts/avahi-loopback" start "$work/avahi" $$ 2>"$work/avahi.err")
  rc=$?
  avahi_dirs+=("$work/avahi")
  if [ $rc -eq 77 ]; then
    skip "no private Avahi daemon here: $(cat "$work/avahi.err")"
    finish
  elif [ $rc -ne 0 ]; then
    cat "$work/avahi.err" >&2
    fail "the private Avahi daemon did not start"
    finish
  fi
  export DBUS_SYSTEM_BUS_ADDRESS=$bus

  # The program reaches a network scanner on the scanner's own port (5566): the simulator gets a
  # loopback address of its own, 127.0.0.N, whose port 5566 no other test holds, and a serial
  # number of its own, which makes its name in the device list (other tests' simulators may be
  # announced on the loopback interface at the same time).
  listening() { grep -q 'simulator listening on' "$work/sim.out"; }
  sim_settled() { listening || ! alive "$sim_pid"; }
  sim_pid=""
  serial="ZRQ-INSTALL-$$"
  for ((i = 0; i < 253; i++)); do
    address="127.0.0.$((2 + ($$ + i) % 253))"
    "$sim" --address "$address" --serial "$serial" --publish </dev/null >"$work/sim.out" 2>"$work/sim.err" &
    sim_pid=$!
    wait_until 30 sim_settled
    listening && break
    wait "$sim_pid" 2>/dev/null
    sim_pid=""
    grep -q "Address already in use" "$work/sim.err" || break
  done
  if [ -z "$sim_pid" ]; then
    cat "$work/sim.err" >&2
    fail "the simulator did not start"
    finish
  fi
  started+=("$sim_pid")
  announced() { grep -q '^announced as "' "$work/sim.err"; }
  if ! wait_until 60 announced; then
    cat "$work/sim.err" >&2
    fail "the simulator was not announced"
    finish
  fi
  say "the simulator is $(grep '^announced as "' "$work/sim.err" | head -n 1)"
  # The device list names a scanner by the manufacturer, model and serial number it announces.
  scanner="Zerelta QMX-7315W [$serial]"
else
  # No Avahi daemon of the machine is asked: the system bus points nowhere.
  export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-system-bus"
fi

mkdir -p "$work/home" "$work/config" "$work/data" "$work/cache" "$work/runtime"
chmod 700 "$work/runtime"
HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache" \
  XDG_RUNTIME_DIR="$work/runtime" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-session-bus" \
  QT_LOAD_TESTABILITY=1 ZR_PROBE_OUT="$work/window" \
  LD_LIBRARY_PATH="$probe_dir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" \
  ${usb_sim:+"$usb_sim" --} "$program" -platform offscreen </dev/null >"$work/program.out" 2>&1 &
pid=$!
started+=($pid)
if [ -n "$usb_sim" ]; then
  # Its first line names the scanner: "QMX-7305 simulator on USB (1209:0002), serial S".
  usb_sim_started() { grep -q '^QMX-.* simulator on USB .*, serial ' "$work/program.out"; }
  if wait_until 30 usb_sim_started; then
    scanner=$(sed -n 's/^\(QMX-[^ ]*\) simulator on USB .*, serial \(.*\)$/Zerelta \1 [\2]/p' "$work/program.out" | head -n 1)
    say "the simulator on USB is \"$scanner\""
  else
    cat "$work/program.out" >&2
    fail "the simulator on USB did not start"
    finish
  fi
fi

shown() { grep -q '^tables [1-9]' "$work/window" 2>/dev/null; }
# A row of the device list: name, interface, connection, status. (The name of a scanner on USB
# ends with a space.)
listed_ready() {
  awk -F '\t' -v n="$scanner" '$1 == "row" { name = $2; sub(/ $/, "", name) }
    $1 == "row" && name == n && $5 == "Ready" { found = 1 } END { exit !found }' "$work/window" 2>/dev/null
}

if wait_until 60 shown; then
  pass "$name_of shows its device window"
else
  fail "$name_of showed no device window"
fi
# The window's title names the program's model: morvane-qmx7315w is "Zerelta QMX-7315W Remote Setup".
model=$(basename "$program" | sed 's/^morvane-qmx/QMX-/' | tr '[:lower:]' '[:upper:]')
if grep -qxF "$(printf 'window\tZerelta %s Remote Setup' "$model")" "$work/window" 2>/dev/null; then
  pass "$name_of titles its device window \"Zerelta $model Remote Setup\""
else
  fail "$name_of did not title its device window \"Zerelta $model Remote Setup\"; its windows:"
  grep '^window' "$work/window" >&2 2>/dev/null
fi
if [ -n "$scanner" ]; then
  if wait_until 90 listed_ready; then
    pass "$name_of lists \"$scanner\" as ready"
  else
    fail "$name_of did not list \"$scanner\" as ready; its window lists:"
    cat "$work/window" >&2 2>/dev/null
  fi
fi

if alive "$pid"; then
  stop_process "$pid" 30
  [ "$stop_status" = 0 ] && pass "$name_of ended normally on SIGTERM" ||
    fail "$name_of on SIGTERM: exit status $stop_status"
else
  fail "$name_of ended by itself"
fi
if [ "$failures" -gt 0 ]; then
  echo "--- output of $name_of" >&2
  cat "$work/program.out" >&2
fi
finish
