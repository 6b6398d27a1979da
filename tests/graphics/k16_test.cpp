#include "graphics/k16.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "graphics/image.h"
#include "graphics/number_font.h"
#include "support/gfx_pixels.h"

namespace {

// Where a K16 file keeps its fields, written out here rather than taken
// from the loader: little-endian width and height, 256 two-byte palette
// entries, then rows of indexes padded to 4 bytes, the bottom row first.
constexpr size_t kWidthAt = 16, kHeightAt = 20, kPaletteAt = 28, kPixelsAt = 540;

// Palette entry i has different high and low bytes; one index in three is
// 255; the row padding is 0xEE, so a loader that read it would show.
uint16_t Pal(int i) { return static_cast<uint16_t>((i * 0x0101) & 0x7FFF); }
uint8_t Index(int x, int y) {
  return static_cast<uint8_t>((x + y) % 3 == 0 ? 255 : (x * 3 + y * 7) % 255);
}
std::string MakeK16(int32_t w, int32_t h, int32_t headerW = 0, int32_t headerH = 0) {
  const int32_t rowSize = (w + 3) / 4 * 4;
  std::string f(kPixelsAt + static_cast<size_t>(rowSize) * h, '\0');
  auto put32 = [&](size_t at, int32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = static_cast<char>(static_cast<uint32_t>(v) >> (8 * i));
  };
  put32(kWidthAt, headerW ? headerW : w);
  put32(kHeightAt, headerH ? headerH : h);
  for (int i = 0; i < 256; ++i) {
    f[kPaletteAt + 2 * i] = static_cast<char>(Pal(i) & 0xFF);
    f[kPaletteAt + 2 * i + 1] = static_cast<char>(Pal(i) >> 8);
  }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < rowSize; ++x)
      f[kPixelsAt + static_cast<size_t>(h - 1 - y) * rowSize + x] =
          static_cast<char>(x < w ? Index(x, y) : 0xEE);
  return f;
}

using K16Test = gfx_test::HostTest;

