#!/usr/bin/env bash
# The program keeps its log bounded: a log.txt that earlier runs left at
# its bound becomes log.old.txt once the program writes, and a new log.txt
# starts with its header and goes on with this run's lines. Runs under the
# dummy video driver (no window needed).
# Usage: log_roll_test.sh PROGRAM
set -euo pipefail
program=$1
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}
cp "$program" "$work/mirel"
bash "$(dirname "$0")/../../tools/first-run-data.sh" "$(dirname "$program")/data" "$work/data"
printf '<?xml version="1.0" encoding="utf-8"?>\n<config version="2">\n<var name="log_severity" value="3"/>\n</config>\n' \
  >"$work/data/config.xml"
bound=$((4 * 1024 * 1024))
head -c "$bound" /dev/zero | tr '\0' 'x' >"$work/log.txt"

(cd "$work" && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy XDG_RUNTIME_DIR="$work" exec ./mirel) \
  >"$work/stdout.txt" 2>&1 &
pid=$!
for _ in $(seq 600); do
  grep -q "after initInterface" "$work/log.txt" 2>/dev/null && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -TERM "$pid" 2>/dev/null || fail "the program ended during start-up: $(cat "$work/stdout.txt")"
wait "$pid" || fail "exit code $? after a quit request"
pid=

[ -f "$work/log.old.txt" ] || fail "no log.old.txt beside a log at its bound"
[ "$(head -c 10 "$work/log.old.txt")" = "xxxxxxxxxx" ] || fail "log.old.txt is not the earlier log"
[ "$(stat -c %s "$work/log.old.txt")" -ge "$bound" ] || fail "log.old.txt lost the earlier lines"
head -n 1 "$work/log.txt" | grep -q '^---------- Log started at: ' || fail "the new log.txt starts without a header"
grep -q "after initInterface" "$work/log.txt" || fail "this run's lines are not in the new log.txt"
[ "$(stat -c %s "$work/log.txt")" -lt $((1024 * 1024)) ] || fail "the new log.txt holds the old lines"
echo "OK"
