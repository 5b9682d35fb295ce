#!/usr/bin/env bash
# The bar and menu buttons in a real window on the demo atlas, each tapped
# once, and where each tap led read from the program's log ("Page NAME
# shown, titled ..."), never from a pause: "hide" on every page that can be
# left asks to go to the tray (a bare X server has no window manager to
# iconify the window, so the log says it) and leaves the page as it was,
# and a second start brings the window back, still answering;
# "menu" on the routing, other and GPS settings and on the GPS page leads
# to the main menu; the search menu's settings icon opens the settings and
# its "Online" the friends page; "traffic_jams" and the information page's
# "url" start the web browser (a stand-in records the address), and
# "traffic_jams" shows a message box, which its OK closes, when the opener
# ends with an error (as xdg-open does without a browser) and when there
# is none; the sensors page pages down to its last sensors and no further.
# Usage: bar_buttons_window_test.sh PROGRAM [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
shots=${2:-}
[ -n "$shots" ] && mkdir -p "$shots"
source "$(dirname "$0")/window_common.sh"
window_setup "$program" xwd convert compare xdotool

# The online service on a port where nothing answers, so that its buttons
# show; the map's menu stays open until it is used.
sed -i 's|</config>|<var name="online_url" value="http://127.0.0.1:9/"/>\n<var name="menu_autohide" value="0"/>\n</config>|' \
  "$work/data/config.xml"
# The program finds the browser through a PATH of its own: a stand-in that
# records the address, later one that fails as xdg-open does without a
# browser, then none at all.
mkdir "$work/bin"
printf '#!/bin/sh\necho "$1" >>"%s/opened.txt"\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
mv "$work/mirel" "$work/mirel.bin"
printf '#!/bin/sh\nPATH="%s/bin" exec "%s/mirel.bin"\n' "$work" "$work" >"$work/mirel"
chmod +x "$work/mirel"

# A track of one point from an earlier drive for the track list: a
# recording with no receiver records none and leaves no file.
mkdir -p "$work/tracks"
{ printf 'RTPG\x00\x01\x01\x00\xff\x00\x00\xff\x01\x00\x01\x00'; head -c 44 /dev/zero; } \
  >"$work/tracks/20260101-120000.kvt"
start
shot_prefix=bar_

count() { grep -c -- "$1" "$work/log.txt" || true; }
pages_shown() { count 'Page [^ ]* shown, titled'; }
new_page() { [ "$(pages_shown)" -gt "$1" ] && page_is "$2" "$3"; }
# A tap that leads to the page NAME titled TITLE: its own log line, not an
# earlier one of the same page.
tap_to() {
  local x=$1 y=$2 name=$3 title=$4 before
  before=$(pages_shown)
  tap "$x" "$y"
  wait_until 10 new_page "$before" "$name" "$title" ||
    fail "the tap at $x,$y led to '$(last_page)', not $name titled \"$title\""
}
back_to() { tap_to 32 31 "$@"; }
more() { [ "$(count "$1")" -gt "$2" ]; }
# Waits for one more line holding the text than there were before.
expect_more() {
  wait_until 10 more "$1" "$2" || fail "no further '$1' in the log"
}

# "hide" at its place beside the way back: the program goes to the tray,
# and no other page is shown. The page NAME titled TITLE is the one shown.
hide_here() {
  local hidden pages
  page_is "$1" "$2" || fail "\"hide\" is meant for $1, but '$(last_page)' is shown"
  hidden=$(count "Hiding to tray")
  pages=$(pages_shown)
  tap 96 31
  expect_more "Hiding to tray" "$hidden"
  [ "$(pages_shown)" -eq "$pages" ] || fail "\"hide\" on $1 left the page for '$(last_page)'"
}
opened() { grep -qxF -- "$1" "$work/opened.txt" 2>/dev/null; }
# The window as NAME.png once two pictures in a row match: drawn.
settled() {
  local same
  shot "$1" 0.2
  for _ in $(seq 50); do
    cp "$work/$1.png" "$work/$1.before.png"
    shot "$1" 0.2
    same=$({ compare -metric AE "$work/$1.before.png" "$work/$1.png" null: 2>&1 || true; } | cut -d' ' -f1)
    [ "$same" = 0 ] && return 0
  done
  fail "the window kept changing: $1"
}
# Whole pictures that differ by more pixels than the given count; alike:
# by fewer than 2000.
differ() {
  local n
  n=$(differing "$1" 800x480+0+0 "$2" 800x480+0+0)
  echo "$1 -> $2: $n pixels differ"
  [ "$n" -gt "$3" ]
}
alike() { ! differ "$1" "$2" 2000; }

