// The rule tables of the Purple Star chart are written in Chinese, the way
// the rules are stated, and turned into numbers while compiling. A character
// or a star name that a table does not expect, a key given twice or left out,
// does not compile. The literals are GBK, two bytes a character.
//
//   Branch("寅")          the branch ordinal 3 (子 1 … 亥 12), also a position
//   Star("左辅")           the symbol code of a star, mark or palace name
//   ByStem<n>, ByBranch<n> "甲戊庚 丑未; 乙己 子申; …": groups of keys, each
//                         followed by n values (stems give their code 1-10,
//                         branches their ordinal 1-12, digits a number)
//   BranchRow<n>          n branches in a row, "—" for none
//   LevelRow              twelve brightness levels 庙 旺 得 利 平 闲 陷, "—" none
//   StarList<n>           n star names separated by spaces
#pragma once

#include <array>
#include <cstddef>

#include "calendar/names.h"

namespace orv::ziwei_tables {

constexpr char kStemChars[] = "甲乙丙丁戊己庚辛壬癸";
constexpr char kBranchChars[] = "子丑寅卯辰巳午未申酉戌亥";
constexpr char kLevelChars[] = "庙旺得利平闲陷";
constexpr char kNoneChar[] = "—";

// Star, mark and palace names are the names of the symbol codes 23-104 in
// the engine's one symbol table (SymbolNames): the twelve palaces, the body
// marker, the stars with brightness, the four marks and the minor stars.
// Within these codes every name occurs once.
constexpr int kFirstNamedCode = 23;
constexpr int kLastNamedCode = 104;

// 1-based place of the two-byte character (a, b) in a list of them; 0 when
// it is not there.
consteval int PlaceIn(const char* list, char a, char b) {
  for (int i = 0; list[2 * i] != '\0'; ++i)
    if (list[2 * i] == a && list[2 * i + 1] == b) return i + 1;
  return 0;
}

consteval bool IsNone(char a, char b) { return a == kNoneChar[0] && b == kNoneChar[1]; }

// Symbol code of the name text[from, from + length).
consteval int CodeOfName(const char* text, std::size_t from, std::size_t length) {
  for (int code = kFirstNamedCode; code <= kLastNamedCode; ++code) {
    const char* name = SymbolNames[code];
    std::size_t n = 0;
    while (n < sizeof SymbolNames[code] && name[n] != '\0') ++n;
    if (n != length) continue;
    bool same = true;
    for (std::size_t k = 0; k < n; ++k) same = same && name[k] == text[from + k];
    if (same) return code;
  }
  throw "not a star, mark or palace name";
}

// A branch ordinal 1-12, written as its character.
struct Branch {
  int Ordinal;
  consteval Branch(const char (&text)[3]) : Ordinal(PlaceIn(kBranchChars, text[0], text[1])) {
    if (Ordinal == 0) throw "not a branch";
  }
  constexpr operator int() const { return Ordinal; }
};

// A symbol code, written as its name.
struct Star {
  int Code;
  template <std::size_t N>
  consteval Star(const char (&name)[N]) : Code(CodeOfName(name, 0, N - 1)) {}
  constexpr operator int() const { return Code; }
};

// A value written as one character: a stem gives its code 1-10, a branch its
// ordinal 1-12.
consteval int ValueOfChar(char a, char b) {
  if (const int stem = PlaceIn(kStemChars, a, b)) return stem;
  if (const int branch = PlaceIn(kBranchChars, a, b)) return branch;
  throw "not a stem or a branch";
}

// Keys (stems or branches) in groups, each group followed by its values:
// "甲戊庚 丑未; 乙己 子申". Every key occurs exactly once.
template <int KeyCount, int ValueCount>
struct Grouped {
  std::array<std::array<int, ValueCount>, KeyCount + 1> Values{};  // by key ordinal

