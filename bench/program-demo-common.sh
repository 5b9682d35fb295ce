# Sourced by the benchmarks of the program's route demo (program-demo-*.sh):
# the work folder with a copy of a build's program and data folder, Monaco's
# map page and a route across the town stored by the same build's
# route-atlas, Xvfb, and the taps that start the demo.

# demo_setup PROGRAM ROUTE_ATLAS LOG_SEVERITY TOOL...: checks the tools,
# makes $work (removed at exit with the program and Xvfb: $mirel_pid,
# $xvfb_pid), starts Xvfb and exports its display and the sound settings.
demo_setup() {
  local program route_atlas severity tool
  program=$(readlink -f "$1") route_atlas=$(readlink -f "$2") severity=$3
  shift 3
  for tool in Xvfb xdotool "$@"; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 77; }
  done
  work=$(mktemp -d)
  xvfb_pid= mirel_pid=
  trap demo_cleanup EXIT
  cp "$program" "$work/mirel"
  bash "$(dirname "${BASH_SOURCE[0]}")/../tools/first-run-data.sh" "$(dirname "$program")/data" "$work/data"
  printf '<?xml version="1.0" encoding="utf-8"?>\n<config version="2">\n<var name="log_severity" value="%s"/>\n<var name="auto_dn" value="0"/>\n<var name="map_start" value="1"/>\n<var name="atlas" value="maps\\monaco"/>\n</config>\n' \
    "$severity" >"$work/data/config.xml"
  # From Fontvieille to Rue Grimaldi (La Condamine), about a kilometre.
  "$route_atlas" "$work/data/maps/monaco" 43.72641,7.41610 43.73398,7.41856 --save --data "$work/data" >/dev/null
  exec 3<> <(:)
  Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  read -r -t 10 display <&3 || { echo "Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$display" XDG_RUNTIME_DIR="$work"
  export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null SDL_DISKAUDIODELAY=46
}

demo_cleanup() {
  for pid in $mirel_pid $xvfb_pid; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}

# demo_launch COUNTER: starts the program with the flip counter COUNTER
# preloaded (its count in $work/flips) and waits for its window ($window).
demo_launch() {
  (cd "$work" && MIREL_FLIP_COUNT="$work/flips" LD_PRELOAD="$1" exec ./mirel) >"$work/stdout.txt" 2>&1 &
  mirel_pid=$!
  window=
  for _ in $(seq 300); do
    window=$(xdotool search --pid "$mirel_pid" 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    kill -0 "$mirel_pid" 2>/dev/null || { echo "the program ended" >&2; exit 1; }
    sleep 0.1
  done
  [ -n "$window" ] || { echo "no window" >&2; exit 1; }
}

# demo_zoom WINDOW: zooms in to the streets (about 150 m per scale bar).
demo_zoom() {
  for _ in $(seq 11); do
    xdotool mousemove --window "$1" 400 300 click 4
    sleep 0.3
  done
}

# demo_start WINDOW: zooms in and starts the route demo (the map menu's
# third item).
demo_start() {
  sleep 3
  demo_zoom "$1"
  sleep 1
  xdotool mousemove --window "$1" 36 32 click 1
  sleep 1.5
  xdotool mousemove --window "$1" 138 181 click 1
}
