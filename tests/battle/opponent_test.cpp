// The opponent's choices: the highest-weight walk, its styles and situation
// rules for attack and interception, and the cards it then plays, with the
// stall rule that makes it throw away a hand it cannot use.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "battle/battle.h"
#include "battle/battle_fixture.h"
#include "battle/rules.h"
#include "core/waits.h"
#include "data/player.h"
#include "graphics/image.h"

namespace battle_test {
namespace {

std::string Spell(const std::vector<int>& attributes) {
  std::string pattern;
  for (int a : attributes) pattern += attributeSymbol(a);
  return pattern;
}

// Card n has attribute n % 5, as in the battle fixture's card table.
void NumberCards() {
  for (int n = 1; n <= kCardCount; ++n) db.cards[n].attribute = n % 5;
}

// No art is usable until a test makes it so.
void NoArts() {
  for (ArtsRecord& art : db.attackArts) {
    art = ArtsRecord{};
    art.mpCost = 1 << 30;
  }
  for (ArtsRecord& art : db.defenceArts) {
    art = ArtsRecord{};
    art.mpCost = 1 << 30;
  }
}

ArtsRecord& Art(Role role, int n, int32_t kind, int32_t weight) {
  ArtsRecord& art = role == Role::Attack ? db.attackArts[n] : db.defenceArts[n];
  art = ArtsRecord{};
  art.effectKind = kind;
  art.weight = weight;
  return art;
}

void DealOpponent(const std::vector<uint32_t>& cards) {
  BattleSide& foe = battle.side[1];
  battle.handSize = static_cast<int32_t>(cards.size());
  for (int k = 1; k <= kHandSlots; ++k) {
    foe.hand[k] = {k <= static_cast<int>(cards.size()) ? cards[k - 1] : 0u, 1};
    foe.played[k] = PlayedCard{};
  }
  foe.playedPattern[0] = '\0';
}

class OpponentChoiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetBattle();
    ResetDatabase();
    ResetPlayerState();
    NumberCards();
    NoArts();
    // Two cards of each attribute 1..4 and one without.
    DealOpponent({1, 2, 3, 4, 6, 7});
    battle.opponentHp = battle.opponentMaxHp = 300;
    battle.opponentMp = battle.opponentMaxMp = 100;
    battle.side[0].deckLeft = 10;
    battle.opponentStyle = 2;
  }

  static void PlayerPlays(const std::vector<int>& attributes) {
    const std::string pattern = Spell(attributes);
    std::memcpy(battle.side[0].playedPattern, pattern.c_str(), pattern.size() + 1);
  }
};

TEST_F(OpponentChoiceTest, TheHeaviestUsableArtWinsAndTiesGoToTheLaterOne) {
  Art(Role::Attack, 2, 1, 4);
  Art(Role::Attack, 3, 1, 5);
  Art(Role::Attack, 7, 1, 5);
  EXPECT_EQ(chooseAttack(), 7);

  // Art 7 needs three cards of attribute 2; the hand has one.
  db.attackArts[7].needAttr2 = 3;
  EXPECT_EQ(chooseAttack(), 3);
  EXPECT_EQ(db.attackArts[7].candidate, 0);
  db.attackArts[7].needAttr2 = 1;
  db.attackArts[7].needAttr1 = 2;  // exactly the two of attribute 1
  EXPECT_EQ(chooseAttack(), 7);

  // HP and MP needs: reaching them exactly is enough.
  db.attackArts[7].needHp = 301;
  db.attackArts[3].mpCost = 100;
  EXPECT_EQ(chooseAttack(), 3);
  db.attackArts[3].mpCost = 101;
  EXPECT_EQ(chooseAttack(), 2);

  // A negative weight is never taken, not even alone; weight 0 is.
  NoArts();
  Art(Role::Attack, 5, 1, -1);
  EXPECT_EQ(chooseAttack(), 0);
  Art(Role::Attack, 4, 8, 0);
  EXPECT_EQ(chooseAttack(), 4);

  // MP below every cost: nothing at all.
  db.attackArts[4].mpCost = 101;
  db.attackArts[5].mpCost = 101;
  EXPECT_EQ(chooseAttack(), 0);
}

