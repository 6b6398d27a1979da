#include "core/waits.h"

#include "platform/platform.h"

#ifndef QF_CORE_GUARDED
#error "the core is built with src/core/forbidden.h forced in front of every file"
#endif

Shell shell;

void ResetShell() { shell = Shell{}; }

bool SkipHeld() {
  if (shell.RightDown != 0) return true;
  return !shell.InBattle && (shell.CtrlDown || shell.SkipMode);
}

void FrameStart() { shell.FrameStartTime = plat::host().Millis(); }

bool PumpPending() {
  auto& h = plat::host();
  plat::Message m;
  while (h.Peek()) {
    if (!h.Get(m)) return false;
    h.Dispatch(m);
  }
  shell.LastPumpRealMs = h.RealMillis();
  return true;
}

void StartBusyRun() { shell.LastPumpRealMs = plat::host().RealMillis(); }

bool PumpIfBusyLong() {
  if (plat::host().RealMillis() - shell.LastPumpRealMs < kBusyPumpMs) return true;
  return PumpPending();
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
  const uint32_t presses = shell.LeftPresses;
  for (;;) {
    if (!PumpPending()) return 0;
    if (h.Millis() >= deadline || SkipHeld()) return 1;
    if (shell.LeftPresses != presses) return 1;
    h.WaitReady(deadline);
  }
}

int WaitClick() {
  auto& h = plat::host();
  const uint32_t left = shell.LeftPresses, right = shell.RightPresses;
  for (;;) {
    if (!PumpPending()) return 0;
    if (shell.LeftPresses != left || shell.RightPresses != right) return 1;
    h.WaitReady(plat::kNoDeadline);
  }
}
