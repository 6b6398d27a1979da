#include "data/database.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/mistake_log.h"
#include "data/data_texts.h"
#include "platform/platform.h"

Database db;

void ResetDatabase() { std::memset(&db, 0, sizeof db); }

namespace {

// A short file fills the table's front; a long one fills the table and the
// rest is not looked at. An empty one has no bytes to copy (and maybe no
// buffer to copy from).
void CopyTable(void* table, size_t size, const uint8_t* data, size_t length) {
  if (length == 0) return;
  std::memcpy(table, data, std::min(size, length));
}

// A missing file leaves the table as it was, and is told: every card or
// art of it is then empty.
void ReadTable(DatabaseTable which, const char* name) {
  std::vector<uint8_t> bytes;
  if (plat::host().ReadWholeFile(name, bytes))
    loadTableBytes(which, bytes.data(), bytes.size());
  else
    ReportMistake(FileProblem("database file", name));
}

}  // namespace

void loadTableBytes(DatabaseTable which, const uint8_t* data, size_t size) {
  switch (which) {
    case DatabaseTable::Cards:
      CopyTable(db.cards, sizeof db.cards, data, size);
      break;
    case DatabaseTable::AttackArts:
      CopyTable(db.attackArts, sizeof db.attackArts, data, size);
      break;
    case DatabaseTable::DefenceArts:
      CopyTable(db.defenceArts, sizeof db.defenceArts, data, size);
      break;
  }
}

void loadCardData() { ReadTable(DatabaseTable::Cards, kCardDataFile); }

void loadArts() {
  ReadTable(DatabaseTable::AttackArts, kAttackArtsFile);
  ReadTable(DatabaseTable::DefenceArts, kDefenceArtsFile);
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

const char* ArtKindName(ArtKind kind) {
  switch (kind) {
    case ArtKind::PhysicalDamage:
      return "PhysicalDamage";
    case ArtKind::PhysicalScale:
      return "PhysicalScale";
    case ArtKind::PhysicalCounter:
      return "PhysicalCounter";
    case ArtKind::PhysicalAttackBarrier:
      return "PhysicalAttackBarrier";
    case ArtKind::PhysicalAttackField:
      return "PhysicalAttackField";
    case ArtKind::PhysicalGuardBarrier:
      return "PhysicalGuardBarrier";
    case ArtKind::PhysicalGuardField:
      return "PhysicalGuardField";
    case ArtKind::MagicDamage:
      return "MagicDamage";
    case ArtKind::MagicScale:
      return "MagicScale";
    case ArtKind::MagicCounter:
      return "MagicCounter";
    case ArtKind::MagicAttackBarrier:
      return "MagicAttackBarrier";
    case ArtKind::MagicAttackField:
      return "MagicAttackField";
    case ArtKind::MagicGuardBarrier:
      return "MagicGuardBarrier";
    case ArtKind::MagicGuardField:
      return "MagicGuardField";
    case ArtKind::HpRecovery:
      return "HpRecovery";
    case ArtKind::HpRecoveryBarrier:
      return "HpRecoveryBarrier";
    case ArtKind::HpRecoveryField:
      return "HpRecoveryField";
    case ArtKind::MpRecovery:
      return "MpRecovery";
    case ArtKind::MpRecoveryBarrier:
      return "MpRecoveryBarrier";
    case ArtKind::MpRecoveryField:
      return "MpRecoveryField";
    case ArtKind::CurePoison:
      return "CurePoison";
    case ArtKind::PoisonGuard:
      return "PoisonGuard";
    case ArtKind::CureCurse:
      return "CureCurse";
    case ArtKind::CurseGuard:
      return "CurseGuard";
    default:
      return nullptr;
  }
}
