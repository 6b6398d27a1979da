#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "graphics/image.h"
#include "graphics/transition.h"
#include "support/gfx_pixels.h"

namespace {

constexpr int kDissolveOrder[16][2] = {{0, 3}, {2, 1}, {2, 3}, {0, 1}, {1, 2}, {3, 0},
                                       {3, 2}, {1, 0}, {1, 3}, {3, 1}, {3, 3}, {1, 1},
                                       {0, 2}, {2, 0}, {2, 2}, {0, 0}};
constexpr int kLevel[16][2] = {{3, 3}, {1, 1}, {3, 1}, {1, 3}, {2, 2}, {0, 0}, {2, 0}, {0, 2},
                               {3, 2}, {1, 0}, {3, 0}, {1, 2}, {2, 3}, {0, 1}, {2, 1}, {0, 3}};
// The highest step of each type that still changes something: the number
// of steps, 10 ms apart, that a script's transition takes.
constexpr int kLastStep[10] = {1, 16, 16, 55, 45, 16, 64, 55, 49, 80};

// Whether step s of a transition copies pixel (x, y), from the patterns.
bool Copies(int type, int s, int x, int y) {
  switch (type) {
    case 0:
      return true;
    case 1:
      return x % 16 == s - 1;
    case 2:
      return y % 16 == s - 1;
    case 3:
    case 4: {
      const int v = type == 3 ? x : y, k = v / 16, o = v % 16;
      // Offset 16 of block k is column 0 of block k + 1.
      return (k <= s - 1 && o == s - 1 - k) || (k >= 1 && o == 0 && s - 1 - (k - 1) == 16);
    }
    case 5:
      return x % 4 == kDissolveOrder[s - 1][0] && y % 4 == kDissolveOrder[s - 1][1];
    case 6: {
      const int d = (s * 800) >> 6, r = (s * 800) >> 7;
      if (y < 240 - r || y >= 240 + r) return false;
      const int q = d * d / 4 - (y - 240) * (y - 240);
      const int c = static_cast<int>(2 * std::sqrt(static_cast<double>(q)));
      return x >= 320 - (c >> 1) && x < 320 - (c >> 1) + c;
    }
    case 7:
    case 8: {
      const int level = type == 7 ? s - 1 - x / 16 : s - 1 - x / 32 - y / 32;
      return level >= 0 && level <= 15 && x % 4 == kLevel[level][0] && y % 4 == kLevel[level][1];
    }
    case 9: {
      const int l = 320 - 4 * s, t = 240 - 3 * s, w = 8 * s, h = 6 * s;
      if (x < l || x >= l + w || y < t || y >= t + h) return false;
      return y < t + 3 || y >= t + h - 3 || x < l + 4 || x >= l + w - 4;
    }
  }
  return false;
}

class TransitionTest : public gfx_test::HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    src.Create(640, 622);
    dst.Create(640, 622);
    for (int y = 0; y < 622; ++y)
      for (int x = 0; x < 640; ++x)
        src.At(x, y) = static_cast<uint16_t>(1 + ((x * 3 + y * 7) & 0x3FFF));
    Clear();
  }
  void Clear() {
    for (int y = 0; y < 622; ++y) std::fill_n(dst.Row(y), 640, uint16_t{0});
    host->invalidations.clear();
  }
  // Pixels of the page that the screen does not show yet.
  int Missing() const {
    int n = 0;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) n += dst.At(x, y) != src.At(x, y);
    return n;
  }
  Image src, dst;
};

// Each type's first steps and last step copy exactly their pattern, and
// invalidate every pixel they copied; running every step completes the page at the last one and not
// before; steps past the end, step 0 and unknown types never touch what lies below row 480.
TEST_F(TransitionTest, EveryTypeCopiesItsPatternAndEndsAtItsLastStep) {
  for (int type = 0; type <= 9; ++type) {
    SCOPED_TRACE(type);
    EXPECT_EQ(TransitionLastStep(type), kLastStep[type]);
    for (int s : {1, 2, kLastStep[type]}) {
      Clear();
      ASSERT_EQ(Transition(dst, src, type, s), 1);
      std::vector<bool> shown(640 * 480);
      for (const auto& r : host->invalidations)
        for (int y = std::max(r.y, 0); y < std::min(r.y + r.h, 480); ++y)
          for (int x = std::max(r.x, 0); x < std::min(r.x + r.w, 640); ++x)
            shown[y * 640 + x] = true;
      for (int y = 0; y < 622; ++y)
        for (int x = 0; x < 640; ++x) {
          const bool copied = y < 480 && Copies(type, s, x, y);
          ASSERT_EQ(dst.At(x, y), copied ? src.At(x, y) : 0)
              << "step " << s << " at " << x << "," << y;
          ASSERT_TRUE(!copied || shown[y * 640 + x]) << "not invalidated: " << x << "," << y;
        }
    }
    Clear();
    for (int s = 0; s < kLastStep[type]; ++s) Transition(dst, src, type, s);
    EXPECT_GT(Missing(), 0) << "finished before its last step";
    Transition(dst, src, type, kLastStep[type]);
    EXPECT_EQ(Missing(), 0);
    Clear();
    for (int s : {0, kLastStep[type] + 1, kLastStep[type] + 17, 1000, 1 << 20, INT32_MAX})
      Transition(dst, src, type, s);
    for (int y = 480; y < 622; ++y) ASSERT_EQ(dst.At(0, y) | dst.At(639, y), 0);
  }
  for (auto [type, step] : {std::pair{0, 0}, {5, 0}, {10, 1}, {-1, 1}, {3, -4}}) {
    Clear();
    EXPECT_EQ(Transition(dst, src, type, step), 1);
    EXPECT_TRUE(host->invalidations.empty());
    EXPECT_EQ(Missing(), 640 * 480);
  }
  Image small;
  small.Create(320, 240);
  EXPECT_EQ(Transition(small, src, 0, 1), 1);  // too small: left alone
  EXPECT_TRUE(host->invalidations.empty());
}

}  // namespace
