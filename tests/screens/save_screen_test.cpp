// The save screen and saved games: the listing, the menu, what a save does
// around its sound, what a load restores, and whole runs that save, quit,
// start again and load.
#include "screens/save_screen.h"

#include <gtest/gtest.h>

#include "core/settings.h"

#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>

#include "core/settings.h"
#include "core/waits.h"
#include "data/player.h"
#include "graphics/textwindow.h"
#include "screens/saves.h"
#include "screens/screen_change.h"
#include "screens/screens_fixture.h"
#include "script/interpreter.h"
#include "script/presentation.h"
#include "script/reader.h"
#include "script/variables.h"
#include "sound/music.h"
#include "support/save_files.h"

namespace {

using Kind = headless::HeadlessHost::SoundCall::Kind;

class SaveScreenTest : public ScreensTest {
 protected:
  static LineRecord Record(int i) {
    LineRecord r{};
    msgwin.window[4].GetLine(i, r);
    return r;
  }
  static std::string Line(int i) { return Record(i).text; }
  static int Top(int i) { return Record(i).top; }
  // Waves played or stopped from call n on: "name flags @ms|", "stop @ms|".
  std::string Waves(size_t n, uint64_t t0) {
    std::string out;
    for (; n < host->sound.size(); ++n) {
      const auto& c = host->sound[n];
      if (c.kind == Kind::Wave) out += c.name + " " + std::to_string(c.flags);
      if (c.kind == Kind::WaveStop) out += "stop";
      if (c.kind == Kind::Wave || c.kind == Kind::WaveStop)
        out += " @" + std::to_string(c.at - t0) + "|";
    }
    return out;
  }
};

TEST_F(SaveScreenTest, TheListingShowsTheFileTimeTheGameAndEachSlotInItsBand) {
  char text[256];
  SaveSnapshot s{};
  s.date = {0, 0, 0, 1, 3, 101, 0, 0, 0};
  s.deckCount = 30, s.stockCount = 12, s.hp = s.maxhp = 300, s.mp = s.maxmp = 30, s.money = 1500;
  FormatSlotListing(s, {9, 5, 21, 15, 6, 101, 0, 0, 0}, text, sizeof text);
  EXPECT_STREQ(text, "2001/7/15 21:05:09\n 2001/4/1\n Card:30/12 HP:300/300 MP:30/30 \\:1500");
  FormatSlotListing(s, {10, 9, 7, 15, 6, 101, 0, 0, 0}, text, sizeof text);
  EXPECT_EQ(std::string(text).substr(0, 18), "2001/7/15 7:09:10\n");
  s.date.year = s.date.mon = INT32_MAX;  // a file's date need not be a calendar's: it wraps
  FormatSlotListing(s, {10, 0, 7, 15, 6, 101, 0, 0, 0}, text, sizeof text);
  EXPECT_EQ(std::string(text).substr(18, 28), " -2147481749/-2147483648/1\n ");

  // Slot 1 written at 7:03:00 (file times read as UTC), with a byte after its
  // records as a copy tool may leave; 2 cut short, 3 empty.
  Direct();
  FileImage slot1 = SlotFile("start", 1);
  slot1.I32("date", 1, 3).I32("date", 3, 4).I32("date", 101, 5).I32("deckCount", 30);
  slot1.I32("stockCount", 12).I32("hp", 250).I32("maxhp", 300).I32("mp", 20).I32("maxmp", 30);
  slot1.I32("money", 1500).bytes += '\x1A';
  slot1.Write(dataDir / "save/save1.dat");
  using namespace std::chrono;
  std::filesystem::last_write_time(
      dataDir / "save/save1.dat",
      file_clock::from_sys(sys_seconds{sys_days{year{2026} / 4 / 2} + hours{7} + minutes{3}}));
  WriteData("save/save2.dat", std::string(20000, 'x'));
  shell.InputMode = mode::ClickWait;
  ASSERT_TRUE(openSaveScreen());
  EXPECT_EQ(shell.InputMode, mode::SaveMenu);
  // Size 26 with a gap of 4: a line every 30 pixels from y 44; each slot
  // five lines from the top of its band, however long the one above.
  const std::pair<int, std::string> lines[] = {{1, "2026/4/2 7:03:00"},
                                               {2, " 2001/4/1"},
                                               {3, " Card:30/12 HP:250/300 MP:20/30 \\:1500"},
                                               {7, Sjis("               ―― Damaged ――")},
                                               {12, Sjis("               ―― No Data ――")}};
  for (const auto& [i, shown] : lines) {
    EXPECT_EQ(Line(i), shown) << i;
    EXPECT_EQ(Top(i), 44 + 30 * (i - 1)) << i;
  }
  EXPECT_EQ(Line(4) + Line(5) + Line(6) + Line(8) + Line(11), "");
  EXPECT_EQ(msgwin.window[4].X(), 12);
  // The menu: the page darkened by 0x646464 (12 of 31 a channel), the four
  // buttons of "saveback" at x 160 one under the other.
  EXPECT_EQ(At(630, 470), Rgb5(3, 0, kSaveBlue - 12));
  EXPECT_EQ(At(159, 152), Rgb5(3 - 3, 0, kSaveBlue - 12));
  const int tops[4] = {152, 200, 248, 296};
  for (int b = 0; b < 4; ++b) {
    EXPECT_EQ(At(160, tops[b]), kButton[b]) << b;
    EXPECT_EQ(At(479, tops[b] + 31), kButton[b]) << b;
    EXPECT_NE(At(479, tops[b] + 32), kButton[b]) << b;
    EXPECT_NE(At(480, tops[b]), kButton[b]) << b;
  }
  // Where the player chose it, the slots say which button chose them;
  // otherwise both listings are the same page. Esc's way back is the bar's.
  LineRecord caption{};
  EXPECT_FALSE(saveScreen.caption.GetLine(1, caption) && caption.text[0]);
  const std::pair<int, std::string> modes[] = {{152, Sjis("セーブ　SAVE：セーブする枠を選ぶ")},
                                               {200, Sjis("ロード　LOAD：ロードする枠を選ぶ")}};
  for (bool chosen : {false, true}) {
    settings.saveCaption = chosen;
    std::vector<uint16_t> pages[2];
    for (const auto& [y, shown] : modes) {
      ASSERT_TRUE(saveMenuClick(300, y + 10));
      caption = LineRecord{};
      saveScreen.caption.GetLine(1, caption);
      EXPECT_EQ(std::string(caption.text), chosen ? shown : "");
      EXPECT_EQ(Line(12), Sjis("               ―― No Data ――"));
      for (int row = 440; row < 480; ++row)  // the foot bar
        pages[y == 200].insert(pages[y == 200].end(), gfx.Screen.Row(row),
                               gfx.Screen.Row(row) + 640);
      ASSERT_TRUE(saveScreenBack());
      EXPECT_EQ(shell.InputMode, mode::SaveMenu);
    }
    EXPECT_EQ(pages[0] == pages[1], !chosen);
  }
}

TEST_F(SaveScreenTest, ASaveStopsTheLoopingWaveForItsEffectPausesAndLoopsItAgain) {
  Direct();
  shell.InputMode = mode::SaveSlots;
  std::strcpy(snd.CurrentLoopSound, "se\\rain.wav");
  uint64_t t0 = host->Millis();
  size_t n0 = host->sound.size();
  ASSERT_TRUE(slotClick(320, 70));
  EXPECT_EQ(Waves(n0, t0), "stop @0|wv\\etc12.wav 1 @0|se\\rain.wav 9 @800|");
  EXPECT_EQ(host->Millis() - t0, 800u);
  EXPECT_EQ(shell.InputMode, mode::SaveSlots);
  EXPECT_EQ(FileImage::Read("slot", dataDir / "save/save1.dat").bytes.size(), 20612u);
  EXPECT_TRUE(std::filesystem::exists(dataDir / "save/Pattern.dat"));  // the progress too
  snd.CurrentLoopSound[0] = '\0';
  t0 = host->Millis();
  n0 = host->sound.size();
  ASSERT_TRUE(slotClick(320, 220));
  EXPECT_EQ(Waves(n0, t0), "wv\\etc12.wav 1 @0|");
  EXPECT_EQ(host->Millis() - t0, 800u);

  // Starting over forgets the sound and the choices and runs "start".
  WriteData("start.scn", ".clk\n");
  std::strcpy(snd.CurrentMusic, "bgm.mid");
  scene.ChoiceCount = 2;
  shell.InputMode = mode::SaveMenu;
  ASSERT_TRUE(saveMenuClick(320, 260));
  EXPECT_EQ(snd.CurrentMusic[0] | snd.CurrentLoopSound[0], 0);
  EXPECT_EQ(scene.ChoiceCount, 0);
  EXPECT_STREQ(scn.ScenarioName, "start");
  EXPECT_EQ(scn.LineNumber, 1);
}

TEST_F(SaveScreenTest, ALoadRestoresTheSavedGameAndRunsItsLineAgain) {
  Direct();
  WriteData("config.scn", ".int count extra\n.str name title\n");
  ReadConfig();
  WriteData("story.scn", "Hello\n.clk\n");
  player.collection[4] = player.collection[9] = 1;
  FileImage slot = SlotFile("story", 2, 1, 1);
  slot.Text("returnScenario", "sub", 3).I32("returnLine", 7, 3);
  const int32_t date[9] = {1, 2, 3, 15, 5, 101, 0, 0, 0};
  for (size_t f = 0; f < 9; ++f) slot.I32("date", date[f], f);
  slot.U8("strong", 1).I32("money", 1234).I32("result", 2).I32("hp", 5).I32("maxhp", 5);
  slot.I32("deckCount", 2).I32("deck", 5, 1).I32("deck", 7, 2).I32("stockCount", 1);
  slot.I32("stock", 3, 1).I32("stock", 8, 300).Text("backPicture", "bg.K16");
  slot.I32("backShown", 1).I32("face1Shown", 0).I32("face2Shown", 1);
  slot.I32("msgShown", 1, 0).I32("dateShown", 1).I32("currentWindow", 1);
  slot.I32("lineCount", 1, 0).Text("lines1", "Hello", 1).Text("loopWave", "se\\rain.wav");
  slot.I32("choiceCount", 1).Text("choiceText", "go", 1).I32("choiceRight", 40, 1);
  slot.Text("intName", "count").I32("intValue", 7);
  // The strings follow the integers.
  std::memcpy(&slot.bytes[20612 + 68], "name\0", 5);
  std::memcpy(&slot.bytes[20612 + 68 + 64], "Mina\0", 5);
  slot.Write(dataDir / "save/save1.dat");
  vars.ints[1].value = 5;
  std::strcpy(vars.strs[1].value, "Sir");
  const size_t n0 = host->sound.size();
  shell.InputMode = mode::LoadSlots;
  ASSERT_TRUE(slotClick(320, 70));

  EXPECT_EQ(shell.InputMode, mode::ClickWait);  // the saved ".clk" waits again
  EXPECT_EQ(std::memcmp(&player.date, date, sizeof date), 0);
  // HP and MP from the rules, not the file; a variable declared since the
  // save keeps what it holds.
  EXPECT_EQ((std::vector<int64_t>{scn.LineNumber, interp.slots[3].line, player.strong, player.money,
                                  player.result, player.hp, player.mp, player.deck.count,
                                  player.deck.cards[2], player.stock.count, player.stock.cards[300],
                                  scene.ChoiceCount, scene.choices[1].right, vars.ints[0].value,
                                  vars.ints[1].value}),
            (std::vector<int64_t>{2, 7, 1, 1234, 2, 9999, 999, 2, 7, 1, 8, 1, 40, 7, 5}));
  EXPECT_EQ(std::string(interp.slots[3].scenario) + "," + scene.pictureName[kBack] + "," +
                snd.CurrentLoopSound + "," + scene.choices[1].text + "," + vars.strs[0].value +
                "," + vars.strs[1].value,
            "sub,bg.K16,se\\rain.wav,go,Mina,Sir");
  const int32_t shown[kLayerCount] = {1, 0, 0, 1, 1, 0, 0, 0, 1};
  EXPECT_EQ(std::memcmp(scene.shown, shown, sizeof shown), 0);
  EXPECT_EQ(At(300, 200), PageColour(300, 200, kSceneBlue));
  LineRecord line{};
  msgwin.window[1].GetLine(1, line);
  EXPECT_STREQ(line.text, "Hello");
  const std::string waves = Waves(n0, 0);  // the last one loops the rain again
  EXPECT_EQ(waves.substr(waves.rfind('|', waves.size() - 2) + 1, 14), "se\\rain.wav 9 ");
  // Without the strong flag the maxima follow the collection and the month.
  slot.U8("strong", 0).Write(dataDir / "save/save2.dat");
  shell.InputMode = mode::LoadSlots;
  ASSERT_TRUE(slotClick(320, 160));
  EXPECT_EQ(player.maxmp, 6 * 2);
  EXPECT_EQ(player.hp, 10 * 6 * 2);
  // A save now writes the live tables.
  ASSERT_EQ(saveGame(3), 1);
  EXPECT_EQ(FileImage::Read("slot", dataDir / "save/save3.dat").bytes.size(),
            20612u + 2 * 68 + 2 * 320);
}

// Two runs on one data folder: the first saves at the story's wait and goes
// on, the second loads from the title and goes on; both look the same.
TEST_F(SaveScreenTest, ASavedWaitResumesWithItsSceneTextMusicAndVariables) {
  WriteTestK16(dataDir.string() + "/pic.K16", 440, 300,
               [](int x, int) { return Rgb5(4, 28, x / 20); });
  WriteData("config.scn", ".int count\n.str name\n");
  // clang-format off
  const struct { const char* wait; const char* answer; int storedLines; } cases[] = {
      {".clk", "wait click 320 240", 0},
      {".tcl", "wait click 320 240", 0},
      {".slt add \"Left [count]\" :left\n.slt add Right :right\n.slt exec",
      "wait click 240 94", 1}};
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.wait);
    std::filesystem::remove(dataDir / "save/save1.dat");
    WriteData("story.scn", std::string(".let count = 7\n.let name = \"Mina\"\n.mid tune 0\n"
                                       ".load place pic\n.show place\n.show date\n.update 0\n"
                                       "Hello [name]\n.update 0\n") +
                               c.wait +
                               "\n:left\nAfter [count] [name]\n.clk\n.jmp story:end\n"
                               ":right\nRight [count]\n.clk\n:end\n");
    const std::string more = ".tcl\n.jmp story\n";
    Run("",
        std::string("wait click 320 240\nwait click 320 240\nwait click 320 240\n"
                    "wait screenshot saved\n"
                    "wait click 616 458\nwait click 320 160\nwait click 320 70\n"
                    "wait click 320 466\nwait click 320 310\nwait screenshot back\n") +
            c.answer + "\nwait screenshot after\n",
        more);
    const FileImage saved = FileImage::Read("slot", dataDir / "save/save1.dat");
    EXPECT_EQ(saved.bytes.size(), 20612u + 68 + 320);
    EXPECT_EQ(saved.I32("line"), c.storedLines ? 12 : 10);  // the waiting line
    if (c.storedLines) {
      EXPECT_EQ(saved.I32("lineCount", 0), 1);  // not the choices' own lines
    }
    const std::string shot = Shot("saved"), after = Shot("after");
    Run("",
        std::string("wait click 616 458\nwait click 320 210\nwait click 320 70\n"
                    "wait screenshot loaded\n") +
            c.answer + "\nwait screenshot after\n",
        more);
    EXPECT_TRUE(shot == Shot("back")) << "the scene after going back differs";
    EXPECT_TRUE(shot == Shot("loaded")) << "the loaded scene differs";
    EXPECT_TRUE(after == Shot("after")) << "the story goes on differently";
    EXPECT_TRUE(host->boxes.empty());
    EXPECT_STREQ(snd.CurrentMusic, "tune.mid");
  }
}

