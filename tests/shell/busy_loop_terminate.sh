#!/bin/sh
# A scenario that loops without ever waiting, ended by SIGTERM as a session
# manager or `kill` ends it: the game quits the normal way and the cards
# given before the loop are in the progress file. A second copy started
# meanwhile is refused and leaves them alone.
game=$1
dir=$2/busy-loop-terminate
rm -rf "$dir" && mkdir -p "$dir/data" || exit 2
printf '.int n\n' > "$dir/data/config.scn"
printf '.card add stock 7 1\n.card add stock 9 1\n:loop\n.let n = n + 1\n.jmp :loop\n' > "$dir/data/start.scn"
"$game" --headless --quiet --data "$dir/data" --log "$dir/run.log" &
pid=$!
# Once its window is open the game holds the folder.
for _ in $(seq 200); do grep -q '^\[.*\] window ' "$dir/run.log" 2>/dev/null && break; sleep 0.1; done
sleep 1
# A second copy on the same folder says so and ends with 1, before it reads
# or writes anything.
timeout 20 "$game" --headless --quiet --data "$dir/data" --log "$dir/second.log"
second=$?
grep -q 'message box: このゲームはすでに起動しています' "$dir/second.log" && [ $second -eq 1 ] ||
  { echo "a second copy was not refused (status $second)"; kill -KILL "$pid"; exit 1; }
kill -TERM "$pid"
# A game still running 20 s later did not hear the request.
for _ in $(seq 200); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && { kill -KILL "$pid"; echo "SIGTERM did not end the busy loop"; exit 1; }
wait "$pid"
status=$?
[ "$status" -eq 0 ] || { echo "exit status $status"; cat "$dir/run.log"; exit 1; }
owned=$(od -An -tu1 -j7 -N3 "$dir/data/save/Collection.dat" 2>/dev/null | tr -s ' ')
[ "$owned" = " 1 0 1" ] || { echo "progress not written (cards 7-9: '$owned')"; exit 1; }
echo "busy loop ended by SIGTERM with its progress written"
