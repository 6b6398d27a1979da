// Rectangle clipping shared by the drawing primitives and the K16 loaders.
// Arithmetic is 64-bit so that absurd arguments clip instead of overflowing.
#pragma once

#include <cstdint>

namespace clip {

// One axis of a copy: destination start d, source start s, length n.
struct Span {
  int64_t d, s, n;
};

// Against the source [0, size): refuses when nothing is left.
inline bool AgainstSource(Span& a, int64_t size) {
  if (a.s >= size) return false;
  if (a.s < 0) {
    a.n += a.s;
    a.d -= a.s;
    a.s = 0;
  }
  if (a.n < 1) return false;
  if (a.s + a.n > size) a.n = size - a.s;
  return true;
}

// Against the destination window [lo, hi), moving the source along.
inline bool AgainstDest(Span& a, int64_t lo, int64_t hi) {
  if (a.d >= hi) return false;
  if (a.d < lo) {
    a.n -= lo - a.d;
    a.s += lo - a.d;
    a.d = lo;
  }
  if (a.n < 1) return false;
  if (a.d + a.n > hi) a.n = hi - a.d;
  return true;
}

// A clip rectangle's own axis against the image [0, size).
inline bool Window(int64_t& start, int64_t& len, int64_t size) {
  Span a{start, 0, len};
  if (!AgainstDest(a, 0, size)) return false;
  start = a.d;
  len = a.n;
  return true;
}

}  // namespace clip
