#pragma once
// Printing the current record's text: the print window TPreviewForm with
// its page preview, and PrintText, which writes "tmp.rtf" and shows the
// window. Qt Print Support is the print-preview engine: QPrinter is the
// current printer, QTextDocument lays the text out on its pages and
// QPrintPreviewWidget shows them.
//
// The text is set in the monospaced CJK font of the preview pane, 12 pixels
// high on the screen (9 points on paper), so that the columns of a chart,
// whose Chinese characters are two ASCII columns wide, stay in line on
// paper.

#include <QByteArray>
#include <QDialog>
#include <QFont>
#include <QList>
#include <QPageLayout>
#include <QPageSize>
#include <QString>
#include <QStringList>
#include <QTextDocument>
#include <memory>
#include <optional>
#include <utility>

class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QListWidget;
class QPainter;
class QPrintPreviewWidget;
class QPrinter;
class QPushButton;
class QToolButton;

// The paper list of the print window, in its order, and the page size each
// entry stands for ("Custom" stands for none: it keeps the current size).
QStringList PaperNames();
std::optional<QPageSize> PaperSize(const QString& name);

// The numbers of pages per sheet the print window offers, in order.
QList<int> PagesPerSheetChoices();

// The font of the printed text: the preview pane's monospaced CJK font at
// 12 screen pixels (9 points).
QFont PrintFont();

// The text as an RTF document: one paragraph per line (CR LF, CR or LF
// ending a line), set in PrintFont(); characters beyond ASCII as \u escapes.
QByteArray RtfDocument(const QString& text);

class TPreviewForm : public QDialog {
  Q_OBJECT

 public:
  // Lays the text out on the pages of the current printer (margins of half
  // an inch on all four sides).
  explicit TPreviewForm(const QString& text, QWidget* parent = nullptr);
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

  // Draws sheet `sheet` (0-based) onto a painter whose device has the
  // printer's page layout and resolution, its origin at the top-left
  // corner of the margins.
  void DrawSheet(QPainter& painter, int sheet, bool marginLines) const;

 public slots:
  // "打印": every sheet, first to last, on the current printer, without a
  // further dialog; the window stays open.
  void PrintAll();
  // "输出PDF…": asks for a file name ("PDF 文件(*.pdf)") and writes every
  // sheet there as the preview shows it, through QPrinter's PDF output; no
  // printer is needed. Errors are shown; the window stays open.
  void ExportPdf();

 public:
  // Writes every sheet to a PDF file. Returns an empty string on success,
  // else the message to show.
  QString WritePdf(const QString& fileName) const;

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
  std::pair<QPushButton*, QPushButton*> CreateButtons();

  void Relayout();           // after a change of paper, orientation or sheets
  void PaintPreview(QPrinter* printer);
  void RebuildThumbnails();
  void UpdateNavigator();
  void UpdatePictures();
  QRectF PageRect() const;   // the area inside the margins, device pixels

  std::unique_ptr<QPrinter> printer_;
  mutable QTextDocument document_;  // drawing it is not const
  int pagesPerSheet_ = 1;
  bool marginsShown_ = true;

  QPrintPreviewWidget* preview_ = nullptr;   // GmPreview1
  QListWidget* thumbnails_ = nullptr;        // GmThumbnails1
  QLabel* pageLabel_ = nullptr;              // GmPageNavigator1
  QComboBox* paper_ = nullptr;               // GmPropertyComboBox2
  QLabel* orientationPicture_ = nullptr;     // GmPropertyGraphic1
  QToolButton* portrait_ = nullptr;
  QToolButton* landscape_ = nullptr;
  QCheckBox* margins_ = nullptr;             // CheckBox1
  QLabel* sheetPicture_ = nullptr;           // GmPropertyGraphic2
  QLabel* sheetText_ = nullptr;
};

// "打印(&P)...": writes the text to "tmp.rtf" in `directory`, the
// casebook's own directory, readable and writable by the owner alone (an
// error is shown and nothing more happens if that fails), then shows the
// print window with the text modally. The file is overwritten by the next
// print and left there. Without a directory (no casebook is open) no file
// is written.
void PrintText(QWidget* parent, const QString& text, const QString& directory);

// The name of the RTF file PrintText writes.
inline const char kPrintRtfName[] = "tmp.rtf";
