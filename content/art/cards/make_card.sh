#!/bin/sh
# Writes the artgen recipe of one card picture from the card template and the
# card's record in the database, so the pictures follow the database.
#
#   make_card.sh DATABASE TEMPLATE CARD small|large OUT.art
#
# The template is drawn at the small size (100 x 138); for the large picture
# (300 x 414) every length in it is tripled. A template line that begins with
# "?TAG " is kept only when the card has that tag; tags may be chained
# ("?large ?a3 ..."). A card's tags: its size (small, large), its attribute
# (a0..a4), its emblem (e-NAME, chosen from words of its name), and two
# variations from its number (v0..v2 = number mod 3, p0..p1 = number mod 2).
# The recipe starts with "set" lines for $name, $num and $seed.
set -e
database=$1
template=$2
card=$3
size=$4
out=$5
case $size in
  small|large) ;;
  *) echo "make_card.sh: size must be small or large, not '$size'" >&2; exit 2 ;;
esac

awk -v card="$card" -v size="$size" -v dbfile="$database" '
function emblem(name, attr,    i, n, parts, words) {
  # First match wins: specific things before creatures, people and elements.
  n = split("shield:盾|騎士|亀 sword:剣|戦士 rock:拳 book:手帳|書|頁|護符 orb:水晶|鏡|月光 " \
            "dice:骰子 cup:杯|薬師 bird:羽|鳥|鴉 serpent:蛇|蜥蜴 " \
            "beast:熊|獅子|狐|鼬|小鬼|蜂|鯨 tree:樹 tower:城|石碑 flame:炎 " \
            "eye:呪|虚無|瘴気 figure:石像|精|巫女|娘|守り手 drop:泉 flame:火|噴|灰 " \
            "whirl:風|嵐|竜巻 rock:岩|山|石", parts, " ")
  for (i = 1; i <= n; ++i) {
    split(parts[i], kv, ":")
    m = split(kv[2], words, "|")
    for (j = 1; j <= m; ++j) if (index(name, words[j]) > 0) return kv[1]
  }
  if (attr == 1) return "rock"
  if (attr == 2) return "drop"
  if (attr == 3) return "flame"
  if (attr == 4) return "whirl"
  return "orb"
}
# The name as a quoted recipe word: a backslash and a quote escaped with a
# backslash, a dollar sign doubled, so any name the database takes is drawn
# as written.
function quoted(s,    out, i, c) {
  out = ""
  for (i = 1; i <= length(s); ++i) {
    c = substr(s, i, 1)
    if (c == "\\" || c == "\"") out = out "\\" c
    else if (c == "$") out = out "$$"
    else out = out c
  }
  return out
}
# Triples a number, keeping its decimals; a random range A~B, a point X,Y
# and the length options are tripled too.
function triple(w) { return sprintf("%g", w * 3) }
function isnum(w) { return w ~ /^-?[0-9]+(\.[0-9]+)?$/ }
function scaleword(w, cmd, pos,    k, v, xy) {
  if (isnum(w)) {
    if (cmd == "repeat" && pos == 1) return w
    return triple(w)
  }
  if (w ~ /^-?[0-9.]+~-?[0-9.]+$/) {
    split(w, xy, "~")
    return triple(xy[1]) "~" triple(xy[2])
  }
  if (w ~ /^-?[0-9.]+,-?[0-9.]+$/) {
    split(w, xy, ",")
    return triple(xy[1]) "," triple(xy[2])
  }
  if (w ~ /^(width|r|size|ow|blur|sx|sy|scale|spacing)=-?[0-9.]+$/) {
    k = index(w, "=")
    return substr(w, 1, k) triple(substr(w, k + 1))
  }
  return w
}
# Words of a line, a quoted word kept whole.
function scaleline(line,    out, i, c, w, q, cmd, pos) {
  out = ""; w = ""; q = 0; pos = 0; cmd = ""
  line = line " "
  for (i = 1; i <= length(line); ++i) {
    c = substr(line, i, 1)
    if (q) { w = w c; if (c == "\"") q = 0; continue }
    if (c == "\"") { q = 1; w = w c; continue }
    if (c == " " || c == "\t") {
      if (w != "") {
        if (cmd == "") { cmd = w; out = w }
        else if (cmd == "seed" || cmd == "set" || cmd == "paint" && pos < 2) { out = out " " w; ++pos }
        else { ++pos; out = out " " scaleword(w, cmd, pos) }
        w = ""
      }
      continue
    }
    w = w c
  }
  return out
}
BEGIN {
  header = "[card " card "]"
  while ((getline line < dbfile) > 0) {
    sub(/\r$/, "", line)
    if (line ~ /^\[/) inside = (line == header)
    else if (inside && line ~ /^attribute[ \t]*=/) { sub(/^attribute[ \t]*=[ \t]*/, "", line); attr = line + 0; found = 1 }
    else if (inside && line ~ /^name[ \t]*=/) { sub(/^name[ \t]*=[ \t]*/, "", line); sub(/[ \t]+$/, "", line); name = line }
  }
  if (!found || name == "") {
    print dbfile ": no card " card " with an attribute and a name" > "/dev/stderr"
    exit 1
  }
  tags[size] = 1
  tags["a" attr] = 1
  tags["e-" emblem(name, attr)] = 1
  tags["v" (card % 3)] = 1
  tags["p" (card % 2)] = 1
  print "// card " card ": " name " (attribute " attr ", emblem " emblem(name, attr) "), " size
  print "set name \"" quoted(name) "\""
  print "set num " card
  print "set seed " (card * 7 + attr)
}
{
  line = $0
  keep = 1
  while (match(line, /^[ \t]*\?[^ \t]+[ \t]+/)) {
    tag = substr(line, RSTART, RLENGTH)
    gsub(/[ \t?]/, "", tag)
    if (!(tag in tags)) keep = 0
    line = substr(line, RSTART + RLENGTH)
  }
  if (!keep) next
  if (size == "large" && line !~ /^[ \t]*(\/\/|$)/) {
    match(line, /^[ \t]*/)
    line = substr(line, 1, RLENGTH) scaleline(substr(line, RLENGTH + 1))
  }
  print line
}
' "$template" > "$out.tmp" || { rm -f "$out.tmp"; exit 1; }
mv "$out.tmp" "$out"
