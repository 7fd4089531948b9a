// The search: its comparison, the word index of the titles and texts, and
// the search over all records through the index or by scanning the table.

#include <QSqlDriver>
#include <QStringList>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "casebook_store.h"
#include "store_internal.h"

using namespace store_detail;

// ---- the comparison
//
// contains_word(value, word) is 1 when the value holds the word and 0 when
// it does not; a NULL value holds nothing. It compares the two as the store
// keeps them, UTF-8 bytes, every byte exactly except that the bytes A-Z stand
// for a-z. That is a comparison of characters, letter for letter: in UTF-8 a
// byte below 0x80 is always a character of its own and never part of
// another, so folding those bytes folds the letters A-Z and nothing else; and
// no character's bytes begin inside another's, so a run of bytes found in
// the value is a run of whole characters. The whole value is read, past any
// U+0000, and U+FFFD, U+FFFE and U+FFFF are three characters. (SQLite's LIKE
// stops at a U+0000 in the value or the pattern, and reads U+FFFE and U+FFFF
// as U+FFFD.)
//
// The store's connections get the function when they are set up for reading
// (setUpSearch), the read-only ones among them. It is not part of the file:
// no view, trigger or index uses it, so other programs read and write the
// casebook without it.

namespace {

// A search word as contains_word looks for it, kept with the statement from
// one row to the next (sqlite3_set_auxdata).
struct FoldedWord {
  std::string bound;   // the word's bytes as bound
  std::string folded;  // the same with A-Z as a-z
  // The first letter a-z of folded, if any: where a value is looked at.
  size_t letterAt = std::string::npos;
};

constexpr char FoldByte(char c) noexcept {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// The bytes of an SQL value that is not NULL: a blob's own, or the text's
// UTF-8 (a number as text). False when SQLite is out of memory.
bool ValueBytes(sqlite3_value* v, std::string_view* bytes) {
  const char* p = nullptr;
  if (sqlite3_value_type(v) == SQLITE_BLOB) {
    p = static_cast<const char*>(sqlite3_value_blob(v));
  } else {
    p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    if (!p) return false;
  }
  const int n = sqlite3_value_bytes(v);
  if (!p && n > 0) return false;
  *bytes = std::string_view(p, static_cast<size_t>(n));
  return true;
}

// A word without letters is found byte for byte (memmem). A word with
// letters is looked for where its first letter stands in the value, in
// either case (memchr for each: fast over texts with few Latin letters), and
// compared there with the value's bytes folded.
bool Holds(std::string_view value, const FoldedWord& word) {
  const std::string& w = word.folded;
  if (w.empty()) return true;
  if (value.size() < w.size()) return false;
  if (word.letterAt == std::string::npos)
    return memmem(value.data(), value.size(), w.data(), w.size()) != nullptr;
  const size_t k = word.letterAt;
  const char lower = w[k];
  const char upper = static_cast<char>(lower - ('a' - 'A'));
  const char* first = value.data() + k;                      // the first place the letter can stand
  const char* end = value.data() + (value.size() - w.size()) + k + 1;  // one past the last
  auto next = [end](const char* from, char c) {
    return from < end ? static_cast<const char*>(std::memchr(from, c, static_cast<size_t>(end - from)))
                      : nullptr;
  };
  const char* atLower = next(first, lower);
  const char* atUpper = next(first, upper);
  while (atLower || atUpper) {
    const char* at = !atUpper || (atLower && atLower < atUpper) ? atLower : atUpper;
    const char* start = at - k;
    bool same = true;
    for (size_t i = 0; i < w.size() && same; ++i) same = FoldByte(start[i]) == w[i];
    if (same) return true;
    if (at == atLower)
      atLower = next(at + 1, lower);
    else
      atUpper = next(at + 1, upper);
  }
  return false;
}

void ContainsWord(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_int(ctx, 0);
    return;
  }
  std::string_view word;
  std::string_view value;
  if (!ValueBytes(argv[1], &word) || !ValueBytes(argv[0], &value)) {
    sqlite3_result_error_nomem(ctx);
    return;
  }
  try {
    auto* kept = static_cast<FoldedWord*>(sqlite3_get_auxdata(ctx, 1));
    if (kept && kept->bound == word) {
      sqlite3_result_int(ctx, Holds(value, *kept) ? 1 : 0);
      return;
    }
    auto made = std::make_unique<FoldedWord>();
    made->bound = word;
    made->folded = word;
    for (char& c : made->folded) c = FoldByte(c);
    for (size_t i = 0; i < made->folded.size() && made->letterAt == std::string::npos; ++i)
      if (made->folded[i] >= 'a' && made->folded[i] <= 'z') made->letterAt = i;
    sqlite3_result_int(ctx, Holds(value, *made) ? 1 : 0);
    // SQLite owns it from here, and may drop it at once.
    sqlite3_set_auxdata(ctx, 1, made.release(), [](void* p) { delete static_cast<FoldedWord*>(p); });
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(ctx);
  }
}

}  // namespace

