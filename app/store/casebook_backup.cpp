// Copies of the casebook through SQLite's own C interface: the online
// backup API copies the pages of the file as one read transaction sees
// them. These connections are plain SQLite connections of their own (the
// program's Qt SQL connection is left alone), made and closed on the thread
// that copies.

#include "casebook_backup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "casebook_store.h"

namespace {

constexpr auto kOwnerDir = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                           QFileDevice::ExeOwner;
constexpr auto kOwnerFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

const QString kNameFormat = QStringLiteral("yyyyMMdd-HHmmss");
const QString kPartSuffix = QStringLiteral(".part");
// What a replaced casebook's name gets after the casebook's own name.
const QString kDamagedInfix = QStringLiteral(".damaged-");
const QString kReplacedInfix = QStringLiteral(".replaced-");

// "casebook-20250601-083012.sqlite"
const QRegularExpression& BackupNamePattern() {
  static const QRegularExpression re(QStringLiteral("^casebook-(\\d{8}-\\d{6})\\.sqlite$"));
  return re;
}

QString SystemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

// Makes the file's content reach the disk.
bool SyncFile(const QString& path) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

// Renames `from` to `to`, replacing `to` if it exists, in one step.
bool ReplaceFile(const QString& from, const QString& to, QString* error) {
  if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
    return true;
  if (error) *error = SystemError();
  return false;
}

// Removes what an unfinished copy left: the file and its journal.
void RemovePart(const QString& part) {
  QFile::remove(part);
  QFile::remove(part + QStringLiteral("-journal"));
}

// A plain SQLite connection, closed on every path.
class Connection {
 public:
  Connection(const QString& path, int flags) {
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, flags, nullptr) != SQLITE_OK) {
      error_ = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QStringLiteral("out of memory");
    } else {
      sqlite3_busy_timeout(db_, 5000);
    }
  }
  ~Connection() { sqlite3_close(db_); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool ok() const { return error_.isEmpty(); }
  sqlite3* handle() const { return db_; }
  QString error() const { return error_.isEmpty() ? QString::fromUtf8(sqlite3_errmsg(db_)) : error_; }
  bool exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

 private:
  sqlite3* db_ = nullptr;
  QString error_;
};

}  // namespace

// ---------------------------------------------------------------------------
// The automatic backups

QString BackupDir(const QString& dataDir) {
  return QDir::cleanPath(dataDir) + QStringLiteral("/backup");
}

QString BackupFileName(const QDateTime& time) {
  return QStringLiteral("casebook-") + time.toString(kNameFormat) + QStringLiteral(".sqlite");
}

QList<BackupFile> ListBackups(const QString& dataDir) {
  const QDir dir(BackupDir(dataDir));
  QList<BackupFile> backups;
  for (const QString& name : dir.entryList(QDir::Files)) {
    const QRegularExpressionMatch m = BackupNamePattern().match(name);
    if (!m.hasMatch()) continue;
    const QDateTime time = QDateTime::fromString(m.captured(1), kNameFormat);
    if (!time.isValid()) continue;
    backups.append({dir.filePath(name), time});
  }
  std::stable_sort(backups.begin(), backups.end(),
                   [](const BackupFile& a, const BackupFile& b) { return a.time > b.time; });
  return backups;
}

bool BackupDue(const QList<BackupFile>& backups, const QDateTime& now) {
  const QDateTime dayAgo = now.addSecs(-24 * 3600);
  for (const BackupFile& b : backups)
    if (b.time > dayAgo && b.time <= now) return false;
  return true;
}

