// The Six Lines chart text: a header (dates, pillars, void branches,
// palaces) and a grid of a name row and six line rows, top line first, the
// main hexagram on the left and the changed hexagram on the right.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "calendar/text.h"
#include "liuyao.h"

namespace orv {
namespace {

constexpr std::string_view kSpace = kFullSpace;
constexpr std::string_view kWorldMark = "世";
constexpr std::string_view kResponseMark = "应";
constexpr std::string_view kMovingYinMark = "×";
constexpr std::string_view kMovingYangMark = "○";

constexpr auto kBeastFullNames = SlotViews(BeastFullNames);
constexpr auto kBeastShortNames = SlotViews(BeastShortNames);
constexpr auto kRelativeFullNames = SlotViews(RelativeFullNames);
constexpr auto kRelativeShortNames = SlotViews(RelativeShortNames);
constexpr auto kHexagramFullNames = SlotViews(HexagramFullNames);
constexpr auto kHexagramShortNames = SlotViews(HexagramShortNames);

std::string_view TrigramName(int trigram) {
  if (trigram < 1 || trigram > kTrigramCount) return {};
  return SlotText(Trigrams[trigram].Name);
}

// One row of the grid, in a buffer of its own. The longest row, whatever the
// options, is 38 bytes: a beast, the hidden-spirit column, a separator, a
// mark, the widest glyph, an attachment, a relative and a moving mark.
class Row {
 public:
  Row& operator<<(std::string_view s) {
    const std::size_t n = std::min(s.size(), sizeof buffer_ - size_);
    detail::CopyBytes(buffer_ + size_, s.data(), n);
    size_ += n;
    return *this;
  }
  void Repeat(std::string_view s, long long times) {
    for (long long k = 0; k < times; ++k) *this << s;
  }
  long long Size() const { return static_cast<long long>(size_); }
  std::string_view Text() const { return {buffer_, size_}; }

 private:
  char buffer_[96];
  std::size_t size_ = 0;
};

class GridWriter {
 public:
  GridWriter(const LiuyaoFields& chart, const TYaoTextOptions& options)
      : chart_(chart), options_(options), tight_(options.Tight && options.Combined) {}

  void Write(TextWriter& text) {
    // 1. Beasts.
    for (int i = 0; i < 6; ++i)
      left_[i] << Entry(options_.FullBeastNames ? kBeastFullNames : kBeastShortNames,
                        chart_.Beast[i]);
    // 2. The hidden-spirit column, blank where no spirit stands.
    if (chart_.HasHidden) {
      for (int i = 0; i < 6; ++i) {
        if (!tight_) left_[i] << kSpace;
        if (chart_.MainLines[i].Hidden) {
          Attachment(left_[i], chart_.PalaceLines[i]);
        } else {
          left_[i] << kSpace;
          if (options_.ShowStems) left_[i] << kSpace;
          left_[i] << kSpace;
          if (options_.FullRelativeNames) left_[i] << kSpace;
        }
      }
    }
    // 3. The name row starts as wide as the beast and hidden columns.
    const long long w1 = left_[0].Size();
    left_[kNameRow].Repeat(kSpace, w1 / 2);
    if (!options_.Combined)
      for (Row& row : right_) row.Repeat(kSpace, w1 / 2);
    // 4. A separator on every row.
    for (int r = 0; r <= kNameRow; ++r) {
      left_[r] << kSpace;
      right_[r] << kSpace;
    }
    // 5. World and response marks, line glyphs.
    for (int i = 0; i < 6; ++i) {
      const TYaoLine& line = chart_.MainLines[i];
      left_[i] << Mark(i, chart_.MainWorld, chart_.MainResponse);
      right_[i] << Mark(i, chart_.ChangedWorld, chart_.ChangedResponse);
      if (options_.MarkInGlyph && line.Moving)
        left_[i] << MovingMark(line);
      else
        left_[i] << Glyph(line.Yang);
      right_[i] << Glyph(chart_.ChangedLines[i].Yang);
    }
    // 6. Attachments, relatives and the moving-mark column.
    for (int i = 0; i < 6; ++i) {
      const TYaoLine& line = chart_.MainLines[i];
      Attachment(left_[i], line);
      Attachment(right_[i], chart_.ChangedLines[i]);
      if (options_.MovingColumn) left_[i] << (line.Moving ? MovingMark(line) : kSpace);
    }
    // 7. The names, the main one padded so that the changed half of the name
    // row begins where that of the line rows begins.
    left_[kNameRow] << kSpace << HexagramName(chart_.MainBits);
    const long long w2 = left_[0].Size();
    const long long fill = (w2 - left_[kNameRow].Size()) / 2;
    if (fill > 0) left_[kNameRow].Repeat(kSpace, fill);
    right_[kNameRow] << kSpace << HexagramName(chart_.ChangedBits);
    // 8. Top row first.
    if (options_.Combined) {
      for (int r = kNameRow; r >= 0; --r) text << left_[r].Text() << right_[r].Text() << kCrLf;
    } else {
      for (int r = kNameRow; r >= 0; --r) text << left_[r].Text() << kCrLf;
      text << kCrLf;
      for (int r = kNameRow; r >= 0; --r) text << right_[r].Text() << kCrLf;
    }
  }

