#include "preview_form.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRawFont>
#include <QPushButton>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextOption>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "chart_lines.h"
#include "pdf_text_layer.h"
#include "record_text.h"
#include "skin.h"
#include "text_export.h"

// ---------------------------------------------------------------------------
// Paper, sheets, font

namespace {

struct Paper {
  const char* name;
  QPageSize::PageSizeId id;  // QPageSize::Custom: keep the current size
};

// The printer paper names of the list and the sizes they stand for: B4 and
// B5 are the JIS sizes, C5 the C5 envelope, Executive 7¼ × 10½ inches, the
// Envelope_NN entries the North American envelopes #9 to #14.
const Paper kPapers[] = {
    {"A3", QPageSize::A3},
    {"A4", QPageSize::A4},
    {"A5", QPageSize::A5},
    {"A6", QPageSize::A6},
    {"B5", QPageSize::JisB5},
    {"C5", QPageSize::C5E},
    {"Legal", QPageSize::Legal},
    {"Letter", QPageSize::Letter},
    {"Custom", QPageSize::Custom},
    {"B4", QPageSize::JisB4},
    {"Envelope_09", QPageSize::Envelope9},
    {"Envelope_10", QPageSize::Comm10E},
    {"Envelope_11", QPageSize::Envelope11},
    {"Envelope_12", QPageSize::Envelope12},
    {"Envelope_14", QPageSize::Envelope14},
    {"Tabloid", QPageSize::Tabloid},
    {"Ledger", QPageSize::Ledger},
    {"Executive", QPageSize::ExecutiveStandard},
};

constexpr double kMarginInch = 0.5;
constexpr double kZoom = 0.34;
constexpr int kThumbWidth = 72;

// The header and footer, in points: the title's size and the size of the
// line under it and of the footer; the space between title and line, under
// the line to the rule, and from the rule to the text; the space from the
// text to the footer.
constexpr double kTitlePoints = 11;
constexpr double kDetailPoints = 8;
constexpr double kTitleGap = 2;
constexpr double kRuleGap = 3;
constexpr double kTextGap = 8;
constexpr double kFooterGap = 8;
constexpr double kRulePoints = 0.5;
const QColor kRuleColour(96, 96, 96);

PrintDialogHook& DialogHook() {
  static PrintDialogHook hook;
  return hook;
}

// Columns and rows of the pages on a sheet, for a sheet that is taller
// than wide; a wide sheet swaps them.
std::pair<int, int> Grid(int pages) {
  switch (pages) {
    case 2: return {1, 2};
    case 4: return {2, 2};
    case 6: return {2, 3};
    case 9: return {3, 3};
    case 16: return {4, 4};
    default: return {1, 1};
  }
}

}  // namespace

QStringList PaperNames() {
  QStringList names;
  for (const Paper& p : kPapers) names << QString::fromLatin1(p.name);
  return names;
}

std::optional<QPageSize> PaperSize(const QString& name) {
  for (const Paper& p : kPapers)
    if (name == QLatin1String(p.name))
      return p.id == QPageSize::Custom ? std::nullopt : std::optional<QPageSize>(QPageSize(p.id));
  return std::nullopt;
}

QList<int> PagesPerSheetChoices() { return {1, 2, 4, 6, 9, 16}; }

QList<int> ZoomSteps() { return {25, 34, 50, 75, 100, 150, 200, 300}; }

void SetPrintDialogHook(PrintDialogHook hook) { DialogHook() = std::move(hook); }

QString PrintedTitle(const PrintedRecord& record) {
  return record.title.trimmed().isEmpty() ? QStringLiteral("（无标题）") : record.title;
}

QString PrintedDetails(const PrintedRecord& record) {
  QStringList parts;
  if (!record.querent.trimmed().isEmpty()) parts << QStringLiteral("求占人：") + record.querent;
  if (record.date.isValid()) parts << QStringLiteral("时间：") + record.date.toString(QStringLiteral("yyyy-MM-dd"));
  parts << QStringLiteral("反馈：") + (record.feedback ? QStringLiteral("有") : QStringLiteral("无"));
  return parts.join(QStringLiteral("　　"));
}

QString PageFooter(int page, int pages) { return QStringLiteral("第 %1 页 / 共 %2 页").arg(page).arg(pages); }

QString PrintedDocumentName(const PrintedRecord& record) {
  return record.title.trimmed().isEmpty() ? QStringLiteral("无标题记录") : record.title;
}

QFont PrintFont() {
  QFont f = skin::TextFont();
  // 12 pixels on a 96-dpi screen: 9 points.
  f.setPointSizeF(9.0);
  f.setHintingPreference(QFont::PreferNoHinting);
  return f;
}

// ---------------------------------------------------------------------------
// RTF

