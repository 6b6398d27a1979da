#include "graphics/blit.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <vector>

#include "graphics/blit_rows.h"
#include "graphics/number_font.h"
#include "support/gfx_pixels.h"

namespace {

using namespace gfx_test;

// The pixel rules channel by channel, written plainly.
uint16_t Sat(uint16_t d, uint16_t s, int sign) {
  auto c = [&](int i) { return std::clamp(Ch(d, i) + sign * Ch(s, i), 0, 31); };
  return Pack(c(2), c(1), c(0));
}
uint16_t RefBlend(uint16_t s, uint16_t d, int k) {
  if (k == 16) return static_cast<uint16_t>((((s ^ d) >> 1) & 0x3DEF) + (s & d));
  auto mix = [&](int c) { return (Ch(s, c) * (32 - k) + Ch(d, c) * k) >> 5; };
  return Pack(mix(2), mix(1), mix(0));
}
uint16_t RefGrey(uint16_t s) {
  const int v = (Ch(s, 1) * 59 + Ch(s, 2) * 30 + Ch(s, 0) * 11) / 100;
  return Pack(v, v, v);
}
constexpr uint16_t kKey = 0x7C00, kMagentaPixel = 0x7C1F;  // red and magenta as pixels

uint32_t g_seed = 12345;
uint16_t Rand15() {
  g_seed = g_seed * 1103515245u + 12345u;
  return static_cast<uint16_t>(g_seed >> 12) & 0x7FFF;
}

// One shape for every row kernel: (destination, source, length, key, colour),
// and the rule each follows for (source, destination, colour, key).
using Kernel = void (*)(uint16_t*, const uint16_t*, int32_t, uint16_t, uint16_t);
using Rule = uint16_t (*)(uint16_t s, uint16_t d, uint16_t c, uint16_t key);
template <void (*F)(uint16_t*, const uint16_t*, int32_t, uint16_t)>
void Keyed(uint16_t* d, const uint16_t* s, int32_t n, uint16_t key, uint16_t) {
  F(d, s, n, key);
}
template <void (*F)(uint16_t*, const uint16_t*, int32_t)>
void FromSource(uint16_t* d, const uint16_t* s, int32_t n, uint16_t, uint16_t) {
  F(d, s, n);
}
template <void (*F)(uint16_t*, int32_t, uint16_t)>
void WithColour(uint16_t* d, const uint16_t*, int32_t n, uint16_t, uint16_t c) {
  F(d, n, c);
}
uint16_t CopyRule(uint16_t s, uint16_t d, uint16_t, uint16_t key) { return s == key ? d : s; }
uint16_t SubRule(uint16_t s, uint16_t d, uint16_t, uint16_t) { return Sat(d, s, -1); }
uint16_t DarkRule(uint16_t, uint16_t d, uint16_t c, uint16_t) { return Sat(d, c, -1); }
uint16_t BrightRule(uint16_t, uint16_t d, uint16_t c, uint16_t) { return Sat(d, c, 1); }
uint16_t FillRule(uint16_t, uint16_t, uint16_t c, uint16_t) { return c; }

// The vector kernels and their portable twins, on rows of every length and
// alignment, against the plain rules.
TEST(BlitRows, FastAndPortableKernelsFollowThePixelRules) {
  const struct {
    Kernel fast, portable;
    Rule rule;
  } kernels[] = {{Keyed<rows::CopyKeyed>, Keyed<rows::CopyKeyedPortable>, CopyRule},
                 {FromSource<rows::Subtract>, FromSource<rows::SubtractPortable>, SubRule},
                 {WithColour<rows::Darken>, WithColour<rows::DarkenPortable>, DarkRule},
                 {WithColour<rows::Brighten>, WithColour<rows::BrightenPortable>, BrightRule},
                 {WithColour<rows::Fill>, WithColour<rows::FillPortable>, FillRule}};
  for (int n = 0; n < 40; ++n)
    for (int offset = 0; offset < 4; ++offset) {
      std::vector<uint16_t> s(n + 4), d(n + 4), out;
      const uint16_t key = Rand15(), c = Rand15();
      for (int i = 0; i < n + 4; ++i) {
        s[i] = Rand15() % 4 == 0 ? key : Rand15();
        d[i] = Rand15();
      }
      auto expect = [&](auto want) {
        for (int i = 0; i < n + 4; ++i)
          ASSERT_EQ(out[i], i >= offset && i < offset + n ? want(i) : d[i]) << n << " at " << i;
      };
      for (const auto& k : kernels)
        for (Kernel kernel : {k.fast, k.portable}) {
          out = d;
          kernel(out.data() + offset, s.data() + offset, n, key, c);
          expect([&](int i) { return k.rule(s[i], d[i], c, key); });
        }
      for (uint32_t k = 0; k <= 32; ++k)
        for (auto kernel :
             {rows::BlendKeyed, rows::BlendKeyed8, rows::BlendKeyed16, rows::BlendKeyedPortable}) {
          out = d;
          kernel(out.data() + offset, s.data() + offset, n, key, k);
          expect([&](int i) { return s[i] == key ? d[i] : RefBlend(s[i], d[i], int(k)); });
        }
      for (int cell : {2, 4})
        for (auto kernel : {rows::RepeatCells, rows::RepeatCellsPortable}) {
          out = d;
          kernel(out.data() + offset, s.data() + offset, n, cell);
          expect([&](int i) { return s[i - (i - offset) % cell]; });
        }
    }
}

// Every two-image mode by number: its pixel rule, its key, and whether it
// may work inside one image. A blend weight above 32 or of -1 counts as 32,
// and only its low 16 bits count. The key is given as a Windows colour (red
// in the low byte): red here.
enum ModeId { kCopy, kClip, kKeyed, kClipKey, kB7, kB16, kB40, kBNeg, kBHi, kSub, kGrey, kMirror };
constexpr ModeId kModes[] = {kCopy, kClip, kKeyed, kClipKey, kB7,   kB16,
                             kB40,  kBNeg, kBHi,   kSub,     kGrey, kMirror};
constexpr uint32_t kRed = 0x0000FF;
// The clipped modes take the clip rectangle given, by default one larger than
// any image here, which they first cut to the image.
int Draw(ModeId m, Image& d, int dx, int dy, int w, int h, const Image& s, int sx, int sy,
         int cx = -3, int cy = -3, int cw = 999, int ch = 999) {
  const int weight[] = {7, 16, 40, -1, 65536 + 8};
  return m == kCopy      ? Copy(d, dx, dy, w, h, s, sx, sy)
         : m == kClip    ? CopyClipped(d, dx, dy, w, h, s, sx, sy, cx, cy, cw, ch)
         : m == kKeyed   ? CopyKeyed(d, dx, dy, w, h, s, sx, sy, kRed)
         : m == kClipKey ? CopyClippedKeyed(d, dx, dy, w, h, s, sx, sy, cx, cy, cw, ch, kRed)
         : m <= kBHi     ? BlendKeyed(d, dx, dy, w, h, s, sx, sy, kRed, weight[m - kB7])
         : m == kSub     ? SubtractCopy(d, dx, dy, w, h, s, sx, sy)
         : m == kGrey    ? GreyCopyClippedKeyed(d, dx, dy, w, h, s, sx, sy, cx, cy, cw, ch, kRed)
                         : CopyMirrored(d, dx, dy, w, h, s, sx, sy);
}
uint16_t ModeRule(ModeId m, uint16_t s, uint16_t d) {
  const int weight[] = {7, 16, 32, 32, 8};
  if (m >= kKeyed && m != kSub && m != kMirror && s == kKey) return d;
  return m >= kB7 && m <= kBHi ? RefBlend(s, d, weight[m - kB7])
         : m == kSub           ? Sat(d, s, -1)
         : m == kGrey          ? RefGrey(s)
                               : s;
}

// A source of 10 x 8 with key pixels on a diagonal; a destination of 12 x 9.
// Clipping cuts against the source first, then the destination. Each row:
// the call, where the drawing lands (width 0: refused), source = destination
// + offset.
TEST(BlitModes, EveryModeClipsKeysAndBlendsByOneRectangleTable) {
  const struct {
    int dx, dy, w, h, sx, sy, rx = 0, ry = 0, rw = 0, rh = 0, ox = 0, oy = 0;
  } rects[] = {{1, 1, 5, 4, 2, 3, 1, 1, 5, 4, 1, 2},
               {-2, 3, 6, 10, -1, -2, 0, 5, 4, 4, 1, -5},  // source cut moves the destination
               {0, 0, 50, 50, 7, 6, 0, 0, 3, 2, 7, 6},
               {9, 7, 10, 10, 0, 0, 9, 7, 3, 2, -9, -7},
               {0, 0, 5, 5, 10, 0},  // sx at the source's width
               {12, 0, 5, 5, 0, 0},  // dx at the destination's width
               {0, 0, 5, 5, -5, 0},  // nothing left after the cut
               {-3, 0, 3, 5, 0, 0},
               {0, 0, 0, 5, 0, 0},
               {0, 0, 5, -1, 0, 0},
               {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MAX, 0},
               {INT32_MAX, 0, INT32_MAX, 5, INT32_MIN, 0}};
  Image src, dst;
  Pattern(src, 10, 8, 300);
  for (int i = 0; i < 8; ++i) src.At(i, i) = kKey;
  for (ModeId m : kModes)
    for (const auto& r : rects) {
      Pattern(dst, 12, 9, 5000);
      const auto before = Pixels(dst);
      SCOPED_TRACE(testing::Message() << "mode " << m << " at " << r.dx << "," << r.dy << " from "
                                      << r.sx << "," << r.sy);
      ASSERT_EQ(Draw(m, dst, r.dx, r.dy, r.w, r.h, src, r.sx, r.sy), r.rw ? 1 : 0);
      EXPECT_TRUE(Only(dst, before, r.rx, r.ry, r.rw, r.rh, [&](int x, int y) {
        const int sx = m == kMirror ? r.rx + r.ox + (r.rx + r.rw - 1 - x) : x + r.ox;
        return ModeRule(m, src.At(sx, y + r.oy), before[static_cast<size_t>(y) * 12 + x]);
      }));
    }
}

// The one-image operations clip against the image and take Windows colours
// (red in the low byte); the clipped modes first cut their clip rectangle to
// the image, then draw only inside it (the last clip misses the drawing).
TEST(BlitModes, FillsAndClippedModesStayInsideTheirRectangles) {
  const uint16_t base = Pack(20, 5, 31);
  const uint16_t want[] = {Pack(10, 6, 1), Pack(10, 0, 30), Pack(30, 11, 31)};
  const struct {
    int x, y, w, h, rx = 0, ry = 0, rw = 0, rh = 0;
  } rects[] = {{-5, -5, 10, 10, 0, 0, 5, 5},
               {25, 15, 10, 10, 25, 15, 5, 5},
               {28, -2, 5, 4, 28, 0, 2, 2},
               {30, 0, 5, 5},
               {0, -5, 5, 5},
               {0, 0, 0, 3}};
  for (int op = 0; op < 3; ++op)
    for (const auto& r : rects) {
      Image im;
      im.Create(30, 20);
      Fill(im, base);
      const auto before = Pixels(im);
      const int got = op == 0   ? FillImageRect(im, r.x, r.y, r.w, r.h, 0x083050)
                      : op == 1 ? DarkenRect(im, r.x, r.y, r.w, r.h, 0x083050)
                                : BrightenRect(im, r.x, r.y, r.w, r.h, 0x083050);
      ASSERT_EQ(got, r.rw ? 1 : 0) << op;
      EXPECT_TRUE(Only(im, before, r.rx, r.ry, r.rw, r.rh, [&](int, int) { return want[op]; }))
          << op;
    }
  const struct {
    int dx, dy, w, h, sx, sy, cx, cy, cw, ch, rx = 0, ry = 0, rw = 0, rh = 0;
  } cases[] = {{2, 1, 10, 10, 0, 0, -5, -5, 10, 12, 2, 1, 3, 6},
               {-4, 3, 30, 30, 1, 1, 3, 4, 5, 100, 3, 4, 5, 12},
               {0, 0, 10, 10, 0, 0, 16, 0, 5, 5},
               {0, 0, 10, 10, 0, 0, 10, 0, 5, 0},
               {0, 0, 4, 4, 0, 0, 8, 8, 5, 5}};
  Image src, dst;
  Pattern(src, 20, 20);
  for (const auto& c : cases)
    for (ModeId m : {kClip, kClipKey, kGrey}) {
      Pattern(dst, 16, 16, 9000);
      const auto before = Pixels(dst);
      ASSERT_EQ(Draw(m, dst, c.dx, c.dy, c.w, c.h, src, c.sx, c.sy, c.cx, c.cy, c.cw, c.ch),
                c.rw ? 1 : 0)
          << m;
      EXPECT_TRUE(Only(dst, before, c.rx, c.ry, c.rw, c.rh, [&](int x, int y) {
        return ModeRule(m, src.At(x - c.dx + c.sx, y - c.dy + c.sy), 0);
      })) << m;
    }
}

// Inside one image: Copy moves overlapping rectangles as through a buffer;
// the other modes refuse overlapping rectangles (judged before clipping)
// and draw side-by-side ones.
TEST(BlitModes, OverlapInOneImageIsCopiedCorrectlyOrRefused) {
  const int moves[][2] = {{0, 10}, {0, -10}, {7, 0}, {-7, 0}, {5, 6}, {-5, -6}, {3, -4}, {0, 0}};
  for (const auto& mv : moves)
    for (ModeId m : {kCopy, kClip}) {
      Image im, want, buffer;
      Pattern(im, 130, 90);
      Pattern(want, 130, 90);
      buffer.Create(100, 50);
      Copy(buffer, 0, 0, 100, 50, want, 15, 20);
      Copy(want, 15 + mv[0], 20 + mv[1], 100, 50, buffer, 0, 0);
      EXPECT_EQ(Draw(m, im, 15 + mv[0], 20 + mv[1], 100, 50, im, 15, 20), 1);
      EXPECT_EQ(Pixels(im), Pixels(want)) << mv[0] << "," << mv[1];
    }
  Image im;
  Pattern(im, 60, 40);
  const auto before = Pixels(im);
  for (ModeId m : std::span(kModes).subspan(2))  // the second overlaps outside the image
    EXPECT_EQ(Draw(m, im, 10, 10, 20, 20, im, 15, 12) + Draw(m, im, -10, 0, 20, 10, im, -5, 0), 0)
        << m;
  EXPECT_EQ(Mosaic(im, 10, 10, 20, 20, im, 15, 12, 2), 0);
  EXPECT_EQ(Pixels(im), before);
  for (ModeId m : kModes)
    EXPECT_EQ(Draw(m, im, 0, 0, 20, 20, im, 20, 5) + Draw(m, im, 0, 0, 20, 20, im, 5, 20), 2) << m;
}

// Destination i of n columns shows source column round(i (m - 1) / (n - 1)),
// halves rounded up: the closed form of the walk that keeps both ends.
int Walk(int i, int n, int m) { return (2 * i * (m - 1) + n - 1) / (2 * (n - 1)); }

// Rows: the call, the painted area and the source rectangle it maps.
// 20 columns onto 10 hanging 4 off the left: 16 onto 8 from column 2; 4 of
// 10 source rows above the top: down by 4 * 20 / 10, 12 rows onto 6.
TEST(BlitModes, StretchKeepsBothEndsClipsByScaleAndRefusesBelowTwo) {
  const struct {
    int dx, dy, dw, dh, sx, sy, sw, sh;
    int rx = 0, ry = 0, rw = 0, rh = 0, ox = 0, oy = 0, mw = 0, mh = 0;
  } cases[] = {
      {3, 2, 5, 4, 1, 0, 2, 2, 3, 2, 5, 4, 1, 0, 2, 2},
      {3, 2, 2, 2, 1, 0, 5, 7, 3, 2, 2, 2, 1, 0, 5, 7},
      {3, 2, 17, 3, 1, 0, 11, 9, 3, 2, 17, 3, 1, 0, 11, 9},
      {-4, 0, 20, 20, 0, 0, 10, 10, 0, 0, 16, 20, 2, 0, 8, 10},
      {0, 0, 20, 20, 0, -4, 10, 10, 0, 8, 20, 12, 0, 0, 10, 6},
      {0, 0, 1, 10, 0, 0, 5, 5},
      {0, 0, 10, 10, 0, 0, 1, 5},
      {0, 0, 10, 10, 12, 0, 5, 5},
      {0, 0, -10, 10, 0, 0, 5, 5},
      {39, 0, 10, 10, 0, 0, 5, 5},  // one column left
      {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}};
  Image src, dst;
  Pattern(src, 12, 10);
  src.At(1, 0) = kKey;
  for (const auto& c : cases)
    for (int keyed = 0; keyed < 2; ++keyed) {
      dst.Create(40, 30);
      Fill(dst, 0x7FFF);
      const auto before = Pixels(dst);
      SCOPED_TRACE(testing::Message() << c.dw << "x" << c.dh << " from " << c.sw << "x" << c.sh);
      ASSERT_EQ(
          keyed ? StretchCopyKeyed(dst, c.dx, c.dy, c.dw, c.dh, src, c.sx, c.sy, c.sw, c.sh, kRed)
                : StretchCopy(dst, c.dx, c.dy, c.dw, c.dh, src, c.sx, c.sy, c.sw, c.sh),
          c.rw ? 1 : 0);
      EXPECT_TRUE(Only(dst, before, c.rx, c.ry, c.rw, c.rh, [&](int x, int y) {
        const uint16_t s =
            src.At(c.ox + Walk(x - c.rx, c.rw, c.mw), c.oy + Walk(y - c.ry, c.rh, c.mh));
        return keyed && s == kKey ? uint16_t{0x7FFF} : s;
      }));
    }
}

// Cell i of c spans i * len / c up to the next cell's start, and shows its
// top-left pixel.
TEST(BlitModes, MosaicCellsTakeTheirTopLeftPixel) {
  Image src, dst;
  Pattern(src, 200, 60);
  dst.Create(200, 60);
  auto start = [](int v, int len, int cells) {
    int i = 0;
    while ((i + 1) * len / cells <= v) ++i;
    return i * len / cells;
  };
  for (int n = -1; n <= 41; ++n)
    for (const auto& [cw, ch] : {std::pair{10, 7}, std::pair{160, 40}, std::pair{197, 53}}) {
      const int w = cw, h = ch;  // a lambda may not capture a structured binding
      const bool drawn = n >= 1 && w / n >= 1 && h / n >= 1;
      Fill(dst, 0x7FFF);
      const auto blank = Pixels(dst);
      ASSERT_EQ(Mosaic(dst, 1, 2, w, h, src, 3, 4, n), drawn ? 1 : 0) << n;
      if (!drawn) continue;
      EXPECT_TRUE(Only(dst, blank, 1, 2, w, h,
                       [&](int x, int y) {
                         return src.At(3 + start(x - 1, w, w / n), 4 + start(y - 2, h, h / n));
                       }))
          << "n " << n << " w " << w;
    }
}

// Glyph g of the strip is 10 columns of value g + 1 with a magenta tenth.
// Right-aligned, the last pixel is on x; centred, the left is x - (span - 1)
// / 2; the sign shows only in sign mode 1; a font never loaded draws nothing.
TEST(BlitModes, NumberFontSignsAndAligns) {
  NumberFont font, empty;
  font.strip.Create(120, 5);
  for (int x = 0; x < 120; ++x)
    for (int y = 0; y < 5; ++y)
      font.strip.At(x, y) = x % 10 == 9 ? kMagentaPixel : static_cast<uint16_t>(x / 10 + 1);
  font.glyphWidth = 10;
  const struct {
    int x, value, sign, align, left;
    std::vector<int> slots;
  } cases[] = {{100, -25, 1, 2, 71, {11, 2, 5}},
               {100, -25, 0, 2, 81, {2, 5}},
               {100, 7, 1, 1, 91, {10, 7}},
               {100, 345, 0, 1, 86, {3, 4, 5}},
               {5, 0, 0, 0, 5, {0}},
               {199, INT32_MIN, 1, 2, 90, {11, 2, 1, 4, 7, 4, 8, 3, 6, 4, 8}},
               {-15, 123, 0, 0, -15, {1, 2, 3}}};
  Image dst;
  dst.Create(200, 10);
  const std::vector<uint16_t> blank(2000, 0);
  for (const auto& c : cases) {
    Fill(dst, 0);
    font.Draw(dst, c.x, 2, c.value, c.sign, c.align);
    const int left = std::max(c.left, 0), right = c.left + 10 * static_cast<int>(c.slots.size());
    EXPECT_TRUE(Only(dst, blank, left, 2, right - left, 5,
                     [&](int x, int) {
                       const int i = (x - c.left) / 10;
                       return (x - c.left) % 10 == 9 ? uint16_t{0}
                                                     : static_cast<uint16_t>(c.slots[i] + 1);
                     }))
        << c.value << " align " << c.align;
  }
  Fill(dst, 0);
  empty.Draw(dst, 50, 2, 12, 1, 0);
  EXPECT_EQ(Pixels(dst), blank);
}

}  // namespace
