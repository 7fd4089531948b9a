// The question handler: one pointer in library-wide storage, set by the
// program after it loads the library and gone with the library when it is
// unloaded. It is atomic, so charts drawn on other threads read it safely
// while it is being set.
#include "question.h"

#include <atomic>

#include <cstdio>

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

bool SameDoubleHour(Moment a, Moment b) {
  const CivilTime p = DecodeDateTime(a);
  const CivilTime q = DecodeDateTime(b);
  return p.Year == q.Year && p.Month == q.Month && p.Day == q.Day &&
         (p.Hour + 1) / 2 == (q.Hour + 1) / 2;
}

std::optional<Moment> AskTermSide(Moment date, Moment instant) {
  if (!SameDoubleHour(date, instant)) return std::nullopt;
  const CivilTime at = DecodeDateTime(instant);
  char hhmm[8];
  std::snprintf(hhmm, sizeof hhmm, "%02d:%02d", at.Hour % 100, at.Minute % 100);
  switch (AskQuestion(std::string("今日") + hhmm + "交节气，您所用的时间在此之前吗？")) {
    case kAnswerBefore:
      return instant - Seconds{1};
    case kAnswerAfter:
      return instant + Seconds{1};
    default:
      return std::nullopt;
  }
}

}  // namespace orv
