#include "record_text_edit.h"

#include <QMimeData>

TRecordTextEdit::TRecordTextEdit(QWidget* parent) : QPlainTextEdit(parent) {}

bool TRecordTextEdit::canInsertFromMimeData(const QMimeData* source) const {
  return source != nullptr && source->hasText();
}

void TRecordTextEdit::insertFromMimeData(const QMimeData* source) {
  if (source == nullptr || isReadOnly() || !source->hasText()) return;
  // One request for the text itself: an owner that answers once (and then
  // quits) still hands it over.
  const QString text = source->text();
  if (text.isEmpty()) return;
  insertPlainText(text);
  ensureCursorVisible();
}