void CasebookStore::setUpSearch() {
  sqlite3* handle = Handle(d_->db());
  if (sqlite3_create_function_v2(handle, kContainsWord, 2,
                                 SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                 ContainsWord, nullptr, nullptr, nullptr) != SQLITE_OK)
    throw StoreError(QString::fromUtf8(sqlite3_errmsg(handle)));
  const bool haveFts5 =
      d_->scalar(QStringLiteral("SELECT sqlite_compileoption_used('ENABLE_FTS5')")).toInt() != 0;
  // A file that is only read uses its word index when it is all there.
  d_->wordIndex = false;
  if (haveFts5 && wordIndexComplete()) {
    // The index's terms, for the words of one or two characters; temp
    // tables belong to this connection alone.
    for (int i = 0; i < 2; ++i)
      d_->exec(QStringLiteral(
                   "CREATE VIRTUAL TABLE IF NOT EXISTS temp.%1 USING fts5vocab(main, %2, row)")
                   .arg(QLatin1String(kWordIndexTerms[i]), QLatin1String(kWordIndexTables[i])));
    // The index answers exactly only while lower() folds A-Z and nothing
    // else, as contains_word does (an SQLite built with ICU folds more).
    d_->wordIndex =
        d_->scalar(QStringLiteral(
                       "SELECT lower('ABCDEFGHIJKLMNOPQRSTUVWXYZ@[`{\u00c0\u0130\u212a') = "
                       "'abcdefghijklmnopqrstuvwxyz@[`{\u00c0\u0130\u212a'"))
            .toInt() == 1;
  }
}

// ---- the word index of the search
//
// Two FTS5 tables hold the trigrams (every run of three characters) of each
// record's title and text: OmenryTitleWords and OmenryTextWords, their rowid
// being the record's ID. They are contentless (they keep no copy of the
// text) and keep no positions (detail=none), which makes them small: a
// tenth of the text's size.
//
// What is indexed is lower(value) followed by two line feeds:
//  - lower() folds A-Z and nothing else, exactly as contains_word compares
//    letters (checked at open), and the tokenizer keeps letter case
//    (case_sensitive 1);
//  - the two line feeds make every character of the value start a trigram,
//    so that a word of one or two characters is found as the first
//    characters of an indexed trigram, even at the end of the value.
// The tokenizer reads U+FFFE and U+FFFF as U+FFFD, and stops at a U+0000:
// what follows a U+0000 is not indexed. OmenryNulTexts lists the records
// whose title or text holds one; a search looks at those apart. So the index
// names every record that can hold a word (and, for most words, exactly
// those; see indexedSearch).
//
// Triggers keep the tables in step with Omenry inside the same transaction
// as the change of the record. A contentless table forgets a row only when
// told the values it was given, so the delete triggers hand over the
// record's old values, worked out the same way.
//
// PRAGMA user_version holds the version of the index built into the file
// (kWordIndexVersion); a file with an older one gets what it lacks when it
// is opened for writing.

