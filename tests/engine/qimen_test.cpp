// The Qimen arrangement: yuan, ju and dun of the moment, a forced ju, and the
// plates of both placements, worked out by hand from the rules; and the
// invariants every chart keeps, over every hour of a sixty-day cycle and
// every ju.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "calendar/dates.h"
#include "calendar/text.h"
#include "methods/qimen/qimen.h"

namespace orv {
namespace {

// The names of a plate in ring order 0 中, 1 坎, 2 艮, 3 震, 4 巽, 5 离, 6 坤,
// 7 兑, 8 乾; a blank is the full-width space.
std::string Row(const TOrvQimen& chart, int plate) {
  std::string text;
  for (int p = 0; p < 9; ++p) text += NameOf(chart.Plates[plate][p]);
  return text;
}

TOrvQimen Chart(bool flying, int year, int month, int day, int hour, int forcedJu = 0) {
  TOrvQimen chart;
  chart.SetPlacement(flying);
  chart.SetDate(EncodeDateTime(year, month, day, hour, 0));
  chart.Arrange();
  if (forcedJu != 0) chart.ForceJu(forcedJu);
  return chart;
}

using P = TOrvQimen;

TEST(QimenTables, RingAndLuoshuNumberingsAreInverse) {
  const int luoshu[9] = {5, 1, 8, 3, 4, 9, 2, 7, 6};
  std::string palaces;
  for (int ring = 0; ring < 9; ++ring) palaces += NameOf(PalaceOfRing(ring));
  EXPECT_EQ(palaces, "中坎艮震巽离坤兑乾");
  for (int ring = 0; ring < 9; ++ring) {
    EXPECT_EQ(LuoshuOfRing(ring), luoshu[ring]);
    EXPECT_EQ(RingOfLuoshu(luoshu[ring]), ring);
  }
  // 戊 1 … 乙 9; 甲 0.
  const int stems[9] = {5, 6, 7, 8, 9, 10, 4, 3, 2};
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(StemPosition(stems[i]), i + 1);
    EXPECT_EQ(StemAtPosition(i + 1), stems[i]);
  }
  EXPECT_EQ(StemPosition(1), 0);
  EXPECT_EQ(StemAtPosition(0), 2);    // wraps to 乙
  EXPECT_EQ(StemAtPosition(-8), 5);   // and to 戊
}

TEST(QimenTables, JuByTermAndYuan) {
  struct {
    int term, yuan, ju;
  } cases[] = {
      {1, 0, 8}, {1, 2, 2},  {2, 1, 6},  {4, 1, 9},  {9, 2, 9},  {10, 0, 9}, {10, 1, 3},
      {10, 2, 6}, {12, 0, 7}, {13, 1, 5}, {16, 2, 4}, {21, 2, 1}, {22, 0, 1}, {22, 2, 4},
      {23, 1, 8}, {24, 2, 6},
  };
  for (const auto& c : cases) EXPECT_EQ(JuOf(c.term, c.yuan), c.ju) << c.term << " " << c.yuan;
  EXPECT_EQ(JuOf(0, 0), 0);
  EXPECT_EQ(JuOf(25, 0), 0);
  EXPECT_EQ(JuOf(1, 3), 0);
}

// 2024-02-10 is 甲辰 (41: 下元), after 立春: 阳遁二局. 2024-06-29 is 甲子 (上元),
// after 夏至: 阴遁九局. 2024-06-09 is 甲辰 (下元), after 芒种: 阳遁九局.
// 2024-12-25 is 癸亥 (60: 下元), after 冬至: 阳遁四局; 2024-12-26 甲子 starts
// 上元 again: 阳遁一局.
TEST(QimenArrange, YuanJuAndDunFollowTheTermAndTheDayPillar) {
  struct {
    int y, m, d, h;
    int term, yuan, ju, yang;
  } cases[] = {
      {2024, 2, 10, 12, 1, 2, 2, 1},
      {2024, 6, 29, 12, 10, 0, 9, 0},
      {2024, 6, 9, 12, 9, 2, 9, 1},
      {2024, 12, 25, 12, 22, 2, 4, 1},
      {2024, 12, 26, 12, 22, 0, 1, 1},
      // 2024-02-14 戊申 (45): 下元; 2024-02-15 己酉 (46) starts 上元 again:
      // 立春上元 is 阳遁八局. At 23:00 the 14th has the 15th's day pillar.
      {2024, 2, 14, 12, 1, 2, 2, 1},
      {2024, 2, 14, 22, 1, 2, 2, 1},
      {2024, 2, 14, 23, 1, 0, 8, 1},
      {2024, 2, 15, 12, 1, 0, 8, 1},
      // 夏至 2024 falls at 04:50:53 on 06-21 (丙辰 53: 中元): at 04:00 the
      // term is still 芒种 (中元 阳遁三局), at 06:00 夏至 (中元 阴遁三局).
      {2024, 6, 21, 4, 9, 1, 3, 1},
      {2024, 6, 21, 6, 10, 1, 3, 0},
  };
  for (bool flying : {false, true})
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << c.y << "-" << c.m << "-" << c.d << " " << c.h
                                      << (flying ? " flying" : " rotating"));
      const TOrvQimen chart = Chart(flying, c.y, c.m, c.d, c.h);
      EXPECT_EQ(chart.CurrentTerm, c.term);
      EXPECT_EQ(chart.Yuan, c.yuan);
      EXPECT_EQ(chart.Ju, c.ju);
      EXPECT_EQ(chart.Yang, c.yang);
    }
}

