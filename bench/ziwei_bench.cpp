// StrZiwei end to end: date resolution, the chart object, the 45 placement
// steps, the text and the copy into the caller's buffer.
#include <benchmark/benchmark.h>

#include "exports/orv.h"

namespace {

void StrZiweiSolar(benchmark::State& state) {
  char buffer[ORV_ZIWEI_BUFFER_SIZE];
  int i = 0;
  for (auto _ : state) {
    // Walk through the days of a year and through the hours and both sexes.
    const int32_t rc = StrZiwei(1, 0, static_cast<uint8_t>(i & 1), 1984, 1 + i % 12,
                                1 + i % 28, i % 24, buffer);
    benchmark::DoNotOptimize(rc);
    benchmark::DoNotOptimize(buffer[0]);
    ++i;
  }
}
BENCHMARK(StrZiweiSolar);

void StrZiweiLunar(benchmark::State& state) {
  char buffer[ORV_ZIWEI_BUFFER_SIZE];
  int i = 0;
  for (auto _ : state) {
    // Late lunar months search furthest for their civil day.
    const int32_t rc = StrZiwei(0, 0, static_cast<uint8_t>(i & 1), 2023, 1 + i % 12,
                                1 + i % 29, i % 24, buffer);
    benchmark::DoNotOptimize(rc);
    benchmark::DoNotOptimize(buffer[0]);
    ++i;
  }
}
BENCHMARK(StrZiweiLunar);

}  // namespace
