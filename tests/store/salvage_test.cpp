// Salvage of really damaged casebooks: each kind of damage, with and
// without a backup, against what the casebook held before it was damaged.
// The expected casebook follows from that content and the salvage's rules:
// a row read whole stays as it was; a row read in part gives way to the
// backup's, or keeps what could be read with its lost text marked; the
// backup adds what is missing; its other versions of rows read whole go
// under their own folder; records without a folder go under another.

#include "casebook_backup.h"
#include "casebook_salvage.h"
#include "casebook_store.h"
#include "damage.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <QFileInfo>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

const std::string kNull = "<NULL>";

// Rows of one table by ID, each field as its stored bytes.
using Rows = std::map<qint64, std::vector<std::string>>;

// The fields compared: those the user sees.
constexpr int kFL = 3, kLR = 5;  // in BT, QZR, SJ, FL, FK, LR
constexpr int kName = 1;         // in ParentID, Name

Rows ReadRows(const QString& path, const char* sql) {
  Rows rows;
  sqlite3* db = nullptr;
  // Immutable: a look that leaves no log or shared-memory file beside it.
  const QByteArray uri = "file:" + path.toUtf8() + "?immutable=1";
  if (sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK) {
      while (sqlite3_step(st) == SQLITE_ROW) {
        std::vector<std::string> fields;
        for (int i = 1; i < sqlite3_column_count(st); ++i) {
          const auto* bytes = static_cast<const char*>(sqlite3_column_blob(st, i));
          fields.push_back(sqlite3_column_type(st, i) == SQLITE_NULL
                               ? kNull
                               : std::string(bytes ? bytes : "", size_t(sqlite3_column_bytes(st, i))));
        }
        rows[sqlite3_column_int64(st, 0)] = fields;
      }
    } else {
      ADD_FAILURE() << sqlite3_errmsg(db);
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return rows;
}

struct Casebook {
  Rows folders;
  Rows records;
};

Casebook Read(const QString& path) {
  return {ReadRows(path, "SELECT ID, CAST(ParentID AS BLOB), CAST(Name AS BLOB) FROM Folder"),
          ReadRows(path, "SELECT ID, CAST(BT AS BLOB), CAST(QZR AS BLOB), CAST(SJ AS BLOB), "
                         "CAST(FL AS BLOB), CAST(FK AS BLOB), CAST(LR AS BLOB) FROM Omenry")};
}

std::string Utf8(const char16_t* text) { return QString::fromUtf16(text).toStdString(); }

QByteArray FileHash(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return QByteArray();
  return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
}

// What a kind of damage made unreadable, worked out from the file's pages
// before they were overwritten.
struct Lost {
  std::set<qint64> gone;     // records lost altogether (row and index entry)
  std::set<qint64> rows;     // records whose table row is lost (the index still has them)
  std::set<qint64> texts;    // records whose text alone is lost
  bool folderNames = false;  // the folders' rows are lost (the index still has their places)
  bool folders = false;      // the folders are lost altogether
  bool everything = false;   // SQLite cannot read the file at all
};

struct Damage {
  const char* name;  // of the test case
  const char* what;
  std::function<Lost(const QString& path, const Casebook& before, qint64 firstLong)> apply;
};

// The casebook the salvage should give.
struct Expected {
  Casebook book;
  std::vector<std::vector<std::string>> variants;  // the backup's other versions (FL left out)
  std::set<qint64> lostFolder;                      // records filed under kLostFolderName
  qint64 partial = 0;   // records read in part, not in the backup: marked
  qint64 replaced = 0;  // records read in part, taken from the backup
  qint64 added = 0;     // records the damaged file did not give, taken from the backup
};

Expected Expect(const Casebook& now, const Casebook& bak, const Lost& lost) {
  Expected e;
  auto partial = [&](qint64 id) { return lost.rows.count(id) || lost.texts.count(id); };
  if (!lost.everything) {
    for (const auto& [id, rec] : now.records) {
      if (lost.gone.count(id)) continue;
      if (!partial(id)) {
        e.book.records[id] = rec;
      } else if (bak.records.count(id)) {
        e.book.records[id] = bak.records.at(id);
        ++e.replaced;
      } else {
        std::vector<std::string> r = rec;
        r[kLR] = Utf8(kUnreadableText);
        e.book.records[id] = r;
        ++e.partial;
      }
    }
    for (const auto& [id, folder] : now.folders) {
      if (lost.folders || lost.folderNames) {
        if (bak.folders.count(id)) {
          e.book.folders[id] = bak.folders.at(id);
        } else if (lost.folderNames) {
          std::vector<std::string> f = folder;
          f[kName] = Utf8(kUnreadableName);
          e.book.folders[id] = f;
        }
      } else {
        e.book.folders[id] = folder;
      }
    }
  }
  for (const auto& [id, rec] : bak.records) e.added += e.book.records.emplace(id, rec).second ? 1 : 0;
  for (const auto& [id, folder] : bak.folders) e.book.folders.emplace(id, folder);
  for (const auto& [id, rec] : now.records) {
    if (lost.everything || lost.gone.count(id) || partial(id) || !bak.records.count(id)) continue;
    std::vector<std::string> b = bak.records.at(id);
    std::vector<std::string> r = rec;
    b[kFL] = r[kFL] = std::string();
    if (b != r) e.variants.push_back(b);
  }
  for (auto& [id, rec] : e.book.records)
    if (!e.book.folders.count(std::stoll(rec[kFL]))) e.lostFolder.insert(id);
  return e;
}

class SalvageFixture {
 protected:
  QString dir() const { return tmp_.path() + QStringLiteral("/Data"); }
  QString db() const { return dir() + QLatin1Char('/') + CasebookStore::DatabaseFileName(); }
  QString backup() const { return tmp_.path() + QStringLiteral("/backup.sqlite"); }

  // Three folders and 62 records, two of them long; a backup; then a record
  // edited, one deleted for good, a folder and two records added.
  qint64 MakeCasebook() {
    CasebookStore s;
    s.OpenStore(dir());
    const RowId f1 = s.AddFolder(0, QStringLiteral("卦例"));
    const RowId f2 = s.AddFolder(f1, QStringLiteral("六爻"));
    const RowId f3 = s.AddFolder(0, QStringLiteral("八字"));
    const RowId folders[] = {f1, f2, f3};
    QList<RowId> ids;
    for (int i = 1; i <= 60; ++i)
      ids << s.InsertRecord(folders[i % 3], {QStringLiteral("标题%1：问近日出行是否顺利，宜往何方，何时动身为佳").arg(i), QStringLiteral("求占人%1").arg(i), QDate(2024, 1, 1 + i % 28), i % 2 != 0, QStringLiteral("正文%1：问事").arg(i)});
    const RowId long1 = s.InsertRecord(f1, {QStringLiteral("长文一"), QString(), QDate(2024, 2, 1), true, QString(20000, QChar(0x5366))});
    s.InsertRecord(f3, {QStringLiteral("长文二"), QString(), QDate(2024, 2, 2), false, QString(20000, QChar(0x723B))});
    EXPECT_EQ(CopyDatabase(db(), backup()), CopyOutcome::Done);
    s.UpdateRecord(ids[4], {QStringLiteral("标题5：问近日出行是否顺利，宜往何方，何时动身为佳"), QStringLiteral("求占人5"), QDate(2024, 1, 6), true, QStringLiteral("改过的正文")});
    s.DeleteRecord(ids[6]);
    s.PurgeRecord(ids[6]);  // gone for good, not only into the recycle bin
    s.InsertRecord(f3, {QStringLiteral("新一"), QString(), QDate(2024, 3, 1), false, QStringLiteral("备份之后")});
    const RowId f4 = s.AddFolder(f3, QStringLiteral("新分类"));
    s.InsertRecord(f4, {QStringLiteral("新二"), QString(), QDate(2024, 3, 2), false, QStringLiteral("备份之后")});
    return long1;
  }

  QTemporaryDir tmp_;
};

class SalvageTest : public SalvageFixture, public ::testing::TestWithParam<Damage> {
 protected:
  void SetUp() override { ASSERT_TRUE(tmp_.isValid()); }
};
class SalvageFlowTest : public SalvageFixture, public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(tmp_.isValid()); }
};

