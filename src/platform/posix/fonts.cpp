#include "platform/posix/fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include FT_SIZES_H

#include <strings.h>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/posix/host_files.h"

namespace posix {

struct FontBook::Face {
  FT_Face face = nullptr;
  std::string file;
  ~Face() {
    if (face) FT_Done_Face(face);
  }
};

struct FontBook::Font {
  Face* face = nullptr;  // null: the built-in face
  FT_Size size = nullptr;
  int pixelHeight = 0;
  int ascent = 0;  // cell top to baseline
  bool bold = false;
  std::unordered_map<uint32_t, Glyph> cache;  // by the character's bytes
};

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

FontBook::FontBook(bool builtinOnly) : builtinOnly_(builtinOnly) {
  if (builtinOnly_) return;
  FT_Library lib = nullptr;
  if (FT_Init_FreeType(&lib) == 0) library_ = lib;
  FcInit();
}

FontBook::~FontBook() {
  fonts_.clear();
  faces_.clear();
  if (library_) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

namespace {

bool MatchesFamily(FcPattern* match, const char* family) {
  for (int i = 0;; ++i) {
    FcChar8* f = nullptr;
    if (FcPatternGetString(match, FC_FAMILY, i, &f) != FcResultMatch) return false;
    if (strcasecmp(reinterpret_cast<const char*>(f), family) == 0) return true;
  }
}

bool SupportsJapanese(FcPattern* match) {
  FcLangSet* langs = nullptr;
  if (FcPatternGetLangSet(match, FC_LANG, 0, &langs) != FcResultMatch) return false;
  return FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("ja")) == FcLangEqual;
}

// Finds a font file for a fontconfig pattern; with wantFamily the match must
// be that family, otherwise it must cover Japanese.
bool Match(const char* pattern, const char* wantFamily, std::string& file, int& index) {
  FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>(pattern));
  if (!pat) return false;
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pat, &result);
  FcPatternDestroy(pat);
  if (!match) return false;
  bool ok = wantFamily ? MatchesFamily(match, wantFamily) : SupportsJapanese(match);
  FcChar8* path = nullptr;
  if (ok && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
    file = reinterpret_cast<const char*>(path);
    if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
  } else {
    ok = false;
  }
  FcPatternDestroy(match);
  return ok;
}

}  // namespace

bool FontBook::LocateFace(const char* faceSjis, std::string& file, int& index) {
  const std::string name = SjisToUtf8(faceSjis);
  const bool mincho =
      name.find("明朝") != std::string::npos || name.find("Mincho") != std::string::npos;
  const bool gothic =
      name.find("ゴシック") != std::string::npos || name.find("Gothic") != std::string::npos;
  // The Windows faces are not on Linux; the IPA faces have the same metrics.
  struct Candidate {
    std::string pattern;
    const char* family;
  };
  std::vector<Candidate> candidates;
  if (mincho) {
    candidates = {{"IPAMincho", "IPAMincho"}, {"serif:lang=ja", nullptr}};
  } else if (gothic) {
    candidates = {{"IPAGothic", "IPAGothic"}, {"sans-serif:lang=ja", nullptr}};
  } else {
    candidates = {{name, nullptr}, {"IPAGothic", "IPAGothic"}, {"sans-serif:lang=ja", nullptr}};
  }
  if (mincho) candidates.push_back({"sans-serif:lang=ja", nullptr});
  for (const Candidate& c : candidates) {
    if (Match(c.pattern.c_str(), c.family, file, index)) return true;
  }
  return false;
}

FontBook::Face* FontBook::FindFace(const std::string& file, int index) {
  const std::string key = file + "#" + std::to_string(index);
  auto it = faces_.find(key);
  if (it != faces_.end()) return it->second.get();
  FT_Face face = nullptr;
  if (!library_ ||
      FT_New_Face(static_cast<FT_Library>(library_), file.c_str(), index, &face) != 0) {
    return nullptr;
  }
  auto f = std::make_unique<Face>();
  f->face = face;
  f->file = file;
  return (faces_[key] = std::move(f)).get();
}

