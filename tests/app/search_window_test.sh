#!/usr/bin/env bash
# The search pages in a real window on Monaco, driven by taps only: main
# menu, "Search", "Streets", G r i m on the on-screen keyboard, "OK", the row
# "Rue Grimaldi"; the map page opens centred on it and the street is in the
# search history, which a restart still shows. Further runs find a house of
# a street (address search), a pharmacy (place search with only the
# pharmacy type checked in the POI type chooser), a museum (every type) and
# a city. Each time the map's top box names the chosen object (not what a
# tap there would find) and the map is zoomed to it: a street or city to its
# extent, a house or place at street level (25 m per 40 pixels); the map
# page logs what it shows, and the screenshots are kept.
# Usage: search_window_test.sh PROGRAM [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
shots=${2:-}
[ -n "$shots" ] && mkdir -p "$shots"
source "$(dirname "$0")/window_common.sh"
shot_prefix=search_
window_setup "$program" xwd convert compare xdotool iconv
# Monaco and the search keyboard of letters and digits, as a first run
# opens them.
printf '<?xml version="1.0" encoding="utf-8"?>\n<config version="2">\n<var name="log_severity" value="3"/>\n<var name="atlas" value="maps\\monaco"/>\n<var name="Keyboard/find_layout" value="Letters and digits"/>\n</config>\n' >"$work/data/config.xml"

# Keys of the find keyboard (12 x 5 cells from y 196).
key() {
  local col=$1 row=$2
  local xs=(33 100 166 233 300 366 433 500 566 633 700 766)
  tap "${xs[$col]}" $((196 + 6 + row * 55 + 25))
}
history_has() {
  # The name in UTF-16 (little-endian) in the atlas's history file. The
  # binary fields between the names (an entry's time among them) may read as
  # a lone surrogate, past which iconv writes nothing unless told (-c) to
  # leave such out: at some hours the name was not found.
  local file="$work/data/maps/monaco/TextSearch.tsh"
  [ -f "$file" ] && iconv -c -f UTF-16LE -t UTF-8 <"$file" 2>/dev/null | tr -d '\0' | grep -aq "$1"
}

# What the map page logged it shows under that name: its scale in metres
# per 40 pixels (empty when it never showed it).
shown_at() {
  grep -a "Map shows \"$1\"" "$work/log.txt" | tail -n 1 | sed -n 's/.* at \([0-9]*\) m per 40 px.*/\1/p'
}
# The map names NAME at street level, or (area) zoomed out to show it whole.
named_at_street_level() {
  wait_until 10 test -n "$(shown_at "$1")" || fail "the map does not name '$1'"
  [ "$(shown_at "$1")" = 25 ] || fail "'$1' is shown at $(shown_at "$1") m per 40 px, not at street level"
}
named_as_area() {
  wait_until 10 test -n "$(shown_at "$1")" || fail "the map does not name '$1'"
  local at
  at=$(shown_at "$1")
  [ "$at" -gt 25 ] && [ "$at" -lt 1000 ] || fail "'$1' is shown at $at m per 40 px"
}
# The last name shown on the map that starts with PREFIX.
named_like() {
  wait_until 10 test -n "$(grep -a "Map shows \"$1" "$work/log.txt")" || fail "nothing like '$1' was named"
  grep -a "Map shows \"$1" "$work/log.txt" | tail -n 1 | sed 's/.*Map shows "\([^"]*\)".*/\1/'
}
# The top box (two lines above the map) differs between two screenshots,
# and its first line names the place, as the log says.
top_box_differs() {
  [ "$(differing "$1" 560x58+84+6 "$2" 560x58+84+6)" -gt 200 ] || fail "the top box shows the same for $1 and $2"
}
top_box_names() {
  wait_until 10 grep -q "Street box upper_box_turn: \"$1\"" "$work/log.txt" || fail "the top box does not name '$1'"
}

# The search menu from the main menu.
to_search() {
  expect_page menuMain
  tap 400 170            # Search
  expect_page menuFind
}
# Keys typed (the program takes the taps in their order), waited for by
# the picture they change.
keys() {
  local k
  for k in "$@"; do key ${k/,/ }; done
}

