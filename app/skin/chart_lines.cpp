#include "chart_lines.h"

#include <QAbstractTextDocumentLayout>
#include <QGlyphRun>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QScrollBar>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <limits>

namespace chart_lines {
namespace {

// ---------------------------------------------------------------------------
// The characters

// The weight of an arm of a character: the line from the cell's centre to
// the middle of one of its edges.
enum Weight { kNone = 0, kLight = 1, kHeavy = 2, kDouble = 3 };
enum Side { kLeft = 0, kRight = 1, kUp = 2, kDown = 3 };

// The arms of U+2500–U+257F, four digits each: left, right, up, down. The
// dashed lines (U+2504–U+250B, U+254C–U+254F) are given as the whole lines
// they are dashes of, the rounded corners (U+256D–U+2570) as the corners
// they round; the diagonals (U+2571–U+2573) have no arms.
constexpr const char* kArms[8] = {
    // ─    ━    │    ┃    ┄    ┅    ┆    ┇    ┈    ┉    ┊    ┋    ┌    ┍    ┎    ┏
    "1100 2200 0011 0022 1100 2200 0011 0022 1100 2200 0011 0022 0101 0201 0102 0202",
    // ┐    ┑    ┒    ┓    └    ┕    ┖    ┗    ┘    ┙    ┚    ┛    ├    ┝    ┞    ┟
    "1001 2001 1002 2002 0110 0210 0120 0220 1010 2010 1020 2020 0111 0211 0121 0112",
    // ┠    ┡    ┢    ┣    ┤    ┥    ┦    ┧    ┨    ┩    ┪    ┫    ┬    ┭    ┮    ┯
    "0122 0221 0212 0222 1011 2011 1021 1012 1022 2021 2012 2022 1101 2101 1201 2201",
    // ┰    ┱    ┲    ┳    ┴    ┵    ┶    ┷    ┸    ┹    ┺    ┻    ┼    ┽    ┾    ┿
    "1102 2102 1202 2202 1110 2110 1210 2210 1120 2120 1220 2220 1111 2111 1211 2211",
    // ╀    ╁    ╂    ╃    ╄    ╅    ╆    ╇    ╈    ╉    ╊    ╋    ╌    ╍    ╎    ╏
    "1121 1112 1122 2121 1221 2112 1212 2221 2212 2122 1222 2222 1100 2200 0011 0022",
    // ═    ║    ╒    ╓    ╔    ╕    ╖    ╗    ╘    ╙    ╚    ╛    ╜    ╝    ╞    ╟
    "3300 0033 0301 0103 0303 3001 1003 3003 0310 0130 0330 3010 1030 3030 0311 0133",
    // ╠    ╡    ╢    ╣    ╤    ╥    ╦    ╧    ╨    ╩    ╪    ╫    ╬    ╭    ╮    ╯
    "0333 3011 1033 3033 3301 1103 3303 3310 1130 3330 3311 1133 3333 0101 1001 1010",
    // ╰    ╱    ╲    ╳    ╴    ╵    ╶    ╷    ╸    ╹    ╺    ╻    ╼    ╽    ╾    ╿
    "0110 0000 0000 0000 1000 0010 0100 0001 2000 0020 0200 0002 1200 0012 2100 0021",
};

struct Arms {
  int weight[4];  // by Side
};

Arms ArmsOf(char16_t c) {
  const int index = c - 0x2500;
  const char* digits = kArms[index / 16] + (index % 16) * 5;
  return Arms{{digits[0] - '0', digits[1] - '0', digits[2] - '0', digits[3] - '0'}};
}

// Dashes a cell long of a dashed line (0: not dashed).
int DashesOf(char16_t c) {
  if (c >= 0x2504 && c <= 0x2507) return 3;
  if (c >= 0x2508 && c <= 0x250b) return 4;
  if (c >= 0x254c && c <= 0x254f) return 2;
  return 0;
}

bool IsRounded(char16_t c) { return c >= 0x256d && c <= 0x2570; }
bool IsDiagonal(char16_t c) { return c >= 0x2571 && c <= 0x2573; }

// ---------------------------------------------------------------------------
// Drawing one cell

qreal Round(qreal v) { return std::floor(v + 0.5); }

// One character's cell: the full height of its line of text and the full
// advance of the character, in painter coordinates.
class Cell {
 public:
  // `em`: the font's size in the same units; `snap`: whole pixels (a
  // raster device), else (paper) the lines overlap their neighbours'
  // slightly, so that no seam shows where they meet.
  Cell(QPainter& painter, const QRectF& rect, qreal em, bool snap, const QColor& colour)
      : painter_(painter), rect_(rect), snap_(snap), colour_(colour) {
    light_ = std::max<qreal>(1, Round(em / 18));
    heavy_ = 2 * light_;
    gap_ = light_;  // between the centre and each line of a double line
    cx_ = (rect.left() + rect.right()) / 2;
    cy_ = (rect.top() + rect.bottom()) / 2;
  }

