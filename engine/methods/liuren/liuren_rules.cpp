// The seven transmission rules of Da Liu Ren, from which TransmissionTable is
// generated (tools/liuren). Branches are numbers 1-12 (子 … 亥) throughout;
// stems are codes 1-10 (甲 … 癸).
#include <algorithm>
#include <array>
#include <optional>

#include "liuren.h"

namespace orv {
namespace {

constexpr int kYou = 10;  // 酉

// 寄宫 by stem code: 甲 寅, 乙 辰, 丙 巳, 丁 未, 戊 巳, 己 未, 庚 申, 辛 戌, 壬 亥, 癸 丑.
constexpr int kLodging[11] = {0, 3, 5, 6, 8, 6, 8, 9, 11, 12, 2};
// 刑 by branch: 子 卯, 丑 戌, 寅 巳, 卯 子, 辰 辰, 巳 申, 午 午, 未 丑, 申 寅, 酉 酉, 戌 未, 亥 亥.
constexpr int kPunished[13] = {0, 4, 11, 6, 1, 5, 9, 7, 2, 3, 10, 8, 12};
// 驿马 by branch: 申子辰 寅, 寅午戌 申, 巳酉丑 亥, 亥卯未 巳.
constexpr int kPostHorse[13] = {0, 3, 12, 9, 6, 3, 12, 9, 6, 3, 12, 9, 6};
// 0 孟 寅申巳亥, 1 仲 子午卯酉, 2 季 辰戌丑未.
constexpr int kPositionClass[13] = {0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0};

// The records whose 涉害 candidates stay tied under both rules, with the
// transmissions they hold: (day number, first lesson's upper) → triple.
struct TieRecord {
  int DayNumber;
  int LessonOneUpper;
  TransmissionTriple Triple;
};
constexpr TieRecord kTieRecords[] = {
    {5, 1, {1, 8, 3}},     // 戊辰, 子: 子 未 寅
    {5, 12, {6, 12, 6}},   // 戊辰, 亥: 巳 亥 巳
    {35, 12, {6, 12, 6}},  // 戊戌, 亥: 巳 亥 巳
};

int BranchElement(int branch) { return ElementOf(branch + 10); }
// Element a controls element b.
bool Controls(int a, int b) { return b == Wrap(a + 2, 5); }
bool YangBranch(int branch) { return branch % 2 == 1; }

// The heaven plate relative to a day: the heaven branch above earth branch x
// is x + shift.
struct Plate {
  int Shift;
  int Above(int earth) const { return Wrap(earth + Shift, 12); }
  int Under(int heaven) const { return Wrap(heaven - Shift, 12); }
};

// At most four distinct branches (the uppers of the lessons), in the order
// they were first met.
class BranchSet {
 public:
  void AddOnce(int branch) {
    for (int i = 0; i < count_; ++i)
      if (items_[static_cast<std::size_t>(i)] == branch) return;
    items_[static_cast<std::size_t>(count_++)] = branch;
  }
  int Count() const { return count_; }
  bool Empty() const { return count_ == 0; }
  const int* begin() const { return items_.data(); }
  const int* end() const { return items_.data() + count_; }
  int operator[](int i) const { return items_[static_cast<std::size_t>(i)]; }