// 夏至上元, 阴遁九局: 戊 in 离, 己 in 艮, 庚 in 兑, 辛 in 乾, 壬 in the centre,
// 癸 in 巽, 丁 in 震, 丙 in 坤, 乙 in 坎.
TEST(QimenArrange, SummerSolsticeUpperYuanIsYinNine) {
  const TOrvQimen chart = Chart(false, 2024, 6, 29, 12);
  EXPECT_EQ(chart.Ju, 9);
  EXPECT_EQ(chart.Yang, 0);
  EXPECT_EQ(Row(chart, P::kEarthStems), "壬乙己丁癸戊丙庚辛");
}

// 阳遁一局 at the hour 甲子 (2024-02-10 00:00, ju forced): the 伏吟 chart.
// 戊 stands in 坎 on both plates, the chief is 蓬 and the envoy 休, and the
// stars and doors stand at home; the heaven stems equal the earth stems in
// all nine palaces when flying, in the eight outer ones when rotating.
TEST(QimenPlace, HiddenChartAtYangOneHourJiazi) {
  const std::string earth = "壬戊丙庚辛乙己丁癸";
  {
    const TOrvQimen chart = Chart(false, 2024, 2, 10, 0, 1);
    EXPECT_EQ(Row(chart, P::kEarthStems), earth);
    EXPECT_EQ(Row(chart, P::kHeavenStems), "　戊丙庚辛乙己丁癸");
    EXPECT_EQ(Row(chart, P::kStars), "禽蓬任冲辅英芮柱心");
    EXPECT_EQ(Row(chart, P::kDoors), "　休生伤杜景死惊开");
    EXPECT_EQ(Row(chart, P::kDeities), "　符蛇阴合勾朱地天");
    EXPECT_EQ(Row(chart, P::kEarthDeities), "　　　　　　　　　");
    EXPECT_EQ(NameOf(chart.ChiefStar), "蓬");
    EXPECT_EQ(NameOf(chart.EnvoyDoor), "休");
    EXPECT_EQ(chart.ChiefPalace, kRingKan);
    EXPECT_EQ(chart.HourPalace, kRingKan);
    EXPECT_EQ(chart.EnvoyPalace, kRingKan);
    EXPECT_EQ(chart.CentrePalace, kRingKun);
  }
  {
    const TOrvQimen chart = Chart(true, 2024, 2, 10, 0, 1);
    EXPECT_EQ(Row(chart, P::kEarthStems), earth);
    EXPECT_EQ(Row(chart, P::kHeavenStems), earth);
    EXPECT_EQ(Row(chart, P::kStars), "禽蓬任冲辅英芮柱心");
    EXPECT_EQ(Row(chart, P::kDoors), "中休生伤杜景死惊开");
    // 符 蛇 阴 合 勾 常 朱 地 天 from 坎 through Luoshu 1-9.
    EXPECT_EQ(Row(chart, P::kDeities), "勾符地阴合天蛇朱常");
    EXPECT_EQ(Row(chart, P::kEarthDeities), "勾符地阴合天蛇朱常");
    EXPECT_EQ(NameOf(chart.ChiefStar), "蓬");
    EXPECT_EQ(NameOf(chart.EnvoyDoor), "休");
    EXPECT_EQ(chart.EnvoyPalace, 0);  // Luoshu 1, counted from 0
  }
}

