// The grid lines of a chart join from one line of text to the next in the
// record editor, the main window's preview, the print window and on paper:
// the vertical strokes of │ ┌ ├ └ … run unbroken down the whole grid, the
// horizontal ones across it, the Chinese of neighbouring lines stays apart,
// nothing of the font's own glyphs shows, a selected grid is drawn in the
// selection's colours, a page break leaves the page's foot clear, and the
// text itself (copy, save) keeps the box-drawing characters. Each
// character's lines reach the edges of its cell that it names.

#include <QApplication>
#include <QClipboard>
#include <QFontMetricsF>
#include <QMimeData>
#include <QPainter>
#include <QPaintEngine>
#include <QPlainTextEdit>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QSet>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QtTest>
#include <functional>
#include <memory>

#include "casebook_store.h"
#include "chart_lines.h"
#include "edit_form.h"
#include "folder_tree.h"
#include "main_form.h"
#include "main_form_parts.h"
#include "preview_form.h"
#include "skin.h"
#include "test_support.h"
#include "window_test.h"

namespace {

// A grid of light lines around two rows of Chinese and a row of full-width
// spaces: six lines, five cells across.
const QStringList kGrid = {
    QStringLiteral("┌─┬─┐"),
    QStringLiteral("│国│国│"),
    QStringLiteral("│国│国│"),
    QStringLiteral("├─┼─┤"),
    QStringLiteral("│　│　│"),
    QStringLiteral("└─┴─┘"),
};
// Box-drawing characters and full-width spaces only.
const QStringList kFrame = {
    QStringLiteral("┏━┳━┓"),
    QStringLiteral("┃　║　│"),
    QStringLiteral("┣━╬═┥"),
    QStringLiteral("┃　║　│"),
    QStringLiteral("┗━┻━┛"),
};

bool Dark(QRgb pixel) { return qGray(pixel) < 128; }

// Longest unbroken run of pixels matching `ink` down column x / along row y.
int RunDown(const QImage& image, int x, const std::function<bool(QRgb)>& ink) {
  int best = 0, run = 0;
  for (int y = 0; y < image.height(); ++y) {
    run = ink(image.pixel(x, y)) ? run + 1 : 0;
    best = std::max(best, run);
  }
  return best;
}
int RunAcross(const QImage& image, int y, const std::function<bool(QRgb)>& ink) {
  int best = 0, run = 0;
  for (int x = 0; x < image.width(); ++x) {
    run = ink(image.pixel(x, y)) ? run + 1 : 0;
    best = std::max(best, run);
  }
  return best;
}

// The strokes at least `length` pixels long: the columns (or rows) they
// run down (along), neighbouring columns of one stroke counted once.
QList<int> Strokes(int count, const std::function<int(int)>& run, double length) {
  QList<int> strokes;
  int last = -10;
  for (int i = 0; i < count; ++i) {
    if (run(i) < length) continue;
    if (i - last > 1) strokes << i;
    last = i;
  }
  return strokes;
}
QList<int> VerticalStrokes(const QImage& image, double length) {
  return Strokes(image.width(), [&](int x) { return RunDown(image, x, Dark); }, length);
}
QList<int> HorizontalStrokes(const QImage& image, double length) {
  return Strokes(image.height(), [&](int y) { return RunAcross(image, y, Dark); }, length);
}

// The separate runs of rows holding ink between columns x0 and x1.
int InkRuns(const QImage& image, int x0, int x1) {
  int runs = 0;
  bool inRun = false;
  for (int y = 0; y < image.height(); ++y) {
    bool ink = false;
    for (int x = x0; x < x1 && !ink; ++x) ink = Dark(image.pixel(x, y));
    if (ink && !inRun) ++runs;
    inRun = ink;
  }
  return runs;
}

QSet<QRgb> Colours(const QImage& image, const QRect& area) {
  QSet<QRgb> colours;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) colours.insert(image.pixel(x, y) & 0xffffff);
  return colours;
}

