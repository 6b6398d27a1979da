#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <limits>
#include <thread>

#include "data/player.h"
#include "platform/posix/host_files.h"
#include "support/game_fixture.h"

namespace {

class DataDirectoryTest : public GameTest {
 protected:
  std::string Read(const std::string& sjisName) {
    std::vector<uint8_t> bytes;
    if (!posix::DataDirectory(dataDir.string()).Read(sjisName.c_str(), bytes)) return "<missing>";
    return std::string(bytes.begin(), bytes.end());
  }
};

TEST_F(DataDirectoryTest, NamesAreFoundWhateverTheirCaseComponentByComponent) {
  WriteData("Save/Collection.DAT", "c");
  WriteData("BG/Forest.k16", "f");
  EXPECT_EQ(Read("save\\collection.dat"), "c");
  EXPECT_EQ(Read("SAVE/COLLECTION.DAT"), "c");
  EXPECT_EQ(Read("bg\\FOREST.K16"), "f");
  EXPECT_EQ(Read(".\\bg\\\\forest.k16"), "f");
  EXPECT_EQ(Read("bg\\forest"), "<missing>");
}

TEST_F(DataDirectoryTest, ShiftJisNamesMapToTheHostsNames) {
  WriteData("表/ソース.K16", "s");
  EXPECT_EQ(Read(Sjis("表\\ソース.k16")), "s");
}

TEST_F(DataDirectoryTest, ExtensionKanjiEndingInABackslashByteNameFolders) {
  // 0xFA 0x5C and 0xFB 0x5C are IBM extension kanji.
  WriteData(posix::SjisToUtf8("\xFA\x5C") + "/" + posix::SjisToUtf8("\xFB\x5C") + ".k16", "e");
  EXPECT_EQ(Read("\xFA\x5C\\\xFB\x5C.k16"), "e");
  EXPECT_EQ(Read("\xFA\x5C/\xFB\x5C.K16"), "e");
}

TEST_F(DataDirectoryTest, NamesThatLeaveTheFolderAreRefused) {
  posix::DataDirectory dir(dataDir.string());
  std::string path, why;
  EXPECT_FALSE(dir.Resolve("..\\x", path, &why));
  EXPECT_EQ(why, "outside the data directory");
  EXPECT_FALSE(dir.Resolve("\\x", path, &why));
  EXPECT_EQ(why, "absolute path");
  EXPECT_FALSE(dir.Resolve("c:\\x", path, &why));
  EXPECT_FALSE(dir.Resolve("", path, &why));
  EXPECT_TRUE(dir.Resolve("a\\b", path, &why));
  EXPECT_EQ(path, dataDir.string() + "/a/b");
}

TEST_F(DataDirectoryTest, WritesReplaceWholeFilesAndLeaveNoTemporaries) {
  posix::DataDirectory dir(dataDir.string());
  WriteData("save/old.dat", "old contents");
  ASSERT_EQ(dir.Write("SAVE\\OLD.DAT", "new", 3), plat::WriteResult::Ok);
  EXPECT_EQ(Read("save\\old.dat"), "new");
  size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dataDir / "save")) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1u);
  // A folder that does not exist cannot take a file until it is made.
  EXPECT_EQ(dir.Write("new\\x.dat", "x", 1), plat::WriteResult::CreateFailed);
  EXPECT_TRUE(dir.MakeFolder("new"));
  EXPECT_TRUE(dir.MakeFolder("new"));
  EXPECT_EQ(dir.Write("new\\x.dat", "x", 1), plat::WriteResult::Ok);
  EXPECT_TRUE(dir.Remove("NEW\\X.DAT"));
  EXPECT_FALSE(dir.Remove("new\\x.dat"));
}

TEST_F(DataDirectoryTest, ReadOnlyFilesCanBeMadeWritableAndCarryTheirTime) {
  posix::DataDirectory dir(dataDir.string());
  WriteData("ro.dat", "r");
  const auto path = dataDir / "ro.dat";
  chmod(path.c_str(), 0444);
  EXPECT_TRUE(dir.ResetAttributes("ro.dat"));
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IWUSR);

  std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now());  // recent
  plat::CalendarTime t;
  ASSERT_TRUE(dir.WriteTime("ro.dat", true, t));
  EXPECT_GE(t.year, 125);
  EXPECT_FALSE(dir.WriteTime("none.dat", true, t));
}

