#!/usr/bin/env bash
# The player's save folder as real headless runs of the game meet it:
# - a second copy of the game on a folder that a first copy has says so and
#   ends without writing, so the first one's progress stands; the folder is
#   free again once the first copy has ended, normally or killed;
# - the start after a kill removes the temporary the killed write left, and
#   no file of the player's, whatever its name looks like and however deep.
#
#   save_folder_test.sh GAME DEMO_DATA_DIR
set -euo pipefail
game=$1
demo=$2
work=$(mktemp -d)
first=
cleanup() {
  [ -n "$first" ] && kill -9 "$first" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

saves=$work/saves
# Two games on one save folder: the first teaches nothing, the second a card.
for copy in first second; do
  cp -r "$demo" "$work/$copy"
  # Nothing of earlier runs on the demo: the progress starts empty.
  rm -rf "$work/$copy/save" "$work/$copy/quillfen.lock"
  mkdir -p "$work/$copy/save"
  printf '.int a\n' > "$work/$copy/config.scn"
done
wait_text='.show msg1\n.msg 1\n.update 0\nWaiting\n.update 0\n.clk\n'
printf ".svd\n$wait_text" > "$work/first/start.scn"
printf ".card add deck 1 2\n.svd\n$wait_text" > "$work/second/start.scn"

run() {  # run COPY LOG [env...]: the copy headless to its end; its exit status
  local copy=$1 log=$2
  shift 2
  env "$@" "$game" --headless --quiet --data "$work/$copy" --save-dir "$saves" --log "$log"
}
start_slow() {  # the first copy, writing slowly, in the background
  QUILLFEN_SLOW_WRITES=100000 "$game" --headless --quiet --data "$work/first" \
    --save-dir "$saves" --log "$work/first.log" &
  first=$!
}
# Polls a condition every 0.05 s for at most 30 s.
poll() {
  for _ in $(seq 600); do "$@" && return 0; sleep 0.05; done
  return 1
}
writing_pattern() { compgen -G "$saves/save/Pattern.dat.quillfen-*.tmp" >/dev/null; }
card_one() { od -An -tu1 -j1 -N1 "$saves/save/Collection.dat" 2>/dev/null | tr -d ' '; }

# The second copy starts while the first writes its progress (".svd").
start_slow
poll writing_pattern || fail "the first copy never wrote its progress"
status=0
run second "$work/second.log" || status=$?
[ "$status" -eq 1 ] || fail "the second copy ended with $status, not 1"
grep -q 'message box: このゲームはすでに起動しています' "$work/second.log" ||
  fail "the second copy did not say the game is running"
[ "$(card_one)" != 1 ] || fail "the second copy wrote its progress over the first one's"
wait "$first" || fail "the first copy did not end well"
first=
[ -s "$saves/save/Collection.dat" ] && [ "$(card_one)" = 0 ] ||
  fail "the first copy's progress is not what it wrote"

# Killed in the middle of a write: its temporary stays behind, and so does
# the lock file, but not the lock.
start_slow
poll writing_pattern || fail "the first copy never wrote its progress"
kill -9 "$first"
wait "$first" 2>/dev/null || true
first=
writing_pattern || fail "the kill left no temporary to clean"
# The player's own files in the folder, named as other programs name theirs,
# and one named as the game's temporaries but in a folder the game never made.
player_files=(notes.txt.tmp123 save/diary.tmp42 photos/holiday.jpg.tmp7
  photos/2024/a.b.tmp99999 photos/old.dat.quillfen-7.tmp)
for f in "${player_files[@]}"; do
  mkdir -p "$(dirname "$saves/$f")"
  echo mine > "$saves/$f"
done
run second "$work/third.log" || fail "the next copy after the kill did not run"
grep -q 'このゲームはすでに起動しています' "$work/third.log" && fail "the kill kept the folder locked"
! writing_pattern || fail "the killed write's temporary outlived the next start"
for f in "${player_files[@]}"; do
  [ "$(cat "$saves/$f" 2>/dev/null)" = mine ] || fail "the start removed the player's $f"
done
[ "$(card_one)" = 1 ] || fail "the next copy did not write its progress"
echo "save folder: second copy refused, progress kept, player's files kept"
