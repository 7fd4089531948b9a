// The chart as data (StrChartJson): the buffer contract and the result
// codes, every method's JSON read by a reader of its own, one golden chart
// per method worked out by hand from the worked examples, and the JSON
// against the text of the same chart over a sample of 1902-2050.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "export_text.h"
#include "chart_requests.h"
#include "exports/orv.h"
#include "json_value.h"
#include "text_lines.h"
#include "utf8_text.h"

namespace {

using fixtures::JsonValue;
using fixtures::U8;

OrvChartRequest Request(int32_t method) { return fixtures::ChartRequest(method); }

OrvChartRequest Dated(int32_t method, int y, int m, int d, int h, int mi = 0, int s = 0) {
  OrvChartRequest r = Request(method);
  r.solar = 1;
  r.year = y;
  r.month = m;
  r.day = d;
  r.hour = h;
  r.minute = mi;
  r.second = s;
  return r;
}

// The JSON of a request, through a buffer of the length the export asks for;
// the result code when it refuses.
struct JsonResult {
  int32_t Code = 0;
  std::string Text;
};

JsonResult Json(const OrvChartRequest& r) {
  std::vector<char> buffer(256);
  int32_t n = StrChartJson(&r, buffer.data(), static_cast<int32_t>(buffer.size()));
  if (n >= static_cast<int32_t>(buffer.size())) {
    buffer.assign(static_cast<std::size_t>(n) + 1, '\x7f');
    EXPECT_EQ(StrChartJson(&r, buffer.data(), static_cast<int32_t>(buffer.size())), n);
  }
  if (n < 0) return {n, {}};
  EXPECT_EQ(buffer[static_cast<std::size_t>(n)], '\0');
  return {n, std::string(buffer.data(), static_cast<std::size_t>(n))};
}

JsonValue Parsed(const OrvChartRequest& r) {
  const JsonResult result = Json(r);
  EXPECT_GE(result.Code, 0);
  const auto value = fixtures::ParseJson(result.Text);
  EXPECT_TRUE(value.has_value()) << result.Text;
  return value.value_or(JsonValue{});
}

// ---------------------------------------------------------------------------
// The buffer contract and the result codes

TEST(ChartJson, AShortBufferLearnsTheLengthItNeeds) {
  const OrvChartRequest r = Dated(ORV_METHOD_BAZI, 1984, 2, 4, 12);
  const int32_t needed = StrChartJson(&r, nullptr, 0);
  ASSERT_GT(needed, 1000);
  // No room for the terminating zero: the buffer holds an empty text.
  std::vector<char> buffer(static_cast<std::size_t>(needed) + 8, '\x7f');
  EXPECT_EQ(StrChartJson(&r, buffer.data(), needed), needed);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[static_cast<std::size_t>(needed)], '\x7f');  // nothing past the size given
  // Room for the whole JSON and its zero; nothing after it is touched.
  buffer.assign(buffer.size(), '\x7f');
  EXPECT_EQ(StrChartJson(&r, buffer.data(), needed + 1), needed);
  EXPECT_EQ(buffer[static_cast<std::size_t>(needed)], '\0');
  EXPECT_EQ(buffer[static_cast<std::size_t>(needed) + 1], '\x7f');
  EXPECT_EQ(std::strlen(buffer.data()), static_cast<std::size_t>(needed));
  EXPECT_TRUE(fixtures::ParseJson(buffer.data()).has_value());
  // A small buffer learns the same length.
  char small[16];
  EXPECT_EQ(StrChartJson(&r, small, sizeof small), needed);
  EXPECT_EQ(small[0], '\0');
}

