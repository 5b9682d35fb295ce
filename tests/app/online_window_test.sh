#!/usr/bin/env bash
# The online service in a real window under Xvfb, against the loopback host
# of online-test-server. With a friend online, the map page shows the
# "Online" indicator and the friend's track in the friend's colour (red,
# the palette's first). While the host answers 500, garbage, nothing at all
# or drops the connection, the map still zooms with the wheel and the
# program ends within 2 s of SIGTERM. At log severity 4, a host that quotes
# the session token in single quotes and spaces its attributes, names them
# pwd, session and secret, answers with a URL holding a user's password or
# with a JSON body (and an address with a password in its query) leaves none
# of those secrets, nor the user's password, in log.txt: neither in its text
# nor in its hex dumps.
# Usage: online_window_test.sh PROGRAM SERVER [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
server=$2
shots=${3:-}
source "$(dirname "$0")/window_common.sh"
window_setup "$program" xwd convert compare xdotool xprop
server_pid=
stop_server() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  server_pid=
}
# The program starts five times on one display: a client that stays keeps
# the X server from resetting between them (a reset refuses new clients).
xprop -root -spy >/dev/null 2>&1 &
holder_pid=$!
trap 'stop_server; kill "$holder_pid" 2>/dev/null || true; window_cleanup' EXIT

# Starts the host in a manner and the program on the map page against it.
start() {
  # Gone before the start: the shell empties it only in the started child.
  rm -f "$work/port.txt"
  "$server" "$1" >"$work/port.txt" 2>"$work/server.log" &
  server_pid=$!
  for _ in $(seq 100); do [ -s "$work/port.txt" ] && break; sleep 0.1; done
  local port
  port=$(head -n 1 "$work/port.txt")
  [ -n "$port" ] || fail "the test server gave no port: $(cat "$work/server.log") $(kill -0 "$server_pid" 2>&1 && echo running)"
  cat >"$work/data/config.xml" <<XML
<?xml version="1.0" encoding="utf-8"?>
<config version="2">
<var name="log_severity" value="${severity:-3}"/>
<var name="auto_dn" value="0"/>
<var name="map_start" value="1"/>
<var name="online_url" value="http://127.0.0.1:$port/POST.php${url_query:-}"/>
<var name="online_user" value="ann"/>
<var name="online_password" value="${password:-pw}"/>
</config>
XML
  rm -f "$work/log.txt"
  (cd "$work" && exec ./mirel) >"$work/stdout.txt" 2>&1 &
  mirel_pid=$!
  for _ in $(seq 600); do
    grep -q "after initInterface" "$work/log.txt" 2>/dev/null && break
    kill -0 "$mirel_pid" 2>/dev/null || fail "the program ended during start-up: $(tail -n 5 "$work/stdout.txt")"
    sleep 0.1
  done
  find_window
  expect_page pageMap
}

# Pixels of exactly that colour.
count_colour() {
  convert "$work/$1.png" -fill black +opaque "$2" -fill white -opaque "$2" -format "%[fx:round(mean*w*h)]" info:
}
# SIGTERM; fails unless the program ends within 2 s.
quit_promptly() {
  local start end
  start=$(date +%s%N)
  kill -TERM "$mirel_pid"
  for _ in $(seq 40); do
    kill -0 "$mirel_pid" 2>/dev/null || break
    sleep 0.05
  done
  end=$(date +%s%N)
  kill -0 "$mirel_pid" 2>/dev/null && fail "$1: still running 2 s after SIGTERM"
  wait "$mirel_pid" || fail "$1: exit code $? after a quit request"
  mirel_pid=
  echo "$1: ended $(((end - start) / 1000000)) ms after SIGTERM"
}

start friends
# Two notches closer, so that the track stands out from the town; the map
# polled until the track arrives.
wheel 4 2 400 320
found=0
track_shown() {
  shot online_friend now
  found=$(count_colour online_friend "rgb(255,0,0)")
  [ "$found" -gt 150 ]
}
wait_until 20 track_shown || true
echo "friend's track: $found red pixels"
[ "$found" -gt 150 ] || fail "the friend's track is not on the map"
grep -q "Online service connected" "$work/log.txt" || fail "no login"

