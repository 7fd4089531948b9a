// The Six Lines chart text, byte for byte in GBK: the worked grids under
// headers worked out by hand, the second chart, the time hexagram at 23:00,
// the display options, and the layout of every manual cast.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/dates.h"
#include "export_text.h"
#include "exports/orv.h"
#include "liuyao_worked_example.h"
#include "methods/liuyao/liuyao.h"
#include "rendered_text.h"

namespace orv {
namespace {

using fixtures::CrLfLines;
using fixtures::ExpectSameText;
using fixtures::TextLines;

using Export = decltype(StrLiuyao);

// The text an export writes into the caller's buffer; lines top first.
std::string Call(Export* fn, const std::array<int, 6>& lines, bool manual, bool solar, int y,
                 int m, int d, int h, std::vector<char>& buffer) {
  return fixtures::ExportText(
      [&](char* out) {
        return fn(lines[0], lines[1], lines[2], lines[3], lines[4], lines[5], solar, 0, manual, y,
                  m, d, h, out);
      },
      buffer);
}

std::string Call(Export* fn, const std::array<int, 6>& lines, bool manual, bool solar, int y,
                 int m, int d, int h) {
  std::vector<char> buffer;
  return Call(fn, lines, manual, solar, y, m, d, h, buffer);
}

// 1984-02-10 12:00: a 甲 day.
const std::string kHeaderJiaXu = CrLfLines(fixtures::LiuyaoGouHeaderLines());

// 1984-02-04 12:00: a 戊 day.
std::string HeaderWuChen(const char* palaces) {
  return CrLfLines({
      "公历：1984年2月4日",
      "阴历：正月初三",
      "四柱：癸亥 乙丑 戊辰 戊午",
      "旬空：甲子旬戌亥空",
      std::string("卦宫：") + palaces,
      "",
      "",
  });
}

// 天风姤, its first line old yin, on that day.
const std::string kGouGrid = CrLfLines(fixtures::LiuyaoGouGridLines());

// 巽为风, its fifth line old yang.
const std::string kXunGrid = CrLfLines({
    "　　　　巽为风　　　　　　　山风蛊",
    "朱雀　世━━━辛卯兄弟　　应━━━丙寅兄弟",
    "青龙　　━━━辛巳子孙○　　━　━丙子父母",
    "玄武　　━　━辛未妻财　　　━　━丙戌妻财",
    "白虎　应━━━辛酉官鬼　　世━━━辛酉官鬼",
    "腾蛇　　━━━辛亥父母　　　━━━辛亥父母",
    "勾陈　　━　━辛丑妻财　　　━　━辛丑妻财",
});

TEST(LiuyaoText, WorkedGridWithAHiddenSpirit) {
  const std::string expected = kHeaderJiaXu + kGouGrid;
  ExpectSameText(Call(&StrLiuyao, {1, 1, 1, 1, 1, 2}, true, true, 1984, 2, 10, 12), expected);
  // Lunar input of the same day: 正月初九.
  ExpectSameText(Call(&StrLiuyao, {1, 1, 1, 1, 1, 2}, true, false, 1984, 1, 9, 12), expected);
}

TEST(LiuyaoText, WorkedGridWithoutHiddenSpirits) {
  const std::string expected = HeaderWuChen("主卦巽　变卦巽") + kXunGrid;
  ExpectSameText(Call(&StrLiuyao, {1, 3, 0, 1, 1, 0}, true, true, 1984, 2, 4, 12), expected);
  ExpectSameText(Call(&StrLiuyao, {1, 3, 0, 1, 1, 0}, true, false, 1984, 1, 3, 12), expected);
  // Any nonzero flag byte is true.
  std::vector<char> buffer(ORV_CHART_BUFFER_SIZE, '\0');
  ASSERT_EQ(StrLiuyao(1, 3, 0, 1, 1, 0, 9, 0, 0x80, 1984, 2, 4, 12, buffer.data()), 0);
  ExpectSameText(buffer.data(), expected);
}

// 风地观 (乾 palace) lacks 子孙 and 兄弟: hidden spirits on the first and
// fifth lines, the blank filler on the others. No line moves.
TEST(LiuyaoText, HiddenSpiritsOnTwoLines) {
  const std::string expected = HeaderWuChen("主卦乾　变卦乾") +
                               CrLfLines({
                                   "　　　　　　　　　风地观　　　　　　　风地观",
                                   "朱雀　　　　　　　━━━辛卯妻财　　　━━━辛卯妻财",
                                   "青龙　壬申兄弟　　━━━辛巳官鬼　　　━━━辛巳官鬼",
                                   "玄武　　　　　　世━　━辛未父母　　世━　━辛未父母",
                                   "白虎　　　　　　　━　━乙卯妻财　　　━　━乙卯妻财",
                                   "腾蛇　　　　　　　━　━乙巳官鬼　　　━　━乙巳官鬼",
                                   "勾陈　甲子子孙　应━　━乙未父母　　应━　━乙未父母",
                               });
  ExpectSameText(Call(&StrLiuyao, {1, 1, 0, 0, 0, 0}, true, true, 1984, 2, 4, 12), expected);
}

// The second chart of 天风姤 on the 甲戌 day: a yang day, so 甲 on the upper
// lines; 辛 carries 巳 in 甲戌旬 and steps back, 甲 carries 戌 and steps on.
// The main hexagram now lacks 子孙: 甲子 hides at the second line.
TEST(LiuyaoText, SecondChart) {
  const std::string expected = kHeaderJiaXu +
                               CrLfLines({
                                   "　　　　　　　　　天风姤　　　　　　　乾为天",
                                   "玄武　　　　　　　━━━甲申兄弟　　世━━━甲申兄弟",
                                   "白虎　　　　　　　━━━甲午官鬼　　　━━━甲午官鬼",
                                   "腾蛇　　　　　　应━━━甲辰父母　　　━━━甲辰父母",
                                   "勾陈　　　　　　　━━━辛丑父母　　应━━━甲寅妻财",
                                   "朱雀　甲子子孙　　━━━辛卯妻财　　　━━━甲子子孙",
                                   "青龙　　　　　　世━　━辛巳官鬼×　　━━━甲戌父母",
                               });
  ExpectSameText(Call(&StrLiuyaoL, {1, 1, 1, 1, 1, 2}, true, true, 1984, 2, 10, 12), expected);
}

// The time hexagram of 1984-02-04 23:00. The header keeps the civil day and
// its lunar date (正月初三); the day and hour pillars and the cast follow the
// next hour: 己巳 day, 子 hour, lunar 正月初四 in 甲子: S = 6, T = 7, 水山蹇
// (兑 palace, wood missing: 丁卯 hides at the second line), first line
// moving into 水火既济 (坎 palace). A 己 day starts the beasts at 腾蛇.
TEST(LiuyaoText, TimeHexagramAt23Hours) {
  const std::string expected = CrLfLines({
                                   "公历：1984年2月4日",
                                   "阴历：正月初三",
                                   "四柱：癸亥 乙丑 己巳 甲子",
                                   "旬空：甲子旬戌亥空",
                                   "卦宫：主卦兑　变卦坎",
                                   "",
                                   "",
                                   "　　　　　　　　　水山蹇　　　　　　　水火既济",
                                   "勾陈　　　　　　　━　━戊子子孙　　应━　━戊子子孙",
                                   "朱雀　　　　　　　━━━戊戌父母　　　━━━戊戌父母",
                                   "青龙　　　　　　世━　━戊申兄弟　　　━　━戊申兄弟",
                                   "玄武　　　　　　　━━━丙申兄弟　　世━━━己亥子孙",
                                   "白虎　丁卯妻财　　━　━丙午官鬼　　　━　━己丑父母",
                                   "腾蛇　　　　　　应━　━丙辰父母×　　━━━己卯妻财",
                               });
  // The line values are not read for a time hexagram.
  ExpectSameText(Call(&StrLiuyao, {3, 3, 3, 3, 3, 3}, false, true, 1984, 2, 4, 23), expected);
  ExpectSameText(Call(&StrLiuyao, {0, 0, 0, 0, 0, 0}, false, false, 1984, 1, 3, 23), expected);
}

// Options the exports never use, on the 巽为风 cast: two blocks, branches
// only, short names, the moving line drawn as its mark, no mark column,
// style 5; Tight has no effect without Combined.
TEST(LiuyaoText, DisplayOptions) {
  LiuyaoChart chart =
      Cast(EncodeDateTime(1984, 2, 4, 12, 0), LiuyaoOptions{true, {1, 3, 0, 1, 1, 0}, {}});
  chart.Options = {0, 0, 0, 0, 0, 1, 0, 5, 1};
  const std::string expected = HeaderWuChen("主卦巽　变卦巽") + CrLfLines({
                                                                    "　　　巽　　　　",
                                                                    "朱　世───卯兄",
                                                                    "青　　○巳子",
                                                                    "玄　　─　─未财",
                                                                    "白　应───酉官",
                                                                    "腾　　───亥父",
                                                                    "勾　　─　─丑财",
                                                                    "",
                                                                    "　　　蛊",
                                                                    "　　应───寅兄",
                                                                    "　　　─　─子父",
                                                                    "　　　─　─戌财",
                                                                    "　　世───酉官",
                                                                    "　　　───亥父",
                                                                    "　　　─　─丑财",
                                                                });
  ExpectSameText(fixtures::TextOf(YaoText, chart), expected);
}

// Tight with Combined: one empty line after the header and no separator
// before the hidden-spirit column.
TEST(LiuyaoText, TightCombined) {
  LiuyaoChart chart =
      Cast(EncodeDateTime(1984, 2, 10, 12, 0), LiuyaoOptions{true, {1, 1, 1, 1, 1, 2}, {}});
  EXPECT_EQ(chart.Options.LineStyle, kFixedYaoTextOptions.LineStyle);
  chart.Options.Tight = 1;
  const std::string header = kHeaderJiaXu.substr(0, kHeaderJiaXu.size() - 2);
  const std::string expected = header + CrLfLines({
                                            "　　　　　　　　天风姤　　　　　　　乾为天",
                                            "玄武　　　　　　━━━壬戌父母　　世━━━壬戌父母",
                                            "白虎　　　　　　━━━壬申兄弟　　　━━━壬申兄弟",
                                            "腾蛇　　　　　应━━━壬午官鬼　　　━━━壬午官鬼",
                                            "勾陈　　　　　　━━━辛酉兄弟　　应━━━甲辰父母",
                                            "朱雀甲寅妻财　　━━━辛亥子孙　　　━━━甲寅妻财",
                                            "青龙　　　　　世━　━辛丑父母×　　━━━甲子子孙",
                                        });
  ExpectSameText(fixtures::TextOf(YaoText, chart), expected);
}

// Every manual cast on a few days, through both exports: the layout holds
// whatever the lines are.
TEST(LiuyaoText, EveryManualCast) {
  using std::string_view;
  const string_view kSpace = "　";
  const struct {
    Export* fn;
    int y, m, d, h;
  } days[] = {{&StrLiuyao, 1984, 2, 10, 12},
              {&StrLiuyao, 2023, 3, 22, 7},
              {&StrLiuyaoL, 1984, 2, 4, 23},
              {&StrLiuyaoL, 2050, 12, 31, 23}};
  std::vector<char> buffer;
  for (const auto& day : days)
    for (int n = 0; n < 4096; ++n) {
      const std::array<int, 6> cast{n >> 10 & 3, n >> 8 & 3, n >> 6 & 3,
                                    n >> 4 & 3,  n >> 2 & 3, n & 3};
      char where[64];
      std::snprintf(where, sizeof where, "%s %d-%d-%d %d, cast %d",
                    day.fn == &StrLiuyao ? "StrLiuyao" : "StrLiuyaoL", day.y, day.m, day.d, day.h,
                    n);
      SCOPED_TRACE(where);
      const std::string text = Call(day.fn, cast, true, true, day.y, day.m, day.d, day.h, buffer);
      ASSERT_LT(text.size() + 1, std::size_t{ORV_CHART_BUFFER_SIZE});
      std::vector<string_view> lines;
      for (std::size_t from = 0, at; (at = text.find("\r\n", from)) != std::string::npos;
           from = at + 2)
        lines.push_back(string_view(text).substr(from, at - from));
      ASSERT_EQ(lines.size(), 14u);
      ASSERT_EQ(text.size(), static_cast<std::size_t>(lines[13].end() - text.data()) + 2);
      ASSERT_EQ(lines[5], "");
      ASSERT_EQ(lines[6], "");
      // Line rows: the changed half is 18 bytes (separator, mark, glyph,
      // attachment, relative); the main half ends with the mark, glyph,
      // attachment, relative and moving mark (18 bytes).
      const std::size_t w = lines[8].size() - 18;
      ASSERT_TRUE(w == 24 || w == 34) << w;
      int world[2] = {-1, -1}, response[2] = {-1, -1}, worlds = 0, responses = 0;
      bool still = true;
      string_view mainLines[6], changedLines[6];
      for (int i = 0; i < 6; ++i) {
        const string_view row = lines[13 - i];  // line i, bottom first
        ASSERT_EQ(row.size(), w + 18) << i;
        const int value = cast[5 - i];
        still = still && value < 2;
        const bool yang = value == 1 || value == 3;
        const bool changedYang = value >= 2 ? !yang : yang;
        const string_view main = row.substr(w - 18, 18);
        const string_view changed = row.substr(w, 18);
        EXPECT_EQ(main.substr(2, 6), yang ? "━━━" : "━　━") << i;
        EXPECT_EQ(main.substr(16), value == 2 ? "×" : value == 3 ? "○" : kSpace) << i;
        EXPECT_EQ(changed.substr(0, 2), kSpace);
        EXPECT_EQ(changed.substr(4, 6), changedYang ? "━━━" : "━　━") << i;
        const string_view marks[2] = {main.substr(0, 2), changed.substr(2, 2)};
        for (int half = 0; half < 2; ++half) {
          if (marks[half] == "世") {
            world[half] = i;
            ++worlds;
          } else if (marks[half] == "应") {
            response[half] = i;
            ++responses;
          } else {
            EXPECT_EQ(marks[half], kSpace);
          }
        }
        mainLines[i] = main.substr(0, 16);
        changedLines[i] = changed.substr(2, 16);
      }
      ASSERT_EQ(worlds, 2);
      ASSERT_EQ(responses, 2);
      for (int half = 0; half < 2; ++half)
        EXPECT_EQ(std::abs(world[half] - response[half]), 3) << half;
      // The name row: its changed half starts where that of the line rows does.
      const string_view names = lines[7];
      ASSERT_GT(names.size(), w + 4);
      EXPECT_EQ(names.substr(w, 4), "　　");
      const string_view changedName = names.substr(w + 4);
      std::size_t mainEnd = w;
      while (mainEnd >= 2 && names.substr(mainEnd - 2, 2) == kSpace) mainEnd -= 2;
      std::size_t mainStart = 0;
      while (names.substr(mainStart, 2) == kSpace) mainStart += 2;
      ASSERT_LT(mainStart, mainEnd);
      const string_view mainName = names.substr(mainStart, mainEnd - mainStart);
      EXPECT_TRUE(mainName.size() == 6 || mainName.size() == 8) << mainName.size();
      EXPECT_TRUE(changedName.size() == 6 || changedName.size() == 8) << changedName.size();
      EXPECT_EQ(changedName.find(kSpace), string_view::npos);
      if (still) {
        // Marks, glyphs, attachments and relatives repeat the main hexagram.
        for (int i = 0; i < 6; ++i) EXPECT_EQ(changedLines[i], mainLines[i]) << i;
        EXPECT_EQ(changedName, mainName);
      }
    }
}

}  // namespace
}  // namespace orv
