// Built-in and user variables, expressions and bracket substitution, as the
// scenario sees them.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "core/random.h"
#include "data/player.h"
#include "script/interpreter.h"
#include "script/variables.h"
#include "support/script_fixture.h"

namespace {

class VariablesTest : public ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    Config("# declarations\n.int a b\n.str s\nignored line\n.int c\n.str u\n");
    // Thursday 2026-01-15.
    player.date = host->LocalCalendar(1768435200);
  }

  std::string Expand(const std::string& text) {
    char buffer[kLineSize] = {};
    std::memcpy(buffer, text.data(), std::min(text.size(), kLineSize - 1));
    ExpandVariables(buffer);
    return buffer;
  }
};

TEST_F(VariablesTest, ConfigDeclaresTablesInOrder) {
  ASSERT_EQ(vars.ints.size(), 3u);
  ASSERT_EQ(vars.strs.size(), 2u);
  EXPECT_STREQ(vars.ints[0].name, "a");
  EXPECT_STREQ(vars.ints[1].name, "b");
  EXPECT_STREQ(vars.ints[2].name, "c");
  EXPECT_STREQ(vars.strs[0].name, "s");
  EXPECT_STREQ(vars.strs[1].name, "u");
  EXPECT_EQ(vars.ints[2].value, 0);
  EXPECT_STREQ(vars.strs[1].value, "");
  // "config" stays the open scenario until "start" is opened.
  EXPECT_STREQ(scn.ScenarioName, "config");
}

TEST_F(VariablesTest, MissingOrEmptyConfigLeavesNoVariables) {
  std::filesystem::remove(dataDir / "config.scn");
  ReadConfig();
  EXPECT_TRUE(vars.ints.empty());
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"存在しないファイルを指定しました"});
  Config("just text\n.int\n");
  EXPECT_TRUE(vars.ints.empty() && vars.strs.empty());
}

TEST_F(VariablesTest, OverlongNamesAreCutAtACharacterAndReported) {
  const std::string longName(62, 'n');
  Config(".int " + longName + Sjis("あ") + " ok\n");
  ASSERT_EQ(vars.ints.size(), 2u);
  EXPECT_EQ(std::string(vars.ints[0].name), longName);  // the two-byte character does not fit
  EXPECT_STREQ(vars.ints[1].name, "ok");
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{
                            "変数名が長すぎます（63バイトまで）\nFile : config\nLine : 1"});
}

TEST_F(VariablesTest, HpAndMpAreLimitedByTheirMaxima) {
  player.maxhp = 120;
  player.maxmp = 12;
  Run(".let hp = 500\n.let mp = 0 - 7\n");
  EXPECT_EQ(player.hp, 120);
  EXPECT_EQ(player.mp, 0);
  Run(".let maxhp = 50\n.let mp = 11\n.let maxmp = 100\n");
  EXPECT_EQ(player.maxhp, 50);
  EXPECT_EQ(player.hp, 50);  // lowered with its maximum
  EXPECT_EQ(player.mp, 11);  // a raised maximum leaves MP alone
  Run(".let maxhp = -5\n.let maxmp = -1\n");
  EXPECT_EQ(player.maxhp, 0);
  EXPECT_EQ(player.hp, 0);
  EXPECT_EQ(player.maxmp, 0);
  EXPECT_EQ(player.mp, 0);
  EXPECT_TRUE(host->boxes.empty());
}

TEST_F(VariablesTest, DayThirtyTwoRollsIntoTheNextMonthAndRecomputesMaxima) {
  player.collection[1] = player.collection[7] = 1;
  Run(".let day = 32\n.let a = weekday\n.let b = month\n.let c = year\n");
  EXPECT_EQ(player.date.mday, 1);
  EXPECT_EQ(player.date.mon, 1);  // February
  EXPECT_EQ(Int("a"), 0);         // 2026-02-01 is a Sunday
  EXPECT_EQ(Int("b"), 2);
  EXPECT_EQ(Int("c"), 2026);
  EXPECT_EQ(player.maxmp, 2 * 2);
  EXPECT_EQ(player.mp, 4);
  EXPECT_EQ(player.maxhp, 40);
  EXPECT_EQ(player.hp, 40);
}

TEST_F(VariablesTest, YearAndMonthWritesNormaliseTheDate) {
  Run(".let month = 13\n");
  EXPECT_EQ(player.date.year, 127);  // January 2027
  EXPECT_EQ(player.date.mon, 0);
  Run(".let year = 2028\n.let month = 2\n.let day = 30\n");
  EXPECT_EQ(player.date.mon, 2);  // 2028-02-30 is March 1st, a leap year
  EXPECT_EQ(player.date.mday, 1);
  EXPECT_EQ(player.date.yday, 60);
}

