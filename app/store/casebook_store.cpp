// The casebook store on SQLite through Qt SQL: opening the file, its check
// and its schema. See casebook_store.h for the contract; the notes here are
// about how it is kept. The store's other files: casebook_folders.cpp (the
// folders), casebook_records.cpp (the records and the listing of a folder),
// casebook_search.cpp (the word index and the search), record_list.cpp (the
// record list), search_condition.cpp and casebook_text.cpp.
//
// One file, DatabaseFileName(), in the data directory holds both tables. The
// directory is 0700 and the files 0600. The journal is a write-ahead log with
// full synchronisation: a committed record survives a crash or a power cut.
// Each CasebookStore has its own Qt SQL connection name, so that several
// stores (tests, tools) can be open at once.

#include "casebook_store.h"

#include <QAbstractEventDispatcher>
#include <QAtomicInt>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSqlDriver>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>
#include <utility>

#include "casebook_backup.h"
#include "store_internal.h"

// ---------------------------------------------------------------------------
// Errors

StoreError::StoreError(const QString& message, bool damaged)
    : std::runtime_error(message.toStdString()),
      message_(message),
      problem_(damaged ? StoreProblem::Damaged : StoreProblem::Engine) {}

StoreError::StoreError(StoreProblem problem, const QString& message, int code)
    : std::runtime_error(message.toStdString()), message_(message), problem_(problem), code_(code) {}

namespace store_detail {

QString EngineText(const QSqlError& e) {
  QString t = e.databaseText().trimmed();
  if (t.isEmpty()) t = e.driverText().trimmed();
  if (t.isEmpty()) t = e.text().trimmed();
  if (t.isEmpty()) t = QStringLiteral("unknown database error");
  return t;
}

namespace {

int PrimaryCode(const QSqlError& e) {
  bool ok = false;
  const int code = e.nativeErrorCode().toInt(&ok);
  return ok ? code & 0xff : 0;
}

}  // namespace

bool IsDamage(const QSqlError& e) {
  const int code = PrimaryCode(e);
  return code == kSqliteCorrupt || code == kSqliteNotADb;
}

QString UserText(int code, const QString& detail) {
  QString what;
  switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      what = QStringLiteral("数据库正被其他程序占用，暂时不能写入。请稍后再试。");
      break;
    case SQLITE_READONLY: what = QStringLiteral("数据库是只读的，不能写入。"); break;
    case SQLITE_PERM:
    case SQLITE_AUTH: what = QStringLiteral("没有访问数据库文件的权限。"); break;
    case SQLITE_IOERR: what = QStringLiteral("读写数据库文件时出错。"); break;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: what = QStringLiteral("数据库文件已损坏。"); break;
    case SQLITE_FULL: what = QStringLiteral("磁盘已满，无法写入数据库。"); break;
    case SQLITE_CANTOPEN: what = QStringLiteral("无法打开数据库文件。"); break;
    case SQLITE_NOMEM: what = QStringLiteral("内存不足，数据库操作没有完成。"); break;
    case SQLITE_TOOBIG: what = QStringLiteral("内容太大，无法存入数据库。"); break;
    case SQLITE_CONSTRAINT: what = QStringLiteral("数据库拒绝了这项修改。"); break;
    default: what = QStringLiteral("数据库操作失败。"); break;
  }
  return detail.isEmpty() ? what : what + QStringLiteral("\n详细信息：") + detail;
}

[[noreturn]] void Fail(const QSqlError& e) {
  const int code = PrimaryCode(e);
  throw StoreError(IsDamage(e) ? StoreProblem::Damaged : StoreProblem::Engine,
                   UserText(code, EngineText(e)), code);
}

// The SQLite connection under a Qt SQL one. Qt's SQLite driver and the store
// must use one and the same SQLite library (on Debian both use the system's
// libsqlite3): the source IDs of the two are compared.
sqlite3* Handle(const QSqlDatabase& db) {
  const QVariant v = db.driver() ? db.driver()->handle() : QVariant();
  sqlite3* handle = nullptr;
  if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0) handle = *static_cast<sqlite3* const*>(v.constData());
  QSqlQuery q(db);
  const bool same = handle && q.exec(QStringLiteral("SELECT sqlite_source_id()")) && q.next() &&
                    q.value(0).toString() == QLatin1String(sqlite3_sourceid());
  if (!same)
    throw StoreError(QStringLiteral("数据库驱动所用的 SQLite 不是本程序的 SQLite，无法打开数据库。(%1)")
                         .arg(QLatin1String(sqlite3_sourceid())));
  return handle;
}

QByteArray RecordChecksum(const QByteArray& bt, const QByteArray& qzr, const QByteArray& sj,
                          const QByteArray& fk, const QByteArray& lr) {
  QCryptographicHash hash(QCryptographicHash::Sha256);
  hash.addData(QByteArrayView("omenry-record-1"));
  for (const QByteArray* field : {&bt, &qzr, &sj, &fk, &lr}) {
    // Each field as a tag (0 NULL, 1 a value), its length and its bytes, so
    // that no two different records give the same stream.
    char head[9] = {};
    if (!field->isNull()) {
      head[0] = 1;
      quint64 n = static_cast<quint64>(field->size());
      for (int i = 1; i < 9; ++i, n >>= 8) head[i] = static_cast<char>(n & 0xff);
    }
    hash.addData(QByteArrayView(head, sizeof head));
    hash.addData(QByteArrayView(*field));
  }
  return hash.result();
}

}  // namespace store_detail

