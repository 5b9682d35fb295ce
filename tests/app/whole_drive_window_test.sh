#!/usr/bin/env bash
# A whole drive on Monaco as a driver makes it, in a real window with a
# receiver on a pseudo-terminal (socat, linked as data/ports/COM7) and the
# sound recorded by SDL's disk audio driver:
#  1. the first-run configuration on a copy of the data folder: the main menu;
#     the GPS setup page's port search finds the receiver (no port set);
#  2. by taps only: Search, Streets, "grim" on the keyboard, the row "Rue
#     Grimaldi", the map centred there, "To": a route from the car;
#  3. by taps, the map's menu, Search, My lists, Routes: the route is saved
#     on the route files page and route-atlas prints it; the receiver,
#     standing about 1 km away, drives it (RMC, GGA, GSA, GSV, once a
#     second);
#  4. the car is followed, guidance speaks (the phrase ids the sound player
#     logs: every manoeuvre of the saved route in its order, each
#     roundabout with the exit the route takes; the disk audio only shows
#     sound was played), the turn arrow and street boxes show; on the way,
#     a tap beside the followed car sets a waypoint;
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

# The first run opens Monaco; the receiver is not configured. The stream
# plays a fix a second, and the sound plays at a sound card's pace: guidance
# fits its phrases to the time left to the turn, which a drive or a sound
# sped up would not show (the receiver's latency, 1.5 s by default, would
# scale with the interval).
interval=1.0
printf '<?xml version="1.0" encoding="utf-8"?>\n<config version="2">\n<var name="log_severity" value="3"/>\n<var name="auto_dn" value="0"/>\n<var name="atlas" value="maps\\monaco"/>\n<var name="Car/gps_latency" value="%s"/>\n<var name="Routing/routing_mode" value="0"/>\n</config>\n' \
  "$(python3 -c "print(1.5 * $interval)")" >"$work/data/config.xml"
# The disk driver writes a buffer of 1024 frames every 46 ms, as a device
# plays it.
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" SDL_DISKAUDIODELAY=46

# Rue Grimaldi (La Condamine) as the search finds it, and a start about 1 km
# away in Fontvieille, on Avenue des Guelfes, where the route starts: the
# shortest route (routing_mode 0; the fastest takes the boulevards) keeps to
# the one-way streets over two roundabouts below the Rock.
destination=43.73398,7.41856
start_at=43.72641,7.41610
# The waypoint is set 800 m along the route, past a turn, where the next
# one is 600 m away: the pages it takes hide the map and its guidance for a
# few seconds.
mark_at=800

socat_pid=
talker_pid=
# The log stays beside the screenshots, passed or failed.
trap '[ -n "$shots" ] && cp "$work/log.txt" "$work/route.txt" "$shots/" 2>/dev/null || true; kill $talker_pid $socat_pid 2>/dev/null || true; window_cleanup' EXIT
mkdir -p "$work/control"
plug_receiver 7
python3 "$here/nmea_route.py" "$work/gps" "$work/control" "$start_at" "$work/route.txt" --interval $interval --mark-at $mark_at &
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
  find_window
  expect_page menuMain
}
# Keys of the find keyboard (12 x 5 cells from y 196).
key() {
  local xs=(33 100 166 233 300 366 433 500 566 633 700 766)
  tap "${xs[$1]}" $((196 + 6 + $2 * 55 + 25))
}

# 1. The main menu; the GPS tile, its setup page, the port search.
launch 1
shot 1-menu
tap 660 170            # GPS
expect_page pageGPS
tap 715 31             # its setup page
expect_page pageSetupGPS
tap 195 428            # search the ports
wait_for_log "GPS search done. GPS found" 60
shot 1-gps-found
tap 356 348            # on
wait_for_log "GPS port set\|Enabling GPS" 20
tap 732 31             # ok
expect_page pageGPS
shot 1-gps-info now
xdotool key --window "$window" Escape
expect_page menuMain
shot 1-menu-again
[ "$(differing 1-menu 800x480+0+0 1-menu-again 800x480+0+0)" -lt 20000 ] || fail "Escape did not lead back to the main menu"

