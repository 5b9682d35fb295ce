#!/usr/bin/env bash
# "To" from the map over 40 starts in a real window: Monaco, guidance on, a
# receiver on a pseudo-terminal driving at 10 km/h from Boulevard des
# Moulins, a fix a second, on through each ten starts (then a new one from
# the start); the route of the start before stays stored. Each start: the
# map, zoomed in 4 steps, a tap beside the car, "To" where the first
# pop-up shows it. No start ends on its own, none logs a "fatal error",
# and every "To" makes a route of two points (a route that gathered the
# points of earlier ones came with the starts that ended).
# Usage: route_restarts_window_test.sh PROGRAM ROUTE_ATLAS
set -euo pipefail
program=$1
route_atlas=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/window_common.sh"
window_setup "$program" xdotool socat python3
[ -d "$work/data/maps/monaco" ] || { echo "SKIPPED: no Monaco atlas beside the program"; exit 77; }
starts=40
begun=$(date +%s)

car_at=43.7384,7.4246
printf '<?xml version="1.0" encoding="utf-8"?>\n<config version="2">\n<var name="log_severity" value="3"/>\n<var name="auto_dn" value="0"/>\n<var name="atlas" value="maps\\monaco"/>\n<var name="gps_port" value="7"/>\n<var name="gps_speed" value="4800"/>\n<var name="gps_enable" value="1"/>\n<var name="navi_on" value="1"/>\n<var name="map_start" value="1"/>\n</config>\n' \
  >"$work/data/config.xml"
# The way the car drives, from a copy of the map (the program's atlas
# folder gets no route of the tool's).
mkdir -p "$work/plain"
cp "$work/data/maps/monaco/monaco.kvm" "$work/plain/"
"$route_atlas" "$work/plain" "$car_at" 43.7300,7.4200 >"$work/drive.txt" || fail "route-atlas found no way to drive"

# The view of the first start over the car, 2D, about 2 m a pixel (centre
# x, y in global units, scale, rotation, mode, zoom word); each start leaves
# it where the car was. The tap beside the car lands a few hundred metres
# from it at most, in the town, however many of the zoom's notches the
# program took before it and wherever the car had driven by then: from 40 m
# a pixel the first start's tap fell on the motorway at the atlas's edge,
# found or not found by where the car stood, which a loaded machine changed.
python3 - "$work/data/maps/monaco/camera.kvc" "$car_at" <<'EOF2'
import math, struct, sys
lat, lon = map(float, sys.argv[2].split(","))
t31 = 2147483648.0
x = round(lon / 180 * t31)
y = round(math.log(math.tan(math.pi / 4 + lat * math.pi / 360)) / math.pi * t31)
open(sys.argv[1], "wb").write(struct.pack("<iiffBI", x, y, 0.00015 * 1.4 ** 8, 0.0, 0, 0))
EOF2

socat_pid=
talker_pid=
trap 'kill $talker_pid $socat_pid 2>/dev/null || true; window_cleanup' EXIT
mkdir -p "$work/control"
plug_receiver 7
touch "$work/control/go"
receiver() {
  [ -n "$talker_pid" ] && { kill "$talker_pid" 2>/dev/null || true; wait "$talker_pid" 2>/dev/null || true; }
  python3 "$here/nmea_route.py" "$work/gps" "$work/control" "$car_at" "$work/drive.txt" --speed 10 \
    --interval 1.0 --detour 0 &
  talker_pid=$!
}
after_route() { sed -n '/Route of [0-9]* m over/,$p' "$work/log.txt" | grep -q "Street box upper_box_turn"; }

for n in $(seq "$starts"); do
  [ $((n % 10)) = 1 ] && receiver
  : >"$work/log.txt"
  (cd "$work" && exec ./mirel) >"$work/stdout.txt" 2>&1 &
  mirel_pid=$!
  wait_for_log "Page pageMap shown" 30
  # Guidance looked at the fix: the car is on the map.
  wait_for_log "navi event:" 20
  window=$(xdotool search --sync --pid "$mirel_pid" | head -n 1)
  # The clicks are handled in their order: the tap opens the pop-up that
  # the next click finds.
  for _ in 1 2 3 4; do xdotool mousemove --window "$window" 400 300 click 4; done
  xdotool mousemove --window "$window" 560 220 click 1 mousemove --window "$window" 400 384 click 1
  wait_for_log "Route of [0-9]* m over" 20
  # The frame after the command, where the sensors read guidance: the top
  # box names the street again once the pop-up is closed.
  wait_until 20 after_route || fail "start $n: no frame after the route"
  kill -0 "$mirel_pid" 2>/dev/null || fail "start $n ended on its own"
  route=$(grep -o "Route of [0-9]* m over [0-9]* points" "$work/log.txt" | tail -n 1)
  kill -TERM "$mirel_pid"
  status=0
  wait "$mirel_pid" || status=$?
  mirel_pid=
  [ "$status" = 0 ] || fail "start $n: exit status $status after a quit request"
  ! grep -q "fatal error" "$work/log.txt" || fail "start $n: $(grep -m 1 'fatal error' "$work/log.txt")"
  echo "start $n: $route"
  case "$route" in *" over 2 points") ;; *) fail "start $n: \"To\" made a route of more than two points" ;; esac
done
echo "$starts starts in $(($(date +%s) - begun)) s"
echo "PASS"
