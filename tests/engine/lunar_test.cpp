#include "calendar/lunar.h"

#include <gtest/gtest.h>

#include <string>

#include "calendar/dates.h"

namespace orv {
namespace {

int YearLength(const LunarYearRecord& r) {
  int days = 0;
  for (int k = 0; k < (r.LeapMonth ? 13 : 12); ++k) days += 29 + r.MonthLengths[k];
  return days;
}

Moment NewYearDay(int year) {
  return EncodeDate(year, 1, 1) + Days{LunarYearTable[year - kLunarFirstYear].NewYearOffset};
}

TEST(LunarYearTable, TellingRows) {
  struct {
    int year;
    int m, d;
    int leap;
    const char* lengths;
  } rows[] = {
      {1901, 2, 19, 0, "010010101110"},  {1903, 1, 29, 5, "0101001001101"},
      {1984, 2, 2, 10, "1011001001011"}, {2023, 1, 22, 2, "0100110110101"},
      {2033, 1, 31, 11, "0100101011101"}, {2050, 1, 23, 3, "0101010110100"},
      // The published calendar of 1914-1920, reckoned in Beijing local time.
      {1914, 1, 26, 5, "1101010100101"}, {1915, 2, 14, 0, "101101010100"},
      {1916, 2, 3, 0, "110101101010"},   {1920, 2, 20, 0, "010010010111"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.year);
    const LunarYearRecord& rec = LunarYearTable[r.year - kLunarFirstYear];
    EXPECT_EQ(NewYearDay(r.year), EncodeDate(r.year, r.m, r.d));
    EXPECT_EQ(rec.LeapMonth, r.leap);
    std::string flags;
    for (int k = 0; k < 13; ++k) flags += static_cast<char>('0' + rec.MonthLengths[k]);
    const std::string expected = std::string(r.lengths) + (r.leap ? "" : "0");
    EXPECT_EQ(flags, expected);
  }
}

TEST(LunarYearTable, MonthsAddUpToTheGapToTheNextNewYear) {
  for (int y = kLunarFirstYear; y < kLunarLastYear; ++y) {
    const LunarYearRecord& r = LunarYearTable[y - kLunarFirstYear];
    EXPECT_EQ(NewYearDay(y) + Days{YearLength(r)}, NewYearDay(y + 1)) << y;
    EXPECT_TRUE(r.LeapMonth >= 0 && r.LeapMonth <= 12) << y;
    if (r.LeapMonth == 0) {
      EXPECT_EQ(r.MonthLengths[12], 0) << y;
    }
    EXPECT_GE(NewYearDay(y), EncodeDate(y, 1, 21)) << y;
    EXPECT_LE(NewYearDay(y), EncodeDate(y, 2, 20)) << y;
  }
  // The lunar year 2050 (383 days from 23 January) ends on 9 February 2051.
  EXPECT_EQ(NewYearDay(2050) + Days{YearLength(LunarYearTable[2050 - kLunarFirstYear])},
            EncodeDate(2051, 2, 10));
}

// Days before the first of each month, counted from 1 January: the month
// lengths summed (31, 28 or 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31, then
// January again), for a common year (2023) and a leap year (2024).
TEST(LunarYearTable, DaysBeforeMonth) {
  for (const int year : {2023, 2024}) {
    const int column = year == 2024 ? 1 : 0;
    int days = 0;
    for (int i = 0; i < 14; ++i) {
      SCOPED_TRACE(testing::Message() << year << " month " << i + 1);
      EXPECT_EQ(DaysBeforeMonth[column][i], days);
      const int month = i % 12 + 1;
      days += month == 2 ? (column == 1 && i < 12 ? 29 : 28)
                         : (month == 4 || month == 6 || month == 9 || month == 11 ? 30 : 31);
    }
  }
  // 1 March is day 60 of a common year, day 61 of a leap year.
  EXPECT_EQ(DaysBeforeMonth[0][2], 59);
  EXPECT_EQ(DaysBeforeMonth[1][2], 60);
}

TEST(SolarToLunar, EdgeCases) {
  struct {
    int y, m, d;
    LunarDate lunar;
  } cases[] = {
      {1984, 2, 1, {1983, 12, 30}}, {1984, 2, 2, {1984, 1, 1}},    {1984, 2, 4, {1984, 1, 3}},
      {2023, 3, 21, {2023, 2, 30}}, {2023, 3, 22, {2023, -2, 1}},  {2033, 12, 22, {2033, -11, 1}},
      {2034, 1, 19, {2033, -11, 29}}, {2034, 1, 20, {2033, 12, 1}}, {1902, 1, 1, {1901, 11, 22}},
      {1901, 2, 19, {1901, 1, 1}},  {2051, 2, 9, {2050, 12, 29}},
      {2050, 12, 14, {2050, 11, 1}}, {2051, 1, 12, {2050, 12, 1}},
      // Month boundaries that the Beijing reckoning of 1914-1920 moves a day
      // earlier: month 10 of 1914, the new year 1916, month 10 of 1920.
      {1914, 11, 16, {1914, 9, 29}}, {1914, 11, 17, {1914, 10, 1}},
      {1916, 2, 2, {1915, 12, 29}},  {1916, 2, 3, {1916, 1, 1}},
      {1920, 11, 9, {1920, 9, 29}},  {1920, 11, 10, {1920, 10, 1}},
      {1920, 12, 3, {1920, 10, 24}}, {1920, 12, 9, {1920, 10, 30}},
      {1920, 12, 10, {1920, 11, 1}},
  };
  for (const auto& c : cases) {
    const auto lunar = SolarToLunar(EncodeDateTime(c.y, c.m, c.d, 23, 59, 0));
    ASSERT_TRUE(lunar.has_value()) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(*lunar, c.lunar) << c.y << "-" << c.m << "-" << c.d;
  }
}

TEST(SolarToLunar, NothingOutsideTheTable) {
  EXPECT_FALSE(SolarToLunar(EncodeDate(1901, 2, 18)).has_value());
  EXPECT_FALSE(SolarToLunar(EncodeDate(1900, 6, 1)).has_value());
  EXPECT_FALSE(SolarToLunar(EncodeDate(2051, 2, 10)).has_value());
  EXPECT_FALSE(SolarToLunar(EncodeDate(2200, 1, 1)).has_value());
  EXPECT_FALSE(SolarToLunar(EncodeDate(-1000, 1, 1)).has_value());
}

TEST(LunarToSolar, EdgeCases) {
  struct {
    int y, m, d;
    int cy, cm, cd;  // 0: not found
  } cases[] = {
      {1984, 1, 3, 1984, 2, 4},    {2023, -2, 1, 2023, 3, 22}, {2033, -11, 29, 2034, 1, 19},
      {2023, -3, 1, 0, 0, 0},      {1902, 1, 1, 1902, 2, 8},   {2050, 12, 29, 0, 0, 0},
      {1901, 12, 1, 1902, 1, 10},  {1901, 11, 21, 0, 0, 0},    {2023, 2, 30, 2023, 3, 21},
      {2023, 1, 30, 0, 0, 0},      {1984, -10, 1, 1984, 11, 23},
      {1920, 10, 30, 1920, 12, 9}, {1920, 9, 30, 0, 0, 0},    {1914, 9, 30, 0, 0, 0},
      {1915, 12, 30, 0, 0, 0},     {1916, 1, 1, 1916, 2, 3},
  };
  for (const auto& c : cases) {
    const auto found = LunarToSolar(c.y, c.m, c.d);
    SCOPED_TRACE(testing::Message() << c.y << "/" << c.m << "/" << c.d);
    if (c.cy == 0) {
      EXPECT_FALSE(found.has_value());
    } else {
      ASSERT_TRUE(found.has_value());
      EXPECT_EQ(*found, EncodeDate(c.cy, c.cm, c.cd));
    }
  }
}

TEST(LunarToSolar, RoundTripsEveryCivilDay) {
  // Every civil day of 1902-2050 whose lunar date is found again, except the
  // last days of 2050, whose lunar year ends in 2051.
  const Moment first = EncodeDate(1902, 1, 1);
  const Moment last = EncodeDate(2050, 12, 31);
  const Moment lastNewYear = EncodeDate(2051, 2, 10);
  int checked = 0;
  for (Moment day = first; day <= last; day += Days{1}) {
    const auto lunar = SolarToLunar(day);
    ASSERT_TRUE(lunar.has_value()) << DayNumber(day).count();
    const auto back = LunarToSolar(lunar->Year, lunar->Month, lunar->Day);
    if (!back) {
      // Only a month whose window reaches past 2050 may miss.
      EXPECT_EQ(lunar->Year, 2050) << DayNumber(day).count();
      EXPECT_GE(lunar->Month, 11) << DayNumber(day).count();
      EXPECT_LT(day, lastNewYear);
      continue;
    }
    ASSERT_EQ(*back, day) << lunar->Year << "/" << lunar->Month << "/" << lunar->Day;
    ++checked;
  }
  EXPECT_GT(checked, 54000);
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

// The lunar search as a plain walk through its window: 90 days before to 274
// days after the first of the civil month with the same number, days of
// 1902-2050 only, the first day whose lunar date matches.
std::optional<Moment> WalkTheWindow(int year, int month, int day) {
  const int absMonth = month < 0 ? -month : month;
  const Moment start = EncodeDate(year, absMonth, 1) - Days{90};
  for (int i = 0; i < 365; ++i) {
    const Moment candidate = start + Days{i};
    const int civilYear = DecodeDate(candidate).Year;
    if (civilYear < 1902 || civilYear > 2050) continue;
    const auto lunar = SolarToLunar(candidate);
    if (lunar && *lunar == LunarDate{year, month, day}) return candidate;
  }
  return std::nullopt;
}

TEST(LunarToSolar, AgreesWithAWalkThroughTheWindow) {
  // Every month (leap or not) and day 1-30 of years at the ends of the table
  // and of years with leap months early, late and at the year's end.
  for (int year : {1901, 1902, 1903, 1984, 2023, 2033, 2049, 2050}) {
    for (int m = -12; m <= 12; ++m) {
      if (m == 0) continue;
      for (int d = 1; d <= 30; ++d)
        ASSERT_EQ(LunarToSolar(year, m, d), WalkTheWindow(year, m, d)) << year << "/" << m << "/" << d;
    }
  }
}

}  // namespace
}  // namespace orv
