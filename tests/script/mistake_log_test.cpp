// Every mistake the game lets an author make gets one line in the log, with
// the scenario and the line, and the boxes the game has always shown stay.
// Each row is a one-line story with one mistake, played by the whole program.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/posix/host_files.h"
#include "support/battle_fixture.h"

namespace {

class MistakeLogTest : public battle_test::BattleRunTest {
 protected:
  // The warnings of the run that name a place in a scenario.
  std::vector<std::string> PlacedWarnings() const {
    std::vector<std::string> out;
    for (const std::string& t : host->traces) {
      const std::string line = posix::SjisToUtf8(t.c_str());
      if (line.find(".scn:") != std::string::npos) out.push_back(line);
    }
    return out;
  }
};

TEST_F(MistakeLogTest, EachMistakeIsOneLineWithItsPlaceAndTheBoxesStay) {
  WriteData("config.scn", ".int n\n.str s\n");
  WriteDeck("empty.dec", {});
  // The battle's own effects, so that only the row's mistake is told.
  for (const char* wave : {"bwav/Sute.wav", "bwav/Scroll.wav"}) WriteData(wave, "RIFF");
  const std::string six = "1\n2\n3\n4\n5\n6\n";
  const std::string battle = ".card add deck 1 20\n.battle fg\\foe 300 300 40 40 1 ";
  // clang-format off
  const struct { std::string story; std::vector<std::string> lines; size_t boxes; } rows[] = {
      {".load back backk\n", {"start.scn:1: no picture \"backk.K16\""}, 1},
      {".load msg1 bg\n",
       {"start.scn:1: layer \"msg1\" holds no picture (back, place, face1 and face2 do)"}, 0},
      {"\n.show msg7\n",
       {"start.scn:2: no layer \"msg7\" (layers: back place face1 face2 msg1 msg2 msg3 msg4 date)"},
       0},
      {".msg 9\n", {"start.scn:1: no window 9 (windows are 1 to 4): .msg ignored"}, 0},
      {".update 99\n",
       {"start.scn:1: no transition 99 (0 to 9): the scene is composed but not shown"}, 0},
      {".foo\n", {"start.scn:1: no command \".foo\""}, 1},
      {".jmp nowhere\n", {"start.scn:1: no scenario \"nowhere.scn\""}, 1},
      {".jmp :away\n", {"start.scn:1: no label \":away\" in \"start.scn\""}, 1},
      {".sub :x 12\n", {"start.scn:1: no .sub slot 12 (slots are 0 to 9)"}, 1},
      {"\n.cas 1\n.== 2\n",
       {"start.scn:2: no \".\" closes this block before the end of the file"}, 1},
      {".msg \"1\n", {"start.scn:1: quote not closed: \"1"}, 1},
      {"Hello [nobody]\n", {"start.scn:1: no variable \"nobody\": [nobody] shows its name"}, 0},
      {".wat abc\n", {"start.scn:1: no variable \"abc\" (a number is read here)"}, 1},
      {".let n = \"abc\"\n", {"start.scn:1: no variable \"abc\" (a number is read here)"}, 1},
      {".let n = s\n", {"start.scn:1: variable \"s\" holds text, not a number"}, 1},
      {".let m = 1\n", {"start.scn:1: no variable \"m\" to assign to"}, 1},
      {".let ndeck = 1\n", {"start.scn:1: variable \"ndeck\" is read-only"}, 1},
      {".wav gone 0\n", {"start.scn:1: no wave \"gone.wav\""}, 0},
      {".mid gone 0\n", {"start.scn:1: song \"gone.mid\" not played: it cannot be opened"}, 0},
      {".card add stock 99 1\n",
       {"start.scn:1: no card 99 (cards are 1 to 50): .card ignored"}, 0},
      {".arts add attack 99\n",
       {"start.scn:1: no attack art 99 (arts are 1 to 70): .arts ignored"}, 0},
      {six, {"start.scn:6: text past the last line of window 1 (5 lines): not shown; clear "
               "it first with .tcl"}, 0},
      {battle + "gone 0 5 0\n",
       {"start.scn:2: no deck \"gone.dec\" (for the opponent): the last deck read is used"}, 0},
      {battle + "empty 0 5 0\n",
       {"start.scn:2: the opponent's deck \"empty.dec\" holds no cards"}, 0},
      {".battle fg\\foe 300 300 40 40 1 foe 0 5 0\n",
       {"start.scn:1: the player's deck is empty"}, 0},
      {".card add deck 1 20\n.battle fg\\nobody 300 300 40 40 1 foe 0 5 0\n",
       {"start.scn:2: no picture \"fg\\nobody.K16\" (for the opponent's face)"}, 1},
  };
  // clang-format on
  for (const auto& row : rows) {
    ResetGameState();
    WriteData("start.scn", row.story);
    MakeHost();
    RunGame();
    EXPECT_EQ(PlacedWarnings(), row.lines) << row.story;
    EXPECT_EQ(host->boxes.size(), row.boxes) << row.story;
  }
}

// Outside a scenario a line is the problem alone; a mistake made again and
// again (in a loop) is told once.
TEST_F(MistakeLogTest, StartUpLinesHaveNoPlaceAndARepeatedMistakeIsToldOnce) {
  WriteData("start.scn", ":loop\n.msg 9\n.let n = n + 1\n.cas n\n.< 5\n.jmp :loop\n.\n");
  WriteData("config.scn", ".int n\n");
  MakeHost();
  RunGame();
  std::vector<std::string> warnings;
  for (const std::string& t : host->traces) warnings.push_back(posix::SjisToUtf8(t.c_str()));
  const auto count = [&](const std::string& line) {
    return std::count(warnings.begin(), warnings.end(), line);
  };
  EXPECT_EQ(count("no picture \"numbig.K16\" (for a number font)"), 1);
  EXPECT_EQ(count("start.scn:2: no window 9 (windows are 1 to 4): .msg ignored"), 1);
}

}  // namespace