// Slots that cannot be loaded are refused with a box and the game the player
// has goes on: one cut short, one with more variables than declared, one
// whose line the scenario no longer has.
TEST_F(SaveScreenTest, SlotsThatCannotBeLoadedAreRefusedAndTheSceneStays) {
  WriteData("save/save1.dat", std::string(5000, 'x'));
  FileImage more = SlotFile("start", 9, 1, 0);
  more.bytes.resize(20612);
  more.Write(dataDir / "save/save2.dat");
  SlotFile("start", INT32_MAX, 0, 0).Write(dataDir / "save/save3.dat");
  Run("",
      "wait screenshot before\nwait click 616 458\nwait click 320 210\nwait click 320 70\n"
      "wait click 320 220\nwait click 320 370\nwait click 320 466\nwait click 320 310\n"
      "wait screenshot back\n");
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{
                            "セーブデータが壊れているため、読み込めません",
                            "このセーブデータは変数の数が違うため、読み込めません",
                            "このセーブデータは別の版のシナリオのものであるため、読み込めません"}));
  EXPECT_EQ(host->boxes[0].caption, Sjis("読み込みエラー"));
  EXPECT_TRUE(Shot("before") == Shot("back"));
  EXPECT_EQ(scn.LineNumber, 8);
}

// ".init" deletes every slot the listing would show, also one the data
// directory still holds from before the save folder was in use.
TEST_F(SaveScreenTest, InitDeletesEverySlotTheListingWouldShow) {
  ScopedTempDir home("quillfen-saves-");
  saveDir = home.path() / "game";
  SlotFile("start", 1).Write(dataDir / "save/save1.dat");
  SlotFile("start", 1).Write(saveDir / "save/save2.dat");
  WriteData("start.scn", ".init\n.clk\n");
  MakeHost("wait key esc\n");
  ASSERT_EQ(RunGame(), 0);
  EXPECT_FALSE(std::filesystem::exists(dataDir / "save/save1.dat"));
  EXPECT_FALSE(std::filesystem::exists(saveDir / "save/save2.dat"));
  EXPECT_TRUE(std::filesystem::exists(saveDir / "save/Collection.dat"));
  EXPECT_FALSE(std::filesystem::exists(dataDir / "save/Collection.dat"));
}

}  // namespace

// Esc on a menu screen ends the game, as everywhere. Where the player chose
// it, Esc is the screen's way back (slots, menu, then the scene) instead:
// every Esc but the last is then delivered to a game that still runs.
TEST_F(SaveScreenTest, EscEndsTheGameOnEveryScreenOrGoesBackWhereChosen) {
  WriteData("settings.txt", "escape_back = 1\n");
  Run("",
      "wait click 578 458\nwait key esc\nwait click 620 458\nwait click 300 162\n"
      "wait key esc\nwait key esc\n");
  WriteData("settings.txt", "");
  const std::pair<const char*, int32_t> menus[] = {
      {"wait click 578 458\n", mode::Collection},
      {"wait click 620 458\n", mode::SaveMenu},
      {"wait click 620 458\nwait click 300 162\n", mode::SaveSlots},
      {"wait click 540 458\n", mode::DeckEditor}};
  for (const auto& [open, screen] : menus) {
    ResetGameState();
    MakeHost(std::string(open) + "wait key esc\nwait click 320 240\n");
    ASSERT_EQ(RunGame(), 0);
    EXPECT_FALSE(host->InputDone()) << open << "the click after Esc was taken";
    EXPECT_EQ(shell.InputMode, screen) << open;
  }
}
