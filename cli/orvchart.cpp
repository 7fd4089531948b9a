// orvchart: charts and the calendar in the terminal, in UTF-8.
//
// The calendar comes from the engine's calendar core linked in; the charts
// come from liborv.so, loaded by file name from this program's own directory
// first, exactly as the desktop program loads it.
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "calendar/base.h"
#include "calendar/calendar_text.h"
#include "calendar/dates.h"
#include "calendar/text_writer.h"
#include "cast_request.h"
#include "engine_library.h"
#include "exports/frame.h"
#include "exports/orv.h"
#include "gbk_text.h"
#include "time_correction.h"

namespace {

constexpr const char* kUsage = R"(usage: orvchart COMMAND [ARGUMENTS]

Dates are YYYY-MM-DD (solar) or, with --lunar, the lunar year, month and day
(the lunar year being the Gregorian year in which it begins); --leap marks the
leap month. Hours are 0-23. Years %d-%d.

Every chart command takes --json: it prints the chart as data (JSON, UTF-8,
docs/chart-json.md) instead of its text; the time may then be HH:MM or
HH:MM:SS.

  orvchart calendar [DATE [HH[:MM]]] [--lunar] [--leap]
      The civil and lunar date, the current solar term, the two terms of the
      civil month and the four pillars. Without a date: now.
  orvchart bazi DATE HOUR (--male|--female) [--lunar] [--leap]
      Four Pillars chart.
  orvchart ziwei DATE HOUR (--male|--female) [--lunar] [--leap]
      Purple Star chart.
  orvchart liuyao DATE HOUR (L6 L5 L4 L3 L2 L1|--time) [--variant]
                  [--lunar] [--leap]
      Six Lines chart of six line values, top line first (0 yin, 1 yang,
      2 moving yin, 3 moving yang), e.g. liuyao 2024-05-01 10 1 1 1 1 1 2;
      --time casts the time hexagram of the date and hour instead.
      --variant gives the second chart (its own line attachment).
  orvchart qimen DATE HOUR [--flying|--rotating] [--ju N] [--lunar] [--leap]
      Qimen chart, rotating placement by default. --ju: 1-9 yang ju,
      10-18 yin ju 1-9; without it the ju follows from the date. When a
      solar term changes in the chart's double hour, asks whether the
      moment lies before it (y/n; Enter, or no terminal: as entered).
  orvchart liuren DATE HOUR [--day|--night] [--noble=jia-wu-geng|jia-yang]
                  [--shehai=class|depth] [--birth YEAR] [--male|--female]
                  [--lunar] [--leap]
      Da Liu Ren chart. Daytime (昼) for the hours 卯 to 申 (05:00-16:59),
      night-time (夜) otherwise, unless --day or --night says. Nobles by the
      table 甲戊庚牛羊 (jia-wu-geng, the default) or 甲羊戊庚牛 (jia-yang);
      涉害 by the position class 孟仲季 (class, the default) or by depth
      (depth). --birth adds the birth pillar and the year of life of a man
      (--male, the default) or a woman (--female).
  orvchart xuankong PERIOD MOUNTAIN [--tigua]
      Xuankong flying-star chart. PERIOD 1-9; MOUNTAIN 0-23 in the order
      壬 子 癸 丑 艮 寅 甲 卯 乙 辰 巽 巳 丙 午 丁 未 坤 申 庚 酉 辛 戌 乾 亥,
      or the sitting mountain's character. Xiagua unless --tigua.
  orvchart --help

The birth moment (bazi, ziwei, liuyao, qimen, liuren; solar dates):
  --minute M           the minute of the clock time (0-59)
  --place NAME         a place of the built-in list (乌鲁木齐, 喀什地区, 纽约):
                       its longitude and time zone
  --longitude DEG      or the longitude (east positive, -180 to 180) and
  --zone ZONE          the tz database zone (default Asia/Shanghai)
  --mean-solar         cast for the local mean solar time (longitude only)
  --true-solar         cast for the local true solar time (longitude and the
                       equation of time)
  --dst | --standard   which of two readings of a clock time that happened
                       twice (when daylight saving ended) is meant
The clock time is read in the zone, daylight saving from the zone's history
(the system's tz database). With a correction the correction line comes
first (on standard error with --json), then the chart cast for the corrected
date and hour. When the moment lies within 10 minutes of a double-hour or a
sectional-term boundary, a warning on standard error names both pillars.
)";

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// An engine text (GBK) for the terminal: UTF-8, CR LF become LF.
std::string ForTerminal(const std::string& gbk) {
  const std::string out = GbkToUtf8(gbk);
  std::string lf;
  lf.reserve(out.size());
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (out[i] == '\r' && i + 1 < out.size() && out[i + 1] == '\n') continue;
    lf += out[i];
  }
  return lf;
}

