#!/usr/bin/env bash
# Draws the project's screenshots (docs/screenshots/): the Monaco atlas over
# the town centre at 50, 200 and 1000 metres per 40 pixels, 2D and 3D, day
# and night, through tools/render-atlas, converted to PNG by ImageMagick.
#
#   bash tools/make-screenshots.sh [BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
if ! command -v convert >/dev/null; then
  echo "make-screenshots: ImageMagick's convert is needed (apt-get install imagemagick)" >&2
  exit 1
fi
cmake --build "$build" --target mirel render-atlas
out=docs/screenshots
mkdir -p "$out"
frame=$(mktemp --suffix=.bmp)
trap 'rm -f "$frame"' EXIT
for view in 2d 3d; do
  for light in day night; do
    for scale in 50 200 1000; do
      args=(--centre 43.7384,7.4246 --scale "$scale")
      [[ $view == 3d ]] && args+=(--3d)
      [[ $light == night ]] && args+=(--night)
      "$build/tools/render-atlas" "$build/app/data/maps/monaco" "$frame" "${args[@]}" >/dev/null
      # -strip: no time stamps, so the same frame gives the same file.
      convert "$frame" -strip "$out/monaco-$view-$light-$scale.png"
    done
  done
done
echo "screenshots written to $out/"
