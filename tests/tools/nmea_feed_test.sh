#!/usr/bin/env bash
# The receiver stand-in of the README (tools/nmea_feed.py): a recording's
# bursts and waits as its times give them; what it writes is the recording
# (comments left out) and reads as the same fixes; a route is driven at the
# speed asked, once a second; and the README's recipe, a pseudo-terminal
# pair of socat, carries a whole log to the reading end.
# Usage: nmea_feed_test.sh SOURCE_FOLDER BUILD_FOLDER
set -euo pipefail
source_dir=$1
build=$2
feed=$source_dir/tools/nmea_feed.py
work=$(mktemp -d)
socat_pid=
trap '[ -n "$socat_pid" ] && kill $socat_pid 2>/dev/null || true; rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# A recording made with the feeder's own sentence writer: a line without a
# time before the first fix, two sentences of one second, a GSA inside a
# second, a GGA half a second on, a jump to the end of the day (taken as one
# second) and a GLL, whose time is its fifth field.
python3 - "$source_dir/tools" "$work/rec.nmea" <<'EOF'
import sys
sys.path.insert(0, sys.argv[1])
from nmea_feed import sentence
lines = ["# a receiver's notice",
         sentence("GPGSV,1,1,00"),
         sentence("GPRMC,100000.00,A,4344.3040,N,00725.4760,E,10.0,90.0,071226,,,A"),
         sentence("GPGGA,100000.00,4344.3040,N,00725.4760,E,1,08,0.9,40.0,M,48.0,M,,"),
         sentence("GPRMC,100001.00,A,4344.3040,N,00725.4860,E,10.0,90.0,071226,,,A"),
         sentence("GPGSA,A,3,02,05,,,,,,,,,,,1.6,0.9,1.3"),
         sentence("GPGGA,100001.50,4344.3040,N,00725.4860,E,1,08,0.9,40.0,M,48.0,M,,"),
         sentence("GPRMC,235959.00,A,4344.3040,N,00725.4960,E,10.0,90.0,071226,,,A"),
         sentence("GPGLL,4344.3040,N,00725.4960,E,235959.00,A,A")]
