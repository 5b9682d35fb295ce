#!/usr/bin/env bash
# The real program in a real window, on a screen of the design's size (800 x
# 480, a car computer's display) with no window manager, where it opens full
# screen: started under Xvfb on a copy of its folder, it must show a picture
# (not blank), refuse a second copy without touching the log and, brought
# forward by it, still draw and answer taps; let the README's receiver
# recipe start its copy beside it (in a window, the pointer being held) and
# end it by a quit request; end cleanly on a quit request
# with its settings saved, and never leave a torn config.xml when killed.
# While a receiver drives, a web link whose opener keeps running (a browser
# in the foreground) leaves the map drawing its frames.
# Usage: window_test.sh PROGRAM [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
shots=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
window_screen=800x480x24
source "$here/window_common.sh"
window_setup "$program" xwd convert xmllint xdotool socat python3

# Waits until log.txt holds the text; fails after the given seconds.
wait_for_log() {
  local text=$1 seconds=$2
  for _ in $(seq $((seconds * 10))); do
    grep -q -- "$text" "$work/log.txt" 2>/dev/null && return 0
    kill -0 "$mirel_pid" 2>/dev/null || fail "the program ended while waiting for '$text'"
    sleep 0.1
  done
  fail "no '$text' in the log after $seconds s"
}

# Distinct colours of the whole screen.
screenshot() {
  local name=$1
  xwd -root -silent >"$work/$name.xwd"
  convert "xwd:$work/$name.xwd" "$work/$name.png"
  [ -n "$shots" ] && cp "$work/$name.png" "$shots/"
  convert "$work/$name.png" -format %k info:
}

start() {
  (cd "$work" && exec ./mirel) >"$work/stdout.txt" 2>&1 &
  mirel_pid=$!
}

start
wait_for_log "after initInterface" 60
wait_for_log "Page menuMain drawn" 30
start_colours=$(screenshot start)
echo "colours of the start page: $start_colours"
[ "$start_colours" -gt 8 ] || fail "the start page shows $start_colours colours"

# A second copy brings the first forward (its only trace in the log is the
# first copy's answer), writes nothing itself and says so on the terminal.
lines=$(wc -l <"$work/log.txt")
second_start
if tail -n +"$((lines + 1))" "$work/log.txt" | grep -v "Restoring from tray" | grep -q .; then
  fail "the second copy wrote to the log"
fi
# Brought forward, the full-screen program still draws and answers: a tap on
# the main menu opens the information page, and the screen shows it (SDL
# draws full screen in a window of its own, which the raised window must
# not cover).
find_window
tap 400 359
expect_page info "Mirel car navigator"
raised_colours=$(screenshot raised)
echo "colours after the second start and a tap: $raised_colours"
[ "$raised_colours" -gt 8 ] || fail "after the second start the screen shows $raised_colours colours"
n=$(differing start 800x480+0+0 raised 800x480+0+0)
[ "$n" -gt 2000 ] || fail "the information page did not reach the screen ($n pixels changed)"

# The README's receiver recipe, its lines run as they stand from a folder
# laid out like the repository, beside this copy: the copy on build/try
# has a session of its own (its own XDG_RUNTIME_DIR) and so starts, and
# finding the pointer held by the full-screen copy it opens in a window
# rather than wait for the pointer without end (which no signal ended).
# A quit request ends it; the first copy runs on.
repo=$work/repo
mkdir -p "$repo/build/app"
ln -s "$here/../../tools" "$repo/tools"
cp "$program" "$repo/build/app/mirel"
cp -r "$(dirname "$program")/waypoints" "$repo/build/app/"
bash "$repo/tools/first-run-data.sh" "$(dirname "$program")/data" "$repo/build/app/data"
try_pid=
recipe_socat=
trap 'kill $try_pid $recipe_socat 2>/dev/null || true; window_cleanup' EXIT
cd "$repo"
for line in 'bash tools/first-run-data.sh build/app/data build/try/data' 'cp -r build/app/mirel build/app/waypoints build/try/' \
  'mkdir -p build/try/data/ports' \
  'socat pty,raw,echo=0,link=build/try/data/ports/COM7 pty,raw,echo=0,link=build/gps &' \
  '(cd build/try && XDG_RUNTIME_DIR=$PWD ./mirel) &'; do
  grep -qxF "    $line" "$here/../../README.md" || fail "the README no longer shows: $line"
  eval "$line" >>"$work/recipe.txt" 2>&1 || fail "the README's line failed: $line"
  if [[ $line == socat* ]]; then recipe_socat=$!; fi
done
cd - >/dev/null
wait_until 10 test -s "$repo/build/try/mirel.lock" || fail "the recipe's copy took no lock: $(cat "$work/recipe.txt")"
try_pid=$(cat "$repo/build/try/mirel.lock")
shown() { [ -n "$(xdotool search --onlyvisible --pid "$try_pid" 2>/dev/null)" ]; }
wait_until 60 shown ||
  fail "the recipe's copy showed no window beside the running one: $(tail -n 5 "$repo/build/try/log.txt")"
