#!/usr/bin/env bash
# The Windows program: cross-builds it (preset mingw) with the data directory
# a Linux build made, packs the zip, runs the unit tests built for Windows
# under Wine, and plays the demo's opening under Wine on a virtual X display,
# comparing the screens it waits on with the ones the headless backend shows
# at the same moments.
#
# QF_LINUX_BUILD: the Linux build folder whose tools make the data (build/ci).
# QF_WINE_TOLERANCE: pixels a screen may differ by: the click cursor blinks
# (about 240 pixels), and another rasteriser of the same IPA fonts may set a
# few edge pixels differently.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
linux=${QF_LINUX_BUILD:-build/ci}
tolerance=${QF_WINE_TOLERANCE:-1500}

scripts/deps.sh --dev
echo "== Linux build for the data: $linux =="
[ -f "$linux/build.ninja" ] || cmake --preset "$(basename "$linux")" >/dev/null
nice -n 10 cmake --build "$linux" -j 2 --target demo_data quillfen

echo "== mingw cross-build =="
cmake --preset mingw -DQF_DATA_FROM="$root/$linux/data" >/dev/null
nice -n 10 cmake --build --preset mingw -j 2
(cd build/mingw && cpack -G ZIP >/dev/null)
zip=build/mingw/Quillfen-0.1-win64.zip
listing=$(unzip -l "$zip")
for want in quillfen.exe gplp.exe midigen.exe README.txt data/start.scn data/source1.K16; do
  grep -q "Quillfen-0.1-win64/$want\$" <<<"$listing" || { echo "the zip lacks $want"; exit 1; }
done
echo "zip: $zip ($(wc -c <"$zip") bytes)"

wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
export WINEPREFIX=$root/build/wine/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$root/build/wine/run
rm -rf "$work"
mkdir -p "$work"

