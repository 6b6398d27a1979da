// Three pop-ups that explain what is on the screen and close with the next
// click: a card's big picture with all its texts, the field in force, and
// one side's barriers. Each draws over Screen at the current view offset,
// prints through a text window its caller has set up (4 for the card, 1 for
// the helps) and puts back what it covered.
#pragma once

#include <string>

// Each answers false when the program is closing. A card outside 1..50
// opens nothing.
[[nodiscard]] bool showCardDetail(int card);
[[nodiscard]] bool showFieldHelp();
// Side 0 the player, 1 the opponent.
[[nodiscard]] bool showBarrierHelp(int side);

// The Shift-JIS texts the helps print.
std::string fieldHelpText();
std::string barrierHelpText(int side);
