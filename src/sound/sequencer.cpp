#include "sound/sequencer.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "core/mistake_log.h"
#include "platform/platform.h"
#include "streams/streams.h"

// --- MmTimer -----------------------------------------------------------------

MmTimer::~MmTimer() { KillTimer(); }

int MmTimer::StartTimer(uint32_t periodMs) {
  if (timerId_.load() != 0 && period_ == periodMs) return 1;
  KillTimer();
  if (!plat::HasHost()) return 0;
  period_ = std::max(periodMs, resolution_);
  timerId_ = plat::host().StartPeriodicTimer(period_, &MmTimer::Callback, this);
  return timerId_.load() != 0 ? 1 : 0;
}

void MmTimer::KillTimer() {
  const uint32_t id = timerId_.exchange(0);
  if (id != 0 && plat::HasHost()) plat::host().KillPeriodicTimer(id);
}

void MmTimer::Callback(uint32_t timerId, void* user) {
  auto* self = static_cast<MmTimer*>(user);
  if (timerId != self->timerId_.load()) return;
  if (self->busy_.exchange(true)) return;
  self->OnTick();
  self->busy_ = false;
}

// --- parsing -----------------------------------------------------------------

namespace {

uint32_t Be32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

struct TrackReader {
  const uint8_t* p = nullptr;
  const uint8_t* end = nullptr;
  uint8_t running = 0;

