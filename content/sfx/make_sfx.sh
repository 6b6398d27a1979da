#!/bin/sh
# Makes one sound effect: the recipe's non-comment line holds sox effects
# applied to silence (usually a "synth" first). make_sfx.sh RECIPE OUT.wav
set -e
recipe=$1
out=$2
args=$(grep -v '^[[:space:]]*#' "$recipe" | grep -v '^[[:space:]]*$' | head -n 1)
if [ -z "$args" ]; then
  echo "$recipe:1: no sox effects in this recipe" >&2
  exit 1
fi
# -R seeds the dither with a fixed number, so every build makes the same bytes.
# shellcheck disable=SC2086
sox -q -R -n -r 22050 -c 1 -b 16 "$out" $args || {
  echo "$recipe: sox could not make the sound from: $args" >&2
  exit 1
}
