#include "codes.h"

namespace orv {

int CodeOf(int ordinal, CodeKind kind) {
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

int Ordinal(int code) {
  if (code >= kBranchFirst && code <= kBranchLast) return code - 10;
  if (code >= kGrowthFirst && code <= kGrowthLast) return code - 140;
  if (code >= kPalaceFirst && code <= kPalaceLast) return code - 184;
  return code;
}

int ElementOf(int code) {
  static constexpr int kElements[23] = {0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5,
                                        5, 3, 1, 1, 3, 2, 2, 3, 4, 4, 3, 5};
  return code >= 0 && code <= 22 ? kElements[code] : kNoElement;
}

int Relation(int x, int y) {
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

int CodeRelation(int codeX, int codeY) { return Relation(ElementOf(codeX), ElementOf(codeY)); }

int CycleNumber(int stem, int branch) {
  return Wrap(6 * Ordinal(stem) - 5 * Ordinal(branch), 60);
}

Pillar PillarOfNumber(int n) { return {Wrap(n, 10), Wrap(n, 12) + 10}; }

Pillar XunHead(const Pillar& p) { return PillarOfNumber(10 * ((CycleNumber(p) - 1) / 10) + 1); }

std::array<int, 2> VoidBranches(const Pillar& p) {
  const int k = (CycleNumber(p) - 1) / 10;
  const int c = Wrap(11 - 2 * k, 12);
  return {CodeOf(c, CodeKind::Branch), CodeOf(c + 1, CodeKind::Branch)};
}

bool IsVoid(const Pillar& p, int branch) {
  const auto v = VoidBranches(p);
  return branch == v[0] || branch == v[1];
}

}  // namespace orv
