// The casebook store under the faults a desktop casebook meets: another
// connection holding the write lock, two programs saving into one file,
// text with odd characters, and a damaged database file.

#include "casebook_store.h"
#include "damage.h"
#include "literal_search.h"
#include "sqlite_helpers.h"

#include <QCryptographicHash>
#include <QDir>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace {

QString DbPath(const QString& dir) {
  return dir + QLatin1Char('/') + CasebookStore::DatabaseFileName();
}

class SafetyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    dir_ = tmp_.path() + QStringLiteral("/Data");
    store_.OpenStore(dir_);
  }
  QString dbPath() const { return DbPath(dir_); }

  QTemporaryDir tmp_;
  QString dir_;
  CasebookStore store_;
};

QByteArray FileHash(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return QByteArray();
  return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
}

}  // namespace

// ---------------------------------------------------------------------------
// Another connection holding the write lock

TEST_F(SafetyTest, EveryWriteWaitsForAnotherWriterInsteadOfFailing) {
  const RowId folder = store_.AddFolder(0, QStringLiteral("甲"));
  const RowId spare = store_.AddFolder(0, QStringLiteral("乙"));
  const RowId record = store_.InsertRecord(folder, {QStringLiteral("一"), QString(), QDate(2024, 1, 2), false, QStringLiteral("正文")});
  const RowId doomed = store_.InsertRecord(folder, {QStringLiteral("二"), QString(), QDate(2024, 1, 2), false, QStringLiteral("正文")});
  const std::vector<std::pair<const char*, std::function<void()>>> writes = {
      {"AddFolder", [&] { store_.AddFolder(0, QStringLiteral("丙")); }},
      {"RenameFolder", [&] { store_.RenameFolder(folder, QStringLiteral("甲甲")); }},
      {"InsertRecord",
       [&] { store_.InsertRecord(folder, {QStringLiteral("三"), QString(), QDate(), true, QStringLiteral("x")}); }},
      {"UpdateRecord",
       [&] { store_.UpdateRecord(record, {QStringLiteral("一改"), QString(), QDate(), true, QStringLiteral("y")}); }},
      {"DeleteRecord", [&] { store_.DeleteRecord(doomed); }},
      {"DeleteFolder", [&] { store_.DeleteFolder(spare); }},
  };
  for (const auto& [name, write] : writes) {
    // Each write is the first of a freshly opened store, as the first save
    // after the program starts: the connection has not touched the word
    // index yet.
    store_.OpenStore(dir_);
    LockHolder other(dbPath(), std::chrono::milliseconds(300));
    ASSERT_TRUE(other.holding()) << name;
    QElapsedTimer clock;
    clock.start();
    try {
      write();
    } catch (const StoreError& e) {
      ADD_FAILURE() << name << " failed under the other writer's lock: " << e.what();
    }
    // It waited for the other writer to finish, then wrote.
    EXPECT_GE(clock.elapsed(), 200) << name;
  }
  Sqlite raw(dbPath());
  EXPECT_EQ(raw.integer("SELECT COUNT(*) FROM Folder WHERE DT IS NULL"), 2);  // 甲甲 and 丙
  EXPECT_EQ(raw.integer("SELECT COUNT(*) FROM Folder WHERE Name='甲甲'"), 1);
  EXPECT_EQ(raw.integer("SELECT COUNT(*) FROM Omenry WHERE DT IS NULL"), 2);  // 一改 and 三
  EXPECT_EQ(raw.integer("SELECT COUNT(*) FROM Omenry WHERE BT='一改'"), 1);
}

TEST_F(SafetyTest, TwoProgramsOnOneCasebookNeverFailEachOthersSaves) {
  const RowId folder = store_.AddFolder(0, QStringLiteral("甲"));
  constexpr int kSaves = 40;
  std::atomic<int> failures{0};
  // Each "program" inserts records, rewrites each one and deletes every
  // other one, as fast as it can, through a store of its own.
  auto program = [&](const QString& tag) {
    CasebookStore store;
    try {
      store.OpenStore(dir_);
    } catch (const StoreError&) {
      ++failures;
      return;
    }
    for (int i = 0; i < kSaves; ++i) {
      try {
        const RowId id = store.InsertRecord(folder, {tag + QString::number(i), QString(), QDate(2024, 5, 6), false, QStringLiteral("正文")});
        store.UpdateRecord(id, {tag + QString::number(i), QStringLiteral("某"), QDate(2024, 5, 7), true, QStringLiteral("改过的正文")});
        if (i % 2) store.DeleteRecord(id);
      } catch (const StoreError& e) {
        ++failures;
        ADD_FAILURE() << tag.toStdString() << " save " << i << ": " << e.what();
      }
    }
  };
  std::thread a(program, QStringLiteral("a"));
  std::thread b(program, QStringLiteral("b"));
  a.join();
  b.join();
  EXPECT_EQ(failures.load(), 0);
  Sqlite raw(dbPath());
  EXPECT_EQ(raw.integer("SELECT COUNT(*) FROM Omenry WHERE DT IS NULL"), kSaves);  // half of each program's
  EXPECT_EQ(raw.integer("SELECT COUNT(*) FROM Omenry WHERE LR='改过的正文' AND FK=1 AND DT IS NULL"), kSaves);
}

