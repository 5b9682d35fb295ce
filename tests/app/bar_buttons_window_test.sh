#!/usr/bin/env bash
# The bar and menu buttons in a real window on the demo atlas, each tapped
# once: "hide" on the pages that offer it asks to go to the tray (a bare X
# server has no window manager to iconify the window, so the log says it)
# and leaves the page as it was; "menu" on the routing and other settings
# leads to the main menu; the search menu's settings icon opens the
# settings and its "Online" the friends page; "traffic_jams" and the
# information page's "url" start the web browser (a stand-in records the
# address), and "traffic_jams" without a browser shows a message box that
# its OK closes; the sensors page pages down to its last sensors and no
# further.
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
# records the address, removed later to show the notice.
mkdir "$work/bin"
printf '#!/bin/sh\necho "$1" >>"%s/opened.txt"\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
mv "$work/mirel" "$work/mirel.bin"
printf '#!/bin/sh\nPATH="%s/bin" exec "%s/mirel.bin"\n' "$work" "$work" >"$work/mirel"
chmod +x "$work/mirel"

start
shot_prefix=bar_

# Whole pictures that differ by more pixels than the given count; alike:
# by fewer than 2000.
differ() {
  local n
  n=$(differing "$1" 800x480+0+0 "$2" 800x480+0+0)
  echo "$1 -> $2: $n pixels differ"
  [ "$n" -gt "$3" ]
}
alike() { ! differ "$1" "$2" 2000; }
hidden() { grep -c "Hiding to tray" "$work/log.txt" || true; }
more_hidden() { [ "$(hidden)" -gt "$1" ]; }
opened() { grep -qF -- "$1" "$work/opened.txt" 2>/dev/null; }

# "hide" at its place beside the way back: the program goes to the tray and
# the page stays.
hide_here() {
  local before
  before=$(hidden)
  shot "$1" 1
  tap 96 31
  wait_until 5 more_hidden "$before" || fail "\"hide\" on $1 did not hide the program"
  shot "$1_hidden" 0.5
  alike "$1" "$1_hidden" || fail "\"hide\" on $1 left the page"
}
back() { tap 32 31; }
# The map's menu, then its last item.
to_main_menu() {
  tap 36 32
  tap 130 262
}

shot menu
hide_here main_menu

# The information page: "hide" and the project's web page.
tap 400 359
hide_here info
tap 168 448
wait_until 5 opened "https://mirel.example.org/" || fail "\"url\" did not open the project's page"
back

# The settings menu's general tab: map view, track recording, routing and
# other settings.
tap 140 359
shot settings
tap 140 222
hide_here render_settings
back
tap 140 390
hide_here tracking_settings
back
for page in "660 222 routing" "660 390 other"; do
  set -- $page
  tap "$1" "$2"
  shot "$3"
  differ settings "$3" 20000 || fail "the $3 settings did not open"
  tap 640 31
  shot "$3_menu"
  alike menu "$3_menu" || fail "\"menu\" on the $3 settings did not lead to the main menu"
  tap 140 359
done

# The lists tab: places, lines, keyboard, account; then the traffic service.
tap 594 102
shot settings_lists
for page in "140 194 pois_settings" "400 194 polylines_settings" "140 306 keyboard_settings" \
  "400 306 account"; do
  set -- $page
  tap "$1" "$2"
  hide_here "$3"
  differ settings_lists "$3" 20000 || fail "the $3 page did not open"
  back
done
tap 140 418
wait_until 5 opened "https://traffic.mirel.example.org/" || fail "\"traffic_jams\" did not open the traffic service"
shot traffic_opened
alike settings_lists traffic_opened || fail "the settings menu changed when the browser opened"
rm "$work/bin/xdg-open"
tap 140 418
shot traffic_notice
differ settings_lists traffic_notice 20000 || fail "no message box when no browser starts"
grep -q "Can't open 'https://traffic.mirel.example.org/'" "$work/log.txt" || fail "the failed start is not logged"
tap 400 322
shot traffic_notice_closed
alike settings_lists traffic_notice_closed || fail "the message box's OK did not close it"

# The search menu: its settings icon and "Online".
tap 704 31
tap 400 170
hide_here search
tap 576 31
shot search_settings
alike settings search_settings || fail "the search menu's settings icon did not open the settings"
back
tap 472 31
shot search_online
differ search search_online 20000 || fail "the search menu's \"Online\" did not open the friends page"
back
# The POI type chooser of the place search, and the waypoint type chooser
# of the lists tab.
tap 689 174
hide_here poi_types
back
tap 704 31
hide_here lists
tap 138 174
hide_here waypoint_types
back
tap 662 374

# The sensors page, from the map's sensors panel: "down" pages to the
# route's distances, the last two sensors, and no further.
tap 140 170 1.5
tap 690 230
shot sensors
tap 752 368
shot sensors_down
differ sensors sensors_down 2000 || fail "\"down\" did not page the sensors"
tap 752 368
shot sensors_end
alike sensors_down sensors_end || fail "the sensors page moved past its last row"
# The first page's bottom row has moved up: the last row now holds what
# the first page did not show.
moved=$(differing sensors 688x96+16+364 sensors_down 688x96+16+268)
echo "sensors: the first page's last row $moved pixels from its place after paging"
[ "$moved" -lt 400 ] || fail "paging down skipped a row of sensors"

# A waypoint made on the map: "hide" on the type chooser and on the image
# chooser of its editor, whose OK stores it.
back
tap 400 240
tap 256 324
hide_here point_type
tap 736 31
tap 714 328
hide_here images
back
tap 736 31
# A recording, then its editor from the track list.
tap 764 78
tap 764 78
to_main_menu
tap 400 170
tap 704 31
tap 662 174
tap 400 100
hide_here track_edit
back
back
# A favourite bound to the waypoint: "hide" on the waypoint chooser.
tap 400 174
tap 140 172
tap 360 100
tap 736 31
hide_here choose_waypoint
stop
echo "PASS"
