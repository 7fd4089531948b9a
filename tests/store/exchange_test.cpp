// The casebook as data: export to JSON and CSV and import of the JSON, on
// real casebooks in temporary directories. A casebook with every kind of
// odd text goes out and comes back unchanged; a bad file is refused with a
// message that says what and where, and leaves the casebook as it was.

#include "casebook_exchange.h"

#include <QBuffer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

#include "casebook_store.h"

namespace {

// ---- what a casebook holds, to compare two

struct Snapshot {
  // Folder path ("a/b") → its records, oldest first, as stored.
  std::map<QString, std::vector<RecordFields>> folders;
  bool operator==(const Snapshot&) const = default;
};

// The live folders under `parent` (not it), their paths relative to it.
void Take(CasebookStore& store, RowId parent, const QString& prefix, Snapshot* s) {
  for (const FolderRow& f : store.FolderChildren(parent)) {
    const QString path = prefix.isEmpty() ? f.name : prefix + QLatin1Char('/') + f.name;
    auto& records = s->folders[path];
    store.ForEachRecord(f.id, [&](const RecordFields& r) { records.push_back(r); });
    Take(store, f.id, path, s);
  }
}

Snapshot SnapshotOf(CasebookStore& store, RowId parent = 0) {
  Snapshot s;
  Take(store, parent, QString(), &s);
  return s;
}

std::string Describe(const Snapshot& s) {
  std::string out;
  for (const auto& [path, records] : s.folders) {
    out += path.toStdString() + ": " + std::to_string(records.size()) + " records\n";
    for (const RecordFields& r : records)
      out += "  " + r.title.toStdString() + " | " + r.querent.toStdString() + " | " +
             r.date.toString(Qt::ISODate).toStdString() + " | " + (r.feedback ? "fk" : "-") + " | " +
             std::to_string(r.text.size()) + " chars\n";
  }
  return out;
}

QString Chars(std::initializer_list<char16_t> units) {
  QString s;
  for (const char16_t u : units) s += QChar(u);
  return s;
}

// The odd texts: what a record may hold, written in the store's terms
// (surrogates without partners go in; U+FFFD is what the store keeps).
struct OddText {
  const char* name;
  QString given;
  QString stored;
};

std::vector<OddText> OddTexts() {
  // A text of more than a million characters (2.6 MB in UTF-8).
  QString megabyte;
  megabyte.reserve((1 << 20) + 64);
  while (megabyte.size() < (1 << 20)) megabyte += QStringLiteral("甲子乙丑丙寅丁卯 ab \"q\" \\ 〇\r\n");
  const QString emoji = QStringLiteral("卦\U0001F600象\U00020000");
  return {
      {"chinese", QStringLiteral("男命：1984年2月4日\r\n┌──┬──┐\r\n│甲子│　　│\r\n"), {}},
      {"nul", QStringLiteral("a") + QChar(0) + QStringLiteral("b") + QChar(0), {}},
      {"lone surrogates", QStringLiteral("x") + Chars({0xd800}) + QStringLiteral("y") + Chars({0xdfff}),
       QStringLiteral("x\uFFFDy\uFFFD")},
      {"non-characters", Chars({0xfffe, 0x41, 0xffff}), {}},
      {"byte-order mark first", Chars({0xfeff}) + QStringLiteral("开头"), {}},
      {"emoji and beyond the BMP", emoji, {}},
      {"controls and line ends", QStringLiteral("\t\x01\x1f\r\n\n\r") + Chars({0x2028, 0x2029, 0x7f}), {}},
      {"one megabyte", megabyte, {}},
      {"empty", QStringLiteral(""), {}},
  };
}

// A CSV file's rows (RFC 4180: quoted fields, quotes doubled, CR LF rows).
std::vector<QStringList> ParseCsv(const QString& text) {
  std::vector<QStringList> rows;
  QStringList row;
  QString field;
  bool quoted = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (quoted) {
      if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
        field += c;
        ++i;
      } else if (c == u'"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == u'"') {
      quoted = true;
    } else if (c == u',') {
      row << field;
      field.clear();
    } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
      row << field;
      field.clear();
      rows.push_back(row);
      row.clear();
      ++i;
    } else {
      field += c;
    }
  }
  return rows;
}

class ExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    source_.OpenStore(tmp_.path() + QStringLiteral("/Source"));
    target_.OpenStore(tmp_.path() + QStringLiteral("/Target"));
  }

  // Folders 卦例 (with 旧例 below it, and 旧例 with 更旧 below it), 空 (no
  // records) and 八字; a record of every odd text in 卦例; some in the bin.
  void Fill() {
    const RowId cases = source_.AddFolder(0, QStringLiteral("卦例"));
    const RowId old = source_.AddFolder(cases, QStringLiteral("旧例 \"引号\" \\"));
    const RowId older = source_.AddFolder(old, QStringLiteral("更旧\U0001F600"));
    source_.AddFolder(0, QStringLiteral("空"));
    const RowId bazi = source_.AddFolder(0, QStringLiteral("八字"));
    for (const OddText& t : OddTexts())
      source_.InsertRecord(cases, {QStringLiteral("记录 ") + QLatin1String(t.name), QStringLiteral("王\U0001F600"), QDate(2024, 2, 10), true, t.given});
    source_.InsertRecord(old, {QStringLiteral("标题") + Chars({0xd83d}), Chars({0, 0xfffe}), QDate(), false, QStringLiteral("无日期")});
    source_.InsertRecord(older, {QString(50, QChar(u'满')), QString(10, QChar(u'满')), QDate(1920, 1, 1), false, QStringLiteral("满")});
    source_.InsertRecord(bazi, {QStringLiteral("八字一"), QString(), QDate(2050, 12, 31), false, QStringLiteral("文本")});
    // In the bin: a record of its own and a folder with its record.
    const RowId gone = source_.InsertRecord(bazi, {QStringLiteral("已删除"), QString(), QDate(2020, 1, 1), false, QStringLiteral("x")});
    source_.DeleteRecord(gone);
    const RowId goneFolder = source_.AddFolder(0, QStringLiteral("删掉的分类"));
    source_.InsertRecord(goneFolder, {QStringLiteral("随分类删除"), QString(), QDate(), false, QStringLiteral("y")});
    source_.DeleteFolder(goneFolder);
  }

  QByteArray Export(CasebookStore& store, RowId folder, ExchangeFormat format, ExchangeCount* count = nullptr) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    const QString error = ExportCasebook(store, folder, format, out, count);
    EXPECT_EQ(error, QString());
    return out.data();
  }

  CasebookData Read(const QByteArray& json) {
    QString error;
    const std::optional<CasebookData> data = ReadCasebookJson(json, &error);
    EXPECT_TRUE(data.has_value()) << error.toStdString();
    return data.value_or(CasebookData{});
  }

  QTemporaryDir tmp_;
  CasebookStore source_;
  CasebookStore target_;
};

// ---- out and back in

// The whole casebook goes out as JSON and comes back into an empty one
// unchanged: every folder, every field, every odd text (the surrogates
// already U+FFFD in the source, as the store keeps them); the bin stays
// behind. The imported records carry sound checksums.
TEST_F(ExchangeTest, WholeCasebookComesBackUnchanged) {
  Fill();
  const Snapshot before = SnapshotOf(source_);
  ASSERT_EQ(before.folders.size(), 5u);
  // The store kept the lone surrogates as U+FFFD.
  for (const OddText& t : OddTexts()) {
    if (t.stored.isNull()) continue;
    bool found = false;
    for (const RecordFields& r : before.folders.at(QStringLiteral("卦例")))
      found = found || r.text == t.stored;
    EXPECT_TRUE(found) << t.name;
  }
  ExchangeCount out;
  const QByteArray json = Export(source_, 0, ExchangeFormat::Json, &out);
  EXPECT_EQ(out.folders, 5);
  EXPECT_EQ(out.records, static_cast<int>(OddTexts().size()) + 3);
  EXPECT_FALSE(json.contains("已删除"));
  EXPECT_FALSE(json.contains("删掉的分类"));
  // Valid UTF-8 (no surrogate written as UTF-8), the odd characters as
  // they are or escaped.
  EXPECT_TRUE(json.contains("\\u0000"));
  EXPECT_TRUE(json.contains("\xef\xbf\xbe"));  // U+FFFE
  EXPECT_TRUE(json.contains("\xf0\x9f\x98\x80"));  // U+1F600

  const CasebookData data = Read(json);
  EXPECT_EQ(data.FolderCount(), 5);
  EXPECT_EQ(data.RecordCount(), out.records);
  const ExchangeCount in = target_.ImportData(0, data);
  EXPECT_EQ(in.folders, 5);
  EXPECT_EQ(in.records, out.records);
  const Snapshot after = SnapshotOf(target_);
  EXPECT_TRUE(after == before) << "before:\n" << Describe(before) << "after:\n" << Describe(after);

  // Every imported record's checksum holds.
  for (const FolderRow& f : target_.FolderChildren(0)) {
    target_.ListFolderRecords(f.id);
    RecordList* list = target_.records();
    for (int r = 0; r < list->count(); ++r)
      EXPECT_EQ(target_.CheckRecord(list->id(r)), RecordIntegrity::Sound);
  }
  // And it goes out again byte for byte as it came (but for the time).
  QByteArray again = Export(target_, 0, ExchangeFormat::Json);
  auto withoutTime = [](QByteArray b) {
    const qsizetype at = b.indexOf("\"exported\"");
    return b.remove(at, b.indexOf('\n', at) - at);
  };
  EXPECT_EQ(withoutTime(again), withoutTime(json));
}

