#pragma once
// Printing a record: the print window TPreviewForm with its page preview,
// and PrintText, which writes "tmp.rtf" and shows the window. Qt Print
// Support is the print-preview engine: QPrinter is the current printer,
// QTextDocument lays the text out on its pages and QPrintPreviewWidget
// shows them.
//
// Each page carries a header with the record's title, querent, date and
// feedback, and a footer "第 N 页 / 共 M 页"; the record's text runs
// between them. The text is set in the monospaced CJK font of the preview
// pane, 12 pixels high on the screen (9 points on paper), so that the
// columns of a chart, whose Chinese characters are two ASCII columns wide,
// stay in line on paper. A PDF written here names the record's title as
// its title, and its text layer gives back the characters drawn
// (pdf_text_layer.h).

#include <QByteArray>
#include <QDate>
#include <QDialog>
#include <QFont>
#include <QList>
#include <QPageLayout>
#include <QPageSize>
#include <QString>
#include <QStringList>
#include <QTextDocument>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QListWidget;
class QPagedPaintDevice;
class QPainter;
class QPrintPreviewWidget;
class QPrinter;
class QPushButton;
class QRawFont;
class QTextLayout;
class QToolButton;

// A record as it is printed.
struct PrintedRecord {
  QString title;
  QString querent;
  QDate date;
  bool feedback = false;
  QString text;
};

// The header of a printed record: its title ("（无标题）" when it has none),
// and the line below it, "求占人：…　　时间：yyyy-MM-dd　　反馈：有" (反馈：无 without
// feedback; querent and date left out when empty).
QString PrintedTitle(const PrintedRecord& record);
QString PrintedDetails(const PrintedRecord& record);
// The footer of page `page` (1-based) of `pages`: "第 N 页 / 共 M 页".
QString PageFooter(int page, int pages);
// The title of the PDF and of the print job: the record's title, "无标题记录"
// when it has none.
QString PrintedDocumentName(const PrintedRecord& record);

// The paper list of the print window, in its order, and the page size each
// entry stands for ("Custom" stands for none: it keeps the current size).
QStringList PaperNames();
std::optional<QPageSize> PaperSize(const QString& name);

// The numbers of pages per sheet the print window offers, in order.
QList<int> PagesPerSheetChoices();

// The zoom steps of the preview, in per cent, smallest first.
QList<int> ZoomSteps();

// The font of the printed text: the preview pane's monospaced CJK font at
// 12 screen pixels (9 points).
QFont PrintFont();

// The text as an RTF document: one paragraph per line (CR LF, CR or LF
// ending a line), set in PrintFont(); characters beyond ASCII as \u escapes.
QByteArray RtfDocument(const QString& text);

class TPreviewForm : public QDialog {
  Q_OBJECT

 public:
  // Lays the record out on the pages of the current printer (the system's
  // default printer; margins of half an inch on all four sides).
  explicit TPreviewForm(const PrintedRecord& record, QWidget* parent = nullptr);
  ~TPreviewForm() override;

  QPrinter* Printer() const { return printer_.get(); }
  QPrintPreviewWidget* Preview() const { return preview_; }

  // The pages of the text on the current paper, and the sheets they take
  // with the current number of pages per sheet.
  int PageCount() const;
  int SheetCount() const;

  // The controls' actions, as the user sets them.
  void SetPaper(const QString& name);  // an entry of PaperNames()
  void SetOrientation(QPageLayout::Orientation orientation);
  void SetPagesPerSheet(int pages);     // one of PagesPerSheetChoices()
  void SetMarginsShown(bool shown);     // "显示边线"
  int PagesPerSheet() const { return pagesPerSheet_; }
  bool MarginsShown() const { return marginsShown_; }
  // "打印机：": one of the system's printers (QPrinterInfo), by name.
  void SetPrinterName(const QString& name);
  // The preview's zoom: a factor (1.0 is the paper's own size), or the
  // page's width or the whole page fitted into the view. Zooming in and
  // out goes to the next of ZoomSteps().
  void SetZoom(double factor);
  void FitWidth();
  void FitPage();
  void ZoomIn();
  void ZoomOut();

  // Where the text begins on a page, below the header: device pixels from
  // the top of the area inside the margins.
  qreal TextTop() const { return headerHeight_; }

  // Everything drawn on the pages: header, text and every page's footer.
  QString DrawnText() const;

  // Draws sheet `sheet` (0-based) onto a painter whose device has the
  // printer's page layout and resolution, its origin at the top-left
  // corner of the margins.
  void DrawSheet(QPainter& painter, int sheet, bool marginLines) const;

