// The MIDI file parser and the sequencer. Playback runs on the virtual clock:
// the periodic callback runs once per virtual millisecond, so times are exact.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <random>
#include <thread>
#include <tuple>

#include "sound/sound_fixture.h"

using midigen::Track;

namespace {

// A channel message (status | data1 << 8 | data2 << 16) or a tempo
// (0xFF000000 | tempo) at its absolute tick.
using Timed = std::pair<uint64_t, uint32_t>;

std::vector<Timed> Flatten(const Song& song) {
  std::vector<Timed> out;
  uint64_t tick = 0;
  for (size_t i = 0; i < song.eventCount; ++i) {
    const MidiEvent& e = song.events[i];
    tick += e.delta;
    if (e.status >= 0x80 && e.status <= 0xEF) {
      out.push_back({tick, e.status | (uint32_t{e.data1} << 8) | (uint32_t{e.data2} << 16)});
    } else if (e.status == 0xFF && e.data1 == kMetaTempo && i + 2 < song.eventCount) {
      out.push_back({tick, 0xFF000000u | song.events[i + 1].Payload() |
                               (uint32_t{song.events[i + 2].Payload()} << 16)});
      i += 2;
    }
  }
  return out;
}

// A format-1 file of raw track bodies.
std::vector<uint8_t> Smf(const std::vector<std::vector<uint8_t>>& bodies) {
  std::vector<uint8_t> f = {
      'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, static_cast<uint8_t>(bodies.size()), 0x01, 0xE0};
  for (const auto& b : bodies) {
    f.insert(f.end(), {'M', 'T', 'r', 'k'});
    midigen::Put32(f, static_cast<uint32_t>(b.size()));
    f.insert(f.end(), b.begin(), b.end());
  }
  return f;
}

}  // namespace

// Each kind of event with its length: what follows it must be read as the
// next delta, or every later note lands on the wrong key or tick.
TEST(MidiParse, EachEventKindTakesItsBytesAndItsEntries) {
  struct Case {
    const char* rule;
    std::vector<uint8_t> body;
    std::vector<Timed> want;
    size_t entries;
  } cases[] = {
      {"two data bytes; a data byte repeats the status",
       {0x00, 0x90, 60, 100, 0x10, 62, 100, 0x10, 0x80, 60, 0},
       {{0, 0x643C90}, {16, 0x643E90}, {32, 0x3C80}},
       3},
      {"program change and channel pressure carry one",
       {0x00, 0xC1, 5, 0x00, 0xDF, 0x7F, 0x20, 0x92, 0x40, 0x64},
       {{0, 0x05C1}, {0, 0x7FDF}, {32, 0x644092}},
       3},
      {"0xFE leaves no entry, its time counts",
       {0x10, 0xFE, 0x10, 0x90, 64, 1},
       {{32, 0x014090}},
       1},
      {"tempo: one number, three entries",
       {0x00, 0xFF, 0x51, 3, 0x03, 0xD0, 0x90, 0x60, 0x90, 60, 9},
       {{0, 0xFF000000u | 250000}, {96, 0x093C90}},
       4},
      {"other meta events keep their time and play nothing",
       {0x00, 0xFF, 0x01, 2, 'h', 'i', 0x10, 0x90, 60, 9},
       {{16, 0x093C90}},
       2},
      {"system exclusive: one entry",
       {0x00, 0xF0, 3, 0x41, 0x10, 0xF7, 0x00, 0x90, 1, 2},
       {{0, 0x020190}},
       2},
      {"an event cut by the chunk's end ends the track",
       {0x00, 0x90, 60, 100, 0x00, 0x90, 61},
       {{0, 0x643C90}},
       1},
  };
  for (const auto& c : cases) {
    Song song;
    const auto file = Smf({c.body});
    ASSERT_TRUE(ParseMidi(file.data(), file.size(), song)) << c.rule;
    EXPECT_EQ(Flatten(song), c.want) << c.rule;
    EXPECT_EQ(song.eventCount, c.entries) << c.rule;
    EXPECT_EQ(song.division, 480u) << c.rule;
  }
}

TEST(MidiParse, TracksMergeInTimeOrderTakingTurnsOnOneTick) {
  Track a, b, c;
  a.Tempo(0, 400000);
  a.Marker(240, "Loop");  // only exactly "L" is the loop point
  a.Marker(480, "L");
  b.Program(0, 0, 5);
  b.Note(0, 240, 0, 60, 100);
  c.Program(0, 1, 6);
  c.Note(0, 480, 1, 48, 80);
  c.Sysex(120, {0x41, 0x10, 0xF7});
  const auto file = midigen::WriteSmf({a, b, c}, 96);
  Song song;
  ASSERT_TRUE(ParseMidi(file.data(), file.size(), song));
  const std::vector<Timed> want = {
      {0, 0xFF000000u | 400000}, {0, 0x05C0},    {0, 0x06C1}, {0, 0x643C90}, {0, 0x503091},
      {240, 0x403C80},           {480, 0x403081}};
  EXPECT_EQ(Flatten(song), want);
  ASSERT_EQ(song.sysex.size(), 1u);
  EXPECT_EQ(song.sysex[0], (std::vector<uint8_t>{0xF0, 0x41, 0x10, 0xF7}));
  const MidiEvent& loop = song.events[song.loopPosition];
  EXPECT_EQ(loop.status, 0xFF);
  EXPECT_EQ(loop.data1, kMetaMarker);
  EXPECT_STREQ(song.markerText.data() + loop.MarkerOffset(), "L");
  EXPECT_GE(song.events.capacity(), song.eventCount + 1000);
}

TEST(MidiParse, MalformedFilesAreRefusedOrCutWithoutReadingOutside) {
  Song song;
  auto longChunk = Smf({{0x00, 0x90, 60, 100}, {0x00, 0x90, 61, 100}});
  longChunk[14 + 7] = 50;  // the first chunk runs past the second to the end
  EXPECT_FALSE(ParseMidi(longChunk.data(), longChunk.size(), song));
  EXPECT_FALSE(song.loaded);
  Track a, b;
  a.Tempo(0, 500000);
  a.Marker(10, "L");
  for (int i = 0; i < 30; ++i) b.Note(i * 30, 20, i % 16, 40 + i, 90);
  b.Sysex(5, {1, 2, 3, 0xF7});
  const auto good = midigen::WriteSmf({a, b}, 480);
  std::mt19937 rng(7);
  for (int round = 0; round < 3000; ++round) {
    auto bytes = good;
    for (int e = 1 + static_cast<int>(rng() % 6); e > 0; --e)
      bytes[rng() % bytes.size()] = static_cast<uint8_t>(rng());
    if (rng() % 4 == 0) bytes.resize(rng() % bytes.size());
    bytes.shrink_to_fit();  // a read past the end is caught under the sanitizers
    if (ParseMidi(bytes.data(), bytes.size(), song)) {
      EXPECT_EQ(song.eventCount, song.events.size());
      EXPECT_LE(song.loopPosition, song.eventCount);
    }
  }
}

// Sound starts 100 ms after the play; then a quarter note lasts the tempo's
// microseconds, from the moment a tempo event is handled.
TEST_F(SoundTest, NotesFollowTheDivisionAndEveryTempoChange) {
  struct Case {
    const char* rule;
    uint16_t division;
    std::vector<std::pair<uint32_t, uint32_t>> tempos;  // tick, µs per quarter note
    std::vector<uint32_t> ticks;
    std::vector<uint64_t> wantMs;
  } cases[] = {
      {"120 beats a minute by default", 480, {}, {0, 480, 960, 1200}, {100, 600, 1100, 1350}},
      {"another division", 96, {{0, 250000}}, {0, 96, 192, 240}, {100, 350, 600, 725}},
      {"a tempo halved in the middle",
       480,
       {{960, 250000}},
       {0, 480, 960, 1440},
       {100, 600, 1100, 1350}},
      {"a tempo change inside a rest", 480, {{240, 1000000}}, {0, 480, 720}, {100, 850, 1350}},
  };
  for (const auto& c : cases) {
    Track conductor, melody;
    for (auto [tick, tempo] : c.tempos) conductor.Tempo(tick, tempo);
    for (size_t i = 0; i < c.ticks.size(); ++i) melody.Note(c.ticks[i], 10, 0, 60 + int(i), 100);
    WriteSong("song.mid", {conductor, melody}, c.division);
    host->sound.clear();
    const uint64_t start = host->Millis();
    ASSERT_EQ(PlayMusic("song.mid", 0), 1);
    host->SleepMs(3000);
    std::vector<uint64_t> got;
    for (const auto& s : NoteOns()) got.push_back(s.at - start);
    EXPECT_EQ(got, c.wantMs) << c.rule;
    EXPECT_FALSE(host->PeriodicTimerActive()) << c.rule;
  }
}

// The end of a song: once over, the device closes; looping, it starts again
// with every channel reset and its state sent again, and with an "L" marker
// it starts at the marker, the channels caught up unheard from before it.
TEST_F(SoundTest, TheEndStopsOrLoopsFromTheStartOrTheLMarker) {
  struct Case {
    const char* rule;
    int loop;
    bool marker;
    std::vector<int> keys;  // the first seven heard
    uint8_t ch1[6];         // program, bank, pan, reverb, chorus, volume sent again
  } cases[] = {
      {"once", 0, true, {60, 62, 64}, {}},
      {"loop from the start", 1, false, {60, 62, 64, 60, 62, 64, 60}, {0, 0, 64, 0, 0, 100}},
      {"loop from the marker", 1, true, {60, 62, 64, 62, 64, 62, 64}, {7, 2, 30, 40, 50, 60}},
  };
  for (const auto& c : cases) {
    Track conductor, melody;
    if (c.marker) conductor.Marker(480, "L");
    melody.Program(0, 1, 7);
    const int controllers[] = {0, 10, 91, 93, 7}, values[] = {2, 30, 40, 50, 60};
    for (int k = 0; k < 5; ++k) melody.Controller(0, 1, controllers[k], values[k]);
    melody.Note(0, 240, 0, 60, 100);
    melody.Note(480, 240, 0, 62, 100);  // on the marker's tick: heard every round
    melody.Note(960, 240, 0, 64, 100);
    WriteSong("loop.mid", {conductor, melody});
    host->sound.clear();
    ASSERT_EQ(PlayMusic("loop.mid", c.loop), 1);
    host->SleepMs(4000);
    std::vector<int> keys;
    for (const auto& s : NoteOns()) keys.push_back(s.Data1());
    keys.resize(std::min<size_t>(keys.size(), 7));
    EXPECT_EQ(keys, c.keys) << c.rule;
    if (!c.loop) {
      EXPECT_EQ(host->sound.back().kind, Kind::MidiClose) << c.rule;
      EXPECT_FALSE(host->PeriodicTimerActive()) << c.rule;
      continue;
    }
    // The restart: the programs, then bank, pan, reverb, chorus and volume,
    // each a pass over the 16 channels; the other channels at their defaults.
    const auto all = Shorts();
    size_t at = 0;
    while (at + 1 < all.size() && !(all[at].message == 0xC0 && all[at + 1].Status() == 0xC1)) ++at;
    ASSERT_LT(at + 96, all.size()) << c.rule;
    const uint8_t defaults[] = {0, 0, 64, 0, 0, 100};
    for (int pass = 0; pass < 6; ++pass) {
      for (int ch = 0; ch < 16; ++ch) {
        const uint8_t v = ch == 1 ? c.ch1[pass] : defaults[pass];
        const uint32_t want = pass == 0 ? (0xC0u + ch) | (v << 8)
                                        : (0xB0u + ch) | (controllers[pass - 1] << 8) | (v << 16);
        EXPECT_EQ(all[at + 16 * pass + ch].message, want) << c.rule << " pass " << pass;
      }
    }
  }
}

TEST_F(SoundTest, StopMutesAllSixteenChannelsThenResetsAndCloses) {
  Track t;
  for (int i = 0; i < 20; ++i) t.Note(480 * i, 240, 0, 60, 100);
  WriteSong("long.mid", {t});
  ASSERT_EQ(PlayMusic("long.mid", 1), 1);
  host->SleepMs(700);
  const size_t before = host->sound.size();
  EXPECT_EQ(StopMusic(), 1);
  ASSERT_EQ(host->sound.size(), before + 18);
  for (int ch = 0; ch < 16; ++ch)
    EXPECT_EQ(host->sound[before + ch].message, (0xB0u + ch) | (7u << 8));
  EXPECT_EQ(host->sound[before + 16].kind, Kind::MidiReset);
  EXPECT_EQ(host->sound[before + 17].kind, Kind::MidiClose);
  host->SleepMs(2000);
  EXPECT_EQ(StopMusic(), 1);  // stopping twice is harmless
  EXPECT_EQ(host->sound.size(), before + 18);
}

// Behind by 100 ticks or more, note-ons are dropped so the music catches up
// without a burst; controllers, note-offs and velocity-0 note-ons still go.
TEST_F(SoundTest, WhileBehindOnlyNoteOnsAreDropped) {
  Track t;
  constexpr int kSteps = 120;  // a step every 10 ticks, about 10 ms; key = step
  for (int i = 0; i < kSteps; ++i) {
    t.Controller(i * 10, 0, 11, i);
    t.NoteOn(i * 10, 0, i, 90);
    t.NoteOff(i * 10 + 5, 0, i);
    t.NoteOn(i * 10 + 5, 1, 90, 0);
  }
  t.Sysex(1190, {0x7E, 0x7F, 0x09, 0x01, 0xF7});
  WriteSong("busy.mid", {t});
  ASSERT_EQ(PlayMusic("busy.mid", 0), 1);
  host->SleepMs(600);
  const int firstMissing = static_cast<int>(NoteOns().size());
  host->StallPeriodicTimer(160);  // about 154 ticks pass unplayed
  host->SleepMs(3000);
  size_t controllers = 0, offs = 0, zeroOns = 0;
  std::vector<bool> heard(kSteps, false);
  for (const auto& s : Shorts()) {
    controllers += s.Status() == 0xB0 && s.Data1() == 11 && s.Data2() == controllers;
    offs += s.Status() == 0x80;
    zeroOns += s.Status() == 0x91 && s.Data2() == 0;
    if (s.Status() == 0x90 && s.Data2() > 0) heard[s.Data1()] = true;
  }
  EXPECT_EQ(controllers, size_t{kSteps});
  EXPECT_EQ(offs, size_t{kSteps});
  EXPECT_EQ(zeroOns, size_t{kSteps});
  int missing = 0;
  while (firstMissing + missing < kSteps && !heard[firstMissing + missing]) ++missing;
  EXPECT_GE(missing, 4);  // the 54 ticks past the first 100 behind: about 5 steps
  EXPECT_LE(missing, 6);
  for (int i = firstMissing + missing; i < kSteps; ++i) EXPECT_TRUE(heard[i]) << i;
  ASSERT_EQ(Count(Kind::MidiLong), 1u);
  for (const auto& c : host->sound) {
    if (c.kind == Kind::MidiLong) {
      EXPECT_EQ(c.data, (std::vector<uint8_t>{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
    }
  }
}

namespace {

// The plain 1 ms model: the music timer is called every millisecond,
// whatever period the sequencer asks for.
class EveryMsHost : public headless::HeadlessHost {
 public:
  using HeadlessHost::HeadlessHost;
  uint32_t StartPeriodicTimer(uint32_t, PeriodicCallback callback, void* user) override {
    return HeadlessHost::StartPeriodicTimer(1, callback, user);
  }
};

}  // namespace

// The timer sleeps through the milliseconds in which nothing is due, yet
// every message goes out when the 1 ms model sends it: across tempo changes
// (one inside a rest, one so fast the player lags), the loop to the "L"
// marker, and a new song while the timer sleeps.
TEST_F(SoundTest, ASleepingTimerSendsEveryMessageWhenTheOneMsModelDoes) {
  Track conductor, melody, bass, other;
  conductor.Tempo(0, 600000);
  conductor.Tempo(1000, 350000);
  conductor.Marker(1440, "L");
  conductor.Tempo(1920, 4000);  // 120 ticks a millisecond: more than one call handles
  conductor.Tempo(3840, 500000);
  conductor.Tempo(6000, 450000);
  for (int tick : {0, 240, 250, 700, 1000, 1440, 3840, 8640, 8700})
    melody.Note(tick, 100, 0, 60 + tick % 12, 90);
  for (int tick = 1920; tick < 3840; tick += 60) melody.Note(tick, 30, 0, 72, 80);
  for (int tick : {0, 480, 1441, 2000, 5000}) bass.Note(tick, 200, 1, 40, 90);
  for (int i = 0; i < 4; ++i) other.Note(480 * i + 7, 200, 2, 50 + i, 100);
  WriteSong("song.mid", {conductor, melody, bass});
  WriteSong("other.mid", {other});
  auto play = [&](bool everyMs) {
    ResetSound();
    headless::Options o;
    o.dataDir = dataDir.string();
    o.echo = false;
    host = everyMs ? std::unique_ptr<headless::HeadlessHost>(new EveryMsHost(o))
                   : std::make_unique<headless::HeadlessHost>(o);
    plat::SetHost(host.get());
    EXPECT_EQ(PlayMusic("song.mid", 1), 1);
    host->SleepMs(25000);
    EXPECT_EQ(PlayMusic("other.mid", 0), 1);
    host->SleepMs(3000);
    std::vector<std::tuple<int, uint64_t, uint32_t>> sent;
    for (const auto& c : host->sound) sent.emplace_back(static_cast<int>(c.kind), c.at, c.message);
    return sent;
  };
  const auto model = play(true);
  const auto sleeping = play(false);
  ASSERT_GT(model.size(), 300u);
  EXPECT_EQ(sleeping, model);
  // The fast stretch lagged in the first round: some of its 32 notes dropped.
  size_t fast = 0;
  for (const auto& [kind, at, message] : model) {
    if (message == 0xC0) break;  // the loop's restart
    fast += kind == static_cast<int>(Kind::MidiShort) && (message & 0xFFFF) == 0x4890 &&
            (message >> 16) > 0;
  }
  EXPECT_GT(fast, 0u);
  EXPECT_LT(fast, 32u);
}

// With the timer on a real thread, as the desktop runs it, Stop waits for a
// callback in progress before it touches the device.
TEST_F(SoundTest, StopWaitsForARunningCallbackOnTheTimerThread) {
  struct Slow : MidiSequencer {
    std::atomic<bool> inside{false};
    std::atomic<int> markers{0};
    void OnMarker(const char*) override {
      inside = true;
      ++markers;
      std::this_thread::sleep_for(std::chrono::milliseconds(40));
      inside = false;
    }
  };
  Track t;
  for (int i = 0; i < 200; ++i) t.Marker(i * 10, "m");
  WriteSong("markers.mid", {t});
  headless::Options o;
  o.dataDir = dataDir.string();
  o.echo = false;
  o.realClock = o.threadedTimer = true;
  host = std::make_unique<headless::HeadlessHost>(o);
  plat::SetHost(host.get());
  Slow seq;
  ASSERT_EQ(seq.Load("markers.mid", 0), 1);
  ASSERT_EQ(seq.Play(), 1);
  for (int i = 0; i < 5000 && !seq.inside; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(seq.inside.load()) << "the song never reached a marker";
  EXPECT_EQ(seq.Stop(), 1);
  EXPECT_FALSE(seq.inside.load());
  const int markers = seq.markers;
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(seq.markers, markers);
  EXPECT_EQ(host->sound.back().kind, Kind::MidiClose);
}