plat::FontHandle FontBook::Make(const char* faceSjis, int pixelHeight, int weight) {
  auto font = std::make_unique<Font>();
  font->pixelHeight = std::max(pixelHeight, 1);
  font->bold = weight >= 600;
  std::string file;
  int index = 0;
  if (!builtinOnly_ && LocateFace(faceSjis, file, index)) font->face = FindFace(file, index);
  if (!builtinOnly_ && !font->face && !warnedNoFont_) {
    std::fprintf(stderr,
                 "quillfen: no Japanese font found for \"%s\"; text uses a plain built-in face. "
                 "Install fonts-ipafont-gothic and fonts-ipafont-mincho.\n",
                 SjisToUtf8(faceSjis).c_str());
    warnedNoFont_ = true;
  }
  if (font->face) {
    FT_Face face = font->face->face;
    // The faces the game was made for have an em exactly as high as their
    // cell, so the height asked for is their em; the substitutes' cells are
    // taller than their em, and sizing them by the cell would set the text
    // smaller and break the lines elsewhere. So the em is the height asked.
    if (FT_New_Size(face, &font->size) == 0) {
      FT_Activate_Size(font->size);
      FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(font->pixelHeight));
    }
    // The baseline sits where the face's own em box puts it inside a cell
    // one em high (the typographic ascender and descender span the em in
    // Japanese faces), so glyphs keep inside the cell as in the originals.
    long asc = face->ascender, desc = -face->descender;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2))) {
      if (os2->version != 0xFFFF && os2->sTypoAscender - os2->sTypoDescender > 0) {
        asc = os2->sTypoAscender;
        desc = -os2->sTypoDescender;
      }
    }
    const long span = std::max(asc + desc, 1L);
    font->ascent = static_cast<int>((asc * font->pixelHeight + span / 2) / span);
  }
  const plat::FontHandle handle = next_++;
  fonts_[handle] = std::move(font);
  return handle;
}

void FontBook::Delete(plat::FontHandle handle) {
  auto it = fonts_.find(handle);
  if (it == fonts_.end()) return;
  if (it->second->size) FT_Done_Size(it->second->size);
  fonts_.erase(it);
}

std::string FontBook::FileOf(plat::FontHandle handle) const {
  auto it = fonts_.find(handle);
  if (it == fonts_.end() || !it->second->face) return "builtin";
  return it->second->face->file;
}

const FontBook::Glyph& FontBook::GlyphOf(Font& font, const char* ch, int len) {
  const uint32_t key = len == 1 ? static_cast<unsigned char>(ch[0])
                                : (static_cast<uint32_t>(static_cast<unsigned char>(ch[0])) << 8 |
                                   static_cast<unsigned char>(ch[1])) |
                                      0x10000u;
  auto it = font.cache.find(key);
  if (it != font.cache.end()) return it->second;

  Glyph g;
  if (!font.face) {
    g = BuiltinGlyph(ch, len, font.pixelHeight);
  } else {
    FT_Face face = font.face->face;
    FT_Activate_Size(font.size);
    const FT_UInt index = FT_Get_Char_Index(face, SjisCharToUnicode(ch, len));
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO) == 0) {
      FT_GlyphSlot slot = face->glyph;
      g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
      // One-byte characters are half-width in the original faces. The
      // substitutes give some of them (the yen sign of 0x5C, codes they
      // have no glyph for) a full-width glyph: squeeze it into half the em.
      const int half = font.pixelHeight / 2;
      if (len == 1 && g.advance > half && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        const FT_Matrix squeeze = {FT_MulDiv(half, 0x10000, g.advance), 0, 0, 0x10000};
        FT_Outline_Transform(&slot->outline, &squeeze);
        g.advance = half;
      }
      // Synthetic bold thickens the strokes but keeps the advance, so bold
      // text lays out exactly like regular text.
      if (font.bold && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        FT_Outline_Embolden(&slot->outline, static_cast<FT_Pos>(font.pixelHeight * 64 / 28));
      }
      if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) == 0) {
        const FT_Bitmap& bm = slot->bitmap;
        g.left = slot->bitmap_left;
        g.top = font.ascent - slot->bitmap_top;
        g.width = static_cast<int>(bm.width);
        g.height = static_cast<int>(bm.rows);
        g.ink.assign(static_cast<size_t>(g.width) * g.height, 0);
        for (int y = 0; y < g.height; ++y) {
          const unsigned char* row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
          for (int x = 0; x < g.width; ++x) {
            g.ink[static_cast<size_t>(y) * g.width + x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
          }
        }
      }
    }
  }
  return font.cache.emplace(key, std::move(g)).first->second;
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