 private:
  static constexpr int kNameRow = 6;

  static std::string_view Mark(int i, int world, int response) {
    if (i == world) return kWorldMark;
    if (i == response) return kResponseMark;
    return kSpace;
  }
  static std::string_view MovingMark(const TYaoLine& line) {
    return line.Yang ? kMovingYangMark : kMovingYinMark;
  }
  std::string_view Glyph(int yang) const {
    const int style = options_.LineStyle;
    if (style < 0 || style >= kLineStyleCount) return {};
    return SlotText(LineGlyphs[style][yang ? 1 : 0]);
  }
  // Stem and branch (or the branch alone), then the relative.
  void Attachment(Row& row, const TYaoLine& line) const {
    if (options_.ShowStems) row << NameOf(line.Stem);
    row << NameOf(line.Branch);
    row << Entry(options_.FullRelativeNames ? kRelativeFullNames : kRelativeShortNames,
                 line.Relative + 2);
  }
  std::string_view HexagramName(const std::array<uint8_t, 6>& bits) const {
    const int lower = TrigramOf(bits[0], bits[1], bits[2]);
    const int upper = TrigramOf(bits[3], bits[4], bits[5]);
    const int index = (upper - 1) * 8 + (lower - 1);
    return Entry(options_.FullHexagramNames ? kHexagramFullNames : kHexagramShortNames, index);
  }

  const LiuyaoFields& chart_;
  const TYaoTextOptions& options_;
  const bool tight_;
  Row left_[7];
  Row right_[7];
};

}  // namespace

void YaoText(const LiuyaoChart& chart, TextWriter& out) {
  const TYaoTextOptions& options = chart.Options;
  // Header.
  out << "公历：";
  WriteCivilDate(out, chart.Civil());
  out << kCrLf << "阴历：" << LunarDateText(chart.Lunar[1], chart.Lunar[2]) << kCrLf;
  out << "四柱：" << PillarsLine(chart.Pillars(), " ") << kCrLf;
  const std::array<int, 2> voids = VoidBranches(chart.DayPillar);
  out << "旬空：" << chart.DayXun << "旬" << NameOf(voids[0]) << NameOf(voids[1]) << "空" << kCrLf;
  out << "卦宫：主卦" << TrigramName(chart.MainPalace) << kSpace << "变卦"
      << TrigramName(chart.ChangedPalace) << kCrLf << kCrLf;
  if (!(options.Tight && options.Combined)) out << kCrLf;

  GridWriter(chart, options).Write(out);
}

}  // namespace orv
