// The clock time at a place turned into the moment a chart is cast for.
//
// The clock time is read in the place's zone through the system's tz
// database (Howard Hinnant's date library, reading /usr/share/zoneinfo), so
// that daylight saving comes from the zone's own history: China 1986-1991,
// Hong Kong, zones abroad. From the absolute instant:
//   local mean solar time = UTC + longitude * 4 min (east positive);
//   local true solar time = local mean solar time + equation of time.
#include "time_correction.h"

#include <date/tz.h>

#include <cmath>
#include <cstdio>
#include <exception>
#include <numbers>

namespace timefix {
namespace {

using std::chrono::minutes;
using std::chrono::seconds;

bool ValidClock(const CivilTime& t) {
  const date::year_month_day ymd{date::year{t.year}, date::month{static_cast<unsigned>(t.month)},
                                 date::day{static_cast<unsigned>(t.day)}};
  return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 && ymd.ok() &&
         t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.second >= 0 &&
         t.second <= 59;
}

date::local_seconds ToLocal(const CivilTime& t) {
  const date::year_month_day ymd{date::year{t.year}, date::month{static_cast<unsigned>(t.month)},
                                 date::day{static_cast<unsigned>(t.day)}};
  return date::local_days{ymd} + std::chrono::hours{t.hour} + minutes{t.minute} +
         seconds{t.second};
}

}  // namespace

CivilTime CivilFromSeconds(std::int64_t secondsSinceEpoch) {
  const auto tp = date::sys_seconds{seconds{secondsSinceEpoch}};
  const auto day = date::floor<date::days>(tp);
  const date::year_month_day ymd{day};
  const date::hh_mm_ss<seconds> hms{tp - day};
  return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
          static_cast<int>(static_cast<unsigned>(ymd.day())), static_cast<int>(hms.hours().count()),
          static_cast<int>(hms.minutes().count()), static_cast<int>(hms.seconds().count())};
}

std::int64_t CivilSeconds(const CivilTime& t) {
  const date::year_month_day ymd{date::year{t.year}, date::month{static_cast<unsigned>(t.month)},
                                 date::day{static_cast<unsigned>(t.day)}};
  return (date::sys_days{ymd} + std::chrono::hours{t.hour} + minutes{t.minute} + seconds{t.second})
      .time_since_epoch()
      .count();
}

namespace {

// The zone's standard offset at an instant: its offset less the saving in
// effect. With the system's database the library marks a period of
// daylight saving but does not say how much (the compiled files keep only
// total offsets), so the standard offset is that of the nearest period
// without saving, looking back first, then forward.
seconds StandardOffset(const date::time_zone& zone, const date::sys_info& info) {
  if (info.save == minutes{0}) return info.offset;
  date::sys_info probe = info;
  for (int i = 0; i < 8 && probe.begin > date::sys_seconds::min() + seconds{1}; ++i) {
    probe = zone.get_info(probe.begin - seconds{1});
    if (probe.save == minutes{0}) return probe.offset;
  }
  probe = info;
  for (int i = 0; i < 8 && probe.end < date::sys_seconds::max(); ++i) {
    probe = zone.get_info(probe.end);
    if (probe.save == minutes{0}) return probe.offset;
  }
  return info.offset - std::chrono::hours{1};
}

std::string TwoDigits(int v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", v);
  return b;
}

std::string DateText(const CivilTime& t) {
  char b[32];
  std::snprintf(b, sizeof b, "%04d-%02d-%02d", t.year, t.month, t.day);
  return b;
}

std::string ClockText(const CivilTime& t) { return TwoDigits(t.hour) + ":" + TwoDigits(t.minute); }

// "+" or U+2212 "−".
const char* Sign(bool negative) { return negative ? "\xE2\x88\x92" : "+"; }

// An offset or a saving as the line writes it: "−1:00", "+5:30".
std::string SignedHoursMinutes(seconds s) {
  const long long total = std::llabs(s.count()) / 60;
  return std::string(Sign(s.count() < 0)) + std::to_string(total / 60) + ":" +
         TwoDigits(static_cast<int>(total % 60));
}

// Minutes as "−2:09.6": hours, minutes and tenths, rounded to the tenth.
std::string SignedMinutesText(double m) {
  const long long tenths = std::llround(std::fabs(m) * 10.0);
  const bool negative = m < 0 && tenths != 0;
  char b[48];
  std::snprintf(b, sizeof b, "%s%lld:%02lld.%lld", Sign(negative), tenths / 600, tenths % 600 / 10,
                tenths % 10);
  return b;
}

// "时区 UTC−5", "时区 UTC+5:30".
std::string UtcOffsetText(seconds offset) {
  const long long total = std::llabs(offset.count()) / 60;
  std::string text = std::string("UTC") + Sign(offset.count() < 0) + std::to_string(total / 60);
  if (total % 60 != 0) text += ":" + TwoDigits(static_cast<int>(total % 60));
  return text;
}

// The name the line gives the clock of a zone; empty for a zone named by
// its offset.
const char* ClockName(const std::string& zone) {
  if (zone == "Asia/Shanghai") return "北京时间";
  if (zone == "Asia/Hong_Kong") return "香港时间";
  if (zone == "Asia/Macau") return "澳门时间";
  if (zone == "Asia/Taipei") return "台湾时间";
  return "";
}

std::string DateForMessage(const CivilTime& t) {
  return std::to_string(t.year) + "年" + std::to_string(t.month) + "月" + std::to_string(t.day) +
         "日 " + std::to_string(t.hour) + ":" + TwoDigits(t.minute);
}

CorrectionResult Fail(CorrectionStatus status, std::string message) {
  CorrectionResult r;
  r.status = status;
  r.message = std::move(message);
  return r;
}

}  // namespace

