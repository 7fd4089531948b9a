// The base of every chart: from one moment, the civil components, the lunar
// date, the solar terms of the civil month and the four pillars of year,
// month, day and hour.
//
// BaseChart holds what the base derives; it is part of every chart value
// (the plain struct a method's Cast returns). TOrvBase is the base of every
// chart object: it derives a BaseChart when its date is set.
#pragma once

#include <array>
#include <cstdint>

#include "codes.h"
#include "dates.h"

namespace orv {

struct BaseChart {
  int LunarYearStemOrdinal = 0;
  int LunarYearBranchOrdinal = 0;
  std::array<int, 3> Lunar{};  // lunar year, month (negative: leap), day of the civil day
  Pillar DayXun;
  Moment DateValue;
  uint16_t CivilYear = 0, CivilMonth = 0, CivilDay = 0, CivilHour = 0, CivilMinute = 0;
  int LunarYearNumber = 0;
  std::array<int, 2> LunarCount{};  // lunar month (leap counted as the next) and day of X
  int HourOrdinal = 0;
  int LunarYear = 0;
  Pillar LunarYearPillar;
  TermInstant JieInstant;
  TermInstant QiInstant;
  int JieTerm = 0, QiTerm = 0, CurrentTerm = 0;
  Pillar YearPillar, MonthPillar, DayPillar, HourPillar;

  // Year, month, day and hour pillar.
  std::array<Pillar, 4> Pillars() const { return {YearPillar, MonthPillar, DayPillar, HourPillar}; }
  // The civil date and time of DateValue, to the minute.
  CivilTime Civil() const { return {CivilYear, CivilMonth, CivilDay, CivilHour, CivilMinute, 0}; }
};

class TOrvBase : public BaseChart {
 public:
  // Starts without a date: every field zero, nothing computed, no clock read.
  TOrvBase() = default;

  // Stores the moment and derives every other field from it (Recompute); a
  // moment the object already holds is not derived again.
  void SetDate(Moment value);
  // Derives every other field from DateValue. Fields that need a table the
  // moment lies outside of (solar terms 1900-2099, lunar years 1901-2050) are
  // left zero; nothing is ever read outside a table.
  void Recompute();

 private:
  void Clear();
  bool dated_ = false;
};

}  // namespace orv
