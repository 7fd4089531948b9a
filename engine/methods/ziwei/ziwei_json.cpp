// The Purple Star chart as data.
#include "calendar/chart_json.h"
#include "ziwei.h"

namespace orv {
namespace {

constexpr auto kBrightnessNames = utf8::Table(BrightnessNames);
constexpr auto kBureauNames = utf8::Table(BureauNames);

// A symbol's name as a JSON string, null for a blank one: what json::Symbol
// writes, through a cursor.
// The name is copied as its whole slot of the table, the cursor moving on
// by its size: what follows writes over the rest, so at least a slot's
// bytes of the object must follow (the last symbol of an object is written
// as it is, the bytes after the text staying as they were); kSymbolMost
// counts the slot.
constexpr std::size_t kNameSlot = sizeof json::kSymbolNames.Bytes[0];
constexpr std::size_t kSymbolMost = 2 + kNameSlot;
enum class Followed { ByMore, ByNothing };
inline void SymbolValue(Cursor& out, int code, Followed followed = Followed::ByMore) {
  const std::string_view name = json::Name(code);
  if (name.empty()) {
    out << std::string_view("null");
    return;
  }
  out << '"';
  if (followed == Followed::ByMore)
    out.PutOver<kNameSlot>(name.data(), name.size());
  else
    out << name;
  out << '"';
}

// The most bytes of a palace object: its fixed members and keys, eight
// symbols, two numbers, and a star object for every entry of the star list.
constexpr std::size_t kStarMost = std::string_view(R"(,{"name":,"brightness":"","transformation":})").size() +
                                  2 * kSymbolMost + sizeof kBrightnessNames.Bytes[0];
constexpr std::size_t kPalaceMost =
    std::string_view(R"({"branch":,"stem":,"name":,"body":false,"decade":{"from":,"to":},"stars":[],"boshi":,"jiangqian":,"suiqian":,"changsheng":})").size() +
    7 * kSymbolMost + 2 * 11 +
    (ZiweiFields::kLastStarEntry - ZiweiFields::kFirstStarEntry + 1) * kStarMost;

// The palace at position p (子 1 … 亥 12): its name, stem and branch, the
// body mark, its decade, its stars in placement order with their brightness
// and transformation, and its members of the four series. The object is
// written whole through a cursor; the text is the one the writer's members
// would give.
void Palace(JsonWriter& out, const ZiweiChart& chart, int p, int bodyPalace) {
  const auto& row = chart.Palaces[static_cast<std::size_t>(p)];
  const auto& brightness = chart.Brightness[static_cast<std::size_t>(p)];
  out.Raw<kPalaceMost>([&](Cursor& c) {
    c << std::string_view(R"({"branch":)");
    SymbolValue(c, CodeOf(p, CodeKind::Branch));
    c << std::string_view(R"(,"stem":)");
    SymbolValue(c, row[ZiweiFields::kStemEntry]);
    c << std::string_view(R"(,"name":)");
    SymbolValue(c, row[ZiweiFields::kNameEntry]);
    c << std::string_view(p == bodyPalace ? R"(,"body":true)" : R"(,"body":false)");
    const int age = chart.DecadeStart(p);
    c << std::string_view(R"(,"decade":{"from":)") << age << std::string_view(R"(,"to":)")
      << age + 10 << std::string_view(R"(},"stars":[)");
    bool first = true;
    for (int e = ZiweiFields::kFirstStarEntry; e <= ZiweiFields::kLastStarEntry; ++e) {
      const int code = row[static_cast<std::size_t>(e)];
      if (code == 0) break;
      if (code == kShenCode || (code >= kFirstMarkCode && code <= kLastMarkCode)) continue;
      c << std::string_view(first ? R"({"name":)" : R"(,{"name":)");
      first = false;
      SymbolValue(c, code);
      const int level = brightness[static_cast<std::size_t>(e)];
      if (level > 0) c << std::string_view(R"(,"brightness":")") << kBrightnessNames.At(level) << '"';
      const int next = row[static_cast<std::size_t>(e + 1)];
      if (next >= kFirstMarkCode && next <= kLastMarkCode) {
        c << std::string_view(R"(,"transformation":)");
        SymbolValue(c, next);
      }
      c << '}';
    }
    c << std::string_view(R"(],"boshi":)");
    SymbolValue(c, row[ZiweiFields::kBoShiEntry]);
    c << std::string_view(R"(,"jiangqian":)");
    SymbolValue(c, row[ZiweiFields::kJiangQianEntry]);
    c << std::string_view(R"(,"suiqian":)");
    SymbolValue(c, row[ZiweiFields::kSuiQianEntry]);
    c << std::string_view(R"(,"changsheng":)");
    SymbolValue(c, row[ZiweiFields::kChangShengEntry], Followed::ByNothing);
    c << '}';
  });
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
