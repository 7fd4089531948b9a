// The engine's one question to the user: whether the moment of a chart lies
// before or after a solar-term change that falls in the same double hour.
// The engine cannot show a window itself; the program that loaded the library
// installs a handler (export SetQuestionHandler) that asks the user.
#pragma once

#include <string>

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

}  // namespace orv
