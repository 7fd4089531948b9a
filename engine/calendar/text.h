// Chart text: the name look-ups and text builders every renderer shares (the
// writer is text_writer.h). All text is GBK bytes, and the name tables are
// compiled to GBK: only a source compiled to GBK includes this header.
// Nothing here allocates.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>
#include <utility>

#include "codes.h"
#include "dates.h"
#include "names.h"
#include "text_writer.h"

namespace orv {

// The full-width space that pads the cells of the fixed layouts.
inline constexpr std::string_view kFullSpace = "　";

// The text of a zero-padded slot: its bytes up to the first zero.
template <std::size_t W>
constexpr std::string_view SlotText(const char (&slot)[W]) {
  std::size_t n = 0;
  while (n < W && slot[n] != '\0') ++n;
  return {slot, n};
}

// The entries of a name table as views, made while compiling.
template <std::size_t N, std::size_t W>
constexpr std::array<std::string_view, N> SlotViews(const char (&table)[N][W]) {
  std::array<std::string_view, N> views{};
  for (std::size_t i = 0; i < N; ++i) views[i] = SlotText(table[i]);
  return views;
}

// An entry of a table of views; the empty text outside it.
template <std::size_t N>
constexpr std::string_view Entry(const std::array<std::string_view, N>& views, int index) {
  return index >= 0 && static_cast<std::size_t>(index) < N ? views[static_cast<std::size_t>(index)]
                                                           : std::string_view();
}

namespace detail {
inline constexpr auto kSymbolNames = SlotViews(SymbolNames);
inline constexpr auto kLunarMonthNames = SlotViews(LunarMonthNames);
inline constexpr auto kLunarDayNames = SlotViews(LunarDayNames);
inline constexpr auto kSolarTermNames = SlotViews(SolarTermNames);
inline constexpr auto kTenGodLongNames = SlotViews(TenGodLongNames);
inline constexpr auto kTenGodShortNames = SlotViews(TenGodShortNames);
inline constexpr auto kGrowthLongNames = SlotViews(GrowthLongNames);
inline constexpr auto kGrowthShortNames = SlotViews(GrowthShortNames);
inline constexpr auto kNayinNames = SlotViews(NayinNames);
constexpr int StageOrdinal(int stage) { return stage >= kGrowthFirst ? stage - 140 : stage; }
}  // namespace detail

// Name of a symbol code; codes outside 0-193 give the blank name.
constexpr std::string_view NameOf(int code) {
  return detail::kSymbolNames[code >= 0 && code < kSymbolCount ? static_cast<std::size_t>(code) : 0];
}
constexpr std::string_view TenGodLongName(int number) {
  return Entry(detail::kTenGodLongNames, number);
}
constexpr std::string_view TenGodShortName(int number) {
  return Entry(detail::kTenGodShortNames, number);
}
// Growth stage by ordinal 1-12 or by code 141-152.
constexpr std::string_view GrowthLongName(int stage) {
  return Entry(detail::kGrowthLongNames, detail::StageOrdinal(stage));
}
constexpr std::string_view GrowthShortName(int stage) {
  return Entry(detail::kGrowthShortNames, detail::StageOrdinal(stage));
}
constexpr std::string_view SolarTermName(int term) { return Entry(detail::kSolarTermNames, term); }
std::string_view NayinName(const Pillar& p);

// NameOf the stem followed by NameOf the branch (甲子).
FixedText<14> PillarText(int stem, int branch);
inline FixedText<14> PillarText(const Pillar& p) { return PillarText(p.Stem, p.Branch); }
// Month name of |month|, "月" and the day name; "闰" in front of a leap
// (negative) month: 正月初一, 闰四月初五.
FixedText<16> LunarDateText(int month, int day);
// The four pillars (year, month, day, hour) with the separator between each two.
FixedText<64> PillarsLine(const std::array<Pillar, 4>& pillars, std::string_view separator);

// A pillar as its text (甲子).
inline TextWriter& operator<<(TextWriter& out, const Pillar& p) {
  return out << NameOf(p.Stem) << NameOf(p.Branch);
}
inline Cursor& operator<<(Cursor& out, const Pillar& p) {
  return out << NameOf(p.Stem) << NameOf(p.Branch);
}

// The civil date as "%d年%d月%d日" (2024年2月10日).
void WriteCivilDate(TextWriter& out, const CivilTime& civil);

// A template line split while compiling into the text between its tokens
// and the tokens: Text[i] comes before Tokens[i], Text[Count] ends the line.
// Tokens are "<" ... ">" (AngleTokens; the token is what lies between the
// brackets) or a digit 0-8 followed by a letter a-g (CellTokens). A line with
// more than N tokens does not compile.
template <std::size_t N>
struct TemplateLine {
  std::array<std::string_view, N + 1> Text{};
  std::array<std::string_view, N> Tokens{};
  std::size_t Count = 0;
};

template <std::size_t N>
constexpr TemplateLine<N> AngleTokens(std::string_view line) {
  TemplateLine<N> t;
  std::size_t from = 0;
  while (true) {
    const std::size_t open = line.find('<', from);
    const std::size_t close = open == std::string_view::npos ? open : line.find('>', open);
    if (close == std::string_view::npos) break;
    if (t.Count == N) throw "more tokens than the line was given room for";
    t.Text[t.Count] = line.substr(from, open - from);
    t.Tokens[t.Count++] = line.substr(open + 1, close - open - 1);
    from = close + 1;
  }
  t.Text[t.Count] = line.substr(from);
  return t;
}

template <std::size_t N>
constexpr TemplateLine<N> CellTokens(std::string_view line) {
  TemplateLine<N> t;
  std::size_t from = 0;
  for (std::size_t at = 0; at + 1 < line.size(); ++at) {
    const char digit = line[at], letter = line[at + 1];
    if (digit < '0' || digit > '8' || letter < 'a' || letter > 'g') continue;
    if (t.Count == N) throw "more tokens than the line was given room for";
    t.Text[t.Count] = line.substr(from, at - from);
    t.Tokens[t.Count++] = line.substr(at, 2);
    from = at + 2;
    ++at;
  }
  t.Text[t.Count] = line.substr(from);
  return t;
}

// One token of a template split while compiling, as a type: its text
// (Lines[L].Tokens[I]) is a constant, so that what is written for it is
// chosen while compiling, and a token its renderer does not know does not
// compile.
template <const auto& Lines, std::size_t L, std::size_t I>
struct Token {
  static constexpr std::string_view kText = Lines[L].Tokens[I];
};

// Line L of a template written to out (a TextWriter or a Cursor) with every
// token replaced by its value, value(Token<Lines, L, I>{}) writing it; the
// line is unrolled while compiling. This is the text ReplaceToken gives
// when it replaces each token of the line in turn, since every token
// occurs once and no value holds a token.
template <const auto& Lines, std::size_t L, typename Out, typename Value>
void WriteTemplateLine(Out& out, Value&& value) {
  constexpr const auto& line = Lines[L];
  [&]<std::size_t... I>(std::index_sequence<I...>) {
    ((out << line.Text[I], value(Token<Lines, L, I>{})), ...);
  }(std::make_index_sequence<line.Count>{});
  out << line.Text[line.Count];
}

// Every line of a template, between() called between each two.
template <const auto& Lines, typename Out, typename Value, typename Between>
void WriteTemplate(Out& out, Value&& value, Between&& between) {
  [&]<std::size_t... L>(std::index_sequence<L...>) {
    ((L > 0 ? between() : void(), WriteTemplateLine<Lines, L>(out, value)), ...);
  }(std::make_index_sequence<Lines.size()>{});
}

// The bytes of a template's text with every token's value at most
// valueMost bytes, and lineEnd bytes after every line.
template <typename Lines>
constexpr std::size_t TemplateMost(const Lines& lines, std::size_t valueMost, std::size_t lineEnd) {
  std::size_t most = 0;
  for (const auto& line : lines) {
    for (std::size_t i = 0; i <= line.Count; ++i) most += line.Text[i].size();
    most += line.Count * valueMost + lineEnd;
  }
  return most;
}

// The lines of a template, each split while compiling.
template <std::size_t N, std::size_t Lines>
constexpr std::array<TemplateLine<N>, Lines> AngleTemplate(const std::string_view (&lines)[Lines]) {
  std::array<TemplateLine<N>, Lines> split{};
  for (std::size_t i = 0; i < Lines; ++i) split[i] = AngleTokens<N>(lines[i]);
  return split;
}
template <std::size_t N, std::size_t Lines>
constexpr std::array<TemplateLine<N>, Lines> CellTemplate(const std::string_view (&lines)[Lines]) {
  std::array<TemplateLine<N>, Lines> split{};
  for (std::size_t i = 0; i < Lines; ++i) split[i] = CellTokens<N>(lines[i]);
  return split;
}

}  // namespace orv
