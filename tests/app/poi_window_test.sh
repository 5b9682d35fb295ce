#!/usr/bin/env bash
# The POI information page in a real window on Monaco, by taps only: the
# decimal coordinate page brings the map to the harbour by the Hermitage
# (the top box names the typed position, not the hotel beside it), the
# wheel zooms in, a tap on a POI icon opens the map's pop-up with the
# point's own buttons, "Info" opens the information page with the POI's
# name, and the fields the map does not know show the page's "no data"
# text. A tap on the shore where nothing lies offers no "Info".
# Usage: poi_window_test.sh PROGRAM [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
shots=${2:-}
source "$(dirname "$0")/window_common.sh"
shot_prefix=poi_
window_setup "$program" xwd convert compare xdotool
[ -n "$shots" ] && mkdir -p "$shots"
# Monaco, as a first run opens it.
printf '<?xml version="1.0" encoding="utf-8"?>\n<config version="2">\n<var name="log_severity" value="3"/>\n<var name="atlas" value="maps\\monaco"/>\n</config>\n' >"$work/data/config.xml"

# Colours in a region of a picture: a blank field has one or two.
colours() {
  convert "$work/$1.png" -crop "$2" +repage -format %k info:
}
# The map's top box (upper_box_turn) or the one below it (upper_box) was
# given the text, as the log names it (the pop-up closes by itself after
# a few seconds, clearing them again).
box_said() { grep -q "Street box $1: \"$2\"" "$work/log.txt"; }
expect_box() {
  wait_until 10 box_said "$1" "$2" || fail "$1 never said \"$2\""
}
# The coordinate page's digit keys, one row from x 8.
digit() {
  local d=$1 i
  i=$(( d == 0 ? 9 : d - 1 ))
  tap $((8 + i * 79 + 36)) 284
}
digits() {
  local text=$1 i
  for ((i = 0; i < ${#text}; i++)); do digit "${text:i:1}"; done
}

start
expect_page menuMain
tap 400 170            # Search
expect_page menuFind
tap 495 374            # Coordinates
expect_page pageSearchCoords
tap 544 31             # Decimal
expect_page pageSearchCoordsAlt
tap 452 111; digits 43; tap 84 436; digits 73811   # the Hermitage: 43.73811 N
tap 452 191; digits 7; tap 84 436; digits 42594    #                7.42594 E
tap 736 31             # OK: the map centred there, the point named as typed
expect_page pageMap
expect_box upper_box_turn "N 43.73811° E 7.42594°"
shot map
[ "$(colours map 800x480+0+0)" -gt 50 ] || fail "the map page did not open"
tap_changes 544 324    # "Where" closes the pop-up ...
tap_changes 400 322    # ... with its message's "OK"
# Close enough for the map's own icons (about 200 m to the ruler). The
# hotel stays at the view's anchor, which "Info" covered at the car's 1/3:
# the anchor stands at the middle of the height while the map shows it.
wheel 4 10 400 320
shot zoomed
tap_changes 285 214    # the Novotel's icon west of the hotel, named as it
expect_box upper_box_turn "Novotel"    # (not the car park 96 pixels west)
shot popup
# The pop-up names the place and offers its information.
[ "$(colours popup 560x30+80+8)" -gt 10 ] || fail "the pop-up names no place"
[ "$(differing zoomed 88x56+404+296 popup 88x56+404+296)" -gt 1000 ] || fail "the pop-up offers no Info"
tap 448 324            # Info
expect_page pagePOIInfo "Place"
shot info
[ "$(differing popup 800x480+0+0 info 800x480+0+0)" -gt 100000 ] || fail "Info did not open the information page"
# The name (with its type) fills its row; the phone and e-mail of the map's
# object are unknown, so both rows show the same "no data" text after their
# captions ("Phone", "E-mail").
[ "$(colours info 656x104+128+76)" -gt 10 ] || fail "the information page shows no name"
[ "$(differing info 640x48+144+240 info 640x48+144+292)" -lt 20 ] || fail "the unknown fields differ: no \"no data\" text"
[ "$(differing info 640x48+128+104 info 640x48+144+240)" -gt 500 ] || fail "the name row shows the \"no data\" text"
[ "$(colours info 760x48+24+240)" -gt 10 ] || fail "the unknown fields are blank"

# Back on the map, a tap on the open sea finds nothing: no Info is offered.
tap 32 31
expect_page pageMap
tap_changes 600 100    # the shore past the last houses
expect_box upper_box "Nearest street: Avenue Princesse Grace"
shot sea
[ "$(differing popup 88x56+404+296 sea 88x56+404+296)" -gt 1000 ] || fail "Info offered where nothing was found"
[ "$(differing popup 88x56+212+296 sea 88x56+212+296)" -lt 200 ] || fail "the pop-up did not open on the sea"
stop
echo "PASS"
