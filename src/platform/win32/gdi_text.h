// Code-page-932 characters drawn by GDI: the fonts the game names, measured
// and rasterised solid into a scratch DIB section, from which the ink is
// copied into the game's own 16-bit surfaces.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace win32 {

class GdiText {
 public:
  GdiText();
  ~GdiText();
  GdiText(const GdiText&) = delete;
  GdiText& operator=(const GdiText&) = delete;

  // Never 0: a face nobody has still gets some font, so text stays visible.
  plat::FontHandle Make(const char* faceSjis, int pixelHeight, int weight);
  void Delete(plat::FontHandle font);
  bool Has(plat::FontHandle font) const { return fonts_.count(font) != 0; }
  // The family of the font file that serves the face (a substitute's own
  // name where the system replaced the face); empty for an unknown font.
  std::string FamilyOf(plat::FontHandle font);
  // Advance width of one character (1 or 2 bytes); 0 for an unknown font
  // or bytes that are no character.
  int Measure(plat::FontHandle font, const char* ch, int len);

  // A character's ink in its cell, whose top-left corner is where the game
  // places the character.
  struct Glyph {
    int advance = 0;
    int width = 0, height = 0;
    std::vector<uint8_t> ink;  // width x height, 1 where there is ink
  };
  bool Render(plat::FontHandle font, const char* ch, int len, Glyph& out);
  // Draws the character's ink in colour 0x00BBGGRR into a bottom-up
  // X1R5G5B5 surface, at (x, y) top-down, clipped.
  void Draw(plat::FontHandle font, const char* ch, int len, uint32_t colour,
            const plat::Surface& target, int x, int y);

 private:
  // The font draws; the advance comes from the same face at normal weight,
  // held apart when bold, so that bold text lays out like regular text (as
  // the game's faces do, whose bold is synthetic and no wider).
  struct Font {
    HFONT draw = nullptr;
    HFONT measure = nullptr;  // the same as draw unless bold
    HFONT narrow = nullptr;   // half as wide, for one-byte glyphs set full-width
    int em = 0;
  };
  const Font* Select(plat::FontHandle font);
  bool EnsureScratch(int w, int h);

  int Advance(const Font& font, const std::wstring& w, int len);
  std::map<plat::FontHandle, Font> fonts_;
  plat::FontHandle next_ = 1;
  HDC dc_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  HBITMAP scratch_ = nullptr;
  uint32_t* bits_ = nullptr;
  int scratchW_ = 0, scratchH_ = 0;
};

}  // namespace win32
