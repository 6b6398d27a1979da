// The turn flow: where each deciding mode leads, how a battle is decided,
// the end of a turn, taking cards back, the curse on the refill, the order
// of one whole exchange, the helps' texts and the shuffle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <tuple>

#include "battle/battle_screen.h"
#include "battle/card_detail.h"
#include "battle/turn.h"
#include "core/random.h"
#include "core/settings.h"
#include "core/waits.h"
#include "data/player.h"
#include "graphics/textwindow.h"
#include "support/battle_fixture.h"

namespace battle_test {
namespace {

class TurnTest : public BattlePositionTest {
 protected:
  // Turn 1 with every card in hand, nothing played and an opponent that
  // chooses nothing (so both arts fail), waiting in mode with the view down.
  void FreshTurn(int32_t mode) {
    battle.turn = 1;
    battle.opponentStyle = 9;
    for (BattleSide& b : battle.side) {
      for (int k = 1; k <= kHandSlots; ++k) b.hand[k].inHand = 1, b.played[k] = PlayedCard{};
      b.playedPattern[0] = '\0';
    }
    shell.InputMode = mode;
    gfx.ViewOffset = kMaxViewOffset;
    MakeHost();
  }
  // What the decide square shows as the pointer moves over and off it.
  std::string HoverLights();
};

// The turn, the mode and the marker after deciding, with the view down
// and the decision's sound once; from the second exchange a new turn's coin
// decides whether the player attacks (marker 1) or intercepts (marker 2).
TEST_F(TurnTest, DecidingInEachModeLeadsToItsNextWait) {
  // In the second exchange the coin is the generator's next value: even, the
  // player attacks. The seeds between them give both kinds of coin.
  bool coins[2] = {false, false};
  for (auto [from, seed] : {std::pair{mode::PlayerAttacks, 1u},
                            {mode::PlayerIntercepts, 1u},
                            {mode::PlayerAttacksSecond, 1u},
                            {mode::PlayerInterceptsSecond, 2u},
                            {mode::PlayerAttacksSecond, 3u},
                            {mode::PlayerInterceptsSecond, 4u}}) {
    FreshTurn(from);
    SeedRandom(seed);
    const bool even = NextRandom() % 2 == 0;
    SeedRandom(seed);
    ASSERT_TRUE(decideExchange());
    const bool second = from == mode::PlayerAttacksSecond || from == mode::PlayerInterceptsSecond;
    const std::tuple<int32_t, int32_t, int32_t> want =
        from == mode::PlayerAttacks      ? std::tuple(1, mode::PlayerInterceptsSecond, 2)
        : from == mode::PlayerIntercepts ? std::tuple(1, mode::PlayerAttacksSecond, 1)
        : even                           ? std::tuple(2, mode::PlayerAttacks, 1)
                                         : std::tuple(2, mode::PlayerIntercepts, 2);
    if (second) coins[even] = true;
    EXPECT_EQ(std::tuple(battle.turn, shell.InputMode, battle.attackMarker), want)
        << from << " seed " << seed;
    EXPECT_EQ(gfx.ViewOffset, kMaxViewOffset) << from;
    EXPECT_EQ(WaveTimes("bwav\\Decision.wav").size(), 1u) << from;
  }
  EXPECT_TRUE(coins[0] && coins[1]);
  // The decide square is the marker's whole 62 x 62 square, corners included.
  std::string decided;
  for (auto [x, y] : {std::pair{289, 69},
                      {350, 130},
                      {289, 130},
                      {288, 100},
                      {351, 100},
                      {320, 68},
                      {320, 131}}) {
    FreshTurn(13);
    ASSERT_TRUE(battleClick(x, y));
    decided += std::to_string(WaveTimes("bwav\\Decision.wav").size());
  }
  EXPECT_EQ(decided, "1110000");
}

// Where the player chose the light, the pointer over the decide square
// lights that whole square, and only it, while the player chooses; a redraw
// keeps the light, the opponent's modes show none, and deciding puts it out
// for the next choice. Without the choice nothing lights.
TEST_F(TurnTest, TheDecideSquareLightsUnderThePointerWhileThePlayerChooses) {
  for (bool light : {false, true}) {
    settings.decideLight = light;
    EXPECT_EQ(HoverLights(), light ? "0000 1100 0000 0000 1100 1100 0000 "
                                   : "0000 0000 0000 0000 0000 0000 0000 ");
  }
  FreshTurn(mode::PlayerIntercepts);
  ASSERT_TRUE(battleHover(320, 100));
  ASSERT_TRUE(decideExchange());
  ASSERT_EQ(shell.InputMode, mode::PlayerAttacksSecond);
  drawBattle(0, 0, kBattleWidth, kBattleHeight);
  EXPECT_EQ(gfx.Screen.At(289, 211), kPlayerMarker);
}

std::string TurnTest::HoverLights() {
  FreshTurn(mode::PlayerIntercepts);
  battle.attackMarker = 2;
  drawBattle(0, 0, kBattleWidth, kBattleHeight);
  // Corners of the square, the table beside it and the pointer below it.
  const std::pair<int, int> points[] = {{289, 211}, {350, 272}, {288, 211}, {320, 273}};
  std::vector<uint16_t> before;
  for (auto [x, y] : points) before.push_back(gfx.Screen.At(x, y));
  auto lit = [&] {
    std::string changed;
    for (size_t i = 0; i < before.size(); ++i)
      changed += gfx.Screen.At(points[i].first, points[i].second) != before[i] ? '1' : '0';
    return changed;
  };
  std::string seen;
  for (auto [x, y] : {std::pair{320, 155}, {289, 130}, {0, 0}, {351, 100}, {350, 69}}) {
    EXPECT_TRUE(battleHover(x, y));
    seen += lit() + " ";
  }
  drawBattle(0, 0, kBattleWidth, kBattleHeight);
  seen += lit() + " ";
  shell.InputMode = mode::OpponentAttacks;
  EXPECT_TRUE(battleHover(320, 100));
  seen += lit() + " ";
  return seen;
}

TEST(OutcomeTest, HpDecidesOverCardsTurnThirtyDrawsAndBothAtZeroIsADraw) {
  struct Row {
    int32_t myHp;
    bool myCards;
    int32_t theirHp;
    bool theirCards;
    int32_t turn, e, result;
  };
  const Row rows[] = {
      {100, true, 100, true, 1, 0, -1},  {100, true, 100, false, 1, 0, 0},
      {100, false, 100, true, 1, 0, 2},  {100, false, 100, false, 1, 0, 1},
      {0, true, 100, false, 1, 0, 2},    {100, false, 0, true, 1, 0, 0},
      {0, true, 0, true, 1, 0, 1},       {0, false, 0, true, 1, 0, 1},
      {100, true, 100, true, 30, 0, -1}, {100, true, 100, true, 30, 1, 1},
      {100, true, 0, true, 30, 1, 0},    {100, true, 100, true, 29, 1, -1},
      {100, true, 100, true, 31, 1, -1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.myHp << r.myCards << " " << r.theirHp << r.theirCards
                                    << " turn " << r.turn << " e " << r.e);
    ResetBattle();
    ResetPlayerState();
    battle.handSize = 5;
    battle.turn = r.turn;
    SetFigures(0, "s.hp=" + std::to_string(r.myHp) + " o.hp=" + std::to_string(r.theirHp) +
                      " s.hand3=" + std::to_string(r.myCards * 7) +
                      " o.hand3=" + std::to_string(r.theirCards * 7) + " s.in3=1 o.in3=1");
    EXPECT_EQ(battleOutcome(r.e), r.result);
  }
  // Cards count only while in the hand (played ones do not), within the
  // hand size, or in the deck.
  battle.turn = 1;
  SetFigures(0, "s.hp=100 o.hp=100 s.hand3=7 s.in3=0 o.hand3=0 o.hand6=9 o.in6=1");
  EXPECT_EQ(battleOutcome(0), 1);
  battle.side[0].deckLeft = 4;
  EXPECT_EQ(battleOutcome(0), 0);
  ResetBattle();
}

// Hand cards 1..5 of the given numbers (card n has attribute n % 5) are
// clicked in turn; a click on a played card takes it back with every card
// played after it, and each of them with an attribute gives back its symbol.
TEST_F(TurnTest, TakingBackReturnsTheCardAndThoseAfterItSymbolBySymbol) {
  struct Row {
    std::vector<uint32_t> cards;
    std::vector<int> clicks;
    std::vector<int> pattern;    // attributes left spelled
    std::vector<int> fromSlots;  // the played list left
  };
  const Row rows[] = {
      {{1, 2, 3}, {1, 2, 3, 2}, {1}, {1}},
      {{4, 5, 3}, {1, 2, 3, 2}, {4}, {1}},
      {{5, 1, 2}, {1, 2, 3, 3}, {1}, {1, 2}},
      {{2, 6, 4}, {1, 2, 3, 2}, {2}, {1}},
      {{2, 6}, {2, 1, 2}, {}, {}},
      {{1, 2, 3, 4, 5}, {1, 2, 3, 4, 5, 1}, {}, {}},
      {{3, 1, 4}, {3, 2, 1, 2}, {4}, {3}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "cards " << row.cards.size() << " first " << row.cards[0]
                                    << " clicks " << row.clicks.size());
    MakeHost();
    shell.InputMode = mode::PlayerAttacks;
    gfx.ViewOffset = kMaxViewOffset;
    Deal(0, row.cards);
    BattleSide& me = battle.side[0];
    for (int k : row.clicks) {
      const SlotPosition p = handPosition(0, k);
      ASSERT_TRUE(battleClick(p.x + 50, p.y - kMaxViewOffset + 60));
    }
    EXPECT_EQ(std::string(me.playedPattern), Spell(row.pattern));
    std::vector<int> from;
    for (int n = 1; n <= kHandSlots && me.played[n].fromSlot; ++n)
      from.push_back(me.played[n].fromSlot);
    EXPECT_EQ(from, row.fromSlots);
    for (int k = 1; k <= static_cast<int>(row.cards.size()); ++k)
      EXPECT_EQ(me.hand[k].inHand, std::count(from.begin(), from.end(), k) ? 0 : 1) << k;
  }
  // The hint on the played row: a known pattern with an art brightens it,
  // a known one without darkens it, an unknown one leaves it.
  const SlotPosition p = playedPosition(0, 1);
  for (int hint : {1, 2, 0}) {
    SCOPED_TRACE(hint);
    battle.side[0].hand[1] = {1, 1};
    for (PlayedCard& e : battle.side[0].played) e = PlayedCard{};
    battle.side[0].playedPattern[0] = '\0';
    player.knownAttackPatterns[patternCode(Spell({1}).c_str())] = hint != 0;
    SetArt(Role::Attack, 7, {hint == 1 ? 1 : 2}, 1, 0);
    ASSERT_TRUE(battleClick(handPosition(0, 1).x + 50, 260));
    EXPECT_EQ(battle.patternHint, hint);
    const uint16_t picture = gfx.PartsSheet.At(150, 470), seen = At(p.x + 50, p.y + 70);
    const int g = picture >> 5 & 31, gs = seen >> 5 & 31;
    EXPECT_EQ(gs > g ? 1 : gs < g ? 2 : 0, hint);
  }
}

// The end of a turn: a fifth of each side's max MP back, capped, and the
// curse counted down (before the refill, so that a curse of three turns
// shortens two refills).
TEST_F(TurnTest, TurnEndsRefillMpByAFifthAndACurseShortensTwoRefills) {
  BattleSide& me = battle.side[0];
  // After each end: the turns gone by, both sides' MP and curse, and the
  // cards a refill of an emptied hand of five draws.
  SetFigures(0, "s.mp=10 s.maxMp=52 o.mp=45 o.maxMp=50 s.curse=3 o.curse=0");
  const int32_t turn = battle.turn;
  std::string trace;
  for (int i = 0; i < 3; ++i) {
    endTurn();
    for (HandSlot& h : me.hand) h = HandSlot{};
    EXPECT_TRUE(fillHand(0));
    int n = 0;
    for (int k = 1; k <= battle.handSize; ++k) n += me.hand[k].card != 0;
    trace += std::to_string(battle.turn - turn) + ": " + std::to_string(player.mp) + " " +
             std::to_string(battle.opponentMp) + " " + std::to_string(me.curseTurns) + "/" +
             std::to_string(battle.side[1].curseTurns) + " " + std::to_string(n) + " ";
  }
  EXPECT_EQ(trace, "1: 20 50 2/0 4 2: 30 50 1/0 4 3: 40 50 0/0 5 ");
  // A full hand under a curse draws nothing and keeps its last card.
  me.curseTurns = 1;
  const uint32_t last = me.hand[5].card;
  const int32_t left = me.deckLeft;
  EXPECT_TRUE(fillHand(0));
  EXPECT_EQ(std::pair(me.hand[5].card, me.deckLeft), std::pair(last, left));
}

TEST_F(TurnTest, EachStepOfAnExchangeActsOnWhatTheStepsBeforeItLeft) {
  // The player attacks with an art of 200 physical damage and card 20
  // (x 140 %), over a barrier of +100; the opponent intercepts with an art
  // that halves it and card 21, behind a guard of 50; a field adds 30; then
  // the opponent's poison takes a tenth of its HP.
  SetArt(Role::Attack, 1, {4}, 1, 200);
  SetArt(Role::Defence, 1, {1}, 2, -50);
  for (int s = 0; s < 2; ++s) {
    BattleSide& b = battle.side[s];
    for (PlayedCard& e : b.played) e = PlayedCard{};
    b.hand[1] = {s == 0 ? 20u : 21u, 0};
    b.played[1] = {b.hand[1].card, 1};
    std::strcpy(b.playedPattern, Spell({s == 0 ? 4 : 1}).c_str());
  }
  SetFigures(0, "s.pAU=100 o.pG=50 f.pA=30 o.poisoned=1 s.hp=500");
  battle.opponentStyle = 9;
  shell.InputMode = mode::OpponentIntercepts;
  ASSERT_TRUE(resolveExchange(0, 0));
  // 200 x 140 % = 280, +100 = 380, half = 190, -50 = 140, +30 = 170; the
  // opponent's 300 HP less 170, less 30 of poison.
  EXPECT_EQ(std::tuple(battle.opponentHp, player.hp, battle.record.damage[0], shell.InputMode),
            std::tuple(100, 500, int64_t{170}, mode::PlayerInterceptsSecond));
}

using HelpTextTest = GameTest;

TEST_F(HelpTextTest, EachSlotReadsItsTextAndOnlySomeCanBeForbidden) {
  const std::string tail = Sjis("\n\n                       ▼\n");
  struct Row {
    const char* set;
    int help;  // -1 the field help, else the barrier help of that side
    std::string text;
  };
  const Row rows[] = {
      {"f.pA=-9999", -1, "▲\n 物理攻撃禁止フィールド\n"},
      {"f.pA=-9998", -1, "▲\n 物理攻撃力補正フィールド\n 効果：-9998"},
      {"f.pG=-9999", -1, "▲\n 物理防御力補正フィールド\n 効果：-9999"},
      {"f.mA=-9999", -1, "▲\n 魔法攻撃禁止フィールド\n"},
      {"f.mG=4", -1, "▲\n 魔法防御力補正フィールド\n 効果：+4"},
      {"f.hR=-9999", -1, "▲\n ＨＰ回復禁止フィールド\n"},
      {"f.mR=-20000", -1, "▲\n ＭＰ回復禁止フィールド\n"},
      {"f.mR=2", -1, "▲\n ＭＰ回復量補正フィールド\n 効果：+2"},
      {"", -1, "▲\n"},
      {"s.pAU=10 s.mAU=5", 0,
       "\n 物理攻撃力補正バリアー\n 効果：+10 魔法攻撃力補正バリアー\n 効果：+5"},
      {"s.pAU=-9999 s.mG=-1 s.hRU=3", 0,
       "\n 物理攻撃禁止バリアー\n 魔法防御力補正バリアー\n 効果：-1 ＨＰ回復量補正バリアー\n "
       "効果：+3"},
      {"s.mAU=-9999 s.mRU=-9999", 0, "\n 魔法攻撃禁止バリアー\n ＭＰ回復禁止バリアー\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.set);
    ResetBattle();
    SetFigures(0, row.set);
    const std::string got = row.help < 0 ? fieldHelpText() : barrierHelpText(row.help);
    EXPECT_EQ(got, Sjis(row.text) + tail);
  }
  // The opponent's help points up and has no tail.
  ResetBattle();
  SetFigures(1, "s.hRU=-9999 s.pG=-3");
  EXPECT_EQ(barrierHelpText(1),
            Sjis("▲\n 物理防御力補正バリアー\n 効果：-3 ＨＰ回復禁止バリアー\n"));
}

// A click on a barrier or field icon opens its help (here never closed):
// the player's row is y 54..78 of the view, the opponent's 4..28.
TEST_F(TurnTest, ClickingABarrierOrFieldIconOpensItsHelp) {
  std::string opened;
  for (auto [x, y] : {std::pair{593, 60},
                      {613, 78},
                      {592, 60},
                      {600, 79},
                      {614, 54},
                      {634, 60},
                      {61, 4},
                      {81, 28},
                      {60, 10},
                      {82, 10},
                      {101, 10},
                      {102, 10}}) {
    FreshTurn(12);
    SetFigures(0, "s.pAU=10 o.pAU=20 f.mA=30");
    msgwin.window[1].ClearAll();
    battleClick(x, y);
    const std::string text = WindowText(1);
    opened += text.find("+10") != std::string::npos   ? "s"
              : text.find("+20") != std::string::npos ? "o"
              : text.find("+30") != std::string::npos ? "f"
                                                      : "-";
  }
  EXPECT_EQ(opened, "ss--ffoo-ff-");
}

// Three passes, each swapping card i with card rand() mod n + 1; cards past
// n and element 0 stay where they are.
TEST(ShuffleDeckTest, ThreePassesOfTheSeededGeneratorOverTheFirstNCards) {
  uint32_t deck[kBattleDeckSize + 1];
  std::iota(deck, deck + kBattleDeckSize + 1, 0u);
  SeedRandom(1);
  shuffleDeck(deck, 7);
  EXPECT_EQ(std::vector<uint32_t>(deck, deck + 10),
            (std::vector<uint32_t>{0, 7, 3, 1, 5, 4, 2, 6, 8, 9}));
  shuffleDeck(deck, 0);
  shuffleDeck(deck, -5);
  EXPECT_EQ(deck[1], 7u) << "nothing to shuffle";
}

}  // namespace
}  // namespace battle_test
