// The demo's music and effects as the build made them, read and played by
// the game's own stream, parser and sequencer: the looping songs carry one
// loop marker after their intro and repeat on the beat, the packed song is
// found under the name the scenario gives, the effects are there and sound.
// Also the loop step of midigen, which the build runs on the scores.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <utility>

#include "loop_song.h"
#include "platform/posix/wave_file.h"
#include "sound/music.h"
#include "streams/streams.h"
#include "support/game_fixture.h"

namespace {

using Kind = headless::HeadlessHost::SoundCall::Kind;

// The songs the game loops, by the names it asks for them.
const char* const kLoopingSongs[] = {"bmid\\card2.mid", "bmid\\card15.mid", "bgm\\tension.mid"};

struct Marker {
  size_t index;
  uint64_t tick;
};

struct SongFacts {
  Song song;
  std::vector<Marker> loopMarkers;
  uint64_t endTick = 0;
  uint32_t tempo = kDefaultTempo;  // the first one the song sets
  std::vector<size_t> noteOns;     // entries that sound a note
  int notesLeftSounding = 0;       // at the song's end
};

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

  // Reads a song as the sequencer does: through a packed stream.
  static SongFacts Read(const char* name) {
    SongFacts f;
    PackedStream stream;
    EXPECT_EQ(stream.Open(name, kModeBinary), 1) << name;
    std::vector<uint8_t> bytes(static_cast<size_t>(std::max<int64_t>(stream.DataSize(), 0)));
    stream.Read(bytes.data(), bytes.size());
    EXPECT_TRUE(ParseMidi(bytes.data(), bytes.size(), f.song)) << name;
    std::map<std::pair<int, int>, int> sounding;
    bool tempoSeen = false;
    const auto& ev = f.song.events;
    for (size_t i = 0; i < f.song.eventCount; ++i) {
      const MidiEvent& e = ev[i];
      f.endTick += e.delta;
      if (e.status == 0xFF && e.data1 == kMetaMarker &&
          std::string(f.song.markerText.data() + e.MarkerOffset()) == "L")
        f.loopMarkers.push_back({i, f.endTick});
      if (e.status == 0xFF && e.data1 == kMetaTempo && !tempoSeen && i + 2 < f.song.eventCount) {
        f.tempo = ev[i + 1].Payload() | (uint32_t{ev[i + 2].Payload()} << 16);
        tempoSeen = true;
      }
      const int kind = e.status & 0xF0;
      if (kind == 0x90 && e.data2 > 0) {
        f.noteOns.push_back(i);
        ++sounding[{e.status & 0x0F, e.data1}];
      } else if (kind == 0x80 || kind == 0x90) {
        auto& n = sounding[{e.status & 0x0F, e.data1}];
        if (n > 0) --n;
      }
    }
    for (const auto& [key, n] : sounding) f.notesLeftSounding += n;
    return f;
  }

  // The messages of the note-ons sent so far, with their times.
  std::vector<std::pair<uint64_t, uint32_t>> SentNoteOns() const {
    std::vector<std::pair<uint64_t, uint32_t>> out;
    for (const auto& c : host->sound) {
      if (c.kind == Kind::MidiShort && (c.message & 0xF0) == 0x90 && (c.message >> 16) > 0)
        out.push_back({c.at, c.message});
    }
    return out;
  }
};

TEST_F(DemoMusic, EachLoopingSongHasOneLoopMarkerAfterItsIntro) {
  for (const char* name : kLoopingSongs) {
    SCOPED_TRACE(name);
    const SongFacts f = Read(name);
    ASSERT_EQ(f.loopMarkers.size(), 1u);
    const Marker& m = f.loopMarkers[0];
    EXPECT_EQ(f.song.loopPosition, m.index);
    ASSERT_FALSE(f.noteOns.empty());
    EXPECT_LT(f.noteOns[0], m.index) << "no intro plays before the loop";
    EXPECT_GT(m.tick, 0u);
    EXPECT_LT(m.tick, f.endTick);
    // A note of the loop's first tick listed before the marker would be
    // passed over unheard by every repeat.
    for (size_t i : f.noteOns) {
      uint64_t tick = 0;
      for (size_t j = 0; j <= i; ++j) tick += f.song.events[j].delta;
      if (tick == m.tick) {
        EXPECT_GT(i, m.index);
      }
      if (tick >= m.tick) break;
    }
    EXPECT_EQ(f.notesLeftSounding, 0) << "notes would hang over the loop";
  }
}