grep -q "Another program holds the pointer: a window of 800x480 instead of the full screen" "$repo/build/try/log.txt" ||
  fail "the recipe's copy did not say why it is a window"
# Its page drawn: not the black window of a start that waits.
try_drawn() {
  xwd -id "$(xdotool search --onlyvisible --pid "$try_pid" | head -n 1)" -silent >"$work/try.xwd" &&
    [ "$(convert "xwd:$work/try.xwd" -format %k info:)" -gt 8 ]
}
wait_until 30 try_drawn || fail "the recipe's copy drew nothing"
kill -TERM "$try_pid"
wait_until 20 eval '! kill -0 "$try_pid" 2>/dev/null' || fail "a quit request did not end the recipe's copy"
try_pid=
kill "$recipe_socat"
kill -0 "$mirel_pid" 2>/dev/null || fail "the first copy ended"
echo "the README's receiver recipe ran beside the full-screen copy, in a window, and ended on a quit request"

# A quit request (SIGTERM, noted by the program's own handler) ends it cleanly.
kill -TERM "$mirel_pid"
set +e
wait "$mirel_pid"
status=$?
set -e
mirel_pid=
[ "$status" -eq 0 ] || fail "exit code $status after a quit request"
grep -q "shutdown at:" "$work/log.txt" || fail "no shutdown line"
xmllint --noout "$work/data/config.xml" || fail "config.xml is not well-formed"
grep -q 'name="atlas"' "$work/data/config.xml" || fail "the atlas was not saved"

# Killed in the middle of a run, it leaves config.xml old or new, whole.
for delay in 0.5 1.5 3; do
  start
  sleep "$delay"
  kill -9 "$mirel_pid" 2>/dev/null || true
  wait "$mirel_pid" 2>/dev/null || true
  mirel_pid=
  xmllint --noout "$work/data/config.xml" || fail "config.xml torn after kill -9 at $delay s"
done

# A receiver drives across Monaco, and the traffic service is tapped four
# times (nothing seemed to happen) with an opener that stays for 5 s, as a
# browser in the foreground does: the map, opened at once after, draws
# frames of the moving car while that opener still runs. Each tap must not
# wait for its opener (2 s each would pass its 5 s).
printf '<?xml version="1.0" encoding="utf-8"?>\n<config version="2">\n<var name="log_severity" value="3"/>\n<var name="auto_dn" value="0"/>\n<var name="atlas" value="maps\\monaco"/>\n<var name="gps_port" value="3"/>\n<var name="gps_speed" value="4800"/>\n<var name="gps_enable" value="1"/>\n</config>\n' \
  >"$work/data/config.xml"
mkdir "$work/bin"
printf '#!/bin/sh\necho "$1" >>"%s/opened.txt"\n/bin/sleep 5\n: >"%s/opener-ended"\n' "$work" "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
mv "$work/mirel" "$work/mirel.bin"
printf '#!/bin/sh\nPATH="%s/bin" exec "%s/mirel.bin"\n' "$work" "$work" >"$work/mirel"
chmod +x "$work/mirel"
socat_pid=
feeder_pid=
trap 'kill $feeder_pid $socat_pid 2>/dev/null || true; window_cleanup' EXIT
plug_receiver 3
printf '43.7383,7.4180\n43.7383,7.4330\n' >"$work/drive.txt"
python3 "$here/../../tools/nmea_feed.py" "$work/gps" --route "$work/drive.txt" --speed 50 >/dev/null 2>&1 &
feeder_pid=$!
: >"$work/log.txt"
start
wait_for_log "after initInterface" 60
wait_for_log "Page menuMain drawn" 30
find_window
tap 140 359
expect_page pageSettingsMain "Settings"
tap 594 102
expect_page pageSettingsLists "Settings"
for _ in 1 2 3 4; do tap 140 418; done
tap 640 31
map_or_ended() { page_is pageMap "" || [ -e "$work/opener-ended" ]; }
wait_until 20 map_or_ended || fail "the map was not shown ($(last_page))"
[ -e "$work/opener-ended" ] && fail "the map was shown only after the opener ended"
frames=0
xwd -root -silent >"$work/frame.xwd"
while [ "$frames" -lt 2 ]; do
  [ -e "$work/opener-ended" ] && fail "the map drew $frames new frames before the opener ended"
  sleep 0.1
  xwd -root -silent >"$work/frame.next.xwd"
  cmp -s "$work/frame.xwd" "$work/frame.next.xwd" || frames=$((frames + 1))
  mv "$work/frame.next.xwd" "$work/frame.xwd"
done
grep -qxF "https://traffic.mirel.example.org/" "$work/opened.txt" || fail "the opener was not given the address"
grep -q "Notice shown" "$work/log.txt" && fail "a notice although the browser opened"
stop
echo "PASS"
