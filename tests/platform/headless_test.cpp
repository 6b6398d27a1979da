#include "platform/headless/headless.h"

#include <gtest/gtest.h>

namespace {

std::vector<uint32_t> g_seen;
intptr_t Record(uint32_t id, uintptr_t, intptr_t) {
  g_seen.push_back(id);
  return 0;
}

class HeadlessTest : public ::testing::Test {
 protected:
  HeadlessTest() : host(Quiet()) {
    g_seen.clear();
    host.OpenWindow("t", Record);
  }
  static headless::Options Quiet() {
    headless::Options o;
    o.echo = false;
    return o;
  }
  void Script(const std::string& text) {
    std::vector<headless::InputEvent> events;
    std::string error;
    ASSERT_TRUE(headless::ParseInputScript(text, events, error)) << error;
    host.SetInput(events);
  }
  headless::HeadlessHost host;
};

TEST_F(HeadlessTest, PostedMessagesComeBeforeQuitThenPaintThenTimers) {
  host.StartTimer(1, 10);
  host.SleepMs(10);
  host.Invalidate(nullptr);
  host.Post(plat::msg::User + 1, 0, 0);
  host.PostQuit(3);
  plat::Message m;
  ASSERT_TRUE(host.Get(m));
  EXPECT_EQ(m.id, plat::msg::User + 1);
  EXPECT_FALSE(host.Get(m));
  EXPECT_EQ(m.id, plat::msg::Quit);
  EXPECT_EQ(host.QuitCode(), 3);
  ASSERT_TRUE(host.Get(m));
  EXPECT_EQ(m.id, plat::msg::Paint);
  // Paint stays ready until it is dispatched (the paint validates).
  ASSERT_TRUE(host.Get(m));
  EXPECT_EQ(m.id, plat::msg::Paint);
  host.Dispatch(m);
  ASSERT_TRUE(host.Get(m));
  EXPECT_EQ(m.id, plat::msg::Timer);
  EXPECT_EQ(m.wParam, 1u);
}

TEST_F(HeadlessTest, TimersFireWhenIdleWithoutPilingUp) {
  Script("@1000 close");
  host.StartTimer(1, 100);
  plat::Message m;
  ASSERT_TRUE(host.Get(m));
  EXPECT_EQ(m.id, plat::msg::Timer);
  EXPECT_EQ(host.Millis(), 100u);
  host.SleepMs(350);  // a long stall
  ASSERT_TRUE(host.Get(m));
  EXPECT_EQ(host.Millis(), 450u);
  ASSERT_TRUE(host.Get(m));
  EXPECT_EQ(m.id, plat::msg::Timer);
  EXPECT_EQ(host.Millis(), 550u);
  host.StopTimer(1);
  ASSERT_TRUE(host.Get(m));
  EXPECT_EQ(m.id, plat::msg::Close);
  EXPECT_EQ(host.Millis(), 1000u);
}

TEST_F(HeadlessTest, WaitActionsFireOnlyWhenTheGameWaitsForThePlayer) {
  Script("wait key f1\n+5 key f4");
  host.WaitReady(300);  // a timed wait is not waiting for the player
  EXPECT_EQ(host.Millis(), 300u);
  EXPECT_FALSE(host.Peek());
  plat::Message m;
  ASSERT_TRUE(host.Get(m));
  EXPECT_EQ(m.wParam, plat::vk::F1);
  EXPECT_EQ(host.Millis(), 300u);
  ASSERT_TRUE(host.Get(m));
  EXPECT_EQ(m.wParam, plat::vk::F4);
  EXPECT_EQ(host.Millis(), 305u);
  // Out of input: the player closes the window, and a game that does not
  // listen is ended.
  ASSERT_TRUE(host.Get(m));
  EXPECT_EQ(m.id, plat::msg::Close);
  EXPECT_FALSE(host.Get(m));
}

TEST_F(HeadlessTest, WaitWithAPauseActsThatLongAfterTheGameStartsWaiting) {
  Script("wait+1500 key f1\n+10 key f4");
  host.WaitReady(200);  // busy until 200: the pause has not begun
  plat::Message m;
  ASSERT_TRUE(host.Get(m));
  EXPECT_EQ(m.wParam, plat::vk::F1);
  EXPECT_EQ(host.Millis(), 1700u);
  ASSERT_TRUE(host.Get(m));
  EXPECT_EQ(m.wParam, plat::vk::F4);
  EXPECT_EQ(host.Millis(), 1710u);
  std::vector<headless::InputEvent> events;
  std::string error;
  EXPECT_FALSE(headless::ParseInputScript("wait+ click 1 1", events, error));
  EXPECT_FALSE(headless::ParseInputScript("waitx click 1 1", events, error));
}

TEST_F(HeadlessTest, UntilClosesTheRunAtItsTime) {
  host.options().until = 2500;
  plat::Message m;
  ASSERT_TRUE(host.Get(m));
  EXPECT_EQ(m.id, plat::msg::Close);
  EXPECT_EQ(host.Millis(), 2500u);
}

TEST_F(HeadlessTest, ClicksHoldTheButtonAndMoveTheCursor) {
  Script("@10 click 300 200");
  plat::Message m;
  std::vector<uint32_t> ids;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(host.Get(m));
    ids.push_back(m.id);
  }
  EXPECT_EQ(ids, (std::vector<uint32_t>{plat::msg::MouseMove, plat::msg::LButtonDown,
                                        plat::msg::LButtonUp}));
  EXPECT_EQ(host.Millis(), 60u);
  EXPECT_EQ(plat::PointX(m.lParam), 300);
  EXPECT_EQ(plat::PointY(m.lParam), 200);
  EXPECT_EQ(host.CursorPos().x, 300);
}

TEST(InputScript, ErrorsNameTheLine) {
  std::vector<headless::InputEvent> events;
  std::string error;
  EXPECT_FALSE(headless::ParseInputScript("click 1 2\n\nclick 1\n", events, error));
  EXPECT_EQ(error, "line 3: click needs X Y");
  EXPECT_FALSE(headless::ParseInputScript("@x click 1 2", events, error));
  EXPECT_EQ(error, "line 1: bad time \"@x\"");
  EXPECT_FALSE(headless::ParseInputScript("key space", events, error));
  EXPECT_FALSE(headless::ParseInputScript("jump", events, error));
  EXPECT_EQ(error, "line 1: unknown action \"jump\"");
  EXPECT_FALSE(headless::ParseInputScript("close now", events, error));
  EXPECT_TRUE(headless::ParseInputScript("# only a comment\n  +5 screenshot title # shot\n",
                                         events, error));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].name, "title");
}

TEST(PointPacking, CoordinatesAreSignedSixteenBitHalves) {
  const intptr_t l = plat::PackPoint(-5, 700);
  EXPECT_EQ(plat::PointX(l), -5);
  EXPECT_EQ(plat::PointY(l), 700);
}

}  // namespace
