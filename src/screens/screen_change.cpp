#include "screens/screen_change.h"

#include "core/waits.h"
#include "data/save_file.h"
#include "graphics/blit.h"
#include "graphics/image.h"
#include "graphics/k16.h"
#include "graphics/textwindow.h"
#include "script/presentation.h"

ScreenState screens;

void ResetScreens() { screens = ScreenState{}; }

namespace {

constexpr int kMosaicSteps = 40;

bool MosaicStep(int n) {
  FrameStart();
  Mosaic(gfx.Screen, 0, 0, 640, 480, gfx.BackPage, 0, 0, n);
  InvalidateAll();
  return WaitUntil(10) != 0;
}

}  // namespace

bool screenChangeOut() {
  Image::SwapBuffers(gfx.BackPage, gfx.Screen);
  for (int n = 1; n <= kMosaicSteps; ++n) {
    if (!MosaicStep(n)) return false;
  }
  return true;
}

bool screenChangeIn() {
  for (int n = kMosaicSteps; n >= 1; --n) {
    if (!MosaicStep(n)) return false;
  }
  return true;
}

bool closeScreen() {
  shell.InputMode = mode::Busy;
  SetupMessageWindow(4);
  if (!screenChangeOut()) return false;
  LoadK16At(gfx.WorkPage, snapshot.backPicture, 0, 0);
  ComposeSceneIntoBackPage();
  if (!screenChangeIn()) return false;
  shell.InputMode = screens.previousMode;
  if (shell.InputMode == mode::ClickWait || shell.InputMode == mode::ClickWaitClear)
    ShowClickCursor(shell.InputMode == mode::ClickWaitClear);
  return true;
}
