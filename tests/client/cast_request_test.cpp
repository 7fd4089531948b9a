// Casts kept as requests: the JSON form and back, and casting a request
// through liborv.so's text and JSON exports with the solar-term question
// answered from the request.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cast_request.h"
#include "engine_library.h"
#include "json_reader.h"

namespace timefix {
namespace {

CastRequest Full() {
  CastRequest c = EmptyRequest(ORV_METHOD_LIUREN);
  OrvChartRequest& r = c.request;
  r.solar = 1;
  r.leap = 0;
  r.year = 1988;
  r.month = 7;
  r.day = 15;
  r.hour = 11;
  r.minute = 14;
  r.second = 29;
  r.male = 1;
  r.manualLines = 1;
  const int32_t lines[6] = {1, 2, 3, 0, 1, 2};
  std::memcpy(r.lines, lines, sizeof lines);
  r.flying = 1;
  r.ju = 17;
  r.daytime = 2;
  r.guiRen = 1;
  r.sheHai = 1;
  r.birthYear = 1960;
  r.period = 9;
  r.mountain = 23;
  r.xiagua = 1;
  c.termAnswer = TermAnswer::After;
  return c;
}

TEST(RequestJson, KeepsEveryField) {
  const CastRequest c = Full();
  const std::string json = RequestToJson(c);
  EXPECT_NE(json.find("\"lines\":[1,2,3,0,1,2]"), std::string::npos) << json;
  EXPECT_NE(json.find("\"termAnswer\":1"), std::string::npos) << json;
  EXPECT_NE(json.find("\"birthYear\":1960"), std::string::npos) << json;
  EXPECT_NE(json.find("\"size\":" + std::to_string(sizeof(OrvChartRequest))), std::string::npos);
  const auto back = RequestFromJson(json);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(std::memcmp(&back->request, &c.request, sizeof c.request), 0);
  EXPECT_EQ(back->termAnswer, TermAnswer::After);
}

TEST(RequestJson, ReadsWhatALaterVersionOrAnotherWriterWrote) {
  // Members of a later version (any kind of value) are passed over; white
  // space and member order do not matter; missing fields are zero (the
  // term answer: as entered); the size is this build's; flags may be
  // written as true/false.
  const auto c = RequestFromJson(
      " {\n \"future\": {\"a\": [1, {\"b\": null}], \"s\": \"\\u4e2d\\\"x\"},\n"
      "  \"year\": 2024, \"method\": 1, \"solar\": true, \"male\": false, \"hour\" : 10,\n"
      "  \"month\": 5, \"day\": 1, \"size\": 4, \"note\": 1.5e3, \"neg\": -0 } ");
  ASSERT_TRUE(c.has_value());
  EXPECT_EQ(c->request.size, sizeof(OrvChartRequest));
  EXPECT_EQ(c->request.method, ORV_METHOD_BAZI);
  EXPECT_EQ(c->request.solar, 1);
  EXPECT_EQ(c->request.male, 0);
  EXPECT_EQ(c->request.year, 2024);
  EXPECT_EQ(c->request.hour, 10);
  EXPECT_EQ(c->request.minute, 0);
  EXPECT_EQ(c->request.lines[5], 0);
  EXPECT_EQ(c->termAnswer, TermAnswer::AsEntered);
}

TEST(RequestJson, RefusesWhatIsNotARequest) {
  for (const char* bad : {"", "   ", "[]", "null", "{", "{\"year\":}", "{\"year\":1990,}",
                          "{\"year\":\"1990\"}", "{\"year\":1.5}", "{\"year\":1e3}",
                          "{\"solar\":300}", "{\"solar\":-1}", "{\"year\":99999999999}",
                          "{\"lines\":[1,2,3,4,5,6,7]}", "{\"lines\":[1,\"2\"]}",
                          "{\"termAnswer\":3}", "{\"termAnswer\":-1}", "{} x", "{}{}",
                          "{\"a\":tru}", "{\"a\":\"\\x\"}", "{\"a\":\"unterminated}",
                          "{'year':1990}", "{\"year\":01}", "{\"year\":-}"})
    EXPECT_FALSE(RequestFromJson(bad).has_value()) << bad;
  // Nesting is bounded: a deep text is refused, not followed down.
  EXPECT_FALSE(RequestFromJson("{\"a\":" + std::string(10000, '[') + "}").has_value());
}

TEST(JsonStringAt, FindsAMemberByItsPath) {
  const char* json = R"({"a":{"x":[1,2],"b":"one","c":{"b":"two"}},"b":"three"})";
  EXPECT_EQ(JsonStringAt(json, {"a", "b"}), "one");
  EXPECT_EQ(JsonStringAt(json, {"a", "c", "b"}), "two");
  EXPECT_EQ(JsonStringAt(json, {"b"}), "three");
  EXPECT_EQ(JsonStringAt(json, {"a", "x"}), "");
  EXPECT_EQ(JsonStringAt(json, {"z"}), "");
  EXPECT_EQ(JsonStringAt("not json", {"a"}), "");
}

class Casting : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(engine_.loaded()) << engine_.error(); }
  TEngineLibrary engine_{ORV_LIBRARY_DIR};
};

