#!/usr/bin/env bash
# The real program in a real window, on a screen of the design's size (800 x
# 480, a car computer's display) with no window manager, where it opens full
# screen: started under Xvfb on a copy of its folder, it must show a picture
# (not blank), refuse a second copy without touching the log and, brought
# forward by it, still draw and answer taps; end cleanly on a quit request
# with its settings saved, and never leave a torn config.xml when killed.
# Usage: window_test.sh PROGRAM [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
shots=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
window_screen=800x480x24
source "$here/window_common.sh"
window_setup "$program" xwd convert xmllint xdotool

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
echo "PASS"