// One folder goes out with everything below it, as one folder of the
// file; imported into a folder, it becomes a sub-folder there.
TEST_F(ExchangeTest, OneFolderIntoAFolder) {
  Fill();
  RowId cases = 0;
  for (const FolderRow& f : source_.FolderChildren(0))
    if (f.name == QStringLiteral("卦例")) cases = f.id;
  ASSERT_GT(cases, 0);
  ExchangeCount out;
  const QByteArray json = Export(source_, cases, ExchangeFormat::Json, &out);
  EXPECT_EQ(out.folders, 3);
  EXPECT_FALSE(json.contains("八字一"));
  const RowId into = target_.AddFolder(0, QStringLiteral("收到的"));
  target_.ImportData(into, Read(json));
  Snapshot expected;
  for (auto& [path, records] : SnapshotOf(source_).folders)
    if (path.startsWith(QStringLiteral("卦例"))) expected.folders[path] = records;
  EXPECT_TRUE(SnapshotOf(target_, into) == expected);
  // The same file into the same casebook, twice: two more copies, nothing
  // merged or replaced.
  source_.ImportData(cases, Read(json));
  source_.ImportData(cases, Read(json));
  QStringList names;
  for (const FolderRow& f : source_.FolderChildren(cases)) names << f.name;
  EXPECT_EQ(names, (QStringList{QStringLiteral("旧例 \"引号\" \\"), QStringLiteral("卦例"), QStringLiteral("卦例")}));
  EXPECT_EQ(SnapshotOf(source_, cases).folders.size(), 2u + 3u);  // 旧例, 更旧 and the two copies' paths
}

// Records at the top of a file go into the folder imported into; not into
// the root, where no record may stand.
TEST_F(ExchangeTest, TopLevelRecordsNeedAFolder) {
  const QByteArray json = R"({"format": "Hexalore casebook", "version": 1,
    "records": [{"title": "散记", "text": "a"}, {"title": "二"}], "folders": []})";
  const CasebookData data = Read(json);
  ASSERT_EQ(data.records.size(), 2u);
  try {
    target_.ImportData(0, data);
    FAIL() << "records imported into the root";
  } catch (const StoreError& e) {
    EXPECT_TRUE(e.message().contains(QStringLiteral("分类目录"))) << e.message().toStdString();
  }
  EXPECT_TRUE(SnapshotOf(target_).folders.empty());
  const RowId into = target_.AddFolder(0, QStringLiteral("散"));
  EXPECT_EQ(target_.ImportData(into, data).records, 2);
  std::vector<RecordFields> got;
  target_.ForEachRecord(into, [&](const RecordFields& r) { got.push_back(r); });
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].title, QStringLiteral("散记"));
  EXPECT_EQ(got[1].text, QStringLiteral(""));  // absent: empty
  EXPECT_FALSE(got[1].date.isValid());
  EXPECT_FALSE(got[1].feedback);
}

// A failure in the middle of an import (here a trigger of the test's own
// refuses one record) leaves the casebook exactly as it was: no folder,
// no record, no checksum of the part already written.
TEST_F(ExchangeTest, ImportIsAllOrNothing) {
  Fill();
  const QByteArray json = Export(source_, 0, ExchangeFormat::Json);
  const RowId existing = target_.AddFolder(0, QStringLiteral("原有"));
  target_.InsertRecord(existing, {QStringLiteral("原有记录"), QString(), QDate(2024, 1, 1), false, QStringLiteral("t")});
  const Snapshot before = SnapshotOf(target_);
  {
    QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
    raw.setDatabaseName(target_.databasePath());
    ASSERT_TRUE(raw.open());
    QSqlQuery q(raw);
    ASSERT_TRUE(q.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Omenry WHEN NEW.BT = '八字一' "
                                      "BEGIN SELECT RAISE(ABORT, 'refused by the test'); END")))
        << q.lastError().text().toStdString();
  }
  QSqlDatabase::removeDatabase(QStringLiteral("raw"));
  EXPECT_THROW(target_.ImportData(existing, Read(json)), StoreError);
  EXPECT_TRUE(SnapshotOf(target_) == before);
  EXPECT_EQ(target_.FolderChildren(existing).size(), 0u);
  EXPECT_EQ(target_.RecycleBinCount(), 0);
}

