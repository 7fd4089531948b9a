// The Four Pillars chart text: a two-line header, the seven-line grid filled
// from its template, the life palace and the spirits of each pillar, the
// solar terms of the civil month, the luck start and seventy year lines.
#include <array>
#include <cstddef>
#include <cstdint>
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
// separator, column 0-3), at most six bytes.
template <typename GridToken>
void WriteGridValue(const BaziChart& chart, GridToken, Cursor& out) {
  constexpr std::string_view token = GridToken::kText;
  static_assert(token.size() == 3 && token[2] >= '0' && token[2] <= '3');
  constexpr auto c = static_cast<std::size_t>(token[2] - '0');
  const auto& grid = chart.Grid;
  if constexpr (token[0] == 'n') {
    out << NayinName(chart.Pillars()[c]);
  } else {
    static_assert(token[0] >= '0' && token[0] <= '4');
    constexpr auto r = static_cast<std::size_t>(token[0] - '0');
    if constexpr (token[1] == '.') {
      out << NameOf(grid[r][c]);
    } else if constexpr (token[1] == '|') {
      out << TenGodShortName(grid[BaziFields::kTenGodRow + r][c]);
    } else {
      static_assert(token[1] == '!');
      out << GrowthShortName(grid[BaziFields::kGrowthRow][c]);
    }
  }
}

// The grid made whole while compiling: its lines joined by CR LF, the empty
// line after it, and a placeholder as wide as its value for every token,
// with where each lies. Codes, short ten gods and growth stages are one
// character, a nayin three; so the grid is copied whole and each value
// written over its placeholder, giving the text WriteTemplate gives.
struct FixedGrid {
  struct Slot {
    std::uint16_t At = 0;   // where the placeholder lies in Text
    std::uint8_t Cell = 0;  // row * 4 + column in Grid; the pillar for a nayin
  };
  static constexpr std::size_t kCells = 4;  // tokens of each kind per grid row
  std::array<char, 512> Text{};
  std::size_t Size = 0;
  std::array<Slot, 5 * kCells> Codes{};
  std::array<Slot, 4 * kCells> TenGods{};
  std::array<Slot, kCells> Growths{};
  std::array<Slot, kCells> Nayins{};
  std::size_t CodeCount = 0, TenGodCount = 0, GrowthCount = 0, NayinCount = 0;
};

constexpr FixedGrid kFixedGrid = [] {
  FixedGrid grid;
  const auto put = [&grid](std::string_view piece) {
    for (char c : piece) {
      if (grid.Size == grid.Text.size()) throw "the grid is longer than its room";
      grid.Text[grid.Size++] = c;
    }
  };
  const auto slot = [&grid](auto& slots, std::size_t& count, std::size_t cell) {
    if (count == slots.size()) throw "more tokens of a kind than slots";
    slots[count++] = {static_cast<std::uint16_t>(grid.Size), static_cast<std::uint8_t>(cell)};
  };
  for (std::size_t l = 0; l < kGrid.size(); ++l) {
    if (l > 0) put(kCrLf);
    const auto& line = kGrid[l];
    for (std::size_t i = 0; i < line.Count; ++i) {
      put(line.Text[i]);
      const std::string_view token = line.Tokens[i];
      const auto c = static_cast<std::size_t>(token[2] - '0');
      if (token[0] == 'n') {
        slot(grid.Nayins, grid.NayinCount, c);
        put("      ");
        continue;
      }
      const auto r = static_cast<std::size_t>(token[0] - '0');
      if (token[1] == '.')
        slot(grid.Codes, grid.CodeCount, r * 4 + c);
      else if (token[1] == '|')
        slot(grid.TenGods, grid.TenGodCount, (BaziFields::kTenGodRow + r) * 4 + c);
      else
        slot(grid.Growths, grid.GrowthCount, BaziFields::kGrowthRow * 4 + c);
      put("  ");
    }
    put(line.Text[line.Count]);
  }
  put(kCrLf);
  put(kCrLf);
  return grid;
}();

