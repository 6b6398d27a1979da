// Saved games: the snapshot's bytes, the slot listing, and whole headless
// runs that save, quit, start again and load.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "data/player.h"
#include "data/save_file.h"
#include "graphics/image.h"
#include "graphics/textwindow.h"
#include "platform/posix/host_files.h"
#include "screens/save_screen.h"
#include "screens/saves.h"
#include "script/interpreter.h"
#include "script/presentation.h"
#include "script/reader.h"
#include "script/variables.h"
#include "sound/music.h"
#include "support/game_fixture.h"
#include "support/k16_writer.h"

namespace {

class SnapshotTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    MakeHost();
    CreateGlobalImages();
    SetupMessageWindows();
  }
};

// A byte image written at the offsets every save file has used.
struct Expected {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(20612, 0xEE);
  void I32(size_t at, int32_t v) { std::memcpy(&bytes[at], &v, 4); }
  void Text(size_t at, const std::string& s) { std::memcpy(&bytes[at], s.c_str(), s.size() + 1); }
};

TEST_F(SnapshotTest, EveryFieldLandsAtItsOffset) {
  std::strcpy(scn.ScenarioName, "story");
  scn.LineNumber = 12;
  std::strcpy(interp.slots[3].scenario, "sub");
  interp.slots[3].line = 7;
  player.date = {1, 2, 3, 4, 5, 126, 6, 7, 0};
  player.strong = 1;
  player.money = 1500;
  player.maxhp = 300;
  player.hp = 250;
  player.maxmp = 30;
  player.mp = 20;
  player.result = 2;
  player.deck.count = 2;
  player.deck.cards[1] = 5;
  player.deck.cards[2] = 7;
  player.deck.cards[100] = 9;  // past the count: stored all the same
  player.stock.count = 1;
  player.stock.cards[1] = 3;
  player.stock.cards[300] = 4;
  std::strcpy(scene.pictureName[kBack], "bg.K16");
  std::strcpy(scene.pictureName[kPlace], "pl.K16");
  std::strcpy(scene.pictureName[kFace1], "f1.K16");
  std::strcpy(scene.pictureName[kFace2], "f2.K16");
  const int32_t shown[kLayerCount] = {1, 1, 0, 1, 1, 0, 0, 1, 1};
  std::memcpy(scene.shown, shown, sizeof shown);
  scene.CurrentWindow = 2;
  msgwin.window[1].Print("one\ntwo", 0);
  // Window 2 offers two choices under its question: only "Q" is stored.
  msgwin.window[2].Print("Q\nyes\nno\n", 0);
  scene.ChoiceCount = 2;
  scene.choices[1] = {"yes", ":y", 2, 1, 1, 2, 3, 4};
  scene.choices[2] = {"no", ":n", 3, 1, 5, 6, 7, 8};
  std::string twenty;
  for (int i = 1; i <= 20; ++i) twenty += "L" + std::to_string(i) + (i < 20 ? "\n" : "");
  msgwin.window[4].Print(twenty.c_str(), 0);
  std::strcpy(snd.CurrentMusic, "bgm\\town.mid");
  std::strcpy(snd.CurrentLoopSound, "se\\rain.wav");
  vars.ints.resize(2);
  vars.strs.resize(1);

  std::memset(static_cast<void*>(&snapshot), 0xEE, sizeof snapshot);  // what is not written stays
  takeSnapshot();

  Expected e;
  e.Text(0, "story");
  e.I32(260, 12);
  for (int k = 0; k < 10; ++k) {
    e.Text(264 + 260 * k, k == 3 ? "sub" : "");
    e.I32(264 + 260 * k + 256, k == 3 ? 7 : 0);
  }
  const int32_t date[9] = {1, 2, 3, 4, 5, 126, 6, 7, 0};
  for (int f = 0; f < 9; ++f) e.I32(2864 + 4 * f, date[f]);
  e.bytes[2900] = 1;
  const int32_t numbers[7] = {1500, 300, 250, 30, 20, 2, 2};
  for (int f = 0; f < 7; ++f) e.I32(2904 + 4 * f, numbers[f]);
  for (int i = 1; i <= 100; ++i) e.I32(2932 + 4 * i, i == 1 ? 5 : i == 2 ? 7 : i == 100 ? 9 : 0);
  e.I32(3336, 1);
  for (int i = 1; i <= 300; ++i) e.I32(3340 + 4 * i, i == 1 ? 3 : i == 300 ? 4 : 0);
  e.Text(4544, "bg.K16");
  e.Text(4804, "pl.K16");
  e.Text(5324, "f1.K16");
  e.Text(5584, "f2.K16");
  e.I32(5844, 1);  // back
  e.I32(5852, 0);  // face1
  e.I32(5856, 1);  // face2
  const int32_t msg[4] = {1, 0, 0, 1};
  for (int w = 0; w < 4; ++w) e.I32(5864 + 4 * w, msg[w]);
  e.I32(5880, 1);  // place
  e.I32(5884, 1);  // date
  e.I32(5888, 2);
  const int32_t counts[4] = {2, 1, 1, 19};
  for (int w = 0; w < 4; ++w) e.I32(5892 + 4 * w, counts[w]);
  e.Text(5908 + 81 * 1, "one\n");
  e.Text(5908 + 81 * 2, "two");
  e.Text(6394 + 81 * 1, "Q");
  e.Text(6880 + 81 * 1, "");
  for (int i = 1; i <= 19; ++i)
    e.Text(7204 + 81 * i, "L" + std::to_string(i) + (i < 19 ? "\n" : ""));
  e.Text(8824, "bgm\\town.mid");
  e.Text(9084, "se\\rain.wav");
  e.I32(9344, 2);
  for (int i = 1; i <= 20; ++i) {
    const size_t at = 9348 + 536 * static_cast<size_t>(i);
    const Choice& c = scene.choices[i];
    e.Text(at, c.text);
    e.Text(at + 256, c.target);
    const int32_t rest[6] = {0, 0, c.left, c.top, c.right, c.bottom};
    for (int f = 0; f < 6; ++f) e.I32(at + 512 + 4 * static_cast<size_t>(f), rest[f]);
  }
  e.I32(20604, 2);
  e.I32(20608, 1);

  const auto* got = reinterpret_cast<const uint8_t*>(&snapshot);
  for (size_t at = 0; at < e.bytes.size(); ++at) {
    ASSERT_EQ(got[at], e.bytes[at]) << "first difference at offset " << at;
  }
}

