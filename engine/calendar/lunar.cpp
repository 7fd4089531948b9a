#include "lunar.h"

namespace orv {

// One record per lunar year 1901-2050, made by tools/lunar/generate.js.
const LunarYearRecord LunarYearTable[kLunarLastYear - kLunarFirstYear + 1] = {
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

// Number of days of the lunar year: 12 months, 13 with a leap month.
int DaysOfYear(const LunarYearRecord& r) {
  const int months = r.LeapMonth != 0 ? 13 : 12;
  int days = 0;
  for (int k = 0; k < months; ++k) days += 29 + r.MonthLengths[k];
  return days;
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
  // Past the last day of the table (early 2051).
  if (g > record.NewYearOffset + DaysOfYear(record)) return std::nullopt;

  // Walk the months; r is the day of the year before the month's first day.
  int r = record.NewYearOffset;
  int k = 0;
  for (; k < 13; ++k) {
    const int c = r + 29 + record.MonthLengths[k];
    if (c >= g) break;
    r = c;
  }
  int n = k + 1;  // position of the month in running order, 1-13
  const int day = g - r;

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
  // is computed from the record and confirmed by the forward conversion, which
  // finds exactly the day a walk through the window would find.
  const LunarYearRecord& record = RecordOf(year);
  const int leap = record.LeapMonth;
  int position;  // index of the month in running order
  if (month < 0) {
    if (leap != absMonth) return std::nullopt;
    position = leap;
  } else {
    position = month - 1 + (leap != 0 && leap < month ? 1 : 0);
  }
  int offset = record.NewYearOffset;
  for (int k = 0; k < position; ++k) offset += 29 + record.MonthLengths[k];
  const Moment candidate = EncodeDate(year, 1, 1) + Days{offset + day - 1};

  if (candidate < start || candidate > end) return std::nullopt;
  const CivilDate civil = DecodeDate(candidate);
  if (civil.Year < 1902 || civil.Year > kLunarLastYear) return std::nullopt;
  const std::optional<LunarDate> lunar = SolarToLunar(civil);
  if (!lunar || !(*lunar == LunarDate{year, month, day})) return std::nullopt;
  return candidate;
}

}  // namespace orv
