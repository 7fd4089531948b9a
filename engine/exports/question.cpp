// The question handler: one pointer in library-wide storage, set by the
// program after it loads the library and gone with the library when it is
// unloaded. It is atomic, so charts drawn on other threads read it safely
// while it is being set.
#include "question.h"

#include <atomic>

#include "../calendar/dates.h"
#include "orv.h"

namespace {

std::atomic<OrvQuestionHandler> questionHandler{nullptr};

}  // namespace

ORV_EXPORT(void) SetQuestionHandler(OrvQuestionHandler handler) { questionHandler.store(handler); }

namespace orv {

QuestionAnswer AskQuestion(const std::string& gbkText) {
  const OrvQuestionHandler handler = questionHandler.load();
  if (handler == nullptr) return kAnswerCancel;
  switch (handler(gbkText.c_str())) {
    case kAnswerBefore:
      return kAnswerBefore;
    case kAnswerAfter:
      return kAnswerAfter;
    default:
      return kAnswerCancel;
  }
}

bool SameDoubleHour(double a, double b) {
  const DateTimeParts p = DecodeDateTime(a);
  const DateTimeParts q = DecodeDateTime(b);
  return p.Year == q.Year && p.Month == q.Month && p.Day == q.Day &&
         (p.Hour + 1) / 2 == (q.Hour + 1) / 2;
}

std::optional<double> AskTermSide(double date, double instant) {
  if (!SameDoubleHour(date, instant)) return std::nullopt;
  constexpr double kOneSecond = 1.0 / 86400;
  switch (AskQuestion("今日" + FormatHHMM(instant) + "交节气，您所用的时间在此之前吗？")) {
    case kAnswerBefore:
      return instant - kOneSecond;
    case kAnswerAfter:
      return instant + kOneSecond;
    default:
      return std::nullopt;
  }
}

}  // namespace orv
