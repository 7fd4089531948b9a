// The text layer of the PDF files the print window writes: what pdftotext
// (poppler-utils) reads out of them must be what was printed, character
// for character. The CJK font draws 月 and the Kangxi radical ⽉ with one
// glyph, and a PDF names one character per glyph; it used to name the
// radical. Here the six worked charts are printed to PDF with a header
// and read back; and the mending of a file's ToUnicode maps is tried on
// small files made by hand.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRawFont>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>

#include "pdf_text_layer.h"
#include "preview_form.h"
#include "skin.h"
#include "test_support.h"

namespace {

// The text without white space of any kind (pdftotext writes the gaps of a
// line as it sees them; the ideographic spaces of a chart are white space).
QString Bare(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (const QChar c : text)
    if (!c.isSpace()) out += c;
  return out;
}

// The characters of a text, sorted: its content whatever the order.
QString Sorted(QString text) {
  std::sort(text.begin(), text.end());
  return text;
}

// Runs a program; its standard output, or a null string when it failed.
QString Run(const QString& program, const QStringList& arguments) {
  QProcess p;
  p.setStandardInputFile(QProcess::nullDevice());
  p.start(program, arguments);
  if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
    return QString();
  const QString out = QString::fromUtf8(p.readAllStandardOutput());
  return out.isNull() ? QStringLiteral("") : out;
}

// The Kangxi radicals and the CJK radicals supplement: never in a chart.
bool IsRadical(QChar c) { return c.unicode() >= 0x2e80 && c.unicode() <= 0x2fdf; }

// ---- PDF files made by hand

// A PDF of the given objects (their text after "N 0 obj"), numbered from
// 1, with a classic cross-reference table.
QByteArray MakePdf(const QList<QByteArray>& objects) {
  QByteArray pdf = "%PDF-1.4\n";
  QList<qsizetype> offsets;
  for (qsizetype i = 0; i < objects.size(); ++i) {
    offsets << pdf.size();
    pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const qsizetype xref = pdf.size();
  pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (const qsizetype o : offsets) pdf += QByteArray::number(o).rightJustified(10, '0') + " 00000 n \n";
  pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
         QByteArray::number(xref) + "\n%%EOF\n";
  return pdf;
}

QByteArray Stream(const QByteArray& dict, const QByteArray& data) {
  return "<< " + dict + "/Length " + QByteArray::number(data.size()) + " >>\nstream\n" + data + "\nendstream";
}

QByteArray ToUnicode(const QByteArray& entries) {
  return "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
         "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
         "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
         "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n" +
         entries + "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
}

// Every entry of the file's cross-reference table points at its object,
// and "startxref" at the table.
bool XrefHolds(const QByteArray& pdf) {
  const qsizetype start = pdf.lastIndexOf("startxref");
  if (start < 0) return false;
  const qsizetype xref = pdf.mid(start + 9).trimmed().split('\n').first().toLongLong();
  if (pdf.mid(xref, 4) != "xref") return false;
  const QList<QByteArray> lines = pdf.mid(xref).split('\n');
  const int count = lines.value(1).split(' ').value(1).toInt();
  for (int n = 1; n < count; ++n) {
    const qsizetype offset = lines.value(2 + n).left(10).toLongLong();
    if (!pdf.mid(offset).startsWith(QByteArray::number(n) + " 0 obj")) return false;
  }
  return true;
}

// The text of the ToUnicode map in object `object` of a file made above.
QMap<int, QString> MapOf(const QByteArray& pdf, int object) {
  QMap<int, QString> map;
  const qsizetype at = pdf.indexOf("endcodespacerange", pdf.indexOf("\n" + QByteArray::number(object) + " 0 obj"));
  const qsizetype end = pdf.indexOf("endstream", at);
  const QString text = QString::fromLatin1(pdf.mid(at, end - at));
  auto it = QRegularExpression(QStringLiteral("<([0-9A-Fa-f]{4})>\\s+<([0-9A-Fa-f]+)>")).globalMatch(text);
  while (it.hasNext()) {
    const auto m = it.next();
    const QByteArray units = QByteArray::fromHex(m.captured(2).toLatin1());
    QString value;
    for (qsizetype i = 0; i + 1 < units.size(); i += 2)
      value += QChar(static_cast<char16_t>((uchar(units[i]) << 8) | uchar(units[i + 1])));
    map[m.captured(1).toInt(nullptr, 16)] = value;
  }
  return map;
}

}  // namespace

class PrintTextLayerTest : public QObject {
  Q_OBJECT

  QTemporaryDir work_;
  QString pdftotext_;
  QRawFont font_;

  QString ChartText(const QStringList& arguments) {
    QString text = Run(QStringLiteral(ORVCHART_PATH), arguments);
    // A record keeps the engine's CR LF lines.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
  }

 private slots:
  void initTestCase() {
    testing_support::IsolateSettings();
    skin::ApplyTheme(*qApp);
    QVERIFY(work_.isValid());
    pdftotext_ = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    QVERIFY2(!pdftotext_.isEmpty(), "pdftotext is missing: scripts/install-deps installs poppler-utils");
    QFont f = PrintFont();
    f.setPixelSize(12);
    font_ = QRawFont::fromFont(f);
    QVERIFY(font_.isValid());
  }

