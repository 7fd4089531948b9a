// The Purple Star placement (TOrvDouShu): facts of charts worked out by hand
// from the rules, the edge cases of the rules, and the invariants of every
// chart over a sweep of dates.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "calendar/dates.h"
#include "calendar/lunar.h"
#include "calendar/text.h"
#include "methods/ziwei/ziwei.h"
#include "methods/ziwei/ziwei_tables.h"

namespace orv {
namespace {

// Branch positions.
enum { Zi = 1, Chou, Yin, Mao, Chen, Si, Wu, Wei, Shen, You, Xu, Hai };

constexpr int kBoShi = TOrvDouShu::kBoShiEntry;
constexpr int kJiangQian = TOrvDouShu::kJiangQianEntry;
constexpr int kSuiQian = TOrvDouShu::kSuiQianEntry;
constexpr int kChangSheng = TOrvDouShu::kChangShengEntry;

TOrvDouShu Cast(Moment date, bool male) {
  TOrvDouShu chart;
  chart.SetDate(date);
  chart.SetMale(male);
  chart.Compute();
  return chart;
}

Moment LunarMoment(int year, int month, int day, int hour) {
  const auto found = LunarToSolar(year, month, day);
  EXPECT_TRUE(found.has_value()) << year << "/" << month << "/" << day;
  return found.value_or(Moment{}) + Hours{hour};
}

// The symbol code of a name (palace, star, mark, series member, stage).
int Code(const std::string& name) {
  for (int code = 1; code <= 152; ++code)
    if (NameOf(code) == name) return code;
  ADD_FAILURE() << "no symbol named " << name;
  return -1;
}

// The position of the palace whose star list holds the code; 0 if none.
int PalaceOf(const TOrvDouShu& chart, int code) {
  for (int p = 1; p <= 12; ++p)
    for (int e = TOrvDouShu::kFirstStarEntry; e <= TOrvDouShu::kLastStarEntry; ++e)
      if (chart.Palaces[p][e] == code) return p;
  return 0;
}
int PalaceOf(const TOrvDouShu& chart, const std::string& name) { return PalaceOf(chart, Code(name)); }

// The position of the palace whose entry holds the code (series, names).
int PalaceWith(const TOrvDouShu& chart, int entry, const std::string& name) {
  const int code = Code(name);
  for (int p = 1; p <= 12; ++p)
    if (chart.Palaces[p][entry] == code) return p;
  return 0;
}

// The entry right after a star (its transformation mark, if any).
int AfterStar(const TOrvDouShu& chart, const std::string& star) {
  const int code = Code(star);
  for (int p = 1; p <= 12; ++p)
    for (int e = TOrvDouShu::kFirstStarEntry; e < TOrvDouShu::kLastStarEntry; ++e)
      if (chart.Palaces[p][e] == code) return chart.Palaces[p][e + 1];
  return -1;
}

// Names of the star list of a palace, in order.
std::vector<std::string> StarsOf(const TOrvDouShu& chart, int p) {
  std::vector<std::string> names;
  for (int e = TOrvDouShu::kFirstStarEntry; e <= TOrvDouShu::kLastStarEntry; ++e)
    if (chart.Palaces[p][e] != 0) names.emplace_back(NameOf(chart.Palaces[p][e]));
  return names;
}

int BrightnessOf(const TOrvDouShu& chart, const std::string& star) {
  const int code = Code(star);
  for (int p = 1; p <= 12; ++p)
    for (int e = 0; e < TOrvDouShu::kEntries; ++e)
      if (chart.Palaces[p][e] == code) return chart.Brightness[p][e];
  return -1;
}

enum Level { None = 0, Miao = 1, Wang = 2, De = 3, Li = 4, Ping = 5, Xian = 6, Xianluo = 7 };

// The tables name stars, marks and palaces by the symbol names of the codes
// 23-104, which are told apart by name only when each occurs once there.
TEST(ZiweiTables, NamesOfTheCodesTheTablesUseAreUnique) {
  for (int a = ziwei_tables::kFirstNamedCode; a <= ziwei_tables::kLastNamedCode; ++a)
    for (int b = a + 1; b <= ziwei_tables::kLastNamedCode; ++b)
      EXPECT_NE(NameOf(a), NameOf(b)) << a << " " << b;
  static_assert(ziwei_tables::Star("命宫") == 23);
  static_assert(ziwei_tables::Star("天德") == 102);  // not the 岁前 star 138
  static_assert(ziwei_tables::Star("月德") == 104);
}

// 甲子 year, first month, first day, 子 hour (1984-02-02 00:00), a man.
TEST(ZiweiPlacement, WorkedExample) {
  const TOrvDouShu c = Cast(EncodeDateTime(1984, 2, 2, 0, 0), true);
  EXPECT_EQ(c.LifePalace, Yin);
  EXPECT_EQ(c.Palaces[Yin][TOrvDouShu::kNameEntry], Code("命宫"));
  EXPECT_EQ(c.Palaces[Yin][TOrvDouShu::kStemEntry], Code("丙"));
  EXPECT_EQ(c.BodyPalace(), Yin);
  EXPECT_EQ(c.Bureau, 6);
  EXPECT_EQ(c.Clockwise, 1);
  EXPECT_EQ(PalaceOf(c, "紫微"), You);
  EXPECT_EQ(PalaceOf(c, "天府"), Wei);
  EXPECT_EQ(PalaceOf(c, "禄存"), Yin);
  EXPECT_EQ(c.Palaces[Yin][kBoShi], Code("博士"));
  EXPECT_EQ(PalaceOf(c, "擎羊"), Mao);
  EXPECT_EQ(PalaceOf(c, "陀罗"), Chou);
  EXPECT_EQ(AfterStar(c, "廉贞"), Code("禄"));
  EXPECT_EQ(AfterStar(c, "破军"), Code("权"));
  EXPECT_EQ(AfterStar(c, "武曲"), Code("科"));
  EXPECT_EQ(AfterStar(c, "太阳"), Code("忌"));
  EXPECT_EQ(c.LifeMaster, Code("禄存"));
  EXPECT_EQ(c.BodyMaster, Code("铃星"));
  EXPECT_EQ(c.DecadeStart(Yin), 6);
  EXPECT_EQ(c.Palaces[Mao][TOrvDouShu::kNameEntry], Code("父母"));
  EXPECT_EQ(c.DecadeStart(Mao), 16);
  // The whole 寅 palace, in placement order.
  EXPECT_EQ(StarsOf(c, Yin), (std::vector<std::string>{"禄存", "火星", "阴煞", "孤辰", "身", "天才",
                                                       "天寿", "封诰"}));
  // Two marks in one palace, each right after its star.
  EXPECT_EQ(StarsOf(c, Si), (std::vector<std::string>{"武曲", "科", "破军", "权", "天巫", "破碎",
                                                      "天厨", "月德"}));
  EXPECT_EQ(BrightnessOf(c, "禄存"), Miao);
  EXPECT_EQ(BrightnessOf(c, "破军"), Xian);
  EXPECT_EQ(BrightnessOf(c, "擎羊"), Xianluo);
  EXPECT_EQ(BrightnessOf(c, "天刑"), None);
}

TEST(ZiweiPlacement, DayDivisibleByTheBureau) {
  // 甲子 year, first month, day 6, 子 hour: 命宫 寅 (丙寅), bureau 6; q = 1,
  // r = 0, so 紫微 in 寅 and 天府 with it.
  const TOrvDouShu c = Cast(LunarMoment(1984, 1, 6, 0), true);
  ASSERT_EQ(c.Bureau, 6);
  EXPECT_EQ(PalaceOf(c, "紫微"), Yin);
  EXPECT_EQ(PalaceOf(c, "天府"), Yin);
  EXPECT_EQ(PalaceOf(c, "廉贞"), Wu);
  EXPECT_EQ(PalaceOf(c, "破军"), Zi);
}

TEST(ZiweiPlacement, ZiweiFromDayAndBureau) {
  // Bureau 6 (甲子 year, first month, 子 hour): days 1-30 by the rule, worked
  // out by hand: r = 0 at 寅 + q - 1, odd x backward, even x forward.
  const int expected[31] = {0,    You, Wu,  Hai,  Chen, Chou, Yin,  Xu,  Wei, Zi,  Si,
                            Yin,  Mao, Hai, Shen, Chou, Wu,   Mao,  Chen, Zi, You, Yin,
                            Wei,  Chen, Si, Chou, Xu,   Mao,  Shen, Si,  Wu};
  for (int day = 1; day <= 30; ++day) {  // the first month of 1984 has 30 days
    const TOrvDouShu c = Cast(LunarMoment(1984, 1, day, 0), true);
    ASSERT_EQ(c.Bureau, 6);
    EXPECT_EQ(PalaceOf(c, "紫微"), expected[day]) << "day " << day;
  }
}

TEST(ZiweiPlacement, LonelyAndWidowByYearBranchGroup) {
  struct {
    int year;
    int guChen, guaSu;
  } years[] = {
      {1985, Yin, Xu},    // 丑: 亥子丑
      {1986, Si, Chou},   // 寅: 寅卯辰
      {1987, Si, Chou},   // 卯
      {1988, Si, Chou},   // 辰
      {1989, Shen, Chen}, // 巳: 巳午未
      {1992, Hai, Wei},   // 申: 申酉戌
  };
  for (const auto& y : years) {
    const TOrvDouShu c = Cast(LunarMoment(y.year, 6, 1, 12), true);
    EXPECT_EQ(PalaceOf(c, "孤辰"), y.guChen) << y.year;
    EXPECT_EQ(PalaceOf(c, "寡宿"), y.guaSu) << y.year;
  }
}

TEST(ZiweiPlacement, YinYearManRunsBackward) {
  // 乙丑 year, fourth month, day 13, 午 hour, a man: 命宫 亥 (丁亥), partner
  // 丙戌: 6 + 4 + 7 + 5 = 22, remainder 2, earth, bureau 5.
  const TOrvDouShu c = Cast(LunarMoment(1985, 4, 13, 12), true);
  EXPECT_EQ(c.Clockwise, 0);
  EXPECT_EQ(c.LifePalace, Hai);
  EXPECT_EQ(c.Palaces[Hai][TOrvDouShu::kStemEntry], Code("丁"));
  EXPECT_EQ(c.Bureau, 5);
  // 博士 backward from 禄存 (卯).
  EXPECT_EQ(PalaceOf(c, "禄存"), Mao);
  EXPECT_EQ(PalaceWith(c, kBoShi, "博士"), Mao);
  EXPECT_EQ(PalaceWith(c, kBoShi, "力士"), Yin);
  EXPECT_EQ(PalaceWith(c, kBoShi, "官府"), Chen);
  // 长生 backward from 申 (bureau 5).
  EXPECT_EQ(PalaceWith(c, kChangSheng, "长生"), Shen);
  EXPECT_EQ(PalaceWith(c, kChangSheng, "沐浴"), Wei);
  EXPECT_EQ(PalaceWith(c, kChangSheng, "养"), You);
  // 将前 and 岁前 always forward: 将星 at 酉 for 巳酉丑, 岁建 at the year branch.
  EXPECT_EQ(PalaceWith(c, kJiangQian, "将星"), You);
  EXPECT_EQ(PalaceWith(c, kJiangQian, "攀鞍"), Xu);
  EXPECT_EQ(PalaceWith(c, kSuiQian, "岁建"), Chou);
  EXPECT_EQ(PalaceWith(c, kSuiQian, "晦气"), Yin);
  // Decades backward: 命宫 5, 兄弟 (戌) 15, 父母 (子) 115.
  EXPECT_EQ(c.DecadeStart(Hai), 5);
  EXPECT_EQ(c.DecadeStart(Xu), 15);
  EXPECT_EQ(c.DecadeStart(Zi), 115);
  // 天伤 in 疾厄 (午), 天使 in 奴仆 (辰).
  EXPECT_EQ(c.Palaces[Wu][TOrvDouShu::kNameEntry], Code("疾厄"));
  EXPECT_EQ(c.Palaces[Chen][TOrvDouShu::kNameEntry], Code("奴仆"));
  EXPECT_EQ(PalaceOf(c, "天伤"), Wu);
  EXPECT_EQ(PalaceOf(c, "天使"), Chen);
  // The same moment for a woman runs forward, and the two swap.
  const TOrvDouShu w = Cast(LunarMoment(1985, 4, 13, 12), false);
  EXPECT_EQ(w.Clockwise, 1);
  EXPECT_EQ(PalaceWith(w, kBoShi, "力士"), Chen);
  EXPECT_EQ(PalaceWith(w, kChangSheng, "沐浴"), You);
  EXPECT_EQ(w.DecadeStart(Zi), 15);
  EXPECT_EQ(PalaceOf(w, "天伤"), Chen);
  EXPECT_EQ(PalaceOf(w, "天使"), Wu);
}

TEST(ZiweiPlacement, LeapMonthCountsAsTheNextMonth) {
  // 1984 闰十月初五, 午 hour: M = 11, D = 5.
  const TOrvDouShu c = Cast(LunarMoment(1984, -10, 5, 12), true);
  EXPECT_EQ(c.LunarCount[0], 11);
  EXPECT_EQ(c.LifePalace, Wu);       // 寅 + 10 - 6
  EXPECT_EQ(c.BodyPalace(), Wu);     // 寅 + 10 + 6
  EXPECT_EQ(PalaceOf(c, "左辅"), Yin);
  EXPECT_EQ(PalaceOf(c, "右弼"), Zi);
  EXPECT_EQ(PalaceOf(c, "天马"), Yin);
  EXPECT_EQ(PalaceOf(c, "天刑"), Wei);
  EXPECT_EQ(PalaceOf(c, "天姚"), Hai);
  EXPECT_EQ(PalaceOf(c, "解神"), Wu);
  EXPECT_EQ(PalaceOf(c, "天巫"), Yin);
  EXPECT_EQ(PalaceOf(c, "天月"), Xu);
  EXPECT_EQ(PalaceOf(c, "阴煞"), Wu);
  EXPECT_EQ(PalaceOf(c, "三台"), Wu);    // 左辅 + 4
  EXPECT_EQ(PalaceOf(c, "八座"), Shen);  // 右弼 - 4
}

TEST(ZiweiPlacement, YearValuesFollowTheLunarNewYearNotSpring) {
  // 1984-02-03 12:00: after 正月初一 (02-02), before 立春 (02-04): the year
  // pillar is still 癸亥, the placement's year is 甲子.
  const TOrvDouShu c = Cast(EncodeDateTime(1984, 2, 3, 12, 0), true);
  EXPECT_EQ(c.YearPillar.Stem, Code("癸"));
  EXPECT_EQ(c.LunarYearStemOrdinal, 1);
  EXPECT_EQ(c.LunarYearBranchOrdinal, 1);
  EXPECT_EQ(PalaceOf(c, "禄存"), Yin);          // 甲
  EXPECT_EQ(PalaceWith(c, kSuiQian, "岁建"), Zi);  // 子
  EXPECT_EQ(c.Clockwise, 1);                      // 阳男
  // Before the new year the year is 癸亥: 禄存 in 子, 岁建 in 亥.
  const TOrvDouShu before = Cast(EncodeDateTime(1984, 2, 1, 12, 0), true);
  EXPECT_EQ(PalaceOf(before, "禄存"), Zi);
  EXPECT_EQ(PalaceWith(before, kSuiQian, "岁建"), Hai);
  EXPECT_EQ(before.Clockwise, 0);  // 阴男
}

TEST(ZiweiPlacement, At23HoursThePlacementUsesTheNextDay) {
  // 1984-02-01 23:00 is 腊月三十 of 1983 as a civil day, but is cast for
  // 正月初一 of 1984, 子 hour: the same placement as 1984-02-02 00:00.
  const TOrvDouShu late = Cast(EncodeDateTime(1984, 2, 1, 23, 0), true);
  const TOrvDouShu next = Cast(EncodeDateTime(1984, 2, 2, 0, 0), true);
  EXPECT_EQ(late.Lunar, (std::array<int, 3>{1983, 12, 30}));
  EXPECT_EQ(late.LunarCount, (std::array<int, 2>{1, 1}));
  EXPECT_EQ(late.Palaces, next.Palaces);
  EXPECT_EQ(late.Brightness, next.Brightness);
  EXPECT_EQ(late.Bureau, next.Bureau);
  EXPECT_EQ(late.LifeMaster, next.LifeMaster);
  EXPECT_EQ(late.BodyMaster, next.BodyMaster);
}

TEST(ZiweiPlacement, ComputeMayBeRepeated) {
  TOrvDouShu c;
  c.SetDate(EncodeDateTime(1985, 8, 20, 22, 0));
  c.SetMale(true);
  c.Compute();
  const TOrvDouShu::Rows first = c.Palaces;
  c.Compute();
  EXPECT_EQ(c.Palaces, first);
  c.SetDate(EncodeDateTime(1984, 2, 2, 0, 0));
  c.Compute();
  EXPECT_EQ(c.Palaces, Cast(EncodeDateTime(1984, 2, 2, 0, 0), true).Palaces);
}

// Every chart of a lunar year (every day, every hour, both sexes): each star
// once, each mark right after a star, every series and name once per palace,
// brightness exactly on the stars that have it.
TEST(ZiweiPlacement, InvariantsOverAYear) {
  const Moment first = *LunarToSolar(1990, 1, 1);
  const Moment last = *LunarToSolar(1991, 1, 1);
  int charts = 0;
  for (Moment day = first; day < last; day += Days{1}) {
    for (int hour = 0; hour < 24; hour += 2) {
      for (bool male : {true, false}) {
        const TOrvDouShu c = Cast(day + Hours{hour}, male);
        ++charts;
        std::array<int, 153> count{};
        for (int p = 1; p <= 12; ++p) {
          const auto& row = c.Palaces[p];
          for (int e = 0; e < TOrvDouShu::kEntries; ++e) {
            const int code = row[e];
            if (code >= 0 && code <= 152) ++count[code];
            const bool bright = code >= kFirstStarCode && code <= kLastBrightStarCode &&
                                e >= TOrvDouShu::kFirstStarEntry;
            if (!bright) {
              ASSERT_EQ(c.Brightness[p][e], 0);
            }
            if (code >= kFirstMarkCode && code <= kLastMarkCode) {
              ASSERT_GT(e, TOrvDouShu::kFirstStarEntry);
              ASSERT_TRUE(row[e - 1] >= kFirstStarCode && row[e - 1] <= kLastBrightStarCode);
            }
            if (e >= TOrvDouShu::kFirstStarEntry && e <= TOrvDouShu::kLastStarEntry && code == 0) {
              ASSERT_EQ(row[std::min(e + 1, TOrvDouShu::kLastStarEntry)], 0) << "a gap in the list";
            }
          }
          ASSERT_GE(row[TOrvDouShu::kStemEntry], 1);
          ASSERT_LE(row[TOrvDouShu::kStemEntry], 10);
          ASSERT_EQ(row[TOrvDouShu::kStemEntry] % 2, p % 2) << "stem and branch of one polarity";
        }
        for (int code = 23; code <= 152; ++code) ASSERT_EQ(count[code], 1) << NameOf(code);
        // The bureau is the element of the life palace's sound (纳音).
        ASSERT_GE(c.Bureau, 2);
        ASSERT_LE(c.Bureau, 6);
        const std::string element[7] = {"", "", "水", "木", "金", "土", "火"};
        const Pillar life{c.Palaces[c.LifePalace][TOrvDouShu::kStemEntry], c.LifePalace + 10};
        ASSERT_EQ(NayinName(life).substr(4), element[c.Bureau]) << NayinName(life);
      }
    }
  }
  EXPECT_EQ(charts, static_cast<int>(DayNumber(last).count() - DayNumber(first).count()) * 24);
}

}  // namespace
}  // namespace orv
