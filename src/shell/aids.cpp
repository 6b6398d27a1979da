#include "shell/aids.h"

#include <string>

#include "core/waits.h"
#include "platform/platform.h"
#include "script/presentation.h"
#include "shell/aids_texts.h"
#include "shell/backlog_view.h"
#include "shell/display.h"
#include "shell/help_view.h"
#include "shell/input.h"
#include "shell/notes.h"
#include "shell/overlay.h"
#include "shell/quit_box.h"
#include "shell/screenshots.h"
#include "shell/setting_keys.h"

namespace {

// The keys that switch something: a key held down switches once.
bool IsSwitch(uint32_t vk) {
  switch (vk) {
    case plat::vk::Tab:
    case plat::vk::A:
    case plat::vk::M:
    case plat::vk::T:
    case plat::vk::F2:
    case plat::vk::Slash:
    case plat::vk::F11:
      return true;
    default:
      return false;
  }
}

// The open view's keys first; false where the key goes on past it.
bool ViewKey(uint32_t vk, bool repeat) {
  switch (OpenedView()) {
    case View::Backlog:
      return BacklogKey(vk);
    case View::Help:
      return HelpKey(vk, repeat);
    case View::Quit:
      return QuitBoxKey(vk);
    case View::None:
      break;
  }
  return false;
}

// Ctrl, skip and auto: the ways of reading on without a click.
bool ReadingKey(uint32_t vk) {
  switch (vk) {
    case plat::vk::Control:
      shell.CtrlDown = true;
      QuitUnless(PassClickWait());
      return true;
    case plat::vk::Tab:
      // A battle is no text to read past; skip mode stays off in it.
      if (shell.InBattle) return true;
      shell.SkipMode = !shell.SkipMode;
      ShowNote(shell.SkipMode ? texts::kSkipOn : texts::kSkipOff);
      if (shell.SkipMode) QuitUnless(PassClickWait());
      return true;
    case plat::vk::A:
      shell.AutoMode = !shell.AutoMode;
      ShowNote(shell.AutoMode ? texts::kAutoOn : texts::kAutoOff);
      if (shell.AutoMode)
        StartAutoWait();
      else
        StopAutoWait();
      return true;
    default:
      return false;
  }
}

// The views, the screenshot and the display.
bool WindowKey(uint32_t vk) {
  switch (vk) {
    case plat::vk::PageUp:
    case plat::vk::Up:
      if (BacklogMayOpen()) OpenBacklog();
      return true;
    case plat::vk::F2:
    case plat::vk::Slash:
      if (HelpMayOpen()) OpenHelp();
      return true;
    case plat::vk::F11:
      ShowShotNote(SaveScreenshot());
      return true;
    case plat::vk::F4:
      PlayerToggleDisplayMode();
      return true;
    default:
      return false;
  }
}

}  // namespace

void ResetAids() {
  ResetBacklogView();
  ResetHelpView();
  ResetQuitBox();
  ResetNotes();
  ResetOverlay();
}

bool AidsKeyDown(uint32_t vk, bool repeat) {
  if (ViewKey(vk, repeat)) return true;
  if (repeat && IsSwitch(vk)) return true;
  return ReadingKey(vk) || WindowKey(vk) || SettingKey(vk);
}

bool AidsKeyUp(uint32_t vk) {
  if (vk == plat::vk::Control) shell.CtrlDown = false;
  return false;
}

bool AidsWheel(int notches) {
  if (OpenedView() == View::Backlog) {
    ScrollBacklog(-3 * notches);
    return true;
  }
  if (OpenedView() != View::None) return true;
  if (notches > 0 && BacklogMayOpen()) OpenBacklog();
  return true;
}

bool AidsMouse(uint32_t message, int x, int y) {
  const View view = OpenedView();
  if (view == View::None) return false;
  if (view == View::Quit)
    QuitBoxMouse(message, x, y);
  else if (message == plat::msg::RButtonDown ||
           (view == View::Help && message == plat::msg::LButtonDown))
    CloseView();
  // The buttons' state still follows, so that a release after closing is
  // not taken for a held button.
  if (message == plat::msg::LButtonUp) shell.LeftDown = 0;
  if (message == plat::msg::RButtonUp) shell.RightDown = 0;
  return true;
}

void AidsDeactivated() { shell.CtrlDown = false; }
