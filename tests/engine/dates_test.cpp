#include "calendar/dates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orv {
namespace {

struct CivilCase {
  int y, m, d, h, mi, s, ms;
  double value;
};

TEST(Dates, EncodeAndDecodeKnownValues) {
  const CivilCase cases[] = {
      {1899, 12, 30, 0, 0, 0, 0, 0.0},
      {1900, 1, 1, 12, 0, 0, 0, 2.5},
      {1900, 1, 6, 3, 8, 0, 0, 7 + 188.0 / 1440},
      {1984, 2, 4, 23, 18, 44, 293, 30716.9713459811},
      {2000, 2, 29, 6, 0, 0, 0, 36585.25},
      {2050, 12, 31, 0, 0, 0, 0, 55153.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_NEAR(EncodeDateTime(c.y, c.m, c.d, c.h, c.mi, c.s, c.ms), c.value, 1e-8);  // 1 ms
    const DateTimeParts p = DecodeDateTime(c.value);
    EXPECT_EQ(p.Year, c.y);
    EXPECT_EQ(p.Month, c.m);
    EXPECT_EQ(p.Day, c.d);
    EXPECT_EQ(p.Hour, c.h);
    EXPECT_EQ(p.Minute, c.mi);
    EXPECT_EQ(p.Second, c.s);
    EXPECT_EQ(p.Millisecond, c.ms);
  }
}

TEST(Dates, DecodingRoundsToTheNearestMillisecond) {
  // Less than half a millisecond before midnight rounds to the next day.
  const double justBefore = EncodeDate(1984, 2, 4) + 1 - 0.4 / 86400000;
  const DateTimeParts p = DecodeDateTime(justBefore);
  EXPECT_EQ(p.Day, 5);
  EXPECT_EQ(p.Hour, 0);
  EXPECT_EQ(p.Millisecond, 0);
  // The lichun instant of 1984, 23:18:44.29, stays in its second.
  int h, mi, s, ms;
  DecodeTime(30716.9713459811, h, mi, s, ms);
  EXPECT_EQ(s, 44);
  EXPECT_EQ(ms / 10, 29);
}

TEST(Dates, ValidDateTest) {
  struct {
    int y, m, d;
    bool valid;
  } cases[] = {
      {2001, 2, 29, false}, {2000, 2, 29, true}, {1900, 2, 29, false}, {2024, 2, 29, true},
      {1984, 4, 31, false}, {1984, 12, 31, true}, {1984, 13, 1, false}, {1984, 0, 1, false},
      {1984, 1, 0, false},  {0, 1, 1, false},     {9999, 12, 31, true}, {10000, 1, 1, false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidDate(c.y, c.m, c.d), c.valid) << c.y << "-" << c.m << "-" << c.d;
}

TEST(Dates, ComponentsAndFormatting) {
  const double v = EncodeDateTime(2023, 3, 22, 7, 5, 59, 999);
  EXPECT_EQ(YearOf(v), 2023);
  EXPECT_EQ(MonthOf(v), 3);
  EXPECT_EQ(DayOf(v), 22);
  EXPECT_EQ(HourOf(v), 7);
  EXPECT_EQ(FormatHHMM(v), "07:05");
  EXPECT_EQ(FormatHHMM(EncodeDateTime(2023, 3, 22, 23, 59, 0)), "23:59");
  EXPECT_EQ(WholeDays(v), 45007);
  EXPECT_EQ(WholeDays(-1.5), -1);  // toward zero
}

TEST(Dates, ValuesOutsideTheCalendarDecodeToZeroParts) {
  const double bad[] = {std::numeric_limits<double>::quiet_NaN(),
                        std::numeric_limits<double>::infinity(), -1e300, 1e300,
                        EncodeDate(9999, 12, 31) + 2};
  for (double v : bad) {
    EXPECT_FALSE(IsDecodable(v)) << v;
    EXPECT_EQ(YearOf(v), 0);
  }
  EXPECT_TRUE(IsDecodable(EncodeDate(1, 1, 1)));
  EXPECT_EQ(YearOf(EncodeDate(1, 1, 1)), 1);
}

}  // namespace
}  // namespace orv
