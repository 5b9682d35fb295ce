#!/usr/bin/env bash
# Pictures of every page of the demo design at 800 x 480 and at 1280 x 720,
# drawn by the program's own drawing (the page layout test, SDL's dummy
# driver) and kept as PNG in the given folder, for a person to look at; the
# test fails when a page is missing, drew nothing but one colour, or (at the
# design's size) shows less of its title than the title's length asks for in
# the top box: white text of the title's geometry, about a hundred pixels a
# letter; and when one of the page pictures kept in docs/screenshots no
# longer shows what the pages draw (pixel by pixel: the program's own drawing
# under the dummy driver gives the same pixels on every run). With a time
# (UTC, "YYYY-MM-DD hh:mm:ss") the pages are drawn with the clock set to it
# (faketime), so that a run by day proves what a run at night does.
# Usage: page_shots_test.sh APP-TEST-PROGRAM SHOT-FOLDER [TIME]
set -euo pipefail
# ImageMagick in the C locale (window_common.sh says why).
source "$(dirname "$0")/window_common.sh"
tests=$1
shots=$2
at=${3:-}
tools=(convert xmllint)
[ -n "$at" ] && tools+=(faketime)
for tool in "${tools[@]}"; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
clock=()
# faketime reads its time in the local zone. The monotonic clock is left
# real here; shifted, the waits end as well (docs/tests.md).
[ -n "$at" ] && clock=(env FAKETIME_DONT_FAKE_MONOTONIC=1 faketime -f "@$(date -d "$at UTC" '+%F %T')")
design=$(dirname "$0")/../../data/skin/design800x480.xml
rm -rf "$shots"
mkdir -p "$shots"
SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy MIREL_PAGE_SHOTS="$shots" \
  "${clock[@]}" "$tests" --gtest_filter='PageLayout.*:PageTexts.*' >"$shots/layout-test.txt" 2>&1 ||
  { cat "$shots/layout-test.txt"; echo "FAIL: the page layout test failed"; exit 1; }
count=0
for bmp in "$shots"/*.bmp; do
  png=${bmp%.bmp}.png
  convert "$bmp" "$png"
  rm "$bmp"
  colours=$(convert "$png" -format %k info:)
  [ "$colours" -gt 1 ] || { echo "FAIL: $(basename "$png") is one colour"; exit 1; }
  count=$((count + 1))
done
# The top box of every titled page at the design's size.
titled=0
for png in "$shots"/*_800x480.png; do
  page=$(basename "$png" _800x480.png)
  title="//page[@name='$page']/label[@name='title' or @name='page_name']"
  caption=$(xmllint --xpath "string($title/@caption)" "$design")
  [ -n "$caption" ] || continue
  box=$(xmllint --xpath "concat($title/geometry/@w,'x',$title/geometry/@h,'+',$title/geometry/@x,'+',$title/geometry/@y)" "$design")
  white=$(convert "$png" -crop "$box" +repage -fuzz 12% -fill black +opaque "#FFFFFF" -fill white -opaque "#FFFFFF" \
    -format "%[fx:int(mean*w*h+0.5)]" info:)
  [ "$white" -ge $((60 * ${#caption})) ] ||
    { echo "FAIL: $page shows $white title pixels in $box for \"$caption\""; exit 1; }
  titled=$((titled + 1))
done
echo "$titled titled pages show their titles"
[ "$titled" -gt 35 ] || { echo "FAIL: only $titled pages with a title"; exit 1; }
for size in 800x480 1280x720; do
  n=$(ls "$shots" | grep -c "_$size.png" || true)
  echo "$n pages at $size"
  [ "$n" -gt 40 ] || { echo "FAIL: only $n pages drawn at $size"; exit 1; }
done
# The tracked page pictures and the pages they show.
tracked=$(cd "$(dirname "$0")/../../docs/screenshots" && pwd)
stale=0
for pair in page-message-box-800x480=message_box_800x480 page-gps-1280x720=pageGPS_1280x720 \
  page-gps-setup-800x480=pageSetupGPS_800x480 page-routes-empty-800x480=pagePathList_800x480 \
  page-places-shown-1280x720=pois_settings_1280x720; do
  picture=$tracked/${pair%%=*}.png
  if ! differing=$(compare -metric AE "$picture" "$shots/${pair#*=}.png" null: 2>&1); then
    echo "FAIL: docs/screenshots/${pair%%=*}.png no longer shows the page ${pair#*=} ($differing pixels differ)"
    stale=$((stale + 1))
  fi
done
[ $stale -eq 0 ] || { echo "copy the pages' pictures from $shots to docs/screenshots under the names above"; exit 1; }
echo "PASS: $count pictures in $shots, the 5 in docs/screenshots among them"
