// The question handler the program installs (export SetQuestionHandler), the
// engine's way to ask the user its one question (calendar/term_question.h).
#pragma once

#include "../calendar/term_question.h"

namespace orv {

// Asks the installed handler the question (GBK text) and returns its answer.
// Without a handler, or when the handler answers anything but 0, 1 or 2,
// the answer is kAnswerCancel.
QuestionAnswer AskInstalledHandler(const char* question);

}  // namespace orv
