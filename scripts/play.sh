#!/usr/bin/env bash
# Installs what is missing, builds the game and its demo data, and plays it in
# a window. Without a display the demo plays itself headless and leaves
# screenshots and a log in build/default/autoplay/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target game

bin=build/default/quillfen
# A window where there is a display that answers; otherwise the autoplay.
if [ -n "${WAYLAND_DISPLAY:-}" ] || { [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; }; then
  exec "$bin" "$@"
fi
out=build/default/autoplay
mkdir -p "$out"
echo "No display: the demo plays itself headless; screenshots and log in $out/"
exec "$bin" --headless --input content/autoplay.txt --screenshot-dir "$out" \
  --log "$out/autoplay.log" --audio-out "$out/tour.wav" "$@"
