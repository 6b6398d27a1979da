#include "graphics/textwindow.h"

#include <algorithm>
#include <cstring>

#include "graphics/graphics_texts.h"
#include "platform/sjis.h"

MessageWindows msgwin;

namespace {

constexpr uint16_t kNoLineStart[] = {0x8141, 0x8142, 0x8148, 0x8149, 0x815B, 0x816A, 0x8176,
                                     0x8178, 0x8199, 0x81F4, 0x829F, 0x82A1, 0x82A3, 0x82A5,
                                     0x82A7, 0x82C1, 0x82E1, 0x82E3, 0x82E5, 0x8340, 0x8342,
                                     0x8344, 0x8346, 0x8348, 0x8362, 0x8383, 0x8385, 0x8387};

bool RectEmpty(const LineRecord& r) { return r.right <= r.left || r.bottom <= r.top; }

}  // namespace

bool MustNotBeginLine(unsigned char lead, unsigned char trail) {
  const uint16_t code = static_cast<uint16_t>(lead << 8 | trail);
  return std::find(std::begin(kNoLineStart), std::end(kNoLineStart), code) !=
         std::end(kNoLineStart);
}

TextWindow::~TextWindow() { Release(); }

void TextWindow::Release() {
  if (font && plat::HasHost()) plat::host().DeleteFont(font);
  font = 0;
  dib.Destroy();
  lines.clear();
  target = nullptr;
  penX = penY = x = y = width = height = textAreaWidth = 0;
  fontSize = shadowOffset = charSpacing = lineGap = capacity = 0;
  currentLine = 1;
}

plat::Surface TextWindow::DibSurface() { return {dib.pixels, dib.width, dib.height, dib.stride}; }

void TextWindow::Setup(Image* targetImage, int x0, int y0, int w, int h, const char* face, int size,
                       int weight, int spacing, int gap, int shadow, int lineCapacity,
                       uint32_t text, uint32_t shade, uint32_t key) {
  auto& host = plat::host();
  const plat::FontHandle made = host.MakeFont(face, 2 * size, weight);
  if (font) host.DeleteFont(font);
  font = made;

  textColour = text;
  shadowColour = shade;
  backgroundKey = key;
  charSpacing = spacing;
  lineGap = gap;
  shadowOffset = shadow;
  target = targetImage;
  fontSize = size;

  if (x0 < 0) {
    w -= -x0;
    x0 = 0;
  }
  if (x0 + w > target->width) w = target->width - x0;
  if (y0 < 0) {
    h -= -y0;
    y0 = 0;
  }
  if (y0 + h > target->height) h = target->height - y0;
  x = x0;
  y = y0;
  width = w;
  height = h;
  // The text area reaches half a width past the window so that hanging
  // characters have room, but never past the target.
  textAreaWidth = (2 * x + 3 * width <= 2 * target->width) ? (3 * width) / 2 : target->width - x;

  // A window clipped away entirely keeps no surface; printing into it then
  // only moves the pen.
  if (width < 1 || height < 1 || textAreaWidth < 1 || !dib.Create(2 * textAreaWidth, 2 * height)) {
    dib.Destroy();
  }

  capacity = std::max(lineCapacity, 0);
  lines.assign(static_cast<size_t>(capacity) + 1, LineRecord{});
  currentLine = 1;
  penX = x;
  penY = y;
  FillDib(x, y, x + textAreaWidth, y + height);
}

void TextWindow::FillDib(int left, int top, int right, int bottom) {
  if (!dib.pixels) return;
  const uint16_t keyPixel = ColourToPixel(backgroundKey);
  const int x0 = std::max(2 * (left - x), 0), x1 = std::min(2 * (right - x), dib.width);
  const int y0 = std::max(2 * (top - y), 0), y1 = std::min(2 * (bottom - y), dib.height);
  for (int row = y0; row < y1; ++row) {
    if (x1 > x0) std::fill(dib.Row(row) + x0, dib.Row(row) + x1, keyPixel);
  }
}

