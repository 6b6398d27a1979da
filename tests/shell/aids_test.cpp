// The player's reading aids on the virtual clock: the backlog over a wait,
// Ctrl, Tab and auto mode passing click waits, the text speed, volume keys,
// the help page and the remembered settings.
#include "shell/aids.h"

#include <gtest/gtest.h>

#include "core/settings.h"
#include "core/waits.h"
#include "graphics/textwindow.h"
#include "script/backlog.h"
#include "script/presentation.h"
#include "sound/sound_fixture.h"
#include "support/script_fixture.h"

namespace {

class AidsTest : public ScriptTest {
 protected:
  // The window's picture with the blinking click cursor left out.
  std::vector<uint16_t> Picture() {
    plat::host().Invalidate(nullptr);
    plat::host().UpdateNow();
    std::vector<uint16_t> p = host->Frame();
    for (int y = scene.CursorY; y < scene.CursorY + 20 && y < 480; ++y)
      for (int x = scene.CursorX; x < scene.CursorX + 20 && x < 640; ++x)
        if (x >= 0 && y >= 0) p[static_cast<size_t>(y) * 640 + x] = 0;
    return p;
  }
  std::vector<std::string> BacklogTexts() {
    std::vector<std::string> out;
    for (const BacklogLine& l : backlog.lines)
      out.push_back(std::to_string(l.window) + ":" + l.text);
    return out;
  }
};

TEST_F(AidsTest, BacklogKeepsTheWindowsLinesApartAndTheChoiceTaken) {
  Run(".show msg1\n.show msg2\n.msg 1\nfirst!n\n and more\nsecond\n.msg 2\nreply\n.tcl 1\n"
      "reply\n.slt add \"go on\" :next\n.slt exec\n:next\n.msg 1\nend\n");
  EXPECT_EQ(shell.InputMode, mode::Choice);
  Input("wait click 0 0");  // off the choices: still waiting
  const plat::Point choice{scene.choices[1].left + 2, scene.choices[1].top + 2};
  Input("wait click " + std::to_string(choice.x) + " " + std::to_string(choice.y));
  // A line continued with "!n" is one line; the same window line after a
  // clear is a new one.
  EXPECT_EQ(BacklogTexts(), (std::vector<std::string>{"1:first and more", "1:second", "2:reply",
                                                      "2:reply", "0:go on", "1:end"}));

  for (int i = 0; i < 250; ++i) BacklogChar(1, 1 + i % 5, "x", 1);
  EXPECT_EQ(backlog.lines.size(), kBacklogLines);
  EXPECT_EQ(backlog.lines.back().windowLine, 5);
}

TEST_F(AidsTest, BacklogOpensScrollsAndClosesOnTheSameWaitAndPicture) {
  std::string text = ".show msg1\n";
  for (int i = 1; i <= 30; ++i) text += "line " + std::to_string(i) + "\n.tcl 1\n";
  Run(text + "last\n.clk\nafter\n");
  ASSERT_EQ(shell.InputMode, mode::ClickWait);
  const std::vector<uint16_t> before = Picture();

  Input("wait wheel 1");
  EXPECT_TRUE(shell.OverlayOpen);
  const std::vector<uint16_t> open = Picture();
  EXPECT_NE(open, before);
  Input("+10 wheel 2");
  EXPECT_NE(Picture(), open);                 // scrolled back
  Input("+10 click 320 240\n+10 key enter");  // the game's own click waits on
  EXPECT_TRUE(shell.OverlayOpen);
  EXPECT_EQ(LineText(1, 2), "");
  Input("+10 wheel -1\n+10 key down\n+10 key end\n+10 wheel -1");  // to the end, then past it
  EXPECT_FALSE(shell.OverlayOpen);
  EXPECT_EQ(shell.InputMode, mode::ClickWait);
  EXPECT_EQ(Picture(), before);

  Input("+10 key pageup");
  EXPECT_TRUE(shell.OverlayOpen);
  Input("+10 rclick 10 10");
  EXPECT_FALSE(shell.OverlayOpen);
  Input("+10 key up\n+10 key esc");
  EXPECT_FALSE(shell.OverlayOpen);
  EXPECT_FALSE(host->InputDone() && !host->WindowOpen()) << "Esc closed the view, not the game";
  EXPECT_EQ(Picture(), before);
  Input("+10 click 320 240");
  EXPECT_EQ(LineText(1, 2), "after");
}

TEST_F(AidsTest, CtrlAndTabPassClickWaitsAsTheHeldRightButtonDoes) {
  Run(".show msg1\none\n.clk\ntwo\n.clk\nthree\n.tcl\nfour\n.clk\nfive\n");
  ASSERT_EQ(shell.InputMode, mode::ClickWait);
  const uint64_t t = Now();
  Input("wait keydown ctrl");
  // Held, it passes every wait and the typing: "three" and "four" cost no time.
  EXPECT_EQ(LineText(1, 1), "four");
  EXPECT_EQ(LineText(1, 2), "five");
  EXPECT_EQ(Now(), t);
  Input("+0 keyup ctrl");
  EXPECT_FALSE(shell.CtrlDown);

  Run(".show msg1\na\n.clk\nb\n.clk\n.slt add \"x\" :x\n.slt exec\n:x\nc\n.clk\n");
  ASSERT_EQ(shell.InputMode, mode::ClickWait);
  Input("wait key tab");
  EXPECT_EQ(shell.InputMode, mode::Choice);  // skip mode stops at a decision
  EXPECT_FALSE(shell.SkipMode);
  Input("wait click " + std::to_string(scene.choices[1].left + 1) + " " +
        std::to_string(scene.choices[1].top + 1));
  EXPECT_EQ(shell.InputMode, mode::ClickWait);  // and the next wait waits again
}

TEST_F(AidsTest, AutoModeEndsAClickWaitAfterItsDelayOnTheClock) {
  Run(".show msg1\nabcde\n.clk\nafter\n.clk\nmore\n");
  ASSERT_EQ(shell.InputMode, mode::ClickWait);
  // 1500 ms and 80 for each of the five characters shown since the last wait.
  Input("wait key a\n+1899 move 700 500");
  ASSERT_TRUE(shell.AutoMode);
  EXPECT_EQ(LineText(1, 2), "");
  Input("+2 move 700 500");
  EXPECT_EQ(LineText(1, 2), "after");
  // The next wait counts from its own start: "after" is typed in 50 ms.
  Input("+1948 move 700 500");
  EXPECT_EQ(LineText(1, 3), "");
  Input("+2 move 700 500");
  EXPECT_EQ(LineText(1, 3), "more");

  // Off again: a wait waits for the player.
  Run(".show msg1\nx\n.clk\ny\n");
  Input("wait key a\n+20000 move 700 500");
  EXPECT_FALSE(shell.AutoMode);
  EXPECT_EQ(shell.InputMode, mode::ClickWait);
}

TEST_F(AidsTest, TextSpeedSetsTheTypingPace) {
  const std::string twenty(20, 'x');
  settings.textSpeed = 25;
  uint64_t t = Now();
  Run(".show msg1\n" + twenty + "\n");
  EXPECT_EQ(Now() - t, 500u);
  settings.textSpeed = 0;  // instant
  t = Now();
  Run(".show msg1\n.tcl 1\n" + twenty + "\n");
  EXPECT_EQ(Now(), t);
  EXPECT_EQ(LineText(1, 1), twenty);

  Input("wait key t");  // from instant to the next in the cycle
  EXPECT_EQ(settings.textSpeed, 5);
}

TEST_F(AidsTest, VolumeKeysStepTheHostsVolumesAndAreRemembered) {
  Run(".show msg1\nx\n.clk\n");
  Input("wait key minus\n+10 key minus\n+10 key lbracket\n+10 key m");
  std::vector<std::pair<int, int>> set;
  for (const auto& c : host->sound)
    if (c.kind == headless::HeadlessHost::SoundCall::Kind::Volume)
      set.emplace_back(c.music, c.effects);
  EXPECT_EQ(set, (std::vector<std::pair<int, int>>{{90, 100}, {80, 100}, {80, 90}, {0, 0}}));
  Settings saved;
  std::string why;
  ASSERT_TRUE(ParseSettings(ReadText(dataDir / "settings.txt"), saved, why)) << why;
  EXPECT_EQ(saved.musicVolume, 80);
  EXPECT_EQ(saved.effectsVolume, 90);
  EXPECT_TRUE(saved.muted);
  Input("+10 key plus");  // a step unmutes
  EXPECT_EQ(host->sound.back().music, 90);
}

// From an input script, as a player's hand: five "[" halve the waves, M
// silences them and gives them back at the level they had, "]" stops at full.
TEST_F(AidsTest, VolumeKeysChangeTheRenderedWavesByTheirSteps) {
  WriteData("loop.wav", SineWave(500));
  Run(".wav loop 2\n.show msg1\nx\n.clk\n");
  std::string script = "@1000 key lbracket\n";
  for (int i = 0; i < 4; ++i) script += "+0 key lbracket\n";
  script += "@2000 key m\n@3000 key m\n@4000 key rbracket\n";
  for (int i = 0; i < 8; ++i) script += "+0 key rbracket\n";
  Input(script + "@5000 move 700 500");
  std::vector<uint8_t> bytes;
  posix::WaveData wave;
  ASSERT_TRUE(Render(*host, dataDir / "run.wav", bytes, wave));
  const double full = Rms(wave, 100, 950);
  EXPECT_GT(full, 0.01);
  EXPECT_NEAR(Rms(wave, 1010, 1990) / full, 0.5, 0.01);
  EXPECT_LT(Rms(wave, 2010, 2990), 1e-4);
  EXPECT_NEAR(Rms(wave, 3010, 3990) / full, 0.5, 0.01);
  EXPECT_NEAR(Rms(wave, 4010, 4990) / full, 1.0, 0.01);
}

TEST_F(AidsTest, HelpCoversTheWaitUntilAKeyOrClick) {
  Run(".show msg1\nx\n.clk\ny\n");
  const std::vector<uint16_t> before = Picture();
  Input("wait key f2");
  EXPECT_TRUE(shell.OverlayOpen);
  EXPECT_NE(Picture(), before);
  Input("+10 click 100 100");
  EXPECT_FALSE(shell.OverlayOpen);
  EXPECT_EQ(shell.InputMode, mode::ClickWait);  // the click closed the help only
  EXPECT_EQ(Picture(), before);
}

}  // namespace

