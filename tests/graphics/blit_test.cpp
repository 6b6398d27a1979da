#include "graphics/blit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "graphics/blit_rows.h"
#include "graphics/image.h"
#include "graphics/number_font.h"
#include "support/game_fixture.h"

namespace {

// Plain per-channel forms of the pixel rules.
int Ch(uint16_t p, int c) { return (p >> (5 * c)) & 31; }
uint16_t Pack(int r, int g, int b) { return static_cast<uint16_t>(r << 10 | g << 5 | b); }
uint16_t RefSub(uint16_t d, uint16_t s) {
  return Pack(std::max(0, Ch(d, 2) - Ch(s, 2)), std::max(0, Ch(d, 1) - Ch(s, 1)),
              std::max(0, Ch(d, 0) - Ch(s, 0)));
}
uint16_t RefAdd(uint16_t d, uint16_t s) {
  return Pack(std::min(31, Ch(d, 2) + Ch(s, 2)), std::min(31, Ch(d, 1) + Ch(s, 1)),
              std::min(31, Ch(d, 0) + Ch(s, 0)));
}
uint16_t RefBlend(uint16_t s, uint16_t d, int k) {
  if (k == 16) return static_cast<uint16_t>((((s ^ d) >> 1) & 0x3DEF) + (s & d));
  auto mix = [&](int c) { return (Ch(s, c) * (32 - k) + Ch(d, c) * k) >> 5; };
  return Pack(mix(2), mix(1), mix(0));
}

uint32_t g_seed = 12345;
uint16_t Rand16() {
  g_seed = g_seed * 1103515245u + 12345u;
  return static_cast<uint16_t>(g_seed >> 12);
}

// Each pixel a different value, so a wrong source shows.
void Pattern(Image& im, int w, int h, uint16_t base = 0) {
  im.Create(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) im.At(x, y) = static_cast<uint16_t>((base + x + 97 * y) & 0x7FFF);
}
void Fill(Image& im, uint16_t v) {
  for (int y = 0; y < im.height; ++y) std::fill_n(im.Row(y), im.width, v);
}
std::vector<uint16_t> Pixels(const Image& im) {
  std::vector<uint16_t> out;
  for (int y = 0; y < im.height; ++y) out.insert(out.end(), im.Row(y), im.Row(y) + im.width);
  return out;
}
// dst must equal before except inside the rectangle, where want(x, y) holds.
void ExpectOnly(const Image& dst, const std::vector<uint16_t>& before, int rx, int ry, int rw,
                int rh, const std::function<uint16_t(int, int)>& want) {
  for (int y = 0; y < dst.height; ++y)
    for (int x = 0; x < dst.width; ++x) {
      const bool in = x >= rx && x < rx + rw && y >= ry && y < ry + rh;
      const uint16_t expect = in ? want(x, y) : before[static_cast<size_t>(y) * dst.width + x];
      ASSERT_EQ(dst.At(x, y), expect) << "at " << x << "," << y;
    }
}

class BlitTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    MakeHost();
  }
};