  // ---- the worked charts

  void workedCharts_data() {
    QTest::addColumn<QStringList>("chart");
    QTest::addColumn<QString>("title");
    // The worked examples of the engine: a man born 1984-02-04 12:00; the
    // Purple Star chart of the first day of the first lunar month of 甲子,
    // 子 hour; 天风姤 with its first line old yin on 1984-02-10; the Qimen
    // chart of 2024-02-10 (正月初一); a Liu Ren chart with a birth year; a
    // Xuankong chart of period 8 sitting on 子.
    QTest::newRow("bazi") << QStringList{"bazi", "1984-02-04", "12", "--male"}
                          << QStringLiteral("八字：2月4日生，大运逆行");
    QTest::newRow("ziwei") << QStringList{"ziwei", "1984-02-02", "0", "--male"}
                           << QStringLiteral("紫微：小耗、月德、龙德、飞廉");
    QTest::newRow("liuyao") << QStringList{"liuyao", "1984-02-10", "12", "1", "1", "1", "1", "1", "2"}
                            << QStringLiteral("六爻：天风姤之乾为天");
    QTest::newRow("qimen") << QStringList{"qimen", "2024-02-10", "3"}
                           << QStringLiteral("奇门：正月初一 寅时");
    QTest::newRow("liuren") << QStringList{"liuren", "2024-04-10", "10", "--birth", "1990", "--female"}
                            << QStringLiteral("六壬：年命");
    QTest::newRow("xuankong") << QStringList{"xuankong", "8", "子", "--tigua"}
                              << QStringLiteral("玄空：八运子山");
  }

