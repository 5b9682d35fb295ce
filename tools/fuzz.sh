#!/usr/bin/env bash
# Coverage-guided fuzzing of every reader of outside data: builds the
# libFuzzer entry points of tests/fuzz with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer), writes their seed corpora from the project's
# own fixtures and data, and runs each target for SECONDS (default 20), the
# targets in parallel over the cores. A crash, a sanitizer report, a broken
# check, a hang or a leak fails the run; the input that caused it is kept in
# build-fuzz/fuzz/findings/. Prints executions and coverage per target.
# MIREL_JOBS limits the build's jobs, MIREL_FUZZ_JOBS the targets run at
# once (both default to the number of cores).
#   tools/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
jobs=${MIREL_FUZZ_JOBS:-${MIREL_JOBS:-$(nproc)}}
build_jobs=${MIREL_JOBS:-$(nproc)}
testdata=$(pwd)/tests/data
targets=(map atlas_xml camera_kvc config_xml danger_text danger_index nmea styles buttons devices_inf messages zip
         name_tree font bmp sounds design designs_list kb_layouts track path tsi gpx online)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1" \
  -DMIREL_FUZZ=ON -DMIREL_BUILD_TESTS=OFF -DMIREL_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$build_jobs" --target mirel_fuzz_seeds "${targets[@]/#/fuzz_}"

work=build-fuzz/fuzz
rm -rf "$work"
mkdir -p "$work/seeds" "$work/corpus" "$work/findings" "$work/logs"
build-fuzz/tests/fuzz/mirel_fuzz_seeds "$work/seeds" . "$testdata"

run_target() {
  local target=$1 seconds=$2 work=$3 maxLen=65536
  # A font seed is a whole TrueType file.
  [[ $target == font ]] && maxLen=1048576
  mkdir -p "$work/corpus/$target" "$work/seeds/$target"
  SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    "build-fuzz/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=3072 \
    -max_len="$maxLen" -print_final_stats=1 -artifact_prefix="$work/findings/$target-" \
    "$work/corpus/$target" "$work/seeds/$target" >"$work/logs/$target.log" 2>&1
  local rc=$?
  local done execs
  done=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$work/logs/$target.log" | tail -1 || true)
  execs=$(grep -E '^stat::number_of_executed_units:' "$work/logs/$target.log" | awk '{print $2}' || true)
  if [[ $rc -ne 0 ]]; then
    echo "FINDING $target (exit $rc): see $work/logs/$target.log and $work/findings/"
    grep -E 'ERROR|SUMMARY|runtime error|deadly signal|Test unit written' "$work/logs/$target.log" | head -8
    return 1
  fi
  printf '%-13s %10s executions  %s\n' "$target" "${execs:-?}" "$(grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+/[0-9A-Za-z]+' <<<"$done")"
}
export -f run_target

status=0
printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c 'run_target "$@"' _ {} "$seconds" "$work" || status=1
if [[ $status -ne 0 ]]; then
  echo "fuzzing found faults" >&2
  exit 1
fi
echo "fuzzing: no findings in ${#targets[@]} targets, ${seconds}s each"
