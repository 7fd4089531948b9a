// Prints a text file through the print window's "打印" onto a PDF printer
// standing in for the current printer: A4, upright, one page a sheet.
//
//   print_sample TEXT_FILE OUT_PDF
//
// The text file is UTF-8; its lines may end in LF or CR LF (the record's
// own line ends are CR LF). Prints the number of pages.

#include <QApplication>
#include <QFile>
#include <QPrinter>
#include <cstdio>

#include "preview_form.h"
#include "skin.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: print_sample TEXT_FILE OUT_PDF\n");
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
  TPreviewForm form(text);
  form.SetPaper(QStringLiteral("A4"));
  form.SetOrientation(QPageLayout::Portrait);
  form.Printer()->setOutputFormat(QPrinter::PdfFormat);
  form.Printer()->setOutputFileName(QString::fromLocal8Bit(argv[2]));
  form.PrintAll();
  std::printf("%d pages\n", form.SheetCount());
  return 0;
}
