#!/usr/bin/env bash
# A whole drive on Monaco as a driver makes it, in a real window with a
# receiver on a pseudo-terminal (socat, linked as data/ports/COM7) and the
# sound recorded by SDL's disk audio driver:
#  1. the first-run configuration on a copy of the data folder: the main menu;
#     the GPS setup page's port search finds the receiver (no port set);
#  2. by taps only: Search, Streets, "grim" on the keyboard, the row "Rue
#     Grimaldi", the map centred there, "To": a route from the car;
#  3. the route is saved on the route files page and route-atlas prints it;
#     the receiver, standing about 1 km away, drives it (RMC, GGA, GSA, GSV,
#     a simulated second every 200 ms);
#  4. the car is followed, guidance speaks (the phrase ids the sound player
#     logs, against the saved route's manoeuvres, the roundabout's numbered
#     exit among them; the disk audio only shows sound was played), the turn
#     arrow and street boxes show;
#  5. halfway the receiver leaves the route by 200 m: the route is rebuilt
#     and guidance goes on;
#  6. the arrival is announced once and guidance stays off;
#  7. REC was on: the track file holds the drive; the waypoint set on the
#     way is in its GPX file (GPX 1.1 schema); SIGTERM: exit 0, config.xml
#     whole; the next start restores the camera and the route.
# Usage: whole_drive_window_test.sh PROGRAM ROUTE_ATLAS SCHEMA [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
route_atlas=$2
schema=$3
shots=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/window_common.sh"
window_setup "$program" xwd convert compare xdotool socat python3 xmllint
[ -n "$shots" ] && { rm -rf "$shots"; mkdir -p "$shots"; }
started=$(date +%s)

# The first run opens Monaco; the receiver is not configured.
printf '<?xml version="1.0" encoding="utf-8"?>\n<config version="2">\n<var name="log_severity" value="3"/>\n<var name="auto_dn" value="0"/>\n<var name="atlas" value="maps\\monaco"/>\n</config>\n' \
  >"$work/data/config.xml"
# The disk driver writes a buffer every 9 ms: sound plays about five times
# as fast as from a device, as the receiver drives.
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" SDL_DISKAUDIODELAY=9

# Rue Grimaldi (La Condamine) as the search finds it, and a start about 1 km
# away in Fontvieille: the route passes three roundabouts below the Rock.
destination=43.73398,7.41856
start_at=43.7270,7.4160
# The route files page saves the program's route for the receiver to drive
# (route-atlas prints it); its key "r" comes from the test's buttons file.
sed -i 's#</actions>#  <action name="pagePathList" key="114"/>\n</actions>#' "$work/data/skin/buttons.xml"

socat_pid=
talker_pid=
# The log stays beside the screenshots, passed or failed.
trap '[ -n "$shots" ] && cp "$work/log.txt" "$work/route.txt" "$shots/" 2>/dev/null; kill $talker_pid $socat_pid 2>/dev/null || true; window_cleanup' EXIT
mkdir -p "$work/data/ports" "$work/control"
socat pty,raw,echo=0,link="$work/data/ports/COM7" pty,raw,echo=0,link="$work/gps" 2>"$work/socat.log" &
socat_pid=$!
for _ in $(seq 50); do [ -e "$work/gps" ] && break; sleep 0.1; done
[ -e "$work/gps" ] || fail "socat made no pseudo-terminal"
python3 "$here/nmea_route.py" "$work/gps" "$work/control" "$start_at" "$work/route.txt" --interval 0.2 &
talker_pid=$!

