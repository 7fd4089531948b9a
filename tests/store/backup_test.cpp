// Backups of the casebook: which copies the rotation keeps, when one is due,
// consistent copies while another connection writes, restoring a copy.

#include "casebook_backup.h"
#include "casebook_store.h"
#include "damage.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <functional>
#include <set>

namespace {

QString DbPath(const QString& dir) {
  return dir + QLatin1Char('/') + CasebookStore::DatabaseFileName();
}

QDateTime At(const char* text) {
  return QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyy-MM-dd HH:mm"));
}

QList<BackupFile> Backups(std::initializer_list<const char*> times) {
  QList<BackupFile> list;
  for (const char* t : times) list.append({QString::fromLatin1(t), At(t)});
  return list;
}

std::set<std::string> Names(const QList<BackupFile>& list) {
  std::set<std::string> names;
  for (const BackupFile& b : list) names.insert(b.path.toStdString());
  return names;
}

QByteArray FileHash(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return QByteArray();
  return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
}

// Runs one statement on a plain connection and gives the first column of
// its first row as text ("" when there is none).
QString Query(const QString& path, const char* sql, int flags = SQLITE_OPEN_READONLY) {
  sqlite3* db = nullptr;
  QString value;
  if (sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(db, 5000);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK) {
      const int rc = sqlite3_step(st);
      if (rc == SQLITE_ROW)
        value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
      else if (rc != SQLITE_DONE)
        ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db);
    } else {
      ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db);
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return value;
}

constexpr auto kOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                         QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;

class BackupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    dir_ = tmp_.path() + QStringLiteral("/Data");
    store_.OpenStore(dir_);
  }
  // A casebook of more than 1,024 pages (a copy takes several steps).
  void Fill() {
    folder_ = store_.AddFolder(0, QStringLiteral("卦例"));
    const QString text(700000, QChar(0x5366));  // about 2 MB in UTF-8
    for (int i = 0; i < 3; ++i)
      store_.InsertRecord(folder_, {QStringLiteral("大%1").arg(i), QString(), QDate(2024, 1, 1), false, text});
  }

  QTemporaryDir tmp_;
  QString dir_;
  CasebookStore store_;
  RowId folder_ = 0;
};

}  // namespace

// ---------------------------------------------------------------------------
// Which copies are kept, and when one is due

