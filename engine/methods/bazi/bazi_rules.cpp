// The rule tables of the Four Pillars chart and the pure functions that read
// them: hidden stems, ten gods, growth stages, life palace and spirits.
//
// The tables are written as strings of stems and branches, one character per
// key position ("·" or "—": no value), and turned into codes while
// compiling; a character that is not a stem or a branch does not compile.
#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>

#include "bazi.h"

namespace orv {
namespace {

// ---------------------------------------------------------------------------
// Stem and branch strings to codes, at compile time. The literals are GBK,
// two bytes a character.

constexpr char kCodeChars[] = "甲乙丙丁戊己庚辛壬癸子丑寅卯辰巳午未申酉戌亥";
constexpr char kNoValue[] = "·";
constexpr char kNoValueDash[] = "—";

consteval int CodeOfChar(char a, char b) {
  if ((a == kNoValue[0] && b == kNoValue[1]) || (a == kNoValueDash[0] && b == kNoValueDash[1]))
    return 0;
  for (int i = 0; i < kBranchLast; ++i)
    if (kCodeChars[2 * i] == a && kCodeChars[2 * i + 1] == b) return i + 1;
  throw "not a stem or a branch";
}

// One value per key position (10 for stem keys, 12 for branch keys).
struct ValueList {
  std::array<int8_t, 12> Codes{};
  int Count = 0;

  constexpr ValueList() = default;
  template <std::size_t N>
  consteval ValueList(const char (&text)[N]) {
    for (std::size_t i = 0; i + 1 < N; i += 2) {
      if (Count == 12) throw "more than twelve values";
      Codes[Count++] = static_cast<int8_t>(CodeOfChar(text[i], text[i + 1]));
    }
  }
  constexpr int operator[](int position) const { return Codes[position]; }
};

// Pillars written as stem-branch pairs separated by ASCII spaces.
struct PillarList {
  std::array<Pillar, 12> Items{};
  int Count = 0;