TEST(BlitRows, FastAndPortableKernelsMatchTheReferenceOnRandomRows) {
  for (int n = 0; n < 70; ++n) {
    for (int trial = 0; trial < 8; ++trial) {
      // Rows start anywhere relative to a 16-byte boundary.
      std::vector<uint16_t> sBuf(n + 8), dBuf(n + 8);
      std::vector<uint16_t> s(n), d(n);
      const uint16_t key = Rand16() & 0x7FFF;
      for (int i = 0; i < n; ++i) {
        s[i] = Rand16() % 4 == 0 ? key : Rand16();
        d[i] = Rand16();
      }
      const uint16_t c = Rand16();
      const int sOff = trial, dOff = (trial * 3 + n) % 8;
      std::copy(s.begin(), s.end(), sBuf.begin() + sOff);
      const uint16_t* sp = sBuf.data() + sOff;
      std::vector<uint16_t> want(n), a = d, b = d;
      // The fast kernel works in place on an offset copy of the row.
      auto fast = [&](auto&& kernel) {
        std::copy(d.begin(), d.end(), dBuf.begin() + dOff);
        kernel(dBuf.data() + dOff);
        return std::vector<uint16_t>(dBuf.begin() + dOff, dBuf.begin() + dOff + n);
      };
      for (int cell : {2, 4}) {
        for (int i = 0; i < n; ++i) want[i] = s[i - i % cell];
        ASSERT_EQ(fast([&](uint16_t* dp) { rows::RepeatCells(dp, sp, n, cell); }), want);
        b = d;
        rows::RepeatCellsPortable(b.data(), s.data(), n, cell);
        ASSERT_EQ(b, want);
      }
      // Fill, also from an odd start inside a longer row.
      std::vector<uint16_t> row(n + 3, 0x1234), fillWant = row;
      std::fill_n(fillWant.begin() + 1, n, c);
      rows::Fill(row.data() + 1, n, c);
      ASSERT_EQ(row, fillWant);
      row.assign(n + 3, 0x1234);
      rows::FillPortable(row.data() + 1, n, c);
      ASSERT_EQ(row, fillWant);
      for (int i = 0; i < n; ++i) want[i] = s[i] == key ? d[i] : s[i];
      a = fast([&](uint16_t* dp) { rows::CopyKeyed(dp, sp, n, key); });
      b = d;
      rows::CopyKeyedPortable(b.data(), s.data(), n, key);
      ASSERT_EQ(a, want);
      ASSERT_EQ(b, want);
      for (uint32_t k = 0; k <= 32; ++k) {
        a = b = d;
        for (int i = 0; i < n; ++i) want[i] = s[i] == key ? d[i] : RefBlend(s[i], d[i], int(k));
        for (auto kernel : {rows::BlendKeyed, rows::BlendKeyed8, rows::BlendKeyed16}) {
          a = fast([&](uint16_t* dp) { kernel(dp, sp, n, key, k); });
          ASSERT_EQ(a, want) << "k " << k << " n " << n;
        }
        rows::BlendKeyedPortable(b.data(), s.data(), n, key, k);
        ASSERT_EQ(b, want) << "k " << k << " n " << n;
      }
      a = b = d;
      for (int i = 0; i < n; ++i) want[i] = RefSub(d[i], s[i]);
      a = fast([&](uint16_t* dp) { rows::Subtract(dp, sp, n); });
      rows::SubtractPortable(b.data(), s.data(), n);
      ASSERT_EQ(a, want);
      ASSERT_EQ(b, want);
      a = b = d;
      for (int i = 0; i < n; ++i) want[i] = RefSub(d[i], c);
      a = fast([&](uint16_t* dp) { rows::Darken(dp, n, c); });
      rows::DarkenPortable(b.data(), n, c);
      ASSERT_EQ(a, want);
      ASSERT_EQ(b, want);
      a = b = d;
      for (int i = 0; i < n; ++i) want[i] = RefAdd(d[i], c);
      a = fast([&](uint16_t* dp) { rows::Brighten(dp, n, c); });
      rows::BrightenPortable(b.data(), n, c);
      ASSERT_EQ(a, want);
      ASSERT_EQ(b, want);
    }
  }
}

TEST(BlitRows, PrimitivesMatchAPerPixelReferenceOnRandomPages) {
  Image src, dst, want;
  for (Image* im : {&src, &dst}) {
    im->Create(640, 64);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 640; ++x) im->At(x, y) = Rand16() % 6 == 0 ? 0x7C1F : Rand16();
  }
  want.Create(640, 64);
  for (int trial = 0; trial < 200; ++trial) {
    const int w = 1 + Rand16() % 200, h = 1 + Rand16() % 30;
    const int sx = Rand16() % (640 - w), sy = Rand16() % (64 - h);
    const int dx = Rand16() % (640 - w), dy = Rand16() % (64 - h);
    const int op = trial % 6, k = Rand16() % 33;
    const uint32_t colour = static_cast<uint32_t>(Rand16()) << 8 | (Rand16() & 0xFF);
    const uint16_t cp = ColourToPixel(colour);
    Copy(want, 0, 0, 640, 64, dst, 0, 0);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint16_t sv = src.At(sx + x, sy + y);
        uint16_t& d = want.At(dx + x, dy + y);
        switch (op) {
          case 0:
            if (sv != 0x7C1F) d = sv;
            break;
          case 1:
            if (sv != 0x7C1F) d = RefBlend(sv, d, k);
            break;
          case 2:
            d = RefSub(d, sv);
            break;
          case 3:
            d = RefSub(d, cp);
            break;
          case 4:
            d = RefAdd(d, cp);
            break;
          case 5:
            d = cp;
            break;
        }
      }
    switch (op) {
      case 0:
        CopyKeyed(dst, dx, dy, w, h, src, sx, sy, kMagenta);
        break;
      case 1:
        BlendKeyed(dst, dx, dy, w, h, src, sx, sy, kMagenta, k);
        break;
      case 2:
        SubtractCopy(dst, dx, dy, w, h, src, sx, sy);
        break;
      case 3:
        DarkenRect(dst, dx, dy, w, h, colour);
        break;
      case 4:
        BrightenRect(dst, dx, dy, w, h, colour);
        break;
      case 5:
        FillImageRect(dst, dx, dy, w, h, colour);
        break;
    }
    ASSERT_EQ(Pixels(dst), Pixels(want)) << "operation " << op << " trial " << trial;
  }
}

