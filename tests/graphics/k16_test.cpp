#include "graphics/k16.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "graphics/image.h"
#include "graphics/number_font.h"
#include "support/game_fixture.h"

namespace {

// A K16 file: palette entry i is i * 0x0101 & 0x7FFF, pixels from index(x, y)
// in top-down coordinates; row padding bytes are 0xEE so a reader that used
// them would show.
std::string MakeK16(int32_t w, int32_t h, const std::function<uint8_t(int, int)>& index,
                    int32_t headerW = 0, int32_t headerH = 0) {
  const int32_t rowSize = K16RowSize(w);
  std::string f(540 + static_cast<size_t>(rowSize) * h, '\0');
  auto put32 = [&](size_t at, int32_t v) {
    for (int i = 0; i < 4; ++i)
      f[at + i] = static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
  };
  put32(16, headerW ? headerW : w);
  put32(20, headerH ? headerH : h);
  for (int i = 0; i < 256; ++i) {
    const uint16_t p = static_cast<uint16_t>((i * 0x0101) & 0x7FFF);
    f[28 + 2 * i] = static_cast<char>(p & 0xFF);
    f[29 + 2 * i] = static_cast<char>(p >> 8);
  }
  for (int y = 0; y < h; ++y) {
    const size_t row = 540 + static_cast<size_t>(h - 1 - y) * rowSize;
    for (int x = 0; x < rowSize; ++x) f[row + x] = static_cast<char>(x < w ? index(x, y) : 0xEE);
  }
  return f;
}

uint16_t Pal(int i) { return static_cast<uint16_t>((i * 0x0101) & 0x7FFF); }

class K16Test : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    MakeHost();
  }
  static void Fill(Image& im, uint16_t v) {
    for (int y = 0; y < im.height; ++y) std::fill_n(im.Row(y), im.width, v);
  }
  static int CountNot(const Image& im, uint16_t v) {
    int n = 0;
    for (int y = 0; y < im.height; ++y)
      for (int x = 0; x < im.width; ++x) n += im.At(x, y) != v;
    return n;
  }
};

auto XY = [](int x, int y) { return static_cast<uint8_t>((x + 7 * y) % 255); };

TEST_F(K16Test, LoadMakesTheImageAtTheFileSizeAndSkipsRowPadding) {
  WriteData("three.K16", MakeK16(3, 2, XY));
  Image im;
  ASSERT_EQ(im.Create(640, 480), 1);
  ASSERT_EQ(LoadK16(im, "three.K16"), 1);
  EXPECT_EQ(im.width, 3);
  EXPECT_EQ(im.height, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(im.At(x, y), Pal(XY(x, y))) << x << "," << y;

  WriteData("sq.K16", MakeK16(64, 64, XY));
  ASSERT_EQ(LoadK16(im, "sq.K16"), 1);
  EXPECT_EQ(im.width, 64);
  EXPECT_EQ(im.stride, 128);
  EXPECT_EQ(im.At(63, 0), Pal(XY(63, 0)));
  EXPECT_EQ(im.At(0, 63), Pal(XY(0, 63)));  // bottom-up file rows
}

TEST_F(K16Test, LoadAtCutsTheOverhangAtTheRightAndBottom) {
  WriteData("pic.k16", MakeK16(200, 100, XY));
  Image im;
  im.Create(640, 480);
  Fill(im, 0x7FFF);
  ASSERT_EQ(LoadK16At(im, "pic.k16", 500, 400), 1);
  EXPECT_EQ(im.At(500, 400), Pal(XY(0, 0)));
  EXPECT_EQ(im.At(639, 479), Pal(XY(139, 79)));
  EXPECT_EQ(im.At(499, 400), 0x7FFF);
  EXPECT_EQ(im.At(500, 399), 0x7FFF);
  // Negative corners drop the file's left columns and top rows instead of
  // writing before the image.
  Fill(im, 0x7FFF);
  ASSERT_EQ(LoadK16At(im, "pic.k16", -150, -90), 1);
  EXPECT_EQ(im.At(0, 0), Pal(XY(150, 90)));
  EXPECT_EQ(im.At(49, 9), Pal(XY(199, 99)));
  EXPECT_EQ(im.At(50, 0), 0x7FFF);
  EXPECT_EQ(im.At(0, 10), 0x7FFF);
  // Entirely outside: the file was read, nothing drawn.
  Fill(im, 0x7FFF);
  EXPECT_EQ(LoadK16At(im, "pic.k16", 640, 0), 1);
  EXPECT_EQ(CountNot(im, 0x7FFF), 0);
}

TEST_F(K16Test, RectLoadersCopyTheRequestedRectangleAndTheKeyedOneSkipsIndex255) {
  // Every third pixel is index 255.
  auto idx = [](int x, int y) {
    return static_cast<uint8_t>((x + y) % 3 == 0 ? 255 : (x * 3 + y) % 255);
  };
  WriteData("sheet.K16", MakeK16(40, 30, idx));
  Image im;
  im.Create(50, 50);
  Fill(im, 0x1234);
  ASSERT_EQ(LoadK16Rect(im, "sheet.K16", 5, 6, 10, 8, 20, 12), 1);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 50; ++x) {
      const bool in = x >= 5 && x < 15 && y >= 6 && y < 14;
      EXPECT_EQ(im.At(x, y), in ? Pal(idx(x - 5 + 20, y - 6 + 12)) : 0x1234) << x << "," << y;
    }
  Fill(im, 0x1234);
  ASSERT_EQ(LoadK16RectKeyed(im, "sheet.K16", 5, 6, 10, 8, 20, 12), 1);
  for (int y = 6; y < 14; ++y)
    for (int x = 5; x < 15; ++x) {
      const uint8_t i = idx(x - 5 + 20, y - 6 + 12);
      EXPECT_EQ(im.At(x, y), i == 255 ? 0x1234 : Pal(i));
    }
}

