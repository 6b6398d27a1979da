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

#include "platform/posix/glyphs.h"
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

}  // namespace posix
