// The MIDI file parser, the sequencer and the music and wave interface as
// the script reaches it. Playback runs on the virtual clock: the periodic
// callback runs once per virtual millisecond, so times are exact.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>
#include <tuple>

#include "midigen/midi_writer.h"
#include "platform/posix/audio_mix.h"
#include "platform/posix/fluid_synth.h"
#include "platform/posix/wave_file.h"
#include "script/interpreter.h"
#include "script/reader.h"
#include "sound/music.h"
#include "streams/gplp.h"
#include "support/game_fixture.h"

using midigen::Track;
using Kind = headless::HeadlessHost::SoundCall::Kind;

namespace {

struct Sent {
  uint64_t at;
  uint32_t message;
  uint8_t Status() const { return message & 0xFF; }
  uint8_t Data1() const { return (message >> 8) & 0xFF; }
  uint8_t Data2() const { return (message >> 16) & 0xFF; }
};

// Root mean square of both channels between two times of a rendered file.
double Rms(const posix::WaveData& wave, uint64_t fromMs, uint64_t toMs) {
  const size_t from = static_cast<size_t>(fromMs * wave.sampleRate / 1000);
  const size_t to = std::min(wave.frames, static_cast<size_t>(toMs * wave.sampleRate / 1000));
  double energy = 0;
  for (size_t f = from; f < to; ++f)
    for (int c = 0; c < 2; ++c) energy += double{wave.Sample(f, c)} * wave.Sample(f, c);
  return to > from ? std::sqrt(energy / (2.0 * static_cast<double>(to - from))) : 0;
}

// A file of chunks as given (tag, body, and what the length field claims
// beyond the body), for files the writer would never make.
struct SmfChunk {
  const char* tag;
  std::vector<uint8_t> body;
  int extraLength = 0;
};

std::vector<uint8_t> RawSmf(uint16_t division, const std::vector<SmfChunk>& chunks,
                            uint16_t tracks = 1) {
  std::vector<uint8_t> f = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
  f.insert(f.end(), {static_cast<uint8_t>(tracks >> 8), static_cast<uint8_t>(tracks),
                     static_cast<uint8_t>(division >> 8), static_cast<uint8_t>(division)});
  for (const auto& c : chunks) {
    f.insert(f.end(), c.tag, c.tag + 4);
    midigen::Put32(f, static_cast<uint32_t>(static_cast<int>(c.body.size()) + c.extraLength));
    f.insert(f.end(), c.body.begin(), c.body.end());
  }
  return f;
}

// The entries of a song as "tick:message" (status | data1 << 8 | data2 << 16
// in hex) or "tick:T" and the tempo, then the number of entries.
std::string Flatten(const Song& song) {
  std::string out;
  uint64_t tick = 0;
  char buf[40];
  for (size_t i = 0; i < song.eventCount; ++i) {
    const MidiEvent& e = song.events[i];
    tick += e.delta;
    if (e.status >= 0x80 && e.status <= 0xEF) {
      std::snprintf(buf, sizeof buf, "%llu:%x ", static_cast<unsigned long long>(tick),
                    e.status | (unsigned{e.data1} << 8) | (unsigned{e.data2} << 16));
      out += buf;
    } else if (e.status == 0xFF && e.data1 == kMetaTempo && i + 2 < song.eventCount) {
      std::snprintf(buf, sizeof buf, "%llu:T%u ", static_cast<unsigned long long>(tick),
                    song.events[i + 1].Payload() | (unsigned{song.events[i + 2].Payload()} << 16));
      out += buf;
      i += 2;
    }
  }
  return out + "(" + std::to_string(song.eventCount) + ")";
}

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

// The plain 1 ms model: the music timer is called every millisecond,
// whatever period the sequencer asks for.
class EveryMsHost : public headless::HeadlessHost {
 public:
  using HeadlessHost::HeadlessHost;
  uint32_t StartPeriodicTimer(uint32_t, PeriodicCallback callback, void* user) override {
    return HeadlessHost::StartPeriodicTimer(1, callback, user);
  }
};

class SoundTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    MakeHost();
  }
  void TearDown() override {
    ResetSound();
    GameTest::TearDown();
  }
  template <class H = headless::HeadlessHost>
  void NewHost(bool threadedTimer = false) {
    ResetSound();
    headless::Options o;
    o.dataDir = dataDir.string();
    o.echo = false;
    o.realClock = o.threadedTimer = threadedTimer;
    host = std::make_unique<H>(o);
    plat::SetHost(host.get());
  }
  // A silent stereo wave of the given length.
  void WriteWave(const std::string& name, uint32_t ms) {
    WriteData(name, "");
    posix::WriteWave16((dataDir / name).string().c_str(), std::vector<int16_t>(ms * 44), 22000);
  }
  void WriteSong(const std::string& name, const std::vector<Track>& tracks,
                 uint16_t division = 480) {
    const auto bytes = midigen::WriteSmf(tracks, division);
    WriteData(name, std::string(bytes.begin(), bytes.end()));
  }
  std::vector<Sent> Shorts(uint64_t from = 0) const {
    std::vector<Sent> out;
    for (const auto& c : host->sound)
      if (c.kind == Kind::MidiShort && c.at >= from) out.push_back({c.at, c.message});
    return out;
  }
  // Note-ons that sound (velocity above 0).
  std::vector<Sent> NoteOns(uint64_t from = 0) const {
    std::vector<Sent> out;
    for (const auto& s : Shorts(from))
      if ((s.Status() & 0xF0) == 0x90 && s.Data2() > 0) out.push_back(s);
    return out;
  }
  size_t Count(Kind kind) const {
    return static_cast<size_t>(std::count_if(host->sound.begin(), host->sound.end(),
                                             [kind](const auto& c) { return c.kind == kind; }));
  }
  // Renders what the run played so far.
  posix::WaveData Render() {
    host->options().audioOut = (dataDir / "run.wav").string();
    std::string error;
    posix::WaveData wave;
    EXPECT_TRUE(host->FinishAudio(error)) << error;
    rendered = ReadBytes(dataDir / "run.wav");
    EXPECT_TRUE(posix::ParseWave(rendered, wave));
    return wave;
  }
  std::vector<uint8_t> rendered;  // the rendering's, which the wave points into
};

}  // namespace