// A file may count 20 lines in window 4, the 20th on the music name's bytes:
// the window gets its 20 lines, the last one empty, and the name stays.
TEST_F(SnapshotTest, TwentyLinesOfWindow4RestoreWithTheMusicNameWhole) {
  SaveSnapshot s = SlotSnapshot("start", 1, 0, 0);
  for (int i = 1; i <= 19; ++i) StoreSavedLine(s, 4, i, ("L" + std::to_string(i)).c_str(), false);
  std::strcpy(s.music, "bgm\\town.mid");
  s.lineCount[3] = 20;
  restoreSnapshotWindows(s);
  EXPECT_EQ(msgwin.window[4].CurrentLine(), 20);
  LineRecord r{};
  ASSERT_TRUE(msgwin.window[4].GetLine(19, r));
  EXPECT_STREQ(r.text, "L19");
  ASSERT_TRUE(msgwin.window[4].GetLine(20, r));
  EXPECT_STREQ(r.text, "");
  EXPECT_STREQ(s.music, "bgm\\town.mid");
}

TEST_F(SnapshotTest, TheListingShowsTheFileTimeTheGameAndDamagedSlots) {
  SaveSnapshot s{};
  std::strcpy(s.scenario, "start");
  s.line = 1;
  s.currentWindow = 1;
  s.date.year = 101;
  s.date.mon = 3;
  s.date.mday = 1;
  s.deckCount = 30;
  s.stockCount = 12;
  s.hp = s.maxhp = 300;
  s.mp = s.maxmp = 30;
  s.money = 1500;
  char text[256];
  plat::CalendarTime t{9, 5, 21, 15, 6, 101, 0, 0, 0};
  FormatSlotListing(s, t, text, sizeof text);
  EXPECT_STREQ(text, "2001/7/15 21:05:09\n 2001/4/1\n Card:30/12 HP:300/300 MP:30/30 \\:1500");
  t = {0, 3, 7, 15, 6, 101, 0, 0, 0};
  FormatSlotListing(s, t, text, sizeof text);
  EXPECT_EQ(std::string(text).substr(0, 18), "2001/7/15 7:03:00\n");
  // A saved date is the file's own and need not be a calendar's: it wraps.
  SaveSnapshot odd = s;
  odd.date.year = INT32_MAX;
  odd.date.mon = INT32_MAX;
  FormatSlotListing(odd, t, text, sizeof text);
  EXPECT_EQ(std::string(text).substr(18, 28), " -2147481749/-2147483648/1\n ");

  // Slot 1 written at 7:03:00 (the headless host reads file times as UTC),
  // slot 2 cut short, slot 3 empty.
  ASSERT_EQ(writeSaveFile(1, s, nullptr, 0), 1);
  using namespace std::chrono;
  const sys_seconds at = sys_days{year{2026} / 4 / 2} + hours{7} + minutes{3};
  std::filesystem::last_write_time(dataDir / "save/save1.dat", file_clock::from_sys(at));
  WriteData("save/save2.dat", std::string(20000, 'x'));
  drawSlotListing();
  std::string listing;
  for (int i = 1; i <= msgwin.window[4].Capacity(); ++i) {
    LineRecord r{};
    msgwin.window[4].GetLine(i, r);
    listing += std::string(r.text) + "|";
  }
  EXPECT_NE(listing.find("2026/4/2 7:03:00| 2001/4/1| Card:30/12 HP:300/300 MP:30/30 \\:1500|"),
            std::string::npos)
      << listing;
  EXPECT_NE(listing.find(Sjis("―― Damaged ――")), std::string::npos) << listing;
  EXPECT_NE(listing.find(Sjis("―― No Data ――")), std::string::npos) << listing;
  EXPECT_EQ(listing.find("Card:", listing.find("Damaged")), std::string::npos) << listing;
}