// Played by the game with looping: the second time through, the loop sounds
// the same notes as the first, each a fixed time later, and that time is a
// whole number of beats, so the seam keeps the beat.
TEST_F(DemoMusic, EachLoopingSongRepeatsItsLoopOnTheBeat) {
  for (const char* name : kLoopingSongs) {
    SCOPED_TRACE(name);
    const SongFacts f = Read(name);
    ASSERT_EQ(f.loopMarkers.size(), 1u);
    size_t inLoop = 0;
    for (size_t i : f.noteOns) inLoop += i > f.loopMarkers[0].index;
    ASSERT_GT(inLoop, 0u);
    const size_t total = f.noteOns.size();

    ResetSound();
    host->sound.clear();
    ASSERT_EQ(PlayMusic(name, 1), 1);
    const double beatMs = f.tempo / 1000.0;
    const auto passMs =
        static_cast<uint32_t>(static_cast<double>(f.endTick) * beatMs / f.song.division);
    host->SleepMs(2 * passMs + 3000);
    const auto sent = SentNoteOns();
    ASSERT_GE(sent.size(), total + inLoop);

    const int64_t period =
        static_cast<int64_t>(sent[total].first) - static_cast<int64_t>(sent[total - inLoop].first);
    const double beats = static_cast<double>(period) / beatMs;
    EXPECT_NEAR(beats, std::round(beats), 2.0 / beatMs) << "loop of " << period << " ms";
    for (size_t k = 0; k < inLoop; ++k) {
      const auto& first = sent[total - inLoop + k];
      const auto& again = sent[total + k];
      ASSERT_EQ(again.second, first.second) << "note " << k << " of the loop";
      ASSERT_NEAR(static_cast<double>(again.first - first.first), static_cast<double>(period), 1.0)
          << "note " << k << " of the loop";
    }
  }
}

TEST_F(DemoMusic, TheTensionSongIsPlayedFromItsPackedFile) {
  EXPECT_FALSE(std::filesystem::exists(dataDir / "bgm" / "tension.mid"));
  PackedStream stream;
  ASSERT_EQ(stream.Open("bgm\\tension.mid", kModeBinary), 1);
  EXPECT_EQ(stream.Mode(), 1);  // decoded from the GPLP member
  EXPECT_EQ(stream.Name(), "tension.mid");
}

// The story's songs all play; the ending plays once and then stops.
TEST_F(DemoMusic, TheStorySongsPlayAndTheEndingEnds) {
  for (const char* name : {"bgm\\town.mid", "bgm\\road.mid", "bgm\\library.mid", "bgm\\shop.mid",
                           "bgm\\tension.mid", "bgm\\ending.mid"}) {
    SCOPED_TRACE(name);
    host->sound.clear();
    ASSERT_EQ(PlayMusic(name, 0), 1);
    host->SleepMs(3000);
    EXPECT_GT(SentNoteOns().size(), 4u);
  }
  const SongFacts ending = Read("bgm\\ending.mid");
  EXPECT_TRUE(ending.loopMarkers.empty());
  host->SleepMs(120000);
  EXPECT_FALSE(host->midiOpen);  // over, not looping
}

// Every effect the game or the story plays: there, short, heard, unclipped.
TEST_F(DemoMusic, TheEffectsAreShortAudibleAndUnclipped) {
  for (const char* name : {"bwav/Decision.wav", "bwav/Scroll.wav", "bwav/Sute.wav", "wv/etc12.wav",
                           "se/coin.wav", "se/door.wav", "se/fanfare.wav", "se/learn.wav"}) {
    SCOPED_TRACE(name);
    const auto bytes = ReadBytes(dataDir / name);
    posix::WaveData w;
    ASSERT_TRUE(posix::ParseWave(bytes, w));
    ASSERT_EQ(w.bits, 16);
    EXPECT_GE(w.LengthMs(), 50u);
    EXPECT_LE(w.LengthMs(), 2500u);
    int peak = 0;
    for (size_t i = 0; i < w.frames * w.channels; ++i) {
      const auto s = static_cast<int16_t>(w.samples[2 * i] | (w.samples[2 * i + 1] << 8));
      peak = std::max(peak, std::abs(static_cast<int>(s)));
    }
    EXPECT_GT(peak, 1000);   // about -30 dBFS
    EXPECT_LT(peak, 32000);  // below full scale
  }
}

// --- midigen's loop step -----------------------------------------------------

