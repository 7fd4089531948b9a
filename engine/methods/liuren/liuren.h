// Da Liu Ren chart (大六壬): the monthly general, the heaven plate laid over
// the earth plate, the four lessons, the three transmissions, the nobles and
// the twelve generals, the hidden stems, the birth year and the year of life,
// and the chart text.
#pragma once

#include <array>
#include <cstdint>

#include "calendar/base.h"
#include "calendar/codes.h"
#include "calendar/term_question.h"
#include "calendar/json_writer.h"
#include "calendar/text_writer.h"

namespace orv {

// ---------------------------------------------------------------------------
// The two chart rules, given with every chart.

struct LiurenRules {
  // 0: nobles by the table "甲戊庚牛羊"; 1: by "甲羊戊庚牛".
  int NobleRule = 0;
  // 0: 涉害 decided by the position class (孟, 仲, 季) of the earth branch
  // each candidate stands on; 1: by depth first, then by position class.
  int SheHaiRule = 0;

  // The rules of the dialog's two flags: a flag is true when "甲戊庚牛羊"
  // (guiRen) or "按孟仲季" (sheHai) is chosen, and each rule is the negation
  // of its flag (0 → 1, any nonzero flag → 0).
  static constexpr LiurenRules FromFlags(uint8_t guiRen, uint8_t sheHai) {
    return {guiRen != 0 ? 0 : 1, sheHai != 0 ? 0 : 1};
  }
};

// ---------------------------------------------------------------------------
// Shared facts of the rules, by branch number 1-12 (子 … 亥) and stem code
// 1-10 (甲 … 癸).

// The branch number on which a stem lodges (寄宫).
int LodgingBranch(int stem);
// The branch number that a branch number punishes (刑); itself for 辰 午 酉 亥.
int PunishedBranch(int branch);
// 驿马 of a branch number.
int PostHorse(int branch);
// Position class of an earth branch number: 0 孟 (寅申巳亥), 1 仲 (子午卯酉),
// 2 季 (辰戌丑未).
int PositionClass(int branch);

// ---------------------------------------------------------------------------
// The transmissions.

// Initial, middle and final transmission as branch numbers 1-12.
struct TransmissionTriple {
  int Initial = 0, Middle = 0, Final = 0;
  friend bool operator==(const TransmissionTriple&, const TransmissionTriple&) = default;
};

// What the seven rules give for a day (sexagenary number 1-60) and the branch
// number of the first lesson's upper branch; the day and that branch fix the
// whole heaven plate relative to the day.
struct TransmissionOutcome {
  TransmissionTriple Triple;
  // True when the 涉害 candidates stayed tied and the triple is one of the
  // three tie records that the rules carry as data.
  bool Tie = false;
  // False when the rules leave the initial undecided (a tie that is no tie
  // record, or a 遥克 choice without exactly one branch of the day's
  // polarity); the triple is then empty. The rules never come to that for
  // any of the 720 records: the table generator refuses to write otherwise.
  bool Decided = false;
};
TransmissionOutcome TransmissionsByRules(int dayNumber, int lessonOneUpper, int sheHaiRule);

constexpr int kTransmissionRecords = 720;
// Record index = (day number − 1) × 12 + (branch number of the first lesson's
// upper − 1). Each record: initial, middle and final for SheHaiRule 0, then
// for SheHaiRule 1, as branch numbers. Generated from TransmissionsByRules by
// tools/liuren.
extern const uint8_t TransmissionTable[kTransmissionRecords][6];

constexpr int TransmissionRecordIndex(int dayNumber, int lessonOneUpper) {
  return (dayNumber - 1) * 12 + (lessonOneUpper - 1);
}

// ---------------------------------------------------------------------------
// The chart.

// What the derivation of a Liu Ren chart adds to the base. Symbol codes; 0
// is blank.
struct LiurenFields {
  LiurenRules Rules;
  int MonthGeneral = 0;
  int DayNoble = 0, NightNoble = 0;
  uint8_t IsDay = 0;
  std::array<int, 12> EarthPlate{};    // by earth branch number − 1
  std::array<int, 12> HeavenPlate{};   // heaven branch above each earth branch
  std::array<int, 12> GeneralPlate{};  // general over each earth branch
  std::array<int, 4> LessonLower{};    // lesson 1: the day stem
  std::array<int, 4> LessonUpper{};
  std::array<int, 4> LessonGeneral{};
  std::array<int, 3> TransSeat{};      // earth branch under each transmission
  std::array<int, 3> Trans{};          // initial, middle, final
  std::array<int, 3> TransGeneral{};
  std::array<int, 3> TransStem{};      // hidden stem, 0 when void
  std::array<int, 4> LessonStem{};
  Pillar BirthPillar;
  Pillar LifeYearPillar;
  uint8_t Male = 1;
  uint8_t HasBirthYear = 0;