namespace {

QString IndexedValue(const QString& row, const QString& field) {
  return QStringLiteral("lower(%1.%2)||char(10,10)").arg(row, field);
}

QString HoldsNul(const QString& row) {
  return QStringLiteral("instr(%1.BT, char(0)) OR instr(%1.LR, char(0))").arg(row);
}

// The objects of the trigram index, all that version 1 has.
const QString kTrigramObjects = QStringLiteral(
    "'OmenryTitleWords', 'OmenryTextWords', 'OmenryWordsInsert', 'OmenryWordsDelete', "
    "'OmenryWordsUpdate'");

QString CountObjects(const QString& names) {
  return QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name IN (%1)").arg(names);
}

}  // namespace

void store_detail::CreateWordIndex(const QSqlDatabase& db) {
  auto exec = [&db](const QString& text) {
    QSqlQuery q(db);
    if (!q.exec(text)) Fail(q.lastError());
    return q;
  };
  auto number = [&exec](const QString& text) {
    QSqlQuery q = exec(text);
    return q.next() ? q.value(0).toInt() : 0;
  };
  // The trigram tables of an index of version 1 that is all there hold
  // what this version indexes: they are kept.
  const bool keepTrigrams = number(QStringLiteral("PRAGMA user_version")) >= 1 &&
                            number(CountObjects(kTrigramObjects)) == 5;
  exec(QStringLiteral("DROP TRIGGER IF EXISTS OmenryWordsInsert"));
  exec(QStringLiteral("DROP TRIGGER IF EXISTS OmenryWordsDelete"));
  exec(QStringLiteral("DROP TRIGGER IF EXISTS OmenryWordsUpdate"));
  const QString fields[] = {QStringLiteral("BT"), QStringLiteral("LR")};
  for (int i = 0; i < 2 && !keepTrigrams; ++i) {
    const QString table = QLatin1String(kWordIndexTables[i]);
    exec(QStringLiteral("DROP TABLE IF EXISTS ") + table);
    exec(QStringLiteral("CREATE VIRTUAL TABLE %1 USING fts5(%2, content='', "
                        "tokenize='trigram case_sensitive 1', detail=none)")
             .arg(table, fields[i]));
    exec(QStringLiteral("INSERT INTO %1(rowid, %2) SELECT ID, %3 FROM Omenry")
             .arg(table, fields[i], IndexedValue(QStringLiteral("Omenry"), fields[i])));
  }
  const QString nulTexts = QLatin1String(kNulTexts);
  exec(QStringLiteral("DROP TABLE IF EXISTS ") + nulTexts);
  exec(QStringLiteral("CREATE TABLE %1(ID INTEGER PRIMARY KEY)").arg(nulTexts));
  exec(QStringLiteral("INSERT INTO %1(ID) SELECT ID FROM Omenry WHERE %2")
           .arg(nulTexts, HoldsNul(QStringLiteral("Omenry"))));
  auto insertNew = [&](int i) {
    return QStringLiteral("INSERT INTO %1(rowid, %2) VALUES (new.ID, %3);")
        .arg(QLatin1String(kWordIndexTables[i]), fields[i],
             IndexedValue(QStringLiteral("new"), fields[i]));
  };
  auto deleteOld = [&](int i) {
    return QStringLiteral("INSERT INTO %1(%1, rowid, %2) VALUES ('delete', old.ID, %3);")
        .arg(QLatin1String(kWordIndexTables[i]), fields[i],
             IndexedValue(QStringLiteral("old"), fields[i]));
  };
  const QString insertNul = QStringLiteral("INSERT OR REPLACE INTO %1(ID) SELECT new.ID WHERE %2;")
                                .arg(nulTexts, HoldsNul(QStringLiteral("new")));
  const QString deleteNul = QStringLiteral("DELETE FROM %1 WHERE ID=old.ID;").arg(nulTexts);
  exec(QStringLiteral("CREATE TRIGGER OmenryWordsInsert AFTER INSERT ON Omenry BEGIN ") +
       insertNew(0) + insertNew(1) + insertNul + QStringLiteral(" END"));
  exec(QStringLiteral("CREATE TRIGGER OmenryWordsDelete AFTER DELETE ON Omenry BEGIN ") +
       deleteOld(0) + deleteOld(1) + deleteNul + QStringLiteral(" END"));
  exec(QStringLiteral("CREATE TRIGGER OmenryWordsUpdate AFTER UPDATE OF ID, BT, LR ON Omenry BEGIN ") +
       deleteOld(0) + deleteOld(1) + deleteNul + insertNew(0) + insertNew(1) + insertNul +
       QStringLiteral(" END"));
  exec(QStringLiteral("PRAGMA user_version=%1").arg(kWordIndexVersion));
}

