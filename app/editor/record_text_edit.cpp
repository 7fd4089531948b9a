#include "record_text_edit.h"

#include <QMimeData>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include "skin.h"

TFixedLineLayout::TFixedLineLayout(QTextDocument* document) : QPlainTextDocumentLayout(document) {}

qreal TFixedLineLayout::lineHeight() const { return skin::LineHeight(document()->defaultFont()); }

QRectF TFixedLineLayout::blockBoundingRect(const QTextBlock& block) const {
  QRectF rect = QPlainTextDocumentLayout::blockBoundingRect(block);  // lays the block out
  if (!block.isValid() || !block.isVisible()) return rect;
  QTextLayout* layout = block.layout();
  const int lines = layout->lineCount();
  if (lines == 0) return rect;
  const qreal height = lineHeight();
  for (int i = 0; i < lines; ++i) {
    QTextLine line = layout->lineAt(i);
    const qreal y = i * height + height * 4 / 5 - line.ascent();
    if (line.y() != y) line.setPosition(QPointF(line.x(), y));
  }
  const qreal margin = block.next().isValid() ? 0 : document()->documentMargin();
  rect.setHeight(lines * height + margin);
  return rect;
}

TRecordTextEdit::TRecordTextEdit(QWidget* parent) : QPlainTextEdit(parent) {
  auto* document = new QTextDocument(this);
  document->setDocumentLayout(new TFixedLineLayout(document));
  setDocument(document);
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
