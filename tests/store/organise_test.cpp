// Organising the casebook: moving records and folders, and the order of the
// record list (sorted by the database, never by the window).

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

#include "casebook_store.h"
#include "sqlite_helpers.h"

namespace {

class OrganiseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    dir_ = tmp_.path() + QStringLiteral("/Data");
    store_.OpenStore(dir_);
  }
  QStringList titles() {
    QStringList out;
    RecordList* list = store_.records();
    for (int r = 0; r < list->count(); ++r) out << list->title(r);
    return out;
  }
  std::vector<RowId> children(RowId parent) {
    std::vector<RowId> ids;
    for (const FolderRow& f : store_.FolderChildren(parent)) ids.push_back(f.id);
    return ids;
  }

  QTemporaryDir tmp_;
  QString dir_;
  CasebookStore store_;
};

TEST_F(OrganiseTest, RecordsMoveTogetherInOneTransaction) {
  const RowId a = store_.AddFolder(0, QStringLiteral("甲"));
  const RowId b = store_.AddFolder(0, QStringLiteral("乙"));
  const RowId r1 = store_.InsertRecord(a, {QStringLiteral("一"), {}, {}, false, QStringLiteral("x")});
  const RowId r2 = store_.InsertRecord(a, {QStringLiteral("二"), {}, {}, false, QStringLiteral("y")});
  const RowId r3 = store_.InsertRecord(a, {QStringLiteral("三"), {}, {}, false, QStringLiteral("z")});
  EXPECT_EQ(store_.MoveRecords({r1, r3}, b), 2);
  store_.ListFolderRecords(b);
  EXPECT_EQ(titles(), (QStringList{"三", "一"}));
  store_.ListFolderRecords(a);
  EXPECT_EQ(titles(), QStringList{"二"});
  EXPECT_EQ(store_.CheckRecord(r1), RecordIntegrity::Sound);  // the folder is not part of the checksum

  // Never to the root, the bin or a folder that is gone.
  EXPECT_THROW(store_.MoveRecords({r2}, 0), StoreError);
  ASSERT_TRUE(store_.DeleteFolder(b));
  EXPECT_THROW(store_.MoveRecords({r2}, b), StoreError);
  store_.ListFolderRecords(a);
  EXPECT_EQ(titles(), QStringList{"二"});

  // A failure halfway leaves every record where it was.
  const RowId c = store_.AddFolder(0, QStringLiteral("丙"));
  {
    Sqlite raw(dir_ + QStringLiteral("/casebook.sqlite"));
    ASSERT_EQ(raw.exec("CREATE TRIGGER stop BEFORE UPDATE OF FL ON Omenry WHEN new.ID=2 "
                       "BEGIN SELECT RAISE(ABORT, 'stop'); END"),
              SQLITE_OK);
  }
  const RowId r4 = store_.InsertRecord(a, {QStringLiteral("四"), {}, {}, false, {}});
  EXPECT_THROW(store_.MoveRecords({r4, r2}, c), StoreError);
  store_.ListFolderRecords(c);
  EXPECT_TRUE(titles().isEmpty());
  store_.ListFolderRecords(a);
  EXPECT_EQ(titles(), (QStringList{"四", "二"}));
}

TEST_F(OrganiseTest, AFolderNeverMovesIntoItself) {
  const RowId a = store_.AddFolder(0, QStringLiteral("甲"));
  const RowId a1 = store_.AddFolder(a, QStringLiteral("甲一"));
  const RowId a11 = store_.AddFolder(a1, QStringLiteral("甲一一"));
  const RowId b = store_.AddFolder(0, QStringLiteral("乙"));
  for (const RowId into : {a, a1, a11}) EXPECT_THROW(store_.MoveFolder(a, into), StoreError);
  EXPECT_EQ(children(0), (std::vector<RowId>{a, b}));
  EXPECT_TRUE(store_.FolderIsWithin(a11, a));
  EXPECT_FALSE(store_.FolderIsWithin(a, a11));
  EXPECT_TRUE(store_.MoveFolder(a1, b));  // with its own sub-folder
  EXPECT_EQ(children(b), std::vector<RowId>{a1});
  EXPECT_EQ(children(a1), std::vector<RowId>{a11});
  EXPECT_TRUE(store_.MoveFolder(a1, 0));
  EXPECT_EQ(children(0), (std::vector<RowId>{a, a1, b}));
  EXPECT_FALSE(store_.MoveFolder(999, 0));
}

