#!/usr/bin/env bash
# Installs the Debian packages Quavix Player needs to build and test.
# Runs as root on Debian 12; does nothing when everything is already there.
#   scripts/install-deps.sh              building, testing and benchmarking
#   scripts/install-deps.sh --yardstick  also the players and Python modules
#                                        that ../shared/tools/yardstick uses
set -euo pipefail

packages=(
  build-essential cmake ccache pkg-config
  libcli11-dev nlohmann-json3-dev libsndfile1-dev libsdl1.2-dev tmux
  libgtest-dev googletest libbenchmark-dev xmp time
  clang libclang-rt-14-dev
  g++-arm-linux-gnueabihf qemu-user
  libgtk2.0-dev libx11-dev desktop-file-utils
  xvfb xauth xdotool imagemagick
)
if [ "${1:-}" = "--yardstick" ]; then
  packages+=(openmpt123 xmp python3-numpy python3-matplotlib)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