TEST(BlitRows, SaturatingArithmeticIsExactForEveryChannelPair) {
  for (int u = 0; u < 32; ++u)
    for (int v = 0; v < 32; ++v) {
      // Each channel on its own, and all three at once with the top bit set.
      for (int c = 0; c < 3; ++c) {
        const uint16_t a = static_cast<uint16_t>(u << (5 * c)),
                       b = static_cast<uint16_t>(v << (5 * c));
        ASSERT_EQ(rows::SatAdd(a, b), std::min(31, u + v) << (5 * c));
        ASSERT_EQ(rows::SatSub(a, b), std::max(0, u - v) << (5 * c));
      }
      const uint16_t a = static_cast<uint16_t>(0x8000 | Pack(u, v, u)),
                     b = static_cast<uint16_t>(0x8000 | Pack(v, u, v));
      ASSERT_EQ(rows::SatAdd(a, b), RefAdd(a, b));
      ASSERT_EQ(rows::SatSub(a, b), RefSub(a, b));
    }
  for (int i = 0; i < 200000; ++i) {
    const uint16_t a = Rand16(), b = Rand16();
    ASSERT_EQ(rows::SatAdd(a, b), RefAdd(a, b));
    ASSERT_EQ(rows::SatSub(a, b), RefSub(a, b));
  }
}

TEST_F(BlitTest, CopyClipsAgainstSourceThenDestinationWithNegativeOrigins) {
  Image src, dst;
  Pattern(src, 10, 8);
  dst.Create(12, 9);
  Fill(dst, 0x7FFF);
  auto before = Pixels(dst);
  // Source corner (-1, -2) and destination corner (-2, 3): the source cut
  // moves the destination to (-1, 5), the destination cut moves the source
  // to (1, 0); the bottom is cut by the destination.
  ASSERT_EQ(Copy(dst, -2, 3, 6, 10, src, -1, -2), 1);
  ExpectOnly(dst, before, 0, 5, 4, 4, [&](int x, int y) { return src.At(x + 1, y - 5); });
  before = Pixels(dst);
  // Off the right and bottom of the source.
  ASSERT_EQ(Copy(dst, 0, 0, 50, 50, src, 7, 6), 1);
  ExpectOnly(dst, before, 0, 0, 3, 2, [&](int x, int y) { return src.At(x + 7, y + 6); });
  before = Pixels(dst);
  EXPECT_EQ(Copy(dst, 0, 0, 5, 5, src, 10, 0), 0);  // sx = source width
  EXPECT_EQ(Copy(dst, 12, 0, 5, 5, src, 0, 0), 0);  // dx = destination width
  EXPECT_EQ(Copy(dst, 0, 0, 5, 5, src, -5, 0), 0);  // nothing left after the cut
  EXPECT_EQ(Copy(dst, -3, 0, 3, 5, src, 0, 0), 0);
  EXPECT_EQ(Copy(dst, 0, 0, 0, 5, src, 0, 0), 0);
  EXPECT_EQ(Copy(dst, 0, 0, 5, -1, src, 0, 0), 0);
  EXPECT_EQ(Copy(dst, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, src, INT32_MAX, 0), 0);
  EXPECT_EQ(Copy(dst, INT32_MAX, 0, INT32_MAX, 5, src, INT32_MIN, 0), 0);
  EXPECT_EQ(Pixels(dst), before);
  Image none;
  EXPECT_EQ(Copy(none, 0, 0, 5, 5, src, 0, 0), 0);
  EXPECT_EQ(Copy(dst, 0, 0, 5, 5, none, -3, 0), 0);
}