int ParseInt(const std::string& text, const char* what, int lo, int hi) {
  if (text.empty()) throw UsageError(std::string("missing ") + what);
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || errno == ERANGE || v < lo || v > hi)
    throw UsageError(std::string("bad ") + what + " '" + text + "' (expected " +
                     std::to_string(lo) + "-" + std::to_string(hi) + ")");
  return static_cast<int>(v);
}

struct YMD {
  int Year, Month, Day;
};

YMD ParseDate(const std::string& text) {
  const auto a = text.find('-');
  const auto b = a == std::string::npos ? a : text.find('-', a + 1);
  if (a == std::string::npos || b == std::string::npos || a == 0)
    throw UsageError("bad date '" + text + "' (expected YYYY-MM-DD)");
  return {ParseInt(text.substr(0, a), "year", 1, 9999),
          ParseInt(text.substr(a + 1, b - a - 1), "month", 1, 12),
          ParseInt(text.substr(b + 1), "day", 1, 31)};
}

// The parsed command line: positional words, flags, and the values of the
// options that take one.
struct Args {
  std::vector<std::string> Words;
  std::vector<std::string> Flags;
  std::map<std::string, std::string> Values;

  bool Has(const char* flag) const {
    for (const auto& f : Flags)
      if (f == flag) return true;
    return false;
  }
  // The value given to an option, or `fallback` when it was not given.
  std::string Value(const char* option, std::string fallback) const {
    const auto found = Values.find(option);
    return found == Values.end() ? fallback : found->second;
  }
};

// Reads the command line from argv[first] on. `allowed` lists the options of
// the command; a name ending in "=" takes a value, written "--name=VALUE" or
// "--name VALUE".
Args Parse(int argc, char** argv, int first, const std::vector<std::string>& allowed) {
  Args args;
  for (int i = first; i < argc; ++i) {
    std::string a = argv[i];
    if (a.rfind("--", 0) != 0) {
      args.Words.push_back(a);
      continue;
    }
    std::string value;
    const auto eq = a.find('=');
    if (eq != std::string::npos) {
      value = a.substr(eq + 1);
      a = a.substr(0, eq);
    }
    bool known = false, takesValue = false;
    for (const auto& f : allowed) {
      known = known || f == a;
      takesValue = takesValue || f == a + "=";
    }
    if (!known && !takesValue) throw UsageError("unknown option " + a + " for this command");
    if (takesValue) {
      if (eq == std::string::npos) {
        if (i + 1 >= argc) throw UsageError(a + " needs a value");
        value = argv[++i];
      }
      args.Values[a] = value;
    } else if (eq != std::string::npos) {
      throw UsageError(a + " takes no value");
    }
    args.Flags.push_back(a);
  }
  return args;
}

void Exclusive(const Args& args, const char* a, const char* b) {
  if (args.Has(a) && args.Has(b)) throw UsageError(std::string(a) + " and " + b + " exclude each other");
}

// The engine's solar-term question, asked on the terminal: "y" answers 是
// (before the change), "n" 否 (after it), an empty line or anything else 取消
// (the moment as entered). Without a terminal on standard input nothing is
// asked and the answer is 取消.
int32_t AskOnTerminal(const char* question) {
  if (isatty(STDIN_FILENO) == 0) return 2;
  std::fprintf(stderr, "%s [y/n/Enter] ", ForTerminal(question).c_str());
  std::fflush(stderr);
  char line[64];
  if (std::fgets(line, sizeof line, stdin) == nullptr) return 2;
  if (line[0] == 'y' || line[0] == 'Y') return 0;
  if (line[0] == 'n' || line[0] == 'N') return 1;
  return 2;
}

// liborv.so, loaded for one call from this program's directory first and
// unloaded on every path.
class EngineLibrary {
 public:
  EngineLibrary() : library_(ProgramDirectory()) {
    if (!library_.loaded()) throw std::runtime_error("cannot load liborv.so: " + library_.error());
  }

  const TEngineLibrary& library() const { return library_; }

 private:
  TEngineLibrary library_;
};