  // The heaven branch above an earth branch code, and the earth branch under
  // a heaven branch code (0 when the plate does not hold it).
  int HeavenAbove(int earthBranch) const;
  int EarthUnder(int heavenBranch) const;
};

// A Liu Ren chart as data: the base and everything the chart derives.
struct LiurenChart : BaseChart, LiurenFields {};

class TOrvDlr : public TOrvBase, public LiurenFields {
 public:
  // Starts without a date and without a birth year, with the rules of the
  // chart; nothing derived.
  explicit TOrvDlr(const LiurenRules& rules = {}) { Rules = rules; }
  virtual ~TOrvDlr() = default;

  // Sets the date (the base, its solar terms among it, is derived then) and
  // the monthly general; nothing else is recomputed until ArrangeDay.
  virtual void SetChartDate(Moment value);
  // ArrangeDay, daytime when the hour branch is 卯 to 申.
  virtual void Compute();
  // The whole chart as a daytime (昼) or night-time (夜) chart, with the
  // chart's rules.
  void ArrangeDay(bool daytime);
  // The birth year (none when 0 or less) and the sex, for the birth pillar
  // and the year of life.
  void SetBirthYear(int year, bool male);

 private:
  void ComputeMonthGeneral();
  // The steps of ArrangeDay after the plates and the lessons; each takes
  // the rule it uses.
  void PlaceTransmissions(int sheHaiRule);
  void PlaceHiddenStems();
  void PlaceNobles(int nobleRule);
  void PlaceGenerals();
};

// The Liu Ren text chart: the chart object the export casts, and the
// operations that render a chart value as text.
class TOrvDlrStr : public TOrvDlr {
 public:
  using TOrvDlr::TOrvDlr;

  // The header (four lines), the year-of-life line when there is a birth
  // year, an empty line and the plate, lessons and transmissions.
  static void LiurenText(const LiurenChart& chart, TextWriter& out);
  static void LiurenHeader(const LiurenChart& chart, TextWriter& out);
  static void LifeYearLine(const LiurenChart& chart, TextWriter& out);
};

struct LiurenOptions {
  enum class Time { Night = 0, Day = 1, ByHour = 2 };
  // 昼 or 夜, or by the hour branch (卯 to 申 daytime).
  Time DayOrNight = Time::ByHour;
  LiurenRules Rules;
  // The birth year (0 or less: none) and the sex of the querent.
  int BirthYear = 0;
  bool Male = true;
  // How the solar-term question is asked; nothing: the moment as entered.
  QuestionAsker Ask = nullptr;
};

// Casts the chart of a moment: a TOrvDlrStr with the options' rules;
// SetChartDate and ArrangeDay; the birth year; the solar-term question, each
// answer that moves the moment arranging again (the birth-year values stay).
LiurenChart Cast(Moment moment, const LiurenOptions& options);

// The chart as data: the "chart" member of the JSON export.
void LiurenJson(const LiurenChart& chart, JsonWriter& out);

}  // namespace orv
