#!/usr/bin/env bash
# Draws the project's screenshots (docs/screenshots/):
# - the Monaco atlas over the town centre at 50, 200 and 1000 metres per 40
#   pixels, 2D and 3D, day and night, through tools/render-atlas;
# - the real program in a virtual X server (Xvfb, which picks a free display
#   itself), by day whatever the hour: its main menu, its map page at street
#   level with a route across Monaco (stored beforehand by route-atlas
#   --save), and the demo drive along that route, caught where guidance
#   warns of the route's second turn.
# Both work on a copy of the program's folder: the build's own data folder is
# left as it is.
# Pictures are converted to PNG by ImageMagick.
# --check builds nothing and writes nothing into docs/: it draws the atlas
# frames of a built BUILD_FOLDER again and fails, naming them, when the
# tracked pictures no longer show what the build draws (pixel by pixel: the
# frames are the same on every run).
# --check-program does the same for the program's pictures, which the README
# shows (and fails when the README shows a picture that neither check
# remakes). The main menu and the map with its route are the same on every
# run and are compared pixel by pixel. The demo car moves in real time and
# the map turns with it, so the frame caught at the warning differs from
# run to run by where the car is when the program stops (a few metres on a
# busy machine, the map moved and turned under it by a pixel or two): the
# picture may differ in an eighth of its pixels (1,700 to 22,000 of
# 384,000 were seen with two busy loops beside the run; a stale picture
# differed in 276,000); what the driver reads there, the streets in the top
# boxes, the turn and its distance, the distance to the turn, the scale,
# in a hundredth of each panel's pixels (the map shows through them), the
# time to the turn and the speed not at all (they change by a unit within
# a few frames); and the route must be drawn as widely as on the tracked
# picture (half to twice its pixels).
# Exits 77 when Xvfb, xwd or xdotool is missing. The test suite runs both
# (tests/tools).
#
#   bash tools/make-screenshots.sh [--frames | --program | --check | --check-program] [BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
# ImageMagick finds its formats (xwd:, null:) and options by names compared
# under the locale's case rules, and under tr_TR.UTF-8 finds none: it runs
# in the C locale, the program in the caller's.
convert() { LC_ALL=C command convert "$@"; }
compare() { LC_ALL=C command compare "$@"; }
what=all
case ${1:-} in
  --frames) what=frames; shift ;;
  --program) what=program; shift ;;
  --check) what=check; shift ;;
  --check-program) what=check-program; shift ;;
esac
build=${1:-build}
tools=(convert compare xwd Xvfb xdotool)
[[ $what == frames || $what == check ]] && tools=(convert compare)
for tool in "${tools[@]}"; do
  if ! command -v "$tool" >/dev/null; then
    echo "make-screenshots: $tool is needed (bash tools/install-deps.sh installs it)" >&2
    [[ $what == check-program ]] && exit 77
    exit 1
  fi
done
[[ $what != check* ]] && cmake --build "$build" -j"${MIREL_JOBS:-$(nproc)}" --target mirel render-atlas route-atlas
tracked=docs/screenshots
mkdir -p "$tracked"
work=$(mktemp -d)
# Pictures are taken into $out, then compared with or placed among the
# tracked ones.
out=$work/taken
mkdir -p "$out"
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
[[ $what == all || $what == *program ]] && cp "$build/app/mirel" "$home/"
bash tools/first-run-data.sh "$build/app/data" "$home/data"

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

# The program's window (its 800 x 480 pixels) as it stands.
grab() {
  xwd -id "$window" -silent >"$work/shot.xwd"
  convert "xwd:$work/shot.xwd" -crop 800x480+0+0 +repage -strip "$1"
}

# The window once it has settled, as the picture FILE: grabbed until three
# grabs half a second apart are the same (a page that still loads its map
# changes between them) and, when a PREVIOUS picture is given, differ from
# it (the program has answered the tap); 30 s at the most.
shot() {
  local file=$1 previous=${2:-} last=$work/last.png now=$work/now.png same=0
  grab "$last"
  for _ in $(seq 60); do
    sleep 0.5
    grab "$now"
    if cmp -s "$last" "$now" && { [ -z "$previous" ] || ! cmp -s "$now" "$previous"; }; then
      same=$((same + 1))
    else
      same=0
    fi
    mv "$now" "$last"
    if [ $same -eq 2 ]; then
      mv "$last" "$file"
      return 0
    fi
  done
  echo "make-screenshots: the window did not settle for $(basename "$file")" >&2
  exit 1
}

