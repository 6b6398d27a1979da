// The composed scene, checked at chosen points of the headless screenshot:
// each layer at its place, the right portrait mirrored in its frame, the
// half-transparent message window, the date plate and the status bar.
#include <gtest/gtest.h>

#include "support/game_fixture.h"
#include "support/k16_writer.h"

namespace {

constexpr uint16_t kBackColour = Rgb5(20, 20, 20);
constexpr uint16_t kPlaceColour = Rgb5(4, 28, 4);
constexpr uint16_t kShadow = Rgb5(6, 6, 6);
constexpr uint16_t kMsgColour = Rgb5(0, 0, 30);
constexpr uint16_t kFrameColour = Rgb5(30, 30, 0);
constexpr uint16_t kLeftHalf = Rgb5(31, 0, 0);
constexpr uint16_t kRightHalf = Rgb5(0, 31, 0);

// Digit d of a number font: its own colour filling the glyph.
uint16_t DigitColour(int d) { return Rgb5(d + 1, 31 - d, 2 * d); }

class LayersTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    const std::string dir = dataDir.string() + "/";
    // The interface sheet: shadows, the message window background and the
    // date plate's base where the scene takes them from; magenta elsewhere.
    WriteTestK16(dir + "source1.K16", 850, 676, [](int x, int y) -> uint16_t {
      if (x >= 840) return kShadow;                                    // right shadow strips
      if (x >= 400 && x < 850 && y >= 368 && y < 378) return kShadow;  // bottom strips
      if (x >= 420 && y < 304) return kShadow;                         // window shadows
      if (x < 420 && y < 304) return kMsgColour;                       // window backgrounds
      return kKey5;
    });
    auto digits = [](int glyph) {
      return [glyph](int x, int) -> uint16_t {
        const int slot = x / glyph;
        return slot < 10 ? DigitColour(slot) : kKey5;
      };
    };
    WriteTestK16(dir + "numsmall.K16", 12 * 6, 10, digits(6));
    WriteTestK16(dir + "nummid.K16", 12 * 8, 14, digits(8));
    WriteTestK16(dir + "numWeekday.K16", 12 * 20, 14, digits(20));
    WriteTestK16(dir + "bg.K16", 640, 480, [](int, int) { return kBackColour; });
    WriteTestK16(dir + "pic.K16", 440, 300, [](int, int) { return kPlaceColour; });
    // Face 1: keyed corner; face 2: a frame around two halves.
    WriteTestK16(dir + "f1.K16", 134, 152,
                 [](int x, int y) { return x < 10 && y < 10 ? kKey5 : kLeftHalf; });
    WriteTestK16(dir + "f2.K16", 134, 152, [](int x, int y) -> uint16_t {
      if (x < 7 || y < 7 || x >= 127 || y >= 135) return kFrameColour;
      return x < 67 ? kLeftHalf : kRightHalf;
    });
    WriteData("config.scn", "");
    WriteData("start.scn",
              ".let money = 1234\n.let year = 2026\n.let month = 3\n.let day = 14\n"
              ".load back bg\n.load place pic\n.load face1 f1\n.load face2 f2\n"
              ".show back\n.show place\n.show face1\n.show face2\n.show msg1\n.show date\n"
              ".update 0\n.clk\n");
    MakeHost("wait screenshot scene\nwait key esc");
    ASSERT_EQ(RunGame(), 0);
    EXPECT_TRUE(host->boxes.empty()) << BoxTexts()[0];
  }
  uint16_t At(int x, int y) { return host->FramePixel(x, y); }
  static uint16_t Minus(uint16_t a, uint16_t b) {
    auto ch = [&](int s) { return std::max(((a >> s) & 31) - ((b >> s) & 31), 0) << s; };
    return static_cast<uint16_t>(ch(10) | ch(5) | ch(0));
  }
};

TEST_F(LayersTest, PicturesAndShadowsSitAtTheirPlaces) {
  EXPECT_EQ(At(5, 470), kBackColour);     // background, left of the status bar
  EXPECT_EQ(At(300, 300), kPlaceColour);  // framed picture at 100, 80, 440 x 300
  EXPECT_EQ(At(99, 300), kBackColour);
  EXPECT_EQ(At(545, 250), Minus(kBackColour, kShadow));  // its right shadow
  EXPECT_EQ(At(300, 385), Minus(kBackColour, kShadow));  // and its bottom one
  EXPECT_EQ(At(300, 391), kBackColour);
}

TEST_F(LayersTest, TheLeftFaceIsKeyedAndTheRightOneMirroredInsideItsFrame) {
  EXPECT_EQ(At(32 + 50, 44 + 50), kLeftHalf);
  EXPECT_EQ(At(32 + 2, 44 + 2), kBackColour);  // its magenta corner lets the back through
  // Face 2 at 474, 280: the frame stays, the inside is turned round.
  EXPECT_EQ(At(474 + 2, 280 + 50), kFrameColour);
  EXPECT_EQ(At(474 + 10, 280 + 50), kRightHalf);
  EXPECT_EQ(At(474 + 120, 280 + 50), kLeftHalf);
  EXPECT_EQ(At(474 + 131, 280 + 50), kFrameColour);
}

TEST_F(LayersTest, TheMessageWindowIsHalfTransparent) {
  // Blend of the sheet's window colour, weight 16, over the background that
  // the window's own shadow has darkened.
  const uint16_t under = Minus(kBackColour, kShadow);
  const uint16_t expected =
      static_cast<uint16_t>((((kMsgColour ^ under) >> 1) & 0x3DEF) + (kMsgColour & under));
  EXPECT_EQ(At(560, 150), expected);
}

TEST_F(LayersTest, DatePlateAndStatusBarShowTheirNumbers) {
  // Right-aligned numbers end on their x: the last digit's glyph is the one
  // just left of it.
  EXPECT_EQ(At(518, 460), DigitColour(4));  // money 1234
  EXPECT_EQ(At(518 - 6, 460), DigitColour(3));
  EXPECT_EQ(At(518 - 18, 460), DigitColour(1));
  EXPECT_EQ(At(75, 10), DigitColour(6));  // year 2026
  EXPECT_EQ(At(75 - 24, 10), DigitColour(2));
  EXPECT_EQ(At(127, 10), DigitColour(3));  // month
  EXPECT_EQ(At(175, 10), DigitColour(4));  // day 14
  EXPECT_EQ(At(175 - 8, 10), DigitColour(1));
  EXPECT_EQ(At(192 + 5, 10), DigitColour(6));  // 2026-03-14 is a Saturday
}

}  // namespace
