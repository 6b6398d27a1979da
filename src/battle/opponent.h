// The opponent's choice of an art and the cards it plays for it.
#pragma once

#include <cstddef>

// Attack art 1..70 or defence art 1..34 the opponent picks, or 0.
int chooseAttack();
int chooseDefence();
// Plays the cards patternSlots picks, in that order.
[[nodiscard]] bool playCardsOf(int side, const char* pattern, size_t maxLength);
// The opponent's modes (it attacks or intercepts): choose, play, and go on
// with the turn. False when quit.
[[nodiscard]] bool playOpponentCards();
