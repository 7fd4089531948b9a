// Six Lines chart (六爻): the main hexagram and the hexagram its moving lines
// change into, their palaces and world/response lines, the stem and branch of
// every line (纳甲), the six relatives judged against the main palace, the six
// beasts, the hidden spirits, and the chart text.
//
// Lines are indexed 0-5 from the bottom (0 初爻 … 5 上爻). Line values as the
// caller gives them: 0 yin, 1 yang, 2 moving yin, 3 moving yang.
#pragma once

#include <array>
#include <cstdint>

#include "calendar/base.h"
#include "calendar/codes.h"
#include "calendar/json_writer.h"
#include "calendar/text_writer.h"
#include "liuyao_tables.h"

namespace orv {

// Trigram number of three lines (bottom first, nonzero is yang).
int TrigramOf(int bottom, int middle, int top);

// The palace of a hexagram: its palace trigram number and the 0-based
// indexes of its world and response lines.
struct PalaceInfo {
  int Palace = 0;
  int Generation = 0;  // 1-5 世, 6 游魂, 7 归魂, 8 八纯
  int World = 0;
  int Response = 0;
};
PalaceInfo PalaceOf(const std::array<uint8_t, 6>& bits);

struct TYaoLine {
  int32_t Stem = 0;      // stem code
  int32_t Branch = 0;    // branch code
  int32_t Relative = 0;  // relative code, against the main hexagram's palace
  uint8_t Hidden = 0;    // main hexagram: a hidden spirit stands at this line
  uint8_t Yang = 0;      // main: the line's yang bit; changed: the changed bit
  uint8_t Moving = 0;    // main: the line moves
};

// What the derivation of a Six Lines chart adds to the base.
struct LiuyaoFields {
  int32_t MainPalace = 0;
  int32_t ChangedPalace = 0;
  std::array<uint8_t, 6> MainBits{};
  std::array<uint8_t, 6> ChangedBits{};
  uint8_t HasHidden = 0;
  std::array<TYaoLine, 6> PalaceLines{};  // the pure hexagram of the main palace
  std::array<TYaoLine, 6> MainLines{};
  std::array<TYaoLine, 6> ChangedLines{};
  std::array<int32_t, 6> Beast{};
  int32_t MainWorld = 0, MainResponse = 0;
  int32_t ChangedWorld = 0, ChangedResponse = 0;
};

class TOrv6yao : public TOrvBase, public LiuyaoFields {
 public:
  virtual ~TOrv6yao() = default;

  // A cast by hand: six line values, the top line first. Values are taken as
  // they come: a line is yang unless its value is 0 or 2, and moves when its
  // value is above 1.
  void SetLines(int line6, int line5, int line4, int line3, int line2, int line1);
  // The time hexagram of a moment (lunar year branch, month and day and the
  // hour branch, all of the moment one hour later): one moving line.
  void CastFromTime(Moment date);
  // Derives the whole chart from the cast and the base (computed when the
  // date was set). Run after a cast.
  virtual void Compute();

 protected:
  // Writes Stem and Branch of the six lines of the hexagram lower/upper.
  using AttachRule = void (*)(const TOrv6yao& chart, int lower, int upper,
                              std::array<TYaoLine, 6>& lines);
  // Every step of Compute, with the given line attachment.
  void Derive(AttachRule attach);
};

// The stems and branches of the trigram table (纳甲).
void AttachByTrigrams(const TOrv6yao& chart, int lower, int upper, std::array<TYaoLine, 6>& lines);
// The second chart's attachment: stems by the polarity of the day, branches
// stepped from the place of each stem in the day's xun.
void AttachByXun(const TOrv6yao& chart, int lower, int upper, std::array<TYaoLine, 6>& lines);

// The second chart: only the line attachment differs.
class TOrv6yaoLongyin : public TOrv6yao {
 public:
  void Compute() override;
};

struct TYaoTextOptions {
  uint8_t Combined = 1;           // main and changed hexagram side by side
  uint8_t ShowStems = 1;          // attachment stem + branch, else branch only
  uint8_t FullBeastNames = 1;
  uint8_t FullRelativeNames = 1;
  uint8_t FullHexagramNames = 1;
  uint8_t MarkInGlyph = 0;        // a moving main line drawn as its mark
  uint8_t MovingColumn = 1;       // a mark column after the main relative
  int32_t LineStyle = 4;          // 0-8, LineGlyphs
  uint8_t Tight = 0;              // with Combined: no blank separators
};

// The display settings of every chart the exports write.
constexpr TYaoTextOptions kFixedYaoTextOptions{1, 1, 1, 1, 1, 0, 1, 4, 0};

// The first chart attaches stems and branches by the trigram table, the
// second (StrLiuyaoL) by the day's xun.
enum class LineAttachment { ByTrigrams, ByDayXun };

// The chart objects the exports cast: the charts with their display options.
class TOrv6YaoStr : public TOrv6yao {
 public:
  TYaoTextOptions Options;
};

class TOrv6YaoStrLongyin : public TOrv6yaoLongyin {
 public:
  TYaoTextOptions Options;
};

// A Six Lines chart as data: the base, everything Compute derives, the rule
// that attached the lines and the display options its text is written with.
struct LiuyaoChart : BaseChart, LiuyaoFields {
  LineAttachment Attachment = LineAttachment::ByTrigrams;
  TYaoTextOptions Options;
  bool Manual = false;  // cast from six line values, else from the moment
};

struct LiuyaoOptions {
  // The hexagram from six line values (top line first) when Manual, else cast
  // from the moment.
  bool Manual = false;
  std::array<int, 6> LinesTopFirst{};
  LineAttachment Attachment = LineAttachment::ByTrigrams;
};

// Casts the chart of a moment: a TOrv6YaoStr (or, attached by the day's xun,
// a TOrv6YaoStrLongyin) with the fixed display options; SetDate; SetLines or
// CastFromTime; Compute.
LiuyaoChart Cast(Moment moment, const LiuyaoOptions& options);

// The chart text (GBK, CR LF line ends), written with the chart's options:
// the rendering of TOrv6YaoStr.
void YaoText(const LiuyaoChart& chart, TextWriter& out);

// The chart as data: the "chart" member of the JSON export.
void LiuyaoJson(const LiuyaoChart& chart, JsonWriter& out);

}  // namespace orv
