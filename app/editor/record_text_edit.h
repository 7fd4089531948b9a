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
// The box-drawing characters of a chart are drawn as lines that join from
// one line of text to the next (chart_lines.h).

#include <QPlainTextEdit>

class TRecordTextEdit : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit TRecordTextEdit(QWidget* parent = nullptr);

 protected:
  bool canInsertFromMimeData(const QMimeData* source) const override;
  void insertFromMimeData(const QMimeData* source) override;
  void paintEvent(QPaintEvent* event) override;
};
