#!/usr/bin/env bash
# The program as a user runs it, measured from outside: a copy of a build's
# program and data folder started under Xvfb (800 x 480 window) on Monaco's
# map page, a receiver on a pseudo-terminal (socat, linked as
# data/ports/COM3) giving a standing car's fix once a second (GGA and RMC,
# speed 0). After a settling time the program's CPU time (utime + stime of
# /proc/PID/stat) is read over a measured time, first in 3D (a first
# start's view), then in 2D (switched by the map menu's first item), the
# view zoomed in to about 150 m per scale bar. Printed: the peak resident
# memory (VmHWM) 3 s after the window opened, the share of one core per
# view, and at the end the peak and current resident memory and whether
# libcurl is mapped. MIREL_STANDING_THREADS=1 adds each thread's CPU ticks
# and voluntary context switches; MIREL_STANDING_PERF=FILE records each
# view's time with perf (FILE.3d, FILE.2d); MIREL_STANDING_SHOTS=
# FOLDER keeps a screenshot of each view (xwd); MIREL_STANDING_LOG=FILE
# keeps the program's log.txt (severity 3).
#
#   bench/program-standing.sh PROGRAM [SECONDS]     (default 60)
#
# Needs Xvfb, xdotool, socat and python3. Pin it to a core with taskset -c N
# like the benchmarks (the program and its receiver then share that core).
set -euo pipefail
program=$(readlink -f "$1")
seconds=${2:-60}
settle=15
for tool in Xvfb xdotool socat python3; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 77; }
done
work=$(mktemp -d)
xvfb_pid= socat_pid= talker_pid= mirel_pid=
cleanup() {
  for pid in $mirel_pid $talker_pid $socat_pid $xvfb_pid; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cp "$program" "$work/mirel"
bash "$(dirname "$0")/../tools/first-run-data.sh" "$(dirname "$program")/data" "$work/data"
printf '<?xml version="1.0" encoding="utf-8"?>\n<config version="2">\n<var name="log_severity" value="3"/>\n<var name="auto_dn" value="0"/>\n<var name="map_start" value="1"/>\n<var name="gps_port" value="3"/>\n<var name="gps_speed" value="4800"/>\n<var name="gps_enable" value="1"/>\n<var name="atlas" value="maps\\monaco"/>\n</config>\n' \
  >"$work/data/config.xml"
exec 3<> <(:)
Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
read -r -t 10 display <&3 || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display" XDG_RUNTIME_DIR="$work" SDL_AUDIODRIVER=dummy

mkdir -p "$work/data/ports"
socat pty,raw,echo=0,link="$work/data/ports/COM3" pty,raw,echo=0,link="$work/gps" 2>/dev/null &
socat_pid=$!
for _ in $(seq 50); do [ -e "$work/gps" ] && break; sleep 0.1; done
# The car stands on Boulevard Albert 1er; the time goes on a second a fix.
python3 - "$work/gps" <<'PY' &
import sys, time
def line(body):
    c = 0
    for ch in body.encode():
        c ^= ch
    return "$%s*%02X\r\n" % (body, c)
with open(sys.argv[1], "w") as out:
    for i in range(1000000):
        t = "%02d%02d%02d.00" % (10 + i // 3600 % 12, i // 60 % 60, i % 60)
        pos = "4344.1900,N,00725.2000,E"
        out.write(line("GPGGA,%s,%s,1,08,1.0,50.0,M,48.0,M,," % (t, pos)))
        out.write(line("GPRMC,%s,A,%s,0.0,90.0,071226,,,A" % (t, pos)))
        out.flush()
        time.sleep(1)
PY
talker_pid=$!

(cd "$work" && exec ./mirel) >"$work/stdout.txt" 2>&1 &
mirel_pid=$!
window=
for _ in $(seq 300); do
  window=$(xdotool search --pid "$mirel_pid" 2>/dev/null | head -n 1) && [ -n "$window" ] && break
  kill -0 "$mirel_pid" 2>/dev/null || { echo "the program ended" >&2; tail "$work/log.txt" >&2; exit 1; }
  sleep 0.1
done
[ -n "$window" ] || { echo "no window" >&2; exit 1; }

ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$mirel_pid/stat"; }
measure() {
  sleep "$settle"
  local before after
  before=$(cpu)
  if [ -n "${MIREL_STANDING_PERF:-}" ]; then
    perf record -q -g -p "$mirel_pid" -o "$MIREL_STANDING_PERF.$2" -- sleep "$seconds" 2>/dev/null
  else
    sleep "$seconds"
  fi
  after=$(cpu)
  if [ -n "${MIREL_STANDING_THREADS:-}" ]; then
    for task in /proc/"$mirel_pid"/task/*; do
      echo "  thread ${task##*/}: $(awk '{print $14 + $15}' "$task/stat") ticks, $(grep -E '^(voluntary)' "$task/status" | tr -s ' \t' ' ')"
    done
  fi
  python3 -c "print('%s: %.2f %% of a core over %d s' % ('$1', 100.0 * ($after - $before) / $ticks / $seconds, $seconds))"
  [ -n "${MIREL_STANDING_SHOTS:-}" ] && xwd -id "$window" -silent >"$MIREL_STANDING_SHOTS/$2.xwd"
  return 0
}
# The first frames of the whole town are drawn by now.
sleep 3
echo "after the first frames: $(grep VmHWM "/proc/$mirel_pid/status" | tr -s ' \t' ' ')"
# Zoomed in to the streets by the mouse wheel.
for _ in $(seq "${MIREL_STANDING_ZOOM:-11}"); do
  xdotool mousemove --window "$window" 400 300 click 4
  sleep 0.3
done
measure "3D, standing" 3d
# The map menu (top left), its first item: the 2D view.
xdotool mousemove --window "$window" 36 32 click 1
sleep 1.5
xdotool mousemove --window "$window" 138 80 click 1
measure "2D, standing" 2d
grep -E 'VmHWM|VmRSS' "/proc/$mirel_pid/status" | tr -s ' \t' ' '
if grep -q libcurl "/proc/$mirel_pid/maps"; then echo "libcurl: mapped"; else echo "libcurl: not mapped"; fi
[ -n "${MIREL_STANDING_LOG:-}" ] && cp "$work/log.txt" "$MIREL_STANDING_LOG"
exit 0
