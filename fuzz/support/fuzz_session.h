// What every harness shares: a data folder of the process's own, emptied for
// each input, and a fresh headless host and game state on it, so that no
// input sees what an earlier one left behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/headless/headless.h"

namespace fuzz {

// Begins an input: the game state reset, the data folder emptied, a new
// headless host on it (built-in font, no log echo) installed as the
// process's host. The input script and time limit are for whole runs.
headless::HeadlessHost& Begin(const std::string& input = "", uint64_t until = 0);
// Ends it: the game state reset while the host is still there, then the
// host removed. Begin calls it for an input that did not.
void End();

// Writes a file of the data folder; name uses '/'.
void Write(const std::string& name, const uint8_t* data, size_t size);
void Write(const std::string& name, const std::string& bytes);
const std::filesystem::path& DataDir();

// The whole program on the data folder (start-up, message loop, shutdown).
int RunGame();

}  // namespace fuzz
