#!/usr/bin/env bash
# Installs the missing dependencies, builds the navigator with every tool
# the README shows, and starts it on the bundled demo data folder
# (build/app/data). Without a display it ends after the build (a success)
# and says how to see the program in a virtual X server. MIREL_JOBS limits
# the build's jobs (default: the number of cores).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${MIREL_JOBS:-$(nproc)}
bash tools/install-deps.sh
bash tools/configure-build.sh
# The program and the tools of the README (tests/tools/readme_commands_test.sh
# keeps the two lists alike).
tools=(mirel render-atlas nmea-replay search-atlas route-atlas gpx-roundtrip mirel-demo-atlas osm-atlas)
cmake --build build -j"$jobs" --target "${tools[@]}"
if [ -z "${DISPLAY:-}" ]; then
  cat <<'TXT'
Mirel is built, but this session has no display to open its window on.
Run it in a virtual display (Xvfb picks a free one and writes its number)
and keep a picture of its window:
    Xvfb -displayfd 1 -noreset -screen 0 1024x768x24 -nolisten tcp >build/xvfb.display 2>build/xvfb.log &
    sleep 1; export DISPLAY=:$(cat build/xvfb.display)
    ./build/app/mirel &
    sleep 2; xwd -name mirel -silent | convert xwd:- build/mirel.png
or let `bash tools/make-screenshots.sh --program` take the main menu and the
map with a route (docs/screenshots/); with a VNC viewer at hand, start it
under any X server by DISPLAY=... ./build/app/mirel
TXT
  exit 0
fi
exec ./build/app/mirel "$@"
