// The backlog's record of the lines shown, and the backlog and help views
// over a wait: opened, scrolled and closed on the picture they covered.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/waits.h"
#include "script/backlog.h"
#include "script/presentation.h"
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

}  // namespace
