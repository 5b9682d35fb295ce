#!/usr/bin/env bash
# The coordinate pages in a real window on Monaco, by taps only: main menu,
# "Search", "Coordinates", 43°43'54"N 7°25'28"E on the page's digit keys,
# "OK": the map page opens on the harbour. The decimal page ("Decimal")
# takes 43.7317 7.4244 the same way. A route between two typed places
# ("To" on the map's pop-up twice), then a tap on the street label, opens
# the route's street list; a tap on a street shows the map again.
# Usage: coords_window_test.sh PROGRAM [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
shots=${2:-}
source "$(dirname "$0")/window_common.sh"
shot_prefix=coords_
window_setup "$program" xwd convert compare xdotool iconv
# Monaco, as a first run opens it.
printf '<?xml version="1.0" encoding="utf-8"?>\n<config version="2">\n<var name="log_severity" value="3"/>\n<var name="atlas" value="maps\\monaco"/>\n</config>\n' >"$work/data/config.xml"

# The page's digit keys, one row from x 8.
digit() {
  local d=$1 i
  i=$(( d == 0 ? 9 : d - 1 ))
  tap $((8 + i * 79 + 36)) 284
}
digits() {
  local text=$1 i
  for ((i = 0; i < ${#text}; i++)); do digit "${text:i:1}"; done
}

# Search, Coordinates (and Decimal with "decimal"): the page empty.
to_coordinates() {
  expect_page menuMain
  tap 400 170            # Search
  expect_page menuFind
  tap 495 374            # Coordinates
  expect_page pageSearchCoords
  if [ "${1:-}" = decimal ]; then
    tap 544 31
    expect_page pageSearchCoordsAlt
  fi
}
# The taps of a position (the program takes them in their order), waited
# for by the picture they change.
type_dms() {
  tap 242 111; digits 43   # latitude degrees
  tap 480 111; digits 43   # minutes
  tap 690 111; digits 54   # seconds
  tap 242 191; digits 7    # longitude degrees
  tap 480 191; digits 25
  tap 690 191; digits 28
}

start
shot menu
to_coordinates
shot dms_empty
changes type_dms
shot dms
[ "$(differing dms_empty 800x160+0+70 dms 800x160+0+70)" -gt 2000 ] || fail "the typed position does not show"
tap 736 31             # OK
expect_page pageMap
shot dms_map
[ "$(convert "$work/dms_map.png" -format %k info:)" -gt 50 ] || fail "the map page did not open"
stop

start
to_coordinates decimal
shot decimal_empty
type_decimal() {
  tap 452 111; digits 43; tap 84 436; digits 7317   # 43.7317, "." at the bottom left
  tap 452 191; digits 7; tap 84 436; digits 4244
}
changes type_decimal
shot decimal
[ "$(differing decimal_empty 800x160+0+70 decimal 800x160+0+70)" -gt 2000 ] || fail "the decimal position does not show"
tap 736 31
expect_page pageMap
shot decimal_map
[ "$(convert "$work/decimal_map.png" -format %k info:)" -gt 50 ] || fail "the map page did not open"
# Both entries lead to the same place: the two maps match.
[ "$(differing dms_map 560x300+120+90 decimal_map 560x300+120+90)" -lt 40000 ] || fail "the two entries show different places"
stop

# A route by two typed places: the harbour, then the casino; then the
# route's street list from the street label.
start
to_coordinates
type_dms
tap 736 31
expect_page pageMap
tap_changes 400 384    # "To" on the pop-up: the route's first point
tap_changes 36 32      # the map's menu ...
tap 130 262            # ... its last row: the main menu
to_coordinates         # the page keeps the harbour: type over it
tap 480 111; digits 44; tap 690 111; digits 21
tap 690 191; digits 39
tap 736 31
expect_page pageMap
tap 400 384            # "To" again: the route to the casino
# The route is computed on the main loop; a busy machine may take a while.
wait_for_log "Route of [0-9]* m" 20
shot route
tap 364 51             # the street label
expect_page pageStreetList "Route streets"
shot streets
tap 300 100            # the first street
expect_page pageMap
shot street_map
[ "$(differing streets 800x480+0+0 street_map 800x480+0+0)" -gt 20000 ] || fail "the street did not lead to the map"
stop
echo "PASS"
