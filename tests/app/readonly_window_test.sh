#!/usr/bin/env bash
# The program on a read-only data folder (a read-only bind mount in a mount
# namespace of its own where the test may make one, else a copy without
# write bits when not run as root): it starts, its "Map" opens the map page
# on the atlas, and it ends cleanly on a quit request. Nothing it cannot
# write (atlas.xml, indexes, the camera, config.xml) stops it; the map page
# tells the driver once that nothing will be saved, and the system's reason.
# Usage: readonly_window_test.sh PROGRAM [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
shots=${2:-}
source "$(dirname "$0")/window_common.sh"
window_setup "$program" xwd convert compare xdotool

if unshare -m sh -c "mount --bind '$work/data' '$work/data' && mount -o remount,bind,ro '$work/data'" 2>/dev/null; then
  run=(unshare -m sh -c 'mount --bind data data && mount -o remount,bind,ro data && exec ./mirel')
elif [ "$(id -u)" -ne 0 ]; then
  chmod -R a-w "$work/data"
  trap 'chmod -R u+w "$work/data" 2>/dev/null; window_cleanup' EXIT
  run=(./mirel)
else
  echo "SKIPPED: no read-only bind mount can be made here, and root writes through missing write bits"
  exit 77
fi

(cd "$work" && exec "${run[@]}") >"$work/stdout.txt" 2>&1 &
mirel_pid=$!
for _ in $(seq 600); do
  grep -q "after initInterface" "$work/log.txt" 2>/dev/null && break
  kill -0 "$mirel_pid" 2>/dev/null || fail "the program ended during start-up on a read-only data folder"
  sleep 0.1
done
grep -q "after initInterface" "$work/log.txt" || fail "no start after 60 s"
find_window
grep -q "Can't create atlas file" "$work/log.txt" || fail "the data folder was not read-only: atlas.xml was written"

expect_page menuMain
tap 140 170
expect_page pageMap
wait_for_log "Notice shown: The data folder cannot be written" 10
# The notice's dialog: a dark box over most of the middle.
dialog_on() { [ "$(pixels_like "$1" 480x240+160+115 '#2C3A42')" -gt 60000 ]; }
shot readonly-map
dialog_on readonly-map || fail "the notice is not on the screen"
colours=$(convert "$work/readonly-map.png" -format %k info:)
echo "the map page on a read-only data folder shows $colours colours"
[ "$colours" -gt 50 ] || fail "the map page shows $colours colours: no map"
grep -q "Data folder '.*' cannot be written: nothing will be saved" "$work/log.txt" ||
  fail "the read-only data folder was not logged"

# The notice: its "OK" closes it, and the map shown again does not repeat it.
dialog_differs() {
  { compare -metric AE -fuzz 8% "$work/$1.png[500x260+150+110]" "$work/$2.png[500x260+150+110]" null: 2>&1 || true; } |
    cut -d' ' -f1
}
cp "$work/readonly-map.png" "$work/notice.png"
tap_changes 400 321
shot closed
tap_changes 36 31
tap 138 269
expect_page menuMain
tap 140 170
expect_page pageMap
shot again
# A notice shows at the page's first tick, before its first frame.
[ "$(grep -c "Notice shown" "$work/log.txt")" -eq 1 ] || fail "the notice came again"
closed=$(dialog_differs notice closed)
again=$(dialog_differs notice again)
echo "notice closed: $closed pixels differ; map shown again: $again"
[ "$closed" -gt 20000 ] || fail "no notice that nothing will be saved, or it did not close"
[ "$again" -gt 20000 ] || fail "the notice came again"
# Its words, with the system's reason rather than a guess.
grep -Eq "Notice shown: The data folder cannot be written.*\((Read-only file system|Permission denied)\)" "$work/log.txt" ||
  fail "the notice did not say why: $(grep "Notice shown" "$work/log.txt")"

kill -TERM "$mirel_pid"
set +e
wait "$mirel_pid"
status=$?
set -e
mirel_pid=
[ "$status" -eq 0 ] || fail "exit code $status after a quit request"
if grep -q "fatal error" "$work/log.txt"; then
  grep "fatal error" "$work/log.txt"
  fail "a fatal error on a read-only data folder"
fi
echo "PASS"
