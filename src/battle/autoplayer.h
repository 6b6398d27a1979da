// The player's side played by the machine: qfsim's battles and the headless
// autoplay's, which cannot know in advance which cards a shuffled hand holds.
#pragma once

#include <string>
#include <vector>

#include "battle/battle.h"
#include "platform/platform.h"

// The learned art (of the role the current mode chooses for) that the hand
// can spell and MP pay for and that is worth most right now: damage dealt,
// damage kept off or sent back, HP or MP won back. 0 when none is worth
// anything.
int greedyArt();

// The hand slots to play, in order, for greedyArt(): its pattern's cards,
// then the cards without a symbol that go along with an art (all but the
// die). Returns how many it wrote; 0 when no art is worth playing.
int greedySlots(int (&slots)[kHandSlots]);

// The clicks a player makes for greedyArt() in a choosing mode: each card of
// its pattern in the hand, then the decide square. Window coordinates; empty
// outside the choosing modes.
std::vector<plat::Point> greedyClicks();

// Answers a scripted run's automated request with the clicks a player would
// make now; none when the request is used up. "battle": the greedy choice at
// each of the battle's choices; after a battle lost or drawn, the clicks that
// read the scenario on and take its first choice, until a battle is won.
std::vector<plat::Point> AutomatedClicks(const std::string& request);
void ResetAutomation();
