#!/usr/bin/env bash
# Installs every Debian package that building, running and testing the demo
# needs, as root or through sudo (scripts/apt.sh: one line per step, apt's
# output in a log). The names are those both tested releases use; Weston's
# development package is the one of the Weston the release installs or offers.
# Idempotent: when everything is present it only asks dpkg and returns.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/apt.sh"

packages=(
  build-essential cmake pkg-config clang clang-format-19 libclang-rt-dev git
  libsdl2-dev libgl1-mesa-dev libgl1-mesa-dri libegl1-mesa-dev libx11-dev libxrandr-dev
  libpng-dev zlib1g-dev libmpg123-dev libkissfft-dev
  libgtest-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils
  weston libwayland-dev xkb-data wayland-utils
  pulseaudio pulseaudio-utils libpulse-dev
  pipewire pipewire-bin pipewire-pulse wireplumber dbus-daemon xwayland libpipewire-0.3-dev
  # KDE's compositor with the window decorations every KDE desktop has: without
  # them KWin 6 leaves decorating to the window, and SDL's window then waits
  # forever for KWin to show it.
  mutter kwin-wayland kwin-style-breeze libdecor-0-plugin-1-cairo python3-dbus python3-gi
  gstreamer1.0-pipewire gstreamer1.0-tools gstreamer1.0-plugins-good
  libasound2-dev libasound2-plugins alsa-utils
  lame mpg123 ffmpeg
  libfreetype-dev fonts-dejavu-core
  dpkg-dev file desktop-file-utils appstream lintian
  debootstrap locales
)

# Weston 10 (bookworm) to 14 (trixie) each come with their own libweston-N-dev.
weston=$(apt_major_version weston)
if [[ -z $weston && -n $(apt_missing "${packages[@]}") ]]; then
  apt_update setup
  weston=$(apt_major_version weston)
fi
[[ -z $weston ]] || packages+=("libweston-$weston-dev")

apt_install setup "${packages[@]}"
