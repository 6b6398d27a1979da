#!/bin/sh
# The game as a player gets it: installed into a prefix, its data read-only,
# run headless from another working directory with a home of its own. The
# demo's opening is played up to the save into slot 1; the slot and the
# progress files must then be in the per-user folder, and nothing new in the
# data directory. The desktop entry and the AppStream file must validate.
#
#   install_test.sh BUILD_DIR AUTOPLAY_SCRIPT
set -u
build=$1
autoplay=$2
work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }

cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; echo "cmake --install failed"; exit 1; }
prefix=$work/prefix
data=$prefix/share/quillfen/data
for f in bin/quillfen bin/qf-scn bin/artgen share/applications/quillfen.desktop \
  share/metainfo/org.quillfen.Quillfen.metainfo.xml share/man/man6/quillfen.6.gz \
  share/man/man1/qfsim.1.gz share/icons/hicolor/16x16/apps/quillfen.png \
  share/icons/hicolor/256x256/apps/quillfen.png share/doc/quillfen/copyright \
  share/quillfen/data/start.scn; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done
# Every tool has its man page.
for tool in "$prefix"/bin/*; do
  name=$(basename "$tool")
  [ -e "$prefix/share/man/man1/$name.1.gz" ] || [ -e "$prefix/share/man/man6/$name.6.gz" ] ||
    fail "no man page for $name"
done
# What a run from the build folder saved must not have been shipped.
[ -z "$(ls -A "$data/save" 2>/dev/null)" ] || fail "the installed save folder is not empty"
[ ! -e "$data/settings.txt" ] && [ ! -e "$data/screenshots" ] ||
  fail "a build folder's settings or screenshots were installed"

chmod -R a-w "$data"
find "$data" -type f | sort >"$work/data-before"

# The opening of the demo's own autoplay, up to the screen after the save.
sed '/screenshot 05b-saved/q' "$autoplay" >"$work/save.txt"
grep -q '05b-saved' "$work/save.txt" || fail "the autoplay no longer saves at 05b-saved"
# A setting changed and a screenshot taken: both are the player's too.
printf 'wait key minus\nwait key f11\n' >>"$work/save.txt"
mkdir -p "$work/home" "$work/elsewhere"
(cd "$work/elsewhere" &&
  env -u XDG_DATA_HOME HOME="$work/home" "$prefix/bin/quillfen" --headless --quiet \
    --input "$work/save.txt" --log "$work/run.log" --screenshot-dir "$work/shots") ||
  fail "the installed game failed"
grep 'message box' "$work/run.log" && fail "the run showed a message box"
[ -s "$work/shots/05b-saved.png" ] || fail "the run did not reach the saved screen"

saves=$(find "$work/home/.local/share/quillfen" -name save1.dat 2>/dev/null)
case $saves in
  "$work"/home/.local/share/quillfen/quillfen-*/save/save1.dat) ;;
  *) fail "slot 1 is not in the per-user folder: '$saves'" ;;
esac
for f in Collection.dat ArtsList.dat Pattern.dat; do
  [ -n "$(find "$work/home/.local/share/quillfen" -name $f)" ] || fail "no $f in the per-user folder"
done
grep -q '^music_volume = 90$' "$work"/home/.local/share/quillfen/quillfen-*/settings.txt ||
  fail "the settings are not in the per-user folder"
ls "$work"/home/.local/share/quillfen/quillfen-*/screenshots/quillfen-*.png >/dev/null ||
  fail "the screenshot is not in the per-user folder"
find "$data" -type f | sort >"$work/data-after"
cmp -s "$work/data-before" "$work/data-after" || fail "the run wrote into the data directory"

# XDG_DATA_HOME moves the folder; --save-dir overrides both. The save is
# loaded back from there: a second run that only loads slot 1 finds it.
(cd "$work/elsewhere" &&
  HOME="$work/home" XDG_DATA_HOME="$work/xdg" "$prefix/bin/quillfen" --headless --quiet \
    --input "$work/save.txt" --log "$work/run2.log") || fail "the run with XDG_DATA_HOME failed"
[ -n "$(find "$work/xdg/quillfen" -name save1.dat 2>/dev/null)" ] ||
  fail "XDG_DATA_HOME did not take the save"
(cd "$work/elsewhere" &&
  HOME="$work/home" "$prefix/bin/quillfen" --headless --quiet --save-dir "$work/mine" \
    --input "$work/save.txt" --log "$work/run3.log") || fail "the run with --save-dir failed"
[ -f "$work/mine/save/save1.dat" ] || fail "--save-dir did not take the save"

if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$prefix/share/applications/quillfen.desktop" || fail "desktop-file-validate"
else
  echo "desktop-file-validate is missing (scripts/deps.sh): not checked"
fi
if command -v appstreamcli >/dev/null 2>&1; then
  appstreamcli validate --no-net "$prefix/share/metainfo/org.quillfen.Quillfen.metainfo.xml" ||
    fail "appstreamcli validate"
else
  echo "appstreamcli is missing (scripts/deps.sh): not checked"
fi

if [ $failed -ne 0 ]; then
  echo "0 passed, $failed failed"
  exit 1
fi
echo "installed game: saves in the per-user folder, data untouched, desktop files valid"
