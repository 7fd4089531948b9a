// StrQimen end to end: date resolution, the chart object, its arrangement and
// plates, the text and the copy into the caller's buffer. No question handler
// is set, as for a caller that never installs one.
#include <benchmark/benchmark.h>

#include "exports/orv.h"

namespace {

void StrQimenSolar(benchmark::State& state) {
  char buffer[ORV_CHART_BUFFER_SIZE];
  const uint8_t flying = static_cast<uint8_t>(state.range(0));
  int i = 0;
  for (auto _ : state) {
    // Walk through the days of a year, the hours and every forced ju.
    const int32_t rc = StrQimen(1, 0, flying, i % 19, 2024, 1 + i % 12, 1 + i % 28, i % 24,
                                buffer);
    benchmark::DoNotOptimize(rc);
    benchmark::DoNotOptimize(buffer[0]);
    ++i;
  }
}
BENCHMARK(StrQimenSolar)->ArgName("flying")->Arg(0)->Arg(1);

void StrQimenLunar(benchmark::State& state) {
  char buffer[ORV_CHART_BUFFER_SIZE];
  int i = 0;
  for (auto _ : state) {
    // Late lunar months search furthest for their civil day.
    const int32_t rc = StrQimen(0, 0, static_cast<uint8_t>(i & 1), 0, 2023, 1 + i % 12,
                                1 + i % 29, i % 24, buffer);
    benchmark::DoNotOptimize(rc);
    benchmark::DoNotOptimize(buffer[0]);
    ++i;
  }
}
BENCHMARK(StrQimenLunar);

}  // namespace
