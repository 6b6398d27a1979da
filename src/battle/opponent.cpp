// The opponent: fixed rules pick one art its hand and its HP and MP can
// afford, guided by the arts' weights, its style and a few situations, and
// it plays the cards that spell the art's pattern. It has no lookahead and,
// apart from the turn of its first stall, no memory.
#include "battle/opponent.h"

#include <algorithm>
#include <cstring>

#include "battle/arts.h"
#include "battle/battle.h"
#include "battle/battle_screen.h"
#include "battle/rules.h"
#include "battle/turn.h"
#include "core/waits.h"

namespace {

constexpr uint32_t kCancelCard = 35;  // its attack cancels the interceptor's play

int handLimit() { return std::clamp(battle.handSize, 1, kHandSlots); }

// Marks the arts the opponent can use now: its hand covers the attribute
// needs, and its HP and MP the art's.
void markCandidates(Role role) {
  int32_t counts[5] = {};
  const BattleSide& me = battle.side[1];
  for (int k = 1; k <= handLimit(); ++k) {
    if (me.hand[k].card != 0) ++counts[cardAttribute(me.hand[k].card)];
  }
  const SideVitals vitals = sideVitals(1);
  int count = 0;
  ArtsRecord* table = artsTable(role, count);
  for (int i = 1; i <= count; ++i) {
    ArtsRecord& art = table[i];
    art.candidate = art.needAttr1 <= counts[1] && art.needAttr2 <= counts[2] &&
                            art.needAttr3 <= counts[3] && art.needAttr4 <= counts[4] &&
                            art.needHp <= vitals.hp && art.mpCost <= vitals.mp
                        ? 1
                        : 0;
  }
}

// The candidate with the highest weight that passes the filter: the later
// art wins a tie, and a negative weight never beats the starting 0.
template <typename Filter>
int heaviest(Role role, Filter keep) {
  int count = 0;
  const ArtsRecord* table = artsTable(role, count);
  int32_t best = 0;
  int chosen = 0;
  for (int i = 1; i <= count; ++i) {
    const ArtsRecord& art = table[i];
    if (art.candidate && keep(artKind(art)) && art.weight >= best) {
      best = art.weight;
      chosen = i;
    }
  }
  return chosen;
}

int heaviestAny(Role role) {
  return heaviest(role, [](ArtKind) { return true; });
}

// Filters for heaviest: the kinds named, or every kind but those.
template <typename... Kinds>
auto anyOf(Kinds... kinds) {
  return [=](ArtKind kind) { return ((kind == kinds) || ...); };
}
template <typename... Kinds>
auto noneOf(Kinds... kinds) {
  return [=](ArtKind kind) { return ((kind != kinds) && ...); };
}

// A poisoned opponent cures itself first when it can.
int cureIfPoisoned(Role role) {
  if (!battle.side[1].poisoned) return 0;
  int count = 0;
  const ArtsRecord* table = artsTable(role, count);
  for (int i = 1; i <= count; ++i) {
    if (table[i].candidate && artKind(table[i]) == ArtKind::CurePoison) return i;
  }
  return 0;
}

int attackByStyle() {
  const SideVitals me = sideVitals(1);
  const bool lowHp = me.hp <= me.maxHp / 2;
  switch (battle.opponentStyle) {
    case 1:
      return heaviest(Role::Attack, [&](ArtKind kind) {
        if (kind == ArtKind::HpRecovery) return lowHp;
        if (kind == ArtKind::MpRecovery) return me.mp <= me.maxMp / 5;
        return true;
      });
    case 2:
      if (int art = heaviest(Role::Attack, noneOf(ArtKind::HpRecovery, ArtKind::MpRecovery)))
        return art;
      return heaviestAny(Role::Attack);
    case 3:
      if (!lowHp) {
        return heaviest(Role::Attack, [&](ArtKind kind) {
          if (kind == ArtKind::HpRecovery) return me.hp != me.maxHp;
          if (kind == ArtKind::MpRecovery) return me.mp != me.maxMp;
          return true;
        });
      }
      if (int art = heaviest(Role::Attack, noneOf(ArtKind::HpRecovery))) return art;
      if (int art = heaviest(Role::Attack, noneOf(ArtKind::MpRecovery))) return art;
      return heaviestAny(Role::Attack);
    default:
      return 0;
  }
}

// The effect kind of the attack art the player's pattern spells.
ArtKind playerAttackKind() {
  const BattleSide& player = battle.side[0];
  const int art = findArt(Role::Attack, player.playedPattern, sizeof player.playedPattern);
  return art ? artKind(db.attackArts[art]) : ArtKind::None;
}

}  // namespace

