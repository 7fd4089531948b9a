// Symbol codes and sexagenary arithmetic.
//
// One integer code space 0-193 names every symbol of every chart: 0 blank,
// stems 1-10 (jia ... gui), branches 11-22 (zi ... hai), Purple Star palaces,
// stars and spirits 23-140, growth stages 141-152, Liu Ren generals 153-164,
// Qimen deities, doors and stars 165-184, palaces 185-193 (Luoshu 1-9).
// The code is also the index into the symbol name table (names.h).
#pragma once

#include <array>

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

int CodeOf(int ordinal, CodeKind kind);
int Ordinal(int code);
// Element of the codes 0-22 (0 for blank and for any other code).
int ElementOf(int code);
// Relation of element x to element y: 0 same, 1 y generates x, 2 y controls
// x, -2 x controls y, -1 x generates y, 3 otherwise.
int Relation(int x, int y);
// Relation of two codes: the relation of their elements.
int CodeRelation(int codeX, int codeY);

constexpr bool IsYang(int code) { return code % 2 != 0; }
constexpr bool SamePolarity(int a, int b) { return (a - b) % 2 == 0; }

struct Pillar {
  int Stem = 0;    // stem code 1-10
  int Branch = 0;  // branch code 11-22
  friend bool operator==(const Pillar&, const Pillar&) = default;
};

// Sexagenary number 1-60 (jiazi 1 ... guihai 60).
int CycleNumber(int stem, int branch);
inline int CycleNumber(const Pillar& p) { return CycleNumber(p.Stem, p.Branch); }
// Any integer: stem Wrap(n,10), branch Wrap(n,12)+10.
Pillar PillarOfNumber(int n);
// Cycle number of the year pillar of a year number.
constexpr int YearCycleNumber(int year) { return Wrap(year - 3, 60); }

// The jia pillar that opens the decade of a pillar.
Pillar XunHead(const Pillar& p);
// The two void branch codes of the decade of a pillar.
std::array<int, 2> VoidBranches(const Pillar& p);
bool IsVoid(const Pillar& p, int branch);

}  // namespace orv
