// casebook: makes a large casebook for measurements, and measures the store
// on it.
//
//   casebook generate DIR [--records N] [--folders F] [--big B] [--seed S] [--force]
//   casebook measure DIR [--folder ID] [--repeat R]
//
// generate writes DIR/casebook.sqlite in the store's own schema (the store
// creates it): F folders (a few top-level folders, the rest below them) and N
// records of about 2,000 GBK bytes of text each. One folder, the first
// top-level one, holds B records; the others share the rest. The records of
// all folders are interleaved in ID order, as they are when a user files
// cases day by day. About a third of the texts carry a chart-like block (box
// characters, full-width spaces, CR LF lines); the rest are notes. The same
// seed gives the same file, on any machine: the random numbers come from
// std::mt19937_64 (fully specified by the standard) and are mapped to ranges
// here, not by the library's distributions.
//
// measure opens the store, rebuilds the folder tree the way the main window
// does, lists the largest folder (or --folder) and reads the first record's
// text, R times, and prints the times in milliseconds and the peak resident
// memory of the process.

#include "casebook_store.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

namespace {

// The time a timer has run, in milliseconds with their fractions.
double Ms(const QElapsedTimer& t) {
  return std::chrono::duration<double, std::milli>(std::chrono::nanoseconds(t.nsecsElapsed())).count();
}

// A size in MB (2^20 bytes) with one decimal, rounded: "12.3".
QByteArray MbText(qint64 bytes) {
  const qint64 tenths = (bytes * 10 + 524288) / 1048576;
  return QByteArray::number(tenths / 10) + '.' + QByteArray::number(tenths % 10);
}

// ---- reproducible random numbers

class Rng {
 public:
  explicit Rng(std::uint64_t seed) : engine_(seed) {}
  // 0 <= result < n (n > 0); the tiny modulo bias does not matter here.
  std::uint64_t below(std::uint64_t n) { return engine_() % n; }
  int range(int lo, int hi) { return lo + static_cast<int>(below(static_cast<std::uint64_t>(hi - lo + 1))); }
  bool chance(int percent) { return below(100) < static_cast<std::uint64_t>(percent); }
  template <typename T, size_t N>
  const T& pick(const T (&a)[N]) { return a[below(N)]; }
  const QString& pick(const QStringList& l) { return l[static_cast<qsizetype>(below(static_cast<std::uint64_t>(l.size())))]; }

