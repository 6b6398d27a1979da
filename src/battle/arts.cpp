// Arts resolution: the art a side's played pattern performs, its MP test and
// message, what each effect kind does to the exchange's amounts, and the
// step that turns those amounts into HP and MP.
#include <cstring>
#include <string>

#include "battle/arts.h"
#include "battle/arts_texts.h"
#include "battle/battle.h"
#include "battle/battle_screen.h"
#include "battle/rules.h"
#include "core/waits.h"
#include "data/player.h"
#include "graphics/blit.h"
#include "graphics/image.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t kFlashColour = 0x646464;
constexpr uint32_t kFlashMs = 300;
constexpr uint32_t kArtMessageMs = 5000;

// Sums and products of the exchange's amounts as 32-bit hardware does
// them: data with absurd values wraps instead of being undefined.
int32_t wrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t wrapMul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

int playedCount(const BattleSide& side) {
  int n = 0;
  while (n < kHandSlots && side.played[n + 1].fromSlot != 0) ++n;
  return n;
}

// An art sets at most one barrier of a side and one field of the battle:
// the new one replaces whatever was there.
void setBarrier(BattleSide& side, int32_t BattleSide::*slot, int32_t v) {
  side.physAttackUp = side.physGuard = side.magicAttackUp = side.magicGuard = 0;
  side.hpRecoveryUp = side.mpRecoveryUp = 0;
  side.*slot = v;
}

void setField(int32_t BattleState::*slot, int32_t v) {
  battle.physAttackField = battle.physGuardField = battle.magicAttackField = 0;
  battle.magicGuardField = battle.hpRecoveryField = battle.mpRecoveryField = 0;
  battle.*slot = v;
}

// The kinds both tables share: recovery in percent of the maximum, and the
// status cures and guards, all on the side performing the art.
bool applyOwnKind(int s, ArtKind kind, int32_t v) {
  BattleSide& me = battle.side[s];
  const SideVitals vitals = sideVitals(s);
  switch (kind) {
    case ArtKind::HpRecovery:
      me.hpRecovery = percentOf(vitals.maxHp, v);
      return true;
    case ArtKind::MpRecovery:
      me.mpRecovery = percentOf(vitals.maxMp, v);
      return true;
    case ArtKind::CurePoison:
      me.poisoned = 0;
      return true;
    case ArtKind::PoisonGuard:
      me.poisonGuard = 1;
      return true;
    case ArtKind::CureCurse:
      me.curseTurns = 0;
      return true;
    case ArtKind::CurseGuard:
      me.curseGuard = 1;
      return true;
    default:
      return false;
  }
}

void applyAttackKind(int s, ArtKind kind, int32_t v) {
  if (applyOwnKind(s, kind, v)) return;
  BattleSide& me = battle.side[s];
  // A barrier with a negative value is a curse laid on the other side.
  BattleSide& target = battle.side[v >= 0 ? s : 1 - s];
  switch (kind) {
    case ArtKind::PhysicalDamage:
      me.physDamage = v;
      break;
    case ArtKind::PhysicalAttackBarrier:
      setBarrier(target, &BattleSide::physAttackUp, v);
      break;
    case ArtKind::PhysicalAttackField:
      setField(&BattleState::physAttackField, v);
      break;
    case ArtKind::PhysicalGuardBarrier:
      setBarrier(target, &BattleSide::physGuard, v);
      break;
    case ArtKind::PhysicalGuardField:
      setField(&BattleState::physGuardField, v);
      break;
    case ArtKind::MagicDamage:
      me.magicDamage = v;
      break;
    case ArtKind::MagicAttackBarrier:
      setBarrier(target, &BattleSide::magicAttackUp, v);
      break;
    case ArtKind::MagicAttackField:
      setField(&BattleState::magicAttackField, v);
      break;
    case ArtKind::MagicGuardBarrier:
      setBarrier(target, &BattleSide::magicGuard, v);
      break;
    case ArtKind::MagicGuardField:
      setField(&BattleState::magicGuardField, v);
      break;
    case ArtKind::HpRecoveryBarrier:
      setBarrier(me, &BattleSide::hpRecoveryUp, v);
      break;
    case ArtKind::HpRecoveryField:
      setField(&BattleState::hpRecoveryField, v);
      break;
    case ArtKind::MpRecoveryBarrier:
      setBarrier(me, &BattleSide::mpRecoveryUp, v);
      break;
    case ArtKind::MpRecoveryField:
      setField(&BattleState::mpRecoveryField, v);
      break;
    default:
      break;
  }
}

// The interceptor's art works on what the attacker has already produced.
void applyDefenceKind(int s, ArtKind kind, int32_t v) {
  if (applyOwnKind(s, kind, v)) return;
  BattleSide& me = battle.side[s];
  BattleSide& other = battle.side[1 - s];
  switch (kind) {
    case ArtKind::PhysicalScale:
      other.physDamage = percentOf(wrapAdd(v, 100), other.physDamage);
      break;
    case ArtKind::PhysicalCounter:
      me.physDamage = percentOf(other.physDamage, v);
      break;
    case ArtKind::MagicScale:
      other.magicDamage = percentOf(wrapAdd(v, 100), other.magicDamage);
      break;
    case ArtKind::MagicCounter:
      me.magicDamage = percentOf(other.magicDamage, v);
      break;
    default:
      break;
  }
}