 public slots:
  // "打印": every sheet, first to last, on the current printer, without a
  // further dialog; the window stays open.
  void PrintAll();
  // "选择打印机…": the system's print dialog on the current printer (the
  // printer, its own settings, copies, the range of sheets); once it is
  // confirmed with its 打印, the chosen sheets are printed there. The
  // paper and orientation it chose are shown and laid out.
  void ChoosePrinterAndPrint();
  // "输出PDF…": asks for a file name ("PDF 文件(*.pdf)") and writes every
  // sheet there as the preview shows it, through QPrinter's PDF output; no
  // printer is needed. Errors are shown; the window stays open.
  void ExportPdf();

 public:
  // Writes every sheet to a PDF file (atomically: a failed write leaves
  // no half file and keeps an existing one whole). Returns an empty string
  // on success, else the message to show.
  QString WritePdf(const QString& fileName) const;
  // The same PDF, in memory.
  QByteArray PdfBytes() const;

 private:
  // The window's parts, made in this order.
  void SetUpPrinter();
  void SetUpDocument(const QString& text);
  void CreatePreview();
  void CreateThumbnails();
  QWidget* CreateNavigator();
  QLayout* CreateSidePanel();
  void CreatePaperList();
  QWidget* CreateOrientation();
  void CreateMarginsBox();
  QWidget* CreateSheets();
  QWidget* CreatePrinterChoice();
  QWidget* CreateZoom();
  std::pair<QPushButton*, QPushButton*> CreateButtons();

  void Relayout();           // after a change of paper, orientation or sheets
  void LayOutHeader();       // the header's lines for the page's width
  void PaintPreview(QPrinter* printer);
  // Sheets first to last (0-based) on a painter of the printer's kind.
  void PrintSheets(QPainter& painter, QPagedPaintDevice& device, int first, int last) const;
  void DrawPage(QPainter& painter, int index) const;
  void RebuildThumbnails();
  void UpdateNavigator();
  void UpdatePictures();
  void UpdateZoomText();
  void ShowPrinterSettings();  // paper, orientation after the system's dialog
  QRectF PageRect() const;   // the area inside the margins, device pixels
  QFont HeaderFont(double points, bool bold) const;  // in device pixels
  // The fonts the pages are drawn in, and a PDF's text layer mended for
  // them (pdf_text_layer.h).
  QList<QRawFont> DrawingFonts() const;
  QByteArray MendedPdf(const QByteArray& pdf) const;

  std::unique_ptr<QPrinter> printer_;
  PrintedRecord record_;
  mutable QTextDocument document_;  // drawing it is not const
  std::unique_ptr<QTextLayout> titleLayout_;
  std::unique_ptr<QTextLayout> detailsLayout_;
  qreal headerHeight_ = 0;   // device pixels, from the top of the page to the text
  qreal footerHeight_ = 0;   // from the end of the text to the foot of the page
  int pagesPerSheet_ = 1;
  bool marginsShown_ = true;

  QPrintPreviewWidget* preview_ = nullptr;   // GmPreview1
  QListWidget* thumbnails_ = nullptr;        // GmThumbnails1
  QLabel* pageLabel_ = nullptr;              // GmPageNavigator1
  QComboBox* paper_ = nullptr;               // GmPropertyComboBox2
  QLabel* orientationPicture_ = nullptr;     // GmPropertyGraphic1
  QToolButton* portrait_ = nullptr;
  QToolButton* landscape_ = nullptr;
  QButtonGroup* orientationGroup_ = nullptr;
  QComboBox* printers_ = nullptr;            // "打印机："
  QComboBox* zoom_ = nullptr;
  QCheckBox* margins_ = nullptr;             // CheckBox1
  QLabel* sheetPicture_ = nullptr;           // GmPropertyGraphic2
  QLabel* sheetText_ = nullptr;
};

// "打印(&P)...": writes the record's text to "tmp.rtf" in `directory`, the
// casebook's own directory, readable and writable by the owner alone (an
// error is shown and nothing more happens if that fails), then shows the
// print window with the record modally. The file is overwritten by the next
// print and left there. Without a directory (no casebook is open) no file
// is written.
void PrintText(QWidget* parent, const PrintedRecord& record, const QString& directory);

// Test hook: while set, the system's print dialog is not shown; the hook
// gets the printer to set up and returns whether the user confirmed.
using PrintDialogHook = std::function<bool(QPrinter* printer)>;
void SetPrintDialogHook(PrintDialogHook hook);

// The name of the RTF file PrintText writes.
inline const char kPrintRtfName[] = "tmp.rtf";