TEST(BackupRotation, KeepsSevenDailyAndFourWeeklyCopies) {
  // One copy every day at 08:00 from 2025-05-02 to Monday 2025-06-30.
  QList<BackupFile> daily;
  for (QDate d(2025, 5, 2); d <= QDate(2025, 6, 30); d = d.addDays(1))
    daily.append({d.toString(Qt::ISODate), QDateTime(d, QTime(8, 0))});
  // The last seven days; then the newest of each week before them (the
  // weeks of 6-30 and 6-23 are already held by days).
  EXPECT_EQ(Names(BackupsToKeep(daily)),
            (std::set<std::string>{"2025-06-30", "2025-06-29", "2025-06-28", "2025-06-27",
                                   "2025-06-26", "2025-06-25", "2025-06-24", "2025-06-22",
                                   "2025-06-15", "2025-06-08", "2025-06-01"}));

  const struct {
    const char* what;
    QList<BackupFile> backups;
    std::set<std::string> kept;
  } cases[] = {
      {"fewer copies than places: all kept",
       Backups({"2025-06-30 08:00", "2025-06-01 08:00", "2024-12-31 08:00"}),
       {"2025-06-30 08:00", "2025-06-01 08:00", "2024-12-31 08:00"}},
      {"several copies on one day: its newest",
       Backups({"2025-06-30 08:00", "2025-06-30 21:00", "2025-06-29 23:59", "2025-06-29 00:01"}),
       {"2025-06-30 21:00", "2025-06-29 23:59"}},
      {"weekly copies across a year's end (ISO weeks)",
       Backups({"2026-01-20 08:00", "2026-01-19 08:00", "2026-01-18 08:00", "2026-01-17 08:00",
                "2026-01-16 08:00", "2026-01-15 08:00", "2026-01-14 08:00", "2026-01-02 08:00",
                "2026-01-01 08:00", "2025-12-29 08:00", "2025-12-28 08:00", "2025-12-20 08:00",
                "2025-12-10 08:00", "2025-12-01 08:00"}),
       {"2026-01-20 08:00", "2026-01-19 08:00", "2026-01-18 08:00", "2026-01-17 08:00",
        "2026-01-16 08:00", "2026-01-15 08:00", "2026-01-14 08:00", "2026-01-02 08:00",
        "2025-12-28 08:00", "2025-12-20 08:00", "2025-12-10 08:00"}},
      {"none", {}, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Names(BackupsToKeep(c.backups)), c.kept) << c.what;
}

// One copy a day at 08:00 from `first` to `last`, holding records(day).
QList<BackupFile> DailyCopies(QDate first, QDate last, const std::function<qint64(QDate)>& records) {
  QList<BackupFile> list;
  for (QDate d = first; d <= last; d = d.addDays(1))
    list.append({d.toString(Qt::ISODate), QDateTime(d, QTime(8, 0)), records(d)});
  return list;
}

TEST(BackupRotation, AlwaysKeepsTheFullestCopyOfTheLastThirtyDays) {
  // Monday 2025-06-30 is the newest copy in every case; the plain rotation
  // keeps 06-24 … 06-30 and the Sundays 06-22, 06-15, 06-08, 06-01.
  const QDate first(2025, 5, 1), last(2025, 6, 30);
  const std::set<std::string> plain{"2025-06-30", "2025-06-29", "2025-06-28", "2025-06-27",
                                    "2025-06-26", "2025-06-25", "2025-06-24", "2025-06-22",
                                    "2025-06-15", "2025-06-08", "2025-06-01"};
  auto plus = [&](std::initializer_list<const char*> more) {
    std::set<std::string> kept = plain;
    kept.insert(more.begin(), more.end());
    return kept;
  };
  const struct {
    const char* what;
    QList<BackupFile> backups;
    std::set<std::string> kept;
  } cases[] = {
      {"emptied on Wednesday 06-11: the last full copy (Tuesday 06-10) stays",
       DailyCopies(first, last, [](QDate d) { return d <= QDate(2025, 6, 10) ? 11 : 0; }),
       plus({"2025-06-10"})},
      {"shrunk by half on Friday 06-20: Thursday's copy stays",
       DailyCopies(first, last, [](QDate d) { return d < QDate(2025, 6, 20) ? 400 : 200; }),
       plus({"2025-06-19"})},
      {"the fullest a month and a day back: none extra (the newest is the fullest since)",
       DailyCopies(first, last, [](QDate d) { return d == QDate(2025, 5, 30) ? 900 : 5; }),
       plain},
      {"the fullest exactly thirty days back (Saturday 05-31 08:00) still counts",
       DailyCopies(first, last, [](QDate d) { return d == QDate(2025, 5, 31) ? 900 : 5; }),
       plus({"2025-05-31"})},
      {"a tie: the newest of the fullest, already kept as a day's",
       DailyCopies(first, last, [](QDate d) { return d.day() % 2 ? 30 : 3; }),
       plain},
      {"records not counted, or unreadable copies: never the fullest",
       DailyCopies(first, last, [](QDate d) { return d == QDate(2025, 6, 10) ? -1 : 0; }),
       plus({"2025-06-30"})},
      {"a copy that grows every day: the newest is the fullest",
       DailyCopies(first, last, [](QDate d) { return d.toJulianDay(); }),
       plain},
  };
  for (const auto& c : cases) EXPECT_EQ(Names(BackupsToKeep(c.backups)), c.kept) << c.what;
}

TEST(BackupRotation, DueWhenNoCopyIsFromTheLastDay) {
  const QDateTime now = At("2025-06-30 12:00");
  const struct {
    const char* what;
    QList<BackupFile> backups;
    bool due;
  } cases[] = {
      {"no copy yet", {}, true},
      {"one from 23 hours ago", Backups({"2025-06-29 13:00"}), false},
      {"newest from 25 hours ago", Backups({"2025-06-29 11:00", "2025-06-20 08:00"}), true},
      {"one exactly a day old", Backups({"2025-06-29 12:00"}), true},
      {"one from the future only (the clock was wrong)", Backups({"2025-07-30 08:00"}), true},
  };
  for (const auto& c : cases) EXPECT_EQ(BackupDue(c.backups, now), c.due) << c.what;
}

TEST_F(BackupTest, ListsOnlyTheAutomaticCopiesNewestFirst) {
  const QString dir = BackupDir(dir_);
  EXPECT_EQ(dir, dir_ + QStringLiteral("/backup"));
  EXPECT_TRUE(ListBackups(dir_).isEmpty());  // no directory yet
  QDir().mkpath(dir);
  for (const char* name : {"casebook-20250601-080000.sqlite", "casebook-20250630-235959.sqlite",
                           "casebook-20250615-120000.sqlite", "casebook-20250615-120000.sqlite.part",
                           "notes.txt", "casebook-2025061-120000.sqlite", "casebook-20251341-120000.sqlite"}) {
    QFile f(dir + QLatin1Char('/') + QLatin1String(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  const QList<BackupFile> list = ListBackups(dir_);
  ASSERT_EQ(list.size(), 3);
  EXPECT_EQ(QFileInfo(list[0].path).fileName(), QStringLiteral("casebook-20250630-235959.sqlite"));
  EXPECT_EQ(list[0].time, QDateTime(QDate(2025, 6, 30), QTime(23, 59, 59)));
  EXPECT_EQ(QFileInfo(list[1].path).fileName(), QStringLiteral("casebook-20250615-120000.sqlite"));
  EXPECT_EQ(QFileInfo(list[2].path).fileName(), QStringLiteral("casebook-20250601-080000.sqlite"));
  EXPECT_EQ(BackupFileName(list[0].time), QStringLiteral("casebook-20250630-235959.sqlite"));
}

// ---------------------------------------------------------------------------
// Copies

TEST_F(BackupTest, CopyIsTheCasebookOfOneMomentWhileAnotherConnectionWrites) {
  Fill();
  const QString target = tmp_.path() + QStringLiteral("/copy.sqlite");
  int steps = 0;
  int lastDone = 0, lastTotal = 0;
  QString written;
  const CopyOutcome outcome = CopyDatabase(
      DbPath(dir_), target, nullptr,
      [&](int done, int total) {
        // While the copy runs, the program saves a record.
        if (steps++ == 0) {
          sqlite3* db = nullptr;
          sqlite3_open_v2(DbPath(dir_).toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
          sqlite3_busy_timeout(db, 5000);
          if (sqlite3_exec(db, "INSERT INTO Omenry (BT, LR, FL) VALUES ('新', '正文', 1)", nullptr,
                           nullptr, nullptr) != SQLITE_OK)
            written = QString::fromUtf8(sqlite3_errmsg(db));
          sqlite3_close(db);
        }
        lastDone = done;
        lastTotal = total;
      });
  ASSERT_EQ(outcome, CopyOutcome::Done);
  EXPECT_TRUE(written.isEmpty()) << written.toStdString();
  EXPECT_GT(steps, 1);
  EXPECT_EQ(lastDone, lastTotal);
  // The copy holds the three records of the moment it began; the casebook four.
  EXPECT_EQ(Query(target, "SELECT COUNT(*) FROM Omenry"), QStringLiteral("3"));
  EXPECT_EQ(Query(DbPath(dir_), "SELECT COUNT(*) FROM Omenry"), QStringLiteral("4"));
  EXPECT_EQ(Query(target, "PRAGMA quick_check"), QStringLiteral("ok"));
  // A standalone, owner-only file; nothing left beside it.
  EXPECT_EQ(Query(target, "PRAGMA journal_mode"), QStringLiteral("delete"));
  EXPECT_FALSE(QFile::permissions(target) & kOthers);
  EXPECT_EQ(QDir(tmp_.path()).entryList(QDir::Files), QStringList{QStringLiteral("copy.sqlite")});
  // Put in place of a casebook, it is one.
  const QString other = tmp_.path() + QStringLiteral("/Other");
  QDir().mkpath(other);
  ASSERT_TRUE(QFile::copy(target, DbPath(other)));
  CasebookStore copy;
  copy.OpenStore(other);
  EXPECT_FALSE(copy.isDamaged());
  copy.ListFolderRecords(folder_);
  EXPECT_EQ(copy.records()->count(), 3);
}

TEST_F(BackupTest, CancelledOrFailedCopyLeavesNoFile) {
  Fill();
  const QString target = tmp_.path() + QStringLiteral("/copy.sqlite");
  std::atomic<bool> cancel{false};
  EXPECT_EQ(CopyDatabase(DbPath(dir_), target, &cancel, [&](int, int) { cancel = true; }),
            CopyOutcome::Cancelled);
  EXPECT_TRUE(QDir(tmp_.path()).entryList(QDir::Files).isEmpty());

  QString error;
  EXPECT_EQ(CopyDatabase(DbPath(dir_), tmp_.path() + QStringLiteral("/no/such/dir/copy.sqlite"),
                         nullptr, {}, &error),
            CopyOutcome::Failed);
  EXPECT_FALSE(error.isEmpty());
  EXPECT_EQ(CopyDatabase(tmp_.path() + QStringLiteral("/missing.sqlite"), target, nullptr, {}, &error),
            CopyOutcome::Failed);
  EXPECT_FALSE(error.isEmpty());
  EXPECT_TRUE(QDir(tmp_.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(BackupTest, AutomaticBackupCopiesThenRotates) {
  folder_ = store_.AddFolder(0, QStringLiteral("卦例"));
  store_.InsertRecord(folder_, {QStringLiteral("一"), QString(), QDate(), false, QStringLiteral("正文")});
  const QString dir = BackupDir(dir_);
  QDir().mkpath(dir);
  // Thirty days of older copies, a piece of a copy that never finished, and
  // a file of the user's.
  for (int i = 1; i <= 30; ++i) {
    QFile f(dir + QLatin1Char('/') + BackupFileName(QDateTime(QDate(2025, 6, 30).addDays(-i), QTime(9, 0))));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  for (const char* name : {"casebook-20250629-100000.sqlite.part", "mine.sqlite"}) {
    QFile f(dir + QLatin1Char('/') + QLatin1String(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  const QDateTime now(QDate(2025, 6, 30), QTime(10, 0));
  const AutomaticBackupResult result = MakeAutomaticBackup(dir_, now);
  ASSERT_EQ(result.outcome, CopyOutcome::Done) << result.error.toStdString();
  EXPECT_EQ(result.path, dir + QStringLiteral("/casebook-20250630-100000.sqlite"));
  EXPECT_EQ(Query(result.path, "SELECT BT FROM Omenry"), QStringLiteral("一"));
  EXPECT_FALSE(QFile::permissions(dir) & kOthers);
  EXPECT_FALSE(QFile::permissions(result.path) & kOthers);
  // Today and the six days before; the newest of each of the four weeks
  // before those (Sundays 6-22, 6-15, 6-08, 6-01).
  QStringList expected;
  for (const char* day : {"0630-100000", "0629-090000", "0628-090000", "0627-090000", "0626-090000",
                          "0625-090000", "0624-090000", "0622-090000", "0615-090000", "0608-090000",
                          "0601-090000"})
    expected << QStringLiteral("casebook-2025%1.sqlite").arg(QLatin1String(day));
  // The user's file stays; the state of the casebook's files when the copy
  // began is recorded beside the copies.
  expected << QStringLiteral("mine.sqlite") << QStringLiteral("casebook.state");
  expected.sort();
  EXPECT_EQ(QDir(dir).entryList(QDir::Files, QDir::Name), expected);
  EXPECT_EQ(result.removed.size(), 30 - 10);
  EXPECT_FALSE(BackupDue(ListBackups(dir_), now.addSecs(3600)));
}

TEST_F(BackupTest, AutomaticBackupsKeepTheLastFullCopyWhenTheCasebookShrinks) {
  folder_ = store_.AddFolder(0, QStringLiteral("卦例"));
  QList<RowId> ids;
  for (int i = 0; i < 11; ++i)
    ids << store_.InsertRecord(folder_, {QStringLiteral("例%1").arg(i), QString(), QDate(2025, 6, 1), false, QStringLiteral("正文")});
  // Wednesday 06-11: the copy of the full casebook. Then ten records go,
  // and a copy is made every day until Monday 06-30.
  const QString full = BackupDir(dir_) + QStringLiteral("/casebook-20250611-090000.sqlite");
  ASSERT_EQ(MakeAutomaticBackup(dir_, QDateTime(QDate(2025, 6, 11), QTime(9, 0))).path, full);
  for (int i = 0; i < 10; ++i) store_.DeleteRecord(ids[i]);
  for (QDate d(2025, 6, 12); d <= QDate(2025, 6, 30); d = d.addDays(1))
    ASSERT_EQ(MakeAutomaticBackup(dir_, QDateTime(d, QTime(9, 0))).outcome, CopyOutcome::Done);
  // 06-11 is neither one of the last seven days nor the newest copy of its
  // week (06-15 is), and it stays: the only copy that holds all 11.
  QStringList kept;
  for (const BackupFile& b : ListBackups(dir_)) kept << QFileInfo(b.path).fileName().mid(13, 4);
  EXPECT_EQ(kept.join(QLatin1Char(' ')).toStdString(),
            "0630 0629 0628 0627 0626 0625 0624 0622 0615 0611");
  EXPECT_EQ(ReadCopyContents(full).records, 11);
  EXPECT_EQ(ReadCopyContents(full).folders, 1);
  // A file that is no casebook has no contents to count.
  EXPECT_FALSE(ReadCopyContents(tmp_.path() + QStringLiteral("/none.sqlite")).readable());
}

TEST_F(BackupTest, ChangedSinceTheNewestBackupFollowsTheCasebooksFiles) {
  folder_ = store_.AddFolder(0, QStringLiteral("卦例"));
  EXPECT_TRUE(CasebookChangedSinceBackup(dir_)) << "no backup yet";
  store_.close();
  store_.OpenStore(dir_);  // a new session
  const QDateTime now = QDateTime::currentDateTime();
  ASSERT_EQ(MakeAutomaticBackup(dir_, now).outcome, CopyOutcome::Done);
  EXPECT_FALSE(CasebookChangedSinceBackup(dir_)) << "open, nothing written";
  store_.close();
  EXPECT_FALSE(CasebookChangedSinceBackup(dir_)) << "closed, nothing written";
  store_.OpenStore(dir_);
  EXPECT_FALSE(CasebookChangedSinceBackup(dir_)) << "opened again";
  store_.AddFolder(0, QStringLiteral("新"));
  EXPECT_TRUE(CasebookChangedSinceBackup(dir_)) << "a folder added: in the log";
  store_.close();
  EXPECT_TRUE(CasebookChangedSinceBackup(dir_)) << "a folder added: in the file";
  ASSERT_EQ(MakeAutomaticBackup(dir_, now.addSecs(1)).outcome, CopyOutcome::Done);
  EXPECT_FALSE(CasebookChangedSinceBackup(dir_)) << "backed up";

  // A newest backup with no record of the files' state (made by an older
  // Omenry): a file modified at or after the backup's time is a change.
  ASSERT_TRUE(QFile::remove(BackupDir(dir_) + QStringLiteral("/casebook.state")));
  const QString future = BackupDir(dir_) + QLatin1Char('/') + BackupFileName(now.addSecs(3600));
  ASSERT_TRUE(QFile::copy(ListBackups(dir_).first().path, future));
  EXPECT_FALSE(CasebookChangedSinceBackup(dir_)) << "the file is older than the backup";
  ASSERT_TRUE(QFile::remove(future));
  const QString past = BackupDir(dir_) + QLatin1Char('/') + BackupFileName(now.addSecs(-3600));
  for (const BackupFile& b : ListBackups(dir_)) ASSERT_TRUE(QFile::rename(b.path, past));
  EXPECT_TRUE(CasebookChangedSinceBackup(dir_)) << "the file is newer than the backup";
}

TEST_F(BackupTest, NeitherAnEmptyNorADamagedCasebookBecomesTheNewestBackup) {
  // A casebook with no folder and no record is not backed up.
  const QDateTime now(QDate(2025, 6, 30), QTime(10, 0));
  const AutomaticBackupResult empty = MakeAutomaticBackup(dir_, now);
  EXPECT_EQ(empty.outcome, CopyOutcome::Skipped);
  EXPECT_TRUE(empty.path.isEmpty());
  EXPECT_TRUE(ListBackups(dir_).isEmpty());
  EXPECT_TRUE(QDir(BackupDir(dir_)).entryList(QDir::Files).isEmpty());
  // A folder alone is worth a copy.
  folder_ = store_.AddFolder(0, QStringLiteral("卦例"));
  ASSERT_EQ(MakeAutomaticBackup(dir_, now).outcome, CopyOutcome::Done);
  const QString good = ListBackups(dir_).first().path;
  const QByteArray goodHash = FileHash(good);

  // A damaged casebook gives no backup, and the last good one stays the
  // newest.
  Fill();
  store_.close();
  ASSERT_TRUE(DamageRecordsPage(DbPath(dir_)));
  const AutomaticBackupResult damaged = MakeAutomaticBackup(dir_, now.addSecs(60));
  EXPECT_EQ(damaged.outcome, CopyOutcome::Failed);
  EXPECT_TRUE(damaged.error.contains(QStringLiteral("没有通过完整性检查"))) << damaged.error.toStdString();
  ASSERT_EQ(ListBackups(dir_).size(), 1);
  EXPECT_EQ(ListBackups(dir_).first().path, good);
  EXPECT_EQ(FileHash(good), goodHash);
  EXPECT_EQ(QDir(BackupDir(dir_)).entryList(QDir::Files),
            (QStringList{QFileInfo(good).fileName(), QStringLiteral("casebook.state")}));
}

TEST_F(BackupTest, RestorePutsTheCopyInPlaceAndKeepsTheOldFile) {
  folder_ = store_.AddFolder(0, QStringLiteral("甲"));
  const QString copy = tmp_.path() + QStringLiteral("/copy.sqlite");
  ASSERT_EQ(CopyDatabase(DbPath(dir_), copy), CopyOutcome::Done);
  store_.AddFolder(0, QStringLiteral("乙"));
  store_.close();
  const QByteArray old = FileHash(DbPath(dir_));

  // A copy that is not there changes nothing.
  EXPECT_FALSE(RestoreBackup(dir_, tmp_.path() + QStringLiteral("/none.sqlite")).isEmpty());
  EXPECT_EQ(FileHash(DbPath(dir_)), old);

  QString kept;
  EXPECT_EQ(RestoreBackup(dir_, copy, &kept), QString());
  EXPECT_TRUE(kept.startsWith(DbPath(dir_) + QStringLiteral(".damaged-"))) << kept.toStdString();
  EXPECT_EQ(FileHash(kept), old);
  EXPECT_TRUE(QFile::exists(copy));  // the copy itself stays
  EXPECT_FALSE(QFile::permissions(DbPath(dir_)) & kOthers);
  store_.OpenStore(dir_);
  const QList<FolderRow> folders = store_.FolderChildren(0);
  ASSERT_EQ(folders.size(), 1);
  EXPECT_EQ(folders[0].name, QStringLiteral("甲"));
  store_.AddFolder(0, QStringLiteral("丙"));  // and it is written again as usual
  EXPECT_EQ(store_.FolderChildren(0).size(), 2);
}

TEST_F(BackupTest, RestoreTakesOnlyASoundCasebookAndLeavesEverythingElseAsItWas) {
  folder_ = store_.AddFolder(0, QStringLiteral("甲"));
  const QString copy = tmp_.path() + QStringLiteral("/copy.sqlite");
  ASSERT_EQ(CopyDatabase(DbPath(dir_), copy), CopyOutcome::Done);
  Fill();
  store_.close();
  const QString damaged = tmp_.path() + QStringLiteral("/damaged.sqlite");
  ASSERT_TRUE(QFile::copy(DbPath(dir_), damaged));
  ASSERT_TRUE(DamageRecordsPage(damaged));
  auto write = [&](const char* name, const QByteArray& bytes) {
    const QString path = tmp_.path() + QLatin1Char('/') + QLatin1String(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
  };
  const QString foreign = tmp_.path() + QStringLiteral("/notes.sqlite");
  Query(foreign, "CREATE TABLE notes(a)", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  const QByteArray before = FileHash(DbPath(dir_));
  const struct {
    const char* what;
    QString path;
    const char* says;
  } refused[] = {
      {"no such file", tmp_.path() + QStringLiteral("/none.sqlite"), "找不到这个文件"},
      {"a text file", write("notes.txt", "卦例\n"), "无法读取这个文件"},
      {"an empty file", write("empty.sqlite", QByteArray()), "不是 Omenry 的数据库"},
      {"another program's database", foreign, "不是 Omenry 的数据库"},
      {"a damaged casebook", damaged, "没有通过完整性检查"},
  };
  for (const auto& c : refused) {
    const QString error = RestoreBackup(dir_, c.path);
    EXPECT_TRUE(error.contains(QString::fromUtf8(c.says))) << c.what << ": " << error.toStdString();
    EXPECT_EQ(FileHash(DbPath(dir_)), before) << c.what;
    EXPECT_EQ(QDir(dir_).entryList({QStringLiteral("*.part*"), QStringLiteral("*.damaged-*")}, QDir::Files),
              QStringList())
        << c.what;
  }

  // A sound casebook that was replaced is kept as such, and listed.
  QString kept;
  EXPECT_EQ(RestoreBackup(dir_, copy, &kept, KeptCasebook::Replaced), QString());
  EXPECT_TRUE(kept.startsWith(DbPath(dir_) + QStringLiteral(".replaced-"))) << kept.toStdString();
  EXPECT_EQ(FileHash(kept), before);
  const QList<BackupFile> replaced = ListReplacedCasebooks(dir_);
  ASSERT_EQ(replaced.size(), 1);
  EXPECT_EQ(replaced[0].path, kept);
  EXPECT_EQ(ReadCopyContents(replaced[0].path).records, 3);
  EXPECT_EQ(ReadCopyContents(DbPath(dir_)).records, 0);
}

TEST_F(BackupTest, RestoreOfACasebookInWriteAheadLogModeTakesItsLog) {
  // Another casebook, still open: what it saved lives in its -wal file. Its
  // file and log, copied as they are, restore with everything saved.
  const QString other = tmp_.path() + QStringLiteral("/Other");
  CasebookStore open;
  open.OpenStore(other);
  const RowId f = open.AddFolder(0, QStringLiteral("乙"));
  open.InsertRecord(f, {QStringLiteral("在日志里"), QString(), QDate(2025, 1, 1), false, QStringLiteral("正文")});
  ASSERT_GT(QFileInfo(DbPath(other) + QStringLiteral("-wal")).size(), 0);
  const QString loose = tmp_.path() + QStringLiteral("/loose");
  QDir().mkpath(loose);
  for (const char* suffix : {"", "-wal"})
    ASSERT_TRUE(QFile::copy(DbPath(other) + QLatin1String(suffix),
                            loose + QStringLiteral("/casebook.sqlite") + QLatin1String(suffix)));
  store_.close();
  ASSERT_EQ(RestoreBackup(dir_, loose + QStringLiteral("/casebook.sqlite")), QString());
  store_.OpenStore(dir_);
  ASSERT_EQ(store_.FolderChildren(0).size(), 1);
  store_.ListFolderRecords(f);
  ASSERT_EQ(store_.records()->count(), 1);
  EXPECT_EQ(store_.records()->currentTitle(), QStringLiteral("在日志里"));
}
