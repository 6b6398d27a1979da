#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <limits>

#include "data/player.h"
#include "platform/posix/host_files.h"
#include "support/files.h"
#include "support/game_fixture.h"

namespace {

namespace fs = std::filesystem;

class SaveFolderTest : public GameTest {
 protected:
  // The save folder lies two levels below a scratch folder of its own, as
  // quillfen/<game id> lies below the player's data folder.
  void SetUp() override {
    GameTest::SetUp();
    home.emplace("quillfen-home-");
    saves = home->path() / "quillfen" / "demo-0123";
  }
  posix::GameFiles Files() const { return posix::GameFiles(dataDir.string(), saves.string()); }
  static std::string Read(const posix::GameFiles& files, const char* name) {
    std::vector<uint8_t> bytes;
    if (!files.Read(name, bytes)) return "<missing>";
    return std::string(bytes.begin(), bytes.end());
  }
  void WriteSave(const std::string& name, const std::string& bytes) {
    fs::create_directories((saves / name).parent_path());
    std::ofstream(saves / name, std::ios::binary) << bytes;
  }

  std::optional<ScopedTempDir> home;
  fs::path saves;
};

TEST_F(SaveFolderTest, WritesGoToTheSaveFolderAndReadsLookThereFirst) {
  WriteData("save/Collection.dat", "shipped");
  WriteData("save/Pattern.dat", "shipped pattern");
  WriteData("start.scn", "scenario");
  const posix::GameFiles files = Files();
  ASSERT_TRUE(files.HasSaveFolder());
  // Nothing is made before the first write.
  EXPECT_FALSE(fs::exists(saves));
  EXPECT_EQ(Read(files, "save\\collection.dat"), "shipped");

  // The folder of the name exists in the data: it is made in the save folder.
  ASSERT_EQ(files.Write("SAVE\\Collection.dat", "mine", 4), plat::WriteResult::Ok);
  EXPECT_EQ(ReadText(dataDir / "save/Collection.dat"), "shipped");
  EXPECT_EQ(ReadText(saves / "SAVE/Collection.dat"), "mine");
  EXPECT_EQ(fs::status(saves).permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_EQ(Read(files, "save\\COLLECTION.DAT"), "mine");
  EXPECT_EQ(Read(files, "save\\Pattern.dat"), "shipped pattern");
  EXPECT_EQ(Read(files, "start.scn"), "scenario");
  EXPECT_TRUE(files.Exists("save\\pattern.dat"));
  EXPECT_FALSE(files.Exists("save\\save1.dat"));

  // A removal takes the name from the game: from both folders, so that no
  // read finds it afterwards.
  EXPECT_TRUE(files.Remove("save\\Collection.dat"));
  EXPECT_EQ(Read(files, "save\\Collection.dat"), "<missing>");
  EXPECT_FALSE(fs::exists(dataDir / "save/Collection.dat"));
  EXPECT_TRUE(files.Remove("save\\Pattern.dat"));
  EXPECT_FALSE(files.Exists("save\\Pattern.dat"));
  EXPECT_FALSE(files.Remove("save\\Pattern.dat"));

  // A folder the data does not have is not made: the write fails as it would
  // in the data directory, until the game makes the folder.
  EXPECT_EQ(files.Write("notes\\a.txt", "a", 1), plat::WriteResult::CreateFailed);
  EXPECT_TRUE(files.MakeFolder("notes"));
  EXPECT_EQ(files.Write("notes\\a.txt", "a", 1), plat::WriteResult::Ok);
  EXPECT_FALSE(fs::exists(dataDir / "notes"));

  // The same rules for names that would leave either folder.
  std::string path, why;
  EXPECT_FALSE(files.Resolve("..\\x", path, &why));
  EXPECT_EQ(why, "outside the data directory");
  EXPECT_EQ(files.Write("..\\x", "x", 1), plat::WriteResult::CreateFailed);
  EXPECT_FALSE(fs::exists(saves.parent_path() / "x"));
}

TEST_F(SaveFolderTest, WithoutASaveFolderTheDataDirectoryTakesTheWrites) {
  WriteData("save/Collection.dat", "shipped");
  const posix::GameFiles files(dataDir.string());
  EXPECT_FALSE(files.HasSaveFolder());
  ASSERT_EQ(files.Write("save\\Collection.dat", "mine", 4), plat::WriteResult::Ok);
  EXPECT_EQ(ReadText(dataDir / "save/Collection.dat"), "mine");
}

TEST_F(SaveFolderTest, AWholeRunLoadsAndSavesProgressInTheSaveFolder) {
  WriteData("start.scn", ":title\n");
  fs::create_directories(dataDir / "save");
  // The player's collection (card 3) shadows the shipped one (card 1).
  std::string shipped(kCollectionFileSize, '\0');
  shipped[1] = 1;
  WriteData("save/Collection.dat", shipped);
  std::string mine(kCollectionFileSize, '\0');
  mine[3] = 1;
  WriteSave("save/Collection.dat", mine);
  const std::string half =
      posix::TemporaryName("save/save1.dat", std::numeric_limits<int32_t>::max());
  WriteSave(half, "half");

  headless::Options o;
  o.dataDir = dataDir.string();
  o.saveDir = saves.string();
  o.echo = false;
  o.testFont = true;
  host = std::make_unique<headless::HeadlessHost>(o);
  plat::SetHost(host.get());
  // A write interrupted in the save folder is cleared when the run starts.
  ASSERT_TRUE(host->ClaimSaveFolder());
  EXPECT_FALSE(fs::exists(saves / half));
  EXPECT_EQ(RunGame(), 0);
  EXPECT_EQ(ReadText(dataDir / "save/Collection.dat"), shipped);
  EXPECT_EQ(ReadText(saves / "save/Collection.dat"), mine);
  EXPECT_EQ(fs::file_size(saves / "save/ArtsList.dat"), kArtsListFileSize);
  EXPECT_EQ(fs::file_size(saves / "save/Pattern.dat"), kPatternFileSize);
  EXPECT_FALSE(fs::exists(dataDir / "save/ArtsList.dat"));
}

TEST(SaveFolderChoice, TheDataIsFoundBesideTheProgramThenInstalled) {
  ScopedTempDir root;
  const std::string program = (root.path() / "bin").string();
  const std::string installed = (root.path() / "share/quillfen/data").string();
  fs::create_directories(program);
  posix::DataChoice c = posix::FindDataDirectory(program, {"/nonexistent/x", installed});
  EXPECT_EQ(c.dir, program + "/data");  // nothing anywhere: today's default
  EXPECT_FALSE(c.installed);
  fs::create_directories(installed);
  c = posix::FindDataDirectory(program, {"/nonexistent/x", installed});
  EXPECT_EQ(c.dir, installed);
  EXPECT_TRUE(c.installed);
  fs::create_directories(program + "/data");
  c = posix::FindDataDirectory(program, {installed});
  EXPECT_EQ(c.dir, program + "/data");
  EXPECT_FALSE(c.installed);
}

TEST(SaveFolderChoice, GameIdsAreStablePerDirectoryAndSafeAsNames) {
  ScopedTempDir root;
  fs::create_directories(root.path() / "quillfen/data");
  fs::create_directories(root.path() / "other/data");
  fs::create_directories(root.path() / "My Game!");
  const std::string a = posix::GameId((root.path() / "quillfen/data").string());
  EXPECT_EQ(a.rfind("quillfen-", 0), 0u) << a;
  EXPECT_EQ(a.size(), std::string("quillfen-").size() + 12);
  // The same folder by another spelling of its path: the same game.
  EXPECT_EQ(posix::GameId((root.path() / "quillfen/../quillfen/data/").string()), a);
  // Another folder: another game, even under the same name.
  const std::string b = posix::GameId((root.path() / "other/data").string());
  EXPECT_NE(b, a);
  EXPECT_EQ(b.rfind("other-", 0), 0u) << b;
  const std::string c = posix::GameId((root.path() / "My Game!").string());
  EXPECT_EQ(c.rfind("My_Game_-", 0), 0u) << c;
  EXPECT_EQ(posix::GameId("/").substr(0, 2), "g-");
}

TEST(SaveFolderChoice, TheSaveFolderIsChosenByOptionInstallationAndWritability) {
  ScopedTempDir root;
  const std::string data = (root.path() / "quillfen/data").string();
  fs::create_directories(data);
  const std::string id = posix::GameId(data);
  // --save-dir wins over everything.
  EXPECT_EQ(posix::ChooseSaveFolder(data, true, "/my/saves", "/xdg", "/home/p"), "/my/saves");
  // A writable build folder keeps its writes.
  EXPECT_EQ(posix::ChooseSaveFolder(data, false, "", "/xdg", "/home/p"), "");
  // Installed data: the player's folder, XDG_DATA_HOME first.
  EXPECT_EQ(posix::ChooseSaveFolder(data, true, "", "/xdg/", "/home/p"), "/xdg/quillfen/" + id);
  EXPECT_EQ(posix::ChooseSaveFolder(data, true, "", nullptr, "/home/p"),
            "/home/p/.local/share/quillfen/" + id);
  EXPECT_EQ(posix::ChooseSaveFolder(data, true, "", "", "/home/p"),
            "/home/p/.local/share/quillfen/" + id);
  EXPECT_EQ(posix::ChooseSaveFolder(data, true, "", "relative", "/home/p"),
            "/home/p/.local/share/quillfen/" + id);
  EXPECT_EQ(posix::ChooseSaveFolder(data, true, "", nullptr, nullptr), "");
  // A data directory that cannot be written (here: not there at all).
  const std::string missing = (root.path() / "gone").string();
  EXPECT_EQ(posix::ChooseSaveFolder(missing, false, "", nullptr, "/home/p"),
            "/home/p/.local/share/quillfen/" + posix::GameId(missing));
  if (geteuid() != 0) {
    chmod(data.c_str(), 0555);
    EXPECT_NE(posix::ChooseSaveFolder(data, false, "", nullptr, "/home/p"), "");
    chmod(data.c_str(), 0755);
  }
}

}  // namespace
