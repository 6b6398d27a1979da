// The settings file: what reads, what is refused as damaged, and that what
// the game writes reads back the same.
#include "core/settings.h"

#include <gtest/gtest.h>

namespace {

TEST(SettingsFile, WhatTheGameWritesReadsBackTheSame) {
  const Settings s{3, true, true, 0, 40, 0, true, 2500};
  Settings back;
  std::string why;
  ASSERT_TRUE(ParseSettings(FormatSettings(s), back, why)) << why;
  EXPECT_EQ(FormatSettings(back), FormatSettings(s));
  EXPECT_EQ(EffectiveMusicVolume(back) + EffectiveEffectsVolume(back), 0);  // muted
  EXPECT_EQ(EffectiveEffectsVolume(Settings{}), 100);
}

// A file reads whole, or changes nothing and names its first bad line.
TEST(SettingsFile, HandWrittenFilesReadAndDamagedOnesAreRefusedWhole) {
  const struct {
    std::string text;
    int music, speed, badLine;
  } cases[] = {
      {"# mine\r\n\n  music_volume=  35 \r\ncolour_theme = dark\ntext_speed = instant", 35, 0, 0},
      {"\xEF\xBB\xBFmusic_volume = 20\n", 20, 10, 0},
      {"music_volume = 0\neffects_volume = 100\nwindow_scale = 4\nauto_delay = 60000\n", 0, 10, 0},
      {"", 100, 10, 0},
      {"music_volume = 101\n", 0, 0, 1},
      {"music_volume = -1\n", 0, 0, 1},
      {"effects_volume = 101\n", 0, 0, 1},
      {"window_scale = 0\n", 0, 0, 1},
      {"window_scale = 5\n", 0, 0, 1},
      {"full_screen = 2\n", 0, 0, 1},
      {"text_speed = fast\n", 0, 0, 1},
      {"text_speed = 1001\n", 0, 0, 1},
      {"auto_delay = 99999999999\n", 0, 0, 1},
      {"music_volume = 50\ngarbage\n", 0, 0, 2},
      {"= 3\n", 0, 0, 1},
      {std::string("muted = 0\nfit = 1\0\n", 19), 0, 0, 2}};
  for (const auto& c : cases) {
    Settings s;
    s.musicVolume = 77;
    s.textSpeed = 7;
    std::string why;
    EXPECT_EQ(ParseSettings(c.text, s, why), c.badLine == 0) << c.text;
    EXPECT_EQ(s.musicVolume, c.badLine ? 77 : c.music) << c.text;
    EXPECT_EQ(s.textSpeed, c.badLine ? 7 : c.speed) << c.text;
    if (c.badLine == 0) continue;
    EXPECT_EQ(why.rfind("line " + std::to_string(c.badLine), 0), 0u) << why;
  }
}

}  // namespace