QByteArray RtfDocument(const QString& text) {
  const QFont font = PrintFont();
  QByteArray rtf;
  rtf += "{\\rtf1\\ansi\\ansicpg936\\deff0\\uc1";
  rtf += "{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset134 " + font.family().toLatin1() + ";}}\r\n";
  rtf += "\\viewkind4\\pard\\f0\\fs" + QByteArray::number(qRound(font.pointSizeF() * 2)) + " ";
  const QStringList lines = ToDisplayText(text).split(QLatin1Char('\n'));
  for (qsizetype i = 0; i < lines.size(); ++i) {
    if (i > 0) rtf += "\\par\r\n";
    for (const QChar ch : lines[i]) {
      const char16_t c = ch.unicode();
      if (c == u'\\' || c == u'{' || c == u'}') {
        rtf += '\\';
        rtf += static_cast<char>(c);
      } else if (c == u'\t') {
        rtf += "\\tab ";
      } else if (c >= 0x20 && c < 0x7f) {
        rtf += static_cast<char>(c);
      } else {
        // A UTF-16 unit as a signed 16-bit number, then the one-character
        // stand-in for readers without Unicode.
        rtf += "\\u" + QByteArray::number(static_cast<qint16>(c)) + '?';
      }
    }
  }
  rtf += "}\r\n";
  return rtf;
}

// ---------------------------------------------------------------------------
// TPreviewForm

TPreviewForm::TPreviewForm(const PrintedRecord& record, QWidget* parent)
    : QDialog(parent), printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)), record_(record) {
  setObjectName(QStringLiteral("PreviewForm"));
  setWindowTitle(QStringLiteral("打印"));
  setFixedSize(695, 568);
  setModal(true);

  SetUpPrinter();
  SetUpDocument(record.text);
  CreatePreview();
  CreateThumbnails();
  QWidget* navigator = CreateNavigator();
  QLayout* side = CreateSidePanel();

  auto* middle = new QVBoxLayout;
  middle->addWidget(preview_, 1);
  middle->addWidget(navigator);
  middle->addWidget(CreateZoom());

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(thumbnails_);
  layout->addLayout(middle, 1);
  layout->addLayout(side);

  RebuildThumbnails();
  UpdateNavigator();
  UpdatePictures();
  UpdateZoomText();
}

// The current printer, set up for the record.
void TPreviewForm::SetUpPrinter() {
  printer_->setDocName(PrintedDocumentName(record_));
  printer_->setCollateCopies(true);
  printer_->setDuplex(QPrinter::DuplexNone);
  printer_->setColorMode(QPrinter::Color);
  printer_->setPrintRange(QPrinter::AllPages);
  printer_->setFullPage(false);
  printer_->setPageMargins(QMarginsF(kMarginInch, kMarginInch, kMarginInch, kMarginInch),
                           QPageLayout::Inch);
}

// The text laid out on the printer's pages, in the print font.
void TPreviewForm::SetUpDocument(const QString& text) {
  document_.setDocumentMargin(0);
  document_.setDefaultFont(PrintFont());
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  document_.setDefaultTextOption(option);
  document_.documentLayout()->setPaintDevice(printer_.get());
  chart_lines::HideGlyphs(&document_);  // DrawSheet draws the chart lines
  document_.setPlainText(ToDisplayText(text));
  LayOutHeader();
}

QFont TPreviewForm::HeaderFont(double points, bool bold) const {
  QFont f = PrintFont();
  // In the device's pixels, so that the header scales with the page on
  // every painter (the preview's small pages, the thumbnails).
  f.setPixelSize(std::max(1, qRound(points * printer_->resolution() / 72.0)));
  f.setBold(bold);
  return f;
}

// The header's lines laid out for the page's width, the heights of header
// and footer, and the text's pages between them.
void TPreviewForm::LayOutHeader() {
  const QRectF page = PageRect();
  const double point = printer_->resolution() / 72.0;
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  auto layOut = [&](const QString& text, const QFont& font) {
    auto layout = std::make_unique<QTextLayout>(text, font, printer_.get());
    layout->setTextOption(option);
    layout->beginLayout();
    qreal y = 0;
    for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
      line.setLineWidth(page.width());
      line.setPosition(QPointF(0, y));
      y += line.height();
    }
    layout->endLayout();
    return layout;
  };
  titleLayout_ = layOut(PrintedTitle(record_), HeaderFont(kTitlePoints, true));
  detailsLayout_ = layOut(PrintedDetails(record_), HeaderFont(kDetailPoints, false));
  const QFont footer = HeaderFont(kDetailPoints, false);
  headerHeight_ = titleLayout_->boundingRect().height() + kTitleGap * point +
                  detailsLayout_->boundingRect().height() + (kRuleGap + kRulePoints + kTextGap) * point;
  footerHeight_ = kFooterGap * point + QFontMetricsF(footer, printer_.get()).height();
  // At least a tenth of the page for the text, whatever the paper.
  const qreal body = std::max(page.height() / 10, page.height() - headerHeight_ - footerHeight_);
  document_.setPageSize(QSizeF(page.width(), body));
}

void TPreviewForm::CreatePreview() {
  preview_ = new QPrintPreviewWidget(printer_.get(), this);
  preview_->setObjectName(QStringLiteral("GmPreview1"));
  preview_->setViewMode(QPrintPreviewWidget::SinglePageView);
  preview_->setZoomMode(QPrintPreviewWidget::CustomZoom);
  preview_->setZoomFactor(kZoom);
  connect(preview_, &QPrintPreviewWidget::paintRequested, this, &TPreviewForm::PaintPreview);
  // A new preview, or another page scrolled into view.
  connect(preview_, &QPrintPreviewWidget::previewChanged, this, &TPreviewForm::UpdateNavigator);
}

