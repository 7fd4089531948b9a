// Double-hour and sectional-term boundaries near a moment, judged by the
// pillars of the engine's JSON export (a Four Pillars request), so that the
// warning agrees with what the engine casts.
#include <optional>

#include "cast_request.h"
#include "engine_library.h"
#include "json_reader.h"
#include "time_correction.h"

namespace timefix {
namespace {

struct Pillars {
  std::string month, hour;
};

std::optional<Pillars> PillarsAt(const TEngineLibrary& engine, std::int64_t civilSeconds) {
  const CivilTime t = CivilFromSeconds(civilSeconds);
  CastRequest cast = EmptyRequest(ORV_METHOD_BAZI);
  cast.request.male = 1;
  SetSolarMoment(cast.request, t);
  std::string json;
  if (CastJson(engine, cast, json) != 0) return std::nullopt;
  Pillars p{JsonStringAt(json, {"moment", "pillars", "month"}),
            JsonStringAt(json, {"moment", "pillars", "hour"})};
  if (p.month.empty() || p.hour.empty()) return std::nullopt;
  return p;
}

const std::string& Of(const Pillars& p, Boundary::Kind kind) {
  return kind == Boundary::Kind::Hour ? p.hour : p.month;
}

// The branch of a pillar ("戊午" -> "午"): its second character.
std::string Branch(const std::string& pillar) { return pillar.size() > 3 ? pillar.substr(3) : pillar; }

}  // namespace

std::vector<Boundary> NearBoundaries(const TEngineLibrary& engine, const CivilTime& moment,
                                     std::chrono::seconds window) {
  std::vector<Boundary> found;
  const std::int64_t m = CivilSeconds(moment);
  if (!(CivilFromSeconds(m) == moment)) return found;  // no such civil time (February 30)
  const auto here = PillarsAt(engine, m);
  if (!here) return found;
  const std::int64_t w = window.count();
  for (const Boundary::Kind kind : {Boundary::Kind::Hour, Boundary::Kind::Term}) {
    const std::string& thisPillar = Of(*here, kind);
    // A boundary up to `window` before the moment: the moment's side begins
    // at most `window` seconds before it, so the second before that lies on
    // the other side. After it: the other side begins at moment + window.
    for (const std::int64_t probe : {m - w - 1, m + w}) {
      const auto there = PillarsAt(engine, probe);
      if (!there || Of(*there, kind) == thisPillar) continue;
      // Bisection on whole seconds between the moment's side (same) and
      // the other side (other).
      const bool later = probe > m;
      std::int64_t same = m, other = probe;
      std::string otherPillar = Of(*there, kind);
      bool failed = false;
      while ((later ? other - same : same - other) > 1) {
        const std::int64_t mid = same + (other - same) / 2;
        const auto at = PillarsAt(engine, mid);
        if (!at) {
          failed = true;
          break;
        }
        if (Of(*at, kind) == thisPillar) {
          same = mid;
        } else {
          other = mid;
          otherPillar = Of(*at, kind);
        }
      }
      if (failed) continue;
      Boundary b{kind, {}, {}, CivilFromSeconds(other), {}};
      if (kind == Boundary::Kind::Hour) {
        b.thisPillar = Branch(thisPillar);
        b.otherPillar = Branch(otherPillar);
        b.text = "时柱：" + b.thisPillar + "时 / " + b.otherPillar + "时";
      } else {
        b.thisPillar = thisPillar;
        b.otherPillar = otherPillar;
        b.text = "月柱：" + b.thisPillar + " / " + b.otherPillar;
      }
      found.push_back(std::move(b));
    }
  }
  return found;
}

}  // namespace timefix
