// What a player of a text-heavy game expects beyond the game's own inputs:
// the backlog, skip and auto reading, text speed, volumes, screenshots, a
// help page and settings that are remembered. Every one of them is a key or
// the wheel the game itself never used, so its own inputs mean what they
// always meant, and what alters its timing is off until the player asks.
// This file hands each input to the aid it belongs to.
#pragma once

#include <cstdint>

// The open view, its pages and pens, and the note.
void ResetAids();

// Each answers true when the aid used the input up; the game must then not
// see it. They are consulted before the game's own handling.
// A key held down repeats; the switches ignore the repeats.
bool AidsKeyDown(uint32_t virtualKey, bool repeat = false);
bool AidsKeyUp(uint32_t virtualKey);
bool AidsWheel(int notches);
bool AidsMouse(uint32_t message, int x, int y);
// The window lost the focus: a key held now may be released unseen.
void AidsDeactivated();
