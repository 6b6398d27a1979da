// An opponent's deck file read over side 1's deck, then what reads it: its
// length, the shuffle, hands dealt from it, the opponent's choices and a few
// exchanges of the battle's rules against the demo's cards and arts.
#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "battle/battle.h"
#include "core/random.h"
#include "data/database.h"
#include "data/player.h"
#include "support/battle_rules.h"
#include "support/parser_session.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::BeginParse();
  fuzz::LoadBaseDatabase();
  // The loader writes the deck's words and nothing after them.
  const BattleState fresh = battle;
  loadDeckBytes(data, size);
  const auto* after = reinterpret_cast<const uint8_t*>(&battle);
  const auto* was = reinterpret_cast<const uint8_t*>(&fresh);
  const size_t deckEnd = offsetof(BattleState, side) + offsetof(BattleSide, deck) +
                         sizeof(BattleSide) + sizeof battle.side[1].deck;
  Check(std::memcmp(after, was, deckEnd - sizeof battle.side[1].deck) == 0);
  Check(std::memcmp(after + deckEnd, was + deckEnd, sizeof battle - deckEnd) == 0);
  uint32_t* deck = battle.side[1].deck;
  // Whatever the file leaves after its end is what a fresh battle holds: 0.
  for (size_t i = 0; i <= kBattleDeckSize; ++i) {
    uint32_t word = 0;
    if (4 * i < size) std::memcpy(&word, data + 4 * i, std::min<size_t>(4, size - 4 * i));
    Check(deck[i] == word);
  }
  const int32_t length = deckLength(deck);
  Check(length >= 0 && length <= kBattleDeckSize);
  for (int32_t i = 1; i <= length; ++i) Check(deck[i] != 0);

  // A shuffle keeps the cards and leaves the rest of the deck alone.
  uint32_t before[kBattleDeckSize + 1];
  std::memcpy(before, deck, sizeof before);
  SeedRandom(static_cast<uint32_t>(size));
  shuffleDeck(deck, length);
  Check(std::is_permutation(before + 1, before + 1 + length, deck + 1));
  Check(std::equal(before + 1 + length, before + 1 + kBattleDeckSize, deck + 1 + length));

  for (int card = 1; card <= kCardCount; ++card) addCards(player.deck, card, 2);
  fuzz::PlayRules(6);
  return 0;
}
