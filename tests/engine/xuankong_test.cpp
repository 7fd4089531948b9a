// The Xuankong flying-star chart through StrXuankong: whole charts worked out
// by hand, byte for byte in GBK; every period, mountain and method against the
// flying rules restated from the mountains' palaces and polarities; the flag
// byte, arguments outside their ranges and charts drawn on several threads.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "export_text.h"
#include "exports/orv.h"

namespace {

constexpr std::size_t kTextSize = 10 * 26 + 9 * 2;  // ten lines of 13 wide characters

// The text StrXuankong writes, checked to be zero-terminated inside the buffer.
std::string Chart(int period, int mountain, uint8_t xiagua) {
  return fixtures::ExportText(
      [&](char* buffer) { return StrXuankong(period, mountain, xiagua, buffer); },
      ORV_CHART_BUFFER_SIZE, '\x55');
}

using fixtures::SplitLines;

const char* const kWideDigits[10] = {"０", "１", "２", "３", "４", "５", "６", "７", "８", "９"};

// The box of a chart given palace by palace as on paper, south at the top:
// "MF/P" is the mountain star, facing star and period star of a palace.
std::string Box(const std::array<const char*, 9>& cells) {
  const auto top = [&](const char* c) {
    return std::string(" ") + kWideDigits[c[0] - '0'] + kWideDigits[c[1] - '0'] + " ";
  };
  const auto bottom = [&](const char* c) { return std::string("　") + kWideDigits[c[3] - '0'] + "　"; };
  std::string text = "┌───┬───┬───┐\r\n";
  for (int row = 0; row < 3; ++row) {
    const char* const* c = &cells[row * 3];
    text += "│" + top(c[0]) + "│" + top(c[1]) + "│" + top(c[2]) + "│\r\n";
    text += "│" + bottom(c[0]) + "│" + bottom(c[1]) + "│" + bottom(c[2]) + "│\r\n";
    text += row < 2 ? "├───┼───┼───┤\r\n" : "└───┴───┴───┘";
  }
  return text;
}

// 八运 子山午向 挨星下卦. Period 8 flies forward (中8 乾9 兑1 艮2 离3 坎4 坤5
// 震6 巽7); the mountain star starts from 4 in 坎 and flies forward (子 is the
// 天元 of 坎, 巽 the 天元 of 4's palace, yang); the facing star from 3 in 离
// flies backward (卯, the 天元 of 震, is yin).
TEST(Xuankong, WholeChartWorkedOutByHand) {
  const std::string expected =
      "┌───┬───┬───┐\r\n"
      "│ ３４ │ ８８ │ １６ │\r\n"
      "│　７　│　３　│　５　│\r\n"
      "├───┼───┼───┤\r\n"
      "│ ２５ │ ４３ │ ６１ │\r\n"
      "│　６　│　８　│　１　│\r\n"
      "├───┼───┼───┤\r\n"
      "│ ７９ │ ９７ │ ５２ │\r\n"
      "│　２　│　４　│　９　│\r\n"
      "└───┴───┴───┘";
  const std::string text = Chart(7, 1, 1);
  EXPECT_EQ(SplitLines(text), SplitLines(expected));
  EXPECT_EQ(text, expected);
  EXPECT_EQ(text.size(), kTextSize);
}

TEST(Xuankong, WorkedCases) {
  struct {
    const char* name;
    int period, mountain;
    uint8_t xiagua;
    std::array<const char*, 9> cells;  // 巽 离 坤 / 震 中 兑 / 艮 坎 乾
  } cases[] = {
      // Bases 4 and 3 replaced by 6 (巽) and 2 (卯), flown in 4's and 3's
      // directions: 6 forward, 2 backward.
      {"八运 子山 替卦", 7, 1, 0,
       {"53/7", "17/3", "35/5", "44/6", "62/8", "89/1", "98/2", "26/4", "71/9"}},
      // 壬 is 地元: 4 flies backward (辰 yin), 3 forward (甲 yang).
      {"八运 壬山 下卦", 7, 0, 1,
       {"52/7", "97/3", "79/5", "61/6", "43/8", "25/1", "16/2", "88/4", "34/9"}},
      // Base 5 in 坤: not replaced, forward by 申's own polarity; the facing
      // base 2 becomes 1 (申) and flies forward as 2 does at 人元.
      {"八运 申山 替卦", 7, 17, 0,
       {"49/7", "95/3", "27/5", "38/6", "51/8", "73/1", "84/2", "16/4", "62/9"}},
      // Base 5 in 坤 at 地元: backward by 未's own polarity; the facing base 2
      // in 艮 flies backward too (未, the 地元 of 坤, is yin).
      {"八运 未山 下卦", 7, 15, 1,
       {"63/7", "17/3", "85/5", "74/6", "52/8", "39/1", "28/2", "96/4", "41/9"}},
      // Period 1: 中1 乾2 兑3 艮4 离5 坎6 坤7 震8 巽9. Seat 乾 holds 2 and
      // flies forward (坤 is yang), facing 巽 holds 9 and flies backward (午).
      {"一运 乾山 下卦", 0, 22, 1,
       {"11/9", "65/5", "83/7", "92/8", "29/1", "47/3", "56/4", "74/6", "38/2"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SplitLines(Chart(c.period, c.mountain, c.xiagua)), SplitLines(Box(c.cells)));
  }
}

// Any nonzero flag byte is 挨星下卦.
TEST(Xuankong, FlagByte) {
  const std::string xiagua = Chart(7, 1, 1);
  const std::string tigua = Chart(7, 1, 0);
  EXPECT_NE(xiagua, tigua);
  EXPECT_EQ(Chart(7, 1, 2), xiagua);
  EXPECT_EQ(Chart(7, 1, 255), xiagua);
}

// A period or mountain outside its range: 0 and an empty text, the rest of
// the buffer untouched.
TEST(Xuankong, ArgumentsOutsideTheirRanges) {
  const int cases[][2] = {{-1, 0}, {9, 0},  {0, -1},       {0, 24},      {8, 24},
                          {9, 23}, {-1, -1}, {INT_MIN, 0}, {INT_MAX, 0}, {0, INT_MIN},
                          {0, INT_MAX}};
  for (const auto& c : cases) {
    for (uint8_t xiagua : std::initializer_list<uint8_t>{0, 1}) {
      SCOPED_TRACE(testing::Message() << c[0] << " " << c[1] << " " << int(xiagua));
      std::vector<char> buffer(ORV_CHART_BUFFER_SIZE, '\x55');
      EXPECT_EQ(StrXuankong(c[0], c[1], xiagua, buffer.data()), 0);
      EXPECT_EQ(buffer[0], '\0');
      for (std::size_t i = 1; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], '\x55') << i;
    }
  }
}

// ---------------------------------------------------------------------------
// Every chart against the rules, restated from the 24 mountains.

// Mountains 0-23 from 壬 to 亥: the Luoshu number of the palace, the polarity
// (+1 yang, -1 yin) and the replacement star of the mountain in 挨星替卦.
constexpr int kPalace[24] = {1, 1, 1, 8, 8, 8, 3, 3, 3, 4, 4, 4, 9, 9, 9, 2, 2, 2, 7, 7, 7, 6, 6, 6};
constexpr int kSign[24] = {+1, -1, -1, -1, +1, +1, +1, -1, -1, -1, +1, +1,
                           +1, -1, -1, -1, +1, +1, +1, -1, -1, -1, +1, +1};
constexpr int kReplacement[24] = {2, 1, 1, 7, 7, 9, 1, 2, 2, 6, 6, 6,
                                  7, 9, 9, 2, 2, 1, 9, 7, 7, 6, 6, 6};

// The Luoshu numbers of the palaces in flying order from the centre.
constexpr int kPath[9] = {5, 6, 7, 8, 9, 1, 2, 3, 4};

// Stars 1-9 by Luoshu number (index 1-9) when star s flies from the centre.
std::array<int, 10> Fly(int s, int direction) {
  std::array<int, 10> stars{};
  for (int k = 0; k < 9; ++k) stars[kPath[k]] = ((s - 1 + direction * k) % 9 + 9) % 9 + 1;
  return stars;
}

// The mountain at the seat's position in the home palace of star b.
int MountainOfStar(int b, int seat) {
  for (int i = 0; i < 24; ++i)
    if (kPalace[i] == b && i % 3 == seat % 3) return i;
  ADD_FAILURE() << "no mountain for star " << b;
  return 0;
}

struct Layers {
  std::array<int, 10> period, mountain, facing;  // by Luoshu number
};

// unchanged: both base stars equal their replacements.
Layers Rules(int period, int seat, bool xiagua, bool& unchanged) {
  Layers l;
  l.period = Fly(period, +1);
  unchanged = true;
  const auto layer = [&](int base) {
    if (base == 5) return Fly(5, kSign[seat]);
    const int m = MountainOfStar(base, seat);
    unchanged = unchanged && kReplacement[m] == base;
    return Fly(xiagua ? base : kReplacement[m], kSign[m]);
  };
  l.mountain = layer(l.period[kPalace[seat]]);
  l.facing = layer(l.period[kPalace[(seat + 12) % 24]]);
  return l;
}

int WideDigit(const std::string& s, std::size_t at) {
  for (int d = 1; d <= 9; ++d)
    if (s.compare(at, 2, kWideDigits[d]) == 0) return d;
  return 0;
}

// Reads the stars out of a text after checking its ten-line frame exactly.
bool ReadBox(const std::string& text, Layers& l) {
  const std::vector<std::string> lines = SplitLines(text);
  if (lines.size() != 10 || text.size() != kTextSize) return false;
  const char* const borders[4] = {"┌───┬───┬───┐", "├───┼───┼───┤", "├───┼───┼───┤",
                                  "└───┴───┴───┘"};
  for (int i = 0; i < 4; ++i)
    if (lines[i * 3] != borders[i]) return false;
  constexpr int kLayout[3][3] = {{4, 9, 2}, {3, 5, 7}, {8, 1, 6}};  // south at the top
  for (int row = 0; row < 3; ++row) {
    const std::string& top = lines[row * 3 + 1];
    const std::string& bottom = lines[row * 3 + 2];
    if (top.size() != 26 || bottom.size() != 26) return false;
    for (int col = 0; col < 3; ++col) {
      const std::size_t at = col * 8;
      const int palace = kLayout[row][col];
      if (top.compare(at, 3, "│ ") != 0 || top.compare(at + 7, 1, " ") != 0) return false;
      if (bottom.compare(at, 4, "│　") != 0 || bottom.compare(at + 6, 2, "　") != 0) return false;
      l.mountain[palace] = WideDigit(top, at + 3);
      l.facing[palace] = WideDigit(top, at + 5);
      l.period[palace] = WideDigit(bottom, at + 4);
    }
    if (top.compare(24, 2, "│") != 0 || bottom.compare(24, 2, "│") != 0) return false;
  }
  return true;
}

TEST(Xuankong, EveryChartFollowsTheRules) {
  int fives = 0, sameCharts = 0;
  for (int period = 1; period <= 9; ++period) {
    for (int seat = 0; seat < 24; ++seat) {
      std::string texts[2];
      bool unchanged = false;
      for (int xiagua = 0; xiagua < 2; ++xiagua) {
        SCOPED_TRACE(testing::Message() << period << "运 mountain " << seat << " xiagua " << xiagua);
        texts[xiagua] = Chart(period - 1, seat, static_cast<uint8_t>(xiagua));
        const Layers expected = Rules(period, seat, xiagua != 0, unchanged);
        Layers actual{};
        ASSERT_TRUE(ReadBox(texts[xiagua], actual)) << texts[xiagua];
        EXPECT_EQ(actual.period, expected.period);
        EXPECT_EQ(actual.mountain, expected.mountain);
        EXPECT_EQ(actual.facing, expected.facing);
        // A base star 5 is never replaced: 5 itself stands in the centre.
        if (expected.period[kPalace[seat]] == 5) {
          ++fives;
          EXPECT_EQ(actual.mountain[5], 5);
        }
        if (expected.period[kPalace[(seat + 12) % 24]] == 5) {
          ++fives;
          EXPECT_EQ(actual.facing[5], 5);
        }
      }
      if (unchanged) {
        ++sameCharts;
        EXPECT_EQ(texts[0], texts[1]) << period << "运 mountain " << seat;
      }
    }
  }
  EXPECT_GT(fives, 0);
  EXPECT_GT(sameCharts, 0);
}

// Charts drawn on several threads at once each come out whole and their own.
TEST(Xuankong, ChartsOnSeveralThreads) {
  std::vector<std::string> expected;
  for (int i = 0; i < 9 * 24 * 2; ++i) expected.push_back(Chart(i / 48, i / 2 % 24, i % 2 != 0));
  std::array<int, 4> wrong{};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      char buffer[ORV_CHART_BUFFER_SIZE];
      for (int round = 0; round < 3; ++round) {
        for (int n = 0; n < 432; ++n) {
          const int i = (n * 7 + t * 101) % 432;  // each thread in its own order
          StrXuankong(i / 48, i / 2 % 24, static_cast<uint8_t>(i % 2), buffer);
          if (expected[i] != buffer) ++wrong[t];
        }
      }
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(wrong, (std::array<int, 4>{}));
}

}  // namespace
