// The headless host: its message order, its virtual clock and timers and the
// input script; and the music timer thread of the desktop backends.
#include "platform/headless/headless.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/posix/periodic_timer.h"
#include "support/script_fixture.h"

namespace {

intptr_t Ignore(uint32_t, uintptr_t, intptr_t) { return 0; }

headless::Options Quiet() {
  headless::Options o;
  o.echo = false;
  return o;
}

std::string M(uint32_t id, uintptr_t w, int x, int y, uint64_t ms) {
  return std::to_string(id) + " " + std::to_string(w) + " " + std::to_string(x) + "," +
         std::to_string(y) + " @" + std::to_string(ms);
}

// Each message as M() writes it, up to most or until the host has none.
std::vector<std::string> Messages(headless::HeadlessHost& host, size_t most) {
  std::vector<std::string> out;
  plat::Message m;
  while (out.size() < most && host.Get(m)) {
    out.push_back(M(m.id, m.wParam, plat::PointX(m.lParam), plat::PointY(m.lParam), host.Millis()));
    if (m.id == plat::msg::Paint) host.Dispatch(m);  // a paint validates
  }
  return out;
}

class HeadlessTest : public ::testing::Test {
 protected:
  HeadlessTest() : host(Quiet()) { host.OpenWindow("t", Ignore); }
  headless::HeadlessHost host;
};

TEST_F(HeadlessTest, PostedMessagesComeBeforeQuitThenPaintThenTimers) {
  using namespace plat::msg;
  host.StartTimer(1, 10);
  host.SleepMs(10);
  host.Invalidate(nullptr);
  host.Post(User + 1, 0, 0);
  host.PostQuit(3);
  plat::Message m;
  ASSERT_TRUE(host.Get(m));
  EXPECT_EQ(m.id, User + 1);
  EXPECT_FALSE(host.Get(m));
  EXPECT_EQ(host.QuitCode(), 3);
  ASSERT_TRUE(host.Get(m));
  EXPECT_EQ(m.id, Paint);  // and stays ready until it is dispatched
  EXPECT_EQ(Messages(host, 2),
            (std::vector<std::string>{M(Paint, 0, 0, 0, 10), M(Timer, 1, 0, 0, 10)}));
}

TEST_F(HeadlessTest, TimersFireWhenIdleWithoutPilingUpAndUntilCloses) {
  host.options().until = 1000;
  host.StartTimer(1, 100);
  const auto timer = [](uint64_t ms) { return M(plat::msg::Timer, 1, 0, 0, ms); };
  EXPECT_EQ(Messages(host, 1), std::vector<std::string>{timer(100)});
  host.SleepMs(350);  // a long stall gives one late tick, then the period again
  EXPECT_EQ(Messages(host, 2), (std::vector<std::string>{timer(450), timer(550)}));
  host.StopTimer(1);
  EXPECT_EQ(Messages(host, 1), std::vector<std::string>{M(plat::msg::Close, 0, 0, 0, 1000)});
}

TEST_F(HeadlessTest, ScriptedInputArrivesAtItsTimeAsTheSystemSendsIt) {
  using namespace plat::msg;
  const uint32_t f1 = plat::vk::F1, f4 = plat::vk::F4, ctrl = plat::vk::Control;
  const uintptr_t wheelDown2 = uintptr_t{static_cast<uint16_t>(-240)} << 16;
  // busyUntil: the game's own timed wait first, which is not waiting for the player.
  const struct {
    std::string script;
    uint64_t busyUntil;
    std::vector<std::string> messages;
  } cases[] = {
      {"wait key f1\n+5 key f4",
       300,
       {M(KeyDown, f1, 0, 0, 300), M(KeyUp, f1, 0, 0, 300), M(KeyDown, f4, 0, 0, 305),
        M(KeyUp, f4, 0, 0, 305), M(Close, 0, 0, 0, 305)}},
      {"wait+1500 key f1\n+10 key f4",
       200,
       {M(KeyDown, f1, 0, 0, 1700), M(KeyUp, f1, 0, 0, 1700), M(KeyDown, f4, 0, 0, 1710)}},
      {"@10 click 300 200",
       0,
       {M(MouseMove, 0, 300, 200, 10), M(LButtonDown, 0, 300, 200, 10),
        M(LButtonUp, 0, 300, 200, 60)}},
      {"move 30 40\nkeydown ctrl\n+100 keyup ctrl\n+0 wheel -2\n+0 wheel 1",
       0,
       {M(MouseMove, 0, 30, 40, 0), M(KeyDown, ctrl, 0, 0, 0), M(KeyUp, ctrl, 0, 0, 100),
        M(MouseWheel, wheelDown2, 30, 40, 100), M(MouseWheel, uintptr_t{120} << 16, 30, 40, 100)}}};
  for (const auto& c : cases) {
    headless::HeadlessHost h(Quiet());
    h.OpenWindow("t", Ignore);
    h.SetInput(InputEvents(c.script));
    if (c.busyUntil) {
      h.WaitReady(c.busyUntil);
      EXPECT_EQ(h.Millis(), c.busyUntil);
    }
    EXPECT_EQ(Messages(h, c.messages.size()), c.messages) << c.script;
    EXPECT_EQ(h.CursorPos().x, c.script[0] == 'm' ? 30 : c.script[0] == '@' ? 300 : 0);
  }
  plat::Message m;
  host.Get(m);                // out of input, the player closes the window: a game that
  EXPECT_FALSE(host.Get(m));  // does not listen is ended
}

TEST(InputScript, ErrorsNameTheLine) {
  std::vector<headless::InputEvent> events;
  std::string error;
  const std::pair<const char*, const char*> bad[] = {
      {"click 1 2\n\nclick 1\n", "line 3: click needs X Y"},
      {"@x click 1 2", "line 1: bad time \"@x\""},
      {"jump", "line 1: unknown action \"jump\""},
      {"waitx click 1 1", "line 1: bad wait"},
      {"close now", "line 1: unexpected \"now\""},
      {"keyup nosuchkey", "ctrl"}};
  for (const auto& [script, why] : bad) {
    EXPECT_FALSE(headless::ParseInputScript(script, events, error)) << script;
    EXPECT_NE(error.find(why), std::string::npos) << error;
  }
  EXPECT_TRUE(
      headless::ParseInputScript("# comment\n  +5 screenshot title # shot\n", events, error));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].name, "title");
  const intptr_t l = plat::PackPoint(-5, 700);  // signed 16-bit halves
  EXPECT_EQ(std::pair(plat::PointX(l), plat::PointY(l)), std::pair(-5, 700));
}

