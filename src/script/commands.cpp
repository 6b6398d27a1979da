// The script engine's own commands; the other subsystems register theirs
// through the same table at start-up.
#include <cstring>

#include "script/interpreter.h"
#include "script/presentation.h"
#include "script/variables.h"

CommandTable commands;

void ResetCommands() { commands = CommandTable{}; }

bool RegisterCommand(const char* name, CommandHandler run) {
  if (FindCommand(name) || commands.count == kMaxCommands) return false;
  commands.rows[commands.count++] = Command{name, run};
  return true;
}

const Command* FindCommand(const char* name) {
  for (size_t i = 0; i < commands.count; ++i)
    if (std::strcmp(commands.rows[i].name, name) == 0) return &commands.rows[i];
  return nullptr;
}

void RegisterScriptCommands() {
  static constexpr Command kOwn[] = {
      {".clk", CmdClk},
      {".tcl", CmdTcl},
      {".shake", CmdShake},
      {".flash", CmdFlash},
      {".slt", CmdSlt},
      {".cut", CmdCut},
      {".jmp", CmdJump},
      {".sub", CmdSub},
      {".cas", CmdCase},
      {".skp", CmdSkip},
      {".wat", CmdWat},
      {".cwt", CmdCwt},
      {".update", CmdUpdate},
      {".load", CmdLoad},
      {".show", CmdShow},
      {".hide", CmdHide},
      {".msg", CmdMsg},
      {".event", CmdEvent},
      {".let", CmdLet},
      {".rnd", CmdRnd},
      // Case-block lines met while a block runs.
      {".==", CmdIgnore},
      {".!=", CmdIgnore},
      {".<=", CmdIgnore},
      {".>=", CmdIgnore},
      {".<", CmdIgnore},
      {".>", CmdIgnore},
      {".els", CmdIgnore},
      {".", CmdIgnore},
  };
  for (const Command& c : kOwn) RegisterCommand(c.name, c.run);
}

int32_t ReadNameAndMode(char* line, char* name) {
  NextToken(name, line);
  ExpandVariables(name);
  NextToken(scn.TokenBuffer, line);
  return EvalTerm(scn.TokenBuffer);
}

bool ReadBgmArguments(char* line, char* name, int32_t& mode) {
  NextToken(scn.TokenBuffer, line);
  if (std::strcmp(scn.TokenBuffer, "stop") == 0) return false;
  EvalTerm(scn.TokenBuffer);
  mode = ReadNameAndMode(line, name);
  return true;
}
