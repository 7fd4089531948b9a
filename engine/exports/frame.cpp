#include "frame.h"

#include <cstring>

#include "../calendar/lunar.h"

namespace orv {
namespace {

constexpr Moment kChartsBegin = EncodeDate(kChartFirstYear, 1, 1);
constexpr Moment kChartsEnd = EncodeDate(kChartLastYear + 1, 1, 1);

}  // namespace

int ResolveDate(bool solar, bool leap, int year, int month, int day, int hour, Moment& value) {
  if (solar) {
    if (!IsValidDate(year, month, day) || hour < 0 || hour > 23) return kResultBadSolar;
    if (year < kChartFirstYear || year > kChartLastYear) return kResultBadSolar;
    value = EncodeDate(year, month, day) + Hours{hour};
    return kResultOk;
  }
  if (month < 1 || month > 12 || day < 1 || day > 30) return kResultLunarNotFound;
  if (year < kLunarFirstYear || year > kLunarLastYear) return kResultLunarNotFound;
  const auto found = LunarToSolar(year, leap ? -month : month, day);
  if (!found) return kResultLunarNotFound;
  // The hour is added as it comes; the moment must stay inside the years of
  // the tables.
  const Moment resolved = *found + Hours{hour};
  if (resolved < kChartsBegin || resolved >= kChartsEnd) return kResultLunarNotFound;
  value = resolved;
  return kResultOk;
}

std::size_t GbkPrefixLength(std::string_view text, std::size_t limit) {
  // A text that fits is walked too (a chart is a few thousand bytes): the
  // walk ends exactly at its end, since a lead byte in the last place counts
  // as one byte.
  std::size_t pos = 0;
  while (pos < text.size()) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    const std::size_t width = (lead >= 0x81 && lead <= 0xFE && pos + 1 < text.size()) ? 2 : 1;
    if (pos + width > limit) break;
    pos += width;
  }
  return pos;
}

void CopyChart(std::string_view text, char* buffer, std::size_t capacity) {
  if (buffer == nullptr || capacity == 0) return;
  const std::size_t length = GbkPrefixLength(text, capacity - 1);
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}

}  // namespace orv
