#!/usr/bin/env bash
# Installs what is missing, builds the game and its demo data, and plays it.
# Without a display the demo plays itself headless and leaves screenshots and
# a log in build/default/autoplay/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default

bin=build/default/quillfen
out=build/default/autoplay
mkdir -p "$out"
echo "Playing the demo headless; screenshots and log in $out/"
"$bin" --headless --input content/autoplay.txt --screenshot-dir "$out" --log "$out/autoplay.log" "$@"
