// The casebook store against real SQLite files: folders, records, the record
// list, text sizes, large IDs, atomicity and errors.

#include "casebook_store.h"
#include "literal_search.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <vector>

namespace {

// A second, plain connection to the same file: the tests look at what is
// really stored, and set up states the store's operations cannot make.
class RawDb {
 public:
  explicit RawDb(const QString& path) : name_(QStringLiteral("raw-%1").arg(++serial_)) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    EXPECT_TRUE(db.open()) << db.lastError().text().toStdString();
  }
  ~RawDb() {
    { QSqlDatabase::database(name_, false).close(); }
    QSqlDatabase::removeDatabase(name_);
  }
  void exec(const QString& text) {
    QSqlQuery q(QSqlDatabase::database(name_, false));
    ASSERT_TRUE(q.exec(text)) << text.toStdString() << ": " << q.lastError().text().toStdString();
  }
  QVariant scalar(const QString& text) {
    QSqlQuery q(QSqlDatabase::database(name_, false));
    if (!q.exec(text) || !q.next()) {
      ADD_FAILURE() << text.toStdString() << ": " << q.lastError().text().toStdString();
      return QVariant();
    }
    return q.value(0);
  }
  QStringList column(const QString& text, int index) {
    QSqlQuery q(QSqlDatabase::database(name_, false));
    QStringList values;
    if (!q.exec(text)) ADD_FAILURE() << text.toStdString() << ": " << q.lastError().text().toStdString();
    while (q.next()) values << q.value(index).toString();
    return values;
  }
  const QString& name() const { return name_; }
  qint64 count(const QString& where = QString(), const QString& table = QStringLiteral("Omenry")) {
    return scalar(QStringLiteral("SELECT COUNT(*) FROM ") + table + where).toLongLong();
  }

 private:
  static inline int serial_ = 0;
  QString name_;
};

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    dir_ = tmp_.path() + QStringLiteral("/Data");
    store_.OpenStore(dir_);
  }
  QString dbPath() const { return dir_ + QLatin1Char('/') + CasebookStore::DatabaseFileName(); }

  std::vector<RowId> listedIds() {
    std::vector<RowId> ids;
    RecordList* list = store_.records();
    for (int r = 0; r < list->count(); ++r) ids.push_back(list->id(r));
    return ids;
  }
  RowId addRecord(RowId folder, const QString& title, const QString& text = QStringLiteral("t")) {
    return store_.InsertRecord(folder, {title, QStringLiteral("某人"), QDate(2024, 3, 5), false, text});
  }

  QTemporaryDir tmp_;
  QString dir_;
  CasebookStore store_;
};

// Records changes of the current row as the list reports them.
struct MoveLog {
  explicit MoveLog(RecordList* list)
      : connection(QObject::connect(list, &RecordList::currentChanged,
                                    [this](int row) { rows.push_back(row); })) {}
  ~MoveLog() { QObject::disconnect(connection); }
  QMetaObject::Connection connection;
  std::vector<int> rows;
};

const QString kChart = QStringLiteral(
    "　　乾造　甲子年　丙寅月　戊辰日　庚申时\r\n"
    "┌──┬──┬──┬──┐\r\n"
    "│　　│比肩│食神│　　│\r\n"
    "└──┴──┴──┴──┘\r\n"
    "notes: ASCII 'quotes' and \"double\" %_ too\r\n");

}  // namespace

// ---------------------------------------------------------------------------
// GBK byte sizes

TEST(GbkBytes, CountsOneForAsciiTwoForOtherBmpFourBeyond) {
  const struct { QString text; int bytes; } cases[] = {
      {QString(), 0},
      {QStringLiteral("abc"), 3},
      {QStringLiteral("甲乙"), 4},
      {QStringLiteral("a甲"), 3},
      {QStringLiteral("　"), 2},          // full-width space
      {QStringLiteral("┌─┐"), 6},        // box drawing
      {QStringLiteral("ＡＢ"), 4},         // full-width letters
      {QStringLiteral("\U0001F600"), 4},  // beyond the BMP (a surrogate pair)
      {QStringLiteral("e\u0301"), 3},     // letter + combining mark
  };
  for (const auto& c : cases) EXPECT_EQ(GbkByteCount(c.text), c.bytes) << c.text.toStdString();
}

TEST(GbkBytes, CutsAtCharacterBoundary) {
  const QString fifteen = QStringLiteral("一二三四五六七八九十甲乙丙丁戊");
  const struct { QString text; int max; QString expected; } cases[] = {
      {QStringLiteral("甲乙丙"), 6, QStringLiteral("甲乙丙")},   // fits exactly
      {QStringLiteral("甲乙丙"), 5, QStringLiteral("甲乙")},     // no half character
      {QStringLiteral("a甲乙"), 4, QStringLiteral("a甲")},
      {QStringLiteral("a甲乙"), 2, QStringLiteral("a")},
      {QStringLiteral("abc"), 2, QStringLiteral("ab")},
      {fifteen + QStringLiteral("己"), 30, fifteen},             // 32 bytes → 15 characters
      {QStringLiteral("a") + fifteen, 30, QStringLiteral("a") + fifteen.left(14)},  // 31 → 29
      {QStringLiteral("甲\U0001F600"), 5, QStringLiteral("甲")},  // pair kept whole or dropped
      {QStringLiteral("甲\U0001F600"), 6, QStringLiteral("甲\U0001F600")},
      {QStringLiteral("e\u0301x"), 2, QString()},                 // é as two code points: whole or nothing
      {QStringLiteral("e\u0301x"), 3, QStringLiteral("e\u0301")},
      {QStringLiteral("abc"), 0, QString()},
  };
  for (const auto& c : cases) {
    const QString cut = CutToGbkBytes(c.text, c.max);
    EXPECT_EQ(cut, c.expected) << c.text.toStdString() << " / " << c.max;
    EXPECT_LE(GbkByteCount(cut), std::max(c.max, 0));
  }
}

// ---------------------------------------------------------------------------
// Opening

TEST_F(StoreTest, FirstOpenCreatesSchemaOwnerOnly) {
  EXPECT_TRUE(store_.isOpen());
  EXPECT_EQ(store_.dataDir(), QDir::cleanPath(dir_));
  EXPECT_EQ(store_.databasePath(), QDir::cleanPath(dbPath()));

  RawDb raw(dbPath());
  for (const QString& sql : {QStringLiteral("SELECT ID, ParentID, Name FROM Folder"),
                             QStringLiteral("SELECT ID, BT, QZR, SJ, FL, FK, LR FROM Omenry")})
    raw.exec(sql);
  // The listing by folder runs on an index led by FL, ID that carries every
  // listed field and the recycle bin's mark, so that it never reads the
  // records' texts.
  EXPECT_EQ(raw.scalar(QStringLiteral(
                "SELECT group_concat(name, ',') FROM pragma_index_info('OmenryListing')")).toString(),
            QStringLiteral("FL,ID,BT,QZR,SJ,FK,DT"));
  EXPECT_TRUE(raw.column(QStringLiteral("EXPLAIN QUERY PLAN "
                                        "SELECT ID,BT,QZR,SJ,FL,FK FROM Omenry WHERE FL=1 AND DT IS NULL "
                                        "ORDER BY ID DESC"),
                         3)
                  .join(' ')
                  .contains(QStringLiteral("COVERING INDEX OmenryListing")));
  EXPECT_EQ(raw.scalar(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));

  const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                      QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
  EXPECT_FALSE(QFile::permissions(dir_) & others);
  EXPECT_FALSE(QFile::permissions(dbPath()) & others);
  addRecord(store_.AddFolder(0, QStringLiteral("甲")), QStringLiteral("x"));
  for (const QString& f : QDir(dir_).entryList(QDir::Files))
    EXPECT_FALSE(QFile::permissions(dir_ + QLatin1Char('/') + f) & others) << f.toStdString();
}

TEST_F(StoreTest, EverythingSurvivesReopening) {
  const RowId folder = store_.AddFolder(0, QStringLiteral("卦例"));
  const RowId record = store_.InsertRecord(folder, {QStringLiteral("问事业"), QStringLiteral("张三"), QDate(2026, 1, 31), true, kChart});
  store_.OpenStore(dir_);  // closes and opens again
  CasebookStore other;
  other.OpenStore(dir_);
  for (CasebookStore* s : {&store_, &other}) {
    const QList<FolderRow> folders = s->FolderChildren(0);
    ASSERT_EQ(folders.size(), 1);
    EXPECT_EQ(folders[0].id, folder);
    EXPECT_EQ(folders[0].name, QStringLiteral("卦例"));
    s->ListFolderRecords(folder);
    RecordList* list = s->records();
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->currentId(), record);
    EXPECT_EQ(list->currentTitle(), QStringLiteral("问事业"));
    EXPECT_EQ(list->currentQuerent(), QStringLiteral("张三"));
    EXPECT_EQ(list->currentDate(), QDate(2026, 1, 31));
    EXPECT_EQ(list->currentFeedback().value_or(false), true);
    EXPECT_EQ(list->currentFolder(), folder);
    EXPECT_EQ(list->currentText(), kChart);  // byte for byte, CR LF and full-width spaces kept
  }
}