TEST_F(BlitTest, CopyWithinOneImageMatchesCopyingThroughABuffer) {
  const int moves[][2] = {{0, 10},  {0, -10}, {7, 0},  {-7, 0}, {5, 6},
                          {-5, -6}, {3, -4},  {-3, 4}, {0, 0}};
  for (const auto& mv : moves) {
    Image im, buffer, want;
    Pattern(im, 130, 90);
    Pattern(want, 130, 90);
    buffer.Create(100, 50);
    const int sx = 15, sy = 20, dx = sx + mv[0], dy = sy + mv[1];
    Copy(buffer, 0, 0, 100, 50, want, sx, sy);
    Copy(want, dx, dy, 100, 50, buffer, 0, 0);
    EXPECT_EQ(Copy(im, dx, dy, 100, 50, im, sx, sy), 1);
    EXPECT_EQ(Pixels(im), Pixels(want)) << mv[0] << "," << mv[1];
  }
  // Overlapping rectangles that need clipping as well.
  Image im, want, buffer;
  Pattern(im, 40, 30);
  Pattern(want, 40, 30);
  buffer.Create(40, 30);
  Copy(buffer, 0, 0, 40, 30, want, 0, 0);
  Copy(want, -3, 4, 40, 30, buffer, 2, -1);
  EXPECT_EQ(Copy(im, -3, 4, 40, 30, im, 2, -1), 1);
  EXPECT_EQ(Pixels(im), Pixels(want));
  // CopyClipped too.
  Pattern(im, 40, 30);
  Pattern(want, 40, 30);
  Copy(buffer, 0, 0, 40, 30, want, 0, 0);
  CopyClipped(want, 4, 4, 20, 20, buffer, 0, 0, 6, 6, 10, 10);
  EXPECT_EQ(CopyClipped(im, 4, 4, 20, 20, im, 0, 0, 6, 6, 10, 10), 1);
  EXPECT_EQ(Pixels(im), Pixels(want));
}

TEST_F(BlitTest, InPlaceUnsafePrimitivesRefuseOverlappingRectanglesOfOneImage) {
  Image im, other;
  Pattern(im, 60, 40);
  Pattern(other, 60, 40, 5);
  const auto before = Pixels(im);
  // Overlapping, and overlapping only outside the image (tested before clipping).
  const int cases[][6] = {{10, 10, 20, 20, 15, 12}, {-10, 0, 20, 10, -5, 0}};
  for (const auto& c : cases) {
    const int dx = c[0], dy = c[1], w = c[2], h = c[3], sx = c[4], sy = c[5];
    EXPECT_EQ(CopyKeyed(im, dx, dy, w, h, im, sx, sy, kMagenta), 0);
    EXPECT_EQ(CopyClippedKeyed(im, dx, dy, w, h, im, sx, sy, 0, 0, 60, 40, kMagenta), 0);
    EXPECT_EQ(BlendKeyed(im, dx, dy, w, h, im, sx, sy, kMagenta, 8), 0);
    EXPECT_EQ(SubtractCopy(im, dx, dy, w, h, im, sx, sy), 0);
    EXPECT_EQ(GreyCopyClippedKeyed(im, dx, dy, w, h, im, sx, sy, 0, 0, 60, 40, kMagenta), 0);
    EXPECT_EQ(CopyMirrored(im, dx, dy, w, h, im, sx, sy), 0);
    EXPECT_EQ(Mosaic(im, dx, dy, w, h, im, sx, sy, 2), 0);
  }
  EXPECT_EQ(Pixels(im), before);
  // Side by side in one image, or overlapping between two images: they run.
  EXPECT_EQ(CopyKeyed(im, 0, 0, 20, 20, im, 20, 5, kMagenta), 1);
  EXPECT_EQ(SubtractCopy(im, 0, 0, 20, 20, im, 5, 20), 1);
  EXPECT_EQ(CopyMirrored(other, 10, 10, 20, 20, im, 15, 12), 1);
}

