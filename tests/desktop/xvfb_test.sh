#!/usr/bin/env bash
# The desktop backend in a real X server: the window shows, pixel for pixel,
# what the headless backend shows at the same moments of the same run; a
# click reaches the game; Alt+Enter twice returns to the centred window; Esc
# asks before it ends the game and Enter answers yes; the window manager's
# close asks once and a second close answers; a termination signal ends the
# game by itself, its progress written, at a click wait, with nothing left to
# run and in a scenario that never waits; and the demo's opening is heard
# through SDL's audio.
set -euo pipefail
bin=$1 src=$2 demo=${3:-} work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
# Polls a condition every 0.1 s for at most N tenths of a second.
poll() {
  for _ in $(seq "$1"); do "${@:2}" && return 0; sleep 0.1; done
  "${@:2}"
}

# The server picks a free display and tells it once ready. Without -noreset
# it resets when its last client leaves, which can drop the window manager
# while it connects.
Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 & pids+=($!)
poll 100 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=:$(head -1 "$work/display")
openbox >"$work/openbox.log" 2>&1 & pids+=($!)
wm_running() { [[ $(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null) == *"window id"* ]]; }
poll 300 wm_running || fail "the window manager did not start: $(cat "$work/openbox.log")"

data=$work/data
mkdir -p "$data/save"
for f in "$src"/tests/desktop/data/*.scn; do iconv -f UTF-8 -t CP932 "$f" >"$data/${f##*/}"; done
# A player who chose to be asked before the game ends; a scripted run never is.
echo "confirm_quit = 1" >"$data/settings.txt"
# The reference: the same run headless.
printf 'wait screenshot first\nwait click 320 240\nwait screenshot second\nwait key esc\n' >"$work/input.txt"
"$bin" --headless --quiet --data "$data" --input "$work/input.txt" --screenshot-dir "$work/headless"

