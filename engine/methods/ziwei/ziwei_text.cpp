// The Purple Star chart text: a fixed template of 45 lines, 66 bytes each
// plus CR LF, a square of twelve palace cells around a centre block. Every
// slot is a placeholder followed by spaces, and the text put there has
// exactly the slot's width, so the frame never shifts. The template is
// filled in one pass: the whole text is copied once, then each slot's text
// is written over the slot's bytes, at an offset found while compiling.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "calendar/text.h"
#include "ziwei.h"

namespace orv {
namespace {

constexpr int kLines = 45;
constexpr std::size_t kLineBytes = 66;
constexpr std::size_t kChartBytes = kLines * (kLineBytes + kCrLf.size());  // 3060

// The template. A palace cell line is "<PPLL>" (palace position PP, 子 01 …
// 亥 12; cell line LL, 01-10) and four full-width spaces, 14 bytes; the centre
// slots are "<c001>" … "<c005>". Lines 26 and 28 carry the product's title
// and its name and version.
constexpr std::string_view kTemplate[kLines] = {
    "┌───────┬───────┬───────┬───────┐",  // 1
    "│<0601>　　　　│<0701>　　　　│<0801>　　　　│<0901>　　　　│",  // 2
    "│<0602>　　　　│<0702>　　　　│<0802>　　　　│<0902>　　　　│",  // 3
    "│<0603>　　　　│<0703>　　　　│<0803>　　　　│<0903>　　　　│",  // 4
    "│<0604>　　　　│<0704>　　　　│<0804>　　　　│<0904>　　　　│",  // 5
    "│<0605>　　　　│<0705>　　　　│<0805>　　　　│<0905>　　　　│",  // 6
    "│<0606>　　　　│<0706>　　　　│<0806>　　　　│<0906>　　　　│",  // 7
    "│<0607>　　　　│<0707>　　　　│<0807>　　　　│<0907>　　　　│",  // 8
    "│<0608>　　　　│<0708>　　　　│<0808>　　　　│<0908>　　　　│",  // 9
    "│<0609>　　　　│<0709>　　　　│<0809>　　　　│<0909>　　　　│",  // 10
    "│<0610>　　　　│<0710>　　　　│<0810>　　　　│<0910>　　　　│",  // 11
    "├───────┼───────┴───────┼───────┤",  // 12
    "│<0501>　　　　│　　　　　　　　　　　　　　　│<1001>　　　　│",  // 13
    "│<0502>　　　　│　　　　　　　　　　　　　　　│<1002>　　　　│",  // 14
    "│<0503>　　　　│　　　　　　　　　　　　　　　│<1003>　　　　│",  // 15
    "│<0504>　　　　│　<c001>　　　　　　　　　　　│<1004>　　　　│",  // 16
    "│<0505>　　　　│　　　　　　　　　　　　　　　│<1005>　　　　│",  // 17
    "│<0506>　　　　│　<c002>　　　　　　　　　　　│<1006>　　　　│",  // 18
    "│<0507>　　　　│　　　　　　　　　　　　　　　│<1007>　　　　│",  // 19
    "│<0508>　　　　│　<c003>　　　　　　　　　　　│<1008>　　　　│",  // 20
    "│<0509>　　　　│　　　　　　　　　　　　　　　│<1009>　　　　│",  // 21
    "│<0510>　　　　│　<c004>　　　　　　　　　　　│<1010>　　　　│",  // 22
    "├───────┤　　　　　　　　　　　　　　　├───────┤",  // 23
    "│<0401>　　　　│　<c005>　　　　　　　　　　　│<1101>　　　　│",  // 24
    "│<0402>　　　　│　　　　　　　　　　　　　　　│<1102>　　　　│",  // 25
    "│<0403>　　　　│　Ｈｅｘａｌｏｒｅ紫微　　　　│<1103>　　　　│",  // 26
    "│<0404>　　　　│　　　　　　　　　　　　　　　│<1104>　　　　│",  // 27
    "│<0405>　　　　│　Hexalore Omenry v1.0　　　　│<1105>　　　　│",  // 28
    "│<0406>　　　　│　　　　　　　　　　　　　　　│<1106>　　　　│",  // 29
    "│<0407>　　　　│　　　　　　　　　　　　　　　│<1107>　　　　│",  // 30
    "│<0408>　　　　│　　　　　　　　　　　　　　　│<1108>　　　　│",  // 31
    "│<0409>　　　　│　　　　　　　　　　　　　　　│<1109>　　　　│",  // 32
    "│<0410>　　　　│　　　　　　　　　　　　　　　│<1110>　　　　│",  // 33
    "├───────┼───────┬───────┼───────┤",  // 34
    "│<0301>　　　　│<0201>　　　　│<0101>　　　　│<1201>　　　　│",  // 35
    "│<0302>　　　　│<0202>　　　　│<0102>　　　　│<1202>　　　　│",  // 36
    "│<0303>　　　　│<0203>　　　　│<0103>　　　　│<1203>　　　　│",  // 37
    "│<0304>　　　　│<0204>　　　　│<0104>　　　　│<1204>　　　　│",  // 38
    "│<0305>　　　　│<0205>　　　　│<0105>　　　　│<1205>　　　　│",  // 39
    "│<0306>　　　　│<0206>　　　　│<0106>　　　　│<1206>　　　　│",  // 40
    "│<0307>　　　　│<0207>　　　　│<0107>　　　　│<1207>　　　　│",  // 41
    "│<0308>　　　　│<0208>　　　　│<0108>　　　　│<1208>　　　　│",  // 42
    "│<0309>　　　　│<0209>　　　　│<0109>　　　　│<1209>　　　　│",  // 43
    "│<0310>　　　　│<0210>　　　　│<0110>　　　　│<1210>　　　　│",  // 44
    "└───────┴───────┴───────┴───────┘",  // 45
};

constexpr bool EveryLineHasItsWidth() {
  for (std::string_view line : kTemplate)
    if (line.size() != kLineBytes) return false;
  return true;
}
static_assert(EveryLineHasItsWidth(), "every template line is 66 bytes");

constexpr std::size_t kCellBytes = 14;
constexpr int kCellLines = 10;
// A cell line: the main column, then the side column.
constexpr std::size_t kMainBytes = 8;
constexpr std::size_t kSideBytes = kCellBytes - kMainBytes;
// The blank main column: four full-width spaces.
constexpr std::string_view kBlankMain = "　　　　";
static_assert(kBlankMain.size() == kMainBytes);

// The centre slots: the bytes each one replaces.
constexpr std::size_t kCentreBytes[6] = {0, 24, 16, 16, 12, 20};

// The template as one text, its lines ended by CR LF.
constexpr std::array<char, kChartBytes> kTemplateText = [] {
  std::array<char, kChartBytes> text{};
  std::size_t at = 0;
  for (std::string_view line : kTemplate) {
    for (char c : line) text[at++] = c;
    for (char c : kCrLf) text[at++] = c;
  }
  return text;
}();

constexpr int TwoDigits(const std::array<char, kChartBytes>& s, std::size_t at) {
  return (s[at] - '0') * 10 + (s[at + 1] - '0');
}

// Where each slot starts in the text: cells by palace position and line,
// centre slots by number; every placeholder of the template is found once.
struct SlotOffsets {
  std::array<std::array<std::size_t, kCellLines + 1>, 13> Cell{};
  std::array<std::size_t, 6> Centre{};
};
constexpr SlotOffsets kSlots = [] {
  SlotOffsets slots;
  int found = 0;
  for (std::size_t at = 0; at < kChartBytes; ++at) {
    if (kTemplateText[at] != '<') continue;
    if (kTemplateText[at + 1] == 'c') {
      slots.Centre[TwoDigits(kTemplateText, at + 3)] = at;
    } else {
      slots.Cell[TwoDigits(kTemplateText, at + 1)][TwoDigits(kTemplateText, at + 3)] = at;
    }
    ++found;
  }
  if (found != 12 * kCellLines + 5) throw "a placeholder is missing or doubled";
  return slots;
}();

// The text every chart starts from: the template with each palace cell line
// blank, its main column (8 bytes) four full-width spaces and the rest ASCII
// spaces. Every cell line is then written over (the walk of FillCell gives
// every cell its ten lines).
constexpr std::array<char, kChartBytes> kBlankText = [] {
  std::array<char, kChartBytes> text = kTemplateText;
  for (std::size_t i = 1; i <= 12; ++i)
    for (std::size_t n = 1; n <= kCellLines; ++n) {
      const std::size_t at = kSlots.Cell[i][n];
      for (std::size_t k = 0; k < kCellBytes; ++k) text[at + k] = k < kMainBytes ? kBlankMain[k] : ' ';
    }
  return text;
}();

constexpr std::string_view kBodyMark = "◆身";
constexpr auto kBrightnessNames = SlotViews(BrightnessNames);
constexpr auto kBureauNames = SlotViews(BureauNames);

// Exactly width bytes of text, a text of whole characters (as every piece
// of the centre block is): cut at the last whole GBK character that fits,
// or filled up with ASCII spaces. A text that fits is copied without
// reading its characters.
void WriteFixed(char* out, std::string_view text, std::size_t width) {
  std::size_t n = text.size();
  if (n > width) {
    n = 0;
    while (n < text.size()) {
      const auto lead = static_cast<unsigned char>(text[n]);
      const std::size_t w = lead >= 0x81 && lead <= 0xFE ? 2 : 1;
      if (n + w > width) break;
      n += w;
    }
  }
  std::memcpy(out, text.data(), n);
  std::memset(out + n, ' ', width - n);
}

// Consecutive lines of a cell lie one template line apart.
constexpr std::size_t kLineStride = kLineBytes + kCrLf.size();
constexpr bool CellLinesFollowEachOther() {
  for (std::size_t i = 1; i <= 12; ++i)
    for (std::size_t n = 1; n <= kCellLines; ++n)
      if (kSlots.Cell[i][n] != kSlots.Cell[i][1] + (n - 1) * kLineStride) return false;
  return true;
}
static_assert(CellLinesFollowEachOther(), "a cell's lines sit one under the other");

// A column made while compiling: its bytes (pieces over the blank column)
// and how many of them the pieces took.
template <std::size_t W>
struct ColumnText {
  std::array<char, W> Bytes{};
  std::size_t Size = 0;
};

// Every value an entry of a row can hold (one byte: codes 0-255, those
// outside the symbol table named as NameOf names them).
constexpr int kEntryValues = 256;
static_assert(sizeof(ZiweiFields::Rows::value_type::value_type) == 1);

// A main column as one word of its 8 bytes, in memory order: the engine's
// targets are little-endian, so byte k of a column is bits 8k to 8k + 7.
using ColumnWord = std::uint64_t;
static_assert(sizeof(ColumnWord) == kMainBytes);
static_assert(std::endian::native == std::endian::little, "a column word is stored byte 0 first");
template <std::size_t N>
constexpr ColumnWord WordOf(const std::array<char, N>& bytes) {
  ColumnWord word = 0;
  for (std::size_t k = 0; k < N; ++k)
    word |= ColumnWord{static_cast<unsigned char>(bytes[k])} << (8 * k);
  return word;
}

// The start of a main column: its word and the bytes its pieces took.
struct ColumnStart {
  ColumnWord Word = 0;
  std::size_t Size = 0;
};

// The name of every entry value as the start of a main column: the name
// over the blank column when it fits, else the blank column alone; code 0,
// which gives no name, the blank column alone.
constexpr auto kMainNames = [] {
  std::array<ColumnStart, kEntryValues> names{};
  for (int code = 0; code < kEntryValues; ++code) {
    std::array<char, kMainBytes> bytes{};
    for (std::size_t k = 0; k < kMainBytes; ++k) bytes[k] = kBlankMain[k];
    const std::string_view name = NameOf(code);
    auto& column = names[static_cast<std::size_t>(code)];
    if (code != 0 && name.size() <= kMainBytes) {
      for (std::size_t k = 0; k < name.size(); ++k) bytes[k] = name[k];
      column.Size = name.size();
    }
    column.Word = WordOf(bytes);
  }
  return names;
}();

// A side column made of pieces as a side column of ASCII spaces takes them:
// each piece whole when it fits what is left, else left out.
constexpr ColumnText<kSideBytes> SideColumn(std::initializer_list<std::string_view> pieces) {
  ColumnText<kSideBytes> column;
  for (char& c : column.Bytes) c = ' ';
  for (std::string_view piece : pieces) {
    if (piece.size() > kSideBytes - column.Size) continue;
    for (std::size_t k = 0; k < piece.size(); ++k) column.Bytes[column.Size + k] = piece[k];
    column.Size += piece.size();
  }
  return column;
}

// The side column " " + name of every symbol code (a series member or a
// stage), and the name alone (a palace's name).
constexpr auto kSideNames = [] {
  std::array<ColumnText<kSideBytes>, kEntryValues> names{};
  for (int code = 0; code < kEntryValues; ++code)
    names[static_cast<std::size_t>(code)] = SideColumn({kFullSpace, NameOf(code)});
  return names;
}();
constexpr auto kPalaceNameSides = [] {
  std::array<ColumnText<kSideBytes>, kEntryValues> names{};
  for (int code = 0; code < kEntryValues; ++code)
    names[static_cast<std::size_t>(code)] = SideColumn({NameOf(code)});
  return names;
}();

// The side column " " + stem + branch of a palace, by stem code 0-10 and
// position 1-12.
constexpr int kLastStemCode = 10;
constexpr auto kStemBranchSides = [] {
  std::array<std::array<ColumnText<kSideBytes>, 13>, kLastStemCode + 1> sides{};
  for (int stem = 0; stem <= kLastStemCode; ++stem)
    for (int p = 1; p <= 12; ++p)
      sides[static_cast<std::size_t>(stem)][static_cast<std::size_t>(p)] =
          SideColumn({kFullSpace, NameOf(stem), NameOf(CodeOf(p, CodeKind::Branch))});
  return sides;
}();

// Brightness names and transformation marks are one character each, put
// after a star's name when they fit.
constexpr std::size_t kSuffixBytes = 2;
static_assert([] {
  for (int level = 1; level <= 7; ++level)
    if (kBrightnessNames[static_cast<std::size_t>(level)].size() != kSuffixBytes) return false;
  for (int mark = kFirstMarkCode; mark <= kLastMarkCode; ++mark)
    if (NameOf(mark).size() != kSuffixBytes) return false;
  return true;
}(), "brightness names and marks are one character");

// The brightness suffix by level 0-7: level 0 (none) two bytes of the blank
// column, written without moving on, so that every star line writes one.
static_assert([] {
  for (char c : kBlankMain)
    if (c != kBlankMain[0]) return false;
  return true;
}(), "the blank column is one byte repeated");
using SuffixWord = std::uint16_t;
constexpr SuffixWord SuffixOf(char first, char second) {
  return static_cast<SuffixWord>(static_cast<unsigned char>(first) |
                                 static_cast<unsigned char>(second) << 8);
}
constexpr auto kLevelSuffixes = [] {
  std::array<SuffixWord, 8> suffixes{};
  suffixes[0] = SuffixOf(kBlankMain[0], kBlankMain[0]);
  for (std::size_t level = 1; level <= 7; ++level)
    suffixes[level] = SuffixOf(kBrightnessNames[level][0], kBrightnessNames[level][1]);
  return suffixes;
}();
constexpr std::array<std::size_t, 8> kLevelSuffixBytes = {0, 2, 2, 2, 2, 2, 2, 2};
static_assert(kLevelSuffixBytes[1] == kSuffixBytes);

// The mark after a star, by the entry after it: kMarkIndex 1-4 for the
// transformation marks 禄 权 科 忌, 0 for any other entry. The suffix of
// index 0 is two bytes of the blank column (written without moving on), so
// that every star line writes one.
constexpr auto kMarkIndex = [] {
  std::array<std::uint8_t, kEntryValues> index{};
  for (int code = kFirstMarkCode; code <= kLastMarkCode; ++code)
    index[static_cast<std::size_t>(code)] = static_cast<std::uint8_t>(code - kFirstMarkCode + 1);
  return index;
}();
constexpr auto kMarkSuffixes = [] {
  std::array<SuffixWord, kLastMarkCode - kFirstMarkCode + 2> suffixes{};
  suffixes[0] = SuffixOf(kBlankMain[0], kBlankMain[0]);
  for (int code = kFirstMarkCode; code <= kLastMarkCode; ++code)
    suffixes[kMarkIndex[static_cast<std::size_t>(code)]] = SuffixOf(NameOf(code)[0], NameOf(code)[1]);
  return suffixes;
}();

// A suffix put into a main column after its first `size` bytes (0-8) when
// it fits, else nothing: the bytes of the column it leaves (Keep) and the
// suffix in its place (Placed), by size and suffix; and the bytes the
// column then holds. Rows of 8 suffixes, so that a step is found by shifts.
struct SuffixStep {
  ColumnWord Keep = ~ColumnWord{0};
  ColumnWord Placed = 0;
};
constexpr std::size_t kStepRow = 8;
template <std::size_t N>
struct SuffixSteps {
  std::array<std::array<SuffixStep, kStepRow>, kMainBytes + 1> Steps{};
  std::array<std::array<std::uint8_t, kStepRow>, kMainBytes + 1> Sizes{};

