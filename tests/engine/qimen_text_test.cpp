// The Qimen chart text through StrQimen, byte for byte in GBK: whole charts
// of both placements worked out by hand from the rules, the header's edge
// cases, a forced ju, the flag bytes, and the solar-term question asked
// through a test handler.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "export_text.h"
#include "exports/orv.h"

namespace {

using fixtures::ExpectSameText;
using fixtures::JoinLines;
using fixtures::SplitLines;

// The text StrQimen writes into the caller's buffer.
std::string Qimen(uint8_t flying, int32_t ju, int y, int m, int d, int h, uint8_t solar = 1,
                  uint8_t leap = 0) {
  return fixtures::ExportText(
      [&](char* buffer) { return StrQimen(solar, leap, flying, ju, y, m, d, h, buffer); });
}

std::string Line(const std::string& text, std::size_t n) {
  const std::vector<std::string> lines = SplitLines(text);
  return n < lines.size() ? lines[n] : std::string("(no line)");
}

// 2024-02-10 03:00, rotating. 立春, 甲辰 day (下元): 阳遁二局, 戊 in 坤. Hour
// 丙寅 of xun 甲子 (戊): chief 芮 of 坤, hour stem 丙 in 离; the ring turns
// from 坤 to 离. The envoy 死 moves two Luoshu steps to 巽. 坤's earth stem
// 戊 comes to 离, bringing 禽 and the centre's 辛.
TEST(QimenText, RotatingChartByHand) {
  const std::string expected = JoinLines({
      "2024年2月10日　正月初一",
      "甲辰 丙寅 甲辰 丙寅",
      "值符天芮落九宫　值使死门落四宫",
      "立春下元　阳遁二局",
      "时空亡　甲子旬戌亥",
      "",
      "┌─────┬─────┬─────┐",
      "│　　天　　│　　符　　│　　蛇　　│",
      "│　　英　丙│禽　芮　戊│　　柱　癸│",
      "│　　死　庚│辛　惊　丙│　　开　戊│",
      "├─────┼─────┼─────┤",
      "│　　地　　│　　　　　│　　阴　　│",
      "│　　辅　庚│　　禽　　│　　心　壬│",
      "│　　景　己│　　　　辛│　　休　癸│",
      "├─────┼─────┼─────┤",
      "│　　朱　　│　　勾　　│　　合　　│",
      "│　　冲　己│　　任　丁│　　蓬　乙│",
      "│　　杜　丁│　　伤　乙│　　生　壬│",
      "└─────┴─────┴─────┘",
  });
  ExpectSameText(Qimen(0, 0, 2024, 2, 10, 3), expected);
  // The same moment as lunar 2024 正月初一.
  ExpectSameText(Qimen(0, 0, 2024, 1, 1, 3, 0, 0), expected);
}

// 2024-06-29 12:00, flying. 夏至, 甲子 day (上元): 阴遁九局, 戊 in 离. Hour
// 庚午 of xun 甲子 (戊): chief 英 of 离, hour stem 庚 in 兑; stems move by
// -2 positions, stars by +2 Luoshu steps. The envoy 景 moves six steps back
// to 震, the doors by +6. Deities backward from 兑 (plate) and from 离 (earth).
TEST(QimenText, FlyingChartByHand) {
  const std::string expected = JoinLines({
      "2024年6月29日　五月廿四",
      "甲辰 庚午 甲子 庚午",
      "值符天英落七宫　值使景门落三宫",
      "夏至上元　阴遁九局",
      "时空亡　甲子旬戌亥",
      "",
      "┌───┬───┬───┐",
      "│辛合心│丙地芮│癸常辅│",
      "│癸常休│戊符开│丙地生│",
      "├───┼───┼───┤",
      "│壬虎禽│庚阴柱│戊符英│",
      "│丁玄景│壬虎死│庚阴杜│",
      "├───┼───┼───┤",
      "│乙天蓬│丁玄冲│己蛇任│",
      "│己蛇中│乙天惊│辛合伤│",
      "└───┴───┴───┘",
  });
  ExpectSameText(Qimen(1, 0, 2024, 6, 29, 12), expected);
}

// 阳遁一局 at the hour 甲子: every plate at home in both grids.
TEST(QimenText, HiddenChartGrids) {
  EXPECT_EQ(Qimen(0, 1, 2024, 2, 10, 0),
            JoinLines({
                "2024年2月10日　正月初一",
                "甲辰 丙寅 甲辰 甲子",
                "值符天蓬落一宫　值使休门落一宫",
                "立春下元　阳遁一局",
                "时空亡　甲子旬戌亥",
                "",
                "┌─────┬─────┬─────┐",
                "│　　合　　│　　勾　　│　　朱　　│",
                "│　　辅　辛│　　英　乙│禽　芮　己│",
                "│　　杜　辛│　　景　乙│壬　死　己│",
                "├─────┼─────┼─────┤",
                "│　　阴　　│　　　　　│　　地　　│",
                "│　　冲　庚│　　禽　　│　　柱　丁│",
                "│　　伤　庚│　　　　壬│　　惊　丁│",
                "├─────┼─────┼─────┤",
                "│　　蛇　　│　　符　　│　　天　　│",
                "│　　任　丙│　　蓬　戊│　　心　癸│",
                "│　　生　丙│　　休　戊│　　开　癸│",
                "└─────┴─────┴─────┘",
            }));
  const std::string flying = Qimen(1, 1, 2024, 2, 10, 0);
  const std::vector<std::string> grid = {
      "┌───┬───┬───┐",
      "│辛合辅│乙天英│己蛇芮│",
      "│辛合杜│乙天景│己蛇死│",
      "├───┼───┼───┤",
      "│庚阴冲│壬勾禽│丁朱柱│",
      "│庚阴伤│壬勾中│丁朱惊│",
      "├───┼───┼───┤",
      "│丙地任│戊符蓬│癸常心│",
      "│丙地生│戊符休│癸常开│",
      "└───┴───┴───┘",
  };
  const std::vector<std::string> lines = SplitLines(flying);
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 6, lines.end()), grid);
  EXPECT_EQ(lines[2], "值符天蓬落一宫　值使休门落一宫");
}

