// Text typing, skips, click waits, choices and effects, on the virtual clock.
#include "script/presentation.h"

#include <gtest/gtest.h>

#include "core/waits.h"
#include "graphics/blit.h"
#include "graphics/textwindow.h"
#include "script/interpreter.h"
#include "support/script_fixture.h"

namespace {

class PresentationTest : public ScriptTest {};

TEST_F(PresentationTest, TextIsTypedTenMillisecondsACharacterUnlessSkipped) {
  const std::string forty(40, 'x');
  EXPECT_EQ(Run(".show msg1\n" + forty + "\n"), 1);
  EXPECT_EQ(Now(), 400u);
  EXPECT_EQ(shell.InputMode, 1);

  const uint64_t before = Now();
  EXPECT_EQ(Run(".show msg1\n.cut\n" + forty + "\n" + forty + "\n.wat 0\n"), 1);
  EXPECT_EQ(Now(), before);  // both lines skipped, shown by the next command
  EXPECT_EQ(scene.TextSkip, 0);
}

TEST_F(PresentationTest, LineEndsAndEscapes) {
  Run("first!n\nsecond\nthird\\nfourth\\\\x\\y\nlast\\n\n");
  EXPECT_EQ(LineText(1, 1), "firstsecond");
  EXPECT_EQ(LineText(1, 2), "third");
  EXPECT_EQ(LineText(1, 3), "fourth\\xy");
  EXPECT_EQ(LineText(1, 4), "last");
  EXPECT_EQ(LineText(1, 5), "");
  EXPECT_EQ(msgwin.window[1].CurrentLine(), 5);
}

TEST_F(PresentationTest, HiddenWindowsKeepTheirTextOffTheScreen) {
  Run(".update 0\nhidden text\n");
  for (int y = 60; y < 90; ++y)
    for (int x = 204; x < 400; ++x) ASSERT_EQ(host->FramePixel(x, y), 0) << x << "," << y;
  Run(".show msg1\n.update 0\n");
  plat::host().UpdateNow();
  int ink = 0;
  for (int y = 60; y < 90; ++y)
    for (int x = 204; x < 400; ++x) ink += host->FramePixel(x, y) == 0x7FFF;
  EXPECT_GT(ink, 50);
}

TEST_F(PresentationTest, ClickWaitsStopTheRunAndClicksResumeIt) {
  EXPECT_EQ(Run(".show msg1\nwait here\n.clk\nafter\n"), 1);
  EXPECT_EQ(shell.InputMode, 3);
  EXPECT_EQ(LineText(1, 2), "");
  Input("wait click 100 100");
  EXPECT_EQ(LineText(1, 2), "after");

  // ".clk 1" and ".tcl 1" do not wait; ".tcl 1" clears the window at once.
  EXPECT_EQ(Run(".show msg1\nkept\n.clk 1\n.tcl 1\nnew\n"), 1);
  EXPECT_EQ(LineText(1, 1), "new");
}

TEST_F(PresentationTest, TclClearsTheWindowAfterTheClick) {
  Run(".show msg1\nold\n.tcl\n");
  EXPECT_EQ(shell.InputMode, 4);
  EXPECT_EQ(LineText(1, 1), "old");
  Input("wait click 10 10");
  EXPECT_EQ(LineText(1, 1), "");
  EXPECT_EQ(msgwin.window[1].CurrentLine(), 1);
}

TEST_F(PresentationTest, TheCursorBlinksBesideTheLastLineWithItsWindowsSprite) {
  Run(".show msg4\n.msg 4\nline one\nline two\n.clk\n");
  LineRecord r{};
  msgwin.window[4].GetLine(2, r);
  EXPECT_EQ(scene.CursorX, r.right);
  EXPECT_EQ(scene.CursorY, r.top);
  EXPECT_EQ(scene.cursorSpriteX, 662);
  host->options().until = 100000;  // no input left: keep the window open
  const uint64_t t = Now();
  plat::Message m;
  ASSERT_TRUE(plat::host().Get(m));
  EXPECT_EQ(m.id, plat::msg::Timer);
  EXPECT_EQ(Now(), t + 100);
  plat::host().Dispatch(m);
  EXPECT_EQ(scene.CursorShown, 1);
  Input("wait click 1 1");
  EXPECT_EQ(scene.CursorShown, 0);
  EXPECT_FALSE(scene.cursorRunning);

  Run(".show msg4\n.msg 4\nx\n.tcl\n");
  EXPECT_EQ(scene.cursorSpriteX, 694);
  Run(".msg 1\n.show msg1\nx\n.clk\n");
  EXPECT_EQ(scene.cursorSpriteX, 630);
}

TEST_F(PresentationTest, TheCursorIsDrawnFromItsRowOfTheSheet) {
  // Every sheet pixel around the three cursor sprites is different, so a
  // sprite taken from a wrong row or column shows.
  auto sheetPixel = [](int sx, int sy) {
    return static_cast<uint16_t>((sy - 300) * 120 + (sx - 620) + 1);
  };
  for (int sy = 300; sy < 336; ++sy)
    for (int sx = 620; sx < 740; ++sx) gfx.PartsSheet.At(sx, sy) = sheetPixel(sx, sy);
  gfx.PartsSheet.At(662 + 5, 304 + 6) = ColourToPixel(kMagenta);  // see-through
  host->options().until = 1000000;  // no input left: keep the window open
  const struct {
    const char* script;
    int spriteX;
  } cases[] = {{".show msg4\n.msg 4\nline\n.clk\n", 662},
               {".show msg4\n.msg 4\nline\n.tcl\n", 694},
               {".msg 1\n.show msg1\nline\n.clk\n", 630}};
  for (const auto& c : cases) {
    Run(c.script);
    const int cx = scene.CursorX, cy = scene.CursorY;
    Image before;
    before.Create(640, 622);
    Copy(before, 0, 0, 640, 622, gfx.Screen, 0, 0);
    plat::Message m;
    do {
      ASSERT_TRUE(plat::host().Get(m));
      plat::host().Dispatch(m);
    } while (m.id != plat::msg::Timer);
    ASSERT_EQ(scene.CursorShown, 1);
    for (int j = -1; j <= 28; ++j) {
      for (int i = -1; i <= 32; ++i) {
        const bool inside = i >= 0 && i < 32 && j >= 0 && j < 28;
        const bool keyed = c.spriteX == 662 && i == 5 && j == 6;
        const uint16_t want =
            inside && !keyed ? sheetPixel(c.spriteX + i, 304 + j) : before.At(cx + i, cy + j);
        ASSERT_EQ(gfx.Screen.At(cx + i, cy + j), want) << c.spriteX << ": " << i << "," << j;
      }
    }
    Input("wait click 1 1");
    ClearWindow();
  }
}

TEST_F(PresentationTest, WindowFramesAndTextSitAtTheirPlaces) {
  interp.EventMode = 1;  // no status bar
  // Frame pieces white on a black sheet, so the shadows (subtracting black)
  // leave the page alone and only the frames change it.
  FillImageRect(gfx.PartsSheet, 0, 0, 420, 304, 0xFFFFFF);
  FillImageRect(gfx.PartsSheet, 0, 304, 400, 108, 0xFFFFFF);
  const struct {
    int layer;
    int left, top, right, bottom;  // what the frame changes
  } frames[] = {{kMsg1, 168, 44, 588, 196},
                {kMsg2, 54, 280, 474, 432},
                {kMsg3, 120, 184, 520, 292},
                {kMsg4, 16, 16, 624, 464}};
  const uint16_t grey = (20 << 10) | (20 << 5) | 20;
  for (const auto& f : frames) {
    for (int y = 0; y < 480; ++y) std::fill_n(gfx.ScenePage.Row(y), 640, grey);
    std::fill(std::begin(scene.shown), std::end(scene.shown), 0);
    scene.shown[f.layer] = 1;
    ComposeScene();
    int left = 640, top = 480, right = 0, bottom = 0;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x)
        if (gfx.ScenePage.At(x, y) != grey) {
          left = std::min(left, x);
          top = std::min(top, y);
          right = std::max(right, x + 1);
          bottom = std::max(bottom, y + 1);
        }
    EXPECT_EQ(left, f.left) << f.layer;
    EXPECT_EQ(top, f.top) << f.layer;
    EXPECT_EQ(right, f.right) << f.layer;
    EXPECT_EQ(bottom, f.bottom) << f.layer;
  }