using namespace store_detail;

namespace {

// What a write into a damaged casebook is answered with.
const QString kDamagedText = QStringLiteral(
    "数据库文件已损坏，为免损失扩大，不再向其中写入任何内容。请从备份恢复数据库。");

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

// A read-only SQLite connection of its own (SQLite's C interface: it may run
// on any thread), closed on every path. A casebook in a directory that
// cannot be written, with no -shm file beside it, can only be read as an
// immutable file (its write-ahead log, if any, unread): that is tried when
// the plain read-only opening fails.
class ReadConnection {
 public:
  explicit ReadConnection(const QString& path) {
    if (open(QFile::encodeName(path), SQLITE_OPEN_READONLY) && works()) return;
    sqlite3_close(db_);
    db_ = nullptr;
    const QByteArray uri = QByteArrayLiteral("file:") +
                           QUrl::toPercentEncoding(path, "/") + QByteArrayLiteral("?immutable=1");
    if (open(uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI) && works()) {
      immutable_ = true;
      return;
    }
    // Report the plain opening's failure, which names the real trouble.
    sqlite3_close(db_);
    db_ = nullptr;
    if (open(QFile::encodeName(path), SQLITE_OPEN_READONLY)) works();
  }
  ~ReadConnection() { sqlite3_close(db_); }
  ReadConnection(const ReadConnection&) = delete;
  ReadConnection& operator=(const ReadConnection&) = delete;

  sqlite3* handle() const { return db_; }
  bool ok() const { return db_ != nullptr && code_ == SQLITE_OK; }
  int code() const { return code_; }
  QString error() const { return error_; }
  bool immutable() const { return immutable_; }

  // Remembers a failure of the handle's last call.
  void failed() {
    code_ = db_ ? sqlite3_errcode(db_) & 0xff : SQLITE_NOMEM;
    error_ = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QStringLiteral("out of memory");
  }

 private:
  bool open(const QByteArray& name, int flags) {
    code_ = sqlite3_open_v2(name.constData(), &db_, flags, nullptr) & 0xff;
    if (code_ != SQLITE_OK) {
      failed();
      return false;
    }
    sqlite3_busy_timeout(db_, 5000);
    return true;
  }
  // The schema can be read (the first read is where a missing -shm shows).
  bool works() {
    if (sqlite3_exec(db_, "SELECT COUNT(*) FROM sqlite_master", nullptr, nullptr, nullptr) == SQLITE_OK) {
      code_ = SQLITE_OK;
      error_.clear();
      return true;
    }
    failed();
    return false;
  }

  sqlite3* db_ = nullptr;
  int code_ = SQLITE_OK;
  QString error_;
  bool immutable_ = false;
};

// What PRAGMA quick_check says of the file, read through a connection of its
// own. A file SQLite cannot read as a database at all is unreadable; its
// message is the only problem.
FileCheck QuickCheck(const QString& path, const std::atomic<bool>* cancel) {
  FileCheck check;
  ReadConnection db(path);
  sqlite3_stmt* st = nullptr;
  int rc = db.ok() ? SQLITE_OK : db.code();
  if (rc == SQLITE_OK) {
    if (cancel)
      sqlite3_progress_handler(
          db.handle(), 10000,
          [](void* flag) { return static_cast<std::atomic<bool>*>(flag)->load() ? 1 : 0; },
          const_cast<std::atomic<bool>*>(cancel));
    rc = sqlite3_prepare_v2(db.handle(), "PRAGMA quick_check(20)", -1, &st, nullptr);
    if (rc != SQLITE_OK) db.failed();
  }
  while (rc == SQLITE_OK || rc == SQLITE_ROW) {
    rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) {
      const QString line = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
      if (line != QLatin1String("ok")) check.problems << line;
    } else if (rc != SQLITE_DONE) {
      db.failed();
    }
  }
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) {
    const int code = db.code();
    if (code == SQLITE_INTERRUPT && cancel && cancel->load()) {
      check.cancelled = true;
    } else if (code == kSqliteCorrupt || code == kSqliteNotADb) {
      check.unreadable = true;
      check.problems = QStringList{db.error()};
    } else {
      check.error = db.error();
      check.code = code;
    }
  }
  return check;
}

// What a file in the casebook's place is, read without writing anything.
struct FileLook {
  enum Kind {
    Casebook,    // has the casebook's tables
    Blank,       // an SQLite database without any table: a new casebook
    Foreign,     // an SQLite database, but not a casebook
    Unreadable,  // not a database SQLite can read
    Failed,      // could not be read (locked, no permission ...)
  } kind = Failed;
  QString detail;  // Foreign: why not; Unreadable, Failed: SQLite's message
  int code = 0;
};

