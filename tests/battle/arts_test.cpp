// Arts resolution: every effect kind of both tables, which side its barrier
// lands on, the MP test, which art a pattern performs, and the order in
// which an exchange's amounts become HP and MP.
#include <gtest/gtest.h>

#include <cstring>

#include "battle/arts_texts.h"
#include "data/player.h"
#include "support/battle_fixture.h"

namespace battle_test {
namespace {

using ArtsTest = BattlePositionTest;
constexpr Role A = Role::Attack, D = Role::Defence;
// The tables a row is for: attack, defence or both alike.
constexpr int kA = 1, kD = 2, kAD = 3;

struct KindRow {
  int roles;
  int32_t kind, value;
  const char *setup, *expect;
};

// Side s performs an art of the kind and value over the baseline position:
// its own barriers 1000..6000, the other side's 100..600, the fields
// 10000..60000, the other side's damage 1100 physical and 2200 magic. The
// target of an attack art's barrier is s for a value of 0 or more.
TEST_F(ArtsTest, EveryKindOfBothTablesDoesExactlyItsRow) {
  const std::vector<KindRow> rows = {
      {kA, 1, 250, "", "s.phys=250"},
      {kA, 4, 30, "", "sB0 s.pAU=30"},
      {kA, 4, 0, "", "sB0"},
      {kA, 4, -30, "", "oB0 o.pAU=-30"},
      {kA, 5, -9999, "", "F0 f.pA=-9999"},
      {kA, 6, 40, "", "sB0 s.pG=40"},
      {kA, 6, -40, "", "oB0 o.pG=-40"},
      {kA, 7, 15, "", "F0 f.pG=15"},
      {kA, 8, 180, "", "s.magic=180"},
      {kA, 11, 20, "", "sB0 s.mAU=20"},
      {kA, 11, -20, "", "oB0 o.mAU=-20"},
      {kA, 12, 25, "", "F0 f.mA=25"},
      {kA, 13, 20, "", "sB0 s.mG=20"},
      {kA, 13, -20, "", "oB0 o.mG=-20"},
      {kA, 14, 35, "", "F0 f.mG=35"},
      {kAD, 15, 10, "s.maxHp=55", "s.hpRec=5"},
      {kA, 15, -10, "s.maxHp=55", "s.hpRec=-5"},
      {kA, 16, -60, "", "sB0 s.hRU=-60"},
      {kA, 17, -45, "", "F0 f.hR=-45"},
      {kA, 17, 0, "", "F0"},
      {kA, 18, 30, "s.maxMp=31", "s.mpRec=9"},
      {kA, 19, -70, "", "sB0 s.mRU=-70"},
      {kA, 20, 45, "", "F0 f.mR=45"},
      {kAD, 22, 0, "s.poisoned=1 o.poisoned=1", "s.poisoned=0"},
      {kAD, 23, 0, "", "s.poisonGuard=1"},
      {kAD, 28, 0, "s.curse=2 o.curse=2", "s.curse=0"},
      {kAD, 29, 0, "", "s.curseGuard=1"},
      {kD, 2, -100, "", "o.phys=0"},
      {kD, 2, -50, "", "o.phys=550"},
      {kD, 2, -33, "", "o.phys=737"},
      {kD, 2, 0, "", ""},
      {kD, 3, 100, "", "s.phys=1100"},
      {kD, 3, 50, "", "s.phys=550"},
      {kD, 9, -100, "", "o.magic=0"},
      {kD, 9, 10, "", "o.magic=2420"},
      {kD, 10, 30, "", "s.magic=660"},
      {kD, 18, 10, "s.maxMp=999", "s.mpRec=99"},
  };
  std::vector<std::pair<int, int32_t>> inert;
  for (int32_t k : {2, 3, 9, 10, 21, 24, 25, 26, 27, 0, 30, -1}) inert.push_back({kA, k});
  for (int32_t k : {1, 4, 5, 6, 7, 8, 11, 12, 13, 14, 16, 17, 19, 20, 21, 24, 30})
    inert.push_back({kD, k});
  std::vector<KindRow> all = rows;
  for (auto [role, kind] : inert) all.push_back({role, kind, 50, "", ""});
  for (const KindRow& row : all) {
    for (int run = 0; run < 4; ++run) {
      const int s = run % 2;
      const Role role = run < 2 ? Role::Attack : Role::Defence;
      if (!(row.roles & (run < 2 ? kA : kD))) continue;
      SCOPED_TRACE(std::string(run < 2 ? "attack" : "defence") + " kind " +
                   std::to_string(row.kind) + " value " + std::to_string(row.value) + " side " +
                   std::to_string(s));
      MakeHost();
      Baseline(s, 1);
      SetArt(role, 3, {1}, row.kind, row.value, 7);
      Play(s, {1});
      SetFigures(s, row.setup);
      const std::vector<Figure> figures = Figures(s);
      const std::vector<int64_t> expected =
          ExpectedAfter(figures, std::string("s.charge=7 ") + row.expect);
      ASSERT_TRUE(performArt(s, role));
      ExpectFigures(figures, expected);
      // The played row flashes for 300 ms, then the message for 5 s.
      EXPECT_EQ(host->Millis(), 5300u);
      EXPECT_EQ(WindowText(1, "\n"), Spell({1}) + "\n <Art3>\n Does " + std::to_string(row.kind));
    }
  }
}

TEST_F(ArtsTest, TheMpTestChargesTheCostEitherWayAndThePlayerLearns) {
  player.hp = player.maxhp = battle.opponentHp = battle.opponentMaxHp = 500;
  player.maxmp = 100;
  // Exactly enough MP: the art works and leaves 0.
  player.mp = 40;
  SetArt(A, 1, {1, 3}, 1, 120, 40);
  Play(0, {1, 3});
  ASSERT_TRUE(performArt(0, A));
  EXPECT_EQ(battle.side[0].physDamage, 120);
  ASSERT_TRUE(applyExchange());
  EXPECT_EQ(player.mp, 0);
  EXPECT_EQ(battle.opponentHp, 380);
  // One short: no effect, the message, still charged; the player has
  // learned the art and knows its pattern all the same.
  battle.side[0].physDamage = 0;
  db.attackArts[1].learned = 0;
  const int code = patternCode(Spell({1, 3}).c_str());
  player.knownAttackPatterns[code] = 0;
  player.mp = 39;
  ASSERT_TRUE(performArt(0, A));
  EXPECT_EQ(battle.side[0].physDamage, 0);
  EXPECT_EQ(battle.side[0].mpCharge, 40);
  EXPECT_EQ(WindowText(1), texts::kArtNoMp);
  EXPECT_EQ(db.attackArts[1].learned, 1);
  EXPECT_EQ(player.knownAttackPatterns[code], 1);
  battle.side[0].mpRecovery = 7;
  ASSERT_TRUE(applyExchange());
  EXPECT_EQ(player.mp, 7) << "charged to 0 first, then recovered";
  // The opponent neither learns nor makes patterns known.
  db.attackArts[1].learned = 0;
  player.knownAttackPatterns[code] = 0;
  battle.opponentMp = 99;
  Play(1, {1, 3});
  ASSERT_TRUE(performArt(1, A));
  EXPECT_EQ(db.attackArts[1].learned, 0);
  EXPECT_EQ(player.knownAttackPatterns[code], 0);
}

TEST_F(ArtsTest, TheLowestArtWhosePatternIsExactlyThePlayPerforms) {
  battle.opponentMp = 100;
  const std::string spelled = Spell({2, 1, 4});
  const int code = patternCode(spelled.c_str());
  // No art: the message, yet the pattern is known, in the role's table only.
  Play(0, {2, 1, 4});
  ASSERT_TRUE(performArt(0, D));
  EXPECT_EQ(WindowText(1), texts::kArtFailed);
  EXPECT_EQ(player.knownDefencePatterns[code], 1);
  EXPECT_EQ(player.knownAttackPatterns[code], 0);
  EXPECT_EQ(At(515, 165), BackColour(515, 165)) << "the box is drawn over again";

  SetArt(A, 9, {2, 1, 4}, 1, 90);
  SetArt(A, 4, {2, 1, 4}, 8, 40);
  Play(1, {2, 1, 4});
  ASSERT_TRUE(performArt(1, A));
  EXPECT_EQ(battle.side[1].magicDamage, 40);
  EXPECT_EQ(battle.side[1].physDamage, 0);
  // A prefix or a longer pattern is not the art.
  for (const std::vector<int>& other : {std::vector<int>{2, 1}, std::vector<int>{2, 1, 4, 4}}) {
    battle.side[1].magicDamage = 0;
    Play(1, other);
    ASSERT_TRUE(performArt(1, A));
    EXPECT_EQ(battle.side[1].magicDamage, 0);
  }
  // An empty play performs only an art whose pattern is empty.
  Play(1, {});
  ASSERT_TRUE(performArt(1, A));
  EXPECT_EQ(WindowText(1), texts::kArtFailed);
  SetArt(A, 6, {}, 1, 11);
  ASSERT_TRUE(performArt(1, A));
  EXPECT_EQ(battle.side[1].physDamage, 11);
}

TEST_F(ArtsTest, TheExchangeAppliesChargesRecoveryDamageDrainInOrder) {
  Baseline(0, 1);
  // The player: 10 MP less 30, then 500 back, capped at 200; 100 HP less
  // 150 is 0, and a side at 0 recovers nothing, drain or not. The opponent:
  // 60 MP less 20, -50 back holds at 0; 300 HP less 20, then 10 + 150 x 2
  // recovered.
  SetFigures(0,
             "Z s.mp=10 s.charge=30 s.mpRec=500 s.hp=100 s.hpRec=50 s.drain=1 s.phys=20 "
             "o.mp=60 o.charge=20 o.mpRec=-50 o.hp=300 o.phys=90 o.magic=60 o.hpRec=10 "
             "o.drain=2");
  const std::vector<Figure> figures = Figures(0);
  const std::vector<int64_t> want = ExpectedAfter(
      figures, "s.mp=200 o.mp=0 s.hp=0 o.hp=590 s.drain=0 o.drain=0 s.hpRec=70 o.hpRec=310");
  ASSERT_TRUE(applyExchange());
  ExpectFigures(figures, want);
  // Recovery comes after the damage: 480 - 150 + 100, where recovering
  // first would have been capped at 500.
  SetFigures(0, "Z s.hp=480 s.maxHp=500 o.phys=150 s.hpRec=100");
  ASSERT_TRUE(applyExchange());
  EXPECT_EQ(player.hp, 430);
}

}  // namespace
}  // namespace battle_test
