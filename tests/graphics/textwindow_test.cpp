// Text windows with the built-in face: one-byte characters are half the font
// height wide at 2x, two-byte characters the full height.
#include "graphics/textwindow.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/sjis.h"
#include "support/game_fixture.h"

namespace {

constexpr uint16_t kWhite = 0x7FFF;
constexpr uint16_t kBack = (10 << 10) | (20 << 5) | 0;  // the target's own colour

class TextWindowTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    MakeHost();
    target.Create(200, 100);
    Fill(kBack);
  }
  void Fill(uint16_t v) {
    for (int y = 0; y < target.height; ++y) std::fill_n(target.Row(y), target.width, v);
  }
  // Window at (10, 10), 100 x 40; font size 10 (20 pixels at 2x).
  void Make(int shadow = 1, int spacing = 0, int capacity = 3) {
    tw.Setup(&target, 10, 10, 100, 40, "test", 10, 400, spacing, 2, shadow, capacity, 0xFFFFFF,
             0x000000, kBlueKey);
  }
  LineRecord Line(int i) {
    LineRecord r{};
    EXPECT_EQ(tw.GetLine(i, r), 1);
    return r;
  }
  bool Untouched(int x0, int y0, int x1, int y1) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        if (target.At(x, y) != kBack) return false;
    return true;
  }
  std::string Repeat(const std::string& utf8, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += Sjis(utf8);
    return s;
  }

  Image target;
  TextWindow tw;
};

TEST_F(TextWindowTest, TheTextAreaReachesHalfAWidthFurtherButNotPastTheTarget) {
  Make();
  EXPECT_EQ(tw.TextAreaWidth(), 150);
  EXPECT_EQ(tw.Dib().width, 300);
  EXPECT_EQ(tw.Dib().height, 80);
  tw.Setup(&target, 150, -5, 100, 40, "test", 10, 400, 0, 2, 1, 3, 0xFFFFFF, 0, kBlueKey);
  EXPECT_EQ(tw.X(), 150);
  EXPECT_EQ(tw.Width(), 50);  // clipped at the right edge
  EXPECT_EQ(tw.Y(), 0);
  EXPECT_EQ(tw.Height(), 35);
  EXPECT_EQ(tw.TextAreaWidth(), 50);

  CreateGlobalImages();
  SetupMessageWindows();
  EXPECT_EQ(msgwin.window[1].TextAreaWidth(), 436);  // 204 + 540 passes 640
  EXPECT_EQ(msgwin.window[3].TextAreaWidth(), 508);
  EXPECT_EQ(msgwin.window[4].TextAreaWidth(), 608);
  EXPECT_EQ(msgwin.window[4].Capacity(), 20);
}

TEST_F(TextWindowTest, SmallKanaAndPunctuationHangWhereOthersWrap) {
  Make();
  const std::string nine = Repeat("あ", 9);  // pen ends at x + 90
  tw.Print((nine + Sjis("。")).c_str(), 1);
  EXPECT_EQ(tw.CurrentLine(), 1);
  EXPECT_EQ(Line(1).right, 10 + 100 + 1);  // past the window's right edge
  EXPECT_EQ(std::strlen(Line(1).text), 20u);

  Make();
  tw.Print((nine + Sjis("あ")).c_str(), 1);
  EXPECT_EQ(tw.CurrentLine(), 2);
  const LineRecord second = Line(2);
  EXPECT_EQ(second.left, 10);
  EXPECT_EQ(second.top, 10 + 10 + 2);
  EXPECT_EQ(second.bottom, second.top + 10 + 1);
  EXPECT_STREQ(second.text, Sjis("あ").c_str());

  EXPECT_TRUE(MustNotBeginLine(0x81, 0x42));
  EXPECT_TRUE(MustNotBeginLine(0x83, 0x87));
  EXPECT_FALSE(MustNotBeginLine(0x82, 0xA0));
}

TEST_F(TextWindowTest, OneByteCharactersNeverHang) {
  Make();
  tw.Print(std::string(19, 'a').c_str(), 0);  // 19 x 5 pixels
  EXPECT_EQ(tw.CurrentLine(), 1);
  tw.Print(".", 0);  // e = 10 + 2 * (95 + 1) > 200
  EXPECT_EQ(tw.CurrentLine(), 2);
}

TEST_F(TextWindowTest, SpacingTightensEveryCharacterButTheFirst) {
  Make(1, -1);
  tw.Print("ab", 0);
  EXPECT_EQ(tw.PenX(), 10 + 5 - 1 + 5);
  EXPECT_EQ(Line(1).right, tw.PenX() + 1);
  tw.NewLine();
  EXPECT_EQ(tw.PenX(), 10);
  EXPECT_EQ(tw.PenY(), 10 + 12);
}

