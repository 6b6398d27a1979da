#include "artgen/art_text.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "artgen/art_parse.h"
#include "artgen/art_raster.h"

namespace artgen {

struct FontCache {
  FT_Library ft = nullptr;
  std::map<std::string, FT_Face> faces;

  FontCache() = default;
  FontCache(const FontCache&) = delete;
  FontCache& operator=(const FontCache&) = delete;
  ~FontCache() {
    for (auto& f : faces) FT_Done_Face(f.second);
    if (ft) FT_Done_FreeType(ft);
  }
};

namespace {

bool Utf8(const std::string& s, std::vector<uint32_t>& out) {
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t n = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 9;
    if (n == 9 || i + n >= s.size()) return false;
    uint32_t cp = n == 0 ? c : c & (0x3Fu >> n);
    for (size_t k = 1; k <= n; ++k) {
      const unsigned char t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    out.push_back(cp);
    i += n + 1;
  }
  return true;
}

bool FindFace(Context& ctx, int line, const std::string& font, FT_Face& face) {
  if (!ctx.fonts) ctx.fonts = std::make_shared<FontCache>();
  FontCache& fonts = *ctx.fonts;
  auto it = fonts.faces.find(font);
  if (it != fonts.faces.end()) {
    face = it->second;
    return true;
  }
  std::string family;
  if (font == "gothic")
    family = "IPAGothic";
  else if (font == "mincho")
    family = "IPAMincho";
  else
    return ctx.Fail(line, "text: font must be gothic or mincho, not '" + font + "'");
  if (!fonts.ft && FT_Init_FreeType(&fonts.ft) != 0)
    return ctx.Fail(line, "text: FreeType does not start");
  std::string file;
  FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str()));
  if (pat) {
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pat, &result);
    if (match) {
      FcChar8* got = nullptr;
      FcChar8* fam = nullptr;
      if (FcPatternGetString(match, FC_FILE, 0, &got) == FcResultMatch &&
          FcPatternGetString(match, FC_FAMILY, 0, &fam) == FcResultMatch &&
          std::string(reinterpret_cast<char*>(fam)) == family)
        file = reinterpret_cast<char*>(got);
      FcPatternDestroy(match);
    }
    FcPatternDestroy(pat);
  }
  if (file.empty())
    return ctx.Fail(line, "text: the face " + family + " is not installed (fonts-ipafont)");
  if (FT_New_Face(fonts.ft, file.c_str(), 0, &face) != 0)
    return ctx.Fail(line, "text: cannot open " + file);
  fonts.faces[font] = face;
  return true;
}

const std::set<std::string> kTextOpts = {"font",  "size",    "weight", "colour", "outline",
                                         "ow",    "shadow",  "blur",   "sx",     "sy",
                                         "align", "spacing", "alpha"};

struct TextStyle {
  double x = 0, y = 0, size = 16, ow = 1.5, blur = 2, sx = 1, sy = 1, spacing = 0, alpha = 1;
  double weight = 0;  // pixels of emboldening
};

std::string OptOr(const Args& a, const std::string& key, const char* fallback) {
  auto it = a.opt.find(key);
  return it != a.opt.end() ? it->second : fallback;
}

bool ReadStyle(Context& ctx, const Line& l, const Args& a, TextStyle& s) {
  if (!Number(ctx, l.number, a.pos[0], s.x, "text x") ||
      !Number(ctx, l.number, a.pos[1], s.y, "text y") || !OptNumber(ctx, l, a, "size", s.size) ||
      !OptNumber(ctx, l, a, "ow", s.ow) || !OptNumber(ctx, l, a, "blur", s.blur) ||
      !OptNumber(ctx, l, a, "sx", s.sx) || !OptNumber(ctx, l, a, "sy", s.sy) ||
      !OptNumber(ctx, l, a, "spacing", s.spacing) || !OptNumber(ctx, l, a, "alpha", s.alpha))
    return false;
  if (s.size < 4 || s.size > 400) return ctx.Fail(l.number, "text: size must be 4 to 400");
  if (s.ow < 0 || s.ow > 16 || s.blur < 0 || s.blur > 64 || std::abs(s.sx) > 64 ||
      std::abs(s.sy) > 64)
    return ctx.Fail(l.number, "text: ow must be 0 to 16, blur 0 to 64, sx and sy -64 to 64");
  auto wt = a.opt.find("weight");
  if (wt == a.opt.end() || wt->second == "normal") return true;
  if (wt->second == "bold") {
    s.weight = s.size / 20;
    return true;
  }
  return Number(ctx, l.number, wt->second, s.weight, "text weight");
}

struct Placed {
  double x;
  FT_UInt glyph;
};

// The line set in the face: each glyph's pen position, the left edge the
// alignment gives and the baseline.
struct Layout {
  std::vector<Placed> placed;
  double width = 0, left = 0, baseline = 0;
};