TEST_P(SalvageTest, GivesEveryReadableRowAndWhatTheBackupAdds) {
  const Damage& damage = GetParam();
  SCOPED_TRACE(damage.what);
  const qint64 long1 = MakeCasebook();
  const Casebook now = Read(db()), bak = Read(backup());
  ASSERT_EQ(now.records.size(), 63u);
  const Lost lost = damage.apply(db(), now, long1);
  const QByteArray damagedHash = FileHash(db());

  for (const bool withBackup : {false, true}) {
    SCOPED_TRACE(withBackup ? "with the backup" : "without a backup");
    QString error;
    const QString fresh = MakeSalvageTarget(dir(), &error);
    ASSERT_FALSE(fresh.isEmpty()) << error.toStdString();
    const SalvageReport report = SalvageCasebook(db(), withBackup ? backup() : QString(), fresh);
    EXPECT_EQ(FileHash(db()), damagedHash) << "the damaged file was written";
    EXPECT_EQ(report.damagedReadable, !lost.everything);
    if (lost.everything && !withBackup) {
      EXPECT_TRUE(report.error.contains(QStringLiteral("读不出任何"))) << report.error.toStdString();
      DiscardSalvage(fresh);
      continue;
    }
    ASSERT_EQ(report.error, QString()) << report.error.toStdString();
    const Expected want = Expect(now, withBackup ? bak : Casebook{}, lost);
    Casebook got = Read(fresh);
    DiscardSalvage(fresh);

    // The folders for what has no place of its own, and what is in them.
    auto special = [&](const char16_t* name) {
      for (const auto& [id, folder] : got.folders)
        if (folder[kName] == Utf8(name)) {
          EXPECT_EQ(folder[0], "0") << "under the root";
          const qint64 found = id;
          got.folders.erase(found);
          return found;
        }
      return qint64(-1);
    };
    const qint64 variantFolder = special(kVariantFolderName);
    const qint64 lostFolder = special(kLostFolderName);
    EXPECT_EQ(variantFolder >= 0, !want.variants.empty());
    EXPECT_EQ(lostFolder >= 0, !want.lostFolder.empty());
    std::vector<std::vector<std::string>> variants;
    std::set<qint64> inLostFolder;
    for (auto it = got.records.begin(); it != got.records.end();) {
      const qint64 fl = std::stoll(it->second[kFL]);
      if (fl == variantFolder) {
        std::vector<std::string> v = it->second;
        v[kFL] = std::string();
        variants.push_back(v);
        EXPECT_GT(it->first, bak.records.rbegin()->first) << "a variant gets an ID of its own";
        it = got.records.erase(it);
        continue;
      }
      if (fl == lostFolder) {
        inLostFolder.insert(it->first);
        it->second[kFL] = want.book.records.count(it->first) ? want.book.records.at(it->first)[kFL] : "";
      }
      ++it;
    }
    EXPECT_EQ(got.folders, want.book.folders);
    EXPECT_EQ(got.records.size(), want.book.records.size());
    for (const auto& [id, rec] : want.book.records) {
      ASSERT_TRUE(got.records.count(id)) << "record " << id << " is missing";
      EXPECT_EQ(got.records.at(id), rec) << "record " << id;
    }
    EXPECT_EQ(variants, want.variants);
    EXPECT_EQ(inLostFolder, want.lostFolder);
    EXPECT_EQ(report.variants, qint64(want.variants.size()));
    EXPECT_EQ(report.lostFolderRecords, qint64(want.lostFolder.size()));
    EXPECT_EQ(report.partialRecords, want.partial);
    EXPECT_EQ(report.replacedRecords, want.replaced);
    EXPECT_EQ(report.backupRecords, want.added);
  }
}

