#include "record_text_edit.h"

#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QTextBlock>

#include "chart_lines.h"

TRecordTextEdit::TRecordTextEdit(QWidget* parent) : QPlainTextEdit(parent) {
  chart_lines::HideGlyphs(document());
}

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

void TRecordTextEdit::paintEvent(QPaintEvent* event) {
  QPlainTextEdit::paintEvent(event);
  // The chart lines over the blocks just painted, placed as QPlainTextEdit
  // places them: one under the other from the first visible one.
  QPainter painter(viewport());
  const chart_lines::Ink ink = chart_lines::ViewInk(*this, textCursor());
  QPointF offset = contentOffset();
  for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
    const QRectF bounds = blockBoundingRect(block).translated(offset);
    if (bounds.top() > event->rect().bottom()) break;
    if (block.isVisible() && bounds.bottom() >= event->rect().top())
      chart_lines::DrawBlock(painter, block, offset, ink);
    offset.ry() += bounds.height();
  }
}
