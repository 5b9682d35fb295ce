#!/usr/bin/env bash
# Runs a test program with its arguments at another hour, as a newcomer's
# plain faketime runs the suite: every clock shifted, the monotonic one too.
# A wait that must not follow the wall clock still ends when it should; one
# that read a shifted clock and slept on the real one would hang until the
# real clock reached the shifted deadline, and is cut off here. Skipped (77)
# where faketime is missing.
# Usage: at_another_hour.sh PROGRAM [ARGUMENT...]
set -euo pipefail
command -v faketime >/dev/null || { echo "SKIPPED: faketime is not installed"; exit 77; }
# The sanitizer build's runtime must come first among the libraries, and
# faketime's is preloaded before it: the check is left out.
export ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0
status=0
SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 120 faketime '2026-12-09 14:20:00' "$@" || status=$?
[ "$status" -ne 124 ] || echo "FAIL: still waiting after 120 s"
exit "$status"
