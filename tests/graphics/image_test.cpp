#include "graphics/image.h"

#include <gtest/gtest.h>

#include "support/gfx_pixels.h"

namespace {

using ImageTest = gfx_test::HostTest;

// The block GDI takes as it is: a 40-byte header, then bottom-up rows
// padded to 4 bytes; a refused size keeps the old picture. Swapping
// exchanges pixels only between equal sizes, and beeps otherwise.
TEST_F(ImageTest, CreateLaysOutTheBitmapAndSwapNeedsEqualSizes) {
  Image im, b, c;
  ASSERT_EQ(im.Create(133, 7), 1);
  EXPECT_EQ(
      std::vector<int64_t>({im.stride, im.header->biSize, im.header->biWidth, im.header->biHeight,
                            im.header->biBitCount, im.header->biSizeImage}),
      std::vector<int64_t>({268, 40, 133, 7, 16, 268 * 7}));
  EXPECT_EQ(reinterpret_cast<uint8_t*>(im.pixels), im.block.get() + 40);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(im.Row(0)), im.block.get() + 40 + 268 * 6);
  im.At(1, 2) = 0x1234;
  EXPECT_EQ(im.Create(0, 10) + im.Create(10, -1), 0);
  EXPECT_EQ(std::pair(im.width, im.At(1, 2)), std::pair(133, uint16_t{0x1234}));
  b.Create(133, 7);
  c.Create(133, 8);
  EXPECT_EQ(Image::SwapBuffers(im, b) + host->beeps, 1);
  EXPECT_EQ(b.At(1, 2), 0x1234);
  EXPECT_EQ(Image::SwapBuffers(b, c) + c.height, 8);
  EXPECT_EQ(std::pair(b.At(1, 2), host->beeps), std::pair(uint16_t{0x1234}, 1));
}

Image* g_painted = nullptr;
intptr_t PaintShifted(uint32_t id, uintptr_t, intptr_t) {
  if (id == plat::msg::Paint) Present(0, 0, 640, 480, *g_painted, -30, -20);
  return 0;
}

// Row y of the picture holds y + 1; a negative source corner moves the
// picture right and down by as much.
TEST_F(ImageTest, PresentRefusesSourcesOutsideTheImageAndShiftsNegativeOnes) {
  Image im;
  im.Create(100, 50);
  for (int y = 0; y < 50; ++y) std::fill_n(im.Row(y), 100, static_cast<uint16_t>(y + 1));
  EXPECT_EQ(Present(0, 0, 640, 480, im, 100, 0) + Present(0, 0, 640, 480, im, 0, 50) +
                Present(0, 0, 10, 10, im, -10, 0),
            0);
  g_painted = &im;
  ASSERT_TRUE(plat::host().OpenWindow("t", PaintShifted));
  InvalidateAll();
  plat::host().UpdateNow();
  EXPECT_EQ(std::vector<int>({host->FramePixel(30, 19), host->FramePixel(29, 20),
                              host->FramePixel(30, 20), host->FramePixel(129, 69),
                              host->FramePixel(130, 20)}),
            std::vector<int>({0, 0, 1, 50, 0}));
}

}  // namespace
