#!/bin/bash
# One copy at a time: a second copy stops with the "VT - mutex" box, and a killed copy does not block the next.
source "$(dirname "$0")/lib.sh"

start_desktop
start_to_board -Tovik 0
first=$GAME_PID
OTHER_PIDS=$first

XDG_RUNTIME_DIR="$WORK/runtime" XDG_DATA_HOME="$WORK/data" "$GAME" >>"$GAME_LOG" 2>&1 &
GAME_PID=$!
answer_box '^VT - mutex$' Return
expect_exit 10 0
kill -0 "$first" 2>/dev/null || fail "the first copy ended"
viewable "$BOARD" || fail "the first copy's board left the screen"
expect_on_top "$BOARD" "after the second copy stopped"

# Killed outright, the first copy holds nothing the next start would wait for.
kill -9 "$first"
wait "$first" 2>/dev/null || true
start_game -Tovik 0
wait_window '^QX-Nembrolix Vortrane - Warning!$' 15 >/dev/null
[ -z "$(find_window '^VT - mutex$')" ] || fail "the copy after kill -9 was refused"
echo "PASS: single instance"
