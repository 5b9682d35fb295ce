#!/usr/bin/env bash
# Pictures of every page of the demo design at 800 x 480 and at 1280 x 720,
# drawn by the program's own drawing (the page layout test, SDL's dummy
# driver) and kept as PNG in the given folder, for a person to look at; the
# test fails when a page is missing or drew nothing but one colour.
# Usage: page_shots_test.sh APP-TEST-PROGRAM SHOT-FOLDER
set -euo pipefail
tests=$1
shots=$2
command -v convert >/dev/null || { echo "SKIP: convert (ImageMagick) is missing"; exit 77; }
rm -rf "$shots"
mkdir -p "$shots"
SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy MIREL_PAGE_SHOTS="$shots" \
  "$tests" --gtest_filter='PageLayout.*:PageTexts.*' >"$shots/layout-test.txt" 2>&1 ||
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
for size in 800x480 1280x720; do
  n=$(ls "$shots" | grep -c "_$size.png" || true)
  echo "$n pages at $size"
  [ "$n" -gt 40 ] || { echo "FAIL: only $n pages drawn at $size"; exit 1; }
done
echo "PASS: $count pictures in $shots"