  template <std::size_t N>
  consteval PillarList(const char (&text)[N]) {
    std::size_t i = 0;
    while (i + 1 < N) {
      if (text[i] == ' ') {
        ++i;
        continue;
      }
      if (Count == 12 || i + 4 >= N) throw "bad pillar list";
      const int stem = CodeOfChar(text[i], text[i + 1]);
      const int branch = CodeOfChar(text[i + 2], text[i + 3]);
      if (stem < kStemFirst || stem > kStemLast || branch < kBranchFirst) throw "not a pillar";
      Items[Count++] = {stem, branch};
      i += 4;
    }
  }
  constexpr const Pillar& operator[](int i) const { return Items[i]; }
  constexpr bool Contains(const Pillar& p) const {
    for (int i = 0; i < Count; ++i)
      if (Items[i] == p) return true;
    return false;
  }
};

constexpr bool IsStem(int code) { return code >= kStemFirst && code <= kStemLast; }
constexpr bool IsBranch(int code) { return code >= kBranchFirst && code <= kBranchLast; }
// Ordinal 1-12 of a branch code (子 1 … 亥 12).
constexpr int BranchOrdinal(int branch) { return branch - (kBranchFirst - 1); }

// Month index of a branch in the order 寅 (1) … 丑 (12).
constexpr int MonthIndexOf(int branch) { return Wrap(BranchOrdinal(branch) - 2, 12); }
// Season of a month branch: 0 寅卯辰, 1 巳午未, 2 申酉戌, 3 亥子丑.
constexpr int SeasonOf(int monthBranch) { return (MonthIndexOf(monthBranch) - 1) / 3; }

enum PillarIndex { kYear = 0, kMonth = 1, kDay = 2, kHour = 3 };

// ---------------------------------------------------------------------------
// Hidden stems (藏干), three slots per branch.

//                                         子丑寅卯辰巳午未申酉戌亥
constexpr ValueList kHiddenSlots[3] = {"—己甲—戊丙丁己庚—戊壬",
                                       "癸癸丙乙乙庚己丁壬辛辛甲",
                                       "—辛戊—癸戊—乙戊—丁—"};

// ---------------------------------------------------------------------------
// Ten gods by the relation of the element of x to the day stem's element.

struct TenGodRow {
  int Relation;
  int DifferentPolarity;
  int SamePolarity;
};
constexpr TenGodRow kTenGods[] = {
    {0, kJieCai, kBiJian},         // same element
    {1, kZhengYin, kPianYin},      // x generates the day stem
    {2, kZhengGuan, kQiSha},       // x controls the day stem
    {-2, kZhengCai, kPianCai},     // the day stem controls x
    {-1, kShangGuan, kShiShen},    // the day stem generates x
};

// ---------------------------------------------------------------------------
// Growth stages: the branches of 长生 沐浴 冠带 临官 帝旺 衰 病 死 墓 绝 胎 养.

struct GrowthRow {
  ValueList Stems;
  ValueList Branches;
};
constexpr GrowthRow kGrowthRows[] = {
    {"甲", "亥子丑寅卯辰巳午未申酉戌"},
    {"乙", "午巳辰卯寅丑子亥戌酉申未"},
    {"丙戊", "寅卯辰巳午未申酉戌亥子丑"},
    {"丁己", "酉申未午巳辰卯寅丑子亥戌"},
    {"庚", "巳午未申酉戌亥子丑寅卯辰"},
    {"辛", "子亥戌酉申未午巳辰卯寅丑"},
    {"壬", "申酉戌亥子丑寅卯辰巳午未"},
    {"癸", "卯寅丑子亥戌酉申未午巳辰"},
};

// Stage ordinal 1-12 by stem code and branch ordinal, from the rows above.
constexpr auto kGrowthStage = [] {
  std::array<std::array<int8_t, 13>, 11> stage{};
  for (const GrowthRow& row : kGrowthRows)
    for (int s = 0; s < row.Stems.Count; ++s)
      for (int k = 0; k < 12; ++k)
        stage[row.Stems[s]][BranchOrdinal(row.Branches[k])] = static_cast<int8_t>(k + 1);
  return stage;
}();

// ---------------------------------------------------------------------------
// Table rules of the spirits. For each key pillar the key (its stem, its
// branch, or its branch counted from 寅) picks one value from every list;
// every pillar whose stem or branch equals a value gets the spirit, except,
// for "others only", the key pillar itself.

enum KeyPillars { kYearKey = 1, kDayKey = 4, kMonthKey = 2, kYearDayKeys = kYearKey | kDayKey };
enum class Key { Stem, Branch, MonthBranch };
enum class When { Always, Forward, Backward };
constexpr bool kOthersOnly = true;
constexpr bool kAll = false;

struct TableRule {
  int Spirit;
  int Keys;  // KeyPillars
  Key KeyKind;
  bool OthersOnly;
  std::array<ValueList, 4> Lists;
  When Direction = When::Always;
};

constexpr TableRule kFirstTableRules[] = {
    {kGuiRen, kYearDayKeys, Key::Stem, kAll, {"未申酉亥丑子未寅卯巳", "丑子亥酉未申丑午巳卯"}},
    {kTaiJi, kYearDayKeys, Key::Stem, kAll,
     {"子子卯卯辰辰寅寅申申", "午午酉酉戌戌亥亥巳巳", "····丑丑····", "····未未····"}},
    {kFuXing, kYearDayKeys, Key::Stem, kAll, {"寅卯寅亥申未午巳辰卯", "子丑子······丑"}},
    {kWenChang, kYearDayKeys, Key::Stem, kAll, {"巳午申酉申酉亥子寅卯"}},
    {kGuoYin, kYearDayKeys, Key::Stem, kAll, {"戌亥丑寅丑寅辰巳未申"}},
    {kYiMa, kYearDayKeys, Key::Branch, kAll, {"寅亥申巳寅亥申巳寅亥申巳"}},
    {kHuaGai, kYearDayKeys, Key::Branch, kOthersOnly, {"辰丑戌未辰丑戌未辰丑戌未"}},
    {kJiangXing, kYearDayKeys, Key::Branch, kOthersOnly, {"子酉午卯子酉午卯子酉午卯"}},
    {kJinYu, kDayKey, Key::Stem, kAll, {"辰巳未申未申戌亥丑寅"}},
    {kLuShen, kDayKey, Key::Stem, kAll, {"寅卯巳午巳午申酉亥子"}},
    {kTianDe, kMonthKey, Key::MonthBranch, kAll, {"丁申壬辛亥甲癸寅丙乙巳庚"}},
    {kYueDe, kMonthKey, Key::MonthBranch, kAll, {"丙甲壬庚丙甲壬庚丙甲壬庚"}},
    {kTianYi, kMonthKey, Key::MonthBranch, kAll, {"丑寅卯辰巳午未申酉戌亥子"}},
};

constexpr TableRule kSecondTableRules[] = {
    {kHongLuan, kYearKey, Key::Branch, kOthersOnly, {"卯寅丑子亥戌酉申未午巳辰"}},
    {kTianXi, kYearKey, Key::Branch, kOthersOnly, {"酉申未午巳辰卯寅丑子亥戌"}},
    {kDiWang, kYearDayKeys, Key::Branch, kOthersOnly, {"····巳辰······"}},
    {kTianLuo, kYearDayKeys, Key::Branch, kOthersOnly, {"··········亥戌"}},
    {kWangShen, kYearDayKeys, Key::Branch, kOthersOnly, {"亥申巳寅亥申巳寅亥申巳寅"}},
    {kJieSha, kYearDayKeys, Key::Branch, kOthersOnly, {"巳寅亥申巳寅亥申巳寅亥申"}},
    {kTaoHua, kYearDayKeys, Key::Branch, kOthersOnly, {"酉午卯子酉午卯子酉午卯子"}},
    {kYangRen, kDayKey, Key::Stem, kAll, {"卯寅午巳午巳酉申子亥"}},
    {kZaiSha, kYearKey, Key::Branch, kOthersOnly, {"午卯子酉午卯子酉午卯子酉"}},
    // 勾煞 and 绞煞: list A, then list B; the direction decides which is which.
    {kGouSha, kYearKey, Key::Branch, kOthersOnly, {"卯辰巳午未申酉戌亥子丑寅"}, When::Forward},
    {kJiaoSha, kYearKey, Key::Branch, kOthersOnly, {"酉戌亥子丑寅卯辰巳午未申"}, When::Forward},
    {kJiaoSha, kYearKey, Key::Branch, kOthersOnly, {"卯辰巳午未申酉戌亥子丑寅"}, When::Backward},
    {kGouSha, kYearKey, Key::Branch, kOthersOnly, {"酉戌亥子丑寅卯辰巳午未申"}, When::Backward},
    {kGuChen, kYearKey, Key::Branch, kOthersOnly, {"寅寅巳巳巳申申申亥亥亥寅"}},
    {kGuaSu, kYearKey, Key::Branch, kOthersOnly, {"戌戌丑丑丑辰辰辰未未未戌"}},
    {kYuanChen, kYearKey, Key::Branch, kOthersOnly, {"未申酉戌亥子丑寅卯辰巳午"}, When::Forward},
    {kYuanChen, kYearKey, Key::Branch, kOthersOnly, {"巳午未申酉戌亥子丑寅卯辰"}, When::Backward},
};

// Checks while compiling that every list has one value per key position.
consteval bool ListsFitTheirKeys(const TableRule* rules, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const int want = rules[i].KeyKind == Key::Stem ? 10 : 12;
    if (rules[i].Lists[0].Count != want) return false;
    for (const ValueList& list : rules[i].Lists)
      if (list.Count != 0 && list.Count != want) return false;
  }
  return true;
}
static_assert(ListsFitTheirKeys(kFirstTableRules, std::size(kFirstTableRules)));
static_assert(ListsFitTheirKeys(kSecondTableRules, std::size(kSecondTableRules)));

// ---------------------------------------------------------------------------
// The other spirit rules.

// 三奇: stems of year, month, day (→ year) or month, day, hour (→ month).
constexpr ValueList kSanQiTriples[] = {"甲戊庚", "乙丙丁", "壬癸辛"};
// 魁罡: day pillars.
constexpr PillarList kKuiGangDays = "壬辰 戊戌 庚辰 庚戌";
// 天赦: the day pillar of each season 寅卯辰, 巳午未, 申酉戌, 亥子丑.
constexpr PillarList kTianSheDays = "戊寅 甲午 戊申 甲子";
// 金神: day or hour pillars.
constexpr PillarList kJinShenPillars = "乙丑 己巳 癸酉";
// 学堂 and 词馆 by stem 甲 … 癸.
constexpr PillarList kXueTangByStem = "己亥 壬午 丙寅 丁酉 戊寅 己酉 辛巳 甲子 甲申 乙卯";
constexpr PillarList kCiGuanByStem = "庚寅 辛卯 乙巳 戊午 丁巳 庚午 壬申 癸酉 癸亥 壬戌";
// 十恶大败: day pillars.
constexpr PillarList kShiEDaBaiDays = "甲辰 乙巳 壬申 丙申 丁亥 庚辰 戊戌 癸亥 辛巳 己丑";
// 孤鸾: the day pillar and the hour pillar both among these.
constexpr PillarList kGuLuanPillars = "乙巳 丁巳 辛亥 戊申 壬寅 戊午 壬子 丙午";
// 阴差阳错: day pillars.
constexpr PillarList kYinChaYangCuoDays =
    "丙子 丁丑 戊寅 辛卯 壬辰 癸巳 丙午 丁未 戊申 辛酉 壬戌 癸亥";
// 四废: the element of each season 寅卯辰, 巳午未, 申酉戌, 亥子丑.
constexpr int kSiFeiElements[4] = {kMetal, kWater, kWood, kFire};

// Position of a key in its key order, -1 when it is not such a code.
int KeyPosition(Key kind, const Pillar& p) {
  switch (kind) {
    case Key::Stem: return IsStem(p.Stem) ? p.Stem - 1 : -1;
    case Key::Branch: return IsBranch(p.Branch) ? Ordinal(p.Branch) - 1 : -1;
    case Key::MonthBranch: return IsBranch(p.Branch) ? MonthIndexOf(p.Branch) - 1 : -1;
  }
  return -1;
}

// The key positions of the four pillars for each kind of key.
using KeyPositions = std::array<std::array<int, 4>, 3>;

KeyPositions KeyPositionsOf(const std::array<Pillar, 4>& pillars) {
  KeyPositions positions{};
  for (std::size_t p = 0; p < 4; ++p) {
    positions[static_cast<std::size_t>(Key::Stem)][p] = KeyPosition(Key::Stem, pillars[p]);
    positions[static_cast<std::size_t>(Key::Branch)][p] = KeyPosition(Key::Branch, pillars[p]);
    positions[static_cast<std::size_t>(Key::MonthBranch)][p] =
        KeyPosition(Key::MonthBranch, pillars[p]);
  }
  return positions;
}

// What a list of table rules marks, made while compiling, with each rule
// as one bit (by its index in the list): for each key kind, key position
// and code, the rules whose value lists hold the code at that position;
// for each key kind and key pillar, the rules keyed by that pillar; and the
// rules for others only and for one direction.
struct RuleMasks {
  std::array<std::array<std::array<std::uint64_t, kBranchLast + 1>, 12>, 3> Holding{};
  std::array<std::array<std::uint64_t, 4>, 3> KeyedBy{};
  std::uint64_t OthersOnly = 0, Forward = 0, Backward = 0;
};

template <std::size_t N>
constexpr RuleMasks MasksOf(const TableRule (&rules)[N]) {
  static_assert(N <= 64);
  RuleMasks masks;
  for (std::size_t i = 0; i < N; ++i) {
    const TableRule& rule = rules[i];
    const std::uint64_t bit = std::uint64_t{1} << i;
    const auto kind = static_cast<std::size_t>(rule.KeyKind);
    for (std::size_t position = 0; position < 12; ++position)
      for (const ValueList& list : rule.Lists)
        if (static_cast<int>(position) < list.Count && list[static_cast<int>(position)] != 0)
          masks.Holding[kind][position][static_cast<std::size_t>(list[static_cast<int>(position)])] |= bit;
    for (std::size_t key = 0; key < 4; ++key)
      if ((rule.Keys & (1 << key)) != 0) masks.KeyedBy[kind][key] |= bit;
    if (rule.OthersOnly) masks.OthersOnly |= bit;
    if (rule.Direction == When::Forward) masks.Forward |= bit;
    if (rule.Direction == When::Backward) masks.Backward |= bit;
  }
  return masks;
}

constexpr RuleMasks kFirstMasks = MasksOf(kFirstTableRules);
constexpr RuleMasks kSecondMasks = MasksOf(kSecondTableRules);

// AddSpirit for the list SpiritsOf fills, which nothing else writes: each
// pillar's count of spirits and the set it holds are kept, so that no slot
// is searched (spirit numbers 1-63).
class SpiritFiller {
 public:
  explicit SpiritFiller(SpiritList& spirits) : spirits_(spirits) {}
  void Add(int n, int pillar) {
    assert(n > 0 && n < 64);
    const auto p = static_cast<std::size_t>(pillar);
    const std::uint64_t bit = std::uint64_t{1} << n;
    if ((held_[p] & bit) != 0 || count_[p] == kSpiritSlots) return;
    held_[p] |= bit;
    spirits_[static_cast<std::size_t>(count_[p]++)][p] = n;
  }