// Every loader paints the file rectangle it is given through the palette,
// cut at the edges of both pictures; the keyed one leaves index 255 out.
TEST_F(K16Test, LoadersPaintThroughThePaletteCutAtBothPictures) {
  WriteData("pic.k16", MakeK16(200, 100));
  WriteData("sheet.K16", MakeK16(40, 30));
  enum { kAt, kRect, kKeyed };
  const struct {
    int loader;
    const char* file;
    int imageW, imageH, dx, dy, w, h, sx, sy;
    int rx, ry, rw, rh, ox, oy;  // painted area, file pixel = image pixel + offset
  } cases[] = {
      {kAt, "pic.k16", 640, 480, 500, 400, 0, 0, 0, 0, 500, 400, 140, 80, -500, -400},
      {kAt, "pic.k16", 640, 480, -150, -90, 0, 0, 0, 0, 0, 0, 50, 10, 150, 90},
      {kAt, "pic.k16", 640, 480, 640, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {kRect, "sheet.K16", 50, 50, 5, 6, 10, 8, 20, 12, 5, 6, 10, 8, 15, 6},
      {kKeyed, "sheet.K16", 50, 50, 5, 6, 10, 8, 20, 12, 5, 6, 10, 8, 15, 6},
      {kRect, "sheet.K16", 20, 20, 15, 15, 100, 100, 35, 27, 15, 15, 5, 3, 20, 12},
      {kKeyed, "sheet.K16", 20, 20, -3, 2, 10, 10, -2, -4, 0, 6, 7, 6, 1, -6},
      {kRect, "sheet.K16", 20, 20, 0, 0, -5, 10, 0, 0, 0, 0, 0, 0, 0, 0},
      {kRect, "sheet.K16", 20, 20, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN,
       0, 0, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.file << " at " << c.dx << "," << c.dy);
    Image im;
    im.Create(c.imageW, c.imageH);
    gfx_test::Fill(im, 0x1234);
    const auto before = gfx_test::Pixels(im);
    const int got = c.loader == kAt ? LoadK16At(im, c.file, c.dx, c.dy)
                    : c.loader == kRect
                        ? LoadK16Rect(im, c.file, c.dx, c.dy, c.w, c.h, c.sx, c.sy)
                        : LoadK16RectKeyed(im, c.file, c.dx, c.dy, c.w, c.h, c.sx, c.sy);
    EXPECT_EQ(got, 1);
    EXPECT_TRUE(gfx_test::Only(im, before, c.rx, c.ry, c.rw, c.rh, [&](int x, int y) {
      const uint8_t i = Index(x + c.ox, y + c.oy);
      return c.loader == kKeyed && i == 255 ? uint16_t{0x1234} : Pal(i);
    }));
  }
}

// LoadK16 makes the image at the file's size, whatever it was before; a
// malformed file is refused by every loader and leaves the image alone.
TEST_F(K16Test, LoadMakesTheImageAtTheFileSizeAndRefusesMalformedFiles) {
  for (auto [w, h, stride] : {std::tuple{3, 2, 8}, {64, 64, 128}, {7, 5, 16}}) {
    WriteData("p.K16", MakeK16(w, h));
    Image im;
    im.Create(640, 480);
    ASSERT_EQ(LoadK16(im, "p.K16"), 1);
    EXPECT_EQ(std::vector<int>({im.width, im.height, im.stride}), std::vector<int>({w, h, stride}));
    EXPECT_TRUE(gfx_test::Only(im, {}, 0, 0, w, h, [](int x, int y) { return Pal(Index(x, y)); }));
  }
  const std::string good = MakeK16(10, 10);
  const std::pair<const char*, std::string> files[] = {
      {"missing.K16", ""},                              // not written
      {"short.K16", good.substr(0, good.size() - 20)},  // last rows missing
      {"header.K16", good.substr(0, 300)},
      {"empty.K16", ""},
      {"zero.K16", MakeK16(4, 4, 0, 4).replace(kWidthAt, 4, std::string(4, '\0'))},
      {"negative.K16", MakeK16(4, 4, 4, -3)},
      {"huge.K16", MakeK16(4, 4, 0x7FFFFFFF, 0x7FFFFFFF)},
      {"tall.K16", MakeK16(4, 4, 4, 1 << 20)},
  };
  Image im;
  im.Create(8, 8);
  gfx_test::Fill(im, 0x0042);
  const auto before = gfx_test::Pixels(im);
  for (const auto& [name, bytes] : files) {
    if (name != std::string("missing.K16")) WriteData(name, bytes);
    EXPECT_EQ(LoadK16(im, name) + LoadK16At(im, name, 0, 0) +
                  LoadK16Rect(im, name, 0, 0, 4, 4, 0, 0) +
                  LoadK16RectKeyed(im, name, 0, 0, 4, 4, 0, 0),
              0)
        << name;
    EXPECT_EQ(gfx_test::Pixels(im), before) << name;
  }
  // Only the last row's padding may be missing.
  WriteData("nopad.K16", MakeK16(3, 2).substr(0, kPixelsAt + 4 + 3));
  EXPECT_EQ(LoadK16(im, "nopad.K16") + (im.At(2, 0) == Pal(Index(2, 0))), 2);
}

TEST_F(K16Test, StartUpLoadsThePartsSheetAndTheNumberFonts) {
  WriteData("source1.K16", MakeK16(900, 20));
  WriteData("nummid.K16", MakeK16(120, 16));
  WriteData("numWeekday.K16", MakeK16(60, 12));
  RunGame();  // no "start": ends after start-up loading
  EXPECT_EQ(gfx.PartsSheet.width, 850);
  EXPECT_EQ(gfx.PartsSheet.At(849, 19), Pal(Index(849, 19)));
  EXPECT_EQ(gfx.PartsSheet.At(0, 20), 0);
  EXPECT_EQ(std::pair(numfonts.Mid.glyphWidth, numfonts.Mid.strip.height), std::pair(10, 16));
  EXPECT_EQ(numfonts.Weekday.glyphWidth, 5);
  EXPECT_EQ(numfonts.Big.strip.pixels, nullptr);  // missing file: nothing loaded
}

}  // namespace