// The equation of time by the formula of the NOAA Solar Calculator (NOAA
// Global Monitoring Laboratory, "General Solar Position Calculations",
// after Meeus, Astronomical Algorithms, ch. 25 and 28; W. M. Smart's
// series): good to a few seconds for 1800-2100. The instant is taken as
// Julian centuries from J2000.0; the difference between UT and dynamical
// time (about a minute) moves the result by far less than a second.
double EquationOfTimeMinutes(std::int64_t unixSeconds) {
  constexpr double kDeg = std::numbers::pi / 180.0;
  const double julianDay = static_cast<double>(unixSeconds) / 86400.0 + 2440587.5;
  const double t = (julianDay - 2451545.0) / 36525.0;
  const double meanLongitude = std::fmod(280.46646 + t * (36000.76983 + t * 0.0003032), 360.0);
  const double meanAnomaly = 357.52911 + t * (35999.05029 - 0.0001537 * t);
  const double eccentricity = 0.016708634 - t * (0.000042037 + 0.0000001267 * t);
  const double meanObliquity =
      23.0 + (26.0 + (21.448 - t * (46.815 + t * (0.00059 - t * 0.001813))) / 60.0) / 60.0;
  const double omega = 125.04 - 1934.136 * t;
  const double obliquity = meanObliquity + 0.00256 * std::cos(omega * kDeg);
  const double y = std::pow(std::tan(obliquity * kDeg / 2.0), 2);
  const double l0 = meanLongitude * kDeg;
  const double m = meanAnomaly * kDeg;
  const double e = eccentricity;
  const double radians = y * std::sin(2 * l0) - 2 * e * std::sin(m) +
                         4 * e * y * std::sin(m) * std::cos(2 * l0) -
                         0.5 * y * y * std::sin(4 * l0) - 1.25 * e * e * std::sin(2 * m);
  return 4.0 * radians / kDeg;
}