TEST_F(StoreTest, SeveralStoresOpenAtOnce) {
  QTemporaryDir otherTmp;
  CasebookStore other;
  other.OpenStore(otherTmp.path());
  store_.AddFolder(0, QStringLiteral("一"));
  other.AddFolder(0, QStringLiteral("二"));
  other.AddFolder(0, QStringLiteral("三"));
  EXPECT_EQ(store_.FolderChildren(0).size(), 1);
  EXPECT_EQ(other.FolderChildren(0).size(), 2);
}

TEST(StoreOpen, DefaultDirectoryFallsBackToPerUserLocation) {
  const QString portable = QCoreApplication::applicationDirPath() + QStringLiteral("/Data");
  if (QFileInfo(portable).isDir()) GTEST_SKIP() << "a Data directory sits next to the test program";
  const QString dir = CasebookStore::DefaultDataDir();
  EXPECT_TRUE(dir.endsWith(QStringLiteral("/Data"))) << dir.toStdString();
  EXPECT_NE(dir, portable);
  EXPECT_TRUE(dir.contains(QStringLiteral("Omenry"))) << dir.toStdString();
}

TEST(StoreOpen, FailuresSurfaceAsStoreErrors) {
  QTemporaryDir tmp;
  // A data "directory" that is a file.
  const QString file = tmp.path() + QStringLiteral("/plain");
  { QFile f(file); ASSERT_TRUE(f.open(QIODevice::WriteOnly)); f.write("x"); }
  CasebookStore store;
  try {
    store.OpenStore(file);
    ADD_FAILURE() << "opened a database inside a file";
  } catch (const StoreError& e) {
    EXPECT_FALSE(e.message().isEmpty());
  }
  EXPECT_FALSE(store.isOpen());

  // A database file that is not a database.
  const QString dir = tmp.path() + QStringLiteral("/junk");
  QDir().mkpath(dir);
  {
    QFile f(dir + QLatin1Char('/') + CasebookStore::DatabaseFileName());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(8192, 'z'));
  }
  try {
    store.OpenStore(dir);
    ADD_FAILURE() << "opened a file that is not a database";
  } catch (const StoreError& e) {
    EXPECT_TRUE(e.message().contains(QStringLiteral("not a database"))) << e.what();
  }
  EXPECT_FALSE(store.isOpen());

  // Every operation on a store that is not open throws and does not crash.
  EXPECT_THROW(store.FolderChildren(0), StoreError);
  EXPECT_THROW(store.AddFolder(0, QStringLiteral("x")), StoreError);
  EXPECT_THROW(store.RenameFolder(1, QStringLiteral("x")), StoreError);
  EXPECT_THROW(store.DeleteFolder(1), StoreError);
  EXPECT_THROW(store.ListFolderRecords(1), StoreError);
  SearchCondition anything;
  anything.clauses = {{SearchField::Title, {QStringLiteral("x")}, true}};
  EXPECT_THROW(store.SearchRecords(anything), StoreError);
  EXPECT_THROW(store.SearchRecordsByScan(anything), StoreError);
  EXPECT_THROW(store.InsertRecord(1, {QString(), QString(), QDate(), false, QString()}), StoreError);
  EXPECT_THROW(store.UpdateRecord(1, {QString(), QString(), QDate(), false, QString()}), StoreError);
  EXPECT_THROW(store.DeleteRecord(1), StoreError);
  EXPECT_FALSE(store.records()->isOpen());
}

// ---------------------------------------------------------------------------
// Folders

TEST_F(StoreTest, FolderTreeIsReadByParentInIdOrder) {
  const RowId a = store_.AddFolder(0, QStringLiteral("八字"));
  const RowId b = store_.AddFolder(0, QStringLiteral("六爻"));
  const RowId a1 = store_.AddFolder(a, QStringLiteral("2024"));
  const RowId c = store_.AddFolder(0, QStringLiteral("奇门"));
  const RowId a2 = store_.AddFolder(a, QStringLiteral("2025"));
  EXPECT_GT(a, 0);
  EXPECT_LT(a, b);  // the ID is assigned by the store and known at once
  EXPECT_LT(b, a1);

  auto ids = [](const QList<FolderRow>& rows) {
    std::vector<RowId> v;
    for (const auto& r : rows) v.push_back(r.id);
    return v;
  };
  EXPECT_EQ(ids(store_.FolderChildren(0)), (std::vector<RowId>{a, b, c}));
  EXPECT_EQ(ids(store_.FolderChildren(a)), (std::vector<RowId>{a1, a2}));
  EXPECT_TRUE(store_.FolderChildren(b).isEmpty());
  EXPECT_TRUE(store_.FolderChildren(999).isEmpty());
  EXPECT_EQ(store_.FolderChildren(0)[1].name, QStringLiteral("六爻"));
}

TEST_F(StoreTest, RenameStoresAtMostThirtyGbkBytes) {
  const RowId f = store_.AddFolder(0, QStringLiteral("旧名"));
  const QString fifteen = QStringLiteral("一二三四五六七八九十甲乙丙丁戊");
  const struct { QString name; QString stored; } cases[] = {
      {QStringLiteral("新名"), QStringLiteral("新名")},
      {fifteen, fifteen},                                                   // exactly 30 bytes
      {fifteen + QStringLiteral("己庚"), fifteen},                          // 34 bytes
      {QStringLiteral("x") + fifteen, QStringLiteral("x") + fifteen.left(14)},  // never half of 戊
      {QString(30, QLatin1Char('a')) + QStringLiteral("b"), QString(30, QLatin1Char('a'))},
  };
  RawDb raw(dbPath());
  for (const auto& c : cases) {
    const std::optional<QString> stored = store_.RenameFolder(f, c.name);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(*stored, c.stored);
    EXPECT_EQ(store_.FolderChildren(0)[0].name, c.stored);
    EXPECT_EQ(raw.scalar(QStringLiteral("SELECT Name FROM Folder WHERE ID=%1").arg(f)).toString(), c.stored);
  }
  // AddFolder keeps the same limit.
  const RowId g = store_.AddFolder(0, fifteen + QStringLiteral("己"));
  EXPECT_EQ(store_.FolderChildren(0).back().id, g);
  EXPECT_EQ(store_.FolderChildren(0).back().name, fifteen);
}

TEST_F(StoreTest, RenameOrDeleteOfMissingFolderChangesNothing) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  addRecord(f, QStringLiteral("r"));
  addRecord(0, QStringLiteral("root record, never made by the program"));
  EXPECT_EQ(store_.RenameFolder(f + 100, QStringLiteral("乙")), std::nullopt);
  EXPECT_FALSE(store_.DeleteFolder(f + 100));
  EXPECT_FALSE(store_.DeleteFolder(0));  // the root is not a row: its records stay
  RawDb raw(dbPath());
  EXPECT_EQ(raw.count(QString(), QStringLiteral("Folder")), 1);
  EXPECT_EQ(raw.count(), 2);
  EXPECT_EQ(store_.FolderChildren(0)[0].name, QStringLiteral("甲"));
}

TEST_F(StoreTest, DeleteFolderMovesExactlyItsRecordsToTheBin) {
  const RowId a = store_.AddFolder(0, QStringLiteral("甲"));
  const RowId b = store_.AddFolder(0, QStringLiteral("乙"));
  const RowId b1 = store_.AddFolder(b, QStringLiteral("乙一"));
  const RowId c = store_.AddFolder(0, QStringLiteral("丙"));
  for (int i = 0; i < 3; ++i) addRecord(a, QStringLiteral("a%1").arg(i));
  const RowId rb = addRecord(b, QStringLiteral("b"));
  const RowId rb1 = addRecord(b1, QStringLiteral("b1"));
  const RowId rc1 = addRecord(c, QStringLiteral("c1"));
  const RowId rc2 = addRecord(c, QStringLiteral("c2"));

  store_.ListFolderRecords(c);
  ASSERT_TRUE(store_.records()->isOpen());
  EXPECT_TRUE(store_.DeleteFolder(a));
  EXPECT_FALSE(store_.records()->isOpen());  // its record statement closed the list

  RawDb raw(dbPath());
  EXPECT_EQ(raw.count(QStringLiteral(" WHERE FL=%1 AND DT IS NULL").arg(a)), 0);
  EXPECT_EQ(raw.count(QStringLiteral(" WHERE DT IS NULL")), 4);
  EXPECT_EQ(raw.count(), 7);  // kept in the bin
  std::set<RowId> left;
  for (RowId folder : {b, b1, c}) {
    store_.ListFolderRecords(folder);
    for (RowId id : listedIds()) left.insert(id);
  }
  EXPECT_EQ(left, (std::set<RowId>{rb, rb1, rc1, rc2}));
  auto ids = [](const QList<FolderRow>& rows) {
    std::vector<RowId> v;
    for (const auto& r : rows) v.push_back(r.id);
    return v;
  };
  EXPECT_EQ(ids(store_.FolderChildren(0)), (std::vector<RowId>{b, c}));
  EXPECT_EQ(ids(store_.FolderChildren(b)), (std::vector<RowId>{b1}));
}

