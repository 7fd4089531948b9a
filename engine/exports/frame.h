// The frame every export shares: date resolution, result codes and the text
// written into the caller's buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "../calendar/dates.h"
#include "../calendar/text_writer.h"
#include "orv.h"

namespace orv {

enum ResultCode : int { kResultOk = 0, kResultBadSolar = 1, kResultLunarNotFound = 2 };

constexpr std::size_t kChartBufferSize = ORV_CHART_BUFFER_SIZE;
constexpr std::size_t kZiweiBufferSize = ORV_ZIWEI_BUFFER_SIZE;

// Charts are cast for the civil years the calendar tables cover completely.
constexpr int kChartFirstYear = ORV_FIRST_YEAR;
constexpr int kChartLastYear = ORV_LAST_YEAR;

// The date block of a dated export.
struct DateBlock {
  uint8_t Solar = 1;
  uint8_t Leap = 0;
  int Year = 0, Month = 0, Day = 0, Hour = 0;
};

// Resolves the date block of an export into a moment. Solar input: a valid
// Gregorian date of 1902-2050 and an hour 0-23, else kResultBadSolar. Lunar
// input: month 1-12 (negated when leap), day 1-30, a civil day found by the
// lunar search, and the resulting moment inside 1902-2050, else
// kResultLunarNotFound. The moment is left as it was on a nonzero result.
int ResolveDate(bool solar, bool leap, int year, int month, int day, int hour, Moment& value);
// The same with a time of day to the second: the minutes and seconds are
// added as they come, like the hour of a lunar date.
int ResolveMoment(bool solar, bool leap, int year, int month, int day, int hour, int minute,
                  int second, Moment& value);

// A dated export: resolves the date block and, when it resolves, writes the
// chart text render(moment, out) into the buffer (capacity bytes, the
// terminating zero included, a longer text cut at the last whole GBK
// character that fits). On a nonzero result the buffer is not touched.
template <typename Render>
int32_t ExportChart(const DateBlock& date, char* buffer, std::size_t capacity, Render&& render) {
  Moment moment;
  const int code = ResolveDate(date.Solar != 0, date.Leap != 0, date.Year, date.Month, date.Day,
                               date.Hour, moment);
  if (code != kResultOk) return code;
  TextWriter out(buffer, capacity);
  render(moment, out);
  return kResultOk;
}

}  // namespace orv
