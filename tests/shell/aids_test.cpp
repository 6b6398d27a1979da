// The player's reading aids on the virtual clock: the backlog over a wait,
// Ctrl, Tab and auto mode passing click waits, the text speed, volume keys,
// the help page and the remembered settings.
#include "shell/aids.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "core/settings.h"
#include "core/waits.h"
#include "graphics/textwindow.h"
#include "script/backlog.h"
#include "script/presentation.h"
#include "support/script_fixture.h"

namespace {

using Kind = headless::HeadlessHost::SoundCall::Kind;

Settings Saved(const std::filesystem::path& dataDir) {
  Settings s;
  std::string why;
  EXPECT_TRUE(ParseSettings(ReadText(dataDir / "settings.txt"), s, why)) << why;
  return s;
}

class AidsTest : public ScriptTest {
 protected:
  // The window's picture with the blinking click cursor left out.
  std::vector<uint16_t> Picture() {
    plat::host().Invalidate(nullptr);
    plat::host().UpdateNow();
    std::vector<uint16_t> p = host->Frame();
    for (int y = std::max(scene.CursorY, 0); y < scene.CursorY + 20 && y < 480; ++y)
      for (int x = std::max(scene.CursorX, 0); x < scene.CursorX + 20 && x < 640; ++x)
        p[static_cast<size_t>(y) * 640 + x] = 0;
    return p;
  }
  static std::string At(const Choice& c) {
    return std::to_string(c.left + 2) + " " + std::to_string(c.top + 2);
  }
};

TEST_F(AidsTest, BacklogKeepsTheWindowsLinesApartAndTheChoiceTaken) {
  Run(".show msg1\n.show msg2\n.msg 1\nfirst!n\n and more\nsecond\n.msg 2\nreply\n.tcl 1\n"
      "reply\n.slt add \"go on\" :next\n.slt exec\n:next\n.msg 1\nend\n");
  Input("wait click " + At(scene.choices[1]));
  // A line continued with "!n" is one line; the same window line after a
  // clear is a new one.
  std::string lines;
  for (const BacklogLine& l : backlog.lines) lines += std::to_string(l.window) + ":" + l.text + "|";
  EXPECT_EQ(lines, "1:first and more|1:second|2:reply|2:reply|0:go on|1:end|");
  for (int i = 0; i < 251; ++i) {
    BacklogChar(1, 1 + i % 5, "x", 1);
    if (i >= 249) {
      EXPECT_EQ(backlog.lines.size(), kBacklogLines);
    }
  }
  EXPECT_EQ(backlog.lines.back().windowLine, 1);
}

// The backlog and the help page cover the wait and give back its picture.
TEST_F(AidsTest, BacklogAndHelpOpenOverTheWaitAndCloseOnTheSamePicture) {
  std::string text = ".show msg1\n";
  for (int i = 1; i <= 30; ++i) text += "line " + std::to_string(i) + "\n.tcl 1\n";
  Run(text + "last\n.clk\nafter\n");
  const std::vector<uint16_t> before = Picture();
  Input("wait wheel 1");
  ASSERT_TRUE(shell.OverlayOpen);
  const std::vector<uint16_t> open = Picture();
  EXPECT_NE(open, before);
  Input("+10 wheel 2");
  EXPECT_NE(Picture(), open);                 // scrolled back
  Input("+10 click 320 240\n+10 key enter");  // the game's own click waits on
  EXPECT_TRUE(shell.OverlayOpen);
  EXPECT_EQ(LineText(1, 2), "");
  Input("+10 wheel -1\n+10 key down\n+10 key end\n+10 wheel -1");  // to the end, then past it
  EXPECT_FALSE(shell.OverlayOpen);
  EXPECT_EQ(Picture(), before);
  Input("+10 key pageup");
  EXPECT_TRUE(shell.OverlayOpen);
  Input("+10 rclick 10 10\n+10 key up\n+10 key esc");
  EXPECT_FALSE(shell.OverlayOpen);
  EXPECT_TRUE(host->WindowOpen()) << "Esc closed the view, not the game";
  EXPECT_EQ(Picture(), before);
  Input("+10 key f2");
  EXPECT_TRUE(shell.OverlayOpen);
  EXPECT_NE(Picture(), before);
  Input("+10 click 100 100");
  EXPECT_FALSE(shell.OverlayOpen);
  EXPECT_EQ(std::pair(shell.InputMode, Picture() == before), std::pair(mode::ClickWait, true));
  Input("+10 click 320 240");
  EXPECT_EQ(LineText(1, 2), "after");
}

TEST_F(AidsTest, CtrlAndTabPassClickWaitsAsTheHeldRightButtonDoes) {
  Run(".show msg1\none\n.clk\ntwo\n.clk\nthree\n.tcl\nfour\n.clk\nfive\n");
  const uint64_t t = Now();
  Input("wait keydown ctrl");
  // Held, it passes every wait and the typing: "three" and "four" cost no time.
  EXPECT_EQ(Lines(1, 2), "four|five");
  EXPECT_EQ(Now(), t);
  Input("+0 keyup ctrl");
  EXPECT_FALSE(shell.CtrlDown);
  Run(".show msg1\na\n.clk\nb\n.clk\n.slt add \"x\" :x\n.slt exec\n:x\nc\n.clk\n");
  Input("wait key tab");
  EXPECT_EQ(shell.InputMode, mode::Choice);  // skip mode stops at a decision
  EXPECT_FALSE(shell.SkipMode);
  Input("wait click " + At(scene.choices[1]));
  EXPECT_EQ(shell.InputMode, mode::ClickWait);  // and the next wait waits again
}

TEST_F(AidsTest, AutoModeEndsAClickWaitAfterItsDelayOnTheClock) {
  Run(".show msg1\nabcde\n.clk\nafter\n.clk\nmore\n");
  // 1500 ms and 80 for each of the five characters shown since the last wait;
  // the next wait counts from its own start: "after" is typed in 50 ms.
  const std::pair<const char*, std::string> steps[] = {{"wait key a\n+1899 move 700 500", ""},
                                                       {"+2 move 700 500", "after"},
                                                       {"+1948 move 700 500", ""},
                                                       {"+2 move 700 500", "more"}};
  for (int i = 0; i < 4; ++i) {
    Input(steps[i].first);
    EXPECT_EQ(LineText(1, 2 + i / 2), steps[i].second) << steps[i].first;
  }
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
  std::vector<int> cycle;
  for (int i = 0; i < 5; ++i) {
    Input(i == 0 ? "wait key t" : "+10 key t");
    cycle.push_back(settings.textSpeed);
  }
  EXPECT_EQ(cycle, (std::vector<int>{5, 10, 20, 40, 0}));
}

// Ten a step, the level kept through a mute, and each change remembered.
TEST_F(AidsTest, VolumeKeysStepTheHostsVolumesAndAreRemembered) {
  Run(".show msg1\nx\n.clk\n");
  Input("wait key minus\n+10 key minus\n+10 key lbracket\n+10 key m");
  const Settings saved = Saved(dataDir);
  EXPECT_EQ(std::tuple(saved.musicVolume, saved.effectsVolume, saved.muted),
            std::tuple(80, 90, true));
  Input("+10 key m\n+10 key rbracket\n+10 key rbracket\n+10 key plus");
  std::string set;
  for (const auto& c : host->sound)
    if (c.kind == Kind::Volume)
      set += std::to_string(c.music) + "/" + std::to_string(c.effects) + " ";
  EXPECT_EQ(set, "90/100 80/100 80/90 0/0 80/90 80/100 80/100 90/100 ");
}

class SettingsStartTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    WriteData("config.scn", "");
    WriteData("start.scn", ".show msg1\nx\n.clk\n");
  }
  int Logged(const char* what) {
    int n = 0;
    for (const std::string& line : host->log) n += line.find(what) != std::string::npos;
    return n;
  }
};