  // A variable-length quantity; false when the chunk ends inside it.
  bool ReadVlq(uint32_t& value) {
    uint64_t v = 0;
    for (;;) {
      if (p >= end) return false;
      const uint8_t b = *p++;
      v = std::min<uint64_t>((v << 7) | (b & 0x7F), 0x0FFFFFFF);
      if (!(b & 0x80)) break;
    }
    value = static_cast<uint32_t>(v);
    return true;
  }
};

struct RawEvent {
  uint8_t status = 0;
  uint8_t data1 = 0, data2 = 0;
  uint8_t metaType = 0;
  const uint8_t* data = nullptr;  // sysex and meta data
  uint32_t length = 0;
  bool stored = true;  // false for system bytes, which leave no entry
};

// Reads one event after its delta; false when the chunk ends inside it.
bool ReadEvent(TrackReader& t, RawEvent& e) {
  e = RawEvent{};
  if (t.p >= t.end) return false;
  // Only a channel message is remembered for running status: a meta event,
  // system exclusive or a system byte in between leaves the channel's status
  // in force, so the data bytes after one still continue it.
  if (*t.p >= 0x80) {
    e.status = *t.p++;
    if (e.status < 0xF0) t.running = e.status;
  } else {
    e.status = t.running;  // a data byte here repeats the remembered status
  }
  auto dataBytes = [&](int n) {
    if (t.end - t.p < n) return false;
    e.data1 = t.p[0];
    if (n == 2) e.data2 = t.p[1];
    t.p += n;
    return true;
  };
  auto block = [&]() {
    if (!t.ReadVlq(e.length)) return false;
    if (static_cast<uint64_t>(t.end - t.p) < e.length) return false;
    e.data = t.p;
    t.p += e.length;
    return true;
  };
  if (e.status > 0xF0 && e.status < 0xFF && e.status != 0xF7) {
    // System common and real-time bytes mean nothing in a file: skipped with
    // their own data bytes (song position two, time code and song select
    // one), and nothing reaches the synthesiser.
    e.stored = false;
    const int length = e.status == 0xF2 ? 2 : (e.status == 0xF1 || e.status == 0xF3 ? 1 : 0);
    if (t.end - t.p < length) return false;
    t.p += length;
    return true;
  }
  if (e.status == 0xF0 || e.status == 0xF7) return block();
  if (e.status == 0xFF) {
    if (t.p >= t.end) return false;
    e.metaType = *t.p++;
    return block();
  }
  const uint8_t kind = e.status & 0xF0;
  return dataBytes(kind == 0xC0 || kind == 0xD0 ? 1 : 2);
}

// A time code song keeps its fixed tempo: its tempo events play nothing.
bool IsTempo(const Song& song, const RawEvent& e) {
  return e.status == 0xFF && e.metaType == kMetaTempo && !song.timecode;
}

// How many list entries an event becomes.
size_t EntriesOf(const Song& song, const RawEvent& e) {
  if (!e.stored) return 0;
  if (IsTempo(song, e)) return 3;
  return 1;
}

MidiEvent Entry(uint32_t delta, uint8_t status, uint8_t data1, uint8_t data2) {
  MidiEvent m;
  m.delta = delta;
  m.status = status;
  m.data1 = data1;
  m.data2 = data2;
  return m;
}

// Appends the entries of one event; delta is the gap since the entry before.
void Append(Song& song, const RawEvent& e, uint32_t delta) {
  auto& out = song.events;
  if (e.status == 0xF0) {
    if (song.sysex.size() > 0xFFFF) {  // no index left: the message is dropped
      out.push_back(Entry(delta, 0, 0, 0));
      return;
    }
    const auto index = static_cast<uint16_t>(song.sysex.size());
    std::vector<uint8_t> message{0xF0};
    message.insert(message.end(), e.data, e.data + e.length);
    song.sysex.push_back(std::move(message));
    out.push_back(
        Entry(delta, 0xF0, static_cast<uint8_t>(index & 0xFF), static_cast<uint8_t>(index >> 8)));
    return;
  }
  if (IsTempo(song, e)) {
    uint32_t tempo = 0;
    for (uint32_t i = 0; i < e.length; ++i) tempo = (tempo << 8) | e.data[i];
    out.push_back(Entry(delta, 0xFF, kMetaTempo, 0));
    const auto byte = [tempo](int shift) { return static_cast<uint8_t>((tempo >> shift) & 0xFF); };
    out.push_back(Entry(0, 0, byte(0), byte(8)));
    out.push_back(Entry(0, 0, byte(16), byte(24)));
    return;
  }
  if (e.status == 0xFF && e.metaType == kMetaMarker) {
    const size_t offset = song.markerText.size();
    if (offset > 0xFFFF) {  // beyond a 16-bit offset: kept as an ignored entry
      out.push_back(Entry(delta, 0, 0, 0));
      return;
    }
    song.markerText.insert(song.markerText.end(), e.data, e.data + e.length);
    song.markerText.push_back('\0');
    if (e.length == 1 && e.data[0] == 'L') song.loopPosition = out.size();
    out.push_back(Entry(delta, 0xFF, kMetaMarker, static_cast<uint8_t>(offset & 0xFF)));
    out.back().spare = static_cast<uint8_t>(offset >> 8);
    return;
  }
  if (e.status == 0xFF || e.status == 0xF7) {  // other meta events keep only their time
    out.push_back(Entry(delta, 0, 0, 0));
    return;
  }
  out.push_back(Entry(delta, e.status, e.data1, e.data2));
}

// The header's division as the song's ticks; null when known, else why not.
const char* TakeDivision(uint16_t division, Song& song) {
  if (!(division & 0x8000)) {
    song.division = division;
    return nullptr;
  }
  // Time code: frames per second (the high byte, negated) times ticks per
  // frame give ticks per second, whatever the tempo events say. A fixed
  // tempo of one second per "quarter note" makes the division exactly
  // that; 29 is 30 frames a second slowed by 1000/1001.
  const int fps = 256 - (division >> 8);
  const uint32_t perFrame = division & 0xFF;
  if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || perFrame == 0)
    return "an unknown time code division";
  song.division = (fps == 29 ? 30 : fps) * perFrame;
  song.tempo = fps == 29 ? 1001000 : 1000000;
  song.timecode = true;
  return nullptr;
}