// The date block every dated chart command takes: DATE HOUR [--lunar] [--leap].
// With --json the time may be HH:MM or HH:MM:SS.
struct DateBlock {
  uint8_t Solar, Leap;
  int Year, Month, Day, Hour;
  int Minute = 0, Second = 0;
};

DateBlock ReadDateBlock(const Args& args, std::size_t expectedWords) {
  if (args.Words.size() != expectedWords)
    throw UsageError("expected a date and an hour (see orvchart --help)");
  const YMD d = ParseDate(args.Words[0]);
  const bool lunar = args.Has("--lunar");
  if (args.Has("--leap") && !lunar) throw UsageError("--leap needs --lunar");
  DateBlock block{static_cast<uint8_t>(!lunar), static_cast<uint8_t>(args.Has("--leap")), d.Year,
                  d.Month, d.Day, 0};
  const std::string& time = args.Words[1];
  const auto colon = time.find(':');
  if (colon == std::string::npos) {
    block.Hour = ParseInt(time, "hour", INT_MIN, INT_MAX);
    return block;
  }
  if (!args.Has("--json")) throw UsageError("a chart text takes a whole hour; HH:MM needs --json");
  block.Hour = ParseInt(time.substr(0, colon), "hour", 0, 23);
  const auto second = time.find(':', colon + 1);
  block.Minute = ParseInt(time.substr(colon + 1, second == std::string::npos ? std::string::npos
                                                                             : second - colon - 1),
                          "minute", 0, 59);
  if (second != std::string::npos) block.Second = ParseInt(time.substr(second + 1), "second", 0, 59);
  return block;
}

// A request with the date block filled in.
timefix::CastRequest DatedRequest(int32_t method, const DateBlock& d) {
  timefix::CastRequest cast = timefix::EmptyRequest(method);
  OrvChartRequest& request = cast.request;
  request.solar = d.Solar;
  request.leap = d.Leap;
  request.year = d.Year;
  request.month = d.Month;
  request.day = d.Day;
  request.hour = d.Hour;
  request.minute = d.Minute;
  request.second = d.Second;
  return cast;
}

int Report(int code, const std::string& gbk) {
  if (code == 1) {
    std::fprintf(stderr, "orvchart: invalid solar date or hour (years %d-%d, hours 0-23)\n",
                 ORV_FIRST_YEAR, ORV_LAST_YEAR);
    return 1;
  }
  if (code == 2) {
    std::fprintf(stderr, "orvchart: no such lunar date (years %d-%d)\n", ORV_FIRST_YEAR,
                 ORV_LAST_YEAR);
    return 1;
  }
  if (code == timefix::kNoExport) {
    std::fprintf(stderr, "orvchart: liborv.so lacks this chart's export\n");
    return 1;
  }
  if (code != 0) {
    std::fprintf(stderr, "orvchart: the engine answered %d\n", code);
    return 1;
  }
  const std::string text = ForTerminal(gbk);
  if (text.empty()) {
    std::fprintf(stderr, "orvchart: this chart is not available yet\n");
    return 1;
  }
  std::fputs(text.c_str(), stdout);
  if (text.back() != '\n') std::fputc('\n', stdout);
  return 0;
}

// The options of the birth moment, which every dated chart command takes.
const std::vector<std::string> kMomentOptions = {"--minute=",     "--place=",      "--longitude=",
                                                 "--zone=",       "--mean-solar",  "--true-solar",
                                                 "--dst",         "--standard"};
const std::vector<std::string> kDateFlags = {"--lunar", "--leap", "--json"};

std::vector<std::string> With(std::vector<std::string> more) {
  more.insert(more.end(), kDateFlags.begin(), kDateFlags.end());
  return more;
}

std::vector<std::string> Dated(std::vector<std::string> more) {
  more = With(std::move(more));
  more.insert(more.end(), kMomentOptions.begin(), kMomentOptions.end());
  return more;
}

double ParseLongitude(const std::string& text) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0')
    throw UsageError("bad --longitude '" + text + "' (expected degrees, east positive)");
  return v;
}

