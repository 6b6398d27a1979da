#!/usr/bin/env bash
# Installs what is missing, builds everything warning-free and runs every test,
# in the optimised build and under AddressSanitizer and UBSan, the threaded
# sequencer and timer tests under ThreadSanitizer, then the
# Windows build under Wine (scripts/windows.sh), then checks the
# formatting and runs clang-tidy over the sources, and fuzzes every file
# format the game reads for QF_FUZZ_SECONDS (30) a harness, and last builds the
# browser page and plays it in chromium (scripts/web.sh --check, about five
# minutes from clean on two cores). The ci presets have build
# folders of their own, so -Werror never sticks in build/default.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh --dev
for preset in ci ci-asan; do
  echo "== $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j "$(nproc)"
done
# The music thread and the game's thread under ThreadSanitizer: only the
# tests where they meet (the sequencer's and the timer's).
echo "== tsan =="
cmake --preset tsan >/dev/null
cmake --build --preset tsan
ctest --preset tsan -j "$(nproc)"
# The Windows program, cross-built, its unit tests and the demo's opening
# under Wine; before the lint, which tidies the Windows backend against it.
QF_LINUX_BUILD=build/ci scripts/windows.sh
scripts/lint.sh build/ci
scripts/fuzz.sh "${QF_FUZZ_SECONDS:-30}"
# The browser page, made from that build's data, played in chromium.
QF_LINUX_BUILD=build/ci scripts/web.sh --check
