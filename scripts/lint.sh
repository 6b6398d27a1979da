#!/usr/bin/env bash
# clang-format and clang-tidy over every C++ source of the project.
# lint.sh BUILD_DIR (a configured build with compile_commands.json)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}

mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tools tests bench -name '*.cpp' -o -name '*.h')
echo "== clang-format: ${#files[@]} files =="
clang-format --dry-run --Werror "${files[@]}"

mapfile -t units < <(printf '%s\n' "${files[@]}" | grep '\.cpp$')
echo "== clang-tidy: ${#units[@]} files =="
# The compiler (g++) already fails on its own warnings; clang's differ (its
# -Wconversion covers signedness), so they do not fail the lint.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! printf '%s\n' "${units[@]}" | xargs -P "$(nproc)" -n 8 clang-tidy -p "$build" --quiet --extra-arg=-Wno-error >"$log" 2>&1; then
  grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' "$log"
  echo "clang-tidy found problems"
  exit 1
fi
echo "lint: clean"
