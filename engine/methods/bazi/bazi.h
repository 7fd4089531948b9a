// Four Pillars chart (八字): hidden stems, ten gods, growth stages, luck
// pillars, life palace and the spirits of each pillar, and the chart text.
#pragma once

#include <array>
#include <cstdint>

#include "calendar/base.h"
#include "calendar/codes.h"
#include "calendar/dates.h"
#include "calendar/json_writer.h"
#include "calendar/text.h"

namespace orv {

// Ten-god numbers (names in names.h).
enum TenGod {
  kNoTenGod = 0, kZhengCai = 1, kPianCai = 2, kShangGuan = 3, kShiShen = 4, kJieCai = 5,
  kBiJian = 6, kZhengYin = 7, kPianYin = 8, kZhengGuan = 9, kQiSha = 10
};

// Spirit numbers; the names are SpiritNames below. 德秀, 拱禄 and 红艳 have
// names only: no rule attaches them.
enum Spirit {
  kNoSpirit = 0, kGuiRen = 1, kTaiJi = 2, kTianDe = 3, kYueDe = 4, kSanQi = 5, kFuXing = 6,
  kWenChang = 7, kKuiGang = 8, kGuoYin = 9, kXueTang = 10, kCiGuan = 11, kDeXiu = 12,
  kYiMa = 13, kHuaGai = 14, kJiangXing = 15, kJinYu = 16, kJinShen = 17, kTianYi = 18,
  kLuShen = 19, kGongLu = 20, kTianShe = 21, kHongLuan = 22, kTianXi = 23, kTianLuo = 24,
  kDiWang = 25, kYangRen = 26, kWangShen = 27, kJieSha = 28, kZaiSha = 29, kGouSha = 30,
  kJiaoSha = 31, kGuChen = 32, kGuaSu = 33, kYuanChen = 34, kKongWang = 35, kShiEDaBai = 36,
  kTaoHua = 37, kGuLuan = 38, kYinChaYangCuo = 39, kSiFei = 40, kHongYan = 41
};
constexpr int kSpiritCount = 42;  // numbers 0-41
inline constexpr char SpiritNames[kSpiritCount][9] = {
    "　　", "贵人", "太极", "天德", "月德", "三奇", "福星", "文昌", "魁罡", "国印", "学堂",
    "词馆", "德秀", "驿马", "华盖", "将星", "金舆", "金神", "天医", "禄神", "拱禄",
    "天赦", "红鸾", "天喜", "天罗", "地网", "羊刃", "亡神", "劫煞", "灾煞", "勾煞",
    "绞煞", "孤辰", "寡宿", "元辰", "空亡", "十恶大败", "桃花", "孤鸾", "阴差阳错", "四废",
    "红艳"};

constexpr int kSpiritSlots = 10;
// Per slot 0-9, the spirit number of each pillar (year, month, day, hour);
// 0 = empty, filled from slot 0 on.
using SpiritList = std::array<std::array<int, 4>, kSpiritSlots>;

// The stems hidden in a branch code: three slots of stem codes, 0 = none.
std::array<int, 3> HiddenStems(int branch);
// Ten god of any stem or branch code x seen from the day stem d.
int TenGodOf(int dayStem, int code);
// Growth-stage code 141-152 of stem s at branch b.
int GrowthStageOf(int stem, int branch);
// Puts spirit n into the first empty slot of pillar p, unless it is there
// already or all ten slots are taken.
void AddSpirit(SpiritList& spirits, int n, int pillar);
// Every spirit rule, in order, for the four pillars (year, month, day, hour)
// and the luck direction.
SpiritList SpiritsOf(const std::array<Pillar, 4>& pillars, bool forward);
// Branch code of the life palace of a month branch and an hour branch.
int LifePalaceOf(int monthBranch, int hourBranch);

// What the derivation of a Four Pillars chart adds to the base.
struct BaziFields {
  // Grid rows.
  static constexpr int kStemRow = 0, kBranchRow = 1, kHiddenRow = 2, kTenGodRow = 5,
                       kGrowthRow = 11;
  static constexpr int kLuckPeriods = 7;

  int Forward = 0;
  std::array<std::array<int, 4>, 12> Grid{};  // [row][pillar]
  SpiritList Spirits{};
  int LifePalace = 0;
  Seconds LuckOffset{};  // life before the first luck pillar
  Moment LuckStart;      // the moment it begins
  int LuckStartAge = 0;
  int LuckStartYear = 0;
  uint8_t Male = 1;
  std::array<Pillar, kLuckPeriods> LuckPillars{};  // LuckPillar(0) … LuckPillar(6)
};

// A Four Pillars chart as data: the base and everything Derive finds.
struct BaziChart : BaseChart, BaziFields {};

struct BaziOptions {
  bool Male = true;
};

class TOrvBazi : public TOrvBase, public BaziFields {
 public:
  // Starts without a date, a man; nothing derived.
  TOrvBazi() = default;

  void SetMale(bool male) { Male = male ? 1 : 0; }
  // Derives everything of the chart from the base (computed when the date
  // was set) and the sex.
  void Derive();
  // The pillar of luck period i (0-6).
  Pillar LuckPillar(int i) const;

 private:
  void FillGrid();
  void FindLuckStart();
};

// Casts the chart of a moment: SetDate, SetMale, Derive.
BaziChart Cast(Moment moment, const BaziOptions& options);

// The chart text (GBK, CR LF line ends).
void BaziText(const BaziChart& chart, TextWriter& out);

// The chart as data: the "chart" member of the JSON export.
void BaziJson(const BaziChart& chart, JsonWriter& out);

}  // namespace orv
