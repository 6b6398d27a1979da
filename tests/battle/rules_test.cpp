// The battle's message box as the player reads it: the story's click cue
// blinks after the message's last line while the box waits, and is gone
// when the wait ends.
#include <gtest/gtest.h>

#include <string>

#include "battle/rules.h"
#include "graphics/textwindow.h"
#include "script/presentation.h"
#include "shell/app.h"
#include "support/battle_fixture.h"

namespace battle_test {
namespace {

using RulesTest = BattlePositionTest;

TEST_F(RulesTest, AMessageBlinksTheClickCueAfterItsLastLineWhileItWaits) {
  // Seen inside the wait, at each scripted step: where the cue is and
  // whether it shows there.
  struct Seen {
    std::string blinks;
    int x = 0, y = 0;
  } seen;
  MakeHost("+150 move 1 1\n+100 move 1 1\n+100 move 1 1\n");
  // The game's window procedure blinks the cue on its timer.
  ASSERT_TRUE(host->OpenWindow("t", WindowProc));
  host->SetInputHook(
      [](const headless::InputEvent&, void* user) {
        auto& s = *static_cast<Seen*>(user);
        s.x = scene.CursorX;
        s.y = scene.CursorY;
        s.blinks += gfx.Screen.At(s.x, s.y) == kCue ? '1' : '0';
      },
      &seen);
  ASSERT_TRUE(messageBox({"One", "\nTwo"}, 1000));
  EXPECT_EQ(seen.blinks, "101");
  LineRecord last{};
  ASSERT_TRUE(msgwin.window[1].GetLine(2, last));
  EXPECT_STREQ(last.text, "Two");
  EXPECT_EQ(std::pair(seen.x, seen.y), std::pair(last.right, last.top));
  EXPECT_FALSE(scene.cursorRunning);
  EXPECT_NE(gfx.Screen.At(seen.x, seen.y), kCue) << "the cue stays after the wait";
}

}  // namespace
}  // namespace battle_test
