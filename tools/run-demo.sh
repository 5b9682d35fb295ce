#!/usr/bin/env bash
# Installs the dependencies, builds the navigator and starts it on the
# bundled demo data folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIREL_BUILD_TESTS=OFF -DMIREL_BUILD_BENCH=OFF
cmake --build build -j"$(nproc)" --target mirel render-atlas nmea-replay
exec ./build/app/mirel "$@"
