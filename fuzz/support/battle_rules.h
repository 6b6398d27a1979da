// The battle's rules over whatever the records and decks hold, without its
// screens and animations: hands dealt from the decks, each side's choice
// made by the greedy player and the opponent, the cards laid down and the
// exchange resolved by the battle's own steps. A broken rule of the
// harness's own (a slot outside the hand, an art outside its table, HP or MP
// below 0) aborts.
#pragma once

namespace fuzz {

// The battle state set up for a battle of side 0's deck (the player's deck
// list) against side 1's (as a deck file left it), then the given number of
// exchanges or until a side is down or out of cards.
void PlayRules(int exchanges);

}  // namespace fuzz
