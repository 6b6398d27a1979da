// The opponent's choices: the highest-weight walk, its styles and situation
// rules for attack and interception, and the cards it then plays, with the
// stall rule that makes it throw away a hand it cannot use.
#include <gtest/gtest.h>

#include <cstring>

#include "core/waits.h"
#include "data/player.h"
#include "support/battle_fixture.h"

namespace battle_test {
namespace {

constexpr Role A = Role::Attack, D = Role::Defence;
constexpr int32_t kNever = 1 << 30;

// No art is usable until a test makes it so; the opponent holds cards of
// attributes 1, 2, 3, 4, 1, 2 (card n has attribute n % 5).
class OpponentTest : public BattlePositionTest {
 protected:
  void SetUp() override {
    BattlePositionTest::SetUp();
    for (ArtsRecord& art : db.attackArts) art.mpCost = kNever;
    for (ArtsRecord& art : db.defenceArts) art.mpCost = kNever;
    Deal({1, 2, 3, 4, 6, 7});
    battle.opponentHp = battle.opponentMaxHp = 300;
    battle.opponentMp = battle.opponentMaxMp = 100;
    battle.side[0].deckLeft = 10;
    battle.opponentStyle = 2;
  }
  static void Deal(const std::vector<uint32_t>& cards) {
    battle.handSize = static_cast<int32_t>(cards.size());
    battle_test::Deal(1, cards);
  }
  static ArtsRecord& Usable(Role role, int n, int32_t kind, int32_t weight,
                            const std::vector<int>& pattern = {}) {
    return SetArt(role, n, pattern, kind, 0, 0, weight);
  }
};

TEST_F(OpponentTest, TheHeaviestUsableArtWinsAndTiesGoToTheLaterOne) {
  Usable(A, 2, 1, 4);
  Usable(A, 3, 1, 5);
  Usable(A, 7, 1, 5);
  EXPECT_EQ(chooseAttack(), 7);
  db.attackArts[7].needAttr2 = 3;  // the hand has two of attribute 2
  EXPECT_EQ(chooseAttack(), 3);
  EXPECT_EQ(db.attackArts[7].candidate, 0);
  db.attackArts[7].needAttr2 = 2;
  db.attackArts[7].needAttr1 = 2;
  db.attackArts[7].needAttr3 = 1;
  db.attackArts[7].needAttr4 = 1;
  EXPECT_EQ(chooseAttack(), 7) << "exactly the cards of each attribute";
  // HP and MP needs: reaching them exactly is enough.
  db.attackArts[7].needHp = 301;
  db.attackArts[3].mpCost = 100;
  db.attackArts[3].needHp = 300;
  EXPECT_EQ(chooseAttack(), 3);
  db.attackArts[3].mpCost = 101;
  EXPECT_EQ(chooseAttack(), 2);
  // A negative weight is never taken, not even alone; weight 0 is.
  db.attackArts[2].weight = -1;
  EXPECT_EQ(chooseAttack(), 0);
  Usable(A, 1, 8, 0);
  EXPECT_EQ(chooseAttack(), 1);
}

TEST_F(OpponentTest, AttackStylesWeighRecoveryByHpAndMp) {
  struct Row {
    int32_t style, hp, maxHp, mp, maxMp;
    bool art2;  // the damage art usable
    int32_t art3Kind, expected;
  };
  // Art 1 recovers HP (weight 9), 2 deals damage (3), 3 recovers MP (8).
  const Row rows[] = {
      {1, 300, 300, 100, 100, true, 18, 2},  {1, 151, 301, 100, 100, true, 18, 2},
      {1, 150, 301, 100, 100, true, 18, 1},  {1, 300, 300, 21, 100, true, 18, 2},
      {1, 300, 300, 20, 100, true, 18, 3},   {1, 300, 300, 100, 100, false, 18, 0},
      {2, 300, 300, 100, 100, true, 18, 2},  {2, 100, 300, 10, 100, true, 18, 2},
      {2, 300, 300, 100, 100, false, 18, 1}, {3, 300, 300, 100, 100, true, 18, 2},
      {3, 299, 300, 100, 100, true, 18, 1},  {3, 300, 300, 99, 100, true, 18, 3},
      {3, 151, 300, 100, 100, true, 18, 1},  {3, 150, 300, 100, 100, true, 18, 3},
      {3, 150, 300, 100, 100, false, 15, 1}, {0, 100, 300, 10, 100, true, 18, 0},
      {4, 100, 300, 10, 100, true, 18, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << "style " << r.style << " hp " << r.hp << "/" << r.maxHp
                                    << " mp " << r.mp << "/" << r.maxMp);
    Usable(A, 1, 15, 9);
    Usable(A, 2, 1, 3).mpCost = r.art2 ? 0 : kNever;
    Usable(A, 3, r.art3Kind, 8);
    battle.opponentStyle = r.style;
    battle.opponentHp = r.hp;
    battle.opponentMaxHp = r.maxHp;
    battle.opponentMp = r.mp;
    battle.opponentMaxMp = r.maxMp;
    EXPECT_EQ(chooseAttack(), r.expected);
  }
}

TEST_F(OpponentTest, PoisonAndAnEmptyPlayerDeckComeBeforeTheStyle) {
  Usable(A, 1, 13, 20);
  Usable(A, 4, 22, 1);
  Usable(A, 6, 22, 2);
  Usable(A, 8, 8, 0);
  Usable(A, 9, 1, -5);
  EXPECT_EQ(chooseAttack(), 1);
  battle.side[1].poisoned = 1;
  EXPECT_EQ(chooseAttack(), 4) << "the lowest cure, not the heaviest";
  db.attackArts[4].mpCost = 101;
  db.attackArts[6].needAttr3 = 3;
  EXPECT_EQ(chooseAttack(), 1) << "no usable cure: by style";
  battle.side[1].poisoned = 0;
  battle.side[0].deckLeft = 0;
  EXPECT_EQ(chooseAttack(), 8) << "damage when the player's deck is empty";
  db.attackArts[8].effectKind = 2;
  EXPECT_EQ(chooseAttack(), 1) << "no damage art: by style";
}

TEST_F(OpponentTest, InterceptionAnswersThePlayersAttack) {
  struct Row {
    std::vector<int> played;
    int32_t hp, deckLeft, mp, d3Kind, d4Kind;
    bool poisoned, card35;
    int32_t style, expected;
  };
  // The player's attack arts: physical spelled 1-2, magic 3-3, and a later
  // magic art spelled 1-2, which loses to the first. Defence arts: 1 guards
  // (weight 3), 2 counters physical damage (3, wins the tie), 3 counters
  // magic (2), 4 has the most weight (9), 5 recovers HP (1), 7 cures poison.
  const Row rows[] = {
      {{1, 2}, 300, 10, 100, 10, 5, false, false, 2, 2},
      {{3, 3}, 300, 10, 100, 10, 5, false, false, 1, 3},
      {{3, 3}, 300, 10, 100, 9, 5, false, false, 3, 3},
      {{3}, 300, 10, 100, 10, 5, false, false, 2, 4},
      {{}, 300, 10, 100, 10, 5, false, false, 2, 4},
      {{1, 2}, 100, 10, 100, 10, 5, false, false, 2, 5},
      {{1, 2}, 101, 10, 100, 10, 5, false, false, 2, 2},
      {{1, 2}, 300, 0, 100, 10, 5, false, false, 2, 2},
      {{3}, 300, 0, 100, 10, 5, false, false, 2, 0},
      {{3}, 300, 10, 50, 10, 18, false, false, 2, 0},
      {{3}, 300, 10, 49, 10, 18, false, false, 2, 4},
      {{1, 2}, 300, 10, 100, 10, 5, true, false, 2, 7},
      {{1, 2}, 300, 10, 100, 10, 5, true, true, 2, 0},
      {{1, 2}, 300, 10, 100, 10, 5, false, false, 0, 0},
      {{1, 2}, 300, 10, 100, 10, 5, false, false, 4, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << "played " << r.played.size() << " hp " << r.hp << " deck "
                                    << r.deckLeft << " mp " << r.mp << " style " << r.style);
    SetArt(A, 5, {1, 2}, 1, 0);
    SetArt(A, 6, {3, 3}, 8, 0);
    SetArt(A, 9, {1, 2}, 8, 0);
    Usable(D, 1, 2, 3);
    Usable(D, 2, 3, 3);
    Usable(D, 3, r.d3Kind, 2);
    Usable(D, 4, r.d4Kind, 9);
    Usable(D, 5, 15, 1);
    Usable(D, 7, 22, -1);
    Play(0, r.played);
    if (r.card35) battle.side[0].played[3] = {35, 2};
    battle.opponentHp = r.hp;
    battle.side[0].deckLeft = r.deckLeft;
    battle.opponentMp = r.mp;
    battle.side[1].poisoned = r.poisoned;
    battle.opponentStyle = r.style;
    EXPECT_EQ(chooseDefence(), r.expected);
  }
}

// The cards it plays, with the view's scroll after them.
class OpponentPlayTest : public OpponentTest {
 protected:
  void SetUp() override {
    OpponentTest::SetUp();
    Deal({6, 5, 2, 1, 7});  // attributes 1, 0, 2, 1, 2
    battle.opponentMp = 40;
  }
  static std::vector<int32_t> PlayedSlots() {
    std::vector<int32_t> slots;
    for (int n = 1; n <= kHandSlots && battle.side[1].played[n].fromSlot != 0; ++n)
      slots.push_back(battle.side[1].played[n].fromSlot);
    return slots;
  }
  static bool Plays(int32_t inMode, int32_t turn) {
    for (HandSlot& h : battle.side[1].hand) h.inHand = 1;
    for (PlayedCard& p : battle.side[1].played) p = PlayedCard{};
    battle.turn = turn;
    shell.InputMode = inMode;
    return playOpponentCards();
  }
};

TEST_F(OpponentPlayTest, TheArtIsSpelledFromTheLowestSlotsAndSymbolFreeCardsGoAlong) {
  ArtsRecord& art = Usable(A, 3, 1, 5, {2, 1, 1});
  battle.idleSince = 2;
  std::strcpy(battle.side[1].playedPattern, "old");
  ASSERT_TRUE(Plays(14, 4));
  EXPECT_EQ(PlayedSlots(), (std::vector<int32_t>{3, 1, 4, 2}));
  EXPECT_EQ(std::string(battle.side[1].playedPattern), Spell({2, 1, 1}));
  EXPECT_EQ(battle.idleSince, 0);
  EXPECT_EQ(shell.InputMode, 13);
  EXPECT_EQ(gfx.ViewOffset, kMaxViewOffset);
  // A symbol the hand cannot supply plays nothing; the rest still do.
  std::memcpy(art.pattern, Spell({3, 2, 2, 2}).c_str(), 9);
  ASSERT_TRUE(Plays(18, 4));
  EXPECT_EQ(PlayedSlots(), (std::vector<int32_t>{3, 5, 2}));
  EXPECT_EQ(shell.InputMode, 17);
}

TEST_F(OpponentPlayTest, AStalledOpponentThrowsItsHandAwayFromTheSecondTurnOn) {
  battle.idleSince = 0;
  battle.side[1].hand[3].card = 0;  // an empty slot is never played
  // Turn 3: its first failure; turn 4: only the symbol-free card again.
  for (int32_t turn : {3, 4}) {
    ASSERT_TRUE(Plays(14, turn));
    EXPECT_EQ(PlayedSlots(), std::vector<int32_t>{2}) << turn;
    EXPECT_EQ(battle.idleSince, 3);
  }
  ASSERT_TRUE(Plays(18, 5));
  EXPECT_EQ(PlayedSlots(), (std::vector<int32_t>{1, 2, 4, 5}));
  EXPECT_EQ(battle.idleSince, 3);
  // A chosen art ends the stall; the count starts again from the next failure.
  Usable(A, 1, 1, 1);
  ASSERT_TRUE(Plays(14, 6));
  EXPECT_EQ(battle.idleSince, 0);
  EXPECT_EQ(PlayedSlots(), std::vector<int32_t>{2});
  db.attackArts[1].mpCost = kNever;
  ASSERT_TRUE(Plays(14, 7));
  ASSERT_TRUE(Plays(14, 8));
  EXPECT_EQ(PlayedSlots(), std::vector<int32_t>{2}) << "counted from turn 7 again";
  // Turn 1 starts afresh whatever was left over.
  battle.idleSince = 3;
  ASSERT_TRUE(Plays(14, 1));
  EXPECT_EQ(PlayedSlots(), std::vector<int32_t>{2});
  EXPECT_EQ(battle.idleSince, 1);
}

}  // namespace
}  // namespace battle_test