TEST_F(StoreTest, DeleteFolderIsWhollyOrNotAtAll) {
  const RowId a = store_.AddFolder(0, QStringLiteral("甲"));
  addRecord(a, QStringLiteral("one"));
  addRecord(a, QStringLiteral("two"));
  RawDb raw(dbPath());
  // Make the move of the records fail after the folder has been moved.
  raw.exec(QStringLiteral(
      "CREATE TRIGGER refuse BEFORE UPDATE ON Omenry BEGIN SELECT RAISE(ABORT, 'records refused'); END"));
  try {
    store_.DeleteFolder(a);
    ADD_FAILURE() << "DeleteFolder went through";
  } catch (const StoreError& e) {
    EXPECT_TRUE(e.message().contains(QStringLiteral("records refused"))) << e.what();
  }
  EXPECT_EQ(raw.count(QStringLiteral(" WHERE DT IS NULL"), QStringLiteral("Folder")), 1);  // the folder is back
  EXPECT_EQ(raw.count(QStringLiteral(" WHERE DT IS NULL")), 2);
  raw.exec(QStringLiteral("DROP TRIGGER refuse"));
  EXPECT_TRUE(store_.DeleteFolder(a));  // the store is still usable
  EXPECT_EQ(raw.count(QStringLiteral(" WHERE DT IS NULL"), QStringLiteral("Folder")), 0);
  EXPECT_EQ(raw.count(QStringLiteral(" WHERE DT IS NULL")), 0);
}

// ---------------------------------------------------------------------------
// Records and the record list

TEST_F(StoreTest, ListsNewestFirstWithEveryField) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  const RowId g = store_.AddFolder(0, QStringLiteral("乙"));
  const RowId r1 = store_.InsertRecord(f, {QStringLiteral("一"), QStringLiteral("甲某"), QDate(1920, 1, 1), true, QStringLiteral("text 1")});
  const RowId other = addRecord(g, QStringLiteral("elsewhere"));
  const RowId r2 = store_.InsertRecord(f, {QStringLiteral("二"), QString(), QDate(2050, 12, 31), false, kChart});
  const RowId r3 = store_.InsertRecord(f, {QStringLiteral("三"), QStringLiteral("丙"), QDate(), false, QString()});  // no valid date: SJ stays empty
  EXPECT_LT(r1, other);
  EXPECT_LT(other, r2);
  EXPECT_LT(r2, r3);

  store_.ListFolderRecords(f);
  RecordList* list = store_.records();
  EXPECT_TRUE(list->isOpen());
  EXPECT_EQ(listedIds(), (std::vector<RowId>{r3, r2, r1}));
  EXPECT_EQ(list->currentRow(), 0);
  EXPECT_EQ(list->currentId(), r3);

  // The rows' fields, and what the list's columns hold.
  EXPECT_TRUE(list->date(0).isNull());
  EXPECT_EQ(list->date(1), QDate(2050, 12, 31));
  EXPECT_EQ(list->querent(2), QStringLiteral("甲某"));
  EXPECT_EQ(list->feedback(2), std::optional<bool>(true));
  EXPECT_EQ(list->folder(2), f);
  EXPECT_EQ(list->folderName(2), QStringLiteral("甲"));
  EXPECT_EQ(list->text(2), QStringLiteral("text 1"));
  EXPECT_EQ(list->text(1), kChart);
  EXPECT_EQ(list->text(0), QString());
  EXPECT_EQ(list->id(3), 0);  // out of range: empty
  EXPECT_TRUE(list->title(3).isNull());

  // The model's cells hold the same values, for both roles; how they show
  // is the window's business.
  for (const int role : {int(Qt::DisplayRole), int(Qt::EditRole)}) {
    auto cell = [&](int row, int column) { return list->data(list->index(row, column), role); };
    EXPECT_EQ(cell(2, RecordList::ColID).toLongLong(), r1);
    EXPECT_EQ(cell(2, RecordList::ColBT).toString(), QStringLiteral("一"));
    EXPECT_EQ(cell(2, RecordList::ColQZR).toString(), QStringLiteral("甲某"));
    EXPECT_EQ(cell(2, RecordList::ColSJ).metaType().id(), QMetaType::QDate);
    EXPECT_EQ(cell(2, RecordList::ColSJ).toDate(), QDate(1920, 1, 1));
    EXPECT_TRUE(cell(0, RecordList::ColSJ).isNull());
    EXPECT_EQ(cell(2, RecordList::ColFL).toLongLong(), f);
    EXPECT_EQ(cell(2, RecordList::ColFK), QVariant(true));
    EXPECT_EQ(cell(1, RecordList::ColFK), QVariant(false));
    EXPECT_FALSE(cell(1, RecordList::ColLR).isValid());  // the list holds no texts
    EXPECT_EQ(cell(2, RecordList::ColFolder).toString(), QStringLiteral("甲"));
  }
  EXPECT_EQ(list->columnCount(), 8);
  const QStringList headers = {"ID", "BT", "QZR", "SJ", "FL", "FK", "LR", "Folder"};
  for (int c = 0; c < 8; ++c)
    EXPECT_EQ(list->headerData(c, Qt::Horizontal).toString(), headers[c]);
}

TEST_F(StoreTest, RootListIsOpenAndEmpty) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  addRecord(f, QStringLiteral("x"));
  RecordList* list = store_.records();
  MoveLog log(list);
  store_.ListFolderRecords(0);
  EXPECT_TRUE(list->isOpen());
  EXPECT_EQ(list->count(), 0);
  EXPECT_EQ(list->currentRow(), -1);
  EXPECT_TRUE(list->bof());
  EXPECT_TRUE(list->eof());
  EXPECT_EQ(list->currentId(), 0);
  EXPECT_TRUE(list->currentTitle().isNull());
  EXPECT_EQ(log.rows, (std::vector<int>{-1}));  // an empty list tells the preview to clear
  list->next();
  list->prior();
  list->first();
  list->last();
  EXPECT_FALSE(list->setCurrentRow(0));
  EXPECT_EQ(log.rows.size(), 1u);
}

TEST_F(StoreTest, NavigationMovesAndNotifies) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  std::vector<RowId> ids;
  for (int i = 0; i < 4; ++i) ids.push_back(addRecord(f, QStringLiteral("r%1").arg(i), QStringLiteral("text %1").arg(i)));
  RecordList* list = store_.records();
  MoveLog log(list);
  store_.ListFolderRecords(f);  // rows: ids[3], ids[2], ids[1], ids[0]
  EXPECT_EQ(log.rows, (std::vector<int>{0}));
  EXPECT_TRUE(list->bof());
  EXPECT_FALSE(list->eof());
  EXPECT_EQ(list->currentText(), QStringLiteral("text 3"));

  list->prior();  // already first: nothing
  list->next();
  list->next();
  EXPECT_EQ(list->currentId(), ids[1]);
  EXPECT_EQ(list->currentText(), QStringLiteral("text 1"));
  list->last();
  EXPECT_TRUE(list->eof());
  EXPECT_FALSE(list->bof());
  list->next();  // already last: nothing
  list->first();
  EXPECT_TRUE(list->locate(ids[2]));
  EXPECT_EQ(list->currentRow(), 1);
  EXPECT_FALSE(list->locate(ids[3] + 100));
  EXPECT_EQ(list->currentRow(), 1);
  EXPECT_TRUE(list->locate(ids[2]));  // already there: no notification
  EXPECT_EQ(list->rowOfId(ids[0]), 3);
  EXPECT_TRUE(list->setCurrentRow(2));
  EXPECT_FALSE(list->setCurrentRow(4));
  EXPECT_EQ(log.rows, (std::vector<int>{0, 1, 2, 3, 0, 1, 2}));
  EXPECT_EQ(list->currentTitle(), QStringLiteral("r1"));
  EXPECT_EQ(list->currentText(), QStringLiteral("text 1"));
}

TEST_F(StoreTest, ModifyingStatementsCloseTheList) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  const RowId r = addRecord(f, QStringLiteral("x"));
  RecordList* list = store_.records();
  using Op = std::function<void()>;
  const std::vector<std::pair<const char*, Op>> ops = {
      {"insert", [&] { addRecord(f, QStringLiteral("y")); }},
      {"update", [&] { store_.UpdateRecord(r, {QStringLiteral("z"), QString(), QDate(), false, QString()}); }},
      {"delete", [&] { store_.DeleteRecord(r + 1000); }},
  };
  for (const auto& [name, op] : ops) {
    store_.ListFolderRecords(f);
    ASSERT_GT(list->count(), 0);
    MoveLog log(list);
    op();
    EXPECT_FALSE(list->isOpen()) << name;
    EXPECT_EQ(list->count(), 0) << name;
    EXPECT_EQ(list->currentRow(), -1) << name;
    EXPECT_EQ(log.rows, (std::vector<int>{-1})) << name;
  }
}

