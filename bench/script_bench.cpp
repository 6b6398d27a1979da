// The evaluators run on every command line: their cost per call.
#include <benchmark/benchmark.h>

#include <cstring>

#include "data/player.h"
#include "platform/headless/headless.h"
#include "script/reader.h"
#include "script/variables.h"

namespace {

// The composition root names the player's values and installs a host; a
// benchmark has neither unless it makes them, and an unknown name would
// reach for the host's message box.
struct Variables {
  headless::HeadlessHost host{[] {
    headless::Options o;
    o.echo = false;
    return o;
  }()};
  Variables();
  ~Variables() { plat::SetHost(nullptr); }
};

Variables::Variables() {
  plat::SetHost(&host);
  builtins.values = PlayerValues();
  ResetVariables();
  vars.ints.assign(20, IntVariable{});
  for (int i = 0; i < 20; ++i)
    std::snprintf(vars.ints[static_cast<size_t>(i)].name, kNameSize, "v%d", i);
  vars.strs.assign(5, StrVariable{});
  std::strcpy(vars.strs[0].name, "who");
  std::strcpy(vars.strs[0].value, "Quillfen");
  player.money = 1500;
}

void BM_EvalExpression(benchmark::State& state) {
  const Variables set;
  for (auto _ : state) benchmark::DoNotOptimize(EvalExpression("v19 * 3 + money - 12 / 4 % 7"));
}
BENCHMARK(BM_EvalExpression);

void BM_ExpandVariables(benchmark::State& state) {
  const Variables set;
  const char text[] = "[who] has [money] gold and [v19] cards, [unknown] and [a^b].";
  char buffer[kLineSize];
  for (auto _ : state) {
    std::memcpy(buffer, text, sizeof text);
    ExpandVariables(buffer);
    benchmark::DoNotOptimize(buffer);
  }
}
BENCHMARK(BM_ExpandVariables);

}  // namespace
