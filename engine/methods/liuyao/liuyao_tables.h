// The Six Lines tables: trigrams, hexagram names, relatives, beasts and line
// glyphs. They are constant data known while compiling, compiled to GBK: a
// name too long for its slot does not compile.
#pragma once

#include <array>
#include <cstdint>

#include "calendar/codes.h"

namespace orv {

// Trigram numbers 1-8: 乾 兑 离 震 巽 坎 艮 坤.
constexpr int kTrigramCount = 8;

struct Trigram {
  char Name[3];
  uint8_t Lines[3];     // bottom, middle, top; 1 yang
  int Element;          // element number (codes.h)
  int InnerStem;        // stem code in the lower half of a hexagram
  int OuterStem;        // stem code in the upper half
  int Branches[6];      // branch codes of lines 0-5; the upper half uses 3-5
};
// Relative codes -2..2, stored at code + 2.
enum Relative { kWealth = -2, kOffspring = -1, kSibling = 0, kParent = 1, kOfficer = 2 };

// Line styles 0-8 of the glyph table.
constexpr int kLineStyleCount = 9;

namespace liuyao_codes {
// Stem and branch codes, named as they are written.
enum : int { 甲 = 1, 乙, 丙, 丁, 戊, 己, 庚, 辛, 壬, 癸 };
enum : int { 子 = 11, 丑, 寅, 卯, 辰, 巳, 午, 未, 申, 酉, 戌, 亥 };
}  // namespace liuyao_codes

// Indexed by trigram number; entry 0 is empty.
inline constexpr std::array<Trigram, kTrigramCount + 1> Trigrams = [] {
  using namespace liuyao_codes;
  return std::array<Trigram, kTrigramCount + 1>{{
    // name  lines (bottom first)  element  inner  outer  branches of lines 0-5
    {"", {0, 0, 0}, kNoElement, 0, 0, {0, 0, 0, 0, 0, 0}},
    {"乾", {1, 1, 1}, kMetal, 甲, 壬, {子, 寅, 辰, 午, 申, 戌}},
    {"兑", {1, 1, 0}, kMetal, 丁, 丁, {巳, 卯, 丑, 亥, 酉, 未}},
    {"离", {1, 0, 1}, kFire, 己, 己, {卯, 丑, 亥, 酉, 未, 巳}},
    {"震", {1, 0, 0}, kWood, 庚, 庚, {子, 寅, 辰, 午, 申, 戌}},
    {"巽", {0, 1, 1}, kWood, 辛, 辛, {丑, 亥, 酉, 未, 巳, 卯}},
    {"坎", {0, 1, 0}, kWater, 戊, 戊, {寅, 辰, 午, 申, 戌, 子}},
    {"艮", {0, 0, 1}, kEarth, 丙, 丙, {辰, 午, 申, 戌, 子, 寅}},
    {"坤", {0, 0, 0}, kEarth, 乙, 癸, {未, 巳, 卯, 丑, 亥, 酉}},
}};
}();

// Hexagram names, indexed (upper - 1) * 8 + (lower - 1): rows the upper
// trigram, columns the lower trigram, both in trigram-number order 乾 兑 离
// 震 巽 坎 艮 坤.
inline constexpr char HexagramFullNames[64][9] = {
    "乾为天",   "天泽履",   "天火同人", "天雷无妄", "天风姤",   "天水讼",   "天山遁",   "天地否",
    "泽天夬",   "兑为泽",   "泽火革",   "泽雷随",   "泽风大过", "泽水困",   "泽山咸",   "泽地萃",
    "火天大有", "火泽睽",   "离为火",   "火雷噬嗑", "火风鼎",   "火水未济", "火山旅",   "火地晋",
    "雷天大壮", "雷泽归妹", "雷火丰",   "震为雷",   "雷风恒",   "雷水解",   "雷山小过", "雷地豫",
    "风天小畜", "风泽中孚", "风火家人", "风雷益",   "巽为风",   "风水涣",   "风山渐",   "风地观",
    "水天需",   "水泽节",   "水火既济", "水雷屯",   "水风井",   "坎为水",   "水山蹇",   "水地比",
    "山天大畜", "山泽损",   "山火贲",   "山雷颐",   "山风蛊",   "山水蒙",   "艮为山",   "山地剥",
    "地天泰",   "地泽临",   "地火明夷", "地雷复",   "地风升",   "地水师",   "地山谦",   "坤为地",
};

inline constexpr char HexagramShortNames[64][5] = {
    "乾",   "履",   "同人", "无妄", "姤",   "讼",   "遁",   "否",
    "夬",   "兑",   "革",   "随",   "大过", "困",   "咸",   "萃",
    "大有", "睽",   "离",   "噬嗑", "鼎",   "未济", "旅",   "晋",
    "大壮", "归妹", "丰",   "震",   "恒",   "解",   "小过", "豫",
    "小畜", "中孚", "家人", "益",   "巽",   "涣",   "渐",   "观",
    "需",   "节",   "既济", "屯",   "井",   "坎",   "蹇",   "比",
    "大畜", "损",   "贲",   "颐",   "蛊",   "蒙",   "艮",   "剥",
    "泰",   "临",   "明夷", "复",   "升",   "师",   "谦",   "坤",
};

// Beasts by code 0-5.
inline constexpr char BeastFullNames[6][5] = {"青龙", "朱雀", "勾陈", "腾蛇", "白虎", "玄武"};
inline constexpr char BeastShortNames[6][3] = {"青", "朱", "勾", "腾", "白", "玄"};

// Line glyphs by line style 0-8: [style][0] yin, [style][1] yang.
inline constexpr char LineGlyphs[kLineStyleCount][2][11] = {
    // yin        yang
    {"″", "′"},
    {"〢", "〡"},
    {"゛", "ヽ"},
    {"゛", "ゝ"},
    {"━　━", "━━━"},
    {"─　─", "───"},
    {"－　－", "－－－"},
    {"▅▅　▅▅", "▅▅▅▅▅"},
    {"- -", "---"},
};

}  // namespace orv
