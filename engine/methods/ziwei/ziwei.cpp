// TOrvDouShu: the placement of a Purple Star chart, in 45 steps, run by
// Compute as a sequence of private steps named by what they place, each with
// its tables beside it, written as the rule is stated (ziwei_tables.h).
//
// Positions are branch ordinals, 子 1 … 亥 12; every sum wraps into 1-12.
// "Forward" is 子 → 丑 → 寅 …, "backward" the other way. The inputs follow
// the chart moment plus one hour: YS and Y the stem (甲 1 … 癸 10) and branch
// (子 1 … 亥 12) of the lunar year counted from 正月初一, M and D the lunar
// month (a leap month counting as the month after it) and day, H the hour
// branch (子 1 … 亥 12).
#include "ziwei.h"

#include <algorithm>

#include "calendar/codes.h"
#include "ziwei_tables.h"

namespace orv {
namespace {

using namespace ziwei_tables;

// Every sum the steps wrap lies within a few rounds of 1-12: those come
// from a table made while compiling, the rest by division.
constexpr int kPosLow = -48, kPosHigh = 95;
constexpr auto kPositions = [] {
  std::array<int8_t, kPosHigh - kPosLow + 1> positions{};
  for (int n = kPosLow; n <= kPosHigh; ++n)
    positions[static_cast<std::size_t>(n - kPosLow)] = static_cast<int8_t>(Wrap(n, 12));
  return positions;
}();
constexpr int Pos(int n) {
  return n >= kPosLow && n <= kPosHigh ? kPositions[static_cast<std::size_t>(n - kPosLow)]
                                       : Wrap(n, 12);
}

// The members of a twelve-star series from its start, forward or backward:
// code + k goes to entry `entry` of the palace k steps from start.
template <typename Rows>
void PlaceSeriesFrom(Rows& palaces, int start, bool forward, int entry, int code) {
  // The palace after and before each palace.
  static constexpr std::array<int8_t, 13> kNext = {0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 1};
  static constexpr std::array<int8_t, 13> kPrevious = {0, 12, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  const auto& step = forward ? kNext : kPrevious;
  int p = Pos(start);
  for (int k = 0; k < 12; ++k) {
    palaces[static_cast<std::size_t>(p)][static_cast<std::size_t>(entry)] =
        static_cast<uint8_t>(code + k);
    p = step[static_cast<std::size_t>(p)];
  }
}

}  // namespace

void TOrvDouShu::SetMale(bool male) {
  Male = male ? 1 : 0;
  Clockwise = (Male == 1) == IsYang(LunarYearStemOrdinal);
}

static_assert(kSymbolCount <= 256, "a symbol code fits an entry of a row");

void TOrvDouShu::Append(int p, int code) {
  if (code == 0 || p < 1 || p > 12) return;
  // Entries fill from the front: the first empty one follows the last
  // written, kept in used_ (the star list starts after the name and stem,
  // and each mark inserted counts).
  int& used = used_[static_cast<std::size_t>(p)];
  auto& row = Palaces[static_cast<std::size_t>(p)];
  if (used == kEntries) return;
  // A star's brightness (step 44) goes beside it in the star list.
  if (used <= kLastStarEntry)
    Brightness[static_cast<std::size_t>(p)][static_cast<std::size_t>(used)] =
        static_cast<uint8_t>(LevelOf(code, p));
  row[static_cast<std::size_t>(used++)] = static_cast<uint8_t>(code);
  if (code >= kFirstStarCode && code <= kLastBrightStarCode)
    placed_[static_cast<std::size_t>(code - kFirstStarCode)] = static_cast<int8_t>(p);
}

void TOrvDouShu::InsertMark(int star, int mark) {
  // Only the palace of the star when its place is known.
  const int known = star >= kFirstStarCode && star <= kLastBrightStarCode
                        ? placed_[static_cast<std::size_t>(star - kFirstStarCode)]
                        : 0;
  for (int p = known != 0 ? known : 1; p <= (known != 0 ? known : 12); ++p) {
    auto& row = Palaces[p];
    for (int e = kFirstStarEntry; e < kEntries && row[e] != 0; ++e) {
      if (row[e] != star) continue;
      // The written entries behind the star move back by one (those from
      // the first empty one on are empty: nothing moves there but it).
      int& used = used_[static_cast<std::size_t>(p)];
      for (int k = std::min(used, kEntries - 1); k > e + 1; --k) row[k] = row[k - 1];
      if (e + 1 < kEntries) row[e + 1] = static_cast<uint8_t>(mark);
      // The brightness of the star list moves with it; a mark has none.
      auto& levels = Brightness[p];
      for (int k = std::min(used, kLastStarEntry); k > e + 1; --k) levels[k] = levels[k - 1];
      if (e + 1 <= kLastStarEntry) levels[e + 1] = static_cast<uint8_t>(LevelOf(mark, p));
      if (used > e && used < kEntries) ++used;
      return;
    }
  }
}

int ZiweiFields::BodyPalace() const {
  for (int p = 1; p <= 12; ++p)
    for (int e = kFirstStarEntry; e <= kLastStarEntry && Palaces[p][e] != 0; ++e)
      if (Palaces[p][e] == kShenCode) return p;
  return 0;
}

void TOrvDouShu::Compute() {
  // 1. The base was recomputed when the date was set; empty palaces; the
  // direction.
  Palaces = {};
  Brightness = {};
  // Every row's star list starts after its name and stem (steps 2, 3).
  used_.fill(kFirstStarEntry);
  placed_ = {};
  named_ = {};
  LifeMaster = BodyMaster = 0;
  if (!TakeInputs()) {
    // Outside the lunar table: nothing to place.
    LifePalace = Bureau = 0;
    return;
  }
  PlacePalaceNames();        // 2
  PlacePalaceStems();        // 3
  FindBureau();              // 4
  PlaceZiweiSeries();        // 5
  PlaceTianfuSeries();       // 6
  PlaceHourAndMonthStars();  // 7, 8
  PlaceYearStemStars();      // 9-11
  PlaceFireBellAndVoids();   // 12, 13
  PlaceTransformations();    // 14
  PlaceMonthMinorStars();    // 15-20
  PlaceDayMinorStars();      // 21, 22
  PlaceYearMinorStars();     // 23-29
  PlaceBodyAndItsStars();    // 30, 31
  PlaceVoidStars();          // 32, 33
  PlaceLastMinorStars();     // 34-39
  PlaceSeries();             // 40-43
                             // 44: brightness, by Append (LevelOf)
  FindMasters();             // 45
}

// 1. The inputs, all of the moment one hour later; the direction: forward
// for a man of a yang year stem (甲 丙 戊 庚 壬) and for a woman of a yin one.
bool TOrvDouShu::TakeInputs() {
  a_ = {};
  a_.YS = LunarYearStemOrdinal;
  a_.Y = LunarYearBranchOrdinal;
  a_.M = LunarCount[0];
  a_.D = LunarCount[1];
  a_.H = HourOrdinal;
  if (a_.YS < 1 || a_.YS > 10 || a_.Y < 1 || a_.Y > 12 || a_.M < 1 || a_.M > 12 || a_.D < 1 ||
      a_.D > 30 || a_.H < 1 || a_.H > 12)
    return false;
  Clockwise = (Male == 1) == IsYang(a_.YS);
  return true;
}

// 2. 命宫 at 寅 + (M − 1) − (H − 1); the other palace names backward from it.
void TOrvDouShu::PlacePalaceNames() {
  LifePalace = Pos(Branch("寅") + (a_.M - 1) - (a_.H - 1));
  for (int k = 0; k < 12; ++k) {
    const int p = Pos(LifePalace - k);
    Palaces[p][kNameEntry] = static_cast<uint8_t>(kMingGongCode + k);
    named_[static_cast<std::size_t>(k)] = static_cast<int8_t>(p);
  }
}

// 3. Palace stems (五虎遁): the stem of 寅 by year stem, then 卯, 辰 … 亥,
// 子, 丑 take the following stems in turn.
void TOrvDouShu::PlacePalaceStems() {
  static constexpr ByStem<1> kStemOfYin = "甲己 丙; 乙庚 戊; 丙辛 庚; 丁壬 壬; 戊癸 甲";
  for (int k = 0; k < 12; ++k)
    Palaces[Pos(Branch("寅") + k)][kStemEntry] =
        static_cast<uint8_t>(Wrap(kStemOfYin[a_.YS][0] + k, 10));
  // Every row now holds its name and stem; the stars follow them.
  used_.fill(kFirstStarEntry);
}

// 4. Bureau (五行局) from the sound element of the life palace's stem and
// branch: add the numbers of that pair and of its partner (the next stem
// and branch for a yang stem, the previous ones for a yin stem); the sum
// mod 5 (0 read as 5) names the element.
void TOrvDouShu::FindBureau() {
  static constexpr ByStem<1> kStemNumber = "甲己 9; 乙庚 8; 丙辛 7; 丁壬 6; 戊癸 5";
  static constexpr ByBranch<1> kBranchNumber = "子午 9; 丑未 8; 寅申 7; 卯酉 6; 辰戌 5; 巳亥 4";
  //                                     remainder:  1 火  2 土  3 木  4 金  5 水
  static constexpr int kBureauOfRemainder[6] = {0, 6, 5, 3, 4, 2};
  const int L = LifePalace;
  const int stem = Palaces[L][kStemEntry];
  const int step = IsYang(stem) ? 1 : -1;
  const int sum = kStemNumber[stem][0] + kBranchNumber[L][0] +
                  kStemNumber[Wrap(stem + step, 10)][0] + kBranchNumber[Pos(L + step)][0];
  Bureau = kBureauOfRemainder[Wrap(sum, 5)];
}

// 5. 紫微 series. q = D div bureau, r = D mod bureau. r = 0: 紫微 at
// 寅 + (q − 1); else x = bureau − r, 紫微 at 寅 + q − x for odd x and at
// 寅 + q + x for even x. The others backward from it.
void TOrvDouShu::PlaceZiweiSeries() {
  const int q = a_.D / Bureau;
  const int r = a_.D % Bureau;
  int Z;
  if (r == 0) {
    Z = Pos(Branch("寅") + (q - 1));
  } else {
    const int x = Bureau - r;
    Z = Pos(x % 2 != 0 ? Branch("寅") + q - x : Branch("寅") + q + x);
  }
  a_.Z = Z;
  Append(Z, Star("紫微"));
  Append(Pos(Z - 1), Star("天机"));
  Append(Pos(Z - 3), Star("太阳"));
  Append(Pos(Z - 4), Star("武曲"));
  Append(Pos(Z - 5), Star("天同"));
  Append(Pos(Z - 8), Star("廉贞"));
}

// 6. 天府 series, 天府 at 6 − 紫微 (紫微 in 子 gives 辰, in 寅 gives 寅),
// the others forward from it.
void TOrvDouShu::PlaceTianfuSeries() {
  const int F = Pos(6 - a_.Z);
  Append(F, Star("天府"));
  Append(Pos(F + 1), Star("太阴"));
  Append(Pos(F + 2), Star("贪狼"));
  Append(Pos(F + 3), Star("巨门"));
  Append(Pos(F + 4), Star("天相"));
  Append(Pos(F + 5), Star("天梁"));
  Append(Pos(F + 6), Star("七杀"));
  Append(Pos(F + 10), Star("破军"));
}

// 7. 文昌 at 12 − H (戌 for the 子 hour, backward); 文曲 at 4 + H (辰, forward).
// 8. 左辅 at 4 + M (辰 for the first month); 右弼 at 12 − M (戌).
void TOrvDouShu::PlaceHourAndMonthStars() {
  a_.WenChang = Pos(12 - a_.H);
  a_.WenQu = Pos(4 + a_.H);
  Append(a_.WenChang, Star("文昌"));
  Append(a_.WenQu, Star("文曲"));
  a_.ZuoFu = Pos(4 + a_.M);
  a_.YouBi = Pos(12 - a_.M);
  Append(a_.ZuoFu, Star("左辅"));
  Append(a_.YouBi, Star("右弼"));
}

// 9. 天魁 and 天钺 by year stem (天魁 first).
// 10. 禄存 by year stem.
// 11. 擎羊 one palace forward of 禄存, 陀罗 one backward.
void TOrvDouShu::PlaceYearStemStars() {
  static constexpr ByStem<2> kKuiYue = "甲戊庚 丑未; 乙己 子申; 丙丁 亥酉; 辛 午寅; 壬癸 卯巳";
  Append(kKuiYue[a_.YS][0], Star("天魁"));
  Append(kKuiYue[a_.YS][1], Star("天钺"));
  static constexpr ByStem<1> kLuCun =
      "甲 寅; 乙 卯; 丙 巳; 丁 午; 戊 巳; 己 午; 庚 申; 辛 酉; 壬 亥; 癸 子";
  a_.LuCun = kLuCun[a_.YS][0];
  Append(a_.LuCun, Star("禄存"));
  Append(Pos(a_.LuCun + 1), Star("擎羊"));
  Append(Pos(a_.LuCun - 1), Star("陀罗"));
}

// 12. 火星 and 铃星: their starts by year branch group, each then moved
// forward H − 1 palaces.
// 13. 地劫 at 11 + H (亥 for the 子 hour, forward); 地空 at 13 − H (亥, backward).
void TOrvDouShu::PlaceFireBellAndVoids() {
  static constexpr ByBranch<2> kHuoLingStart = "申子辰 寅戌; 巳酉丑 卯戌; 寅午戌 丑卯; 亥卯未 酉戌";
  Append(Pos(kHuoLingStart[a_.Y][0] + a_.H - 1), Star("火星"));
  Append(Pos(kHuoLingStart[a_.Y][1] + a_.H - 1), Star("铃星"));
  Append(Pos(11 + a_.H), Star("地劫"));
  Append(Pos(13 - a_.H), Star("地空"));
}

// 14. The four transformations (四化) by year stem: each mark goes right
// after its star.
void TOrvDouShu::PlaceTransformations() {
  //                                        禄   权   科   忌
  static constexpr StarList<4> kFourTransformations[10] = {"廉贞 破军 武曲 太阳",   // 甲
                                                           "天机 天梁 紫微 太阴",   // 乙
                                                           "天同 天机 文昌 廉贞",   // 丙
                                                           "太阴 天同 天机 巨门",   // 丁
                                                           "贪狼 太阴 右弼 天机",   // 戊
                                                           "武曲 贪狼 天梁 文曲",   // 己
                                                           "太阳 武曲 天同 太阴",   // 庚
                                                           "巨门 太阳 文曲 文昌",   // 辛
                                                           "天梁 紫微 左辅 武曲",   // 壬
                                                           "破军 巨门 太阴 贪狼"};  // 癸
  static constexpr StarList<4> kMarks = "禄 权 科 忌";
  for (int k = 1; k <= 4; ++k) InsertMark(kFourTransformations[a_.YS - 1][k], kMarks[k]);
}

// 15-20. The stars placed by month.
void TOrvDouShu::PlaceMonthMinorStars() {
  const int M = a_.M;
  // 15. 天马 by month.
  //                                         1 2 3 4 5 6 7 8 9 101112
  static constexpr BranchRow<12> kTianMa = "申巳寅亥申巳寅亥申巳寅亥";
  Append(kTianMa[M], Star("天马"));

  // 16. 天刑 at 9 + M (酉 for month 1); 天姚 at 1 + M (丑).
  Append(Pos(9 + M), Star("天刑"));
  Append(Pos(1 + M), Star("天姚"));

  // 17. 解神 by month.
  //                                           1 2 3 4 5 6 7 8 9 101112
  static constexpr BranchRow<12> kJieShen = "申申戌戌子子寅寅辰辰午午";
  Append(kJieShen[M], Star("解神"));

  // 18. 天巫 by month.
  //                                          1 2 3 4 5 6 7 8 9 101112
  static constexpr BranchRow<12> kTianWu = "巳申寅亥巳申寅亥巳申寅亥";
  Append(kTianWu[M], Star("天巫"));

  // 19. 天月 by month.
  //                                           1 2 3 4 5 6 7 8 9 101112
  static constexpr BranchRow<12> kTianYue = "戌巳辰寅未卯亥未寅午戌寅";
  Append(kTianYue[M], Star("天月"));

  // 20. 阴煞 by month.
  //                                          1 2 3 4 5 6 7 8 9 101112
  static constexpr BranchRow<12> kYinSha = "寅子戌申午辰寅子戌申午辰";
  Append(kYinSha[M], Star("阴煞"));
}

// 21. 三台 D − 1 palaces forward of 左辅; 八座 D − 1 backward of 右弼.
// 22. 恩光 at 文昌 + D − 2; 天贵 at 文曲 + D − 2.
void TOrvDouShu::PlaceDayMinorStars() {
  const int D = a_.D;
  Append(Pos(a_.ZuoFu + D - 1), Star("三台"));
  Append(Pos(a_.YouBi - (D - 1)), Star("八座"));
  Append(Pos(a_.WenChang + D - 2), Star("恩光"));
  Append(Pos(a_.WenQu + D - 2), Star("天贵"));
}

// 23-29. The stars placed by year stem and year branch.
void TOrvDouShu::PlaceYearMinorStars() {
  const int YS = a_.YS;
  const int Y = a_.Y;
  // 23. 天官 and 天福 by year stem.
  static constexpr ByStem<1> kTianGuan =
      "甲 未; 乙 辰; 丙 巳; 丁 寅; 戊 卯; 己 酉; 庚 亥; 辛 酉; 壬 戌; 癸 午";
  static constexpr ByStem<1> kTianFu =
      "甲 酉; 乙 申; 丙 子; 丁 亥; 戊 卯; 己 寅; 庚 午; 辛 巳; 壬 午; 癸 巳";
  Append(kTianGuan[YS][0], Star("天官"));
  Append(kTianFu[YS][0], Star("天福"));

  // 24. 天哭 at 8 − Y (午 for a 子 year, backward); 天虚 at 6 + Y (午, forward).
  Append(Pos(8 - Y), Star("天哭"));
  Append(Pos(6 + Y), Star("天虚"));

  // 25. 龙池 at 4 + Y (辰, forward); 凤阁 at 12 − Y (戌, backward).
  Append(Pos(4 + Y), Star("龙池"));
  Append(Pos(12 - Y), Star("凤阁"));

  // 26. 红鸾 at 5 − Y (卯, backward); 天喜 opposite it.
  const int hongLuan = Pos(5 - Y);
  Append(hongLuan, Star("红鸾"));
  Append(Pos(hongLuan + 6), Star("天喜"));

  // 27. 孤辰 and 寡宿 by year branch group.
  static constexpr ByBranch<2> kGuChenGuaSu = "寅卯辰 巳丑; 巳午未 申辰; 申酉戌 亥未; 亥子丑 寅戌";
  Append(kGuChenGuaSu[Y][0], Star("孤辰"));
  Append(kGuChenGuaSu[Y][1], Star("寡宿"));

  // 28. 蜚廉 by year branch.
  //                                           子丑寅卯辰巳午未申酉戌亥
  static constexpr BranchRow<12> kFeiLian = "申酉戌巳午未寅卯辰亥子丑";
  Append(kFeiLian[Y], Star("蜚廉"));

  // 29. 破碎 by year branch group.
  static constexpr ByBranch<1> kPoSui = "子午卯酉 巳; 寅申巳亥 酉; 辰戌丑未 丑";
  Append(kPoSui[Y][0], Star("破碎"));
}

// 30. The body marker 身 at 寅 + (M − 1) + (H − 1).
// 31. 天才 Y − 1 palaces forward of 命宫; 天寿 Y − 1 forward of the body palace.
void TOrvDouShu::PlaceBodyAndItsStars() {
  a_.Body = Pos(Branch("寅") + (a_.M - 1) + (a_.H - 1));
  Append(a_.Body, Star("身"));
  Append(Pos(LifePalace + a_.Y - 1), Star("天才"));
  Append(Pos(a_.Body + a_.Y - 1), Star("天寿"));
}

// 32. 截正 and 截傍: the pair of branches of the year stem; 截正 takes the
// one of the year stem's yin/yang, 截傍 the other.
// 33. 旬正 and 旬傍: the two void branches of the lunar year's pillar (甲子旬
// 戌 亥); 旬正 takes the one of the year stem's yin/yang, 旬傍 the other.
void TOrvDouShu::PlaceVoidStars() {
  static constexpr ByStem<2> kJieKong = "甲己 申酉; 乙庚 午未; 丙辛 辰巳; 丁壬 寅卯; 戊癸 子丑";
  const auto& pair = kJieKong[a_.YS];
  const bool firstMatches = IsYang(pair[0]) == IsYang(a_.YS);
  Append(firstMatches ? pair[0] : pair[1], Star("截正"));
  Append(firstMatches ? pair[1] : pair[0], Star("截傍"));

  const std::array<int, 2> voids = VoidBranches(LunarYearPillar);
  const int first = Ordinal(voids[0]);
  const int second = Ordinal(voids[1]);
  const bool firstVoidMatches = IsYang(first) == IsYang(a_.YS);
  Append(firstVoidMatches ? first : second, Star("旬正"));
  Append(firstVoidMatches ? second : first, Star("旬傍"));
}

void TOrvDouShu::PlaceLastMinorStars() {
  const int YS = a_.YS;
  const int Y = a_.Y;
  // 34. 天伤 and 天使: forward charts put 天伤 in the palace named 奴仆 and
  // 天使 in 疾厄; backward charts the other way round.
  const int nuPu = named_[Star("奴仆") - kMingGongCode];
  const int jiE = named_[Star("疾厄") - kMingGongCode];
  Append(Clockwise ? nuPu : jiE, Star("天伤"));
  Append(Clockwise ? jiE : nuPu, Star("天使"));

  // 35. 天厨 by year stem.
  static constexpr ByStem<1> kTianChu =
      "甲 巳; 乙 午; 丙 子; 丁 巳; 戊 午; 己 申; 庚 寅; 辛 午; 壬 酉; 癸 亥";
  Append(kTianChu[YS][0], Star("天厨"));

  // 36. 天空 one palace forward of the year branch.
  Append(Pos(Y + 1), Star("天空"));

  // 37. 台辅 two palaces forward of 文曲; 封诰 two backward.
  Append(Pos(a_.WenQu + 2), Star("台辅"));
  Append(Pos(a_.WenQu - 2), Star("封诰"));

  // 38. 天德 at 9 + Y (酉 for a 子 year); 年解 at 12 − Y (戌, backward).
  Append(Pos(9 + Y), Star("天德"));
  Append(Pos(12 - Y), Star("年解"));

  // 39. 月德 at 5 + Y (巳 for a 子 year).
  Append(Pos(5 + Y), Star("月德"));
}

void TOrvDouShu::PlaceSeries() {
  // 40. 博士 series (博士 力士 青龙 小耗 将军 奏书 飞廉 喜神 病符 大耗 伏兵
  // 官府) from 禄存's palace, forward in forward charts, else backward.
  PlaceSeriesFrom(Palaces, a_.LuCun, Clockwise, kBoShiEntry, kBoShiCode);

  // 41. 将前 series (将星 攀鞍 岁驿 息神 华盖 劫煞 灾煞 天煞 指背 咸池 月煞
  // 亡神): 将星 by year branch group, always forward.
  static constexpr ByBranch<1> kJiangXing = "申子辰 子; 巳酉丑 酉; 寅午戌 午; 亥卯未 卯";
  PlaceSeriesFrom(Palaces, kJiangXing[a_.Y][0], true, kJiangQianEntry, kJiangXingCode);

  // 42. 岁前 series (岁建 晦气 丧门 贯索 官符 小耗 大耗 龙德 白虎 天德 吊客
  // 病符): 岁建 at the year branch, forward.
  PlaceSeriesFrom(Palaces, a_.Y, true, kSuiQianEntry, kSuiJianCode);

  // 43. 长生 series (长生 沐浴 冠带 临官 帝旺 衰 病 死 墓 绝 胎 养): 长生 by
  // bureau, forward in forward charts, else backward.
  //                                             bureau:  2 水 3 木 4 金 5 土 6 火
  static constexpr BranchRow<5> kChangShengByBureau = "申亥巳申寅";
  PlaceSeriesFrom(Palaces, kChangShengByBureau[Bureau - 1], Clockwise, kChangShengEntry,
                  kChangShengCode);
}

// 44. Brightness of the stars 紫微 … 天钺 in their palaces; it is set as
// each star is placed, and moves with it when a mark is inserted.
int TOrvDouShu::LevelOf(int code, int p) {
  struct BrightnessRow {
    Star Name;
    LevelRow Levels;
  };
  //                                               子丑寅卯辰巳午未申酉戌亥
  static constexpr BrightnessRow kBrightness[] = {{"紫微", "平庙庙旺陷旺庙庙旺平闲旺"},
                                                  {"天机", "庙陷旺旺庙平庙陷平旺庙平"},
                                                  {"太阳", "陷陷旺庙旺旺庙平闲闲陷陷"},
                                                  {"武曲", "旺庙闲陷庙平旺庙平旺庙平"},
                                                  {"天同", "旺陷闲庙平庙陷陷旺平平庙"},
                                                  {"廉贞", "平旺庙闲旺陷平庙庙平旺陷"},
                                                  {"天府", "庙庙庙平庙平旺庙平陷庙旺"},
                                                  {"太阴", "庙庙闲陷闲陷陷平平旺旺庙"},
                                                  {"贪狼", "旺庙平旺庙陷旺庙平平庙陷"},
                                                  {"巨门", "旺旺庙庙平平旺陷庙庙旺旺"},
                                                  {"天相", "庙庙庙陷旺平旺闲庙陷闲平"},
                                                  {"天梁", "庙旺庙庙旺陷庙旺陷旺旺陷"},
                                                  {"七杀", "旺庙庙陷旺平旺旺庙闲庙平"},
                                                  {"破军", "庙旺陷旺旺闲庙庙陷陷旺平"},
                                                  {"文昌", "旺庙陷平旺庙陷平旺庙陷旺"},
                                                  {"文曲", "庙庙平旺庙庙陷旺平庙陷旺"},
                                                  {"左辅", "旺庙庙陷庙平旺庙平陷庙闲"},
                                                  {"右弼", "庙庙旺陷庙平旺庙闲陷庙平"},
                                                  {"火星", "平旺庙平闲旺庙闲陷陷庙平"},
                                                  {"铃星", "陷陷庙庙旺旺庙旺旺陷庙庙"},
                                                  {"地劫", "陷陷平平陷闲庙平庙平平旺"},
                                                  {"地空", "平陷陷平陷庙庙平庙庙陷陷"},
                                                  {"禄存", "旺—庙旺—庙旺—庙旺—庙"},
                                                  {"天马", "——旺——平——旺——平"},
                                                  {"擎羊", "陷庙—陷庙—平庙—陷庙—"},
                                                  {"陀罗", "—庙陷—庙陷—庙陷—庙陷"},
                                                  {"天魁", "旺旺—庙——庙————旺"},
                                                  {"天钺", "——旺——旺—旺庙庙——"}};
  static_assert([] {
    for (int i = 0; i < kLastBrightStarCode - kFirstStarCode + 1; ++i)
      if (kBrightness[i].Name != kFirstStarCode + i) return false;
    return sizeof kBrightness / sizeof kBrightness[0] == kLastBrightStarCode - kFirstStarCode + 1;
  }(), "one brightness row per star, in code order");
  // The same by symbol code, 0 for the codes without brightness (every
  // value of an entry).
  static constexpr auto kLevelsByCode = [] {
    std::array<std::array<uint8_t, 13>, 256> levels{};
    for (const BrightnessRow& star : kBrightness)
      for (int q = 1; q <= 12; ++q)
        levels[static_cast<std::size_t>(star.Name.Code)][static_cast<std::size_t>(q)] =
            static_cast<uint8_t>(star.Levels[q]);
    return levels;
  }();
  return kLevelsByCode[static_cast<std::size_t>(code) & 255][static_cast<std::size_t>(p)];
}

// 45. 命主 by the branch of 命宫; 身主 by the year branch.
void TOrvDouShu::FindMasters() {
  //                                         子   丑   寅   卯   辰   巳   午   未   申   酉   戌   亥
  static constexpr StarList<12> kLifeMaster = "贪狼 巨门 禄存 文曲 廉贞 武曲 破军 武曲 廉贞 文曲 禄存 巨门";
  static constexpr StarList<12> kBodyMaster = "铃星 天相 天梁 天同 文昌 天机 火星 天相 天梁 天同 文昌 天机";
  LifeMaster = kLifeMaster[LifePalace];
  BodyMaster = kBodyMaster[a_.Y];
}

ZiweiChart Cast(Moment moment, const ZiweiOptions& options) {
  TOrvDouShu chart;
  chart.SetDate(moment);
  chart.SetMale(options.Male);
  chart.Compute();
  return {chart, chart};
}

}  // namespace orv
