#include "platform/win32/gdi_text.h"

#include <algorithm>
#include <string>

#include "platform/win32/win32_files.h"

namespace win32 {

namespace {

// One code-page-932 character as UTF-16; empty for bytes that are none.
std::wstring CharOf(const char* ch, int len) {
  std::wstring w;
  if (!ch || len < 1 || len > 2 || !SjisToWide(std::string_view(ch, static_cast<size_t>(len)), w))
    w.clear();
  return w;
}

}  // namespace

GdiText::GdiText() : dc_(CreateCompatibleDC(nullptr)) {
  if (!dc_) return;
  SetBkMode(dc_, TRANSPARENT);
  SetTextColor(dc_, RGB(255, 255, 255));
  SetTextAlign(dc_, TA_TOP | TA_LEFT | TA_NOUPDATECP);
}

GdiText::~GdiText() {
  if (dc_) {
    SelectObject(dc_, GetStockObject(SYSTEM_FONT));
    if (oldBitmap_) SelectObject(dc_, oldBitmap_);
    DeleteDC(dc_);
  }
  if (scratch_) DeleteObject(scratch_);
  for (const auto& [h, font] : fonts_) {
    if (font.measure != font.draw) DeleteObject(font.measure);
    DeleteObject(font.narrow);
    DeleteObject(font.draw);
  }
}

plat::FontHandle GdiText::Make(const char* faceSjis, int pixelHeight, int weight) {
  std::wstring face;
  if (faceSjis) SjisToWide(faceSjis, face);
  // The height is the em, as the game's faces have their em as high as
  // their cell; a substitute with a taller cell then sets text at the same
  // size and breaks the lines in the same places. The character set is
  // Shift-JIS whatever the system's locale.
  Font font;
  font.em = std::max(pixelHeight, 1);
  auto make = [&](int w, int width = 0) {
    HFONT f = CreateFontW(-font.em, width, 0, 0, w, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                          FIXED_PITCH | FF_MODERN, face.c_str());
    return f ? f : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  };
  font.draw = make(weight);
  font.measure = weight >= 600 ? make(FW_NORMAL) : font.draw;
  font.narrow = make(weight, std::max(font.em / 4, 1));
  const plat::FontHandle h = next_++;
  fonts_[h] = font;
  return h;
}

void GdiText::Delete(plat::FontHandle font) {
  auto it = fonts_.find(font);
  if (it == fonts_.end()) return;
  if (dc_) SelectObject(dc_, GetStockObject(SYSTEM_FONT));
  if (it->second.measure != it->second.draw) DeleteObject(it->second.measure);
  DeleteObject(it->second.narrow);
  DeleteObject(it->second.draw);
  fonts_.erase(it);
}

const GdiText::Font* GdiText::Select(plat::FontHandle font) {
  auto it = fonts_.find(font);
  if (it == fonts_.end() || !dc_) return nullptr;
  SelectObject(dc_, it->second.draw);
  return &it->second;
}

int GdiText::Advance(const Font& font, const std::wstring& w, int len) {
  SelectObject(dc_, font.measure);
  SIZE size{};
  GetTextExtentPoint32W(dc_, w.c_str(), static_cast<int>(w.size()), &size);
  SelectObject(dc_, font.draw);
  // One-byte characters have half-width cells in the game's fixed-pitch
  // faces, control codes, codes without a glyph and the yen sign included.
  return len == 1 ? font.em / 2 : size.cx;
}

std::string GdiText::FamilyOf(plat::FontHandle font) {
  if (!Select(font)) return {};
  const UINT size = GetOutlineTextMetricsW(dc_, 0, nullptr);
  if (size < sizeof(OUTLINETEXTMETRICW)) return {};
  std::vector<uint8_t> buffer(size);
  auto* otm = reinterpret_cast<OUTLINETEXTMETRICW*>(buffer.data());
  if (!GetOutlineTextMetricsW(dc_, size, otm)) return {};
  // The name's offset from the record's start travels in a pointer field.
  const size_t at = reinterpret_cast<uintptr_t>(otm->otmpFamilyName);
  if (at >= size) return {};
  const std::wstring family(reinterpret_cast<const wchar_t*>(buffer.data() + at));
  const int n = WideCharToMultiByte(CP_UTF8, 0, family.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 1 ? n - 1 : 0), '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, family.c_str(), -1, out.data(), n, nullptr, nullptr);
  return out;
}

int GdiText::Measure(plat::FontHandle font, const char* ch, int len) {
  const std::wstring w = CharOf(ch, len);
  const Font* f = Select(font);
  if (f && len == 1) return f->em / 2;
  return f && !w.empty() ? Advance(*f, w, len) : 0;
}

bool GdiText::EnsureScratch(int w, int h) {
  if (scratch_ && w <= scratchW_ && h <= scratchH_) return true;
  w = std::max(w, scratchW_);
  h = std::max(h, scratchH_);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib) return false;
  HGDIOBJ old = SelectObject(dc_, dib);
  if (scratch_) {
    DeleteObject(scratch_);
  } else {
    oldBitmap_ = old;
  }
  scratch_ = dib;
  bits_ = static_cast<uint32_t*>(bits);
  scratchW_ = w;
  scratchH_ = h;
  return true;
}

