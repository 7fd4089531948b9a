// StrLiuyao and StrLiuyaoL end to end: date resolution, the chart object, the
// cast, its derivation, the text and the copy into the caller's buffer.
#include <benchmark/benchmark.h>

#include "exports/orv.h"

namespace {

// Six line values 0-3 from the bits of n, top line first.
template <decltype(StrLiuyao)* Export>
void Manual(benchmark::State& state) {
  char buffer[ORV_CHART_BUFFER_SIZE];
  int i = 0;
  for (auto _ : state) {
    // Walk through all 4096 casts and through the days and hours of a year.
    const int n = i % 4096;
    const int32_t rc = Export(n >> 10 & 3, n >> 8 & 3, n >> 6 & 3, n >> 4 & 3, n >> 2 & 3, n & 3,
                              1, 0, 1, 1984, 1 + i % 12, 1 + i % 28, i % 24, buffer);
    benchmark::DoNotOptimize(rc);
    benchmark::DoNotOptimize(buffer[0]);
    ++i;
  }
}
BENCHMARK(Manual<StrLiuyao>)->Name("StrLiuyaoManual");
BENCHMARK(Manual<StrLiuyaoL>)->Name("StrLiuyaoLManual");

void StrLiuyaoTime(benchmark::State& state) {
  char buffer[ORV_CHART_BUFFER_SIZE];
  int i = 0;
  for (auto _ : state) {
    const int32_t rc =
        StrLiuyao(0, 0, 0, 0, 0, 0, 1, 0, 0, 1984, 1 + i % 12, 1 + i % 28, i % 24, buffer);
    benchmark::DoNotOptimize(rc);
    benchmark::DoNotOptimize(buffer[0]);
    ++i;
  }
}
BENCHMARK(StrLiuyaoTime);

}  // namespace
