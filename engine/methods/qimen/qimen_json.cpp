// The Qimen chart as data.
#include "calendar/chart_json.h"
#include "qimen.h"

namespace orv {
namespace {

// A palace by ring index: its name and Luoshu number.
void PalaceName(JsonWriter& out, int ring) {
  out.BeginObject();
  out.Key("palace");
  json::Symbol(out, PalaceOfRing(ring));
  out.Key("luoshu").Number(LuoshuOfRing(ring));
  out.EndObject();
}

}  // namespace

void QimenJson(const QimenChart& chart, JsonWriter& out) {
  const bool flying = chart.FlyStars != 0;
  constexpr std::u8string_view kYuan[3] = {u8"上元", u8"中元", u8"下元"};
  out.BeginObject();
  out.Key("placement").String(flying ? "flying" : "rotating");
  out.Key("term").StringOrNull(json::kSolarTermNames.At(chart.CurrentTerm));
  out.Key("yuan");
  if (chart.Yuan >= 0 && chart.Yuan <= 2)
    out.String(kYuan[chart.Yuan]);
  else
    out.Null();
  constexpr std::u8string_view kDun[2] = {u8"阴遁", u8"阳遁"};
  out.Key("dun").String(kDun[chart.Yang ? 1 : 0]);
  out.Key("ju").Number(chart.Ju);
  out.Key("forcedJu").Bool(chart.ForcedJu);
  out.Key("hourXun");
  json::PillarValue(out, chart.HourXun);
  const std::array<int, 2> voids = VoidBranches(chart.HourXun);
  out.Key("hourVoid").BeginArray();
  json::Symbol(out, voids[0]);
  json::Symbol(out, voids[1]);
  out.EndArray();
  // The duty chief's star stands over the hour palace; the duty envoy's door
  // where the plate of doors holds it.
  out.Key("dutyChief").BeginObject();
  out.Key("star");
  json::Symbol(out, chart.ChiefStar);
  out.Key("over");
  PalaceName(out, chart.HourPalace);
  out.EndObject();
  out.Key("dutyEnvoy").BeginObject();
  out.Key("door");
  json::Symbol(out, chart.EnvoyDoor);
  out.Key("in");
  PalaceName(out, chart.Search(QimenFields::kDoors, chart.EnvoyDoor));
  out.EndObject();
  // The nine palaces in Luoshu order.
  out.Key("palaces").BeginArray();
  for (int luoshu = 1; luoshu <= 9; ++luoshu) {
    const auto ring = static_cast<std::size_t>(RingOfLuoshu(luoshu));
    const auto& plates = chart.Plates;
    out.BeginObject();
    out.Key("palace");
    json::Symbol(out, PalaceOfRing(static_cast<int>(ring)));
    out.Key("luoshu").Number(luoshu);
    out.Key("earthStem");
    json::Symbol(out, plates[QimenFields::kEarthStems][ring]);
    out.Key("heavenStem");
    json::Symbol(out, plates[QimenFields::kHeavenStems][ring]);
    out.Key("star");
    json::Symbol(out, plates[QimenFields::kStars][ring]);
    out.Key("door");
    json::Symbol(out, plates[QimenFields::kDoors][ring]);
    out.Key("deity");
    json::Symbol(out, plates[QimenFields::kDeities][ring]);
    if (flying) {
      out.Key("earthDeity");
      json::Symbol(out, plates[QimenFields::kEarthDeities][ring]);
    }
    out.EndObject();
  }
  out.EndArray();
  // In rotating placement the centre's earth stem and its star 禽 are shown
  // in the palace whose heaven stem is 坤's earth stem.
  out.Key("centreFollower");
  if (flying) {
    out.Null();
  } else {
    out.BeginObject();
    out.Key("palace");
    json::Symbol(out, PalaceOfRing(chart.CentrePalace));
    out.Key("luoshu").Number(LuoshuOfRing(chart.CentrePalace));
    out.Key("earthStem");
    json::Symbol(out, chart.Plates[QimenFields::kEarthStems][kRingCentre]);
    out.Key("star");
    json::Symbol(out, chart.Plates[QimenFields::kStars][kRingCentre]);
    out.EndObject();
  }
  out.EndObject();
}

}  // namespace orv
