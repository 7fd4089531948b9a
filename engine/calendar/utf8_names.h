// The names of the chart as data (JSON) are UTF-8, while every name table of
// the engine is GBK. The UTF-8 twin of a table is made from it while
// compiling, through one list of the characters the names use, written once
// and compiled to both encodings (an unprefixed literal is GBK in the engine,
// a u8 literal is UTF-8 always). A table with a character the list lacks
// does not compile.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// In GBK order.
#define ORV_NAME_CHARACTERS \
  "夬姤　鞍八白柏败傍剥背比壁兵丙病博箔帛才财差昌常长辰陈城池冲丑初厨处春词存错大带" \
  "德得灯地帝弟吊丁鼎冬杜兑遁恶厄恩二飞废分丰封锋风凤佛否夫符伏福辅府复父盖革阁庚宫" \
  "拱勾孤蛊谷寡官冠观馆贯光归鬼癸贵国过海亥寒耗合河恒红后虎花华涣晦火机极疾己济既忌" \
  "家甲肩剑渐涧建将降绞截劫节解金晋惊井景九局巨绝军开坎科客空哭魁坤困腊狼雷离利立力" \
  "廉梁林临铃榴流柳六龙炉露路禄旅履罗马满芒卯妹门蒙庙明命母墓木年奴女攀旁蓬霹偏平破" \
  "仆妻七奇气迁谦乾禽青清擎秋曲权泉雀壬人任刃闰三桑丧杀沙煞山伤上蛇赦申身神生升师十" \
  "石食使士噬寿书暑衰霜水死四巳松讼宿随碎岁孙损索胎台泰太贪堂桃腾天田同头土屯陀亡网" \
  "旺妄微为未文巫屋无武五午戊息溪喜下夏咸闲陷相小辛心星刑兄休秀戌需虚畜玄学雪旬艳杨" \
  "羊阳养姚一医颐夷移乙益阴寅印英酉有右舆雨浴豫元月灾泽宅蛰贞震正指至中种朱柱壮紫子" \
  "奏左座廿巽诰芮萃嗑沐蹇弼孚驿枭贲睽罡钏钗钺鸾蜚艮雳"

namespace orv::utf8 {

inline constexpr char kGbkCharacters[] = ORV_NAME_CHARACTERS;
inline constexpr char8_t kUtf8Characters[] = u8"" ORV_NAME_CHARACTERS;

// A character of the list: its two GBK bytes as one number, its UTF-8 bytes.
struct Character {
  unsigned Gbk = 0;
  std::array<char, 4> Utf8{};
  std::size_t Size = 0;
};

constexpr std::size_t kCharacterCount = (sizeof kGbkCharacters - 1) / 2;

constexpr std::size_t Utf8Size(unsigned char lead) {
  return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// The list, character by character, sorted by GBK code.
inline constexpr std::array<Character, kCharacterCount> kCharacters = [] {
  std::array<Character, kCharacterCount> list{};
  std::size_t u = 0;
  for (std::size_t i = 0; i < kCharacterCount; ++i) {
    const auto lead = static_cast<unsigned char>(kGbkCharacters[2 * i]);
    const auto trail = static_cast<unsigned char>(kGbkCharacters[2 * i + 1]);
    if (lead < 0x81) throw "not a list of double-byte characters";
    Character c;
    c.Gbk = lead << 8 | trail;
    c.Size = Utf8Size(static_cast<unsigned char>(kUtf8Characters[u]));
    for (std::size_t k = 0; k < c.Size; ++k) c.Utf8[k] = static_cast<char>(kUtf8Characters[u + k]);
    u += c.Size;
    list[i] = c;
  }
  if (kUtf8Characters[u] != u8'\0') throw "the two encodings of the list disagree";
  for (std::size_t i = 1; i < kCharacterCount; ++i)
    for (std::size_t j = i; j > 0 && list[j - 1].Gbk > list[j].Gbk; --j) {
      const Character t = list[j];
      list[j] = list[j - 1];
      list[j - 1] = t;
    }
  for (std::size_t i = 1; i < kCharacterCount; ++i)
    if (list[i - 1].Gbk == list[i].Gbk) throw "a character is listed twice";
  return list;
}();

constexpr const Character& Find(unsigned gbk) {
  std::size_t lo = 0, hi = kCharacterCount;
  while (lo < hi) {
    const std::size_t mid = (lo + hi) / 2;
    if (kCharacters[mid].Gbk < gbk) lo = mid + 1;
    else hi = mid;
  }
  if (lo == kCharacterCount || kCharacters[lo].Gbk != gbk) throw "a name has a character the list lacks";
  return kCharacters[lo];
}

// A table of names in UTF-8: N entries of at most B bytes.
template <std::size_t N, std::size_t B>
struct Names {
  std::array<std::array<char, B>, N> Bytes{};
  std::array<std::size_t, N> Sizes{};
  constexpr std::string_view operator[](std::size_t i) const { return {Bytes[i].data(), Sizes[i]}; }
  // The empty text outside the table.
  constexpr std::string_view At(int i) const {
    return i >= 0 && static_cast<std::size_t>(i) < N ? (*this)[static_cast<std::size_t>(i)]
                                                      : std::string_view();
  }
};

// The UTF-8 twin of a GBK name table (slots of W bytes; ASCII stays). A
// name JSON would have to escape (a control byte, '"' or '\\') does not
// compile.
template <std::size_t N, std::size_t W>
constexpr Names<N, W / 2 * 3 + 1> Table(const char (&gbk)[N][W]) {
  Names<N, W / 2 * 3 + 1> names;
  for (std::size_t i = 0; i < N; ++i) {
    std::size_t out = 0;
    for (std::size_t k = 0; k < W && gbk[i][k] != '\0';) {
      const auto lead = static_cast<unsigned char>(gbk[i][k]);
      if (lead < 0x80) {
        names.Bytes[i][out++] = gbk[i][k++];
        continue;
      }
      const Character& c = Find(lead << 8 | static_cast<unsigned char>(gbk[i][k + 1]));
      for (std::size_t b = 0; b < c.Size; ++b) names.Bytes[i][out++] = c.Utf8[b];
      k += 2;
    }
    names.Sizes[i] = out;
    for (std::size_t k = 0; k < out; ++k) {
      const auto byte = static_cast<unsigned char>(names.Bytes[i][k]);
      if (byte < 0x20 || byte == '"' || byte == '\\') throw "a name JSON would have to escape";
    }
  }
  return names;
}

}  // namespace orv::utf8
