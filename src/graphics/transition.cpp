#include "graphics/transition.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/platform.h"

namespace {

constexpr int32_t kW = 640, kH = 480;

// Which pixel (x mod 4, y mod 4) each step of the 4 x 4 dissolve adds.
constexpr uint8_t kDissolveOrder[16][2] = {{0, 3}, {2, 1}, {2, 3}, {0, 1}, {1, 2}, {3, 0},
                                           {3, 2}, {1, 0}, {1, 3}, {3, 1}, {3, 3}, {1, 1},
                                           {0, 2}, {2, 0}, {2, 2}, {0, 0}};
// The same for each level of the strips and blocks.
constexpr uint8_t kDissolveLevel[16][2] = {{3, 3}, {1, 1}, {3, 1}, {1, 3}, {2, 2}, {0, 0},
                                           {2, 0}, {0, 2}, {3, 2}, {1, 0}, {3, 0}, {1, 2},
                                           {2, 3}, {0, 1}, {2, 1}, {0, 3}};

void Rect(Image& dst, const Image& src, int64_t x, int64_t y, int64_t w, int64_t h) {
  // Cut to the transition area; what is left is copied and invalidated.
  if (x < 0) {
    w += x;
    x = 0;
  }
  if (y < 0) {
    h += y;
    y = 0;
  }
  if (x + w > kW) w = kW - x;
  if (y + h > kH) h = kH - y;
  if (w < 1 || h < 1) return;
  if (w == kW && dst.width == kW && src.width == kW && dst.stride == src.stride) {
    // Whole rows lie back to back: one copy from the bottom row up.
    const size_t bytes = size_t(h - 1) * size_t(dst.stride) + size_t(w) * 2;
    std::memcpy(dst.Row(int32_t(y + h - 1)), src.Row(int32_t(y + h - 1)), bytes);
  } else {
    for (int64_t r = y; r < y + h; ++r) {
      std::memcpy(dst.Row(int32_t(r)) + x, src.Row(int32_t(r)) + x, size_t(w) * 2);
    }
  }
  InvalidateArea(int(x), int(y), int(w), int(h));
}

// Every pixel (px, py) of the box with px mod 4 = mx and py mod 4 = my (the
// box's left edge is a multiple of 4).
void Lattice(Image& dst, const Image& src, int32_t x0, int32_t y0, int32_t w, int32_t h, int32_t mx,
             int32_t my) {
  for (int32_t y = y0 + my; y < y0 + h; y += 4) {
    uint16_t* d = dst.Row(y);
    const uint16_t* s = src.Row(y);
    for (int32_t x = x0 + mx; x < x0 + w; x += 4) d[x] = s[x];
  }
}

void Blinds(Image& dst, const Image& src, int32_t type, int32_t s) {
  switch (type) {
    case 1:
      for (int32_t k = 0; k < 40; ++k) Rect(dst, src, int64_t{s} - 1 + 16 * k, 0, 1, kH);
      break;
    case 2:
      for (int32_t k = 0; k < 30; ++k) Rect(dst, src, 0, int64_t{s} - 1 + 16 * k, kW, 1);
      break;
    case 3:
    case 4: {
      const int32_t blocks = type == 3 ? 40 : 30;
      for (int32_t k = 0; k < s && k < blocks; ++k) {
        const int32_t o = s - 1 - k;
        if (o > 16) continue;
        if (type == 3) {
          Rect(dst, src, 16 * k + o, 0, 1, kH);
        } else {
          Rect(dst, src, 0, 16 * k + o, kW, 1);
        }
      }
      break;
    }
    default:
      break;
  }
}

void Iris(Image& dst, const Image& src, int32_t s) {
  // Far past the last step the iris only grows; the cap keeps d * d in range.
  s = std::min(s, int32_t{1} << 20);
  const int64_t d = (int64_t{s} * 800) >> 6, r = (int64_t{s} * 800) >> 7;
  const int64_t top = std::max<int64_t>(240 - r, 0), bottom = std::min<int64_t>(240 + r, kH);
  for (int64_t y = top; y < bottom; ++y) {
    const int64_t q = d * d / 4 - (y - 240) * (y - 240);
    if (q <= 0) continue;
    // c = integer part of 2 * sqrt(q) = floor(sqrt(4q)), found exactly.
    int64_t c = static_cast<int64_t>(std::sqrt(static_cast<double>(4 * q)));
    while (c * c > 4 * q) --c;
    while ((c + 1) * (c + 1) <= 4 * q) ++c;
    int64_t x0 = 320 - (c >> 1), x1 = x0 + c;
    x0 = std::max<int64_t>(x0, 0);
    x1 = std::min<int64_t>(x1, kW);
    if (x1 <= x0) continue;
    std::memcpy(dst.Row(int32_t(y)) + x0, src.Row(int32_t(y)) + x0, size_t(x1 - x0) * 2);
  }
  InvalidateArea(static_cast<int>(320 - r), static_cast<int>(240 - r), static_cast<int>(d),
                 static_cast<int>(d));
}

void Strips(Image& dst, const Image& src, int32_t s) {
  for (int32_t k = 0; k < 40; ++k) {
    const int32_t level = s - 1 - k;
    if (level < 0 || level > 15) continue;
    Lattice(dst, src, 16 * k, 0, 16, kH, kDissolveLevel[level][0], kDissolveLevel[level][1]);
    InvalidateArea(16 * k, 0, 16, kH);
  }
}

void Blocks(Image& dst, const Image& src, int32_t s) {
  for (int32_t b = 0; b < 15; ++b) {
    for (int32_t k = 0; k < 20; ++k) {
      const int32_t level = s - 1 - k - b;
      if (level < 0 || level > 15) continue;
      Lattice(dst, src, 32 * k, 32 * b, 32, 32, kDissolveLevel[level][0], kDissolveLevel[level][1]);
      InvalidateArea(32 * k, 32 * b, 32, 32);
    }
  }
}

void Frame(Image& dst, const Image& src, int32_t s) {
  // Beyond the last step every band of the frame lies outside the area.
  if (s > 80) return;
  const int32_t l = 320 - 4 * s, t = 240 - 3 * s, ww = 8 * s, hh = 6 * s;
  Rect(dst, src, l, t, ww, 3);
  Rect(dst, src, l, t + hh - 3, ww, 3);
  Rect(dst, src, l, t + 3, 4, hh - 6);
  Rect(dst, src, l + ww - 4, t + 3, 4, hh - 6);
}

}  // namespace