QString Names(const QSet<QRgb>& colours) {
  QStringList names;
  for (QRgb c : colours) names << QColor(c).name();
  names.sort();
  return names.join(QLatin1Char(' '));
}

// The record text as stored (CR LF) and as shown (LF).
QString Stored(const QStringList& lines) { return lines.join(QStringLiteral("\r\n")); }
QString Shown(const QStringList& lines) { return lines.join(QLatin1Char('\n')); }

// The area of a plain-text view that the text's characters take: from the
// start of the first line to the end of the last (each line one block).
template <typename View>
QRect TextArea(View* view, const QStringList& text) {
  QTextCursor first(view->document());
  QTextCursor last(view->document());
  for (qsizetype i = 1; i < text.size(); ++i) last.movePosition(QTextCursor::NextBlock);
  last.movePosition(QTextCursor::EndOfBlock);
  const QRect a = view->cursorRect(first);
  const QRect b = view->cursorRect(last);
  return QRect(QPoint(a.left() + 1, a.top()), QPoint(b.left() - 1, b.bottom())).intersected(view->viewport()->rect());
}

// A paint device that records the rectangles filled on it, in device
// coordinates, as a printer's would receive them.
class Recorder : public QPaintDevice {
 public:
  explicit Recorder(int dpi) : dpi_(dpi) {}
  QPaintEngine* paintEngine() const override { return &engine_; }
  QList<QRectF> rects;

 protected:
  int metric(PaintDeviceMetric metric) const override {
    switch (metric) {
      case PdmWidth: case PdmHeight: return 100000;
      case PdmWidthMM: case PdmHeightMM: return 100000 * 254 / 10 / dpi_;
      case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return dpi_;
      case PdmDepth: return 32;
      case PdmNumColors: return INT_MAX;
      case PdmDevicePixelRatio: return 1;
      case PdmDevicePixelRatioScaled: return int(QPaintDevice::devicePixelRatioFScale());
      default: return 0;
    }
  }

 private:
  class Engine : public QPaintEngine {
   public:
    explicit Engine(Recorder& device) : QPaintEngine(AllFeatures), device_(device) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState& changed) override {
      if (changed.state() & DirtyTransform) transform_ = changed.transform();
    }
    void drawRects(const QRectF* rects, int count) override {
      for (int i = 0; i < count; ++i) device_.rects << transform_.mapRect(rects[i]);
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawTextItem(const QPointF&, const QTextItem&) override {}
    Type type() const override { return User; }

   private:
    Recorder& device_;
    QTransform transform_;
  };

  int dpi_;
  mutable Engine engine_{*const_cast<Recorder*>(this)};
};

// A document with one character, its box-drawing glyphs hidden, in the
// text font at 36 pixels.
std::unique_ptr<QTextDocument> Alone(const QString& character) {
  auto document = std::make_unique<QTextDocument>();
  QFont font = skin::TextFont();
  font.setPixelSize(36);
  document->setDefaultFont(font);
  chart_lines::HideGlyphs(document.get());
  document->setPlainText(character);
  document->setTextWidth(200);
  document->size();  // laid out
  return document;
}

// The character's cell in pixels (its line's height, its advance), within
// the picture DrawnAlone gives.
QRect Cell(const QString& character) {
  const auto document = Alone(character);
  const QTextBlock block = document->begin();
  if (block.layout()->lineCount() != 1) return QRect();
  const QTextLine line = block.layout()->lineAt(0);
  const QPointF at = block.layout()->position();
  const QRectF cell(QPointF(at.x() + line.cursorToX(0), at.y() + line.y()),
                    QPointF(at.x() + line.cursorToX(1), at.y() + line.y() + line.height()));
  return QRect(QPoint(qRound(cell.left()), qRound(cell.top())),
               QPoint(qRound(cell.right()) - 1, qRound(cell.bottom()) - 1));
}

// The character drawn as a view draws it.
QImage DrawnAlone(const QString& character) {
  const auto document = Alone(character);
  QImage image(200, 100, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  document->drawContents(&painter);
  chart_lines::DrawDocument(painter, *document, image.rect(), chart_lines::Ink{});
  return image;
}

}  // namespace