 private:
  SpiritList& spirits_;
  std::array<std::uint64_t, 4> held_{};
  std::array<int, 4> count_{};
};
static_assert(kSpiritCount <= 64, "a spirit number is a bit of a word");

// Applies a list of table rules: each pillar gets, in the order of the
// list, the spirits of the rules that mark it. (A rule adds its spirit to
// each pillar on its own, so marking pillar by pillar keeps the order.)
template <std::size_t N>
void ApplyTableRules(SpiritFiller& spirits, const std::array<Pillar, 4>& pillars,
                     const KeyPositions& positions, bool forward, const TableRule (&rules)[N],
                     const RuleMasks& masks) {
  const auto codeIndex = [](int code) {
    return code >= 0 && code <= kBranchLast ? static_cast<std::size_t>(code) : std::size_t{0};
  };
  const std::uint64_t apply = ~(forward ? masks.Backward : masks.Forward);
  std::array<std::uint64_t, 4> marked{};
  for (std::size_t kind = 0; kind < 3; ++kind) {
    for (std::size_t key = 0; key < 4; ++key) {
      const std::uint64_t keyed = masks.KeyedBy[kind][key] & apply;
      const int position = positions[kind][key];
      if (keyed == 0 || position < 0) continue;
      const auto& holding = masks.Holding[kind][static_cast<std::size_t>(position)];
      for (std::size_t p = 0; p < 4; ++p) {
        std::uint64_t hit =
            (holding[codeIndex(pillars[p].Stem)] | holding[codeIndex(pillars[p].Branch)]) & keyed;
        if (p == key) hit &= ~masks.OthersOnly;
        marked[p] |= hit;
      }
    }
  }
  for (std::size_t p = 0; p < 4; ++p)
    for (std::uint64_t m = marked[p]; m != 0; m &= m - 1)
      spirits.Add(rules[std::countr_zero(m)].Spirit, static_cast<int>(p));
}

bool StemsAreTriple(int a, int b, int c, const ValueList& triple) {
  return a == triple[0] && b == triple[1] && c == triple[2];
}

}  // namespace

