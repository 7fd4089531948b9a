// The seven exported chart functions.
#include "orv.h"

#include <array>
#include <string>

#include "../methods/bazi/bazi.h"
#include "../methods/liuren/liuren.h"
#include "../methods/liuyao/liuyao.h"
#include "../methods/qimen/qimen.h"
#include "../methods/xuankong/xuankong.h"
#include "../methods/ziwei/ziwei.h"
#include "frame.h"
#include "question.h"

using namespace orv;

namespace {

int32_t Finish(const std::string& text, char* buffer, std::size_t capacity) {
  CopyChart(text, buffer, capacity);
  return kResultOk;
}

int32_t Liuyao(int32_t l6, int32_t l5, int32_t l4, int32_t l3, int32_t l2, int32_t l1,
               uint8_t solar, uint8_t leap, uint8_t manual, int32_t year, int32_t month,
               int32_t day, int32_t hour, char* buffer, bool variant) {
  Moment date;
  const int code = ResolveDate(solar != 0, leap != 0, year, month, day, hour, date);
  if (code != kResultOk) return code;
  const std::array<int, 6> lines{l6, l5, l4, l3, l2, l1};
  return Finish(LiuyaoChartText(lines, manual != 0, date, variant), buffer, kChartBufferSize);
}

}  // namespace

ORV_EXPORT(int32_t) StrBazi(uint8_t solar, uint8_t leap, uint8_t male, int32_t year,
                            int32_t month, int32_t day, int32_t hour, char* buffer) {
  Moment date;
  const int code = ResolveDate(solar != 0, leap != 0, year, month, day, hour, date);
  if (code != kResultOk) return code;
  return Finish(BaziChartText(date, male != 0), buffer, kChartBufferSize);
}

ORV_EXPORT(int32_t) StrZiwei(uint8_t solar, uint8_t leap, uint8_t male, int32_t year,
                             int32_t month, int32_t day, int32_t hour, char* buffer) {
  Moment date;
  const int code = ResolveDate(solar != 0, leap != 0, year, month, day, hour, date);
  if (code != kResultOk) return code;
  return Finish(ZiweiChartText(date, male != 0), buffer, kZiweiBufferSize);
}

ORV_EXPORT(int32_t) StrLiuyao(int32_t line6, int32_t line5, int32_t line4, int32_t line3,
                              int32_t line2, int32_t line1, uint8_t solar, uint8_t leap,
                              uint8_t manual, int32_t year, int32_t month, int32_t day,
                              int32_t hour, char* buffer) {
  return Liuyao(line6, line5, line4, line3, line2, line1, solar, leap, manual, year, month, day,
                hour, buffer, false);
}

ORV_EXPORT(int32_t) StrLiuyaoL(int32_t line6, int32_t line5, int32_t line4, int32_t line3,
                               int32_t line2, int32_t line1, uint8_t solar, uint8_t leap,
                               uint8_t manual, int32_t year, int32_t month, int32_t day,
                               int32_t hour, char* buffer) {
  return Liuyao(line6, line5, line4, line3, line2, line1, solar, leap, manual, year, month, day,
                hour, buffer, true);
}

ORV_EXPORT(int32_t) StrQimen(uint8_t solar, uint8_t leap, uint8_t flying, int32_t ju,
                             int32_t year, int32_t month, int32_t day, int32_t hour,
                             char* buffer) {
  Moment date;
  const int code = ResolveDate(solar != 0, leap != 0, year, month, day, hour, date);
  if (code != kResultOk) return code;
  TOrvQimen chart;
  chart.SetPlacement(flying != 0);
  chart.SetDate(date);
  chart.Arrange();
  // A solar-term change in the chart's double hour: the user says on which
  // side of it the moment lies, first for the sectional term, then for the
  // principal term of the month as the date now stands.
  if (const auto moved = AskTermSide(chart.DateValue, chart.JieInstant)) {
    chart.SetDate(*moved);
    chart.Arrange();
  }
  if (const auto moved = AskTermSide(chart.DateValue, chart.QiInstant)) {
    chart.SetDate(*moved);
    chart.Arrange();
  }
  // 1-18 force the ju; 0 or less, and anything above 18, keep the date's own.
  if (ju >= 1 && ju <= 18) chart.ForceJu(ju);
  return Finish(QimenText(chart), buffer, kChartBufferSize);
}

ORV_EXPORT(int32_t) Str6Ren(uint8_t solar, uint8_t leap, uint8_t male, int32_t year,
                            int32_t month, int32_t day, int32_t hour, char* buffer,
                            uint8_t daytime, uint8_t guiRen, uint8_t sheHai, int32_t birthYear) {
  Moment date;
  const int code = ResolveDate(solar != 0, leap != 0, year, month, day, hour, date);
  if (code != kResultOk) return code;
  SetLiurenRules(guiRen, sheHai);
  TOrvDlrStr chart;
  chart.SetChartDate(date);
  chart.ArrangeDay(daytime != 0);
  if (birthYear > 0) chart.SetBirthYear(birthYear, male != 0);
  // A solar-term change in the chart's double hour: the user says on which
  // side of it the chart falls. The birth-year values stay as they are.
  if (const auto moved = AskTermSide(chart.DateValue, chart.JieInstant)) {
    chart.SetChartDate(*moved);
    chart.ArrangeDay(daytime != 0);
  }
  if (const auto moved = AskTermSide(chart.DateValue, chart.QiInstant)) {
    chart.SetChartDate(*moved);
    chart.ArrangeDay(daytime != 0);
  }
  return Finish(chart.LiurenText(), buffer, kChartBufferSize);
}

ORV_EXPORT(int32_t) StrXuankong(int32_t period, int32_t mountain, uint8_t xiagua, char* buffer) {
  // The chart is computed and rendered inside XuankongChartText, on this
  // call's stack; an argument outside its range gives an empty text.
  return Finish(XuankongChartText(period, mountain, xiagua != 0), buffer, kChartBufferSize);
}
