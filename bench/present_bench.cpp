// Presentation and idle waiting.
#include <benchmark/benchmark.h>

#include "measure.h"

#include <sys/resource.h>

#include "graphics/image.h"
#include "platform/headless/headless.h"
#include "shell/app.h"
#include "shell/input.h"

namespace {

using bench::PaintProc;

// One full-window paint of the screen image, as after a whole-page transition.
void BM_PresentFullWindow(benchmark::State& state) {
  headless::Options o;
  o.echo = false;
  headless::HeadlessHost host(o);
  plat::SetHost(&host);
  host.OpenWindow("bench", PaintProc);
  CreateGlobalImages();
  gfx.ViewOffset = static_cast<int>(state.range(0));
  for (auto _ : state) {
    InvalidateAll();
    host.UpdateNow();
    benchmark::DoNotOptimize(host.Frame().data());
  }
  state.SetBytesProcessed(state.iterations() * 640 * 480 * 2);
  DestroyGlobalImages();
  plat::SetHost(nullptr);
}
BENCHMARK(BM_PresentFullWindow)->Arg(0)->Arg(142);

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The same 1-second WaitUntil on the virtual clock: the cost of one timed
// step under test.
void BM_WaitUntilVirtualSecond(benchmark::State& state) {
  headless::Options o;
  o.echo = false;
  headless::HeadlessHost host(o);
  plat::SetHost(&host);
  host.OpenWindow("bench", PaintProc);
  for (auto _ : state) {
    FrameStart();
    benchmark::DoNotOptimize(WaitUntil(1000));
  }
  plat::SetHost(nullptr);
}
BENCHMARK(BM_WaitUntilVirtualSecond);

// A 1-second WaitUntil on the real clock: what an idle timed step costs the
// machine. cpu_share is processor time over wall time (goal: under 5 %).
void BM_WaitUntilRealSecond(benchmark::State& state) {
  headless::Options o;
  o.echo = false;
  o.realClock = true;
  headless::HeadlessHost host(o);
  plat::SetHost(&host);
  host.OpenWindow("bench", PaintProc);
  double cpu = 0;
  for (auto _ : state) {
    const double before = CpuSeconds();
    FrameStart();
    benchmark::DoNotOptimize(WaitUntil(1000));
    cpu += CpuSeconds() - before;
  }
  state.counters["cpu_share"] = cpu / static_cast<double>(state.iterations());
  plat::SetHost(nullptr);
}
BENCHMARK(BM_WaitUntilRealSecond)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
