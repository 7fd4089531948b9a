// TOrvDlr: the derivation of a Da Liu Ren chart from the base chart.
#include "liuren.h"

#include "calendar/solar_terms.h"

namespace orv {

const uint8_t TransmissionTable[kTransmissionRecords][6] = {
#include "transmission_table.inc"
};

namespace {

// The daytime and night-time noble by day stem code, as branch numbers:
// [rule][stem][0 day, 1 night]. Rule 0 "甲戊庚牛羊", rule 1 "甲羊戊庚牛".
constexpr int kNobles[2][11][2] = {
    {{0, 0}, {2, 8}, {1, 9}, {12, 10}, {12, 10}, {2, 8}, {1, 9}, {2, 8}, {7, 3}, {6, 4}, {6, 4}},
    {{0, 0}, {8, 2}, {9, 1}, {10, 12}, {12, 10}, {2, 8}, {1, 9}, {2, 8}, {3, 7}, {4, 6}, {6, 4}},
};

int BranchCode(int number) { return CodeOf(number, CodeKind::Branch); }

// The index of a code in a plate, as an earth branch code; 0 when absent.
int EarthOf(const std::array<int, 12>& plate, int code) {
  for (int i = 0; i < 12; ++i)
    if (plate[i] == code) return BranchCode(i + 1);
  return 0;
}

}  // namespace

void TOrvDlr::SetChartDate(Moment value) {
  SetDate(value);
  ComputeMonthGeneral();
}

// From the month's principal term on, the general of the next month: 丑
// before 大寒 in January, 子 from 大寒, 亥 from 雨水, … back to 寅 from 小雪
// and 丑 again from 冬至.
void TOrvDlr::ComputeMonthGeneral() {
  if (!InCivilYears(DateValue)) {
    MonthGeneral = 0;
    return;
  }
  int v = DecodeDate(DateValue).Month;
  if (DateValue >= QiInstant) v = Wrap(v + 1, 12);
  MonthGeneral = BranchCode(Wrap(3 - v, 12));
}

void TOrvDlr::Compute() {
  // The hour branch of the date as it now stands (子 from 23:00).
  const int h = DecodeDateTime(DateValue + Hours{1}).Hour / 2 + 1;
  ArrangeDay(h >= 4 && h <= 9);  // 卯 … 申
}

int LiurenFields::HeavenAbove(int earthBranch) const {
  if (earthBranch < kBranchFirst || earthBranch > kBranchLast) return 0;
  return HeavenPlate[earthBranch - kBranchFirst];
}

int LiurenFields::EarthUnder(int heavenBranch) const {
  if (heavenBranch == 0) return 0;
  return EarthOf(HeavenPlate, heavenBranch);
}

void TOrvDlr::ArrangeDay(bool daytime) {
  // The base was recomputed when the date was set.
  for (int i = 0; i < 12; ++i) EarthPlate[i] = BranchCode(i + 1);
  IsDay = daytime ? 1 : 0;

  // Heaven plate: the monthly general stands above the hour branch.
  const int h = Ordinal(HourPillar.Branch);
  const int g = Ordinal(MonthGeneral);
  for (int i = 1; i <= 12; ++i) HeavenPlate[i - 1] = BranchCode(i + g - h);

  // Four lessons.
  const int s = DayPillar.Stem;
  const int b = DayPillar.Branch;
  const int u1 = HeavenAbove(BranchCode(LodgingBranch(s)));
  const int u3 = HeavenAbove(b);
  LessonLower = {s, u1, b, u3};
  LessonUpper = {u1, HeavenAbove(u1), u3, HeavenAbove(u3)};

  PlaceTransmissions(Rules.SheHaiRule);
  PlaceHiddenStems();
  PlaceNobles(Rules.NobleRule);
  PlaceGenerals();
}

// Three transmissions, from the table, and the earth branch under each.
void TOrvDlr::PlaceTransmissions(int sheHaiRule) {
  const uint8_t* record =
      TransmissionTable[TransmissionRecordIndex(CycleNumber(DayPillar), Ordinal(LessonUpper[0]))];
  const int offset = sheHaiRule != 0 ? 3 : 0;
  for (int i = 0; i < 3; ++i) Trans[i] = BranchCode(record[offset + i]);
  for (int i = 0; i < 3; ++i) TransSeat[i] = EarthUnder(Trans[i]);
}

// Hidden stems: from the branch of the decade head on, the k-th branch
// carries stem k; the two void branches carry none.
void TOrvDlr::PlaceHiddenStems() {
  const int xun = Ordinal(DayXun.Branch);
  const auto hidden = [xun](int branch) {
    const int k = Wrap(Ordinal(branch) - xun + 1, 12);
    return k <= 10 ? k : 0;
  };
  for (int i = 0; i < 3; ++i) TransStem[i] = hidden(Trans[i]);
  for (int j = 0; j < 4; ++j) LessonStem[j] = hidden(LessonUpper[j]);
}

void TOrvDlr::PlaceNobles(int nobleRule) {
  const int rule = nobleRule != 0 ? 1 : 0;
  const int s = DayPillar.Stem;
  DayNoble = BranchCode(kNobles[rule][s][0]);
  NightNoble = BranchCode(kNobles[rule][s][1]);
}

// Generals: 贵 over the earth branch under the noble in force, the others
// following forward from 亥 … 辰 and backward from 巳 … 戌.
void TOrvDlr::PlaceGenerals() {
  GeneralPlate = {};
  const int p = Ordinal(EarthUnder(IsDay ? DayNoble : NightNoble));
  const bool forward = p == 12 || p <= 5;
  for (int k = 0; k < 12; ++k)
    GeneralPlate[Wrap(forward ? p + k : p - k, 12) - 1] = CodeOf(k + 1, CodeKind::General);
  const auto generalOver = [this](int heaven) {
    const int earth = EarthUnder(heaven);
    return earth == 0 ? 0 : GeneralPlate[earth - kBranchFirst];
  };
  for (int j = 0; j < 4; ++j) LessonGeneral[j] = generalOver(LessonUpper[j]);
  for (int i = 0; i < 3; ++i) TransGeneral[i] = generalOver(Trans[i]);
}

void TOrvDlr::SetBirthYear(int year, bool male) {
  Male = male ? 1 : 0;
  HasBirthYear = year > 0 ? 1 : 0;
  BirthPillar = PillarOfNumber(Wrap(year - 3, 60));
  // The year of life counts from 丙寅 (3) for a man and from 壬申 (9) for a
  // woman, by the lunar year of the civil day.
  const int age = Lunar[0] - year;
  LifeYearPillar = PillarOfNumber(Wrap(male ? 3 + age : 9 - age, 60));
}

LiurenChart Cast(Moment moment, const LiurenOptions& options) {
  TOrvDlrStr chart(options.Rules);
  const auto arrange = [&chart, &options](Moment at) {
    chart.SetChartDate(at);
    if (options.DayOrNight == LiurenOptions::Time::ByHour)
      chart.Compute();
    else
      chart.ArrangeDay(options.DayOrNight == LiurenOptions::Time::Day);
  };
  arrange(moment);
  if (options.BirthYear > 0) chart.SetBirthYear(options.BirthYear, options.Male);
  SettleTermSides(chart, options.Ask, arrange);
  return {chart, chart};
}

}  // namespace orv