  void Draw(char16_t c) {
    if (IsDiagonal(c)) return DrawDiagonals(c);
    const Arms arms = ArmsOf(c);
    if (IsRounded(c)) return DrawRounded(arms);
    if (const int dashes = DashesOf(c)) return DrawDashes(arms, dashes);
    for (int side = kLeft; side <= kDown; ++side) DrawArm(arms, Side(side));
  }

 private:
  qreal Width(int weight) const {
    return weight == kHeavy ? heavy_ : weight == kNone ? 0 : light_;
  }

  // The arm's perpendicular neighbours: for a horizontal arm the upper one
  // is `plus` (its lines above the centre are on the plus side), for a
  // vertical arm the left one.
  static void Neighbours(Side side, Side* opposite, Side* plus, Side* minus) {
    switch (side) {
      case kLeft: *opposite = kRight; *plus = kUp; *minus = kDown; break;
      case kRight: *opposite = kLeft; *plus = kUp; *minus = kDown; break;
      case kUp: *opposite = kDown; *plus = kLeft; *minus = kRight; break;
      case kDown: *opposite = kUp; *plus = kLeft; *minus = kRight; break;
    }
  }

  // Fills a straight piece of an arm: from `from` (its distance from the
  // centre towards the arm's edge; negative: past the centre) out to the
  // cell's edge, `offset` from the centre line towards the plus side,
  // `width` wide.
  void Piece(Side side, qreal from, qreal offset, qreal width) {
    QRectF r;
    const qreal across = (side == kLeft || side == kRight) ? cy_ - offset : cx_ - offset;
    switch (side) {
      case kLeft: r = QRectF(QPointF(rect_.left(), across - width / 2), QPointF(cx_ - from, across + width / 2)); break;
      case kRight: r = QRectF(QPointF(cx_ + from, across - width / 2), QPointF(rect_.right(), across + width / 2)); break;
      case kUp: r = QRectF(QPointF(across - width / 2, rect_.top()), QPointF(across + width / 2, cy_ - from)); break;
      case kDown: r = QRectF(QPointF(across - width / 2, cy_ + from), QPointF(across + width / 2, rect_.bottom())); break;
    }
    Fill(r);
  }

  void Fill(QRectF r) {
    if (snap_) {
      r = QRectF(QPointF(Round(r.left()), Round(r.top())), QPointF(Round(r.right()), Round(r.bottom())));
    } else {
      // Where the piece reaches the cell's right or bottom edge it runs on
      // a little into the neighbour's piece (never up or left: the line at
      // the top of a page would reach into the page before).
      const qreal over = light_ / 2;
      constexpr qreal kSame = 1e-6;
      if (std::abs(r.right() - rect_.right()) < kSame) r.setRight(r.right() + over);
      if (std::abs(r.bottom() - rect_.bottom()) < kSame) r.setBottom(r.bottom() + over);
    }
    if (r.width() > 0 && r.height() > 0) painter_.fillRect(r, colour_);
  }

