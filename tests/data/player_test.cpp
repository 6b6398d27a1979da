// The player's lists, maxima and the lasting progress files.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "data/database.h"
#include "data/player.h"
#include "support/files.h"
#include "support/game_fixture.h"

namespace {

class PlayerTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    MakeHost();
    player.date.mon = 11;  // December
  }
  std::string ReadData(const std::string& name) { return ReadText(dataDir / name); }
  // The three progress files, one after the other.
  std::string Progress() {
    return ReadData("save/Collection.dat") + "|" + ReadData("save/ArtsList.dat") + "|" +
           ReadData("save/Pattern.dat");
  }
};

TEST_F(PlayerTest, AddingIsClampedToTheFreeRoomRemovingFillsEachGapWithTheLast) {
  addCards(player.deck, 3, 100);
  addCards(player.deck, 9, 1);  // full: nothing, not even the flag
  for (auto [card, k] : {std::pair{9, 0}, {9, -4}, {51, 1}, {0, 1}})
    addCards(player.stock, card, k);
  EXPECT_EQ(player.stock.count + player.collection[9] + player.collection[0], 0);
  addCards(player.stock, 50, 301);
  EXPECT_EQ(player.stock.count, 300);
  EXPECT_EQ(player.stock.cards[0], 0u);
  StockList list;
  for (int c : {4, 7, 4, 8, 4}) addCards(list, c, 1);
  removeCards(list, 4, 5);  // the 4 moved into the first gap is looked at again
  EXPECT_EQ(std::vector<uint32_t>(list.cards, list.cards + 6),
            (std::vector<uint32_t>{0, 8, 7, 0, 0, 0}));
  EXPECT_EQ(player.collection[4], 1);  // the flag stays
  removeCards(list, 7, 1);             // the last entry: its position is cleared
  EXPECT_EQ(list.count, 1);
  EXPECT_EQ(list.cards[2], 0u);
}

// Month x owned cards of MP, ten times that of HP, both refilled; strong,
// 9999 and 999. A loaded game's month is whatever its file held: it wraps
// rather than overflowing.
TEST_F(PlayerTest, MaximaFollowTheCollectionAndTheMonthOrTheStrongFlag) {
  const int32_t cases[][5] = {
      // owned, month, strong, maxmp, maxhp
      {50, 11, 0, 600, 6000},
      {1, 0, 0, 1, 10},
      {1, INT32_MAX, 0, INT32_MIN, 0},
  };
  for (const auto& c : cases) {
    for (int n = 1; n <= 50; ++n) player.collection[n] = n <= c[0] ? 7 : 0;  // any non-zero byte
    player.date.mon = c[1];
    player.strong = static_cast<uint8_t>(c[2]);
    player.hp = player.mp = -1;
    EXPECT_EQ(recomputeMaxima(), c[3]);
    EXPECT_EQ(std::vector<int32_t>({player.mp, player.maxhp, player.hp}),
              std::vector<int32_t>({c[3], c[4], c[4]}))
        << c[0] << " cards, month " << c[1];
  }
  player.date = host->LocalCalendar(1768435200);
  const auto before = player.date;
  setYear(1950);  // before the calendar starts: refused
  EXPECT_EQ(player.date.year, before.year);
}

// Byte for byte, as a restart reads them back; byte 0 is ignored, a short
// file fills the front, an empty one nothing.
TEST_F(PlayerTest, ProgressFilesAreWrittenAndReadBackByteExact) {
  player.collection[0] = player.collection[1] = player.collection[50] = 1;
  db.attackArts[1].learned = db.attackArts[70].learned = 1;
  db.defenceArts[1].learned = db.defenceArts[34].learned = 1;
  for (int code : {0, 1, 5460}) player.knownAttackPatterns[code] = 1;
  for (int code : {0, 6, 5460}) player.knownDefencePatterns[code] = 1;
  saveProgress();
  std::string collection(51, '\0'), arts(105, '\0'), patterns(10921, '\0');
  collection[1] = collection[50] = 1;
  arts[1] = arts[70] = arts[71] = arts[104] = 1;
  patterns[1] = patterns[5460] = patterns[5460 + 6] = patterns[10920] = 1;
  const std::string want = collection + "|" + arts + "|" + patterns;
  EXPECT_EQ(Progress(), want);
  ResetPlayerState();  // a restart
  ResetDatabase();
  loadProgress();
  saveProgress();
  EXPECT_EQ(Progress(), want);

  WriteData("save/Pattern.dat", std::string(5470, '\x01'));
  WriteData("save/ArtsList.dat", std::string(3, '\x01'));
  WriteData("save/Collection.dat", "");
  db.attackArts[3].learned = 1;
  loadProgress();
  // Attack patterns 0 and 5460, defence 9 and 10, arts 2 and 3 (beyond the
  // short file: as it was), card 50.
  EXPECT_EQ(
      std::vector<int>({player.knownAttackPatterns[0], player.knownAttackPatterns[5460],
                        player.knownDefencePatterns[9], player.knownDefencePatterns[10],
                        db.attackArts[2].learned, db.attackArts[3].learned, player.collection[50]}),
      std::vector<int>({0, 1, 1, 0, 1, 1, 1}));
  EXPECT_TRUE(host->boxes.empty());
}