// The salvaged casebook takes the damaged one's place: the store opens it as
// sound and writes it, its search finds what was salvaged, and the damaged
// file is kept as it was.
TEST_F(SalvageFlowTest, SalvagedCasebookTakesThePlaceOfTheDamagedOne) {
  MakeCasebook();
  const auto overflow = PagesOf(db(), "Omenry", "overflow");
  ASSERT_GE(overflow.size(), 2u);
  ASSERT_TRUE(DamagePage(db(), overflow[1].page));
  const QByteArray damagedHash = FileHash(db());

  // A damaged backup is refused; a cancelled salvage says so.
  const QString damagedBackup = tmp_.path() + QStringLiteral("/damaged-backup.sqlite");
  ASSERT_TRUE(QFile::copy(db(), damagedBackup));
  QString error;
  QString fresh = MakeSalvageTarget(dir(), &error);
  ASSERT_FALSE(fresh.isEmpty()) << error.toStdString();
  EXPECT_TRUE(SalvageCasebook(db(), damagedBackup, fresh).error.contains(QStringLiteral("没有通过完整性检查")));
  DiscardSalvage(fresh);
  fresh = MakeSalvageTarget(dir(), &error);
  std::atomic<bool> cancel{true};
  EXPECT_EQ(SalvageCasebook(db(), backup(), fresh, &cancel).error, QStringLiteral("已取消。"));
  DiscardSalvage(fresh);
  EXPECT_FALSE(QFileInfo::exists(QFileInfo(fresh).path()));

  fresh = MakeSalvageTarget(dir(), &error);
  int lastDone = 0, lastTotal = 0;
  const SalvageReport report = SalvageCasebook(db(), backup(), fresh, nullptr, [&](int done, int total) {
    lastDone = done;
    lastTotal = total;
  });
  ASSERT_EQ(report.error, QString()) << report.error.toStdString();
  EXPECT_EQ(lastDone, lastTotal);
  EXPECT_EQ(lastTotal, 4 + 63);  // every folder and record of the damaged file
  QString kept;
  ASSERT_EQ(PutSalvageInPlace(dir(), fresh, &kept), QString());
  EXPECT_FALSE(QFileInfo::exists(QFileInfo(fresh).path()));
  EXPECT_TRUE(kept.startsWith(db() + QStringLiteral(".damaged-")));
  EXPECT_EQ(FileHash(kept), damagedHash);

  CasebookStore store;
  store.OpenStore(dir());
  EXPECT_FALSE(store.isDamaged());
  SearchCondition words;
  words.clauses << SearchClause{SearchField::Text, {QStringLiteral("备份之后")}, true};
  store.SearchRecords(words);
  EXPECT_EQ(store.records()->count(), 2);  // the two records added after the backup
  const RowId f = store.AddFolder(0, QStringLiteral("抢救之后"));
  EXPECT_GT(f, 4);
}

