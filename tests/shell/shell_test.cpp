// The real program, start to end, through the headless backend.
#include <gtest/gtest.h>

#include <algorithm>

#include "graphics/image.h"
#include "graphics/textwindow.h"
#include "script/interpreter.h"
#include "script/reader.h"
#include "shell/input.h"
#include "support/game_fixture.h"

namespace {

using plat::msg::Close;
using plat::msg::Destroy;
using plat::msg::User;

class ShellTest : public GameTest {};

TEST_F(ShellTest, StartUpRunsStartThenEscClosesThroughDestroy) {
  WriteData("config.scn", ".int a\n");
  WriteData("start.scn", "# opening\n.event begin\n\nHello\n");
  MakeHost("key esc");
  EXPECT_EQ(RunGame(), 0);

  // The interpreter's first run comes from the posted message, after the
  // window is up; Esc goes through Close and Destroy.
  const auto& sent = host->sentToProc;
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.front(), User + 1);
  const auto close = std::find(sent.begin(), sent.end(), Close);
  ASSERT_NE(close, sent.end());
  EXPECT_EQ(std::find(close, sent.end(), Destroy) - close, 1);
  EXPECT_EQ(sent.back(), Destroy);

  LineRecord line{};
  ASSERT_TRUE(msgwin.window[1].GetLine(1, line));
  EXPECT_STREQ(line.text, "Hello");
  EXPECT_EQ(TraceTexts().back(), "shutdown: scenario closed");
  EXPECT_FALSE(scn.fileOpen);
  EXPECT_FALSE(host->windowOpen);
  EXPECT_TRUE(host->boxes.empty());
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

TEST_F(ShellTest, MissingStartShowsTheMessageAndRunsNoLoop) {
  MakeHost("key esc");
  EXPECT_EQ(RunGame(), 0);
  // "config" is missing too: its box comes first, and the game would go on.
  EXPECT_EQ(BoxTexts(), std::vector<std::string>(2, "存在しないファイルを指定しました"));
  EXPECT_TRUE(host->sentToProc.empty());
  EXPECT_TRUE(host->traces.empty());  // no shutdown either
}

TEST_F(ShellTest, F12AndTheCloseButtonEndTheProgramToo) {
  for (const char* input : {"key f12", "close"}) {
    ResetGameState();
    WriteData("start.scn", "text\n");
    MakeHost(input);
    EXPECT_EQ(RunGame(), 0) << input;
    EXPECT_EQ(host->sentToProc.back(), Destroy) << input;
  }
}

TEST_F(ShellTest, F1ShowsTheScenarioPosition) {
  WriteData("config.scn", "");
  WriteData("start.scn", "a\nb\n");
  MakeHost("key f1\nkey esc");
  RunGame();
  // The interpreter has read to the end: two lines and the failed read.
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"File : start\nLine : 3"});
}

TEST_F(ShellTest, EndOfInputClosesTheWindowAndWritesTheExitScreenshot) {
  WriteData("start.scn", "a\n");
  auto shots = dataDir / "shots";
  std::filesystem::create_directories(shots);
  MakeHost("");
  host->options().screenshotDir = shots.string();
  EXPECT_EQ(RunGame(), 0);
  EXPECT_TRUE(std::filesystem::exists(shots / "exit.png"));
}

TEST_F(ShellTest, PaintShowsTheScreenImageAtTheViewOffset) {
  WriteData("start.scn", "a\n");
  MakeHost();
  ASSERT_TRUE(plat::host().OpenWindow("t", WindowProc));
  CreateGlobalImages();
  // Each row of the screen image holds its own number.
  for (int y = 0; y < gfx.Screen.height; ++y) {
    std::fill_n(gfx.Screen.Row(y), gfx.Screen.width, static_cast<uint16_t>(y));
  }
  gfx.ViewOffset = 142;
  InvalidateAll();
  plat::host().UpdateNow();
  EXPECT_EQ(host->FramePixel(0, 0), 142);
  EXPECT_EQ(host->FramePixel(639, 479), 621);
  gfx.ViewOffset = 0;
  InvalidateArea(0, 0, 640, 10);  // only what is invalidated is repainted
  plat::host().UpdateNow();
  EXPECT_EQ(host->FramePixel(5, 9), 9);
  EXPECT_EQ(host->FramePixel(5, 10), 152);
}

