// What keeps a user's words: the recycle bin, the records' checksums, the
// log folded back into the file, and names that name something.

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "casebook_store.h"
#include "sqlite_helpers.h"

namespace {

QString DbPath(const QString& dir) { return dir + QLatin1Char('/') + CasebookStore::DatabaseFileName(); }

class KeepingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    dir_ = tmp_.path() + QStringLiteral("/Data");
    store_.OpenStore(dir_);
  }
  QString dbPath() const { return DbPath(dir_); }
  RowId add(RowId folder, const QString& title, const QString& text = QStringLiteral("正文")) {
    return store_.InsertRecord(folder, {title, QStringLiteral("某"), QDate(2024, 3, 1), false, text});
  }
  std::set<RowId> listed() {
    std::set<RowId> ids;
    RecordList* list = store_.records();
    for (int r = 0; r < list->count(); ++r) ids.insert(list->id(r));
    return ids;
  }
  std::set<RowId> folderIds(RowId parent) {
    std::set<RowId> ids;
    for (const FolderRow& f : store_.FolderChildren(parent)) ids.insert(f.id);
    return ids;
  }
  std::set<RowId> searched(const QString& word) {
    SearchCondition c;
    c.clauses = {{SearchField::Title, {word}, true}, {SearchField::Text, {word}, true}};
    store_.SearchRecords(c);
    const std::set<RowId> byIndex = listed();
    store_.SearchRecordsByScan(c);
    EXPECT_EQ(listed(), byIndex) << word.toStdString();
    return byIndex;
  }

  QTemporaryDir tmp_;
  QString dir_;
  CasebookStore store_;
};

using Ids = std::set<RowId>;

// ---------------------------------------------------------------------------
// The recycle bin

TEST_F(KeepingTest, DeletedRecordGoesToTheBinAndComesBack) {
  const RowId f = store_.AddFolder(0, QStringLiteral("八字"));
  const RowId a = add(f, QStringLiteral("甲寅年问财"));
  const RowId b = add(f, QStringLiteral("乙卯年问病"));
  store_.DeleteRecord(a);
  store_.ListFolderRecords(f);
  EXPECT_EQ(listed(), Ids{b});
  EXPECT_EQ(store_.FolderRecordCount(f), 1);
  EXPECT_EQ(searched(QStringLiteral("问财")), Ids{});  // a search never shows the bin
  store_.ListRecycledRecords();
  EXPECT_EQ(listed(), Ids{a});
  EXPECT_EQ(store_.records()->currentText(), QStringLiteral("正文"));  // readable in the bin
  EXPECT_EQ(store_.RecycleBinCount(), 1);
  EXPECT_EQ(store_.RecycledRecordFolder(a), f);
  EXPECT_FALSE(store_.UpdateRecord(a, {QStringLiteral("x"), {}, {}, false, {}}));  // not while in the bin

  EXPECT_TRUE(store_.RestoreRecord(a));
  store_.ListFolderRecords(f);
  EXPECT_EQ(listed(), (Ids{a, b}));
  EXPECT_EQ(searched(QStringLiteral("问财")), Ids{a});
  EXPECT_EQ(store_.RecycleBinCount(), 0);
  EXPECT_FALSE(store_.RestoreRecord(a));  // not in the bin any more
}

