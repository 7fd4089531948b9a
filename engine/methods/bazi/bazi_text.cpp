// The Four Pillars chart text: a two-line header, the seven-line grid filled
// from its template, the life palace and the spirits of each pillar, the
// solar terms of the civil month, the luck start and seventy year lines.
#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>

#include "bazi.h"
#include "calendar/dates.h"
#include "calendar/names.h"
#include "calendar/text.h"

namespace orv {
namespace {

// The grid template, line by line. Columns are the year, month, day and hour
// pillars. "<r.c>": the code of grid row r; "<r|c>": the short ten god of the
// code of row r; "<1!c>": the growth stage; "<n!c>": the nayin of the pillar.
// Each line is filled on its own, which gives the same text as filling the
// whole template and keeps every search and shift to one short line.
constexpr std::string_view kGridTemplate[7] = {
    "　<0|0>　  　<0|1>　  　<0|2>　  　<0|3>\r\n",
    "　<0.0>　  　<0.1>　  　<0.2>　  　<0.3>\r\n",
    "　<1.0>　  　<1.1>　  　<1.2>　  　<1.3>\r\n",
    "<2.0><3.0><4.0>  <2.1><3.1><4.1>  <2.2><3.2><4.2>  <2.3><3.3><4.3>\r\n",
    "<2|0><3|0><4|0>  <2|1><3|1><4|1>  <2|2><3|2><4|2>  <2|3><3|3><4|3>\r\n",
    "　<1!0>　  　<1!1>　  　<1!2>　  　<1!3>\r\n",
    "<n!0>  <n!1>  <n!2>  <n!3>\r\n",
};

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kLifePalaceLabel = "命宫：";
constexpr std::string_view kPillarLabels[4] = {"年柱：", "月柱：", "日柱：", "时柱："};
constexpr std::string_view kManLabel = "男命";
constexpr std::string_view kWomanLabel = "女命";
constexpr std::string_view kColon = "：";
constexpr std::string_view kYearMark = "年";
constexpr std::string_view kMonthMark = "月";
constexpr std::string_view kDayMark = "日";
constexpr std::string_view kHourMark = "时";
constexpr std::string_view kMinuteMark = "分";
constexpr std::string_view kLunarLabel = "阴历：";
constexpr std::string_view kTermsLabel = "本月节气：";
constexpr std::string_view kTermsIndent = "　　　　　";
constexpr std::string_view kLuckFrom = "命主从";
constexpr std::string_view kAgeMark = "岁";
constexpr std::string_view kLuckBegins = "天开始行大运";
constexpr std::string_view kLuckDateLabel = "于交运年的阳历";
constexpr std::string_view kLuckDateEnd = "日交运";
constexpr std::string_view kAgeSeparator = "、";
constexpr std::string_view kLuckChange = "交";
constexpr std::string_view kLuckMark = "运";

// The digit character of 0-9.
char Digit(int n) { return static_cast<char>('0' + n); }

std::string Token(char row, char separator, int column) {
  return {'<', row, separator, Digit(column), '>'};
}

// The template line that holds the tokens of a grid row: "." name tokens,
// "|" ten-god tokens; -1 when the template has none (the branches' ten gods).
int GridLineOf(int row, char separator) {
  if (separator == '.') return row < 2 ? row + 1 : 3;
  if (row == 0) return 0;
  return row >= 2 ? 4 : -1;
}
constexpr int kGrowthLine = 5;
constexpr int kNayinLine = 6;

void AppendInt(std::string& text, long long n) {
  char digits[24];
  text.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
}

// One year line at a time, written into a small buffer and appended whole.
class LineBuffer {
 public:
  LineBuffer& operator<<(std::string_view s) {
    const std::size_t n = std::min(s.size(), static_cast<std::size_t>(end_ - at_));
    std::memcpy(at_, s.data(), n);
    at_ += n;
    return *this;
  }
  LineBuffer& operator<<(int n) {
    at_ = std::to_chars(at_, end_, n).ptr;
    return *this;
  }
  LineBuffer& operator<<(const Pillar& p) {
    return *this << NameView(p.Stem) << NameView(p.Branch);
  }
  void AppendTo(std::string& text) const {
    text.append(buffer_, static_cast<std::size_t>(at_ - buffer_));
  }

