// The Da Liu Ren chart text: four header lines (five with a birth year), an
// empty line, and the plate with its generals, the four lessons and the
// three transmissions filled into a fixed template.
#include <string_view>

#include "calendar/text.h"
#include "liuren.h"

namespace orv {
namespace {

// The template, line by line. "<P2|i>" the heaven branch above earth branch
// i (子 1 … 亥 12), "<P3|i>" the general over it; "<K1|j>", "<K2|j>", "<K3|j>"
// the lower, upper and general of lesson j; "<C2|i>" transmission i, "<C3|i>"
// its general, "<C4|i>" its hidden stem, "<C5|i>" its void marks, "<C6|i>"
// its relative. Every token occurs once and no value holds "<", so one pass
// that puts each token's value in its place gives the same text as
// replacing the tokens one by one.
constexpr std::string_view kTemplate[14] = {
    "　　　<P3|6> <P3|7> <P3|8> <P3|9>",
    "　　　<P2|6> <P2|7> <P2|8> <P2|9>",
    "　　<P3|5><P2|5>　　　 <P2|10><P3|10>",
    "　　<P3|4><P2|4>　　　 <P2|11><P3|11>",
    "　　　<P2|3> <P2|2> <P2|1> <P2|12>",
    "　　　<P3|3> <P3|2> <P3|1> <P3|12>",
    "",
    "　　　<K3|4> <K3|3> <K3|2> <K3|1>",
    "　　　<K2|4> <K2|3> <K2|2> <K2|1>",
    "　　　<K1|4> <K1|3> <K1|2> <K1|1>",
    "",
    "　　　<C6|1> <C4|1><C2|1>　<C3|1> <C5|1>",
    "　　　<C6|2> <C4|2><C2|2>　<C3|2> <C5|2>",
    "　　　<C6|3> <C4|3><C2|3>　<C3|3> <C5|3>",
};

constexpr auto kLines = AngleTemplate<5>(kTemplate);

constexpr std::string_view kVoidMark = "◎";      // the transmission is void
constexpr std::string_view kVoidSeatMark = "⊙";  // its seat is void

// The relative of a branch seen from the day stem, short form; "　" when
// there is none.
std::string_view RelativeName(int dayStem, int branch) {
  const int relation = CodeRelation(dayStem, branch);
  return relation >= -2 && relation <= 2 ? SlotText(RelativeShortNames[relation + 2]) : kFullSpace;
}

// The column of a token "RR|i" (i = 1, 2, …).
constexpr std::size_t ColumnOf(std::string_view token) {
  if (token.size() < 4 || token[2] != '|') throw "a token is a row, \"|\" and a column";
  std::size_t column = 0;
  for (const char c : token.substr(3)) column = column * 10 + static_cast<std::size_t>(c - '0');
  return column;
}

// Writes the value of a token, row + "|" + column, at most six bytes.
template <typename LiurenToken>
void WriteValue(Cursor& out, const LiurenChart& chart, LiurenToken) {
  constexpr std::string_view row = LiurenToken::kText.substr(0, 2);
  constexpr std::size_t column = ColumnOf(LiurenToken::kText);
  static_assert(column >= 1);
  constexpr std::size_t at = column - 1;
  if constexpr (row == "P2" || row == "P3") {
    static_assert(at < 12);
    out << NameOf(row == "P2" ? chart.HeavenPlate[at] : chart.GeneralPlate[at]);
  } else if constexpr (row == "K1" || row == "K2" || row == "K3") {
    static_assert(at < 4);
    out << NameOf(row == "K1"   ? chart.LessonLower[at]
                  : row == "K2" ? chart.LessonUpper[at]
                                : chart.LessonGeneral[at]);
  } else if constexpr (row == "C2" || row == "C3" || row == "C4") {
    static_assert(at < 3);
    out << NameOf(row == "C2"   ? chart.Trans[at]
                  : row == "C3" ? chart.TransGeneral[at]
                                : chart.TransStem[at]);
  } else if constexpr (row == "C5") {
    static_assert(at < 3);
    if (IsVoid(chart.DayXun, chart.Trans[at])) out << kVoidMark;
    if (IsVoid(chart.DayXun, chart.TransSeat[at])) out << kVoidSeatMark;
  } else {
    static_assert(row == "C6" && at < 3);
    out << RelativeName(chart.DayPillar.Stem, chart.Trans[at]);
  }
}

}  // namespace

void TOrvDlrStr::LiurenHeader(const LiurenChart& chart, TextWriter& out) {
  out << "公历：";
  WriteCivilDate(out, chart.Civil());
  out << kCrLf << "阴历：" << LunarDateText(chart.Lunar[1], chart.Lunar[2]) << kCrLf;
  out << "四柱：" << PillarsLine(chart.Pillars(), " ") << kCrLf;
  const std::array<int, 2> empty = VoidBranches(chart.DayPillar);
  out << "月将：" << NameOf(chart.MonthGeneral) << "将" << chart.DayXun << "旬" << NameOf(empty[0])
      << NameOf(empty[1]) << "空" << kCrLf;
}

void TOrvDlrStr::LifeYearLine(const LiurenChart& chart, TextWriter& out) {
  if (chart.HasBirthYear != 1) return;
  out << "年命：" << chart.BirthPillar << "命" << NameOf(chart.LifeYearPillar.Branch) << "年"
      << kCrLf;
}

void TOrvDlrStr::LiurenText(const LiurenChart& chart, TextWriter& out) {
  LiurenHeader(chart, out);
  LifeYearLine(chart, out);
  out << kCrLf;
  out.WriteInPlace<TemplateMost(kLines, 6, kCrLf.size())>([&](Cursor& text) {
    WriteTemplate<kLines>(
        text, [&](auto token) { WriteValue(text, chart, token); }, [&] { text << kCrLf; });
  });
}

}  // namespace orv
