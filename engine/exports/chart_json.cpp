// The JSON export: one request for any method, the chart cast as the text
// exports cast it, written as data.
#include <cstddef>
#include <cstring>

#include "../calendar/chart_json.h"
#include "../methods/bazi/bazi.h"
#include "../methods/liuren/liuren.h"
#include "../methods/liuyao/liuyao.h"
#include "../methods/qimen/qimen.h"
#include "../methods/xuankong/xuankong.h"
#include "../methods/ziwei/ziwei.h"
#include "frame.h"
#include "orv.h"
#include "question.h"

#ifndef ORV_ENGINE_VERSION
#define ORV_ENGINE_VERSION "unknown"
#endif

using namespace orv;

namespace {

// The fields of the first version of the request: what a caller must give.
constexpr std::size_t kFirstVersionSize = offsetof(OrvChartRequest, xiagua) + 1;

constexpr std::string_view kMethodNames[8] = {"",       "bazi",   "ziwei",  "liuyao",
                                              "liuyao", "qimen",  "liuren", "xuankong"};

bool Between(int value, int lo, int hi) { return value >= lo && value <= hi; }

// The options a request gives are within their ranges.
bool OptionsInRange(const OrvChartRequest& r) {
  switch (r.method) {
    case ORV_METHOD_BAZI:
    case ORV_METHOD_ZIWEI:
      return true;
    case ORV_METHOD_LIUYAO:
    case ORV_METHOD_LIUYAO_XUN:
      if (r.manualLines == 0) return true;
      for (const int32_t line : r.lines)
        if (!Between(line, 0, 3)) return false;
      return true;
    case ORV_METHOD_QIMEN:
      return Between(r.ju, 0, 18);
    case ORV_METHOD_LIUREN:
      return Between(r.daytime, 0, 2) && r.birthYear >= 0;
    case ORV_METHOD_XUANKONG:
      return Between(r.period, 1, 9) && Between(r.mountain, 0, kXuankongMountains - 1);
    default:
      return false;
  }
}

// What the caller asked for, as the request gave it.
void RequestJson(JsonWriter& out, const OrvChartRequest& r) {
  out.BeginObject();
  if (r.method != ORV_METHOD_XUANKONG) {
    out.Key("calendar").String(r.solar ? "solar" : "lunar");
    out.Key("year").Number(r.year);
    out.Key("month").Number(r.month);
    out.Key("leap").Bool(!r.solar && r.leap);
    out.Key("day").Number(r.day);
    out.Key("hour").Number(r.hour);
    out.Key("minute").Number(r.minute);
    out.Key("second").Number(r.second);
  }
  switch (r.method) {
    case ORV_METHOD_BAZI:
    case ORV_METHOD_ZIWEI:
      out.Key("sex").String(r.male ? "male" : "female");
      break;
    case ORV_METHOD_LIUYAO:
    case ORV_METHOD_LIUYAO_XUN:
      out.Key("lines");
      if (r.manualLines) {
        out.BeginArray();
        for (const int32_t line : r.lines) out.Number(line);
        out.EndArray();
      } else {
        out.Null();
      }
      break;
    case ORV_METHOD_QIMEN:
      out.Key("flying").Bool(r.flying != 0);
      out.Key("ju").Number(r.ju);
      break;
    case ORV_METHOD_LIUREN:
      out.Key("daytime").Number(r.daytime);
      out.Key("guiRen").Bool(r.guiRen != 0);
      out.Key("sheHai").Bool(r.sheHai != 0);
      out.Key("birthYear").Number(r.birthYear);
      out.Key("sex").String(r.male ? "male" : "female");
      break;
    case ORV_METHOD_XUANKONG:
      out.Key("period").Number(r.period);
      out.Key("mountain").Number(r.mountain);
      out.Key("xiagua").Bool(r.xiagua != 0);
      break;
    default:
      break;
  }
  out.EndObject();
}

// The "moment" and "chart" members of a dated chart.
template <typename Chart, typename Write>
void DatedChart(JsonWriter& out, const Chart& chart, Write&& write) {
  out.Key("moment");
  json::ChartMoment(out, chart);
  out.Key("chart");
  write(chart, out);
}

// The options of a Six Lines and of a Liu Ren request.
LiuyaoOptions LiuyaoOf(const OrvChartRequest& r) {
  LiuyaoOptions options;
  options.Manual = r.manualLines != 0;
  for (std::size_t i = 0; i < 6; ++i) options.LinesTopFirst[i] = r.lines[i];
  options.Attachment =
      r.method == ORV_METHOD_LIUYAO_XUN ? LineAttachment::ByDayXun : LineAttachment::ByTrigrams;
  return options;
}

LiurenOptions LiurenOf(const OrvChartRequest& r) {
  LiurenOptions options;
  options.DayOrNight = static_cast<LiurenOptions::Time>(r.daytime);
  options.Rules = LiurenRules::FromFlags(r.guiRen, r.sheHai);
  options.BirthYear = r.birthYear;
  options.Male = r.male != 0;
  options.Ask = &AskInstalledHandler;
  return options;
}

// Casts the chart of a valid request at its moment and writes it.
void CastAndWrite(JsonWriter& out, const OrvChartRequest& r, Moment moment) {
  switch (r.method) {
    case ORV_METHOD_BAZI:
      DatedChart(out, Cast(moment, BaziOptions{r.male != 0}), BaziJson);
      break;
    case ORV_METHOD_ZIWEI:
      DatedChart(out, Cast(moment, ZiweiOptions{r.male != 0}), ZiweiJson);
      break;
    case ORV_METHOD_LIUYAO:
    case ORV_METHOD_LIUYAO_XUN:
      DatedChart(out, Cast(moment, LiuyaoOf(r)), LiuyaoJson);
      break;
    case ORV_METHOD_QIMEN:
      DatedChart(out, Cast(moment, QimenOptions{r.flying != 0, r.ju, &AskInstalledHandler}),
                 QimenJson);
      break;
    case ORV_METHOD_LIUREN:
      DatedChart(out, Cast(moment, LiurenOf(r)), LiurenJson);
      break;
    default:
      break;
  }
}

// Reads the caller's request into r (the fields its size covers, zero for
// the rest), checks its options and resolves its moment (none for
// Xuankong). Returns 0, or the negative result of a request refused.
int32_t ReadRequest(const OrvChartRequest* request, OrvChartRequest& r, Moment& moment) {
  if (request == nullptr || request->size < kFirstVersionSize) return ORV_JSON_BAD_REQUEST;
  std::memset(&r, 0, sizeof r);
  std::memcpy(&r, request, request->size < sizeof r ? request->size : sizeof r);
  if (!OptionsInRange(r)) return ORV_JSON_BAD_REQUEST;
  if (r.method == ORV_METHOD_XUANKONG) return 0;
  if (!Between(r.hour, 0, 23) || !Between(r.minute, 0, 59) || !Between(r.second, 0, 59))
    return ORV_JSON_BAD_REQUEST;
  const int code = ResolveMoment(r.solar != 0, r.leap != 0, r.year, r.month, r.day, r.hour,
                                 r.minute, r.second, moment);
  if (code == kResultBadSolar) return ORV_JSON_BAD_SOLAR;
  if (code == kResultLunarNotFound) return ORV_JSON_LUNAR_NOT_FOUND;
  return 0;
}

}  // namespace