// ---------------------------------------------------------------------------
// Characters

TEST_F(SafetyTest, UnpairedSurrogatesBecomeReplacementCharactersAndAllElseIsKept) {
  const struct {
    QString given;
    QString stored;
  } cases[] = {
      // A lone high surrogate must not swallow the character after it.
      {QStringLiteral("A") + QChar(0xD800) + QStringLiteral("BC"), QStringLiteral("A\uFFFDBC")},
      {QStringLiteral("A") + QChar(0xDC00) + QStringLiteral("BC"), QStringLiteral("A\uFFFDBC")},
      {QString(QChar(0xDC00)) + QChar(0xD800), QStringLiteral("\uFFFD\uFFFD")},  // reversed pair
      {QStringLiteral("乙") + QChar(0xD83D), QStringLiteral("乙\uFFFD")},          // high at the end
      {QString(QChar(0xDE00)) + QStringLiteral("乙"), QStringLiteral("\uFFFD乙")}, // low at the start
      {QStringLiteral("\U0001F600甲\U00020000"), QStringLiteral("\U0001F600甲\U00020000")},
      {QStringLiteral("\uFFFE\uFFFF"), QStringLiteral("\uFFFE\uFFFF")},
      {QStringLiteral("a\uFFFFb\uFFFEc"), QStringLiteral("a\uFFFFb\uFFFEc")},
      {QStringLiteral("\uFEFF开头"), QStringLiteral("\uFEFF开头")},  // not taken for a byte-order mark
      {QStringLiteral("\uFFFD"), QStringLiteral("\uFFFD")},
      {QStringLiteral("x") + QChar(0) + QStringLiteral("y"), QStringLiteral("x") + QChar(0) + QStringLiteral("y")},
      {QStringLiteral("\u200B\u00A0\u3000\t\r\n\u007F\u0085"), QStringLiteral("\u200B\u00A0\u3000\t\r\n\u007F\u0085")},
  };
  for (const auto& c : cases) {
    const std::string what = c.given.toUtf8().toHex().toStdString();
    const RowId folder = store_.AddFolder(0, c.given);
    const RowId renamed = store_.AddFolder(0, QStringLiteral("x"));
    const std::optional<QString> shown = store_.RenameFolder(renamed, c.given);
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(*shown, c.stored) << what;  // the name as stored
    const RowId r = store_.InsertRecord(folder, {c.given, c.given, QDate(2024, 1, 1), false, c.given});
    const RowId u = store_.InsertRecord(folder, {QString(), QString(), QDate(), false, QString()});
    store_.UpdateRecord(u, {c.given, c.given, QDate(), true, c.given});

    for (const FolderRow& row : store_.FolderChildren(0))
      if (row.id == folder || row.id == renamed) {
        EXPECT_EQ(row.name, c.stored) << what;
      }
    store_.ListFolderRecords(folder);
    RecordList* list = store_.records();
    ASSERT_EQ(list->count(), 2) << what;
    for (RowId id : {r, u}) {
      ASSERT_TRUE(list->locate(id));
      EXPECT_EQ(list->currentTitle(), c.stored) << what;
      EXPECT_EQ(list->currentQuerent(), c.stored) << what;
      EXPECT_EQ(list->currentText(), c.stored) << what;
    }
    // Found by the title as stored.
    SearchCondition byTitle;
    byTitle.clauses = {{SearchField::Title, {c.stored}, true}};
    store_.SearchRecords(byTitle);
    EXPECT_GE(store_.records()->rowOfId(r), 0) << what;
  }
}

// ---------------------------------------------------------------------------
// A damaged file


