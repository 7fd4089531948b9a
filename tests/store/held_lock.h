#pragma once
// Another program's writer on the casebook, for the store's and the windows'
// tests (plain SQLite, no test framework).

#include <QString>

#include <sqlite3.h>

#include <atomic>
#include <thread>

// Another program's writer that holds the casebook's write lock from a thread
// of its own until release() (or its end).
class HeldLock {
 public:
  explicit HeldLock(const QString& path) {
    thread_ = std::thread([this, path] {
      sqlite3* db = nullptr;
      if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 5000);
        began_ = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
      }
      ready_ = true;
      ready_.notify_all();
      release_.wait(false);
      if (began_) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
      sqlite3_close(db);
    });
    ready_.wait(false);
  }
  ~HeldLock() { release(); }
  void release() {
    if (!thread_.joinable()) return;
    release_ = true;
    release_.notify_all();
    thread_.join();
  }
  bool holding() const { return began_; }

 private:
  std::atomic<bool> ready_{false};
  std::atomic<bool> release_{false};
  bool began_ = false;
  std::thread thread_;
};
