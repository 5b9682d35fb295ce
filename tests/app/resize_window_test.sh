#!/usr/bin/env bash
# The real program's window resized under Xvfb, 800 x 480 -> 1280 x 720 ->
# 800 x 480, on the main menu and on the map page: each resize redraws at
# once (no input in between), and the widgets anchored to the right or the
# bottom edge are drawn at the new edge, looking as they did at the old one.
# Usage: resize_window_test.sh PROGRAM [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
shots=${2:-}
source "$(dirname "$0")/window_common.sh"
# A screen large enough for a 1280 x 720 window (the program keeps its
# window within the screen).
window_screen=1440x900x24
window_setup "$program" xwd convert compare xdotool

(cd "$work" && exec ./mirel) >"$work/stdout.txt" 2>&1 &
mirel_pid=$!
for _ in $(seq 600); do
  grep -q "after initInterface" "$work/log.txt" 2>/dev/null && break
  kill -0 "$mirel_pid" 2>/dev/null || fail "the program ended during start-up"
  sleep 0.1
done
find_window
expect_page menuMain
shot_prefix=resize_

# The window at a new size, once its first frame at that size is drawn
# (the log names it as a page's first).
drawn() { grep -c "Page [^ ]* drawn" "$work/log.txt" || true; }
resize() {
  local before
  before=$(drawn)
  xdotool windowsize "$window" "$1" "$2"
  wait_until 10 eval '[ "$(drawn)" -gt "$before" ]' || fail "nothing was drawn at $1 x $2"
}
# Fewer than limit pixels of the region differ between the two pictures.
same() {
  local n
  n=$(differing "$1" "$2" "$3" "$4")
  echo "  $1 $2 ~ $3 $4: $n pixels differ"
  [ "$n" -lt "$5" ]
}
# Some region of the big picture where the frozen page would have left it.
moved() {
  local n
  n=$(differing "$1" "$2" "$3" "$4")
  echo "  $1 $2 vs $3 $4 (old place): $n pixels differ"
  [ "$n" -gt "$5" ]
}

# Main menu. The version is anchored to the top-right corner, "hide" to the
# top-left beside the way back, the title bar spans the width.
shot menu 800x480
resize 1280 720
shot menu_big 1280x720
colours=$(convert "$work/menu_big.png" -crop 480x240+800+480 -format %k info:)
echo "main menu at 1280 x 720: $colours colours in the part beyond 800 x 480"
[ "$colours" -gt 1 ] || fail "the window was not redrawn after the resize (or the page stayed 800 x 480)"
same menu 150x30+630+16 menu_big 150x30+1110+16 20 || fail "the version did not follow the right edge"
same menu 64x62+64+0 menu_big 64x62+64+0 20 || fail "the hide button did not stay beside the way back"
same menu 40x40+300+10 menu_big 40x40+1000+10 20 || fail "the title bar does not reach the right edge"
moved menu 150x30+630+16 menu_big 150x30+630+16 200 || fail "the version stayed at its 800 x 480 place"
same menu 400x14+200+450 menu_big 400x14+440+690 40 || fail "the map data notice did not follow the bottom edge"
resize 800 480
shot menu_again 800x480
same menu 800x480+0+0 menu_again 800x480+0+0 100 || fail "the main menu is not the same after resizing back"

# The map page at 1280 x 720: the compass (top-right), the minus button
# (bottom-right) and the scale's panel (bottom-left) move with their edges.
resize 1280 720
# "Map" tile: proportionally anchored, 16..264 x 80..258 of 800 x 480.
tap 224 255
expect_page pageMap
shot map_big 1280x720
resize 800 480
shot map 800x480
same map 36x36+746+14 map_big 36x36+1226+14 20 || fail "the compass did not follow the right edge"
same map 32x32+748+380 map_big 32x32+1228+620 20 || fail "the minus button did not follow the bottom-right corner"
same map 232x8+16+428 map_big 232x8+16+668 20 || fail "the scale's panel did not follow the bottom edge"
moved map 32x32+748+380 map_big 32x32+748+380 100 || fail "the minus button stayed at its 800 x 480 place"
# Back at 800 x 480 the map page is as a fresh one: its menu leads to the
# main menu, drawn as at the start.
tap_changes 36 32
tap 130 262
expect_page menuMain
shot back 800x480
same menu 800x480+0+0 back 800x480+0+0 2000 || fail "the map menu did not lead back to the main menu"

kill -TERM "$mirel_pid"
wait "$mirel_pid" || fail "exit code $? after a quit request"
mirel_pid=
grep -q "fatal error" "$work/log.txt" && fail "a fatal error was logged"
# Surfaces log their size when replaced: the map's is the window's, never
# the 1440 x 900 screen's.
grep "TempSurface size on destruction" "$work/log.txt" | sort | uniq -c
if grep -q "TempSurface size on destruction: 1440 x 900" "$work/log.txt"; then
  fail "the map surface was made at the screen's size"
fi
echo "PASS"
