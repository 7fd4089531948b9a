// The Four Pillars derivation: hidden stems, ten gods, growth stages, life
// palace, luck direction and start, luck pillars and the spirit rules.
// Expected values are worked out by hand from the rule tables.
#include "methods/bazi/bazi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/dates.h"
#include "calendar/solar_terms.h"
#include "calendar/text.h"

namespace orv {
namespace {

// Stem or branch code of one character ("甲" 1 … "亥" 22).
int C(std::string_view name) {
  for (int code = 1; code <= 22; ++code)
    if (NameOf(code) == name) return code;
  ADD_FAILURE() << "not a stem or branch";
  return 0;
}

Pillar P(std::string_view name) { return {C(name.substr(0, 2)), C(name.substr(2, 2))}; }

std::array<Pillar, 4> Pillars(std::string_view year, std::string_view month, std::string_view day,
                              std::string_view hour) {
  return {P(year), P(month), P(day), P(hour)};
}

// Which pillars (bit 0 year, 1 month, 2 day, 3 hour) carry spirit n.
int MaskOf(const SpiritList& spirits, int n) {
  int mask = 0;
  for (const auto& slot : spirits)
    for (int p = 0; p < 4; ++p)
      if (slot[p] == n) mask |= 1 << p;
  return mask;
}

std::vector<std::string> NamesOnPillar(const SpiritList& spirits, int pillar) {
  std::vector<std::string> names;
  for (const auto& slot : spirits)
    if (slot[pillar] != 0) names.emplace_back(SpiritNames[slot[pillar]]);
  return names;
}

TOrvBazi Chart(Moment date, bool male) {
  TOrvBazi chart;
  chart.SetDate(date);
  chart.SetMale(male);
  chart.Derive();
  return chart;
}

constexpr int kYearBit = 1, kMonthBit = 2, kDayBit = 4, kHourBit = 8;

// Which stems each branch hides, as the rhyme 地支藏干歌 tells them:
//   子宫癸水在其中，丑癸辛金己土同；寅宫甲木兼丙戊，卯宫乙木独相逢；
//   辰藏乙戊三分癸，巳中庚金丙戊丛；午宫丁火并己土，未宫乙己丁共宗；
//   申位庚金壬水戊，酉宫辛字独丰隆；戌宫辛金及丁戊，亥藏壬甲是真踪。
// Their places: the main stem (本气, the branch's own element) comes first,
// 午 adding 己 after it; a branch with one stem keeps it in the middle slot.
// In 寅 申 巳 亥 the second slot holds the yang stem born (长生) there and
// the third 戊 where the rhyme names it; in the
// storehouse branches 辰 戌 丑 未 the second holds the lingering stem, the
// main stem of the branch before (卯 乙, 酉 辛, 子 癸, 午 丁), and the third
// the yin stem of the element stored there (水 癸, 火 丁, 金 辛, 木 乙).
TEST(BaziRules, HiddenStems) {
  struct {
    const char* branch;
    const char* rhyme;  // the stems the rhyme names, in its order
    const char* slots;  // the places worked out above, "·" for an empty slot
  } cases[] = {
      {"子", "癸", "·癸·"},     {"丑", "癸辛己", "己癸辛"}, {"寅", "甲丙戊", "甲丙戊"},
      {"卯", "乙", "·乙·"},     {"辰", "乙戊癸", "戊乙癸"}, {"巳", "庚丙戊", "丙庚戊"},
      {"午", "丁己", "丁己·"},  {"未", "乙己丁", "己丁乙"}, {"申", "庚壬戊", "庚壬戊"},
      {"酉", "辛", "·辛·"},     {"戌", "辛丁戊", "戊辛丁"}, {"亥", "壬甲", "壬甲·"},
  };
  // Splits a string of two-byte characters; "·" is an empty slot.
  const auto codes = [](std::string_view chars) {
    std::vector<int> out;
    for (std::size_t i = 0; i + 2 <= chars.size(); i += 2)
      out.push_back(chars.substr(i, 2) == "·" ? 0 : C(chars.substr(i, 2)));
    return out;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.branch);
    const std::array<int, 3> hidden = HiddenStems(C(c.branch));
    std::vector<int> named = codes(c.rhyme), held;
    for (const int stem : hidden)
      if (stem != 0) held.push_back(stem);
    std::sort(named.begin(), named.end());
    std::sort(held.begin(), held.end());
    EXPECT_EQ(held, named);
    EXPECT_EQ(std::vector<int>(hidden.begin(), hidden.end()), codes(c.slots));
    const int main = hidden[0] != 0 ? hidden[0] : hidden[1];
    EXPECT_EQ(ElementOf(main), ElementOf(C(c.branch)));
  }
  EXPECT_EQ(HiddenStems(0), (std::array<int, 3>{0, 0, 0}));
}

TEST(BaziRules, TenGods) {
  struct {
    const char* day;
    const char* other;
    int god;
  } cases[] = {
      {"甲", "甲", kBiJian},    {"甲", "乙", kJieCai},     {"甲", "丙", kShiShen},
      {"甲", "丁", kShangGuan}, {"甲", "戊", kPianCai},    {"甲", "己", kZhengCai},
      {"甲", "庚", kQiSha},     {"甲", "辛", kZhengGuan},  {"甲", "壬", kPianYin},
      {"甲", "癸", kZhengYin},  {"戊", "癸", kZhengCai},   {"戊", "壬", kPianCai},
      {"癸", "戊", kZhengGuan}, {"癸", "己", kQiSha},      {"丁", "甲", kZhengYin},
      {"辛", "丁", kQiSha},     {"庚", "壬", kShiShen},    {"己", "庚", kShangGuan},
      // Branches by their element and the parity of their code.
      {"甲", "子", kPianYin},   {"甲", "亥", kZhengYin},   {"丙", "午", kBiJian},
      {"丙", "巳", kJieCai},    {"戊", "丑", kJieCai},     {"庚", "寅", kPianCai},
  };
  for (const auto& c : cases) EXPECT_EQ(TenGodOf(C(c.day), C(c.other)), c.god) << c.day << c.other;
  EXPECT_EQ(TenGodOf(0, C("甲")), kNoTenGod);
  EXPECT_EQ(TenGodOf(C("甲"), 0), kNoTenGod);
}

TEST(BaziRules, GrowthStages) {
  constexpr int kChangSheng = 141, kDiWangStage = 145, kMu = 149, kYang = 152;
  struct {
    const char* stem;
    const char* branch;
    int stage;
  } cases[] = {
      {"甲", "亥", kChangSheng}, {"乙", "午", kChangSheng}, {"丙", "寅", kChangSheng},
      {"丁", "酉", kChangSheng}, {"戊", "寅", kChangSheng}, {"己", "酉", kChangSheng},
      {"庚", "巳", kChangSheng}, {"辛", "子", kChangSheng}, {"壬", "申", kChangSheng},
      {"癸", "卯", kChangSheng}, {"甲", "卯", kDiWangStage}, {"乙", "寅", kDiWangStage},
      {"戊", "午", kDiWangStage}, {"己", "巳", kDiWangStage}, {"甲", "未", kMu},
      {"癸", "未", kMu},          {"辛", "丑", kYang},       {"庚", "辰", kYang},
      {"戊", "亥", 150},          {"戊", "丑", kYang},       {"戊", "辰", 143},
  };
  for (const auto& c : cases)
    EXPECT_EQ(GrowthStageOf(C(c.stem), C(c.branch)), c.stage) << c.stem << c.branch;
}

TEST(BaziRules, LifePalace) {
  EXPECT_EQ(LifePalaceOf(C("寅"), C("子")), C("卯"));
  EXPECT_EQ(LifePalaceOf(C("寅"), C("丑")), C("寅"));
  EXPECT_EQ(LifePalaceOf(C("丑"), C("午")), C("戌"));
  EXPECT_EQ(LifePalaceOf(C("寅"), C("辰")), C("亥"));  // Wrap gives 12, never 0
  EXPECT_EQ(LifePalaceOf(C("卯"), C("酉")), C("巳"));
}

TEST(BaziRules, AddSpiritNeverDuplicatesAndStopsAtTen) {
  SpiritList spirits{};
  for (int n = 1; n <= 12; ++n) {
    AddSpirit(spirits, n, 3);
    AddSpirit(spirits, n, 3);
  }
  AddSpirit(spirits, 7, 1);
  for (int slot = 0; slot < kSpiritSlots; ++slot) {
    EXPECT_EQ(spirits[slot][3], slot + 1);
    EXPECT_EQ(spirits[slot][0], 0);
    EXPECT_EQ(spirits[slot][2], 0);
  }
  EXPECT_EQ(spirits[0][1], 7);
  EXPECT_EQ(spirits[1][1], 0);
}

// One spirit on given pillars: every case worked out from its rule row.
TEST(BaziRules, SpiritRules) {
  struct {
    const char* pillars[4];
    bool forward;
    int spirit;
    int mask;
  } cases[] = {
      {{"甲子", "丙寅", "壬辰", "庚子"}, true, kKuiGang, kDayBit},
      {{"甲子", "丙寅", "壬戌", "庚子"}, true, kKuiGang, 0},
      // 天赦 by season: 寅卯辰 戊寅, 巳午未 甲午, 申酉戌 戊申, 亥子丑 甲子.
      {{"甲子", "庚午", "甲午", "甲子"}, true, kTianShe, kDayBit},
      {{"甲子", "丙寅", "甲午", "甲子"}, true, kTianShe, 0},
      {{"甲子", "戊辰", "戊寅", "壬子"}, true, kTianShe, kDayBit},
      {{"甲子", "己巳", "戊寅", "壬子"}, true, kTianShe, 0},
      {{"甲子", "癸酉", "戊申", "壬子"}, true, kTianShe, kDayBit},
      {{"甲子", "丙子", "甲子", "甲子"}, true, kTianShe, kDayBit},
      {{"甲子", "丁丑", "甲子", "甲子"}, true, kTianShe, kDayBit},
      // 金神 on the day and on the hour pillar.
      {{"甲子", "丙寅", "甲子", "乙丑"}, true, kJinShen, kHourBit},
      {{"甲子", "丙寅", "己巳", "癸酉"}, true, kJinShen, kDayBit | kHourBit},
      // 三奇 in order only: year-month-day marks the year, month-day-hour the month.
      {{"甲子", "戊辰", "庚午", "丙子"}, true, kSanQi, kYearBit},
      {{"丁卯", "壬寅", "癸亥", "辛酉"}, true, kSanQi, kMonthBit},
      {{"庚子", "戊寅", "甲子", "甲子"}, true, kSanQi, 0},
      // 孤鸾 needs the day and the hour pillar in its set.
      {{"甲子", "丙寅", "丁巳", "丙午"}, true, kGuLuan, kDayBit},
      {{"甲子", "丙寅", "丁巳", "丁未"}, true, kGuLuan, 0},
      // 四废: day stem and branch of the season's element.
      {{"甲子", "丙寅", "庚申", "丙子"}, true, kSiFei, kDayBit},
      {{"甲子", "丙寅", "庚辰", "丙子"}, true, kSiFei, 0},
      {{"甲子", "癸酉", "甲寅", "甲子"}, true, kSiFei, kDayBit},
      // 勾煞 and 绞煞 change places with the direction.
      {{"甲子", "丁卯", "癸酉", "壬子"}, true, kGouSha, kMonthBit},
      {{"甲子", "丁卯", "癸酉", "壬子"}, true, kJiaoSha, kDayBit},
      {{"甲子", "丁卯", "癸酉", "壬子"}, false, kGouSha, kDayBit},
      {{"甲子", "丁卯", "癸酉", "壬子"}, false, kJiaoSha, kMonthBit},
      // 元辰 reads its forward or its backward list.
      {{"甲子", "辛未", "乙巳", "丙子"}, true, kYuanChen, kMonthBit},
      {{"甲子", "辛未", "乙巳", "丙子"}, false, kYuanChen, kDayBit},
      // 天罗 and 地网, each key marking the other pillar.
      {{"癸亥", "甲寅", "甲戌", "甲子"}, true, kTianLuo, kYearBit | kDayBit},
      {{"甲辰", "丙寅", "乙巳", "丙子"}, true, kDiWang, kYearBit | kDayBit},
      // Others only: a key pillar is not marked by its own key.
      {{"甲辰", "丙寅", "乙丑", "丙子"}, true, kHuaGai, 0},
      {{"甲辰", "丙寅", "壬辰", "庚子"}, true, kHuaGai, kYearBit | kDayBit},
      // Not others only: 驿马 of 子 is 寅, of 寅 申.
      {{"庚子", "戊寅", "戊寅", "丙辰"}, true, kYiMa, kMonthBit | kDayBit},
      // 学堂 and 词馆 by the year stem and by the day stem.
      {{"甲子", "乙亥", "己亥", "甲子"}, true, kXueTang, kDayBit},
      {{"甲子", "丙寅", "庚寅", "丙子"}, true, kCiGuan, kDayBit},
      {{"甲子", "丙寅", "丙寅", "庚寅"}, true, kXueTang, kMonthBit | kDayBit},
      // The month branch 寅: 天德 丁, 月德 丙, 天医 丑.
      {{"甲子", "丙寅", "丁丑", "庚子"}, true, kTianDe, kDayBit},
      {{"甲子", "丙寅", "丁丑", "庚子"}, true, kYueDe, kMonthBit},
      {{"甲子", "丙寅", "丁丑", "庚子"}, true, kTianYi, kDayBit},
      {{"甲子", "丙寅", "甲辰", "甲子"}, true, kShiEDaBai, kDayBit},
      {{"甲子", "丙寅", "丙子", "戊子"}, true, kYinChaYangCuo, kDayBit},
      {{"癸亥", "甲寅", "甲子", "甲戌"}, true, kKongWang, kYearBit | kHourBit},
      // 贵人 of a 癸 day stem is 巳 and 卯; of a 癸 year the same.
      {{"癸卯", "乙卯", "癸巳", "丁巳"}, true, kGuiRen, kYearBit | kMonthBit | kDayBit | kHourBit},
  };
  for (const auto& c : cases) {
    const auto pillars = Pillars(c.pillars[0], c.pillars[1], c.pillars[2], c.pillars[3]);
    EXPECT_EQ(MaskOf(SpiritsOf(pillars, c.forward), c.spirit), c.mask)
        << c.pillars[0] << c.pillars[1] << c.pillars[2] << c.pillars[3] << " spirit " << c.spirit
        << (c.forward ? " forward" : " backward");
  }
}

// 辛未 戊戌 甲辰 丙寅, forward: eleven rules hit the hour pillar; the
// eleventh (空亡, the void branches 寅卯 of 甲辰) finds no free slot.
TEST(BaziRules, ASpiritListHoldsTenAtMost) {
  const SpiritList spirits = SpiritsOf(Pillars("辛未", "戊戌", "甲辰", "丙寅"), true);
  EXPECT_EQ(NamesOnPillar(spirits, 3),
            (std::vector<std::string>{"贵人", "太极", "福星", "驿马", "禄神", "天德", "月德",
                                      "天喜", "亡神", "元辰"}));
  EXPECT_EQ(MaskOf(spirits, kKongWang), 0);
}

TEST(TOrvBazi, GridOfTheWorkedExample) {
  const TOrvBazi c = Chart(EncodeDateTime(1984, 2, 4, 12, 0), true);
  const auto& g = c.Grid;
  EXPECT_EQ(g[0], (std::array<int, 4>{C("癸"), C("乙"), C("戊"), C("戊")}));
  EXPECT_EQ(g[1], (std::array<int, 4>{C("亥"), C("丑"), C("辰"), C("午")}));
  EXPECT_EQ(g[2], (std::array<int, 4>{C("壬"), C("己"), C("戊"), C("丁")}));
  EXPECT_EQ(g[3], (std::array<int, 4>{C("甲"), C("癸"), C("乙"), C("己")}));
  EXPECT_EQ(g[4], (std::array<int, 4>{0, C("辛"), C("癸"), 0}));
  EXPECT_EQ(g[5], (std::array<int, 4>{kZhengCai, kZhengGuan, kNoTenGod, kBiJian}));
  // Row 6: the branches' ten gods (亥 yin water, 丑 yin earth, 辰 yang earth, 午 yang fire).
  EXPECT_EQ(g[6], (std::array<int, 4>{kZhengCai, kJieCai, kBiJian, kPianYin}));
  EXPECT_EQ(g[7], (std::array<int, 4>{kPianCai, kJieCai, kBiJian, kZhengYin}));
  EXPECT_EQ(g[8], (std::array<int, 4>{kQiSha, kZhengCai, kZhengGuan, kJieCai}));
  EXPECT_EQ(g[9], (std::array<int, 4>{kNoTenGod, kShangGuan, kZhengCai, kNoTenGod}));
  EXPECT_EQ(g[10], (std::array<int, 4>{0, 0, 0, 0}));
  EXPECT_EQ(g[11], (std::array<int, 4>{150, 152, 143, 145}));  // 绝 养 冠带 帝旺
  EXPECT_EQ(c.LifePalace, C("戌"));
  EXPECT_EQ(c.Forward, 0);
}

TEST(TOrvBazi, Direction) {
  struct {
    int y, m, d, h, mi;
    bool male;
    int forward;
  } cases[] = {
      {1984, 3, 1, 12, 0, true, 1},    // 甲 year, man
      {1984, 3, 1, 12, 0, false, 0},   // 甲 year, woman
      {1984, 2, 4, 23, 10, true, 0},   // before 立春: 癸亥 year, man
      {1984, 2, 4, 23, 30, true, 1},   // after it: 甲子
      {2023, 3, 29, 17, 0, false, 1},  // 癸 year, woman
  };
  for (const auto& c : cases)
    EXPECT_EQ(Chart(EncodeDateTime(c.y, c.m, c.d, c.h, c.mi), c.male).Forward, c.forward)
        << c.y << "-" << c.m << "-" << c.d << " " << c.h << ":" << c.mi << (c.male ? " man" : " woman");
}

TEST(TOrvBazi, LuckPillars) {
  // 1984-02-20: 甲子 year, 丙寅 month.
  const TOrvBazi man = Chart(EncodeDateTime(1984, 2, 20, 12, 0), true);
  const TOrvBazi woman = Chart(EncodeDateTime(1984, 2, 20, 12, 0), false);
  ASSERT_EQ(man.MonthPillar, P("丙寅"));
  EXPECT_EQ(man.LuckPillar(0), P("丁卯"));
  EXPECT_EQ(man.LuckPillar(6), P("癸酉"));
  EXPECT_EQ(woman.LuckPillar(0), P("乙丑"));
  EXPECT_EQ(woman.LuckPillar(1), P("甲子"));
  EXPECT_EQ(woman.LuckPillar(2), P("癸亥"));  // across cycle number 60
  EXPECT_EQ(woman.LuckPillar(6), P("己未"));
}

TEST(TOrvBazi, LuckStartAtASectionalTermInstant) {
  // 惊蛰 1924 (甲子 year) at 04:12, a whole minute: the instant itself counts
  // as the next term. 立春 1924 was at 02-05 09:50, 29 days 18:22 before:
  // 2,571,720 s, times 120.
  const Moment jie = EncodeDateTime(1924, 3, 6, 4, 12);
  ASSERT_EQ(SolarTermInstant(1924, 3, 0), TermInstant{jie});
  const TOrvBazi forward = Chart(jie, true);
  EXPECT_EQ(forward.Forward, 1);
  EXPECT_EQ(forward.MonthPillar, P("丁卯"));
  EXPECT_EQ(forward.LuckOffset, Seconds{0});
  EXPECT_EQ(forward.LuckStart, jie);
  EXPECT_EQ(forward.LuckStartAge, 0);
  EXPECT_EQ(forward.LuckStartYear, 1924);
  EXPECT_EQ(forward.LuckPillar(0), P("戊辰"));
  const TOrvBazi backward = Chart(jie, false);
  EXPECT_EQ(backward.Forward, 0);
  EXPECT_EQ(backward.LuckOffset, Seconds{2571720} * 120);
}

TEST(TOrvBazi, LuckStartFromTheSurroundingTerms) {
  // 4.5 days before 清明 1923 (04-06 03:46, a whole minute): 540 days, one
  // whole year.
  const Moment qingming = EncodeDateTime(1923, 4, 6, 3, 46);
  ASSERT_EQ(SolarTermInstant(1923, 4, 0), TermInstant{qingming});
  const Moment early = qingming - Days{4} - Hours{12};
  const TOrvBazi chart = Chart(early, false);  // 癸亥 year, woman: forward
  ASSERT_EQ(chart.Forward, 1);
  EXPECT_EQ(chart.LuckOffset, Days{540});
  EXPECT_EQ(chart.LuckStartAge, 1);
  EXPECT_EQ(chart.LuckStart, early + Days{540});

  // The worked example: backward from 小寒 1984-01-06 11:40:52.7, to the
  // millisecond; the luck starts in the whole second in which that falls.
  const Moment d = EncodeDateTime(1984, 2, 4, 12, 0);
  const TermInstant xiaohan = SolarTermInstant(1984, 1, 0);
  const TOrvBazi c = Chart(d, true);
  EXPECT_EQ(c.LuckOffset, std::chrono::floor<Seconds>((d - xiaohan) * 120));
  EXPECT_EQ(c.LuckStartAge, 9);
  EXPECT_EQ(c.LuckStartYear, 1993);
  EXPECT_EQ(c.LuckStart, std::chrono::floor<Seconds>(d + (d - xiaohan) * 120));

  // A December birth runs forward into January's 小寒 of the next year.
  const Moment dec = EncodeDateTime(2023, 12, 20, 12, 0);  // 癸卯 year, woman
  const TermInstant xiaohan2024 = SolarTermInstant(2024, 1, 0);
  EXPECT_EQ(Chart(dec, false).LuckOffset, std::chrono::floor<Seconds>((xiaohan2024 - dec) * 120));
}

// The age counts years of 360 days; the year is the civil year of the day
// the luck starts, counted in real days from birth. Worked out from the
// published instants 小暑 2023-07-07 16:30 and 小寒 2024-01-06 04:49.
TEST(TOrvBazi, LuckStartAgeAndYear) {
  struct {
    const char* name;
    int y, m, d, h;
    int age, year;
  } cases[] = {
      // 30.19 days before 小暑: 3622.5 days of life, ten years of 360 days
      // (but fewer than ten of 365); from 2023-06-07 that is 2033-05-08.
      {"30 days before a term", 2023, 6, 7, 12, 10, 2033},
      // 16.70 days before 小寒: 2004.1 days, five years of 360 days; from
      // 2023-12-20 that is 2029-06-15, in the sixth civil year after birth.
      {"a December birth", 2023, 12, 20, 12, 5, 2029},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TOrvBazi chart = Chart(EncodeDateTime(c.y, c.m, c.d, c.h, 0), false);  // 癸卯, woman
    ASSERT_EQ(chart.Forward, 1);
    EXPECT_EQ(chart.LuckStartAge, c.age);
    EXPECT_EQ(chart.LuckStartYear, c.year);
  }
}

TEST(TOrvBazi, DeriveStartsAfreshEachTime) {
  // A chart with many spirits, then one with few: nothing of the first stays.
  TOrvBazi chart;
  chart.SetDate(EncodeDateTime(2023, 3, 29, 17, 0));
  chart.SetMale(false);
  chart.Derive();
  chart.SetDate(EncodeDateTime(1984, 2, 4, 12, 0));
  chart.SetMale(true);
  chart.Derive();
  const TOrvBazi fresh = Chart(EncodeDateTime(1984, 2, 4, 12, 0), true);
  EXPECT_EQ(chart.Spirits, fresh.Spirits);
  EXPECT_EQ(chart.Grid, fresh.Grid);
  EXPECT_EQ(chart.LuckOffset, fresh.LuckOffset);
  EXPECT_EQ(chart.Forward, fresh.Forward);
}

}  // namespace
}  // namespace orv
