// What the played cards do besides their art, the lasting barriers and
// fields the arts leave behind, and the poison and curse a battle can bring.
#include "battle/effects.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "battle/arts.h"
#include "battle/battle.h"
#include "battle/battle_screen.h"
#include "battle/effects_texts.h"
#include "battle/rules.h"
#include "core/random.h"
#include "core/waits.h"
#include "data/database.h"
#include "graphics/blit.h"
#include "graphics/image.h"
#include "graphics/k16.h"
#include "graphics/transition.h"
#include "platform/platform.h"
#include "platform/sjis.h"

namespace {

constexpr int32_t kAmountCap = 99999;
constexpr int32_t kForbidding = -9999;  // a field this low forbids what it touches
constexpr int32_t kCentreX = 270, kCentreY = 171;
constexpr int32_t kPlayedRowY = 400;
constexpr uint32_t kShade = 0x646464;
constexpr uint32_t kShownMs = 2000, kCardTextMs = 5000, kFieldTextMs = 5000;
constexpr int32_t kDissolveType = 8, kDissolveLastStep = 49;

int32_t Saturate(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// Negating the lowest int32 has no int32 result; a guard that large still
// drives any positive amount to 0 through addClamp, as the true value would.
int32_t Negated(int32_t v) { return Saturate(-int64_t{v}); }

void Scale(int32_t& x, int32_t p) { x = percentOf(x, p); }

// "+n if not 0": a bonus only for an amount something already produced.
void AddIfSet(int32_t& x, int32_t n) {
  if (x != 0) x = Saturate(int64_t{x} + n);
}

void TakeIfSet(int32_t& x, int32_t n) {
  if (x != 0) subtractFloor(x, n);
}

void AddCapped(int32_t& x, int32_t n, int32_t cap) {
  x = static_cast<int32_t>(std::min<int64_t>(int64_t{x} + n, cap));
}

int32_t* Barriers(BattleSide& s, int i) {
  int32_t* slots[6] = {&s.physAttackUp, &s.physGuard,    &s.magicAttackUp,
                       &s.magicGuard,   &s.hpRecoveryUp, &s.mpRecoveryUp};
  return slots[i];
}

int32_t* Fields(int i) {
  int32_t* slots[6] = {&battle.physAttackField, &battle.physGuardField,  &battle.magicAttackField,
                       &battle.magicGuardField, &battle.hpRecoveryField, &battle.mpRecoveryField};
  return slots[i];
}

void ScaleBarriers(int side, int32_t p) {
  for (int i = 0; i < 6; ++i) Scale(*Barriers(battle.side[side], i), p);
}

void ScaleFields(int32_t p) {
  for (int i = 0; i < 6; ++i) Scale(*Fields(i), p);
}

int HandSlots() { return std::clamp(battle.handSize, 1, kHandSlots); }

// The lowest slot holding a card that can still be played, or 0.
int FirstHandCard(int side) {
  const BattleSide& s = battle.side[side];
  for (int k = 1; k <= HandSlots(); ++k) {
    if (s.hand[k].card != 0 && s.hand[k].inHand) return k;
  }
  return 0;
}

void DiscardFirst(int side) {
  if (const int k = FirstHandCard(side)) battle.side[side].hand[k].card = 0;
}

void DiscardHand(int side) {
  for (int k = 1; k <= HandSlots(); ++k) {
    HandSlot& slot = battle.side[side].hand[k];
    if (slot.inHand) slot.card = 0;
  }
}

void CancelPlay(int side) {
  BattleSide& s = battle.side[side];
  for (PlayedCard& p : s.played) p = PlayedCard{};
  s.playedPattern[0] = '\0';
}

// ---- drawing ----

void DrawAtCentre(int side, int entry) {
  CopyKeyed(gfx.Screen, kCentreX, kCentreY, kCardWidth, kCardHeight, gfx.PartsSheet,
            kCardWidth * entry, kPlayedRowY + kCardHeight * side, kMagenta);
}

void DarkenView() {
  DarkenRect(gfx.Screen, 0, gfx.ViewOffset, kClientWidth, kClientHeight, kShade);
}

void DrawHandFaceUp(int side, int k) {
  const SlotPosition at = handPosition(side, k);
  CopyKeyed(gfx.Screen, at.x, at.y, kCardWidth, kCardHeight, gfx.PartsSheet, kCardWidth * k,
            kCardHeight * side, kMagenta);
}

// What a card has drawn over the darkened view stays for a click or two
// seconds.
bool Shown() {
  InvalidateAll();
  plat::host().UpdateNow();
  FrameStart();
  return WaitOrClick(kShownMs) != 0;
}

bool Failure() { return messageBox({texts::kCardFailure}, kShownMs); }

// The view changes from what it shows to the battle as it now stands, the
// card held in the middle of both. The transition works on the image's top
// 480 rows, which are the view while the exchange is resolved; with the
// view scrolled the next redraw shows the change instead.
bool Dissolve(int side, int entry) {
  DrawAtCentre(side, entry);
  if (gfx.ViewOffset != 0) return true;
  Image::SwapBuffers(gfx.Screen, gfx.BackPage);
  drawBattle(0, 0, kClientWidth, kClientHeight);
  DrawAtCentre(side, entry);
  Image::SwapBuffers(gfx.Screen, gfx.BackPage);
  for (int32_t step = 0; step <= kDissolveLastStep; ++step) {
    FrameStart();
    Transition(gfx.Screen, gfx.BackPage, kDissolveType, step);
    if (!WaitUntil(10)) return false;
  }
  return true;
}

// With the deck used up the look finds no picture: the view stays dark for
// the same while.
bool ShowNextDeckCard() {
  const BattleSide& me = battle.side[0];
  DarkenView();
  if (me.drawIndex >= 1 && me.drawIndex <= kBattleDeckSize) {
    char file[32];
    std::snprintf(file, sizeof file, "cards\\cards%u.K16",
                  static_cast<unsigned>(me.deck[me.drawIndex]));
    LoadK16RectKeyed(gfx.Screen, file, kCentreX, kCentreY, kCardWidth, kCardHeight, 0, 0);
  }
  return Shown();
}

bool ShowFirstHandCard(int side) {
  DarkenView();
  if (const int k = FirstHandCard(side)) DrawHandFaceUp(side, k);
  return Shown();
}

bool ShowHand(int side) {
  DarkenView();
  const BattleSide& s = battle.side[side];
  for (int k = 1; k <= HandSlots(); ++k) {
    if (s.hand[k].card != 0 && s.hand[k].inHand) DrawHandFaceUp(side, k);
  }
  return Shown();
}

// ---- the random event ----

void Restore(int side) {
  const SideVitals v = sideVitals(side);
  v.hp = v.maxHp;
  v.mp = v.maxMp;
}

bool RandomEvent(int s, int entry) {
  const int o = 1 - s;
  DarkenView();
  DrawAtCentre(s, entry);
  static constexpr const char* kMessages[10] = {
      texts::kEventOtherZero,    texts::kEventOwnZero,     texts::kEventBothAfflicted,
      texts::kEventBothRestored, texts::kEventBothHpOne,   texts::kEventBothMpZero,
      texts::kEventNothing,      texts::kEventOwnRestored, texts::kEventOtherRestored,
      texts::kEventBothHpZero};
  const int r = NextRandom() % 10;
  if (!messageBox({kMessages[r]}, kShownMs)) return false;
  const SideVitals mine = sideVitals(s), theirs = sideVitals(o);
  switch (r) {
    case 0:
      theirs.hp = theirs.mp = 0;
      break;
    case 1:
      mine.hp = mine.mp = 0;
      break;
    case 2:
      // Protections do not help against this one.
      for (BattleSide& side : battle.side) {
        side.poisonGuard = 0;
        side.poisoned = 1;
        side.curseGuard = 0;
        side.curseTurns = 3;
      }
      break;
    case 3:
      Restore(0);
      Restore(1);
      break;
    case 4:
      mine.hp = theirs.hp = 1;
      break;
    case 5:
      mine.mp = theirs.mp = 0;
      break;
    case 7:
      Restore(s);
      break;
    case 8:
      Restore(o);
      break;
    case 9:
      mine.hp = theirs.hp = 0;
      break;
    default:
      break;
  }
  return true;
}

// ---- the table of effects ----

// Effects that are the same in both roles.
bool EitherRole(int s, int entry, uint32_t card, bool& handled) {
  const int o = 1 - s;
  BattleSide& me = battle.side[s];
  const SideVitals mine = sideVitals(s), theirs = sideVitals(o);
  handled = true;
  switch (card) {
    case 6:
      ScaleBarriers(s, 105);
      break;
    case 8:
      Scale(me.hpRecovery, 110);
      break;
    case 14:
      poisonSide(s);
      poisonSide(o);
      break;
    case 17:
      Scale(theirs.mp, 80);
      break;
    case 22:
      AddCapped(mine.hp, 300, mine.maxHp);
      break;
    case 25:
      return ShowHand(o);
    case 27:
      DiscardFirst(o);
      return Dissolve(s, entry);
    case 28:
      clearFields();
      break;
    case 30:
      curseSide(o);
      break;
    case 31:
      Scale(theirs.mp, 60);
      break;
    case 38:
      TakeIfSet(mine.mp, 100);
      TakeIfSet(theirs.mp, 100);
      break;
    case 39:
      if (mine.hp <= mine.maxHp / 5) mine.mp = mine.maxMp;
      break;
    case 40:
      Scale(mine.hp, 80);
      Scale(theirs.hp, 80);
      break;
    case 42:
      return RandomEvent(s, entry);
    case 43:
      Restore(s);
      break;
    case 47:
      theirs.mp = 0;
      break;
    case 49:
      poisonSide(o);
      curseSide(o);
      break;
    default:
      handled = false;
      break;
  }
  return true;
}

// What an attack card does to the attacker's damage, charge, drain and
// figures alone. False for any other card.
bool AttackAmounts(int s, uint32_t card) {
  BattleSide& me = battle.side[s];
  const SideVitals mine = sideVitals(s);
  switch (card) {
    case 3:
      Scale(me.mpCharge, 95);
      break;
    case 4:
      AddIfSet(me.physDamage, 100);
      break;
    case 5:
      AddIfSet(me.magicDamage, 100);
      break;
    case 7:
      Scale(me.magicDamage, 105);
      Scale(me.physDamage, 95);
      break;
    case 9:
    case 15:
    case 19:
      AddIfSet(me.physDamage, 200);
      break;
    case 13:
      AddIfSet(me.magicDamage, 200);
      break;
    case 20:
    case 29:
      Scale(me.physDamage, 140);
      break;
    case 23:
      TakeIfSet(me.physDamage, 500);
      break;
    case 24:
      Scale(me.magicDamage, 150);
      Scale(me.physDamage, 150);
      Scale(mine.hp, 70);
      break;
    case 32:
      AddIfSet(me.physDamage, 700);
      break;
    case 33:
      me.drain = Saturate(int64_t{me.drain} + 1);
      break;
    case 34:
      AddIfSet(me.physDamage, 1000);
      break;
    case 41:
      me.physDamage = me.magicDamage = 0;
      break;
    case 45:
      TakeIfSet(me.magicDamage, 500);
      break;
    default:
      return false;
  }
  return true;
}

// The rest: looks, draws and chances, barriers and fields, and what the
// card does to the other side.
bool InAttack(int s, int entry, uint32_t card) {
  if (AttackAmounts(s, card)) return true;
  const int o = 1 - s;
  BattleSide& me = battle.side[s];
  const SideVitals mine = sideVitals(s);
  switch (card) {
    case 1:
      // The opponent's look at the next card would show the player nothing.
      return s == 0 ? ShowNextDeckCard() : true;
    case 10:
      return fillHand(s);
    case 11:
      // The card can turn on its own player.
      if (chance(50)) {
        curseSide(s);
        break;
      }
      return messageBox({texts::kCardNotCursed}, kShownMs);
    case 16:
      if (!chance(75)) return Failure();
      poisonSide(o);
      break;
    case 18:
      ScaleBarriers(s, 120);
      ScaleFields(120);
      break;
    case 21:
      Scale(mine.mp, 90);
      ScaleBarriers(s, 140);
      ScaleFields(140);
      break;
    case 26:
      if (!chance(30)) return Failure();
      DiscardHand(o);
      return Dissolve(s, entry);
    case 35:
      CancelPlay(o);
      return Dissolve(s, entry);
    case 36:
      if (const int art = findArt(Role::Defence, battle.side[o].playedPattern, kPlayedPatternSize))
        AddCapped(mine.mp, db.defenceArts[art].mpCost, mine.maxMp);
      break;
    case 44:
      for (int i = 0; i < 6; ++i) {
        int32_t& b = *Barriers(me, i);
        b = Saturate(int64_t{b} * 3);
      }
      break;
    case 46:
      clearBarriers(o);
      break;
    case 48:
      DiscardHand(o);
      CancelPlay(o);
      return Dissolve(s, entry);
    default:
      break;
  }
  return true;
}

// The same for the interceptor's cards.
bool InterceptionAmounts(int s, uint32_t card) {
  const int o = 1 - s;
  BattleSide& me = battle.side[s];
  BattleSide& them = battle.side[o];
  const SideVitals mine = sideVitals(s), theirs = sideVitals(o);
  switch (card) {
    case 5:
      AddIfSet(me.hpRecovery, 100);
      break;
    case 7:
      Scale(me.hpRecovery, 105);
      Scale(me.mpRecovery, 105);
      break;
    case 12:
      Scale(theirs.hp, 95);
      break;
    case 18:
      Scale(me.hpRecovery, 120);
      Scale(me.mpRecovery, 120);
      break;
    case 19:
      TakeIfSet(them.physDamage, 200);
      break;
    case 20:
      Scale(them.physDamage, 80);
      break;
    case 21:
      Scale(mine.mp, 90);
      Scale(me.hpRecovery, 140);
      Scale(me.mpRecovery, 140);
      break;
    case 23:
      TakeIfSet(them.magicDamage, 500);
      break;
    case 29:
      Scale(them.magicDamage, 110);
      break;
    case 35:
    case 46:
      // 35 halves the magic, 46 the physical damage.
      Scale(card == 35 ? them.magicDamage : them.physDamage, 50);
      break;
    case 36:
      if (const int art = findArt(Role::Attack, them.playedPattern, kPlayedPatternSize))
        AddCapped(mine.mp, db.attackArts[art].mpCost, mine.maxMp);
      break;
    case 37:
    case 44:
      Scale(them.physDamage, 50);
      Scale(them.magicDamage, 50);
      break;
    case 41:
      them.physDamage = them.magicDamage = 0;
      break;
    case 45:
      TakeIfSet(them.physDamage, 1000);
      break;
    default:
      return false;
  }
  return true;
}

bool InInterception(int s, int entry, uint32_t card) {
  if (InterceptionAmounts(s, card)) return true;
  const int o = 1 - s;
  BattleSide& me = battle.side[s];
  BattleSide& them = battle.side[o];
  switch (card) {
    case 1:
      return ShowFirstHandCard(o);
    case 2:
      if (!chance(50)) return Failure();
      poisonSide(o);
      break;
    case 11:
      if (!chance(50)) return Failure();
      me.poisoned = 0;
      me.curseTurns = 0;
      break;
    case 26:
      if (!chance(30)) return Failure();
      them.physDamage = them.magicDamage = 0;
      break;
    case 48:
      DiscardHand(o);
      return Dissolve(s, entry);
    default:
      break;
  }
  return true;
}

bool ApplyEffect(int s, int entry, uint32_t card, Role role) {
  bool handled = false;
  if (!EitherRole(s, entry, card, handled)) return false;
  if (handled) return true;
  return role == Role::Attack ? InAttack(s, entry, card) : InInterception(s, entry, card);
}

}  // namespace

bool applyCardEffects(int side, Role role) {
  BattleSide& me = battle.side[side];
  int count = 0;
  while (count < kHandSlots && me.played[count + 1].fromSlot != 0) ++count;
  for (int n = 1; n <= count; ++n) {
    const uint32_t card = me.played[n].card;
    me.played[n] = PlayedCard{};
    const SlotPosition from = playedPosition(side, n);
    if (!moveCard(side, 1, n, true, from.x, from.y, kCentreX, kCentreY)) return false;
    if (!zoomCard(side, n)) return false;
    // A number no card has names nothing and does nothing.
    std::string name, effect;
    if (const CardRecord* record = cardRecord(card)) {
      name = recordText(record->name);
      effect = role == Role::Attack ? recordText(record->attackEffect)
                                    : recordText(record->interceptEffect);
    }
    if (!messageBox({texts::kCardNameOpen, name.c_str(), texts::kCardNameClose, effect.c_str()},
                    kCardTextMs))
      return false;
    if (!ApplyEffect(side, n, card, role)) return false;
    drawBattle(0, gfx.ViewOffset, kClientWidth, kClientHeight);
    DrawAtCentre(side, n);
    InvalidateAll();
    plat::host().UpdateNow();
    const int32_t away = side == 0 ? -kCardWidth : kClientWidth;
    if (!moveCard(side, 1, n, true, kCentreX, kCentreY, away, kCentreY)) return false;
  }
  return true;
}

void applyBarriers(int side) {
  BattleSide& s = battle.side[side];
  BattleSide& o = battle.side[1 - side];
  // Each acts only on an amount the exchange has already produced.
  auto act = [](int32_t& amount, int32_t change) {
    if (change != 0 && amount > 0) addClamp(amount, change, kAmountCap);
  };
  act(s.physDamage, s.physAttackUp);
  act(o.physDamage, Negated(s.physGuard));
  act(s.magicDamage, s.magicAttackUp);
  act(o.magicDamage, Negated(s.magicGuard));
  act(s.hpRecovery, s.hpRecoveryUp);
  act(s.mpRecovery, s.mpRecoveryUp);
}

bool applyFields() {
  const char* message = nullptr;
  auto act = [&message](int32_t& amount, int32_t field, const char* forbids) {
    if (field == 0 || amount <= 0) return;
    addClamp(amount, field, kAmountCap);
    if (forbids && field <= kForbidding) message = forbids;
  };
  for (int side = 0; side < 2; ++side) {
    BattleSide& s = battle.side[side];
    BattleSide& o = battle.side[1 - side];
    act(s.physDamage, battle.physAttackField, texts::kFieldForbidsPhysAttack);
    act(o.physDamage, Negated(battle.physGuardField), nullptr);
    act(s.magicDamage, battle.magicAttackField, texts::kFieldForbidsMagicAttack);
    act(o.magicDamage, Negated(battle.magicGuardField), nullptr);
    act(s.hpRecovery, battle.hpRecoveryField, texts::kFieldForbidsHpRecovery);
    act(s.mpRecovery, battle.mpRecoveryField, texts::kFieldForbidsMpRecovery);
  }
  if (!message) return true;
  if (!messageBox({message}, kFieldTextMs)) return false;
  eraseMessageBox();
  return true;
}

void clearBarriers(int side) {
  for (int i = 0; i < 6; ++i) *Barriers(battle.side[side], i) = 0;
}

void clearFields() {
  for (int i = 0; i < 6; ++i) *Fields(i) = 0;
}

void poisonSide(int side) {
  BattleSide& s = battle.side[side];
  if (s.poisonGuard == 1) {
    s.poisonGuard = 0;
  } else {
    s.poisoned = 1;
  }
}

void curseSide(int side) {
  BattleSide& s = battle.side[side];
  if (s.curseGuard == 1) {
    s.curseGuard = 0;
  } else {
    s.curseTurns = 3;
  }
}

void applyPoison(int side) {
  if (!battle.side[side].poisoned) return;
  const SideVitals v = sideVitals(side);
  subtractFloor(v.hp, std::min(v.maxHp / 10, 999));
}