TEST_F(BlitTest, KeyedCopiesSkipTheKeyAndStayInsideTheClipRectangle) {
  Image src, dst;
  Pattern(src, 20, 20);
  const uint16_t key = ColourToPixel(0x00FF00);
  for (int y = 0; y < 20; ++y) src.At(y % 20, y) = key;
  dst.Create(16, 16);
  Fill(dst, 0x1111);
  auto before = Pixels(dst);
  ASSERT_EQ(CopyKeyed(dst, -2, -3, 20, 20, src, 0, 0, 0x00FF00), 1);
  ExpectOnly(dst, before, 0, 0, 16, 16, [&](int x, int y) {
    const uint16_t s = src.At(x + 2, y + 3);
    return s == key ? uint16_t{0x1111} : s;
  });
  // The clip rectangle is first cut to the image: (-5, -5, 10, 12) -> (0, 0, 5, 7).
  Fill(dst, 0x1111);
  before = Pixels(dst);
  ASSERT_EQ(CopyClippedKeyed(dst, 2, 1, 10, 10, src, 0, 0, -5, -5, 10, 12, 0x00FF00), 1);
  ExpectOnly(dst, before, 2, 1, 3, 6, [&](int x, int y) {
    const uint16_t s = src.At(x - 2, y - 1);
    return s == key ? uint16_t{0x1111} : s;
  });
  Fill(dst, 0x1111);
  before = Pixels(dst);
  ASSERT_EQ(CopyClipped(dst, -4, 3, 30, 30, src, 1, 1, 3, 4, 5, 100), 1);
  ExpectOnly(dst, before, 3, 4, 5, 12, [&](int x, int y) { return src.At(x + 5, y - 2); });
  EXPECT_EQ(CopyClipped(dst, 0, 0, 10, 10, src, 0, 0, 16, 0, 5, 5), 0);
  EXPECT_EQ(CopyClipped(dst, 0, 0, 10, 10, src, 0, 0, 10, 0, 5, 5 - 5), 0);
  EXPECT_EQ(CopyClipped(dst, 0, 0, 4, 4, src, 0, 0, 8, 8, 5, 5), 0);  // clip misses the copy
}

TEST_F(BlitTest, BlendWeightsAndTheirLimits) {
  Image src, dst;
  src.Create(8, 1);
  dst.Create(8, 1);
  Fill(src, 0x7FFF);
  src.At(7, 0) = ColourToPixel(kMagenta);
  auto reset = [&] { Fill(dst, 0x0000); };
  reset();
  ASSERT_EQ(BlendKeyed(dst, 0, 0, 8, 1, src, 0, 0, kMagenta, 16), 1);
  EXPECT_EQ(dst.At(0, 0), 0x3DEF);
  EXPECT_EQ(dst.At(7, 0), 0x0000);  // key
  reset();
  BlendKeyed(dst, 0, 0, 8, 1, src, 0, 0, kMagenta, 0);
  EXPECT_EQ(dst.At(3, 0), 0x7FFF);
  for (int k : {32, 40, -1, 65535}) {
    reset();
    BlendKeyed(dst, 0, 0, 8, 1, src, 0, 0, kMagenta, k);
    EXPECT_EQ(dst.At(3, 0), 0x0000) << k;
  }
  reset();
  BlendKeyed(dst, 0, 0, 8, 1, src, 0, 0, kMagenta, 65536 + 8);  // read as 8
  EXPECT_EQ(dst.At(3, 0), Pack(23, 23, 23));                    // 31 * 24 / 32
  // A general weight, channel by channel.
  Fill(src, Pack(31, 10, 3));
  Fill(dst, Pack(2, 20, 31));
  BlendKeyed(dst, 0, 0, 8, 1, src, 0, 0, kMagenta, 7);
  EXPECT_EQ(dst.At(0, 0),
            Pack((31 * 25 + 2 * 7) >> 5, (10 * 25 + 20 * 7) >> 5, (3 * 25 + 31 * 7) >> 5));
}

