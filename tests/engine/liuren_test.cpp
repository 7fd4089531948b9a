// Da Liu Ren: the transmission table and its rules, the chart's plates and
// lessons, the monthly general, the solar-term question, the birth year and
// the chart text byte for byte in GBK. Expected values are worked out by hand
// from the rules.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "calendar/dates.h"
#include "calendar/text.h"
#include "export_text.h"
#include "moment_text.h"
#include "exports/orv.h"
#include "methods/liuren/liuren.h"

namespace orv {
namespace {

const char* const kStemNames[10] = {"甲", "乙", "丙", "丁", "戊", "己", "庚", "辛", "壬", "癸"};
const char* const kBranchNames[12] = {"子", "丑", "寅", "卯", "辰", "巳",
                                      "午", "未", "申", "酉", "戌", "亥"};

// Branch number 1-12 of a branch's name (GBK, two bytes).
int BranchNumber(const std::string& name) {
  for (int i = 0; i < 12; ++i)
    if (name == kBranchNames[i]) return i + 1;
  ADD_FAILURE() << "no branch " << name;
  return 0;
}

// Sexagenary number 1-60 of a pillar's name such as 甲子.
int DayNumber(const std::string& name) {
  for (int n = 1; n <= 60; ++n)
    if (name == std::string(kStemNames[(n - 1) % 10]) + kBranchNames[(n - 1) % 12]) return n;
  ADD_FAILURE() << "no pillar " << name;
  return 0;
}

std::string Names(const TransmissionTriple& t) {
  const auto name = [](int n) { return n >= 1 && n <= 12 ? kBranchNames[n - 1] : "?"; };
  return std::string(name(t.Initial)) + name(t.Middle) + name(t.Final);
}

TransmissionTriple TableTriple(int day, int upper, int rule) {
  const uint8_t* r = TransmissionTable[TransmissionRecordIndex(day, upper)];
  return {r[3 * rule], r[3 * rule + 1], r[3 * rule + 2]};
}

// No question handler is left behind.
class Liuren : public testing::Test {
 protected:
  void TearDown() override { SetQuestionHandler(nullptr); }
};

// ---------------------------------------------------------------------------
// The transmissions

struct TransmissionCase {
  const char* What;
  const char* Day;
  const char* Upper;      // the first lesson's upper branch
  const char* ByClass;    // 涉害 by position class
  const char* ByDepth;    // 涉害 by depth
};

const TransmissionCase kTransmissionCases[] = {
    {"贼克, one 克 candidate", "甲子", "子", "戌申午", "戌申午"},
    {"伏吟", "甲子", "寅", "寅巳申", "寅巳申"},
    {"伏吟", "丁卯", "未", "卯子午", "卯子午"},
    {"伏吟", "壬午", "亥", "亥午子", "亥午子"},
    {"伏吟", "乙亥", "辰", "辰亥巳", "辰亥巳"},
    {"伏吟", "癸酉", "丑", "丑戌未", "丑戌未"},
    {"伏吟", "丁亥", "未", "亥未丑", "亥未丑"},
    {"返吟", "丁丑", "丑", "亥未丑", "亥未丑"},
    {"返吟", "辛未", "辰", "巳丑辰", "巳丑辰"},
    {"八专", "丁未", "辰", "亥辰辰", "亥辰辰"},
    {"八专", "庚申", "酉", "亥酉酉", "亥酉酉"},
    {"别责", "戊辰", "午", "寅午午", "寅午午"},
    {"别责", "辛未", "丑", "亥丑丑", "亥丑丑"},
    {"昴星", "庚午", "酉", "戌未酉", "戌未酉"},
    {"昴星", "己巳", "申", "申申午", "申申午"},
    {"涉害", "丁卯", "巳", "丑亥酉", "亥酉未"},
    {"涉害", "庚午", "辰", "戌午寅", "子申辰"},
    {"涉害 tie", "戊辰", "子", "子未寅", "子未寅"},
    {"涉害 tie", "戊辰", "亥", "巳亥巳", "巳亥巳"},
    {"涉害 tie", "戊戌", "亥", "巳亥巳", "巳亥巳"},
};

TEST_F(Liuren, TransmissionCasesInTheTableAndByTheRules) {
  for (const TransmissionCase& c : kTransmissionCases) {
    SCOPED_TRACE(std::string(c.What) + " " + c.Day + " " + c.Upper);
    const int day = DayNumber(c.Day);
    const int upper = BranchNumber(c.Upper);
    const char* const expected[2] = {c.ByClass, c.ByDepth};
    for (int rule = 0; rule < 2; ++rule) {
      EXPECT_EQ(Names(TableTriple(day, upper, rule)), expected[rule]) << "rule " << rule;
      const TransmissionOutcome byRules = TransmissionsByRules(day, upper, rule);
      EXPECT_TRUE(byRules.Decided);
      EXPECT_EQ(Names(byRules.Triple), expected[rule]) << "rule " << rule;
    }
  }
}

// The table is what the rules give, record for record; only 23 records
// differ between the two 涉害 rules, and the candidates stay tied in the
// three tie records only, under both rules.
TEST_F(Liuren, TheTableIsTheRulesRegenerated) {
  int differing = 0;
  std::vector<std::string> ties[2];
  for (int day = 1; day <= 60; ++day) {
    for (int upper = 1; upper <= 12; ++upper) {
      for (int rule = 0; rule < 2; ++rule) {
        const TransmissionOutcome o = TransmissionsByRules(day, upper, rule);
        ASSERT_TRUE(o.Decided) << day << " " << upper;
        EXPECT_EQ(TableTriple(day, upper, rule), o.Triple) << day << " " << upper << " " << rule;
        if (o.Tie)
          ties[rule].push_back(std::string(kStemNames[(day - 1) % 10]) +
                               kBranchNames[(day - 1) % 12] + kBranchNames[upper - 1] +
                               Names(o.Triple));
      }
      if (!(TableTriple(day, upper, 0) == TableTriple(day, upper, 1))) ++differing;
    }
  }
  EXPECT_EQ(differing, 23);
  const std::vector<std::string> expectedTies = {"戊辰子子未寅", "戊辰亥巳亥巳", "戊戌亥巳亥巳"};
  EXPECT_EQ(ties[0], expectedTies);
  EXPECT_EQ(ties[1], expectedTies);
}

// Every record is a chain on the heaven plate or one of the fixed forms: all
// three branches lie in 1-12.
TEST_F(Liuren, EveryRecordHoldsBranchNumbers) {
  for (int i = 0; i < kTransmissionRecords; ++i)
    for (int k = 0; k < 6; ++k) {
      EXPECT_GE(TransmissionTable[i][k], 1) << i;
      EXPECT_LE(TransmissionTable[i][k], 12) << i;
    }
}

TEST(LiurenFacts, LodgingPunishmentHorseAndPositionClass) {
  // 甲 寅, 乙 辰, 丙 巳, 丁 未, 戊 巳, 己 未, 庚 申, 辛 戌, 壬 亥, 癸 丑.
  const char* lodging = "寅辰巳未巳未申戌亥丑";
  for (int s = 1; s <= 10; ++s)
    EXPECT_EQ(LodgingBranch(s), BranchNumber(std::string(lodging + 2 * (s - 1), 2))) << s;
  // 子 卯, 丑 戌, 寅 巳, 卯 子, 辰 辰, 巳 申, 午 午, 未 丑, 申 寅, 酉 酉, 戌 未, 亥 亥.
  const char* punished = "卯戌巳子辰申午丑寅酉未亥";
  const char* horse = "寅亥申巳寅亥申巳寅亥申巳";
  for (int b = 1; b <= 12; ++b) {
    EXPECT_EQ(PunishedBranch(b), BranchNumber(std::string(punished + 2 * (b - 1), 2))) << b;
    EXPECT_EQ(PostHorse(b), BranchNumber(std::string(horse + 2 * (b - 1), 2))) << b;
  }
  EXPECT_EQ(PositionClass(BranchNumber("寅")), 0);
  EXPECT_EQ(PositionClass(BranchNumber("亥")), 0);
  EXPECT_EQ(PositionClass(BranchNumber("子")), 1);
  EXPECT_EQ(PositionClass(BranchNumber("酉")), 1);
  EXPECT_EQ(PositionClass(BranchNumber("辰")), 2);
  EXPECT_EQ(PositionClass(BranchNumber("丑")), 2);
}

// ---------------------------------------------------------------------------
// The chart

// A chart at a civil moment, derived as the export derives it; by default
// with the rules of "甲戊庚牛羊" and "按孟仲季".
TOrvDlrStr Chart(Moment date, bool daytime, const LiurenRules& rules = LiurenRules::FromFlags(1, 1)) {
  TOrvDlrStr chart(rules);
  chart.SetChartDate(date);
  chart.ArrangeDay(daytime);
  return chart;
}

std::string Name(int code) {
  if (code >= 1 && code <= 10) return kStemNames[code - 1];
  if (code >= 11 && code <= 22) return kBranchNames[code - 11];
  return "?";
}

// 1984-01-31 is 甲子; from 大寒 (01-21) the general is 子, and at the hour 寅
// 子 stands above 寅.
TEST_F(Liuren, JiaziDayWithZiAboveYin) {
  const TOrvDlrStr chart = Chart(EncodeDateTime(1984, 1, 31, 4, 0), false);
  EXPECT_EQ(Name(chart.DayPillar.Stem) + Name(chart.DayPillar.Branch), "甲子");
  EXPECT_EQ(Name(chart.MonthGeneral), "子");
  EXPECT_EQ(Name(chart.HeavenAbove(13)), "子");  // above 寅
  std::string lessons;
  for (int j = 0; j < 4; ++j) lessons += Name(chart.LessonUpper[j]) + Name(chart.LessonLower[j]) + " ";
  EXPECT_EQ(lessons, "子甲 戌子 戌子 申戌 ");
  EXPECT_EQ(Name(chart.Trans[0]) + Name(chart.Trans[1]) + Name(chart.Trans[2]), "戌申午");
  // Seats: 戌 stands on 子, 申 on 戌, 午 on 申.
  EXPECT_EQ(Name(chart.TransSeat[0]) + Name(chart.TransSeat[1]) + Name(chart.TransSeat[2]),
            "子戌申");
  // 甲子旬: 戌 and 亥 void; 申 carries 壬, 午 庚; 子 甲.
  EXPECT_EQ(chart.TransStem[0], 0);
  EXPECT_EQ(Name(chart.TransStem[1]) + Name(chart.TransStem[2]), "壬庚");
  EXPECT_EQ(Name(chart.LessonStem[0]), "甲");
}

// The general from the month's principal term on: 大寒 2000 falls at
// 2000-01-21 02:23:02.25, 冬至 2050 at 2050-12-22 00:37:54.55 (the day count
// 55144.0263257981); a whole second is in the term from the next one on.
TEST_F(Liuren, MonthlyGeneralChangesAtThePrincipalTerm) {
  struct {
    Moment date;
    const char* general;
  } cases[] = {
      {EncodeDateTime(2000, 1, 1, 12, 0), "丑"},     {EncodeDateTime(2000, 1, 21, 2, 23, 2), "丑"},
      {EncodeDateTime(2000, 1, 21, 2, 23, 3), "子"}, {EncodeDateTime(2000, 1, 31, 12, 0), "子"},
      {EncodeDateTime(2050, 12, 1, 12, 0), "寅"},    {EncodeDateTime(2050, 12, 22, 0, 37, 54), "寅"},
      {EncodeDateTime(2050, 12, 22, 0, 37, 55), "丑"}, {EncodeDateTime(2050, 12, 31, 23, 0), "丑"},
  };
  for (const auto& c : cases) {
    TOrvDlr chart;
    chart.SetChartDate(c.date);
    EXPECT_EQ(Name(chart.MonthGeneral), c.general) << c.date;
    chart.ArrangeDay(true);
    EXPECT_EQ(Name(chart.MonthGeneral), c.general) << c.date;
  }
}

// Nobles by both tables, and the generals laid from the noble: forward from
// 亥 … 辰, backward from 巳 … 戌.
TEST_F(Liuren, NoblesAndGenerals) {
  struct {
    uint8_t guiRen;
    const char* stems;  // day, night noble of 甲 … 癸
  } tables[] = {
      {1, "丑未子申亥酉亥酉丑未子申丑未午寅巳卯巳卯"},
      {0, "未丑申子酉亥亥酉丑未子申丑未寅午卯巳巳卯"},
  };
  // 1984-01-31 is 甲子; the following days run through the ten stems.
  for (const auto& t : tables) {
    for (int k = 0; k < 10; ++k) {
      const TOrvDlrStr chart = Chart(EncodeDateTime(1984, 1, 31, 12, 0) + Days{k}, true,
                                     LiurenRules::FromFlags(t.guiRen, 1));
      EXPECT_EQ(Name(chart.DayNoble) + Name(chart.NightNoble),
                std::string(t.stems + 4 * k, 4))
          << int(t.guiRen) << " " << k;
    }
  }
  // 甲子 at 02:00 (丑), general 子: heaven = earth − 1. By night the noble 未
  // stands over 申: backward. By day 丑 stands over 寅: forward.
  const TOrvDlrStr night = Chart(EncodeDateTime(1984, 1, 31, 2, 0), false);
  std::string plate;
  for (int i = 0; i < 12; ++i) plate += NameOf(night.GeneralPlate[i]);
  EXPECT_EQ(plate, "常虎空青勾合朱蛇贵后阴玄");
  const TOrvDlrStr day = Chart(EncodeDateTime(1984, 1, 31, 2, 0), true);
  plate.clear();
  for (int i = 0; i < 12; ++i) plate += NameOf(day.GeneralPlate[i]);
  EXPECT_EQ(plate, "阴后贵蛇朱合勾青空虎常玄");
}

TEST_F(Liuren, ComputeTakesDaytimeFromTheHourBranch) {
  struct {
    int hour;
    uint8_t day;
  } cases[] = {{4, 0}, {5, 1}, {12, 1}, {16, 1}, {17, 0}, {23, 0}, {0, 0}};
  for (const auto& c : cases) {
    TOrvDlr chart;
    chart.SetChartDate(EncodeDateTime(1984, 1, 31, c.hour, 0));
    chart.Compute();
    EXPECT_EQ(chart.IsDay, c.day) << c.hour;
  }
}

// ---------------------------------------------------------------------------
// The export and the text

using fixtures::ExpectSameText;
using fixtures::SplitLines;

struct Call {
  uint8_t solar = 1, leap = 0, male = 1;
  int year = 1984, month = 1, day = 31, hour = 2;
  uint8_t daytime = 0, guiRen = 1, sheHai = 1;
  int birthYear = -1;
};

std::string Export(const Call& c) {
  return fixtures::ExportText([&](char* buffer) {
    return Str6Ren(c.solar, c.leap, c.male, c.year, c.month, c.day, c.hour, buffer, c.daytime,
                   c.guiRen, c.sheHai, c.birthYear);
  });
}

// 1984-01-31 02:00, a man born in 1950, night, 甲戊庚牛羊, by position class.
// Pillars 癸亥 乙丑 甲子 乙丑 (before 立春; 乙丑 month from 小寒); lunar
// 腊月廿九; general 子 from 大寒, above the hour 丑: the heaven branch is
// the earth branch less one. Lessons 丑/甲 (贼), 子/丑 (贼), 亥/子, 戌/亥 (克):
// of the 贼 uppers 丑 and 子 only 子 is yang like 甲: 子 亥 戌. The night
// noble 未 stands over 申: the generals run backward from 申. 甲子旬: 戌 亥
// void; 亥 and 戌 are void transmissions, and 戌 stands on 亥, void too.
// Birth 1950 庚寅; lunar year 1983, 33 years on from 丙寅: 己亥.
const std::string kWholeChart = fixtures::JoinLines({
    "公历：1984年1月31日",
    "阴历：腊月廿九",
    "四柱：癸亥 乙丑 甲子 乙丑",
    "月将：子将甲子旬戌亥空",
    "年命：庚寅命亥年",
    "",
    "　　　合 朱 蛇 贵",
    "　　　辰 巳 午 未",
    "　　勾卯　　　 申后",
    "　　青寅　　　 酉阴",
    "　　　丑 子 亥 戌",
    "　　　空 虎 常 玄",
    "",
    "　　　玄 常 虎 空",
    "　　　戌 亥 子 丑",
    "　　　亥 子 丑 甲",
    "",
    "　　　父 甲子　虎 ",
    "　　　父 　亥　常 ◎",
    "　　　财 　戌　玄 ◎⊙",
});

TEST_F(Liuren, WholeChartByteForByte) {
  Call c;
  c.birthYear = 1950;
  const std::string text = Export(c);
  EXPECT_EQ(SplitLines(text), SplitLines(kWholeChart));
  EXPECT_EQ(text, kWholeChart);
  // The same day in the lunar calendar: 1983 腊月廿九.
  c.solar = 0;
  c.year = 1983;
  c.month = 12;
  c.day = 29;
  EXPECT_EQ(Export(c), kWholeChart);
}

TEST_F(Liuren, WithoutBirthYearFourHeaderLinesAndAnEmptyLine) {
  std::vector<std::string> expected = SplitLines(kWholeChart);
  expected.erase(expected.begin() + 4);
  for (int birth : {-1, 0}) {
    Call c;
    c.birthYear = birth;
    EXPECT_EQ(SplitLines(Export(c)), expected) << birth;
  }
}

// The void marks and the ordinary space that ends a line without marks.
TEST_F(Liuren, VoidMarks) {
  const std::vector<std::string> lines = SplitLines(Export(Call{}));
  ASSERT_EQ(lines.size(), 19u);
  EXPECT_EQ(lines[16].substr(lines[16].size() - 3), "虎 ");
  EXPECT_EQ(lines[17].substr(lines[17].size() - 5), "常 ◎");
  EXPECT_EQ(lines[18].substr(lines[18].size() - 7), "玄 ◎⊙");
  // 1984-02-04 12:00 (戊辰, tie record 巳 亥 巳): 巳 stands on void 亥 alone.
  Call tie;
  tie.month = 2;
  tie.day = 4;
  tie.hour = 12;
  tie.daytime = 1;
  const std::vector<std::string> t = SplitLines(Export(tie));
  ASSERT_EQ(t.size(), 19u);
  EXPECT_EQ(t[16], "　　　父 己巳　常 ⊙");
  EXPECT_EQ(t[17], "　　　财 　亥　朱 ◎");
  EXPECT_EQ(t[18], "　　　父 己巳　常 ⊙");
}

// The year of life counts from 丙寅 forward for a man and from 壬申 backward
// for a woman, by the lunar year of the civil day. 1984-02-01 is 1983 腊月
// 三十; at 23:00 the day pillar is already that of 02-02 (the lunar new year)
// and so is the chart's record, but the year of life keeps 1983.
TEST_F(Liuren, BirthYearLineForAManAndAWoman) {
  struct {
    uint8_t male;
    int hour;
    const char* line;
  } cases[] = {
      {1, 12, "年命：庚子命丑年"},  // 1983 − 1960 = 23: 丙寅 + 23 = 己丑
      {0, 12, "年命：庚子命酉年"},  // 壬申 − 23 = 己酉
      {1, 23, "年命：庚子命丑年"},
      {0, 23, "年命：庚子命酉年"},
  };
  for (const auto& c : cases) {
    Call call;
    call.month = 2;
    call.day = 1;
    call.hour = c.hour;
    call.male = c.male;
    call.birthYear = 1960;
    const std::vector<std::string> lines = SplitLines(Export(call));
    ASSERT_GT(lines.size(), 5u);
    EXPECT_EQ(lines[4], c.line) << int(c.male) << " " << c.hour;
    EXPECT_EQ(lines[1], "阴历：腊月三十");
  }
  // Born in the chart's own lunar year: 丙寅 and 壬申.
  Call same;
  same.year = 1984;
  same.month = 6;
  same.day = 1;
  same.birthYear = 1984;
  EXPECT_EQ(SplitLines(Export(same))[4], "年命：甲子命寅年");
  same.male = 0;
  EXPECT_EQ(SplitLines(Export(same))[4], "年命：甲子命申年");
}

// At 23:00 the chart takes the next day's pillar, and its lessons and
// transmissions are those of the next day at the same hour branch 子.
TEST_F(Liuren, ElevenPmBelongsToTheNextDay) {
  Call late;
  late.day = 30;
  late.hour = 23;
  Call next;
  next.day = 31;
  next.hour = 0;
  const std::vector<std::string> a = SplitLines(Export(late));
  const std::vector<std::string> b = SplitLines(Export(next));
  ASSERT_EQ(a.size(), 19u);
  ASSERT_EQ(b.size(), 19u);
  EXPECT_EQ(a[0], "公历：1984年1月30日");
  EXPECT_EQ(a[2], "四柱：癸亥 乙丑 甲子 甲子");
  EXPECT_EQ(b[2], "四柱：癸亥 乙丑 甲子 甲子");
  EXPECT_EQ(std::vector<std::string>(a.begin() + 3, a.end()),
            std::vector<std::string>(b.begin() + 3, b.end()));
  // 子 over 子, general 子: 伏吟 of 甲子, 寅 巳 申; the night noble 未
  // stands over 未, the generals run backward from it.
  EXPECT_EQ(a[16], "　　　兄 丙寅　青 ");
  EXPECT_EQ(a[17], "　　　子 己巳　朱 ");
  EXPECT_EQ(a[18], "　　　官 壬申　后 ");
}

// The flags: 1 for "甲戊庚牛羊" and "按孟仲季"; any nonzero value counts as 1.
TEST_F(Liuren, OptionFlagsAreNegatedIntoTheRules) {
  for (uint8_t flag : {uint8_t{1}, uint8_t{2}, uint8_t{255}}) {
    const LiurenRules rules = LiurenRules::FromFlags(flag, flag);
    EXPECT_EQ(rules.NobleRule, 0);
    EXPECT_EQ(rules.SheHaiRule, 0);
  }
  const LiurenRules negated = LiurenRules::FromFlags(0, 0);
  EXPECT_EQ(negated.NobleRule, 1);
  EXPECT_EQ(negated.SheHaiRule, 1);

  // For 甲 the night noble of one table is the day noble of the other.
  Call jwgNight;
  Call jywDay;
  jywDay.daytime = 1;
  jywDay.guiRen = 0;
  EXPECT_EQ(Export(jwgNight), Export(jywDay));
  jywDay.guiRen = 2;  // nonzero: 甲戊庚牛羊
  jwgNight.daytime = 1;
  EXPECT_EQ(Export(jwgNight), Export(jywDay));

  // 丁卯 with 巳 above 未: 丑 亥 酉 by position class, 亥 酉 未 by depth.
  // 2023-03-10 is 丁卯 (1984-01-31 甲子 + 14283 days); in March before 春分
  // the general is 亥; 巳 over 未 needs the hour 丑.
  Call dingmao;
  dingmao.year = 2023;
  dingmao.month = 3;
  dingmao.day = 10;
  dingmao.hour = 2;
  for (uint8_t sheHai : {uint8_t{1}, uint8_t{7}, uint8_t{0}}) {
    dingmao.sheHai = sheHai;
    const std::vector<std::string> lines = SplitLines(Export(dingmao));
    ASSERT_EQ(lines.size(), 19u);
    EXPECT_EQ(lines[2].substr(lines[2].size() - 9, 4), "丁卯");
    const std::string initial = lines[16].substr(11, 2);
    EXPECT_EQ(initial, sheHai != 0 ? "丑" : "亥") << int(sheHai);
  }
}

TEST_F(Liuren, RefusedDatesLeaveTheBufferAlone) {
  std::vector<char> buffer(ORV_CHART_BUFFER_SIZE, '\x7f');
  EXPECT_EQ(Str6Ren(1, 0, 1, 2001, 2, 29, 12, buffer.data(), 1, 1, 1, -1), 1);
  EXPECT_EQ(Str6Ren(1, 0, 1, 2001, 2, 28, 24, buffer.data(), 1, 1, 1, -1), 1);
  EXPECT_EQ(Str6Ren(0, 1, 1, 2023, 3, 1, 12, buffer.data(), 1, 1, 1, -1), 2);  // no 闰三月
  EXPECT_EQ(buffer[0], '\x7f');
}

// Charts cast at the same time on two threads, each with its own rules.
TEST_F(Liuren, ThreadsKeepTheirOwnRules) {
  Call byClass;
  byClass.year = 2023;
  byClass.month = 3;
  byClass.day = 10;
  Call byDepth = byClass;
  byDepth.sheHai = 0;
  byDepth.guiRen = 0;
  const std::string expectClass = Export(byClass);
  const std::string expectDepth = Export(byDepth);
  ASSERT_NE(expectClass, expectDepth);
  bool sameA = true, sameB = true;
  std::thread a([&] {
    for (int i = 0; i < 200; ++i) sameA = sameA && Export(byClass) == expectClass;
  });
  std::thread b([&] {
    for (int i = 0; i < 200; ++i) sameB = sameB && Export(byDepth) == expectDepth;
  });
  a.join();
  b.join();
  EXPECT_TRUE(sameA);
  EXPECT_TRUE(sameB);
}

// ---------------------------------------------------------------------------
// The solar-term question

int32_t answer = 2;
std::vector<std::string> asked;
int32_t ORV_CALL Answer(const char* question) {
  asked.push_back(question);
  return answer;
}

// 小寒 2000 falls at 2000-01-06 09:00:42: a chart at 10:00 lies in its double
// hour. Before it the month is 丙子, after it 丁丑; the hour is 巳 either way.
TEST_F(Liuren, SolarTermQuestionMovesTheChartAcrossTheChange) {
  Call c;
  c.year = 2000;
  c.month = 1;
  c.day = 6;
  c.hour = 10;
  c.daytime = 1;
  SetQuestionHandler(&Answer);
  struct {
    int32_t answer;
    const char* pillars;
  } cases[] = {
      {0, "四柱：己卯 丙子 癸亥 丁巳"},
      {1, "四柱：己卯 丁丑 癸亥 丁巳"},
      {2, "四柱：己卯 丁丑 癸亥 丁巳"},  // 10:00 as entered
  };
  for (const auto& k : cases) {
    answer = k.answer;
    asked.clear();
    const std::vector<std::string> lines = SplitLines(Export(c));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "今日09:00交节气，您所用的时间在此之前吗？");
    EXPECT_EQ(lines[2], k.pillars) << k.answer;
  }
  // The neighbouring double hour is not asked about.
  asked.clear();
  c.hour = 8;
  Export(c);
  EXPECT_TRUE(asked.empty());
}

// A handler that casts a chart of its own while the engine asks it, with
// other rules, another moment and another birth, leaves the chart being
// cast as it would be without that: 大寒 1902 falls in the double hour of
// 1902-01-21 08:00, the question is asked while the outer chart stands half
// cast, and its generals and nobles are those of its own rules.
std::string innerChart;
int32_t ORV_CALL AnswerAfterCastingAnother(const char* question) {
  asked.push_back(question);
  Call inner;
  inner.year = 2023;
  inner.month = 3;
  inner.day = 10;
  inner.hour = 14;
  inner.daytime = 1;
  inner.guiRen = 0;  // the other noble table
  inner.sheHai = 1;  // the other 涉害 rule
  inner.birthYear = 1960;
  SetQuestionHandler(nullptr);  // the inner chart asks nothing
  innerChart = Export(inner);
  SetQuestionHandler(&AnswerAfterCastingAnother);
  return 1;
}

TEST_F(Liuren, AReentrantHandlerLeavesTheOuterChartAlone) {
  Call outer;
  outer.year = 1902;
  outer.month = 1;
  outer.day = 21;
  outer.hour = 8;
  outer.male = 0;
  outer.daytime = 1;
  outer.guiRen = 1;  // 甲戊庚牛羊
  outer.sheHai = 0;  // 涉害 by depth
  outer.birthYear = 1990;
  // The same question answered by a handler that casts nothing.
  SetQuestionHandler(&Answer);
  answer = 1;
  asked.clear();
  const std::string plain = Export(outer);
  ASSERT_EQ(asked.size(), 1u);
  // Now the handler casts another chart before it answers.
  SetQuestionHandler(&AnswerAfterCastingAnother);
  asked.clear();
  innerChart.clear();
  const std::string reentered = Export(outer);
  ASSERT_EQ(asked.size(), 1u);
  ASSERT_FALSE(innerChart.empty());
  ExpectSameText(reentered, plain);
}

// 大寒 2000 falls at 02:23:02 of 01-21: at 02:00 the question decides the
// general, 丑 before and 子 after; without a handler the chart keeps 02:00.
TEST_F(Liuren, PrincipalTermQuestionDecidesTheGeneral) {
  Call c;
  c.year = 2000;
  c.month = 1;
  c.day = 21;
  c.hour = 2;
  const std::string asEntered = Export(c);
  EXPECT_EQ(SplitLines(asEntered)[3].substr(0, 10), "月将：丑将");
  SetQuestionHandler(&Answer);
  asked.clear();
  answer = 1;
  const std::vector<std::string> after = SplitLines(Export(c));
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], "今日02:23交节气，您所用的时间在此之前吗？");
  EXPECT_EQ(after[3].substr(0, 10), "月将：子将");
  answer = 0;
  EXPECT_EQ(Export(c), asEntered);
  answer = 2;
  EXPECT_EQ(Export(c), asEntered);
}

}  // namespace
}  // namespace orv
