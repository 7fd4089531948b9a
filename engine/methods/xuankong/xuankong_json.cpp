// The Xuankong chart as data.
#include "calendar/chart_json.h"
#include "xuankong.h"

namespace orv {
namespace {

constexpr auto kMountainNames = utf8::Table(MountainNames);
// The palaces by Luoshu number less one.
constexpr int kPalaceSymbols[9] = {185, 186, 187, 188, 189, 190, 191, 192, 193};

}  // namespace

void XuankongJson(const XuankongChart& chart, JsonWriter& out) {
  constexpr std::u8string_view kPeriods[9] = {u8"一运", u8"二运", u8"三运", u8"四运", u8"五运",
                                              u8"六运", u8"七运", u8"八运", u8"九运"};
  out.BeginObject();
  out.Key("period").Number(chart.Period + 1);
  out.Key("periodName").String(kPeriods[chart.Period]);
  out.Key("mountain").String(kMountainNames.At(chart.Mountain));
  out.Key("facing").String(kMountainNames.At(chart.Facing));
  out.Key("method").String(chart.Xiagua ? u8"挨星下卦" : u8"挨星替卦");
  // Stars 1-9 of each palace, in Luoshu order.
  out.Key("palaces").BeginArray();
  for (std::size_t palace = 0; palace < 9; ++palace) {
    const XuankongPalace& p = chart.Palaces[palace];
    out.BeginObject();
    out.Key("palace");
    json::Symbol(out, kPalaceSymbols[palace]);
    out.Key("luoshu").Number(static_cast<long long>(palace) + 1);
    out.Key("period").Number(p.Period + 1);
    out.Key("mountain").Number(p.Mountain + 1);
    out.Key("facing").Number(p.Facing + 1);
    out.EndObject();
  }
  out.EndArray();
  out.EndObject();
}

}  // namespace orv