TEST_F(StoreTest, UpdateRewritesFieldsButNeverFolder) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  const RowId g = store_.AddFolder(0, QStringLiteral("乙"));
  const RowId r = store_.InsertRecord(f, {QStringLiteral("旧"), QStringLiteral("某"), QDate(2000, 2, 29), false, QStringLiteral("old")});
  const RowId s = addRecord(g, QStringLiteral("other"));
  store_.UpdateRecord(r, {QStringLiteral("新"), QStringLiteral("张"), QDate(2026, 7, 1), true, kChart});

  store_.ListFolderRecords(f);
  RecordList* list = store_.records();
  ASSERT_EQ(listedIds(), std::vector<RowId>{r});
  EXPECT_EQ(list->currentTitle(), QStringLiteral("新"));
  EXPECT_EQ(list->currentQuerent(), QStringLiteral("张"));
  EXPECT_TRUE(list->currentFeedback().value_or(false));
  EXPECT_EQ(list->currentDate(), QDate(2026, 7, 1));
  EXPECT_EQ(list->currentFolder(), f);
  EXPECT_EQ(list->currentText(), kChart);
  store_.ListFolderRecords(g);
  EXPECT_EQ(listedIds(), std::vector<RowId>{s});
  EXPECT_EQ(list->currentTitle(), QStringLiteral("other"));

  // An ID that no record has: nothing changes, nothing is thrown.
  RawDb raw(dbPath());
  EXPECT_NO_THROW(store_.UpdateRecord(s + 50, {QStringLiteral("ghost"), QString(), QDate(), true, QString()}));
  EXPECT_EQ(raw.count(), 2);
  EXPECT_EQ(raw.count(QStringLiteral(" WHERE BT='ghost'")), 0);
}

TEST_F(StoreTest, TitleAndQuerentAreCutAtTheirByteSizes) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  const QString fifty = QString(50, QChar(0x7532));  // 50 × 甲 = 100 bytes
  const QString ten = QString(10, QChar(0x4E59));    // 10 × 乙 = 20 bytes
  const RowId r = store_.InsertRecord(f, {fifty + QStringLiteral("丙"), QStringLiteral("a") + ten, QDate(2024, 1, 1), false, QString()});
  store_.ListFolderRecords(f);
  EXPECT_EQ(store_.records()->currentTitle(), fifty);
  EXPECT_EQ(store_.records()->currentQuerent(), QStringLiteral("a") + ten.left(9));
  store_.UpdateRecord(r, {QStringLiteral("x") + fifty, ten + QStringLiteral("y"), QDate(), false, QString()});
  store_.ListFolderRecords(f);
  EXPECT_EQ(store_.records()->currentTitle(), QStringLiteral("x") + fifty.left(49));
  EXPECT_EQ(store_.records()->currentQuerent(), ten);
}

TEST_F(StoreTest, DeleteRecordRemovesOnlyThatRecord) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  const RowId r1 = addRecord(f, QStringLiteral("1"));
  const RowId r2 = addRecord(f, QStringLiteral("2"));
  const RowId r3 = addRecord(f, QStringLiteral("3"));
  store_.DeleteRecord(r2);
  store_.ListFolderRecords(f);
  EXPECT_EQ(listedIds(), (std::vector<RowId>{r3, r1}));
  EXPECT_NO_THROW(store_.DeleteRecord(r2));        // already gone
  EXPECT_NO_THROW(store_.DeleteRecord(r3 + 1000));  // never existed
  store_.ListFolderRecords(f);
  EXPECT_EQ(listedIds(), (std::vector<RowId>{r3, r1}));
  // A record deleted from a list keeps the store's count of IDs: a newer
  // record never takes an old ID.
  EXPECT_GT(addRecord(f, QStringLiteral("4")), r3);
}

TEST_F(StoreTest, LargeIdsAreStoredAndListedIntact) {
  RawDb raw(dbPath());
  // Folder IDs beyond 16 and beyond 32 bits; records likewise.
  for (const qint64 start : {Q_INT64_C(40000), Q_INT64_C(5000000000)}) {
    raw.exec(QStringLiteral("INSERT INTO Folder (ID, ParentID, Name) VALUES (%1, 0, 'seed')").arg(start));
    raw.exec(QStringLiteral("DELETE FROM sqlite_sequence WHERE name='Omenry'"));
    raw.exec(QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES ('Omenry', %1)").arg(start + 30000));
    const RowId parent = store_.AddFolder(0, QStringLiteral("大"));
    EXPECT_EQ(parent, start + 1);
    const RowId child = store_.AddFolder(parent, QStringLiteral("子"));
    EXPECT_EQ(child, start + 2);
    ASSERT_EQ(store_.FolderChildren(parent).size(), 1);
    EXPECT_EQ(store_.FolderChildren(parent)[0].id, child);

    const RowId r = addRecord(child, QStringLiteral("big"), QStringLiteral("大号"));
    EXPECT_EQ(r, start + 30001);
    store_.ListFolderRecords(child);
    RecordList* list = store_.records();
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->currentId(), r);
    EXPECT_EQ(list->currentFolder(), child);
    EXPECT_EQ(list->data(list->index(0, RecordList::ColID), Qt::EditRole).toLongLong(), r);
    EXPECT_EQ(list->currentText(), QStringLiteral("大号"));
    EXPECT_TRUE(list->locate(r));
    EXPECT_EQ(raw.scalar(QStringLiteral("SELECT FL FROM Omenry WHERE ID=%1").arg(r)).toLongLong(), child);
    EXPECT_EQ(raw.scalar(QStringLiteral("SELECT ParentID FROM Folder WHERE ID=%1").arg(child)).toLongLong(), parent);
    // Nothing lands in a folder whose ID is the truncated value.
    store_.ListFolderRecords(static_cast<qint16>(child));
    EXPECT_EQ(store_.records()->count(), 0);

    store_.UpdateRecord(r, {QStringLiteral("big2"), QString(), QDate(), false, QString()});
    EXPECT_TRUE(store_.DeleteFolder(child));
    EXPECT_EQ(raw.count(QStringLiteral(" WHERE ID=%1 AND DT IS NULL").arg(r)), 0);
  }
}

// ---------------------------------------------------------------------------
// Search

namespace {

SearchCondition Condition(std::initializer_list<SearchClause> clauses) {
  SearchCondition c;
  c.clauses = clauses;
  return c;
}

SearchClause Title(const QStringList& words, bool all = true) {
  return {SearchField::Title, words, all};
}
SearchClause Text(const QStringList& words, bool all = true) {
  return {SearchField::Text, words, all};
}

}  // namespace

