// The scenario checker: what it lets through is what the game can read (its
// line limit is the reader's, 254 bytes), and every mistake it finds is named
// by file and line.
#include "scn.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "data_folder.h"
#include "shell/data_files.h"
#include "support/files.h"

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

// A built data folder holding every file the engine loads by itself, a
// few the test scenarios name (one in other case, one song packed) and a
// scenario of its own with a label.
class ScenarioData : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const DataFile& f : EngineDataFiles()) {
      std::string name = f.name;
      if (const size_t each = name.find("%d"); each != std::string::npos)
        for (int n = 1; n <= 50; ++n)
          Touch(name.substr(0, each) + std::to_string(n) + name.substr(each + 2));
      else
        Touch(name);
    }
    for (const char* name :
         {"bg.K16", "BF\\Foe.k16", "foe.dec", "se\\ding.wav", "bgm\\song.mid", "bgm\\packed.dpa"})
      Touch(name);
    Touch("other.scn", ":there\n");
  }
  void Touch(std::string name, const std::string& text = "") {
    for (char& c : name)
      if (c == '\\') c = '/';
    const auto path = dir_.path() / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  scn_tool::Result Check(const std::string& text, const std::string& name = "s") {
    const scn_tool::DataFolder data(dir_.path().string());
    return Compile({{"config", "config.scn", ".int n\n.str s\n"}, {name, name + ".scn", text}},
                   &data);
  }
  ScopedTempDir dir_{"scn_data_test_"};
};

// What the game finds and knows passes: files in any case, a song found
// packed, a label of the folder's own scenario, declared and built-in names.
TEST_F(ScenarioData, WhatTheGameFindsPasses) {
  const auto r = Check(
      ".load back bg\n.load face1 bf\\foe\n.show msg4\n.hide date\n.msg 4\n.update 9\n"
      ".wav se\\DING 2\n.mid bgm\\song 1\n.mid bgm\\packed 0\n.bgm 1 bgm\\song 0\n.bgm stop\n"
      ".battle bf\\foe 1 1 1 1 1 foe 0 5 1\n.jmp other:there\n.let n = n + hp * 2\n"
      ".let s = [n]\n[hp][n][s][^x][3] and [load[n]]\n.wat n\n.cas n\n.== 1\n.\n.tcl 1\n"
      ".load back [s]\n.wav stop\n");
  EXPECT_EQ(r.errors, Lines{});
  EXPECT_EQ(r.warnings, Lines{});
}

TEST_F(ScenarioData, NamesEachMistakeByFileAndLine) {
  const std::string layers = "(back, place, face1, face2, msg1, msg2, msg3, msg4, date)";
  const std::string notNumber = "\"abc\" is neither a number nor an integer variable";
  const std::pair<std::string, std::string> cases[] = {
      {"\n.load back nothere\n", "2: no picture \"nothere.K16\""},
      {".load date bg\n", "1: \".load\" has no layer \"date\" (back, place, face1, face2)"},
      {".show msg5\n", "1: \".show\" has no layer \"msg5\" " + layers},
      {".hide 7\n", "1: \".hide\" has no layer \"7\" " + layers},
      {".msg 9\n", "1: there is no message window 9 (1 to 4)"},
      {".wav se\\dong 0\n", "1: no wave \"se\\dong.wav\""},
      {".wav se\\ding 3\n", "1: \".wav\" has no mode 3 (0 to 2)"},
      {".mid bgm\\none 0\n", "1: no song \"bgm\\none.mid\""},
      {".mid bgm\\song 2\n", "1: \".mid\" has no mode 2 (0 to 1)"},
      {".battle fg\\who 1 1 1 1 1 foe 0 5 1\n", "1: no face picture \"fg\\who.K16\""},
      {".battle bf\\foe 1 1 1 1 1 nodeck 0 5 1\n", "1: no deck \"nodeck.dec\""},
      {".battle bf\\foe abc 1 1 1 1 foe 0 5 1\n", "1: " + notNumber},
      {".jmp other:gone\n", "1: no label :gone in other"},
      {"[nobody] waves\n",
       "1: [nobody] is no variable: not declared in config.scn and not built in"},
      {".wav se\\[who] 0\n",
       "1: [who] is no variable: not declared in config.scn and not built in"},
      {".let n = \"abc\"\n", "1: " + notNumber},
      {".let money = s\n", "1: \"s\" is a string variable where a number is read"},
      {".wat abc\n", "1: " + notNumber},
      {".cas n\n.== abc\n.\n", "2: " + notNumber},
      {".rnd n = 1 , abc\n", "1: " + notNumber},
      {".card add deck 1 abc\n", "1: " + notNumber},
      {".msg s\n", "1: \"s\" is a string variable where a number is read"},
      {".clk 1\n", "1: \".clk 1\" does nothing (0 waits)"},
      {".tcl 2\n", "1: \".tcl 2\" does nothing (.tcl: 0 waits and clears, 1 clears)"},
  };
  for (const auto& [text, error] : cases) {
    const auto r = Check(text);
    EXPECT_EQ(r.errors, Lines{"s.scn:" + error}) << text;
    EXPECT_TRUE(r.output.empty());
  }
  std::filesystem::remove(dir_.path() / "source2.K16");
  std::filesystem::remove(dir_.path() / "cardl" / "cardl17.K16");
  EXPECT_EQ(
      Check("").errors,
      (Lines{dir_.path().string() + ": no source2.K16 (the battle's interface sheet)",
             dir_.path().string() + ": no cardl\\cardl17.K16 (the large picture of each card)"}));
}

