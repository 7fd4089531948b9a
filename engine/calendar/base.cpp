#include "base.h"

#include "lunar.h"
#include "solar_terms.h"

namespace orv {

void TOrvBase::SetDate(Moment value) {
  if (dated_ && value == DateValue) return;
  DateValue = value;
  Recompute();
}

void TOrvBase::Clear() {
  const Moment keep = DateValue;
  static_cast<BaseChart&>(*this) = BaseChart{};
  DateValue = keep;
}

void TOrvBase::Recompute() {
  Clear();
  dated_ = true;
  const Moment d = DateValue;
  if (!InCivilYears(d)) return;
  const Moment x = d + Hours{1};
  if (!InCivilYears(x)) return;

  // 1. Civil components (seconds dropped).
  const CivilTime civil = DecodeDateTime(d);
  CivilYear = static_cast<uint16_t>(civil.Year);
  CivilMonth = static_cast<uint16_t>(civil.Month);
  CivilDay = static_cast<uint16_t>(civil.Day);
  CivilHour = static_cast<uint16_t>(civil.Hour);
  CivilMinute = static_cast<uint16_t>(civil.Minute);

  // 2. Terms of the civil month.
  const auto terms = TermsOfMonth(civil.Year, civil.Month);
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
    // 1984 is 甲子 (cycle number 1), and the cycle is 60 years long.
    YearPillar = PillarOfNumber((y - 3) % 60);
    // Month m = 1 is 寅. Its stem goes by the year stem s (五虎遁): a 甲 or
    // 己 year opens with 丙寅, 乙 or 庚 with 戊寅, 丙 or 辛 with 庚寅, 丁 or 壬
    // with 壬寅, 戊 or 癸 with 甲寅, i.e. stem 2s + 1, one more each month.
    // Stems five apart give the same months, 2 * 5 being a whole round of 10.
    MonthPillar = {Wrap(m + 2 * YearPillar.Stem, 10), CodeOf(Wrap(m + 2, 12), CodeKind::Branch)};
  }
  // Day 0 of the count, 1899-12-30, was a 壬申 day (cycle number 9), so
  // 1900-01-01 (n = 2) is 甲戌 (11). Counting the days of X moves the change
  // of day to 23:00. PillarOfNumber takes any integer: 0 is 癸亥, and a
  // negative remainder before day 0 wraps the same way.
  const long long n = DayNumber(x).count();
  DayPillar = PillarOfNumber(static_cast<int>((n + 9) % 60));
  // Hour h = 1 is 子 (23:00-00:59 of X). Its stem goes by the stem d of the
  // day pillar just found, so 23:00 already takes the next day's (五鼠遁): a
  // 甲 or 己 day opens with 甲子, 乙 or 庚 with 丙子, 丙 or 辛 with 戊子, 丁 or
  // 壬 with 庚子, 戊 or 癸 with 壬子, i.e. stem 2d - 1, one more each hour.
  // X is one hour after D: the next hour of the same day, or 0 o'clock.
  const bool sameDay = civil.Hour < 23;
  const int h = (sameDay ? civil.Hour + 1 : 0) / 2 + 1;
  HourPillar = {Wrap(h + 2 * DayPillar.Stem - 2, 10), CodeOf(h, CodeKind::Branch)};

  // 4. Decade head of the day.
  DayXun = XunHead(DayPillar);

  // 5. Lunar date of the civil day.
  const auto lunar = SolarToLunar(CivilDate{civil.Year, civil.Month, civil.Day});
  if (lunar) Lunar = {lunar->Year, lunar->Month, lunar->Day};

  // 6. Lunar fields of X.
  HourOrdinal = Ordinal(HourPillar.Branch);
  if (const auto lx = sameDay ? lunar : SolarToLunar(x)) {
    LunarCount = {lx->Month < 0 ? -lx->Month + 1 : lx->Month, lx->Day};
    LunarYear = lx->Year;
    LunarYearNumber = Wrap(LunarYear - 3, 60);
    LunarYearPillar = PillarOfNumber(LunarYearNumber);
    LunarYearStemOrdinal = Ordinal(LunarYearPillar.Stem);
    LunarYearBranchOrdinal = Ordinal(LunarYearPillar.Branch);
  }
}

}  // namespace orv
