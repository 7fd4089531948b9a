#include "calendar/dates.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace orv {
namespace {

// Seconds since 1899-12-30 00:00 of a moment.
std::int64_t Count(Moment m) { return m.time_since_epoch().count(); }

TEST(Dates, EncodeAndDecodeKnownMoments) {
  struct {
    int y, m, d, h, mi, s;
    std::int64_t seconds;  // since 1899-12-30 00:00, worked out by hand
  } cases[] = {
      {1899, 12, 30, 0, 0, 0, 0},
      {1900, 1, 1, 12, 0, 0, 2 * 86400 + 12 * 3600},
      {1900, 1, 6, 3, 8, 0, 7 * 86400 + 3 * 3600 + 8 * 60},
      // 30716 days: 84 years of 1900-1983 (21 leap years from 1904) and 34 days of 1984.
      {1984, 2, 4, 23, 18, 44, 30716LL * 86400 + 23 * 3600 + 18 * 60 + 44},
      {2000, 2, 29, 6, 0, 0, 36585LL * 86400 + 6 * 3600},
      {2050, 12, 31, 0, 0, 0, 55153LL * 86400},
      // Before day 0: the day before 1899-12-30, and the first day of year 1.
      {1899, 12, 29, 6, 0, 0, -86400 + 6 * 3600},
      {1, 1, 1, 0, 0, 0, -693593LL * 86400},
      {9999, 12, 31, 23, 59, 59, 2958465LL * 86400 + 86399},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.y << "-" << c.m << "-" << c.d);
    const Moment m = EncodeDateTime(c.y, c.m, c.d, c.h, c.mi, c.s);
    EXPECT_EQ(Count(m), c.seconds);
    EXPECT_EQ(DecodeDateTime(m), (CivilTime{c.y, c.m, c.d, c.h, c.mi, c.s}));
  }
}

// A moment before day 0 lies in the day that contains it: 1899-12-29 06:00
// is six hours into that day, not eighteen hours before the next one.
TEST(Dates, MomentsBeforeDayZeroFloor) {
  const Moment m = EncodeDateTime(1899, 12, 29, 6, 0);
  EXPECT_EQ(DayNumber(m), Days{-1});
  EXPECT_EQ(TimeOfDay(m), Hours{6});
  EXPECT_EQ(DecodeDateTime(m), (CivilTime{1899, 12, 29, 6, 0, 0}));
  EXPECT_EQ(DecodeDateTime(Moment{Seconds{-1}}), (CivilTime{1899, 12, 29, 23, 59, 59}));
  EXPECT_EQ(DecodeDateTime(Moment{Seconds{0}}), (CivilTime{1899, 12, 30, 0, 0, 0}));
}

// Every day of the years 1-9999 comes back as itself, one day after the day
// before it, at a time that runs through every hour, minute and second in
// turn (the first and the last second of the day included).
TEST(Dates, EveryDayOfTheYearsOneToNineThousandNineHundredNinetyNineRoundTrips) {
  Days expected = DaysFromCivil(1, 1, 1);
  long long days = 0;
  std::int64_t k = 0;
  for (int y = 1; y <= 9999; ++y) {
    for (int m = 1; m <= 12; ++m) {
      const int last = DaysInMonth(y, m);
      for (int d = 1; d <= last; ++d, ++days, ++k) {
        const int h = static_cast<int>(k % 24), mi = static_cast<int>(k % 60),
                  s = static_cast<int>(k / 60 % 60);
        const Moment moment = EncodeDateTime(y, m, d, h, mi, s);
        if (DayNumber(moment) != expected ||
            DecodeDateTime(moment) != CivilTime{y, m, d, h, mi, s}) {
          ADD_FAILURE() << y << "-" << m << "-" << d;
          return;
        }
        expected += Days{1};
      }
    }
  }
  EXPECT_EQ(days, 3652059);  // 9999 years of the Gregorian calendar
  EXPECT_EQ(Moment{expected}, kEndCivilMoment);
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

TEST(Dates, MomentsOutsideTheYearsDecodeToZeroParts) {
  const Moment bad[] = {Moment{Seconds{std::numeric_limits<std::int64_t>::min()}},
                        Moment{Seconds{std::numeric_limits<std::int64_t>::max()}},
                        kFirstCivilMoment - Seconds{1}, kEndCivilMoment};
  for (const Moment m : bad) {
    EXPECT_FALSE(InCivilYears(m)) << Count(m);
    EXPECT_EQ(DecodeDateTime(m), CivilTime{});
    EXPECT_EQ(DecodeDate(m), CivilDate{});
  }
  EXPECT_TRUE(InCivilYears(kFirstCivilMoment));
  EXPECT_TRUE(InCivilYears(kEndCivilMoment - Seconds{1}));
  EXPECT_EQ(DecodeDate(kEndCivilMoment - Seconds{1}), (CivilDate{9999, 12, 31}));
}

}  // namespace
}  // namespace orv
