// The machine's player: the clicks it makes for the greedy choice, and a
// whole scripted battle played by "autobattle" through the window's clicks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "battle/autoplayer.h"
#include "battle/battle.h"
#include "battle/battle_fixture.h"
#include "battle/rules.h"
#include "core/waits.h"
#include "data/database.h"
#include "data/player.h"
#include "shell/app.h"

namespace {

using battle_test::BattleRunTest;

class AutoBattleTest : public BattleRunTest {
 protected:
  void SetUp() override {
    BattleRunTest::SetUp();
    // Both sides know one strong attack art of two cards of attribute 1
    // (cards 1, 6, 11, 16 ... of the fixture) and one that spells three; the
    // player's defence art halves physical damage.
    Database arts{};
    Art(arts.attackArts[1], {1, 1}, 1, 150, 5);
    Art(arts.attackArts[2], {2, 3}, 8, 60, 0);
    Art(arts.defenceArts[1], {4}, 2, -50, 0);
    WriteData("AtArts.dat",
              std::string(reinterpret_cast<const char*>(arts.attackArts), sizeof arts.attackArts));
    WriteData("DfArts.dat", std::string(reinterpret_cast<const char*>(arts.defenceArts),
                                        sizeof arts.defenceArts));
  }

  static void Art(ArtsRecord& art, const std::vector<int>& attributes, int32_t kind, int32_t value,
                  int32_t mpCost) {
    std::string pattern;
    for (int a : attributes) pattern += attributeSymbol(a);
    std::memcpy(art.pattern, pattern.c_str(), pattern.size() + 1);
    std::snprintf(art.name, sizeof art.name, "Art");
    art.learned = 1;
    art.effectKind = kind;
    art.effectValue = value;
    art.mpCost = mpCost;
  }

  int Clicks() const {
    return static_cast<int>(std::count_if(host->log.begin(), host->log.end(), [](const auto& l) {
      return l.find("left button down") != std::string::npos;
    }));
  }
};

TEST_F(AutoBattleTest, TheGreedyChoiceClicksItsPatternsCardsThenDecides) {
  WriteStory(".battle fg\\foe 300 300 40 40 1 foe 0 5 1");
  Run("wait click 320 240\n");
  MakeHost();
  shell.InputMode = 12;
  battle.handSize = 5;
  gfx.ViewOffset = 142;
  player.mp = 40;
  for (int k = 1; k <= 5; ++k) battle.side[0].hand[k] = {0, 1};
  // Cards 3 (attribute 3), 1 and 6 (attribute 1), 2 (attribute 2).
  battle.side[0].hand[1] = {3, 1};
  battle.side[0].hand[2] = {1, 1};
  battle.side[0].hand[4] = {6, 1};
  battle.side[0].hand[5] = {2, 1};
  std::vector<plat::Point> clicks = greedyClicks();
  ASSERT_EQ(clicks.size(), 3u) << "two cards of attack art 1 (150 beats 60), then decide";
  const SlotPosition second = handPosition(0, 2), fourth = handPosition(0, 4);
  EXPECT_EQ(clicks[0].x, second.x + kCardWidth / 2);
  EXPECT_EQ(clicks[0].y, second.y - 142 + kCardHeight / 2);
  EXPECT_EQ(clicks[1].x, fourth.x + kCardWidth / 2);
  EXPECT_EQ(clicks[2].x, 320);

  // Without the MP for it the cheaper art is the choice; without either,
  // only the decide square.
  player.mp = 4;
  clicks = greedyClicks();
  ASSERT_EQ(clicks.size(), 3u);
  EXPECT_EQ(clicks[0].x, handPosition(0, 5).x + kCardWidth / 2) << "attribute 2 first";
  battle.side[0].hand[5].inHand = 0;
  EXPECT_EQ(greedyClicks().size(), 1u);

  // Defending against attack art 1: the defence art, whose card is the
  // fourth-attribute one.
  shell.InputMode = 13;
  std::strcpy(battle.side[1].playedPattern, db.attackArts[1].pattern);
  battle.side[0].hand[3] = {4, 1};
  clicks = greedyClicks();
  ASSERT_EQ(clicks.size(), 2u);
  EXPECT_EQ(clicks[0].x, handPosition(0, 3).x + kCardWidth / 2);

  shell.InputMode = mode::ClickWait;
  EXPECT_TRUE(greedyClicks().empty()) << "outside a battle's choice there is nothing to click";
}

TEST_F(AutoBattleTest, AutobattlePlaysTheWholeBattleAndTheScriptGoesOnAfterIt) {
  WriteStory(".battle fg\\foe 300 300 40 40 1 foe 1 5 1", "", ".msg 1\nAfter the duel\n.clk\n");
  MakeHost("wait click 320 240\nwait autobattle\nwait screenshot after\nwait click 320 240\n");
  host->SetAutomation(&AutomatedClicks);
  host->options().screenshotDir = (dataDir / "shots").string();
  std::filesystem::create_directories(dataDir / "shots");
  ASSERT_EQ(RunGame(), 0);
  EXPECT_TRUE(host->boxes.empty());
  EXPECT_GE(player.result, 0);
  EXPECT_LE(player.result, 2);
  EXPECT_GT(battle.turn, 1) << "the battle went on over several turns";
  EXPECT_GT(Clicks(), 2 * battle.turn) << "cards and the decide square were clicked";
  EXPECT_FALSE(Shot("after").empty()) << "the script's next line fired after the battle";
  EXPECT_TRUE(host->InputDone());
  EXPECT_TRUE(std::any_of(host->log.begin(), host->log.end(), [](const std::string& l) {
    return l.find("auto battle: done") != std::string::npos;
  }));
}

TEST_F(AutoBattleTest, ALostBattleIsReadOnAndRetriedByTheFirstChoiceUntilWon) {
  // An opponent nobody beats the first time; the retry, the first choice,
  // meets one with a single HP.
  WriteData("config.scn", ".int foe tries\n");
  WriteStory(
      ".let foe = 900000\n:fight\n.let tries = tries + 1\n"
      ".battle fg\\foe [foe] [foe] 40 40 1 foe 1 5 1",
      "",
      ".cas result\n.== 0\n.jmp :won\n.\n.msg 1\nLost\n.clk\n"
      ".slt add \"again\" :retry\n.slt add \"give up\" :won\n.slt exec\n"
      ":retry\n.let foe = 1\n.jmp :fight\n"
      ":won\n.msg 1\nAfter the duel\n.clk\n");
  MakeHost("wait click 320 240\nwait autobattle\nwait screenshot after\nwait click 320 240\n");
  host->SetAutomation(&AutomatedClicks);
  ASSERT_EQ(RunGame(), 0);
  EXPECT_TRUE(host->boxes.empty());
  EXPECT_EQ(player.result, 0) << "played on until won";
  EXPECT_EQ(battle.opponentMaxHp, 1) << "the second battle was the retry";
  EXPECT_TRUE(host->InputDone());
}

}  // namespace
