#!/usr/bin/env bash
# The desktop backend in a real X server: the window shows, pixel for pixel,
# what the headless backend shows at the same moments of the same run; a
# click reaches the game; Alt+Enter twice returns to the centred window.
set -euo pipefail
bin=$1
src=$2
demo=${3:-}
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  [ -n "${KEEP_WORK:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; echo "0 passed, 1 failed"; exit 1; }

# The server picks a free display number and tells it once it is ready, so
# two runs on one machine never share a display. Without -noreset it resets
# whenever its last client leaves, and a reset drops every connection still
# being made: on a busy machine the server meets a client's leaving and the
# window manager's arrival in one wake-up, the window manager dies with
# "Failed to open the display", and the window test waits for it in vain.
Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
pids+=($xvfb)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(head -1 "$work/display")
# Polls a condition every 0.1 s for at most N tenths of a second.
poll() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do "$@" && return 0; sleep 0.1; done
  "$@"
}
# That moment, made to happen every time rather than by chance: a client
# leaves and the window manager connects while the server cannot run.
# The client prints the property once it is connected.
xprop -root -spy _NET_SUPPORTING_WM_CHECK >"$work/holder" 2>&1 &
holder=$!
pids+=($holder)
poll 100 test -s "$work/holder" || fail "no X server on $DISPLAY"
kill -STOP "$xvfb"
kill "$holder"
wait "$holder" 2>/dev/null || true
openbox >"$work/openbox.log" 2>&1 &
wm=$!
pids+=($wm)
sleep 0.3
kill -CONT "$xvfb"
wm_running() {
  kill -0 "$wm" 2>/dev/null || fail "the window manager ended: $(tr '\n' ' ' <"$work/openbox.log")"
  local check
  check=$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null) || return 1
  [[ $check == *"window id"* ]]
}
poll 300 wm_running || fail "the window manager did not start"

data=$work/data
mkdir -p "$data/save"
for f in "$src"/tests/desktop/data/*.scn; do
  iconv -f UTF-8 -t CP932 "$f" > "$data/$(basename "$f")"
done

# The reference: the same run headless.
cat > "$work/input.txt" <<'IN'
wait screenshot first
wait click 320 240
wait screenshot second
wait key esc
IN
"$bin" --headless --quiet --data "$data" --input "$work/input.txt" --screenshot-dir "$work/headless"

# The window.
"$bin" --data "$data" > "$work/game.log" 2>&1 & game=$!
pids+=($game)
wid=$(timeout 10 xdotool search --sync --name '^Quillfen$' | head -1)
[ -n "$wid" ] || fail "no window"

same() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" = "0" ]; }
# Captures the client area once it has stopped changing.
capture() {
  local out=$1 prev="$work/prev.png"
  import -window "$wid" "png24:$prev"
  for _ in $(seq 40); do
    sleep 0.15
    import -window "$wid" "png24:$out"
    same "$out" "$prev" && return 0
    cp "$out" "$prev"
  done
  return 0
}
geometry() { xwininfo -id "$wid" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width:/{w=$2} /Height:/{h=$2} END{print x","y" "w"x"h}'; }

passed=0
check() {
  if "$@"; then passed=$((passed + 1)); else fail "$*"; fi
}

capture "$work/first.png"
check same "$work/first.png" "$work/headless/first.png"
xdotool mousemove --window "$wid" 320 240 click 1
capture "$work/second.png"
check same "$work/second.png" "$work/headless/second.png"

geometry_is() { [ "$(geometry)" = "$1" ]; }
start=$(geometry)
xdotool key --window "$wid" alt+Return
check poll 50 geometry_is "0,0 1024x768"
xdotool key --window "$wid" alt+Return
check poll 50 geometry_is "$start"

# The window is gone before the key is released: xdotool may complain.
xdotool key --window "$wid" Escape 2>/dev/null || true
game_gone() { ! kill -0 "$game" 2>/dev/null; }
poll 50 game_gone || fail "Esc did not close the game"
# The release found no window, so the server still holds Esc down; the next
# window would see it held the moment it takes the focus, and close.
xdotool keyup Escape 2>/dev/null || true

# Sound: the demo's opening (its title bell, then the town's music) through
# SDL's audio stream, written to a file by SDL's disk driver: five seconds of
# it, and not silent. Its progress goes to a folder of the test's own, not
# into the build's demo data that other tests read.
if [ -n "$demo" ] && command -v sox >/dev/null 2>&1; then
  SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" "$bin" --data "$demo" --save-dir "$work/saves" >/dev/null 2>&1 &
  sound=$!
  pids+=($sound)
  # Five seconds of 44.1 kHz stereo float: the bell and the start of the music.
  holds_five_seconds() { [ "$(stat -c %s "$work/audio.raw" 2>/dev/null || echo 0)" -ge 1764000 ]; }
  check poll 300 holds_five_seconds
  kill "$sound" 2>/dev/null || true
  wait "$sound" 2>/dev/null || true
  rms() {
    sox -t raw -r 44100 -e floating-point -b 32 -c 2 "$work/audio.raw" -n trim "$@" stat 2>&1 |
      awk '/RMS +amplitude/ {print $3}'
  }
  audible() { awk -v r="${1:-0}" 'BEGIN { exit !(r > 0.001) }'; }
  check audible "$(rms 0 1.5)"    # the bell
  check audible "$(rms 4.2 0.8)"  # the town's music, which starts at 3.9 s
fi
echo "$passed passed, 0 failed"
