#!/usr/bin/env bash
# The route files and routing settings pages in a real window, on the Monaco
# atlas: a route made on the map is saved from the route files page,
# cleared, and loaded back (the route line is drawn again); the routing
# settings page switches to the shortest route and the route computed next
# is logged with that mode and a length no longer than the fastest one's.
# Keys of the test's own buttons file open the two pages from the map.
# Usage: routes_window_test.sh PROGRAM [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
shots=${2:-}
source "$(dirname "$0")/window_common.sh"
window_setup "$program" xwd convert compare xdotool

monaco="$work/data/maps/monaco"
[ -d "$monaco" ] || { echo "SKIPPED: no Monaco atlas beside the program"; exit 77; }
printf '<?xml version="1.0" encoding="utf-8"?>\n<config version="2">\n<var name="log_severity" value="3"/>\n<var name="atlas" value="maps\\monaco"/>\n</config>\n' >"$work/data/config.xml"
# r: route files, o: routing settings.
sed -i 's#</actions>#  <action name="pagePathList" key="114"/>\n  <action name="pageSetupRouting" key="111"/>\n</actions>#' \
  "$work/data/skin/buttons.xml"

start

key() { xdotool key --window "$window" "$1" 2>/dev/null; }
# The pixels of the route's blue.
route_pixels() {
  convert "$work/$1.png" -fuzz 12% -fill black +opaque '#0044FF' -fill white -opaque '#0044FF' -format '%[fx:int(mean*w*h)]' info:
}
routes_logged() { grep -c "Route of [0-9]* m" "$work/log.txt" || true; }
# Waits (up to 20 s) until the log holds the text.
wait_for_log() {
  for _ in $(seq 200); do
    grep -q -- "$1" "$work/log.txt" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "no '$1' in the log"
}

tap 140 170
expect_page pageMap
# Zoom in on the town, then a route from one tap to another: "To" on the
# first pop-up starts it, "To" on the second computes it.
wheel 4 6 400 320
tap_changes 470 300
tap_changes 400 384
tap_changes 580 190
tap 400 384
wait_for_log "Route of [0-9]* m over [0-9]* points (routing mode 1)"
fastest=$(grep -o "Route of [0-9]* m over [0-9]* points (routing mode 1)" "$work/log.txt" | tail -n 1 | cut -d' ' -f3)
[ -n "$fastest" ] || fail "no fastest route in the log"
route_shown() {
  shot route now
  [ "$(route_pixels route)" -gt 300 ]
}
wait_until 10 route_shown || true
shot route
drawn=$(route_pixels route)
echo "route of $fastest m, $drawn route pixels"
[ "$drawn" -gt 300 ] || fail "the route line is not drawn"

# Save it from the route files page.
key r
expect_page pagePathList
tap 140 422
wait_for_log "Route saved as"
shot saved
saved=$(find "$monaco" -maxdepth 1 -name '*.kvp' ! -name path.kvp | head -n 1)
[ -n "$saved" ] || fail "no route file was written"
grep -q "Route saved as '$(basename "$saved")'" "$work/log.txt" || fail "the save was not logged"
echo "saved $(basename "$saved")"

# Clear it on the map.
key Escape
expect_page pageMap
tap_changes 300 300
tap 296 384
# The map polled until the route has gone from it.
cleared_shown() {
  shot cleared now
  cleared=$(route_pixels cleared)
  [ "$cleared" -lt $((drawn / 10)) ]
}
wait_until 10 cleared_shown || true
shot cleared
cleared=$(route_pixels cleared)
echo "after clearing: $cleared route pixels"
[ "$cleared" -lt $((drawn / 10)) ] || fail "the route was not cleared"

# Load it back: the map shows the route again.
key r
expect_page pagePathList
tap 660 422
wait_for_log "Route loaded from"
expect_page pageMap
loaded_shown() {
  shot loaded now
  loaded=$(route_pixels loaded)
  [ "$loaded" -gt 300 ]
}
wait_until 10 loaded_shown || true
shot loaded
loaded=$(route_pixels loaded)
echo "after loading: $loaded route pixels"
[ "$loaded" -gt 300 ] || fail "the loaded route is not drawn"

# Shortest distance on the routing settings page, applied with OK; the
# next route is computed in that mode.
key o
expect_page pageSetupRouting
tap_changes 444 228
shot routing
tap 732 31
wait_for_log "Routing settings applied: mode 0"
expect_page pageMap
tap_changes 525 190
tap 400 384
wait_for_log "(routing mode 0)"
shot shortest
line=$(grep -o "Route of [0-9]* m over [0-9]* points (routing mode 0)" "$work/log.txt" | tail -n 1)
[ -n "$line" ] || fail "no route computed in the shortest mode"
shortest=$(echo "$line" | cut -d' ' -f3)
echo "shortest route: $shortest m (fastest $fastest m)"

kill -TERM "$mirel_pid"
wait "$mirel_pid" || fail "exit code $? after a quit request"
mirel_pid=
grep -A3 'name="Routing"' "$work/data/config.xml" | grep -q 'name="routing_mode" value="0"' ||
  grep -q 'routing_mode" value="0"' "$work/data/config.xml" || fail "the routing mode was not stored"
echo "PASS"
