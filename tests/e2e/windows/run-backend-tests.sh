#!/usr/bin/env bash
# Runs the Windows backend's tests under Wine on a private X display in a fresh prefix.
set -euo pipefail
source "$(dirname "$0")/wine-lib.sh"

exe=${1:?usage: run-backend-tests.sh win32_backend_tests.exe}
vt_require_tools wine wineserver Xvfb
vt_environment

work=$(mktemp -d "${TMPDIR:-/tmp}/vortrane-backend.XXXXXX")
cleanup() {
  vt_stop_server
  vt_stop_display
  rm -rf "$work"
}
trap cleanup EXIT

vt_new_prefix "$work/prefix"
vt_start_display 1024x768x24
vt_warm_prefix
# The arguments are checked by the tests: a switch, a number and UTF-8 with a space.
# Output goes to a file: a pipe could be held open by a process the program started.
status=0
timeout 120 "$VT_WINE" "$exe" -Tovik 200 "日本語 と空白" </dev/null >"$work/output" 2>&1 || status=$?
tr -d '\r' <"$work/output"
((status != 124)) || vt_log "FAIL: the tests did not end within 120 s"
exit "$status"
