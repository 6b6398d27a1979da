// What qf-scn checks against a data folder: the files and labels the
// commands name, the names and numbers the game's tables know, the
// variables, and whether text finds room in its message window.
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "data_check.h"

#include "data/database.h"
#include "graphics/image.h"
#include "graphics/textwindow.h"
#include "graphics/transition.h"
#include "platform/headless/headless.h"
#include "platform/sjis.h"
#include "script/presentation.h"
#include "script/variables.h"
#include "shell/data_files.h"
#include "sound/music.h"

namespace scn_tool {
namespace {

using Tokens_ = std::vector<std::string>;

std::string Arg(const Tokens_& t, size_t k) { return k < t.size() ? t[k] : std::string(); }

std::string Sjis(const std::string& utf8) {
  std::string out;
  posix::Utf8ToSjis(utf8, out);
  return out;
}

bool StartsNumber(const std::string& s) {
  return !s.empty() && (s[0] == '+' || s[0] == '-' || (s[0] >= '0' && s[0] <= '9'));
}

bool IsComparison(const std::string& cmd) {
  for (const char* c : {".==", ".!=", ".<", ".>", ".<=", ".>="})
    if (cmd == c) return true;
  return false;
}

// The message windows as the game sets them up, on a headless host's fonts,
// fed the text lines in file order: where a line would wrap or fall past
// the window's last line.
class TextRoom {
 public:
  TextRoom() {
    headless::Options o;
    o.echo = false;
    previous_ = plat::HasHost() ? &plat::host() : nullptr;
    host_ = std::make_unique<headless::HeadlessHost>(o);
    plat::SetHost(host_.get());
    CreateGlobalImages();  // the screen the windows stand in
    SetupMessageWindows();
  }
  ~TextRoom() {
    // The windows' fonts belong to the host that made them.
    DestroyMessageWindows();
    DestroyGlobalImages();
    plat::SetHost(previous_);
  }
  TextRoom(const TextRoom&) = delete;
  TextRoom& operator=(const TextRoom&) = delete;

  // 0 while the file has not said which window its text goes to.
  int window = 0;
  void Clear() {
    for (int n = 1; n <= 4; ++n) {
      msgwin.window[n].ClearAll();
      log_[n].clear();
    }
  }
  void ClearCurrent() {
    if (!window) return;
    msgwin.window[window].ClearAll();
    log_[window].clear();
  }

  // What the current window was given since it was last cleared, to go back
  // to: each branch of a case block starts where the block did.
  struct Op {
    std::string text;
    bool breakAtEnd = false, breakIfStarted = false;
  };
  std::vector<Op> Log() const { return window ? log_[window] : std::vector<Op>{}; }
  void Restore(const std::vector<Op>& ops) {
    if (!window) return;
    ClearCurrent();
    for (const Op& op : ops) {
      if (op.breakIfStarted)
        BreakIfStarted();
      else
        Print(op.text, op.breakAtEnd);
    }
  }
  int LinesUsed() const { return window ? msgwin.window[window].CurrentLine() : 0; }

  struct Fit {
    bool wraps = false, past = false;
  };
  // Prints Shift-JIS text with the escapes of text lines ("\\", "\n", a
  // dropped backslash); a break at the end when breakAtEnd.
  Fit Print(const std::string& text, bool breakAtEnd) {
    Fit fit;
    if (!window) return fit;
    log_[window].push_back({text, breakAtEnd, false});
    TextWindow& w = msgwin.window[window];
    for (size_t i = 0; i < text.size();) {
      const auto c = static_cast<unsigned char>(text[i]);
      size_t len = sjis::IsLeadByte(c) && i + 1 < text.size() ? 2 : 1;
      if (c == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
        w.NewLine();
        i += 2;
        continue;
      }
      if (c == '\\' && (i + 1 >= text.size() || text[i + 1] != '\\')) {
        ++i;
        continue;
      }
      const std::string ch = text.substr(i, len);
      i += c == '\\' ? 2 : len;
      const int before = w.CurrentLine();
      w.Print(ch.c_str(), 0);
      fit.wraps = fit.wraps || w.CurrentLine() != before;
      fit.past = fit.past || w.CurrentLine() > w.ShownLines();
    }
    if (breakAtEnd) w.NewLine();
    return fit;
  }
  void BreakIfStarted() {
    if (!window) return;
    log_[window].push_back({{}, false, true});
    TextWindow& w = msgwin.window[window];
    LineRecord r{};
    if (w.GetLine(w.CurrentLine(), r) && r.text[0] != '\0') w.NewLine();
  }
  int Shown() const { return window ? msgwin.window[window].ShownLines() : 0; }

