// The scenario checker: what it lets through is what the game can read (its
// line limit is the reader's, 254 bytes), and every mistake it finds is named
// by file and line.
#include "scn.h"

#include <gtest/gtest.h>

namespace {

using scn_tool::Compile;
using scn_tool::Source;
using Lines = std::vector<std::string>;

Lines Errors(const std::vector<Source>& sources) { return Compile(sources).errors; }
// One scenario s.scn beside a config.scn that declares `vars`.
Lines Errors(const std::string& text, const std::string& vars = "") {
  return Errors({{"config", "config.scn", vars}, {"s", "s.scn", text}});
}

TEST(ScenarioTool, ConvertsToShiftJisAndKeepsEveryLine) {
  const auto r = Compile({{"start", "start.scn", "# 最初\n:top\n\t.jmp :top\n表示\n"}});
  ASSERT_TRUE(r.errors.empty()) << r.errors[0];
  EXPECT_EQ(r.output, Lines{"# \x8D\xC5\x8F\x89\n:top\n\t.jmp :top\n\x95\x5C\x8E\xA6\n"});
}

// What passes: declared and writable names (measured in Shift-JIS bytes),
// every word and number the card, arts, strong and battle commands know,
// closed case blocks, labels found across files, a quoted token ending in a
// 0x5C trail byte closed as the game sees it.
TEST(ScenarioTool, WhatTheGameReadsPasses) {
  std::string fifty;
  for (int i = 0; i < 25; ++i) fifty += "あ";
  const std::string ok[] = {
      ".let " + fifty +
          " 1\n.let coins = 1\n.let guest = x\n.let money = 5\n.let hp 1\n"
          ".rnd coins = 1 , 6\n.slt add \"ソ\" :x\n:x\n",
      std::string(".card add deck 1 3\n.card sub stock 50 [card]\n.card num collection card owned\n"
                  ".card num deck +7 money\n.card info name [card] guest\n"
                  ".card info attribute 2 owned\n.card dump stock 200\n.card add deck card -1\n"
                  ".arts add attack 70\n.arts add attack card\n.strong begin\n.strong end\n"
                  ".svd\n.init\n"),
      ".battle fg\\foe 300 300 40 40 1 foe 1 5 2\n.battle [who] coins 9 0 0 coins deck 0 6 1\n",
      ".cas 1\n.== 1\n.cas 2\n.els\n.\n.skp\n.\n",
      std::string(254, 'x') + "\n" + std::string(250, 'x') + "表示\n",
  };
  for (const std::string& text : ok)
    EXPECT_EQ(Errors(text, ".int coins owned card " + fifty + "\n.str guest\n"), Lines{}) << text;
  EXPECT_EQ(Errors({{"start", "start.scn",
                     ".jmp town:gate\n.sub town:shop 1\n.slt add 戻る :back\n:back\n"},
                    {"town", "town.scn", ":gate\n:shop\n.sub exit 1\n.jmp start\n"}}),
            Lines{});
}

TEST(ScenarioTool, NamesEachMistakeByFileAndLine) {
  std::string sixtyFour;
  for (int i = 0; i < 32; ++i) sixtyFour += "あ";
  const std::string fields = "(name, description, attribute)";
  const std::pair<std::string, std::string> cases[] = {
      {"ok\n.lod back x\n", "2: unknown command .lod"},
      {"\n😀\n", "2: \"😀\" has no Shift-JIS form"},
      {std::string(200, 'x') + "あいうえお" + std::string(50, 'y') + "\n",
       "1: the line is 260 bytes in Shift-JIS; the game reads at most 254 and would split it"},
      {std::string(255, 'x') + "\n",
       "1: the line is 255 bytes in Shift-JIS; the game reads at most 254 and would split it"},
      {".sub s 10\n", "1: the return slot must be 0 to 9"},
      {".let weekday 1\n", "1: \"weekday\" is no variable that can be assigned"},
      {".let coin = 1\n", "1: \"coin\" is no variable that can be assigned"},
      {".card give deck 1 1\n",
       "1: \".card\" has no sub-command \"give\" (add, sub, num, info, dump)"},
      {".card add hand 1 1\n", "1: \".card add\" has no list \"hand\" (deck, stock)"},
      {".card num pocket 1 n\n",
       "1: \".card num\" has no list \"pocket\" (deck, stock, collection)"},
      {".card info colour 1 n\n", "1: \".card info\" has no field \"colour\" " + fields},
      {".card add deck 0 1\n", "1: card 0 is outside 1 to 50"},
      {".card sub stock 51 1\n", "1: card 51 is outside 1 to 50"},
      {".card num deck -3 n\n", "1: card -3 is outside 1 to 50"},
      {".card add deck 5\n", "1: \".card add\" needs a list, a card and a count"},
      {".card dump deck\n", "1: \".card dump\" needs a list and a count"},
      {".card info name 1\n", "1: \".card info\" needs a field, a card and a variable"},
      {".card num deck 1 ndeck\n", "1: \"ndeck\" is no variable that can be assigned"},
      {".arts learn attack 1\n", "1: \".arts\" knows only \"add\", not \"learn\""},
      {".arts add defence 1\n", "1: \".arts add\" knows only \"attack\", not \"defence\""},
      {".arts add attack 71\n", "1: attack art 71 is outside 1 to 70"},
      {".arts add attack\n", "1: \".arts add attack\" needs an art number"},
      {".strong on\n", "1: \".strong\" takes begin or end, not \"on\""},
      {".battle fg\\foe 300 300 40 40 1 foe 1 5\n",
       "1: \".battle\" needs ten arguments: face, HP, max HP, MP, max MP, style, deck, shuffle, "
       "hand size and kind"},
      {".battle f 1 1 1 1 4 d 0 5 1\n", "1: the opponent's style 4 is outside 1 to 3"},
      {".battle f 1 1 1 1 3 d 0 7 1\n", "1: the hand size 7 is outside 1 to 6"},
      {".battle f 1 1 1 1 3 d 0 0 1\n", "1: the hand size 0 is outside 1 to 6"},
      {".cas 1\n.== 1\n.cas 2\n.\n", "1: this \".cas\" block has no closing \".\""},
      {".\n", "1: \".\" closes no \".cas\" block"},
      {".jmp :gone\n", "1: no label :gone in s"},
      {".jmp elsewhere\n", "1: no scenario \"elsewhere\""},
  };
  for (const auto& [text, error] : cases)
    EXPECT_EQ(Errors(text, ".int n\n"), Lines{"s.scn:" + error});
  EXPECT_EQ(Errors(".slt add \"open text :x\n").front(), "s.scn:1: a double quote is not closed");
  EXPECT_EQ(Errors({{"config", "config.scn", ".int " + sixtyFour + "\n"}}),
            Lines{"config.scn:1: the variable name " + sixtyFour +
                  " is longer than 63 bytes in Shift-JIS"});
  EXPECT_EQ(Errors({{"start", "a/start.scn", ".jmp town:nowhere\n.jmp [place]:x\n"},
                    {"town", "town.scn", ":gate\n"}}),
            Lines{"a/start.scn:1: no label :nowhere in town"});
  // Warnings, not errors: a label twice (the first is found), a battle kind
  // without background and music.
  EXPECT_EQ(Compile({{"s", "s.scn", ":a\n:a\n.battle f 1 1 1 1 3 d 0 6 3\n"}}).warnings.size(), 2u);
  EXPECT_EQ(Compile({{"s", "s.scn", ".battle f 1 1 1 1 3 d 0 6 3\n"}}).warnings,
            Lines{"s.scn:1: battle kind 3 has no background and no music (1 or 2 have)"});
}

}  // namespace
