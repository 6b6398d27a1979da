// The rules of an exchange shared by the turn flow, the arts, the card
// effects and the opponent: roles, the two saturating operations, and the
// message box through which the battle tells the player what happened.
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
// The box drawn, then a wait for a click or waitMs. False when the program
// is closing.
[[nodiscard]] bool messageBox(std::initializer_list<const char*> pieces, uint32_t waitMs);

// A text field of a card or arts record, which need not end in a
// terminator, cut at a character boundary.
template <size_t N>
std::string recordText(const char (&field)[N]) {
  return std::string(field, sjis::FitLength(field, N));
}

// The shared generator's chance of p %: its next value mod 100 below p.
bool chance(int32_t p);

// ---- turn flow (turn.cpp) ----
// Plays hand slot k of a side: the card slides to the side's next played
// place and its symbol joins the side's pattern. False when quit.
[[nodiscard]] bool playCard(int side, int k);
// Exchange e (0 first, 1 second) with attacker a (0 player, 1 opponent):
// both arts, card effects, barriers, fields, the exchange, poison, the end
// check, then on to the next waiting mode. False when quit.
[[nodiscard]] bool resolveExchange(int e, int a);
// The result the battle has come to after exchange e (0 won, 1 draw, 2
// lost), or -1 while it goes on.
int battleOutcome(int e);
// 0 quit, 1 go on, 2 the battle is over (the scenario runs again).
int checkBattleEnd(int e);
void endTurn();

// ---- arts (arts.cpp) ----
[[nodiscard]] bool performArt(int side, Role role);
[[nodiscard]] bool applyExchange();

// ---- card effects, barriers, fields, status (effects.cpp) ----
[[nodiscard]] bool applyCardEffects(int side, Role role);
void applyBarriers(int side);
[[nodiscard]] bool applyFields();
void clearBarriers(int side);
void clearFields();
void poisonSide(int side);
void curseSide(int side);
// After the exchange: a poisoned side loses min(maxHp / 10, 999) HP.
void applyPoison(int side);

// ---- the opponent (opponent.cpp) ----
// Attack art 1..70 or defence art 1..34 the opponent picks, or 0.
int chooseAttack();
int chooseDefence();
// For each symbol of the pattern in order, the side's lowest hand card of
// that attribute not yet taken; a symbol the hand cannot supply takes
// nothing. Returns how many slots it wrote.
int patternSlots(int side, const char* pattern, size_t maxLength, int (&slots)[kHandSlots]);
// Plays the cards patternSlots picks, in that order.
[[nodiscard]] bool playCardsOf(int side, const char* pattern, size_t maxLength);
// Modes 14, 15, 18, 19: choose, play, and go on with the turn.
[[nodiscard]] bool playOpponentCards();