// The columns every casebook's tables have.
const char* const kFolderColumns[] = {"ID", "ParentID", "Name"};
const char* const kRecordColumns[] = {"ID", "BT", "QZR", "SJ", "FL", "FK", "LR"};

FileLook LookAtFile(const QString& path) {
  FileLook look;
  ReadConnection db(path);
  auto fail = [&] {
    look.code = db.code();
    look.detail = db.error();
    look.kind = look.code == kSqliteCorrupt || look.code == kSqliteNotADb ? FileLook::Unreadable
                                                                          : FileLook::Failed;
    return look;
  };
  if (!db.ok()) return fail();
  // The names of the tables, and the columns of each.
  QMap<QString, QStringList> tables;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db.handle(),
                         "SELECT m.name, p.name FROM sqlite_master m, pragma_table_info(m.name) p "
                         "WHERE m.type='table' AND m.name NOT LIKE 'sqlite%'",
                         -1, &st, nullptr) != SQLITE_OK) {
    db.failed();
    return fail();
  }
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW)
    tables[QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)))]
        << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
  if (rc != SQLITE_DONE) db.failed();
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) return fail();
  // Also the tables without columns (virtual tables list none here).
  if (sqlite3_prepare_v2(db.handle(),
                         "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite%'",
                         -1, &st, nullptr) == SQLITE_OK) {
    while (sqlite3_step(st) == SQLITE_ROW)
      tables[QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)))];
  }
  sqlite3_finalize(st);

  // Texts are written and read as UTF-8 bytes: a file in another encoding
  // is not one of ours.
  QString encoding;
  if (sqlite3_prepare_v2(db.handle(), "PRAGMA encoding", -1, &st, nullptr) == SQLITE_OK &&
      sqlite3_step(st) == SQLITE_ROW)
    encoding = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
  sqlite3_finalize(st);

  if (tables.isEmpty()) {
    look.kind = encoding == QLatin1String("UTF-8") || encoding.isEmpty() ? FileLook::Blank
                                                                         : FileLook::Foreign;
    if (look.kind == FileLook::Foreign)
      look.detail = QStringLiteral("它的文本编码是 %1，不是 UTF-8。").arg(encoding);
    return look;
  }
  auto missing = [&](const QString& table, const auto& columns) {
    QStringList lacking;
    for (const char* c : columns) {
      bool found = false;
      for (const QString& have : tables.value(table))
        found = found || have.compare(QLatin1String(c), Qt::CaseInsensitive) == 0;
      if (!found) lacking << QLatin1String(c);
    }
    return lacking;
  };
  if (!tables.contains(QStringLiteral("Folder")) || !tables.contains(QStringLiteral("Omenry"))) {
    look.kind = FileLook::Foreign;
    QStringList names = tables.keys();
    if (names.size() > 8) names = names.mid(0, 8) << QStringLiteral("…");
    look.detail = QStringLiteral("其中没有 Folder 和 Omenry 两个表（它有的表：%1）。")
                      .arg(names.join(QStringLiteral("、")));
    return look;
  }
  const QStringList lackFolder = missing(QStringLiteral("Folder"), kFolderColumns);
  const QStringList lackRecord = missing(QStringLiteral("Omenry"), kRecordColumns);
  if (!lackFolder.isEmpty() || !lackRecord.isEmpty()) {
    look.kind = FileLook::Foreign;
    QStringList parts;
    if (!lackFolder.isEmpty()) parts << QStringLiteral("表 Folder 缺少字段 %1").arg(lackFolder.join(QStringLiteral("、")));
    if (!lackRecord.isEmpty()) parts << QStringLiteral("表 Omenry 缺少字段 %1").arg(lackRecord.join(QStringLiteral("、")));
    look.detail = parts.join(QStringLiteral("；")) + QStringLiteral("。");
    return look;
  }
  if (encoding != QLatin1String("UTF-8")) {
    look.kind = FileLook::Foreign;
    look.detail = QStringLiteral("它的文本编码是 %1，不是 UTF-8。").arg(encoding);
    return look;
  }
  look.kind = FileLook::Casebook;
  return look;
}

// Whether this process may write the casebook file (which exists) and its
// log files beside it, and why not.
ReadOnlyReason WriteAccess(const QString& path, const QString& dir) {
  const QFileInfo info(path);
  if (info.ownerId() != ::geteuid()) return ReadOnlyReason::OtherOwner;
  const QByteArray d = QFile::encodeName(dir);
  const QByteArray f = QFile::encodeName(path);
  if (::access(d.constData(), W_OK | X_OK) != 0) return ReadOnlyReason::FolderReadOnly;
  if (::access(f.constData(), W_OK) != 0)
    return errno == EROFS ? ReadOnlyReason::FolderReadOnly : ReadOnlyReason::FileReadOnly;
  for (const char* suffix : {"-wal", "-shm"}) {
    const QByteArray log = f + suffix;
    if (::access(log.constData(), F_OK) == 0 && ::access(log.constData(), W_OK) != 0)
      return ReadOnlyReason::FileReadOnly;
  }
  return ReadOnlyReason::None;
}

