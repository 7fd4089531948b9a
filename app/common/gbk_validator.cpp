#include "gbk_validator.h"

#include <QLineEdit>

#include "casebook_store.h"

GbkLimitValidator::GbkLimitValidator(int maxBytes, QObject* parent)
    : QValidator(parent), max_(maxBytes) {}

QValidator::State GbkLimitValidator::validate(QString& input, int&) const {
  return GbkByteCount(input) <= max_ ? Acceptable : Invalid;
}

void LimitGbkBytes(QLineEdit* edit, int maxBytes) {
  edit->setValidator(new GbkLimitValidator(maxBytes, edit));
}