TEST(SearchCondition, ClausesBindEveryWordAsAParameter) {
  // A word as it is bound: its UTF-8 bytes.
  auto bytes = [](const QString& word) { return QVariant(word.toUtf8()); };
  auto has = [](const char* field, int n) {
    return QStringLiteral("contains_word(%1, :%1%2)").arg(QLatin1String(field)).arg(n);
  };
  const struct {
    SearchCondition condition;
    QString text;
    QList<SearchBinding> bindings;
  } cases[] = {
      {Condition({Title({QStringLiteral("甲")})}),
       " where (" + has("BT", 0) + ")",
       {{QStringLiteral(":BT0"), bytes(QStringLiteral("甲"))}}},
      {Condition({Title({QStringLiteral("甲"), QStringLiteral("乙")})}),
       " where (" + has("BT", 0) + " and " + has("BT", 1) + ")",
       {{QStringLiteral(":BT0"), bytes(QStringLiteral("甲"))}, {QStringLiteral(":BT1"), bytes(QStringLiteral("乙"))}}},
      {Condition({Text({QStringLiteral("甲"), QStringLiteral("乙")}, false)}),
       " where (" + has("LR", 0) + " or " + has("LR", 1) + ")",
       {{QStringLiteral(":LR0"), bytes(QStringLiteral("甲"))}, {QStringLiteral(":LR1"), bytes(QStringLiteral("乙"))}}},
      // Both fields: the clauses are joined by "or" whatever the relation.
      {Condition({Title({QStringLiteral("甲"), QStringLiteral("乙")}), Text({QStringLiteral("甲"), QStringLiteral("乙")})}),
       " where (" + has("BT", 0) + " and " + has("BT", 1) + ") or (" + has("LR", 0) + " and " + has("LR", 1) + ")",
       {{QStringLiteral(":BT0"), bytes(QStringLiteral("甲"))}, {QStringLiteral(":BT1"), bytes(QStringLiteral("乙"))},
        {QStringLiteral(":LR0"), bytes(QStringLiteral("甲"))}, {QStringLiteral(":LR1"), bytes(QStringLiteral("乙"))}}},
      // Empty words take no part; a clause without words drops out.
      {Condition({Title({QString(), QStringLiteral("甲"), QString()}), Text({QString()})}),
       " where (" + has("BT", 0) + ")",
       {{QStringLiteral(":BT0"), bytes(QStringLiteral("甲"))}}},
      // Two clauses on one field number their parameters on.
      {Condition({Title({QStringLiteral("a")}), Title({QStringLiteral("b")})}),
       " where (" + has("BT", 0) + ") or (" + has("BT", 1) + ")",
       {{QStringLiteral(":BT0"), bytes(QStringLiteral("a"))}, {QStringLiteral(":BT1"), bytes(QStringLiteral("b"))}}},
      // Quotes, wildcards and U+0000 stay in the values as they are; never in
      // the text. An unpaired surrogate is bound as U+FFFD, as it is stored.
      {Condition({Title({QStringLiteral("it's"), QStringLiteral("50%_\\x"),
                         QStringLiteral("a") + QChar(0) + QStringLiteral("b"), QString(QChar(0xD800))})}),
       " where (" + has("BT", 0) + " and " + has("BT", 1) + " and " + has("BT", 2) + " and " + has("BT", 3) + ")",
       {{QStringLiteral(":BT0"), bytes(QStringLiteral("it's"))},
        {QStringLiteral(":BT1"), bytes(QStringLiteral("50%_\\x"))},
        {QStringLiteral(":BT2"), QVariant(QByteArray("a\0b", 3))},
        {QStringLiteral(":BT3"), QVariant(QByteArray("\xef\xbf\xbd"))}}},
      {Condition({}), QString(), {}},
      {Condition({Title({QString()})}), QString(), {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.condition.text(), c.text);
    EXPECT_EQ(c.condition.bindings(), c.bindings) << c.text.toStdString();
    EXPECT_EQ(c.condition.isEmpty(), c.text.isEmpty());
  }
}

TEST_F(StoreTest, SearchSpansFoldersWithTheSearchWindowsConditions) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  const RowId g = store_.AddFolder(0, QStringLiteral("乙"));
  const RowId both = store_.InsertRecord(f, {QStringLiteral("甲乙同见"), QString(), QDate(), false, QStringLiteral("无")});
  const RowId titleOne = store_.InsertRecord(g, {QStringLiteral("只有甲"), QString(), QDate(), false, QStringLiteral("乙在文中")});
  const RowId textBoth = store_.InsertRecord(g, {QStringLiteral("无关"), QString(), QDate(), false, kChart + QStringLiteral("甲乙")});
  store_.InsertRecord(f, {QStringLiteral("无关"), QString(), QDate(), false, QStringLiteral("无关")});

  const QStringList jiaYi = {QStringLiteral("甲"), QStringLiteral("乙")};
  const struct {
    SearchCondition condition;
    std::vector<RowId> expected;
  } cases[] = {
      {Condition({Title(jiaYi)}), {both}},
      {Condition({Text(jiaYi)}), {textBoth}},
      {Condition({Title(jiaYi), Text(jiaYi)}), {both, textBoth}},
      {Condition({Title(jiaYi, false)}), {both, titleOne}},
      {Condition({Title(jiaYi, false), Text(jiaYi, false)}), {both, titleOne, textBoth}},
      // Box characters and full-width spaces in the text can be searched for.
      {Condition({Text({QStringLiteral("│　　│")})}), {textBoth}},
      {Condition({Title({QStringLiteral("没有")})}), {}},
      {Condition({}), {}},
  };
  for (const bool index : {true, false}) {
    for (const auto& c : cases) {
      if (index)
        store_.SearchRecords(c.condition);
      else
        store_.SearchRecordsByScan(c.condition);
      EXPECT_TRUE(store_.records()->isOpen());
      std::vector<RowId> ids = listedIds();
      std::sort(ids.begin(), ids.end());
      EXPECT_EQ(ids, c.expected) << c.condition.text().toStdString() << (index ? " (index)" : " (scan)");
      // The first row is current, or none when nothing was found.
      EXPECT_EQ(store_.records()->currentRow(), c.expected.empty() ? -1 : 0);
    }
  }
}

// The querent, a date range and the feedback flag: each alone, together,
// and with the words; every criterion given must hold. Records in the
// recycle bin are never found.
TEST_F(StoreTest, SearchByQuerentDatesAndFeedback) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  const RowId g = store_.AddFolder(f, QStringLiteral("乙"));
  const RowId zhangSpring = store_.InsertRecord(f, {QStringLiteral("问财"), QStringLiteral("张三"), QDate(2024, 3, 1), true, QStringLiteral("财运")});
  const RowId zhangAutumn = store_.InsertRecord(g, {QStringLiteral("问病"), QStringLiteral("老张"), QDate(2024, 9, 30), false, QStringLiteral("病情")});
  const RowId liSpring = store_.InsertRecord(g, {QStringLiteral("问财"), QStringLiteral("李四"), QDate(2024, 3, 31), false, QStringLiteral("财运")});
  const RowId undated = store_.InsertRecord(f, {QStringLiteral("无日期"), QStringLiteral("Zhang"), QDate(), true, QStringLiteral("财")});
  const RowId emptyFk = store_.InsertRecord(f, {QStringLiteral("旧例"), QString(), QDate(2023, 12, 31), false, QStringLiteral("财")});
  const RowId binned = store_.InsertRecord(f, {QStringLiteral("问财"), QStringLiteral("张三"), QDate(2024, 3, 2), true, QStringLiteral("财运")});
  store_.DeleteRecord(binned);
  {
    RawDb raw(dbPath());
    raw.exec(QStringLiteral("UPDATE Omenry SET FK=NULL WHERE ID=%1").arg(emptyFk));
  }

  auto where = [](const QString& querent, const QDate& from, const QDate& to, std::optional<bool> fk,
                  const QList<SearchClause>& clauses = {}) {
    SearchCondition c;
    c.clauses = clauses;
    c.querent = querent;
    c.from = from;
    c.to = to;
    c.feedback = fk;
    return c;
  };
  const QDate none;
  const struct {
    const char* what;
    SearchCondition condition;
    std::vector<RowId> expected;
  } cases[] = {
      {"querent, anywhere in the name", where(QStringLiteral("张"), none, none, {}), {zhangSpring, zhangAutumn}},
      {"querent, Latin letters in either case", where(QStringLiteral("zHANG"), none, none, {}), {undated}},
      {"querent, blanks around it do not count", where(QStringLiteral("  李四 "), none, none, {}), {liSpring}},
      {"querent that nobody is", where(QStringLiteral("王"), none, none, {}), {}},
      {"from and to, both days included", where(QString(), QDate(2024, 3, 1), QDate(2024, 3, 31), {}), {zhangSpring, liSpring}},
      {"from only", where(QString(), QDate(2024, 4, 1), none, {}), {zhangAutumn}},
      {"to only: a record without a date is not found", where(QString(), none, QDate(2023, 12, 31), {}), {emptyFk}},
      {"from after to finds nothing", where(QString(), QDate(2024, 4, 1), QDate(2024, 3, 1), {}), {}},
      {"有反馈", where(QString(), none, none, true), {zhangSpring, undated}},
      {"无反馈, an empty flag counted as none", where(QString(), none, none, false), {zhangAutumn, liSpring, emptyFk}},
      {"querent and feedback", where(QStringLiteral("张"), none, none, false), {zhangAutumn}},
      {"words and a date range", where(QString(), QDate(2024, 1, 1), QDate(2024, 12, 31), {}, {Title({QStringLiteral("问财")})}),
       {zhangSpring, liSpring}},
      {"words of two fields (or) and the querent (and)",
       where(QStringLiteral("张"), none, none, {}, {Title({QStringLiteral("病")}), Text({QStringLiteral("财运")})}),
       {zhangSpring, zhangAutumn}},
      {"words, querent, dates and feedback",
       where(QStringLiteral("张"), QDate(2024, 1, 1), QDate(2024, 6, 30), true, {Text({QStringLiteral("财")})}),
       {zhangSpring}},
  };
  for (const bool index : {true, false}) {
    for (const auto& c : cases) {
      EXPECT_FALSE(c.condition.isEmpty()) << c.what;
      if (index)
        store_.SearchRecords(c.condition);
      else
        store_.SearchRecordsByScan(c.condition);
      std::vector<RowId> ids = listedIds();
      std::sort(ids.begin(), ids.end());
      EXPECT_EQ(ids, c.expected) << c.what << (index ? " (index)" : " (scan)");
    }
  }
  // The criteria as statement text: the words in parentheses, then each
  // criterion after "and"; values bound, never spliced.
  const SearchCondition all =
      where(QStringLiteral("张'"), QDate(2024, 1, 1), QDate(2024, 6, 30), false, {Title({QStringLiteral("甲")}), Text({QStringLiteral("乙")})});
  EXPECT_EQ(all.text(), QStringLiteral(" where ((contains_word(BT, :BT0)) or (contains_word(LR, :LR0))) and "
                                       "contains_word(QZR, :QZR0) and substr(SJ,1,10)>=:SJFROM and "
                                       "substr(SJ,1,10)<=:SJTO and IFNULL(FK,0)=0"));
  EXPECT_EQ(all.bindings().mid(2), (QList<SearchBinding>{{QStringLiteral(":QZR0"), QVariant(QStringLiteral("张'").toUtf8())},
                                                          {QStringLiteral(":SJFROM"), QVariant(QStringLiteral("2024-01-01"))},
                                                          {QStringLiteral(":SJTO"), QVariant(QStringLiteral("2024-06-30"))}}));
  EXPECT_TRUE(where(QStringLiteral("  "), none, none, {}).isEmpty());
}

