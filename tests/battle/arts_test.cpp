// Arts resolution: which art a played pattern performs, the MP test, every
// effect kind of both tables, and the order in which an exchange's amounts
// become HP and MP.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "battle/battle.h"
#include "battle/battle_fixture.h"
#include "battle/rules.h"
#include "core/waits.h"
#include "data/player.h"
#include "graphics/textwindow.h"

namespace battle_test {
namespace {

constexpr const char* kStart = "wait click 320 240\n";

class ArtsTest : public BattleRunTest {
 protected:
  void SetUp() override {
    BattleRunTest::SetUp();
    WriteStory(".battle fg\\foe 300 300 40 40 1 foe 0 5 1");
    Run(kStart);
    MakeHost();
    // Every art spells something no hand can, until a test gives it a
    // pattern of its own.
    for (ArtsRecord& art : db.attackArts) Unused(art);
    for (ArtsRecord& art : db.defenceArts) Unused(art);
    for (int s = 0; s < 2; ++s) ClearSide(s);
    battle.physAttackField = battle.physGuardField = battle.magicAttackField = 0;
    battle.magicGuardField = battle.hpRecoveryField = battle.mpRecoveryField = 0;
    player.hp = player.maxhp = 500;
    player.mp = player.maxmp = 100;
    battle.opponentHp = battle.opponentMaxHp = 500;
    battle.opponentMp = battle.opponentMaxMp = 100;
    shell.InputMode = mode::Busy;
  }

  static void Unused(ArtsRecord& art) {
    art = ArtsRecord{};
    std::memcpy(art.pattern, "ZZ", 3);
  }

  static void ClearSide(int s) {
    BattleSide& side = battle.side[s];
    for (PlayedCard& p : side.played) p = PlayedCard{};
    side.playedPattern[0] = '\0';
    side.physDamage = side.magicDamage = side.hpRecovery = side.mpRecovery = 0;
    side.mpCharge = side.drain = 0;
    side.physAttackUp = side.physGuard = side.magicAttackUp = side.magicGuard = 0;
    side.hpRecoveryUp = side.mpRecoveryUp = 0;
    side.poisoned = side.poisonGuard = side.curseGuard = 0;
    side.curseTurns = 0;
  }

  // The pattern the attributes spell, as the played cards of a side would.
  static std::string Spell(const std::vector<int>& attributes) {
    std::string pattern;
    for (int a : attributes) pattern += attributeSymbol(a);
    return pattern;
  }

  // Side s plays cards 1..4 of the given attributes (card n has attribute n).
  static void Play(int s, const std::vector<int>& attributes) {
    BattleSide& side = battle.side[s];
    for (size_t i = 0; i < attributes.size(); ++i) {
      side.played[i + 1] = {static_cast<uint32_t>(attributes[i]), static_cast<int32_t>(i + 1)};
    }
    const std::string pattern = Spell(attributes);
    std::memcpy(side.playedPattern, pattern.c_str(), pattern.size() + 1);
  }

  static ArtsRecord& Art(Role role, int n, const std::vector<int>& attributes, int32_t kind,
                         int32_t value, int32_t mpCost = 0) {
    ArtsRecord& art = role == Role::Attack ? db.attackArts[n] : db.defenceArts[n];
    art = ArtsRecord{};
    const std::string pattern = Spell(attributes);
    std::memcpy(art.pattern, pattern.c_str(), pattern.size() + 1);
    std::snprintf(art.name, sizeof art.name, "Art%d", n);
    std::snprintf(art.effectText, sizeof art.effectText, "Does %d", kind);
    art.effectKind = kind;
    art.effectValue = value;
    art.mpCost = mpCost;
    return art;
  }

