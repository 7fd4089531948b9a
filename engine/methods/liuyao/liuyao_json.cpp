// The Six Lines chart as data.
#include "calendar/chart_json.h"
#include "liuyao.h"

namespace orv {
namespace {

constexpr auto kHexagramNames = utf8::Table(HexagramFullNames);
constexpr auto kHexagramShortNames = utf8::Table(HexagramShortNames);
constexpr auto kBeastNames = utf8::Table(BeastFullNames);

// The palace symbol of each trigram number (乾 兑 离 震 巽 坎 艮 坤), whose
// name is the trigram's name.
constexpr int kTrigramSymbols[kTrigramCount + 1] = {0, 190, 191, 193, 187, 188, 185, 192, 186};

void TrigramName(JsonWriter& out, int trigram) {
  json::Symbol(out, trigram >= 1 && trigram <= kTrigramCount ? kTrigramSymbols[trigram] : 0);
}

int HexagramIndex(const std::array<uint8_t, 6>& bits) {
  const int lower = TrigramOf(bits[0], bits[1], bits[2]);
  const int upper = TrigramOf(bits[3], bits[4], bits[5]);
  return (upper - 1) * 8 + (lower - 1);
}

// Stem, branch and relative of an attached line.
void Attachment(JsonWriter& out, const TYaoLine& line) {
  out.Key("stem");
  json::Symbol(out, line.Stem);
  out.Key("branch");
  json::Symbol(out, line.Branch);
  out.Key("relative").StringOrNull(json::kRelativeNames.At(line.Relative + 2));
}

// A hexagram: its names, palace, world and response lines (numbered 1-6
// from the bottom) and its lines, bottom first.
void Hexagram(JsonWriter& out, const LiuyaoChart& chart, bool changed) {
  const auto& bits = changed ? chart.ChangedBits : chart.MainBits;
  const auto& lines = changed ? chart.ChangedLines : chart.MainLines;
  const int world = changed ? chart.ChangedWorld : chart.MainWorld;
  const int response = changed ? chart.ChangedResponse : chart.MainResponse;
  const int index = HexagramIndex(bits);
  out.BeginObject();
  out.Key("name").String(kHexagramNames.At(index));
  out.Key("shortName").String(kHexagramShortNames.At(index));
  out.Key("palace");
  TrigramName(out, changed ? chart.ChangedPalace : chart.MainPalace);
  out.Key("world").Number(world + 1);
  out.Key("response").Number(response + 1);
  out.Key("lines").BeginArray();
  for (std::size_t i = 0; i < 6; ++i) {
    const TYaoLine& line = lines[i];
    out.BeginObject();
    out.Key("line").Number(static_cast<long long>(i) + 1);
    out.Key("yang").Bool(line.Yang != 0);
    if (!changed) out.Key("moving").Bool(line.Moving != 0);
    Attachment(out, line);
    if (!changed) {
      out.Key("beast").String(kBeastNames.At(chart.Beast[i]));
      out.Key("hidden");
      if (line.Hidden) {
        out.BeginObject();
        Attachment(out, chart.PalaceLines[i]);
        out.EndObject();
      } else {
        out.Null();
      }
    }
    out.EndObject();
  }
  out.EndArray();
  out.EndObject();
}

}  // namespace

void LiuyaoJson(const LiuyaoChart& chart, JsonWriter& out) {
  out.BeginObject();
  out.Key("cast").String(chart.Manual ? "lines" : "time");
  out.Key("attachment").String(chart.Attachment == LineAttachment::ByDayXun ? "day-xun"
                                                                             : "trigrams");
  out.Key("main");
  Hexagram(out, chart, false);
  out.Key("changed");
  Hexagram(out, chart, true);
  out.EndObject();
}

}  // namespace orv
