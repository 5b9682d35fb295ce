#!/usr/bin/env bash
# The program as a user runs it over a long drive, measured from outside: a
# copy of a build's program and data folder started under Xvfb (800 x 480
# window) on Monaco's map page, zoomed in to the streets, with a route
# across the town that the same build's route-atlas stored (--save), driven
# again and again by the map menu's route demo (its third item) at the demo
# speed, guidance sounds played at a sound card's pace (SDL's disk audio
# driver, written to /dev/null). The program runs under strace, which
# records the files it opens. Printed: the resident memory every minute
# (VmRSS, and its anonymous and file-backed parts: the mapped map files'
# pages count in the latter as the drive touches them), then the picture
# and sound files it read (opens of .bmp and .wav in its data folder): in
# all, after the first two minutes, and the most reads of one file.
# MIREL_DRIVE_LOG=FILE keeps the program's log.txt (severity 3).
#
#   bench/program-demo-drive.sh PROGRAM ROUTE_ATLAS [MINUTES]     (default 30)
#
# Needs Xvfb, xdotool and strace. MIREL_DRIVE_SHOTS=FOLDER keeps a
# screenshot (xwd) after the first minute.
set -euo pipefail
source "$(dirname "$0")/program-demo-common.sh"
minutes=${3:-30}
demo_setup "$1" "$2" 3 strace

(cd "$work" && exec strace -f -qq -e trace=openat -o "$work/opens.txt" ./mirel) >"$work/stdout.txt" 2>&1 &
tracer_pid=$!
window=
for _ in $(seq 300); do
  mirel_pid=$(pgrep -P "$tracer_pid" -x mirel || true)
  [ -n "$mirel_pid" ] && window=$(xdotool search --pid "$mirel_pid" 2>/dev/null | head -n 1) && [ -n "$window" ] && break
  kill -0 "$tracer_pid" 2>/dev/null || { echo "the program ended" >&2; exit 1; }
  sleep 0.1
done
[ -n "$window" ] || { echo "no window" >&2; exit 1; }
demo_start "$window"
start=$(date +%s)
mark=
for minute in $(seq "$minutes"); do
  sleep $((start + 60 * minute - $(date +%s)))
  echo "minute $minute: $(grep -E 'VmRSS|RssAnon|RssFile' "/proc/$mirel_pid/status" | tr -s ' \t' ' ' | tr '\n' ' ')"
  if [ "$minute" = 1 ] && [ -n "${MIREL_DRIVE_SHOTS:-}" ]; then
    xwd -id "$window" -silent >"$MIREL_DRIVE_SHOTS/minute1.xwd"
  fi
  [ "$minute" = 2 ] && mark=$(wc -l <"$work/opens.txt")
done
reads() { grep -E "\"$work/data/.*\\.(bmp|wav)\"" | grep -v O_WRONLY | grep -o '"[^"]*"' | sed "s|\"$work/data/||; s|\"||"; }
echo "picture and sound reads: $(reads <"$work/opens.txt" | wc -l), after minute 2: $(tail -n +"$((mark + 1))" "$work/opens.txt" | reads | wc -l)"
echo "most reads of one file: $(reads <"$work/opens.txt" | sort | uniq -c | sort -rn | head -3 | tr -s ' ' | tr '\n' ',')"
[ -n "${MIREL_DRIVE_LOG:-}" ] && cp "$work/log.txt" "$MIREL_DRIVE_LOG"
exit 0
