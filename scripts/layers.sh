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

status=0
declare -A edges=() bad=()
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

echo "layer order (lowest first): ${order[*]}"
for key in "${!edges[@]}"; do echo "  $key: ${edges[$key]} ${bad[$key]:-}"; done | sort
for key in "${!bad[@]}"; do [ -n "${edges[$key]:-}" ] || echo "  $key: ${bad[$key]}"; done | sort
if [ "$status" -ne 0 ]; then
  echo "FAILED: an include runs upward, forms a cycle or reaches a backend"
else
  echo "ok: every include runs downward"
fi
exit "$status"
