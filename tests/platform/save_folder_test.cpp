// Installed data is read-only: the game's writes go to the player's save
// folder, whose files shadow the shipped ones, and where that folder lies.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <limits>

#include "data/player.h"
#include "platform/posix/host_files.h"
#include "support/files.h"
#include "support/game_fixture.h"

namespace {

namespace fs = std::filesystem;

// Beside the shipped "data", the save folder two levels down, as
// quillfen/<game id> lies below the player's data folder.
constexpr const char* kSaves = "home/quillfen/demo-0123";

class SaveFolderTest : public GameTest {
 protected:
  posix::GameFiles Files() const {
    return posix::GameFiles((dataDir / "data").string(), (dataDir / kSaves).string());
  }
  static std::string Read(const posix::GameFiles& files, const char* name) {
    std::vector<uint8_t> bytes;
    return files.Read(name, bytes) ? std::string(bytes.begin(), bytes.end()) : "<missing>";
  }
};

TEST_F(SaveFolderTest, WritesGoToTheSaveFolderReadsLookThereFirstRemovalsTakeBoth) {
  WriteData("data/save/Collection.dat", "shipped");
  WriteData("data/save/Pattern.dat", "shipped pattern");
  WriteData("data/start.scn", "scenario");
  const posix::GameFiles files = Files();
  const fs::path saves = dataDir / kSaves;
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
  EXPECT_FALSE(files.Exists("save\\Pattern.dat"));
  EXPECT_FALSE(files.Remove("save\\Pattern.dat"));
  // A folder the data does not have fails as it would there, until made.
  EXPECT_EQ(files.Write("notes\\a.txt", "a", 1), plat::WriteResult::CreateFailed);
  EXPECT_TRUE(files.MakeFolder("notes"));
  EXPECT_EQ(files.Write("notes\\a.txt", "a", 1), plat::WriteResult::Ok);
  EXPECT_FALSE(fs::exists(dataDir / "data/notes"));
  std::string path, why;
  EXPECT_FALSE(files.Resolve("..\\x", path, &why));
  EXPECT_EQ(why, "outside the data directory");
  EXPECT_EQ(files.Write("..\\x", "x", 1), plat::WriteResult::CreateFailed);
  // Without a save folder the data directory takes the writes.
  const posix::GameFiles alone((dataDir / "data").string());
  EXPECT_FALSE(alone.HasSaveFolder());
  ASSERT_EQ(alone.Write("save\\Collection.dat", "mine", 4), plat::WriteResult::Ok);
  EXPECT_EQ(ReadText(dataDir / "data/save/Collection.dat"), "mine");
}

TEST_F(SaveFolderTest, AWholeRunLoadsAndSavesProgressInTheSaveFolder) {
  WriteData("data/start.scn", ":title\n");
  std::string shipped(kCollectionFileSize, '\0'), mine(kCollectionFileSize, '\0');
  shipped[1] = 1;
  mine[3] = 1;  // the player's collection shadows the shipped one
  WriteData("data/save/Collection.dat", shipped);
  WriteData(std::string(kSaves) + "/save/Collection.dat", mine);
  const std::string half = posix::TemporaryName(std::string(kSaves) + "/save/save1.dat",
                                                std::numeric_limits<int32_t>::max());
  WriteData(half, "half");
  const fs::path root = dataDir;
  dataDir = root / "data";
  saveDir = root / kSaves;
  MakeHost();
  ASSERT_TRUE(host->ClaimSaveFolder());  // an interrupted write is cleared
  EXPECT_FALSE(fs::exists(root / half));
  EXPECT_EQ(RunGame(), 0);
  EXPECT_EQ(ReadText(root / "data/save/Collection.dat"), shipped);
  EXPECT_EQ(ReadText(saveDir / "save/Collection.dat"), mine);
  EXPECT_EQ(fs::file_size(saveDir / "save/ArtsList.dat"), kArtsListFileSize);
  EXPECT_EQ(fs::file_size(saveDir / "save/Pattern.dat"), kPatternFileSize);
  EXPECT_FALSE(fs::exists(root / "data/save/ArtsList.dat"));
}

TEST(SaveFolderChoice, TheDataIsFoundBesideTheProgramThenInstalled) {
  ScopedTempDir root;
  const std::string program = (root.path() / "bin").string();
  const std::string installed = (root.path() / "share/quillfen/data").string();
  const std::vector<std::string> dirs = {"/nonexistent/x", installed};
  fs::create_directories(program);
  auto found = [&] {
    const posix::DataChoice c = posix::FindDataDirectory(program, dirs);
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
  // a writable build folder keeps its writes
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
