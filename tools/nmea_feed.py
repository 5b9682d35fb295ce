#!/usr/bin/env python3
"""A GPS receiver for the program: writes NMEA into a device (the second end
of a pseudo-terminal pair whose first end the program opens as its port) at
the pace a receiver sends it.

    nmea_feed.py DEVICE RECORDING [--rate X] [--loop]
    nmea_feed.py DEVICE --route ROUTE [--speed KMH] [--receiver KIND] [--hz N]
                 [--scatter METRES] [--seed S] [--fresh] [--hdop H]
                 [--silent-at METRES --silent-for SECONDS]
    ... [--dry-run]

RECORDING is an NMEA log (one sentence a line; lines starting with '#' are
comments). Its sentences are sent in bursts, a burst a time of day: the
sentences that carry the time (RMC, GGA, GLL, GNS, ZDA) start a new burst
when their time differs from the last one's, and the feeder waits the
difference between the two times before sending it, divided by the rate (2
plays twice as fast; 0 sends everything at once). A gap that is not 0.05 to
10 seconds long (a jump in the recording, a new day, a receiver without
times) counts as one second. --loop plays the log again and again.

ROUTE holds LAT,LON lines (route-atlas prints them; other lines are passed
over): a receiver drives it at KMH (30 unless given) and sends RMC, GGA, GSA
and GSV N times a second (once unless given; receivers send 1 to 20), then
stands at its end. KIND is the receiver's way of sending them: rmc-first
(RMC before GGA, the default), gga-first (GGA before RMC), gga-only (no RMC:
no speed, no course), empty-course (RMC with an empty course field) or
empty-speed-course (RMC with empty speed and course fields). With
--scatter its positions wander slowly about the true ones (on each axis a
Gauss-Markov process of that standard deviation and a 30 s correlation
time, drawn from the seed S, 0 unless given), and its GGA says an HDOP to
match (the radial standard deviation over a UERE of 5 m, 0.9 at least).
With --fresh the scatter is drawn afresh at each fix instead (as some
receivers' is); --hdop H has the GGA claim H whatever the scatter (a street
canyon's receiver says 0.9 while its fixes wander by 8 m). With --silent-at
the receiver falls silent METRES along the route (in a tunnel, without a
fix, as many do: no sentence at all) for --silent-for SECONDS (10 unless
given) while the car drives on, then speaks again where the car is.

--dry-run writes no device and waits for nothing: it prints one line a burst,
the seconds the feeder would wait before it at the rate given (0 with
--rate 0) and the number of its sentences, tab-separated.
"""
import argparse
import math
import os
import random
import select
import sys

EARTH = 6371000.0
TIMED = ("RMC", "GGA", "GLL", "GNS", "ZDA")


def sentence(body):
    check = 0
    for ch in body.encode():
        check ^= ch
    return "$%s*%02X\r\n" % (body, check)


def degrees(value, hemispheres, width):
    hemisphere = hemispheres[0] if value >= 0 else hemispheres[1]
    value = abs(value)
    whole = int(value)
    minutes = (value - whole) * 60
    return "%0*d%07.4f,%s" % (width, whole, minutes, hemisphere)


# The orders and fields of the receivers the program meets: RMC before GGA
# (most), GGA before RMC (many USB receivers, and tests/data's BU-353 logs),
# GGA alone (no speed, no course), and RMC whose course field is empty.
RECEIVERS = ("rmc-first", "gga-first", "gga-only", "empty-course", "empty-speed-course")


