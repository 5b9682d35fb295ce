#!/usr/bin/env bash
# Installs the missing dependencies, builds everything and runs every test:
# the normal build's whole suite (every benchmark program once among it,
# label "bench"), then the suites of the file readers and
# parsers again under AddressSanitizer and UndefinedBehaviorSanitizer, then a
# short coverage-guided fuzzing run of every reader of outside data.
# MIREL_JOBS limits the build's and the tests' jobs (default: the number of
# cores).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${MIREL_JOBS:-$(nproc)}
export MIREL_JOBS=$jobs
bash tools/install-deps.sh

# The optimised build is the one tools/run-demo.sh builds too (same folder,
# same flags). The sanitizer build favours compile time: -O0 with line
# tables.
bash tools/configure-build.sh
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

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
targets=()
for folder in "${sanitized[@]}"; do targets+=("mirel_${folder}_tests"); done
labels=$(IFS='|'; echo "${sanitized[*]}")
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g1" -DMIREL_SANITIZE=ON \
  -DMIREL_BUILD_BENCH=OFF
cmake --build build-asan -j"$jobs" --target "${targets[@]}"
(cd build-asan && ctest --output-on-failure -j"$jobs" -L "^(${labels})\$")

# Coverage-guided fuzzing of the readers, briefly, when clang is there.
if command -v clang++ >/dev/null 2>&1; then
  bash tools/fuzz.sh 20
fi
