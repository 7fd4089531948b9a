// casebook_exchange: times the export and the import of a casebook as data
// (app/store/casebook_exchange.h) on a casebook of `casebook generate`.
//
//   casebook_exchange export DIR FILE [--csv] [--folder ID] [--repeat R]
//   casebook_exchange import DIR FILE [--into ID]
//
// export writes the casebook in DIR (or one folder with everything below
// it) to FILE as JSON (CSV with --csv), R times, and prints the time of
// each run in milliseconds, the file's size and the peak resident memory.
// import reads FILE (JSON) and imports it into folder ID of the casebook in
// DIR (a new top-level folder "导入" when --into is not given), and prints
// the times of reading and of the import.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>

#include "casebook_exchange.h"
#include "casebook_store.h"

namespace {

double Ms(const QElapsedTimer& t) {
  return std::chrono::duration<double, std::milli>(std::chrono::nanoseconds(t.nsecsElapsed())).count();
}

long PeakKb() {
  struct rusage u {};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

[[noreturn]] void Die(const QString& message) {
  std::fprintf(stderr, "casebook_exchange: %s\n", qPrintable(message));
  std::exit(1);
}

int Export(const QString& dir, const QString& file, bool csv, RowId folder, int repeat) {
  CasebookStore store;
  store.OpenStore(dir);
  for (int i = 0; i < repeat; ++i) {
    QElapsedTimer t;
    t.start();
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) Die(out.errorString());
    ExchangeCount count;
    const QString error =
        ExportCasebook(store, folder, csv ? ExchangeFormat::Csv : ExchangeFormat::Json, out, &count);
    if (!error.isEmpty()) Die(error);
    if (!out.commit()) Die(out.errorString());
    std::printf("export %s: %d folders, %d records, %.1f MB in %.0f ms\n", csv ? "CSV" : "JSON", count.folders,
                count.records, double(QFileInfo(file).size()) / 1048576.0, Ms(t));
  }
  std::printf("peak resident memory: %.1f MB\n", double(PeakKb()) / 1024.0);
  return 0;
}

int Import(const QString& dir, const QString& file, RowId into) {
  CasebookStore store;
  store.OpenStore(dir);
  QElapsedTimer t;
  t.start();
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly)) Die(in.errorString());
  QString error;
  const std::optional<CasebookData> data = ReadCasebookJson(in.readAll(), &error);
  if (!data) Die(error);
  std::printf("read: %d folders, %d records in %.0f ms\n", data->FolderCount(), data->RecordCount(), Ms(t));
  if (into < 0) into = store.AddFolder(0, QStringLiteral("导入"));
  t.restart();
  const ExchangeCount count = store.ImportData(into, *data);
  std::printf("import: %d folders, %d records in %.0f ms\n", count.folders, count.records, Ms(t));
  std::printf("peak resident memory: %.1f MB\n", double(PeakKb()) / 1024.0);
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
  if (args.size() < 3 || (args[0] != QLatin1String("export") && args[0] != QLatin1String("import"))) {
    std::fprintf(stderr,
                 "usage: casebook_exchange export DIR FILE [--csv] [--folder ID] [--repeat R]\n"
                 "       casebook_exchange import DIR FILE [--into ID]\n");
    return 2;
  }
  const QString dir = QDir(args[1]).absolutePath();
  if (!QFileInfo::exists(dir + QLatin1Char('/') + CasebookStore::DatabaseFileName()))
    Die(QStringLiteral("no casebook in %1").arg(dir));
  try {
    if (args[0] == QLatin1String("export"))
      return Export(dir, args[2], args.contains(QStringLiteral("--csv")),
                    option(QStringLiteral("--folder"), QStringLiteral("0")).toLongLong(),
                    option(QStringLiteral("--repeat"), QStringLiteral("1")).toInt());
    return Import(dir, args[2], option(QStringLiteral("--into"), QStringLiteral("-1")).toLongLong());
  } catch (const StoreError& e) {
    Die(e.message());
  }
}
