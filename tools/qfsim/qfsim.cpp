#include "qfsim.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <utility>

#include "battle/arts.h"
#include "battle/autoplayer.h"
#include "battle/battle.h"
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
  const int best = greedyArt();
  if (best == 0) return true;
  const ArtsRecord& art =
      attackingMode(shell.InputMode) ? db.attackArts[best] : db.defenceArts[best];
  return playCardsOf(0, art.pattern, sizeof art.pattern);
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

bool PlayRules(int32_t style) {
  const bool attack = attackingMode(shell.InputMode);
  const int32_t theirStyle = battle.opponentStyle;
  battle.opponentStyle = style;
  SwapSides();
  const int art = attack ? chooseAttack() : chooseDefence();
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
    for (int i = 1; i <= kAttackArtsCount; ++i) db.attackArts[i].learned = 0;
    for (int32_t n : o.learned) {
      if (n >= 1 && n <= kAttackArtsCount) db.attackArts[n].learned = 1;
    }
    std::memcpy(scn.LineBuffer, line, sizeof line);
    shell.InputMode = mode::Busy;
    bool alive = startBattle() != 0;
    // The turn limit ends every battle; the bound only guards the tool.
    for (int step = 0; alive && choosingMode(shell.InputMode) && step < 1000; ++step) {
      alive = PlayFor(o) && decideExchange();
    }
    if (!alive || shell.InputMode != mode::Running) {
      plat::SetHost(nullptr);
      error = "battle " + std::to_string(b + 1) + " did not come to an end";
      return false;
    }
    ++report.battles;
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

std::string ArtName(const ArtsRecord& art) {
  return std::string(art.name, strnlen(art.name, sizeof art.name));
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
  out << "  arts that took effect (a battle): side, table, number, name, player, opponent\n";
  auto rows = [&](const char* table, const auto& counts, const ArtsRecord* arts, int n) {
    for (int i = 1; i <= n; ++i) {
      if (counts[0][static_cast<size_t>(i)] == 0 && counts[1][static_cast<size_t>(i)] == 0)
        continue;
      std::snprintf(buf, sizeof buf, "    %-7s %2d  %-18s %7.2f %7.2f\n", table, i,
                    ArtName(arts[i]).c_str(), Per(counts[0][static_cast<size_t>(i)], r.battles),
                    Per(counts[1][static_cast<size_t>(i)], r.battles));
      out << buf;
    }
  };
  rows("attack", r.attackArts, db.attackArts, kAttackArtsCount);
  rows("defence", r.defenceArts, db.defenceArts, kDefenceArtsCount);
  return out.str();
}

std::string Csv(const Options& o, const Report& r) {
  std::ostringstream out;
  out << "strategy,deck,style,seed,battles,wins,draws,losses,turns_per_battle,player_damage,"
         "opponent_damage,ms_per_battle\n";
  char buf[256];
  std::snprintf(buf, sizeof buf, "%s,%s,%d,%u,%d,%d,%d,%d,%.2f,%.1f,%.1f,%.3f\n",
                StrategyName(o.strategy), o.opponentDeck.c_str(), o.style, o.seed, r.battles,
                r.wins, r.draws, r.losses, Per(r.turns, r.battles), Per(r.damage[0], r.battles),
                Per(r.damage[1], r.battles), r.secondsPerBattle * 1000);
  out << buf;
  out << "table,art,player_uses,opponent_uses\n";
  for (int i = 1; i <= kAttackArtsCount; ++i)
    out << "attack," << i << ',' << r.attackArts[0][static_cast<size_t>(i)] << ','
        << r.attackArts[1][static_cast<size_t>(i)] << '\n';
  for (int i = 1; i <= kDefenceArtsCount; ++i)
    out << "defence," << i << ',' << r.defenceArts[0][static_cast<size_t>(i)] << ','
        << r.defenceArts[1][static_cast<size_t>(i)] << '\n';
  return out.str();
}

}  // namespace qfsim
