#include "support/fuzz_session.h"

#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <vector>

#include "battle/autoplayer.h"
#include "platform/platform.h"
#include "shell/app.h"
#include "support/files.h"

namespace fuzz {
namespace {

struct Session {
  std::optional<ScopedTempDir> scratch;
  std::unique_ptr<headless::HeadlessHost> host;

  ~Session() { Finish(); }

  void Finish() {
    if (host) {
      ResetGameState();
      plat::SetHost(nullptr);
      host.reset();
    }
  }
};

Session& session() {
  static Session s;
  if (!s.scratch) s.scratch.emplace("quillfen-fuzz-");
  return s;
}

}  // namespace

headless::HeadlessHost& Begin(const std::string& input, uint64_t until) {
  Session& s = session();
  s.Finish();
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(s.scratch->path()))
    std::filesystem::remove_all(entry.path(), ec);
  headless::Options o;
  o.dataDir = s.scratch->path().string();
  // QF_FUZZ_ECHO=1 shows what a run did, to check that a harness reaches
  // what it is meant to.
  o.echo = std::getenv("QF_FUZZ_ECHO") != nullptr;
  o.until = until;
  o.testFont = true;
  s.host = std::make_unique<headless::HeadlessHost>(o);
  std::vector<headless::InputEvent> events;
  std::string error;
  if (!headless::ParseInputScript(input, events, error)) __builtin_trap();  // a harness's mistake
  s.host->SetInput(std::move(events));
  s.host->SetAutomation(AutomatedClicks);
  plat::SetHost(s.host.get());
  ResetGameState();
  return *s.host;
}

void End() { session().Finish(); }

void Write(const std::string& name, const uint8_t* data, size_t size) {
  const auto path = DataDir() / name;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void Write(const std::string& name, const std::string& bytes) {
  Write(name, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

const std::filesystem::path& DataDir() { return session().scratch->path(); }

int RunGame() { return GameMain(); }

}  // namespace fuzz
