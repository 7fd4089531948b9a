#include "calendar/solar_terms.h"

#include <gtest/gtest.h>

#include <array>

#include "calendar/base.h"
#include "calendar/codes.h"
#include "calendar/dates.h"
#include "calendar/text.h"
#include "moment_text.h"

namespace orv {
namespace {

Moment At(int y, int m, int d, int h, int mi, int s) { return EncodeDateTime(y, m, d, h, mi, s); }

// The first whole second at or after an instant: the first moment in its term.
Moment FirstSecondIn(TermInstant instant) { return std::chrono::ceil<Seconds>(instant); }

// The table's instants as the engine shows them, to the second: the civil
// times at which its reference rows were published (1900-1927 to the minute).
TEST(SolarTermTable, HoldsTheTellingRowsToTheSecond) {
  struct {
    int year, month, k;
    Moment at;
  } rows[] = {
      {1900, 1, 0, At(1900, 1, 6, 3, 8, 0)},      {1900, 2, 0, At(1900, 2, 4, 14, 58, 0)},
      {1916, 1, 0, At(1916, 1, 6, 23, 28, 0)},    {1928, 1, 0, At(1928, 1, 6, 21, 31, 11)},
      {1984, 2, 0, At(1984, 2, 4, 23, 18, 44)},   {2000, 2, 0, At(2000, 2, 4, 20, 40, 24)},
      {2024, 3, 1, At(2024, 3, 20, 11, 6, 11)},   {2050, 12, 1, At(2050, 12, 22, 0, 37, 54)},
      {2099, 12, 1, At(2099, 12, 21, 22, 3, 46)}, {2000, 1, 0, At(2000, 1, 6, 9, 0, 42)},
      {2000, 1, 1, At(2000, 1, 21, 2, 23, 2)},
  };
  for (const auto& r : rows)
    EXPECT_EQ(ShownMoment(SolarTermInstant(r.year, r.month, r.k)), r.at) << r.year << "-" << r.month;
}

// The instants keep their fraction of a second: 立春 1984 was published as the
// day count 30716.9713459811, which is 2,653,946,324,292.77 ms after day 0,
// 23:18:44.293 on 1984-02-04; the whole minutes of 1900-1927 have none.
TEST(SolarTermTable, KeepsTheMillisecondsOfTheInstants) {
  EXPECT_EQ(SolarTermInstant(1984, 2, 0).time_since_epoch(), Milliseconds{2653946324293});
  EXPECT_EQ(SolarTermInstant(1984, 2, 0) - At(1984, 2, 4, 23, 18, 44), Milliseconds{293});
  EXPECT_EQ(SolarTermInstant(1923, 2, 0), TermInstant{At(1923, 2, 5, 4, 0, 0)});
}

TEST(SolarTermTable, InvariantsOverTheWholeTable) {
  TermInstant previous;
  for (int y = kTermFirstYear; y <= kTermLastYear; ++y) {
    for (int m = 1; m <= 12; ++m) {
      for (int k = 0; k < 2; ++k) {
        const TermInstant v = SolarTermInstant(y, m, k);
        SCOPED_TRACE(testing::Message() << y << "-" << m << " k=" << k);
        const CivilDate date = DecodeDate(ShownMoment(v));
        EXPECT_EQ(date.Year, y);
        EXPECT_EQ(date.Month, m);
        if (y > kTermFirstYear || m > 1 || k > 0) {
          EXPECT_GT(v - previous, Hours{24 * 13 + 17});  // 13.7 days
          EXPECT_LT(v - previous, Hours{24 * 16 + 20});  // 16.8 days
        }
        // The early years are whole minutes.
        if (y <= 1927) {
          EXPECT_EQ(v.time_since_epoch() % Minutes{1}, Milliseconds{0});
        }
        previous = v;
      }
    }
  }
}

TEST(SolarTerms, TermNumbersOfTheCivilMonths) {
  struct {
    int month, jie, qi;
  } cases[] = {{1, 23, 24}, {2, 1, 2}, {6, 9, 10}, {12, 21, 22}};
  for (const auto& c : cases) {
    const auto t = TermsOfMonth(2000, c.month);
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(t->JieTerm, c.jie);
    EXPECT_EQ(t->QiTerm, c.qi);
  }
  EXPECT_FALSE(TermsOfMonth(1899, 12).has_value());
  EXPECT_FALSE(TermsOfMonth(2100, 1).has_value());
  EXPECT_FALSE(TermsOfMonth(2000, 13).has_value());
  EXPECT_TRUE(TermsOfMonth(2099, 12).has_value());
}

// A moment at or after a term's instant lies in that term, exactly: for every
// instant of the table, the last whole second before it still lies in the
// term before, the first whole second at or after it (the instant itself when
// it is a whole second) and the second after that in the term. The moments
// come back from the calendar as the civil times they were made from.
TEST(SolarTerms, EveryInstantBeginsItsTermToTheSecond) {
  for (int y = kTermFirstYear; y <= kTermLastYear; ++y) {
    for (int m = 1; m <= 12; ++m) {
      const auto terms = TermsOfMonth(y, m);
      ASSERT_TRUE(terms.has_value());
      for (int k = 0; k < 2; ++k) {
        const TermInstant exact = k == 0 ? terms->JieInstant : terms->QiInstant;
        const Moment instant = FirstSecondIn(exact);
        ASSERT_LT(instant - exact, Seconds{1});
        ASSERT_GE(instant - exact, Seconds{0});
        const int term = k == 0 ? terms->JieTerm : terms->QiTerm;
        for (const Moment moment : {instant - Seconds{1}, instant, instant + Seconds{1}}) {
          const CivilTime t = DecodeDateTime(moment);
          ASSERT_EQ(EncodeDateTime(t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second), moment)
              << y << "-" << m << " k=" << k;
        }
        ASSERT_EQ(CurrentTerm(instant - Seconds{1}, *terms), Wrap(term - 1, 24))
            << y << "-" << m << " k=" << k;
        ASSERT_EQ(CurrentTerm(instant, *terms), term) << y << "-" << m << " k=" << k;
        ASSERT_EQ(CurrentTerm(instant + Seconds{1}, *terms), term) << y << "-" << m << " k=" << k;
      }
    }
  }
}

TEST(SolarTerms, CurrentTermChangesAtTheInstant) {
  struct {
    Moment date;
    int term;
  } cases[] = {
      {At(1984, 2, 4, 23, 18, 44), 24},  // the instant is 23:18:44.293
      {At(1984, 2, 4, 23, 18, 45), 1},
      {At(2000, 1, 1, 12, 0, 0), 22},    // before the month's sectional term
      {At(2000, 1, 21, 2, 23, 2), 23},   // the instant is 02:23:02.25
      {At(2000, 1, 21, 2, 23, 3), 24},   // from the principal term on
      {At(2000, 1, 10, 0, 0, 0), 23},
  };
  for (const auto& c : cases) {
    const auto t = TermsOf(c.date);
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(CurrentTerm(c.date, *t), c.term) << c.date;
  }
}

// Whole-minute instants that fall on a whole hour, where a chart is cast
// exactly at the instant. The term and the pillars follow the rule: at the
// instant the term has begun, a second before it has not. Pillars worked out
// by hand: a year starting at 立春 has cycle number Wrap(Y - 3, 60); a month
// index i (寅 1) has stem Wrap(i + 2s, 10) for the year stem s; the day of
// the hour X = moment + 1 h has cycle number (N + 9) mod 60 for N its day
// count since 1899-12-30; the hour branch h = hour of X div 2 + 1 has stem
// Wrap(h + 2d - 2, 10) for the day stem d.
TEST(SolarTerms, BoundaryMomentsTakeThePillarsOfTheRule) {
  struct {
    const char* name;
    Moment moment;
    int term;
    const char* pillars;
  } cases[] = {
      // 立春 1923 at 04:00. 1923-02-05 is day 8437: (8437 + 9) mod 60 = 46,
      // 己酉; at 04:00 and at 03:59:59 the hour X is 05:00 or 04:59:59, 寅
      // (h 3), stem Wrap(3 + 12 - 2, 10) = 3, 丙寅. From the instant on, the
      // year 1923 is Wrap(1920, 60) = 60, 癸亥, and its first month 甲寅 (stem
      // Wrap(1 + 20, 10) = 1); before it the year is 1922, 壬戌 (59), and the
      // month 丑 (index 12), stem Wrap(12 + 18, 10) = 10, 癸丑.
      {"1923-02-05 04:00", At(1923, 2, 5, 4, 0, 0), 1, "癸亥 甲寅 己酉 丙寅"},
      {"1923-02-05 03:59:59", At(1923, 2, 5, 3, 59, 59), 24, "壬戌 癸丑 己酉 丙寅"},
      // 立夏 1911 at 00:00 of 05-07, day 4145: (4145 + 9) mod 60 = 14, 丁丑;
      // the hour X 01:00 is 子 (h 1), stem Wrap(1 + 8 - 2, 10) = 7, 庚子. At
      // 05-06 23:59:59 the hour X is 05-07 00:59:59: day 丁丑, hour 庚子. The
      // year 1911 is 辛亥 (48); from the instant its month is 巳 (index 4),
      // stem Wrap(4 + 16, 10) = 10, 癸巳; before it 辰 (index 3), 壬辰.
      {"1911-05-07 00:00", At(1911, 5, 7, 0, 0, 0), 7, "辛亥 癸巳 丁丑 庚子"},
      {"1911-05-06 23:59:59", At(1911, 5, 6, 23, 59, 59), 6, "辛亥 壬辰 丁丑 庚子"},
      // 大寒 1915 at 11:00: a principal term changes the current term only.
      // 1915-01-21 is day 5500: (5500 + 9) mod 60 = 49, 壬子. At 11:00 the
      // hour X 12:00 is 午 (h 7), stem Wrap(7 + 18 - 2, 10) = 3, 丙午; at
      // 10:59:59 the hour X 11:59:59 is 巳 (h 6), stem 2, 乙巳. Before 立春
      // the year is 1914, 甲寅 (51), after 小寒 in the month 丑 (index 12),
      // stem Wrap(12 + 2, 10) = 4, 丁丑.
      {"1915-01-21 11:00", At(1915, 1, 21, 11, 0, 0), 24, "甲寅 丁丑 壬子 丙午"},
      {"1915-01-21 10:59:59", At(1915, 1, 21, 10, 59, 59), 23, "甲寅 丁丑 壬子 乙巳"},
      // 立春 1984 at 23:18:44.29, within a second: 23:18:44 lies before the
      // instant, 23:18:45 after it. 23:00 of 1984-02-04 already counts as
      // 02-05, day 30717: (30717 + 9) mod 60 = 6, 己巳; hour 子 (h 1), stem
      // Wrap(1 + 12 - 2, 10) = 1, 甲子. From the instant on the year 1984 is
      // 甲子 (1) with its month 丙寅 (stem Wrap(1 + 2, 10) = 3); before it the
      // year is 1983, 癸亥 (60), in the month 丑 (index 12), stem
      // Wrap(12 + 20, 10) = 2, 乙丑.
      {"1984-02-04 23:18:45", At(1984, 2, 4, 23, 18, 45), 1, "甲子 丙寅 己巳 甲子"},
      {"1984-02-04 23:18:44", At(1984, 2, 4, 23, 18, 44), 24, "癸亥 乙丑 己巳 甲子"},
      {"1984-02-04 23:18:43", At(1984, 2, 4, 23, 18, 43), 24, "癸亥 乙丑 己巳 甲子"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TOrvBase base;
    base.SetDate(c.moment);
    base.Recompute();
    EXPECT_EQ(base.CurrentTerm, c.term);
    EXPECT_EQ(PillarsLine(base.Pillars(), " "), c.pillars);
  }
}

TEST(SolarTerms, InstantsOfJanuary2000) {
  const auto t = TermsOf(At(2000, 1, 1, 12, 0, 0));
  ASSERT_TRUE(t.has_value());
  EXPECT_EQ(t->JieTerm, 23);
  EXPECT_EQ(t->QiTerm, 24);
  EXPECT_EQ(ShownMoment(t->JieInstant), At(2000, 1, 6, 9, 0, 42));
  EXPECT_EQ(ShownMoment(t->QiInstant), At(2000, 1, 21, 2, 23, 2));
}

// 立春 1923 at 04:00, a whole minute: a moment can be the instant itself.
TEST(SolarTerms, MomentAtTheSectionalInstant) {
  const Moment jie = At(1923, 2, 5, 4, 0, 0);
  ASSERT_EQ(SolarTermInstant(1923, 2, 0), TermInstant{jie});
  const auto t = TermsOf(jie);
  ASSERT_TRUE(t.has_value());
  EXPECT_EQ(CurrentTerm(jie, *t), 1);  // the term has begun
  // ... but for the surrounding sectional terms the moment counts as before it.
  const auto s = SurroundingSectionalTerms(jie);
  ASSERT_TRUE(s.has_value());
  EXPECT_EQ(s->Next, TermInstant{jie});
  EXPECT_EQ(s->Previous, SolarTermInstant(1923, 1, 0));
  // A second later it lies after it.
  const auto later = SurroundingSectionalTerms(jie + Seconds{1});
  ASSERT_TRUE(later.has_value());
  EXPECT_EQ(later->Previous, TermInstant{jie});
}

TEST(SolarTerms, SurroundingSectionalTermsAcrossTheYear) {
  // December 2023 after daxue: the next one is xiaohan of January 2024.
  const auto after = SurroundingSectionalTerms(At(2023, 12, 20, 12, 0, 0));
  ASSERT_TRUE(after.has_value());
  EXPECT_EQ(after->Previous, SolarTermInstant(2023, 12, 0));
  EXPECT_EQ(after->Next, SolarTermInstant(2024, 1, 0));
  // Early January, before xiaohan: the previous one is daxue of December.
  const auto before = SurroundingSectionalTerms(At(2024, 1, 2, 12, 0, 0));
  ASSERT_TRUE(before.has_value());
  EXPECT_EQ(before->Previous, SolarTermInstant(2023, 12, 0));
  EXPECT_EQ(before->Next, SolarTermInstant(2024, 1, 0));
  // At the ends of the table there is no neighbour to read.
  EXPECT_FALSE(SurroundingSectionalTerms(At(1900, 1, 2, 0, 0, 0)).has_value());
  EXPECT_FALSE(SurroundingSectionalTerms(At(2099, 12, 30, 0, 0, 0)).has_value());
}

}  // namespace
}  // namespace orv
