// The condition of a record search: its statement text and parameters.

#include "search_condition.h"

#include "casebook_text.h"
#include "store_internal.h"

QString FieldName(SearchField field) {
  return field == SearchField::Title ? QStringLiteral("BT") : QStringLiteral("LR");
}

QStringList SearchClause::usedWords() const {
  QStringList used;
  for (const QString& w : words)
    if (!w.isEmpty()) used << StorableText(w);
  return used;
}

namespace {

QString ParameterName(SearchField field, int index) {
  return QLatin1Char(':') + FieldName(field) + QString::number(index);
}

}  // namespace

QString store_detail::ConditionPredicate(const SearchCondition& condition) {
  QStringList parts;
  int next[2] = {0, 0};
  for (const SearchClause& clause : condition.clauses) {
    const QString text = clause.text(next[static_cast<int>(clause.field)]);
    if (text.isEmpty()) continue;
    next[static_cast<int>(clause.field)] += static_cast<int>(clause.usedWords().size());
    parts << text;
  }
  return parts.join(QStringLiteral(" or "));
}

QString SearchClause::text(int first) const {
  const QStringList used = usedWords();
  if (used.isEmpty()) return QString();
  const QString name = FieldName(field);
  QStringList terms;
  for (int i = 0; i < used.size(); ++i)
    terms << QLatin1String(store_detail::kContainsWord) + QLatin1Char('(') + name +
                 QStringLiteral(", ") + ParameterName(field, first + i) + QLatin1Char(')');
  return QLatin1Char('(') + terms.join(all ? QStringLiteral(" and ") : QStringLiteral(" or ")) +
         QLatin1Char(')');
}

bool SearchCondition::isEmpty() const {
  for (const SearchClause& clause : clauses)
    if (!clause.usedWords().isEmpty()) return false;
  return true;
}

QString SearchCondition::text() const {
  if (isEmpty()) return QString();
  return QStringLiteral(" where ") + store_detail::ConditionPredicate(*this);
}

QList<SearchBinding> SearchCondition::bindings() const {
  QList<SearchBinding> values;
  int next[2] = {0, 0};
  for (const SearchClause& clause : clauses) {
    int& n = next[static_cast<int>(clause.field)];
    for (const QString& word : clause.usedWords())
      values.append({ParameterName(clause.field, n++), store_detail::TextParameter(word)});
  }
  return values;
}
