#!/bin/sh
# The demo tour, played headless from start to end as the play command does
# without a display: it must reach its last screenshot with no message box,
# and every song it starts must be heard in the rendered audio. With a fourth
# argument, the run must have reached that scenario file (the story's ending:
# a script out of step with the story would still reach its last screenshot).
bin=$1
data=$2
script=$3
reach=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin" --headless --quiet --data "$data" --input "$script" --screenshot-dir "$work" \
  --log "$work/log" --audio-out "$work/tour.wav" 2>"$work/err" ||
  { cat "$work/err"; echo "the game failed"; echo "0 passed, 1 failed"; exit 1; }
cat "$work/err" >&2
if grep -q 'message box' "$work/log"; then
  grep 'message box' "$work/log"
  echo "0 passed, 1 failed"
  exit 1
fi
if [ -n "$reach" ] && ! grep -q "\] scenario $reach\$" "$work/log"; then
  echo "the run never reached the scenario $reach"
  echo "0 passed, 1 failed"
  exit 1
fi
last=$(grep '^wait.*screenshot' "$script" | tail -n 1 | awk '{print $3}')
if [ ! -s "$work/$last.png" ]; then
  echo "the tour did not reach its last screenshot ($last)"
  echo "0 passed, 1 failed"
  exit 1
fi

# Every song, from its "midi open" to the next open or close, measured where
# no wave effect plays over it (the effects alone would pass for music).
if ! command -v sox >/dev/null 2>&1 || ! command -v soxi >/dev/null 2>&1; then
  echo "sox is missing: the tour's audio is not checked"
elif grep -q 'music is left out' "$work/err"; then
  echo "no SoundFont: the tour's audio is not checked"
else
  # The render stops at a length limit; songs past it are not judged.
  rendered=$(soxi -D "$work/tour.wav" | awk '{ printf "%d", $1 * 1000 }')
  awk -v wav="$work/tour.wav" -v data="$data" -v floor=0.02 -v rendered="$rendered" '
    function ms(line, t) { t = line; sub(/^\[ */, "", t); sub(/ ms\].*/, "", t); return t + 0 }
    function endEffect(t) { if (effectOpen) { effectEnd[effects] = t; effectOpen = 0 } }
    function endSong(t) { if (songOpen) { songEnd[songs] = t; songOpen = 0 } }
    {
      t = ms($0); line = $0; sub(/^\[[^]]*\] /, "", line); lastT = t
      if (line == "midi open") { endSong(t); songs++; songStart[songs] = t; songOpen = 1 }
      else if (line == "midi close") endSong(t)
      else if (line == "wave stop") endEffect(t)
      else if (line ~ /^wave "/) {
        endEffect(t)
        name = line; sub(/^wave "/, "", name); sub(/" flags .*/, "", name); gsub(/\\/, "/", name)
        flags = line; sub(/.* flags /, "", flags)
        effects++; effectStart[effects] = t; effectEnd[effects] = t
        length_s = 0
        cmd = "soxi -D \"" data "/" name "\" 2>/dev/null"
        if ((cmd | getline length_s) > 0) effectEnd[effects] = t + int(length_s * 1000 + 0.5)
        close(cmd)
        if (flags + 0 >= 8) effectOpen = 1  # a looping wave lasts until the next
        else effectOpen = 0
      }
    }
    END {
      endSong(lastT); endEffect(lastT)
      if (songs == 0) { print "the tour started no music"; exit 1 }
      bad = 0
      for (s = 1; s <= songs; s++) {
        # A song replaced within three seconds (the music of the scene put
        # back after a battle, then the next of the scenario) is not judged.
        if (songEnd[s] - songStart[s] < 3000) continue
        if (songStart[s] + 1000 > rendered) {
          printf "song %d (from %d ms): past the rendered audio\n", s, songStart[s]
          continue
        }
        if (songEnd[s] > rendered) songEnd[s] = rendered
        # The spans of the song clear of every effect, after the start delay.
        n = 1; from[1] = songStart[s] + 200; to[1] = songEnd[s]
        for (e = 1; e <= effects; e++) {
          m = 0
          for (i = 1; i <= n; i++) {
            a = from[i]; b = to[i]; x = effectStart[e]; y = effectEnd[e] + 100
            if (y <= a || x >= b) { m++; nf[m] = a; nt[m] = b; continue }
            if (x > a) { m++; nf[m] = a; nt[m] = x }
            if (y < b) { m++; nf[m] = y; nt[m] = b }
          }
          n = m
          for (i = 1; i <= n; i++) { from[i] = nf[i]; to[i] = nt[i] }
        }
        energy = 0; total = 0
        for (i = 1; i <= n; i++) {
          d = to[i] - from[i]
          if (d < 100) continue
          cmd = "sox \"" wav "\" -n trim " from[i] / 1000 " " d / 1000 " stat 2>&1"
          while ((cmd | getline l) > 0) {
            if (l ~ /^RMS +amplitude/) { split(l, f, ":"); energy += (f[2] + 0) ^ 2 * d; total += d }
          }
          close(cmd)
        }
        if (total < 1000) {
          printf "song %d (from %d ms): under a second without effects, cannot be judged\n", s, songStart[s]
          bad = 1
          continue
        }
        rms = sqrt(energy / total)
        printf "song %d (%d to %d ms): music RMS %.4f over %.1f s\n", s, songStart[s], songEnd[s], rms, total / 1000
        if (rms < floor) { printf "song %d is not heard (RMS under %s)\n", s, floor; bad = 1 }
      }
      exit bad
    }' "$work/log" || { echo "0 passed, 1 failed"; exit 1; }
fi
echo "1 passed, 0 failed"
