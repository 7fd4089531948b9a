#pragma once
// The moment a chart is cast for, from the moment a client gives: a clock
// time at a place. Shared by orvchart and the desktop program (no Qt here).
//
//   clock time (the place's zone, its daylight saving from the system's tz
//   database) -> absolute instant -> local mean solar time (longitude) ->
//   local true solar time (+ equation of time).
//
// With Correction::None the clock time is cast as it stands and no line is
// written.

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace timefix {

// A place of the built-in list (tools/places generates the table).
struct Place {
  std::string_view name;    // Chinese name as the user types it: "乌鲁木齐"
  std::string_view region;  // province, or country for places abroad: "新疆"
  double longitude;         // degrees, east positive
  double latitude;          // degrees, north positive
  std::string_view zone;    // tz database zone: "Asia/Shanghai"
};

// Every built-in place, sorted by name (UTF-8 byte order).
std::span<const Place> Places();
// The place of that name: the name as listed, or without its suffix
// (市, 地区, 自治州, 盟 ...). Null when none.
const Place* FindPlace(std::string_view name);
// Places whose name (or region + name) starts with `prefix`, best first, at
// most `limit` of them: for completion while typing.
std::vector<const Place*> CompletePlaces(std::string_view prefix, std::size_t limit);

enum class Correction { None, MeanSolar, TrueSolar };

// A civil date and time of day to the second.
struct CivilTime {
  int year = 0, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  friend bool operator==(const CivilTime&, const CivilTime&) = default;
};

// A civil time as seconds since 1970-01-01 00:00 of the same calendar (no
// zone: plain arithmetic on civil times), and back.
std::int64_t CivilSeconds(const CivilTime& t);
CivilTime CivilFromSeconds(std::int64_t seconds);

// Which of two readings of a clock time that happened twice (the hour
// repeated when daylight saving ended) is meant.
enum class Fold { Unknown, Earlier, Later };

struct CorrectionInput {
  CivilTime clock;                   // as the client gave it (second 0)
  Correction correction = Correction::None;
  std::string placeName;             // shown in the line; empty when typed by hand
  double longitude = 120.0;          // degrees east positive
  std::string zone = "Asia/Shanghai";
  Fold fold = Fold::Unknown;         // for a repeated clock time
};

enum class CorrectionStatus {
  Ok,
  BadDate,              // no such civil date or time of day
  LongitudeOutOfRange,  // outside -180 ... 180
  UnknownZone,          // the tz database does not know the zone
  SkippedTime,          // the clock time did not exist (skipped when DST began)
  RepeatedTime,         // the clock time happened twice; set `fold` and ask again
};

struct CorrectionResult {
  CorrectionStatus status = CorrectionStatus::Ok;
  CivilTime corrected;                 // the civil moment the chart is cast for
  std::chrono::seconds daylightSaving{0};  // saving in effect at the clock time
  double longitudeMinutes = 0;         // (longitude - zone's standard meridian) * 4
  double equationMinutes = 0;          // equation of time (TrueSolar only)
  // The line that says what was done (UTF-8, no line end); empty for None:
  // 真太阳时 1988-07-15 11:14（北京时间 14:30，夏令时 −1:00，乌鲁木齐 东经87.6°，经度差 −2:09.6，均时差 −5.9分）
  std::string line;
  // For a status other than Ok: what to tell the user, in Chinese.
  std::string message;
};

CorrectionResult Correct(const CorrectionInput& input);

// The equation of time (apparent minus mean solar time) in minutes at an
// instant given as seconds since 1970-01-01 UTC.
double EquationOfTimeMinutes(std::int64_t unixSeconds);

// Boundaries near a moment: a double-hour change (odd hour) and a sectional
// term (节, a month-pillar change) within `window` of it, judged by the
// engine's JSON export (StrChartJson) pillars at the moment and across the
// boundary.
struct Boundary {
  enum class Kind { Hour, Term } kind;
  std::string thisPillar;   // the pillar at the moment: "午" / "乙丑"
  std::string otherPillar;  // the pillar across the boundary: "未" / "丙寅"
  CivilTime other;          // a moment on the other side, to cast instead
  // "时柱：午时 / 未时" or "月柱：乙丑 / 丙寅", this side first.
  std::string text;
};

}  // namespace timefix

class TEngineLibrary;

namespace timefix {

// The boundaries within `window` of `moment` (inclusive), hour first: a
// boundary lies within it when the pillar at moment - window - 1 s (the
// moment's side began at most `window` ago) or at moment + window differs
// from the pillar at the moment. `other` is the boundary itself when the
// other side is later, the second before it when it is earlier (found by
// bisection on whole seconds). The engine library must be loaded; an engine
// that refuses the moment gives none.
std::vector<Boundary> NearBoundaries(const TEngineLibrary& engine, const CivilTime& moment,
                                     std::chrono::seconds window = std::chrono::minutes{10});

}  // namespace timefix
