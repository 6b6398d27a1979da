// The reading aids' keys on the virtual clock: Ctrl, Tab and auto mode
// passing click waits; F11's note.
#include "shell/aids.h"

#include <gtest/gtest.h>

#include <utility>

#include "core/waits.h"
#include "script/presentation.h"
#include "shell/notes.h"
#include "support/script_fixture.h"

namespace {

class AidsTest : public ScriptTest {
 protected:
  static std::string At(const Choice& c) {
    return std::to_string(c.left + 2) + " " + std::to_string(c.top + 2);
  }
};

TEST_F(AidsTest, CtrlAndTabPassClickWaitsAsTheHeldRightButtonDoes) {
  Run(".show msg1\none\n.clk\ntwo\n.clk\nthree\n.tcl\nfour\n.clk\nfive\n");
  const uint64_t t = Now();
  Input("wait keydown ctrl");
  // Held, it passes every wait and the typing: "three" and "four" cost no time.
  EXPECT_EQ(Lines(1, 2), "four|five");
  EXPECT_EQ(Now(), t);
  Input("+0 keyup ctrl");
  EXPECT_FALSE(shell.CtrlDown);
  Run(".show msg1\na\n.clk\nb\n.clk\n.slt add \"x\" :x\n.slt exec\n:x\nc\n.clk\n");
  Input("wait key tab");
  EXPECT_EQ(shell.InputMode, mode::Choice);  // skip mode stops at a decision
  EXPECT_FALSE(shell.SkipMode);
  Input("wait click " + At(scene.choices[1]));
  EXPECT_EQ(shell.InputMode, mode::ClickWait);  // and the next wait waits again
}

TEST_F(AidsTest, AutoModeEndsAClickWaitAfterItsDelayOnTheClock) {
  Run(".show msg1\nabcde\n.clk\nafter\n.clk\nmore\n");
  // 1500 ms and 80 for each of the five characters shown since the last wait;
  // the next wait counts from its own start: "after" is typed in 50 ms.
  const std::pair<const char*, std::string> steps[] = {{"wait key a\n+1899 move 700 500", ""},
                                                       {"+2 move 700 500", "after"},
                                                       {"+1948 move 700 500", ""},
                                                       {"+2 move 700 500", "more"}};
  for (int i = 0; i < 4; ++i) {
    Input(steps[i].first);
    EXPECT_EQ(LineText(1, 2 + i / 2), steps[i].second) << steps[i].first;
  }
  // Off again: a wait waits for the player.
  Run(".show msg1\nx\n.clk\ny\n");
  Input("wait key a\n+20000 move 700 500");
  EXPECT_FALSE(shell.AutoMode);
  EXPECT_EQ(shell.InputMode, mode::ClickWait);
}

// The note tells where the picture went: the folder after the heading, and
// the file's whole name on a line of its own (the clock starts at
// 2026-04-01 09:00:00).
TEST_F(AidsTest, TheScreenshotNoteShowsTheFilesName) {
  Run(".show msg1\nx\n.clk\n");
  Input("wait key f11");
  plat::host().Invalidate(nullptr);
  plat::host().UpdateNow();
  EXPECT_EQ(NoteShown(),
            Sjis("スクリーンショット：") + "screenshots\\\nquillfen-20260401-090000.png");
}

}  // namespace
