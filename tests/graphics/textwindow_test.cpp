// Text windows with the built-in face: a one-byte character is half the font
// size wide, a two-byte one the full size; a glyph's ink is a frame whose
// left edge lies one pixel into its cell at 2x.
#include "graphics/textwindow.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/gfx_pixels.h"

namespace {

using gfx_test::Pack;

constexpr uint16_t kBack = Pack(10, 20, 0);  // the target's own colour

class TextWindowTest : public gfx_test::HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    target.Create(200, 100);
    gfx_test::Fill(target, kBack);
  }
  // At (10, 10), 100 x 40, font size 10: a two-byte character is 10 wide.
  void Make(int shadow = 1, int spacing = 0, int capacity = 3) {
    tw.Setup(&target, 10, 10, 100, 40, "test", 10, 400, spacing, 2, shadow, capacity, 0xFFFFFF,
             0x000000, kBlueKey);
  }
  LineRecord Line(TextWindow& w, int i) {
    LineRecord r{};
    EXPECT_EQ(w.GetLine(i, r), 1);
    return r;
  }
  bool Untouched(int x0, int y0, int x1, int y1) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        if (target.At(x, y) != kBack) return false;
    return true;
  }
  Image target;
  TextWindow tw;
};

// What a player reads: where each message window lies, how far its text
// reaches, its line height and spacing, white text with a black shadow two
// pixels down and right.
TEST_F(TextWindowTest, TheFourMessageWindowsKeepTheirLayoutAndColours) {
  const struct {
    int n, x, y, w, h, size, spacing, gap, capacity, area, perLine;
  } windows[] = {
      {1, 204, 60, 360, 120, 20, -1, 4, 6, 436, 18},
      {2, 72, 296, 360, 120, 20, -1, 4, 6, 540, 18},
      {3, 132, 200, 360, 100, 20, -1, 6, 4, 508, 18},
      {4, 32, 36, 576, 444, 26, -2, 4, 20, 608, 23},
  };
  CreateGlobalImages();
  SetupMessageWindows();
  for (const auto& c : windows) {
    SCOPED_TRACE(c.n);
    gfx_test::Fill(gfx.Screen, kBack);
    TextWindow& w = msgwin.window[c.n];
    EXPECT_EQ(w.target, &gfx.Screen);
    EXPECT_EQ(std::vector<int>({w.X(), w.Y(), w.Width(), w.Height(), w.FontSize(), w.CharSpacing(),
                                w.TextAreaWidth(), w.Capacity()}),
              std::vector<int>({c.x, c.y, c.w, c.h, c.size, c.spacing, c.area, c.capacity}));
    w.Print("AA\nA", 1);
    // Two half-width cells and the shadow; the second line's top and bottom.
    EXPECT_EQ(std::vector<int>({Line(w, 1).right, Line(w, 2).top, Line(w, 2).bottom}),
              std::vector<int>({c.x + c.size + c.spacing + 2, c.y + c.size + c.gap,
                                c.y + 2 * c.size + c.gap + 2}));
    // Half ink, half the page: at the glyph's left edge, and at the
    // shadow's left edge three pixels on.
    EXPECT_EQ(gfx.Screen.At(c.x, c.y + 5), Pack((62 + 10 * 2) / 4, (62 + 20 * 2) / 4, 62 / 4));
    EXPECT_EQ(gfx.Screen.At(c.x + 3, c.y + 12), Pack(5, 10, 0));
    w.ClearAll();
    std::string kanji;
    for (int i = 0; i < 30; ++i) kanji += Sjis("漢");
    w.Print(kanji.c_str(), 0);
    EXPECT_EQ(std::strlen(Line(w, 1).text), 2u * c.perLine);
    w.ClearAll();
  }
}

// Exactly these 28 characters may hang past the right edge instead of
// starting a line; one-byte characters never hang.
TEST_F(TextWindowTest, OnlyTheNoLineStartCharactersHang) {
  const uint16_t hang[] = {0x8141, 0x8142, 0x8148, 0x8149, 0x815B, 0x816A, 0x8176,
                           0x8178, 0x8199, 0x81F4, 0x829F, 0x82A1, 0x82A3, 0x82A5,
                           0x82A7, 0x82C1, 0x82E1, 0x82E3, 0x82E5, 0x8340, 0x8342,
                           0x8344, 0x8346, 0x8348, 0x8362, 0x8383, 0x8385, 0x8387};
  std::string nine;
  for (int i = 0; i < 9; ++i) nine += Sjis("あ");  // the pen ends at x + 90
  for (uint16_t code = 0x8140; code < 0x8390; ++code) {
    const auto trail = static_cast<unsigned char>(code & 0xFF);
    if (trail < 0x40 || trail == 0x7F || trail > 0xFC) continue;
    const bool hangs = std::find(std::begin(hang), std::end(hang), code) != std::end(hang);
    Make();
    const char ch[3] = {static_cast<char>(code >> 8), static_cast<char>(trail), 0};
    tw.Print((nine + ch).c_str(), 1);
    ASSERT_EQ(tw.CurrentLine(), hangs ? 1 : 2) << std::hex << code;
    EXPECT_EQ(hangs ? Line(tw, 1).right : 0, hangs ? 10 + 100 + 1 : 0);  // past the edge
  }
  Make();
  tw.Print((nine + Sjis("あ")).c_str(), 1);
  const LineRecord second = Line(tw, 2);
  EXPECT_EQ(std::vector<int>({second.left, second.top, second.bottom}),
            std::vector<int>({10, 10 + 10 + 2, 10 + 10 + 2 + 10 + 1}));
  EXPECT_STREQ(second.text, Sjis("あ").c_str());
  // 19 x 5 pixels and the shadow fit, 20 do not; without a shadow 20 fill
  // the line exactly.
  for (auto [shadow, n, line] : {std::tuple{1, 19, 1}, {1, 20, 2}, {0, 20, 1}}) {
    Make(shadow);
    tw.Print(std::string(n, 'a').c_str(), 0);
    EXPECT_EQ(tw.CurrentLine(), line) << n;
  }
}