  // An arm as one line (light or heavy) or two (double), joined to the
  // arms around it: a single line stops where it covers the line it meets,
  // a double line's two lines turn into the lines they meet.
  void DrawArm(const Arms& arms, Side side) {
    const int weight = arms.weight[side];
    if (weight == kNone) return;
    Side o, p, m;
    Neighbours(side, &o, &p, &m);
    const int opposite = arms.weight[o], plus = arms.weight[p], minus = arms.weight[m];
    if (weight != kDouble) {
      qreal from = 0;
      if (plus == kDouble || minus == kDouble) {
        if (opposite != kNone) from = 0;                                    // through
        else if (plus != kNone && minus != kNone) from = gap_ - light_ / 2;  // to the near line
        else from = -(gap_ + light_ / 2);                                    // to the far line
      } else if (plus != kNone || minus != kNone) {
        from = -std::max(Width(plus), Width(minus)) / 2;
      }
      Piece(side, from, 0, Width(weight));
      return;
    }
    // The two lines, on the plus side and on the minus side.
    for (int sign : {+1, -1}) {
      const int same = sign > 0 ? plus : minus;   // the neighbour on this line's side
      const int other = sign > 0 ? minus : plus;  // and on the other
      qreal from = 0;
      if (same == kDouble) from = gap_ - light_ / 2;  // an inner corner
      else if (same != kNone) from = 0;               // meets a single line
      else if (opposite != kNone) from = 0;           // goes on through
      else if (other == kDouble) from = -(gap_ + light_ / 2);  // an outer corner
      Piece(side, from, sign * gap_, light_);
    }
  }

  // The centre line of a light line through the centre, on whole pixels
  // where the straight lines are.
  qreal CentreX() const { return snap_ ? Round(cx_ - light_ / 2) + light_ / 2 : cx_; }
  qreal CentreY() const { return snap_ ? Round(cy_ - light_ / 2) + light_ / 2 : cy_; }

  void DrawDashes(const Arms& arms, int dashes) {
    const bool across = arms.weight[kLeft] != kNone;
    const qreal width = Width(across ? arms.weight[kLeft] : arms.weight[kUp]);
    const qreal length = across ? rect_.width() : rect_.height();
    const qreal step = length / dashes;
    for (int i = 0; i < dashes; ++i) {
      const qreal a = step * i + step * 0.2, b = step * (i + 1) - step * 0.2;
      QRectF r = across ? QRectF(QPointF(rect_.left() + a, cy_ - width / 2), QPointF(rect_.left() + b, cy_ + width / 2))
                        : QRectF(QPointF(cx_ - width / 2, rect_.top() + a), QPointF(cx_ + width / 2, rect_.top() + b));
      Fill(r);
    }
  }

  // A quarter circle between the two arms, straight on to the edges.
  void DrawRounded(const Arms& arms) {
    const qreal x = CentreX(), y = CentreY();
    const qreal sx = arms.weight[kRight] != kNone ? 1 : -1;
    const qreal sy = arms.weight[kDown] != kNone ? 1 : -1;
    const qreal ex = sx > 0 ? rect_.right() : rect_.left();
    const qreal ey = sy > 0 ? rect_.bottom() : rect_.top();
    const qreal radius = std::min(std::abs(ex - x), std::abs(ey - y));
    QPainterPath path;
    path.moveTo(ex, y);
    path.lineTo(x + sx * radius, y);
    path.quadTo(x, y, x, y + sy * radius);
    path.lineTo(x, ey);
    Stroke(path);
  }

