// The desktop backend's own events, on SDL's dummy video driver: what a press
// of the close button and the system's termination signals become.
#include "platform/sdl/sdl_host.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

class SdlHostTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("SDL_VIDEODRIVER", "dummy", 1); }

  void SetUp() override {
    // The signals as a terminal's foreground program has them, whatever
    // the test runner left them as.
    for (size_t i = 0; i < std::size(kSignals); ++i) {
      sigaction(kSignals[i], nullptr, &before_[i]);
      signal(kSignals[i], SIG_DFL);
    }
  }
  void TearDown() override {
    host.reset();
    for (size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &before_[i], nullptr);
  }

  void Start() {
    ASSERT_TRUE(sdl::SdlHost::Start());
    host = std::make_unique<sdl::SdlHost>(sdl::Options{});
  }

  // The ids of the messages ready now, in order.
  std::vector<uint32_t> Ready() {
    std::vector<uint32_t> ids;
    plat::Message m;
    while (host->Peek() && host->Get(m)) ids.push_back(m.id);
    return ids;
  }

  static constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
  struct sigaction before_[3] = {};
  std::unique_ptr<sdl::SdlHost> host;
};

SDL_Event Event(uint32_t type, uint8_t windowEvent = 0) {
  SDL_Event e{};
  e.type = type;
  e.window.event = windowEvent;
  return e;
}

TEST_F(SdlHostTest, OnePressOfTheCloseButtonIsOneCloseRequest) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const SDL_Event close = Event(SDL_WINDOWEVENT, SDL_WINDOWEVENT_CLOSE), quit = Event(SDL_QUIT);
  const SDL_Event move = Event(SDL_MOUSEMOTION);
  struct Case {
    const char* what;
    std::vector<SDL_Event> events;
    size_t closes;
  } cases[] = {
      // An SDL that follows the last window's close with a quit of its own.
      {"the window's close, then SDL's quit", {close, quit}, 1},
      {"the window's close", {close}, 1},
      {"the system's quit (an application menu)", {quit}, 1},
      {"two presses in one pump", {close, quit, close, quit}, 2},
      {"the window's close, then a quit of later", {close, move, quit}, 2},
  };
  for (const Case& c : cases) {
    for (SDL_Event e : c.events) ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
    const std::vector<uint32_t> ids = Ready();
    EXPECT_EQ(std::count(ids.begin(), ids.end(), plat::msg::Close), c.closes) << c.what;
  }
}

// A signal ends the session both where the game sleeps in its wait for the
// next event and where it runs without waiting and only takes what must be
// answered; a click or key it has not taken yet stays queued.
TEST_F(SdlHostTest, EachTerminationSignalEndsTheSessionWhetherTheGameSleepsOrIsBusy) {
  ASSERT_NO_FATAL_FAILURE(Start());
  for (const int sig : kSignals) {
    std::atomic<bool> answered{false};
    std::thread sender([&] {
      // Time to fall asleep in the wait first; then, should the wait never
      // end, a quit of its own ends it rather than the test hanging.
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      kill(getpid(), sig);
      for (int i = 0; i < 1000 && !answered; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      SDL_Event quit = Event(SDL_QUIT);
      if (!answered) SDL_PushEvent(&quit);
    });
    plat::Message m;
    const bool got = host->Get(m);
    answered = true;
    sender.join();
    EXPECT_TRUE(got && m.id == plat::msg::EndSession && m.wParam == 1) << "signal " << sig;

    host->Post(plat::msg::KeyDown, plat::vk::Return, 0);
    raise(sig);
    EXPECT_TRUE(host->TakeUrgent(m) && m.id == plat::msg::EndSession) << "signal " << sig;
    EXPECT_EQ(Ready(), std::vector<uint32_t>{plat::msg::KeyDown}) << "signal " << sig;
  }
}

TEST_F(SdlHostTest, ASignalLeftIgnoredStaysIgnoredAndTheHandlingIsGivenBack) {
  signal(SIGHUP, SIG_IGN);
  ASSERT_NO_FATAL_FAILURE(Start());
  raise(SIGHUP);
  EXPECT_TRUE(Ready().empty());
  host.reset();
  struct sigaction now = {};
  sigaction(SIGHUP, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_IGN);
  sigaction(SIGTERM, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL);
}

}  // namespace