void TPreviewForm::CreateThumbnails() {
  thumbnails_ = new QListWidget(this);
  thumbnails_->setObjectName(QStringLiteral("GmThumbnails1"));
  thumbnails_->setViewMode(QListView::IconMode);
  thumbnails_->setFlow(QListView::TopToBottom);
  thumbnails_->setWrapping(false);
  thumbnails_->setMovement(QListView::Static);
  thumbnails_->setResizeMode(QListView::Adjust);
  thumbnails_->setSpacing(6);
  thumbnails_->setFixedWidth(kThumbWidth + 40);
  connect(thumbnails_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0 && row + 1 != preview_->currentPage()) preview_->setCurrentPage(row + 1);
    UpdateNavigator();
  });
}

// The page navigator under the preview: first, prior, "第 n 页 / 共 m 页",
// next, last.
QWidget* TPreviewForm::CreateNavigator() {
  auto* navigator = new QWidget(this);
  navigator->setObjectName(QStringLiteral("GmPageNavigator1"));
  auto* nav = new QHBoxLayout(navigator);
  nav->setContentsMargins(0, 0, 0, 0);
  auto navButton = [&](const char* name, const QString& caption, auto target) {
    auto* b = new QToolButton(navigator);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(caption);
    connect(b, &QToolButton::clicked, this, [this, target] {
      preview_->setCurrentPage(std::clamp(target(preview_->currentPage(), preview_->pageCount()), 1,
                                          std::max(1, preview_->pageCount())));
      UpdateNavigator();
    });
    nav->addWidget(b);
  };
  navButton("btnFirstPage", QStringLiteral("|◀"), [](int, int) { return 1; });
  navButton("btnPriorPage", QStringLiteral("◀"), [](int page, int) { return page - 1; });
  pageLabel_ = new QLabel(navigator);
  pageLabel_->setObjectName(QStringLiteral("lblPage"));
  pageLabel_->setAlignment(Qt::AlignCenter);
  pageLabel_->setMinimumWidth(110);
  nav->addWidget(pageLabel_);
  navButton("btnNextPage", QStringLiteral("▶"), [](int page, int) { return page + 1; });
  navButton("btnLastPage", QStringLiteral("▶|"), [](int, int count) { return count; });
  nav->insertStretch(0, 1);
  nav->addStretch(1);
  return navigator;
}

void TPreviewForm::CreatePaperList() {
  paper_ = new QComboBox(this);
  paper_->setObjectName(QStringLiteral("GmPropertyComboBox2"));
  paper_->addItems(PaperNames());
  {
    const QPageSize::PageSizeId current = printer_->pageLayout().pageSize().id();
    int index = paper_->findText(QStringLiteral("Custom"));
    for (int i = 0; i < paper_->count(); ++i)
      if (const auto size = PaperSize(paper_->itemText(i)); size && size->id() == current) index = i;
    paper_->setCurrentIndex(index);
  }
  connect(paper_, &QComboBox::textActivated, this, &TPreviewForm::SetPaper);
}

// A picture of the page with buttons for portrait and landscape.
QWidget* TPreviewForm::CreateOrientation() {
  auto* orientation = new QGroupBox(QStringLiteral("方向"), this);
  orientation->setObjectName(QStringLiteral("GmPropertyGraphic1"));
  orientationPicture_ = new QLabel(orientation);
  orientationPicture_->setAlignment(Qt::AlignCenter);
  portrait_ = new QToolButton(orientation);
  portrait_->setObjectName(QStringLiteral("btnPortrait"));
  portrait_->setText(QStringLiteral("纵向"));
  portrait_->setCheckable(true);
  landscape_ = new QToolButton(orientation);
  landscape_->setObjectName(QStringLiteral("btnLandscape"));
  landscape_->setText(QStringLiteral("横向"));
  landscape_->setCheckable(true);
  // One of the two is always down (the skin shows it), as on the paper.
  orientationGroup_ = new QButtonGroup(orientation);
  orientationGroup_->setExclusive(true);
  orientationGroup_->addButton(portrait_);
  orientationGroup_->addButton(landscape_);
  connect(portrait_, &QToolButton::clicked, this, [this] { SetOrientation(QPageLayout::Portrait); });
  connect(landscape_, &QToolButton::clicked, this, [this] { SetOrientation(QPageLayout::Landscape); });
  auto* orientationLayout = new QGridLayout(orientation);
  orientationLayout->addWidget(orientationPicture_, 0, 0, 1, 2);
  orientationLayout->addWidget(portrait_, 1, 0);
  orientationLayout->addWidget(landscape_, 1, 1);
  return orientation;
}

void TPreviewForm::CreateMarginsBox() {
  margins_ = new QCheckBox(QStringLiteral("显示边线"), this);
  margins_->setObjectName(QStringLiteral("CheckBox1"));
  margins_->setChecked(true);
  connect(margins_, &QCheckBox::toggled, this, &TPreviewForm::SetMarginsShown);
}