TEST_F(StoreTest, WordsAreSearchedForAsThemselves) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  const QString titles[] = {
      QStringLiteral("it's"),  QStringLiteral("its"),     QStringLiteral("50%"),   QStringLiteral("500"),
      QStringLiteral("a_b"),   QStringLiteral("axb"),     QStringLiteral("c:\\d"), QStringLiteral("c:d"),
      QStringLiteral("x\"y"),  QStringLiteral("x; DELETE FROM Omenry"),
      QStringLiteral("') or 1=1 --"),
  };
  std::vector<RowId> ids;
  for (const QString& t : titles) ids.push_back(addRecord(f, t));
  RawDb raw(dbPath());
  const struct {
    QString word;
    std::vector<size_t> expected;  // indexes into titles
  } cases[] = {
      {QStringLiteral("'"), {0, 10}},
      {QStringLiteral("it's"), {0}},
      {QStringLiteral("%"), {2}},
      {QStringLiteral("0%"), {2}},
      {QStringLiteral("_"), {4}},
      {QStringLiteral("a_b"), {4}},
      {QStringLiteral("\\"), {6}},
      {QStringLiteral(":\\d"), {6}},
      {QStringLiteral("\""), {8}},
      {QStringLiteral("; DELETE FROM Omenry"), {9}},
      {QStringLiteral("') or 1=1 --"), {10}},
      {QStringLiteral("or 1=1"), {10}},
  };
  for (const bool index : {true, false}) {
    for (const auto& c : cases) {
      const SearchCondition condition = Condition({Title({c.word})});
      if (index)
        store_.SearchRecords(condition);
      else
        store_.SearchRecordsByScan(condition);
      std::vector<RowId> found = listedIds();
      std::sort(found.begin(), found.end());
      std::vector<RowId> expected;
      for (size_t k : c.expected) expected.push_back(ids[k]);
      EXPECT_EQ(found, expected) << c.word.toStdString() << (index ? " (index)" : " (scan)");
    }
  }
  EXPECT_EQ(raw.count(), static_cast<qint64>(std::size(titles)));
  // The connection is writable after the searches.
  addRecord(f, QStringLiteral("y"));
  EXPECT_EQ(raw.count(), static_cast<qint64>(std::size(titles)) + 1);
}

// The word index must give exactly the records that hold the words (the
// literal oracle), as the scan does, for words of every length, at the
// start, inside and at the end of a value, letters in either case, and
// characters the index cannot tell apart.
TEST_F(StoreTest, WordIndexFindsExactlyTheRecordsThatHoldTheWords) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  const RowId g = store_.AddFolder(f, QStringLiteral("乙"));
  const QString texts[] = {
      QString(),
      QStringLiteral("甲"),
      QStringLiteral("甲乙"),
      QStringLiteral("乙甲"),
      QStringLiteral("甲乙丙"),
      QStringLiteral("丙乙甲丁"),
      QStringLiteral("财运亨通，官司缠身"),
      QStringLiteral("问财运\r\n官司"),
      QStringLiteral("Hexagram ABC abc AbC"),
      QStringLiteral("abc"),
      QStringLiteral("ＡＢＣ ａｂｃ"),                // full-width letters: exact only
      QStringLiteral("Éé K k \u212a"),              // accented and the Kelvin sign: exact only
      QStringLiteral("\U0001F600 笑 \U0001F600x"),  // beyond the BMP
      QStringLiteral("50% a_b c\\d \"q\" it's"),
      QStringLiteral("行\r\n行\n"),
      kChart,
  };
  const QString titles[] = {QStringLiteral("甲"), QStringLiteral("乙丙"), QStringLiteral("ABC丙"),
                            QStringLiteral("无"), QString()};
  std::vector<literal_search::Record> records;
  auto add = [&](const QString& title, const QString& text, RowId folder) {
    records.push_back({store_.InsertRecord(folder, {title, QString(), QDate(), false, text}), title, text});
  };
  int n = 0;
  for (const QString& t : texts)
    for (int k = 0; k < 2; ++k) add(titles[(n++) % std::size(titles)], t, k ? f : g);
  // 丁 followed by 300 different characters: more index terms begin with
  // 丁 than the index takes for one word, which leaves 丁 to contains_word.
  QString many;
  for (int i = 0; i < 300; ++i) many += QStringLiteral("丁") + QChar(0x4e00 + i);
  add(QStringLiteral("多"), many, f);
  add(QStringLiteral("多"), many + QStringLiteral("乙"), g);
  // A record with NULL fields, as an older file may hold.
  RawDb raw(dbPath());
  raw.exec(QStringLiteral("INSERT INTO Omenry (BT, LR, FL) VALUES (NULL, NULL, %1)").arg(f));
  records.push_back({raw.scalar(QStringLiteral("SELECT MAX(ID) FROM Omenry")).toLongLong(), QString(), QString()});

  const QStringList words = {
      QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙"), QStringLiteral("丁"),
      QStringLiteral("甲乙"), QStringLiteral("乙甲"), QStringLiteral("乙丙"), QStringLiteral("甲乙丙"),
      QStringLiteral("乙甲丁"), QStringLiteral("丙乙甲丁"), QStringLiteral("甲乙丙丁"),
      QStringLiteral("财运"), QStringLiteral("官司"), QStringLiteral("财运亨通，官司"),
      QStringLiteral("运\r\n官"), QStringLiteral("\r\n"), QStringLiteral("行\n"), QStringLiteral("\n"),
      QStringLiteral("a"), QStringLiteral("A"), QStringLiteral("ab"), QStringLiteral("aBc"),
      QStringLiteral("ABC "), QStringLiteral("hexagram"), QStringLiteral("c"),
      QStringLiteral("ａｂｃ"), QStringLiteral("ＡＢＣ"), QStringLiteral("Ａ"),
      QStringLiteral("é"), QStringLiteral("É"), QStringLiteral("k"), QStringLiteral("K"),
      QStringLiteral("\u212a"), QStringLiteral("\U0001F600"), QStringLiteral("\U0001F600x"),
      QStringLiteral("笑 \U0001F600"), QStringLiteral("%"), QStringLiteral("_"), QStringLiteral("\\"),
      QStringLiteral("\""), QStringLiteral("'"), QStringLiteral("c\\d"), QStringLiteral("a_b"),
      QStringLiteral("│　　│"), QStringLiteral("　"), QStringLiteral("比肩"), QStringLiteral("┐"),
      QString(QChar(0xd800)), QString(QChar(0xd800)) + QStringLiteral("x"), QStringLiteral("\ufffd"), QStringLiteral("无"), QStringLiteral("没有"),
      QStringLiteral("\ufeff"),
  };
  // Every word alone in each field, and pairs with both relations.
  std::vector<SearchCondition> conditions;
  for (const QString& w : words) {
    conditions.push_back(Condition({Title({w})}));
    conditions.push_back(Condition({Text({w})}));
  }
  for (qsizetype i = 0; i < words.size(); i += 3)
    for (qsizetype j = 1; j < words.size(); j += 4)
      for (const bool all : {true, false})
        conditions.push_back(Condition({Title({words[i], words[j]}, all), Text({words[i], words[j]}, all)}));
  // The word the index leaves to contains_word, alone and with others.
  for (const bool all : {true, false})
    for (const QString& other : {QStringLiteral("乙"), QStringLiteral("丁一"), QStringLiteral("没有"),
                                 QStringLiteral("甲乙丙丁")})
      conditions.push_back(Condition({Text({QStringLiteral("丁"), other}, all)}));

  const int nonEmpty = literal_search::ExpectAsTheOracle(store_, records, conditions);
  EXPECT_GT(nonEmpty, static_cast<int>(conditions.size()) / 3);  // the table is not all misses
}

// Every character is searched for literally, through the word index and by
// scanning alike: a U+0000 ends neither a value nor a word; U+FFFD, U+FFFE
// and U+FFFF are three characters; an unpaired surrogate is U+FFFD, as
// stored; a character beyond the Basic Multilingual Plane is one character;
// the syntax of SQL and FTS5 queries is text. Each odd value stands once in
// a title and once in a text, among plain records.
TEST_F(StoreTest, OddWordsAreFoundLiterallyThroughTheIndexAndByScan) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  std::vector<literal_search::Record> records;
  auto add = [&](const QString& title, const QString& text) {
    records.push_back({store_.InsertRecord(f, {title, QString(), QDate(), false, text}), title, text});
  };
  for (const QString& v : literal_search::OddValues()) {
    add(v, QStringLiteral("正文"));
    add(QStringLiteral("标题"), v);
  }
  for (int i = 0; i < 100; ++i)
    add(QStringLiteral("普通%1").arg(i), QStringLiteral("卦象平常，第%1例").arg(i));

  const QStringList words = literal_search::OddWords();
  std::vector<SearchCondition> conditions;
  for (const QString& w : words) {
    conditions.push_back(Condition({Title({w})}));
    conditions.push_back(Condition({Text({w})}));
    conditions.push_back(Condition({Title({w}), Text({w})}));
  }
  // With another word, joined by "and" and by "or": a word many records
  // hold, and the next odd word.
  for (qsizetype i = 0; i < words.size(); ++i)
    for (const bool all : {true, false})
      for (const QString& other : {QStringLiteral("甲"), words[(i + 1) % words.size()]})
        conditions.push_back(Condition({Title({words[i], other}, all), Text({words[i], other}, all)}));

  const int nonEmpty = literal_search::ExpectAsTheOracle(store_, records, conditions);
  EXPECT_GT(nonEmpty, static_cast<int>(conditions.size()) / 2);
  // U+0000 alone: the five titles that hold one, not every record.
  store_.SearchRecords(Condition({Title({literal_search::Nul()})}));
  EXPECT_EQ(store_.records()->count(), 5);
}