// 阳遁一局, hour 丙寅 (2024-02-10 03:00), rotating: the heaven plate is the
// earth plate turned one ring step clockwise (戊 over 艮), 蓬 in 艮 and 禽 in
// the centre; the envoy 休 moves two Luoshu steps to 震 and the doors follow
// the ring from there; the deities start with 符 in 艮.
TEST(QimenPlace, YangOneHourBingyinRotating) {
  const TOrvQimen chart = Chart(false, 2024, 2, 10, 3, 1);
  EXPECT_EQ(chart.HourPalace, kRingGen);
  EXPECT_EQ(Row(chart, P::kHeavenStems), "　癸戊丙庚辛乙己丁");
  EXPECT_EQ(Row(chart, P::kStars), "禽心蓬任冲辅英芮柱");
  EXPECT_EQ(chart.EnvoyPalace, kRingZhen);
  EXPECT_EQ(Row(chart, P::kDoors), "　惊开休生伤杜景死");
  EXPECT_EQ(Row(chart, P::kDeities), "　天符蛇阴合勾朱地");
  // 坤's earth stem 己 is carried to 兑.
  EXPECT_EQ(chart.CentrePalace, kRingDui);
}

// Yin dun turns the deities counter-clockwise: 阴遁九局 (2024-06-29, 甲子
// day), hour 庚午: 庚 stands in 兑; chief 英 of 离.
TEST(QimenPlace, YinNineHourGengwuRotating) {
  const TOrvQimen chart = Chart(false, 2024, 6, 29, 12);
  EXPECT_EQ(chart.ChiefPalace, kRingLi);
  EXPECT_EQ(chart.HourPalace, kRingDui);
  // s = 离 5, t = 兑 7: heaven[7 + k] = earth[5 + k].
  EXPECT_EQ(Row(chart, P::kHeavenStems), "　庚辛乙己丁癸戊丙");
  EXPECT_EQ(Row(chart, P::kStars), "禽柱心蓬任冲辅英芮");
  // Envoy 景 moves six steps back from Luoshu 9 to Luoshu 3 震; d = 5 - 3.
  EXPECT_EQ(chart.EnvoyPalace, kRingZhen);
  EXPECT_EQ(Row(chart, P::kDoors), "　伤杜景死惊开休生");
  // 符 in 兑, then 蛇 坤, 阴 离, 合 巽, 虎 震, 玄 艮, 地 坎, 天 乾.
  EXPECT_EQ(Row(chart, P::kDeities), "　地玄虎合阴蛇符天");
  // 坤's earth stem 丙 is carried to 乾.
  EXPECT_EQ(chart.CentrePalace, kRingQian);
}

