// The solar-term table and its look-ups.
//
// Terms are numbered 1-24 from lichun (1) to dahan (24); odd numbers are the
// sectional terms, even numbers the principal terms. SolarTermTable holds, for
// every civil month of 1900-2099, the instant of the sectional term [0] and of
// the principal term [1] that fall in that month, in milliseconds of the
// engine's clock (dates.h), as the instants were published (whole minutes up
// to 1927). A moment at or after a term's instant lies in that term: a moment
// of whole seconds compares with the instant exactly, so 1984-02-04 23:18:44
// lies before 立春 at 23:18:44.290 and 23:18:45 after it. The engine shows an
// instant as the whole second in which it lies (ShownMoment).
#pragma once

#include <cstdint>
#include <optional>

#include "dates.h"

namespace orv {

constexpr int kTermFirstYear = 1900;
constexpr int kTermLastYear = 2099;

extern const std::int64_t SolarTermTable[kTermLastYear - kTermFirstYear + 1][12][2];

// The table's entry as a moment; the year and month must lie in the table.
inline TermInstant SolarTermInstant(int year, int month, int k) {
  return TermInstant{Milliseconds{SolarTermTable[year - kTermFirstYear][month - 1][k]}};
}

struct MonthTerms {
  TermInstant JieInstant;
  TermInstant QiInstant;
  int JieTerm = 0;
  int QiTerm = 0;
};

// The two terms of a civil month; nothing outside 1900-2099.
std::optional<MonthTerms> TermsOfMonth(int year, int month);
// The two terms of the civil month of a moment.
std::optional<MonthTerms> TermsOf(Moment moment);

// The last term whose instant is at or before the moment.
int CurrentTerm(Moment moment, const MonthTerms& terms);

struct SurroundingJie {
  TermInstant Previous;
  TermInstant Next;
};
// The sectional terms around a moment: a moment at or before its month's
// sectional term has that term as the next one. Nothing when a neighbour
// month lies outside the table.
std::optional<SurroundingJie> SurroundingSectionalTerms(Moment moment);

}  // namespace orv
