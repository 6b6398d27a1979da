// The headless host: its message order, its virtual clock and timers, the
// input script, and screenshots that keep the frame's colours.
#include "platform/headless/headless.h"

#include <gtest/gtest.h>
#include <png.h>

#include "support/files.h"
#include "support/script_fixture.h"

namespace {

intptr_t Ignore(uint32_t, uintptr_t, intptr_t) { return 0; }

headless::Options Quiet() {
  headless::Options o;
  o.echo = false;
  return o;
}

// Each message as "id wParam x,y @ms", up to most or until the host has none.
std::vector<std::string> Messages(headless::HeadlessHost& host, size_t most) {
  std::vector<std::string> out;
  plat::Message m;
  while (out.size() < most && host.Get(m)) {
    out.push_back(std::to_string(m.id) + " " + std::to_string(m.wParam) + " " +
                  std::to_string(plat::PointX(m.lParam)) + "," +
                  std::to_string(plat::PointY(m.lParam)) + " @" + std::to_string(host.Millis()));
    if (m.id == plat::msg::Paint) host.Dispatch(m);  // a paint validates
  }
  return out;
}

std::string M(uint32_t id, uintptr_t w, int x, int y, uint64_t ms) {
  return std::to_string(id) + " " + std::to_string(w) + " " + std::to_string(x) + "," +
         std::to_string(y) + " @" + std::to_string(ms);
}

class HeadlessTest : public ::testing::Test {
 protected:
  HeadlessTest() : host(Quiet()) { host.OpenWindow("t", Ignore); }
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
  EXPECT_EQ(host.QuitCode(), 3);
  ASSERT_TRUE(host.Get(m));
  EXPECT_EQ(m.id, plat::msg::Paint);
  ASSERT_TRUE(host.Get(m));  // ready until it is dispatched
  EXPECT_EQ(m.id, plat::msg::Paint);
  host.Dispatch(m);
  ASSERT_TRUE(host.Get(m));
  EXPECT_EQ(m.id, plat::msg::Timer);
  EXPECT_EQ(m.wParam, 1u);
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
      {"wait+ click 1 1", nullptr},
      {"waitx click 1 1", nullptr},
      {"key space", nullptr},
      {"close now", nullptr},
      {"wheel", nullptr},
      {"keyup nosuchkey", "ctrl"}};
  for (const auto& [script, why] : bad) {
    EXPECT_FALSE(headless::ParseInputScript(script, events, error)) << script;
    if (why) {
      EXPECT_NE(error.find(why), std::string::npos) << error;
    }
  }
  EXPECT_TRUE(
      headless::ParseInputScript("# comment\n  +5 screenshot title # shot\n", events, error));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].name, "title");
  const intptr_t l = plat::PackPoint(-5, 700);  // signed 16-bit halves
  EXPECT_EQ(std::pair(plat::PointX(l), plat::PointY(l)), std::pair(-5, 700));
}

// A frame with pure red, green and blue and one mixed pixel at the top left.
headless::HeadlessHost* g_painter = nullptr;
std::vector<uint16_t> g_picture;
intptr_t PaintPicture(uint32_t id, uintptr_t, intptr_t) {
  if (id == plat::msg::Paint)
    g_painter->Present({nullptr, g_picture.data(), 640, 480, 640 * 2}, 0, 0, 0);
  return 0;
}

TEST(Screenshot, KeepsTheFramesColours) {
  const ScopedTempDir scratch("quillfen-shot-");
  headless::Options o = Quiet();
  o.screenshotDir = scratch.path().string();
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
  ASSERT_TRUE(png_image_begin_read_from_file(&image, (scratch.path() / "rgb.png").c_str()));
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
  EXPECT_EQ(std::pair(image.width, image.height), std::pair(640u, 480u));
  EXPECT_EQ(std::vector<int>(rgb.begin(), rgb.begin() + 12),
            (std::vector<int>{255, 0, 0, 0, 255, 0, 0, 0, 255, 132, 66, 33}));
}

}  // namespace
