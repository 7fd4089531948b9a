// The casebook as data: export to JSON and CSV, and import of the JSON
// (casebook_exchange.h), with the store's side of both (ForEachRecord,
// FolderName, ImportData).

#include "casebook_exchange.h"

#include <QDateTime>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <cmath>
#include <cstdio>

#include "casebook_store.h"
#include "store_internal.h"

using namespace store_detail;

// ---------------------------------------------------------------------------
// The store's side

void CasebookStore::ForEachRecord(RowId folderId, const std::function<void(const RecordFields&)>& visit) {
  d_->requireOpen();
  QSqlQuery q(d_->db());
  q.setForwardOnly(true);
  if (!q.exec(QStringLiteral("SELECT CAST(BT AS BLOB), CAST(QZR AS BLOB), SJ, FK, CAST(LR AS BLOB) "
                             "FROM Omenry WHERE FL=") + Num(folderId) + d_->live() +
              QStringLiteral(" ORDER BY ID")))
    Fail(q.lastError());
  RecordFields r;
  while (q.next()) {
    r.title = TextColumn(q.value(0));
    r.querent = TextColumn(q.value(1));
    r.date = DateValue(q.value(2)).toDate();
    r.feedback = BoolValue(q.value(3)).toBool();
    r.text = TextColumn(q.value(4));
    visit(r);
  }
  if (q.lastError().isValid()) Fail(q.lastError());
}

std::optional<QString> CasebookStore::FolderName(RowId id) {
  d_->requireOpen();
  const QVariant name = d_->scalar(QStringLiteral("SELECT CAST(Name AS BLOB) FROM Folder WHERE ID=") + Num(id) +
                                   d_->live());
  if (!name.isValid() || id == 0) return std::nullopt;
  return TextColumn(name);
}

namespace {

// What the casebook cannot keep as it is: refused before anything is
// written (the store would otherwise cut a long title).
void CheckImport(const std::vector<ExchangeFolder>& folders, const std::vector<RecordFields>& records) {
  for (const RecordFields& r : records) {
    if (GbkByteCount(StorableText(r.title)) > kTitleBytes)
      throw StoreError(QStringLiteral("标题太长（最多 %1 个字节）：%2").arg(kTitleBytes).arg(r.title.left(60)));
    if (GbkByteCount(StorableText(r.querent)) > kQuerentBytes)
      throw StoreError(QStringLiteral("求占人太长（最多 %1 个字节）：%2").arg(kQuerentBytes).arg(r.querent));
  }
  for (const ExchangeFolder& f : folders) {
    if (IsBlankName(f.name)) throw StoreError(QStringLiteral("分类名称不能为空。"));
    if (GbkByteCount(StorableText(f.name)) > kFolderNameBytes)
      throw StoreError(QStringLiteral("分类名称太长（最多 %1 个字节）：%2").arg(kFolderNameBytes).arg(f.name));
    CheckImport(f.folders, f.records);
  }
}

// An import's statements, prepared once. The folders go in one by one
// (each needs its new ID); the records are gathered in a temporary table
// and go into Omenry with one statement at the end: the word index's
// triggers then flush their work once, not once a record (which made
// 100,000 records take many minutes).
class Importer {
 public:
  explicit Importer(QSqlDatabase db) : db_(db), folder_(db), record_(db) {
    Exec(QStringLiteral("DROP TABLE IF EXISTS temp.ImportRecords"));
    Exec(QStringLiteral("CREATE TEMP TABLE ImportRecords(Seq INTEGER PRIMARY KEY, BT, QZR, FK, LR, SJ, FL)"));
    if (!folder_.prepare(QStringLiteral("INSERT INTO Folder (ParentID, Name) VALUES (:ParentID, CAST(:Name AS TEXT))")))
      Fail(folder_.lastError());
    if (!record_.prepare(QStringLiteral(
            "INSERT INTO temp.ImportRecords (BT,QZR,FK,LR,SJ,FL) VALUES (CAST(:BT AS TEXT),CAST(:QZR AS TEXT),"
            ":FK,CAST(:LR AS TEXT),:SJ,:FL)")))
      Fail(record_.lastError());
  }
  ~Importer() {
    folder_.finish();
    record_.finish();
    QSqlQuery q(db_);
    q.exec(QStringLiteral("DROP TABLE IF EXISTS temp.ImportRecords"));
  }
  Importer(const Importer&) = delete;
  Importer& operator=(const Importer&) = delete;