# The online pages by taps: the "Online" indicator opens the friends page,
# Ann's row her options; back, the service switched off shows the account
# button, which opens the account page; a tap on the name box types.
tap_and_shot() {
  changes tap "$1" "$2"
  shot "$3"
  local changed
  changed=$(differing "$4" 800x480+0+0 "$3" 800x480+0+0)
  echo "$3: $changed pixels differ from $4"
  [ "$changed" -gt 5000 ] || fail "the tap at $1,$2 did not open $3"
}
tap_and_shot 728 110 online_friends online_friend
tap_and_shot 400 172 online_friend_options online_friends
# "hide", beside the way back, asks for the tray and keeps the page.
hides=$(grep -c "Hiding to tray" "$work/log.txt" || true)
more_hidden() { [ "$(grep -c "Hiding to tray" "$work/log.txt" || true)" -gt "$hides" ]; }
xdotool mousemove --window "$window" 96 31 click 1
wait_until 5 more_hidden || fail "\"hide\" on the friend options did not hide the program"
tap_and_shot 32 32 online_friends_back online_friend_options
tap_and_shot 196 104 online_friends_off online_friends_back
tap_and_shot 196 176 online_account online_friends_off
tap_and_shot 516 108 online_account_typing online_account
quit_promptly friends
stop_server

for manner in 500 garbage stall drop; do
  start "$manner"
  # The first exchange out, failing or hanging.
  wait_for_log "Requesting /POST.php" 20
  shot "online_$manner"
  wheel 4 2 400 320
  shot "online_${manner}_zoomed"
  zoomed=$(differing "online_$manner" 800x480+0+0 "online_${manner}_zoomed" 800x480+0+0)
  echo "$manner: zooming changed $zoomed pixels"
  [ "$zoomed" -gt 2000 ] || fail "$manner: the map did not redraw"
  quit_promptly "$manner"
  stop_server
done
# Secrets in any quoting. The host's error output holds the requests it
# read: the session it handed out in single quotes comes back as the session.
url_query='?user=ann&amp;password=Url-Pw-62'
password=Users-Pw-59
severity=4
start secrets
wait_for_log "Online service connected" 20
for _ in $(seq 100); do
  grep -q 'mtr token="Single-Session-27"' "$work/server.log" && break
  sleep 0.1
done
grep -q 'mfi token="Single-Session-27"' "$work/server.log" || fail "the single-quoted session was not taken: $(head -c 600 "$work/server.log")"
grep -q 'mtr token="Single-Session-27"' "$work/server.log" || fail "no track exchange in the session"
quit_promptly secrets
stop_server
grep -q "Received response begin" "$work/log.txt" || fail "the replies were not dumped: nothing was checked"
grep -q "Invalid MCT response" "$work/log.txt" || fail "the refusing replies were not echoed: nothing was checked"
python3 - "$work/log.txt" <<'PY' || fail "a secret reached log.txt"
import re, sys
text = open(sys.argv[1], "rb").read()
# The hex dumps' bytes, row after row: a secret cut by a row's end is
# whole again here.
dumped = bytearray()
for line in text.split(b"\n"):
    m = re.match(rb"-?\d+ms: ((?:[0-9a-f]{2} ){1,16})", line)
    if m:
        dumped += bytes(int(h, 16) for h in m.group(1).split())
secrets = [b"Single-Session-27", b"Spaced-Echo-88", b"Spaced-Token-31", b"Tabbed-Token-45", b"Url-Pw-62",
           b"Users-Pw-59", b"Url-User-Pw-81", b"Url-Token-83", b"Url-Pw-85", b"Json-Token-71", b"Json-Pw-73",
           b"Pwd-Attr-12", b"Session-Attr-34", b"Secret-Attr-56"]
leaked = [s.decode() for s in secrets if s in text or s in dumped]
if leaked:
    print("leaked:", leaked)
    sys.exit(1)
for shown in [b"token='***'", b"password = \"***\"", b"token = \"***\"", b"password=***", b"//***@example.com",
              b"\"token\": \"***\"", b"pwd=\"***\"", b"session='***'", b"secret = \"***\""]:
    if shown not in text and shown not in dumped:
        print("not shown masked:", shown.decode())
        sys.exit(1)
print("secrets: none of %d in %d bytes of log, %d dumped" % (len(secrets), len(text), len(dumped)))
PY
echo "PASS"