// Chunks of other kinds may stand among the tracks; only "MTrk" chunks
// are tracks. A last track cut short by the end of the file keeps what is
// there, as a track cut inside an event does.
const char* FindTracks(const uint8_t* data, size_t size, std::vector<TrackReader>& tracks) {
  const uint64_t headerLength = Be32(data + 4);
  const unsigned trackCount = Be16(data + 10);
  uint64_t chunk = 8 + headerLength;
  while (tracks.size() < trackCount) {
    if (chunk + 8 > size) return "fewer tracks than its header names";
    const uint64_t length = std::min<uint64_t>(Be32(data + chunk + 4), size - chunk - 8);
    if (std::memcmp(data + chunk, "MTrk", 4) == 0) {
      TrackReader t;
      t.p = data + chunk + 8;
      t.end = t.p + length;
      tracks.push_back(t);
    }
    chunk += 8 + length;
  }
  return nullptr;
}

// A first pass over the tracks for the sizes, so the lists are allocated once.
void ReserveFor(const std::vector<TrackReader>& tracks, Song& song) {
  size_t entries = 0, sysexCount = 0, markerBytes = 0;
  for (TrackReader t : tracks) {
    RawEvent e;
    uint32_t delta;
    while (t.ReadVlq(delta) && ReadEvent(t, e)) {
      entries += EntriesOf(song, e);
      if (e.status == 0xF0) ++sysexCount;
      if (e.status == 0xFF && e.metaType == kMetaMarker) markerBytes += e.length + 1;
    }
  }
  song.events.reserve(entries + 1000);
  song.sysex.reserve(std::min<size_t>(sysexCount, 0x10000));
  song.markerText.reserve(markerBytes);
}

// Each pass takes the smallest pending delta and then, track by track in
// order, appends at most one event of every track that is due and reads that
// track's next delta; a track whose next delta is 0 is due again in the
// following pass. Events of several tracks on one tick therefore alternate
// between the tracks. Rather than visiting every track on every pass
// (quadratic in the track count), the due tracks come off a heap ordered by
// (absolute tick, pass within that tick, track), which is the same order.
void MergeTracks(std::vector<TrackReader>& tracks, Song& song) {
  struct Due {
    uint64_t tick;   // absolute tick of the track's next event
    uint64_t round;  // the pass, counted from the first one at that tick
    uint32_t track;
    bool operator>(const Due& o) const {
      if (tick != o.tick) return tick > o.tick;
      if (round != o.round) return round > o.round;
      return track > o.track;
    }
  };
  std::vector<Due> heap;
  heap.reserve(tracks.size());
  for (uint32_t i = 0; i < tracks.size(); ++i) {
    uint32_t delta;
    if (tracks[i].ReadVlq(delta)) heap.push_back({delta, 0, i});
  }
  std::make_heap(heap.begin(), heap.end(), std::greater<>{});
  uint64_t written = 0;  // tick of the last entry (system bytes leave none)
  while (!heap.empty()) {
    std::pop_heap(heap.begin(), heap.end(), std::greater<>{});
    Due due = heap.back();
    heap.pop_back();
    TrackReader& t = tracks[due.track];
    RawEvent e;
    if (!ReadEvent(t, e)) continue;  // cut off: the track ends
    if (e.stored) {
      Append(song, e, static_cast<uint32_t>(std::min<uint64_t>(due.tick - written, UINT32_MAX)));
      written = due.tick;
    }
    uint32_t delta;
    if (!t.ReadVlq(delta)) continue;
    due.round = delta == 0 ? due.round + 1 : 0;
    due.tick += delta;
    heap.push_back(due);
    std::push_heap(heap.begin(), heap.end(), std::greater<>{});
  }
}

// Null when the song is read, otherwise why not.
const char* ParseInto(const uint8_t* data, size_t size, Song& song) {
  song.Clear();
  if (!data || size < 14) return "too short for a MIDI file";
  if (const char* why = TakeDivision(Be16(data + 12), song)) return why;
  std::vector<TrackReader> tracks;
  if (const char* why = FindTracks(data, size, tracks)) return why;
  ReserveFor(tracks, song);
  MergeTracks(tracks, song);
  song.eventCount = song.events.size();
  song.loaded = true;
  return nullptr;
}

}  // namespace

