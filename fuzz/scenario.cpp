// Scenarios made from the command table: the input picks commands, their
// arguments from each argument's edge values (0, -1, the 32-bit limits, list
// and table bounds, long and missing arguments, names of no variable, files
// that are not there), labels, case blocks and text lines, and a player's
// clicks and keys between the waits. The whole game runs them headless, in
// memory, up to a virtual time. Whatever the scenario, the game crashes
// nowhere, every input finds the game in one of its input modes, and the
// run ends.
//
// Jumps and calls only go forward (to a label not yet written, or from
// "start" into "part2"), and only "part2" returns from a call: a scenario
// that loops without ever waiting is the author's to avoid, and would only
// hold the virtual clock still.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "battle/autoplayer.h"
#include "core/waits.h"
#include "platform/platform.h"
#include "shell/app.h"
#include "support/parser_session.h"

namespace {

// A few seconds of play: enough for a battle's first exchanges, a load, a
// screen opened and closed, and short enough that an input costs a few tens
// of milliseconds.
constexpr uint64_t kVirtualBudgetMs = 8000;
constexpr int kMaxLines = 48;
constexpr int kMaxInputs = 24;

const char* const kValues[] = {"0",     "-1",   "1",          "2",           "3",          "4",
                               "5",     "6",    "9",          "10",          "20",         "50",
                               "51",    "70",   "71",         "100",         "101",        "300",
                               "301",   "1000", "2147483647", "-2147483648", "2147483648", "n",
                               "m",     "s",    "result",     "ndeck",       "nstock",     "hp",
                               "month", "[n]",  "nothing",    "\"7\"",       "n+1",        "n*m-3"};
const char* const kVariables[] = {"n",    "m",     "s",   "money",  "hp",      "maxmp",
                                  "year", "month", "day", "result", "nothing", "ndeck"};
const char* const kLists[] = {"deck", "stock", "collection", "hand"};
const char* const kFields[] = {"name", "description", "attribute", "illustrator"};
const char* const kLayers[] = {"back", "place", "face1", "face2", "msg1",
                               "msg2", "msg3",  "msg4",  "date",  "all"};
const char* const kPictures[] = {"pic", "cards\\cards1", "missing", "[s]", "..\\up"};
const char* const kSounds[] = {"stop", "tune", "missing", "[s]"};
const char* const kDecks[] = {"opp", "missing", "[s]"};
const char* const kTexts[] = {"Hello [n] and [s]", "a\\nb!n",   "tail\\",
                              "\x93\xfa\x96\x7b",  "[nothing]", "\\\\ [m]!n"};

struct Writer {
  FuzzedDataProvider& in;
  bool inPart2;
  int labelsWritten = 0;  // labels ":lK" of this file written so far
  std::string out;

  template <size_t N>
  const char* Pick(const char* const (&words)[N]) {
    return words[in.ConsumeIntegralInRange<size_t>(0, N - 1)];
  }
  std::string Label(bool forward) {
    // A label written later, or one no line will carry.
    const int k = labelsWritten + in.ConsumeIntegralInRange<int>(0, 3);
    std::string label = ":l" + std::to_string(forward ? k : labelsWritten + 9);
    return label;
  }
  std::string Value() {
    if (in.ConsumeIntegralInRange<int>(0, 15) == 0) return std::string(300, '9');
    return Pick(kValues);
  }
  // Arguments end early at the input's whim: a missing argument.
  bool More() { return in.ConsumeIntegralInRange<int>(0, 15) != 0; }
  void Arg(const std::string& a) { out += " " + a; }

  // One command line: its name and arguments. The pick is split by kind of
  // command only to keep each function short.
  void Command() {
    const int pick = in.ConsumeIntegralInRange<int>(0, 33);
    if (pick <= 13)
      FlowCommand(pick);
    else if (pick <= 18)
      PictureCommand(pick);
    else if (pick <= 27)
      CardCommand(pick);
    else
      SoundCommand(pick);
    out += "\n";
  }

