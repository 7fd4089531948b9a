// TOrvQimen: the arrangement of a Qimen chart and its plates.
#include "qimen.h"

#include <array>
#include <cstddef>

namespace orv {
namespace {

// The palaces by ring index: palace name, Luoshu number, home star, home door.
struct RingPalace {
  int Palace;
  int Luoshu;
  int Star;
  int Door;
};
constexpr RingPalace kRing[9] = {
    {189, 5, kStarQin, kDoorCentre},   // 0 中
    {185, 1, kStarPeng, kDoorRest},    // 1 坎
    {192, 8, kStarRen, kDoorLife},     // 2 艮
    {187, 3, kStarChong, kDoorHarm},   // 3 震
    {188, 4, kStarFu, kDoorBlock},     // 4 巽
    {193, 9, kStarYing, kDoorView},    // 5 离
    {186, 2, kStarRui, kDoorDeath},    // 6 坤
    {191, 7, kStarZhu, kDoorFright},   // 7 兑
    {190, 6, kStarXin, kDoorOpen},     // 8 乾
};

// Ring index by Luoshu number 1-9 (slot 0 unused).
constexpr int kRingOfLuoshu[10] = {0, 1, 6, 3, 4, 0, 8, 7, 2, 5};

// The six instruments and three wonders in order: 戊 己 庚 辛 壬 癸 丁 丙 乙.
constexpr int kNineStems[9] = {5, 6, 7, 8, 9, 10, 4, 3, 2};

// Ju by solar term (1 立春 … 24 大寒) and yuan (上, 中, 下).
constexpr int kJuTable[25][3] = {
    {0, 0, 0},
    {8, 5, 2},  //  1 立春
    {9, 6, 3},  //  2 雨水
    {1, 7, 4},  //  3 惊蛰
    {3, 9, 6},  //  4 春分
    {4, 1, 7},  //  5 清明
    {5, 2, 8},  //  6 谷雨
    {4, 1, 7},  //  7 立夏
    {5, 2, 8},  //  8 小满
    {6, 3, 9},  //  9 芒种
    {9, 3, 6},  // 10 夏至
    {8, 2, 5},  // 11 小暑
    {7, 1, 4},  // 12 大暑
    {2, 5, 8},  // 13 立秋
    {1, 4, 7},  // 14 处暑
    {9, 3, 6},  // 15 白露
    {7, 1, 4},  // 16 秋分
    {6, 9, 3},  // 17 寒露
    {5, 8, 2},  // 18 霜降
    {6, 9, 3},  // 19 立冬
    {5, 8, 2},  // 20 小雪
    {4, 7, 1},  // 21 大雪
    {1, 7, 4},  // 22 冬至
    {2, 8, 5},  // 23 小寒
    {3, 9, 6},  // 24 大寒
};

// The deities in order: rotating placement has eight, flying nine; yang dun
// has 勾陈 and 朱雀, yin dun 白虎 and 玄武.
constexpr int kRotatingYangDeities[8] = {kDeityChief, kDeitySnake, kDeityMoon,  kDeityUnion,
                                         kDeityHook,  kDeityBird,  kDeityEarth, kDeityHeaven};
constexpr int kRotatingYinDeities[8] = {kDeityChief, kDeitySnake, kDeityMoon,  kDeityUnion,
                                        kDeityTiger, kDeityDark,  kDeityEarth, kDeityHeaven};
constexpr int kFlyingYangDeities[9] = {kDeityChief, kDeitySnake, kDeityMoon,
                                       kDeityUnion, kDeityHook,  kDeityConst,
                                       kDeityBird,  kDeityEarth, kDeityHeaven};
constexpr int kFlyingYinDeities[9] = {kDeityChief, kDeitySnake, kDeityMoon,
                                      kDeityUnion, kDeityTiger, kDeityConst,
                                      kDeityDark,  kDeityEarth, kDeityHeaven};

// Wrap(n, m) for the small sums of the placement (within three rounds of
// 1-m) from a table made while compiling; others by division.
template <int M>
constexpr int WrapSmall(int n) {
  constexpr int kLow = -3 * M, kHigh = 4 * M;
  constexpr auto kTable = [] {
    std::array<int8_t, kHigh - kLow + 1> table{};
    for (int v = kLow; v <= kHigh; ++v) table[static_cast<std::size_t>(v - kLow)] = static_cast<int8_t>(Wrap(v, M));
    return table;
  }();
  return n >= kLow && n <= kHigh ? kTable[static_cast<std::size_t>(n - kLow)] : Wrap(n, M);
}

// The ring palace k steps after p (clockwise); the ring runs 1-8.
constexpr int RingStep(int p, int k) { return WrapSmall<8>(p + k); }

// A ring index standing for an outer palace: the centre lodges in 坤.
constexpr int Outer(int ring) { return ring == kRingCentre ? kRingKun : ring; }

}  // namespace

int PalaceOfRing(int ring) { return ring >= 0 && ring < 9 ? kRing[ring].Palace : 0; }

int LuoshuOfRing(int ring) { return ring >= 0 && ring < 9 ? kRing[ring].Luoshu : 5; }

int RingOfLuoshu(int luoshu) { return kRingOfLuoshu[WrapSmall<9>(luoshu)]; }

int StemPosition(int stem) {
  for (int i = 0; i < 9; ++i)
    if (kNineStems[i] == stem) return i + 1;
  return 0;
}

int StemAtPosition(int position) { return kNineStems[WrapSmall<9>(position) - 1]; }

int JuOf(int term, int yuan) {
  if (term < 1 || term > 24 || yuan < 0 || yuan > 2) return 0;
  return kJuTable[term][yuan];
}

void TOrvQimen::SetPlacement(bool flying) {
  const uint8_t fly = flying ? 1 : 0;
  FlyStems = FlyDoors = FlyStars = FlyDeities = fly;
}

void TOrvQimen::Arrange() {
  FindJu();
  Place();
}

void TOrvQimen::FindJu() {
  // Yuan: the day's place in its fifteen-day period, five days to a yuan.
  Yuan = (Wrap(CycleNumber(DayPillar), 15) - 1) / 5;
  Ju = JuOf(CurrentTerm, Yuan);
  // 冬至 … 芒种 yang, 夏至 … 大雪 yin.
  Yang = CurrentTerm < 10 || CurrentTerm > 21 ? 1 : 0;
}

void TOrvQimen::ForceJu(int value) {
  if (value < 1 || value > 18) return;
  Yang = value <= 9 ? 1 : 0;
  Ju = value <= 9 ? value : value - 9;
  Place();
}

int QimenFields::Search(int plate, int value) const {
  for (int p = 0; p < kPalaceCount; ++p)
    if (Plates[plate][p] == value) return p;
  return 0;
}

void TOrvQimen::Place() {
  Plates = {};
  HourPalace = EnvoyPalace = ChiefPalace = CentrePalace = 0;

  // The xun head of the hour and the stem hiding it.
  HourXun = XunHead(HourPillar);
  XunStem = (CycleNumber(HourXun) - 1) / 10 + 5;

  // The earth plate: 戊 in the palace of the ju number, the other stems in
  // Luoshu order forward (yang) or backward (yin), through the centre.
  for (int k = 0; k < 9; ++k) {
    const int luoshu = WrapSmall<9>(Yang ? Ju + k : Ju - k);
    Plates[kEarthStems][RingOfLuoshu(luoshu)] = kNineStems[k];
  }

  // The duty chief has its home where the xun stem stands; the hour stem
  // (the xun stem for a 甲 hour) gives the hour palace.
  ChiefPalace = Search(kEarthStems, XunStem);
  ChiefStar = kRing[ChiefPalace].Star;
  EnvoyDoor = kRing[ChiefPalace].Door;
  const int hourStem = HourPillar.Stem == 1 ? XunStem : HourPillar.Stem;
  HourPalace = Search(kEarthStems, hourStem);

  PlaceHeavenStems(hourStem);
  PlaceStars();
  PlaceDoors();
  PlaceDeities();

  // The palace carrying 坤's earth stem on the heaven plate.
  CentrePalace = Search(kHeavenStems, Plates[kEarthStems][kRingKun]);
}

void TOrvQimen::PlaceHeavenStems(int hourStem) {
  auto& heaven = Plates[kHeavenStems];
  const auto& earth = Plates[kEarthStems];
  if (FlyStems) {
    // The whole earth plate moved by the Luoshu distance from the chief's
    // palace to the hour palace.
    const int shift = StemPosition(XunStem) - StemPosition(hourStem);
    for (int p = 0; p < kPalaceCount; ++p) heaven[p] = StemAtPosition(StemPosition(earth[p]) + shift);
    return;
  }
  // The outer ring turned so that the chief's palace lands on the hour palace;
  // the centre has no heaven stem.
  const int s = Outer(ChiefPalace);
  const int t = Outer(HourPalace);
  heaven[kRingCentre] = 0;
  for (int k = 0; k < 8; ++k) heaven[RingStep(t, k)] = earth[RingStep(s, k)];
}

void TOrvQimen::PlaceStars() {
  auto& stars = Plates[kStars];
  if (FlyStars) {
    const int shift = LuoshuOfRing(ChiefPalace) - LuoshuOfRing(HourPalace);
    for (int p = 0; p < kPalaceCount; ++p)
      stars[p] = kRing[RingOfLuoshu(LuoshuOfRing(p) + shift)].Star;
    return;
  }
  const int s = Outer(ChiefPalace);
  const int t = Outer(HourPalace);
  stars[kRingCentre] = kStarQin;
  for (int k = 0; k < 8; ++k) stars[RingStep(t, k)] = kRing[RingStep(s, k)].Star;
}

void TOrvQimen::PlaceDoors() {
  // The envoy moves one Luoshu step per hour since the xun head, forward in
  // yang dun and backward in yin dun, counted by the real hour stem.
  const int hours = HourPillar.Stem - 1;
  const int chiefL0 = LuoshuOfRing(ChiefPalace) - 1;
  const int e = WrapSmall<9>((Yang ? chiefL0 + hours : chiefL0 - hours) + 1) - 1;
  auto& doors = Plates[kDoors];
  if (FlyDoors) {
    EnvoyPalace = e;
    const int shift = LuoshuOfRing(ChiefPalace) - (e + 1);
    for (int p = 0; p < kPalaceCount; ++p)
      doors[p] = kRing[RingOfLuoshu(LuoshuOfRing(p) + shift)].Door;
    return;
  }
  const int g = Outer(RingOfLuoshu(e + 1));
  EnvoyPalace = g;
  if (EnvoyDoor == kDoorCentre) EnvoyDoor = kDoorDeath;
  doors[kRingCentre] = 0;
  const int d = Outer(ChiefPalace) - g;
  for (int p = 1; p <= 8; ++p) doors[p] = kRing[RingStep(p, d)].Door;
}

void TOrvQimen::PlaceDeities() {
  if (FlyDeities) {
    const int* list = Yang ? kFlyingYangDeities : kFlyingYinDeities;
    const int step = Yang ? 1 : -1;
    const int hourL = LuoshuOfRing(HourPalace);
    const int chiefL = LuoshuOfRing(ChiefPalace);
    for (int k = 0; k < 9; ++k) {
      Plates[kDeities][RingOfLuoshu(hourL + step * k)] = list[k];
      Plates[kEarthDeities][RingOfLuoshu(chiefL + step * k)] = list[k];
    }
    return;
  }
  const int* list = Yang ? kRotatingYangDeities : kRotatingYinDeities;
  const int start = Outer(HourPalace);
  for (int k = 0; k < 8; ++k) Plates[kDeities][RingStep(start, Yang ? k : -k)] = list[k];
}

QimenChart Cast(Moment moment, const QimenOptions& options) {
  // 1-18 force the ju; 0 or less, and anything above 18, keep the date's own.
  const bool forced = options.Ju >= 1 && options.Ju <= 18;
  TOrvQimen chart;
  chart.SetPlacement(options.Flying);
  // A forced ju lays the plates again: until then the yuan, ju and dun of
  // the date are enough.
  const auto arrange = [&chart, forced] {
    if (forced)
      chart.FindJu();
    else
      chart.Arrange();
  };
  chart.SetDate(moment);
  arrange();
  SettleTermSides(chart, options.Ask, [&chart, &arrange](Moment moved) {
    chart.SetDate(moved);
    arrange();
  });
  if (forced) chart.ForceJu(options.Ju);
  QimenChart value{chart, chart};
  value.ForcedJu = forced;
  return value;
}

}  // namespace orv