 private:
  static std::string_view NameView(int code) {
    if (code < 0 || code >= kSymbolCount) code = 0;
    return {SymbolNames[code], strnlen(SymbolNames[code], sizeof SymbolNames[code])};
  }
  char buffer_[64];
  char* at_ = buffer_;
  char* const end_ = buffer_ + sizeof buffer_;
};

// Term name, then day, hour and minute of its instant.
void AppendTerm(std::string& text, int term, Moment instant) {
  const CivilTime at = DecodeDateTime(instant);
  text += SolarTermName(term);
  AppendInt(text, at.Day);
  text += kDayMark;
  AppendInt(text, at.Hour);
  text += kHourMark;
  AppendInt(text, at.Minute);
  text += kMinuteMark;
}

}  // namespace

std::string BaziText(const TOrvBazi& chart) {
  const std::array<Pillar, 4> pillars = chart.Pillars();
  const auto& grid = chart.Grid;
  std::string text;
  text.reserve(2048);

  // Header: sex and civil date, lunar date.
  text += chart.Male ? kManLabel : kWomanLabel;
  text += kColon;
  AppendInt(text, chart.CivilYear);
  text += kYearMark;
  AppendInt(text, chart.CivilMonth);
  text += kMonthMark;
  AppendInt(text, chart.CivilDay);
  text += kDayMark;
  text += kCrLf;
  text += kLunarLabel;
  text += LunarDateText(chart.Lunar[1], chart.Lunar[2]);
  text += kCrLf;

  // The grid: names of rows 0-4, ten gods of rows 0-4, growth stages, nayin.
  std::array<std::string, 7> lines;
  for (int i = 0; i < 7; ++i) lines[i] = kGridTemplate[i];
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 4; ++c)
      ReplaceToken(lines[GridLineOf(r, '.')], Token(Digit(r), '.', c), NameOf(grid[r][c]));
  for (int r = 0; r < 5; ++r) {
    const int line = GridLineOf(r, '|');
    if (line < 0) continue;
    for (int c = 0; c < 4; ++c)
      ReplaceToken(lines[line], Token(Digit(r), '|', c),
                   TenGodShortName(grid[TOrvBazi::kTenGodRow + r][c]));
  }
  for (int c = 0; c < 4; ++c)
    ReplaceToken(lines[kGrowthLine], Token('1', '!', c),
                 GrowthShortName(grid[TOrvBazi::kGrowthRow][c]));
  for (int c = 0; c < 4; ++c)
    ReplaceToken(lines[kNayinLine], Token('n', '!', c), NayinName(pillars[c]));
  for (const std::string& line : lines) text += line;

  // An empty line, the life palace and the spirits of each pillar.
  text += kCrLf;
  text += kLifePalaceLabel;
  text += NameOf(chart.LifePalace);
  for (int p = 0; p < 4; ++p) {
    text += kCrLf;
    text += kPillarLabels[p];
    for (int slot = 0; slot < kSpiritSlots; ++slot) {
      const int n = chart.Spirits[slot][p];
      if (n <= 0 || n >= kSpiritCount) continue;
      text += SpiritNames[n];
      text += ' ';
    }
  }
  text += kCrLf;
  text += kCrLf;

  // The two terms of the civil month.
  text += kTermsLabel;
  AppendTerm(text, chart.JieTerm, chart.JieInstant);
  text += kCrLf;
  text += kTermsIndent;
  AppendTerm(text, chart.QiTerm, chart.QiInstant);

  // Luck start as years, months of 30 days and days.
  const long long whole = std::chrono::floor<Days>(chart.LuckOffset).count();
  text += kCrLf;
  text += kCrLf;
  text += kLuckFrom;
  AppendInt(text, whole / 360);
  text += kAgeMark;
  AppendInt(text, whole % 360 / 30);
  text += kMonthMark;
  AppendInt(text, whole % 30);
  text += kLuckBegins;

  // The civil date of the luck start.
  const CivilDate start = DecodeDate(chart.LuckStart);
  text += kCrLf;
  text += kLuckDateLabel;
  AppendInt(text, start.Month);
  text += kMonthMark;
  AppendInt(text, start.Day);
  text += kLuckDateEnd;
  text += kCrLf;
  text += kCrLf;

  // Seventy year lines; the first of each decade names its luck pillar.
  for (int i = 0; i < 7; ++i) {
    for (int k = 0; k < 10; ++k) {
      const int n = 10 * i + k;
      const int year = chart.LuckStartYear + n;
      LineBuffer line;
      line << chart.LuckStartAge + n << kAgeSeparator << year << "("
           << PillarOfNumber(YearCycleNumber(year)) << ")";
      if (k == 0) line << kLuckChange << chart.LuckPillar(i) << kLuckMark;
      line << kCrLf;
      line.AppendTo(text);
    }
  }
  return text;
}

std::string BaziChartText(Moment date, bool male) {
  TOrvBazi chart;
  chart.SetDate(date);
  chart.SetMale(male);
  chart.Derive();
  return BaziText(chart);
}

}  // namespace orv
