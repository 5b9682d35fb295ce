#!/usr/bin/env bash
# A start that fails is shown in a window, not only in log.txt: with
# messages.xml missing, and with the configured atlas's maps damaged, the
# program opens the X server's simplest dialog captioned "Mirel - Critical
# error" whose text names the file and the reason; "OK" (Enter) ends the
# program with its failure code, and the configured atlas is kept. The
# screenshots stay in the screenshot folder when one is given.
# Usage: fatal_window_test.sh PROGRAM [SCREENSHOT-FOLDER]
set -euo pipefail
program=$1
shots=${2:-}
[ -n "$shots" ] && mkdir -p "$shots"
source "$(dirname "$0")/window_common.sh"
window_setup "$program" xdotool xwd convert

# The dialog as NAME.png; true when it shows text (dark: its dark pixels).
dialog_text() {
  xwd -id "$dialog" -silent >"$work/$1.xwd" 2>/dev/null || return 1
  convert "xwd:$work/$1.xwd" "$work/$1.png"
  dark=$(convert "$work/$1.png" -threshold 50% -negate -format "%[fx:int(mean*w*h+0.5)]" info:)
  [ "$dark" -gt 300 ]
}

# Starts the program, waits for its dialog, keeps a picture of it, closes it
# with Enter; the program must then end with the start's failure code.
failing_start() {
  local name=$1
  start_failing "$name"
  # Text on white: the dialog is not blank, once it is drawn.
  dark=0
  wait_until 10 dialog_text "$name" || true
  [ -n "$shots" ] && cp "$work/$name.png" "$shots/fatal_$name.png"
  echo "$name: $dark dark pixels"
  [ "$dark" -gt 300 ] || fail "$name: the dialog shows no text"
  kill -0 "$mirel_pid" 2>/dev/null || fail "$name: the program did not wait for the dialog"
  # The dialog takes the keyboard when it shows; Enter is its "OK". One
  # failure, one dialog: the program then ends.
  xdotool key Return
  for _ in $(seq 100); do
    kill -0 "$mirel_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$mirel_pid" 2>/dev/null && fail "$name: the program did not end after OK"
  local code=0
  wait "$mirel_pid" || code=$?
  mirel_pid=
  [ "$code" -ne 0 ] || fail "$name: a failed start ended with 0"
}

# messages.xml missing: "Initialization error" and the file's own line.
mv "$work/data/messages.xml" "$work/messages.xml.kept"
failing_start messages
grep -q "Mirel - Critical error: Initialization error" "$work/stdout_messages.txt" ||
  fail "the message is not the start's: $(cat "$work/stdout_messages.txt")"
grep -q "messages.xml.*No such file or directory" "$work/stdout_messages.txt" ||
  fail "the message names no file and reason: $(cat "$work/stdout_messages.txt")"
mv "$work/messages.xml.kept" "$work/data/messages.xml"

# The configured atlas's maps cut short, and no other atlas to show in its
# place: the atlas message, the damaged map named, and the configured
# atlas kept for the next start.
mkdir -p "$work/data/maps/town"
for map in "$work"/data/maps/demo/*.kvm; do
  head -c 256 "$map" >"$work/data/maps/town/$(basename "$map")"
done
for other in "$work"/data/maps/*/; do
  [ "$(basename "$other")" = town ] || rm -rf "$other"
done
sed -i 's|</config>|<var name="atlas" value="maps\\town"/>\n</config>|' "$work/data/config.xml"
failing_start atlas
grep -q "maps/town/demo-town.kvm: File is too small" "$work/stdout_atlas.txt" ||
  fail "the damaged map is not named: $(cat "$work/stdout_atlas.txt")"
grep -q 'name="atlas" value="[^"]*town"' "$work/data/config.xml" ||
  fail "the configured atlas was not kept: $(grep atlas "$work/data/config.xml")"
echo "PASS"
