// The Qimen chart text: five header lines (dates, pillars, duty chief and
// envoy, term and ju, the void of the hour), an empty line and the nine-palace
// grid of the chart's placement.
#include <charconv>
#include <string_view>

#include "calendar/names.h"
#include "calendar/text.h"
#include "qimen.h"

namespace orv {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kNumerals[11] = {"○", "一", "二", "三", "四", "五",
                                            "六", "七", "八", "九", "十"};
constexpr std::string_view kYuanNames[3] = {"上", "中", "下"};
constexpr std::string_view kBlank = "　";

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

struct GridLayout {
  const std::string_view* Lines;
  int LineCount;
  // Letter of each plate (0: not drawn).
  char PlateLetters[TOrvQimen::kPlateCount];
};

constexpr GridLayout kFlyingLayout = {kFlyingGrid, 10, {'d', 'a', 'f', 'c', 'e', 'b'}};
constexpr GridLayout kRotatingLayout = {kRotatingGrid, 13, {'f', 'c', 'e', 'b', 0, 'g'}};

// The text of a symbol code: its name slot up to the first zero byte.
std::string_view Name(int code) {
  if (code < 0 || code >= kSymbolCount) code = 0;
  const char* slot = SymbolNames[code];
  std::size_t len = 0;
  while (len < sizeof SymbolNames[code] && slot[len] != '\0') ++len;
  return {slot, len};
}

// The values of the placeholders, by ring index and letter a-g. Filling is
// replacing each placeholder by its value; as every placeholder occurs once
// and no value holds a digit, one pass over the template gives the same text
// as replacing them one after another.
class GridFill {
 public:
  explicit GridFill(const GridLayout& layout) : layout_(layout) {}
  void Put(int ring, char letter, std::string_view value) { values_[ring][letter - 'a'] = value; }
  void AppendTo(std::string& text) const {
    // Room for the template with every placeholder replaced by a whole name
    // slot; cut to the written length at the end.
    std::size_t room = 0;
    for (int i = 0; i < layout_.LineCount; ++i) room += kCrLf.size() + layout_.Lines[i].size();
    room += sizeof values_ / sizeof values_[0][0] * sizeof SymbolNames[0];
    const std::size_t start = text.size();
    text.resize(start + room);
    char* out = text.data() + start;
    for (int i = 0; i < layout_.LineCount; ++i) {
      if (i > 0) {
        *out++ = '\r';
        *out++ = '\n';
      }
      const std::string_view line = layout_.Lines[i];
      for (std::size_t at = 0; at < line.size(); ++at) {
        const char digit = line[at];
        const char letter = at + 1 < line.size() ? line[at + 1] : '\0';
        if (digit < '0' || digit > '8' || letter < 'a' || letter > 'g') {
          *out++ = digit;
          continue;
        }
        for (const char byte : values_[digit - '0'][letter - 'a']) *out++ = byte;
        ++at;
      }
    }
    text.resize(static_cast<std::size_t>(out - text.data()));
  }

 private:
  const GridLayout& layout_;
  std::string_view values_[TOrvQimen::kPalaceCount][7];
};

std::string_view Numeral(int n) { return n >= 0 && n <= 10 ? kNumerals[n] : kBlank; }

void AppendInt(std::string& text, int n) {
  char digits[16];
  text.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
}

void AppendHeader(std::string& text, const TOrvQimen& chart) {
  // Civil date and lunar date.
  AppendInt(text, chart.CivilYear);
  text += "年";
  AppendInt(text, chart.CivilMonth);
  text += "月";
  AppendInt(text, chart.CivilDay);
  text += "日";
  text += kBlank;
  text += LunarDateText(chart.Lunar[1], chart.Lunar[2]);
  text += kCrLf;

  text += PillarsLine(chart.Pillars(), " ");
  text += kCrLf;

  // The duty chief's star over the hour palace, the duty envoy's door where
  // it stands.
  text += "值符天";
  text += Name(chart.ChiefStar);
  text += "落";
  text += Numeral(LuoshuOfRing(chart.HourPalace));
  text += "宫";
  text += kBlank;
  text += "值使";
  text += Name(chart.EnvoyDoor);
  text += "门落";
  text += Numeral(LuoshuOfRing(chart.Search(TOrvQimen::kDoors, chart.EnvoyDoor)));
  text += "宫";
  text += kCrLf;

  text += SolarTermName(chart.CurrentTerm);
  text += chart.Yuan >= 0 && chart.Yuan <= 2 ? kYuanNames[chart.Yuan] : kBlank;
  text += "元";
  text += kBlank;
  text += chart.Yang == 1 ? "阳" : "阴";
  text += "遁";
  text += Numeral(chart.Ju);
  text += "局";
  text += kCrLf;

  const std::array<int, 2> voids = VoidBranches(chart.HourXun);
  text += "时空亡";
  text += kBlank;
  text += PillarText(chart.HourXun);
  text += "旬";
  text += Name(voids[0]);
  text += Name(voids[1]);
  text += kCrLf;
}

void AppendGrid(std::string& text, const TOrvQimen& chart) {
  const bool flying = chart.FlyStars != 0;
  const GridLayout& layout = flying ? kFlyingLayout : kRotatingLayout;
  GridFill grid(layout);
  for (int plate = 0; plate < TOrvQimen::kPlateCount; ++plate) {
    const char letter = layout.PlateLetters[plate];
    if (letter == 0) continue;
    for (int p = 0; p < TOrvQimen::kPalaceCount; ++p)
      grid.Put(p, letter, Name(chart.Plates[plate][p]));
  }
  if (!flying) {
    // The centre's earth stem and its star 禽 follow 坤's earth stem.
    for (int p = 0; p < TOrvQimen::kPalaceCount; ++p) {
      const bool follower = p == chart.CentrePalace;
      grid.Put(p, 'd', follower ? Name(chart.Plates[TOrvQimen::kEarthStems][kRingCentre]) : kBlank);
      grid.Put(p, 'a', follower ? Name(chart.Plates[TOrvQimen::kStars][kRingCentre]) : kBlank);
    }
  }
  grid.AppendTo(text);
}

}  // namespace

std::string QimenHeader(const TOrvQimen& chart) {
  std::string text;
  AppendHeader(text, chart);
  return text;
}

std::string QimenGrid(const TOrvQimen& chart) {
  std::string text;
  AppendGrid(text, chart);
  return text;
}

std::string QimenText(const TOrvQimen& chart) {
  std::string text;
  text.reserve(1024);  // the rotating chart is about 900 bytes
  AppendHeader(text, chart);
  text += kCrLf;
  AppendGrid(text, chart);
  return text;
}

}  // namespace orv
