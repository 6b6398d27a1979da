#include "data/database.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "data/data_texts.h"
#include "platform/platform.h"

Database db;

void ResetDatabase() { std::memset(&db, 0, sizeof db); }

namespace {

// A missing file leaves the table as it was; a short one fills its front; a
// long one fills the table and the rest is not looked at.
void ReadTable(const char* name, void* table, size_t size) {
  std::vector<uint8_t> bytes;
  // An empty file has no bytes to copy (and no buffer to copy from).
  if (!plat::host().ReadWholeFile(name, bytes) || bytes.empty()) return;
  std::memcpy(table, bytes.data(), std::min(size, bytes.size()));
}

}  // namespace

void loadCardData() { ReadTable(kCardDataFile, db.cards, sizeof db.cards); }

void loadArts() {
  ReadTable(kAttackArtsFile, db.attackArts, sizeof db.attackArts);
  ReadTable(kDefenceArtsFile, db.defenceArts, sizeof db.defenceArts);
}

const char* attributeSymbol(int attribute) {
  switch (attribute) {
    case 1:
      return texts::kSymbolAttr1;
    case 2:
      return texts::kSymbolAttr2;
    case 3:
      return texts::kSymbolAttr3;
    case 4:
      return texts::kSymbolAttr4;
    default:
      return nullptr;
  }
}

int symbolAttribute(const char* text) {
  for (int d = 1; d <= 4; ++d) {
    const char* s = attributeSymbol(d);
    if (text[0] == s[0] && text[1] == s[1]) return d;
  }
  return 0;
}

int patternCode(const char* pattern) {
  const size_t n = std::strlen(pattern) / 2;
  if (n == 0 || n > kMaxPatternSymbols) return 0;
  int code = 0;
  for (size_t k = 0; k < n; ++k) code = code * 4 + symbolAttribute(pattern + 2 * k);
  return code;
}