  void Records(RowId folder, const std::vector<RecordFields>& records) {
    for (const RecordFields& r : records) {
      record_.bindValue(QStringLiteral(":BT"), TextParameter(r.title.isNull() ? QString(QLatin1String("")) : r.title));
      record_.bindValue(QStringLiteral(":QZR"), TextParameter(r.querent.isNull() ? QString(QLatin1String("")) : r.querent));
      record_.bindValue(QStringLiteral(":FK"), r.feedback ? 1 : 0);
      record_.bindValue(QStringLiteral(":LR"), TextParameter(r.text.isNull() ? QString(QLatin1String("")) : r.text));
      record_.bindValue(QStringLiteral(":SJ"), r.date.isValid() ? QVariant(r.date.toString(Qt::ISODate))
                                                               : QVariant(QMetaType(QMetaType::QString)));
      record_.bindValue(QStringLiteral(":FL"), QVariant::fromValue<qint64>(folder));
      if (!record_.exec()) Fail(record_.lastError());
      ++count.records;
    }
  }

  void Folders(RowId parent, const std::vector<ExchangeFolder>& folders) {
    for (const ExchangeFolder& f : folders) {
      folder_.bindValue(QStringLiteral(":ParentID"), QVariant::fromValue<qint64>(parent));
      folder_.bindValue(QStringLiteral(":Name"), TextParameter(f.name));
      if (!folder_.exec()) Fail(folder_.lastError());
      const RowId id = folder_.lastInsertId().toLongLong();
      ++count.folders;
      Records(id, f.records);
      Folders(id, f.folders);
    }
  }

  // The gathered records into Omenry, in the order they came.
  void Finish() {
    Exec(QStringLiteral("INSERT INTO Omenry (BT,QZR,FK,LR,SJ,FL) "
                        "SELECT BT,QZR,FK,LR,SJ,FL FROM temp.ImportRecords ORDER BY Seq"));
  }

  ExchangeCount count;

 private:
  void Exec(const QString& text) {
    QSqlQuery q(db_);
    if (!q.exec(text)) Fail(q.lastError());
  }

  QSqlDatabase db_;
  QSqlQuery folder_;
  QSqlQuery record_;
};

}  // namespace

ExchangeCount CasebookStore::ImportData(RowId parentId, const CasebookData& data) {
  d_->list->close();
  requireWritable();
  CheckImport(data.folders, data.records);
  if (parentId == 0 && !data.records.empty())
    throw StoreError(QStringLiteral("记录不能直接放在“分类目录”下，请选择一个分类。"));
  Transaction t(d_->db());
  if (parentId != 0 && !FolderIsLive(parentId))
    throw StoreError(QStringLiteral("要导入到的分类已不存在。"));
  Importer importer(d_->db());
  importer.Records(parentId, data.records);
  importer.Folders(parentId, data.folders);
  importer.Finish();
  // The checksums, from the records as stored, as every insert makes them.
  fillChecksums();
  t.commit();
  wrote();
  return importer.count;
}

// ---------------------------------------------------------------------------
// Writing

namespace {

constexpr qsizetype kChunk = 1 << 20;

// Thrown to stop an export whose file cannot be written.
struct WriteFailed {
  QString message;
};

class Sink {
 public:
  explicit Sink(QIODevice& out) : out_(out) { buffer.reserve(kChunk + (64 << 10)); }
  void Flush() {
    if (buffer.isEmpty()) return;
    if (out_.write(buffer) != buffer.size()) throw WriteFailed{out_.errorString()};
    buffer.clear();
  }
  void Maybe() {
    if (buffer.size() >= kChunk) Flush();
  }
  QByteArray buffer;

