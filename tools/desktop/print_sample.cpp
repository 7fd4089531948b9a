// Prints a text file through the print window's "打印" onto a PDF printer
// standing in for the current printer: A4, upright, one page a sheet.
//
//   print_sample TEXT_FILE OUT_PDF [TITLE]
//
// The text file is UTF-8; its lines may end in LF or CR LF (the record's
// own line ends are CR LF). The record's title is TITLE (the file's name
// without it), its querent "张三", its date 2024-05-01, with feedback.
// Prints the number of pages.

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <cstdio>

#include "preview_form.h"
#include "skin.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: print_sample TEXT_FILE OUT_PDF [TITLE]\n");
    return 2;
  }
  skin::ApplyTheme(app);
  QFile in(QString::fromLocal8Bit(argv[1]));
  if (!in.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "print_sample: %s\n", qPrintable(in.errorString()));
    return 1;
  }
  QString text = QString::fromUtf8(in.readAll());
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  PrintedRecord record;
  record.title = argc == 4 ? QString::fromLocal8Bit(argv[3]) : QFileInfo(in.fileName()).fileName();
  record.querent = QStringLiteral("张三");
  record.date = QDate(2024, 5, 1);
  record.feedback = true;
  record.text = text;
  TPreviewForm form(record);
  form.SetPaper(QStringLiteral("A4"));
  form.SetOrientation(QPageLayout::Portrait);
  form.Printer()->setOutputFormat(QPrinter::PdfFormat);
  form.Printer()->setOutputFileName(QString::fromLocal8Bit(argv[2]));
  form.PrintAll();
  std::printf("%d pages\n", form.SheetCount());
  return 0;
}
