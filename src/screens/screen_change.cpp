#include "screens/screen_change.h"

#include "battle/snapshot.h"
#include "core/waits.h"
#include "data/save_file.h"
#include "graphics/graphics_texts.h"
#include "graphics/image.h"
#include "graphics/k16.h"
#include "graphics/mosaic_change.h"
#include "graphics/textwindow.h"
#include "script/presentation.h"

ScreenState screens;

void ResetScreens() { screens = ScreenState{}; }

void leaveScenarioForScreen() {
  screens.previousMode = shell.InputMode;
  if (shell.InputMode == mode::ClickWait || shell.InputMode == mode::ClickWaitClear)
    HideClickCursor();
  shell.InputMode = mode::Busy;
  takeSnapshot();
}

bool bringInScreenPage(const char* pagePicture, void (*draw)(), int32_t screenMode) {
  if (!screenChangeOut()) return false;
  LoadNeededK16(gfx.WorkPage, pagePicture, 0, 0, "the screen's background");
  draw();
  Image::SwapBuffers(gfx.BackPage, gfx.Screen);
  if (!screenChangeIn()) return false;
  shell.InputMode = screenMode;
  return true;
}

void setupScreenDetailWindow() {
  msgwin.window[4].Setup(&gfx.Screen, 336, 48, 288, 416, texts::kFaceGothic, 18, 700, -2, 2, 2, 20,
                         0xFFFFFF, 0x000000, kBlueKey);
}

bool closeScreen() {
  shell.InputMode = mode::Busy;
  SetupMessageWindow(4);
  if (!screenChangeOut()) return false;
  LoadNeededK16(gfx.WorkPage, snapshot.backPicture, 0, 0, "the scene's back layer");
  ComposeSceneIntoBackPage();
  if (!screenChangeIn()) return false;
  shell.InputMode = screens.previousMode;
  if (shell.InputMode == mode::ClickWait || shell.InputMode == mode::ClickWaitClear)
    ShowClickCursor(shell.InputMode == mode::ClickWaitClear);
  return true;
}