 private:
  plat::Host* previous_ = nullptr;
  std::unique_ptr<headless::HeadlessHost> host_;
  std::vector<Op> log_[5];
};

// Text with its references left out: their values are known only when the
// game runs, so the text is measured without them.
std::string WithoutReferences(const std::string& sjisText) {
  std::string out;
  int depth = 0;
  for (size_t i = 0; i < sjisText.size(); ++i) {
    const char c = sjisText[i];
    const bool lead = sjis::IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < sjisText.size();
    if (c == '[') {
      ++depth;
    } else if (c == ']' && depth > 0) {
      --depth;
    } else if (depth == 0) {
      out += c;
      if (lead) out += sjisText[i + 1];
    }
    if (lead) ++i;
  }
  return out;
}

struct Place {
  const Source* source;
  int line;
};

class DataChecker {
 public:
  DataChecker(const std::vector<Source>& sources, const DataFolder& data, Result& r)
      : sources_(sources), data_(data), r_(r) {}

  void Run() {
    for (const Source& s : sources_) ReadDeclarations(s);
    for (const Source& s : sources_) {
      if (s.name == "config") continue;
      room_.Clear();
      blocks_.clear();
      choices_.clear();
      // The game begins in window 1; a scenario reached by a jump may be
      // in any window until it says.
      room_.window = s.name == "start" ? 1 : 0;
      ReadSource(s);
    }
    CheckEngineFiles();
  }

 private:
  void Error(const Place& p, const std::string& why) {
    r_.errors.push_back(p.source->path + ":" + std::to_string(p.line) + ": " + why);
  }
  void Warn(const Place& p, const std::string& why) {
    r_.warnings.push_back(p.source->path + ":" + std::to_string(p.line) + ": " + why);
  }

  template <typename Each>
  static void EachLine(const Source& s, Each each) {
    std::istringstream in(s.text);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
      ++n;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::string sjis;
      if (!posix::Utf8ToSjis(line, sjis)) continue;  // reported by the first pass
      const size_t start = sjis.find_first_not_of('\t');
      if (start == std::string::npos || sjis[start] == '#') continue;
      each(n, sjis.substr(start));
    }
  }

  void ReadDeclarations(const Source& s) {
    if (s.name != "config") return;
    EachLine(s, [&](int, const std::string& body) {
      bool unclosed = false;
      const Tokens_ t = Tokens(body, unclosed);
      if (t[0] != ".int" && t[0] != ".str") return;
      for (size_t k = 1; k < t.size(); ++k) (t[0] == ".int" ? ints_ : strs_).insert(t[k]);
    });
  }

  void ReadSource(const Source& s) {
    EachLine(s, [&](int n, const std::string& body) {
      const Place at{&s, n};
      if (body[0] == ':') return;
      if (body[0] != '.') {
        Text(at, body);
        return;
      }
      bool unclosed = false;
      const Tokens_ t = Tokens(body, unclosed);
      for (size_t k = 1; k < t.size(); ++k) References(at, t[k]);
      Command(at, t);
    });
  }

