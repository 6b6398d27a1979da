#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "midigen/midi_writer.h"
#include "sound/sequencer.h"
#include "support/files.h"

using midigen::Track;

namespace {

// One channel message or tempo change at its absolute tick.
struct Timed {
  uint64_t tick;
  uint32_t what;  // status | data1 << 8 | data2 << 16, or 0xFF000000 | tempo
  bool operator==(const Timed&) const = default;
};

std::ostream& operator<<(std::ostream& o, const Timed& t) {
  char b[48];
  std::snprintf(b, sizeof b, "{%llu, %08x}", static_cast<unsigned long long>(t.tick), t.what);
  return o << b;
}

std::vector<Timed> Flatten(const Song& song) {
  std::vector<Timed> out;
  uint64_t tick = 0;
  for (size_t i = 0; i < song.eventCount; ++i) {
    const MidiEvent& e = song.events[i];
    tick += e.delta;
    if (e.status >= 0x80 && e.status <= 0xEF) {
      out.push_back({tick, e.status | (uint32_t{e.data1} << 8) | (uint32_t{e.data2} << 16)});
    } else if (e.status == 0xFF && e.data1 == kMetaTempo && i + 2 < song.eventCount) {
      const uint32_t tempo = song.events[i + 1].Payload() | (song.events[i + 2].Payload() << 16);
      out.push_back({tick, 0xFF000000u | tempo});
      i += 2;
    }
  }
  return out;
}

bool Parse(const std::vector<uint8_t>& bytes, Song& song) {
  return ParseMidi(bytes.data(), bytes.size(), song);
}

std::vector<uint8_t> Header(uint16_t tracks, uint16_t division) {
  return {'M',
          'T',
          'h',
          'd',
          0,
          0,
          0,
          6,
          0,
          1,
          static_cast<uint8_t>(tracks >> 8),
          static_cast<uint8_t>(tracks),
          static_cast<uint8_t>(division >> 8),
          static_cast<uint8_t>(division)};
}

void AddTrack(std::vector<uint8_t>& file, const std::vector<uint8_t>& body) {
  file.insert(file.end(), {'M', 'T', 'r', 'k'});
  midigen::Put32(file, static_cast<uint32_t>(body.size()));
  file.insert(file.end(), body.begin(), body.end());
}

}  // namespace

TEST(MidiParse, TracksMergeInTimeAndTrackOrder) {
  Track a, b, c;
  a.Tempo(0, 400000);
  a.Marker(240, "verse");
  a.Marker(480, "L");
  b.Program(0, 0, 5);
  b.Note(0, 240, 0, 60, 100);
  b.Controller(240, 0, 7, 90);
  c.Program(0, 1, 6);
  c.Note(0, 480, 1, 48, 80);
  c.Sysex(120, {0x41, 0x10, 0xF7});
  Song song;
  ASSERT_TRUE(Parse(midigen::WriteSmf({a, b, c}, 96), song));
  EXPECT_EQ(song.division, 96u);
  // Several tracks on one tick take turns, one event each: b's program, c's
  // program, then b's note, c's note.
  const std::vector<Timed> want = {
      {0, 0xFF000000u | 400000}, {0, 0x05C0},     {0, 0x06C1},    {0, 0x643C90}, {0, 0x503091},
      {240, 0x403C80},           {240, 0x5A07B0}, {480, 0x403081}};
  EXPECT_EQ(Flatten(song), want);
  // Tempo as three entries, the markers' texts in one block, the loop at "L".
  EXPECT_EQ(song.events[0].status, 0xFF);
  EXPECT_EQ(song.events[0].data1, kMetaTempo);
  ASSERT_EQ(song.sysex.size(), 1u);
  EXPECT_EQ(song.sysex[0], (std::vector<uint8_t>{0xF0, 0x41, 0x10, 0xF7}));
  EXPECT_EQ(std::string(song.markerText.data(), song.markerText.size()),
            std::string("verse\0L\0", 8));
  ASSERT_GT(song.loopPosition, 0u);
  const MidiEvent& loop = song.events[song.loopPosition];
  EXPECT_EQ(loop.status, 0xFF);
  EXPECT_EQ(loop.data1, kMetaMarker);
  EXPECT_EQ(loop.MarkerOffset(), 6);
  size_t verse = 0;
  while (verse < song.eventCount && song.events[verse].status != 0xFF) ++verse;
  verse += 3;  // past the tempo's entries
  while (verse < song.eventCount && song.events[verse].status != 0xFF) ++verse;
  ASSERT_LT(verse, song.loopPosition);
  EXPECT_EQ(song.events[verse].data1, kMetaMarker);
  EXPECT_EQ(song.events[verse].MarkerOffset(), 0);
  // Counting the entries' deltas gives the song's length in ticks.
  uint64_t ticks = 0;
  for (const auto& e : song.events) ticks += e.delta;
  EXPECT_EQ(ticks, 480u);
  EXPECT_GE(song.events.capacity(), song.eventCount + 1000);
}

