#include "platform/headless/headless.h"

#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>

#include "support/files.h"

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
  ASSERT_TRUE(host.Get(m));  // "key" presses and lets go
  EXPECT_EQ(m.id, plat::msg::KeyUp);
  EXPECT_EQ(m.wParam, plat::vk::F1);
  ASSERT_TRUE(host.Get(m));
  EXPECT_EQ(m.wParam, plat::vk::F4);
  EXPECT_EQ(host.Millis(), 305u);
  ASSERT_TRUE(host.Get(m));
  EXPECT_EQ(m.id, plat::msg::KeyUp);
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
  EXPECT_EQ(m.id, plat::msg::KeyUp);
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

// A frame with one pure red, green and blue pixel at the top left.
headless::HeadlessHost* g_painter = nullptr;
std::vector<uint16_t> g_picture;
intptr_t PaintPicture(uint32_t id, uintptr_t, intptr_t) {
  if (id != plat::msg::Paint) return 0;
  plat::PixelView v;
  v.pixels = g_picture.data();
  v.width = 640;
  v.height = 480;
  v.stride = 640 * 2;
  g_painter->Present(v, 0, 0, 0);
  return 0;
}

TEST(Screenshot, KeepsTheFramesColours) {
  const ScopedTempDir scratch("quillfen-shot-");
  const auto& dir = scratch.path();
  headless::Options o;
  o.echo = false;
  o.screenshotDir = dir.string();
  headless::HeadlessHost host(o);
  g_painter = &host;
  g_picture.assign(640 * 480, 0);
  uint16_t* top = g_picture.data() + 479 * 640;  // rows are stored bottom-up
  top[0] = 0x7C00;
  top[1] = 0x03E0;
  top[2] = 0x001F;
  top[3] = (16 << 10) | (8 << 5) | 4;
  ASSERT_TRUE(host.OpenWindow("t", PaintPicture));
  host.Invalidate(nullptr);
  host.UpdateNow();
  ASSERT_TRUE(host.SaveScreenshot("rgb"));

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, (dir / "rgb.png").c_str()));
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
  EXPECT_EQ(image.width, 640u);
  EXPECT_EQ(image.height, 480u);
  const std::vector<int> first(rgb.begin(), rgb.begin() + 12);
  EXPECT_EQ(first, (std::vector<int>{255, 0, 0, 0, 255, 0, 0, 0, 255, 132, 66, 33}));
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
  EXPECT_TRUE(headless::ParseInputScript("# only a comment\n  +5 screenshot title # shot\n", events,
                                         error));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].name, "title");
}

TEST_F(HeadlessTest, HeldKeysAndTheWheelArriveAsTheSystemSendsThem) {
  Script("move 30 40\nkeydown ctrl\n+100 keyup ctrl\n+0 wheel -2\n+0 wheel 1");
  plat::Message m;
  std::vector<std::pair<uint32_t, uintptr_t>> got;
  for (int i = 0; i < 5 && host.Get(m); ++i) got.emplace_back(m.id, m.wParam);
  const uintptr_t down2 = uintptr_t{static_cast<uint16_t>(-240)} << 16;
  EXPECT_EQ(got, (std::vector<std::pair<uint32_t, uintptr_t>>{
                     {plat::msg::MouseMove, 0},
                     {plat::msg::KeyDown, plat::vk::Control},
                     {plat::msg::KeyUp, plat::vk::Control},
                     {plat::msg::MouseWheel, down2},
                     {plat::msg::MouseWheel, uintptr_t{120} << 16}}));
  EXPECT_EQ(plat::PointX(m.lParam), 30);  // at the pointer
  EXPECT_EQ(plat::PointY(m.lParam), 40);
  std::vector<headless::InputEvent> events;
  std::string error;
  EXPECT_FALSE(headless::ParseInputScript("wheel", events, error));
  EXPECT_FALSE(headless::ParseInputScript("keyup nosuchkey", events, error));
  EXPECT_NE(error.find("ctrl"), std::string::npos) << "the error lists the names: " << error;
}

TEST(PointPacking, CoordinatesAreSignedSixteenBitHalves) {
  const intptr_t l = plat::PackPoint(-5, 700);
  EXPECT_EQ(plat::PointX(l), -5);
  EXPECT_EQ(plat::PointY(l), 700);
}

}  // namespace
