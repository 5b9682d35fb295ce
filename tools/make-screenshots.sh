#!/usr/bin/env bash
# Draws the project's screenshots (docs/screenshots/):
# - the Monaco atlas over the town centre at 50, 200 and 1000 metres per 40
#   pixels, 2D and 3D, day and night, through tools/render-atlas;
# - the real program in a virtual X server (Xvfb, which picks a free display
#   itself): its main menu, its map page at street level with a route across
#   Monaco (stored beforehand by route-atlas --save), and the demo drive
#   along that route.
# Both work on a copy of the program's folder: the build's own data folder is
# left as it is.
# Pictures are converted to PNG by ImageMagick.
# --check builds nothing and writes nothing into docs/: it draws the atlas
# frames of a built BUILD_FOLDER again and fails, naming them, when the
# tracked pictures no longer show what the build draws (pixel by pixel;
# the frames are the same on every run, the window's pictures are not and
# are left out). The test suite runs it (tests/tools).
#
#   bash tools/make-screenshots.sh [--frames | --program | --check] [BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
what=all
case ${1:-} in
  --frames) what=frames; shift ;;
  --program) what=program; shift ;;
  --check) what=check; shift ;;
esac
build=${1:-build}
tools=(convert compare xwd Xvfb xdotool)
[[ $what == frames || $what == check ]] && tools=(convert compare)
for tool in "${tools[@]}"; do
  if ! command -v "$tool" >/dev/null; then
    echo "make-screenshots: $tool is needed (bash tools/install-deps.sh installs it)" >&2
    exit 1
  fi
done
[[ $what != check ]] && cmake --build "$build" -j"${MIREL_JOBS:-$(nproc)}" --target mirel render-atlas route-atlas
tracked=docs/screenshots
out=$tracked
mkdir -p "$out"
work=$(mktemp -d)
xvfb_pid=
mirel_pid=
cleanup() {
  [ -n "$mirel_pid" ] && kill "$mirel_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# The program on a copy of its folder, starting as on a first run.
home=$work/mirel
mkdir -p "$home"
[[ $what == all || $what == program ]] && cp "$build/app/mirel" "$home/"
cp -r "$build/app/data" "$home/data"
rm -f "$home/data/config.xml" "$home/data/maps/"*/camera.kvc "$home/data/maps/"*/path.kvp

# The atlas frames, drawn into the folder $out.
frames() {
  local frame=$work/frame.bmp
  for view in 2d 3d; do
    for light in day night; do
      for scale in 50 200 1000; do
        args=(--centre 43.7384,7.4246 --scale "$scale")
        [[ $view == 3d ]] && args+=(--3d)
        [[ $light == night ]] && args+=(--night)
        "$build/tools/render-atlas" "$home/data/maps/monaco" "$frame" "${args[@]}" --data "$home/data" >/dev/null
        # -strip: no time stamps, so the same frame gives the same file.
        convert "$frame" -strip "$out/monaco-$view-$light-$scale.png"
      done
    done
  done
}

# A display of its own: Xvfb writes the number it took to the descriptor,
# and -noreset keeps it from resetting when a client leaves (SDL's start
# closes one connection just before it opens the next).
start_display() {
  exec 3<> <(:)
  Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  local display
  read -r -t 10 display <&3 || { echo "make-screenshots: Xvfb did not start" >&2; exit 1; }
  exec 3<&-
  export DISPLAY=":$display"
}

# The program's window (its 800 x 480 pixels), after it has settled.
shot() {
  sleep 1.5
  xwd -id "$window" -silent >"$work/shot.xwd"
  convert "xwd:$work/shot.xwd" -crop 800x480+0+0 +repage -strip "$out/$1.png"
}

program() {
  # The first run's settings, with the progress lines in the log.
  sed 's|</config>|\t<var name="log_severity" value="3" />\n</config>|' data/config.default.xml >"$home/data/config.xml"
  # A route from the Place du Casino to the harbour, with the map framed
  # on it.
  "$build/tools/route-atlas" "$home/data/maps/monaco" 43.7393,7.4275 43.7356,7.4220 --save \
    --data "$home/data" >/dev/null
  start_display
  (cd "$home" && XDG_RUNTIME_DIR=$work SDL_AUDIODRIVER=dummy exec ./mirel) >"$work/mirel.txt" 2>&1 &
  mirel_pid=$!
  for _ in $(seq 300); do
    grep -q "after initInterface" "$home/log.txt" 2>/dev/null && break
    kill -0 "$mirel_pid" 2>/dev/null || { echo "make-screenshots: the program ended" >&2; tail "$home/log.txt" >&2; exit 1; }
    sleep 0.1
  done
  window=$(xdotool search --sync --pid "$mirel_pid" | head -n 1)
  shot mirel-main-menu
  # The main menu's "Map".
  xdotool mousemove --window "$window" 140 170 click 1
  shot mirel-map-route
  # The map menu's "Route demo": the car drives the route, guided.
  xdotool mousemove --window "$window" 36 32 click 1
  sleep 1
  xdotool mousemove --window "$window" 130 193 click 1
  sleep 4
  shot mirel-demo-drive
  kill -TERM "$mirel_pid"
  wait "$mirel_pid" || true
  mirel_pid=
}

# Draws the frames apart and compares each with its tracked picture.
check() {
  out=$work/drawn
  mkdir -p "$out"
  frames
  local stale=0 picture differing
  for picture in "$out"/*.png; do
    picture=$(basename "$picture")
    if [ ! -f "$tracked/$picture" ]; then
      echo "make-screenshots: $tracked/$picture is missing"
      stale=$((stale + 1))
    elif ! differing=$(compare -metric AE "$tracked/$picture" "$out/$picture" null: 2>&1); then
      echo "make-screenshots: $tracked/$picture no longer matches what the build draws (${differing} pixels differ)"
      stale=$((stale + 1))
    fi
  done
  if [ $stale -ne 0 ]; then
    echo "make-screenshots: $stale tracked pictures are out of date: bash tools/make-screenshots.sh --frames draws them anew"
    exit 1
  fi
  echo "make-screenshots: the $(ls "$out" | wc -l) tracked atlas frames match what the build draws"
}

if [[ $what == check ]]; then
  check
  exit 0
fi
[[ $what != program ]] && frames
[[ $what != frames ]] && program
echo "screenshots written to $out/"