// Two runs of the whole game on one data folder: the first saves at a wait
// in "story" and goes on, the second loads during the title and goes on.
class SaveLoadRunTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    const std::string dir = dataDir.string() + "/";
    WriteTestK16(dir + "bg.K16", 640, 480, [](int x, int y) { return Rgb5(x / 40, y / 30, 8); });
    WriteTestK16(dir + "pic.K16", 440, 300, [](int x, int) { return Rgb5(4, 28, x / 20); });
    WriteData("config.scn", ".int count\n.str name\n");
    WriteData("start.scn",
              ".load back bg\n.show back\n.show msg1\n.msg 1\n.update 0\nTitle\n.update 0\n.tcl\n"
              ".jmp story\n");
  }

  void WriteStory(const std::string& wait) {
    WriteData("story.scn",
              ".let count = 7\n.let name = \"Mina\"\n.mid tune 0\n"
              ".load place pic\n.show place\n.show date\n.update 0\n"
              "Hello [name]\n.update 0\n" +
                  wait +
                  "\n:left\nAfter [count] [name]\n.clk\n.jmp story:end\n"
                  ":right\nRight [count]\n.clk\n:end\n");
  }

  void Run(const std::string& input) {
    ResetGameState();
    MakeHost(input);
    host->options().screenshotDir = (dataDir / "shots").string();
    std::filesystem::create_directories(dataDir / "shots");
    ASSERT_EQ(RunGame(), 0);
    EXPECT_TRUE(host->boxes.empty()) << BoxTexts()[0];
  }

  std::string Shot(const std::string& name) {
    std::ifstream in(dataDir / "shots" / (name + ".png"), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  std::string ReadData(const std::string& name) {
    std::ifstream in(dataDir / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // Typed text is blended into the page a character at a time; each wait is
  // preceded by an ".update", which draws the windows whole as going back
  // and loading do, so the pictures can be compared bit for bit.

  // The save screen's button, then "load"; and the foot bar's way back to
  // the menu and from there to the game.
  static constexpr const char* kOpenLoadSlots = "wait click 616 458\nwait click 320 210\n";
  static constexpr const char* kBackToGame = "wait click 320 466\nwait click 320 310\n";

  // Saves into slot 1 at the story's wait, back to it, then answers it.
  void SaveRun(const std::string& answer) {
    Run(std::string("wait click 320 240\n"
                    "wait screenshot saved\n"
                    "wait click 616 458\n"
                    "wait click 320 160\n"
                    "wait click 320 70\n") +
        kBackToGame + "wait screenshot back\n" + answer +
        "\nwait screenshot after\n"
        "wait key esc\n");
  }

  // Loads slot 1 from the title's wait and answers the restored wait.
  void LoadRun(const std::string& answer) {
    Run(std::string(kOpenLoadSlots) +
        "wait click 320 70\n"
        "wait screenshot loaded\n" +
        answer +
        "\nwait screenshot after2\n"
        "wait key esc\n");
  }

  void ExpectSameRun() {
    const std::string saved = Shot("saved");
    ASSERT_FALSE(saved.empty());
    EXPECT_TRUE(saved == Shot("back")) << "the scene after going back differs";
    EXPECT_TRUE(saved == Shot("loaded")) << "the loaded scene differs";
    EXPECT_FALSE(Shot("after").empty());
    EXPECT_TRUE(Shot("after") == Shot("after2")) << "the story goes on differently";
    EXPECT_STREQ(snd.CurrentMusic, "tune.mid");
  }

  int32_t SavedI32(size_t at) {
    const std::string file = ReadData("save/save1.dat");
    int32_t v = 0;
    if (file.size() >= at + 4) std::memcpy(&v, file.data() + at, 4);
    return v;
  }
};

TEST_F(SaveLoadRunTest, AClickWaitResumesWithItsSceneTextMusicAndVariables) {
  WriteStory(".clk");
  SaveRun("wait click 320 240");
  EXPECT_EQ(ReadData("save/save1.dat").size(), 20612u + 68 + 320);
  EXPECT_EQ(SavedI32(260), 10);  // the ".clk" line
  LoadRun("wait click 320 240");
  ExpectSameRun();
}

TEST_F(SaveLoadRunTest, AClearingClickWaitResumesToo) {
  WriteStory(".tcl");
  SaveRun("wait click 320 240");
  LoadRun("wait click 320 240");
  ExpectSameRun();
}

TEST_F(SaveLoadRunTest, ChoicesOnOfferAreOfferedAgainFromTheSavedRecords) {
  WriteStory(".slt add \"Left [count]\" :left\n.slt add Right :right\n.slt exec");
  // Window 1 (y 60, lines of 24 pixels): the question, then the choices.
  SaveRun("wait click 240 94");
  EXPECT_EQ(SavedI32(5892), 1);  // only the line above the choices
  EXPECT_EQ(SavedI32(9344), 2);
  LoadRun("wait click 240 94");
  ExpectSameRun();
}

TEST_F(SaveLoadRunTest, SlotBandsTheFootBarAndStartingOver) {
  WriteStory(".clk");
  // Save: y 150 is slot 2, y 452 and x 3 on the bar are nothing, x 4 on the
  // bar is the menu again, where a click on the page saves nothing.
  Run("wait click 320 240\n"
      "wait click 616 458\n"
      "wait click 320 160\n"
      "wait click 320 150\n"
      "wait click 320 452\n"
      "wait click 3 460\n"
      "wait click 320 300\n"
      "wait click 4 460\n"
      "wait click 320 70\n"
      "wait click 320 260\n"
      "wait key esc\n");
  EXPECT_FALSE(std::filesystem::exists(dataDir / "save/save1.dat"));
  EXPECT_TRUE(std::filesystem::exists(dataDir / "save/save2.dat"));
  EXPECT_TRUE(std::filesystem::exists(dataDir / "save/save3.dat"));
  // Start over ran "start" from its first line: it waits at the title again
  // with the music stopped and forgotten.
  EXPECT_STREQ(scn.ScenarioName, "start");
  EXPECT_EQ(snd.CurrentMusic[0], '\0');
  const auto waves = std::count_if(host->sound.begin(), host->sound.end(), [](const auto& c) {
    return c.kind == headless::HeadlessHost::SoundCall::Kind::Wave && c.name == "wv\\etc12.wav";
  });
  EXPECT_EQ(waves, 2);
}

TEST_F(SaveLoadRunTest, DamagedSlotsAreRefusedAndTheSceneStays) {
  WriteStory(".clk");
  WriteData("save/save1.dat", std::string(5000, 'x'));
  WriteSlot(2, SlotSnapshot("story", 9, 5, 0), 5 * 68);  // more variables than declared
  std::string noise(30000, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 2654435761u >> 13);
  WriteData("save/save3.dat", noise);
  ResetGameState();
  MakeHost(std::string("wait screenshot before\n") + kOpenLoadSlots +
           "wait click 320 70\n"
           "wait click 320 220\n"
           "wait click 320 370\n" +
           kBackToGame +
           "wait screenshot back\n"
           "wait key esc\n");
  host->options().screenshotDir = (dataDir / "shots").string();
  std::filesystem::create_directories(dataDir / "shots");
  ASSERT_EQ(RunGame(), 0);
  const auto boxes = BoxTexts();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0], "セーブデータが壊れているため、読み込めません");
  EXPECT_EQ(boxes[1], "このセーブデータは変数の数が違うため、読み込めません");
  EXPECT_NE(boxes[2].find("読み込めません"), std::string::npos);
  EXPECT_TRUE(Shot("before") == Shot("back"));
  EXPECT_STREQ(snapshot.scenario, "start");  // nothing was loaded
}

// A content update appended variables to "config": the slot saved before
// it loads, its variables restored and the new ones at their start values.
TEST_F(SaveLoadRunTest, ASaveFromBeforeMoreVariablesWereDeclaredLoads) {
  WriteStory(".clk");
  SaveRun("wait click 320 240");
  WriteData("config.scn", ".int count\n.int extra\n.str name\n.str title\n");
  WriteData("start.scn", ".let extra = 5\n.let title = \"Sir\"\n" + ReadData("start.scn"));
  // Loaded, then saved again into slot 2: the file shows the live tables.
  LoadRun("wait click 616 458\nwait click 320 160\nwait click 320 220");
  EXPECT_TRUE(Shot("saved") == Shot("loaded")) << "the loaded scene differs";
  const std::string file = ReadData("save/save2.dat");
  ASSERT_EQ(file.size(), 20612u + 2 * 68 + 2 * 320);
  const auto text = [&](size_t at) { return std::string(file.c_str() + at); };
  const auto number = [&](size_t at) {
    int32_t v = 0;
    std::memcpy(&v, file.data() + at, 4);
    return v;
  };
  EXPECT_EQ(text(20612), "count");
  EXPECT_EQ(number(20612 + 64), 7);
  EXPECT_EQ(text(20612 + 68), "extra");
  EXPECT_EQ(number(20612 + 68 + 64), 0);  // 5 before the load
  EXPECT_EQ(text(20612 + 136 + 64), "Mina");
  EXPECT_EQ(text(20612 + 136 + 320), "title");
  EXPECT_EQ(text(20612 + 136 + 320 + 64), "");  // "Sir" before the load
}

// The scenario got shorter since the save: the load is refused with a box,
// the save screen stays, and the game goes on where the player was.
TEST_F(SaveLoadRunTest, ASaveWhoseLineIsGoneIsRefusedAndTheGameGoesOn) {
  WriteStory(".clk");
  SaveRun("wait click 320 240");
  const std::string slot = ReadData("save/save1.dat");
  WriteData("story.scn", "Hello\n.clk\n");  // 2 lines; the save is on line 10
  WriteSlot(2, SlotSnapshot("start", INT32_MAX, 1, 1), 68 + 320);
  ResetGameState();
  MakeHost(std::string("wait screenshot before\n") + kOpenLoadSlots +
           "wait click 320 70\n"
           "wait click 320 220\n" +
           kBackToGame +
           "wait screenshot back\n"
           "wait click 320 240\n"
           "wait key esc\n");
  host->options().screenshotDir = (dataDir / "shots").string();
  std::filesystem::create_directories(dataDir / "shots");
  ASSERT_EQ(RunGame(), 0);
  const std::string other = "このセーブデータは別の版のシナリオのものであるため、読み込めません";
  EXPECT_EQ(BoxTexts(), std::vector<std::string>({other, other}));
  EXPECT_EQ(posix::SjisToUtf8(host->boxes[0].caption), "読み込みエラー");
  EXPECT_TRUE(Shot("before") == Shot("back"));
  // The title's wait answered after going back: the story runs.
  EXPECT_STREQ(scn.ScenarioName, "story");
  EXPECT_EQ(ReadData("save/save1.dat"), slot);
}

// ".init" resets every slot the game lists, also one the data directory
// still holds from before the save folder was in use.
TEST_F(SaveLoadRunTest, InitDeletesEverySlotTheListingWouldShow) {
  ScopedTempDir home("quillfen-saves-");
  saveDir = home.path() / "game";
  WriteSlot(1, SlotSnapshot("start", 1, 1, 1), 68 + 320);
  std::filesystem::create_directories(saveDir / "save");
  std::filesystem::copy_file(dataDir / "save/save1.dat", saveDir / "save/save2.dat");
  WriteData("start.scn", ".init\n.clk\n");
  Run("wait key esc\n");
  EXPECT_FALSE(std::filesystem::exists(dataDir / "save/save1.dat"));
  EXPECT_FALSE(std::filesystem::exists(saveDir / "save/save2.dat"));
  SaveSnapshot s;
  std::vector<uint8_t> variables;
  for (int slot = 1; slot <= kSaveSlotCount; ++slot)
    EXPECT_EQ(readSaveFile(slot, 1, 1, s, variables), SlotState::Empty) << slot;
  // The reset progress went to the save folder, the data's own is untouched.
  EXPECT_TRUE(std::filesystem::exists(saveDir / "save/Collection.dat"));
}

}  // namespace
