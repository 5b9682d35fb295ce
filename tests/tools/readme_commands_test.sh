#!/usr/bin/env bash
# Every tool command the README shows runs as written: each is looked up in
# the README word for word, then run from a folder laid out like the
# repository (build/tools/ with the tools, build/app/data/ a copy of the
# build's data folder as a first run finds it, tests/data/ the repository's test data), its
# placeholders filled with real files. Every tool the README names is among
# those tools/run-demo.sh builds. The commands leave the data folder as they
# found it, but for the route that --save keeps there, as the README says:
# the test command checks the build's own.
# Usage: readme_commands_test.sh SOURCE_FOLDER BUILD_FOLDER
set -euo pipefail
source_dir=$1
build=$2
readme=$source_dir/README.md
source "$(dirname "$0")/script_test_common.sh"

# The README's tools and run-demo.sh's build list. (A range such as a-z
# follows the locale's collation: under tr_TR.UTF-8 it leaves out i.)
named=$(LC_ALL=C grep -o 'build/tools/[a-z-]*' "$readme" | sed 's|build/tools/||' | sort -u)
built=$(grep -E '^tools=\(' "$source_dir/tools/run-demo.sh" | tr -d '()' | cut -d= -f2)
for tool in $named; do
  [[ " $built " == *" $tool "* ]] || fail "run-demo.sh does not build $tool, which the README uses"
done

mkdir -p "$work/build/tools" "$work/build/app"
for tool in $named; do
  cp "$build/tools/$tool" "$work/build/tools/"
done
bash "$source_dir/tools/first-run-data.sh" "$build/app/data" "$work/build/app/data"
mkdir -p "$work/tests"
cp -r "$source_dir/tests/data" "$work/tests/data"
gpx=tests/data/gpx/real/gpsbabel-garmincategories.gpx

