#!/usr/bin/env bash
# The map's frames while a car drives through bends, measured from outside:
# a copy of a build's program and data folder started under Xvfb (800 x 480
# window) on Monaco's map page, zoomed in to the streets (about 150 m per
# scale bar), a receiver on a pseudo-terminal (socat, linked as
# data/ports/COM7) sending a fix a second in real time along a route that
# the same build's route-atlas computed (tests/app/nmea_route.py's drive,
# RMC, GGA, GSA and GSV, no noise), at the given speed. With ROUTE (the
# default) the route is saved where the program loads it and guidance
# follows it; with FREE the program has no route; with DETOUR the route is
# saved and the receiver drives its own way along the roads instead, to a
# point 300 m east of the route's middle and from there to the route's
# finish, whatever the new routes say. RECEIVER is the receiver's way of
# sending (tools/nmea_feed.py): rmc-first (the default), gga-first (GGA
# before RMC), gga-only (no speed, no course) or empty-course (RMC with an
# empty course field), or empty-speed-course (RMC with empty speed and
# course fields). MIREL_BEND_HZ sets the receiver's epochs a second (1 to
# 20, 1 unless set); MIREL_BEND_SCATTER its slowly wandering scatter in
# metres (the standard deviation on each axis, its HDOP saying so) and
# MIREL_BEND_SEED the scatter's seed (tools/nmea_feed.py); MIREL_BEND_FRESH=1
# draws the scatter afresh at each fix and MIREL_BEND_HDOP=H has the GGA
# claim H whatever the scatter. MIREL_BEND_STAND=S has the car stand S
# seconds at the start once the map is zoomed in (3 unless set);
# MIREL_BEND_STOP=METRES:SECONDS stops it on the way, MIREL_BEND_SILENT=
# METRES:SECONDS has the receiver send nothing from METRES on while the car
# drives on (a tunnel), and MIREL_BEND_NONSENSE=METRES has it send, for 4 s
# from there, five RMC sentences a second that no car can have
# (tests/app/nmea_route.py). For these it prints, for each stand and stop,
# the frames drawn after its first 7 s and the speed panel's pictures
# (window.png in $MIREL_BEND_KEEP), and for each silence how long after the
# receiver's first sentence the next frame came. The frames are counted
# by the build's flip counter (bench/support/FlipCounter.cpp, preloaded),
# whose count a poller reads every 5 ms: each change is a frame's time.
# Printed over the drive (from the receiver's first moving fix to its
# last): the frames, the gaps between frames longer than 150 ms (count,
# total and the largest, with the car's place on the route), the phrases
# said and whether the arrival was, and the machine's load average.
#
#   bench/program-bend-frames.sh PROGRAM ROUTE_ATLAS FLIP_COUNTER [KMH] [ROUTE|FREE|DETOUR] [RECEIVER] [FROM TO]
#
# e.g. bench/program-bend-frames.sh build/app/mirel build/tools/route-atlas \
#          build/bench/libmirel_flip_counter.so 25 ROUTE gga-first
# The default way (813 m) turns sharply back at its southern end, goes
# round a roundabout and along Boulevard Princesse Charlotte into its
# hairpin onto Boulevard du Général Leclerc; a DETOUR's default route is
# Fontvieille to Rue Grimaldi (43.72641,7.41610 to 43.73398,7.41856), about
# three minutes of driving at 30 km/h the way the receiver takes. Needs
# Xvfb, xdotool, socat and python3.
# MIREL_BEND_KEEP=FOLDER keeps the log, the frame times and the route.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/program-demo-common.sh"
counter=$(readlink -f "$3")
kmh=${4:-25}
mode=${5:-ROUTE}
receiver=${6:-rmc-first}
if [ "$mode" = DETOUR ]; then
  from=${7:-43.72641,7.41610} to=${8:-43.73398,7.41856}
else
  from=${7:-43.74168,7.42900} to=${8:-43.74300,7.42700}
