// The demo game played by a random hand for a long stretch of virtual time:
// clicks, right clicks, drags, keys and the screen buttons, with the game's
// state checked before every input. When the game ends (a quit key, the end
// of the story) it is started again on the same data folder, as a player
// would, until the time is used up.
//
//   quillfen_soak DATA_DIR [--seed N] [--minutes M]
//
// A failure names the seed, the run and the input; the same arguments play
// the same game again, and QUILLFEN_SOAK_LOG=PREFIX writes each run's log to
// PREFIX and the run's number.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "battle/battle.h"
#include "core/waits.h"
#include "data/player.h"
#include "platform/headless/headless.h"
#include "platform/headless/random_input.h"
#include "platform/posix/host_files.h"
#include "screens/deck_editor.h"
#include "script/reader.h"
#include "shell/app.h"
#include "support/files.h"

namespace {

// Longer than any scene plays by itself.
constexpr uint64_t kHangMs = 10 * 60 * 1000;

struct Soak {
  headless::HeadlessHost* host = nullptr;
  uint64_t seed = 0;
  int run = 0;
  uint64_t checks = 0;
  size_t boxesSeen = 0;
  size_t logSeen = 0;
  uint64_t positionBoxes = 0;
  std::array<uint64_t, mode::Count> modes{};  // checks made in each input mode
  // The game sits in one of the two modes that wait for no click since then.
  int32_t quietMode = -1;
  uint64_t quietSince = 0;
  bool storyOver = false;
  // The deck editor moves cards, it never makes or loses one: what the three
  // piles hold together when it opened.
  bool inEditor = false;
  int32_t editorCounts[3] = {};  // stock, deck and discard at the last check
  uint64_t editorMoves = 0;      // checks that found the piles changed
  std::array<int, kCardCount + 1> editorCards{};
};

[[noreturn]] void Fail(Soak& s, const headless::InputEvent* next, const std::string& why) {
  std::fprintf(stderr, "soak FAILED: %s\n  seed %llu, run %d, virtual %llu ms", why.c_str(),
               static_cast<unsigned long long>(s.seed), s.run,
               static_cast<unsigned long long>(s.host->Millis()));
  if (next) std::fprintf(stderr, ", before input %d", next->sourceLine);
  std::fprintf(stderr, "\n  input mode %d; the log's last lines:\n", shell.InputMode);
  const size_t from = s.host->log.size() > 12 ? s.host->log.size() - 12 : 0;
  for (size_t i = from; i < s.host->log.size(); ++i)
    std::fprintf(stderr, "    %s\n", s.host->log[i].c_str());
  std::fflush(stderr);
  // Straight out: the game is in the middle of a wait, nothing to unwind.
  std::_Exit(1);
}

template <typename List>
std::string ListProblem(const char* name, const List& list) {
  if (list.count < 0 || list.count > List::capacity)
    return std::string(name) + " count " + std::to_string(list.count);
  for (int i = 1; i <= List::capacity; ++i) {
    const uint32_t c = list.cards[i];
    if (i <= list.count ? c < 1 || c > kCardCount : c != 0)
      return std::string(name) + " position " + std::to_string(i) + " holds " + std::to_string(c) +
             " with count " + std::to_string(list.count);
  }
  return {};
}

std::string VitalsProblem(const char* who, int32_t hp, int32_t maxHp, int32_t mp, int32_t maxMp) {
  if (hp < 0 || hp > maxHp || mp < 0 || mp > maxMp)
    return std::string(who) + " HP " + std::to_string(hp) + "/" + std::to_string(maxHp) + ", MP " +
           std::to_string(mp) + "/" + std::to_string(maxMp);
  return {};
}

std::string BattleProblem() {
  const BattleState& b = battle;
  if (b.handSize < 1 || b.handSize > kHandSlots) return "hand size " + std::to_string(b.handSize);
  if (b.attackMarker < 0 || b.attackMarker > 2) return "marker " + std::to_string(b.attackMarker);
  const int fields = (b.physAttackField != 0) + (b.physGuardField != 0) +
                     (b.magicAttackField != 0) + (b.magicGuardField != 0) +
                     (b.hpRecoveryField != 0) + (b.mpRecoveryField != 0);
  if (fields > 1) return std::to_string(fields) + " fields at once";
  for (int side = 0; side < 2; ++side) {
    const BattleSide& s = b.side[side];
    const std::string who = "side " + std::to_string(side);
    if (s.deckLeft < 0 || s.deckLeft > kBattleDeckSize)
      return who + " deck left " + std::to_string(s.deckLeft);
    if (s.drawIndex < 1 || s.drawIndex > kBattleDeckSize + 1)
      return who + " draw index " + std::to_string(s.drawIndex);
    for (int k = 1; k <= kHandSlots; ++k) {
      if (s.hand[k].card > static_cast<uint32_t>(kCardCount))
        return who + " hand slot " + std::to_string(k) + " holds " + std::to_string(s.hand[k].card);
      if (s.played[k].fromSlot < 0 || s.played[k].fromSlot > kHandSlots)
        return who + " played entry " + std::to_string(k) + " from slot " +
               std::to_string(s.played[k].fromSlot);
    }
    if (std::memchr(s.playedPattern, '\0', sizeof s.playedPattern) == nullptr)
      return who + " pattern unterminated";
  }
  const SideVitals opponent = sideVitals(1);
  return VitalsProblem("opponent", opponent.hp, opponent.maxHp, opponent.mp, opponent.maxMp);
}

std::string EditorProblem(Soak& s) {
  const DeckEditorState& e = deckEditor;
  if (e.discardCount < 0 || e.discardCount > kDiscardCapacity)
    return "discard count " + std::to_string(e.discardCount);
  for (int i = 1; i <= e.discardCount; ++i) {
    if (e.discard[i] < 1 || e.discard[i] > static_cast<uint32_t>(kCardCount))
      return "discard position " + std::to_string(i) + " holds " + std::to_string(e.discard[i]);
  }
  if (e.dragSource < 0 || e.dragSource > 3) return "drag source " + std::to_string(e.dragSource);
  std::array<int, kCardCount + 1> cards{};
  for (int i = 1; i <= player.deck.count; ++i) ++cards[player.deck.cards[i]];
  for (int i = 1; i <= player.stock.count; ++i) ++cards[player.stock.cards[i]];
  for (int i = 1; i <= e.discardCount; ++i) ++cards[e.discard[i]];
  const int32_t counts[3] = {player.stock.count, player.deck.count, e.discardCount};
  if (s.inEditor && !std::equal(counts, counts + 3, s.editorCounts)) ++s.editorMoves;
  std::copy(counts, counts + 3, s.editorCounts);
  if (!s.inEditor) {
    s.inEditor = true;
    s.editorCards = cards;
  } else if (cards != s.editorCards) {
    for (int c = 1; c <= kCardCount; ++c) {
      if (cards[c] != s.editorCards[c])
        return "the deck editor holds " + std::to_string(cards[c]) + " of card " +
               std::to_string(c) + ", it opened with " + std::to_string(s.editorCards[c]);
    }
  }
  return {};
}

void Check(const headless::InputEvent* next, void* user) {
  Soak& s = *static_cast<Soak*>(user);
  ++s.checks;
  std::string why;
  if (shell.InputMode < 0 || shell.InputMode >= mode::Count)
    why = "input mode " + std::to_string(shell.InputMode);
  else
    ++s.modes[static_cast<size_t>(shell.InputMode)];
  if (why.empty()) why = ListProblem("deck", player.deck);
  if (why.empty()) why = ListProblem("stock", player.stock);
  if (why.empty()) why = VitalsProblem("player", player.hp, player.maxhp, player.mp, player.maxmp);
  if (why.empty() && shell.InputMode >= mode::BattleFirst && shell.InputMode <= mode::BattleLast)
    why = BattleProblem();
  // A view of the reading aids covers only a game that waits for the player.
  if (why.empty() && shell.OverlayOpen &&
      (shell.InputMode == mode::Busy || shell.InputMode == mode::Running ||
       shell.InputMode == mode::Typing))
    why = "a view open over input mode " + std::to_string(shell.InputMode);
  if (shell.InputMode == mode::DeckEditor) {
    if (why.empty()) why = EditorProblem(s);
  } else {
    s.inEditor = false;
  }
  // Past the story's last line nothing more happens by design: the player
  // closes the game and starts it again. Anywhere else, the interpreter or a
  // hand-over that never comes back to the player is a hang.
  const uint64_t now = s.host->Millis();
  const bool quiet = shell.InputMode == mode::Busy || shell.InputMode == mode::Running;
  if (!quiet) {
    s.quietMode = -1;
  } else if (s.quietMode != shell.InputMode) {
    s.quietMode = shell.InputMode;
    s.quietSince = now;
  }
  if (shell.InputMode == mode::Running && scn.readPos >= scn.text.size()) {
    if (!s.storyOver) s.host->Post(plat::msg::Close, 0, 0);
    s.storyOver = true;
  } else if (why.empty() && quiet && now - s.quietSince > kHangMs) {
    why = "no wait for the player in input mode " + std::to_string(shell.InputMode) + " since " +
          std::to_string(s.quietSince) + " ms";
  }
  // The one box a player may call up is F1's position of the script.
  for (; why.empty() && s.boxesSeen < s.host->boxes.size(); ++s.boxesSeen) {
    const auto& box = s.host->boxes[s.boxesSeen];
    if (box.caption.empty() && box.text.rfind("File : ", 0) == 0) {
      ++s.positionBoxes;
      continue;
    }
    why = "message box \"" + posix::SjisToUtf8(box.text) + "\" [" + posix::SjisToUtf8(box.caption) +
          "]";
  }
  for (; why.empty() && s.logSeen < s.host->log.size(); ++s.logSeen) {
    if (s.host->log[s.logSeen].find("refused file name") != std::string::npos)
      why = s.host->log[s.logSeen];
  }
  if (!why.empty()) Fail(s, next, why);
}

void CheckHook(const headless::InputEvent& next, void* user) { Check(&next, user); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: quillfen_soak DATA_DIR [--seed N] [--minutes M]\n");
    return 2;
  }
  const std::string demoData = argv[1];
  uint64_t seed = 1;
  uint64_t minutes = 60;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--seed") {
      seed = std::strtoull(argv[i + 1], nullptr, 10);
    } else if (arg == "--minutes") {
      minutes = std::strtoull(argv[i + 1], nullptr, 10);
    } else {
      std::fprintf(stderr, "quillfen_soak: unknown option %s\n", arg.c_str());
      return 2;
    }
  }
  const auto started = std::chrono::steady_clock::now();
  ScopedTempDir scratch("quillfen-soak-");
  const std::filesystem::path data = scratch.path() / "data";
  std::error_code ec;
  std::filesystem::copy(demoData, data, std::filesystem::copy_options::recursive, ec);
  if (ec || !std::filesystem::exists(data / "start.scn")) {
    std::fprintf(stderr, "quillfen_soak: no demo data in %s\n", demoData.c_str());
    return 2;
  }
  std::filesystem::remove_all(data / "save");
  std::filesystem::create_directories(data / "save");

  const uint64_t total = minutes * 60 * 1000;
  uint64_t played = 0, inputs = 0, checks = 0, positionBoxes = 0, storyEnds = 0, moves = 0;
  std::array<uint64_t, mode::Count> modes{};
  int runs = 0;
  while (played < total) {
    headless::Options o;
    o.dataDir = data.string();
    o.echo = false;
    o.testFont = true;
    if (const char* log = std::getenv("QUILLFEN_SOAK_LOG")) o.logFile = log + std::to_string(runs);
    o.until = total - played;
    // Each run starts where the last one's clock stopped, as a player's day goes on.
    o.epoch += static_cast<int64_t>(played / 1000);
    headless::HeadlessHost host(o);
    headless::SoakOptions so;
    so.seed = seed * 1000003u + static_cast<uint64_t>(runs);
    so.durationMs = total - played;
    host.SetInput(headless::RandomInput(so));
    Soak s;
    s.host = &host;
    s.seed = seed;
    s.run = runs;
    host.SetInputHook(CheckHook, &s);
    ResetGameState();
    plat::SetHost(&host);
    GameMain();
    Check(nullptr, &s);
    ResetGameState();
    plat::SetHost(nullptr);
    const uint64_t ran = host.Millis();
    if (ran == 0) {
      std::fprintf(stderr, "soak FAILED: run %d ended before any time passed\n", runs);
      return 1;
    }
    played += ran;
    inputs += host.InputsDelivered();
    checks += s.checks;
    positionBoxes += s.positionBoxes;
    storyEnds += s.storyOver;
    moves += s.editorMoves;
    for (size_t m = 0; m < modes.size(); ++m) modes[m] += s.modes[m];
    ++runs;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf(
      "soak: seed %llu, %.2f virtual hours in %d runs, %llu inputs delivered, %llu invariant "
      "checks, %llu position boxes, %llu story ends, %.1f s real time\n",
      static_cast<unsigned long long>(seed), static_cast<double>(played) / 3600000.0, runs,
      static_cast<unsigned long long>(inputs), static_cast<unsigned long long>(checks),
      static_cast<unsigned long long>(positionBoxes), static_cast<unsigned long long>(storyEnds),
      seconds);
  std::printf("  cards moved in the deck editor: %llu\n", static_cast<unsigned long long>(moves));
  std::printf("  checks by input mode:");
  for (size_t m = 0; m < modes.size(); ++m) {
    if (modes[m]) std::printf(" %zu:%llu", m, static_cast<unsigned long long>(modes[m]));
  }
  std::printf("\n");
  return 0;
}
