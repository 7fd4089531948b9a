// Purple Star chart (紫微斗数): the twelve palaces and their stems, the
// five-element bureau, the stars and the four transformations, the four
// twelve-star series, brightness, decades, the life and body masters, and
// the 45-line chart text.
#pragma once

#include <array>
#include <cstdint>

#include "calendar/base.h"
#include "calendar/json_writer.h"
#include "calendar/text_writer.h"

namespace orv {

// Symbol codes of the chart (their names are SymbolNames, names.h).
enum ZiweiCode : int {
  kMingGongCode = 23,   // 命宫; 兄弟 夫妻 子女 财帛 疾厄 迁移 奴仆 官禄 田宅 福德 父母 follow
  kShenCode = 35,       // 身, the body-palace marker
  kFirstStarCode = 36,  // 紫微; the major and auxiliary stars with brightness run to
  kLastBrightStarCode = 63,  // 天钺
  kFirstMarkCode = 64,  // 禄 权 科 忌
  kLastMarkCode = 67,
  kBoShiCode = 105,     // 博士 series, 12 codes
  kJiangXingCode = 117, // 将前 series (将星 …), 12 codes
  kSuiJianCode = 129,   // 岁前 series (岁建 …), 12 codes
  kChangShengCode = 141 // 长生 series (growth stages), 12 codes
};

// Brightness levels 1-7 (0: none) and bureaus 2-6 by name.
inline constexpr char BrightnessNames[8][3] = {"", "庙", "旺", "得", "利", "平", "闲", "陷"};
inline constexpr char BureauNames[7][7] = {"", "", "水二局", "木三局", "金四局", "土五局", "火六局"};

// What the placement of a Purple Star chart adds to the base.
struct ZiweiFields {
  // Entries of a palace row.
  static constexpr int kNameEntry = 0;        // palace name code 23-34
  static constexpr int kStemEntry = 1;        // stem code 1-10
  static constexpr int kFirstStarEntry = 2;   // the star list, in placement order
  static constexpr int kLastStarEntry = 22;
  static constexpr int kBoShiEntry = 23;      // the palace's member of each series
  static constexpr int kJiangQianEntry = 24;
  static constexpr int kSuiQianEntry = 25;
  static constexpr int kChangShengEntry = 26;
  static constexpr int kEntries = 27;

  // One byte an entry (symbol codes are below 256, levels 0-7), so that a
  // chart's rows are cleared and copied as a few hundred bytes.
  using Rows = std::array<std::array<uint8_t, kEntries>, 13>;

  int32_t LifePalace = 0;  // position 1-12 (子 1 … 亥 12)
  uint8_t Clockwise = 0;   // 1: the chart runs forward (阳男, 阴女)
  uint8_t Male = 1;
  int32_t Bureau = 0;      // 2 水, 3 木, 4 金, 5 土, 6 火
  Rows Palaces{};          // row p: the palace at position p; row 0 stays empty
  Rows Brightness{};       // 0 none, 1 庙, 2 旺, 3 得, 4 利, 5 平, 6 闲, 7 陷
  int32_t LifeMaster = 0;  // symbol code of 命主
  int32_t BodyMaster = 0;  // symbol code of 身主

  // Age at which the decade of the palace at position p (1-12) starts.
  int DecadeStart(int p) const {
    const int sign = 2 * static_cast<int>(Clockwise != 0) - 1;  // without a branch
    const int k = sign * (p - LifePalace) % 12;
    return Bureau + 10 * (k + (k < 0 ? 12 : 0));
  }
  // Position (1-12) of the palace whose star list holds the body marker; 0
  // when none does.
  int BodyPalace() const;
};

// A Purple Star chart as data: the base and everything Compute places.
struct ZiweiChart : BaseChart, ZiweiFields {};

struct ZiweiOptions {
  bool Male = true;
};

class TOrvDouShu : public TOrvBase, public ZiweiFields {
 public:
  // Starts without a date, a man; nothing placed yet.
  TOrvDouShu() = default;
  virtual ~TOrvDouShu() = default;

  // Sets the sex and the direction that follows from it and the current
  // year stem.
  void SetMale(bool male);
  // Places everything, in order, from the base (computed when the date was
  // set); may be repeated.
  virtual void Compute();

 private:
  // The inputs of the placement and the positions that later steps count
  // from (子 1 … 亥 12).
  struct Anchors {
    int YS = 0, Y = 0, M = 0, D = 0, H = 0;  // year stem, year branch, month, day, hour
    int Z = 0;          // 紫微
    int WenChang = 0, WenQu = 0, ZuoFu = 0, YouBi = 0, LuCun = 0;
    int Body = 0;       // the body palace
  };

  // Writes code into the first empty entry of row p (nothing when the row is
  // full or the code is 0).
  void Append(int p, int code);
  // Inserts the transformation mark right after star's entry; the entries
  // behind it move back by one.
  void InsertMark(int star, int mark);

  // The steps of Compute, in order; each places what its name says.
  bool TakeInputs();
  void PlacePalaceNames();
  void PlacePalaceStems();
  void FindBureau();
  void PlaceZiweiSeries();
  void PlaceTianfuSeries();
  void PlaceHourAndMonthStars();
  void PlaceYearStemStars();
  void PlaceFireBellAndVoids();
  void PlaceTransformations();
  void PlaceMonthMinorStars();
  void PlaceDayMinorStars();
  void PlaceYearMinorStars();
  void PlaceBodyAndItsStars();
  void PlaceVoidStars();
  void PlaceLastMinorStars();
  void PlaceSeries();
  // The brightness level of a symbol in the palace at position p (1-12): 0
  // for the symbols without brightness.
  static int LevelOf(int code, int p);
  void FindMasters();

  Anchors a_;
  // Per row, its first empty entry: the entries before it are written
  // (name, stem and the star list so far), none after it.
  std::array<int, 13> used_{};
  // The palace of each star 紫微 … 天钺 (by code − kFirstStarCode) once it
  // is placed, else 0.
  std::array<int8_t, kLastBrightStarCode - kFirstStarCode + 1> placed_{};
  // The palace of each palace name 命宫 … 父母 (by code − kMingGongCode) once
  // the names are placed.
  std::array<int8_t, 12> named_{};
};

// Casts the chart of a moment: SetDate, SetMale, Compute.
ZiweiChart Cast(Moment moment, const ZiweiOptions& options);

// The chart text (GBK, 45 lines of 66 bytes, each ended by CR LF).
void ZiweiText(const ZiweiChart& chart, TextWriter& out);

// The chart as data: the "chart" member of the JSON export.
void ZiweiJson(const ZiweiChart& chart, JsonWriter& out);

}  // namespace orv
