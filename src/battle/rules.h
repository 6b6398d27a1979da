// The rules of an exchange shared by the turn flow, the arts, the card
// effects and the opponent: roles, the two saturating operations, the
// message box through which the battle tells the player what happened, and
// the hand cards that spell a pattern.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "battle/battle.h"
#include "platform/sjis.h"

// Who a side is in the current exchange. The defender intercepts.
enum class Role { Attack, Defence };

// x becomes x - v if x >= v, else 0.
void subtractFloor(int32_t& x, int32_t v);
// x becomes x + v, held within 0..cap.
void addClamp(int32_t& x, int32_t v, int32_t cap);
// (a x p) / 100 in 32 bits, truncated toward zero.
int32_t percentOf(int32_t a, int32_t p);

// Clears window 1 over the darkened box (120, 160, 400, 160), prints the
// pieces one by one, each presented at once, invalidates the box and
// updates the window.
void drawMessageBox(std::initializer_list<const char*> pieces);
// The box's place on the table.
inline constexpr int32_t kBoxX = 120, kBoxY = 160, kBoxW = 400, kBoxH = 160;
// The table redrawn where the box was, and invalidated.
void eraseMessageBox();
// The box drawn, then a wait for a click or waitMs, with the story's click
// cue blinking after the message. False when the program is closing.
[[nodiscard]] bool messageBox(std::initializer_list<const char*> pieces, uint32_t waitMs);

// A text field of a card or arts record, which need not end in a
// terminator, cut at a character boundary.
template <size_t N>
std::string recordText(const char (&field)[N]) {
  return std::string(field, sjis::FitLength(field, N));
}

// The shared generator's chance of p %: its next value mod 100 below p.
bool chance(int32_t p);

// For each symbol of the pattern in order, the side's lowest hand card of
// that attribute not yet taken; a symbol the hand cannot supply takes
// nothing. Returns how many slots it wrote.
int patternSlots(int side, const char* pattern, size_t maxLength, int (&slots)[kHandSlots]);