TEST_F(TextWindowTest, ALineFeedReducesTheFinishedLineAtOnce) {
  Make();
  tw.Print("A\n", 1);
  EXPECT_FALSE(Untouched(10, 10, 16, 21));
  tw.Print("B", 0);  // not presented: only in the private surface
  EXPECT_TRUE(Untouched(10, 22, 110, 50));
  tw.FlushAll();
  EXPECT_FALSE(Untouched(10, 22, 16, 33));

  Fill(kBack);
  Make();
  tw.Print("A\nB", 0);
  EXPECT_TRUE(Untouched(0, 0, 200, 100));
}

TEST_F(TextWindowTest, ASecondPrintOnTheLineFlushesOnlyItsOwnPart) {
  Make(0);
  tw.Print("AB", 1);
  const int firstEnd = tw.PenX();
  Fill(kBack);  // forget what the first flush drew
  tw.Print("CD", 1);
  EXPECT_TRUE(Untouched(10, 10, firstEnd, 21));
  EXPECT_FALSE(Untouched(firstEnd, 10, tw.PenX(), 21));
}

TEST_F(TextWindowTest, BackgroundKeyPixelsTakeTheTargetsOwnColour) {
  Make(0);
  tw.Print("A", 1);
  // Target pixel (10, 11) reduces 2x2 samples: two blue-key (left column)
  // and two white ink pixels of the glyph's left edge.
  const uint16_t p = target.At(10, 11);
  EXPECT_EQ((p >> 10) & 31, (31 * 2 + 10 * 2) / 4);
  EXPECT_EQ((p >> 5) & 31, (31 * 2 + 20 * 2) / 4);
  EXPECT_EQ(p & 31, (31 * 2 + 0) / 4);
  EXPECT_EQ(target.At(10, 10), kBack);   // all key: the target stays
  EXPECT_EQ(target.At(11, 11), kWhite);  // inside the glyph's frame
}

TEST_F(TextWindowTest, LinesAreKeptForRedrawingInAnotherColour) {
  Make(0);
  tw.Print("AB\nCD", 1);
  LineRecord r{};
  EXPECT_EQ(tw.GetLine(0, r), 0);
  EXPECT_EQ(tw.GetLine(4, r), 0);
  EXPECT_EQ(tw.ClearLine(0), 0);
  EXPECT_EQ(tw.FlushLine(4), 0);
  EXPECT_STREQ(Line(2).text, "CD");

  tw.SetColours(0x808080, 0);
  tw.RedrawLine(1, 1);
  EXPECT_EQ(target.At(11, 11), ColourToPixel(0x808080));
  EXPECT_EQ(tw.CurrentLine(), 2);  // pen and line restored
  EXPECT_STREQ(Line(1).text, "AB");

  tw.ClearAll();
  EXPECT_EQ(tw.CurrentLine(), 1);
  EXPECT_STREQ(Line(1).text, "");
  EXPECT_EQ(tw.PenX(), 10);
  // The private surface is blank again: a flush changes nothing.
  Fill(kBack);
  EXPECT_EQ(tw.FlushRect(0, 0, 200, 100), 1);
  EXPECT_TRUE(Untouched(0, 0, 200, 100));
  EXPECT_EQ(tw.FlushRect(160, 0, 200, 100), 0);  // right of the text area
}

TEST_F(TextWindowTest, MalformedTextStaysInsideItsBuffers) {
  Make();
  tw.Print("ab\x82", 1);  // a lead byte with nothing after it
  EXPECT_STREQ(Line(1).text, "ab");

  // A window wide enough for more than 83 bytes on a line goes on in the
  // next line record.
  tw.Setup(&target, 0, 0, 200, 100, "test", 2, 400, 0, 0, 0, 3, 0xFFFFFF, 0, kBlueKey);
  const std::string many(100, 'x');
  tw.Print(many.c_str(), 1);
  EXPECT_EQ(std::strlen(Line(1).text), 83u);
  EXPECT_EQ(std::strlen(Line(2).text), 17u);

  // Past the last line record, text is dropped and nothing else changes.
  Make(1, 0, 2);
  tw.Print("1\n2\n3\n4", 1);
  EXPECT_EQ(tw.CurrentLine(), 4);
  EXPECT_STREQ(Line(2).text, "2");
  tw.FlushAll();
  tw.ClearAll();
  EXPECT_STREQ(Line(2).text, "");

  // A window clipped away entirely only moves its pen.
  Fill(kBack);
  tw.Setup(&target, 300, 0, 50, 50, "test", 10, 400, 0, 2, 1, 3, 0xFFFFFF, 0, kBlueKey);
  tw.Print("abc", 1);
  tw.FlushAll();
  EXPECT_TRUE(Untouched(0, 0, 200, 100));
}

