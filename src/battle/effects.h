// What the played cards do besides their art, the barriers and fields the
// arts leave behind, and poison and curse.
#pragma once

#include "battle/rules.h"

// Each played card of the side in turn: to the middle, its text, its effect
// in the role, and away. False when quit.
[[nodiscard]] bool applyCardEffects(int side, Role role);
void applyBarriers(int side);
[[nodiscard]] bool applyFields();
void clearBarriers(int side);
void clearFields();
// A guard, when the side has one, takes the blow instead and is used up.
void poisonSide(int side);
void curseSide(int side);
// After the exchange: a poisoned side loses min(maxHp / 10, 999) HP.
void applyPoison(int side);
