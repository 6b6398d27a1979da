#include "graphics/blit.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "graphics/blit_rows.h"
#include "graphics/clip.h"

namespace {

// A rectangle that survived clipping: inside both images, at least 1 x 1.
struct Blit {
  int32_t dx, dy, w, h, sx, sy;
};

Blit Narrow(const clip::Span& x, const clip::Span& y) {
  return {static_cast<int32_t>(x.d), static_cast<int32_t>(y.d), static_cast<int32_t>(x.n),
          static_cast<int32_t>(y.n), static_cast<int32_t>(x.s), static_cast<int32_t>(y.s)};
}

// Source first, then the destination, horizontally and then vertically.
bool ClipTwo(const Image& dst, const Image& src, int64_t dx, int64_t dy, int64_t w, int64_t h,
             int64_t sx, int64_t sy, Blit& out) {
  if (!dst.pixels || !src.pixels) return false;
  clip::Span x{dx, sx, w}, y{dy, sy, h};
  if (!clip::AgainstSource(x, src.width) || !clip::AgainstDest(x, 0, dst.width)) return false;
  if (!clip::AgainstSource(y, src.height) || !clip::AgainstDest(y, 0, dst.height)) return false;
  out = Narrow(x, y);
  return true;
}

// As ClipTwo, but the destination edges are those of the clip rectangle, which
// is itself first cut to the destination image.
bool ClipTwoWindow(const Image& dst, const Image& src, int64_t dx, int64_t dy, int64_t w, int64_t h,
                   int64_t sx, int64_t sy, int64_t cx, int64_t cy, int64_t cw, int64_t ch,
                   Blit& out) {
  if (!dst.pixels || !src.pixels) return false;
  if (!clip::Window(cx, cw, dst.width) || !clip::Window(cy, ch, dst.height)) return false;
  clip::Span x{dx, sx, w}, y{dy, sy, h};
  if (!clip::AgainstSource(x, src.width) || !clip::AgainstDest(x, cx, cx + cw)) return false;
  if (!clip::AgainstSource(y, src.height) || !clip::AgainstDest(y, cy, cy + ch)) return false;
  out = Narrow(x, y);
  return true;
}

bool ClipOne(const Image& image, int64_t x, int64_t y, int64_t w, int64_t h, Blit& out) {
  if (!image.pixels) return false;
  clip::Span a{x, 0, w}, b{y, 0, h};
  if (!clip::AgainstDest(a, 0, image.width) || !clip::AgainstDest(b, 0, image.height)) return false;
  out = Narrow(a, b);
  return true;
}

bool SameImage(const Image& a, const Image& b) {
  return &a == &b || (a.pixels != nullptr && a.pixels == b.pixels);
}

// The refusal of the primitives that cannot work in place, judged on the
// requested rectangles before clipping.
bool Overlapping(const Image& dst, const Image& src, int64_t dx, int64_t dy, int64_t w, int64_t h,
                 int64_t sx, int64_t sy) {
  if (!SameImage(dst, src)) return false;
  const int64_t ax = sx > dx ? sx - dx : dx - sx;
  const int64_t ay = sy > dy ? sy - dy : dy - sy;
  return ax < w && ay < h;
}

uint16_t* DstRow(Image& im, int32_t y, int32_t x) { return im.Row(y) + x; }
const uint16_t* SrcRow(const Image& im, int32_t y, int32_t x) { return im.Row(y) + x; }

// Plain rows, correct when both rectangles lie in one image: the row order
// keeps unread source rows intact, memmove handles rows shared by both.
void CopyRows(Image& dst, const Image& src, const Blit& b) {
  const size_t bytes = static_cast<size_t>(b.w) * 2;
  const bool same = SameImage(dst, src);
  if (same && b.sx == b.dx && b.sy == b.dy) return;
  if (b.w == src.width && b.w == dst.width && src.stride == dst.stride) {
    // Whole rows lie back to back in memory: one move for the lot, from the
    // bottom row, which comes first.
    const size_t block = static_cast<size_t>(b.h - 1) * static_cast<size_t>(dst.stride) + bytes;
    std::memmove(DstRow(dst, b.dy + b.h - 1, 0), SrcRow(src, b.sy + b.h - 1, 0), block);
    return;
  }
  if (same) {
    if (b.sy < b.dy) {
      for (int32_t r = b.h - 1; r >= 0; --r)
        std::memmove(DstRow(dst, b.dy + r, b.dx), SrcRow(src, b.sy + r, b.sx), bytes);
    } else {
      for (int32_t r = 0; r < b.h; ++r)
        std::memmove(DstRow(dst, b.dy + r, b.dx), SrcRow(src, b.sy + r, b.sx), bytes);
    }
    return;
  }
  for (int32_t r = 0; r < b.h; ++r)
    std::memcpy(DstRow(dst, b.dy + r, b.dx), SrcRow(src, b.sy + r, b.sx), bytes);
}

void CopyKeyedRows(Image& dst, const Image& src, const Blit& b, uint16_t key) {
  for (int32_t r = 0; r < b.h; ++r)
    rows::CopyKeyed(DstRow(dst, b.dy + r, b.dx), SrcRow(src, b.sy + r, b.sx), b.w, key);
}

// A stretch that survived clipping: n x rows destination pixels at (ox, oy)
// from m x rowsIn source pixels at (sx, sy), each side at least 2.
struct StretchBlit {
  int32_t ox, oy, n, rows, sx, sy, m, rowsIn;
};

// The source against its image (the destination scales along), then that
// destination against its image (the source follows).
bool ClipStretch(const Image& dst, const Image& src, int64_t dx, int64_t dy, int64_t dw, int64_t dh,
                 int64_t sx, int64_t sy, int64_t sw, int64_t sh, StretchBlit& out) {
  int64_t sx1 = sx, sw1 = sw, sy1 = sy, sh1 = sh;
  auto cutSource = [](int64_t& s, int64_t& n, int64_t size) {
    if (s >= size) return false;
    if (s < 0) {
      n += s;
      s = 0;
    }
    if (n < 1) return false;
    if (s + n > size) n = size - s;
    return true;
  };
  if (!cutSource(sx1, sw1, src.width) || !cutSource(sy1, sh1, src.height)) return false;
  // sw and sh are at least 1 here: a cut that leaves n >= 1 needs that.
  const int64_t dx1 = dx + (sx1 - sx) * dw / sw, dy1 = dy + (sy1 - sy) * dh / sh;
  const int64_t dw1 = dw * sw1 / sw, dh1 = dh * sh1 / sh;
  clip::Span x{dx1, 0, dw1}, y{dy1, 0, dh1};
  if (!clip::AgainstDest(x, 0, dst.width) || !clip::AgainstDest(y, 0, dst.height)) return false;
  // dw1 and dh1 are at least 1 here, for the same reason.
  const int64_t sx2 = sx1 + (x.d - dx1) * sw1 / dw1, sy2 = sy1 + (y.d - dy1) * sh1 / dh1;
  const int64_t sw2 = sw1 * x.n / dw1, sh2 = sh1 * y.n / dh1;
  // Both walks need two ends.
  if (sx2 >= src.width || sy2 >= src.height || sw2 < 2 || sh2 < 2 || x.n < 2 || y.n < 2)
    return false;
  out = {static_cast<int32_t>(x.d), static_cast<int32_t>(y.d), static_cast<int32_t>(x.n),
         static_cast<int32_t>(y.n), static_cast<int32_t>(sx2), static_cast<int32_t>(sy2),
         static_cast<int32_t>(sw2), static_cast<int32_t>(sh2)};
  return true;
}

// Bresenham over the columns: the steps through the source after each of the
// n destination pixels, the first and last columns of both spans
// corresponding; the last step goes back to the row's start.
void ColumnSteps(int32_t n, int32_t m, int32_t* advance) {
  int64_t err = 1 - n;
  for (int32_t i = 0; i < n - 1; ++i) {
    err += 2 * int64_t{m - 1};
    int32_t a = 0;
    while (err >= 0) {
      ++a;
      err -= 2 * int64_t{n - 1};
    }
    advance[i] = a;
  }
  advance[n - 1] = -(m - 1);
}

int Stretch(Image& dst, int64_t dx, int64_t dy, int64_t dw, int64_t dh, const Image& src,
            int64_t sx, int64_t sy, int64_t sw, int64_t sh, bool keyed, uint16_t key) {
  if (!dst.pixels || !src.pixels) return 0;
  StretchBlit b;
  if (!ClipStretch(dst, src, dx, dy, dw, dh, sx, sy, sw, sh, b)) return 0;
  std::unique_ptr<int32_t[]> advance(new (std::nothrow) int32_t[b.n]);
  if (!advance) return 0;
  ColumnSteps(b.n, b.m, advance.get());

  int32_t srow = b.sy;
  int64_t rowErr = 1 - b.rows;
  for (int32_t r = 0; r < b.rows; ++r) {
    const uint16_t* sp = SrcRow(src, srow, b.sx);
    uint16_t* dp = DstRow(dst, b.oy + r, b.ox);
    if (keyed) {
      for (int32_t i = 0; i < b.n; ++i) {
        if (*sp != key) dp[i] = *sp;
        sp += advance[i];
      }
    } else {
      for (int32_t i = 0; i < b.n; ++i) {
        dp[i] = *sp;
        sp += advance[i];
      }
    }
    if (r == b.rows - 1) break;
    rowErr += 2 * int64_t{b.rowsIn - 1};
    while (rowErr >= 0) {
      ++srow;
      rowErr -= 2 * int64_t{b.rows - 1};
    }
  }
  return 1;
}

}  // namespace