// The music timer thread runs until killed, a kill waits for a running
// callback, and a callback may kill its own timer.
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

TEST(PeriodicTimerThread, RunsUntilKilledKillWaitsForACallbackAndACallbackMayKillItsOwn) {
  posix::PeriodicTimerThread timer;
  Probe probe, second;
  probe.timer = second.timer = &timer;
  const uint32_t id = timer.Start(1, &Tick, &probe);
  WaitFor(probe.calls, 5);
  EXPECT_GE(probe.calls.load(), 5);
  EXPECT_EQ(probe.lastId.load(), id);
  probe.sleepMs = 30;  // the next callback is slow: Kill must wait it out
  WaitFor(probe.calls, probe.calls.load() + 1);
  while (!probe.inside.load()) std::this_thread::yield();
  timer.Kill(id);
  EXPECT_FALSE(probe.inside.load());
  int after = probe.calls.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(probe.calls.load(), after);  // no call after the kill
  timer.Kill(id);                        // killing twice is harmless
  // A callback that kills its own timer is called once.
  probe.sleepMs = 0;
  probe.killSelf = true;
  after = probe.calls.load();
  const uint32_t a = timer.Start(1, &Tick, &probe);
  WaitFor(probe.calls, after + 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(probe.calls.load(), after + 1);
  // A new timer replaces the running one; an old id leaves it running.
  const uint32_t b = timer.Start(2, &Tick, &second);
  EXPECT_NE(a, b);
  WaitFor(second.calls, 3);
  EXPECT_EQ(second.lastId.load(), b);
  timer.Kill(a);
  const int before = second.calls.load();
  WaitFor(second.calls, before + 2);
  EXPECT_GE(second.calls.load(), before + 2);
}

}  // namespace
