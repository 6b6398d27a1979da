#include "support/battle_rules.h"

#include <cstdlib>
#include <cstring>

#include "battle/arts.h"
#include "battle/autoplayer.h"
#include "battle/battle.h"
#include "battle/effects.h"
#include "battle/opponent.h"
#include "battle/rules.h"
#include "battle/turn.h"
#include "core/waits.h"
#include "data/player.h"
#include "support/parser_session.h"

namespace fuzz {
namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void Deal(int side) {
  BattleSide& s = battle.side[side];
  for (int k = 1; k <= battle.handSize; ++k) {
    if (s.hand[k].card != 0 && s.hand[k].inHand) continue;
    s.hand[k] = HandSlot{};
    if (s.deckLeft <= 0 || s.drawIndex > kBattleDeckSize) continue;
    s.hand[k].card = s.deck[s.drawIndex++];
    --s.deckLeft;
  }
}

// Lays the slots' cards down in order, as playCard does without its slide.
void Lay(int side, const int* slots, int count) {
  BattleSide& s = battle.side[side];
  bool seen[kHandSlots + 1] = {};
  size_t length = 0;
  for (int i = 0; i < count; ++i) {
    const int k = slots[i];
    Check(k >= 1 && k <= battle.handSize && !seen[k]);
    seen[k] = true;
    Check(s.hand[k].card != 0 && s.hand[k].inHand);
    s.hand[k].inHand = 0;
    s.played[i + 1] = PlayedCard{s.hand[k].card, k};
    if (const char* symbol = attributeSymbol(cardAttribute(s.hand[k].card))) {
      Check(length + 2 < sizeof s.playedPattern);
      s.playedPattern[length++] = symbol[0];
      s.playedPattern[length++] = symbol[1];
    }
  }
  s.playedPattern[length] = '\0';
}

void OpponentLays(Role role) {
  int count = 0;
  const ArtsRecord* table = artsTable(role, count);
  const int art = role == Role::Attack ? chooseAttack() : chooseDefence();
  Check(art >= 0 && art <= count);
  if (art == 0) return;
  int slots[kHandSlots];
  const int n = patternSlots(1, table[art].pattern, sizeof table[art].pattern, slots);
  Check(n >= 0 && n <= kHandSlots);
  Lay(1, slots, n);
}

void PlayerLays(bool attack) {
  shell.InputMode = attack ? mode::PlayerAttacks : mode::PlayerIntercepts;
  const int art = greedyArt();
  Check(art >= 0 && art <= (attack ? kAttackArtsCount : kDefenceArtsCount));
  int slots[kHandSlots];
  const int n = greedySlots(slots);
  Check(n >= 0 && n <= kHandSlots);
  Lay(0, slots, n);
}

bool Resolve(int a) {
  const int d = 1 - a;
  for (BattleSide& s : battle.side)
    s.physDamage = s.magicDamage = s.mpCharge = s.hpRecovery = s.mpRecovery = 0;
  if (!performArt(a, Role::Attack) || !applyCardEffects(a, Role::Attack)) return false;
  applyBarriers(a);
  if (!performArt(d, Role::Defence) || !applyCardEffects(d, Role::Defence)) return false;
  applyBarriers(d);
  if (!applyFields() || !applyExchange()) return false;
  applyPoison(0);
  applyPoison(1);
  return true;
}

}  // namespace

void PlayRules(int exchanges) {
  EnsureImages();
  battle.handSize = kHandSlots;
  battle.opponentStyle = 1 + static_cast<int32_t>(battle.side[1].deck[0] % 3);
  battle.opponentHp = battle.opponentMaxHp = 400;
  battle.opponentMp = battle.opponentMaxMp = 120;
  player.hp = player.maxhp = 400;
  player.mp = player.maxmp = 120;
  std::memcpy(battle.side[0].deck, player.deck.cards, sizeof battle.side[0].deck);
  battle.side[0].deckLeft = player.deck.count;
  battle.side[1].deckLeft = deckLength(battle.side[1].deck);
  Check(battle.side[1].deckLeft >= 0 && battle.side[1].deckLeft <= kBattleDeckSize);
  for (BattleSide& s : battle.side) s.drawIndex = 1;
  for (int e = 0; e < exchanges; ++e) {
    Deal(0);
    Deal(1);
    const int a = e % 2;
    if (a == 0) {
      PlayerLays(true);
      OpponentLays(Role::Defence);
    } else {
      OpponentLays(Role::Attack);
      PlayerLays(false);
    }
    if (!Resolve(a)) return;
    for (int s = 0; s < 2; ++s) {
      const SideVitals v = sideVitals(s);
      Check(v.hp >= 0 && v.mp >= 0);
    }
    for (BattleSide& s : battle.side) {
      for (int k = 1; k <= kHandSlots; ++k) s.played[k] = PlayedCard{};
      s.playedPattern[0] = '\0';
    }
    if (sideVitals(0).hp == 0 || sideVitals(1).hp == 0) return;
  }
}

}  // namespace fuzz
