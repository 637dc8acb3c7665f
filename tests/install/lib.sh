# Shared by the install checks (sourced). Everything they write goes into one temporary folder
# ($work), removed at the end together with every process they started; nothing is installed on
# this machine.
#
# Exit status of a check: 0 passed, 1 failed, 77 skipped (something it needs is missing here).
# With CI=true a skip is a failure.
set -uo pipefail

work=$(mktemp -d "${TMPDIR:-/tmp}/zr-install-check-XXXXXX") || exit 1
started=()        # pids to stop at the end
avahi_dirs=()     # private Avahi daemons to stop at the end
failures=0
skipped=""

cleanup() {
  local pid i
  for pid in "${started[@]}"; do
    kill -TERM "$pid" 2>/dev/null || continue
    for ((i = 0; i < 100; i++)); do alive "$pid" || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  for i in "${avahi_dirs[@]}"; do bash "$ZR_SOURCE_DIR/scripts/avahi-loopback" stop "$i" >/dev/null 2>&1; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

say() { echo "$(basename "$0"): $*"; }
fail() { say "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { say "ok: $*"; }

# The check cannot run here: noted, reported at the end (a failure with CI=true).
skip() {
  say "SKIP: $*" >&2
  skipped+="$*; "
}

# Missing tools: skipped, or under CI failed (CI must run every check).
require_tools() {
  local t missing=()
  for t in "$@"; do command -v "$t" >/dev/null 2>&1 || missing+=("$t"); done
  [ ${#missing[@]} -eq 0 ] && return 0
  say "missing: ${missing[*]} (scripts/deps installs them)" >&2
  [ "${CI:-}" = "true" ] && exit 1
  exit 77
}

finish() {
  if [ "$failures" -gt 0 ]; then
    say "$failures check(s) failed" >&2
    exit 1
  fi
  if [ -n "$skipped" ]; then
    [ "${CI:-}" = "true" ] && { say "CI=true: skipped checks fail: $skipped" >&2; exit 1; }
    exit 77
  fi
  say "all checks passed"
  exit 0
}

# wait_until SECONDS COMMAND...: true once COMMAND succeeds, false when SECONDS have passed.
wait_until() {
  local limit=$(($1 * 10)) i
  shift
  for ((i = 0; i < limit; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  "$@"
}

# True while the process runs (a zombie, ended but not yet waited for, counts as ended).
alive() {
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "$state" != Z ] && [ "$state" != X ]
}

# stop_process PID SECONDS: SIGTERM, then waits; sets stop_status to the exit status, or to
# "killed" when the process had to be killed after the limit. (Not in a subshell: it waits for
# a child of this shell.)
stop_status=""
stop_process() {
  local pid=$1 limit=$(($2 * 10)) i
  kill -TERM "$pid" 2>/dev/null
  for ((i = 0; i < limit; i++)); do alive "$pid" || break; sleep 0.1; done
  if alive "$pid"; then
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    stop_status=killed
    return
  fi
  wait "$pid" 2>/dev/null
  stop_status=$?
}