bool playCardsOf(int side, const char* pattern, size_t maxLength) {
  int slots[kHandSlots];
  const int count = patternSlots(side, pattern, maxLength, slots);
  for (int i = 0; i < count; ++i) {
    if (!playCard(side, slots[i])) return false;
  }
  return true;
}

namespace {

template <typename Filter>
bool playHandCards(Filter keep) {
  const BattleSide& me = battle.side[1];
  for (int k = 1; k <= handLimit(); ++k) {
    const HandSlot& slot = me.hand[k];
    if (slot.card != 0 && slot.inHand && keep(slot.card)) {
      if (!playCard(1, k)) return false;
    }
  }
  return true;
}

// The player chooses next: the view comes down to the hand and the list.
bool handOverToPlayer(int32_t nextMode) {
  if (!scrollViewDown()) return false;
  shell.InputMode = nextMode;
  rebuildCandidates();
  redrawBattle();
  return true;
}

}  // namespace

int chooseAttack() {
  markCandidates(Role::Attack);
  int art = cureIfPoisoned(Role::Attack);
  if (art == 0 && battle.side[0].deckLeft == 0) {
    // The player is running out of cards: press the attack home.
    art = heaviest(Role::Attack, anyOf(ArtKind::PhysicalDamage, ArtKind::MagicDamage));
  }
  if (art == 0) art = attackByStyle();
  return art;
}

int chooseDefence() {
  const BattleSide& player = battle.side[0];
  for (int n = 1; n <= handLimit(); ++n) {
    if (player.played[n].card == kCancelCard) return 0;
  }
  const ArtKind k = playerAttackKind();
  markCandidates(Role::Defence);
  if (int art = cureIfPoisoned(Role::Defence)) return art;
  if (player.deckLeft == 0 && k == ArtKind::None) return 0;
  if (battle.opponentStyle < 1 || battle.opponentStyle > 3) return 0;

  const SideVitals me = sideVitals(1);
  if (me.hp <= me.maxHp / 3) {
    if (int art = heaviest(Role::Defence, anyOf(ArtKind::HpRecovery))) return art;
  }
  if (k == ArtKind::PhysicalDamage) {
    if (int art = heaviest(Role::Defence, anyOf(ArtKind::PhysicalScale, ArtKind::PhysicalCounter)))
      return art;
  } else if (k == ArtKind::MagicDamage) {
    if (int art = heaviest(Role::Defence, anyOf(ArtKind::MagicScale, ArtKind::MagicCounter)))
      return art;
  }
  const int art = heaviestAny(Role::Defence);
  if (art != 0 && artKind(db.defenceArts[art]) == ArtKind::MpRecovery && me.mp >= me.maxMp / 2)
    return 0;
  return art;
}

bool playOpponentCards() {
  BattleSide& me = battle.side[1];
  me.playedPattern[0] = '\0';
  if (battle.turn == 1) battle.idleSince = 0;

  const int32_t playMode = shell.InputMode;
  const bool attacks = mode::OpponentAttacking(playMode);
  const bool intercepts =
      playMode == mode::OpponentIntercepts || playMode == mode::OpponentInterceptsSecond;
  const int art = attacks ? chooseAttack() : intercepts ? chooseDefence() : 0;

  if (art != 0) {
    battle.idleSince = 0;
    const ArtsRecord& record = attacks ? db.attackArts[art] : db.defenceArts[art];
    if (!playCardsOf(1, record.pattern, sizeof record.pattern)) return false;
  } else if (battle.idleSince == 0) {
    battle.idleSince = battle.turn;
  } else if (battle.idleSince < battle.turn - 1) {
    // Stalled since the turn before last: throw the hand away to draw anew.
    if (!playHandCards([](uint32_t) { return true; })) return false;
  }
  // Cards without a symbol spell nothing and always go along.
  if (!playHandCards([](uint32_t card) { return cardAttribute(card) == 0; })) return false;

  shell.InputMode = mode::Busy;
  switch (playMode) {
    case mode::OpponentAttacks:
      return handOverToPlayer(mode::PlayerIntercepts);
    case mode::OpponentAttacksSecond:
      return handOverToPlayer(mode::PlayerInterceptsSecond);
    case mode::OpponentIntercepts:
      return resolveExchange(0, 0);
    case mode::OpponentInterceptsSecond:
      return resolveExchange(1, 0);
    default:
      return true;
  }
}