// Clicks and modes: a click in mode 3 resumes the script unless it hits a
// screen button (while no event runs).
class ModeTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    WriteData("start.scn", "a\n");
    MakeHost();
    ASSERT_TRUE(OpenScenario("start"));
    ASSERT_TRUE(plat::host().OpenWindow("t", WindowProc));
  }
  // Returns the input mode after a press and release at (x, y) in mode.
  int ClickIn(int mode, int x, int y, int eventMode = 0) {
    shell.InputMode = mode;
    interp.EventMode = eventMode;
    OnLeftDown(x, y);
    OnLeftUp(x, y);
    return shell.InputMode;
  }
};

TEST_F(ModeTest, ScreenButtonEdgesAndTheEventFlag) {
  EXPECT_EQ(ClickIn(3, 600, 442), 6);  // save screen button: the screen opens, no resume
  EXPECT_EQ(ClickIn(3, 634, 442), 1);  // just outside: resumes
  EXPECT_EQ(ClickIn(3, 600, 476), 1);
  EXPECT_EQ(ClickIn(4, 524, 475), 9);     // deck editor corner: the editor opens
  EXPECT_EQ(ClickIn(3, 600, 442, 1), 1);  // an event turns the buttons off
  EXPECT_EQ(ScreenButtonAt(633, 475), ScreenButton::SaveLoad);
  EXPECT_EQ(ScreenButtonAt(562, 442), ScreenButton::Collection);
  EXPECT_EQ(ScreenButtonAt(558, 450), ScreenButton::None);
}

// A subsystem's opener gets the press on its button, in the waiting modes
// only; an opener answering false ends the program.
TEST_F(ModeTest, ScreenButtonsCallTheirOpenersAndFalseQuits) {
  static int opened;
  static bool answer;
  opened = 0;
  answer = true;
  SetScreenOpener(ScreenButton::DeckEditor, [] {
    ++opened;
    return answer;
  });
  EXPECT_EQ(ClickIn(5, 530, 450), 5);
  EXPECT_EQ(opened, 1);
  ClickIn(2, 530, 450);  // typing: the buttons are off
  EXPECT_EQ(opened, 1);
  answer = false;
  ClickIn(3, 530, 450);
  EXPECT_EQ(opened, 2);
  plat::Message m;
  bool quit = false;
  while (plat::host().Peek()) quit |= !plat::host().Get(m);
  EXPECT_TRUE(quit);
}

TEST_F(ModeTest, ClicksOutsideWaitingModesDoNothingButHoldTheButton) {
  for (int mode : {0, 1, 2}) {
    shell.InputMode = mode;
    OnLeftDown(10, 10);
    EXPECT_EQ(shell.LeftDown, 1);
    EXPECT_TRUE(host->captured);
    EXPECT_EQ(shell.InputMode, mode);
    OnLeftUp(10, 10);
    EXPECT_EQ(shell.LeftDown, 0);
    EXPECT_FALSE(host->captured);
  }
}

TEST_F(ModeTest, CaptureIsHeldWhileEitherButtonIs) {
  OnLeftDown(1, 1);
  OnRightDown(1, 1);
  OnLeftUp(1, 1);
  EXPECT_TRUE(host->captured);
  OnRightUp(1, 1);
  EXPECT_FALSE(host->captured);
}

TEST_F(ModeTest, EnterClicksAtThePointer) {
  std::vector<headless::InputEvent> events;
  std::string error;
  ASSERT_TRUE(headless::ParseInputScript("@0 move 610 450", events, error));
  host->SetInput(events);
  ASSERT_TRUE(PumpPending());
  shell.InputMode = 3;
  OnKeyDown(plat::vk::Return);
  EXPECT_EQ(shell.InputMode, 6);  // on the save button: the save screen, no resume
  EXPECT_EQ(shell.LeftDown, 0);
}

