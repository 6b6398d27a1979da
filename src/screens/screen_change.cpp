#include "screens/screen_change.h"

#include "core/waits.h"
#include "data/save_file.h"
#include "graphics/image.h"
#include "graphics/k16.h"
#include "graphics/screen_change.h"
#include "graphics/textwindow.h"
#include "script/presentation.h"

ScreenState screens;

void ResetScreens() { screens = ScreenState{}; }

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
