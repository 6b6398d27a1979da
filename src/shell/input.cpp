#include "shell/input.h"

#include "core/settings.h"
#include "platform/platform.h"
#include "shell/display.h"

InputRouting routing;

void ResetInputRouting() { routing = InputRouting{}; }

void SetModeHandlers(int32_t inputMode, const ModeHandlers& handlers) {
  if (inputMode >= 0 && inputMode < mode::Count) routing.modes[inputMode] = handlers;
}

void SetScreenOpener(ScreenButton button, ScreenOpener open) {
  routing.openers[static_cast<int>(button)] = open;
}

void QuitUnless(bool ok) {
  if (!ok) plat::host().PostQuit(0);
}

namespace {

const ModeHandlers* HandlersInForce() {
  const int32_t m = shell.InputMode;
  return m >= 0 && m < mode::Count ? &routing.modes[m] : nullptr;
}

// Routes one event by the mode in force; a mode without a handler ignores it.
void Route(PointHandler ModeHandlers::*which, int x, int y) {
  const ModeHandlers* h = HandlersInForce();
  if (h && h->*which) QuitUnless((h->*which)(x, y));
}

bool InRange(int v, int lo, int hi) { return v >= lo && v <= hi; }

bool ScreenButtonsLive() {
  const int32_t m = shell.InputMode;
  if (m < mode::ClickWait || m > mode::Choice) return false;
  return !(routing.screenButtonsOff && routing.screenButtonsOff());
}

}  // namespace

ScreenButton ScreenButtonAt(int x, int y) {
  if (!InRange(y, 442, 475)) return ScreenButton::None;
  if (InRange(x, 600, 633)) return ScreenButton::SaveLoad;
  if (InRange(x, 562, 595)) return ScreenButton::Collection;
  if (InRange(x, 524, 557)) return ScreenButton::DeckEditor;
  return ScreenButton::None;
}

void OnLeftDown(int x, int y) {
  shell.LeftDown = 1;
  ++shell.LeftPresses;
  if (!shell.RightDown) plat::host().CaptureMouse();
  if (ScreenButtonsLive()) {
    const ScreenButton b = ScreenButtonAt(x, y);
    if (b != ScreenButton::None) {
      // A press on a button never reaches the mode's handler.
      if (ScreenOpener open = routing.openers[static_cast<int>(b)]) QuitUnless(open());
      return;
    }
  }
  Route(&ModeHandlers::leftDown, x, y);
}

void OnRightDown(int x, int y) {
  shell.RightDown = 1;
  ++shell.RightPresses;
  if (!shell.LeftDown) plat::host().CaptureMouse();
  Route(&ModeHandlers::rightDown, x, y);
}

void OnLeftUp(int x, int y) {
  shell.LeftDown = 0;
  if (!shell.RightDown) plat::host().ReleaseMouse();
  Route(&ModeHandlers::leftUp, x, y);
}

void OnRightUp(int x, int y) {
  (void)x;
  (void)y;
  shell.RightDown = 0;
  if (!shell.LeftDown) plat::host().ReleaseMouse();
}

void OnMouseMove(int x, int y) { Route(&ModeHandlers::move, x, y); }

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
      // Going back is the player's choice; by default Esc ends the game
      // on every screen alike.
      if (const ModeHandlers* m = HandlersInForce(); settings.escapeBack && m && m->back) {
        QuitUnless(m->back());
        break;
      }
      h.Post(plat::msg::Close, 0, 0);
      break;
    case plat::vk::F12:
      h.Post(plat::msg::Close, 0, 0);
      break;
    case plat::vk::F1:
      if (routing.showPosition) routing.showPosition();
      break;
    case plat::vk::F4:
      ToggleDisplayMode();
      break;
    default:
      break;
  }
}