  void DrawDiagonals(char16_t c) {
    QPainterPath path;
    if (c != 0x2572) {  // ╱ ╳
      path.moveTo(rect_.right(), rect_.top());
      path.lineTo(rect_.left(), rect_.bottom());
    }
    if (c != 0x2571) {  // ╲ ╳
      path.moveTo(rect_.left(), rect_.top());
      path.lineTo(rect_.right(), rect_.bottom());
    }
    Stroke(path);
  }

  void Stroke(const QPainterPath& path) {
    painter_.save();
    painter_.setRenderHint(QPainter::Antialiasing, true);
    painter_.setBrush(Qt::NoBrush);
    painter_.setPen(QPen(colour_, light_, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter_.drawPath(path);
    painter_.restore();
  }

  QPainter& painter_;
  QRectF rect_;
  bool snap_;
  QColor colour_;
  qreal light_, heavy_, gap_, cx_, cy_;
};

// The colour a character's own format gives it, if any.
QColor FormatColour(const QTextBlock& block, int position, const QColor& otherwise) {
  for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
    const QTextFragment fragment = it.fragment();
    if (!fragment.contains(position)) continue;
    const QBrush brush = fragment.charFormat().foreground();
    return brush.style() == Qt::NoBrush ? otherwise : brush.color();
  }
  return otherwise;
}

// ---------------------------------------------------------------------------
// Hiding the glyphs

class GlyphHider : public QSyntaxHighlighter {
 public:
  explicit GlyphHider(QTextDocument* document) : QSyntaxHighlighter(document) {
    setObjectName(QStringLiteral("chartLineGlyphHider"));
    hidden_.setForeground(Qt::transparent);
  }

 protected:
  void highlightBlock(const QString& text) override {
    for (qsizetype i = 0; i < text.size();) {
      if (!IsBoxDrawing(text[i])) {
        ++i;
        continue;
      }
      qsizetype end = i;
      while (end < text.size() && IsBoxDrawing(text[end])) ++end;
      setFormat(int(i), int(end - i), hidden_);
      i = end;
    }
  }