CorrectionResult Correct(const CorrectionInput& input) {
  if (!ValidClock(input.clock)) return Fail(CorrectionStatus::BadDate, "日期或时间无效，请检查。");
  if (!(input.longitude >= -180.0 && input.longitude <= 180.0))
    return Fail(CorrectionStatus::LongitudeOutOfRange, "经度必须在 −180 到 180 之间。");
  const date::time_zone* zone = nullptr;
  try {
    zone = date::locate_zone(input.zone);
  } catch (const std::exception&) {
    return Fail(CorrectionStatus::UnknownZone, "未知的时区：" + input.zone + "。");
  }

  const date::local_seconds local = ToLocal(input.clock);
  date::local_info li;
  try {
    li = zone->get_info(local);
  } catch (const std::exception&) {
    return Fail(CorrectionStatus::UnknownZone, "未知的时区：" + input.zone + "。");
  }
  date::sys_info info;
  if (li.result == date::local_info::nonexistent) {
    // The clock jumped from the end of the first period to the start of the
    // second: from 2:00 to 3:00 in China.
    const auto jumpedFrom = date::local_seconds{li.second.begin.time_since_epoch() + li.first.offset};
    const auto jumpedTo = date::local_seconds{li.second.begin.time_since_epoch() + li.second.offset};
    const auto hhmm = [](date::local_seconds s) {
      const date::hh_mm_ss<seconds> hms{s - date::floor<date::days>(s)};
      return std::to_string(hms.hours().count()) + ":" +
             TwoDigits(static_cast<int>(hms.minutes().count()));
    };
    const bool springForward = li.second.offset > li.first.offset;
    return Fail(CorrectionStatus::SkippedTime,
                DateForMessage(input.clock) + " 这个时刻不存在：当天" +
                    (springForward ? "夏令时开始" : "时区调整") + "，时钟从" + hhmm(jumpedFrom) +
                    "拨到" + hhmm(jumpedTo) + "。请检查时间。");
  }
  if (li.result == date::local_info::ambiguous) {
    if (input.fold == Fold::Unknown)
      return Fail(CorrectionStatus::RepeatedTime,
                  DateForMessage(input.clock) +
                      " 这个时刻出现两次（夏令时结束时时钟回拨），请选择是夏令时还是标准时。");
    info = input.fold == Fold::Earlier ? li.first : li.second;
  } else {
    info = li.first;
  }

  const seconds standard = StandardOffset(*zone, info);
  const seconds saving = info.offset - standard;
  const date::sys_seconds instant{local.time_since_epoch() - info.offset};
  const std::int64_t unix = instant.time_since_epoch().count();

  CorrectionResult r;
  r.daylightSaving = saving;
  r.longitudeMinutes = (input.longitude - static_cast<double>(standard.count()) / 240.0) * 4.0;
  if (input.correction == Correction::None) {
    r.corrected = input.clock;
    return r;
  }
  double shift = input.longitude * 240.0;  // seconds of local mean time east of Greenwich
  if (input.correction == Correction::TrueSolar) {
    r.equationMinutes = EquationOfTimeMinutes(unix);
    shift += r.equationMinutes * 60.0;
  }
  // Whole seconds, dropped rather than rounded (as the line drops them);
  // first to the millisecond, so that 126.6° gives its 30384 s exactly.
  const long long millis = std::llround(shift * 1000.0);
  const long long wholeSeconds = millis >= 0 ? millis / 1000 : -((-millis + 999) / 1000);
  r.corrected = CivilFromSeconds(unix + wholeSeconds);

  std::string& line = r.line;
  line = input.correction == Correction::TrueSolar ? "真太阳时 " : "平太阳时 ";
  line += DateText(r.corrected) + " " + ClockText(r.corrected) + "（";
  const std::string clockName = ClockName(input.zone);
  if (!clockName.empty()) {
    line += clockName + " " + ClockText(input.clock);
  } else {
    line += "当地时间 " + ClockText(input.clock) + "，时区 " + UtcOffsetText(standard);
  }
  if (saving != seconds{0}) line += "，夏令时 " + SignedHoursMinutes(-saving);
  line += "，";
  if (!input.placeName.empty()) line += input.placeName + " ";
  char lon[32];
  std::snprintf(lon, sizeof lon, "%.1f°", std::fabs(input.longitude));
  line += std::string(input.longitude < 0 ? "西经" : "东经") + lon;
  line += "，经度差 " + SignedMinutesText(r.longitudeMinutes);
  if (input.correction == Correction::TrueSolar) {
    const long long tenths = std::llround(std::fabs(r.equationMinutes) * 10.0);
    char eq[48];
    std::snprintf(eq, sizeof eq, "%s%lld.%lld分", Sign(r.equationMinutes < 0 && tenths != 0),
                  tenths / 10, tenths % 10);
    line += std::string("，均时差 ") + eq;
  }
  line += "）";
  return r;
}

}  // namespace timefix
