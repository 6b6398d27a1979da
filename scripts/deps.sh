#!/usr/bin/env bash
# Installs the Debian packages the game and its tests need, if any are missing;
# more packages may be named as arguments (scripts/package.sh does).
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libpng-dev libstb-dev
  libfreetype-dev libfontconfig-dev fonts-ipafont-gothic fonts-ipafont-mincho
  libsdl2-dev
  xvfb xdotool imagemagick x11-utils openbox
  libfluidsynth-dev timgm6mb-soundfont
  abcmidi midicsv sox
  desktop-file-utils appstream
  clang libclang-rt-dev
  g++-mingw-w64-x86-64 wine64 unzip
)

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
