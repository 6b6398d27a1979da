#include "shell/quit_box.h"

#include "core/settings.h"
#include "core/waits.h"
#include "graphics/blit.h"
#include "platform/platform.h"
#include "shell/aids_texts.h"
#include "shell/overlay.h"

namespace {

// A small box in the middle of the window, in the message windows' face;
// the buttons are wide enough to be hit without aiming.
constexpr int kBoxX = 190, kBoxY = 170, kBoxW = 260, kBoxH = 130;
constexpr int kButtonY = 236, kButtonW = 96, kButtonH = 40;
constexpr int kYesX = 214, kNoX = 330;
// Colours as the text windows take them: 0xBBGGRR.
constexpr uint32_t kButton = 0x5A3428;

struct QuitBox {
  TextWindow pen;
};
QuitBox quitBox;

bool Inside(int v, int from, int size) { return v >= from && v < from + size; }
bool OnButton(int buttonX, int x, int y) {
  return Inside(x, buttonX, kButtonW) && Inside(y, kButtonY, kButtonH);
}

void Label(Image& panel, const char* text, int centreX, int y, int chars) {
  // Full-width characters are as wide as the face is high.
  // A little room to spare, so the last character does not wrap.
  SetupAidPen(quitBox.pen, &panel, centreX - chars * kAidFontSize / 2, y,
              chars * kAidFontSize + kAidFontSize, 1, kAidWhite);
  quitBox.pen.Print(text, 1);
}

void DrawQuitBox(Image& panel) {
  DrawFramed(panel, kBoxX, kBoxY, kBoxW, kBoxH, kAidPanel);
  Label(panel, texts::kQuitQuestion, kBoxX + kBoxW / 2, kBoxY + 22, 7);
  DrawFramed(panel, kYesX, kButtonY, kButtonW, kButtonH, kButton);
  DrawFramed(panel, kNoX, kButtonY, kButtonW, kButtonH, kButton);
  Label(panel, texts::kQuitYes, kYesX + kButtonW / 2, kButtonY + 9, 2);
  Label(panel, texts::kQuitNo, kNoX + kButtonW / 2, kButtonY + 9, 3);
}

}  // namespace

bool QuitAsks() { return settings.confirmQuit && plat::host().Interactive(); }

void AskQuit() {
  OpenView(View::Quit, DrawQuitBox);
  if (OpenedView() == View::Quit)
    shell.Halted = true;
  else
    QuitNow();
}

void QuitNow() { plat::host().DestroyWindow(); }

bool QuitBoxKey(uint32_t vk) {
  switch (vk) {
    case plat::vk::Return:
    case plat::vk::Y:
    case plat::vk::F12:
      QuitNow();
      return true;
    case plat::vk::Escape:
    case plat::vk::N:
      CloseView();
      return true;
    case plat::vk::F4:
      return false;  // the display still changes under the question
    default:
      return true;
  }
}

void ResetQuitBox() { quitBox.pen.Release(); }

void QuitBoxMouse(uint32_t message, int x, int y) {
  if (message == plat::msg::RButtonDown) CloseView();
  if (message != plat::msg::LButtonDown) return;
  if (OnButton(kYesX, x, y))
    QuitNow();
  else if (OnButton(kNoX, x, y))
    CloseView();
}