TEST_F(VariablesTest, MoneyTakesAnyValue) {
  Run(".let money = 0 - 2147483647 - 1\n");
  EXPECT_EQ(player.money, INT_MIN);
  Run(".let money = money - 1\n");
  EXPECT_EQ(player.money, INT_MAX);  // wraps like 32-bit arithmetic
}

TEST_F(VariablesTest, ReadOnlyAndUnknownNamesAreNotAssigned) {
  player.result = 2;
  player.deck.count = 4;
  const auto date = player.date;
  Run(".let result = 0\n.let weekday = 1\n.let nstock = 1\n.let ndeck = 1\n"
      ".let ncollection = 1\n.let nosuch = 1\n.let a = ndeck + result\n");
  EXPECT_EQ(BoxTexts(), std::vector<std::string>(6, "存在しない変数に代入しようとしました"));
  EXPECT_EQ(player.result, 2);
  EXPECT_EQ(player.date.wday, date.wday);
  EXPECT_EQ(Int("a"), 6);
}

TEST_F(VariablesTest, ReadOnlyBuiltinsRead) {
  player.stock.count = 3;
  player.collection[2] = player.collection[50] = 1;
  player.collection[0] = 1;  // belongs to no card
  Run(".let a = nstock\n.let b = ncollection\n.let c = day\n");
  EXPECT_EQ(Int("a"), 3);
  EXPECT_EQ(Int("b"), 2);
  EXPECT_EQ(Int("c"), 15);
}

TEST_F(VariablesTest, StringsTakeTheNextTokenAsWritten) {
  Run(".let s = \"two words\" more\n.let u = [money]\n");
  EXPECT_EQ(Str("s"), "two words");
  EXPECT_EQ(Str("u"), "[money]");
}

// Leaves a pattern on the stack where the next calls will put their buffers.
[[gnu::noinline]] void DirtyTheStack() {
  volatile char junk[16384];
  for (size_t i = 0; i < sizeof junk; ++i) junk[i] = 0x5A;
}

// A save file holds the whole value field: bytes after the text would carry
// whatever memory held into the file, and two saves of one game would differ.
TEST_F(VariablesTest, AStringValueHoldsNothingAfterItsText) {
  for (const char* text : {"ab", ""}) {
    DirtyTheStack();
    Run(std::string(".let s = \"") + text + "\"\n");
    const StrVariable* s = FindStrVariable("s");
    ASSERT_NE(s, nullptr);
    const size_t n = std::strlen(s->value);
    EXPECT_EQ(n, std::strlen(text));
    for (size_t i = n; i < sizeof s->value; ++i) ASSERT_EQ(s->value[i], 0) << "byte " << i;
  }
}

TEST_F(VariablesTest, ExpressionsRunLeftToRight) {
  Run(".let a = 10 - 4 * 2\n.let b = 10-4\n.let c = 7 / 2 - 1\n");
  EXPECT_EQ(Int("a"), 12);
  EXPECT_EQ(Int("b"), 10);
  EXPECT_EQ(Int("c"), 2);
  Run(".let a = 0 - 7 / 2\n.let b = 0 - 7 % 2\n.let c = 5 ? 3 + 1\n");
  EXPECT_EQ(Int("a"), -3);  // toward zero
  EXPECT_EQ(Int("b"), -1);
  EXPECT_EQ(Int("c"), 6);  // an unknown operator drops its pair
  EXPECT_TRUE(host->boxes.empty());
}

TEST_F(VariablesTest, TermsAndTheirMessages) {
  EXPECT_EQ(EvalTerm(""), 0);
  EXPECT_EQ(EvalTerm("+12abc"), 12);
  EXPECT_EQ(EvalTerm("-"), 0);
  EXPECT_EQ(EvalTerm("007"), 7);
  EXPECT_TRUE(host->boxes.empty());
  EXPECT_EQ(EvalTerm("s"), 0);  // a string variable is no term
  EXPECT_EQ(EvalTerm("nosuch"), 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>(2, "存在しない変数を指定しました"));
  player.money = 42;
  EXPECT_EQ(EvalTerm("[money]0"), 420);
}

