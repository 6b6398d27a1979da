// The battle simulator on the demo's own data: outcomes that add up, runs
// that repeat with their seed, and every strategy reaching an end.
#include "qfsim.h"

#include <gtest/gtest.h>

#include <string>

namespace {

qfsim::Options DemoOptions(qfsim::Strategy strategy, int32_t battles) {
  qfsim::Options o;
  o.dataDir = QF_DEMO_DATA_DIR;
  o.opponentDeck = "kaito";
  o.playerDeck = std::string(QF_DEMO_DATA_DIR) + "/apprentice.dec";
  o.strategy = strategy;
  o.battles = battles;
  o.seed = 11;
  return o;
}
bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Each strategy with eight attack arts known (70 spells six cards and costs
// more MP than there is) and two defence arts given. Every battle has a first
// turn and none goes past turn 30; a card is played at most once a battle for
// each copy of it in the apprentice's deck of 20.
TEST(BattleSimulator, EveryStrategyFinishesRepeatsAndCountsWhatItPlayed) {
  for (qfsim::Strategy s :
       {qfsim::Strategy::Random, qfsim::Strategy::Greedy, qfsim::Strategy::Rules}) {
    SCOPED_TRACE(qfsim::StrategyName(s));
    qfsim::Options o = DemoOptions(s, 10);
    o.learned = {1, 2, 3, 4, 5, 6, 7, 70};
    o.defenceFromData = false;
    o.learnedDefence = {1, 2};
    qfsim::Report a, b;
    std::string error;
    ASSERT_TRUE(qfsim::Run(o, a, error) && qfsim::Run(o, b, error)) << error;
    EXPECT_EQ(std::tuple(a.wins, a.turns, a.damage[0], a.attackArts),
              std::tuple(b.wins, b.turns, b.damage[0], b.attackArts));
    EXPECT_EQ(std::pair(a.wins + a.draws + a.losses, a.endings[qfsim::kByHp] +
                                                         a.endings[qfsim::kByCards] +
                                                         a.endings[qfsim::kByTurnLimit]),
              std::pair(10, 10));
    EXPECT_TRUE(a.turns >= 10 && a.turns <= 10 * 30 && a.damage[0] + a.damage[1] > 0) << a.turns;
    int32_t copies = 0;
    int64_t inArt = 0, used = 0, otherDefence = 0;
    for (size_t c = 1; c <= kCardCount; ++c) {
      copies += a.deckCopies[c];
      EXPECT_TRUE(a.cardsInArt[c] <= a.cardsPlayed[c] &&
                  a.cardsPlayed[c] <= int64_t{a.deckCopies[c]} * 10)
          << c;
      inArt += a.cardsInArt[c];
    }
    for (size_t i = 1; i <= kAttackArtsCount; ++i) used += a.attackArts[0][i];
    for (size_t i = 3; i <= kDefenceArtsCount; ++i) otherDefence += a.defenceArts[0][i];
    EXPECT_EQ(std::tuple(copies, a.learnedAttack[70], a.learnedAttack[8], a.attackArts[0][70]),
              std::tuple(20, true, false, 0));
    if (s == qfsim::Strategy::Random) continue;
    EXPECT_TRUE(s != qfsim::Strategy::Greedy || (used > 0 && inArt > 0)) << "no attack art";
    // The player keeps to the defence arts it is given.
    EXPECT_GT(a.defenceArts[0][1] + a.defenceArts[0][2], 0);
    EXPECT_EQ(otherDefence, 0);
    EXPECT_TRUE(Has(qfsim::Unused(a), "attack 70") && !Has(qfsim::Unused(a), "attack 8 "));
  }
}

TEST(BattleSimulator, ReportsSayWhatRanAndMissingFilesAreNamed) {
  qfsim::Options o = DemoOptions(qfsim::Strategy::Greedy, 8);
  o.learned = {70};
  qfsim::Report r;
  std::string error;
  ASSERT_TRUE(qfsim::Run(o, r, error)) << error;
  const std::string csv = qfsim::Csv(o, r), table = qfsim::Table(o, r);
  EXPECT_EQ(csv.rfind("strategy,deck,style,seed,battles,wins,draws,losses,", 0), 0u) << csv;
  EXPECT_TRUE(Has(csv, "greedy,kaito,1,11,8,")) << csv;
  EXPECT_TRUE(Has(table, "8 battles, player greedy") && Has(table, "never used by the player:"))
      << table;
  o.playerDeck = "/nonexistent/deck.dec";
  EXPECT_FALSE(qfsim::Run(o, r, error));
  EXPECT_TRUE(Has(error, "/nonexistent/deck.dec")) << error;
  o = DemoOptions(qfsim::Strategy::Greedy, 1);
  o.dataDir = "/nonexistent";
  EXPECT_FALSE(qfsim::Run(o, r, error));
  EXPECT_TRUE(Has(error, "no card database")) << error;
}

}  // namespace