# A virtual display for Wine and the screenshots.
display=
# -noreset: the server would otherwise reset whenever its last client left,
# dropping a connection being made at that moment (see tests/desktop).
Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
wine_pid=
cleanup() {
  [ -n "$wine_pid" ] && kill "$wine_pid" 2>/dev/null
  DISPLAY=$display "$(dirname "$wine")/wineserver" -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
display=:$(cat "$work/display")
export DISPLAY=$display

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== creating the Wine prefix (once) =="
  "$wine" wineboot -i >/dev/null 2>&1
fi
# The game asks for the Windows Japanese faces by name; Wine is told to use
# the IPA fonts in their place, as the Linux backends do.
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"ＭＳ ゴシック"="IPAGothic"\r\n"ＭＳ 明朝"="IPAMincho"\r\n' |
  { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } >"$work/fonts.reg"
"$wine" regedit /S "Z:$(tr / '\\' <<<"$work/fonts.reg")" 2>/dev/null
"$(dirname "$wine")/wineserver" -w 2>/dev/null || true

failed=0
echo "== unit tests under Wine =="
# The one test left out asks the font book which font file serves the
# mincho face; GDI under Wine answers with the face's Windows name.
"$wine" build/mingw/quillfen_tests.exe --gtest_brief=1 \
  --gtest_filter=-RealFontTest.FullLinesOfKanjiBreakWhereTheOriginalFacesDo \
  >"$work/tests.log" 2>&1 || failed=$((failed + 1))
grep -v -e ALSA -e '^Running main' "$work/tests.log" | grep -v '^$' | tail -n 25
tests_passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\..*/\1/p' "$work/tests.log")

echo "== the headless backend's screens =="
{ cat scripts/opening_input.txt; cat <<'INPUT'; } >"$work/input.txt"
wait move 120 354
wait screenshot menu-hover
wait+800 click 540 458
wait screenshot deck-editor
INPUT
# Each run on a fresh copy of the data: the game writes its progress at the
# end, and a second run must start as the first did.
cp -r "$linux/data" "$work/data-linux"
cp -r build/mingw/data "$work/data-wine"
# The player of this run asks to be asked before the game ends and to leave
# the deck editor with Esc; the headless run never asks, nor presses Esc.
printf 'confirm_quit = 1\r\nescape_back = 1\r\n' >"$work/data-wine/settings.txt"
"$linux/quillfen" --headless --quiet --data "$work/data-linux" --input "$work/input.txt" \
  --screenshot-dir "$work/headless" --log "$work/headless.log"

echo "== the Windows program under Wine =="
"$wine" build/mingw/quillfen.exe --answer-boxes --verbose --data "Z:$(tr / '\\' <<<"$work/data-wine")" \
  >"$work/wine.log" 2>&1 &
wine_pid=$!
window=$(timeout 120 xdotool search --sync --name '^Quillfen$' | head -n 1) ||
  { cat "$work/wine.log"; echo "no game window appeared"; exit 1; }
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "window $window: ${WIDTH}x${HEIGHT} at $X,$Y"
# Wine draws the frame itself when no window manager does: the client area
# is the bottom 640 x 480 of the window, centred across.
cx=$(( (WIDTH - 640) / 2 ))
cy=$(( HEIGHT - 480 - cx ))

shot() { # NAME: the client area as it is now
  import -silent -window "$window" -crop "640x480+$cx+$cy" +repage "$work/$1.png"
}
differ() { # A B: pixels that differ by more than the fuzz
  compare -metric AE -fuzz 6% "$1" "$2" null: 2>&1 || true
}
settle() { # NAME: waits until the screen has not changed (the click
  # cursor's blink aside) for about three seconds, longer than the story's
  # timed pauses, then keeps it as NAME
  local still=0 n
  shot "$1.prev"
  for _ in $(seq 150); do
    sleep 0.6
    shot "$1.now"
    n=$(differ "$work/$1.now.png" "$work/$1.prev.png")
    if [ "${n%%.*}" -lt 300 ]; then
      still=$((still + 1))
    else
      still=0
    fi
    mv "$work/$1.now.png" "$work/$1.prev.png"
    if [ $still -ge 5 ]; then mv "$work/$1.prev.png" "$work/$1.png"; return 0; fi
  done
  echo "the screen never settled for $1"
  return 1
}
click() { # [X Y]: a click in the client area, by default in its middle
  xdotool mousemove --window "$window" $((cx + ${1:-320})) $((cy + ${2:-240})) click 1 2>/dev/null
}

shots=""
check() { # NAME: compares the settled Wine screen with the headless one
  local n
  n=$(differ "$work/$1.png" "$work/headless/$1.png")
  echo "$1: $n pixels differ (tolerance $tolerance)"
  shots="$shots${shots:+, }$1 $n"
  if [ "${n%%.*}" -gt "$tolerance" ]; then
    compare -fuzz 6% "$work/$1.png" "$work/headless/$1.png" "$work/$1.diff.png" 2>/dev/null || true
    echo "  see $work/$1.png, $work/headless/$1.png and $work/$1.diff.png"
    failed=$((failed + 1))
  fi
}
settle arrival
check arrival
click
settle between
click
settle ordo
check ordo
for _ in 1 2 3 4; do
  click
  settle between
done
click
settle menu
check menu
xdotool mousemove --window "$window" $((cx + 120)) $((cy + 354)) 2>/dev/null
settle menu-hover
check menu-hover
click 540 458
settle deck-editor
check deck-editor

# Alt+Enter: full screen where the display can take 640 x 480 in 16 bits,
# or else the game's own box saying why not; either way the game goes on.
boxes_before=$(grep -c '^message box' "$work/wine.log" || true)
xdotool key --window "$window" alt+Return 2>/dev/null
sleep 3
if [ "$(grep -c '^message box' "$work/wine.log" || true)" -gt "$boxes_before" ]; then
  echo "full screen refused: $(grep '^message box' "$work/wine.log" | tail -n 1 | tr '\n' ' ')"
  refused_box=$(grep '^message box' "$work/wine.log" | tail -n 1)
else
  eval "$(xdotool getwindowgeometry --shell "$window")"
  echo "full screen: ${WIDTH}x${HEIGHT} at $X,$Y"
  xdotool key --window "$window" alt+Return 2>/dev/null
  sleep 2
fi
# Esc on the deck editor goes back to the story; there Esc asks first, and
# Enter answers yes.
xdotool key --window "$window" Escape 2>/dev/null
settle back-from-editor
left=$(differ "$work/back-from-editor.png" "$work/deck-editor.png")
if [ "${left%%.*}" -lt 3000 ]; then
  echo "Esc did not leave the deck editor"
  failed=$((failed + 1))
fi
xdotool key --window "$window" Escape 2>/dev/null
settle asked
if ! kill -0 "$wine_pid" 2>/dev/null; then
  echo "the game ended on Esc without asking"
  failed=$((failed + 1))
fi
xdotool key --window "$window" Return 2>/dev/null
for _ in $(seq 100); do kill -0 "$wine_pid" 2>/dev/null || break; sleep 0.2; done
if kill -0 "$wine_pid" 2>/dev/null; then
  echo "the game did not end on Esc and Enter"
  failed=$((failed + 1))
fi
wait "$wine_pid" 2>/dev/null || true
wine_pid=
refused_box=${refused_box:-}
if grep '^message box' "$work/wine.log" | grep -v -x -F -e "${refused_box:-none}" | grep -q .; then
  grep '^message box' "$work/wine.log"
  failed=$((failed + 1))
fi
grep -q 'no MIDI output device' "$work/wine.log" && echo "no MIDI device here: the game ran silently"

echo "== the end of the session and the close button under Wine =="
# Games of their own: each gets card 3, which only the progress written at
# its end can hold, goes on in NAME.scn (a click wait, or a loop that never
# waits) and asks before it ends. wineboot --end-session ends the session as
# Windows does: WM_QUERYENDSESSION, WM_ENDSESSION, and the process is ended
# once that returns, so the progress must be written by then.
session_game() { # DIR NAME LINE...
  local dir=$1 name=$2
  mkdir -p "$dir/save"
  printf '%s\r\n' "# No variables." >"$dir/config.scn"
  printf '%s\r\n' ".card add stock 3 1" ".show msg1" ".update 0" "Card 3 is yours." ".jmp $name" >"$dir/start.scn"
  printf '%s\r\n' "${@:3}" >"$dir/$name.scn"
  printf 'confirm_quit = 1\r\n' >"$dir/settings.txt"
  "$wine" "$session_exe" --answer-boxes --verbose --data "Z:$(tr / '\\' <<<"$dir")" >"$dir.log" 2>&1 &
  wine_pid=$!
  window=$(timeout 60 xdotool search --sync --name '^Quillfen$' | head -n 1) || return 1
  for _ in $(seq 300); do grep -q "^scenario $name" "$dir.log" && break; sleep 0.1; done
  sleep 0.5 # into its wait, or well into the loop
  grep -q "^scenario $name" "$dir.log"
}
game_ended() { # WHAT DIR: within ten seconds of $started, with card 3 in its progress
  local _ took
  for _ in $(seq 1000); do kill -0 "$wine_pid" 2>/dev/null || break; sleep 0.01; done
  took=$((($(date +%s%N) - started) / 1000000))
  if kill -0 "$wine_pid" 2>/dev/null; then
    echo "$1: the game still runs"
    failed=$((failed + 1))
    kill "$wine_pid" 2>/dev/null
  elif [ "$(od -An -tu1 -j3 -N1 "$2/save/Collection.dat" 2>/dev/null | tr -d ' ')" != 1 ]; then
    echo "$1: the progress written does not hold card 3"
    failed=$((failed + 1))
  else
    session="$session${session:+, }$1 ($took ms)"
  fi
  wait "$wine_pid" 2>/dev/null || true
  wine_pid=
}
session= session_exe=build/mingw/quillfen.exe
for case in wait loop; do
  lines=(".clk") what="at a click wait"
  [ "$case" = loop ] && lines=(":loop" ".jmp :loop") what="in a loop that never waits"
  if session_game "$work/session-$case" "$case" "${lines[@]}"; then
    started=$(date +%s%N)
    "$wine" wineboot --end-session 2>/dev/null
    game_ended "the session ended $what" "$work/session-$case"
  else
    echo "the $case game did not start: $(head -c 600 "$work/session-$case.log")"
    failed=$((failed + 1))
  fi
done
# The close button, pressed while the game runs without waiting: it asks
# (the game runs on), and a second press answers. Without a window manager
# there is no frame to press, but a copy of the program whose windows Wine
# does not leave to one gets the frame Windows would draw.
session_exe=$work/quillfen-framed.exe
cp build/mingw/quillfen.exe "$session_exe"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\quillfen-framed.exe\\X11 Driver]\r\n"Decorated"="N"\r\n' \
  >"$work/framed.reg"
