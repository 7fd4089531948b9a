#pragma once
// The store's basic types: row IDs, its error, and a folder row.

#include <QString>
#include <QtGlobal>

#include <stdexcept>

// Folder and record IDs, ParentID and FL: 64-bit integers (SQLite rowids).
// Folder 0 is the tree's virtual root; it is not a row.
using RowId = qint64;

// What every operation that talks to the database throws on failure (see
// ERRORS in casebook_store.h).
class StoreError : public std::runtime_error {
 public:
  explicit StoreError(const QString& message, bool damaged = false);
  // The database engine's message text, as it should be shown to the user.
  const QString& message() const noexcept { return message_; }
  // The failure comes from a damaged database file: SQLite cannot read it
  // as a sound database (or the store refuses to write into a file that
  // failed its check at opening).
  bool damaged() const noexcept { return damaged_; }

 private:
  QString message_;
  bool damaged_ = false;
};

// A row of table Folder, as FolderChildren gives it.
struct FolderRow {
  RowId id = 0;
  QString name;
};