// What the game writes reads back the same; a file reads whole, or changes
// nothing and names its first bad line.
TEST(SettingsFile, HandWrittenFilesReadAndDamagedOnesAreRefusedWhole) {
  const Settings written{3, true, true, 0, 40, 0, true, 2500};
  Settings back;
  std::string why;
  ASSERT_TRUE(ParseSettings(FormatSettings(written), back, why)) << why;
  EXPECT_EQ(FormatSettings(back), FormatSettings(written));
  EXPECT_EQ(EffectiveMusicVolume(back) + EffectiveEffectsVolume(back), 0);  // muted
  EXPECT_EQ(EffectiveEffectsVolume(Settings{}), 100);
  // clang-format off
  const struct { std::string text; int music, speed, badLine; } cases[] = {
      {"# mine\r\n\n  music_volume=  35 \r\ncolour_theme = dark\ntext_speed = instant", 35, 0, 0},
      {"\xEF\xBB\xBFmusic_volume = 20\n", 20, 10, 0}, {"", 100, 10, 0},
      {"music_volume = 0\neffects_volume = 100\nwindow_scale = 4\nauto_delay = 60000\n", 0, 10, 0},
      {"music_volume = 101\n", 0, 0, 1}, {"music_volume = -1\n", 0, 0, 1},
      {"effects_volume = 101\n", 0, 0, 1}, {"window_scale = 0\n", 0, 0, 1},
      {"window_scale = 5\n", 0, 0, 1}, {"full_screen = 2\n", 0, 0, 1},
      {"text_speed = fast\n", 0, 0, 1}, {"text_speed = 1001\n", 0, 0, 1},
      {"auto_delay = 99999999999\n", 0, 0, 1}, {"music_volume = 50\ngarbage\n", 0, 0, 2},
      {"= 3\n", 0, 0, 1}, {std::string("muted = 0\nfit = 1\0\n", 19), 0, 0, 2}};
  // clang-format on
  for (const auto& c : cases) {
    Settings s;
    s.musicVolume = 77;
    s.textSpeed = 7;
    const bool ok = ParseSettings(c.text, s, why);
    EXPECT_EQ(std::tuple(ok, s.musicVolume, s.textSpeed),
              c.badLine ? std::tuple(false, 77, 7) : std::tuple(true, c.music, c.speed))
        << c.text;
    if (c.badLine) {
      EXPECT_EQ(why.rfind("line " + std::to_string(c.badLine), 0), 0u) << why;
    }
  }
}

