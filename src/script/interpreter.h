// The scenario interpreter: runs lines of the open scenario until a command
// must wait for the player.
#pragma once

#include <cstddef>
#include <cstdint>

#include "script/reader.h"

constexpr int kReturnSlots = 10;

// Where a ".sub" call came from: the calling line of that scenario.
struct ReturnSlot {
  char scenario[kLineSize];
  int32_t line;
};
static_assert(sizeof(ReturnSlot) == 260);  // the saved game stores them as they are

struct Interpreter {
  int32_t EventMode = 0;  // 1 while an event runs: the screen buttons are off
  ReturnSlot slots[kReturnSlots] = {};
};
extern Interpreter interp;

void ResetInterpreter();
// 1 to go on waiting for input, 0 when the program must end.
int RunScript();

// What a command (or a text line) tells the interpreter: read the next line,
// return 1 to wait for the player (or the battle), or return 0 to end.
enum class Step { Next, Wait, Quit };

// A command reads its arguments from scn.LineBuffer with NextToken; its name
// is in scn.TokenBuffer.
using CommandHandler = Step (*)();
struct Command {
  const char* name;
  CommandHandler run;
};
// The command table in its order of comparison (script/commands.cpp).
extern const Command kCommands[];
extern const size_t kCommandCount;
const Command* FindCommand(const char* name);

// Jump to "scenario", "scenario:label" or ":label" (expanded first, in
// place, so target must be a line buffer); 1 when the jump succeeded.
int JumpTo(char* target);

// A mistake of the scenario's author: a box with the problem and the
// scenario position under it. The run goes on.
void ReportScriptError(const char* problem);

// The presentation's side of the interpreter (its placeholders trace).
// A text line in scn.LineBuffer is shown in the current message window.
Step ShowTextLine();
// Before any command, an unfinished text skip is completed.
void FinishTextSkip();

// The flow-control commands.
Step CmdJump();
Step CmdSub();
Step CmdCase();
Step CmdSkip();
Step CmdEvent();
Step CmdLet();
Step CmdRnd();
// Case-block lines met while executing a block.
Step CmdIgnore();
