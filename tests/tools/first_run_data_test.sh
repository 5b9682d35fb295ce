#!/usr/bin/env bash
# A data folder copied as a first run finds it (tools/first-run-data.sh):
# every file the build wrote is there as it was, nothing a driver leaves
# there is (settings, the atlas list, favourites, linked ports, and in each
# atlas its view, routes and search history); --atlas does the same for a
# copy of one atlas. And every script or test that copies the build's data
# folder to start the program on goes through it.
# Usage: first_run_data_test.sh SOURCE_FOLDER
set -euo pipefail
source_dir=$1
script=$source_dir/tools/first-run-data.sh
source "$(dirname "$0")/script_test_common.sh"
listing() {
  (cd "$1" && find . -printf '%y %p %l\n' | LC_ALL=C sort &&
    find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum)
}

# What the build writes: data files, two atlases with their maps and
# text-search indexes.
built=$work/built
mkdir -p "$built/maps/demo" "$built/maps/monaco" "$built/skin" "$built/sounds"
for file in config.default.xml messages.xml skin/design800x480.xml sounds/turn.wav maps/demo/demo-town.kvm \
  maps/demo/TextSearch.tsi maps/monaco/monaco.kvm; do
  echo "$file" >"$built/$file"
done
# A driver's folder: the same, and what a drive, a search and the settings
# leave.
driven=$work/driven
cp -r "$built" "$driven"
mkdir -p "$driven/ports"
ln -s /dev/null "$driven/ports/COM7"
for file in config.xml atlas.xml favorites.kvf maps/demo/camera.kvc maps/demo/path.kvp maps/demo/TextSearch.tsh \
  maps/monaco/camera.kvc maps/monaco/path.kvp "maps/monaco/Casino - Port.kvp" maps/monaco/TextSearch.tsh; do
  echo "a driver's $file" >"$driven/$file"
done

bash "$script" "$driven" "$work/copy" || fail "the copy failed"
[ "$(listing "$work/copy")" = "$(listing "$built")" ] ||
  fail "the copy is not the build's folder: $(diff <(listing "$built") <(listing "$work/copy") | grep '^[<>]' | head -n 5)"
[ "$(listing "$driven/maps/monaco")" != "$(listing "$built/maps/monaco")" ] || fail "the driver's folder was changed"
bash "$script" "$driven" "$work/copy" 2>/dev/null && fail "a copy over a folder already there went on"
bash "$script" "$driven" "$work/new/try/data" || fail "a copy into a folder not made yet failed"
[ "$(listing "$work/new/try/data")" = "$(listing "$built")" ] || fail "the copy into a new folder is not the build's"

cp -r "$driven/maps/monaco" "$work/atlas"
bash "$script" --atlas "$work/atlas" || fail "--atlas failed"
[ "$(listing "$work/atlas")" = "$(listing "$built/maps/monaco")" ] || fail "--atlas left a driver's files"

# The rigs: no script copies the build's data folder with cp, no C++ test
# or benchmark with std::filesystem::copy.
while IFS= read -r hit; do
  fail "copies a data folder without tools/first-run-data.sh: $hit"
done < <(cd "$source_dir" && {
  LC_ALL=C grep -rnE --include='*.sh' 'cp -[a-zA-Z]*r[a-zA-Z]* [^ ]*(app|dirname "\$program"\))/data' tests tools bench || true
  grep -rnE --include='*.cpp' --include='*.h' 'copy\([^;]*MIREL_PROGRAM_DIR' tests bench || true
})

passed "the data folder is copied as a first run finds it"
