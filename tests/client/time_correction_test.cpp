// The birth-time correction: clock time at a place -> absolute instant (the
// zone's history from the system's tz database) -> local mean / true solar
// time, and the line that says what was done. Every expectation is worked
// out by hand in the case's comment.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "time_correction.h"

namespace timefix {
namespace {

using std::chrono::hours;
using std::chrono::seconds;

struct Case {
  const char* what;
  CorrectionInput input;
  CivilTime corrected;
  seconds daylightSaving;
  double longitudeMinutes;
  std::string line;
  // The corrected moment of a true solar time holds the equation of time
  // to the second: it is checked within this many seconds of the hand
  // value (the almanac's, rounded).
  int toleranceSeconds = 0;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

CorrectionInput At(CivilTime clock, Correction c, const char* place, double longitude,
                   const char* zone, Fold fold = Fold::Unknown) {
  CorrectionInput in;
  in.clock = clock;
  in.correction = c;
  in.placeName = place;
  in.longitude = longitude;
  in.zone = zone;
  in.fold = fold;
  return in;
}

const Case kCases[] = {
    // Urumqi, 1988-07-15 14:30 by the clock. China kept daylight saving
    // from 1988-04-17 to 1988-09-11: the clock read UTC+9, so the instant
    // is 05:30 UTC. Mean solar time at 87.6°E: 05:30 + 87.6 * 4 min
    // (350.4 min = 5:50.4) = 11:20.4. The equation of time in mid-July is
    // about -5.9 min (-5 min 55 s): true solar time 11:14:29, shown 11:14,
    // the 午 hour. Against the zone's meridian (120°E): (87.6 - 120) * 4 =
    // -129.6 min = -2:09.6; 14:30 - 1:00 - 2:09.6 - 5.9 = 11:14.5 again.
    {"Urumqi, summer 1988, true solar time",
     At({1988, 7, 15, 14, 30, 0}, Correction::TrueSolar, "乌鲁木齐", 87.6, "Asia/Shanghai"),
     {1988, 7, 15, 11, 14, 29},
     hours{1},
     -129.6,
     "真太阳时 1988-07-15 11:14（北京时间 14:30，夏令时 −1:00，乌鲁木齐 东经87.6°，"
     "经度差 −2:09.6，均时差 −5.9分）",
     10},
    // The same by mean solar time: 11:20.4, shown 11:20; the corrected
    // moment keeps its seconds (11:20:24).
    {"Urumqi, summer 1988, mean solar time",
     At({1988, 7, 15, 14, 30, 0}, Correction::MeanSolar, "乌鲁木齐", 87.6, "Asia/Shanghai"),
     {1988, 7, 15, 11, 20, 24},
     hours{1},
     -129.6,
     "平太阳时 1988-07-15 11:20（北京时间 14:30，夏令时 −1:00，乌鲁木齐 东经87.6°，"
     "经度差 −2:09.6）"},
    // Harbin (126.6°E) in winter, 1990-01-15 08:00: no saving in January,
    // UTC+8, so 00:00 UTC. Mean solar: 126.6 * 4 = 506.4 min = 8:26.4 ->
    // 08:26:24. Against 120°E: +6.6 * 4 = +26.4 min.
    {"Harbin, winter",
     At({1990, 1, 15, 8, 0, 0}, Correction::MeanSolar, "哈尔滨", 126.6, "Asia/Shanghai"),
     {1990, 1, 15, 8, 26, 24},
     seconds{0},
     26.4,
     "平太阳时 1990-01-15 08:26（北京时间 08:00，哈尔滨 东经126.6°，经度差 +0:26.4）"},
    // Shanghai (121.47°E), 1986-09-14 01:30: daylight saving ended at
    // 02:00, the clock going back to 01:00, so 01:30 came twice. The first
    // reading, still on saving time (UTC+9), is 1986-09-13 16:30 UTC; mean
    // solar 16:30 + 121.47 * 4 min (485.88 min = 8:05.88) = 00:35:52 on
    // the 14th. Against 120°E: 1.47 * 4 = +5.88 min, shown +0:05.9.
    {"Shanghai, 1986 DST end, the earlier 01:30",
     At({1986, 9, 14, 1, 30, 0}, Correction::MeanSolar, "上海", 121.47, "Asia/Shanghai",
        Fold::Earlier),
     {1986, 9, 14, 0, 35, 52},
     hours{1},
     5.88,
     "平太阳时 1986-09-14 00:35（北京时间 01:30，夏令时 −1:00，上海 东经121.5°，经度差 "
     "+0:05.9）"},
    // The second reading, on standard time (UTC+8): 17:30 UTC, one hour
    // later: 01:35:52, no saving.
    {"Shanghai, 1986 DST end, the later 01:30",
     At({1986, 9, 14, 1, 30, 0}, Correction::MeanSolar, "上海", 121.47, "Asia/Shanghai",
        Fold::Later),
     {1986, 9, 14, 1, 35, 52},
     seconds{0},
     5.88,
     "平太阳时 1986-09-14 01:35（北京时间 01:30，上海 东经121.5°，经度差 +0:05.9）"},
    // Shanghai, 1986-05-04 03:30, the first hour of saving time (02:00 was
    // set to 03:00): UTC+9, 18:30 UTC on the 3rd; +8:05.88 -> 02:35:52.
    {"Shanghai, 1986 DST start, just after",
     At({1986, 5, 4, 3, 30, 0}, Correction::MeanSolar, "上海", 121.47, "Asia/Shanghai"),
     {1986, 5, 4, 2, 35, 52},
     hours{1},
     5.88,
     "平太阳时 1986-05-04 02:35（北京时间 03:30，夏令时 −1:00，上海 东经121.5°，经度差 "
     "+0:05.9）"},
    // Hong Kong (114.17°E), 1970-07-01 12:00: Hong Kong summer time ran
    // from 1970-04-19 to 1970-10-18 (UTC+9), so 03:00 UTC. Mean solar:
    // 114.17 * 4 = 456.68 min = 7:36.68 -> 10:36:40. Against 120°E:
    // -5.83 * 4 = -23.32 min.
    {"Hong Kong, summer 1970",
     At({1970, 7, 1, 12, 0, 0}, Correction::MeanSolar, "香港", 114.17, "Asia/Hong_Kong"),
     {1970, 7, 1, 10, 36, 40},
     hours{1},
     -23.32,
     "平太阳时 1970-07-01 10:36（香港时间 12:00，夏令时 −1:00，香港 东经114.2°，经度差 "
     "−0:23.3）"},
    // A client in New York (74.0°W), 2000-07-01 09:00 EDT (UTC-4): 13:00
    // UTC. Mean solar: -74 * 4 = -296 min = -4:56 -> 08:04. The zone's
    // standard meridian is 75°W: (-74 + 75) * 4 = +4.0 min.
    {"New York, summer",
     At({2000, 7, 1, 9, 0, 0}, Correction::MeanSolar, "纽约", -74.0, "America/New_York"),
     {2000, 7, 1, 8, 4, 0},
     hours{1},
     4.0,
     "平太阳时 2000-07-01 08:04（当地时间 09:00，时区 UTC−5，夏令时 −1:00，纽约 西经74.0°，"
     "经度差 +0:04.0）"},
    // Kashgar (76.0°E), 2000-03-10 00:20 Beijing time: 2000-03-09 16:20
    // UTC; mean solar 16:20 + 76 * 4 min (5:04) = 21:24 of the day before.
    // Against 120°E: -44 * 4 = -176 min = -2:56.0.
    {"Kashgar, the day changes",
     At({2000, 3, 10, 0, 20, 0}, Correction::MeanSolar, "喀什", 76.0, "Asia/Shanghai"),
     {2000, 3, 9, 21, 24, 0},
     seconds{0},
     -176.0,
     "平太阳时 2000-03-09 21:24（北京时间 00:20，喀什 东经76.0°，经度差 −2:56.0）"},
    // Longitude typed by hand, no place name; a zone whose standard offset
    // is not whole hours: Kolkata 2000-01-01 12:00 IST (UTC+5:30) at
    // 88.4°E: 06:30 UTC + 88.4 * 4 min (353.6 = 5:53.6) = 12:23:36.
    // Against 82.5°E: +5.9 * 4 = +23.6 min.
    {"By hand, half-hour zone",
     At({2000, 1, 1, 12, 0, 0}, Correction::MeanSolar, "", 88.4, "Asia/Kolkata"),
     {2000, 1, 1, 12, 23, 36},
     seconds{0},
     23.6,
     "平太阳时 2000-01-01 12:23（当地时间 12:00，时区 UTC+5:30，东经88.4°，经度差 +0:23.6）"},
};

class Corrections : public testing::TestWithParam<Case> {};

TEST_P(Corrections, GiveTheMomentAndTheLine) {
  const Case& c = GetParam();
  const CorrectionResult r = Correct(c.input);
  ASSERT_EQ(r.status, CorrectionStatus::Ok) << r.message;
  EXPECT_LE(std::llabs(CivilSeconds(r.corrected) - CivilSeconds(c.corrected)),
            c.toleranceSeconds)
      << r.corrected.year << "-" << r.corrected.month << "-" << r.corrected.day << " "
      << r.corrected.hour << ":" << r.corrected.minute << ":" << r.corrected.second;
  EXPECT_EQ(r.daylightSaving, c.daylightSaving);
  EXPECT_NEAR(r.longitudeMinutes, c.longitudeMinutes, 1e-9);
  EXPECT_EQ(r.line, c.line);
  EXPECT_TRUE(r.message.empty());
}

INSTANTIATE_TEST_SUITE_P(Table, Corrections, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& param) {
                           return "case" + std::to_string(param.index);
                         });

TEST(Correct, NoneCastsTheClockAndWritesNoLine) {
  const CorrectionResult r =
      Correct(At({1988, 7, 15, 14, 30, 0}, Correction::None, "乌鲁木齐", 87.6, "Asia/Shanghai"));
  ASSERT_EQ(r.status, CorrectionStatus::Ok);
  EXPECT_EQ(r.corrected, (CivilTime{1988, 7, 15, 14, 30, 0}));
  EXPECT_TRUE(r.line.empty());
  EXPECT_EQ(r.daylightSaving, hours{1});
}

TEST(Correct, TheSkippedHourWhenSavingBeganIsRefused) {
  // 1986-05-04: the clock went from 02:00 to 03:00; 02:30 never was.
  const CorrectionResult r =
      Correct(At({1986, 5, 4, 2, 30, 0}, Correction::TrueSolar, "上海", 121.47, "Asia/Shanghai"));
  EXPECT_EQ(r.status, CorrectionStatus::SkippedTime);
  EXPECT_EQ(r.message,
            "1986年5月4日 2:30 这个时刻不存在：当天夏令时开始，时钟从2:00拨到3:00。请检查时间。");
  EXPECT_TRUE(r.line.empty());
}

TEST(Correct, TheRepeatedHourWhenSavingEndedAsksWhichOne) {
  const CorrectionResult r =
      Correct(At({1986, 9, 14, 1, 30, 0}, Correction::MeanSolar, "上海", 121.47, "Asia/Shanghai"));
  EXPECT_EQ(r.status, CorrectionStatus::RepeatedTime);
  EXPECT_EQ(r.message,
            "1986年9月14日 1:30 这个时刻出现两次（夏令时结束时时钟回拨），请选择是夏令时还是标准时。");
  EXPECT_TRUE(r.line.empty());
}

TEST(Correct, BadInputIsRefusedWithAMessage) {
  struct Bad {
    CorrectionInput input;
    CorrectionStatus status;
    const char* message;
  } const bad[] = {
      {At({1990, 1, 1, 8, 0, 0}, Correction::MeanSolar, "", 180.5, "Asia/Shanghai"),
       CorrectionStatus::LongitudeOutOfRange, "经度必须在 −180 到 180 之间。"},
      {At({1990, 1, 1, 8, 0, 0}, Correction::MeanSolar, "", -181, "Asia/Shanghai"),
       CorrectionStatus::LongitudeOutOfRange, "经度必须在 −180 到 180 之间。"},
      {At({1990, 1, 1, 8, 0, 0}, Correction::MeanSolar, "", std::nan(""), "Asia/Shanghai"),
       CorrectionStatus::LongitudeOutOfRange, "经度必须在 −180 到 180 之间。"},
      {At({1990, 1, 1, 8, 0, 0}, Correction::MeanSolar, "", 100, "Mars/Olympus"),
       CorrectionStatus::UnknownZone, "未知的时区：Mars/Olympus。"},
      {At({1990, 2, 30, 8, 0, 0}, Correction::MeanSolar, "", 100, "Asia/Shanghai"),
       CorrectionStatus::BadDate, nullptr},
      {At({1990, 1, 1, 24, 0, 0}, Correction::MeanSolar, "", 100, "Asia/Shanghai"),
       CorrectionStatus::BadDate, nullptr},
  };
  for (const Bad& b : bad) {
    const CorrectionResult r = Correct(b.input);
    EXPECT_EQ(r.status, b.status) << b.input.zone << " " << b.input.longitude;
    if (b.message != nullptr) {
      EXPECT_EQ(r.message, b.message);
    }
    EXPECT_FALSE(r.message.empty());
    EXPECT_TRUE(r.line.empty());
  }
  // The ends of the range are longitudes.
  EXPECT_EQ(Correct(At({1990, 1, 1, 8, 0, 0}, Correction::MeanSolar, "", 180, "Asia/Shanghai"))
                .status,
            CorrectionStatus::Ok);
  EXPECT_EQ(Correct(At({1990, 1, 1, 8, 0, 0}, Correction::MeanSolar, "", -180, "Asia/Shanghai"))
                .status,
            CorrectionStatus::Ok);
}

std::int64_t Unix(int y, int mo, int d, int h, int mi) {
  return CivilSeconds(CivilTime{y, mo, d, h, mi, 0});
}

TEST(EquationOfTime, AgreesWithPublishedValuesWithinTenSeconds) {
  // Published values (apparent minus mean solar time):
  // - J. Meeus, Astronomical Algorithms (2nd ed., 1998), Example 28.a:
  //   1992 October 13.0 TD, E = +13 min 42.6 s (TD and UT then differed
  //   by under a minute, which moves E by far less than a second);
  // - the extremes and zeros of the yearly curve as almanacs tabulate
  //   them: -14 min 12 s on February 11, +16 min 25 s on November 3, and
  //   zero on April 15, June 13 and September 1 (at noon UT, 2025).
  struct Published {
    std::int64_t at;
    double minutes;
  } const published[] = {
      {Unix(1992, 10, 13, 0, 0), 13 + 42.6 / 60},
      {Unix(2025, 2, 11, 12, 0), -(14 + 12.0 / 60)},
      {Unix(2025, 11, 3, 12, 0), 16 + 25.0 / 60},
      {Unix(2025, 4, 15, 12, 0), 0.0},
      {Unix(2025, 6, 13, 12, 0), 0.0},
      {Unix(2025, 9, 1, 12, 0), 0.0},
  };
  for (const Published& p : published)
    EXPECT_NEAR(EquationOfTimeMinutes(p.at), p.minutes, 10.0 / 60) << p.at;
}

TEST(CivilSeconds, RoundTripsAcrossDaysAndBefore1970) {
  for (const CivilTime t : {CivilTime{1902, 1, 1, 0, 0, 0}, CivilTime{1969, 12, 31, 23, 59, 59},
                            CivilTime{2000, 2, 29, 12, 34, 56}, CivilTime{2050, 12, 31, 23, 0, 0}})
    EXPECT_EQ(CivilFromSeconds(CivilSeconds(t)), t);
  EXPECT_EQ(CivilSeconds(CivilTime{1970, 1, 2, 0, 0, 1}), 86401);
  EXPECT_EQ(CivilFromSeconds(-1), (CivilTime{1969, 12, 31, 23, 59, 59}));
}

}  // namespace
}  // namespace timefix
