// The battle's turns as the player meets them: the turn start with its
// coin toss, the clicks of the choosing modes (12, 13, 16, 17), and the way
// out when the battle is decided.
#pragma once

// Each answers false when the program must end.
[[nodiscard]] bool startTurn();
// Mouse handlers of the choosing modes, for the shell's routing table;
// window coordinates.
bool battleClick(int x, int y);
bool battleRightClick(int x, int y);
bool battleHover(int x, int y);
// The decide square: the player's play is final and the exchange goes on.
[[nodiscard]] bool decideExchange();
// The decided battle: "result" (0 won, 1 draw, 2 lost), its banner, and
// back into the scenario. False when the program must end.
[[nodiscard]] bool finishBattle(int result);
