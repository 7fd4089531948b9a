// Saving a record as a text file and printing it, through the main window's
// commands: the file's bytes, write errors, the print window and its
// controls, tmp.rtf, and the pages printed on a PDF printer standing in for
// the current printer.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "casebook_store.h"
#include "folder_tree.h"
#include "main_form.h"
#include "main_form_parts.h"
#include "preview_form.h"
#include "skin.h"
#include "test_support.h"
#include "window_test.h"
#include "text_export.h"

using namespace main_form_parts;

namespace {

// A record text of the given number of short lines (no line wraps on any
// paper of the list), a chart-like block first, CR LF between lines.
QString LongText(int lines) {
  QStringList out = {
      QStringLiteral("┌──┬──┐"),
      QStringLiteral("│甲子│乙丑│ ab"),
      QStringLiteral("└──┴──┘"),
  };
  for (qsizetype i = out.size(); i < lines; ++i)
    out << QStringLiteral("第%1行　财运 notes %1").arg(i + 1);
  return out.join(QStringLiteral("\r\n"));
}

// The pages of a PDF as Qt writes it: one "/Type /Page" object per page.
int PdfPages(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return -1;
  const QByteArray pdf = f.readAll();
  if (!pdf.startsWith("%PDF-")) return -1;
  int pages = 0;
  auto it = QRegularExpression(QStringLiteral("/Type\\s*/Page(?![a-zA-Z])"))
                .globalMatch(QString::fromLatin1(pdf));
  while (it.hasNext()) {
    it.next();
    ++pages;
  }
  return pages;
}

// A small RTF reader, enough for the documents written here: groups, the
// font table skipped, \par, \tab, \uN with one stand-in character, escaped
// \ { }, other control words ignored. Returns null on a malformed document.
QString ReadRtf(const QByteArray& rtf) {
  if (!rtf.startsWith("{\\rtf1")) return QString();
  QString out;
  int depth = 0;
  int skipDepth = -1;  // inside the font table
  int skipChars = 0;   // stand-ins still to skip after \u
  for (qsizetype i = 0; i < rtf.size();) {
    const char c = rtf[i];
    if (static_cast<unsigned char>(c) >= 0x80) return QString();  // 7-bit only
    if (c == '{') {
      ++depth;
      ++i;
      if (rtf.mid(i, 8) == "\\fonttbl" && skipDepth < 0) skipDepth = depth;
      continue;
    }
    if (c == '}') {
      if (depth == skipDepth) skipDepth = -1;
      --depth;
      ++i;
      if (depth < 0) return QString();
      continue;
    }
    if (c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    if (c == '\\') {
      const char n = i + 1 < rtf.size() ? rtf[i + 1] : '\0';
      if (n == '\\' || n == '{' || n == '}') {
        if (skipDepth < 0) {
          if (skipChars > 0)
            --skipChars;
          else
            out += QLatin1Char(n);
        }
        i += 2;
        continue;
      }
      qsizetype j = i + 1;
      while (j < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[j]))) ++j;
      const QByteArray word = rtf.mid(i + 1, j - i - 1);
      qsizetype k = j;
      if (k < rtf.size() && (rtf[k] == '-' || std::isdigit(static_cast<unsigned char>(rtf[k])))) ++k;
      while (k < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[k]))) ++k;
      const QByteArray param = rtf.mid(j, k - j);
      if (k < rtf.size() && rtf[k] == ' ') ++k;  // the delimiter
      i = k;
      if (skipDepth >= 0) continue;
      if (word == "par") out += QLatin1Char('\n');
      else if (word == "tab") out += QLatin1Char('\t');
      else if (word == "u") {
        int v = param.toInt();
        if (v < 0) v += 65536;
        out += QChar(static_cast<char16_t>(v));
        skipChars = 1;
      }
      continue;
    }
    if (skipDepth < 0) {
      if (skipChars > 0)
        --skipChars;
      else
        out += QLatin1Char(c);
    }
    ++i;
  }
  if (depth != 0) return QString();
  return out.isNull() ? QStringLiteral("") : out;
}

QString Lf(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

}  // namespace

class ExportPrintTest : public WindowTest {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> work_;  // the working directory
  QString oldCurrent_;
  RowId folder_ = 0;
  RowId chart_ = 0;  // the long record
  RowId note_ = 0;   // a short one

  // Selects the folder and makes the record current. Checks as it goes: the
  // caller ends the test when it failed.
  static void Show(TMainForm& form, RowId record) {
    const auto found = Tree(form)->findItems(QStringLiteral("卦例"), Qt::MatchExactly | Qt::MatchRecursive);
    QVERIFY(found.size() == 1);
    Tree(form)->setCurrentItem(found.first());
    QVERIFY(form.Records()->locate(record));
  }

