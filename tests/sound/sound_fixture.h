// A headless host with a data directory for the sound tests, the MIDI
// messages it recorded, waves of our own and the measure of a rendering.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "midigen/midi_writer.h"
#include "platform/posix/fluid_synth.h"
#include "platform/posix/wave_file.h"
#include "sound/music.h"
#include "support/game_fixture.h"

struct Sent {
  uint64_t at;
  uint32_t message;
  uint8_t Status() const { return message & 0xFF; }
  uint8_t Data1() const { return (message >> 8) & 0xFF; }
  uint8_t Data2() const { return (message >> 16) & 0xFF; }
};

// A quiet mono 16-bit sine of our own (amplitude 8000), of the given length.
inline std::string SineWave(uint32_t ms, uint32_t rate = 22050) {
  std::string w = "RIFF....WAVEfmt ";
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) w += static_cast<char>(v >> (8 * i));
  };
  const uint32_t frames = rate * ms / 1000;
  put(16, 4), put(1, 2), put(1, 2), put(rate, 4), put(rate * 2, 4), put(2, 2), put(16, 2);
  w += "data";
  put(frames * 2, 4);
  for (uint32_t i = 0; i < frames; ++i)
    put(static_cast<uint16_t>(
            static_cast<int16_t>(8000 * std::sin(i * 2 * 3.14159265 * 660 / rate))),
        2);
  const auto riff = static_cast<uint32_t>(w.size() - 8);
  for (int i = 0; i < 4; ++i) w[4 + i] = static_cast<char>(riff >> (8 * i));
  return w;
}

// Root mean square of both channels between two times of a rendered file.
inline double Rms(const posix::WaveData& wave, uint64_t fromMs, uint64_t toMs) {
  const size_t from = static_cast<size_t>(fromMs * wave.sampleRate / 1000);
  const size_t to = std::min(wave.frames, static_cast<size_t>(toMs * wave.sampleRate / 1000));
  double energy = 0;
  for (size_t f = from; f < to; ++f)
    for (int c = 0; c < 2; ++c) energy += double{wave.Sample(f, c)} * wave.Sample(f, c);
  return to > from ? std::sqrt(energy / (2.0 * static_cast<double>(to - from))) : 0;
}

// Renders what the run played so far into a file of the test's data folder.
inline bool Render(headless::HeadlessHost& host, const std::filesystem::path& out,
                   std::vector<uint8_t>& bytes, posix::WaveData& wave) {
  host.options().audioOut = out.string();
  std::string error;
  if (!host.FinishAudio(error)) return false;
  bytes = ReadBytes(out);
  return posix::ParseWave(bytes, wave);
}

// A file of chunks as given (tag, body, and what the length field claims
// beyond the body), for files the writer would never make.
struct SmfChunk {
  const char* tag;
  std::vector<uint8_t> body;
  int extraLength = 0;  // what the length field claims beyond the body
};

inline std::vector<uint8_t> RawSmf(uint16_t division, const std::vector<SmfChunk>& chunks,
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

class SoundTest : public GameTest {
 protected:
  using Kind = headless::HeadlessHost::SoundCall::Kind;
  void SetUp() override {
    GameTest::SetUp();
    MakeHost();
  }
  void TearDown() override {
    ResetSound();
    GameTest::TearDown();
  }
  void WriteSong(const std::string& name, const std::vector<midigen::Track>& tracks,
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
};
