#include "preview_form.h"

#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QTextOption>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "chart_lines.h"
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

TPreviewForm::TPreviewForm(const QString& text, QWidget* parent)
    : QDialog(parent), printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
  setObjectName(QStringLiteral("PreviewForm"));
  setWindowTitle(QStringLiteral("打印"));
  setFixedSize(695, 568);
  setModal(true);

  SetUpPrinter();
  SetUpDocument(text);
  CreatePreview();
  CreateThumbnails();
  QWidget* navigator = CreateNavigator();
  QLayout* side = CreateSidePanel();

  auto* middle = new QVBoxLayout;
  middle->addWidget(preview_, 1);
  middle->addWidget(navigator);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(thumbnails_);
  layout->addLayout(middle, 1);
  layout->addLayout(side);

  RebuildThumbnails();
  UpdateNavigator();
  UpdatePictures();
}

// The current printer, set up for the record.
void TPreviewForm::SetUpPrinter() {
  printer_->setDocName(QStringLiteral("<document>"));
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
  document_.setPageSize(PageRect().size());
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

// On the right: the paper, the orientation, the margin lines, the pages per
// sheet, and the buttons "打印" and "输出PDF…".
QLayout* TPreviewForm::CreateSidePanel() {
  CreatePaperList();
  QWidget* orientation = CreateOrientation();
  CreateMarginsBox();
  QWidget* sheets = CreateSheets();
  const auto [print, pdf] = CreateButtons();
  auto* side = new QVBoxLayout;
  side->addWidget(new QLabel(QStringLiteral("纸张："), this));
  side->addWidget(paper_);
  side->addWidget(orientation);
  side->addWidget(margins_);
  side->addWidget(sheets);
  side->addStretch(1);
  side->addWidget(print);
  side->addWidget(pdf);
  return side;
}

// "打印" and "输出PDF…".
std::pair<QPushButton*, QPushButton*> TPreviewForm::CreateButtons() {
  auto* print = new QPushButton(QStringLiteral("打印"), this);
  print->setObjectName(QStringLiteral("Button2"));
  print->setAutoDefault(false);
  connect(print, &QPushButton::clicked, this, &TPreviewForm::PrintAll);

  auto* pdf = new QPushButton(QStringLiteral("输出PDF…"), this);
  pdf->setObjectName(QStringLiteral("btnExportPdf"));
  pdf->setAutoDefault(false);
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

void TPreviewForm::DrawSheet(QPainter& painter, int sheet, bool marginLines) const {
  const QRectF area = PageRect();
  const QSizeF page = document_.pageSize();
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
    painter.translate(0, -index * page.height());
    const QRectF contents(0, index * page.height(), page.width(), page.height());
    document_.drawContents(&painter, contents);
    chart_lines::DrawDocument(painter, document_, contents, chart_lines::Ink{});
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

void TPreviewForm::PaintPreview(QPrinter* printer) {
  QPainter painter(printer);
  for (int s = 0; s < SheetCount(); ++s) {
    if (s > 0) printer->newPage();
    DrawSheet(painter, s, marginsShown_);
  }
}

void TPreviewForm::PrintAll() {
  printer_->setPrintRange(QPrinter::AllPages);
  QPainter painter;
  if (!painter.begin(printer_.get())) {
    skin::ShowError(this, QStringLiteral("无法在当前打印机上打印。"));
    return;
  }
  for (int s = 0; s < SheetCount(); ++s) {
    if (s > 0) printer_->newPage();
    DrawSheet(painter, s, false);
  }
  painter.end();
}

QString TPreviewForm::WritePdf(const QString& fileName) const {
  // A printer of its own with the current printer's page layout and
  // resolution, so that the sheets come out as the preview lays them out.
  QPrinter pdf(QPrinter::HighResolution);
  pdf.setOutputFormat(QPrinter::PdfFormat);
  pdf.setOutputFileName(fileName);
  pdf.setResolution(printer_->resolution());
  pdf.setFullPage(false);
  pdf.setPageLayout(printer_->pageLayout());
  pdf.setDocName(printer_->docName());
  pdf.setCreator(QString::fromLatin1(skin::kProductName));
  QPainter painter;
  if (!painter.begin(&pdf))
    return QStringLiteral("无法写入文件：%1").arg(QDir::toNativeSeparators(fileName));
  for (int s = 0; s < SheetCount(); ++s) {
    if (s > 0) pdf.newPage();
    DrawSheet(painter, s, false);
  }
  if (!painter.end())
    return QStringLiteral("无法写入文件：%1").arg(QDir::toNativeSeparators(fileName));
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
  document_.setPageSize(PageRect().size());
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

void PrintText(QWidget* parent, const QString& text, const QString& directory) {
  if (!directory.isEmpty()) {
    const QString path = QDir(directory).filePath(QString::fromLatin1(kPrintRtfName));
    QSaveFile rtf(path);
    const QByteArray bytes = RtfDocument(text);
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
  TPreviewForm form(text, parent);
  form.exec();
}
