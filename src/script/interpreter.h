// The scenario interpreter: runs lines of the open scenario until a command
// must wait for the player.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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
[[nodiscard]] int RunScript();
// The one way back into the scenario, for every caller: the first run, the
// click that ends a wait, the end of a battle, the load of a saved game.
[[nodiscard]] int ResumeScript();
// F1: a box with the current scenario and line.
void ShowScriptPosition();
// True while an event runs: the screen buttons are off.
bool EventRunning();

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

// The interpreter's commands. Each subsystem registers its own at start-up
// (the composition root calls them all); a name not in the table is reported
// as an unknown command.
constexpr size_t kMaxCommands = 64;
struct CommandTable {
  Command rows[kMaxCommands] = {};
  size_t count = 0;
};
extern CommandTable commands;

void ResetCommands();
// False (and nothing registered) when the name is taken or the table full:
// one name, one command.
bool RegisterCommand(const char* name, CommandHandler run);
const Command* FindCommand(const char* name);
// The script's own commands: flow control and presentation.
void RegisterScriptCommands();

// Jump to "scenario", "scenario:label" or ":label" (expanded first, in
// place, so target must be a line buffer); 1 when the jump succeeded.
[[nodiscard]] int JumpTo(char* target);

// A mistake of the scenario's author: a box with the problem and the
// scenario position under it, and line (the problem in words) in the log.
// The run goes on.
void ReportScriptError(const char* problem, const std::string& line);

// The arguments of the sound commands, read as the script reads every
// argument. ".wav" and ".mid": a name (expanded) and a mode (a value).
int32_t ReadNameAndMode(char* line, char* name);
// ".bgm": a first argument, then a name and a mode. False when the first
// argument is "stop"; otherwise it is evaluated and has no further effect.
bool ReadBgmArguments(char* line, char* name, int32_t& mode);

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
