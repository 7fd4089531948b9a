#include "solar_terms.h"

#include "codes.h"
#include "dates.h"

namespace orv {

// Instants of the sectional and the principal term of every civil month,
// produced by tools/solarterms.
const double SolarTermTable[kTermLastYear - kTermFirstYear + 1][12][2] = {
#include "solar_term_data.inc"
};

std::optional<MonthTerms> TermsOfMonth(int year, int month) {
  if (year < kTermFirstYear || year > kTermLastYear || month < 1 || month > 12) {
    return std::nullopt;
  }
  const double* entry = SolarTermTable[year - kTermFirstYear][month - 1];
  MonthTerms terms;
  terms.JieInstant = entry[0];
  terms.QiInstant = entry[1];
  terms.JieTerm = Wrap(2 * month - 3, 24);
  terms.QiTerm = Wrap(2 * month - 2, 24);
  return terms;
}

std::optional<MonthTerms> TermsOf(double date) {
  if (!IsDecodable(date)) return std::nullopt;
  int year = 0, month = 0, day = 0;
  DecodeDate(date, year, month, day);
  return TermsOfMonth(year, month);
}

int CurrentTerm(double date, const MonthTerms& terms) {
  // Before the month's sectional term the previous month's principal term
  // still holds; from the principal term on, that one.
  const int a = date < terms.JieInstant ? 1 : 0;
  const int b = date >= terms.QiInstant ? 1 : 0;
  return Wrap(terms.JieTerm - a + b, 24);
}

std::optional<SurroundingJie> SurroundingSectionalTerms(double date) {
  if (!IsDecodable(date)) return std::nullopt;
  int year = 0, month = 0, day = 0;
  DecodeDate(date, year, month, day);
  const std::optional<MonthTerms> own = TermsOfMonth(year, month);
  if (!own) return std::nullopt;

  SurroundingJie result;
  if (date > own->JieInstant) {
    const std::optional<MonthTerms> next =
        month == 12 ? TermsOfMonth(year + 1, 1) : TermsOfMonth(year, month + 1);
    if (!next) return std::nullopt;
    result.Previous = own->JieInstant;
    result.Next = next->JieInstant;
  } else {
    // A date exactly at the sectional term counts as before it.
    const std::optional<MonthTerms> previous =
        month == 1 ? TermsOfMonth(year - 1, 12) : TermsOfMonth(year, month - 1);
    if (!previous) return std::nullopt;
    result.Previous = previous->JieInstant;
    result.Next = own->JieInstant;
  }
  return result;
}

}  // namespace orv