bool ParseMidi(const uint8_t* data, size_t size, Song& song, const char** why) {
  const char* refused = ParseInto(data, size, song);
  if (why) *why = refused;
  return refused == nullptr;
}

// --- playback ----------------------------------------------------------------

namespace {
uint64_t Now() { return plat::host().Millis(); }

// A silent song tells its author why, in the run's log; never a box.
int Refused(const char* name, const char* why) {
  ReportMistake(std::string("song \"") + name + "\" not played: " + why);
  return 0;
}
}  // namespace

MidiSequencer::~MidiSequencer() {
  if (plat::HasHost()) Stop();
}

void MidiSequencer::Reset() {
  if (plat::HasHost()) Stop();
  KillTimer();
  song.Clear();
  deviceOpen = false;
  loop = 0;
  stopRequested = false;
  playing = false;
  position = 0;
  ticksLeft = 0;
  totalTicks = ticksSinceTempo = 0;
  origin = elapsed = elapsedTotal = 0;
  tempo = kDefaultTempo;
  beatsPerMinute = 120;
  startDeadline = 0;
  startDelay = catchUp = lagging = false;
  sleptOver = false;
  wakeElapsed = 0;
  for (auto& c : channels) c = ChannelState{};
}

int MidiSequencer::Load(const char* name, uintptr_t resourceType) {
  Stop();
  PackedStream stream;
  stream.SetType(resourceType);
  if (!stream.Open(name, kModeBinary)) return Refused(name, "it cannot be opened");
  // The decoded member's own length when packed: the disk file's size would
  // be the packed size, and reading that much could run past the member.
  const int64_t size = stream.DataSize();
  if (size <= 0) return Refused(name, "it is empty");
  std::vector<uint8_t> buffer(static_cast<size_t>(size));
  stream.Read(buffer.data(), buffer.size());
  song.Clear();
  const char* why = nullptr;
  if (!ParseMidi(buffer.data(), buffer.size(), song, &why)) {
    song.Clear();
    return Refused(name, why);
  }
  position = 0;
  ticksLeft = 0;
  totalTicks = 0;
  return 1;
}

void MidiSequencer::ResetPlayer() {
  position = 0;
  ticksLeft = 0;
  totalTicks = 0;
  ticksSinceTempo = 0;
  elapsed = elapsedTotal = 0;
  tempo = song.tempo;  // the default, but for a time code song
  beatsPerMinute = 60000000 / tempo;
  catchUp = lagging = false;
  sleptOver = false;
  for (auto& c : channels) c = ChannelState{};
  origin = Now();
  startDeadline = origin + 50;
  startDelay = true;
}

int MidiSequencer::Play() {
  if (!song.loaded) return 0;
  Stop();
  stopRequested = false;
  ResetPlayer();
  if (!deviceOpen) deviceOpen = plat::host().MidiOpen();
  origin = Now();
  StartTimer(1);
  return 1;
}

void MidiSequencer::CloseDevice() {
  if (!deviceOpen) return;
  for (uint8_t ch = 0; ch < 16; ++ch) Send(0xB0 | ch, 7, 0);
  auto& h = plat::host();
  h.MidiReset();
  h.MidiClose();
  deviceOpen = false;
}

int MidiSequencer::Stop() {
  if (!plat::HasHost()) return 1;
  stopRequested = true;
  // A callback that is looping the song may start a new timer just as it is
  // killed; go round until none runs.
  do {
    KillTimer();
    while (playing.load()) plat::host().SleepMs(1);
  } while (TimerRunning());
  CloseDevice();
  return 1;
}

