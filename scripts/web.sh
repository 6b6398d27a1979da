#!/usr/bin/env bash
# The browser page: installs emscripten and what it needs, makes the demo
# data with a Linux build's tools, builds the page into build/web/page
# (quillfen.html, .js, .wasm, .data and the faces beside them), prints its
# sizes and fails when they are over the budget (web/sizes.mjs).
#   --serve  then serves it on localhost and prints the address
#   --check  then plays its opening in headless chromium against the
#            headless backend's screens (the CTest web_page_in_chromium)
#
# QF_LINUX_BUILD: the Linux build folder whose tools make the data (build/ci).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
linux=${QF_LINUX_BUILD:-build/ci}
mode=${1:-}

if [ "$mode" != --check-built ]; then
  # Node and npm may come with the machine rather than from Debian, whose npm
  # then conflicts; Debian's are asked for only when there are none.
  extra=()
  command -v npm >/dev/null 2>&1 || extra=(nodejs npm)
  scripts/deps.sh emscripten node-acorn chromium fonttools python3-brotli "${extra[@]}"
  echo "== Linux build for the data: $linux =="
  [ -f "$linux/build.ninja" ] || cmake --preset "$(basename "$linux")" >/dev/null
  nice -n 10 cmake --build "$linux" -j 2 --target demo_data quillfen

  echo "== the page =="
  # The synthesiser the page plays its music with, and the check's driver.
  [ -d web/node_modules/js-synthesizer ] || (cd web && npm ci --no-audit --no-fund --ignore-scripts)
  # emscripten's optimiser finds Debian's acorn there.
  export NODE_PATH=/usr/share/nodejs
  cmake --preset web -DQF_DATA_FROM="$root/$linux/data" >/dev/null
  nice -n 10 cmake --build build/web -j 2
  echo "== the page's sizes =="
  node web/sizes.mjs build/web/page
fi

case "$mode" in
  --serve)
    port=${QF_WEB_PORT:-8640}
    echo "Quillfen: http://127.0.0.1:$port/quillfen.html"
    cd build/web/page && exec python3 -m http.server "$port" --bind 127.0.0.1
    ;;
  --check | --check-built)
    [ -d web/node_modules/playwright-core ] || (cd web && npm ci --no-audit --no-fund --ignore-scripts)
    work=$root/build/web-check
    rm -rf "$work"
    mkdir -p "$work"
    { cat scripts/opening_input.txt; cat <<'INPUT'; } >"$work/input.txt"
wait+800 click 616 458
wait+800 click 320 160
wait+800 click 320 70
wait+800 click 320 466
wait+800 click 320 310
wait screenshot saved
INPUT
    # After the page's reload: slot 1 loaded from the first wait of a new start.
    cat >"$work/reloaded.txt" <<'INPUT'
wait+800 click 616 458
wait+800 click 320 210
wait+800 click 320 70
wait screenshot loaded
INPUT
    # On a fresh copy of the data: the game writes its progress at the end;
    # the second run starts on what the first saved, as the reloaded page does.
    cp -r "$linux/data" "$work/data"
    for run in input reloaded; do
      "$linux/quillfen" --headless --quiet --data "$work/data" --input "$work/$run.txt" \
        --screenshot-dir "$work/headless" --log "$work/headless-$run.log"
    done
    node web/check.mjs build/web/page "$work/headless" "${QF_WEB_TOLERANCE:-3000}"
    ;;
esac