// A whole run, start-up to shutdown, over a collection of all 50 cards that
// the game cannot read (here too large): the file must come out of it as it
// went in, said once, naming the file; the other files are saved as usual.
TEST_F(PlayerTest, ACollectionThatCannotBeReadIsKept) {
  std::string owned(kCollectionFileSize, '\x01');
  owned[0] = 0;
  WriteData("save/Collection.dat", owned);
  std::filesystem::resize_file(dataDir / "save/Collection.dat", size_t{64} << 20);
  WriteData("config.scn", "");
  WriteData("start.scn", ".let money = 1\n");
  EXPECT_EQ(RunGame(), 0);
  saveProgress();  // a later save (".svd", the save screen) leaves it too
  EXPECT_EQ(std::filesystem::file_size(dataDir / "save/Collection.dat"), size_t{64} << 20);
  EXPECT_EQ(ReadData("save/Collection.dat").substr(0, kCollectionFileSize), owned);
  ASSERT_EQ(host->boxes.size(), 1u);
  EXPECT_EQ(BoxTexts()[0],
            "save\\Collection.dat\n読み込めなかったため、このファイルは書き換えずに残します");
  EXPECT_EQ(GameTest::Sjis("読み込みエラー"), host->boxes[0].caption);
  EXPECT_EQ(ReadData("save/ArtsList.dat").size(), kArtsListFileSize);
}

TEST_F(PlayerTest, ResetClearsProgressAndDeletesTheSlots) {
  for (const char* slot : {"save/save1.dat", "save/save3.dat"}) WriteData(slot, "slot");
  player.collection[5] = db.attackArts[5].learned = db.defenceArts[34].learned = 1;
  player.knownAttackPatterns[5] = player.knownDefencePatterns[5] = 1;
  player.money = 77;
  resetProgress();
  for (const char* slot : {"save/save1.dat", "save/save3.dat"})
    EXPECT_FALSE(std::filesystem::exists(dataDir / slot)) << slot;
  EXPECT_EQ(db.attackArts[5].learned + db.defenceArts[34].learned + player.collection[5] +
                player.knownAttackPatterns[5] + player.knownDefencePatterns[5],
            0);
  EXPECT_EQ(player.money, 77);
  EXPECT_EQ(ReadData("save/Collection.dat"), std::string(51, '\0'));
  resetProgress();  // nothing left to delete: no message
  EXPECT_TRUE(host->boxes.empty());
}

// A fresh installation's missing save folder is made; a file that cannot be
// written is reported once, the others written as usual.
TEST_F(PlayerTest, AFileThatCannotBeWrittenIsReportedOncePerFile) {
  saveProgress();
  EXPECT_EQ(ReadData("save/Pattern.dat").size(), kPatternFileSize);
  EXPECT_TRUE(host->boxes.empty());
  std::filesystem::remove(dataDir / "save/ArtsList.dat");
  std::filesystem::create_directories(dataDir / "save/ArtsList.dat");
  saveProgress();
  ASSERT_EQ(host->boxes.size(), 1u);
  EXPECT_EQ(BoxTexts()[0], "ファイル作成に失敗しました。空き容量を確認してください");
  EXPECT_EQ(GameTest::Sjis("書き込みエラー"), host->boxes[0].caption);
  EXPECT_EQ(ReadData("save/Collection.dat").size(), kCollectionFileSize);
}

}  // namespace