TEST_F(VariablesTest, ZeroDivisorIsReportedAndLeavesTheValue) {
  Run("\n.let a = 9 / 0 + 1\n.let b = 9 % b\n");
  EXPECT_EQ(Int("a"), 10);
  EXPECT_EQ(Int("b"), 9);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"0で割ろうとしました\nFile : start\nLine : 2",
                                                  "0で割ろうとしました\nFile : start\nLine : 3"}));
  EXPECT_EQ(BoxCaptions(), std::vector<std::string>(2, "シナリオの記述エラー"));
  host->boxes.clear();
  Run(".let a = 0 - 2147483647 - 1\n.let b = a / -1\n.let c = a % -1\n");
  EXPECT_EQ(Int("b"), INT_MIN);
  EXPECT_EQ(Int("c"), 0);
  EXPECT_TRUE(host->boxes.empty());
}

TEST_F(VariablesTest, BracketSubstitution) {
  player.money = 1500;
  Run(".let a = -3\n.let s = \"x y\"\n");
  EXPECT_EQ(Expand("You have [money] gold"), "You have 1500 gold");
  EXPECT_EQ(Expand("[a]/[s]/[007]/[+4x]"), "-3/x y/7/4");
  EXPECT_EQ(Expand("[a^b] [nosuch]"), "a^b nosuch");
  EXPECT_EQ(Expand("]x]"), "]x]");
  EXPECT_EQ(Expand("]a[money]b]"), "]a1500b]");
  EXPECT_EQ(Expand("[[money]]"), "[1500]");
  EXPECT_TRUE(host->boxes.empty());
}

TEST_F(VariablesTest, ReplacementsAreNeverExpandedAgain) {
  Run(".let s = [money]\n");
  EXPECT_EQ(Expand("[s]"), "[money]");
  Run(".let s = ]\n");
  EXPECT_EQ(Expand("[[s]money]"), "[]money]");
}

TEST_F(VariablesTest, TrailBytesAreNotBrackets) {
  player.money = 5;
  // "ー" is 0x81 0x5B: its second byte looks like "[".
  EXPECT_EQ(Expand(Sjis("ーmoney]")), Sjis("ーmoney]"));
  EXPECT_EQ(Expand(Sjis("[ー]")), Sjis("ー"));
  // "ソ" is 0x83 0x5C; "゜" is 0x81 0x5E, whose second byte looks like "^".
  EXPECT_EQ(Expand(Sjis("[money゜]")), Sjis("money゜"));
}

TEST_F(VariablesTest, SubstitutionThatOverflowsTheLineIsCutAndReported) {
  const std::string fill(200, 'x');
  Run(".let s = " + fill + "\n");
  const std::string out = Expand("[s][s]");
  EXPECT_EQ(out.size(), 255u);
  EXPECT_EQ(out, fill + std::string(55, 'x'));
  EXPECT_EQ(BoxTexts().size(), 1u);
  EXPECT_EQ(BoxTexts()[0].rfind("変数の展開結果が行に収まりません\nFile : ", 0), 0u);
  // A two-byte character is never split.
  std::string kana;
  for (int i = 0; i < 60; ++i) kana += Sjis("あ");
  Run(".let s = " + std::string(150, 'x') + "\n");
  const std::string cut = Expand("[s]" + kana);
  EXPECT_EQ(cut, std::string(150, 'x') + kana.substr(0, 104));
}

TEST_F(VariablesTest, RandomAssignmentUsesTheGenerator) {
  SeedRandom(1);  // 41, 18467, 6334 ...
  Run(".rnd a = 1 to 6\n.rnd b = 10 - 10\n.rnd c , -5 , 5\n");
  EXPECT_EQ(Int("a"), 1 + 41 % 6);
  EXPECT_EQ(Int("b"), 10);
  EXPECT_EQ(Int("c"), -5 + 6334 % 11);
  Run(".rnd money = 0 to 2147483647\n.rnd hp = 1 to 100\n");
  EXPECT_GE(player.money, 0);
  EXPECT_EQ(player.hp, 0);  // written by the rule of "hp"
  EXPECT_TRUE(host->boxes.empty());
}

TEST_F(VariablesTest, RandomWithAnEmptyRangeAssignsNothing) {
  Run(".let a = 3\n.rnd a = 5 to 4\n.rnd result = 1 to 2\n.rnd b = -2147483647 to 2147483647\n");
  EXPECT_EQ(Int("a"), 3);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{
                            "乱数の範囲が空です（下限が上限より大きい）\nFile : start\nLine : 2",
                            "存在しない変数に代入しようとしました"}));
}

}  // namespace