expect_page menuMain "Menu"
hide_here menuMain "Menu"
# A later start brings the window back, which answers the taps below.
second_start

# The information page: "hide" and the project's web page.
tap_to 400 359 info "Mirel car navigator"
hide_here info "Mirel car navigator"
tap 168 448
wait_until 10 opened "https://mirel.example.org/" || fail "\"url\" did not open the project's page"
back_to menuMain "Menu"

# The settings menu's general tab: map view, GPS, routing, tracks and
# other settings; "menu" leads from routing, other and GPS to the main menu.
tap_to 140 359 pageSettingsMain "Settings"
tap_to 140 222 pageRenderSettings "Map view"
hide_here pageRenderSettings "Map view"
back_to pageSettingsMain "Settings"
tap_to 140 390 pageTrackingSettings "Track recording"
hide_here pageTrackingSettings "Track recording"
back_to pageSettingsMain "Settings"
for page in "660 222 pageSetupRouting Routing" "660 390 pageSettingsOther Other settings" \
  "400 222 pageSetupGPS GPS setup"; do
  set -- $page
  x=$1 y=$2 name=$3
  shift 3
  tap_to "$x" "$y" "$name" "$*"
  hide_here "$name" "$*"
  tap_to 640 31 menuMain "Menu"
  tap_to 140 359 pageSettingsMain "Settings"
done

# The lists tab: places, lines, keys, keyboard, account; then the traffic
# service.
tap_to 594 102 pageSettingsLists "Settings"
for page in "140 194 pois_settings Places shown" "400 194 polylines_settings Lines shown" \
  "660 194 pageButtonSettings Hardware keys" "140 306 keyboard_prop Keyboard" \
  "400 306 services_prop Online account"; do
  set -- $page
  x=$1 y=$2 name=$3
  shift 3
  tap_to "$x" "$y" "$name" "$*"
  hide_here "$name" "$*"
  back_to pageSettingsLists "Settings"
done
notice="Notice shown: The traffic service opens in a web browser, and none could be started."
# A browser opens the service: no notice, the page stays.
told=$(count "$notice")
tap 140 418
wait_until 10 opened "https://traffic.mirel.example.org/" || fail "\"traffic_jams\" did not open the traffic service"
hide_here pageSettingsLists "Settings"
[ "$(count "$notice")" -eq "$told" ] || fail "a notice although the browser opened"
# xdg-open without a browser says "no method available" and ends with 3;
# without xdg-open nothing starts at all. Either way the message box, which
# holds every tap until its OK closes it.
printf '#!/bin/sh\necho "xdg-open: no method available for opening '"'"'$1'"'"'" >&2\nexit 3\n' >"$work/bin/xdg-open"
for opener in failing missing; do
  told=$(count "$notice")
  tap 140 418
  expect_more "$notice" "$told"
  settled "traffic_$opener"
  case $opener in
  failing)
    grep -qF "Can't open 'https://traffic.mirel.example.org/' with 'xdg-open': it ended with status 3" \
      "$work/log.txt" || fail "the failing opener is not logged"
    ;;
  missing)
    grep -qF "Can't open 'https://traffic.mirel.example.org/' with 'xdg-open' (err 2)" "$work/log.txt" ||
      fail "the missing opener is not logged"
    ;;
  esac
  tap 400 322
  tap_to 200 102 pageSettingsMain "Settings"
  tap_to 594 102 pageSettingsLists "Settings"
  rm -f "$work/bin/xdg-open"
done
# The information page's address says the same in the log.
tap_to 704 31 menuMain "Menu"
tap_to 400 359 info "Mirel car navigator"
tap 168 448
wait_for_log "Can't open 'https://mirel.example.org/' with 'xdg-open' (err 2)" 10
back_to menuMain "Menu"

# The GPS page: "hide", "menu" to the main menu, "Setup" to its setup.
tap_to 660 169 pageGPS "GPS"
hide_here pageGPS "GPS"
tap_to 608 31 menuMain "Menu"
tap_to 660 169 pageGPS "GPS"
tap_to 716 31 pageSetupGPS "GPS setup"
back_to pageGPS "GPS"
back_to menuMain "Menu"

