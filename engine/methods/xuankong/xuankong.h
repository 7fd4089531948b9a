// Xuankong flying-star chart (玄空飞星) of a building: for a period (一运 …
// 九运), a seat mountain among the 24 (the facing is the opposite mountain)
// and the method (挨星下卦 or 挨星替卦), the period star, mountain star and
// facing star of each of the nine palaces, and the chart text, a 3 × 3 box.
#pragma once

#include <array>
#include <optional>

#include "calendar/json_writer.h"
#include "calendar/text_writer.h"

namespace orv {

constexpr int kXuankongPeriods = 9;     // 一运 … 九运, held as 0-8
constexpr int kXuankongMountains = 24;  // 壬 子 癸 丑 艮 寅 … 戌 乾 亥, held as 0-23

// The 24 mountains by index.
inline constexpr char MountainNames[kXuankongMountains][3] = {
    "壬", "子", "癸", "丑", "艮", "寅", "甲", "卯", "乙", "辰", "巽", "巳",
    "丙", "午", "丁", "未", "坤", "申", "庚", "酉", "辛", "戌", "乾", "亥"};

// One palace of the chart. Stars 一白 … 九紫 are held as star − 1 (0-8).
struct XuankongPalace {
  int Mountain = 0;  // 山星
  int Facing = 0;    // 向星
  int Period = 0;    // 运星
};

// The star (0-8) that palace (0-8) receives when star s (0-8) flies from the
// centre, forward (s + 1 in 乾, s + 2 in 兑 …) or backward (s − 1 in 乾 …).
int FlownStar(int star, bool forward, int palace);

struct XuankongOptions {
  int Period = 0;     // 0-8: 一运 … 九运
  int Mountain = 0;   // 0-23: the seat mountain, 壬 … 亥
  bool Xiagua = true; // 挨星下卦, else 挨星替卦
};

// A Xuankong chart as data: its options and the nine palaces indexed by
// Luoshu number less one (坎 坤 震 巽 中 乾 兑 艮 离).
struct XuankongChart {
  int Period = 0;
  int Mountain = 0;
  int Facing = 0;  // the mountain opposite the seat, 0-23
  bool Xiagua = true;
  std::array<XuankongPalace, 9> Palaces{};
};

// The chart of the options; nothing when the period is outside 0-8 or the
// mountain outside 0-23. The chart is a value: it lives in the caller's own
// frame from the computation to the text.
std::optional<XuankongChart> Cast(const XuankongOptions& options);

// The ten-line text of a chart (GBK, CR LF between lines, none after the
// last).
void XuankongText(const XuankongChart& chart, TextWriter& out);

// The chart as data: the "chart" member of the JSON export.
void XuankongJson(const XuankongChart& chart, JsonWriter& out);

}  // namespace orv
