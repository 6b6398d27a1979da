// The machine's player: the clicks it makes for the greedy choice, and whole
// battles played by "autobattle" through the window's clicks.
#include <gtest/gtest.h>

#include <cstring>

#include "battle/autoplayer.h"
#include "core/waits.h"
#include "data/database.h"
#include "data/player.h"
#include "support/battle_fixture.h"

namespace battle_test {
namespace {

class AutoBattleTest : public BattleRunTest {
 protected:
  void SetUp() override {
    BattleRunTest::SetUp();
    // Both sides know a strong attack art of two cards of attribute 1 and a
    // cheap one of attributes 2 and 3; the defence art halves physical damage.
    SetArt(Role::Attack, 1, {1, 1}, 1, 150, 5).learned = 1;
    SetArt(Role::Attack, 2, {2, 3}, 8, 60).learned = 1;
    SetArt(Role::Defence, 1, {4}, 2, -50).learned = 1;
    WriteArts();
  }
};

TEST_F(AutoBattleTest, TheGreedyChoiceClicksItsPatternsCardsThenDecides) {
  WriteStory(".battle fg\\foe 300 300 40 40 1 foe 0 5 1");
  Run(kStart);
  MakeHost();
  shell.InputMode = mode::PlayerAttacks;
  gfx.ViewOffset = 142;
  // Cards 3 (attribute 3), 1 and 6 (attribute 1), 2 (attribute 2), an empty
  // slot and card 5, without a symbol, which goes along with any art; the
  // middle of slot k is at x 55, 162, 267, 373, 479, 585, y 265 in the view.
  battle.handSize = 6;
  Deal(0, {3, 1, 0, 6, 2, 5});
  auto clicks = [] {
    std::string text;
    for (const plat::Point& p : greedyClicks())
      text += std::to_string(p.x) + "," + std::to_string(p.y) + " ";
    return text;
  };
  // Exactly the MP for the strong art: its two cards, card 5, then decide.
  player.mp = 5;
  EXPECT_EQ(clicks(), "162,265 373,265 585,265 320,100 ");
  player.mp = 4;
  EXPECT_EQ(clicks(), "479,265 55,265 585,265 320,100 ") << "the cheaper art";
  battle.side[0].hand[5].inHand = 0;
  EXPECT_EQ(clicks(), "320,100 ") << "nothing to spell: decide only";
  // Defending against attack art 1: the defence art's fourth-attribute card.
  shell.InputMode = mode::PlayerIntercepts;
  std::strcpy(battle.side[1].playedPattern, db.attackArts[1].pattern);
  battle.side[0].hand[3] = {4, 1};
  EXPECT_EQ(clicks(), "267,265 585,265 320,100 ");
  shell.InputMode = mode::ClickWait;
  EXPECT_EQ(clicks(), "") << "outside a battle's choice there is nothing to click";
}

// Whole battles played through the window's clicks: a lost one (an
// opponent of 900000 HP), read on by the script, then the retry it offers,
// played until won; the script's next line runs after it.
TEST_F(AutoBattleTest, ALostBattleIsReadOnAndRetriedByTheFirstChoiceUntilWon) {
  WriteData("config.scn", ".int foe tries\n");
  WriteStory(
      ".let foe = 900000\n:fight\n.let tries = tries + 1\n"
      ".battle fg\\foe [foe] [foe] 40 40 1 foe 1 5 1",
      "",
      ".cas result\n.== 0\n.jmp :won\n.\n.msg 1\nLost\n.clk\n"
      ".slt add \"again\" :retry\n.slt add \"give up\" :won\n.slt exec\n"
      ":retry\n.let foe = 1\n.jmp :fight\n"
      ":won\n.msg 1\nAfter the duel\n.clk\n");
  Run("wait click 320 240\nwait autobattle\nwait screenshot after\nwait click 320 240\n",
      &AutomatedClicks);
  EXPECT_TRUE(host->InputDone());
  // The script's next line fired after the battle; played on until won; the
  // second battle was the retry.
  EXPECT_FALSE(Shot("after").empty());
  EXPECT_EQ(std::pair(player.result, battle.opponentMaxHp), std::pair(0, 1));
}

}  // namespace
}  // namespace battle_test