TEST_F(SafetyTest, DamagedFileIsNoticedAndNothingIsWrittenIntoIt) {
  const RowId folder = store_.AddFolder(0, QStringLiteral("甲"));
  QString longText;
  for (int i = 0; i < 2000; ++i) longText += QStringLiteral("卦%1 ").arg(i);
  store_.InsertRecord(folder, {QStringLiteral("长"), QString(), QDate(2024, 1, 1), false, longText});
  for (int i = 0; i < 20; ++i)
    store_.InsertRecord(folder, {QStringLiteral("短%1").arg(i), QString(), QDate(2024, 1, 1), false, QStringLiteral("正文")});
  store_.close();  // the log is written back into the file and removed
  ASSERT_TRUE(DamageRecordsPage(dbPath()));
  const QByteArray before = FileHash(dbPath());

  store_.OpenStore(dir_);
  EXPECT_TRUE(store_.isDamaged());
  EXPECT_FALSE(store_.damageReport().isEmpty());
  const std::vector<std::pair<const char*, std::function<void()>>> writes = {
      {"AddFolder", [&] { store_.AddFolder(0, QStringLiteral("乙")); }},
      {"RenameFolder", [&] { store_.RenameFolder(folder, QStringLiteral("乙")); }},
      {"InsertRecord",
       [&] { store_.InsertRecord(folder, {QStringLiteral("新"), QString(), QDate(), false, QStringLiteral("x")}); }},
      {"UpdateRecord", [&] { store_.UpdateRecord(2, {QStringLiteral("改"), QString(), QDate(), false, QString()}); }},
      {"DeleteRecord", [&] { store_.DeleteRecord(3); }},
      {"DeleteFolder", [&] { store_.DeleteFolder(folder); }},
  };
  for (const auto& [name, write] : writes) {
    try {
      write();
      ADD_FAILURE() << name << " wrote into the damaged file";
    } catch (const StoreError& e) {
      EXPECT_TRUE(e.damaged()) << name;
      EXPECT_TRUE(e.message().contains(QStringLiteral("已损坏"))) << e.what();
    }
  }
  // What can still be read is shown: the folder, the list, a short text.
  ASSERT_EQ(store_.FolderChildren(0).size(), 1);
  store_.ListFolderRecords(folder);
  EXPECT_EQ(store_.records()->count(), 21);
  ASSERT_TRUE(store_.records()->locate(3));
  EXPECT_EQ(store_.records()->currentText(), QStringLiteral("正文"));
  store_.close();
  EXPECT_EQ(FileHash(dbPath()), before);
}

TEST_F(SafetyTest, SoundFileIsNotDamagedAndAnUnreadableOneSaysItIs) {
  EXPECT_FALSE(store_.isDamaged());
  EXPECT_TRUE(store_.damageReport().isEmpty());
  store_.AddFolder(0, QStringLiteral("甲"));
  store_.close();
  // Garbage over the first page, the file's header among it.
  {
    QFile f(dbPath());
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.write(QByteArray(4096, '\x5a'));
  }
  const QByteArray before = FileHash(dbPath());
  try {
    store_.OpenStore(dir_);
    ADD_FAILURE() << "opened a file without a header";
  } catch (const StoreError& e) {
    EXPECT_TRUE(e.damaged()) << e.what();
  }
  EXPECT_FALSE(store_.isOpen());
  EXPECT_EQ(FileHash(dbPath()), before);
}

// ---------------------------------------------------------------------------
// A large casebook is checked beside

