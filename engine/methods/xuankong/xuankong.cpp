// The Xuankong flying-star chart. Period stars fly forward from the centre;
// the mountain and facing stars start from the period star in the seat's and
// the facing's palace, flying in the direction that the mountain at the
// seat's position (地元, 天元, 人元) in that star's home palace gives; 挨星替卦
// flies the replacement star of that mountain instead, in the same direction.
#include "xuankong.h"

#include <string_view>

#include "calendar/text.h"

namespace orv {
namespace {

enum Polarity : int { kNone = 0, kYang = 1, kYin = -1 };

// The 24 mountains in index order: the Luoshu number of their palace and
// their polarity. A mountain's position in its palace is its index mod 3
// (0 地元, 1 天元, 2 人元); its facing is the mountain twelve places on, with
// the same position and polarity.
struct MountainRecord {
  int Luoshu;
  Polarity Sign;
};
constexpr MountainRecord kMountains[kXuankongMountains] = {
    {1, kYang},  //  0 壬  坎
    {1, kYin},   //  1 子
    {1, kYin},   //  2 癸
    {8, kYin},   //  3 丑  艮
    {8, kYang},  //  4 艮
    {8, kYang},  //  5 寅
    {3, kYang},  //  6 甲  震
    {3, kYin},   //  7 卯
    {3, kYin},   //  8 乙
    {4, kYin},   //  9 辰  巽
    {4, kYang},  // 10 巽
    {4, kYang},  // 11 巳
    {9, kYang},  // 12 丙  离
    {9, kYin},   // 13 午
    {9, kYin},   // 14 丁
    {2, kYin},   // 15 未  坤
    {2, kYang},  // 16 坤
    {2, kYang},  // 17 申
    {7, kYang},  // 18 庚  兑
    {7, kYin},   // 19 酉
    {7, kYin},   // 20 辛
    {6, kYin},   // 21 戌  乾
    {6, kYang},  // 22 乾
    {6, kYang},  // 23 亥
};

// For each star 1-9 (row star − 1) and each position 地元, 天元, 人元: the
// polarity of the mountain at that position in the star's home palace; yang
// flies forward, yin backward. Star 5 has no home palace: a base star 5 takes
// the seat mountain's own polarity.
constexpr Polarity kDirections[9][3] = {
    {kYang, kYin, kYin},     // 1 坎 壬 子 癸
    {kYin, kYang, kYang},    // 2 坤 未 坤 申
    {kYang, kYin, kYin},     // 3 震 甲 卯 乙
    {kYin, kYang, kYang},    // 4 巽 辰 巽 巳
    {kNone, kNone, kNone},   // 5
    {kYin, kYang, kYang},    // 6 乾 戌 乾 亥
    {kYang, kYin, kYin},     // 7 兑 庚 酉 辛
    {kYin, kYang, kYang},    // 8 艮 丑 艮 寅
    {kYang, kYin, kYin},     // 9 离 丙 午 丁
};

// 挨星替卦: the replacement star (替星, 1-9) for each base star 1-9 (row
// star − 1), by the mountain at the seat's position in the base star's home
// palace. A base star 5 is never replaced.
constexpr int kReplacements[9][3] = {
    {2, 1, 1},  // 坎 壬 子 癸
    {2, 2, 1},  // 坤 未 坤 申
    {1, 2, 2},  // 震 甲 卯 乙
    {6, 6, 6},  // 巽 辰 巽 巳
    {0, 0, 0},  // 5
    {6, 6, 6},  // 乾 戌 乾 亥
    {9, 7, 7},  // 兑 庚 酉 辛
    {7, 7, 9},  // 艮 丑 艮 寅
    {7, 9, 9},  // 离 丙 午 丁
};

constexpr int kStarFive = 4;  // star 5 held as star − 1

// The text: per palace (Luoshu number less one, as a digit) "<L>a" receives
// " " + mountain star + facing star + " " and "<L>b" "　" + period star + "　".
// South is at the top: 巽 离 坤 over 震 中 兑 over 艮 坎 乾.
constexpr std::string_view kTemplate =
    "┌───┬───┬───┐\r\n"
    "│3a│8a│1a│\r\n"
    "│3b│8b│1b│\r\n"
    "├───┼───┼───┤\r\n"
    "│2a│4a│6a│\r\n"
    "│2b│4b│6b│\r\n"
    "├───┼───┼───┤\r\n"
    "│7a│0a│5a│\r\n"
    "│7b│0b│5b│\r\n"
    "└───┴───┴───┘";

constexpr std::string_view kTemplateLines[] = {kTemplate};
constexpr auto kLines = CellTemplate<18>(kTemplateLines);

// Stars 1-9 as full-width digits, indexed by star − 1.
constexpr std::string_view kStarDigits[9] = {"１", "２", "３", "４", "５", "６", "７", "８", "９"};
constexpr std::string_view kSpace = " ";

// The star that flies for a layer and its direction, from the base star (the
// period star of the seat's or the facing's palace).
struct Flight {
  int Star;
  bool Forward;
};

Flight FlightOf(int base, int seat, bool xiagua) {
  const int position = seat % 3;
  if (base == kStarFive) return {base, kMountains[seat].Sign == kYang};
  const bool forward = kDirections[base][position] == kYang;
  return {xiagua ? base : kReplacements[base][position] - 1, forward};
}

}  // namespace

int FlownStar(int star, bool forward, int palace) {
  return forward ? (star + palace + 5) % 9 : (star - palace + 13) % 9;
}

std::optional<XuankongChart> Cast(const XuankongOptions& options) {
  const int period = options.Period, mountain = options.Mountain;
  if (period < 0 || period >= kXuankongPeriods || mountain < 0 || mountain >= kXuankongMountains)
    return std::nullopt;
  XuankongChart chart;
  chart.Period = period;
  chart.Mountain = mountain;
  chart.Xiagua = options.Xiagua;
  auto& palaces = chart.Palaces;
  for (int palace = 0; palace < 9; ++palace) palaces[palace].Period = FlownStar(period, true, palace);
  chart.Facing = (mountain + 12) % kXuankongMountains;
  const int seatBase = palaces[kMountains[mountain].Luoshu - 1].Period;
  const int facingBase = palaces[kMountains[chart.Facing].Luoshu - 1].Period;
  // The facing has the seat's position and polarity, so both flights are
  // decided by the seat mountain.
  const Flight seatFlight = FlightOf(seatBase, mountain, options.Xiagua);
  const Flight facingFlight = FlightOf(facingBase, mountain, options.Xiagua);
  for (int palace = 0; palace < 9; ++palace) {
    palaces[palace].Mountain = FlownStar(seatFlight.Star, seatFlight.Forward, palace);
    palaces[palace].Facing = FlownStar(facingFlight.Star, facingFlight.Forward, palace);
  }
  return chart;
}

void XuankongText(const XuankongChart& chart, TextWriter& out) {
  out.WriteInPlace<TemplateMost(kLines, 6, 0)>([&](Cursor& text) {
    WriteTemplate<kLines>(
        text,
        [&](auto token) {
          constexpr std::string_view cell = decltype(token)::kText;
          const XuankongPalace& p = chart.Palaces[static_cast<std::size_t>(cell[0] - '0')];
          if constexpr (cell[1] == 'a') {
            text << kSpace << kStarDigits[p.Mountain] << kStarDigits[p.Facing] << kSpace;
          } else {
            static_assert(cell[1] == 'b');
            text << kFullSpace << kStarDigits[p.Period] << kFullSpace;
          }
        },
        [] {});
  });
}

}  // namespace orv
