// The music timer thread of the desktop backends: it runs until killed, a
// kill waits for a running callback, and a callback may kill its own timer.
#include "platform/posix/periodic_timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

struct Probe {
  posix::PeriodicTimerThread* timer = nullptr;
  std::atomic<int> calls{0}, sleepMs{0};
  std::atomic<bool> inside{false};
  std::atomic<uint32_t> lastId{0};
  bool killSelf = false;
};

void Tick(uint32_t id, void* user) {
  auto* p = static_cast<Probe*>(user);
  p->inside = true;
  p->lastId = id;
  ++p->calls;
  if (p->sleepMs) std::this_thread::sleep_for(std::chrono::milliseconds(p->sleepMs));
  if (p->killSelf) p->timer->Kill(id);  // must not wait for itself
  p->inside = false;
}

void WaitFor(const std::atomic<int>& calls, int n) {
  for (int i = 0; i < 5000 && calls.load() < n; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST(PeriodicTimerThread, RunsUntilKilledAndKillWaitsForARunningCallback) {
  posix::PeriodicTimerThread timer;
  Probe probe;
  probe.timer = &timer;
  const uint32_t id = timer.Start(1, &Tick, &probe);
  ASSERT_NE(id, 0u);
  WaitFor(probe.calls, 5);
  EXPECT_GE(probe.calls.load(), 5);
  EXPECT_EQ(probe.lastId.load(), id);
  probe.sleepMs = 30;  // the next callback is slow: Kill must wait it out
  WaitFor(probe.calls, probe.calls.load() + 1);
  while (!probe.inside.load()) std::this_thread::yield();
  timer.Kill(id);
  EXPECT_FALSE(probe.inside.load());
  const int after = probe.calls.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(probe.calls.load(), after);  // no call after the kill
  timer.Kill(id);                        // killing twice is harmless
}

TEST(PeriodicTimerThread, ACallbackMayKillItsOwnTimerAndANewOneReplacesIt) {
  posix::PeriodicTimerThread timer;
  Probe probe, second;
  probe.timer = second.timer = &timer;
  probe.killSelf = true;
  timer.Start(1, &Tick, &probe);
  WaitFor(probe.calls, 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(probe.calls.load(), 1);
  const uint32_t a = timer.Start(1, &Tick, &probe);
  const uint32_t b = timer.Start(2, &Tick, &second);  // replaces a
  EXPECT_NE(a, b);
  WaitFor(second.calls, 3);
  EXPECT_EQ(second.lastId.load(), b);
  timer.Kill(a);  // an old id leaves the new timer running
  const int before = second.calls.load();
  WaitFor(second.calls, before + 2);
  EXPECT_GE(second.calls.load(), before + 2);
}

}  // namespace
