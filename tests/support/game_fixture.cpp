#include "support/game_fixture.h"

#include <fstream>

#include "platform/posix/host_files.h"

std::vector<headless::InputEvent> InputEvents(const std::string& script) {
  std::vector<headless::InputEvent> events;
  std::string error;
  EXPECT_TRUE(headless::ParseInputScript(script, events, error)) << error;
  return events;
}

void GameTest::SetUp() {
  dataDir = scratch.emplace("quillfen-test-").path();
  ResetGameState();
}

void GameTest::TearDown() {
  ResetGameState();
  plat::SetHost(nullptr);
  host.reset();
  scratch.reset();
}

void GameTest::WriteData(const std::string& name, const std::string& bytes) {
  // The name is UTF-8 source text; said so, so that Windows does not read it
  // in its own code page.
  const auto path = dataDir / std::filesystem::path(std::u8string(name.begin(), name.end()));
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

headless::HeadlessHost& GameTest::MakeHost(const std::string& input, uint64_t until) {
  headless::Options o;
  o.dataDir = dataDir.string();
  o.saveDir = saveDir.string();
  o.echo = false;
  o.until = until;
  o.testFont = true;
  host = std::make_unique<headless::HeadlessHost>(o);
  host->SetInput(InputEvents(input));
  plat::SetHost(host.get());
  return *host;
}

int GameTest::RunGame() {
  if (!host) MakeHost();
  return GameMain();
}

std::string GameTest::Sjis(const std::string& utf8) {
  std::string out;
  EXPECT_TRUE(posix::Utf8ToSjis(utf8, out)) << utf8;
  return out;
}

std::vector<std::string> GameTest::BoxTexts() const {
  std::vector<std::string> out;
  for (const auto& b : host->boxes) out.push_back(posix::SjisToUtf8(b.text));
  return out;
}