TEST(MidiParse, RunningStatusAndSkippedBytes) {
  auto file = Header(1, 480);
  AddTrack(file, {0x00, 0x90, 60,   100,  // note-on
                  0x10, 62,   100,        // running status
                  0x10, 0xFE,             // skipped, but its time still counts
                  0x10, 0x90, 64,   100, 0x00,
                  0xFF, 0x01, 0x02, 'h', 'i',  // text: an entry that plays nothing
                  0x00, 0xFF, 0x2F, 0x00});
  Song song;
  ASSERT_TRUE(Parse(file, song));
  EXPECT_EQ(Flatten(song), (std::vector<Timed>{{0, 0x643C90}, {16, 0x643E90}, {48, 0x644090}}));
  EXPECT_EQ(song.eventCount, 5u);  // three notes, the text, the end of track
  EXPECT_EQ(song.events[3].status, 0);

  // Channel pressure and program change carry one data byte: what follows is
  // the next delta, not a second data byte.
  auto oneByte = Header(1, 480);
  AddTrack(oneByte, {0x00, 0xD0, 0x40, 0x00, 0x90, 0x3C, 0x64, 0x00, 0xC1, 0x05, 0x00, 0x91, 0x3E,
                     0x64, 0x00, 0xDF, 0x7F, 0x20, 0x92, 0x40, 0x64, 0x00, 0xFF, 0x2F, 0x00});
  ASSERT_TRUE(Parse(oneByte, song));
  EXPECT_EQ(
      Flatten(song),
      (std::vector<Timed>{
          {0, 0x40D0}, {0, 0x643C90}, {0, 0x05C1}, {0, 0x643E91}, {0, 0x7FDF}, {32, 0x644092}}));
}

