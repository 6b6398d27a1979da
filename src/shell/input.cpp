#include "shell/input.h"

#include <cstdio>

#include "platform/platform.h"
#include "script/interpreter.h"
#include "script/presentation.h"
#include "script/reader.h"
#include "shell/texts.h"

Shell shell;

void ResetShell() { shell = Shell{}; }

namespace {

void QuitUnless(int ok) {
  if (!ok) plat::host().PostQuit(0);
}

// Modes 3 and 4: the click the script waited for.
void ResumeScript(bool clearWindow) {
  HideClickCursor();
  if (clearWindow) ClearWindow();
  shell.InputMode = 1;
  QuitUnless(RunScript());
}

// What a press of either button does in the waiting modes of the script.
void RoutePress(int x, int y, bool left) {
  switch (shell.InputMode) {
    case 2:
      StartSkip();
      break;
    case 3:
      ResumeScript(false);
      break;
    case 4:
      ResumeScript(true);
      break;
    case 5:
      if (left) QuitUnless(ChooseAt(x, y));
      break;
    default:
      break;
  }
}

bool InRange(int v, int lo, int hi) { return v >= lo && v <= hi; }

}  // namespace

int ScreenButtonAt(int x, int y) {
  if (!InRange(y, 442, 475)) return 0;
  if (InRange(x, 600, 633)) return 1;
  if (InRange(x, 562, 595)) return 2;
  if (InRange(x, 524, 557)) return 3;
  return 0;
}

void OnLeftDown(int x, int y) {
  shell.LeftDown = 1;
  if (!shell.RightDown) plat::host().CaptureMouse();
  const int mode = shell.InputMode;
  if (mode >= 3 && mode <= 5 && interp.EventMode == 0 && ScreenButtonAt(x, y) != 0) {
    // The save/load screen, the collection viewer and the deck editor open
    // here once they exist; a press on a button never reaches the script.
    return;
  }
  RoutePress(x, y, true);
}

void OnRightDown(int x, int y) {
  shell.RightDown = 1;
  if (!shell.LeftDown) plat::host().CaptureMouse();
  RoutePress(x, y, false);
}

void OnLeftUp(int x, int y) {
  (void)x;
  (void)y;
  shell.LeftDown = 0;
  if (!shell.RightDown) plat::host().ReleaseMouse();
}

void OnRightUp(int x, int y) {
  (void)x;
  (void)y;
  shell.RightDown = 0;
  if (!shell.LeftDown) plat::host().ReleaseMouse();
}

void OnMouseMove(int x, int y) {
  if (shell.InputMode == 5) HighlightChoices(x, y);
}

void OnKeyDown(uint32_t virtualKey) {
  auto& h = plat::host();
  switch (virtualKey) {
    case plat::vk::Return: {
      const plat::Point p = h.CursorPos();
      OnLeftDown(p.x, p.y);
      OnLeftUp(p.x, p.y);
      break;
    }
    case plat::vk::Escape:
    case plat::vk::F12:
      h.Post(plat::msg::Close, 0, 0);
      break;
    case plat::vk::F1: {
      char text[kLineSize + 64];
      std::snprintf(text, sizeof text, "File : %s\nLine : %d", scn.ScenarioName,
                    static_cast<int>(scn.LineNumber));
      h.ShowMessageBox(text, nullptr);
      break;
    }
    case plat::vk::F4:
      ToggleDisplayMode();
      break;
    default:
      break;
  }
}

void FrameStart() { shell.FrameStartTime = plat::host().Millis(); }

bool PumpPending() {
  auto& h = plat::host();
  plat::Message m;
  while (h.Peek()) {
    if (!h.Get(m)) return false;
    h.Dispatch(m);
  }
  return true;
}

// The waits poll as the game always has, but sleep between polls until the
// next message or the deadline, so a wait costs no processor time.
int WaitUntil(uint32_t ms) {
  const uint64_t deadline = shell.FrameStartTime + ms;
  auto& h = plat::host();
  for (;;) {
    if (!PumpPending()) return 0;
    if (h.Millis() >= deadline) return 1;
    h.WaitReady(deadline);
  }
}

int WaitOrClick(uint32_t ms) {
  const uint64_t deadline = shell.FrameStartTime + ms;
  auto& h = plat::host();
  bool leftSeenUp = false;
  for (;;) {
    if (!PumpPending()) return 0;
    if (!shell.LeftDown) leftSeenUp = true;
    if (h.Millis() >= deadline || shell.RightDown) return 1;
    if (leftSeenUp && shell.LeftDown) return 1;
    h.WaitReady(deadline);
  }
}

int WaitClick() {
  auto& h = plat::host();
  bool leftSeenUp = false, rightSeenUp = false;
  for (;;) {
    if (!PumpPending()) return 0;
    if (!shell.LeftDown) leftSeenUp = true;
    if (!shell.RightDown) rightSeenUp = true;
    if ((leftSeenUp && shell.LeftDown) || (rightSeenUp && shell.RightDown)) return 1;
    h.WaitReady(plat::kNoDeadline);
  }
}

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

void RestoreDisplayAtExit() {
  if (shell.FullScreen == 1) plat::host().LeaveFullScreen();
}
