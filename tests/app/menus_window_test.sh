#!/usr/bin/env bash
# The menus in a real window: started under Xvfb on the demo atlas, the main
# menu leads to the settings menu, its second tab, the keyboard settings and
# the atlases page; the atlases page switches the map to the Monaco atlas
# and back (the map page shows each atlas's own picture, and the log shows
# each load), Escape leaves a page, and the information page shows the
# version and the map data credits.
# Usage: menus_window_test.sh PROGRAM [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
shots=${2:-}
[ -n "$shots" ] && mkdir -p "$shots"
source "$(dirname "$0")/window_common.sh"
window_setup "$program" xwd convert compare xdotool
[ -d "$work/data/maps/monaco" ] || { echo "SKIPPED: no Monaco atlas"; exit 77; }

start

# The two pictures differ in more than the given number of pixels.
changed() {
  local n
  n=$(differing "$1" 800x480+0+0 "$2" 800x480+0+0)
  echo "$1 -> $2: $n pixels differ"
  [ "$n" -gt "$3" ] || fail "$4"
}
loads() { grep -c "Tarvik not loaded" "$work/log.txt" || true; }

expect_page menuMain "Menu"
shot menu
# The map of the demo town as the program starts, then the main menu again
# through the map's own menu (its last item).
to_main_menu() {
  tap_changes 36 32
  tap 130 262
  expect_page menuMain "Menu"
}
tap 140 170
expect_page pageMap
shot map_demo_start
to_main_menu
tap 140 359                 # Settings
expect_page pageSettingsMain "Settings"
shot settings
tap 594 102                 # the second tab
expect_page pageSettingsLists "Settings"
shot settings_lists
tap 140 306                 # Keyboard
expect_page keyboard_prop "Keyboard"
shot keyboard
xdotool key --window "$window" Escape
expect_page pageSettingsLists "Settings"
shot keyboard_escape
same=$(differing settings_lists 800x480+0+0 keyboard_escape 800x480+0+0)
[ "$same" -lt 2000 ] || fail "Escape did not lead back to the settings menu ($same pixels differ)"
tap 205 102                 # the first tab
expect_page pageSettingsMain "Settings"
tap 400 390                 # Atlases
expect_page atlases "Atlases"
shot atlases

before=$(loads)
tap_changes 300 164         # the second atlas, Monaco
tap 556 448                 # Open atlas
wait_until 10 eval '[ "$(loads)" -gt "$before" ]' || fail "no atlas was loaded"
grep -q "monaco" "$work/log.txt" || fail "the Monaco atlas was not loaded"
tap 640 31                  # the map, from the settings menu's bar
expect_page pageMap
shot map_monaco

changed map_demo_start map_monaco 20000 "the map did not change to the Monaco atlas"
to_main_menu
shot menu_again
same=$(differing menu 800x480+0+0 menu_again 800x480+0+0)
[ "$same" -lt 2000 ] || fail "the map's menu did not lead to the main menu ($same pixels differ)"

before=$(loads)
tap 140 359                 # Settings
expect_page pageSettingsMain "Settings"
tap 400 390                 # Atlases
expect_page atlases "Atlases"
tap_changes 300 108         # the first atlas, the demo town
tap 556 448                 # Open atlas
wait_until 10 eval '[ "$(loads)" -gt "$before" ]' || fail "the demo atlas was not loaded again"
tap 640 31
expect_page pageMap
shot map_demo
changed map_monaco map_demo 20000 "the map still shows the Monaco atlas"
# The demo town comes back at the view it was left at.
same=$(differing map_demo_start 800x480+0+0 map_demo 800x480+0+0)
echo "map_demo_start -> map_demo: $same pixels differ"
[ "$same" -lt 2000 ] || fail "the demo atlas did not come back at its saved view"

# The information page: back to the main menu, then About.
to_main_menu
tap 400 359
expect_page info "Mirel car navigator"
shot info
changed menu info 20000 "the information page shows nothing"
kill -TERM "$mirel_pid"
wait "$mirel_pid" || fail "the program did not end cleanly"
mirel_pid=
grep -q 'name="atlas" value="[^"]*demo' "$work/data/config.xml" || fail "the chosen atlas was not saved"
echo "PASS"
