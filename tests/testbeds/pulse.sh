#!/usr/bin/env bash
# Runs a private PulseAudio sound server with one null sink, as a desktop's
# would run but in its own directory: per-user mode (also as root), no
# configuration read (-n), the server thread at real-time priority where
# allowed, a null sink playing 16-bit stereo at 44.1 kHz (the demo's own
# format, so what it plays reaches the sink's monitor unchanged) and the
# native protocol on a private socket.
#   pulse.sh DIR
# DIR is created private (0700); clients reach the server with
# PULSE_SERVER=unix:DIR/native. The script execs the server: stop it with SIGTERM.
set -euo pipefail
dir=$1
mkdir -p "$dir"
chmod 0700 "$dir"
export HOME=$dir XDG_RUNTIME_DIR=$dir XDG_CONFIG_HOME=$dir
unset PULSE_SERVER
exec pulseaudio -n --daemonize=no --use-pid-file=no --exit-idle-time=-1 --realtime=yes --high-priority=yes \
  --log-target=file:"$dir/pulse.log" \
  -L "module-null-sink sink_name=brakvane rate=44100 format=s16le channels=2" \
  -L "module-native-protocol-unix socket=$dir/native auth-anonymous=1"