// Each kind of event with its length: what follows it must be read as the
// next delta, or every later note lands on the wrong key or tick.
TEST(MidiParse, EachEventKindTakesItsBytesAndItsEntries) {
  const std::pair<std::vector<uint8_t>, const char*> cases[] = {
      // Two data bytes; a data byte repeats the status.
      {{0x00, 0x90, 60, 100, 0x10, 62, 100, 0x10, 0x80, 60, 0}, "0:643c90 16:643e90 32:3c80 (3)"},
      // Program change and channel pressure carry one.
      {{0x00, 0xC1, 5, 0x00, 0xDF, 0x7F, 0x20, 0x92, 0x40, 0x64}, "0:5c1 0:7fdf 32:644092 (3)"},
      {{0x10, 0xFE, 0x10, 0x90, 64, 1}, "32:14090 (1)"},  // 0xFE: no entry, its time counts
      {{0x00, 0xFF, 0x51, 3, 0x03, 0xD0, 0x90, 0x60, 0x90, 60, 9}, "0:T250000 96:93c90 (4)"},
      {{0x00, 0xFF, 0x01, 2, 'h', 'i', 0x10, 0x90, 60, 9}, "16:93c90 (2)"},  // other meta
      {{0x00, 0xF0, 3, 0x41, 0x10, 0xF7, 0x00, 0x90, 1, 2}, "0:20190 (2)"},  // system exclusive
      {{0x00, 0x90, 60, 100, 0x00, 0x90, 61}, "0:643c90 (1)"},  // cut by the chunk's end
  };
  for (const auto& [body, want] : cases) {
    Song song;
    const auto file = RawSmf(480, {{"MTrk", body}});
    ASSERT_TRUE(ParseMidi(file.data(), file.size(), song)) << want;
    EXPECT_EQ(Flatten(song), want);
    EXPECT_EQ(song.division, 480u) << want;
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
  EXPECT_EQ(Flatten(song), "0:T400000 0:5c0 0:6c1 0:643c90 0:503091 240:403c80 480:403081 (15)");
  ASSERT_EQ(song.sysex.size(), 1u);
  EXPECT_EQ(song.sysex[0], (std::vector<uint8_t>{0xF0, 0x41, 0x10, 0xF7}));
  const MidiEvent& loop = song.events[song.loopPosition];
  EXPECT_EQ(loop.data1, kMetaMarker);
  EXPECT_STREQ(song.markerText.data() + loop.MarkerOffset(), "L");
}

// Sound starts 100 ms after the play; then a quarter note lasts the tempo's
// microseconds from the moment a tempo event is handled, and files as other
// sequencers write them play every note at the time its author hears it.
TEST_F(SoundTest, NotesFollowTheDivisionTheTempoAndTheFile) {
  auto song = [](uint16_t division, const std::vector<std::pair<uint32_t, uint32_t>>& tempos,
                 const std::vector<uint32_t>& ticks) {
    Track conductor, melody;
    for (const auto& [tick, tempo] : tempos) conductor.Tempo(tick, tempo);
    for (size_t i = 0; i < ticks.size(); ++i) melody.Note(ticks[i], 10, 0, 60 + int(i), 100);
    return midigen::WriteSmf({conductor, melody}, division);
  };
  Track timed, dropFrame;
  timed.Tempo(0, 250000);  // a time code song keeps its own clock
  for (uint32_t tick : {0u, 1000u, 2000u}) timed.Note(tick, 10, 0, 60, 100);
  for (uint32_t tick : {0u, 2400u}) dropFrame.Note(tick, 10, 0, 60, 100);
  const auto metaAndSysex = Notes([](Track& t, uint32_t tick) {
    t.Raw(tick, {0xFF, 0x01, 1, 'x'});
    t.Raw(tick, {0xF0, 2, 0x7E, 0xF7});
  });
  const auto systemBytes = Notes([](Track& t, uint32_t tick) {
    for (const auto& b : std::vector<std::vector<uint8_t>>{
             {0xF1, 0x20}, {0xF2, 1, 2}, {0xF3, 3}, {0xF6}, {0xF8}, {0xFA}, {0xFE}})
      t.Raw(tick, b);
  });
  const auto plain = Notes([](Track&, uint32_t) {});
  const std::vector<uint64_t> steps = {100, 600, 1100};
  const std::tuple<const char*, std::vector<uint8_t>, std::vector<uint64_t>> cases[] = {
      {"120 beats a minute", song(480, {}, {0, 480, 960, 1200}), {100, 600, 1100, 1350}},
      {"another division", song(96, {{0, 250000}}, {0, 96, 192, 240}), {100, 350, 600, 725}},
      {"halved", song(480, {{960, 250000}}, {0, 480, 960, 1440}), {100, 600, 1100, 1350}},
      {"inside a rest", song(480, {{240, 1000000}}, {0, 480, 720}), {100, 850, 1350}},
      {"after meta and sysex", RawSmf(480, {{"MTrk", metaAndSysex}}), steps},
      {"system bytes", RawSmf(480, {{"MTrk", systemBytes}}), steps},
      {"another chunk first", RawSmf(480, {{"Junk", {1, 2, 3}}, {"MTrk", plain}}), steps},
      {"last chunk a byte long", RawSmf(480, {{"MTrk", plain, 1}}), steps},
      {"25 frames of 40 ticks", RawSmf(0xE728, {{"MTrk", timed.Body()}}), {100, 1100, 2100}},
      {"29.97 frames of 80", RawSmf(0xE350, {{"MTrk", dropFrame.Body()}}), {100, 1101}},
  };
  for (const auto& [rule, file, wantMs] : cases) {
    WriteData("song.mid", std::string(file.begin(), file.end()));
    host->sound.clear();
    const uint64_t start = host->Millis();
    ASSERT_EQ(PlayMusic("song.mid", 0), 1) << rule;
    host->SleepMs(3000);
    std::vector<uint64_t> got;
    for (const auto& s : NoteOns()) got.push_back(s.at - start);
    EXPECT_EQ(got, wantMs) << rule;
    for (const auto& s : Shorts()) EXPECT_LT(s.Status(), 0xF0) << rule;
    EXPECT_FALSE(host->PeriodicTimerActive()) << rule;
  }
  EXPECT_TRUE(host->traces.empty());
}

// The end of a song: once over, the device closes; looping, it starts again
// with every channel reset and its state sent again, and with an "L" marker
// it starts at the marker, the channels caught up unheard from before it.
TEST_F(SoundTest, TheEndStopsOrLoopsFromTheStartOrTheLMarker) {
  struct Case {
    int loop;
    bool marker;
    std::vector<int> keys;  // the first seven heard
    uint8_t ch1[6];         // program, bank, pan, reverb, chorus, volume sent again
  } cases[] = {
      {0, true, {60, 62, 64}, {}},
      {1, false, {60, 62, 64, 60, 62, 64, 60}, {0, 0, 64, 0, 0, 100}},
      {1, true, {60, 62, 64, 62, 64, 62, 64}, {7, 2, 30, 40, 50, 60}},
  };
  const int controllers[] = {0, 10, 91, 93, 7}, values[] = {2, 30, 40, 50, 60};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "loop " << c.loop << " marker " << c.marker);
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
    EXPECT_EQ(keys, c.keys);
    if (!c.loop) {
      EXPECT_EQ(host->sound.back().kind, Kind::MidiClose);
      EXPECT_FALSE(host->PeriodicTimerActive());
      continue;
    }
    // The restart: the programs, then bank, pan, reverb, chorus and volume,
    // each a pass over the 16 channels; the other channels at their defaults.
    const uint8_t defaults[] = {0, 0, 64, 0, 0, 100};
    std::vector<uint32_t> want, got;
    want.reserve(96);
    got.reserve(host->sound.size());
    for (uint32_t pass = 0; pass < 6; ++pass)
      for (uint32_t ch = 0; ch < 16; ++ch) {
        const uint32_t v = ch == 1 ? c.ch1[pass] : defaults[pass];
        want.push_back(pass == 0 ? (0xC0 + ch) | v << 8
                                 : (0xB0 + ch) | controllers[pass - 1] << 8 | v << 16);
      }
    for (const auto& s : Shorts()) got.push_back(s.message);
    // Channel 0 has no program change of its own: its first is the restart's.
    const auto at = std::find(got.begin(), got.end(), 0xC0u);
    ASSERT_LT(at + 96, got.end());
    EXPECT_EQ(std::vector<uint32_t>(at, at + 96), want);
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
  const size_t n = kSteps;
  EXPECT_EQ(std::tuple(controllers, offs, zeroOns), std::tuple(n, n, n));
  int missing = 0;
  while (firstMissing + missing < kSteps && !heard[firstMissing + missing]) ++missing;
  EXPECT_TRUE(missing >= 4 && missing <= 6) << missing;  // 54 ticks past the first 100 behind
  for (int i = firstMissing + missing; i < kSteps; ++i) EXPECT_TRUE(heard[i]) << i;
  std::vector<std::vector<uint8_t>> longs;
  for (const auto& c : host->sound)
    if (c.kind == Kind::MidiLong) longs.push_back(c.data);
  EXPECT_EQ(longs, (std::vector<std::vector<uint8_t>>{{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}}));
}

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
  auto play = [&]() {
    EXPECT_EQ(PlayMusic("song.mid", 1), 1);
    host->SleepMs(25000);
    EXPECT_EQ(PlayMusic("other.mid", 0), 1);
    host->SleepMs(3000);
    std::vector<std::tuple<int, uint64_t, uint32_t>> sent;
    for (const auto& c : host->sound) sent.emplace_back(static_cast<int>(c.kind), c.at, c.message);
    return sent;
  };
  NewHost<EveryMsHost>();
  const auto model = play();
  ASSERT_GT(model.size(), 300u);
  NewHost();
  EXPECT_EQ(play(), model);
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
  NewHost(true);
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
  const std::tuple<const char*, const char*, const char*> cases[] = {
      // command, rest, then the music remembered, plays, loop flag, playing
      {".mid", "bgm 0\n", "bgm.mid 1 1 1"},
      {".mid", "bgm 0\n", "bgm.mid 1 1 1"},  // already looping: left alone
      {".mid", "bgm 1\n", " 2 0 1"},         // once: restarted and forgotten
      {".mid", "bgm 7\n", " 2 0 1"},         // other modes do nothing
      {".mid", "bgm 0\n", "bgm.mid 3 1 1"},
      {".bgm", "stop\n", " 3 1 0"},
      {".bgm", "anything bgm 0\n", "bgm.mid 4 1 1"},  // only a first "stop" stops
      {".mid", "stop 0\n", " 4 1 0"},
  };
  for (const auto& [command, rest, want] : cases) {
    Script(command, rest);
    host->SleepMs(300);
    EXPECT_EQ(std::string(snd.CurrentMusic) + " " + std::to_string(Count(Kind::MidiOpen)) + " " +
                  std::to_string(snd.sequencer.loop) + " " + std::to_string(host->midiOpen),
              want)
        << command << " " << rest;
  }
  // The loop left alone was heard without a break: ticks 0 and 480 at 100
  // and 600 ms of the first play.
  ASSERT_GE(NoteOns().size(), 2u);
  EXPECT_EQ(NoteOns()[1].at, 600u);
}

