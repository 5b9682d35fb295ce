#!/usr/bin/env bash
# A recording that a kill interrupts: the program runs under Xvfb with a GPS
# receiver on a pseudo-terminal (socat, linked as data/ports/COM3), its map
# page's REC starts a track, the receiver is unplugged and plugged in again
# (no record of the lost receiver is written), and the program is killed
# (-9) once the points after it are on the disk, within 5 s. Started again, it lists the track: the header the kill left is
# repaired (count, colour, line size, shown) and the log says so; the map
# brought there by the coordinate page draws the track, and hiding it in the
# track list takes it off the map.
# Usage: recording_window_test.sh PROGRAM [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
shots=${2:-}
source "$(dirname "$0")/window_common.sh"
shot_prefix=recording_
window_setup "$program" xdotool socat python3 xwd convert compare
[ -n "$shots" ] && mkdir -p "$shots"

printf '<?xml version="1.0" encoding="utf-8"?>\n<config version="2">\n<var name="log_severity" value="3"/>\n<var name="gps_port" value="3"/>\n<var name="gps_speed" value="4800"/>\n<var name="gps_enable" value="1"/>\n<var name="tracker_state" value="2"/>\n<var name="atlas" value="maps\\monaco"/>\n<var name="use_tibo_buttons" value="1"/>\n<var name="tracker_size" value="8"/>\n</config>\n' \
  >"$work/data/config.xml"
# The key "t" opens the track list; repaired tracks have line size 8 (17
# pixels wide), so that the map shows them beside the street labels.
sed -i 's|</actions>|  <action name="pageTrackList" key="116"/>\n</actions>|' "$work/data/skin/buttons.xml"
mkdir -p "$work/data/ports"
socat_pid=
talker_pid=
trap 'kill $talker_pid $socat_pid 2>/dev/null || true; window_cleanup' EXIT

# The receiver: a pseudo-terminal pair, the program's end linked as COM3, and
# five fixes a second written into the other end, moving east across Monaco.
plug() {
  plug_receiver 3
  python3 - "$work/gps" "$1" "$(dirname "$0")/../../tools" <<'PY' &
import sys
path, start = sys.argv[1], int(sys.argv[2])
sys.path.insert(0, sys.argv[3])
from nmea_feed import pause
def line(body):
    c = 0
    for ch in body.encode():
        c ^= ch
    return "$%s*%02X\r\n" % (body, c)
with open(path, "w") as out:
    for i in range(start, start + 100000):
        lon = 7.4200 + i * 0.00002
        minutes = (lon - 7) * 60
        t = "%02d%02d%02d.%d" % (10, (i // 50) % 60, (i // 5) % 60, (i % 5) * 2)
        pos = "4344.3000,N,%03d%07.4f,E" % (7, minutes)
        out.write(line("GPGGA,%s,%s,1,08,1.0,50.0,M,48.0,M,," % (t, pos)))
        out.write(line("GPRMC,%s,A,%s,3.0,90.0,071226,,,A" % (t, pos)))
        out.flush()
        pause(0.2)
PY
  talker_pid=$!
}
unplug() {
  kill "$talker_pid" "$socat_pid" 2>/dev/null || true
  wait "$talker_pid" "$socat_pid" 2>/dev/null || true
  talker_pid= socat_pid=
}

start() {
  (cd "$work" && exec ./mirel) >>"$work/stdout.txt" 2>&1 &
  mirel_pid=$!
  for _ in $(seq 600); do
    starts=$(grep -c "after initInterface" "$work/log.txt" 2>/dev/null) || starts=0
    [ "$starts" -ge "$1" ] && return 0
    kill -0 "$mirel_pid" 2>/dev/null || fail "the program ended during start-up"
    sleep 0.1
  done
  fail "no start after 60 s"
}

plug 0
start 1
find_window
start_recording

# Two seconds of recording, unplugged for two seconds, then the receiver is
# back.
sleep 2
unplug
sleep 2
plug 100

# Points reach the disk again once the receiver is back; from then on a
# write follows within 5 s (a crash loses no more).
grows "$track" 45 || fail "nothing of the recording reached the disk in 45 s after the receiver came back"
# Four such writes: enough of the track to be seen on the map later.
for _ in 1 2 3 4; do
  grows "$track" 8 || fail "the recording waited more than 8 s between two writes"
done
size=$(stat -c %s "$track")
kill -9 "$mirel_pid"
wait "$mirel_pid" 2>/dev/null || true
mirel_pid=
unplug
opened=$(grep -c "Port .*COM3 was opened" "$work/log.txt") || opened=0
[ "$opened" -ge 2 ] || fail "the receiver was not opened again after it came back"
count=$(od -An -tu2 -j6 -N2 "$track" | tr -d ' ')
[ "$count" -eq 0 ] || fail "the killed recording's header holds a count ($count)"
# Losing the receiver wrote no record of its own (time 00:00:00 at 0, 0).
python3 - "$track" <<'PY' || fail "the lost receiver left a record at 0, 0"
import struct, sys
data = open(sys.argv[1], "rb").read()[16:]
for i in range(len(data) // 44):
    lon, lat = struct.unpack_from("<ff", data, i * 44 + 20)
    if lon == 0 and lat == 0:
        sys.exit(1)
PY

start 2
points=$(( (size - 16) / 44 ))
grep -q "$(basename "$track")' was not closed: $points points kept" "$work/log.txt" ||
  fail "the restart did not repair the track ($points points): $(grep -i track "$work/log.txt" | tail -n 3)"
count=$(od -An -tu2 -j6 -N2 "$track" | tr -d ' ')
shown=$(od -An -tu1 -j14 -N1 "$track" | tr -d ' ')
line=$(od -An -tu2 -j12 -N2 "$track" | tr -d ' ')
echo "the killed recording: $points points, header count $count, shown $shown, line size $line"
[ "$count" -eq "$points" ] && [ "$shown" -ne 0 ] && [ "$line" -eq 8 ] || fail "the header was not repaired"

# The coordinate page's digit keys, one row from x 8.
digits() {
  local text=$1 i d
  for ((i = 0; i < ${#text}; i++)); do
    d=${text:i:1}
    tap $((8 + (d == 0 ? 9 : d - 1) * 79 + 36)) 284
  done
}
# The map on the track's first points, 43 deg 44'18" N 7 deg 25'14" E,
# through the coordinate page; its pop-up closed ("Where", then "OK").
find_window
expect_page menuMain
tap 400 170
expect_page menuFind
tap 495 374
expect_page pageSearchCoords
tap 242 111; digits 43; tap 480 111; digits 44; tap 690 111; digits 18
tap 242 191; digits 7; tap 480 191; digits 25; tap 690 191; digits 14
tap 736 31
expect_page pageMap
tap_changes 544 324
tap_changes 400 322
wheel 4 10 400 320
shot track_shown
# Hidden in the track list (the first row's check), the track leaves the map.
xdotool key --window "$window" t
expect_page pageTrackList
shot track_list
tap_changes 36 100
tap 32 31
expect_page pageMap
shot track_hidden
drawn=$(differing track_shown 560x200+120+220 track_hidden 560x200+120+220)
echo "the repaired track: $drawn pixels go with it"
[ "$drawn" -gt 200 ] || fail "the repaired track is not drawn on the map"
kill -TERM "$mirel_pid"
wait "$mirel_pid" || fail "exit code $? after a quit request"
mirel_pid=
echo "PASS"
