// TOrvBase: the base of every chart object. From one date value it derives
// the civil components, the lunar date, the solar terms of the civil month
// and the four pillars of year, month, day and hour.
#pragma once

#include <array>
#include <cstdint>

#include "codes.h"
#include "dates.h"

namespace orv {

class TOrvBase {
 public:
  // Starts without a date: every field zero, nothing computed, no clock read.
  TOrvBase() = default;

  // Stores the moment only; Recompute derives the rest.
  void SetDate(Moment value) { DateValue = value; }
  // Derives every other field from DateValue. Fields that need a table the
  // moment lies outside of (solar terms 1900-2099, lunar years 1901-2050) are
  // left zero; nothing is ever read outside a table.
  void Recompute();

  Moment GetDate() const { return DateValue; }
  // Year stem, year branch, month stem, month branch, day stem, day branch,
  // hour stem, hour branch.
  std::array<int, 8> PillarCodes() const;
  std::array<Pillar, 4> Pillars() const { return {YearPillar, MonthPillar, DayPillar, HourPillar}; }
  const std::array<int, 3>& GetLunar() const { return Lunar; }

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
  Moment JieInstant;
  Moment QiInstant;
  int JieTerm = 0, QiTerm = 0, CurrentTerm = 0;
  Pillar YearPillar, MonthPillar, DayPillar, HourPillar;

 private:
  void Clear();
};

}  // namespace orv