 private:
  std::mt19937_64 engine_;
};

// ---- word stock

const QStringList kStems = QStringLiteral("甲 乙 丙 丁 戊 己 庚 辛 壬 癸").split(' ');
const QStringList kBranches = QStringLiteral("子 丑 寅 卯 辰 巳 午 未 申 酉 戌 亥").split(' ');
const QStringList kSurnames = QStringLiteral("王 李 张 刘 陈 杨 黄 赵 吴 周 徐 孙 马 朱 胡 郭 何 高 林 罗").split(' ');
const QStringList kGiven = QStringLiteral("伟 芳 娜 敏 静 丽 强 磊 军 洋 勇 艳 杰 娟 涛 明 超 秀 霞 平 刚 桂 英 华").split(' ');
const QStringList kTopics = QStringLiteral(
    "问事业 问婚姻 问财运 问健康 问学业 问出行 问官司 问寻物 问合作 问迁居 问子女 问考试 问求职 问投资 问房产")
                                .split(' ');
const QStringList kMethods = QStringLiteral("八字 紫微 六爻 奇门 六壬 玄空").split(' ');
const QStringList kFolderWords = QStringLiteral(
    "八字 紫微 六爻 奇门 六壬 玄空 客户 朋友 家人 旧案 待反馈 已验证 疑难 学习 练习 杂占")
                                     .split(' ');
const QStringList kPhrases = QStringLiteral(
    "日主偏弱，喜印比帮身。|官星透干，主有名声。|财星入库，宜守不宜攻。|用神得令，所求可成。|"
    "世爻持世，自身有主见。|应爻动而生世，对方有意。|父母爻发动，文书有变。|兄弟爻旺，防破财。|"
    "子孙爻临日建，福神有力。|开门临值符，出行顺利。|休门落坎宫，宜静守。|三传递生，事有转机。|"
    "初传为财，末传为官。|飞星到向，旺气临门。|此事宜缓，秋后再议。|反馈：所断基本应验。|"
    "来人神色焦虑，所问甚急。|卦象平和，无大碍。|流年逢冲，注意身体。|大运转好，三年内见效。")
                                 .split('|');

// ---- texts

QString Ganzhi(Rng& rng) { return rng.pick(kStems) + rng.pick(kBranches); }

QString PadFullWidth(QString s, int chars) {
  while (s.size() < chars) s += QStringLiteral("　");
  return s;
}

// A chart-like block: a header line, a grid of cells drawn with box
// characters and padded with full-width spaces, and a few lines of notes.
QString ChartBlock(Rng& rng, const QDate& day) {
  QString t;
  const QString method = rng.pick(kMethods);
  t += QStringLiteral("　　%1排盘　%2年%3月%4日　%5时\r\n")
           .arg(method).arg(day.year()).arg(day.month()).arg(day.day()).arg(rng.pick(kBranches));
  t += QStringLiteral("　　四柱：%1　%2　%3　%4\r\n").arg(Ganzhi(rng), Ganzhi(rng), Ganzhi(rng), Ganzhi(rng));
  const int cols = 4;
  const int rows = rng.range(3, 4);
  auto rule = [&](const QString& left, const QString& mid, const QString& right) {
    QString line = left;
    for (int c = 0; c < cols; ++c) {
      line += QStringLiteral("────");
      line += (c + 1 < cols) ? mid : right;
    }
    return line + QStringLiteral("\r\n");
  };
  t += rule(QStringLiteral("┌"), QStringLiteral("┬"), QStringLiteral("┐"));
  for (int r = 0; r < rows; ++r) {
    for (int sub = 0; sub < 2; ++sub) {
      QString line = QStringLiteral("│");
      for (int c = 0; c < cols; ++c) {
        QString cell = rng.chance(20) ? QString() : rng.pick(kStems) + rng.pick(kBranches);
        if (sub == 1 && rng.chance(60)) cell = rng.pick(kFolderWords).left(2);
        line += PadFullWidth(cell, 4) + QStringLiteral("│");
      }
      t += line + QStringLiteral("\r\n");
    }
    if (r + 1 < rows) t += rule(QStringLiteral("├"), QStringLiteral("┼"), QStringLiteral("┤"));
  }
  t += rule(QStringLiteral("└"), QStringLiteral("┴"), QStringLiteral("┘"));
  return t;
}

QString RecordText(Rng& rng, const QDate& day, int targetBytes) {
  QString t;
  if (rng.chance(35)) t += ChartBlock(rng, day) + QStringLiteral("\r\n");
  while (GbkByteCount(t) < targetBytes) {
    QString line = QStringLiteral("　　");
    const int n = rng.range(2, 5);
    for (int i = 0; i < n; ++i) line += rng.pick(kPhrases);
    if (rng.chance(15)) line += QStringLiteral(" (%1-%2)").arg(rng.range(1, 99)).arg(rng.range(1, 12));
    t += line + QStringLiteral("\r\n");
  }
  return t;
}

[[noreturn]] void Die(const QString& message) {
  std::fprintf(stderr, "casebook: %s\n", qPrintable(message));
  std::exit(1);
}

long PeakRssKiB() {
  struct rusage u {};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// ---- generate

int Generate(const QString& dir, int records, int folders, int big, std::uint64_t seed, bool force) {
  if (folders < 2 || records < big || big < 0) Die(QStringLiteral("need folders >= 2 and 0 <= big <= records"));
  const QString path = dir + QLatin1Char('/') + CasebookStore::DatabaseFileName();
  if (QFileInfo::exists(path)) {
    if (!force) Die(QStringLiteral("%1 exists (use --force to replace it)").arg(path));
    for (const char* suffix : {"", "-wal", "-shm"}) QFile::remove(path + QLatin1String(suffix));
  }
  QElapsedTimer timer;
  timer.start();
  Rng rng(seed);

  // The store makes the schema and the folders.
  std::vector<RowId> folderIds;
  {
    CasebookStore store;
    store.OpenStore(dir);
    const int top = std::max(1, folders / 10);
    std::vector<RowId> tops;
    for (int i = 0; i < folders; ++i) {
      RowId parent = 0;
      if (i >= top) parent = tops[rng.below(tops.size())];
      QString name = rng.pick(kFolderWords) + QString::number(i + 1);
      if (i == 0) name = QStringLiteral("大量卦例");
      const RowId id = store.AddFolder(parent, name);
      if (i < top) tops.push_back(id);
      folderIds.push_back(id);
    }
  }

  // Which folder each record goes to: B records in the first folder, the
  // rest spread over the others, shuffled so that the folders interleave.
  std::vector<RowId> target;
  target.reserve(static_cast<size_t>(records));
  for (int i = 0; i < big; ++i) target.push_back(folderIds[0]);
  for (int i = big; i < records; ++i) target.push_back(folderIds[1 + rng.below(folderIds.size() - 1)]);
  for (size_t i = target.size(); i > 1; --i) std::swap(target[i - 1], target[rng.below(i)]);

  // The records go in through a plain connection in large transactions: the
  // store's one-transaction-per-record with full sync would take an fsync
  // per record.
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("generate"));
    db.setDatabaseName(path);
    if (!db.open()) Die(db.lastError().text());
    QSqlQuery q(db);
    q.exec(QStringLiteral("PRAGMA synchronous=OFF"));
    if (!q.prepare(QStringLiteral(
            "Insert into Omenry (BT,QZR,FK,LR,SJ,FL) VALUES (:BT,:QZR,:FK,:LR,:SJ,:FL)")))
      Die(q.lastError().text());
    const QDate first(1995, 1, 1);
    const int span = static_cast<int>(first.daysTo(QDate(2026, 6, 30)));
    db.transaction();
    for (int i = 0; i < records; ++i) {
      const QDate day = first.addDays(rng.below(static_cast<std::uint64_t>(span)));
      QString title = rng.pick(kSurnames) + rng.pick(kTopics) + QStringLiteral("（%1）").arg(rng.pick(kMethods));
      QString querent = rng.pick(kSurnames) + rng.pick(kGiven) + (rng.chance(50) ? rng.pick(kGiven) : QString());
      q.bindValue(QStringLiteral(":BT"), CutToGbkBytes(title, kTitleBytes));
      q.bindValue(QStringLiteral(":QZR"), CutToGbkBytes(querent, kQuerentBytes));
      q.bindValue(QStringLiteral(":FK"), rng.chance(40) ? 1 : 0);
      q.bindValue(QStringLiteral(":LR"), RecordText(rng, day, rng.range(1800, 2200)));
      q.bindValue(QStringLiteral(":SJ"), day.toString(Qt::ISODate));
      q.bindValue(QStringLiteral(":FL"), QVariant::fromValue<qint64>(target[static_cast<size_t>(i)]));
      if (!q.exec()) Die(q.lastError().text());
      if ((i + 1) % 10000 == 0) {
        db.commit();
        db.transaction();
        std::fprintf(stderr, "\r%d records", i + 1);
      }
    }
    db.commit();
    q.finish();
    q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    q.exec(QStringLiteral("ANALYZE"));
    q = QSqlQuery();
    db.close();
  }
  QSqlDatabase::removeDatabase(QStringLiteral("generate"));
  std::fprintf(stderr, "\n");
  std::printf("wrote %s: %d folders, %d records (folder %lld holds %d), seed %llu, %s MB, %.1f s\n",
              qPrintable(path), folders, records, static_cast<long long>(folderIds[0]), big,
              static_cast<unsigned long long>(seed), MbText(QFileInfo(path).size()).constData(),
              Ms(timer) / 1000);
  return 0;
}

