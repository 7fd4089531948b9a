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
#include "engine_library.h"
#include "exports/frame.h"
#include "exports/orv.h"
#include "gbk_text.h"

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

  // Lets the loaded library ask its questions on the terminal.
  void AskQuestionsOnTerminal() {
    Export<decltype(SetQuestionHandler)>("SetQuestionHandler")(&AskOnTerminal);
  }

  template <typename F>
  F* Export(const char* name) {
    F* p = library_.Find<F>(name);
    if (p == nullptr) throw std::runtime_error(std::string("liborv.so has no export ") + name);
    return p;
  }

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

// A request for the chart as JSON with the date block filled in.
OrvChartRequest JsonRequest(int32_t method, const DateBlock& d) {
  OrvChartRequest request;
  std::memset(&request, 0, sizeof request);
  request.size = sizeof request;
  request.method = method;
  request.solar = d.Solar;
  request.leap = d.Leap;
  request.year = d.Year;
  request.month = d.Month;
  request.day = d.Day;
  request.hour = d.Hour;
  request.minute = d.Minute;
  request.second = d.Second;
  return request;
}

int Report(int code, const std::vector<char>& buffer) {
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
  if (code != 0) {
    std::fprintf(stderr, "orvchart: the engine answered %d\n", code);
    return 1;
  }
  const std::string text = ForTerminal(std::string(buffer.data()));
  if (text.empty()) {
    std::fprintf(stderr, "orvchart: this chart is not available yet\n");
    return 1;
  }
  std::fputs(text.c_str(), stdout);
  if (text.back() != '\n') std::fputc('\n', stdout);
  return 0;
}

const std::vector<std::string> kDateFlags = {"--lunar", "--leap", "--json"};

std::vector<std::string> With(std::vector<std::string> more) {
  more.insert(more.end(), kDateFlags.begin(), kDateFlags.end());
  return more;
}

// The chart as JSON, printed as the engine writes it (UTF-8).
int PrintJson(EngineLibrary& lib, const OrvChartRequest& request) {
  const auto json = lib.Export<decltype(StrChartJson)>("StrChartJson");
  std::vector<char> buffer(16384);
  int32_t length = json(&request, buffer.data(), static_cast<int32_t>(buffer.size()));
  if (length >= static_cast<int32_t>(buffer.size())) {
    buffer.resize(static_cast<std::size_t>(length) + 1);
    length = json(&request, buffer.data(), static_cast<int32_t>(buffer.size()));
  }
  if (length < 0) {
    if (length == ORV_JSON_BAD_SOLAR)
      std::fprintf(stderr, "orvchart: invalid solar date (years %d-%d)\n", ORV_FIRST_YEAR,
                   ORV_LAST_YEAR);
    else if (length == ORV_JSON_LUNAR_NOT_FOUND)
      std::fprintf(stderr, "orvchart: no such lunar date (years %d-%d)\n", ORV_FIRST_YEAR,
                   ORV_LAST_YEAR);
    else
      std::fprintf(stderr, "orvchart: the engine refused the request (a time or an option "
                           "outside its range)\n");
    return 1;
  }
  std::fwrite(buffer.data(), 1, static_cast<std::size_t>(length), stdout);
  std::fputc('\n', stdout);
  return 0;
}

// StrBazi and StrZiwei take the same arguments.
using SexChart = decltype(StrBazi);
static_assert(std::is_same_v<SexChart, decltype(StrZiwei)>);

int SexChartCommand(const char* exportName, int32_t method, std::size_t size, int argc,
                    char** argv) {
  const Args args = Parse(argc, argv, 2, With({"--male", "--female"}));
  Exclusive(args, "--male", "--female");
  if (!args.Has("--male") && !args.Has("--female")) throw UsageError("say --male or --female");
  const DateBlock d = ReadDateBlock(args, 2);
  EngineLibrary lib;
  if (args.Has("--json")) {
    OrvChartRequest request = JsonRequest(method, d);
    request.male = args.Has("--male");
    return PrintJson(lib, request);
  }
  std::vector<char> buffer(size, '\0');
  const int code = lib.Export<SexChart>(exportName)(d.Solar, d.Leap, args.Has("--male"), d.Year,
                                                     d.Month, d.Day, d.Hour, buffer.data());
  return Report(code, buffer);
}

