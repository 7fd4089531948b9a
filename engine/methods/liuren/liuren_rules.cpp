// The seven transmission rules of Da Liu Ren, from which TransmissionTable is
// generated (tools/liuren). Branches are numbers 1-12 (子 … 亥) throughout;
// stems are codes 1-10 (甲 … 癸).
#include <algorithm>
#include <vector>

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

struct Lessons {
  std::array<int, 4> LowerElement{};
  std::array<int, 4> Upper{};
  std::array<bool, 4> Zei{};  // the lower's element controls the upper's
  std::array<bool, 4> Ke{};   // the upper's element controls the lower's
  bool Incomplete = false;
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
      if (kLodging[stem] == earth && counts(ElementOf(stem))) ++depth;
  }
  return depth;
}

// 涉害 among several candidates; 0 when they stay tied.
int SheHai(std::vector<int> pool, const Plate& plate, bool fromZei, int rule) {
  if (rule != 0) {
    int deepest = -1;
    for (int x : pool) deepest = std::max(deepest, Depth(x, plate, fromZei));
    std::vector<int> kept;
    for (int x : pool)
      if (Depth(x, plate, fromZei) == deepest) kept.push_back(x);
    pool = kept;
  }
  if (pool.size() == 1) return pool[0];
  for (int positionClass = 0; positionClass < 3; ++positionClass) {
    int found = 0, count = 0;
    for (int x : pool) {
      if (kPositionClass[plate.Under(x)] == positionClass) {
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

}  // namespace

int LodgingBranch(int stem) { return stem >= 1 && stem <= 10 ? kLodging[stem] : 0; }
int PunishedBranch(int branch) { return branch >= 1 && branch <= 12 ? kPunished[branch] : 0; }
int PostHorse(int branch) { return branch >= 1 && branch <= 12 ? kPostHorse[branch] : 0; }
int PositionClass(int branch) { return branch >= 1 && branch <= 12 ? kPositionClass[branch] : 0; }

TransmissionOutcome TransmissionsByRules(int dayNumber, int lessonOneUpper, int sheHaiRule) {
  const Pillar day = PillarOfNumber(dayNumber);
  const int s = day.Stem;
  const int b = Ordinal(day.Branch);
  const bool yangDay = IsYang(s);
  const int lodging = kLodging[s];
  const Plate plate{lessonOneUpper - lodging};

  // The four lessons: lower and upper.
  Lessons lessons;
  const int u1 = lessonOneUpper;
  const int u2 = plate.Above(u1);
  const int u3 = plate.Above(b);
  const int u4 = plate.Above(u3);
  lessons.Upper = {u1, u2, u3, u4};
  lessons.LowerElement = {ElementOf(s), BranchElement(u1), BranchElement(b), BranchElement(u3)};
  for (int j = 0; j < 4; ++j) {
    const int upper = BranchElement(lessons.Upper[j]);
    lessons.Zei[j] = Controls(lessons.LowerElement[j], upper);
    lessons.Ke[j] = Controls(upper, lessons.LowerElement[j]);
  }
  // Incomplete when two lessons have the same lower and upper, the first
  // lesson's lower being the stem's lodging branch.
  const std::array<int, 4> lowerBranch = {lodging, u1, b, u3};
  for (int i = 0; i < 4; ++i)
    for (int j = i + 1; j < 4; ++j)
      if (lowerBranch[i] == lowerBranch[j] && lessons.Upper[i] == lessons.Upper[j])
        lessons.Incomplete = true;

  const auto chain = [&](int initial) {
    const int middle = plate.Above(initial);
    return Decided(initial, middle, plate.Above(middle));
  };

  // 1. 伏吟: every upper equals its lower.
  if (u1 == lodging) {
    const bool fromU1 = yangDay || lessons.Zei[0] || lessons.Ke[0];
    const int initial = fromU1 ? u1 : b;
    int middle = kPunished[initial];
    if (middle == initial) middle = fromU1 ? b : u1;
    int final = kPunished[middle];
    if (final == middle || final == initial) final = Wrap(middle + 6, 12);
    return Decided(initial, middle, final);
  }

  // 2. 贼克: the uppers of the 贼 lessons, else of the 克 lessons.
  bool fromZei = false;
  std::vector<int> candidates;
  for (int pass = 0; pass < 2 && candidates.empty(); ++pass) {
    fromZei = pass == 0;
    for (int j = 0; j < 4; ++j) {
      const bool hit = fromZei ? lessons.Zei[j] : lessons.Ke[j];
      const int upper = lessons.Upper[j];
      if (hit && std::find(candidates.begin(), candidates.end(), upper) == candidates.end())
        candidates.push_back(upper);
    }
  }
  if (!candidates.empty()) {
    if (candidates.size() == 1) return chain(candidates[0]);
    std::vector<int> same;  // 比用: of the day stem's polarity
    for (int x : candidates)
      if (YangBranch(x) == yangDay) same.push_back(x);
    if (same.size() == 1) return chain(same[0]);
    const int initial = SheHai(same.empty() ? candidates : same, plate, fromZei, sheHaiRule);
    if (initial != 0) return chain(initial);
    const TieRecord* tie = FindTie(dayNumber, lessonOneUpper);
    if (tie == nullptr) return {};
    TransmissionOutcome outcome;
    outcome.Triple = tie->Triple;
    outcome.Tie = true;
    outcome.Decided = true;
    return outcome;
  }

  // 3. 返吟 without 贼 or 克.
  if (Wrap(plate.Shift, 12) == 6) return Decided(kPostHorse[b], u3, u1);

  // 4. 八专: the stem lodges on the day's own branch.
  if (lodging == b) {
    const int initial = yangDay ? Wrap(u1 + 2, 12) : Wrap(u4 - 2, 12);
    return Decided(initial, u1, u1);
  }

  // 5. 遥克: the uppers of lessons 2-4 that control the day stem, else those
  // that the day stem controls.
  const int stemElement = ElementOf(s);
  std::vector<int> remote;
  for (int pass = 0; pass < 2 && remote.empty(); ++pass) {
    for (int j = 1; j < 4; ++j) {
      const int upper = lessons.Upper[j];
      const int element = BranchElement(upper);
      const bool hit = pass == 0 ? Controls(element, stemElement) : Controls(stemElement, element);
      if (hit && std::find(remote.begin(), remote.end(), upper) == remote.end())
        remote.push_back(upper);
    }
  }
  if (remote.size() == 1) return chain(remote[0]);
  if (remote.size() > 1) {
    std::vector<int> same;
    for (int x : remote)
      if (YangBranch(x) == yangDay) same.push_back(x);
    if (same.size() != 1) return {};
    return chain(same[0]);
  }

  // 6. 别责: the lessons are incomplete.
  if (lessons.Incomplete) {
    const int initial = yangDay ? plate.Above(kLodging[Wrap(s + 5, 10)]) : Wrap(b + 4, 12);
    return Decided(initial, u1, u1);
  }

  // 7. 昴星.
  if (yangDay) return Decided(plate.Above(kYou), u3, u1);
  return Decided(plate.Under(kYou), u1, u3);
}

}  // namespace orv