midigen::Track Text(uint32_t tick, const std::string& text, midigen::Track t = {}) {
  std::vector<uint8_t> b{0xFF, 0x01};
  midigen::Track::Vlq(b, static_cast<uint32_t>(text.size()));
  b.insert(b.end(), text.begin(), text.end());
  t.Raw(tick, b);
  return t;
}

midigen::SmfFile Loop(const std::vector<midigen::Track>& tracks, std::string& error) {
  midigen::SmfFile song;
  EXPECT_TRUE(midigen::ReadSmf(midigen::WriteSmf(tracks, 480), song, error)) << error;
  error.clear();
  midigen::MakeLoop(song, error);
  return song;
}

TEST(MidigenLoop, TheMarkerLeadsItsTickAndTheEndMakesUpForTheRestart) {
  midigen::Track conductor;
  conductor.Tempo(0, 500000);  // 480 ticks a beat: the 101 ms restart is 97 ticks
  conductor.Raw(960, {0xFF, 0x01, 0x01, 'x'});
  midigen::Track tune = Text(960, "%loop-start");
  tune = Text(2880, "%loop-end", tune);
  tune.Note(1, 479, 0, 60, 90);
  tune.Note(961, 479, 0, 62, 90);
  tune.Note(2401, 479, 0, 64, 90);  // sounds over the new end
  tune.Note(2800, 40, 0, 67, 90);   // would begin after it
  std::string error;
  const auto song = Loop({conductor, tune}, error);
  ASSERT_EQ(error, "");
  const auto bytes = midigen::WriteSmf(song.tracks, song.division);
  Song parsed;
  ASSERT_TRUE(ParseMidi(bytes.data(), bytes.size(), parsed));
  uint64_t tick = 0, end = 0;
  std::vector<std::pair<uint64_t, uint32_t>> notes;  // tick, status | key << 8
  for (size_t i = 0; i < parsed.eventCount; ++i) {
    const MidiEvent& e = parsed.events[i];
    tick += e.delta;
    end = tick;
    if (i == parsed.loopPosition) {
      EXPECT_EQ(tick, 960u);
    }
    if ((e.status & 0xE0) == 0x80) notes.push_back({tick, e.status | (e.data1 << 8)});
    if (e.status == 0xFF && e.data1 == kMetaMarker) {
      EXPECT_STREQ(parsed.markerText.data() + e.MarkerOffset(), "L");  // no directive left
    }
  }
  EXPECT_EQ(end, 2880u - 97u);
  // The marker comes first on its tick, before the conductor's own text.
  EXPECT_GT(parsed.events[parsed.loopPosition].delta, 0u);
  const std::vector<std::pair<uint64_t, uint32_t>> expected = {
      {1, 0x90 | 60 << 8},    {480, 0x80 | 60 << 8},  {961, 0x90 | 62 << 8}, {1440, 0x80 | 62 << 8},
      {2401, 0x90 | 64 << 8}, {2783, 0x80 | 67 << 8}, {2783, 0x80 | 64 << 8}};
  EXPECT_EQ(notes, expected);
}

TEST(MidigenLoop, LoopLinesMissingRepeatedOrTooCloseAreRefused) {
  midigen::Track note;
  note.Note(0, 1900, 0, 60, 90);
  std::string error;
  Loop({note}, error);
  EXPECT_NE(error.find("no %%loop-end"), std::string::npos) << error;
  // A line inside a repeat reaches the file twice.
  Loop({Text(0, "%loop-start", Text(960, "%loop-start", Text(1920, "%loop-end", note)))}, error);
  EXPECT_NE(error.find("more than once"), std::string::npos) << error;
  Loop({Text(1900, "%loop-start", Text(1920, "%loop-end", note))}, error);
  EXPECT_NE(error.find("longer than"), std::string::npos) << error;
  // A start line after rests alone: abc2midi puts it before the first note.
  midigen::Track late;
  late.Note(960, 1900, 0, 60, 90);
  Loop({Text(0, "%loop-start", Text(2880, "%loop-end", late))}, error);
  EXPECT_NE(error.find("before the first note"), std::string::npos) << error;
  // Without a start the song repeats from its beginning: no marker.
  const auto song = Loop({Text(1920, "%loop-end", note)}, error);
  EXPECT_EQ(error, "");
  const auto bytes = midigen::WriteSmf(song.tracks, song.division);
  Song parsed;
  ASSERT_TRUE(ParseMidi(bytes.data(), bytes.size(), parsed));
  EXPECT_EQ(parsed.loopPosition, 0u);
  EXPECT_TRUE(parsed.markerText.empty());
}

}  // namespace
