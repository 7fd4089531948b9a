#pragma once
// The condition of a record search, its statement text and its parameters.

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

// A search looks for words in the title (BT), the text (LR) or both. A
// condition is a list of clauses joined by "or"; a clause names one field and
// joins its words by "and" (every word) or "or" (any word). Each word matches
// anywhere in the field's value. Latin letters A-Z match regardless of case;
// every other character (Chinese, full-width, accented ...) matches exactly.
//
// The words never become part of a statement's text: each one is bound as a
// parameter holding its LIKE pattern (LikePattern), so a quote, "%", "_" or
// any other character is searched for as itself. Empty words are skipped.

enum class SearchField { Title, Text };  // BT, LR

struct SearchClause {
  SearchField field = SearchField::Title;
  QStringList words;  // empty entries are skipped
  bool all = true;    // true: every word ("and"); false: any word ("or")

  // The words that take part: the non-empty entries, in order.
  QStringList usedWords() const;
  // The clause as statement text, its parameters named after the field and
  // numbered from first: "(BT like :BT0 escape '\' and BT like :BT1 escape
  // '\')". Empty when no word takes part.
  QString text(int first = 0) const;
};

// A parameter of a statement: its name (":BT0") and value.
using SearchBinding = QPair<QString, QVariant>;

class SearchCondition {
 public:
  QList<SearchClause> clauses;  // joined by "or"

  // True when no clause has a word: such a condition finds nothing.
  bool isEmpty() const;
  // The condition as it follows "select ... from Omenry": " where ", then
  // the clauses that have words, joined by " or ". The parameters of each
  // field are numbered on across clauses (:BT0, :BT1, :LR0 ...). Empty when
  // isEmpty().
  QString text() const;
  // The values of text()'s parameters: the LIKE pattern of each word.
  QList<SearchBinding> bindings() const;
};

// The field's name in the table: "BT" or "LR".
QString FieldName(SearchField field);

// The escape character of the search's LIKE patterns: a backslash.
inline constexpr char16_t kLikeEscape = u'\\';

// The LIKE pattern that finds the word anywhere in a value: "%", the word
// with every backslash, "%" and "_" preceded by the escape character (a
// backslash), then "%".
QString LikePattern(const QString& word);
