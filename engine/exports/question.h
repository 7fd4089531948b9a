// The engine's one question to the user: whether the moment of a chart lies
// before or after a solar-term change that falls in the same double hour.
// The engine cannot show a window itself; the program that loaded the library
// installs a handler (export SetQuestionHandler) that asks the user.
#pragma once

#include <optional>
#include <string>

#include "../calendar/dates.h"

namespace orv {

enum QuestionAnswer : int {
  kAnswerBefore = 0,  // "是": the moment lies before the change
  kAnswerAfter = 1,   // "否": the moment lies after it
  kAnswerCancel = 2,  // "取消": the chart keeps the moment as entered
};

// Asks the installed handler the question (GBK text) and returns its answer.
// Without a handler, or when the handler answers anything but 0, 1 or 2,
// the answer is kAnswerCancel.
QuestionAnswer AskQuestion(const std::string& gbkText);

// True when both moments fall on the same civil day and in the same double
// hour, the double hour of a moment being (hour + 1) div 2 of its hour 0-23:
// so 23:00-23:59 and 00:00-00:59 of one day are different double hours.
bool SameDoubleHour(Moment a, Moment b);

// The solar-term question of the Qimen and Liu Ren charts, asked when the
// chart's moment `date` lies in the double hour of a solar-term change at
// `instant`: "今日" + the instant as hh:mm + "交节气，您所用的时间在此之前吗？".
// Returns the moment the chart moves to: the instant less one second for Yes
// (before the change), plus one second for No (after it); nothing when the
// question does not arise or the answer is Cancel.
std::optional<Moment> AskTermSide(Moment date, Moment instant);

}  // namespace orv
