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

TEST(BattleSimulator, EveryStrategyFinishesEveryBattleAndRepeatsWithItsSeed) {
  for (qfsim::Strategy s :
       {qfsim::Strategy::Random, qfsim::Strategy::Greedy, qfsim::Strategy::Rules}) {
    const qfsim::Options o = DemoOptions(s, 12);
    qfsim::Report a, b;
    std::string error;
    ASSERT_TRUE(qfsim::Run(o, a, error)) << error;
    ASSERT_TRUE(qfsim::Run(o, b, error)) << error;
    EXPECT_EQ(a.battles, 12);
    EXPECT_EQ(a.wins + a.draws + a.losses, 12) << qfsim::StrategyName(s);
    EXPECT_GE(a.turns, 12) << "every battle has a first turn";
    EXPECT_LE(a.turns, 12 * 30) << "no battle goes past turn 30";
    EXPECT_GT(a.damage[0] + a.damage[1], 0) << qfsim::StrategyName(s);
    EXPECT_EQ(a.wins, b.wins);
    EXPECT_EQ(a.turns, b.turns);
    EXPECT_EQ(a.damage[0], b.damage[0]);
    EXPECT_EQ(a.attackArts, b.attackArts);
  }
}

TEST(BattleSimulator, TheGreedyPlayerUsesItsArtsAndTheReportsSayWhat) {
  const qfsim::Options o = DemoOptions(qfsim::Strategy::Greedy, 8);
  qfsim::Report r;
  std::string error;
  ASSERT_TRUE(qfsim::Run(o, r, error)) << error;
  int64_t used = 0;
  for (int i = 1; i <= kAttackArtsCount; ++i) used += r.attackArts[0][static_cast<size_t>(i)];
  EXPECT_GT(used, 0) << "the greedy player never performed an attack art";
  const std::string csv = qfsim::Csv(o, r);
  EXPECT_EQ(csv.rfind("strategy,deck,style,seed,battles,wins,draws,losses,", 0), 0u) << csv;
  EXPECT_NE(csv.find("greedy,kaito,1,11,8,"), std::string::npos) << csv;
  EXPECT_NE(qfsim::Table(o, r).find("8 battles, player greedy"), std::string::npos);
}

TEST(BattleSimulator, TheCountsOfCardsEndingsAndKnownArtsAddUp) {
  qfsim::Options o = DemoOptions(qfsim::Strategy::Greedy, 10);
  o.learned = {1, 2, 3, 4, 5, 6, 7, 70};  // 70 spells six cards and costs more MP than there is
  qfsim::Report r;
  std::string error;
  ASSERT_TRUE(qfsim::Run(o, r, error)) << error;
  EXPECT_EQ(r.endings[qfsim::kByHp] + r.endings[qfsim::kByCards] + r.endings[qfsim::kByTurnLimit],
            10);
  int32_t copies = 0;
  int64_t inArt = 0;
  for (size_t c = 1; c <= kCardCount; ++c) {
    SCOPED_TRACE("card " + std::to_string(c));
    copies += r.deckCopies[c];
    EXPECT_LE(r.cardsInArt[c], r.cardsPlayed[c]);
    // A card is played once a battle at most, for each copy.
    EXPECT_LE(r.cardsPlayed[c], int64_t{r.deckCopies[c]} * 10);
    inArt += r.cardsInArt[c];
  }
  EXPECT_EQ(copies, 20) << "the apprentice's deck";
  EXPECT_GT(inArt, 0);
  EXPECT_TRUE(r.learnedAttack[70]);
  EXPECT_FALSE(r.learnedAttack[8]);
  EXPECT_EQ(r.attackArts[0][70], 0);
  const std::string unused = qfsim::Unused(r);
  EXPECT_NE(unused.find("attack 70"), std::string::npos) << unused;
  EXPECT_EQ(unused.find("attack 8 "), std::string::npos) << unused;
  EXPECT_NE(qfsim::Table(o, r).find("never used by the player:"), std::string::npos);
}

// The player keeps to the defence arts it is given, battle after battle,
// however many the random player's patterns happen to teach it.
TEST(BattleSimulator, ThePlayersDefenceArtsAreTheGivenOnes) {
  for (qfsim::Strategy s : {qfsim::Strategy::Greedy, qfsim::Strategy::Rules}) {
    SCOPED_TRACE(qfsim::StrategyName(s));
    qfsim::Options o = DemoOptions(s, 10);
    o.defenceFromData = false;
    qfsim::Report none, two;
    std::string error;
    ASSERT_TRUE(qfsim::Run(o, none, error)) << error;
    for (size_t i = 1; i <= kDefenceArtsCount; ++i) {
      EXPECT_EQ(none.defenceArts[0][i], 0) << "defence art " << i;
      EXPECT_FALSE(none.learnedDefence[i]);
    }
    o.learnedDefence = {1, 2};
    ASSERT_TRUE(qfsim::Run(o, two, error)) << error;
    EXPECT_GT(two.defenceArts[0][1] + two.defenceArts[0][2], 0);
    for (size_t i = 3; i <= kDefenceArtsCount; ++i) EXPECT_EQ(two.defenceArts[0][i], 0) << i;
  }
}

TEST(BattleSimulator, MissingDecksAndDataAreReportedNotPlayed) {
  qfsim::Options o = DemoOptions(qfsim::Strategy::Greedy, 1);
  o.playerDeck = "/nonexistent/deck.dec";
  qfsim::Report r;
  std::string error;
  EXPECT_FALSE(qfsim::Run(o, r, error));
  EXPECT_NE(error.find("/nonexistent/deck.dec"), std::string::npos) << error;
  o = DemoOptions(qfsim::Strategy::Greedy, 1);
  o.dataDir = "/nonexistent";
  EXPECT_FALSE(qfsim::Run(o, r, error));
  EXPECT_NE(error.find("no card database"), std::string::npos) << error;
}

}  // namespace