constexpr auto kOwnerDir = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                           QFileDevice::ExeOwner;
constexpr auto kOwnerFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QAtomicInt g_connectionSerial;

// Makes a regular file of this user's owner-only; anything else (a
// directory, a link to elsewhere, another user's file) is left alone.
void MakeOwnerOnly(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists() || info.isSymLink() || !info.isFile() || info.ownerId() != ::geteuid()) return;
  QFile::setPermissions(path, kOwnerFile);
}

// Opens the Qt SQL connection `name` on the file (read-only when asked; an
// immutable file when the plain read-only opening cannot read it), waiting
// up to 5 s for another connection's lock. Throws StoreError.
void OpenConnection(const QString& name, const QString& path, bool readOnly, bool immutable = false) {
  QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
  if (immutable) {
    db.setDatabaseName(QStringLiteral("file:") +
                       QString::fromLatin1(QUrl::toPercentEncoding(path, "/")) +
                       QStringLiteral("?immutable=1"));
    db.setConnectOptions(
        QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000;QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
  } else {
    db.setDatabaseName(path);
    db.setConnectOptions(readOnly ? QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000;QSQLITE_OPEN_READONLY")
                                  : QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
  }
  if (!db.open()) {
    const QSqlError e = db.lastError();
    const int code = PrimaryCode(e);
    const QString text = UserText(code, EngineText(e) + QStringLiteral(" (") + Native(path) + QLatin1Char(')'));
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
    throw StoreError(IsDamage(e) ? StoreProblem::Damaged : StoreProblem::Engine, text, code);
  }
}

void CloseConnection(const QString& name) noexcept {
  if (!QSqlDatabase::contains(name)) return;
  {
    QSqlDatabase db = QSqlDatabase::database(name, false);
    db.close();
  }
  QSqlDatabase::removeDatabase(name);
}

std::atomic<qint64> g_backgroundCheckBytes{64 * 1024 * 1024};
std::atomic<int> g_lockRetryMs{3000};

// How long the opening waits for another program's write lock before the
// casebook is shown read-only (and tried again beside), and how long a write
// waits for it.
constexpr int kOpeningLockWaitMs = 500;
constexpr int kWriteLockWaitMs = 5000;
// How long after the last save the log is folded back.
constexpr int kCheckpointDelayMs = 1500;

}  // namespace

CasebookStore::CasebookStore(QObject* parent) : QObject(parent), d_(new Impl) {
  d_->connection = QStringLiteral("casebook-%1").arg(g_connectionSerial.fetchAndAddRelaxed(1));
  d_->list = new RecordList(this);
  d_->lockRetry = new QTimer(this);
  connect(d_->lockRetry, &QTimer::timeout, this, &CasebookStore::retryWritable);
  d_->checkpoint = new QTimer(this);
  d_->checkpoint->setSingleShot(true);
  connect(d_->checkpoint, &QTimer::timeout, this, [this] { Checkpoint(); });
}

CasebookStore::~CasebookStore() {
  // Whoever listens to the list may be half destroyed by now (a window that
  // owns the store): the last close tells nobody.
  d_->list->blockSignals(true);
  close();
}

QString CasebookStore::DefaultDataDir() {
  // The portable place next to the program: used when it can be written,
  // and also, read-only, when it holds a casebook that cannot be written
  // (a read-only medium): that casebook is the user's, and a new empty one
  // elsewhere would hide it.
  const QString appDir = QCoreApplication::applicationDirPath();
  if (!appDir.isEmpty()) {
    const QString portable = appDir + QStringLiteral("/Data");
    const QFileInfo info(portable);
    if (info.isDir() &&
        (info.isWritable() || QFileInfo::exists(portable + QLatin1Char('/') + DatabaseFileName())))
      return portable;
  }
  return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
         QStringLiteral("/Data");
}

QString CasebookStore::DatabaseFileName() { return QStringLiteral("casebook.sqlite"); }

qint64 CasebookStore::BackgroundCheckBytes() { return g_backgroundCheckBytes; }
void CasebookStore::SetBackgroundCheckBytes(qint64 bytes) { g_backgroundCheckBytes = bytes; }
int CasebookStore::LockRetryMilliseconds() { return g_lockRetryMs; }
void CasebookStore::SetLockRetryMilliseconds(int ms) { g_lockRetryMs = ms; }

void CasebookStore::OpenStore(const QString& dataDir, bool createMissing) {
  close();
  const QString dir = QDir::cleanPath(dataDir.isEmpty() ? DefaultDataDir() : dataDir);
  const QString path = dir + QLatin1Char('/') + DatabaseFileName();

  // What stands in the casebook's place. Nothing is created, written or
  // given another mode until it is known to be a casebook.
  const QFileInfo info(path);
  if (info.isSymLink() && !info.exists())
    throw StoreError(StoreProblem::NotAFile,
                     QStringLiteral("数据库文件的位置上是一个失效的链接，Omenry 没有改动它：\n%1").arg(Native(path)));
  if (info.exists() && !info.isFile())
    throw StoreError(StoreProblem::NotAFile,
                     QStringLiteral("数据库文件的位置上不是一个文件，而是%1，Omenry 没有改动它：\n%2\n\n"
                                    "请把它移走，或把数据库文件放回原处。")
                         .arg(info.isDir() ? QStringLiteral("一个目录") : QStringLiteral("一个特殊文件"),
                              Native(path)));
  const QFileInfo dirInfo(dir);
  if (dirInfo.exists() && !dirInfo.isDir())
    throw StoreError(StoreProblem::NotAFile,
                     QStringLiteral("数据目录的位置上是一个文件，不是目录：\n%1").arg(Native(dir)));

  bool created = false;
  if (!info.exists()) {
    // A casebook that was there (it has backups) and is gone is not replaced
    // by an empty one without the user's word.
    if (!createMissing && !ListBackups(dir).isEmpty())
      throw StoreError(StoreProblem::Missing,
                       QStringLiteral("找不到数据库文件：\n%1\n\n数据目录中有它的备份。").arg(Native(path)));
    if (!dirInfo.exists()) {
      if (!QDir().mkpath(dir))
        throw StoreError(QStringLiteral("无法创建数据目录：\n%1").arg(Native(dir)));
      QFile::setPermissions(dir, kOwnerDir);
    }
    // The file is made owner-only before SQLite sees it; SQLite gives its
    // log files the permissions of the database file.
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerFile))
      throw StoreError(QStringLiteral("无法创建数据库文件：\n%1\n详细信息：%2").arg(Native(path), f.errorString()));
    f.close();
    created = true;
  } else if (info.size() == 0 && QFileInfo(path + QStringLiteral("-wal")).size() == 0) {
    throw StoreError(StoreProblem::Empty,
                     QStringLiteral("数据库文件是空的（0 字节）：\n%1\n\n其中的记录已经丢失，需要从备份恢复。")
                         .arg(Native(path)));
  }

  if (!created) {
    const FileLook look = LookAtFile(path);
    switch (look.kind) {
      case FileLook::Casebook:
      case FileLook::Blank:
        break;
      case FileLook::Foreign:
        throw StoreError(StoreProblem::Foreign,
                         QStringLiteral("这个文件不是 Omenry 的数据库，Omenry 没有打开也没有改动它：\n%1\n\n%2")
                             .arg(Native(path), look.detail));
      case FileLook::Unreadable:
        throw StoreError(StoreProblem::Damaged,
                         QStringLiteral("数据库文件已损坏，无法读取：\n%1\n详细信息：%2").arg(Native(path), look.detail),
                         look.code);
      case FileLook::Failed:
        throw StoreError(StoreProblem::Engine,
                         UserText(look.code, look.detail + QStringLiteral(" (") + Native(path) + QLatin1Char(')')),
                         look.code);
    }
  }
  const ReadOnlyReason access = created ? ReadOnlyReason::None : WriteAccess(path, dir);
  d_->dir = dir;
  d_->path = path;

  try {
    if (access == ReadOnlyReason::None) {
      MakeOwnerOnly(path);
      for (const char* suffix : {"-wal", "-shm"}) MakeOwnerOnly(path + QLatin1String(suffix));
    }
    d_->readOnly = access;
    // A large casebook that needs nothing set up (or cannot be written
    // anyway) is checked on a thread of its own, while this connection reads
    // it, read-only, for the window; writing waits for the check's verdict
    // (see requireWritable).
    if (!created && QFileInfo(path).size() >= g_backgroundCheckBytes) {
      openReadOnly(access);
      if (access != ReadOnlyReason::None || readyAsIs()) {
        d_->checking = true;
        d_->cancelCheck = false;
        const int generation = ++d_->generation;
        d_->checker = std::thread([this, path, generation] {
          d_->checkResult = QuickCheck(path, &d_->cancelCheck);
          // The verdict is taken in the store's thread, unless a write has
          // taken it already.
          QMetaObject::invokeMethod(
              this,
              [this, generation] {
                if (generation == d_->generation) finishCheck(true);
              },
              Qt::QueuedConnection);
        });
        return;
      }
      CloseConnection(d_->connection);
      d_->open = false;
    }

    // Otherwise the file is checked first, before anything is written into
    // it: a damaged file is opened read-only, so that what can still be read
    // is shown and nothing makes the damage worse.
    const FileCheck check = QuickCheck(path, nullptr);
    if (!check.error.isEmpty())
      throw StoreError(StoreProblem::Engine,
                       UserText(check.code, check.error + QStringLiteral(" (") + Native(path) + QLatin1Char(')')),
                       check.code);
    if (check.unreadable)
      throw StoreError(StoreProblem::Damaged,
                       QStringLiteral("数据库文件已损坏，无法读取：\n%1\n详细信息：%2").arg(Native(path), check.problems.value(0)));
    d_->problems = check.problems;
    if (!check.problems.isEmpty()) {
      d_->damaged = true;
      openReadOnly(ReadOnlyReason::Damaged);
    } else if (access != ReadOnlyReason::None) {
      openReadOnly(access);
    } else {
      openWritable();
    }
  } catch (...) {
    close();
    throw;
  }
}