// What the casebook cannot keep as it is, handed to the store directly,
// is refused before anything is written: nothing is cut.
TEST_F(ExchangeTest, StoreRefusesWhatItWouldCut) {
  const RowId into = target_.AddFolder(0, QStringLiteral("目标"));
  const Snapshot before = SnapshotOf(target_);
  std::vector<CasebookData> bad(4);
  bad[0].records.push_back({QString(51, QChar(u'长')), {}, {}, false, {}});
  bad[1].records.push_back({{}, QString(11, QChar(u'长')), {}, false, {}});
  bad[2].folders.push_back({QStringLiteral("　 "), {}, {}});
  bad[3].folders.push_back({QStringLiteral("好"), {}, {{QString(16, QChar(u'长')), {}, {}}}});
  for (const CasebookData& data : bad) EXPECT_THROW(target_.ImportData(into, data), StoreError);
  EXPECT_TRUE(SnapshotOf(target_) == before);
  // Into a folder that is in the bin, or does not exist.
  const RowId gone = target_.AddFolder(0, QStringLiteral("去"));
  target_.DeleteFolder(gone);
  CasebookData fine;
  fine.folders.push_back({QStringLiteral("新"), {}, {}});
  EXPECT_THROW(target_.ImportData(gone, fine), StoreError);
  EXPECT_THROW(target_.ImportData(999999, fine), StoreError);
  EXPECT_TRUE(SnapshotOf(target_) == before);
}

// ---- bad files

struct BadFile {
  const char* name;
  QByteArray json;
  const char16_t* says;  // part of the message
};

class BadFileTest : public ExchangeTest, public ::testing::WithParamInterface<BadFile> {};

const QByteArray kHead = R"({"format": "Hexalore casebook", "version": 1, )";

QByteArray Nested(int depth) {
  QByteArray json = kHead + "\"folders\": [";
  for (int i = 0; i < depth; ++i) json += "{\"name\": \"n\", \"folders\": [";
  for (int i = 0; i < depth; ++i) json += "]}";
  return json + "]}";
}

const BadFile kBadFiles[] = {
    {"empty", "", u"不是有效的 JSON"},
    {"cut short", kHead + "\"folders\": [", u"不是有效的 JSON"},
    {"not utf8", kHead + "\"folders\": [{\"name\": \"\xff\"}]}", u"不是有效的 JSON"},
    {"an array", "[]", u"不是导出的案例数据"},
    {"another format", R"({"format": "x", "version": 1, "folders": []})", u"不是导出的案例数据"},
    {"no format", R"({"version": 1, "folders": []})", u"不是导出的案例数据"},
    {"newer version", R"({"format": "Hexalore casebook", "version": 2, "folders": []})", u"格式版本是 2"},
    {"version as text", R"({"format": "Hexalore casebook", "version": "1", "folders": []})", u"version"},
    {"version 1.5", R"({"format": "Hexalore casebook", "version": 1.5, "folders": []})", u"version"},
    {"folders not an array", kHead + R"("folders": {}})", u"“folders”不是数组"},
    {"folder not an object", kHead + R"("folders": [3]})", u"第 1 个分类不是一个对象"},
    {"folder without a name", kHead + R"("folders": [{"records": []}]})", u"第 1 个分类没有名称"},
    {"blank folder name", kHead + R"("folders": [{"name": "　 "}]})", u"第 1 个分类的名称是空的"},
    {"long folder name", kHead + R"("folders": [{"name": "一二三四五六七八九十一二三四五六"}]})", u"名称太长"},
    {"records not an array", kHead + R"("folders": [{"name": "a", "records": "x"}]})", u"分类“a”的“records”不是数组"},
    {"record not an object", kHead + R"("folders": [{"name": "a", "records": [1]}]})", u"分类“a”的第 1 条记录不是一个对象"},
    {"title not text", kHead + R"("folders": [{"name": "a", "records": [{"title": 5}]}]})", u"“title”不是文本"},
    {"long title", kHead + R"("folders": [{"name": "a", "records": [{"title": ")" + QString(51, QChar(u'题')).toUtf8() + R"("}]}]})", u"标题太长"},
    {"long querent", kHead + R"("folders": [{"name": "a", "records": [{"querent": "一二三四五六七八九十一"}]}]})", u"求占人太长"},
    {"no such date", kHead + R"("folders": [{"name": "a", "records": [{"date": "2024-02-30"}]}]})", u"2024-02-30"},
    {"date shape", kHead + R"("folders": [{"name": "a", "records": [{"date": "2024-5-1"}]}]})", u"不是有效的日期"},
    {"date as number", kHead + R"("folders": [{"name": "a", "records": [{"date": 20240501}]}]})", u"不是有效的日期"},
    {"feedback as text", kHead + R"("folders": [{"name": "a", "records": [{"feedback": "yes"}]}]})", u"“feedback”不是 true 或 false"},
    {"text not text", kHead + R"("folders": [{"name": "a", "records": [{"text": ["x"]}]}]})", u"“text”不是文本"},
    {"deep in the tree", kHead + R"("folders": [{"name": "a", "folders": [{"name": "b", "records": [{}, {"feedback": 1}]}]}]})",
     u"分类“b”的第 2 条记录"},
    {"too deep", Nested(kMaxImportDepth + 1), u"层次太深"},
};

