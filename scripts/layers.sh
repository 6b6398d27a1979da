#!/usr/bin/env bash
# Lists the include edges between the rooms of src/ and fails on any edge that
# runs upward in the layer order below (which also rules out every cycle) or
# reaches a backend. A room may include itself and any room listed before it.
set -euo pipefail
cd "$(dirname "$0")/.."

order=(platform core streams data graphics sound script battle screens shell)
rank() {
  local i
  for i in "${!order[@]}"; do [ "${order[$i]}" = "$1" ] && { echo "$i"; return; }; done
  echo -1
}

# What the core may include from the standard library: containers, strings,
# numbers and memory; no streams, files, clocks, threads or randomness. The
# build forces src/core/forbidden.h in front of every core file, which turns
# the C library's calls for those into compile errors; this names the header.
allowed='algorithm|array|atomic|bit|cassert|cctype|climits|cmath|compare|concepts|cstddef|cstdint|cstdio|cstring|emmintrin\.h|functional|initializer_list|iterator|limits|memory|new|numeric|optional|span|string|string_view|tuple|type_traits|utility|vector'
# The PNG writer (stb, a header of Debian's) is the one library header: it
# makes the file in memory only, built without its stdio part.
allowed="$allowed|stb_image_write\\.h"

status=0
declare -A edges=() bad=()
while IFS= read -r file; do
  while IFS= read -r line; do
    echo "$file: a header the core may not use: $line"
    status=1
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<' "$file" | grep -vE "<($allowed)>")
  while IFS= read -r line; do
    echo "$file: an include that leaves the source root: $line"
    status=1
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]*\.\.' "$file")
done < <(find src -name '*.h' -o -name '*.cpp' | grep -vE '^src/platform/[^/]+/|^src/main\.cpp$|^src/core/forbidden\.h$' | sort)

while IFS= read -r file; do
  room=${file#src/}; room=${room%%/*}
  # Backends and the program itself (files directly in src/) sit outside the order.
  case "$file" in src/platform/*/*) continue ;; esac
  case "${file#src/}" in */*) ;; *) continue ;; esac
  while IFS= read -r target; do
    to=${target%%/*}
    case "$target" in
      platform/*/*) bad["$room -> $target"]="reaches a backend"; status=1; continue ;;
    esac
    [ "$to" = "$room" ] && continue
    key="$room -> $to"
    edges["$key"]=$(( ${edges["$key"]:-0} + 1 ))
    if [ "$(rank "$to")" -lt 0 ] || [ "$(rank "$to")" -gt "$(rank "$room")" ]; then
      bad["$key"]="runs upward"
      status=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find src -name '*.h' -o -name '*.cpp' | sort)

# One header per source file, beside it, and no two files of src/ and tools/
# sharing a name, so a name says which file it is. Program entries declare
# nothing; the browser's fonts implement posix/fonts.h for that build, and its
# iconv wrap only answers a link-time wrap.
while IFS= read -r file; do
  [ -f "${file%.cpp}.h" ] || { echo "$file: no header of its own beside it"; status=1; }
done < <(find src tools -name '*.cpp' ! -name main.cpp ! -name win32_main.cpp ! -name web_main.cpp \
           ! -name web_fonts.cpp ! -name web_iconv.cpp | sort)
while IFS= read -r name; do
  echo "two files share the name $name:" $(find src tools -name "$name" | sort)
  status=1
done < <(find src tools \( -name '*.h' -o -name '*.cpp' \) ! -name main.cpp -printf '%f\n' | sort | uniq -d)

echo "layer order (lowest first): ${order[*]}"
for key in "${!edges[@]}"; do echo "  $key: ${edges[$key]} ${bad[$key]:-}"; done | sort
for key in "${!bad[@]}"; do [ -n "${edges[$key]:-}" ] || echo "  $key: ${bad[$key]}"; done | sort
if [ "$status" -ne 0 ]; then
  echo "FAILED: see the lines above"
else
  echo "ok: every include runs downward"
fi
exit "$status"