QList<BackupFile> BackupsToKeep(const QList<BackupFile>& backups) {
  QList<BackupFile> newestFirst = backups;
  std::stable_sort(newestFirst.begin(), newestFirst.end(),
                   [](const BackupFile& a, const BackupFile& b) { return a.time > b.time; });
  QSet<QString> keep;
  // The newest copy of each of the last days that have one.
  QDate lastDay;
  int days = 0;
  for (const BackupFile& b : newestFirst) {
    if (days == kDailyBackups) break;
    if (b.time.date() == lastDay) continue;
    lastDay = b.time.date();
    keep.insert(b.path);
    ++days;
  }
  // Besides those, the newest copy of each of the last weeks that have one;
  // a week whose newest copy is already kept as a day's counts for nothing.
  int lastYear = 0, lastWeek = 0, weeks = 0;
  for (const BackupFile& b : newestFirst) {
    if (weeks == kWeeklyBackups) break;
    int year = 0;
    const int week = b.time.date().weekNumber(&year);
    if (year == lastYear && week == lastWeek) continue;
    lastYear = year;
    lastWeek = week;
    if (keep.contains(b.path)) continue;
    keep.insert(b.path);
    ++weeks;
  }
  // Besides those, the fullest copy of the last days up to the newest copy.
  if (!newestFirst.isEmpty()) {
    const QDateTime since = newestFirst.first().time.addDays(-kFullestBackupDays);
    const BackupFile* fullest = nullptr;
    for (const BackupFile& b : newestFirst) {
      if (b.time < since) break;
      if (b.records >= 0 && (!fullest || b.records > fullest->records)) fullest = &b;
    }
    if (fullest) keep.insert(fullest->path);
  }
  QList<BackupFile> kept;
  for (const BackupFile& b : backups)
    if (keep.contains(b.path)) kept.append(b);
  return kept;
}

CopyContents ReadCopyContents(const QString& path) {
  CopyContents contents;
  Connection db(path, SQLITE_OPEN_READONLY);
  if (!db.ok()) {
    contents.error = db.error();
    return contents;
  }
  // Every row, and those outside the recycle bin (a copy made before the
  // bin has nothing in it).
  auto count = [&](const char* sql, qint64* value) {
    sqlite3_stmt* st = nullptr;
    const bool ok = sqlite3_prepare_v2(db.handle(), sql, -1, &st, nullptr) == SQLITE_OK &&
                    sqlite3_step(st) == SQLITE_ROW;
    if (ok) *value = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return ok;
  };
  if (!count("SELECT COUNT(*) FROM Omenry", &contents.rows) ||
      !count("SELECT COUNT(*) FROM Folder", &contents.folderRows)) {
    contents.error = db.error();
    return contents;
  }
  if (!count("SELECT COUNT(*) FROM Omenry WHERE DT IS NULL", &contents.records)) contents.records = contents.rows;
  if (!count("SELECT COUNT(*) FROM Folder WHERE DT IS NULL", &contents.folders))
    contents.folders = contents.folderRows;
  return contents;
}

QString CheckCopy(const QString& path) {
  Connection db(path, SQLITE_OPEN_READONLY);
  sqlite3_stmt* st = nullptr;
  QString problem;
  if (!db.ok() || sqlite3_prepare_v2(db.handle(), "PRAGMA quick_check(1)", -1, &st, nullptr) != SQLITE_OK) {
    problem = db.error();
  } else if (sqlite3_step(st) != SQLITE_ROW) {
    problem = db.error();
  } else {
    const QString line = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    if (line != QLatin1String("ok")) problem = line;
  }
  sqlite3_finalize(st);
  return problem;
}

// ---------------------------------------------------------------------------
// Copying and restoring

