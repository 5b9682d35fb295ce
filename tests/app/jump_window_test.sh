#!/usr/bin/env bash
# A receiver that jumps once: the program runs under Xvfb with a GPS
# receiver on a pseudo-terminal (socat, linked as data/ports/COM3) that
# drives east across Monaco at five fixes a second, and records a track.
# Once the track is on the disk the receiver sends one checksummed GGA+RMC
# pair 1000 km north, then goes on as before. The track the program closes
# at SIGTERM holds the points before and after the jump and none far away;
# the log says once that a fix was kept out.
# Usage: jump_window_test.sh PROGRAM
set -euo pipefail
program=$1
shots=
source "$(dirname "$0")/window_common.sh"
window_setup "$program" xdotool socat python3

printf '<?xml version="1.0" encoding="utf-8"?>\n<config version="2">\n<var name="log_severity" value="3"/>\n<var name="gps_port" value="3"/>\n<var name="gps_speed" value="4800"/>\n<var name="gps_enable" value="1"/>\n<var name="tracker_state" value="2"/>\n<var name="atlas" value="maps\\monaco"/>\n</config>\n' \
  >"$work/data/config.xml"
mkdir -p "$work/data/ports"
socat_pid=
talker_pid=
trap 'kill $talker_pid $socat_pid 2>/dev/null || true; window_cleanup' EXIT

plug_receiver 3
# The wild pair goes out once the file "jump" exists; "jumped" says it went.
python3 - "$work/gps" "$work" "$(dirname "$0")/../../tools" <<'PY' &
import os, sys
path, control = sys.argv[1], sys.argv[2]
sys.path.insert(0, sys.argv[3])
from nmea_feed import pause, sentence as line
def pair(i, lat, lon):
    t = "%02d%02d%02d.%d" % (10, (i // 300) % 60, (i // 5) % 60, (i % 5) * 2)
    pos = "%02d%07.4f,N,%03d%07.4f,E" % (int(lat), (lat - int(lat)) * 60, int(lon), (lon - int(lon)) * 60)
    return line("GPGGA,%s,%s,1,08,1.0,50.0,M,48.0,M,," % (t, pos)) + \
        line("GPRMC,%s,A,%s,3.0,90.0,071226,,,A" % (t, pos))
jumped = False
with open(path, "w") as out:
    for i in range(100000):
        lat, lon = 43.7383, 7.4200 + i * 0.00002
        if not jumped and os.path.exists(control + "/jump"):
            out.write(pair(i, lat + 9.0, lon))
            out.flush()
            open(control + "/jumped", "w").close()
            jumped = True
            pause(0.2)
            continue
        out.write(pair(i, lat, lon))
        out.flush()
        pause(0.2)
PY
talker_pid=$!

(cd "$work" && exec ./mirel) >"$work/stdout.txt" 2>&1 &
mirel_pid=$!
for _ in $(seq 600); do
  grep -q "after initInterface" "$work/log.txt" 2>/dev/null && break
  kill -0 "$mirel_pid" 2>/dev/null || fail "the program ended during start-up"
  sleep 0.1
done
find_window

start_recording
grows "$track" 45 || fail "nothing of the recording reached the disk"
touch "$work/jump"
for _ in $(seq 50); do [ -e "$work/jumped" ] && break; sleep 0.1; done
[ -e "$work/jumped" ] || fail "the receiver did not jump"
# Two writes after the jump: the fixes around it are on the disk.
grows "$track" 10 || fail "the recording stopped after the jump"
grows "$track" 10 || fail "the recording stopped after the jump"
kill -TERM "$mirel_pid"
wait "$mirel_pid" || fail "exit code $? after a quit request"
mirel_pid=
python3 - "$track" <<'PY' || fail "the track holds a far point"
import math, struct, sys
data = open(sys.argv[1], "rb").read()[16:]
points = [struct.unpack_from("<ff", data, i * 44 + 20) for i in range(len(data) // 44)]
def km(lon, lat):
    return math.hypot((lon - 7.42) * 111.2 * math.cos(math.radians(43.74)), (lat - 43.7383) * 111.2)
far = [p for p in points if km(*p) > 5]
print("the track: %d points, %d far away, the farthest %.1f km" % (len(points), len(far), max(km(*p) for p in points)))
sys.exit(1 if far or len(points) < 20 else 0)
PY
kept=$(grep -c "GPS fix kept out: " "$work/log.txt") || kept=0
[ "$kept" -eq 1 ] || fail "the log names $kept fixes kept out, not 1"
grep "GPS fix kept out: " "$work/log.txt"
echo "PASS"
