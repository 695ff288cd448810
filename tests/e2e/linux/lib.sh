# Shared helpers of the Linux end-to-end tests: a private X server with a window manager, the game, bounded waits.
#
# Every test sources this file, calls start_desktop, drives the real binary with xdotool and
# checks what a player would see. Every wait has a deadline; on exit everything started here
# is stopped and the temporary folder removed.

set -euo pipefail
export LC_ALL=C.UTF-8

GAME=${VORTRANE_BINARY:?set VORTRANE_BINARY to the vortrane executable}
SKIP=77  # ctest's SKIP_RETURN_CODE for these tests

for tool in Xvfb openbox xdotool xwininfo xprop import convert compare display; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed (xvfb openbox xdotool x11-utils imagemagick)"
    exit "$SKIP"
  fi
done

WORK=$(mktemp -d)
chmod 700 "$WORK"
mkdir -m 700 "$WORK/runtime" "$WORK/data"
XVFB_PID=""
WM_PID=""
GAME_PID=""
OTHER_PIDS=""  # further copies of the game a test started
GAME_LOG="$WORK/game.log"
RECORD="$WORK/data/Telquarin/QX-Nembrolix/Vortrane.reg"
SCREEN_W=1024
SCREEN_H=768

cleanup() {
  local status=$?
  for pid in $GAME_PID $OTHER_PIDS $WM_PID; do
    kill -9 "$pid" 2>/dev/null || true
  done
  if [ -n "$XVFB_PID" ]; then
    # Asked to stop, the server removes its lock file and socket itself.
    kill "$XVFB_PID" 2>/dev/null || true
    retry_until 2 bash -c "! kill -0 $XVFB_PID 2>/dev/null" || kill -9 "$XVFB_PID" 2>/dev/null || true
  fi
  if [ "$status" -ne 0 ] && [ "$status" -ne "$SKIP" ] && [ -s "$GAME_LOG" ]; then
    echo "--- game output ---"
    cat "$GAME_LOG"
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT

# fail MESSAGE: ends the test. With E2E_KEEP set to a folder, the screen is saved there first.
fail() {
  echo "FAIL: $*" >&2
  if [ -n "${E2E_KEEP:-}" ] && [ -n "${DISPLAY:-}" ]; then
    import -window root "$E2E_KEEP/$(basename "$0" .sh)-failure.png" 2>/dev/null || true
  fi
  exit 1
}

note() { echo "-- $*"; }

now_ms() { date +%s%3N; }

# retry_until TIMEOUT_S COMMAND...: runs COMMAND every 50 ms until it succeeds; fails after TIMEOUT_S.
retry_until() {
  local timeout=$1
  shift
  local deadline=$(($(now_ms) + timeout * 1000))
  until "$@"; do
    [ "$(now_ms)" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}

# start_desktop [extra Xvfb args]: a 1024x768 X server on a free display, openbox on it, and
# a noise pattern as the desktop (each pixel differs from its neighbours, so any shift shows).
start_desktop() {
  local n attempt
  # A display number of our own choosing, free both as a lock file here and as an abstract
  # socket (which other mount namespaces on the machine share): Xvfb -displayfd looks only at
  # lock files, and a client could end up on someone else's server.
  for attempt in $(seq 30); do
    n=$((100 + RANDOM % 900))
    [ ! -e "/tmp/.X$n-lock" ] || continue
    ! grep "@/tmp/.X11-unix/X$n\$" /proc/net/unix >/dev/null 2>&1 || continue
    # -noreset: otherwise the server resets whenever its last client leaves, refusing whoever
    # connects meanwhile (and dropping the desktop picture).
    Xvfb ":$n" -screen 0 "${SCREEN_W}x${SCREEN_H}x24" -nolisten tcp -noreset "$@" >"$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 200); do
      server_ready && break 2
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    kill -9 "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  done
  [ -n "$XVFB_PID" ] || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
  unset WAYLAND_DISPLAY XDG_SESSION_TYPE QT_QPA_PLATFORM QT_SCALE_FACTOR
  openbox >"$WORK/openbox.log" 2>&1 &
  WM_PID=$!
  retry_until 20 wm_ready || fail "openbox did not start: $(cat "$WORK/openbox.log")"
  make_pattern "$WORK/desktop.png" 1
  show_on_root "$WORK/desktop.png"
  # display's exit status says nothing; the screen itself shows whether the pattern is there.
  convert "$WORK/desktop.png" -depth 8 "$WORK/desktop.ppm"
  desktop_shown() {
    capture "$WORK/root.ppm" 0 0 "$SCREEN_W" "$SCREEN_H"
    [ "$(differing_pixels "$WORK/root.ppm" "$WORK/desktop.ppm")" = 0 ]
  }
  retry_until 5 desktop_shown || fail "the desktop pattern did not appear on the screen"
}

# start_compositor: a compositing manager (xcompmgr) draws the screen from then on, with the
# desktop pattern as the root's picture, where compositing managers look for it.
COMPOSITED=""
start_compositor() {
  for tool in xcompmgr hsetroot; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed (xcompmgr hsetroot)"; exit "$SKIP"; }
  done
  COMPOSITED=1
  show_on_root "$WORK/desktop.png"
  xcompmgr -n >"$WORK/xcompmgr.log" 2>&1 &
  OTHER_PIDS="$OTHER_PIDS $!"
  retry_until 10 compositor_ready || fail "xcompmgr did not start: $(cat "$WORK/xcompmgr.log")"
  retry_until 10 desktop_shown || fail "the desktop pattern is not on the screen under xcompmgr"
}

# xcompmgr names the window that holds the screen's compositing selection after itself.
compositor_ready() { [ -n "$(xdotool search --name '^xcompmgr$' 2>/dev/null)" ]; }

# Our server is up (and not gone at once because the number was taken after all).
server_ready() { kill -0 "$XVFB_PID" 2>/dev/null && xprop -root >/dev/null 2>&1; }

wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep 'window id' >/dev/null; }

make_pattern() { # FILE SEED
  convert -size "${SCREEN_W}x${SCREEN_H}" -seed "$2" xc: +noise Random -depth 8 "$1"
}

show_on_root() {
  if [ -n "$COMPOSITED" ]; then
    hsetroot -full "$1" >/dev/null 2>&1 || true
  else
    display -window root "$1" >/dev/null 2>&1 || true
  fi
}

# start_game ARGS...: the game in the background, with this test's own runtime and data folders.
start_game() {
  XDG_RUNTIME_DIR="$WORK/runtime" XDG_DATA_HOME="$WORK/data" "$GAME" "$@" >>"$GAME_LOG" 2>&1 &
  GAME_PID=$!
}

game_running() { kill -0 "$GAME_PID" 2>/dev/null; }

game_ended() { ! kill -0 "$GAME_PID" 2>/dev/null; }

# wait_game_exit TIMEOUT_S: waits for the game to end and sets GAME_EXIT to its exit code.
# Not for a command substitution: only this shell, the game's parent, can collect the code.
wait_game_exit() {
  retry_until "$1" game_ended || fail "the game did not end within $1 s"
  GAME_EXIT=0
  wait "$GAME_PID" || GAME_EXIT=$?
  GAME_PID=""
}

# expect_exit TIMEOUT_S CODE: the game ends in time with that exit code.
expect_exit() {
  wait_game_exit "$1"
  [ "$GAME_EXIT" = "$2" ] || fail "the game ended with exit code $GAME_EXIT instead of $2"
}

# find_window NAME_REGEX: ids of viewable windows whose name matches, newest last.
find_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null || true; }

