#include "battle/rules.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "battle/battle_screen.h"
#include "core/random.h"
#include "core/settings.h"
#include "core/waits.h"
#include "data/database.h"
#include "graphics/blit.h"
#include "graphics/image.h"
#include "graphics/textwindow.h"
#include "platform/platform.h"
#include "script/presentation.h"

void subtractFloor(int32_t& x, int32_t v) {
  // A negative amount (from data) adds: held at the top of the range.
  const int64_t t = int64_t{x} - v;
  x = x >= v ? static_cast<int32_t>(std::min<int64_t>(t, INT32_MAX)) : 0;
}

void addClamp(int32_t& x, int32_t v, int32_t cap) {
  // 64 bits: a forbidding field of -9999 or an absurd value stays in range.
  const int64_t t = int64_t{x} + v;
  x = t > cap ? cap : t < 0 ? 0 : static_cast<int32_t>(t);
}

int32_t percentOf(int32_t a, int32_t p) {
  return static_cast<int32_t>(static_cast<int64_t>(static_cast<int32_t>(static_cast<uint32_t>(a) *
                                                                        static_cast<uint32_t>(p))) /
                              100);
}

namespace {

// The story's click cue, drawn alike on the battle sheet.
constexpr int32_t kCueSheetX = 660, kCueSheetY = 276;

// The cue blinks after the message's last line, as the story's does, or
// under its end when the line reaches the box's edge.
void StartMessageCue() {
  const TextWindow& window = msgwin.window[1];
  LineRecord r{};
  if (!window.GetLine(window.LastTextLine(), r)) return;
  int32_t x = r.right, y = r.top;
  if (x + kCueW > kBoxX + kBoxW) {
    x = kBoxX + kBoxW - kCueW;
    y = std::min(r.bottom, kBoxY + kBoxH - kCueH);
  }
  StartClickCue(x, y, kCueSheetX, kCueSheetY);
  plat::host().UpdateNow();
}

}  // namespace

void drawMessageBox(std::initializer_list<const char*> pieces) {
  TextWindow& window = msgwin.window[1];
  window.ClearAll();
  DarkenRect(gfx.Screen, kBoxX, kBoxY, kBoxW, kBoxH, 0x646464);
  for (const char* piece : pieces) window.Print(piece, 1);
  InvalidateArea(kBoxX, kBoxY - gfx.ViewOffset, kBoxW, kBoxH);
  plat::host().UpdateNow();
}

void eraseMessageBox() {
  drawBattle(kBoxX, kBoxY, kBoxW, kBoxH);
  InvalidateArea(kBoxX, kBoxY - gfx.ViewOffset, kBoxW, kBoxH);
}

bool messageBox(std::initializer_list<const char*> pieces, uint32_t waitMs) {
  drawMessageBox(pieces);
  FrameStart();
  // The cue is the player's choice: the battle's own message box has none.
  const bool cue = settings.battleCue;
  if (cue) StartMessageCue();
  const bool ok = WaitOrClick(waitMs) != 0;
  if (cue) StopClickCue();
  return ok;
}

bool chance(int32_t p) { return NextRandom() % 100 < p; }

int patternSlots(int side, const char* pattern, size_t maxLength, int (&slots)[kHandSlots]) {
  const size_t length = strnlen(pattern, maxLength);
  const BattleSide& me = battle.side[side];
  const int hand = std::clamp(battle.handSize, 1, kHandSlots);
  bool taken[kHandSlots + 1] = {};
  int count = 0;
  for (size_t i = 0; i + 1 < length && count < kHandSlots; i += 2) {
    const int attribute = symbolAttribute(pattern + i);
    if (attribute == 0) continue;
    for (int k = 1; k <= hand; ++k) {
      const HandSlot& slot = me.hand[k];
      if (slot.card != 0 && slot.inHand && !taken[k] && cardAttribute(slot.card) == attribute) {
        taken[k] = true;
        slots[count++] = k;
        break;
      }
    }
  }
  return count;
}
