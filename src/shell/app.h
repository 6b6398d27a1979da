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
// make now ("battle": the greedy choice of the battle's player); none when
// the request has nothing to do.
std::vector<plat::Point> AutomatedClicks(const std::string& request);
