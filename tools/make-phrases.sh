#!/usr/bin/env bash
# Writes the demo's phrase pack: one short WAV (22050 Hz, mono, 16-bit) per
# "sound" line of sounds.xml that carries a "say" text (spoken by espeak-ng's
# British English voice, the language of the demo's screens) or a "tone"
# (synthesised by sox). Both tools and their options give the same bytes on
# every run.
#
# espeak-ng closes every text with about 0.4 s of digital silence (and opens
# it with a little): the player chains phrases word by word, so a warning of
# five words would carry two seconds of dead air. The silence is cut at both
# ends at -60 dB (a few units of 32768), far below the softest consonant, so
# the words stay whole; a short tail is kept so that chained words do not
# run into each other.
#
# Usage: make-phrases.sh <sounds.xml> <data folder>
# Without espeak-ng or sox it says so and writes nothing: the program then
# runs with sounds that fail to load (logged), and the tests that play the
# pack skip.
set -uo pipefail
schema=$1
data=$2
for tool in espeak-ng sox; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "make-phrases: $tool is not installed; no demo phrases written" >&2
    exit 0
  fi
done
mkdir -p "$data/sounds"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
while IFS= read -r line; do
  src=$(sed -n 's/.* src="\([^"]*\)".*/\1/p' <<<"$line")
  say=$(sed -n 's/.* say="\([^"]*\)".*/\1/p' <<<"$line")
  tone=$(sed -n 's/.* tone="\([^"]*\)".*/\1/p' <<<"$line")
  [[ -z "$src" ]] && continue
  raw="$tmp/raw.wav"
  if [[ -n "$say" ]]; then
    espeak-ng -v en-gb -s 150 -w "$raw" "$say" || { failed=1; continue; }
  elif [[ -n "$tone" ]]; then
    # shellcheck disable=SC2086 # the tone is a list of sox synth arguments
    sox -n -r 22050 -b 16 -c 1 "$raw" synth $tone vol 0.5 || { failed=1; continue; }
  else
    continue
  fi
  sox -D "$raw" -r 22050 -c 1 -b 16 "$tmp/out.wav" \
    silence 1 0.002 -60d reverse silence 1 0.002 -60d reverse pad 0 0.02 && mv "$tmp/out.wav" "$data/$src" || failed=1
done < <(grep '<sound ' "$schema")
if [[ $failed != 0 ]]; then
  echo "make-phrases: some phrases could not be made" >&2
fi
exit 0
