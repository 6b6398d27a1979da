// The settings file: what reads, what is refused as damaged, and that what
// the game writes reads back the same.
#include "core/settings.h"

#include <gtest/gtest.h>

namespace {

TEST(SettingsFile, WhatTheGameWritesReadsBackTheSame) {
  Settings s;
  s.windowScale = 3;
  s.fullScreen = true;
  s.fit = true;
  s.textSpeed = 0;
  s.musicVolume = 40;
  s.effectsVolume = 0;
  s.muted = true;
  s.autoDelay = 2500;
  Settings back;
  std::string why;
  ASSERT_TRUE(ParseSettings(FormatSettings(s), back, why)) << why;
  EXPECT_EQ(FormatSettings(back), FormatSettings(s));
  EXPECT_EQ(back.textSpeed, 0);
  EXPECT_EQ(EffectiveMusicVolume(back), 0);  // muted

  ASSERT_TRUE(ParseSettings(FormatSettings(Settings{}), back, why)) << why;
  EXPECT_EQ(back.textSpeed, 10);  // the game's own pace unless the player changes it
  EXPECT_EQ(EffectiveEffectsVolume(back), 100);
}

TEST(SettingsFile, HandWrittenFilesWithSpacesCommentsAndUnknownKeysRead) {
  Settings s;
  std::string why;
  ASSERT_TRUE(
      ParseSettings("# mine\r\n\n  music_volume=  35 \r\ncolour_theme = dark\n"
                    "text_speed = instant",
                    s, why))
      << why;
  EXPECT_EQ(s.musicVolume, 35);
  EXPECT_EQ(s.textSpeed, 0);
  EXPECT_EQ(s.effectsVolume, 100);  // not named: the default
  ASSERT_TRUE(ParseSettings("", s, why));
  // Saved by an editor that marks UTF-8: the first key is still known.
  ASSERT_TRUE(ParseSettings("\xEF\xBB\xBFmusic_volume = 20\n", s, why)) << why;
  EXPECT_EQ(s.musicVolume, 20);
}

TEST(SettingsFile, DamagedFilesAreRefusedWholeWithTheLineNamed) {
  const char* damaged[] = {
      "music_volume = 101\n",       "music_volume = -1\n",
      "window_scale = 0\n",         "full_screen = 2\n",
      "text_speed = fast\n",        "music_volume = 50\ngarbage\n",
      "auto_delay = 99999999999\n", "= 3\n",
  };
  for (const char* text : damaged) {
    Settings s;
    s.musicVolume = 77;
    std::string why;
    EXPECT_FALSE(ParseSettings(text, s, why)) << text;
    EXPECT_EQ(s.musicVolume, 77) << "a damaged file must change nothing: " << text;
    EXPECT_EQ(why.rfind("line ", 0), 0u) << why;
  }
  Settings s;
  std::string why;
  std::string withNul("muted = 0\nfit = 1\0\n", 19);
  EXPECT_FALSE(ParseSettings(withNul, s, why));
  EXPECT_EQ(why.substr(0, 6), "line 2");
}

}  // namespace