// The names of a table W bytes wide, and which are.
template <std::size_t W>
struct FixedName {
  std::array<char, W> Bytes{};
  bool Fits = false;
};
template <std::size_t W, std::size_t N>
constexpr std::array<FixedName<W>, N> FixedNames(const std::array<std::string_view, N>& names) {
  std::array<FixedName<W>, N> fixed{};
  for (std::size_t i = 0; i < N; ++i) {
    if (names[i].size() != W) continue;
    fixed[i].Fits = true;
    for (std::size_t k = 0; k < W; ++k) fixed[i].Bytes[k] = names[i][k];
  }
  return fixed;
}
constexpr auto kCodeNames = FixedNames<2>(detail::kSymbolNames);
constexpr auto kTenGodNames = FixedNames<2>(detail::kTenGodShortNames);
constexpr auto kGrowthNames = FixedNames<2>(detail::kGrowthShortNames);
constexpr auto kNayinTexts = FixedNames<6>(detail::kNayinNames);

// The entry of a table at index, and whether it fits; outside the table
// entry 0 and no fit.
template <std::size_t W, std::size_t N>
const FixedName<W>& FixedNameAt(const std::array<FixedName<W>, N>& names, int index, bool& fits) {
  const auto i = static_cast<unsigned>(index);
  fits &= i < N && names[i < N ? i : 0].Fits;
  return names[i < N ? i : 0];
}

// The grid over a copy of its fixed text at text; false when a value is
// not as wide as its placeholder.
bool FillFixedGrid(const BaziChart& chart, char* text) {
  const FixedGrid& grid = kFixedGrid;
  std::memcpy(text, grid.Text.data(), grid.Size);
  const int* cells = chart.Grid[0].data();
  static_assert(sizeof chart.Grid == sizeof(int) * 12 * 4);
  bool fits = true;
  for (std::size_t k = 0; k < grid.CodeCount; ++k) {
    // NameOf gives the blank name outside the codes.
    const auto code = static_cast<unsigned>(cells[grid.Codes[k].Cell]);
    const auto& name = kCodeNames[code < kSymbolCount ? code : 0];
    fits &= name.Fits;
    std::memcpy(text + grid.Codes[k].At, name.Bytes.data(), 2);
  }
  for (std::size_t k = 0; k < grid.TenGodCount; ++k) {
    const auto& name = FixedNameAt(kTenGodNames, cells[grid.TenGods[k].Cell], fits);
    std::memcpy(text + grid.TenGods[k].At, name.Bytes.data(), 2);
  }
  for (std::size_t k = 0; k < grid.GrowthCount; ++k) {
    const int ordinal = detail::StageOrdinal(cells[grid.Growths[k].Cell]);
    const auto& name = FixedNameAt(kGrowthNames, ordinal, fits);
    std::memcpy(text + grid.Growths[k].At, name.Bytes.data(), 2);
  }
  const auto pillars = chart.Pillars();
  for (std::size_t k = 0; k < grid.NayinCount; ++k) {
    const int index = (CycleNumber(pillars[grid.Nayins[k].Cell]) - 1) / 2;
    const auto& name = FixedNameAt(kNayinTexts, index, fits);
    std::memcpy(text + grid.Nayins[k].At, name.Bytes.data(), 6);
  }
  return fits;
}

// The grid: stems, branches, hidden stems, their short ten gods, the growth
// stages and the nayin; then an empty line. The fixed grid when every value
// fits its placeholder, else the template written value by value.
void WriteGrid(const BaziChart& chart, TextWriter& out) {
  constexpr std::size_t kMost = TemplateMost(kGrid, 6, kCrLf.size()) + kCrLf.size();
  static_assert(kFixedGrid.Size <= kMost);
  out.WriteInPlace<kMost>([&](Cursor& text) {
    char* const start = text.End();
    if (FillFixedGrid(chart, start)) {
      text = Cursor(start + kFixedGrid.Size);
      return;
    }
    WriteTemplate<kGrid>(
        text, [&](auto token) { WriteGridValue(chart, token, text); },
        [&] { text << kCrLf; });
    text << kCrLf << kCrLf;
  });
}

// The life palace and the spirits of each pillar, each name followed by a
// space; then an empty line.
void WriteSpirits(const BaziChart& chart, TextWriter& out) {
  constexpr std::size_t kNameMost = sizeof SpiritNames[0] - 1;
  constexpr std::size_t kMost = 6 + 6 + 4 * (2 + 6 + kSpiritSlots * (kNameMost + 1)) + 4;
  out.WriteInPlace<kMost>([&](Cursor& text) {
    text << "命宫：" << NameOf(chart.LifePalace);
    for (std::size_t p = 0; p < 4; ++p) {
      text << kCrLf << kPillarLabels[p];
      // The slots fill from the first: the list ends at its first empty one.
      for (const auto& slot : chart.Spirits) {
        const int n = slot[p];
        if (n == 0) break;
        if (n > 0 && n < kSpiritCount) text << kSpiritNames[static_cast<std::size_t>(n)] << ' ';
      }
    }
    text << kCrLf << kCrLf;
  });
}

