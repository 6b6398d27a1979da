// The turn flow's rules on the battle state: how a battle is decided, the
// end of a turn, and the hand under a curse.
#include <gtest/gtest.h>

#include "battle/battle.h"
#include "battle/rules.h"
#include "data/player.h"

namespace {

class OutcomeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetBattle();
    ResetPlayerState();
    battle.handSize = 5;
    Set(100, true, 100, true);
  }
  void TearDown() override {
    ResetBattle();
    ResetPlayerState();
  }
  // HP and whether each side still has a card to play (one in hand).
  static void Set(int32_t myHp, bool myCards, int32_t theirHp, bool theirCards) {
    player.hp = myHp;
    battle.opponentHp = theirHp;
    for (int s = 0; s < 2; ++s) {
      battle.side[s].deckLeft = 0;
      battle.side[s].hand[3] = {(s == 0 ? myCards : theirCards) ? 7u : 0u, 1};
    }
  }
};

TEST_F(OutcomeTest, HpDecidesOverCardsAndBothAtZeroIsADraw) {
  EXPECT_EQ(battleOutcome(0), -1) << "both have HP and cards";
  Set(100, true, 100, false);
  EXPECT_EQ(battleOutcome(0), 0) << "the opponent ran out of cards";
  Set(100, false, 100, true);
  EXPECT_EQ(battleOutcome(0), 2);
  Set(100, false, 100, false);
  EXPECT_EQ(battleOutcome(0), 1);
  // HP outcomes take precedence over the cards.
  Set(0, true, 100, false);
  EXPECT_EQ(battleOutcome(0), 2) << "out of HP loses even against an opponent out of cards";
  Set(100, false, 0, true);
  EXPECT_EQ(battleOutcome(0), 0);
  Set(0, true, 0, true);
  EXPECT_EQ(battleOutcome(0), 1);
  Set(0, false, 0, true);
  EXPECT_EQ(battleOutcome(0), 1) << "both at 0 HP is a draw whoever has cards";
}

TEST_F(OutcomeTest, CardsCountOnlyWhileInTheHandOrTheDeck) {
  Set(100, true, 100, false);
  battle.side[0].hand[3].inHand = 0;  // played this exchange
  EXPECT_EQ(battleOutcome(0), 1);
  battle.side[0].deckLeft = 4;
  EXPECT_EQ(battleOutcome(0), 0);
  // A card beyond the hand size does not count.
  Set(100, false, 100, false);
  battle.side[1].hand[6] = {9, 1};
  EXPECT_EQ(battleOutcome(0), 1);
}

TEST_F(OutcomeTest, TurnThirtyEndsAfterItsSecondExchangeAsADraw) {
  battle.turn = 30;
  EXPECT_EQ(battleOutcome(0), -1) << "the first exchange of turn 30 goes on";
  EXPECT_EQ(battleOutcome(1), 1);
  battle.opponentHp = 0;
  EXPECT_EQ(battleOutcome(1), 0) << "a knock-out in the last exchange still wins";
  battle.turn = 29;
  battle.opponentHp = 50;
  EXPECT_EQ(battleOutcome(1), -1);
}

TEST_F(OutcomeTest, TheEndOfATurnRefillsMpByAFifthAndCountsTheCurseDown) {
  player.mp = 10;
  player.maxmp = 52;  // a fifth is 10
  battle.opponentMp = 45;
  battle.opponentMaxMp = 50;
  battle.side[0].curseTurns = 3;
  battle.side[1].curseTurns = 0;
  endTurn();
  EXPECT_EQ(battle.turn, 2);
  EXPECT_EQ(player.mp, 20);
  EXPECT_EQ(battle.opponentMp, 50) << "capped at the maximum";
  EXPECT_EQ(battle.side[0].curseTurns, 2);
  EXPECT_EQ(battle.side[1].curseTurns, 0) << "never below 0";
}

TEST(SaturatingArithmetic, FloorsAndClampsWithoutOverflow) {
  int32_t x = 5;
  subtractFloor(x, 7);
  EXPECT_EQ(x, 0);
  x = 7;
  subtractFloor(x, 7);
  EXPECT_EQ(x, 0);
  x = 10;
  subtractFloor(x, -5);
  EXPECT_EQ(x, 15) << "a negative amount adds";
  x = 2000000000;
  addClamp(x, 2000000000, 99999);
  EXPECT_EQ(x, 99999);
  x = 100;
  addClamp(x, -9999, 99999);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(percentOf(55, 10), 5);
  EXPECT_EQ(percentOf(-55, 10), -5) << "truncated toward zero";
}

}  // namespace
