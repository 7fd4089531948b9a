// Xuankong flying-star chart (玄空飞星) of a building: for a period (一运 …
// 九运), a seat mountain among the 24 (the facing is the opposite mountain)
// and the method (挨星下卦 or 挨星替卦), the period star, mountain star and
// facing star of each of the nine palaces, and the chart text, a 3 × 3 box.
#pragma once

#include <array>
#include <string>

namespace orv {

constexpr int kXuankongPeriods = 9;     // 一运 … 九运, held as 0-8
constexpr int kXuankongMountains = 24;  // 壬 子 癸 丑 艮 寅 … 戌 乾 亥, held as 0-23

// One palace of the chart. Stars 一白 … 九紫 are held as star − 1 (0-8).
struct XuankongPalace {
  int Mountain = 0;  // 山星
  int Facing = 0;    // 向星
  int Period = 0;    // 运星
};

// The nine palaces indexed by Luoshu number less one: 坎 坤 震 巽 中 乾 兑 艮 离.
using XuankongChart = std::array<XuankongPalace, 9>;

// The star (0-8) that palace (0-8) receives when star s (0-8) flies from the
// centre, forward (s + 1 in 乾, s + 2 in 兑 …) or backward (s − 1 in 乾 …).
int FlownStar(int star, bool forward, int palace);

// The chart of period 0-8 and seat mountain 0-23; xiagua false is 替卦. The
// chart is returned by value, so it lives in the caller's own frame.
XuankongChart XuankongChartOf(int period, int mountain, bool xiagua);

// The ten-line text of a chart (GBK, CR LF between lines, none after the
// last).
std::string XuankongText(const XuankongChart& chart);

// The finished chart text; empty when the period is outside 0-8 or the
// mountain outside 0-23.
std::string XuankongChartText(int period, int mountain, bool xiagua);

}  // namespace orv
