#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/posix/audio_mix.h"
#include "platform/posix/fluid_synth.h"
#include "platform/posix/wave_file.h"
#include "script/interpreter.h"
#include "script/reader.h"
#include "sound/sound_fixture.h"
#include "support/files.h"

using midigen::Track;

namespace {

// An 8-bit wave of the given samples.
std::string Wave8(const std::vector<uint8_t>& samples, uint32_t rate = 11025) {
  return MonoWave(std::string(samples.begin(), samples.end()), 8, rate);
}

// Runs one script command, as the game registers it, on the rest of a line
// as the interpreter would hand it: 1 to go on.
int RunCommand(const char* name, const char* rest) {
  std::memset(scn.LineBuffer, 0, kLineSize);
  std::strncpy(scn.LineBuffer, rest, kLineSize - 1);
  const ::Command* c = FindCommand(name);
  return c && c->run() == Step::Next ? 1 : 0;
}

Track ShortTune() {
  Track t;
  for (int i = 0; i < 4; ++i) t.Note(480 * i, 240, 0, 60 + i, 100);
  return t;
}

}  // namespace

TEST_F(SoundTest, MusicCommandLoopsOnceAndDoesNotRestartALoop) {
  WriteSong("bgm.mid", {ShortTune()});
  EXPECT_EQ(RunCommand(".mid", "bgm 0\n"), 1);
  EXPECT_STREQ(snd.CurrentMusic, "bgm.mid");
  host->SleepMs(300);
  EXPECT_EQ(RunCommand(".mid", "bgm 0\n"), 1);  // already looping: left alone
  EXPECT_EQ(Count(Kind::MidiOpen), 1u);
  host->SleepMs(300);
  EXPECT_EQ(NoteOns().size(), 2u);  // ticks 0 and 480 at 100 and 600 ms: uninterrupted

  EXPECT_EQ(RunCommand(".mid", "bgm 1\n"), 1);  // once: restarted and forgotten
  EXPECT_EQ(snd.CurrentMusic[0], '\0');
  EXPECT_EQ(Count(Kind::MidiOpen), 2u);
  EXPECT_EQ(snd.sequencer.loop, 0);

  EXPECT_EQ(RunCommand(".mid", "bgm 7\n"), 1);  // other modes do nothing
  EXPECT_EQ(Count(Kind::MidiOpen), 2u);
  EXPECT_EQ(RunCommand(".mid", "bgm 0\n"), 1);
  EXPECT_EQ(Count(Kind::MidiOpen), 3u);
  EXPECT_EQ(RunCommand(".bgm", "stop\n"), 1);
  EXPECT_EQ(snd.CurrentMusic[0], '\0');
  EXPECT_FALSE(host->PeriodicTimerActive());
  EXPECT_EQ(RunCommand(".bgm", "anything bgm 0\n"), 1);  // the first argument only counts as "stop"
  EXPECT_STREQ(snd.CurrentMusic, "bgm.mid");
  EXPECT_EQ(RunCommand(".mid", "stop 0\n"), 1);
  EXPECT_EQ(snd.CurrentMusic[0], '\0');
  EXPECT_FALSE(host->midiOpen);
}

TEST_F(SoundTest, AMissingFileReplaysThePreviousSongAndABrokenOneLeavesSilence) {
  WriteSong("a.mid", {ShortTune()});
  ASSERT_EQ(PlayMusic("a.mid", 0), 1);
  host->SleepMs(2000);
  ASSERT_EQ(NoteOns().size(), 4u);
  const uint64_t again = host->Millis();
  EXPECT_EQ(PlayMusic("missing.mid", 1), 1);
  host->SleepMs(1000);
  EXPECT_EQ(NoteOns(again).size(), 2u);
  EXPECT_EQ(snd.sequencer.loop, 1);

  WriteData("broken.mid", std::string("MThd\0\0\0\6\0\1\0\1\1\xe0MTrk\0\0\1\0", 22));
  EXPECT_EQ(PlayMusic("broken.mid", 1), 0);
  const uint64_t after = host->Millis();
  host->SleepMs(1000);
  EXPECT_TRUE(NoteOns(after).empty());
  EXPECT_EQ(PlayMusic("missing.mid", 1), 0);  // nothing left to replay
  WriteData("empty.mid", "");
  EXPECT_EQ(PlayMusic("empty.mid", 1), 0);
}

TEST_F(SoundTest, PackedMusicIsFoundUnderItsDpaName) {
  const auto song = midigen::WriteSmf({ShortTune()}, 480);
  const auto packed = PackGplpForTest(song);
  WriteData("bmid/card2.dpa", packed);
  ASSERT_EQ(PlayMusic("bmid\\card2.mid", 0), 1);
  host->SleepMs(2000);
  EXPECT_EQ(NoteOns().size(), 4u);
}

