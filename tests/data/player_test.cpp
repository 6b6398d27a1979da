// The player's lists, maxima and the lasting progress files.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "data/database.h"
#include "data/player.h"
#include "script/variables.h"
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
};

TEST_F(PlayerTest, AddingIsClampedToTheFreeRoom) {
  addCards(player.deck, 3, 90);
  EXPECT_EQ(player.deck.count, 90);
  addCards(player.deck, 5, 200);
  EXPECT_EQ(player.deck.count, 100);
  EXPECT_EQ(countCards(player.deck, 5), 10);
  EXPECT_EQ(player.deck.cards[100], 5u);
  addCards(player.deck, 9, 1);  // full: nothing, not even the flag
  EXPECT_EQ(player.collection[9], 0);
  addCards(player.stock, 9, 0);
  addCards(player.stock, 9, -4);
  addCards(player.stock, 51, 1);
  addCards(player.stock, 0, 1);
  EXPECT_EQ(player.stock.count, 0);
  EXPECT_EQ(collectionCount(), 2);
  addCards(player.stock, 50, 301);
  EXPECT_EQ(player.stock.count, 300);
  EXPECT_EQ(player.stock.cards[0], 0u);
}

TEST_F(PlayerTest, RemovingMovesTheLastEntryIntoEachGap) {
  for (int c : {4, 7, 4, 8}) addCards(player.stock, c, 1);
  removeCards(player.stock, 4, 5);
  EXPECT_EQ(player.stock.count, 2);
  EXPECT_EQ(player.stock.cards[1], 8u);
  EXPECT_EQ(player.stock.cards[2], 7u);
  EXPECT_EQ(player.stock.cards[3], 0u);
  EXPECT_EQ(player.stock.cards[4], 0u);
  EXPECT_EQ(player.collection[4], 1);  // the flag stays
  removeCards(player.stock, 7, 1);     // the last entry: its position is cleared
  EXPECT_EQ(player.stock.count, 1);
  EXPECT_EQ(player.stock.cards[2], 0u);
  removeCards(player.stock, 8, 0);
  removeCards(player.stock, 51, 9);
  EXPECT_EQ(player.stock.count, 1);

  // The entry moved into the gap is the same card: it is looked at again.
  StockList list;
  for (int c : {4, 7, 4}) addCards(list, c, 1);
  removeCards(list, 4, 2);
  EXPECT_EQ(list.count, 1);
  EXPECT_EQ(list.cards[1], 7u);
}

TEST_F(PlayerTest, MaximaFollowTheCollectionAndTheMonth) {
  for (int c = 1; c <= 50; ++c) player.collection[c] = 1;
  EXPECT_EQ(recomputeMaxima(), 600);
  EXPECT_EQ(player.mp, 600);
  EXPECT_EQ(player.maxhp, 6000);
  EXPECT_EQ(player.hp, 6000);
  for (int c = 1; c <= 50; ++c) player.collection[c] = 0;
  EXPECT_EQ(recomputeMaxima(), 0);
  EXPECT_EQ(player.maxhp, 0);
  player.collection[3] = 7;  // any non-zero byte counts as owned
  player.date.mon = 0;
  addCards(player.deck, 1, 1);  // adding recomputes
  EXPECT_EQ(player.maxmp, 2);
  EXPECT_EQ(player.hp, 20);
  // A loaded game's month is whatever its file held: it wraps rather than
  // overflowing, here to the most negative month.
  player.collection[1] = 0;
  player.date.mon = INT32_MAX;
  EXPECT_EQ(Builtin("month"), INT32_MIN);
  EXPECT_EQ(recomputeMaxima(), INT32_MIN);
  EXPECT_EQ(player.maxhp, 0);
}

TEST_F(PlayerTest, StrongFlagFixesTheMaxima) {
  player.strong = 1;
  addCards(player.deck, 12, 1);
  EXPECT_EQ(player.collection[12], 1);
  EXPECT_EQ(player.maxhp, 9999);
  EXPECT_EQ(player.hp, 9999);
  EXPECT_EQ(player.maxmp, 999);
  EXPECT_EQ(player.mp, 999);
}

TEST_F(PlayerTest, DateOutsideTheCalendarIsRefused) {
  player.date = host->LocalCalendar(1768435200);
  const auto before = player.date;
  setYear(1950);  // before the calendar starts
  EXPECT_EQ(player.date.year, before.year);
  EXPECT_EQ(player.date.mday, before.mday);
}