// The casts kept with the records are salvaged too: whole, with their
// records. One whose text lost a page gives way to the backup's copy, or,
// without a backup, is left out; one whose record is not there neither.
TEST_F(SalvageFlowTest, KeptCastsComeAlongWholeWithTheirRecords) {
  auto cast = [](int n, int textLength) {
    ChartCast c;
    c.method = QStringLiteral("bazi");
    c.request = QStringLiteral("{\"method\":1,\"n\":%1}").arg(n);
    c.corrected = QStringLiteral("1988-07-15 11:14:32");
    c.chartText = QStringLiteral("盘%1\r\n").arg(n) + QString(textLength, QChar(0x76D8));
    return c;
  };
  RowId a = 0, b = 0;
  QList<RowId> ofA, ofB;
  {
    CasebookStore s;
    s.OpenStore(dir());
    const RowId f = s.AddFolder(0, QStringLiteral("卦例"));
    a = s.InsertRecord(f, {QStringLiteral("甲"), {}, {}, false, QStringLiteral("正文")}, {cast(1, 10), cast(2, 10)});
    b = s.InsertRecord(f, {QStringLiteral("乙"), {}, {}, false, QStringLiteral("正文")}, {cast(3, 6000)});
    ASSERT_EQ(CopyDatabase(db(), backup()), CopyOutcome::Done);
    s.AddCasts(a, {cast(4, 10)});
    ofA = {s.ListCasts(a)[0].id, s.ListCasts(a)[1].id, s.ListCasts(a)[2].id};
    ofB = {s.ListCasts(b)[0].id};
  }
  {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(db().toUtf8().constData(), &raw), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(raw, "INSERT INTO OmenryCasts(RecordID, Method) VALUES (999, 'bazi')", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);  // a cast of no record
    sqlite3_close(raw);
  }
  const auto overflow = PagesOf(db(), "OmenryCasts", "overflow");
  ASSERT_GE(overflow.size(), 3u);
  ASSERT_TRUE(DamagePage(db(), overflow.at(1).page));

  for (const bool withBackup : {false, true}) {
    SCOPED_TRACE(withBackup ? "with the backup" : "without a backup");
    QString error;
    const QString fresh = MakeSalvageTarget(dir(), &error);
    ASSERT_FALSE(fresh.isEmpty()) << error.toStdString();
    const SalvageReport report = SalvageCasebook(db(), withBackup ? backup() : QString(), fresh);
    ASSERT_EQ(report.error, QString()) << report.error.toStdString();
    EXPECT_EQ(report.casts, withBackup ? 4 : 3);
    {
      CasebookStore salvaged;
      salvaged.OpenStore(QFileInfo(fresh).path());
      const QList<ChartCast> castsOfA = salvaged.ListCasts(a);
      ASSERT_EQ(castsOfA.size(), 3);
      for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(castsOfA[i].id, ofA[i]);
        EXPECT_EQ(castsOfA[i].chartText, cast(i == 2 ? 4 : i + 1, 10).chartText);
      }
      const QList<ChartCast> castsOfB = salvaged.ListCasts(b);
      ASSERT_EQ(castsOfB.size(), withBackup ? 1 : 0);
      if (withBackup) {
        EXPECT_EQ(castsOfB[0].id, ofB[0]);
        EXPECT_EQ(castsOfB[0].chartText, cast(3, 6000).chartText);
        EXPECT_EQ(castsOfB[0].request, cast(3, 6000).request);
      }
      EXPECT_TRUE(salvaged.ListCasts(999).isEmpty());
      // New casts get IDs above every one either file gave out.
      EXPECT_GT(salvaged.AddCasts(a, {cast(5, 10)}).value(0), ofA[2] + 1);
    }
    DiscardSalvage(fresh);
  }
}

