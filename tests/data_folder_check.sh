#!/usr/bin/env bash
# The build's data folder is shared by every test: tests copy what they
# change. "snapshot" lists every entry of the folder with the hash of each
# file before the first test; "compare" lists it again after the last one
# and fails, naming the entries, when anything was added, removed or changed.
# Usage: data_folder_check.sh snapshot|compare DATA_FOLDER LISTING
set -euo pipefail
mode=$1
data=$2
listing=$3

list() {
  (cd "$data" && find . -printf '%y %p\n' | LC_ALL=C sort &&
    find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum)
}

[ -d "$data" ] || { echo "FAIL: no data folder at $data"; exit 1; }
case $mode in
  snapshot)
    list >"$listing.new"
    mv "$listing.new" "$listing"
    echo "$(grep -c '^f ' "$listing") files listed in $data"
    ;;
  compare)
    [ -f "$listing" ] || { echo "FAIL: no listing at $listing (the snapshot test did not run)"; exit 1; }
    if ! changes=$(diff "$listing" <(list)); then
      echo "FAIL: the tests changed the build's data folder $data:"
      echo "$changes"
      exit 1
    fi
    echo "PASS: $data is as it was before the tests"
    ;;
  *)
    echo "usage: $0 snapshot|compare DATA_FOLDER LISTING" >&2
    exit 2
    ;;
esac
