// Stand-ins for the turn flow until turn.cpp defines these: replaced by
// turn.cpp, and deleted when it does.
#include <cstring>

#include "battle/battle.h"
#include "battle/rules.h"
#include "graphics/blit.h"
#include "graphics/image.h"

bool playCard(int side, int k) {
  BattleSide& s = battle.side[side];
  s.hand[k].inHand = 0;
  int n = 1;
  while (n < kHandSlots && s.played[n].fromSlot != 0) ++n;
  s.played[n] = {s.hand[k].card, k};
  Copy(gfx.PartsSheet, kCardWidth * n, 400 + kCardHeight * side, kCardWidth, kCardHeight,
       gfx.PartsSheet, kCardWidth * k, kCardHeight * side);
  if (const char* symbol = attributeSymbol(cardAttribute(s.hand[k].card)))
    std::strncat(s.playedPattern, symbol,
                 sizeof s.playedPattern - 1 - std::strlen(s.playedPattern));
  return true;
}

bool resolveExchange(int, int) { return true; }
int checkBattleEnd(int) { return 1; }
void endTurn() {}
