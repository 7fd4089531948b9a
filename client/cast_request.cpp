#include "cast_request.h"

#include <cstring>
#include <type_traits>
#include <vector>

#include "engine_library.h"
#include "json_reader.h"

namespace timefix {
namespace {

// The answer the question handler gives on this thread: Cancel (the
// moment as entered, as without a handler) outside a cast.
thread_local int32_t tTermAnswer = static_cast<int32_t>(TermAnswer::AsEntered);

int32_t ORV_CALL AnswerTermQuestion(const char*) { return tTermAnswer; }

// Installs a question handler for one cast; the thread's previous answer
// comes back afterwards.
class QuestionScope {
 public:
  QuestionScope(const TEngineLibrary& engine, const CastRequest& cast, OrvQuestionHandler ask)
      : saved_(tTermAnswer) {
    tTermAnswer = static_cast<int32_t>(cast.termAnswer);
    if (auto* install = engine.Find<decltype(SetQuestionHandler)>("SetQuestionHandler"))
      install(ask != nullptr ? ask : &AnswerTermQuestion);
  }
  ~QuestionScope() { tTermAnswer = saved_; }
  QuestionScope(const QuestionScope&) = delete;
  QuestionScope& operator=(const QuestionScope&) = delete;

 private:
  int32_t saved_;
};

// Every field of OrvChartRequest, by its name, in the order of the struct.
// A flag (uint8_t) is written as 0/1 and read as any integer in 0-255.
struct Field {
  const char* name;
  std::size_t offset;
  bool flag;
};
#define ORV_FIELD(f) \
  Field { #f, offsetof(OrvChartRequest, f), std::is_same_v<decltype(OrvChartRequest::f), uint8_t> }
constexpr Field kFields[] = {
    ORV_FIELD(size),     ORV_FIELD(method),      ORV_FIELD(solar),   ORV_FIELD(leap),
    ORV_FIELD(year),     ORV_FIELD(month),       ORV_FIELD(day),     ORV_FIELD(hour),
    ORV_FIELD(minute),   ORV_FIELD(second),      ORV_FIELD(male),    ORV_FIELD(manualLines),
    ORV_FIELD(flying),   ORV_FIELD(ju),          ORV_FIELD(daytime), ORV_FIELD(guiRen),
    ORV_FIELD(sheHai),   ORV_FIELD(birthYear),   ORV_FIELD(period),  ORV_FIELD(mountain),
    ORV_FIELD(xiagua),
};
#undef ORV_FIELD

long long Get(const OrvChartRequest& r, const Field& f) {
  const auto* base = reinterpret_cast<const unsigned char*>(&r) + f.offset;
  if (f.flag) return *base;
  if (f.offset == offsetof(OrvChartRequest, size)) {
    uint32_t v;
    std::memcpy(&v, base, sizeof v);
    return v;
  }
  int32_t v;
  std::memcpy(&v, base, sizeof v);
  return v;
}

bool Set(OrvChartRequest& r, const Field& f, long long value) {
  auto* base = reinterpret_cast<unsigned char*>(&r) + f.offset;
  if (f.flag) {
    if (value < 0 || value > 255) return false;
    *base = static_cast<unsigned char>(value);
    return true;
  }
  if (value < INT32_MIN || value > INT32_MAX) return false;
  const auto v = static_cast<int32_t>(value);
  std::memcpy(base, &v, sizeof v);
  return true;
}

// A Liu Ren request's daytime as Str6Ren takes it: 2 is by the hour.
uint8_t LiurenDaytime(const OrvChartRequest& r) {
  return r.daytime == 2 ? IsDaytimeHour(r.hour) : r.daytime != 0;
}

}  // namespace

bool IsDaytimeHour(int hour) {
  const long long hourOfDay = (static_cast<long long>(hour) % 24 + 24) % 24;
  const long long branch = (hourOfDay + 1) / 2 % 12;  // 0 子 ... 11 亥
  return branch >= 3 && branch <= 8;
}

void SetSolarMoment(OrvChartRequest& request, const CivilTime& time) {
  request.solar = 1;
  request.leap = 0;
  request.year = time.year;
  request.month = time.month;
  request.day = time.day;
  request.hour = time.hour;
  request.minute = time.minute;
  request.second = time.second;
}

CastRequest EmptyRequest(int method) {
  CastRequest cast;
  std::memset(&cast.request, 0, sizeof cast.request);
  cast.request.size = sizeof cast.request;
  cast.request.method = method;
  return cast;
}

std::string RequestToJson(const CastRequest& cast) {
  std::string json = "{";
  for (const Field& f : kFields) {
    if (json.size() > 1) json += ",";
    json += "\"" + std::string(f.name) + "\":" + std::to_string(Get(cast.request, f));
    if (f.offset == offsetof(OrvChartRequest, manualLines)) {
      json += ",\"lines\":[";
      for (std::size_t i = 0; i < 6; ++i)
        json += (i ? "," : "") + std::to_string(cast.request.lines[i]);
      json += "]";
    }
  }
  json += ",\"termAnswer\":" + std::to_string(static_cast<int>(cast.termAnswer)) + "}";
  return json;
}

std::optional<CastRequest> RequestFromJson(std::string_view json) {
  CastRequest cast = EmptyRequest(0);
  JsonReader reader(json);
  const bool ok = reader.Object([&cast](const std::string& name, JsonReader& value) {
    if (name == "lines") {
      std::size_t n = 0;
      return value.Array([&](JsonReader& element) {
        long long v = 0;
        if (n >= 6 || !element.Integer(v) || v < INT32_MIN || v > INT32_MAX) return false;
        cast.request.lines[n++] = static_cast<int32_t>(v);
        return true;
      });
    }
    if (name == "termAnswer") {
      long long v = 0;
      if (!value.Integer(v) || v < 0 || v > 2) return false;
      cast.termAnswer = static_cast<TermAnswer>(v);
      return true;
    }
    for (const Field& f : kFields) {
      if (name != f.name) continue;
      long long v = 0;
      return value.Integer(v) && Set(cast.request, f, v);
    }
    return value.Skip();  // a member of a later version
  });
  if (!ok || !reader.AtEnd()) return std::nullopt;
  // The struct of this build, whatever size the text was written with:
  // fields it did not hold stay zero.
  cast.request.size = sizeof cast.request;
  return cast;
}

int CastText(const TEngineLibrary& engine, const CastRequest& cast, std::string& gbkText,
             OrvQuestionHandler ask) {
  const OrvChartRequest& r = cast.request;
  std::vector<char> buffer(
      r.method == ORV_METHOD_ZIWEI ? ORV_ZIWEI_BUFFER_SIZE : ORV_CHART_BUFFER_SIZE, '\0');
  int code = kNoExport;
  const QuestionScope scope(engine, cast, ask);
  // A moment off the whole hour is cast to the second through the request;
  // the method's export casts at the whole hour.
  if (r.method != ORV_METHOD_XUANKONG && (r.minute != 0 || r.second != 0)) {
    if (auto* f = engine.Find<decltype(StrChartText)>("StrChartText"))
      code = f(&r, buffer.data(), static_cast<int32_t>(buffer.size()));
    if (code == 0) gbkText.assign(buffer.data());
    // Its refusals as the text exports number theirs: 1 invalid solar date,
    // 2 lunar date not found; 3 a request out of range.
    if (code == ORV_JSON_BAD_SOLAR || code == ORV_JSON_LUNAR_NOT_FOUND ||
        code == ORV_JSON_BAD_REQUEST)
      code = -code;
    return code;
  }
  switch (r.method) {
    case ORV_METHOD_BAZI:
    case ORV_METHOD_ZIWEI:
      if (auto* f = engine.Find<decltype(StrBazi)>(r.method == ORV_METHOD_BAZI ? "StrBazi"
                                                                              : "StrZiwei"))
        code = f(r.solar, r.leap, r.male, r.year, r.month, r.day, r.hour, buffer.data());
      break;
    case ORV_METHOD_LIUYAO:
    case ORV_METHOD_LIUYAO_XUN:
      if (auto* f = engine.Find<decltype(StrLiuyao)>(r.method == ORV_METHOD_LIUYAO ? "StrLiuyao"
                                                                                  : "StrLiuyaoL"))
        code = f(r.lines[0], r.lines[1], r.lines[2], r.lines[3], r.lines[4], r.lines[5], r.solar,
                 r.leap, r.manualLines, r.year, r.month, r.day, r.hour, buffer.data());
      break;
    case ORV_METHOD_QIMEN:
      if (auto* f = engine.Find<decltype(StrQimen)>("StrQimen"))
        code = f(r.solar, r.leap, r.flying, r.ju, r.year, r.month, r.day, r.hour, buffer.data());
      break;
    case ORV_METHOD_LIUREN:
      if (auto* f = engine.Find<decltype(Str6Ren)>("Str6Ren"))
        code = f(r.solar, r.leap, r.male, r.year, r.month, r.day, r.hour, buffer.data(),
                 LiurenDaytime(r), r.guiRen, r.sheHai, r.birthYear);
      break;
    case ORV_METHOD_XUANKONG:
      if (auto* f = engine.Find<decltype(StrXuankong)>("StrXuankong"))
        code = f(r.period - 1, r.mountain, r.xiagua, buffer.data());
      break;
    default:
      break;
  }
  if (code == 0) gbkText.assign(buffer.data());
  return code;
}

int CastText(const TEngineLibrary& engine, const CastRequest& cast, std::string& gbkText) {
  return CastText(engine, cast, gbkText, nullptr);
}

int CastJson(const TEngineLibrary& engine, const CastRequest& cast, std::string& json,
             OrvQuestionHandler ask) {
  auto* chartJson = engine.Find<decltype(StrChartJson)>("StrChartJson");
  if (chartJson == nullptr) return kNoExport;
  const QuestionScope scope(engine, cast, ask);
  // Large enough for any chart, so that the question of a term change is
  // asked once; a longer one is cast again.
  std::vector<char> buffer(1 << 16);
  int32_t length = chartJson(&cast.request, buffer.data(), static_cast<int32_t>(buffer.size()));
  if (length >= static_cast<int32_t>(buffer.size())) {
    buffer.resize(static_cast<std::size_t>(length) + 1);
    length = chartJson(&cast.request, buffer.data(), static_cast<int32_t>(buffer.size()));
  }
  if (length < 0) return length;
  if (length >= static_cast<int32_t>(buffer.size())) return ORV_JSON_BAD_REQUEST;
  json.assign(buffer.data(), static_cast<std::size_t>(length));
  return 0;
}

int CastJson(const TEngineLibrary& engine, const CastRequest& cast, std::string& json) {
  return CastJson(engine, cast, json, nullptr);
}

}  // namespace timefix
