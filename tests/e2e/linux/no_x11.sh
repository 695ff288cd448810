#!/bin/bash
# Without an X11 desktop the game says why and stops with exit code 1, before covering anything.
source "$(dirname "$0")/lib.sh"

code=0
out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$GAME" 2>&1) || code=$?
[ "$code" = 1 ] || fail "without a display: exit code $code"
grep -q "needs an X11 desktop" <<<"$out" || fail "without a display the game said: $out"

# A Wayland session: X programs cannot see the desktop there, so there is nothing to photograph.
start_desktop
WAYLAND_DISPLAY=wayland-0 XDG_SESSION_TYPE=wayland start_game
box=$(wait_window '^QX-Nembrolix Vortrane$' 15)
[ -z "$(xdotool search --name '^Panel1$' 2>/dev/null)" ] || fail "the board was made in a Wayland session"
press_in "$box" Return
expect_exit 10 1
grep -q "Wayland session" "$GAME_LOG" || fail "no word of Wayland on standard error"
echo "PASS: refuses to run without X11"
