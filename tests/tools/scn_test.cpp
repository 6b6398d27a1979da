// The scenario checker: what it lets through is what the game can read, and
// every mistake it finds is named by file and line.
#include "scn.h"

#include <gtest/gtest.h>

#include "script/reader.h"
#include "support/game_fixture.h"

namespace {

using scn_tool::Compile;
using scn_tool::Source;

std::vector<std::string> Errors(const std::vector<Source>& sources) {
  return Compile(sources).errors;
}

TEST(ScenarioTool, ConvertsToShiftJisAndKeepsEveryLine) {
  const auto r = Compile({{"start", "start.scn", "# 最初\n:top\n\t.jmp :top\n表示\n"}});
  ASSERT_TRUE(r.errors.empty()) << r.errors[0];
  ASSERT_EQ(r.output.size(), 1u);
  EXPECT_EQ(r.output[0], "# \x8D\xC5\x8F\x89\n:top\n\t.jmp :top\n\x95\x5C\x8E\xA6\n");
}

TEST(ScenarioTool, NamesEachMistakeByFileAndLine) {
  EXPECT_EQ(Errors({{"s", "a/s.scn", "ok\n.lod back x\n"}}),
            std::vector<std::string>{"a/s.scn:2: unknown command .lod"});
  EXPECT_EQ(Errors({{"s", "s.scn", "\n😀\n"}}),
            std::vector<std::string>{"s.scn:2: \"😀\" has no Shift-JIS form"});
  EXPECT_EQ(
      Errors({{"s", "s.scn", std::string(200, 'x') + "あいうえお" + std::string(50, 'y') + "\n"}}),
      std::vector<std::string>{"s.scn:1: the line is 260 bytes in Shift-JIS; the game reads at "
                               "most 254 and would split it"});
  EXPECT_EQ(Errors({{"s", "s.scn", ".slt add \"open text :x\n"}}).front(),
            "s.scn:1: a double quote is not closed");
  EXPECT_EQ(Errors({{"s", "s.scn", ".sub other 10\n"}, {"other", "other.scn", ""}}),
            std::vector<std::string>{"s.scn:1: the return slot must be 0 to 9"});
}

// The checker takes its limits and names from the game itself: a variable
// name is measured in Shift-JIS bytes, the writable built-ins are the game's,
// and a quoted token ending in a 0x5C trail byte closes as the game sees it.
TEST(ScenarioTool, SharesTheGamesRulesForNamesAndTokens) {
  std::string fifty, sixtyFour;
  for (int i = 0; i < 25; ++i) fifty += "あ";
  for (int i = 0; i < 32; ++i) sixtyFour += "あ";
  EXPECT_TRUE(Errors({{"config", "config.scn", ".int " + fifty + "\n"},
                      {"s", "s.scn", ".let " + fifty + " 1\n"}})
                  .empty());
  EXPECT_EQ(Errors({{"config", "config.scn", ".int " + sixtyFour + "\n"}}),
            std::vector<std::string>{"config.scn:1: the variable name " + sixtyFour +
                                     " is longer than 63 bytes in Shift-JIS"});
  EXPECT_TRUE(Errors({{"s", "s.scn", ".let money 5\n.let hp 1\n"}}).empty());
  EXPECT_EQ(Errors({{"s", "s.scn", ".let weekday 1\n"}}),
            std::vector<std::string>{"s.scn:1: \"weekday\" is no variable that can be assigned"});
  EXPECT_TRUE(Errors({{"s", "s.scn", ".slt add \"ソ\" :x\n:x\n"}}).empty());
}

class ScenarioToolAndGame : public GameTest {
 protected:
  // The lines the game's reader gives for a file.
  std::vector<std::string> GameLines(const std::string& sjis) {
    WriteData("s.scn", sjis);
    if (!host) MakeHost();
    std::vector<std::string> lines;
    if (!OpenScenario("s")) return lines;
    while (ReadLine()) lines.emplace_back(scn.LineBuffer);
    CloseScenario();
    return lines;
  }
};

TEST_F(ScenarioToolAndGame, LinesUpTo254BytesPassAndTheGameReadsThemWhole) {
  const std::string longest(254, 'x');
  const auto ok = Compile({{"s", "s.scn", longest + "\nnext\n"}});
  ASSERT_TRUE(ok.errors.empty());
  EXPECT_EQ(GameLines(ok.output[0]), (std::vector<std::string>{longest + "\n", "next\n"}));
  EXPECT_TRUE(Errors({{"s", "s.scn", std::string(250, 'x') + "表示\n"}}).empty());

  // One byte more and the game splits off the line feed as a line of its own.
  const std::string tooLong(255, 'x');
  EXPECT_EQ(Errors({{"s", "s.scn", tooLong + "\n"}}),
            std::vector<std::string>{"s.scn:1: the line is 255 bytes in Shift-JIS; the game reads "
                                     "at most 254 and would split it"});
  EXPECT_EQ(GameLines(tooLong + "\nnext\n"), (std::vector<std::string>{tooLong, "\n", "next\n"}));
  EXPECT_EQ(Errors({{"s", "s.scn", std::string(251, 'x') + "表示\n"}}).size(), 1u);
}

TEST(ScenarioTool, AssignmentsNeedADeclaredOrWritableName) {
  const std::vector<Source> ok = {
      {"config", "config.scn", "# vars\n.int coins\n.str guest\n"},
      {"start", "start.scn",
       ".let coins = 1\n.let guest = x\n.let money = 5\n.rnd coins = 1 , 6\n"}};
  EXPECT_TRUE(Errors(ok).empty());
  EXPECT_EQ(
      Errors({{"config", "config.scn", ".int coins\n"},
              {"start", "start.scn", ".let coin = 1\n.let result = 2\n"}}),
      (std::vector<std::string>{"start.scn:1: \"coin\" is no variable that can be assigned",
                                "start.scn:2: \"result\" is no variable that can be assigned"}));
}

// The card, arts and strong commands do nothing, silently, for a word or a
// number the game does not know; the checker names each such line.
TEST(ScenarioTool, CardArtsAndStrongWordsAndNumbersAreChecked) {
  const std::vector<Source> ok = {
      {"config", "config.scn", ".int owned card\n.str title\n"},
      {"start", "start.scn",
       ".card add deck 1 3\n.card sub stock 50 [card]\n.card num collection card owned\n"
       ".card num deck +7 money\n.card info name [card] title\n.card info attribute 2 owned\n"
       ".card dump stock 200\n.card add deck card -1\n.arts add attack 70\n"
       ".arts add attack card\n.strong begin\n.strong end\n.svd\n.init\n"}};
  EXPECT_TRUE(Errors(ok).empty()) << Errors(ok)[0];
  const std::string lines =
      ".card give deck 1 1\n.card add hand 1 1\n.card dump collection 2\n"
      ".card num pocket 1 n\n.card info colour 1 n\n.card add deck 0 1\n"
      ".card sub stock 51 1\n.card num deck -3 n\n.card add deck 5\n.card dump deck\n"
      ".card info name 1\n.card num deck 1 ndeck\n.card info name 1 nosuch\n"
      ".arts learn attack 1\n.arts add defence 1\n.arts add attack 71\n.arts add attack\n"
      ".strong on\n.strong\n.card\n";
  const std::string fields = "(name, description, attribute)";
  EXPECT_EQ(Errors({{"config", "config.scn", ".int n\n"}, {"s", "s.scn", lines}}),
            (std::vector<std::string>{
                "s.scn:1: \".card\" has no sub-command \"give\" (add, sub, num, info, dump)",
                "s.scn:2: \".card add\" has no list \"hand\" (deck, stock)",
                "s.scn:3: \".card dump\" has no list \"collection\" (deck, stock)",
                "s.scn:4: \".card num\" has no list \"pocket\" (deck, stock, collection)",
                "s.scn:5: \".card info\" has no field \"colour\" " + fields,
                "s.scn:6: card 0 is outside 1 to 50",
                "s.scn:7: card 51 is outside 1 to 50",
                "s.scn:8: card -3 is outside 1 to 50",
                "s.scn:9: \".card add\" needs a list, a card and a count",
                "s.scn:10: \".card dump\" needs a list and a count",
                "s.scn:11: \".card info\" needs a field, a card and a variable",
                "s.scn:14: \".arts\" knows only \"add\", not \"learn\"",
                "s.scn:15: \".arts add\" knows only \"attack\", not \"defence\"",
                "s.scn:16: attack art 71 is outside 1 to 70",
                "s.scn:17: \".arts add attack\" needs an art number",
                "s.scn:18: \".strong\" takes begin or end, not \"on\"",
                "s.scn:19: \".strong\" takes begin or end, not \"\"",
                "s.scn:20: \".card\" has no sub-command \"\" (add, sub, num, info, dump)",
                "s.scn:12: \"ndeck\" is no variable that can be assigned",
                "s.scn:13: \"nosuch\" is no variable that can be assigned",
            }));
}

TEST(ScenarioTool, BattleArgumentsAreCountedAndTheirRangesChecked) {
  const auto r = Compile(
      {{"config", "config.scn", ".int level\n"},
       {"s", "s.scn",
        ".battle fg\\foe 300 300 40 40 1 foe 1 5 2\n.battle [who] level 9 0 0 level deck 0 6 1\n"
        ".battle fg\\foe 300 300 40 40 1 foe 1 5\n.battle f 1 1 1 1 4 d 0 5 1\n"
        ".battle f 1 1 1 1 3 d 0 7 1\n.battle f 1 1 1 1 3 d 0 0 1\n.battle f 1 1 1 1 3 d 0 6 "
        "3\n"}});
  EXPECT_EQ(r.errors, (std::vector<std::string>{
                          "s.scn:3: \".battle\" needs ten arguments: face, HP, max HP, MP, max "
                          "MP, style, deck, shuffle, hand size and kind",
                          "s.scn:4: the opponent's style 4 is outside 1 to 3",
                          "s.scn:5: the hand size 7 is outside 1 to 6",
                          "s.scn:6: the hand size 0 is outside 1 to 6",
                      }));
  EXPECT_EQ(r.warnings,
            (std::vector<std::string>{
                "s.scn:7: battle kind 3 has no background and no music (1 or 2 have)"}));
}

TEST(ScenarioTool, CaseBlocksMustClose) {
  EXPECT_EQ(Errors({{"s", "s.scn", ".cas 1\n.== 1\n.cas 2\n.\n"}}),
            std::vector<std::string>{"s.scn:1: this \".cas\" block has no closing \".\""});
  EXPECT_EQ(Errors({{"s", "s.scn", ".\n"}}),
            std::vector<std::string>{"s.scn:1: \".\" closes no \".cas\" block"});
  EXPECT_TRUE(Errors({{"s", "s.scn", ".cas 1\n.== 1\n.cas 2\n.els\n.\n.skp\n.\n"}}).empty());
}

TEST(ScenarioTool, JumpTargetsAreFoundAcrossFiles) {
  const std::vector<Source> two = {
      {"start", "start.scn", ".jmp town:gate\n.sub town:shop 1\n.slt add 戻る :back\n:back\n"},
      {"town", "town.scn", ":gate\n:shop\n.sub exit 1\n.jmp start\n"}};
  EXPECT_TRUE(Errors(two).empty());
  EXPECT_EQ(Errors({{"start", "start.scn", ".jmp town:nowhere\n.jmp :gone\n.jmp [place]:x\n"},
                    {"town", "town.scn", ":gate\n"}}),
            (std::vector<std::string>{"start.scn:1: no label :nowhere in town",
                                      "start.scn:2: no label :gone in start"}));
  EXPECT_EQ(Errors({{"s", "s.scn", ".jmp elsewhere\n"}}),
            std::vector<std::string>{"s.scn:1: no scenario \"elsewhere\""});
  // A label twice is allowed (the first is found) but worth a warning.
  const auto r = Compile({{"s", "s.scn", ":a\n:a\n"}});
  EXPECT_TRUE(r.errors.empty());
  EXPECT_EQ(r.warnings.size(), 1u);
}

}  // namespace
