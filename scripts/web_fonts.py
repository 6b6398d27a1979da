#!/usr/bin/python3
"""The page's faces: Debian's IPA Gothic and Mincho cut down to the characters
the game can show, as WOFF2 under names of their own, and faces.json with the
ascent the glyph placing needs (the page can no longer read it from a
compressed file).

What the game can show: every text of the demo (the UTF-8 sources under
content/, comments included), every Shift-JIS literal of the program's
*_texts.h, and every non-kanji character of JIS X 0208 (punctuation, digits,
Latin, kana, Greek, Cyrillic, box drawing), half-width kana and ASCII, so that
numbers and names the game composes always have their glyphs.

usage: web_fonts.py OUT_DIR GOTHIC.ttf MINCHO.ttf SOURCE_DIR...
Runs on Debian's python3, whose fontTools (package fonttools) and brotli
(python3-brotli) it uses.
"""
import json
import os
import re
import sys

from fontTools import subset
from fontTools.ttLib import TTFont

# The IPA Font License lets a derived font be passed on only under a name
# without the original's: the families and files are the page's own.
FACES = [('QfGothic', 'qf-gothic.woff2'), ('QfMincho', 'qf-mincho.woff2')]
NOTE = '''qf-gothic.woff2 and qf-mincho.woff2 are IPAGothic (ipag.ttf) and IPAMincho
(ipam.ttf) of Debian's fonts-ipafont-gothic and fonts-ipafont-mincho, cut
down to the {n} characters this game can show and renamed, under the IPA
Font License in fonts-copyright.txt.

To use the original faces instead: put ipag.ttf and ipam.ttf beside the page
and name them as "file" in faces.json; the page loads the files named there.
'''
LITERAL = re.compile(r'"((?:[^"\\]|\\.)*)"')
ESCAPE = re.compile(rb'\\(x[0-9A-Fa-f]{2}|.)')


def literal_bytes(text):
    def one(m):
        e = m.group(1)
        if e[:1] == b'x':
            return bytes([int(e[1:], 16)])
        return {b'n': b'\n', b't': b'\t'}.get(e, e)
    return ESCAPE.sub(one, text.encode('utf-8'))


def texts_of(path):
    with open(path, 'rb') as f:
        raw = f.read()
    try:
        text = raw.decode('utf-8')
    except UnicodeDecodeError:
        return set()  # pictures and other binary files hold no text
    chars = {c for c in text if ord(c) >= 0x80}
    if path.endswith('_texts.h'):
        for m in LITERAL.finditer(text):
            chars |= set(literal_bytes(m.group(1)).decode('cp932', 'ignore'))
    return chars


def jis_non_kanji():
    chars = {chr(c) for c in range(0x20, 0x7F)}
    chars |= set(bytes(range(0xA1, 0xE0)).decode('cp932'))
    for lead in range(0x81, 0x89):  # rows 1 to 16 less kanji, and the NEC row
        for trail in range(0x40, 0xFD):
            try:
                chars |= set(bytes([lead, trail]).decode('cp932'))
            except UnicodeDecodeError:
                pass
    return {c for c in chars if not 0x4E00 <= ord(c) <= 0x9FFF}


def wanted(sources):
    chars = jis_non_kanji()
    for top in sources:
        for folder, _, files in os.walk(top):
            for name in files:
                chars |= texts_of(os.path.join(folder, name))
    chars.discard('\n')
    return chars


def rename(font, family):
    # Family, full, PostScript and unique names; the copyright, licence and
    # version records stay as they are.
    for record in font['name'].names:
        if record.nameID in (1, 3, 4, 6, 16, 17, 18, 21, 22):
            value = family if record.nameID != 6 else family + '-Regular'
            record.string = value


def main():
    out, gothic, mincho, *sources = sys.argv[1:]
    chars = wanted(sources)
    options = subset.Options()
    options.flavor = 'woff2'
    options.name_IDs = ['*']
    options.name_languages = ['*']
    options.notdef_outline = True
    listing = []
    for (family, file), original in zip(FACES, (gothic, mincho)):
        font = TTFont(original)
        os2 = font['OS/2']
        height = os2.sTypoAscender - os2.sTypoDescender
        ascent = os2.sTypoAscender / height if height > 0 else 0.88
        cutter = subset.Subsetter(options)
        cutter.populate(unicodes=[ord(c) for c in chars])
        cutter.subset(font)
        rename(font, family)
        font.flavor = 'woff2'
        font.save(os.path.join(out, file))
        listing.append({'family': family, 'file': file, 'ascent': round(ascent, 6),
                        'from': os.path.basename(original)})
    with open(os.path.join(out, 'faces.json'), 'w') as f:
        json.dump({'characters': len(chars), 'faces': listing}, f, indent=1)
        f.write('\n')
    with open(os.path.join(out, 'fonts-README.txt'), 'w') as f:
        f.write(NOTE.format(n=len(chars)))


if __name__ == '__main__':
    main()
