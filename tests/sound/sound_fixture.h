// A headless host with a data directory for the music tests, and views of
// the MIDI messages it recorded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "midigen/midi_writer.h"
#include "sound/music.h"
#include "streams/gplp.h"
#include "support/game_fixture.h"

struct Sent {
  uint64_t at;
  uint32_t message;
  uint8_t Status() const { return message & 0xFF; }
  uint8_t Data1() const { return (message >> 8) & 0xFF; }
  uint8_t Data2() const { return (message >> 16) & 0xFF; }
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

  void WriteSong(const std::string& name, const std::vector<midigen::Track>& tracks,
                 uint16_t division = 480) {
    const auto bytes = midigen::WriteSmf(tracks, division);
    WriteData(name, std::string(bytes.begin(), bytes.end()));
  }

  static std::string PackGplpForTest(const std::vector<uint8_t>& data) {
    const auto file = PackGplp(data.data(), data.size(), "member.mid");
    return std::string(file.begin(), file.end());
  }

  using Kind = headless::HeadlessHost::SoundCall::Kind;

  std::vector<Sent> Shorts(uint64_t from = 0) const {
    std::vector<Sent> out;
    for (const auto& c : host->sound) {
      if (c.kind == Kind::MidiShort && c.at >= from) out.push_back({c.at, c.message});
    }
    return out;
  }
  // Note-ons that sound (velocity above 0).
  std::vector<Sent> NoteOns(uint64_t from = 0) const {
    std::vector<Sent> out;
    for (const auto& s : Shorts(from)) {
      if ((s.Status() & 0xF0) == 0x90 && s.Data2() > 0) out.push_back(s);
    }
    return out;
  }
  size_t Count(Kind kind) const {
    size_t n = 0;
    for (const auto& c : host->sound) n += c.kind == kind;
    return n;
  }
};
