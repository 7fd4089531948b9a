#include "lunar.h"

#include <array>
#include <cstdint>
#include <iterator>

namespace orv {

// One record per lunar year 1901-2050, made by tools/lunar/generate.js.
constexpr LunarYearRecord LunarYearTable[kLunarLastYear - kLunarFirstYear + 1] = {
#include "lunar_year_data.inc"
};

// Days before each civil month of a common [0] and a leap [1] year, going on
// for January and February of the next year.
const int DaysBeforeMonth[2][14] = {
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365, 396},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366, 397},
};

namespace {

const LunarYearRecord& RecordOf(int lunarYear) {
  return LunarYearTable[lunarYear - kLunarFirstYear];
}

// Where each month of a lunar year ends, as the day of the year (from 1
// January of the civil year it begins in) of its last day, in running
// order; the places after the last month hold a day no date reaches. Made
// from the records while compiling.
constexpr int kMonthSlots = 13;
constexpr int16_t kNoMonth = INT16_MAX;
struct MonthEnds {
  int16_t Ends[16];  // running order 0-12, then kNoMonth
  int16_t YearEnd;   // the last day of the year
};
constexpr auto kMonthEnds = [] {
  std::array<MonthEnds, std::size(LunarYearTable)> years{};
  for (std::size_t y = 0; y < years.size(); ++y) {
    const LunarYearRecord& r = LunarYearTable[y];
    const int months = r.LeapMonth != 0 ? 13 : 12;
    int day = r.NewYearOffset;
    for (int k = 0; k < 16; ++k) {
      if (k < months) day += 29 + r.MonthLengths[k];
      years[y].Ends[k] = k < months ? static_cast<int16_t>(day) : kNoMonth;
    }
    years[y].YearEnd = static_cast<int16_t>(day);
  }
  return years;
}();

const MonthEnds& EndsOf(int lunarYear) { return kMonthEnds[static_cast<std::size_t>(lunarYear - kLunarFirstYear)]; }

// The day of the year before the first day of the month at running
// position k (0-12).
int DayBeforeMonth(int lunarYear, int k) {
  return k == 0 ? RecordOf(lunarYear).NewYearOffset : EndsOf(lunarYear).Ends[k - 1];
}

int Column(int year) { return IsLeapYear(year) ? 1 : 0; }

}  // namespace

std::optional<LunarDate> SolarToLunar(Moment moment) { return SolarToLunar(DecodeDate(moment)); }

std::optional<LunarDate> SolarToLunar(const CivilDate& date) {
  const int y = date.Year, m = date.Month, d = date.Day;
  if (y < kLunarFirstYear || y > kLunarLastYear + 1) return std::nullopt;

  // Day of the year, and the lunar year it falls in.
  int g = DaysBeforeMonth[Column(y)][m - 1] + d;
  int lunarYear = y;
  if (y > kLunarLastYear || g <= RecordOf(y).NewYearOffset) {
    // Before the new year: the end of the lunar year begun in the year
    // before, counted from 1 January of that year. Only January and
    // February can lie there.
    lunarYear = y - 1;
    if (lunarYear < kLunarFirstYear || m > 2) return std::nullopt;
    g = DaysBeforeMonth[Column(lunarYear)][m - 1 + 12] + d;
  }
  const LunarYearRecord& record = RecordOf(lunarYear);
  const MonthEnds& ends = EndsOf(lunarYear);
  // Past the last day of the table (early 2051).
  if (g > ends.YearEnd) return std::nullopt;

  // The months that end before the day (counted without a branch: a day
  // may fall in any of them).
  int k = 0;
  for (int slot = 0; slot < kMonthSlots; ++slot) k += ends.Ends[slot] < g ? 1 : 0;
  int n = k + 1;  // position of the month in running order, 1-13
  const int day = g - DayBeforeMonth(lunarYear, k);

  int month = n;
  const int leap = record.LeapMonth;
  if (leap != 0 && leap < n) {
    n -= 1;
    month = n == leap ? -leap : n;
  }
  if (month >= 13) month -= 12;

  return LunarDate{lunarYear, month, day};
}

std::optional<Moment> LunarToSolar(int year, int month, int day) {
  const int absMonth = month < 0 ? -month : month;
  if (absMonth < 1 || absMonth > 12 || day < 1 || day > 30) return std::nullopt;
  // Only the table's lunar years have days at all.
  if (year < kLunarFirstYear || year > kLunarLastYear) return std::nullopt;

  // The search window: 90 days before to 274 days after the first of the
  // civil month with the same number; only days of 1902-2050 count.
  const Moment start = EncodeDate(year, absMonth, 1) - Days{90};
  const Moment end = start + Days{364};

  // SolarToLunar gives every civil day its own lunar date, so at most one day
  // of the window matches: the day the record itself places the date on. It
  // is computed from the record; it is the date's day when the month has
  // that many days (else it is a day of the next month), which is exactly
  // the day a walk through the window would find.
  const LunarYearRecord& record = RecordOf(year);
  const int leap = record.LeapMonth;
  int position;  // index of the month in running order
  if (month < 0) {
    if (leap != absMonth) return std::nullopt;
    position = leap;
  } else {
    position = month - 1 + (leap != 0 && leap < month ? 1 : 0);
  }
  if (day > 29 + record.MonthLengths[position]) return std::nullopt;
  const Moment candidate = EncodeDate(year, 1, 1) + Days{DayBeforeMonth(year, position) + day - 1};

  if (candidate < start || candidate > end) return std::nullopt;
  const CivilDate civil = DecodeDate(candidate);
  if (civil.Year < 1902 || civil.Year > kLunarLastYear) return std::nullopt;
  return candidate;
}

}  // namespace orv