// Term name, then day, hour and minute of its instant.
void WriteTerm(int term, TermInstant instant, TextWriter& out) {
  const CivilTime at = DecodeDateTime(ShownMoment(instant));
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

// The text of the pillar of cycle number n (1-60), four bytes.
constexpr std::string_view PillarTextOf(int n) {
  return {kPillarTexts[static_cast<std::size_t>(n)].data(), 4};
}

// A year line, "age、year(pillar)" and CR LF, kept from one line to the
// next: age and year count up in their digits, the pillar follows the
// cycle, and the line is made anew only when a number grows a digit.
class YearLine {
 public:
  static constexpr std::size_t kMost = 32;  // bytes copied for a line

  // Numbers below zero are written as 0 and count up from there.
  YearLine(int age, int year)
      : age_(age < 0 ? 0 : age), year_(year < 0 ? 0 : year), cycle_(YearCycleNumber(year)) {
    Make();
  }

  // The line; with a luck pillar (cycle number, 0 for none) "交" + pillar
  // + "运" before its CR LF. At most kMost + 8 bytes of room.
  void Write(Cursor& out, int luck) const {
    if (luck == 0) {
      out.PutOver<kMost>(bytes_, size_);
      return;
    }
    WriteWithLuck(out, luck);
  }
  // The last line of the text: no more than its own bytes.
  void WriteLast(Cursor& out) const { out << std::string_view(bytes_, size_); }

  void Next() {
    ++age_;
    ++year_;
    cycle_ = cycle_ == 60 ? 1 : cycle_ + 1;
    if (!CountUp(bytes_, ageEnd_) || !CountUp(bytes_ + yearAt_, yearEnd_ - yearAt_)) {
      Make();
      return;
    }
    std::memcpy(bytes_ + yearEnd_ + 1, PillarTextOf(cycle_).data(), 4);
  }

 private:
  void WriteWithLuck(Cursor& out, int luck) const {
    out.PutOver<kMost>(bytes_, size_ - kCrLf.size());
    out << "交" << PillarTextOf(luck) << "运" << kCrLf;
  }
  // Adds one to n decimal digits; false when they were all 9.
  static bool CountUp(char* digits, std::size_t n) {
    for (std::size_t i = n; i > 0; --i) {
      if (digits[i - 1] != '9') {
        ++digits[i - 1];
        return true;
      }
      digits[i - 1] = '0';
    }
    return false;
  }
  void Make() {
    char* p = detail::WriteDigits(bytes_, static_cast<unsigned>(age_));
    ageEnd_ = static_cast<std::size_t>(p - bytes_);
    std::memcpy(p, "、", 2);
    yearAt_ = ageEnd_ + 2;
    p = detail::WriteDigits(bytes_ + yearAt_, static_cast<unsigned>(year_));
    yearEnd_ = static_cast<std::size_t>(p - bytes_);
    *p++ = '(';
    std::memcpy(p, PillarTextOf(cycle_).data(), 4);
    p += 4;
    std::memcpy(p, ")\r\n", 3);
    size_ = static_cast<std::size_t>(p + 3 - bytes_);
  }

  int age_, year_, cycle_;
  // Two numbers of at most ten digits and the fixed pieces fit kMost bytes.
  char bytes_[kMost] = {};
  std::size_t ageEnd_ = 0, yearAt_ = 0, yearEnd_ = 0, size_ = 0;
};
static_assert(10 + 2 + 10 + 1 + 4 + 3 <= YearLine::kMost);

// The pieces of the year lines of the years and ages most charts have,
// made while compiling: "age、" by age, "year(pillar)" and CR LF by year,
// and by luck cycle number the end of a decade's first line, "交" +
// pillar + "运" and CR LF (CR LF alone for none). Each is copied as one
// word whatever its length.
template <std::size_t W>
struct LinePiece {
  std::array<char, W> Bytes{};
  std::size_t Size = 0;
};
constexpr int kTableAges = 128;
constexpr int kFirstTableYear = 1900, kTableYears = 256;  // four digits each
constexpr std::size_t kYearPieceSize = 4 + 1 + 4 + 1 + kCrLf.size();

constexpr auto kAgePieces = [] {
  std::array<LinePiece<8>, kTableAges> pieces{};
  for (int age = 0; age < kTableAges; ++age) {
    auto& piece = pieces[static_cast<std::size_t>(age)];
    FixedText<8> text;
    text << Decimal(age).View() << "、";
    for (char c : text.View()) piece.Bytes[piece.Size++] = c;
  }
  return pieces;
}();

constexpr auto kYearPieces = [] {
  std::array<std::array<char, 16>, kTableYears> pieces{};
  for (int k = 0; k < kTableYears; ++k) {
    const int year = kFirstTableYear + k;
    FixedText<16> text;
    text << Decimal(year).View() << "(" << PillarTextOf(YearCycleNumber(year)) << ")" << kCrLf;
    if (text.size() != kYearPieceSize) throw "a year of the table not of four digits";
    for (std::size_t i = 0; i < text.size(); ++i) pieces[static_cast<std::size_t>(k)][i] = text.View()[i];
  }
  return pieces;
}();

constexpr auto kLuckEnds = [] {
  std::array<LinePiece<16>, 61> pieces{};
  for (int n = 0; n <= 60; ++n) {
    FixedText<16> text;
    if (n > 0) text << "交" << PillarTextOf(n) << "运";
    text << kCrLf;
    auto& piece = pieces[static_cast<std::size_t>(n)];
    for (char c : text.View()) piece.Bytes[piece.Size++] = c;
  }
  return pieces;
}();

// The seventy year lines from the tables; false (nothing written) when the
// ages or the years of the chart go beyond them.
bool WriteTableYearLines(const BaziChart& chart, TextWriter& out) {
  constexpr int kLines = 10 * BaziFields::kLuckPeriods;
  const int age = chart.LuckStartAge, year = chart.LuckStartYear - kFirstTableYear;
  if (age < 0 || age > kTableAges - kLines || year < 0 || year > kTableYears - kLines) return false;
  const LinePiece<8>* ages = &kAgePieces[static_cast<std::size_t>(age)];
  const std::array<char, 16>* years = &kYearPieces[static_cast<std::size_t>(year)];
  // Room for a decade: no line moves on by more than the 8 + 16 bytes its
  // pieces copy, the first by 16 more for its luck end, and the last copy
  // runs past the end by less than kPastEnd.
  constexpr std::size_t kLineMost = 8 + 16, kPastEnd = 16;
  for (int i = 0; i < BaziFields::kLuckPeriods; ++i) {
    out.WriteInPlace<10 * kLineMost + 16 + kPastEnd>([&](Cursor& text) {
      char* p = text.End();
      const int luck = CycleNumber(chart.LuckPillars[static_cast<std::size_t>(i)]);
      const auto& end = kLuckEnds[static_cast<std::size_t>(luck >= 0 && luck <= 60 ? luck : 0)];
      std::memcpy(p, ages->Bytes.data(), 8);
      p += ages->Size;
      std::memcpy(p, years->data(), 16);
      p += kYearPieceSize - kCrLf.size();
      std::memcpy(p, end.Bytes.data(), 16);
      p += end.Size;
      ++ages;
      ++years;
      for (int k = 1; k < 10; ++k, ++ages, ++years) {
        std::memcpy(p, ages->Bytes.data(), 8);
        p += ages->Size;
        // The last line of the text writes no byte past its end.
        if (i + 1 == BaziFields::kLuckPeriods && k == 9)
          std::memcpy(p, years->data(), kYearPieceSize);
        else
          std::memcpy(p, years->data(), 16);
        p += kYearPieceSize;
      }
      text = Cursor(p);
    });
  }
  return true;
}

// Seventy year lines: age, year and its pillar; the first of each decade
// names its luck pillar. The ten lines of a decade are written in place.
void WriteYearLines(const BaziChart& chart, TextWriter& out) {
  if (WriteTableYearLines(chart, out)) return;
  YearLine line(chart.LuckStartAge, chart.LuckStartYear);
  for (int i = 0; i < BaziFields::kLuckPeriods; ++i) {
    out.WriteInPlace<10 * YearLine::kMost + 8>([&](Cursor& text) {
      line.Write(text, CycleNumber(chart.LuckPillars[static_cast<std::size_t>(i)]));
      line.Next();
      for (int k = 1; k < 9; ++k) {
        line.Write(text, 0);
        line.Next();
      }
      if (i + 1 < BaziFields::kLuckPeriods)
        line.Write(text, 0);
      else
        line.WriteLast(text);
      line.Next();
    });
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