// Header line 3 when the chief's home is the centre (hour 乙巳 of xun 甲辰,
// 壬 in the centre of 阳遁一局; 乙 in 离) and when the hour stem stands in the
// centre (hour 壬申, rotating: the centre lodges in 坤 but the line says 五).
TEST(QimenText, ChiefAndEnvoyLineAtTheCentre) {
  EXPECT_EQ(Line(Qimen(0, 1, 2024, 2, 13, 10), 2), "值符天禽落九宫　值使死门落六宫");
  EXPECT_EQ(Line(Qimen(1, 1, 2024, 2, 13, 10), 2), "值符天禽落九宫　值使中门落六宫");
  EXPECT_EQ(Line(Qimen(0, 1, 2024, 2, 10, 15), 2), "值符天蓬落五宫　值使休门落九宫");
  EXPECT_EQ(Line(Qimen(1, 1, 2024, 2, 10, 15), 2), "值符天蓬落五宫　值使休门落九宫");
}

// A forced ju changes the dun and the ju; the term and the yuan stay those of
// the date (立春下元, 阳遁二局 on its own). 0 or less, and anything above 18,
// is the automatic ju.
TEST(QimenText, ForcedJuKeepsTermAndYuan) {
  struct {
    int32_t ju;
    const char* line;
  } cases[] = {
      {9, "立春下元　阳遁九局"},  {10, "立春下元　阴遁一局"}, {18, "立春下元　阴遁九局"},
      {1, "立春下元　阳遁一局"},  {0, "立春下元　阳遁二局"},  {-1, "立春下元　阳遁二局"},
      {19, "立春下元　阳遁二局"}, {INT32_MAX, "立春下元　阳遁二局"},
      {INT32_MIN, "立春下元　阳遁二局"},
  };
  const std::string automatic = Qimen(0, 0, 2024, 2, 10, 12);
  for (uint8_t flying : std::initializer_list<uint8_t>{0, 1})
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << c.ju << (flying ? " flying" : " rotating"));
      const std::string text = Qimen(flying, c.ju, 2024, 2, 10, 12);
      EXPECT_EQ(Line(text, 3), c.line);
      EXPECT_EQ(Line(text, 0), "2024年2月10日　正月初一");
      if (!flying && (c.ju <= 0 || c.ju > 18)) {
        EXPECT_EQ(text, automatic);
      }
    }
}

// Any nonzero flag byte is true.
TEST(QimenText, FlagBytes) {
  const std::string flying = Qimen(1, 0, 2024, 6, 29, 12);
  EXPECT_EQ(Qimen(2, 0, 2024, 6, 29, 12), flying);
  EXPECT_EQ(Qimen(255, 0, 2024, 6, 29, 12), flying);
  EXPECT_NE(Qimen(0, 0, 2024, 6, 29, 12), flying);
  // A set leap flag is ignored with solar input.
  EXPECT_EQ(Qimen(1, 0, 2024, 6, 29, 12, 1, 7), flying);
}

// ---------------------------------------------------------------------------
// The solar-term question.

std::vector<std::string> asked;
int32_t answer = 2;

int32_t ORV_CALL TestHandler(const char* question) {
  asked.push_back(question);
  return answer;
}

class QimenQuestion : public testing::Test {
 protected:
  void SetUp() override {
    asked.clear();
    SetQuestionHandler(&TestHandler);
  }
  void TearDown() override { SetQuestionHandler(nullptr); }

  // Header lines 2 and 4 (pillars; term, yuan and ju) of a rotating chart
  // drawn with the given answer.
  std::string Drawn(int32_t withAnswer, int y, int m, int d, int h) {
    answer = withAnswer;
    const std::string text = Qimen(0, 0, y, m, d, h);
    return Line(text, 1) + "|" + Line(text, 3);
  }
};

constexpr int32_t kYes = 0, kNo = 1, kCancel = 2;