std::array<int, 3> HiddenStems(int branch) {
  if (!IsBranch(branch)) return {0, 0, 0};
  const int k = Ordinal(branch) - 1;
  return {kHiddenSlots[0][k], kHiddenSlots[1][k], kHiddenSlots[2][k]};
}

namespace {

constexpr int TenGodByRule(int dayStem, int code) {
  if (dayStem == 0 || code == 0) return kNoTenGod;
  const int r = Relation(ElementOf(dayStem), ElementOf(code));
  const bool same = SamePolarity(dayStem, code);
  for (const TenGodRow& row : kTenGods)
    if (row.Relation == r) return same ? row.SamePolarity : row.DifferentPolarity;
  return kNoTenGod;
}

// The ten gods of every stem and branch code, by day stem, made while
// compiling by the rule.
constexpr auto kTenGodTable = [] {
  std::array<std::array<int, kBranchLast + 1>, kStemLast + 1> table{};
  for (int s = 0; s <= kStemLast; ++s)
    for (int c = 0; c <= kBranchLast; ++c)
      table[static_cast<std::size_t>(s)][static_cast<std::size_t>(c)] = TenGodByRule(s, c);
  return table;
}();

}  // namespace

int TenGodOf(int dayStem, int code) {
  if (dayStem >= 0 && dayStem <= kStemLast && code >= 0 && code <= kBranchLast)
    return kTenGodTable[static_cast<std::size_t>(dayStem)][static_cast<std::size_t>(code)];
  return TenGodByRule(dayStem, code);
}

