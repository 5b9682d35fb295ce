# Shared set-up of the window tests, sourced with the program's path and
# the tools the test needs: skips (77) when a tool is missing, copies the
# program and its data folder into a fresh folder ($work) with a settings
# file that logs the progress lines, starts a display of its own (Xvfb
# writes the number it took) and cleans everything up on exit. The test
# sets $mirel_pid for the program it starts.
window_setup() {
  local program=$1
  shift
  for tool in Xvfb "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "SKIPPED: $tool is not installed"
      exit 77
    fi
  done
  work=$(mktemp -d)
  xvfb_pid=
  mirel_pid=
  trap window_cleanup EXIT
  cp "$program" "$work/mirel"
  cp -r "$(dirname "$program")/data" "$work/data"
  # The progress lines the tests wait for are written from severity 3 on.
  # Day colours at any hour: the automatic switch would follow the clock.
  printf '<?xml version="1.0" encoding="utf-8"?>\n<config version="2">\n<var name="log_severity" value="3"/>\n<var name="auto_dn" value="0"/>\n</config>\n' >"$work/data/config.xml"
  exec 3<> <(:)
  # -noreset: an X server resets when its last client leaves, and SDL's
  # start closes one connection just before it opens the next.
  Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  read -r -t 10 display <&3 || { echo "FAIL: Xvfb did not start"; exit 1; }
  export DISPLAY=":$display"
  export XDG_RUNTIME_DIR="$work"
  export SDL_AUDIODRIVER=dummy
}

window_cleanup() {
  [ -n "$mirel_pid" ] && kill -9 "$mirel_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}

fail() {
  echo "FAIL: $*"
  [ -f "$work/log.txt" ] && tail -n 40 "$work/log.txt"
  exit 1
}
