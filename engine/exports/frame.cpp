#include "frame.h"

#include "../calendar/lunar.h"

namespace orv {
namespace {

constexpr Moment kChartsBegin = EncodeDate(kChartFirstYear, 1, 1);
constexpr Moment kChartsEnd = EncodeDate(kChartLastYear + 1, 1, 1);

}  // namespace

int ResolveDate(bool solar, bool leap, int year, int month, int day, int hour, Moment& value) {
  return ResolveMoment(solar, leap, year, month, day, hour, 0, 0, value);
}

int ResolveMoment(bool solar, bool leap, int year, int month, int day, int hour, int minute,
                  int second, Moment& value) {
  const Seconds time = Hours{hour} + Minutes{minute} + Seconds{second};
  if (solar) {
    if (!IsValidDate(year, month, day) || hour < 0 || hour > 23) return kResultBadSolar;
    if (year < kChartFirstYear || year > kChartLastYear) return kResultBadSolar;
    value = EncodeDate(year, month, day) + time;
    return kResultOk;
  }
  if (month < 1 || month > 12 || day < 1 || day > 30) return kResultLunarNotFound;
  if (year < kLunarFirstYear || year > kLunarLastYear) return kResultLunarNotFound;
  const auto found = LunarToSolar(year, leap ? -month : month, day);
  if (!found) return kResultLunarNotFound;
  // The time is added as it comes; the moment must stay inside the years of
  // the tables.
  const Moment resolved = *found + time;
  if (resolved < kChartsBegin || resolved >= kChartsEnd) return kResultLunarNotFound;
  value = resolved;
  return kResultOk;
}

}  // namespace orv
