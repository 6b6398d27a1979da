// Runs the real program headless against a data directory made by the test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "data/save_file.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "shell/app.h"
#include "support/files.h"

class GameTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes a file into the data directory; name uses '/' and UTF-8.
  void WriteData(const std::string& name, const std::string& bytes);
  // A host on the data directory with the given input script, installed as
  // the process's host.
  headless::HeadlessHost& MakeHost(const std::string& input = "", uint64_t until = 0);
  // The whole program: start-up, message loop, shutdown.
  int RunGame();

  // A snapshot every check of a slot passes, at line of scenario, counting
  // ints and strs variables.
  static SaveSnapshot SlotSnapshot(const char* scenario, int32_t line, int32_t ints, int32_t strs);
  // A slot file as the game lays it out: the snapshot, then variableBytes
  // bytes of variable records; into the data directory.
  void WriteSlot(int slot, const SaveSnapshot& s, size_t variableBytes);

  // Shift-JIS bytes of a UTF-8 text.
  static std::string Sjis(const std::string& utf8);
  // Message box texts as UTF-8, in order.
  std::vector<std::string> BoxTexts() const;
  std::vector<std::string> TraceTexts() const;

  std::optional<ScopedTempDir> scratch;  // made in SetUp, removed in TearDown
  std::filesystem::path dataDir;         // the scratch folder
  std::filesystem::path saveDir;         // where the game writes; empty: dataDir
  bool realFonts = false;                // the installed fonts instead of the built-in face
  std::unique_ptr<headless::HeadlessHost> host;
};