 private:
  QIODevice& out_;
};

void AppendUtf8(QByteArray& out, QStringView text) {
  if (!text.isEmpty()) out += text.toUtf8();
}

// A JSON string: the characters as they are, except the quote, the
// backslash, the control characters (U+0000 … U+001F), U+2028 and U+2029
// (line ends to JavaScript), U+FEFF (at the start of a string Qt's reader
// takes it for a byte-order mark and drops it) and a surrogate without its
// partner, which are escaped.
void AppendJsonString(QByteArray& out, QStringView s) {
  out += '"';
  qsizetype run = 0;
  const qsizetype n = s.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = s[i].unicode();
    if (c >= 0x20 && c != u'"' && c != u'\\' && c != 0x2028 && c != 0x2029 && c != 0xfeff &&
        !QChar::isSurrogate(c))
      continue;
    if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(s[i + 1].unicode())) {
      ++i;  // a pair: a character beyond the BMP, written as it is
      continue;
    }
    AppendUtf8(out, s.mid(run, i - run));
    switch (c) {
      case u'"': out += "\\\""; break;
      case u'\\': out += "\\\\"; break;
      case u'\n': out += "\\n"; break;
      case u'\r': out += "\\r"; break;
      case u'\t': out += "\\t"; break;
      default: {
        char escaped[7];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(c));
        out += escaped;
      }
    }
    run = i + 1;
  }
  AppendUtf8(out, s.mid(run));
  out += '"';
}

// A CSV field: always quoted, a quote doubled.
void AppendCsvField(QByteArray& out, QStringView s) {
  out += '"';
  qsizetype run = 0;
  for (qsizetype i = 0; i < s.size(); ++i) {
    if (s[i] != u'"') continue;
    AppendUtf8(out, s.mid(run, i + 1 - run));
    out += '"';
    run = i + 1;
  }
  AppendUtf8(out, s.mid(run));
  out += '"';
}

QByteArray Indent(int depth) { return QByteArray(2 * depth, ' '); }

QString DateText(const QDate& date) { return date.isValid() ? date.toString(Qt::ISODate) : QString(); }

struct Exporter {
  CasebookStore& store;
  Sink& sink;
  ExchangeFormat format;
  ExchangeCount count;
  QSet<RowId> seen;  // a damaged tree whose links loop is followed once

  void JsonRecord(const RecordFields& r, int depth, bool first) {
    QByteArray& out = sink.buffer;
    out += first ? "\n" : ",\n";
    out += Indent(depth) + "{\"title\": ";
    AppendJsonString(out, r.title);
    out += ", \"querent\": ";
    AppendJsonString(out, r.querent);
    out += ", \"date\": ";
    if (r.date.isValid()) AppendJsonString(out, DateText(r.date));
    else out += "null";
    out += r.feedback ? ", \"feedback\": true" : ", \"feedback\": false";
    out += ", \"text\": ";
    AppendJsonString(out, r.text);
    out += '}';
    ++count.records;
    sink.Maybe();
  }

  void JsonFolder(RowId id, const QString& name, int depth, bool first) {
    QByteArray& out = sink.buffer;
    out += first ? "\n" : ",\n";
    out += Indent(depth) + "{\n" + Indent(depth + 1) + "\"name\": ";
    AppendJsonString(out, name);
    out += ",\n" + Indent(depth + 1) + "\"records\": [";
    bool none = true;
    store.ForEachRecord(id, [&](const RecordFields& r) {
      JsonRecord(r, depth + 2, none);
      none = false;
    });
    out += none ? "],\n" : "\n" + Indent(depth + 1) + "],\n";
    out += Indent(depth + 1) + "\"folders\": [";
    none = true;
    for (const FolderRow& child : store.FolderChildren(id)) {
      if (seen.contains(child.id)) continue;
      seen.insert(child.id);
      JsonFolder(child.id, child.name, depth + 2, none);
      none = false;
    }
    out += none ? "]\n" : "\n" + Indent(depth + 1) + "]\n";
    out += Indent(depth) + '}';
    ++count.folders;
    sink.Maybe();
  }