namespace {

// Writes a consistent copy of `source` into `part`, complete and synced;
// leaves nothing behind unless the outcome is Done.
CopyOutcome CopyToPart(const QString& source, const QString& part, const std::atomic<bool>* cancel,
                       const CopyProgress& progress, QString* failure) {
  auto fail = [&](const QString& text) {
    *failure = text;
    return CopyOutcome::Failed;
  };
  CopyOutcome outcome = [&] {
    Connection from(source, SQLITE_OPEN_READONLY);
    if (!from.ok()) return fail(from.error());
    // One read transaction over the whole copy: the copy is the casebook of
    // one moment, and writers elsewhere do not make the backup start over.
    if (!from.exec("BEGIN") || !from.exec("SELECT COUNT(*) FROM sqlite_master"))
      return fail(from.error());

    // The copy's file exists, owner-only, before SQLite opens it; SQLite
    // gives its journal the same permissions.
    QFile::remove(part);
    {
      QFile f(part);
      if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate, kOwnerFile))
        return fail(f.errorString());
    }
    QFile::setPermissions(part, kOwnerFile);
    Connection to(part, SQLITE_OPEN_READWRITE);
    if (!to.ok()) return fail(to.error());
    sqlite3_backup* copy = sqlite3_backup_init(to.handle(), "main", from.handle(), "main");
    if (!copy) return fail(to.error());
    constexpr int kPagesPerStep = 1024;  // 4 MB of 4 KB pages
    int rc = SQLITE_OK;
    bool cancelled = false;
    for (;;) {
      rc = sqlite3_backup_step(copy, kPagesPerStep);
      const int total = sqlite3_backup_pagecount(copy);
      if (progress) progress(total - sqlite3_backup_remaining(copy), total);
      if (rc == SQLITE_DONE) break;
      if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
        sqlite3_sleep(20);
      } else if (rc != SQLITE_OK) {
        break;
      }
      if (cancel && cancel->load()) {
        cancelled = true;
        break;
      }
    }
    sqlite3_backup_finish(copy);
    if (cancelled) return CopyOutcome::Cancelled;
    if (rc != SQLITE_DONE) return fail(QString::fromUtf8(sqlite3_errstr(rc)));
    from.exec("COMMIT");
    // A standalone file: the casebook's write-ahead-log mode is not carried
    // over, so the copy opens alone, even from a read-only medium.
    if (!to.exec("PRAGMA journal_mode=DELETE")) return fail(to.error());
    return CopyOutcome::Done;
  }();
  if (outcome == CopyOutcome::Done && !SyncFile(part)) outcome = fail(SystemError());
  if (outcome != CopyOutcome::Done) RemovePart(part);
  return outcome;
}

// ---------------------------------------------------------------------------
// Whether the casebook changed since its newest automatic backup.
//
// When a backup is made, the state of the casebook's files just before the
// copy began (size and modification time, to the nanosecond, of the file and
// of its write-ahead log) is written into kStateFile together with the
// backup's name. The casebook has changed since that backup when its files'
// state differs. This needs no clock to be right: a change after the copy
// began changes a file, and a session that changes nothing changes neither
// (a log without frames counts as no log). For a newest backup without such
// a record (made by an older Omenry, or the record lost), a file modified at
// or after the backup's time counts as a change.

const QString kStateFile = QStringLiteral("casebook.state");

struct FileState {
  qint64 size = -1;  // -1: no such file
  qint64 mtimeNs = 0;
  bool operator==(const FileState&) const = default;
};

FileState StatFile(const QString& path) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
  return {static_cast<qint64>(st.st_size),
          static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

struct CasebookFiles {
  FileState db;
  FileState wal;  // size -1 also when the log holds nothing
  bool operator==(const CasebookFiles&) const = default;
};

QString DatabasePath(const QString& dataDir) {
  return QDir::cleanPath(dataDir) + QLatin1Char('/') + CasebookStore::DatabaseFileName();
}

CasebookFiles StatCasebook(const QString& dataDir) {
  const QString db = DatabasePath(dataDir);
  CasebookFiles files{StatFile(db), StatFile(db + QStringLiteral("-wal"))};
  if (files.wal.size <= 0) files.wal = {};
  return files;
}

void WriteState(const QString& dataDir, const QString& backupName, const CasebookFiles& files) {
  QSaveFile f(BackupDir(dataDir) + QLatin1Char('/') + kStateFile);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Text)) return;
  f.write(QStringLiteral("%1\n%2 %3\n%4 %5\n")
              .arg(backupName)
              .arg(files.db.size)
              .arg(files.db.mtimeNs)
              .arg(files.wal.size)
              .arg(files.wal.mtimeNs)
              .toUtf8());
  if (f.commit()) QFile::setPermissions(f.fileName(), kOwnerFile);
}

// The recorded state of the casebook's files for the backup `backupName`;
// nullopt when there is no record for that backup.
std::optional<CasebookFiles> ReadState(const QString& dataDir, const QString& backupName) {
  QFile f(BackupDir(dataDir) + QLatin1Char('/') + kStateFile);
  if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return std::nullopt;
  const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
  if (lines.size() < 3 || lines[0] != backupName) return std::nullopt;
  CasebookFiles files;
  FileState* parts[] = {&files.db, &files.wal};
  for (int i = 0; i < 2; ++i) {
    const QStringList fields = lines[i + 1].split(QLatin1Char(' '));
    bool sizeOk = false, timeOk = false;
    if (fields.size() != 2) return std::nullopt;
    parts[i]->size = fields[0].toLongLong(&sizeOk);
    parts[i]->mtimeNs = fields[1].toLongLong(&timeOk);
    if (!sizeOk || !timeOk) return std::nullopt;
  }
  return files;
}

}  // namespace

