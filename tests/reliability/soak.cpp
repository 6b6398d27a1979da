// The demo game played by a random hand for a long stretch of virtual time:
// clicks, right clicks, drags, keys and the screen buttons, with the game's
// state checked before every input. When the game ends (a quit key, the end
// of the story) it is started again on the same data folder, as a player
// would, until the time is used up.
//
//   quillfen_soak DATA_DIR [--seed N] [--minutes M]
//
// A failure names the seed, the run and the input; the same arguments play
// the same game again.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

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
  uint64_t seed = 0, checks = 0;
  int run = 0;
  size_t boxesSeen = 0, logSeen = 0;
  // The game sits in one of the two modes that wait for no click since then.
  int32_t quietMode = -1;
  uint64_t quietSince = 0;
  bool storyOver = false;
};

// A figure of the game's state with the range it must keep to.
struct Range {
  const char* what;
  int64_t value, lo, hi;
};

std::string OutOfRange(std::initializer_list<Range> ranges) {
  for (const Range& r : ranges) {
    if (r.value < r.lo || r.value > r.hi)
      return std::string(r.what) + " " + std::to_string(r.value);
  }
  return {};
}

// Cards 1..50 in the used positions of a list, nothing past them.
template <typename List>
std::string ListProblem(const List& list) {
  std::string why = OutOfRange({{"count", list.count, 0, List::capacity}});
  for (int i = 1; why.empty() && i <= List::capacity; ++i)
    why = OutOfRange({{"card", list.cards[i], i <= list.count, i <= list.count ? kCardCount : 0}});
  return why;
}

std::string BattleProblem() {
  const BattleState& b = battle;
  const SideVitals foe = sideVitals(1);
  std::string why = OutOfRange(
      {{"hand size", b.handSize, 1, kHandSlots},
       {"marker", b.attackMarker, 0, 2},
       {"fields at once",
        (b.physAttackField != 0) + (b.physGuardField != 0) + (b.magicAttackField != 0) +
            (b.magicGuardField != 0) + (b.hpRecoveryField != 0) + (b.mpRecoveryField != 0),
        0, 1},
       {"opponent HP", foe.hp, 0, foe.maxHp},
       {"opponent MP", foe.mp, 0, foe.maxMp}});
  for (const BattleSide& s : b.side) {
    for (int k = 1; why.empty() && k <= kHandSlots; ++k)
      why = OutOfRange({{"hand card", s.hand[k].card, 0, kCardCount},
                        {"played from slot", s.played[k].fromSlot, 0, kHandSlots},
                        {"deck left", s.deckLeft, 0, kBattleDeckSize},
                        {"draw index", s.drawIndex, 1, kBattleDeckSize + 1}});
    if (why.empty() && std::memchr(s.playedPattern, '\0', sizeof s.playedPattern) == nullptr)
      why = "pattern unterminated";
  }
  return why;
}

