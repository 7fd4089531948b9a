// Qimen Dunjia chart (奇门遁甲): the dun, yuan and ju of a moment (or a ju
// the user forces), the earth plate of the nine stems, the duty chief and the
// duty envoy of the hour, and the heaven stems, stars, doors and deities laid
// by rotating the outer ring (转盘) or by flying through the nine palaces in
// Luoshu order (飞盘); and the chart text with its two grids.
//
// Palaces are held by ring index: 0 the centre, 1-8 clockwise around the
// chart as drawn with south at the top, from the bottom middle:
// 0 中, 1 坎, 2 艮, 3 震, 4 巽, 5 离, 6 坤, 7 兑, 8 乾.
#pragma once

#include <array>
#include <cstdint>

#include "calendar/base.h"
#include "calendar/codes.h"
#include "calendar/term_question.h"
#include "calendar/json_writer.h"
#include "calendar/text_writer.h"

namespace orv {

// Symbol codes of the chart.
enum QimenSymbol : int {
  // deities
  kDeityChief = 165,  // 符
  kDeitySnake = 154,  // 蛇
  kDeityMoon = 163,   // 阴
  kDeityUnion = 156,  // 合
  kDeityHook = 157,   // 勾
  kDeityBird = 155,   // 朱
  kDeityTiger = 160,  // 虎
  kDeityDark = 162,   // 玄
  kDeityConst = 161,  // 常
  kDeityEarth = 166,  // 地
  kDeityHeaven = 167, // 天
  // doors
  kDoorRest = 168,     // 休
  kDoorLife = 169,     // 生
  kDoorHarm = 170,     // 伤
  kDoorBlock = 171,    // 杜
  kDoorView = 172,     // 景
  kDoorDeath = 173,    // 死
  kDoorFright = 174,   // 惊
  kDoorOpen = 175,     // 开
  kDoorCentre = 189,   // 中: the centre's door, the palace name
  // stars
  kStarPeng = 176,   // 蓬
  kStarRui = 177,    // 芮
  kStarChong = 178,  // 冲
  kStarFu = 179,     // 辅
  kStarQin = 180,    // 禽
  kStarXin = 181,    // 心
  kStarZhu = 182,    // 柱
  kStarRen = 183,    // 任
  kStarYing = 184,   // 英
};

// Ring indexes of the palaces.
enum QimenRing : int {
  kRingCentre = 0, kRingKan = 1, kRingGen = 2, kRingZhen = 3, kRingXun = 4,
  kRingLi = 5, kRingKun = 6, kRingDui = 7, kRingQian = 8
};

// Palace symbol code (坎 185 … 离 193) of a ring index 0-8.
int PalaceOfRing(int ring);
// Luoshu number 1-9 of a ring index 0-8, and the ring index of a Luoshu number.
int LuoshuOfRing(int ring);
int RingOfLuoshu(int luoshu);
// Position 1-9 of a stem in 戊 己 庚 辛 壬 癸 丁 丙 乙; 0 for 甲 (and blank).
int StemPosition(int stem);
// The stem at a position, the position wrapped into 1-9.
int StemAtPosition(int position);
// Ju 1-9 of a term 1-24 and a yuan 0-2 (0 outside them).
int JuOf(int term, int yuan);

// What the arrangement of a Qimen chart adds to the base.
struct QimenFields {
  enum Plate : int {
    kEarthStems = 0, kHeavenStems = 1, kDoors = 2, kStars = 3, kEarthDeities = 4, kDeities = 5
  };
  static constexpr int kPlateCount = 6;
  static constexpr int kPalaceCount = 9;

  int32_t HourPalace = 0;   // ring index of the hour stem on the earth plate
  int32_t EnvoyPalace = 0;  // flying: Luoshu number - 1 (0-8); rotating: ring index 1-8
  int32_t ChiefPalace = 0;  // ring index of the xun stem on the earth plate
  std::array<std::array<int32_t, kPalaceCount>, kPlateCount> Plates{};  // [plate][ring]
  Pillar HourXun;           // the xun head of the hour pillar
  int32_t XunStem = 0;      // the stem hiding it
  uint8_t Yang = 0;         // 1 yang dun, 0 yin dun
  int32_t Ju = 0;           // 1-9
  int32_t CentrePalace = 0; // ring index whose heaven stem is 坤's earth stem
  int32_t ChiefStar = 0;
  int32_t EnvoyDoor = 0;
  uint8_t FlyStems = 0, FlyDoors = 0, FlyStars = 0, FlyDeities = 0;
  int32_t Yuan = 0;         // 0 上元, 1 中元, 2 下元

  // The first ring index 0-8 of a plate holding the value; 0 when none does.
  int Search(int plate, int value) const;
};

// A Qimen chart as data: the base, the arrangement and its plates, and
// whether the ju was forced.
struct QimenChart : BaseChart, QimenFields {
  bool ForcedJu = false;
};

struct QimenOptions {
  bool Flying = false;  // 飞盘, else 转盘
  // 1-9 yang ju, 10-18 yin ju (value - 9); anything else: the ju of the date.
  int Ju = 0;
  // How the solar-term question is asked; nothing: the moment as entered.
  QuestionAsker Ask = nullptr;
};

class TOrvQimen : public TOrvBase, public QimenFields {
 public:
  // The plates blank, no date; the placement and the date are set before
  // anything is read.
  TOrvQimen() = default;

  // 1 flying placement for stems, doors, stars and deities alike, 0 rotating.
  void SetPlacement(bool flying);
  // The yuan, the ju and the dun of the moment (the base was computed when
  // the date was set), then the plates.
  void Arrange();
  // The yuan, the ju and the dun of the moment alone, the plates left as
  // they are: the first half of Arrange.
  void FindJu();
  // 1-9 yang dun with that ju, 10-18 yin dun with ju value - 9, then places
  // the plates again; any other value changes nothing.
  void ForceJu(int value);
  // Lays every plate for the current ju and dun.
  void Place();

 private:
  void PlaceHeavenStems(int hourStem);
  void PlaceStars();
  void PlaceDoors();
  void PlaceDeities();
};

// Casts the chart of a moment: SetPlacement, SetDate and Arrange; the
// solar-term question, each answer that moves the moment arranging again;
// ForceJu. With a forced ju the plates are laid once, by ForceJu (FindJu
// stands for Arrange: the question reads the base alone).
QimenChart Cast(Moment moment, const QimenOptions& options);

// The five header lines, each ended by CR LF.
void QimenHeader(const QimenChart& chart, TextWriter& out);
// The grid of the chart's placement; its last line has no line end.
void QimenGrid(const QimenChart& chart, TextWriter& out);
// The header, an empty line and the grid (GBK).
void QimenText(const QimenChart& chart, TextWriter& out);

// The chart as data: the "chart" member of the JSON export.
void QimenJson(const QimenChart& chart, JsonWriter& out);

}  // namespace orv