TEST_F(OrganiseTest, TheListIsSortedByTheDatabase) {
  const RowId f = store_.AddFolder(0, QStringLiteral("甲"));
  struct Row {
    const char* title;
    const char* querent;
    QDate date;
    bool feedback;
  };
  // Titles in pinyin: 八 ba, 婚 hun, 财 cai, 阿 a.
  const Row rows[] = {{"婚姻", "王", QDate(2024, 3, 1), true},
                      {"阿姨", "李", QDate(2020, 1, 1), false},
                      {"财运", "张", QDate(2025, 7, 9), true},
                      {"八字", "陈", QDate(), false}};
  for (const Row& r : rows)
    store_.InsertRecord(f, {QString::fromUtf8(r.title), QString::fromUtf8(r.querent), r.date, r.feedback, {}});
  store_.ListFolderRecords(f);
  EXPECT_EQ(titles(), (QStringList{"八字", "财运", "阿姨", "婚姻"}));  // newest first
  ASSERT_TRUE(store_.records()->locate(store_.records()->id(1)));
  const RowId current = store_.records()->currentId();

  const struct {
    ListOrder order;
    Qt::SortOrder direction;
    QStringList expected;
  } cases[] = {
      {ListOrder::Title, Qt::AscendingOrder, {"阿姨", "八字", "财运", "婚姻"}},
      {ListOrder::Title, Qt::DescendingOrder, {"婚姻", "财运", "八字", "阿姨"}},
      {ListOrder::Querent, Qt::AscendingOrder, {"八字", "阿姨", "婚姻", "财运"}},  // chen li wang zhang
      {ListOrder::Date, Qt::AscendingOrder, {"八字", "阿姨", "婚姻", "财运"}},     // no date first
      {ListOrder::Date, Qt::DescendingOrder, {"财运", "婚姻", "阿姨", "八字"}},
      {ListOrder::Feedback, Qt::AscendingOrder, {"八字", "阿姨", "财运", "婚姻"}},  // ×, then √; newest first
      {ListOrder::Newest, Qt::AscendingOrder, {"婚姻", "阿姨", "财运", "八字"}},
      {ListOrder::Newest, Qt::DescendingOrder, {"八字", "财运", "阿姨", "婚姻"}},
  };
  for (const auto& c : cases) {
    store_.SetListOrder(c.order, c.direction);
    EXPECT_EQ(titles(), c.expected) << static_cast<int>(c.order) << " " << c.direction;
    EXPECT_EQ(store_.records()->currentId(), current);  // the current record stays current
  }
  // The order holds for the next listing and for search hits too.
  store_.SetListOrder(ListOrder::Title, Qt::AscendingOrder);
  store_.ListFolderRecords(f);
  EXPECT_EQ(titles(), (QStringList{"阿姨", "八字", "财运", "婚姻"}));
  SearchCondition any;
  any.clauses = {{SearchField::Title, {QStringLiteral("字"), QStringLiteral("运"), QStringLiteral("姻")}, false}};
  store_.SearchRecords(any);
  EXPECT_EQ(titles(), (QStringList{"八字", "财运", "婚姻"}));
  store_.SearchRecordsByScan(any);
  EXPECT_EQ(titles(), (QStringList{"八字", "财运", "婚姻"}));
  // The hits carry their folder's name.
  EXPECT_EQ(store_.records()->folderName(0), QStringLiteral("甲"));
}

}  // namespace
