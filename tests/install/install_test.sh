#!/usr/bin/env bash
# The game as a player gets it: installed into a prefix, its data read-only,
# run headless from another working directory with a home of its own. The
# demo's opening is played up to the save into slot 1, a setting changed and
# a screenshot taken: all of it must be in the per-user folder (or where
# XDG_DATA_HOME or --save-dir put it), nothing new in the data directory. The
# desktop entry and the AppStream file must validate.
#
#   install_test.sh BUILD_DIR AUTOPLAY_SCRIPT
set -u
work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }

prefix=$work/prefix
cmake --install "$1" --prefix "$prefix" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; echo "cmake --install failed"; exit 1; }
data=$prefix/share/quillfen/data
# ls names what is missing.
(cd "$prefix" && ls bin/quillfen bin/qf-scn bin/artgen share/applications/quillfen.desktop \
  share/metainfo/org.quillfen.Quillfen.metainfo.xml share/man/man6/quillfen.6.gz \
  share/man/man1/qfsim.1.gz share/icons/hicolor/{16x16,256x256}/apps/quillfen.png \
  share/doc/quillfen/copyright share/quillfen/data/start.scn >/dev/null) || fail "not all installed"
for tool in "$prefix"/bin/*; do
  ls "$prefix"/share/man/man[16]/"${tool##*/}".[16].gz >/dev/null 2>&1 || fail "no man page for ${tool##*/}"
done
# What a run from the build folder saved must not have been shipped.
[ -z "$(ls -A "$data/save" 2>/dev/null)" ] && [ ! -e "$data/settings.txt" ] &&
  [ ! -e "$data/screenshots" ] || fail "a build folder's saves, settings or screenshots were installed"
chmod -R a-w "$data"
find "$data" -type f | sort >"$work/data-before"

sed '/screenshot 05b-saved/q' "$2" >"$work/save.txt"
grep -q '05b-saved' "$work/save.txt" || fail "the autoplay no longer saves at 05b-saved"
printf 'wait key minus\nwait key f11\n' >>"$work/save.txt"
mkdir -p "$work/home" "$work/elsewhere"
play() {  # play LOG VAR=VALUE [OPTION...]: the installed game from elsewhere, to the save
  (cd "$work/elsewhere" && env -u XDG_DATA_HOME HOME="$work/home" "$2" "$prefix/bin/quillfen" \
    --headless --quiet --input "$work/save.txt" --log "$work/$1" "${@:3}") || fail "the run $1 failed"
}
play run.log NONE=
grep 'message box' "$work/run.log" && fail "the run showed a message box"
mine=$(echo "$work"/home/.local/share/quillfen/quillfen-*)
ls "$mine"/save/{save1,Collection,ArtsList,Pattern}.dat >/dev/null || fail "the saves are not in the per-user folder"
grep -q '^music_volume = 90$' "$mine/settings.txt" || fail "the settings are not in the per-user folder"
ls "$mine"/screenshots/quillfen-*.png >/dev/null || fail "the screenshot is not in the per-user folder"
find "$data" -type f | sort >"$work/data-after"
cmp -s "$work/data-before" "$work/data-after" || fail "the run wrote into the data directory"

play run2.log XDG_DATA_HOME="$work/xdg"
[ -f "$work"/xdg/quillfen/quillfen-*/save/save1.dat ] || fail "XDG_DATA_HOME did not take the save"
play run3.log XDG_DATA_HOME="$work/xdg" --save-dir "$work/mine"
[ -f "$work/mine/save/save1.dat" ] || fail "--save-dir did not take the save"

for check in "desktop-file-validate $prefix/share/applications/quillfen.desktop" \
  "appstreamcli validate --no-net $prefix/share/metainfo/org.quillfen.Quillfen.metainfo.xml"; do
  command -v "${check%% *}" >/dev/null 2>&1 || { echo "${check%% *} is missing (scripts/deps.sh): not checked"; continue; }
  $check || fail "$check"
done
[ $failed -eq 0 ] || { echo "0 passed, $failed failed"; exit 1; }
echo "installed game: saves in the per-user folder, data untouched, desktop files valid"