TEST_F(PlayerTest, ProgressFilesAreWrittenAndReadBackByteExact) {
  player.collection[0] = 1;
  player.collection[1] = player.collection[50] = 1;
  db.attackArts[1].learned = db.attackArts[70].learned = 1;
  db.defenceArts[1].learned = db.defenceArts[34].learned = 1;
  player.knownAttackPatterns[0] = 1;
  player.knownAttackPatterns[1] = player.knownAttackPatterns[5460] = 1;
  player.knownDefencePatterns[0] = 1;
  player.knownDefencePatterns[6] = player.knownDefencePatterns[5460] = 1;
  saveProgress();
  EXPECT_TRUE(host->boxes.empty());

  std::string collection(51, '\0');
  collection[1] = collection[50] = 1;
  EXPECT_EQ(ReadData("save/Collection.dat"), collection);
  std::string arts(105, '\0');
  arts[1] = arts[70] = arts[71] = arts[104] = 1;
  EXPECT_EQ(ReadData("save/ArtsList.dat"), arts);
  std::string patterns(10921, '\0');
  patterns[1] = patterns[5460] = 1;
  patterns[5460 + 6] = patterns[10920] = 1;
  EXPECT_EQ(ReadData("save/Pattern.dat"), patterns);

  // Back after a restart.
  ResetPlayerState();
  ResetDatabase();
  loadProgress();
  EXPECT_EQ(player.collection[50], 1);
  EXPECT_EQ(db.attackArts[70].learned, 1);
  EXPECT_EQ(db.defenceArts[34].learned, 1);
  EXPECT_EQ(db.defenceArts[2].learned, 0);
  EXPECT_EQ(player.knownAttackPatterns[5460], 1);
  EXPECT_EQ(player.knownDefencePatterns[6], 1);
  EXPECT_EQ(player.knownDefencePatterns[0], 0);
  saveProgress();
  EXPECT_EQ(ReadData("save/Pattern.dat"), patterns);
  EXPECT_EQ(ReadData("save/ArtsList.dat"), arts);
}

TEST_F(PlayerTest, LoadingIgnoresByteZeroAndShortFiles) {
  WriteData("save/Pattern.dat", std::string(5470, '\x01'));
  WriteData("save/ArtsList.dat", std::string(3, '\x01'));
  db.attackArts[3].learned = 1;
  loadProgress();
  EXPECT_EQ(player.knownAttackPatterns[0], 0);
  EXPECT_EQ(player.knownAttackPatterns[5460], 1);
  EXPECT_EQ(player.knownDefencePatterns[9], 1);
  EXPECT_EQ(player.knownDefencePatterns[10], 0);
  EXPECT_EQ(db.attackArts[2].learned, 1);
  EXPECT_EQ(db.attackArts[3].learned, 1);  // beyond the short file: as it was
}

TEST_F(PlayerTest, EmptyProgressFilesReadAsNothing) {
  for (const char* name : {"save/Collection.dat", "save/ArtsList.dat", "save/Pattern.dat"})
    WriteData(name, "");
  player.collection[3] = 1;
  db.attackArts[3].learned = 1;
  player.knownDefencePatterns[3] = 1;
  loadProgress();
  EXPECT_EQ(player.collection[3], 1);
  EXPECT_EQ(db.attackArts[3].learned, 1);
  EXPECT_EQ(player.knownDefencePatterns[3], 1);
  EXPECT_TRUE(host->boxes.empty());
  saveProgress();  // nothing was in them to keep
  EXPECT_EQ(ReadData("save/Collection.dat").size(), kCollectionFileSize);
}

