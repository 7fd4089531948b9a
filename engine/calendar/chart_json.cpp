#include "chart_json.h"

#include "text_writer.h"

namespace orv::json {

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
  MomentValue(out, ShownMoment(chart.JieInstant));
  out.EndObject();
  out.Key("principal").BeginObject();
  out.Key("name").StringOrNull(kSolarTermNames.At(chart.QiTerm));
  out.Key("at");
  MomentValue(out, ShownMoment(chart.QiInstant));
  out.EndObject();
  out.EndObject();
  out.EndObject();
}

}  // namespace orv::json