start
shot menu
to_search
shot search_menu
tap 301 174            # Streets
expect_page pageFind
shot find
changes keys 4,2 3,1 7,1 6,3   # g r i m
shot typed
[ "$(differing find 800x120+0+68 typed 800x120+0+68)" -gt 300 ] || fail "the typed letters do not show"
tap 736 31             # OK
expect_page pageResults
shot results
tap 300 272            # the third row: "Rue Grimaldi" (two "Chemin de Grima" come first)
# The choice is written to the history at once: the map page follows it.
wait_until 20 history_has "Rue Grimaldi" || fail "the street is not in the search history"
expect_page pageMap
top_box_names "Rue Grimaldi"
shot map
[ "$(convert "$work/map.png" -format %k info:)" -gt 50 ] || fail "the map page shows no map"
grep -q "Can't write the search history" "$work/log.txt" && fail "the history was not written"
named_as_area "Rue Grimaldi"
grep -a "Map shows" "$work/log.txt" | grep -aqv "Rue Grimaldi" && fail "something else was named: $(grep -a 'Map shows' "$work/log.txt")"
stop

# A restart shows the street in the history.
start
to_search
tap 107 374            # History
expect_page pageFilterHistory "History"
shot history
tap 183 440            # Show
expect_page pageMap
top_box_names "Rue Grimaldi"
shot history_map
[ "$(convert "$work/history_map.png" -format %k info:)" -gt 50 ] || fail "the history entry did not show the map"

stop

# An address: the street, then a house of it.
start
to_search
tap 495 174            # Address
expect_page pageFind
keys 9,1 0,2 9,1 0,2 8,2   # p a p a l
tap 736 31
expect_page pageResults
tap 300 112            # Avenue des Papalins, Fontvieille: it has houses
# The find page again (its keyboard), not the map: shown under the street
# step's title, which the chosen street then turns into the house step's.
expect_page pageFind "Address: street"
shot house_find
tap 736 31             # OK with nothing typed lists every house
expect_page pageResults "Results"
shot houses
tap 300 112            # the first house
expect_page pageMap
shot house_map
[ "$(convert "$work/house_map.png" -format %k info:)" -gt 50 ] || fail "the house was not shown on the map"
house=$(named_like "Avenue des Papalins ")
[[ "$house" =~ ^"Avenue des Papalins "[0-9] ]] || fail "the house is named '$house', not by its street and number"
named_at_street_level "$house"
top_box_names "$house"
top_box_differs map house_map
stop

# A pharmacy by its type: every type unchecked, then only "Pharmacy" of the
# Shopping group.
start
to_search
tap 689 174            # Places
expect_page select_poi_types
tap_changes 36 96      # "All types" off
tap_changes 36 380     # Shopping opened: it comes to the top
shot pharmacy_types
tap_changes 36 380     # Pharmacy
tap 736 31             # OK
expect_page pageFind
keys 9,1 5,2 0,2       # p h a
tap 736 31
expect_page pageResults
shot pharmacies
tap 300 112            # the first pharmacy
expect_page pageMap
shot pharmacy_map
pharmacy=$(named_like "Pha")
named_at_street_level "$pharmacy"
top_box_names "$pharmacy"
top_box_differs house_map pharmacy_map
stop

# A city, zoomed out to the place.
start
to_search
tap 107 174            # Cities
expect_page pageFind
keys 6,3 8,1 5,3 2,1 4,2   # m o n e g
tap 736 31
expect_page pageResults
shot cities
tap 300 112            # Les Monegetti
expect_page pageMap
shot city_map
named_as_area "Les Monegetti"
top_box_names "Les Monegetti"
top_box_differs pharmacy_map city_map
stop

# A place: the museum by the first letters of its second word.
start
to_search
tap 689 174            # Places: the type chooser, every type checked
expect_page select_poi_types "Choose types"
shot poi_types
tap 736 31             # OK
expect_page pageFind
changes keys 8,1 2,3 10,1     # o c é
shot poi_typed
tap 736 31
expect_page pageResults
shot pois
tap 300 112            # the first row
wait_until 20 history_has "Musée Océanographique" || fail "the museum was not found"
expect_page pageMap
shot poi_map
named_at_street_level "Musée Océanographique"
top_box_names "Musée Océanographique"
stop
if grep -q "is not part of this design" "$work/log.txt"; then
  grep "is not part of" "$work/log.txt"
  fail "the design lacks a page the search opens"
fi
echo "PASS"