  void FlowCommand(int pick) {
    switch (pick) {
      case 0:
        out += ".clk";
        if (More()) Arg(Value());
        break;
      case 1:
        out += ".tcl";
        if (More()) Arg(Value());
        break;
      case 2:
        out += ".shake";
        break;
      case 3:
        out += ".flash";
        break;
      case 4:
        out += ".slt add";
        if (More()) Arg(Pick(kTexts));
        if (More()) Arg(in.ConsumeBool() ? Label(true) : "part2" + Label(true));
        break;
      case 5:
        out += ".slt exec";
        break;
      case 6:
        out += ".cut";
        break;
      case 7:
        out += ".jmp";
        if (More())
          Arg(inPart2 || in.ConsumeBool() ? Label(in.ConsumeBool()) : "part2" + Label(true));
        break;
      case 8:
        if (inPart2) {
          out += ".sub exit";
        } else {
          out += ".sub";
          if (More()) Arg("part2" + Label(true));
        }
        if (More()) Arg(Value());
        break;
      case 9:
        out += ".cas";
        if (More()) Arg(Value());
        break;
      case 10:
        out += in.ConsumeBool() ? ".== " : ".< ";
        out += Value();
        break;
      case 11:
        out += in.ConsumeBool() ? ".els" : ".";
        break;
      case 12:
        out += ".skp";
        break;
      case 13:
        out += in.ConsumeBool() ? ".wat" : ".cwt";
        if (More()) Arg(Value());
        break;
    }
  }

  void PictureCommand(int pick) {
    switch (pick) {
      case 14:
        out += ".update";
        if (More()) Arg(Value());
        break;
      case 15:
        out += ".load";
        if (More()) Arg(Pick(kLayers));
        if (More()) Arg(Pick(kPictures));
        break;
      case 16:
        out += in.ConsumeBool() ? ".show" : ".hide";
        if (More()) Arg(Pick(kLayers));
        break;
      case 17:
        out += ".msg";
        if (More()) Arg(Value());
        break;
      case 18:
        out += ".event";
        if (More()) Arg(in.ConsumeBool() ? "begin" : "end");
        break;
    }
  }

  void CardCommand(int pick) {
    switch (pick) {
      case 19:
        out += ".let";
        if (More()) Arg(Pick(kVariables));
        if (More()) Arg("=");
        if (More()) Arg(in.ConsumeBool() ? Value() : "\"" + std::string(Pick(kTexts)) + "\"");
        break;
      case 20:
        out += ".rnd";
        if (More()) Arg(Pick(kVariables));
        if (More()) Arg("=");
        if (More()) Arg(Value());
        if (More()) Arg(",");
        if (More()) Arg(Value());
        break;
      case 21:
        out += in.ConsumeBool() ? ".card add" : ".card sub";
        if (More()) Arg(Pick(kLists));
        if (More()) Arg(Value());
        if (More()) Arg(Value());
        break;
      case 22:
        out += ".card num";
        if (More()) Arg(Pick(kLists));
        if (More()) Arg(Value());
        if (More()) Arg(Pick(kVariables));
        break;
      case 23:
        out += ".card info";
        if (More()) Arg(Pick(kFields));
        if (More()) Arg(Value());
        if (More()) Arg(Pick(kVariables));
        break;
      case 24:
        out += ".card dump";
        if (More()) Arg(Pick(kLists));
        if (More()) Arg(Value());
        break;
      case 25:
        out += ".arts";
        if (More()) Arg(in.ConsumeBool() ? "add" : "learn");
        if (More()) Arg(in.ConsumeBool() ? "attack" : "defence");
        if (More()) Arg(Value());
        break;
      case 26:
        out += in.ConsumeBool() ? ".svd" : ".init";
        break;
      case 27:
        out += ".strong";
        if (More()) Arg(in.ConsumeBool() ? "begin" : "end");
        break;
    }
  }

  void SoundCommand(int pick) {
    switch (pick) {
      case 28:
        // A battle takes the rest of the run's time: fewer of them.
        if (in.ConsumeIntegralInRange<int>(0, 3) != 0) {
          out += ".strong begin";
          break;
        }
        out += ".battle";
        if (More()) Arg(Pick(kPictures));
        for (int i = 0; i < 5 && More(); ++i) Arg(Value());
        if (More()) Arg(Pick(kDecks));
        for (int i = 0; i < 3 && More(); ++i) Arg(Value());
        break;
      case 29:
        out += ".wav";
        if (More()) Arg(Pick(kSounds));
        if (More()) Arg(Value());
        break;
      case 30:
        out += ".mid";
        if (More()) Arg(Pick(kSounds));
        if (More()) Arg(Value());
        break;
      case 31:
        out += ".bgm";
        if (More()) Arg(in.ConsumeBool() ? "stop" : Value());
        if (More()) Arg(Pick(kSounds));
        if (More()) Arg(Value());
        break;
      case 32:
        out += ".nosuch";
        break;
      default:
        out += Pick(kTexts);
        break;
    }
  }