// ---- measure

int Measure(const QString& dir, RowId folder, int repeat) {
  QElapsedTimer t;
  t.start();
  CasebookStore store;
  store.OpenStore(dir);
  const double openMs = Ms(t);

  // The main window's tree rebuild: FolderChildren once per folder.
  t.restart();
  int folderCount = 0;
  std::vector<RowId> pending{0};
  while (!pending.empty()) {
    const RowId p = pending.back();
    pending.pop_back();
    for (const FolderRow& f : store.FolderChildren(p)) {
      ++folderCount;
      pending.push_back(f.id);
    }
  }
  const double treeMs = Ms(t);

  if (folder <= 0) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("measure-peek"));
    db.setDatabaseName(store.databasePath());
    db.open();
    {
      QSqlQuery c(db);
      c.exec(QStringLiteral("SELECT FL FROM Omenry GROUP BY FL ORDER BY COUNT(*) DESC LIMIT 1"));
      if (c.next()) folder = c.value(0).toLongLong();
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("measure-peek"));
  }

  std::printf("open %.1f ms; tree of %d folders %.1f ms\n", openMs, folderCount, treeMs);
  RecordList* list = store.records();
  for (int i = 0; i < repeat; ++i) {
    t.restart();
    store.ListFolderRecords(folder);
    const double listMs = Ms(t);
    t.restart();
    const QString text = list->currentText();
    const double textMs = Ms(t);
    std::printf("run %d: ListFolderRecords(%lld) %d rows %.1f ms; first record's text (%lld chars) %.2f ms; total %.1f ms\n",
                i + 1, static_cast<long long>(folder), list->count(), listMs,
                static_cast<long long>(text.size()), textMs, listMs + textMs);
  }
  // Walking the list as "下一条" does, reading each text on the way.
  t.restart();
  int walked = 0;
  list->first();
  for (; walked < 1000 && !list->eof(); ++walked) {
    (void)list->currentText();
    list->next();
  }
  std::printf("next + text over %d rows: %.3f ms per row\n", walked, Ms(t) / std::max(walked, 1));
  t.restart();
  SearchCondition condition;
  condition.clauses = {{SearchField::Title, {QStringLiteral("王"), QStringLiteral("婚")}, true},
                       {SearchField::Text, {QStringLiteral("壬子"), QStringLiteral("开门")}, true}};
  store.SearchRecords(condition);
  std::printf("search over all records (title and text): %d rows, %.1f ms\n", list->count(), Ms(t));
  std::printf("peak resident memory %s MB\n", MbText(PeakRssKiB() * 1024).constData());
  return 0;
}

