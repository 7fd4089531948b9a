// Casts one random sample of charts through two builds of liborv.so and
// compares, call by call, the result code, the whole buffer (text, its zero
// and the bytes after it, which must stay as the caller filled them) and
// every question a library asked. Both libraries get the same question
// handler, which answers Yes, No and Cancel in turn by the case number.
//
// The sample covers every export with every flag: solar and lunar dates (a
// leap month now and then) of 1902-2050 at every hour, a few days and hours
// outside the valid ranges, both sexes, manual and time hexagrams, both Qimen
// placements with the automatic and every forced ju, every Liu Ren option
// with and without a birth year, every Xuankong period, mountain and method.
//
// When both libraries have StrChartJson, each case is also cast through it
// (its method's request, now and then with minutes and seconds and a short
// buffer) and the result and the buffer compared (SameJsonBuffers).
//
// Usage: compare_exports OLD.so NEW.so [COUNT [SEED]]
// Prints the count of charts compared per export and each difference (up to
// 20 per export) with its arguments; exits 1 when any call differs.
#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "orv.h"

namespace {

struct Library {
  void* Handle = nullptr;
  decltype(&StrBazi) Bazi = nullptr;
  decltype(&StrZiwei) Ziwei = nullptr;
  decltype(&StrLiuyao) Liuyao = nullptr;
  decltype(&StrLiuyaoL) LiuyaoL = nullptr;
  decltype(&StrQimen) Qimen = nullptr;
  decltype(&Str6Ren) Liuren = nullptr;
  decltype(&StrXuankong) Xuankong = nullptr;
  decltype(&SetQuestionHandler) SetHandler = nullptr;
  decltype(&StrChartJson) Json = nullptr;  // libraries before it have none

  explicit Library(const char* path) {
    Handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (Handle == nullptr) {
      std::fprintf(stderr, "compare_exports: %s\n", dlerror());
      std::exit(2);
    }
    Find(Bazi, "StrBazi");
    Find(Ziwei, "StrZiwei");
    Find(Liuyao, "StrLiuyao");
    Find(LiuyaoL, "StrLiuyaoL");
    Find(Qimen, "StrQimen");
    Find(Liuren, "Str6Ren");
    Find(Xuankong, "StrXuankong");
    Find(SetHandler, "SetQuestionHandler");
    Json = reinterpret_cast<decltype(Json)>(dlsym(Handle, "StrChartJson"));
  }
  template <typename F>
  void Find(F& f, const char* name) {
    f = reinterpret_cast<F>(dlsym(Handle, name));
    if (f == nullptr) {
      std::fprintf(stderr, "compare_exports: no export %s\n", name);
      std::exit(2);
    }
  }
};

// The question handler both libraries share: it answers by the plan of the
// current case and keeps what it was asked.
int32_t answerPlan = 2;
std::string asked;

int32_t Answer(const char* question) {
  asked += question;
  asked += '\n';
  return answerPlan;
}

enum Export { kBazi, kZiwei, kLiuyao, kLiuyaoL, kQimen, kLiuren, kXuankong, kExports };
const char* const kNames[kExports] = {"StrBazi", "StrZiwei", "StrLiuyao", "StrLiuyaoL",
                                      "StrQimen", "Str6Ren",  "StrXuankong"};

// One call's arguments.
struct Case {
  int Export = kBazi;
  uint8_t Solar = 1, Leap = 0, Male = 1, Manual = 1, Flying = 0, Daytime = 0, GuiRen = 1,
          SheHai = 1, Xiagua = 1;
  int32_t Year = 1984, Month = 1, Day = 1, Hour = 0;
  std::array<int32_t, 6> Lines{};
  int32_t Ju = 0, BirthYear = -1, Period = 0, Mountain = 0;
  int32_t Answer = 2;
  int32_t Minute = 0, Second = 0;  // StrChartJson only
  int32_t JsonCapacity = 32768;    // StrChartJson's buffer