 private:
  std::array<int, 4> items_{};
  int count_ = 0;
};

// The depth of a 涉害 candidate: over the earth branches from the one it
// stands on, forward up to but not including its own branch, one for each
// branch and each lodged stem whose element controls the candidate's (贼
// candidates) or is controlled by it (克 candidates).
int Depth(int candidate, const Plate& plate, bool fromZei) {
  const int own = BranchElement(candidate);
  const auto counts = [&](int element) {
    return fromZei ? Controls(element, own) : Controls(own, element);
  };
  int depth = 0;
  for (int earth = plate.Under(candidate); earth != candidate; earth = Wrap(earth + 1, 12)) {
    if (counts(BranchElement(earth))) ++depth;
    for (int stem = 1; stem <= 10; ++stem)
      if (LodgingBranch(stem) == earth && counts(ElementOf(stem))) ++depth;
  }
  return depth;
}

// 涉害 among several candidates; 0 when they stay tied.
int SheHai(BranchSet pool, const Plate& plate, bool fromZei, int rule) {
  if (rule != 0) {
    int deepest = -1;
    for (int x : pool) deepest = std::max(deepest, Depth(x, plate, fromZei));
    BranchSet kept;
    for (int x : pool)
      if (Depth(x, plate, fromZei) == deepest) kept.AddOnce(x);
    pool = kept;
  }
  if (pool.Count() == 1) return pool[0];
  for (int positionClass = 0; positionClass < 3; ++positionClass) {
    int found = 0, count = 0;
    for (int x : pool) {
      if (PositionClass(plate.Under(x)) == positionClass) {
        found = x;
        ++count;
      }
    }
    if (count == 1) return found;
    if (count > 1) return 0;
  }
  return 0;
}

const TieRecord* FindTie(int dayNumber, int lessonOneUpper) {
  for (const TieRecord& tie : kTieRecords)
    if (tie.DayNumber == dayNumber && tie.LessonOneUpper == lessonOneUpper) return &tie;
  return nullptr;
}

TransmissionOutcome Decided(int initial, int middle, int final) {
  TransmissionOutcome outcome;
  outcome.Triple = {initial, middle, final};
  outcome.Decided = true;
  return outcome;
}

// The four lessons of a day (sexagenary number) and the first lesson's
// upper branch, with what the rules read of them.
struct Lessons {
  int DayNumber = 0;
  int LessonOneUpper = 0;
  int S = 0;          // day stem code
  int B = 0;          // day branch number
  bool YangDay = false;
  int Lodging = 0;    // the branch on which the day stem lodges
  Plate HeavenPlate{0};
  std::array<int, 4> Upper{};
  std::array<int, 4> LowerElement{};
  std::array<bool, 4> Zei{};  // the lower's element controls the upper's
  std::array<bool, 4> Ke{};   // the upper's element controls the lower's
  bool Incomplete = false;
};

Lessons LessonsOf(int dayNumber, int lessonOneUpper) {
  Lessons l;
  const Pillar day = PillarOfNumber(dayNumber);
  l.DayNumber = dayNumber;
  l.LessonOneUpper = lessonOneUpper;
  l.S = day.Stem;
  l.B = Ordinal(day.Branch);
  l.YangDay = IsYang(l.S);
  l.Lodging = LodgingBranch(l.S);
  l.HeavenPlate = Plate{lessonOneUpper - l.Lodging};
  const Plate& plate = l.HeavenPlate;
  const int u1 = lessonOneUpper;
  const int u3 = plate.Above(l.B);
  l.Upper = {u1, plate.Above(u1), u3, plate.Above(u3)};
  l.LowerElement = {ElementOf(l.S), BranchElement(u1), BranchElement(l.B), BranchElement(u3)};
  for (std::size_t j = 0; j < 4; ++j) {
    const int upper = BranchElement(l.Upper[j]);
    l.Zei[j] = Controls(l.LowerElement[j], upper);
    l.Ke[j] = Controls(upper, l.LowerElement[j]);
  }
  // Incomplete when two lessons have the same lower and upper, the first
  // lesson's lower being the stem's lodging branch.
  const std::array<int, 4> lowerBranch = {l.Lodging, u1, l.B, u3};
  for (std::size_t i = 0; i < 4; ++i)
    for (std::size_t j = i + 1; j < 4; ++j)
      if (lowerBranch[i] == lowerBranch[j] && l.Upper[i] == l.Upper[j]) l.Incomplete = true;
  return l;
}

// The initial transmission, the middle above it, the final above that.
TransmissionOutcome Chain(const Lessons& l, int initial) {
  const int middle = l.HeavenPlate.Above(initial);
  return Decided(initial, middle, l.HeavenPlate.Above(middle));
}

// The candidates of the same polarity as the day stem (比用).
BranchSet OfTheDaysPolarity(const Lessons& l, const BranchSet& candidates) {
  BranchSet same;
  for (int x : candidates)
    if (YangBranch(x) == l.YangDay) same.AddOnce(x);
  return same;
}

// 1. 伏吟: every upper equals its lower.
std::optional<TransmissionOutcome> FuYin(const Lessons& l) {
  const int u1 = l.Upper[0];
  if (u1 != l.Lodging) return std::nullopt;
  const bool fromU1 = l.YangDay || l.Zei[0] || l.Ke[0];
  const int initial = fromU1 ? u1 : l.B;
  int middle = PunishedBranch(initial);
  if (middle == initial) middle = fromU1 ? l.B : u1;
  int final = PunishedBranch(middle);
  if (final == middle || final == initial) final = Wrap(middle + 6, 12);
  return Decided(initial, middle, final);
}

// 2. 贼克: the uppers of the 贼 lessons, else of the 克 lessons; one, or one
// of the day's polarity, or 涉害 among them.
std::optional<TransmissionOutcome> ZeiKe(const Lessons& l, int sheHaiRule) {
  bool fromZei = false;
  BranchSet candidates;
  for (int pass = 0; pass < 2 && candidates.Empty(); ++pass) {
    fromZei = pass == 0;
    for (std::size_t j = 0; j < 4; ++j)
      if (fromZei ? l.Zei[j] : l.Ke[j]) candidates.AddOnce(l.Upper[j]);
  }
  if (candidates.Empty()) return std::nullopt;
  if (candidates.Count() == 1) return Chain(l, candidates[0]);
  const BranchSet same = OfTheDaysPolarity(l, candidates);
  if (same.Count() == 1) return Chain(l, same[0]);
  const int initial =
      SheHai(same.Empty() ? candidates : same, l.HeavenPlate, fromZei, sheHaiRule);
  if (initial != 0) return Chain(l, initial);
  const TieRecord* tie = FindTie(l.DayNumber, l.LessonOneUpper);
  if (tie == nullptr) return TransmissionOutcome{};
  TransmissionOutcome outcome;
  outcome.Triple = tie->Triple;
  outcome.Tie = true;
  outcome.Decided = true;
  return outcome;
}

// 3. 返吟 without 贼 or 克.
std::optional<TransmissionOutcome> FanYin(const Lessons& l) {
  if (Wrap(l.HeavenPlate.Shift, 12) != 6) return std::nullopt;
  return Decided(PostHorse(l.B), l.Upper[2], l.Upper[0]);
}

// 4. 八专: the stem lodges on the day's own branch.
std::optional<TransmissionOutcome> BaZhuan(const Lessons& l) {
  if (l.Lodging != l.B) return std::nullopt;
  const int u1 = l.Upper[0];
  const int initial = l.YangDay ? Wrap(u1 + 2, 12) : Wrap(l.Upper[3] - 2, 12);
  return Decided(initial, u1, u1);
}

// 5. 遥克: the uppers of lessons 2-4 that control the day stem, else those
// that the day stem controls; one, or the one of the day's polarity.
std::optional<TransmissionOutcome> YaoKe(const Lessons& l) {
  const int stemElement = ElementOf(l.S);
  BranchSet remote;
  for (int pass = 0; pass < 2 && remote.Empty(); ++pass) {
    for (std::size_t j = 1; j < 4; ++j) {
      const int element = BranchElement(l.Upper[j]);
      if (pass == 0 ? Controls(element, stemElement) : Controls(stemElement, element))
        remote.AddOnce(l.Upper[j]);
    }
  }
  if (remote.Empty()) return std::nullopt;
  if (remote.Count() == 1) return Chain(l, remote[0]);
  const BranchSet same = OfTheDaysPolarity(l, remote);
  if (same.Count() != 1) return TransmissionOutcome{};
  return Chain(l, same[0]);
}

// 6. 别责: the lessons are incomplete.
std::optional<TransmissionOutcome> BieZe(const Lessons& l) {
  if (!l.Incomplete) return std::nullopt;
  const int initial =
      l.YangDay ? l.HeavenPlate.Above(LodgingBranch(Wrap(l.S + 5, 10))) : Wrap(l.B + 4, 12);
  return Decided(initial, l.Upper[0], l.Upper[0]);
}

// 7. 昴星.
TransmissionOutcome MaoXing(const Lessons& l) {
  if (l.YangDay) return Decided(l.HeavenPlate.Above(kYou), l.Upper[2], l.Upper[0]);
  return Decided(l.HeavenPlate.Under(kYou), l.Upper[0], l.Upper[2]);
}

}  // namespace

int LodgingBranch(int stem) { return stem >= 1 && stem <= 10 ? kLodging[stem] : 0; }
int PunishedBranch(int branch) { return branch >= 1 && branch <= 12 ? kPunished[branch] : 0; }
int PostHorse(int branch) { return branch >= 1 && branch <= 12 ? kPostHorse[branch] : 0; }
int PositionClass(int branch) { return branch >= 1 && branch <= 12 ? kPositionClass[branch] : 0; }

TransmissionOutcome TransmissionsByRules(int dayNumber, int lessonOneUpper, int sheHaiRule) {
  const Lessons lessons = LessonsOf(dayNumber, lessonOneUpper);
  if (auto outcome = FuYin(lessons)) return *outcome;
  if (auto outcome = ZeiKe(lessons, sheHaiRule)) return *outcome;
  if (auto outcome = FanYin(lessons)) return *outcome;
  if (auto outcome = BaZhuan(lessons)) return *outcome;
  if (auto outcome = YaoKe(lessons)) return *outcome;
  if (auto outcome = BieZe(lessons)) return *outcome;
  return MaoXing(lessons);
}

}  // namespace orv