TEST(ChartJson, RefusedRequestsWriteNothing) {
  const auto with = [](OrvChartRequest r, auto change) {
    change(r);
    return r;
  };
  const OrvChartRequest bazi = Dated(ORV_METHOD_BAZI, 1984, 2, 4, 12);
  OrvChartRequest lunar = bazi;
  lunar.solar = 0;
  struct {
    const char* name;
    OrvChartRequest request;
    int32_t code;
  } cases[] = {
      {"no such solar date", with(bazi, [](auto& r) { r.day = 30; }), ORV_JSON_BAD_SOLAR},
      {"a year before the tables", with(bazi, [](auto& r) { r.year = 1901; }), ORV_JSON_BAD_SOLAR},
      {"no leap third month in 2023",
       with(lunar, [](auto& r) { r.year = 2023, r.month = 3, r.day = 1, r.leap = 1; }),
       ORV_JSON_LUNAR_NOT_FOUND},
      {"day 30 of a 29-day month", with(lunar, [](auto& r) { r.year = 2023, r.month = 1, r.day = 30; }),
       ORV_JSON_LUNAR_NOT_FOUND},
      {"hour 24", with(bazi, [](auto& r) { r.hour = 24; }), ORV_JSON_BAD_REQUEST},
      {"minute 60", with(bazi, [](auto& r) { r.minute = 60; }), ORV_JSON_BAD_REQUEST},
      {"second -1", with(bazi, [](auto& r) { r.second = -1; }), ORV_JSON_BAD_REQUEST},
      {"no method", with(bazi, [](auto& r) { r.method = 0; }), ORV_JSON_BAD_REQUEST},
      {"method 8", with(bazi, [](auto& r) { r.method = 8; }), ORV_JSON_BAD_REQUEST},
      {"a size before the fields of version 1", with(bazi, [](auto& r) { r.size = 8; }),
       ORV_JSON_BAD_REQUEST},
      {"line value 4", with(bazi, [](auto& r) { r.method = ORV_METHOD_LIUYAO, r.manualLines = 1, r.lines[2] = 4; }),
       ORV_JSON_BAD_REQUEST},
      {"ju 19", with(bazi, [](auto& r) { r.method = ORV_METHOD_QIMEN, r.ju = 19; }), ORV_JSON_BAD_REQUEST},
      {"ju -1", with(bazi, [](auto& r) { r.method = ORV_METHOD_QIMEN, r.ju = -1; }), ORV_JSON_BAD_REQUEST},
      {"daytime 3", with(bazi, [](auto& r) { r.method = ORV_METHOD_LIUREN, r.daytime = 3; }),
       ORV_JSON_BAD_REQUEST},
      {"period 0", with(Request(ORV_METHOD_XUANKONG), [](auto& r) { r.period = 0; }),
       ORV_JSON_BAD_REQUEST},
      {"period 10", with(Request(ORV_METHOD_XUANKONG), [](auto& r) { r.period = 10; }),
       ORV_JSON_BAD_REQUEST},
      {"mountain 24", with(Request(ORV_METHOD_XUANKONG), [](auto& r) { r.period = 8, r.mountain = 24; }),
       ORV_JSON_BAD_REQUEST},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<char> buffer(ORV_CHART_BUFFER_SIZE, '\x7f');
    EXPECT_EQ(StrChartJson(&c.request, buffer.data(), static_cast<int32_t>(buffer.size())), c.code);
    EXPECT_EQ(buffer[0], '\x7f');
  }
  char buffer[8] = "abc";
  EXPECT_EQ(StrChartJson(nullptr, buffer, sizeof buffer), ORV_JSON_BAD_REQUEST);
  EXPECT_EQ(buffer[0], 'a');
}

// A caller built against a later version passes a longer request; the engine
// reads the fields it knows.
TEST(ChartJson, ALongerRequestOfALaterVersionIsRead) {
  struct Later {
    OrvChartRequest Request;
    int32_t Extra;
  } later;
  std::memset(&later, 0, sizeof later);
  later.Request = Dated(ORV_METHOD_ZIWEI, 1984, 2, 2, 0);
  later.Request.male = 1;
  later.Request.size = sizeof later;
  later.Extra = 77;
  OrvChartRequest current = later.Request;
  current.size = sizeof current;
  EXPECT_EQ(Json(later.Request).Text, Json(current).Text);
}

// The moment to the second: 立春 1984 begins at 23:18:44.29, shown as
// 23:18:44; 23:18:44 lies before it, 23:18:45 is its first second.
TEST(ChartJson, TheMomentToTheSecond) {
  const JsonValue before = Parsed(Dated(ORV_METHOD_BAZI, 1984, 2, 4, 23, 18, 44));
  const JsonValue at = Parsed(Dated(ORV_METHOD_BAZI, 1984, 2, 4, 23, 18, 45));
  EXPECT_EQ(before["moment"]["civil"].Str(), "1984-02-04T23:18:44");
  EXPECT_EQ(at["moment"]["civil"].Str(), "1984-02-04T23:18:45");
  EXPECT_EQ(at["moment"]["terms"]["sectional"]["at"].Str(), "1984-02-04T23:18:44");
  EXPECT_EQ(before["moment"]["terms"]["current"].Str(), U8(u8"大寒"));
  EXPECT_EQ(at["moment"]["terms"]["current"].Str(), U8(u8"立春"));
  EXPECT_EQ(before["moment"]["pillars"]["year"].Str(), U8(u8"癸亥"));
  EXPECT_EQ(at["moment"]["pillars"]["year"].Str(), U8(u8"甲子"));
  EXPECT_EQ(at["request"]["second"].Int(), 45);
}

// ---------------------------------------------------------------------------
// Every method's JSON reads

constexpr int32_t kMethods[] = {ORV_METHOD_BAZI,   ORV_METHOD_ZIWEI,  ORV_METHOD_LIUYAO,
                                ORV_METHOD_LIUYAO_XUN, ORV_METHOD_QIMEN, ORV_METHOD_LIUREN,
                                ORV_METHOD_XUANKONG};

TEST(ChartJson, EveryMethodsJsonReads) {
  std::mt19937 random(11);
  int charts = 0;
  for (const int32_t method : kMethods) {
    for (int i = 0; i < 60; ++i) {
      const OrvChartRequest r = fixtures::RandomChartRequest(method, random);
      const JsonResult result = Json(r);
      if (result.Code < 0) {
        EXPECT_EQ(result.Code, ORV_JSON_LUNAR_NOT_FOUND) << method;  // a lunar day 30, a leap month
        continue;
      }
      const auto value = fixtures::ParseJson(result.Text);
      ASSERT_TRUE(value.has_value()) << result.Text;
      EXPECT_EQ((*value)["schema"].Int(), ORV_JSON_SCHEMA_VERSION);
      EXPECT_FALSE((*value)["engine"].Str().empty());
      EXPECT_TRUE((*value)["chart"].Type == JsonValue::Kind::Object);
      EXPECT_EQ(value->Has("moment"), method != ORV_METHOD_XUANKONG);
      ++charts;
    }
  }
  EXPECT_GT(charts, 350);
}