 private:
  QTextCharFormat hidden_;
};

}  // namespace

Ink ViewInk(const QWidget& view, const QTextCursor& cursor) {
  Ink ink;
  const QPalette& palette = view.palette();
  ink.text = palette.color(QPalette::Text);
  if (cursor.hasSelection()) {
    // As the text views paint their selection.
    const QPalette::ColorGroup group = view.hasFocus() ? QPalette::Active : QPalette::Inactive;
    ink.selectionStart = cursor.selectionStart();
    ink.selectionEnd = cursor.selectionEnd();
    ink.selection = palette.brush(group, QPalette::Highlight);
    ink.selectedText = palette.color(group, QPalette::HighlightedText);
  }
  return ink;
}

void HideGlyphs(QTextDocument* document) {
  if (document->findChild<QSyntaxHighlighter*>(QStringLiteral("chartLineGlyphHider"),
                                               Qt::FindDirectChildrenOnly))
    return;
  new GlyphHider(document);  // owned by the document
}

namespace {

// Draws the chart lines of the block's lines of text whose middle lies
// between `from` and `to`.
void DrawLines(QPainter& painter, const QTextBlock& block, const QPointF& origin, const Ink& ink,
               qreal from, qreal to) {
  const QTextLayout* layout = block.layout();
  if (layout == nullptr || layout->lineCount() == 0) return;
  const QString text = block.text();
  if (std::none_of(text.begin(), text.end(), IsBoxDrawing)) return;
  const QPointF at = origin + layout->position();
  const bool snap = painter.paintEngine() != nullptr && painter.paintEngine()->type() == QPaintEngine::Raster;
  painter.save();
  painter.setPen(Qt::NoPen);
  // On whole pixels the lines need no smoothing; elsewhere (paper, the
  // print window's small pages) a line thinner than a pixel still shows.
  painter.setRenderHint(QPainter::Antialiasing, !snap);
  for (int l = 0; l < layout->lineCount(); ++l) {
    const QTextLine line = layout->lineAt(l);
    const int end = std::min<int>(line.textStart() + line.textLength(), int(text.size()));
    const qreal top = at.y() + line.y();
    const qreal bottom = top + line.height();
    if ((top + bottom) / 2 < from || (top + bottom) / 2 > to) continue;
    qreal em = 0;
    for (int i = line.textStart(); i < end; ++i) {
      if (!IsBoxDrawing(text[i])) continue;
      qreal x0 = line.cursorToX(i), x1 = line.cursorToX(i + 1);
      if (x1 < x0) std::swap(x0, x1);
      if (x1 <= x0) continue;
      if (em == 0) {
        const QList<QGlyphRun> runs = line.glyphRuns(i, 1);
        em = runs.isEmpty() ? x1 - x0 : runs.first().rawFont().pixelSize();
      }
      const QRectF rect(QPointF(at.x() + x0, top), QPointF(at.x() + x1, bottom));
      const int position = block.position() + i;
      QColor colour;
      if (position >= ink.selectionStart && position < ink.selectionEnd) {
        // The view drew the glyph in the selection's text colour: cover it
        // as the selection's background does (to the next whole pixel).
        painter.fillRect(QRectF(rect.topLeft(), QPointF(rect.right(), std::ceil(rect.bottom()))), ink.selection);
        colour = ink.selectedText;
      } else {
        colour = FormatColour(block, position, ink.text);
      }
      Cell(painter, rect, em, snap, colour).Draw(text[i].unicode());
    }
  }
  painter.restore();
}

}  // namespace

void DrawBlock(QPainter& painter, const QTextBlock& block, const QPointF& origin, const Ink& ink) {
  constexpr qreal kAll = std::numeric_limits<qreal>::max();
  DrawLines(painter, block, origin, ink, -kAll, kAll);
}

void DrawDocument(QPainter& painter, const QTextDocument& document, const QRectF& area, const Ink& ink) {
  const QAbstractTextDocumentLayout* layout = document.documentLayout();
  const int hit = layout->hitTest(area.topLeft(), Qt::FuzzyHit);
  QTextBlock block = hit >= 0 ? document.findBlock(hit) : document.begin();
  if (!block.isValid()) block = document.begin();
  if (block.previous().isValid()) block = block.previous();
  // A document laid out in pages puts every line wholly on one page, but
  // the top edge of a page's first line is the foot of the page before:
  // clipped to that page it is nothing on a screen, yet a PDF viewer draws
  // a speck of it there. Each line is drawn on its own page only.
  constexpr qreal kAll = std::numeric_limits<qreal>::max();
  const bool paged = document.pageSize().height() > 0;
  const qreal from = paged ? area.top() : -kAll;
  const qreal to = paged ? area.bottom() : kAll;
  painter.save();
  painter.setClipRect(area, Qt::IntersectClip);
  for (; block.isValid(); block = block.next()) {
    const QRectF bounds = layout->blockBoundingRect(block);
    if (bounds.top() > area.bottom()) break;
    if (bounds.bottom() < area.top() || !block.isVisible()) continue;
    DrawLines(painter, block, QPointF(0, 0), ink, from, to);
  }
  painter.restore();
}

}  // namespace chart_lines

// ---------------------------------------------------------------------------
// TChartTextEdit

TChartTextEdit::TChartTextEdit(QWidget* parent) : QTextEdit(parent) {
  chart_lines::HideGlyphs(document());
}

void TChartTextEdit::paintEvent(QPaintEvent* event) {
  QTextEdit::paintEvent(event);
  QPainter painter(viewport());
  const QPointF scrolled(horizontalScrollBar()->value(), verticalScrollBar()->value());
  painter.translate(-scrolled);
  chart_lines::DrawDocument(painter, *document(), QRectF(event->rect()).translated(scrolled),
                            chart_lines::ViewInk(*this, textCursor()));
}
