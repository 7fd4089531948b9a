// The Chinese lunar calendar, from one constant record per lunar year.
#pragma once

#include <cstdint>
#include <optional>

#include "dates.h"

namespace orv {

struct LunarDate {
  int Year = 0;   // Gregorian number of the year in which the lunar year begins
  int Month = 0;  // 1-12, negative for the leap month that follows month |Month|
  int Day = 0;    // 1-30
  friend bool operator==(const LunarDate&, const LunarDate&) = default;
};

struct LunarYearRecord {
  int16_t NewYearOffset;     // days from 1 January to the lunar new year
  int8_t LeapMonth;          // 0, or L: the leap month follows month L
  uint8_t MonthLengths[13];  // in running order: 1 for 30 days, 0 for 29
};

constexpr int kLunarFirstYear = 1901;
constexpr int kLunarLastYear = 2050;

extern const LunarYearRecord LunarYearTable[kLunarLastYear - kLunarFirstYear + 1];

// Days before each civil month, continued two months into the next year.
extern const int DaysBeforeMonth[2][14];

// The lunar date of the civil day of a moment (the time is ignored).
// Answers for every day from the lunar new year 1901 to the last day of the
// lunar year 2050 (early 2051); nothing outside.
std::optional<LunarDate> SolarToLunar(Moment moment);
std::optional<LunarDate> SolarToLunar(const CivilDate& date);

// The civil day (at 00:00) with the given lunar date, month negative for a
// leap month. Only days of civil years 1902-2050 match.
std::optional<Moment> LunarToSolar(int year, int month, int day);

}  // namespace orv
