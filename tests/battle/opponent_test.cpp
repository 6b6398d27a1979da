// The opponent's choices: the highest-weight walk, its styles and situation
// rules for attack and interception, and the cards it then plays, with the
// stall rule that makes it throw away a hand it cannot use.
#include <gtest/gtest.h>

#include <cstring>

#include "battle/opponent.h"
#include "core/waits.h"
#include "data/player.h"
#include "support/battle_fixture.h"

namespace battle_test {
namespace {

constexpr Role A = Role::Attack, D = Role::Defence;
constexpr int32_t kNever = 1 << 30;

// No art is usable until a test makes it so; the opponent holds cards of
// attributes 1, 2, 3, 4, 1, 2 (card n has attribute n % 5), 300 of 300 HP and
// 100 of 100 MP.
class OpponentTest : public BattlePositionTest {
 protected:
  void SetUp() override {
    BattlePositionTest::SetUp();
    for (ArtsRecord& art : db.attackArts) art.mpCost = kNever;
    for (ArtsRecord& art : db.defenceArts) art.mpCost = kNever;
    Deal({1, 2, 3, 4, 6, 7});
    Vitals(300, 300, 100, 100);
    battle.side[0].deckLeft = 10;
    battle.opponentStyle = 2;
  }
  static void Deal(const std::vector<uint32_t>& cards) {
    battle.handSize = static_cast<int32_t>(cards.size());
    battle_test::Deal(1, cards);
  }
  static void Vitals(int32_t hp, int32_t maxHp, int32_t mp, int32_t maxMp) {
    SetFigures(1, "s.hp=" + std::to_string(hp) + " s.maxHp=" + std::to_string(maxHp) +
                      " s.mp=" + std::to_string(mp) + " s.maxMp=" + std::to_string(maxMp));
  }
  static ArtsRecord& Usable(Role role, int n, int32_t kind, int32_t weight,
                            const std::vector<int>& pattern = {}) {
    return SetArt(role, n, pattern, kind, 0, 0, weight);
  }
};

// Each step changes one thing and names the art now chosen.
TEST_F(OpponentTest, TheHeaviestUsableArtWinsTiesGoLaterAndSituationsComeFirst) {
  ArtsRecord* a = db.attackArts;
  const std::vector<std::pair<std::function<void()>, int>> steps = {
      {[] { Usable(A, 2, 1, 4), Usable(A, 3, 1, 5), Usable(A, 7, 1, 5); }, 7},
      {[a] { a[7].needAttr2 = 3; }, 3},  // the hand has two of attribute 2
      // Exactly the cards of each attribute are enough.
      {[a] { a[7].needAttr2 = a[7].needAttr1 = 2, a[7].needAttr3 = a[7].needAttr4 = 1; }, 7},
      // HP and MP needs: reaching them exactly is enough.
      {[a] { a[7].needHp = 301, a[3].mpCost = 100, a[3].needHp = 300; }, 3},
      {[a] { a[3].mpCost = 101; }, 2},
      // A negative weight is never taken, not even alone; weight 0 is.
      {[a] { a[2].weight = -1; }, 0},
      {[] { Usable(A, 1, 8, 0); }, 1},
      // Poisoned: the lowest usable cure, not the heaviest; none usable: by style.
      {[] { Usable(A, 1, 13, 20), Usable(A, 4, 22, 1), Usable(A, 6, 22, 2), Usable(A, 8, 8, 0); },
       1},
      {[] { battle.side[1].poisoned = 1; }, 4},
      {[a] { a[4].mpCost = 101, a[6].needAttr3 = 3; }, 1},
      // The player's deck empty: the heaviest damage art; none: by style.
      {[] { battle.side[1].poisoned = 0, battle.side[0].deckLeft = 0; }, 8},
      {[a] { a[8].effectKind = 2; }, 1},
  };
  for (size_t i = 0; i < steps.size(); ++i) {
    steps[i].first();
    EXPECT_EQ(chooseAttack(), steps[i].second) << "step " << i;
  }
  // The walk marks what the hand can spell.
  a[7].needHp = 0;
  chooseAttack();
  EXPECT_EQ(a[7].candidate, 1);
  a[7].needAttr2 = 3;
  chooseAttack();
  EXPECT_EQ(a[7].candidate, 0);
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
    Vitals(r.hp, r.maxHp, r.mp, r.maxMp);
    EXPECT_EQ(chooseAttack(), r.expected);
  }
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
    const std::pair<int32_t, int32_t> defences[] = {{2, 3},  {3, 3}, {r.d3Kind, 2}, {r.d4Kind, 9},
                                                    {15, 1}, {0, 0}, {22, -1}};
    for (int n = 1; n <= 7; ++n)
      if (n != 6) Usable(D, n, defences[n - 1].first, defences[n - 1].second);
    Play(0, r.played);
    if (r.card35) battle.side[0].played[3] = {35, 2};
    Vitals(r.hp, 300, r.mp, 100);
    battle.side[0].deckLeft = r.deckLeft;
    battle.side[1].poisoned = r.poisoned;
    battle.opponentStyle = r.style;
    EXPECT_EQ(chooseDefence(), r.expected);
  }
}