def fix(second, lat, lon, knots, course, receiver="rmc-first", hdop=0.9):
    """One epoch of a receiver with a fix: RMC, GGA, GSA and two GSV in the
    receiver's order. `second` counts from 10:00:00 and may have a fraction
    (a receiver sending more than once a second)."""
    hundredths_all = int(round(second * 100))
    whole, hundredths = hundredths_all // 100, hundredths_all % 100
    t = "%02d%02d%02d.%02d" % (10 + whole // 3600 % 10, whole // 60 % 60, whole % 60, hundredths)
    pos = degrees(lat, "NS", 2) + "," + degrees(lon, "EW", 3)
    heading = "" if receiver in ("empty-course", "empty-speed-course") else "%.1f" % course
    speed = "" if receiver == "empty-speed-course" else "%.1f" % knots
    rmc = sentence("GPRMC,%s,A,%s,%s,%s,071226,,,A" % (t, pos, speed, heading))
    gga = sentence("GPGGA,%s,%s,1,08,%.1f,40.0,M,48.0,M,," % (t, pos, hdop))
    out = {"gga-first": gga + rmc, "gga-only": gga}.get(receiver, rmc + gga)
    out += sentence("GPGSA,A,3,02,05,09,12,17,21,25,29,,,,,1.6,0.9,1.3")
    sats = [(2, 45, 60, 41), (5, 30, 120, 38), (9, 60, 200, 44), (12, 20, 300, 35),
            (17, 70, 30, 46), (21, 15, 240, 33), (25, 50, 160, 40), (29, 35, 80, 37)]
    for page in range(2):
        body = "GPGSV,2,%d,08" % (page + 1)
        for prn, elevation, azimuth, snr in sats[page * 4:page * 4 + 4]:
            body += ",%02d,%02d,%03d,%02d" % (prn, elevation, azimuth, snr)
        out += sentence(body)
    return out


class Scatter:
    """A receiver's slowly wandering scatter: on each axis a Gauss-Markov
    process of standard deviation `metres` and a 30 s correlation time,
    drawn from `seed`; step(dt) moves it on and returns it (metres east,
    north). With `fresh` it is drawn afresh at each step. The receiver's
    HDOP says it (the radial standard deviation over a UERE of 5 m) unless
    `hdop` is given."""
    SECONDS = 30.0

    def __init__(self, metres, seed=0, fresh=False, hdop=None):
        self.metres = metres
        self.random = random.Random(seed)
        self.at = None
        self.fresh = fresh
        self.hdop = hdop if hdop else max(0.9, metres * math.sqrt(2.0) / 5.0) if metres > 0 else 0.9

    def step(self, dt):
        if self.metres <= 0:
            return 0.0, 0.0
        if self.at is None or self.fresh:
            self.at = [self.random.gauss(0.0, self.metres) for _ in range(2)]
        else:
            keep = math.exp(-dt / self.SECONDS)
            spread = self.metres * math.sqrt(1.0 - keep * keep)
            self.at = [keep * a + self.random.gauss(0.0, spread) for a in self.at]
        return tuple(self.at)


def pause(seconds):
    """Waits the seconds given in a select on no file, whose relative
    time-out libfaketime, with which the tests run at other hours, passes on
    as it is: time.sleep fails (EINVAL) under it when the monotonic clock is
    left real, and an event's wait never ends when that clock is shifted
    too (a deadline read from the shifted clock, waited for on the real
    one)."""
    select.select([], [], [], seconds)


def paced(wait, rate):
    """The seconds waited before a burst at a rate: the recording's own
    wait divided by it; 0 sends everything at once."""
    return wait / rate if rate > 0 else 0.0


def metres(a, b):
    lat = math.radians((a[0] + b[0]) / 2)
    dy = math.radians(b[0] - a[0]) * EARTH
    dx = math.radians(b[1] - a[1]) * EARTH * math.cos(lat)
    return dx, dy


def offset(p, dx, dy):
    lat = p[0] + math.degrees(dy / EARTH)
    lon = p[1] + math.degrees(dx / (EARTH * math.cos(math.radians(p[0]))))
    return (lat, lon)


def course(a, b):
    dx, dy = metres(a, b)
    return math.degrees(math.atan2(dx, dy)) % 360


def walk(points, step):
    """Points every `step` metres along the line."""
    out = [points[0]]
    left = step
    for a, b in zip(points, points[1:]):
        dx, dy = metres(a, b)
        length = math.hypot(dx, dy)
        done = 0.0
        while length - done >= left:
            done += left
            out.append(offset(a, dx * done / length, dy * done / length))
            left = step
        left -= length - done
    if out[-1] != points[-1]:
        out.append(points[-1])
    return out


def read_line(route):
    line = []
    for text in open(route):
        parts = text.strip().split(",")
        if len(parts) == 2:
            try:
                line.append((float(parts[0]), float(parts[1])))
            except ValueError:
                pass
    return line


def seconds_of_day(text):
    """The hhmmss[.ss] time of a sentence's field, or None."""
    try:
        return int(text[0:2]) * 3600 + int(text[2:4]) * 60 + float(text[4:])
    except ValueError:
        return None


def sentence_time(line):
    body = line.split("*")[0].split(",")
    if len(body) < 2 or len(body[0]) < 4 or body[0][-3:] not in TIMED:
        return None
    field = body[5] if body[0][-3:] == "GLL" and len(body) > 5 else body[1]
    return seconds_of_day(field) if len(field) >= 6 else None


def recording_bursts(path):
    """(seconds to wait before it, sentences) for each burst of a recording."""
    bursts, last = [], None
    with open(path, encoding="latin-1") as log:
        for line in log:
            line = line.rstrip("\r\n")
            if not line or line.startswith("#"):
                continue
            t = sentence_time(line)
            if t is not None and last is not None and t != last:
                gap = t - last
                bursts.append((gap if 0.05 <= gap <= 10 else 1.0, []))
            if t is not None:
                last = t
            if not bursts:
                bursts.append((0.0, []))
            bursts[-1][1].append(line + "\r\n")
    return bursts


def route_bursts(path, kmh, stand, receiver="rmc-first", hz=1, scatter=None, silent=None):
    """An epoch of the drive a burst, `hz` a second; then, when `stand`, the
    car standing at the route's end for ever, as a receiver goes on
    sending. `silent` (metres along the route, seconds): the bursts of that
    many seconds from there on are empty."""
    line = read_line(path)
    if len(line) < 2:
        raise SystemExit("nmea_feed: %s holds fewer than two LAT,LON lines" % path)
    points = walk(line, kmh / 3.6 / hz)
    knots = kmh / 1.852
    heading = course(points[0], points[1])
    scatter = scatter or Scatter(0.0)
    epoch = 0

    step = kmh / 3.6 / hz
    quiet = None  # the epochs of the silence
    if silent:
        first = int(math.ceil(silent[0] / step))
        quiet = range(first, first + int(round(silent[1] * hz)))

    def send(p, kn):
        east, north = scatter.step(1.0 / hz)
        at = offset(p, east, north)
        if quiet and epoch in quiet:
            return (1.0 / hz, [])
        return (1.0 / hz if epoch else 0.0, [fix(epoch / hz, at[0], at[1], kn, heading, receiver, scatter.hdop)])

    for i, p in enumerate(points):
        if i > 0 and points[i - 1] != p:
            heading = course(points[i - 1], p)
        moving = i + 1 < len(points)
        yield send(p, knots if moving else 0.0)
        epoch += 1
    while stand:
        yield send(points[-1], 0.0)
        epoch += 1


def checked(convert, holds, wanted):
    """An option's value as argparse takes it: converted, and refused with
    what it should be when it does not hold."""
    def parse(text):
        try:
            value = convert(text)
        except ValueError:
            raise argparse.ArgumentTypeError("%s is not a number" % text)
        if not holds(value):
            raise argparse.ArgumentTypeError("%s is not %s" % (text, wanted))
        return value
    return parse


def arguments():
    parser = argparse.ArgumentParser(
        usage="%(prog)s DEVICE RECORDING [--rate X] [--loop] [--dry-run]\n"
              "       %(prog)s DEVICE --route ROUTE [--speed KMH] [--receiver KIND] [--hz N] [--dry-run]\n"
              "         [--scatter METRES] [--seed S] [--fresh] [--hdop H] [--silent-at METRES] [--silent-for S]",
        description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("device", metavar="DEVICE")
    parser.add_argument("recording", metavar="RECORDING", nargs="?")
    parser.add_argument("--rate", type=checked(float, lambda v: v >= 0, "0 or more"), default=1.0)
    parser.add_argument("--loop", action="store_true")
    parser.add_argument("--dry-run", action="store_true")
    parser.add_argument("--route", metavar="ROUTE")
    parser.add_argument("--speed", type=checked(float, lambda v: v > 0, "above 0"), default=30.0)
    parser.add_argument("--receiver", choices=RECEIVERS, default="rmc-first")
    parser.add_argument("--hz", type=checked(int, lambda v: 1 <= v <= 20, "1 to 20"), default=1)
    parser.add_argument("--scatter", type=checked(float, lambda v: v >= 0, "0 or more"), default=0.0)
    parser.add_argument("--seed", type=checked(int, lambda v: True, "a whole number"), default=0)
    parser.add_argument("--fresh", action="store_true")
    parser.add_argument("--hdop", type=checked(float, lambda v: v >= 0, "0 or more"), default=0.0)
    parser.add_argument("--silent-at", type=checked(float, lambda v: v >= 0, "0 or more"), default=-1.0)
    parser.add_argument("--silent-for", type=checked(float, lambda v: v >= 0, "0 or more"), default=10.0)
    args = parser.parse_intermixed_args()
    if (args.route is None) == (args.recording is None):
        parser.error("give either a RECORDING or --route ROUTE")
    return args


def main():
    args = arguments()
    if args.route:
        silent = (args.silent_at, args.silent_for) if args.silent_at >= 0 else None
        bursts = route_bursts(args.route, args.speed, stand=not args.dry_run, receiver=args.receiver, hz=args.hz,
                              scatter=Scatter(args.scatter, args.seed, args.fresh, args.hdop or None),
                              silent=silent)
    else:
        bursts = recording_bursts(args.recording)
    if args.dry_run:
        try:
            for wait, burst in bursts:
                print("%.3f\t%d" % (paced(wait, args.rate), sum(part.count("\n") for part in burst)))
            sys.stdout.flush()
        except BrokenPipeError:
            # A reader that had enough (| head): the rest is not wanted, and
            # the interpreter's own flush at exit must not fail again.
            os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return
    with open(args.device, "w", newline="") as device:
        while True:
            for wait, burst in bursts:
                if paced(wait, args.rate) > 0:
                    pause(paced(wait, args.rate))
                device.write("".join(burst))
                device.flush()
            if not args.loop or args.route:
                return


if __name__ == "__main__":
    main()
