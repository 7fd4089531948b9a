#pragma once
// Copies of the casebook: the automatic backups in the data directory's
// "backup" directory, copies written where the user chooses, and restoring
// a copy over a damaged casebook.
//
// A copy is made with SQLite's online backup API from a read-only
// connection that holds one read transaction over the whole copy: it is the
// casebook as it stood at one moment, whatever the program writes meanwhile
// (the write-ahead log lets the program go on saving). It is written beside
// its target as "<target>.part" and renamed into place once complete and
// synced, so that a target never holds half a copy. Copies are standalone
// SQLite files (rollback journal, no -wal file beside them), readable and
// writable by their owner only.
//
// Nothing here needs the user-interface thread: CopyDatabase and
// MakeAutomaticBackup run on a worker thread (AutomaticBackup does that).

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

// ---------------------------------------------------------------------------
// The automatic backups

// How many copies the rotation keeps: the newest copy of each of the last
// kDailyBackups days that have one, and besides those the newest copy of
// each of the last kWeeklyBackups weeks (Monday to Sunday) that have one.
// Besides those again, the copy with the most records of the
// kFullestBackupDays days up to the newest copy, so that a casebook emptied
// or shrunk by mistake can never push its last full copy out.
inline constexpr int kDailyBackups = 7;
inline constexpr int kWeeklyBackups = 4;
inline constexpr int kFullestBackupDays = 30;

// The directory of the automatic backups: "<dataDir>/backup".
QString BackupDir(const QString& dataDir);

// The file name of the automatic backup made at `time` (local time):
// "casebook-20250601-083012.sqlite".
QString BackupFileName(const QDateTime& time);

struct BackupFile {
  QString path;
  QDateTime time;  // from the file name, local time
  // The records (rows of Omenry) the copy holds; -1 when not counted, or
  // when the copy cannot be read as a casebook.
  qint64 records = -1;
};

// The automatic backups of the data directory, newest first: the files of
// BackupDir whose names BackupFileName could have made. Other files there
// are not backups and are left alone.
QList<BackupFile> ListBackups(const QString& dataDir);

// True when none of the backups was made in the 24 hours up to `now`.
bool BackupDue(const QList<BackupFile>& backups, const QDateTime& now);

// True when the casebook in dataDir has changed since its newest automatic
// backup was taken, or when it has none. MakeAutomaticBackup records the
// state of the casebook's files (size and modification time of the file and
// of its write-ahead log) as they were when the copy began; any difference
// is a change, whatever the clock says. For a newest backup with no such
// record, a file modified at or after the backup's time is a change.
bool CasebookChangedSinceBackup(const QString& dataDir);

// The backups the rotation keeps (see kDailyBackups), in the order given.
// The fullest copy is the one with the largest `records` among the copies
// made at most kFullestBackupDays days before the newest one (the newest of
// them on a tie); copies whose records are -1 are never it.
QList<BackupFile> BackupsToKeep(const QList<BackupFile>& backups);

// What a copy of the casebook holds, read from the file itself through a
// read-only connection.
struct CopyContents {
  qint64 records = -1;     // records outside the recycle bin
  qint64 folders = -1;     // folders outside the recycle bin
  qint64 rows = -1;        // rows of Omenry, the bin's included
  qint64 folderRows = -1;  // rows of Folder, the bin's included
  QString error;        // SQLite's message when it cannot be read as a casebook
  bool readable() const { return error.isEmpty(); }
};
CopyContents ReadCopyContents(const QString& path);

// SQLite's verdict on the structure of a copy (PRAGMA quick_check, through a
// read-only connection): "" when it is sound, else its first complaint or
// why it cannot be read.
QString CheckCopy(const QString& path);

// ---------------------------------------------------------------------------
// Copying and restoring

// Skipped: MakeAutomaticBackup found nothing to back up (the casebook holds
// no folder and no record); CopyDatabase never gives it.
enum class CopyOutcome { Done, Cancelled, Failed, Skipped };

// Progress of a copy: pages copied so far and pages in all.
using CopyProgress = std::function<void(int done, int total)>;