bool CasebookChangedSinceBackup(const QString& dataDir) {
  const QList<BackupFile> backups = ListBackups(dataDir);
  if (backups.isEmpty()) return true;
  const BackupFile& newest = backups.first();
  const CasebookFiles now = StatCasebook(dataDir);
  if (const auto recorded = ReadState(dataDir, QFileInfo(newest.path).fileName()))
    return *recorded != now;
  const qint64 since = newest.time.toMSecsSinceEpoch() * 1000000;
  return now.db.mtimeNs >= since || (now.wal.size > 0 && now.wal.mtimeNs >= since);
}

CopyOutcome CopyDatabase(const QString& source, const QString& target,
                         const std::atomic<bool>* cancel, const CopyProgress& progress,
                         QString* error) {
  QString failure;
  const QString part = target + kPartSuffix;
  CopyOutcome outcome = CopyToPart(source, part, cancel, progress, &failure);
  if (outcome == CopyOutcome::Done) {
    if (ReplaceFile(part, target, &failure)) {
      QFile::setPermissions(target, kOwnerFile);
    } else {
      outcome = CopyOutcome::Failed;
      RemovePart(part);
    }
  }
  if (error) *error = outcome == CopyOutcome::Failed ? failure : QString();
  return outcome;
}

AutomaticBackupResult MakeAutomaticBackup(const QString& dataDir, const QDateTime& now,
                                          const std::atomic<bool>* cancel,
                                          const CopyProgress& progress) {
  AutomaticBackupResult result;
  const QString dir = BackupDir(dataDir);
  if (!QDir().mkpath(dir)) {
    result.error = QStringLiteral("cannot create %1").arg(QDir::toNativeSeparators(dir));
    return result;
  }
  QFile::setPermissions(dir, kOwnerDir);
  // Pieces of copies that never finished (the program was killed).
  const QDir backupDir(dir);
  for (const QString& name : backupDir.entryList(QDir::Files)) {
    for (const QString& tail : {kPartSuffix, kPartSuffix + QStringLiteral("-journal")}) {
      if (name.endsWith(tail) && BackupNamePattern().match(name.chopped(tail.size())).hasMatch())
        QFile::remove(backupDir.filePath(name));
    }
  }
  const QString target = backupDir.filePath(BackupFileName(now));
  const QString part = target + kPartSuffix;
  const CasebookFiles before = StatCasebook(dataDir);
  result.outcome = CopyToPart(DatabasePath(dataDir), part, cancel, progress, &result.error);
  if (result.outcome != CopyOutcome::Done) return result;
  // The copy is looked at before it counts as a backup: a damaged casebook
  // and one that holds nothing never become the newest backup.
  const QString problem = CheckCopy(part);
  const CopyContents contents = ReadCopyContents(part);
  if (!problem.isEmpty()) {
    result.outcome = CopyOutcome::Failed;
    result.error = QStringLiteral("数据库文件没有通过完整性检查，不能作为备份（%1）").arg(problem);
  } else if (!contents.readable()) {
    result.outcome = CopyOutcome::Failed;
    result.error = contents.error;
  } else if (contents.rows == 0 && contents.folderRows == 0) {
    result.outcome = CopyOutcome::Skipped;
  } else if (!ReplaceFile(part, target, &result.error)) {
    result.outcome = CopyOutcome::Failed;
  }
  if (result.outcome != CopyOutcome::Done) {
    RemovePart(part);
    return result;
  }
  QFile::setPermissions(target, kOwnerFile);
  result.path = target;
  WriteState(dataDir, QFileInfo(target).fileName(), before);
  QList<BackupFile> all = ListBackups(dataDir);
  for (BackupFile& b : all) b.records = ReadCopyContents(b.path).records;
  QSet<QString> keep;
  for (const BackupFile& b : BackupsToKeep(all)) keep.insert(b.path);
  keep.insert(target);
  for (const BackupFile& b : all) {
    if (keep.contains(b.path)) continue;
    if (QFile::remove(b.path)) result.removed << b.path;
  }
  return result;
}

