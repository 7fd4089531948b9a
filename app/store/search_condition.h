#pragma once
// The condition of a record search, its statement text and its parameters.

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QDate>

#include <optional>

// A search looks for words in the title (BT), the text (LR) or both. A
// condition is a list of clauses joined by "or"; a clause names one field and
// joins its words by "and" (every word) or "or" (any word). Each word matches
// anywhere in the field's value, literally: Latin letters A-Z match
// regardless of case; every other character (Chinese, full-width, accented,
// U+0000, U+FFFD, U+FFFE, U+FFFF ...) matches itself alone.
//
// The words never become part of a statement's text: each one is bound as a
// parameter holding its UTF-8 bytes, and compared by the store's own SQL
// function contains_word(value, word) (see casebook_search.cpp), so a quote,
// "%", "_" or any other character is searched for as itself. Empty words are
// skipped. The statement runs on the store's connections only: a plain SQLite
// connection does not know contains_word.

enum class SearchField { Title, Text };  // BT, LR

struct SearchClause {
  SearchField field = SearchField::Title;
  QStringList words;  // empty entries are skipped
  bool all = true;    // true: every word ("and"); false: any word ("or")

  // The words that take part: the non-empty entries, in order.
  QStringList usedWords() const;
  // The clause as statement text, its parameters named after the field and
  // numbered from first: "(contains_word(BT, :BT0) and contains_word(BT,
  // :BT1))". Empty when no word takes part.
  QString text(int first = 0) const;
};

// A parameter of a statement: its name (":BT0") and value.
using SearchBinding = QPair<QString, QVariant>;

// Besides the words, a condition may ask for the querent, a range of dates
// and the feedback flag. Every criterion that is given must hold, and the
// words too when there are any ("and" between them); a condition of criteria
// alone finds every record that meets them.
class SearchCondition {
 public:
  QList<SearchClause> clauses;  // joined by "or"
  // The querent (QZR) holds this text, compared as a word is (literally,
  // A-Z in either case); blanks at either end do not count. Empty: any.
  QString querent;
  // The date (SJ) lies on or after `from` and on or before `to`; a null
  // date leaves that end open. A record without a date is not found once
  // either end is given.
  QDate from;
  QDate to;
  // The feedback flag (FK): true 有反馈, false 无反馈 (an empty field
  // counts as none); std::nullopt 全部.
  std::optional<bool> feedback;

  // Some clause has a word.
  bool hasWords() const;
  // The querent, a date or the feedback flag is asked for.
  bool hasCriteria() const;
  // Neither words nor criteria: such a condition finds nothing.
  bool isEmpty() const { return !hasWords() && !hasCriteria(); }
  // The condition as it follows "select ... from Omenry": " where ", then
  // the clauses that have words, joined by " or " (in parentheses when
  // criteria follow), then the criteria, each after " and ". The
  // parameters of each field are numbered on across clauses (:BT0, :BT1,
  // :LR0 ...); the criteria's are :QZR0, :SJFROM and :SJTO. Empty when
  // isEmpty().
  QString text() const;
  // The values of text()'s parameters: each word's UTF-8 bytes (a
  // QByteArray), as the store stores texts; the dates as "yyyy-MM-dd".
  QList<SearchBinding> bindings() const;
  // The words' parameters alone (those of the clauses).
  QList<SearchBinding> wordBindings() const;
  // The criteria alone: "" when there are none, else the terms joined by
  // " and " ("contains_word(QZR, :QZR0) and substr(SJ,1,10)>=:SJFROM ...").
  QString criteriaText() const;
  QList<SearchBinding> criteriaBindings() const;
};

// The field's name in the table: "BT" or "LR".
QString FieldName(SearchField field);