  template <std::size_t N>
  consteval Grouped(const char (&text)[N]) {
    const char* keyChars = KeyCount == 10 ? kStemChars : kBranchChars;
    std::array<bool, KeyCount + 1> seen{};
    std::size_t i = 0;
    const std::size_t end = N - 1;
    auto skipSpaces = [&] {
      while (i < end && text[i] == ' ') ++i;
    };
    while (true) {
      skipSpaces();
      if (i >= end) break;
      // The keys of the group.
      std::array<int, KeyCount> keys{};
      int keyCount = 0;
      while (i < end && text[i] != ' ') {
        if (i + 1 >= end) throw "cut character";
        const int key = PlaceIn(keyChars, text[i], text[i + 1]);
        if (key == 0) throw "not a key of this table";
        if (seen[key]) throw "key given twice";
        seen[key] = true;
        keys[keyCount++] = key;
        i += 2;
      }
      // Its values: characters, or numbers of ASCII digits, up to ";".
      std::array<int, ValueCount> values{};
      int valueCount = 0;
      while (true) {
        skipSpaces();
        if (i >= end || text[i] == ';') break;
        if (valueCount == ValueCount) throw "too many values";
        if (text[i] >= '0' && text[i] <= '9') {
          int n = 0;
          while (i < end && text[i] >= '0' && text[i] <= '9') n = 10 * n + (text[i++] - '0');
          values[valueCount++] = n;
        } else {
          if (i + 1 >= end) throw "cut character";
          values[valueCount++] = ValueOfChar(text[i], text[i + 1]);
          i += 2;
        }
      }
      if (valueCount != ValueCount || keyCount == 0) throw "group without its values";
      for (int k = 0; k < keyCount; ++k) Values[keys[k]] = values;
      if (i < end) ++i;  // the ";"
    }
    for (int k = 1; k <= KeyCount; ++k)
      if (!seen[k]) throw "key missing";
  }
  // The values of key ordinal k (stem code or branch ordinal).
  constexpr const std::array<int, ValueCount>& operator[](int k) const { return Values[k]; }
};

template <int ValueCount>
using ByStem = Grouped<10, ValueCount>;
template <int ValueCount>
using ByBranch = Grouped<12, ValueCount>;

// Branch ordinals in a row, "—" for none (0).
template <int Count>
struct BranchRow {
  std::array<int, Count + 1> Values{};  // 1-based

  template <std::size_t N>
  consteval BranchRow(const char (&text)[N]) {
    if (N - 1 != 2 * Count) throw "wrong number of branches";
    for (int k = 0; k < Count; ++k) {
      const char a = text[2 * k], b = text[2 * k + 1];
      const int branch = PlaceIn(kBranchChars, a, b);
      if (branch == 0 && !IsNone(a, b)) throw "not a branch";
      Values[k + 1] = branch;
    }
  }
  constexpr int operator[](int k) const { return Values[k]; }
};

// Twelve brightness levels by palace 子 … 亥: 1 庙 … 7 陷, 0 for "—".
struct LevelRow {
  std::array<int, 13> Levels{};  // by branch ordinal

  template <std::size_t N>
  consteval LevelRow(const char (&text)[N]) {
    if (N - 1 != 24) throw "a brightness row has twelve levels";
    for (int k = 0; k < 12; ++k) {
      const char a = text[2 * k], b = text[2 * k + 1];
      const int level = PlaceIn(kLevelChars, a, b);
      if (level == 0 && !IsNone(a, b)) throw "not a brightness level";
      Levels[k + 1] = level;
    }
  }
  constexpr int operator[](int branch) const { return Levels[branch]; }
};

// Star names separated by spaces.
template <int Count>
struct StarList {
  std::array<int, Count + 1> Codes{};  // 1-based

  template <std::size_t N>
  consteval StarList(const char (&text)[N]) {
    int count = 0;
    std::size_t i = 0;
    while (i < N - 1) {
      if (text[i] == ' ') {
        ++i;
        continue;
      }
      std::size_t j = i;
      while (j < N - 1 && text[j] != ' ') ++j;
      if (count == Count) throw "too many names";
      Codes[++count] = CodeOfName(text, i, j - i);
      i = j;
    }
    if (count != Count) throw "too few names";
  }
  constexpr int operator[](int k) const { return Codes[k]; }
};

}  // namespace orv::ziwei_tables
