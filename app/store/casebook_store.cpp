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

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sqlite3.h>

#include <atomic>
#include <thread>
#include <utility>

#include "store_internal.h"

// ---------------------------------------------------------------------------
// Errors

StoreError::StoreError(const QString& message, bool damaged)
    : std::runtime_error(message.toStdString()), message_(message), damaged_(damaged) {}

namespace store_detail {

QString EngineText(const QSqlError& e) {
  QString t = e.databaseText().trimmed();
  if (t.isEmpty()) t = e.driverText().trimmed();
  if (t.isEmpty()) t = e.text().trimmed();
  if (t.isEmpty()) t = QStringLiteral("unknown database error");
  return t;
}

bool IsDamage(const QSqlError& e) {
  bool ok = false;
  const int code = e.nativeErrorCode().toInt(&ok);
  return ok && ((code & 0xff) == kSqliteCorrupt || (code & 0xff) == kSqliteNotADb);
}

[[noreturn]] void Fail(const QSqlError& e) { throw StoreError(EngineText(e), IsDamage(e)); }

}  // namespace store_detail

using namespace store_detail;

namespace {

// What a write into a damaged casebook is answered with.
const QString kDamagedText = QStringLiteral(
    "数据库文件已损坏，为免损失扩大，不再向其中写入任何内容。请从备份恢复数据库。");

// own (SQLite's C interface: it may run on any thread). A file SQLite cannot
// read as a database at all is unreadable; its message is the only problem.
FileCheck QuickCheck(const QString& path, const std::atomic<bool>* cancel) {
  FileCheck check;
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* st = nullptr;
  if (rc == SQLITE_OK) {
    sqlite3_busy_timeout(db, 5000);
    if (cancel)
      sqlite3_progress_handler(
          db, 10000, [](void* flag) { return static_cast<std::atomic<bool>*>(flag)->load() ? 1 : 0; },
          const_cast<std::atomic<bool>*>(cancel));
    rc = sqlite3_prepare_v2(db, "PRAGMA quick_check(20)", -1, &st, nullptr);
  }
  while (rc == SQLITE_OK || rc == SQLITE_ROW) {
    rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) {
      const QString line = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
      if (line != QLatin1String("ok")) check.problems << line;
    }
  }
  if (rc != SQLITE_DONE) {
    const QString message = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
    const int code = db ? sqlite3_errcode(db) & 0xff : SQLITE_NOMEM;
    if (code == SQLITE_INTERRUPT && cancel && cancel->load()) {
      check.cancelled = true;
    } else if (code == kSqliteCorrupt || code == kSqliteNotADb) {
      check.unreadable = true;
      check.problems = QStringList{message};
    } else {
      check.error = message;
    }
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return check;
}

constexpr auto kOwnerDir = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                           QFileDevice::ExeOwner;
constexpr auto kOwnerFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QAtomicInt g_connectionSerial;

void MakeOwnerOnly(const QString& path, QFileDevice::Permissions perms) {
  if (QFileInfo::exists(path)) QFile::setPermissions(path, perms);
}

// Opens the Qt SQL connection `name` on the file (read-only when asked),
// waiting up to 5 s for another connection's lock. Throws StoreError.
void OpenConnection(const QString& name, const QString& path, bool readOnly) {
  QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
  db.setDatabaseName(path);
  db.setConnectOptions(readOnly ? QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000;QSQLITE_OPEN_READONLY")
                                : QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
  if (!db.open()) {
    const QSqlError e = db.lastError();
    const QString text = EngineText(e) + QStringLiteral(" (") + QDir::toNativeSeparators(path) +
                         QLatin1Char(')');
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
    throw StoreError(text, IsDamage(e));
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

}  // namespace

CasebookStore::CasebookStore(QObject* parent) : QObject(parent), d_(new Impl) {
  d_->connection = QStringLiteral("casebook-%1").arg(g_connectionSerial.fetchAndAddRelaxed(1));
  d_->list = new RecordList(this);
}

CasebookStore::~CasebookStore() {
  // Whoever listens to the list may be half destroyed by now (a window that
  // owns the store): the last close tells nobody.
  d_->list->blockSignals(true);
  close();
}

QString CasebookStore::DefaultDataDir() {
  const QString portable = QCoreApplication::applicationDirPath() + QStringLiteral("/Data");
  const QFileInfo info(portable);
  if (!QCoreApplication::applicationDirPath().isEmpty() && info.isDir() && info.isWritable())
    return portable;
  return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
         QStringLiteral("/Data");
}

QString CasebookStore::DatabaseFileName() { return QStringLiteral("casebook.sqlite"); }

qint64 CasebookStore::BackgroundCheckBytes() { return g_backgroundCheckBytes; }
void CasebookStore::SetBackgroundCheckBytes(qint64 bytes) { g_backgroundCheckBytes = bytes; }

void CasebookStore::OpenStore(const QString& dataDir) {
  close();
  const QString dir = QDir::cleanPath(dataDir.isEmpty() ? DefaultDataDir() : dataDir);
  const QString path = dir + QLatin1Char('/') + DatabaseFileName();

  // The directory and the file are made before SQLite sees them, so that the
  // file never exists with wider permissions; SQLite gives its journal files
  // the permissions of the database file.
  QDir().mkpath(dir);
  MakeOwnerOnly(dir, kOwnerDir);
  if (!QFileInfo::exists(path)) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly, kOwnerFile)) f.close();
  }
  MakeOwnerOnly(path, kOwnerFile);
  d_->dir = dir;
  d_->path = path;

