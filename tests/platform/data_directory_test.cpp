// The data directory as the game's file names reach it: Windows names found
// whatever their case, nothing outside the folder, whole files replaced in
// one step, and files no game file can be refused without hanging. Installed
// data is read-only: the game's writes go to the player's save folder, whose
// files shadow the shipped ones, and where that folder lies.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <future>
#include <limits>

#include "platform/posix/host_files.h"
#include "support/game_fixture.h"

namespace {

namespace fs = std::filesystem;

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
  fs::create_directory_symlink("..", data / "uplink");
  fs::create_directory_symlink(dataDir, data / "far");
  fs::create_symlink("../../secret.txt", data / "save/Collection.dat");
  fs::create_directory_symlink("bg", data / "alias");
  fs::create_symlink("keep.dat", data / "save/link.dat");
  posix::DataDirectory dir(data.string());
  std::string path, why;
  std::vector<uint8_t> bytes;
  const char* outside = "outside the data directory";
  const std::pair<const char*, const char*> refused[] = {{"\\x", "absolute path"},
                                                         {"", "empty name"},
                                                         {"..\\x", outside},
                                                         {"c:\\x", outside},
                                                         {"uplink\\secret.txt", outside},
                                                         {"far\\secret.txt", outside},
                                                         {"save\\Collection.dat", outside},
                                                         {"uplink", outside},
                                                         {"uplink\\new.dat", outside}};
  for (const auto& [name, reason] : refused) {
    EXPECT_FALSE(dir.Resolve(name, path, &why)) << name;
    EXPECT_EQ(why, reason) << name;
    EXPECT_FALSE(dir.Read(name, bytes)) << name;
  }
  EXPECT_EQ(dir.Write("uplink\\new.dat", "n", 1), plat::WriteResult::CreateFailed);
  EXPECT_FALSE(dir.Remove("uplink\\secret.txt"));
  EXPECT_TRUE(fs::exists(dataDir / "secret.txt"));
  // Links that stay inside work, and so does a data folder reached by a link.
  ASSERT_TRUE(dir.Read("alias\\x.k16", bytes));
  ASSERT_TRUE(dir.Read("save\\link.dat", bytes));
  EXPECT_EQ(bytes, std::vector<uint8_t>{'k'});
  fs::create_directory_symlink(data, dataDir / "data-link");
  EXPECT_TRUE(posix::DataDirectory((dataDir / "data-link").string()).Read("bg\\x.k16", bytes));
}