# wait_window NAME_REGEX TIMEOUT_S: prints the id of a viewable window of that name.
wait_window() {
  local id="" deadline=$(($(now_ms) + $2 * 1000))
  while [ -z "$id" ]; do
    id=$(find_window "$1" | tail -n1)
    [ -n "$id" ] && break
    [ "$(now_ms)" -lt "$deadline" ] || fail "no window named '$1' within $2 s"
    game_running || [ -z "$GAME_PID" ] || fail "the game ended while waiting for '$1'"
    sleep 0.05
  done
  echo "$id"
}

window_open() { [ -n "$(find_window "$1")" ]; }

viewable() { xwininfo -id "$1" 2>/dev/null | grep 'IsViewable' >/dev/null; }
not_viewable() { ! viewable "$1"; }

# answer_box CAPTION_REGEX KEY: waits for the box, presses KEY in it and waits until it has gone.
answer_box() {
  local box
  box=$(wait_window "$1" 15)
  press_in "$box" "$2"
  retry_until 5 not_viewable "$box" || fail "box '$1' stayed open after $2"
}

press_in() { # WINDOW KEY
  timeout 5 xdotool windowactivate --sync "$1" >/dev/null 2>&1 || xdotool windowfocus "$1" 2>/dev/null || true
  xdotool key --clearmodifiers "$2"
}

