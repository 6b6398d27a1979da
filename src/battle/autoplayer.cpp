#include "battle/autoplayer.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "battle/arts.h"
#include "battle/battle.h"
#include "battle/rules.h"
#include "core/waits.h"
#include "data/database.h"
#include "data/player.h"
#include "graphics/image.h"
#include "script/presentation.h"

namespace {

// Counts of attributes 1..4 among the player's cards still in hand.
std::array<int32_t, 5> HandCounts() {
  std::array<int32_t, 5> counts{};
  for (int k = 1; k <= battle.handSize && k <= kHandSlots; ++k) {
    const HandSlot& slot = battle.side[0].hand[k];
    if (slot.card != 0 && slot.inHand) ++counts[static_cast<size_t>(cardAttribute(slot.card))];
  }
  return counts;
}

// Whether the hand can spell the pattern (each symbol needs its own card).
bool Spellable(const char* pattern, size_t size, std::array<int32_t, 5> counts) {
  const size_t length = strnlen(pattern, size);
  for (size_t i = 0; i + 1 < length; i += 2) {
    const int attribute = symbolAttribute(pattern + i);
    if (attribute == 0 || counts[static_cast<size_t>(attribute)]-- <= 0) return false;
  }
  return true;
}

// Thrown by the greedy player only with an art of its own: its throw may as
// well undo the player.
constexpr uint32_t kDieCard = 42;

// An attack art's other kinds.
int64_t AttackSideWorth(const ArtsRecord& art) {
  const int64_t v = art.effectValue;
  switch (artKind(art)) {
    case ArtKind::PhysicalAttackBarrier:
    case ArtKind::PhysicalGuardBarrier:
    case ArtKind::MagicAttackBarrier:
    case ArtKind::MagicGuardBarrier:
      // A barrier of either sign is meant to help its maker: raised own
      // damage or guard, or the other side's lowered.
      return (v < 0 ? -v : v) / 4;
    default:
      return v > 0 ? v / 4 : 0;
  }
}

// A defence art against the attack the opponent has laid down.
int64_t DefenceWorth(const ArtsRecord& art) {
  const int64_t v = art.effectValue;
  const BattleSide& them = battle.side[1];
  const int attackArt = findArt(Role::Attack, them.playedPattern, sizeof them.playedPattern);
  const ArtKind incomingKind = attackArt ? artKind(db.attackArts[attackArt]) : ArtKind::None;
  const int64_t incoming = attackArt ? db.attackArts[attackArt].effectValue : 0;
  const bool physical = incomingKind == ArtKind::PhysicalDamage;
  const bool magic = incomingKind == ArtKind::MagicDamage;
  const ArtKind kind = artKind(art);
  if ((kind == ArtKind::PhysicalScale && physical) || (kind == ArtKind::MagicScale && magic))
    return -v * incoming / 100;
  if ((kind == ArtKind::PhysicalCounter && physical) || (kind == ArtKind::MagicCounter && magic))
    return v * incoming / 100;
  return 0;
}

// What an art is worth to the player right now, in HP-like points: damage
// dealt, damage kept off, HP or MP won back, poison cured. Other kinds count
// for little.
int64_t Worth(const ArtsRecord& art, bool attack) {
  const SideVitals me = sideVitals(0);
  const int64_t v = art.effectValue;
  switch (artKind(art)) {
    case ArtKind::PhysicalDamage:
    case ArtKind::MagicDamage:
      return attack ? v : 0;
    case ArtKind::HpRecovery:
      return std::min<int64_t>(int64_t{me.maxHp} * v / 100, me.maxHp - me.hp);
    case ArtKind::MpRecovery:
      return std::min<int64_t>(int64_t{me.maxMp} * v / 100, me.maxMp - me.mp) / 2;
    case ArtKind::CurePoison:
      // A few exchanges of poison spared.
      return battle.side[0].poisoned ? 3 * int64_t{std::min(me.maxHp / 10, 999)} : 0;
    case ArtKind::CureCurse:
      return battle.side[0].curseTurns > 1 ? 50 : 0;
    default:
      break;
  }
  return attack ? AttackSideWorth(art) : DefenceWorth(art);
}

// Where the automation clicks: the battle's decide square under the marker,
// and anywhere in the window to read a scenario's text on.
constexpr plat::Point kDecideSquare{320, 100};
constexpr plat::Point kReadOn{320, 240};

plat::Point Middle(const Choice& c) { return {(c.left + c.right) / 2, (c.top + c.bottom) / 2}; }

// A scripted run's automated battle: on from the first choice it plays until
// the request is used up.
struct Automation {
  bool battling = false;
};
Automation automation;

}  // namespace

int greedyArt() {
  const bool attack = mode::PlayerAttacking(shell.InputMode);
  const ArtsRecord* table = attack ? db.attackArts : db.defenceArts;
  const int count = attack ? kAttackArtsCount : kDefenceArtsCount;
  const auto counts = HandCounts();
  const int32_t mp = sideVitals(0).mp;
  int best = 0;
  int64_t bestWorth = 0;
  for (int i = 1; i <= count; ++i) {
    const ArtsRecord& art = table[i];
    if (!art.learned || art.mpCost > mp || art.pattern[0] == '\0') continue;
    if (!Spellable(art.pattern, sizeof art.pattern, counts)) continue;
    const int64_t worth = Worth(art, attack);
    if (worth > bestWorth) {
      best = i;
      bestWorth = worth;
    }
  }
  return best;
}

int greedySlots(int (&slots)[kHandSlots]) {
  const int art = greedyArt();
  if (art == 0) return 0;
  const ArtsRecord& record =
      mode::PlayerAttacking(shell.InputMode) ? db.attackArts[art] : db.defenceArts[art];
  int count = patternSlots(0, record.pattern, sizeof record.pattern, slots);
  // Cards without a symbol go along with the art, as the opponent's do.
  for (int k = 1; k <= battle.handSize && k <= kHandSlots && count < kHandSlots; ++k) {
    const HandSlot& slot = battle.side[0].hand[k];
    if (slot.card != 0 && slot.card != kDieCard && slot.inHand && cardAttribute(slot.card) == 0 &&
        std::find(slots, slots + count, k) == slots + count)
      slots[count++] = k;
  }
  return count;
}

std::vector<plat::Point> greedyClicks() {
  std::vector<plat::Point> clicks;
  if (!mode::PlayerChooses(shell.InputMode)) return clicks;
  int slots[kHandSlots];
  const int count = greedySlots(slots);
  for (int i = 0; i < count; ++i) {
    const SlotPosition p = handPosition(0, slots[i]);
    clicks.push_back({p.x + kCardWidth / 2, p.y - gfx.ViewOffset + kCardHeight / 2});
  }
  clicks.push_back(kDecideSquare);
  return clicks;
}

std::vector<plat::Point> AutomatedClicks(const std::string& request) {
  if (request != "battle") return {};
  if (mode::PlayerChooses(shell.InputMode)) {
    automation.battling = true;
    return greedyClicks();
  }
  // A battle not won: the scenario's text is read on and its first choice
  // taken (stories offer "try again" first) until the next battle starts.
  if (automation.battling && player.result != 0) {
    if (shell.InputMode == mode::Choice && scene.ChoiceCount > 0) return {Middle(scene.choices[1])};
    if (shell.InputMode == mode::ClickWait || shell.InputMode == mode::ClickWaitClear)
      return {kReadOn};
  }
  automation = Automation{};
  return {};
}

void ResetAutomation() { automation = Automation{}; }