  // Text starts at each window's corner: ink in its first column, none left
  // of it. The test face's frame begins an eighth of the glyph height down.
  const struct { int x, y; } corners[] = {{204, 60}, {72, 296}, {132, 200}, {32, 36}};
  for (int n = 1; n <= 4; ++n) {
    FillImageRect(gfx.Screen, 0, 0, 640, 480, 0x000000);
    TextWindow& w = msgwin.window[n];
    w.Print("W", 1);
    LineRecord r{};
    ASSERT_EQ(w.GetLine(1, r), 1);
    const int x = corners[n - 1].x, y = corners[n - 1].y;
    EXPECT_EQ(r.left, x) << n;
    EXPECT_EQ(r.top, y) << n;
    const int inkTop = y + (2 * w.FontSize() / 8) / 2;
    auto lit = [&](int px, int py) { return gfx.Screen.At(px, py) != 0; };
    bool column = false, before = false;
    for (int py = y; py < y + w.FontSize(); ++py) {
      column |= lit(x, py);
      before |= lit(x - 1, py);
    }
    EXPECT_TRUE(column) << n;
    EXPECT_FALSE(before) << n;
    EXPECT_TRUE(lit(x + 1, inkTop)) << n;
    EXPECT_FALSE(lit(x + 1, inkTop - 1)) << n;
    w.ClearAll();
  }
}

