// The casts kept beside the records (table OmenryCasts): added, listed
// oldest first, read back whole after a restart, saved in one transaction
// with their record, kept in the recycle bin and deleted with the record
// for good; the table added to casebooks made before it, and never to one
// that is only read.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <vector>

#include "casebook_backup.h"
#include "casebook_store.h"
#include "chart_cast.h"
#include "sqlite_helpers.h"

namespace {

QString DbPath(const QString& dir) { return dir + QLatin1Char('/') + CasebookStore::DatabaseFileName(); }

QByteArray FileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A cast as the chart dialogs make one; `n` tells casts apart.
ChartCast Cast(int n) {
  ChartCast c;
  c.method = n % 2 ? QStringLiteral("bazi") : QStringLiteral("qimen");
  c.request = QStringLiteral("{\"method\":%1,\"solar\":1,\"year\":1988,\"month\":7,\"day\":15,\"hour\":11,"
                             "\"minute\":14,\"second\":%2,\"termAnswer\":2}")
                  .arg(n % 2 ? 1 : 5)
                  .arg(n);
  c.clock = QStringLiteral("1988-07-15 14:30");
  c.place = QStringLiteral("乌鲁木齐");
  c.longitude = 87.6 + n / 1000.0;
  c.zone = QStringLiteral("Asia/Shanghai");
  c.correction = QStringLiteral("真太阳时");
  c.corrected = QStringLiteral("1988-07-15 11:14:%1").arg(n, 2, 10, QLatin1Char('0'));
  c.engineVersion = QStringLiteral("1.4.%1").arg(n);
  c.chartJson = QStringLiteral("{\"engine\":\"1.4.%1\",\"pillars\":[\"戊辰\",\"己未\",\"壬午\",\"丙午\"]}").arg(n);
  // CR LF lines, full-width spaces, box drawing and a character beyond the
  // BMP, as chart texts and their notes hold them.
  c.chartText = QStringLiteral("　　乾造　戊辰年　己未月　壬午日　丙午时 #%1\r\n┌──┬──┐\r\n│比肩│食神│\r\n"
                               "注：\U00020BB7\r\n")
                    .arg(n);
  c.castAt = QDateTime(QDate(2026, 12, 10), QTime(21, 30, n % 60, 125));
  return c;
}

// The cast as read back holds what was written, field by field.
void ExpectSame(const ChartCast& got, const ChartCast& want) {
  EXPECT_EQ(got.method, want.method);
  EXPECT_EQ(got.request, want.request);
  EXPECT_EQ(got.clock, want.clock);
  EXPECT_EQ(got.place, want.place);
  EXPECT_DOUBLE_EQ(got.longitude, want.longitude);
  EXPECT_EQ(got.zone, want.zone);
  EXPECT_EQ(got.correction, want.correction);
  EXPECT_EQ(got.corrected, want.corrected);
  EXPECT_EQ(got.engineVersion, want.engineVersion);
  EXPECT_EQ(got.chartJson, want.chartJson);
  EXPECT_EQ(got.chartText, want.chartText);
  EXPECT_EQ(got.castAt, want.castAt);
}

std::vector<RowId> IdsOf(const QList<ChartCast>& casts) {
  std::vector<RowId> ids;
  for (const ChartCast& c : casts) ids.push_back(c.id);
  return ids;
}

class CastsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    dir_ = tmp_.path() + QStringLiteral("/Data");
    store_.OpenStore(dir_);
    folder_ = store_.AddFolder(0, QStringLiteral("八字命例"));
  }
  RowId add(const QString& title, const QList<ChartCast>& casts = {}) {
    return store_.InsertRecord(folder_, {title, QStringLiteral("某"), QDate(2024, 3, 1), false, QStringLiteral("正文")},
                               casts);
  }
  qint64 rawCount(const QString& where = QString()) {
    Sqlite raw(DbPath(dir_));
    return raw.integer((QStringLiteral("SELECT COUNT(*) FROM OmenryCasts") + where).toUtf8().constData());
  }

  QTemporaryDir tmp_;
  QString dir_;
  CasebookStore store_;
  RowId folder_ = 0;
};

using Ids = std::vector<RowId>;