// A picture of the pages on a sheet with buttons for fewer and more.
QWidget* TPreviewForm::CreateSheets() {
  auto* sheets = new QGroupBox(QStringLiteral("每张页数"), this);
  sheets->setObjectName(QStringLiteral("GmPropertyGraphic2"));
  sheetPicture_ = new QLabel(sheets);
  sheetPicture_->setAlignment(Qt::AlignCenter);
  sheetText_ = new QLabel(sheets);
  sheetText_->setAlignment(Qt::AlignCenter);
  auto* fewer = new QToolButton(sheets);
  fewer->setObjectName(QStringLiteral("btnFewerPages"));
  fewer->setText(QStringLiteral("－"));
  auto* more = new QToolButton(sheets);
  more->setObjectName(QStringLiteral("btnMorePages"));
  more->setText(QStringLiteral("＋"));
  auto step = [this](int by) {
    const QList<int> choices = PagesPerSheetChoices();
    const int i = std::clamp(static_cast<int>(choices.indexOf(pagesPerSheet_)) + by, 0,
                             static_cast<int>(choices.size()) - 1);
    SetPagesPerSheet(choices[i]);
  };
  connect(fewer, &QToolButton::clicked, this, [step] { step(-1); });
  connect(more, &QToolButton::clicked, this, [step] { step(+1); });
  auto* sheetLayout = new QGridLayout(sheets);
  sheetLayout->addWidget(sheetPicture_, 0, 0, 1, 2);
  sheetLayout->addWidget(sheetText_, 1, 0, 1, 2);
  sheetLayout->addWidget(fewer, 2, 0);
  sheetLayout->addWidget(more, 2, 1);
  return sheets;
}

// "打印机：" the system's printers, the default one chosen; with none, the
// list says so.
QWidget* TPreviewForm::CreatePrinterChoice() {
  printers_ = new QComboBox(this);
  printers_->setObjectName(QStringLiteral("cbPrinter"));
  const QStringList names = QPrinterInfo::availablePrinterNames();
  if (names.isEmpty()) {
    printers_->addItem(QStringLiteral("（无打印机）"));
    printers_->setEnabled(false);
    printers_->setToolTip(QStringLiteral("系统中没有可用的打印机；可以用“输出PDF…”把它写成 PDF 文件"));
  } else {
    printers_->addItems(names);
    const int current = printers_->findText(printer_->printerName());
    printers_->setCurrentIndex(current >= 0 ? current : 0);
    if (current < 0) {
      const QPageLayout layout = printer_->pageLayout();
      printer_->setPrinterName(names.first());
      printer_->setPageLayout(layout);
    }
    printers_->setToolTip(QStringLiteral("在哪台打印机上打印"));
  }
  connect(printers_, &QComboBox::textActivated, this, &TPreviewForm::SetPrinterName);
  return printers_;
}

// Under the navigator: smaller, the zoom, larger.
QWidget* TPreviewForm::CreateZoom() {
  auto* bar = new QWidget(this);
  bar->setObjectName(QStringLiteral("pnlZoom"));
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(0, 0, 0, 0);
  auto* out = new QToolButton(bar);
  out->setObjectName(QStringLiteral("btnZoomOut"));
  out->setText(QStringLiteral("－"));
  out->setToolTip(QStringLiteral("缩小预览"));
  connect(out, &QToolButton::clicked, this, &TPreviewForm::ZoomOut);
  zoom_ = new QComboBox(bar);
  zoom_->setObjectName(QStringLiteral("cbZoom"));
  zoom_->setToolTip(QStringLiteral("预览的大小"));
  for (const int step : ZoomSteps()) zoom_->addItem(QStringLiteral("%1%").arg(step), step / 100.0);
  zoom_->addItem(QStringLiteral("适合宽度"), QStringLiteral("width"));
  zoom_->addItem(QStringLiteral("整页"), QStringLiteral("page"));
  connect(zoom_, &QComboBox::activated, this, [this](int index) {
    const QVariant choice = zoom_->itemData(index);
    if (choice == QStringLiteral("width")) FitWidth();
    else if (choice == QStringLiteral("page")) FitPage();
    else SetZoom(choice.toDouble());
  });
  auto* in = new QToolButton(bar);
  in->setObjectName(QStringLiteral("btnZoomIn"));
  in->setText(QStringLiteral("＋"));
  in->setToolTip(QStringLiteral("放大预览"));
  connect(in, &QToolButton::clicked, this, &TPreviewForm::ZoomIn);
  row->addStretch(1);
  row->addWidget(new QLabel(QStringLiteral("缩放："), bar));
  row->addWidget(out);
  row->addWidget(zoom_);
  row->addWidget(in);
  row->addStretch(1);
  return bar;
}

// On the right: the printer, the paper, the orientation, the margin lines,
// the pages per sheet, and the buttons "打印", "选择打印机…" and "输出PDF…".
QLayout* TPreviewForm::CreateSidePanel() {
  QWidget* printers = CreatePrinterChoice();
  CreatePaperList();
  QWidget* orientation = CreateOrientation();
  CreateMarginsBox();
  QWidget* sheets = CreateSheets();
  const auto [print, pdf] = CreateButtons();
  auto* choose = new QPushButton(QStringLiteral("选择打印机…"), this);
  choose->setObjectName(QStringLiteral("btnPrintDialog"));
  choose->setAutoDefault(false);
  choose->setToolTip(QStringLiteral("在系统的打印对话框中选择打印机、份数和页码范围，然后打印"));
  connect(choose, &QPushButton::clicked, this, &TPreviewForm::ChoosePrinterAndPrint);
  auto* side = new QVBoxLayout;
  side->addWidget(new QLabel(QStringLiteral("打印机："), this));
  side->addWidget(printers);
  side->addWidget(new QLabel(QStringLiteral("纸张："), this));
  side->addWidget(paper_);
  side->addWidget(orientation);
  side->addWidget(margins_);
  side->addWidget(sheets);
  side->addStretch(1);
  side->addWidget(print);
  side->addWidget(choose);
  side->addWidget(pdf);
  return side;
}

