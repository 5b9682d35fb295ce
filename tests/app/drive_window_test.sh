#!/usr/bin/env bash
# The demo drive in a real window: the map opens on the demo town where the
# driver left it (camera.kvc), two taps and "To" make a route over the
# roundabout, the map menu starts the demo; the car then drives with the
# turn arrow and its distance, the street boxes filled, the roads of the
# car and of the next manoeuvre marked (the "route2" colour) and the car
# marker on top; the menu's last row leads to the main menu.
# Usage: drive_window_test.sh PROGRAM [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
shots=${2:-}
source "$(dirname "$0")/window_common.sh"
window_setup "$program" xwd convert compare xdotool python3
[ -n "$shots" ] && mkdir -p "$shots"

# The view over the town centre at about 40 m per 40 pixels, 2D (centre x,
# y in global units, scale, rotation, mode, zoom word).
python3 - "$work/data/maps/demo/camera.kvc" <<'EOF'
import math, struct, sys
lat, lon, t31 = 50.0, 10.0, 2147483648.0
x = round(lon / 180 * t31)
y = round(math.log(math.tan(math.pi / 4 + lat * math.pi / 360)) / math.pi * t31)
open(sys.argv[1], "wb").write(struct.pack("<iiffBI", x, y, 0.006, 0.0, 0, 0))
EOF

start

tap 140 170
expect_page pageMap
shot drive-map
# The town centre (the roundabout) lies at the car's anchor, 2/3 down.
# West on Main Street: "To" places the start (no GPS); east: "To" routes.
tap_changes 100 320
tap_changes 400 384
tap_changes 700 320
shot drive-tap
tap 400 384
wait_for_log "Route of [0-9]* m" 20
# The route drawn (the picture polled until it shows, 10 s at the most).
route_drawn() {
  shot drive-route now
  route=$(pixels_like drive-route 800x100+0+270 "#0040FF")
  [ "$route" -gt 1000 ]
}
wait_until 10 route_drawn || true
shot drive-route
route=$(pixels_like drive-route 800x100+0+270 "#0040FF")
echo "route: $route pixels of the route colour"
[ "$route" -gt 1000 ] || fail "no route was drawn"

tap_changes 36 32
shot drive-menu
tap 130 174
# The demo drives at its own pace: its start, the street boxes, then the
# picture polled until the turn arrow, the boxes and the car show.
wait_for_log "navi event:Start" 20
wait_for_log 'Street box upper_box: "Linden Circle"' 20
demo_shown() {
  shot drive-demo now
  arrow=$(pixels_like drive-demo 80x80+16+80 "#FFFFFF")
  streets=$(differing drive-route 560x60+84+6 drive-demo 560x60+84+6)
  car=$(pixels_like drive-demo 120x120+340+260 "#FFFFFF")
  [ "$arrow" -gt 300 ] && [ "$streets" -gt 300 ] && [ "$car" -gt 100 ]
}
wait_until 10 demo_shown || true
echo "demo: $arrow white pixels in the turn arrow, $streets changed in the street boxes, $car in the car's rim"
[ "$arrow" -gt 300 ] || fail "no turn arrow during the demo"
[ "$streets" -gt 300 ] || fail "the street boxes stayed empty"
# What they say: the street the car is on, and the roundabout it turns into.
grep -q 'Street box upper_box_turn: "Main Street"' "$work/log.txt" || fail "the upper box does not name Main Street"
grep -q 'Street box upper_box: "Linden Circle"' "$work/log.txt" || fail "the next street is not the roundabout"
[ "$car" -gt 100 ] || fail "no car marker"
grep -q "navi event:Start" "$work/log.txt" || fail "the demo did not start guidance"
# The car three seconds of its drive further, nearer the turn.
sleep 3
shot drive-turn now

# Closer in ("+" held for a second and a half, to about 15 m per 40
# pixels) the town's detail level is drawn, whose roads carry their road
# references: the car's road and the road of the next manoeuvre are marked
# in the "route2" colour.
xdotool mousemove --window "$window" 764 340 mousedown 1
sleep 1.5
xdotool mouseup 1
# The zoom ends and the marks are drawn: the picture polled for them.
before=$(pixels_like drive-route 800x480+0+0 "#90B0F8")
marks_drawn() {
  shot drive-marks now
  marks=$(pixels_like drive-marks 800x480+0+0 "#90B0F8")
  [ "$marks" -gt 1000 ]
}
wait_until 10 marks_drawn || true
echo "road marks: $marks pixels of the mark colour during the demo, $before before it"
[ "$marks" -gt 1000 ] && [ "$before" -lt 50 ] || fail "no roads marked during the demo"
# The route goes on over the marked roads at that level too.
route=$(pixels_like drive-marks 800x480+0+0 "#0040FF")
echo "route at the detail level: $route pixels of the route colour"
[ "$route" -gt 1500 ] || fail "no route drawn at the town's detail level"

# The menu's last row is "Main menu", above the rotate buttons.
# The car moves on: the menu is awaited by its last row, as drive-menu
# shows it (the demo's row above it reads otherwise now).
tap 36 32
menu_open() {
  shot drive-menu-again now
  [ "$(differing drive-menu 256x44+8+242 drive-menu-again 256x44+8+242)" -lt 300 ]
}
wait_until 10 menu_open || fail "the map's menu did not open during the demo"
tap 130 262
expect_page menuMain "Menu"
shot drive-back
back=$(differing drive-back 800x480+0+0 drive-map 800x480+0+0)
echo "main menu after the map menu: $back pixels differ from the map"
[ "$back" -gt 100000 ] || fail "the menu's last row did not lead to the main menu"

kill -TERM "$mirel_pid"
wait "$mirel_pid" || fail "exit code $? after a quit request"
mirel_pid=
echo "PASS"