// Writes a consistent copy of the SQLite database `source` into the file
// `target` (replaced if it exists). `cancel`, when given, is looked at
// between steps of 4 MB; a cancelled or failed copy leaves no file behind.
// On failure *error holds SQLite's or the system's message.
CopyOutcome CopyDatabase(const QString& source, const QString& target,
                         const std::atomic<bool>* cancel = nullptr,
                         const CopyProgress& progress = {}, QString* error = nullptr);

struct AutomaticBackupResult {
  CopyOutcome outcome = CopyOutcome::Failed;
  QString path;           // the new copy (Done)
  QString error;          // what went wrong (Failed)
  QStringList removed;    // older copies the rotation let go
};

// Makes the automatic backup of the casebook in dataDir: a copy named
// BackupFileName(now) in BackupDir (made, owner-only, if missing); then the
// copies the rotation does not keep, and pieces of copies that never
// finished, are deleted. Does not look whether a backup is due. The copy is
// looked at before it takes its name: one that fails PRAGMA quick_check is
// dropped (Failed, with a Chinese message and SQLite's words), and so is one
// that holds no folder and no record (Skipped): neither a damaged nor an
// empty casebook ever becomes the newest backup.
AutomaticBackupResult MakeAutomaticBackup(const QString& dataDir, const QDateTime& now,
                                          const std::atomic<bool>* cancel = nullptr,
                                          const CopyProgress& progress = {});

// How the casebook that a restored copy takes the place of is kept beside
// it: "casebook.sqlite.damaged-<yyyyMMdd-HHmmss>" for a damaged one,
// "casebook.sqlite.replaced-<yyyyMMdd-HHmmss>" for one that was sound (the
// recovery dialog lists those, so that a restore can be undone). Its -wal and
// -shm files go with it under the same name.
enum class KeptCasebook { Damaged, Replaced };

// Puts the copy `backup` in place of the casebook in dataDir, which no store
// may have open. The copy is made with the backup API (a source in
// write-ahead-log mode comes with its log) beside the casebook, and must be
// a casebook that passes PRAGMA quick_check; then the casebook file and its
// -wal and -shm files are renamed as `kind` says, and the copy takes the
// name "casebook.sqlite", owner-only. The backup itself stays as it is.
// Returns an empty string on success, else a Chinese message with the
// system's or SQLite's words; after a failure the casebook is as it was.
// *keptAs gets the path the old file was renamed to ("" when there was none).
QString RestoreBackup(const QString& dataDir, const QString& backup, QString* keptAs = nullptr,
                      KeptCasebook kind = KeptCasebook::Damaged);

// Puts the file `prepared`, a complete casebook in dataDir's file system,
// in place of the casebook in dataDir by renaming it, keeping the old one as
// `kind` says; syncs it first. Returns "" or the system's error text; after
// a failure the casebook is as it was.
QString ReplaceCasebook(const QString& dataDir, const QString& prepared, KeptCasebook kind,
                        QString* keptAs = nullptr);

// The casebooks kept as KeptCasebook::Replaced in dataDir, newest first
// (time from the name; records not counted).
QList<BackupFile> ListReplacedCasebooks(const QString& dataDir);

// ---------------------------------------------------------------------------
// Running the automatic backup without holding up the window

// Runs MakeAutomaticBackup on a thread of its own and reports, in the
// thread that made this object, with finished(). Destroying the object
// cancels a copy still running and waits for the thread.
class AutomaticBackup : public QObject {
  Q_OBJECT

 public:
  explicit AutomaticBackup(QObject* parent = nullptr);
  ~AutomaticBackup() override;

  // Starts the backup of the casebook in dataDir if one is due
  // (BackupDue(ListBackups(dataDir), now)) and the casebook has changed
  // since the newest backup (CasebookChangedSinceBackup); returns whether
  // it started. Does nothing while a backup runs.
  bool StartIfDue(const QString& dataDir, const QDateTime& now = QDateTime::currentDateTime());
  bool isRunning() const noexcept { return running_; }

 signals:
  void finished(const AutomaticBackupResult& result);

 private:
  std::atomic<bool> cancel_{false};
  bool running_ = false;
  std::thread thread_;
};
