// The Four Pillars chart text: a two-line header, the seven-line grid filled
// from its template, the life palace and the spirits of each pillar, the
// solar terms of the civil month, the luck start and seventy year lines.
#include <cstring>
#include <string_view>

#include "bazi.h"

namespace orv {
namespace {

// The grid template, line by line. Columns are the year, month, day and hour
// pillars. "<r.c>": the code of grid row r; "<r|c>": the short ten god of the
// code of row r; "<1!c>": the growth stage; "<n!c>": the nayin of the pillar.
constexpr std::string_view kGridTemplate[7] = {
    "　<0|0>　  　<0|1>　  　<0|2>　  　<0|3>",
    "　<0.0>　  　<0.1>　  　<0.2>　  　<0.3>",
    "　<1.0>　  　<1.1>　  　<1.2>　  　<1.3>",
    "<2.0><3.0><4.0>  <2.1><3.1><4.1>  <2.2><3.2><4.2>  <2.3><3.3><4.3>",
    "<2|0><3|0><4|0>  <2|1><3|1><4|1>  <2|2><3|2><4|2>  <2|3><3|3><4|3>",
    "　<1!0>　  　<1!1>　  　<1!2>　  　<1!3>",
    "<n!0>  <n!1>  <n!2>  <n!3>",
};

constexpr auto kGrid = AngleTemplate<12>(kGridTemplate);

constexpr std::string_view kPillarLabels[4] = {"年柱：", "月柱：", "日柱：", "时柱："};
constexpr auto kSpiritNames = SlotViews(SpiritNames);

// Header: sex and civil date, lunar date.
void WriteHeader(const BaziChart& chart, TextWriter& out) {
  out << (chart.Male ? "男命" : "女命") << "：";
  WriteCivilDate(out, chart.Civil());
  out << kCrLf << "阴历：" << LunarDateText(chart.Lunar[1], chart.Lunar[2]) << kCrLf;
}

// The value of a grid token: "r.c", "r|c", "1!c" or "n!c" (row or tag,
// separator, column 0-3).
void WriteGridValue(const BaziChart& chart, std::string_view token, TextWriter& out) {
  if (token.size() != 3) return;
  const int column = token[2] - '0';
  if (column < 0 || column > 3) return;
  const auto c = static_cast<std::size_t>(column);
  const auto& grid = chart.Grid;
  if (token[0] == 'n') {
    out << NayinName(chart.Pillars()[c]);
    return;
  }
  const int row = token[0] - '0';
  if (row < 0 || row > 4) return;
  const auto r = static_cast<std::size_t>(row);
  switch (token[1]) {
    case '.': out << NameOf(grid[r][c]); break;
    case '|': out << TenGodShortName(grid[BaziFields::kTenGodRow + r][c]); break;
    case '!': out << GrowthShortName(grid[BaziFields::kGrowthRow][c]); break;
    default: break;
  }
}

// The grid: stems, branches, hidden stems, their short ten gods, the growth
// stages and the nayin; then an empty line.
void WriteGrid(const BaziChart& chart, TextWriter& out) {
  for (const auto& line : kGrid) {
    ReplaceTokens(out, line, [&](std::string_view token) { WriteGridValue(chart, token, out); });
    out << kCrLf;
  }
  out << kCrLf;
}

// The life palace and the spirits of each pillar, each name followed by a
// space; then an empty line.
void WriteSpirits(const BaziChart& chart, TextWriter& out) {
  out << "命宫：" << NameOf(chart.LifePalace);
  for (std::size_t p = 0; p < 4; ++p) {
    out << kCrLf << kPillarLabels[p];
    for (const auto& slot : chart.Spirits) {
      const int n = slot[p];
      if (n > 0 && n < kSpiritCount) out << kSpiritNames[static_cast<std::size_t>(n)] << ' ';
    }
  }
  out << kCrLf << kCrLf;
}

// Term name, then day, hour and minute of its instant.
void WriteTerm(int term, Moment instant, TextWriter& out) {
  const CivilTime at = DecodeDateTime(instant);
  out << SolarTermName(term) << at.Day << "日" << at.Hour << "时" << at.Minute << "分";
}

// The two terms of the civil month.
void WriteMonthTerms(const BaziChart& chart, TextWriter& out) {
  out << "本月节气：";
  WriteTerm(chart.JieTerm, chart.JieInstant, out);
  out << kCrLf << "　　　　　";
  WriteTerm(chart.QiTerm, chart.QiInstant, out);
  out << kCrLf << kCrLf;
}

// The luck start as years, months of 30 days and days, and its civil month
// and day; then an empty line.
void WriteLuckStart(const BaziChart& chart, TextWriter& out) {
  const auto whole = static_cast<int>(std::chrono::floor<Days>(chart.LuckOffset).count());
  out << "命主从" << whole / 360 << "岁" << whole % 360 / 30 << "月" << whole % 30
      << "天开始行大运" << kCrLf;
  const CivilDate start = DecodeDate(chart.LuckStart);
  out << "于交运年的阳历" << start.Month << "月" << start.Day << "日交运" << kCrLf << kCrLf;
}

// The texts of the sixty pillars by cycle number (甲子 1 … 癸亥 60): four
// bytes each, every stem and branch being one character.
constexpr auto kPillarTexts = [] {
  std::array<std::array<char, 4>, 61> texts{};
  for (int n = 1; n <= 60; ++n) {
    const Pillar p = PillarOfNumber(n);
    const std::string_view stem = NameOf(p.Stem), branch = NameOf(p.Branch);
    if (stem.size() != 2 || branch.size() != 2) throw "a stem or a branch of more than one character";
    auto& text = texts[static_cast<std::size_t>(n)];
    text = {stem[0], stem[1], branch[0], branch[1]};
  }
  return texts;
}();

// Fixed-size pieces of a line at p; the end of what they wrote.
template <std::size_t N>
char* PutFixed(char* p, const char (&bytes)[N]) {  // a literal: its N - 1 bytes
  std::memcpy(p, bytes, N - 1);
  return p + N - 1;
}
char* PutPillar(char* p, int cycle) {
  std::memcpy(p, kPillarTexts[static_cast<std::size_t>(cycle)].data(), 4);
  return p + 4;
}

// A number of decimal digits that counts up by one.
class Counter {
 public:
  explicit Counter(int value)
      : end_(detail::WriteDigits(digits_, static_cast<unsigned>(value < 0 ? 0 : value))) {}
  std::string_view View() const { return {digits_, static_cast<std::size_t>(end_ - digits_)}; }
  // The digits at p (copied eight bytes at a time); the end of them.
  char* PutAt(char* p) const {
    const auto n = static_cast<std::size_t>(end_ - digits_);
    std::memcpy(p, digits_, 8);
    if (n > 8) std::memcpy(p + 8, digits_ + 8, 16);
    return p + n;
  }
  void Next() {
    for (char* p = end_; p > digits_;) {
      --p;
      if (*p != '9') {
        ++*p;
        return;
      }
      *p = '0';
    }
    std::memmove(digits_ + 1, digits_, static_cast<std::size_t>(end_ - digits_));
    digits_[0] = '1';
    ++end_;
  }

