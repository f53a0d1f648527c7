# Sourced by the desktop compositors' testbeds (mutter.sh, kwin.sh): the
# session a desktop's login gives its compositor, made private, and the
# compositor run in it until SIGTERM.
#   session_start RUNTIME_DIR  RUNTIME_DIR made private (0700) and the
#       compositor's XDG_RUNTIME_DIR, HOME and configuration home (nothing of
#       the machine's is read), a session bus of its own at RUNTIME_DIR/bus
#       (where the tests reach the compositor's own interfaces), and the X
#       sockets' directory a desktop's boot makes.
#   session_run x11|wayland COMMAND...  runs the compositor; with x11 it writes
#       "DISPLAY XAUTHORITY" of its Xwayland to RUNTIME_DIR/xwayland
#       (XAUTHORITY "-" where Xwayland takes no authority file). On SIGTERM
#       the compositor itself is ended (its Xwayland with it), then the
#       virtual X server it draws into ($monitor, if the script started one),
#       then the bus.
session_start() {
  runtime=$1
  mkdir -p "$runtime" && chmod 0700 "$runtime"
  mkdir -p -m 1777 /tmp/.X11-unix
  export XDG_RUNTIME_DIR=$runtime HOME=$runtime XDG_CONFIG_HOME=$runtime/config
  export DBUS_SESSION_BUS_ADDRESS=unix:path=$runtime/bus
  unset DISPLAY WAYLAND_DISPLAY XAUTHORITY
  dbus-daemon --session --address="$DBUS_SESSION_BUS_ADDRESS" --nofork --nopidfile >"$runtime/dbus.log" 2>&1 &
  bus=$!
  for _ in $(seq 100); do [[ -S $runtime/bus ]] && break; sleep 0.05; done
}

session_end() {
  trap - TERM INT EXIT
  kill "$compositor" 2>/dev/null || true
  for _ in $(seq 40); do kill -0 "$compositor" 2>/dev/null || break; sleep 0.05; done
  kill -KILL "$compositor" 2>/dev/null || true
  [[ -z ${monitor:-} ]] || kill "$monitor" 2>/dev/null || true
  kill "$bus" 2>/dev/null || true
  wait 2>/dev/null || true
  exit 0
}

session_run() {
  local path=$1
  shift
  trap session_end TERM INT EXIT
  "$@" &
  compositor=$!
  if [[ $path == x11 ]]; then
    local xwayland= args=() line display= auth=- i j fd inodes=" " inode unix
    for ((i = 0; i < 300; i++)); do
      for stat in /proc/[0-9]*/stat; do
        { read -r line <"$stat"; } 2>/dev/null || continue
        [[ $line =~ ^([0-9]+)\ \(Xwayland\)\ .\ $compositor\  ]] && xwayland=${BASH_REMATCH[1]}
      done
      if [[ -n $xwayland ]]; then
        mapfile -d '' args <"/proc/$xwayland/cmdline"
        for ((j = 0; j < ${#args[@]}; j++)); do
          [[ ${args[j]} =~ ^:[0-9]+$ ]] && display=${args[j]}
          [[ ${args[j]} == -auth ]] && auth=${args[j + 1]}
        done
      elif ((i >= 60)); then
        # KWin 6 starts Xwayland for the first X client: until then the
        # display is the X socket the compositor itself listens on.
        for fd in /proc/"$compositor"/fd/*; do
          [[ $(readlink "$fd") =~ ^socket:\[([0-9]+)\]$ ]] && inodes+="${BASH_REMATCH[1]} "
        done
        while read -r _ _ _ _ _ _ inode unix; do
          [[ $inodes == *" $inode "* && $unix =~ /tmp/\.X11-unix/X([0-9]+)$ ]] && display=:${BASH_REMATCH[1]}
        done </proc/net/unix
      fi
      [[ -n $display ]] && break
      sleep 0.05
    done
    [[ -n $display ]] && echo "$display $auth" >"$runtime/xwayland"
  fi
  wait "$compositor" || true
  session_end
}
