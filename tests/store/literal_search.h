#pragma once
// The search as it must answer, worked out apart from the store: a plain
// C++ search over the same texts (the oracle), and a table of odd values and
// words that the store's search is held against.

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "casebook_store.h"

namespace literal_search {

// A record as it was given to the store.
struct Record {
  RowId id = 0;
  QString title;
  QString text;
};

// A-Z as a-z; every other character as it is.
inline QString FoldLatin(const QString& s) {
  QString folded = s;
  for (QChar& c : folded)
    if (c.unicode() >= u'A' && c.unicode() <= u'Z') c = QChar(c.unicode() + (u'a' - u'A'));
  return folded;
}

// The value holds the word: both as the store keeps them (an unpaired
// surrogate is U+FFFD), Latin letters A-Z in either case, every other
// character exactly, U+0000 and the end of the value included.
inline bool Holds(const QString& value, const QString& word) {
  return FoldLatin(StorableText(value)).contains(FoldLatin(StorableText(word)));
}

// The IDs of the records that meet the condition, ascending.
inline std::vector<RowId> Search(const std::vector<Record>& records, const SearchCondition& condition) {
  std::vector<RowId> found;
  for (const Record& r : records) {
    bool hit = false;
    for (const SearchClause& clause : condition.clauses) {
      const QString& value = clause.field == SearchField::Title ? r.title : r.text;
      int words = 0;
      int held = 0;
      for (const QString& w : clause.words) {
        if (w.isEmpty()) continue;
        ++words;
        if (Holds(value, w)) ++held;
      }
      if (words > 0 && (clause.all ? held == words : held > 0)) hit = true;
    }
    if (hit) found.push_back(r.id);
  }
  std::sort(found.begin(), found.end());
  return found;
}

// The IDs the store's record list holds, ascending.
inline std::vector<RowId> Listed(CasebookStore& store) {
  std::vector<RowId> ids;
  RecordList* list = store.records();
  for (int r = 0; r < list->count(); ++r) ids.push_back(list->id(r));
  std::sort(ids.begin(), ids.end());
  return ids;
}

// The records the store finds, through the word index or by scanning.
inline std::vector<RowId> StoreSearch(CasebookStore& store, const SearchCondition& condition, bool index) {
  if (index)
    store.SearchRecords(condition);
  else
    store.SearchRecordsByScan(condition);
  return Listed(store);
}

// A word with every character that is not printable ASCII as U+XXXX, for
// the messages of failed checks.
inline std::string Shown(const QString& word) {
  QString s;
  for (const char32_t c : word.toStdU32String()) {
    if (c >= 0x21 && c < 0x7f)
      s += QChar(static_cast<char16_t>(c));
    else
      s += QStringLiteral("<U+%1>").arg(static_cast<uint>(c), 4, 16, QLatin1Char('0'));
  }
  return s.toStdString();
}

inline std::string Shown(const SearchCondition& condition) {
  std::string s;
  for (const SearchClause& clause : condition.clauses) {
    s += clause.field == SearchField::Title ? "[BT " : "[LR ";
    s += clause.all ? "and:" : "or:";
    for (const QString& w : clause.words) s += " \"" + Shown(w) + "\"";
    s += "] ";
  }
  return s;
}

// Checks each condition through the word index and by scanning against the
// oracle; returns how many of them find a record.
inline int ExpectAsTheOracle(CasebookStore& store, const std::vector<Record>& records,
                             const std::vector<SearchCondition>& conditions, const char* state = "") {
  int nonEmpty = 0;
  for (const SearchCondition& condition : conditions) {
    const std::vector<RowId> expected = Search(records, condition);
    for (const bool index : {true, false})
      EXPECT_EQ(StoreSearch(store, condition, index), expected)
          << state << Shown(condition) << (index ? " (index)" : " (scan)");
    if (!expected.empty()) ++nonEmpty;
  }
  return nonEmpty;
}

inline QString Nul() { return QString(QChar(0)); }

// Values with the characters SQLite's LIKE and FTS5 do not take literally
// (U+0000 at the start, inside and at the end, U+FFFD, U+FFFE, U+FFFF, an
// unpaired surrogate), characters beyond the Basic Multilingual Plane, and
// the syntax of SQL and of FTS5 queries. Each is short enough for a title.
inline QStringList OddValues() {
  const QString nul = Nul();
  return {
      nul,
      nul + QStringLiteral("甲乙"),
      QStringLiteral("甲") + nul + QStringLiteral("乙"),
      QStringLiteral("甲乙") + nul,
      QStringLiteral("前文") + nul + QStringLiteral("后文AbC\uFFFE尾"),
      QStringLiteral("\uFFFD"),
      QStringLiteral("\uFFFE"),
      QStringLiteral("\uFFFF"),
      QStringLiteral("a\uFFFDb"),
      QStringLiteral("a\uFFFEb"),
      QStringLiteral("a\uFFFFb"),
      QStringLiteral("\uFFFE\uFFFF\uFFFD"),
      QStringLiteral("x") + QChar(0xD800) + QStringLiteral("y"),  // stored as x U+FFFD y
      QStringLiteral("\U0001F600 笑 \U0001F600x"),
      QStringLiteral("\U00020000\U00020001"),
      QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467 家"),
      QStringLiteral("say \"hi\" it's 50% a_b c\\d a*b"),
      QStringLiteral("x AND y OR z NOT w"),
      QStringLiteral("NEAR(甲 乙) ^开头 BT:标题 {BT LR}: -减 +加 (括)"),
      QStringLiteral("'); DROP TABLE Omenry; --"),
      QStringLiteral("Hexagram ABC abc"),
      QStringLiteral("aAaAb甲Ab"),  // letters in either case, candidates that overlap
      QStringLiteral("\u00c9 \u00e9 K k \u212a"),
      QStringLiteral("\uFEFF开头"),
      QStringLiteral("行\r\n行\n\t制表"),
      QStringLiteral("甲乙"),
      QStringLiteral("乙甲"),
  };
}

// Words to look for in them, each alone the first time it appears.
inline QStringList OddWords() {
  const QString nul = Nul();
  return {
      nul, nul + QStringLiteral("甲"), QStringLiteral("甲") + nul, QStringLiteral("甲") + nul + QStringLiteral("乙"),
      QStringLiteral("乙") + nul, nul + nul, QStringLiteral("后文"), QStringLiteral("后文abc"), QStringLiteral("尾"),
      QStringLiteral("\uFFFE尾"), QStringLiteral("文") + nul + QStringLiteral("后"),
      QStringLiteral("\uFFFD"), QStringLiteral("\uFFFE"), QStringLiteral("\uFFFF"), QStringLiteral("a\uFFFDb"),
      QStringLiteral("a\uFFFEb"), QStringLiteral("a\uFFFFb"), QStringLiteral("\uFFFE\uFFFF"),
      QStringLiteral("\uFFFF\uFFFD"), QStringLiteral("b\uFFFE"),
      QString(QChar(0xD800)), QStringLiteral("x") + QChar(0xDC00),
      QStringLiteral("\U0001F600"), QStringLiteral("\U0001F600x"), QStringLiteral("笑 \U0001F600"),
      QStringLiteral("\U00020000"), QStringLiteral("\U00020001"), QStringLiteral("\u200D"),
      QStringLiteral("\U0001F468\u200D\U0001F469"),
      QStringLiteral("\""), QStringLiteral("\"hi\""), QStringLiteral("'"), QStringLiteral("%"),
      QStringLiteral("_"), QStringLiteral("\\"), QStringLiteral("*"), QStringLiteral("a*b"),
      QStringLiteral("50%"), QStringLiteral("a_b"), QStringLiteral("c\\d"),
      QStringLiteral("AND"), QStringLiteral("and"), QStringLiteral("OR"), QStringLiteral("NOT"),
      QStringLiteral("NEAR("), QStringLiteral("NEAR(甲"), QStringLiteral("^"), QStringLiteral("^开头"),
      QStringLiteral("BT:"), QStringLiteral("BT:标题"), QStringLiteral("{BT LR}:"), QStringLiteral("-"),
      QStringLiteral("+"), QStringLiteral("("), QStringLiteral(")"), QStringLiteral("');"),
      QStringLiteral("--"), QStringLiteral("DROP TABLE"),
      QStringLiteral("hexagram"), QStringLiteral("ABC"), QStringLiteral("aab"), QStringLiteral("AAAAB"),
      QStringLiteral("aaaaa"), QStringLiteral("b甲a"), QStringLiteral("甲AB"), QStringLiteral("Ab"), QStringLiteral("\u00c9"), QStringLiteral("\u00e9"),
      QStringLiteral("k"), QStringLiteral("K"), QStringLiteral("\u212a"),
      QStringLiteral("\uFEFF"), QStringLiteral("\uFEFF开"), QStringLiteral("\r\n"), QStringLiteral("\n"),
      QStringLiteral("\t"), QStringLiteral("行\n"),
      QStringLiteral("甲乙"), QStringLiteral("乙甲"), QStringLiteral("甲"), QStringLiteral("乙"),
  };
}

}  // namespace literal_search