TEST_F(BlitTest, ChannelArithmeticSaturatesPerChannel) {
  Image im, src;
  Pattern(im, 30, 20);
  BrightenRect(im, 0, 0, 30, 20, 0xFFFFFF);
  for (uint16_t p : Pixels(im)) ASSERT_EQ(p, 0x7FFF);
  DarkenRect(im, 0, 0, 30, 20, 0xFFFFFF);
  for (uint16_t p : Pixels(im)) ASSERT_EQ(p, 0);

  Fill(im, Pack(20, 5, 31));
  auto before = Pixels(im);
  // Colour red 0x50 = 10, green 0x30 = 6, blue 0x08 = 1; clipped at the top left.
  ASSERT_EQ(DarkenRect(im, -5, -5, 10, 10, 0x083050), 1);
  ExpectOnly(im, before, 0, 0, 5, 5, [](int, int) { return Pack(10, 0, 30); });
  before = Pixels(im);
  ASSERT_EQ(BrightenRect(im, 25, 15, 10, 10, 0x083050), 1);
  ExpectOnly(im, before, 25, 15, 5, 5, [](int, int) { return Pack(30, 11, 31); });
  EXPECT_EQ(BrightenRect(im, 30, 0, 5, 5, 0xFFFFFF), 0);
  EXPECT_EQ(DarkenRect(im, 0, -5, 5, 5, 0xFFFFFF), 0);
  before = Pixels(im);
  ASSERT_EQ(FillImageRect(im, 28, -2, 5, 4, 0xFF00FF), 1);
  ExpectOnly(im, before, 28, 0, 2, 2, [](int, int) { return uint16_t{0x7C1F}; });

  Pattern(src, 30, 20);
  Pattern(im, 30, 20, 1234);
  before = Pixels(im);
  ASSERT_EQ(SubtractCopy(im, 3, 2, 10, 10, src, 0, 0), 1);
  ExpectOnly(im, before, 3, 2, 10, 10, [&](int x, int y) {
    return RefSub(before[static_cast<size_t>(y) * 30 + x], src.At(x - 3, y - 2));
  });
}

TEST_F(BlitTest, GreyAndMirroredCopies) {
  Image src, dst;
  src.Create(4, 1);
  src.At(0, 0) = Pack(31, 0, 0);
  src.At(1, 0) = Pack(0, 31, 0);
  src.At(2, 0) = Pack(0, 0, 31);
  src.At(3, 0) = ColourToPixel(kMagenta);
  dst.Create(4, 1);
  Fill(dst, 0x1234);
  ASSERT_EQ(GreyCopyClippedKeyed(dst, 0, 0, 4, 1, src, 0, 0, 0, 0, 4, 1, kMagenta), 1);
  EXPECT_EQ(dst.At(0, 0), Pack(9, 9, 9));     // 31 * 30 / 100
  EXPECT_EQ(dst.At(1, 0), Pack(18, 18, 18));  // 31 * 59 / 100
  EXPECT_EQ(dst.At(2, 0), Pack(3, 3, 3));     // 31 * 11 / 100
  EXPECT_EQ(dst.At(3, 0), 0x1234);

  Pattern(src, 10, 3);
  dst.Create(8, 3);
  Fill(dst, 0);
  // Clipped like Copy (source span 3..6), then written reversed.
  ASSERT_EQ(CopyMirrored(dst, -2, 0, 6, 1, src, 1, 0), 1);
  EXPECT_EQ(dst.At(0, 0), src.At(6, 0));
  EXPECT_EQ(dst.At(1, 0), src.At(5, 0));
  EXPECT_EQ(dst.At(3, 0), src.At(3, 0));
  EXPECT_EQ(dst.At(4, 0), 0);
  EXPECT_EQ(dst.At(0, 1), 0);
}

// Destination i of n columns shows source column round(i (m - 1) / (n - 1)),
// halves rounded up: the closed form of the walk.
int Walk(int i, int n, int m) { return (2 * i * (m - 1) + n - 1) / (2 * (n - 1)); }

