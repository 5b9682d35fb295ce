#!/usr/bin/env bash
# Installs the missing dependencies, builds everything and runs every test:
# the normal build's whole suite (every benchmark program once among it,
# label "bench"), then the suites of the file readers and
# parsers again under AddressSanitizer and UndefinedBehaviorSanitizer, then a
# short coverage-guided fuzzing run of every reader of outside data.
# Every stage runs even when an earlier one failed, so that one failure does
# not hide the others; the script ends with an error naming the stages that
# failed.
# MIREL_JOBS limits the build's and the tests' jobs (default: the number of
# cores).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${MIREL_JOBS:-$(nproc)}
export MIREL_JOBS=$jobs
bash tools/install-deps.sh

# Folders whose suites also run instrumented.
sanitized=(
  platform
  core
  ui
  positioning
  routing
  guidance
  search
  render
  map
  app
  userdata
)

# The optimised build is the one tools/run-demo.sh builds too (same folder,
# same flags).
release_build() {
  bash tools/configure-build.sh
  cmake --build build -j"$jobs"
}
release_suite() {
  cd build
  ctest --output-on-failure -j"$jobs"
}
# The sanitizer build favours compile time: -O0 with line tables.
sanitizer_build() {
  local targets=()
  for folder in "${sanitized[@]}"; do targets+=("mirel_${folder}_tests"); done
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g1" -DMIREL_SANITIZE=ON \
    -DMIREL_BUILD_BENCH=OFF
  cmake --build build-asan -j"$jobs" --target "${targets[@]}"
}
sanitizer_suites() {
  local labels
  labels=$(IFS='|'; echo "${sanitized[*]}")
  cd build-asan
  ctest --output-on-failure -j"$jobs" -L "^(${labels})\$"
}
# Coverage-guided fuzzing of the readers, briefly, when clang is there.
fuzzing() {
  if command -v clang++ >/dev/null 2>&1; then
    bash tools/fuzz.sh 20
  else
    echo "run-tests: clang++ is missing, no fuzzing"
  fi
}

failed=()
# A stage in a subshell of its own, which stops at its first failing
# command; its failure is noted and the next stage runs all the same. (A
# subshell tested by || or if would not stop: bash ignores -e inside it.)
stage() {
  local name=$1 status
  echo "run-tests: $name"
  set +e
  (
    set -e
    "$2"
  )
  status=$?
  set -e
  [ $status -eq 0 ] || failed+=("$name")
}
stage "the Release build" release_build
stage "the Release suite" release_suite
stage "the sanitizer build" sanitizer_build
stage "the sanitizer suites" sanitizer_suites
stage "fuzzing" fuzzing

if [ ${#failed[@]} -gt 0 ]; then
  names=$(printf '%s, ' "${failed[@]}")
  echo "run-tests: FAILED: ${names%, }"
  exit 1
fi
echo "run-tests: every stage passed"
