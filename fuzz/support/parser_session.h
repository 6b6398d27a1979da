// What the parser-level harnesses share: one headless host for the whole
// process whose files live in memory, so that an input costs a parse and the
// code that reads the parsed records, not a run of the game.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/headless/headless.h"

namespace fuzz {

// Game file names as the game spells them (backslashes), each with its bytes;
// what the game writes lands here too.
class MemoryHost : public headless::HeadlessHost {
 public:
  using HeadlessHost::HeadlessHost;
  std::map<std::string, std::vector<uint8_t>> files;

  bool ReadWholeFile(const char* nameSjis, std::vector<uint8_t>& out) override;
  bool FileExists(const char* nameSjis) override { return files.count(nameSjis) != 0; }
  plat::WriteResult WriteWholeFile(const char* nameSjis, const void* data, size_t size) override;
  bool RemoveFile(const char* nameSjis) override { return files.erase(nameSjis) != 0; }
  bool ResetFileAttributes(const char*) override { return true; }
  bool MakeFolder(const char*) override { return true; }
};

// Begins an input: the data and player state, the database, the battle,
// the snapshot and the generator reset, no files, no boxes. The host is made
// (and installed) by the first call.
MemoryHost& BeginParse();

// One of the base files of the battles (fuzz/base/<name>: the demo's
// database and the practice deck, cut down), read once.
const std::vector<uint8_t>& BaseFile(const std::string& name);
// The demo's three tables loaded.
void LoadBaseDatabase();

// The global images and message windows, made by the first call, for the
// harnesses whose readers draw.
void EnsureImages();

}  // namespace fuzz