open(sys.argv[2], "w", newline="").write("".join(l if l.endswith("\n") else l + "\r\n" for l in lines))
EOF
# The waits printed are those waited: the recording's own, divided by the
# rate; none at rate 0.
for row in $'1\t0.000 3 1.000 2 0.500 1 1.000 2' $'2\t0.000 3 0.500 2 0.250 1 0.500 2' \
  $'0\t0.000 3 0.000 2 0.000 1 0.000 2'; do
  rate=${row%%$'\t'*}
  expected=${row#*$'\t'}
  got=$(python3 "$feed" unused "$work/rec.nmea" --dry-run --rate "$rate" | tr '\t\n' '  ')
  [ "$got" = "$expected " ] || fail "at rate $rate the recording's bursts are '$got', not '$expected'"
done

# A reader that stops early (the README's | head -3) ends the dry run
# quietly: no traceback, status 0. Its end of the pipe is closed before the
# feeder writes, so the first line finds it gone.
said=$(python3 - "$feed" "$work/rec.nmea" <<'EOF'
import os, subprocess, sys
read, write = os.pipe()
os.close(read)
run = subprocess.run([sys.executable, sys.argv[1], "unused", sys.argv[2], "--dry-run"], stdout=write,
                     stderr=subprocess.PIPE, text=True)
print("%d %s" % (run.returncode, run.stderr.strip()))
EOF
)
[ "$said" = "0 " ] || fail "a dry run cut short by its reader ends with '$said', not quietly"

# A wrong option is named in one line under the usage, exit status 2.
printf 'a route\n43.7384,7.4246\n' >"$work/one.txt"
for row in "--hz 21@argument --hz: 21 is not 1 to 20" "--hz 0@argument --hz: 0 is not 1 to 20" \
  "--receiver foo@argument --receiver: invalid choice: 'foo' (choose from 'rmc-first', 'gga-first', 'gga-only', 'empty-course', 'empty-speed-course')" \
  "--speed 0@argument --speed: 0 is not above 0" "--rate x@argument --rate: x is not a number" \
  "--scatter -1@argument --scatter: -1 is not 0 or more" "$work/rec.nmea@give either a RECORDING or --route ROUTE"; do
  status=0
  # shellcheck disable=SC2086 # the row's options are words
  python3 "$feed" unused --route "$work/one.txt" --dry-run ${row%%@*} >"$work/out.txt" 2>"$work/err.txt" || status=$?
  said="nmea_feed.py: error: ${row#*@}"
  [ "$status" = 2 ] && [ "$(tail -n 1 "$work/err.txt")" = "$said" ] && [ "$(wc -l <"$work/err.txt")" -le 4 ] ||
    fail "${row%%@*}: status $status, said: $(cat "$work/err.txt")"
done

# The feeder's pause ends at another hour, every clock shifted as a plain
# faketime shifts them or the monotonic one left real.
if command -v faketime >/dev/null; then
  for real in 0 1; do
    FAKETIME_DONT_FAKE_MONOTONIC=$real timeout 10 faketime '2026-12-09 14:20:00' \
      python3 -c "import sys; sys.path.insert(0, sys.argv[1]); from nmea_feed import pause; pause(0.2)" \
      "$source_dir/tools" || fail "the pause at another hour (monotonic clock left real: $real) ended with $?"
  done
fi

# Every real log, sent at once into a file, is the log without its
# comments, and the positioning system reads the same fixes from both.
for log in "$source_dir"/tests/data/nmea/*.log; do
  python3 "$feed" "$work/out.nmea" "$log" --rate 0
  grep -v '^#' "$log" | tr -d '\r' | grep -v '^$' >"$work/want.txt" || true
  tr -d '\r' <"$work/out.nmea" >"$work/sent.txt"
  cmp -s "$work/want.txt" "$work/sent.txt" || fail "$(basename "$log"): the feeder changed the sentences"
  cmp -s <("$build/tools/nmea-replay" "$log") <("$build/tools/nmea-replay" "$work/out.nmea") ||
    fail "$(basename "$log"): the fixes read from the feeder's stream differ"
done

# drive FILE EPOCHS OPTION...: the feeder drives the route into FILE as fast
# as it goes (it stands at the end for ever) until EPOCHS epochs are in.
drive() {
  local file=$1 epochs=$2 feeder
  shift 2
  python3 "$feed" "$file" --route "$work/route.txt" --rate 0 "$@" &
  feeder=$!
  for _ in $(seq 50); do
    [ "$(grep -c GGA "$file" 2>/dev/null || echo 0)" -ge "$epochs" ] && break
    sleep 0.1
  done
  kill $feeder 2>/dev/null || true
}

# A route of 100 m due east driven at 36 km/h: a fix a second, 10 m apart,
# at 10 m/s, standing at the end.
printf 'a route\n43.7384,7.4246\n43.7384,7.42584\n' >"$work/route.txt"
drive "$work/drive.nmea" 14 --speed 36
"$build/tools/nmea-replay" "$work/drive.nmea" | awk -F'\t' '$2 == 1' >"$work/fixes.txt"
# (awk reads "9.972" by the locale's decimal point: under de_DE it is 9.)
moving=$(LC_ALL=C awk -F'\t' '$6 > 9.9 && $6 < 10.1' "$work/fixes.txt" | wc -l)
standing=$(LC_ALL=C awk -F'\t' '$6 == 0' "$work/fixes.txt" | wc -l)
[ "$moving" -ge 10 ] && [ "$moving" -le 11 ] || fail "$moving fixes at 10 m/s on 100 m, not 10 or 11"
[ "$standing" -ge 3 ] || fail "the car does not stand at the route's end"
python3 "$feed" unused --route "$work/route.txt" --speed 36 --dry-run | cut -f1 | sort -u | tr '\n' ' ' |
  grep -qx '0.000 1.000 ' || fail "the route's fixes are not a second apart"

# Ten epochs a second from a receiver of RMC with empty speed and course
# fields: 0.1 s apart, a metre apart, the speed of 10 m/s taken from them
# once the way is beyond what a receiver's scatter makes (about three
# seconds: this receiver was never seen standing).
python3 "$feed" unused --route "$work/route.txt" --speed 36 --hz 10 --dry-run | cut -f1 | sort -u | tr '\n' ' ' |
  grep -qx '0.000 0.100 ' || fail "ten epochs a second are not 0.1 s apart"
drive "$work/drive10.nmea" 110 --speed 36 --hz 10 --receiver empty-speed-course
[ "$(grep RMC "$work/drive10.nmea" | grep -vc ',A,[0-9.]*,N,[0-9.]*,E,,,' || true)" -eq 0 ] ||
  fail "an RMC with a speed or a course"
"$build/tools/nmea-replay" "$work/drive10.nmea" | awk -F'\t' '$2 == 1 && ++n <= 100' >"$work/fixes10.txt"
moving=$(LC_ALL=C awk -F'\t' '$6 > 9.5 && $6 < 10.5 && $7 > 89 && $7 < 91' "$work/fixes10.txt" | wc -l)
[ "$moving" -ge 65 ] || fail "$moving of the first 100 fixes at 10 m/s due east, not 65 or more"

# Scatter: the same seed the same stream, another another; the fixes of a
# standing receiver wander by about the standard deviation asked, its GGA
# says an HDOP to match.
python3 - "$source_dir/tools" "$work/route.txt" <<'PY' || fail "the scatter"
import itertools, math, sys
sys.path.insert(0, sys.argv[1])
from nmea_feed import Scatter, metres, route_bursts
def stream(seed, count):
    return [b[1][0] for b in itertools.islice(route_bursts(sys.argv[2], 36, True, scatter=Scatter(8, seed)), count)]
assert stream(3, 30) == stream(3, 30) and stream(3, 30) != stream(4, 30)
assert ",1,08,2.3,40.0," in stream(3, 1)[0]
east = []
for epoch in stream(5, 3000)[20:]:
    f = epoch.split(",")
    lat = int(f[3][:2]) + float(f[3][2:]) / 60
    lon = int(f[5][:3]) + float(f[5][3:]) / 60
    east.append(metres((43.7384, 7.42584), (lat, lon))[0])
mean = sum(east) / len(east)
sd = math.sqrt(sum((e - mean) ** 2 for e in east) / len(east))
assert 4 < sd < 12, sd
# Drawn afresh at each fix, the scatter jumps by about its deviation from
# one fix to the next (wandering, by a few per cent of it); the HDOP the
# GGA claims is the one asked.
def steps(scatter):
    e = [metres((43.7384, 7.42584), (int(f[3][:2]) + float(f[3][2:]) / 60, int(f[5][:3]) + float(f[5][3:]) / 60))[0]
         for f in (epoch.split(",") for epoch in stream_of(scatter, 600)[20:])]
    return math.sqrt(sum((a - b) ** 2 for a, b in zip(e, e[1:])) / (len(e) - 1))
def stream_of(scatter, count):
    return [b[1][0] for b in itertools.islice(route_bursts(sys.argv[2], 36, True, scatter=scatter), count)]
assert 3.5 < steps(Scatter(3.5, 5, fresh=True)) < 6.5
assert steps(Scatter(3.5, 5)) < 1.0
assert ",1,08,0.9,40.0," in stream_of(Scatter(8, 3, hdop=0.9), 1)[0]
PY

# A silent tunnel: from 30 m along the route (the fourth second at 36 km/h)
# three seconds without a sentence, a second apart all the same.
python3 "$feed" unused --route "$work/route.txt" --speed 36 --silent-at 30 --silent-for 3 --dry-run |
  sed -n 1,8p | tr '\t\n' ',,' | grep -qx '0.000,5,1.000,5,1.000,5,1.000,0,1.000,0,1.000,0,1.000,5,1.000,5,' ||
  fail "the silent tunnel's bursts"

# The README's recipe: socat's pair, the program's end linked as a port,
# the feeder on the other end at twenty times the pace.
if command -v socat >/dev/null; then
  socat pty,raw,echo=0,link="$work/COM7" pty,raw,echo=0,link="$work/gps" 2>"$work/socat.log" &
  socat_pid=$!
  for _ in $(seq 50); do [ -e "$work/gps" ] && [ -e "$work/COM7" ] && break; sleep 0.1; done
  log=$source_dir/tests/data/nmea/tomtom-mkII.log
  timeout 20 cat "$work/COM7" >"$work/received.nmea" &
  reader=$!
  python3 "$feed" "$work/gps" "$log" --rate 20
  want=$(grep -c '^\$' "$log")
  for _ in $(seq 50); do
    [ "$(grep -c '^\$' "$work/received.nmea")" -ge "$want" ] && break
    sleep 0.1
  done
  kill $reader 2>/dev/null || true
  [ "$(grep -c '^\$' "$work/received.nmea")" -eq "$want" ] || fail "the port received $(grep -c '^\$' "$work/received.nmea") of $want sentences"
fi

[ $failures -eq 0 ] || exit 1
echo "PASS"
