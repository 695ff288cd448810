#!/bin/bash
# Retiring: with the retire label (refused once, then granted) or with the window manager's close command.
# Usage: retire.sh label|close
source "$(dirname "$0")/lib.sh"
how=${1:?label or close}

start_desktop

case "$how" in
  label)
    start_to_board -Tovik 400
    answer_box '^VT$' Return  # the split shows the menu labels
    # press_retire: clicks the retire label until the question opens; a desktop passing
    # over the label may take the click (and answer it with a "VT" box) instead.
    press_retire() {
      local attempt name x y w h
      for attempt in $(seq 20); do
        read -r name x y w h < <(tree_of "$BOARD" | grep '^Label5 ' || true)
        [ -n "${name:-}" ] || fail "the retire label has no window"
        xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
        if retry_until 2 window_open '^(ヘタレ|VT)$'; then
          window_open '^ヘタレ$' && return 0
          answer_box '^VT$' Return
        fi
      done
      fail "the retire label never asked"
    }
    press_retire
    expect_not_on_top "$BOARD" "under the retire question"
    answer_box '^ヘタレ$' n  # No: the game goes on
    expect_on_top "$BOARD" "after refusing to retire"
    viewable "$BOARD" && game_running || fail "refusing to retire ended the game"
    press_retire
    answer_box '^ヘタレ$' Return  # Yes is the default button
    tally=$(wait_window '^VT$' 10)
    [ "$(window_title "$BOARD")" = "えっ？ リタイア？" ] || fail "title after retiring: '$(window_title "$BOARD")'"
    press_in "$tally" Return  # "0 勝 1 敗です", no streak yet
    expect_exit 10 0
    expect_record 0 1 0 1 1
    ;;
  close)
    seed_record 0 1 0 1  # one game lost before: this loss makes a streak of two
    start_to_board -Tovik 0
    press_in "$BOARD" alt+F4  # openbox's close command
    answer_box '^ヘタレ$' Return
    answer_box '^VT$' Return  # "0 勝 2 敗です"
    answer_box '^VT$' Return  # "2 連敗中です"
    expect_exit 10 0
    expect_record 0 2 0 2 2
    ;;
  *) fail "unknown way to retire: $how" ;;
esac
echo "PASS: retired by $how"
