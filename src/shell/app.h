// Program start-up, the window procedure, the message loop and shutdown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// Runs the game on the installed host; returns the exit code.
int GameMain();

intptr_t WindowProc(uint32_t id, uintptr_t wParam, intptr_t lParam);

// The composition root: registers every subsystem's commands and input
// handlers with the script and the shell.
void WireSubsystems();

// Puts every subsystem's state back to how a fresh process starts.
void ResetGameState();

// Answers a scripted run's automated request with the clicks a player would
// make now; none when the request is used up. "battle": the greedy choice at
// each of the battle's choices; after a battle lost or drawn, the clicks that
// read the scenario on and take its first choice, until a battle is won.
std::vector<plat::Point> AutomatedClicks(const std::string& request);
