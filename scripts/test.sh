#!/usr/bin/env bash
# Installs what is missing, builds everything warning-free and runs every test,
# in the optimised build and under AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
for preset in default asan; do
  echo "== $preset =="
  cmake --preset "$preset" -DQF_WERROR=ON >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j "$(nproc)"
done
