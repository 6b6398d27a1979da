#!/bin/sh
# A scenario that loops without ever waiting, ended by SIGTERM as a session
# manager or `kill` ends it: the game quits the normal way and the cards
# given before the loop are in the progress file.
game=$1
dir=$2/busy-loop-terminate
rm -rf "$dir" && mkdir -p "$dir/data" || exit 2
printf '.int n\n' > "$dir/data/config.scn"
printf '.card add stock 7 1\n.card add stock 9 1\n:loop\n.let n = n + 1\n.jmp :loop\n' > "$dir/data/start.scn"
"$game" --headless --quiet --data "$dir/data" --log "$dir/run.log" &
pid=$!
sleep 1
kill -TERM "$pid"
# A game still running 20 s later did not hear the request.
i=0
while kill -0 "$pid" 2>/dev/null; do
  i=$((i + 1))
  if [ $i -gt 200 ]; then kill -KILL "$pid"; echo "SIGTERM did not end the busy loop"; exit 1; fi
  sleep 0.1
done
wait "$pid"
status=$?
[ "$status" -eq 0 ] || { echo "exit status $status"; cat "$dir/run.log"; exit 1; }
owned=$(od -An -tu1 -j7 -N3 "$dir/data/save/Collection.dat" 2>/dev/null | tr -s ' ')
[ "$owned" = " 1 0 1" ] || { echo "progress not written (cards 7-9: '$owned')"; exit 1; }
echo "busy loop ended by SIGTERM with its progress written"