TEST(MidiParse, MalformedFilesAreRefusedOrCutWithoutReadingOutside) {
  Song song;
  EXPECT_FALSE(ParseMidi(nullptr, 0, song));
  auto file = Header(1, 480);
  EXPECT_FALSE(Parse(std::vector<uint8_t>(file.begin(), file.begin() + 10), song));
  EXPECT_FALSE(Parse(file, song));  // promises a track that is not there
  auto longChunk = file;
  AddTrack(longChunk, {0x00, 0x90, 60, 100});
  longChunk[14 + 7] = 50;  // the chunk claims 50 bytes, the file has 4
  EXPECT_FALSE(Parse(longChunk, song));
  EXPECT_FALSE(song.loaded);

  // Events cut by the end of their chunk end the track; the rest stands.
  auto cut = Header(2, 480);
  AddTrack(cut, {0x00, 0x90, 60, 100, 0x00, 0x90, 61});
  AddTrack(cut, {0x00, 0xFF, 0x51, 0x03, 0x07});  // tempo data missing
  ASSERT_TRUE(Parse(cut, song));
  EXPECT_EQ(Flatten(song), (std::vector<Timed>{{0, 0x643C90}}));

  // A data byte with no status before it: kept as an entry that plays nothing.
  auto noStatus = Header(1, 480);
  AddTrack(noStatus,
           {0x00, 60, 100, 0x00, 0xC0, 3, 0x81, 0x80, 0x80, 0x80, 0x80, 0x00, 0x80, 1, 2});
  ASSERT_TRUE(Parse(noStatus, song));
  EXPECT_EQ(song.events[0].status, 0);
  EXPECT_EQ(Flatten(song).size(), 2u);

  // A huge header length or meta length stays inside the buffer.
  auto bigHeader = Header(1, 480);
  bigHeader[4] = 0xFF;
  EXPECT_FALSE(Parse(bigHeader, song));
  auto bigMeta = Header(1, 480);
  AddTrack(bigMeta, {0x00, 0xFF, 0x06, 0x8F, 0xFF, 0xFF, 0x7F, 'L'});
  ASSERT_TRUE(Parse(bigMeta, song));
  EXPECT_EQ(song.eventCount, 0u);
}

TEST(MidiParse, MutatedFilesNeverCrash) {
  Track a, b;
  a.Tempo(0, 500000);
  a.Marker(10, "L");
  for (int i = 0; i < 30; ++i) b.Note(i * 30, 20, i % 16, 40 + i, 90);
  b.Sysex(5, {1, 2, 3, 0xF7});
  const auto good = midigen::WriteSmf({a, b}, 480);
  std::mt19937 rng(7);
  Song song;
  for (int round = 0; round < 3000; ++round) {
    auto bytes = good;
    const int edits = 1 + static_cast<int>(rng() % 6);
    for (int e = 0; e < edits; ++e) bytes[rng() % bytes.size()] = static_cast<uint8_t>(rng());
    if (rng() % 4 == 0) bytes.resize(rng() % bytes.size());
    // A copy of exactly the bytes, so that a read past the end is caught.
    std::vector<uint8_t> exact(bytes.begin(), bytes.end());
    exact.shrink_to_fit();
    if (ParseMidi(exact.data(), exact.size(), song)) {
      EXPECT_EQ(song.eventCount, song.events.size());
      EXPECT_LE(song.loopPosition, song.eventCount);
    }
  }
}