// "打印" and "输出PDF…".
std::pair<QPushButton*, QPushButton*> TPreviewForm::CreateButtons() {
  auto* print = new QPushButton(QStringLiteral("打印"), this);
  print->setObjectName(QStringLiteral("Button2"));
  print->setAutoDefault(false);
  print->setToolTip(QStringLiteral("在所选的打印机上打印全部页"));
  connect(print, &QPushButton::clicked, this, &TPreviewForm::PrintAll);

  auto* pdf = new QPushButton(QStringLiteral("输出PDF…"), this);
  pdf->setObjectName(QStringLiteral("btnExportPdf"));
  pdf->setAutoDefault(false);
  pdf->setToolTip(QStringLiteral("把这些页写成 PDF 文件，不需要打印机"));
  connect(pdf, &QPushButton::clicked, this, &TPreviewForm::ExportPdf);
  return {print, pdf};
}

TPreviewForm::~TPreviewForm() {
  // The preview holds the printer and the document paints for it: both go
  // after the widgets.
  delete preview_;
  preview_ = nullptr;
}

QRectF TPreviewForm::PageRect() const {
  const QRect r = printer_->pageLayout().paintRectPixels(printer_->resolution());
  return QRectF(0, 0, r.width(), r.height());
}

int TPreviewForm::PageCount() const { return std::max(1, document_.pageCount()); }

int TPreviewForm::SheetCount() const {
  return (PageCount() + pagesPerSheet_ - 1) / pagesPerSheet_;
}

namespace {

// The lines of the document laid out on one page (`page`, in document
// coordinates), each drawn whole and once: a line of the page before drawn
// here and clipped away would still stand in a PDF's text, found twice by
// a search and copied twice.
void DrawTextPage(QPainter& painter, const QTextDocument& document, const QRectF& page) {
  const QAbstractTextDocumentLayout* layout = document.documentLayout();
  const int hit = layout->hitTest(page.topLeft(), Qt::FuzzyHit);
  QTextBlock block = hit >= 0 ? document.findBlock(hit) : document.begin();
  if (!block.isValid()) block = document.begin();
  if (block.previous().isValid()) block = block.previous();
  painter.save();
  painter.setPen(Qt::black);
  for (; block.isValid(); block = block.next()) {
    if (layout->blockBoundingRect(block).top() > page.bottom()) break;
    const QTextLayout* lines = block.layout();
    if (lines == nullptr || !block.isVisible()) continue;
    for (int i = 0; i < lines->lineCount(); ++i) {
      const QTextLine line = lines->lineAt(i);
      const qreal middle = lines->position().y() + line.y() + line.height() / 2;
      if (middle >= page.top() && middle < page.bottom()) line.draw(&painter, lines->position());
    }
  }
  painter.restore();
}

}  // namespace

void TPreviewForm::DrawSheet(QPainter& painter, int sheet, bool marginLines) const {
  const QRectF area = PageRect();
  const QSizeF page = area.size();
  auto [cols, rows] = Grid(pagesPerSheet_);
  if (area.width() > area.height()) std::swap(cols, rows);
  const double cw = area.width() / cols;
  const double ch = area.height() / rows;
  const double scale = std::min(cw / page.width(), ch / page.height());
  for (int k = 0; k < pagesPerSheet_; ++k) {
    const int index = sheet * pagesPerSheet_ + k;
    if (index >= PageCount()) break;
    const QRectF cell(area.left() + (k % cols) * cw, area.top() + (k / cols) * ch, cw, ch);
    painter.save();
    painter.translate(cell.left() + (cw - page.width() * scale) / 2,
                      cell.top() + (ch - page.height() * scale) / 2);
    painter.scale(scale, scale);
    DrawPage(painter, index);
    painter.restore();
  }
  if (marginLines) {
    // Dotted silver lines along the margins, across the whole paper.
    const int dpi = printer_->resolution();
    const QRect paint = printer_->pageLayout().paintRectPixels(dpi);
    const QRectF paper =
        QRectF(printer_->pageLayout().fullRectPixels(dpi)).translated(-paint.topLeft());
    QPen pen(QColor(192, 192, 192), std::max(1.0, dpi / 96.0), Qt::DotLine);
    painter.save();
    painter.setPen(pen);
    painter.drawLine(QPointF(area.left(), paper.top()), QPointF(area.left(), paper.bottom()));
    painter.drawLine(QPointF(area.right(), paper.top()), QPointF(area.right(), paper.bottom()));
    painter.drawLine(QPointF(paper.left(), area.top()), QPointF(paper.right(), area.top()));
    painter.drawLine(QPointF(paper.left(), area.bottom()), QPointF(paper.right(), area.bottom()));
    painter.restore();
  }
}

