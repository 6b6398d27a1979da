// RIFF WAVE files as the game's effects use them: PCM, 8 or 16 bits, mono or
// stereo. Shared by the backends for a wave's length and for mixing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace posix {

struct WaveData {
  uint32_t sampleRate = 0;
  uint16_t channels = 0;
  uint16_t bits = 0;
  const uint8_t* samples = nullptr;  // into the file's bytes
  size_t frames = 0;

  uint64_t LengthMs() const {
    return sampleRate ? (uint64_t{frames} * 1000 + sampleRate - 1) / sampleRate : 0;
  }
  // Sample of frame f, channel c (0 left, 1 right; a mono file gives both)
  // as -1 .. 1.
  float Sample(size_t f, int c) const;
};

// False when the bytes are not a PCM WAVE file this code can play. The
// chunk walk never leaves the buffer; a data chunk longer than the file is
// cut to what is there.
bool ParseWave(const std::vector<uint8_t>& file, WaveData& out);

// Scales PCM samples in place to percent (clamped to 0..100) of their
// level: 16-bit signed little-endian, 8-bit unsigned around 0x80. Other
// sample sizes are left as they are.
void ScalePcm(uint8_t* samples, size_t bytes, uint16_t bits, int percent);

// For a player that cannot change the level of what it plays (PlaySound): a
// copy of the file at percent of its level that starts at frame, the frames
// before it left out or, for a loop, moved behind the rest, so the sound
// goes on from where it was. Empty when ParseWave refuses the file.
std::vector<uint8_t> WaveAtVolume(const std::vector<uint8_t>& file, int percent, size_t frame,
                                  bool loop);

// Writes 16-bit stereo PCM.
bool WriteWave16(const char* path, const std::vector<int16_t>& interleaved, uint32_t sampleRate);

}  // namespace posix
