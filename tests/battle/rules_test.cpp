// The battle's message box as the player reads it: the story's click cue
// blinks after the message's last line while the box waits, and is gone
// when the wait ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/rules.h"
#include "core/settings.h"
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
  settings.battleCue = true;
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

// The message box's rows, where the cue would blink.
std::vector<uint16_t> MessageRows(const Image& image) {
  std::vector<uint16_t> p;
  for (int y = kBoxY; y < kBoxY + kBoxH; ++y)
    p.insert(p.end(), image.Row(y), image.Row(y) + kBattleWidth);
  return p;
}

// Unless the player chose the cue, the box stays as the message drew it
// for the whole wait, and nothing is kept under a cue.
TEST_F(RulesTest, WithoutTheChosenCueTheMessageStaysAsDrawn) {
  struct Seen {
    std::vector<uint16_t> rows, back;
    int changes = 0, steps = 0;
  } seen;
  MakeHost("+150 move 1 1\n+100 move 1 1\n+100 move 1 1\n");
  ASSERT_TRUE(host->OpenWindow("t", WindowProc));
  seen.back = MessageRows(gfx.BackPage);
  host->SetInputHook(
      [](const headless::InputEvent&, void* user) {
        auto& s = *static_cast<Seen*>(user);
        std::vector<uint16_t> now = MessageRows(gfx.Screen);
        if (s.steps++ > 0 && now != s.rows) ++s.changes;
        s.rows = std::move(now);
      },
      &seen);
  ASSERT_TRUE(messageBox({"One", "\nTwo"}, 1000));
  EXPECT_EQ(seen.steps, 3);
  EXPECT_EQ(seen.changes, 0);
  EXPECT_FALSE(scene.cursorRunning);
  EXPECT_EQ(MessageRows(gfx.BackPage), seen.back);
}

}  // namespace
}  // namespace battle_test