// One page, its top-left corner at the painter's origin: the header, a
// rule, the page's part of the text and the footer.
void TPreviewForm::DrawPage(QPainter& painter, int index) const {
  const QRectF area = PageRect();
  const double point = printer_->resolution() / 72.0;
  painter.save();
  painter.setPen(Qt::black);
  titleLayout_->draw(&painter, QPointF(0, 0));
  const qreal detailsTop = titleLayout_->boundingRect().height() + kTitleGap * point;
  detailsLayout_->draw(&painter, QPointF(0, detailsTop));
  const qreal rule = detailsTop + detailsLayout_->boundingRect().height() + kRuleGap * point;
  painter.fillRect(QRectF(0, rule, area.width(), kRulePoints * point), kRuleColour);
  painter.restore();

  const QSizeF body = document_.pageSize();
  painter.save();
  painter.translate(0, headerHeight_ - index * body.height());
  const QRectF contents(0, index * body.height(), body.width(), body.height());
  DrawTextPage(painter, document_, contents);
  chart_lines::DrawDocument(painter, document_, contents, chart_lines::Ink{});
  painter.restore();

  painter.save();
  painter.setPen(Qt::black);
  painter.setFont(HeaderFont(kDetailPoints, false));
  const QRectF foot(0, area.height() - footerHeight_ + kFooterGap * point, area.width(),
                    footerHeight_ - kFooterGap * point);
  painter.drawText(foot, Qt::AlignHCenter | Qt::AlignTop, PageFooter(index + 1, PageCount()));
  painter.restore();
}

QString TPreviewForm::DrawnText() const {
  QString text = PrintedTitle(record_) + QLatin1Char('\n') + PrintedDetails(record_) + QLatin1Char('\n') +
                 record_.text;
  for (int page = 1; page <= PageCount(); ++page) text += QLatin1Char('\n') + PageFooter(page, PageCount());
  return text;
}

QList<QRawFont> TPreviewForm::DrawingFonts() const {
  QList<QRawFont> fonts;
  for (const QFont& font : {PrintFont(), HeaderFont(kTitlePoints, true), HeaderFont(kDetailPoints, false)}) {
    QFont sized = font;
    if (sized.pixelSize() <= 0) sized.setPixelSize(12);
    const QRawFont raw = QRawFont::fromFont(sized);
    if (raw.isValid()) fonts << raw;
  }
  return fonts;
}

QByteArray TPreviewForm::MendedPdf(const QByteArray& pdf) const {
  return MendPdfTextLayer(pdf, DrawnText(), DrawingFonts());
}

void TPreviewForm::PaintPreview(QPrinter* printer) {
  QPainter painter(printer);
  for (int s = 0; s < SheetCount(); ++s) {
    if (s > 0) printer->newPage();
    DrawSheet(painter, s, marginsShown_);
  }
}

void TPreviewForm::PrintSheets(QPainter& painter, QPagedPaintDevice& device, int first, int last) const {
  for (int s = first; s <= last; ++s) {
    if (s > first) device.newPage();
    DrawSheet(painter, s, false);
  }
}

namespace {

// A PDF file that a printer wrote (the system's dialog can print to a
// file): its text layer mended in place. Nothing is said when that fails:
// the file is a sound PDF either way.
void MendPdfFile(const QString& fileName, const std::function<QByteArray(const QByteArray&)>& mend) {
  QFile in(fileName);
  if (!in.open(QIODevice::ReadOnly)) return;
  const QByteArray pdf = in.readAll();
  in.close();
  const QByteArray mended = mend(pdf);
  if (mended == pdf) return;
  QSaveFile out(fileName);
  if (out.open(QIODevice::WriteOnly) && out.write(mended) == mended.size()) out.commit();
}

}  // namespace

void TPreviewForm::PrintAll() {
  printer_->setPrintRange(QPrinter::AllPages);
  QPainter painter;
  if (!painter.begin(printer_.get())) {
    skin::ShowError(this, QStringLiteral("无法在当前打印机上打印。可以用“输出PDF…”把它写成 PDF 文件。"));
    return;
  }
  PrintSheets(painter, *printer_, 0, SheetCount() - 1);
  painter.end();
  if (printer_->outputFormat() == QPrinter::PdfFormat && !printer_->outputFileName().isEmpty())
    MendPdfFile(printer_->outputFileName(), [this](const QByteArray& pdf) { return MendedPdf(pdf); });
}

