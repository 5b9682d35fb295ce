# Shared set-up of the window tests, sourced with the program's path and
# the tools the test needs: skips (77) when a tool is missing, copies the
# program and its data folder as a first run finds it (nothing a driver left
# there: tools/first-run-data.sh) into a fresh folder ($work) with a settings
# file that logs the progress lines, starts a display of its own (Xvfb
# writes the number it took) and cleans everything up on exit. The test
# sets $mirel_pid for the program it starts. The screen is 1024 x 768
# unless $window_screen names another (WIDTHxHEIGHTxDEPTH).
# Nothing here pauses for the program to answer: a test waits for what it
# expects, a page by its log lines (expect_page), anything else by its log
# line (wait_for_log) or by the picture (tap_changes, or a check polled with
# wait_until), each bounded by a time-out.
# ImageMagick finds its formats (xwd:, info:, null:) and options by names
# compared under the locale's case rules, and under tr_TR.UTF-8 finds none:
# it runs in the C locale, the program and the rest of the test in the
# caller's.
convert() { LC_ALL=C command convert "$@"; }
compare() { LC_ALL=C command compare "$@"; }

window_setup() {
  local program=$1
  shift
  for tool in Xvfb "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "SKIPPED: $tool is not installed"
      exit 77
    fi
  done
  work=$(mktemp -d)
  xvfb_pid=
  mirel_pid=
  trap window_cleanup EXIT
  cp "$program" "$work/mirel"
  bash "$(dirname "${BASH_SOURCE[0]}")/../../tools/first-run-data.sh" "$(dirname "$program")/data" "$work/data"
  # The progress lines the tests wait for are written from severity 3 on.
  # Day colours at any hour: the automatic switch would follow the clock.
  printf '<?xml version="1.0" encoding="utf-8"?>\n<config version="2">\n<var name="log_severity" value="3"/>\n<var name="auto_dn" value="0"/>\n</config>\n' >"$work/data/config.xml"
  exec 3<> <(:)
  # -noreset: an X server resets when its last client leaves, and SDL's
  # start closes one connection just before it opens the next.
  Xvfb -displayfd 3 -noreset -screen 0 "${window_screen:-1024x768x24}" -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  read -r -t 10 display <&3 || { echo "FAIL: Xvfb did not start"; exit 1; }
  export DISPLAY=":$display"
  export XDG_RUNTIME_DIR="$work"
  export SDL_AUDIODRIVER=dummy
}

# A receiver's port: a pseudo-terminal pair (socat, $socat_pid), the
# program's end linked as data/ports/COMn (n given), the other end $work/gps,
# which a feeder writes.
plug_receiver() {
  mkdir -p "$work/data/ports"
  socat pty,raw,echo=0,link="$work/data/ports/COM$1" pty,raw,echo=0,link="$work/gps" 2>"$work/socat.log" &
  socat_pid=$!
  wait_until 5 test -e "$work/gps" || fail "socat made no pseudo-terminal"
}

# A second copy of the program in the work folder: it must end at once with
# -1 (255), saying on the terminal that the first copy's window was brought
# forward; the first copy's answer ("Restoring from tray") is waited for.
second_start() {
  local before status
  before=$(grep -c "Restoring from tray" "$work/log.txt" || true)
  set +e
  (cd "$work" && ./mirel) >"$work/second.txt" 2>&1
  status=$?
  set -e
  [ "$status" -eq 255 ] || fail "the second copy returned $status"
  grep -q "mirel is already running: its window was brought forward" "$work/second.txt" ||
    fail "the second copy said: $(cat "$work/second.txt")"
  wait_until 10 eval '[ "$(grep -c "Restoring from tray" "$work/log.txt")" -gt "$before" ]' ||
    fail "the first copy was not brought forward"
}