TEST_F(KeepingTest, DeletedFolderTakesItsRecordsAndBringsThemBack) {
  const RowId f = store_.AddFolder(0, QStringLiteral("六爻"));
  const RowId g = store_.AddFolder(0, QStringLiteral("奇门"));
  const RowId early = add(f, QStringLiteral("先删的"));
  const RowId r1 = add(f, QStringLiteral("卦一"));
  const RowId r2 = add(f, QStringLiteral("卦二"));
  const RowId other = add(g, QStringLiteral("别的"));
  store_.DeleteRecord(early);  // on its own, before the folder
  ASSERT_TRUE(store_.DeleteFolder(f));

  EXPECT_EQ(folderIds(0), Ids{g});
  EXPECT_FALSE(store_.FolderIsLive(f));
  const QList<CasebookStore::RecycledFolder> bin = store_.RecycledFolders();
  ASSERT_EQ(bin.size(), 1);
  EXPECT_EQ(bin[0].id, f);
  EXPECT_EQ(bin[0].name, QStringLiteral("六爻"));
  EXPECT_EQ(bin[0].records, 2);
  EXPECT_TRUE(bin[0].deletedAt.isValid());
  store_.ListRecycledFolderRecords(f);
  EXPECT_EQ(listed(), (Ids{r1, r2}));
  store_.ListRecycledRecords();  // the one deleted on its own
  EXPECT_EQ(listed(), Ids{early});
  EXPECT_EQ(store_.RecycleBinCount(), 2);  // the folder and the lone record
  EXPECT_EQ(searched(QStringLiteral("卦")), Ids{});

  // The lone record's folder is gone: it goes back only where the user says.
  EXPECT_THROW(store_.RestoreRecord(early), StoreError);
  EXPECT_THROW(store_.RestoreRecord(early, 0), StoreError);  // never under the root
  EXPECT_TRUE(store_.RestoreRecord(early, g));
  store_.ListFolderRecords(g);
  EXPECT_EQ(listed(), (Ids{early, other}));

  EXPECT_TRUE(store_.RestoreFolder(f));
  EXPECT_EQ(folderIds(0), (Ids{f, g}));
  store_.ListFolderRecords(f);
  EXPECT_EQ(listed(), (Ids{r1, r2}));
  EXPECT_EQ(searched(QStringLiteral("卦")), (Ids{r1, r2}));
}

TEST_F(KeepingTest, FolderWhoseParentIsGoneIsRestoredWhereTheUserSays) {
  const RowId p = store_.AddFolder(0, QStringLiteral("上"));
  const RowId c = store_.AddFolder(p, QStringLiteral("下"));
  const RowId keep = store_.AddFolder(0, QStringLiteral("留"));
  ASSERT_TRUE(store_.DeleteFolder(c));
  ASSERT_TRUE(store_.DeleteFolder(p));
  EXPECT_EQ(store_.RecycledFolderParent(c), p);
  EXPECT_THROW(store_.RestoreFolder(c), StoreError);  // its parent is in the bin
  EXPECT_TRUE(store_.RestoreFolder(c, keep));
  EXPECT_EQ(folderIds(keep), Ids{c});
  EXPECT_TRUE(store_.RestoreFolder(p));  // the root is always there
  EXPECT_EQ(folderIds(0), (Ids{p, keep}));
}

TEST_F(KeepingTest, DeletingForGoodAndEmptyingTheBin) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  const RowId g = store_.AddFolder(0, QStringLiteral("乙"));
  const RowId a = add(f, QStringLiteral("a"));
  const RowId b = add(f, QStringLiteral("b"));
  const RowId c = add(g, QStringLiteral("c"));
  const RowId d = add(g, QStringLiteral("d"));
  store_.DeleteRecord(a);
  EXPECT_FALSE(store_.PurgeRecord(b));  // not in the bin: a live record is never purged
  EXPECT_TRUE(store_.PurgeRecord(a));
  ASSERT_TRUE(store_.DeleteFolder(g));
  store_.DeleteRecord(b);
  EXPECT_TRUE(store_.PurgeFolder(g));  // with c and d
  Sqlite raw(dbPath());
  EXPECT_EQ(raw.integer("SELECT COUNT(*) FROM Omenry"), 1);
  EXPECT_EQ(raw.integer("SELECT COUNT(*) FROM Folder"), 1);
  EXPECT_EQ(store_.RecycleBinCount(), 1);
  EXPECT_EQ(store_.EmptyRecycleBin(), 1);
  EXPECT_EQ(raw.integer("SELECT COUNT(*) FROM Omenry"), 0);
  EXPECT_EQ(raw.integer("SELECT COUNT(*) FROM OmenryCheck"), 0);
  EXPECT_EQ(folderIds(0), Ids{f});
  (void)c;
  (void)d;
}