  // The PDF gives back the header, the record's text and the footers,
  // page by page in the order printed (pdftotext -layout keeps the lines;
  // its default reading order may take a chart's columns one after the
  // other, but it reads the same characters). No radical stands for an
  // ideograph anywhere, and the file's title is the record's.
  void workedCharts() {
    QFETCH(QStringList, chart);
    QFETCH(QString, title);
    PrintedRecord record;
    record.title = title;
    record.querent = QStringLiteral("王小月");
    record.date = QDate(2024, 2, 10);
    record.feedback = true;
    record.text = ChartText(chart);
    QVERIFY2(record.text.size() > 50, qPrintable(chart.join(' ')));
    TPreviewForm form(record);
    form.SetPaper(QStringLiteral("A4"));
    form.SetOrientation(QPageLayout::Portrait);
    const QString pdf = QDir(work_.path()).filePath(chart.first() + QStringLiteral(".pdf"));
    QCOMPARE(form.WritePdf(pdf), QString());

    const QString layout = Run(pdftotext_, {QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    QVERIFY(!layout.isEmpty());
    QStringList pages = layout.split(QLatin1Char('\f'));
    if (pages.last().trimmed().isEmpty()) pages.removeLast();
    const int count = form.PageCount();
    QCOMPARE(pages.size(), count);
    const QString header = Bare(PrintedTitle(record) + PrintedDetails(record));
    QString body;
    for (int i = 0; i < count; ++i) {
      const QString page = Bare(pages[i]);
      const QString footer = Bare(PageFooter(i + 1, count));
      QVERIFY2(page.startsWith(header), qPrintable(QStringLiteral("page %1: %2").arg(i + 1).arg(page.left(60))));
      QVERIFY2(page.endsWith(footer), qPrintable(QStringLiteral("page %1: %2").arg(i + 1).arg(page.right(60))));
      body += page.mid(header.size(), page.size() - header.size() - footer.size());
    }
    const QString expected = Bare(record.text);
    if (body != expected) {
      qsizetype i = 0;
      while (i < body.size() && i < expected.size() && body[i] == expected[i]) ++i;
      QFAIL(qPrintable(QStringLiteral("differs at %1: PDF \"%2\", text \"%3\"")
                           .arg(i).arg(body.mid(i, 12), expected.mid(i, 12))));
    }
    QVERIFY(std::none_of(layout.begin(), layout.end(), IsRadical));

    const QString reading = Run(pdftotext_, {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    QCOMPARE(Sorted(Bare(reading)), Sorted(Bare(layout)));

    const QString info = Run(QStandardPaths::findExecutable(QStringLiteral("pdfinfo")), {pdf});
    const auto name = QRegularExpression(QStringLiteral("^Title:\\s*(.*)$"), QRegularExpression::MultilineOption).match(info);
    QCOMPARE(name.captured(1).trimmed(), title);
  }

  // A record without a title: "（无标题）" on the page, "无标题记录" as the
  // file's title.
  void untitledRecord() {
    PrintedRecord record;
    record.text = QStringLiteral("小耗\r\n");
    TPreviewForm form(record);
    const QString pdf = QDir(work_.path()).filePath(QStringLiteral("untitled.pdf"));
    QCOMPARE(form.WritePdf(pdf), QString());
    const QString text = Run(pdftotext_, {QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    QCOMPARE(Bare(text), Bare(QStringLiteral("（无标题）反馈：无小耗第 1 页 / 共 1 页")));
    const QString info = Run(QStandardPaths::findExecutable(QStringLiteral("pdfinfo")), {pdf});
    QVERIFY2(info.contains(QStringLiteral("无标题记录")), qPrintable(info));
  }

  // ---- mending a ToUnicode map

  // The three ways a map gives texts (single codes, ranges with a first
  // text, ranges with an array) are read; a code whose text was not drawn
  // gets the drawn character the font draws with its glyph; the rest stays;
  // and every offset of the file still points at its object.
  void mendsEveryKindOfEntry() {
    const QByteArray name = PostScriptName(font_).toLatin1();
    QVERIFY(!name.isEmpty());
    const QByteArray map = ToUnicode(
        "2 beginbfchar\n<0001> <2F49>\n<0002> <0041>\nendbfchar\n"
        "2 beginbfrange\n<0003> <0005> <2F00>\n<0006> <0008> [<2EF0> <2003> <2F29>]\nendbfrange\n");
    const QByteArray pdf = MakePdf({
        "<< /Type /Catalog >>",
        "<< /Type /Font /Subtype /Type0 /BaseFont /" + name + " /ToUnicode 3 0 R >>",
        Stream("", map),
        "<< /Type /Font /Subtype /Type0 /BaseFont /AAAAAA+" + name + " /ToUnicode 5 0 R >>",
        Stream("", ToUnicode("1 beginbfchar\n<0001> <2F49>\nendbfchar\n")),
        "<< /Type /Font /Subtype /Type0 /BaseFont /SomeOtherFont /ToUnicode 7 0 R >>",
        Stream("", ToUnicode("1 beginbfchar\n<0001> <2F49>\nendbfchar\n")),
    });
    QVERIFY(XrefHolds(pdf));
    // 月 一 龙 and the ideographic space were drawn, and 小 (its radical
    // ⼩ U+2F29 was not); ⼁ U+2F01 has no drawn ideograph of its glyph.
    bool mended = false;
    const QByteArray out = MendPdfTextLayer(pdf, QStringLiteral("月一龙　小A"), {font_}, &mended);
    QVERIFY(mended);
    QVERIFY(XrefHolds(out));
    const QMap<int, QString> expected = {
        {1, QStringLiteral("月")}, {2, QStringLiteral("A")}, {3, QStringLiteral("一")},
        {4, QString(QChar(0x2f01))}, {5, QString(QChar(0x2f02))}, {6, QStringLiteral("龙")},
        {7, QStringLiteral("　")}, {8, QStringLiteral("小")},
    };
    QCOMPARE(MapOf(out, 3), expected);
    // A subset's font is known by its name after the tag; another font is
    // left alone.
    QCOMPARE(MapOf(out, 5), (QMap<int, QString>{{1, QStringLiteral("月")}}));
    QCOMPARE(MapOf(out, 7), (QMap<int, QString>{{1, QString(QChar(0x2f49))}}));
  }

  // What cannot be told apart, or is not a file of the expected shape,
  // stays as it is: a glyph of two drawn characters, a compressed map, a
  // file whose cross references are a stream, nothing to mend.
  void leavesWhatItCannotMend_data() {
    QTest::addColumn<QByteArray>("pdf");
    QTest::addColumn<QString>("drawn");
    const QByteArray name = PostScriptName(font_).toLatin1();
    const QByteArray font = "<< /Type /Font /Subtype /Type0 /BaseFont /" + name + " /ToUnicode 3 0 R >>";
    const QByteArray map = ToUnicode("1 beginbfchar\n<0001> <2F49>\nendbfchar\n");
    QTest::newRow("both drawn") << MakePdf({"<< >>", font, Stream("", map)}) << QStringLiteral("月⽉");
    QTest::newRow("radical drawn") << MakePdf({"<< >>", font, Stream("", map)}) << QStringLiteral("⽉");
    QTest::newRow("compressed") << MakePdf({"<< >>", font, Stream("/Filter /FlateDecode ", qCompress(map).mid(4))})
                                << QStringLiteral("月");
    QByteArray stream = MakePdf({"<< >>", font, Stream("", map)});
    stream.replace(stream.lastIndexOf("xref\n0"), 4, "XREF");
    QTest::newRow("no table") << stream << QStringLiteral("月");
    QTest::newRow("no font") << MakePdf({"<< >>"}) << QStringLiteral("月");
    QTest::newRow("not a pdf") << QByteArray("hello") << QStringLiteral("月");
  }

  void leavesWhatItCannotMend() {
    QFETCH(QByteArray, pdf);
    QFETCH(QString, drawn);
    bool mended = true;
    QCOMPARE(MendPdfTextLayer(pdf, drawn, {font_}, &mended), pdf);
    QVERIFY(!mended);
  }
};

QTEST_MAIN(PrintTextLayerTest)
#include "print_text_layer_test.moc"
