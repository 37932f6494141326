#!/usr/bin/env bash
# Installs every Debian package Beatwick needs to build, test and run, and what its checks under a
# real X server use. Safe to run again: with everything installed it neither updates nor installs.
# Name only real packages here: a virtual one never shows as installed and would reinstall each run.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  clang clang-format libclang-rt-14-dev llvm
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-qpa-plugins libqt6dbus6 qt6-svg-dev
  libgl1-mesa-dev libglx-dev
  libplist-dev libssl-dev libsdl2-dev libsndfile1-dev
  libxkbcommon-dev libxkbcommon-x11-dev xkb-data libx11-dev libx11-xcb-dev libxcb1-dev libxcb-xkb-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  dbus dbus-x11 libdbus-1-dev
  fonts-dejavu-core fontconfig sound-theme-freedesktop
  xvfb openbox xdotool x11-xkb-utils libxtst-dev imagemagick curl
  python3 swaks wrk nginx-light apache2-bin
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