// The text of an export called directly with the buffer size orv.h gives.
template <typename F, typename... Args>
std::string Direct(const TEngineLibrary& engine, const char* name, std::size_t size, Args... args) {
  std::vector<char> buffer(size, '\0');
  F* f = engine.Find<F>(name);
  if (f == nullptr) return "no export";
  if (f(args..., buffer.data()) != 0) return "refused";
  return buffer.data();
}

TEST_F(Casting, EveryMethodCastsThroughItsOwnExport) {
  std::string text;
  CastRequest c = EmptyRequest(ORV_METHOD_BAZI);
  c.request.solar = 1;
  c.request.male = 1;
  c.request.year = 1984;
  c.request.month = 2;
  c.request.day = 4;
  c.request.hour = 12;
  ASSERT_EQ(CastText(engine_, c, text), 0);
  const std::string wholeHour = Direct<decltype(StrBazi)>(
      engine_, "StrBazi", ORV_CHART_BUFFER_SIZE, uint8_t{1}, uint8_t{0}, uint8_t{1}, 1984, 2, 4, 12);
  EXPECT_EQ(text, wholeHour);

  // Off the whole hour the text is cast to the second (StrChartText). A man
  // of the 癸亥 year (before 立春 at 23:18) counts back to 小寒: 12:40 lies
  // 40 minutes further from it than 12:00, 80 hours (3⅓ days) more before
  // the luck starts, 9 years 8 months 4 days instead of 1 day.
  c.request.minute = 40;
  ASSERT_EQ(CastText(engine_, c, text), 0);
  std::vector<char> atMoment(ORV_CHART_BUFFER_SIZE, '\0');
  const auto chartText = engine_.Find<decltype(StrChartText)>("StrChartText");
  ASSERT_NE(chartText, nullptr);
  ASSERT_EQ(chartText(&c.request, atMoment.data(), ORV_CHART_BUFFER_SIZE), 0);
  EXPECT_EQ(text, atMoment.data());
  EXPECT_NE(text.find("\xC3\xFC\xD6\xF7\xB4\xD3" "9\xCB\xEA" "8\xD4\xC2" "4\xCC\xEC"),
            std::string::npos);  // 命主从9岁8月4天 (GBK)
  EXPECT_NE(wholeHour.find("\xC3\xFC\xD6\xF7\xB4\xD3" "9\xCB\xEA" "8\xD4\xC2" "1\xCC\xEC"),
            std::string::npos);  // 命主从9岁8月1天
  // Its refusals are numbered as the text exports': 1 for no such solar date.
  c.request.day = 30;
  c.request.month = 2;
  std::string untouched = "as it was";
  EXPECT_EQ(CastText(engine_, c, untouched), 1);
  EXPECT_EQ(untouched, "as it was");
  c.request.month = 2;
  c.request.day = 4;
  c.request.minute = 0;

  c.request.method = ORV_METHOD_ZIWEI;
  ASSERT_EQ(CastText(engine_, c, text), 0);
  EXPECT_EQ(text, (Direct<decltype(StrZiwei)>(engine_, "StrZiwei", ORV_ZIWEI_BUFFER_SIZE,
                                              uint8_t{1}, uint8_t{0}, uint8_t{1}, 1984, 2, 4,
                                              12)));

  c.request.method = ORV_METHOD_LIUYAO_XUN;
  c.request.manualLines = 1;
  const int32_t lines[6] = {1, 1, 1, 1, 1, 2};
  std::memcpy(c.request.lines, lines, sizeof lines);
  ASSERT_EQ(CastText(engine_, c, text), 0);
  EXPECT_EQ(text, (Direct<decltype(StrLiuyaoL)>(engine_, "StrLiuyaoL", ORV_CHART_BUFFER_SIZE, 1, 1,
                                                1, 1, 1, 2, uint8_t{1}, uint8_t{0}, uint8_t{1},
                                                1984, 2, 4, 12)));

  c.request.method = ORV_METHOD_QIMEN;
  c.request.flying = 1;
  c.request.ju = 3;
  ASSERT_EQ(CastText(engine_, c, text), 0);
  EXPECT_EQ(text, (Direct<decltype(StrQimen)>(engine_, "StrQimen", ORV_CHART_BUFFER_SIZE,
                                              uint8_t{1}, uint8_t{0}, uint8_t{1}, 3, 1984, 2, 4,
                                              12)));

  // Liu Ren "by the hour": 12:00 is 午, by day.
  c.request.method = ORV_METHOD_LIUREN;
  c.request.daytime = 2;
  c.request.guiRen = 1;
  c.request.birthYear = 1960;
  ASSERT_EQ(CastText(engine_, c, text), 0);
  const auto liuren = engine_.Find<decltype(Str6Ren)>("Str6Ren");
  ASSERT_NE(liuren, nullptr);
  std::vector<char> buffer(ORV_CHART_BUFFER_SIZE, '\0');
  ASSERT_EQ(liuren(1, 0, 1, 1984, 2, 4, 12, buffer.data(), 1, 1, 0, 1960), 0);
  EXPECT_EQ(text, buffer.data());

  // Xuankong: period 8 of the request is StrXuankong's 7.
  c = EmptyRequest(ORV_METHOD_XUANKONG);
  c.request.period = 8;
  c.request.mountain = 1;
  c.request.xiagua = 1;
  ASSERT_EQ(CastText(engine_, c, text), 0);
  EXPECT_EQ(text, (Direct<decltype(StrXuankong)>(engine_, "StrXuankong", ORV_CHART_BUFFER_SIZE, 7,
                                                 1, uint8_t{1})));
}

