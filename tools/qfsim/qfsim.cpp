#include "qfsim.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <sstream>
#include <utility>

#include "battle/arts.h"
#include "battle/autoplayer.h"
#include "battle/battle.h"
#include "battle/opponent.h"
#include "battle/rules.h"
#include "battle/turn.h"
#include "core/random.h"
#include "core/waits.h"
#include "data/database.h"
#include "data/player.h"
#include "deck_file.h"
#include "graphics/textwindow.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "platform/posix/host_files.h"
#include "script/reader.h"
#include "shell/app.h"

namespace qfsim {

namespace {

bool ReadPlayerDeck(const std::string& path, std::vector<uint32_t>& cards, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot be read";
    return false;
  }
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (path.size() > 4 && path.compare(path.size() - 4, 4, ".txt") == 0) {
    const deck_tool::ParseResult r = deck_tool::Parse(text, path);
    if (!r.errors.empty()) {
      error = r.errors.front();
      return false;
    }
    cards = r.cards;
    return true;
  }
  deck_tool::Decoded d;
  if (!deck_tool::Decode(std::vector<uint8_t>(text.begin(), text.end()), d, error)) {
    error = path + ": " + error;
    return false;
  }
  cards = d.cards;
  return true;
}

int64_t PlayerArtsPerformed() {
  int64_t n = 0;
  for (int i = 1; i <= kAttackArtsCount; ++i) n += battle.record.attackArts[0][i];
  for (int i = 1; i <= kDefenceArtsCount; ++i) n += battle.record.defenceArts[0][i];
  return n;
}

bool HasCards(int side) {
  const BattleSide& s = battle.side[side];
  if (s.deckLeft != 0) return true;
  for (int k = 1; k <= battle.handSize; ++k) {
    if (s.hand[k].card != 0 && s.hand[k].inHand) return true;
  }
  return false;
}

Ending HowItEnded() {
  if (sideVitals(0).hp == 0 || sideVitals(1).hp == 0) return kByHp;
  if (!HasCards(0) || !HasCards(1)) return kByCards;
  return kByTurnLimit;
}

bool PlayRandom() {
  for (;;) {
    std::vector<int> inHand;
    for (int k = 1; k <= battle.handSize; ++k) {
      const HandSlot& slot = battle.side[0].hand[k];
      if (slot.card != 0 && slot.inHand) inHand.push_back(k);
    }
    if (inHand.empty() || NextRandom() % 2 == 0) return true;
    const int k = inHand[static_cast<size_t>(NextRandom()) % inHand.size()];
    if (!playCard(0, k)) return false;
  }
}

bool PlayGreedy() {
  int slots[kHandSlots];
  const int count = greedySlots(slots);
  for (int i = 0; i < count; ++i) {
    if (!playCard(0, slots[i])) return false;
  }
  return true;
}

// The opponent's choice made for the player: both sides change places for
// the moment of the choice, so the rules read the player's hand as theirs.
void SwapSides() {
  std::swap(battle.side[0], battle.side[1]);
  const SideVitals a = sideVitals(0), b = sideVitals(1);
  std::swap(a.hp, b.hp);
  std::swap(a.maxHp, b.maxHp);
  std::swap(a.mp, b.mp);
  std::swap(a.maxMp, b.maxMp);
}

// The rules choose among every art the chooser's hand, HP and MP allow; an
// art the player has not learned asks for more HP than anyone has for the
// moment of the choice, so the player keeps to the arts it knows.
int ChooseLearned(bool attack) {
  int count = 0;
  ArtsRecord* table = artsTable(attack ? Role::Attack : Role::Defence, count);
  std::vector<int32_t> needs(static_cast<size_t>(count) + 1);
  for (int i = 1; i <= count; ++i) {
    needs[static_cast<size_t>(i)] = table[i].needHp;
    if (!table[i].learned) table[i].needHp = std::numeric_limits<int32_t>::max();
  }
  const int art = attack ? chooseAttack() : chooseDefence();
  for (int i = 1; i <= count; ++i) table[i].needHp = needs[static_cast<size_t>(i)];
  return art;
}

bool PlayRules(int32_t style) {
  const bool attack = mode::PlayerAttacking(shell.InputMode);
  const int32_t theirStyle = battle.opponentStyle;
  battle.opponentStyle = style;
  SwapSides();
  const int art = ChooseLearned(attack);
  SwapSides();
  battle.opponentStyle = theirStyle;
  if (art == 0) return true;
  const ArtsRecord& record = attack ? db.attackArts[art] : db.defenceArts[art];
  return playCardsOf(0, record.pattern, sizeof record.pattern);
}

bool PlayFor(const Options& o) {
  switch (o.strategy) {
    case Strategy::Random:
      return PlayRandom();
    case Strategy::Greedy:
      return PlayGreedy();
    case Strategy::Rules:
      return PlayRules(o.playerStyle);
  }
  return true;
}

using LearnedAttack = std::array<uint8_t, kAttackArtsCount + 1>;
using LearnedDefence = std::array<uint8_t, kDefenceArtsCount + 1>;

// The arts the player knows at the start of every battle, as the database's
// flags hold them.
void LearnedArts(const Options& o, LearnedAttack& attack, LearnedDefence& defence) {
  for (int32_t n : o.learned) {
    if (n >= 1 && n <= kAttackArtsCount) attack[static_cast<size_t>(n)] = 1;
  }
  for (int i = 1; i <= kDefenceArtsCount; ++i) {
    defence[static_cast<size_t>(i)] = o.defenceFromData ? db.defenceArts[i].learned : 0;
  }
  if (!o.defenceFromData) {
    for (int32_t n : o.learnedDefence) {
      if (n >= 1 && n <= kDefenceArtsCount) defence[static_cast<size_t>(n)] = 1;
    }
  }
}

// What the report says before any battle: what the player knows and holds,
// and the names of everything.
void DescribePlayer(const std::vector<uint32_t>& deck, const LearnedAttack& attack,
                    const LearnedDefence& defence, Report& report) {
  for (int i = 1; i <= kAttackArtsCount; ++i) report.learnedAttack[i] = attack[i] != 0;
  for (int i = 1; i <= kDefenceArtsCount; ++i) report.learnedDefence[i] = defence[i] != 0;
  for (size_t i = 0; i < deck.size() && i < kDeckCapacity; ++i) {
    if (deck[i] >= 1 && deck[i] <= kCardCount) ++report.deckCopies[deck[i]];
  }
  for (size_t i = 1; i <= kAttackArtsCount; ++i)
    report.attackNames[i] = posix::SjisToUtf8(recordText(db.attackArts[i].name));
  for (size_t i = 1; i <= kDefenceArtsCount; ++i)
    report.defenceNames[i] = posix::SjisToUtf8(recordText(db.defenceArts[i].name));
  for (size_t i = 1; i <= kCardCount; ++i)
    report.cardNames[i] = posix::SjisToUtf8(recordText(db.cards[i].name));
}

// The choices and exchanges of one battle until the battle is over; false
// when the battle code fails.
bool PlayOut(const Options& o, Report& report) {
  bool alive = startBattle() != 0;
  // The turn limit ends every battle; the bound only guards the tool.
  for (int step = 0; alive && mode::PlayerChooses(shell.InputMode) && step < 1000; ++step) {
    alive = PlayFor(o);
    std::vector<uint32_t> played;
    for (const PlayedCard& p : battle.side[0].played) {
      if (p.fromSlot != 0) played.push_back(p.card);
    }
    const int64_t artsBefore = PlayerArtsPerformed();
    alive = alive && decideExchange();
    // The player's art of this exchange is the only one of the player's
    // that the resolution up to the next choice performs.
    const bool inArt = PlayerArtsPerformed() > artsBefore;
    for (uint32_t card : played) {
      if (card < 1 || card > kCardCount) continue;
      ++report.cardsPlayed[card];
      if (inArt) ++report.cardsInArt[card];
    }
  }
  return alive;
}

// The finished battle added to the totals.
void AddUp(Report& report) {
  ++report.battles;
  ++report.endings[HowItEnded()];
  if (player.result == 0) ++report.wins;
  if (player.result == 1) ++report.draws;
  if (player.result == 2) ++report.losses;
  report.turns += battle.turn;
  for (int s = 0; s < 2; ++s) {
    report.damage[s] += battle.record.damage[s];
    for (int i = 1; i <= kAttackArtsCount; ++i)
      report.attackArts[s][i] += battle.record.attackArts[s][i];
    for (int i = 1; i <= kDefenceArtsCount; ++i)
      report.defenceArts[s][i] += battle.record.defenceArts[s][i];
  }
}

}  // namespace