progress() { cat "$work/control/progress" 2>/dev/null || true; }
wait_progress() {
  for _ in $(seq $(($2 * 10))); do
    [ "$(progress)" = "$1" ] && return 0
    sleep 0.1
  done
  fail "the receiver did not reach '$1' in $2 s (it is '$(progress)')"
}
launch() {
  (cd "$work" && exec ./mirel) >>"$work/stdout.txt" 2>&1 &
  mirel_pid=$!
  for _ in $(seq 600); do
    starts=$(grep -c "after initInterface" "$work/log.txt" 2>/dev/null) || starts=0
    [ "$starts" -ge "$1" ] && break
    kill -0 "$mirel_pid" 2>/dev/null || fail "the program ended during start-up"
    sleep 0.1
  done
  sleep 1
  window=$(xdotool search --pid "$mirel_pid" | head -n 1)
  [ -n "$window" ] || fail "no window"
}
shot() {
  sleep "${2:-1.2}"
  xwd -id "$window" -silent >"$work/$1.xwd"
  convert "xwd:$work/$1.xwd" -crop 800x480+0+0 +repage "$work/$1.png"
  [ -n "$shots" ] && cp "$work/$1.png" "$shots/"
  return 0
}
pixels_like() {
  convert "$work/$1.png" -crop "$2" +repage -fuzz 12% -fill black +opaque "$3" -fill white -opaque "$3" \
    -format "%[fx:int(mean*w*h+0.5)]" info:
}
tap() {
  xdotool mousemove --window "$window" "$1" "$2" click 1
  sleep "${3:-0.7}"
}
# Keys of the find keyboard (12 x 5 cells from y 196).
key() {
  local xs=(33 100 166 233 300 366 433 500 566 633 700 766)
  tap "${xs[$1]}" $((196 + 6 + $2 * 55 + 25))
}

# 1. The main menu; the GPS tile, its setup page, the port search.
launch 1
shot 1-menu
tap 660 170 1.5        # GPS
tap 715 31 1.5         # its setup page
tap 195 428            # search the ports
wait_for_log "GPS search done. GPS found" 60
shot 1-gps-found 0.5
tap 436 348 2          # on
tap 732 31 2           # ok
shot 1-gps-info
xdotool key --window "$window" Escape
sleep 1
shot 1-menu-again
[ "$(differing 1-menu 800x480+0+0 1-menu-again 800x480+0+0)" -lt 20000 ] || fail "Escape did not lead back to the main menu"

# 2. The street by taps, then "To".
tap 400 170            # Search
tap 301 174            # Streets
key 4 2; key 3 1; key 7 1; key 6 3   # g r i m
shot 2-typed
tap 736 31             # OK
shot 2-results
tap 300 272            # Rue Grimaldi
shot 2-map
[ "$(convert "$work/2-map.png" -format %k info:)" -gt 50 ] || fail "the map page did not open"
tap 390 380 2          # To
wait_for_log "Route computed" 20
# Zoomed in to the streets by the wheel.
for _ in $(seq 8); do xdotool mousemove --window "$window" 400 300 click 4; sleep 0.3; done
shot 2-route
route=$(pixels_like 2-route 800x480+0+0 "#0040FF")
echo "route: $route pixels of the route colour"
[ "$route" -gt 300 ] || fail "no route was drawn"
xdotool key --window "$window" r
sleep 1
tap 140 422            # save
wait_for_log "Route saved as" 10
tap 32 31 1            # back to the map
saved=$(find "$work/data/maps/monaco" -maxdepth 1 -name '*.kvp' ! -name path.kvp | head -n 1)
[ -n "$saved" ] || fail "no route file was written"
"$route_atlas" "$work/data/maps/monaco" --path "$saved" --data "$work/data" >"$work/route.txt" ||
  fail "route-atlas can't read the saved route"
head -n 1 "$work/route.txt"
grep "^manoeuvre" "$work/route.txt" | tr '\n' ' '; echo

# 3. REC, then the receiver drives.
tap 763 78 1
shot 3-rec
touch "$work/control/go"
wait_progress driving 10
shot 3-driving 3
# A waypoint on the way: a tap beside the car, "Point", the type chooser's
# "OK", the editor's "OK".
tap 400 200
tap 256 324
tap 364 444
shot 3-waypoint
tap 758 31 1
tap 164 323 1          # "GPS": the map follows the car again
shot 3-following 2
[ "$(differing 3-waypoint 800x300+0+100 3-following 800x300+0+100)" -gt 5000 ] || fail "the map does not follow the car"
shot 4-guidance 1
arrow=$(pixels_like 4-guidance 80x80+16+80 "#FFFFFF")
streets=$(differing 2-route 560x60+84+6 4-guidance 560x60+84+6)
echo "driving: $arrow white pixels in the turn arrow, $streets changed in the street boxes"

