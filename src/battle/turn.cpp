// The battle has no loop of its own: it waits in a choosing mode, and the
// click that decides runs the opponent's answer, the exchange and the way
// to the next waiting mode, all inside that click.
#include "battle/turn.h"

#include <algorithm>
#include <cstring>

#include "battle/arts.h"
#include "battle/battle.h"
#include "battle/battle_screen.h"
#include "battle/card_detail.h"
#include "battle/effects.h"
#include "battle/opponent.h"
#include "battle/rules.h"
#include "core/random.h"
#include "core/waits.h"
#include "data/database.h"
#include "data/player.h"
#include "graphics/blit.h"
#include "graphics/image.h"
#include "platform/platform.h"
#include "sound/music.h"

namespace {

bool Inside(int v, int low, int high) { return v >= low && v < high; }

// Hand slot k's click rectangle, seen with the view scrolled down.
bool OnHandSlot(int x, int y, int k) {
  const SlotPosition p = handPosition(0, k);
  return Inside(x, p.x, p.x + kCardWidth) && Inside(y, p.y - kMaxViewOffset, p.y - 4);
}

// The decide square: the marker's 62 x 62 square, seen with the view
// scrolled down.
bool OnDecideSquare(int x, int y) { return x >= 289 && x <= 350 && y >= 69 && y <= 130; }

int HandSlotAt(int x, int y) {
  for (int k = 1; k <= battle.handSize; ++k) {
    if (OnHandSlot(x, y, k)) return k;
  }
  return 0;
}

uint32_t PlayedCardAt(int x, int y) {
  int side = 0, entry = 0;
  if (!playedCardAt(x, y, side, entry)) return 0;
  return battle.side[side].played[entry].card;
}

int PlayedCount(int side) {
  int n = 0;
  while (n < kHandSlots && battle.side[side].played[n + 1].fromSlot != 0) ++n;
  return n;
}

// The barrier and field icons of both sides open their help.
bool HelpIcons(int x, int y) {
  const int off = gfx.ViewOffset;
  const bool playerRow = Inside(y, 196 - off, 221 - off);
  const bool opponentRow = Inside(y, 146 - off, 171 - off);
  if (battle.side[0].HasBarrier() && playerRow && x > 592 && x < 614) {
    if (!showBarrierHelp(0)) return false;
  }
  if (battle.side[1].HasBarrier() && opponentRow && x > 60 && x < 82) {
    if (!showBarrierHelp(1)) return false;
  }
  if (battle.AnyField() &&
      ((playerRow && x > 613 && x < 635) || (opponentRow && x > 81 && x < 102))) {
    if (!showFieldHelp()) return false;
  }
  return true;
}

// What the player's pattern so far is: 0 unknown, 2 known without an art,
// 1 known and spelling an art of the table being chosen from.
int32_t PatternHint() {
  const char* pattern = battle.side[0].playedPattern;
  const int code = patternCode(pattern);
  if (code == 0) return 0;
  const bool attack = mode::PlayerAttacking(shell.InputMode);
  const uint8_t* known = attack ? player.knownAttackPatterns : player.knownDefencePatterns;
  if (!known[code]) return 0;
  return findArt(attack ? Role::Attack : Role::Defence, pattern,
                 sizeof battle.side[0].playedPattern) != 0
             ? 1
             : 2;
}

// The clicked played card and every one played after it go back to their
// slots, last first.
bool TakeBack(int clicked) {
  BattleSide& me = battle.side[0];
  for (int n = battle.handSize; n >= 1; --n) {
    PlayedCard& entry = me.played[n];
    if (entry.fromSlot == 0) continue;
    const int slot = entry.fromSlot;
    const uint32_t card = entry.card;
    entry = PlayedCard{};
    const SlotPosition from = playedPosition(0, n), to = handPosition(0, slot);
    if (!moveCard(0, 1, n, true, from.x, from.y, to.x, to.y)) return false;
    me.hand[slot].inHand = 1;
    if (cardAttribute(card) != 0) {
      const size_t length = strnlen(me.playedPattern, sizeof me.playedPattern);
      me.playedPattern[length >= 2 ? length - 2 : 0] = '\0';
    }
    if (slot == clicked) break;
  }
  return true;
}

bool HandClick(int k) {
  BattleSide& me = battle.side[0];
  if (me.hand[k].card == 0) return true;
  const int before = PlayedCount(0);
  if (me.hand[k].inHand) {
    if (!playCard(0, k)) return false;
  } else if (!TakeBack(k)) {
    return false;
  }
  battle.patternHint = PatternHint();
  // The row as wide as it was or is now, whichever is wider.
  const int count = std::max(before, PlayedCount(0));
  const SlotPosition first = playedPosition(0, 1);
  const int32_t width = 16 * count + 84;
  drawBattle(first.x, first.y, width, kCardHeight);
  InvalidateArea(first.x, first.y - gfx.ViewOffset, width, kCardHeight);
  rebuildCandidates();
  return true;
}

// The player's turn to choose: the view down, the mode, the marker and the
// list of arts the hand can reach.
bool HandOverToPlayer(int32_t choosingMode) {
  if (!scrollViewDown()) return false;
  shell.InputMode = choosingMode;
  battle.attackMarker = 1;
  rebuildCandidates();
  redrawBattle();
  return true;
}

}  // namespace

