// The MIDI file parser, the sequencer and the music and wave interface as
// the script reaches it. Playback runs on the virtual clock: the periodic
// callback runs once per virtual millisecond, so times are exact.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <tuple>

#include "script/interpreter.h"
#include "script/reader.h"
#include "sound/sound_fixture.h"
#include "streams/gplp.h"

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

// A format-1 file of one raw track body, 480 ticks a quarter note.
std::vector<uint8_t> Smf(const std::vector<uint8_t>& body) { return RawSmf(480, {{"MTrk", body}}); }

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
      {"other meta events keep their time",
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
    const auto file = Smf(c.body);
    ASSERT_TRUE(ParseMidi(file.data(), file.size(), song)) << c.rule;
    EXPECT_EQ(Flatten(song), c.want) << c.rule;
    EXPECT_EQ(song.eventCount, c.entries) << c.rule;
    EXPECT_EQ(song.division, 480u) << c.rule;
  }
}

TEST(MidiParse, TracksMergeInTimeOrderTakingTurnsOnOneTick) {
  Track a, b, c;
  a.Tempo(0, 400000);
  a.Marker(240, "L");
  a.Marker(480, "Loop");  // only exactly "L" is the loop point
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
  EXPECT_EQ(loop.data1, kMetaMarker);
  EXPECT_STREQ(song.markerText.data() + loop.MarkerOffset(), "L");
  // A track running past the end of the file, and a second one named.
  auto longChunk = Smf({0x00, 0x90, 60, 100});
  longChunk[11] = 2;
  longChunk[21] = 50;
  EXPECT_FALSE(ParseMidi(longChunk.data(), longChunk.size(), song));
  EXPECT_FALSE(song.loaded);
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
  const int controllers[] = {0, 10, 91, 93, 7}, values[] = {2, 30, 40, 50, 60};
  for (const auto& c : cases) {
    Track conductor, melody;
    if (c.marker) conductor.Marker(480, "L");
    melody.Program(0, 1, 7);
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
  ASSERT_GT(model.size(), 300u);
  EXPECT_EQ(play(false), model);
}

// Stop mutes all 16 channels, then resets and closes the device; with the
// timer on a real thread, as the desktop runs it, it first waits for a
// callback in progress.
TEST_F(SoundTest, StopWaitsForARunningCallbackThenMutesAllSixteenChannels) {
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
  const size_t before = host->sound.size();
  EXPECT_EQ(seq.Stop(), 1);
  EXPECT_FALSE(seq.inside.load());
  const int markers = seq.markers;
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(seq.markers, markers);
  ASSERT_EQ(host->sound.size(), before + 18);
  for (int ch = 0; ch < 16; ++ch)
    EXPECT_EQ(host->sound[before + ch].message, (0xB0u + ch) | (7u << 8));
  EXPECT_EQ(host->sound[before + 16].kind, Kind::MidiReset);
  EXPECT_EQ(host->sound[before + 17].kind, Kind::MidiClose);
}

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
    SCOPED_TRACE(std::string(s.command) + " " + s.rest);
    Script(s.command, s.rest);
    host->SleepMs(300);
    EXPECT_STREQ(snd.CurrentMusic, s.current);
    EXPECT_EQ(Count(Kind::MidiOpen), s.plays);
    EXPECT_EQ(snd.sequencer.loop, s.loop);
    EXPECT_EQ(host->midiOpen, s.playing);
  }
  // The loop left alone was heard without a break: ticks 0 and 480 at 100
  // and 600 ms of the first play.
  ASSERT_GE(NoteOns().size(), 2u);
  EXPECT_EQ(NoteOns()[1].at, 600u);
}

// A name that leaves the data folder is refused and told to the author; a
// refused or missing synchronous wave returns at once.
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
      {"nowhere 1\n", "nowhere.wav", 0, "", 0},
  };
  for (const auto& s : cases) {
    SCOPED_TRACE(s.rest);
    const size_t calls = host->sound.size();
    const uint64_t before = host->Millis();
    Script(".wav", s.rest);
    EXPECT_EQ(host->Millis() - before, s.waitedMs);
    EXPECT_STREQ(snd.CurrentLoopSound, s.loopSound);
    ASSERT_EQ(host->sound.size(), calls + (s.name ? 1 : 0));
    if (!s.name) continue;
    EXPECT_EQ(host->sound.back().kind, s.name[0] ? Kind::Wave : Kind::WaveStop);
    EXPECT_EQ(host->sound.back().name, s.name);
    EXPECT_EQ(host->sound.back().flags, s.flags);
  }
  const uint64_t at = host->Millis();
  Script(".wav", "se\\..\\..\\boom 1\n");  // refused: no wait either
  Script(".mid", "..\\tune 0\n");
  EXPECT_EQ(host->Millis(), at);
  size_t refused = 0;
  for (const auto& l : host->log) refused += l.find("refused file name \"") != std::string::npos;
  EXPECT_GE(refused, 2u);
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
  // Shutdown stops the music.
  ASSERT_EQ(PlayMusic("a.mid", 1), 1);
  WriteData("start.scn", "text\n");
  RunGame();
  EXPECT_FALSE(host->midiOpen);
  EXPECT_FALSE(host->PeriodicTimerActive());
}

// Stopping mutes every channel before the reset; the next song must still
// be heard although it never sets its volume, as on a device just opened,
// and the music's volume halves it alone.
TEST_F(SoundTest, EverySongIsHeardAfterAChangeAStopAndAtHalfVolume) {
  std::string problem;
  if (posix::FindSoundFont(problem).empty()) GTEST_SKIP() << "no SoundFont: " << problem;
  Track a, b;
  a.Program(0, 0, 16);
  for (int key : {48, 55}) a.Note(0, 480 * 60, 0, key, 100);  // a held organ fifth
  for (int i = 0; i < 16; ++i) b.Note(240 * i, 200, 1, 67 - i % 4, 100);
  WriteSong("a.mid", {a});
  WriteSong("b.mid", {b});
  for (const char* song : {"a", "b", "stop", "a"}) {
    MusicCommand(song, 0);
    host->SleepMs(song[0] == 's' ? 1000 : 2000);
  }
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