bool GdiText::Render(plat::FontHandle font, const char* ch, int len, Glyph& out) {
  out = Glyph{};
  const std::wstring w = CharOf(ch, len);
  const Font* f = Select(font);
  if (!f) return false;
  if (w.empty()) {
    // Bytes that are no character: an empty cell of the usual width.
    out.advance = len == 1 ? f->em / 2 : 0;
    return len == 1;
  }
  TEXTMETRICW tm{};
  GetTextMetricsW(dc_, &tm);
  SIZE size{};
  GetTextExtentPoint32W(dc_, w.c_str(), static_cast<int>(w.size()), &size);
  out.advance = Advance(*f, w, len);
  if (len == 1 && size.cx > out.advance) {
    // A full-width glyph for a one-byte code: squeezed into its half cell.
    SelectObject(dc_, f->narrow);
    GetTextExtentPoint32W(dc_, w.c_str(), static_cast<int>(w.size()), &size);
  }
  // Room for ink past the advance (the overhang of synthetic bold).
  out.width = size.cx + tm.tmHeight / 4 + 2;
  out.height = tm.tmHeight;
  if (out.width <= 0 || out.height <= 0 || !EnsureScratch(out.width, out.height)) return false;
  GdiFlush();
  for (int row = 0; row < out.height; ++row)
    std::fill_n(bits_ + static_cast<size_t>(row) * scratchW_, out.width, 0u);
  TextOutW(dc_, 0, 0, w.c_str(), static_cast<int>(w.size()));
  GdiFlush();
  out.ink.assign(static_cast<size_t>(out.width) * out.height, 0);
  for (int y = 0; y < out.height; ++y) {
    const uint32_t* row = bits_ + static_cast<size_t>(y) * scratchW_;
    for (int x = 0; x < out.width; ++x)
      out.ink[static_cast<size_t>(y) * out.width + x] = (row[x] & 0xFFFFFF) ? 1 : 0;
  }
  return true;
}

void GdiText::Draw(plat::FontHandle font, const char* ch, int len, uint32_t colour,
                   const plat::Surface& target, int x, int y) {
  Glyph g;
  if (!target.pixels || !Render(font, ch, len, g)) return;
  const uint32_t r = colour & 0xFF, gr = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
  const auto pixel = static_cast<uint16_t>(((r >> 3) << 10) | ((gr >> 3) << 5) | (b >> 3));
  for (int gy = 0; gy < g.height; ++gy) {
    const int ty = y + gy;
    if (ty < 0 || ty >= target.height) continue;
    auto* row =
        reinterpret_cast<uint16_t*>(reinterpret_cast<uint8_t*>(target.pixels) +
                                    static_cast<ptrdiff_t>(target.height - 1 - ty) * target.stride);
    const uint8_t* ink = g.ink.data() + static_cast<size_t>(gy) * g.width;
    for (int gx = 0; gx < g.width; ++gx) {
      const int tx = x + gx;
      if (ink[gx] && tx >= 0 && tx < target.width) row[tx] = pixel;
    }
  }
}

}  // namespace win32
