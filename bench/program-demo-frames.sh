#!/usr/bin/env bash
# The map's pace while the car moves, measured from outside: a copy of a
# build's program and data folder started under Xvfb (800 x 480 window) on
# Monaco's map page, zoomed in to the streets (about 150 m per scale bar),
# with a route across the town that the same build's route-atlas stored
# (--save), driven by the map menu's route demo (its third item) at the
# demo speed, guidance sounds played at a sound card's pace (SDL's disk
# audio driver, written to /dev/null). The frames are counted by the
# build's flip counter (bench/support/FlipCounter.cpp, preloaded), the CPU
# time read from /proc/PID/stat (utime + stime). After a settling time each
# view is measured over the given time, first in 2D (the view route-atlas
# stored with the route), then in 3D (switched by the map menu's first
# item). Printed per
# view: frames a second (on average, and the most in one second) and the
# share of one core; then the load average of the machine.
#
#   bench/program-demo-frames.sh PROGRAM ROUTE_ATLAS FLIP_COUNTER [SECONDS]     (default 60)
#
# e.g. bench/program-demo-frames.sh build/app/mirel build/tools/route-atlas \
#          build/bench/libmirel_flip_counter.so
# Needs Xvfb and xdotool. MIREL_FRAMES_SHOTS=FOLDER keeps a screenshot of
# each view (xwd).
set -euo pipefail
source "$(dirname "$0")/program-demo-common.sh"
counter=$(readlink -f "$3")
seconds=${4:-60}
settle=10
demo_setup "$1" "$2" 2

demo_launch "$counter"
# The counter's file appears with the first frame.
for _ in $(seq 100); do [ -e "$work/flips" ] && break; sleep 0.1; done
[ -e "$work/flips" ] || { echo "the flip counter is not loaded" >&2; exit 1; }

ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$mirel_pid/stat"; }
flips() { od -An -t u8 -N8 "$work/flips" | tr -d ' '; }
measure() {
  sleep "$settle"
  # Each second's frames over its own measured length: a loaded machine
  # wakes the script late.
  local cpu_before flips_before start last last_time now now_time most
  cpu_before=$(cpu)
  flips_before=$(flips)
  start=$(date +%s.%N)
  last=$flips_before last_time=$start most=0
  for _ in $(seq "$seconds"); do
    sleep 1
    now=$(flips) now_time=$(date +%s.%N)
    most=$(awk -v m="$most" -v f=$((now - last)) -v t0="$last_time" -v t1="$now_time" \
      'BEGIN { r = f / (t1 - t0); print (r > m ? r : m) }')
    last=$now last_time=$now_time
  done
  python3 -c "
t = $last_time - $start
print('%s: %.1f frames a second (at most %.1f in one second), %.2f %% of a core over %.0f s'
      % ('$1', ($last - $flips_before) / t, $most, 100.0 * ($(cpu) - $cpu_before) / $ticks / t, t))"
  [ -n "${MIREL_FRAMES_SHOTS:-}" ] && xwd -id "$window" -silent >"$MIREL_FRAMES_SHOTS/$2.xwd"
  return 0
}
demo_start "$window"
measure "2D, route demo" 2d
# The map menu again, its first item: the 3D view.
xdotool mousemove --window "$window" 36 32 click 1
sleep 1.5
xdotool mousemove --window "$window" 138 80 click 1
measure "3D, route demo" 3d
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
exit 0