namespace {

class SettingsStartTest : public GameTest {
 protected:
  int Warnings() {
    int n = 0;
    for (const std::string& line : host->log) n += line.find("warning:") != std::string::npos;
    return n;
  }
};

TEST_F(SettingsStartTest, RememberedSettingsApplyAtStartAndADamagedFileFallsBack) {
  WriteData("config.scn", "");
  WriteData("start.scn", ".show msg1\nx\n.clk\n");
  WriteData("settings.txt", "window_scale = 3\nfull_screen = 1\nfit = 1\nmusic_volume = 40\n");
  MakeHost("wait key f4");
  EXPECT_EQ(RunGame(), 0);
  EXPECT_EQ(host->windowScale, 3);
  EXPECT_TRUE(host->windowFit);
  EXPECT_EQ(Warnings(), 0);
  // Full screen as left last time, and F4 back to the window is remembered.
  bool startedFull = false;
  for (const std::string& line : host->log)
    startedFull |= line.find("] full screen") != std::string::npos;
  EXPECT_TRUE(startedFull);
  Settings saved;
  std::string why;
  ASSERT_TRUE(ParseSettings(ReadText(dataDir / "settings.txt"), saved, why)) << why;
  EXPECT_FALSE(saved.fullScreen);
  EXPECT_EQ(saved.musicVolume, 40);
  bool volumeSet = false;
  for (const auto& c : host->sound)
    volumeSet |= c.kind == headless::HeadlessHost::SoundCall::Kind::Volume && c.music == 40;
  EXPECT_TRUE(volumeSet);

  ResetGameState();
  const std::string damaged = "music_volume = 40\n\x01\xFF garbage";
  WriteData("settings.txt", damaged);
  MakeHost("wait click 10 10");
  EXPECT_EQ(RunGame(), 0);
  EXPECT_EQ(Warnings(), 1);  // one line, and the game plays on with the defaults
  EXPECT_EQ(host->windowScale, 1);
  EXPECT_EQ(settings.musicVolume, 100);
  // Nothing changed, so the damaged file is left for the player to look at.
  EXPECT_EQ(ReadText(dataDir / "settings.txt"), damaged);
}

}  // namespace
