#!/usr/bin/env bash
# Installs the Debian packages the game needs, if any are missing: what builds
# it, makes its demo data and plays it. With --dev first, also what the tests,
# the benchmarks, the Windows build and the lint need (scripts/test.sh). More
# packages may be named as arguments (scripts/package.sh does).
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libpng-dev libstb-dev
  libfreetype-dev libfontconfig-dev fonts-ipafont-gothic fonts-ipafont-mincho
  libsdl2-dev libfluidsynth-dev timgm6mb-soundfont
  abcmidi sox
  x11-utils
)
if [ "${1:-}" = "--dev" ]; then
  shift
  packages+=(
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xdotool imagemagick openbox
    midicsv
    desktop-file-utils appstream
    clang clang-tidy clang-format libclang-rt-dev
    g++-mingw-w64-x86-64 wine64 unzip
  )
fi

packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
