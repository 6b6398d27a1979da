// A database table (first byte: 0 CardData.dat, 1 AtArts.dat, 2 DfArts.dat;
// the rest is the file) read in place of the demo's, then what reads its
// records: pattern codes and the learned arts, finding an art by its
// pattern, the card texts, and a few exchanges of the battle's rules.
#include <cstdlib>
#include <cstring>

#include "battle/arts.h"
#include "battle/battle.h"
#include "battle/rules.h"
#include "data/database.h"
#include "data/player.h"
#include "support/battle_rules.h"
#include "support/parser_session.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// Every art's own pattern finds an art with that pattern, the first one.
void CheckFindArt(Role role) {
  int count = 0;
  ArtsRecord* table = artsTable(role, count);
  for (int i = 1; i <= count; ++i) {
    const ArtsRecord& art = table[i];
    const int found = findArt(role, art.pattern, sizeof art.pattern);
    Check(found >= 1 && found <= i && patternEquals(table[found], art.pattern, sizeof art.pattern));
    char pattern[sizeof art.pattern + 1] = {};
    std::memcpy(pattern, art.pattern, sizeof art.pattern);
    const int code = patternCode(pattern);
    Check(code >= 0 && code < kPatternCodes);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  fuzz::BeginParse();
  const auto which = static_cast<DatabaseTable>(data[0] % 3);
  fuzz::LoadBaseDatabase();
  // The fuzzed file replaces the demo's table: what it does not cover stays
  // zero, as a short file leaves a fresh table.
  switch (which) {
    case DatabaseTable::Cards:
      std::memset(db.cards, 0, sizeof db.cards);
      break;
    case DatabaseTable::AttackArts:
      std::memset(db.attackArts, 0, sizeof db.attackArts);
      break;
    case DatabaseTable::DefenceArts:
      std::memset(db.defenceArts, 0, sizeof db.defenceArts);
      break;
  }
  loadTableBytes(which, data + 1, size - 1);

  for (int n = 1; n <= kCardCount; ++n) {
    const CardRecord& card = db.cards[n];
    Check(cardAttribute(static_cast<uint32_t>(n)) >= 0 &&
          cardAttribute(static_cast<uint32_t>(n)) <= 4);
    Check(recordText(card.name).size() <= sizeof card.name);
    Check(recordText(card.description).size() <= sizeof card.description);
    Check(recordText(card.attackEffect).size() <= sizeof card.attackEffect);
    Check(recordText(card.interceptEffect).size() <= sizeof card.interceptEffect);
  }
  CheckFindArt(Role::Attack);
  CheckFindArt(Role::Defence);
  for (int n = 0; n <= kAttackArtsCount + 1; ++n) learnAttackArt(n);

  // Both decks from the cards in table order, twice over.
  for (int i = 0; i < 2 * kCardCount; ++i) {
    const uint32_t card = static_cast<uint32_t>(i % kCardCount + 1);
    addCards(player.deck, static_cast<int32_t>(card), 1);
    battle.side[1].deck[i + 1] = static_cast<uint32_t>(kCardCount - i % kCardCount);
  }
  battle.side[1].deck[0] = data[0] / 3u;
  fuzz::PlayRules(6);
  return 0;
}
