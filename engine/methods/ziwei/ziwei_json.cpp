// The Purple Star chart as data.
#include "calendar/chart_json.h"
#include "ziwei.h"

namespace orv {
namespace {

constexpr auto kBrightnessNames = utf8::Table(BrightnessNames);
constexpr auto kBureauNames = utf8::Table(BureauNames);

// The palace at position p (子 1 … 亥 12): its name, stem and branch, the
// body mark, its decade, its stars in placement order with their brightness
// and transformation, and its members of the four series.
void Palace(JsonWriter& out, const ZiweiChart& chart, int p, int bodyPalace) {
  const auto& row = chart.Palaces[static_cast<std::size_t>(p)];
  const auto& brightness = chart.Brightness[static_cast<std::size_t>(p)];
  out.BeginObject();
  out.Key("branch");
  json::Symbol(out, CodeOf(p, CodeKind::Branch));
  out.Key("stem");
  json::Symbol(out, row[ZiweiFields::kStemEntry]);
  out.Key("name");
  json::Symbol(out, row[ZiweiFields::kNameEntry]);
  out.Key("body").Bool(p == bodyPalace);
  const int age = chart.DecadeStart(p);
  out.Key("decade").BeginObject();
  out.Key("from").Number(age);
  out.Key("to").Number(age + 10);
  out.EndObject();
  out.Key("stars").BeginArray();
  for (int e = ZiweiFields::kFirstStarEntry; e <= ZiweiFields::kLastStarEntry; ++e) {
    const int code = row[static_cast<std::size_t>(e)];
    if (code == 0) break;
    if (code == kShenCode || (code >= kFirstMarkCode && code <= kLastMarkCode)) continue;
    out.BeginObject();
    out.Key("name");
    json::Symbol(out, code);
    const int level = brightness[static_cast<std::size_t>(e)];
    if (level > 0) out.Key("brightness").String(kBrightnessNames.At(level));
    const int next = row[static_cast<std::size_t>(e + 1)];
    if (next >= kFirstMarkCode && next <= kLastMarkCode) {
      out.Key("transformation");
      json::Symbol(out, next);
    }
    out.EndObject();
  }
  out.EndArray();
  out.Key("boshi");
  json::Symbol(out, row[ZiweiFields::kBoShiEntry]);
  out.Key("jiangqian");
  json::Symbol(out, row[ZiweiFields::kJiangQianEntry]);
  out.Key("suiqian");
  json::Symbol(out, row[ZiweiFields::kSuiQianEntry]);
  out.Key("changsheng");
  json::Symbol(out, row[ZiweiFields::kChangShengEntry]);
  out.EndObject();
}

}  // namespace

void ZiweiJson(const ZiweiChart& chart, JsonWriter& out) {
  const bool male = chart.Male == 1;
  out.BeginObject();
  out.Key("sex").String(male ? "male" : "female");
  out.Key("forward").Bool(chart.Clockwise != 0);
  // By direction and sex: backward woman, backward man, forward woman,
  // forward man.
  constexpr std::u8string_view kYinYang[4] = {u8"阳女", u8"阴男", u8"阴女", u8"阳男"};
  out.Key("yinYang").String(kYinYang[(chart.Clockwise ? 2 : 0) + (male ? 1 : 0)]);
  out.Key("bureau").StringOrNull(kBureauNames.At(chart.Bureau));
  out.Key("lifePalace");
  json::Symbol(out, chart.LifePalace == 0 ? 0 : CodeOf(chart.LifePalace, CodeKind::Branch));
  const int body = chart.BodyPalace();
  out.Key("bodyPalace");
  json::Symbol(out, body == 0 ? 0 : CodeOf(body, CodeKind::Branch));
  out.Key("lifeMaster");
  json::Symbol(out, chart.LifeMaster);
  out.Key("bodyMaster");
  json::Symbol(out, chart.BodyMaster);
  out.Key("palaces").BeginArray();
  for (int p = 1; p <= 12; ++p) Palace(out, chart, p, body);
  out.EndArray();
  out.EndObject();
}

}  // namespace orv
