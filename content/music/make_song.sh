#!/bin/sh
# Makes one song of the game from its score:
#   make_song.sh SCORE.abc OUT ABC2MIDI MIDIGEN GPLP
# abc2midi writes the Standard MIDI File; a score with %%loop lines is then
# made to loop by midigen; an OUT ending in .dpa is packed by gplp, its member
# named as the game asks for the song (NAME.mid).
set -e
score=$1
out=$2
abc2midi=$3
midigen=$4
gplp=$5
work=$out.work
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
"$abc2midi" "$score" -silent -o "$work/song.mid"
[ -s "$work/song.mid" ] || { echo "$score: abc2midi wrote no song" >&2; exit 1; }
if grep -q '^%%loop-' "$score"; then
  "$midigen" loop "$work/song.mid" "$work/loop.mid"
  mv "$work/loop.mid" "$work/song.mid"
fi
case $out in
  *.dpa) "$gplp" pack "$work/song.mid" "$out" "$(basename "$out" .dpa).mid" ;;
  *) mv "$work/song.mid" "$out" ;;
esac