QString ReplaceCasebook(const QString& dataDir, const QString& prepared, KeptCasebook kind,
                        QString* keptAs) {
  const QString db = DatabasePath(dataDir);
  if (!SyncFile(prepared)) return SystemError();
  QFile::setPermissions(prepared, kOwnerFile);
  // The old casebook and its log are kept under one new name.
  const QString kept = db + (kind == KeptCasebook::Damaged ? kDamagedInfix : kReplacedInfix) +
                       QDateTime::currentDateTime().toString(kNameFormat);
  QStringList moved;
  QString e;
  auto undo = [&] {
    for (const QString& back : moved) ReplaceFile(kept + back, db + back, nullptr);
    return e;
  };
  for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
    if (!QFileInfo::exists(db + suffix)) continue;
    if (!ReplaceFile(db + suffix, kept + suffix, &e)) return undo();
    moved << suffix;
  }
  if (!ReplaceFile(prepared, db, &e)) return undo();
  if (keptAs) *keptAs = moved.isEmpty() ? QString() : kept;
  return QString();
}

QString RestoreBackup(const QString& dataDir, const QString& backup, QString* keptAs,
                      KeptCasebook kind) {
  if (!QFileInfo(backup).isFile())
    return QStringLiteral("找不到这个文件：%1").arg(QDir::toNativeSeparators(backup));
  // The copy goes in beside the casebook first, complete and synced, and is
  // looked at before anything is moved: it must be a sound casebook.
  const QString part = DatabasePath(dataDir) + kPartSuffix;
  QString error;
  if (CopyToPart(backup, part, nullptr, {}, &error) != CopyOutcome::Done)
    return QStringLiteral("无法读取这个文件（%1）").arg(error);
  const CopyContents contents = ReadCopyContents(part);
  QString problem = CheckCopy(part);
  if (problem.isEmpty() && !contents.readable())
    problem = QStringLiteral("这个文件不是 Omenry 的数据库（%1）").arg(contents.error);
  else if (!problem.isEmpty())
    problem = QStringLiteral("这个文件没有通过完整性检查（%1）").arg(problem);
  if (problem.isEmpty()) problem = ReplaceCasebook(dataDir, part, kind, keptAs);
  if (!problem.isEmpty()) RemovePart(part);
  return problem;
}

QList<BackupFile> ListReplacedCasebooks(const QString& dataDir) {
  const QDir dir(QDir::cleanPath(dataDir));
  const QString prefix = CasebookStore::DatabaseFileName() + kReplacedInfix;
  QList<BackupFile> list;
  for (const QString& name : dir.entryList({prefix + QLatin1Char('*')}, QDir::Files)) {
    const QDateTime time = QDateTime::fromString(name.mid(prefix.size()), kNameFormat);
    if (time.isValid()) list.append({dir.filePath(name), time});
  }
  std::stable_sort(list.begin(), list.end(),
                   [](const BackupFile& a, const BackupFile& b) { return a.time > b.time; });
  return list;
}

// ---------------------------------------------------------------------------
// AutomaticBackup

AutomaticBackup::AutomaticBackup(QObject* parent) : QObject(parent) {}

AutomaticBackup::~AutomaticBackup() {
  cancel_ = true;
  if (thread_.joinable()) thread_.join();
}

bool AutomaticBackup::StartIfDue(const QString& dataDir, const QDateTime& now) {
  if (running_ || !BackupDue(ListBackups(dataDir), now) || !CasebookChangedSinceBackup(dataDir))
    return false;
  if (thread_.joinable()) thread_.join();  // the last one has reported already
  running_ = true;
  cancel_ = false;
  thread_ = std::thread([this, dataDir, now] {
    const AutomaticBackupResult result = MakeAutomaticBackup(dataDir, now, &cancel_);
    // Reported in this object's thread; dropped if the object is gone.
    QMetaObject::invokeMethod(
        this,
        [this, result] {
          running_ = false;
          emit finished(result);
        },
        Qt::QueuedConnection);
  });
  return true;
}