TEST_F(OpponentChoiceTest, AttackStylesWeighRecovery) {
  Art(Role::Attack, 1, 15, 9);  // HP recovery, heaviest
  Art(Role::Attack, 2, 1, 3);
  Art(Role::Attack, 3, 18, 8);  // MP recovery

  battle.opponentStyle = 1;
  EXPECT_EQ(chooseAttack(), 2) << "full HP and MP: no recovery";
  battle.opponentMaxHp = 301;
  battle.opponentHp = 151;
  EXPECT_EQ(chooseAttack(), 2) << "151 is above 301 / 2";
  battle.opponentHp = 150;
  EXPECT_EQ(chooseAttack(), 1);
  battle.opponentHp = 300;
  battle.opponentMp = 21;
  EXPECT_EQ(chooseAttack(), 2);
  battle.opponentMp = 20;
  EXPECT_EQ(chooseAttack(), 3);
  db.attackArts[2].weight = -3;
  battle.opponentMp = 100;
  EXPECT_EQ(chooseAttack(), 0) << "style 1 may find nothing";

  battle.opponentStyle = 2;
  db.attackArts[2].weight = 3;
  EXPECT_EQ(chooseAttack(), 2) << "anything but recovery first";
  db.attackArts[2].mpCost = 1 << 30;
  EXPECT_EQ(chooseAttack(), 1) << "then the heaviest of all";

  battle.opponentStyle = 3;
  db.attackArts[2].mpCost = 0;
  battle.opponentMaxHp = battle.opponentHp = 300;
  EXPECT_EQ(chooseAttack(), 2) << "HP and MP full";
  battle.opponentHp = 299;
  EXPECT_EQ(chooseAttack(), 1) << "HP not full: recovery allowed";
  battle.opponentHp = 300;
  battle.opponentMp = 99;
  EXPECT_EQ(chooseAttack(), 3) << "MP not full";
  battle.opponentHp = 150;
  EXPECT_EQ(chooseAttack(), 3) << "at half HP: anything but HP recovery";
  db.attackArts[3].effectKind = 15;
  db.attackArts[2].mpCost = 1 << 30;
  EXPECT_EQ(chooseAttack(), 1) << "only HP recovery left";

  for (int style : {0, 4}) {
    battle.opponentStyle = style;
    EXPECT_EQ(chooseAttack(), 0) << style;
  }
}