  void CsvFolder(RowId id, const QString& path) {
    QByteArray& out = sink.buffer;
    store.ForEachRecord(id, [&](const RecordFields& r) {
      AppendCsvField(out, path);
      out += ',';
      AppendCsvField(out, r.title);
      out += ',';
      AppendCsvField(out, r.querent);
      out += ',';
      AppendCsvField(out, DateText(r.date));
      out += ',';
      AppendCsvField(out, r.feedback ? QStringLiteral("有") : QStringLiteral("无"));
      out += ',';
      AppendCsvField(out, r.text);
      out += "\r\n";
      ++count.records;
      sink.Maybe();
    });
    ++count.folders;
    for (const FolderRow& child : store.FolderChildren(id)) {
      if (seen.contains(child.id)) continue;
      seen.insert(child.id);
      CsvFolder(child.id, path + QLatin1Char('/') + child.name);
    }
  }
};

}  // namespace

int CasebookData::FolderCount() const {
  int n = 0;
  std::vector<const ExchangeFolder*> todo;
  for (const ExchangeFolder& f : folders) todo.push_back(&f);
  while (!todo.empty()) {
    const ExchangeFolder* f = todo.back();
    todo.pop_back();
    ++n;
    for (const ExchangeFolder& c : f->folders) todo.push_back(&c);
  }
  return n;
}

int CasebookData::RecordCount() const {
  qsizetype n = static_cast<qsizetype>(records.size());
  std::vector<const ExchangeFolder*> todo;
  for (const ExchangeFolder& f : folders) todo.push_back(&f);
  while (!todo.empty()) {
    const ExchangeFolder* f = todo.back();
    todo.pop_back();
    n += static_cast<qsizetype>(f->records.size());
    for (const ExchangeFolder& c : f->folders) todo.push_back(&c);
  }
  return static_cast<int>(n);
}

QString ExportCasebook(CasebookStore& store, RowId folderId, ExchangeFormat format, QIODevice& out,
                       ExchangeCount* count) {
  Sink sink(out);
  Exporter e{store, sink, format, {}, {}};
  std::vector<std::pair<RowId, QString>> top;
  if (folderId == 0) {
    for (const FolderRow& f : store.FolderChildren(0)) top.emplace_back(f.id, f.name);
  } else {
    const std::optional<QString> name = store.FolderName(folderId);
    if (!name) throw StoreError(QStringLiteral("要导出的分类已不存在。"));
    top.emplace_back(folderId, *name);
  }
  for (const auto& f : top) e.seen.insert(f.first);
  try {
    if (format == ExchangeFormat::Json) {
      QByteArray& b = sink.buffer;
      b += "{\n  \"format\": ";
      AppendJsonString(b, QString::fromLatin1(kCasebookFormatName));
      b += ",\n  \"version\": " + QByteArray::number(kCasebookFormatVersion) + ",\n  \"exported\": ";
      const QDateTime now = QDateTime::currentDateTime();
      AppendJsonString(b, now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate));
      b += ",\n  \"folders\": [";
      bool first = true;
      for (const auto& [id, name] : top) {
        e.JsonFolder(id, name, 2, first);
        first = false;
      }
      b += first ? "]\n}\n" : "\n  ]\n}\n";
    } else {
      sink.buffer += "\xEF\xBB\xBF";  // the byte-order mark: spreadsheets read the file as UTF-8
      const QStringList header = {QStringLiteral("分类"), QStringLiteral("标题"), QStringLiteral("求占人"),
                                  QStringLiteral("时间"), QStringLiteral("反馈"), QStringLiteral("内容")};
      for (qsizetype i = 0; i < header.size(); ++i) {
        if (i > 0) sink.buffer += ',';
        AppendCsvField(sink.buffer, header[i]);
      }
      sink.buffer += "\r\n";
      for (const auto& [id, name] : top) e.CsvFolder(id, name);
    }
    sink.Flush();
  } catch (const WriteFailed& failed) {
    return failed.message.isEmpty() ? QStringLiteral("写入失败。") : failed.message;
  }
  if (count) *count = e.count;
  return QString();
}