TEST_F(DataDirectoryTest, WritesReplaceWholeFilesInOneStepAndFoldersComeOnlyWhenMade) {
  posix::DataDirectory dir(dataDir.string());
  WriteData("save/old.dat", "old contents");
  // A second name for the old file sees it unchanged: the new one replaced it
  // whole, it was not written over in place, where a kill would cut it short.
  fs::create_hard_link(dataDir / "save/old.dat", dataDir / "old-link.dat");
  ASSERT_EQ(dir.Write("SAVE\\OLD.DAT", "new", 3), plat::WriteResult::Ok);
  EXPECT_EQ(Read("save\\old.dat"), "new");
  EXPECT_EQ(Read("old-link.dat"), "old contents");
  EXPECT_EQ(std::distance(fs::directory_iterator(dataDir / "save"), {}), 1);
  // A disk that takes only part of a write (here a file size limit) keeps
  // the old file and says so.
  rlimit was{};
  getrlimit(RLIMIT_FSIZE, &was);
  rlimit small = was;
  small.rlim_cur = 2;
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  const plat::WriteResult cut = dir.Write("save\\old.dat", "too long", 8);
  setrlimit(RLIMIT_FSIZE, &was);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(cut, plat::WriteResult::ShortWrite);
  EXPECT_EQ(Read("save\\old.dat"), "new");
  EXPECT_EQ(std::distance(fs::directory_iterator(dataDir / "save"), {}), 1);

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
bool InTime(F f, const fs::path& fifo) {
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
  fs::create_directory(dataDir / "folder.k16");
  EXPECT_FALSE(dir.Read("folder.k16", bytes));
  // Sparse files larger than their kind can be are refused before memory is
  // set aside; past a small kind's bound a scenario is refused, a wave not.
  const uint64_t huge = uint64_t{64} << 30, big = (uint64_t{16} << 20) + 1;
  const std::tuple<const char*, uint64_t, bool> files[] = {
      {"huge.k16", huge, false}, {"huge.scn", huge, false}, {"huge.wav", huge, false},
      {"huge.dat", huge, false}, {"huge", huge, false},     {"big.scn", big, false},
      {"big.wav", big, true}};
  for (const auto& [name, size, readable] : files) {
    std::ofstream(dataDir / name).close();
    fs::resize_file(dataDir / name, size);
    EXPECT_EQ(dir.Read(name, bytes), readable) << name;
  }
  EXPECT_EQ(bytes.size(), big);
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
  // Named as other programs name theirs, or as the game's in a folder the
  // game never made.
  const char* kept[] = {"save/Pattern.dat",
                        "notes.tmp",
                        "photos/x.jpg.quillfen-2147483647.tmp",
                        "save/old/x.dat.quillfen-2147483647.tmp",
                        ".quillfen-5.tmp",
                        "save/x.quillfen-.tmp",
                        "save/x.quillfen-12a.tmp",
                        "save/x.quillfen-5.tmp.bak",
                        "save/Collection.dat.tmp2147483647"};
  for (const auto& name : stale) WriteData(name, "half");
  for (const auto& name : kept) WriteData(name, "keep");
  {
    posix::FolderLock other;  // another copy of the game
    ASSERT_EQ(other.Take(dataDir.string()), posix::FolderLock::State::Held);
    EXPECT_FALSE(MakeHost().ClaimSaveFolder());
    for (const auto& name : stale) EXPECT_TRUE(fs::exists(dataDir / name)) << name;
  }
  EXPECT_TRUE(MakeHost().ClaimSaveFolder());
  for (const auto& name : stale) EXPECT_FALSE(fs::exists(dataDir / name)) << name;
  for (const auto& name : kept) EXPECT_TRUE(fs::exists(dataDir / name)) << name;
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

// Beside the shipped "data", the save folder two levels down, as
// quillfen/<game id> lies below the player's data folder.
constexpr const char* kSaves = "home/quillfen/demo-0123";

class SaveFolderTest : public GameTest {
 protected:
  static std::string Read(const posix::GameFiles& files, const char* name) {
    std::vector<uint8_t> bytes;
    return files.Read(name, bytes) ? std::string(bytes.begin(), bytes.end()) : "<missing>";
  }
};

TEST_F(SaveFolderTest, WritesGoToTheSaveFolderReadsLookThereFirstRemovalsTakeBoth) {
  WriteData("data/save/Collection.dat", "shipped");
  WriteData("data/save/Pattern.dat", "shipped pattern");
  WriteData("data/start.scn", "scenario");
  const fs::path saves = dataDir / kSaves;
  const posix::GameFiles files((dataDir / "data").string(), saves.string());
  ASSERT_TRUE(files.HasSaveFolder());
  EXPECT_FALSE(fs::exists(saves));  // nothing is made before the first write
  EXPECT_EQ(Read(files, "save\\collection.dat"), "shipped");
  // The data has the name's folder: it is made in the save folder, privately.
  ASSERT_EQ(files.Write("SAVE\\Collection.dat", "mine", 4), plat::WriteResult::Ok);
  EXPECT_EQ(ReadText(dataDir / "data/save/Collection.dat"), "shipped");
  EXPECT_EQ(ReadText(saves / "SAVE/Collection.dat"), "mine");
  EXPECT_EQ(fs::status(saves).permissions() & fs::perms::all, fs::perms::owner_all);
  const std::pair<const char*, const char*> reads[] = {{"save\\COLLECTION.DAT", "mine"},
                                                       {"save\\Pattern.dat", "shipped pattern"},
                                                       {"start.scn", "scenario"},
                                                       {"save\\save1.dat", "<missing>"}};
  for (const auto& [name, contents] : reads) {
    EXPECT_EQ(Read(files, name), contents) << name;
    EXPECT_EQ(files.Exists(name), std::string(contents) != "<missing>") << name;
  }
  // Gone for the game means gone from both folders.
  EXPECT_TRUE(files.Remove("save\\Collection.dat"));
  EXPECT_EQ(Read(files, "save\\Collection.dat"), "<missing>");
  EXPECT_TRUE(files.Remove("save\\Pattern.dat"));
  EXPECT_FALSE(files.Remove("save\\Pattern.dat"));
  // A folder the data does not have fails as it would there, until made.
  EXPECT_EQ(files.Write("notes\\a.txt", "a", 1), plat::WriteResult::CreateFailed);
  EXPECT_TRUE(files.MakeFolder("notes"));
  EXPECT_EQ(files.Write("notes\\a.txt", "a", 1), plat::WriteResult::Ok);
  EXPECT_FALSE(fs::exists(dataDir / "data/notes"));
  EXPECT_EQ(files.Write("..\\x", "x", 1), plat::WriteResult::CreateFailed);
  // Without a save folder the data directory takes the writes.
  const posix::GameFiles alone((dataDir / "data").string());
  EXPECT_FALSE(alone.HasSaveFolder());
  ASSERT_EQ(alone.Write("save\\Collection.dat", "mine", 4), plat::WriteResult::Ok);
  EXPECT_EQ(ReadText(dataDir / "data/save/Collection.dat"), "mine");
}

TEST(SaveFolderChoice, TheDataIsFoundBesideTheProgramThenInstalled) {
  ScopedTempDir root;
  const std::string program = (root.path() / "bin").string();
  const std::string installed = (root.path() / "share/quillfen/data").string();
  fs::create_directories(program);
  auto found = [&] {
    const posix::DataChoice c = posix::FindDataDirectory(program, {"/nonexistent/x", installed});
    return c.dir + (c.installed ? " installed" : "");
  };
  EXPECT_EQ(found(), program + "/data");  // nothing anywhere: beside the program
  fs::create_directories(installed);
  EXPECT_EQ(found(), installed + " installed");
  fs::create_directories(program + "/data");
  EXPECT_EQ(found(), program + "/data");
}

TEST(SaveFolderChoice, GameIdsAreStablePerDirectoryAndSafeAsNames) {
  ScopedTempDir root;
  for (const char* d : {"quillfen/data", "other/data", "My Game!"})
    fs::create_directories(root.path() / d);
  const std::string a = posix::GameId((root.path() / "quillfen/data").string());
  EXPECT_EQ(a.rfind("quillfen-", 0), 0u) << a;
  EXPECT_EQ(a.size(), std::string("quillfen-").size() + 12);
  EXPECT_EQ(posix::GameId((root.path() / "quillfen/../quillfen/data/").string()), a);
  const std::string b = posix::GameId((root.path() / "other/data").string());
  EXPECT_NE(b, a);
  EXPECT_EQ(b.rfind("other-", 0), 0u) << b;
  EXPECT_EQ(posix::GameId((root.path() / "My Game!").string()).rfind("My_Game_-", 0), 0u);
  EXPECT_EQ(posix::GameId("/").substr(0, 2), "g-");
}

TEST(SaveFolderChoice, TheSaveFolderIsChosenByOptionInstallationAndWritability) {
  ScopedTempDir root;
  const std::string data = (root.path() / "quillfen/data").string();
  const std::string missing = (root.path() / "gone").string();
  fs::create_directories(data);
  const std::string local = "/home/p/.local/share/quillfen/" + posix::GameId(data);
  // A writable build folder keeps its writes.
  const struct {
    std::string dir;
    bool installed;
    const char *option, *xdg, *home;
    std::string chosen;
  } cases[] = {{data, true, "/my/saves", "/xdg", "/home/p", "/my/saves"},
               {data, false, "", "/xdg", "/home/p", ""},
               {data, true, "", "/xdg/", "/home/p", "/xdg/quillfen/" + posix::GameId(data)},
               {data, true, "", nullptr, "/home/p", local},
               {data, true, "", "", "/home/p", local},
               {data, true, "", "relative", "/home/p", local},
               {data, true, "", nullptr, nullptr, ""},
               {missing, false, "", nullptr, "/home/p",
                "/home/p/.local/share/quillfen/" + posix::GameId(missing)}};
  for (const auto& c : cases)
    EXPECT_EQ(posix::ChooseSaveFolder(c.dir, c.installed, c.option, c.xdg, c.home), c.chosen)
        << c.dir << " " << (c.xdg ? c.xdg : "-");
  if (geteuid() != 0) {
    chmod(data.c_str(), 0555);
    EXPECT_NE(posix::ChooseSaveFolder(data, false, "", nullptr, "/home/p"), "");
    chmod(data.c_str(), 0755);
  }
}

}  // namespace
