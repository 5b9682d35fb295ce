#!/usr/bin/env bash
# Guidance as a driver hears it, at real speed: Monaco in a real window, a
# receiver on a pseudo-terminal (socat, linked as data/ports/COM7) sending a
# fix a second, and the sound played by SDL's disk audio driver at the pace
# of a sound card (a buffer of 1024 frames every 46 ms), so a phrase still
# playing keeps the next one out as it would in a car.
#  1. route-atlas computes the route (Fontvieille to Rue Grimaldi) into the
#     atlas folder, where the program finds it at its start;
#  2. the receiver stands at the route's start: guidance starts and names
#     the first turn with its distance;
#  3. it then drives the wrong way (to a point 300 m beside the route's
#     middle) and from there to the finish, at 50 km/h;
#  4. from the log of the sound player: the first rebuild of the route is
#     announced at once, "route rebuilt" only at a rebuild and twice at
#     most (the car follows no new route far before it is back on its way);
#     every turn the car passes was named in a phrase
#     begun before it; no phrase that chains turns or gives a distance plays
#     on past the first turn it names (a roundabout chained right behind
#     it: past the ring's entry); the first phrase's
#     distance is the true one rounded for speech, and no later one before
#     the first rebuild names a farther turn than there is; the arrival is
#     said once.
# Usage: guidance_drive_window_test.sh PROGRAM ROUTE_ATLAS [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
route_atlas=$2
shots=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/window_common.sh"
window_setup "$program" xwd convert xdotool socat python3
[ -n "$shots" ] && { rm -rf "$shots"; mkdir -p "$shots"; }
started=$(date +%s)

start_at=43.72641,7.41610
finish_at=43.73398,7.41856
printf '<?xml version="1.0" encoding="utf-8"?>\n<config version="2">\n<var name="log_severity" value="3"/>\n<var name="auto_dn" value="0"/>\n<var name="atlas" value="maps\\monaco"/>\n<var name="gps_port" value="7"/>\n<var name="gps_speed" value="4800"/>\n<var name="gps_enable" value="1"/>\n</config>\n' \
  >"$work/data/config.xml"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" SDL_DISKAUDIODELAY=46

# 1. The route, saved where the program loads it; the wrong way the car
# takes: to a point 300 m east of the route's middle, then to the finish.
atlas="$work/data/maps/monaco"
"$route_atlas" "$atlas" "$start_at" "$finish_at" --manoeuvres --save --data "$work/data" >"$work/route.txt" ||
  fail "route-atlas found no route"
[ -s "$atlas/path.kvp" ] || fail "route-atlas saved no route"
head -n 1 "$work/route.txt"
aside=$(python3 "$here/nmea_route.py" --aside "$work/route.txt" 300)
mkdir -p "$work/plain"
cp "$atlas/monaco.kvm" "$work/plain/"
"$route_atlas" "$work/plain" "$start_at" "$aside" >"$work/wrong1.txt" || fail "no way to $aside"
"$route_atlas" "$work/plain" "$aside" "$finish_at" >"$work/wrong2.txt" || fail "no way from $aside"
cat "$work/wrong1.txt" "$work/wrong2.txt" >"$work/driven.txt"

socat_pid=
talker_pid=
trap '[ -n "$shots" ] && cp "$work/log.txt" "$work/route.txt" "$shots/" 2>/dev/null || true; kill $talker_pid $socat_pid 2>/dev/null || true; window_cleanup' EXIT
mkdir -p "$work/control"
plug_receiver 7
# A fix a second, no detour of its own: the wrong way is the one it drives.
python3 "$here/nmea_route.py" "$work/gps" "$work/control" "$start_at" "$work/driven.txt" --interval 1.0 \
  --detour 0 &
talker_pid=$!
progress() { cat "$work/control/progress" 2>/dev/null || true; }

# 2. Standing at the start, the map shown from the main menu.
start
tap 140 170
expect_page pageMap
wait_for_log "navi event:Start" 60
shot 2-start
# 3. The drive.
touch "$work/control/go"
for _ in $(seq 600); do
  [ "$(progress)" = arrived ] && break
  kill -0 "$mirel_pid" 2>/dev/null || fail "the program ended during the drive"
  sleep 1
done
[ "$(progress)" = arrived ] || fail "the receiver did not reach the finish"
wait_for_log "navi event:ArriveLastPoint" 30
shot 3-arrived
stop

# 4. What was heard, and when.
python3 - "$work/log.txt" "$work/route.txt" <<'PY' || fail "guidance was not heard in time"
import re, sys
ARRIVED, START, THEN, IN, REBUILT = 0, 4, 58, 59, 69
BYTES_PER_SECOND = 22050 * 2 * 2
TYPES = {(5, 65): 1, (5, 64): 2, (60, 62, 63): 19, (61,): 4, (70,): 7, (85, 87): 17, (85, 88): 18, (89,): 21,
         (61, 64): 5, (61, 65): 6, (9,): 20}
TYPES.update({(73 + n, 61): 7 + n for n in range(1, 10)})

def named(ids):
    out, words = [], []
    for i in ids + [THEN]:
        if i == THEN:
            if tuple(words) in TYPES:
                out.append(TYPES[tuple(words)])
            words = []
        elif not (i == IN or 12 <= i <= 57 or 66 <= i <= 68 or i in (START, REBUILT)):
            words.append(i)
    return out

def distance(ids):
    """The first distance a phrase speaks, in metres; None without one."""
    if IN not in ids:
        return None
    total, value = 0, 0
    for i in ids[ids.index(IN) + 1:]:
        if 31 <= i <= 39: value += (i - 30) * 100
        elif 23 <= i <= 30: value += (i - 21) * 10
        elif 43 <= i <= 52: value += i - 33
        elif 12 <= i <= 20: value += i - 11
        elif i in (55, 56, 57): return total + value
        elif i in (66, 67, 68): total, value = value * 1000, 0
        else: break
    return total + value or None

