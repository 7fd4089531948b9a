// StrXuankong end to end: the flying stars, the box text and the copy into the
// caller's buffer.
#include <benchmark/benchmark.h>

#include "exports/orv.h"

namespace {

void StrXuankongChart(benchmark::State& state) {
  char buffer[ORV_CHART_BUFFER_SIZE];
  int i = 0;
  for (auto _ : state) {
    // Walk through every period, mountain and method.
    const int n = i % (9 * 24 * 2);
    const int32_t rc = StrXuankong(n / 48, n / 2 % 24, static_cast<uint8_t>(n % 2), buffer);
    benchmark::DoNotOptimize(rc);
    benchmark::DoNotOptimize(buffer[0]);
    ++i;
  }
}
BENCHMARK(StrXuankongChart);

}  // namespace