int32_t TransitionLastStep(int32_t type) {
  static constexpr int32_t kLast[10] = {1, 16, 16, 55, 45, 16, 64, 55, 49, 80};
  return type >= 0 && type <= 9 ? kLast[type] : 0;
}

int Transition(Image& dst, const Image& src, int32_t type, int32_t step) {
  if (step < 1 || type < 0 || type > 9) return 1;
  if (!dst.pixels || !src.pixels || dst.width < kW || src.width < kW || dst.height < kH ||
      src.height < kH || &dst == &src) {
    return 1;
  }
  switch (type) {
    case 0:
      Rect(dst, src, 0, 0, kW, kH);
      break;
    case 1:
    case 2:
    case 3:
    case 4:
      Blinds(dst, src, type, step);
      break;
    case 5:
      if (step <= 16) {
        Lattice(dst, src, 0, 0, kW, kH, kDissolveOrder[step - 1][0], kDissolveOrder[step - 1][1]);
        InvalidateArea(0, 0, kW, kH);
      }
      break;
    case 6:
      Iris(dst, src, step);
      break;
    case 7:
      Strips(dst, src, step);
      break;
    case 8:
      Blocks(dst, src, step);
      break;
    case 9:
      Frame(dst, src, step);
      break;
    default:
      break;
  }
  plat::host().UpdateNow();
  return 1;
}
