// Save slot files: what is stored of a window line, and which files are
// refused before anything of theirs reaches the live state.
#include <gtest/gtest.h>

#include <cstring>
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

  static SaveSnapshot Valid(int32_t ints, int32_t strs) {
    SaveSnapshot s{};
    std::strcpy(s.scenario, "start");
    s.line = 3;
    s.currentWindow = 1;
    s.deckCount = 2;
    s.intCount = ints;
    s.strCount = strs;
    return s;
  }

  void WriteSlot(int slot, const std::string& bytes) {
    WriteData("save/save" + std::to_string(slot) + ".dat", bytes);
  }

  static std::string Bytes(const SaveSnapshot& s, size_t variableBytes) {
    std::string out(reinterpret_cast<const char*>(&s), sizeof s);
    out.append(variableBytes, 'v');
    return out;
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
  void ExpectUntouched() {
    EXPECT_EQ(out.money, 4242);
    EXPECT_EQ(variables, std::vector<uint8_t>(3, 9));
  }

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
}

TEST_F(SaveFileTest, AWrittenSlotReadsBackWithItsVariables) {
  const SaveSnapshot s = Valid(2, 1);
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
  ExpectUntouched();
  EXPECT_TRUE(host->boxes.empty());
}

TEST_F(SaveFileTest, ShortForeignAndRandomFilesAreRefusedAndChangeNothing) {
  const SaveSnapshot s = Valid(2, 1);
  const size_t varBytes = 2 * kSavedIntRecord + kSavedStrRecord;

  WriteSlot(1, Bytes(s, 0).substr(0, 100));  // not even a snapshot
  EXPECT_EQ(Read(1, 2, 1), SlotState::Damaged);
  ExpectUntouched();

  WriteSlot(1, Bytes(s, varBytes - 1));  // the last variable cut short
  EXPECT_EQ(Read(1, 2, 1), SlotState::Damaged);
  ExpectUntouched();

  WriteSlot(2, Bytes(s, varBytes));  // another game's tables
  EXPECT_EQ(Read(2, 3, 1), SlotState::OtherCounts);
  ExpectUntouched();
  EXPECT_EQ(Read(2, 2, 0), SlotState::OtherCounts);
  ExpectUntouched();

  SaveSnapshot big = s;  // counts that would index past the live lists
  big.deckCount = 101;
  WriteSlot(3, Bytes(big, varBytes));
  EXPECT_EQ(Read(3, 2, 1), SlotState::Damaged);
  big = s;
  big.lineCount[3] = 20;
  WriteSlot(3, Bytes(big, varBytes));
  EXPECT_EQ(Read(3, 2, 1), SlotState::Damaged);
  big = s;
  big.choiceCount = 21;
  WriteSlot(3, Bytes(big, varBytes));
  EXPECT_EQ(Read(3, 2, 1), SlotState::Damaged);
  ExpectUntouched();

  std::mt19937 random(14);
  std::string noise(sizeof(SaveSnapshot) + varBytes, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  WriteSlot(3, noise);
  EXPECT_NE(Read(3, 2, 1), SlotState::Ok);
  ExpectUntouched();
}

}  // namespace