// A name that leaves the data folder is refused and told to the author; a
// refused or missing synchronous wave returns at once.
TEST_F(SoundTest, WaveCommandsPlayOnceWaitOrLoop) {
  WriteWave("wv/hit.wav", 750);
  const std::pair<const char*, const char*> cases[] = {
      // the rest of the line, then the ms waited, the looping wave and what was played
      {"wv\\hit 0\n", "0 [] wv\\hit.wav 1"},
      {"wv\\hit 1\n", "750 [] wv\\hit.wav 0"},  // returns when the sound has ended
      {"wv\\hit 2\n", "0 [wv\\hit.wav] wv\\hit.wav 9"},
      {"wv\\hit 5\n", "0 [wv\\hit.wav]"},
      {"stop 0\n", "0 [] stop"},
      {"nowhere 1\n", "0 [] nowhere.wav 0"},
  };
  for (const auto& [rest, want] : cases) {
    const size_t calls = host->sound.size();
    const uint64_t before = host->Millis();
    Script(".wav", rest);
    std::string got = std::to_string(host->Millis() - before) + " [" + snd.CurrentLoopSound + "]";
    for (size_t i = calls; i < host->sound.size(); ++i) {
      const auto& c = host->sound[i];
      got += c.kind == Kind::WaveStop ? " stop"
             : c.kind == Kind::Wave   ? " " + c.name + " " + std::to_string(c.flags)
                                      : " other";
    }
    EXPECT_EQ(got, want) << rest;
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
  WriteWave("rain.wav", 300);
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

// A missing song replays the one before, a broken one leaves silence; a
// silent song says why in the log, never in a box.
TEST_F(SoundTest, AMissingSongReplaysThePreviousOneARefusedOneSaysWhy) {
  const auto plain = Notes([](Track&, uint32_t) {});
  const std::pair<std::vector<uint8_t>, const char*> refused[] = {
      {{}, "it is empty"},
      {{'M', 'T', 'h', 'd', 0, 0}, "too short for a MIDI file"},
      {RawSmf(480, {{"MTrk", plain}}, 2), "fewer tracks than its header names"},
      {RawSmf(0xEC28, {{"MTrk", plain}}), "an unknown time code division"},
  };
  for (const auto& [file, why] : refused) {
    WriteData("bad.mid", std::string(file.begin(), file.end()));
    host->traces.clear();
    EXPECT_EQ(PlayMusic("bad.mid", 0), 0) << why;
    EXPECT_EQ(host->traces,
              std::vector<std::string>{std::string("song \"bad.mid\" not played: ") + why});
  }
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
  host->traces.clear();
  EXPECT_EQ(PlayMusic("missing.mid", 1), 1);
  host->SleepMs(1000);
  EXPECT_EQ(NoteOns(again).size(), 2u);
  EXPECT_EQ(snd.sequencer.loop, 1);
  EXPECT_EQ(host->traces,
            std::vector<std::string>{"song \"missing.mid\" not played: it cannot be opened"});
  // Two tracks named, the first running past the end of the file.
  const auto broken = RawSmf(480, {{"MTrk", {0x00, 0x90, 60}, 0xF0}}, 2);
  WriteData("broken.mid", std::string(broken.begin(), broken.end()));
  EXPECT_EQ(PlayMusic("broken.mid", 1), 0);
  const uint64_t after = host->Millis();
  host->SleepMs(1000);
  EXPECT_TRUE(NoteOns(after).empty());
  EXPECT_EQ(PlayMusic("missing.mid", 1), 0);  // nothing left to replay
  EXPECT_TRUE(host->boxes.empty());
  // Shutdown stops the music.
  ASSERT_EQ(PlayMusic("a.mid", 1), 1);
  WriteData("start.scn", "text\n");
  RunGame();
  EXPECT_FALSE(host->midiOpen);
  EXPECT_FALSE(host->PeriodicTimerActive());
}

// Stopping mutes every channel before the reset; the next song must still
// be heard although it never sets its volume, as on a device just opened,
// and the music's volume halves it alone. Sixteen channels of loud chords
// at full volume stay under full scale.
TEST_F(SoundTest, EverySongIsHeardAfterAChangeAStopAtHalfVolumeAndUnclipped) {
  std::string problem;
  if (posix::FindSoundFont(problem).empty()) GTEST_SKIP() << "no SoundFont: " << problem;
  Track a, b, loud;
  a.Program(0, 0, 16);
  for (int key : {48, 55}) a.Note(0, 480 * 60, 0, key, 100);  // a held organ fifth
  for (int i = 0; i < 16; ++i) b.Note(240 * i, 200, 1, 67 - i % 4, 100);
  for (int ch = 0; ch < 16; ++ch) {
    loud.Program(0, ch, 30 + ch);
    loud.Controller(0, ch, 7, 127);
    for (int key : {36, 43, 48, 55, 60, 64}) loud.Note(0, 960, ch, key + ch % 3, 127);
  }
  WriteSong("a.mid", {a});
  WriteSong("b.mid", {b});
  WriteSong("loud.mid", {loud});
  for (const char* song : {"a", "b", "stop", "a"}) {
    MusicCommand(song, 0);
    host->SleepMs(song[0] == 's' ? 1000 : 2000);
  }
  host->SetVolumes(50, 100);
  host->SleepMs(2000);
  host->SetVolumes(100, 100);
  MusicCommand("loud", 1);
  host->SleepMs(1500);
  const posix::WaveData wave = Render();
  const double first = Rms(wave, 300, 1950), again = Rms(wave, 5300, 6950);
  EXPECT_GT(first, 0.01);
  EXPECT_GT(Rms(wave, 2200, 4000), 0.008);
  EXPECT_LT(Rms(wave, 4500, 5000), 0.001);
  EXPECT_NEAR(again / first, 1.0, 0.05);
  EXPECT_NEAR(Rms(wave, 7200, 8950) / first, 0.5, 0.025);
  float peak = 0;
  for (size_t f = 0; f < wave.frames; ++f)
    for (int c = 0; c < 2; ++c) peak = std::max(peak, std::fabs(wave.Sample(f, c)));
  EXPECT_GT(peak, 0.5f);
  EXPECT_LE(peak, posix::kLimiterCeiling + 1e-4f);
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
