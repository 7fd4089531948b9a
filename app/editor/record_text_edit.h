#pragma once
// TRecordTextEdit: the record editor's text area. A plain-text edit that
// takes only text from the clipboard or a drop, and reads it once.
//
// Pasting asks the clipboard's owner (another program, under X11) for its
// data. That owner may be gone by then: a program that quits right after
// copying, or no owner at all in a fresh session. Qt's own paste reads the
// first of the offered formats without checking that there is one and
// crashes on an empty clipboard; here an empty or vanished clipboard
// pastes nothing.
//
// Lines are one em of the font apart (skin::LineHeight), not the font's own
// line spacing, so that the box-drawing characters of a chart's grid meet
// from one line to the next, as in the preview and on paper. The baseline
// sits at four fifths of the line, where the preview's text layout puts it.

#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>

// The plain-text layout with lines a fixed height apart (the height of the
// document's default font's em).
class TFixedLineLayout : public QPlainTextDocumentLayout {
  Q_OBJECT

 public:
  explicit TFixedLineLayout(QTextDocument* document);
  // The block's lines placed one line height apart; its height is the
  // number of its lines times the line height.
  QRectF blockBoundingRect(const QTextBlock& block) const override;
  qreal lineHeight() const;
};

class TRecordTextEdit : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit TRecordTextEdit(QWidget* parent = nullptr);

 protected:
  bool canInsertFromMimeData(const QMimeData* source) const override;
  void insertFromMimeData(const QMimeData* source) override;
};
