#include "shell/help_view.h"

#include "core/waits.h"
#include "graphics/textwindow.h"
#include "platform/platform.h"
#include "shell/aids_texts.h"
#include "shell/input.h"
#include "shell/overlay.h"

namespace {

constexpr int kHelpKeysX = 40, kHelpWhatX = 272, kHelpY = 60, kHelpRows = 15;

struct HelpView {
  TextWindow pen, keysPen;
};
HelpView helpView;

void DrawHelp(Image& panel) {
  SetupAidPen(helpView.pen, &panel, kHelpKeysX, 18, 560, 1, kAidWhite);
  helpView.pen.Print(texts::kHelpTitle, 1);
  SetupAidPen(helpView.keysPen, &panel, kHelpKeysX, kHelpY, kHelpWhatX - kHelpKeysX - 8, kHelpRows,
              0xC0E8FF);
  SetupAidPen(helpView.pen, &panel, kHelpWhatX, kHelpY, 608 - kHelpWhatX, kHelpRows, kAidWhite);
  for (const texts::HelpRow& row : texts::kHelpRows) {
    helpView.keysPen.Print(row.keys, 1);
    helpView.pen.Print(row.what, 1);
    // A text that wraps pushes the next row down in both columns.
    while (helpView.keysPen.CurrentLine() < helpView.pen.CurrentLine()) helpView.keysPen.NewLine();
    while (helpView.pen.CurrentLine() < helpView.keysPen.CurrentLine()) helpView.pen.NewLine();
    helpView.keysPen.NewLine();
    helpView.pen.NewLine();
  }
  SetupAidPen(helpView.pen, &panel, kHelpKeysX, 440, 560, 1, kAidHintColour);
  helpView.pen.Print(texts::kHelpFooter, 1);
}

}  // namespace

bool HelpMayOpen() {
  const int32_t m = shell.InputMode;
  if (m == mode::Typing || m < 0 || m >= mode::Count) return false;
  return routing.modes[m].leftDown != nullptr;
}

void OpenHelp() { OpenView(View::Help, DrawHelp); }

bool HelpKey(uint32_t vk, bool repeat) {
  // Those that leave the game or change the display still do.
  if (vk == plat::vk::F12 || vk == plat::vk::F4) return false;
  if (repeat) return true;
  if (vk != plat::vk::Control && vk != plat::vk::Shift) CloseView();
  return true;
}

void ResetHelpView() {
  helpView.pen.Release();
  helpView.keysPen.Release();
}
