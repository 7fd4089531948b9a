#include "calendar/text.h"

#include <gtest/gtest.h>

#include "calendar/names.h"

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
  EXPECT_EQ(IntText(0), "0");
  EXPECT_EQ(IntText(1984), "1984");
  EXPECT_EQ(IntText(-7), "-7");
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

TEST(ReplaceToken, FirstOccurrenceOnly) {
  std::string text = "<1> and <1> and <2>";
  ReplaceToken(text, "<1>", "甲子");
  EXPECT_EQ(text, "甲子 and <1> and <2>");
  ReplaceToken(text, "<1>", "乙丑");
  EXPECT_EQ(text, "甲子 and 乙丑 and <2>");
  ReplaceToken(text, "<9>", "x");
  EXPECT_EQ(text, "甲子 and 乙丑 and <2>");
  ReplaceToken(text, "<2>", "");
  EXPECT_EQ(text, "甲子 and 乙丑 and ");
}

TEST(ReplaceToken, LongerAndShorterValues) {
  std::string text = "a<10>b<1>c";
  ReplaceToken(text, "<1>", "one");  // "<10>" is not "<1>"
  EXPECT_EQ(text, "a<10>bonec");
}

}  // namespace
}  // namespace orv
