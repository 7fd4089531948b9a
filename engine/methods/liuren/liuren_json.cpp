// The Liu Ren chart as data.
#include "calendar/chart_json.h"
#include "liuren.h"

namespace orv {

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
  for (std::size_t i = 0; i < 12; ++i) {
    out.BeginObject();
    out.Key("earth");
    json::Symbol(out, chart.EarthPlate[i]);
    out.Key("heaven");
    json::Symbol(out, chart.HeavenPlate[i]);
    out.Key("general");
    json::Symbol(out, chart.GeneralPlate[i]);
    out.EndObject();
  }
  out.EndArray();
  out.Key("lessons").BeginArray();
  for (std::size_t j = 0; j < 4; ++j) {
    out.BeginObject();
    out.Key("lower");
    json::Symbol(out, chart.LessonLower[j]);
    out.Key("upper");
    json::Symbol(out, chart.LessonUpper[j]);
    out.Key("general");
    json::Symbol(out, chart.LessonGeneral[j]);
    out.EndObject();
  }
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