void CasebookStore::openWritable(int lockWaitMs) {
  OpenConnection(d_->connection, d_->path, false);
  d_->open = true;
  if (!setUpWritable(lockWaitMs)) {
    // Another program holds the write lock: read meanwhile, try again beside.
    openReadOnly(ReadOnlyReason::Locked);
    return;
  }
  d_->readOnly = ReadOnlyReason::None;
  setUpReading();
}

void CasebookStore::openReadOnly(ReadOnlyReason reason) {
  CloseConnection(d_->connection);
  d_->open = false;
  bool immutable = false;
  {
    ReadConnection probe(d_->path);
    if (!probe.ok())
      throw StoreError(IsDamageCode(probe.code()) ? StoreProblem::Damaged : StoreProblem::Engine,
                       UserText(probe.code(), probe.error() + QStringLiteral(" (") + Native(d_->path) + QLatin1Char(')')),
                       probe.code());
    immutable = probe.immutable();
  }
  OpenConnection(d_->connection, d_->path, true, immutable);
  d_->open = true;
  d_->readOnly = reason;
  setUpReading();
  if (reason == ReadOnlyReason::Locked && hasEventLoop()) {
    d_->lockRetry->start(g_lockRetryMs);
  } else {
    d_->lockRetry->stop();
  }
}

