#include "platform/posix/wave_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace posix {
namespace {
uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24);
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
}  // namespace

float WaveData::Sample(size_t f, int c) const {
  if (f >= frames || !samples) return 0;
  const int ch = channels == 1 ? 0 : c;
  if (bits == 8) return (samples[f * channels + ch] - 128) / 128.0f;
  const uint8_t* p = samples + (f * channels + ch) * 2;
  return static_cast<int16_t>(Le16(p)) / 32768.0f;
}

bool ParseWave(const std::vector<uint8_t>& file, WaveData& out) {
  out = WaveData{};
  if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
      std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
    return false;
  }
  bool haveFormat = false;
  size_t at = 12;
  while (at + 8 <= file.size()) {
    const uint8_t* chunk = file.data() + at;
    const uint64_t length = Le32(chunk + 4);
    const size_t have = static_cast<size_t>(std::min<uint64_t>(length, file.size() - at - 8));
    if (std::memcmp(chunk, "fmt ", 4) == 0 && have >= 16) {
      if (Le16(chunk + 8) != 1) return false;  // PCM only
      out.channels = Le16(chunk + 10);
      out.sampleRate = Le32(chunk + 12);
      out.bits = Le16(chunk + 22);
      haveFormat = true;
    } else if (std::memcmp(chunk, "data", 4) == 0 && haveFormat) {
      if ((out.bits != 8 && out.bits != 16) || (out.channels != 1 && out.channels != 2) ||
          out.sampleRate == 0) {
        return false;
      }
      out.samples = chunk + 8;
      out.frames = have / (out.channels * out.bits / 8);
      return true;
    }
    at += 8 + static_cast<size_t>(std::min<uint64_t>(length + (length & 1), file.size()));
  }
  return false;
}

void ScalePcm(uint8_t* samples, size_t bytes, uint16_t bits, int percent) {
  percent = std::clamp(percent, 0, 100);
  if (percent == 100) return;
  // Half away from zero, so that a level and its negative stay mirrored.
  auto scale = [percent](int v) { return (v * percent + (v < 0 ? -50 : 50)) / 100; };
  if (bits == 8) {
    for (size_t i = 0; i < bytes; ++i)
      samples[i] = static_cast<uint8_t>(128 + scale(samples[i] - 128));
  } else if (bits == 16) {
    for (size_t i = 0; i + 1 < bytes; i += 2) {
      const auto v = static_cast<uint16_t>(scale(static_cast<int16_t>(Le16(samples + i))));
      samples[i] = static_cast<uint8_t>(v);
      samples[i + 1] = static_cast<uint8_t>(v >> 8);
    }
  }
}

std::vector<uint8_t> WaveAtVolume(const std::vector<uint8_t>& file, int percent, size_t frame,
                                  bool loop) {
  WaveData wave;
  if (!ParseWave(file, wave)) return {};
  const size_t frameBytes = size_t{wave.channels} * wave.bits / 8;
  const auto start = static_cast<size_t>(wave.samples - file.data());
  const uint8_t* samples = file.data() + start;
  const size_t length = wave.frames * frameBytes;
  frame = loop ? (wave.frames ? frame % wave.frames : 0) : std::min(frame, wave.frames);
  const size_t from = frame * frameBytes;

  // What came before the samples (the format, other chunks, the data
  // chunk's header) stays; chunks after them go.
  std::vector<uint8_t> out(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(start));
  out.insert(out.end(), samples + from, samples + length);
  if (loop) out.insert(out.end(), samples, samples + from);
  const size_t kept = out.size() - start;
  ScalePcm(out.data() + start, kept, wave.bits, percent);
  if (kept & 1) out.push_back(0);  // chunks keep an even length
  auto put32 = [&out](size_t at, size_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(start - 4, kept);
  put32(4, out.size() - 8);
  return out;
}

bool WriteWave16(const char* path, const std::vector<int16_t>& interleaved, uint32_t sampleRate) {
  FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  const uint32_t dataBytes = static_cast<uint32_t>(interleaved.size() * 2);
  uint8_t h[44];
  auto put32 = [&](int at, uint32_t v) {
    for (int i = 0; i < 4; ++i) h[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  auto put16 = [&](int at, uint16_t v) {
    h[at] = static_cast<uint8_t>(v);
    h[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  std::memcpy(h, "RIFF", 4);
  put32(4, 36 + dataBytes);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  put32(16, 16);
  put16(20, 1);
  put16(22, 2);
  put32(24, sampleRate);
  put32(28, sampleRate * 4);
  put16(32, 4);
  put16(34, 16);
  std::memcpy(h + 36, "data", 4);
  put32(40, dataBytes);
  bool ok = std::fwrite(h, sizeof h, 1, f) == 1;
  for (int16_t s : interleaved) {  // little-endian whatever the host
    const uint8_t b[2] = {static_cast<uint8_t>(s),
                          static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8)};
    if (std::fwrite(b, 2, 1, f) != 1) {
      ok = false;
      break;
    }
  }
  return std::fclose(f) == 0 && ok;
}

}  // namespace posix