  // Runs "打印(&P)..." and drives the print window inside its modal loop.
  // Returns whether the window was shown.
  static bool WithPreview(TMainForm& form, const std::function<void(TPreviewForm*)>& drive) {
    bool shown = false;
    QTimer::singleShot(0, &form, [&] {
      auto* preview = qobject_cast<TPreviewForm*>(QApplication::activeModalWidget());
      if (!preview) return;
      shown = true;
      drive(preview);
      if (preview->isVisible()) preview->done(QDialog::Rejected);
    });
    form.findChild<QAction*>(QStringLiteral("actPrint"))->trigger();
    return shown;
  }

  // Prints the print window's sheets to a PDF file; returns its pages.
  static int PrintToPdf(TPreviewForm* preview, const QString& path) {
    preview->Printer()->setOutputFormat(QPrinter::PdfFormat);
    preview->Printer()->setOutputFileName(path);
    QTest::mouseClick(preview->findChild<QPushButton*>(QStringLiteral("Button2")), Qt::LeftButton);
    return PdfPages(path);
  }

 protected:
  void PrepareOnce() override {
    oldCurrent_ = QDir::currentPath();
  }

  void Prepare() override {
    work_ = std::make_unique<QTemporaryDir>();
    QVERIFY(work_->isValid());
    QVERIFY(QDir::setCurrent(work_->path()));
    CasebookStore s;
    s.OpenStore(dataDir_);
    folder_ = s.AddFolder(0, QStringLiteral("卦例"));
    chart_ = s.InsertRecord(folder_, {QStringLiteral("长"), QString(), QDate(2025, 1, 1), false, LongText(150)});
    note_ = s.InsertRecord(folder_, {QStringLiteral("短"), QString(), QDate(2025, 1, 2), false, QStringLiteral("一行 {braces} back\\slash\r\n￥ 12 和 tab\tend")});
  }

  void Finish() override {
    SetSaveDialogHook({});
    QDir::setCurrent(oldCurrent_);
    work_.reset();
  }

 private slots:
  // ---- save as text

