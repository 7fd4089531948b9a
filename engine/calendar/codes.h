// Symbol codes and sexagenary arithmetic.
//
// One integer code space 0-193 names every symbol of every chart: 0 blank,
// stems 1-10 (jia ... gui), branches 11-22 (zi ... hai), Purple Star palaces,
// stars and spirits 23-140, growth stages 141-152, Liu Ren generals 153-164,
// Qimen deities, doors and stars 165-184, palaces 185-193 (Luoshu 1-9).
// The code is also the index into the symbol name table (names.h).
#pragma once

#include <array>
#include <cstddef>

namespace orv {

enum class CodeKind { Stem = 0, Branch = 1, General = 2, Raw = 3, Growth = 4, Palace = 5 };

constexpr int kStemFirst = 1, kStemLast = 10;
constexpr int kBranchFirst = 11, kBranchLast = 22;
constexpr int kGrowthFirst = 141, kGrowthLast = 152;
constexpr int kGeneralFirst = 153, kGeneralLast = 164;
constexpr int kPalaceFirst = 185, kPalaceLast = 193;
constexpr int kSymbolCount = 194;

// Element numbers in generating order.
enum Element { kNoElement = 0, kWood = 1, kFire = 2, kEarth = 3, kMetal = 4, kWater = 5 };

// Reduces n into 1..m (never 0).
constexpr int Wrap(int n, int m) {
  const int r = n % m;
  return r > 0 ? r : r + m;
}
constexpr int Wrap(int n, int m, int c) { return Wrap(n + c, m); }

constexpr int CodeOf(int ordinal, CodeKind kind) {
  switch (kind) {
    case CodeKind::Stem: return Wrap(ordinal, 10);
    case CodeKind::Branch: return Wrap(ordinal, 12) + 10;
    case CodeKind::General: return ordinal + 152;
    case CodeKind::Raw: return ordinal;
    case CodeKind::Growth: return ordinal + 140;
    case CodeKind::Palace: return ordinal + 184;
  }
  return ordinal;
}

constexpr int Ordinal(int code) {
  if (code >= kBranchFirst && code <= kBranchLast) return code - 10;
  if (code >= kGrowthFirst && code <= kGrowthLast) return code - 140;
  if (code >= kPalaceFirst && code <= kPalaceLast) return code - 184;
  return code;
}

// Element of the codes 0-22 (0 for blank and for any other code).
constexpr int ElementOf(int code) {
  constexpr int kElements[23] = {0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5,
                                 5, 3, 1, 1, 3, 2, 2, 3, 4, 4, 3, 5};
  return code >= 0 && code <= 22 ? kElements[code] : kNoElement;
}

// Relation of element x to element y: 0 same, 1 y generates x, 2 y controls
// x, -2 x controls y, -1 x generates y, 3 otherwise.
constexpr int Relation(int x, int y) {
  int d = x - y;
  if (x < y) d += 5;
  switch (d) {
    case 0: return 0;
    case 1: return 1;
    case 2: return 2;
    case 3: return -2;
    case 4: return -1;
    default: return 3;
  }
}

// Relation of two codes: the relation of their elements.
constexpr int CodeRelation(int codeX, int codeY) {
  return Relation(ElementOf(codeX), ElementOf(codeY));
}

constexpr bool IsYang(int code) { return code % 2 != 0; }
constexpr bool SamePolarity(int a, int b) { return (a - b) % 2 == 0; }

struct Pillar {
  int Stem = 0;    // stem code 1-10
  int Branch = 0;  // branch code 11-22
  friend bool operator==(const Pillar&, const Pillar&) = default;
};

namespace detail {
// The cycle numbers of the stem codes 1-10 and branch codes 11-22, and the
// pillars of the numbers 0-60, made while compiling: every chart takes
// them many times, and the reductions cost divisions.
constexpr int CycleNumberOfOrdinals(int stem, int branch) { return Wrap(6 * stem - 5 * branch, 60); }
inline constexpr auto kCycleNumbers = [] {
  std::array<std::array<signed char, 12>, 10> numbers{};
  for (int s = 1; s <= 10; ++s)
    for (int b = 1; b <= 12; ++b)
      numbers[static_cast<std::size_t>(s - 1)][static_cast<std::size_t>(b - 1)] =
          static_cast<signed char>(CycleNumberOfOrdinals(s, b));
  return numbers;
}();
inline constexpr auto kPillarsOfNumbers = [] {
  std::array<Pillar, 61> pillars{};
  for (int n = 0; n <= 60; ++n) pillars[static_cast<std::size_t>(n)] = {Wrap(n, 10), Wrap(n, 12) + 10};
  return pillars;
}();
}  // namespace detail

// Sexagenary number 1-60 (jiazi 1 ... guihai 60).
constexpr int CycleNumber(int stem, int branch) {
  if (stem >= kStemFirst && stem <= kStemLast && branch >= kBranchFirst && branch <= kBranchLast)
    return detail::kCycleNumbers[static_cast<std::size_t>(stem - 1)]
                                [static_cast<std::size_t>(branch - kBranchFirst)];
  return detail::CycleNumberOfOrdinals(Ordinal(stem), Ordinal(branch));
}
constexpr int CycleNumber(const Pillar& p) { return CycleNumber(p.Stem, p.Branch); }
// Any integer: stem Wrap(n,10), branch Wrap(n,12)+10.
constexpr Pillar PillarOfNumber(int n) {
  if (n >= 0 && n <= 60) return detail::kPillarsOfNumbers[static_cast<std::size_t>(n)];
  return {Wrap(n, 10), Wrap(n, 12) + 10};
}
// Cycle number of the year pillar of a year number.
constexpr int YearCycleNumber(int year) { return Wrap(year - 3, 60); }

// The jia pillar that opens the decade of a pillar.
constexpr Pillar XunHead(const Pillar& p) {
  return PillarOfNumber(10 * ((CycleNumber(p) - 1) / 10) + 1);
}
// The two void branch codes of the decade of a pillar.
constexpr std::array<int, 2> VoidBranches(const Pillar& p) {
  const int k = (CycleNumber(p) - 1) / 10;
  const int c = Wrap(11 - 2 * k, 12);
  return {CodeOf(c, CodeKind::Branch), CodeOf(c + 1, CodeKind::Branch)};
}
constexpr bool IsVoid(const Pillar& p, int branch) {
  const auto v = VoidBranches(p);
  return branch == v[0] || branch == v[1];
}

}  // namespace orv