# The search menu: its settings icon and "Online"; then the search pages.
tap_to 400 169 menuFind "Search"
hide_here menuFind "Search"
tap_to 576 31 pageSettingsMain "Settings"
back_to menuFind "Search"
tap_to 472 31 monitoring_prop "Online friends"
back_to menuFind "Search"
# The place search: its type chooser, the find page, and with nothing
# typed the find page's OK lists the places.
tap_to 689 174 select_poi_types "Choose types"
hide_here select_poi_types "Choose types"
tap_to 736 31 pageFind "Place"
hide_here pageFind "Place"
tap_to 736 31 pageResults "Results"
hide_here pageResults "Results"
back_to pageFind "Place"
# Back from the place search is back at its types.
back_to select_poi_types "Choose types"
back_to menuFind "Search"
tap_to 107 374 pageFilterHistory "History"
hide_here pageFilterHistory "History"
back_to menuFind "Search"
tap_to 301 374 menuFilter "Search area"
hide_here menuFilter "Search area"
back_to menuFind "Search"
# Both coordinate pages, the second by the first's switch.
tap_to 495 374 pageSearchCoords "Coordinates"
hide_here pageSearchCoords "Coordinates"
tap_to 544 31 pageSearchCoordsAlt "Coordinates"
hide_here pageSearchCoordsAlt "Coordinates"
back_to menuFind "Search"

# The lists tab: the waypoint type chooser and the routes.
tap_to 704 31 pageLists "My lists"
hide_here pageLists "My lists"
tap_to 138 174 select_poi_type "Choose a type"
hide_here select_poi_type "Choose a type"
back_to pageLists "My lists"
tap_to 138 374 pagePathList "Routes"
hide_here pagePathList "Routes"
back_to pageLists "My lists"

# The map, from the lists' main menu: the street list of its top boxes
# (no route: an empty list), then the sensors page from the sensors panel.
tap_to 662 374 menuMain "Menu"
tap_to 140 169 pageMap ""
tap_to 364 35 pageStreetList "Route streets"
hide_here pageStreetList "Route streets"
back_to pageMap ""
# "down" pages to the route's distances, the last two sensors, and no
# further; each tap is known to be done when the "hide" after it is.
tap_to 690 230 sensors "Sensors"
settled sensors
hide_here sensors "Sensors"
tap 752 368
hide_here sensors "Sensors"
settled sensors_down
differ sensors sensors_down 2000 || fail "\"down\" did not page the sensors"
tap 752 368
hide_here sensors "Sensors"
settled sensors_end
alike sensors_down sensors_end || fail "the sensors page moved past its last row"
# The first page's bottom row has moved up: the last row now holds what
# the first page did not show.
moved=$(differing sensors 688x96+16+364 sensors_down 688x96+16+268)
echo "sensors: the first page's last row $moved pixels from its place after paging"
[ "$moved" -lt 400 ] || fail "paging down skipped a row of sensors"
back_to pageMap ""

# A waypoint made on the map: "hide" on the type chooser, on its editor
# and on the editor's image chooser; the editor's OK stores it. A tap on
# it then offers "Info", the place page.
tap 400 240
tap_to 256 324 select_poi_type "Choose a type"
hide_here select_poi_type "Choose a type"
tap_to 736 31 pageWPEdit "Waypoint"
hide_here pageWPEdit "Waypoint"
tap_to 714 328 pageImages "Choose an image"
hide_here pageImages "Choose an image"
back_to pageWPEdit "Waypoint"
tap_to 736 31 pageMap ""
tap 400 240
tap_to 448 324 pagePOIInfo "Place"
hide_here pagePOIInfo "Place"
back_to pageMap ""

# A recording (REC, its file, REC again: without a point its file goes),
# then the earlier track's editor from the track list.
tap 764 78
wait_until 10 eval '[ "$(ls "$work"/tracks/*.kvt | wc -l)" = 2 ]' || fail "REC made no track file"
tap 764 78
wait_until 10 eval '[ "$(ls "$work"/tracks/*.kvt | wc -l)" = 1 ]' || fail "REC left a track file without a point"
tap 36 32
tap_to 130 262 menuMain "Menu"
tap_to 400 169 menuFind "Search"
tap_to 704 31 pageLists "My lists"
tap_to 662 174 pageTrackList "Tracks"
hide_here pageTrackList "Tracks"
tap_to 400 100 pageTrackEdit "Track"
hide_here pageTrackEdit "Track"
back_to pageTrackList "Tracks"
back_to pageLists "My lists"
# A favourite bound to the waypoint: "hide" on the favourites and on the
# waypoint chooser, reached through the type of the waypoint.
tap_to 400 174 pageFavorites "Favourites"
hide_here pageFavorites "Favourites"
tap_to 140 172 select_poi_type "Choose a type"
tap 360 100
tap_to 736 31 select_waypoint "Choose a waypoint"
hide_here select_waypoint "Choose a waypoint"
stop
echo "PASS"