bool CasebookStore::wordIndexComplete() {
  return d_->scalar(QStringLiteral("PRAGMA user_version")).toInt() >= kWordIndexVersion &&
         d_->scalar(CountObjects(kTrigramObjects + QStringLiteral(", '") + QLatin1String(kNulTexts) +
                                 QLatin1Char('\'')))
                 .toInt() == 6;
}

namespace {

// How a search word is answered by the word index.
struct WordPlan {
  enum Kind {
    None,         // no record outside OmenryNulTexts can hold the word
    Match,        // the records that match expr, among them all that hold it
    Unselective,  // too many records hold it for the index to pay
  } kind = None;
  QString expr;        // FTS5 query (Match)
  bool exact = false;  // expr gives exactly the records whose field holds the word
};

// Characters as a string. (QString::fromStdU32String would take a U+FEFF
// at the start for a byte-order mark and drop it.)
QString FromChars(std::u32string_view chars) {
  QString s;
  s.reserve(static_cast<qsizetype>(chars.size()));
  for (const char32_t c : chars) {
    if (QChar::requiresSurrogates(c)) {
      s += QChar(QChar::highSurrogate(c));
      s += QChar(QChar::lowSurrogate(c));
    } else {
      s += QChar(static_cast<char16_t>(c));
    }
  }
  return s;
}

// An FTS5 string: the text in double quotes, a quote inside doubled. Its
// characters are taken as they are.
QString FtsString(const QString& text) {
  QString s = text;
  s.replace(QLatin1Char('"'), QStringLiteral("\"\""));
  return QLatin1Char('"') + s + QLatin1Char('"');
}

// The word's characters as the index holds them: A-Z as a-z (as lower()
// gives them), U+FFFE and U+FFFF as U+FFFD (as the tokenizer reads them).
// `literal` tells whether an indexed run of these characters is always the
// word itself: not when the word holds U+FFFD, U+FFFE or U+FFFF (they are one
// in the index), nor a line feed (the two that end every indexed value would
// match it).
std::u32string IndexedChars(const QString& word, bool* literal) {
  std::u32string chars = word.toStdU32String();
  *literal = true;
  for (char32_t& c : chars) {
    if (c >= U'A' && c <= U'Z') c += U'a' - U'A';
    if (c == U'\n' || c == 0xfffd || c == 0xfffe || c == 0xffff) *literal = false;
    if (c == 0xfffe || c == 0xffff) c = 0xfffd;
  }
  return chars;
}

// A word of one or two characters is found as the start of indexed
// trigrams: the terms from the word itself up to the word followed by the
// largest characters are exactly the terms that begin with it, and the
// records holding any of them are the records holding the word. Such a word
// is left to contains_word when it begins more than kMaxTerms terms (an FTS5
// "or" of that many is slow) or when its terms are held by more than
// kMaxDocsPerRecord times as many records as there are (it is everywhere and
// narrows nothing).
constexpr int kMaxTerms = 256;
constexpr qint64 kMaxDocsPerRecord = 16;

// Every statement of a search is made here: the listed fields of the
// records for which `which` holds. A condition that every search must meet
// joins `which` here, and nowhere else.
QString SearchStatement(const QString& which) {
  return kListFields + QStringLiteral(" WHERE (") + which + QLatin1Char(')');
}

}  // namespace