// ---------------------------------------------------------------------------
// Checksums

// Overwrites bytes of the file in place, where `from` stands, with `to` (of
// the same length); false when `from` is not found.
bool OverwriteInFile(const QString& path, const QByteArray& from, const QByteArray& to) {
  QFile f(path);
  if (!f.open(QIODevice::ReadWrite)) return false;
  QByteArray all = f.readAll();
  const qsizetype at = all.indexOf(from);
  if (at < 0 || from.size() != to.size()) return false;
  return f.seek(at) && f.write(to) == to.size();
}

TEST_F(KeepingTest, DamageInsideATextIsFoundThatSqliteDoesNotSee) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  const QString text = QStringLiteral("乾为天 初九 潜龙勿用 marker-0123456789 九二 见龙在田");
  const RowId r = add(f, QStringLiteral("乾卦"), text);
  const RowId other = add(f, QStringLiteral("坤卦"), QStringLiteral("坤为地"));
  store_.ListFolderRecords(f);
  ASSERT_TRUE(store_.records()->locate(r));
  EXPECT_EQ(store_.records()->currentText(), text);
  EXPECT_EQ(store_.records()->currentIntegrity(), RecordIntegrity::Sound);
  store_.close();  // the text is folded into the file

  ASSERT_TRUE(OverwriteInFile(dbPath(), QByteArrayLiteral("marker-0123"), QByteArrayLiteral("marker-9999")));
  store_.OpenStore(dir_);
  EXPECT_FALSE(store_.isDamaged());  // SQLite's check finds nothing
  EXPECT_EQ(store_.CheckRecord(r), RecordIntegrity::Damaged);
  EXPECT_EQ(store_.CheckRecord(other), RecordIntegrity::Sound);
  store_.ListFolderRecords(f);
  ASSERT_TRUE(store_.records()->locate(r));
  EXPECT_TRUE(store_.records()->currentText().contains(QStringLiteral("marker-9999")));
  EXPECT_EQ(store_.records()->currentIntegrity(), RecordIntegrity::Damaged);

  // Saving the record (its repair) gives it a checksum that fits again.
  ASSERT_TRUE(store_.UpdateRecord(r, {QStringLiteral("乾卦"), QStringLiteral("某"), QDate(2024, 3, 1), false, text}));
  EXPECT_EQ(store_.CheckRecord(r), RecordIntegrity::Sound);
}

TEST_F(KeepingTest, EveryFieldIsCoveredAndOddTextsCheckSound) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  const QString odd = QStringLiteral("A") + QChar(0) + QStringLiteral("B") + QChar(0xFEFF) + QChar(0xFFFE) +
                      QChar(0xFFFF) + QStringLiteral("😀");
  const RowId r = store_.InsertRecord(f, {odd, odd.left(3), QDate(), true, odd});
  EXPECT_EQ(store_.CheckRecord(r), RecordIntegrity::Sound);
  store_.close();
  // A change of any one field behind the store's back is noticed.
  const char* const changes[] = {
      "UPDATE Omenry SET BT='x'", "UPDATE Omenry SET QZR='x'", "UPDATE Omenry SET SJ='2020-01-01'",
      "UPDATE Omenry SET FK=0", "UPDATE Omenry SET LR='x'",
  };
  for (const char* change : changes) {
    {
      Sqlite raw(dbPath());
      ASSERT_EQ(raw.exec("SAVEPOINT s"), SQLITE_OK);
      ASSERT_EQ(raw.exec(change), SQLITE_OK) << raw.error();
      ASSERT_EQ(raw.exec("RELEASE s"), SQLITE_OK);
    }
    CasebookStore store;
    store.OpenStore(dir_);
    EXPECT_EQ(store.CheckRecord(r), RecordIntegrity::Damaged) << change;
    store.close();
    // Back as it was for the next field.
    store.OpenStore(dir_);
    ASSERT_TRUE(store.UpdateRecord(r, {odd, odd.left(3), QDate(), true, odd}));
    store.close();
  }
}

