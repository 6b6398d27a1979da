// The battle's turns: the turn start with its coin toss, the clicks of the
// player's choosing modes, the exchange that follows a decision, and the
// way out when the battle is decided.
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
