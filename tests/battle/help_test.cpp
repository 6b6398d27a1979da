// The texts of the field and barrier helps, and the deck shuffle.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>

#include "battle/battle.h"
#include "battle/card_detail.h"
#include "core/random.h"
#include "platform/posix/host_files.h"

namespace {

class HelpTextTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetBattle(); }
  void TearDown() override { ResetBattle(); }
  static std::string S(const std::string& utf8) {
    std::string out;
    EXPECT_TRUE(posix::Utf8ToSjis(utf8, out)) << utf8;
    return out;
  }
  const std::string fieldTail = S("\n\n                       ▼\n");
};

TEST_F(HelpTextTest, OnlyTheAttackAndRecoverySlotsCanBeForbidden) {
  battle.physAttackField = -9999;
  EXPECT_EQ(fieldHelpText(), S("▲\n 物理攻撃禁止フィールド\n") + fieldTail);
  battle.physAttackField = -9998;
  EXPECT_EQ(fieldHelpText(), S("▲\n 物理攻撃力補正フィールド\n 効果：-9998") + fieldTail);
  battle.physAttackField = 0;
  battle.physGuardField = -9999;
  EXPECT_EQ(fieldHelpText(), S("▲\n 物理防御力補正フィールド\n 効果：-9999") + fieldTail);
  battle.physGuardField = 0;
  battle.mpRecoveryField = -20000;
  EXPECT_EQ(fieldHelpText(), S("▲\n ＭＰ回復禁止フィールド\n") + fieldTail);
  battle.mpRecoveryField = 0;
  EXPECT_EQ(fieldHelpText(), S("▲\n") + fieldTail) << "no field: head and tail only";
}

TEST_F(HelpTextTest, BarrierEntriesRunOnWithoutALineFeedAfterTheirValue) {
  battle.side[0].physAttackUp = 10;
  battle.side[0].magicAttackUp = 5;
  EXPECT_EQ(
      barrierHelpText(0),
      S("\n 物理攻撃力補正バリアー\n 効果：+10 魔法攻撃力補正バリアー\n 効果：+5") + fieldTail);
  // The opponent's help points up and has no tail.
  battle.side[1].hpRecoveryUp = -9999;
  battle.side[1].physGuard = -3;
  EXPECT_EQ(barrierHelpText(1), S("▲\n 物理防御力補正バリアー\n 効果：-3 ＨＰ回復禁止バリアー\n"));
}

TEST(ShuffleDeckTest, PermutesExactlyTheFirstNCards) {
  for (int32_t n : {1, 2, 7, 100}) {
    uint32_t deck[kBattleDeckSize + 1];
    std::iota(deck, deck + kBattleDeckSize + 1, 1000u);
    SeedRandom(static_cast<uint32_t>(n));
    shuffleDeck(deck, n);
    EXPECT_EQ(deck[0], 1000u) << "element 0 holds no card";
    std::vector<uint32_t> head(deck + 1, deck + 1 + n);
    std::sort(head.begin(), head.end());
    for (int32_t i = 0; i < n; ++i) EXPECT_EQ(head[i], 1001u + i) << n;
    for (int32_t i = n + 1; i <= kBattleDeckSize; ++i) EXPECT_EQ(deck[i], 1000u + i) << n;
    if (n == 100) {
      EXPECT_FALSE(std::is_sorted(deck + 1, deck + 101));
    }
  }
  uint32_t empty[3] = {7, 8, 9};
  shuffleDeck(empty, 0);
  shuffleDeck(empty, -5);
  EXPECT_EQ(empty[1], 8u);
}

}  // namespace
