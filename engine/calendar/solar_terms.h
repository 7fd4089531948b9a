// The solar-term table and its look-ups.
//
// Terms are numbered 1-24 from lichun (1) to dahan (24); odd numbers are the
// sectional terms, even numbers the principal terms. SolarTermTable holds, for
// every civil month of 1900-2099, the instant (date value, UTC+8) of the
// sectional term [0] and of the principal term [1] that fall in that month.
#pragma once

#include <optional>

namespace orv {

constexpr int kTermFirstYear = 1900;
constexpr int kTermLastYear = 2099;

extern const double SolarTermTable[kTermLastYear - kTermFirstYear + 1][12][2];

// Term numbers of the sectional and the principal term of civil month m.
constexpr int JieTermOfMonth(int month) { return (2 * month - 3 + 24 - 1) % 24 + 1; }
constexpr int QiTermOfMonth(int month) { return (2 * month - 2 + 24 - 1) % 24 + 1; }

struct MonthTerms {
  double JieInstant = 0;
  double QiInstant = 0;
  int JieTerm = 0;
  int QiTerm = 0;
};

// The two terms of a civil month; nothing outside 1900-2099.
std::optional<MonthTerms> TermsOfMonth(int year, int month);
// The two terms of the civil month of a date value.
std::optional<MonthTerms> TermsOf(double date);

// The last term whose instant is at or before the date.
int CurrentTerm(double date, const MonthTerms& terms);

struct SurroundingJie {
  double Previous = 0;
  double Next = 0;
};
// The sectional terms around a date: a date at or before its month's
// sectional term has that term as the next one. Nothing when a neighbour
// month lies outside the table.
std::optional<SurroundingJie> SurroundingSectionalTerms(double date);

}  // namespace orv
