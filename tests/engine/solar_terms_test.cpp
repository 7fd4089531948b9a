#include "calendar/solar_terms.h"

#include <gtest/gtest.h>

#include "calendar/dates.h"

namespace orv {
namespace {

double At(int y, int m, int d, int h, int mi, int s) { return EncodeDateTime(y, m, d, h, mi, s); }

TEST(SolarTermTable, HoldsTheTellingRowsExactly) {
  struct {
    int year, month, k;
    double value;
  } rows[] = {
      {1900, 1, 0, 7.1305555556},      {1900, 2, 0, 36.6236111111},
      {1916, 1, 0, 5850.9777777778},   {1928, 1, 0, 10233.8966565928},
      {1984, 2, 0, 30716.9713459811},  {2000, 2, 0, 36560.8613909087},
      {2024, 3, 1, 45371.4626332917},  {2050, 12, 1, 55144.0263257981},
      {2099, 12, 1, 73040.9192899070},
  };
  for (const auto& r : rows)
    EXPECT_EQ(SolarTermTable[r.year - 1900][r.month - 1][r.k], r.value) << r.year << "-" << r.month;
}

TEST(SolarTermTable, InvariantsOverTheWholeTable) {
  double previous = 0;
  for (int y = kTermFirstYear; y <= kTermLastYear; ++y) {
    for (int m = 1; m <= 12; ++m) {
      for (int k = 0; k < 2; ++k) {
        const double v = SolarTermTable[y - 1900][m - 1][k];
        SCOPED_TRACE(testing::Message() << y << "-" << m << " k=" << k);
        int yy, mm, dd;
        DecodeDate(v, yy, mm, dd);
        EXPECT_EQ(yy, y);
        EXPECT_EQ(mm, m);
        if (previous != 0) {
          EXPECT_GT(v - previous, 13.7);
          EXPECT_LT(v - previous, 16.8);
        }
        previous = v;
      }
    }
  }
}

TEST(SolarTermTable, EarlyYearsAreWholeMinutes) {
  for (int y = 1900; y <= 1927; ++y)
    for (int m = 1; m <= 12; ++m)
      for (int k = 0; k < 2; ++k) {
        const DateTimeParts p = DecodeDateTime(SolarTermTable[y - 1900][m - 1][k]);
        EXPECT_EQ(p.Second * 1000 + p.Millisecond, 0) << y << "-" << m << " k=" << k;
      }
}

TEST(SolarTerms, TermNumbersOfTheCivilMonths) {
  EXPECT_EQ(JieTermOfMonth(1), 23);
  EXPECT_EQ(QiTermOfMonth(1), 24);
  EXPECT_EQ(JieTermOfMonth(2), 1);
  EXPECT_EQ(QiTermOfMonth(2), 2);
  EXPECT_EQ(JieTermOfMonth(12), 21);
  EXPECT_EQ(QiTermOfMonth(12), 22);
  EXPECT_FALSE(TermsOfMonth(1899, 12).has_value());
  EXPECT_FALSE(TermsOfMonth(2100, 1).has_value());
  EXPECT_FALSE(TermsOfMonth(2000, 13).has_value());
  EXPECT_TRUE(TermsOfMonth(2099, 12).has_value());
}

TEST(SolarTerms, CurrentTermChangesAtTheInstant) {
  struct {
    double date;
    int term;
  } cases[] = {
      {At(1984, 2, 4, 23, 18, 44), 24},  // the instant is 23:18:44.29
      {At(1984, 2, 4, 23, 18, 45), 1},
      {At(2000, 1, 1, 12, 0, 0), 22},    // before the month's sectional term
      {At(2000, 1, 21, 2, 23, 3), 24},   // after the principal term
      {At(2000, 1, 10, 0, 0, 0), 23},
  };
  for (const auto& c : cases) {
    const auto t = TermsOf(c.date);
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(CurrentTerm(c.date, *t), c.term) << c.date;
  }
}

TEST(SolarTerms, InstantsOfJanuary2000) {
  const auto t = TermsOf(At(2000, 1, 1, 12, 0, 0));
  ASSERT_TRUE(t.has_value());
  EXPECT_EQ(t->JieTerm, 23);
  EXPECT_EQ(t->QiTerm, 24);
  const DateTimeParts jie = DecodeDateTime(t->JieInstant);
  const DateTimeParts qi = DecodeDateTime(t->QiInstant);
  EXPECT_EQ((std::array{jie.Day, jie.Hour, jie.Minute, jie.Second}), (std::array{6, 9, 0, 42}));
  EXPECT_EQ((std::array{qi.Day, qi.Hour, qi.Minute, qi.Second}), (std::array{21, 2, 23, 2}));
}

TEST(SolarTerms, DateAtTheSectionalInstant) {
  const double jie = SolarTermTable[1984 - 1900][1][0];
  const auto t = TermsOf(jie);
  ASSERT_TRUE(t.has_value());
  EXPECT_EQ(CurrentTerm(jie, *t), 1);  // the term has begun
  // ... but for the surrounding sectional terms the date counts as before it.
  const auto s = SurroundingSectionalTerms(jie);
  ASSERT_TRUE(s.has_value());
  EXPECT_EQ(s->Next, jie);
  EXPECT_EQ(s->Previous, SolarTermTable[1984 - 1900][0][0]);
}

TEST(SolarTerms, SurroundingSectionalTermsAcrossTheYear) {
  // December 2023 after daxue: the next one is xiaohan of January 2024.
  const auto after = SurroundingSectionalTerms(At(2023, 12, 20, 12, 0, 0));
  ASSERT_TRUE(after.has_value());
  EXPECT_EQ(after->Previous, SolarTermTable[2023 - 1900][11][0]);
  EXPECT_EQ(after->Next, SolarTermTable[2024 - 1900][0][0]);
  // Early January, before xiaohan: the previous one is daxue of December.
  const auto before = SurroundingSectionalTerms(At(2024, 1, 2, 12, 0, 0));
  ASSERT_TRUE(before.has_value());
  EXPECT_EQ(before->Previous, SolarTermTable[2023 - 1900][11][0]);
  EXPECT_EQ(before->Next, SolarTermTable[2024 - 1900][0][0]);
  // At the ends of the table there is no neighbour to read.
  EXPECT_FALSE(SurroundingSectionalTerms(At(1900, 1, 2, 0, 0, 0)).has_value());
  EXPECT_FALSE(SurroundingSectionalTerms(At(2099, 12, 30, 0, 0, 0)).has_value());
}

}  // namespace
}  // namespace orv
