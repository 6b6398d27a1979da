// The row kernels under the primitives. Each has a portable form and a fast
// form (SSE2 where the compiler offers it) that must give identical pixels;
// tests hold both against a plain per-channel reference.
#pragma once

#include <cstdint>

namespace rows {

// Saturating per-channel arithmetic on packed X1R5G5B5. Red and blue are
// worked in one word and green in another, so every channel has a free guard
// bit above it (bits 5 and 15 for blue and red, bit 10 for green) to catch
// the carry or borrow; a caught channel is then masked to 31 or 0. Bit 15 of
// the result is always 0.
constexpr uint16_t kRedBlue = 0x7C1F, kGreen = 0x03E0;
constexpr uint16_t kRedBlueGuard = 0x8020, kGreenGuard = 0x0400;

inline uint16_t SatAdd(uint16_t a, uint16_t b) {
  const uint16_t rb = static_cast<uint16_t>((a & kRedBlue) + (b & kRedBlue));
  const uint16_t g = static_cast<uint16_t>((a & kGreen) + (b & kGreen));
  const uint16_t rbo = rb & kRedBlueGuard, go = g & kGreenGuard;
  return static_cast<uint16_t>(((rb | (rbo - (rbo >> 5))) & kRedBlue) |
                               ((g | (go - (go >> 5))) & kGreen));
}

inline uint16_t SatSub(uint16_t a, uint16_t b) {
  const uint16_t rb = static_cast<uint16_t>(((a & kRedBlue) | kRedBlueGuard) - (b & kRedBlue));
  const uint16_t g = static_cast<uint16_t>(((a & kGreen) | kGreenGuard) - (b & kGreen));
  const uint16_t rbk = rb & kRedBlueGuard, gk = g & kGreenGuard;
  return static_cast<uint16_t>((rb & (rbk - (rbk >> 5))) | (g & (gk - (gk >> 5))));
}

inline uint16_t Blend(uint16_t s, uint16_t d, uint32_t k) {
  const uint32_t a = 32 - k;
  const uint32_t r = (((s >> 10) & 31) * a + ((d >> 10) & 31) * k) >> 5;
  const uint32_t g = (((s >> 5) & 31) * a + ((d >> 5) & 31) * k) >> 5;
  const uint32_t b = ((s & 31) * a + (d & 31) * k) >> 5;
  return static_cast<uint16_t>(r << 10 | g << 5 | b);
}

inline uint16_t Average(uint16_t s, uint16_t d) {
  return static_cast<uint16_t>((((s ^ d) >> 1) & 0x3DEF) + (s & d));
}

inline uint16_t Grey(uint16_t s) {
  const uint32_t v = (((s >> 5) & 31) * 59 + ((s >> 10) & 31) * 30 + (s & 31) * 11) / 100;
  return static_cast<uint16_t>(v << 10 | v << 5 | v);
}

// Portable and fast forms of the row loops.
// d[c] = s[c - c % cell] for cells of 2 or 4 pixels starting at column 0.
void RepeatCellsPortable(uint16_t* d, const uint16_t* s, int32_t n, int32_t cell);
void RepeatCells(uint16_t* d, const uint16_t* s, int32_t n, int32_t cell);
void FillPortable(uint16_t* d, int32_t n, uint16_t v);
void Fill(uint16_t* d, int32_t n, uint16_t v);
void CopyKeyedPortable(uint16_t* d, const uint16_t* s, int32_t n, uint16_t key);
void CopyKeyed(uint16_t* d, const uint16_t* s, int32_t n, uint16_t key);
void BlendKeyedPortable(uint16_t* d, const uint16_t* s, int32_t n, uint16_t key, uint32_t k);
void BlendKeyed(uint16_t* d, const uint16_t* s, int32_t n, uint16_t key, uint32_t k);
// The two vector widths BlendKeyed chooses between (16 lanes where the
// processor has AVX2), each held to the reference on its own.
void BlendKeyed8(uint16_t* d, const uint16_t* s, int32_t n, uint16_t key, uint32_t k);
void BlendKeyed16(uint16_t* d, const uint16_t* s, int32_t n, uint16_t key, uint32_t k);
void SubtractPortable(uint16_t* d, const uint16_t* s, int32_t n);
void Subtract(uint16_t* d, const uint16_t* s, int32_t n);
// Constant colour: p = sat(p - c) or sat(p + c).
void DarkenPortable(uint16_t* d, int32_t n, uint16_t c);
void Darken(uint16_t* d, int32_t n, uint16_t c);
void BrightenPortable(uint16_t* d, int32_t n, uint16_t c);
void Brighten(uint16_t* d, int32_t n, uint16_t c);

}  // namespace rows
