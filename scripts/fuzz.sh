#!/usr/bin/env bash
# Builds the libFuzzer harnesses (the "fuzz" preset, clang with ASan and
# UBSan) and runs each of them (or the HARNESSes named) for SECONDS (default
# 30) from its seeds in fuzz/corpus/<harness>/, reporting for each its
# inputs a second and the coverage reached (edges, features). Fails when any harness finds a crash, a leak,
# undefined behaviour or an input that takes too long; the input is kept in
# build/fuzz/findings/<harness>/ and the end of the harness's log printed.
# Installs nothing: scripts/deps.sh --dev brings clang and libFuzzer.
#
#   scripts/fuzz.sh [SECONDS [HARNESS...]]   QF_FUZZ_JOBS=N sets the build's jobs (2)
#
# A long campaign is the same with more time, e.g. `scripts/fuzz.sh 3600
# scenario database`: new inputs accumulate in build/fuzz/corpus/, so the
# next run goes on from where this one stopped.
set -euo pipefail

seconds=${1:-30}
shift $(($# > 0 ? 1 : 0))
only=("$@")
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is missing; run scripts/deps.sh --dev" >&2
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
  if [ ${#only[@]} -ne 0 ] && [[ " ${only[*]} " != *" $name "* ]]; then continue; fi
  binary=build/fuzz/fuzz/fuzz_$name
  # New inputs go to a corpus of the build's own, so a run never changes the
  # seeds in the repository but a later local run starts from what it found.
  work=build/fuzz/corpus/$name
  mkdir -p "$work" "$findings/$name"
  # Files larger than the default 4 KiB are the norm for some harnesses: the
  # database tables, the save slots.
  case $name in
    database | save_file | save_slot) max_len=32768 ;;
    progress | midi | gplp | wave) max_len=16384 ;;
    *) max_len=4096 ;;
  esac
  log=$findings/$name.log
  if "$binary" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -max_len="$max_len" \
      -print_final_stats=1 -artifact_prefix="$findings/$name/" "$work" "$seeds" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -n 1)
    echo "fuzz.sh: $name: ${runs:-?} inputs in ${seconds} s (${rate:-?}/s, ${cov:-no coverage line}), nothing found"
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
