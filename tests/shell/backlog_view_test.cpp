// The backlog's record of the lines shown, and the backlog and help views
// over a wait: opened, scrolled and closed on the picture they covered, their
// text on a panel of its own, and the help's page of options.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/settings.h"
#include "core/waits.h"
#include "script/backlog.h"
#include "script/presentation.h"
#include "shell/help_view.h"
#include "shell/overlay.h"
#include "support/k16_writer.h"
#include "support/script_fixture.h"

namespace {

class BacklogViewTest : public ScriptTest {
 protected:
  // The window's picture with the blinking click cursor left out.
  std::vector<uint16_t> Picture() {
    plat::host().Invalidate(nullptr);
    plat::host().UpdateNow();
    std::vector<uint16_t> p = host->Frame();
    for (int y = std::max(scene.CursorY, 0); y < scene.CursorY + 20 && y < 480; ++y)
      for (int x = std::max(scene.CursorX, 0); x < scene.CursorX + 20 && x < 640; ++x)
        p[static_cast<size_t>(y) * 640 + x] = 0;
    return p;
  }
  static std::string At(const Choice& c) {
    return std::to_string(c.left + 2) + " " + std::to_string(c.top + 2);
  }
};

TEST_F(BacklogViewTest, BacklogKeepsTheWindowsLinesApartAndTheChoiceTaken) {
  Run(".show msg1\n.show msg2\n.msg 1\nfirst!n\n and more\nsecond\n.msg 2\nreply\n.tcl 1\n"
      "reply\n.slt add \"go on\" :next\n.slt exec\n:next\n.msg 1\nend\n");
  Input("wait click " + At(scene.choices[1]));
  // A line continued with "!n" is one line; the same window line after a
  // clear is a new one.
  std::string lines;
  for (const BacklogLine& l : backlog.lines) lines += std::to_string(l.window) + ":" + l.text + "|";
  EXPECT_EQ(lines, "1:first and more|1:second|2:reply|2:reply|0:go on|1:end|");
  for (int i = 0; i < 251; ++i) {
    BacklogChar(1, 1 + i % 5, "x", 1);
    if (i >= 249) {
      EXPECT_EQ(backlog.lines.size(), kBacklogLines);
    }
  }
  EXPECT_EQ(backlog.lines.back().windowLine, 1);
}

// The backlog and the help page cover the wait and give back its picture.
TEST_F(BacklogViewTest, BacklogAndHelpOpenOverTheWaitAndCloseOnTheSamePicture) {
  std::string text = ".show msg1\n";
  for (int i = 1; i <= 30; ++i) text += "line " + std::to_string(i) + "\n.tcl 1\n";
  Run(text + "last\n.clk\nafter\n");
  const std::vector<uint16_t> before = Picture();
  Input("wait wheel 1");
  ASSERT_TRUE(shell.OverlayOpen);
  const std::vector<uint16_t> open = Picture();
  EXPECT_NE(open, before);
  Input("+10 wheel 2");
  EXPECT_NE(Picture(), open);                 // scrolled back
  Input("+10 click 320 240\n+10 key enter");  // the game's own click waits on
  EXPECT_TRUE(shell.OverlayOpen);
  EXPECT_EQ(LineText(1, 2), "");
  Input("+10 wheel -1\n+10 key down\n+10 key end\n+10 wheel -1");  // to the end, then past it
  EXPECT_FALSE(shell.OverlayOpen);
  EXPECT_EQ(Picture(), before);
  Input("+10 key pageup");
  EXPECT_TRUE(shell.OverlayOpen);
  Input("+10 rclick 10 10\n+10 key up\n+10 key esc");
  EXPECT_FALSE(shell.OverlayOpen);
  EXPECT_TRUE(host->WindowOpen()) << "Esc closed the view, not the game";
  EXPECT_EQ(Picture(), before);
  Input("+10 key f2");
  EXPECT_TRUE(shell.OverlayOpen);
  EXPECT_NE(Picture(), before);
  Input("+10 click 100 100");
  EXPECT_FALSE(shell.OverlayOpen);
  EXPECT_EQ(std::pair(shell.InputMode, Picture() == before), std::pair(mode::ClickWait, true));
  Input("+10 click 320 240");
  EXPECT_EQ(LineText(1, 2), "after");
}

// Over a white scene and over a black one, each view's page is the same
// inside its panel: the scene's text cannot show through the view's, where
// a view that only dims the scene lets a quarter of it through.
TEST_F(BacklogViewTest, TheViewsTextStandsOnAPanelTheSceneDoesNotShowThrough) {
  for (const char* name : {"white", "black"}) {
    const uint16_t c = name[0] == 'w' ? Rgb5(31, 31, 31) : 0;
    WriteTestK16(dataDir.string() + "/" + name + ".K16", 640, 480, [c](int, int) { return c; });
  }
  Run(".load back white\n.show back\n.show msg1\n.update 0\nline\n.clk\n.load back black\n"
      ".update 0\n.clk\n");
  std::vector<uint16_t> pages[2][2];  // [scene][view]
  const char* open[2] = {"wheel 1", "key f2"};
  for (int scene = 0; scene < 2; ++scene) {
    for (int view = 0; view < 2; ++view) {
      Input(std::string("wait ") + open[view]);
      ASSERT_TRUE(shell.OverlayOpen);
      pages[scene][view] = Picture();
      Input("+10 key esc");
      ASSERT_FALSE(shell.OverlayOpen);
    }
    if (scene == 0) Input("+10 click 320 240");
  }
  for (int view = 0; view < 2; ++view) {
    int most = 0;
    for (int y = kViewPanelY + 2; y < kViewPanelY + kViewPanelH - 2; ++y)
      for (int x = kViewPanelX + 2; x < kViewPanelX + kViewPanelW - 2; ++x) {
        const size_t at = static_cast<size_t>(y) * 640 + x;
        for (const int shift : {0, 5, 10})
          most = std::max(most, std::abs(((pages[0][view][at] >> shift) & 31) -
                                         ((pages[1][view][at] >> shift) & 31)));
      }
    EXPECT_EQ(most, 0) << (view == 0 ? "the backlog" : "the help");
  }
}

// Down turns the help to the comfort options, each with whether it is on
// now; Up turns back, and any other key closes it.
TEST_F(BacklogViewTest, TheHelpsSecondPageListsTheComfortOptionsAndWhetherEachIsOn) {
  settings.escapeBack = true;
  settings.saveCaption = true;
  Run(".show msg1\nline\n.clk\n");
  Input("wait key f2");
  ASSERT_EQ(HelpPage(), 1);
  const std::vector<uint16_t> keys = Picture();
  Input("+10 key down");
  ASSERT_EQ(HelpPage(), 2);
  EXPECT_NE(Picture(), keys);
  const std::string rows = HelpRowsShown();
  for (const ComfortOption& option : kComfortOptions) {
    const std::string row =
        std::string(option.key) + " " + Sjis(settings.*(option.field) ? "オン" : "オフ") + "|";
    EXPECT_NE(rows.find(row), std::string::npos) << row << " in " << rows;
  }
  Input("+10 key pagedown\n+10 key up");
  EXPECT_EQ(HelpPage(), 1);
  EXPECT_EQ(Picture(), keys);
  Input("+10 key pagedown\n+10 key enter");
  EXPECT_EQ(HelpPage(), 0);
  EXPECT_FALSE(shell.OverlayOpen);
}

}  // namespace
