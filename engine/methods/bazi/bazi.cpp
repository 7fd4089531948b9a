// TOrvBazi: the derivation of a Four Pillars chart from the base chart and
// the sex.
#include "bazi.h"

#include "calendar/solar_terms.h"

namespace orv {

void TOrvBazi::Derive() {
  // 1. The base was recomputed when the date was set.
  FillGrid();
  Forward = (Male != 0) == IsYang(YearPillar.Stem) ? 1 : 0;
  FindLuckStart();
  for (int i = 0; i < kLuckPeriods; ++i) LuckPillars[static_cast<std::size_t>(i)] = LuckPillar(i);
  LifePalace = LifePalaceOf(MonthPillar.Branch, HourPillar.Branch);
  Spirits = SpiritsOf(Pillars(), Forward != 0);
}

void TOrvBazi::FillGrid() {
  const std::array<Pillar, 4> pillars = Pillars();
  const int dayStem = DayPillar.Stem;
  for (int c = 0; c < 4; ++c) {
    const std::array<int, 3> hidden = HiddenStems(pillars[c].Branch);
    Grid[kStemRow][c] = pillars[c].Stem;
    Grid[kBranchRow][c] = pillars[c].Branch;
    for (int k = 0; k < 3; ++k) Grid[kHiddenRow + k][c] = hidden[k];
    for (int r = 0; r < 5; ++r) Grid[kTenGodRow + r][c] = TenGodOf(dayStem, Grid[r][c]);
    Grid[kGrowthRow][c] = GrowthStageOf(dayStem, pillars[c].Branch);
  }
  Grid[kTenGodRow][2] = kNoTenGod;  // the day stem itself
}

void TOrvBazi::FindLuckStart() {
  LuckOffset = Seconds{0};
  LuckStart = DateValue;
  LuckStartAge = 0;
  LuckStartYear = CivilYear;
  const auto around = SurroundingSectionalTerms(DateValue);
  if (!around) return;
  // The span to the term's instant, to its millisecond.
  const Milliseconds diff = Forward ? around->Next - DateValue : DateValue - around->Previous;
  // Three days to the term are one year of life, a year counted as 360 days
  // (twelve months of 30): one second is 120 seconds of life. The whole
  // seconds of it, so that the start is the moment in which it falls.
  LuckOffset = std::chrono::floor<Seconds>(diff * 120);
  // The luck starts that many real days after birth, on the calendar: its
  // year is the civil year of that day, not the birth year plus the age (a
  // December birth with 9 years 8 months reaches the tenth civil year).
  LuckStart = DateValue + LuckOffset;
  LuckStartYear = DecodeDate(LuckStart).Year;
  // The age counts the 360-day years, whole ones only: 3,622 days make ten
  // years here, where ten years of 365 days would not be reached.
  LuckStartAge = static_cast<int>(LuckOffset / Days{360});
}

Pillar TOrvBazi::LuckPillar(int i) const {
  const int n = CycleNumber(MonthPillar);
  return PillarOfNumber(Forward ? Wrap(n + i + 1, 60) : Wrap(n - i - 1, 60));
}

BaziChart Cast(Moment moment, const BaziOptions& options) {
  TOrvBazi chart;
  chart.SetDate(moment);
  chart.SetMale(options.Male);
  chart.Derive();
  return {chart, chart};
}

}  // namespace orv
