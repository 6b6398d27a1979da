#include "graphics/blit_rows.h"

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace rows {

void RepeatCellsPortable(uint16_t* d, const uint16_t* s, int32_t n, int32_t cell) {
  for (int32_t c = 0; c < n; ++c) d[c] = s[c - c % cell];
}

void FillPortable(uint16_t* d, int32_t n, uint16_t v) {
  for (int32_t i = 0; i < n; ++i) d[i] = v;
}

void CopyKeyedPortable(uint16_t* d, const uint16_t* s, int32_t n, uint16_t key) {
  for (int32_t i = 0; i < n; ++i) {
    if (s[i] != key) d[i] = s[i];
  }
}

void BlendKeyedPortable(uint16_t* d, const uint16_t* s, int32_t n, uint16_t key, uint32_t k) {
  if (k == 16) {
    for (int32_t i = 0; i < n; ++i) {
      if (s[i] != key) d[i] = Average(s[i], d[i]);
    }
    return;
  }
  for (int32_t i = 0; i < n; ++i) {
    if (s[i] != key) d[i] = Blend(s[i], d[i], k);
  }
}

void SubtractPortable(uint16_t* d, const uint16_t* s, int32_t n) {
  for (int32_t i = 0; i < n; ++i) d[i] = SatSub(d[i], s[i]);
}

void DarkenPortable(uint16_t* d, int32_t n, uint16_t c) {
  for (int32_t i = 0; i < n; ++i) d[i] = SatSub(d[i], c);
}

void BrightenPortable(uint16_t* d, int32_t n, uint16_t c) {
  for (int32_t i = 0; i < n; ++i) d[i] = SatAdd(d[i], c);
}

#if defined(__SSE2__)

namespace {

inline __m128i Load(const uint16_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void Store(uint16_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline __m128i LoadA(const uint16_t* p) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(p));
}
inline void StoreA(uint16_t* p, __m128i v) { _mm_store_si128(reinterpret_cast<__m128i*>(p), v); }
inline __m128i Splat(uint16_t v) { return _mm_set1_epi16(static_cast<short>(v)); }

// mask ? a : b
inline __m128i Select(__m128i mask, __m128i a, __m128i b) {
  return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

// The guard-bit tricks of SatAdd and SatSub, eight pixels at a time.
inline __m128i SatAdd8(__m128i a, __m128i b) {
  const __m128i mrb = Splat(kRedBlue), mg = Splat(kGreen);
  const __m128i rb = _mm_add_epi16(_mm_and_si128(a, mrb), _mm_and_si128(b, mrb));
  const __m128i g = _mm_add_epi16(_mm_and_si128(a, mg), _mm_and_si128(b, mg));
  const __m128i rbo = _mm_and_si128(rb, Splat(kRedBlueGuard));
  const __m128i go = _mm_and_si128(g, Splat(kGreenGuard));
  const __m128i rbs = _mm_sub_epi16(rbo, _mm_srli_epi16(rbo, 5));
  const __m128i gs = _mm_sub_epi16(go, _mm_srli_epi16(go, 5));
  return _mm_or_si128(_mm_and_si128(_mm_or_si128(rb, rbs), mrb),
                      _mm_and_si128(_mm_or_si128(g, gs), mg));
}

inline __m128i SatSub8(__m128i a, __m128i b) {
  const __m128i mrb = Splat(kRedBlue), mg = Splat(kGreen);
  const __m128i rb = _mm_sub_epi16(_mm_or_si128(_mm_and_si128(a, mrb), Splat(kRedBlueGuard)),
                                   _mm_and_si128(b, mrb));
  const __m128i g =
      _mm_sub_epi16(_mm_or_si128(_mm_and_si128(a, mg), Splat(kGreenGuard)), _mm_and_si128(b, mg));
  const __m128i rbk = _mm_and_si128(rb, Splat(kRedBlueGuard));
  const __m128i gk = _mm_and_si128(g, Splat(kGreenGuard));
  return _mm_or_si128(_mm_and_si128(rb, _mm_sub_epi16(rbk, _mm_srli_epi16(rbk, 5))),
                      _mm_and_si128(g, _mm_sub_epi16(gk, _mm_srli_epi16(gk, 5))));
}

}  // namespace

// Pixels before the destination's next 16-byte boundary (rows of an Image
// start 8 bytes past one), done one at a time so the vector stores align.
int32_t Head(const uint16_t* d, int32_t n) {
  const int32_t h = static_cast<int32_t>((16 - (reinterpret_cast<uintptr_t>(d) & 15)) & 15) / 2;
  return h < n ? h : n;
}

void RepeatCells(uint16_t* d, const uint16_t* s, int32_t n, int32_t cell) {
  int32_t c = 0;
  // Eight pixels hold whole cells of 2 or 4: spread each cell's first pixel.
  if (cell == 2) {
    for (; c + 8 <= n; c += 8) {
      const __m128i v = Load(s + c);
      Store(d + c, _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xA0), 0xA0));
    }
  } else if (cell == 4) {
    for (; c + 8 <= n; c += 8) {
      const __m128i v = Load(s + c);
      Store(d + c, _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0x00), 0x00));
    }
  }
  for (; c < n; ++c) d[c] = s[c - c % cell];
}

void Fill(uint16_t* d, int32_t n, uint16_t v) {
  if (n < 8) {
    FillPortable(d, n, v);
    return;
  }
  // Overlapping unaligned stores at both ends, aligned ones between.
  const __m128i vv = Splat(v);
  Store(d, vv);
  int32_t i = Head(d, n);
  if (i == 0) i = 8;
  for (; i + 8 <= n; i += 8) StoreA(d + i, vv);
  Store(d + n - 8, vv);
}

