// The Four Pillars chart as data.
#include "bazi.h"
#include "calendar/chart_json.h"

namespace orv {
namespace {

constexpr auto kSpiritNames = utf8::Table(SpiritNames);
constexpr std::string_view kPillarKeys[4] = {"year", "month", "day", "hour"};

// A ten god by its number; null for none (the day's own stem).
void TenGod(JsonWriter& out, int number) {
  out.StringOrNull(number == 0 ? std::string_view() : json::kTenGodNames.At(number));
}

// One pillar: stem and branch with the ten god of the stem (none for the
// day's own stem), the hidden stems with theirs, the growth stage of the day
// stem at the branch, the nayin and the spirits.
void PillarColumn(JsonWriter& out, const BaziChart& chart, std::size_t c) {
  const auto& grid = chart.Grid;
  out.BeginObject();
  out.Key("pillar").String(kPillarKeys[c]);
  out.Key("stem");
  json::Symbol(out, grid[BaziFields::kStemRow][c]);
  out.Key("branch");
  json::Symbol(out, grid[BaziFields::kBranchRow][c]);
  out.Key("tenGod");
  TenGod(out, grid[BaziFields::kTenGodRow][c]);
  out.Key("hidden").BeginArray();
  for (std::size_t k = 0; k < 3; ++k) {
    const int stem = grid[BaziFields::kHiddenRow + k][c];
    if (stem == 0) continue;
    out.BeginObject();
    out.Key("stem");
    json::Symbol(out, stem);
    out.Key("tenGod");
    TenGod(out, grid[BaziFields::kTenGodRow + 2 + k][c]);
    out.EndObject();
  }
  out.EndArray();
  out.Key("growth").StringOrNull(json::kGrowthNames.At(grid[BaziFields::kGrowthRow][c] - 140));
  const Pillar pillar = chart.Pillars()[c];
  out.Key("nayin").StringOrNull(json::kNayinNames.At((CycleNumber(pillar) - 1) / 2));
  out.Key("spirits").BeginArray();
  for (const auto& slot : chart.Spirits) {
    const int n = slot[c];
    if (n > 0 && n < kSpiritCount) out.String(kSpiritNames[static_cast<std::size_t>(n)]);
  }
  out.EndArray();
  out.EndObject();
}

}  // namespace

void BaziJson(const BaziChart& chart, JsonWriter& out) {
  out.BeginObject();
  out.Key("sex").String(chart.Male ? "male" : "female");
  out.Key("pillars").BeginArray();
  for (std::size_t c = 0; c < 4; ++c) PillarColumn(out, chart, c);
  out.EndArray();
  out.Key("lifePalace");
  json::Symbol(out, chart.LifePalace);

  const auto whole = static_cast<int>(std::chrono::floor<Days>(chart.LuckOffset).count());
  out.Key("luck").BeginObject();
  out.Key("forward").Bool(chart.Forward != 0);
  out.Key("after").BeginObject();
  out.Key("years").Number(whole / 360);
  out.Key("months").Number(whole % 360 / 30);
  out.Key("days").Number(whole % 30);
  out.EndObject();
  out.Key("start");
  json::MomentValue(out, chart.LuckStart);
  out.Key("startAge").Number(chart.LuckStartAge);
  out.Key("startYear").Number(chart.LuckStartYear);
  out.Key("periods").BeginArray();
  for (int i = 0; i < BaziFields::kLuckPeriods; ++i) {
    const int age = chart.LuckStartAge + 10 * i, year = chart.LuckStartYear + 10 * i;
    out.BeginObject();
    out.Key("pillar");
    json::PillarValue(out, chart.LuckPillars[static_cast<std::size_t>(i)]);
    out.Key("age").Number(age);
    out.Key("year").Number(year);
    // The ten years of the period, [{"age":…,"year":…,"pillar":"…"}, …],
    // made in one piece: each year at most 64 bytes.
    out.Key("years").Raw<10 * 64 + 2>([&](Cursor& text) {
      int cycle = YearCycleNumber(year);
      for (int k = 0; k < 10; ++k) {
        text << (k == 0 ? "[{\"age\":" : ",{\"age\":") << age + k << ",\"year\":" << year + k
             << ",\"pillar\":\"" << json::PillarName(cycle) << "\"}";
        cycle = cycle == 60 ? 1 : cycle + 1;
      }
      text << ']';
    });
    out.EndObject();
  }
  out.EndArray();
  out.EndObject();
  out.EndObject();
}

}  // namespace orv
