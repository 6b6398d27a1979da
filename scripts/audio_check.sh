#!/bin/sh
# Plays each looping song through the game's headless run for about two and
# a half times round its loop, renders the run's audio and measures it with
# sox: heard (RMS), not clipped (peak below 0 dBFS), and no gap at the seams,
# where the song goes back to its "L" marker (the RMS of every 50 ms window
# from 250 ms before a seam to 350 ms after it).
#
#   scripts/audio_check.sh [BUILD_DIR [OUT_DIR]]
#
# BUILD_DIR defaults to build/default; the WAV files stay in OUT_DIR
# (default BUILD_DIR/audio-check) to be listened to. Exits 1 when a song
# fails, 2 when a tool or the SoundFont is missing.
set -eu
build=${1:-build/default}
out=${2:-$build/audio-check}
bin=$build/quillfen
data=$build/data
gplp=$build/tools/gplp/gplp

# A seam window quieter than this is a gap; a peak at or over this clips.
gap_floor_db=-45
clip_db=0

for tool in sox midicsv awk; do
  command -v $tool >/dev/null 2>&1 || { echo "audio_check: $tool is missing (scripts/deps.sh --dev)"; exit 2; }
done
[ -x "$bin" ] && [ -d "$data" ] || { echo "audio_check: build the game first ($bin, $data)"; exit 2; }
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A copy of the demo's data (the game opens nothing outside its folder, links
# included) whose start scenario only plays a song.
cp -R "$data" "$work/data"
rm -rf "$work/data/save" && mkdir "$work/data/save"

# The RMS level (dBFS) of the 50 ms from second $2 of $1, or -inf.
rms_db() { sox "$1" -n trim "$2" 0.05 stats 2>&1 | awk '/^RMS lev dB/ {print $4}'; }

status=0
for song in 'bmid\card2' 'bmid\card15' 'bgm\tension'; do
  file=$(printf '%s' "$song" | tr '\\' /)
  stem=$(basename "$file")
  if [ -f "$data/$file.mid" ]; then
    cp "$data/$file.mid" "$work/$stem.mid"
  else
    "$gplp" unpack "$data/$file.dpa" "$work/$stem.mid"
  fi
  # Division, tempo (the first), the "L" tick and the end tick.
  set -- $(midicsv "$work/$stem.mid" | awk -F', *' '
    $3 == "Header" { division = $6 }
    $3 == "Tempo" && tempo == "" { tempo = $4 }
    $3 == "Marker_t" && $4 == "\"L\"" { loop = $2 }
    $3 == "End_track" && $2 > end { end = $2 }
    END { print division, (tempo == "" ? 500000 : tempo), loop, end }')
  division=$1 tempo=$2 loop=$3 end=$4
  [ -n "$loop" ] || { printf '%s: no loop marker\n' "$song"; status=1; continue; }
  # The song sounds 100 ms after it is started; each repeat goes back from
  # the end to the marker in 101 ms.
  times=$(awk -v d="$division" -v t="$tempo" -v l="$loop" -v e="$end" 'BEGIN {
    ms = t / d / 1000; endMs = e * ms; period = (e - l) * ms + 101
    printf "%.0f %.0f %.0f", endMs, period, 100 + endMs + 1.5 * period }')
  set -- $times
  end_ms=$1 period_ms=$2 until_ms=$3

  printf '# Plays one song, looping, for the audio check.\n:title\n.mid %s 0\n.wat %s\n' \
    "$song" "$until_ms" > "$work/data/start.scn"
  wav="$out/$stem.wav"
  "$bin" --headless --quiet --data "$work/data" --until "$until_ms" --log "$work/log" \
    --audio-out "$wav" 2> "$work/err" || { cat "$work/err"; printf '%s: the game failed\n' "$song"; status=1; continue; }
  if grep -q 'music is left out' "$work/err"; then
    cat "$work/err"; echo "audio_check: no SoundFont, nothing to measure"; exit 2
  fi
  open_ms=$(awk '/midi open/ { t = $0; sub(/^\[ */, "", t); sub(/ ms\].*/, "", t); print t; exit }' "$work/log")

  stats=$(sox "$wav" -n stats 2>&1)
  peak=$(printf '%s\n' "$stats" | awk '/^Pk lev dB/ {print $4}')
  rms=$(printf '%s\n' "$stats" | awk '/^RMS lev dB/ {print $4}')
  printf '%s: %s s, peak %s dBFS, RMS %s dBFS, loop %s ms after an intro\n' \
    "$song" "$(soxi -D "$wav")" "$peak" "$rms" "$period_ms"
  if awk -v p="$peak" -v c="$clip_db" 'BEGIN { exit !(p >= c) }'; then
    echo "  FAIL: the peak reaches $clip_db dBFS (clipping)"; status=1
  fi
  if awk -v r="$rms" 'BEGIN { exit !(r == "-inf" || r < -40) }'; then
    echo "  FAIL: the song is (nearly) silent"; status=1
  fi
  for k in 1 2; do
    seam=$(awk -v o="$open_ms" -v e="$end_ms" -v p="$period_ms" -v k="$k" \
      'BEGIN { printf "%.0f", o + 100 + e + (k - 1) * p }')
    levels=""
    low=0
    w=-250
    while [ $w -lt 350 ]; do
      at=$(awk -v s="$seam" -v w="$w" 'BEGIN { printf "%.3f", (s + w) / 1000 }')
      level=$(rms_db "$wav" "$at")
      levels="$levels $level"
      if awk -v r="$level" -v f="$gap_floor_db" 'BEGIN { exit !(r == "-inf" || r < f) }'; then low=1; fi
      w=$((w + 50))
    done
    echo "  seam $k at $(awk -v s="$seam" 'BEGIN { printf "%.3f", s / 1000 }') s, RMS dBFS of 50 ms windows from -250 ms:$levels"
    if [ $low -eq 1 ]; then echo "  FAIL: a gap at seam $k (a window below $gap_floor_db dBFS)"; status=1; fi
  done
done
[ $status -eq 0 ] && echo "audio check: every looping song heard, unclipped, without a gap at its seams"
exit $status
