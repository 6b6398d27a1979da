// Number fonts: strips of 12 equal glyphs on magenta, slots 0-9 the digits,
// 10 "+" and 11 "-". "numWeekday" keeps the weekday names in slots 0-6.
#pragma once

#include <cstdint>

#include "graphics/image.h"

struct NumberFont {
  Image strip;
  int32_t glyphWidth = 0;

  // LoadK16 into the strip; the glyph width follows the strip's width.
  int Load(const char* fileName);
  // signMode 1 puts "+" or "-" in front; align 1 centres on x, 2 ends on x,
  // anything else starts at x.
  void Draw(Image& dst, int32_t x, int32_t y, int32_t value, int32_t signMode, int32_t align) const;
  // The same, touching nothing outside the clip rectangle.
  void DrawClipped(Image& dst, int32_t x, int32_t y, int32_t value, int32_t signMode, int32_t align,
                   int32_t clipX, int32_t clipY, int32_t clipW, int32_t clipH) const;
};

struct NumberFonts {
  NumberFont Big;      // "numbig"
  NumberFont Mid;      // "nummid"
  NumberFont Small;    // "numsmall"
  NumberFont Micro;    // "nummicro"
  NumberFont Weekday;  // "numWeekday"
};
extern NumberFonts numfonts;

// Start-up step: the five fonts from their K16 files.
void LoadNumberFonts();
void ResetNumberFonts();
