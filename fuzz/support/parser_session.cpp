#include "support/parser_session.h"

#include <memory>
#include <utility>

#include "battle/battle.h"
#include "core/random.h"
#include "data/database.h"
#include "data/player.h"
#include "data/save_file.h"
#include "graphics/image.h"
#include "graphics/textwindow.h"
#include "platform/platform.h"
#include "support/files.h"

namespace fuzz {

bool MemoryHost::ReadWholeFile(const char* nameSjis, std::vector<uint8_t>& out) {
  const auto it = files.find(nameSjis);
  if (it == files.end()) return false;
  out = it->second;
  return true;
}

plat::WriteResult MemoryHost::WriteWholeFile(const char* nameSjis, const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  files[nameSjis].assign(bytes, bytes + size);
  return plat::WriteResult::Ok;
}

MemoryHost& BeginParse() {
  // Never destroyed: the message windows give their fonts back to it when
  // the process ends.
  static MemoryHost* host = nullptr;
  if (!host) {
    headless::Options o;
    o.echo = false;
    o.testFont = true;
    host = new MemoryHost(o);
    plat::SetHost(host);
  }
  host->files.clear();
  host->boxes.clear();
  host->traces.clear();
  host->log.clear();
  ResetDatabase();
  ResetPlayerState();
  ResetBattle();
  ResetSnapshot();
  ResetRandom();
  return *host;
}

const std::vector<uint8_t>& BaseFile(const std::string& name) {
  static std::map<std::string, std::vector<uint8_t>> cache;
  auto it = cache.find(name);
  if (it == cache.end()) {
    const std::string text = ReadText(std::string(QF_FUZZ_BASE_DIR) + "/" + name);
    it = cache.emplace(name, std::vector<uint8_t>(text.begin(), text.end())).first;
  }
  return it->second;
}

void LoadBaseDatabase() {
  for (auto [which, name] : {std::pair{DatabaseTable::Cards, kCardDataFile},
                             std::pair{DatabaseTable::AttackArts, kAttackArtsFile},
                             std::pair{DatabaseTable::DefenceArts, kDefenceArtsFile}}) {
    const auto& bytes = BaseFile(name);
    loadTableBytes(which, bytes.data(), bytes.size());
  }
}

void EnsureImages() {
  static bool made = false;
  if (made) return;
  made = true;
  CreateGlobalImages();
  SetupMessageWindows();
  // The rules, not the pictures, are what these harnesses are after: on a
  // screen this small every drawing step clips to almost nothing, so the
  // animations cost next to no time.
  gfx.Screen.Create(8, 8);
}

}  // namespace fuzz
