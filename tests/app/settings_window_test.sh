#!/usr/bin/env bash
# The render, POI type, polyline and button settings in a real window: one
# value per page is changed by taps and confirmed, the program quits and
# starts again, and each value is read back from config.xml (or the buttons
# file) and on its page; night mode and the 3D view chosen on the render
# page change the map page.
# Usage: settings_window_test.sh PROGRAM [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
shots=${2:-}
[ -n "$shots" ] && mkdir -p "$shots"
source "$(dirname "$0")/window_common.sh"
window_setup "$program" xwd convert compare xdotool
rm -rf "$work/data/maps/monaco"

# The two pictures differ in more (or, with "same", fewer) pixels than n.
expect() {
  local n
  n=$(differing "$2" 800x480+0+0 "$3" 800x480+0+0)
  echo "$2 -> $3: $n pixels differ"
  if [ "$1" = same ]; then [ "$n" -lt "$4" ] || fail "$5"; else [ "$n" -gt "$4" ] || fail "$5"; fi
}
to_main_menu() {
  tap_changes 36 32
  tap 130 262
  expect_page menuMain
}
settings_tab() {
  expect_page menuMain
  tap 140 359
  expect_page pageSettingsMain
  if [ "$1" = lists ]; then
    tap 594 102
    expect_page pageSettingsLists
  fi
}

start
# The map, zoomed in to where a 3D view is pitched.
tap 140 170
expect_page pageMap
for _ in $(seq 16); do changes_within 2 tap 764 332 || true; done
shot map_before
to_main_menu

# Render: the other view (the demo town opens in 3D) and OK: the map
# changes; then night, the field of view one step down, and OK.
settings_tab main
tap 140 222
expect_page pageRenderSettings
tap_changes 368 168
tap_changes 624 232
tap 736 31
expect_page pageSettingsMain
tap 640 31
expect_page pageMap
shot map_view
expect differ map_before map_view 20000 "the other view did not change the map"
to_main_menu
settings_tab main
tap 140 222
expect_page pageRenderSettings
tap_changes 688 360
tap_changes 368 296
shot render_changed
tap 736 31
expect_page pageSettingsMain
tap 640 31
expect_page pageMap
shot map_night
expect differ map_view map_night 100000 "night did not change the map"

# POI types: every type warned; polylines: Motorways unchecked; keys:
# menuMain on x.
to_main_menu
settings_tab lists
tap 140 194
expect_page pois_settings
tap_changes 384 102
tap_changes 648 102
shot pois_changed
tap 736 31
expect_page pageSettingsLists
tap 400 194
expect_page polylines_settings
tap_changes 44 168
shot polylines_changed
tap 736 31
expect_page pageSettingsLists
tap 660 194
expect_page pageButtonSettings
tap_changes 760 388
tap_changes 300 328
tap_changes 204 448
changes xdotool key --window "$window" x
tap_changes 204 448
shot buttons_changed
stop

config=$work/data/config.xml
grep -q 'name="camera_fovy" value="50.000000"' "$config" || fail "camera_fovy was not stored"
grep -q 'name="night_mode" value="1"' "$config" || fail "night mode was not stored"
grep -q 'name="pois_settings_mode" value="1"' "$config" || fail "the POI column was not stored"
grep -q 'name="show_pl_line" value="v/' "$config" || fail "the polyline choice was not stored"
grep -q '<action name="menuMain" key="120" />' "$work/data/skin/buttons.xml" || fail "the key was not stored"

# Again: every page shows what was confirmed.
start
settings_tab main
tap 140 222
expect_page pageRenderSettings
shot render_again
expect same render_changed render_again 1500 "the render settings did not come back"
xdotool key --window "$window" Escape
expect_page pageSettingsMain
tap 594 102
expect_page pageSettingsLists
tap 140 194
expect_page pois_settings
shot pois_again
expect same pois_changed pois_again 1500 "the POI settings did not come back"
xdotool key --window "$window" Escape
expect_page pageSettingsLists
tap 400 194
expect_page polylines_settings
shot polylines_again
# The check boxes of the first two rows, checked when filled with the
# accent colour (the tapped row was highlighted, which shows through the
# box and around it).
checked() {
  [ "$(pixels_like "$1" "$2" '#29B6F6')" -gt 400 ] && echo on || echo off
}
for box in 40x40+24+148 40x40+24+204; do
  [ "$(checked polylines_changed "$box")" = "$(checked polylines_again "$box")" ] ||
    fail "the polyline settings did not come back (the box at $box)"
done
[ "$(checked polylines_again 40x40+24+148)" != "$(checked polylines_again 40x40+24+204)" ] ||
  fail "the first two rows show the same check"
xdotool key --window "$window" Escape
expect_page pageSettingsLists
tap 660 194
expect_page pageButtonSettings
tap_changes 760 388
tap_changes 300 328
shot buttons_again
expect same buttons_changed buttons_again 1500 "the key settings did not come back"
stop
echo "PASS"