bool CasebookStore::hasEventLoop() const {
  return QThread::currentThread() == thread() && QAbstractEventDispatcher::instance() != nullptr;
}

void CasebookStore::retryWritable() { becomeWritable(false); }

void CasebookStore::becomeWritable(bool wait) {
  if (!d_->open || d_->readOnly != ReadOnlyReason::Locked || d_->checking) {
    d_->lockRetry->stop();
    return;
  }
  // A look with a connection of its own, so that a lock still held costs
  // the window nothing (a write that wants the lock waits for it instead).
  if (!wait) {
    sqlite3* probe = nullptr;
    bool free = false;
    if (sqlite3_open_v2(QFile::encodeName(d_->path).constData(), &probe, SQLITE_OPEN_READWRITE, nullptr) ==
        SQLITE_OK) {
      sqlite3_busy_timeout(probe, 0);
      free = sqlite3_exec(probe, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
      if (free) sqlite3_exec(probe, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    sqlite3_close(probe);
    if (!free) return;
  }
  try {
    CloseConnection(d_->connection);
    d_->open = false;
    d_->list->dropCachedText();
    openWritable(wait ? kWriteLockWaitMs : kOpeningLockWaitMs);
  } catch (const StoreError&) {
    try {
      openReadOnly(ReadOnlyReason::Locked);
    } catch (...) {
      close();
      emit accessChanged();
      return;
    }
  }
  if (d_->readOnly == ReadOnlyReason::None) {
    d_->lockRetry->stop();
    emit accessChanged();
  }
}

bool CasebookStore::readyAsIs() {
  const bool haveFts5 =
      d_->scalar(QStringLiteral("SELECT sqlite_compileoption_used('ENABLE_FTS5')")).toInt() != 0;
  return d_->scalar(QStringLiteral("PRAGMA journal_mode")).toString() == QLatin1String("wal") &&
         d_->scalar(QStringLiteral(
                        "SELECT COUNT(*) FROM sqlite_master WHERE name IN ('Folder', 'Omenry', "
                        "'FolderParent', 'OmenryListing', 'OmenryCheck', 'OmenryCasts', "
                        "'OmenryCastsRecord')"))
                 .toInt() == 7 &&
         d_->scalar(QStringLiteral(
                        "SELECT COUNT(*) FROM sqlite_master WHERE name IN ('OmenryFolder', 'OmenryList')"))
                 .toInt() == 0 &&
         d_->hasColumn(QStringLiteral("Omenry"), QStringLiteral("DT")) &&
         d_->hasColumn(QStringLiteral("Folder"), QStringLiteral("DT")) &&
         d_->scalar(QStringLiteral("SELECT EXISTS (SELECT 1 FROM Omenry O WHERE NOT EXISTS "
                                   "(SELECT 1 FROM OmenryCheck C WHERE C.ID=O.ID))"))
                 .toInt() == 0 &&
         (!haveFts5 || wordIndexComplete());
}

bool CasebookStore::setUpWritable(int lockWaitMs) {
  // At opening, a short wait for another program's write lock: the window
  // does not stall on it (the casebook is shown read-only meanwhile and
  // tried again).
  d_->exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(lockWaitMs));
  try {
    d_->exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    d_->exec(QStringLiteral("PRAGMA synchronous=FULL"));
    Transaction t(d_->db());
    d_->exec(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS Folder("
        "ID INTEGER PRIMARY KEY AUTOINCREMENT, ParentID INTEGER, Name TEXT, DT TEXT)"));
    d_->exec(QStringLiteral(
        "CREATE INDEX IF NOT EXISTS FolderParent ON Folder(ParentID, ID)"));
    d_->exec(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS Omenry("
        "ID INTEGER PRIMARY KEY AUTOINCREMENT, BT TEXT, QZR TEXT, SJ DATE, "
        "FL INTEGER, FK BOOLEAN, LR TEXT, DT TEXT)"));
    // The recycle bin's mark, on casebooks made before the bin.
    for (const char* table : {"Folder", "Omenry"})
      if (!d_->hasColumn(QLatin1String(table), QStringLiteral("DT")))
        d_->exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN DT TEXT").arg(QLatin1String(table)));
    // The record list of a folder is read from this index alone: it carries
    // every listed field and the bin's mark, so listing a folder of
    // thousands of records never touches the pages of their texts. (An
    // index on FL, ID alone would draw the planner away from it.)
    d_->exec(QStringLiteral("DROP INDEX IF EXISTS OmenryFolder"));
    d_->exec(QStringLiteral("DROP INDEX IF EXISTS OmenryList"));
    d_->exec(QStringLiteral(
        "CREATE INDEX IF NOT EXISTS OmenryListing ON Omenry(FL, ID, BT, QZR, SJ, FK, DT)"));
    // The records' checksums: a table of their own, so that adding them to a
    // large casebook writes small rows, not every record again.
    d_->exec(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS OmenryCheck(ID INTEGER PRIMARY KEY, CK BLOB)"));
    fillChecksums();
    // The casts kept with the records: a table of their own, created empty
    // on a casebook made before it (its records have no casts).
    d_->exec(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS OmenryCasts("
        "ID INTEGER PRIMARY KEY AUTOINCREMENT, RecordID INTEGER NOT NULL, Method TEXT, Request TEXT, "
        "Clock TEXT, Place TEXT, Longitude REAL, Zone TEXT, Correction TEXT, Corrected TEXT, "
        "EngineVersion TEXT, ChartJson TEXT, ChartText TEXT, CastAt TEXT)"));
    d_->exec(QStringLiteral("CREATE INDEX IF NOT EXISTS OmenryCastsRecord ON OmenryCasts(RecordID, ID)"));
    // The word index of the search, unless this SQLite lacks FTS5 (then
    // every search scans the table).
    const bool haveFts5 =
        d_->scalar(QStringLiteral("SELECT sqlite_compileoption_used('ENABLE_FTS5')")).toInt() != 0;
    if (haveFts5 && !wordIndexComplete())
      CreateWordIndex(d_->db());
    t.commit();
  } catch (const StoreError& e) {
    d_->exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(kWriteLockWaitMs));
    if (e.code() == SQLITE_BUSY || e.code() == SQLITE_LOCKED) return false;
    throw;
  }
  d_->exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(kWriteLockWaitMs));
  for (const char* suffix : {"-wal", "-shm"}) MakeOwnerOnly(d_->path + QLatin1String(suffix));
  return true;
}

void CasebookStore::fillChecksums() {
  // Records without a checksum (a casebook made before them, rows copied in
  // by another program): theirs is taken from what is stored now.
  QSqlQuery q(d_->db());
  q.setForwardOnly(true);
  if (!q.exec(QStringLiteral(
          "SELECT ID, CAST(BT AS BLOB), CAST(QZR AS BLOB), CAST(SJ AS BLOB), CAST(FK AS BLOB), "
          "CAST(LR AS BLOB) FROM Omenry O WHERE NOT EXISTS (SELECT 1 FROM OmenryCheck C WHERE C.ID=O.ID)")))
    Fail(q.lastError());
  QSqlQuery put(d_->db());
  if (!put.prepare(QStringLiteral("INSERT OR REPLACE INTO OmenryCheck(ID, CK) VALUES (:ID, :CK)")))
    Fail(put.lastError());
  while (q.next()) {
    put.bindValue(QStringLiteral(":ID"), q.value(0));
    put.bindValue(QStringLiteral(":CK"), RecordChecksum(Bytes(q.value(1)), Bytes(q.value(2)), Bytes(q.value(3)),
                                                        Bytes(q.value(4)), Bytes(q.value(5))));
    if (!put.exec()) Fail(put.lastError());
  }
  if (q.lastError().isValid()) Fail(q.lastError());
}

void CasebookStore::setUpReading() {
  setUpSearch();
  setUpOrder();
  // What of the schema is there: a casebook made before the bin and the
  // checksums, and only read, lacks them.
  d_->hasBin = d_->hasColumn(QStringLiteral("Omenry"), QStringLiteral("DT")) &&
               d_->hasColumn(QStringLiteral("Folder"), QStringLiteral("DT"));
  d_->hasChecks =
      d_->scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name='OmenryCheck'")).toInt() == 1;
  d_->hasCasts =
      d_->scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name='OmenryCasts'")).toInt() == 1;
  // A quick look that the file really is a casebook.
  d_->exec(QStringLiteral("SELECT ID, ParentID, Name FROM Folder LIMIT 0"));
  d_->exec(QStringLiteral("SELECT ID, BT, QZR, SJ, FL, FK, LR FROM Omenry LIMIT 0"));
}

void CasebookStore::finishCheck(bool notifyNow) {
  if (!d_->checking) return;
  if (d_->checker.joinable()) d_->checker.join();
  d_->checking = false;
  const FileCheck& check = d_->checkResult;
  if (!check.error.isEmpty()) {
    d_->checkError = UserText(check.code, check.error);
  } else if (!check.problems.isEmpty()) {
    // Damaged: the connection stays as it is, read-only.
    d_->damaged = true;
    d_->problems = check.problems;
    d_->readOnly = ReadOnlyReason::Damaged;
    d_->lockRetry->stop();
  } else if (d_->readOnly == ReadOnlyReason::None) {
    // Sound: the connection becomes a writing one. Nothing needs setting up
    // (readyAsIs), so opening it writes nothing either.
    try {
      CloseConnection(d_->connection);
      d_->open = false;
      d_->list->dropCachedText();
      openWritable();
    } catch (const StoreError& e) {
      // Reading goes on through a read-only connection; writing reports this.
      d_->checkError = e.message();
      try {
        openReadOnly(ReadOnlyReason::None);
      } catch (...) {
        const QString error = d_->checkError;
        close();
        d_->checkError = error;
      }
    }
  }
  if (notifyNow)
    emit checkFinished();
  else
    QMetaObject::invokeMethod(this, [this] { emit checkFinished(); }, Qt::QueuedConnection);
}

void CasebookStore::requireWritable() {
  d_->requireOpen();
  // A write waits for the check of the file.
  finishCheck(false);
  d_->requireOpen();
  // A write on a casebook found locked waits for the lock as any write does
  // (the window offers none meanwhile; a program's own use may).
  if (d_->readOnly == ReadOnlyReason::Locked) {
    becomeWritable(true);
    d_->requireOpen();
  }
  if (d_->damaged) throw StoreError(StoreProblem::Damaged, kDamagedText);
  if (!d_->checkError.isEmpty()) throw StoreError(d_->checkError);
  if (d_->readOnly != ReadOnlyReason::None)
    throw StoreError(StoreProblem::Engine,
                     QStringLiteral("数据库现在只能查看，不能修改：%1").arg(ReadOnlyText(d_->readOnly)),
                     d_->readOnly == ReadOnlyReason::Locked ? SQLITE_BUSY : SQLITE_READONLY);
}

void CasebookStore::wrote() {
  // The log is folded back once the program has been idle for a moment
  // (each save puts the moment off). A store used where no event loop runs
  // (a tool's worker thread) folds it back when it closes.
  if (hasEventLoop()) d_->checkpoint->start(kCheckpointDelayMs);
}

bool CasebookStore::Checkpoint() noexcept {
  d_->checkpoint->stop();
  if (!d_->open || d_->readOnly != ReadOnlyReason::None || d_->checking) return false;
  QSqlQuery q(d_->db());
  if (!q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")) || !q.next()) return false;
  return q.value(0).toInt() == 0;  // 1: a reader kept it from finishing
}

bool CasebookStore::isOpen() const noexcept { return d_->open; }
bool CasebookStore::isChecking() const noexcept { return d_->open && d_->checking; }
bool CasebookStore::isDamaged() const noexcept { return d_->open && d_->damaged; }
QStringList CasebookStore::damageReport() const { return d_->open ? d_->problems : QStringList(); }
QString CasebookStore::checkError() const { return d_->checkError; }
QString CasebookStore::dataDir() const { return d_->open ? d_->dir : QString(); }
QString CasebookStore::databasePath() const { return d_->open ? d_->path : QString(); }
ReadOnlyReason CasebookStore::readOnlyReason() const noexcept {
  return d_->open ? d_->readOnly : ReadOnlyReason::None;
}
QString CasebookStore::readOnlyText() const { return ReadOnlyText(readOnlyReason()); }

QString CasebookStore::ReadOnlyText(ReadOnlyReason reason) {
  switch (reason) {
    case ReadOnlyReason::None: return QString();
    case ReadOnlyReason::Damaged: return QStringLiteral("数据库文件已损坏，为免损失扩大，只能查看，不能修改。");
    case ReadOnlyReason::FileReadOnly: return QStringLiteral("数据库文件是只读的，只能查看，不能修改。");
    case ReadOnlyReason::FolderReadOnly:
      return QStringLiteral("数据库所在的目录（或磁盘）不能写入，只能查看，不能修改。");
    case ReadOnlyReason::OtherOwner:
      return QStringLiteral("数据库文件属于另一个用户，只能查看，不能修改。");
    case ReadOnlyReason::Locked:
      return QStringLiteral("数据库正被其他程序占用，暂时只能查看；占用解除后即可修改。");
  }
  return QString();
}

void CasebookStore::close() noexcept {
  if (d_->checker.joinable()) {
    d_->cancelCheck = true;
    d_->checker.join();
  }
  d_->checking = false;
  d_->lockRetry->stop();
  // What the log holds goes into the file before the connection closes.
  if (d_->open && d_->readOnly == ReadOnlyReason::None) Checkpoint();
  d_->checkpoint->stop();
  d_->list->close();
  CloseConnection(d_->connection);
  d_->open = false;
  d_->wordIndex = false;
  d_->damaged = false;
  d_->readOnly = ReadOnlyReason::None;
  d_->hasBin = false;
  d_->hasChecks = false;
  d_->hasCasts = false;
  d_->problems.clear();
  d_->checkError.clear();
  d_->dir.clear();
  d_->path.clear();
}
