#!/usr/bin/env python3
"""Prints C++ literals of Shift-JIS (CP932) texts, with the text in a comment."""
import sys

HEX = set('0123456789abcdefABCDEF')

def literal(text):
    out, after_escape = '"', False
    for c in text.encode('cp932'):
        ch = chr(c)
        if c >= 0x80 or ch in '"\\' or c < 0x20:
            if c == 0x0A:
                out += '\\n'; after_escape = False; continue
            out += '\\x%02X' % c; after_escape = True
        else:
            if after_escape and ch in HEX:
                out += '" "'
            out += ch; after_escape = False
    return out + '"'

for s in sys.argv[1:]:
    print(literal(s.replace('\\n', '\n')), '//', s)
