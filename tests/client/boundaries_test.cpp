// Boundary warnings: a double-hour change (odd hours) or a sectional term
// (a month-pillar change) within 10 minutes of the moment, inclusive.
// Expectations follow from the rules: the hour pillar changes at every odd
// hour (23:00 starts 子), the month pillar at the instant of each 节; the
// instants are those of the engine's tables (立春 1923 at 04:00:00, 立春
// 1984 at 23:18:44.29, both UTC+8).
#include <gtest/gtest.h>

#include <string>

#include "engine_library.h"
#include "time_correction.h"

namespace timefix {
namespace {

struct Near {
  const char* what;
  CivilTime moment;
  std::vector<std::string> texts;  // hour first
  std::vector<CivilTime> others;
};

void PrintTo(const Near& n, std::ostream* os) { *os << n.what; }

const Near kNear[] = {
    // 10:50 is 巳 (09:00-10:59); 午 begins at 11:00, exactly 10 min later.
    {"hour, 10 min before", {1990, 6, 10, 10, 50, 0}, {"时柱：巳时 / 午时"}, {{1990, 6, 10, 11, 0, 0}}},
    {"hour, 11 min before", {1990, 6, 10, 10, 49, 0}, {}, {}},
    // 11:10 is 午, which began exactly 10 min before; the other side's last
    // second is 10:59:59.
    {"hour, 10 min after", {1990, 6, 10, 11, 10, 0}, {"时柱：午时 / 巳时"}, {{1990, 6, 10, 10, 59, 59}}},
    {"hour, 11 min after", {1990, 6, 10, 11, 11, 0}, {}, {}},
    // 22:55 is 亥; 子 begins at 23:00 (and with it the next day's pillar).
    {"hour, before 23:00", {1990, 6, 10, 22, 55, 0}, {"时柱：亥时 / 子时"}, {{1990, 6, 10, 23, 0, 0}}},
    // 立春 1923-02-05 04:00: the year 壬戌 gives way to 癸亥. The twelfth
    // month of a 壬 year is 癸丑 (壬 years begin with 壬寅); the first month
    // of a 癸 year is 甲寅. 03:50 and 04:10 lie inside 寅 (03:00-04:59).
    {"term, 10 min before", {1923, 2, 5, 3, 50, 0}, {"月柱：癸丑 / 甲寅"}, {{1923, 2, 5, 4, 0, 0}}},
    {"term, 11 min before", {1923, 2, 5, 3, 49, 0}, {}, {}},
    {"term, 10 min after", {1923, 2, 5, 4, 10, 0}, {"月柱：甲寅 / 癸丑"}, {{1923, 2, 5, 3, 59, 59}}},
    {"term, 11 min after", {1923, 2, 5, 4, 11, 0}, {}, {}},
    // 立春 1984-02-04 23:18:44.29, a 甲子 year after a 癸亥 one: 乙丑 / 丙寅.
    // 23:08:44 is 10 min 0.29 s before it (no term warning); 23:08:45 is
    // 9 min 59.29 s before it, and the first whole second of 丙寅 is
    // 23:18:45. Both lie 8-9 min after 23:00, where 子 followed 亥.
    {"term to the second, just outside", {1984, 2, 4, 23, 8, 44}, {"时柱：子时 / 亥时"},
     {{1984, 2, 4, 22, 59, 59}}},
    {"term to the second, just inside", {1984, 2, 4, 23, 8, 45},
     {"时柱：子时 / 亥时", "月柱：乙丑 / 丙寅"},
     {{1984, 2, 4, 22, 59, 59}, {1984, 2, 4, 23, 18, 45}}},
};

class Boundaries : public testing::TestWithParam<Near> {
 protected:
  TEngineLibrary engine_{ORV_LIBRARY_DIR};
};

TEST_P(Boundaries, AreFoundWithinTenMinutes) {
  ASSERT_TRUE(engine_.loaded()) << engine_.error();
  const Near& n = GetParam();
  const auto found = NearBoundaries(engine_, n.moment);
  ASSERT_EQ(found.size(), n.texts.size());
  for (std::size_t i = 0; i < found.size(); ++i) {
    EXPECT_EQ(found[i].text, n.texts[i]);
    EXPECT_EQ(found[i].kind, n.texts[i].starts_with("时柱") ? Boundary::Kind::Hour
                                                             : Boundary::Kind::Term);
    const CivilTime& o = found[i].other;
    EXPECT_EQ(o, n.others[i]) << o.year << "-" << o.month << "-" << o.day << " " << o.hour << ":"
                              << o.minute << ":" << o.second;
  }
}

INSTANTIATE_TEST_SUITE_P(Table, Boundaries, testing::ValuesIn(kNear),
                         [](const testing::TestParamInfo<Near>& param) {
                           return "case" + std::to_string(param.index);
                         });

TEST(NearBoundaries, PillarsAreNamedAsTheTextsNameThem) {
  TEngineLibrary engine{ORV_LIBRARY_DIR};
  ASSERT_TRUE(engine.loaded());
  const auto found = NearBoundaries(engine, {1923, 2, 5, 3, 55, 0});
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].thisPillar, "癸丑");
  EXPECT_EQ(found[0].otherPillar, "甲寅");
  const auto hour = NearBoundaries(engine, {1990, 6, 10, 10, 55, 0});
  ASSERT_EQ(hour.size(), 1u);
  EXPECT_EQ(hour[0].thisPillar, "巳");
  EXPECT_EQ(hour[0].otherPillar, "午");
}

TEST(NearBoundaries, AMomentTheEngineRefusesHasNone) {
  TEngineLibrary engine{ORV_LIBRARY_DIR};
  ASSERT_TRUE(engine.loaded());
  EXPECT_TRUE(NearBoundaries(engine, {1800, 1, 1, 10, 55, 0}).empty());
  EXPECT_TRUE(NearBoundaries(engine, {1990, 2, 30, 10, 55, 0}).empty());
}

}  // namespace
}  // namespace timefix
