// The battle screen: a whole redraw of the 640 x 622 image and the work of
// one step of a card's slide, each beside memcpy of that image (796,160
// bytes) in the same run (x_memcpy). The table is full: six cards a hand,
// six played a side, every icon and the candidate list.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "battle/battle.h"
#include "battle/battle_screen.h"
#include "core/waits.h"
#include "graphics/blit.h"
#include "graphics/graphics_texts.h"
#include "graphics/image.h"
#include "graphics/number_font.h"
#include "graphics/textwindow.h"
#include "measure.h"
#include "platform/headless/headless.h"
#include "shell/app.h"

namespace {

constexpr size_t kScreenBytes = size_t{kBattleWidth} * kBattleHeight * 2;

using bench::FillPage;

struct FullTable {
  headless::HeadlessHost host;
  explicit FullTable(headless::Options o) : host((o.echo = false, o.testFont = true, o)) {
    plat::SetHost(&host);
    host.OpenWindow("bench", [](uint32_t, uintptr_t, intptr_t) -> intptr_t { return 0; });
    CreateGlobalImages();
    FillPage(gfx.WorkPage, false);
    FillPage(gfx.PartsSheet, true);
    numfonts.Micro.strip.Create(84, 11);
    FillPage(numfonts.Micro.strip, true);
    numfonts.Micro.glyphWidth = 7;
    ResetBattle();
    battle.handSize = 6;
    for (BattleSide& s : battle.side) {
      for (int k = 1; k <= kHandSlots; ++k) {
        s.hand[k] = {static_cast<uint32_t>(k), static_cast<uint8_t>(k % 2)};
        s.played[k] = {static_cast<uint32_t>(k), k};
      }
      s.poisoned = s.poisonGuard = s.curseGuard = 1;
      s.curseTurns = 2;
      s.physGuard = 10;
    }
    battle.hpRecoveryField = 5;
    battle.attackMarker = 1;
    battle.patternHint = 1;
    battle.list = {1, 12, true, true};
    shell.InputMode = mode::PlayerAttacks;
    msgwin.window[2].Setup(&gfx.Screen, 4, 486, 632, 134, texts::kFaceGothic, 18, 400, 0, 0, 2, 8,
                           0xFFFFFF, 0x000000, kBlueKey);
    for (int i = 0; i < 7; ++i) {
      msgwin.window[2].Print("Pattern      Art name        list text", 0);
      msgwin.window[2].NewLine();
    }
  }
  ~FullTable() {
    DestroyMessageWindows();
    ResetNumberFonts();
    DestroyGlobalImages();
    ResetBattle();
    ResetShell();
    plat::SetHost(nullptr);
  }
};

void BM_BattleFullRedraw(benchmark::State& state) {
  FullTable table({});
  bench::Measure(state, kScreenBytes, [] { drawBattle(0, 0, kBattleWidth, kBattleHeight); });
}
BENCHMARK(BM_BattleFullRedraw);

// A card sliding along the player's hand row: the screen redrawn where it
// was, the card drawn where it is now, both invalidated.
void BM_BattleCardMoveStep(benchmark::State& state) {
  FullTable table({});
  int32_t x = 5;
  bench::Measure(state, kScreenBytes, [&] {
    const int32_t nx = x >= 520 ? 5 : x + 24;
    drawBattle(x, 338, kCardWidth, kCardHeight);
    CopyKeyed(gfx.Screen, nx, 338, kCardWidth, kCardHeight, gfx.PartsSheet, 100, 0, kMagenta);
    InvalidateArea(std::min(x, nx), 338 - gfx.ViewOffset, 124, kCardHeight);
    x = nx;
  });
}
BENCHMARK(BM_BattleCardMoveStep);

}  // namespace
