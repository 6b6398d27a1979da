// Until the exchange rules are in, deciding ends the battle as a draw: the
// way from ".battle" through the result back into the scenario is the one
// the finished rules take.
#include "battle/turn.h"

#include "battle/battle.h"
#include "battle/battle_screen.h"
#include "battle/card_detail.h"
#include "core/waits.h"
#include "data/player.h"
#include "graphics/image.h"
#include "platform/platform.h"
#include "sound/music.h"

namespace {

bool Inside(int v, int low, int high) { return v >= low && v < high; }

// The card of the player's hand slot under the window point (the hand is
// seen with the view scrolled down), or 0.
uint32_t HandCardAt(int x, int y) {
  uint32_t card = 0;
  for (int k = 1; k <= battle.handSize; ++k) {
    const SlotPosition p = handPosition(0, k);
    const int top = p.y - kMaxViewOffset;
    if (Inside(x, p.x, p.x + kCardWidth) && Inside(y, top, p.y - 4))
      card = battle.side[0].hand[k].card;
  }
  return card;
}

uint32_t PlayedCardAt(int x, int y) {
  int side = 0, entry = 0;
  if (!playedCardAt(x, y, side, entry)) return 0;
  return battle.side[side].played[entry].card;
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

}  // namespace

bool startTurn() {
  battle.attackMarker = 0;
  redrawBattle();
  if (!turnBanner()) return false;
  drawBattle(0, 0, kClientWidth, kClientHeight);
  InvalidateAll();
  if (!scrollViewDown()) return false;
  shell.InputMode = 12;
  battle.attackMarker = 1;
  rebuildCandidates();
  redrawBattle();
  return true;
}

bool finishBattle(int result) {
  player.result = result;
  if (!resultBanner(result)) return false;
  redrawBattle();
  return leaveBattle() != 0;
}

bool battleClick(int x, int y) {
  // The decide square: the attacker marker with the view scrolled down.
  if (x >= 289 && x <= 350 && y >= 69 && y <= 130) {
    shell.InputMode = mode::Busy;
    if (!scrollViewUp()) return false;
    PlayWave(kDecisionSound, plat::kWaveAsync);
    plat::host().SleepMs(100);
    return finishBattle(1);
  }
  if (x > 609 && x < 638) {
    if (y > 341 && y < 368) candidatesUp();
    if (y > 449 && y < 476) candidatesDown();
  }
  if (!showCardDetail(static_cast<int>(PlayedCardAt(x, y)))) return false;
  return HelpIcons(x, y);
}

bool battleRightClick(int x, int y) {
  uint32_t card = HandCardAt(x, y);
  if (const uint32_t played = PlayedCardAt(x, y)) card = played;
  if (!showCardDetail(static_cast<int>(card))) return false;
  return HelpIcons(x, y);
}

bool battleHover(int x, int y) {
  hoverPlayed(x, y);
  return true;
}
