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

#include "platform/posix/fs_routing.h"
#include "support/game_fixture.h"

namespace {

namespace fs = std::filesystem;

template <typename Files>
std::string ReadFrom(const Files& files, const std::string& sjisName) {
  std::vector<uint8_t> bytes;
  return files.Read(sjisName.c_str(), bytes) ? std::string(bytes.begin(), bytes.end())
                                             : "<missing>";
}

class DataDirectoryTest : public GameTest {
 protected:
  std::string Read(const std::string& name) {
    return ReadFrom(posix::DataDirectory(dataDir.string()), name);
  }
  size_t FilesIn(const char* folder) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dataDir / folder), {}));
  }
};

// Lead bytes 0xF0 to 0xFC (user-defined characters, IBM extension kanji) have
// 0x5C trails like any other.
TEST_F(DataDirectoryTest, NamesAreFoundWhateverTheirCaseComponentByComponent) {
  WriteData("Save/Collection.DAT", "c");
  WriteData("BG/Forest.k16", "f");
  WriteData("表/ソース.K16", "s");
  WriteData(posix::SjisToUtf8("\xFA\x5C") + "/" + posix::SjisToUtf8("\xFB\x5C") + ".k16", "e");
  std::string found;
  for (const std::string& name : std::initializer_list<std::string>{
           "save\\collection.dat", "SAVE/COLLECTION.DAT", "bg\\FOREST.K16", ".\\bg\\\\forest.k16",
           "bg\\forest", Sjis("表\\ソース.k16"), "\xFA\x5C\\\xFB\x5C.k16", "\xFA\x5C/\xFB\x5C.K16"})
    found += Read(name) + " ";
  EXPECT_EQ(found, "c c f f <missing> s e e ");
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
  fs::create_directory_symlink(data, dataDir / "data-link");
  posix::DataDirectory dir(data.string());
  std::string path, refused;
  std::vector<uint8_t> bytes;
  for (const char* name : {"\\x", "", "..\\x", "c:\\x", "uplink\\secret.txt", "far\\secret.txt",
                           "save\\Collection.dat", "uplink", "uplink\\new.dat"}) {
    std::string why = "resolved";
    dir.Resolve(name, path, &why);
    refused += (why == "outside the data directory" ? "outside" : why) +
               (dir.Read(name, bytes) ? " but read, " : ", ");
  }
  EXPECT_EQ(refused,
            "absolute path, empty name, outside, outside, outside, outside, outside, outside, "
            "outside, ");
  EXPECT_EQ(dir.Write("uplink\\new.dat", "n", 1), plat::WriteResult::CreateFailed);
  EXPECT_FALSE(dir.Remove("uplink\\secret.txt"));
  EXPECT_TRUE(fs::exists(dataDir / "secret.txt"));
  // Links that stay inside work, and so does a data folder reached by a link.
  EXPECT_EQ(ReadFrom(dir, "alias\\x.k16") + ReadFrom(dir, "save\\link.dat") +
                ReadFrom(posix::DataDirectory((dataDir / "data-link").string()), "bg\\x.k16"),
            "xkx");
}

