// The real program, start to end, through the headless backend, and the
// shell's answer to clicks, keys and the display in each input mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "core/waits.h"
#include "graphics/textwindow.h"
#include "platform/posix/host_files.h"
#include "script/interpreter.h"
#include "script/reader.h"
#include "shell/input.h"
#include "support/game_fixture.h"

namespace {

using plat::msg::Close;
using plat::msg::Destroy;

class ShellTest : public GameTest {};

// The interpreter's first run comes from the posted message, after the
// window is up; Esc goes through Close and Destroy; when the input runs out
// the window closes with a last screenshot.
TEST_F(ShellTest, StartUpRunsStartAndEscF12CloseOrTheEndOfInputEndIt) {
  for (const char* input : {"key esc", "key f12", "close", ""}) {
    ResetGameState();
    WriteData("config.scn", ".int a\n");
    WriteData("start.scn", "# opening\n.event begin\n\nHello\n");
    std::filesystem::remove_all(dataDir / "shots");
    std::filesystem::create_directories(dataDir / "shots");
    MakeHost(std::string(input) + (*input ? "\n@60000 move 1 1" : ""));
    host->options().screenshotDir = (dataDir / "shots").string();
    EXPECT_EQ(RunGame(), 0) << input;
    const auto& sent = host->sentToProc;
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front(), plat::msg::User + 1) << input;
    const auto close = std::find(sent.begin(), sent.end(), Close);
    EXPECT_TRUE(input[0] != 'k' || std::find(close, sent.end(), Destroy) - close == 1) << input;
    EXPECT_EQ(sent.back(), Destroy) << input;
    LineRecord line{};
    ASSERT_TRUE(msgwin.window[1].GetLine(1, line));
    EXPECT_STREQ(line.text, "Hello");
    EXPECT_EQ(posix::SjisToUtf8(host->traces.back()), "shutdown: scenario closed");
    EXPECT_FALSE(scn.fileOpen || host->windowOpen || !host->boxes.empty()) << input;
    EXPECT_TRUE(input[0] != '\0' || std::filesystem::exists(dataDir / "shots/exit.png"));
    // The key or the button ended the game, not the input running out later.
    EXPECT_LT(host->Millis(), 60000u) << input;
  }
}

// Where a player sits at the window and chose the question, Esc, F12 and
// the close button ask first: the box takes every input, N or Esc goes back
// to the game as it was, and only the box's yes ends it. By default they end
// it at once.
TEST_F(ShellTest, WithAPlayerThereQuittingAsksAndOnlyYesEnds) {
  const std::pair<const char*, int> runs[] = {
      {"key esc\n+100 click 5 5\n+100 key n\n+100 key f12\n+100 key esc\n+100 close\n+100 "
       "click 262 256\n@60000 move 1 1",
       3},
      {"key esc\n@60000 move 1 1", 1}};
  for (const auto& [input, closes] : runs) {
    ResetGameState();
    WriteData("config.scn", ".int a\n");
    WriteData("start.scn", ".show msg1\nHello\n.clk\nBye\n.clk\n");
    WriteData("settings.txt", closes == 1 ? "" : "confirm_quit = 1\n");
    MakeHost(input);
    host->options().interactive = true;
    EXPECT_EQ(RunGame(), 0);
    const auto& sent = host->sentToProc;
    EXPECT_EQ(std::count(sent.begin(), sent.end(), Close), closes) << input;
    EXPECT_EQ(sent.back(), Destroy);
    EXPECT_LT(host->Millis(), 60000u) << input;
    LineRecord line{};
    EXPECT_FALSE(msgwin.window[1].GetLine(2, line) && line.text[0]) << "the click passed the box";
  }
}

// Behind the question the game stands still: a line being typed stops
// where it was, and goes on with the time it had left once the player
// answers no.
TEST_F(ShellTest, BehindTheQuitQuestionTheGameStandsStill) {
  WriteData("config.scn", ".int a\n");
  WriteData("start.scn", ".show msg1\nABCDEFGHIJ\n.clk\n");
  WriteData("settings.txt", "confirm_quit = 1\n");
  std::vector<size_t> typed;  // the characters shown at each scripted step
  MakeHost("@35 key esc\n@500 move 1 1\n@900 key n\n@60000 move 1 1");
  host->options().interactive = true;
  host->SetInputHook(
      [](const headless::InputEvent&, void* user) {
        LineRecord line{};
        msgwin.window[1].GetLine(1, line);
        static_cast<std::vector<size_t>*>(user)->push_back(std::strlen(line.text));
      },
      &typed);
  EXPECT_EQ(RunGame(), 0);
  // At the question, while it stands, as it is answered, then at the wait.
  ASSERT_GE(typed.size(), 4u);
  EXPECT_LT(typed.front(), 10u);
  EXPECT_EQ(std::count(typed.begin(), typed.end(), typed.front()), typed.size() - 1);
  EXPECT_EQ(typed.back(), 10u);
}

