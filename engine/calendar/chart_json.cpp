#include "chart_json.h"

#include <array>

#include "text_writer.h"

namespace orv::json {

namespace {

// The sixty pillars in UTF-8 by cycle number (甲子 1 … 癸亥 60): six bytes
// each, every stem and branch being three.
constexpr auto kPillarNames = [] {
  std::array<std::array<char, 6>, 61> names{};
  for (int n = 1; n <= 60; ++n) {
    const Pillar p = PillarOfNumber(n);
    const std::string_view stem = Name(p.Stem), branch = Name(p.Branch);
    if (stem.size() != 3 || branch.size() != 3) throw "a stem or a branch not of three bytes";
    auto& name = names[static_cast<std::size_t>(n)];
    for (std::size_t k = 0; k < 3; ++k) {
      name[k] = stem[k];
      name[3 + k] = branch[k];
    }
  }
  return names;
}();

// Two decimal digits of v (0-99) at p.
void PutTwoDigits(char* p, int v) {
  p[0] = static_cast<char>('0' + v / 10);
  p[1] = static_cast<char>('0' + v % 10);
}

}  // namespace

void PillarValue(JsonWriter& out, const Pillar& pillar) {
  if (pillar.Stem == 0 && pillar.Branch == 0) {
    out.Null();
    return;
  }
  const int n = CycleNumber(pillar);
  if (n >= 1 && n <= 60 && PillarOfNumber(n) == pillar) {
    const auto& name = kPillarNames[static_cast<std::size_t>(n)];
    out.String(std::string_view(name.data(), name.size()));
    return;
  }
  FixedText<16> text;
  text << Name(pillar.Stem) << Name(pillar.Branch);
  out.String(text.View());
}

void MomentValue(JsonWriter& out, Moment moment) {
  const CivilTime t = DecodeDateTime(moment);
  if (t.Year < 0 || t.Year > 9999) {
    FixedText<24> text;
    text << Decimal(t.Year, 4) << "-" << Decimal(t.Month, 2) << "-" << Decimal(t.Day, 2) << "T"
         << Decimal(t.Hour, 2) << ":" << Decimal(t.Minute, 2) << ":" << Decimal(t.Second, 2);
    out.String(text.View());
    return;
  }
  char text[] = "0000-00-00T00:00:00";
  PutTwoDigits(text, t.Year / 100);
  PutTwoDigits(text + 2, t.Year % 100);
  PutTwoDigits(text + 5, t.Month);
  PutTwoDigits(text + 8, t.Day);
  PutTwoDigits(text + 11, t.Hour);
  PutTwoDigits(text + 14, t.Minute);
  PutTwoDigits(text + 17, t.Second);
  out.String(std::string_view(text, sizeof text - 1));
}

void LunarValue(JsonWriter& out, int year, int month, int day) {
  const int m = month < 0 ? -month : month;
  FixedText<32> text;
  if (month < 0) text << kLunarMonthNames.At(0);
  text << kLunarMonthNames.At(m) << std::string_view(reinterpret_cast<const char*>(u8"月"), 3)
       << kLunarDayNames.At(day);
  out.BeginObject();
  out.Key("year").Number(year);
  out.Key("month").Number(m);
  out.Key("leap").Bool(month < 0);
  out.Key("day").Number(day);
  out.Key("text").String(text.View());
  out.EndObject();
}

void ChartMoment(JsonWriter& out, const BaseChart& chart) {
  out.BeginObject();
  out.Key("civil");
  MomentValue(out, chart.DateValue);
  out.Key("lunar");
  LunarValue(out, chart.Lunar[0], chart.Lunar[1], chart.Lunar[2]);
  out.Key("pillars").BeginObject();
  out.Key("year");
  PillarValue(out, chart.YearPillar);
  out.Key("month");
  PillarValue(out, chart.MonthPillar);
  out.Key("day");
  PillarValue(out, chart.DayPillar);
  out.Key("hour");
  PillarValue(out, chart.HourPillar);
  out.EndObject();
  out.Key("xun");
  PillarValue(out, chart.DayXun);
  const std::array<int, 2> voids = VoidBranches(chart.DayPillar);
  out.Key("void").BeginArray();
  Symbol(out, voids[0]);
  Symbol(out, voids[1]);
  out.EndArray();
  out.Key("terms").BeginObject();
  out.Key("current").StringOrNull(kSolarTermNames.At(chart.CurrentTerm));
  out.Key("sectional").BeginObject();
  out.Key("name").StringOrNull(kSolarTermNames.At(chart.JieTerm));
  out.Key("at");
  MomentValue(out, chart.JieInstant);
  out.EndObject();
  out.Key("principal").BeginObject();
  out.Key("name").StringOrNull(kSolarTermNames.At(chart.QiTerm));
  out.Key("at");
  MomentValue(out, chart.QiInstant);
  out.EndObject();
  out.EndObject();
  out.EndObject();
}

}  // namespace orv::json
