#!/usr/bin/env bash
# The user-data pages in a real window on the Monaco atlas: a tap on the map
# and "Point" create a waypoint whose name is typed on the on-screen
# keyboard; it is drawn on the map and, after quitting, its category's GPX
# file holds it and validates against the GPX 1.1 schema. A recording
# started with "REC" shows in the track list, and a favourite bound to the
# waypoint drives there (a route is computed). The track list and the
# favourites are opened by keys the buttons file binds to them.
# Usage: userdata_window_test.sh PROGRAM SCHEMA [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
schema=$2
shots=${3:-}
[ -n "$shots" ] && mkdir -p "$shots"
source "$(dirname "$0")/window_common.sh"
window_setup "$program" xwd convert compare xdotool xmllint

# Keys "t", "v", "w" and "r" open the track list, the favourites, the
# waypoint list and the recording settings; the route
# buttons offer "From", so that a route can start without a GPS fix.
sed -i 's|</actions>|  <action name="pageTrackList" key="116"/>\n  <action name="pageFavorites" key="118"/>\n  <action name="pageWaypointsList" key="119"/>\n  <action name="pageTrackingSettings" key="114"/>\n</actions>|' \
  "$work/data/skin/buttons.xml"
sed -i 's|</config>|<var name="atlas" value="maps\\monaco"/>\n<var name="use_tibo_buttons" value="1"/>\n<var name="enable_from_button" value="1"/>\n<var name="menu_autohide" value="0"/>\n</config>|' \
  "$work/data/config.xml"

start

shot_prefix=userdata_
# A tap held for a tenth of a second, as a finger does; what it leads to is
# waited for after it.
tap() {
  xdotool mousemove --window "$window" "$1" "$2" mousedown 1
  sleep 0.1
  xdotool mouseup 1
}
# A key of the buttons file, and the page it opens.
key() {
  xdotool key --window "$window" "$1"
  expect_page "$2"
}
# "back" on a page, and the page it leads to.
back() {
  tap 32 31
  expect_page "$1"
}

# The map, zoomed in on Monaco, then the empty track list (no recording
# yet).
tap 140 170
expect_page pageMap
wheel 4 6 400 300
shot map
key t pageTrackList
shot tracks_empty
back pageMap

# A tap on the map: the waypoint and route buttons; "Point" opens the type
# chooser, whose "OK" without a choice gives the default type.
changes tap 400 240
shot popup
tap 256 324
expect_page select_poi_type
shot types
tap 736 31
expect_page pageWPEdit
shot editor
# The name box: the default name is erased and "cafe" typed on the keys.
changes tap 412 96
shot keyboard
# c, a, f, e (row 3 starts with the two-cell case key: c is its fifth cell).
type_cafe() {
  for _ in $(seq 14); do tap 733 447; done
  for cell in "300 387" "33 327" "233 327" "166 267"; do tap $cell; done
}
changes type_cafe
shot typed
changes tap 758 31
tap 758 31
expect_page pageMap
shot stored
# The waypoint list shows the new point's type with the point chosen; the
# recording settings show the stored rule.
key w pageWaypointsList
shot waypoints
back pageMap
key r pageTrackingSettings
shot recording
back pageMap
# Another tap elsewhere moves the tapped-point mark away; "Where" and the
# message's "OK" close its buttons. The waypoint stays drawn where it was
# made.
changes tap 600 150
changes tap 544 324
changes tap 400 322
shot drawn
moved=$(differing map 160x100+320+180 drawn 160x100+320+180)
echo "waypoint: $moved pixels differ around the point"
[ "$moved" -gt 60 ] || fail "the waypoint is not drawn on the map"

# Recording from the map page shows in the track list.
changes tap 764 78
key t pageTrackList
shot tracks
rows=$(differing tracks_empty 712x56+8+72 tracks 712x56+8+72)
echo "track list: $rows pixels of the first row changed"
[ "$rows" -gt 200 ] || fail "the recording is not listed"
# The row opens the track editor; "back" leads out.
tap 400 100
expect_page pageTrackEdit
shot track_edit
back pageTrackList
back pageMap
changes tap 764 78

# A start point for the route ("From"), then the favourite "Home" bound to
# the waypoint through the type and waypoint choosers; "Drive here", "To".
changes tap 200 300
changes tap 296 388
key v pageFavorites
shot favourites
tap 140 172
expect_page select_poi_type
shot used_types
changes tap 360 100
tap 736 31
expect_page select_waypoint
shot choose_waypoint
changes tap 360 156
tap 736 31
expect_page pageFavorites
shot favourite_bound
tap 140 172
expect_page pageFvDlg
shot favourite
grep -c "Route computed" "$work/log.txt" >"$work/routes_before" || true
tap 140 232
expect_page pageMap
shot drive
tap 400 388
wait_until 20 eval '[ "$(grep -c "Route computed" "$work/log.txt")" -gt "$(cat "$work/routes_before")" ]' || true
shot route
before=$(cat "$work/routes_before")
after=$(grep -c "Route computed" "$work/log.txt" || true)
echo "routes computed: $before before, $after after"
[ "$after" -gt "$before" ] || fail "driving to the favourite computed no route"
[ "$(stat -c %s "$work/data/favorites.kvf")" = 82 ] || fail "favorites.kvf is not 82 bytes"

kill -TERM "$mirel_pid"
wait "$mirel_pid" || fail "exit code $? after a quit request"
mirel_pid=
gpx=$(ls "$work"/waypoints/*.gpx 2>/dev/null | head -n 1)
[ -n "$gpx" ] || fail "no GPX file was written"
grep -qi "<name>cafe</name>" "$gpx" || { cat "$gpx"; fail "the GPX file lacks the waypoint"; }
xmllint --noout --schema "$schema" "$gpx" || fail "the GPX file does not validate"
if grep -q "is not part of\|Can't find widget" "$work/log.txt"; then
  grep "is not part of\|Can't find widget" "$work/log.txt"
  fail "the design lacks what the pages name"
fi
echo "PASS"