int Copy(Image& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, const Image& src, int32_t sx,
         int32_t sy) {
  Blit b;
  if (!ClipTwo(dst, src, dx, dy, w, h, sx, sy, b)) return 0;
  CopyRows(dst, src, b);
  return 1;
}

int CopyKeyed(Image& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, const Image& src,
              int32_t sx, int32_t sy, uint32_t key) {
  if (Overlapping(dst, src, dx, dy, w, h, sx, sy)) return 0;
  Blit b;
  if (!ClipTwo(dst, src, dx, dy, w, h, sx, sy, b)) return 0;
  CopyKeyedRows(dst, src, b, ColourToPixel(key));
  return 1;
}

int CopyClipped(Image& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, const Image& src,
                int32_t sx, int32_t sy, int32_t clipX, int32_t clipY, int32_t clipW,
                int32_t clipH) {
  Blit b;
  if (!ClipTwoWindow(dst, src, dx, dy, w, h, sx, sy, clipX, clipY, clipW, clipH, b)) return 0;
  CopyRows(dst, src, b);
  return 1;
}

int CopyClippedKeyed(Image& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, const Image& src,
                     int32_t sx, int32_t sy, int32_t clipX, int32_t clipY, int32_t clipW,
                     int32_t clipH, uint32_t key) {
  if (Overlapping(dst, src, dx, dy, w, h, sx, sy)) return 0;
  Blit b;
  if (!ClipTwoWindow(dst, src, dx, dy, w, h, sx, sy, clipX, clipY, clipW, clipH, b)) return 0;
  CopyKeyedRows(dst, src, b, ColourToPixel(key));
  return 1;
}