void Check(const headless::InputEvent* next, void* user) {
  Soak& s = *static_cast<Soak*>(user);
  ++s.checks;
  const int32_t m = shell.InputMode;
  const uint64_t now = s.host->Millis();
  const bool quiet = m == mode::Busy || m == mode::Running;
  std::string why = OutOfRange({{"input mode", m, 0, mode::Count - 1},
                                {"HP", player.hp, 0, player.maxhp},
                                {"MP", player.mp, 0, player.maxmp},
                                {"discard count", deckEditor.discardCount, 0, kDiscardCapacity},
                                {"drag source", deckEditor.dragSource, 0, 3}});
  if (why.empty()) why = ListProblem(player.deck);
  if (why.empty()) why = ListProblem(player.stock);
  if (why.empty() && m >= mode::BattleFirst && m <= mode::BattleLast) why = BattleProblem();
  // A view of the reading aids covers only a game that waits for the player.
  if (why.empty() && shell.OverlayOpen && (quiet || m == mode::Typing))
    why = "a view open over input mode " + std::to_string(m);
  // Past the story's last line nothing more happens by design: the player
  // closes the game and starts it again. Anywhere else, the interpreter or a
  // hand-over that never comes back to the player is a hang.
  if (!quiet || s.quietMode != m) s.quietSince = now;
  s.quietMode = quiet ? m : -1;
  if (m == mode::Running && scn.readPos >= scn.text.size()) {
    if (!s.storyOver) s.host->Post(plat::msg::Close, 0, 0);
    s.storyOver = true;
  } else if (why.empty() && quiet && now - s.quietSince > kHangMs) {
    why = "no wait for the player since " + std::to_string(s.quietSince) + " ms";
  }
  // The one box a player may call up is F1's position of the script.
  for (; why.empty() && s.boxesSeen < s.host->boxes.size(); ++s.boxesSeen) {
    const auto& box = s.host->boxes[s.boxesSeen];
    if (!box.caption.empty() || box.text.rfind("File : ", 0) != 0)
      why = "message box \"" + posix::SjisToUtf8(box.text) + "\"";
  }
  for (; why.empty() && s.logSeen < s.host->log.size(); ++s.logSeen) {
    if (s.host->log[s.logSeen].find("refused file name") != std::string::npos)
      why = s.host->log[s.logSeen];
  }
  if (why.empty()) return;
  std::fprintf(stderr, "soak FAILED: %s\n  seed %llu, run %d, virtual %llu ms, input line %d\n",
               why.c_str(), static_cast<unsigned long long>(s.seed), s.run,
               static_cast<unsigned long long>(now), next ? next->sourceLine : -1);
  const auto& log = s.host->log;
  for (size_t i = log.size() > 12 ? log.size() - 12 : 0; i < log.size(); ++i)
    std::fprintf(stderr, "    %s\n", log[i].c_str());
  // Straight out: the game is in the middle of a wait, nothing to unwind.
  std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  ScopedTempDir scratch("quillfen-soak-");
  const fs::path data = scratch.path() / "data";
  std::error_code ec;
  if (argc > 1) fs::copy(argv[1], data, fs::copy_options::recursive, ec);
  if (ec || !fs::exists(data / "start.scn")) {
    std::fprintf(stderr, "usage: quillfen_soak DEMO_DATA_DIR [--seed N] [--minutes M]\n");
    return 2;
  }
  fs::remove_all(data / "save");
  fs::create_directories(data / "save");
  uint64_t seed = 1, minutes = 60;
  for (int i = 2; i + 1 < argc; i += 2)
    (std::strcmp(argv[i], "--seed") == 0 ? seed : minutes) =
        std::strtoull(argv[i + 1], nullptr, 10);
  const uint64_t total = minutes * 60 * 1000;
  uint64_t played = 0, checks = 0;
  int run = 0;
  for (; played < total; ++run) {
    headless::Options o;
    o.dataDir = data.string();
    o.echo = false;
    o.testFont = true;
    o.until = total - played;
    // Each run starts where the last one's clock stopped, as a player's day goes on.
    o.epoch += static_cast<int64_t>(played / 1000);
    headless::HeadlessHost host(o);
    host.SetInput(headless::RandomInput({seed * 1000003u + static_cast<uint64_t>(run), o.until}));
    Soak s{&host, seed, 0, run};
    host.SetInputHook([](const headless::InputEvent& next, void* user) { Check(&next, user); }, &s);
    ResetGameState();
    plat::SetHost(&host);
    GameMain();
    Check(nullptr, &s);
    ResetGameState();
    plat::SetHost(nullptr);
    if (host.Millis() == 0) {
      std::fprintf(stderr, "soak FAILED: run %d ended before any time passed\n", run);
      return 1;
    }
    played += host.Millis();
    checks += s.checks;
  }
  std::printf("soak: seed %llu, %.2f virtual hours in %d runs, %llu invariant checks\n",
              static_cast<unsigned long long>(seed), static_cast<double>(played) / 3600000.0, run,
              static_cast<unsigned long long>(checks));
  return 0;
}
