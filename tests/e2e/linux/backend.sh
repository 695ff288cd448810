#!/bin/bash
# Runs the Qt backend's checks (backend_test.cpp) on a private X server with a window manager.
# Usage: backend.sh BACKEND_TESTS_BINARY
source "$(dirname "$0")/lib.sh"
binary=${1:?the backend_tests binary}
start_desktop
# The arguments are checked by the tests themselves: they must arrive unchanged.
"$binary" -Tovik ５０