// The installed Japanese faces stand in for the original ones; authors lay
// their text out by the original faces' line lengths.
class RealFontTest : public TextWindowTest {
 protected:
  void SetUp() override {
    TextWindowTest::SetUp();
    host.reset();
    realFonts = true;
    MakeHost();
    CreateGlobalImages();
    SetupMessageWindows();
    if (host->fonts().FileOf(1) == "builtin") GTEST_SKIP() << "no Japanese fonts installed";
  }
  // A gradient behind the text, so the smoothing over the target shows.
  void Backdrop() {
    for (int y = 0; y < 480; ++y)
      std::fill_n(gfx.Screen.Row(y), 640, static_cast<uint16_t>((y / 16) << 5 | 8));
  }
  void Shot(const char* name) {
    const char* dir = std::getenv("QUILLFEN_TEST_SHOTS");
    if (!dir) return;
    if (!plat::host().OpenWindow("t", WindowProc)) return;
    InvalidateAll();
    plat::host().UpdateNow();
    host->options().screenshotDir = dir;
    EXPECT_TRUE(host->SaveScreenshot(name));
  }
  // Whether window n's DIB holds anything but the key from a column on, in
  // the rows of its first line.
  bool InkFrom(int n, int column) {
    const Image& dib = msgwin.window[n].Dib();
    const uint16_t key = ColourToPixel(kBlueKey);
    const int rows = std::min(dib.height, 2 * msgwin.window[n].FontSize() + 12);
    const int columns = std::min(dib.width, column + 16);
    for (int y = 0; y < rows; ++y)
      for (int x = column; x < columns; ++x)
        if (dib.At(x, y) != key) return true;
    return false;
  }
  LineRecord LineOf(int n, int i) {
    LineRecord r{};
    EXPECT_EQ(msgwin.window[n].GetLine(i, r), 1);
    return r;
  }
};

TEST_F(RealFontTest, FullLinesOfKanjiBreakWhereTheOriginalFacesDo) {
  const std::string mincho = host->fonts().FileOf(4);
  EXPECT_TRUE(mincho.find("ipam") != std::string::npos ||
              mincho.find("mincho") != std::string::npos)
      << mincho;
  // A full-width character advances twice the font size at 2x: 18 a line in
  // windows 1 to 3, 23 in window 4.
  const struct { int window, perLine; } cases[] = {{1, 18}, {2, 18}, {3, 18}, {4, 23}};
  for (const auto& c : cases) {
    TextWindow& w = msgwin.window[c.window];
    w.Print(Repeat("漢", 30).c_str(), 0);
    EXPECT_EQ(std::strlen(LineOf(c.window, 1).text), 2u * c.perLine) << "window " << c.window;
    EXPECT_EQ(std::strlen(LineOf(c.window, 2).text), 2u * (30 - c.perLine))
        << "window " << c.window;
    const int step = w.FontSize() + w.CharSpacing();
    EXPECT_EQ(LineOf(c.window, 1).right, w.X() + (c.perLine - 1) * step + w.FontSize() + 2);
    w.ClearAll();
  }

  Backdrop();
  // The full stop hangs past the eighteenth character.
  msgwin.window[1].Print((Repeat("漢", 18) + Repeat("。", 1) + Repeat("字", 18) +
                          Sjis("一行に十八文字まで、句読点はその後ろにぶら下がる。"))
                             .c_str(),
                         1);
  EXPECT_EQ(msgwin.window[1].CurrentLine(), 4);
  Shot("textwindow1");

  Backdrop();
  TextWindow& w = msgwin.window[4];
  w.Print((Repeat("漢", 23) + Repeat("字", 23) +
           Sjis("クイルフェンの街へようこそ。\n価格は \\1200、ABC xyz "
                "123！\n漢字とかなカナ、「引用」ぁぃぅ"))
              .c_str(),
          1);
  EXPECT_EQ(w.CurrentLine(), 5);
  int white = 0;
  for (int y = 36; y < 36 + 5 * 30; ++y)
    for (int x = 32; x < 608; ++x) white += gfx.Screen.At(x, y) == kWhite;
  EXPECT_GT(white, 1000);
  Shot("textwindow4");
}

TEST_F(RealFontTest, EveryOneByteCharacterTakesAHalfWidthCell) {
  // The yen sign in particular: the substitute faces map it to a full-width
  // glyph.
  for (int n : {1, 4}) {
    TextWindow& w = msgwin.window[n];
    const int half = w.FontSize();  // at 2x
    w.Print("\\1", 0);
    EXPECT_EQ(w.PenX(), w.X() + 2 * (half / 2) + w.CharSpacing()) << "window " << n;
    w.ClearAll();
    for (int code = 1; code < 256; ++code) {
      if (code == '\n' || sjis::IsLeadByte(static_cast<unsigned char>(code))) continue;
      const char text[2] = {static_cast<char>(code), '\0'};
      w.Print(text, 0);
      ASSERT_EQ(w.PenX(), w.X() + half / 2) << "window " << n << " code " << code;
      // Ink (glyph and shadow) stays inside the cell and its shadow offset;
      // bold strokes may thicken a glyph past its cell by a pixel or two.
      const int spread = n == 4 ? 2 : 0;
      ASSERT_FALSE(InkFrom(n, half + 4 + spread)) << "window " << n << " code " << code;
      w.ClearAll();
    }
  }
}

}  // namespace
