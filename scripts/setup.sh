#!/usr/bin/env bash
# Installs every Debian package that building, running and testing the demo needs.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang clang-format libclang-rt-14-dev git
  libsdl2-dev libgl1-mesa-dev libgl1-mesa-dri libegl1-mesa-dev libx11-dev libxrandr-dev
  libpng-dev zlib1g-dev libmpg123-dev libkissfft-dev
  libgtest-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils
  weston libweston-10-dev libwayland-dev xkb-data
  pulseaudio pulseaudio-utils libpulse-dev
  pipewire pipewire-bin pipewire-pulse wireplumber dbus-daemon xwayland libpipewire-0.3-dev
  lame mpg123 ffmpeg
  libfreetype-dev fonts-dejavu-core
  dpkg-dev file desktop-file-utils appstream lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "setup: installing ${missing[*]}" >&2
sudo=()
if [[ $(id -u) -ne 0 ]]; then
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