TEST_F(SoundTest, WaveCommandModes) {
  WriteData("wv/hit.wav", SineWave(750));
  EXPECT_EQ(RunCommand(".wav", "wv\\hit 0\n"), 1);
  EXPECT_EQ(host->Millis(), 0u);  // asynchronous
  EXPECT_EQ(RunCommand(".wav", "wv\\hit 1\n"), 1);
  EXPECT_EQ(host->Millis(), 750u);  // returns when the sound has ended
  EXPECT_EQ(RunCommand(".wav", "wv\\hit 2\n"), 1);
  EXPECT_STREQ(snd.CurrentLoopSound, "wv\\hit.wav");
  EXPECT_EQ(RunCommand(".wav", "wv\\hit 5\n"), 1);  // nothing
  EXPECT_STREQ(snd.CurrentLoopSound, "wv\\hit.wav");
  EXPECT_EQ(RunCommand(".wav", "stop 0\n"), 1);
  EXPECT_EQ(snd.CurrentLoopSound[0], '\0');
  EXPECT_EQ(RunCommand(".wav", "nowhere 1\n"), 1);  // a missing wave is silent
  EXPECT_EQ(host->Millis(), 750u);

  using K = Kind;
  std::vector<std::pair<std::string, uint32_t>> waves;
  for (const auto& c : host->sound) {
    if (c.kind == K::Wave) waves.push_back({c.name, c.flags});
    if (c.kind == K::WaveStop) waves.push_back({"", 0});
  }
  const std::vector<std::pair<std::string, uint32_t>> want = {
      {"wv\\hit.wav", 1}, {"wv\\hit.wav", 0}, {"wv\\hit.wav", 9}, {"", 0}, {"nowhere.wav", 0}};
  EXPECT_EQ(waves, want);
}

// A name that leaves the data folder is refused and told to the author, for
// a wave in every mode as for music.
TEST_F(SoundTest, SoundNamesOutsideTheDataFolderAreReported) {
  auto refusals = [&](const std::string& name) {
    size_t n = 0;
    for (const auto& l : host->log)
      n += l.find("refused file name \"" + name + "\"") != std::string::npos;
    return n;
  };
  RunCommand(".mid", "..\\tune 0\n");
  EXPECT_EQ(refusals("..\\tune.mid"), 1u);
  RunCommand(".wav", "..\\boom 0\n");
  EXPECT_EQ(refusals("..\\boom.wav"), 1u);
  RunCommand(".wav", "..\\boom 1\n");
  EXPECT_EQ(refusals("..\\boom.wav"), 2u);
  RunCommand(".wav", "se\\..\\..\\boom 2\n");
  EXPECT_EQ(refusals("se\\..\\..\\boom.wav"), 1u);
  EXPECT_EQ(host->Millis(), 0u);  // a refused synchronous wave returns at once
}

TEST_F(SoundTest, ReturningToTheScriptRestartsOnlyWhatStillLoops) {
  WriteSong("field.mid", {ShortTune()});
  WriteData("rain.wav", SineWave(300));
  RunCommand(".mid", "field 0\n");
  RunCommand(".wav", "rain 2\n");
  StopAllSound();  // a battle starts
  EXPECT_FALSE(host->midiOpen);
  EXPECT_EQ(host->sound.back().kind, Kind::WaveStop);
  RestartScriptSound();  // and ends
  EXPECT_TRUE(host->midiOpen);
  EXPECT_EQ(host->sound.back().name, "rain.wav");
  EXPECT_EQ(host->sound.back().flags, 9u);

  RunCommand(".wav", "stop 0\n");  // the wave is stopped by the script
  const size_t waves = Count(Kind::Wave);
  StopAllSound();
  RestartScriptSound();
  EXPECT_EQ(Count(Kind::Wave), waves);  // no wave comes back
  EXPECT_TRUE(host->midiOpen);          // the music does
}

TEST_F(SoundTest, MusicPlaysOnDuringASynchronousWave) {
  WriteSong("m.mid", {ShortTune()});
  WriteData("long.wav", SineWave(1200));
  ASSERT_EQ(PlayMusic("m.mid", 0), 1);
  PlayWave("long.wav", plat::kWaveSync);
  EXPECT_EQ(host->Millis(), 1200u);
  EXPECT_EQ(NoteOns().size(), 3u);  // 100, 600, 1100 ms
}

TEST_F(SoundTest, ShutdownStopsTheMusic) {
  WriteSong("m.mid", {ShortTune()});
  WriteData("start.scn", "text\n");
  ASSERT_EQ(PlayMusic("m.mid", 1), 1);
  RunGame();
  EXPECT_FALSE(host->midiOpen);
  EXPECT_FALSE(host->PeriodicTimerActive());
}

