#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine: the emulator of the Windows build's tests.
# One shared test prefix, copied from the prepared one; no X display (console programs).
set -uo pipefail
source "$(dirname "$0")/wine-lib.sh"
vt_environment

state=$(vt_state_dir)
template=$(vt_template_prefix) || exit 1
prefix=$state/unit-prefix
(
  flock -w 300 9 || vt_fail "waited too long for the unit-test prefix"
  if ! cmp -s "$prefix/.vortrane-stamp" "$template/.vortrane-stamp"; then
    rm -rf "$prefix"
    cp -a "$template" "$prefix"
  fi
) 9>"$state/unit-prefix.lock" || exit 1
export WINEPREFIX=$prefix
# The tests need no screen, and a display must never be shared with another prefix.
unset DISPLAY WAYLAND_DISPLAY

# The server and Wine's own services start here with no tie to the caller's output: started by
# the program below they would inherit the test runner's pipe and keep it waiting. The server
# stays a little after the last program, so a run of many tests starts it once.
vt_warm_prefix 30

# The output goes through a file for the same reason; the C runtime writes CRLF, and test
# discovery wants plain lines.
output=$(mktemp "${TMPDIR:-/tmp}/vortrane-wine-run.XXXXXX")
trap 'rm -f "$output"' EXIT
"$VT_WINE" "$@" </dev/null >"$output" 2>&1
status=$?
tr -d '\r' <"$output"
exit "$status"
