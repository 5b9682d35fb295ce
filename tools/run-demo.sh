#!/usr/bin/env bash
# Installs the dependencies, builds the navigator and starts it on the
# bundled demo data folder (build/app/data).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIREL_BUILD_TESTS=OFF -DMIREL_BUILD_BENCH=OFF
cmake --build build -j"$(nproc)" --target mirel render-atlas nmea-replay
if [ -z "${DISPLAY:-}" ]; then
  cat <<'TXT'
Mirel is built, but this session has no display to open its window on.
Run it in a virtual display and look at it with a screenshot:
    Xvfb :7 -screen 0 1024x768x24 & DISPLAY=:7 ./build/app/mirel &
    sleep 3; DISPLAY=:7 xwd -root -silent | convert xwd:- mirel.png
or, with a VNC viewer at hand, start it under any X server by DISPLAY=... ./build/app/mirel
TXT
  exit 1
fi
exec ./build/app/mirel "$@"