ORV_EXPORT(int32_t) StrChartJson(const OrvChartRequest* request, char* buffer, int32_t size) {
  OrvChartRequest r;
  Moment moment;
  if (const int32_t refused = ReadRequest(request, r, moment); refused != 0) return refused;

  JsonWriter out(buffer, size > 0 ? static_cast<std::size_t>(size) : 0);
  out.BeginObject();
  out.Key("schema").Number(ORV_JSON_SCHEMA_VERSION);
  out.Key("engine").String(ORV_ENGINE_VERSION);
  out.Key("method").String(kMethodNames[r.method]);
  out.Key("request");
  RequestJson(out, r);
  if (r.method == ORV_METHOD_XUANKONG) {
    out.Key("chart");
    XuankongJson(*Cast(XuankongOptions{r.period - 1, r.mountain, r.xiagua != 0}), out);
  } else {
    CastAndWrite(out, r, moment);
  }
  out.EndObject();
  return static_cast<int32_t>(out.Finish());
}

ORV_EXPORT(int32_t) StrChartText(const OrvChartRequest* request, char* buffer, int32_t size) {
  OrvChartRequest r;
  Moment moment;
  if (const int32_t refused = ReadRequest(request, r, moment); refused != 0) return refused;
  const std::size_t capacity = r.method == ORV_METHOD_ZIWEI ? kZiweiBufferSize : kChartBufferSize;
  if (buffer == nullptr || size < 0 || static_cast<std::size_t>(size) < capacity)
    return ORV_JSON_BAD_REQUEST;

  TextWriter out(buffer, capacity);
  switch (r.method) {
    case ORV_METHOD_BAZI:
      BaziText(Cast(moment, BaziOptions{r.male != 0}), out);
      break;
    case ORV_METHOD_ZIWEI:
      ZiweiText(Cast(moment, ZiweiOptions{r.male != 0}), out);
      break;
    case ORV_METHOD_LIUYAO:
    case ORV_METHOD_LIUYAO_XUN:
      YaoText(Cast(moment, LiuyaoOf(r)), out);
      break;
    case ORV_METHOD_QIMEN:
      QimenText(Cast(moment, QimenOptions{r.flying != 0, r.ju, &AskInstalledHandler}), out);
      break;
    case ORV_METHOD_LIUREN:
      TOrvDlrStr::LiurenText(Cast(moment, LiurenOf(r)), out);
      break;
    case ORV_METHOD_XUANKONG:
      XuankongText(*Cast(XuankongOptions{r.period - 1, r.mountain, r.xiagua != 0}), out);
      break;
    default:
      break;
  }
  return 0;
}
