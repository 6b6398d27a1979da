// The interpreter's commands in their order of comparison. Each subsystem
// declares its handlers in its own header and takes its row here; the rows
// still to come are marked where they belong. A name not in this table is
// reported as an unknown command.
#include <cstring>

#include "script/interpreter.h"
#include "script/presentation.h"
#include "sound/music.h"

namespace {
Step CmdWav() { return CommandWav(scn.LineBuffer) ? Step::Next : Step::Quit; }
Step CmdMid() { return CommandMid(scn.LineBuffer) ? Step::Next : Step::Quit; }
Step CmdBgm() { return CommandBgm(scn.LineBuffer) ? Step::Next : Step::Quit; }
}  // namespace

const Command kCommands[] = {
    // ".battle"                                          battle set-up
    // ".svd", ".init", ".strong"                          progress commands
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
    // ".card", ".arts"                                    card and arts commands
    {".wav", CmdWav},
    {".mid", CmdMid},
    {".bgm", CmdBgm},
    {".==", CmdIgnore},
    {".!=", CmdIgnore},
    {".<=", CmdIgnore},
    {".>=", CmdIgnore},
    {".<", CmdIgnore},
    {".>", CmdIgnore},
    {".els", CmdIgnore},
    {".", CmdIgnore},
};
const size_t kCommandCount = sizeof kCommands / sizeof kCommands[0];

const Command* FindCommand(const char* name) {
  for (const Command& c : kCommands)
    if (std::strcmp(c.name, name) == 0) return &c;
  return nullptr;
}