# The board: the game's full-screen window, found by its title.
board_window() { xdotool search --name "^$1\$" 2>/dev/null | head -n1; }

on_top() { xprop -id "$1" _NET_WM_STATE 2>/dev/null | grep '_NET_WM_STATE_ABOVE' >/dev/null; }
not_on_top() { ! on_top "$1"; }

expect_on_top() { retry_until 3 on_top "$1" || fail "the board is not always-on-top ($2)"; }
expect_not_on_top() { retry_until 3 not_on_top "$1" || fail "the board is still always-on-top ($2)"; }

window_title() { xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'; }

# tree_of WINDOW: "name x y width height" of every named window below WINDOW, absolute positions.
# Windows can vanish while xwininfo walks the tree; it is asked again then.
tree_of() {
  local out
  for _ in 1 2 3 4 5; do
    if out=$(xwininfo -id "$1" -tree 2>/dev/null); then
      echo "$out" | sed -n 's/^ *0x[0-9a-f]* "\([^"]*\)": ([^)]*)  \([0-9]*\)x\([0-9]*\)+-\{0,1\}[0-9]*+-\{0,1\}[0-9]*  +\(-\{0,1\}[0-9]*\)+\(-\{0,1\}[0-9]*\)$/\1 \4 \5 \2 \3/p'
      return 0
    fi
    sleep 0.05
  done
  return 1
}

# capture FILE X Y W H: the screen's pixels in that rectangle, as a PPM file.
capture() {
  import -window root -crop "${4}x${5}+${2}+${3}" +repage -depth 8 "$1" 2>/dev/null || fail "could not read the screen"
}

# differing_pixels A B: how many pixels differ between two pictures of one size.
differing_pixels() { compare -metric AE "$1" "$2" null: 2>&1 || true; }

# record_has NAME VALUE: the score record holds NAME as the REG_DWORD VALUE.
record_has() {
  [ -f "$RECORD" ] || fail "no score record at $RECORD"
  local expected
  expected=$(printf '"%s"=dword:%08x' "$1" "$2")
  grep -qixF "$expected" <(tr -d '\r' <"$RECORD") || fail "the record lacks $expected; it holds:
$(cat "$RECORD")"
}

expect_record() { # KACHI MAKE RENSHO RENPAI CHIMIDORO
  record_has Kachi "$1"
  record_has Make "$2"
  record_has Rensho "$3"
  record_has Renpai "$4"
  record_has Chimidoro "$5"
}

seed_record() { # KACHI MAKE RENSHO RENPAI
  mkdir -p "$(dirname "$RECORD")"
  printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Telquarin\\QX-Nembrolix\\Vortrane]\n"Kachi"=dword:%08x\n"Make"=dword:%08x\n"Rensho"=dword:%08x\n"Renpai"=dword:%08x\n"Chimidoro"=dword:%08x\n' \
    "$1" "$2" "$3" "$4" $(($1 + $2)) >"$RECORD"
}

# Start-up up to the board: the content warning answered, the board shown on top. Sets BOARD
# to the board's X window, taken while the box was open and the board not yet shown: if the
# window were made anew when shown, this one would never become viewable.
start_to_board() {
  start_game "$@"
  local box
  box=$(wait_window '^QX-Nembrolix Vortrane - Warning!$' 15)
  BOARD=$(board_window 'QX-Nembrolix Vortrane')
  [ -n "$BOARD" ] || fail "no board window while the content warning is open"
  press_in "$box" Return
  retry_until 5 not_viewable "$box" || fail "the content warning stayed open"
  retry_until 10 viewable "$BOARD" || fail "the board's window was not shown (or was made anew)"
  expect_on_top "$BOARD" "after start-up"
}