bool ParseStrategy(const std::string& word, Strategy& out) {
  for (Strategy s : {Strategy::Random, Strategy::Greedy, Strategy::Rules}) {
    if (word == StrategyName(s)) {
      out = s;
      return true;
    }
  }
  return false;
}

const char* StrategyName(Strategy s) {
  switch (s) {
    case Strategy::Random:
      return "random";
    case Strategy::Greedy:
      return "greedy";
    case Strategy::Rules:
      return "rules";
  }
  return "?";
}

bool Run(const Options& o, Report& report, std::string& error) {
  std::vector<uint32_t> deck;
  if (!ReadPlayerDeck(o.playerDeck, deck, error)) return false;

  headless::Options ho;
  ho.dataDir = o.dataDir;
  ho.echo = false;
  ho.testFont = true;
  // A host a battle: the virtual clock of one never comes near the limit
  // a headless run has, however many battles are played.
  auto host = std::make_unique<headless::HeadlessHost>(ho);
  if (!host->StartupError().empty()) {
    error = host->StartupError();
    return false;
  }
  plat::SetHost(host.get());
  ResetGameState();
  loadCardData();
  loadArts();
  if (db.cards[1].name[0] == '\0') {
    plat::SetHost(nullptr);
    error = o.dataDir + ": no card database (CardData.dat) there";
    return false;
  }
  // No pictures are made: every drawing primitive refuses at once, so a
  // battle costs its rules and its bookkeeping only. Kind 0 loads no
  // background and starts no music.
  char line[kLineSize];
  std::snprintf(line, sizeof line, "none %d %d %d %d %d %s %d %d 0", o.opponentHp, o.opponentHp,
                o.opponentMp, o.opponentMp, o.style, o.opponentDeck.c_str(),
                o.shuffleOpponent ? 1 : 0, o.handSize);

  report = Report{};
  LearnedAttack learnedAttack{};
  LearnedDefence learnedDefence{};
  LearnedArts(o, learnedAttack, learnedDefence);
  DescribePlayer(deck, learnedAttack, learnedDefence, report);
  const auto t0 = std::chrono::steady_clock::now();
  for (int32_t b = 0; b < o.battles; ++b) {
    if (b > 0) {
      // The windows' fonts belong to the host that made them.
      DestroyMessageWindows();
      host = std::make_unique<headless::HeadlessHost>(ho);
      plat::SetHost(host.get());
    }
    SeedRandom(o.seed + static_cast<uint32_t>(b));
    player.deck = DeckList{};
    for (size_t i = 0; i < deck.size() && i < kDeckCapacity; ++i)
      player.deck.cards[i + 1] = deck[i];
    player.deck.count = static_cast<int32_t>(std::min<size_t>(deck.size(), kDeckCapacity));
    player.hp = player.maxhp = o.playerHp;
    player.mp = player.maxmp = o.playerMp;
    // A battle teaches the player every art it performs; the next battle
    // starts again from what the options say.
    for (int i = 1; i <= kAttackArtsCount; ++i) db.attackArts[i].learned = learnedAttack[i];
    for (int i = 1; i <= kDefenceArtsCount; ++i) db.defenceArts[i].learned = learnedDefence[i];
    std::memcpy(scn.LineBuffer, line, sizeof line);
    shell.InputMode = mode::Busy;
    if (!PlayOut(o, report) || shell.InputMode != mode::Running) {
      plat::SetHost(nullptr);
      error = "battle " + std::to_string(b + 1) + " did not come to an end";
      return false;
    }
    AddUp(report);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  report.secondsPerBattle = o.battles > 0 ? seconds / o.battles : 0;
  ResetGameState();
  plat::SetHost(nullptr);
  return true;
}

namespace {

double Per(int64_t total, int32_t battles) {
  return battles > 0 ? static_cast<double>(total) / battles : 0;
}

// printf pads by bytes; a Japanese name of n characters takes 3n bytes and
// 2n columns.
std::string Padded(std::string text, size_t columns) {
  size_t width = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) width += c >= 0x80 ? 2 : 1;
  }
  if (width < columns) text.append(columns - width, ' ');
  return text;
}

}  // namespace