void TPreviewForm::ChoosePrinterAndPrint() {
  printer_->setPrintRange(QPrinter::AllPages);
  printer_->setFromTo(1, SheetCount());
  bool confirmed = false;
  if (DialogHook()) {
    confirmed = DialogHook()(printer_.get());
  } else {
    QPrintDialog dialog(printer_.get(), this);
    dialog.setWindowTitle(QStringLiteral("选择打印机"));
    dialog.setMinMax(1, SheetCount());
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, true);
    confirmed = dialog.exec() == QDialog::Accepted;
  }
  // The dialog may have chosen another printer, paper or orientation.
  ShowPrinterSettings();
  if (!confirmed) return;
  int first = 0, last = SheetCount() - 1;
  if (printer_->printRange() == QPrinter::PageRange && printer_->fromPage() > 0) {
    first = std::clamp(printer_->fromPage() - 1, 0, last);
    last = std::clamp(printer_->toPage() - 1, first, last);
  } else if (printer_->printRange() == QPrinter::CurrentPage) {
    first = last = std::clamp(preview_->currentPage() - 1, 0, last);
  }
  QPainter painter;
  if (!painter.begin(printer_.get())) {
    skin::ShowError(this, QStringLiteral("无法在所选的打印机上打印。"));
    return;
  }
  PrintSheets(painter, *printer_, first, last);
  painter.end();
  if (printer_->outputFormat() == QPrinter::PdfFormat && !printer_->outputFileName().isEmpty())
    MendPdfFile(printer_->outputFileName(), [this](const QByteArray& pdf) { return MendedPdf(pdf); });
}

QByteArray TPreviewForm::PdfBytes() const {
  // The current printer's page layout and resolution, so that the sheets
  // come out as the preview lays them out.
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter pdf(&buffer);
    pdf.setResolution(printer_->resolution());
    pdf.setPageLayout(printer_->pageLayout());
    pdf.setTitle(printer_->docName());
    pdf.setCreator(QString::fromLatin1(skin::kProductName));
    QPainter painter;
    if (!painter.begin(&pdf)) return QByteArray();
    PrintSheets(painter, pdf, 0, SheetCount() - 1);
    if (!painter.end()) return QByteArray();
  }
  return MendedPdf(buffer.data());
}

QString TPreviewForm::WritePdf(const QString& fileName) const {
  const QString cannot = QStringLiteral("无法写入文件：%1").arg(QDir::toNativeSeparators(fileName));
  const QByteArray pdf = PdfBytes();
  if (pdf.isEmpty()) return cannot;
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly)) return cannot + QStringLiteral("\n") + file.errorString();
  if (file.write(pdf) != pdf.size() || !file.commit()) {
    const QString error = file.errorString();
    file.cancelWriting();
    return cannot + QStringLiteral("\n") + error;
  }
  return QString();
}

void TPreviewForm::ExportPdf() {
  const QString fileName =
      AskSaveFileName(this, QStringLiteral("PDF 文件(*.pdf)"), QStringLiteral("pdf"), true);
  if (fileName.isEmpty()) return;
  const QString error = WritePdf(fileName);
  if (!error.isEmpty()) skin::ShowError(this, error);
}

void TPreviewForm::Relayout() {
  LayOutHeader();
  preview_->updatePreview();
  RebuildThumbnails();
  UpdateNavigator();
  UpdatePictures();
}

void TPreviewForm::SetPaper(const QString& name) {
  const int index = paper_->findText(name);
  if (index < 0) return;
  if (paper_->currentIndex() != index) paper_->setCurrentIndex(index);
  if (const std::optional<QPageSize> size = PaperSize(name)) printer_->setPageSize(*size);
  Relayout();
}

void TPreviewForm::SetOrientation(QPageLayout::Orientation orientation) {
  printer_->setPageOrientation(orientation);
  Relayout();
}

void TPreviewForm::SetPagesPerSheet(int pages) {
  if (!PagesPerSheetChoices().contains(pages)) return;
  pagesPerSheet_ = pages;
  Relayout();
}

void TPreviewForm::SetMarginsShown(bool shown) {
  marginsShown_ = shown;
  if (margins_->isChecked() != shown) margins_->setChecked(shown);
  preview_->updatePreview();
}

void TPreviewForm::SetPrinterName(const QString& name) {
  const int index = printers_->findText(name);
  if (index < 0 || !printers_->isEnabled()) return;
  if (printers_->currentIndex() != index) printers_->setCurrentIndex(index);
  // A printer of its own keeps the paper and orientation chosen here.
  const QPageLayout layout = printer_->pageLayout();
  printer_->setPrinterName(name);
  printer_->setPageLayout(layout);
  Relayout();
}

void TPreviewForm::ShowPrinterSettings() {
  const int printer = printers_->findText(printer_->printerName());
  if (printer >= 0 && printers_->isEnabled()) printers_->setCurrentIndex(printer);
  const QPageSize::PageSizeId current = printer_->pageLayout().pageSize().id();
  int index = paper_->findText(QStringLiteral("Custom"));
  for (int i = 0; i < paper_->count(); ++i)
    if (const auto size = PaperSize(paper_->itemText(i)); size && size->id() == current) index = i;
  paper_->setCurrentIndex(index);
  Relayout();
}

void TPreviewForm::SetZoom(double factor) {
  preview_->setZoomMode(QPrintPreviewWidget::CustomZoom);
  preview_->setZoomFactor(std::clamp(factor, ZoomSteps().first() / 100.0, ZoomSteps().last() / 100.0));
  UpdateZoomText();
}

void TPreviewForm::FitWidth() {
  preview_->fitToWidth();
  UpdateZoomText();
}

void TPreviewForm::FitPage() {
  preview_->fitInView();
  UpdateZoomText();
}

void TPreviewForm::ZoomIn() {
  const double now = preview_->zoomFactor();
  for (const int step : ZoomSteps())
    if (step / 100.0 > now + 1e-6) return SetZoom(step / 100.0);
}

