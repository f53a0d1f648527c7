#!/usr/bin/env bash
# Runs a private PipeWire sound server as today's desktops run it, in its own
# directory: a session bus of its own, the PipeWire daemon, WirePlumber as the
# session manager (it links streams to the default sink) and PipeWire's
# PulseAudio server, then one null sink playing 16-bit stereo at the graph's
# rate, made the default. No configuration of the machine's is read: HOME,
# XDG_RUNTIME_DIR and XDG_CONFIG_HOME are DIR.
#   pipewire.sh DIR [QUANTUM [RATE [forced]]]
# QUANTUM: the graph's smallest cycle in frames, 1024 unless given. The graph
# runs at the smallest cycle any client asks for: a desktop where the demo
# plays alone runs at its 1024 frames, but the tests' reader of the monitor,
# in small fragments, would take it down to 128. With `forced` the graph runs
# at QUANTUM whatever its clients ask, as when another client holds it there.
# RATE: the graph's and the sink's rate, 44100 unless given (the demo's own:
# nothing is resampled on the way to the monitor); desktops run 48000.
# DIR is created private (0700). PulseAudio clients reach the server with
# PULSE_SERVER=unix:DIR/pulse/native, PipeWire clients with
# XDG_RUNTIME_DIR=DIR. Stop it with SIGTERM: every process it started ends.
set -euo pipefail
dir=$1
quantum=${2:-1024}
rate=${3:-44100}
maximum=2048
[[ ${4:-} == forced ]] && maximum=$quantum
mkdir -p "$dir"
chmod 0700 "$dir"
export HOME=$dir XDG_RUNTIME_DIR=$dir XDG_CONFIG_HOME=$dir
unset PULSE_SERVER PIPEWIRE_REMOTE DISPLAY WAYLAND_DISPLAY
export DBUS_SESSION_BUS_ADDRESS=unix:path=$dir/bus

# The graph runs at the sink's rate: at 44.1 kHz nothing is resampled on its
# way to the sink's monitor, so what the demo plays is recorded sample for sample.
mkdir -p "$dir/pipewire/pipewire.conf.d"
cat >"$dir/pipewire/pipewire.conf.d/brakvane.conf" <<CONF
context.properties = {
    default.clock.rate = $rate
    default.clock.allowed-rates = [ $rate ]
    default.clock.quantum = $quantum
    default.clock.min-quantum = $quantum
    default.clock.max-quantum = $maximum
}
CONF

# The null sink is the only device: WirePlumber looks for no sound cards,
# MIDI ports, cameras or Bluetooth, whose probing takes 20 s in a root without
# udev. WirePlumber 0.4 reads Lua scripts; 0.5 reads SPA-JSON fragments that
# turn the same monitors off in its profile (and refuses Lua files).
wireplumber_version=$(wireplumber --version | sed -n 's/^Linked with libwireplumber \([0-9]*\.[0-9]*\).*/\1/p')
if [[ $wireplumber_version == 0.4 ]]; then
  mkdir -p "$dir/wireplumber/main.lua.d" "$dir/wireplumber/bluetooth.lua.d"
  cat >"$dir/wireplumber/main.lua.d/51-brakvane.lua" <<LUA
alsa_monitor.enabled = false
v4l2_monitor.enabled = false
libcamera_monitor.enabled = false
LUA
  echo "bluez_monitor.enabled = false" >"$dir/wireplumber/bluetooth.lua.d/51-brakvane.lua"
else
  mkdir -p "$dir/wireplumber/wireplumber.conf.d"
  cat >"$dir/wireplumber/wireplumber.conf.d/51-brakvane.conf" <<CONF
wireplumber.profiles = {
  main = {
    monitor.alsa = disabled
    monitor.alsa-midi = disabled
    monitor.v4l2 = disabled
    monitor.libcamera = disabled
    monitor.bluez = disabled
    monitor.bluez-midi = disabled
  }
}
CONF
fi

children=()
finish() {
  trap - TERM INT EXIT
  for ((i = ${#children[@]} - 1; i >= 0; i--)); do
    kill "${children[i]}" 2>/dev/null || true
    wait "${children[i]}" 2>/dev/null || true
  done
  exit 0
}
trap finish TERM INT EXIT

dbus-daemon --session --address="$DBUS_SESSION_BUS_ADDRESS" --nofork --nopidfile >"$dir/dbus.log" 2>&1 &
children+=($!)
for _ in $(seq 100); do [[ -S $dir/bus ]] && break; sleep 0.05; done
pipewire >"$dir/pipewire.log" 2>&1 &
children+=($!)
for _ in $(seq 100); do [[ -S $dir/pipewire-0 ]] && break; sleep 0.05; done
wireplumber >"$dir/wireplumber.log" 2>&1 &
children+=($!)
pipewire-pulse >"$dir/pipewire-pulse.log" 2>&1 &
children+=($!)
# What stands between a client and the graph: the session manager that links
# new streams and the PulseAudio server. Held, a client's first sound is late
# while the graph's clock runs on.
echo "${children[2]} ${children[3]}" >"$dir/frontend.pids"
export PULSE_SERVER=unix:$dir/pulse/native
for _ in $(seq 200); do pactl info >/dev/null 2>&1 && break; sleep 0.05; done
pactl load-module module-null-sink sink_name=brakvane rate="$rate" format=s16le channels=2 >/dev/null
# The default sink lives in the session manager's metadata: until WirePlumber
# has made it, setting it is "not supported".
for _ in $(seq 400); do pactl set-default-sink brakvane 2>/dev/null && break; sleep 0.05; done
pactl set-default-sink brakvane
wait -n || true
finish