namespace {
// The keyed and arithmetic copies share their refusal and clipping and differ
// only in what they do to one destination row from one source row.
template <typename RowOp>
int EachRowPair(Image& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, const Image& src,
                int32_t sx, int32_t sy, RowOp op) {
  if (Overlapping(dst, src, dx, dy, w, h, sx, sy)) return 0;
  Blit b;
  if (!ClipTwo(dst, src, dx, dy, w, h, sx, sy, b)) return 0;
  for (int32_t r = 0; r < b.h; ++r)
    op(DstRow(dst, b.dy + r, b.dx), SrcRow(src, b.sy + r, b.sx), b.w);
  return 1;
}
}  // namespace

int BlendKeyed(Image& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, const Image& src,
               int32_t sx, int32_t sy, uint32_t key, int32_t k) {
  const uint32_t weight = std::min<uint32_t>(static_cast<uint16_t>(k), 32);
  const uint16_t kp = ColourToPixel(key);
  return EachRowPair(
      dst, dx, dy, w, h, src, sx, sy,
      [&](uint16_t* d, const uint16_t* s, int32_t n) { rows::BlendKeyed(d, s, n, kp, weight); });
}

int SubtractCopy(Image& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, const Image& src,
                 int32_t sx, int32_t sy) {
  return EachRowPair(dst, dx, dy, w, h, src, sx, sy, rows::Subtract);
}

int GreyCopyClippedKeyed(Image& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, const Image& src,
                         int32_t sx, int32_t sy, int32_t clipX, int32_t clipY, int32_t clipW,
                         int32_t clipH, uint32_t key) {
  if (Overlapping(dst, src, dx, dy, w, h, sx, sy)) return 0;
  Blit b;
  if (!ClipTwoWindow(dst, src, dx, dy, w, h, sx, sy, clipX, clipY, clipW, clipH, b)) return 0;
  const uint16_t kp = ColourToPixel(key);
  for (int32_t r = 0; r < b.h; ++r) {
    uint16_t* d = DstRow(dst, b.dy + r, b.dx);
    const uint16_t* s = SrcRow(src, b.sy + r, b.sx);
    for (int32_t i = 0; i < b.w; ++i) {
      if (s[i] != kp) d[i] = rows::Grey(s[i]);
    }
  }
  return 1;
}