# Waits until the program's log holds a line (an extended regular
# expression) from a line number on (1 unless given), for 60 s at the most;
# prints the number of the line found.
wait_for_log() {
  local line
  for _ in $(seq 3000); do
    line=$(tail -n "+${2:-1}" "$home/log.txt" 2>/dev/null | grep -nE -m 1 -- "$1" | cut -d: -f1 || true)
    if [ -n "$line" ]; then
      echo $((line + ${2:-1} - 1))
      return 0
    fi
    kill -0 "$mirel_pid" 2>/dev/null || { echo "make-screenshots: the program ended" >&2; tail "$home/log.txt" >&2; exit 1; }
    sleep 0.02
  done
  echo "make-screenshots: no '$1' in the program's log" >&2
  exit 1
}

program() {
  # The first run's settings, with the progress lines in the log, by day
  # at any hour (the sun over Monaco would switch the colours at night).
  sed 's|</config>|\t<var name="log_severity" value="3" />\n\t<var name="auto_dn" value="0" />\n</config>|' \
    data/config.default.xml >"$home/data/config.xml"
  # A route from the Place du Casino to the harbour, with the map framed
  # on it.
  "$build/tools/route-atlas" "$home/data/maps/monaco" 43.7393,7.4275 43.7356,7.4220 --save \
    --data "$home/data" >/dev/null
  start_display
  (cd "$home" && XDG_RUNTIME_DIR=$work SDL_AUDIODRIVER=dummy exec ./mirel) >"$work/mirel.txt" 2>&1 &
  mirel_pid=$!
  wait_for_log "after initInterface" >/dev/null
  window=$(xdotool search --sync --pid "$mirel_pid" | head -n 1)
  shot "$out/mirel-main-menu.png"
  # The main menu's "Map".
  xdotool mousemove --window "$window" 140 170 click 1
  shot "$out/mirel-map-route.png" "$out/mirel-main-menu.png"
  # The map menu's "Route demo": the car drives the route, guided. The
  # picture is the frame on the screen when guidance warns of the second
  # turn (the first turn passed, the next one announced), the program
  # stopped meanwhile so that the car holds still.
  xdotool mousemove --window "$window" 36 32 click 1
  shot "$work/map-menu.png" "$out/mirel-map-route.png"
  xdotool mousemove --window "$window" 130 193 click 1
  local passed
  passed=$(wait_for_log "navi event:RotateEnd[[:space:]]*$")
  wait_for_log "navi event:Rotate[[:space:]]*$" "$passed" >/dev/null
  kill -STOP "$mirel_pid"
  grab "$out/mirel-demo-drive.png"
  kill -CONT "$mirel_pid"
  kill -TERM "$mirel_pid"
  wait "$mirel_pid" || true
  mirel_pid=
}

# Pixels of a region (WxH+X+Y) that differ between two pictures by more
# than a tenth of the colour range.
region_differs() {
  { compare -metric AE -fuzz 10% "$1[$3]" "$2[$3]" null: 2>&1 || true; } | cut -d' ' -f1
}
# Pixels of a picture near a colour (#RRGGBB).
pixels_like() {
  convert "$1" -fuzz 12% -fill black +opaque "$2" -fill white -opaque "$2" -format "%[fx:int(mean*w*h+0.5)]" info:
}