TEST_F(CastsTest, KeptWithTheirRecordOldestFirstAndReadBackWholeAfterARestart) {
  const RowId a = add(QStringLiteral("问财"));
  const RowId b = add(QStringLiteral("问病"));
  EXPECT_TRUE(store_.ListCasts(a).isEmpty());  // a record made without casts has none

  const QList<RowId> first = store_.AddCasts(a, {Cast(1), Cast(2)});
  ASSERT_EQ(first.size(), 2);
  const QList<RowId> other = store_.AddCasts(b, {Cast(3)});
  const QList<RowId> later = store_.AddCasts(a, {Cast(4)});
  ASSERT_EQ(later.size(), 1);
  EXPECT_GT(later[0], other[0]);

  // An odd cast: empty and null texts, a place typed by hand.
  ChartCast bare;
  bare.method = QStringLiteral("xuankong");
  bare.request = QStringLiteral("{}");
  bare.place = QString();
  bare.clock = QStringLiteral("");
  bare.longitude = -73.99;
  const RowId bareId = store_.AddCasts(b, {bare}).value(0);

  auto check = [&] {
    const QList<ChartCast> ofA = store_.ListCasts(a);
    ASSERT_EQ(IdsOf(ofA), (Ids{first[0], first[1], later[0]}));
    ExpectSame(ofA[0], Cast(1));
    ExpectSame(ofA[1], Cast(2));
    ExpectSame(ofA[2], Cast(4));
    for (const ChartCast& c : ofA) EXPECT_EQ(c.record, a);
    const QList<ChartCast> ofB = store_.ListCasts(b);
    ASSERT_EQ(IdsOf(ofB), (Ids{other[0], bareId}));
    ExpectSame(ofB[0], Cast(3));
    ExpectSame(ofB[1], bare);
    EXPECT_FALSE(ofB[1].castAt.isValid());
  };
  check();
  store_.close();  // the program ends; the next one reads them again
  store_.OpenStore(dir_);
  check();

  // One cast deleted; the others stay.
  EXPECT_TRUE(store_.DeleteCast(first[1]));
  EXPECT_FALSE(store_.DeleteCast(first[1]));
  EXPECT_EQ(IdsOf(store_.ListCasts(a)), (Ids{first[0], later[0]}));
  EXPECT_EQ(store_.ListCasts(b).size(), 2);
}

TEST_F(CastsTest, SavedWithTheRecordInOneTransaction) {
  // A new record takes its casts along; an update adds to them.
  const RowId a = add(QStringLiteral("新"), {Cast(1), Cast(2)});
  ASSERT_EQ(store_.ListCasts(a).size(), 2);
  ExpectSame(store_.ListCasts(a)[1], Cast(2));
  ASSERT_TRUE(store_.UpdateRecord(a, {QStringLiteral("改"), {}, {}, false, QStringLiteral("改过")}, {Cast(3)}));
  ASSERT_EQ(store_.ListCasts(a).size(), 3);
  ExpectSame(store_.ListCasts(a)[2], Cast(3));
  ASSERT_TRUE(store_.UpdateRecord(a, {QStringLiteral("再改"), {}, {}, false, {}}));  // no casts: none added
  EXPECT_EQ(store_.ListCasts(a).size(), 3);

  // No such record: nothing is written, casts neither.
  EXPECT_FALSE(store_.UpdateRecord(a + 100, {QStringLiteral("x"), {}, {}, false, {}}, {Cast(4)}));
  EXPECT_EQ(rawCount(), 3);

  // A cast the database refuses: the record is not saved either.
  {
    Sqlite raw(DbPath(dir_));
    ASSERT_EQ(raw.exec("CREATE TRIGGER nocast BEFORE INSERT ON OmenryCasts BEGIN SELECT RAISE(ABORT, 'refused'); END"),
              SQLITE_OK);
  }
  store_.ListFolderRecords(folder_);
  const int records = store_.records()->count();
  EXPECT_THROW(add(QStringLiteral("带盘的新记录"), {Cast(5)}), StoreError);
  EXPECT_THROW(store_.UpdateRecord(a, {QStringLiteral("不该存下"), {}, {}, false, {}}, {Cast(6)}), StoreError);
  store_.ListFolderRecords(folder_);
  EXPECT_EQ(store_.records()->count(), records);
  ASSERT_TRUE(store_.records()->locate(a));
  EXPECT_EQ(store_.records()->currentTitle(), QStringLiteral("再改"));
  EXPECT_EQ(rawCount(), 3);
}

TEST_F(CastsTest, AddingToARecordThatIsNotThereIsRefusedInChinese) {
  const RowId a = add(QStringLiteral("甲"));
  const RowId gone = add(QStringLiteral("乙"));
  store_.DeleteRecord(gone);  // in the bin: no new casts there
  for (const RowId id : {gone, a + 100}) {
    try {
      store_.AddCasts(id, {Cast(1)});
      ADD_FAILURE() << "added to " << id;
    } catch (const StoreError& e) {
      EXPECT_TRUE(e.message().startsWith(QStringLiteral("找不到这条记录"))) << e.what();
    }
  }
  EXPECT_EQ(rawCount(), 0);
}

// What happens to a record's casts on each way out of the casebook and back.
struct BinPath {
  const char* what;
  // Does it to record `r` (in folder `f`); `s` is the store.
  std::function<void(CasebookStore& s, RowId f, RowId r)> act;
  bool kept;
};