void TPreviewForm::ZoomOut() {
  const double now = preview_->zoomFactor();
  const QList<int> steps = ZoomSteps();
  for (auto it = steps.crbegin(); it != steps.crend(); ++it)
    if (*it / 100.0 < now - 1e-6) return SetZoom(*it / 100.0);
}

void TPreviewForm::UpdateZoomText() {
  if (!zoom_) return;
  const QSignalBlocker block(zoom_);
  switch (preview_->zoomMode()) {
    case QPrintPreviewWidget::FitToWidth: zoom_->setCurrentIndex(zoom_->findData(QStringLiteral("width"))); return;
    case QPrintPreviewWidget::FitInView: zoom_->setCurrentIndex(zoom_->findData(QStringLiteral("page"))); return;
    default: break;
  }
  const double factor = preview_->zoomFactor();
  const QString text = QStringLiteral("%1%").arg(qRound(factor * 100));
  int index = zoom_->findText(text);
  if (index < 0) {
    // A factor between the steps: shown as it is, in a row of its own
    // after the fixed ones.
    const int fixed = static_cast<int>(ZoomSteps().size()) + 2;
    if (zoom_->count() == fixed) zoom_->addItem(QString());
    index = fixed;
    zoom_->setItemText(index, text);
    zoom_->setItemData(index, factor);
  }
  zoom_->setCurrentIndex(index);
}

void TPreviewForm::RebuildThumbnails() {
  const QSignalBlocker block(thumbnails_);
  thumbnails_->clear();
  const int dpi = printer_->resolution();
  const QRect paper = printer_->pageLayout().fullRectPixels(dpi);
  const QRect paint = printer_->pageLayout().paintRectPixels(dpi);
  if (paper.width() <= 0 || paper.height() <= 0) return;
  const double scale = double(kThumbWidth) / paper.width();
  const QSize size(kThumbWidth, std::max(1, qRound(paper.height() * scale)));
  thumbnails_->setIconSize(size);
  for (int s = 0; s < SheetCount(); ++s) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::white);
    {
      QPainter p(&pixmap);
      p.setRenderHint(QPainter::Antialiasing);
      p.setRenderHint(QPainter::TextAntialiasing);
      p.scale(scale, scale);
      p.translate(paint.topLeft());
      DrawSheet(p, s, false);
      p.resetTransform();
      p.setPen(QColor(128, 128, 128));
      p.drawRect(QRect(QPoint(0, 0), size).adjusted(0, 0, -1, -1));
    }
    auto* item = new QListWidgetItem(QIcon(pixmap), QString::number(s + 1), thumbnails_);
    item->setTextAlignment(Qt::AlignHCenter);
  }
}

void TPreviewForm::UpdateNavigator() {
  const int count = std::max(1, preview_->pageCount());
  const int current = std::clamp(preview_->currentPage(), 1, count);
  pageLabel_->setText(QStringLiteral("第 %1 页 / 共 %2 页").arg(current).arg(count));
  const QSignalBlocker block(thumbnails_);
  thumbnails_->setCurrentRow(current - 1);
}

void TPreviewForm::UpdatePictures() {
  const bool wide = printer_->pageLayout().orientation() == QPageLayout::Landscape;
  portrait_->setChecked(!wide);
  landscape_->setChecked(wide);
  auto sheetPicture = [](bool landscape, int pages) {
    QPixmap pm(48, 48);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    const QRect page = landscape ? QRect(4, 12, 40, 28) : QRect(10, 4, 28, 40);
    p.fillRect(page, Qt::white);
    p.setPen(QColor(64, 64, 64));
    p.drawRect(page);
    auto [cols, rows] = Grid(pages);
    if (landscape) std::swap(cols, rows);
    p.setPen(QColor(128, 128, 128));
    for (int c = 1; c < cols; ++c)
      p.drawLine(page.left() + page.width() * c / cols, page.top(),
                 page.left() + page.width() * c / cols, page.bottom());
    for (int r = 1; r < rows; ++r)
      p.drawLine(page.left(), page.top() + page.height() * r / rows, page.right(),
                 page.top() + page.height() * r / rows);
    return pm;
  };
  orientationPicture_->setPixmap(sheetPicture(wide, 1));
  sheetPicture_->setPixmap(sheetPicture(wide, pagesPerSheet_));
  sheetText_->setText(QStringLiteral("每张 %1 页").arg(pagesPerSheet_));
}

// ---------------------------------------------------------------------------
// PrintText

void PrintText(QWidget* parent, const PrintedRecord& record, const QString& directory) {
  if (!directory.isEmpty()) {
    const QString path = QDir(directory).filePath(QString::fromLatin1(kPrintRtfName));
    QSaveFile rtf(path);
    const QByteArray bytes = RtfDocument(record.text);
    // The case's text is private: owner-only before a byte is written (the
    // new file would otherwise take the old one's or the umask's rights).
    if (!rtf.open(QIODevice::WriteOnly) ||
        !rtf.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        rtf.write(bytes) != bytes.size() || !rtf.commit()) {
      const QString error = rtf.errorString();
      rtf.cancelWriting();
      skin::ShowError(parent, error);
      return;
    }
  }
  TPreviewForm form(record, parent);
  form.exec();
}
