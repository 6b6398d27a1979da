// The font book of the page: the IPA faces loaded as web fonts, each glyph
// drawn once on a hidden canvas and kept as solid ink, placed in its cell as
// the FreeType book places it, so lines break where they do on the desktop.
#include <algorithm>
#include <array>
#include <string>

#include "platform/posix/fonts.h"
#include "platform/posix/glyphs.h"
#include "platform/posix/host_files.h"

extern "C" {
// Fills info with advance, left, top, width, height and the ink (one byte a
// pixel) up to cap bytes; false when the face is not loaded.
int qf_glyph(int face, int pixelHeight, int bold, int codepoint, int halfWidth, int* info,
             uint8_t* ink, int cap);
}

namespace posix {

struct FontBook::Face {};

struct FontBook::Font {
  int face = -1;  // 0 gothic, 1 mincho; -1 the built-in face
  int pixelHeight = 0;
  bool bold = false;
  std::unordered_map<uint32_t, Glyph> cache;
};

FontBook::FontBook(bool builtinOnly) : builtinOnly_(builtinOnly) {}

FontBook::~FontBook() = default;

bool FontBook::LocateFace(const char*, std::string&, int&) { return false; }
FontBook::Face* FontBook::FindFace(const std::string&, int) { return nullptr; }

plat::FontHandle FontBook::Make(const char* faceSjis, int pixelHeight, int weight) {
  auto font = std::make_unique<Font>();
  font->pixelHeight = std::max(pixelHeight, 1);
  font->bold = weight >= 600;
  if (!builtinOnly_) {
    // The game's mincho face by its Shift-JIS name (明朝) or a Latin one; any
    // other face is the gothic, as on the desktop.
    const std::string face(faceSjis);
    const bool mincho = face.find("\x96\xbe\x92\xa9") != std::string::npos ||
                        face.find("Mincho") != std::string::npos;
    font->face = mincho ? 1 : 0;
  }
  const plat::FontHandle handle = next_++;
  fonts_[handle] = std::move(font);
  return handle;
}

void FontBook::Delete(plat::FontHandle handle) { fonts_.erase(handle); }

std::string FontBook::FileOf(plat::FontHandle handle) const {
  auto it = fonts_.find(handle);
  if (it == fonts_.end() || it->second->face < 0) return "builtin";
  return it->second->face == 1 ? "qf-mincho.woff2" : "qf-gothic.woff2";
}

const FontBook::Glyph& FontBook::GlyphOf(Font& font, const char* ch, int len) {
  const uint32_t key = len == 1 ? static_cast<unsigned char>(ch[0])
                                : (static_cast<uint32_t>(static_cast<unsigned char>(ch[0])) << 8 |
                                   static_cast<unsigned char>(ch[1])) |
                                      0x10000u;
  auto it = font.cache.find(key);
  if (it != font.cache.end()) return it->second;
  Glyph g;
  std::array<int, 5> info{};
  // A glyph's ink stays inside a box twice the cell's height each way.
  const int side = font.pixelHeight * 4 + 8;
  std::vector<uint8_t> ink(static_cast<size_t>(side) * side);
  if (font.face < 0 || !qf_glyph(font.face, font.pixelHeight, font.bold,
                                 static_cast<int>(SjisCharToUnicode(ch, len)), len == 1,
                                 info.data(), ink.data(), static_cast<int>(ink.size()))) {
    g = BuiltinGlyph(ch, len, font.pixelHeight);
  } else {
    g.advance = info[0];
    g.left = info[1];
    g.top = info[2];
    g.width = info[3];
    g.height = info[4];
    ink.resize(static_cast<size_t>(g.width) * g.height);
    g.ink = std::move(ink);
  }
  return font.cache.emplace(key, std::move(g)).first->second;
}

}  // namespace posix
