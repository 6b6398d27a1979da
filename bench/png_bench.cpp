// A screenshot's cost: the 640 x 480 picture encoded as a PNG file, beside
// libpng (at its default compression) doing the same. Each reports best_us
// and png_bytes, the size of the file.
#include <benchmark/benchmark.h>
#include <png.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "measure.h"

#include "graphics/png.h"

namespace {

constexpr int kW = 640, kH = 480;
constexpr size_t kBytes = size_t{kW} * kH * 2;

uint16_t Pixel(int r, int g, int b) {
  auto clamp = [](int v) { return static_cast<uint16_t>(v < 0 ? 0 : v > 31 ? 31 : v); };
  return static_cast<uint16_t>(clamp(r) << 10 | clamp(g) << 5 | clamp(b));
}

// What the game shows (top-down rows): a textured table, portraits and cards
// with flat frames around shaded art, and a message window of text. Arg 1 is a
// flat picture, arg 2 noise, the best and the worst case.
std::vector<uint16_t> Scene(int kind) {
  std::vector<uint16_t> px(size_t{kW} * kH);
  std::mt19937 rng(5);
  auto at = [&](int x, int y) -> uint16_t& { return px[static_cast<size_t>(y) * kW + x]; };
  if (kind == 1) {
    for (auto& p : px) p = Pixel(3, 12, 6);
    return px;
  }
  if (kind == 2) {
    for (auto& p : px) p = static_cast<uint16_t>(rng() & 0x7FFF);
    return px;
  }
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const int grain = static_cast<int>(rng() % 3) - 1;
      at(x, y) = Pixel(3 + grain, 12 + grain, 6);
    }
  }
  auto card = [&](int left, int top, int w, int h, int hue) {
    for (int y = top; y < top + h; ++y) {
      for (int x = left; x < left + w; ++x) {
        const bool frame = x < left + 6 || x >= left + w - 6 || y < top + 6 || y >= top + h - 6;
        const double dx = x - (left + w / 2.0), dy = y - (top + h / 2.0);
        const int shade = static_cast<int>(std::sqrt(dx * dx + dy * dy) / 8);
        at(x, y) = frame ? Pixel(hue, 20, 31 - hue) : Pixel(28 - shade, 24 - shade, hue - shade);
        // A figure drawn in one colour over the shading.
        if (!frame && dx * dx + dy * dy < 400 + 300 * std::sin(dx / 5)) at(x, y) = Pixel(6, hue, 9);
      }
    }
  };
  card(4, 4, 100, 136, 24);
  card(536, 56, 100, 136, 8);
  for (int i = 0; i < 5; ++i) card(8 + i * 106, 196, 98, 138, 6 + i * 5);
  for (int y = 342; y < 478; ++y) {
    for (int x = 2; x < 638; ++x) {
      const bool border = y < 345 || y >= 475 || x < 5 || x >= 635;
      at(x, y) = border ? Pixel(24, 24, 28) : Pixel(1, 1, 6 + (y - 342) / 20);
    }
  }
  // Four lines of text: glyph cells of 16 pixels, strokes on about a third.
  for (int line = 0; line < 4; ++line) {
    for (int cell = 0; cell < 30; ++cell) {
      for (int y = 0; y < 14; ++y) {
        for (int x = 0; x < 14; ++x) {
          if (rng() % 3 == 0) at(12 + cell * 18 + x, 350 + line * 20 + y) = Pixel(31, 31, 31);
        }
      }
    }
  }
  return px;
}

void BM_EncodePng555(benchmark::State& state) {
  const std::vector<uint16_t> px = Scene(static_cast<int>(state.range(0)));
  size_t size = 0;
  bench::Measure(state, kBytes, [&] {
    const std::vector<uint8_t> file = EncodePng555(px.data(), kW, kH, kW, false);
    size = file.size();
    benchmark::DoNotOptimize(file.data());
  });
  state.counters["png_bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_EncodePng555)->Arg(0)->Arg(1)->Arg(2);

void BM_Libpng_Encode(benchmark::State& state) {
  const std::vector<uint16_t> px = Scene(static_cast<int>(state.range(0)));
  size_t size = 0;
  bench::Measure(state, kBytes, [&] {
    // The conversion to bytes is part of the work, as in the encoder.
    std::vector<uint8_t> rgb(size_t{kW} * kH * 3);
    for (size_t i = 0; i < px.size(); ++i) {
      for (int c = 0; c < 3; ++c) {
        const unsigned v = (px[i] >> (10 - 5 * c)) & 31u;
        rgb[i * 3 + static_cast<size_t>(c)] = static_cast<uint8_t>((v << 3) | (v >> 2));
      }
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kW;
    image.height = kH;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> file(PNG_IMAGE_PNG_SIZE_MAX(image));
    png_alloc_size_t bytes = file.size();
    if (!png_image_write_to_memory(&image, file.data(), &bytes, 0, rgb.data(), 0, nullptr)) {
      state.SkipWithError(image.message);
      return;
    }
    size = bytes;
    benchmark::DoNotOptimize(file.data());
  });
  state.counters["png_bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_Libpng_Encode)->Arg(0)->Arg(1)->Arg(2);

}  // namespace
