#pragma once
// Input limits in GBK bytes: the title, querent and folder name fields of the
// casebook have byte sizes (100, 20, 30), so a field refuses any edit that
// would make its text longer than that in the GBK code page.

#include <QValidator>

class QLineEdit;

class GbkLimitValidator : public QValidator {
 public:
  GbkLimitValidator(int maxBytes, QObject* parent);
  State validate(QString& input, int& pos) const override;
  int maxBytes() const { return max_; }

 private:
  int max_;
};

// Installs a GbkLimitValidator of maxBytes on the line edit.
void LimitGbkBytes(QLineEdit* edit, int maxBytes);
