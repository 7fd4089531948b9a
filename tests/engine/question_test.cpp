// The solar-term question: the engine asks through the handler the program
// installs, and answers Cancel on its own when there is none.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "calendar/dates.h"
#include "calendar/solar_terms.h"
#include "exports/orv.h"
#include "exports/question.h"

namespace {

// What the handler saw and what it answers next.
std::string seenText;
int seenCalls = 0;
int32_t nextAnswer = 0;

int32_t ORV_CALL RecordingHandler(const char* question) {
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
  EXPECT_EQ(orv::AskInstalledHandler(kQuestion.c_str()), orv::kAnswerCancel);
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
    EXPECT_EQ(orv::AskInstalledHandler(kQuestion.c_str()), c.expected);
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
  EXPECT_EQ(orv::AskInstalledHandler(kQuestion.c_str()), orv::kAnswerBefore);
  SetQuestionHandler(nullptr);
  EXPECT_EQ(orv::AskInstalledHandler(kQuestion.c_str()), orv::kAnswerCancel);
  EXPECT_EQ(seenCalls, 1);
}

// The double hours run 23:00-00:59 (split at midnight), 01:00-02:59, …,
// 21:00-22:59; the civil day must be the same too.
TEST(SameDoubleHour, SplitsAtOddHoursAndAtMidnight) {
  using orv::EncodeDateTime;
  const orv::Moment nine = EncodeDateTime(2000, 1, 6, 9, 0, 42);
  struct {
    orv::Moment other;
    bool same;
  } cases[] = {
      {EncodeDateTime(2000, 1, 6, 9, 0), true},       {EncodeDateTime(2000, 1, 6, 10, 59), true},
      {EncodeDateTime(2000, 1, 6, 8, 59), false},     {EncodeDateTime(2000, 1, 6, 11, 0), false},
      {EncodeDateTime(2000, 1, 5, 9, 30), false},     {EncodeDateTime(2000, 2, 6, 9, 30), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(orv::SameDoubleHour(nine, c.other), c.same) << c.other.time_since_epoch().count();
  const orv::Moment lateEvening = EncodeDateTime(2000, 1, 6, 23, 10);
  EXPECT_TRUE(orv::SameDoubleHour(lateEvening, EncodeDateTime(2000, 1, 6, 23, 59)));
  EXPECT_FALSE(orv::SameDoubleHour(lateEvening, EncodeDateTime(2000, 1, 7, 0, 10)));
  EXPECT_TRUE(orv::SameDoubleHour(EncodeDateTime(2000, 1, 7, 0, 0), EncodeDateTime(2000, 1, 7, 0, 59)));
  EXPECT_FALSE(orv::SameDoubleHour(EncodeDateTime(2000, 1, 7, 0, 59), EncodeDateTime(2000, 1, 7, 1, 0)));
}

// 小寒 of 2000 falls at 09:00:42: a chart at 10:00 that day is asked about
// it; Yes puts the chart one second before the change, No one second after.
TEST_F(Question, TermSideMovesTheChartAcrossTheChange) {
  const orv::Moment instant = orv::EncodeDateTime(2000, 1, 6, 9, 0, 42);
  const orv::Moment chart = orv::EncodeDateTime(2000, 1, 6, 10, 0);
  const orv::Seconds second{1};
  SetQuestionHandler(&RecordingHandler);

  nextAnswer = 0;
  const auto before = orv::AskTermSide(chart, instant, &orv::AskInstalledHandler);
  ASSERT_TRUE(before.has_value());
  EXPECT_EQ(*before, instant - second);
  EXPECT_EQ(seenText, "今日09:00交节气，您所用的时间在此之前吗？");

  nextAnswer = 1;
  const auto after = orv::AskTermSide(chart, instant, &orv::AskInstalledHandler);
  ASSERT_TRUE(after.has_value());
  EXPECT_EQ(*after, instant + second);

  nextAnswer = 2;
  EXPECT_FALSE(orv::AskTermSide(chart, instant, &orv::AskInstalledHandler).has_value());
  EXPECT_EQ(seenCalls, 3);

  // The table holds the instant to the millisecond (09:00:42.25): the chart
  // moves to the second before and after the one the instant lies in.
  const orv::TermInstant exact = orv::SolarTermInstant(2000, 1, 0);
  nextAnswer = 0;
  EXPECT_EQ(orv::AskTermSide(chart, exact, &orv::AskInstalledHandler), instant - second);
  nextAnswer = 1;
  EXPECT_EQ(orv::AskTermSide(chart, exact, &orv::AskInstalledHandler), instant + second);
  EXPECT_EQ(seenText, "今日09:00交节气，您所用的时间在此之前吗？");
  EXPECT_EQ(seenCalls, 5);
  nextAnswer = 2;

  // A chart cast without an asker keeps its moment and asks nothing.
  EXPECT_FALSE(orv::AskTermSide(chart, instant, nullptr).has_value());
  EXPECT_EQ(seenCalls, 5);

  // The neighbouring double hour is not asked about.
  for (const int hour : {8, 11})
    EXPECT_FALSE(orv::AskTermSide(orv::EncodeDateTime(2000, 1, 6, hour, 0), instant,
                                  &orv::AskInstalledHandler)
                     .has_value())
        << hour;
  EXPECT_EQ(seenCalls, 5);
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
