// The Six Lines derivation: casts, palaces and world lines, line
// attachments, relatives, beasts and hidden spirits. Expected values are
// worked out by hand from the rules.
#include "methods/liuyao/liuyao.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>
#include <vector>

#include "calendar/dates.h"
#include "calendar/lunar.h"
#include "calendar/text.h"

namespace orv {
namespace {

// Days with a known day pillar: 1984-01-31 甲子, 1984-02-01 乙丑, 1984-02-04
// 戊辰, 1984-02-10 甲戌 (noon, well inside the day).
const Moment kJiaZi = EncodeDateTime(1984, 1, 31, 12, 0);
const Moment kYiChou = EncodeDateTime(1984, 2, 1, 12, 0);
const Moment kWuChen = EncodeDateTime(1984, 2, 4, 12, 0);
const Moment kJiaXu = EncodeDateTime(1984, 2, 10, 12, 0);

// Trigram numbers.
enum { kQian = 1, kDui, kLi, kZhen, kXun, kKan, kGen, kKun };

// Six line values, top line first.
using Cast = std::array<int, 6>;

template <typename Chart = TOrv6yao>
Chart Manual(Moment date, const Cast& c) {
  Chart chart;
  chart.SetDate(date);
  chart.SetLines(c[0], c[1], c[2], c[3], c[4], c[5]);
  chart.Compute();
  return chart;
}

template <typename Chart = TOrv6yao>
Chart Timed(Moment date) {
  Chart chart;
  chart.SetDate(date);
  chart.CastFromTime(date);
  chart.Compute();
  return chart;
}

// Six yang bits, bottom first, from "011111" (bottom line first).
std::array<uint8_t, 6> Bits(const char* bottomFirst) {
  std::array<uint8_t, 6> bits{};
  for (int i = 0; i < 6; ++i) bits[i] = bottomFirst[i] == '1';
  return bits;
}

std::string RelativeName(int r) { return r >= -2 && r <= 2 ? RelativeFullNames[r + 2] : "?"; }

// "甲子子孙": stem, branch and relative of a line.
std::string LineText(const TYaoLine& line) {
  return std::string(PillarText(line.Stem, line.Branch)) + RelativeName(line.Relative);
}

// The six lines, bottom first.
std::vector<std::string> LinesText(const std::array<TYaoLine, 6>& lines) {
  std::vector<std::string> text;
  for (const TYaoLine& line : lines) text.push_back(LineText(line));
  return text;
}

std::string HexagramName(const std::array<uint8_t, 6>& bits) {
  const int lower = TrigramOf(bits[0], bits[1], bits[2]);
  const int upper = TrigramOf(bits[3], bits[4], bits[5]);
  return HexagramFullNames[(upper - 1) * 8 + (lower - 1)];
}

// The image of each trigram in the hexagram names.
const char* const kImages[9] = {"", "天", "泽", "火", "雷", "风", "水", "山", "地"};

TEST(LiuyaoTables, HexagramNamesFollowTheirTrigrams) {
  for (int upper = 1; upper <= 8; ++upper)
    for (int lower = 1; lower <= 8; ++lower) {
      const int k = (upper - 1) * 8 + (lower - 1);
      const std::string full = HexagramFullNames[k];
      const std::string brief = HexagramShortNames[k];
      SCOPED_TRACE(full);
      if (upper == lower) {
        // 乾为天: the trigram, 为, its image; short: the trigram.
        EXPECT_EQ(full, std::string(Trigrams[upper].Name) + "为" + kImages[upper]);
        EXPECT_EQ(brief, Trigrams[upper].Name);
      } else {
        // 天风姤: upper image, lower image, one or two characters.
        EXPECT_EQ(full.substr(0, 4), std::string(kImages[upper]) + kImages[lower]);
        EXPECT_TRUE(full.size() == 6 || full.size() == 8);
        EXPECT_EQ(brief, full.substr(4));
      }
    }
  std::set<std::string> names(std::begin(HexagramFullNames), std::end(HexagramFullNames));
  EXPECT_EQ(names.size(), 64u);
}

TEST(LiuyaoTables, TrigramsByTheirLines) {
  const struct {
    int bottom, middle, top, trigram;
  } cases[] = {{1, 1, 1, kQian}, {1, 1, 0, kDui}, {1, 0, 1, kLi},  {1, 0, 0, kZhen},
               {0, 1, 1, kXun},  {0, 1, 0, kKan}, {0, 0, 1, kGen}, {0, 0, 0, kKun}};
  for (const auto& c : cases) EXPECT_EQ(TrigramOf(c.bottom, c.middle, c.top), c.trigram);
}

// Each palace's eight hexagrams by the traditional sequence: from the pure
// hexagram change lines 1, 1-2, 1-3, 1-4, 1-5 (generations 1-5), then change
// line 4 back (wandering soul, world 4), then restore the lower trigram
// (returning soul, world 3). Together they are all 64 hexagrams once each.
TEST(LiuyaoPalace, EveryHexagramInItsPalaceSequence) {
  std::set<std::array<uint8_t, 6>> seen;
  for (int p = 1; p <= 8; ++p) {
    std::array<uint8_t, 6> pure{};
    for (int i = 0; i < 6; ++i) pure[i] = Trigrams[p].Lines[i % 3];
    const auto changed = [&](std::initializer_list<int> lines) {
      std::array<uint8_t, 6> bits = pure;
      for (int i : lines) bits[i - 1] = !bits[i - 1];
      return bits;
    };
    const struct {
      std::array<uint8_t, 6> bits;
      int generation, world;
    } sequence[] = {
        {pure, 8, 6},
        {changed({1}), 1, 1},
        {changed({1, 2}), 2, 2},
        {changed({1, 2, 3}), 3, 3},
        {changed({1, 2, 3, 4}), 4, 4},
        {changed({1, 2, 3, 4, 5}), 5, 5},
        {changed({1, 2, 3, 5}), 6, 4},
        {changed({5}), 7, 3},
    };
    for (const auto& s : sequence) {
      SCOPED_TRACE(HexagramName(s.bits));
      const PalaceInfo info = PalaceOf(s.bits);
      EXPECT_EQ(info.Palace, p);
      EXPECT_EQ(info.Generation, s.generation);
      EXPECT_EQ(info.World, s.world - 1);
      const int response = s.world <= 3 ? s.world + 3 : s.world - 3;
      EXPECT_EQ(info.Response, response - 1);
      seen.insert(s.bits);
    }
  }
  EXPECT_EQ(seen.size(), 64u);
}

TEST(LiuyaoPalace, NamedHexagrams) {
  const struct {
    const char* bits;  // bottom first
    const char* name;
    int palace, world, response;  // line numbers 1-6
  } cases[] = {
      {"011111", "天风姤", kQian, 1, 4},
      {"000101", "火地晋", kQian, 4, 1},  // wandering soul
      {"111101", "火天大有", kQian, 3, 6},  // returning soul
      {"111111", "乾为天", kQian, 6, 3},
      {"011001", "山风蛊", kXun, 3, 6},  // returning soul of 巽
      {"011010", "水风井", kZhen, 5, 2},
      {"001010", "水山蹇", kDui, 4, 1},
      {"101010", "水火既济", kKan, 3, 6},
  };
  for (const auto& c : cases) {
    const auto bits = Bits(c.bits);
    EXPECT_EQ(HexagramName(bits), c.name);
    const PalaceInfo info = PalaceOf(bits);
    EXPECT_EQ(info.Palace, c.palace) << c.name;
    EXPECT_EQ(info.World, c.world - 1) << c.name;
    EXPECT_EQ(info.Response, c.response - 1) << c.name;
  }
}

TEST(LiuyaoCast, LineValuesTopFirstTakenAsTheyCome) {
  // 4 is a moving yang, -1 a still yang: not a bit mask.
  const TOrv6yao chart = Manual(kWuChen, {4, -1, 0, 1, 2, 3});
  const struct {
    int yang, moving, changed;
  } expected[6] = {
      {1, 1, 0},  // line 1: 3
      {0, 1, 1},  // line 2: 2
      {1, 0, 1},  // line 3: 1
      {0, 0, 0},  // line 4: 0
      {1, 0, 1},  // line 5: -1
      {1, 1, 0},  // line 6: 4
  };
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(chart.MainLines[i].Yang, expected[i].yang) << i;
    EXPECT_EQ(chart.MainLines[i].Moving, expected[i].moving) << i;
    EXPECT_EQ(chart.ChangedLines[i].Yang, expected[i].changed) << i;
    EXPECT_EQ(chart.MainBits[i], expected[i].yang) << i;
    EXPECT_EQ(chart.ChangedBits[i], expected[i].changed) << i;
  }
}

TEST(LiuyaoCast, StillLinesRepeatTheMainHexagram) {
  const TOrv6yao chart = Manual(kWuChen, {1, 1, 0, 1, 1, 0});  // 巽为风
  EXPECT_EQ(chart.ChangedBits, chart.MainBits);
  EXPECT_EQ(chart.ChangedPalace, chart.MainPalace);
  EXPECT_EQ(chart.ChangedWorld, chart.MainWorld);
  EXPECT_EQ(chart.ChangedResponse, chart.MainResponse);
  EXPECT_EQ(LinesText(chart.ChangedLines), LinesText(chart.MainLines));
}

TEST(LiuyaoAttachment, WorkedHexagrams) {
  // 天风姤, first line moving, into 乾为天.
  const TOrv6yao gou = Manual(kJiaXu, {1, 1, 1, 1, 1, 2});
  EXPECT_EQ(gou.MainPalace, kQian);
  EXPECT_EQ(gou.ChangedPalace, kQian);
  EXPECT_EQ(LinesText(gou.MainLines), (std::vector<std::string>{"辛丑父母", "辛亥子孙", "辛酉兄弟",
                                                                "壬午官鬼", "壬申兄弟", "壬戌父母"}));
  EXPECT_EQ(LinesText(gou.ChangedLines), (std::vector<std::string>{"甲子子孙", "甲寅妻财", "甲辰父母",
                                                                   "壬午官鬼", "壬申兄弟", "壬戌父母"}));
  EXPECT_EQ(LinesText(gou.PalaceLines), LinesText(gou.ChangedLines));

  // 巽为风, fifth line moving, into 山风蛊 (palace 巽, wood).
  const TOrv6yao xun = Manual(kWuChen, {1, 3, 0, 1, 1, 0});
  EXPECT_EQ(xun.MainPalace, kXun);
  EXPECT_EQ(xun.ChangedPalace, kXun);
  EXPECT_EQ(LinesText(xun.MainLines), (std::vector<std::string>{"辛丑妻财", "辛亥父母", "辛酉官鬼",
                                                                "辛未妻财", "辛巳子孙", "辛卯兄弟"}));
  EXPECT_EQ(LinesText(xun.ChangedLines), (std::vector<std::string>{"辛丑妻财", "辛亥父母", "辛酉官鬼",
                                                                   "丙戌妻财", "丙子父母", "丙寅兄弟"}));
}

TEST(LiuyaoAttachment, AllMovingQianIsReadAgainstMetal) {
  const TOrv6yao chart = Manual(kWuChen, {3, 3, 3, 3, 3, 3});
  EXPECT_EQ(HexagramName(chart.ChangedBits), "坤为地");
  EXPECT_EQ(chart.MainPalace, kQian);
  EXPECT_EQ(chart.ChangedPalace, kKun);
  EXPECT_EQ(LinesText(chart.ChangedLines), (std::vector<std::string>{"乙未父母", "乙巳官鬼", "乙卯妻财",
                                                                     "癸丑父母", "癸亥子孙", "癸酉兄弟"}));
  EXPECT_EQ(chart.ChangedWorld, 5);
  EXPECT_EQ(chart.ChangedResponse, 2);
}

TEST(LiuyaoHidden, QianHasEveryRelative) {
  const TOrv6yao chart = Manual(kWuChen, {1, 1, 1, 1, 1, 1});
  EXPECT_EQ(chart.HasHidden, 0);
  for (const TYaoLine& line : chart.MainLines) EXPECT_EQ(line.Hidden, 0);
}

TEST(LiuyaoHidden, GouLacksWealth) {
  const TOrv6yao chart = Manual(kJiaXu, {1, 1, 1, 1, 1, 2});
  EXPECT_EQ(chart.HasHidden, 1);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(chart.MainLines[i].Hidden, i == 1 ? 1 : 0) << i;
  EXPECT_EQ(LineText(chart.PalaceLines[1]), "甲寅妻财");
}

TEST(LiuyaoHidden, SpiritsOnSeveralLines) {
  // 风地观 (乾 palace): 乙未父母 乙巳官鬼 乙卯妻财 辛未父母 辛巳官鬼 辛卯妻财
  // lacks 子孙 (甲子, line 1) and 兄弟 (壬申, line 5).
  const TOrv6yao chart = Manual(kWuChen, {1, 1, 0, 0, 0, 0});
  EXPECT_EQ(HexagramName(chart.MainBits), "风地观");
  EXPECT_EQ(LinesText(chart.MainLines), (std::vector<std::string>{"乙未父母", "乙巳官鬼", "乙卯妻财",
                                                                  "辛未父母", "辛巳官鬼", "辛卯妻财"}));
  EXPECT_EQ(chart.HasHidden, 1);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(chart.MainLines[i].Hidden, i == 0 || i == 4 ? 1 : 0) << i;
  EXPECT_EQ(LineText(chart.PalaceLines[0]), "甲子子孙");
  EXPECT_EQ(LineText(chart.PalaceLines[4]), "壬申兄弟");
}

TEST(LiuyaoHidden, ASecondCastOnTheSameChartClearsTheFirst) {
  TOrv6yao chart = Manual(kJiaXu, {1, 1, 1, 1, 1, 2});
  ASSERT_EQ(chart.HasHidden, 1);
  chart.SetLines(1, 1, 1, 1, 1, 1);
  chart.Compute();
  EXPECT_EQ(chart.HasHidden, 0);
  for (const TYaoLine& line : chart.MainLines) EXPECT_EQ(line.Hidden, 0);
}

TEST(LiuyaoBeasts, StartByTheDayStem) {
  // Ten consecutive days from 甲子: stems 甲 … 癸.
  const int first[10] = {0, 0, 1, 1, 2, 3, 4, 4, 5, 5};
  for (int k = 0; k < 10; ++k) {
    const TOrv6yao chart = Manual(kJiaZi + Days{k}, {1, 1, 1, 1, 1, 1});
    ASSERT_EQ(chart.DayPillar.Stem, k + 1);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(chart.Beast[i], (first[k] + i) % 6) << k << " " << i;
  }
  const TOrv6yao jia = Manual(kJiaXu, {1, 1, 1, 1, 1, 1});
  EXPECT_STREQ(BeastFullNames[jia.Beast[0]], "青龙");
  EXPECT_STREQ(BeastFullNames[jia.Beast[5]], "玄武");
  const TOrv6yao wu = Manual(kWuChen, {1, 1, 1, 1, 1, 1});
  EXPECT_STREQ(BeastFullNames[wu.Beast[0]], "勾陈");
}

// The time hexagram: S = year branch + lunar month + lunar day, T = S + hour
// branch; upper S mod 8, lower T mod 8, moving line T mod 6 (0 read as 8 or 6).
TEST(LiuyaoTimeCast, RemaindersOfZeroAreTheModulus) {
  // Lunar 1984 (子, 1) 正月初六 = 1984-02-07, 05:00 (卯, 4): S = 8, T = 12.
  const TOrv6yao chart = Timed(EncodeDateTime(1984, 2, 7, 5, 0));
  ASSERT_EQ(chart.Lunar, (std::array<int, 3>{1984, 1, 6}));
  EXPECT_EQ(HexagramName(chart.MainBits), "地雷复");  // upper 坤 (8), lower 震 (4)
  for (int i = 0; i < 6; ++i) EXPECT_EQ(chart.MainLines[i].Moving, i == 5 ? 1 : 0) << i;
  EXPECT_EQ(HexagramName(chart.ChangedBits), "山雷颐");
}

TEST(LiuyaoTimeCast, ALeapMonthCountsAsTheNextMonth) {
  // Lunar 2023 (卯, 4) 闰二月初一 = 2023-03-22, 12:00 (午, 7): M = 3, S = 8,
  // T = 15: upper 坤, lower 艮, third line moving.
  const TOrv6yao chart = Timed(EncodeDateTime(2023, 3, 22, 12, 0));
  ASSERT_EQ(chart.Lunar, (std::array<int, 3>{2023, -2, 1}));
  EXPECT_EQ(HexagramName(chart.MainBits), "地山谦");
  for (int i = 0; i < 6; ++i) EXPECT_EQ(chart.MainLines[i].Moving, i == 2 ? 1 : 0) << i;
  EXPECT_EQ(HexagramName(chart.ChangedBits), "坤为地");
}

TEST(LiuyaoTimeCast, At23HoursTheNextDayCounts) {
  // 1984-02-04 23:00 counts as lunar 正月初四 子 hour: S = 1 + 1 + 4 = 6,
  // T = 7: upper 坎, lower 艮, first line moving.
  const TOrv6yao chart = Timed(EncodeDateTime(1984, 2, 4, 23, 0));
  EXPECT_EQ(chart.Lunar, (std::array<int, 3>{1984, 1, 3}));
  EXPECT_EQ(HexagramName(chart.MainBits), "水山蹇");
  for (int i = 0; i < 6; ++i) EXPECT_EQ(chart.MainLines[i].Moving, i == 0 ? 1 : 0) << i;
  EXPECT_EQ(HexagramName(chart.ChangedBits), "水火既济");
  // An hour earlier: 正月初三 亥 hour, S = 5, T = 17: upper 巽, lower 乾,
  // fifth line.
  const TOrv6yao before = Timed(EncodeDateTime(1984, 2, 4, 22, 0));
  EXPECT_EQ(HexagramName(before.MainBits), "风天小畜");
  for (int i = 0; i < 6; ++i) EXPECT_EQ(before.MainLines[i].Moving, i == 4 ? 1 : 0) << i;

  // The last evening of lunar 1983 (亥, 12) at 23:00 counts as 1984 (子)
  // 正月初一 子: S = 3, T = 4: 火雷噬嗑, fourth line, into 山雷颐.
  const TOrv6yao eve = Timed(EncodeDateTime(1984, 2, 1, 23, 0));
  EXPECT_EQ(eve.Lunar, (std::array<int, 3>{1983, 12, 30}));
  EXPECT_EQ(HexagramName(eve.MainBits), "火雷噬嗑");
  for (int i = 0; i < 6; ++i) EXPECT_EQ(eve.MainLines[i].Moving, i == 3 ? 1 : 0) << i;
  EXPECT_EQ(HexagramName(eve.ChangedBits), "山雷颐");
}

TEST(LiuyaoTimeCast, ExactlyOneMovingLineEveryHour) {
  for (int day = 0; day < 40; ++day)
    for (int hour = 0; hour < 24; ++hour) {
      const TOrv6yao chart = Timed(EncodeDateTime(2023, 3, 1, hour, 0) + Days{day});
      int moving = 0;
      for (int i = 0; i < 6; ++i) {
        moving += chart.MainLines[i].Moving;
        EXPECT_EQ(chart.ChangedBits[i] != chart.MainBits[i], chart.MainLines[i].Moving != 0);
      }
      EXPECT_EQ(moving, 1) << day << " " << hour;
    }
}

// The second chart's attachment.
TEST(LiuyaoVariant, QianOnThreeDays) {
  const struct {
    Moment date;
    std::vector<std::string> lines;  // bottom first
  } cases[] = {
      {kJiaZi, {"甲子", "甲寅", "甲辰", "甲午", "甲申", "甲戌"}},
      {kYiChou, {"壬申", "壬戌", "壬子", "壬寅", "壬辰", "壬午"}},
      {kJiaXu, {"甲戌", "甲子", "甲寅", "甲辰", "甲午", "甲申"}},
  };
  for (const auto& c : cases) {
    const TOrv6yaoLongyin chart = Manual<TOrv6yaoLongyin>(c.date, {1, 1, 1, 1, 1, 1});
    std::vector<std::string> lines;
    for (const TYaoLine& line : chart.MainLines) lines.emplace_back(PillarText(line.Stem, line.Branch));
    EXPECT_EQ(lines, c.lines) << PillarText(chart.DayPillar).View();
  }
}

TEST(LiuyaoVariant, YinStemsStepBackward) {
  // 坤为地 on the yang day 甲子: inner stem 乙 on all six lines, b0 = 丑.
  const TOrv6yaoLongyin chart = Manual<TOrv6yaoLongyin>(kJiaZi, {0, 0, 0, 0, 0, 0});
  EXPECT_EQ(LinesText(chart.MainLines), (std::vector<std::string>{"乙丑兄弟", "乙亥妻财", "乙酉子孙",
                                                                  "乙未兄弟", "乙巳父母", "乙卯官鬼"}));
}

TEST(LiuyaoVariant, TheXunChangesBranchesRelativesAndHiddenSpirits) {
  // 天风姤, first line moving.
  // 甲戌 (甲戌旬, X = 11): 辛 b0 = 巳 stepping back, 甲 b0 = 戌 stepping on.
  const TOrv6yaoLongyin xu = Manual<TOrv6yaoLongyin>(kJiaXu, {1, 1, 1, 1, 1, 2});
  EXPECT_EQ(LinesText(xu.MainLines), (std::vector<std::string>{"辛巳官鬼", "辛卯妻财", "辛丑父母",
                                                               "甲辰父母", "甲午官鬼", "甲申兄弟"}));
  EXPECT_EQ(LinesText(xu.PalaceLines), (std::vector<std::string>{"甲戌父母", "甲子子孙", "甲寅妻财",
                                                                 "甲辰父母", "甲午官鬼", "甲申兄弟"}));
  EXPECT_EQ(LinesText(xu.ChangedLines), LinesText(xu.PalaceLines));
  for (int i = 0; i < 6; ++i) EXPECT_EQ(xu.MainLines[i].Hidden, i == 1 ? 1 : 0) << i;

  // 甲子 (甲子旬, X = 1): 辛 b0 = 未, 甲 b0 = 子.
  const TOrv6yaoLongyin zi = Manual<TOrv6yaoLongyin>(kJiaZi, {1, 1, 1, 1, 1, 2});
  EXPECT_EQ(LinesText(zi.MainLines), (std::vector<std::string>{"辛未父母", "辛巳官鬼", "辛卯妻财",
                                                               "甲午官鬼", "甲申兄弟", "甲戌父母"}));
  // Lacks 子孙: 甲子 of the palace's first line.
  for (int i = 0; i < 6; ++i) EXPECT_EQ(zi.MainLines[i].Hidden, i == 0 ? 1 : 0) << i;
  EXPECT_EQ(LineText(zi.PalaceLines[0]), "甲子子孙");

  // The first chart's attachment does not depend on the day.
  EXPECT_EQ(LinesText(Manual(kJiaZi, {1, 1, 1, 1, 1, 2}).MainLines),
            LinesText(Manual(kJiaXu, {1, 1, 1, 1, 1, 2}).MainLines));
}

TEST(LiuyaoVariant, OnlyTheAttachmentDiffers) {
  for (const Moment date : {kJiaZi, kYiChou, kWuChen, kJiaXu})
    for (int n = 0; n < 4096; n += 37) {
      const Cast cast{n >> 10 & 3, n >> 8 & 3, n >> 6 & 3, n >> 4 & 3, n >> 2 & 3, n & 3};
      const TOrv6yao first = Manual(date, cast);
      const TOrv6yaoLongyin second = Manual<TOrv6yaoLongyin>(date, cast);
      EXPECT_EQ(second.MainBits, first.MainBits);
      EXPECT_EQ(second.ChangedBits, first.ChangedBits);
      EXPECT_EQ(second.MainPalace, first.MainPalace);
      EXPECT_EQ(second.ChangedPalace, first.ChangedPalace);
      EXPECT_EQ(second.MainWorld, first.MainWorld);
      EXPECT_EQ(second.ChangedResponse, first.ChangedResponse);
      EXPECT_EQ(second.Beast, first.Beast);
    }
}

// Compute through the base class pointer runs the second chart's rule.
TEST(LiuyaoVariant, ComputeIsVirtual) {
  TOrv6yaoLongyin chart;
  chart.SetDate(kJiaZi);
  chart.SetLines(1, 1, 1, 1, 1, 1);
  TOrv6yao& base = chart;
  base.Compute();
  EXPECT_EQ(PillarText(chart.MainLines[5].Stem, chart.MainLines[5].Branch), "甲戌");
}

}  // namespace
}  // namespace orv
