// What the font book's glyphs are made of whatever draws them: the
// characters' Unicode for the faces, and the built-in face. The FreeType book
// and the Windows build of the headless backend (GDI) share them.
#pragma once

#include <cstdint>

#include "platform/posix/fonts.h"

namespace posix {

// Unicode of one code-page-932 character as the Japanese faces show it: the
// byte 0x5C is the yen sign. 0xFFFD when the bytes are no character.
uint32_t SjisCharToUnicode(const char* ch, int len);

// The built-in face's glyph: half the height wide for one byte, the height
// for two, a thick frame with bars that tell characters apart; spaces are
// blank.
FontBook::Glyph BuiltinGlyph(const char* ch, int len, int pixelHeight);

}  // namespace posix