void CopyKeyed(uint16_t* d, const uint16_t* s, int32_t n, uint16_t key) {
  const __m128i kv = Splat(key);
  int32_t i = Head(d, n);
  CopyKeyedPortable(d, s, i, key);
  for (; i + 16 <= n; i += 16) {
    const __m128i s0 = Load(s + i), s1 = Load(s + i + 8);
    const __m128i m0 = _mm_cmpeq_epi16(s0, kv), m1 = _mm_cmpeq_epi16(s1, kv);
    // Sprites are mostly solid: sixteen pixels without the key are a plain store.
    if (_mm_movemask_epi8(_mm_or_si128(m0, m1)) == 0) {
      StoreA(d + i, s0);
      StoreA(d + i + 8, s1);
    } else {
      StoreA(d + i, Select(m0, LoadA(d + i), s0));
      StoreA(d + i + 8, Select(m1, LoadA(d + i + 8), s1));
    }
  }
  CopyKeyedPortable(d + i, s + i, n - i, key);
}

void BlendKeyed(uint16_t* d, const uint16_t* s, int32_t n, uint16_t key, uint32_t k) {
  const __m128i kv = Splat(key);
  int32_t i = Head(d, n);
  BlendKeyedPortable(d, s, i, key, k);
  if (k == 16) {
    const __m128i half = Splat(0x3DEF);
    for (; i + 8 <= n; i += 8) {
      const __m128i sv = Load(s + i), dv = LoadA(d + i);
      const __m128i avg = _mm_add_epi16(
          _mm_and_si128(_mm_srli_epi16(_mm_xor_si128(sv, dv), 1), half), _mm_and_si128(sv, dv));
      StoreA(d + i, Select(_mm_cmpeq_epi16(sv, kv), dv, avg));
    }
  } else {
    // Per channel dst + floor((src - dst) * (32 - k) / 32), which equals the
    // weighted sum: one multiply per channel, on channels kept near their
    // places. The signed products stay within 16 bits (31 * 31 * 32).
    const __m128i wa = Splat(static_cast<uint16_t>(32 - k));
    const __m128i m5 = Splat(0x001F), m10 = Splat(0x03E0), m15 = Splat(0x7C00), mrb = Splat(0x7C1F);
    for (; i + 8 <= n; i += 8) {
      const __m128i sv = Load(s + i), dv = LoadA(d + i);
      // Blue: floor(diff * a / 32) as a 5-bit two's complement field.
      const __m128i db = _mm_and_si128(dv, m5);
      const __m128i b = _mm_and_si128(
          _mm_srai_epi16(_mm_mullo_epi16(_mm_sub_epi16(_mm_and_si128(sv, m5), db), wa), 5), m5);
      // Green in place: (diff << 5) * a = V << 5; floor(V / 32) << 5 is V & 0x3E0.
      const __m128i dg = _mm_and_si128(dv, m10);
      const __m128i gd = _mm_and_si128(
          _mm_srai_epi16(_mm_mullo_epi16(_mm_sub_epi16(_mm_and_si128(sv, m10), dg), wa), 5), m10);
      // Red moved down to green's place: V << 5, and floor(V / 32) << 10 is (V << 5) & 0x7C00.
      const __m128i r =
          _mm_and_si128(_mm_mullo_epi16(_mm_sub_epi16(_mm_and_si128(_mm_srli_epi16(sv, 5), m10),
                                                      _mm_and_si128(_mm_srli_epi16(dv, 5), m10)),
                                        wa),
                        m15);
      // dst + delta per field, modulo 32: the true result lies in 0..31, so
      // the carries the fields throw out are masked away.
      const __m128i rb =
          _mm_and_si128(_mm_add_epi16(_mm_and_si128(dv, mrb), _mm_or_si128(r, b)), mrb);
      const __m128i g = _mm_and_si128(_mm_add_epi16(dg, gd), m10);
      StoreA(d + i, Select(_mm_cmpeq_epi16(sv, kv), dv, _mm_or_si128(rb, g)));
    }
  }
  BlendKeyedPortable(d + i, s + i, n - i, key, k);
}

void Subtract(uint16_t* d, const uint16_t* s, int32_t n) {
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) Store(d + i, SatSub8(Load(d + i), Load(s + i)));
  SubtractPortable(d + i, s + i, n - i);
}

void Darken(uint16_t* d, int32_t n, uint16_t c) {
  const __m128i cv = Splat(c);
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) Store(d + i, SatSub8(Load(d + i), cv));
  DarkenPortable(d + i, n - i, c);
}

void Brighten(uint16_t* d, int32_t n, uint16_t c) {
  const __m128i cv = Splat(c);
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) Store(d + i, SatAdd8(Load(d + i), cv));
  BrightenPortable(d + i, n - i, c);
}

#else

void Fill(uint16_t* d, int32_t n, uint16_t v) { FillPortable(d, n, v); }
void RepeatCells(uint16_t* d, const uint16_t* s, int32_t n, int32_t cell) {
  RepeatCellsPortable(d, s, n, cell);
}
void CopyKeyed(uint16_t* d, const uint16_t* s, int32_t n, uint16_t key) {
  CopyKeyedPortable(d, s, n, key);
}
void BlendKeyed(uint16_t* d, const uint16_t* s, int32_t n, uint16_t key, uint32_t k) {
  BlendKeyedPortable(d, s, n, key, k);
}
void Subtract(uint16_t* d, const uint16_t* s, int32_t n) { SubtractPortable(d, s, n); }
void Darken(uint16_t* d, int32_t n, uint16_t c) { DarkenPortable(d, n, c); }
void Brighten(uint16_t* d, int32_t n, uint16_t c) { BrightenPortable(d, n, c); }

#endif

}  // namespace rows