// 小寒 2000 falls at 09:00:42 on 01-06, a 癸亥 day (下元): 冬至下元 is 阳遁四局,
// 小寒下元 阳遁五局, and the month turns from 丙子 to 丁丑. Charts at 09:00 and
// 10:00 lie in its double hour, 08:00 and 11:00 do not.
TEST_F(QimenQuestion, SectionalTermInTheSameDoubleHour) {
  const std::string before = "己卯 丙子 癸亥 丁巳|冬至下元　阳遁四局";
  const std::string after = "己卯 丁丑 癸亥 丁巳|小寒下元　阳遁五局";
  EXPECT_EQ(Drawn(kCancel, 2000, 1, 6, 9), before);
  EXPECT_EQ(Drawn(kNo, 2000, 1, 6, 9), after);
  EXPECT_EQ(Drawn(kYes, 2000, 1, 6, 9), before);
  EXPECT_EQ(Drawn(kCancel, 2000, 1, 6, 10), after);
  EXPECT_EQ(Drawn(kYes, 2000, 1, 6, 10), before);
  EXPECT_EQ(Drawn(kNo, 2000, 1, 6, 10), after);
  EXPECT_EQ(Drawn(-5, 2000, 1, 6, 10), after);  // not an answer: as entered
  ASSERT_EQ(asked.size(), 7u);
  for (const std::string& q : asked) EXPECT_EQ(q, "今日09:00交节气，您所用的时间在此之前吗？");

  asked.clear();
  EXPECT_EQ(Drawn(kNo, 2000, 1, 6, 8), "己卯 丙子 癸亥 丙辰|冬至下元　阳遁四局");
  EXPECT_EQ(Drawn(kYes, 2000, 1, 6, 11), "己卯 丁丑 癸亥 戊午|小寒下元　阳遁五局");
  EXPECT_TRUE(asked.empty());
}

// 大寒 2000 falls at 02:23:02 on 01-21, a 戊寅 day (下元): 小寒下元 阳遁五局,
// 大寒下元 阳遁六局. The double hour of 01:00-02:59 is asked about; 00:00 and
// 03:00 are not.
TEST_F(QimenQuestion, PrincipalTermInTheSameDoubleHour) {
  EXPECT_EQ(Drawn(kCancel, 2000, 1, 21, 1), "己卯 丁丑 戊寅 癸丑|小寒下元　阳遁五局");
  EXPECT_EQ(Drawn(kNo, 2000, 1, 21, 1), "己卯 丁丑 戊寅 癸丑|大寒下元　阳遁六局");
  EXPECT_EQ(Drawn(kNo, 2000, 1, 21, 2), "己卯 丁丑 戊寅 癸丑|大寒下元　阳遁六局");
  EXPECT_EQ(Drawn(kYes, 2000, 1, 21, 2), "己卯 丁丑 戊寅 癸丑|小寒下元　阳遁五局");
  ASSERT_EQ(asked.size(), 4u);
  for (const std::string& q : asked) EXPECT_EQ(q, "今日02:23交节气，您所用的时间在此之前吗？");

  asked.clear();
  EXPECT_EQ(Drawn(kNo, 2000, 1, 21, 0), "己卯 丁丑 戊寅 壬子|小寒下元　阳遁五局");
  EXPECT_EQ(Drawn(kYes, 2000, 1, 21, 3), "己卯 丁丑 戊寅 甲寅|大寒下元　阳遁六局");
  EXPECT_TRUE(asked.empty());
}

// 立春 1984 falls at 23:18:44 on 02-04; at 23:00 the day is already 己巳 of
// the 5th (中元). Before it the year is 癸亥 and 大寒中元 is 阳遁九局; after
// it the year is 甲子 and 立春中元 is 阳遁五局. 22:00 lies in the double hour
// before, on the day 戊辰 (上元: 大寒上元 is 阳遁三局).
TEST_F(QimenQuestion, BeginningOfSpringAtTheLateRatHour) {
  EXPECT_EQ(Drawn(kYes, 1984, 2, 4, 23), "癸亥 乙丑 己巳 甲子|大寒中元　阳遁九局");
  EXPECT_EQ(Drawn(kNo, 1984, 2, 4, 23), "甲子 丙寅 己巳 甲子|立春中元　阳遁五局");
  EXPECT_EQ(Drawn(kCancel, 1984, 2, 4, 23), "癸亥 乙丑 己巳 甲子|大寒中元　阳遁九局");
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[0], "今日23:18交节气，您所用的时间在此之前吗？");
  asked.clear();
  EXPECT_EQ(Drawn(kNo, 1984, 2, 4, 22), "癸亥 乙丑 戊辰 癸亥|大寒上元　阳遁三局");
  EXPECT_TRUE(asked.empty());
}

// Without a handler the chart keeps the moment as entered.
TEST_F(QimenQuestion, WithoutHandlerNothingMoves) {
  SetQuestionHandler(nullptr);
  EXPECT_EQ(Drawn(kNo, 2000, 1, 6, 9), "己卯 丙子 癸亥 丁巳|冬至下元　阳遁四局");
  EXPECT_TRUE(asked.empty());
}

}  // namespace