# 5. Off the route by 200 m and back.
wait_progress detour 60
shot 5-detour 2
wait_progress rejoined 60
wait_for_log "rebuildPath done" 20
shot 5-rebuilt
# 6. The arrival.
wait_progress arrived 90
shot 6-finish 0.5
wait_for_log "navi event:ArriveLastPoint" 10
sleep 4
shot 6-arrived

# The phrases as the sound player logged them (the disk audio driver's
# output mixes the samples and is only checked to be there and not silent).
python3 - "$work/log.txt" "$work/route.txt" <<'PY' || fail "the spoken phrases are wrong"
import re, sys
# The words that name each manoeuvre type: turns, keeping to a side, a
# U-turn, entering a roundabout and leaving it by its numbered exit.
WORDS = {1: [5, 65], 2: [5, 64], 3: [60, 62, 63], 7: [70], 17: [85, 87], 18: [85, 88], 19: [60, 62, 63]}
WORDS.update({t: [74 + t - 8, 61] for t in range(8, 17)})
ARRIVED, REBUILT = 0, 69
def manoeuvres(path, before=None):
    out = []
    for line in open(path):
        m = re.match(r"manoeuvre (\d+) at (\d+) m", line)
        if m and (before is None or int(m.group(2)) < before):
            out.append(int(m.group(1)))
    return out
expected = manoeuvres(sys.argv[2])
events, current = [], None
for line in open(sys.argv[1], encoding="utf-8", errors="replace"):
    if "play sounds begin" in line:
        current = []
    elif "play sounds end" in line and current is not None:
        events.append(("say", current)); current = None
    elif current is not None and re.search(r": \d+: (\d+)\[", line):
        current.append(int(re.search(r": \d+: (\d+)\[", line).group(1)))
    elif "navi event:" in line or "rebuildPath done" in line:
        events.append((line.split("ms: ", 1)[-1].strip(), None))
spoken = [ids for kind, ids in events if ids is not None]
for ids in spoken:
    print(" ".join(map(str, ids)))
ok = True
def check(cond, text):
    global ok
    if not cond:
        print("phrases: " + text); ok = False
# The route's manoeuvres against the phrases: the longest run of them, in
# their order, each found in a later phrase than the one before it (a
# phrase may name two, "then"). A manoeuvre a few metres before another is
# named with it or not at all, and a roundabout passed at drive speed may be
# named by its turns only, so a third may go unheard; the first roundabout's
# entry and numbered exit must be heard.
def found_in(t, ids, start):
    words = WORDS.get(t, [])
    for j in range(start, len(ids) - len(words) + 1):
        if words and ids[j:j + len(words)] == words:
            return j + len(words)
    return None
best = {(0, 0): []}   # (phrase, word) reached -> manoeuvres matched
for t in expected:
    nxt = dict(best)
    for (i, w), matched in best.items():
        for k in range(i, len(spoken)):
            end = found_in(t, spoken[k], w if k == i else 0)
            if end is not None:
                key = (k, end)
                if len(matched) + 1 > len(nxt.get(key, [])):
                    nxt[key] = matched + [t]
                break
    best = {}
    for key, matched in nxt.items():   # keep the longest per position
        if len(matched) > len(best.get(key, [])):
            best[key] = matched
heard = max(best.values(), key=len)
print("manoeuvres of the route: %s; heard in order: %s" % (expected, heard))
check(3 * len(heard) >= 2 * len(expected), "%d manoeuvres not announced in order" % (len(expected) - len(heard)))
ring = next((i for i, t in enumerate(expected) if 8 <= t <= 16), None)
exit_at = next((k for k in range(len(spoken)) if ring is not None and
                found_in(expected[ring], spoken[k], 0) is not None), None)
check(exit_at is not None and any(found_in(19, ids, 0) is not None for ids in spoken[:exit_at + 1]),
      "the first roundabout's entry and numbered exit were not announced")
check(any(any(74 <= ids[j] <= 82 and ids[j + 1] == 61 for j in range(len(ids) - 1)) for ids in spoken),
      "no roundabout exit named by its number")
