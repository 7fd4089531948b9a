// The frame every export shares: date resolution, result codes and the copy
// of the chart text into the caller's buffer.
#pragma once

#include <cstddef>
#include <string_view>

#include "../calendar/dates.h"
#include "orv.h"

namespace orv {

enum ResultCode : int { kResultOk = 0, kResultBadSolar = 1, kResultLunarNotFound = 2 };

constexpr std::size_t kChartBufferSize = ORV_CHART_BUFFER_SIZE;
constexpr std::size_t kZiweiBufferSize = ORV_ZIWEI_BUFFER_SIZE;

// Charts are cast for the civil years the calendar tables cover completely.
constexpr int kChartFirstYear = ORV_FIRST_YEAR;
constexpr int kChartLastYear = ORV_LAST_YEAR;

// Resolves the date block of an export into a moment. Solar input: a
// valid Gregorian date of 1902-2050 and an hour 0-23, else kResultBadSolar.
// Lunar input: month 1-12 (negated when leap), day 1-30, a civil day found by
// the lunar search, and the resulting moment inside 1902-2050, else
// kResultLunarNotFound.
int ResolveDate(bool solar, bool leap, int year, int month, int day, int hour, Moment& value);

// Length of the longest prefix of text that fits in limit bytes without
// cutting a GBK double-byte character (lead byte 0x81-0xFE and the byte after
// it). A lead byte that ends the text has no second byte: it counts as one
// byte of its own. The result never exceeds text.size(); a text that fits is
// taken whole.
std::size_t GbkPrefixLength(std::string_view text, std::size_t limit);

// Copies text and its terminating zero into buffer (capacity bytes in all),
// cutting a longer text at the last whole GBK character that fits.
void CopyChart(std::string_view text, char* buffer, std::size_t capacity);

}  // namespace orv
