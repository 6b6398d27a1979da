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

namespace {

// Behind a question nothing moves: only the question takes messages.
bool WaitWhileHalted() {
  auto& h = plat::host();
  const uint64_t from = h.Millis();
  plat::Message m;
  while (shell.Halted) {
    if (!h.Get(m)) return false;
    h.Dispatch(m);
  }
  shell.FrameStartTime += h.Millis() - from;
  return true;
}

// Hands one message to the game; false when a question it opened ended in
// the quit message.
bool Deliver(const plat::Message& m) {
  plat::host().Dispatch(m);
  return !shell.Halted || WaitWhileHalted();
}

}  // namespace

bool PumpPending() {
  auto& h = plat::host();
  plat::Message m;
  while (h.Peek()) {
    if (!h.Get(m) || !Deliver(m)) return false;
  }
  shell.LastPumpRealMs = h.RealMillis();
  return true;
}

void StartBusyRun() { shell.LastPumpRealMs = plat::host().RealMillis(); }

bool PumpIfBusyLong() {
  auto& h = plat::host();
  if (h.RealMillis() - shell.LastPumpRealMs < kBusyPumpMs) return true;
  plat::Message m;
  while (h.TakeUrgent(m)) {
    if (m.id == plat::msg::Quit || !Deliver(m)) return false;
  }
  shell.LastPumpRealMs = h.RealMillis();
  return true;
}

// The waits poll as the game always has, but sleep between polls until the
// next message or the deadline, so a wait costs no processor time. The
// deadline is read again after each pass: a question may have moved it.
//
// A new press is one made during the wait. What the wait's first pass
// dispatches was queued before the wait began (the second half of a double
// click, say), so the presses are counted from after that pass on; counting
// them rather than looking at the button still sees a press and release
// quicker than one pass.
int WaitUntil(uint32_t ms) {
  auto& h = plat::host();
  for (;;) {
    if (!PumpPending()) return 0;
    const uint64_t deadline = shell.FrameStartTime + ms;
    if (h.Millis() >= deadline) return 1;
    h.WaitReady(deadline);
  }
}

int WaitOrClick(uint32_t ms) {
  auto& h = plat::host();
  if (!PumpPending()) return 0;
  const uint32_t presses = shell.LeftPresses;
  for (;;) {
    const uint64_t deadline = shell.FrameStartTime + ms;
    if (h.Millis() >= deadline || SkipHeld()) return 1;
    if (shell.LeftPresses != presses) return 1;
    h.WaitReady(deadline);
    if (!PumpPending()) return 0;
  }
}

int WaitClick() {
  auto& h = plat::host();
  if (!PumpPending()) return 0;
  const uint32_t left = shell.LeftPresses, right = shell.RightPresses;
  for (;;) {
    if (shell.LeftPresses != left || shell.RightPresses != right) return 1;
    h.WaitReady(plat::kNoDeadline);
    if (!PumpPending()) return 0;
  }
}