// Short titles and texts drawn at random from the characters the word
// index treats apart (U+0000, U+FFFD, U+FFFE, U+FFFF, a line feed, letters
// in both cases, a quote, a character beyond the Basic Multilingual Plane),
// and words drawn from the same: the index finds what the oracle finds,
// for words of one, two, three and more characters, at every place.
TEST_F(StoreTest, RandomTextsOfTheOddCharactersAreSearchedLiterally) {
  const QString alphabet[] = {QStringLiteral("a"), QStringLiteral("A"), QStringLiteral("b"),
                              QStringLiteral("甲"), QStringLiteral("乙"), literal_search::Nul(),
                              QStringLiteral("\uFFFD"), QStringLiteral("\uFFFE"), QStringLiteral("\uFFFF"),
                              QStringLiteral("\n"), QStringLiteral("\""), QStringLiteral("\U0001F600"),
                              QStringLiteral(" ")};
  std::mt19937 random(20240611);  // the same draws on every run
  auto draw = [&](size_t from, size_t to) {
    QString s;
    for (size_t n = from + random() % (to - from + 1); n > 0; --n) s += alphabet[random() % std::size(alphabet)];
    return s;
  };
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  std::vector<literal_search::Record> records;
  for (int i = 0; i < 240; ++i) {
    const QString title = draw(0, 6);
    const QString text = draw(0, 14);
    records.push_back({store_.InsertRecord(f, {title, QString(), QDate(), false, text}), title, text});
  }
  std::vector<SearchCondition> conditions;
  for (int i = 0; i < 150; ++i) {
    const QString w = draw(1, 4);
    conditions.push_back(Condition({Title({w})}));
    conditions.push_back(Condition({Text({w})}));
    const QString v = draw(1, 3);
    const bool all = i % 2 == 0;
    conditions.push_back(Condition({Title({w, v}, all), Text({w, v}, all)}));
  }
  const int nonEmpty = literal_search::ExpectAsTheOracle(store_, records, conditions);
  EXPECT_GT(nonEmpty, static_cast<int>(conditions.size()) / 3);
}

// Changes of records reach the word index in the same step.
TEST_F(StoreTest, WordIndexFollowsEveryChange) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  const RowId g = store_.AddFolder(0, QStringLiteral("乙"));
  auto found = [&](SearchField field, const QString& word) {
    store_.SearchRecords(Condition({{field, {word}, true}}));
    std::vector<RowId> ids = listedIds();
    std::sort(ids.begin(), ids.end());
    return ids;
  };
  using V = std::vector<RowId>;
  const RowId a = store_.InsertRecord(f, {QStringLiteral("旧题"), QString(), QDate(), false, QStringLiteral("旧文财运")});
  const RowId b = store_.InsertRecord(g, {QStringLiteral("旧题"), QString(), QDate(), false, QStringLiteral("旧文")});
  EXPECT_EQ(found(SearchField::Title, QStringLiteral("旧")), (V{a, b}));
  EXPECT_EQ(found(SearchField::Text, QStringLiteral("财运")), (V{a}));

  store_.UpdateRecord(a, {QStringLiteral("新题"), QString(), QDate(), false, QStringLiteral("新文官司")});
  EXPECT_EQ(found(SearchField::Title, QStringLiteral("旧")), (V{b}));
  EXPECT_EQ(found(SearchField::Title, QStringLiteral("新题")), (V{a}));
  EXPECT_EQ(found(SearchField::Text, QStringLiteral("财运")), V{});
  EXPECT_EQ(found(SearchField::Text, QStringLiteral("官司")), (V{a}));

  store_.DeleteRecord(b);
  EXPECT_EQ(found(SearchField::Title, QStringLiteral("旧")), V{});
  const RowId c = store_.InsertRecord(g, {QStringLiteral("旧题"), QString(), QDate(), false, QStringLiteral("官司")});
  EXPECT_EQ(found(SearchField::Text, QStringLiteral("官司")), (V{a, c}));
  EXPECT_TRUE(store_.DeleteFolder(g));
  EXPECT_EQ(found(SearchField::Text, QStringLiteral("官司")), (V{a}));

  // A failed change leaves the index as it was.
  {
    RawDb raw(dbPath());
    raw.exec(QStringLiteral("CREATE TRIGGER noupd BEFORE UPDATE ON Omenry BEGIN SELECT RAISE(ABORT, 'no'); END"));
  }
  EXPECT_THROW(store_.UpdateRecord(a, {QStringLiteral("x"), QString(), QDate(), false, QStringLiteral("财运")}), StoreError);
  EXPECT_EQ(found(SearchField::Text, QStringLiteral("财运")), V{});
  EXPECT_EQ(found(SearchField::Text, QStringLiteral("官司")), (V{a}));
  {
    RawDb raw(dbPath());
    raw.exec(QStringLiteral("DROP TRIGGER noupd"));
  }

  // What follows a U+0000, which the trigram tables do not see, is found
  // through every change too.
  const QString nul = literal_search::Nul();
  const RowId d = store_.InsertRecord(f, {QStringLiteral("题") + nul + QStringLiteral("后题"), QString(), QDate(), false, QStringLiteral("前文") + nul + QStringLiteral("后文")});
  EXPECT_EQ(found(SearchField::Title, QStringLiteral("后题")), (V{d}));
  EXPECT_EQ(found(SearchField::Text, QStringLiteral("后文")), (V{d}));
  EXPECT_EQ(found(SearchField::Text, nul), (V{d}));
  store_.UpdateRecord(d, {QStringLiteral("后题"), QString(), QDate(), false, QStringLiteral("前文后文")});
  EXPECT_EQ(found(SearchField::Title, QStringLiteral("后题")), (V{d}));
  EXPECT_EQ(found(SearchField::Text, QStringLiteral("后文")), (V{d}));
  EXPECT_EQ(found(SearchField::Text, nul), V{});
  store_.UpdateRecord(d, {QStringLiteral("后题"), QString(), QDate(), false, QStringLiteral("前文") + nul + QStringLiteral("中文")});
  EXPECT_EQ(found(SearchField::Text, QStringLiteral("后文")), V{});
  EXPECT_EQ(found(SearchField::Text, QStringLiteral("中文")), (V{d}));
  EXPECT_EQ(found(SearchField::Text, nul + QStringLiteral("中")), (V{d}));
  store_.DeleteRecord(d);
  EXPECT_EQ(found(SearchField::Text, QStringLiteral("中文")), V{});
  EXPECT_EQ(found(SearchField::Text, nul), V{});
}

// A casebook made before the word index gets it when it is opened.
TEST_F(StoreTest, WordIndexIsBuiltForAnOlderFile) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  const RowId a = store_.InsertRecord(f, {QStringLiteral("题"), QString(), QDate(), false, QStringLiteral("财运")});
  store_.close();
  {
    RawDb raw(dbPath());
    raw.exec(QStringLiteral("DROP TRIGGER OmenryWordsInsert"));
    raw.exec(QStringLiteral("DROP TRIGGER OmenryWordsDelete"));
    raw.exec(QStringLiteral("DROP TRIGGER OmenryWordsUpdate"));
    raw.exec(QStringLiteral("DROP TABLE OmenryTitleWords"));
    raw.exec(QStringLiteral("DROP TABLE OmenryTextWords"));
    raw.exec(QStringLiteral("DROP TABLE OmenryNulTexts"));
    raw.exec(QStringLiteral("PRAGMA user_version=0"));
    raw.exec(QStringLiteral("INSERT INTO Omenry (BT, LR, FL) VALUES ('题', '官司财运', %1)").arg(f));
    raw.exec(QStringLiteral("INSERT INTO Omenry (BT, LR, FL) VALUES ('题', CAST(X'e5898d00e5908e' AS TEXT), %1)").arg(f));
  }
  store_.OpenStore(dir_);
  store_.SearchRecords(Condition({Text({QStringLiteral("财运")})}));
  EXPECT_EQ(store_.records()->count(), 2);
  store_.SearchRecords(Condition({Text({QStringLiteral("官司")})}));
  ASSERT_EQ(store_.records()->count(), 1);
  EXPECT_NE(store_.records()->currentId(), a);
  store_.SearchRecords(Condition({Text({QStringLiteral("后")})}));  // after a U+0000: 前 U+0000 后
  EXPECT_EQ(store_.records()->count(), 1);
  RawDb raw(dbPath());
  EXPECT_EQ(raw.scalar(QStringLiteral("PRAGMA user_version")).toInt(), 2);
}