bool LayOut(Context& ctx, const Line& l, const Args& a, FT_Face face,
            const std::vector<uint32_t>& cps, const TextStyle& s, FT_Pos embolden, Layout& out) {
  double pen = 0;
  for (uint32_t cp : cps) {
    const FT_UInt gi = FT_Get_Char_Index(face, cp);
    if (FT_Load_Glyph(face, gi, FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING) != 0)
      return ctx.Fail(l.number, "text: cannot load a glyph");
    out.placed.push_back({pen, gi});
    pen += static_cast<double>(face->glyph->advance.x) / 64.0 +
           static_cast<double>(embolden) / 64.0 + s.spacing;
  }
  out.width = pen - (cps.empty() ? 0 : s.spacing);
  const std::string align = OptOr(a, "align", "left");
  out.left = s.x + ctx.ox;
  if (align == "centre" || align == "center")
    out.left -= out.width / 2;
  else if (align == "right")
    out.left -= out.width;
  else if (align != "left")
    return ctx.Fail(l.number, "text: align must be left, centre or right");
  out.baseline = s.y + ctx.oy + static_cast<double>(face->size->metrics.ascender) / 64.0;
  return true;
}

// The glyphs' coverage added into m.
void RenderGlyphs(FT_Face face, const Layout& lay, FT_Pos embolden, Mask& m) {
  for (const Placed& p : lay.placed) {
    if (FT_Load_Glyph(face, p.glyph, FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING) != 0) continue;
    FT_GlyphSlot slot = face->glyph;
    if (embolden && slot->format == FT_GLYPH_FORMAT_OUTLINE)
      FT_Outline_Embolden(&slot->outline, embolden);
    // Sub-pixel placement: the outline moves by the fraction of the pen.
    const double gx = lay.left + p.x;
    const int ix = static_cast<int>(std::floor(gx));
    const int iy = static_cast<int>(std::floor(lay.baseline));
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE)
      FT_Outline_Translate(&slot->outline, static_cast<FT_Pos>(std::lround((gx - ix) * 64)),
                           -static_cast<FT_Pos>(std::lround((lay.baseline - iy) * 64)));
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) continue;
    const FT_Bitmap& bm = slot->bitmap;
    for (unsigned r = 0; r < bm.rows; ++r)
      for (unsigned c = 0; c < bm.width; ++c) {
        const int X = ix + slot->bitmap_left + static_cast<int>(c);
        const int Y = iy - slot->bitmap_top + static_cast<int>(r);
        if (X < m.x0 || Y < m.y0 || X >= m.x0 + m.w || Y >= m.y0 + m.h) continue;
        float& v = m.At(X, Y);
        v = std::min(1.0f, v + bm.buffer[r * static_cast<unsigned>(bm.pitch) + c] / 255.0f);
      }
  }
}

// Shadow under outline under fill; the shadow falls from the outlined body.
bool PaintText(Context& ctx, const Line& l, const Args& a, const TextStyle& s, const Mask& m) {
  Paint fill;
  if (!ParsePaint(ctx, l.number, OptOr(a, "colour", "#FFFFFF"), fill, "text colour")) return false;
  Mask body = m;
  Paint outline;
  auto ol = a.opt.find("outline");
  const bool outlined = ol != a.opt.end();
  if (outlined) {
    if (!ParsePaint(ctx, l.number, ol->second, outline, "text outline")) return false;
    body = Dilate(m, s.ow);
  }
  auto sh = a.opt.find("shadow");
  if (sh != a.opt.end()) {
    Paint shadow;
    if (!ParseColour(ctx, l.number, sh->second, shadow.solid, "text shadow")) return false;
    Mask blurred = body;
    Blur(blurred, s.blur);
    Draw(ctx, blurred, shadow, s.alpha, Blend::kOver, static_cast<int>(std::lround(s.sx)),
         static_cast<int>(std::lround(s.sy)));
  }
  if (outlined) Draw(ctx, body, outline, s.alpha, Blend::kOver);
  Draw(ctx, m, fill, s.alpha, Blend::kOver);
  return true;
}

}  // namespace

bool CmdText(Context& ctx, const Line& l) {
  Args a;
  if (!SplitArgs(ctx, l, kTextOpts, a) || !Count(ctx, l, a, 3, 3, "x y \"text\"") ||
      !NeedCanvas(ctx, l))
    return false;
  TextStyle s;
  if (!ReadStyle(ctx, l, a, s)) return false;
  std::vector<uint32_t> cps;
  if (!Utf8(a.pos[2], cps)) return ctx.Fail(l.number, "text: the string is not UTF-8");
  FT_Face face;
  if (!FindFace(ctx, l.number, OptOr(a, "font", "gothic"), face)) return false;
  const int px = static_cast<int>(std::lround(s.size));
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(px));
  const FT_Pos embolden = static_cast<FT_Pos>(std::lround(s.weight * 64));
  Layout lay;
  if (!LayOut(ctx, l, a, face, cps, s, embolden, lay)) return false;

  const int pad = static_cast<int>(std::ceil(s.ow + s.blur + std::abs(s.sx) + std::abs(s.sy))) + 4;
  Mask m;
  m.Make(static_cast<int>(std::floor(lay.left)) - pad,
         static_cast<int>(std::floor(s.y + ctx.oy)) - pad,
         static_cast<int>(std::ceil(lay.width)) + 2 * pad + px, px * 2 + 2 * pad);
  RenderGlyphs(face, lay, embolden, m);
  return PaintText(ctx, l, a, s, m);
}

}  // namespace artgen
