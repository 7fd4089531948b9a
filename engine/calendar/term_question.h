// The one question a chart may ask: whether its moment lies before or after
// a solar-term change that falls in the same double hour (Qimen and Liu Ren
// charts). Whoever casts the chart says how the question is asked: a chart
// cast without an asker keeps its moment as entered.
#pragma once

#include <optional>

#include "dates.h"

namespace orv {

enum QuestionAnswer : int {
  kAnswerBefore = 0,  // "是": the moment lies before the change
  kAnswerAfter = 1,   // "否": the moment lies after it
  kAnswerCancel = 2,  // "取消": the chart keeps the moment as entered
};

// Asks the question (GBK, zero-terminated) and gives the answer.
using QuestionAsker = QuestionAnswer (*)(const char* question);

// True when both moments fall on the same civil day and in the same double
// hour, the double hour of a moment being (hour + 1) div 2 of its hour 0-23:
// so 23:00-23:59 and 00:00-00:59 of one day are different double hours.
bool SameDoubleHour(Moment a, Moment b);

// The question, asked when the chart's moment `date` lies in the double hour
// of a solar-term change at `instant`: "今日" + the instant as hh:mm +
// "交节气，您所用的时间在此之前吗？". Returns the moment the chart moves to:
// the instant less one second for Yes (before the change), plus one second
// for No (after it), each taken to the whole second in which it lies (the
// instant's own second less or plus one); nothing when the question does not
// arise, when there is no asker or when the answer is Cancel.
std::optional<Moment> AskTermSide(Moment date, TermInstant instant, QuestionAsker ask);

// Asks about the chart's sectional term, then about its principal term as
// the chart then stands, and after each answer that moves the moment
// re-derives the chart for it: rearrange(moment).
template <typename Chart, typename Rearrange>
void SettleTermSides(Chart& chart, QuestionAsker ask, Rearrange&& rearrange) {
  if (const auto moved = AskTermSide(chart.DateValue, chart.JieInstant, ask)) rearrange(*moved);
  if (const auto moved = AskTermSide(chart.DateValue, chart.QiInstant, ask)) rearrange(*moved);
}

}  // namespace orv