TEST_F(DataDirectoryTest, SymbolicLinksThatLeadOutOfTheFolderAreRefused) {
  // The data folder is "data"; beside it lies what it must not reach.
  const auto data = dataDir / "data";
  WriteData("secret.txt", "s");
  WriteData("data/bg/x.k16", "x");
  WriteData("data/save/keep.dat", "k");
  std::filesystem::create_directory_symlink("..", data / "uplink");
  std::filesystem::create_directory_symlink(dataDir, data / "far");
  std::filesystem::create_symlink("../../secret.txt", data / "save/Collection.dat");
  std::filesystem::create_directory_symlink("bg", data / "alias");
  std::filesystem::create_symlink("keep.dat", data / "save/link.dat");
  posix::DataDirectory dir(data.string());
  std::vector<uint8_t> bytes;
  std::string path, why;
  for (const char* name : {"uplink\\secret.txt", "far\\secret.txt", "save\\Collection.dat",
                           "uplink", "uplink\\new.dat"}) {
    EXPECT_FALSE(dir.Resolve(name, path, &why)) << name;
    EXPECT_EQ(why, "outside the data directory") << name;
    EXPECT_FALSE(dir.Read(name, bytes)) << name;
  }
  EXPECT_EQ(dir.Write("uplink\\new.dat", "n", 1), plat::WriteResult::CreateFailed);
  EXPECT_FALSE(std::filesystem::exists(dataDir / "new.dat"));
  EXPECT_FALSE(dir.Remove("uplink\\secret.txt"));
  EXPECT_TRUE(std::filesystem::exists(dataDir / "secret.txt"));

  // Links that stay inside work, and so does a data folder reached by a link.
  ASSERT_TRUE(dir.Read("alias\\x.k16", bytes));
  ASSERT_TRUE(dir.Read("save\\link.dat", bytes));
  EXPECT_EQ(bytes, std::vector<uint8_t>{'k'});
  EXPECT_EQ(dir.Write("alias\\new.dat", "n", 1), plat::WriteResult::Ok);
  std::filesystem::create_directory_symlink(data, dataDir / "data-link");
  EXPECT_TRUE(posix::DataDirectory((dataDir / "data-link").string()).Read("bg\\new.dat", bytes));
}

// Reads a file on another thread; a read still blocked after some seconds
// counts as hung (and is released by opening the FIFO's other end).
bool ReadsWithoutHanging(const posix::DataDirectory& dir, const char* name,
                         const std::filesystem::path& fifo, bool& result) {
  std::promise<bool> done;
  auto answer = done.get_future();
  std::thread reader([&] {
    std::vector<uint8_t> bytes;
    done.set_value(dir.Read(name, bytes));
  });
  const bool inTime = answer.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  if (!inTime) std::ofstream(fifo).close();
  reader.join();
  result = answer.get();
  return inTime;
}

TEST_F(DataDirectoryTest, SpecialAndHugeFilesFailLikeMissingOnes) {
  posix::DataDirectory dir(dataDir.string());
  ASSERT_EQ(mkfifo((dataDir / "start.scn").c_str(), 0644), 0);
  bool fifoRead = true;
  EXPECT_TRUE(ReadsWithoutHanging(dir, "start.scn", dataDir / "start.scn", fifoRead));
  EXPECT_FALSE(fifoRead);
  std::filesystem::create_directory(dataDir / "folder.k16");
  std::vector<uint8_t> bytes;
  EXPECT_FALSE(dir.Read("folder.k16", bytes));

  // Sparse files far larger than their kind can be: refused before any
  // memory is set aside for them.
  for (const char* name : {"huge.k16", "huge.scn", "huge.wav", "huge.dat", "huge"}) {
    const auto path = dataDir / name;
    std::ofstream(path).close();
    std::filesystem::resize_file(path, uint64_t{64} << 30);
    bool read = true;
    EXPECT_NO_THROW(read = dir.Read(name, bytes)) << name;
    EXPECT_FALSE(read) << name;
  }
  // Past the bound of a small kind, a file is refused though a wave of its
  // size is not.
  for (const char* name : {"big.scn", "big.wav"}) {
    std::ofstream(dataDir / name).close();
    std::filesystem::resize_file(dataDir / name, (uint64_t{16} << 20) + 1);
  }
  EXPECT_FALSE(dir.Read("big.scn", bytes));
  EXPECT_TRUE(dir.Read("big.wav", bytes));
  EXPECT_EQ(bytes.size(), (size_t{16} << 20) + 1);
}

