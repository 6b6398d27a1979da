// Saved games from the live state and back: the snapshot taken when the game
// leaves the scenario, a slot written from it, and a slot loaded and resumed.
#pragma once

#include "battle/snapshot.h"

// Writes the snapshot and the scenario's variables to slot 1..3; 1 when
// written (a failure has shown the write-error box).
int saveGame(int slot);
// Loads slot 1..3 and runs the scenario from the saved line; false when the
// program must end. A missing slot changes nothing; a damaged one, one with
// more variables than the game declares, or one whose line the scenario no
// longer has is refused with a box and changes nothing either.
[[nodiscard]] bool loadGame(int slot);
