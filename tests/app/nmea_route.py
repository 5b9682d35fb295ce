#!/usr/bin/env python3
"""A receiver driving a route: writes RMC, GGA, GSA and GSV once a simulated
second into a pseudo-terminal, faster than real time.

    nmea_route.py DEVICE CONTROL START ROUTE [--speed KMH] [--interval S]
                  [--detour METRES] [--mark-at METRES] [--receiver KIND]
                  [--uturn-at METRES] [--uturn-back METRES]
                  [--hz N] [--scatter METRES] [--seed S] [--fresh 1] [--hdop H]
                  [--silent-at METRES] [--silent-for S] [--stop-at METRES]
                  [--stop-for S] [--nonsense-at METRES]
    nmea_route.py --aside ROUTE METRES

With --aside it only prints the point METRES east of ROUTE's middle
(LAT,LON), where a driver who ignores the route goes on the way to the
finish.

The car stands at START (LAT,LON) until the file CONTROL/go exists; then it
reads ROUTE, LAT,LON lines (route-atlas prints them; other lines are passed
over), and drives it. Halfway it leaves the route sideways by the detour
(200 m, to the right), comes back to where it left and drives on; at the
route's end it stands. CONTROL/progress says "standing", "driving",
"marked" (from --mark-at metres along the route to the detour), "detour",
"rejoined" or "arrived" as the drive goes on.

A simulated second lasts S real seconds (1 Hz sped up), and the times of
day written go on by S: a receiver sending 1/S fixes a second whose car
covers KMH's metres of a second in S seconds. The speeds written are those
of that car: a receiver tells how fast its car moves, and a tracker that
carries the car on between fixes then keeps up with them; a receiver that
tells no speed has it taken from its fixes and their times.

KIND is the receiver's way of sending (tools/nmea_feed.py): rmc-first (the
default), gga-first, gga-only, empty-course or empty-speed-course. It sends
N epochs a simulated second (once unless given), and with --scatter its
positions wander slowly about the true ones by that standard deviation on
each axis, its HDOP saying so (tools/nmea_feed.py, seed S).

--fresh 1 draws the scatter afresh at each fix, --hdop H has the GGA claim
H whatever the scatter (tools/nmea_feed.py). With --silent-at the receiver
sends nothing from METRES along the drive for --silent-for seconds (10
unless given) while the car drives on (CONTROL/progress "silent"); with
--stop-at the car stands there for --stop-for seconds (40 unless given;
"stopped"); with --nonsense-at the receiver sends, for four seconds from
there, five RMC sentences a second among its epochs that no car can have
(a speed of 1e9 knots, speed and course 1e9, longitude 187 degrees, 99
minutes of latitude with no date, negative coordinates and speed), each
with a good checksum and the epoch's time ("nonsense").

With --uturn-at the car makes no detour: METRES along the route it turns
straight back along the way it came for the --uturn-back metres (150 unless
given), turns round again and drives the rest of the route; CONTROL/progress
says "turned" on the way back.
"""
import math
import os
import sys

# The receiver's sentences and the geometry of a line are the README's feeder's.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from nmea_feed import (RECEIVERS, Scatter, course, degrees, fix, metres, offset, pause, read_line,  # noqa: E402
                       sentence, walk)


def split(line, at):
    """The line cut `at` metres along it: both pieces and the direction there."""
    lengths = [math.hypot(*metres(a, b)) for a, b in zip(line, line[1:])]
    left = min(at, sum(lengths))
    for i, length in enumerate(lengths):
        if length > 0 and left <= length:
            dx, dy = metres(line[i], line[i + 1])
            cut = offset(line[i], dx * left / length, dy * left / length)
            return line[:i + 1] + [cut], [cut] + line[i + 1:], (dx / length, dy / length)
        left -= length
    raise SystemExit("the route has no length")


def length(line):
    return sum(math.hypot(*metres(a, b)) for a, b in zip(line, line[1:]))


def aside(route, east):
    """The point `east` metres east of the middle of the route file."""
    line = read_line(route)
    middle = split(line, length(line) / 2)[0][-1]
    return offset(middle, east, 0.0)


def nonsense(time, lat, lon):
    """The five RMC sentences no car can have, at the epoch's time."""
    pos = degrees(lat, "NS", 2) + "," + degrees(lon, "EW", 3)
    wrong = [pos + ",1000000000.0,90.0,071226", pos + ",1000000000.0,1000000000.0,071226",
             degrees(lat, "NS", 2) + ",18700.0000,E,20.0,90.0,071226",
             "%02d99.9999,N," % int(lat) + degrees(lon, "EW", 3) + ",20.0,90.0,000000",
             "-" + degrees(lat, "NS", 2) + ",-" + degrees(lon, "EW", 3) + ",-20.0,90.0,071226"]
    return "".join(sentence("GPRMC,%s.%d,A,%s,,,A" % (time, 2 * k + 1, w)) for k, w in enumerate(wrong))