// Typing: spacing before every character but a line's first, finished lines
// reduced at once when presented, a continued line flushed only for its new
// part, and key pixels averaged with the page, not with blue.
TEST_F(TextWindowTest, TypingPresentsFinishedLinesOverThePage) {
  Make(1, -1);
  tw.Print("ab", 0);
  const int pen = tw.PenX(), right = Line(tw, 1).right;
  tw.NewLine();
  EXPECT_EQ(std::vector<int>({pen, right, tw.PenX(), tw.PenY()}),
            std::vector<int>({10 + 5 - 1 + 5, 10 + 5 - 1 + 5 + 1, 10, 10 + 12}));
  EXPECT_TRUE(Untouched(0, 0, 200, 100));  // nothing presented

  Make();
  tw.Print("A\n", 1);
  EXPECT_FALSE(Untouched(10, 10, 16, 21));
  tw.Print("B", 0);
  EXPECT_TRUE(Untouched(10, 22, 110, 50));
  tw.FlushAll();
  EXPECT_FALSE(Untouched(10, 22, 16, 33));

  Make(0);
  gfx_test::Fill(target, kBack);
  tw.Print("AB", 1);
  const int firstEnd = tw.PenX();
  // (10, 11) reduces two key samples and two of the glyph's left edge.
  EXPECT_EQ(std::vector<uint16_t>({target.At(10, 11), target.At(10, 10), target.At(11, 11)}),
            std::vector<uint16_t>(
                {Pack((31 * 2 + 10 * 2) / 4, (31 * 2 + 20 * 2) / 4, 31 * 2 / 4), kBack, 0x7FFF}));
  gfx_test::Fill(target, kBack);
  tw.Print("CD", 1);
  EXPECT_TRUE(Untouched(10, 10, firstEnd, 21));
  EXPECT_FALSE(Untouched(firstEnd, 10, tw.PenX(), 21));
}

TEST_F(TextWindowTest, LinesAreKeptForRedrawingAndClearing) {
  Make(0);
  tw.Print("AB\nCD", 1);
  LineRecord r{};
  EXPECT_EQ(tw.GetLine(0, r) + tw.GetLine(4, r) + tw.ClearLine(0) + tw.FlushLine(4), 0);
  EXPECT_STREQ(Line(tw, 2).text, "CD");
  tw.SetColours(0x808080, 0);
  tw.RedrawLine(1, 1);
  EXPECT_EQ(target.At(11, 11), ColourToPixel(0x808080));
  EXPECT_EQ(tw.CurrentLine(), 2);  // pen and line restored
  EXPECT_STREQ(Line(tw, 1).text, "AB");
  tw.ClearAll();
  EXPECT_EQ(std::pair(tw.CurrentLine(), tw.PenX()), std::pair(1, 10));
  EXPECT_STREQ(Line(tw, 1).text, "");
  gfx_test::Fill(target, kBack);
  EXPECT_EQ(tw.FlushRect(0, 0, 200, 100), 1);  // the private surface is blank again
  EXPECT_TRUE(Untouched(0, 0, 200, 100));
  EXPECT_EQ(tw.FlushRect(160, 0, 200, 100), 0);  // right of the text area
}

TEST_F(TextWindowTest, MalformedOrOverlongTextStaysInsideItsBuffers) {
  Make();
  tw.Print("ab\x82", 1);  // a lead byte with nothing after it
  EXPECT_STREQ(Line(tw, 1).text, "ab");
  tw.Setup(&target, 0, 0, 200, 100, "test", 2, 400, 0, 0, 0, 3, 0xFFFFFF, 0, kBlueKey);
  tw.Print(std::string(100, 'x').c_str(), 1);  // a line record holds 83 bytes
  EXPECT_EQ(std::pair(std::strlen(Line(tw, 1).text), std::strlen(Line(tw, 2).text)),
            std::pair(size_t{83}, size_t{17}));
  Make(1, 0, 2);
  tw.Print("1\n2\n3\n4", 1);  // past the last record text is dropped
  EXPECT_EQ(tw.CurrentLine() + Line(tw, 2).text[0], 4 + '2');
  gfx_test::Fill(target, kBack);
  tw.Setup(&target, 300, 0, 50, 50, "test", 10, 400, 0, 2, 1, 3, 0xFFFFFF, 0, kBlueKey);
  tw.Print("abc", 1);  // clipped away entirely: only the pen moves
  EXPECT_TRUE(Untouched(0, 0, 200, 100));
}

}  // namespace