// ---------------------------------------------------------------------------
// Reading

namespace {

// A quoted name for the messages: “六爻”.
QString Quoted(const QString& text) { return QStringLiteral("“%1”").arg(text); }

struct Reader {
  QString error;

  bool Fail(const QString& message) {
    if (error.isEmpty()) error = message;
    return false;
  }

  // An optional string member; absent or null: empty.
  bool Text(const QJsonObject& o, const char* key, const QString& where, QString* out) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull()) {
      *out = QStringLiteral("");
      return true;
    }
    if (!v.isString()) return Fail(QStringLiteral("%1的“%2”不是文本。").arg(where, QLatin1String(key)));
    *out = v.toString();
    if (out->isNull()) *out = QStringLiteral("");
    return true;
  }

  bool Record(const QJsonValue& value, const QString& where, RecordFields* r) {
    if (!value.isObject()) return Fail(QStringLiteral("%1不是一个对象（{…}）。").arg(where));
    const QJsonObject o = value.toObject();
    if (!Text(o, "title", where, &r->title) || !Text(o, "querent", where, &r->querent) ||
        !Text(o, "text", where, &r->text))
      return false;
    if (GbkByteCount(StorableText(r->title)) > kTitleBytes)
      return Fail(QStringLiteral("%1的标题太长：最多 %2 个字节（%3 个汉字），它有 %4 个字节。")
                      .arg(where).arg(kTitleBytes).arg(kTitleBytes / 2).arg(GbkByteCount(r->title)));
    if (GbkByteCount(StorableText(r->querent)) > kQuerentBytes)
      return Fail(QStringLiteral("%1的求占人太长：最多 %2 个字节（%3 个汉字），它有 %4 个字节。")
                      .arg(where).arg(kQuerentBytes).arg(kQuerentBytes / 2).arg(GbkByteCount(r->querent)));
    const QJsonValue date = o.value(QLatin1String("date"));
    if (!date.isUndefined() && !date.isNull()) {
      const QString text = date.toString();
      static const QRegularExpression shape(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
      r->date = QDate::fromString(text, Qt::ISODate);
      if (!date.isString() || !shape.match(text).hasMatch() || !r->date.isValid())
        return Fail(QStringLiteral("%1的“date”不是有效的日期（应为 YYYY-MM-DD，或 null）：%2")
                        .arg(where, date.isString() ? text : QStringLiteral("不是文本")));
    } else {
      r->date = QDate();
    }
    const QJsonValue feedback = o.value(QLatin1String("feedback"));
    if (!feedback.isUndefined() && !feedback.isBool())
      return Fail(QStringLiteral("%1的“feedback”不是 true 或 false。").arg(where));
    r->feedback = feedback.toBool(false);
    return true;
  }

  bool Records(const QJsonObject& o, const QString& where, std::vector<RecordFields>* out) {
    const QJsonValue v = o.value(QLatin1String("records"));
    if (v.isUndefined()) return true;
    if (!v.isArray()) return Fail(QStringLiteral("%1的“records”不是数组（[…]）。").arg(where));
    const QJsonArray a = v.toArray();
    out->reserve(static_cast<size_t>(a.size()));
    for (qsizetype i = 0; i < a.size(); ++i) {
      RecordFields r;
      if (!Record(a[i], QStringLiteral("%1的第 %2 条记录").arg(where).arg(i + 1), &r)) return false;
      out->push_back(std::move(r));
    }
    return true;
  }

  bool Folders(const QJsonObject& o, const QString& where, int depth, std::vector<ExchangeFolder>* out) {
    const QJsonValue v = o.value(QLatin1String("folders"));
    if (v.isUndefined()) return true;
    if (!v.isArray()) return Fail(QStringLiteral("%1的“folders”不是数组（[…]）。").arg(where));
    const QJsonArray a = v.toArray();
    if (!a.isEmpty() && depth > kMaxImportDepth)
      return Fail(QStringLiteral("分类的层次太深：最多 %1 层。").arg(kMaxImportDepth));
    out->reserve(static_cast<size_t>(a.size()));
    for (qsizetype i = 0; i < a.size(); ++i) {
      const QString place = depth == 1 ? QStringLiteral("第 %1 个分类").arg(i + 1)
                                       : QStringLiteral("%1中的第 %2 个分类").arg(where).arg(i + 1);
      if (!a[i].isObject()) return Fail(QStringLiteral("%1不是一个对象（{…}）。").arg(place));
      const QJsonObject f = a[i].toObject();
      ExchangeFolder folder;
      const QJsonValue name = f.value(QLatin1String("name"));
      if (!name.isString()) return Fail(QStringLiteral("%1没有名称（“name”）。").arg(place));
      folder.name = name.toString();
      if (IsBlankName(folder.name)) return Fail(QStringLiteral("%1的名称是空的。").arg(place));
      if (GbkByteCount(StorableText(folder.name)) > kFolderNameBytes)
        return Fail(QStringLiteral("%1的名称太长：最多 %2 个字节（%3 个汉字）：%4")
                        .arg(place).arg(kFolderNameBytes).arg(kFolderNameBytes / 2).arg(folder.name));
      const QString named = QStringLiteral("分类") + Quoted(folder.name);
      if (!Records(f, named, &folder.records) || !Folders(f, named, depth + 1, &folder.folders)) return false;
      out->push_back(std::move(folder));
    }
    return true;
  }
};

}  // namespace

