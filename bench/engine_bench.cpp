// Date resolution and the base chart (derived when the date is set): what
// every export does before its method's own work.
#include <benchmark/benchmark.h>

#include "calendar/base.h"
#include "exports/frame.h"

namespace {

void SolarResolutionAndRecompute(benchmark::State& state) {
  orv::TOrvBase base;
  int day = 0;
  for (auto _ : state) {
    orv::Moment value;
    orv::ResolveDate(true, false, 1984, 2, 1 + day % 28, 12, value);
    base.SetDate(value);
    benchmark::DoNotOptimize(base.DayPillar);
    ++day;
  }
}
BENCHMARK(SolarResolutionAndRecompute);

void LunarResolutionAndRecompute(benchmark::State& state) {
  orv::TOrvBase base;
  int day = 0;
  for (auto _ : state) {
    orv::Moment value;
    // Late months search furthest into the window.
    orv::ResolveDate(false, false, 1984, 1 + day % 12, 1 + day % 29, 12, value);
    base.SetDate(value);
    benchmark::DoNotOptimize(base.DayPillar);
    ++day;
  }
}
BENCHMARK(LunarResolutionAndRecompute);

}  // namespace

BENCHMARK_MAIN();
