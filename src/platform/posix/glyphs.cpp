// The parts of the font book that do not depend on where glyphs come from:
// the built-in face, measuring and drawing a glyph's ink. The Windows build
// of the headless backend shares them with the FreeType one.
#include "platform/posix/glyphs.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/posix/host_files.h"

namespace posix {

uint32_t SjisCharToUnicode(const char* ch, int len) {
  const auto b0 = static_cast<unsigned char>(ch[0]);
  if (len == 1) {
    if (b0 == 0x5C) return 0x00A5;
    if (b0 < 0x80) return b0;
    if (b0 >= 0xA1 && b0 <= 0xDF) return 0xFF61 + (b0 - 0xA1);  // half-width katakana
    return 0xFFFD;
  }
  const std::string utf8 = SjisToUtf8(std::string_view(ch, 2));
  // Decode the one UTF-8 character iconv made.
  const auto* u = reinterpret_cast<const unsigned char*>(utf8.data());
  if (utf8.size() == 3 && (u[0] & 0xF0) == 0xE0) {
    return ((u[0] & 0x0Fu) << 12) | ((u[1] & 0x3Fu) << 6) | (u[2] & 0x3Fu);
  }
  if (utf8.size() == 2 && (u[0] & 0xE0) == 0xC0) return ((u[0] & 0x1Fu) << 6) | (u[1] & 0x3Fu);
  return 0xFFFD;
}

FontBook::Glyph BuiltinGlyph(const char* ch, int len, int pixelHeight) {
  FontBook::Glyph g;
  const int h = std::max(pixelHeight, 4);
  g.advance = len == 1 ? h / 2 : h;
  const auto b0 = static_cast<unsigned char>(ch[0]);
  const unsigned code = len == 1 ? b0 : (b0 << 8 | static_cast<unsigned char>(ch[1]));
  if (code == 0x20 || code == 0x8140) return g;  // spaces have no ink
  g.left = 1;
  g.top = h / 8;
  g.width = std::max(g.advance - 2, 1);
  g.height = h - 2 * (h / 8);
  g.ink.assign(static_cast<size_t>(g.width) * g.height, 0);
  auto set = [&](int x, int y) { g.ink[static_cast<size_t>(y) * g.width + x] = 1; };
  // A frame two pixels thick, so that reduced 2:1 it still has solid ink.
  for (int x = 0; x < g.width; ++x) {
    for (int t = 0; t < 2 && t < g.height; ++t) {
      set(x, t);
      set(x, g.height - 1 - t);
    }
  }
  for (int y = 0; y < g.height; ++y) {
    for (int t = 0; t < 2 && t < g.width; ++t) {
      set(t, y);
      set(g.width - 1 - t, y);
    }
  }
  // Inner bars from the code's bits, so that different characters differ.
  for (int bit = 0; bit < 8; ++bit) {
    const int y = 4 + bit * 2;
    if (y >= g.height - 3 || !((code >> bit) & 1)) continue;
    for (int x = 3; x < g.width - 3; ++x) set(x, y);
  }
  return g;
}

int FontBook::Measure(plat::FontHandle handle, const char* ch, int len) {
  auto it = fonts_.find(handle);
  if (it == fonts_.end()) return 0;
  return GlyphOf(*it->second, ch, len).advance;
}

void FontBook::Draw(plat::FontHandle handle, const char* ch, int len, uint32_t colour,
                    const plat::Surface& target, int x, int y) {
  auto it = fonts_.find(handle);
  if (it == fonts_.end() || !target.pixels) return;
  const Glyph& g = GlyphOf(*it->second, ch, len);
  const uint32_t r = colour & 0xFF, gr = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
  const auto pixel = static_cast<uint16_t>(((r >> 3) << 10) | ((gr >> 3) << 5) | (b >> 3));
  const int x0 = x + g.left, y0 = y + g.top;
  const int cs = std::max(0, -x0), ce = std::min(g.width, target.width - x0);
  const int rs = std::max(0, -y0), re = std::min(g.height, target.height - y0);
  for (int gy = rs; gy < re; ++gy) {
    const int ty = y0 + gy;
    auto* row =
        reinterpret_cast<uint16_t*>(reinterpret_cast<uint8_t*>(target.pixels) +
                                    static_cast<ptrdiff_t>(target.height - 1 - ty) * target.stride);
    const uint8_t* ink = g.ink.data() + static_cast<size_t>(gy) * g.width;
    for (int gx = cs; gx < ce; ++gx) {
      if (ink[gx]) row[x0 + gx] = pixel;
    }
  }
}

}  // namespace posix
