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

bool SearchCondition::hasWords() const {
  for (const SearchClause& clause : clauses)
    if (!clause.usedWords().isEmpty()) return true;
  return false;
}

namespace {

// The querent as it is looked for: blanks and control characters at either
// end dropped.
QString QuerentWord(const QString& querent) { return StorableText(TrimControls(querent)); }

const QString kQuerentParameter = QStringLiteral(":QZR0");
const QString kFromParameter = QStringLiteral(":SJFROM");
const QString kToParameter = QStringLiteral(":SJTO");

}  // namespace

bool SearchCondition::hasCriteria() const {
  return !QuerentWord(querent).isEmpty() || from.isValid() || to.isValid() || feedback.has_value();
}

QString SearchCondition::criteriaText() const {
  QStringList terms;
  if (!QuerentWord(querent).isEmpty())
    terms << QLatin1String(store_detail::kContainsWord) + QStringLiteral("(QZR, ") + kQuerentParameter +
                 QLatin1Char(')');
  // Only the calendar day counts; a stored time of day, if any, is ignored.
  if (from.isValid()) terms << QStringLiteral("substr(SJ,1,10)>=") + kFromParameter;
  if (to.isValid()) terms << QStringLiteral("substr(SJ,1,10)<=") + kToParameter;
  if (feedback) terms << (*feedback ? QStringLiteral("IFNULL(FK,0)<>0") : QStringLiteral("IFNULL(FK,0)=0"));
  return terms.join(QStringLiteral(" and "));
}

QList<SearchBinding> SearchCondition::criteriaBindings() const {
  QList<SearchBinding> values;
  const QString word = QuerentWord(querent);
  if (!word.isEmpty()) values.append({kQuerentParameter, store_detail::TextParameter(word)});
  if (from.isValid()) values.append({kFromParameter, from.toString(Qt::ISODate)});
  if (to.isValid()) values.append({kToParameter, to.toString(Qt::ISODate)});
  return values;
}

QString SearchCondition::text() const {
  if (isEmpty()) return QString();
  const QString criteria = criteriaText();
  if (!hasWords()) return QStringLiteral(" where ") + criteria;
  const QString words = store_detail::ConditionPredicate(*this);
  if (criteria.isEmpty()) return QStringLiteral(" where ") + words;
  return QStringLiteral(" where (") + words + QStringLiteral(") and ") + criteria;
}

QList<SearchBinding> SearchCondition::bindings() const { return wordBindings() + criteriaBindings(); }

QList<SearchBinding> SearchCondition::wordBindings() const {
  QList<SearchBinding> values;
  int next[2] = {0, 0};
  for (const SearchClause& clause : clauses) {
    int& n = next[static_cast<int>(clause.field)];
    for (const QString& word : clause.usedWords())
      values.append({ParameterName(clause.field, n++), store_detail::TextParameter(word)});
  }
  return values;
}