TEST_F(OpponentChoiceTest, PoisonAndAnEmptyPlayerDeckComeBeforeTheStyle) {
  Art(Role::Attack, 1, 13, 20);
  Art(Role::Attack, 4, 22, 1);
  Art(Role::Attack, 6, 22, 2);
  Art(Role::Attack, 8, 8, 0);
  Art(Role::Attack, 9, 1, -5);
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

TEST_F(OpponentChoiceTest, InterceptionAnswersThePlayersAttack) {
  // The player's attack arts: kind 1 spelled by 1-2, kind 8 by 3-3, and
  // a later kind 8 art with the same pattern as the first, which loses.
  ArtsRecord& phys = Art(Role::Attack, 5, 1, 0);
  std::memcpy(phys.pattern, Spell({1, 2}).c_str(), 5);
  ArtsRecord& magic = Art(Role::Attack, 6, 8, 0);
  std::memcpy(magic.pattern, Spell({3, 3}).c_str(), 5);
  ArtsRecord& later = Art(Role::Attack, 9, 8, 0);
  std::memcpy(later.pattern, Spell({1, 2}).c_str(), 5);

  Art(Role::Defence, 1, 2, 3);   // physical guard
  Art(Role::Defence, 2, 3, 3);   // physical counter, wins the tie
  Art(Role::Defence, 3, 10, 2);  // magic counter
  Art(Role::Defence, 4, 5, 9);   // heaviest, of no particular use
  Art(Role::Defence, 5, 15, 1);  // HP recovery

  PlayerPlays({1, 2});
  EXPECT_EQ(chooseDefence(), 2);
  PlayerPlays({3, 3});
  EXPECT_EQ(chooseDefence(), 3);
  Art(Role::Defence, 3, 9, 2);  // a magic guard answers magic as well
  EXPECT_EQ(chooseDefence(), 3);
  Art(Role::Defence, 3, 10, 2);
  PlayerPlays({3});
  EXPECT_EQ(chooseDefence(), 4) << "no attack art: k is 0";
  PlayerPlays({});
  EXPECT_EQ(chooseDefence(), 4);

  battle.opponentHp = 100;
  PlayerPlays({1, 2});
  EXPECT_EQ(chooseDefence(), 5) << "at a third of its HP it heals first";
  battle.opponentHp = 101;
  EXPECT_EQ(chooseDefence(), 2);

  // An empty player deck: no interception unless the play is an attack.
  battle.side[0].deckLeft = 0;
  EXPECT_EQ(chooseDefence(), 2);
  PlayerPlays({3});
  EXPECT_EQ(chooseDefence(), 0);
  battle.side[0].deckLeft = 5;

  // An MP recovery art is left out while MP is at half or more.
  Art(Role::Defence, 4, 18, 9);
  battle.opponentMp = 50;
  EXPECT_EQ(chooseDefence(), 0);
  battle.opponentMp = 49;
  EXPECT_EQ(chooseDefence(), 4);

  // A poisoned opponent cures itself first; card 35 stops everything.
  Art(Role::Defence, 7, 22, -1);
  battle.side[1].poisoned = 1;
  EXPECT_EQ(chooseDefence(), 7);
  battle.side[0].played[3] = {35, 2};
  EXPECT_EQ(chooseDefence(), 0);
  battle.side[0].played[3] = {0, 0};

  battle.side[1].poisoned = 0;
  for (int style : {0, 4}) {
    battle.opponentStyle = style;
    EXPECT_EQ(chooseDefence(), 0) << style;
  }
}

constexpr const char* kStart = "wait click 320 240\n";

// The cards the opponent plays, with a host for the animations and the
// view's scroll.
class OpponentPlayTest : public BattleRunTest {
 protected:
  void SetUp() override {
    BattleRunTest::SetUp();
    WriteStory(".battle fg\\foe 300 300 40 40 2 foe 0 5 1");
    Run(kStart);
    MakeHost();
    NoArts();
    for (BattleSide& side : battle.side) {
      for (PlayedCard& p : side.played) p = PlayedCard{};
    }
    // Attributes 1, 0, 2, 1, 2.
    DealOpponent({6, 5, 2, 1, 7});
    battle.opponentMp = 40;
    battle.side[0].deckLeft = 10;
  }

  static void TakeBack() {
    for (HandSlot& h : battle.side[1].hand) h.inHand = 1;
    for (PlayedCard& p : battle.side[1].played) p = PlayedCard{};
  }

  static std::vector<int32_t> PlayedSlots() {
    std::vector<int32_t> slots;
    for (int n = 1; n <= kHandSlots && battle.side[1].played[n].fromSlot != 0; ++n)
      slots.push_back(battle.side[1].played[n].fromSlot);
    return slots;
  }

  static bool Play(int32_t inMode, int32_t turn) {
    TakeBack();
    battle.turn = turn;
    shell.InputMode = inMode;
    return playOpponentCards();
  }
};

TEST_F(OpponentPlayTest, TheArtIsSpelledFromTheLowestSlotsAndSymbolFreeCardsGoAlong) {
  ArtsRecord& art = Art(Role::Attack, 3, 1, 5);
  std::memcpy(art.pattern, Spell({2, 1, 1}).c_str(), 7);
  battle.idleSince = 2;
  std::strcpy(battle.side[1].playedPattern, "old");
  ASSERT_TRUE(Play(14, 4));
  EXPECT_EQ(PlayedSlots(), (std::vector<int32_t>{3, 1, 4, 2}));
  EXPECT_EQ(std::string(battle.side[1].playedPattern), Spell({2, 1, 1}));
  EXPECT_EQ(battle.idleSince, 0);
  EXPECT_EQ(shell.InputMode, 13);
  EXPECT_EQ(gfx.ViewOffset, kMaxViewOffset);

  // A symbol the hand cannot supply plays nothing; the rest still do.
  std::memcpy(art.pattern, Spell({3, 2, 2, 2}).c_str(), 9);
  ASSERT_TRUE(Play(18, 4));
  EXPECT_EQ(PlayedSlots(), (std::vector<int32_t>{3, 5, 2}));
  EXPECT_EQ(shell.InputMode, 17);
}

TEST_F(OpponentPlayTest, AStalledOpponentThrowsItsHandAwayFromTheSecondTurnOn) {
  battle.idleSince = 0;
  battle.side[1].hand[3].card = 0;  // an empty slot is never played
  // Turn 3: its first failure; turn 4: only the symbol-free card again.
  for (int32_t turn : {3, 4}) {
    ASSERT_TRUE(Play(14, turn));
    EXPECT_EQ(PlayedSlots(), std::vector<int32_t>{2}) << turn;
    EXPECT_EQ(battle.idleSince, 3);
  }
  ASSERT_TRUE(Play(18, 5));
  EXPECT_EQ(PlayedSlots(), (std::vector<int32_t>{1, 2, 4, 5}));
  EXPECT_EQ(battle.idleSince, 3);

  // A chosen art ends the stall.
  Art(Role::Attack, 1, 1, 1);
  ASSERT_TRUE(Play(14, 6));
  EXPECT_EQ(battle.idleSince, 0);
  EXPECT_EQ(PlayedSlots(), std::vector<int32_t>{2});
  db.attackArts[1].mpCost = 1 << 30;
  ASSERT_TRUE(Play(14, 7));
  ASSERT_TRUE(Play(14, 8));
  EXPECT_EQ(PlayedSlots(), std::vector<int32_t>{2}) << "counted from turn 7 again";

  // Turn 1 starts afresh whatever was left over.
  battle.idleSince = 3;
  ASSERT_TRUE(Play(14, 1));
  EXPECT_EQ(PlayedSlots(), std::vector<int32_t>{2});
  EXPECT_EQ(battle.idleSince, 1);
}

}  // namespace
}  // namespace battle_test
