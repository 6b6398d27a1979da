#!/usr/bin/env bash
# clang-format and clang-tidy over every C++ source of the project.
# lint.sh BUILD_DIR (a configured build with compile_commands.json)
# The fuzz harnesses exist only in the clang "fuzz" preset, so they are checked
# against that preset's compile database, configured here if need be.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}

mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tools tests bench -name '*.cpp' -o -name '*.h')
echo "== clang-format: ${#files[@]} files =="
clang-format --dry-run --Werror "${files[@]}"

mapfile -t units < <(printf '%s\n' "${files[@]}" | grep '\.cpp$' | grep -v -e '^fuzz/' -e '^src/platform/win32/' -e '^src/platform/web/' -e '^tests/win32/' -e '^tests/core/seam_probe.cpp$' || true)
mapfile -t win_units < <(printf '%s\n' "${files[@]}" | grep -E '^(src/platform|tests)/win32/.*\.cpp$' || true)
mapfile -t fuzz_units < <(printf '%s\n' "${files[@]}" | grep '^fuzz/.*\.cpp$' || true)
echo "== clang-tidy: $((${#units[@]} + ${#fuzz_units[@]} + ${#win_units[@]})) files =="
# The compiler (g++) already fails on its own warnings; clang's differ (its
# -Wconversion covers signedness), so they do not fail the lint.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
tidy() { # DATABASE_DIR, then the units on stdin
  xargs -r -P "$(nproc)" -n 8 clang-tidy -p "$1" --quiet --extra-arg=-Wno-error
}
status=0
printf '%s\n' "${units[@]}" | tidy "$build" >"$log" 2>&1 || status=1
if [ ${#fuzz_units[@]} -gt 0 ]; then
  [ -f build/fuzz/compile_commands.json ] || cmake --preset fuzz >/dev/null
  printf '%s\n' "${fuzz_units[@]}" | tidy build/fuzz >>"$log" 2>&1 || status=1
fi
# The Windows backend and its tests compile only for Windows: checked against the mingw
# preset's compile database, as mingw-w64 sees it, when that build exists.
if [ ${#win_units[@]} -gt 0 ]; then
  if [ -f build/mingw/compile_commands.json ]; then
    cxx=$(find /usr/lib/gcc/x86_64-w64-mingw32 -maxdepth 2 -path '*-posix/include' | head -n 1)/c++
    printf '%s\n' "${win_units[@]}" |
      xargs -r -P "$(nproc)" -n 8 clang-tidy -p build/mingw --quiet --extra-arg=-Wno-error \
        --extra-arg=--target=x86_64-w64-mingw32 --extra-arg=-isystem"$cxx" \
        --extra-arg=-isystem"$cxx/x86_64-w64-mingw32" --extra-arg=-isystem"$cxx/backward" \
        >>"$log" 2>&1 || status=1
  else
    echo "no mingw build (scripts/windows.sh makes one): the Windows backend is not tidied"
  fi
fi
if [ $status -ne 0 ]; then
  grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' "$log"
  echo "clang-tidy found problems"
  exit 1
fi
echo "lint: clean"
