#!/usr/bin/env bash
# The programs' command line, as a new user meets it: --help and --version answer on standard
# output with status 0, any other argument is refused on standard error with status 2, and in
# none of these cases does the program write anything. Each run has a home folder and XDG
# folders of its own, which must stay empty, no display and no session bus.
#
#   options.sh VERSION PROGRAM...
# A program whose name starts with "morvane-" is windowed and also takes Qt's own options.
source "$(dirname "$0")/lib.sh"

version=$1
shift

# run NAME PROGRAM ARGS...: the program in a fresh environment; its output in $work/NAME.out
# and .err, its status in $status; a failure when it wrote anything into the folders.
run() {
  local name=$1 program=$2
  shift 2
  local env="$work/$name.env"
  mkdir -p "$env/home" "$env/config" "$env/data" "$env/cache" "$env/state" "$env/runtime"
  chmod 700 "$env/runtime"
  env -i PATH="$PATH" LANG=C.UTF-8 HOME="$env/home" XDG_CONFIG_HOME="$env/config" XDG_DATA_HOME="$env/data" \
    XDG_CACHE_HOME="$env/cache" XDG_STATE_HOME="$env/state" XDG_RUNTIME_DIR="$env/runtime" \
    DBUS_SESSION_BUS_ADDRESS="unix:path=$env/no-session-bus" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$env/no-system-bus" \
    ${ASAN_OPTIONS:+ASAN_OPTIONS="$ASAN_OPTIONS"} ${LSAN_OPTIONS:+LSAN_OPTIONS="$LSAN_OPTIONS"} \
    ${UBSAN_OPTIONS:+UBSAN_OPTIONS="$UBSAN_OPTIONS"} \
    timeout 30 "$program" "$@" </dev/null >"$work/$name.out" 2>"$work/$name.err"
  status=$?
  local written
  written=$(find "$env" -mindepth 2 | sed "s|^$env/||")
  [ -z "$written" ] || fail "$(basename "$program") $*: wrote $(tr '\n' ' ' <<<"$written")"
}

for program in "$@"; do
  name=$(basename "$program")
  [ -x "$program" ] || { fail "$program is not an executable program"; continue; }

  for arg in --help -h; do
    run help "$program" "$arg"
    if [ "$status" = 0 ] && [ "$(head -n 1 "$work/help.out")" = "Usage: $name [options]" ] &&
      grep -q -- '--version' "$work/help.out" && [ ! -s "$work/help.err" ]; then
      pass "$name $arg"
    else
      fail "$name $arg: status $status, output: $(cat "$work/help.out" "$work/help.err")"
    fi
  done

  for arg in --version -v; do
    run version "$program" "$arg"
    if [ "$status" = 0 ] && [ "$(cat "$work/version.out")" = "$name $version" ] && [ ! -s "$work/version.err" ]; then
      pass "$name $arg: $name $version"
    else
      fail "$name $arg: status $status, output: $(cat "$work/version.out" "$work/version.err"), expected \"$name $version\""
    fi
  done

  # Refused: what the shell of a new user might pass, one case per line, its arguments
  # separated by tabs. The monitors have no window, so Qt's windowing options are no options of
  # theirs; a windowed program refuses a Qt option without its value and a form Qt does not read.
  cases=$'--bogus\nstray\n--help\t--bogus\n--\n--\e[31mred'
  case $name in
    morvane-*) cases+=$'\n-platform\n-platform=offscreen\n-style' ;;
    *) cases+=$'\n-platform\toffscreen' ;;
  esac
  while IFS=$'\t' read -r -a argv; do
    run refused "$program" "${argv[@]}"
    shown=$(printf '%q ' "${argv[@]}")
    if [ "$status" = 2 ] && [ ! -s "$work/refused.out" ] && grep -q "^$name: " "$work/refused.err" &&
      grep -q -- "--help" "$work/refused.err" && ! grep -q $'\e' "$work/refused.err"; then
      pass "$name refuses $shown: $(head -n 1 "$work/refused.err")"
    else
      fail "$name $shown: status $status (2 expected), output: $(cat -v "$work/refused.out" "$work/refused.err")"
    fi
  done <<<"$cases"
done
finish
