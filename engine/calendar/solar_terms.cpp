#include "solar_terms.h"

#include "codes.h"

namespace orv {

// Instants of the sectional and the principal term of every civil month,
// produced by tools/solarterms.
const std::int64_t SolarTermTable[kTermLastYear - kTermFirstYear + 1][12][2] = {
#include "solar_term_data.inc"
};

std::optional<MonthTerms> TermsOfMonth(int year, int month) {
  if (year < kTermFirstYear || year > kTermLastYear || month < 1 || month > 12) {
    return std::nullopt;
  }
  MonthTerms terms;
  terms.JieInstant = SolarTermInstant(year, month, 0);
  terms.QiInstant = SolarTermInstant(year, month, 1);
  terms.JieTerm = Wrap(2 * month - 3, 24);
  terms.QiTerm = Wrap(2 * month - 2, 24);
  return terms;
}

std::optional<MonthTerms> TermsOf(Moment moment) {
  const CivilDate date = DecodeDate(moment);
  return TermsOfMonth(date.Year, date.Month);
}

int CurrentTerm(Moment moment, const MonthTerms& terms) {
  // Before the month's sectional term the previous month's principal term
  // still holds; from the principal term on, that one.
  const int a = moment < terms.JieInstant ? 1 : 0;
  const int b = moment >= terms.QiInstant ? 1 : 0;
  return Wrap(terms.JieTerm - a + b, 24);
}

std::optional<SurroundingJie> SurroundingSectionalTerms(Moment moment) {
  const CivilDate date = DecodeDate(moment);
  const std::optional<MonthTerms> own = TermsOfMonth(date.Year, date.Month);
  if (!own) return std::nullopt;

  SurroundingJie result;
  if (moment > own->JieInstant) {
    const std::optional<MonthTerms> next = date.Month == 12 ? TermsOfMonth(date.Year + 1, 1)
                                                            : TermsOfMonth(date.Year, date.Month + 1);
    if (!next) return std::nullopt;
    result.Previous = own->JieInstant;
    result.Next = next->JieInstant;
  } else {
    // A moment exactly at the sectional term counts as before it.
    const std::optional<MonthTerms> previous = date.Month == 1 ? TermsOfMonth(date.Year - 1, 12)
                                                               : TermsOfMonth(date.Year, date.Month - 1);
    if (!previous) return std::nullopt;
    result.Previous = previous->JieInstant;
    result.Next = own->JieInstant;
  }
  return result;
}

}  // namespace orv
