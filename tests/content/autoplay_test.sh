#!/bin/sh
# The demo tour, played headless from start to end as the play command does
# without a display: it must reach its last screenshot with no message box.
bin=$1
data=$2
script=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin" --headless --quiet --data "$data" --input "$script" --screenshot-dir "$work" \
  --log "$work/log" || { echo "the game failed"; echo "0 passed, 1 failed"; exit 1; }
if grep -q 'message box' "$work/log"; then
  grep 'message box' "$work/log"
  echo "0 passed, 1 failed"
  exit 1
fi
last=$(grep '^wait.*screenshot' "$script" | tail -n 1 | awk '{print $3}')
if [ ! -s "$work/$last.png" ]; then
  echo "the tour did not reach its last screenshot ($last)"
  echo "0 passed, 1 failed"
  exit 1
fi
echo "1 passed, 0 failed"
