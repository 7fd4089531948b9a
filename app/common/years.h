#pragma once
// The civil years the program offers in its date lists and accepts for a
// chart: every year a casebook's records and charts may carry. The engine
// serves a wider span (ORV_FIRST_YEAR to ORV_LAST_YEAR in orv.h).

namespace years {

constexpr int kFirst = 1920;
constexpr int kLast = 2050;

}  // namespace years
