// The drawing primitives on a whole 640 x 480 page, each beside SDL2's own
// blitter doing the same 16-bit work and beside memcpy of the same 614,400
// bytes. Every benchmark reports x_memcpy, its time over memcpy's in this run.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <utility>
#include <vector>

#include "measure.h"

#include "graphics/blit.h"
#include "graphics/image.h"
#include "graphics/transition.h"
#include "platform/headless/headless.h"
#include "shell/app.h"

namespace {

constexpr int kW = 640, kH = 480;
constexpr size_t kBytes = size_t{kW} * kH * 2;
constexpr uint32_t kKeyColour = 0xFF00FF;

using bench::FillPage;

SDL_Surface* SurfaceOf(const Image& im) {
  SDL_Surface* s =
      SDL_CreateRGBSurfaceWithFormat(0, im.width, im.height, 16, SDL_PIXELFORMAT_RGB555);
  for (int y = 0; y < im.height; ++y)
    std::memcpy(static_cast<uint8_t*>(s->pixels) + static_cast<size_t>(y) * s->pitch, im.Row(y),
                static_cast<size_t>(im.width) * 2);
  return s;
}

template <typename F>
void Measure(benchmark::State& state, F&& body, int pagesPerIteration = 1) {
  bench::Measure(state, kBytes, std::forward<F>(body), pagesPerIteration);
}

struct Pages {
  Image src, dst;
  SDL_Surface* ssrc = nullptr;
  SDL_Surface* sdst = nullptr;
  explicit Pages(bool keyed) {
    src.Create(kW, kH);
    dst.Create(kW, kH);
    FillPage(src, keyed);
    FillPage(dst, false);
    ssrc = SurfaceOf(src);
    sdst = SurfaceOf(dst);
  }
  ~Pages() {
    SDL_FreeSurface(ssrc);
    SDL_FreeSurface(sdst);
  }
};

void BM_Memcpy(benchmark::State& state) {
  std::vector<uint8_t> a(kBytes, 1), b(kBytes, 2);
  Measure(state, [&] { std::memcpy(b.data(), a.data(), kBytes); });
}
BENCHMARK(BM_Memcpy);

void BM_Copy(benchmark::State& state) {
  Pages p(false);
  Measure(state, [&] { Copy(p.dst, 0, 0, kW, kH, p.src, 0, 0); });
}
BENCHMARK(BM_Copy);

void BM_SDL_Copy(benchmark::State& state) {
  Pages p(false);
  SDL_SetSurfaceBlendMode(p.ssrc, SDL_BLENDMODE_NONE);
  Measure(state, [&] { SDL_BlitSurface(p.ssrc, nullptr, p.sdst, nullptr); });
}
BENCHMARK(BM_SDL_Copy);

void BM_CopyKeyed(benchmark::State& state) {
  Pages p(true);
  Measure(state, [&] { CopyKeyed(p.dst, 0, 0, kW, kH, p.src, 0, 0, kKeyColour); });
}
BENCHMARK(BM_CopyKeyed);

void BM_SDL_CopyKeyed(benchmark::State& state) {
  Pages p(true);
  SDL_SetSurfaceBlendMode(p.ssrc, SDL_BLENDMODE_NONE);
  SDL_SetColorKey(p.ssrc, SDL_TRUE, ColourToPixel(kKeyColour));
  Measure(state, [&] { SDL_BlitSurface(p.ssrc, nullptr, p.sdst, nullptr); });
}
BENCHMARK(BM_SDL_CopyKeyed);

// k = 16 takes the averaging path, any other k the general weights.
void BM_BlendKeyed(benchmark::State& state) {
  Pages p(true);
  const int k = static_cast<int>(state.range(0));
  Measure(state, [&] { BlendKeyed(p.dst, 0, 0, kW, kH, p.src, 0, 0, kKeyColour, k); });
}
BENCHMARK(BM_BlendKeyed)->Arg(16)->Arg(7);

// SDL's alpha is the source's weight: 255 * (32 - k) / 32.
void BM_SDL_BlendKeyed(benchmark::State& state) {
  Pages p(true);
  const int k = static_cast<int>(state.range(0));
  SDL_SetColorKey(p.ssrc, SDL_TRUE, ColourToPixel(kKeyColour));
  SDL_SetSurfaceBlendMode(p.ssrc, SDL_BLENDMODE_BLEND);
  SDL_SetSurfaceAlphaMod(p.ssrc, static_cast<Uint8>(255 * (32 - k) / 32));
  Measure(state, [&] { SDL_BlitSurface(p.ssrc, nullptr, p.sdst, nullptr); });
}
BENCHMARK(BM_SDL_BlendKeyed)->Arg(16)->Arg(7);

void BM_Mosaic(benchmark::State& state) {
  Pages p(false);
  const int n = static_cast<int>(state.range(0));
  Measure(state, [&] { Mosaic(p.dst, 0, 0, kW, kH, p.src, 0, 0, n); });
}
BENCHMARK(BM_Mosaic)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Arg(32);

// The battle's pixelation: cell sizes 1 to 40, one page each; reported per page.
void BM_MosaicSweep(benchmark::State& state) {
  Pages p(false);
  Measure(
      state,
      [&] {
        for (int n = 1; n <= 40; ++n) Mosaic(p.dst, 0, 0, kW, kH, p.src, 0, 0, n);
      },
      40);
}
BENCHMARK(BM_MosaicSweep);

// SDL has no mosaic; its way to one is a nearest-neighbour shrink to one
// pixel per cell and a stretch back.
void BM_SDL_Mosaic(benchmark::State& state) {
  Pages p(false);
  const int n = static_cast<int>(state.range(0));
  SDL_Surface* small =
      SDL_CreateRGBSurfaceWithFormat(0, kW / n, kH / n, 16, SDL_PIXELFORMAT_RGB555);
  SDL_SetSurfaceBlendMode(p.ssrc, SDL_BLENDMODE_NONE);
  SDL_SetSurfaceBlendMode(small, SDL_BLENDMODE_NONE);
  Measure(state, [&] {
    SDL_BlitScaled(p.ssrc, nullptr, small, nullptr);
    SDL_BlitScaled(small, nullptr, p.sdst, nullptr);
  });
  SDL_FreeSurface(small);
}
BENCHMARK(BM_SDL_Mosaic)->Arg(2)->Arg(4)->Arg(8)->Arg(32);

// A 320 x 240 sprite doubled onto the whole page.
void BM_StretchCopyKeyed(benchmark::State& state) {
  Pages p(true);
  Measure(state,
          [&] { StretchCopyKeyed(p.dst, 0, 0, kW, kH, p.src, 0, 0, kW / 2, kH / 2, kKeyColour); });
}
BENCHMARK(BM_StretchCopyKeyed);

void BM_SDL_StretchCopyKeyed(benchmark::State& state) {
  Pages p(true);
  SDL_SetSurfaceBlendMode(p.ssrc, SDL_BLENDMODE_NONE);
  SDL_SetColorKey(p.ssrc, SDL_TRUE, ColourToPixel(kKeyColour));
  SDL_Rect from{0, 0, kW / 2, kH / 2}, to{0, 0, kW, kH};
  Measure(state, [&] { SDL_BlitScaled(p.ssrc, &from, p.sdst, &to); });
}
BENCHMARK(BM_SDL_StretchCopyKeyed);

using bench::PaintProc;

// One transition step from BackPage into Screen: args are the type, the step
// and whether a window is open to be repainted (the headless paint is a
// second full copy).
void BM_TransitionStep(benchmark::State& state) {
  headless::Options o;
  o.echo = false;
  headless::HeadlessHost host(o);
  plat::SetHost(&host);
  const bool painted = state.range(2) != 0;
  if (painted) host.OpenWindow("bench", PaintProc);
  CreateGlobalImages();
  FillPage(gfx.BackPage, false);
  const int type = static_cast<int>(state.range(0)), step = static_cast<int>(state.range(1));
  int n = 0;
  Measure(state, [&] {
    Transition(gfx.Screen, gfx.BackPage, type, step);
    if (++n == 1024) {
      host.invalidations.clear();
      n = 0;
    }
  });
  DestroyGlobalImages();
  plat::SetHost(nullptr);
}
BENCHMARK(BM_TransitionStep)
    ->Args({0, 1, 0})
    ->Args({0, 1, 1})
    ->Args({5, 8, 0})
    ->Args({6, 64, 0})
    ->Args({7, 30, 0})
    ->Args({8, 25, 0});

void BM_SDL_TransitionCut(benchmark::State& state) {
  Pages p(false);
  SDL_SetSurfaceBlendMode(p.ssrc, SDL_BLENDMODE_NONE);
  Measure(state, [&] { SDL_BlitSurface(p.ssrc, nullptr, p.sdst, nullptr); });
}
BENCHMARK(BM_SDL_TransitionCut);

}  // namespace