// A whole run, start-up to shutdown, over a collection of all 50 cards that
// the game cannot read: the file must come out of it as it went in.
class UnreadableProgressTest : public PlayerTest {
 protected:
  std::filesystem::path Collection() const { return dataDir / "save/Collection.dat"; }
  void WriteOwnedCollection(size_t fileSize) {
    std::string owned(kCollectionFileSize, '\x01');
    owned[0] = 0;
    WriteData("save/Collection.dat", owned);
    std::filesystem::resize_file(Collection(), fileSize);
  }
  void RunAndExpectTheCollectionKept() {
    const auto size = std::filesystem::file_size(Collection());
    WriteData("config.scn", "");
    WriteData("start.scn", ".let money = 1\n");
    EXPECT_EQ(RunGame(), 0);
    saveProgress();  // a later save (".svd", the save screen) leaves it too
    std::filesystem::permissions(Collection(), std::filesystem::perms::owner_all);
    EXPECT_EQ(std::filesystem::file_size(Collection()), size);
    std::string expected(kCollectionFileSize, '\x01');
    expected[0] = 0;
    EXPECT_EQ(ReadData("save/Collection.dat").substr(0, kCollectionFileSize), expected);
    // Said once, naming the file; the other files are saved as usual.
    ASSERT_EQ(host->boxes.size(), 1u);
    EXPECT_EQ(BoxTexts()[0],
              "save\\Collection.dat\n読み込めなかったため、このファイルは書き換えずに残します");
    EXPECT_EQ(GameTest::Sjis("読み込みエラー"), host->boxes[0].caption);
    EXPECT_EQ(ReadData("save/ArtsList.dat").size(), kArtsListFileSize);
    EXPECT_EQ(ReadData("save/Pattern.dat").size(), kPatternFileSize);
  }
};

TEST_F(UnreadableProgressTest, ACollectionTooLargeToReadIsKept) {
  WriteOwnedCollection(size_t{64} << 20);
  RunAndExpectTheCollectionKept();
}

TEST_F(UnreadableProgressTest, ACollectionWithoutReadPermissionIsKept) {
  WriteOwnedCollection(kCollectionFileSize);
  std::filesystem::permissions(Collection(), std::filesystem::perms::none);
  if (std::ifstream(Collection()).is_open()) GTEST_SKIP() << "this user reads any file";
  RunAndExpectTheCollectionKept();
}

TEST_F(PlayerTest, ResetClearsProgressAndDeletesTheSlots) {
  for (const char* slot : {"save/save1.dat", "save/save2.dat", "save/save3.dat"})
    WriteData(slot, "slot");
  player.collection[5] = 1;
  db.attackArts[5].learned = db.defenceArts[1].learned = db.defenceArts[34].learned = 1;
  player.knownAttackPatterns[5] = player.knownDefencePatterns[5] = 1;
  addCards(player.deck, 5, 2);
  player.money = 77;
  resetProgress();
  EXPECT_FALSE(std::filesystem::exists(dataDir / "save/save1.dat"));
  EXPECT_FALSE(std::filesystem::exists(dataDir / "save/save2.dat"));
  EXPECT_FALSE(std::filesystem::exists(dataDir / "save/save3.dat"));
  EXPECT_EQ(collectionCount(), 0);
  EXPECT_EQ(db.attackArts[5].learned, 0);
  EXPECT_EQ(db.defenceArts[1].learned + db.defenceArts[34].learned, 0);
  EXPECT_EQ(player.knownDefencePatterns[5], 0);
  EXPECT_EQ(player.deck.count, 2);
  EXPECT_EQ(player.money, 77);
  EXPECT_EQ(ReadData("save/Collection.dat"), std::string(51, '\0'));
  resetProgress();  // nothing left to delete: no message
  EXPECT_TRUE(host->boxes.empty());
}

TEST_F(PlayerTest, MissingSaveFolderIsCreated) {
  ASSERT_FALSE(std::filesystem::exists(dataDir / "save"));
  saveProgress();
  EXPECT_EQ(ReadData("save/Pattern.dat").size(), kPatternFileSize);
  EXPECT_TRUE(host->boxes.empty());
}

TEST_F(PlayerTest, AFileThatCannotBeWrittenIsReportedOncePerFile) {
  std::filesystem::create_directories(dataDir / "save/ArtsList.dat");
  saveProgress();
  ASSERT_EQ(host->boxes.size(), 1u);
  EXPECT_EQ(BoxTexts()[0], "ファイル作成に失敗しました。空き容量を確認してください");
  EXPECT_EQ(GameTest::Sjis("書き込みエラー"), host->boxes[0].caption);
  EXPECT_EQ(ReadData("save/Collection.dat").size(), kCollectionFileSize);
  EXPECT_EQ(ReadData("save/Pattern.dat").size(), kPatternFileSize);
}

}  // namespace