# README text @@ the command run ('[...]' options left out, or given).
commands=(
  "build/tools/nmea-replay tests/data/nmea/bu353s4.log @@ build/tools/nmea-replay tests/data/nmea/bu353s4.log"
  'build/tools/search-atlas build/app/data/maps/demo "Mil" "[sm]t" @@ build/tools/search-atlas build/app/data/maps/demo "Mil" "[sm]t"'
  'build/tools/search-atlas build/app/data/maps/demo --kind pois "Кафе" @@ build/tools/search-atlas build/app/data/maps/demo --kind pois "Кафе"'
  "build/tools/render-atlas build/app/data/maps/monaco build/frame.bmp --centre 43.7384,7.4246 --scale 200 [--3d] [--night] [--rotation 30] [--size 1280x720] @@ build/tools/render-atlas build/app/data/maps/monaco build/frame.bmp --centre 43.7384,7.4246 --scale 200"
  "build/tools/render-atlas build/app/data/maps/monaco build/frame.bmp --centre 43.7384,7.4246 --scale 200 [--3d] [--night] [--rotation 30] [--size 1280x720] @@ build/tools/render-atlas build/app/data/maps/monaco build/frame.bmp --centre 43.7384,7.4246 --scale 200 --3d --night --rotation 30 --size 1280x720"
  "build/tools/route-atlas build/app/data/maps/monaco 43.7384,7.4246 43.7311,7.4197 [--mode 0|1|2] [--picture build/route.bmp [--scale 25]] [--save] [--data DIR] [--manoeuvres] @@ build/tools/route-atlas build/app/data/maps/monaco 43.7384,7.4246 43.7311,7.4197"
  "build/tools/route-atlas build/app/data/maps/monaco 43.7384,7.4246 43.7311,7.4197 [--mode 0|1|2] [--picture build/route.bmp [--scale 25]] [--save] [--data DIR] [--manoeuvres] @@ build/tools/route-atlas build/app/data/maps/monaco 43.7384,7.4246 43.7311,7.4197 --mode 0 --picture build/route.bmp --save --data build/app/data --manoeuvres"
  "build/tools/route-atlas build/app/data/maps/monaco 43.7384,7.4246 43.7311,7.4197 [--mode 0|1|2] [--picture build/route.bmp [--scale 25]] [--save] [--data DIR] [--manoeuvres] @@ build/tools/route-atlas build/app/data/maps/monaco 43.7384,7.4246 43.7311,7.4197 --picture build/route25.bmp --scale 25"
  "build/tools/route-atlas build/app/data/maps/monaco 43.7393,7.4275 43.7356,7.4220 > build/route.txt @@ build/tools/route-atlas build/app/data/maps/monaco 43.7393,7.4275 43.7356,7.4220 > build/route.txt"
  "bash tools/first-run-data.sh build/app/data build/try/data @@ bash $source_dir/tools/first-run-data.sh build/app/data build/try/data"
  "cp -r build/app/mirel build/app/waypoints build/try/ @@ cp -r $build/app/mirel $build/app/waypoints build/try/"
  "mkdir -p build/try/data/ports @@ mkdir -p build/try/data/ports"
  "python3 tools/nmea_feed.py build/gps tests/data/nmea/bu353s4.log [--rate 2] [--loop] @@ python3 $source_dir/tools/nmea_feed.py build/gps tests/data/nmea/bu353s4.log --rate 2 --dry-run"
  "python3 tools/nmea_feed.py build/gps --route build/route.txt --speed 30 @@ python3 $source_dir/tools/nmea_feed.py build/gps --route build/route.txt --speed 30 --dry-run"
  "build/tools/route-atlas build/app/data/maps/monaco --path ROUTE.kvp [--data DIR] [--manoeuvres] @@ build/tools/route-atlas build/app/data/maps/monaco --path build/app/data/maps/monaco/path.kvp"
  "build/tools/route-atlas build/app/data/maps/monaco --path ROUTE.kvp [--data DIR] [--manoeuvres] @@ build/tools/route-atlas build/app/data/maps/monaco --path build/app/data/maps/monaco/path.kvp --data build/app/data --manoeuvres"
  "build/tools/gpx-roundtrip IN.gpx build/OUT.gpx @@ build/tools/gpx-roundtrip $gpx build/OUT.gpx"
  "xmllint --noout --schema tests/data/gpx/gpx.xsd build/OUT.gpx @@ xmllint --noout --schema tests/data/gpx/gpx.xsd build/OUT.gpx"
  "build/tools/mirel-demo-atlas FOLDER @@ build/tools/mirel-demo-atlas demo-copy"
  "build/tools/osm-atlas EXTRACT.osm.pbf FOLDER @@ build/tools/osm-atlas $source_dir/data/sources/monaco.osm.pbf monaco-copy"
)
# The data folder's entries and contents.
listing() {
  (cd "$work/build/app/data" && find . -printf '%y %p\n' | LC_ALL=C sort &&
    find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum)
}
listing >"$work/data-before.txt"
for row in "${commands[@]}"; do
  shown=${row%% @@ *}
  run=${row#* @@ }
  grep -qF -- "$shown" "$readme" || fail "the README no longer shows: $shown"
  if ! (cd "$work" && eval "$run") >"$work/out.txt" 2>&1; then
    fail "$run"
    tail -n 20 "$work/out.txt"
  elif [[ $run =~ (nmea-replay|search-atlas|route-atlas|gpx-roundtrip|nmea_feed) ]] && [[ $run != *" > "* ]] && ! [ -s "$work/out.txt" ]; then
    fail "$run printed nothing"
  fi
done
# What the commands wrote is there, and nothing else of theirs is in the
# data folder: a search keeps neither an index nor a history there.
for file in build/route.txt build/frame.bmp build/route.bmp build/route25.bmp build/OUT.gpx demo-copy/demo-town.kvm monaco-copy/monaco.kvm \
  build/app/data/maps/monaco/path.kvp build/try/data/maps/monaco/monaco.kvm build/try/mirel build/try/waypoints/cameras.txt; do
  [ -s "$work/$file" ] || fail "no $file after the commands"
done
changed=$(diff "$work/data-before.txt" <(listing) | grep '^[<>]' | LC_ALL=C grep -vE 'maps/monaco/(path\.kvp|camera\.kvc)$' || true)
[ -z "$changed" ] || fail "the README's commands changed the data folder: $changed"
# A stored route prints the way a computed one does: length, driving time
# and manoeuvre count (without a search's phase times), the manoeuvres only
# with --manoeuvres, then the points.
route() { (cd "$work" && build/tools/route-atlas build/app/data/maps/monaco "$@"); }
route 43.7384,7.4246 43.7311,7.4197 --save --manoeuvres | sed '1s/ (loading .*//; /^Saved as /d' >"$work/computed.txt" ||
  fail "the route was not computed"
route --path build/app/data/maps/monaco/path.kvp --manoeuvres >"$work/stored.txt" || fail "the stored route was not printed"
cmp -s "$work/computed.txt" "$work/stored.txt" ||
  fail "the stored route prints otherwise: $(diff "$work/computed.txt" "$work/stored.txt" | head -n 4)"
grep -q '^manoeuvre ' "$work/stored.txt" || fail "the stored route printed no manoeuvre"
# Each manoeuvre says its type in words beside its number.
bad=$(grep '^manoeuvre ' "$work/stored.txt" | grep -vE '^manoeuvre [0-9]+ \([a-zA-Z][a-zA-Z ,-]*\) at [0-9]+ m$' |
  grep -v '(unknown)' || true)
[ -z "$bad" ] || fail "a manoeuvre line without its type's words: $bad"
grep -q '(unknown)' "$work/stored.txt" && fail "a manoeuvre of a type without words"

# gpx-roundtrip prints a point's place as it writes it back, and its type
# in hex as hex looks.
printf '<?xml version="1.0"?>\n<gpx version="1.1" creator="t" xmlns="http://www.topografix.com/GPX/1/1">\n%s\n</gpx>\n' \
  '<wpt lat="12.3" lon="-7.25"><name>A</name></wpt>' >"$work/one.gpx"
(cd "$work" && build/tools/gpx-roundtrip one.gpx build/one-out.gpx) >"$work/one.txt" 2>&1 || fail "gpx-roundtrip one.gpx"
[ "$(cut -f 1-3,5 "$work/one.txt")" = $'A\t12.3\t-7.25\t0x6613' ] ||
  fail "gpx-roundtrip printed '$(cat "$work/one.txt")' for lat=12.3 lon=-7.25 (the default type, 6613)"
grep -qF '<wpt lat="12.3" lon="-7.25">' "$work/build/one-out.gpx" || fail "gpx-roundtrip wrote the point elsewhere"
cmp -s <(grep -v '^manoeuvre ' "$work/stored.txt") <(route --path build/app/data/maps/monaco/path.kvp || true) ||
  fail "without --manoeuvres the stored route prints other lines than with it, less the manoeuvres"

# Every command of the README that names a tool is in the table above.
while IFS= read -r line; do
  line=${line#    }
  found=0
  for row in "${commands[@]}"; do [[ ${row%% @@ *} == "$line" ]] && found=1; done
  [ $found -eq 1 ] || fail "the README's command is not tried here: $line"
done < <(grep -E '^    build/tools/' "$readme")

# docs/README.md lists every page of docs/, and only pages that are there.
for page in "$source_dir"/docs/*.md; do
  name=$(basename "$page")
  [ "$name" = README.md ] || grep -qF "]($name)" "$source_dir/docs/README.md" || fail "docs/README.md does not list $name"
done
while IFS= read -r linked; do
  [ -e "$source_dir/docs/$linked" ] || fail "docs/README.md lists $linked, which is not there"
done < <(grep -o '](\([^)]*\))' "$source_dir/docs/README.md" | sed 's/^](//; s/)$//')
# The README's Layout gives every folder of the repository a line.
layout=$(sed -n '/^## Layout/,/^## [^L]/p' "$readme")
while IFS= read -r folder; do
  grep -qF -- "- \`$(basename "$folder")/\`: " <<<"$layout" || fail "the README's Layout has no line for $(basename "$folder")/"
done < <(find "$source_dir" -mindepth 1 -maxdepth 1 -type d ! -name .git ! -name 'build*')

# Build commands take their jobs from MIREL_JOBS, as the README promises,
# never a number of their own.
while IFS= read -r line; do
  fail "a build command with a fixed number of jobs: $line"
done < <(cd "$source_dir" && grep -nE -- '^    .*(cmake --build|make|ctest) .*-j ?[0-9]' README.md docs/*.md || true)

passed "${#commands[@]} README commands ran"
