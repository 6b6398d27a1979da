// The settings file: its format read and written, and what a start makes of
// a remembered or a damaged one.
#include "shell/settings_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "core/settings.h"
#include "support/game_fixture.h"

namespace {

using Kind = headless::HeadlessHost::SoundCall::Kind;

Settings Saved(const std::filesystem::path& dataDir) {
  Settings s;
  std::string why;
  EXPECT_TRUE(ParseSettings(ReadText(dataDir / "settings.txt"), s, why)) << why;
  return s;
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
  // The data folder holds no pictures: those are told, the settings are not.
  EXPECT_EQ(Logged("warning: settings.txt"), 0);
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
  EXPECT_EQ(Logged("warning: settings.txt"),
            1);  // one line, and the game plays on with the defaults
  EXPECT_EQ(std::pair(host->windowScale, settings.musicVolume), std::pair(1, 100));
  // Nothing changed, so the damaged file is left for the player to look at.
  EXPECT_EQ(ReadText(dataDir / "settings.txt"), damaged);
}

}  // namespace
