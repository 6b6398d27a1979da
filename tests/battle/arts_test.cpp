// Arts resolution: every effect kind of both tables, which side its barrier
// lands on, the MP test, which art a pattern performs, and the order in
// which an exchange's amounts become HP and MP.
#include <gtest/gtest.h>

#include <cstring>

#include "battle/arts.h"
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
      const Figures figures(s);
      ASSERT_TRUE(performArt(s, role));
      EXPECT_EQ(figures.Changed(), figures.After(std::string("s.charge=7 ") + row.expect));
      // The played row flashes for 300 ms, then the message for 5 s.
      EXPECT_EQ(host->Millis(), 5300u);
      EXPECT_EQ(WindowText(1, "\n"), Spell({1}) + "\n <Art3>\n Does " + std::to_string(row.kind));
    }
  }
}

// What a side performing an art leaves: the damage, the charge, the
// message, whether the art is learned and its pattern known.
std::string Performed(int s, Role role, const std::vector<int>& play) {
  Play(s, play);
  battle.side[s].physDamage = battle.side[s].magicDamage = 0;
  EXPECT_TRUE(performArt(s, role));
  const BattleSide& b = battle.side[s];
  const int code = patternCode(Spell(play).c_str());
  const ArtsRecord& first = role == A ? db.attackArts[1] : db.defenceArts[1];
  return std::to_string(b.physDamage) + "/" + std::to_string(b.magicDamage) + " charge " +
         std::to_string(b.mpCharge) + " learned " + std::to_string(first.learned) + " known " +
         std::to_string(player.knownAttackPatterns[code]) +
         std::to_string(player.knownDefencePatterns[code]) + " " + WindowText(1);
}

TEST_F(ArtsTest, TheMpTestChargesTheCostEitherWayAndThePlayerLearns) {
  player.hp = player.maxhp = battle.opponentHp = battle.opponentMaxHp = 500;
  player.maxmp = 100;
  // Exactly enough MP: the art works and leaves 0.
  player.mp = 40;
  SetArt(A, 1, {1, 3}, 1, 120, 40);
  EXPECT_EQ(Performed(0, A, {1, 3}),
            "120/0 charge 40 learned 1 known 10 " + Spell({1, 3}) + " <Art1> Does 1");
  ASSERT_TRUE(applyExchange());
  EXPECT_EQ(player.mp, 0);
  EXPECT_EQ(battle.opponentHp, 380);
  // One short: no effect, the message, still charged; the player learns the
  // art and knows its pattern all the same; the MP is charged to 0 first,
  // then recovered.
  db.attackArts[1].learned = 0;
  player.knownAttackPatterns[patternCode(Spell({1, 3}).c_str())] = 0;
  player.mp = 39;
  EXPECT_EQ(Performed(0, A, {1, 3}),
            "0/0 charge 40 learned 1 known 10 " + std::string(texts::kArtNoMp));
  battle.side[0].mpRecovery = 7;
  ASSERT_TRUE(applyExchange());
  EXPECT_EQ(player.mp, 7);
  // The opponent neither learns nor makes patterns known.
  db.attackArts[1].learned = 0;
  player.knownAttackPatterns[patternCode(Spell({1, 3}).c_str())] = 0;
  battle.opponentMp = 99;
  EXPECT_EQ(Performed(1, A, {1, 3}),
            "120/0 charge 40 learned 0 known 00 " + Spell({1, 3}) + " <Art1> Does 1");
}

TEST_F(ArtsTest, TheLowestArtWhosePatternIsExactlyThePlayPerforms) {
  battle.opponentMp = 100;
  const std::string failed = texts::kArtFailed;
  // No art: the message, yet the pattern is known, in the role's table only;
  // the box is drawn over again.
  EXPECT_EQ(Performed(0, D, {2, 1, 4}), "0/0 charge 0 learned 0 known 01 " + failed);
  EXPECT_EQ(At(515, 165), BackColour(515, 165));
  SetArt(A, 9, {2, 1, 4}, 1, 90);
  SetArt(A, 4, {2, 1, 4}, 8, 40);
  EXPECT_EQ(Performed(1, A, {2, 1, 4}).substr(0, 4), "0/40");
  // A prefix or a longer pattern is not the art; an empty play performs only
  // an art whose pattern is empty.
  EXPECT_EQ(Performed(1, A, {2, 1}), "0/0 charge 0 learned 0 known 00 " + failed);
  EXPECT_EQ(Performed(1, A, {2, 1, 4, 4}), "0/0 charge 0 learned 0 known 00 " + failed);
  EXPECT_EQ(Performed(1, A, {}), "0/0 charge 0 learned 0 known 00 " + failed);
  SetArt(A, 6, {}, 1, 11);
  EXPECT_EQ(Performed(1, A, {}).substr(0, 5), "11/0 ");
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
  const Figures figures(0);
  ASSERT_TRUE(applyExchange());
  EXPECT_EQ(figures.Changed(),
            figures.After("s.mp=200 o.mp=0 s.hp=0 o.hp=590 s.drain=0 o.drain=0 s.hpRec=70 "
                          "o.hpRec=310"));
  // Recovery comes after the damage: 480 - 150 + 100, where recovering
  // first would have been capped at 500.
  SetFigures(0, "Z s.hp=480 s.maxHp=500 o.phys=150 s.hpRec=100");
  ASSERT_TRUE(applyExchange());
  EXPECT_EQ(player.hp, 430);
}

}  // namespace
}  // namespace battle_test