TEST(Checksums, AnOlderCasebookGetsThemOnFirstOpen) {
  QTemporaryDir tmp;
  const QString dir = tmp.path() + QStringLiteral("/Data");
  QDir().mkpath(dir);
  MakeFirstSchemaCasebook(DbPath(dir));
  CasebookStore store;
  store.OpenStore(dir);
  EXPECT_TRUE(store.isWritable());
  EXPECT_EQ(store.CheckRecord(1), RecordIntegrity::Sound);
  EXPECT_EQ(store.CheckRecord(2), RecordIntegrity::Sound);
  store.ListFolderRecords(1);
  EXPECT_EQ(store.records()->count(), 2);
  store.DeleteRecord(2);  // the bin works on it too
  store.ListFolderRecords(1);
  EXPECT_EQ(store.records()->count(), 1);
}

// ---------------------------------------------------------------------------
// The log

qint64 WalSize(const QString& db) { return QFileInfo(db + QStringLiteral("-wal")).size(); }

TEST_F(KeepingTest, TheLogIsFoldedBackWhenIdleAndOnClose) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  add(f, QStringLiteral("一"), QString(5000, QChar(0x5366)));
  EXPECT_GT(WalSize(dbPath()), 0);  // just saved: in the log
  QEventLoop loop;
  QTimer::singleShot(3000, &loop, &QEventLoop::quit);
  loop.exec();
  EXPECT_EQ(WalSize(dbPath()), 0);  // idle: folded back
  add(f, QStringLiteral("二"));
  EXPECT_GT(WalSize(dbPath()), 0);
  store_.close();
  EXPECT_EQ(WalSize(dbPath()), 0);
}

// ---------------------------------------------------------------------------
// Names

TEST_F(KeepingTest, BlankFolderNamesAreRefusedAndTheOldNameKept) {
  const RowId f = store_.AddFolder(0, QStringLiteral("八字命例（男）"));
  const QString blanks[] = {QString(), QStringLiteral(""), QStringLiteral("   "), QStringLiteral("\u3000\u3000"),
                            QStringLiteral(" \t\n")};
  for (const QString& name : blanks) {
    EXPECT_THROW(store_.AddFolder(0, name), StoreError);
    EXPECT_THROW(store_.RenameFolder(f, name), StoreError);
  }
  ASSERT_EQ(store_.FolderChildren(0).size(), 1);
  EXPECT_EQ(store_.FolderChildren(0)[0].name, QStringLiteral("八字命例（男）"));
  EXPECT_EQ(store_.RenameFolder(f, QStringLiteral(" x ")), QStringLiteral(" x "));  // not blank
}

// ---------------------------------------------------------------------------
// Errors

TEST_F(KeepingTest, ErrorsSpeakChineseWithTheDetailAfter) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  {
    Sqlite raw(dbPath());
    ASSERT_EQ(raw.exec("CREATE TRIGGER noins BEFORE INSERT ON Omenry BEGIN SELECT RAISE(ABORT, 'refused'); END"),
              SQLITE_OK);
  }
  try {
    add(f, QStringLiteral("x"));
    ADD_FAILURE() << "inserted";
  } catch (const StoreError& e) {
    EXPECT_TRUE(e.message().startsWith(QStringLiteral("数据库拒绝了这项修改。"))) << e.what();
    EXPECT_TRUE(e.message().endsWith(QStringLiteral("详细信息：refused"))) << e.what();
  }
  CasebookStore closed;
  try {
    closed.ListFolderRecords(1);
    ADD_FAILURE() << "listed";
  } catch (const StoreError& e) {
    EXPECT_TRUE(e.message().startsWith(QStringLiteral("数据库没有打开。"))) << e.what();
  }
}

}  // namespace