  // What the message box says, its lines joined by new lines.
  static std::string Box() {
    std::string text;
    LineRecord line;
    for (int i = 1; msgwin.window[1].GetLine(i, line); ++i) {
      if (i > 1) text += '\n';
      text += line.text;
    }
    // The window keeps all its lines; the unused ones are empty.
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }
};

// One attack art of a kind and value, performed by side s against a table
// where the other side already has a barrier and the battle a field.
struct AttackCase {
  int32_t kind, value;
  int s;
  std::function<void()> check;
  const char* what;
};

TEST_F(ArtsTest, EveryAttackKindSetsItsAmountBarrierOrField) {
  const std::vector<AttackCase> cases = {
      {1, 250, 0, [] { EXPECT_EQ(battle.side[0].physDamage, 250); }, "physical damage"},
      {8, 180, 1, [] { EXPECT_EQ(battle.side[1].magicDamage, 180); }, "magic damage"},
      {4, 30, 0,
       [] {
         EXPECT_EQ(battle.side[0].physAttackUp, 30);
         EXPECT_EQ(battle.side[0].magicGuard, 0) << "the own old barrier goes";
         EXPECT_EQ(battle.side[1].physGuard, 77) << "the other side's stays";
       },
       "barrier on itself"},
      {4, -30, 0,
       [] {
         EXPECT_EQ(battle.side[1].physAttackUp, -30);
         EXPECT_EQ(battle.side[1].physGuard, 0) << "replaces the other side's barrier";
         EXPECT_EQ(battle.side[0].physAttackUp, 0);
         EXPECT_EQ(battle.side[0].magicGuard, 55) << "the own barrier stays";
       },
       "negative barrier lands on the other side"},
      {6, -40, 1,
       [] {
         EXPECT_EQ(battle.side[0].physGuard, -40);
         EXPECT_EQ(battle.side[1].magicGuard, 55);
       },
       "the opponent's negative guard on the player"},
      {11, 20, 1, [] { EXPECT_EQ(battle.side[1].magicAttackUp, 20); }, "magic attack up"},
      {13, -20, 0, [] { EXPECT_EQ(battle.side[1].magicGuard, -20); }, "negative magic guard"},
      {16, -60, 0,
       [] {
         EXPECT_EQ(battle.side[0].hpRecoveryUp, -60) << "always on itself";
         EXPECT_EQ(battle.side[0].magicGuard, 0);
         EXPECT_EQ(battle.side[1].physGuard, 77);
       },
       "HP recovery barrier"},
      {19, -70, 1, [] { EXPECT_EQ(battle.side[1].mpRecoveryUp, -70); }, "MP recovery barrier"},
      {5, -9999, 0,
       [] {
         EXPECT_EQ(battle.physAttackField, -9999);
         EXPECT_EQ(battle.magicGuardField, 0) << "one field at a time";
       },
       "physical attack field"},
      {7, 15, 0, [] { EXPECT_EQ(battle.physGuardField, 15); }, "physical guard field"},
      {12, 25, 1, [] { EXPECT_EQ(battle.magicAttackField, 25); }, "magic attack field"},
      {14, 35, 1,
       [] {
         EXPECT_EQ(battle.magicGuardField, 35);
         EXPECT_EQ(battle.side[0].physGuard + battle.side[1].physGuard, 77)
             << "a field leaves the barriers alone";
       },
       "magic guard field"},
      {17, -45, 0, [] { EXPECT_EQ(battle.hpRecoveryField, -45); }, "HP recovery field"},
      {20, 45, 0, [] { EXPECT_EQ(battle.mpRecoveryField, 45); }, "MP recovery field"},
      {15, 10, 0, [] { EXPECT_EQ(battle.side[0].hpRecovery, 5); }, "55 x 10 % truncates to 5"},
      {15, -10, 1, [] { EXPECT_EQ(battle.side[1].hpRecovery, -5); }, "toward zero"},
      {18, 30, 1, [] { EXPECT_EQ(battle.side[1].mpRecovery, 9); }, "31 x 30 % is 9"},
      {22, 0, 0, [] { EXPECT_EQ(battle.side[0].poisoned, 0); }, "cures poison"},
      {23, 0, 1, [] { EXPECT_EQ(battle.side[1].poisonGuard, 1); }, "poison guard"},
      {28, 0, 0, [] { EXPECT_EQ(battle.side[0].curseTurns, 0); }, "cures curse"},
      {29, 0, 1, [] { EXPECT_EQ(battle.side[1].curseGuard, 1); }, "curse guard"},
  };
  for (const AttackCase& c : cases) {
    SCOPED_TRACE(c.what);
    for (int s = 0; s < 2; ++s) ClearSide(s);
    battle.magicGuardField = 99;
    battle.side[c.s].magicGuard = 55;
    battle.side[c.s].hpRecoveryUp = 44;
    battle.side[1 - c.s].physGuard = 77;
    battle.side[1 - c.s].mpRecoveryUp = 66;
    battle.side[c.s].poisoned = 1;
    battle.side[c.s].curseTurns = 2;
    player.maxhp = battle.opponentMaxHp = 55;
    player.maxmp = battle.opponentMaxMp = 31;
    player.mp = battle.opponentMp = 31;
    Art(Role::Attack, 3, {1, 2}, c.kind, c.value);
    Play(c.s, {1, 2});
    ASSERT_TRUE(performArt(c.s, Role::Attack));
    c.check();
    // A side that got a barrier holds that one alone.
    const bool barrier = c.kind == 4 || c.kind == 6 || c.kind == 11 || c.kind == 13;
    const bool ownBarrier = c.kind == 16 || c.kind == 19;
    if (barrier || ownBarrier) {
      const BattleSide& t = battle.side[ownBarrier || c.value >= 0 ? c.s : 1 - c.s];
      EXPECT_EQ((t.physAttackUp != 0) + (t.physGuard != 0) + (t.magicAttackUp != 0) +
                    (t.magicGuard != 0) + (t.hpRecoveryUp != 0) + (t.mpRecoveryUp != 0),
                1);
    }
  }
}

TEST_F(ArtsTest, AttackKindsWithoutAnAttackEffectChangeNothing) {
  for (int32_t kind : {2, 3, 9, 10, 21, 24, 25, 26, 27, 0, 30, -1, 1000}) {
    SCOPED_TRACE(kind);
    for (int s = 0; s < 2; ++s) ClearSide(s);
    battle.side[1].physDamage = 400;
    Art(Role::Attack, 1, {3}, kind, 50);
    Play(0, {3});
    ASSERT_TRUE(performArt(0, Role::Attack));
    for (const BattleSide& side : battle.side) {
      EXPECT_EQ(side.physDamage + side.magicDamage + side.hpRecovery + side.mpRecovery,
                &side == &battle.side[1] ? 400 : 0);
      EXPECT_FALSE(side.HasBarrier());
    }
    EXPECT_FALSE(battle.AnyField());
  }
}

TEST_F(ArtsTest, DefenceKindsWorkOnTheAttackersAmounts) {
  struct Case {
    int32_t kind, value;
    int32_t myPhys, myMagic, otherPhys, otherMagic;
    const char* what;
  };
  // The attacker (side 1) has dealt 400 physical and 300 magic damage.
  const std::vector<Case> cases = {
      {2, -100, 0, 0, 0, 300, "-100 cancels physical damage"},
      {2, -50, 0, 0, 200, 300, "-50 halves it"},
      {2, -33, 0, 0, 268, 300, "67 % of 400 is 268"},
      {3, 100, 400, 0, 400, 300, "a counter leaves the attacker's damage"},
      {3, 50, 200, 0, 400, 300, "half counter"},
      {9, -100, 0, 0, 400, 0, "cancels magic damage"},
      {9, 10, 0, 0, 400, 330, "raises it"},
      {10, 30, 0, 90, 400, 300, "magic counter"},
      {1, 500, 0, 0, 400, 300, "attack kinds do nothing in defence"},
      {4, 30, 0, 0, 400, 300, "nor barriers"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (int s = 0; s < 2; ++s) ClearSide(s);
    battle.side[1].physDamage = 400;
    battle.side[1].magicDamage = 300;
    Art(Role::Defence, 2, {4, 4}, c.kind, c.value);
    Play(0, {4, 4});
    ASSERT_TRUE(performArt(0, Role::Defence));
    EXPECT_EQ(battle.side[0].physDamage, c.myPhys);
    EXPECT_EQ(battle.side[0].magicDamage, c.myMagic);
    EXPECT_EQ(battle.side[1].physDamage, c.otherPhys);
    EXPECT_EQ(battle.side[1].magicDamage, c.otherMagic);
    EXPECT_FALSE(battle.side[0].HasBarrier());
  }

  // Recovery in percent of the interceptor's own maxima, and the status
  // kinds on the interceptor.
  for (int s = 0; s < 2; ++s) ClearSide(s);
  battle.opponentMaxHp = 55;
  battle.opponentMaxMp = 999;
  battle.side[1].poisoned = 1;
  Art(Role::Defence, 1, {1}, 15, 10);
  Art(Role::Defence, 2, {2}, 18, 10);
  Art(Role::Defence, 3, {3}, 22, 0);
  Art(Role::Defence, 4, {4}, 23, 0);
  for (int a = 1; a <= 4; ++a) {
    Play(1, {a});
    ASSERT_TRUE(performArt(1, Role::Defence));
  }
  EXPECT_EQ(battle.side[1].hpRecovery, 5);
  EXPECT_EQ(battle.side[1].mpRecovery, 99);
  EXPECT_EQ(battle.side[1].poisoned, 0);
  EXPECT_EQ(battle.side[1].poisonGuard, 1);
  EXPECT_EQ(battle.side[0].poisonGuard, 0);

  // Absurd values from a data file: defined results, never a trap of the
  // sanitizer build.
  battle.side[0].physDamage = INT_MAX;
  Art(Role::Defence, 1, {1}, 2, INT_MAX);
  Play(1, {1});
  EXPECT_TRUE(performArt(1, Role::Defence));
}

TEST_F(ArtsTest, TheMpTestChargesTheCostEitherWay) {
  // Exactly enough MP: the art works and leaves 0.
  player.mp = 40;
  Art(Role::Attack, 1, {1, 3}, 1, 120, 40);
  Play(0, {1, 3});
  ASSERT_TRUE(performArt(0, Role::Attack));
  EXPECT_EQ(battle.side[0].physDamage, 120);
  EXPECT_EQ(battle.side[0].mpCharge, 40);
  EXPECT_EQ(Box(), Spell({1, 3}) + "\n <Art1>\n Does 1");
  ASSERT_TRUE(applyExchange());
  EXPECT_EQ(player.mp, 0);
  EXPECT_EQ(battle.opponentHp, 380);

  // One short: no effect, the message, and still charged: MP ends at 0,
  // while the player has learned the art and knows its pattern.
  ClearSide(0);
  db.attackArts[1].learned = 0;
  player.knownAttackPatterns[patternCode(Spell({1, 3}).c_str())] = 0;
  player.mp = 39;
  Play(0, {1, 3});
  ASSERT_TRUE(performArt(0, Role::Attack));
  EXPECT_EQ(battle.side[0].physDamage, 0);
  EXPECT_EQ(battle.side[0].mpCharge, 40);
  EXPECT_EQ(Box(), Sjis("ＭＰが足りない！！"));
  EXPECT_EQ(db.attackArts[1].learned, 1);
  EXPECT_EQ(player.knownAttackPatterns[patternCode(Spell({1, 3}).c_str())], 1);
  battle.side[0].mpRecovery = 7;
  ASSERT_TRUE(applyExchange());
  EXPECT_EQ(player.mp, 7) << "charged to 0 first, then recovered";
  EXPECT_EQ(battle.opponentHp, 380);
}

TEST_F(ArtsTest, FindingTheArtAndLearningThePattern) {
  const std::string spelled = Spell({2, 1, 4});
  const int code = patternCode(spelled.c_str());

  // No art: the message, yet the pattern is known, in the role's table only.
  Play(0, {2, 1, 4});
  ASSERT_TRUE(performArt(0, Role::Defence));
  EXPECT_EQ(Box(), Sjis("技は発動しなかった。"));
  EXPECT_EQ(player.knownDefencePatterns[code], 1);
  EXPECT_EQ(player.knownAttackPatterns[code], 0);
  EXPECT_EQ(battle.side[0].mpCharge, 0);
  EXPECT_EQ(At(515, 165), BackColour(515, 165)) << "the box is drawn over again";

  // The lowest-numbered match performs; the opponent neither learns nor
  // makes patterns known.
  Art(Role::Attack, 9, {2, 1, 4}, 1, 90);
  Art(Role::Attack, 4, {2, 1, 4}, 8, 40);
  Play(1, {2, 1, 4});
  ASSERT_TRUE(performArt(1, Role::Attack));
  EXPECT_EQ(battle.side[1].magicDamage, 40);
  EXPECT_EQ(battle.side[1].physDamage, 0);
  EXPECT_EQ(db.attackArts[4].learned, 0);
  EXPECT_EQ(player.knownAttackPatterns[code], 0);

  // A prefix or a longer pattern is not the art.
  for (const std::vector<int>& other : {std::vector<int>{2, 1}, std::vector<int>{2, 1, 4, 4}}) {
    ClearSide(1);
    Play(1, other);
    ASSERT_TRUE(performArt(1, Role::Attack));
    EXPECT_EQ(battle.side[1].magicDamage, 0);
  }

  // An empty play performs only an art whose pattern is empty.
  ClearSide(1);
  ASSERT_TRUE(performArt(1, Role::Attack));
  EXPECT_EQ(Box(), Sjis("技は発動しなかった。"));
  Art(Role::Attack, 6, {}, 1, 11);
  ASSERT_TRUE(performArt(1, Role::Attack));
  EXPECT_EQ(battle.side[1].physDamage, 11);

  // A pattern field that fills all 13 bytes matches nothing, not even the
  // twelve bytes it begins with, and is not read past.
  ClearSide(0);
  Art(Role::Attack, 2, {1, 1, 1, 1, 1, 1}, 1, 77);
  db.attackArts[2].pattern[12] = 'X';
  Play(0, {1, 1, 1, 1, 1, 1});
  ASSERT_TRUE(performArt(0, Role::Attack));
  EXPECT_EQ(battle.side[0].physDamage, 0);

  // A name that fills its field is shown whole and no further.
  ArtsRecord& named = Art(Role::Attack, 5, {3, 3}, 1, 5);
  std::memset(named.name, 'N', sizeof named.name);
  Play(0, {3, 3});
  ASSERT_TRUE(performArt(0, Role::Attack));
  EXPECT_EQ(Box(), Spell({3, 3}) + "\n <" + std::string(17, 'N') + ">\n Does 1");
}

TEST_F(ArtsTest, TheExchangeAppliesChargesRecoveryDamageDrainInOrder) {
  player.mp = 10;
  battle.side[0].mpCharge = 30;
  battle.side[0].mpRecovery = 500;  // clamped at max MP after the charge
  battle.opponentMp = 60;
  battle.side[1].mpCharge = 20;
  battle.side[1].mpRecovery = -50;  // not below 0

  player.hp = 100;
  battle.side[1].physDamage = 90;
  battle.side[1].magicDamage = 60;  // 150 in all: the player falls to 0
  battle.side[0].hpRecovery = 50;
  battle.side[0].drain = 1;
  battle.side[0].physDamage = 20;  // drains 20 but is down already

  battle.opponentHp = 300;
  battle.side[1].hpRecovery = 10;
  battle.side[1].drain = 2;  // 150 x 2 back, capped at max HP
  ASSERT_TRUE(applyExchange());

  EXPECT_EQ(player.mp, 100);
  EXPECT_EQ(battle.opponentMp, 0);
  EXPECT_EQ(player.hp, 0) << "no recovery at 0 HP, drain or not";
  EXPECT_EQ(battle.opponentHp, 500);
  EXPECT_EQ(battle.side[0].drain, 0);
  EXPECT_EQ(battle.side[1].drain, 0);

  // Recovery comes after the damage: 480 - 150 + 100, where recovering
  // first would have been capped at 500.
  ClearSide(0);
  ClearSide(1);
  player.hp = 480;
  battle.side[1].physDamage = 150;
  battle.side[0].hpRecovery = 100;
  ASSERT_TRUE(applyExchange());
  EXPECT_EQ(player.hp, 430);
}

}  // namespace
}  // namespace battle_test
