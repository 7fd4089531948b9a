// TOrv6yao: the cast of a hexagram and its derivation.
#include "liuyao.h"

namespace orv {
namespace {

// The trigram of lines first..first+2 of six bits.
int TrigramAt(const std::array<uint8_t, 6>& bits, int first) {
  return TrigramOf(bits[first], bits[first + 1], bits[first + 2]);
}

// The trigram with every line inverted.
int Inverted(int trigram) {
  const uint8_t* l = Trigrams[trigram].Lines;
  return TrigramOf(!l[0], !l[1], !l[2]);
}

// Beast code of the first line by the day stem: 甲乙 青龙, 丙丁 朱雀, 戊 勾陈,
// 己 腾蛇, 庚辛 白虎, 壬癸 玄武.
int FirstBeast(int dayStem) {
  static constexpr int kByStem[11] = {0, 0, 0, 1, 1, 2, 3, 4, 4, 5, 5};
  return dayStem >= 1 && dayStem <= 10 ? kByStem[dayStem] : 0;
}

}  // namespace

int TrigramOf(int bottom, int middle, int top) {
  const uint8_t lines[3] = {bottom != 0, middle != 0, top != 0};
  for (int t = 1; t <= kTrigramCount; ++t) {
    const uint8_t* l = Trigrams[t].Lines;
    if (l[0] == lines[0] && l[1] == lines[1] && l[2] == lines[2]) return t;
  }
  return 0;  // not reached: the eight trigrams are all three-line patterns
}

PalaceInfo PalaceOf(const std::array<uint8_t, 6>& bits) {
  const int lower = TrigramAt(bits, 0);
  const int upper = TrigramAt(bits, 3);
  const bool same0 = (bits[0] != 0) == (bits[3] != 0);
  const bool same1 = (bits[1] != 0) == (bits[4] != 0);
  const bool same2 = (bits[2] != 0) == (bits[5] != 0);
  PalaceInfo info;
  int world = 0;
  if (same0 && same1 && same2) {
    info.Generation = 8;
    world = 6;
    info.Palace = upper;
  } else if (!same0 && same1 && same2) {
    info.Generation = 1;
    world = 1;
    info.Palace = upper;
  } else if (!same0 && !same1 && same2) {
    info.Generation = 2;
    world = 2;
    info.Palace = upper;
  } else if (!same0 && !same1 && !same2) {
    info.Generation = 3;
    world = 3;
    info.Palace = upper;
  } else if (same0 && !same1 && !same2) {
    info.Generation = 4;
    world = 4;
    info.Palace = Inverted(lower);
  } else if (same0 && same1 && !same2) {
    info.Generation = 5;
    world = 5;
    info.Palace = Inverted(lower);
  } else if (!same0 && same1 && !same2) {
    info.Generation = 6;  // wandering soul
    world = 4;
    info.Palace = Inverted(lower);
  } else {  // same0 && !same1 && same2
    info.Generation = 7;  // returning soul
    world = 3;
    info.Palace = lower;
  }
  const int response = world + 3 <= 6 ? world + 3 : world - 3;
  info.World = world - 1;
  info.Response = response - 1;
  return info;
}

void AttachByTrigrams(const TOrv6yao&, int lower, int upper, std::array<TYaoLine, 6>& lines) {
  for (int i = 0; i < 6; ++i) {
    const Trigram& t = Trigrams[i <= 2 ? lower : upper];
    lines[i].Stem = i <= 2 ? t.InnerStem : t.OuterStem;
    lines[i].Branch = t.Branches[i];
  }
}

void AttachByXun(const TOrv6yao& chart, int lower, int upper, std::array<TYaoLine, 6>& lines) {
  const bool yangDay = IsYang(chart.DayPillar.Stem);
  const int x = Ordinal(chart.DayXun.Branch);  // 甲子旬 1, 甲戌旬 11, …
  for (int i = 0; i < 6; ++i) {
    const Trigram& t = Trigrams[i <= 2 ? lower : upper];
    const int s = yangDay ? t.InnerStem : t.OuterStem;
    const int b0 = s + x - 1;  // the branch this stem carries in the day's xun
    lines[i].Stem = s;
    lines[i].Branch = CodeOf(IsYang(s) ? b0 + 2 * i : b0 - 2 * i, CodeKind::Branch);
  }
}

void TOrv6yao::SetLines(int line6, int line5, int line4, int line3, int line2, int line1) {
  const int values[6] = {line1, line2, line3, line4, line5, line6};
  for (int i = 0; i < 6; ++i) {
    const int v = values[i];
    TYaoLine& line = MainLines[i];
    line.Yang = (v == 0 || v == 2) ? 0 : 1;
    line.Moving = v > 1 ? 1 : 0;
    ChangedLines[i].Yang = line.Moving ? !line.Yang : line.Yang;
  }
}

void TOrv6yao::CastFromTime(Moment date) {
  SetDate(date);
  const int s = LunarYearBranchOrdinal + LunarCount[0] + LunarCount[1];
  const int t = s + HourOrdinal;
  const int upper = Wrap(s, 8);
  const int lower = Wrap(t, 8);
  const int moving = Wrap(t, 6);
  for (int i = 0; i < 6; ++i) {
    TYaoLine& line = MainLines[i];
    line.Yang = i <= 2 ? Trigrams[lower].Lines[i] : Trigrams[upper].Lines[i - 3];
    line.Moving = 0;
    ChangedLines[i].Yang = line.Yang;
  }
  MainLines[moving - 1].Moving = 1;
  ChangedLines[moving - 1].Yang = !MainLines[moving - 1].Yang;
}

void TOrv6yao::Compute() { Derive(&AttachByTrigrams); }

void TOrv6yaoLongyin::Compute() { Derive(&AttachByXun); }

void TOrv6yao::Derive(AttachRule attach) {
  // 1. The base was recomputed when the date was set.

  // 2. The yang bits of both hexagrams.
  for (int i = 0; i < 6; ++i) {
    MainBits[i] = MainLines[i].Yang != 0;
    ChangedBits[i] = ChangedLines[i].Yang != 0;
  }

  // 3. Palaces, world and response lines.
  const PalaceInfo main = PalaceOf(MainBits);
  const PalaceInfo changed = PalaceOf(ChangedBits);
  MainPalace = main.Palace;
  MainWorld = main.World;
  MainResponse = main.Response;
  ChangedPalace = changed.Palace;
  ChangedWorld = changed.World;
  ChangedResponse = changed.Response;

  // 4. Stems and branches of the pure palace hexagram and of both hexagrams.
  attach(*this, MainPalace, MainPalace, PalaceLines);
  attach(*this, TrigramAt(MainBits, 0), TrigramAt(MainBits, 3), MainLines);
  attach(*this, TrigramAt(ChangedBits, 0), TrigramAt(ChangedBits, 3), ChangedLines);

  // 5. Relatives, all against the element of the main palace.
  const int palace = Trigrams[MainPalace].Element;
  for (auto* lines : {&PalaceLines, &MainLines, &ChangedLines})
    for (TYaoLine& line : *lines) line.Relative = Relation(palace, ElementOf(line.Branch));

  // 6. Beasts from the first line up.
  const int first = FirstBeast(DayPillar.Stem);
  for (int i = 0; i < 6; ++i) Beast[i] = (first + i) % 6;

  // 7. Hidden spirits: a relative missing from the main hexagram is taken
  // from the lines of the pure palace hexagram that carry it.
  HasHidden = 0;
  for (TYaoLine& line : MainLines) line.Hidden = 0;
  for (int r = kWealth; r <= kOfficer; ++r) {
    bool present = false;
    for (const TYaoLine& line : MainLines) present = present || line.Relative == r;
    if (present) continue;
    for (int i = 0; i < 6; ++i) {
      if (PalaceLines[i].Relative != r) continue;
      MainLines[i].Hidden = 1;
      HasHidden = 1;
    }
  }
}

namespace {

template <typename Chart>
LiuyaoChart CastWith(Chart& chart, Moment moment, const LiuyaoOptions& options) {
  chart.Options = kFixedYaoTextOptions;
  chart.SetDate(moment);
  const auto& l = options.LinesTopFirst;
  if (options.Manual)
    chart.SetLines(l[0], l[1], l[2], l[3], l[4], l[5]);
  else
    chart.CastFromTime(moment);
  chart.Compute();
  return {chart, chart, options.Attachment, chart.Options, options.Manual};
}

}  // namespace

LiuyaoChart Cast(Moment moment, const LiuyaoOptions& options) {
  if (options.Attachment == LineAttachment::ByDayXun) {
    TOrv6YaoStrLongyin chart;
    return CastWith(chart, moment, options);
  }
  TOrv6YaoStr chart;
  return CastWith(chart, moment, options);
}

}  // namespace orv
