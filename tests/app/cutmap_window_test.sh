#!/usr/bin/env bash
# A map file of the atlas cut short while the program shows it (a new map
# being copied over the old one does this): no crash (SIGBUS); the log and
# a notice on the map name the file, the atlas is loaded again without it
# (its other maps stay) and the program goes on answering. Then another
# map replaced by bytes that are no map: named in a notice too.
# Usage: cutmap_window_test.sh PROGRAM [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
shots=${2:-}
[ -n "$shots" ] && mkdir -p "$shots"
source "$(dirname "$0")/window_common.sh"
window_setup "$program" xwd convert compare xdotool
shot_prefix=cutmap_

# An atlas of the demo maps and Monaco; the view starts on Monaco, the
# largest.
demo="$work/data/maps/demo"
[ -f "$demo/demo-town.kvm" ] && [ -f "$work/data/maps/monaco/monaco.kvm" ] ||
  { echo "SKIPPED: no demo and Monaco atlases beside the program"; exit 77; }
mv "$work/data/maps/monaco/monaco.kvm" "$demo/"
rm -rf "$work/data/maps/monaco"
start
tap 140 170
expect_page pageMap
wheel 4 6
shot before
size=$(stat -c %s "$demo/monaco.kvm")
truncate -s $((size / 3)) "$demo/monaco.kvm"
# Zooming and panning reads parts of the maps not read yet.
was_cut() { grep -q "was cut short while in use" "$work/log.txt"; }
for round in 1 2 3; do
  for _ in $(seq 4); do was_cut && break 2; wheel 4 1; done
  changes_within 2 xdotool mousemove --window "$window" 400 260 mousedown 1 mousemove --window "$window" 300 200 mouseup 1 || true
  for _ in $(seq 4); do was_cut && break 2; wheel 5 1; done
done
wait_for_log "Map file '.*monaco.kvm' was cut short while in use: the atlas is loaded again" 10
wait_for_log "monaco.kvm.*is invalid" 10
kill -0 "$mirel_pid" || fail "the program ended"
[ "$(grep -c "Loading atlas" "$work/log.txt")" -ge 2 ] || fail "the atlas was not loaded again"
grep -q "Atlas fatal error" "$work/log.txt" && fail "the rest of the atlas was not loaded"
wait_for_log "Maps pair 'demo-region.kvm'-'demo-town.kvm'" 5
wait_for_log "Notice shown: A map file in use was cut short / and cannot be read any more: / monaco.kvm" 5
shot notice
# The notice's "OK".
tap 400 321 0
notice_closed() { shot after 0 && [ "$(differing notice 800x480+0+0 after 800x480+0+0)" -gt 2000 ]; }
wait_until 5 notice_closed || fail "the notice did not close"
# Still answering: the menu button opens the map's menu.
tap_changes 36 31
shot menu
n=$(differing after 800x480+0+0 menu 800x480+0+0)
echo "the map menu: $n pixels differ"
[ "$n" -gt 2000 ] || fail "the map page no longer answers"
# ... whose last row leads to the main menu.
tap 130 262
expect_page menuMain "Menu"

# A map file replaced by bytes of its size that are no map, written beside
# it and renamed over it: only its identity on the disk tells, and the
# driver hears of it as of a cut one, while it happens.
tap 140 170
expect_page pageMap
head -c "$(stat -c %s "$demo/demo-town.kvm")" /dev/zero | tr '\0' 'Z' >"$demo/new.tmp"
mv "$demo/new.tmp" "$demo/demo-town.kvm"
was_replaced() { grep -q "demo-town.kvm' was replaced while in use" "$work/log.txt"; }
# The files are looked at between events: the pointer keeps them coming.
for _ in $(seq 50); do
  was_replaced && break
  xdotool mousemove --window "$window" 300 $((200 + RANDOM % 50))
  sleep 0.1
done
wait_for_log "Map file '.*demo-town.kvm' was replaced while in use: the atlas is loaded again" 5
wait_for_log "Notice shown: A map file in use was replaced / by one that cannot be read: / demo-town.kvm" 5
shot replaced
grep -q "fatal" "$work/log.txt" && fail "a line reads as the program's end"
tap 400 321 0
stop
echo "PASS"
