// Built-in and user variables, expressions and bracket substitution, as the
// scenario sees them.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "core/random.h"
#include "data/player.h"
#include "script/variables.h"
#include "support/script_fixture.h"

namespace {

const std::string kNoVariable = "存在しない変数を指定しました";
const std::string kNoTarget = "存在しない変数に代入しようとしました";

class VariablesTest : public ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    Config("# declarations\n.int a b\n.str s\nignored line\n.int c\n.str u\n");
    player.date = host->LocalCalendar(1768435200);  // Thursday 2026-01-15
  }
  std::string Expand(const std::string& text) {
    char buffer[kLineSize] = {};
    std::memcpy(buffer, text.data(), std::min(text.size(), kLineSize - 1));
    ExpandVariables(buffer);
    return buffer;
  }
};

std::string Names() {
  std::string out;
  for (const auto& v : vars.ints) out += std::string(v.name) + ",";
  for (const auto& v : vars.strs) out += std::string("$") + v.name + ",";
  return out;
}

TEST_F(VariablesTest, ConfigDeclaresTablesInOrderAndCutsOverlongNames) {
  EXPECT_EQ(Names(), "a,b,c,$s,$u,");
  EXPECT_STREQ(scn.ScenarioName, "config");  // open until "start" is
  Config("just text\n.int\n");
  EXPECT_EQ(Names(), "");
  std::filesystem::remove(dataDir / "config.scn");
  ReadConfig();
  EXPECT_EQ(Names(), "");
  const std::string longName(62, 'n');  // a two-byte character does not fit after it
  Config(".int " + longName + Sjis("あ") + " ok\n");
  EXPECT_EQ(Names(), longName + ",ok,");
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{
                            "存在しないファイルを指定しました",
                            "変数名が長すぎます（63バイトまで）\nFile : config\nLine : 1"}));
}

TEST_F(VariablesTest, ExpressionsRunLeftToRightOnTermsWithTheirMessages) {
  player.money = 42;
  const std::string byZero = "0で割ろうとしました\nFile : start\nLine : 1";
  // Toward zero; an unknown operator drops its pair; a string variable is no term.
  // clang-format off
  const struct { std::string expression; int32_t value; std::string box; } cases[] = {
      {"10 - 4 * 2", 12, ""}, {"10-4", 10, ""}, {"7 / 2 - 1", 2, ""}, {"0 - 7 / 2", -3, ""},
      {"0 - 7 % 2", -1, ""}, {"5 ? 3 + 1", 6, ""}, {"+12abc", 12, ""}, {"-", 0, ""},
      {"007", 7, ""}, {"[money]0", 420, ""}, {"2147483647 + 1", INT_MIN, ""},
      {"0 - 2147483647 - 1 / -1", INT_MIN, ""}, {"0 - 2147483647 - 1 % -1", 0, ""},
      {"9 / 0 + 1", 10, byZero}, {"9 % 0", 9, byZero}, {"nosuch + 2", 2, kNoVariable},
      {"s * 3", 0, kNoVariable}};
  // clang-format on
  for (const auto& c : cases) {
    host->boxes.clear();
    Run(".let a = " + c.expression + "\n");
    EXPECT_EQ(Int("a"), c.value) << c.expression;
    EXPECT_EQ(BoxTexts(), std::vector<std::string>(!c.box.empty(), c.box)) << c.expression;
  }
  EXPECT_EQ(EvalTerm(""), 0);
}

TEST_F(VariablesTest, BuiltinsAreWrittenByTheirRules) {
  // a raised maximum leaves HP alone
  // clang-format off
  const struct { std::string let; int32_t hp, maxhp, mp, maxmp, money; } cases[] = {
      {"hp = 500", 120, 120, 11, 12, INT_MIN}, {"hp = 0 - 3", 0, 120, 11, 12, INT_MIN},
      {"mp = 50", 120, 120, 12, 12, INT_MIN},  {"mp = 0 - 7", 120, 120, 0, 12, INT_MIN},
      {"maxhp = 50", 50, 50, 11, 12, INT_MIN}, {"maxhp = 500", 120, 500, 11, 12, INT_MIN},
      {"maxhp = -5", 0, 0, 11, 12, INT_MIN},   {"maxmp = 5", 120, 120, 5, 5, INT_MIN},
      {"maxmp = -1", 120, 120, 0, 0, INT_MIN}, {"money = money - 1", 120, 120, 11, 12, INT_MAX}};
  // clang-format on
  for (const auto& c : cases) {
    player.hp = player.maxhp = 120;
    player.mp = 11;
    player.maxmp = 12;
    player.money = INT_MIN;
    Run(".let " + c.let + "\n");
    EXPECT_EQ(
        (std::vector<int32_t>{player.hp, player.maxhp, player.mp, player.maxmp, player.money}),
        (std::vector<int32_t>{c.hp, c.maxhp, c.mp, c.maxmp, c.money}))
        << c.let;
  }
  EXPECT_TRUE(host->boxes.empty());
}

