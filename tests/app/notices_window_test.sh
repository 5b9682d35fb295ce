#!/usr/bin/env bash
# What went wrong without stopping the program is said on the map page, in
# words, once each: a damaged config.xml (defaults in use, the damaged file
# kept aside beside an older damaged copy), a waypoint file that cannot be
# read, a map of the atlas that was skipped, and, on a full disk (a small
# tmpfs over the waypoints folder, in a mount namespace of its own), a
# waypoint that could not be stored, with the system's reason. The text of
# each dialog is checked in the log line that names what was shown, and a
# screenshot of each is compared with the map without it.
# Usage: notices_window_test.sh PROGRAM [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
shots=${2:-}
[ -n "$shots" ] && mkdir -p "$shots"
source "$(dirname "$0")/window_common.sh"
window_setup "$program" xwd convert compare xdotool unshare
shot_prefix=notices_

monaco="$work/data/maps/monaco"
[ -d "$monaco" ] || { echo "SKIPPED: no Monaco atlas beside the program"; exit 77; }
unshare -m sh -c "mount -t tmpfs -o size=1m tmpfs '$work/data'" 2>/dev/null ||
  { echo "SKIPPED: no tmpfs can be mounted here"; exit 77; }

# The damaged settings start from the first-run file, which logs the
# progress lines too.
sed -i 's|</config>|\t<var name="log_severity" value="3" />\n\t<var name="auto_dn" value="0" />\n\t<var name="menu_autohide" value="0" />\n</config>|' \
  "$work/data/config.default.xml"
printf '<config version="2"><var name=' >"$work/data/config.xml"
printf 'an older damage' >"$work/data/config.xml.bak"
printf 'not a map' >"$monaco/broken.kvm"
mkdir -p "$work/waypoints"
printf '<gpx><wpt lat=' >"$work/waypoints/broken.gpx"

# The waypoints folder on a full tmpfs: the broken file copied in, the
# rest filled.
: >"$work/log.txt"
(cd "$work" && exec unshare -m sh -c '
  cp waypoints/broken.gpx /tmp/broken.gpx.$$ &&
  mount -t tmpfs -o size=64k tmpfs waypoints &&
  cp /tmp/broken.gpx.$$ waypoints/broken.gpx && rm -f /tmp/broken.gpx.$$ &&
  { dd if=/dev/zero of=waypoints/.fill bs=1k 2>/dev/null || true; } &&
  exec ./mirel') >"$work/stdout.txt" 2>&1 &
mirel_pid=$!
wait_for_log "after initInterface" 60
find_window
[ "$(cat "$work/data/config.xml.bak")" = "an older damage" ] || fail "the older damaged copy was replaced"
grep -q '<var name=' "$work/data/config.xml.bak.2" || fail "the damaged config.xml was not kept as config.xml.bak.2"

# "Map": the notices, one per "OK". Each is awaited by its log line, then
# by its dialog on the screen: the dialog's dark box over most of the
# middle, with words other than the notice's before it.
expect_page menuMain
tap 140 170
expect_page pageMap
previous=
dialog_on() {
  shot "$1" now
  [ "$(pixels_like "$1" 480x240+160+115 '#2C3A42')" -gt 60000 ] || return 1
  [ -z "$previous" ] || [ "$(differing "$previous" 460x110+170+130 "$1" 460x110+170+130)" -gt 500 ]
}
notice() {
  local name=$1 text=$2
  wait_for_log "Notice shown: $text" 10
  wait_until 10 dialog_on "$name" || fail "the $name notice is not on the screen"
  shot "$name"
  previous=$name
  tap 400 321
}
notice config "The settings file was damaged: / the default settings are in use. / The damaged file is kept as / config.xml.bak.2"
notice waypoints "A waypoint file could not be read / (its points are not shown): / broken.gpx"
notice skipped "A map of the atlas could not be read / and was skipped: / broken.kvm"
no_dialog() { shot map now && [ "$(pixels_like map 480x240+160+115 '#2C3A42')" -lt 20000 ]; }
wait_until 10 no_dialog || fail "the last notice did not close"
shot map
for name in config waypoints skipped; do
  n=$(differing "$name" 500x260+150+110 map 500x260+150+110)
  echo "$name notice: $n pixels differ from the map without it"
  [ "$n" -gt 5000 ] || fail "the $name notice was not on the screen"
done
[ "$(grep -c "Notice shown:" "$work/log.txt")" -eq 3 ] || fail "notices other than the three: $(grep "Notice shown" "$work/log.txt")"

# A waypoint on the full disk: "Point", "OK" on the type chooser, the
# editor's two "OK"s, then back on the map the notice with the reason.
wheel 4 6 400 300
# A tap held for a tenth of a second, as a finger does.
press() {
  xdotool mousemove --window "$window" "$1" "$2" mousedown 1
  sleep 0.1
  xdotool mouseup 1
}
changes press 400 240
press 256 324
expect_page select_poi_type
press 736 31
expect_page pageWPEdit
press 758 31
expect_page pageMap
notice waypoint "The waypoint could not be stored: / it will be gone after exit. / (No space left on device)"
grep -q "Can't create GPX file" "$work/log.txt" || fail "the write did not fail"

kill -TERM "$mirel_pid"
wait "$mirel_pid" || fail "exit code $? after a quit request"
mirel_pid=
echo "PASS"
