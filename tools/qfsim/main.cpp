// qfsim: many battles without a window, for balancing decks and arts.
//
//   qfsim --data DIR --deck NAME --player-deck FILE [--style N] [--hp N] [--mp N]
//         [--player-hp N] [--player-mp N] [--learn 1-7,9] [--learn-defence 1,2|none]
//         [--hand N] [--no-shuffle]
//         [--strategy random|greedy|rules] [--player-style N] [--battles N] [--seed N] [--csv]
#include <cstdio>
#include <cstdlib>
#include <string>

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

}  // namespace

int main(int argc, char** argv) {
  qfsim::Options o;
  bool csv = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    long n = 0;
    auto number = [&](long low, long high, int32_t& into) {
      if (!value || !Number(value, low, high, n)) return false;
      into = static_cast<int32_t>(n);
      ++i;
      return true;
    };
    if (a == "--csv") {
      csv = true;
    } else if (a == "--no-shuffle") {
      o.shuffleOpponent = false;
    } else if (a == "--data" && value) {
      o.dataDir = value;
      ++i;
    } else if (a == "--deck" && value) {
      o.opponentDeck = value;
      ++i;
    } else if (a == "--player-deck" && value) {
      o.playerDeck = value;
      ++i;
    } else if (a == "--strategy" && value) {
      if (!qfsim::ParseStrategy(value, o.strategy)) return Usage("no such strategy");
      ++i;
    } else if (a == "--learn" && value) {
      if (!ArtList(value, 70, o.learned))
        return Usage("--learn takes art numbers 1-70 like 1-7,9, or none");
      ++i;
    } else if (a == "--learn-defence" && value) {
      if (!ArtList(value, 34, o.learnedDefence))
        return Usage("--learn-defence takes art numbers 1-34 like 1,2,4, or none");
      o.defenceFromData = false;
      ++i;
    } else if (a == "--seed" && value && Number(value, 0, 4294967295L, n)) {
      o.seed = static_cast<uint32_t>(n);
      ++i;
    } else if (!((a == "--style" && number(1, 3, o.style)) ||
                 (a == "--hp" && number(1, 99999, o.opponentHp)) ||
                 (a == "--mp" && number(0, 99999, o.opponentMp)) ||
                 (a == "--player-hp" && number(1, 99999, o.playerHp)) ||
                 (a == "--player-mp" && number(0, 99999, o.playerMp)) ||
                 (a == "--hand" && number(1, 6, o.handSize)) ||
                 (a == "--player-style" && number(1, 3, o.playerStyle)) ||
                 (a == "--battles" && number(1, 10000000, o.battles)))) {
      return Usage(
          ("cannot use " + a + (value ? std::string(" ") + value : std::string())).c_str());
    }
  }
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