int CopyMirrored(Image& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, const Image& src,
                 int32_t sx, int32_t sy) {
  return EachRowPair(dst, dx, dy, w, h, src, sx, sy, [](uint16_t* d, const uint16_t* s, int32_t n) {
    std::reverse_copy(s, s + n, d);
  });
}

int StretchCopy(Image& dst, int32_t dx, int32_t dy, int32_t dw, int32_t dh, const Image& src,
                int32_t sx, int32_t sy, int32_t sw, int32_t sh) {
  return Stretch(dst, dx, dy, dw, dh, src, sx, sy, sw, sh, false, 0);
}

int StretchCopyKeyed(Image& dst, int32_t dx, int32_t dy, int32_t dw, int32_t dh, const Image& src,
                     int32_t sx, int32_t sy, int32_t sw, int32_t sh, uint32_t key) {
  return Stretch(dst, dx, dy, dw, dh, src, sx, sy, sw, sh, true, ColourToPixel(key));
}

int Mosaic(Image& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, const Image& src, int32_t sx,
           int32_t sy, int32_t n) {
  if (Overlapping(dst, src, dx, dy, w, h, sx, sy)) return 0;
  if (n < 1) return 0;
  Blit b;
  if (!ClipTwo(dst, src, dx, dy, w, h, sx, sy, b)) return 0;
  const int32_t cx = b.w / n, cy = b.h / n;
  if (cy < 1 || cx < 1) return 0;
  if (n == 1) {
    // Cells of one pixel: a plain copy (the images differ, or the
    // rectangles would have been refused).
    CopyRows(dst, src, b);
    return 1;
  }
  const size_t bytes = static_cast<size_t>(b.w) * 2;
  // Cell edges i * w / cx, stepped without dividing: q whole columns per
  // cell and a remainder that adds one column each time it overflows.
  const int32_t qx = b.w / cx, rx = b.w % cx, qy = b.h / cy, ry = b.h % cy;
  int32_t r0 = 0, accY = 0;
  for (int32_t j = 0; j < cy; ++j) {
    accY += ry;
    const int32_t r1 = r0 + qy + (accY >= cy ? 1 : 0);
    if (accY >= cy) accY -= cy;
    const uint16_t* s = SrcRow(src, b.sy + r0, b.sx);
    uint16_t* first = DstRow(dst, b.dy + r0, b.dx);
    int32_t c0 = 0, accX = 0;
    if (rx == 0 && (qx == 2 || qx == 4)) {
      rows::RepeatCells(first, s, b.w, qx);
    } else if (qx < 8) {
      // Narrow cells: one pass over the row, taking a new value at each edge.
      uint16_t v = 0;
      int32_t edge = 0;
      for (int32_t c = 0; c < b.w; ++c) {
        if (c == edge) {
          v = s[c];
          accX += rx;
          edge += qx + (accX >= cx ? 1 : 0);
          if (accX >= cx) accX -= cx;
        }
        first[c] = v;
      }
    } else {
      for (int32_t i = 0; i < cx; ++i) {
        accX += rx;
        const int32_t c1 = c0 + qx + (accX >= cx ? 1 : 0);
        if (accX >= cx) accX -= cx;
        rows::Fill(first + c0, c1 - c0, s[c0]);
        c0 = c1;
      }
    }
    // The rest of the cell row repeats its first row.
    for (int32_t r = r0 + 1; r < r1; ++r) std::memcpy(DstRow(dst, b.dy + r, b.dx), first, bytes);
    r0 = r1;
  }
  return 1;
}

namespace {
// The three one-colour operations differ only in what they do to a row.
template <void (*RowOp)(uint16_t*, int32_t, uint16_t)>
int EachRow(Image& image, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
  Blit b;
  if (!ClipOne(image, x, y, w, h, b)) return 0;
  const uint16_t p = ColourToPixel(colour);
  for (int32_t r = 0; r < b.h; ++r) RowOp(DstRow(image, b.dy + r, b.dx), b.w, p);
  return 1;
}
}  // namespace

int FillImageRect(Image& image, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
  return EachRow<rows::Fill>(image, x, y, w, h, colour);
}

int DarkenRect(Image& image, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
  return EachRow<rows::Darken>(image, x, y, w, h, colour);
}

int BrightenRect(Image& image, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
  return EachRow<rows::Brighten>(image, x, y, w, h, colour);
}
