#!/usr/bin/env bash
# Nothing is lost however the program ends, and no two copies share a data
# folder:
# - SIGTERM at chosen moments of the start (0.05 to 0.4 s), SIGHUP and
#   SIGINT on the main menu: each ends the program with 0, its log closed
#   by the shutdown's last line; SIGTERM while the start-failure dialog is
#   shown closes it and ends the program the same way, but with the failed
#   start's -1;
# - a second copy on the same folder started without XDG_RUNTIME_DIR (so
#   its session lock is another) ends at once, the first runs on;
# - night mode set on the settings page and confirmed with "OK" is in
#   config.xml after a kill -9 five seconds later.
# Usage: quit_window_test.sh PROGRAM
set -euo pipefail
program=$1
source "$(dirname "$0")/window_common.sh"
window_setup "$program" xdotool xwd

# Waits for the program to end and fails unless it ended with 0 (or the
# status given) and wrote the shutdown's last line.
ended_cleanly() {
  local what=$1 expected=${2:-0} status=0
  for _ in $(seq 200); do
    kill -0 "$mirel_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$mirel_pid" 2>/dev/null && fail "$what: still running 20 s after the signal"
  wait "$mirel_pid" || status=$?
  mirel_pid=
  [ "$status" -eq "$expected" ] || fail "$what: exit status $status"
  grep -q "shutdown at:" "$work/log.txt" || fail "$what: the shutdown did not run"
  echo "$what: status $status, shut down"
}

# SIGTERM early in the start: before, during and after the window opens.
for delay in 0.05 0.1 0.15 0.2 0.25 0.3 0.35 0.4; do
  : >"$work/log.txt"
  (cd "$work" && exec ./mirel) >"$work/stdout.txt" 2>&1 &
  mirel_pid=$!
  sleep "$delay"
  kill -TERM "$mirel_pid"
  ended_cleanly "SIGTERM after $delay s"
done

# SIGHUP and SIGINT on the main menu, with the engine running.
for signal in HUP INT; do
  start
  expect_page menuMain
  kill -"$signal" "$mirel_pid"
  ended_cleanly "SIG$signal on the main menu"
  grep -q "Quit signal [0-9]* received" "$work/log.txt" || fail "SIG$signal: not logged"
  grep -q "Config was" "$work/log.txt" || fail "SIG$signal: the settings were not looked at"
done

# A second copy on the same data folder from another session.
start
(cd "$work" && exec env -u XDG_RUNTIME_DIR ./mirel) >"$work/second.txt" 2>&1 &
second=$!
for _ in $(seq 50); do kill -0 "$second" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$second" 2>/dev/null; then
  kill -9 "$second"
  fail "a second copy runs on the same data folder"
fi
status=0
wait "$second" || status=$?
[ "$status" -ne 0 ] || fail "the second copy ended with 0"
grep -q "already running on the data folder" "$work/second.txt" || fail "the second copy did not say why: $(cat "$work/second.txt")"
kill -0 "$mirel_pid" 2>/dev/null || fail "the first copy ended"
echo "a second copy without XDG_RUNTIME_DIR ended at once (status $status)"

# Night mode on the render settings page, "OK", and a kill once config.xml
# holds it (10 s at the most).
expect_page menuMain
tap 140 359
expect_page pageSettingsMain
tap 140 222
expect_page pageRenderSettings
tap_changes 688 360
tap 736 31
expect_page pageSettingsMain
night_stored() { grep -q 'name="night_mode" value="1"' "$work/data/config.xml"; }
wait_until 10 night_stored || true
kill -9 "$mirel_pid"
wait "$mirel_pid" 2>/dev/null || true
mirel_pid=
grep -q 'name="night_mode" value="1"' "$work/data/config.xml" || fail "night mode confirmed with OK was lost"
echo "night mode confirmed with OK survived a kill -9"

# SIGTERM while the start-failure dialog is shown (no messages.xml): the
# dialog closes at once, and the start stays a failure (-1).
mv "$work/data/messages.xml" "$work/messages.xml.kept"
start_failing "no messages"
kill -TERM "$mirel_pid"
ended_cleanly "SIGTERM on the failure dialog" 255
mv "$work/messages.xml.kept" "$work/data/messages.xml"
echo "PASS"
