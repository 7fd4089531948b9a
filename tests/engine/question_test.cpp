// The solar-term question: the engine asks through the handler the program
// installs, and answers Cancel on its own when there is none.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "exports/orv.h"
#include "exports/question.h"

namespace {

// What the handler saw and what it answers next.
std::string seenText;
int seenCalls = 0;
int32_t nextAnswer = 0;

int32_t RecordingHandler(const char* question) {
  seenText = question;
  ++seenCalls;
  return nextAnswer;
}

class Question : public testing::Test {
 protected:
  void SetUp() override {
    seenText.clear();
    seenCalls = 0;
  }
  void TearDown() override { SetQuestionHandler(nullptr); }
};

// Literals are compiled to GBK, as the engine's question is.
const std::string kQuestion = "今日09:47交节气，您所用的时间在此之前吗？";

TEST_F(Question, WithoutHandlerTheAnswerIsCancel) {
  SetQuestionHandler(nullptr);
  EXPECT_EQ(orv::AskQuestion(kQuestion), orv::kAnswerCancel);
}

TEST_F(Question, HandlerGetsTheGbkTextAndItsAnswerComesBack) {
  struct {
    int32_t handlerAnswer;
    orv::QuestionAnswer expected;
  } cases[] = {
      {0, orv::kAnswerBefore}, {1, orv::kAnswerAfter}, {2, orv::kAnswerCancel},
      // anything else counts as Cancel
      {3, orv::kAnswerCancel}, {-1, orv::kAnswerCancel}, {256, orv::kAnswerCancel},
  };
  SetQuestionHandler(&RecordingHandler);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.handlerAnswer);
    nextAnswer = c.handlerAnswer;
    seenText.clear();
    EXPECT_EQ(orv::AskQuestion(kQuestion), c.expected);
    EXPECT_EQ(seenText, kQuestion);
  }
  EXPECT_EQ(seenCalls, 6);
  // "今" is B D1 F1 in GBK; the text is zero-terminated after the last byte.
  EXPECT_EQ(static_cast<unsigned char>(kQuestion[0]), 0xBD);
  EXPECT_EQ(static_cast<unsigned char>(kQuestion[1]), 0xF1);
}

TEST_F(Question, RemovingTheHandlerRestoresCancel) {
  nextAnswer = 0;
  SetQuestionHandler(&RecordingHandler);
  EXPECT_EQ(orv::AskQuestion(kQuestion), orv::kAnswerBefore);
  SetQuestionHandler(nullptr);
  EXPECT_EQ(orv::AskQuestion(kQuestion), orv::kAnswerCancel);
  EXPECT_EQ(seenCalls, 1);
}

TEST(QuestionExport, TheLibraryExportsTheSetterByName) {
  void* handle = dlopen(ORV_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  auto* set = reinterpret_cast<decltype(&SetQuestionHandler)>(dlsym(handle, "SetQuestionHandler"));
  EXPECT_NE(set, nullptr);
  if (set) {
    set(&RecordingHandler);
    set(nullptr);
  }
  dlclose(handle);
}

}  // namespace