// ---------------------------------------------------------------------------
// Golden charts

// The golden JSON matches when it has the same members in the same order and
// the same values; a golden string ending in "*" stands for every string
// that begins with what comes before it (a value the worked example does not
// determine, such as the seconds of a solar term it shows to the minute).
void ExpectMatches(const JsonValue& golden, const JsonValue& actual, const std::string& path) {
  if (golden.Type == JsonValue::Kind::String && !golden.Text.empty() && golden.Text.back() == '*') {
    ASSERT_EQ(actual.Type, JsonValue::Kind::String) << path;
    const std::string prefix = golden.Text.substr(0, golden.Text.size() - 1);
    EXPECT_EQ(actual.Text.substr(0, prefix.size()), prefix) << path;
    return;
  }
  ASSERT_EQ(static_cast<int>(actual.Type), static_cast<int>(golden.Type)) << path;
  switch (golden.Type) {
    case JsonValue::Kind::Object:
      ASSERT_EQ(actual.Members.size(), golden.Members.size()) << path;
      for (std::size_t i = 0; i < golden.Members.size(); ++i) {
        ASSERT_EQ(actual.Members[i].first, golden.Members[i].first) << path;
        ExpectMatches(golden.Members[i].second, actual.Members[i].second,
                      path + "." + golden.Members[i].first);
      }
      break;
    case JsonValue::Kind::Array:
      ASSERT_EQ(actual.Items.size(), golden.Items.size()) << path;
      for (std::size_t i = 0; i < golden.Items.size(); ++i)
        ExpectMatches(golden.Items[i], actual.Items[i], path + "[" + std::to_string(i) + "]");
      break;
    default:
      EXPECT_EQ(actual, golden) << path << ": " << actual.Text << " / " << golden.Text;
  }
}

JsonValue GoldenFile(const std::string& name) {
  std::ifstream file(std::string(ORV_FIXTURES_DIR) + "/json/" + name);
  std::stringstream text;
  text << file.rdbuf();
  const auto value = fixtures::ParseJson(text.str());
  EXPECT_TRUE(value.has_value()) << name;
  return value.value_or(JsonValue{});
}

// The worked examples: the Four Pillars of a man born 1984-02-04 12:00; the
// Purple Star chart of 1984-02-02 00:00, a man; 天风姤 cast by hand for
// 1984-02-10 12:00; the Qimen chart of 2024-02-10 03:00, rotating; the Liu
// Ren chart of 1984-01-31 02:00 by night for a man born in 1950; 八运 子山午向
// 挨星下卦. The golden files transcribe the charts worked out by hand for the
// texts (tests/fixtures/bazi_worked_example.h, liuyao_worked_example.h and
// the whole charts of ziwei_text_test, qimen_text_test, liuren_test and
// xuankong_test), with the values the text leaves out worked out by the same
// rules: the long names of the ten gods and growth stages, the decades of
// 100 years and more, the seat of each transmission, the full pillar of the
// year of life.
TEST(ChartJson, GoldenChartsWorkedOutByHand) {
  OrvChartRequest bazi = Dated(ORV_METHOD_BAZI, 1984, 2, 4, 12);
  bazi.male = 1;
  OrvChartRequest ziwei = Dated(ORV_METHOD_ZIWEI, 1984, 2, 2, 0);
  ziwei.male = 1;
  OrvChartRequest liuyao = Dated(ORV_METHOD_LIUYAO, 1984, 2, 10, 12);
  liuyao.manualLines = 1;
  const int32_t gou[6] = {1, 1, 1, 1, 1, 2};
  std::memcpy(liuyao.lines, gou, sizeof gou);
  const OrvChartRequest qimen = Dated(ORV_METHOD_QIMEN, 2024, 2, 10, 3);
  OrvChartRequest liuren = Dated(ORV_METHOD_LIUREN, 1984, 1, 31, 2);
  liuren.male = 1;
  liuren.guiRen = 1;
  liuren.sheHai = 1;
  liuren.birthYear = 1950;
  OrvChartRequest xuankong = Request(ORV_METHOD_XUANKONG);
  xuankong.period = 8;
  xuankong.mountain = 1;
  xuankong.xiagua = 1;
  const struct {
    const char* file;
    OrvChartRequest request;
  } cases[] = {{"bazi.json", bazi},   {"ziwei.json", ziwei},   {"liuyao.json", liuyao},
               {"qimen.json", qimen}, {"liuren.json", liuren}, {"xuankong.json", xuankong}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    ExpectMatches(GoldenFile(c.file), Parsed(c.request), "");
  }
}

}  // namespace
