// The casebook in every state it is met in: new, damaged, empty, missing,
// foreign, not a file, read-only, another user's, locked. Each state is one
// row of a table: how the directory is prepared, and what opening it must
// give. Nothing the store refuses or only reads may change on disk: not a
// byte of the file, not its mode.
//
// Some states depend on who runs the test: permission bits stop a normal
// user but not root, and only root can give a file to another user. The
// rows that need one or the other say so; CTest runs this table once as the
// user running the tests and, when that is root, once more as "nobody"
// (casebook_states_unprivileged.sh).

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <ostream>

#include "casebook_backup.h"
#include "casebook_store.h"
#include "sqlite_helpers.h"

namespace {

QString DbPath(const QString& dir) { return dir + QLatin1Char('/') + CasebookStore::DatabaseFileName(); }

bool IsRoot() { return ::geteuid() == 0; }

// A casebook with one folder "八字命例" and `records` records in it, closed.
void MakeCasebook(const QString& dir, int records = 3) {
  CasebookStore store;
  store.OpenStore(dir);
  const RowId folder = store.AddFolder(0, QStringLiteral("八字命例"));
  for (int i = 0; i < records; ++i)
    store.InsertRecord(folder, {QStringLiteral("例%1").arg(i), QStringLiteral("某"), QDate(2024, 1, 1 + i), i % 2 == 0, QStringLiteral("正文%1").arg(i)});
}

// What stands at a path, as far as the tests can tell a change: kind, mode
// and, for a file, its bytes.
struct PathState {
  bool exists = false;
  bool dir = false;
  mode_t mode = 0;
  uid_t owner = 0;
  QByteArray hash;
  bool operator==(const PathState&) const = default;
};

PathState StateOf(const QString& path) {
  PathState s;
  struct stat st {};
  if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return s;
  s.exists = true;
  s.dir = S_ISDIR(st.st_mode);
  s.mode = st.st_mode & 07777;
  s.owner = st.st_uid;
  if (!s.dir) {
    QFile f(path);
    if (f.open(QIODevice::ReadOnly))
      s.hash = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
  }
  return s;
}

void Chmod(const QString& path, mode_t mode) {
  ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0) << path.toStdString();
}

