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
