#!/usr/bin/env bash
# Copies the program's data folder FROM into TO (a new folder) as a first
# run finds it: what a driver left there stays behind, so that a program
# started on the copy (a test, a screenshot, a benchmark) begins from the
# defaults whatever was done with the original, e.g. by tools/run-demo.sh.
# Left behind are the settings (config.xml), the atlas list of the last
# start (atlas.xml), the favourites, linked receiver ports, and in each
# atlas its view (camera.kvc), its routes (the automatic path.kvp and those
# the Routes page saved, *.kvp) and its search history (TextSearch.tsh).
# With --atlas, removes an atlas folder's own (view, routes, history) from
# FOLDER, a copy of an atlas made elsewhere. TO's parent folders are made
# when missing.
#   tools/first-run-data.sh FROM TO
#   tools/first-run-data.sh --atlas FOLDER
set -euo pipefail
atlas_files() {
  rm -f "$1"/camera.kvc "$1"/*.kvp "$1"/TextSearch.tsh
}
if [ $# -eq 2 ] && [ "$1" = --atlas ]; then
  atlas_files "$2"
  exit 0
fi
if [ $# -ne 2 ] || [ ! -d "$1" ] || [ -e "$2" ]; then
  echo "usage: $0 FROM TO (a data folder and a folder not there yet) | --atlas FOLDER" >&2
  exit 2
fi
mkdir -p "$(dirname "$2")"
cp -r "$1" "$2"
rm -rf "$2/config.xml" "$2/atlas.xml" "$2/favorites.kvf" "$2/ports"
for atlas in "$2"/maps/*/; do
  [ -d "$atlas" ] && atlas_files "$atlas"
done
exit 0
