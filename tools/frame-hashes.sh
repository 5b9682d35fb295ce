#!/usr/bin/env bash
# Draws 200 views of the real town with a build's render-atlas (five centres;
# 20, 50, 200, 1000 and 5000 m per 40 pixels; 2D and 3D; day and night;
# north up and turned 33 degrees; 1280x720) and prints one line per view
# with the MD5 of its picture. Two builds draw the same pictures when their
# outputs are equal:
#
#   tools/frame-hashes.sh /tmp/before/build > before.txt
#   tools/frame-hashes.sh build > after.txt && diff before.txt after.txt
#
# BUILD is a build folder holding tools/render-atlas and app/data; the data
# folder is copied to a scratch folder first, so that the build's own stays
# untouched.
set -euo pipefail
build=${1:?usage: frame-hashes.sh BUILD_FOLDER}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
bash "$(dirname "$0")/first-run-data.sh" "$build/app/data" "$scratch/data"
for centre in 43.7384,7.4246 43.7311,7.4197 43.7450,7.4300 43.7270,7.4150 43.7500,7.4400; do
  for scale in 20 50 200 1000 5000; do
    for mode in "" --3d; do
      for light in "" --night; do
        for turn in 0 33; do
          "$build/tools/render-atlas" "$scratch/data/maps/monaco" "$scratch/frame.bmp" --data "$scratch/data" \
            --centre "$centre" --scale "$scale" --size 1280x720 --rotation "$turn" $mode $light > /dev/null
          echo "$centre $scale ${mode:-2d} ${light:-day} $turn $(md5sum < "$scratch/frame.bmp" | cut -c1-32)"
        done
      done
    done
  done
done
