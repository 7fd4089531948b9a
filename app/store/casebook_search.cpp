// The search: the word index of the titles and texts, and the search over
// all records through it or by scanning the table.

#include <QStringList>

#include <string>

#include "casebook_store.h"
#include "store_internal.h"

using namespace store_detail;

// ---- the word index of the search
//
// Two FTS5 tables hold the trigrams (every run of three characters) of each
// record's title and text: OmenryTitleWords and OmenryTextWords, their rowid
// being the record's ID. They are contentless (they keep no copy of the
// text) and keep no positions (detail=none), which makes them small: a
// tenth of the text's size.
//
// What is indexed is lower(value) followed by two line feeds:
//  - lower() folds A-Z and nothing else, exactly as SQLite's LIKE compares
//    letters (checked at open), and the tokenizer keeps letter case
//    (case_sensitive 1); so "the lowered value contains the lowered word"
//    is the LIKE condition, character for character;
//  - the two line feeds make every character of the value start a trigram,
//    so that a word of one or two characters is found as the first
//    characters of an indexed trigram, even at the end of the value.
// Triggers keep the tables in step with Omenry inside the same transaction
// as the change of the record. A contentless table forgets a row only when
// told the values it was given, so the delete triggers hand over the
// record's old values, worked out the same way.
//
// PRAGMA user_version holds the version of the index built into the file;
// a file without it (made before the index existed) gets the index built
// from its records when it is opened.

namespace {

QString IndexedValue(const QString& row, const QString& field) {
  return QStringLiteral("lower(%1.%2)||char(10,10)").arg(row, field);
}

}  // namespace

void store_detail::CreateWordIndex(const std::function<void(const QString&)>& exec) {
  exec(QStringLiteral("DROP TRIGGER IF EXISTS OmenryWordsInsert"));
  exec(QStringLiteral("DROP TRIGGER IF EXISTS OmenryWordsDelete"));
  exec(QStringLiteral("DROP TRIGGER IF EXISTS OmenryWordsUpdate"));
  const QString fields[] = {QStringLiteral("BT"), QStringLiteral("LR")};
  for (int i = 0; i < 2; ++i) {
    const QString table = QLatin1String(kWordIndexTables[i]);
    exec(QStringLiteral("DROP TABLE IF EXISTS ") + table);
    exec(QStringLiteral("CREATE VIRTUAL TABLE %1 USING fts5(%2, content='', "
                        "tokenize='trigram case_sensitive 1', detail=none)")
             .arg(table, fields[i]));
    exec(QStringLiteral("INSERT INTO %1(rowid, %2) SELECT ID, %3 FROM Omenry")
             .arg(table, fields[i], IndexedValue(QStringLiteral("Omenry"), fields[i])));
  }
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
  exec(QStringLiteral("CREATE TRIGGER OmenryWordsInsert AFTER INSERT ON Omenry BEGIN ") +
       insertNew(0) + insertNew(1) + QStringLiteral(" END"));
  exec(QStringLiteral("CREATE TRIGGER OmenryWordsDelete AFTER DELETE ON Omenry BEGIN ") +
       deleteOld(0) + deleteOld(1) + QStringLiteral(" END"));
  exec(QStringLiteral("CREATE TRIGGER OmenryWordsUpdate AFTER UPDATE OF ID, BT, LR ON Omenry BEGIN ") +
       deleteOld(0) + deleteOld(1) + insertNew(0) + insertNew(1) + QStringLiteral(" END"));
  exec(QStringLiteral("PRAGMA user_version=%1").arg(kWordIndexVersion));
}

bool CasebookStore::wordIndexComplete() {
  return d_->scalar(QStringLiteral("PRAGMA user_version")).toInt() >= kWordIndexVersion &&
         d_->scalar(QStringLiteral(
                        "SELECT COUNT(*) FROM sqlite_master WHERE name IN ('OmenryTitleWords', "
                        "'OmenryTextWords', 'OmenryWordsInsert', 'OmenryWordsDelete', "
                        "'OmenryWordsUpdate')"))
                 .toInt() == 5;
}

