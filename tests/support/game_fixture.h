// Runs the real program headless against a data directory made by the test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/save_file.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "shell/app.h"
#include "support/files.h"

// An input script as the headless host takes it (fails the test when it
// does not parse): the one way tests hand scripted input to a host.
std::vector<headless::InputEvent> InputEvents(const std::string& script);

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

  // Shift-JIS bytes of a UTF-8 text.
  static std::string Sjis(const std::string& utf8);
  // Message box texts as UTF-8, in order.
  std::vector<std::string> BoxTexts() const;

  std::optional<ScopedTempDir> scratch;  // made in SetUp, removed in TearDown
  std::filesystem::path dataDir;         // the scratch folder
  std::filesystem::path saveDir;         // where the game writes; empty: dataDir
  std::unique_ptr<headless::HeadlessHost> host;
};
