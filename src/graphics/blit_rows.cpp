#include "graphics/blit_rows.h"

#include <cstdint>
#include <cstring>

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

namespace {

// The blend as GCC vector arithmetic, written once for 8 lanes (SSE2) and
// 16 (AVX2, chosen at run time where the processor has it). Each channel is
// weighed where a 16-bit product cannot overflow: blue at bit 0, green in
// place, red moved down to green's place; (s * a + d * k) / 32 is exact
// there for every k from 0 to 32 (31 * 32 * 32 < 2^15). A keyed source pixel
// keeps the destination.
typedef uint16_t Lanes8 __attribute__((vector_size(16)));
typedef uint16_t Lanes16 __attribute__((vector_size(32)));

template <typename V>
__attribute__((always_inline)) inline void BlendKeyedVector(uint16_t* d, const uint16_t* s,
                                                            int32_t n, uint16_t key, uint32_t k) {
  constexpr int32_t kLanes = sizeof(V) / 2;
  const uint16_t a = static_cast<uint16_t>(32 - k), kk = static_cast<uint16_t>(k);
  const V kv = V{} + key, wa = V{} + a, wk = V{} + kk;
  const V m5 = V{} + 0x001F, m10 = V{} + 0x03E0, m15 = V{} + 0x7C00, half = V{} + 0x3DEF;
  int32_t i = 0;
  for (; i + kLanes <= n; i += kLanes) {
    V sv, dv;
    std::memcpy(&sv, s + i, sizeof sv);
    std::memcpy(&dv, d + i, sizeof dv);
    V out;
    if (k == 16) {
      out = (((sv ^ dv) >> 1) & half) + (sv & dv);
    } else {
      const V b = ((sv & m5) * wa + (dv & m5) * wk) >> 5;
      const V g = (((sv & m10) * wa + (dv & m10) * wk) >> 5) & m10;
      const V r = (((sv >> 5) & m10) * wa + ((dv >> 5) & m10) * wk) & m15;
      out = r | g | b;
    }
    const V keyed = reinterpret_cast<V>(sv == kv);
    out = (keyed & dv) | (~keyed & out);
    std::memcpy(d + i, &out, sizeof out);
  }
  BlendKeyedPortable(d + i, s + i, n - i, key, k);
}

}  // namespace

void BlendKeyed8(uint16_t* d, const uint16_t* s, int32_t n, uint16_t key, uint32_t k) {
  BlendKeyedVector<Lanes8>(d, s, n, key, k);
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2")))
#endif
void BlendKeyed16(uint16_t* d, const uint16_t* s, int32_t n, uint16_t key, uint32_t k) {
  BlendKeyedVector<Lanes16>(d, s, n, key, k);
}

void BlendKeyed(uint16_t* d, const uint16_t* s, int32_t n, uint16_t key, uint32_t k) {
#if defined(__x86_64__) || defined(__i386__)
  static const bool wide = __builtin_cpu_supports("avx2");
#else
  constexpr bool wide = false;
#endif
  if (wide) {
    BlendKeyed16(d, s, n, key, k);
  } else {
    BlendKeyed8(d, s, n, key, k);
  }
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
void Subtract(uint16_t* d, const uint16_t* s, int32_t n) { SubtractPortable(d, s, n); }
void Darken(uint16_t* d, int32_t n, uint16_t c) { DarkenPortable(d, n, c); }
void Brighten(uint16_t* d, int32_t n, uint16_t c) { BrightenPortable(d, n, c); }

#endif

}  // namespace rows