std::string Moment(const timefix::CivilTime& t) {
  char b[40];
  std::snprintf(b, sizeof b, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return b;
}

// The moment to cast from the date block and the options of the birth
// moment: the clock time read in the zone and corrected when asked. Writes
// the correction line (empty without a correction) and whether the moment
// is known to the minute (boundaries are then looked for). Errors of the
// moment are the user's, in Chinese.
DateBlock CorrectMoment(const Args& args, DateBlock d, std::string& line, bool& exact) {
  Exclusive(args, "--mean-solar", "--true-solar");
  Exclusive(args, "--dst", "--standard");
  Exclusive(args, "--place", "--longitude");
  Exclusive(args, "--place", "--zone");
  line.clear();
  if (args.Has("--minute")) {
    if (args.Words[1].find(':') != std::string::npos)
      throw UsageError("--minute and a time HH:MM exclude each other");
    d.Minute = ParseInt(args.Value("--minute", ""), "minute", 0, 59);
  }
  const bool correcting = args.Has("--mean-solar") || args.Has("--true-solar");
  const bool placed = args.Has("--place") || args.Has("--longitude") || args.Has("--zone");
  exact = d.Solar && (args.Has("--minute") || correcting || d.Minute != 0 || d.Second != 0);
  if (!correcting && !placed && !args.Has("--dst") && !args.Has("--standard")) return d;
  if (correcting && !args.Has("--place") && !args.Has("--longitude"))
    throw UsageError("--mean-solar and --true-solar need --place or --longitude");
  if (!d.Solar) throw std::runtime_error("时间校正需要公历日期。");

  timefix::CorrectionInput in;
  in.clock = {d.Year, d.Month, d.Day, d.Hour, d.Minute, d.Second};
  in.correction = args.Has("--true-solar")   ? timefix::Correction::TrueSolar
                  : args.Has("--mean-solar") ? timefix::Correction::MeanSolar
                                             : timefix::Correction::None;
  if (args.Has("--place")) {
    const std::string name = args.Value("--place", "");
    const timefix::Place* place = timefix::FindPlace(name);
    if (place == nullptr)
      throw std::runtime_error("未知的地点：" + name + "。请换一个写法，或给出经度和时区。");
    in.placeName = place->name;
    in.longitude = place->longitude;
    in.zone = place->zone;
  } else {
    if (args.Has("--longitude")) in.longitude = ParseLongitude(args.Value("--longitude", ""));
    in.zone = args.Value("--zone", "Asia/Shanghai");
  }
  if (args.Has("--dst")) in.fold = timefix::Fold::Earlier;
  if (args.Has("--standard")) in.fold = timefix::Fold::Later;
  const timefix::CorrectionResult r = timefix::Correct(in);
  if (r.status == timefix::CorrectionStatus::RepeatedTime)
    throw std::runtime_error(r.message + "（--dst 或 --standard）");
  if (r.status != timefix::CorrectionStatus::Ok) throw std::runtime_error(r.message);
  line = r.line;
  d.Year = r.corrected.year;
  d.Month = r.corrected.month;
  d.Day = r.corrected.day;
  d.Hour = r.corrected.hour;
  d.Minute = r.corrected.minute;
  d.Second = r.corrected.second;
  return d;
}

// Casts a dated chart: the birth moment corrected as the options say, the
// correction line first, a warning for each boundary within 10 minutes,
// then the chart (its text, or its JSON with --json). `ask` answers the
// engine's solar-term question (null: as entered).
int CastDated(const Args& args, int32_t method, const DateBlock& given,
              const std::function<void(timefix::CastRequest&)>& options,
              OrvQuestionHandler ask) {
  std::string line;
  bool exact = false;
  const DateBlock d = CorrectMoment(args, given, line, exact);
  timefix::CastRequest cast = DatedRequest(method, d);
  options(cast);
  EngineLibrary lib;
  const bool json = args.Has("--json");
  if (!line.empty()) std::fprintf(json ? stderr : stdout, "%s\n", line.c_str());
  if (exact) {
    const timefix::CivilTime moment{d.Year, d.Month, d.Day, d.Hour, d.Minute, d.Second};
    for (const timefix::Boundary& b : timefix::NearBoundaries(lib.library(), moment))
      std::fprintf(stderr, "orvchart: 注意：%s 离分界不到10分钟——%s；按此时刻起盘，另一边的时刻：%s\n",
                   Moment(moment).c_str(), b.text.c_str(), Moment(b.other).c_str());
  }
  if (json) {
    std::string text;
    const int code = timefix::CastJson(lib.library(), cast, text, ask);
    if (code == ORV_JSON_BAD_SOLAR) {
      std::fprintf(stderr, "orvchart: invalid solar date (years %d-%d)\n", ORV_FIRST_YEAR,
                   ORV_LAST_YEAR);
      return 1;
    }
    if (code == ORV_JSON_LUNAR_NOT_FOUND) {
      std::fprintf(stderr, "orvchart: no such lunar date (years %d-%d)\n", ORV_FIRST_YEAR,
                   ORV_LAST_YEAR);
      return 1;
    }
    if (code != 0) {
      std::fprintf(stderr, "orvchart: the engine refused the request (a time or an option "
                           "outside its range)\n");
      return 1;
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    return 0;
  }
  std::string text;
  const int code = timefix::CastText(lib.library(), cast, text, ask);
  return Report(code, text);
}

int SexChartCommand(int32_t method, int argc, char** argv) {
  const Args args = Parse(argc, argv, 2, Dated({"--male", "--female"}));
  Exclusive(args, "--male", "--female");
  if (!args.Has("--male") && !args.Has("--female")) throw UsageError("say --male or --female");
  const DateBlock d = ReadDateBlock(args, 2);
  return CastDated(
      args, method, d, [&](timefix::CastRequest& c) { c.request.male = args.Has("--male"); },
      nullptr);
}

int LiuyaoCommand(int argc, char** argv) {
  const Args args = Parse(argc, argv, 2, Dated({"--time", "--variant"}));
  const bool manual = !args.Has("--time");
  if (manual && args.Words.size() != 8)
    throw UsageError("expected a date, an hour and six line values top line first, or --time "
                     "(see orvchart --help)");
  if (!manual && args.Words.size() != 2)
    throw UsageError("--time takes a date and an hour and no line values");
  // ReadDateBlock reads the first two words; the six line values follow.
  Args dateArgs = args;
  dateArgs.Words.resize(2);
  const DateBlock d = ReadDateBlock(dateArgs, 2);
  std::array<int, 6> lines{};
  if (manual)
    for (std::size_t i = 0; i < 6; ++i)
      lines[i] = ParseInt(args.Words[2 + i], "line value", 0, 3);
  return CastDated(
      dateArgs, args.Has("--variant") ? ORV_METHOD_LIUYAO_XUN : ORV_METHOD_LIUYAO, d,
      [&](timefix::CastRequest& c) {
        c.request.manualLines = manual;
        for (std::size_t i = 0; i < 6; ++i) c.request.lines[i] = lines[i];
      },
      nullptr);
}

int QimenCommand(int argc, char** argv) {
  const Args args = Parse(argc, argv, 2, Dated({"--flying", "--rotating", "--ju="}));
  Exclusive(args, "--flying", "--rotating");
  const DateBlock d = ReadDateBlock(args, 2);
  const int ju = args.Has("--ju") ? ParseInt(args.Value("--ju", ""), "ju", 1, 18) : 0;
  return CastDated(
      args, ORV_METHOD_QIMEN, d,
      [&](timefix::CastRequest& c) {
        c.request.flying = args.Has("--flying");
        c.request.ju = ju;
      },
      &AskOnTerminal);
}

int LiurenCommand(int argc, char** argv) {
  const Args args = Parse(argc, argv, 2,
                          Dated({"--male", "--female", "--day", "--night", "--noble=", "--shehai=",
                                 "--birth="}));
  const std::string noble = args.Value("--noble", "jia-wu-geng");
  const std::string sheHaiRule = args.Value("--shehai", "class");
  Exclusive(args, "--male", "--female");
  Exclusive(args, "--day", "--night");
  // The dialog's options: "甲戊庚牛羊" and "按孟仲季" are the flags set.
  if (noble != "jia-wu-geng" && noble != "jia-yang")
    throw UsageError("bad --noble '" + noble + "' (expected jia-wu-geng or jia-yang)");
  if (sheHaiRule != "class" && sheHaiRule != "depth")
    throw UsageError("bad --shehai '" + sheHaiRule + "' (expected class or depth)");
  const DateBlock d = ReadDateBlock(args, 2);
  const int birth =
      args.Values.count("--birth") ? ParseInt(args.Value("--birth", ""), "birth year", 1, 9999) : 0;
  return CastDated(
      args, ORV_METHOD_LIUREN, d,
      [&](timefix::CastRequest& c) {
        // 昼 from 卯 to 申 by the hour cast (the corrected one), as the
        // program's dialog ticks it, unless --day or --night says.
        c.request.daytime = args.Has("--day")     ? 1
                            : args.Has("--night") ? 0
                                                  : timefix::IsDaytimeHour(c.request.hour);
        c.request.guiRen = noble == "jia-wu-geng";
        c.request.sheHai = sheHaiRule == "class";
        c.request.birthYear = birth;
        c.request.male = !args.Has("--female");
      },
      &AskOnTerminal);
}

int XuankongCommand(int argc, char** argv) {
  static const char* const kMountains[24] = {"壬", "子", "癸", "丑", "艮", "寅", "甲", "卯",
                                             "乙", "辰", "巽", "巳", "丙", "午", "丁", "未",
                                             "坤", "申", "庚", "酉", "辛", "戌", "乾", "亥"};
  const Args args = Parse(argc, argv, 2, {"--tigua", "--json"});
  if (args.Words.size() != 2) throw UsageError("expected a period and a mountain (see orvchart --help)");
  const int period = ParseInt(args.Words[0], "period", 1, 9);
  int mountain = -1;
  for (int i = 0; i < 24; ++i)
    if (args.Words[1] == kMountains[i]) mountain = i;
  if (mountain < 0) mountain = ParseInt(args.Words[1], "mountain", 0, 23);
  EngineLibrary lib;
  timefix::CastRequest cast = timefix::EmptyRequest(ORV_METHOD_XUANKONG);
  cast.request.period = period;
  cast.request.mountain = mountain;
  cast.request.xiagua = !args.Has("--tigua");
  std::string text;
  if (args.Has("--json")) {
    if (timefix::CastJson(lib.library(), cast, text) != 0) {
      std::fprintf(stderr, "orvchart: the engine refused the request\n");
      return 1;
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    return 0;
  }
  return Report(timefix::CastText(lib.library(), cast, text), text);
}

std::string YearRange() {
  return std::to_string(ORV_FIRST_YEAR) + "-" + std::to_string(ORV_LAST_YEAR);
}

// The local date and time of this computer, to the second.
orv::Moment LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &now);  // the C runtime's thread-safe form, arguments swapped
#else
  localtime_r(&now, &local);
#endif
  return orv::EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                             local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec);
}

