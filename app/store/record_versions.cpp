// Reading one record from the automatic backups, through SQLite's C
// interface, read-only: a backup is never changed by being read.

#include "record_versions.h"

#include <QFile>
#include <QStringDecoder>

#include <sqlite3.h>

#include "casebook_backup.h"
#include "store_internal.h"

namespace {

QByteArray ColumnBytes(sqlite3_stmt* st, int column) {
  if (sqlite3_column_type(st, column) == SQLITE_NULL) return QByteArray();
  const void* data = sqlite3_column_blob(st, column);
  const int size = sqlite3_column_bytes(st, column);
  return data ? QByteArray(static_cast<const char*>(data), size) : QByteArray("");
}

QString ColumnText(sqlite3_stmt* st, int column) {
  const QByteArray bytes = ColumnBytes(st, column);
  return store_detail::TextColumn(bytes.isNull() ? QVariant() : QVariant(bytes));
}

// The record as the backup holds it, when it holds it sound (or keeps no
// checksum to say otherwise).
std::optional<RecordVersion> ReadFromBackup(const BackupFile& backup, RowId id) {
  sqlite3* db = nullptr;
  std::optional<RecordVersion> found;
  if (sqlite3_open_v2(QFile::encodeName(backup.path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) !=
      SQLITE_OK) {
    sqlite3_close(db);
    return found;
  }
  sqlite3_busy_timeout(db, 2000);
  const bool checks =
      sqlite3_exec(db, "SELECT 1 FROM OmenryCheck LIMIT 0", nullptr, nullptr, nullptr) == SQLITE_OK;
  const char* sql = checks ? "SELECT CAST(O.BT AS BLOB), CAST(O.QZR AS BLOB), CAST(O.SJ AS BLOB), "
                             "CAST(O.FK AS BLOB), CAST(O.LR AS BLOB), C.CK FROM Omenry O "
                             "LEFT JOIN OmenryCheck C ON C.ID=O.ID WHERE O.ID=?"
                           : "SELECT CAST(BT AS BLOB), CAST(QZR AS BLOB), CAST(SJ AS BLOB), "
                             "CAST(FK AS BLOB), CAST(LR AS BLOB), NULL FROM Omenry WHERE ID=?";
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK) {
    sqlite3_bind_int64(st, 1, id);
    if (sqlite3_step(st) == SQLITE_ROW) {
      const QByteArray sum = store_detail::RecordChecksum(ColumnBytes(st, 0), ColumnBytes(st, 1),
                                                          ColumnBytes(st, 2), ColumnBytes(st, 3),
                                                          ColumnBytes(st, 4));
      const QByteArray kept = ColumnBytes(st, 5);
      if (kept.isNull() || kept == sum) {
        RecordVersion v;
        v.backupTime = backup.time;
        v.backupPath = backup.path;
        v.bt = ColumnText(st, 0);
        v.qzr = ColumnText(st, 1);
        v.sj = store_detail::DateValue(ColumnText(st, 2)).toDate();
        v.fk = sqlite3_column_int(st, 3) != 0;
        v.lr = ColumnText(st, 4);
        found = v;
      }
    }
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return found;
}

}  // namespace

std::optional<RecordVersion> NewestBackedUpVersion(const QString& dataDir, RowId id) {
  for (const BackupFile& backup : ListBackups(dataDir))
    if (std::optional<RecordVersion> v = ReadFromBackup(backup, id)) return v;
  return std::nullopt;
}