QString CasebookStore::indexedSearch(const SearchCondition& condition,
                                     QList<SearchBinding>* bindings) {
  qint64 records = -1;  // counted when first needed
  bool exact = true;
  QStringList unions;   // one "rowid IN" source per clause
  QList<SearchBinding> matches;
  for (const SearchClause& clause : condition.clauses) {
    const QStringList words = clause.usedWords();
    if (words.isEmpty()) continue;
    const int field = static_cast<int>(clause.field);
    QStringList exprs;
    bool clauseNone = false;  // the clause can match nothing
    bool clauseAll = false;   // the index cannot narrow the clause
    for (const QString& word : words) {
      WordPlan plan;
      bool literal = true;
      const std::u32string chars = IndexedChars(word, &literal);
      if (chars.find(U'\0') != std::u32string::npos) {
        // Only a value holding a U+0000 can hold the word: such records
        // are looked at apart.
        plan.kind = WordPlan::None;
      } else if (chars.size() >= 3) {
        // Every trigram of the word must be there; three characters are one
        // trigram and say it exactly, a longer word leaves the order of its
        // trigrams to contains_word.
        QStringList terms;
        for (size_t i = 0; i + 3 <= chars.size(); ++i) {
          const QString term = FtsString(FromChars(std::u32string_view(chars).substr(i, 3)));
          if (!terms.contains(term)) terms << term;
        }
        plan.kind = WordPlan::Match;
        plan.expr = terms.size() == 1 ? terms.first()
                                      : QLatin1Char('(') + terms.join(QStringLiteral(" AND ")) +
                                            QLatin1Char(')');
        plan.exact = chars.size() == 3 && literal;
      } else {
        if (records < 0) records = d_->scalar(QStringLiteral("SELECT COUNT(*) FROM Omenry")).toLongLong();
        const QString lo = FromChars(chars);
        QString hi = lo;
        for (size_t k = chars.size(); k < 3; ++k) hi += FromChars(U"\U0010FFFF");
        QSqlQuery q(d_->db());
        q.setForwardOnly(true);
        // The bounds go in as UTF-8, as the terms are (bound as UTF-16, a
        // U+FEFF at the start would be dropped for a byte-order mark).
        if (!q.prepare(QStringLiteral("SELECT CAST(term AS BLOB), doc FROM temp.%1 "
                                      "WHERE term >= CAST(:lo AS TEXT) AND term <= CAST(:hi AS TEXT)")
                           .arg(QLatin1String(kWordIndexTerms[field]))))
          Fail(q.lastError());
        q.bindValue(QStringLiteral(":lo"), TextParameter(lo));
        q.bindValue(QStringLiteral(":hi"), TextParameter(hi));
        if (!q.exec()) Fail(q.lastError());
        QStringList terms;
        qint64 docs = 0;
        while (q.next() && terms.size() <= kMaxTerms) {
          terms << FtsString(TextColumn(q.value(0)));
          docs += q.value(1).toLongLong();
        }
        if (q.lastError().isValid()) Fail(q.lastError());
        if (terms.isEmpty()) {
          plan.kind = WordPlan::None;
        } else if (terms.size() > kMaxTerms || docs > kMaxDocsPerRecord * std::max<qint64>(records, 1)) {
          plan.kind = WordPlan::Unselective;
        } else {
          plan.kind = WordPlan::Match;
          plan.expr = terms.size() == 1 ? terms.first()
                                        : QLatin1Char('(') + terms.join(QStringLiteral(" OR ")) +
                                              QLatin1Char(')');
          plan.exact = literal;
        }
      }
      // Combine into the clause: with "and" one word that no record holds
      // empties the clause, and a word the index cannot narrow is left to
      // contains_word; with "or" such a word makes the clause unnarrowable.
      switch (plan.kind) {
        case WordPlan::None:
          if (clause.all) clauseNone = true;
          break;
        case WordPlan::Unselective:
          if (clause.all) exact = false;
          else clauseAll = true;
          break;
        case WordPlan::Match:
          exprs << plan.expr;
          if (!plan.exact) exact = false;
          break;
      }
    }
    if (clause.all && clauseNone) continue;  // adds no records
    if (clauseAll || (clause.all && exprs.isEmpty())) return QString();
    if (exprs.isEmpty()) continue;  // "or" of words no record holds
    const QString param = QStringLiteral(":match%1").arg(matches.size());
    matches.append({param, exprs.join(clause.all ? QStringLiteral(" AND ") : QStringLiteral(" OR "))});
    const QString table = QLatin1String(kWordIndexTables[field]);
    unions << QStringLiteral("SELECT rowid FROM %1 WHERE %1 MATCH %2").arg(table, param);
  }
  // The records the index sees only up to a U+0000 are checked with the
  // condition itself, whatever the index says.
  *bindings = matches + condition.wordBindings();
  const QString predicate = QLatin1Char('(') + ConditionPredicate(condition) + QLatin1Char(')');
  const QString nulTexts = QStringLiteral("SELECT ID FROM ") + QLatin1String(kNulTexts);
  if (unions.isEmpty()) return QStringLiteral("ID IN (") + nulTexts + QStringLiteral(") AND ") + predicate;
  if (exact) {
    // The listed fields all stand in the index OmenryList: one pass over it
    // (ID kept from being looked up one by one by the "+") reads a large
    // result far faster than a look-up in the table per record.
    return QStringLiteral("+ID IN (") + unions.join(QStringLiteral(" UNION ")) +
           QStringLiteral(" UNION SELECT ID FROM Omenry WHERE ID IN (") + nulTexts +
           QStringLiteral(") AND ") + predicate + QLatin1Char(')');
  }
  return QStringLiteral("ID IN (") + unions.join(QStringLiteral(" UNION ")) + QStringLiteral(" UNION ") +
         nulTexts + QStringLiteral(") AND ") + predicate;
}