fi
demo_setup "$1" "$2" 3 socat python3
talker_pid= socat_pid= poller_pid= shots_pid= events_pid=
bend_cleanup() {
  if [ -n "${MIREL_BEND_KEEP:-}" ]; then
    mkdir -p "$MIREL_BEND_KEEP"
    cp "$work/log.txt" "$work/frames.txt" "$work/events.txt" "$work/route.txt" "$MIREL_BEND_KEEP/" 2>/dev/null || true
    for shot in "$work"/*.xwd; do
      [ -e "$shot" ] && LC_ALL=C convert "xwd:$shot" "$MIREL_BEND_KEEP/$(basename "$shot" .xwd).png" 2>/dev/null || true
    done
  fi
  for pid in $poller_pid $events_pid $talker_pid $socat_pid $shots_pid; do kill "$pid" 2>/dev/null || true; done
  demo_cleanup
}
trap bend_cleanup EXIT

atlas="$work/data/maps/monaco"
"$2" "$atlas" "$from" "$to" --manoeuvres >"$work/route.txt"
if [ "$mode" = FREE ]; then
  rm -f "$atlas/path.kvp"
else
  "$2" "$atlas" "$from" "$to" --save --data "$work/data" >/dev/null
fi
start_at=$(grep -m 1 -E '^[0-9.-]+,[0-9.-]+$' "$work/route.txt")
driven="$work/route.txt"
if [ "$mode" = DETOUR ]; then
  # The way the receiver drives: to 300 m east of the route's middle, then
  # to the finish, found on a copy of the map without the stored route.
  aside=$(python3 "$here/../tests/app/nmea_route.py" --aside "$work/route.txt" 300)
  mkdir -p "$work/plain"
  cp "$atlas"/*.kvm "$work/plain/"
  "$2" "$work/plain" "$from" "$aside" >"$work/wrong1.txt"
  "$2" "$work/plain" "$aside" "$to" >"$work/wrong2.txt"
  cat "$work/wrong1.txt" "$work/wrong2.txt" >"$work/driven.txt"
  driven="$work/driven.txt"
fi
printf '<?xml version="1.0" encoding="utf-8"?>\n<config version="2">\n<var name="log_severity" value="3"/>\n<var name="auto_dn" value="0"/>\n<var name="map_start" value="1"/>\n<var name="atlas" value="maps\\monaco"/>\n<var name="gps_port" value="7"/>\n<var name="gps_speed" value="4800"/>\n<var name="gps_enable" value="1"/>\n</config>\n' \
  >"$work/data/config.xml"

mkdir -p "$work/data/ports" "$work/control"
socat pty,raw,echo=0,link="$work/data/ports/COM7" pty,raw,echo=0,link="$work/gps" 2>/dev/null &
socat_pid=$!
for _ in $(seq 50); do [ -e "$work/gps" ] && break; sleep 0.1; done
[ -e "$work/gps" ] || { echo "socat made no pseudo-terminal" >&2; exit 1; }
python3 - "$here/../tests/app" "$work/gps" "$work/control" "$start_at" "$driven" "$kmh" "$receiver" \
  "${MIREL_BEND_HZ:-1}" "${MIREL_BEND_SCATTER:-0}" "${MIREL_BEND_SEED:-0}" "${MIREL_BEND_FRESH:-0}" \
  "${MIREL_BEND_HDOP:-0}" "${MIREL_BEND_SILENT:-}" "${MIREL_BEND_STOP:-}" "${MIREL_BEND_NONSENSE:-}" <<'PY' &
import sys
sys.path.insert(0, sys.argv[1])
import nmea_route
start = tuple(float(v) for v in sys.argv[4].split(","))
pair = lambda text: tuple(float(v) for v in text.split(":")) if text else None
nmea_route.drive(sys.argv[2], sys.argv[3], start, lambda: [("driving", nmea_route.read_line(sys.argv[5]))],
                 float(sys.argv[6]), 1.0, None, sys.argv[7], int(sys.argv[8]),
                 nmea_route.Scatter(float(sys.argv[9]), int(sys.argv[10]), sys.argv[11] == "1",
                                    float(sys.argv[12]) or None),
                 silent=pair(sys.argv[13]), stop=pair(sys.argv[14]),
                 nonsense_at=float(sys.argv[15]) if sys.argv[15] else None)
PY
talker_pid=$!

demo_launch "$counter"
for _ in $(seq 300); do grep -q "Page pageMap shown" "$work/log.txt" 2>/dev/null && break; sleep 0.1; done
grep -q "Page pageMap shown" "$work/log.txt" || { echo "the map page was not shown" >&2; exit 1; }
[ -e "$work/flips" ] || { echo "the flip counter is not loaded" >&2; exit 1; }
# Guidance's and the tracker's events with the same clock's times, so that
# the report tells those of a stand from those of the drive.
python3 - "$work/log.txt" >"$work/events.txt" <<'PY' &
import sys, time
log = open(sys.argv[1], encoding="utf-8", errors="replace")
line = ""
while True:
    line += log.readline()
    if not line.endswith("\n"):
        time.sleep(0.005)
        continue
    for name in ("navi event:BackwardMove", "navi event:OutOfPath", "rebuildPath done"):
        if name in line:
            print("%.4f %s" % (time.monotonic(), name), flush=True)
    line = ""
PY
events_pid=$!
# Standing at the route's start until the map has the car, then zoomed in.
for _ in $(seq 300); do grep -q "GPS" "$work/log.txt" && break; sleep 0.1; done
sleep 5
demo_zoom "$window"
sleep "${MIREL_BEND_STAND:-3}"

# Each change of the frame count with its time, and the receiver's state.
python3 - "$work/flips" "$work/control/progress" >"$work/frames.txt" <<'PY' &
import mmap, os, struct, sys, time
f = open(sys.argv[1], "rb")
counts = mmap.mmap(f.fileno(), 8, access=mmap.ACCESS_READ)
last, state = None, None
while True:
    n = struct.unpack("<Q", counts[:8])[0]
    try:
        s = open(sys.argv[2]).read().strip()
    except OSError:
        s = ""
    if n != last or s != state:
        print("%.4f %d %s" % (time.monotonic(), n, s), flush=True)
        last, state = n, s
    time.sleep(0.005)
PY
poller_pid=$!
# The speed panel's pictures: in the middle of the stand at the start, of
# each stop, and before and after the nonsense.
python3 - "$work/control/progress" "$window" "$work" "${MIREL_BEND_STAND:-3}" <<'PY' &
import os, subprocess, sys, threading, time
progress, window, work, stand = sys.argv[1], sys.argv[2], sys.argv[3], float(sys.argv[4])
def shot(name):
    subprocess.run("xwd -id %s -silent > %s/%s.xwd" % (window, work, name), shell=True)
state, since, taken = None, time.monotonic(), set()
while True:
    try:
        s = open(progress).read().strip()
    except OSError:
        s = ""
    if s != state:
        if s == "nonsense": shot("before-nonsense")
        if state == "nonsense": threading.Timer(2.0, shot, ["after-nonsense"]).start()
        state, since = s, time.monotonic()
    waited = time.monotonic() - since
    for name, when in (("standing", stand / 2 if s == "standing" else None), ("stopped", 20.0 if s == "stopped" else None)):
        if when is not None and waited >= when and name not in taken:
            shot(name)
            taken.add(name)
    if s == "arrived" and waited > 5:
        break
    time.sleep(0.05)
PY
shots_pid=$!
sleep "$(awk -v s="${MIREL_BEND_STAND:-3}" 'BEGIN { print s / 2 + 1 }')"
touch "$work/control/go"
for _ in $(seq 1200); do
  [ "$(cat "$work/control/progress" 2>/dev/null)" = arrived ] && break
  kill -0 "$mirel_pid" 2>/dev/null || { echo "the program ended during the drive" >&2; exit 1; }
  sleep 0.5
done
# Guidance's last words come a moment after the receiver stopped.
for _ in $(seq 20); do
  [ "$mode" = FREE ] || grep -q "navi event:ArriveLastPoint" "$work/log.txt" && break
  sleep 0.5
done
kill "$poller_pid" "$events_pid" 2>/dev/null || true
poller_pid= events_pid=

python3 - "$work/frames.txt" "$kmh" "$mode" "$receiver" "$work/log.txt" "$work/events.txt" <<'PY'
import sys
rows = [l.split() for l in open(sys.argv[1])]
events = [(float(l.split()[0]), l.split(None, 1)[1].strip()) for l in open(sys.argv[6]) if l.strip()]
backward = [t for t, name in events if name == "navi event:BackwardMove"]
rebuilt = [t for t, name in events if name == "rebuildPath done"]
rows = [(float(r[0]), int(r[1]), r[2] if len(r) > 2 else "") for r in rows]
drive = [r for r in rows if r[2] == "driving"]
if not drive:
    raise SystemExit("no frame while the receiver drove")
begin, end = drive[0][0], [r for r in rows if r[2] == "arrived"][0][0]
times, last = [], None
for t, n, s in rows:
    if begin <= t <= end and n != last and last is not None and s != "stopped":
        times.append(t)
    last = n
# Runs of a state: (state, begin, end).
runs = []
for t, n, s in rows:
    if not runs or runs[-1][0] != s:
        runs.append([s, t, t])
    runs[-1][2] = t
for i, (s, a, b) in enumerate(runs):
    end_of = runs[i + 1][1] if i + 1 < len(runs) else b
    if s in ("standing", "stopped"):
        frames = 0
        last = None
        for t, n, _ in rows:
            if a + 7 <= t <= end_of and last is not None and n != last:
                frames += 1
            if t <= end_of:
                last = n
        # The stand at the start from the program's start.
        since = a if i > 0 else 0.0
        print("%s for %.0f s: %d frames drawn after its first 7 s, %d BackwardMove, %d new routes"
              % (s, end_of - a, frames, len([t for t in backward if since <= t <= end_of]),
                 len([t for t in rebuilt if since <= t <= end_of])))
    if s == "silent":
        spoke = end_of
        after = [t for (t, n, _), (_, m, _) in zip(rows[1:], rows) if t > spoke and n != m]
        print("silent for %.1f s: the next frame %.0f ms after the receiver spoke again"
              % (end_of - a, (after[0] - spoke) * 1000 if after else -1))
silences = [(a, runs[i + 1][1] if i + 1 < len(runs) else b) for i, (s, a, b) in enumerate(runs) if s == "silent"]
gaps = [(b - a, a - begin) for a, b in zip(times, times[1:]) if b - a > 0.15
        and not any(x - 1 <= a <= y for x, y in silences)]
kmh = float(sys.argv[2])
print("%s km/h, %s, %s: %.0f s driven, %d frames (%.1f a second); %d gaps over 150 ms, %.1f s in all, %d over "
      "500 ms; the largest %.0f ms"
      % (sys.argv[2], sys.argv[3].lower(), sys.argv[4], end - begin, len(times), len(times) / (end - begin),
         len(gaps), sum(g for g, _ in gaps), len([g for g, _ in gaps if g > 0.5]),
         max([g for g, _ in gaps] or [0]) * 1000))
for g, at in sorted(gaps, reverse=True)[:12]:
    print("  %4.0f ms at %5.1f s (about %4.0f m along the way)" % (g * 1000, at, at * kmh / 3.6))
# The metres driven by a time: the seconds in motion since the drive began.
def along(t):
    moving = sum(max(0.0, min(b, t) - max(a, begin)) for s, a, b in
                 [(r[0], r[1], runs[i + 1][1] if i + 1 < len(runs) else r[2]) for i, r in enumerate(runs)]
                 if s not in ("standing", "stopped"))
    return moving * kmh / 3.6
for t in backward:
    state = [s for s, a, b in runs if a <= t][-1] if any(a <= t for s, a, b in runs) else "standing"
    print("  BackwardMove %s at %5.1f s (about %4.0f m along the way)" % (state, t - begin, along(t)))
log = open(sys.argv[5], encoding="utf-8", errors="replace").read()
if sys.argv[3] != "FREE":
    print("guidance: %d phrases, %d new routes, %d turns passed, %d OutOfPath, %d BackwardMove, %s"
          % (log.count("play sounds begin"), log.count("rebuildPath done"), log.count("navi event:RotateEnd"),
             log.count("navi event:OutOfPath"), log.count("navi event:BackwardMove"),
             "arrived" if "navi event:ArriveLastPoint" in log else "no arrival"))
print("GPS: %d lines \"GPS receiver heard\", %d \"Reopening GPS...\", %d fixes kept out"
      % (log.count("GPS receiver heard"), log.count("Reopening GPS..."), log.count("GPS fix kept out")))
PY
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
