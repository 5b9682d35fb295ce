#!/usr/bin/env bash
# Installs the dependencies, builds everything and runs every test: the
# normal build's whole suite, then the suites of the file readers and parsers
# again under AddressSanitizer and UndefinedBehaviorSanitizer, then a short
# coverage-guided fuzzing run of every reader of outside data.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
jobs=$(nproc)

# The optimised build is the one whoever builds the project the usual way
# gets: CMake's own Release flags (-O3, where GCC warns differently), named
# so that an older cache cannot hold other ones; no debug information. The
# sanitizer build favours compile time: -O0 with line tables.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O3 -DNDEBUG"
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
