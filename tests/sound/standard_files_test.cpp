// Standard MIDI files as other sequencers write them: every note heard at the
// time its author hears it elsewhere, a refused file named in the log, and a
// loud song kept under full scale.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/posix/audio_mix.h"
#include "sound/sound_fixture.h"

using midigen::Track;

namespace {

// Three note-ons of channel 0 at 0, 480 and 960 ticks, what lies between
// them written by between(tick) just before the second and third.
std::vector<uint8_t> Notes(void (*between)(Track&, uint32_t)) {
  Track t;
  t.Raw(0, {0x90, 60, 100});
  between(t, 480);
  t.Raw(480, {62, 100});  // running status
  between(t, 960);
  t.Raw(960, {64, 100});
  return t.Body();
}

}  // namespace

TEST_F(SoundTest, FilesOfOtherSequencersPlayEveryNoteAtItsTime) {
  Track timed;
  timed.Tempo(0, 250000);  // a time code song keeps its own clock
  for (uint32_t tick : {0u, 1000u, 2000u}) timed.Note(tick, 10, 0, 60, 100);
  Track dropFrame;
  for (uint32_t tick : {0u, 2400u}) dropFrame.Note(tick, 10, 0, 60, 100);
  const auto metaAndSysex = Notes([](Track& t, uint32_t tick) {
    t.Raw(tick, {0xFF, 0x01, 1, 'x'});
    t.Raw(tick, {0xF0, 2, 0x7E, 0xF7});
  });
  const auto systemBytes = Notes([](Track& t, uint32_t tick) {
    for (const auto& bytes : std::vector<std::vector<uint8_t>>{
             {0xF1, 0x20}, {0xF2, 1, 2}, {0xF3, 3}, {0xF6}, {0xF8}, {0xFA}, {0xFE}})
      t.Raw(tick, bytes);
  });
  const auto plain = Notes([](Track&, uint32_t) {});
  struct Case {
    const char* kind;
    std::vector<uint8_t> file;
    std::vector<uint64_t> wantMs;
  } cases[] = {
      {"running status goes on after a meta event and a system exclusive",
       RawSmf(480, {{"MTrk", metaAndSysex}}),
       {100, 600, 1100}},
      {"system common and real-time bytes take their own lengths",
       RawSmf(480, {{"MTrk", systemBytes}}),
       {100, 600, 1100}},
      {"a chunk of another kind before the track",
       RawSmf(480, {{"Junk", {1, 2, 3}}, {"MTrk", plain}}),
       {100, 600, 1100}},
      {"a last chunk claiming a byte more than the file holds",
       RawSmf(480, {{"MTrk", plain, 1}}),
       {100, 600, 1100}},
      {"25 frames of 40 ticks: a tick a millisecond",
       RawSmf(0xE728, {{"MTrk", timed.Body()}}),
       {100, 1100, 2100}},
      {"29.97 frames of 80 ticks", RawSmf(0xE350, {{"MTrk", dropFrame.Body()}}), {100, 1101}},
  };
  for (const auto& c : cases) {
    WriteData("song.mid", std::string(c.file.begin(), c.file.end()));
    host->sound.clear();
    const uint64_t start = host->Millis();
    ASSERT_EQ(PlayMusic("song.mid", 0), 1) << c.kind;
    host->SleepMs(2500);
    std::vector<uint64_t> got;
    for (const auto& s : NoteOns()) got.push_back(s.at - start);
    EXPECT_EQ(got, c.wantMs) << c.kind;
    for (const auto& s : Shorts()) EXPECT_LT(s.Status(), 0xF0) << c.kind;
  }
  EXPECT_TRUE(host->traces.empty());
}

// A silent song says why in the log, never in a box.
TEST_F(SoundTest, ARefusedSongIsNamedWithItsReason) {
  const auto plain = Notes([](Track&, uint32_t) {});
  const std::pair<std::vector<uint8_t>, const char*> cases[] = {
      {{}, "it is empty"},
      {{'M', 'T', 'h', 'd', 0, 0}, "too short for a MIDI file"},
      {RawSmf(480, {{"MTrk", plain}}, 2), "fewer tracks than its header names"},
      {RawSmf(0xEC28, {{"MTrk", plain}}), "an unknown time code division"},
  };
  for (const auto& [file, why] : cases) {
    WriteData("bad.mid", std::string(file.begin(), file.end()));
    host->traces.clear();
    EXPECT_EQ(PlayMusic("bad.mid", 0), 0) << why;
    EXPECT_EQ(host->traces,
              std::vector<std::string>{std::string("song \"bad.mid\" not played: ") + why});
  }
  host->traces.clear();
  PlayMusic("gone.mid", 0);
  EXPECT_EQ(host->traces,
            std::vector<std::string>{"song \"gone.mid\" not played: it cannot be opened"});
  EXPECT_TRUE(host->boxes.empty());
}

// Under the ceiling the mix passes sample for sample; a louder burst is held
// under it and the level comes back once the burst is over.
TEST(Limiter, HoldsPeaksUnderFullScaleAndLeavesTheRestUntouched) {
  constexpr int kRate = 1000, kFrames = 2000;
  std::vector<float> left(kFrames), right(kFrames);
  for (int i = 0; i < kFrames; ++i) {
    const float loud = i >= 500 && i < 600 ? 2.0f : 1.0f;
    left[i] = loud * posix::kLimiterCeiling * static_cast<float>(std::sin(i * 0.3));
    right[i] = -left[i];
  }
  const auto in = left;
  posix::Limiter limiter;
  limiter.Apply(left.data(), right.data(), kFrames, kRate);
  for (int i = 0; i < 500; ++i) ASSERT_EQ(left[i], in[i]) << i;
  float peak = 0;
  for (float v : left) peak = std::max(peak, std::fabs(v));
  EXPECT_LE(peak, posix::kLimiterCeiling * 1.000001f);
  EXPECT_GT(peak, posix::kLimiterCeiling * 0.99f);
  const int back = 600 + static_cast<int>(posix::kLimiterReleaseMs);  // at a 1 ms frame
  for (int i = back; i < kFrames; ++i) ASSERT_EQ(left[i], in[i]) << i;
  EXPECT_LT(std::fabs(left[610]), std::fabs(in[610]));  // still coming back
}

// Sixteen channels of loud chords at full volume: the rendering stays under
// full scale.
TEST_F(SoundTest, ALoudSongDoesNotClip) {
  std::string problem;
  if (posix::FindSoundFont(problem).empty()) GTEST_SKIP() << "no SoundFont: " << problem;
  Track t;
  for (int ch = 0; ch < 16; ++ch) {
    t.Program(0, ch, 30 + ch);
    t.Controller(0, ch, 7, 127);
    for (int key : {36, 43, 48, 55, 60, 64}) t.Note(0, 960, ch, key + ch % 3, 127);
  }
  WriteSong("loud.mid", {t});
  ASSERT_EQ(PlayMusic("loud.mid", 0), 1);
  host->SleepMs(1500);
  std::vector<uint8_t> bytes;
  posix::WaveData wave;
  ASSERT_TRUE(Render(*host, dataDir / "run.wav", bytes, wave));
  float peak = 0;
  for (size_t f = 0; f < wave.frames; ++f)
    for (int c = 0; c < 2; ++c) peak = std::max(peak, std::fabs(wave.Sample(f, c)));
  EXPECT_GT(peak, 0.5f);
  EXPECT_LE(peak, posix::kLimiterCeiling + 1e-4f);
}