TEST_F(VariablesTest, ReadOnlyBuiltinsReadButAreNotAssigned) {
  player.result = 2;
  player.stock.count = 3;
  player.deck.count = 4;
  player.collection[2] = player.collection[50] = 1;
  player.collection[0] = 1;  // belongs to no card
  // clang-format off
  const struct { const char* name; int32_t value; bool readOnly; } cases[] = {
      {"result", 2, true},      {"nstock", 3, true},  {"ndeck", 4, true},
      {"ncollection", 2, true}, {"weekday", 4, true}, {"year", 2026, false},
      {"month", 1, false},      {"day", 15, false}};
  // clang-format on
  for (const auto& c : cases) {
    const std::string name = c.name;
    host->boxes.clear();
    std::string script = ".let a = " + name + "\n";
    if (c.readOnly) script += ".let " + name + " = 9\n";
    script += ".let b = " + name + "\n";
    Run(script);
    EXPECT_EQ(std::pair(Int("a"), Int("b")), std::pair(c.value, c.value)) << name;
    EXPECT_EQ(BoxTexts(), std::vector<std::string>(c.readOnly ? 1 : 0, kNoTarget)) << name;
  }
  Run(".let nosuch = 1\n");
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kNoTarget});
}

TEST_F(VariablesTest, DateWritesNormaliseTheCalendarAndRecomputeTheMaxima) {
  player.collection[1] = player.collection[7] = 1;
  // 2026-02-01, a Sunday
  // a leap year
  // clang-format off
  const struct { std::string lets; int year, mon, mday, wday, yday, maxhp; } cases[] = {
      {"day = 32", 126, 1, 1, 0, 31, 40},
      {"month = 13", 127, 0, 1, 5, 0, 20},
      {"year = 2028\n.let month = 2\n.let day = 30", 128, 2, 1, 3, 60, 60}};
  // clang-format on
  for (const auto& c : cases) {
    player.hp = player.mp = 1;
    Run(".let " + c.lets + "\n");
    const auto& d = player.date;
    EXPECT_EQ((std::vector<int>{d.year, d.mon, d.mday, d.wday, d.yday}),
              (std::vector<int>{c.year, c.mon, c.mday, c.wday, c.yday}))
        << c.lets;
    EXPECT_EQ((std::vector<int32_t>{player.hp, player.maxhp, player.mp, player.maxmp}),
              (std::vector<int32_t>{c.maxhp, c.maxhp, c.maxhp / 10, c.maxhp / 10}))
        << c.lets;
  }
}

// Leaves a pattern on the stack where the next calls will put their buffers.
[[gnu::noinline]] void DirtyTheStack() {
  volatile char junk[16384];
  for (size_t i = 0; i < sizeof junk; ++i) junk[i] = 0x5A;
}

TEST_F(VariablesTest, StringsTakeTheNextTokenAsWrittenAndNothingAfterIt) {
  Run(".let s = \"two words\" more\n.let u = [money]\n");
  EXPECT_EQ(Str("s"), "two words");
  EXPECT_EQ(Str("u"), "[money]");
  // A save file holds the whole field: two saves of one game must not differ.
  DirtyTheStack();
  Run(".let s = \"ab\"\n");
  const StrVariable* s = FindStrVariable("s");
  ASSERT_NE(s, nullptr);
  for (size_t i = 2; i < sizeof s->value; ++i) ASSERT_EQ(s->value[i], 0) << "byte " << i;
}

TEST_F(VariablesTest, BracketsAreReplacedOnceWithTrailBytesNeverTakenForBrackets) {
  player.money = 1500;
  Run(".let a = -3\n.let s = \"x y\"\n.let u = [money]\n");
  // "ー" is 0x81 0x5B, its trail byte a "["; "゜" 0x81 0x5E, its trail a "^".
  const std::pair<std::string, std::string> cases[] = {
      {"You have [money] gold", "You have 1500 gold"},
      {"[a]/[s]/[007]/[+4x]", "-3/x y/7/4"},
      {"[a^b] [nosuch]", "a^b nosuch"},
      {"]x]", "]x]"},
      {"]a[money]b]", "]a1500b]"},
      {"[[money]]", "[1500]"},
      {"[u]", "[money]"},  // a replacement is not expanded again
      {Sjis("ーmoney]"), Sjis("ーmoney]")},
      {Sjis("[ー]"), Sjis("ー")},
      {Sjis("[money゜]"), Sjis("money゜")},
  };
  for (const auto& [text, expanded] : cases) EXPECT_EQ(Expand(text), expanded) << text;
  EXPECT_TRUE(host->boxes.empty());
  // What does not fit the line is cut at a whole character, with a message.
  std::string kana;
  for (int i = 0; i < 60; ++i) kana += Sjis("あ");
  Run(".let s = " + std::string(150, 'x') + "\n");
  EXPECT_EQ(Expand("[s]" + kana), std::string(150, 'x') + kana.substr(0, 104));
  ASSERT_EQ(BoxTexts().size(), 1u);
  EXPECT_EQ(BoxTexts()[0].rfind("変数の展開結果が行に収まりません\nFile : ", 0), 0u);
}

TEST_F(VariablesTest, RandomAssignmentDrawsFromTheRangeAndAssignsAsLet) {
  SeedRandom(1);  // 41, 18467, 6334, 26500 ...
  Run(".rnd a = 1 to 6\n.rnd b = 10 - 10\n.rnd c , -5 , 5\n.rnd hp = 1 to 100\n");
  EXPECT_EQ(Int("a"), 1 + 41 % 6);
  EXPECT_EQ(Int("b"), 10);
  EXPECT_EQ(Int("c"), -5 + 6334 % 11);
  EXPECT_EQ(player.hp, 0);  // written by the rule of "hp"
  EXPECT_TRUE(host->boxes.empty());
  Run(".rnd a = 5 to 4\n.rnd result = 1 to 2\n");
  EXPECT_EQ(Int("a"), 1 + 41 % 6);
  EXPECT_EQ(BoxTexts(),
            (std::vector<std::string>{
                "乱数の範囲が空です（下限が上限より大きい）\nFile : start\nLine : 1", kNoTarget}));
}

}  // namespace