  void Lines(int count) {
    for (int i = 0; i < count && in.remaining_bytes() > 0; ++i) {
      if (in.ConsumeIntegralInRange<int>(0, 5) == 0)
        out += ":l" + std::to_string(labelsWritten++) + "\n";
      else
        Command();
    }
  }
};

// Where a player clicks: the status bar's screen buttons, choices and
// message windows, a hand card, the decide square, the screens' bars, or
// anywhere.
std::string Point(FuzzedDataProvider& in) {
  static const int kPoints[][2] = {{580, 450}, {580, 466}, {580, 474}, {320, 240}, {320, 100},
                                   {55, 407},  {162, 407}, {320, 70},  {320, 210}, {616, 458},
                                   {600, 20},  {40, 460},  {320, 470}, {0, 0},     {639, 479}};
  int x, y;
  if (in.ConsumeBool()) {
    const auto& p = kPoints[in.ConsumeIntegralInRange<size_t>(0, std::size(kPoints) - 1)];
    x = p[0];
    y = p[1];
  } else {
    x = in.ConsumeIntegralInRange<int>(-10, 650);
    y = in.ConsumeIntegralInRange<int>(-10, 490);
  }
  return std::to_string(x) + " " + std::to_string(y);
}

std::string Inputs(FuzzedDataProvider& in) {
  static const char* const kKeys[] = {"enter", "esc",  "f1",    "f2",       "f4",       "f11",
                                      "f12",   "tab",  "ctrl",  "pageup",   "pagedown", "home",
                                      "end",   "up",   "down",  "a",        "m",        "t",
                                      "minus", "plus", "slash", "lbracket", "rbracket"};
  std::string script;
  const int count = in.ConsumeIntegralInRange<int>(0, kMaxInputs);
  for (int i = 0; i < count; ++i) {
    const int when = in.ConsumeIntegralInRange<int>(0, 3);
    script += when == 0   ? "wait "
              : when == 1 ? "+" + std::to_string(in.ConsumeIntegralInRange<int>(0, 3000)) + " "
              : when == 2 ? "wait+200 "
                          : "wait ";
    switch (in.ConsumeIntegralInRange<int>(0, 9)) {
      case 0:
      case 1:
      case 2:
        script += "click " + Point(in);
        break;
      case 3:
        script += "rclick " + Point(in);
        break;
      case 4:
        script += "move " + Point(in);
        break;
      case 5:
        script +=
            std::string("key ") + kKeys[in.ConsumeIntegralInRange<size_t>(0, std::size(kKeys) - 1)];
        break;
      case 6:
        script += "wheel " + std::to_string(in.ConsumeIntegralInRange<int>(-3, 3));
        break;
      case 7:
        script += "autobattle";
        break;
      case 8:
        script += in.ConsumeBool() ? "altenter" : "deactivate";
        break;
      default:
        script += in.ConsumeBool() ? "activate" : "keydown ctrl";
        break;
    }
    script += "\n";
  }
  return script;
}

bool ValidMode(int32_t m) {
  return (m >= mode::Busy && m <= mode::Collection) ||
         (m >= mode::BattleFirst && m <= mode::BattleLast);
}

void CheckMode(const headless::InputEvent&, void*) {
  if (!ValidMode(shell.InputMode)) std::abort();
}

void Put(fuzz::MemoryHost& host, const std::string& name, const std::string& text) {
  host.files[name].assign(text.begin(), text.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  Writer start{in, false, 0, {}};
  start.Lines(in.ConsumeIntegralInRange<int>(1, kMaxLines));
  Writer part2{in, true, 0, {}};
  part2.Lines(in.ConsumeIntegralInRange<int>(0, kMaxLines / 2));
  const std::string input = Inputs(in);

  std::vector<headless::InputEvent> events;
  std::string error;
  if (!headless::ParseInputScript(input, events, error)) __builtin_trap();  // the harness's mistake

  headless::Options o;
  o.echo = std::getenv("QF_FUZZ_ECHO") != nullptr;
  o.testFont = true;
  o.until = kVirtualBudgetMs;
  auto host = std::make_unique<fuzz::MemoryHost>(o);
  for (const char* name : {"CardData.dat", "AtArts.dat", "DfArts.dat", "opp.dec"})
    host->files[name] = fuzz::BaseFile(name);
  host->files["pic.K16"] = fuzz::BaseFile("pic.K16");
  Put(*host, "config.scn", ".int n\n.int m\n.str s\n");
  Put(*host, "start.scn", start.out);
  Put(*host, "part2.scn", part2.out);
  if (o.echo) {
    std::fprintf(stderr, "--- start\n%s--- part2\n%s--- input\n%s---\n", start.out.c_str(),
                 part2.out.c_str(), input.c_str());
  }
  host->SetInput(std::move(events));
  host->SetAutomation(AutomatedClicks);
  host->SetInputHook(CheckMode, nullptr);
  plat::SetHost(host.get());
  ResetGameState();
  GameMain();
  if (!ValidMode(shell.InputMode)) std::abort();
  ResetGameState();
  plat::SetHost(nullptr);
  return 0;
}
