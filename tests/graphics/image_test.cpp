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

// The block GDI takes as it is: a 40-byte header, then bottom-up rows
// padded to 4 bytes; a refused size keeps the old picture.
TEST_F(ImageTest, CreateLaysOutTheBitmapAndRefusesEmptySizes) {
  Image im;
  ASSERT_EQ(im.Create(133, 7), 1);
  EXPECT_EQ(im.stride, 268);
  EXPECT_EQ(std::vector<int64_t>({im.header->biSize, im.header->biWidth, im.header->biHeight,
                                  im.header->biBitCount, im.header->biSizeImage}),
            std::vector<int64_t>({40, 133, 7, 16, 268 * 7}));
  EXPECT_EQ(reinterpret_cast<uint8_t*>(im.pixels), im.block.get() + 40);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(im.Row(0)), im.block.get() + 40 + 268 * 6);
  im.At(1, 2) = 0x1234;
  EXPECT_EQ(im.Create(0, 10) + im.Create(10, -1), 0);
  EXPECT_EQ(std::pair(im.width, im.At(1, 2)), std::pair(133, uint16_t{0x1234}));
}

TEST_F(ImageTest, SwapBuffersExchangesPixelsOnlyForEqualSizes) {
  Image a, b, c;
  a.Create(640, 622);
  b.Create(640, 622);
  c.Create(640, 480);
  a.At(0, 0) = 1;
  b.At(0, 0) = 2;
  EXPECT_EQ(Image::SwapBuffers(a, b), 1);
  EXPECT_EQ(std::pair(a.At(0, 0), b.At(0, 0)), std::pair(uint16_t{2}, uint16_t{1}));
  EXPECT_EQ(host->beeps, 0);
  const uint16_t* before = a.pixels;
  EXPECT_EQ(Image::SwapBuffers(a, c), 0);
  EXPECT_EQ(a.pixels, before);
  EXPECT_EQ(c.height, 480);
  EXPECT_EQ(host->beeps, 1);
}

Image* g_painted = nullptr;
intptr_t PaintShiftedDown(uint32_t id, uintptr_t, intptr_t) {
  if (id == plat::msg::Paint) Present(0, 0, 640, 480, *g_painted, 0, -20);
  return 0;
}

TEST_F(ImageTest, PresentRefusesSourcesOutsideTheImageAndShiftsNegativeOnes) {
  Image im;
  im.Create(100, 50);
  for (int y = 0; y < 50; ++y) std::fill_n(im.Row(y), 100, static_cast<uint16_t>(y + 1));
  EXPECT_EQ(Present(0, 0, 640, 480, im, 100, 0) + Present(0, 0, 640, 480, im, 0, 50) +
                Present(0, 0, 10, 10, im, -10, 0),
            0);
  g_painted = &im;
  ASSERT_TRUE(plat::host().OpenWindow("t", PaintShiftedDown));
  InvalidateAll();
  plat::host().UpdateNow();
  EXPECT_EQ(std::vector<int>({host->FramePixel(0, 19), host->FramePixel(0, 20),
                              host->FramePixel(99, 69), host->FramePixel(100, 20)}),
            std::vector<int>({0, 1, 50, 0}));
}

}  // namespace
