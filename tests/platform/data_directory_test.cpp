// The data directory as the game's file names reach it: Windows names found
// whatever their case, nothing outside the folder, whole-file writes, and
// files no game file can be refused without hanging.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
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
  WriteData("表/ソース.K16", "s");
  WriteData(posix::SjisToUtf8("\xFA\x5C") + "/" + posix::SjisToUtf8("\xFB\x5C") + ".k16", "e");
  const std::pair<std::string, std::string> cases[] = {
      {"save\\collection.dat", "c"},   {"SAVE/COLLECTION.DAT", "c"},  {"bg\\FOREST.K16", "f"},
      {".\\bg\\\\forest.k16", "f"},    {"bg\\forest", "<missing>"},   {Sjis("表\\ソース.k16"), "s"},
      {"\xFA\x5C\\\xFB\x5C.k16", "e"}, {"\xFA\x5C/\xFB\x5C.K16", "e"}};
  for (const auto& [name, contents] : cases) EXPECT_EQ(Read(name), contents) << name;
}

TEST_F(DataDirectoryTest, NamesThatLeaveTheFolderAreRefused) {
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
  std::string path, why;
  const std::pair<const char*, const char*> refused[] = {
      {"..\\x", "outside the data directory"},
      {"\\x", "absolute path"},
      {"c:\\x", nullptr},
      {"", "empty name"},
      {"uplink\\secret.txt", "outside the data directory"},
      {"far\\secret.txt", "outside the data directory"},
      {"save\\Collection.dat", "outside the data directory"},
      {"uplink", "outside the data directory"},
      {"uplink\\new.dat", "outside the data directory"}};
  std::vector<uint8_t> bytes;
  for (const auto& [name, reason] : refused) {
    EXPECT_FALSE(dir.Resolve(name, path, &why)) << name;
    if (reason) {
      EXPECT_EQ(why, reason) << name;
    }
    EXPECT_FALSE(dir.Read(name, bytes)) << name;
  }
  EXPECT_EQ(dir.Write("uplink\\new.dat", "n", 1), plat::WriteResult::CreateFailed);
  EXPECT_FALSE(dir.Remove("uplink\\secret.txt"));
  EXPECT_TRUE(std::filesystem::exists(dataDir / "secret.txt"));
  EXPECT_FALSE(std::filesystem::exists(dataDir / "new.dat"));
  // Links that stay inside work, and so does a data folder reached by a link.
  ASSERT_TRUE(dir.Resolve("a\\b", path));
  EXPECT_EQ(path, data.string() + "/a/b");
  ASSERT_TRUE(dir.Read("alias\\x.k16", bytes));
  ASSERT_TRUE(dir.Read("save\\link.dat", bytes));
  EXPECT_EQ(bytes, std::vector<uint8_t>{'k'});
  EXPECT_EQ(dir.Write("alias\\new.dat", "n", 1), plat::WriteResult::Ok);
  std::filesystem::create_directory_symlink(data, dataDir / "data-link");
  EXPECT_TRUE(posix::DataDirectory((dataDir / "data-link").string()).Read("bg\\new.dat", bytes));
}

TEST_F(DataDirectoryTest, WritesReplaceWholeFilesAndFoldersComeOnlyWhenMade) {
  posix::DataDirectory dir(dataDir.string());
  WriteData("save/old.dat", "old contents");
  ASSERT_EQ(dir.Write("SAVE\\OLD.DAT", "new", 3), plat::WriteResult::Ok);
  EXPECT_EQ(Read("save\\old.dat"), "new");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dataDir / "save"), {}), 1);
  EXPECT_EQ(dir.Write("new\\x.dat", "x", 1), plat::WriteResult::CreateFailed);
  EXPECT_TRUE(dir.MakeFolder("new") && dir.MakeFolder("new"));
  EXPECT_EQ(dir.Write("new\\x.dat", "x", 1), plat::WriteResult::Ok);
  EXPECT_TRUE(dir.Remove("NEW\\X.DAT"));
  EXPECT_FALSE(dir.Remove("new\\x.dat"));
  // A read-only file is made writable again and carries its time.
  WriteData("ro.dat", "r");
  chmod((dataDir / "ro.dat").c_str(), 0444);
  EXPECT_TRUE(dir.ResetAttributes("ro.dat"));
  EXPECT_EQ(access((dataDir / "ro.dat").c_str(), W_OK), 0);
  plat::CalendarTime t;
  ASSERT_TRUE(dir.WriteTime("ro.dat", true, t));
  EXPECT_GE(t.year, 125);
  EXPECT_FALSE(dir.WriteTime("none.dat", true, t));
}