TEST_F(K16Test, RectanglesOutsideTheFileOrTheImageAreClipped) {
  WriteData("sheet.K16", MakeK16(40, 30, XY));
  Image im;
  im.Create(20, 20);
  Fill(im, 0x1234);
  // Source past the file's right and bottom edges, destination past the image.
  ASSERT_EQ(LoadK16Rect(im, "sheet.K16", 15, 15, 100, 100, 35, 27), 1);
  EXPECT_EQ(im.At(15, 15), Pal(XY(35, 27)));
  EXPECT_EQ(im.At(19, 17), Pal(XY(39, 29)));
  EXPECT_EQ(im.At(19, 18), 0x1234);  // the file has only 3 rows left
  EXPECT_EQ(im.At(14, 15), 0x1234);
  // Negative source and destination corners.
  Fill(im, 0x1234);
  ASSERT_EQ(LoadK16RectKeyed(im, "sheet.K16", -3, 2, 10, 10, -2, -4), 1);
  EXPECT_EQ(im.At(0, 6), Pal(XY(1, 0)));
  EXPECT_EQ(im.At(4, 11), Pal(XY(5, 5)));
  EXPECT_EQ(im.At(6, 6), Pal(XY(7, 0)));
  EXPECT_EQ(im.At(7, 6), 0x1234);
  EXPECT_EQ(im.At(0, 5), 0x1234);
  EXPECT_EQ(LoadK16Rect(im, "sheet.K16", 0, 0, -5, 10, 0, 0), 1);
  EXPECT_EQ(LoadK16Rect(im, "sheet.K16", INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MIN,
                        INT32_MIN),
            1);
  EXPECT_EQ(CountNot(im, 0x1234), 7 * 6);
}

TEST_F(K16Test, MalformedFilesAreRefusedAndLeaveTheImageAlone) {
  Image im;
  im.Create(8, 8);
  Fill(im, 0x0042);
  const std::string good = MakeK16(10, 10, XY);
  WriteData("short.K16", good.substr(0, good.size() - 20));  // last rows missing
  WriteData("header.K16", good.substr(0, 300));
  WriteData("empty.K16", "");
  WriteData("zero.K16", MakeK16(4, 4, XY, 0, 4).replace(16, 4, std::string(4, '\0')));
  WriteData("negative.K16", MakeK16(4, 4, XY, 4, -3));
  WriteData("huge.K16", MakeK16(4, 4, XY, 0x7FFFFFFF, 0x7FFFFFFF));
  WriteData("wide.K16", MakeK16(4, 4, XY, 4, 1 << 20));
  for (const char* name : {"missing.K16", "short.K16", "header.K16", "empty.K16", "zero.K16",
                           "negative.K16", "huge.K16", "wide.K16"}) {
    EXPECT_EQ(LoadK16(im, name), 0) << name;
    EXPECT_EQ(LoadK16At(im, name, 0, 0), 0) << name;
    EXPECT_EQ(LoadK16Rect(im, name, 0, 0, 4, 4, 0, 0), 0) << name;
    EXPECT_EQ(LoadK16RectKeyed(im, name, 0, 0, 4, 4, 0, 0), 0) << name;
    EXPECT_EQ(im.width, 8);
    EXPECT_EQ(CountNot(im, 0x0042), 0) << name;
  }
  // Only the last row's padding may be missing.
  WriteData("nopad.K16", MakeK16(3, 2, XY).substr(0, 540 + 4 + 3));
  EXPECT_EQ(LoadK16(im, "nopad.K16"), 1);
  EXPECT_EQ(im.At(2, 0), Pal(XY(2, 0)));
}

TEST_F(K16Test, StartUpLoadsThePartsSheetAndTheNumberFonts) {
  WriteData("source1.K16", MakeK16(900, 20, XY));
  WriteData("nummid.K16", MakeK16(120, 16, XY));
  WriteData("numWeekday.K16", MakeK16(60, 12, XY));
  RunGame();  // no "start": ends after start-up loading
  EXPECT_EQ(gfx.PartsSheet.width, 850);
  EXPECT_EQ(gfx.PartsSheet.At(849, 19), Pal(XY(849, 19)));
  EXPECT_EQ(gfx.PartsSheet.At(0, 20), 0);
  EXPECT_EQ(numfonts.Mid.glyphWidth, 10);
  EXPECT_EQ(numfonts.Mid.strip.height, 16);
  EXPECT_EQ(numfonts.Weekday.glyphWidth, 5);
  EXPECT_EQ(numfonts.Big.glyphWidth, 0);  // missing file: nothing loaded
  EXPECT_EQ(numfonts.Big.strip.pixels, nullptr);
}

}  // namespace
