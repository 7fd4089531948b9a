#include "base.h"

#include "dates.h"
#include "lunar.h"
#include "solar_terms.h"

namespace orv {

TOrvBase::TOrvBase() {
  DateValue = 0;
  JieInstant = 0;
  QiInstant = 0;
  DateValue = Now();
  Recompute();
}

std::array<int, 8> TOrvBase::PillarCodes() const {
  return {YearPillar.Stem, YearPillar.Branch, MonthPillar.Stem, MonthPillar.Branch,
          DayPillar.Stem,  DayPillar.Branch,  HourPillar.Stem,  HourPillar.Branch};
}

void TOrvBase::Clear() {
  const double keep = DateValue;
  LunarYearStemOrdinal = LunarYearBranchOrdinal = 0;
  Lunar = {};
  DayXun = {};
  CivilYear = CivilMonth = CivilDay = CivilHour = CivilMinute = 0;
  LunarYearNumber = 0;
  LunarCount = {};
  HourOrdinal = 0;
  LunarYear = 0;
  LunarYearPillar = {};
  JieInstant = QiInstant = 0;
  JieTerm = QiTerm = CurrentTerm = 0;
  YearPillar = MonthPillar = DayPillar = HourPillar = {};
  DateValue = keep;
}

void TOrvBase::Recompute() {
  Clear();
  const double d = DateValue;
  const double x = d + 1.0 / 24;
  if (!IsDecodable(d) || !IsDecodable(x)) return;

  // 1. Civil components (seconds and milliseconds dropped).
  const DateTimeParts civil = DecodeDateTime(d);
  CivilYear = static_cast<uint16_t>(civil.Year);
  CivilMonth = static_cast<uint16_t>(civil.Month);
  CivilDay = static_cast<uint16_t>(civil.Day);
  CivilHour = static_cast<uint16_t>(civil.Hour);
  CivilMinute = static_cast<uint16_t>(civil.Minute);

  // 2. Terms of the civil month.
  const auto terms = TermsOf(d);
  if (terms) {
    JieInstant = terms->JieInstant;
    QiInstant = terms->QiInstant;
    JieTerm = terms->JieTerm;
    QiTerm = terms->QiTerm;
    CurrentTerm = orv::CurrentTerm(d, *terms);
  }

  // 3. Pillars. The year and month change at the sectional-term instants of
  // D itself; the day and hour follow X, so they change at 23:00.
  if (terms) {
    int y = civil.Year;
    int m = civil.Month;
    if (d < JieInstant) m -= 1;
    if (m < 2) {
      m += 11;
      y -= 1;
    } else {
      m -= 1;
    }
    YearPillar = PillarOfNumber((y - 3) % 60);
    MonthPillar = {Wrap(m + 2 * YearPillar.Stem, 10), CodeOf(Wrap(m + 2, 12), CodeKind::Branch)};
  }
  const long long n = WholeDays(x);
  DayPillar = PillarOfNumber(static_cast<int>((n + 9) % 60));
  const int h = HourOf(x) / 2 + 1;
  HourPillar = {Wrap(h + 2 * DayPillar.Stem - 2, 10), CodeOf(h, CodeKind::Branch)};

  // 4. Decade head of the day.
  DayXun = XunHead(DayPillar);

  // 5. Lunar date of the civil day.
  if (const auto lunar = SolarToLunar(d)) Lunar = {lunar->Year, lunar->Month, lunar->Day};

  // 6. Lunar fields of X.
  HourOrdinal = Ordinal(HourPillar.Branch);
  if (const auto lx = SolarToLunar(x)) {
    LunarCount = {lx->Month < 0 ? -lx->Month + 1 : lx->Month, lx->Day};
    LunarYear = lx->Year;
    LunarYearNumber = Wrap(LunarYear - 3, 60);
    LunarYearPillar = PillarOfNumber(LunarYearNumber);
    LunarYearStemOrdinal = Ordinal(LunarYearPillar.Stem);
    LunarYearBranchOrdinal = Ordinal(LunarYearPillar.Branch);
  }
}

}  // namespace orv