TEST_F(PresentationTest, RightButtonHeldRushesTextAndClickWaits) {
  Input("@0 rdown 5 5");
  plat::host().SleepMs(0);
  ASSERT_TRUE(PumpPending());
  ASSERT_EQ(shell.RightDown, 1);
  const uint64_t before = Now();
  EXPECT_EQ(Run(".show msg1\n" + std::string(30, 'y') + "\n.clk\nafter\n"), 1);
  EXPECT_EQ(Now(), before);  // no typing delay, no click wait
  EXPECT_EQ(LineText(1, 2), "after");
  EXPECT_EQ(shell.InputMode, 1);
}

TEST_F(PresentationTest, CwtEndsOnANewPressButNotOnAHeldButton) {
  Input("@0 ldown 5 5");
  ASSERT_TRUE(PumpPending());
  ASSERT_EQ(shell.LeftDown, 1);
  host->SetInput({});
  const uint64_t before = Now();
  Run(".cwt 300\n");
  EXPECT_EQ(Now(), before + 300);

  std::vector<headless::InputEvent> events;
  std::string error;
  headless::ParseInputScript("+0 lup 5 5\n+100 ldown 5 5", events, error);
  host->SetInput(events);
  const uint64_t start = Now();
  Run(".cwt 1000\n");
  EXPECT_EQ(Now(), start + 100);
}

TEST_F(PresentationTest, UpdateTakesItsStepsAndAHighEffectShowsNothing) {
  Run(".update 6\n");
  EXPECT_EQ(Now(), 650u);
  Run(".update 3\n");
  EXPECT_EQ(Now(), 650u + 560u);
  const uint64_t t = Now();
  host->invalidations.clear();
  Run(".show msg4\n.update 10\n");
  EXPECT_EQ(Now(), t);
  EXPECT_TRUE(host->invalidations.empty());
}

TEST_F(PresentationTest, ShakeAndFlashRunTheirTimeAndPutThePictureBack) {
  gfx.Screen.At(3, 3) = 0x1234;
  Run(".shake\n");
  EXPECT_EQ(Now(), 4u * 50u + 10u);
  EXPECT_EQ(gfx.Screen.At(3, 3), 0x1234);
  Run(".flash\n");
  EXPECT_EQ(Now(), 310u);
  EXPECT_EQ(gfx.Screen.At(3, 3), 0x1234);
}