// The chief's home in the centre: 阳遁一局 forced, hour 乙巳 of 2024-02-13
// (丁未 day), xun 甲辰 hidden by 壬, which stands in the centre; 乙 in 离.
TEST(QimenPlace, ChiefInTheCentre) {
  {
    const TOrvQimen chart = Chart(false, 2024, 2, 13, 10, 1);
    EXPECT_EQ(chart.ChiefPalace, kRingCentre);
    EXPECT_EQ(chart.HourPalace, kRingLi);
    EXPECT_EQ(NameOf(chart.ChiefStar), "禽");
    // What moves is 坤's: its stem 己 and star 芮 land in 离.
    EXPECT_EQ(Row(chart, P::kHeavenStems), "　丙庚辛乙己丁癸戊");
    EXPECT_EQ(Row(chart, P::kStars), "禽任冲辅英芮柱心蓬");
    // 中 reads 死, the door of 坤; the envoy moves one step to Luoshu 6 乾.
    EXPECT_EQ(NameOf(chart.EnvoyDoor), "死");
    EXPECT_EQ(chart.EnvoyPalace, kRingQian);
    EXPECT_EQ(Row(chart, P::kDoors), "　惊开休生伤杜景死");
    EXPECT_EQ(Row(chart, P::kDeities), "　勾朱地天符蛇阴合");
    EXPECT_EQ(chart.CentrePalace, kRingLi);
  }
  {
    const TOrvQimen chart = Chart(true, 2024, 2, 13, 10, 1);
    EXPECT_EQ(NameOf(chart.ChiefStar), "禽");
    EXPECT_EQ(NameOf(chart.EnvoyDoor), "中");
    EXPECT_EQ(chart.EnvoyPalace, 5);  // Luoshu 6, counted from 0
    EXPECT_EQ(Row(chart, P::kHeavenStems), "戊癸辛丙乙壬丁庚己");
    EXPECT_EQ(Row(chart, P::kStars), "蓬心辅任英禽柱冲芮");
    EXPECT_EQ(Row(chart, P::kDoors), "杜景惊死伤生休开中");
    EXPECT_EQ(Row(chart, P::kDeities), "常蛇天合勾符阴地朱");
    EXPECT_EQ(Row(chart, P::kEarthDeities), "符常合地天勾朱阴蛇");
  }
}

// The hour stem in the centre, rotating: 壬申 of 2024-02-10 in 阳遁一局. The
// hour palace stays 0; the stems, the stars and the deities start from 坤.
TEST(QimenPlace, HourStemInTheCentreRotating) {
  const TOrvQimen chart = Chart(false, 2024, 2, 10, 15, 1);
  EXPECT_EQ(chart.HourPalace, kRingCentre);
  EXPECT_EQ(Row(chart, P::kHeavenStems), "　辛乙己丁癸戊丙庚");
  EXPECT_EQ(Row(chart, P::kStars), "禽辅英芮柱心蓬任冲");
  // Envoy 休 moves eight steps to Luoshu 9 离.
  EXPECT_EQ(chart.EnvoyPalace, kRingLi);
  EXPECT_EQ(Row(chart, P::kDoors), "　景死惊开休生伤杜");
  EXPECT_EQ(Row(chart, P::kDeities), "　合勾朱地天符蛇阴");
  EXPECT_EQ(chart.CentrePalace, kRingZhen);
}

