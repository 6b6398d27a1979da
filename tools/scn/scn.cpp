#include "scn.h"

#include <algorithm>
#include <initializer_list>
#include <map>
#include <set>
#include <sstream>

#include "data_check.h"
#include "data_folder.h"
#include "platform/posix/host_files.h"
#include "script/interpreter.h"
#include "script/reader.h"
#include "script/variables.h"
#include "shell/app.h"

namespace scn_tool {

bool HasVariables(const std::string& s) { return s.find('[') != std::string::npos; }

// Splits a Shift-JIS line into tokens with the game's own tokenizer, each
// token back in UTF-8 for the messages. unclosed is set when a quote runs to
// the end of the line.
std::vector<std::string> Tokens(const std::string& sjisLine, bool& unclosed) {
  std::vector<std::string> out;
  unclosed = false;
  char line[kLineSize] = {};
  sjisLine.copy(line, kLineSize - 1);
  char token[kLineSize];
  while (line[0] != '\0' && line[0] != '\n') {
    if (!TakeToken(token, line)) unclosed = true;
    out.push_back(posix::SjisToUtf8(token));
  }
  if (out.empty()) out.emplace_back();
  return out;
}

// The value the game gives a number written in the line: an optional sign and
// the digits that follow. False for a name or a reference, whose value is
// known only when the game runs.
bool LiteralValue(const std::string& token, long long& value) {
  if (token.empty() || HasVariables(token)) return false;
  const char first = token[0];
  if (first != '+' && first != '-' && (first < '0' || first > '9')) return false;
  size_t i = (first == '+' || first == '-') ? 1 : 0;
  value = 0;
  for (; i < token.size() && token[i] >= '0' && token[i] <= '9' && value < (1LL << 40); ++i)
    value = value * 10 + (token[i] - '0');
  if (first == '-') value = -value;
  return true;
}

namespace {

// The first character of text that has no Shift-JIS form.
std::string FirstUnencodable(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    size_t n = 1;
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0xF0)
      n = 4;
    else if (c >= 0xE0)
      n = 3;
    else if (c >= 0xC0)
      n = 2;
    std::string ch = text.substr(i, n);
    std::string out;
    if (!posix::Utf8ToSjis(ch, out)) return ch;
    i += n;
  }
  return {};
}

struct Place {
  size_t source;
  int line;
};

struct Target {
  std::string text;
  Place at;
};

bool OneOf(const std::string& word, std::initializer_list<const char*> words) {
  for (const char* w : words)
    if (word == w) return true;
  return false;
}

std::string Arg(const std::vector<std::string>& t, size_t k) {
  return k < t.size() ? t[k] : std::string();
}

// A number written in the line that lies outside low..high.
bool Outside(const std::vector<std::string>& t, size_t k, long long low, long long high) {
  long long v = 0;
  return LiteralValue(Arg(t, k), v) && (v < low || v > high);
}

std::string StrongMistake(const std::vector<std::string>& t) {
  if (!OneOf(Arg(t, 1), {"begin", "end"}))
    return "\".strong\" takes begin or end, not \"" + Arg(t, 1) + "\"";
  return {};
}

std::string ArtsMistake(const std::vector<std::string>& t) {
  if (Arg(t, 1) != "add") return "\".arts\" knows only \"add\", not \"" + Arg(t, 1) + "\"";
  if (Arg(t, 2) != "attack")
    return "\".arts add\" knows only \"attack\", not \"" + Arg(t, 2) + "\"";
  if (t.size() < 4) return "\".arts add attack\" needs an art number";
  if (Outside(t, 3, 1, 70)) return "attack art " + Arg(t, 3) + " is outside 1 to 70";
  return {};
}

std::string CardMistake(const std::vector<std::string>& t) {
  const std::string sub = Arg(t, 1);
  if (!OneOf(sub, {"add", "sub", "num", "info", "dump"}))
    return "\".card\" has no sub-command \"" + sub + "\" (add, sub, num, info, dump)";
  const bool dump = sub == "dump";
  if (t.size() < (dump ? 4u : 5u)) {
    return "\".card " + sub + "\" needs " +
           (dump            ? "a list and a count"
            : sub == "info" ? "a field, a card and a variable"
            : sub == "num"  ? "a list, a card and a variable"
                            : "a list, a card and a count");
  }
  if (sub == "info" && !OneOf(Arg(t, 2), {"name", "description", "attribute"}))
    return "\".card info\" has no field \"" + Arg(t, 2) + "\" (name, description, attribute)";
  if (sub == "num" && !OneOf(Arg(t, 2), {"deck", "stock", "collection"}))
    return "\".card num\" has no list \"" + Arg(t, 2) + "\" (deck, stock, collection)";
  if (sub != "info" && sub != "num" && !OneOf(Arg(t, 2), {"deck", "stock"}))
    return "\".card " + sub + "\" has no list \"" + Arg(t, 2) + "\" (deck, stock)";
  if (!dump && Outside(t, 3, 1, 50)) return "card " + Arg(t, 3) + " is outside 1 to 50";
  return {};
}

