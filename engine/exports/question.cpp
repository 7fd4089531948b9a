// The question handler: one pointer in library-wide storage, set by the
// program after it loads the library and gone with the library when it is
// unloaded. It is atomic, so charts drawn on other threads read it safely
// while it is being set.
#include "question.h"

#include <atomic>

#include "orv.h"

namespace {

std::atomic<OrvQuestionHandler> questionHandler{nullptr};

}  // namespace

ORV_EXPORT(void) SetQuestionHandler(OrvQuestionHandler handler) { questionHandler.store(handler); }

namespace orv {

QuestionAnswer AskInstalledHandler(const char* question) {
  const OrvQuestionHandler handler = questionHandler.load();
  if (handler == nullptr) return kAnswerCancel;
  switch (handler(question)) {
    case kAnswerBefore:
      return kAnswerBefore;
    case kAnswerAfter:
      return kAnswerAfter;
    default:
      return kAnswerCancel;
  }
}

}  // namespace orv