  // The file holds the record's text byte for byte (UTF-8, CR LF as
  // stored); an existing file is replaced without a question.
  void saveAsText() {
    auto form = MakeForm();
    QVERIFY(form);
    const QString path = QDir(work_->path()).filePath(QStringLiteral("out.txt"));
    {
      QFile old(path);
      QVERIFY(old.open(QIODevice::WriteOnly));
      old.write(QByteArray(100000, 'x'));
    }
    QString filter, suffix;
    SetSaveDialogHook([&](const QString& f, const QString& s) {
      filter = f;
      suffix = s;
      return path;
    });
    // An existing file is replaced only when the user says so; 取消 (the
    // default) keeps it whole.
    Show(*form, chart_);
    if (QTest::currentTestFailed()) return;
    boxes_->answers << skin::Answer::Cancel;
    form->findChild<QAction*>(QStringLiteral("actSaveAsText"))->trigger();
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].caption, QStringLiteral("确认"));
    QCOMPARE(boxes_->shown[0].text,
             QStringLiteral("文件已存在，要替换它吗？\n") + QDir::toNativeSeparators(path));
    QCOMPARE(boxes_->shown[0].buttons, skin::Buttons::OkCancelDestructive);
    QCOMPARE(QFile(path).size(), 100000);
    for (const RowId record : {chart_, note_}) {
      Show(*form, record);
      if (QTest::currentTestFailed()) return;
      const QString text = form->Records()->currentText();
      boxes_->shown.clear();
      boxes_->answers << skin::Answer::Ok;
      form->findChild<QAction*>(QStringLiteral("actSaveAsText"))->trigger();
      QCOMPARE(boxes_->shown.size(), 1);  // the question, nothing else
      QCOMPARE(filter, QStringLiteral("文本文档(*.txt)"));
      QCOMPARE(suffix, QStringLiteral("txt"));
      QFile f(path);
      QVERIFY(f.open(QIODevice::ReadOnly));
      QCOMPARE(f.readAll(), text.toUtf8());
    }
    QVERIFY(QFile(path).size() > 0);
    boxes_->shown.clear();
    // Only the file itself: no temporary file is left beside it.
    QCOMPARE(QDir(work_->path()).entryList(QDir::Files), QStringList{QStringLiteral("out.txt")});

    // Cancelled: nothing written.
    SetSaveDialogHook([](const QString&, const QString&) { return QString(); });
    QFile::remove(path);
    form->findChild<QAction*>(QStringLiteral("actSaveAsText"))->trigger();
    QVERIFY(!QFile::exists(path));

    // No current record: said, and no file (not an empty one); the save
    // dialog is not even shown.
    bool asked = false;
    SetSaveDialogHook([&](const QString&, const QString&) {
      asked = true;
      return path;
    });
    QFile::remove(path);
    Tree(*form)->setCurrentItem(Tree(*form)->topLevelItem(0));
    QCOMPARE(form->Records()->count(), 0);
    form->findChild<QAction*>(QStringLiteral("actSaveAsText"))->trigger();
    QVERIFY(!asked);
    QVERIFY(!QFile::exists(path));
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].caption, QStringLiteral("提示"));
    QCOMPARE(boxes_->shown[0].text, QStringLiteral("请先选择一条记录。"));
  }

  // A target that cannot be written: the system's error text, and no file.
  void saveAsTextErrors() {
    auto form = MakeForm();
    QVERIFY(form);
    Show(*form, note_);
    if (QTest::currentTestFailed()) return;
    const QDir work(work_->path());
    QVERIFY(work.mkdir(QStringLiteral("adir")));
    QStringList targets = {
        work.filePath(QStringLiteral("missing/out.txt")),  // no such directory
        work.filePath(QStringLiteral("adir")),             // a directory
    };
    if (geteuid() != 0) {  // permissions do not bind the superuser
      QVERIFY(work.mkdir(QStringLiteral("locked")));
      QFile::setPermissions(work.filePath(QStringLiteral("locked")),
                            QFileDevice::ReadOwner | QFileDevice::ExeOwner);
      targets << work.filePath(QStringLiteral("locked/out.txt"));
    }
    for (const QString& target : targets) {
      boxes_->shown.clear();
      SetSaveDialogHook([&](const QString&, const QString&) { return target; });
      form->findChild<QAction*>(QStringLiteral("actSaveAsText"))->trigger();
      QCOMPARE(boxes_->shown.size(), 1);
      QCOMPARE(boxes_->shown[0].caption, QStringLiteral("Hexalore"));
      QVERIFY(!boxes_->shown[0].text.isEmpty());
      QVERIFY2(!QFileInfo(target).isFile(), qPrintable(target));
    }
    QVERIFY(QFileInfo(work.filePath(QStringLiteral("adir"))).isDir());
    QVERIFY(!QFileInfo::exists(work.filePath(QStringLiteral("missing"))));
    // Nothing half-written anywhere.
    QCOMPARE(work.entryList(QDir::Files), QStringList());
    if (geteuid() != 0)
      QFile::setPermissions(work.filePath(QStringLiteral("locked")),
                            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }

  // ---- the RTF document

  void rtfDocument() {
    // Written out by hand: 甲 is U+7532 = 30002, ￥ U+FFE5 = -27 as a
    // signed 16-bit number; the font is set at 9 points (18 half-points).
    const QByteArray expected =
        "{\\rtf1\\ansi\\ansicpg936\\deff0\\uc1{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset134 "
        "Noto Sans Mono CJK SC;}}\r\n"
        "\\viewkind4\\pard\\f0\\fs18 a\\{b\\}\\\\c\\tab d\\par\r\n"
        "\\u30002?\\u-27?\\par\r\n"
        "}\r\n";
    QCOMPARE(RtfDocument(QStringLiteral("a{b}\\c\td\r\n甲￥\r\n")), expected);
    QCOMPARE(ReadRtf(expected), QStringLiteral("a{b}\\c\td\n甲￥\n"));
    // The reader and the writer agree on a chart and on nothing at all.
    QCOMPARE(ReadRtf(RtfDocument(LongText(20))), Lf(LongText(20)));
    QCOMPARE(ReadRtf(RtfDocument(QString())), QString(""));
    // Beyond the BMP: two \u escapes, one per UTF-16 unit.
    QCOMPARE(ReadRtf(RtfDocument(QStringLiteral("\U0001F600"))), QStringLiteral("\U0001F600"));
  }

  // ---- printing

  // The print window, its controls, and the pages printed on a PDF printer
  // for a 150-line record. A4 less half an inch at top and bottom is 769.9
  // points high; the header takes about 41 of them (an 11-point title and
  // an 8-point line, their gaps and the rule) and the footer about 20 (the
  // 8-point line and the gap above it), which leaves about 709; a line of
  // the 9-point font is about 13 points (the font's line height is 1.45
  // em): 54 lines a page, so 150 lines take 3 pages (any 50 to 74 lines a
  // page would). A4 across: 523 points, 462 for the text, 35 lines, 5
  // pages (30 to 37 lines would). A3: 1118.6 points, 1058 for the text, 81
  // lines, 2 pages.
  void printWindow() {
    auto form = MakeForm();
    QVERIFY(form);
    Show(*form, chart_);
    if (QTest::currentTestFailed()) return;
    const QDir work(work_->path());
    struct Printed {
      QString what;
      int pages;
    };
    QList<Printed> printed;
    bool stayedOpen = true;
    const bool shown = WithPreview(*form, [&](TPreviewForm* p) {
      QCOMPARE(p->windowTitle(), QStringLiteral("打印"));
      QCOMPARE(p->size(), QSize(695, 568));
      QVERIFY(p->isModal());
      QPrintPreviewWidget* preview = p->Preview();
      QCOMPARE(preview->zoomMode(), QPrintPreviewWidget::CustomZoom);
      QVERIFY(qAbs(preview->zoomFactor() - 0.34) < 1e-9);
      const QMarginsF margins = p->Printer()->pageLayout().margins(QPageLayout::Inch);
      QCOMPARE(margins, QMarginsF(0.5, 0.5, 0.5, 0.5));
      // The print job, and a PDF, carry the record's title.
      QCOMPARE(p->Printer()->docName(), QStringLiteral("长"));
      QVERIFY(p->Printer()->collateCopies());
      QCOMPARE(p->Printer()->duplex(), QPrinter::DuplexNone);
      QCOMPARE(p->Printer()->colorMode(), QPrinter::Color);
      QCOMPARE(p->PagesPerSheet(), 1);
      auto* paper = p->findChild<QComboBox*>(QStringLiteral("GmPropertyComboBox2"));
      QStringList papers;
      for (int i = 0; i < paper->count(); ++i) papers << paper->itemText(i);
      QCOMPARE(papers, (QStringList{"A3", "A4", "A5", "A6", "B5", "C5", "Legal", "Letter", "Custom",
                                    "B4", "Envelope_09", "Envelope_10", "Envelope_11",
                                    "Envelope_12", "Envelope_14", "Tabloid", "Ledger", "Executive"}));
      auto* margin = p->findChild<QCheckBox*>(QStringLiteral("CheckBox1"));
      QCOMPARE(margin->text(), QStringLiteral("显示边线"));
      QVERIFY(margin->isChecked());
      QVERIFY(p->MarginsShown());

      // A4, upright: three pages, each with its thumbnail, and the
      // navigator moving through them.
      paper->setCurrentIndex(paper->findText(QStringLiteral("A4")));
      p->SetPaper(QStringLiteral("A4"));
      p->SetOrientation(QPageLayout::Portrait);
      QCOMPARE(p->Printer()->pageLayout().pageSize().id(), QPageSize::A4);
      QCOMPARE(p->PageCount(), 3);
      QCOMPARE(preview->pageCount(), 3);
      auto* thumbs = p->findChild<QListWidget*>(QStringLiteral("GmThumbnails1"));
      QCOMPARE(thumbs->count(), 3);
      for (int i = 0; i < 3; ++i) QCOMPARE(thumbs->item(i)->text(), QString::number(i + 1));
      auto* label = p->findChild<QLabel*>(QStringLiteral("lblPage"));
      QCOMPARE(label->text(), QStringLiteral("第 1 页 / 共 3 页"));
      QTest::mouseClick(p->findChild<QToolButton*>(QStringLiteral("btnNextPage")), Qt::LeftButton);
      QCOMPARE(preview->currentPage(), 2);
      QCOMPARE(label->text(), QStringLiteral("第 2 页 / 共 3 页"));
      QCOMPARE(thumbs->currentRow(), 1);
      QTest::mouseClick(p->findChild<QToolButton*>(QStringLiteral("btnLastPage")), Qt::LeftButton);
      QCOMPARE(preview->currentPage(), 3);
      thumbs->setCurrentRow(0);
      QCOMPARE(preview->currentPage(), 1);

      printed << Printed{"A4", PrintToPdf(p, work.filePath(QStringLiteral("a4.pdf")))};
      stayedOpen = stayedOpen && p->isVisible();
      // Four pages a sheet: one sheet.
      p->SetPagesPerSheet(4);
      QCOMPARE(p->SheetCount(), 1);
      QCOMPARE(preview->pageCount(), 1);
      QCOMPARE(thumbs->count(), 1);
      printed << Printed{"A4, 4 a sheet", PrintToPdf(p, work.filePath(QStringLiteral("a4x4.pdf")))};
      p->SetPagesPerSheet(2);
      printed << Printed{"A4, 2 a sheet", PrintToPdf(p, work.filePath(QStringLiteral("a4x2.pdf")))};
      p->SetPagesPerSheet(1);
      // Across: five pages.
      QTest::mouseClick(p->findChild<QToolButton*>(QStringLiteral("btnLandscape")), Qt::LeftButton);
      QCOMPARE(p->Printer()->pageLayout().orientation(), QPageLayout::Landscape);
      printed << Printed{"A4 across", PrintToPdf(p, work.filePath(QStringLiteral("a4l.pdf")))};
      QTest::mouseClick(p->findChild<QToolButton*>(QStringLiteral("btnPortrait")), Qt::LeftButton);
      // A3: two pages; "Custom" keeps the size there is.
      p->SetPaper(QStringLiteral("A3"));
      printed << Printed{"A3", PrintToPdf(p, work.filePath(QStringLiteral("a3.pdf")))};
      p->SetPaper(QStringLiteral("Custom"));
      QCOMPARE(p->Printer()->pageLayout().pageSize().id(), QPageSize::A3);
      QCOMPARE(paper->currentText(), QStringLiteral("Custom"));
      printed << Printed{"Custom after A3", PrintToPdf(p, work.filePath(QStringLiteral("custom.pdf")))};
      stayedOpen = stayedOpen && p->isVisible();
    });
    QVERIFY(shown);
    QVERIFY(stayedOpen);
    QVERIFY(boxes_->shown.isEmpty());
    const QList<int> expected = {3, 1, 2, 5, 2, 2};
    QCOMPARE(printed.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
      QVERIFY2(printed[i].pages == expected[i],
               qPrintable(QStringLiteral("%1: %2 pages").arg(printed[i].what).arg(printed[i].pages)));
    // A printer that prints into a PDF file gives it the text layer of
    // what it printed: the header, the text (行, not the radical ⾏), the
    // page numbers.
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8"),
                                             work.filePath(QStringLiteral("a4.pdf")), QStringLiteral("-")});
    QVERIFY2(text.waitForFinished(60000) && text.exitCode() == 0, "pdftotext (poppler-utils) is needed");
    const QString layer = QString::fromUtf8(text.readAllStandardOutput());
    QVERIFY(layer.contains(QStringLiteral("第150行")));
    QVERIFY(!layer.contains(QChar(0x2f8f)));
    QVERIFY(layer.contains(QStringLiteral("反馈：无")));
    for (int page = 1; page <= 3; ++page) QVERIFY(layer.contains(PageFooter(page, 3)));
    // tmp.rtf, in the casebook's directory, holds the record's text.
    QFile rtf(QDir(dataDir_).filePath(QStringLiteral("tmp.rtf")));
    QVERIFY(rtf.open(QIODevice::ReadOnly));
    QCOMPARE(ReadRtf(rtf.readAll()), Lf(LongText(150)));
  }

  // "输出PDF…" writes the previewed sheets to a PDF file the user names,
  // without a printer: the same pages as the preview, on the chosen paper,
  // margin lines left out. A file that cannot be written is reported; the
  // window stays open and printing is untouched.
  void exportPdf() {
    auto form = MakeForm();
    QVERIFY(form);
    Show(*form, chart_);
    if (QTest::currentTestFailed()) return;
    const QDir work(work_->path());
    const QString a4 = work.filePath(QStringLiteral("案例.pdf"));
    const QString across = work.filePath(QStringLiteral("across.pdf"));
    QStringList filters;
    QList<QByteArray> media;
    int sheetsA4 = 0, sheetsAcross = 0;
    bool stayedOpen = true;
    const bool shown = WithPreview(*form, [&](TPreviewForm* p) {
      auto* button = p->findChild<QPushButton*>(QStringLiteral("btnExportPdf"));
      QVERIFY(button);
      QCOMPARE(button->text(), QStringLiteral("输出PDF…"));
      const QPrinter::OutputFormat printerFormat = p->Printer()->outputFormat();
      QString target = a4;
      SetSaveDialogHook([&](const QString& filter, const QString& suffix) {
        filters << filter + QLatin1Char('|') + suffix;
        return target;
      });
      p->SetPaper(QStringLiteral("A4"));
      p->SetOrientation(QPageLayout::Portrait);
      sheetsA4 = p->SheetCount();
      QTest::mouseClick(button, Qt::LeftButton);
      p->SetOrientation(QPageLayout::Landscape);
      sheetsAcross = p->SheetCount();
      target = across;
      QTest::mouseClick(button, Qt::LeftButton);
      // Cancelled: nothing written, nothing said.
      target.clear();
      QTest::mouseClick(button, Qt::LeftButton);
      // Into a directory that does not exist: said, and nothing written.
      target = work.filePath(QStringLiteral("missing/x.pdf"));
      QTest::mouseClick(button, Qt::LeftButton);
      QCOMPARE(p->Printer()->outputFormat(), printerFormat);
      stayedOpen = p->isVisible();
    });
    QVERIFY(shown);
    QVERIFY(stayedOpen);
    QCOMPARE(filters, QStringList(4, QStringLiteral("PDF 文件(*.pdf)|pdf")));
    QCOMPARE(sheetsA4, 3);
    QCOMPARE(PdfPages(a4), sheetsA4);
    QCOMPARE(PdfPages(across), sheetsAcross);
    // A4 upright and across, in points.
    auto mediaBox = [](const QString& path) {
      QFile f(path);
      if (!f.open(QIODevice::ReadOnly)) return QList<int>();
      const auto m = QRegularExpression(QStringLiteral("/MediaBox\\s*\\[([^\\]]*)\\]"))
                         .match(QString::fromLatin1(f.readAll()));
      QList<int> box;
      for (const QString& n : m.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        box << qRound(n.toDouble());
      return box;
    };
    QCOMPARE(mediaBox(a4), (QList<int>{0, 0, 595, 842}));
    QCOMPARE(mediaBox(across), (QList<int>{0, 0, 842, 595}));
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].caption, QStringLiteral("Hexalore"));
    QVERIFY(boxes_->shown[0].text.contains(QStringLiteral("missing")));
    QVERIFY(!QFileInfo::exists(work.filePath(QStringLiteral("missing"))));
  }

  // "打印机：" lists the system's printers (here: none, and it says so);
  // "选择打印机…" shows the system's print dialog on the current printer
  // and prints what it chose, there: the range of sheets, the paper and
  // the orientation, which the window then shows. Cancelled, it prints
  // nothing.
  void systemPrintDialog() {
    auto form = MakeForm();
    QVERIFY(form);
    Show(*form, chart_);
    if (QTest::currentTestFailed()) return;
    const QDir work(work_->path());
    const QString range = work.filePath(QStringLiteral("range.pdf"));
    const QString cancelled = work.filePath(QStringLiteral("cancelled.pdf"));
    int dialogs = 0;
    int rangePages = -1;
    const bool shown = WithPreview(*form, [&](TPreviewForm* p) {
      auto* printers = p->findChild<QComboBox*>(QStringLiteral("cbPrinter"));
      QVERIFY(printers);
      const QStringList system = QPrinterInfo::availablePrinterNames();
      if (system.isEmpty()) {
        QVERIFY(!printers->isEnabled());
        QCOMPARE(printers->currentText(), QStringLiteral("（无打印机）"));
      } else {
        QCOMPARE(printers->count(), system.size());
        QCOMPARE(printers->currentText(), p->Printer()->printerName());
      }
      auto* choose = p->findChild<QPushButton*>(QStringLiteral("btnPrintDialog"));
      QVERIFY(choose);
      QCOMPARE(choose->text(), QStringLiteral("选择打印机…"));
      p->SetPaper(QStringLiteral("A4"));
      p->SetOrientation(QPageLayout::Portrait);
      QCOMPARE(p->SheetCount(), 3);
      // The dialog is offered every sheet; the user picks sheets 2 and 3,
      // A5 across and a file to print into.
      SetPrintDialogHook([&](QPrinter* printer) {
        ++dialogs;
        [&] {
          QCOMPARE(printer, p->Printer());
          QCOMPARE(printer->fromPage(), 1);
          QCOMPARE(printer->toPage(), 3);
        }();
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(range);
        printer->setPrintRange(QPrinter::PageRange);
        printer->setFromTo(2, 3);
        printer->setPageSize(QPageSize(QPageSize::A5));
        printer->setPageOrientation(QPageLayout::Landscape);
        return true;
      });
      QTest::mouseClick(choose, Qt::LeftButton);
      // A5 across holds fewer lines: the sheets are laid out anew, and
      // the window shows the dialog's choices.
      QCOMPARE(p->findChild<QComboBox*>(QStringLiteral("GmPropertyComboBox2"))->currentText(), QStringLiteral("A5"));
      QVERIFY(p->findChild<QToolButton*>(QStringLiteral("btnLandscape"))->isChecked());
      QVERIFY(!p->findChild<QToolButton*>(QStringLiteral("btnPortrait"))->isChecked());
      QVERIFY(p->SheetCount() > 3);
      rangePages = PdfPages(range);
      SetPrintDialogHook([&](QPrinter* printer) {
        ++dialogs;
        printer->setOutputFileName(cancelled);
        return false;
      });
      QTest::mouseClick(choose, Qt::LeftButton);
    });
    SetPrintDialogHook({});
    QVERIFY(shown);
    QCOMPARE(dialogs, 2);
    QCOMPARE(rangePages, 2);
    QVERIFY(!QFileInfo::exists(cancelled));
    QVERIFY(boxes_->shown.isEmpty());
  }

  // The preview zooms in and out by steps, to a chosen size, and to the
  // page's width or the whole page; the zoom list shows where it is.
  void previewZoom() {
    TPreviewForm p{PrintedRecord{QStringLiteral("标题"), QString(), QDate(), false, LongText(30)}};
    auto* zoom = p.findChild<QComboBox*>(QStringLiteral("cbZoom"));
    QVERIFY(zoom);
    QCOMPARE(zoom->currentText(), QStringLiteral("34%"));
    QTest::mouseClick(p.findChild<QToolButton*>(QStringLiteral("btnZoomIn")), Qt::LeftButton);
    QCOMPARE(p.Preview()->zoomFactor(), 0.5);
    QCOMPARE(zoom->currentText(), QStringLiteral("50%"));
    auto* out = p.findChild<QToolButton*>(QStringLiteral("btnZoomOut"));
    for (int i = 0; i < 4; ++i) QTest::mouseClick(out, Qt::LeftButton);  // stops at the smallest
    QCOMPARE(p.Preview()->zoomFactor(), 0.25);
    QCOMPARE(zoom->currentText(), QStringLiteral("25%"));
    const struct {
      QString choice;
      QPrintPreviewWidget::ZoomMode mode;
      double factor;  // for the custom zoom
    } choices[] = {
        {QStringLiteral("100%"), QPrintPreviewWidget::CustomZoom, 1.0},
        {QStringLiteral("适合宽度"), QPrintPreviewWidget::FitToWidth, 0},
        {QStringLiteral("整页"), QPrintPreviewWidget::FitInView, 0},
        {QStringLiteral("200%"), QPrintPreviewWidget::CustomZoom, 2.0},
    };
    for (const auto& c : choices) {
      const int index = zoom->findText(c.choice);
      QVERIFY2(index >= 0, qPrintable(c.choice));
      zoom->setCurrentIndex(index);
      emit zoom->activated(index);
      QCOMPARE(p.Preview()->zoomMode(), c.mode);
      if (c.mode == QPrintPreviewWidget::CustomZoom) QCOMPARE(p.Preview()->zoomFactor(), c.factor);
      QCOMPARE(zoom->currentText(), c.choice);
    }
    // A size between the steps is shown as it is.
    p.SetZoom(0.8);
    QCOMPARE(zoom->currentText(), QStringLiteral("80%"));
    QTest::mouseClick(out, Qt::LeftButton);
    QCOMPARE(p.Preview()->zoomFactor(), 0.75);
  }

  // 纵向 and 横向: always exactly one of them down, and the one that is
  // down looks it (the skin gives it the accent colour).
  void orientationShowsItsChoice() {
    TPreviewForm p{PrintedRecord{}};
    p.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p));
    auto* portrait = p.findChild<QToolButton*>(QStringLiteral("btnPortrait"));
    auto* landscape = p.findChild<QToolButton*>(QStringLiteral("btnLandscape"));
    auto middle = [](QToolButton* b) {
      const QImage image = b->grab().toImage();
      return image.pixelColor(image.width() / 2, 2);  // above the caption
    };
    p.SetOrientation(QPageLayout::Portrait);
    QVERIFY(portrait->isChecked() && !landscape->isChecked());
    const QColor down = middle(portrait), up = middle(landscape);
    QVERIFY2(qAbs(down.lightness() - up.lightness()) > 60,
             qPrintable(QStringLiteral("%1 %2").arg(down.name(), up.name())));
    QTest::mouseClick(landscape, Qt::LeftButton);
    QCOMPARE(p.Printer()->pageLayout().orientation(), QPageLayout::Landscape);
    QVERIFY(landscape->isChecked() && !portrait->isChecked());
    QCOMPARE(middle(landscape), down);
    QCOMPARE(middle(portrait), up);
    // A click on the button that is down keeps it down.
    QTest::mouseClick(landscape, Qt::LeftButton);
    QVERIFY(landscape->isChecked() && !portrait->isChecked());
  }

  // The margin lines: dotted silver along the four margins while shown.
  void marginLines() {
    TPreviewForm p{PrintedRecord{}};
    p.SetPaper(QStringLiteral("A4"));
    const int dpi = p.Printer()->resolution();
    const QRect paper = p.Printer()->pageLayout().fullRectPixels(dpi);
    const QRect paint = p.Printer()->pageLayout().paintRectPixels(dpi);
    const double scale = 0.1;
    auto render = [&](bool lines) {
      QImage image(qRound(paper.width() * scale), qRound(paper.height() * scale), QImage::Format_RGB32);
      image.fill(Qt::white);
      QPainter painter(&image);
      painter.scale(scale, scale);
      painter.translate(paint.topLeft());
      p.DrawSheet(painter, 0, lines);
      return image;
    };
    // Half an inch in: 60 pixels at a tenth of 1200 dpi.
    const int left = qRound(paint.left() * scale);
    const int right = qRound((paint.left() + paint.width()) * scale);
    const int top = qRound(paint.top() * scale);
    const int bottom = qRound((paint.top() + paint.height()) * scale);
    QCOMPARE(left, qRound(0.5 * dpi * scale));
    // Silver pixels along a line, where it crosses the paper's margins
    // (inside them the page's header and footer stand beside it).
    auto silverIn = [&](const QImage& image, int x, bool column) {
      int n = 0;
      const int length = column ? image.height() : image.width();
      const int from = column ? top : left, to = column ? bottom : right;
      for (int i = 0; i < length; ++i) {
        if (i >= from - 1 && i <= to + 1) continue;
        for (int d = -1; d <= 1; ++d) {
          const QColor c = column ? image.pixelColor(x + d, i) : image.pixelColor(i, x + d);
          if (c != Qt::white && qAbs(c.red() - c.green()) < 8 && qAbs(c.green() - c.blue()) < 8 &&
              c.red() > 150)
            ++n;
        }
      }
      return n;
    };
    const QImage with = render(true);
    const QImage without = render(false);
    for (const auto& [pos, column] : {std::pair{left, true}, {right, true}, {top, false}, {bottom, false}}) {
      const int length = 2 * left;  // the two margins it crosses
      QVERIFY2(silverIn(with, pos, column) > length / 4, "margin line shown");
      QVERIFY2(silverIn(with, pos, column) < length * 3, "dotted, not solid");
      QCOMPARE(silverIn(without, pos, column), 0);
    }
    // Ticking "显示边线" off and on follows at once.
    auto* box = p.findChild<QCheckBox*>(QStringLiteral("CheckBox1"));
    box->setChecked(false);
    QVERIFY(!p.MarginsShown());
    box->setChecked(true);
    QVERIFY(p.MarginsShown());
  }

  // Each paper name of the list stands for its printer paper size (B4 and B5
  // the JIS sizes, Envelope_10 the #10 envelope).
  void paperSizes() {
    const struct {
      const char* name;
      QPageSize::PageSizeId id;
    } cases[] = {
        {"A3", QPageSize::A3},         {"A4", QPageSize::A4},
        {"A5", QPageSize::A5},         {"A6", QPageSize::A6},
        {"B5", QPageSize::JisB5},      {"C5", QPageSize::C5E},
        {"Legal", QPageSize::Legal},   {"Letter", QPageSize::Letter},
        {"B4", QPageSize::JisB4},      {"Envelope_09", QPageSize::Envelope9},
        {"Envelope_10", QPageSize::Comm10E}, {"Envelope_11", QPageSize::Envelope11},
        {"Envelope_12", QPageSize::Envelope12}, {"Envelope_14", QPageSize::Envelope14},
        {"Tabloid", QPageSize::Tabloid}, {"Ledger", QPageSize::Ledger},
        {"Executive", QPageSize::ExecutiveStandard},
    };
    for (const auto& c : cases) {
      const auto size = PaperSize(QString::fromLatin1(c.name));
      QVERIFY2(size && size->id() == c.id, c.name);
    }
    QVERIFY(!PaperSize(QStringLiteral("Custom")));
    // Sizes in millimetres where the name alone says little.
    QCOMPARE(PaperSize(QStringLiteral("B5"))->size(QPageSize::Millimeter), QSizeF(182, 257));
    QCOMPARE(PaperSize(QStringLiteral("Ledger"))->size(QPageSize::Inch), QSizeF(17, 11));
    QCOMPARE(PaperSize(QStringLiteral("Executive"))->size(QPageSize::Inch), QSizeF(7.25, 10.5));
  }

  // Printing again overwrites tmp.rtf; with no current record nothing is
  // printed: the user is told to choose one.
  void tmpRtfAndEmptyRecord() {
    auto form = MakeForm();
    QVERIFY(form);
    const QString rtfPath = QDir(dataDir_).filePath(QStringLiteral("tmp.rtf"));
    Show(*form, chart_);
    if (QTest::currentTestFailed()) return;
    QVERIFY(WithPreview(*form, [](TPreviewForm*) {}));
    Show(*form, note_);
    if (QTest::currentTestFailed()) return;
    QVERIFY(WithPreview(*form, [](TPreviewForm*) {}));
    {
      QFile rtf(rtfPath);
      QVERIFY(rtf.open(QIODevice::ReadOnly));
      QCOMPARE(ReadRtf(rtf.readAll()), Lf(form->Records()->currentText()));
    }
    const QString noteText = Lf(form->Records()->currentText());
    QVERIFY(boxes_->shown.isEmpty());
    Tree(*form)->setCurrentItem(Tree(*form)->topLevelItem(0));
    QVERIFY(!WithPreview(*form, [](TPreviewForm*) {}));
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].caption, QStringLiteral("提示"));
    QCOMPARE(boxes_->shown[0].text, QStringLiteral("请先选择一条记录。"));
    QFile rtf(rtfPath);
    QVERIFY(rtf.open(QIODevice::ReadOnly));
    QCOMPARE(ReadRtf(rtf.readAll()), noteText);
  }

  // tmp.rtf holds the case's text: it goes into the casebook's own
  // directory, readable and writable by the owner alone whatever the umask,
  // and nowhere else (not into the working directory). An older tmp.rtf
  // that others could read is made private too.
  void tmpRtfIsPrivate() {
    auto form = MakeForm();
    QVERIFY(form);
    const QString rtfPath = QDir(dataDir_).filePath(QStringLiteral("tmp.rtf"));
    {
      QFile old(rtfPath);
      QVERIFY(old.open(QIODevice::WriteOnly));
      old.write("{\\rtf1 old}");
      QVERIFY(old.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                 QFileDevice::ReadGroup | QFileDevice::ReadOther));
    }
    const mode_t oldMask = umask(0);  // the most open umask there is
    Show(*form, note_);
    if (QTest::currentTestFailed()) return;
    const bool shown = WithPreview(*form, [](TPreviewForm*) {});
    umask(oldMask);
    QVERIFY(shown);
    QVERIFY(boxes_->shown.isEmpty());
    QCOMPARE(QDir(work_->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    QFile rtf(rtfPath);
    QVERIFY(rtf.open(QIODevice::ReadOnly));
    QCOMPARE(ReadRtf(rtf.readAll()), Lf(form->Records()->currentText()));
    struct stat st {};
    QCOMPARE(stat(QFile::encodeName(rtfPath).constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0600));
    QCOMPARE(st.st_uid, geteuid());
  }

  // tmp.rtf cannot be written (a directory of that name is in the way):
  // the error is shown and the print window is not.
  void tmpRtfUnwritable() {
    auto form = MakeForm();
    QVERIFY(form);
    Show(*form, note_);
    if (QTest::currentTestFailed()) return;
    QVERIFY(QDir(dataDir_).mkdir(QStringLiteral("tmp.rtf")));
    const bool shown = WithPreview(*form, [](TPreviewForm*) {});
    QVERIFY(!shown);
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].caption, QStringLiteral("Hexalore"));
    QVERIFY(!boxes_->shown[0].text.isEmpty());
    for (QWidget* w : QApplication::topLevelWidgets()) QVERIFY(!qobject_cast<TPreviewForm*>(w));
    QVERIFY(QFileInfo(QDir(dataDir_).filePath(QStringLiteral("tmp.rtf"))).isDir());
  }
};

QTEST_MAIN(ExportPrintTest)
#include "export_print_test.moc"