std::string BattleMistake(const std::vector<std::string>& t) {
  if (t.size() < 11)
    return "\".battle\" needs ten arguments: face, HP, max HP, MP, max MP, style, deck, "
           "shuffle, hand size and kind";
  if (Outside(t, 6, 1, 3)) return "the opponent's style " + Arg(t, 6) + " is outside 1 to 3";
  if (Outside(t, 9, 1, 6)) return "the hand size " + Arg(t, 9) + " is outside 1 to 6";
  return {};
}

// The words and numbers of the card, arts and strong commands that the game
// would silently ignore: an unknown word or a number outside its table makes
// the whole command do nothing. Returns why, or nothing when the line is fine.
std::string GameCommandMistake(const std::vector<std::string>& t) {
  using Check = std::string (*)(const std::vector<std::string>&);
  static const std::map<std::string, Check> kChecks = {
      {".strong", StrongMistake},
      {".arts", ArtsMistake},
      {".card", CardMistake},
      {".battle", BattleMistake},
  };
  const auto it = kChecks.find(t[0]);
  return it == kChecks.end() ? std::string() : it->second(t);
}

struct Assignment {
  std::string name;
  Place at;
};

// One run over every source: what each line declares (labels, variables)
// and what it asks of the others (jump targets, assignments), checked
// against each other once all are read.
class Checker {
 public:
  Checker(const std::vector<Source>& sources, std::map<std::string, std::set<std::string>> others)
      : sources_(sources),
        labels_(sources.size()),
        converted_(sources.size()),
        others_(std::move(others)) {
    for (size_t i = 0; i < sources.size(); ++i) byName_[sources[i].name] = i;
  }

  Result Run() {
    for (size_t s = 0; s < sources_.size(); ++s) ReadSource(s);
    for (const Target& target : targets_) CheckTarget(target);
    for (const Assignment& a : assignments_) {
      if (!assignable_.count(a.name) && !IsWritableBuiltin(a.name.c_str()))
        Error(a.at, "\"" + a.name + "\" is no variable that can be assigned");
    }
    if (r_.errors.empty()) r_.output = std::move(converted_);
    return std::move(r_);
  }

 private:
  void Error(const Place& p, const std::string& why) {
    r_.errors.push_back(sources_[p.source].path + ":" + std::to_string(p.line) + ": " + why);
  }
  void Warn(const Place& p, const std::string& why) {
    r_.warnings.push_back(sources_[p.source].path + ":" + std::to_string(p.line) + ": " + why);
  }

  void ReadSource(size_t s) {
    std::istringstream in(sources_[s].text);
    std::string line;
    int lineNo = 0;
    std::vector<int> openBlocks;
    while (std::getline(in, line)) {
      ++lineNo;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      ReadLine({s, lineNo}, line, openBlocks);
    }
    for (int open : openBlocks) {
      Error({s, open}, "this \".cas\" block has no closing \".\"");
    }
  }

  void ReadLine(const Place& here, const std::string& line, std::vector<int>& openBlocks) {
    std::string sjis;
    if (!posix::Utf8ToSjis(line, sjis)) {
      const std::string bad = FirstUnencodable(line);
      Error(here,
            bad.empty() ? "the line is not valid UTF-8" : "\"" + bad + "\" has no Shift-JIS form");
      return;
    }
    // The reader's buffer holds kLineSize - 1 bytes with the line end.
    if (sjis.size() + 1 > kLineSize - 1) {
      Error(here, "the line is " + std::to_string(sjis.size()) +
                      " bytes in Shift-JIS; the game reads at most " +
                      std::to_string(kLineSize - 2) + " and would split it");
    }
    converted_[here.source] += sjis + "\n";

    size_t start = 0;
    while (start < sjis.size() && sjis[start] == '\t') ++start;
    const std::string body = sjis.substr(start);
    if (body.empty() || body[0] == '#') return;
    bool unclosed = false;
    if (body[0] == ':') {
      const auto t = Tokens(body, unclosed);
      if (!labels_[here.source].insert(t[0]).second)
        Warn(here, "label " + t[0] + " appears again; jumps find the first one");
      return;
    }
    if (body[0] != '.') return;
    const auto t = Tokens(body, unclosed);
    if (unclosed) Error(here, "a double quote is not closed");
    // "config" only declares variables; the game reads nothing else there.
    if (sources_[here.source].name == "config") {
      if (t[0] == ".int" || t[0] == ".str") Declare(here, t);
      return;
    }
    if (!FindCommand(t[0].c_str())) {
      Error(here, "unknown command " + t[0]);
      return;
    }
    CheckCommand(here, t, openBlocks);
  }

  void Declare(const Place& here, const std::vector<std::string>& t) {
    for (size_t k = 1; k < t.size(); ++k) {
      std::string name;
      posix::Utf8ToSjis(t[k], name);
      if (name.size() > kNameSize - 1) {
        Error(here, "the variable name " + t[k] + " is longer than " +
                        std::to_string(kNameSize - 1) + " bytes in Shift-JIS");
      }
      assignable_.insert(t[k]);
    }
  }

