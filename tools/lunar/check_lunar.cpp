// Checks engine/calendar/lunar.cpp against hand-derived lunar dates, and
// prints the lunar date of every civil day 1900-12-01 .. 2052-01-31 for
// verify.js to compare with an independent walk of the table.
// Built and run by verify.js; not part of the engine.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "calendar/dates.h"
#include "calendar/lunar.h"

using orv::EncodeDate;
using orv::LunarDate;

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
  if (!ok) {
    ++failures;
    std::printf("FAIL %s\n", what);
  }
}

struct SolarCase {
  int y, m, d;
  bool found;
  LunarDate lunar;
  const char* what;
};

struct LunarCase {
  LunarDate lunar;
  bool found;
  int y, m, d;
  const char* what;
};

}  // namespace

int main() {
  const SolarCase solar[] = {
      {1984, 2, 1, true, {1983, 12, 30}, "1984-02-01 is the last day of 1983"},
      {1984, 2, 2, true, {1984, 1, 1}, "1984-02-02 is new year"},
      {1984, 2, 4, true, {1984, 1, 3}, "1984-02-04"},
      {2023, 3, 21, true, {2023, 2, 30}, "2023-03-21 day 30 of month 2"},
      {2023, 3, 22, true, {2023, -2, 1}, "2023-03-22 first day of leap month 2"},
      {2033, 12, 22, true, {2033, -11, 1}, "2033-12-22 first day of leap month 11"},
      {2034, 1, 19, true, {2033, -11, 29}, "2034-01-19 last day of leap month 11"},
      {2034, 1, 20, true, {2033, 12, 1}, "2034-01-20 month 12 after the leap month"},
      {1902, 1, 1, true, {1901, 11, 22}, "1902-01-01 from record 1901"},
      // The ends of the table.
      {1901, 2, 19, true, {1901, 1, 1}, "first day of the table"},
      {1901, 2, 18, false, {}, "day before the table"},
      {1900, 6, 1, false, {}, "1900"},
      {2050, 12, 31, true, {2050, 11, 18}, "last civil day of 2050"},
      {2051, 1, 1, true, {2050, 11, 19}, "2051-01-01 from record 2050"},
      {2051, 1, 12, true, {2050, 12, 1}, "first day of month 12 of 2050"},
      {2051, 2, 9, true, {2050, 12, 29}, "last day of the table"},
      {2051, 2, 10, false, {}, "day after the table"},
      {2051, 3, 1, false, {}, "March 2051"},
      {2052, 1, 15, false, {}, "2052"},
      // Leap years of the Gregorian calendar around the new year.
      {2000, 2, 4, true, {1999, 12, 29}, "2000-02-04 last day of 1999"},
      {2000, 2, 5, true, {2000, 1, 1}, "2000-02-05 new year"},
      {2000, 2, 29, true, {2000, 1, 25}, "2000-02-29"},
      {1903, 1, 28, true, {1902, 12, 30}, "1903-01-28 last day of 1902 (30-day month 12)"},
      {1903, 1, 29, true, {1903, 1, 1}, "1903-01-29 new year"},
  };
  for (const SolarCase& c : solar) {
    const std::optional<LunarDate> got = orv::SolarToLunar(EncodeDate(c.y, c.m, c.d));
    bool ok = got.has_value() == c.found && (!c.found || *got == c.lunar);
    Check(ok, c.what);
    // The time of day does not matter.
    const std::optional<LunarDate> late =
        orv::SolarToLunar(EncodeDate(c.y, c.m, c.d) + orv::Hours{23} + orv::Minutes{30});
    Check(late == got, c.what);
  }
  Check(!orv::SolarToLunar(orv::Moment{orv::Seconds{INT64_MIN}}).has_value(), "earliest moment");

  const LunarCase lunar[] = {
      {{1984, 1, 3}, true, 1984, 2, 4, "(1984, 1, 3)"},
      {{2023, -2, 1}, true, 2023, 3, 22, "(2023, -2, 1)"},
      {{2033, -11, 29}, true, 2034, 1, 19, "(2033, -11, 29)"},
      {{2023, -3, 1}, false, 0, 0, 0, "(2023, -3, 1): no leap month 3"},
      {{1902, 1, 1}, true, 1902, 2, 8, "(1902, 1, 1)"},
      {{2050, 12, 29}, false, 0, 0, 0, "(2050, 12, 29) lies in 2051"},
      {{1901, 11, 22}, true, 1902, 1, 1, "(1901, 11, 22) = 1902-01-01"},
      {{1901, 1, 1}, false, 0, 0, 0, "(1901, 1, 1) lies in 1901"},
      {{2050, 11, 18}, true, 2050, 12, 31, "(2050, 11, 18)"},
      {{2050, 11, 19}, false, 0, 0, 0, "(2050, 11, 19) lies in 2051"},
      {{2050, -3, 1}, true, 2050, 4, 21, "(2050, -3, 1)"},
      {{1984, 2, 30}, false, 0, 0, 0, "(1984, 2, 30): month 2 of 1984 has 29 days"},
      {{1984, 1, 30}, true, 1984, 3, 2, "(1984, 1, 30)"},
      {{1984, 0, 1}, false, 0, 0, 0, "month 0"},
      {{1984, 13, 1}, false, 0, 0, 0, "month 13"},
      {{1900, 12, 1}, false, 0, 0, 0, "lunar year 1900"},
      {{2051, 1, 1}, false, 0, 0, 0, "lunar year 2051"},
  };
  for (const LunarCase& c : lunar) {
    const std::optional<orv::Moment> got = orv::LunarToSolar(c.lunar.Year, c.lunar.Month, c.lunar.Day);
    bool ok = got.has_value() == c.found && (!c.found || *got == EncodeDate(c.y, c.m, c.d));
    Check(ok, c.what);
  }

  // Round trip over every civil day 1902-2050.
  int roundTrips = 0;
  for (orv::Moment t = EncodeDate(1902, 1, 1); t <= EncodeDate(2050, 12, 31); t += orv::Days{1}) {
    const std::optional<LunarDate> l = orv::SolarToLunar(t);
    if (!l) {
      Check(false, "a day of 1902-2050 without a lunar date");
      continue;
    }
    const std::optional<orv::Moment> back = orv::LunarToSolar(l->Year, l->Month, l->Day);
    if (!back || *back != t) {
      Check(false, "round trip");
      std::printf("  at day %lld\n", static_cast<long long>(orv::DayNumber(t).count()));
    }
    ++roundTrips;
  }
  std::printf("round trips: %d\n", roundTrips);

  // Every day for the comparison with the table walk in verify.js.
  for (orv::Moment t = EncodeDate(1900, 12, 1); t <= EncodeDate(2052, 1, 31); t += orv::Days{1}) {
    const auto [y, m, d] = orv::DecodeDate(t);
    const std::optional<LunarDate> l = orv::SolarToLunar(t);
    if (l) {
      std::printf("DAY %04d-%02d-%02d %d %d %d\n", y, m, d, l->Year, l->Month, l->Day);
    } else {
      std::printf("DAY %04d-%02d-%02d -\n", y, m, d);
    }
  }
  std::printf("%s: %d failure(s)\n", failures ? "FAILED" : "OK", failures);
  return failures ? 1 : 0;
}