void MidiSequencer::ResendChannelState() {
  for (uint8_t ch = 0; ch < 16; ++ch) Send(0xC0 | ch, channels[ch].program, 0);
  for (uint8_t ch = 0; ch < 16; ++ch) Send(0xB0 | ch, 0, channels[ch].bank);
  for (uint8_t ch = 0; ch < 16; ++ch) Send(0xB0 | ch, 10, channels[ch].pan);
  for (uint8_t ch = 0; ch < 16; ++ch) Send(0xB0 | ch, 91, channels[ch].reverb);
  for (uint8_t ch = 0; ch < 16; ++ch) Send(0xB0 | ch, 93, channels[ch].chorus);
  for (uint8_t ch = 0; ch < 16; ++ch) Send(0xB0 | ch, 7, channels[ch].volume);
}

void MidiSequencer::Resume() {
  stopRequested = false;
  ResumeTiming();
}

void MidiSequencer::ResumeTiming() {
  if (!deviceOpen) deviceOpen = plat::host().MidiOpen();
  ResendChannelState();
  origin = Now();
  sleptOver = false;
  StartTimer(1);
}

void MidiSequencer::Send(uint8_t status, uint8_t data1, uint8_t data2) {
  if (!deviceOpen) return;
  plat::host().MidiShortMessage(uint32_t{status} | (uint32_t{data1} << 8) |
                                (uint32_t{data2} << 16));
}

void MidiSequencer::OnTick() {
  if (stopRequested) {
    KillTimer();
    return;
  }
  const uint64_t now = Now();
  if (startDelay) {
    if (static_cast<int64_t>(now - startDeadline) < 50) {
      CallAgainAt(startDeadline + 50);
      return;
    }
    startDelay = false;
    origin = now;
  }
  elapsed = now - origin;
  if (playing.exchange(true)) return;

  if (position >= song.eventCount) {
    KillTimer();
    if (!loop || song.eventCount == 0) {
      CloseDevice();  // the song is over
    } else {
      ResetPlayer();
      if (song.loopPosition) {
        // Everything before the "L" marker updates the channels unheard; the
        // marker's own tick then plays at the first tick after the restart,
        // with whatever else falls on it.
        catchUp = true;
        while (position < song.loopPosition && position < song.eventCount) {
          const uint32_t delta = song.events[position].delta;
          HandleEntry();
          totalTicks += delta;
          ++position;
        }
        ticksLeft = 0;
        catchUp = false;
      }
      if (!stopRequested) ResumeTiming();
    }
    playing = false;
    return;
  }

  CountSleptTicks();
  for (int n = 0; n < 100; ++n) {
    const uint64_t target = TargetTick(elapsed);
    if (ticksSinceTempo > target) break;
    lagging = target >= ticksSinceTempo + 100;
    ProcessTick();
    ++ticksSinceTempo;
  }
  PlanNextCall(ticksSinceTempo > TargetTick(elapsed));
  playing = false;
}

uint64_t MidiSequencer::TargetTick(uint64_t elapsedMs) const {
  return tempo ? elapsedMs * song.division * 1000 / tempo : 0;
}

// The milliseconds slept over would each have processed the ticks their
// elapsed time reached, none of them an entry's. A call later than planned
// is a late call of the 1 ms model: what it is behind, it processes itself.
void MidiSequencer::CountSleptTicks() {
  if (!sleptOver) return;
  sleptOver = false;
  const uint64_t last = std::min(elapsed, wakeElapsed);
  if (last == 0) return;
  const uint64_t done = TargetTick(last - 1) + 1;
  if (done <= ticksSinceTempo) return;
  const uint64_t skip = std::min<uint64_t>(done - ticksSinceTempo, ticksLeft);
  ticksSinceTempo += skip;
  ticksLeft -= static_cast<uint32_t>(skip);
}