std::string Table(const Options& o, const Report& r) {
  std::ostringstream out;
  char buf[256];
  std::snprintf(buf, sizeof buf,
                "%d battles, player %s vs deck \"%s\" style %d (seed %u): %.2f ms a battle\n",
                r.battles, StrategyName(o.strategy), o.opponentDeck.c_str(), o.style, o.seed,
                r.secondsPerBattle * 1000);
  out << buf;
  std::snprintf(buf, sizeof buf, "  won %d (%.1f %%)  drawn %d (%.1f %%)  lost %d (%.1f %%)\n",
                r.wins, 100.0 * r.wins / std::max(r.battles, 1), r.draws,
                100.0 * r.draws / std::max(r.battles, 1), r.losses,
                100.0 * r.losses / std::max(r.battles, 1));
  out << buf;
  std::snprintf(buf, sizeof buf,
                "  turns %.1f a battle; damage dealt a battle: player %.0f, opponent %.0f\n",
                Per(r.turns, r.battles), Per(r.damage[0], r.battles), Per(r.damage[1], r.battles));
  out << buf;
  std::snprintf(buf, sizeof buf, "  ended by HP %d, by cards %d, by the turn limit %d\n",
                r.endings[kByHp], r.endings[kByCards], r.endings[kByTurnLimit]);
  out << buf;
  out << "  arts that took effect (a battle): table, number, name, player, opponent"
         " (* the player knows it)\n";
  auto rows = [&](const char* table, const auto& counts, const auto& learned, const auto& names,
                  int n) {
    for (size_t i = 1; i <= static_cast<size_t>(n); ++i) {
      if (counts[0][i] == 0 && counts[1][i] == 0 && !learned[i]) continue;
      std::snprintf(buf, sizeof buf, "    %-7s %2zu%c %s %7.2f %7.2f\n", table, i,
                    learned[i] ? '*' : ' ', Padded(names[i], 16).c_str(),
                    Per(counts[0][i], r.battles), Per(counts[1][i], r.battles));
      out << buf;
    }
  };
  rows("attack", r.attackArts, r.learnedAttack, r.attackNames, kAttackArtsCount);
  rows("defence", r.defenceArts, r.learnedDefence, r.defenceNames, kDefenceArtsCount);
  out << "  the player's cards (a battle): number, name, copies, played, in an art\n";
  for (size_t c = 1; c <= kCardCount; ++c) {
    if (r.deckCopies[c] == 0) continue;
    std::snprintf(buf, sizeof buf, "    %2zu  %s %2d %7.2f %7.2f\n", c,
                  Padded(r.cardNames[c], 16).c_str(), r.deckCopies[c],
                  Per(r.cardsPlayed[c], r.battles), Per(r.cardsInArt[c], r.battles));
    out << buf;
  }
  out << "  never used by the player:" << Unused(r) << '\n';
  return out.str();
}