# Whether the picture NAME taken into $out shows what its tracked picture
# shows: the same pixels, or for the moving demo drive the same within the
# tolerances above. Says why not.
matches() {
  local picture=$1 taken=$out/$1 old=$tracked/$1 differing region allowed route tracked_route
  if [ ! -f "$old" ]; then
    echo "make-screenshots: $old is missing"
    return 1
  fi
  if [[ $picture != mirel-demo-drive.png ]]; then
    differing=$(compare -metric AE "$old" "$taken" null: 2>&1) && return 0
    echo "make-screenshots: $old no longer matches what the build shows (${differing} pixels differ)"
    return 1
  fi
  differing=$(region_differs "$old" "$taken" 800x480+0+0)
  if ! [[ $differing =~ ^[0-9]+$ ]] || [ "$differing" -gt $((800 * 480 / 8)) ]; then
    echo "make-screenshots: $old no longer matches the program ($differing pixels differ)"
    return 1
  fi
  # The top boxes, the turn panel, the distance to the turn, the scale.
  for region in 584x64+72+4 200x96+8+72 200x48+592+160 248x48+8+424; do
    differing=$(region_differs "$old" "$taken" "$region")
    allowed=$(( ${region%%x*} * $(echo "$region" | cut -dx -f2 | cut -d+ -f1) / 100 ))
    if ! [[ $differing =~ ^[0-9]+$ ]] || [ "$differing" -gt "$allowed" ]; then
      echo "make-screenshots: $old no longer matches the program in $region ($differing pixels differ, $allowed allowed)"
      return 1
    fi
  done
  route=$(pixels_like "$taken" "#0040FF")
  tracked_route=$(pixels_like "$old" "#0040FF")
  if [ $((route * 2)) -lt "$tracked_route" ] || [ "$route" -gt $((tracked_route * 2)) ]; then
    echo "make-screenshots: $old shows $tracked_route pixels of the route, the program $route"
    return 1
  fi
}

# Puts a picture taken anew among the tracked ones unless the tracked one
# still shows it: a run that changed nothing leaves the tree as it was.
place() {
  matches "$1" >/dev/null && return 0
  cp "$out/$1" "$tracked/$1"
  echo "make-screenshots: $tracked/$1 taken anew"
}

# Draws the frames apart and compares each with its tracked picture. Every
# other tracked picture is one of the program's, which --check-program
# compares, or is shown by a note in docs/ whose test keeps it true: a
# picture nothing shows or checks goes stale unnoticed.
check() {
  frames
  local stale=0 picture
  for picture in "$tracked"/*.png; do
    picture=$(basename "$picture")
    case $picture in
      mirel-main-menu.png|mirel-map-route.png|mirel-demo-drive.png) continue ;;
    esac
    if [ ! -f "$out/$picture" ] && ! grep -qF "$picture" docs/*.md; then
      echo "make-screenshots: $tracked/$picture is neither drawn here nor shown in docs/"
      stale=$((stale + 1))
    fi
  done
  for picture in "$out"/*.png; do
    matches "$(basename "$picture")" || stale=$((stale + 1))
  done
  if [ $stale -ne 0 ]; then
    echo "make-screenshots: $stale tracked pictures are out of date: bash tools/make-screenshots.sh --frames draws them anew"
    exit 1
  fi
  echo "make-screenshots: the $(ls "$out" | wc -l) tracked atlas frames match what the build draws"
}

# Takes the program's pictures apart and compares them with the tracked ones.
check_program() {
  local stale=0 picture
  # Every picture the README shows is remade by one of the two checks.
  for picture in $(grep -o 'docs/screenshots/[^)]*\.png' README.md | sort -u); do
    picture=$(basename "$picture")
    case $picture in
      monaco-*|mirel-main-menu.png|mirel-map-route.png|mirel-demo-drive.png) ;;
      *) echo "make-screenshots: the README shows $picture, which no check remakes"; stale=$((stale + 1)) ;;
    esac
  done
  program
  for picture in mirel-main-menu.png mirel-map-route.png mirel-demo-drive.png; do
    matches "$picture" || stale=$((stale + 1))
  done
  if [ $stale -ne 0 ]; then
    echo "make-screenshots: $stale checks of the program's pictures failed: bash tools/make-screenshots.sh --program takes them anew"
    exit 1
  fi
  echo "make-screenshots: the program's 3 tracked pictures match what it shows"
}

if [[ $what == check ]]; then
  check
  exit 0
fi
if [[ $what == check-program ]]; then
  check_program
  exit 0
fi
[[ $what != program ]] && frames
[[ $what != frames ]] && program
for picture in "$out"/*.png; do
  place "$(basename "$picture")"
done
echo "make-screenshots: the pictures of $tracked/ show what the build draws"
