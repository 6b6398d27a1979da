#include "shell/display.h"

#include "core/settings.h"
#include "core/waits.h"
#include "platform/platform.h"
#include "shell/settings_file.h"
#include "shell/texts.h"

void ToggleDisplayMode() {
  auto& h = plat::host();
  if (shell.FullScreen == 0) {
    switch (h.TestFullScreen()) {
      case plat::DisplayTest::Successful:
        h.EnterFullScreen();
        shell.FullScreen = 1;
        break;
      case plat::DisplayTest::Restart:
        h.ShowMessageBox(texts::kDisplayRestart, nullptr);
        break;
      case plat::DisplayTest::BadMode:
        h.ShowMessageBox(texts::kDisplayBadMode, nullptr);
        break;
      case plat::DisplayTest::Failed:
        h.ShowMessageBox(texts::kDisplayFailed, nullptr);
        break;
    }
  } else {
    h.LeaveFullScreen();
    shell.FullScreen = 0;
  }
}

void PlayerToggleDisplayMode() {
  ToggleDisplayMode();
  if (settings.fullScreen != (shell.FullScreen == 1)) {
    settings.fullScreen = shell.FullScreen == 1;
    SaveSettings();
  }
}

void ApplyRememberedDisplayMode() {
  if (settings.fullScreen && shell.FullScreen == 0) {
    ToggleDisplayMode();
    // A display that refused keeps the window, and the next start tries no more.
    if (shell.FullScreen == 0) {
      settings.fullScreen = false;
      SaveSettings();
    }
  }
}

void RestoreDisplayAtExit() {
  if (shell.FullScreen == 1) plat::host().LeaveFullScreen();
}
