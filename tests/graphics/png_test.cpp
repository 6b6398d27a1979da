// The encoder's files read back by libpng, a decoder that shares nothing
// with it: every pixel of every picture must come back.
#include "graphics/png.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

// Top-down RGB rows; empty on any complaint of libpng.
std::vector<uint8_t> Decode(const std::vector<uint8_t>& file, int width, int height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  std::vector<uint8_t> out(size_t(3) * width * height);
  const bool begun = png_image_begin_read_from_memory(&image, file.data(), file.size());
  image.format = PNG_FORMAT_RGB;
  if (begun && std::pair(int(image.width), int(image.height)) == std::pair(width, height) &&
      png_image_finish_read(&image, nullptr, out.data(), 0, nullptr))
    return out;
  ADD_FAILURE() << "libpng: " << image.message << " " << image.width << "x" << image.height;
  return {};
}

// Five-bit channels spread to eight as the backends always wrote them.
uint8_t Spread(unsigned v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }

TEST(PngEncoder, ChannelsSpreadToEightBitsAndEmptyPicturesAreRefused) {
  const uint16_t px[5] = {0x7C00, 0x03E0, 0x001F, (16 << 10) | (8 << 5) | 4, 0xFFFF};
  EXPECT_EQ(Decode(EncodePng555(px, 5, 1, 5, false), 5, 1),
            (std::vector<uint8_t>{255, 0, 0, 0, 255, 0, 0, 0, 255, 132, 66, 33, 255, 255, 255}));
  const uint16_t none[4] = {};
  EXPECT_EQ(EncodePng555(none, 0, 1, 1, false).size() + EncodePng555(none, 1, 0, 1, false).size() +
                EncodePng555(none, 2, 2, 1, false).size() +  // stride below the width
                EncodePng555(nullptr, 1, 1, 1, false).size(),
            0u);
}

// Rows `stride` apart, those past the width a colour the picture never has;
// bottom-up pictures come out top row first.
TEST(PngEncoder, EveryPictureDecodesPixelIdentical) {
  std::mt19937 rng(1);
  const std::function<uint16_t(int, int)> noise = [&](int, int) { return rng() & 0x7FFF; };
  const std::function<uint16_t(int, int)> halfFlat = [&](int x, int) {
    return x % 7 < 3 ? uint16_t{0x1234} : static_cast<uint16_t>(rng() & 0x7FFF);
  };
  const struct {
    int w, h, stride;
    bool bottomUp;
    std::function<uint16_t(int, int)> pixel;
    int repeatRows;  // rows repeat this far down (0: never)
  } pictures[] = {
      {640, 480, 640, false, [](int, int) { return uint16_t{0x2A4B}; }, 0},
      {640, 480, 640, true, noise, 0},
      {1, 17, 1, false, noise, 0},
      {3, 5, 4, true, halfFlat, 0},
      {13, 9, 16, true, noise, 0},
      {641, 5, 641, false, halfFlat, 0},
      // Filtered rows that repeat 32768 bytes back, the farthest a match may
      // reach, and just beyond it.
      {5461, 6, 5461, false, noise, 2},
      {5462, 6, 5462, false, noise, 2},
  };
  for (const auto& p : pictures) {
    SCOPED_TRACE(std::to_string(p.w) + "x" + std::to_string(p.h));
    std::vector<uint16_t> px(static_cast<size_t>(p.stride) * p.h, 0x7FFF);
    for (int y = 0; y < p.h; ++y)
      for (int x = 0; x < p.w; ++x)
        px[size_t(y) * p.stride + x] = p.repeatRows && y >= p.repeatRows
                                           ? px[size_t(y - p.repeatRows) * p.stride + x]
                                           : p.pixel(x, y);
    const auto rgb = Decode(EncodePng555(px.data(), p.w, p.h, p.stride, p.bottomUp), p.w, p.h);
    ASSERT_EQ(rgb.size(), size_t(3) * p.w * p.h);
    for (int y = 0; y < p.h; ++y)
      for (int x = 0; x < p.w; ++x) {
        const unsigned v = px[size_t(p.bottomUp ? p.h - 1 - y : y) * p.stride + x];
        const uint8_t* got = &rgb[(size_t(y) * p.w + x) * 3];
        ASSERT_EQ(std::vector<uint8_t>(got, got + 3),
                  (std::vector<uint8_t>{Spread(v >> 10 & 31), Spread(v >> 5 & 31), Spread(v & 31)}))
            << x << "," << y;
      }
  }
}

}  // namespace