TEST_P(BadFileTest, RefusedWithAMessageAndNothingWritten) {
  const BadFile& bad = GetParam();
  const RowId into = target_.AddFolder(0, QStringLiteral("目标"));
  const Snapshot before = SnapshotOf(target_);
  QString error;
  const std::optional<CasebookData> data = ReadCasebookJson(bad.json, &error);
  EXPECT_FALSE(data.has_value());
  EXPECT_TRUE(error.contains(QString::fromUtf16(bad.says))) << error.toStdString();
  EXPECT_TRUE(SnapshotOf(target_) == before);
  (void)into;
}

INSTANTIATE_TEST_SUITE_P(Files, BadFileTest, ::testing::ValuesIn(kBadFiles),
                         [](const ::testing::TestParamInfo<BadFile>& param) {
                           std::string name = param.param.name;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

// Exactly as deep as allowed, an editor's byte-order mark, unknown members
// and absent optional ones: read.
TEST_F(ExchangeTest, WhatAFileMayDo) {
  EXPECT_EQ(Read(Nested(kMaxImportDepth)).FolderCount(), kMaxImportDepth);
  const CasebookData data = Read("\xEF\xBB\xBF" + kHead + R"("note": "x", "folders": [{"name": "a", "colour": 3,
      "records": [{"title": "t", "date": null, "extra": {}}]}]})");
  ASSERT_EQ(data.folders.size(), 1u);
  ASSERT_EQ(data.folders[0].records.size(), 1u);
  EXPECT_FALSE(data.folders[0].records[0].date.isValid());
  EXPECT_EQ(Read(kHead + "\"folders\": []}").FolderCount(), 0);
}

// ---- CSV

// A spreadsheet's file: the byte-order mark, a header row, one row per
// record (its folder's path first), every field quoted with its quotes
// doubled, CR LF within fields kept. Read back, the fields are the
// records'.
TEST_F(ExchangeTest, CsvHoldsEveryRecord) {
  Fill();
  ExchangeCount count;
  const QByteArray csv = Export(source_, 0, ExchangeFormat::Csv, &count);
  ASSERT_TRUE(csv.startsWith("\xEF\xBB\xBF\"分类\",\"标题\",\"求占人\",\"时间\",\"反馈\",\"内容\"\r\n"));
  const std::vector<QStringList> rows = ParseCsv(QString::fromUtf8(csv.mid(3)));
  ASSERT_EQ(static_cast<int>(rows.size()), count.records + 1);
  std::vector<QStringList> expected;
  for (const auto& [path, records] : SnapshotOf(source_).folders)
    for (const RecordFields& r : records)
      expected.push_back({path, r.title, r.querent, r.date.isValid() ? r.date.toString(Qt::ISODate) : QString(),
                          r.feedback ? QStringLiteral("有") : QStringLiteral("无"), r.text});
  std::vector<QStringList> got(rows.begin() + 1, rows.end());
  auto sorted = [](std::vector<QStringList> v) {
    std::sort(v.begin(), v.end(), [](const QStringList& a, const QStringList& b) { return a.join('\x1f') < b.join('\x1f'); });
    return v;
  };
  EXPECT_EQ(sorted(got), sorted(expected));
  EXPECT_FALSE(csv.contains("已删除"));
}

// A file that cannot be written: the device's message; nothing thrown.
TEST_F(ExchangeTest, WriteErrorIsReported) {
  Fill();
  QBuffer closed;  // never opened
  EXPECT_FALSE(ExportCasebook(source_, 0, ExchangeFormat::Json, closed).isEmpty());
  RowId inBin = source_.AddFolder(0, QStringLiteral("x"));
  source_.DeleteFolder(inBin);
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  EXPECT_THROW(ExportCasebook(source_, inBin, ExchangeFormat::Json, out), StoreError);
}

}  // namespace