int CalendarCommand(int argc, char** argv) {
  const Args args = Parse(argc, argv, 2, kDateFlags);
  orv::Moment date;
  if (args.Words.empty()) {
    if (args.Has("--lunar") || args.Has("--leap")) throw UsageError("--lunar needs a date");
    date = LocalNow();
  } else {
    if (args.Words.size() > 2) throw UsageError("expected at most a date and a time");
    if (args.Has("--leap") && !args.Has("--lunar")) throw UsageError("--leap needs --lunar");
    const YMD d = ParseDate(args.Words[0]);
    int hour = 0, minute = 0;
    if (args.Words.size() == 2) {
      const std::string& t = args.Words[1];
      const auto colon = t.find(':');
      hour = ParseInt(t.substr(0, colon), "hour", 0, 23);
      if (colon != std::string::npos) minute = ParseInt(t.substr(colon + 1), "minute", 0, 59);
    }
    const bool solar = !args.Has("--lunar");
    const int code = orv::ResolveDate(solar, args.Has("--leap"), d.Year, d.Month, d.Day, hour, date);
    if (code == orv::kResultBadSolar)
      throw UsageError("invalid solar date (years " + YearRange() + ")");
    if (code == orv::kResultLunarNotFound)
      throw UsageError("no such lunar date (years " + YearRange() + ")");
    date += orv::Minutes{minute};
  }
  orv::TOrvBase base;
  base.SetDate(date);
  char text[512];
  orv::TextWriter out(text, sizeof text);
  if (!orv::CalendarText(base, out))
    throw UsageError("the calendar covers the years " + YearRange() + " only");
  std::fputs(ForTerminal(std::string(out.View())).c_str(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc < 2) throw UsageError("no command (see orvchart --help)");
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
      std::printf(kUsage, ORV_FIRST_YEAR, ORV_LAST_YEAR);
      return 0;
    }
    if (command == "calendar") return CalendarCommand(argc, argv);
    if (command == "bazi")
      return SexChartCommand(ORV_METHOD_BAZI, argc, argv);
    if (command == "ziwei")
      return SexChartCommand(ORV_METHOD_ZIWEI, argc, argv);
    if (command == "liuyao") return LiuyaoCommand(argc, argv);
    if (command == "qimen") return QimenCommand(argc, argv);
    if (command == "liuren") return LiurenCommand(argc, argv);
    if (command == "xuankong") return XuankongCommand(argc, argv);
    throw UsageError("unknown command '" + command + "' (see orvchart --help)");
  } catch (const UsageError& e) {
    std::fprintf(stderr, "orvchart: %s\n", e.what());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orvchart: %s\n", e.what());
    return 1;
  }
}