// A scenario that loops without ever waiting still hears Esc and the close
// button, and the progress it gave before the loop is written at the end.
TEST_F(ShellTest, ABusyLoopThatNeverWaitsStillClosesWithProgressWritten) {
  for (const char* input : {"@0 key esc", "@0 close"}) {
    ResetGameState();
    WriteData("config.scn", ".int n\n");
    WriteData("start.scn",
              ".card add stock 7 1\n.svd\n.card add stock 9 1\n:loop\n.let n = 1\n.jmp :loop\n");
    MakeHost(input);
    EXPECT_EQ(RunGame(), 0) << input;
    EXPECT_EQ(host->Millis(), 0u) << "the virtual clock never moved";
    const std::string owned = ReadText(dataDir / "save/Collection.dat");
    ASSERT_GT(owned.size(), 9u) << input;
    EXPECT_EQ(owned[7], 1) << input;
    EXPECT_EQ(owned[9], 1) << "the card given after the last .svd, written at shutdown";
  }
}

// "config" is missing too: its box comes first, and the game would go on.
// F1 shows where the interpreter has read to: two lines and the failed read.
TEST_F(ShellTest, MissingStartShowsTheMessageAndRunsNoLoopAndF1ShowsThePosition) {
  MakeHost("key esc");
  EXPECT_EQ(RunGame(), 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>(2, "存在しないファイルを指定しました"));
  EXPECT_TRUE(host->sentToProc.empty());
  // No shutdown either: the only lines are the mistakes of an empty folder.
  for (const std::string& line : host->traces) EXPECT_EQ(line.rfind("no ", 0), 0u) << line;
  EXPECT_EQ(posix::SjisToUtf8(host->traces.back()), "no scenario \"start.scn\"");
  ResetGameState();
  WriteData("config.scn", "");
  WriteData("start.scn", "a\nb\n");
  MakeHost("key f1\nkey esc");
  RunGame();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"File : start\nLine : 3"});
}

class ModeTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    WriteData("start.scn", "a\n");
    MakeHost();
    ASSERT_TRUE(OpenScenario("start"));
    ASSERT_TRUE(plat::host().OpenWindow("t", WindowProc));
  }
};

// A click in mode 3 resumes the script unless it hits a status bar button,
// which answers only in the waiting modes and outside events; any press
// holds the button and the mouse; an opener answering false ends the program.
TEST_F(ModeTest, ClicksResumeOpenAScreenOrOnlyHoldTheButtonByMode) {
  // clang-format off
  const struct { int mode, x, y, event, after; } cases[] = {
      {3, 600, 442, 0, 6}, {3, 634, 442, 0, 1}, {4, 524, 475, 0, 9}, {3, 600, 442, 1, 1},
      {0, 600, 442, 0, 0}, {1, 10, 10, 0, 1},   {2, 530, 450, 0, 2}};
  // clang-format on
  for (const auto& c : cases) {
    shell.InputMode = c.mode;
    interp.EventMode = c.event;
    OnLeftDown(c.x, c.y);
    EXPECT_TRUE(shell.LeftDown == 1 && host->captured);
    OnLeftUp(c.x, c.y);
    EXPECT_EQ(shell.InputMode, c.after) << c.mode << " at " << c.x << "," << c.y;
    EXPECT_FALSE(shell.LeftDown || host->captured);
  }
  OnLeftDown(1, 1);
  OnRightDown(1, 1);
  OnLeftUp(1, 1);
  EXPECT_TRUE(host->captured);  // while either button is held
  OnRightUp(1, 1);
  EXPECT_FALSE(host->captured);
}

TEST_F(ModeTest, AScreenThatCannotOpenQuits) {
  SetScreenOpener(ScreenButton::DeckEditor, [] { return false; });
  shell.InputMode = mode::ClickWait;
  OnLeftDown(530, 450);
  OnLeftUp(530, 450);
  plat::Message m;
  bool quit = false;
  while (plat::host().Peek()) quit |= !plat::host().Get(m);
  EXPECT_TRUE(quit);
}

