// The Purple Star chart text, byte for byte in GBK: two whole charts worked
// out by hand from the rules (the first holds the worked example's 寅 cell),
// the fixed frame over a sweep of dates, and the centre block's edge cases.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "calendar/dates.h"
#include "calendar/lunar.h"
#include "export_text.h"
#include "exports/orv.h"

namespace {

// 1984-02-02 00:00, a man (甲子 year, 正月初一, 子 hour).
const std::vector<std::string> kWorkedExampleChart = {
    "┌───────┬───────┬───────┬───────┐",
    "│武曲平科　小耗│太阳庙忌　将军│天府庙　　奏书│天机平　　飞廉│",
    "│破军闲权　劫煞│天哭　　　灾煞│天钺旺　　天煞│太阴平　　指背│",
    "│天巫　　　小耗│天虚　　　大耗│天官　　　龙德│天马旺　　白虎│",
    "│破碎　　      │台辅　　      │天伤　　      │解神　　      │",
    "│天厨　　　临官│　　　　　帝旺│　　　　　衰  │蜚廉　　　病  │",
    "│月德　　　己巳│　　　　　庚午│　　　　　辛未│截正　　　壬申│",
    "│　　　　      │　　　　      │　　　　      │　　　　      │",
    "│　　　　田宅  │　　　　官禄  │　　　　奴仆  │　　　　迁移  │",
    "│　　　　36-46 │　　　　46-56 │　　　　56-66 │　　　　66-76 │",
    "│　　　　      │　　　　      │　　　　      │　　　　      │",
    "├───────┼───────┴───────┼───────┤",
    "│天同平　　青龙│　　　　　　　　　　　　　　　│紫微平　　喜神│",
    "│文曲庙　　华盖│　　　　　　　　　　　　　　　│贪狼平　　咸池│",
    "│左辅庙　　官符│　　　　　　　　　　　　　　　│天刑　　　天德│",
    "│三台　　      │　四柱 癸亥 乙丑 丙寅 戊子　　│恩光　　      │",
    "│龙池　　　冠带│　　　　　　　　　　　　　　　│天福　　　死  │",
    "│　　　　　戊辰│　阳历 1984-02-02 　　　　　　│天喜　　　癸酉│",
    "│　　　　      │　　　　　　　　　　　　　　　│截傍　　      │",
    "│　　　　福德  │　阴历 正月初一　 　　　　　　│天使　　疾厄  │",
    "│　　　　26-36 │　　　　　　　　　　　　　　　│天德　　76-86 │",
    "│　　　　      │　阳男 火六局 　　　　　　　　│　　　　      │",
    "├───────┤　　　　　　　　　　　　　　　├───────┤",
    "│擎羊陷　　力士│　命主 禄存　身主 铃星　　　　│巨门旺　　病符│",
    "│天贵　　　息神│　　　　　　　　　　　　　　　│文昌陷　　月煞│",
    "│红鸾　　　贯索│　Ｈｅｘａｌｏｒｅ紫微　　　　│右弼庙　　吊客│",
    "│　　　　      │　　　　　　　　　　　　　　　│铃星庙　      │",
    "│　　　　　沐浴│　Hexalore Omenry v1.0　　　　│天月　　　墓  │",
    "│　　　　　丁卯│　　　　　　　　　　　　　　　│八座　　　甲戌│",
    "│　　　　      │　　　　　　　　　　　　　　　│凤阁　　      │",
    "│　　　　父母  │　　　　　　　　　　　　　　　│寡宿　　财帛  │",
    "│　　　　16-26 │　　　　　　　　　　　　　　　│旬正　　86-96 │",
    "│　　　　      │　　　　　　　　　　　　　　　│年解　　      │",
    "├───────┼───────┬───────┼───────┤",
    "│禄存庙　　博士│廉贞旺禄　官府│天梁庙　　伏兵│天相平　　大耗│",
    "│火星庙　　岁驿│七杀庙　　攀鞍│　　　　　将星│地劫旺　　亡神│",
    "│阴煞　　　丧门│天魁旺　　晦气│　　　　　岁建│地空陷　　病符│",
    "│孤辰　　      │陀罗庙　      │　　　　      │旬傍　　      │",
    "│天才　　　长生│天姚　　　养  │　　　　　胎  │　　　　　绝  │",
    "│天寿　　　丙寅│天空　　　丁丑│　　　　　丙子│　　　　　乙亥│",
    "│封诰　　      │　　　　      │　　　　      │　　　　      │",
    "│　　　　命◆身│　　　　兄弟  │　　　　夫妻  │　　　　子女  │",
    "│　　　　6-16  │　　　　      │　　　　      │　　　　96-106│",
    "│　　　　      │　　　　      │　　　　      │　　　　      │",
    "└───────┴───────┴───────┴───────┘",
};

// Lunar 1985 七月初五 22:00 (1985-08-20), a man (乙丑 year, 亥 hour).
const std::vector<std::string> kCrowdedBackwardChart = {
    "┌───────┬───────┬───────┬───────┐",
    "│天相平　　伏兵│天梁庙权　大耗│廉贞庙　　病符│天钺庙　　喜神│",
    "│天哭　　　指背│天贵　　　咸池│七杀旺　　月煞│天福　　　亡神│",
    "│龙池　　　官符│截傍　　　小耗│天姚　　　大耗│天喜　　　龙德│",
    "│台辅　　      │天厨　　      │天虚　　      │天寿　　      │",
    "│　　　　　临官│月德　　　冠带│截正　　　沐浴│　　　　　长生│",
    "│　　　　　辛巳│　　　　　壬午│　　　　　癸未│　　　　　甲申│",
    "│　　　　      │　　　　      │　　　　      │　　　　      │",
    "│　　　　财帛  │　　　　子女  │　　　　夫◆身│　　　　兄弟  │",
    "│　　　　42-52 │　　　　32-42 │　　　　22-32 │　　　　12-22 │",
    "│　　　　      │　　　　      │　　　　      │　　　　      │",
    "├───────┼───────┴───────┼───────┤",
    "│巨门平　　官府│　　　　　　　　　　　　　　　│铃星陷　　飞廉│",
    "│右弼庙　　天煞│　　　　　　　　　　　　　　　│凤阁　　　将星│",
    "│擎羊庙　　贯索│　　　　　　　　　　　　　　　│蜚廉　　　白虎│",
    "│天官　　      │　四柱 乙丑 甲申 辛卯 己亥　　│年解　　      │",
    "│天伤　　　帝旺│　　　　　　　　　　　　　　　│　　　　　养  │",
    "│　　　　　庚辰│　阳历 1985-08-20 　　　　　　│　　　　　乙酉│",
    "│　　　　      │　　　　　　　　　　　　　　　│　　　　      │",
    "│　　　　疾厄  │　阴历 七月初五　 　　　　　　│　　　　命宫  │",
    "│　　　　52-62 │　　　　　　　　　　　　　　　│　　　　2-12  │",
    "│　　　　      │　阴男 水二局 　　　　　　　　│　　　　      │",
    "├───────┤　　　　　　　　　　　　　　　├───────┤",
    "│紫微旺科　博士│　命主 文曲　身主 天相　　　　│天同平　　奏书│",
    "│贪狼旺　　灾煞│　　　　　　　　　　　　　　　│左辅庙　　攀鞍│",
    "│文曲旺　　丧门│　Ｈｅｘａｌｏｒｅ紫微　　　　│地劫平　　天德│",
    "│禄存旺　      │　　　　　　　　　　　　　　　│寡宿　　      │",
    "│天刑　　　衰  │　Hexalore Omenry v1.0　　　　│天才　　　胎  │",
    "│　　　　　己卯│　　　　　　　　　　　　　　　│旬傍　　　丙戌│",
    "│　　　　      │　　　　　　　　　　　　　　　│天德　　      │",
    "│　　　　迁移  │　　　　　　　　　　　　　　　│　　　　父母  │",
    "│　　　　62-72 │　　　　　　　　　　　　　　　│　　　　      │",
    "│　　　　      │　　　　　　　　　　　　　　　│　　　　      │",
    "├───────┼───────┬───────┼───────┤",
    "│天机旺禄　力士│天府庙　　青龙│太阳陷　　小耗│武曲平　　将军│",
    "│太阴闲忌　劫煞│破碎　　　华盖│天魁旺　　息神│破军平　　岁驿│",
    "│陀罗陷　　晦气│封诰　　　岁建│地空平　　病符│文昌旺　　吊客│",
    "│火星庙　      │　　　　      │八座　　      │天月　　      │",
    "│天马旺　　病  │　　　　　死  │　　　　　墓  │旬正　　　绝  │",
    "│解神　　　戊寅│　　　　　己丑│　　　　　戊子│　　　　　丁亥│",
    "│天巫　　      │　　　　      │　　　　      │　　　　      │",
    "│阴煞　　奴仆  │　　　　官禄  │　　　　田宅  │　　　　福德  │",
    "│三台　　72-82 │　　　　82-92 │　　　　92-102│　　　　      │",
    "│　　　　      │　　　　      │　　　　      │　　　　      │",
    "└───────┴───────┴───────┴───────┘",
};

// The 寅 cell of the worked example, without its frame.
const std::vector<std::string> kWorkedExampleYinCell = {
    "禄存庙　　博士", "火星庙　　岁驿", "阴煞　　　丧门", "孤辰　　      ", "天才　　　长生",
    "天寿　　　丙寅", "封诰　　      ", "　　　　命◆身", "　　　　6-16  ", "　　　　      ",
};

constexpr std::size_t kLineBytes = 66;
constexpr std::size_t kTextBytes = 45 * (kLineBytes + 2);

struct Call {
  bool solar, leap, male;
  int y, m, d, h;
};

// The text StrZiwei writes into a 4000-byte buffer.
std::string Chart(const Call& c) {
  return fixtures::ExportText(
      [&](char* buffer) { return StrZiwei(c.solar, c.leap, c.male, c.y, c.m, c.d, c.h, buffer); },
      ORV_ZIWEI_BUFFER_SIZE);
}

using fixtures::CrLfLines;
using fixtures::TextLines;

// Line n (1-45) of a chart text.
std::string Line(const std::string& text, int n) { return TextLines(text).at(n - 1); }

TEST(ZiweiText, WorkedExampleWholeChart) {
  const std::string text = Chart({true, false, true, 1984, 2, 2, 0});
  EXPECT_EQ(TextLines(text), kWorkedExampleChart);
  EXPECT_EQ(text, CrLfLines(kWorkedExampleChart));
  // Its 寅 cell: the first field of lines 35-44.
  const std::vector<std::string> lines = TextLines(text);
  for (int n = 0; n < 10; ++n)
    EXPECT_EQ(lines.at(34 + n).substr(2, 14), kWorkedExampleYinCell[n]) << "cell line " << n + 1;
}

TEST(ZiweiText, CrowdedBackwardChart) {
  // Lunar 1985 七月初五 22:00, a man: 乙丑, backward, 水二局. The 寅 palace
  // holds fourteen stars and two marks: entry 13 (恩光) shows no name, and
  // the stars after line 10 are not shown.
  const std::string text = Chart({false, false, true, 1985, 7, 5, 22});
  EXPECT_EQ(TextLines(text), kCrowdedBackwardChart);
  EXPECT_EQ(text, CrLfLines(kCrowdedBackwardChart));
}

TEST(ZiweiText, EveryLineKeepsItsWidth) {
  // One date per day of the lunar year 1984 (leap 十月 included), every hour,
  // both sexes.
  const orv::Moment first = *orv::LunarToSolar(1984, 1, 1);
  const orv::Moment last = *orv::LunarToSolar(1985, 1, 1);
  int charts = 0;
  std::vector<char> buffer(ORV_ZIWEI_BUFFER_SIZE);
  for (orv::Moment day = first; day < last; day += orv::Days{1}) {
    const auto [y, m, d] = orv::DecodeDate(day);
    for (int hour = 0; hour < 24; hour += 2) {
      for (bool male : {true, false}) {
        std::memset(buffer.data(), 0x7f, buffer.size());
        ASSERT_EQ(StrZiwei(1, 0, male, y, m, d, hour, buffer.data()), 0);
        const char* text = buffer.data();
        ASSERT_EQ(std::strlen(text), kTextBytes) << y << "-" << m << "-" << d << " " << hour;
        for (std::size_t line = 0; line < 45; ++line) {
          const char* end = text + line * (kLineBytes + 2) + kLineBytes;
          ASSERT_EQ(end[0], '\r');
          ASSERT_EQ(end[1], '\n');
          ASSERT_EQ(std::memchr(end - kLineBytes, '\r', kLineBytes), nullptr);
        }
        ASSERT_EQ(std::strchr(text, '<'), nullptr) << "a slot left unfilled";
        ++charts;
      }
    }
  }
  EXPECT_EQ(charts, 384 * 24);  // 1984 has thirteen months, 384 days
}

TEST(ZiweiText, At23HoursTheCentreShowsTheCivilDay) {
  // 1984-02-01 23:00 is cast for 正月初一 of 1984, 子 hour, like the worked
  // example, and its pillars are the same; the centre shows the civil day
  // and its lunar date, 腊月三十.
  std::vector<std::string> expected = kWorkedExampleChart;
  expected[17] = "│　　　　　戊辰│　阳历 1984-02-01 　　　　　　│天喜　　　癸酉│";
  expected[19] = "│　　　　福德  │　阴历 腊月三十　 　　　　　　│天使　　疾厄  │";
  EXPECT_EQ(TextLines(Chart({true, false, true, 1984, 2, 1, 23})), expected);
}

TEST(ZiweiText, LunarHour24IsMidnightOfTheNextDay) {
  // Lunar 1983 腊月三十 hour 24 is 1984-02-02 00:00.
  EXPECT_EQ(TextLines(Chart({false, false, true, 1983, 12, 30, 24})), kWorkedExampleChart);
}

TEST(ZiweiText, LeapMonthInTheLunarSlot) {
  const std::string text = Chart({false, true, true, 1984, 10, 5, 12});
  EXPECT_EQ(Line(text, 20).substr(16, 34), "│　阴历 闰十月初五 　　　　　　│");
}

TEST(ZiweiText, SexAndDirectionLabels) {
  struct {
    int year;
    bool male;
    const char* label;
  } cases[] = {
      {1984, true, "阳男"}, {1984, false, "阳女"},  // 甲: yang
      {1985, true, "阴男"}, {1985, false, "阴女"},  // 乙: yin
  };
  for (const auto& c : cases)
    EXPECT_EQ(Line(Chart({false, false, c.male, c.year, 6, 1, 12}), 22).substr(20, 4), c.label)
        << c.year << " " << c.male;
}

TEST(ZiweiText, BodyPalaceMark) {
  // 甲子 year, 正月初一. 寅 hour: 命宫 子, body palace 辰 = 官禄 (line 8 of
  // 辰 is template line 20). 丑 hour: 命宫 丑, body palace 卯 = 福德 (line 31).
  EXPECT_EQ(Line(Chart({false, false, true, 1984, 1, 1, 3}), 20).substr(0, 16), "│　　　　官◆身");
  EXPECT_EQ(Line(Chart({false, false, true, 1984, 1, 1, 1}), 31).substr(0, 16), "│　　　　福◆身");
}

}  // namespace