int GrowthStageOf(int stem, int branch) {
  if (!IsStem(stem) || !IsBranch(branch)) return 0;
  return CodeOf(kGrowthStage[stem][Ordinal(branch)], CodeKind::Growth);
}

int LifePalaceOf(int monthBranch, int hourBranch) {
  const int m = MonthIndexOf(monthBranch);
  const int h = Ordinal(hourBranch);
  return CodeOf(Wrap(6 - m - h, 12), CodeKind::Branch);
}

void AddSpirit(SpiritList& spirits, int n, int pillar) {
  for (int slot = 0; slot < kSpiritSlots; ++slot) {
    int& entry = spirits[slot][pillar];
    if (entry == n) return;
    if (entry == 0) {
      entry = n;
      return;
    }
  }
}

SpiritList SpiritsOf(const std::array<Pillar, 4>& pillars, bool forward) {
  SpiritList list{};
  SpiritFiller spirits(list);
  const Pillar& year = pillars[kYear];
  const Pillar& month = pillars[kMonth];
  const Pillar& day = pillars[kDay];
  const Pillar& hour = pillars[kHour];
  const int season = IsBranch(month.Branch) ? SeasonOf(month.Branch) : -1;

  const KeyPositions positions = KeyPositionsOf(pillars);
  ApplyTableRules(spirits, pillars, positions, forward, kFirstTableRules, kFirstMasks);

  for (const ValueList& triple : kSanQiTriples) {
    if (StemsAreTriple(year.Stem, month.Stem, day.Stem, triple)) spirits.Add(kSanQi, kYear);
    if (StemsAreTriple(month.Stem, day.Stem, hour.Stem, triple)) spirits.Add(kSanQi, kMonth);
  }
  if (kKuiGangDays.Contains(day)) spirits.Add(kKuiGang, kDay);
  if (season >= 0 && day == kTianSheDays[season]) spirits.Add(kTianShe, kDay);
  if (kJinShenPillars.Contains(day)) spirits.Add(kJinShen, kDay);
  if (kJinShenPillars.Contains(hour)) spirits.Add(kJinShen, kHour);
  for (const Pillar& key : {year, day}) {
    if (!IsStem(key.Stem)) continue;
    for (int p = 0; p < 4; ++p) {
      if (pillars[p] == kXueTangByStem[key.Stem - 1]) spirits.Add(kXueTang, p);
      if (pillars[p] == kCiGuanByStem[key.Stem - 1]) spirits.Add(kCiGuan, p);
    }
  }

  ApplyTableRules(spirits, pillars, positions, forward, kSecondTableRules, kSecondMasks);

  if (IsStem(day.Stem) && IsBranch(day.Branch)) {
    const std::array<int, 2> voids = VoidBranches(day);
    for (int p = 0; p < 4; ++p)
      if (pillars[p].Branch == voids[0] || pillars[p].Branch == voids[1])
        spirits.Add(kKongWang, p);
  }
  if (kShiEDaBaiDays.Contains(day)) spirits.Add(kShiEDaBai, kDay);
  if (kGuLuanPillars.Contains(day) && kGuLuanPillars.Contains(hour))
    spirits.Add(kGuLuan, kDay);
  if (kYinChaYangCuoDays.Contains(day)) spirits.Add(kYinChaYangCuo, kDay);
  if (season >= 0 && ElementOf(day.Stem) == kSiFeiElements[season] &&
      ElementOf(day.Branch) == kSiFeiElements[season])
    spirits.Add(kSiFei, kDay);
  return list;
}

}  // namespace orv
