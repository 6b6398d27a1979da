#!/bin/sh
# The demo tour, played headless from start to end as the play command does
# without a display: it must reach its last screenshot with no message box,
# write its log, and its rendered audio must not be silent. With a fourth
# argument, the run must have reached that scenario file (the story's ending:
# a script out of step with the story would still reach its last screenshot).
bin=$1
data=$2
script=$3
reach=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$1"; echo "0 passed, 1 failed"; exit 1; }
# The tour saves and wins cards, into a folder of its own: the build's data
# folder, where a player's first window run writes, must stay as built.
touch "$work/before"
"$bin" --headless --quiet --data "$data" --save-dir "$work/saves" --input "$script" \
  --screenshot-dir "$work" --log "$work/log" --audio-out "$work/tour.wav" 2>"$work/err" ||
  { cat "$work/err"; fail "the game failed"; }
cat "$work/err" >&2
[ -s "$work/log" ] || fail "the run wrote no log"
! grep 'message box' "$work/log" || fail "a message box was shown"
[ -z "$reach" ] || grep -q "\] scenario $reach\$" "$work/log" || fail "the run never reached the scenario $reach"
last=$(grep '^wait.*screenshot' "$script" | tail -n 1 | awk '{print $3}')
[ -s "$work/$last.png" ] || fail "the tour did not reach its last screenshot ($last)"
[ -s "$work/saves/save/save1.dat" ] || fail "the tour's save is not in its own folder"
written=$(find "$data" -newer "$work/before" ! -type d)
[ -z "$written" ] || fail "the tour wrote into the data folder: $written"
if ! command -v sox >/dev/null 2>&1; then
  echo "sox is missing: the tour's audio is not checked"
elif ! grep -q 'music is left out' "$work/err"; then
  rms=$(sox "$work/tour.wav" -n stat 2>&1 | awk '/^RMS +amplitude/ { print $3 }')
  awk -v r="$rms" 'BEGIN { exit !(r > 0.01) }' || fail "the tour's audio is silent (RMS $rms)"
fi
echo "1 passed, 0 failed"
