#pragma once
// Plain SQLite connections for the store's tests: another program's view of
// the casebook file, and another program's writer holding its lock.

#include <QString>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "held_lock.h"

// A plain SQLite connection, usable from any one thread (the tests hold
// locks from a thread of their own while the store works on the main one).
class Sqlite {
 public:
  explicit Sqlite(const QString& path, int flags = SQLITE_OPEN_READWRITE) {
    EXPECT_EQ(sqlite3_open_v2(path.toUtf8().constData(), &db_, flags, nullptr), SQLITE_OK);
    sqlite3_busy_timeout(db_, 5000);
  }
  ~Sqlite() { sqlite3_close(db_); }
  Sqlite(const Sqlite&) = delete;
  Sqlite& operator=(const Sqlite&) = delete;
  int exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }
  const char* error() { return sqlite3_errmsg(db_); }
  // The first column of the first row, as a 64-bit integer (0 without a row).
  qint64 integer(const char* sql) {
    sqlite3_stmt* st = nullptr;
    qint64 v = 0;
    if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
      v = sqlite3_column_int64(st, 0);
    else
      ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
    sqlite3_finalize(st);
    return v;
  }

 private:
  sqlite3* db_ = nullptr;
};

// A casebook file of the first schema, before the recycle bin, the
// checksums and the kept casts: one folder (ID 1) with two records (IDs 1
// and 2, the second with empty fields), in a directory that exists.
inline void MakeFirstSchemaCasebook(const QString& path) {
  Sqlite raw(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  ASSERT_EQ(raw.exec("PRAGMA journal_mode=WAL;"
                     "CREATE TABLE Folder(ID INTEGER PRIMARY KEY AUTOINCREMENT, ParentID INTEGER, Name TEXT);"
                     "CREATE TABLE Omenry(ID INTEGER PRIMARY KEY AUTOINCREMENT, BT TEXT, QZR TEXT, SJ DATE,"
                     " FL INTEGER, FK BOOLEAN, LR TEXT);"
                     "CREATE INDEX OmenryList ON Omenry(FL, ID, BT, QZR, SJ, FK);"
                     "INSERT INTO Folder(ParentID, Name) VALUES (0, '旧');"
                     "INSERT INTO Omenry(BT, QZR, SJ, FL, FK, LR) VALUES ('一', '某', '2001-02-03', 1, 1, '旧文');"
                     "INSERT INTO Omenry(BT, QZR, SJ, FL, FK, LR) VALUES ('二', NULL, NULL, 1, NULL, NULL);"),
            SQLITE_OK)
      << raw.error();
}

// Another program's writer: holds the casebook's write lock from a thread of
// its own for `hold`, then commits.
class LockHolder {
 public:
  LockHolder(const QString& path, std::chrono::milliseconds hold) {
    thread_ = std::thread([this, path, hold] {
      Sqlite db(path);
      began_ = db.exec("BEGIN IMMEDIATE") == SQLITE_OK;
      ready_ = true;
      ready_.notify_all();
      std::this_thread::sleep_for(hold);
      if (began_) db.exec("COMMIT");
    });
    ready_.wait(false);
  }
  ~LockHolder() { thread_.join(); }
  bool holding() const { return began_; }

 private:
  std::atomic<bool> ready_{false};
  bool began_ = false;
  std::thread thread_;
};
