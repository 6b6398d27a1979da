#!/usr/bin/env bash
# Builds the libFuzzer harnesses (the "fuzz" preset, clang with ASan and
# UBSan) and runs each of them for SECONDS (default 30) from its seeds in
# fuzz/corpus/<harness>/. Fails when any harness finds a crash, a leak,
# undefined behaviour or an input that takes too long; the input is kept in
# build/fuzz/findings/<harness>/ and the end of the harness's log printed.
# Installs nothing: scripts/deps.sh brings clang and libFuzzer.
#
#   scripts/fuzz.sh [SECONDS]      QF_FUZZ_JOBS=N sets the build's jobs (2)
set -euo pipefail

seconds=${1:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is missing; run scripts/deps.sh" >&2
  exit 2
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"${QF_FUZZ_JOBS:-2}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp

findings=$root/build/fuzz/findings
failed=()
for seeds in fuzz/corpus/*/; do
  name=$(basename "$seeds")
  binary=build/fuzz/fuzz/fuzz_$name
  # New inputs go to a corpus of the build's own, so a run never changes the
  # seeds in the repository but a later local run starts from what it found.
  work=build/fuzz/corpus/$name
  mkdir -p "$work" "$findings/$name"
  # Files larger than the default 4 KiB are the norm for some harnesses: the
  # database tables, the save slots.
  case $name in
    card_data | save_slot) max_len=32768 ;;
    at_arts | df_arts | progress | midi | gplp | wave) max_len=16384 ;;
    *) max_len=4096 ;;
  esac
  log=$findings/$name.log
  if "$binary" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -max_len="$max_len" \
      -print_final_stats=1 -artifact_prefix="$findings/$name/" "$work" "$seeds" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz.sh: $name: ${runs:-?} inputs in ${seconds} s, nothing found"
  else
    echo "fuzz.sh: $name FAILED; its input is in $findings/$name/" >&2
    tail -n 60 "$log" >&2
    failed+=("$name")
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz.sh: findings in: ${failed[*]}" >&2
  exit 1
fi
