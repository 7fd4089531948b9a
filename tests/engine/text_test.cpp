#include "calendar/text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "calendar/names.h"
#include "rendered_text.h"

namespace orv {
namespace {

TEST(Names, SymbolNames) {
  EXPECT_EQ(NameOf(0), "　");  // one full-width space keeps a blank cell's width
  EXPECT_EQ(NameOf(0).size(), 2u);
  EXPECT_EQ(NameOf(1), "甲");
  EXPECT_EQ(NameOf(22), "亥");
  EXPECT_EQ(NameOf(23), "命宫");
  EXPECT_EQ(NameOf(108), "小耗");
  EXPECT_EQ(NameOf(134), "小耗");
  EXPECT_EQ(NameOf(152), "养");
  EXPECT_EQ(NameOf(173), "死");
  EXPECT_EQ(NameOf(193), "离");
  EXPECT_EQ(NameOf(194), "　");
  EXPECT_EQ(NameOf(-1), "　");
}

TEST(Names, LunarDateText) {
  EXPECT_EQ(LunarDateText(-4, 5), "闰四月初五");
  EXPECT_EQ(LunarDateText(11, 15), "冬月十五");
  EXPECT_EQ(LunarDateText(12, 30), "腊月三十");
  EXPECT_EQ(LunarDateText(1, 1), "正月初一");
  EXPECT_EQ(LunarDateText(-11, 1), "闰冬月初一");
  EXPECT_EQ(LunarDateText(10, 21), "十月廿一");
}

TEST(Names, PillarsAndNumbers) {
  const std::array<Pillar, 4> p{{{1, 11}, {3, 13}, {5, 15}, {7, 19}}};
  EXPECT_EQ(PillarsLine(p, " "), "甲子 丙寅 戊辰 庚申");
  EXPECT_EQ(PillarsLine(p, " ").size(), 19u);  // 8 characters of two bytes, 3 blanks
  EXPECT_EQ(PillarsLine(p, ""), "甲子丙寅戊辰庚申");
  EXPECT_EQ(PillarText(10, 22), "癸亥");
  // Numbers are decimal digits, "-" for negative ones, as the writer writes them.
  EXPECT_EQ(fixtures::Rendered([](TextWriter& out) { out << 0 << " " << 1984 << " " << -7; }),
            "0 1984 -7");
}

TEST(Names, TablesByNumber) {
  EXPECT_EQ(TenGodLongName(0), "　　");
  EXPECT_EQ(TenGodLongName(1), "正财");
  EXPECT_EQ(TenGodShortName(1), "才");
  EXPECT_EQ(TenGodLongName(2), "偏财");
  EXPECT_EQ(TenGodShortName(2), "财");
  EXPECT_EQ(TenGodShortName(8), "枭");
  EXPECT_EQ(TenGodLongName(10), "七杀");
  EXPECT_EQ(GrowthLongName(1), "长生");
  EXPECT_EQ(GrowthLongName(141), "长生");
  EXPECT_EQ(GrowthShortName(152), "养");
  EXPECT_EQ(GrowthShortName(5), "帝");
  EXPECT_EQ(SolarTermName(1), "立春");
  EXPECT_EQ(SolarTermName(24), "大寒");
  EXPECT_EQ(NayinName({1, 11}), "海中金");
  EXPECT_EQ(NayinName({2, 12}), "海中金");
  EXPECT_EQ(NayinName({3, 13}), "炉中火");
  EXPECT_EQ(NayinName({9, 21}), "大海水");
  EXPECT_EQ(NayinName({10, 22}), "大海水");
}

// Template lines of the tests below, split while compiling.
constexpr std::string_view kAngleLines[] = {"<1> and <10> and <2>.", "no tokens", "a < b", "<1>"};
constexpr auto kAngle = AngleTemplate<3>(kAngleLines);
constexpr std::string_view kCellLines[] = {"│3a│8g│", "9a 3h 0b", "4a4b4c"};
constexpr auto kCell = CellTemplate<3>(kCellLines);

// Line L of kAngle: "<1>" is 甲子, "<10>" one, any other token nothing.
template <std::size_t L>
std::string AngleLine() {
  return fixtures::Rendered([&](TextWriter& out) {
    WriteTemplateLine<kAngle, L>(out, [&](auto token) {
      constexpr std::string_view text = decltype(token)::kText;
      if constexpr (text == "1") out << "甲子";
      if constexpr (text == "10") out << "one";
    });
  });
}

// Line L of kCell, each token in brackets.
template <std::size_t L>
std::string CellLine() {
  return fixtures::Rendered([&](TextWriter& out) {
    WriteTemplateLine<kCell, L>(out, [&](auto token) { out << "[" << decltype(token)::kText << "]"; });
  });
}

// Each token of a template line is replaced by its value: "<1>" is not a
// part of "<10>", a value may be empty, and what lies outside the tokens (an
// unclosed "<" among it) stays.
TEST(ReplaceTokens, AngleTokens) {
  EXPECT_EQ(AngleLine<0>(), "甲子 and one and .");
  EXPECT_EQ(AngleLine<1>(), "no tokens");
  EXPECT_EQ(AngleLine<2>(), "a < b");
  EXPECT_EQ(AngleLine<3>(), "甲子");
}

// A digit 0-8 followed by a letter a-g is a token; other digits and letters
// stay, and so do the bytes of GBK characters (their second bytes are never
// ASCII digits).
TEST(ReplaceTokens, CellTokens) {
  EXPECT_EQ(CellLine<0>(), "│[3a]│[8g]│");
  EXPECT_EQ(CellLine<1>(), "9a 3h [0b]");
  EXPECT_EQ(CellLine<2>(), "[4a][4b][4c]");
}

// A template is split while compiling: its lines, their text and tokens are
// constants; written whole, its lines come with what goes between them.
TEST(ReplaceTokens, TemplatesSplitWhileCompiling) {
  static_assert(kAngle[0].Count == 3 && kAngle[0].Tokens[1] == "10" && kAngle[0].Text[1] == " and ");
  static_assert(kAngle[2].Count == 0 && kAngle[2].Text[0] == "a < b");
  static_assert(kCell[1].Count == 1 && kCell[1].Tokens[0] == "0b" && kCell[1].Text[0] == "9a 3h ");
  static_assert(TemplateMost(kCell, 4, 2) == kCellLines[0].size() + kCellLines[1].size() +
                                                 kCellLines[2].size() + 6 * (4 - 2) + 3 * 2);
  const std::string text = fixtures::Rendered([&](TextWriter& out) {
    WriteTemplate<kCell>(
        out, [&](auto token) { out << decltype(token)::kText; }, [&] { out << "/"; });
  });
  EXPECT_EQ(text, "│3a│8g│/9a 3h 0b/4a4b4c");
}

// Pieces written in place through a cursor give the text the writer gives
// for them one by one: whole in a buffer with room, cut at the same place
// in one without, and nothing after the text is touched.
TEST(TextWriter, WritesInPlaceAsPieceByPiece) {
  const auto pieces = [](auto& out) {
    out << "甲子" << 42 << ' ' << -7 << std::string_view("、乙丑") << kCrLf;
  };
  const std::string whole = fixtures::Rendered([&](TextWriter& out) { pieces(out); });
  EXPECT_EQ(whole, "甲子42 -7、乙丑\r\n");
  for (std::size_t capacity = 1; capacity <= whole.size() + 2; ++capacity) {
    SCOPED_TRACE(capacity);
    std::vector<char> one(capacity + 8, '\x55'), inPlace(capacity + 8, '\x55');
    TextWriter a(one.data(), capacity);
    pieces(a);
    TextWriter b(inPlace.data(), capacity);
    b.WriteInPlace<17>([&](Cursor& text) { pieces(text); });  // in place from 18 bytes on
    EXPECT_EQ(b.View(), a.View());
    EXPECT_EQ(b.WasCut(), a.WasCut());
    EXPECT_EQ(inPlace, one);
  }
}

// PutOver copies a whole block and moves on by the bytes wanted; what
// follows writes over the rest.
TEST(TextWriter, PutOverMovesOnByTheBytesWanted) {
  const std::string text = fixtures::Rendered([&](TextWriter& out) {
    out.WriteInPlace<32>([&](Cursor& cursor) {
      cursor.PutOver<8>("abcdefgh", 3);
      cursor << "XY";
    });
  });
  EXPECT_EQ(text, "abcXY");
}

}  // namespace
}  // namespace orv