check(any(e[0] == "rebuildPath done" for e in events), "the route was not rebuilt")
check(any(REBUILT in ids for ids in spoken), "the rebuilt route was not announced")
arrivals = [i for i, e in enumerate(events) if e[0] == "navi event:ArriveLastPoint"]
check(len(arrivals) == 1, "arrival %d times" % len(arrivals))
check(sum(ids == [ARRIVED] or ids[-1:] == [ARRIVED] for ids in spoken) == 1, "the arrival phrase not spoken once")
check(arrivals and not any(e[0] == "navi event:Start" or (e[1] and e[1] != [ARRIVED])
                           for e in events[arrivals[0] + 1:]),
      "guidance went on after the arrival")
sys.exit(0 if ok else 1)
PY
[ -s "$work/audio.raw" ] || fail "the disk audio driver recorded nothing"
loud=$(tr -d '\000' <"$work/audio.raw" | wc -c)
echo "audio: $(stat -c %s "$work/audio.raw") bytes recorded, $loud not silent"
[ "$loud" -gt 10000 ] || fail "the recorded audio is silent"

# 7. Quit: the track, the waypoint, config.xml.
kill -TERM "$mirel_pid"
wait "$mirel_pid" || fail "exit code $? after a quit request"
mirel_pid=
xmllint --noout "$work/data/config.xml" || fail "config.xml is not whole"
grep -q 'name="gps_port" value="7"' "$work/data/config.xml" || fail "the found port was not stored"
track=$(ls "$work"/tracks/*.kvt 2>/dev/null | head -n 1)
[ -n "$track" ] || fail "REC made no track file"
# The track runs from the start to the finish (the recorder keeps a point
# every few hundred metres, so the detour's far end may fall between two).
python3 - "$track" "$work/route.txt" "$start_at" <<'PY' || fail "the track does not hold the drive"
import math, struct, sys
data = open(sys.argv[1], "rb").read()
count = struct.unpack_from("<H", data, 6)[0]
points = [struct.unpack_from("<ff", data, 16 + 44 * i + 20)[::-1] for i in range((len(data) - 16) // 44)]
route = [tuple(map(float, l.split(","))) for l in open(sys.argv[2]) if l[0].isdigit() and "," in l]
start = tuple(map(float, sys.argv[3].split(",")))
def metres(a, b):
    return math.hypot((b[0] - a[0]) * 111195, (b[1] - a[1]) * 111195 * math.cos(math.radians(a[0])))
off = max(min(metres(p, r) for r in route) for p in points) if points else 0
print("track: %d points (header %d), from %.0f m of the start to %.0f m of the finish, %.0f m off the route at most"
      % (len(points), count, metres(points[0], start), metres(points[-1], route[-1]), off))
sys.exit(0 if count == len(points) >= 8 and metres(points[0], start) < 150 and
         metres(points[-1], route[-1]) < 100 else 1)
PY
gpx=$(ls "$work"/waypoints/*.gpx 2>/dev/null | head -n 1)
[ -n "$gpx" ] || fail "no GPX file was written"
grep -q "<wpt lat=\"43\.7" "$gpx" || { cat "$gpx"; fail "the GPX file lacks the waypoint"; }
xmllint --noout --schema "$schema" "$gpx" || fail "the GPX file does not validate"
[ -s "$work/data/maps/monaco/path.kvp" ] || fail "the route was not stored"
[ -s "$work/data/maps/monaco/camera.kvc" ] || fail "the camera was not stored"

# The next start: the map where it was left, with the route.
launch 2
tap 140 170 2
shot 7-restarted
restored=$(differing 6-arrived 800x300+0+100 7-restarted 800x300+0+100)
route=$(pixels_like 7-restarted 800x480+0+0 "#0040FF")
echo "restart: $restored pixels of the map differ from before the quit, $route of the route colour"
[ "$route" -gt 300 ] || fail "the route was not restored"
[ "$restored" -lt 60000 ] || fail "the camera was not restored"
kill -TERM "$mirel_pid"
wait "$mirel_pid" || fail "exit code $? after the second quit request"
mirel_pid=
echo "the whole drive took $(( $(date +%s) - started )) s"
echo "PASS"
