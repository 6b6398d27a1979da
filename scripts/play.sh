#!/usr/bin/env bash
# Installs what is missing, builds the game and its demo data, and plays it in
# a window. Without a display the demo plays itself headless and leaves
# screenshots, a log and its saves in build/default/autoplay/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
# Playing needs neither the tests nor the benchmarks (nor their libraries);
# scripts/test.sh builds those in build/ci.
cmake --preset default -DQF_TESTS=OFF -DQF_BENCH=OFF >/dev/null
cmake --build --preset default --target game

bin=build/default/quillfen
# A window where there is a display that answers; otherwise the autoplay.
if [ -n "${WAYLAND_DISPLAY:-}" ] || { [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; }; then
  exec "$bin" "$@"
fi
out=build/default/autoplay
mkdir -p "$out"
echo "No display: the demo plays itself headless; screenshots and log in $out/"
# Its saves and progress stay beside its record: the data folder is the one a
# player's window run writes into, and must start with empty slots.
exec "$bin" --headless --input content/autoplay.txt --screenshot-dir "$out" \
  --save-dir "$out/saves" --log "$out/autoplay.log" --audio-out "$out/tour.wav" "$@"