TEST_F(BlitTest, StretchWalksKeepBothEndsAndRefuseBelowTwo) {
  Image src, dst;
  Pattern(src, 12, 9);
  for (const auto& size : {std::array{5, 4, 2, 2}, std::array{2, 2, 5, 7}, std::array{17, 3, 11, 9},
                           std::array{7, 9, 7, 9}, std::array{30, 20, 3, 4}}) {
    const int dw = size[0], dh = size[1], sw = size[2], sh = size[3];
    dst.Create(40, 30);
    Fill(dst, 0x7FFF);
    const auto before = Pixels(dst);
    SCOPED_TRACE(testing::Message() << dw << "x" << dh << " from " << sw << "x" << sh);
    ASSERT_EQ(StretchCopy(dst, 3, 2, dw, dh, src, 1, 0, sw, sh), 1);
    ExpectOnly(dst, before, 3, 2, dw, dh,
               [&](int x, int y) { return src.At(1 + Walk(x - 3, dw, sw), Walk(y - 2, dh, sh)); });
  }
  dst.Create(20, 20);
  Fill(dst, 0x7FFF);
  auto before = Pixels(dst);
  EXPECT_EQ(StretchCopy(dst, 0, 0, 1, 10, src, 0, 0, 5, 5), 0);
  EXPECT_EQ(StretchCopy(dst, 0, 0, 10, 1, src, 0, 0, 5, 5), 0);
  EXPECT_EQ(StretchCopy(dst, 0, 0, 10, 10, src, 0, 0, 1, 5), 0);
  EXPECT_EQ(StretchCopy(dst, 0, 0, 10, 10, src, 12, 0, 5, 5), 0);
  EXPECT_EQ(StretchCopy(dst, 0, 0, 10, 10, src, 0, 0, 0, 5), 0);
  EXPECT_EQ(StretchCopy(dst, 0, 0, -10, 10, src, 0, 0, 5, 5), 0);
  EXPECT_EQ(StretchCopy(dst, 19, 0, 10, 10, src, 0, 0, 5, 5), 0);  // one column left
  EXPECT_EQ(StretchCopy(dst, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, src, INT32_MIN, INT32_MIN,
                        INT32_MAX, INT32_MAX),
            0);
  EXPECT_EQ(Pixels(dst), before);

  // A destination hanging off the left: 20 columns onto 10 become 16 onto 8
  // starting at source column 2.
  Pattern(src, 10, 10);
  ASSERT_EQ(StretchCopy(dst, -4, 0, 20, 20, src, 0, 0, 10, 10), 1);
  ExpectOnly(dst, before, 0, 0, 16, 20,
             [&](int x, int y) { return src.At(2 + Walk(x, 16, 8), Walk(y, 20, 10)); });
  // A source hanging off the top: 10 rows of which 4 lie above, onto 20:
  // the destination moves down by 4 * 20 / 10 and keeps 20 * 6 / 10 rows.
  Fill(dst, 0x7FFF);
  ASSERT_EQ(StretchCopy(dst, 0, 0, 20, 20, src, 0, -4, 10, 10), 1);
  ExpectOnly(dst, before, 0, 8, 20, 12,
             [&](int x, int y) { return src.At(Walk(x, 20, 10), Walk(y - 8, 12, 6)); });
  // The keyed stretch leaves keyed source pixels out.
  Fill(dst, 0x7FFF);
  src.At(0, 0) = ColourToPixel(kMagenta);
  ASSERT_EQ(StretchCopyKeyed(dst, 0, 0, 20, 20, src, 0, 0, 10, 10, kMagenta), 1);
  ExpectOnly(dst, before, 0, 0, 20, 20, [&](int x, int y) {
    const int sx = Walk(x, 20, 10), sy = Walk(y, 20, 10);
    return sx == 0 && sy == 0 ? uint16_t{0x7FFF} : src.At(sx, sy);
  });
}

