// The headless host: its message order, its virtual clock and timers and the
// input script; and the music timer thread of the desktop backends.
#include "platform/headless/headless.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <thread>

#include "platform/posix/periodic_timer.h"
#include "support/script_fixture.h"

namespace {

intptr_t Ignore(uint32_t, uintptr_t, intptr_t) { return 0; }

std::unique_ptr<headless::HeadlessHost> Host(const std::string& script = "") {
  headless::Options o;
  o.echo = false;
  auto host = std::make_unique<headless::HeadlessHost>(o);
  host->OpenWindow("t", Ignore);
  host->SetInput(InputEvents(script));
  return host;
}

// Each message, up to most or past the quit, as "name wParam x,y @ms; " with
// the zero parts left out (a wheel's wParam as its signed distance); a paint
// is dispatched, which validates it.
std::string Messages(headless::HeadlessHost& host, size_t most) {
  using namespace plat::msg;
  const std::map<uint32_t, const char*> names = {
      {Paint, "paint"},      {Close, "close"},    {KeyDown, "down"},      {KeyUp, "up"},
      {Timer, "timer"},      {MouseMove, "move"}, {LButtonDown, "ldown"}, {LButtonUp, "lup"},
      {MouseWheel, "wheel"}, {User + 1, "user"}};
  std::string out;
  plat::Message m;
  for (size_t n = 0; n < most; ++n) {
    if (!host.Get(m)) {
      out += "quit " + std::to_string(host.QuitCode()) + "; ";
      continue;
    }
    const int w =
        m.id == MouseWheel ? static_cast<int16_t>(m.wParam >> 16) : static_cast<int>(m.wParam);
    out += names.at(m.id) + (w ? " " + std::to_string(w) : "");
    if (m.lParam)
      out += " " + std::to_string(plat::PointX(m.lParam)) + "," +
             std::to_string(plat::PointY(m.lParam));
    out += " @" + std::to_string(host.Millis()) + "; ";
    if (m.id == Paint) host.Dispatch(m);
  }
  return out;
}

TEST(HeadlessHost, PostedMessagesComeBeforeQuitThenPaintThenTimersWhichNeverPileUp) {
  auto host = Host();
  host->StartTimer(1, 10);
  host->SleepMs(10);
  host->Invalidate(nullptr);
  host->Post(plat::msg::User + 1, 0, 0);
  host->PostQuit(3);
  EXPECT_EQ(Messages(*host, 4), "user @10; quit 3; paint @10; timer 1 @10; ");
  host->options().until = 1000;
  host->StartTimer(1, 100);
  host->SleepMs(350);  // a long stall gives one late tick, then the period again
  EXPECT_EQ(Messages(*host, 2), "timer 1 @360; timer 1 @460; ");
  host->StopTimer(1);
  EXPECT_EQ(Messages(*host, 1), "close @1000; ");  // the time is up
}

// F1 is key 112, F4 115, Ctrl 17. busyUntil: the game's own timed wait first,
// which is not waiting for the player. Out of input, the player closes the
// window: a game that does not listen is ended.
TEST(HeadlessHost, ScriptedInputArrivesAtItsTimeAsTheSystemSendsIt) {
  const struct {
    const char* script;
    uint64_t busyUntil;
    const char* messages;
    int cursorX;
  } cases[] = {
      {"wait key f1\n+5 key f4", 300,
       "down 112 @300; up 112 @300; down 115 @305; up 115 @305; close @305; quit 0; ", 0},
      {"wait+1500 key f1\n+10 key f4", 200, "down 112 @1700; up 112 @1700; down 115 @1710; ", 0},
      {"@10 click 300 200", 0, "move 300,200 @10; ldown 300,200 @10; lup 300,200 @60; ", 300},
      {"move 30 40\nkeydown ctrl\n+100 keyup ctrl\n+0 wheel -2\n+0 wheel 1", 0,
       "move 30,40 @0; down 17 @0; up 17 @100; wheel -240 30,40 @100; wheel 120 30,40 @100; ", 30}};
  for (const auto& c : cases) {
    auto h = Host(c.script);
    if (c.busyUntil) h->WaitReady(c.busyUntil);
    const std::string expected = c.messages;
    EXPECT_EQ(Messages(*h, static_cast<size_t>(std::count(expected.begin(), expected.end(), ';'))),
              expected)
        << c.script;
    EXPECT_EQ(h->CursorPos().x, c.cursorX) << c.script;
  }
}

TEST(HeadlessHost, InputScriptErrorsNameTheLine) {
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
  const auto shot = InputEvents("# comment\n  +5 screenshot title # shot\n");
  ASSERT_EQ(shot.size(), 1u);
  EXPECT_EQ(shot[0].name, "title");
  const intptr_t l = plat::PackPoint(-5, 700);  // signed 16-bit halves
  EXPECT_EQ(std::pair(plat::PointX(l), plat::PointY(l)), std::pair(-5, 700));
}

// The music timer thread runs until killed, a kill waits for a running
// callback, a callback may kill its own timer, and a new timer replaces the
// running one.
struct Probe {
  posix::PeriodicTimerThread* timer;
  int sleepMs = 0;
  bool killSelf = false;
  std::atomic<int> calls{0};
  std::atomic<bool> inside{false};
  std::atomic<uint32_t> lastId{0};
  int Reach(int n) const {
    for (int i = 0; i < 5000 && calls.load() < n; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return calls.load();
  }
  // The calls over a while after now.
  int Later(int ms) const {
    const int before = calls.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return calls.load() - before;
  }
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

TEST(PeriodicTimerThread, RunsUntilKilledKillWaitsForACallbackAndACallbackMayKillItsOwn) {
  posix::PeriodicTimerThread timer;
  Probe fast{&timer}, slow{&timer, 30}, ending{&timer, 0, true};
  const uint32_t first = timer.Start(1, &Tick, &fast);
  EXPECT_GE(fast.Reach(5), 5);
  const uint32_t id = timer.Start(1, &Tick, &slow);
  EXPECT_EQ(fast.lastId.load(), first);
  EXPECT_LE(fast.Later(40), 1);  // replaced, once a call under way is done
  slow.Reach(1);
  while (!slow.inside.load()) std::this_thread::yield();
  timer.Kill(id);  // waits for the slow callback
  EXPECT_FALSE(slow.inside.load());
  EXPECT_EQ(slow.Later(40), 0);
  timer.Kill(id);  // killing twice is harmless
  timer.Start(1, &Tick, &ending);
  ending.Reach(1);
  EXPECT_EQ(ending.Later(10), 0);
  EXPECT_EQ(ending.calls.load(), 1);
  const uint32_t again = timer.Start(2, &Tick, &fast);
  timer.Kill(id);  // an old id leaves the new timer running
  const int want = fast.calls.load() + 3;
  EXPECT_GE(fast.Reach(want), want);
  EXPECT_EQ(fast.lastId.load(), again);
}

}  // namespace
