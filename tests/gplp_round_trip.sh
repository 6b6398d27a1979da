#!/bin/sh
# gplp pack then unpack gives back the same bytes; a damaged file is refused
# with a message naming it.
tool=$1
dir=$2/gplp-tool-test
rm -rf "$dir" && mkdir -p "$dir" || exit 2
head -c 30000 /dev/urandom > "$dir/random.bin"
seq 1 5000 > "$dir/text.txt"
: > "$dir/empty.bin"
for f in random.bin text.txt empty.bin; do
  "$tool" pack "$dir/$f" "$dir/$f.dpa" || { echo "pack $f failed"; exit 1; }
  "$tool" unpack "$dir/$f.dpa" "$dir/$f.out" || { echo "unpack $f failed"; exit 1; }
  cmp "$dir/$f" "$dir/$f.out" || { echo "$f differs after the round trip"; exit 1; }
done
head -c 60 "$dir/text.txt.dpa" > "$dir/cut.dpa"
if "$tool" unpack "$dir/cut.dpa" "$dir/cut.out" 2> "$dir/err.txt"; then
  echo "a truncated file was accepted"; exit 1
fi
grep -q "cut.dpa" "$dir/err.txt" || { echo "the error does not name the file:"; cat "$dir/err.txt"; exit 1; }
if "$tool" unpack "$dir/text.txt" "$dir/x.out" 2> "$dir/err.txt"; then
  echo "a plain file was accepted"; exit 1
fi
grep -q "text.txt: not a GPLP" "$dir/err.txt" || { cat "$dir/err.txt"; exit 1; }
rm -rf "$dir"
echo "1 passed, 0 failed"