namespace {

// How a search word is answered by the word index.
struct WordPlan {
  enum Kind {
    None,         // no record can hold the word
    Match,        // the records that match expr
    Unselective,  // too many records hold it for the index to pay
  } kind = None;
  QString expr;        // FTS5 query (Match)
  bool exact = false;  // expr gives exactly the records whose field holds the word
};

// An FTS5 string: the text in double quotes, a quote inside doubled. Its
// characters are taken as they are.
QString FtsString(const QString& text) {
  QString s = text;
  s.replace(QLatin1Char('"'), QStringLiteral("\"\""));
  return QLatin1Char('"') + s + QLatin1Char('"');
}

// Words the index is not asked about: control characters (the line feeds
// that close every indexed value among them), unpaired surrogates, the
// characters the tokenizer reads as U+FFFD, and U+FEFF (SQLite drops it as
// a byte-order mark at the start of a bound text).
bool IndexableWord(const QString& word) {
  for (qsizetype i = 0; i < word.size(); ++i) {
    const char16_t c = word.at(i).unicode();
    if (c < 0x20 || c == 0x7f || c == 0xfeff || c == 0xfffd || c == 0xfffe || c == 0xffff)
      return false;
    if (QChar::isHighSurrogate(c)) {
      if (i + 1 >= word.size() || !QChar::isLowSurrogate(word.at(i + 1).unicode())) return false;
      ++i;
    } else if (QChar::isLowSurrogate(c)) {
      return false;
    }
  }
  return true;
}

QString AsciiLower(const QString& text) {
  QString s = text;
  for (QChar& c : s)
    if (c.unicode() >= u'A' && c.unicode() <= u'Z') c = QChar(c.unicode() + (u'a' - u'A'));
  return s;
}

// A word of one or two characters is found as the start of indexed
// trigrams: the terms from the word itself up to the word followed by the
// largest characters are exactly the terms that begin with it, and the
// records holding any of them are the records holding the word. Such a word
// is left to the LIKE check when it begins more than kMaxTerms terms (an
// FTS5 "or" of that many is slow) or when its terms are held by more than
// kMaxDocsPerRecord times as many records as there are (it is everywhere and
// narrows nothing).
constexpr int kMaxTerms = 256;
constexpr qint64 kMaxDocsPerRecord = 16;

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
      if (!IndexableWord(word)) return QString();
      const std::u32string chars = AsciiLower(word).toStdU32String();
      WordPlan plan;
      if (chars.size() >= 3) {
        // Every trigram of the word must be there; three characters are one
        // trigram and say it exactly, a longer word leaves the order of its
        // trigrams to the LIKE check.
        QStringList terms;
        for (size_t i = 0; i + 3 <= chars.size(); ++i) {
          const QString term = FtsString(QString::fromStdU32String(chars.substr(i, 3)));
          if (!terms.contains(term)) terms << term;
        }
        plan.kind = WordPlan::Match;
        plan.expr = terms.size() == 1 ? terms.first()
                                      : QLatin1Char('(') + terms.join(QStringLiteral(" AND ")) +
                                            QLatin1Char(')');
        plan.exact = chars.size() == 3;
      } else {
        if (records < 0) records = d_->scalar(QStringLiteral("SELECT COUNT(*) FROM Omenry")).toLongLong();
        const QString lo = QString::fromStdU32String(chars);
        QString hi = lo;
        for (size_t k = chars.size(); k < 3; ++k) hi += QString::fromStdU32String(U"\U0010FFFF");
        QSqlQuery q(d_->db());
        q.setForwardOnly(true);
        if (!q.prepare(QStringLiteral("SELECT CAST(term AS BLOB), doc FROM temp.%1 WHERE term >= :lo AND term <= :hi")
                           .arg(QLatin1String(kWordIndexTerms[field]))))
          Fail(q.lastError());
        q.bindValue(QStringLiteral(":lo"), lo);
        q.bindValue(QStringLiteral(":hi"), hi);
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
          plan.exact = true;
        }
      }
      // Combine into the clause: with "and" one word that no record holds
      // empties the clause, and a word the index cannot narrow is left to
      // the LIKE check; with "or" such a word makes the clause unnarrowable.
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
  if (unions.isEmpty()) return kListFields + QStringLiteral(" WHERE 0");
  const QString ids = QStringLiteral(" IN (") + unions.join(QStringLiteral(" UNION ")) + QLatin1Char(')');
  *bindings = matches;
  if (exact) {
    // The listed fields all stand in the index OmenryList: one pass over it
    // (ID kept from being looked up one by one by the "+") reads a large
    // result far faster than a look-up in the table per record.
    return kListFields + QStringLiteral(" WHERE +ID") + ids + d_->live();
  }
  *bindings += condition.bindings();
  return kListFields + QStringLiteral(" WHERE ID") + ids + QStringLiteral(" AND (") +
         ConditionPredicate(condition) + QLatin1Char(')') + d_->live();
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
    QString text;
    if (condition.isEmpty()) {
      text = kListFields + QStringLiteral(" WHERE 0");
    } else {
      if (useIndex && d_->wordIndex) text = indexedSearch(condition, &bindings);
      if (text.isEmpty()) {
        // Records in the recycle bin are never found.
        text = kListFields + QStringLiteral(" WHERE (") + ConditionPredicate(condition) +
               QLatin1Char(')') + d_->live();
        bindings = condition.bindings();
      }
    }
    openList(text, bindings);
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
