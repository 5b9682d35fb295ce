#!/usr/bin/env bash
# The map page in a real window: started under Xvfb, the main menu's "Map"
# opens it on the demo atlas; a drag with the pointer pans the map (the
# picture moves with the pointer), the wheel zooms it (the scale label
# changes with it), a held arrow key turns it (the compass turns), and the
# map's menu leads back to the main menu.
# Usage: map_window_test.sh PROGRAM [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
shots=${2:-}
source "$(dirname "$0")/window_common.sh"
window_setup "$program" xwd convert compare xdotool

start

expect_page menuMain "Menu"
shot menu
tap 140 170
expect_page pageMap
shot map
menu_vs_map=$(differing menu 800x480+0+0 map 800x480+0+0)
echo "main menu to map page: $menu_vs_map pixels differ"
[ "$menu_vs_map" -gt 100000 ] || fail "the map page did not open"
colours=$(convert "$work/map.png" -format %k info:)
[ "$colours" -gt 50 ] || fail "the map page shows $colours colours: no map"

# Pan: drag by (-60, -40) in small steps, as a finger moves.
drag() {
  xdotool mousemove --window "$window" 400 260 mousedown 1
  for i in $(seq 1 12); do
    xdotool mousemove --window "$window" $((400 - 5 * i)) $((260 - 10 * i / 3))
    sleep 0.05
  done
  xdotool mouseup 1
}
changes drag
shot pan
# The map moved with the pointer: the middle of the picture before the drag
# lies 60 left and 40 up after it; the unmoved picture matches far worse.
moved=$(differing map 300x200+250+140 pan 300x200+190+100)
unmoved=$(differing map 300x200+250+140 pan 300x200+250+140)
echo "pan: $moved pixels differ from the moved picture, $unmoved from the unmoved one"
[ "$moved" -lt $((unmoved / 4)) ] || fail "the map did not follow the drag"

# Zoom: three wheel notches up; the ruler's label changes.
for _ in 1 2 3; do changes xdotool mousemove --window "$window" 400 240 click 4; done
shot zoom
label=$(differing pan 120x40+140+430 zoom 120x40+140+430)
whole=$(differing pan 800x480+0+0 zoom 800x480+0+0)
echo "zoom: $whole pixels differ, $label of them in the scale label"
[ "$whole" -gt 20000 ] && [ "$label" -gt 20 ] || fail "the wheel did not zoom the map"
# Only the compass face: the map shows through around its round edge.
compass_before=$(differing pan 36x36+746+14 zoom 36x36+746+14)
[ "$compass_before" -lt 20 ] || fail "zooming turned the compass"

# Rotate: the left arrow held for a second turns the map and the compass.
hold_left() {
  xdotool keydown Left
  sleep 1
  xdotool keyup Left
}
changes hold_left
shot rotate
compass=$(differing zoom 36x36+746+14 rotate 36x36+746+14)
whole=$(differing zoom 800x480+0+0 rotate 800x480+0+0)
echo "rotate: $whole pixels differ, $compass of them in the compass"
[ "$whole" -gt 20000 ] && [ "$compass" -gt 100 ] || fail "the key did not turn the map"

# The map's menu button opens the map menu; its last row leads back to
# the main menu.
tap_changes 36 32
tap 130 262
expect_page menuMain "Menu"
shot back
back=$(differing menu 800x480+0+0 back 800x480+0+0)
echo "back to the main menu: $back pixels differ from the first main menu"
[ "$back" -lt 2000 ] || fail "the menu button did not lead to the main menu"

kill -TERM "$mirel_pid"
wait "$mirel_pid" || fail "exit code $? after a quit request"
mirel_pid=
if grep -q "is not part of pageMap\|is not part of this design" "$work/log.txt"; then
  grep "is not part of" "$work/log.txt"
  fail "the design lacks what the map page names"
fi
echo "PASS"