TEST_F(BlitTest, MosaicCellsTakeTheirTopLeftPixel) {
  Image src, dst;
  Pattern(src, 20, 20);
  dst.Create(20, 20);
  Fill(dst, 0x7FFF);
  const auto before = Pixels(dst);
  // 10 x 7 with n = 3: 3 cells across (columns 0-2, 3-5, 6-9), 2 down (rows 0-2, 3-6).
  ASSERT_EQ(Mosaic(dst, 2, 1, 10, 7, src, 4, 5, 3), 1);
  ExpectOnly(dst, before, 2, 1, 10, 7, [&](int x, int y) {
    const int cx = x - 2 < 3 ? 0 : x - 2 < 6 ? 3 : 6;
    const int cy = y - 1 < 3 ? 0 : 3;
    return src.At(4 + cx, 5 + cy);
  });
  Fill(dst, 0x7FFF);
  EXPECT_EQ(Mosaic(dst, 0, 0, 10, 2, src, 0, 0, 3), 0);  // no full cell row
  EXPECT_EQ(Mosaic(dst, 0, 0, 2, 10, src, 0, 0, 3), 0);  // no full cell column
  EXPECT_EQ(Mosaic(dst, 0, 0, 10, 10, src, 0, 0, 0), 0);
  EXPECT_EQ(Mosaic(dst, 0, 0, 10, 10, src, 0, 0, -2), 0);
  EXPECT_EQ(Pixels(dst), before);
  ASSERT_EQ(Mosaic(dst, 0, 0, 20, 20, src, 0, 0, 1), 1);  // cells of one pixel: a copy
  EXPECT_EQ(Pixels(dst), Pixels(src));

  // Every cell size on a wide page, against the cell formula itself.
  Pattern(src, 200, 60);
  dst.Create(200, 60);
  for (int n = 1; n <= 41; ++n) {
    for (const auto& size : {std::pair{160, 40}, std::pair{197, 53}}) {
      const int w = size.first, h = size.second;
      Fill(dst, 0x7FFF);
      const auto blank = Pixels(dst);
      ASSERT_EQ(Mosaic(dst, 1, 2, w, h, src, 3, 4, n), w / n >= 1 && h / n >= 1 ? 1 : 0);
      if (w / n < 1 || h / n < 1) continue;
      const int cx = w / n, cy = h / n;
      auto start = [](int v, int len, int cells) {
        int i = 0;
        while ((i + 1) * len / cells <= v) ++i;
        return i * len / cells;
      };
      SCOPED_TRACE(testing::Message() << "n " << n << " w " << w);
      ExpectOnly(dst, blank, 1, 2, w, h, [&](int x, int y) {
        return src.At(3 + start(x - 1, w, cx), 4 + start(y - 2, h, cy));
      });
    }
  }
}

TEST_F(BlitTest, NumberFontAlignsAndSigns) {
  NumberFont font;
  font.strip.Create(120, 5);
  for (int x = 0; x < 120; ++x)
    for (int y = 0; y < 5; ++y)
      font.strip.At(x, y) =
          x % 10 == 9 ? ColourToPixel(kMagenta) : static_cast<uint16_t>(x / 10 + 1);
  font.glyphWidth = 10;
  Image dst;
  dst.Create(200, 10);
  auto glyphAt = [&](int x) { return dst.At(x, 2) == 0 ? -1 : dst.At(x, 2) - 1; };
  auto draw = [&](int x, int value, int sign, int align) {
    Fill(dst, 0);
    font.Draw(dst, x, 2, value, sign, align);
  };
  draw(100, -25, 1, 2);  // right-aligned: "-25" over 71..100
  EXPECT_EQ(glyphAt(70), -1);
  EXPECT_EQ(glyphAt(71), 11);
  EXPECT_EQ(glyphAt(80), -1);  // keyed column of the glyph
  EXPECT_EQ(glyphAt(81), 2);
  EXPECT_EQ(glyphAt(91), 5);
  EXPECT_EQ(glyphAt(99), 5);
  EXPECT_EQ(glyphAt(101), -1);
  EXPECT_EQ(dst.At(71, 1), 0);
  EXPECT_EQ(dst.At(71, 6), 12);
  EXPECT_EQ(dst.At(71, 7), 0);
  draw(100, -25, 0, 2);  // no sign without sign mode 1
  EXPECT_EQ(glyphAt(81), 2);
  EXPECT_EQ(glyphAt(71), -1);
  draw(100, 7, 1, 1);  // centred: 2 glyphs, left = 100 - 19 / 2
  EXPECT_EQ(glyphAt(90), -1);
  EXPECT_EQ(glyphAt(91), 10);
  EXPECT_EQ(glyphAt(101), 7);
  draw(5, 0, 0, 0);  // left-aligned
  EXPECT_EQ(glyphAt(5), 0);
  EXPECT_EQ(glyphAt(4), -1);
  draw(199, INT32_MIN, 1, 2);  // 11 glyphs, the magnitude included
  EXPECT_EQ(glyphAt(89), -1);
  EXPECT_EQ(glyphAt(90), 11);
  EXPECT_EQ(glyphAt(100), 2);
  EXPECT_EQ(glyphAt(190), 8);
  draw(-15, 123, 0, 0);  // partly off the image
  EXPECT_EQ(glyphAt(0), 2);
  EXPECT_EQ(glyphAt(4), -1);
  EXPECT_EQ(glyphAt(5), 3);
  EXPECT_EQ(glyphAt(15), -1);
  NumberFont empty;
  draw(50, 12, 1, 0);
  empty.Draw(dst, 50, 2, 12, 1, 0);  // never loaded: draws nothing
}

}  // namespace
