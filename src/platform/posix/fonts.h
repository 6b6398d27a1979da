// Text rasterising for the POSIX backends: the game's Japanese system faces
// found through fontconfig and drawn with FreeType, solid at the size asked,
// with a built-in fixed-metrics face for tests and for machines without any
// Japanese font.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/platform.h"

namespace posix {

class FontBook {
 public:
  // builtinOnly: every font is the built-in one, whatever is installed, so
  // that text layout is the same on every machine (tests).
  explicit FontBook(bool builtinOnly = false);
  ~FontBook();
  FontBook(const FontBook&) = delete;
  FontBook& operator=(const FontBook&) = delete;

  plat::FontHandle Make(const char* faceSjis, int pixelHeight, int weight);
  void Delete(plat::FontHandle font);
  int Measure(plat::FontHandle font, const char* ch, int len);
  void Draw(plat::FontHandle font, const char* ch, int len, uint32_t colour,
            const plat::Surface& target, int x, int y);

  // The font file a handle uses, or "builtin".
  std::string FileOf(plat::FontHandle font) const;

  struct Glyph {
    int advance = 0;
    int left = 0, top = 0;  // ink box relative to the cell's top-left corner
    int width = 0, height = 0;
    std::vector<uint8_t> ink;  // width x height, 1 where the glyph has ink
  };

 private:
  struct Face;
  struct Font;
  const Glyph& GlyphOf(Font& font, const char* ch, int len);
  Face* FindFace(const std::string& file, int index);
  bool LocateFace(const char* faceSjis, std::string& file, int& index);

  bool builtinOnly_;
  void* library_ = nullptr;  // FT_Library
  std::map<std::string, std::unique_ptr<Face>> faces_;
  std::unordered_map<plat::FontHandle, std::unique_ptr<Font>> fonts_;
  plat::FontHandle next_ = 1;
  bool warnedNoFont_ = false;
};

}  // namespace posix
