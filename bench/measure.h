// What the drawing benchmarks share: pages to draw from, and best-batch
// timing against memcpy of a page: on a shared machine the best batch of 8 iterations is what the
// code costs, the rest is other processes' noise, so memcpy is timed the
// same way in the same run and every result is also given as its ratio.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <vector>

#include "graphics/image.h"

namespace bench {

using Clock = std::chrono::steady_clock;
constexpr int kBatch = 8;

// Seconds of one memcpy of `bytes`, the best of 64 batches.
inline double MemcpyBaseline(size_t bytes) {
  static std::map<size_t, double> known;
  if (auto it = known.find(bytes); it != known.end()) return it->second;
  std::vector<uint8_t> a(bytes, 1), b(bytes, 2);
  double best = 1e9;
  for (int round = 0; round < 64; ++round) {
    const auto t0 = Clock::now();
    for (int i = 0; i < kBatch; ++i) {
      std::memcpy(b.data(), a.data(), bytes);
      benchmark::ClobberMemory();
    }
    best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count() / kBatch);
  }
  return known[bytes] = best;
}

// Runs body once per iteration and reports its best batch time (best_us) and
// that time over memcpy of baseBytes (x_memcpy).
template <typename F>
void Measure(benchmark::State& state, size_t baseBytes, F&& body, int pagesPerIteration = 1) {
  const double base = MemcpyBaseline(baseBytes);
  double best = 1e9;
  int inBatch = 0;
  auto t0 = Clock::now();
  for (auto _ : state) {
    body();
    benchmark::ClobberMemory();
    if (++inBatch == kBatch) {
      const auto t1 = Clock::now();
      best = std::min(best,
                      std::chrono::duration<double>(t1 - t0).count() / kBatch / pagesPerIteration);
      inBatch = 0;
      t0 = t1;
    }
  }
  if (best < 1e9) {
    state.counters["best_us"] = best * 1e6;
    state.counters["x_memcpy"] = best / base;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * pagesPerIteration *
                          static_cast<int64_t>(baseBytes));
}

// A sprite-like page: random colours with about one pixel in eight keyed
// (with keyed), in runs as sprite sheets have them. The same seed gives the
// same page in every run.
inline void FillPage(Image& im, bool keyed) {
  static uint32_t seed = 1;
  const uint16_t key = ColourToPixel(kMagenta);
  for (int y = 0; y < im.height; ++y) {
    for (int x = 0; x < im.width; ++x) {
      seed = seed * 1103515245u + 12345u;
      const auto p = static_cast<uint16_t>((seed >> 12) & 0x7FFF);
      im.At(x, y) = keyed && ((x / 8 + y / 8) % 8) == 0 ? key : p;
    }
  }
}

// A window procedure that paints the screen as the game's does, for
// benchmarks that count the paint too.
inline intptr_t PaintProc(uint32_t id, uintptr_t, intptr_t) {
  if (id == plat::msg::Paint) Present(0, 0, 640, 480, gfx.Screen, 0, gfx.ViewOffset);
  return 0;
}

}  // namespace bench