"$wine" regedit /S "Z:$(tr / '\\' <<<"$work/framed.reg")" 2>/dev/null
"$(dirname "$wine")/wineserver" -w 2>/dev/null || true
if session_game "$work/close-busy" busy ":loop" ".jmp :loop"; then
  eval "$(xdotool getwindowgeometry --shell "$window")"
  border=$(((WIDTH - 640) / 2))
  caption=$((HEIGHT - 480 - 2 * border))
  close_x=$((WIDTH - border - caption / 2)) close_y=$((border + caption / 2))
  client="640x480+$border+$((border + caption))"
  import -silent -window "$window" -crop "$client" +repage "$work/close-before.png"
  started=$(date +%s%N)
  xdotool mousemove --window "$window" "$close_x" "$close_y" click 1 2>/dev/null
  sleep 1.5
  import -silent -window "$window" -crop "$client" +repage "$work/close-after.png"
  if ! kill -0 "$wine_pid" 2>/dev/null; then
    echo "the close button ended the busy game without asking"
    failed=$((failed + 1))
  elif [ "$(differ "$work/close-before.png" "$work/close-after.png")" = 0 ]; then
    echo "the close button did not reach the busy game (see $work/close-after.png)"
    failed=$((failed + 1))
  fi
  started=$(date +%s%N)
  xdotool mousemove --window "$window" "$close_x" "$close_y" click 1 2>/dev/null
  game_ended "the close button asked, then ended the busy game" "$work/close-busy"
else
  echo "the close button's game did not start: $(head -c 600 "$work/close-busy.log")"
  failed=$((failed + 1))
fi
if [ "$failed" -ne 0 ]; then
  echo "Windows checks failed: $failed (the files are in $work)"
  exit 1
fi
echo "Windows: ${tests_passed:-0} unit tests passed under Wine; the screens matched ($shots); Esc left the deck editor, then asked, and Enter ended the game; $session"
