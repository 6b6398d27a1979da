#include "core/mistake_log.h"

#include <algorithm>
#include <vector>

#include "platform/platform.h"

MistakeLog mistakes;

namespace {

// Mistakes are few; past this many the log tells each again rather than
// keep growing the list.
constexpr size_t kRemembered = 512;

bool TellOnce(const std::string& line) {
  auto& told = mistakes.told;
  if (std::find(told.begin(), told.end(), line) != told.end()) return false;
  if (told.size() < kRemembered) told.push_back(line);
  return true;
}

}  // namespace

void SetMistakePlaceFinder(MistakePlaceFinder finder) { mistakes.placeFinder = finder; }

std::string MistakePlace() { return mistakes.placeFinder ? mistakes.placeFinder() : std::string(); }

void ReportMistake(const std::string& problem) { ReportMistakeAt(MistakePlace(), problem); }

void ReportMistakeAt(const std::string& place, const std::string& problem) {
  if (!plat::HasHost()) return;
  const std::string line = place.empty() ? problem : place + ": " + problem;
  if (TellOnce(line)) plat::host().Warn(line.c_str());
}

void ResetMistakes() {
  mistakes.told.clear();
  mistakes.told.shrink_to_fit();
}

std::string Quoted(const char* name) { return std::string("\"") + (name ? name : "") + "\""; }

std::string FileProblem(const char* kind, const char* name, const char* purpose) {
  const bool there = name && name[0] && plat::HasHost() && plat::host().FileExists(name);
  std::string line = there ? std::string(kind) + " " + Quoted(name) + " cannot be read"
                           : std::string("no ") + kind + " " + Quoted(name);
  if (purpose) line += std::string(" (for ") + purpose + ")";
  return line;
}