window_cleanup() {
  [ -n "$mirel_pid" ] && kill -9 "$mirel_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}

fail() {
  echo "FAIL: $*"
  [ -f "$work/log.txt" ] && tail -n 40 "$work/log.txt"
  exit 1
}

# Waits for a text in the program's log for some seconds; fails when the
# program ends or the time runs out.
wait_for_log() {
  local text=$1 seconds=$2
  for _ in $(seq $((seconds * 10))); do
    grep -q -- "$text" "$work/log.txt" 2>/dev/null && return 0
    kill -0 "$mirel_pid" 2>/dev/null || fail "the program ended while waiting for '$text'"
    sleep 0.1
  done
  fail "no '$text' in the log after $seconds s"
}

# The page the program showed last, as its log names it: the page and the
# text of its top box ("Page NAME shown, titled "TITLE"").
last_page() {
  grep -o 'Page [^ ]* shown, titled ".*"' "$work/log.txt" 2>/dev/null | tail -n 1 || true
}
# True when the page NAME (titled TITLE, when one is given) is the one shown
# last and its first frame is drawn: the log's last page line is "Page NAME
# drawn", after its "Page NAME shown, titled ...".
page_is() {
  local lines
  lines=$(grep -oE 'Page [^ ]+ (shown, titled ".*"|drawn)' "$work/log.txt" 2>/dev/null | tail -n 2) || return 1
  [ "$lines" = "Page $1 shown, titled \"${2-}\""$'\n'"Page $1 drawn" ] && return 0
  [ $# -lt 2 ] && [[ "$lines" == "Page $1 shown, titled "*$'\n'"Page $1 drawn" ]]
}
# Fails unless the page NAME (with the title TITLE, when given) is, or soon
# becomes, the one on the screen, drawn.
expect_page() {
  wait_until 20 page_is "$@" || fail "the page shown is '$(last_page)', not $1${2+ titled \"$2\"}"
}

# Runs a check (a command and its arguments) until it holds, for some
# seconds at the most: a loaded machine may answer a tap late. False when it
# never held.
wait_until() {
  local seconds=$1
  shift
  for _ in $(seq $((seconds * 10))); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# The program started in the work folder, its window found and its first
# page drawn: a copy still closing may hold the single-instance lock for a
# moment, so a start that ends at once is tried again.
start() {
  local attempt
  for attempt in 1 2 3; do
    : >"$work/log.txt"
    (cd "$work" && exec ./mirel) >"$work/stdout.txt" 2>&1 &
    mirel_pid=$!
    for _ in $(seq 600); do
      grep -q "after initInterface" "$work/log.txt" 2>/dev/null && break 2
      kill -0 "$mirel_pid" 2>/dev/null || break
      sleep 0.1
    done
    wait "$mirel_pid" 2>/dev/null || true
    mirel_pid=
    sleep 0.5
  done
  [ -n "$mirel_pid" ] || fail "the program ended during start-up"
  find_window
  wait_for_log "Page [^ ]* drawn" 30
}
# Sets window to the program's window once it is on the screen.
find_window() {
  window=
  for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --pid "$mirel_pid" 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && return 0
    kill -0 "$mirel_pid" 2>/dev/null || fail "the program ended before its window showed"
    sleep 0.1
  done
  fail "no window"
}
# A quit request, which must end the program with 0.
stop() {
  kill -TERM "$mirel_pid"
  wait "$mirel_pid" || fail "exit code $? after a quit request"
  mirel_pid=
}

# The window into FILE once two captures a tenth of a second apart agree
# (the program has drawn its answer), for 10 s at the most; false when the
# picture kept changing (a car driving), whose last capture is kept.
settle() {
  local file=$1 previous
  previous="$file.previous"
  xwd -id "$window" -silent >"$previous"
  for _ in $(seq 100); do
    sleep 0.1
    xwd -id "$window" -silent >"$file"
    cmp -s "$file" "$previous" && { rm -f "$previous"; return 0; }
    mv "$file" "$previous"
  done
  mv "$previous" "$file"
  return 1
}
# The window as NAME.png in the work folder, and in the screenshot folder
# (prefixed with shot_prefix) when the test was given one, once the picture
# is still; with "now" as it is at once (a moving picture), with WxH the
# size of the window (800x480 unless given).
shot() {
  local size=800x480
  case "${2:-}" in
    now) xwd -id "$window" -silent >"$work/$1.xwd" ;;
    *x*) size=$2 && settle "$work/$1.xwd" || true ;;
    *) settle "$work/$1.xwd" || true ;;
  esac
  convert "xwd:$work/$1.xwd" -crop "$size+0+0" +repage "$work/$1.png"
  [ -n "$shots" ] && cp "$work/$1.png" "$shots/${shot_prefix:-}$1.png"
  return 0
}
# Pixels that differ between two regions of two pictures.
differing() {
  { compare -metric AE -fuzz 8% "$work/$1.png[$2]" "$work/$3.png[$4]" null: 2>&1 || true; } | cut -d' ' -f1
}
# Pixels of a region (WxH+X+Y) of a picture near a colour (#RRGGBB).
pixels_like() {
  convert "$work/$1.png" -crop "$2" +repage -fuzz 12% -fill black +opaque "$3" -fill white -opaque "$3" \
    -format "%[fx:int(mean*w*h+0.5)]" info:
}
# A tap at a point of the window. It does not wait: the test waits for what
# the tap leads to (expect_page, wait_for_log, tap_changes).
tap() {
  xdotool mousemove --window "$window" "$1" "$2" click 1
}
# True when the window differs from the capture NAME.xwd in the work folder.
window_differs() {
  xwd -id "$window" -silent >"$work/.now.xwd"
  ! cmp -s "$work/.now.xwd" "$work/$1.xwd"
}
# Runs a command (a tap, a key) that changes the picture, then waits until
# the window differs from before it and is still again; fails when it did
# not change within 10 s.
changes() {
  changes_within 10 "$@" || fail "the screen did not change after: $*"
}
# The same for a command that may change nothing (a zoom at the end of the
# scale): false when the picture did not change within SECONDS.
changes_within() {
  local seconds=$1
  shift
  settle "$work/.before.xwd" || true
  "$@"
  wait_until "$seconds" window_differs .before || return 1
  settle "$work/.after.xwd" || true
}
# A tap that changes the picture (a box ticked, a list paged), waited for.
tap_changes() { changes tap "$@"; }
# COUNT notches of the wheel (BUTTON 4 zooms in, 5 out) at a point of the
# map (its middle unless given), each drawn before the next: a notch at the
# end of the scale changes nothing and is not waited for long.
wheel() {
  for _ in $(seq "$2"); do
    changes_within 2 xdotool mousemove --window "$window" "${3:-400}" "${4:-260}" click "$1" || true
  done
}