bool decideExchange() {
  const int32_t remembered = shell.InputMode;
  shell.InputMode = mode::Busy;
  // The square lit under the pointer is no button while the exchange runs.
  battle.decideLit = false;
  if (!scrollViewUp()) return false;
  PlayWave(kDecisionSound, plat::kWaveAsync);
  plat::host().SleepMs(100);
  switch (remembered) {
    case mode::PlayerAttacks:
      shell.InputMode = mode::OpponentIntercepts;
      return playOpponentCards();
    case mode::PlayerIntercepts:
      return resolveExchange(0, 1);
    case mode::PlayerAttacksSecond:
      shell.InputMode = mode::OpponentInterceptsSecond;
      return playOpponentCards();
    case mode::PlayerInterceptsSecond:
      return resolveExchange(1, 1);
    default:
      return true;
  }
}

bool playCard(int side, int k) {
  BattleSide& s = battle.side[side];
  HandSlot& slot = s.hand[k];
  slot.inHand = 0;
  int n = 1;
  while (n < kHandSlots && s.played[n].fromSlot != 0) ++n;
  const SlotPosition from = handPosition(side, k), to = playedPosition(side, n);
  if (!moveCard(side, 0, k, true, from.x, from.y, to.x, to.y)) return false;
  s.played[n] = {slot.card, k};
  Copy(gfx.PartsSheet, kCardWidth * n, 400 + kCardHeight * side, kCardWidth, kCardHeight,
       gfx.PartsSheet, kCardWidth * k, kCardHeight * side);
  if (const char* symbol = attributeSymbol(cardAttribute(slot.card))) {
    const size_t length = strnlen(s.playedPattern, sizeof s.playedPattern);
    if (length + 2 < sizeof s.playedPattern) {
      std::memcpy(s.playedPattern + length, symbol, 2);
      s.playedPattern[length + 2] = '\0';
    }
  }
  return true;
}

bool startTurn() {
  battle.attackMarker = 0;
  redrawBattle();
  if (!turnBanner()) return false;
  drawBattle(0, 0, kClientWidth, kClientHeight);
  InvalidateAll();
  if (NextRandom() % 2 == 0) return HandOverToPlayer(mode::PlayerAttacks);
  shell.InputMode = mode::OpponentAttacks;
  battle.attackMarker = 2;
  redrawBattle();
  return playOpponentCards();
}