  std::string Describe() const {
    char text[256];
    std::snprintf(text, sizeof text,
                  "%s solar=%d leap=%d %d-%d-%d %d male=%d lines=%d%d%d%d%d%d manual=%d "
                  "flying=%d ju=%d daytime=%d guiRen=%d sheHai=%d birth=%d period=%d "
                  "mountain=%d xiagua=%d answer=%d",
                  kNames[Export], Solar, Leap, Year, Month, Day, Hour, Male, Lines[0], Lines[1],
                  Lines[2], Lines[3], Lines[4], Lines[5], Manual, Flying, Ju, Daytime, GuiRen,
                  SheHai, BirthYear, Period, Mountain, Xiagua, Answer);
    return text;
  }
};

Case RandomCase(std::mt19937_64& random) {
  const auto pick = [&](int lo, int hi) {
    return static_cast<int32_t>(std::uniform_int_distribution<int>(lo, hi)(random));
  };
  Case c;
  c.Export = pick(0, kExports - 1);
  c.Solar = static_cast<uint8_t>(pick(0, 1));
  c.Leap = static_cast<uint8_t>(pick(0, 9) == 0);
  c.Year = pick(1902, 2050);
  c.Month = pick(1, 12);
  c.Day = c.Solar ? pick(1, 31) : pick(1, 30);
  c.Hour = pick(0, 23);
  // Now and then a value outside its range.
  switch (pick(0, 199)) {
    case 0: c.Year = pick(0, 1) ? 1901 : 2051; break;
    case 1: c.Month = pick(0, 1) ? 0 : 13; break;
    case 2: c.Day = pick(0, 1) ? 0 : 32; break;
    case 3: c.Hour = pick(0, 1) ? -1 : 24; break;
    default: break;
  }
  c.Male = static_cast<uint8_t>(pick(0, 1));
  for (int32_t& line : c.Lines) line = pick(0, 3);
  c.Manual = static_cast<uint8_t>(pick(0, 1));
  c.Flying = static_cast<uint8_t>(pick(0, 1));
  c.Ju = pick(-1, 19);
  c.Daytime = static_cast<uint8_t>(pick(0, 1));
  c.GuiRen = static_cast<uint8_t>(pick(0, 1));
  c.SheHai = static_cast<uint8_t>(pick(0, 1));
  c.BirthYear = pick(0, 2) == 0 ? -1 : pick(1920, 2020);
  c.Period = pick(0, 8);
  c.Mountain = pick(0, 23);
  c.Xiagua = static_cast<uint8_t>(pick(0, 1));
  c.Answer = pick(0, 2);
  c.Minute = pick(0, 3) == 0 ? pick(0, 59) : 0;
  c.Second = pick(0, 3) == 0 ? pick(0, 59) : 0;
  if (pick(0, 9) == 0) c.JsonCapacity = pick(0, 4000);
  return c;
}

struct Outcome {
  int32_t Result = 0;
  std::vector<char> Buffer;
  std::string Asked;
};

Outcome Run(const Library& lib, const Case& c) {
  Outcome out;
  const std::size_t size = c.Export == kZiwei ? ORV_ZIWEI_BUFFER_SIZE : ORV_CHART_BUFFER_SIZE;
  out.Buffer.assign(size, '\x7f');
  char* b = out.Buffer.data();
  answerPlan = c.Answer;
  asked.clear();
  lib.SetHandler(&Answer);
  const auto& l = c.Lines;
  switch (c.Export) {
    case kBazi:
      out.Result = lib.Bazi(c.Solar, c.Leap, c.Male, c.Year, c.Month, c.Day, c.Hour, b);
      break;
    case kZiwei:
      out.Result = lib.Ziwei(c.Solar, c.Leap, c.Male, c.Year, c.Month, c.Day, c.Hour, b);
      break;
    case kLiuyao:
      out.Result = lib.Liuyao(l[0], l[1], l[2], l[3], l[4], l[5], c.Solar, c.Leap, c.Manual,
                              c.Year, c.Month, c.Day, c.Hour, b);
      break;
    case kLiuyaoL:
      out.Result = lib.LiuyaoL(l[0], l[1], l[2], l[3], l[4], l[5], c.Solar, c.Leap, c.Manual,
                               c.Year, c.Month, c.Day, c.Hour, b);
      break;
    case kQimen:
      out.Result = lib.Qimen(c.Solar, c.Leap, c.Flying, c.Ju, c.Year, c.Month, c.Day, c.Hour, b);
      break;
    case kLiuren:
      out.Result = lib.Liuren(c.Solar, c.Leap, c.Male, c.Year, c.Month, c.Day, c.Hour, b,
                              c.Daytime, c.GuiRen, c.SheHai, c.BirthYear);
      break;
    case kXuankong:
      out.Result = lib.Xuankong(c.Period, c.Mountain, c.Xiagua, b);
      break;
  }
  lib.SetHandler(nullptr);
  out.Asked = asked;
  return out;
}

// The same case through StrChartJson: the request of its method.
Outcome RunJson(const Library& lib, const Case& c) {
  static constexpr int32_t kMethods[kExports] = {
      ORV_METHOD_BAZI,  ORV_METHOD_ZIWEI,  ORV_METHOD_LIUYAO,  ORV_METHOD_LIUYAO_XUN,
      ORV_METHOD_QIMEN, ORV_METHOD_LIUREN, ORV_METHOD_XUANKONG};
  OrvChartRequest r;
  std::memset(&r, 0, sizeof r);
  r.size = sizeof r;
  r.method = kMethods[c.Export];
  r.solar = c.Solar;
  r.leap = c.Leap;
  r.year = c.Year;
  r.month = c.Month;
  r.day = c.Day;
  r.hour = c.Hour;
  r.minute = c.Minute;
  r.second = c.Second;
  r.male = c.Male;
  r.manualLines = c.Manual;
  for (int k = 0; k < 6; ++k) r.lines[k] = c.Lines[static_cast<std::size_t>(k)];
  r.flying = c.Flying;
  r.ju = c.Ju < 0 ? 0 : c.Ju;
  r.daytime = c.Daytime;
  r.guiRen = c.GuiRen;
  r.sheHai = c.SheHai;
  r.birthYear = c.BirthYear < 0 ? 0 : c.BirthYear;
  r.period = c.Period + 1;
  r.mountain = c.Mountain;
  r.xiagua = c.Xiagua;
  Outcome out;
  out.Buffer.assign(static_cast<std::size_t>(c.JsonCapacity) + 16, '\x7f');
  answerPlan = c.Answer;
  asked.clear();
  lib.SetHandler(&Answer);
  out.Result = lib.Json(&r, out.Buffer.data(), c.JsonCapacity);
  lib.SetHandler(nullptr);
  out.Asked = asked;
  return out;
}

// The buffers of a StrChartJson call agree: the whole buffer when the JSON
// fitted; otherwise its empty text and the bytes past the capacity (the
// bytes of the capacity that came before the JSON ran out of room are not
// part of the answer).
bool SameJsonBuffers(const Outcome& a, const Outcome& b, int32_t capacity) {
  if (a.Result < 0 || a.Result < capacity) return a.Buffer == b.Buffer;
  const auto past = static_cast<std::size_t>(capacity);
  return (capacity == 0 || (a.Buffer[0] == '\0' && b.Buffer[0] == '\0')) &&
         std::equal(a.Buffer.begin() + static_cast<std::ptrdiff_t>(past), a.Buffer.end(),
                    b.Buffer.begin() + static_cast<std::ptrdiff_t>(past), b.Buffer.end());
}

// The first line of each buffer where they part, for the report.
void ShowDifference(const Outcome& a, const Outcome& b) {
  if (a.Result != b.Result) std::printf("    result %d / %d\n", a.Result, b.Result);
  if (a.Asked != b.Asked) std::printf("    the questions differ\n");
  const std::string ta(a.Buffer.data(), strnlen(a.Buffer.data(), a.Buffer.size()));
  const std::string tb(b.Buffer.data(), strnlen(b.Buffer.data(), b.Buffer.size()));
  std::size_t at = 0;
  while (at < ta.size() && at < tb.size() && ta[at] == tb[at]) ++at;
  if (at == ta.size() && at == tb.size()) {
    std::printf("    texts equal, bytes after the text differ\n");
    return;
  }
  const std::size_t line = ta.rfind('\n', at == 0 ? 0 : at - 1);
  const std::size_t from = line == std::string::npos ? 0 : line + 1;
  const auto lineAt = [from](const std::string& t) {
    const std::size_t end = t.find('\r', from);
    return t.substr(from, end == std::string::npos ? std::string::npos : end - from);
  };
  std::printf("    at byte %zu, line: [%s] / [%s] (GBK)\n", at, lineAt(ta).c_str(),
              lineAt(tb).c_str());
}

// Moves a Qimen or Liu Ren case onto a day and hour at which the first
// library asks its solar-term question, when one is found in the days around
// the month's two terms; the case stays as it is otherwise.
void MoveToAQuestion(const Library& lib, Case& c) {
  Case probe = c;
  probe.Answer = 2;
  for (int day : {4, 5, 6, 7, 8, 3, 9, 19, 20, 21, 22, 23, 18, 24}) {
    for (int hour = 0; hour < 24; ++hour) {
      probe.Day = day;
      probe.Hour = hour;
      if (!Run(lib, probe).Asked.empty()) {
        c.Day = day;
        c.Hour = hour;
        return;
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: compare_exports OLD.so NEW.so [COUNT [SEED]]\n");
    return 2;
  }
  const Library before(argv[1]);
  const Library after(argv[2]);
  const long count = argc > 3 ? std::atol(argv[3]) : 100000;
  const unsigned long long seed = argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 1;
  std::mt19937_64 random(seed);

  std::array<long, kExports> compared{}, written{}, differing{};
  // Up to 20 differences shown per export (and for StrChartJson).
  long asking = 0, jsonShown = 0;
  std::array<long, kExports> shown{};
  // StrChartJson too, when both libraries have it.
  const bool json = before.Json != nullptr && after.Json != nullptr;
  long jsonCompared = 0, jsonDiffering = 0;
  for (long i = 0; i < count; ++i) {
    Case c = RandomCase(random);
    // A third of the Qimen and Liu Ren charts fall in the double hour of a
    // solar-term change, so that the question and its three answers count.
    if ((c.Export == kQimen || c.Export == kLiuren) && i % 3 == 0) MoveToAQuestion(before, c);
    if (json) {
      const Outcome a = RunJson(before, c);
      const Outcome b = RunJson(after, c);
      ++jsonCompared;
      if (a.Result != b.Result || !SameJsonBuffers(a, b, c.JsonCapacity) || a.Asked != b.Asked) {
        ++jsonDiffering;
        if (jsonShown++ < 20) {
          std::printf("differs: StrChartJson capacity=%d minute=%d second=%d %s\n", c.JsonCapacity,
                      c.Minute, c.Second, c.Describe().c_str());
          if (a.Result != b.Result) std::printf("    result %d / %d\n", a.Result, b.Result);
        }
      }
    }
    const Outcome a = Run(before, c);
    const Outcome b = Run(after, c);
    ++compared[c.Export];
    if (a.Result == 0) ++written[c.Export];
    if (!a.Asked.empty()) ++asking;
    if (a.Result == b.Result && a.Buffer == b.Buffer && a.Asked == b.Asked) continue;
    ++differing[c.Export];
    if (shown[c.Export]++ < 20) {
      std::printf("differs: %s\n", c.Describe().c_str());
      ShowDifference(a, b);
    }
  }
  long total = 0, totalWritten = 0, totalDiffering = 0;
  for (int e = 0; e < kExports; ++e) {
    std::printf("%-12s compared %8ld  charts written %8ld  differing %ld\n", kNames[e],
                compared[e], written[e], differing[e]);
    total += compared[e];
    totalWritten += written[e];
    totalDiffering += differing[e];
  }
  std::printf("all          compared %8ld  charts written %8ld  differing %ld  (asked a question: %ld)\n",
              total, totalWritten, totalDiffering, asking);
  if (json)
    std::printf("StrChartJson compared %8ld  differing %ld\n", jsonCompared, jsonDiffering);
  return totalDiffering == 0 && jsonDiffering == 0 ? 0 : 1;
}