  try {
    // A large casebook that needs nothing set up is checked on a thread of
    // its own, while this connection reads it, read-only, for the window;
    // writing waits for the check's verdict (see requireWritable).
    if (QFileInfo(path).size() >= g_backgroundCheckBytes) {
      OpenConnection(d_->connection, path, true);
      d_->open = true;
      if (readyAsIs()) {
        setUpReading();
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
      throw StoreError(check.error + QStringLiteral(" (") + QDir::toNativeSeparators(path) + QLatin1Char(')'));
    if (check.unreadable) throw StoreError(check.problems.value(0), true);
    d_->damaged = !check.problems.isEmpty();
    d_->problems = check.problems;
    OpenConnection(d_->connection, path, d_->damaged);
    d_->open = true;
    if (!d_->damaged) setUpWritable();
    setUpReading();
  } catch (...) {
    close();
    throw;
  }
}

bool CasebookStore::readyAsIs() {
  const bool haveFts5 =
      d_->scalar(QStringLiteral("SELECT sqlite_compileoption_used('ENABLE_FTS5')")).toInt() != 0;
  return d_->scalar(QStringLiteral("PRAGMA journal_mode")).toString() == QLatin1String("wal") &&
         d_->scalar(QStringLiteral(
                        "SELECT COUNT(*) FROM sqlite_master WHERE name IN ('Folder', 'Omenry', "
                        "'FolderParent', 'OmenryList')"))
                 .toInt() == 4 &&
         d_->scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name='OmenryFolder'"))
                 .toInt() == 0 &&
         (!haveFts5 || wordIndexComplete());
}

void CasebookStore::setUpWritable() {
  d_->exec(QStringLiteral("PRAGMA journal_mode=WAL"));
  d_->exec(QStringLiteral("PRAGMA synchronous=FULL"));
  Transaction t(d_->db());
  d_->exec(QStringLiteral(
      "CREATE TABLE IF NOT EXISTS Folder("
      "ID INTEGER PRIMARY KEY AUTOINCREMENT, ParentID INTEGER, Name TEXT)"));
  d_->exec(QStringLiteral(
      "CREATE INDEX IF NOT EXISTS FolderParent ON Folder(ParentID, ID)"));
  d_->exec(QStringLiteral(
      "CREATE TABLE IF NOT EXISTS Omenry("
      "ID INTEGER PRIMARY KEY AUTOINCREMENT, BT TEXT, QZR TEXT, SJ DATE, "
      "FL INTEGER, FK BOOLEAN, LR TEXT)"));
  // The record list of a folder is read from this index alone: it carries
  // every listed field, so listing a folder of thousands of records never
  // touches the pages of their texts. (An earlier index on FL, ID alone
  // would draw the planner away from it.)
  d_->exec(QStringLiteral("DROP INDEX IF EXISTS OmenryFolder"));
  d_->exec(QStringLiteral(
      "CREATE INDEX IF NOT EXISTS OmenryList ON Omenry(FL, ID, BT, QZR, SJ, FK)"));
  // The word index of the search, unless this SQLite lacks FTS5 (then
  // every search scans the table).
  const bool haveFts5 =
      d_->scalar(QStringLiteral("SELECT sqlite_compileoption_used('ENABLE_FTS5')")).toInt() != 0;
  if (haveFts5 && !wordIndexComplete())
    CreateWordIndex(d_->db());
  t.commit();
  for (const char* suffix : {"-wal", "-shm"})
    MakeOwnerOnly(d_->path + QLatin1String(suffix), kOwnerFile);
}

void CasebookStore::setUpReading() {
  setUpSearch();
  // A quick look that the file really is a casebook and not something
  // else that SQLite happens to open.
  d_->exec(QStringLiteral("SELECT ID, ParentID, Name FROM Folder LIMIT 0"));
  d_->exec(QStringLiteral("SELECT ID, BT, QZR, SJ, FL, FK, LR FROM Omenry LIMIT 0"));
  // Texts are written and read as UTF-8 bytes (TextParameter, TextColumn):
  // a file in another encoding is not one of ours.
  if (d_->scalar(QStringLiteral("PRAGMA encoding")).toString() != QLatin1String("UTF-8"))
    throw StoreError(QStringLiteral("数据库文件的文本编码不是 UTF-8，不是本程序的数据库。"));
}

void CasebookStore::finishCheck(bool notifyNow) {
  if (!d_->checking) return;
  if (d_->checker.joinable()) d_->checker.join();
  d_->checking = false;
  const FileCheck& check = d_->checkResult;
  if (!check.error.isEmpty()) {
    d_->checkError = check.error;
  } else if (!check.problems.isEmpty()) {
    // Damaged: the connection stays as it is, read-only.
    d_->damaged = true;
    d_->problems = check.problems;
  } else {
    // Sound: the connection becomes a writing one. Nothing needs setting up
    // (readyAsIs), so opening it writes nothing either.
    try {
      CloseConnection(d_->connection);
      OpenConnection(d_->connection, d_->path, false);
      setUpWritable();
      setUpReading();
    } catch (const StoreError& e) {
      // Reading goes on through a read-only connection; writing reports this.
      d_->checkError = e.message();
      CloseConnection(d_->connection);
      try {
        OpenConnection(d_->connection, d_->path, true);
        setUpReading();
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
  if (d_->damaged) throw StoreError(kDamagedText, true);
  if (!d_->checkError.isEmpty()) throw StoreError(d_->checkError);
}

bool CasebookStore::isOpen() const noexcept { return d_->open; }
bool CasebookStore::isChecking() const noexcept { return d_->open && d_->checking; }
bool CasebookStore::isDamaged() const noexcept { return d_->open && d_->damaged; }
QStringList CasebookStore::damageReport() const { return d_->open ? d_->problems : QStringList(); }
QString CasebookStore::checkError() const { return d_->checkError; }
QString CasebookStore::dataDir() const { return d_->open ? d_->dir : QString(); }
QString CasebookStore::databasePath() const { return d_->open ? d_->path : QString(); }

void CasebookStore::close() noexcept {
  if (d_->checker.joinable()) {
    d_->cancelCheck = true;
    d_->checker.join();
  }
  d_->checking = false;
  d_->list->close();
  CloseConnection(d_->connection);
  d_->open = false;
  d_->wordIndex = false;
  d_->damaged = false;
  d_->problems.clear();
  d_->checkError.clear();
  d_->dir.clear();
  d_->path.clear();
}