namespace {

// Makes every casebook "large" while it lives.
struct CheckBeside {
  CheckBeside() : saved(CasebookStore::BackgroundCheckBytes()) { CasebookStore::SetBackgroundCheckBytes(0); }
  ~CheckBeside() { CasebookStore::SetBackgroundCheckBytes(saved); }
  qint64 saved;
};

// Runs the event loop until the store reports its check (at most 30 s).
bool WaitForCheck(int& reports) {
  QElapsedTimer t;
  t.start();
  while (reports == 0 && t.elapsed() < 30000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return reports > 0;
}

}  // namespace

TEST_F(SafetyTest, LargeSoundCasebookIsReadWhileCheckedAndWrittenAfter) {
  const RowId folder = store_.AddFolder(0, QStringLiteral("甲"));
  const RowId record = store_.InsertRecord(folder, {QStringLiteral("一"), QString(), QDate(2024, 1, 1), false, QStringLiteral("正文")});
  CheckBeside beside;
  // A new casebook needs setting up: it is checked at once.
  {
    QTemporaryDir fresh;
    CasebookStore s;
    s.OpenStore(fresh.path());
    EXPECT_FALSE(s.isChecking());
    s.AddFolder(0, QStringLiteral("x"));
  }
  int reports = 0;
  QObject::connect(&store_, &CasebookStore::checkFinished, [&] { ++reports; });
  for (const bool writeFirst : {false, true}) {
    reports = 0;
    store_.OpenStore(dir_);
    EXPECT_TRUE(store_.isChecking());
    // Reading goes on meanwhile.
    EXPECT_EQ(store_.FolderChildren(0).size(), 1u);
    store_.ListFolderRecords(folder);
    ASSERT_TRUE(store_.records()->locate(record));
    EXPECT_EQ(store_.records()->currentText(), QStringLiteral("正文"));
    SearchCondition words;
    words.clauses = {{SearchField::Text, {QStringLiteral("正文")}, true}};
    store_.SearchRecords(words);
    EXPECT_EQ(store_.records()->count(), 1);
    if (writeFirst) {
      // A write waits for the verdict, then writes.
      store_.RenameFolder(folder, QStringLiteral("甲甲"));
      EXPECT_FALSE(store_.isChecking());
    }
    ASSERT_TRUE(WaitForCheck(reports));
    EXPECT_EQ(reports, 1);
    EXPECT_FALSE(store_.isChecking());
    EXPECT_FALSE(store_.isDamaged());
    EXPECT_TRUE(store_.checkError().isEmpty());
    store_.InsertRecord(folder, {QStringLiteral("二"), QString(), QDate(), false, QStringLiteral("x")});
  }
  Sqlite raw(dbPath());
  EXPECT_EQ(raw.integer("SELECT COUNT(*) FROM Omenry"), 3);
  EXPECT_EQ(raw.integer("SELECT COUNT(*) FROM Folder WHERE Name='甲甲'"), 1);
}

TEST_F(SafetyTest, LargeDamagedCasebookIsFoundBesideAndNeverWritten) {
  const RowId folder = store_.AddFolder(0, QStringLiteral("甲"));
  QString longText;
  for (int i = 0; i < 2000; ++i) longText += QStringLiteral("卦%1 ").arg(i);
  store_.InsertRecord(folder, {QStringLiteral("长"), QString(), QDate(2024, 1, 1), false, longText});
  store_.InsertRecord(folder, {QStringLiteral("短"), QString(), QDate(2024, 1, 1), false, QStringLiteral("正文")});
  store_.close();
  ASSERT_TRUE(DamageRecordsPage(dbPath()));
  const QByteArray before = FileHash(dbPath());
  CheckBeside beside;
  int reports = 0;
  QObject::connect(&store_, &CasebookStore::checkFinished, [&] { ++reports; });
  for (const bool writeFirst : {false, true}) {
    reports = 0;
    store_.OpenStore(dir_);
    EXPECT_TRUE(store_.isChecking());
    EXPECT_EQ(store_.FolderChildren(0).size(), 1u);
    if (writeFirst) {
      try {
        store_.AddFolder(0, QStringLiteral("乙"));
        ADD_FAILURE() << "wrote into the damaged file";
      } catch (const StoreError& e) {
        EXPECT_TRUE(e.damaged()) << e.what();
      }
    }
    ASSERT_TRUE(WaitForCheck(reports));
    EXPECT_EQ(reports, 1);
    EXPECT_TRUE(store_.isDamaged());
    EXPECT_FALSE(store_.damageReport().isEmpty());
    EXPECT_THROW(store_.InsertRecord(folder, {QStringLiteral("新"), QString(), QDate(), false, QString()}),
                 StoreError);
    store_.close();
    EXPECT_EQ(FileHash(dbPath()), before);
  }
  // Closed while the check runs: it is given up at once.
  store_.OpenStore(dir_);
  EXPECT_TRUE(store_.isChecking());
  store_.close();
  EXPECT_FALSE(store_.isChecking());
  QCoreApplication::processEvents();
  EXPECT_EQ(reports, 1);  // the earlier opening's report, nothing from this one
  EXPECT_EQ(FileHash(dbPath()), before);
}

// ---------------------------------------------------------------------------
// The search on the connections that only read

// The search is literal on every connection the store reads through: the
// read-only one while a large casebook is checked beside, and the one of a
// damaged casebook.
TEST_F(SafetyTest, SearchIsLiteralOnReadOnlyConnections) {
  const RowId folder = store_.AddFolder(0, QStringLiteral("甲"));
  std::vector<literal_search::Record> records;
  auto add = [&](const QString& title, const QString& text) {
    records.push_back({store_.InsertRecord(folder, {title, QString(), QDate(2024, 1, 1), false, text}), title, text});
  };
  for (const QString& v : literal_search::OddValues()) add(v, v);
  QString longText;  // for the damage
  for (int i = 0; i < 2000; ++i) longText += QStringLiteral("卦%1 ").arg(i);
  add(QStringLiteral("长"), longText);
  store_.close();

  // Title words (a title is read even where the damage lies), through the
  // index and by scanning.
  std::vector<SearchCondition> conditions;
  for (const QString& w : literal_search::OddWords()) {
    conditions.emplace_back();
    conditions.back().clauses = {{SearchField::Title, {w}, true}};
  }
  auto check = [&](const char* state) {
    literal_search::ExpectAsTheOracle(store_, records, conditions, state);
  };
  {
    CheckBeside beside;
    store_.OpenStore(dir_);
    ASSERT_TRUE(store_.isChecking());
    check("read while checked beside: ");
    store_.close();
  }
  store_.OpenStore(dir_);  // writable: closing removes the log the reader left
  store_.close();
  ASSERT_TRUE(DamageRecordsPage(dbPath()));
  store_.OpenStore(dir_);
  ASSERT_TRUE(store_.isDamaged());
  check("damaged: ");
}
