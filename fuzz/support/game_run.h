// Whole headless runs of the game over a small story of the harness's own,
// with one of its files replaced by the fuzz input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// The base files of a battle (fuzz/base): the demo's database and the
// practice deck.
void WriteBattleBase();

// A run whose start scenario builds the player's deck, reads card records,
// learns arts and fights two battles (one to each attacker's kind of
// screen) played by the game's greedy player, closed at a virtual time.
int RunBattleGame();

// A run that waits at a click in "story" so a scripted click can open the
// save screen and load slot 1; the story ends in a battle.
int RunLoadGame();

// A run that reads, uses and writes the progress files.
int RunProgressGame();

}  // namespace fuzz
