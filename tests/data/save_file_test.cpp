// Save slot files: what is stored of a window line, and which files are
// refused before anything of theirs reaches the live state.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "data/save_file.h"
#include "support/game_fixture.h"

namespace {

class SaveFileTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    MakeHost();
  }

  std::string ReadData(const std::string& name) {
    std::ifstream in(dataDir / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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

TEST_F(SaveFileTest, LinesGetTheirLineFeedAndAreCutBeforeAWholeCharacter) {
  SaveSnapshot s{};
  StoreSavedLine(s, 1, 1, "first", false);
  StoreSavedLine(s, 1, 2, "last", true);
  EXPECT_STREQ(SavedLine(s, 1, 1), "first\n");
  EXPECT_STREQ(SavedLine(s, 1, 2), "last");

  // 2 + 39 two-byte characters = 80 bytes: the line feed leaves room for 79,
  // so the last whole character that fits ends at byte 78.
  std::string wide = "ab";
  for (int i = 0; i < 39; ++i) wide += "\x82\xA0";
  StoreSavedLine(s, 2, 3, wide.c_str(), false);
  EXPECT_EQ(std::string(SavedLine(s, 2, 3)), wide.substr(0, 78) + "\n");
  StoreSavedLine(s, 2, 4, wide.c_str(), true);
  EXPECT_EQ(std::string(SavedLine(s, 2, 4)), wide);  // 80 bytes fit a last line

  // Window 1's line 6 is slot 0 of window 2; window 4 stops at 19 lines so
  // the music name after it stays whole.
  EXPECT_EQ(SavedLine(s, 1, 6), SavedLine(s, 2, 1) - kSavedLineSize);
  EXPECT_EQ(SavedLineRoom(4), 19);
  EXPECT_EQ(SavedLine(s, 4, 20), nullptr);
  std::strcpy(s.music, "bgm\\town.mid");
  StoreSavedLine(s, 4, 19, std::string(120, 'x').c_str(), true);
  StoreSavedLine(s, 4, 20, "over the music", true);
  EXPECT_STREQ(s.music, "bgm\\town.mid");
  EXPECT_EQ(std::strlen(SavedLine(s, 4, 19)), 80u);
  // A file may count that 20th line: it reads as empty, the name stays.
  EXPECT_STREQ(SavedLineText(s, 4, 20), "");
  EXPECT_EQ(SavedLineText(s, 4, 19), SavedLine(s, 4, 19));
  EXPECT_EQ(SavedLineText(s, 4, 21), nullptr);
}

TEST_F(SaveFileTest, AWrittenSlotReadsBackWithItsVariables) {
  const SaveSnapshot s = SlotSnapshot("start", 3, 2, 1);
  std::vector<uint8_t> vars(2 * kSavedIntRecord + kSavedStrRecord);
  for (size_t i = 0; i < vars.size(); ++i) vars[i] = static_cast<uint8_t>(i * 7);
  ASSERT_EQ(writeSaveFile(2, s, vars.data(), vars.size()), 1);
  const std::string file = ReadData("save/save2.dat");
  ASSERT_EQ(file.size(), sizeof(SaveSnapshot) + vars.size());
  EXPECT_EQ(std::memcmp(file.data(), &s, sizeof s), 0);

  ASSERT_EQ(Read(2, 2, 1), SlotState::Ok);
  EXPECT_EQ(std::memcmp(&out, &s, sizeof s), 0);
  EXPECT_EQ(variables, vars);
  EXPECT_EQ(Read(1, 2, 1), SlotState::Empty);
  EXPECT_TRUE(Untouched());
  EXPECT_TRUE(host->boxes.empty());
}

// What a slot may hold against the live tables (2 integers, 1 string): the
// file's own counts up to the live ones load, and only what would read past
// the file or write past the tables is refused, as is a file larger than
// the game itself writes.
TEST_F(SaveFileTest, SlotsLoadUpToTheLiveTablesAndNothingOutOfBounds) {
  constexpr size_t kWhole = 2 * kSavedIntRecord + kSavedStrRecord;
  struct Case {
    const char* what;
    int32_t ints, strs;    // the file's counts
    size_t variableBytes;  // after the snapshot
    void (*change)(SaveSnapshot&);
    SlotState expected;
  };
  const auto none = [](SaveSnapshot&) {};
  const Case cases[] = {
      {"as the game writes it", 2, 1, kWhole, none, SlotState::Ok},
      {"an integer declared since", 1, 1, kSavedIntRecord + kSavedStrRecord, none, SlotState::Ok},
      {"a string declared since", 2, 0, 2 * kSavedIntRecord, none, SlotState::Ok},
      {"no variables yet", 0, 0, 0, none, SlotState::Ok},
      {"trailing bytes up to the bound", 1, 0, kWhole, none, SlotState::Ok},
      {"one byte past the bound", 2, 1, kWhole + 1, none, SlotState::Damaged},
      {"the last record cut short", 2, 1, kWhole - 1, none, SlotState::Damaged},
      {"an integer more than declared", 3, 0, 3 * kSavedIntRecord, none, SlotState::OtherCounts},
      {"a string more than declared", 0, 2, 0, none, SlotState::OtherCounts},
      {"a negative count", -1, 1, kWhole, none, SlotState::Damaged},
      {"window 4 with 20 lines", 2, 1, kWhole, [](SaveSnapshot& s) { s.lineCount[3] = 20; },
       SlotState::Ok},
      {"window 4 with 21 lines", 2, 1, kWhole, [](SaveSnapshot& s) { s.lineCount[3] = 21; },
       SlotState::Damaged},
      {"window 3 with 5 lines", 2, 1, kWhole, [](SaveSnapshot& s) { s.lineCount[2] = 5; },
       SlotState::Damaged},
      {"101 cards in the deck", 2, 1, kWhole, [](SaveSnapshot& s) { s.deckCount = 101; },
       SlotState::Damaged},
      {"301 cards in the stock", 2, 1, kWhole, [](SaveSnapshot& s) { s.stockCount = 301; },
       SlotState::Damaged},
      {"21 choices", 2, 1, kWhole, [](SaveSnapshot& s) { s.choiceCount = 21; }, SlotState::Damaged},
      {"line 0", 2, 1, kWhole, [](SaveSnapshot& s) { s.line = 0; }, SlotState::Damaged},
      {"window 5 current", 2, 1, kWhole, [](SaveSnapshot& s) { s.currentWindow = 5; },
       SlotState::Damaged},
      {"an unterminated scenario name", 2, 1, kWhole,
       [](SaveSnapshot& s) { std::memset(s.scenario, 'a', sizeof s.scenario); },
       SlotState::Damaged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SaveSnapshot s = SlotSnapshot("start", 3, c.ints, c.strs);
    c.change(s);
    WriteSlot(1, s, c.variableBytes);
    ASSERT_EQ(Read(1, 2, 1), c.expected);
    if (c.expected != SlotState::Ok) {
      EXPECT_TRUE(Untouched());
      continue;
    }
    EXPECT_EQ(out.intCount, c.ints);
    EXPECT_EQ(variables.size(), c.ints * kSavedIntRecord + c.strs * kSavedStrRecord);
  }

  WriteSlot(1, SlotSnapshot("start", 3, 2, 1), 0);  // not even a snapshot:
  std::filesystem::resize_file(dataDir / "save/save1.dat", 100);
  EXPECT_EQ(Read(1, 2, 1), SlotState::Damaged);
  std::mt19937 random(14);
  std::string noise(sizeof(SaveSnapshot) + kWhole, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  WriteData("save/save1.dat", noise);
  EXPECT_NE(Read(1, 2, 1), SlotState::Ok);
  EXPECT_TRUE(Untouched());
}

// The game writes a slot as large as its declared variables make it, past
// the size of any fixed kind of file: it must load again.
TEST_F(SaveFileTest, TheLargestSlotTheGameWritesLoadsAgain) {
  constexpr int32_t kStrs = 52500;  // 16.8 MB with the snapshot
  const SaveSnapshot s = SlotSnapshot("start", 3, 0, kStrs);
  std::vector<uint8_t> vars(kStrs * kSavedStrRecord, 's');
  ASSERT_EQ(writeSaveFile(3, s, vars.data(), vars.size()), 1);
  ASSERT_EQ(ReadData("save/save3.dat").size(), SaveFileBound(0, kStrs));
  ASSERT_GT(SaveFileBound(0, kStrs), uint64_t{16} << 20);
  ASSERT_EQ(Read(3, 0, kStrs), SlotState::Ok);
  EXPECT_EQ(variables.size(), vars.size());
  EXPECT_EQ(Read(3, 0, kStrs - 1), SlotState::Damaged);  // larger than that game writes
}

}  // namespace
