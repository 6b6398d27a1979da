#!/bin/sh
# gplp pack then unpack gives back the same bytes; a damaged or plain file is
# refused with a message naming it.
tool=$1
dir=$2/gplp-tool-test
rm -rf "$dir" && mkdir -p "$dir" || exit 2
fail() { echo "$1"; cat "$dir/err.txt" 2>/dev/null; exit 1; }
head -c 30000 /dev/urandom > "$dir/random.bin"
seq 1 5000 > "$dir/text.txt"
: > "$dir/empty.bin"
for f in random.bin text.txt empty.bin; do
  "$tool" pack "$dir/$f" "$dir/$f.dpa" && "$tool" unpack "$dir/$f.dpa" "$dir/$f.out" &&
    cmp "$dir/$f" "$dir/$f.out" || fail "$f does not survive the round trip"
done
head -c 60 "$dir/text.txt.dpa" > "$dir/cut.dpa"
! "$tool" unpack "$dir/cut.dpa" "$dir/cut.out" 2> "$dir/err.txt" && grep -q "cut.dpa" "$dir/err.txt" ||
  fail "a truncated file was accepted or not named:"
! "$tool" unpack "$dir/text.txt" "$dir/x.out" 2> "$dir/err.txt" &&
  grep -q "text.txt: not a GPLP" "$dir/err.txt" || fail "a plain file was accepted or not named:"
rm -rf "$dir"
echo "1 passed, 0 failed"