std::optional<CasebookData> ReadCasebookJson(const QByteArray& json, QString* error) {
  auto refuse = [&](const QString& message) -> std::optional<CasebookData> {
    if (error) *error = message;
    return std::nullopt;
  };
  QByteArray bytes = json;
  if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);  // an editor's byte-order mark
  QJsonParseError parse{};
  const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parse);
  if (parse.error != QJsonParseError::NoError)
    return refuse(QStringLiteral("这个文件不是有效的 JSON（第 %1 个字节处：%2）。")
                      .arg(parse.offset + (bytes.size() < json.size() ? 3 : 0))
                      .arg(parse.errorString()));
  const QJsonObject top = doc.object();
  if (!doc.isObject() || top.value(QLatin1String("format")).toString() != QLatin1String(kCasebookFormatName))
    return refuse(QStringLiteral("这个文件不是导出的案例数据（它没有 \"format\": \"%1\"）。")
                      .arg(QLatin1String(kCasebookFormatName)));
  const QJsonValue version = top.value(QLatin1String("version"));
  const double v = version.toDouble(-1);
  if (!version.isDouble() || v != std::floor(v) || v < 1)
    return refuse(QStringLiteral("这个文件的“version”不是有效的版本号。"));
  if (v > kCasebookFormatVersion)
    return refuse(QStringLiteral("这个文件的格式版本是 %1，本程序只能读取版本 %2。请使用更新的程序导入。")
                      .arg(v).arg(kCasebookFormatVersion));
  CasebookData data;
  Reader reader;
  if (!reader.Records(top, QStringLiteral("文件顶层"), &data.records) ||
      !reader.Folders(top, QStringLiteral("文件顶层"), 1, &data.folders))
    return refuse(reader.error);
  return data;
}
