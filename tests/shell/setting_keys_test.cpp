// The keys that change a remembered setting: the text speed and the volumes.
#include "shell/setting_keys.h"

#include <gtest/gtest.h>

#include <tuple>

#include "core/settings.h"
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

using SettingKeysTest = ScriptTest;

TEST_F(SettingKeysTest, TextSpeedSetsTheTypingPace) {
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
TEST_F(SettingKeysTest, VolumeKeysStepTheHostsVolumesAndAreRemembered) {
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

}  // namespace
