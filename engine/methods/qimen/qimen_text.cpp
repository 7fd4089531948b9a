// The Qimen chart text: five header lines (dates, pillars, duty chief and
// envoy, term and ju, the void of the hour), an empty line and the nine-palace
// grid of the chart's placement.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "calendar/text.h"
#include "qimen.h"

namespace orv {
namespace {

constexpr std::string_view kNumerals[11] = {"○", "一", "二", "三", "四", "五",
                                            "六", "七", "八", "九", "十"};
constexpr std::string_view kYuanNames[3] = {"上", "中", "下"};
constexpr std::string_view kBlank = kFullSpace;

// The grids. A placeholder is the ring index of a palace followed by the
// letter of a plate; each occurs once.
//
// Flying placement: cells three characters wide, two lines high: heaven stem,
// deity, star over earth stem, earth deity, door.
constexpr std::string_view kFlyingGrid[] = {
    "┌───┬───┬───┐",
    "│4a4b4c│5a5b5c│6a6b6c│",
    "│4d4e4f│5d5e5f│6d6e6f│",
    "├───┼───┼───┤",
    "│3a3b3c│0a0b0c│7a7b7c│",
    "│3d3e3f│0d0e0f│7d7e7f│",
    "├───┼───┼───┤",
    "│2a2b2c│1a1b1c│8a8b8c│",
    "│2d2e2f│1d1e1f│8d8e8f│",
    "└───┴───┴───┘",
};

// Rotating placement: cells five characters wide, three lines high: the
// deity; the centre follower's star, the star, the heaven stem; the centre
// follower's earth stem, the door, the earth stem.
constexpr std::string_view kRotatingGrid[] = {
    "┌─────┬─────┬─────┐",
    "│　　4g　　│　　5g　　│　　6g　　│",
    "│4a　4b　4c│5a　5b　5c│6a　6b　6c│",
    "│4d　4e　4f│5d　5e　5f│6d　6e　6f│",
    "├─────┼─────┼─────┤",
    "│　　3g　　│　　0g　　│　　7g　　│",
    "│3a　3b　3c│0a　0b　0c│7a　7b　7c│",
    "│3d　3e　3f│0d　0e　0f│7d　7e　7f│",
    "├─────┼─────┼─────┤",
    "│　　2g　　│　　1g　　│　　8g　　│",
    "│2a　2b　2c│1a　1b　1c│8a　8b　8c│",
    "│2d　2e　2f│1d　1e　1f│8d　8e　8f│",
    "└─────┴─────┴─────┘",
};

constexpr auto kFlyingLines = CellTemplate<9>(kFlyingGrid);
constexpr auto kRotatingLines = CellTemplate<9>(kRotatingGrid);

struct GridLayout {
  // Letter of each plate (0: not drawn).
  char PlateLetters[QimenFields::kPlateCount];
};

constexpr GridLayout kFlyingLayout = {{'d', 'a', 'f', 'c', 'e', 'b'}};
constexpr GridLayout kRotatingLayout = {{'f', 'c', 'e', 'b', 0, 'g'}};

std::string_view Numeral(int n) { return n >= 0 && n <= 10 ? kNumerals[n] : kBlank; }

// The plate drawn at a letter of a layout; -1 when none is.
constexpr int PlateOfLetter(const GridLayout& layout, char letter) {
  for (int plate = 0; plate < QimenFields::kPlateCount; ++plate)
    if (layout.PlateLetters[plate] == letter) return plate;
  return -1;
}

// The value of the placeholder of a palace (ring index) and a letter in the
// grid of the chart's placement: the plate of the letter there, or, in the
// rotating grid, the centre follower's earth stem ("d") and star ("a") in
// the palace that carries them and blanks elsewhere. The placeholder is
// known while compiling, so is the plate it shows.
template <const GridLayout& Layout, int Ring, char Letter>
std::string_view CellValue(const QimenChart& chart) {
  constexpr bool kFlying = &Layout == &kFlyingLayout;
  if constexpr (!kFlying && (Letter == 'd' || Letter == 'a')) {
    if (Ring != chart.CentrePalace) return kBlank;
    constexpr int plate = Letter == 'd' ? QimenFields::kEarthStems : QimenFields::kStars;
    return NameOf(chart.Plates[static_cast<std::size_t>(plate)][kRingCentre]);
  } else {
    constexpr int plate = PlateOfLetter(Layout, Letter);
    if constexpr (plate < 0) {
      return {};
    } else {
      return NameOf(chart.Plates[static_cast<std::size_t>(plate)][static_cast<std::size_t>(Ring)]);
    }
  }
}

// A grid made whole while compiling: its lines joined by CR LF with every
// placeholder left in place, and for each placeholder where it lies and
// which value of the plates it shows. Every value of the plates is one
// character, as wide as a placeholder, so that the grid is copied whole and
// each value written over its placeholder; the text is the one WriteGrid
// gives. The centre follower's placeholders (rotating grid) are blank in
// the copy, and only those of the palace carrying it are written.
struct FixedGrid {
  struct Slot {
    std::uint16_t At = 0;     // where the placeholder lies in Text
    std::uint16_t Value = 0;  // plate * kPalaceCount + ring in Plates
  };
  std::array<char, 1024> Text{};
  std::size_t Size = 0;
  std::array<Slot, 64> Slots{};
  std::size_t Count = 0;
  std::array<std::array<Slot, 2>, QimenFields::kPalaceCount> Centre{};  // by ring
  bool HasCentre = false;
};

template <const auto& Lines, const GridLayout& Layout>
constexpr FixedGrid MakeFixedGrid() {
  constexpr bool kFlying = &Layout == &kFlyingLayout;
  FixedGrid grid;
  const auto put = [&grid](std::string_view piece) {
    for (char c : piece) {
      if (grid.Size == grid.Text.size()) throw "the grid is longer than its room";
      grid.Text[grid.Size++] = c;
    }
  };
  const auto valueOf = [](int plate, int ring) {
    return static_cast<std::uint16_t>(plate * QimenFields::kPalaceCount + ring);
  };
  for (std::size_t l = 0; l < Lines.size(); ++l) {
    if (l > 0) put(kCrLf);
    const auto& line = Lines[l];
    for (std::size_t i = 0; i < line.Count; ++i) {
      put(line.Text[i]);
      const std::string_view token = line.Tokens[i];
      const int ring = token[0] - '0';
      const auto at = static_cast<std::uint16_t>(grid.Size);
      if (!kFlying && (token[1] == 'd' || token[1] == 'a')) {
        const bool earth = token[1] == 'd';
        grid.Centre[static_cast<std::size_t>(ring)][earth ? 0 : 1] = {
            at, valueOf(earth ? QimenFields::kEarthStems : QimenFields::kStars, kRingCentre)};
        grid.HasCentre = true;
        put(kBlank);
        continue;
      }
      const int plate = PlateOfLetter(Layout, token[1]);
      if (plate < 0) throw "a placeholder shows no plate";
      if (grid.Count == grid.Slots.size()) throw "more placeholders than slots";
      grid.Slots[grid.Count++] = {at, valueOf(plate, ring)};
      put(token);
    }
    put(line.Text[line.Count]);
  }
  return grid;
}

constexpr FixedGrid kFlyingGridText = MakeFixedGrid<kFlyingLines, kFlyingLayout>();
constexpr FixedGrid kRotatingGridText = MakeFixedGrid<kRotatingLines, kRotatingLayout>();

// The names of the symbol codes two bytes wide, and which are.
struct CharName {
  std::array<char, 2> Bytes{};
  bool Fits = false;
};
constexpr auto kCharNames = [] {
  std::array<CharName, kSymbolCount> names{};
  for (int code = 0; code < kSymbolCount; ++code) {
    const std::string_view name = NameOf(code);
    if (name.size() != 2) continue;
    names[static_cast<std::size_t>(code)] = {{name[0], name[1]}, true};
  }
  return names;
}();

// The grid over a copy of its fixed text; false (and the text unfinished)
// when a value is not one character wide.
bool FillFixedGrid(const FixedGrid& grid, const QimenChart& chart, char* text) {
  std::memcpy(text, grid.Text.data(), grid.Size);
  const auto* values = chart.Plates[0].data();
  static_assert(sizeof chart.Plates == sizeof(int32_t) * QimenFields::kPlateCount *
                                           QimenFields::kPalaceCount);
  bool fits = true;
  const auto put = [&](const FixedGrid::Slot& slot) {
    const auto code = static_cast<unsigned>(values[slot.Value]);
    const CharName& name = kCharNames[code < kSymbolCount ? code : 0];
    fits &= code < kSymbolCount && name.Fits;
    std::memcpy(text + slot.At, name.Bytes.data(), 2);
  };
  for (std::size_t k = 0; k < grid.Count; ++k) put(grid.Slots[k]);
  if (grid.HasCentre && chart.CentrePalace >= 0 && chart.CentrePalace < QimenFields::kPalaceCount)
    for (const FixedGrid::Slot& slot : grid.Centre[static_cast<std::size_t>(chart.CentrePalace)])
      put(slot);
  return fits;
}

}  // namespace

void QimenHeader(const QimenChart& chart, TextWriter& out) {
  // Civil date and lunar date.
  WriteCivilDate(out, chart.Civil());
  out << kBlank << LunarDateText(chart.Lunar[1], chart.Lunar[2]) << kCrLf;
  out << PillarsLine(chart.Pillars(), " ") << kCrLf;
  // The duty chief's star over the hour palace, the duty envoy's door where
  // it stands.
  out << "值符天" << NameOf(chart.ChiefStar) << "落" << Numeral(LuoshuOfRing(chart.HourPalace))
      << "宫" << kBlank << "值使" << NameOf(chart.EnvoyDoor) << "门落"
      << Numeral(LuoshuOfRing(chart.Search(QimenFields::kDoors, chart.EnvoyDoor))) << "宫" << kCrLf;
  out << SolarTermName(chart.CurrentTerm)
      << (chart.Yuan >= 0 && chart.Yuan <= 2 ? kYuanNames[chart.Yuan] : kBlank) << "元" << kBlank
      << (chart.Yang == 1 ? "阳" : "阴") << "遁" << Numeral(chart.Ju) << "局" << kCrLf;
  const std::array<int, 2> voids = VoidBranches(chart.HourXun);
  out << "时空亡" << kBlank << chart.HourXun << "旬" << NameOf(voids[0]) << NameOf(voids[1])
      << kCrLf;
}

// The grid of one placement, its values at most six bytes each.
template <const auto& Lines, const GridLayout& Layout>
void WriteGrid(const QimenChart& chart, TextWriter& out) {
  out.WriteInPlace<TemplateMost(Lines, 6, kCrLf.size())>([&](Cursor& text) {
    WriteTemplate<Lines>(
        text,
        [&](auto token) {
          constexpr std::string_view cell = decltype(token)::kText;
          text << CellValue<Layout, cell[0] - '0', cell[1]>(chart);
        },
        [&] { text << kCrLf; });
  });
}

void QimenGrid(const QimenChart& chart, TextWriter& out) {
  const FixedGrid& fixed = chart.FlyStars != 0 ? kFlyingGridText : kRotatingGridText;
  std::array<char, sizeof FixedGrid::Text> text;
  if (FillFixedGrid(fixed, chart, text.data())) {
    out << std::string_view(text.data(), fixed.Size);
    return;
  }
  if (chart.FlyStars != 0)
    WriteGrid<kFlyingLines, kFlyingLayout>(chart, out);
  else
    WriteGrid<kRotatingLines, kRotatingLayout>(chart, out);
}

void QimenText(const QimenChart& chart, TextWriter& out) {
  QimenHeader(chart, out);
  out << kCrLf;
  QimenGrid(chart, out);
}

}  // namespace orv
