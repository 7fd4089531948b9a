#pragma once
// The grid lines of chart texts. Charts are drawn with the box-drawing
// characters (U+2500–U+257F: │ ─ ┌ ┼ ┃ ━ ║ ═ …), but a font draws each
// of them inside its own em while a line of text is taller than that (the
// text font's lines are about 1.45 em apart), so a font's glyphs leave a
// gap between the rows of a grid. Here, as a terminal does, these
// characters are drawn as lines that fill their whole character cell: the
// full height of the text line and the full advance of the character, so
// that they meet the lines of the cells around them at any line spacing,
// on the screen and on paper. The font's own glyphs are made invisible in
// the layout only (HideGlyphs); the text keeps the characters (copying,
// saving and searching see them unchanged).
//
// Every view of chart text hides the glyphs of its document and draws the
// lines over what Qt has painted: the record editor (its paintEvent, block
// by block with DrawBlock), the preview (TChartTextEdit) and the printed
// pages (DrawDocument after QTextDocument::drawContents).

#include <QBrush>
#include <QColor>
#include <QTextEdit>

class QPainter;
class QPointF;
class QRectF;
class QTextBlock;
class QTextCursor;
class QTextDocument;

namespace chart_lines {

// Whether the character is one of the box-drawing characters drawn here.
inline bool IsBoxDrawing(QChar c) { return c.unicode() >= 0x2500 && c.unicode() <= 0x257f; }

// The colours of the lines. A character whose text format sets a colour
// (a search hit, say) is drawn in it, others in `text`; a selected one in
// `selectedText` on `selection`, which covers its cell.
struct Ink {
  QColor text = Qt::black;
  int selectionStart = 0;  // document positions, [start, end)
  int selectionEnd = 0;
  QBrush selection;
  QColor selectedText;
};

// The ink of a text view: its palette's text colour, and its cursor's
// selection in the colours the view paints it with.
Ink ViewInk(const QWidget& view, const QTextCursor& cursor);

// Makes the glyphs of the box-drawing characters of the document
// invisible, in its layout only: the document's text and formats stay as
// they are. Call before the text is set (later texts are covered too).
void HideGlyphs(QTextDocument* document);

// Draws the box-drawing characters of a laid-out block as lines, its
// layout drawn at `origin` (as QTextLayout::draw places it).
void DrawBlock(QPainter& painter, const QTextBlock& block, const QPointF& origin, const Ink& ink);

// Draws those of every block of the document (laid out by QTextDocument's
// own layout) that meets `area`, in document coordinates, clipped to it.
void DrawDocument(QPainter& painter, const QTextDocument& document, const QRectF& area, const Ink& ink);

}  // namespace chart_lines

// A QTextEdit for chart text: the box-drawing characters of its document
// are drawn as joined lines.
class TChartTextEdit : public QTextEdit {
  Q_OBJECT

 public:
  explicit TChartTextEdit(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};