  // Every [name] in the text: declared or built in. A caret, a number or a
  // name built of another reference is left to the game.
  void References(const Place& at, const std::string& text) {
    size_t open = std::string::npos;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '[') {
        open = i;
      } else if (text[i] == ']' && open != std::string::npos) {
        const std::string name = text.substr(open + 1, i - open - 1);
        open = std::string::npos;
        if (name.find('^') != std::string::npos || StartsNumber(name) || IsBuiltIn(name) ||
            ints_.count(name) || strs_.count(name))
          continue;
        Error(at, "[" + name + "] is no variable: not declared in config.scn and not built in");
      }
    }
  }

  static bool IsBuiltIn(const std::string& name) {
    return builtins.values.Find(name.c_str()) != nullptr;
  }

  // A value the game reads as a number: written as one, or an integer
  // variable, or built in.
  void Term(const Place& at, const std::string& token) {
    if (token.empty() || HasVariables(token) || StartsNumber(token) || IsBuiltIn(token) ||
        ints_.count(token))
      return;
    if (strs_.count(token)) {
      Error(at, "\"" + token + "\" is a string variable where a number is read");
    } else {
      Error(at, "\"" + token + "\" is neither a number nor an integer variable");
    }
  }
  // The terms of an expression: every other token from the first.
  void Expression(const Place& at, const Tokens_& t, size_t first) {
    for (size_t k = first; k < t.size(); k += 2) Term(at, t[k]);
  }

  void File(const Place& at, const std::string& name, const char* extension, const char* what) {
    if (name.empty() || HasVariables(name)) return;
    const std::string file = Sjis(name) + extension;
    const bool found = std::string(extension) == ".mid" ? data_.HasSong(file) : data_.Has(file);
    if (!found) Error(at, std::string("no ") + what + " \"" + name + extension + "\"");
  }

  // A literal outside 0 .. count - 1 of a table.
  void Mode(const Place& at, const std::string& cmd, const std::string& token, int32_t count) {
    long long v = 0;
    if (LiteralValue(token, v) && (v < 0 || v >= count))
      Error(at,
            "\"" + cmd + "\" has no mode " + token + " (0 to " + std::to_string(count - 1) + ")");
  }

  void Layer(const Place& at, const std::string& cmd, const std::string& name, int count) {
    if (HasVariables(name)) return;
    std::string known;
    for (int i = 0; i < count; ++i) {
      if (name == kLayerNames[i]) return;
      known += std::string(i ? ", " : "") + kLayerNames[i];
    }
    Error(at, "\"" + cmd + "\" has no layer \"" + name + "\" (" + known + ")");
  }

  void Command(const Place& at, const Tokens_& t) {
    const std::string& cmd = t[0];
    if (cmd == ".load") {
      Layer(at, cmd, Arg(t, 1), kPictureLayers);
      File(at, Arg(t, 2), ".K16", "picture");
    } else if (cmd == ".show" || cmd == ".hide") {
      Layer(at, cmd, Arg(t, 1), kLayerCount);
    } else if (cmd == ".wav" || cmd == ".mid") {
      Sound(at, cmd, Arg(t, 1), Arg(t, 2));
    } else if (cmd == ".bgm") {
      if (Arg(t, 1) == "stop") return;
      Term(at, Arg(t, 1));
      Sound(at, ".mid", Arg(t, 2), Arg(t, 3));
    } else if (cmd == ".battle") {
      File(at, Arg(t, 1), ".K16", "face picture");
      File(at, Arg(t, 7), ".dec", "deck");
      for (size_t k : {2, 3, 4, 5, 6, 8, 9, 10}) Term(at, Arg(t, k));
    } else if (cmd == ".let") {
      Let(at, t);
    } else if (cmd == ".rnd") {
      Term(at, Arg(t, 3));
      Term(at, Arg(t, 5));
    } else if (cmd == ".cas" || IsComparison(cmd)) {
      Expression(at, t, 1);
      Branches(cmd);
    } else if (cmd == ".els" || cmd == ".") {
      Branches(cmd);
    } else if (cmd == ".card") {
      Term(at, Arg(t, 3));
      if (Arg(t, 1) == "add" || Arg(t, 1) == "sub") Term(at, Arg(t, 4));
    } else if (cmd == ".arts") {
      Term(at, Arg(t, 3));
    } else if (cmd == ".sub") {
      Term(at, Arg(t, 2));
      if (Arg(t, 1) == "exit") room_.ClearCurrent();
    } else {
      Presentation(at, t);
    }
  }

  void Sound(const Place& at, const std::string& cmd, const std::string& name,
             const std::string& mode) {
    if (name == "stop") return;
    const bool wave = cmd == ".wav";
    File(at, name, wave ? ".wav" : ".mid", wave ? "wave" : "song");
    Term(at, mode);
    Mode(at, cmd, mode, wave ? kWaveModes : kMusicModes);
  }

  void Let(const Place& at, const Tokens_& t) {
    const std::string name = Arg(t, 1);
    if (HasVariables(name) || strs_.count(name)) return;
    if (!ints_.count(name) && !IsBuiltIn(name)) return;  // the first pass names it
    Expression(at, t, 3);
  }

  void Presentation(const Place& at, const Tokens_& t) {
    const std::string& cmd = t[0];
    long long v = 0;
    const bool literal = LiteralValue(Arg(t, 1), v);
    if (cmd == ".msg") {
      Term(at, Arg(t, 1));
      if (literal && (v < 1 || v > 4))
        Error(at, "there is no message window " + Arg(t, 1) + " (1 to 4)");
      // The game keeps its window for a number outside 1..4; a value known
      // only at run time leaves the window unknown.
      if (!literal) room_.window = 0;
      if (literal && v >= 1 && v <= 4) room_.window = static_cast<int>(v);
    } else if (cmd == ".update") {
      Term(at, Arg(t, 1));
      if (literal && v != 0 && TransitionLastStep(static_cast<int32_t>(v)) == 0)
        Warn(at, "transition " + Arg(t, 1) + " shows nothing (0 to 9 do)");
    } else if (cmd == ".wat" || cmd == ".cwt") {
      Term(at, Arg(t, 1));
    } else if (cmd == ".clk" || cmd == ".tcl") {
      Term(at, Arg(t, 1));
      const long long most = cmd == ".tcl" ? 1 : 0;
      if (literal && (v < 0 || v > most))
        Error(at, "\"" + cmd + " " + Arg(t, 1) + "\" does nothing (" +
                      (cmd == ".clk" ? "0 waits" : ".tcl: 0 waits and clears, 1 clears") + ")");
      if (cmd == ".tcl") room_.ClearCurrent();
    } else if (cmd == ".slt") {
      Choices(at, t);
    } else if (cmd == ".jmp") {
      room_.ClearCurrent();  // what follows is reached from elsewhere
    }
  }

  // Only one branch of a case block runs: each starts from the window and
  // the choices the block began with, and the block ends with the branch
  // that printed the most lines and added the most choices.
  struct Block {
    int window;
    std::vector<TextRoom::Op> start, best;
    int bestLines = -1;
    std::vector<std::string> choicesAtStart, bestChoices;
  };
  void Branches(const std::string& cmd) {
    if (cmd == ".cas") {
      blocks_.push_back({room_.window, room_.Log(), {}, -1, choices_, choices_});
      return;
    }
    if (blocks_.empty()) return;  // reported by the first pass
    Block& b = blocks_.back();
    if (room_.window == b.window && room_.LinesUsed() > b.bestLines) {
      b.bestLines = room_.LinesUsed();
      b.best = room_.Log();
    }
    if (choices_.size() > b.bestChoices.size()) b.bestChoices = choices_;
    room_.window = b.window;
    if (cmd != ".") {
      room_.Restore(b.start);
      choices_ = b.choicesAtStart;
      return;
    }
    room_.Restore(b.bestLines >= 0 ? b.best : b.start);
    choices_ = b.bestChoices;
    blocks_.pop_back();
  }

  void Choices(const Place& at, const Tokens_& t) {
    if (Arg(t, 1) == "add") {
      choices_.push_back(Sjis(Arg(t, 2)));
      return;
    }
    if (Arg(t, 1) != "exec") return;
    room_.BreakIfStarted();
    bool past = false;
    for (const std::string& c : choices_)
      past = room_.Print(WithoutReferences(c), true).past || past;
    choices_.clear();
    if (past)
      Warn(at, "the choices run past the last of window " + std::to_string(room_.window) + "'s " +
                   std::to_string(room_.Shown()) + " lines and are not shown");
    room_.ClearCurrent();
  }

  void Text(const Place& at, const std::string& sjisLine) {
    References(at, posix::SjisToUtf8(sjisLine));
    std::string text = WithoutReferences(sjisLine);
    bool breakAtEnd = true;
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "!n") == 0) {
      text.resize(text.size() - 2);
      breakAtEnd = false;
    } else if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\\n") == 0) {
      breakAtEnd = false;  // the escape is the line's one break
    }
    const TextRoom::Fit fit = room_.Print(text, breakAtEnd);
    const std::string w = "window " + std::to_string(room_.window);
    if (fit.wraps) Warn(at, "the text is wider than a line of " + w + " and wraps");
    if (fit.past)
      Warn(at, "the text runs past the last of " + w + "'s " + std::to_string(room_.Shown()) +
                   " lines and is not shown (clear it with .tcl)");
  }

  // The files the engine itself loads, for every game.
  void CheckEngineFiles() {
    std::set<std::string> given;
    for (const Source& s : sources_) given.insert(s.name + ".scn");
    for (const DataFile& f : EngineDataFiles()) {
      const std::string name = f.name;
      if (given.count(name)) continue;
      const size_t each = name.find("%d");
      for (int n = 1; n <= (each == std::string::npos ? 1 : kCardCount); ++n) {
        const std::string file =
            each == std::string::npos
                ? name
                : name.substr(0, each) + std::to_string(n) + name.substr(each + 2);
        if (data_.Has(file)) continue;
        r_.errors.push_back(data_.Root() + ": no " + posix::SjisToUtf8(file) + " (" + f.use + ")");
        break;
      }
    }
  }

  const std::vector<Source>& sources_;
  const DataFolder& data_;
  Result& r_;
  std::set<std::string> ints_, strs_;
  std::vector<std::string> choices_;
  std::vector<Block> blocks_;
  TextRoom room_;
};

}  // namespace

void CheckWithData(const std::vector<Source>& sources, const DataFolder& data, Result& r) {
  DataChecker(sources, data, r).Run();
}

}  // namespace scn_tool
