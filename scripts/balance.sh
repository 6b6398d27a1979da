#!/usr/bin/env bash
# The story's three battles, each played many times by qfsim with the deck,
# arts and HP/MP the story gives at that point (content/balance/progression.md),
# for the greedy, random and rules players; one report of how they went.
# Builds nothing: run `cmake --build --preset default` first.
#
#   scripts/balance.sh [BATTLES]      # 1000 by default
# BUILD=dir uses another build folder than build/default.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build/default}
qfsim=$build/tools/qfsim/qfsim
data=$build/data
battles=${1:-1000}
[[ -x $qfsim ]] || { echo "balance.sh: no $qfsim; build first" >&2; exit 1; }

# stage, opponent deck, style, opponent HP, MP, player deck, player HP, MP,
# attack arts, defence arts (the numbers of content/balance/progression.md)
stages=(
  "1 kaito 1 1100 40  stage1 1200 120 1-7       1-5"
  "2 luna  2 1400 70  stage2 1500 150 1-8,10    1-5"
  "3 sage  3 900  100 stage3 2000 200 1-12      1-5"
)
strategies=(greedy random rules)

declare -A summary unused
for line in "${stages[@]}"; do
  read -r stage deck style hp mp pdeck php pmp arts darts <<<"$line"
  for strategy in "${strategies[@]}"; do
    args=(--data "$data" --deck "$deck" --style "$style" --hp "$hp" --mp "$mp"
          --player-deck "$data/$pdeck.dec" --player-hp "$php" --player-mp "$pmp"
          --learn "$arts" --learn-defence "$darts" --strategy "$strategy"
          --battles "$battles")
    table=$("$qfsim" "${args[@]}")
    if [[ $strategy == greedy ]]; then
      echo "== stage $stage: $deck (style $style, HP $hp, MP $mp) against $pdeck (HP $php, MP $pmp, attack arts $arts, defence arts $darts)"
      echo "$table"
      echo
    fi
    summary[$stage,$strategy]=$(sed -n 2,4p <<<"$table" | tr -s ' ' | tr '\n' ' ')
    unused[$stage,$strategy]=$(sed -n 's/^  never used by the player://p' <<<"$table")
  done
done

echo "== summary ($battles battles each)"
status=0
for line in "${stages[@]}"; do
  read -r stage deck _ <<<"$line"
  for strategy in "${strategies[@]}"; do
    printf 'stage %s %-6s %-7s %s\n' "$stage" "$deck" "$strategy" "${summary[$stage,$strategy]}"
  done
  greedy=$(grep -o 'won [0-9]*' <<<"${summary[$stage,greedy]}" | cut -d' ' -f2)
  random=$(grep -o 'won [0-9]*' <<<"${summary[$stage,random]}" | cut -d' ' -f2)
  verdict=""
  ((greedy * 100 >= 55 * battles && greedy * 100 <= 90 * battles)) || verdict="; greedy win rate out of 55-90 %"
  ((random * 100 <= greedy * 100 - 15 * battles)) || verdict="$verdict; random not clearly worse"
  # Worth playing: the greedy or the rules player puts it to use.
  never=""
  for item in $(tr ' ' '_' <<<"${unused[$stage,greedy]}" | sed 's/_\([a-z]\)/ \1/g'); do
    [[ $item == nothing ]] && continue
    [[ " $(tr ' ' '_' <<<"${unused[$stage,rules]}" | sed 's/_\([a-z]\)/ \1/g') " == *" $item "* ]] &&
      never="$never ${item/_/ }"
  done
  [[ -z $never ]] || verdict="$verdict; never used by greedy nor rules:$never"
  [[ -z $verdict ]] && verdict=ok || { verdict=${verdict#; }; status=1; }
  echo "  stage $stage: $verdict"
done
exit $status
