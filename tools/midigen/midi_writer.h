// A small Standard MIDI File writer: tracks of timed events, written as a
// format-1 file. Used by midigen and by the tests to make songs of our own.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace midigen {

struct TimedEvent {
  uint32_t tick;
  std::vector<uint8_t> bytes;  // status (always written) and data
};

class Track {
 public:
  void Raw(uint32_t tick, std::vector<uint8_t> bytes) {
    events_.push_back({tick, std::move(bytes)});
  }
  void NoteOn(uint32_t tick, int ch, int key, int velocity) {
    Raw(tick, {Byte(0x90 | ch), Byte(key), Byte(velocity)});
  }
  void NoteOff(uint32_t tick, int ch, int key) { Raw(tick, {Byte(0x80 | ch), Byte(key), 0x40}); }
  void Note(uint32_t tick, uint32_t length, int ch, int key, int velocity) {
    NoteOn(tick, ch, key, velocity);
    NoteOff(tick + length, ch, key);
  }
  void Controller(uint32_t tick, int ch, int number, int value) {
    Raw(tick, {Byte(0xB0 | ch), Byte(number), Byte(value)});
  }
  void Program(uint32_t tick, int ch, int program) { Raw(tick, {Byte(0xC0 | ch), Byte(program)}); }
  void Tempo(uint32_t tick, uint32_t microsPerQuarter) {
    Raw(tick, {0xFF, 0x51, 0x03, Byte(microsPerQuarter >> 16), Byte(microsPerQuarter >> 8),
               Byte(microsPerQuarter)});
  }
  void Marker(uint32_t tick, const std::string& text) {
    std::vector<uint8_t> b{0xFF, 0x06};
    Vlq(b, static_cast<uint32_t>(text.size()));
    b.insert(b.end(), text.begin(), text.end());
    Raw(tick, b);
  }
  void Sysex(uint32_t tick, const std::vector<uint8_t>& data) {  // data after F0, ending F7
    std::vector<uint8_t> b{0xF0};
    Vlq(b, static_cast<uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    Raw(tick, b);
  }

  // The end-of-track goes at this tick, or at the last event if that is later.
  void EndAt(uint32_t tick) { end_ = tick; }
  const std::vector<TimedEvent>& Events() const { return events_; }

  // Chunk body: events in tick order (stable), end-of-track last.
  std::vector<uint8_t> Body() const {
    auto sorted = events_;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TimedEvent& a, const TimedEvent& b) { return a.tick < b.tick; });
    std::vector<uint8_t> out;
    uint32_t last = 0;
    for (const auto& e : sorted) {
      Vlq(out, e.tick - last);
      last = e.tick;
      out.insert(out.end(), e.bytes.begin(), e.bytes.end());
    }
    Vlq(out, end_ > last ? end_ - last : 0);
    out.insert(out.end(), {0xFF, 0x2F, 0x00});
    return out;
  }

  static void Vlq(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t tmp[5];
    int n = 0;
    tmp[n++] = v & 0x7F;
    while (v >>= 7) tmp[n++] = static_cast<uint8_t>(0x80 | (v & 0x7F));
    while (n) out.push_back(tmp[--n]);
  }
  static uint8_t Byte(uint32_t v) { return static_cast<uint8_t>(v); }

 private:
  std::vector<TimedEvent> events_;
  uint32_t end_ = 0;
};

inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline std::vector<uint8_t> WriteSmf(const std::vector<Track>& tracks, uint16_t division) {
  std::vector<uint8_t> out{'M', 'T', 'h', 'd'};
  Put32(out, 6);
  out.insert(out.end(),
             {0, 1, static_cast<uint8_t>(tracks.size() >> 8), static_cast<uint8_t>(tracks.size()),
              static_cast<uint8_t>(division >> 8), static_cast<uint8_t>(division)});
  for (const auto& t : tracks) {
    const auto body = t.Body();
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    Put32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
  }
  return out;
}

// The demo song: about eight seconds of our own tune in three tracks (a
// conductor with the tempo, a melody on a piano, a bass), looping at "L".
inline std::vector<uint8_t> DemoSong() {
  constexpr uint16_t q = 480;
  Track conductor, melody, bass;
  conductor.Tempo(0, 500000);
  conductor.Marker(q * 4, "L");
  melody.Program(0, 0, 0);
  melody.Controller(0, 0, 7, 100);
  melody.Controller(0, 0, 10, 50);
  bass.Program(0, 1, 32);
  bass.Controller(0, 1, 7, 90);
  bass.Controller(0, 1, 10, 78);
  const int tune[] = {60, 64, 67, 72, 71, 67, 64, 62, 60, 62, 64, 65, 67, 65, 64, 60};
  for (int i = 0; i < 16; ++i) melody.Note(q * i, q - 40, 0, tune[i], 96 - (i % 4) * 8);
  const int roots[] = {36, 41, 43, 36};
  for (int bar = 0; bar < 4; ++bar) {
    for (int beat = 0; beat < 4; ++beat) {
      bass.Note(q * (bar * 4 + beat), q / 2, 1, roots[bar] + (beat % 2) * 7, 90);
    }
  }
  return WriteSmf({conductor, melody, bass}, q);
}

}  // namespace midigen