// A forced ju replaces the ju and the dun only; 0 or less, and anything
// above 18, is ignored.
TEST(QimenForceJu, SelectsDunAndJuAndKeepsTermAndYuan) {
  struct {
    int value, ju, yang;
    const char* earth;  // ring order
  } cases[] = {
      {1, 1, 1, "壬戊丙庚辛乙己丁癸"},
      {9, 9, 1, "癸己乙辛壬戊庚丙丁"},   // 戊 in 离, 己 in 坎, 庚 in 坤
      {10, 1, 0, "癸戊庚丙丁己乙辛壬"},  // 戊 in 坎, 己 in 离, 庚 in 艮
      {18, 9, 0, "壬乙己丁癸戊丙庚辛"},
      {0, 2, 1, "辛乙丁己庚丙戊癸壬"},   // the date's own: 阳遁二局
      {-1, 2, 1, "辛乙丁己庚丙戊癸壬"},
      {19, 2, 1, "辛乙丁己庚丙戊癸壬"},
      {1000, 2, 1, "辛乙丁己庚丙戊癸壬"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    const TOrvQimen chart = Chart(false, 2024, 2, 10, 12, c.value);
    EXPECT_EQ(chart.Ju, c.ju);
    EXPECT_EQ(chart.Yang, c.yang);
    EXPECT_EQ(chart.CurrentTerm, 1);
    EXPECT_EQ(chart.Yuan, 2);
    EXPECT_EQ(Row(chart, P::kEarthStems), c.earth);
  }
}

// Invariants of every chart, whatever the hour, the ju and the placement:
// each plate holds its symbols once; the chief's star and stem stand over the
// hour palace and 符 leads there; the envoy door stands in the envoy palace.
TEST(QimenPlace, InvariantsOverEveryHourAndJu) {
  const std::array<int, 9> stems = {2, 3, 4, 5, 6, 7, 8, 9, 10};
  const std::array<int, 9> stars = {176, 177, 178, 179, 180, 181, 182, 183, 184};
  const std::array<int, 9> doors = {168, 169, 170, 171, 172, 173, 174, 175, 189};
  auto sorted = [](std::array<int32_t, 9> plate, int from) {
    std::sort(plate.begin() + from, plate.end());
    return std::array<int, 9>{plate[0], plate[1], plate[2], plate[3], plate[4],
                              plate[5], plate[6], plate[7], plate[8]};
  };
  const Moment first = EncodeDateTime(2024, 2, 10, 0, 0);
  for (bool flying : {false, true})
    for (int hour = 0; hour < 60 * 12; ++hour) {
      TOrvQimen chart;
      chart.SetPlacement(flying);
      chart.SetDate(first + Hours{2 * hour + 1});
      chart.Arrange();
      for (int ju = 1; ju <= 18; ++ju) {
        chart.ForceJu(ju);
        SCOPED_TRACE(testing::Message() << (flying ? "flying" : "rotating") << " ju " << ju
                                        << " hour " << hour);
        const auto& pl = chart.Plates;
        EXPECT_EQ(sorted(pl[P::kEarthStems], 0), stems);
        const int hourStem = chart.HourPillar.Stem == 1 ? chart.XunStem : chart.HourPillar.Stem;
        EXPECT_EQ(pl[P::kEarthStems][chart.HourPalace], hourStem);
        EXPECT_EQ(pl[P::kEarthStems][chart.ChiefPalace], chart.XunStem);
        if (flying) {
          EXPECT_EQ(sorted(pl[P::kHeavenStems], 0), stems);
          EXPECT_EQ(sorted(pl[P::kStars], 0), stars);
          EXPECT_EQ(sorted(pl[P::kDoors], 0), doors);
          EXPECT_EQ(pl[P::kHeavenStems][chart.HourPalace], chart.XunStem);
          EXPECT_EQ(pl[P::kStars][chart.HourPalace], chart.ChiefStar);
          EXPECT_EQ(pl[P::kDoors][RingOfLuoshu(chart.EnvoyPalace + 1)], chart.EnvoyDoor);
          EXPECT_EQ(pl[P::kDeities][chart.HourPalace], kDeityChief);
          EXPECT_EQ(pl[P::kEarthDeities][chart.ChiefPalace], kDeityChief);
        } else {
          const int t = chart.HourPalace == 0 ? kRingKun : chart.HourPalace;
          const int s = chart.ChiefPalace == 0 ? kRingKun : chart.ChiefPalace;
          EXPECT_EQ(pl[P::kHeavenStems][0], 0);
          EXPECT_EQ(pl[P::kHeavenStems][t], pl[P::kEarthStems][s]);
          EXPECT_EQ(pl[P::kStars][0], kStarQin);
          EXPECT_EQ(pl[P::kDoors][0], 0);
          EXPECT_EQ(pl[P::kDeities][0], 0);
          EXPECT_EQ(pl[P::kStars][t], s == chart.ChiefPalace ? chart.ChiefStar : kStarRui);
          EXPECT_EQ(pl[P::kDoors][chart.EnvoyPalace], chart.EnvoyDoor);
          EXPECT_NE(chart.EnvoyDoor, kDoorCentre);
          EXPECT_EQ(pl[P::kDeities][t], kDeityChief);
          EXPECT_EQ(pl[P::kHeavenStems][chart.CentrePalace], pl[P::kEarthStems][kRingKun]);
          EXPECT_GE(chart.CentrePalace, 1);
        }
        if (HasFailure()) return;
      }
    }
}

}  // namespace
}  // namespace orv
