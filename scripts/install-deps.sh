#!/usr/bin/env bash
# Installs every system package qvl needs to build, test and run (Debian/Ubuntu).
# Idempotent: packages already installed are not touched, and apt is not even
# asked when nothing is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libsdl2-ttf-dev fontconfig libfontconfig-dev fonts-liberation2
  libmpg123-dev libasound2-dev libjpeg62-turbo-dev libpng-dev libdeflate-dev
  libgl-dev libgl1-mesa-dev libglu1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri mesa-utils-bin
  nlohmann-json3-dev libimgui-dev libstb-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev liblua5.4-dev
  xvfb xauth lame xdotool ffmpeg python3
  clang libclang-rt-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#PACKAGES[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
