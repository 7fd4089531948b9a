// Writes a small sample casebook into a data directory: a few folders and
// records, one of them holding a chart laid out with box characters and
// full-width spaces. The screenshot script shows it in the main window.
//
//   sample_casebook DIR

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <cstdio>

#include "casebook_store.h"

namespace {

QString Lines(const QStringList& lines) { return lines.join(QStringLiteral("\r\n")); }

const QString& ChartText() {
  static const QString text = Lines({
      QStringLiteral("乾造　　　　公历：2026年03月15日10时　　农历：丙午年正月廿七日巳时"),
      QStringLiteral("━━━━━━━━━━━━━━━━━━━━━━━━"),
      QStringLiteral("　　　　┃　年柱　┃　月柱　┃　日柱　┃　时柱　"),
      QStringLiteral("━━━━╋━━━━╋━━━━╋━━━━╋━━━━"),
      QStringLiteral("十神　　┃　偏财　┃　正官　┃　日主　┃　食神　"),
      QStringLiteral("天干　　┃　丙　　┃　辛　　┃　壬　　┃　乙　　"),
      QStringLiteral("地支　　┃　午　　┃　卯　　┃　子　　┃　巳　　"),
      QStringLiteral("藏干　　┃　丁己　┃　乙　　┃　癸　　┃　丙戊庚"),
      QStringLiteral("纳音　　┃天河水　┃松柏木　┃桑柘木　┃覆灯火　"),
      QStringLiteral("━━━━━━━━━━━━━━━━━━━━━━━━"),
      QStringLiteral("大运：　 3岁 壬辰　13岁 癸巳　23岁 甲午　33岁 乙未"),
      QStringLiteral("　　　　43岁 丙申　53岁 丁酉　63岁 戊戌　73岁 己亥"),
      QString(),
      QStringLiteral("六爻：天火同人（世在三爻）"),
      QStringLiteral("　　　　━━━　　兄弟壬戌土　　　应"),
      QStringLiteral("　　　　━━━　　子孙壬申金"),
      QStringLiteral("　　　　━━━○　妻财壬午火"),
      QStringLiteral("　　　　━━━　　官鬼己亥水　　　世"),
      QStringLiteral("　　　　━　━　　子孙己丑土"),
      QStringLiteral("　　　　━━━×　父母己卯木"),
      QString(),
      QStringLiteral("断：妻财午火动而生世，月内可得。ASCII 与中文混排：abc 甲子 123。"),
  });
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: sample_casebook DIR\n");
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]);
  QFile::remove(QDir(dir).filePath(CasebookStore::DatabaseFileName()));
  try {
    CasebookStore s;
    s.OpenStore(dir);
    const RowId cases = s.AddFolder(0, QStringLiteral("卦例"));
    s.AddFolder(cases, QStringLiteral("求财"));
    s.AddFolder(cases, QStringLiteral("婚姻"));
    const RowId bazi = s.AddFolder(0, QStringLiteral("八字命例"));
    s.AddFolder(bazi, QStringLiteral("男命"));
    s.AddFolder(bazi, QStringLiteral("女命"));
    s.AddFolder(0, QStringLiteral("风水"));
    s.InsertRecord(cases, {QStringLiteral("问失物"), QStringLiteral("赵六"), QDate(2025, 11, 2), true, Lines({QStringLiteral("钥匙在家中找到。"), QStringLiteral("应期：当日。")})});
    s.InsertRecord(cases, {QStringLiteral("问工作变动"), QStringLiteral("李四"), QDate(2026, 1, 18), false, QStringLiteral("官鬼持世，暂不宜动。")});
    s.InsertRecord(cases, {QStringLiteral("问今年财运如何（测试一个较长的标题）"), QStringLiteral("张三"), QDate(2026, 3, 15), true, ChartText()});
  } catch (const StoreError& e) {
    std::fprintf(stderr, "sample_casebook: %s\n", qPrintable(e.message()));
    return 1;
  }
  return 0;
}