TEST_F(Casting, RefusalsAreReportedAndLeaveTheTextAlone) {
  std::string text = "kept";
  CastRequest c = EmptyRequest(ORV_METHOD_BAZI);
  c.request.solar = 1;
  c.request.year = 1990;
  c.request.month = 2;
  c.request.day = 30;
  EXPECT_EQ(CastText(engine_, c, text), 1);
  EXPECT_EQ(CastJson(engine_, c, text), ORV_JSON_BAD_SOLAR);
  EXPECT_EQ(text, "kept");
  c.request.method = 99;
  EXPECT_EQ(CastText(engine_, c, text), kNoExport);
  EXPECT_EQ(text, "kept");
}

TEST_F(Casting, TheTermQuestionIsAnsweredFromTheRequest) {
  // 立春 1984 fell at 23:18:44 (UTC+8) on February 4, inside the 子 hour
  // that begins at 23:00: a Qimen chart of 23:00 asks whether the moment
  // lies before the change. Before: the second before it; after: after
  // it; as entered: 23:00 as given.
  CastRequest c = EmptyRequest(ORV_METHOD_QIMEN);
  c.request.solar = 1;
  c.request.year = 1984;
  c.request.month = 2;
  c.request.day = 4;
  c.request.hour = 23;
  std::string json;
  std::string civil[3];
  for (const TermAnswer answer : {TermAnswer::Before, TermAnswer::After, TermAnswer::AsEntered}) {
    c.termAnswer = answer;
    ASSERT_EQ(CastJson(engine_, c, json), 0);
    civil[static_cast<int>(answer)] = JsonStringAt(json, {"moment", "civil"});
  }
  EXPECT_EQ(civil[2], "1984-02-04T23:00:00");
  EXPECT_LT(civil[0], "1984-02-04T23:18:45");
  EXPECT_GT(civil[0], "1984-02-04T23:18:00");
  EXPECT_GT(civil[1], "1984-02-04T23:18:44");
  EXPECT_LT(civil[1], "1984-02-04T23:19:00");
  // The text export is asked the same question: the two answers give two
  // charts.
  std::string before, after;
  c.termAnswer = TermAnswer::Before;
  ASSERT_EQ(CastText(engine_, c, before), 0);
  c.termAnswer = TermAnswer::After;
  ASSERT_EQ(CastText(engine_, c, after), 0);
  EXPECT_NE(before, after);
}

}  // namespace
}  // namespace timefix
