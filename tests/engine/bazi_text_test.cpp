// The Four Pillars chart text, byte for byte in GBK: the worked example and
// whole charts worked out by hand from the rules, through StrBazi where the
// export can express the moment.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "bazi_worked_example.h"
#include "calendar/dates.h"
#include "calendar/solar_terms.h"
#include "export_text.h"
#include "exports/orv.h"
#include "methods/bazi/bazi.h"
#include "rendered_text.h"

namespace orv {
namespace {

using fixtures::BaziYearLines;
using fixtures::CrLfLines;
using fixtures::ExpectSameText;
using fixtures::TextLines;

// The text that StrBazi writes into the caller's buffer.
std::string Export(bool solar, bool leap, bool male, int y, int m, int d, int h) {
  return fixtures::ExportText(
      [&](char* buffer) { return StrBazi(solar, leap, male, y, m, d, h, buffer); });
}

// The text of the chart cast for a moment (to the second) and sex.
std::string ChartText(Moment moment, bool male) {
  return fixtures::TextOf(BaziText, Cast(moment, BaziOptions{male}));
}

// A man born on 1984-02-04 at 12:00.
const std::string kWorkedExample = fixtures::BaziWorkedExample();

TEST(BaziText, WorkedExample) {
  const std::string text = Export(true, false, true, 1984, 2, 4, 12);
  ExpectSameText(text, kWorkedExample);
  // What the worked example spells out besides its first lines: the length,
  // and the year lines it shows around the ones it leaves out.
  EXPECT_EQ(text.size(), 1636u);
  const std::vector<std::string> lines = TextLines(text);
  ASSERT_EQ(lines.size(), 92u);
  EXPECT_EQ(lines[22], "9、1993(癸酉)交甲子运");
  EXPECT_EQ(lines[23], "10、1994(甲戌)");
  EXPECT_EQ(lines[24], "11、1995(乙亥)");
  EXPECT_EQ(lines[91], "78、2062(壬午)");

  ExpectSameText(ChartText(EncodeDateTime(1984, 2, 4, 12, 0), true), kWorkedExample);
  // The lunar input of the same day: 正月初三 1984.
  ExpectSameText(Export(false, false, true, 1984, 1, 3, 12), kWorkedExample);
}

// A man born on 1984-02-04 at 23:10, eight minutes before the 立春 instant
// 23:18:44: the year is still 癸亥 and the month 乙丑, the day already 己巳
// (23:00 belongs to the next day), the hour 甲子; the header keeps the civil
// date. Backward from 小寒 1984-01-06 11:40:52.7: 29.4786 days, 3537.43 days of
// life, 9 years 9 months 27 days; 1993-10-12 09:24.
TEST(BaziText, ManBornBeforeTheLichunInstant) {
  const std::string expected =
      CrLfLines({
          "男命：1984年2月4日",
          "阴历：正月初三",
          "　财　  　杀　  　　　  　官",
          "　癸　  　乙　  　己　  　甲",
          "　亥　  　丑　  　巳　  　子",
          "壬甲　  己癸辛  丙庚戊  　癸　",
          "才官　  比财食  印伤劫  　财　",
          "　胎　  　墓　  　帝　  　绝",
          "大海水  海中金  大林木  海中金",
          "",
          "命宫：辰",
          "年柱：驿马 空亡 ",
          "月柱：太极 福星 华盖 ",
          "日柱：贵人 太极 驿马 金神 羊刃 ",
          "时柱：贵人 天医 桃花 ",
          "",
          "本月节气：立春4日23时18分",
          "　　　　　雨水19日19时16分",
          "",
          "命主从9岁9月27天开始行大运",
          "于交运年的阳历10月12日交运",
          "",
      }) +
      BaziYearLines(9, 1993, {"甲子", "癸亥", "壬戌", "辛酉", "庚申", "己未", "戊午"});
  ExpectSameText(ChartText(EncodeDateTime(1984, 2, 4, 23, 10), true), expected);
}

// A woman, lunar input 2023 闰二月初八 at 17:00 (solar 2023-03-29): 癸卯
// 乙卯 丙戌 丁酉. Yin year, woman: forward to 清明 2023-04-05 09:12:58.5,
// 6.6757 days, 801.08 days of life, 2 years 2 months 21 days; 2025-06-07.
// 乙 丙 丁 in month, day and hour: 三奇 on the month pillar.
TEST(BaziText, WomanFromALeapLunarMonth) {
  const std::string expected =
      CrLfLines({
          "女命：2023年3月29日",
          "阴历：闰二月初八",
          "　官　  　印　  　　　  　劫",
          "　癸　  　乙　  　丙　  　丁",
          "　卯　  　卯　  　戌　  　酉",
          "　乙　  　乙　  戊辛丁  　辛　",
          "　印　  　印　  食才劫  　才　",
          "　沐　  　沐　  　墓　  　死",
          "金箔金  大溪水  屋上土  山下火",
          "",
          "命宫：巳",
          "年柱：贵人 太极 福星 文昌 桃花 ",
          "月柱：贵人 太极 福星 文昌 将星 三奇 学堂 桃花 ",
          "日柱：元辰 ",
          "时柱：贵人 太极 灾煞 ",
          "",
          "本月节气：惊蛰6日4时36分",
          "　　　　　春分21日5时24分",
          "",
          "命主从2岁2月21天开始行大运",
          "于交运年的阳历6月7日交运",
          "",
      }) +
      BaziYearLines(2, 2025, {"丙辰", "丁巳", "戊午", "己未", "庚申", "辛酉", "壬戌"});
  ExpectSameText(Export(false, true, false, 2023, 2, 8, 17), expected);
}

// A man born on 1960-02-20 at 07:00: 庚子 戊寅 戊寅 丙辰. Yang year, man:
// forward to 惊蛰 1960-03-05 21:36:08.7, 14.6084 days, 1753.01 days of life,
// 4 years 10 months 13 days; 1964-12-08. 戊寅 in a 寅 month is 天赦; the year
// pillar carries no spirit.
TEST(BaziText, ManWithTianSheAndABareYearPillar) {
  const std::string expected =
      CrLfLines({
          "男命：1960年2月20日",
          "阴历：正月廿四",
          "　食　  　比　  　　　  　枭",
          "　庚　  　戊　  　戊　  　丙",
          "　子　  　寅　  　寅　  　辰",
          "　癸　  甲丙戊  甲丙戊  戊乙癸",
          "　才　  杀枭比  杀枭比  比官才",
          "　胎　  　长　  　长　  　冠",
          "壁上土  城头土  城头土  沙中土",
          "",
          "命宫：亥",
          "年柱：",
          "月柱：太极 驿马 学堂 孤辰 ",
          "日柱：太极 驿马 天赦 学堂 孤辰 阴差阳错 ",
          "时柱：太极 国印 华盖 月德 ",
          "",
          "本月节气：立春5日3时23分",
          "　　　　　雨水19日23时26分",
          "",
          "命主从4岁10月13天开始行大运",
          "于交运年的阳历12月8日交运",
          "",
      }) +
      BaziYearLines(4, 1964, {"己卯", "庚辰", "辛巳", "壬午", "癸未", "甲申", "乙酉"});
  const std::string text = Export(true, false, true, 1960, 2, 20, 7);
  ExpectSameText(text, expected);
  EXPECT_NE(text.find("\r\n年柱：\r\n"), std::string::npos);
}

// A woman born on 1931-10-16 at 04:00: 辛未 戊戌 甲辰 丙寅, forward. Eleven
// rules hit the hour pillar; the line shows the first ten.
TEST(BaziText, TenSpiritsOnOnePillar) {
  const std::vector<std::string> lines = TextLines(Export(true, false, false, 1931, 10, 16, 4));
  ASSERT_GT(lines.size(), 14u);
  EXPECT_EQ(lines[14], "时柱：贵人 太极 福星 驿马 禄神 天德 月德 天喜 亡神 元辰 ");
}

TEST(BaziText, LuckStartText) {
  BaziChart chart = Cast(EncodeDateTime(1984, 2, 4, 12, 0), BaziOptions{});
  struct {
    Seconds offset;
    const char* line;
  } cases[] = {
      {Days{540} + Hours{21} + Minutes{36}, "命主从1岁6月0天开始行大运"},  // 540.9 days
      {Days{540}, "命主从1岁6月0天开始行大运"},
      {Days{540} - Seconds{1}, "命主从1岁5月29天开始行大运"},
      {Seconds{0}, "命主从0岁0月0天开始行大运"},
      {Days{3779} + Hours{12}, "命主从10岁5月29天开始行大运"},
  };
  for (const auto& c : cases) {
    chart.LuckOffset = c.offset;
    EXPECT_EQ(TextLines(fixtures::TextOf(BaziText, chart))[19], c.line) << c.offset.count();
  }
}

// Women of the 癸卯 year (forward), worked out from the published instants
// 小暑 2023-07-07 16:30 and 小寒 2024-01-06 04:49:
// - born 2023-06-07 12:00, 30.19 days before 小暑: 3622.5 days of life, ten
//   years of 360 days and 22 days (yet fewer than ten years of 365 days); the
//   luck starts in the first hours of 2033-05-08, the year lines run from
//   age 10 in 2033; month pillar 戊午, first luck pillar 己未.
// - born 2023-12-20 12:00, 16.70 days before 小寒: 2004.1 days, 5 years
//   6 months 24 days; the luck starts on 2029-06-15 at about 14:00, in the
//   sixth civil year after birth; month pillar 甲子, first luck pillar 乙丑.
TEST(BaziText, LuckStartAgeAndYear) {
  struct {
    int y, m, d, h;
    const char* start;
    const char* day;
    const char* first;
    const char* eleventh;
    const char* last;
  } cases[] = {
      {2023, 6, 7, 12, "命主从10岁0月22天开始行大运", "于交运年的阳历5月8日交运",
       "10、2033(癸丑)交己未运", "20、2043(癸亥)交庚申运", "79、2102(壬戌)"},
      {2023, 12, 20, 12, "命主从5岁6月24天开始行大运", "于交运年的阳历6月15日交运",
       "5、2029(己酉)交乙丑运", "15、2039(己未)交丙寅运", "74、2098(戊午)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.y << "-" << c.m << "-" << c.d);
    const std::vector<std::string> lines = TextLines(Export(true, false, false, c.y, c.m, c.d, c.h));
    ASSERT_EQ(lines.size(), 92u);
    EXPECT_EQ(lines[19], c.start);
    EXPECT_EQ(lines[20], c.day);
    EXPECT_EQ(lines[22], c.first);
    EXPECT_EQ(lines[32], c.eleventh);
    EXPECT_EQ(lines[91], c.last);
  }
}

// Born at the 惊蛰 instant of 1924 (03-06 04:12, a whole minute), a man of a
// 甲子 year: the luck starts at once, in the month and day of birth.
TEST(BaziText, BirthAtASectionalTermInstant) {
  const Moment jie = EncodeDateTime(1924, 3, 6, 4, 12);
  ASSERT_EQ(SolarTermInstant(1924, 3, 0), TermInstant{jie});
  const std::vector<std::string> lines = TextLines(ChartText(jie, true));
  ASSERT_GT(lines.size(), 22u);
  EXPECT_EQ(lines[0], "男命：1924年3月6日");
  EXPECT_EQ(lines[19], "命主从0岁0月0天开始行大运");
  EXPECT_EQ(lines[20], "于交运年的阳历3月6日交运");
  EXPECT_EQ(lines[22], "0、1924(甲子)交戊辰运");
}

// A distance that gives a whole number of days exactly: a woman of a 甲辰
// year (yang stem: counted backward) born 1904-08-17 16:00, 9 days 7 h 48 min
// (805,680 s) after 立秋 at 1904-08-08 08:12. × 120 that is 96,681,600 s,
// exactly 1,119 days: 3 years (1,080), 1 month (30), 9 days. The luck starts
// 1,119 days after birth, 1907-09-10 16:00 (1,095 days to 1907-08-17, then
// 24), in a 丁未 year; from the 壬申 month backward the first pillar is 辛未.
// Counted in binary fractions of a day this came out a hair short of 1,119
// days and printed 8 days.
TEST(BaziText, LuckOffsetOfExactlyWholeDays) {
  const std::vector<std::string> lines = TextLines(Export(true, false, false, 1904, 8, 17, 16));
  ASSERT_GT(lines.size(), 22u);
  EXPECT_EQ(lines[0], "女命：1904年8月17日");
  EXPECT_EQ(lines[19], "命主从3岁1月9天开始行大运");
  EXPECT_EQ(lines[20], "于交运年的阳历9月10日交运");
  EXPECT_EQ(lines[22], "3、1907(丁未)交辛未运");
}

TEST(BaziText, LuckPillarOnlyOnTheFirstLineOfEachDecade) {
  for (const std::string& text : {kWorkedExample, Export(true, false, false, 2000, 8, 15, 9)}) {
    const std::vector<std::string> lines = TextLines(text);
    ASSERT_EQ(lines.size(), 92u);
    for (int n = 0; n < 70; ++n) {
      const std::string& line = lines[22 + n];
      const bool marked = line.size() > 2 && line.compare(line.size() - 2, 2, "运") == 0;
      EXPECT_EQ(marked, n % 10 == 0) << n;
      if (!marked) {
        EXPECT_EQ(line.back(), ')') << n;
      }
    }
  }
}

// The year lines of the worked chart moved to other ages and years: ages
// of one to three digits, the years of the last century and of the next
// two, and years that grow a fifth digit. Each line is "age、year(pillar)",
// the year pillars counted from 甲子 in the year 4.
TEST(BaziText, YearLinesOfAnyAgeAndYear) {
  BaziChart chart = Cast(EncodeDateTime(1984, 2, 4, 12, 0), BaziOptions{true});
  const std::array<const char*, 7> luck = {"甲子", "癸亥", "壬戌", "辛酉", "庚申", "己未", "戊午"};
  const struct {
    int age, year;
  } cases[] = {{0, 1899}, {0, 1900}, {9, 1993}, {30, 1850}, {58, 2000}, {59, 2000},
               {95, 1950}, {58, 2086}, {0, 2087}, {1, 2120}, {0, 9960}, {120, 2200}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "age " << c.age << ", year " << c.year);
    chart.LuckStartAge = c.age;
    chart.LuckStartYear = c.year;
    const std::string text = fixtures::TextOf(BaziText, chart);
    const std::string expected = BaziYearLines(c.age, c.year, luck);
    ASSERT_GT(text.size(), expected.size());
    EXPECT_EQ(text.substr(text.size() - expected.size()), expected);
  }
}

// Grid values without a name of one character: a ten god outside the ten
// and a growth stage of none leave their places empty, and the lines close
// up around them.
TEST(BaziText, GridValuesWithoutAName) {
  BaziChart chart = Cast(EncodeDateTime(1984, 2, 4, 12, 0), BaziOptions{true});
  chart.Grid[BaziFields::kTenGodRow][0] = 11;
  chart.Grid[BaziFields::kGrowthRow][3] = 0;
  const std::vector<std::string> lines = TextLines(fixtures::TextOf(BaziText, chart));
  ASSERT_GT(lines.size(), 9u);
  EXPECT_EQ(lines[2], "　　  　官　  　　　  　比");
  EXPECT_EQ(lines[3], "　癸　  　乙　  　戊　  　戊");
  EXPECT_EQ(lines[7], "　绝　  　养　  　冠　  　");
  EXPECT_EQ(lines[8], "大海水  海中金  大林木  天上火");
  EXPECT_EQ(lines[9], "");
}

// The longest text the rules allow. Every part but the spirit lines has a
// fixed longest form; the spirit lines are tried for every combination of
// year pillar, month branch, day pillar, hour branch and direction (the month
// and hour stems follow from them).
TEST(BaziText, TheLongestTextFitsTheBuffer) {
  const int header = 22 + 18;           // 男命：yyyy年mm月dd日, 阴历：闰x月xxxx
  const int grid = 4 * 30 + 3 * 32;     // seven lines
  const int palace = 2 + 6 + 2;         // empty line, 命宫：x
  const int labels = 4 * (2 + 6) + 4;   // four labelled lines, then two line ends
  const int terms = 26 + 28;            // two terms with two-digit day, hour, minute
  const int luck = 4 + 6 + 3 * 2 + 2 * 2 + 12;  // 命主从yy岁mm月dd天开始行大运
  const int luckDate = 2 + 14 + 4 + 8 + 4;
  const int years = 70 * 16 + 7 * 8;    // two-digit ages below 100, four-digit years
  // Two fixed parts measured in a real chart whose ages all have two digits
  // (10 to 79): the grid and the year lines.
  const auto bytes = [](const std::vector<std::string>& lines, std::size_t from, std::size_t to) {
    std::size_t n = 0;
    for (std::size_t i = from; i < to && i < lines.size(); ++i) n += lines[i].size() + 2;
    return static_cast<int>(n);
  };
  const std::vector<std::string> twoDigitAges = TextLines(Export(true, false, false, 2023, 6, 7, 12));
  ASSERT_EQ(twoDigitAges.size(), 92u);
  ASSERT_EQ(twoDigitAges[22].substr(0, 2), "10");
  EXPECT_EQ(bytes(twoDigitAges, 2, 9), grid);
  EXPECT_EQ(bytes(twoDigitAges, 22, 92), years);

  std::size_t spiritBytes = 0;
  for (int y = 1; y <= 60; ++y)
    for (int mb = 1; mb <= 12; ++mb)
      for (int d = 1; d <= 60; ++d)
        for (int hb = 1; hb <= 12; ++hb)
          for (const bool forward : {false, true}) {
            const Pillar year = PillarOfNumber(y), day = PillarOfNumber(d);
            const Pillar month{Wrap(Wrap(mb - 2, 12) + 2 * year.Stem, 10), CodeOf(mb, CodeKind::Branch)};
            const Pillar hour{Wrap(hb + 2 * day.Stem - 2, 10), CodeOf(hb, CodeKind::Branch)};
            const SpiritList spirits = SpiritsOf({year, month, day, hour}, forward);
            std::size_t spiritLineBytes = 0;
            for (const auto& slot : spirits)
              for (const int n : slot)
                if (n != 0) spiritLineBytes += std::strlen(SpiritNames[n]) + 1;
            spiritBytes = std::max(spiritBytes, spiritLineBytes);
          }
  const std::size_t longest =
      header + grid + palace + labels + terms + luck + luckDate + years + spiritBytes;
  RecordProperty("LongestSpiritBytes", static_cast<int>(spiritBytes));
  RecordProperty("LongestText", static_cast<int>(longest));
  EXPECT_LT(longest + 1, std::size_t{ORV_CHART_BUFFER_SIZE}) << longest;

  // Ages have two digits at most: the luck offset is at most the widest gap
  // between two sectional terms.
  Milliseconds widest{0};
  for (int y = kTermFirstYear; y < kTermLastYear; ++y)
    for (int m = 1; m <= 12; ++m) {
      const TermInstant next = m == 12 ? SolarTermInstant(y + 1, 1, 0) : SolarTermInstant(y, m + 1, 0);
      widest = std::max(widest, next - SolarTermInstant(y, m, 0));
    }
  EXPECT_LT(widest * 120 / Days{360} + 69, 100);  // ages of two digits at most
}

}  // namespace
}  // namespace orv