// Renders the demo song and a wave offline, as --audio-out does, and keeps
// the file beside the test binary for a person to listen to.
TEST_F(SoundTest, AudioOutRendersTheRun) {
  std::string problem;
  if (posix::FindSoundFont(problem).empty()) GTEST_SKIP() << problem;
  const auto song = midigen::DemoSong();
  WriteData("demo.mid", std::string(song.begin(), song.end()));
  WriteData("ding.wav", SineWave(400));
  const std::string out = (std::filesystem::current_path() / "sound-demo.wav").string();
  host->options().audioOut = out;
  ASSERT_EQ(PlayMusic("demo.mid", 0), 1);
  host->SleepMs(2000);
  PlayWave("ding.wav", plat::kWaveAsync);
  host->SleepMs(7000);
  std::string error;
  ASSERT_TRUE(host->FinishAudio(error)) << error;

  const std::vector<uint8_t> bytes = ReadBytes(out);
  posix::WaveData wave;
  ASSERT_TRUE(posix::ParseWave(bytes, wave));
  EXPECT_EQ(wave.sampleRate, 44100u);
  EXPECT_EQ(wave.channels, 2);
  EXPECT_GE(wave.LengthMs(), 9000u);
  float peak = 0;
  double energy = 0;
  size_t clipped = 0;
  for (size_t f = 0; f < wave.frames; ++f) {
    for (int c = 0; c < 2; ++c) {
      const float s = wave.Sample(f, c);
      peak = std::max(peak, std::fabs(s));
      energy += double{s} * s;
      clipped += std::fabs(s) >= 0.999f;
    }
  }
  EXPECT_GT(std::sqrt(energy / (static_cast<double>(wave.frames) * 2.0)), 0.01);  // not silent
  EXPECT_LT(peak, 0.999f);                                                        // no clipping
  EXPECT_EQ(clipped, 0u);
}

// Stopping mutes every channel (controller 7 = 0) before the reset; the next
// song must still be heard although it never sets its volume, as on a device
// just opened.
TEST_F(SoundTest, EverySongIsHeardAfterAChangeAStopAndARestart) {
  std::string problem;
  if (posix::FindSoundFont(problem).empty()) GTEST_SKIP() << problem;
  Track a, b;
  for (int i = 0; i < 16; ++i) {
    a.Note(240 * i, 200, 0, 60 + i % 5, 100);
    b.Note(240 * i, 200, 1, 67 - i % 4, 100);
  }
  b.Program(0, 1, 48);
  WriteSong("a.mid", {a});
  WriteSong("b.mid", {b});
  MusicCommand("a", 0);
  host->SleepMs(2000);
  MusicCommand("b", 0);  // a song change
  host->SleepMs(2000);
  MusicCommand("stop", 0);
  host->SleepMs(1000);
  MusicCommand("a", 0);  // after a stop
  host->SleepMs(2000);

  std::vector<uint8_t> bytes;
  posix::WaveData wave;
  ASSERT_TRUE(Render(*host, dataDir / "run.wav", bytes, wave));
  const double first = Rms(wave, 200, 2000), changed = Rms(wave, 2200, 4000),
               stopped = Rms(wave, 4500, 5000), again = Rms(wave, 5200, 7000);
  EXPECT_GT(first, 0.008);
  EXPECT_GT(changed, 0.008);
  EXPECT_GT(again, 0.008);
  EXPECT_LT(stopped, 0.001);
  std::printf("RMS: first %.4f, after the change %.4f, stopped %.4f, after the stop %.4f\n", first,
              changed, stopped, again);
}

// 8-bit samples are unsigned: 0x80 is the middle, silence; 0x00 and 0xFF the
// extremes.
TEST_F(SoundTest, AnEightBitWaveIsUnsigned) {
  WriteData("hush.wav", Wave8(std::vector<uint8_t>(5512, 0x80)));
  std::vector<uint8_t> square;
  square.reserve(5512);
  for (int i = 0; i < 5512; ++i) square.push_back((i / 25) % 2 ? 0xFF : 0x00);
  WriteData("buzz.wav", Wave8(square));
  PlayWave("hush.wav", plat::kWaveSync);
  PlayWave("buzz.wav", plat::kWaveSync);
  ASSERT_EQ(host->Millis(), 1000u);

  std::vector<uint8_t> bytes;
  posix::WaveData wave;
  ASSERT_TRUE(Render(*host, dataDir / "waves.wav", bytes, wave));
  EXPECT_LT(Rms(wave, 0, 500), 0.001);
  const double level = Rms(wave, 520, 980);  // full scale through the effects' gain
  EXPECT_GT(level, posix::kWaveGain * 0.9);
  EXPECT_LT(level, posix::kWaveGain * 1.01);
}