TEST_F(DataDirectoryTest, AWholeRunGetsPastEmptyHugeAndSpecialFiles) {
  for (const char* name : {"CardData.dat", "AtArts.dat", "DfArts.dat", "save/Collection.dat",
                           "save/ArtsList.dat", "save/Pattern.dat"})
    WriteData(name, "");
  WriteData("start.scn", ".let money = 1\n");
  WriteData("source1.K16", "");
  std::filesystem::resize_file(dataDir / "source1.K16", uint64_t{64} << 30);
  ASSERT_EQ(mkfifo((dataDir / "config.scn").c_str(), 0644), 0);
  MakeHost();
  std::promise<int> done;
  auto exitCode = done.get_future();
  std::thread game([&] { done.set_value(RunGame()); });
  const bool inTime = exitCode.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  if (!inTime) std::ofstream(dataDir / "config.scn").close();
  game.join();
  EXPECT_TRUE(inTime);
  EXPECT_EQ(exitCode.get(), 0);
  // The FIFO fails as a missing scenario does.
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"存在しないファイルを指定しました"});
  EXPECT_EQ(std::filesystem::file_size(dataDir / "save/Collection.dat"), kCollectionFileSize);
}

// The start of a run claims the folder and clears the temporaries that the
// game's own writes left, in the folder and the game's folders in it; a file
// of the player's is never taken for one, whatever it is called or wherever
// it lies, and a claim on a folder another copy holds is refused and clears
// nothing.
TEST_F(DataDirectoryTest, AClaimedFolderLosesOnlyTheGamesOwnDeadTemporaries) {
  auto temp = [](const std::string& target, long pid) { return posix::TemporaryName(target, pid); };
  const long dead = std::numeric_limits<int32_t>::max();
  const std::vector<std::string> stale = {temp("save/Collection.dat", dead),
                                          temp("save/save1.dat", getpid()), temp("settings.txt", 1),
                                          temp("screenshots/a.png", dead)};
  const std::vector<std::string> kept = {"save/Pattern.dat",
                                         "notes.tmp",
                                         "save/a.tmp12x",
                                         ".tmp123",
                                         "save/ArtsList.dat.tmp1",
                                         "save/Collection.dat.tmp" + std::to_string(dead),
                                         "photos/x.jpg.tmp7",
                                         temp("photos/x.jpg", dead),
                                         temp("save/old/x.dat", dead),
                                         ".quillfen-5.tmp",
                                         "save/x.quillfen-.tmp",
                                         "save/x.quillfen-12a.tmp",
                                         "save/x.quillfen-5.tmp.bak",
                                         "save/holiday-photo123.tmp"};
  for (const auto& name : stale) WriteData(name, "half");
  for (const auto& name : kept) WriteData(name, "keep");
  {
    posix::FolderLock other;  // another copy of the game
    ASSERT_EQ(other.Take(dataDir.string()), posix::FolderLock::State::Held);
    EXPECT_FALSE(MakeHost().ClaimSaveFolder());
    for (const auto& name : stale) EXPECT_TRUE(std::filesystem::exists(dataDir / name)) << name;
  }
  EXPECT_TRUE(MakeHost().ClaimSaveFolder());
  for (const auto& name : stale) EXPECT_FALSE(std::filesystem::exists(dataDir / name)) << name;
  for (const auto& name : kept) EXPECT_TRUE(std::filesystem::exists(dataDir / name)) << name;
  // Held until the host goes.
  posix::FolderLock other;
  EXPECT_EQ(other.Take(dataDir.string()), posix::FolderLock::State::Busy);
}

TEST(Calendar, NormalisationCarriesOverflowingFields) {
  plat::CalendarTime t = posix::BreakDown(0, true);
  t.year = 126;
  t.mon = 0;
  t.mday = 32;  // January 32nd is February 1st
  ASSERT_TRUE(posix::Normalise(t, true));
  EXPECT_EQ(t.mon, 1);
  EXPECT_EQ(t.mday, 1);
  EXPECT_EQ(t.wday, 0);  // 2026-02-01 is a Sunday
  EXPECT_EQ(t.yday, 31);
  t.year = 60;  // before the calendar starts
  EXPECT_FALSE(posix::Normalise(t, true));
}

}  // namespace
