// The Da Liu Ren chart text: four header lines (five with a birth year), an
// empty line, and the plate with its generals, the four lessons and the
// three transmissions filled into a fixed template.
#include <cstring>
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

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kVoidMark = "◎";      // the transmission is void
constexpr std::string_view kVoidSeatMark = "⊙";  // its seat is void

std::string_view NameView(int code) {
  if (code < 0 || code >= kSymbolCount) code = 0;
  return {SymbolNames[code], strnlen(SymbolNames[code], sizeof SymbolNames[code])};
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

// Appends the value of the token "<" + row + "|" + column + ">".
void AppendValue(std::string& text, const TOrvDlr& chart, std::string_view row, int column) {
  const int i = column - 1;
  if (row == "P2" && i >= 0 && i < 12) {
    text += NameView(chart.HeavenPlate[i]);
  } else if (row == "P3" && i >= 0 && i < 12) {
    text += NameView(chart.GeneralPlate[i]);
  } else if (row == "K1" && i >= 0 && i < 4) {
    text += NameView(chart.LessonLower[i]);
  } else if (row == "K2" && i >= 0 && i < 4) {
    text += NameView(chart.LessonUpper[i]);
  } else if (row == "K3" && i >= 0 && i < 4) {
    text += NameView(chart.LessonGeneral[i]);
  } else if (row == "C2" && i >= 0 && i < 3) {
    text += NameView(chart.Trans[i]);
  } else if (row == "C3" && i >= 0 && i < 3) {
    text += NameView(chart.TransGeneral[i]);
  } else if (row == "C4" && i >= 0 && i < 3) {
    text += NameView(chart.TransStem[i]);
  } else if (row == "C5" && i >= 0 && i < 3) {
    if (IsVoid(chart.DayXun, chart.Trans[i])) text += kVoidMark;
    if (IsVoid(chart.DayXun, chart.TransSeat[i])) text += kVoidSeatMark;
  } else if (row == "C6" && i >= 0 && i < 3) {
    text += RelativeName(chart.DayPillar.Stem, chart.Trans[i]);
  }
}

// Appends a template line with every token replaced by its value.
void AppendFilled(std::string& text, const TOrvDlr& chart, std::string_view line) {
  std::size_t at = 0;
  while (at < line.size()) {
    const std::size_t open = line.find('<', at);
    if (open == std::string_view::npos) break;
    const std::size_t bar = line.find('|', open);
    const std::size_t close = line.find('>', open);
    text += line.substr(at, open - at);
    int column = 0;
    for (std::size_t k = bar + 1; k < close; ++k) column = column * 10 + (line[k] - '0');
    AppendValue(text, chart, line.substr(open + 1, bar - open - 1), column);
    at = close + 1;
  }
  text += line.substr(at);
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
  text += NameView(MonthGeneral);
  text += "将";
  text += PillarText(DayXun);
  text += "旬";
  text += NameView(empty[0]);
  text += NameView(empty[1]);
  text += "空";
  text += kCrLf;
  return text;
}

std::string TOrvDlrStr::LifeYearLine() const {
  if (HasBirthYear != 1) return {};
  std::string text = "年命：";
  text += PillarText(BirthPillar);
  text += "命";
  text += NameView(LifeYearPillar.Branch);
  text += "年";
  text += kCrLf;
  return text;
}

std::string TOrvDlrStr::LiurenText() const {
  std::string text;
  text.reserve(640);
  text += LiurenHeader();
  text += LifeYearLine();
  text += kCrLf;
  for (int i = 0; i < 14; ++i) {
    if (i > 0) text += kCrLf;
    AppendFilled(text, *this, kTemplate[i]);
  }
  return text;
}

std::string LiurenChartText(Moment date, bool daytime, bool male, int birthYear) {
  TOrvDlrStr chart;
  chart.SetChartDate(date);
  chart.ArrangeDay(daytime);
  if (birthYear > 0) chart.SetBirthYear(birthYear, male);
  return chart.LiurenText();
}

}  // namespace orv
