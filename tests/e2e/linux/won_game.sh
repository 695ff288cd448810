#!/bin/bash
# A whole won game: the split, twelve hits answered, the ending, the tally and the saved record, with the board on top except under a box.
source "$(dirname "$0")/lib.sh"
INTERVAL=500

start_desktop
start_to_board -Tovik "$INTERVAL"
note "board $BOARD"

# answer_game_box: a "VT" box is open; the board must be out of the top band under it and back after.
answer_game_box() {
  local box=$1
  expect_not_on_top "$BOARD" "under a box"
  press_in "$box" Return
  retry_until 5 not_viewable "$box" || fail "a VT box stayed open"
}

box=$(wait_window '^VT$' 20)  # the split: "Active..."
answer_game_box "$box"
expect_on_top "$BOARD" "after the split"

panels() { tree_of "$BOARD" | grep '^Panel' || true; }

# wait_tick: returns just after the desktops moved, so a click has a whole interval to land.
wait_tick() {
  local before deadline=$(($(now_ms) + 3 * INTERVAL))
  before=$(panels)
  while [ "$(panels)" = "$before" ] && [ "$(now_ms)" -lt "$deadline" ]; do sleep 0.02; done
}

# hit LABEL: presses LABEL until its answer opens; prints the answer box.
hit() {
  local attempt name x y w h
  for attempt in $(seq 15); do
    wait_tick
    read -r name x y w h < <(tree_of "$BOARD" | grep "^$1 " || true)
    [ -n "${name:-}" ] || fail "$1 has no window"
    if [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le "$SCREEN_W" ] && [ $((y + h)) -le "$SCREEN_H" ]; then
      xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
      if retry_until 2 window_open '^VT$'; then
        find_window '^VT$' | tail -n1
        return 0
      fi
    fi
  done
  fail "no answer to pressing $1"
}

# The topmost desktop first (D lies above C, C above B, B above A), so the label pressed is
# never under another desktop.
for label in Label4 Label3 Label2 Label1; do
  for n in 1 2 3; do
    box=$(hit "$label")
    note "$label hit $n"
    answer_game_box "$box"
    # After the last hit the next tick may already have begun the ending, which hides the board.
    [ "$label$n" = Label13 ] || expect_on_top "$BOARD" "after hit $n on $label"
  done
done

# The ending: the board leaves the screen for ten seconds, then returns under a new title.
retry_until 5 not_viewable "$BOARD" || fail "the board did not leave the screen for the ending"
[ -z "$(find_window '^QX-Nembrolix Vortrane$')" ] || fail "a window of the game stayed on screen during the ending"
note "ending: board hidden"
retry_until 20 viewable "$BOARD" || fail "the board did not come back after the ending's pause"
[ "$(window_title "$BOARD")" = "Nembrolix SS" ] || fail "title after the pause: '$(window_title "$BOARD")'"
answer_box '^良い子の皆様へ$' Return
answer_box '^VT$' Return  # the tally, "1 勝 0 敗です"; a winning streak of 1 has no message
expect_exit 10 0
expect_record 1 0 1 0 1
echo "PASS: won game"
