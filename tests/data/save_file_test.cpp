// Save slot files: the snapshot's bytes at the offsets every file has, what
// is stored of a window line, and which files are refused before anything
// of theirs reaches the live state.
#include "data/save_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "battle/snapshot.h"
#include "data/player.h"
#include "graphics/image.h"
#include "graphics/textwindow.h"
#include "script/interpreter.h"
#include "script/presentation.h"
#include "script/reader.h"
#include "script/variables.h"
#include "sound/music.h"
#include "support/game_fixture.h"
#include "support/save_files.h"

namespace {

class SaveFileTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    MakeHost();
    CreateGlobalImages();
    SetupMessageWindows();
  }
  // A sentinel in both outputs, to see that a refusal leaves them alone.
  SlotState Read(int slot, int32_t ints, int32_t strs) {
    out = SaveSnapshot{};
    out.money = 4242;
    variables.assign(3, 9);
    return readSaveFile(slot, ints, strs, out, variables);
  }
  bool Untouched() const { return out.money == 4242 && variables == std::vector<uint8_t>(3, 9); }
  SaveSnapshot out{};
  std::vector<uint8_t> variables;
};

TEST_F(SaveFileTest, TheSnapshotLandsAtItsOffsetsAndLeavesTheRestAlone) {
  std::strcpy(scn.ScenarioName, "story");
  scn.LineNumber = 12;
  std::strcpy(interp.slots[9].scenario, "sub");
  interp.slots[9].line = 7;
  player.date = {1, 2, 3, 4, 5, 126, 6, 7, 1};
  player.strong = 1;
  player.money = 1500, player.maxhp = 300, player.hp = 250, player.maxmp = 30, player.mp = 20;
  player.result = 2;
  player.deck.count = 2, player.deck.cards[1] = 5, player.deck.cards[100] = 9;
  player.stock.count = 1, player.stock.cards[1] = 3, player.stock.cards[300] = 4;
  const char* pictures[] = {"backPicture", "placePicture", "face1Picture", "face2Picture"};
  for (int l = 0; l < 4; ++l) std::strcpy(scene.pictureName[l], pictures[l]);
  const int32_t shown[kLayerCount] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  std::memcpy(scene.shown, shown, sizeof shown);
  scene.CurrentWindow = 2;
  msgwin.window[1].Print("one\ntwo", 0);
  msgwin.window[2].Print("Q\nyes\nno\n", 0);  // two choices under the question: "Q" is stored
  scene.ChoiceCount = 2;
  scene.choices[1] = {"yes", ":y", 2, 1, 1, 2, 3, 4};
  scene.choices[20] = {"no", ":n", 3, 1, 5, 6, 7, 8};
  std::string twenty;
  for (int i = 1; i <= 20; ++i) twenty += "L" + std::to_string(i) + (i < 20 ? "\n" : "");
  msgwin.window[4].Print(twenty.c_str(), 0);
  std::strcpy(snd.CurrentMusic, "bgm\\town.mid");
  std::strcpy(snd.CurrentLoopSound, "se\\rain.wav");
  vars.ints.resize(2);
  vars.strs.resize(1);
  std::memset(static_cast<void*>(&snapshot), 0xEE, sizeof snapshot);
  takeSnapshot();

  FileImage e("slot", 0, '\xEE');  // what is never written stays as it was
  e.Text("scenario", "story").I32("line", 12);
  for (size_t k = 0; k < 10; ++k) e.Text("returnScenario", k == 9 ? "sub" : "", k);
  for (size_t k = 0; k < 10; ++k) e.I32("returnLine", k == 9 ? 7 : 0, k);
  const int32_t date[9] = {1, 2, 3, 4, 5, 126, 6, 7, 1};
  for (size_t f = 0; f < 9; ++f) e.I32("date", date[f], f);
  e.U8("strong", 1).I32("money", 1500).I32("maxhp", 300).I32("hp", 250).I32("maxmp", 30);
  e.I32("mp", 20).I32("result", 2).I32("deckCount", 2).I32("stockCount", 1);
  for (size_t i = 1; i <= 100; ++i) e.I32("deck", i == 1 ? 5 : i == 100 ? 9 : 0, i);
  for (size_t i = 1; i <= 300; ++i) e.I32("stock", i == 1 ? 3 : i == 300 ? 4 : 0, i);
  for (const char* p : pictures) e.Text(p, p);
  e.I32("backShown", 1).I32("face1Shown", 3).I32("face2Shown", 4).I32("placeShown", 2);
  for (size_t w = 0; w < 4; ++w) e.I32("msgShown", 5 + static_cast<int32_t>(w), w);
  e.I32("dateShown", 9).I32("currentWindow", 2);
  const int32_t counts[4] = {2, 1, 1, 19};  // window 4 has room for 19
  for (size_t w = 0; w < 4; ++w) e.I32("lineCount", counts[w], w);
  e.Text("lines1", "one\n", 1).Text("lines1", "two", 2);
  e.Text("lines2", "Q", 1).Text("lines3", "", 1);
  for (size_t i = 1; i <= 19; ++i)
    e.Text("lines4", "L" + std::to_string(i) + (i < 19 ? "\n" : ""), i);
  e.Text("music", "bgm\\town.mid").Text("loopWave", "se\\rain.wav").I32("choiceCount", 2);
  for (size_t i = 1; i <= 20; ++i) {
    const Choice& c = scene.choices[i];
    e.Text("choiceText", c.text, i).Text("choiceTarget", c.target, i).I32("choiceFirstLine", 0, i);
    e.I32("choiceLineCount", 0, i).I32("choiceLeft", c.left, i).I32("choiceTop", c.top, i);
    e.I32("choiceRight", c.right, i).I32("choiceBottom", c.bottom, i);
  }
  e.I32("intCount", 2).I32("strCount", 1);
  const auto* got = reinterpret_cast<const char*>(&snapshot);
  for (size_t at = 0; at < e.bytes.size(); ++at)
    ASSERT_EQ(got[at], e.bytes[at]) << "first difference at offset " << at;
}