std::string Unused(const Report& r) {
  std::string list;
  for (size_t i = 1; i <= kAttackArtsCount; ++i) {
    if (r.learnedAttack[i] && r.attackArts[0][i] == 0) list += " attack " + std::to_string(i);
  }
  for (size_t i = 1; i <= kDefenceArtsCount; ++i) {
    if (r.learnedDefence[i] && r.defenceArts[0][i] == 0) list += " defence " + std::to_string(i);
  }
  for (size_t c = 1; c <= kCardCount; ++c) {
    if (r.deckCopies[c] != 0 && r.cardsInArt[c] == 0) list += " card " + std::to_string(c);
  }
  return list.empty() ? " nothing" : list;
}

std::string Csv(const Options& o, const Report& r) {
  std::ostringstream out;
  out << "strategy,deck,style,seed,battles,wins,draws,losses,turns_per_battle,player_damage,"
         "opponent_damage,ms_per_battle,by_hp,by_cards,by_turn_limit\n";
  char buf[256];
  std::snprintf(buf, sizeof buf, "%s,%s,%d,%u,%d,%d,%d,%d,%.2f,%.1f,%.1f,%.3f,%d,%d,%d\n",
                StrategyName(o.strategy), o.opponentDeck.c_str(), o.style, o.seed, r.battles,
                r.wins, r.draws, r.losses, Per(r.turns, r.battles), Per(r.damage[0], r.battles),
                Per(r.damage[1], r.battles), r.secondsPerBattle * 1000, r.endings[kByHp],
                r.endings[kByCards], r.endings[kByTurnLimit]);
  out << buf;
  out << "table,art,player_uses,opponent_uses,player_knows\n";
  for (size_t i = 1; i <= kAttackArtsCount; ++i)
    out << "attack," << i << ',' << r.attackArts[0][i] << ',' << r.attackArts[1][i] << ','
        << (r.learnedAttack[i] ? 1 : 0) << '\n';
  for (size_t i = 1; i <= kDefenceArtsCount; ++i)
    out << "defence," << i << ',' << r.defenceArts[0][i] << ',' << r.defenceArts[1][i] << ','
        << (r.learnedDefence[i] ? 1 : 0) << '\n';
  out << "card,number,copies,played,in_art\n";
  for (size_t c = 1; c <= kCardCount; ++c) {
    if (r.deckCopies[c] == 0) continue;
    out << "card," << c << ',' << r.deckCopies[c] << ',' << r.cardsPlayed[c] << ','
        << r.cardsInArt[c] << '\n';
  }
  return out.str();
}

}  // namespace qfsim
