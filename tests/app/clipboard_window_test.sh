#!/usr/bin/env bash
# The system clipboard in a real window: text copied in the waypoint editor
# is read by other programs (xsel as UTF8_STRING, xclip as STRING and
# TARGETS); text another program (xclip) put on the clipboard is pasted into
# the editor and kept in the waypoint's GPX file; an owner that never
# answers costs a paste its bounded wait, logged, and the program goes on.
# Usage: clipboard_window_test.sh PROGRAM
set -euo pipefail
program=$1
source "$(dirname "$0")/window_common.sh"
window_setup "$program" xdotool xclip xsel iconv
sed -i 's|</config>|<var name="atlas" value="maps\\monaco"/>\n<var name="menu_autohide" value="0"/>\n<var name="Keyboard/edit_layout" value="Letters"/>\n</config>|' \
  "$work/data/config.xml"

start
grep -q "Clipboard: the system's (X11 CLIPBOARD selection)" "$work/log.txt" || fail "the clipboard is not the system's"

# A tap held for a tenth of a second, as a finger does; what it leads to is
# waited for by what follows (the program takes the taps in their order).
tap() {
  xdotool mousemove --window "$window" "$1" "$2" mousedown 1
  sleep 0.1
  xdotool mouseup 1
}
copy() { tap 674 96; }
paste() { tap 754 96; }
# Each read has a bound: an owner that misses one request (on a busy
# machine) fails that read, which wait_until tries again, instead of
# holding the test until its time is up.
clipboard() { xsel --clipboard --output --selectionTimeout 3000; }
clipboard_is() { [ "$(clipboard)" = "$1" ]; }
# Latin-1 bytes shown as UTF-8.
clipboard_string() { timeout 5 xclip -selection clipboard -out -target STRING | iconv -f ISO-8859-1 -t UTF-8; }

# The map, a tap on it, "Point", the type chooser's "OK": the editor. The
# name box: the default name erased and "cafe" typed on the keys of the
# editing keyboard as a first run has it ("Letters": 12 x 4 cells from y 240,
# the case key before "z" in the third row).
tap 140 170
expect_page pageMap
tap_changes 400 240
tap 256 324
expect_page select_poi_type
tap 736 31
expect_page pageWPEdit
tap 412 96
for _ in $(seq 14); do tap 733 447; done
for cell in "300 387" "33 327" "233 327" "166 267"; do tap $cell; done

# Out: another program reads what "Copy" put on the clipboard.
copy
wait_until 5 clipboard_is cafe || fail "xsel reads '$(clipboard)', not 'cafe'"
[ "$(clipboard_string)" = cafe ] || fail "xclip reads '$(clipboard_string)' as STRING"
targets=$(timeout 5 xclip -selection clipboard -out -target TARGETS)
for target in TARGETS UTF8_STRING STRING; do
  grep -qx "$target" <<<"$targets" || fail "the targets offered lack $target: $targets"
done

# In: text another program owns is pasted after the typed text; copied
# again, it reads back whole as UTF-8, and as STRING with '?' for what
# Latin-1 cannot hold.
printf 'Zürich, Москва' | xclip -selection clipboard -in
wait_until 5 clipboard_is 'Zürich, Москва' || fail "xclip did not take the clipboard"
paste
copy
wait_until 5 clipboard_is 'cafeZürich, Москва' || fail "after a paste and a copy xsel reads '$(clipboard)'"
[ "$(clipboard_string)" = 'cafeZürich, ??????' ] || fail "as STRING: '$(clipboard_string)'"

# An owner that stops answering: the paste gives up after its wait, says
# so, and the box and the program are as they were.
printf 'never' | xclip -selection clipboard -in -quiet >"$work/xclip.txt" 2>&1 &
hung=$!
wait_until 5 clipboard_is never || fail "the second xclip did not take the clipboard"
kill -STOP "$hung"
paste
wait_for_log "Can't paste Unicode text (err 1460)" 10
kill -CONT "$hung" 2>/dev/null || true
kill "$hung" 2>/dev/null || true
wait "$hung" 2>/dev/null || true
copy
wait_until 5 clipboard_is 'cafeZürich, Москва' || fail "after the failed paste xsel reads '$(clipboard)'"

# "OK" ends the typing, a second "OK" stores the point under the pasted
# name.
tap_changes 758 31
tap 758 31
expect_page pageMap
stop
gpx=$(ls "$work"/waypoints/*.gpx 2>/dev/null | head -n 1)
[ -n "$gpx" ] || fail "no GPX file was written"
grep -q "<name>cafeZürich, Москва</name>" "$gpx" || { cat "$gpx"; fail "the GPX file lacks the pasted name"; }
echo "PASS"