// The records whose rows stand in the first `cells` places of the table.
std::set<qint64> FirstIds(const Casebook& book, int cells) {
  std::set<qint64> ids;
  for (auto it = book.records.begin(); it != book.records.end() && int(ids.size()) < cells; ++it)
    ids.insert(it->first);
  return ids;
}

const Damage kDamages[] = {
    {"LongText", "a page in the middle of the first long record's text",
     [](const QString& path, const Casebook&, qint64 firstLong) {
       // In the b-tree's order the first record's chain of overflow pages
       // comes first.
       const auto overflow = PagesOf(path, "Omenry", "overflow");
       EXPECT_GE(overflow.size(), 4u);
       EXPECT_TRUE(DamagePage(path, overflow.at(1).page));
       Lost lost;
       lost.texts = {firstLong};
       return lost;
     }},
    {"RecordsLeaf", "the records table's first leaf",
     [](const QString& path, const Casebook& before, qint64) {
       const auto leaves = PagesOf(path, "Omenry", "leaf");
       EXPECT_GE(leaves.size(), 3u);
       EXPECT_TRUE(DamagePage(path, leaves.front().page));
       Lost lost;
       lost.rows = FirstIds(before, leaves.front().cells);
       return lost;
     }},
    {"RecordsAndIndexLeaves", "the first leaves of the records table and of its list index",
     [](const QString& path, const Casebook& before, qint64) {
       const auto table = PagesOf(path, "Omenry", "leaf");
       const auto index = PagesOf(path, "OmenryListing", "leaf");
       EXPECT_GE(index.size(), 2u);
       EXPECT_TRUE(DamagePage(path, table.front().page));
       EXPECT_TRUE(DamagePage(path, index.front().page));
       // The index holds the records by folder, then ID.
       std::vector<std::pair<qint64, qint64>> byFolder;
       for (const auto& [id, rec] : before.records) byFolder.emplace_back(std::stoll(rec[kFL]), id);
       std::sort(byFolder.begin(), byFolder.end());
       std::set<qint64> inIndexLeaf;
       for (int i = 0; i < index.front().cells; ++i) inIndexLeaf.insert(byFolder[size_t(i)].second);
       Lost lost;
       for (const qint64 id : FirstIds(before, table.front().cells))
         (inIndexLeaf.count(id) ? lost.gone : lost.rows).insert(id);
       EXPECT_FALSE(lost.gone.empty());
       EXPECT_FALSE(lost.rows.empty());
       if (lost.rows.empty() || inIndexLeaf.empty()) return lost;
       // Records of the damaged index page past the damaged table page are
       // read from the table, which reads on past its damaged page.
       EXPECT_GT(*inIndexLeaf.rbegin(), *lost.rows.rbegin());
       return lost;
     }},
    {"RecordsRoot", "the records table's root",
     [](const QString& path, const Casebook& before, qint64) {
       const auto inner = PagesOf(path, "Omenry", "internal");
       EXPECT_EQ(inner.size(), 1u);
       EXPECT_TRUE(DamagePage(path, inner.front().page));
       Lost lost;
       for (const auto& [id, rec] : before.records) lost.rows.insert(id);
       return lost;
     }},
    {"FoldersPage", "the folders' page",
     [](const QString& path, const Casebook&, qint64) {
       const auto pages = PagesOf(path, "Folder", "leaf");
       EXPECT_EQ(pages.size(), 1u);
       EXPECT_TRUE(DamagePage(path, pages.front().page));
       Lost lost;
       lost.folderNames = true;
       return lost;
     }},
    {"FoldersAndIndex", "the folders' page and their index",
     [](const QString& path, const Casebook&, qint64) {
       for (const char* name : {"Folder", "FolderParent"}) {
         const auto pages = PagesOf(path, name, "leaf");
         EXPECT_EQ(pages.size(), 1u);
         EXPECT_TRUE(DamagePage(path, pages.front().page));
       }
       Lost lost;
       lost.folders = true;
       return lost;
     }},
    {"FirstPage", "the file's first page",
     [](const QString& path, const Casebook&, qint64) {
       EXPECT_TRUE(DamagePage(path, 1));
       Lost lost;
       lost.everything = true;
       return lost;
     }},
};

INSTANTIATE_TEST_SUITE_P(Damage, SalvageTest, ::testing::ValuesIn(kDamages),
                         [](const ::testing::TestParamInfo<Damage>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
