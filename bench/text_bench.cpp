// Text windows with the installed Japanese fonts (message window 4: mincho,
// bold, 52-pixel glyphs at 2x).
#include <benchmark/benchmark.h>

#include <string>

#include "graphics/textwindow.h"
#include "platform/headless/headless.h"
#include "platform/posix/host_files.h"

namespace {

struct TextBench {
  headless::HeadlessHost host{Quiet()};
  std::string line;
  TextBench() {
    plat::SetHost(&host);
    CreateGlobalImages();
    SetupMessageWindows();
    posix::Utf8ToSjis("旅の仲間はカードと言葉を胸に街道を進んでいった", line);
  }
  ~TextBench() {
    DestroyMessageWindows();
    DestroyGlobalImages();
    plat::SetHost(nullptr);
  }
  static headless::Options Quiet() {
    headless::Options o;
    o.echo = false;
    return o;
  }
};

// Characters printed with their glyphs already cached: the cost of typing.
void BM_PrintCharWarmCache(benchmark::State& state) {
  TextBench b;
  TextWindow& w = msgwin.window[4];
  w.Print(b.line.c_str(), 0);
  for (auto _ : state) {
    w.ClearAll();
    w.Print(b.line.c_str(), 0);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(b.line.size() / 2));
}
BENCHMARK(BM_PrintCharWarmCache);

// Each character's first use: the font is made anew, so every glyph is
// rasterised again.
void BM_PrintCharFirstUse(benchmark::State& state) {
  TextBench b;
  TextWindow& w = msgwin.window[4];
  for (auto _ : state) {
    SetupMessageWindows();
    w.Print(b.line.c_str(), 0);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(b.line.size() / 2));
}
BENCHMARK(BM_PrintCharFirstUse);

// The 2:1 reduction over the whole text area of window 4.
void BM_FlushRectPerPixel(benchmark::State& state) {
  TextBench b;
  TextWindow& w = msgwin.window[4];
  w.Print(b.line.c_str(), 0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(w.FlushRect(0, 0, 640, 480));
  }
  state.SetItemsProcessed(state.iterations() * w.TextAreaWidth() * w.Height());
}
BENCHMARK(BM_FlushRectPerPixel);

}  // namespace