def spoken(m):
    """A distance rounded as the voice rounds it."""
    if m < 105: return (m + 5) // 10 * 10
    if m < 1050: return (m + 50) // 100 * 100
    return (m + 500) // 1000 * 1000

now, phrases, events, current = 0, [], [], None
for line in open(sys.argv[1], encoding="utf-8", errors="replace"):
    m = re.match(r"(-?\d+)ms: (.*)", line.rstrip("\r\n"))
    if not m:
        continue
    now += int(m.group(1))
    text = m.group(2)
    if text.startswith("play sounds begin"):
        current = {"start": now, "ids": [], "bytes": 0}
    elif text == "play sounds end" and current is not None:
        phrases.append(current)
        current = None
    elif current is not None and re.match(r"sound \d+: phrase (\d+), (\d+) bytes", text):
        i, n = map(int, re.match(r"sound \d+: phrase (\d+), (\d+) bytes", text).groups())
        current["ids"].append(i)
        current["bytes"] += n
    elif text.startswith("navi event:") or text == "rebuildPath done":
        events.append((now, text))
phrases = [p for p in phrases if p["ids"] != [73]]
for p, q in zip(phrases, phrases[1:] + [None]):
    end = p["start"] + p["bytes"] * 1000 // BYTES_PER_SECOND
    p["cut"] = q is not None and q["start"] < end
    p["end"] = min(end, q["start"]) if p["cut"] else end
print("phrases: " + " | ".join("%d-%d %s%s" % (p["start"], p["end"], " ".join(map(str, p["ids"])),
                                               " (cut)" if p["cut"] else "") for p in phrases))
ok = True
def check(cond, text):
    global ok
    if not cond:
        print("heard: " + text)
        ok = False

truth = [(int(t), int(at)) for t, at in re.findall(r"manoeuvre (\d+) (?:\([^)]*\) )?at (\d+) m", open(sys.argv[2]).read())]
check(phrases and phrases[0]["ids"][:1] == [START], "guidance did not start with its word")
first = distance(phrases[0]["ids"]) if phrases else None
check(first is not None and any(first == spoken(truth[0][1] + d) for d in range(-15, 16)),
      "the first phrase says %s m, the first turn is %d m ahead" % (first, truth[0][1]))
rebuilds = [t for t, e in events if e == "rebuildPath done"]
check(rebuilds, "the wrong way was never rebuilt")
check(not rebuilds or any(p["ids"][:1] == [REBUILT] and rebuilds[0] <= p["start"] <= rebuilds[0] + 300
                          for p in phrases), "the first rebuild was not announced")
worded = [p["start"] for p in phrases if REBUILT in p["ids"]]
for t in worded:
    check(any(r <= t <= r + 300 for r in rebuilds), "route rebuilt said at %d ms, with no rebuild" % t)
check(len(worded) <= 2, "route rebuilt said %d times" % len(worded))
# Before the first rebuild the car drives off from the start towards the
# first turn: no phrase names a turn farther away than the first one is.
for p in phrases:
    if rebuilds and p["start"] >= rebuilds[0]:
        break
    d = distance(p["ids"])
    check(d is None or d <= spoken(truth[0][1] + 15), "%d ms: %s m before a turn %d m from the start"
          % (p["start"], d, truth[0][1]))
passes = [t for t, e in events if e == "navi event:RotateEnd"]
previous = before = 0
for t in passes:
    close = t - previous < 3000
    turned_back = any(0 <= t - r < 1500 for r in rebuilds)
    # Named since the last turn, or as the turn behind it (a roundabout's
    # exit named before the ring).
    said = [p for p in phrases if named(p["ids"]) and p["start"] < t and
            (p["start"] >= previous or (p["start"] >= before and len(named(p["ids"])) > 1))]
    check(said or close or turned_back, "the turn passed at %d ms was not named before it" % t)
    # A phrase that chains turns or gives a distance ends before the first
    # turn (within the second between two fixes); a roundabout's entry with
    # its exit, and a new route, are said whatever their length. A
    # roundabout right behind the first turn, which has no time for a phrase
    # of its own, ends before the car enters it (the next turn passed).
    after = next((u for u in passes if u > t), None)
    for p in phrases:
        n = named(p["ids"])
        timed = (len(n) > 1 or p["ids"][0] == IN) and n and n[0] not in (19, 3) and p["ids"][0] != REBUILT
        ring = len(n) > 1 and (n[1] in (19, 3, 4) or 8 <= n[1] <= 16)
        until = after if ring and after is not None else t
        if timed and previous <= p["start"] < t and until + 1000 < p["end"] and not p["cut"]:
            check(False, "the phrase at %d ms plays on past its first turn (%d ms)" % (p["start"], t))
    previous, before = t, previous
arrivals = [p for p in phrases if p["ids"][-1:] == [ARRIVED]]
check(len(arrivals) == 1, "the arrival was said %d times" % len(arrivals))
print("%d phrases, %d rebuilds, %d turns passed" % (len(phrases), len(rebuilds), len(passes)))
sys.exit(0 if ok else 1)
PY
[ -s "$work/audio.raw" ] || fail "the disk audio driver recorded nothing"
loud=$(tr -d '\000' <"$work/audio.raw" | wc -c)
echo "audio: $(stat -c %s "$work/audio.raw") bytes recorded, $loud not silent"
[ "$loud" -gt 10000 ] || fail "the recorded audio is silent"
echo "the drive took $(( $(date +%s) - started )) s"
echo "PASS"
