#include "loop_song.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

namespace midigen {

namespace {

uint32_t Be32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

bool ReadVlq(const uint8_t*& p, const uint8_t* end, uint32_t& value) {
  value = 0;
  for (int n = 0; n < 4; ++n) {
    if (p >= end) return false;
    const uint8_t b = *p++;
    value = (value << 7) | (b & 0x7F);
    if (!(b & 0x80)) return true;
  }
  return false;
}

bool ReadTrack(const uint8_t* p, const uint8_t* end, Track& track) {
  uint32_t tick = 0;
  uint8_t running = 0;
  while (p < end) {
    uint32_t delta;
    if (!ReadVlq(p, end, delta) || p >= end) return false;
    tick += delta;
    uint8_t status = running;
    if (*p >= 0x80) {
      status = *p++;
      if (status < 0xF0) running = status;
    } else if (running == 0) {
      return false;
    }
    std::vector<uint8_t> bytes{status};
    if (status == 0xFF || status == 0xF0 || status == 0xF7) {
      if (status == 0xFF) {
        if (p >= end) return false;
        bytes.push_back(*p++);
      }
      uint32_t length;
      if (!ReadVlq(p, end, length) || static_cast<uint32_t>(end - p) < length) return false;
      if (status == 0xFF && bytes[1] == 0x2F) return true;  // the writer ends the track
      Track::Vlq(bytes, length);
      bytes.insert(bytes.end(), p, p + length);
      p += length;
    } else {
      const int n = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
      if (end - p < n) return false;
      bytes.insert(bytes.end(), p, p + n);
      p += n;
    }
    track.Raw(tick, std::move(bytes));
  }
  return true;
}

// True, with its text, when e is a meta event of this type.
bool MetaText(const TimedEvent& e, uint8_t type, std::string& text) {
  if (e.bytes.size() < 3 || e.bytes[0] != 0xFF || e.bytes[1] != type) return false;
  const uint8_t* p = e.bytes.data() + 2;
  const uint8_t* end = e.bytes.data() + e.bytes.size();
  uint32_t length;
  if (!ReadVlq(p, end, length) || static_cast<uint32_t>(end - p) != length) return false;
  text.assign(p, end);
  return true;
}

// A score line "%%loop-start" reaches the file as the text "%loop-start".
bool IsLine(const TimedEvent& e, const char* name) {
  std::string text;
  if (!MetaText(e, 0x01, text)) return false;
  const size_t from = text.find_first_not_of('%');
  return from != std::string::npos && text.compare(from, std::string::npos, name) == 0;
}

bool IsLoopMarker(const TimedEvent& e) {
  std::string text;
  return MetaText(e, 0x06, text) && text == "L";
}

bool IsNoteOff(const TimedEvent& e) {
  const uint8_t kind = e.bytes[0] & 0xF0;
  return kind == 0x80 || (kind == 0x90 && e.bytes.size() == 3 && e.bytes[2] == 0);
}

// What the song says about its loop before anything is changed.
struct LoopLines {
  std::vector<uint32_t> starts, ends;
  uint32_t firstNote = UINT32_MAX;
  std::vector<TimedEvent> tempos;
};

LoopLines FindLoopLines(const SmfFile& song) {
  LoopLines f;
  for (const Track& t : song.tracks) {
    for (const TimedEvent& e : t.Events()) {
      if (IsLine(e, "loop-start")) f.starts.push_back(e.tick);
      if (IsLine(e, "loop-end")) f.ends.push_back(e.tick);
      if (e.bytes.size() == 6 && e.bytes[0] == 0xFF && e.bytes[1] == 0x51) f.tempos.push_back(e);
      if ((e.bytes[0] & 0xF0) == 0x90 && !IsNoteOff(e)) f.firstNote = std::min(f.firstNote, e.tick);
    }
  }
  return f;
}

// The tempo in force at the loop's end: the last change at or before it.
uint32_t TempoAt(const std::vector<TimedEvent>& tempos, uint32_t tick) {
  uint32_t tempo = 500000, tempoTick = 0;
  for (const TimedEvent& e : tempos) {
    if (e.tick <= tick && e.tick >= tempoTick) {
      tempo = (uint32_t{e.bytes[3]} << 16) | (uint32_t{e.bytes[4]} << 8) | e.bytes[5];
      tempoTick = e.tick;
    }
  }
  return tempo == 0 ? 500000 : tempo;
}

// The track without the loop lines, cut at end, with the loop marker at
// loopStart when marked is false.
Track LoopTrack(const Track& track, bool marked, uint32_t loopStart, uint32_t end) {
  Track made;
  for (const TimedEvent& e : track.Events()) {
    if (IsLine(e, "loop-start") || IsLine(e, "loop-end") || IsLoopMarker(e)) continue;
    if (!marked && e.tick >= loopStart) {
      made.Marker(loopStart, "L");
      marked = true;
    }
    if (e.tick <= end) {
      made.Raw(e.tick, e.bytes);
    } else if (IsNoteOff(e)) {
      // A note still sounding at the new end is released there, so none
      // hangs over the loop. Notes that would begin after it are left out.
      made.Raw(end, e.bytes);
    }
  }
  if (!marked) made.Marker(loopStart, "L");
  made.EndAt(end);
  return made;
}

}  // namespace

bool ReadSmf(const std::vector<uint8_t>& bytes, SmfFile& out, std::string& error) {
  const uint8_t* data = bytes.data();
  if (bytes.size() < 14 || std::memcmp(data, "MThd", 4) != 0) {
    error = "not a Standard MIDI File";
    return false;
  }
  const uint64_t headerLength = Be32(data + 4);
  const unsigned trackCount = Be16(data + 10);
  out.division = Be16(data + 12);
  if (out.division & 0x8000) {
    error = "time in SMPTE frames is not supported, only ticks per quarter note";
    return false;
  }
  out.tracks.clear();
  uint64_t chunk = 8 + headerLength;
  for (unsigned i = 0; i < trackCount; ++i) {
    if (chunk + 8 > bytes.size() || std::memcmp(data + chunk, "MTrk", 4) != 0) {
      error = "track " + std::to_string(i + 1) + " is missing";
      return false;
    }
    const uint64_t length = Be32(data + chunk + 4);
    if (chunk + 8 + length > bytes.size()) {
      error = "track " + std::to_string(i + 1) + " runs past the end of the file";
      return false;
    }
    Track track;
    if (!ReadTrack(data + chunk + 8, data + chunk + 8 + length, track)) {
      error = "track " + std::to_string(i + 1) + " has a damaged event";
      return false;
    }
    out.tracks.push_back(std::move(track));
    chunk += 8 + length;
  }
  return true;
}

bool MakeLoop(SmfFile& song, std::string& error) {
  const LoopLines lines = FindLoopLines(song);
  if (lines.ends.size() != 1 || lines.starts.size() > 1) {
    error = lines.ends.empty() ? "the score has no %%loop-end line"
                               : "a %%loop line is played more than once (inside a repeat?)";
    return false;
  }
  const uint32_t loopEnd = lines.ends[0];
  const bool hasStart = !lines.starts.empty();
  const uint32_t loopStart = hasStart ? lines.starts[0] : 0;
  // abc2midi puts a line that follows nothing but rests at the voice's start.
  if (hasStart && loopStart <= lines.firstNote) {
    error =
        "the %%loop-start line comes before the first note: no intro plays (after rests "
        "alone, move it to a voice that plays)";
    return false;
  }
  const uint32_t tempo = TempoAt(lines.tempos, loopEnd);
  const uint64_t restart = (uint64_t{kLoopRestartMs} * song.division * 1000 + tempo / 2) / tempo;
  if (loopEnd <= loopStart || loopEnd - loopStart <= restart) {
    error = "the loop must be longer than the player's restart (" + std::to_string(kLoopRestartMs) +
            " ms) and end after it starts";
    return false;
  }
  const auto end = static_cast<uint32_t>(loopEnd - restart);
  for (size_t i = 0; i < song.tracks.size(); ++i)
    song.tracks[i] = LoopTrack(song.tracks[i], !hasStart || i != 0, loopStart, end);
  return true;
}

}  // namespace midigen
