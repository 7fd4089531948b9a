// StrBazi and StrZiwei end to end: date resolution, the chart object, its
// derivation (for Purple Star the 45 placement steps), the text and the copy
// into the caller's buffer. Both take a birth: calendar, date, hour and sex.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <type_traits>
#include <vector>

#include "exports/orv.h"

namespace {

using BirthChartExport = decltype(StrBazi);
static_assert(std::is_same_v<BirthChartExport, decltype(StrZiwei)>);

// Solar births walk through the days of 1984; lunar ones through 2023, whose
// late months search furthest for their civil day. Hours and sexes vary too.
void BirthChart(benchmark::State& state, BirthChartExport* chart, std::size_t bufferSize,
                uint8_t solar) {
  std::vector<char> buffer(bufferSize);
  const int32_t year = solar != 0 ? 1984 : 2023;
  const int32_t days = solar != 0 ? 28 : 29;
  int32_t i = 0;
  for (auto _ : state) {
    const int32_t rc = chart(solar, 0, static_cast<uint8_t>(i & 1), year, 1 + i % 12,
                             1 + i % days, i % 24, buffer.data());
    benchmark::DoNotOptimize(rc);
    benchmark::DoNotOptimize(buffer[0]);
    ++i;
  }
}

BENCHMARK_CAPTURE(BirthChart, StrBaziSolar, &StrBazi, ORV_CHART_BUFFER_SIZE, 1);
BENCHMARK_CAPTURE(BirthChart, StrBaziLunar, &StrBazi, ORV_CHART_BUFFER_SIZE, 0);
BENCHMARK_CAPTURE(BirthChart, StrZiweiSolar, &StrZiwei, ORV_ZIWEI_BUFFER_SIZE, 1);
BENCHMARK_CAPTURE(BirthChart, StrZiweiLunar, &StrZiwei, ORV_ZIWEI_BUFFER_SIZE, 0);

}  // namespace