// Runs f on another thread; a call still blocked after some seconds counts as
// hung and is released by opening the FIFO's other end.
template <typename F>
bool InTime(F f, const std::filesystem::path& fifo) {
  auto answer = std::async(std::launch::async, f);
  const bool inTime = answer.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  if (!inTime) std::ofstream(fifo).close();
  answer.get();
  return inTime;
}

TEST_F(DataDirectoryTest, SpecialAndOversizedFilesFailLikeMissingOnes) {
  posix::DataDirectory dir(dataDir.string());
  ASSERT_EQ(mkfifo((dataDir / "fifo.scn").c_str(), 0644), 0);
  std::vector<uint8_t> bytes;
  bool read = true;
  EXPECT_TRUE(InTime([&] { read = dir.Read("fifo.scn", bytes); }, dataDir / "fifo.scn"));
  EXPECT_FALSE(read);
  std::filesystem::create_directory(dataDir / "folder.k16");
  EXPECT_FALSE(dir.Read("folder.k16", bytes));
  // Sparse files larger than their kind can be are refused before memory is
  // set aside; past a small kind's bound a scenario is refused, a wave not.
  const std::pair<const char*, uint64_t> files[] = {
      {"huge.k16", uint64_t{64} << 30}, {"huge.scn", uint64_t{64} << 30},
      {"huge.wav", uint64_t{64} << 30}, {"huge.dat", uint64_t{64} << 30},
      {"huge", uint64_t{64} << 30},     {"big.scn", (uint64_t{16} << 20) + 1}};
  for (const auto& [name, size] : files) {
    std::ofstream(dataDir / name).close();
    std::filesystem::resize_file(dataDir / name, size);
    EXPECT_FALSE(dir.Read(name, bytes)) << name;
  }
  std::ofstream(dataDir / "big.wav").close();
  std::filesystem::resize_file(dataDir / "big.wav", (uint64_t{16} << 20) + 1);
  EXPECT_TRUE(dir.Read("big.wav", bytes));
  EXPECT_EQ(bytes.size(), (size_t{16} << 20) + 1);

  // A whole run gets past empty, huge and special files.
  for (const char* name : {"CardData.dat", "AtArts.dat", "DfArts.dat", "save/Collection.dat",
                           "save/ArtsList.dat", "save/Pattern.dat", "source1.K16"})
    WriteData(name, "");
  WriteData("start.scn", ".let money = 1\n");
  std::filesystem::resize_file(dataDir / "source1.K16", uint64_t{64} << 30);
  ASSERT_EQ(mkfifo((dataDir / "config.scn").c_str(), 0644), 0);
  MakeHost();
  int exitCode = -1;
  EXPECT_TRUE(InTime([&] { exitCode = RunGame(); }, dataDir / "config.scn"));
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"存在しないファイルを指定しました"});
  EXPECT_EQ(std::filesystem::file_size(dataDir / "save/Collection.dat"), kCollectionFileSize);
}

// The start of a run claims the folder and clears the temporaries that the
// game's own writes left, in the folder and the game's folders in it; a file
// of the player's is never taken for one, and a claim on a folder another
// copy holds is refused and clears nothing.
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
  posix::FolderLock other;  // held until the host goes
  EXPECT_EQ(other.Take(dataDir.string()), posix::FolderLock::State::Busy);
}

TEST(Calendar, NormalisationCarriesOverflowingFields) {
  plat::CalendarTime t = posix::BreakDown(0, true);
  t.year = 126;
  t.mon = 0;
  t.mday = 32;  // January 32nd is February 1st, a Sunday
  ASSERT_TRUE(posix::Normalise(t, true));
  EXPECT_EQ((std::vector<int>{t.mon, t.mday, t.wday, t.yday}), (std::vector<int>{1, 1, 0, 31}));
  t.year = 60;  // before the calendar starts
  EXPECT_FALSE(posix::Normalise(t, true));
}

}  // namespace
