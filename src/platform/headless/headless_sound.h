// The headless backend's sound as it records it, and the offline rendering of
// a whole run's record into a WAV file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/posix/fs_routing.h"

namespace headless {

// A MIDI, wave or volume call with the virtual time it was made at.
struct SoundCall {
  enum class Kind {
    MidiOpen,
    MidiShort,
    MidiLong,
    MidiReset,
    MidiClose,
    Wave,
    WaveStop,
    Volume
  } kind;
  uint64_t at = 0;
  uint32_t message = 0;       // MidiShort
  std::vector<uint8_t> data;  // MidiLong
  std::string name;           // Wave (Shift-JIS)
  uint32_t flags = 0;         // Wave
  // Volume: the percentages in effect from then on, clamped as the
  // player hears them.
  int music = 100, effects = 100;
};

// Plays the calls through the synthesiser and the wave voice as they came,
// until a tail after the last of them or nowMs, whichever is later, and
// writes the 16-bit stereo result to path. Waves are read from files. Without
// a synthesiser the music is left out (told on stderr). False when the file
// cannot be written.
bool RenderSound(const std::vector<SoundCall>& calls, uint64_t nowMs, const posix::GameFiles& files,
                 const std::string& path);

}  // namespace headless
