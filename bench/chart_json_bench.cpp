// StrChartJson end to end for every method: the request, the moment, the
// chart cast as the text exports cast it, the JSON written into the
// caller's buffer.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "exports/orv.h"

namespace {

void ChartJson(benchmark::State& state, int32_t method) {
  std::vector<char> buffer(32768);
  OrvChartRequest r;
  std::memset(&r, 0, sizeof r);
  r.size = sizeof r;
  r.method = method;
  r.solar = 1;
  r.year = 1984;
  r.period = 8;
  r.xiagua = 1;
  int32_t i = 0;
  for (auto _ : state) {
    // Walk through the days and hours of a year, both sexes and placements.
    r.month = 1 + i % 12;
    r.day = 1 + i % 28;
    r.hour = i % 24;
    r.male = static_cast<uint8_t>(i & 1);
    r.flying = static_cast<uint8_t>(i & 1);
    r.mountain = i % 24;
    const int32_t n = StrChartJson(&r, buffer.data(), static_cast<int32_t>(buffer.size()));
    benchmark::DoNotOptimize(n);
    benchmark::DoNotOptimize(buffer[0]);
    ++i;
  }
}

BENCHMARK_CAPTURE(ChartJson, Bazi, ORV_METHOD_BAZI);
BENCHMARK_CAPTURE(ChartJson, Ziwei, ORV_METHOD_ZIWEI);
BENCHMARK_CAPTURE(ChartJson, Liuyao, ORV_METHOD_LIUYAO);
BENCHMARK_CAPTURE(ChartJson, Qimen, ORV_METHOD_QIMEN);
BENCHMARK_CAPTURE(ChartJson, Liuren, ORV_METHOD_LIUREN);
BENCHMARK_CAPTURE(ChartJson, Xuankong, ORV_METHOD_XUANKONG);

}  // namespace
