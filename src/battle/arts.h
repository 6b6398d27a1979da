// Arts resolution: the art a side's played pattern performs and the step
// that turns the exchange's amounts into HP and MP; and finding an art by
// its pattern, shared with the opponent. The records come from files: a
// pattern field may fill all of its bytes with no terminator, so every
// comparison is bounded.
#pragma once

#include "battle/rules.h"
#include "data/database.h"

// The role's table: attack arts 1..70 or defence arts 1..34 (element 0 is
// the dummy record), and how many arts it holds.
ArtsRecord* artsTable(Role role, int& count);
// True when the record's pattern is byte for byte the given pattern, which
// is read up to its terminator or maxLength bytes.
bool patternEquals(const ArtsRecord& art, const char* pattern, size_t maxLength);
// The lowest-numbered art of the role whose pattern equals the pattern, or 0.
int findArt(Role role, const char* pattern, size_t maxLength);

// The side's art in the role: the played row flashes, the art is found and
// shown, and its kind acts on the exchange's amounts. False when quit.
[[nodiscard]] bool performArt(int side, Role role);
// Charges, recovery, damage and drain, in that order, each step redrawn.
[[nodiscard]] bool applyExchange();