const BinPath kBinPaths[] = {
    {"the record deleted (into the bin)", [](CasebookStore& s, RowId, RowId r) { s.DeleteRecord(r); }, true},
    {"the record deleted and restored",
     [](CasebookStore& s, RowId, RowId r) {
       s.DeleteRecord(r);
       ASSERT_TRUE(s.RestoreRecord(r));
     },
     true},
    {"its folder deleted (into the bin)", [](CasebookStore& s, RowId f, RowId) { ASSERT_TRUE(s.DeleteFolder(f)); },
     true},
    {"its folder deleted and restored",
     [](CasebookStore& s, RowId f, RowId) {
       ASSERT_TRUE(s.DeleteFolder(f));
       ASSERT_TRUE(s.RestoreFolder(f));
     },
     true},
    {"the record moved to another folder",
     [](CasebookStore& s, RowId, RowId r) { s.MoveRecords({r}, s.AddFolder(0, QStringLiteral("别处"))); }, true},
    {"the record deleted for good",
     [](CasebookStore& s, RowId, RowId r) {
       s.DeleteRecord(r);
       ASSERT_TRUE(s.PurgeRecord(r));
     },
     false},
    {"its folder deleted for good",
     [](CasebookStore& s, RowId f, RowId) {
       ASSERT_TRUE(s.DeleteFolder(f));
       ASSERT_TRUE(s.PurgeFolder(f));
     },
     false},
    {"the bin emptied",
     [](CasebookStore& s, RowId, RowId r) {
       s.DeleteRecord(r);
       s.EmptyRecycleBin();
     },
     false},
};

TEST_F(CastsTest, KeptInTheBinAndDeletedWithTheRecordForGood) {
  for (const BinPath& path : kBinPaths) {
    SCOPED_TRACE(path.what);
    const RowId f = store_.AddFolder(0, QStringLiteral("卦例"));
    const RowId r = store_.InsertRecord(f, {QStringLiteral("有盘"), {}, {}, false, {}}, {Cast(1), Cast(2)});
    // Casts of the record beside it, and of one in another folder, stay.
    const RowId sibling = store_.InsertRecord(f, {QStringLiteral("旁边"), {}, {}, false, {}}, {Cast(3)});
    const RowId elsewhere = add(QStringLiteral("别的"), {Cast(4)});
    path.act(store_, f, r);
    EXPECT_EQ(store_.ListCasts(r).size(), path.kept ? 2 : 0);
    EXPECT_EQ(rawCount(QStringLiteral(" WHERE RecordID=%1").arg(r)), path.kept ? 2 : 0);
    EXPECT_EQ(store_.ListCasts(elsewhere).size(), 1);
    // The sibling went the same way only when its folder did.
    const bool siblingPurged = !path.kept && QString::fromLatin1(path.what).startsWith(QStringLiteral("its folder"));
    EXPECT_EQ(store_.ListCasts(sibling).size(), siblingPurged ? 0 : 1);
    // Tidy for the next path: everything into the bin, the bin emptied.
    store_.DeleteRecord(elsewhere);
    for (const FolderRow& folder : store_.FolderChildren(0))
      if (folder.id != folder_) store_.DeleteFolder(folder.id);
    store_.EmptyRecycleBin();
    EXPECT_EQ(rawCount(), 0);
  }
}

TEST_F(CastsTest, BackupsHoldTheCasts) {
  const RowId a = add(QStringLiteral("问财"), {Cast(1), Cast(2)});
  const QString copy = tmp_.path() + QStringLiteral("/Copy");
  QDir().mkpath(copy);
  ASSERT_EQ(CopyDatabase(DbPath(dir_), DbPath(copy)), CopyOutcome::Done);
  CasebookStore restored;
  restored.OpenStore(copy);
  const QList<ChartCast> casts = restored.ListCasts(a);
  ASSERT_EQ(casts.size(), 2);
  ExpectSame(casts[0], Cast(1));
  ExpectSame(casts[1], Cast(2));
}

// ---------------------------------------------------------------------------
// Casebooks made before the table

void MakeOldestCasebook(const QString& dir) {
  QDir().mkpath(dir);
  MakeFirstSchemaCasebook(DbPath(dir));
}

// A casebook of the version just before the casts: everything of today's
// but the table of casts.
void MakeCasebookWithoutCasts(const QString& dir) {
  {
    CasebookStore store;
    store.OpenStore(dir);
    const RowId f = store.AddFolder(0, QStringLiteral("旧"));
    store.InsertRecord(f, {QStringLiteral("一"), QStringLiteral("某"), QDate(2001, 2, 3), true, QStringLiteral("旧文")});
    store.InsertRecord(f, {QStringLiteral("二"), {}, {}, false, {}});
  }
  Sqlite raw(DbPath(dir));
  ASSERT_EQ(raw.exec("DROP TABLE OmenryCasts; DELETE FROM sqlite_sequence WHERE name='OmenryCasts';"), SQLITE_OK)
      << raw.error();
  ASSERT_EQ(raw.exec("PRAGMA wal_checkpoint(TRUNCATE)"), SQLITE_OK);
}

