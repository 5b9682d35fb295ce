#!/usr/bin/env bash
# nmea-replay prints every fix the receiver sent: on each real log of the
# test data, its valid rows are the log's own valid fixes (counted here from
# the checksummed GGA and RMC sentences with a position, one per epoch), in
# their order, between the header line and the satellite count the README
# shows; a time is printed as far as it is known (the time of day alone
# before the first date, "-" before the first fix, never zeros). So is it on a cold start made at test time from a real log:
# the first five epochs' positions scattered 700 m down to 140 m from where
# the receiver stands, each 140 m from the one before it, a second apart (a
# pace no car exceeds, but a step a replay played faster than real time
# takes in no time at all).
# Usage: nmea_replay_test.sh NMEA-REPLAY NMEA-FOLDER
set -euo pipefail
replay=$1
logs=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$logs/bu353s4.log" "$work/cold-start.log" <<'PY'
# The cold start: the latitudes of the first five epochs moved north.
import sys
offsets = [700.0, 560.0, 420.0, 280.0, 140.0]  # metres, epoch by epoch
epochs = []
out = []
for raw in open(sys.argv[1], "rb").read().decode("latin-1").split("\n"):
    line = raw.rstrip("\r")
    if line.startswith("$") and "*" in line and line[3:6] in ("GGA", "RMC"):
        fields = line[1:line.index("*")].split(",")
        at = 2 if fields[0].endswith("GGA") else 3
        if fields[1] not in epochs:
            epochs.append(fields[1])
        index = epochs.index(fields[1])
        if index < len(offsets) and fields[at]:
            degrees, minutes = fields[at][:2], float(fields[at][2:])
            sign = 1 if fields[at + 1] == "N" else -1
            decimals = len(fields[at].split(".")[1])
            minutes += sign * offsets[index] / 1852.0
            fields[at] = "%s%0*.*f" % (degrees, decimals + 3, decimals, minutes)
            body = ",".join(fields)
            checksum = 0
            for c in body:
                checksum ^= ord(c)
            line = "$%s*%02X" % (body, checksum)
    out.append(line + "\r\n")
open(sys.argv[2], "w", encoding="latin-1", newline="").write("".join(out))
PY

# The times of day (hhmmss) of a log's valid fixes, one a line.
sent_fixes() {
  python3 - "$1" <<'PY'
import re, sys
last = None
for raw in open(sys.argv[1], "rb").read().decode("latin-1").split("\n"):
    m = re.match(r"^\$[A-Z]{2}(GGA|RMC),([^*]*)\*([0-9A-Fa-f]{2})\s*$", raw.strip("\r\x00 "))
    if not m:
        continue
    body = raw.strip("\r\x00 ")[1:raw.strip("\r\x00 ").index("*")]
    checksum = 0
    for c in body:
        checksum ^= ord(c)
    if checksum != int(m.group(3), 16):
        continue
    fields = m.group(2).split(",")
    valid = fields[5] not in ("", "0") if m.group(1) == "GGA" else fields[1] == "A"
    if valid and fields[0] != last:
        last = fields[0]
        print(fields[0][:6])
PY
}

header=$'time\tvalid\tlatitude\tlongitude\taltitude\tspeed\theading\thdop\tvdop'
failures=0
total=0
for log in "$logs"/*.log "$work/cold-start.log"; do
  name=$(basename "$log")
  sent_fixes "$log" >"$work/sent.txt"
  "$replay" "$log" >"$work/report.txt"
  awk -F'\t' '$2 == 1 { t = $1; sub(/^.*T/, "", t); t = substr(t, 1, 8); gsub(":", "", t); print t }' \
    "$work/report.txt" >"$work/printed.txt"
  # The header, the rows, the count; each row's time as far as known.
  shape=$(LC_ALL=C awk -F'\t' -v header="$header" '
    NR == 1 { if ($0 != header) print "header: " $0; next }
    /^satellites\t[0-9]+$/ { last = NR; next }
    NF != 9 { print "line " NR ": " $0; next }
    $1 == "-" { if (fixed || $2 != 0 || $0 != "-\t0\t-\t-\t-\t-\t-\t-\t-") print "line " NR ": " $0; next }
    { fixed = 1 }
    $1 !~ /^([0-9][0-9][0-9][0-9]-[01][0-9]-[0-3][0-9]T)?[0-2][0-9]:[0-5][0-9]:[0-6][0-9](\.[0-9]+)?Z$/ ||
      $1 ~ /^0000/ { print "line " NR ": " $1 }
    END { if (last != NR) print "no satellite count at the end" }' "$work/report.txt" | head -n 3)
  [ -z "$shape" ] || { echo "FAIL: $name: $shape"; failures=$((failures + 1)); }
  sent=$(wc -l <"$work/sent.txt")
  printed=$(wc -l <"$work/printed.txt")
  total=$((total + printed))
  echo "$name: $sent valid fixes sent, $printed printed"
  if ! cmp -s "$work/sent.txt" "$work/printed.txt"; then
    echo "FAIL: $name: the valid fixes printed are not those sent"
    diff "$work/sent.txt" "$work/printed.txt" | head -n 10 || true
    failures=$((failures + 1))
  fi
done
[ "$total" -gt 0 ] || { echo "FAIL: no valid fix in any log: nothing was checked"; exit 1; }
[ "$failures" -eq 0 ] || exit 1
echo "PASS"
