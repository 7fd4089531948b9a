// The chart as data agrees with the chart as text: over a sample of solar
// and lunar dates of 1902-2050 and every option, each method's text (read as
// UTF-8 through the system's converter) is made again from the JSON of the
// same request, line by line, by the layout the text follows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "export_text.h"
#include "chart_requests.h"
#include "exports/orv.h"
#include "json_value.h"
#include "text_lines.h"
#include "utf8_text.h"

namespace {

using fixtures::JsonValue;
using fixtures::U8;
using Lines = std::vector<std::string>;

constexpr int kSample = 120;  // charts per method

// ---------------------------------------------------------------------------
// The two sides of one request

using Request = OrvChartRequest;

// The export's text in UTF-8, or its nonzero result.
struct Text {
  int32_t Code = 0;
  Lines Rows;
};

// The text export of the same request: its result, and its GBK text when
// the result is 0.
struct RawText {
  int32_t Code = 0;
  std::string Gbk;
};

RawText RawTextOf(const Request& r) {
  std::vector<char> buffer(ORV_ZIWEI_BUFFER_SIZE, '\0');
  char* b = buffer.data();
  const auto& l = r.lines;
  int32_t code = 0;
  switch (r.method) {
    case ORV_METHOD_BAZI:
      code = StrBazi(r.solar, r.leap, r.male, r.year, r.month, r.day, r.hour, b);
      break;
    case ORV_METHOD_ZIWEI:
      code = StrZiwei(r.solar, r.leap, r.male, r.year, r.month, r.day, r.hour, b);
      break;
    case ORV_METHOD_LIUYAO:
      code = StrLiuyao(l[0], l[1], l[2], l[3], l[4], l[5], r.solar, r.leap, r.manualLines, r.year,
                       r.month, r.day, r.hour, b);
      break;
    case ORV_METHOD_LIUYAO_XUN:
      code = StrLiuyaoL(l[0], l[1], l[2], l[3], l[4], l[5], r.solar, r.leap, r.manualLines, r.year,
                        r.month, r.day, r.hour, b);
      break;
    case ORV_METHOD_QIMEN:
      code = StrQimen(r.solar, r.leap, r.flying, r.ju, r.year, r.month, r.day, r.hour, b);
      break;
    case ORV_METHOD_LIUREN:
      code = Str6Ren(r.solar, r.leap, r.male, r.year, r.month, r.day, r.hour, b,
                     static_cast<uint8_t>(r.daytime), r.guiRen, r.sheHai,
                     r.birthYear > 0 ? r.birthYear : -1);
      break;
    case ORV_METHOD_XUANKONG:
      code = StrXuankong(r.period - 1, r.mountain, r.xiagua, b);
      break;
    default:
      break;
  }
  if (code != 0) return {code, {}};
  return {0, buffer.data()};
}

Text TextOf(const Request& r) {
  const RawText raw = RawTextOf(r);
  if (raw.Code != 0) return {raw.Code, {}};
  return {0, fixtures::SplitLines(fixtures::Utf8OfGbk(raw.Gbk.c_str()))};
}

struct Data {
  int32_t Code = 0;
  JsonValue Value;
};

Data JsonOf(const Request& r) {
  std::vector<char> buffer(32768);
  const int32_t n = StrChartJson(&r, buffer.data(), static_cast<int32_t>(buffer.size()));
  if (n < 0) return {n, {}};
  EXPECT_LT(n, static_cast<int32_t>(buffer.size()));
  const auto value = fixtures::ParseJson(std::string(buffer.data(), static_cast<std::size_t>(n)));
  EXPECT_TRUE(value.has_value());
  return {0, value.value_or(JsonValue{})};
}

// Runs check(lines of the text, JSON) over the sample of a method; the two
// refuse the same requests (1 and -1: no such solar date, 2 and -2: no such
// lunar date).
template <typename Check>
void OverTheSample(int32_t method, unsigned seed, Check check) {
  std::mt19937 random(seed);
  int compared = 0;
  for (int i = 0; i < kSample; ++i) {
    const Request r = fixtures::RandomChartRequest(method, random);
    const Text text = TextOf(r);
    const Data data = JsonOf(r);
    SCOPED_TRACE(testing::Message() << "method " << method << (r.solar ? " solar " : " lunar ")
                                    << r.year << "-" << r.month << "-" << r.day << " " << r.hour);
    ASSERT_EQ(data.Code, -text.Code);
    if (text.Code != 0) continue;
    check(text.Rows, data.Value);
    if (testing::Test::HasFatalFailure()) return;
    ++compared;
  }
  EXPECT_GT(compared, kSample * 3 / 4);
}

// ---------------------------------------------------------------------------
// Shared pieces of the texts

const std::string kSpace = U8(u8"　");

std::string Repeat(const std::string& s, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += s;
  return out;
}

// A string value, or a full-width space for null (a blank cell).
std::string Cell(const JsonValue& v) { return v.IsNull() ? kSpace : v.Str(); }

// The civil date of a moment "YYYY-MM-DDT…" as "Y年M月D日".
std::string CivilDate(const std::string& moment) {
  return std::to_string(std::stoi(moment.substr(0, 4))) + U8(u8"年") +
         std::to_string(std::stoi(moment.substr(5, 2))) + U8(u8"月") +
         std::to_string(std::stoi(moment.substr(8, 2))) + U8(u8"日");
}

std::string Pillars(const JsonValue& p) {
  return p["year"].Str() + " " + p["month"].Str() + " " + p["day"].Str() + " " + p["hour"].Str();
}

// The number of characters of a UTF-8 text.
std::size_t Chars(const std::string& s) {
  std::size_t n = 0;
  for (const char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

// The first n characters of a UTF-8 text, and what follows them.
std::string FirstChars(const std::string& s, std::size_t n) {
  std::size_t at = 0;
  for (std::size_t k = 0; k < n && at < s.size(); ++k) {
    ++at;
    while (at < s.size() && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80) ++at;
  }
  return s.substr(0, at);
}

// A row of box cells "│a│b│c│" as its cells.
std::vector<std::string> Cells(const std::string& row) {
  const std::string bar = U8(u8"│");
  std::vector<std::string> cells;
  std::size_t from = row.find(bar);
  while (from != std::string::npos) {
    const std::size_t to = row.find(bar, from + bar.size());
    if (to == std::string::npos) break;
    cells.push_back(row.substr(from + bar.size(), to - from - bar.size()));
    from = to;
  }
  return cells;
}

// ---------------------------------------------------------------------------
// Four Pillars

std::string Short(const std::string& tenGod) {
  static const std::pair<std::u8string_view, std::u8string_view> kShort[] = {
      {u8"正财", u8"才"}, {u8"偏财", u8"财"}, {u8"伤官", u8"伤"}, {u8"食神", u8"食"},
      {u8"劫财", u8"劫"}, {u8"比肩", u8"比"}, {u8"正印", u8"印"}, {u8"偏印", u8"枭"},
      {u8"正官", u8"官"}, {u8"七杀", u8"杀"}};
  for (const auto& [full, brief] : kShort)
    if (U8(full) == tenGod) return U8(brief);
  return kSpace;
}

TEST(ChartJsonAgainstText, FourPillars) {
  OverTheSample(ORV_METHOD_BAZI, 1, [](const Lines& text, const JsonValue& json) {
    const JsonValue& chart = json["chart"];
    const JsonValue& pillars = chart["pillars"];
    const JsonValue& m = json["moment"];
    ASSERT_EQ(text.size(), 93u);
    EXPECT_EQ(text[0], U8(chart["sex"].Str() == "male" ? u8"男命：" : u8"女命：") + CivilDate(m["civil"].Str()));
    EXPECT_EQ(text[1], U8(u8"阴历：") + m["lunar"]["text"].Str());
    const std::string gap = "  ";
    std::string gods, stems, branches, growth, nayin;
    for (std::size_t c = 0; c < 4; ++c) {
      const JsonValue& p = pillars[c];
      // Cells of a full-width space, the value and a full-width space; the
      // last column ends with its value.
      const std::string sep = c > 0 ? gap : "";
      const std::string end = c < 3 ? kSpace : "";
      gods += sep + kSpace + Short(p["tenGod"].Str()) + end;
      stems += sep + kSpace + p["stem"].Str() + end;
      branches += sep + kSpace + p["branch"].Str() + end;
      growth += sep + kSpace + FirstChars(p["growth"].Str(), 1) + end;
      nayin += sep + p["nayin"].Str();
      // The hidden stems and their ten gods, in their column of the two lines.
      std::string hidden, hiddenGods;
      for (const JsonValue& h : p["hidden"].Items) {
        hidden += h["stem"].Str();
        hiddenGods += Short(h["tenGod"].Str());
      }
      const auto column = [&](const std::string& line) {
        std::string cells = FirstChars(line.substr(FirstChars(line, 5 * c).size()), 3);
        std::string kept;
        for (std::size_t k = 0; k < 3; ++k) {
          const std::string ch = FirstChars(cells, 1);
          cells = cells.substr(ch.size());
          if (ch != kSpace) kept += ch;
        }
        return kept;
      };
      EXPECT_EQ(column(text[5]), hidden) << c;
      EXPECT_EQ(column(text[6]), hiddenGods) << c;
    }
    EXPECT_EQ(text[2], gods);
    EXPECT_EQ(text[3], stems);
    EXPECT_EQ(text[4], branches);
    EXPECT_EQ(text[7], growth);
    EXPECT_EQ(text[8], nayin);
    EXPECT_EQ(text[10], U8(u8"命宫：") + chart["lifePalace"].Str());
    const std::u8string_view labels[4] = {u8"年柱：", u8"月柱：", u8"日柱：", u8"时柱："};
    for (std::size_t c = 0; c < 4; ++c) {
      std::string line = U8(labels[c]);
      for (const JsonValue& s : pillars[c]["spirits"].Items) line += s.Str() + " ";
      EXPECT_EQ(text[11 + c], line);
    }
    const auto term = [](const JsonValue& t) {
      const std::string& at = t["at"].Str();
      return t["name"].Str() + std::to_string(std::stoi(at.substr(8, 2))) + U8(u8"日") +
             std::to_string(std::stoi(at.substr(11, 2))) + U8(u8"时") +
             std::to_string(std::stoi(at.substr(14, 2))) + U8(u8"分");
    };
    EXPECT_EQ(text[16], U8(u8"本月节气：") + term(m["terms"]["sectional"]));
    EXPECT_EQ(text[17], Repeat(kSpace, 5) + term(m["terms"]["principal"]));
    const JsonValue& luck = chart["luck"];
    EXPECT_EQ(text[19], U8(u8"命主从") + std::to_string(luck["after"]["years"].Int()) + U8(u8"岁") +
                            std::to_string(luck["after"]["months"].Int()) + U8(u8"月") +
                            std::to_string(luck["after"]["days"].Int()) + U8(u8"天开始行大运"));
    const std::string& start = luck["start"].Str();
    EXPECT_EQ(text[20], U8(u8"于交运年的阳历") + std::to_string(std::stoi(start.substr(5, 2))) +
                            U8(u8"月") + std::to_string(std::stoi(start.substr(8, 2))) + U8(u8"日交运"));
    std::size_t row = 22;
    for (const JsonValue& period : luck["periods"].Items) {
      for (std::size_t k = 0; k < period["years"].Items.size(); ++k) {
        const JsonValue& y = period["years"][k];
        std::string line = std::to_string(y["age"].Int()) + U8(u8"、") + std::to_string(y["year"].Int()) +
                           "(" + y["pillar"].Str() + ")";
        if (k == 0) line += U8(u8"交") + period["pillar"].Str() + U8(u8"运");
        EXPECT_EQ(text[row++], line);
      }
    }
    EXPECT_EQ(row, 92u);
  });
}

// ---------------------------------------------------------------------------
// Purple Star

TEST(ChartJsonAgainstText, PurpleStar) {
  OverTheSample(ORV_METHOD_ZIWEI, 2, [](const Lines& text, const JsonValue& json) {
    ASSERT_EQ(text.size(), 46u);
    const JsonValue& chart = json["chart"];
    const JsonValue& m = json["moment"];
    // The centre block.
    const auto centre = [&](std::size_t line) { return Cells(text[line])[1]; };
    const auto starts = [](const std::string& field, const std::string& with) {
      return field.compare(0, with.size(), with) == 0;
    };
    EXPECT_TRUE(starts(centre(15), kSpace + U8(u8"四柱 ") + Pillars(m["pillars"])));
    EXPECT_TRUE(starts(centre(17), kSpace + U8(u8"阳历 ") + m["civil"].Str().substr(0, 10) + " "));
    EXPECT_TRUE(starts(centre(19), kSpace + U8(u8"阴历 ") + m["lunar"]["text"].Str()));
    EXPECT_TRUE(starts(centre(21), kSpace + chart["yinYang"].Str() + " " + chart["bureau"].Str() + " "));
    EXPECT_TRUE(starts(centre(23), kSpace + U8(u8"命主 ") + chart["lifeMaster"].Str() + kSpace +
                                       U8(u8"身主 ") + chart["bodyMaster"].Str()));
    // The cells: by lines 2-11, 13-22, 24-33 and 35-44 (from 0: 1, 12, 23,
    // 34), the palaces 巳午未申, 辰 酉, 卯 戌, 寅丑子亥 (positions 子 1 … 亥 12).
    const struct {
      std::size_t First;
      std::vector<int> Positions;  // 0: the centre
    } rows[] = {{1, {6, 7, 8, 9}}, {12, {5, 0, 10}}, {23, {4, 0, 11}}, {34, {3, 2, 1, 12}}};
    for (const auto& row : rows) {
      for (std::size_t f = 0; f < row.Positions.size(); ++f) {
        const int p = row.Positions[f];
        if (p == 0) continue;
        const JsonValue& palace = chart["palaces"][static_cast<std::size_t>(p - 1)];
        SCOPED_TRACE(palace["branch"].Str());
        Lines main, side;
        for (std::size_t n = 0; n < 10; ++n) {
          const std::string cell = Cells(text[row.First + n])[f];
          main.push_back(FirstChars(cell, 4));
          side.push_back(cell.substr(FirstChars(cell, 4).size()));
        }
        // Each star of a line that names one, in order: name, brightness,
        // transformation.
        std::size_t star = 0;
        for (const std::string& line : main) {
          std::string shown = line;
          while (Chars(shown) > 0 && shown.size() >= kSpace.size() &&
                 shown.compare(shown.size() - kSpace.size(), kSpace.size(), kSpace) == 0)
            shown.resize(shown.size() - kSpace.size());
          if (shown.empty()) continue;
          ASSERT_LT(star, palace["stars"].Items.size());
          const JsonValue& s = palace["stars"][star++];
          EXPECT_EQ(shown, s["name"].Str() + s["brightness"].Str() + s["transformation"].Str());
        }
        const auto trimmed = [](std::string s) {
          while (!s.empty() && s.back() == ' ') s.pop_back();
          return s;
        };
        EXPECT_EQ(trimmed(side[0]), kSpace + palace["boshi"].Str());
        EXPECT_EQ(trimmed(side[1]), kSpace + palace["jiangqian"].Str());
        EXPECT_EQ(trimmed(side[2]), kSpace + palace["suiqian"].Str());
        EXPECT_EQ(trimmed(side[4]), kSpace + palace["changsheng"].Str());
        EXPECT_EQ(trimmed(side[5]), kSpace + palace["stem"].Str() + palace["branch"].Str());
        const std::string name = palace["name"].Str();
        EXPECT_EQ(trimmed(side[7]),
                  palace["body"].Boolean ? FirstChars(name, 1) + U8(u8"◆身") : name);
        const long long from = palace["decade"]["from"].Int();
        EXPECT_EQ(trimmed(side[8]), from < 100 ? std::to_string(from) + "-" +
                                                     std::to_string(palace["decade"]["to"].Int())
                                               : "");
        EXPECT_EQ(palace["decade"]["to"].Int(), from + 10);
      }
    }
  });
}

// ---------------------------------------------------------------------------
// Six Lines, both attachments

void SixLines(const Lines& text, const JsonValue& json) {
  const JsonValue& m = json["moment"];
  const JsonValue& chart = json["chart"];
  const JsonValue& main = chart["main"];
  const JsonValue& changed = chart["changed"];
  ASSERT_EQ(text.size(), 15u);
  EXPECT_EQ(text[0], U8(u8"公历：") + CivilDate(m["civil"].Str()));
  EXPECT_EQ(text[1], U8(u8"阴历：") + m["lunar"]["text"].Str());
  EXPECT_EQ(text[2], U8(u8"四柱：") + Pillars(m["pillars"]));
  EXPECT_EQ(text[3], U8(u8"旬空：") + m["xun"].Str() + U8(u8"旬") + m["void"][0].Str() +
                         m["void"][1].Str() + U8(u8"空"));
  EXPECT_EQ(text[4], U8(u8"卦宫：主卦") + main["palace"].Str() + kSpace + U8(u8"变卦") +
                         changed["palace"].Str());
  bool hidden = false;
  for (const JsonValue& line : main["lines"].Items) hidden = hidden || !line["hidden"].IsNull();
  const auto mark = [](const JsonValue& hexagram, long long line) {
    if (line == hexagram["world"].Int()) return U8(u8"世");
    if (line == hexagram["response"].Int()) return U8(u8"应");
    return kSpace;
  };
  const auto glyph = [](bool yang) { return U8(yang ? u8"━━━" : u8"━　━"); };
  const auto attachment = [](const JsonValue& l) {
    return l["stem"].Str() + l["branch"].Str() + l["relative"].Str();
  };
  std::string left0;
  for (std::size_t i = 0; i < 6; ++i) {
    const JsonValue& l = main["lines"][i];
    const JsonValue& c = changed["lines"][i];
    std::string left = l["beast"].Str();
    if (hidden)
      left += kSpace + (l["hidden"].IsNull() ? Repeat(kSpace, 4) : attachment(l["hidden"]));
    left += kSpace + mark(main, l["line"].Int()) + glyph(l["yang"].Boolean) + attachment(l) +
            (l["moving"].Boolean ? U8(l["yang"].Boolean ? u8"○" : u8"×") : kSpace);
    const std::string right = kSpace + mark(changed, c["line"].Int()) + glyph(c["yang"].Boolean) + attachment(c);
    EXPECT_EQ(text[13 - i], left + right) << i;
    if (i == 0) left0 = left;
  }
  // The name row: the changed half begins where it begins on the line rows,
  // the names after a full-width space in the place of the marks.
  const std::size_t before = 2 + (hidden ? 5 : 0);
  std::string names = Repeat(kSpace, before) + kSpace + kSpace + main["name"].Str();
  names += Repeat(kSpace, Chars(left0) > Chars(names) ? Chars(left0) - Chars(names) : 0);
  EXPECT_EQ(text[7], names + kSpace + kSpace + changed["name"].Str());
}

TEST(ChartJsonAgainstText, SixLines) { OverTheSample(ORV_METHOD_LIUYAO, 3, SixLines); }
TEST(ChartJsonAgainstText, SixLinesByTheDaysXun) { OverTheSample(ORV_METHOD_LIUYAO_XUN, 4, SixLines); }

// ---------------------------------------------------------------------------
// Qimen

std::string Numeral(long long n) {
  static const std::u8string_view kNumerals[11] = {u8"○", u8"一", u8"二", u8"三", u8"四", u8"五",
                                                   u8"六", u8"七", u8"八", u8"九", u8"十"};
  return n >= 0 && n <= 10 ? U8(kNumerals[n]) : kSpace;
}

TEST(ChartJsonAgainstText, Qimen) {
  OverTheSample(ORV_METHOD_QIMEN, 5, [](const Lines& text, const JsonValue& json) {
    const JsonValue& m = json["moment"];
    const JsonValue& chart = json["chart"];
    const bool flying = chart["placement"].Str() == "flying";
    ASSERT_EQ(text.size(), flying ? 16u : 19u);
    EXPECT_EQ(text[0], CivilDate(m["civil"].Str()) + kSpace + m["lunar"]["text"].Str());
    EXPECT_EQ(text[1], Pillars(m["pillars"]));
    EXPECT_EQ(text[2], U8(u8"值符天") + chart["dutyChief"]["star"].Str() + U8(u8"落") +
                           Numeral(chart["dutyChief"]["over"]["luoshu"].Int()) + U8(u8"宫") + kSpace +
                           U8(u8"值使") + chart["dutyEnvoy"]["door"].Str() + U8(u8"门落") +
                           Numeral(chart["dutyEnvoy"]["in"]["luoshu"].Int()) + U8(u8"宫"));
    EXPECT_EQ(text[3], chart["term"].Str() + chart["yuan"].Str() + kSpace + chart["dun"].Str() +
                           Numeral(chart["ju"].Int()) + U8(u8"局"));
    EXPECT_EQ(text[4], U8(u8"时空亡") + kSpace + chart["hourXun"].Str() + U8(u8"旬") +
                           chart["hourVoid"][0].Str() + chart["hourVoid"][1].Str());
    EXPECT_EQ(text[5], "");
    // The grid, south at the top: 巽 离 坤 / 震 中 兑 / 艮 坎 乾 (Luoshu).
    const int rows[3][3] = {{4, 9, 2}, {3, 5, 7}, {8, 1, 6}};
    const JsonValue& follower = chart["centreFollower"];
    for (int r = 0; r < 3; ++r) {
      Lines cellLines[3];
      for (int k = 0; k < 3; ++k) {
        const JsonValue& p = chart["palaces"][static_cast<std::size_t>(rows[r][k] - 1)];
        if (flying) {
          cellLines[0].push_back(Cell(p["heavenStem"]) + Cell(p["deity"]) + Cell(p["star"]));
          cellLines[1].push_back(Cell(p["earthStem"]) + Cell(p["earthDeity"]) + Cell(p["door"]));
        } else {
          const bool follows = !follower.IsNull() && follower["luoshu"].Int() == rows[r][k];
          cellLines[0].push_back(Repeat(kSpace, 2) + Cell(p["deity"]) + Repeat(kSpace, 2));
          cellLines[1].push_back((follows ? follower["star"].Str() : kSpace) + kSpace +
                                 Cell(p["star"]) + kSpace + Cell(p["heavenStem"]));
          cellLines[2].push_back((follows ? follower["earthStem"].Str() : kSpace) + kSpace +
                                 Cell(p["door"]) + kSpace + Cell(p["earthStem"]));
        }
      }
      const std::size_t height = flying ? 2 : 3;
      for (std::size_t n = 0; n < height; ++n) {
        const std::size_t line = 7 + static_cast<std::size_t>(r) * (height + 1) + n;
        EXPECT_EQ(Cells(text[line]), cellLines[n]) << line;
      }
    }
  });
}

// ---------------------------------------------------------------------------
// Da Liu Ren

TEST(ChartJsonAgainstText, LiuRen) {
  OverTheSample(ORV_METHOD_LIUREN, 6, [](const Lines& text, const JsonValue& json) {
    const JsonValue& m = json["moment"];
    const JsonValue& chart = json["chart"];
    const bool birth = !chart["birth"].IsNull();
    ASSERT_EQ(text.size(), birth ? 20u : 19u);
    EXPECT_EQ(text[0], U8(u8"公历：") + CivilDate(m["civil"].Str()));
    EXPECT_EQ(text[1], U8(u8"阴历：") + m["lunar"]["text"].Str());
    EXPECT_EQ(text[2], U8(u8"四柱：") + Pillars(m["pillars"]));
    EXPECT_EQ(text[3], U8(u8"月将：") + chart["monthGeneral"].Str() + U8(u8"将") + m["xun"].Str() +
                           U8(u8"旬") + m["void"][0].Str() + m["void"][1].Str() + U8(u8"空"));
    std::size_t at = 4;
    if (birth) {
      // The year of life shows its branch.
      const std::string& lifeYear = chart["birth"]["lifeYear"].Str();
      EXPECT_EQ(text[at++], U8(u8"年命：") + chart["birth"]["pillar"].Str() + U8(u8"命") +
                                lifeYear.substr(FirstChars(lifeYear, 1).size()) + U8(u8"年"));
    }
    EXPECT_EQ(text[at++], "");
    const auto heaven = [&](int earth) { return chart["plate"][static_cast<std::size_t>(earth - 1)]["heaven"].Str(); };
    const auto general = [&](int earth) { return chart["plate"][static_cast<std::size_t>(earth - 1)]["general"].Str(); };
    const std::string three = Repeat(kSpace, 3);
    const std::string two = Repeat(kSpace, 2);
    Lines expected = {
        three + general(6) + " " + general(7) + " " + general(8) + " " + general(9),
        three + heaven(6) + " " + heaven(7) + " " + heaven(8) + " " + heaven(9),
        two + general(5) + heaven(5) + three + " " + heaven(10) + general(10),
        two + general(4) + heaven(4) + three + " " + heaven(11) + general(11),
        three + heaven(3) + " " + heaven(2) + " " + heaven(1) + " " + heaven(12),
        three + general(3) + " " + general(2) + " " + general(1) + " " + general(12),
        "",
    };
    const JsonValue& lessons = chart["lessons"];
    for (const char* key : {"general", "upper", "lower"})
      expected.push_back(three + lessons[3][key].Str() + " " + lessons[2][key].Str() + " " +
                         lessons[1][key].Str() + " " + lessons[0][key].Str());
    expected.push_back("");
    for (const JsonValue& t : chart["transmissions"].Items)
      expected.push_back(three + t["relative"].Str() + " " + Cell(t["hiddenStem"]) + t["branch"].Str() +
                         kSpace + t["general"].Str() + " " + (t["void"].Boolean ? U8(u8"◎") : "") +
                         (t["seatVoid"].Boolean ? U8(u8"⊙") : ""));
    EXPECT_EQ(Lines(text.begin() + static_cast<std::ptrdiff_t>(at), text.end()), expected);
  });
}

// ---------------------------------------------------------------------------
// Xuankong

TEST(ChartJsonAgainstText, Xuankong) {
  OverTheSample(ORV_METHOD_XUANKONG, 7, [](const Lines& text, const JsonValue& json) {
    ASSERT_EQ(text.size(), 10u);
    const JsonValue& chart = json["chart"];
    static const std::u8string_view kDigits[10] = {u8"", u8"１", u8"２", u8"３", u8"４",
                                                   u8"５", u8"６", u8"７", u8"８", u8"９"};
    const auto digit = [](long long n) { return U8(kDigits[n >= 1 && n <= 9 ? n : 0]); };
    const int rows[3][3] = {{4, 9, 2}, {3, 5, 7}, {8, 1, 6}};
    for (std::size_t r = 0; r < 3; ++r) {
      Lines stars, periods;
      for (int k = 0; k < 3; ++k) {
        const JsonValue& p = chart["palaces"][static_cast<std::size_t>(rows[r][k] - 1)];
        stars.push_back(" " + digit(p["mountain"].Int()) + digit(p["facing"].Int()) + " ");
        periods.push_back(kSpace + digit(p["period"].Int()) + kSpace);
      }
      EXPECT_EQ(Cells(text[1 + 3 * r]), stars);
      EXPECT_EQ(Cells(text[2 + 3 * r]), periods);
    }
  });
}


// ---------------------------------------------------------------------------
// The text of a request (StrChartText)

// StrChartText's text of a request, or its nonzero result.
RawText RequestTextOf(const Request& r) {
  std::vector<char> buffer(ORV_ZIWEI_BUFFER_SIZE, '\0');
  const int32_t code = StrChartText(&r, buffer.data(), static_cast<int32_t>(buffer.size()));
  if (code != 0) return {code, {}};
  return {0, buffer.data()};
}

// At a whole hour the text of a request is the method's export's, byte for
// byte, over the sample of every method; a date the export refuses is
// refused with the JSON export's result.
TEST(ChartText, AtAWholeHourTheExportsText) {
  for (int32_t method = ORV_METHOD_BAZI; method <= ORV_METHOD_XUANKONG; ++method) {
    std::mt19937 random(static_cast<unsigned>(40 + method));
    for (int i = 0; i < kSample; ++i) {
      const Request r = fixtures::RandomChartRequest(method, random);
      SCOPED_TRACE(testing::Message() << "method " << method << (r.solar ? " solar " : " lunar ")
                                      << r.year << "-" << r.month << "-" << r.day << " " << r.hour);
      const RawText text = RawTextOf(r);
      const RawText asked = RequestTextOf(r);
      ASSERT_EQ(asked.Code, -text.Code);
      EXPECT_EQ(asked.Gbk, text.Gbk);
    }
  }
}

// 惊蛰 of 1924 begins at 04:12 (03-06): the export of hour 4 casts 04:00, in
// the 丙寅 month; cast to the minute, 04:11:59 is still 丙寅 and 04:12 and
// 04:30 are 丁卯 (a 甲 year: 寅 month 丙寅, 卯 month 丁卯). The day 甲申 and
// the hour 丙寅 stay. The third and fourth lines of the Four Pillars text
// are the stems and the branches of year, month, day and hour.
TEST(ChartText, ATermWithinTheHourCountsItsMinutes) {
  const std::string space = kSpace + "  " + kSpace;
  const auto pillars = [&](std::u8string_view y, std::u8string_view m, std::u8string_view d,
                           std::u8string_view h) {
    return kSpace + U8(y) + space + U8(m) + space + U8(d) + space + U8(h);
  };
  struct {
    int minute, second;
    const char8_t* monthStem;
    const char8_t* monthBranch;
  } cases[] = {
      {0, 0, u8"丙", u8"寅"},
      {11, 59, u8"丙", u8"寅"},
      {12, 0, u8"丁", u8"卯"},
      {30, 0, u8"丁", u8"卯"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "04:" << c.minute << ":" << c.second);
    Request r = fixtures::ChartRequest(ORV_METHOD_BAZI);
    r.solar = 1;
    r.male = 1;
    r.year = 1924;
    r.month = 3;
    r.day = 6;
    r.hour = 4;
    r.minute = c.minute;
    r.second = c.second;
    const RawText text = RequestTextOf(r);
    ASSERT_EQ(text.Code, 0);
    const Lines lines = fixtures::SplitLines(fixtures::Utf8OfGbk(text.Gbk.c_str()));
    ASSERT_GT(lines.size(), 4u);
    EXPECT_EQ(lines[3], pillars(u8"甲", c.monthStem, u8"甲", u8"丙"));
    EXPECT_EQ(lines[4], pillars(u8"子", c.monthBranch, u8"申", u8"寅"));
  }
}

// Refused requests and short buffers write nothing.
TEST(ChartText, RefusalsWriteNothing) {
  Request good = fixtures::ChartRequest(ORV_METHOD_ZIWEI);
  good.solar = 1;
  good.year = 2000;
  good.month = 1;
  good.day = 1;
  good.minute = 30;
  Request badMinute = good;
  badMinute.minute = 60;
  Request badDate = good;
  badDate.month = 2;
  badDate.day = 30;
  Request badLunar = good;
  badLunar.solar = 0;
  badLunar.leap = 1;
  badLunar.month = 1;
  badLunar.day = 1;
  Request unknown = good;
  unknown.method = 99;
  struct {
    const Request* request;
    int32_t size;
    int32_t result;
  } cases[] = {
      {nullptr, ORV_ZIWEI_BUFFER_SIZE, ORV_JSON_BAD_REQUEST},
      {&good, ORV_ZIWEI_BUFFER_SIZE - 1, ORV_JSON_BAD_REQUEST},  // Purple Star needs 4000
      {&badMinute, ORV_ZIWEI_BUFFER_SIZE, ORV_JSON_BAD_REQUEST},
      {&badDate, ORV_ZIWEI_BUFFER_SIZE, ORV_JSON_BAD_SOLAR},
      {&badLunar, ORV_ZIWEI_BUFFER_SIZE, ORV_JSON_LUNAR_NOT_FOUND},  // 2000 has no leap 1st month
      {&unknown, ORV_ZIWEI_BUFFER_SIZE, ORV_JSON_BAD_REQUEST},
  };
  for (const auto& c : cases) {
    std::vector<char> buffer(ORV_ZIWEI_BUFFER_SIZE, 'x');
    EXPECT_EQ(StrChartText(c.request, buffer.data(), c.size), c.result);
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 'x'), ORV_ZIWEI_BUFFER_SIZE);
  }
  std::vector<char> buffer(ORV_ZIWEI_BUFFER_SIZE, 'x');
  EXPECT_EQ(StrChartText(&good, buffer.data(), ORV_ZIWEI_BUFFER_SIZE), 0);
  EXPECT_GT(std::strlen(buffer.data()), 1000u);
}

}  // namespace