# 2. The street by taps, then "To".
tap 400 170            # Search
expect_page menuFind
tap 301 174            # Streets
expect_page pageFind
grim() { key 4 2; key 3 1; key 7 1; key 6 3; }
changes grim
shot 2-typed
tap 736 31             # OK
expect_page pageResults
shot 2-results
tap 300 272            # Rue Grimaldi
expect_page pageMap
shot 2-map
[ "$(convert "$work/2-map.png" -format %k info:)" -gt 50 ] || fail "the map page did not open"
tap 390 380            # To
wait_for_log "Route computed" 20
# Zoomed in to the streets by the wheel.
wheel 4 11 400 300
route_shown() {
  shot 2-route now
  [ "$(pixels_like 2-route 800x480+0+0 "#0040FF")" -gt 300 ]
}
wait_until 10 route_shown || true
shot 2-route
route=$(pixels_like 2-route 800x480+0+0 "#0040FF")
echo "route: $route pixels of the route colour"
[ "$route" -gt 300 ] || fail "no route was drawn"
# The route files page: the map's menu, its last item, the main menu's
# Search, the lists tab, Routes.
tap_changes 36 32
shot 3-map-menu
tap 138 270            # the main menu
expect_page menuMain
tap 400 170            # Search
expect_page menuFind
tap 704 31             # My lists
expect_page pageLists
tap 138 374            # Routes
expect_page pagePathList
shot 3-route-files
tap 140 422            # save
wait_for_log "Route saved as" 10
shot 3-route-saved
tap 32 31              # back to the lists
expect_page pageLists
tap 662 374            # the main menu
expect_page menuMain
tap 140 170            # the map
expect_page pageMap
saved=$(find "$work/data/maps/monaco" -maxdepth 1 -name '*.kvp' ! -name path.kvp | head -n 1)
[ -n "$saved" ] || fail "no route file was written"
"$route_atlas" "$work/data/maps/monaco" --path "$saved" --data "$work/data" --manoeuvres >"$work/route.txt" ||
  fail "route-atlas can't read the saved route"
head -n 1 "$work/route.txt"
grep "^manoeuvre" "$work/route.txt" | tr '\n' ' '; echo

# 3. REC, then the receiver drives; "GPS" makes the map follow the car.
tap_changes 763 78
shot 3-rec
touch "$work/control/go"
wait_progress driving 10
# "GPS": from then on the map moves with the car, polled until it has.
tap 164 323
shot 3-driving now
following() {
  shot 3-following now
  [ "$(differing 3-driving 800x300+0+100 3-following 800x300+0+100)" -gt 5000 ]
}
wait_until 10 following || true
[ "$(differing 3-driving 800x300+0+100 3-following 800x300+0+100)" -gt 5000 ] || fail "the map does not follow the car"
# 4. On the way: a waypoint by a tap just ahead of the followed car,
# "Point", the type chooser's "OK", the editor with the proposed name, "OK".
wait_progress marked 120
shot 4-before now
tap 400 300
popup_shown() {
  shot 4-popup now
  [ "$(differing 4-before 88x56+212+296 4-popup 88x56+212+296)" -gt 1000 ]
}
wait_until 5 popup_shown || true
tap 256 324
expect_page select_poi_type
tap 736 31
expect_page pageWPEdit
shot 4-waypoint
tap 758 31
expect_page pageMap
guidance_shown() {
  shot 4-guidance now
  arrow=$(pixels_like 4-guidance 80x80+16+80 "#FFFFFF")
  streets=$(differing 2-route 560x60+84+6 4-guidance 560x60+84+6)
  [ "$arrow" -gt 200 ] && [ "$streets" -gt 500 ]
}
wait_until 10 guidance_shown || true
echo "driving: $arrow white pixels in the turn arrow, $streets changed in the street boxes"
[ "$arrow" -gt 200 ] || fail "no turn arrow while driving"
[ "$streets" -gt 500 ] || fail "the street boxes do not name the streets driven"

# 5. Off the route by 200 m and back.
wait_progress detour 120
shot 5-detour now
wait_progress rejoined 90
wait_for_log "rebuildPath done" 20
shot 5-rebuilt
# 6. The arrival.
wait_progress arrived 180
shot 6-finish now
wait_for_log "navi event:ArriveLastPoint" 10
# The car stopped and the followed view with it.
shot 6-arrived

# The phrases as the sound player logged them (the disk audio driver's
# output mixes the samples and is only checked to be there and not silent).
python3 - "$work/log.txt" "$work/route.txt" <<'PY' || fail "the spoken phrases are wrong"
import re, sys
# The words that name each manoeuvre type: turns, slight turns, a U-turn,
# entering a roundabout, leaving it by its numbered exit (any other exit),
# the finish. Distances ("in", numbers, units), "then", the start and the
# new route's words are left out.
TYPES = {(5, 65): 1, (5, 64): 2, (60, 62, 63): 19, (61,): 4, (70,): 7, (85, 87): 17, (85, 88): 18, (89,): 21}
TYPES.update({(73 + n, 61): 7 + n for n in range(1, 10)})
ARRIVED, REBUILT, THEN = 0, 69, 58
def named(ids):
    out, words = [], []
    for i in ids + [THEN]:
        if i == THEN:
            if tuple(words) in TYPES:
                out.append(TYPES[tuple(words)])
            words = []
        elif not (i == 59 or 12 <= i <= 57 or 66 <= i <= 68 or i in (4, REBUILT)):
            words.append(i)
    return out
route = [(int(t), int(at)) for t, at in re.findall(r"manoeuvre (\d+) (?:\([^)]*\) )?at (\d+)", open(sys.argv[2]).read())]
expected = [t for t, at in route]
events, current = [], None
for line in open(sys.argv[1], encoding="utf-8", errors="replace"):
    if "play sounds begin" in line:
        current = []
    elif "play sounds end" in line and current is not None:
        events.append(("say", current)); current = None
    elif current is not None and re.search(r"sound \d+: phrase (\d+), ", line):
        current.append(int(re.search(r"sound \d+: phrase (\d+), ", line).group(1)))
    elif "navi event:" in line or "rebuildPath done" in line:
        events.append((line.split("ms: ", 1)[-1].strip(), None))
spoken = [ids for kind, ids in events if ids is not None]
phrases = [named(ids) for ids in spoken if ids != [73]]
heard = [t for p in phrases for t in p]
print("phrases: " + " | ".join(" ".join(map(str, ids)) for ids in spoken if ids != [73]))
ok = True
def check(cond, text):
    global ok
    if not cond:
        print("phrases: " + text); ok = False
# Every manoeuvre of the route in its order (a phrase names a manoeuvre and
# those close behind it, and warnings repeat, so the route's list is looked
# for in the order of what was heard). A ring's exit said first is a plain
# "exit"; a turn within 40 m of the one before may go unnamed: a phrase
# names it only when it can end before the first turn, and at 50 km/h no
# word fits between the two. A new route may replace what follows.
def same(t, want):
    return t == want or (t == 4 and 8 <= want <= 16)
matched = 0
for t in heard:
    while (matched < len(expected) and not same(t, expected[matched]) and 0 < matched and
           route[matched][1] - route[matched - 1][1] < 40 and matched + 1 < len(expected) and
           same(t, expected[matched + 1])):
        matched += 1
    if matched < len(expected) and same(t, expected[matched]):
        matched += 1
print("manoeuvres of the route: %s; named: %s" % (expected, heard))
check(matched == len(expected), "the manoeuvres from %s on were not named in order" % expected[matched:matched + 3])
# Each roundabout with the exit the route leaves it by, in one phrase, or
# its exit in the phrase of a route rebuilt inside the ring.
rebuilt = [named(ids) for ids in spoken if ids[:1] == [REBUILT]]
for entry, leave in zip(expected, expected[1:]):
    if entry == 19:
        check(any(p[k:k + 2] == [19, leave] for p in phrases for k in range(len(p))) or
              any(p[:1] in ([4], [leave]) for p in rebuilt),
              "the roundabout left by manoeuvre %d was not named with its exit" % leave)
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
# The waypoint lies beside the place the car was when it was set.
python3 - "$gpx" "$work/route.txt" "$mark_at" <<'PY' || { cat "$gpx"; fail "the GPX file lacks the waypoint set on the way"; }
import math, re, sys
points = [tuple(map(float, m)) for m in re.findall(r'<wpt lat="([-0-9.]+)" lon="([-0-9.]+)"', open(sys.argv[1]).read())]
route = [tuple(map(float, l.split(","))) for l in open(sys.argv[2]) if l[0].isdigit() and "," in l]
def metres(a, b):
    return math.hypot((b[0] - a[0]) * 111195, (b[1] - a[1]) * 111195 * math.cos(math.radians(a[0])))
left, stop = float(sys.argv[3]), route[-1]
for a, b in zip(route, route[1:]):
    if metres(a, b) >= left:
        f = left / metres(a, b)
        stop = (a[0] + (b[0] - a[0]) * f, a[1] + (b[1] - a[1]) * f)
        break
    left -= metres(a, b)
near = [round(metres(p, stop)) for p in points]
print("waypoints at %s m from where the car was" % near)
sys.exit(0 if len(points) == 1 and near[0] < 150 else 1)
PY
xmllint --noout --schema "$schema" "$gpx" || fail "the GPX file does not validate"
[ -s "$work/data/maps/monaco/path.kvp" ] || fail "the route was not stored"
[ -s "$work/data/maps/monaco/camera.kvc" ] || fail "the camera was not stored"

# The next start: the map where it was left, with the route. The receiver
# is switched off with the car: still sending, its fixes at the finish would
# move the followed view off the one restored (a car stopped dead from
# 50 km/h is shown where the latency puts it, some 20 m on, until then).
kill "$talker_pid" 2>/dev/null || true
wait "$talker_pid" 2>/dev/null || true
talker_pid=
launch 2
tap 140 170
expect_page pageMap
shot 7-restarted
# The tilted view of a followed car shifts whole rows of pixels for a few
# metres of difference: the pictures are compared at a tenth of their size.
for name in 6-arrived 7-restarted 4-guidance; do
  convert "$work/$name.png" -crop 800x300+0+100 +repage -resize 80x30! "$work/$name-small.png"
done
rmse() { { compare -metric RMSE "$work/$1-small.png" "$work/$2-small.png" null: 2>&1 || true; } | sed 's/.*(\(.*\))/\1/'; }
restored=$(rmse 6-arrived 7-restarted)
elsewhere=$(rmse 6-arrived 4-guidance)
route=$(pixels_like 7-restarted 800x480+0+0 "#0040FF")
echo "restart: the map differs from before the quit by $restored (from the view on the way by $elsewhere), $route pixels of the route colour"
[ "$route" -gt 300 ] || fail "the route was not restored"
python3 -c "import sys; sys.exit(0 if $restored < 0.16 < $elsewhere else 1)" || fail "the camera was not restored"
kill -TERM "$mirel_pid"
wait "$mirel_pid" || fail "exit code $? after the second quit request"
mirel_pid=
echo "the whole drive took $(( $(date +%s) - started )) s"
echo "PASS"