TEST_F(SaveFileTest, LinesGetTheirLineFeedAndAreCutBeforeAWholeCharacter) {
  SaveSnapshot s{};
  StoreSavedLine(s, 1, 1, "first", false);
  StoreSavedLine(s, 1, 2, "last", true);
  EXPECT_STREQ(SavedLine(s, 1, 1), "first\n");
  EXPECT_STREQ(SavedLine(s, 1, 2), "last");
  // 2 + 39 two-byte characters = 80 bytes: with the line feed 79 fit, so the
  // last whole character ends at byte 78.
  std::string wide = "ab";
  for (int i = 0; i < 39; ++i) wide += "\x82\xA0";
  StoreSavedLine(s, 2, 3, wide.c_str(), false);
  EXPECT_EQ(std::string(SavedLine(s, 2, 3)), wide.substr(0, 78) + "\n");
  StoreSavedLine(s, 2, 4, wide.c_str(), true);
  EXPECT_EQ(std::string(SavedLine(s, 2, 4)), wide);
}

// Against live tables of 2 integers and 1 string: the file's own counts up
// to the live ones load, whatever follows the records; what would read past
// the file or write past the tables is refused.
TEST_F(SaveFileTest, SlotsLoadUpToTheLiveTablesAndNothingOutOfBounds) {
  constexpr size_t kWhole = 2 * 68 + 320;
  struct Case {
    const char* what;
    int32_t ints, strs;
    size_t variableBytes;
    const char* field;  // set to value, or nullptr
    int32_t value;
    SlotState expected;
  } cases[] = {
      {"as the game writes it", 2, 1, kWhole, nullptr, 0, SlotState::Ok},
      {"an integer declared since", 1, 1, 68 + 320, nullptr, 0, SlotState::Ok},
      {"no variables yet, bytes up to the bound", 0, 0, kWhole, nullptr, 0, SlotState::Ok},
      {"a byte after the records", 2, 1, kWhole + 1, nullptr, 0, SlotState::Ok},
      {"a page after fewer records", 1, 0, 68 + 4096, nullptr, 0, SlotState::Ok},
      {"the last record cut short", 2, 1, kWhole - 1, nullptr, 0, SlotState::Damaged},
      {"an integer more than declared", 3, 0, 3 * 68, nullptr, 0, SlotState::OtherCounts},
      {"a string more than declared", 0, 2, 0, nullptr, 0, SlotState::OtherCounts},
      {"a negative count", -1, 1, kWhole, nullptr, 0, SlotState::Damaged},
      {"window 4 with 20 lines", 2, 1, kWhole, "lineCount", 20, SlotState::Ok},
      {"window 4 with 21 lines", 2, 1, kWhole, "lineCount", 21, SlotState::Damaged},
      {"a full deck", 2, 1, kWhole, "deckCount", 100, SlotState::Ok},
      {"101 cards in the deck", 2, 1, kWhole, "deckCount", 101, SlotState::Damaged},
      {"301 cards in the stock", 2, 1, kWhole, "stockCount", 301, SlotState::Damaged},
      {"21 choices", 2, 1, kWhole, "choiceCount", 21, SlotState::Damaged},
      {"line 0", 2, 1, kWhole, "line", 0, SlotState::Damaged},
      {"window 4 current", 2, 1, kWhole, "currentWindow", 4, SlotState::Ok},
      {"window 5 current", 2, 1, kWhole, "currentWindow", 5, SlotState::Damaged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FileImage slot = SlotFile("start", 3, c.ints, c.strs);
    slot.bytes.resize(20612 + c.variableBytes, 'v');
    if (c.field) slot.I32(c.field, c.value, std::strcmp(c.field, "lineCount") == 0 ? 3 : 0);
    slot.Write(dataDir / "save/save1.dat");
    ASSERT_EQ(Read(1, 2, 1), c.expected);
    EXPECT_TRUE(c.expected == SlotState::Ok
                    ? variables.size() == static_cast<size_t>(c.ints * 68 + c.strs * 320)
                    : Untouched());
  }
  FileImage slot = SlotFile("start", 3);
  std::memset(slot.bytes.data(), 'a', 260);  // an unterminated scenario name
  slot.Write(dataDir / "save/save1.dat");
  EXPECT_EQ(Read(1, 2, 1), SlotState::Damaged);
  std::mt19937 random(14);
  std::string noise(20612 + kWhole, '\0');
  for (char& b : noise) b = static_cast<char>(random());
  WriteData("save/save1.dat", noise);
  EXPECT_NE(Read(1, 2, 1), SlotState::Ok);
  EXPECT_TRUE(Untouched());
  EXPECT_EQ(Read(2, 2, 1), SlotState::Empty);

  // The largest slot a game writes, past the size of any fixed file, loads;
  // with one string fewer declared its last record has nowhere to go.
  SaveSnapshot big;
  std::memcpy(&big, SlotFile("start", 3, 0, 52500).bytes.data(), sizeof big);
  std::vector<uint8_t> vars(52500 * 320, 's');
  ASSERT_EQ(writeSaveFile(3, big, vars.data(), vars.size()), 1);
  EXPECT_EQ(Read(3, 0, 52500), SlotState::Ok);
  EXPECT_EQ(Read(3, 0, 52499), SlotState::OtherCounts);
}

}  // namespace