"$bin" --data "$data" >"$work/game.log" 2>&1 & game=$! && pids+=($game)
wid=$(timeout 10 xdotool search --sync --name '^Quillfen$' | head -1)
[ -n "$wid" ] || fail "no window"
same() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" = "0" ]; }
# The client area once it has stopped changing, compared with the reference.
shows() {
  local out=$work/$1.png prev=$work/prev.png
  import -window "$wid" "png24:$prev"
  for _ in $(seq 40); do
    sleep 0.15
    import -window "$wid" "png24:$out"
    same "$out" "$prev" && break
    cp "$out" "$prev"
  done
  same "$out" "$work/headless/$1.png"
}
geometry() { xwininfo -id "$wid" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width:/{w=$2} /Height:/{h=$2} END{print x","y" "w"x"h}'; }
geometry_is() { [ "$(geometry)" = "$1" ]; }

shows first || fail "the window does not show the first frame"
xdotool mousemove --window "$wid" 320 240 click 1
shows second || fail "the window does not show the frame after the click"
start=$(geometry)
xdotool key --window "$wid" alt+Return
poll 50 geometry_is "0,0 1024x768" || fail "Alt+Enter did not go full screen"
xdotool key --window "$wid" alt+Return
poll 50 geometry_is "$start" || fail "Alt+Enter did not return to the window"
# A player at the window is asked first: the game runs on under the box.
xdotool key --window "$wid" Escape
game_gone() { ! kill -0 "$game" 2>/dev/null; }
sleep 0.5
game_gone && fail "Esc ended the game without asking"
import -window "$wid" "png24:$work/asked.png"
same "$work/asked.png" "$work/second.png" && fail "Esc showed no question"
[ -n "${QF_DESKTOP_SHOTS:-}" ] && cp "$work/asked.png" "$QF_DESKTOP_SHOTS/quit-box.png"
# The window is gone before the key is released: xdotool may complain, and
# the release must still reach the server, or the next window sees it held.
xdotool key --window "$wid" Return 2>/dev/null || true
poll 50 game_gone || fail "Enter in the quit box did not end the game"
xdotool keyup Return 2>/dev/null || true

# The rest on games of their own: each gets card 3, which only the progress
# written at its end can hold (none of them saves on its own), and goes on in
# NAME.scn, written from the lines given. The player asks to be asked.
game_data() { # DIR NAME LINE...
  local dir=$1 name=$2
  mkdir -p "$dir/save"
  cp "$data/config.scn" "$dir/"
  printf '%s\n' ".card add stock 3 1" ".show msg1" ".update 0" "Card 3 is yours." ".jmp $name" >"$dir/start.scn"
  printf '%s\n' "${@:3}" >"$dir/$name.scn"
  echo "confirm_quit = 1" >"$dir/settings.txt"
}
# Starts the game on DIR; back once it has gone on into NAME.scn.
start_in() { # DIR NAME
  "$bin" --verbose --data "$1" >"$1.log" 2>&1 &
  game=$! && pids+=($game)
  wid=$(timeout 10 xdotool search --sync --name '^Quillfen$' | head -1)
  [ -n "$wid" ] || fail "$2: no window"
  in_scenario() { grep -q "^scenario $2\$" "$1.log"; }
  poll 100 in_scenario "$1" "$2" || fail "$2: the game did not get to $2.scn: $(head -5 "$1.log")"
  sleep 0.3 # into its wait, or well into the loop
}
holds_card_3() { # DIR
  [ "$(od -An -tu1 -j3 -N1 "$1/save/Collection.dat" 2>/dev/null | tr -d ' ')" = 1 ] ||
    fail "$1: the progress written does not hold card 3"
}
# SIGNAL WHAT: the game ends by itself, the normal way, and says how soon.
ends_on() {
  local t0 t1
  t0=$(date +%s%N)
  kill -"$1" "$game"
  # Ten seconds is a hang, not slowness: without the signal's handling the
  # game runs on under its question for ever.
  for _ in $(seq 1000); do game_gone && break; sleep 0.01; done
  t1=$(date +%s%N)
  game_gone || fail "$2: the game still runs 10 s after SIG$1"
  wait "$game" || fail "$2: the game ended with status $? on SIG$1"
  ended="$ended${ended:+, }$2 $(((t1 - t0) / 1000000)) ms"
}
# The window manager's close (openbox's Alt+F4 on the focused window).
close_window() {
  xdotool windowactivate --sync "$wid" 2>/dev/null || fail "the window cannot be activated"
  xdotool key alt+F4
}
asks() { # WHAT
  import -window "$wid" "png24:$work/before.png"
  close_window
  sleep 0.5
  game_gone && fail "$1: one close request ended the game"
  import -window "$wid" "png24:$work/after.png"
  same "$work/before.png" "$work/after.png" && fail "$1: the close request showed no question"
  return 0
}
ended=

# One press of the close button asks once; a second one answers.
game_data "$work/close" wait ".clk"
start_in "$work/close" wait
asks "close"
close_window
poll 50 game_gone || fail "a second close request did not end the game"
holds_card_3 "$work/close"

# A termination signal ends the game however it stands: waiting for a click;
# with nothing left to run, and sleeping in the system's event wait (no
# timer runs, only the signal can wake it), under the question; busy in a
# scenario that never waits.
game_data "$work/wait" wait ".clk"
start_in "$work/wait" wait
ends_on TERM "at a click wait"
holds_card_3 "$work/wait"
game_data "$work/idle" idle "# The story ends here: nothing is left to run."
start_in "$work/idle" idle
asks "idle"
ends_on HUP "idle, asked"
holds_card_3 "$work/idle"
game_data "$work/busy" busy ":loop" ".jmp :loop"
start_in "$work/busy" busy
ends_on TERM "busy"
holds_card_3 "$work/busy"
echo "ended by signals: $ended"

# Sound: the title bell, then the town's music from 3.9 s, through SDL's disk
# driver into a file; its progress goes to a folder of the test's own.
if [ -n "$demo" ] && command -v sox >/dev/null 2>&1; then
  SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" "$bin" --data "$demo" --save-dir "$work/saves" >/dev/null 2>&1 & sound=$! && pids+=($sound)
  # Five seconds of 44.1 kHz stereo float.
  holds_five_seconds() { [ "$(stat -c %s "$work/audio.raw" 2>/dev/null || echo 0)" -ge 1764000 ]; }
  poll 300 holds_five_seconds || fail "no five seconds of sound"
  kill "$sound" 2>/dev/null || true
  audible() {
    sox -t raw -r 44100 -e floating-point -b 32 -c 2 "$work/audio.raw" -n trim "$@" stat 2>&1 |
      awk '/RMS +amplitude/ { r = $3 } END { exit !(r > 0.001) }'
  }
  audible 0 1.5 || fail "the title bell is silent"
  audible 4.2 0.8 || fail "the town's music is silent"
fi
echo "desktop window: frames as headless, click, full screen and back, Esc asks, a close asks once, signals end the game, sound"
