// The question handler: one pointer in library-wide storage, set by the
// program after it loads the library and gone with the library when it is
// unloaded.
#include "question.h"

#include "orv.h"

namespace {

OrvQuestionHandler questionHandler = nullptr;

}  // namespace

ORV_EXPORT(void) SetQuestionHandler(OrvQuestionHandler handler) { questionHandler = handler; }

namespace orv {

QuestionAnswer AskQuestion(const std::string& gbkText) {
  const OrvQuestionHandler handler = questionHandler;
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

}  // namespace orv
