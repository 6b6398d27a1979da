#include "graphics/image.h"

#include <gtest/gtest.h>

#include "support/game_fixture.h"

namespace {

class ImageTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    MakeHost();
  }
};

TEST_F(ImageTest, CreateLaysOutTheBitmapHeaderAndPaddedRows) {
  Image im;
  ASSERT_EQ(im.Create(133, 7), 1);
  EXPECT_EQ(im.stride, 268);
  EXPECT_EQ(im.header->biSize, 40u);
  EXPECT_EQ(im.header->biWidth, 133);
  EXPECT_EQ(im.header->biHeight, 7);  // positive: bottom-up rows
  EXPECT_EQ(im.header->biBitCount, 16);
  EXPECT_EQ(im.header->biSizeImage, 268u * 7);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(im.pixels), im.block.get() + 40);
  // Top-down row 0 is the last row in memory.
  EXPECT_EQ(reinterpret_cast<uint8_t*>(im.Row(0)), im.block.get() + 40 + 268 * 6);
  EXPECT_EQ(Image::StrideFor(640), 1280);
  EXPECT_EQ(Image::StrideFor(1), 4);
}

TEST_F(ImageTest, CreateRefusesEmptySizesAndKeepsTheOldPicture) {
  Image im;
  ASSERT_EQ(im.Create(4, 4), 1);
  im.At(1, 2) = 0x1234;
  EXPECT_EQ(im.Create(0, 10), 0);
  EXPECT_EQ(im.Create(10, -1), 0);
  EXPECT_EQ(im.width, 4);
  EXPECT_EQ(im.At(1, 2), 0x1234);
}

TEST_F(ImageTest, SwapBuffersExchangesPixelsOnlyForEqualSizes) {
  Image a, b, c;
  a.Create(640, 622);
  b.Create(640, 622);
  c.Create(640, 480);
  a.At(0, 0) = 1;
  b.At(0, 0) = 2;
  EXPECT_EQ(Image::SwapBuffers(a, b), 1);
  EXPECT_EQ(a.At(0, 0), 2);
  EXPECT_EQ(b.At(0, 0), 1);
  EXPECT_EQ(host->beeps, 0);
  const uint16_t* before = a.pixels;
  EXPECT_EQ(Image::SwapBuffers(a, c), 0);
  EXPECT_EQ(a.pixels, before);
  EXPECT_EQ(c.height, 480);
  EXPECT_EQ(host->beeps, 1);
}

TEST_F(ImageTest, ColoursBecomeFiveBitChannels) {
  EXPECT_EQ(ColourToPixel(0xFFFFFF), 0x7FFF);
  EXPECT_EQ(ColourToPixel(kMagenta), 0x7C1F);
  EXPECT_EQ(ColourToPixel(kBlueKey), 0x001F);
  EXPECT_EQ(ColourToPixel(0x0000FF), 0x7C00);  // red is the low byte
  EXPECT_EQ(ColourToPixel(0x070707), 0);
}

Image* g_painted = nullptr;
intptr_t PaintShiftedDown(uint32_t id, uintptr_t, intptr_t) {
  if (id == plat::msg::Paint) Present(0, 0, 640, 480, *g_painted, 0, -20);
  return 0;
}

TEST_F(ImageTest, PresentRefusesSourcesOutsideTheImageAndShiftsNegativeOnes) {
  ASSERT_TRUE(plat::host().OpenWindow("t", WindowProc));
  Image im;
  im.Create(100, 50);
  for (int y = 0; y < 50; ++y) std::fill_n(im.Row(y), 100, static_cast<uint16_t>(y + 1));
  EXPECT_EQ(Present(0, 0, 640, 480, im, 100, 0), 0);
  EXPECT_EQ(Present(0, 0, 640, 480, im, 0, 50), 0);
  EXPECT_EQ(Present(0, 0, 10, 10, im, -10, 0), 0);  // nothing left of the width

  // Outside a paint nothing reaches the window; inside, a negative srcY moves
  // the picture down.
  g_painted = &im;
  host->DestroyWindow();
  ASSERT_TRUE(plat::host().OpenWindow("t", PaintShiftedDown));
  InvalidateAll();
  plat::host().UpdateNow();
  EXPECT_EQ(host->FramePixel(0, 19), 0);
  EXPECT_EQ(host->FramePixel(0, 20), 1);
  EXPECT_EQ(host->FramePixel(99, 69), 50);
  EXPECT_EQ(host->FramePixel(100, 20), 0);
}

}  // namespace
