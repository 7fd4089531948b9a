// The Liu Ren chart as data.
#include "calendar/chart_json.h"
#include "liuren.h"

namespace orv {
namespace {

// An object of three symbols under their keys.
void ThreeSymbols(JsonWriter& out, const std::string_view (&keys)[3], int a, int b, int c) {
  out.BeginObject();
  out.Key(keys[0]);
  json::Symbol(out, a);
  out.Key(keys[1]);
  json::Symbol(out, b);
  out.Key(keys[2]);
  json::Symbol(out, c);
  out.EndObject();
}

}  // namespace

void LiurenJson(const LiurenChart& chart, JsonWriter& out) {
  out.BeginObject();
  out.Key("rules").BeginObject();
  out.Key("noble").String(chart.Rules.NobleRule == 0 ? u8"甲戊庚牛羊" : u8"甲羊戊庚牛");
  out.Key("sheHai").String(chart.Rules.SheHaiRule == 0 ? u8"按孟仲季" : u8"按涉害深浅");
  out.EndObject();
  out.Key("daytime").Bool(chart.IsDay != 0);
  out.Key("monthGeneral");
  json::Symbol(out, chart.MonthGeneral);
  out.Key("nobles").BeginObject();
  out.Key("day");
  json::Symbol(out, chart.DayNoble);
  out.Key("night");
  json::Symbol(out, chart.NightNoble);
  out.EndObject();
  // The plate: over each earth branch 子 … 亥 its heaven branch and general.
  out.Key("plate").BeginArray();
  constexpr std::string_view kPlateKeys[3] = {"earth", "heaven", "general"};
  for (std::size_t i = 0; i < 12; ++i)
    ThreeSymbols(out, kPlateKeys, chart.EarthPlate[i], chart.HeavenPlate[i], chart.GeneralPlate[i]);
  out.EndArray();
  out.Key("lessons").BeginArray();
  constexpr std::string_view kLessonKeys[3] = {"lower", "upper", "general"};
  for (std::size_t j = 0; j < 4; ++j)
    ThreeSymbols(out, kLessonKeys, chart.LessonLower[j], chart.LessonUpper[j],
                 chart.LessonGeneral[j]);
  out.EndArray();
  // The initial, middle and final transmission.
  out.Key("transmissions").BeginArray();
  for (std::size_t i = 0; i < 3; ++i) {
    const int relation = CodeRelation(chart.DayPillar.Stem, chart.Trans[i]);
    out.BeginObject();
    out.Key("branch");
    json::Symbol(out, chart.Trans[i]);
    out.Key("seat");
    json::Symbol(out, chart.TransSeat[i]);
    out.Key("general");
    json::Symbol(out, chart.TransGeneral[i]);
    out.Key("hiddenStem");
    json::Symbol(out, chart.TransStem[i]);
    out.Key("relative").StringOrNull(json::kRelativeShortNames.At(relation + 2));
    out.Key("void").Bool(IsVoid(chart.DayXun, chart.Trans[i]));
    out.Key("seatVoid").Bool(IsVoid(chart.DayXun, chart.TransSeat[i]));
    out.EndObject();
  }
  out.EndArray();
  out.Key("birth");
  if (chart.HasBirthYear != 1) {
    out.Null();
  } else {
    out.BeginObject();
    out.Key("sex").String(chart.Male ? "male" : "female");
    out.Key("pillar");
    json::PillarValue(out, chart.BirthPillar);
    out.Key("lifeYear");
    json::PillarValue(out, chart.LifeYearPillar);
    out.EndObject();
  }
  out.EndObject();
}

}  // namespace orv
