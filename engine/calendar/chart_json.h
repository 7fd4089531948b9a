// What every chart writes of itself as data (JSON, UTF-8): names in UTF-8,
// pillars, moments, and the moment of a chart as the base derived it.
#pragma once

#include <string_view>

#include "base.h"
#include "json_writer.h"
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

// A symbol's name, or null for a blank.
inline void Symbol(JsonWriter& out, int code) { out.StringOrNull(Name(code)); }
// A pillar as its two names (甲子), or null when it is blank.
void PillarValue(JsonWriter& out, const Pillar& pillar);
// A moment as its civil date and time, "1984-02-04T23:18:44" (UTC+8, the
// time the tables are written in).
void MomentValue(JsonWriter& out, Moment moment);
// The lunar date of a chart: year, month (leap or not), day and its text.
void LunarValue(JsonWriter& out, int year, int month, int day);

// The "moment" member of a dated chart: the moment it was cast for, its
// lunar date, the four pillars, the day's xun and void branches and the
// solar terms.
void ChartMoment(JsonWriter& out, const BaseChart& chart);

}  // namespace orv::json
