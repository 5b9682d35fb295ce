#!/usr/bin/env bash
# The GPS pages in a real window with a receiver played from a recorded log:
# a pseudo-terminal linked as data/ports/COM15 (socat) sends the log line by
# line; the GPS setup page's port search finds it, the page switches the GPS
# on and the port and speed end up in config.xml; the GPS information page
# shows the fix (green LED, time, position) and the satellites; pulling the
# pseudo-terminal shows the lost state (no fix, no satellites) and plugging
# it back recovers.
# Usage: gps_window_test.sh PROGRAM [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
shots=${2:-}
log_file=${MIREL_NMEA_LOG:-$(dirname "$0")/../data/nmea/bu353s4.log}
[ -f "$log_file" ] || { echo "FAIL: no recorded NMEA log at $log_file"; exit 1; }
log_file=$(cd "$(dirname "$log_file")" && pwd)/$(basename "$log_file")
source "$(dirname "$0")/window_common.sh"
window_setup "$program" xwd convert compare xdotool socat

socat_pid=
receiver_cleanup() {
  [ -n "$socat_pid" ] && kill "$socat_pid" 2>/dev/null || true
  window_cleanup
}
trap receiver_cleanup EXIT
mkdir -p "$work/data/ports"
cat >"$work/play.sh" <<PLAY
while :; do
  grep -v '^#' '$log_file' | while IFS= read -r line; do printf '%s\\n' "\$line"; sleep 0.06; done
done
PLAY
# Plugs the receiver in: the log's sentences, one every 60 ms, over and
# over.
plug() {
  socat PTY,link="$work/data/ports/COM15",raw,echo=0 EXEC:"bash $work/play.sh" 2>"$work/socat.log" &
  socat_pid=$!
  for _ in $(seq 50); do [ -e "$work/data/ports/COM15" ] && return 0; sleep 0.1; done
  cat "$work/socat.log"
  fail "socat made no pseudo-terminal"
}
unplug() {
  kill "$socat_pid" 2>/dev/null || true
  wait "$socat_pid" 2>/dev/null || true
  socat_pid=
}

plug
(cd "$work" && TZ=UTC exec ./mirel) >"$work/stdout.txt" 2>&1 &
mirel_pid=$!
wait_for_log "after initInterface" 60
find_window
wait_for_log "Page [^ ]* drawn" 30

# Pixels of a colour within a region.
pixels() {
  convert "$work/$1.png[$2]" -fuzz 15% -fill black +opaque "$3" -fill white -opaque "$3" \
    -format '%[fx:int(mean*w*h)]' info:
}

# The main menu's GPS tile: the receiver is off, nothing is known.
expect_page menuMain
tap 660 170
expect_page pageGPS
shot off
# Its setup page: search the ports.
tap 715 31
expect_page pageSetupGPS
tap 195 428
wait_for_log "GPS search done. GPS found" 60
shot found
# Switch it on and keep the settings.
tap 356 348
wait_for_log "GPS port set\|Enabling GPS" 20
shot on
tap 732 31
expect_page pageGPS
# The page follows the receiver: polled until it shows the fix.
fix_shown() {
  shot fix now
  [ "$(pixels fix 40x40+400+80 '#66BB6A')" -gt 100 ] && [ "$(pixels fix 300x300+40+100 '#FFFF00')" -gt 50 ]
}
wait_until 20 fix_shown || true
green=$(pixels fix 40x40+400+80 '#66BB6A')
yellow=$(pixels fix 300x300+40+100 '#FFFF00')
values=$(differing off 220x340+570+120 fix 220x340+570+120)
echo "with the fix: $green LED pixels, $yellow pixels of used satellites, $values pixels of values changed"
[ "$green" -gt 100 ] || fail "the LED does not show the fix"
[ "$yellow" -gt 50 ] || fail "no used satellites in the sky plot"
[ "$values" -gt 1000 ] || fail "the values do not show the fix"

# Pulled out: the lost state (no fix, the values back to their dashes).
unplug
wait_for_log "GPS port was lost" 20
lost_shown() {
  shot lost now
  lost_values=$(differing off 220x340+570+120 lost 220x340+570+120)
  [ "$lost_values" -lt 300 ]
}
wait_until 10 lost_shown || true
echo "lost: $lost_values pixels of values differ from the switched-off page"
[ "$lost_values" -lt 300 ] || fail "the page does not show the lost fix"
# The sky plot empties with them, at its next second: the satellites the
# port gave last stay known to the receiver for 6 s and more, but no longer
# drawn as seen or used.
sky_empty() {
  shot lost now
  lost_yellow=$(pixels lost 300x300+40+100 '#FFFF00')
  [ "$lost_yellow" -eq 0 ]
}
wait_until 3 sky_empty || true
echo "lost: $lost_yellow pixels of used satellites"
[ "$lost_yellow" -eq 0 ] || fail "the sky plot still shows the lost port's satellites as used"
# Plugged back: the fix returns.
plug
back_shown() {
  shot back now
  [ "$(pixels back 40x40+400+80 '#66BB6A')" -gt 100 ]
}
wait_until 30 back_shown || true
[ "$(pixels back 40x40+400+80 '#66BB6A')" -gt 100 ] || fail "the fix did not come back"
echo "the fix came back"

kill -TERM "$mirel_pid"
wait "$mirel_pid" || fail "exit code $? after a quit request"
mirel_pid=
grep -q 'name="gps_port" value="15"' "$work/data/config.xml" || fail "the port was not stored"
grep -q 'name="gps_speed" value="[0-9]*"' "$work/data/config.xml" || fail "the speed was not stored"
grep -q 'name="gps_enable" value="1"\|name="gps_enable" value="true"' "$work/data/config.xml" ||
  fail "the GPS was not stored as on"
echo "PASS"
