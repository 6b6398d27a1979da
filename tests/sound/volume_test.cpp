// The player's volumes in the headless rendering: they change what is already
// sounding from the moment they are set, music and waves apart, and stay
// within 0..100.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/posix/audio_mix.h"
#include "platform/posix/fluid_synth.h"
#include "sound/sound_fixture.h"

using midigen::Track;

class VolumeTest : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    WriteData("loop.wav", SineWave(500));
  }
  // A held drawbar organ fifth: after its attack its level stays within a
  // per cent or two, so two stretches of it compare as the volume alone
  // makes them. No partial of it lies near the wave's 660 Hz, whose beats
  // would swing the sum.
  void StartOrgan() {
    Track t;
    t.Program(0, 0, 16);
    for (int key : {48, 55}) t.Note(0, 480 * 60, 0, key, 100);
    WriteSong("organ.mid", {t});
    ASSERT_EQ(PlayMusic("organ.mid", 1), 1);
  }
  bool HaveSoundFont() {
    std::string problem;
    return !posix::FindSoundFont(problem).empty();
  }
  void RenderRun(posix::WaveData& wave) {
    ASSERT_TRUE(Render(*host, dataDir / "run.wav", bytes_, wave));
  }

 private:
  std::vector<uint8_t> bytes_;  // what the parsed rendering points into
};

TEST_F(VolumeTest, HalfVolumesHalveTheMusicAndTheWaveAlreadyPlaying) {
  if (!HaveSoundFont()) GTEST_SKIP() << "no SoundFont: the music cannot be rendered";
  StartOrgan();
  PlayWave("loop.wav", plat::kWaveAsync | plat::kWaveLoop);
  host->SleepMs(2000);
  host->SetVolumes(50, 50);
  host->SleepMs(2000);

  posix::WaveData wave;
  RenderRun(wave);
  const double before = Rms(wave, 300, 1950), after = Rms(wave, 2200, 3950);
  std::printf("RMS %.4f before, %.4f after: ratio %.3f\n", before, after, after / before);
  EXPECT_GT(before, 0.05);
  EXPECT_NEAR(after / before, 0.5, 0.025);
}

// The waves at 0 leave the music as loud as it was alone; the music's own
// volume then halves it alone, and holds for a song started afresh (a device
// opened again is reset, but not its volume).
TEST_F(VolumeTest, EachVolumeActsOnItsOwnSound) {
  if (!HaveSoundFont()) GTEST_SKIP() << "no SoundFont: the music cannot be rendered";
  StartOrgan();
  host->SleepMs(2000);
  PlayWave("loop.wav", plat::kWaveAsync | plat::kWaveLoop);
  host->SleepMs(2000);
  host->SetVolumes(100, 0);
  host->SleepMs(2000);
  host->SetVolumes(50, 0);
  host->SleepMs(2000);
  MusicCommand("stop", 0);
  host->SleepMs(500);
  ASSERT_EQ(PlayMusic("organ.mid", 1), 1);
  host->SleepMs(2000);

  posix::WaveData wave;
  RenderRun(wave);
  const double alone = Rms(wave, 300, 1950), mixed = Rms(wave, 2200, 3950),
               noWaves = Rms(wave, 4200, 5950), halfMusic = Rms(wave, 6200, 7950),
               restarted = Rms(wave, 8800, 10450);
  std::printf(
      "RMS: music %.4f, with the wave %.4f, effects at 0 %.4f (ratio %.3f), music at 50 %.4f "
      "(ratio %.3f), restarted at 50 %.4f (ratio %.3f)\n",
      alone, mixed, noWaves, noWaves / alone, halfMusic, halfMusic / alone, restarted,
      restarted / alone);
  EXPECT_GT(alone, 0.01);
  EXPECT_GT(mixed, 1.5 * alone);  // the wave was heard
  EXPECT_NEAR(noWaves / alone, 1.0, 0.05);
  EXPECT_NEAR(halfMusic / alone, 0.5, 0.025);
  EXPECT_NEAR(restarted / alone, 0.5, 0.025);
}

// Needs no SoundFont: the waves alone, whose level is known exactly.
TEST_F(VolumeTest, TheEffectsVolumeIsClampedAndHoldsForTheNextWave) {
  PlayWave("loop.wav", plat::kWaveAsync | plat::kWaveLoop);
  host->SleepMs(1000);
  host->SetVolumes(250, -30);  // an inverted wave would be heard
  host->SleepMs(1000);
  host->SetVolumes(-5, 400);  // four times as loud would clip
  host->SleepMs(1000);
  host->SetVolumes(100, 50);
  host->SleepMs(1000);
  PlayWave("loop.wav", plat::kWaveAsync | plat::kWaveLoop);
  host->SleepMs(1000);

  std::vector<std::pair<int, int>> volumes;
  for (const auto& c : host->sound) {
    if (c.kind == Kind::Volume) volumes.push_back({c.music, c.effects});
  }
  const std::vector<std::pair<int, int>> want = {{100, 0}, {0, 100}, {100, 50}};
  EXPECT_EQ(volumes, want);
  EXPECT_EQ(Count(Kind::Volume), 3u);
  EXPECT_NE(
      std::find(host->log.begin(), host->log.end(), "[    2000 ms] volumes music 0 effects 100"),
      host->log.end());

  posix::WaveData wave;
  RenderRun(wave);
  const double full = Rms(wave, 100, 950);
  // A 16-bit sine of amplitude 8000, through the effects' gain.
  EXPECT_NEAR(full, posix::kWaveGain * 8000 / 32768 / std::sqrt(2.0), 0.01);
  EXPECT_LT(Rms(wave, 1010, 1990), 1e-4);
  EXPECT_NEAR(Rms(wave, 2010, 2990) / full, 1.0, 0.01);
  EXPECT_NEAR(Rms(wave, 3010, 3990) / full, 0.5, 0.01);
  EXPECT_NEAR(Rms(wave, 4010, 4990) / full, 0.5, 0.01);  // a new wave keeps the volume
}