// A plain SQLite file with the given statements, in rollback-journal mode.
void MakeSqliteFile(const QString& path, const char* sql) {
  Sqlite db(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  ASSERT_EQ(db.exec(sql), SQLITE_OK) << db.error();
}

enum class Opens { Writable, ReadOnly, Refused };
enum class Runner { Anyone, RootOnly, UnprivilegedOnly };

struct CasebookState {
  const char* name;
  Runner runner;
  std::function<void(const QString& dir)> make;
  Opens opens;
  StoreProblem problem = StoreProblem::Engine;  // Refused
  ReadOnlyReason reason = ReadOnlyReason::None;  // ReadOnly
  int folders = 0;                               // what can be read (Writable, ReadOnly)
};

void PrintTo(const CasebookState& state, std::ostream* os) { *os << state.name; }

const CasebookState kStates[] = {
    {"a new casebook where there is none and no backup", Runner::Anyone, [](const QString&) {},
     Opens::Writable, {}, {}, 0},
    {"a sound casebook", Runner::Anyone, [](const QString& dir) { MakeCasebook(dir); }, Opens::Writable,
     {}, {}, 1},
    {"a 0-byte casebook file", Runner::Anyone,
     [](const QString& dir) {
       QDir().mkpath(dir);
       QFile f(DbPath(dir));
       ASSERT_TRUE(f.open(QIODevice::WriteOnly));
     },
     Opens::Refused, StoreProblem::Empty},
    {"a missing casebook file that has backups", Runner::Anyone,
     [](const QString& dir) {
       MakeCasebook(dir);
       ASSERT_EQ(MakeAutomaticBackup(dir, QDateTime::currentDateTime()).outcome, CopyOutcome::Done);
       ASSERT_TRUE(QFile::remove(DbPath(dir)));
     },
     Opens::Refused, StoreProblem::Missing},
    {"garbage in place of the casebook", Runner::Anyone,
     [](const QString& dir) {
       QDir().mkpath(dir);
       QFile f(DbPath(dir));
       ASSERT_TRUE(f.open(QIODevice::WriteOnly));
       f.write(QByteArray(8192, 'z'));
     },
     Opens::Refused, StoreProblem::Damaged},
    {"an SQLite file of another program (table notes)", Runner::Anyone,
     [](const QString& dir) {
       QDir().mkpath(dir);
       MakeSqliteFile(DbPath(dir), "CREATE TABLE notes(id INTEGER PRIMARY KEY, body TEXT);"
                                   "INSERT INTO notes(body) VALUES ('mine');");
       Chmod(DbPath(dir), 0644);
     },
     Opens::Refused, StoreProblem::Foreign},
    {"an SQLite file whose Omenry table is another's (Omenry(a))", Runner::Anyone,
     [](const QString& dir) {
       QDir().mkpath(dir);
       MakeSqliteFile(DbPath(dir), "CREATE TABLE Omenry(a); CREATE TABLE Folder(ID, ParentID, Name);"
                                   "INSERT INTO Omenry VALUES (42);");
       Chmod(DbPath(dir), 0664);
     },
     Opens::Refused, StoreProblem::Foreign},
    {"a directory in place of the casebook file", Runner::Anyone,
     [](const QString& dir) {
       QDir().mkpath(DbPath(dir));
       Chmod(DbPath(dir), 0755);
       QFile f(DbPath(dir) + QStringLiteral("/keep.txt"));
       ASSERT_TRUE(f.open(QIODevice::WriteOnly));
     },
     Opens::Refused, StoreProblem::NotAFile},
    {"a casebook of another user", Runner::RootOnly,
     [](const QString& dir) {
       MakeCasebook(dir);
       ASSERT_EQ(::chown(QFile::encodeName(DbPath(dir)).constData(), 65534, 65534), 0);
     },
     Opens::ReadOnly, {}, ReadOnlyReason::OtherOwner, 1},
    {"a read-only casebook file", Runner::UnprivilegedOnly,
     [](const QString& dir) {
       MakeCasebook(dir);
       Chmod(DbPath(dir), 0400);
     },
     Opens::ReadOnly, {}, ReadOnlyReason::FileReadOnly, 1},
    {"a casebook in a read-only directory", Runner::UnprivilegedOnly,
     [](const QString& dir) {
       MakeCasebook(dir);
       Chmod(dir, 0500);
     },
     Opens::ReadOnly, {}, ReadOnlyReason::FolderReadOnly, 1},
};

class CasebookStates : public ::testing::TestWithParam<CasebookState> {
 protected:
  void SetUp() override {
    const CasebookState& state = GetParam();
    if (state.runner == Runner::RootOnly && !IsRoot()) GTEST_SKIP() << "needs root";
    if (state.runner == Runner::UnprivilegedOnly && IsRoot()) GTEST_SKIP() << "root writes anyway";
    ASSERT_TRUE(tmp_.isValid());
    dir_ = tmp_.path() + QStringLiteral("/Data");
    state.make(dir_);
  }
  void TearDown() override {
    // What the rows made read-only is given back, so that it can be removed.
    ::chmod(QFile::encodeName(dir_).constData(), 0700);
  }

  QTemporaryDir tmp_;
  QString dir_;
};

TEST_P(CasebookStates, OpenAsTheStateAllowsAndChangeNothingElse) {
  const CasebookState& state = GetParam();
  const PathState fileBefore = StateOf(DbPath(dir_));
  const PathState dirBefore = StateOf(dir_);
  const QStringList backupsBefore = QDir(BackupDir(dir_)).entryList(QDir::Files);

  CasebookStore store;
  std::optional<StoreError> error;
  QElapsedTimer clock;
  clock.start();
  try {
    store.OpenStore(dir_);
  } catch (const StoreError& e) {
    error = e;
  }

  switch (state.opens) {
    case Opens::Refused: {
      ASSERT_TRUE(error.has_value()) << "opened";
      EXPECT_EQ(error->problem(), state.problem) << error->what();
      EXPECT_FALSE(store.isOpen());
      // The user reads Chinese first; any technical detail comes after it.
      ASSERT_FALSE(error->message().isEmpty());
      EXPECT_GE(error->message().at(0).unicode(), 0x2E80) << error->what();
      EXPECT_EQ(error->damaged(), state.problem == StoreProblem::Damaged ||
                                      state.problem == StoreProblem::Empty ||
                                      state.problem == StoreProblem::Missing);
      break;
    }
    case Opens::ReadOnly: {
      ASSERT_FALSE(error.has_value()) << error->what();
      ASSERT_TRUE(store.isOpen());
      EXPECT_EQ(store.readOnlyReason(), state.reason);
      EXPECT_FALSE(store.isWritable());
      EXPECT_FALSE(store.readOnlyText().isEmpty());
      EXPECT_EQ(store.FolderChildren(0).size(), state.folders);
      store.ListFolderRecords(store.FolderChildren(0).value(0).id);
      EXPECT_EQ(store.records()->count(), 3);
      EXPECT_EQ(store.records()->currentText(), QStringLiteral("正文2"));
      // Every write is refused in Chinese, and nothing is written.
      for (const auto& write : std::vector<std::function<void()>>{
               [&] { store.AddFolder(0, QStringLiteral("新")); },
               [&] { store.RenameFolder(1, QStringLiteral("新")); },
               [&] { store.InsertRecord(1, {QStringLiteral("x"), {}, {}, false, {}}); },
               [&] { store.DeleteRecord(1); },
               [&] { store.DeleteFolder(1); },
               [&] { store.AddCasts(1, {ChartCast{}}); },
               [&] { store.DeleteCast(1); },
           }) {
        try {
          write();
          ADD_FAILURE() << "a write went through";
        } catch (const StoreError& e) {
          EXPECT_GE(e.message().at(0).unicode(), 0x2E80) << e.what();
        }
      }
      break;
    }
    case Opens::Writable: {
      ASSERT_FALSE(error.has_value()) << error->what();
      EXPECT_TRUE(store.isWritable());
      EXPECT_EQ(store.FolderChildren(0).size(), state.folders);
      break;
    }
  }
  store.close();
  if (state.opens != Opens::Writable) {
    EXPECT_TRUE(StateOf(DbPath(dir_)) == fileBefore) << "the casebook's place changed";
    EXPECT_TRUE(StateOf(dir_) == dirBefore) << "the data directory changed";
    EXPECT_EQ(QDir(BackupDir(dir_)).entryList(QDir::Files), backupsBefore);
  }
  // No state keeps the window waiting.
  EXPECT_LT(clock.elapsed(), 3000);
}

INSTANTIATE_TEST_SUITE_P(Table, CasebookStates, ::testing::ValuesIn(kStates),
                         [](const ::testing::TestParamInfo<CasebookState>& row) {
                           return "Row" + std::to_string(row.index);
                         });

// ---------------------------------------------------------------------------
// Another program holds the write lock when the casebook is opened: it is
// read at once, shown read-only, and becomes writable once the lock is free.

TEST(LockedCasebook, IsReadAtOnceAndWritableOnceReleased) {
  QTemporaryDir tmp;
  const QString dir = tmp.path() + QStringLiteral("/Data");
  MakeCasebook(dir);
  CasebookStore::SetLockRetryMilliseconds(100);
  HeldLock other(DbPath(dir));
  ASSERT_TRUE(other.holding());

  CasebookStore store;
  QElapsedTimer clock;
  clock.start();
  store.OpenStore(dir);
  EXPECT_LT(clock.elapsed(), 2000);
  EXPECT_EQ(store.readOnlyReason(), ReadOnlyReason::Locked);
  EXPECT_TRUE(store.readOnlyText().contains(QStringLiteral("数据库正被其他程序占用")));
  ASSERT_EQ(store.FolderChildren(0).size(), 1);
  const RowId folder = store.FolderChildren(0)[0].id;
  store.ListFolderRecords(folder);
  EXPECT_EQ(store.records()->count(), 3);

  // While the lock is held, the store stays read-only.
  {
    QEventLoop loop;
    QTimer::singleShot(400, &loop, &QEventLoop::quit);
    loop.exec();
  }
  EXPECT_EQ(store.readOnlyReason(), ReadOnlyReason::Locked);

  other.release();
  bool changed = false;
  {
    QEventLoop loop;
    QObject::connect(&store, &CasebookStore::accessChanged, &loop, [&] {
      changed = true;
      loop.quit();
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
  }
  EXPECT_TRUE(changed);
  EXPECT_TRUE(store.isWritable());
  const RowId added = store.AddFolder(0, QStringLiteral("新"));
  EXPECT_GT(added, folder);
  store.ListFolderRecords(folder);
  EXPECT_EQ(store.records()->count(), 3);
  CasebookStore::SetLockRetryMilliseconds(3000);
}

// A write asked of a casebook found locked waits for the lock, as every
// write does, and goes through once it is free.
TEST(LockedCasebook, AWriteWaitsForTheLock) {
  QTemporaryDir tmp;
  const QString dir = tmp.path() + QStringLiteral("/Data");
  MakeCasebook(dir);
  CasebookStore store;
  {
    HeldLock other(DbPath(dir));
    store.OpenStore(dir);
    ASSERT_EQ(store.readOnlyReason(), ReadOnlyReason::Locked);
  }
  LockHolder again(DbPath(dir), std::chrono::milliseconds(300));
  ASSERT_TRUE(again.holding());
  QElapsedTimer clock;
  clock.start();
  const RowId added = store.AddFolder(0, QStringLiteral("新"));
  EXPECT_GE(clock.elapsed(), 200);
  EXPECT_GT(added, 0);
  EXPECT_TRUE(store.isWritable());
  EXPECT_EQ(store.FolderChildren(0).size(), 2);
}

// A missing casebook is created when there is no backup of it, or when the
// user has chosen to start anew.
TEST(MissingCasebook, IsCreatedOnlyWhenNoBackupSaysOtherwise) {
  QTemporaryDir tmp;
  const QString dir = tmp.path() + QStringLiteral("/Data");
  MakeCasebook(dir);
  ASSERT_EQ(MakeAutomaticBackup(dir, QDateTime::currentDateTime()).outcome, CopyOutcome::Done);
  ASSERT_TRUE(QFile::remove(DbPath(dir)));
  CasebookStore store;
  EXPECT_THROW(store.OpenStore(dir), StoreError);
  EXPECT_FALSE(QFileInfo::exists(DbPath(dir)));
  store.OpenStore(dir, /*createMissing=*/true);
  EXPECT_TRUE(store.isWritable());
  EXPECT_TRUE(store.FolderChildren(0).isEmpty());
}

}  // namespace
