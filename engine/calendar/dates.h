// Moments of civil time and the proleptic Gregorian calendar.
//
// Every chart is cast for a moment of the civil time in which the calendar
// tables are written (China Standard Time, UTC+8). The engine holds a moment
// as whole seconds on a clock of its own, counted from 1899-12-30 00:00 (day
// 0); durations are durations of seconds or days, and every division floors,
// so a moment before day 0 lies in the day that contains it. The clock is
// never read: a moment always comes from a date the caller gives.
#pragma once

#include <cstdint>

// The engine is compiled with the GBK execution character set, which cannot
// hold a literal of GCC's <chrono> (the "µs" it prints durations with). What
// the engine uses of std::chrono (durations, time points, floor) is the part
// that <chrono> itself includes first.
#if defined(__GLIBCXX__) && __has_include(<bits/chrono.h>)
#include <bits/chrono.h>
#else
#include <chrono>
#endif

namespace orv {

struct CivilClock {
  using rep = std::int64_t;
  using period = std::ratio<1>;
  using duration = std::chrono::duration<rep, period>;
  using time_point = std::chrono::time_point<CivilClock>;
  static constexpr bool is_steady = false;
};

using Seconds = CivilClock::duration;
using Minutes = std::chrono::duration<std::int64_t, std::ratio<60>>;
using Hours = std::chrono::duration<std::int64_t, std::ratio<3600>>;
using Days = std::chrono::duration<std::int64_t, std::ratio<86400>>;
using Moment = CivilClock::time_point;
// A solar-term instant: the table holds them to the millisecond, as they were
// published. A moment compares with one exactly (std::chrono compares them in
// milliseconds); the engine shows an instant as the whole second it lies in.
using Milliseconds = std::chrono::duration<std::int64_t, std::milli>;
using TermInstant = std::chrono::time_point<CivilClock, Milliseconds>;

// The whole second in which a term's instant lies: the time every text shows.
constexpr Moment ShownMoment(TermInstant instant) {
  return std::chrono::floor<Seconds>(instant);
}

struct CivilDate {
  int Year = 0, Month = 0, Day = 0;
  friend constexpr bool operator==(const CivilDate&, const CivilDate&) = default;
};

struct CivilTime {
  int Year = 0, Month = 0, Day = 0;
  int Hour = 0, Minute = 0, Second = 0;
  friend constexpr bool operator==(const CivilTime&, const CivilTime&) = default;
};

constexpr bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

constexpr int DaysInMonth(int year, int month) {
  constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Year 1-9999, month 1-12, day within the month.
constexpr bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month);
}

// The conversions between a civil date and a day count are Howard Hinnant's
// days_from_civil and civil_from_days ("chrono-Compatible Low-Level Date
// Algorithms"), the ones std::chrono's calendar uses: the year is taken to
// begin on 1 March, so that the leap day ends it, and is split into 400-year
// eras of 146097 days; the month lengths from March on follow
// (153 * m + 2) / 5. Both floor, so they hold for any year.
namespace detail {

// Days from 0000-03-01 to 1899-12-30.
constexpr std::int64_t kDay0FromEpoch = 693899;

constexpr std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

}  // namespace detail

// Days from day 0 to a civil date (any month 1-12 and day of it).
constexpr Days DaysFromCivil(int year, int month, int day) {
  const std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
  const std::int64_t era = detail::FloorDiv(y, 400);
  const std::int64_t yoe = y - era * 400;                              // 0-399
  const std::int64_t mp = month > 2 ? month - 3 : month + 9;           // March 0 … February 11
  const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;               // 0-365
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;      // 0-146096
  return Days{era * 146097 + doe - detail::kDay0FromEpoch};
}

constexpr CivilDate CivilFromDays(Days days) {
  const std::int64_t z = days.count() + detail::kDay0FromEpoch;
  const std::int64_t era = detail::FloorDiv(z, 146097);
  const std::int64_t doe = z - era * 146097;                                   // 0-146096
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;  // 0-399
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);            // 0-365
  const std::int64_t mp = (5 * doy + 2) / 153;                                 // 0-11
  CivilDate date;
  date.Day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  date.Month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  date.Year = static_cast<int>(yoe + era * 400 + (date.Month <= 2 ? 1 : 0));
  return date;
}

static_assert(DaysFromCivil(1899, 12, 30) == Days{0});
static_assert(DaysFromCivil(1900, 1, 1) == Days{2});
static_assert(CivilFromDays(Days{-1}) == CivilDate{1899, 12, 29});

// A civil day at 00:00, and a civil day at a time of day.
constexpr Moment EncodeDate(int year, int month, int day) {
  return Moment{DaysFromCivil(year, month, day)};
}
constexpr Moment EncodeDateTime(int year, int month, int day, int hour, int minute,
                                int second = 0) {
  return EncodeDate(year, month, day) + Hours{hour} + Minutes{minute} + Seconds{second};
}

// The day that contains a moment, as days since day 0 (floored).
constexpr Days DayNumber(Moment moment) {
  return std::chrono::floor<Days>(moment.time_since_epoch());
}
// The time of day of a moment, 00:00:00 to 23:59:59.
constexpr Seconds TimeOfDay(Moment moment) { return moment.time_since_epoch() - DayNumber(moment); }

constexpr Moment kFirstCivilMoment = EncodeDate(1, 1, 1);
constexpr Moment kEndCivilMoment = EncodeDate(10000, 1, 1);

// True when the moment's civil day lies in the years 1-9999; the decoders
// below give all-zero parts for any other moment.
constexpr bool InCivilYears(Moment moment) {
  return moment >= kFirstCivilMoment && moment < kEndCivilMoment;
}

constexpr CivilDate DecodeDate(Moment moment) {
  return InCivilYears(moment) ? CivilFromDays(DayNumber(moment)) : CivilDate{};
}

constexpr CivilTime DecodeDateTime(Moment moment) {
  if (!InCivilYears(moment)) return {};
  const CivilDate date = CivilFromDays(DayNumber(moment));
  const std::int64_t s = TimeOfDay(moment).count();
  return {date.Year,
          date.Month,
          date.Day,
          static_cast<int>(s / 3600),
          static_cast<int>(s / 60 % 60),
          static_cast<int>(s % 60)};
}

}  // namespace orv
