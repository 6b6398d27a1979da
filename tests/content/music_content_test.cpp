// The demo's music and effects as a player hears them: every song a scene,
// a battle or the program names plays, every effect is there, short, heard
// and unclipped, and each looping song repeats its loop on the beat.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <sstream>

#include "platform/posix/wave_file.h"
#include "sound/music.h"
#include "support/game_fixture.h"

namespace {

using Kind = headless::HeadlessHost::SoundCall::Kind;

class DemoMusic : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    dataDir = QF_DEMO_DATA_DIR;
    MakeHost();
  }
  void TearDown() override {
    ResetSound();
    GameTest::TearDown();
  }
  // The note-ons sent so far, with their times.
  std::vector<std::pair<uint64_t, uint32_t>> NoteOns() const {
    std::vector<std::pair<uint64_t, uint32_t>> out;
    for (const auto& c : host->sound)
      if (c.kind == Kind::MidiShort && (c.message & 0xF0) == 0x90 && (c.message >> 16) > 0)
        out.push_back({c.at, c.message});
    return out;
  }
  // The names given to one command ("song" + ".mid" for ".mid name mode").
  std::set<std::string> Named(const std::string& command, const char* extension) const {
    std::set<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dataDir)) {
      if (e.path().extension() != ".scn") continue;
      std::istringstream in(ReadText(e.path()));
      for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string c, name;
        if (words >> c >> name && c == command && name != "stop") out.insert(name + extension);
      }
    }
    return out;
  }
};

}  // namespace

TEST_F(DemoMusic, EverySongTheGameNamesPlays) {
  auto songs = Named(".mid", ".mid");
  EXPECT_GE(songs.size(), 5u);
  songs.insert({"bmid\\card2.mid", "bmid\\card15.mid"});  // the two battle kinds' music
  for (const auto& name : songs) {
    host->sound.clear();
    ASSERT_EQ(PlayMusic(name.c_str(), 0), 1) << name;
    host->SleepMs(3000);
    EXPECT_GT(NoteOns().size(), 4u) << name;
  }
}

TEST_F(DemoMusic, EveryEffectIsThereShortHeardAndUnclipped) {
  auto effects = Named(".wav", ".wav");
  EXPECT_GE(effects.size(), 5u);
  effects.insert({"bwav\\Decision.wav", "bwav\\Scroll.wav", "bwav\\Sute.wav", "wv\\etc12.wav"});
  for (std::string name : effects) {
    for (char& c : name) c = c == '\\' ? '/' : c;
    SCOPED_TRACE(name);
    const auto bytes = ReadBytes(dataDir / name);
    posix::WaveData w;
    ASSERT_TRUE(posix::ParseWave(bytes, w));
    EXPECT_GE(w.LengthMs(), 50u);
    EXPECT_LE(w.LengthMs(), 2500u);
    float peak = 0;
    for (size_t f = 0; f < w.frames; ++f)
      for (int c = 0; c < w.channels; ++c) peak = std::max(peak, std::fabs(w.Sample(f, c)));
    EXPECT_GT(peak, 0.03f);  // about -30 dBFS
    EXPECT_LT(peak, 0.98f);
  }
}

// Played looping, the notes of the second round after the loop point are
// those of the first, all the same whole number of beats later; the ending
// has no loop point and stops by itself.
TEST_F(DemoMusic, EachLoopingSongRepeatsItsLoopOnTheBeatTheEndingStops) {
  for (const char* name : {"bmid\\card2.mid", "bmid\\card15.mid", "bgm\\tension.mid"}) {
    SCOPED_TRACE(name);
    host->sound.clear();
    ASSERT_EQ(PlayMusic(name, 1), 1);
    const Song& song = snd.sequencer.song;
    ASSERT_GT(song.loopPosition, 0u) << "no loop marker";
    uint64_t end = 0;
    size_t total = 0, inLoop = 0;
    uint32_t tempo = 0;
    for (size_t i = 0; i < song.eventCount; ++i) {
      const MidiEvent& e = song.events[i];
      end += e.delta;
      if (e.status == 0xFF && e.data1 == kMetaTempo && !tempo)
        tempo = song.events[i + 1].Payload() | (uint32_t{song.events[i + 2].Payload()} << 16);
      const bool on = (e.status & 0xF0) == 0x90 && e.data2 > 0;
      total += on;
      inLoop += on && i > song.loopPosition;
    }
    ASSERT_GT(inLoop, 0u);
    ASSERT_LT(inLoop, total) << "no intro before the loop";
    const double beatMs = (tempo ? tempo : kDefaultTempo) / 1000.0;
    host->SleepMs(static_cast<uint32_t>(2 * static_cast<double>(end) * beatMs / song.division) +
                  3000);
    const auto sent = NoteOns();
    ASSERT_GE(sent.size(), total + inLoop);
    const auto period = static_cast<double>(sent[total].first - sent[total - inLoop].first);
    EXPECT_NEAR(period / beatMs, std::round(period / beatMs), 2.0 / beatMs);
    for (size_t k = 0; k < inLoop; ++k) {
      EXPECT_EQ(sent[total + k].second, sent[total - inLoop + k].second) << "note " << k;
      EXPECT_NEAR(static_cast<double>(sent[total + k].first - sent[total - inLoop + k].first),
                  period, 1.0)
          << k;
    }
  }
  ASSERT_EQ(PlayMusic("bgm\\ending.mid", 0), 1);
  EXPECT_EQ(snd.sequencer.song.loopPosition, 0u);
  host->SleepMs(180000);
  EXPECT_FALSE(host->midiOpen);
}