  constexpr SuffixSteps(const std::array<SuffixWord, N>& suffixes, const std::array<std::size_t, N>& moves) {
    static_assert(N <= kStepRow);
    for (std::size_t size = 0; size <= kMainBytes; ++size)
      for (std::size_t k = 0; k < N; ++k) {
        Sizes[size][k] = static_cast<std::uint8_t>(size);
        if (size + kSuffixBytes > kMainBytes) continue;
        Steps[size][k].Keep = ~(ColumnWord{0xFFFF} << (8 * size));
        Steps[size][k].Placed = ColumnWord{suffixes[k]} << (8 * size);
        Sizes[size][k] = static_cast<std::uint8_t>(size + moves[k]);
      }
  }
};
// Brightness by the column's size and the level shown; then the mark by
// the size after it and kMarkIndex (a mark never moves on: nothing follows).
constexpr SuffixSteps<8> kLevelSteps(kLevelSuffixes, kLevelSuffixBytes);
constexpr SuffixSteps<kMarkSuffixes.size()> kMarkSteps(kMarkSuffixes, {});
// The level shown for each value of a brightness entry (one byte, as every
// entry of a row): levels outside 1-7 show none.
constexpr auto kShownLevels = [] {
  std::array<std::uint8_t, 256> shown{};
  for (std::size_t level = 1; level <= 7; ++level) shown[level] = static_cast<std::uint8_t>(level);
  return shown;
}();

// The blank side column, as the blank text has it.
constexpr std::array<char, kSideBytes> kBlankSide = [] {
  std::array<char, kSideBytes> side{};
  for (char& c : side) c = ' ';
  return side;
}();
static_assert([] {
  for (std::size_t k = 0; k < kSideBytes; ++k)
    if (kBlankText[kSlots.Cell[1][1] + kMainBytes + k] != kBlankSide[k]) return false;
  return true;
}(), "the blank text's side columns are blank");

// The side column of a decade starting at age 0-99: "age-(age + 10)" and
// spaces.
constexpr auto kDecades = [] {
  std::array<std::array<char, kSideBytes>, 100> decades{};
  for (int age = 0; age < 100; ++age) {
    auto& side = decades[static_cast<std::size_t>(age)];
    for (char& c : side) c = ' ';
    FixedText<kSideBytes> text;
    text << Decimal(age) << "-" << Decimal(age + 10);
    if (text.size() != Decimal(age).size() + 1 + Decimal(age + 10).size())
      throw "a decade does not fit its column";
    for (std::size_t k = 0; k < text.size(); ++k) side[k] = text.View()[k];
  }
  return decades;
}();

// The lines of the cell of the palace at position i. The main column holds
// the star list, entry by entry from entry 2 to entry 16, each entry one
// line: its name (entries 2-12 only), brightness and transformation mark;
// the entries from the first empty one on are empty (and take blank lines).
// The side column of the lines the star list reached holds, by line number,
// the palace's series stars, stage, stem and branch, name and decade; the
// name carries the body mark in the first palace whose star list holds the
// body marker (BodyPalace), the palaces being filled in order: earlierBody
// tells that an earlier one holds it. Returns whether this one does.
bool FillCell(const ZiweiChart& chart, int i, bool earlierBody, char* text) {
  const auto& row = chart.Palaces[i];
  const auto& brightness = chart.Brightness[i];
  char* const cell = text + kSlots.Cell[i][1];
  const auto line = [cell](int n) { return cell + static_cast<std::size_t>(n - 1) * kLineStride; };

  constexpr int kLastShownEntry = 16;
  constexpr int kLastNamedEntry = 12;
  int lines = 0;  // the lines the star list reached
  bool body = false;
  bool ended = false;  // the walk reached the end of the star list
  int s = ZiweiFields::kFirstStarEntry;
  char* out = cell;  // the next line of the star list
  for (; s <= kLastShownEntry && lines < kCellLines; ++s) {
    const std::uint8_t code = row[s];
    if (code == 0) {
      // The star list ends at its first empty entry: the lines of the
      // entries left up to entry 16 stay blank.
      lines = std::min(kCellLines, lines + (kLastShownEntry - s + 1));
      ended = true;
      break;
    }
    if (code == kShenCode) {  // the body marker takes no line
      body = true;
      continue;
    }
    // The name over the blank column, then brightness and mark after it,
    // each where it fits (without a branch: they vary by star and chart).
    // Levels outside 1-7 show none.
    const ColumnStart& named = kMainNames[s <= kLastNamedEntry ? code : 0];
    const std::size_t shown = kShownLevels[brightness[s]];
    const SuffixStep& level = kLevelSteps.Steps[named.Size][shown];
    // The mark, when the next entry is one, shares its star's line.
    const std::size_t mark = kMarkIndex[row[s + 1]];
    const SuffixStep& marked = kMarkSteps.Steps[kLevelSteps.Sizes[named.Size][shown]][mark];
    const ColumnWord column =
        (((named.Word & level.Keep) | level.Placed) & marked.Keep) | marked.Placed;
    s += static_cast<int>(mark != 0);
    std::memcpy(out, &column, sizeof column);
    out += kLineStride;
    ++lines;
  }

  // The rest of the star list, beyond the lines shown, for the body marker.
  for (int e = s; !ended && !body && e <= ZiweiFields::kLastStarEntry && row[e] != 0; ++e)
    body = row[e] == kShenCode;

  // A line the star list did not reach keeps its side column blank (as the
  // blank text has it).
  const auto side = [&](int n, const ColumnText<kSideBytes>& column) {
    if (n <= lines) std::memcpy(line(n) + kMainBytes, column.Bytes.data(), kSideBytes);
  };
  side(1, kSideNames[row[ZiweiFields::kBoShiEntry]]);
  side(2, kSideNames[row[ZiweiFields::kJiangQianEntry]]);
  side(3, kSideNames[row[ZiweiFields::kSuiQianEntry]]);
  side(5, kSideNames[row[ZiweiFields::kChangShengEntry]]);
  const int stem = row[ZiweiFields::kStemEntry];
  if (stem <= kLastStemCode) {
    side(6, kStemBranchSides[static_cast<std::size_t>(stem)][static_cast<std::size_t>(i)]);
  } else {
    side(6, SideColumn({kFullSpace, NameOf(stem), NameOf(CodeOf(i, CodeKind::Branch))}));
  }
  const int nameCode = row[ZiweiFields::kNameEntry];
  const std::string_view name = NameOf(nameCode);
  if (body && !earlierBody && name.size() >= 2) {
    side(8, SideColumn({name.substr(0, 2), kBodyMark}));
  } else {
    side(8, kPalaceNameSides[static_cast<std::size_t>(nameCode)]);
  }
  // The decade, or the blank side column again when the star list did not
  // reach its line (without a branch: how far the list reaches varies).
  const int age = chart.DecadeStart(i);
  if (age >= 0 && age < 100) {
    const char* decade = 9 <= lines ? kDecades[static_cast<std::size_t>(age)].data() : kBlankSide.data();
    std::memcpy(line(9) + kMainBytes, decade, kSideBytes);
  }
  return body;
}

// The chart, written over a copy of the template of kChartBytes bytes.
void FillChart(const ZiweiChart& chart, char* text) {
  // Through the library's copy, not a loop of the compiler's.
  detail::CopyLong(text, kBlankText.data(), kBlankText.size());

  // The palace cells.
  bool body = false;
  for (int i = 1; i <= 12; ++i) body = FillCell(chart, i, body, text) || body;

  // The centre block.
  std::array<FixedText<32>, 6> centre;
  centre[1] << "四柱 " << PillarsLine(chart.Pillars(), " ");
  centre[2] << "阳历 " << Decimal(chart.CivilYear, 4) << "-" << Decimal(chart.CivilMonth, 2) << "-"
            << Decimal(chart.CivilDay, 2) << " ";
  {
    // The first 10 bytes of the lunar date and a full-width space.
    FixedText<10> lunar;
    lunar << LunarDateText(chart.Lunar[1], chart.Lunar[2]) << kFullSpace;
    centre[3] << "阴历 " << lunar.View() << " ";
  }
  {
    const bool male = chart.Male == 1;
    const std::string_view label =
        chart.Clockwise ? (male ? "阳男" : "阴女") : (male ? "阴男" : "阳女");
    const std::string_view bureau =
        chart.Bureau >= 2 && chart.Bureau <= 6 ? kBureauNames[chart.Bureau] : std::string_view();
    centre[4] << label << " " << bureau << " ";
  }
  centre[5] << "命主 " << NameOf(chart.LifeMaster) << "　身主 " << NameOf(chart.BodyMaster);
  for (int k = 1; k <= 5; ++k)
    WriteFixed(text + kSlots.Centre[k], centre[k].View(), kCentreBytes[k]);
}

}  // namespace

void ZiweiText(const ZiweiChart& chart, TextWriter& out) {
  // In place when the whole chart fits, else through a copy of its own that
  // the writer cuts.
  if (char* text = out.Reserve(kChartBytes)) {
    FillChart(chart, text);
    return;
  }
  std::array<char, kChartBytes> text;
  FillChart(chart, text.data());
  out << std::string_view(text.data(), text.size());
}

}  // namespace orv