// The cards it plays from a hand of attributes 1, 0, 2, 1, 2: the slots in
// the order played, what the pattern spells, when it last stalled, the mode
// it hands over in and the view.
class OpponentPlayTest : public OpponentTest {
 protected:
  void SetUp() override {
    OpponentTest::SetUp();
    Deal({6, 5, 2, 1, 7});
    battle.opponentMp = 40;
  }
  static std::string Plays(int32_t inMode, int32_t turn) {
    for (HandSlot& h : battle.side[1].hand) h.inHand = 1;
    for (PlayedCard& p : battle.side[1].played) p = PlayedCard{};
    battle.turn = turn;
    shell.InputMode = inMode;
    EXPECT_TRUE(playOpponentCards());
    std::string trace = "slots";
    for (int n = 1; n <= kHandSlots && battle.side[1].played[n].fromSlot != 0; ++n)
      trace += " " + std::to_string(battle.side[1].played[n].fromSlot);
    return trace + " idle " + std::to_string(battle.idleSince) + " mode " +
           std::to_string(shell.InputMode) + " view " + std::to_string(gfx.ViewOffset);
  }
  // What Plays reports when the opponent hands over in mode next, the view down.
  static std::string HandsOver(const std::string& trace, int32_t next) {
    return trace + " mode " + std::to_string(next) + " view " + std::to_string(kMaxViewOffset);
  }
};

TEST_F(OpponentPlayTest, TheArtIsSpelledFromTheLowestSlotsAndSymbolFreeCardsGoAlong) {
  ArtsRecord& art = Usable(A, 3, 1, 5, {2, 1, 1});
  battle.idleSince = 2;
  std::strcpy(battle.side[1].playedPattern, "old");
  EXPECT_EQ(Plays(mode::OpponentAttacks, 4),
            HandsOver("slots 3 1 4 2 idle 0", mode::PlayerIntercepts));
  EXPECT_EQ(std::string(battle.side[1].playedPattern), Spell({2, 1, 1}));
  // A symbol the hand cannot supply plays nothing; the rest still do.
  std::memcpy(art.pattern, Spell({3, 2, 2, 2}).c_str(), 9);
  EXPECT_EQ(Plays(mode::OpponentAttacksSecond, 4),
            HandsOver("slots 3 5 2 idle 0", mode::PlayerInterceptsSecond));
}

TEST_F(OpponentPlayTest, AStalledOpponentThrowsItsHandAwayFromTheSecondTurnOn) {
  battle.idleSince = 0;
  battle.side[1].hand[3].card = 0;  // an empty slot is never played
  // Turn 3: its first failure; turn 4: only the symbol-free card again;
  // turn 5 throws the hand.
  EXPECT_EQ(Plays(mode::OpponentAttacks, 3), HandsOver("slots 2 idle 3", mode::PlayerIntercepts));
  EXPECT_EQ(Plays(mode::OpponentAttacks, 4), HandsOver("slots 2 idle 3", mode::PlayerIntercepts));
  EXPECT_EQ(Plays(mode::OpponentAttacksSecond, 5),
            HandsOver("slots 1 2 4 5 idle 3", mode::PlayerInterceptsSecond));
  // A chosen art ends the stall; the count starts again from the next failure.
  Usable(A, 1, 1, 1);
  EXPECT_EQ(Plays(mode::OpponentAttacks, 6), HandsOver("slots 2 idle 0", mode::PlayerIntercepts));
  db.attackArts[1].mpCost = kNever;
  EXPECT_EQ(Plays(mode::OpponentAttacks, 7), HandsOver("slots 2 idle 7", mode::PlayerIntercepts));
  EXPECT_EQ(Plays(mode::OpponentAttacks, 8), HandsOver("slots 2 idle 7", mode::PlayerIntercepts));
  // Turn 1 starts afresh whatever was left over.
  battle.idleSince = 3;
  EXPECT_EQ(Plays(mode::OpponentAttacks, 1), HandsOver("slots 2 idle 1", mode::PlayerIntercepts));
}

}  // namespace
}  // namespace battle_test
