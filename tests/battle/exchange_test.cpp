// Whole exchanges on a live battle: the order in which arts, card effects,
// barriers, fields, the exchange and poison act; taking cards back; the
// hand under a curse.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "battle/battle.h"
#include "battle/battle_fixture.h"
#include "battle/rules.h"
#include "core/waits.h"
#include "data/database.h"
#include "data/player.h"

namespace battle_test {
namespace {

class ExchangeTest : public BattleRunTest {
 protected:
  void Start(const std::string& input = "") {
    WriteStory(".battle fg\\foe 300 300 40 40 9 foe 0 5 1");
    Run(std::string("wait click 320 240\n") + input);
  }
  static void SetArt(ArtsRecord& art, int attribute, int32_t kind, int32_t value) {
    art = ArtsRecord{};
    std::memcpy(art.pattern, attributeSymbol(attribute), 3);
    art.effectKind = kind;
    art.effectValue = value;
  }
  // The side has played one card from slot 1, spelling the pattern.
  static void Played(int side, uint32_t card, int attribute) {
    BattleSide& s = battle.side[side];
    for (int n = 1; n <= kHandSlots; ++n) s.played[n] = PlayedCard{};
    s.hand[1] = {card, 0};
    s.played[1] = {card, 1};
    std::strcpy(s.playedPattern, attributeSymbol(attribute));
  }
};

TEST_F(ExchangeTest, EachStepActsOnWhatTheStepsBeforeItLeft) {
  Start();
  MakeHost();
  // The player attacks with an art of 200 physical damage and card 20
  // (x 140 %), over a barrier of +100; the opponent intercepts with an art
  // that halves it and card 21 (no effect on damage), behind a guard of 50;
  // a field adds 30; then the opponent's poison takes a tenth of its HP.
  SetArt(db.attackArts[1], 4, 1, 200);
  SetArt(db.defenceArts[1], 1, 2, -50);
  Played(0, 20, 4);
  Played(1, 21, 1);
  battle.side[0].physAttackUp = 100;
  battle.side[1].physGuard = 50;
  battle.physAttackField = 30;
  battle.side[1].poisoned = 1;
  player.hp = 500;
  shell.InputMode = 15;
  ASSERT_TRUE(resolveExchange(0, 0));
  // 200 x 140 % = 280, +100 = 380, half = 190, -50 = 140, +30 = 170; the
  // opponent's 300 HP less 170, less 30 of poison.
  EXPECT_EQ(battle.opponentHp, 100);
  EXPECT_EQ(player.hp, 500) << "the interceptor dealt nothing";
  EXPECT_EQ(battle.record.damage[0], 170);
  // On to the opponent's attack: it chooses nothing and the player
  // intercepts with the view down.
  EXPECT_EQ(shell.InputMode, 17);
  EXPECT_EQ(battle.attackMarker, 2);
  EXPECT_EQ(gfx.ViewOffset, kMaxViewOffset);
}

TEST_F(ExchangeTest, TakingBackAMiddleCardReturnsItAndEveryCardPlayedAfterIt) {
  // Three cards played from slots 1, 2 and 3, then slot 2 clicked again.
  Start("wait click 55 256\nwait click 162 256\nwait click 267 256\nwait click 162 256\n");
  const BattleSide& me = battle.side[0];
  EXPECT_EQ(me.played[1].fromSlot, 1);
  EXPECT_EQ(me.played[1].card, me.hand[1].card);
  EXPECT_EQ(me.played[2].fromSlot, 0) << "the list ends after the first card";
  EXPECT_EQ(me.hand[1].inHand, 0);
  EXPECT_EQ(me.hand[2].inHand, 1);
  EXPECT_EQ(me.hand[3].inHand, 1);
  const char* symbol = attributeSymbol(cardAttribute(me.hand[1].card));
  EXPECT_STREQ(me.playedPattern, symbol ? symbol : "");
}

TEST_F(ExchangeTest, ACurseRefillsToOneCardFewerForTwoTurnEnds) {
  Start();
  MakeHost();
  BattleSide& me = battle.side[0];
  battle.side[0].curseTurns = 3;
  auto handCount = [&] {
    int n = 0;
    for (int k = 1; k <= battle.handSize; ++k) n += me.hand[k].card != 0;
    return n;
  };
  auto emptyAndRefill = [&] {
    for (HandSlot& h : me.hand) h = HandSlot{};
    EXPECT_TRUE(fillHand(0));
    return handCount();
  };
  endTurn();
  EXPECT_EQ(emptyAndRefill(), 4) << "the curse counts down before the refill";
  endTurn();
  EXPECT_EQ(emptyAndRefill(), 4);
  endTurn();
  EXPECT_EQ(battle.side[0].curseTurns, 0);
  EXPECT_EQ(emptyAndRefill(), 5);
  // A full hand under a curse draws nothing and keeps its last card.
  battle.side[0].curseTurns = 1;
  const uint32_t last = me.hand[5].card;
  const int32_t left = me.deckLeft;
  EXPECT_TRUE(fillHand(0));
  EXPECT_EQ(me.hand[5].card, last);
  EXPECT_EQ(me.deckLeft, left);
}

}  // namespace
}  // namespace battle_test