 private:
  char digits_[24] = {};
  char* end_;
};

// Seventy year lines: age, year and its pillar; the first of each decade
// names its luck pillar. Ages, years and their pillars count up line by
// line; each line is made in a small buffer of its own and written whole.
void WriteYearLines(const BaziChart& chart, TextWriter& out) {
  Counter age(chart.LuckStartAge);
  Counter year(chart.LuckStartYear);
  int cycle = YearCycleNumber(chart.LuckStartYear);
  for (int i = 0; i < BaziFields::kLuckPeriods; ++i) {
    for (int k = 0; k < 10; ++k) {
      char line[96];
      char* p = age.PutAt(line);
      p = PutFixed(p, "、");
      p = year.PutAt(p);
      p = PutFixed(p, "(");
      p = PutPillar(p, cycle);
      p = PutFixed(p, ")");
      if (k == 0) {
        p = PutFixed(p, "交");
        p = PutPillar(p, CycleNumber(chart.LuckPillars[static_cast<std::size_t>(i)]));
        p = PutFixed(p, "运");
      }
      p = PutFixed(p, "\r\n");
      out << std::string_view(line, static_cast<std::size_t>(p - line));
      age.Next();
      year.Next();
      cycle = cycle % 60 + 1;
    }
  }
}

}  // namespace

void BaziText(const BaziChart& chart, TextWriter& out) {
  WriteHeader(chart, out);
  WriteGrid(chart, out);
  WriteSpirits(chart, out);
  WriteMonthTerms(chart, out);
  WriteLuckStart(chart, out);
  WriteYearLines(chart, out);
}

}  // namespace orv
