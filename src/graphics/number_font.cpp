#include "graphics/number_font.h"

#include <utility>

#include "core/mistake_log.h"
#include "graphics/blit.h"
#include "graphics/k16.h"

NumberFonts numfonts;

int NumberFont::Load(const char* fileName) {
  const int ok = LoadK16(strip, fileName);
  glyphWidth = strip.width / 12;
  return ok;
}

void NumberFont::Draw(Image& dst, int32_t x, int32_t y, int32_t value, int32_t signMode,
                      int32_t align) const {
  DrawClipped(dst, x, y, value, signMode, align, 0, 0, dst.width, dst.height);
}

void NumberFont::DrawClipped(Image& dst, int32_t x, int32_t y, int32_t value, int32_t signMode,
                             int32_t align, int32_t clipX, int32_t clipY, int32_t clipW,
                             int32_t clipH) const {
  // Slots, most significant first; the magnitude is taken in 64 bits so that
  // the most negative value has one too.
  int slots[12];
  int length = 0;
  if (signMode == 1) slots[length++] = value < 0 ? 11 : 10;
  int64_t magnitude = value < 0 ? -int64_t{value} : int64_t{value};
  int digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<int>(magnitude % 10);
    magnitude /= 10;
  } while (magnitude > 0);
  while (count > 0) slots[length++] = digits[--count];

  const int64_t g = glyphWidth, span = int64_t{length} * g;
  int64_t left = x;
  if (align == 1) {
    left = x - (span - 1) / 2;
  } else if (align == 2) {
    left = x + 1 - span;
  }
  for (int i = 0; i < length; ++i, left += g) {
    // Far off the image a glyph has nothing to draw.
    if (left < INT32_MIN || left > INT32_MAX) continue;
    CopyClippedKeyed(dst, static_cast<int32_t>(left), y, glyphWidth, strip.height, strip,
                     static_cast<int32_t>(slots[i] * g), 0, clipX, clipY, clipW, clipH, kMagenta);
  }
}

void LoadNumberFonts() {
  const std::pair<NumberFont*, const char*> fonts[] = {{&numfonts.Big, "numbig.K16"},
                                                       {&numfonts.Mid, "nummid.K16"},
                                                       {&numfonts.Small, "numsmall.K16"},
                                                       {&numfonts.Micro, "nummicro.K16"},
                                                       {&numfonts.Weekday, "numWeekday.K16"}};
  for (const auto& [font, file] : fonts)
    if (!font->Load(file)) ReportMistake(FileProblem("picture", file, "a number font"));
}

void ResetNumberFonts() {
  for (NumberFont* f :
       {&numfonts.Big, &numfonts.Mid, &numfonts.Small, &numfonts.Micro, &numfonts.Weekday}) {
    f->strip.Destroy();
    f->glyphWidth = 0;
  }
}
