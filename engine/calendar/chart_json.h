// What every chart writes of itself as data (JSON, UTF-8): names in UTF-8,
// pillars, moments, and the moment of a chart as the base derived it.
#pragma once

#include <array>
#include <string_view>

#include "base.h"
#include "dates.h"
#include "json_writer.h"
#include "text_writer.h"
#include "names.h"
#include "utf8_names.h"

namespace orv::json {

// The UTF-8 twins of the shared name tables.
inline constexpr auto kSymbolNames = utf8::Table(SymbolNames);
inline constexpr auto kLunarMonthNames = utf8::Table(LunarMonthNames);
inline constexpr auto kLunarDayNames = utf8::Table(LunarDayNames);
inline constexpr auto kSolarTermNames = utf8::Table(SolarTermNames);
inline constexpr auto kTenGodNames = utf8::Table(TenGodLongNames);
inline constexpr auto kGrowthNames = utf8::Table(GrowthLongNames);
inline constexpr auto kNayinNames = utf8::Table(NayinNames);
inline constexpr auto kRelativeNames = utf8::Table(RelativeFullNames);
inline constexpr auto kRelativeShortNames = utf8::Table(RelativeShortNames);

// The name of a symbol code in UTF-8; the empty text for 0 (blank) and for
// codes outside the table, which a chart writes as null.
constexpr std::string_view Name(int code) { return code == 0 ? std::string_view() : kSymbolNames.At(code); }

// The sixty pillars in UTF-8 by cycle number (甲子 1 … 癸亥 60): six bytes
// each, every stem and branch being three.
inline constexpr auto kPillarNames = [] {
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

// The names of the pillar of cycle number n (1-60), six bytes; the empty
// text for other numbers.
constexpr std::string_view PillarName(int n) {
  if (n < 1 || n > 60) return {};
  return {kPillarNames[static_cast<std::size_t>(n)].data(), 6};
}

// A symbol's name, or null for a blank.
inline void Symbol(JsonWriter& out, int code) {
  out.StringOrNull(Name(code));
}

// A pillar as its two names (甲子), or null when it is blank.
inline void PillarValue(JsonWriter& out, const Pillar& pillar) {
  if (pillar.Stem == 0 && pillar.Branch == 0) {
    out.Null();
    return;
  }
  const int n = CycleNumber(pillar);
  if (n >= 1 && n <= 60 && PillarOfNumber(n) == pillar) {
    out.String(PillarName(n));
    return;
  }
  FixedText<24> text;
  text << Name(pillar.Stem) << Name(pillar.Branch);
  out.String(text.View());
}

// A moment as its civil date and time, "1984-02-04T23:18:44" (UTC+8, the
// time the tables are written in).
inline void MomentValue(JsonWriter& out, Moment moment) {
  const CivilTime t = DecodeDateTime(moment);
  if (t.Year < 0 || t.Year > 9999) {
    FixedText<24> text;
    text << Decimal(t.Year, 4) << "-" << Decimal(t.Month, 2) << "-" << Decimal(t.Day, 2) << "T"
         << Decimal(t.Hour, 2) << ":" << Decimal(t.Minute, 2) << ":" << Decimal(t.Second, 2);
    out.String(text.View());
    return;
  }
  const auto two = [](char* p, int v) {  // 0-99
    p[0] = detail::kDigitPairs[static_cast<std::size_t>(2 * v)];
    p[1] = detail::kDigitPairs[static_cast<std::size_t>(2 * v + 1)];
  };
  char text[] = "0000-00-00T00:00:00";
  two(text, t.Year / 100);
  two(text + 2, t.Year % 100);
  two(text + 5, t.Month);
  two(text + 8, t.Day);
  two(text + 11, t.Hour);
  two(text + 14, t.Minute);
  two(text + 17, t.Second);
  out.String(std::string_view(text, sizeof text - 1));
}

// The lunar date of a chart: year, month (leap or not), day and its text.
void LunarValue(JsonWriter& out, int year, int month, int day);

// The "moment" member of a dated chart: the moment it was cast for, its
// lunar date, the four pillars, the day's xun and void branches and the
// solar terms.
void ChartMoment(JsonWriter& out, const BaseChart& chart);

}  // namespace orv::json