class ChoiceTest : public PresentationTest {
 protected:
  void SetUp() override {
    PresentationTest::SetUp();
    Config(".int picked\n");
    ASSERT_EQ(Run(".show msg1\n.update 0\nどちらへ？\n"
                  ".slt add 北へ :north\n.slt add 南へ :south\n.slt add 留まる :stay\n"
                  ".slt exec\n"
                  ":north\n.let picked = 1\n.clk\n"
                  ":south\n.let picked = 2\n.clk\n"
                  ":stay\n.let picked = 3\n.clk\n"),
              1);
  }
  bool InkIs(const Choice& c, uint16_t colour) {
    for (int y = c.top; y < c.bottom; ++y)
      for (int x = c.left; x < c.right; ++x)
        if (gfx.Screen.At(x, y) == colour) return true;
    return false;
  }
};

TEST_F(ChoiceTest, ChoicesLineUpGreyAndTheHoveredOneTurnsWhite) {
  EXPECT_EQ(shell.InputMode, 5);
  ASSERT_EQ(scene.ChoiceCount, 3);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(scene.choices[i].firstLine, i + 1);
    EXPECT_EQ(scene.choices[i].lineCount, 1);
    EXPECT_TRUE(InkIs(scene.choices[i], ColourToPixel(0x808080)));
    EXPECT_FALSE(InkIs(scene.choices[i], 0x7FFF));
  }
  const Choice& south = scene.choices[2];
  Input("wait move " + std::to_string(south.left + 3) + " " + std::to_string(south.top + 3));
  EXPECT_TRUE(InkIs(scene.choices[2], 0x7FFF));
  EXPECT_FALSE(InkIs(scene.choices[1], 0x7FFF));
}

TEST_F(ChoiceTest, AClickJumpsToTheChosenLabel) {
  const Choice stay = scene.choices[3];
  Input("wait click " + std::to_string(stay.left + 2) + " " + std::to_string(stay.top + 2));
  EXPECT_EQ(Int("picked"), 3);
  EXPECT_EQ(scene.ChoiceCount, 0);
  EXPECT_EQ(shell.InputMode, 3);
}

TEST_F(ChoiceTest, AClickBesideTheChoicesKeepsWaitingAndEnterChooses) {
  Input("wait click 5 470");
  EXPECT_EQ(shell.InputMode, 5);
  const Choice north = scene.choices[1];
  Input("wait move " + std::to_string(north.left + 2) + " " + std::to_string(north.top + 2) +
        "\nwait key enter");
  EXPECT_EQ(Int("picked"), 1);
}

TEST_F(ChoiceTest, AChoiceIsHitOnlyInsideItsRectangle) {
  const Choice south = scene.choices[2];
  const int midY = south.top + 2, midX = south.left + 2;
  for (const auto& [x, y] : {std::pair{south.right, midY}, std::pair{south.left - 1, midY},
                             std::pair{midX, south.bottom}}) {
    Input("wait click " + std::to_string(x) + " " + std::to_string(y));
    EXPECT_EQ(shell.InputMode, 5) << x << "," << y;
    EXPECT_EQ(Int("picked"), 0);
  }
  Input("wait click " + std::to_string(south.right - 1) + " " + std::to_string(south.bottom - 1));
  EXPECT_EQ(Int("picked"), 2);
}

TEST_F(PresentationTest, BadInputIsReportedAndTheRunGoesOn) {
  std::string many;
  for (int i = 0; i < 21; ++i) many += ".slt add c" + std::to_string(i) + " :x\n";
  Run(many + ".load back nothere\n.show msg1\nafter\n");
  EXPECT_EQ(scene.ChoiceCount, kMaxChoices);
  ASSERT_EQ(host->boxes.size(), 2u);
  EXPECT_NE(BoxTexts()[0].find("Line : 21"), std::string::npos);
  EXPECT_EQ(BoxTexts()[1], "nothere.K16");
  EXPECT_EQ(BoxCaptions()[1], "ファイル読み込みエラー");
  EXPECT_STREQ(scene.pictureName[kBack], "nothere.K16");
  EXPECT_EQ(LineText(1, 1), "after");
}

}  // namespace