int LiuyaoCommand(int argc, char** argv) {
  using Fn = decltype(StrLiuyao);
  static_assert(std::is_same_v<Fn, decltype(StrLiuyaoL)>);
  const Args args = Parse(argc, argv, 2, With({"--time", "--variant"}));
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
    for (int i = 0; i < 6; ++i)
      lines[i] = ParseInt(args.Words[2 + i], "line value", 0, 3);
  EngineLibrary lib;
  if (args.Has("--json")) {
    OrvChartRequest request =
        JsonRequest(args.Has("--variant") ? ORV_METHOD_LIUYAO_XUN : ORV_METHOD_LIUYAO, d);
    request.manualLines = manual;
    for (std::size_t i = 0; i < 6; ++i) request.lines[i] = lines[i];
    return PrintJson(lib, request);
  }
  std::vector<char> buffer(ORV_CHART_BUFFER_SIZE, '\0');
  const int code = lib.Export<Fn>(args.Has("--variant") ? "StrLiuyaoL" : "StrLiuyao")(
      lines[0], lines[1], lines[2], lines[3], lines[4], lines[5], d.Solar, d.Leap, manual, d.Year,
      d.Month, d.Day, d.Hour, buffer.data());
  return Report(code, buffer);
}

int QimenCommand(int argc, char** argv) {
  using Fn = decltype(StrQimen);
  const Args args = Parse(argc, argv, 2, With({"--flying", "--rotating", "--ju="}));
  Exclusive(args, "--flying", "--rotating");
  const DateBlock d = ReadDateBlock(args, 2);
  const int ju = args.Has("--ju") ? ParseInt(args.Value("--ju", ""), "ju", 1, 18) : 0;
  EngineLibrary lib;
  lib.AskQuestionsOnTerminal();
  if (args.Has("--json")) {
    OrvChartRequest request = JsonRequest(ORV_METHOD_QIMEN, d);
    request.flying = args.Has("--flying");
    request.ju = ju;
    return PrintJson(lib, request);
  }
  std::vector<char> buffer(ORV_CHART_BUFFER_SIZE, '\0');
  const int code = lib.Export<Fn>("StrQimen")(d.Solar, d.Leap, args.Has("--flying"), ju, d.Year,
                                              d.Month, d.Day, d.Hour, buffer.data());
  return Report(code, buffer);
}

int LiurenCommand(int argc, char** argv) {
  using Fn = decltype(Str6Ren);
  const Args args = Parse(argc, argv, 2,
                          With({"--male", "--female", "--day", "--night", "--noble=", "--shehai=",
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
  const uint8_t guiRen = noble == "jia-wu-geng";
  const uint8_t sheHai = sheHaiRule == "class";
  const DateBlock d = ReadDateBlock(args, 2);
  const int birth =
      args.Values.count("--birth") ? ParseInt(args.Value("--birth", ""), "birth year", 1, 9999) : -1;
  // 昼 from 卯 to 申, as the program's dialog ticks it from the hour (a
  // lunar date's hour may run past the day: it is the hour of the day).
  const long long hourOfDay = (static_cast<long long>(d.Hour) % 24 + 24) % 24;
  const int branch = static_cast<int>((hourOfDay + 1) / 2 % 12);
  uint8_t daytime = branch >= 3 && branch <= 8;
  if (args.Has("--day")) daytime = 1;
  if (args.Has("--night")) daytime = 0;
  EngineLibrary lib;
  lib.AskQuestionsOnTerminal();
  if (args.Has("--json")) {
    OrvChartRequest request = JsonRequest(ORV_METHOD_LIUREN, d);
    request.daytime = daytime;
    request.guiRen = guiRen;
    request.sheHai = sheHai;
    request.birthYear = birth > 0 ? birth : 0;
    request.male = !args.Has("--female");
    return PrintJson(lib, request);
  }
  std::vector<char> buffer(ORV_CHART_BUFFER_SIZE, '\0');
  const int code = lib.Export<Fn>("Str6Ren")(d.Solar, d.Leap, !args.Has("--female"), d.Year,
                                             d.Month, d.Day, d.Hour, buffer.data(), daytime,
                                             guiRen, sheHai, birth);
  return Report(code, buffer);
}

int XuankongCommand(int argc, char** argv) {
  using Fn = decltype(StrXuankong);
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
  if (args.Has("--json")) {
    OrvChartRequest request;
    std::memset(&request, 0, sizeof request);
    request.size = sizeof request;
    request.method = ORV_METHOD_XUANKONG;
    request.period = period;
    request.mountain = mountain;
    request.xiagua = !args.Has("--tigua");
    return PrintJson(lib, request);
  }
  std::vector<char> buffer(ORV_CHART_BUFFER_SIZE, '\0');
  const int code = lib.Export<Fn>("StrXuankong")(period - 1, mountain, !args.Has("--tigua"),
                                                 buffer.data());
  return Report(code, buffer);
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
      return SexChartCommand("StrBazi", ORV_METHOD_BAZI, ORV_CHART_BUFFER_SIZE, argc, argv);
    if (command == "ziwei")
      return SexChartCommand("StrZiwei", ORV_METHOD_ZIWEI, ORV_ZIWEI_BUFFER_SIZE, argc, argv);
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
