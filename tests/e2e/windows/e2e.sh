#!/usr/bin/env bash
# Plays the real Windows game under Wine on a private X display, answering its boxes with
# xdotool, and checks what a player sees and what the registry keeps.
# Usage: e2e.sh won|retired|bad_record|second_copy|photograph path/to/vortrane.exe
set -euo pipefail
source "$(dirname "$0")/wine-lib.sh"

scenario=${1:?usage: e2e.sh SCENARIO vortrane.exe}
exe=${2:?usage: e2e.sh SCENARIO vortrane.exe}
[[ -f $exe ]] || vt_fail "no game at $exe"
vt_require_tools wine wineserver Xvfb xdotool import convert compare display flock iconv
vt_environment

readonly record='HKCU\Software\Telquarin\QX-Nembrolix\Vortrane'
readonly title='QX-Nembrolix Vortrane'
readonly warning="$title - Warning!"

work=$(mktemp -d "${TMPDIR:-/tmp}/vortrane-e2e-$scenario.XXXXXX")
game_pids=()
cleanup() {
  local status=$?
  if ((status != 0)) && [[ -n ${DISPLAY:-} ]]; then
    # What the screen showed when the test failed, and what the game said.
    vt_screenshot "$PWD/wine-$scenario-failure.png" || true
    vt_log "screen at failure: $PWD/wine-$scenario-failure.png"
    cat "$work"/game*.log 2>/dev/null | tr -d '\r' | tail -n 20 >&2 || true
  fi
  local pid
  for pid in "${game_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  vt_stop_server
  vt_stop_display
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

vt_new_prefix "$work/prefix"
vt_start_display 1024x768x24
# A desktop with shapes and a gradient but none of the Click labels' pure colours.
convert -size 1024x768 gradient:'#2a4f6f'-'#6f4f2a' \
  -fill '#d8d4c0' -draw 'rectangle 40,40 300,220' -fill '#303840' -draw 'rectangle 40,40 300,60' \
  -fill '#b05050' -draw 'circle 700,400 760,460' -fill '#e0e0e0' -draw 'rectangle 420,620 600,660' \
  "$work/desktop.png"
display -window root "$work/desktop.png" >/dev/null 2>&1 || true
vt_warm_prefix
vt_screenshot "$work/desktop-shot.png"
# A plain black screen would let a black picture pass for the photograph.
colours=$(convert "$work/desktop-shot.png" -format '%k' info: 2>/dev/null || echo 0)
((colours > 100)) || vt_fail "the test desktop did not appear on the display ($colours colours)"

# --- Helpers ------------------------------------------------------------------------------

# Starts a copy of the game; its process id is appended to game_pids.
start_game() {
  local log=$work/game${#game_pids[@]}.log
  "$VT_WINE" "$exe" "$@" </dev/null >"$log" 2>&1 &
  game_pids+=($!)
  vt_log "started the game ($*), pid $!"
}

# Waits up to $2 seconds for process $1 to end; its exit status must be 0.
wait_exit() {
  local pid=$1 seconds=${2:-15} deadline status=0
  deadline=$((SECONDS + seconds))
  while kill -0 "$pid" 2>/dev/null; do
    ((SECONDS < deadline)) || vt_fail "the game (pid $pid) did not end within ${seconds}s"
    sleep 0.2
  done
  wait "$pid" || status=$?
  ((status == 0)) || vt_fail "the game ended with status $status, not 0"
}

reg_add_dword() {
  timeout 30 "$VT_WINE" reg add "$record" /v "$1" /t REG_DWORD /d "$2" /f >/dev/null 2>&1 ||
    vt_fail "could not seed $1"
}

# Checks the record holds exactly these five REG_DWORD values: Kachi Make Rensho Renpai Chimidoro.
expect_record() {
  local names=(Kachi Make Rensho Renpai Chimidoro) values=("$@") output i line
  output=$(timeout 30 "$VT_WINE" reg query "$record" 2>/dev/null | tr -d '\r') ||
    vt_fail "the record's key is missing"
  for i in "${!names[@]}"; do
    line=$(grep -E "^\s+${names[$i]}\s" <<<"$output" || true)
    [[ $line =~ REG_DWORD[[:space:]]+0x([0-9a-fA-F]+) ]] ||
      vt_fail "${names[$i]} is not a REG_DWORD: ${line:-absent}"
    ((16#${BASH_REMATCH[1]} == ${values[$i]})) ||
      vt_fail "${names[$i]} is $((16#${BASH_REMATCH[1]})), expected ${values[$i]}"
  done
  vt_log "record: ${values[*]}"
}

expect_no_record() {
  if timeout 30 "$VT_WINE" reg query "$record" >/dev/null 2>&1; then
    vt_fail "a record was saved, though the game was not closed"
  fi
}

# Where the Click labels are: one "x y" per line for each label colour found on the screen,
# outside the menu in the top-left corner (its red text and lime highlight look alike).
find_click_labels() {
  local shot=$work/play.png colour geometry
  vt_screenshot "$shot" || return 0
  for colour in '#00FFFF' '#FFFF00' '#00FF00' '#FF0000'; do
    geometry=$(convert "$shot" -fill black -draw 'rectangle 0,0 99,59' -fill black \
      +opaque "$colour" -format '%@' info: 2>/dev/null || true)
    if [[ $geometry =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] && ((BASH_REMATCH[1] > 3)); then
      echo "$((BASH_REMATCH[3] + BASH_REMATCH[1] / 2)) $((BASH_REMATCH[4] + BASH_REMATCH[2] / 2))"
    fi
  done
}

# Hits Click labels until $1 hits have been answered; a click that a move beat to the label
# brings no box and is tried again.
hit_labels() {
  local wanted=$1 hits=0 deadline x y
  deadline=$((SECONDS + 150))
  while ((hits < wanted)); do
    ((SECONDS < deadline)) || vt_fail "only $hits of $wanted hits within the time"
    read -r x y < <(find_click_labels) || { sleep 0.2; continue; }
    xdotool mousemove "$x" "$y" click 1
    if vt_wait_window VT 2 >/dev/null; then
      hits=$((hits + 1))
      vt_answer_box VT Return 5
    fi
  done
}

# Waits for the screen to show exactly the desktop, as it did before the game started.
wait_for_bare_desktop() {
  local deadline=$((SECONDS + ${1:-15})) shot=$work/bare.png
  while ((SECONDS < deadline)); do
    vt_screenshot "$shot"
    [[ $(compare -metric AE "$shot" "$work/desktop-shot.png" null: 2>&1) == 0 ]] && return 0
    sleep 0.3
  done
  return 1
}

# --- Scenarios ----------------------------------------------------------------------------

case $scenario in
won)
  # A win after a win: the tally, the streak, and the record's five values.
  reg_add_dword Kachi 1
  reg_add_dword Make 0
  reg_add_dword Rensho 1
  reg_add_dword Renpai 0
  start_game -Tovik 1000
  vt_answer_box "$warning" Return 30
  vt_answer_box VT Return 30  # the split: "Active化完了！"
  hit_labels 12
  # The ending: ten seconds of the real desktop, then the closing warning.
  wait_for_bare_desktop 15 || vt_fail "the board did not leave the desktop bare in the ending"
  vt_log "the ending shows the bare desktop"
  vt_answer_box "良い子の皆様へ" Return 30
  vt_answer_box VT Return 10  # "2 勝 0 敗です"
  vt_answer_box VT Return 10  # "2 連勝中です"
  wait_exit "${game_pids[0]}" 15
  expect_record 2 0 2 0 2
  ;;

retired)
  # First run; the system's close command asks and "No" keeps the game; the retire label
  # asks again and "Yes" retires.
  start_game -Tovik 1000
  vt_answer_box "$warning" Return 30
  vt_answer_box VT Return 30
  xdotool key alt+F4
  vt_answer_box "ヘタレ" n 10
  sleep 1
  kill -0 "${game_pids[0]}" 2>/dev/null || vt_fail "answering no ended the game"
  expect_no_record
  xdotool mousemove 48 14 click 1  # "リタイア"
  vt_answer_box "ヘタレ" y 10
  vt_answer_box VT Return 10  # "0 勝 1 敗です"
  wait_exit "${game_pids[0]}" 15
  expect_record 0 1 0 1 1
  ;;

bad_record)
  # A REG_SZ where a REG_DWORD belongs: the framework's error box, captioned with the title;
  # the board stays, and retiring writes all five values as REG_DWORD again.
  timeout 30 "$VT_WINE" reg add "$record" /v Kachi /t REG_SZ /d 1 /f >/dev/null 2>&1 ||
    vt_fail "could not seed the REG_SZ"
  start_game
  vt_answer_box "$title" Return 30
  sleep 1
  xdotool key alt+F4
  vt_answer_box "ヘタレ" y 10
  vt_answer_box VT Return 10  # "0 勝 1 敗です"
  wait_exit "${game_pids[0]}" 15
  expect_record 0 1 0 1 1
  ;;

second_copy)
  # A second copy stops at its box and leaves the first one running; once the first has
  # ended, a new copy starts normally.
  start_game
  vt_wait_window "$warning" 30 >/dev/null || vt_fail "the first copy did not start"
  start_game
  vt_answer_box "VT - mutex" Return 30
  wait_exit "${game_pids[1]}" 15
  vt_wait_window "$warning" 2 >/dev/null || vt_fail "the first copy's box went away"
  kill -0 "${game_pids[0]}" 2>/dev/null || vt_fail "the first copy ended"
  kill "${game_pids[0]}"
  wait "${game_pids[0]}" 2>/dev/null || true
  vt_wait_window_gone "$warning" 10 || vt_fail "the first copy's box stayed after it was killed"
  start_game
  vt_wait_window "$warning" 30 >/dev/null || vt_fail "a new copy did not start after the first ended"
  if vt_wait_window "VT - mutex" 2 >/dev/null; then vt_fail "the new copy was refused"; fi
  ;;

photograph)
  # With a zero interval nothing moves: the board shows the photograph above its Click bar,
  # and that picture must be the desktop pixel for pixel.
  start_game -Tovik 0
  vt_answer_box "$warning" Return 30
  top=$work/desktop-top.png
  convert "$work/desktop-shot.png" -crop 1024x751+0+0 +repage "$top"
  deadline=$((SECONDS + 20))
  while :; do
    ((SECONDS < deadline)) || vt_fail "the board never showed the desktop above its bar"
    vt_screenshot "$work/board.png"
    # The bar covers the bottom 17 rows: the board is up once they differ from the desktop.
    if [[ $(compare -metric AE "$work/board.png" "$work/desktop-shot.png" null: 2>&1) != 0 ]]; then
      sleep 0.5
      vt_screenshot "$work/board.png"
      break
    fi
    sleep 0.3
  done
  convert "$work/board.png" -crop 1024x751+0+0 +repage "$work/board-top.png"
  differing=$(compare -metric AE "$work/board-top.png" "$top" null: 2>&1 || true)
  [[ $differing == 0 ]] || {
    cp "$work/board.png" "$PWD/wine-photograph-board.png"
    vt_fail "the photograph differs from the desktop in $differing pixels"
  }
  vt_log "the photograph equals the desktop pixel for pixel"
  ;;

*)
  vt_fail "unknown scenario $scenario"
  ;;
esac
vt_log "PASS: $scenario"