// The merged list against an independent reader: MIDI files written by
// abc2midi, read back by midicsv, merged from their absolute ticks by taking,
// at each tick, one event of every track in turn until that tick's events
// are used up, must give the same channel events and tempos.
namespace {

bool Have(const char* tool) {
  const std::string command = std::string("command -v ") + tool + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

std::vector<Timed> FromMidiCsv(const std::string& csv) {
  // Every event of the file takes its turn, including those that play
  // nothing (kept with what 0: text, end of track, ...).
  std::map<int, std::vector<Timed>> tracks;
  std::istringstream in(csv);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::stringstream fields(line);
    std::string field;
    while (std::getline(fields, field, ',')) {
      const size_t s = field.find_first_not_of(' ');
      f.push_back(s == std::string::npos ? "" : field.substr(s));
    }
    if (f.size() < 3) continue;
    const int track = std::stoi(f[0]);
    const uint64_t tick = std::stoull(f[1]);
    const std::string& type = f[2];
    if (type == "Header" || type == "Start_track" || type == "End_of_file") continue;
    auto n = [&](size_t i) { return static_cast<uint32_t>(std::stoul(f.at(i))); };
    auto channel = [&](uint32_t status, uint32_t d1, uint32_t d2) {
      return Timed{tick, (status | n(3)) | (d1 << 8) | (d2 << 16)};
    };
    Timed t{tick, 0};
    if (type == "Note_on_c")
      t = channel(0x90, n(4), n(5));
    else if (type == "Note_off_c")
      t = channel(0x80, n(4), n(5));
    else if (type == "Poly_aftertouch_c")
      t = channel(0xA0, n(4), n(5));
    else if (type == "Control_c")
      t = channel(0xB0, n(4), n(5));
    else if (type == "Program_c")
      t = channel(0xC0, n(4), 0);
    else if (type == "Channel_aftertouch_c")
      t = channel(0xD0, n(4), 0);
    else if (type == "Pitch_bend_c")
      t = channel(0xE0, n(4) & 0x7F, n(4) >> 7);
    else if (type == "Tempo")
      t = Timed{tick, 0xFF000000u | n(3)};
    tracks[track].push_back(t);
  }
  std::vector<size_t> next(tracks.size(), 0);
  std::vector<Timed> out;
  for (;;) {
    uint64_t now = UINT64_MAX;
    size_t i = 0;
    for (const auto& [number, events] : tracks) {
      if (next[i] < events.size()) now = std::min(now, events[next[i]].tick);
      ++i;
    }
    if (now == UINT64_MAX) break;
    for (bool took = true; took;) {
      took = false;
      i = 0;
      for (const auto& [number, events] : tracks) {
        if (next[i] < events.size() && events[next[i]].tick == now) {
          if (events[next[i]].what != 0) out.push_back(events[next[i]]);
          ++next[i];
          took = true;
        }
        ++i;
      }
    }
  }
  return out;
}

std::string RunCommand(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  pclose(p);
  return out;
}

constexpr const char* kTunes[] = {
    // Two voices, chords, triplets and a tempo change in the middle.
    "X:1\nT:Quillfen march\nM:4/4\nL:1/8\nQ:1/4=100\nK:G\n"
    "V:1\n%%MIDI program 40\nGABc d2 B2 | [GB]2 [Ac]2 (3Bcd e2 | [Q:1/4=140] g4 f2 e2 | d8 |\n"
    "V:2\n%%MIDI program 32\n%%MIDI control 7 90\nG,4 D,4 | E,4 C,4 | D,2 D,2 E,2 F,2 | G,8 |\n",
    // Three voices on three channels with controllers, all starting together.
    "X:2\nT:Quillfen waltz\nM:3/4\nL:1/4\nQ:3/8=60\nK:Dm\n"
    "V:1\n%%MIDI channel 1\n%%MIDI program 73\n%%MIDI control 10 30\nA2 d | f e d | ^c3 | d3 |\n"
    "V:2\n%%MIDI channel 2\n%%MIDI program 0\n%%MIDI control 10 100\n[DF]2 z | [DA] z z | [EG] z z "
    "| [DF]3 |\n"
    "V:3\n%%MIDI channel 3\n%%MIDI program 33\nD,3 | D,3 | A,,3 | D,3 |\n",
};

}  // namespace

TEST(MidiParse, MergedEventsEqualWhatMidicsvReads) {
  if (!Have("abc2midi") || !Have("midicsv")) {
    GTEST_SKIP() << "abc2midi or midicsv missing (Debian packages abcmidi and midicsv)";
  }
  const ScopedTempDir scratch("quillfen-abc-");
  const auto& dir = scratch.path();
  int n = 0;
  for (const char* tune : kTunes) {
    const auto abc = dir / ("tune" + std::to_string(++n) + ".abc");
    const auto mid = dir / ("tune" + std::to_string(n) + ".mid");
    std::ofstream(abc) << tune;
    RunCommand("abc2midi '" + abc.string() + "' -o '" + mid.string() + "' 2>&1");
    ASSERT_TRUE(std::filesystem::exists(mid)) << "abc2midi wrote no " << mid;
    const std::vector<uint8_t> bytes = ReadBytes(mid);
    Song song;
    ASSERT_TRUE(Parse(bytes, song));
    const auto want = FromMidiCsv(RunCommand("midicsv '" + mid.string() + "'"));
    ASSERT_GT(want.size(), 20u);
    EXPECT_EQ(Flatten(song), want) << "tune " << n;
  }
}