TEST_F(SettingsStartTest, RememberedSettingsApplyAtStartAndADamagedFileFallsBack) {
  WriteData("settings.txt", "window_scale = 3\nfull_screen = 1\nfit = 1\nmusic_volume = 40\n");
  MakeHost("wait key f4");
  EXPECT_EQ(RunGame(), 0);
  EXPECT_EQ(std::pair(host->windowScale, host->windowFit), std::pair(3, true));
  EXPECT_EQ(Logged("warning:"), 0);
  EXPECT_GT(Logged("] full screen"), 0);    // as left last time
  EXPECT_FALSE(Saved(dataDir).fullScreen);  // F4 back to the window is remembered
  EXPECT_EQ(Saved(dataDir).musicVolume, 40);
  EXPECT_TRUE(std::any_of(host->sound.begin(), host->sound.end(),
                          [](const auto& c) { return c.kind == Kind::Volume && c.music == 40; }));
  ResetGameState();
  const std::string damaged = "music_volume = 40\n\x01\xFF garbage";
  WriteData("settings.txt", damaged);
  MakeHost("wait click 10 10");
  EXPECT_EQ(RunGame(), 0);
  EXPECT_EQ(Logged("warning:"), 1);  // one line, and the game plays on with the defaults
  EXPECT_EQ(std::pair(host->windowScale, settings.musicVolume), std::pair(1, 100));
  // Nothing changed, so the damaged file is left for the player to look at.
  EXPECT_EQ(ReadText(dataDir / "settings.txt"), damaged);
}

}  // namespace
