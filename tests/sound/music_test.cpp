// The music and wave interface as the script reaches it, the sound a battle
// or a loaded game puts back, and the player's volumes in the rendering.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/posix/audio_mix.h"
#include "platform/posix/fluid_synth.h"
#include "script/interpreter.h"
#include "script/reader.h"
#include "sound/sound_fixture.h"
#include "streams/gplp.h"

using midigen::Track;

namespace {

// Runs one script command on the rest of its line, as the interpreter would.
void Script(const char* name, const char* rest) {
  std::memset(scn.LineBuffer, 0, kLineSize);
  std::strncpy(scn.LineBuffer, rest, kLineSize - 1);
  const ::Command* c = FindCommand(name);
  ASSERT_NE(c, nullptr) << name;
  EXPECT_EQ(c->run(), Step::Next) << name << " " << rest;
}

Track ShortTune() {
  Track t;
  for (int i = 0; i < 4; ++i) t.Note(480 * i, 240, 0, 60 + i, 100);
  return t;
}

}  // namespace

// Each step of a script in turn: what it leaves remembered as the looping
// music, how many times the song has been (re)started and with which loop flag.
TEST_F(SoundTest, MusicCommandsLoopPlayOnceOrStop) {
  WriteSong("bgm.mid", {ShortTune()});
  struct Case {
    const char *command, *rest, *current;
    size_t plays;
    int loop;
    bool playing;
  } cases[] = {
      {".mid", "bgm 0\n", "bgm.mid", 1, 1, true},
      {".mid", "bgm 0\n", "bgm.mid", 1, 1, true},  // already looping: left alone
      {".mid", "bgm 1\n", "", 2, 0, true},         // once: restarted and forgotten
      {".mid", "bgm 7\n", "", 2, 0, true},         // other modes do nothing
      {".mid", "bgm 0\n", "bgm.mid", 3, 1, true},
      {".bgm", "stop\n", "", 3, 1, false},
      {".bgm", "anything bgm 0\n", "bgm.mid", 4, 1, true},  // only a first "stop" stops
      {".mid", "stop 0\n", "", 4, 1, false},
  };
  for (const auto& s : cases) {
    Script(s.command, s.rest);
    host->SleepMs(300);
    EXPECT_STREQ(snd.CurrentMusic, s.current) << s.command << " " << s.rest;
    EXPECT_EQ(Count(Kind::MidiOpen), s.plays) << s.command << " " << s.rest;
    EXPECT_EQ(snd.sequencer.loop, s.loop) << s.command << " " << s.rest;
    EXPECT_EQ(host->midiOpen, s.playing) << s.command << " " << s.rest;
  }
  // The loop left alone was heard without a break: ticks 0 and 480 at 100
  // and 600 ms of the first play.
  ASSERT_GE(NoteOns().size(), 2u);
  EXPECT_EQ(NoteOns()[1].at, 600u);
}

TEST_F(SoundTest, WaveCommandsPlayOnceWaitOrLoop) {
  WriteData("wv/hit.wav", SineWave(750));
  struct Case {
    const char* rest;
    const char* name;  // played; "" a stop, nullptr nothing
    uint32_t flags;
    const char* loopSound;
    uint64_t waitedMs;
  } cases[] = {
      {"wv\\hit 0\n", "wv\\hit.wav", 1, "", 0},
      {"wv\\hit 1\n", "wv\\hit.wav", 0, "", 750},  // returns when the sound has ended
      {"wv\\hit 2\n", "wv\\hit.wav", 9, "wv\\hit.wav", 0},
      {"wv\\hit 5\n", nullptr, 0, "wv\\hit.wav", 0},
      {"stop 0\n", "", 0, "", 0},
      {"nowhere 1\n", "nowhere.wav", 0, "", 0},  // missing: silent, no wait
  };
  for (const auto& s : cases) {
    const size_t calls = host->sound.size();
    const uint64_t before = host->Millis();
    Script(".wav", s.rest);
    EXPECT_EQ(host->Millis() - before, s.waitedMs) << s.rest;
    EXPECT_STREQ(snd.CurrentLoopSound, s.loopSound) << s.rest;
    ASSERT_EQ(host->sound.size(), calls + (s.name ? 1 : 0)) << s.rest;
    if (!s.name) continue;
    const auto& c = host->sound.back();
    EXPECT_EQ(c.kind, s.name[0] ? Kind::Wave : Kind::WaveStop) << s.rest;
    EXPECT_EQ(c.name, s.name) << s.rest;
    EXPECT_EQ(c.flags, s.flags) << s.rest;
  }
}

