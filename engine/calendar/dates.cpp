#include "dates.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace orv {
namespace {

constexpr long long kMsPerDay = 86400000LL;

// The conversions between a civil date and a day count are Howard Hinnant's
// days_from_civil and civil_from_days ("chrono-Compatible Low-Level Date
// Algorithms"): the year is taken to begin on 1 March, so that the leap day
// ends it, and is split into 400-year eras of 146097 days; the month lengths
// from March on follow (153 * m + 2) / 5.

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
constexpr long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

constexpr void CivilFromDays(long long z, int& year, int& month, int& day) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long y = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

// Day 0 of a date value, 1899-12-30, in days since 1970-01-01.
constexpr long long kDay0 = DaysFromCivil(1899, 12, 30);
static_assert(kDay0 - DaysFromCivil(1900, 1, 1) == -2);

const double kFirstDay = static_cast<double>(DaysFromCivil(1, 1, 1) - kDay0);
const double kEndDay = static_cast<double>(DaysFromCivil(10000, 1, 1) - kDay0);

// The value rounded to whole milliseconds, split into the day (toward zero,
// as the integer part of the value) and the milliseconds of the time of day.
void Split(double value, long long& day, long long& ms) {
  const long long total = std::llround(value * static_cast<double>(kMsPerDay));
  day = total / kMsPerDay;
  ms = total % kMsPerDay;
  if (ms < 0) ms = -ms;
}

}  // namespace

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month);
}

double EncodeDate(int year, int month, int day) {
  return static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month),
                                           static_cast<unsigned>(day)) -
                             kDay0);
}

double EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                      int millisecond) {
  const double time =
      (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) / kMsPerDay;
  return EncodeDate(year, month, day) + time;
}

bool IsDecodable(double value) {
  return std::isfinite(value) && value > kFirstDay - 1 && value < kEndDay;
}

DateTimeParts DecodeDateTime(double value) {
  DateTimeParts p;
  if (!IsDecodable(value)) return p;
  long long day, ms;
  Split(value, day, ms);
  CivilFromDays(day + kDay0, p.Year, p.Month, p.Day);
  p.Hour = static_cast<int>(ms / 3600000);
  p.Minute = static_cast<int>(ms / 60000 % 60);
  p.Second = static_cast<int>(ms / 1000 % 60);
  p.Millisecond = static_cast<int>(ms % 1000);
  return p;
}

void DecodeDate(double value, int& year, int& month, int& day) {
  const DateTimeParts p = DecodeDateTime(value);
  year = p.Year;
  month = p.Month;
  day = p.Day;
}

void DecodeTime(double value, int& hour, int& minute, int& second, int& millisecond) {
  const DateTimeParts p = DecodeDateTime(value);
  hour = p.Hour;
  minute = p.Minute;
  second = p.Second;
  millisecond = p.Millisecond;
}

int YearOf(double value) { return DecodeDateTime(value).Year; }
int MonthOf(double value) { return DecodeDateTime(value).Month; }
int DayOf(double value) { return DecodeDateTime(value).Day; }
int HourOf(double value) { return DecodeDateTime(value).Hour; }

std::string FormatHHMM(double value) {
  const DateTimeParts p = DecodeDateTime(value);
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", p.Hour % 100, p.Minute % 100);
  return text;
}

long long WholeDays(double value) {
  if (!std::isfinite(value) || std::fabs(value) > 9.0e15) return 0;
  return static_cast<long long>(value);
}

double Now() {
  const std::time_t t = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &t);  // the C runtime's thread-safe form, arguments swapped
#else
  localtime_r(&t, &local);
#endif
  return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                        local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec);
}

}  // namespace orv
