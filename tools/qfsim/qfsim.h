// Battles without a window: the game's own battle code run many times
// between a player strategy and an opponent, on the virtual clock, with
// the outcomes added up for content authors balancing decks and arts.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "data/database.h"

namespace qfsim {

enum class Strategy {
  Random,  // any cards, in any order, any number of them
  Greedy,  // the art worth most right now that the hand can spell and MP pay
  Rules,   // the opponent's own rules, played from the player's side
};
bool ParseStrategy(const std::string& word, Strategy& out);
const char* StrategyName(Strategy s);

struct Options {
  std::string dataDir = "data";
  std::string opponentDeck;  // ".dec" in the data folder, without the extension
  int32_t style = 1;         // the opponent's
  int32_t opponentHp = 600, opponentMp = 60;
  std::string playerDeck;  // a ".dec" file, or a deck source (".txt"), as a path
  int32_t playerHp = 600, playerMp = 60;
  std::vector<int32_t> learned = {1, 2, 3, 4, 5, 6, 7};  // the player's attack arts
  // The player's defence arts; without them the database's own flags.
  bool defenceFromData = true;
  std::vector<int32_t> learnedDefence;
  int32_t handSize = 5;
  bool shuffleOpponent = true;
  Strategy strategy = Strategy::Greedy;
  int32_t playerStyle = 1;  // for Strategy::Rules
  int32_t battles = 1000;
  uint32_t seed = 1;
};

// How a battle came to its end.
enum Ending { kByHp, kByCards, kByTurnLimit, kEndings };

struct Report {
  int32_t battles = 0;
  int32_t wins = 0, draws = 0, losses = 0;
  int64_t turns = 0;
  std::array<int32_t, kEndings> endings{};
  int64_t damage[2] = {};  // HP taken from the other side, player and opponent
  // How often each art took effect, by side.
  std::array<std::array<int64_t, kAttackArtsCount + 1>, 2> attackArts{};
  std::array<std::array<int64_t, kDefenceArtsCount + 1>, 2> defenceArts{};
  // The arts the player knew at the start of every battle.
  std::array<bool, kAttackArtsCount + 1> learnedAttack{};
  std::array<bool, kDefenceArtsCount + 1> learnedDefence{};
  // The player's cards: copies in the deck, how often each was played, and
  // how often in an exchange in which the player's art took effect.
  std::array<int32_t, kCardCount + 1> deckCopies{};
  std::array<int64_t, kCardCount + 1> cardsPlayed{};
  std::array<int64_t, kCardCount + 1> cardsInArt{};
  // Names as a terminal shows them (UTF-8), for the table.
  std::array<std::string, kAttackArtsCount + 1> attackNames;
  std::array<std::string, kDefenceArtsCount + 1> defenceNames;
  std::array<std::string, kCardCount + 1> cardNames;
  double secondsPerBattle = 0;
};

// False with a reason when the data or the decks cannot be read.
bool Run(const Options& options, Report& report, std::string& error);

// The report as a table for people and as CSV for spreadsheets.
std::string Table(const Options& options, const Report& report);
std::string Csv(const Options& options, const Report& report);
// What the player had and never put to use: arts it knew that never took
// effect, deck cards never played in an exchange in which its art did.
// " nothing" when there is none.
std::string Unused(const Report& report);

}  // namespace qfsim