TEST_F(DataDirectoryTest, WritesReplaceWholeFilesInOneStepAndFoldersComeOnlyWhenMade) {
  posix::DataDirectory dir(dataDir.string());
  WriteData("save/old.dat", "old contents");
  // A second name for the old file sees it unchanged: the new one replaced it
  // whole, it was not written over in place, where a kill would cut it short.
  fs::create_hard_link(dataDir / "save/old.dat", dataDir / "old-link.dat");
  ASSERT_EQ(dir.Write("SAVE\\OLD.DAT", "new", 3), plat::WriteResult::Ok);
  EXPECT_EQ(Read("save\\old.dat") + "|" + Read("old-link.dat"), "new|old contents");
  EXPECT_EQ(FilesIn("save"), 1u);
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
  EXPECT_EQ(FilesIn("save"), 1u);

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

TEST_F(DataDirectoryTest, SpecialAndOversizedFilesFailLikeMissingOnes) {
  posix::DataDirectory dir(dataDir.string());
  ASSERT_EQ(mkfifo((dataDir / "fifo.scn").c_str(), 0644), 0);
  fs::create_directory(dataDir / "folder.k16");
  std::vector<uint8_t> bytes;
  // A read still blocked after some seconds counts as hung and is released by
  // opening the FIFO's other end.
  auto read = std::async(std::launch::async, [&] { return dir.Read("fifo.scn", bytes); });
  const bool inTime = read.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  if (!inTime) std::ofstream(dataDir / "fifo.scn").close();
  EXPECT_TRUE(inTime);
  EXPECT_FALSE(read.get() || dir.Read("folder.k16", bytes));
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
  const long dead = std::numeric_limits<int32_t>::max();
  const std::string stale[] = {posix::TemporaryName("save/Collection.dat", dead),
                               posix::TemporaryName("save/save1.dat", getpid()),
                               posix::TemporaryName("settings.txt", 1),
                               posix::TemporaryName("screenshots/a.png", dead)};
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
  auto present = [&] {
    std::string s;
    for (const auto& name : stale) s += fs::exists(dataDir / name) ? "s" : "-";
    for (const auto& name : kept) s += fs::exists(dataDir / name) ? "k" : "-";
    return s;
  };
  {
    posix::FolderLock other;  // another copy of the game
    ASSERT_EQ(other.Take(dataDir.string()), posix::FolderLock::State::Held);
    EXPECT_FALSE(MakeHost().ClaimSaveFolder());
    EXPECT_EQ(present(), "sssskkkkkkkkk");
  }
  EXPECT_TRUE(MakeHost().ClaimSaveFolder());
  EXPECT_EQ(present(), "----kkkkkkkkk");
  posix::FolderLock other;  // held until the host goes
  EXPECT_EQ(other.Take(dataDir.string()), posix::FolderLock::State::Busy);
}

TEST_F(DataDirectoryTest, WritesGoToTheSaveFolderReadsLookThereFirstRemovalsTakeBoth) {
  WriteData("data/save/Collection.dat", "shipped");
  WriteData("data/save/Pattern.dat", "shipped pattern");
  WriteData("data/start.scn", "scenario");
  // Two levels down, as quillfen/<game id> lies below the player's data folder.
  const fs::path saves = dataDir / "home/quillfen/demo-0123";
  const posix::GameFiles files((dataDir / "data").string(), saves.string());
  ASSERT_TRUE(files.HasSaveFolder());
  EXPECT_FALSE(fs::exists(saves));  // nothing is made before the first write
  EXPECT_EQ(ReadFrom(files, "save\\collection.dat"), "shipped");
  // The data has the name's folder: it is made in the save folder, privately.
  ASSERT_EQ(files.Write("SAVE\\Collection.dat", "mine", 4), plat::WriteResult::Ok);
  EXPECT_EQ(ReadText(dataDir / "data/save/Collection.dat"), "shipped");
  EXPECT_EQ(ReadText(saves / "SAVE/Collection.dat"), "mine");
  EXPECT_EQ(fs::status(saves).permissions() & fs::perms::all, fs::perms::owner_all);
  std::string seen;
  for (const char* name : {"save\\COLLECTION.DAT", "save\\Pattern.dat", "start.scn", "save\\s.dat"})
    seen += ReadFrom(files, name) + (files.Exists(name) ? "+ " : "- ");
  EXPECT_EQ(seen, "mine+ shipped pattern+ scenario+ <missing>- ");
  // Gone for the game means gone from both folders.
  EXPECT_TRUE(files.Remove("save\\Collection.dat") && !files.Remove("save\\Collection.dat"));
  EXPECT_EQ(ReadFrom(files, "save\\Collection.dat"), "<missing>");
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

// The data beside the program, else installed; the save folder by option,
// installation and writability, named by a game id stable per directory.
TEST_F(DataDirectoryTest, TheDataAndTheSaveFolderLieWhereThePlayerExpects) {
  const std::string program = (dataDir / "bin").string();
  const std::string shared = (dataDir / "share/quillfen/data").string();
  fs::create_directories(program);
  auto found = [&] {
    const posix::DataChoice c = posix::FindDataDirectory(program, {"/nonexistent/x", shared});
    return c.dir.substr(dataDir.string().size()) + (c.installed ? " installed" : "") + ", ";
  };
  std::string seen = found();  // nothing anywhere: beside the program
  fs::create_directories(shared);
  seen += found();
  fs::create_directories(program + "/data");
  EXPECT_EQ(seen + found(), "/bin/data, /share/quillfen/data installed, /bin/data, ");

  for (const char* d : {"quillfen/data", "other/data", "My Game!"})
    fs::create_directories(dataDir / d);
  const std::string data = (dataDir / "quillfen/data").string(), id = posix::GameId(data);
  auto prefix = [&](const std::string& dir) {
    const std::string i = posix::GameId(dir);
    return i.substr(0, i.size() - 12) + std::to_string(i.size()) + (i == id ? "=" : "") + " ";
  };
  EXPECT_EQ(prefix(data) + prefix((dataDir / "quillfen/../quillfen/data/").string()) +
                prefix((dataDir / "other/data").string()) +
                prefix((dataDir / "My Game!").string()) + prefix("/"),
            "quillfen-21= quillfen-21= other-18 My_Game_-21 g-14 ");
  // A writable build folder keeps its writes; a game id's hash shows as #.
  const std::string missing = (dataDir / "gone").string();
  using Row = std::tuple<std::string, bool, const char*, const char*, const char*>;
  std::string chosen;
  for (const auto& [dir, installed, option, xdg, home] :
       {Row{data, true, "/my/saves", "/xdg", "/home/p"}, Row{data, false, "", "/xdg", "/home/p"},
        Row{data, true, "", "/xdg/", "/home/p"}, Row{data, true, "", nullptr, "/home/p"},
        Row{data, true, "", "", "/home/p"}, Row{data, true, "", "relative", "/home/p"},
        Row{data, true, "", nullptr, nullptr}, Row{missing, false, "", nullptr, "/home/p"}}) {
    const std::string c = posix::ChooseSaveFolder(dir, installed, option, xdg, home);
    chosen +=
        (c.find("/quillfen/") != std::string::npos ? c.substr(0, c.size() - 12) + "#" : c) + ", ";
  }
  EXPECT_EQ(chosen,
            "/my/saves, , /xdg/quillfen/quillfen-#, /home/p/.local/share/quillfen/quillfen-#, "
            "/home/p/.local/share/quillfen/quillfen-#, /home/p/.local/share/quillfen/quillfen-#, "
            ", /home/p/.local/share/quillfen/gone-#, ");
  if (geteuid() != 0) {
    chmod(data.c_str(), 0555);
    EXPECT_NE(posix::ChooseSaveFolder(data, false, "", nullptr, "/home/p"), "");
    chmod(data.c_str(), 0755);
  }
}

}  // namespace
