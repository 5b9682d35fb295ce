#!/usr/bin/env bash
# The real program's window resized under Xvfb. First as a window manager
# that sizes the window as it maps it does: to 1280 x 720 before the first
# page is drawn, which the first page must fill. Then 1280 x 720 -> 800 x
# 480 -> 1280 x 720 on the main menu and on the map page: each resize
# redraws at once (no input in between), and the widgets anchored to the
# right or the bottom edge are drawn at the new edge, looking as they did at
# the old one. The sensors page, at both sizes, shows the time going on
# without a tap.
# Usage: resize_window_test.sh PROGRAM [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
shots=${2:-}
[ -n "$shots" ] && mkdir -p "$shots"
source "$(dirname "$0")/window_common.sh"
# A screen large enough for a 1280 x 720 window (the program keeps its
# window within the screen), without a window manager.
window_screen=1440x900x24
window_setup "$program" xwd convert compare xdotool
shot_prefix=resize_

# The program held (SIGSTOP) as soon as its window is on the screen, while
# it still builds its pages, and the window sized meanwhile: the size
# reaches it as a window manager's would, before its first page is drawn.
# A start that got that far before it was held is tried again.
early=
for attempt in 1 2 3; do
  : >"$work/log.txt"
  (cd "$work" && exec ./mirel) >"$work/stdout.txt" 2>&1 &
  mirel_pid=$!
  window=
  for _ in $(seq 3000); do
    window=$(xdotool search --onlyvisible --pid "$mirel_pid" 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    kill -0 "$mirel_pid" 2>/dev/null || fail "the program ended during start-up"
    sleep 0.01
  done
  [ -n "$window" ] || fail "no window"
  kill -STOP "$mirel_pid"
  if ! grep -q "Page menuMain shown" "$work/log.txt"; then
    xdotool windowsize "$window" 1280 720
    kill -CONT "$mirel_pid"
    early=1
    break
  fi
  echo "attempt $attempt: the first page was shown before the window could be sized"
  kill -CONT "$mirel_pid"
  kill -TERM "$mirel_pid"
  wait "$mirel_pid" || true
  mirel_pid=
done
[ -n "$early" ] || fail "the window could not be sized before the first page was shown"
expect_page menuMain
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

# The time shown in a region of a picture goes on in the window, without a
# tap (the sensors page refreshes itself), within some seconds.
window_as() {
  xwd -id "$window" -silent >"$work/$1.xwd"
  convert "xwd:$work/$1.xwd" "$work/$1.png"
}
moved_on() {
  window_as now
  [ "$(differing "$1" "$2" now "$2")" -gt 20 ]
}
goes_on() {
  wait_until 10 moved_on "$1" "$2"
}

# Main menu, first drawn at the size the window had as it appeared: the
# page fills the window. The version is anchored to the top-right corner,
# "hide" to the top-left beside the way back, the title bar spans the width.
shot menu_big 1280x720
colours=$(convert "$work/menu_big.png" -crop 480x240+800+480 -format %k info:)
echo "main menu sized as it appeared: $colours colours in the part beyond 800 x 480"
[ "$colours" -gt 1 ] || fail "the window sized as it appeared was drawn at 800 x 480 (the rest stayed black)"
resize 800 480
shot menu 800x480
same menu 150x30+630+16 menu_big 150x30+1110+16 20 || fail "the version did not follow the right edge"
same menu 64x62+64+0 menu_big 64x62+64+0 20 || fail "the hide button did not stay beside the way back"
same menu 40x40+300+10 menu_big 40x40+1000+10 20 || fail "the title bar does not reach the right edge"
moved menu 150x30+630+16 menu_big 150x30+630+16 200 || fail "the version stayed at its 800 x 480 place"
same menu 400x14+200+450 menu_big 400x14+440+690 40 || fail "the map data notice did not follow the bottom edge"
# Resized once it is drawn, it is drawn as it was when sized as it appeared.
resize 1280 720
shot menu_again 1280x720
same menu_big 1280x720+0+0 menu_again 1280x720+0+0 100 || fail "the main menu resized later is not the one sized as it appeared"

# The map page at 1280 x 720: the compass (top-right), the minus button
# (bottom-right) and the scale's panel (bottom-left) move with their edges.
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

# The sensors page from the map's sensors panel: it asks for a tick twice a
# second, and its time goes on while it is shown, at both sizes.
tap 690 230
expect_page sensors "Sensors"
awk '/Page sensors shown/ { shown = 1 } shown && /Ui timer 500ms created/ { ticking = 1 } END { exit !ticking }' \
  "$work/log.txt" || fail "the sensors page runs no timer"
shot sensors 800x480
goes_on sensors 120x30+28+314 || fail "the time on the sensors page stood still at 800 x 480"
resize 1280 720
shot sensors_big 1280x720
goes_on sensors_big 120x30+38+474 || fail "the time on the sensors page stood still at 1280 x 720"
resize 800 480
tap 24 31
expect_page pageMap

# Back at 800 x 480 the map page is as a fresh one: its menu leads to the
# main menu, drawn as at 800 x 480 before.
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
