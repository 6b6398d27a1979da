// The screenshots' files read back by libpng: every pixel must come back,
// each five-bit channel spread to eight bits.
#include "graphics/png.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <vector>

namespace {

// Top-down RGB rows; empty on any complaint of libpng.
std::vector<uint8_t> Decode(const std::vector<uint8_t>& file, int width, int height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  std::vector<uint8_t> out(size_t(3) * width * height);
  const bool begun = png_image_begin_read_from_memory(&image, file.data(), file.size());
  image.format = PNG_FORMAT_RGB;
  if (begun && int(image.width) == width && int(image.height) == height &&
      png_image_finish_read(&image, nullptr, out.data(), 0, nullptr))
    return out;
  ADD_FAILURE() << "libpng: " << image.message;
  return {};
}

// Bottom-up rows three pixels apart, the third pixel of each row outside
// the picture; the top row comes out first.
TEST(PngEncoder, PixelsDecodeSpreadToEightBitsTopRowFirst) {
  const uint16_t px[] = {0x7C00, 0x03E0, 0x1234, 0x001F, (16 << 10) | (8 << 5) | 4, 0x1234};
  EXPECT_EQ(Decode(EncodePng555(px, 2, 2, 3, true), 2, 2),
            (std::vector<uint8_t>{0, 0, 255, 132, 66, 33, 255, 0, 0, 0, 255, 0}));
  EXPECT_TRUE(EncodePng555(px, 2, 2, 1, false).empty());  // stride below the width
}

}  // namespace