def drive(device, control, start, legs, kmh, interval, mark_at, receiver="rmc-first", hz=1, scatter=None,
          silent=None, stop=None, nonsense_at=None):
    """`silent` and `stop`: (metres along the drive, seconds); `nonsense_at`:
    metres."""
    step = kmh / 3.6 / hz
    scatter = scatter or Scatter(0.0)

    def progress(text):
        with open(os.path.join(control, "progress.tmp"), "w") as f:
            f.write(text + "\n")
        os.replace(os.path.join(control, "progress.tmp"), os.path.join(control, "progress"))

    sent = 0
    with open(device, "w") as tty:
        def send(p, knots, heading, quiet=False, wrong=False):
            nonlocal sent
            east, north = scatter.step(interval / hz)
            at = offset(p, east, north)
            if not quiet:
                epoch = fix(sent * interval / hz, at[0], at[1], knots, heading, receiver, scatter.hdop)
                if wrong and sent % hz == 0:
                    epoch += nonsense(epoch.split(",")[1].split(".")[0], at[0], at[1])
                tty.write(epoch)
                tty.flush()
            sent += 1
            pause(interval / hz)

        progress("standing")
        while not os.path.exists(os.path.join(control, "go")):
            send(start, 0.0, 0.0)
        plan = []
        for state, line in legs():
            plan += [(p, state) for p in walk(line, step)]
        knots = kmh / 1.852 / interval
        last, heading = None, course(plan[0][0], plan[1][0])
        silent_epochs = stop_at = wrong_epochs = None
        if silent:
            first = int(math.ceil(silent[0] / step))
            silent_epochs = range(first, first + int(round(silent[1] * hz / interval)))
        if stop:
            stop_at = int(math.ceil(stop[0] / step))
        if nonsense_at is not None:
            first = int(math.ceil(nonsense_at / step))
            wrong_epochs = range(first, first + 4 * hz)
        for i, (p, state) in enumerate(plan):
            if last is not None and last != p:
                heading = course(last, p)
            if state == "driving" and mark_at is not None and i * step >= mark_at:
                state = "marked"
            if i == stop_at:
                progress("stopped")
                for _ in range(int(round(stop[1] * hz / interval))):
                    send(p, 0.0, heading)
            quiet = silent_epochs is not None and i in silent_epochs
            wrong = wrong_epochs is not None and i in wrong_epochs
            progress("silent" if quiet else "nonsense" if wrong else state)
            send(p, knots, heading, quiet, wrong)
            last = p
        progress("arrived")
        while True:
            send(plan[-1][0], 0.0, heading)


def main():
    args = sys.argv[1:]
    if len(args) == 3 and args[0] == "--aside":
        print("%.6f,%.6f" % aside(args[1], float(args[2])))
        return
    if len(args) < 4:
        raise SystemExit(__doc__)
    options = {"--speed": 50.0, "--interval": 0.25, "--detour": 200.0, "--mark-at": None,
               "--receiver": "rmc-first", "--uturn-at": None, "--uturn-back": 150.0, "--hz": 1.0, "--scatter": 0.0,
               "--seed": 0.0, "--fresh": 0.0, "--hdop": 0.0, "--silent-at": None, "--silent-for": 10.0,
               "--stop-at": None, "--stop-for": 40.0, "--nonsense-at": None}
    for i in range(4, len(args) - 1, 2):
        if args[i] == "--receiver" and args[i + 1] in RECEIVERS:
            options[args[i]] = args[i + 1]
        elif args[i] in options and args[i] != "--receiver":
            options[args[i]] = float(args[i + 1])
        else:
            raise SystemExit(__doc__)
    start = tuple(float(v) for v in args[2].split(","))

    def legs():
        route = read_line(args[3])
        if options["--uturn-at"] is not None:
            turn = options["--uturn-at"]
            back = min(options["--uturn-back"], turn)
            first = split(route, turn)[0]
            way_back = split(first, turn - back)[1][::-1]
            return [("driving", first), ("turned", way_back), ("rejoined", split(route, turn - back)[1])]
        first, second, (ux, uy) = split(route, length(route) / 2)
        turn = first[-1]
        out = offset(turn, uy * options["--detour"], -ux * options["--detour"])
        return [("driving", first), ("detour", [turn, out, turn]), ("rejoined", second)]

    drive(args[0], args[1], start, legs, options["--speed"], options["--interval"], options["--mark-at"],
          options["--receiver"], int(options["--hz"]),
          Scatter(options["--scatter"], int(options["--seed"]), options["--fresh"] > 0, options["--hdop"] or None),
          silent=(options["--silent-at"], options["--silent-for"]) if options["--silent-at"] is not None else None,
          stop=(options["--stop-at"], options["--stop-for"]) if options["--stop-at"] is not None else None,
          nonsense_at=options["--nonsense-at"])


if __name__ == "__main__":
    main()
