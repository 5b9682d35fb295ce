#!/usr/bin/env bash
# What the driver made survives a kill: on the Monaco atlas a waypoint is
# stored from the map's pop-up and a route is set with "From" and "To";
# each reaches its file while the program runs (the waypoint's category
# GPX, the atlas's path.kvp), and so does the view once it is still; the
# other view and pitch confirmed on the Map view page reach camera.kvc on
# "OK". The program is then killed (-9) at once; started again it reads the
# route back and the GPX holds the point.
# Usage: kill_window_test.sh PROGRAM [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
shots=${2:-}
[ -n "$shots" ] && mkdir -p "$shots"
source "$(dirname "$0")/window_common.sh"
window_setup "$program" xwd convert compare xdotool
shot_prefix=kill_

monaco="$work/data/maps/monaco"
[ -d "$monaco" ] || { echo "SKIPPED: no Monaco atlas beside the program"; exit 77; }
sed -i 's|</config>|<var name="atlas" value="maps\\monaco"/>\n<var name="use_tibo_buttons" value="1"/>\n<var name="enable_from_button" value="1"/>\n<var name="menu_autohide" value="0"/>\n</config>|' \
  "$work/data/config.xml"

start

# A tap held for a tenth of a second, as a finger does.
tap() {
  xdotool mousemove --window "$window" "$1" "$2" mousedown 1
  sleep 0.1
  xdotool mouseup 1
}
gpx_points() { cat "$work"/waypoints/*.gpx 2>/dev/null | grep -c "<wpt " || true; }

# Zoomed in on the town.
tap 140 170
expect_page pageMap
wheel 4 6 400 300

# A waypoint of the default type with its default name: "Point", "OK" on
# the type chooser, then the editor's "OK".
tap_changes 400 240
tap 256 324
expect_page select_poi_type
tap 736 31
expect_page pageWPEdit
tap 758 31
expect_page pageMap
shot stored
wait_until 10 test "$(gpx_points)" -ge 1 || fail "the new waypoint did not reach its GPX file"

# A route: "From" at one tap, "To" at another.
tap_changes 200 300
tap_changes 296 388
tap_changes 560 200
tap 400 388
wait_for_log "Route of [0-9]* m" 20
shot route
wait_until 10 test -s "$monaco/path.kvp" || fail "the route did not reach path.kvp"
route_size=$(stat -c %s "$monaco/path.kvp")
# The view, once it has been still for a moment.
wait_until 10 test -s "$monaco/camera.kvc" || fail "the view did not reach camera.kvc"

# The Map view page: the other view (2D/3D) and the next pitch, "OK", and
# the kill as soon as the settings menu shows. camera.kvc keeps both: the
# mode byte at 16, and at 17 and 18 the pitch (1 and pitch - 1, or 0 0
# for the flat profile).
view() { od -An -tu1 -j16 -N3 "$monaco/camera.kvc" | tr -s ' ' | sed 's/^ //'; }
read -r mode had_pitch pitch_less <<<"$(view)"
pitch=$((had_pitch == 0 ? 0 : pitch_less + 1))
wanted="$((1 - mode)) $(((pitch + 1) % 3 == 0 ? 0 : 1)) $(((pitch + 1) % 3 == 0 ? 0 : pitch))"
tap 36 32
tap 130 262
expect_page menuMain
tap 140 359
expect_page pageSettingsMain
tap 140 222
expect_page pageRenderSettings
tap_changes 624 168
tap_changes 624 232
tap 736 31
expect_page pageSettingsMain

kill -9 "$mirel_pid"
wait "$mirel_pid" 2>/dev/null || true
mirel_pid=
echo "after the kill: $(gpx_points) waypoint(s), path.kvp of $route_size bytes, view bytes $(view)"
[ "$(view)" = "$wanted" ] || fail "the view and pitch confirmed with OK are not in camera.kvc: $(view), not $wanted"

start
wait_for_log "Tarvik" 20
shot restarted
if grep -q "Can't open path file\|Can't read path file\|Invalid path file" "$work/log.txt"; then
  grep -i "path file" "$work/log.txt"
  fail "the route was not read back"
fi
[ "$(gpx_points)" -ge 1 ] || fail "the waypoint was lost"
stop
echo "PASS"
