// The Da Liu Ren chart text: four header lines (five with a birth year), an
// empty line, and the plate with its generals, the four lessons and the
// three transmissions filled into a fixed template.
#include <string_view>

#include "calendar/names.h"
#include "calendar/text.h"
#include "liuren.h"

namespace orv {
namespace {

// The template, line by line. "<P2|i>" the heaven branch above earth branch
// i (子 1 … 亥 12), "<P3|i>" the general over it; "<K1|j>", "<K2|j>", "<K3|j>"
// the lower, upper and general of lesson j; "<C2|i>" transmission i, "<C3|i>"
// its general, "<C4|i>" its hidden stem, "<C5|i>" its void marks, "<C6|i>"
// its relative. Each line is filled on its own, which gives the same text as
// filling the whole template.
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

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kVoidMark = "◎";      // the transmission is void
constexpr std::string_view kVoidSeatMark = "⊙";  // its seat is void

std::string Token(std::string_view row, int column) {
  return "<" + std::string(row) + "|" + IntText(column) + ">";
}

// Fills the tokens of one row, columns 1…n, into the template lines that
// hold them (a row's tokens may span several lines).
template <typename Value>
void FillRow(std::string* lines, int first, int last, std::string_view row, int columns,
             Value value) {
  for (int c = 1; c <= columns; ++c) {
    const std::string token = Token(row, c);
    for (int l = first; l <= last; ++l) {
      if (lines[l].find(token) != std::string::npos) {
        ReplaceToken(lines[l], token, value(c));
        break;
      }
    }
  }
}

// The relative of a branch seen from the day stem, short form.
std::string_view RelativeName(int dayStem, int branch) {
  switch (CodeRelation(dayStem, branch)) {
    case 0:
      return "兄";
    case 1:
      return "父";
    case 2:
      return "官";
    case -2:
      return "财";
    case -1:
      return "子";
    default:
      return "　";
  }
}

}  // namespace

std::string TOrvDlrStr::LiurenHeader() const {
  std::string text;
  text += "公历：";
  text += IntText(CivilYear);
  text += "年";
  text += IntText(CivilMonth);
  text += "月";
  text += IntText(CivilDay);
  text += "日";
  text += kCrLf;
  text += "阴历：";
  text += LunarDateText(Lunar[1], Lunar[2]);
  text += kCrLf;
  text += "四柱：";
  text += PillarsLine(Pillars(), " ");
  text += kCrLf;
  const std::array<int, 2> empty = VoidBranches(DayPillar);
  text += "月将：";
  text += NameOf(MonthGeneral);
  text += "将";
  text += PillarText(DayXun);
  text += "旬";
  text += NameOf(empty[0]);
  text += NameOf(empty[1]);
  text += "空";
  text += kCrLf;
  return text;
}

std::string TOrvDlrStr::LifeYearLine() const {
  if (HasBirthYear != 1) return {};
  std::string text = "年命：";
  text += PillarText(BirthPillar);
  text += "命";
  text += NameOf(LifeYearPillar.Branch);
  text += "年";
  text += kCrLf;
  return text;
}

std::string TOrvDlrStr::LiurenText() const {
  std::string lines[14];
  for (int i = 0; i < 14; ++i) lines[i] = kTemplate[i];
  const auto earthIndex = [](int c) { return c - 1; };
  FillRow(lines, 0, 5, "P2", 12, [&](int c) { return NameOf(HeavenPlate[earthIndex(c)]); });
  FillRow(lines, 0, 5, "P3", 12, [&](int c) { return NameOf(GeneralPlate[earthIndex(c)]); });
  FillRow(lines, 7, 9, "K1", 4, [&](int c) { return NameOf(LessonLower[c - 1]); });
  FillRow(lines, 7, 9, "K2", 4, [&](int c) { return NameOf(LessonUpper[c - 1]); });
  FillRow(lines, 7, 9, "K3", 4, [&](int c) { return NameOf(LessonGeneral[c - 1]); });
  FillRow(lines, 11, 13, "C2", 3, [&](int c) { return NameOf(Trans[c - 1]); });
  FillRow(lines, 11, 13, "C3", 3, [&](int c) { return NameOf(TransGeneral[c - 1]); });
  FillRow(lines, 11, 13, "C4", 3, [&](int c) { return NameOf(TransStem[c - 1]); });
  FillRow(lines, 11, 13, "C5", 3, [&](int c) {
    std::string marks;
    if (IsVoid(DayXun, Trans[c - 1])) marks += kVoidMark;
    if (IsVoid(DayXun, TransSeat[c - 1])) marks += kVoidSeatMark;
    return marks;
  });
  FillRow(lines, 11, 13, "C6", 3,
          [&](int c) { return std::string(RelativeName(DayPillar.Stem, Trans[c - 1])); });

  std::string text = LiurenHeader();
  text += LifeYearLine();
  text += kCrLf;
  for (int i = 0; i < 14; ++i) {
    if (i > 0) text += kCrLf;
    text += lines[i];
  }
  return text;
}

std::string LiurenChartText(double date, bool daytime, bool male, int birthYear) {
  TOrvDlrStr chart;
  chart.SetChartDate(date);
  chart.ArrangeDay(daytime);
  if (birthYear > 0) chart.SetBirthYear(birthYear, male);
  return chart.LiurenText();
}

}  // namespace orv