// A battle or a loaded game stops both and then puts back only what the
// script still loops: the music looping again, the wave with flags 9.
TEST_F(SoundTest, ReturningToTheScriptRestartsOnlyWhatStillLoops) {
  WriteSong("field.mid", {ShortTune()});
  WriteData("rain.wav", SineWave(300));
  Script(".mid", "field 0\n");
  Script(".wav", "rain 2\n");
  StopAllSound();
  EXPECT_FALSE(host->midiOpen);
  EXPECT_EQ(host->sound.back().kind, Kind::WaveStop);
  RestartScriptSound();
  EXPECT_TRUE(host->midiOpen);
  EXPECT_EQ(snd.sequencer.loop, 1);
  EXPECT_EQ(host->sound.back().name, "rain.wav");
  EXPECT_EQ(host->sound.back().flags, 9u);
  Script(".wav", "stop 0\n");
  Script(".mid", "field 1\n");  // once: nothing to put back either
  const size_t calls = host->sound.size();
  StopAllSound();
  RestartScriptSound();
  EXPECT_EQ(host->sound.size(), calls + 16 + 3);  // the mute, reset, close and wave stop
  EXPECT_FALSE(host->midiOpen);
}

TEST_F(SoundTest, AMissingSongReplaysThePreviousOneABrokenOneLeavesSilence) {
  WriteSong("a.mid", {ShortTune()});
  const auto packed = midigen::WriteSmf({ShortTune()}, 480);
  const auto dpa = PackGplp(packed.data(), packed.size(), "card2.mid");
  WriteData("bmid/card2.dpa", std::string(dpa.begin(), dpa.end()));
  ASSERT_EQ(PlayMusic("bmid\\card2.mid", 0), 1);  // found under its packed name
  host->SleepMs(2000);
  ASSERT_EQ(NoteOns().size(), 4u);
  ASSERT_EQ(PlayMusic("a.mid", 0), 1);
  host->SleepMs(2000);
  const uint64_t again = host->Millis();
  EXPECT_EQ(PlayMusic("missing.mid", 1), 1);
  host->SleepMs(1000);
  EXPECT_EQ(NoteOns(again).size(), 2u);
  EXPECT_EQ(snd.sequencer.loop, 1);
  // Two tracks named, the first running past the end of the file.
  WriteData("broken.mid", std::string("MThd\0\0\0\6\0\1\0\2\1\xe0MTrk\0\0\1\0", 22));
  EXPECT_EQ(PlayMusic("broken.mid", 1), 0);
  const uint64_t after = host->Millis();
  host->SleepMs(1000);
  EXPECT_TRUE(NoteOns(after).empty());
  EXPECT_EQ(PlayMusic("missing.mid", 1), 0);  // nothing left to replay
}

// A name that leaves the data folder is refused and told to the author.
TEST_F(SoundTest, SoundNamesOutsideTheDataFolderAreReported) {
  Script(".mid", "..\\tune 0\n");
  Script(".wav", "..\\boom 1\n");
  Script(".wav", "se\\..\\..\\boom 2\n");
  size_t refused = 0;
  for (const auto& l : host->log) refused += l.find("refused file name \"") != std::string::npos;
  EXPECT_GE(refused, 3u);
  EXPECT_EQ(host->Millis(), 0u);  // a refused synchronous wave returns at once
}

