#!/bin/bash
# The photograph: desktop A shows the desktop the game started on, pixel for pixel, with no trace of the start-up box.
# Usage: photograph.sh [2 qt|2 xft|1 composited]   (a scale of 2 set by QT_SCALE_FACTOR or by the
# desktop's Xft.dpi; or a compositing manager drawing the screen, as most desktops have)
source "$(dirname "$0")/lib.sh"
scale=${1:-1}
how=${2:-}

start_desktop
case "$how" in
  qt) export QT_SCALE_FACTOR="$scale" ;;
  xft) xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "Xft.dpi:	$((96 * scale))" ;;
  composited) start_compositor ;;
esac
# An interval of 0 never ticks, so desktop A stays at full size over the board.
start_to_board -Tovik 0
note "board $BOARD shown at scale $scale ${how}"

# Another desktop from now on: a match can only come from the game's own picture.
make_pattern "$WORK/other.png" 2
show_on_root "$WORK/other.png"

bar=$((17 * scale))
height=$((SCREEN_H - bar))
convert "$WORK/desktop.png" -crop "${SCREEN_W}x${height}+0+0" +repage -depth 8 "$WORK/expected.ppm"
matches() {
  capture "$WORK/shown.ppm" 0 0 "$SCREEN_W" "$height"
  [ "$(differing_pixels "$WORK/shown.ppm" "$WORK/expected.ppm")" = 0 ]
}
if ! retry_until 5 matches; then
  fail "$(differing_pixels "$WORK/shown.ppm" "$WORK/expected.ppm") pixels of the top-left ${SCREEN_W}x${height} differ from the desktop at start-up"
fi
# The Click bar covers the bottom rows: they show neither desktop.
capture "$WORK/bar.ppm" 0 "$height" "$SCREEN_W" "$bar"
convert "$WORK/desktop.png" -crop "${SCREEN_W}x${bar}+0+${height}" +repage -depth 8 "$WORK/desktop_bar.ppm"
[ "$(differing_pixels "$WORK/bar.ppm" "$WORK/desktop_bar.ppm")" != 0 ] || fail "the bottom ${bar} rows show the desktop instead of the Click bar"
expect_on_top "$BOARD" "in play"
[ "$(board_window 'QX-Nembrolix Vortrane')" = "$BOARD" ] || fail "the board's window changed"
echo "PASS: photograph at scale $scale ${how}"