void TextWindow::Print(const char* text, int present) {
  if (text[0] == '\0') return;
  auto& host = plat::host();

  // A line that already holds text is continued; flushing it then covers
  // only what this call adds.
  int contLine = 0, contPenX = 0, contPenY = 0;
  if (LineUsable(currentLine) && lines[currentLine].text[0] != '\0') {
    contLine = currentLine;
    contPenX = penX;
    contPenY = penY;
  }
  auto flush = [&](int n) {
    if (!LineUsable(n)) return;
    if (n == contLine) {
      FlushRect(contPenX + charSpacing, contPenY, penX + shadowOffset, lines[n].bottom);
    } else {
      FlushLine(n);
    }
  };
  auto nextLine = [&]() {
    penX = x;
    penY += fontSize + lineGap;
    ++currentLine;
  };

  const plat::Surface surface = DibSurface();
  for (size_t i = 0; text[i] != '\0';) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      if (present == 1) flush(currentLine);
      nextLine();
      ++i;
      continue;
    }
    int len = 1;
    if (sjis::IsLeadByte(c)) {
      // A lead byte that ends the text has no character to make: skip it
      // rather than read past the end.
      if (text[i + 1] == '\0') break;
      len = 2;
    }
    const char* ch = text + i;
    i += static_cast<size_t>(len);

    int cx = host.MeasureChar(font, ch, len);
    cx += cx & 1;
    const bool lineStarted = LineUsable(currentLine) && lines[currentLine].text[0] != '\0';
    if (lineStarted) penX += charSpacing;
    if (Wraps(ch, len, cx, lineStarted)) {
      if (present == 1) flush(currentLine);
      nextLine();
    }
    // Past the last line record there is nowhere to keep the text: it is
    // dropped, and the lines already printed stay as they are.
    if (LineUsable(currentLine)) PlaceChar(ch, len, cx, surface);
  }
  if (present == 1 && LineUsable(currentLine) && lines[currentLine].text[0] != '\0') {
    flush(currentLine);
  }
}

bool TextWindow::Wraps(const char* ch, int len, int cx, bool lineStarted) const {
  const int e = cx + 2 * (penX - x + shadowOffset);
  if (len == 1 ? e > 2 * width
               : e > 2 * textAreaWidth ||
                     (e > 2 * width && !MustNotBeginLine(static_cast<unsigned char>(ch[0]),
                                                         static_cast<unsigned char>(ch[1]))))
    return true;
  // A line record holds 83 bytes; a longer line goes on in the next one.
  return lineStarted &&
         std::strlen(lines[currentLine].text) + static_cast<size_t>(len) > kLineTextMax;
}

void TextWindow::PlaceChar(const char* ch, int len, int cx, const plat::Surface& surface) {
  LineRecord& line = lines[currentLine];
  if (line.text[0] == '\0') {
    line.left = penX;
    line.top = penY;
    line.bottom = penY + fontSize + shadowOffset;
  }
  const size_t used = std::strlen(line.text);
  std::memcpy(line.text + used, ch, static_cast<size_t>(len));
  line.text[used + static_cast<size_t>(len)] = '\0';
  line.right = penX + cx / 2 + shadowOffset;

  if (surface.pixels) {
    auto& host = plat::host();
    host.DrawChar(font, ch, len, shadowColour, surface, 2 * (penX - x + shadowOffset),
                  2 * (penY - y + shadowOffset));
    host.DrawChar(font, ch, len, textColour, surface, 2 * (penX - x), 2 * (penY - y));
  }
  penX += cx / 2;
}

void TextWindow::NewLine() {
  penX = x;
  ++currentLine;
  penY += lineGap + fontSize;
}

int TextWindow::ClearLine(int i) {
  if (!LineUsable(i)) return 0;
  LineRecord& line = lines[i];
  if (!RectEmpty(line)) {
    const LineRecord old = line;
    line = LineRecord{};
    FillDib(old.left, old.top, old.right, old.bottom);
  }
  return 1;
}

void TextWindow::ClearAll() {
  for (int i = 1; i <= currentLine; ++i) ClearLine(i);
  currentLine = 1;
  penX = x;
  penY = y;
}