// A casebook whose word index has no list of the records holding a U+0000
// (made by an earlier version of the program) gets the list when it is
// opened; its trigram tables are kept as they are.
TEST_F(StoreTest, WordIndexOfAnEarlierVersionIsCompletedWhenOpened) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  const RowId a = store_.InsertRecord(f, {QStringLiteral("题"), QString(), QDate(), false, QStringLiteral("财运")});
  store_.close();
  RowId b = 0;
  {
    // The triggers of that version, then a record saved through them.
    RawDb raw(dbPath());
    raw.exec(QStringLiteral("DROP TRIGGER OmenryWordsInsert"));
    raw.exec(QStringLiteral("DROP TRIGGER OmenryWordsDelete"));
    raw.exec(QStringLiteral("DROP TRIGGER OmenryWordsUpdate"));
    raw.exec(QStringLiteral("DROP TABLE OmenryNulTexts"));
    raw.exec(QStringLiteral(
        "CREATE TRIGGER OmenryWordsInsert AFTER INSERT ON Omenry BEGIN "
        "INSERT INTO OmenryTitleWords(rowid, BT) VALUES (new.ID, lower(new.BT)||char(10,10));"
        "INSERT INTO OmenryTextWords(rowid, LR) VALUES (new.ID, lower(new.LR)||char(10,10)); END"));
    raw.exec(QStringLiteral(
        "CREATE TRIGGER OmenryWordsDelete AFTER DELETE ON Omenry BEGIN "
        "INSERT INTO OmenryTitleWords(OmenryTitleWords, rowid, BT) VALUES ('delete', old.ID, lower(old.BT)||char(10,10));"
        "INSERT INTO OmenryTextWords(OmenryTextWords, rowid, LR) VALUES ('delete', old.ID, lower(old.LR)||char(10,10)); END"));
    raw.exec(QStringLiteral(
        "CREATE TRIGGER OmenryWordsUpdate AFTER UPDATE OF ID, BT, LR ON Omenry BEGIN "
        "INSERT INTO OmenryTitleWords(OmenryTitleWords, rowid, BT) VALUES ('delete', old.ID, lower(old.BT)||char(10,10));"
        "INSERT INTO OmenryTextWords(OmenryTextWords, rowid, LR) VALUES ('delete', old.ID, lower(old.LR)||char(10,10));"
        "INSERT INTO OmenryTitleWords(rowid, BT) VALUES (new.ID, lower(new.BT)||char(10,10));"
        "INSERT INTO OmenryTextWords(rowid, LR) VALUES (new.ID, lower(new.LR)||char(10,10)); END"));
    raw.exec(QStringLiteral("PRAGMA user_version=1"));
    raw.exec(QStringLiteral("INSERT INTO Omenry (BT, LR, FL) VALUES ('题', CAST(X'e5898d00e5908e' AS TEXT), %1)").arg(f));
    b = raw.scalar(QStringLiteral("SELECT MAX(ID) FROM Omenry")).toLongLong();
    // A term of no record, which a rebuilt table would not have.
    raw.exec(QStringLiteral("INSERT INTO OmenryTextWords(rowid, LR) VALUES (999999, 'zzq')"));
  }
  store_.OpenStore(dir_);
  using V = std::vector<RowId>;
  auto found = [&](const QString& word) {
    store_.SearchRecords(Condition({Text({word})}));
    return listedIds();
  };
  EXPECT_EQ(found(QStringLiteral("财运")), (V{a}));
  EXPECT_EQ(found(QStringLiteral("后")), (V{b}));  // after the U+0000
  EXPECT_EQ(found(literal_search::Nul()), (V{b}));
  // Saved from now on through the new triggers.
  store_.UpdateRecord(a, {QStringLiteral("题"), QString(), QDate(), false, QStringLiteral("财") + literal_search::Nul() + QStringLiteral("运")});
  EXPECT_EQ(found(QStringLiteral("运")), (V{a}));
  RawDb raw(dbPath());
  EXPECT_EQ(raw.scalar(QStringLiteral("PRAGMA user_version")).toInt(), 2);
  EXPECT_EQ(raw.scalar(QStringLiteral("SELECT COUNT(*) FROM OmenryTextWords WHERE OmenryTextWords MATCH 'zzq'"))
                .toInt(),
            1);
}

TEST_F(StoreTest, FailedSearchRaisesAndLeavesTheListClosed) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  // More words joined by "and" than the engine's expression depth allows
  // (1000), all of them in one record's text.
  QStringList many;
  for (int i = 0; i < 1100; ++i) many << QStringLiteral("甲%1").arg(i);
  addRecord(f, QStringLiteral("x"), many.join(QLatin1Char(' ')));
  RawDb raw(dbPath());
  for (const bool index : {true, false}) {
    store_.ListFolderRecords(f);
    ASSERT_TRUE(store_.records()->isOpen());
    try {
      const SearchCondition condition = Condition({Text(many)});
      if (index)
        store_.SearchRecords(condition);
      else
        store_.SearchRecordsByScan(condition);
      ADD_FAILURE() << "searched";
    } catch (const StoreError& e) {
      EXPECT_FALSE(e.message().isEmpty());
    }
    EXPECT_FALSE(store_.records()->isOpen());  // empty until the next listing
    EXPECT_EQ(store_.records()->count(), 0);
  }
  // The connection is writable again afterwards.
  addRecord(f, QStringLiteral("y"));
  store_.ListFolderRecords(f);
  EXPECT_EQ(store_.records()->count(), 2);
  EXPECT_EQ(raw.count(), 2);
}

TEST_F(StoreTest, FailedStatementsSurfaceTheEnginesText) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  const RowId r = addRecord(f, QStringLiteral("x"));
  RawDb raw(dbPath());
  raw.exec(QStringLiteral("CREATE TRIGGER noins BEFORE INSERT ON Omenry BEGIN SELECT RAISE(ABORT, 'insert refused'); END"));
  raw.exec(QStringLiteral("CREATE TRIGGER noupd BEFORE UPDATE ON Omenry BEGIN SELECT RAISE(ABORT, 'update refused'); END"));
  raw.exec(QStringLiteral("CREATE TRIGGER nodel BEFORE DELETE ON Omenry BEGIN SELECT RAISE(ABORT, 'delete refused'); END"));
  raw.exec(QStringLiteral("CREATE TRIGGER nofol BEFORE INSERT ON Folder BEGIN SELECT RAISE(ABORT, 'folder refused'); END"));
  raw.exec(QStringLiteral("CREATE TRIGGER noren BEFORE UPDATE ON Folder BEGIN SELECT RAISE(ABORT, 'rename refused'); END"));
  using Op = std::function<void()>;
  const std::vector<std::pair<QString, Op>> ops = {
      {QStringLiteral("folder refused"), [&] { store_.AddFolder(0, QStringLiteral("乙")); }},
      {QStringLiteral("rename refused"), [&] { store_.RenameFolder(f, QStringLiteral("乙")); }},
      {QStringLiteral("insert refused"), [&] { addRecord(f, QStringLiteral("y")); }},
      {QStringLiteral("update refused"), [&] { store_.UpdateRecord(r, {QStringLiteral("z"), QString(), QDate(), true, QString()}); }},
      // Deleting moves the record to the bin: an update.
      {QStringLiteral("update refused"), [&] { store_.DeleteRecord(r); }},
  };
  for (const auto& [text, op] : ops) {
    store_.ListFolderRecords(f);
    try {
      op();
      ADD_FAILURE() << "went through: " << text.toStdString();
    } catch (const StoreError& e) {
      EXPECT_TRUE(e.message().contains(text)) << e.what();
      EXPECT_STREQ(e.what(), e.message().toStdString().c_str());
    }
    // A failed record statement leaves the list closed; folder operations
    // do not touch it.
    const bool recordStatement = !text.startsWith(QStringLiteral("folder")) &&
                                 !text.startsWith(QStringLiteral("rename"));
    EXPECT_EQ(store_.records()->isOpen(), !recordStatement) << text.toStdString();
  }
  EXPECT_EQ(raw.count(), 1);
  EXPECT_EQ(raw.scalar(QStringLiteral("SELECT BT FROM Omenry")).toString(), QStringLiteral("x"));
  EXPECT_EQ(store_.FolderChildren(0).size(), 1);
  EXPECT_EQ(store_.FolderChildren(0)[0].name, QStringLiteral("甲"));
  store_.ListFolderRecords(f);
  EXPECT_EQ(store_.records()->count(), 1);
}

TEST_F(StoreTest, LongTextsRoundTrip) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  QString big;
  for (int i = 0; i < 2000; ++i) big += kChart;  // about 200,000 characters
  const RowId r = store_.InsertRecord(f, {QStringLiteral("长"), QString(), QDate(2024, 2, 29), false, big});
  store_.ListFolderRecords(f);
  EXPECT_EQ(store_.records()->currentId(), r);
  EXPECT_EQ(store_.records()->currentText(), big);
  EXPECT_EQ(store_.records()->currentDate(), QDate(2024, 2, 29));
}
