// qfsim: many battles without a window, for balancing decks and arts.
//
//   qfsim --data DIR --deck NAME --player-deck FILE [--style N] [--hp N] [--mp N]
//         [--player-hp N] [--player-mp N] [--learn 1-7,9] [--learn-defence 1,2|none]
//         [--hand N] [--no-shuffle]
//         [--strategy random|greedy|rules] [--player-style N] [--battles N] [--seed N] [--csv]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "qfsim.h"

namespace {

int Usage(const char* why) {
  if (why) std::fprintf(stderr, "qfsim: %s\n", why);
  std::fprintf(stderr,
               "usage: qfsim --data DIR --deck NAME --player-deck FILE.dec|FILE.txt\n"
               "             [--style 1-3] [--hp N] [--mp N] [--player-hp N] [--player-mp N]\n"
               "             [--learn LIST] [--learn-defence LIST|none] [--hand 1-6]\n"
               "             [--no-shuffle]\n"
               "             [--strategy random|greedy|rules] [--player-style 1-3]\n"
               "             [--battles N] [--seed N] [--csv]\n");
  return 2;
}

bool Number(const char* text, long low, long high, long& out) {
  char* end = nullptr;
  out = std::strtol(text, &end, 10);
  return end != text && *end == '\0' && out >= low && out <= high;
}

// "1-7,9,12": art numbers up to last; "none" for no art.
bool ArtList(const std::string& text, long last, std::vector<int32_t>& out) {
  out.clear();
  if (text == "none") return true;
  size_t at = 0;
  while (at <= text.size()) {
    const size_t comma = text.find(',', at);
    const std::string item =
        text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
    const size_t dash = item.find('-');
    long a = 0, b = 0;
    if (dash == std::string::npos) {
      if (!Number(item.c_str(), 1, last, a)) return false;
      b = a;
    } else if (!Number(item.substr(0, dash).c_str(), 1, last, a) ||
               !Number(item.substr(dash + 1).c_str(), a, last, b)) {
      return false;
    }
    for (long n = a; n <= b; ++n) out.push_back(static_cast<int32_t>(n));
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  return true;
}

// An option's effect on the options; false with why left empty for the
// usual "cannot use", or with the reason to give.
struct Flag {
  const char* name;
  bool takesValue;
  std::function<bool(const char* value, qfsim::Options& o, std::string& why)> apply;
};

// A whole number from low to high, stored as the option's int32_t.
Flag NumberFlag(const char* name, long low, long high, int32_t qfsim::Options::*field) {
  return {name, true, [=](const char* value, qfsim::Options& o, std::string&) {
            long n = 0;
            if (!Number(value, low, high, n)) return false;
            o.*field = static_cast<int32_t>(n);
            return true;
          }};
}

Flag TextFlag(const char* name, std::string qfsim::Options::*field) {
  return {name, true, [=](const char* value, qfsim::Options& o, std::string&) {
            o.*field = value;
            return true;
          }};
}

const std::vector<Flag>& Flags() {
  static const std::vector<Flag> kFlags = {
      {"--no-shuffle", false,
       [](const char*, qfsim::Options& o, std::string&) {
         o.shuffleOpponent = false;
         return true;
       }},
      TextFlag("--data", &qfsim::Options::dataDir),
      TextFlag("--deck", &qfsim::Options::opponentDeck),
      TextFlag("--player-deck", &qfsim::Options::playerDeck),
      {"--strategy", true,
       [](const char* value, qfsim::Options& o, std::string& why) {
         if (!qfsim::ParseStrategy(value, o.strategy)) why = "no such strategy";
         return why.empty();
       }},
      {"--learn", true,
       [](const char* value, qfsim::Options& o, std::string& why) {
         if (!ArtList(value, 70, o.learned))
           why = "--learn takes art numbers 1-70 like 1-7,9, or none";
         return why.empty();
       }},
      {"--learn-defence", true,
       [](const char* value, qfsim::Options& o, std::string& why) {
         if (!ArtList(value, 34, o.learnedDefence))
           why = "--learn-defence takes art numbers 1-34 like 1,2,4, or none";
         o.defenceFromData = false;
         return why.empty();
       }},
      {"--seed", true,
       [](const char* value, qfsim::Options& o, std::string&) {
         long n = 0;
         if (!Number(value, 0, 4294967295L, n)) return false;
         o.seed = static_cast<uint32_t>(n);
         return true;
       }},
      NumberFlag("--style", 1, 3, &qfsim::Options::style),
      NumberFlag("--hp", 1, 99999, &qfsim::Options::opponentHp),
      NumberFlag("--mp", 0, 99999, &qfsim::Options::opponentMp),
      NumberFlag("--player-hp", 1, 99999, &qfsim::Options::playerHp),
      NumberFlag("--player-mp", 0, 99999, &qfsim::Options::playerMp),
      NumberFlag("--hand", 1, 6, &qfsim::Options::handSize),
      NumberFlag("--player-style", 1, 3, &qfsim::Options::playerStyle),
      NumberFlag("--battles", 1, 10000000, &qfsim::Options::battles),
  };
  return kFlags;
}

// The command line into o; what to say (and exit 2 with) when it is wrong.
bool ParseArgs(int argc, char** argv, qfsim::Options& o, bool& csv, std::string& why) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (a == "--csv") {
      csv = true;
      continue;
    }
    const auto& flags = Flags();
    const auto f =
        std::find_if(flags.begin(), flags.end(), [&](const Flag& e) { return a == e.name; });
    const bool usable = f != flags.end() && (value || !f->takesValue);
    if (!usable || !f->apply(value, o, why)) {
      if (why.empty()) why = "cannot use " + a + (value ? std::string(" ") + value : "");
      return false;
    }
    if (f->takesValue) ++i;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  qfsim::Options o;
  bool csv = false;
  if (std::string why; !ParseArgs(argc, argv, o, csv, why)) return Usage(why.c_str());
  if (o.opponentDeck.empty() || o.playerDeck.empty())
    return Usage("--deck and --player-deck are needed");
  qfsim::Report report;
  std::string error;
  if (!qfsim::Run(o, report, error)) {
    std::fprintf(stderr, "qfsim: %s\n", error.c_str());
    return 1;
  }
  std::fputs((csv ? qfsim::Csv(o, report) : qfsim::Table(o, report)).c_str(), stdout);
  return 0;
}
