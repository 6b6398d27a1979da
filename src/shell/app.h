// Program start-up, the window procedure, the message loop and shutdown.
#pragma once

#include <cstdint>

// Runs the game on the installed host; returns the exit code.
int GameMain();

intptr_t WindowProc(uint32_t id, uintptr_t wParam, intptr_t lParam);

// The composition root: registers every subsystem's commands and input
// handlers with the script and the shell.
void WireSubsystems();

// Puts every subsystem's state back to how a fresh process starts.
void ResetGameState();
