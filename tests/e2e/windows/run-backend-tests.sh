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
vt_start_server
# The arguments are checked by the tests: a switch, a number and UTF-8 with a space.
timeout 120 "$VT_WINE" "$exe" -Tovik 200 "日本語 と空白" </dev/null 2>&1 | tr -d '\r'
