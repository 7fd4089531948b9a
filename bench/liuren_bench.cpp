// Str6Ren end to end, no question handler installed: date resolution, the
// chart object, its derivation, the text and the copy into the caller's
// buffer.
#include <benchmark/benchmark.h>

#include "exports/orv.h"

namespace {

void Str6RenSolar(benchmark::State& state) {
  char buffer[ORV_CHART_BUFFER_SIZE];
  int i = 0;
  for (auto _ : state) {
    // Walk through the days of a year, the twelve hour branches, day and
    // night, both noble tables and both 涉害 rules, with and without a birth
    // year.
    const int32_t rc = Str6Ren(1, 0, static_cast<uint8_t>(i & 1), 1984, 1 + i % 12, 1 + i % 28,
                               2 * (i % 12), buffer, static_cast<uint8_t>((i >> 1) & 1),
                               static_cast<uint8_t>((i >> 2) & 1),
                               static_cast<uint8_t>((i >> 3) & 1), (i & 16) ? 1960 : -1);
    benchmark::DoNotOptimize(rc);
    benchmark::DoNotOptimize(buffer[0]);
    ++i;
  }
}
BENCHMARK(Str6RenSolar);

void Str6RenLunar(benchmark::State& state) {
  char buffer[ORV_CHART_BUFFER_SIZE];
  int i = 0;
  for (auto _ : state) {
    // Late lunar months search furthest for their civil day.
    const int32_t rc = Str6Ren(0, 0, 1, 2023, 1 + i % 12, 1 + i % 29, 2 * (i % 12), buffer, 1, 1,
                               1, -1);
    benchmark::DoNotOptimize(rc);
    benchmark::DoNotOptimize(buffer[0]);
    ++i;
  }
}
BENCHMARK(Str6RenLunar);

}  // namespace