void CasebookStore::search(const SearchCondition& condition, bool useIndex) {
  if (!d_->open) {
    d_->list->close();
    d_->requireOpen();
  }
  // Every statement of a search only reads; the connection is read-only
  // while it runs, whatever the condition holds.
  d_->exec(QStringLiteral("PRAGMA query_only=1"));
  try {
    QList<SearchBinding> bindings;
    QString which;
    if (condition.isEmpty()) {
      which = QStringLiteral("0");
    } else if (!condition.hasWords()) {
      which = condition.criteriaText();
      bindings = condition.criteriaBindings();
    } else {
      if (useIndex && d_->wordIndex) which = indexedSearch(condition, &bindings);
      if (which.isEmpty()) {
        which = ConditionPredicate(condition);
        bindings = condition.wordBindings();
      }
      // The querent, the dates and the feedback flag hold besides the words.
      const QString criteria = condition.criteriaText();
      if (!criteria.isEmpty()) {
        which = QLatin1Char('(') + which + QStringLiteral(") AND ") + criteria;
        bindings += condition.criteriaBindings();
      }
    }
    // Records in the recycle bin are never found.
    openList(SearchStatement(which) + d_->live(), bindings);
    d_->listSearch = condition;
    d_->listSearchIndexed = useIndex;
  } catch (...) {
    d_->list->close();
    try {
      d_->exec(QStringLiteral("PRAGMA query_only=0"));
    } catch (...) {
    }
    throw;
  }
  d_->exec(QStringLiteral("PRAGMA query_only=0"));
}

void CasebookStore::SearchRecords(const SearchCondition& condition) { search(condition, true); }

void CasebookStore::SearchRecordsByScan(const SearchCondition& condition) {
  search(condition, false);
}
