#pragma once
// Damages a casebook file the way a failing disk or a stray write does: 4 KiB
// of garbage over one page of the records table, in the middle of a long
// record's text.

#include <QFile>
#include <QString>
#include <sqlite3.h>

// The file must be closed by every store (no write-ahead log left) and hold a
// record whose text runs over at least two overflow pages. Returns false
// when no such page was found or the file could not be written.
inline bool DamageRecordsPage(const QString& path) {
  if (QFile::exists(path + QStringLiteral("-wal"))) return false;
  qint64 page = 0;
  int pageSize = 0;
  {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
      sqlite3_close(db);
      return false;
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT pageno, (SELECT page_size FROM pragma_page_size) FROM dbstat "
                           "WHERE name='Omenry' AND pagetype='overflow' ORDER BY pageno LIMIT 1 OFFSET 1",
                           -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW) {
      page = sqlite3_column_int64(st, 0);
      pageSize = sqlite3_column_int(st, 1);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
  }
  if (page < 2 || pageSize < 4096) return false;
  QFile f(path);
  if (!f.open(QIODevice::ReadWrite)) return false;
  QByteArray junk(4096, '\0');
  quint32 x = 0x9E3779B9u;
  for (char& c : junk) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  return f.seek((page - 1) * pageSize) && f.write(junk) == junk.size();
}
