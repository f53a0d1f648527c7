# Sourced by the other scripts: start_xvfb starts a private virtual X server
# with one 800 x 600 screen, exports DISPLAY and Mesa's software renderer, and
# stops the server when the calling script exits.
start_xvfb() {
  local fifo number
  fifo=$(mktemp -u /tmp/brakvane-xvfb-XXXXXX)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
  xvfb_pid=$!
  trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
  read -r number <"$fifo"
  rm -f "$fifo"
  export DISPLAY=":$number" LIBGL_ALWAYS_SOFTWARE=1
}