// Losing the focus in full screen returns to the window, behind the others.
TEST_F(ModeTest, DisplayModeTogglesAndFailuresExplainThemselves) {
  OnKeyDown(plat::vk::F4);
  EXPECT_TRUE(shell.FullScreen == 1 && host->fullScreen);
  for (int i = 0; i < 2; ++i) WindowProc(plat::msg::Activate, plat::activate::Inactive, 0);
  EXPECT_EQ(std::pair(shell.FullScreen, host->sentToBack), std::pair(0, 1));
  host->options().fullScreenAnswer = plat::DisplayTest::BadMode;
  WindowProc(plat::msg::SysKeyDown, plat::vk::Return, 0);
  EXPECT_EQ(shell.FullScreen, 0);
  EXPECT_EQ(
      BoxTexts(),
      std::vector<std::string>{
          "グラフィックスモードはサポートされていません\nウィンドウモードで実行してください"});
}

// The waits count from the frame's start, end on a press of either button,
// and give 0 once the program is to quit.
TEST_F(ModeTest, WaitsEndOnTimeOnAPressOrOnQuit) {
  FrameStart();
  plat::host().SleepMs(7);
  EXPECT_EQ(WaitUntil(650), 1);
  EXPECT_EQ(plat::host().Millis(), 650u);
  host->SetInput(InputEvents("@690 rclick 1 1"));
  EXPECT_EQ(WaitClick(), 1);
  EXPECT_EQ(plat::host().Millis(), 690u);
  for (int (*wait)() : {+[] { return WaitUntil(100); }, +[] { return WaitOrClick(100); },
                        +[] { return WaitClick(); }}) {
    plat::host().PostQuit(0);
    EXPECT_EQ(wait(), 0);
  }
  // A click quicker than one pump, down and up together, still ends them;
  // a press made before the wait began (the second of a double click,
  // still queued) does not.
  const std::pair<const char*, int (*)()> quick[] = {{"l", +[] { return WaitOrClick(1000); }},
                                                     {"l", +[] { return WaitClick(); }},
                                                     {"r", +[] { return WaitClick(); }}};
  for (const auto& [button, wait] : quick) {
    shell.LeftDown = shell.RightDown = 0;  // the right click above is still held
    FrameStart();
    const uint64_t at = plat::host().Millis();
    std::string script = "+0 Xdown 1 1\n+0 Xup 1 1\n+200 Xdown 1 1\n+0 Xup 1 1\n+200 move 1 1";
    std::replace(script.begin(), script.end(), 'X', button[0]);
    host->SetInput(InputEvents(script));
    host->Millis();
    host->Peek();  // the first press and release come before the wait
    EXPECT_EQ(wait(), 1) << button;
    EXPECT_EQ(plat::host().Millis(), at + 200) << button;
  }
  plat::host().Post(Close, 0, 0);  // a close during a wait arrives as the quit message
  EXPECT_EQ(WaitUntil(1000), 0);
}

// The pump of a run that never waits answers the close at once and leaves
// the player's clicks and keys queued, in order, for the next wait.
TEST_F(ModeTest, ABusyRunTakesOnlyTheCloseAndLeavesTheRestQueued) {
  for (const uint32_t ask : {plat::msg::Close, plat::msg::KeyDown}) {
    ResetGameState();
    MakeHost();
    ASSERT_TRUE(plat::host().OpenWindow("t", WindowProc));
    StartBusyRun();
    shell.InputMode = mode::Running;
    plat::host().Post(plat::msg::LButtonDown, 0, 0);
    plat::host().Post(plat::msg::KeyDown, plat::vk::Return, 0);
    plat::host().Post(ask, ask == Close ? 0 : plat::vk::Escape, 0);
    plat::host().Post(plat::msg::LButtonUp, 0, 0);
    shell.LastPumpRealMs -= kBusyPumpMs;
    EXPECT_FALSE(PumpIfBusyLong()) << ask;
    // Esc is delivered as the key it is, and posts the close.
    const std::vector<uint32_t> sent =
        ask == Close ? std::vector<uint32_t>{Close, Destroy}
                     : std::vector<uint32_t>{plat::msg::KeyDown, Close, Destroy};
    EXPECT_EQ(host->sentToProc, sent) << ask;
    EXPECT_EQ(shell.LeftDown, 0);
  }
}

}  // namespace
