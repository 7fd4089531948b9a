#pragma once
// The store's basic types: row IDs, its error, and a folder row.

#include <QDate>
#include <QString>

#include "record_fields.h"
#include <QtGlobal>

#include <stdexcept>

// Folder and record IDs, ParentID and FL: 64-bit integers (SQLite rowids).
// Folder 0 is the tree's virtual root; it is not a row.
using RowId = qint64;

// Why a casebook could not be opened, or why an operation failed.
enum class StoreProblem {
  Engine,    // the database engine refused (its message says why)
  Damaged,   // the file is not a sound database: SQLite cannot read it, or it
             // failed its check and the store refuses to write into it
  Empty,     // the casebook file exists and holds 0 bytes
  Missing,   // the casebook file is gone while backups of it exist
  Foreign,   // an SQLite file that is not a casebook (left exactly as it is)
  NotAFile,  // something else than a regular file stands in the casebook's place
};

// What every operation that talks to the database throws on failure (see
// ERRORS in casebook_store.h).
class StoreError : public std::runtime_error {
 public:
  // message: what the user reads, in Chinese, with the technical detail
  // after it where there is one.
  explicit StoreError(const QString& message, bool damaged = false);
  StoreError(StoreProblem problem, const QString& message, int code = 0);
  const QString& message() const noexcept { return message_; }
  StoreProblem problem() const noexcept { return problem_; }
  // SQLite's primary result code when the engine gave one (5 busy, 13 full
  // ...), else 0.
  int code() const noexcept { return code_; }
  // The casebook needs a backup put in its place: its file is damaged,
  // empty, or missing while backups of it exist.
  bool damaged() const noexcept {
    return problem_ == StoreProblem::Damaged || problem_ == StoreProblem::Empty ||
           problem_ == StoreProblem::Missing;
  }

 private:
  QString message_;
  StoreProblem problem_ = StoreProblem::Engine;
  int code_ = 0;
};

// Why an open casebook is only read, never written.
enum class ReadOnlyReason {
  None,           // writable
  Damaged,        // the file failed its check
  FileReadOnly,   // the file is not writable (its mode)
  FolderReadOnly, // its directory (or the file system) is not writable
  OtherOwner,     // the file belongs to another user
  Locked,         // another program holds the write lock; retried until free
};

// What a record's checksum says of its stored fields: Unchecked when it has
// none (or the casebook keeps none), Damaged when they no longer agree with it.
enum class RecordIntegrity { Unchecked, Sound, Damaged };

// The order of the record list: newest first (the default), or by one of
// the listed fields (title and querent in the order of their pinyin,
// then newest first within equal values).
enum class ListOrder { Newest, Title, Querent, Date, Feedback, Folder };

// A row of table Folder, as FolderChildren gives it.
struct FolderRow {
  RowId id = 0;
  QString name;
};
