// The scenario interpreter: runs lines of the open scenario until a command
// must wait for the player.
#pragma once

#include <cstdint>

struct Interpreter {
  int32_t EventMode = 0;  // 1 while an event runs: the screen buttons are off
};
extern Interpreter interp;

void ResetInterpreter();
// 1 to go on waiting for input, 0 when the program must end.
int RunScript();