int TextWindow::FlushRect(int left, int top, int right, int bottom) {
  left = std::max(left, x);
  right = std::min(right, x + textAreaWidth);
  top = std::max(top, y);
  bottom = std::min(bottom, y + height);
  if (left >= right || top >= bottom || !dib.pixels) return 0;
  // The target may have been swapped for a smaller page since set-up.
  if (!target || !target->pixels) return 0;
  right = std::min(right, target->width);
  bottom = std::min(bottom, target->height);
  if (left >= right || top >= bottom) return 1;

  const uint16_t key = ColourToPixel(backgroundKey);
  for (int ty = top; ty < bottom; ++ty) {
    const uint16_t* s0 = dib.Row(2 * (ty - y));
    const uint16_t* s1 = dib.Row(2 * (ty - y) + 1);
    uint16_t* out = target->Row(ty);
    for (int tx = left; tx < right; ++tx) {
      const int sx = 2 * (tx - x);
      const uint16_t p[4] = {s0[sx], s0[sx + 1], s1[sx], s1[sx + 1]};
      // Most of a window is empty: four key samples average to what lies
      // underneath, which is already there.
      if ((p[0] & p[1] & p[2] & p[3]) == key && (p[0] | p[1] | p[2] | p[3]) == key) continue;
      const uint16_t under = out[tx];
      unsigned r = 0, g = 0, b = 0;
      for (uint16_t v : p) {
        if (v == key) v = under;
        r += (v >> 10) & 31;
        g += (v >> 5) & 31;
        b += v & 31;
      }
      out[tx] = static_cast<uint16_t>(((r / 4) << 10) | ((g / 4) << 5) | (b / 4));
    }
  }
  return 1;
}

int TextWindow::FlushLine(int i) {
  if (!LineUsable(i)) return 0;
  const LineRecord& line = lines[i];
  return FlushRect(line.left, line.top, line.right, line.bottom);
}

void TextWindow::FlushAll() {
  for (int i = 1; i <= currentLine; ++i) FlushLine(i);
}

void TextWindow::RedrawLine(int i, int present) {
  if (!LineUsable(i)) return;
  const int savedLine = currentLine, savedX = penX, savedY = penY;
  currentLine = i;
  penX = lines[i].left;
  penY = lines[i].top;
  char text[sizeof(LineRecord::text)];
  std::memcpy(text, lines[i].text, sizeof text);
  ClearLine(i);
  Print(text, present);
  currentLine = savedLine;
  penX = savedX;
  penY = savedY;
}

void TextWindow::SetColours(uint32_t text, uint32_t shadow) {
  textColour = text;
  shadowColour = shadow;
}

int TextWindow::LastTextLine() const {
  for (int i = capacity; i >= 1; --i) {
    if (LineUsable(i) && lines[i].text[0] != '\0') return i;
  }
  return 0;
}

int TextWindow::ShownLines() const {
  const int pitch = fontSize + lineGap;
  return pitch > 0 ? std::min(capacity, (height + lineGap) / pitch) : capacity;
}

int TextWindow::GetLine(int i, LineRecord& record) const {
  if (!LineUsable(i)) return 0;
  record = lines[i];
  return 1;
}

void SetupMessageWindow(int n) {
  struct Geometry {
    int x, y, w, h;
    const char* face;
    int size, weight, spacing, gap, capacity;
  };
  static const Geometry table[4] = {
      {204, 60, 360, 120, texts::kFaceGothic, 20, 400, -1, 4, 6},
      {72, 296, 360, 120, texts::kFaceGothic, 20, 400, -1, 4, 6},
      {132, 200, 360, 100, texts::kFaceGothic, 20, 400, -1, 6, 4},
      {32, 36, 576, 444, texts::kFaceMincho, 26, 700, -2, 4, 20},
  };
  if (n < 1 || n > 4) return;
  const Geometry& g = table[n - 1];
  msgwin.window[n].Setup(&gfx.Screen, g.x, g.y, g.w, g.h, g.face, g.size, g.weight, g.spacing,
                         g.gap, 2, g.capacity, 0xFFFFFF, 0x000000, kBlueKey);
}

void SetupMessageWindows() {
  for (int n = 1; n <= 4; ++n) SetupMessageWindow(n);
}

void DestroyMessageWindows() {
  for (TextWindow& w : msgwin.window) w.Release();
}
