#!/usr/bin/env bash
# Runs a test program with its arguments at another hour, as a newcomer's
# faketime runs the suite: twice, once with every clock shifted, the
# monotonic one too (a plain faketime), once with the monotonic clock left
# alone (FAKETIME_DONT_FAKE_MONOTONIC=1, which docs/tests.md offers). A wait
# that must not follow the wall clock ends when it should with either: one
# that read a shifted clock and slept on the real one would hang until the
# real clock reached the shifted deadline, and is cut off here; one whose
# deadline the library shifts on one side only ends at once, which the
# tests' lower bounds on their waits catch. Skipped (77) where faketime is
# missing.
# Usage: at_another_hour.sh PROGRAM [ARGUMENT...]
set -euo pipefail
command -v faketime >/dev/null || { echo "SKIPPED: faketime is not installed"; exit 77; }
# The sanitizer build's runtime must come first among the libraries, and
# faketime's is preloaded before it: the check is left out.
export ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0
failed=0
for monotonic in shifted alone; do
    echo "== at 14:20 with the monotonic clock $monotonic"
    status=0
    if [ "$monotonic" = alone ]; then
        FAKETIME_DONT_FAKE_MONOTONIC=1 SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
            timeout 120 faketime '2026-12-09 14:20:00' "$@" || status=$?
    else
        SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 120 faketime '2026-12-09 14:20:00' "$@" || status=$?
    fi
    [ "$status" -ne 124 ] || echo "FAIL: still waiting after 120 s with the monotonic clock $monotonic"
    [ "$status" -eq 0 ] || failed=$status
done
exit "$failed"
