#include "battle/card_detail.h"

#include <string>

#include "battle/battle.h"
#include "battle/battle_screen.h"
#include "battle/battle_texts.h"
#include "battle/rules.h"
#include "core/settings.h"
#include "core/waits.h"
#include "data/database.h"
#include "graphics/blit.h"
#include "graphics/image.h"
#include "graphics/k16.h"
#include "graphics/textwindow.h"
#include "platform/platform.h"
#include "platform/sjis.h"

namespace {

// One slot of the helps: its value, its modifier text and, for the slots
// that can forbid, the text shown instead from -9999 down.
struct HelpSlot {
  int32_t value;
  const char* modifier;
  const char* forbidden;
};

std::string HelpText(const char* head, const HelpSlot (&slots)[6], const char* tail) {
  std::string text = head;
  for (const HelpSlot& s : slots) {
    if (s.value == 0) continue;
    if (s.value <= -9999 && s.forbidden) {
      text += s.forbidden;
      continue;
    }
    text += s.modifier;
    if (s.value >= 0) text += '+';
    text += std::to_string(s.value);
  }
  return text + tail;
}

// The detail's text on a panel of its own, dark and framed in gold, so that
// no card or label of the page behind runs into it: the player's choice,
// since the detail itself stands on the darkened page.
constexpr int32_t kPanelMargin = 8;
constexpr uint32_t kPanelFill = 0x301810, kPanelFrame = 0x68B8D9;  // 0xBBGGRR

void DrawDetailPanel(const TextWindow& text) {
  const int32_t x = text.X() - kPanelMargin, y = text.Y() - kPanelMargin;
  const int32_t w = text.Width() + 2 * kPanelMargin, h = text.Height() + 2 * kPanelMargin;
  FillImageRect(gfx.Screen, x, y, w, h, kPanelFill);
  FillImageRect(gfx.Screen, x, y, w, 1, kPanelFrame);
  FillImageRect(gfx.Screen, x, y + h - 1, w, 1, kPanelFrame);
  FillImageRect(gfx.Screen, x, y, 1, h, kPanelFrame);
  FillImageRect(gfx.Screen, x + w - 1, y, 1, h, kPanelFrame);
}

bool ShowHelp(const std::string& text) {
  const int32_t remembered = shell.InputMode;
  shell.InputMode = mode::Busy;
  drawMessageBox({text.c_str()});
  if (!WaitClick()) return false;
  shell.InputMode = remembered;
  eraseMessageBox();
  plat::host().UpdateNow();
  msgwin.window[1].ClearAll();
  return true;
}

}  // namespace

bool showCardDetail(int card) {
  const CardRecord* record = cardRecord(static_cast<uint32_t>(card));
  if (card < 1 || !record) return true;
  const int32_t remembered = shell.InputMode;
  shell.InputMode = mode::Busy;
  const int32_t top = gfx.ViewOffset;
  Copy(gfx.BackPage, 0, top, kClientWidth, kClientHeight, gfx.Screen, 0, top);
  DarkenRect(gfx.Screen, 0, top, kClientWidth, kClientHeight, 0x646464);
  const std::string picture = "cardl\\cardl" + std::to_string(card) + ".K16";
  LoadK16RectKeyed(gfx.Screen, picture.c_str(), 16, top + 32, 300, 414, 0, 0);

  TextWindow& window = msgwin.window[4];
  if (settings.detailPanel) DrawDetailPanel(window);
  window.ClearAll();
  for (const std::string& piece :
       {std::string(texts::kDetailOpen), recordText(record->name), std::string(texts::kDetailClose),
        recordText(record->description), std::string(texts::kDetailAttack),
        recordText(record->attackEffect), std::string(texts::kDetailIntercept),
        recordText(record->interceptEffect), std::string(texts::kDetailIllustrator),
        recordText(record->illustrator)}) {
    window.Print(piece.c_str(), 1);
  }
  InvalidateAll();
  if (!WaitClick()) return false;
  shell.InputMode = remembered;
  Copy(gfx.Screen, 0, top, kClientWidth, kClientHeight, gfx.BackPage, 0, top);
  InvalidateAll();
  return true;
}

std::string fieldHelpText() {
  const BattleState& b = battle;
  const HelpSlot slots[6] = {
      {b.physAttackField, texts::kFieldPhysAttack, texts::kFieldPhysAttackForbidden},
      {b.physGuardField, texts::kFieldPhysGuard, nullptr},
      {b.magicAttackField, texts::kFieldMagicAttack, texts::kFieldMagicAttackForbidden},
      {b.magicGuardField, texts::kFieldMagicGuard, nullptr},
      {b.hpRecoveryField, texts::kFieldHpRecovery, texts::kFieldHpRecoveryForbidden},
      {b.mpRecoveryField, texts::kFieldMpRecovery, texts::kFieldMpRecoveryForbidden},
  };
  return HelpText(texts::kHelpHeadUp, slots, texts::kHelpTail);
}

std::string barrierHelpText(int side) {
  const BattleSide& s = battle.side[side == 0 ? 0 : 1];
  const HelpSlot slots[6] = {
      {s.physAttackUp, texts::kBarrierPhysAttack, texts::kBarrierPhysAttackForbidden},
      {s.physGuard, texts::kBarrierPhysGuard, nullptr},
      {s.magicAttackUp, texts::kBarrierMagicAttack, texts::kBarrierMagicAttackForbidden},
      {s.magicGuard, texts::kBarrierMagicGuard, nullptr},
      {s.hpRecoveryUp, texts::kBarrierHpRecovery, texts::kBarrierHpRecoveryForbidden},
      {s.mpRecoveryUp, texts::kBarrierMpRecovery, texts::kBarrierMpRecoveryForbidden},
  };
  // The opponent's help points up at its row; the player's ends pointing
  // down at the player's.
  if (side == 0) return HelpText("\n", slots, texts::kHelpTail);
  return HelpText(texts::kHelpHeadUp, slots, "");
}

bool showFieldHelp() { return ShowHelp(fieldHelpText()); }

bool showBarrierHelp(int side) { return ShowHelp(barrierHelpText(side)); }
