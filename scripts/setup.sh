#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Safe to run again:
# it only touches apt when something is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config clang libclang-rt-14-dev
  zlib1g-dev libpng-dev libjpeg-dev libsdl2-dev valgrind
  libgl-dev libegl-dev libegl-mesa0 libgl1-mesa-dri libgles-dev
  libsndfile1-dev libfluidsynth-dev timgm6mb-soundfont
  # Debian's large General MIDI font (148 MB) as well: it becomes the system's
  # default font, so the tests play the music as a player with it hears it,
  # and the tests that read a large font in parts, and weigh the demo's
  # memory with it, run instead of skipping.
  fluid-soundfont-gm
  libstb-dev libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  libgtest-dev libgmock-dev libbenchmark-dev liblua5.4-dev
  xvfb xfonts-base openbox
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
