#pragma once
// Damages a casebook file the way a failing disk or a stray write does: 4 KiB
// of garbage over one page (DamagePage). DamageRecordsPage picks a page of
// the records table in the middle of a long record's text; PagesOf finds the
// pages of any table or index.

#include <QFile>
#include <QString>
#include <sqlite3.h>

#include <vector>

// Writes 4 KiB of garbage (the same every time) over page `page` (1 is the
// first) of a database file with pages of `pageSize` bytes.
inline bool DamagePage(const QString& path, qint64 page, int pageSize = 4096) {
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
  return DamagePage(path, page, pageSize);
}

// The pages of one table or index of the casebook (dbstat's name: "Omenry",
// "Folder", "OmenryListing" …) of one type ("leaf", "internal", "overflow"), in
// the b-tree's order (a table's leaves by rising IDs), with the number of
// cells each holds.
struct PageOf {
  qint64 page = 0;
  int cells = 0;
};
inline std::vector<PageOf> PagesOf(const QString& path, const char* name, const char* type) {
  std::vector<PageOf> pages;
  sqlite3* db = nullptr;
  // Immutable: a look that leaves no log or shared-memory file beside it.
  const QByteArray uri = "file:" + path.toUtf8() + "?immutable=1";
  if (sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT pageno, ncell FROM dbstat WHERE name = ?1 AND pagetype = ?2 ORDER BY path",
                           -1, &st, nullptr) == SQLITE_OK) {
      sqlite3_bind_text(st, 1, name, -1, SQLITE_STATIC);
      sqlite3_bind_text(st, 2, type, -1, SQLITE_STATIC);
      while (sqlite3_step(st) == SQLITE_ROW)
        pages.push_back({sqlite3_column_int64(st, 0), sqlite3_column_int(st, 1)});
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return pages;
}