# Waits SECONDS at the most for FILE to grow past its size now (a recording
# writing its next points); false when it did not.
grows() {
  local file=$1 before
  before=$(stat -c %s "$file")
  wait_until "$2" eval '[ "$(stat -c %s "$file")" -gt "$before" ]'
}

# Starts the program on a start that fails and waits for its failure
# dialog: sets mirel_pid and dialog (the dialog's window), its output in
# stdout_NAME.txt.
start_failing() {
  local name=$1
  : >"$work/log.txt"
  (cd "$work" && exec ./mirel) >"$work/stdout_$name.txt" 2>&1 &
  mirel_pid=$!
  dialog=
  for _ in $(seq 300); do
    dialog=$(xdotool search --name "^Mirel - Critical error$" 2>/dev/null | head -n 1 || true)
    [ -n "$dialog" ] && return 0
    kill -0 "$mirel_pid" 2>/dev/null || fail "$name: the program ended without a dialog"
    sleep 0.1
  done
  fail "$name: no dialog"
}

# Taps the map page's REC (behind the map menu's panel, as a driver does)
# and waits for its track file: sets track.
start_recording() {
  expect_page menuMain
  tap 140 170
  expect_page pageMap
  tap 763 78
  wait_until 10 eval 'ls "$work"/tracks/*.kvt >/dev/null 2>&1' || true
  track=$(ls "$work"/tracks/*.kvt 2>/dev/null | head -n 1)
  [ -n "$track" ] || fail "REC made no track file"
}