// The records and folders as stored, every field, to see that they were
// not touched.
QString StoredRecords(const QString& dir) {
  Sqlite raw(DbPath(dir), SQLITE_OPEN_READONLY);
  QString all;
  const qint64 n = raw.integer("SELECT COUNT(*) FROM Omenry");
  all += QString::number(n);
  for (const char* sql : {"SELECT SUM(length(CAST(BT AS BLOB)) + length(CAST(IFNULL(LR,'') AS BLOB)) * 3 + ID * 7 + FL * 11 + IFNULL(FK, 5)) FROM Omenry",
                          "SELECT SUM(ID * 13 + ParentID * 17 + length(CAST(Name AS BLOB))) FROM Folder"})
    all += QLatin1Char('/') + QString::number(raw.integer(sql));
  return all;
}

bool HasCastsTable(const QString& dir) {
  Sqlite raw(DbPath(dir), SQLITE_OPEN_READONLY);
  return raw.integer("SELECT COUNT(*) FROM sqlite_master WHERE name='OmenryCasts'") == 1;
}

struct OlderCasebook {
  const char* what;
  void (*make)(const QString& dir);
  bool checkedBeside;  // opened as a large casebook, its check beside
};

const OlderCasebook kOlder[] = {
    {"made before the bin and the checksums", MakeOldestCasebook, false},
    {"made just before the casts", MakeCasebookWithoutCasts, false},
    {"made just before the casts, large enough to be checked beside", MakeCasebookWithoutCasts, true},
};

TEST(CastsTable, IsAddedToAnOlderCasebookWithoutTouchingItsRecords) {
  for (const OlderCasebook& older : kOlder) {
    SCOPED_TRACE(older.what);
    QTemporaryDir tmp;
    const QString dir = tmp.path() + QStringLiteral("/Data");
    older.make(dir);
    ASSERT_FALSE(HasCastsTable(dir));
    const QString before = StoredRecords(dir);
    const qint64 savedBytes = CasebookStore::BackgroundCheckBytes();
    if (older.checkedBeside) CasebookStore::SetBackgroundCheckBytes(0);
    CasebookStore store;
    store.OpenStore(dir);
    CasebookStore::SetBackgroundCheckBytes(savedBytes);
    EXPECT_TRUE(store.isWritable());
    EXPECT_TRUE(HasCastsTable(dir));
    EXPECT_EQ(StoredRecords(dir), before);
    // Its records simply have no casts, and get them from now on.
    EXPECT_TRUE(store.ListCasts(1).isEmpty());
    EXPECT_TRUE(store.ListCasts(2).isEmpty());
    const RowId id = store.AddCasts(1, {Cast(1)}).value(0);
    EXPECT_GT(id, 0);
    store.close();
    store.OpenStore(dir);
    ASSERT_EQ(store.ListCasts(1).size(), 1);
    ExpectSame(store.ListCasts(1)[0], Cast(1));
    EXPECT_EQ(store.CheckRecord(1), RecordIntegrity::Sound);
  }
}

TEST(CastsTable, IsNeverWrittenIntoACasebookThatIsOnlyRead) {
  QTemporaryDir tmp;
  const QString dir = tmp.path() + QStringLiteral("/Data");
  MakeCasebookWithoutCasts(dir);
  // Another user's file for root, a read-only file for anyone else.
  if (::geteuid() == 0)
    ASSERT_EQ(::chown(QFile::encodeName(DbPath(dir)).constData(), 65534, 65534), 0);
  else
    ASSERT_EQ(::chmod(QFile::encodeName(DbPath(dir)).constData(), 0400), 0);
  const QByteArray bytes = FileBytes(DbPath(dir));
  {
    CasebookStore store;
    store.OpenStore(dir);
    EXPECT_FALSE(store.isWritable());
    EXPECT_TRUE(store.ListCasts(1).isEmpty());  // read as having none
    for (const auto& write : std::vector<std::function<void()>>{
             [&] { store.AddCasts(1, {Cast(1)}); },
             [&] { store.DeleteCast(1); },
             [&] { store.UpdateRecord(1, {QStringLiteral("x"), {}, {}, false, {}}, {Cast(1)}); },
         }) {
      try {
        write();
        ADD_FAILURE() << "a write went through";
      } catch (const StoreError& e) {
        EXPECT_GE(e.message().at(0).unicode(), 0x2E80) << e.what();
      }
    }
  }
  EXPECT_EQ(FileBytes(DbPath(dir)), bytes);
  EXPECT_FALSE(HasCastsTable(dir));
}

}  // namespace
