#include "script/interpreter.h"

#include <cstdio>
#include <cstring>

#include "core/mistake_log.h"
#include "core/waits.h"
#include "platform/platform.h"
#include "platform/sjis.h"
#include "script/presentation.h"
#include "script/script_texts.h"
#include "script/variables.h"

Interpreter interp;

void ResetInterpreter() { interp = Interpreter{}; }

int ResumeScript() {
  shell.InputMode = mode::Running;
  return RunScript();
}

void ShowScriptPosition() {
  char text[kLineSize + 64];
  std::snprintf(text, sizeof text, "File : %s\nLine : %d", scn.ScenarioName,
                static_cast<int>(scn.LineNumber));
  plat::host().ShowMessageBox(text, nullptr);
}

bool EventRunning() { return interp.EventMode != 0; }

void ReportScriptError(const char* problem, const std::string& line) {
  char text[kLineSize * 2 + 64];
  std::snprintf(text, sizeof text, "%s\nFile : %s\nLine : %d", problem, scn.ScenarioName,
                static_cast<int>(scn.LineNumber));
  plat::host().ShowMessageBox(text, texts::kScriptErrorCaption);
  // The box names the place, so the line does too, wherever it comes from.
  ReportMistakeAt(ScenarioPlace(), line);
}

namespace {

// The first token of the current line, leaving the line itself untouched
// unless rest is given (then rest holds what follows the token).
void FirstToken(char* token, char* rest) {
  std::memcpy(rest, scn.LineBuffer, kLineSize);
  NextToken(token, rest);
}

bool Is(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

// Reads past the end of the block whose ".cas" was just read: to the "."
// that closes it, nested blocks skipped whole. Counted rather than recursive,
// so no nesting depth can exhaust the stack.
bool SkipBlock() {
  char token[kLineSize], rest[kLineSize];
  int depth = 1;
  while (ReadLine()) {
    FirstToken(token, rest);
    if (Is(token, ".cas"))
      ++depth;
    else if (Is(token, ".") && --depth == 0)
      return true;
  }
  plat::host().ShowMessageBox(texts::kCaseNotClosed, nullptr);
  return false;
}

// The comparison lines of a case block; null for any other token.
bool (*Comparison(const char* op))(int32_t, int32_t) {
  if (Is(op, ".==")) return [](int32_t v, int32_t c) { return v == c; };
  if (Is(op, ".!=")) return [](int32_t v, int32_t c) { return v != c; };
  if (Is(op, ".<")) return [](int32_t v, int32_t c) { return v < c; };
  if (Is(op, ".>")) return [](int32_t v, int32_t c) { return v > c; };
  if (Is(op, ".<=")) return [](int32_t v, int32_t c) { return v <= c; };
  if (Is(op, ".>=")) return [](int32_t v, int32_t c) { return v >= c; };
  return nullptr;
}

Step Flow(int ok) { return ok ? Step::Next : Step::Quit; }

// A block that runs to the end of the file; told at the line that opened
// it (a line of the same file), where the author looks. SkipBlock has shown
// the box already.
Step CaseNotClosed(int32_t opened, bool showBox) {
  if (showBox) plat::host().ShowMessageBox(texts::kCaseNotClosed, nullptr);
  ReportMistakeAt(ScenarioPlaceAt(opened), "no \".\" closes this block before the end of the file");
  return Step::Quit;
}

}  // namespace

int JumpTo(char* target) {
  const std::string from = MistakePlace();
  ExpandVariables(target);
  long colon = -1;
  for (size_t i = 0; target[i] != '\0';) {
    if (target[i] == ':') {
      colon = static_cast<long>(i);
      break;
    }
    i += sjis::IsLeadByte(static_cast<unsigned char>(target[i])) && target[i + 1] ? 2 : 1;
  }
  char scenario[kLineSize];
  if (colon < 0) return OpenScenario(target);
  if (colon == 0) {
    std::memcpy(scenario, scn.ScenarioName, kLineSize);
  } else {
    std::memcpy(scenario, target, static_cast<size_t>(colon));
    scenario[colon] = '\0';
  }
  char label[kLineSize];
  std::memcpy(label, target + colon, std::strlen(target + colon) + 1);
  if (!OpenScenario(scenario)) return 0;
  char token[kLineSize], rest[kLineSize];
  while (ReadLine()) {
    FirstToken(token, rest);
    if (Is(token, label)) return 1;
  }
  plat::host().ShowMessageBox(texts::kLabelNotFound, nullptr);
  ReportMistakeAt(from, "no label " + Quoted(label) + " in " +
                            Quoted((std::string(scenario) + ".scn").c_str()));
  return 0;
}

Step CmdJump() {
  char target[kLineSize];
  NextToken(target, scn.LineBuffer);
  return Flow(JumpTo(target));
}

Step CmdSub() {
  char target[kLineSize], token[kLineSize];
  NextToken(target, scn.LineBuffer);
  NextToken(token, scn.LineBuffer);
  // A return names no target to expand: "exit" is looked at as written.
  const bool exit = Is(target, "exit");
  const int32_t slot = EvalTerm(token);
  if (slot < 0 || slot >= kReturnSlots) {
    ReportScriptError(texts::kBadReturnSlot,
                      "no .sub slot " + std::to_string(slot) + " (slots are 0 to 9)");
    return Step::Quit;
  }
  ReturnSlot& s = interp.slots[slot];
  if (!exit) {
    std::memcpy(s.scenario, scn.ScenarioName, kLineSize);
    s.line = scn.LineNumber;
    return Flow(JumpTo(target));
  }
  char name[kLineSize];
  std::memcpy(name, s.scenario, kLineSize);
  if (!OpenScenario(name)) return Step::Quit;
  while (scn.LineNumber < s.line)
    if (!ReadLine()) return Step::Quit;
  return Step::Next;
}

Step CmdCase() {
  const int32_t at = scn.LineNumber;
  const int32_t v = EvalExpression(scn.LineBuffer);
  char token[kLineSize], rest[kLineSize];
  while (ReadLine()) {
    FirstToken(token, rest);
    if (Is(token, ".cas")) {
      if (!SkipBlock()) return CaseNotClosed(at, false);
      continue;
    }
    if (Is(token, ".els") || Is(token, ".")) return Step::Next;
    if (const auto holds = Comparison(token))
      if (holds(v, EvalExpression(rest))) return Step::Next;
  }
  return CaseNotClosed(at, true);
}

Step CmdSkip() {
  const int32_t at = scn.LineNumber;
  char token[kLineSize], rest[kLineSize];
  while (ReadLine()) {
    FirstToken(token, rest);
    if (Is(token, ".cas")) {
      if (!SkipBlock()) return CaseNotClosed(at, false);
    } else if (Is(token, ".")) {
      return Step::Next;
    }
  }
  return CaseNotClosed(at, true);
}

Step CmdEvent() {
  char token[kLineSize];
  NextToken(token, scn.LineBuffer);
  if (Is(token, "begin"))
    interp.EventMode = 1;
  else if (Is(token, "end"))
    interp.EventMode = 0;
  else
    ReportMistake(Quoted(token) + " is not begin or end: .event ignored");
  return Step::Next;
}

Step CmdLet() {
  LetCommand(scn.LineBuffer);
  return Step::Next;
}

Step CmdRnd() {
  RndCommand(scn.LineBuffer);
  return Step::Next;
}

Step CmdIgnore() { return Step::Next; }

int RunScript() {
  const ReadingScenario reading;
  StartBusyRun();
  for (;;) {
    if (!PumpIfBusyLong()) return 0;
    if (!ReadLine()) return 1;
    const char first = scn.LineBuffer[0];
    if (first == '\n' || first == '\0' || first == '#' || first == ':') continue;
    Step step;
    if (first != '.') {
      step = ShowTextLine();
    } else {
      NextToken(scn.TokenBuffer, scn.LineBuffer);
      FinishTextSkip();
      if (const Command* c = FindCommand(scn.TokenBuffer)) {
        step = c->run();
      } else {
        plat::host().ShowMessageBox(scn.TokenBuffer, texts::kUnknownCommandCaption);
        ReportMistake("no command " + Quoted(scn.TokenBuffer));
        step = Step::Next;
      }
    }
    if (step == Step::Wait) return 1;
    if (step == Step::Quit) return 0;
  }
}

// The command table. The script engine registers its own commands; the
// other subsystems register theirs through the same table at start-up.

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
