#include "calendar/text.h"

#include <gtest/gtest.h>

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

// Each token of a template line is replaced by its value in one pass: "<1>"
// is not a part of "<10>", a value may be empty, and what lies outside the
// tokens (an unclosed "<" among it) stays.
TEST(ReplaceTokens, AngleTokens) {
  const auto fill = [](std::string_view line) {
    return fixtures::Rendered([&](TextWriter& out) {
      ReplaceTokens(out, AngleTokens<4>(line), [&](std::string_view token) {
        if (token == "1") out << "甲子";
        if (token == "10") out << "one";
      });
    });
  };
  EXPECT_EQ(fill("<1> and <10> and <2>."), "甲子 and one and .");
  EXPECT_EQ(fill("no tokens"), "no tokens");
  EXPECT_EQ(fill("a < b"), "a < b");
  EXPECT_EQ(fill("<1>"), "甲子");
}

// A digit 0-8 followed by a letter a-g is a token; other digits and letters
// stay, and so do the bytes of GBK characters (their second bytes are never
// ASCII digits).
TEST(ReplaceTokens, CellTokens) {
  const auto fill = [](std::string_view line) {
    return fixtures::Rendered([&](TextWriter& out) {
      ReplaceTokens(out, CellTokens<4>(line), [&](std::string_view token) { out << "[" << token << "]"; });
    });
  };
  EXPECT_EQ(fill("│3a│8g│"), "│[3a]│[8g]│");
  EXPECT_EQ(fill("9a 3h 0b"), "9a 3h [0b]");
  EXPECT_EQ(fill("4a4b4c"), "[4a][4b][4c]");
}

// A template is split while compiling: its lines, their text and tokens are
// constants.
TEST(ReplaceTokens, TemplatesSplitWhileCompiling) {
  static constexpr std::string_view kLines[] = {"<a>-<b>", "3a 9a"};
  constexpr auto angle = AngleTemplate<2>(kLines);
  static_assert(angle[0].Count == 2 && angle[0].Tokens[1] == "b" && angle[0].Text[1] == "-");
  static_assert(angle[1].Count == 0 && angle[1].Text[0] == "3a 9a");
  constexpr auto cell = CellTemplate<2>(kLines);
  static_assert(cell[1].Count == 1 && cell[1].Tokens[0] == "3a" && cell[1].Text[1] == " 9a");
  SUCCEED();
}

}  // namespace
}  // namespace orv