// Warnings: a transition that shows nothing; text measured with the game's
// own windows, in the window the file last chose (window 1 at the start).
TEST_F(ScenarioData, WarnsOfWhatShowsNothing) {
  std::string wide;
  for (int i = 0; i < 30; ++i) wide += "あ";
  const std::pair<std::string, std::string> cases[] = {
      {".update 99\n", "s.scn:1: transition 99 shows nothing (0 to 9 do)"},
      {"a\nb\nc\nd\ne\n.clk\nf\n",
       "start.scn:7: the text runs past the last of window 1's 5 lines and is not shown (clear it "
       "with .tcl)"},
      {".msg 3\na\\nb\\nc!n\nd\ne\nf\n",
       "start.scn:5: the text runs past the last of window 3's 4 "
       "lines and is not shown (clear it with .tcl)"},
      {wide + "\n", "start.scn:1: the text is wider than a line of window 1 and wraps"},
      {".slt add a :x\n.slt add b :x\n.msg 3\na\nb\nc\n.slt exec\n:x\n",
       "start.scn:7: the choices run past the last of window 3's 4 lines and are not shown"},
  };
  for (const auto& [text, warning] : cases) {
    const auto r = Check(text, warning.rfind("start", 0) == 0 ? "start" : "s");
    EXPECT_EQ(r.errors, Lines{}) << text;
    EXPECT_EQ(r.warnings, Lines{warning}) << text;
  }
  // One branch of a case block runs: the longest counts, not their sum.
  const std::string branches = ".cas n\n.== 1\na\nb\nc\n.els\nd\n.\n";
  EXPECT_EQ(Check(branches + "x\ny\n", "start").warnings, Lines{});
  EXPECT_EQ(Check(branches + "x\ny\nz\n", "start").warnings,
            Lines{"start.scn:11: the text runs past the last of window 1's 5 lines and is not "
                  "shown (clear it with .tcl)"});
  // Cleared, in a window no longer known, or short enough: nothing.
  EXPECT_EQ(Check("a\nb\nc\nd\ne\n.tcl\nf\n.msg [n]\n" + wide + "\n", "start").warnings, Lines{});
  EXPECT_EQ(Check(wide + "\n").warnings, Lines{});  // a scenario jumped to: window unknown
}

// A content folder: game names mapped to the sources the build makes them
// from, copies.txt naming a file made as a copy of another.
TEST(ScenarioContent, FindsTheSourcesOfGameFiles) {
  const ScopedTempDir dir("scn_content_test_");
  const auto touch = [&](const std::string& name, const std::string& text = "") {
    const auto path = dir.path() / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  };
  for (const char* name :
       {"art/bg.art", "art/fg/b_foe.art", "music/packed/tension.abc", "music/town.abc",
        "music/bmid/card2.abc", "sfx/bell.sfx", "sfx/bwav/Sute.sfx", "decks/foe.txt",
        "scenario/other.scn", "database/database.txt", "art/face_mio.art"})
    touch(name);
  touch("copies.txt", "# a comment\nfg\\tavrin.k16 face_mio.K16\n");
  const scn_tool::DataFolder data(dir.path().string());
  ASSERT_TRUE(data.IsContent());
  const char* found[] = {"BG.K16",           "fg\\b_foe.K16",   "bgm\\tension.dpa",
                         "bgm\\town.mid",    "bmid\\card2.mid", "se\\bell.wav",
                         "bwav\\sute.wav",   "foe.dec",         "other.scn",
                         "CardData.dat",     "fg\\tavrin.k16",  "cards\\cards50.K16",
                         "cardl\\cardl1.K16"};
  for (const char* name : found) EXPECT_TRUE(data.Has(name)) << name;
  EXPECT_TRUE(data.HasSong("bgm\\tension.mid"));
  const char* missing[] = {
      "bg2.K16",           "bgm\\bell.mid", "se\\town.wav", "cards\\cards51.K16",
      "cards\\cards0.K16", "fg\\bg.K16",    "bar.dec",      "x.dat"};
  for (const char* name : missing) EXPECT_FALSE(data.Has(name)) << name;
}

}  // namespace