class ChartLinesTest : public WindowTest {
  Q_OBJECT

  RowId folder_ = 0;

  // The text as a record, current in the main window: its preview.
  QImage Preview(TMainForm& form, const QStringList& text) {
    const RowId record = form.Store().InsertRecord(folder_, {QStringLiteral("格"), QString(), QDate(2025, 1, 3), false, Stored(text)});
    const auto found = main_form_parts::Tree(form)->findItems(QStringLiteral("卦例"), Qt::MatchExactly | Qt::MatchRecursive);
    main_form_parts::Tree(form)->setCurrentItem(found.value(0));
    form.Records()->locate(record);
    return main_form_parts::Preview(form)->viewport()->grab().toImage();
  }

  // The text in the record editor.
  static QImage Edited(TEditForm& editor, const QStringList& text) {
    editor.OpenEdit(1, {QStringLiteral("格"), QString(), QDate(2025, 1, 3), false, Stored(text)});
    QApplication::processEvents();
    return editor.reText()->viewport()->grab().toImage();
  }

  // The text of the first printed page (the header above it left out), at
  // `scale` pixels a printer pixel.
  static QImage Printed(const QStringList& text, double scale, double* lineHeight, double* cellWidth) {
    TPreviewForm p(PrintedRecord{QStringLiteral("格"), QString(), QDate(), false, Stored(text)});
    p.SetPaper(QStringLiteral("A4"));
    const QFontMetricsF metrics(PrintFont(), p.Printer());
    *lineHeight = metrics.lineSpacing() * scale;
    *cellWidth = metrics.horizontalAdvance(QStringLiteral("国")) * scale;
    QImage page(qRound(10 * *cellWidth), qRound(qreal(text.size() + 2) * *lineHeight), QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.scale(scale, scale);
    painter.translate(0, -p.TextTop());
    p.DrawSheet(painter, 0, false);
    return page;
  }

  // The grid's three vertical strokes run from its first line's middle to
  // its last line's (five lines), its three horizontal ones across four
  // cells; the two lines of Chinese between the first two strokes stay
  // apart: top line, 国, 国, middle line and bottom line are five separate
  // runs of ink.
  static void CheckGrid(const QImage& image, double lineHeight, double cellWidth) {
    const QList<int> down = VerticalStrokes(image, 4.5 * lineHeight);
    int longest = 0;
    for (int x = 0; x < image.width(); ++x) longest = std::max(longest, RunDown(image, x, Dark));
    QVERIFY2(down.size() == 3, qPrintable(QStringLiteral("%1 strokes down 5 lines of %2 pixels; the longest is %3")
                                              .arg(down.size()).arg(lineHeight).arg(longest)));
    QVERIFY(down[1] - down[0] > 1.5 * cellWidth && down[2] - down[1] > 1.5 * cellWidth);
    const QList<int> across = HorizontalStrokes(image, 3.5 * cellWidth);
    QCOMPARE(across.size(), 3);
    QCOMPARE(InkRuns(image, down[0] + 3, down[1] - 2), 5);
  }

 protected:
  void Prepare() override {
    CasebookStore s;
    s.OpenStore(dataDir_);
    folder_ = s.AddFolder(0, QStringLiteral("卦例"));
  }

 private slots:
  void gridJoinsInTheEditor() {
    auto form = MakeForm();
    QVERIFY(form);
    TEditForm editor(*form);
    editor.resize(700, 500);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    const QFontMetricsF metrics(skin::TextFont());
    CheckGrid(Edited(editor, kGrid), metrics.lineSpacing(), metrics.horizontalAdvance(QStringLiteral("国")));
    if (QTest::currentTestFailed()) return;
    // Drawing the lines is no edit.
    QVERIFY(!editor.isDirty());
    QVERIFY(!editor.reText()->document()->isModified());
    QCOMPARE(editor.reText()->toPlainText(), Shown(kGrid));
    QCOMPARE(editor.RecordText(), Stored(kGrid));
  }

  void gridJoinsInThePreview() {
    auto form = MakeForm();
    QVERIFY(form);
    const QFontMetricsF metrics(skin::TextFont());
    CheckGrid(Preview(*form, kGrid), metrics.lineSpacing(), metrics.horizontalAdvance(QStringLiteral("国")));
  }

  void gridJoinsOnPaper() {
    // A light line is a few printer pixels wide: a quarter of them still
    // leaves it a pixel or more.
    double line = 0, cell = 0;
    const QImage page = Printed(kGrid, 0.25, &line, &cell);
    CheckGrid(page, line, cell);
  }

  // The print window's small pages show the grid's lines too, joined: a
  // line much thinner than a pixel there is drawn faint, not left out.
  void gridJoinsInThePrintWindow() {
    TPreviewForm p(PrintedRecord{QString(), QString(), QDate(), false, Stored(QStringList(30, QStringLiteral("│　│　│")))});
    p.SetPaper(QStringLiteral("A4"));
    p.SetMarginsShown(false);
    p.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p));
    const QImage shown = p.Preview()->grab().toImage();
    // The page: the white part of the picture.
    QRect page;
    for (int y = 0; y < shown.height(); ++y)
      for (int x = 0; x < shown.width(); ++x)
        if ((shown.pixel(x, y) & 0xffffff) == 0xffffff) page |= QRect(x, y, 1, 1);
    QVERIFY(page.width() > 100);
    const QImage inside = shown.copy(page.adjusted(3, 3, -3, -3));
    const double line = QFontMetricsF(PrintFont()).lineSpacing() * p.Preview()->zoomFactor();
    // Three strokes down (neighbouring columns of one stroke counted once).
    const QList<int> strokes = Strokes(
        inside.width(), [&](int x) { return RunDown(inside, x, [](QRgb c) { return qGray(c) < 235; }); },
        25 * line);
    QCOMPARE(strokes.size(), 3);
  }

  // A grid broken by the end of a page: nothing of the line that goes on
  // the next page is drawn on this one. (Clipped to the page it is nothing
  // on a screen, but a PDF viewer draws a speck at the foot of the page.)
  void pageBreakLeavesTheFootClear() {
    TPreviewForm p(PrintedRecord{QString(), QString(), QDate(), false, Stored(QStringList(200, QStringLiteral("│　│　│")))});
    p.SetPaper(QStringLiteral("A4"));
    QVERIFY(p.PageCount() > 1);
    const int dpi = p.Printer()->resolution();
    const double height = p.Printer()->pageLayout().paintRectPixels(dpi).height();
    Recorder recorder(dpi);
    QPainter painter(&recorder);
    p.DrawSheet(painter, 0, false);
    painter.end();
    QVERIFY(!recorder.rects.isEmpty());
    for (const QRectF& r : recorder.rects)
      QVERIFY2(r.top() < height, qPrintable(QStringLiteral("a rectangle from %1 to %2 below the page's foot at %3")
                                                .arg(r.top()).arg(r.bottom()).arg(height)));
  }

  // Nothing of the characters' own glyphs shows (their antialiased edges
  // would): the frame is all paper and ink.
  void onlyLinesAreDrawn() {
    auto form = MakeForm();
    QVERIFY(form);
    const QRgb sheet = main_form_parts::Preview(*form)->palette().color(QPalette::Base).rgb() & 0xffffff;
    const QSet<QRgb> paperAndInk = {sheet, 0x000000};
    const QImage preview = Preview(*form, kFrame);
    QSet<QRgb> colours = Colours(preview, TextArea(main_form_parts::Preview(*form), kFrame));
    QVERIFY2(colours == paperAndInk, qPrintable(Names(colours)));

    TEditForm editor(*form);
    editor.resize(700, 500);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    const QImage edited = Edited(editor, kFrame);
    colours = Colours(edited, TextArea(editor.reText(), kFrame));
    colours.remove(0x000000);
    colours.remove(sheet);
    QVERIFY2(colours.isEmpty(), qPrintable(Names(colours)));

    double line = 0, cell = 0;
    const QImage page = Printed(kFrame, 0.25, &line, &cell);
    colours = Colours(page, page.rect());
    QVERIFY2(colours == (QSet<QRgb>{0xffffff, 0x000000}), qPrintable(Names(colours)));
  }

  // A selected grid: the selection's background with its lines in the
  // selection's text colour, joined; no other colour.
  void selectedGrid() {
    auto form = MakeForm();
    QVERIFY(form);
    TEditForm editor(*form);
    editor.resize(700, 500);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    Edited(editor, kFrame);
    TRecordTextEdit* text = editor.reText();
    text->setFocus();
    text->selectAll();
    const QImage image = text->viewport()->grab().toImage();
    const QRect area = TextArea(text, kFrame);
    QSet<QRgb> colours = Colours(image, area);
    const QPalette palette = text->palette();
    const QRgb highlight = palette.color(QPalette::Active, QPalette::Highlight).rgb() & 0xffffff;
    const QRgb highlighted = palette.color(QPalette::Active, QPalette::HighlightedText).rgb() & 0xffffff;
    QVERIFY2(colours == (QSet<QRgb>{highlight, highlighted}), qPrintable(Names(colours)));
    const double lineHeight = QFontMetricsF(skin::TextFont()).lineSpacing();
    int longest = 0;
    for (int x = area.left(); x <= area.right(); ++x)
      longest = std::max(longest, RunDown(image.copy(area), x - area.left(),
                                          [&](QRgb p) { return (p & 0xffffff) == highlighted; }));
    QVERIFY2(longest >= 3.5 * lineHeight, qPrintable(QString::number(longest)));
  }

  // Each character alone in its cell: which edges its lines reach (the
  // middle of the edge), with how many strokes (a double line two), and
  // how wide (a heavy stroke twice a light one). At 36 pixels a light line
  // is 2 pixels wide.
  void charactersReachTheirEdges_data() {
    QTest::addColumn<QString>("character");
    QTest::addColumn<QString>("edges");  // strokes across the left, right, top, bottom edge
    QTest::addColumn<QString>("widths"); // l(ight), h(eavy) or d(ouble) per edge, - none
    const struct {
      const char* character;
      const char* edges;
      const char* widths;
    } rows[] = {
        {"─", "1100", "ll--"}, {"━", "1100", "hh--"}, {"│", "0011", "--ll"}, {"┃", "0011", "--hh"},
        {"┌", "0101", "-l-l"}, {"┐", "1001", "l--l"}, {"└", "0110", "-ll-"}, {"┘", "1010", "l-l-"},
        {"├", "0111", "-lll"}, {"┤", "1011", "l-ll"}, {"┬", "1101", "ll-l"}, {"┴", "1110", "lll-"},
        {"┼", "1111", "llll"}, {"╋", "1111", "hhhh"}, {"┏", "0101", "-h-h"}, {"┣", "0111", "-hhh"},
        {"┍", "0101", "-h-l"}, {"╂", "1111", "llhh"}, {"╼", "1100", "lh--"}, {"╽", "0011", "--lh"},
        {"═", "2200", "dd--"}, {"║", "0022", "--dd"}, {"╔", "0202", "-d-d"}, {"╝", "2020", "d-d-"},
        {"╠", "0222", "-ddd"}, {"╦", "2202", "dd-d"}, {"╬", "2222", "dddd"}, {"╒", "0201", "-d-l"},
        {"╓", "0102", "-l-d"}, {"╞", "0211", "-dll"}, {"╟", "0122", "-ldd"}, {"╤", "2201", "dd-l"},
        {"╥", "1102", "ll-d"}, {"╪", "2211", "ddll"}, {"╫", "1122", "lldd"}, {"╴", "1000", "l---"},
        {"╷", "0001", "---l"}, {"╭", "0101", "-l-l"}, {"╯", "1010", "l-l-"},
    };
    for (const auto& row : rows)
      QTest::newRow(row.character) << QString::fromUtf8(row.character) << QString::fromLatin1(row.edges)
                                   << QString::fromLatin1(row.widths);
  }

  void charactersReachTheirEdges() {
    QFETCH(QString, character);
    QFETCH(QString, edges);
    QFETCH(QString, widths);
    const QImage image = DrawnAlone(character);
    const QRect cell = Cell(character);
    QVERIFY(cell.width() > 20 && cell.height() > 20);
    // Strokes across each edge: runs of ink along the pixels just inside it.
    const int x[2] = {cell.left(), cell.right()};
    const int y[2] = {cell.top(), cell.bottom()};
    QString found, foundWidths;
    for (int edge = 0; edge < 4; ++edge) {
      QList<int> runs;
      int run = 0;
      const bool vertical = edge < 2;  // the left and right edges run down
      const int length = vertical ? cell.height() : cell.width();
      for (int i = 0; i <= length; ++i) {
        const bool ink = i < length && Dark(vertical ? image.pixel(x[edge], cell.top() + i)
                                                      : image.pixel(cell.left() + i, y[edge - 2]));
        if (ink) ++run;
        else if (run > 0) runs << std::exchange(run, 0);
      }
      found += QString::number(runs.size());
      if (runs.isEmpty()) foundWidths += QLatin1Char('-');
      else if (runs.size() == 2 && runs[0] == 2 && runs[1] == 2) foundWidths += QLatin1Char('d');
      else if (runs.size() == 1 && runs[0] == 2) foundWidths += QLatin1Char('l');
      else if (runs.size() == 1 && runs[0] == 4) foundWidths += QLatin1Char('h');
      else foundWidths += QLatin1Char('?');
    }
    QCOMPARE(found, edges);
    QCOMPARE(foundWidths, widths);
  }

  // A dashed line: dashes apart, the cell's edges clear.
  void dashedLines_data() {
    QTest::addColumn<QString>("character");
    QTest::addColumn<int>("dashes");
    QTest::newRow("┄") << QStringLiteral("┄") << 3;
    QTest::newRow("┉") << QStringLiteral("┉") << 4;
    QTest::newRow("╎") << QStringLiteral("╎") << 2;
  }

  void dashedLines() {
    QFETCH(QString, character);
    QFETCH(int, dashes);
    const QImage image = DrawnAlone(character);
    const QRect cell = Cell(character);
    QVERIFY(cell.width() > 20 && cell.height() > 20);
    const bool across = character != QStringLiteral("╎");
    const QImage strip = across ? image.copy(cell.left(), cell.top(), cell.width(), cell.height())
                                : image.copy(cell).transformed(QTransform().rotate(90));
    int most = 0;
    for (int row = 0; row < strip.height(); ++row) {
      int runs = 0;
      bool in = false;
      for (int col = 0; col < strip.width(); ++col) {
        const bool ink = Dark(strip.pixel(col, row));
        if (ink && !in) ++runs;
        in = ink;
      }
      most = std::max(most, runs);
    }
    QCOMPARE(most, dashes);
  }

  // Copying from the preview hands over the characters themselves, and
  // nothing of how they are drawn.
  void copyKeepsTheCharacters() {
    auto form = MakeForm();
    QVERIFY(form);
    Preview(*form, kGrid);
    main_form_parts::Preview(*form)->selectAll();
    main_form_parts::Preview(*form)->copy();
    const QMimeData* copied = QApplication::clipboard()->mimeData();
    QVERIFY(copied);
    QCOMPARE(copied->text(), Shown(kGrid));
    QVERIFY2(!copied->html().contains(QStringLiteral("transparent")) &&
                 !copied->html().contains(QStringLiteral("rgba(0,0,0,0)")),
             qPrintable(copied->html()));
  }
};

QTEST_MAIN(ChartLinesTest)
#include "chart_lines_test.moc"
