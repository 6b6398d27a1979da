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
      if (c.kind == headless::HeadlessHost::SoundCall::Kind::MidiShort &&
          (c.message & 0xF0) == 0x90 && (c.message >> 16) > 0)
        out.emplace_back(c.at, c.message);
    return out;
  }
  // The names the scenes give one command (".mid name mode"), with the
  // extension, and those the program names itself.
  std::set<std::string> Named(const std::string& command, std::set<std::string> out) const {
    const size_t own = out.size();
    for (const auto& e : std::filesystem::directory_iterator(dataDir)) {
      std::istringstream in(e.path().extension() == ".scn" ? ReadText(e.path()) : "");
      for (std::string line, c, name; std::getline(in, line);) {
        std::istringstream words(line);
        if (words >> c >> name && c == command && name != "stop") out.insert(name + command);
      }
    }
    EXPECT_GE(out.size(), own + 5);
    return out;
  }
};

}  // namespace

TEST_F(DemoMusic, EverySongTheGameNamesPlays) {
  for (const auto& name : Named(".mid", {"bmid\\card2.mid", "bmid\\card15.mid"})) {
    host->sound.clear();
    ASSERT_EQ(PlayMusic(name.c_str(), 0), 1) << name;
    host->SleepMs(3000);
    EXPECT_GT(NoteOns().size(), 4u) << name;
  }
}

// Peaks between about -30 dBFS and full scale.
TEST_F(DemoMusic, EveryEffectIsThereShortHeardAndUnclipped) {
  for (std::string name : Named(
           ".wav", {"bwav\\Decision.wav", "bwav\\Scroll.wav", "bwav\\Sute.wav", "wv\\etc12.wav"})) {
    for (char& c : name) c = c == '\\' ? '/' : c;
    const auto bytes = ReadBytes(dataDir / name);
    posix::WaveData w;
    ASSERT_TRUE(posix::ParseWave(bytes, w)) << name;
    float peak = 0;
    for (size_t f = 0; f < w.frames; ++f)
      for (int c = 0; c < w.channels; ++c) peak = std::max(peak, std::fabs(w.Sample(f, c)));
    EXPECT_TRUE(w.LengthMs() >= 50 && w.LengthMs() <= 2500 && peak > 0.03f && peak < 0.98f)
        << name << ": " << w.LengthMs() << " ms, peak " << peak;
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
    ASSERT_TRUE(inLoop > 0 && inLoop < total) << "no intro before the loop";
    const double beatMs = (tempo ? tempo : kDefaultTempo) / 1000.0;
    host->SleepMs(static_cast<uint32_t>(2 * static_cast<double>(end) * beatMs / song.division) +
                  3000);
    const auto sent = NoteOns();
    ASSERT_GE(sent.size(), total + inLoop);
    const auto period = static_cast<double>(sent[total].first - sent[total - inLoop].first);
    EXPECT_NEAR(period / beatMs, std::round(period / beatMs), 2.0 / beatMs);
    for (size_t k = 0; k < inLoop; ++k) {
      const auto& [at, message] = sent[total + k];
      const auto& [firstAt, firstMessage] = sent[total - inLoop + k];
      EXPECT_TRUE(message == firstMessage &&
                  std::fabs(static_cast<double>(at - firstAt) - period) <= 1.0)
          << "note " << k;
    }
  }
  ASSERT_EQ(PlayMusic("bgm\\ending.mid", 0), 1);
  EXPECT_EQ(snd.sequencer.song.loopPosition, 0u);
  host->SleepMs(180000);
  EXPECT_FALSE(host->midiOpen);
}