bool flashPlayedRow(int s) {
  const int n = playedCount(battle.side[s]);
  if (n == 0) return true;
  const SlotPosition p = playedPosition(s, 1);
  const int32_t w = 16 * n + 84;
  FrameStart();
  BrightenRect(gfx.Screen, p.x, p.y, w, kCardHeight, kFlashColour);
  InvalidateArea(p.x, p.y - gfx.ViewOffset, w, kCardHeight);
  return WaitUntil(kFlashMs) != 0;
}

int32_t damageOf(const BattleSide& side) { return wrapAdd(side.magicDamage, side.physDamage); }

}  // namespace

ArtsRecord* artsTable(Role role, int& count) {
  if (role == Role::Attack) {
    count = kAttackArtsCount;
    return db.attackArts;
  }
  count = kDefenceArtsCount;
  return db.defenceArts;
}

bool patternEquals(const ArtsRecord& art, const char* pattern, size_t maxLength) {
  // A field with no terminator is 13 bytes long, longer than any pattern
  // six cards can spell, so it matches nothing rather than reading past it.
  const size_t length = strnlen(art.pattern, sizeof art.pattern);
  return strnlen(pattern, maxLength) == length && std::memcmp(art.pattern, pattern, length) == 0;
}

int findArt(Role role, const char* pattern, size_t maxLength) {
  int count = 0;
  const ArtsRecord* table = artsTable(role, count);
  for (int i = 1; i <= count; ++i) {
    if (patternEquals(table[i], pattern, maxLength)) return i;
  }
  return 0;
}

bool performArt(int s, Role role) {
  BattleSide& me = battle.side[s];
  if (!flashPlayedRow(s)) return false;

  // The pattern is a side's own and always ends within its array; the copy
  // keeps patternCode from reading past it all the same.
  char pattern[kPlayedPatternSize + 1] = {};
  std::memcpy(pattern, me.playedPattern, sizeof me.playedPattern);
  if (s == 0) {
    uint8_t* known =
        role == Role::Attack ? player.knownAttackPatterns : player.knownDefencePatterns;
    known[patternCode(pattern)] = 1;
  }

  int count = 0;
  ArtsRecord* table = artsTable(role, count);
  const int found = findArt(role, pattern, sizeof pattern);
  const int32_t mp = sideVitals(s).mp;
  bool performs = false;
  bool shown = false;
  if (found == 0) {
    shown = messageBox({texts::kArtFailed}, kArtMessageMs);
  } else {
    ArtsRecord& art = table[found];
    if (s == 0) art.learned = 1;
    // Charged even when the test fails: the side's MP then falls to 0.
    me.mpCharge = art.mpCost;
    performs = mp >= art.mpCost;
    if (!performs) {
      shown = messageBox({texts::kArtNoMp}, kArtMessageMs);
    } else {
      const std::string artPattern = recordText(art.pattern);
      const std::string name = recordText(art.name);
      const std::string effect = recordText(art.effectText);
      shown = messageBox({artPattern.c_str(), texts::kArtNameOpen, name.c_str(),
                          texts::kArtNameClose, effect.c_str()},
                         kArtMessageMs);
    }
  }
  if (!shown) return false;

  if (performs) {
    const ArtsRecord& art = table[found];
    if (role == Role::Attack) {
      applyAttackKind(s, artKind(art), art.effectValue);
      ++battle.record.attackArts[s][found];
    } else {
      applyDefenceKind(s, artKind(art), art.effectValue);
      ++battle.record.defenceArts[s][found];
    }
  }

  drawBattle(0, 0, kClientWidth, kClientHeight);
  InvalidateAll();
  plat::host().UpdateNow();
  return true;
}

bool applyExchange() {
  BattleSide& player0 = battle.side[0];
  BattleSide& opponent = battle.side[1];
  const SideVitals v[2] = {sideVitals(0), sideVitals(1)};

  for (int s = 0; s < 2; ++s) subtractFloor(v[s].mp, battle.side[s].mpCharge);
  redrawBattle();
  for (int s = 0; s < 2; ++s) addClamp(v[s].mp, battle.side[s].mpRecovery, v[s].maxMp);
  redrawBattle();
  subtractFloor(v[0].hp, damageOf(opponent));
  subtractFloor(v[1].hp, damageOf(player0));
  redrawBattle();
  for (BattleSide& side : battle.side) {
    side.hpRecovery = wrapAdd(side.hpRecovery, wrapMul(damageOf(side), side.drain));
  }
  for (BattleSide& side : battle.side) side.drain = 0;
  // A side knocked out in this exchange stays down, drain or not.
  for (int s = 0; s < 2; ++s) {
    if (v[s].hp > 0) addClamp(v[s].hp, battle.side[s].hpRecovery, v[s].maxHp);
  }
  redrawBattle();
  return true;
}
