#pragma once
// Salvage of a damaged casebook: every folder and record that SQLite can
// still read from the damaged file goes into a fresh casebook, and so does
// what a chosen backup holds that the damaged file no longer gives.
//
// SQLite's own recovery code (the sqlite3 shell's .recover and the recover
// extension behind it) reads pages through the sqlite_dbpage table, which
// Debian's libsqlite3 is built without; the shell's .recover fails there
// with "no such table: sqlite_dbpage". So the damaged file is read through
// SQLite's query engine, a piece at a time, and whatever fails is skipped:
// - the IDs of each table are read in order from the table itself; where a
//   damaged page stops the scan, seeks further on find the first ID from
//   which it reads again;
// - each index of the table is read from both ends: a row whose table page
//   is lost may still stand in an index (the record list's index holds
//   every field of a record but its text);
// - each row is read whole, or else field by field: a field that cannot be
//   read is left out, and a text, title or folder name that is lost says so
//   (kUnreadableText and the others below).
// The damaged file and the backup are opened read-only and never written.
// Columns are copied by name: those that the fresh casebook and the file
// read from both have. The casts kept with the records (OmenryCasts) are
// read the same way; a cast is kept only whole and with its record.
//
// Who wins where both files hold a row (same ID): the damaged file's
// version, which is the newer, when it was read whole; the backup's when the
// damaged file gave only part of it. A record that the backup holds in
// another version than the one read whole is kept as well, as a copy under
// the folder kVariantFolderName: nothing either file holds is dropped. (A
// record deleted after the backup was made therefore comes back.) Records
// whose folder is lost go under kLostFolderName; folders whose parent is
// lost, or whose parents run in a circle, hang under the root.

#include <QString>

#include <atomic>

#include "casebook_backup.h"

// The folders, under the root, for what has no place of its own.
inline constexpr char16_t kLostFolderName[] = u"失去分类的记录";
inline constexpr char16_t kVariantFolderName[] = u"备份中的不同版本";
// What stands for a field that could not be read.
inline constexpr char16_t kUnreadableText[] = u"（这条记录的正文无法从损坏的数据库文件中读出。）";
inline constexpr char16_t kUnreadableTitle[] = u"（标题无法读出）";
inline constexpr char16_t kUnreadableName[] = u"（名称无法读出）";

struct SalvageReport {
  QString error;                 // why no fresh casebook was made ("" when it was)
  bool damagedReadable = false;  // SQLite could read the damaged file's tables at all
  qint64 folders = 0;            // folders read from the damaged file
  qint64 records = 0;            // records read from the damaged file, whole or in part
  qint64 partialRecords = 0;     // records in the result with a field that could not be read
  qint64 backupFolders = 0;      // folders taken from the backup (missing, or read in part)
  qint64 backupRecords = 0;      // records taken from the backup that the damaged file did not give
  qint64 replacedRecords = 0;    // records read in part, taken whole from the backup instead
  qint64 variants = 0;           // the backup's other versions, under kVariantFolderName
  qint64 lostFolderRecords = 0;  // records under kLostFolderName
  qint64 casts = 0;              // kept casts in the result (whole, with their records)
};

// Fills `fresh`, an empty casebook in the store's schema (MakeSalvageTarget
// makes one), with what can be read of the casebook file `damaged` and, when
// `backup` is not empty, with the rows of that backup that the damaged file
// did not give whole. Runs on any thread (SQLite's C interface only);
// `cancel` is looked at between rows. The result passes PRAGMA quick_check
// before it is reported done; on any failure report.error says why, in
// Chinese with SQLite's words, and `fresh` is to be thrown away.
SalvageReport SalvageCasebook(const QString& damaged, const QString& backup, const QString& fresh,
                              const std::atomic<bool>* cancel = nullptr,
                              const CopyProgress& progress = {});

// Makes the empty casebook that SalvageCasebook fills, in a directory of its
// own inside dataDir ("salvage-<yyyyMMdd-HHmmss>"), with CasebookStore (on
// the calling thread, like every store). Returns its path, or "" with
// *error set.
QString MakeSalvageTarget(const QString& dataDir, QString* error);

// Puts the filled casebook in place of the casebook in dataDir
// (ReplaceCasebook: the damaged file is kept as
// "casebook.sqlite.damaged-<time>") and removes the salvage's directory.
// Returns "" or the system's error text.
QString PutSalvageInPlace(const QString& dataDir, const QString& fresh, QString* keptAs = nullptr);

// Removes the directory of a salvage that is not put in place.
void DiscardSalvage(const QString& fresh);
