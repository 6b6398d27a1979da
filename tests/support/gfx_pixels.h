// Pictures for the drawing tests: patterned images, snapshots, the check
// that a drawing changed one rectangle and nothing else, and a game fixture
// with its host made.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "graphics/image.h"
#include "support/game_fixture.h"

namespace gfx_test {

// Channel c of a pixel: 0 blue, 1 green, 2 red.
inline int Ch(uint16_t p, int c) { return (p >> (5 * c)) & 31; }
constexpr uint16_t Pack(int r, int g, int b) { return static_cast<uint16_t>(r << 10 | g << 5 | b); }

inline void Fill(Image& im, uint16_t v) {
  for (int y = 0; y < im.height; ++y) std::fill_n(im.Row(y), im.width, v);
}
// Every pixel a different value, so that a pixel from the wrong place shows.
inline void Pattern(Image& im, int w, int h, uint16_t base = 0) {
  im.Create(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) im.At(x, y) = static_cast<uint16_t>((base + x + 97 * y) & 0x7FFF);
}
inline std::vector<uint16_t> Pixels(const Image& im) {
  std::vector<uint16_t> out;
  for (int y = 0; y < im.height; ++y) out.insert(out.end(), im.Row(y), im.Row(y) + im.width);
  return out;
}

// Inside the rectangle want(x, y) holds; outside, the pixels are as before.
inline ::testing::AssertionResult Only(const Image& im, const std::vector<uint16_t>& before, int rx,
                                       int ry, int rw, int rh,
                                       const std::function<uint16_t(int, int)>& want) {
  for (int y = 0; y < im.height; ++y)
    for (int x = 0; x < im.width; ++x) {
      const bool in = x >= rx && x < rx + rw && y >= ry && y < ry + rh;
      const uint16_t expect = in ? want(x, y) : before[static_cast<size_t>(y) * im.width + x];
      if (im.At(x, y) != expect)
        return ::testing::AssertionFailure()
               << "pixel " << x << "," << y << " is " << im.At(x, y) << ", not " << expect;
    }
  return ::testing::AssertionSuccess();
}

class HostTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    MakeHost();
  }
};

}  // namespace gfx_test