TEST_F(ModeTest, DisplayModeTogglesAndFailuresExplainThemselves) {
  OnKeyDown(plat::vk::F4);
  EXPECT_EQ(shell.FullScreen, 1);
  EXPECT_TRUE(host->fullScreen);
  // Losing the focus in full screen returns to the window, behind the others.
  WindowProc(plat::msg::Activate, plat::activate::Inactive, 0);
  EXPECT_EQ(shell.FullScreen, 0);
  EXPECT_EQ(host->sentToBack, 1);
  WindowProc(plat::msg::Activate, plat::activate::Inactive, 0);
  EXPECT_EQ(host->sentToBack, 1);

  host->options().fullScreenAnswer = plat::DisplayTest::BadMode;
  WindowProc(plat::msg::SysKeyDown, plat::vk::Return, 0);
  EXPECT_EQ(shell.FullScreen, 0);
  EXPECT_EQ(
      BoxTexts(),
      std::vector<std::string>{
          "グラフィックスモードはサポートされていません\nウィンドウモードで実行してください"});
}

// The waits pump messages and measure time on the virtual clock.
class WaitTest : public GameTest {
 protected:
  void Start(const std::string& input) {
    MakeHost(input);
    ASSERT_TRUE(plat::host().OpenWindow("t", WindowProc));
  }
};

TEST_F(WaitTest, WaitUntilReturnsOneOnTimeAndCountsFromFrameStart) {
  Start("");
  plat::host().SleepMs(7);
  FrameStart();
  EXPECT_EQ(WaitUntil(650), 1);
  EXPECT_EQ(plat::host().Millis(), 657u);
  EXPECT_EQ(WaitUntil(0), 1);
  EXPECT_EQ(plat::host().Millis(), 657u);
}

TEST_F(WaitTest, WaitsReturnZeroOnQuit) {
  Start("");
  plat::host().PostQuit(0);
  FrameStart();
  EXPECT_EQ(WaitUntil(100), 0);
  plat::host().PostQuit(0);
  EXPECT_EQ(WaitOrClick(100), 0);
  plat::host().PostQuit(0);
  EXPECT_EQ(WaitClick(), 0);
  // A close during a wait arrives as the quit message.
  plat::host().Post(Close, 0, 0);
  EXPECT_EQ(WaitUntil(1000), 0);
}

TEST_F(WaitTest, WaitOrClickEndsOnANewPressOrTheRightButton) {
  Start("@100 click 5 5\n@300 rdown 5 5");
  FrameStart();
  EXPECT_EQ(WaitOrClick(1000), 1);
  EXPECT_EQ(plat::host().Millis(), 100u);
  FrameStart();
  EXPECT_EQ(WaitOrClick(1000), 1);
  EXPECT_EQ(plat::host().Millis(), 300u);
  FrameStart();
  EXPECT_EQ(WaitOrClick(1000), 1);  // right button still held
  EXPECT_EQ(plat::host().Millis(), 300u);
}

TEST_F(WaitTest, WaitOrClickStartedWithTheButtonHeldNeedsARelease) {
  Start("@0 ldown 1 1\n@200 lup 1 1\n@400 ldown 1 1");
  ASSERT_TRUE(PumpPending());
  ASSERT_EQ(shell.LeftDown, 1);
  FrameStart();
  EXPECT_EQ(WaitOrClick(1000), 1);
  EXPECT_EQ(plat::host().Millis(), 400u);
  FrameStart();
  EXPECT_EQ(WaitOrClick(250), 1);  // held on: only the time ends it
  EXPECT_EQ(plat::host().Millis(), 650u);
}

TEST_F(WaitTest, WaitClickWaitsForAPressOfEitherButton) {
  Start("@40 rclick 1 1");
  EXPECT_EQ(WaitClick(), 1);
  EXPECT_EQ(plat::host().Millis(), 40u);
  EXPECT_EQ(shell.RightDown, 1);
}

}  // namespace