// Also restarts timing after a tempo change, which resets the origin.
void MidiSequencer::PlanNextCall(bool caughtUp) {
  constexpr uint64_t kLongestSleepMs = 60000;
  // Only while every millisecond keeps up with its ticks (at most 100 a
  // millisecond) does each one process exactly the ticks it reaches, so that
  // they can be counted on waking. Otherwise, and for the end of the song,
  // which the next call handles, the timer stays at 1 ms.
  const uint64_t ticksPerMsTimesTempo = uint64_t{song.division} * 1000;
  if (position < song.eventCount && caughtUp && tempo != 0 &&
      ticksPerMsTimesTempo <= 100 * uint64_t{tempo}) {
    const uint64_t entryTick = ticksSinceTempo + ticksLeft;  // the tick that handles the next entry
    // The first millisecond whose target reaches that tick.
    uint64_t wake = ticksPerMsTimesTempo
                        ? (entryTick * tempo + ticksPerMsTimesTempo - 1) / ticksPerMsTimesTempo
                        : UINT64_MAX;
    wake = std::min(wake, elapsed + kLongestSleepMs);
    if (wake > elapsed + 1) {
      sleptOver = true;
      wakeElapsed = wake;
      CallAgainAt(origin + wake);
      return;
    }
  }
  CallAgainAt(Now() + 1);
}

void MidiSequencer::CallAgainAt(uint64_t ms) {
  if (stopRequested) return;  // Stop is ending the timer
  const uint64_t now = Now();
  const uint64_t wait = ms > now ? ms - now : 1;
  StartTimer(static_cast<uint32_t>(std::min<uint64_t>(wait, UINT32_MAX)));
}

void MidiSequencer::ProcessTick() {
  if (ticksLeft == 0) {
    while (position < song.eventCount) {
      const uint32_t delta = song.events[position].delta;
      HandleEntry();
      totalTicks += delta;
      ++position;
      if (position >= song.eventCount) break;
      ticksLeft = song.events[position].delta;
      if (ticksLeft != 0) break;
    }
  }
  if (ticksLeft) --ticksLeft;
}

void MidiSequencer::HandleEntry() {
  const MidiEvent& e = song.events[position];
  if (e.status == 0xF0) {
    const uint16_t index = e.Payload();
    if (!catchUp && deviceOpen && index < song.sysex.size()) {
      const auto& message = song.sysex[index];
      plat::host().MidiLongMessage(message.data(), message.size());
    }
    return;
  }
  if (e.status == 0xFF && e.data1 == kMetaTempo) {
    if (position + 2 >= song.eventCount) return;
    const uint32_t value =
        song.events[position + 1].Payload() | (uint32_t{song.events[position + 2].Payload()} << 16);
    position += 2;
    const uint64_t now = Now();
    elapsedTotal += now - origin;
    // A tempo of 0 would divide by zero; such an event keeps the old tempo.
    if (value != 0) tempo = value;
    beatsPerMinute = 60000000 / tempo;
    origin = now;
    elapsed = 0;
    ticksSinceTempo = 0;
    return;  // the call's end times the timer from the new origin
  }
  if (e.status == 0xFF && e.data1 == kMetaMarker) {
    const uint16_t offset = e.MarkerOffset();
    if (offset < song.markerText.size()) OnMarker(song.markerText.data() + offset);
    return;
  }
  if (e.status < 0x80 || e.status > 0xEF) return;
  ChannelState& c = channels[e.status & 0x0F];
  c.lastMessage = uint32_t{e.status} | (uint32_t{e.data1} << 8) | (uint32_t{e.data2} << 16);
  const uint8_t kind = e.status & 0xF0;
  const uint8_t value = std::min<uint8_t>(e.data2, 127);
  if (kind == 0xB0) {
    switch (e.data1) {
      case 0:
        c.bank = value;
        break;
      case 7:
        c.volume = value;
        break;
      case 10:
        c.pan = value;
        break;
      case 91:
        c.reverb = value;
        break;
      case 93:
        c.chorus = value;
        break;
      default:
        break;
    }
  } else if (kind == 0xC0) {
    c.program = std::min<uint8_t>(e.data1, 127);
  }
  if (catchUp) return;
  // Behind time, note-ons are dropped so the music catches up without a burst
  // of notes. A note-on of velocity 0 ends a note and still goes out, or the
  // notes it ends would hang.
  if (lagging && kind == 0x90 && e.data2 != 0) return;
  Send(e.status, e.data1, e.data2);
}