bool resolveExchange(int e, int a) {
  const int d = 1 - a;
  for (BattleSide& s : battle.side) {
    s.physDamage = s.magicDamage = s.mpCharge = s.hpRecovery = s.mpRecovery = 0;
  }
  if (!performArt(a, Role::Attack) || !applyCardEffects(a, Role::Attack)) return false;
  applyBarriers(a);
  if (!performArt(d, Role::Defence) || !applyCardEffects(d, Role::Defence)) return false;
  applyBarriers(d);
  if (!applyFields()) return false;
  // The HP each side takes from the other in the exchange, for the record.
  for (int s = 0; s < 2; ++s) {
    const BattleSide& side = battle.side[s];
    const int64_t dealt = int64_t{side.physDamage} + side.magicDamage;
    battle.record.damage[s] += std::min<int64_t>(std::max<int64_t>(dealt, 0), sideVitals(1 - s).hp);
  }
  if (!applyExchange()) return false;
  applyPoison(0);
  applyPoison(1);
  redrawBattle();
  switch (checkBattleEnd(e)) {
    case 0:
      return false;
    case 2:
      return true;
    default:
      break;
  }
  if (e == 0) {
    if (!compactBothHands()) return false;
    if (a == 0) {
      shell.InputMode = mode::OpponentAttacksSecond;
      battle.attackMarker = 2;
      redrawBattle();
      return playOpponentCards();
    }
    if (!scrollViewDown()) return false;
    shell.InputMode = mode::PlayerAttacksSecond;
    battle.attackMarker = 1;
    rebuildCandidates();
    drawBattle(0, gfx.ViewOffset, kClientWidth, kClientHeight);
    InvalidateAll();
    plat::host().UpdateNow();
    return true;
  }
  endTurn();
  return fillBothHands() && startTurn();
}

int battleOutcome(int e) {
  auto hasCards = [](int side) {
    const BattleSide& s = battle.side[side];
    if (s.deckLeft != 0) return true;
    for (int k = 1; k <= battle.handSize; ++k) {
      if (s.hand[k].card != 0 && s.hand[k].inHand) return true;
    }
    return false;
  };
  const int32_t myHp = sideVitals(0).hp, theirHp = sideVitals(1).hp;
  // Later rules override earlier ones: HP decides over cards.
  int result = -1;
  const bool mine = hasCards(0), theirs = hasCards(1);
  if (mine && !theirs) result = 0;
  if (!mine && theirs) result = 2;
  if (!mine && !theirs) result = 1;
  if (myHp == 0 && theirHp == 0) result = 1;
  if (battle.turn == 30 && e == 1 && myHp > 0 && theirHp > 0) result = 1;
  if (myHp > 0 && theirHp == 0) result = 0;
  if (myHp == 0 && theirHp > 0) result = 2;
  return result;
}

int checkBattleEnd(int e) {
  const int result = battleOutcome(e);
  if (result < 0) return 1;
  return finishBattle(result) ? 2 : 0;
}

void endTurn() {
  ++battle.turn;
  for (int s = 0; s < 2; ++s) {
    const SideVitals v = sideVitals(s);
    addClamp(v.mp, v.maxMp / 5, v.maxMp);
    if (battle.side[s].curseTurns > 0) --battle.side[s].curseTurns;
  }
}

bool finishBattle(int result) {
  player.result = result;
  if (!resultBanner(result)) return false;
  redrawBattle();
  return leaveBattle() != 0;
}

bool battleClick(int x, int y) {
  if (const int k = HandSlotAt(x, y)) {
    if (!HandClick(k)) return false;
  }
  if (OnDecideSquare(x, y)) {
    // Whatever the click passed on to would act on the next exchange's
    // screen, or on the scenario's.
    return decideExchange();
  }
  if (x > 609 && x < 638) {
    if (y > 341 && y < 368) candidatesUp();
    if (y > 449 && y < 476) candidatesDown();
  }
  if (!showCardDetail(static_cast<int>(PlayedCardAt(x, y)))) return false;
  return HelpIcons(x, y);
}

bool battleRightClick(int x, int y) {
  uint32_t card = 0;
  if (const int k = HandSlotAt(x, y)) card = battle.side[0].hand[k].card;
  if (const uint32_t played = PlayedCardAt(x, y)) card = played;
  if (!showCardDetail(static_cast<int>(card))) return false;
  return HelpIcons(x, y);
}

bool battleHover(int x, int y) {
  hoverPlayed(x, y);
  hoverDecide(mode::PlayerChooses(shell.InputMode) && OnDecideSquare(x, y));
  return true;
}
