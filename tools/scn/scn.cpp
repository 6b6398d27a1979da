#include "scn.h"

#include <initializer_list>
#include <map>
#include <set>
#include <sstream>

#include "platform/posix/host_files.h"
#include "script/interpreter.h"
#include "script/reader.h"
#include "script/variables.h"
#include "shell/app.h"

namespace scn_tool {
namespace {

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

bool HasVariables(const std::string& s) { return s.find('[') != std::string::npos; }

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

bool OneOf(const std::string& word, std::initializer_list<const char*> words) {
  for (const char* w : words)
    if (word == w) return true;
  return false;
}

// The words and numbers of the card, arts and strong commands that the game
// would silently ignore: an unknown word or a number outside its table makes
// the whole command do nothing. Returns why, or nothing when the line is fine.
std::string GameCommandMistake(const std::vector<std::string>& t) {
  auto arg = [&](size_t k) { return k < t.size() ? t[k] : std::string(); };
  auto outside = [&](size_t k, long long low, long long high) {
    long long v = 0;
    return LiteralValue(arg(k), v) && (v < low || v > high);
  };
  const std::string& cmd = t[0];
  if (cmd == ".strong" && !OneOf(arg(1), {"begin", "end"}))
    return "\".strong\" takes begin or end, not \"" + arg(1) + "\"";
  if (cmd == ".arts") {
    if (arg(1) != "add") return "\".arts\" knows only \"add\", not \"" + arg(1) + "\"";
    if (arg(2) != "attack") return "\".arts add\" knows only \"attack\", not \"" + arg(2) + "\"";
    if (t.size() < 4) return "\".arts add attack\" needs an art number";
    if (outside(3, 1, 70)) return "attack art " + arg(3) + " is outside 1 to 70";
  }
  if (cmd == ".card") {
    const std::string& sub = arg(1);
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
    if (sub == "info" && !OneOf(arg(2), {"name", "description", "attribute"}))
      return "\".card info\" has no field \"" + arg(2) + "\" (name, description, attribute)";
    if (sub == "num" && !OneOf(arg(2), {"deck", "stock", "collection"}))
      return "\".card num\" has no list \"" + arg(2) + "\" (deck, stock, collection)";
    if (sub != "info" && sub != "num" && !OneOf(arg(2), {"deck", "stock"}))
      return "\".card " + sub + "\" has no list \"" + arg(2) + "\" (deck, stock)";
    if (!dump && outside(3, 1, 50)) return "card " + arg(3) + " is outside 1 to 50";
  }
  if (cmd == ".battle") {
    if (t.size() < 11)
      return "\".battle\" needs ten arguments: face, HP, max HP, MP, max MP, style, deck, "
             "shuffle, hand size and kind";
    if (outside(6, 1, 3)) return "the opponent's style " + arg(6) + " is outside 1 to 3";
    if (outside(9, 1, 6)) return "the hand size " + arg(9) + " is outside 1 to 6";
  }
  return {};
}

}  // namespace

Result Compile(const std::vector<Source>& sources) {
  // The same command table the game assembles at start-up.
  WireSubsystems();
  Result r;
  std::map<std::string, size_t> byName;
  for (size_t i = 0; i < sources.size(); ++i) byName[sources[i].name] = i;
  std::vector<std::set<std::string>> labels(sources.size());
  std::vector<Target> targets;
  std::vector<std::string> converted(sources.size());
  // Names the scripts may assign: the writable built-ins and what "config"
  // declares.
  std::set<std::string> assignable;
  struct Assignment {
    std::string name;
    Place at;
  };
  std::vector<Assignment> assignments;

  auto error = [&](const Place& p, const std::string& why) {
    r.errors.push_back(sources[p.source].path + ":" + std::to_string(p.line) + ": " + why);
  };

  for (size_t s = 0; s < sources.size(); ++s) {
    std::istringstream in(sources[s].text);
    std::string line;
    int lineNo = 0;
    std::vector<int> openBlocks;
    while (std::getline(in, line)) {
      ++lineNo;
      const Place here{s, lineNo};
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::string sjis;
      if (!posix::Utf8ToSjis(line, sjis)) {
        const std::string bad = FirstUnencodable(line);
        error(here, bad.empty() ? "the line is not valid UTF-8"
                                : "\"" + bad + "\" has no Shift-JIS form");
        continue;
      }
      // The reader's buffer holds kLineSize - 1 bytes with the line end.
      if (sjis.size() + 1 > kLineSize - 1) {
        error(here, "the line is " + std::to_string(sjis.size()) +
                        " bytes in Shift-JIS; the game reads at most " +
                        std::to_string(kLineSize - 2) + " and would split it");
      }
      converted[s] += sjis + "\n";

      size_t start = 0;
      while (start < sjis.size() && sjis[start] == '\t') ++start;
      const std::string body = sjis.substr(start);
      if (body.empty() || body[0] == '#') continue;
      if (body[0] == ':') {
        bool unclosed = false;
        const auto t = Tokens(body, unclosed);
        if (!labels[s].insert(t[0]).second) {
          r.warnings.push_back(sources[s].path + ":" + std::to_string(lineNo) + ": label " + t[0] +
                               " appears again; jumps find the first one");
        }
        continue;
      }
      if (body[0] != '.') continue;
      bool unclosed = false;
      const auto t = Tokens(body, unclosed);
      if (unclosed) error(here, "a double quote is not closed");
      const std::string& cmd = t[0];
      // "config" only declares variables; the game reads nothing else there.
      if (sources[s].name == "config") {
        if (cmd == ".int" || cmd == ".str") {
          for (size_t k = 1; k < t.size(); ++k) {
            std::string name;
            posix::Utf8ToSjis(t[k], name);
            if (name.size() > kNameSize - 1) {
              error(here, "the variable name " + t[k] + " is longer than " +
                              std::to_string(kNameSize - 1) + " bytes in Shift-JIS");
            }
            assignable.insert(t[k]);
          }
        }
        continue;
      }
      if (!FindCommand(cmd.c_str())) {
        error(here, "unknown command " + cmd);
        continue;
      }
      auto arg = [&](size_t k) { return k < t.size() ? t[k] : std::string(); };
      if (cmd == ".cas") openBlocks.push_back(lineNo);
      if (cmd == ".") {
        if (openBlocks.empty()) {
          error(here, "\".\" closes no \".cas\" block");
        } else {
          openBlocks.pop_back();
        }
      }
      if (cmd == ".jmp") targets.push_back({arg(1), here});
      if ((cmd == ".let" || cmd == ".rnd") && !HasVariables(arg(1)))
        assignments.push_back({arg(1), here});
      if (cmd == ".sub") {
        if (arg(1) != "exit") targets.push_back({arg(1), here});
        const std::string slot = arg(2);
        if (!HasVariables(slot) && !(slot.size() == 1 && slot[0] >= '0' && slot[0] <= '9')) {
          error(here, "the return slot must be 0 to 9");
        }
      }
      if (const std::string why = GameCommandMistake(t); !why.empty()) {
        error(here, why);
      } else if (cmd == ".card" && (arg(1) == "num" || arg(1) == "info") && !HasVariables(arg(4))) {
        // Both end in an assignment to their last argument.
        assignments.push_back({arg(4), here});
      }
      long long kind = 0;
      if (cmd == ".battle" && LiteralValue(arg(10), kind) && kind != 1 && kind != 2) {
        r.warnings.push_back(sources[s].path + ":" + std::to_string(lineNo) + ": battle kind " +
                             arg(10) + " has no background and no music (1 or 2 have)");
      }
      if (cmd == ".slt" && arg(1) == "add") {
        if (t.size() < 4)
          error(here, "\".slt add\" needs a text and a jump target");
        else
          targets.push_back({arg(3), here});
      }
    }
    for (int open : openBlocks) {
      error({s, open}, "this \".cas\" block has no closing \".\"");
    }
  }

  for (const Target& target : targets) {
    if (target.text.empty()) {
      error(target.at, "the jump has no target");
      continue;
    }
    if (HasVariables(target.text)) continue;  // known only when the game runs
    const size_t colon = target.text.find(':');
    const std::string file =
        colon == std::string::npos ? target.text : target.text.substr(0, colon);
    const std::string label = colon == std::string::npos ? "" : target.text.substr(colon);
    size_t in = target.at.source;
    if (!file.empty()) {
      auto it = byName.find(file);
      if (it == byName.end()) {
        error(target.at, "no scenario \"" + file + "\"");
        continue;
      }
      in = it->second;
    }
    if (!label.empty() && !labels[in].count(label)) {
      error(target.at, "no label " + label + " in " + sources[in].name);
    }
  }
  for (const Assignment& a : assignments) {
    if (!assignable.count(a.name) && !IsWritableBuiltin(a.name.c_str()))
      error(a.at, "\"" + a.name + "\" is no variable that can be assigned");
  }
  if (r.errors.empty()) r.output = std::move(converted);
  return r;
}

}  // namespace scn_tool