TEST_F(SoundTest, ShutdownStopsTheMusic) {
  WriteSong("m.mid", {ShortTune()});
  WriteData("start.scn", "text\n");
  ASSERT_EQ(PlayMusic("m.mid", 1), 1);
  RunGame();
  EXPECT_FALSE(host->midiOpen);
  EXPECT_FALSE(host->PeriodicTimerActive());
}

// The effects' volume, clamped to 0..100, scales the wave already looping
// and holds for the next; the music's volume leaves the waves alone. Needs
// no SoundFont: the waves alone, whose level is known exactly.
TEST_F(SoundTest, TheEffectsVolumeScalesTheWavesAndIsClamped) {
  WriteData("loop.wav", SineWave(500));
  PlayWave("loop.wav", plat::kWaveAsync | plat::kWaveLoop);
  const std::pair<int, int> volumes[] = {{250, -30}, {-5, 400}, {100, 50}};
  for (auto [music, effects] : volumes) {
    host->SleepMs(1000);
    host->SetVolumes(music, effects);
  }
  host->SleepMs(1000);
  PlayWave("loop.wav", plat::kWaveAsync | plat::kWaveLoop);
  host->SleepMs(1000);
  std::vector<std::pair<int, int>> set;
  for (const auto& c : host->sound)
    if (c.kind == Kind::Volume) set.push_back({c.music, c.effects});
  EXPECT_EQ(set, (std::vector<std::pair<int, int>>{{100, 0}, {0, 100}, {100, 50}}));
  std::vector<uint8_t> bytes;
  posix::WaveData wave;
  ASSERT_TRUE(Render(*host, dataDir / "run.wav", bytes, wave));
  const double full = Rms(wave, 100, 950);
  EXPECT_NEAR(full, posix::kWaveGain * 8000 / 32768 / std::sqrt(2.0), 0.01);
  EXPECT_LT(Rms(wave, 1010, 1990), 1e-4);
  const double want[] = {1.0, 0.5, 0.5};  // the loop goes on; a new wave keeps the volume
  for (int s = 0; s < 3; ++s)
    EXPECT_NEAR(Rms(wave, 2010 + 1000 * s, 2990 + 1000 * s) / full, want[s], 0.01) << s;
}

// Stopping mutes every channel before the reset; the next song must still
// be heard although it never sets its volume, as on a device just opened,
// and the music's volume halves it alone.
TEST_F(SoundTest, EverySongIsHeardAfterAChangeAStopAndAtHalfVolume) {
  if (!HaveSoundFont()) GTEST_SKIP() << "no SoundFont: the music cannot be rendered";
  Track a, b;
  a.Program(0, 0, 16);
  for (int key : {48, 55}) a.Note(0, 480 * 60, 0, key, 100);  // a held organ fifth
  for (int i = 0; i < 16; ++i) b.Note(240 * i, 200, 1, 67 - i % 4, 100);
  WriteSong("a.mid", {a});
  WriteSong("b.mid", {b});
  MusicCommand("a", 0);
  host->SleepMs(2000);
  MusicCommand("b", 0);
  host->SleepMs(2000);
  MusicCommand("stop", 0);
  host->SleepMs(1000);
  MusicCommand("a", 0);
  host->SleepMs(2000);
  host->SetVolumes(50, 100);
  host->SleepMs(2000);
  std::vector<uint8_t> bytes;
  posix::WaveData wave;
  ASSERT_TRUE(Render(*host, dataDir / "run.wav", bytes, wave));
  const double first = Rms(wave, 300, 1950), again = Rms(wave, 5300, 6950);
  EXPECT_GT(first, 0.01);
  EXPECT_GT(Rms(wave, 2200, 4000), 0.008);
  EXPECT_LT(Rms(wave, 4500, 5000), 0.001);
  EXPECT_NEAR(again / first, 1.0, 0.05);
  EXPECT_NEAR(Rms(wave, 7200, 8950) / first, 0.5, 0.025);
}
