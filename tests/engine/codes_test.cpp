#include "calendar/codes.h"

#include <gtest/gtest.h>

#include <string_view>

namespace orv {
namespace {

TEST(Codes, WrapNeverGivesZero) {
  EXPECT_EQ(Wrap(0, 12), 12);
  EXPECT_EQ(Wrap(-1, 24), 23);
  EXPECT_EQ(Wrap(12, 12), 12);
  EXPECT_EQ(Wrap(13, 12), 1);
  EXPECT_EQ(Wrap(-24, 12), 12);
  EXPECT_EQ(Wrap(11, 12, 1), 12);
  EXPECT_EQ(Wrap(1, 12, -1), 12);
}

TEST(Codes, CodeOfAndOrdinal) {
  EXPECT_EQ(CodeOf(11, CodeKind::Stem), 1);
  EXPECT_EQ(CodeOf(0, CodeKind::Stem), 10);
  EXPECT_EQ(CodeOf(0, CodeKind::Branch), 22);
  EXPECT_EQ(CodeOf(13, CodeKind::Branch), 11);
  EXPECT_EQ(CodeOf(1, CodeKind::General), 153);
  EXPECT_EQ(CodeOf(12, CodeKind::Growth), 152);
  EXPECT_EQ(CodeOf(9, CodeKind::Palace), 193);
  EXPECT_EQ(CodeOf(77, CodeKind::Raw), 77);
  EXPECT_EQ(Ordinal(11), 1);
  EXPECT_EQ(Ordinal(22), 12);
  EXPECT_EQ(Ordinal(7), 7);
  EXPECT_EQ(Ordinal(141), 1);
  EXPECT_EQ(Ordinal(185), 1);
  EXPECT_EQ(Ordinal(153), 153);  // generals keep their code
}

TEST(Codes, ElementsAndRelations) {
  // The stems and branches in code order: 甲 1 … 癸 10, 子 11 … 亥 22.
  const std::string_view symbols = "甲乙丙丁戊己庚辛壬癸子丑寅卯辰巳午未申酉戌亥";
  // Their elements as every almanac gives them.
  const struct {
    std::string_view members;
    Element element;
  } groups[] = {
      {"甲乙寅卯", kWood},   {"丙丁巳午", kFire},  {"戊己辰戌丑未", kEarth},
      {"庚辛申酉", kMetal},  {"壬癸亥子", kWater},
  };
  int counted = 0;
  for (const auto& g : groups)
    for (std::size_t i = 0; i < g.members.size(); i += 2) {
      const std::string_view member = g.members.substr(i, 2);
      const int code = static_cast<int>(symbols.find(member) / 2) + 1;
      ASSERT_EQ(symbols.substr(2 * (code - 1), 2), member);
      EXPECT_EQ(ElementOf(code), g.element) << code;
      ++counted;
    }
  EXPECT_EQ(counted, 22);  // every stem and branch once
  EXPECT_EQ(ElementOf(0), kNoElement);
  EXPECT_EQ(ElementOf(23), kNoElement);
  // x relative to y: 0 same, 1 y generates x, 2 y controls x, -2 x controls y, -1 x generates y.
  EXPECT_EQ(Relation(kFire, kFire), 0);
  EXPECT_EQ(Relation(kFire, kWood), 1);
  EXPECT_EQ(Relation(kWood, kWater), 1);
  EXPECT_EQ(Relation(kEarth, kWood), 2);
  EXPECT_EQ(Relation(kWood, kEarth), -2);
  EXPECT_EQ(Relation(kWood, kFire), -1);
  EXPECT_EQ(Relation(kWater, kWood), -1);
  EXPECT_EQ(CodeRelation(1 /*甲*/, 11 /*子*/), 1);   // water generates wood
  EXPECT_EQ(CodeRelation(7 /*庚*/, 13 /*寅*/), -2);  // metal controls wood
}

TEST(Codes, CycleNumbersAndPillars) {
  EXPECT_EQ(CycleNumber(1, 11), 1);    // 甲子
  EXPECT_EQ(CycleNumber(10, 22), 60);  // 癸亥, never 0
  EXPECT_EQ(CycleNumber(1, 21), 11);   // 甲戌
  EXPECT_EQ(CycleNumber(5, 15), 5);    // 戊辰
  for (int n = 1; n <= 60; ++n) EXPECT_EQ(CycleNumber(PillarOfNumber(n)), n);
  EXPECT_EQ(PillarOfNumber(0), (Pillar{10, 22}));
  EXPECT_EQ(PillarOfNumber(-59), (Pillar{1, 11}));
  EXPECT_EQ(YearCycleNumber(1984), 1);
  EXPECT_EQ(YearCycleNumber(1983), 60);
  EXPECT_EQ(YearCycleNumber(2000), 17);  // 庚辰
}

TEST(Codes, XunHeadsAndVoidBranches) {
  struct {
    Pillar p;
    Pillar head;
    int void1, void2;
  } cases[] = {
      {{1, 11}, {1, 11}, 21, 22},   // 甲子旬 戌亥
      {{10, 22}, {1, 13}, 11, 12},  // 癸亥 in 甲寅旬: 子丑
      {{2, 22}, {1, 21}, 19, 20},   // 乙亥 in 甲戌旬: 申酉
      {{5, 15}, {1, 11}, 21, 22},   // 戊辰 in 甲子旬
      {{10, 16}, {1, 19}, 17, 18},  // 癸巳 in 甲申旬: 午未
      {{1, 17}, {1, 17}, 15, 16},   // 甲午旬 辰巳
      {{3, 17}, {1, 15}, 13, 14},   // 丙午 in 甲辰旬: 寅卯
  };
  for (const auto& c : cases) {
    EXPECT_EQ(XunHead(c.p), c.head) << CycleNumber(c.p);
    const auto v = VoidBranches(c.p);
    EXPECT_EQ(v[0], c.void1) << CycleNumber(c.p);
    EXPECT_EQ(v[1], c.void2) << CycleNumber(c.p);
    EXPECT_TRUE(IsVoid(c.p, c.void1));
    EXPECT_TRUE(IsVoid(c.p, c.void2));
    EXPECT_FALSE(IsVoid(c.p, c.p.Branch));
  }
}

TEST(Codes, PolarityAndStepping) {
  EXPECT_TRUE(IsYang(1));
  EXPECT_FALSE(IsYang(2));
  EXPECT_TRUE(IsYang(11));
  EXPECT_FALSE(IsYang(12));
  EXPECT_TRUE(SamePolarity(1, 11));
  EXPECT_FALSE(SamePolarity(2, 11));
  // Stepping a stem or a branch within its kind goes through CodeOf and Wrap.
  EXPECT_EQ(CodeOf(10 + 1, CodeKind::Stem), 1);
  EXPECT_EQ(CodeOf(1 - 1, CodeKind::Stem), 10);
  EXPECT_EQ(CodeOf(Ordinal(22) + 1, CodeKind::Branch), 11);
  EXPECT_EQ(CodeOf(Ordinal(11) - 1, CodeKind::Branch), 22);
  EXPECT_EQ(Wrap(12, 12, 1), 1);
  EXPECT_EQ(Wrap(1, 12, -1), 12);
}

}  // namespace
}  // namespace orv