// ---- search

// The search window's search: the words in the title, the text or both
// (mode 0, 1, 2), joined by "and" or "or", through the word index or by
// scanning the table; the times of each run in milliseconds.
int Search(const QString& dir, const QStringList& words, int mode, bool all, bool scan, int repeat) {
  QElapsedTimer t;
  CasebookStore store;
  store.OpenStore(dir);
  SearchCondition condition;
  if (mode != 1) condition.clauses.append({SearchField::Title, words, all});
  if (mode != 0) condition.clauses.append({SearchField::Text, words, all});
  for (int i = 0; i < repeat; ++i) {
    t.restart();
    if (scan)
      store.SearchRecordsByScan(condition);
    else
      store.SearchRecords(condition);
    std::printf("run %d: %s \"%s\" (%s, %s): %d rows, %.1f ms\n", i + 1, scan ? "scan" : "index",
                qPrintable(words.join(QLatin1Char(' '))), all ? "and" : "or",
                mode == 0 ? "title" : mode == 1 ? "text" : "title or text",
                store.records()->count(), Ms(t));
  }
  return 0;
}

// ---- dump

// Every record's title and text, in ID order, into one UTF-8 file: the
// title on a line of its own, then the text as stored (CR LF lines).
int Dump(const QString& dir, const QString& file) {
  CasebookStore store;
  store.OpenStore(dir);
  QFile out(file);
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) Die(out.errorString());
  QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("dump"));
  db.setDatabaseName(store.databasePath());
  if (!db.open()) Die(db.lastError().text());
  {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT BT, LR FROM Omenry ORDER BY ID"))) Die(q.lastError().text());
    while (q.next()) {
      out.write(q.value(0).toString().toUtf8());
      out.write("\r\n");
      out.write(q.value(1).toString().toUtf8());
      out.write("\r\n");
    }
  }
  db.close();
  db = QSqlDatabase();
  QSqlDatabase::removeDatabase(QStringLiteral("dump"));
  if (!out.flush()) Die(out.errorString());
  std::printf("wrote %s: %s MB\n", qPrintable(file), MbText(out.size()).constData());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  auto option = [&](const QString& name, const QString& fallback) {
    const qsizetype i = args.indexOf(name);
    return (i >= 0 && i + 1 < args.size()) ? args[i + 1] : fallback;
  };
  const QStringList commands = {QStringLiteral("generate"), QStringLiteral("measure"),
                                QStringLiteral("search"), QStringLiteral("dump")};
  if (args.size() < 2 || !commands.contains(args[0]) ||
      (args[0] == QLatin1String("dump") && args.size() < 3)) {
    std::fprintf(stderr,
                 "usage: casebook generate DIR [--records N] [--folders F] [--big B] [--seed S] [--force]\n"
                 "       casebook measure DIR [--folder ID] [--repeat R]\n"
                 "       casebook search DIR [--mode 0|1|2] [--or] [--scan] [--repeat R] WORD...\n"
                 "       casebook dump DIR FILE\n");
    return 2;
  }
  const QString dir = QDir(args[1]).absolutePath();
  try {
    if (args[0] == QLatin1String("generate"))
      return Generate(dir, option(QStringLiteral("--records"), QStringLiteral("100000")).toInt(),
                      option(QStringLiteral("--folders"), QStringLiteral("200")).toInt(),
                      option(QStringLiteral("--big"), QStringLiteral("10000")).toInt(),
                      option(QStringLiteral("--seed"), QStringLiteral("4")).toULongLong(),
                      args.contains(QStringLiteral("--force")));
    if (!QFileInfo::exists(dir + QLatin1Char('/') + CasebookStore::DatabaseFileName()))
      Die(QStringLiteral("no casebook in %1").arg(dir));
    if (args[0] == QLatin1String("dump")) return Dump(dir, args[2]);
    if (args[0] == QLatin1String("search")) {
      QStringList words;
      for (qsizetype i = 2; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--mode") || args[i] == QLatin1String("--repeat")) {
          ++i;
          continue;
        }
        if (!args[i].startsWith(QLatin1String("--"))) words << args[i];
      }
      return Search(dir, words, option(QStringLiteral("--mode"), QStringLiteral("2")).toInt(),
                    !args.contains(QStringLiteral("--or")), args.contains(QStringLiteral("--scan")),
                    option(QStringLiteral("--repeat"), QStringLiteral("3")).toInt());
    }
    return Measure(dir, option(QStringLiteral("--folder"), QStringLiteral("0")).toLongLong(),
                   option(QStringLiteral("--repeat"), QStringLiteral("3")).toInt());
  } catch (const StoreError& e) {
    Die(e.message());
  }
}
