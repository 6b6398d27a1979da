#!/usr/bin/env bash
# Every piece of the game's process-wide state is one instance of one struct:
# this fails when a core file defines a mutable variable at file scope other
# than such an instance, when an instance is missing from the README's state
# table (or the table names one that is gone), or when the function the table
# says resets it is not called by ResetGameState, so that tests start from a
# fresh process's state.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t core < <(find src -name '*.cpp' | grep -vE '^src/platform/[^/]+/|^src/main\.cpp$' | sort)
status=0
fail() { echo "$1"; status=1; }

declared='^(static |inline )?[A-Za-z_][A-Za-z0-9_:<>, ]* \*?[a-zA-Z_][A-Za-z0-9_]*(\[[^]]*\])*( = [^;]*| ?\{[^;]*\})?;$'
while IFS= read -r hit; do
  line=${hit#*:*:}
  case "$line" in
    const\ * | constexpr\ * | static\ const* | inline\ constexpr* | extern\ * | using\ * | typedef\ * | enum\ *) continue ;;
  esac
  [[ "$line" =~ ^[A-Z][A-Za-z0-9_]*\ [a-z][A-Za-z0-9_]*\;$ ]] && continue
  fail "${hit%%:*}: state outside an instance struct: $line"
done < <(grep -nHE "$declared" "${core[@]}" || true)

body=$(sed -n '/^void ResetGameState() {/,/^}/p' src/shell/*.cpp)
[ -n "$body" ] || fail "ResetGameState not found in src/shell"
# A reset may be called by one of the functions it calls (the wiring resets
# the tables it fills, ResetAids the views).
for callee in $(sed -n 's/^  \([A-Za-z]*\)();$/\1/p' <<<"$body"); do
  body+=$'\n'$(sed -n "/^void $callee() {/,/^}/p" "${core[@]}")
done
mapfile -t instances < <(grep -hE '^[A-Z][A-Za-z0-9_]* [a-z][A-Za-z0-9_]*;$' "${core[@]}" | sed 's/^[^ ]* //; s/;$//' | sort)
for name in "${instances[@]}"; do
  row=$(grep -E "^\| \`$name\` \|" README.md || true)
  [ -n "$row" ] || { fail "$name: not in the README's state table"; continue; }
  reset=$(sed -E 's/.*\| *([^|]*) *\|$/\1/' <<<"$row" | grep -oE '`[A-Za-z]+`' | tr -d '`' | head -1)
  # "kept": state of the program rather than of a game, which a reset keeps.
  grep -qE '\| *kept' <<<"$row" && continue
  grep -qE "^  $reset\(\);" <<<"$body" || fail "$name: its reset, $reset, is not called by ResetGameState"
done
while IFS= read -r name; do
  printf '%s\n' "${instances[@]}" | grep -qx "$name" || fail "$name: in the README's state table but not defined"
done < <(sed -n '/^| instance | struct/,/^$/p' README.md | sed -n 's/^| `\([a-zA-Z]*\)` |.*/\1/p')
[ $status -eq 0 ] && echo "state: ${#instances[@]} instances, each listed and reset by ResetGameState"
exit $status
