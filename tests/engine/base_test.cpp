#include "calendar/base.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "calendar/dates.h"
#include "calendar/solar_terms.h"
#include "calendar/text.h"

namespace orv {
namespace {

TOrvBase At(int y, int m, int d, int h, int mi = 0, int s = 0) {
  TOrvBase base;
  base.SetDate(EncodeDateTime(y, m, d, h, mi, s));
  base.Recompute();
  return base;
}

TEST(TOrvBase, FourPillars) {
  struct {
    int y, m, d, h, mi;
    const char* pillars;
  } cases[] = {
      {1984, 2, 4, 23, 10, "癸亥 乙丑 己巳 甲子"},  // before the lichun instant 23:18:44
      {1984, 2, 4, 23, 30, "甲子 丙寅 己巳 甲子"},
      {1984, 2, 4, 12, 0, "癸亥 乙丑 戊辰 戊午"},
      {2000, 1, 1, 12, 0, "己卯 丙子 戊午 戊午"},
      {1900, 1, 1, 12, 0, "己亥 丙子 甲戌 庚午"},
      {2024, 2, 10, 0, 30, "甲辰 丙寅 甲辰 甲子"},   // 00:30: own day, zi hour
      {2024, 2, 10, 23, 30, "甲辰 丙寅 乙巳 丙子"},  // 23:30: next day's pillar
      {2024, 2, 10, 22, 59, "甲辰 丙寅 甲辰 乙亥"},
  };
  for (const auto& c : cases) {
    const TOrvBase b = At(c.y, c.m, c.d, c.h, c.mi);
    EXPECT_EQ(PillarsLine(b.Pillars(), " "), c.pillars) << c.y << "-" << c.m << "-" << c.d << " " << c.h;
  }
}

TEST(TOrvBase, MonthChangesAtTheSectionalInstantNotAtTheHour) {
  // jingzhe 2024; its first whole second
  const Moment jie = std::chrono::ceil<Seconds>(SolarTermInstant(2024, 3, 0));
  TOrvBase before, after;
  before.SetDate(jie - Seconds{1});
  before.Recompute();
  after.SetDate(jie);
  after.Recompute();
  EXPECT_EQ(PillarText(before.MonthPillar), "丙寅");
  EXPECT_EQ(PillarText(after.MonthPillar), "丁卯");
  EXPECT_EQ(before.DayPillar, after.DayPillar);
  EXPECT_EQ(before.CurrentTerm, 2);
  EXPECT_EQ(after.CurrentTerm, 3);
}

TEST(TOrvBase, CivilAndTermFields) {
  const TOrvBase b = At(2000, 1, 1, 12, 34, 56);
  EXPECT_EQ(b.CivilYear, 2000);
  EXPECT_EQ(b.CivilMonth, 1);
  EXPECT_EQ(b.CivilDay, 1);
  EXPECT_EQ(b.CivilHour, 12);
  EXPECT_EQ(b.CivilMinute, 34);
  EXPECT_EQ(b.JieTerm, 23);
  EXPECT_EQ(b.QiTerm, 24);
  EXPECT_EQ(b.CurrentTerm, 22);
  EXPECT_EQ(b.DayXun, (Pillar{1, 13}));  // 戊午 is 55: decade of 甲寅
}

TEST(TOrvBase, LunarFieldsFollowTheCivilDayAndTheNextHour) {
  // 23:30: Lunar is the civil day's date, the counted fields follow X (the next day).
  const TOrvBase b = At(1984, 2, 4, 23, 30);
  EXPECT_EQ(b.Lunar, (std::array<int, 3>{1984, 1, 3}));
  EXPECT_EQ(b.LunarCount, (std::array<int, 2>{1, 4}));
  EXPECT_EQ(b.LunarYear, 1984);
  EXPECT_EQ(b.LunarYearNumber, 1);
  EXPECT_EQ(b.LunarYearPillar, (Pillar{1, 11}));
  EXPECT_EQ(b.LunarYearStemOrdinal, 1);
  EXPECT_EQ(b.LunarYearBranchOrdinal, 1);
  EXPECT_EQ(b.HourOrdinal, 1);
  // The last lunar day of 1983 at 23:00 already counts in the new year.
  const TOrvBase eve = At(1984, 2, 1, 23, 0);
  EXPECT_EQ(eve.Lunar, (std::array<int, 3>{1983, 12, 30}));
  EXPECT_EQ(eve.LunarYear, 1984);
  EXPECT_EQ(eve.LunarCount, (std::array<int, 2>{1, 1}));
  // A leap month counts as the month after it.
  const TOrvBase leap = At(2023, 3, 22, 12, 0);
  EXPECT_EQ(leap.Lunar, (std::array<int, 3>{2023, -2, 1}));
  EXPECT_EQ(leap.LunarCount, (std::array<int, 2>{3, 1}));
}

TEST(TOrvBase, PillarCodes) {
  const TOrvBase b = At(2000, 1, 1, 12, 0);
  // 己卯 丙子 戊午 戊午
  EXPECT_EQ(b.Pillars(), (std::array<Pillar, 4>{{{6, 14}, {3, 11}, {5, 17}, {5, 17}}}));
}

// A chart object reads no clock: it starts without a date and computes
// nothing until it is given one.
TEST(TOrvBase, ConstructionReadsNoClockAndComputesNothing) {
  const TOrvBase b;
  EXPECT_EQ(b.DateValue, Moment{});
  EXPECT_EQ(b.CivilYear, 0);
  EXPECT_EQ(b.JieTerm, 0);
  EXPECT_EQ(b.DayPillar, Pillar{});
  EXPECT_EQ(b.Lunar, (std::array<int, 3>{0, 0, 0}));
}

// Moments at and past the ends of the tables (solar terms of 1900-2099,
// lunar years from 1901-02-19 to 2051-02-09) and past the civil years
// 1-9999: the sanitizers catch any read outside a table; what needs a table
// the moment lies outside of stays empty, even after a chart of a moment
// inside them.
TEST(TOrvBase, NeverReadsOutsideATable) {
  const Moment earliest{Seconds{std::numeric_limits<std::int64_t>::min()}};
  const Moment latest{Seconds{std::numeric_limits<std::int64_t>::max()}};
  struct {
    const char* name;
    Moment date;
    bool civil, terms, lunar;
  } cases[] = {
      {"earliest", earliest, false, false, false},
      {"latest", latest, false, false, false},
      {"0000-12-31", EncodeDate(0, 12, 31), false, false, false},  // before the year 1
      {"10000-01-01 12:00", EncodeDateTime(10000, 1, 1, 12, 0), false, false, false},
      {"0001-01-01", EncodeDate(1, 1, 1), true, false, false},
      {"1899-12-31", EncodeDate(1899, 12, 31), true, false, false},
      {"1900-01-01", EncodeDate(1900, 1, 1), true, true, false},
      {"1901-02-18", EncodeDate(1901, 2, 18), true, true, false},
      {"1901-02-19", EncodeDate(1901, 2, 19), true, true, true},
      {"2051-02-09", EncodeDate(2051, 2, 9), true, true, true},
      {"2051-02-10", EncodeDate(2051, 2, 10), true, true, false},
      {"2099-12-31 23:45", EncodeDateTime(2099, 12, 31, 23, 45), true, true, false},
      {"2100-01-01", EncodeDate(2100, 1, 1), true, false, false},
      {"9999-12-31 23:45", EncodeDateTime(9999, 12, 31, 23, 45), false, false, false},  // X in 10000
  };
  TOrvBase b;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    b.SetDate(EncodeDateTime(2000, 1, 1, 12, 0));  // a chart inside the tables first
    b.Recompute();
    b.SetDate(c.date);
    b.Recompute();
    EXPECT_EQ(b.CivilYear != 0, c.civil);
    EXPECT_EQ(b.DayPillar.Stem != 0, c.civil);
    EXPECT_EQ(b.JieTerm != 0, c.terms);
    EXPECT_EQ(b.YearPillar.Stem != 0, c.terms);
    EXPECT_EQ(b.MonthPillar.Stem != 0, c.terms);
    EXPECT_EQ(b.Lunar[0] != 0, c.lunar);
  }
  // Outside the lunar table the lunar fields stay empty; the day pillar is still known.
  b.SetDate(EncodeDateTime(1900, 1, 1, 12, 0));
  b.Recompute();
  EXPECT_EQ(b.Lunar, (std::array<int, 3>{0, 0, 0}));
  EXPECT_EQ(PillarText(b.DayPillar), "甲戌");
}

}  // namespace
}  // namespace orv