  // ".cas" opens a block that a line of "." alone closes.
  void TrackBlocks(const Place& here, const std::string& cmd, std::vector<int>& openBlocks) {
    if (cmd == ".cas") openBlocks.push_back(here.line);
    if (cmd != ".") return;
    if (openBlocks.empty()) {
      Error(here, "\".\" closes no \".cas\" block");
    } else {
      openBlocks.pop_back();
    }
  }

  void CheckCommand(const Place& here, const std::vector<std::string>& t,
                    std::vector<int>& openBlocks) {
    const std::string& cmd = t[0];
    TrackBlocks(here, cmd, openBlocks);
    if (cmd == ".jmp") targets_.push_back({Arg(t, 1), here});
    if ((cmd == ".let" || cmd == ".rnd") && !HasVariables(Arg(t, 1)))
      assignments_.push_back({Arg(t, 1), here});
    if (cmd == ".sub") {
      if (Arg(t, 1) != "exit") targets_.push_back({Arg(t, 1), here});
      const std::string slot = Arg(t, 2);
      if (!HasVariables(slot) && !(slot.size() == 1 && slot[0] >= '0' && slot[0] <= '9')) {
        Error(here, "the return slot must be 0 to 9");
      }
    }
    if (const std::string why = GameCommandMistake(t); !why.empty()) {
      Error(here, why);
    } else if (cmd == ".card" && (Arg(t, 1) == "num" || Arg(t, 1) == "info") &&
               !HasVariables(Arg(t, 4))) {
      // Both end in an assignment to their last argument.
      assignments_.push_back({Arg(t, 4), here});
    }
    long long kind = 0;
    if (cmd == ".battle" && LiteralValue(Arg(t, 10), kind) && kind != 1 && kind != 2)
      Warn(here, "battle kind " + Arg(t, 10) + " has no background and no music (1 or 2 have)");
    if (cmd == ".slt" && Arg(t, 1) == "add") {
      if (t.size() < 4)
        Error(here, "\".slt add\" needs a text and a jump target");
      else
        targets_.push_back({Arg(t, 3), here});
    }
  }

  void CheckTarget(const Target& target) {
    if (target.text.empty()) {
      Error(target.at, "the jump has no target");
      return;
    }
    if (HasVariables(target.text)) return;  // known only when the game runs
    const size_t colon = target.text.find(':');
    const std::string file =
        colon == std::string::npos ? target.text : target.text.substr(0, colon);
    const std::string label = colon == std::string::npos ? "" : target.text.substr(colon);
    const std::set<std::string>* labels = &labels_[target.at.source];
    if (!file.empty()) {
      auto it = byName_.find(file);
      auto other = others_.find(file);
      if (it != byName_.end()) {
        labels = &labels_[it->second];
      } else if (other != others_.end()) {
        labels = &other->second;
      } else {
        Error(target.at, "no scenario \"" + file + "\"");
        return;
      }
    }
    if (!label.empty() && !labels->count(label)) {
      Error(target.at,
            "no label " + label + " in " + (file.empty() ? sources_[target.at.source].name : file));
    }
  }

  const std::vector<Source>& sources_;
  Result r_;
  std::map<std::string, size_t> byName_;
  std::vector<std::set<std::string>> labels_;
  std::vector<Target> targets_;
  std::vector<std::string> converted_;
  // Names the scripts may assign: the writable built-ins and what "config"
  // declares.
  std::set<std::string> assignable_;
  std::vector<Assignment> assignments_;
  // The data folder's scenarios that are not among the sources: their labels.
  std::map<std::string, std::set<std::string>> others_;
};

// The labels of a scenario's text (UTF-8).
std::set<std::string> LabelsOf(const std::string& text) {
  std::set<std::string> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    size_t start = line.find_first_not_of('\t');
    std::string sjis;
    if (start == std::string::npos || line[start] != ':' ||
        !posix::Utf8ToSjis(line.substr(start), sjis))
      continue;
    bool unclosed = false;
    out.insert(Tokens(sjis, unclosed)[0]);
  }
  return out;
}

}  // namespace

Result Compile(const std::vector<Source>& sources, const DataFolder* data) {
  // The same command table the game assembles at start-up.
  WireSubsystems();
  if (!data) return Checker(sources, {}).Run();
  // The folder's scenarios answer jumps the sources do not; its "config"
  // declares the variables when the sources have none.
  std::vector<Source> all = sources;
  std::map<std::string, std::set<std::string>> others;
  for (const auto& [name, text] : data->Scenarios()) {
    others[name] = LabelsOf(text);
    if (name == "config" && std::none_of(sources.begin(), sources.end(),
                                         [](const Source& s) { return s.name == "config"; }))
      all.push_back({name, data->Root() + "/config.scn", text});
  }
  for (const Source& s : all) others.erase(s.name);
  Result r = Checker(all, std::move(others)).Run();
  CheckWithData(all, *data, r);
  if (!r.errors.empty()) r.output.clear();
  r.output.resize(std::min(r.output.size(), sources.size()));
  return r;
}

}  // namespace scn_tool
