// The casebook store on SQLite through Qt SQL. See casebook_store.h for the
// contract; the notes here are about how it is kept.
//
// One file, DatabaseFileName(), in the data directory holds both tables. The
// directory is 0700 and the files 0600. The journal is a write-ahead log with
// full synchronisation: a committed record survives a crash or a power cut.
// Each CasebookStore has its own Qt SQL connection name, so that several
// stores (tests, tools) can be open at once.

#include "casebook_store.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTextBoundaryFinder>

#include <sqlite3.h>

#include <atomic>
#include <functional>
#include <thread>
#include <string>
#include <utility>
#include <vector>

// ---------------------------------------------------------------------------
// Errors

StoreError::StoreError(const QString& message, bool damaged)
    : std::runtime_error(message.toStdString()), message_(message), damaged_(damaged) {}

namespace {

// The engine's own words for an error: SQLite's message when there is one,
// else what the Qt driver says.
QString EngineText(const QSqlError& e) {
  QString t = e.databaseText().trimmed();
  if (t.isEmpty()) t = e.driverText().trimmed();
  if (t.isEmpty()) t = e.text().trimmed();
  if (t.isEmpty()) t = QStringLiteral("unknown database error");
  return t;
}

// SQLite's primary result codes for a file that is not (or no longer) a
// sound database.
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADb = 26;

bool IsDamage(const QSqlError& e) {
  bool ok = false;
  const int code = e.nativeErrorCode().toInt(&ok);
  return ok && ((code & 0xff) == kSqliteCorrupt || (code & 0xff) == kSqliteNotADb);
}

[[noreturn]] void Fail(const QSqlError& e) { throw StoreError(EngineText(e), IsDamage(e)); }

// What a write into a damaged casebook is answered with.
const QString kDamagedText = QStringLiteral(
    "数据库文件已损坏，为免损失扩大，不再向其中写入任何内容。请从备份恢复数据库。");

// What PRAGMA quick_check says of a file.
struct FileCheck {
  QStringList problems;  // SQLite's lines (at most 20); empty: sound
  QString error;         // the check could not run: SQLite's message
  bool unreadable = false;  // SQLite cannot read the file as a database
  bool cancelled = false;
};

// Runs PRAGMA quick_check on the file through a read-only connection of its
// own (SQLite's C interface: it may run on any thread). A file SQLite cannot
// read as a database at all is unreadable; its message is the only problem.
FileCheck QuickCheck(const QString& path, const std::atomic<bool>* cancel) {
  FileCheck check;
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* st = nullptr;
  if (rc == SQLITE_OK) {
    sqlite3_busy_timeout(db, 5000);
    if (cancel)
      sqlite3_progress_handler(
          db, 10000, [](void* flag) { return static_cast<std::atomic<bool>*>(flag)->load() ? 1 : 0; },
          const_cast<std::atomic<bool>*>(cancel));
    rc = sqlite3_prepare_v2(db, "PRAGMA quick_check(20)", -1, &st, nullptr);
  }
  while (rc == SQLITE_OK || rc == SQLITE_ROW) {
    rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) {
      const QString line = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
      if (line != QLatin1String("ok")) check.problems << line;
    }
  }
  if (rc != SQLITE_DONE) {
    const QString message = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
    const int code = db ? sqlite3_errcode(db) & 0xff : SQLITE_NOMEM;
    if (code == SQLITE_INTERRUPT && cancel && cancel->load()) {
      check.cancelled = true;
    } else if (code == kSqliteCorrupt || code == kSqliteNotADb) {
      check.unreadable = true;
      check.problems = QStringList{message};
    } else {
      check.error = message;
    }
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return check;
}

QString Num(RowId n) { return QString::number(n); }

constexpr auto kOwnerDir = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                           QFileDevice::ExeOwner;
constexpr auto kOwnerFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QAtomicInt g_connectionSerial;

}  // namespace

// ---------------------------------------------------------------------------
// GBK byte sizes

int GbkByteCount(const QString& text) noexcept {
  int n = 0;
  const qsizetype size = text.size();
  for (qsizetype i = 0; i < size; ++i) {
    const char16_t c = text.at(i).unicode();
    if (c < 0x80) {
      n += 1;
    } else if (QChar::isHighSurrogate(c) && i + 1 < size &&
               QChar::isLowSurrogate(text.at(i + 1).unicode())) {
      n += 4;
      ++i;
    } else {
      n += 2;
    }
  }
  return n;
}

QString CutToGbkBytes(const QString& text, int maxBytes) {
  if (maxBytes <= 0) return QString();
  if (GbkByteCount(text) <= maxBytes) return text;
  QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
  qsizetype start = 0;
  int used = 0;
  for (qsizetype end = finder.toNextBoundary(); end != -1;
       end = finder.toNextBoundary()) {
    const int cost = GbkByteCount(text.mid(start, end - start));
    if (used + cost > maxBytes) break;
    used += cost;
    start = end;
  }
  return text.left(start);
}

QString StorableText(const QString& text) {
  QString s = text;
  const qsizetype size = s.size();
  for (qsizetype i = 0; i < size; ++i) {
    const char16_t c = s.at(i).unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(s.at(i + 1).unicode())) {
      ++i;  // a pair, kept
    } else if (QChar::isSurrogate(c)) {
      s[i] = QChar(QChar::ReplacementCharacter);
    }
  }
  return s;
}

namespace {

// A text as it is bound to a statement, where it stands as CAST(:X AS TEXT):
// its UTF-8 bytes, which SQLite takes as they are. (Bound as UTF-16 text,
// SQLite would drop a U+FEFF at its start as a byte-order mark.) A null text
// is NULL, an empty one ''.
QVariant TextParameter(const QString& text) {
  if (text.isNull()) return QVariant(QMetaType(QMetaType::QString));
  if (text.isEmpty()) return QVariant(QString(QLatin1String("")));
  return QVariant(StorableText(text).toUtf8());
}

// A text read as CAST(X AS BLOB): its UTF-8 bytes exactly as stored. (Read
// as UTF-16, SQLite would turn U+FFFE and U+FFFF into U+FFFD.) NULL gives a
// null string.
QString TextColumn(const QVariant& value) {
  if (value.isNull()) return QString();
  const QByteArray bytes = value.toByteArray();
  if (bytes.isEmpty()) return QString(QLatin1String(""));
  // Decoded without taking a U+FEFF at the start for a byte-order mark (as
  // QString::fromUtf8 does).
  QStringDecoder decode(QStringConverter::Utf8,
                        QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
  return decode(bytes);
}

}  // namespace

// ---------------------------------------------------------------------------
// Search conditions

QString FieldName(SearchField field) {
  return field == SearchField::Title ? QStringLiteral("BT") : QStringLiteral("LR");
}

QString LikePattern(const QString& word) {
  QString p;
  p.reserve(word.size() + 8);
  p += QLatin1Char('%');
  for (const QChar c : word) {
    if (c == QChar(kLikeEscape) || c == QLatin1Char('%') || c == QLatin1Char('_'))
      p += QChar(kLikeEscape);
    p += c;
  }
  p += QLatin1Char('%');
  return p;
}

QStringList SearchClause::usedWords() const {
  QStringList used;
  for (const QString& w : words)
    if (!w.isEmpty()) used << StorableText(w);
  return used;
}

namespace {

QString ParameterName(SearchField field, int index) {
  return QLatin1Char(':') + FieldName(field) + QString::number(index);
}

// The clauses that have words, joined by " or ", without " where ".
QString ConditionPredicate(const SearchCondition& condition) {
  QStringList parts;
  int next[2] = {0, 0};
  for (const SearchClause& clause : condition.clauses) {
    const QString text = clause.text(next[static_cast<int>(clause.field)]);
    if (text.isEmpty()) continue;
    next[static_cast<int>(clause.field)] += static_cast<int>(clause.usedWords().size());
    parts << text;
  }
  return parts.join(QStringLiteral(" or "));
}

}  // namespace

QString SearchClause::text(int first) const {
  const QStringList used = usedWords();
  if (used.isEmpty()) return QString();
  const QString name = FieldName(field);
  QStringList terms;
  for (int i = 0; i < used.size(); ++i)
    terms << name + QStringLiteral(" like ") + ParameterName(field, first + i) +
                 QStringLiteral(" escape '") + QChar(kLikeEscape) + QLatin1Char('\'');
  return QLatin1Char('(') + terms.join(all ? QStringLiteral(" and ") : QStringLiteral(" or ")) +
         QLatin1Char(')');
}

bool SearchCondition::isEmpty() const {
  for (const SearchClause& clause : clauses)
    if (!clause.usedWords().isEmpty()) return false;
  return true;
}

QString SearchCondition::text() const {
  if (isEmpty()) return QString();
  return QStringLiteral(" where ") + ConditionPredicate(*this);
}

QList<SearchBinding> SearchCondition::bindings() const {
  QList<SearchBinding> values;
  int next[2] = {0, 0};
  for (const SearchClause& clause : clauses) {
    int& n = next[static_cast<int>(clause.field)];
    for (const QString& word : clause.usedWords())
      values.append({ParameterName(clause.field, n++), LikePattern(word)});
  }
  return values;
}

// ---------------------------------------------------------------------------
// The record list

struct ListRow {
  RowId id = 0;
  QString bt;
  QString qzr;
  QVariant sj;  // QDate, or null
  RowId fl = 0;
  QVariant fk;  // bool, or null
};

struct RecordList::Data {
  std::vector<ListRow> rows;
  int current = -1;
  // The text of one row, read on demand and kept until the list moves on.
  mutable RowId cachedId = 0;
  mutable bool cached = false;
  mutable QVariant cachedText;
};

namespace {

int FieldIndex(const QString& name) {
  static const char* const kNames[] = {"ID", "BT", "QZR", "SJ", "FL", "FK", "LR"};
  for (int i = 0; i < RecordList::ColumnCount; ++i)
    if (name.compare(QLatin1String(kNames[i]), Qt::CaseInsensitive) == 0) return i;
  return -1;
}

QVariant RawValue(const ListRow& r, int column) {
  switch (column) {
    case RecordList::ColID: return QVariant::fromValue<qint64>(r.id);
    case RecordList::ColBT: return r.bt;
    case RecordList::ColQZR: return r.qzr;
    case RecordList::ColSJ: return r.sj;
    case RecordList::ColFL: return QVariant::fromValue<qint64>(r.fl);
    case RecordList::ColFK: return r.fk;
    default: return QVariant();
  }
}

QVariant DateValue(const QVariant& v) {
  if (v.isNull()) return QVariant();
  if (v.metaType().id() == QMetaType::QDate) return v;
  const QString s = v.toString().trimmed();
  if (s.isEmpty()) return QVariant();
  // Only the calendar day is stored; a time part, if any, is ignored.
  const QDate d = QDate::fromString(s.left(10), Qt::ISODate);
  return d.isValid() ? QVariant(d) : QVariant();
}

QVariant BoolValue(const QVariant& v) {
  if (v.isNull()) return QVariant();
  return QVariant(v.toLongLong() != 0);
}

}  // namespace

RecordList::RecordList(CasebookStore* store)
    : QAbstractTableModel(store), store_(store), d_(new Data) {}

RecordList::~RecordList() = default;

bool RecordList::isOpen() const noexcept { return open_; }
int RecordList::count() const noexcept { return static_cast<int>(d_->rows.size()); }
int RecordList::currentRow() const noexcept { return d_->current; }
bool RecordList::bof() const noexcept { return d_->rows.empty() || d_->current <= 0; }
bool RecordList::eof() const noexcept {
  return d_->rows.empty() || d_->current >= count() - 1;
}

void RecordList::first() noexcept {
  if (!d_->rows.empty()) setCurrent(0);
}
void RecordList::prior() noexcept {
  if (!bof()) setCurrent(d_->current - 1);
}
void RecordList::next() noexcept {
  if (!eof()) setCurrent(d_->current + 1);
}
void RecordList::last() noexcept {
  if (!d_->rows.empty()) setCurrent(count() - 1);
}

bool RecordList::setCurrentRow(int row) noexcept {
  if (row < 0 || row >= count()) return false;
  setCurrent(row);
  return true;
}

int RecordList::rowOfId(RowId id) const noexcept {
  for (int i = 0; i < count(); ++i)
    if (d_->rows[static_cast<size_t>(i)].id == id) return i;
  return -1;
}

bool RecordList::locate(RowId id) noexcept {
  const int row = rowOfId(id);
  if (row < 0) return false;
  setCurrent(row);
  return true;
}

void RecordList::setCurrent(int row) noexcept {
  if (row == d_->current) return;
  d_->current = row;
  d_->cached = false;
  d_->cachedText = QVariant();
  emit currentChanged(row);
}

QVariant RecordList::value(const QString& field) const {
  return value(d_->current, field);
}

QVariant RecordList::value(int row, const QString& field) const {
  if (row < 0 || row >= count()) return QVariant();
  const int column = FieldIndex(field);
  if (column < 0) return QVariant();
  const ListRow& r = d_->rows[static_cast<size_t>(row)];
  if (column != ColLR) return RawValue(r, column);
  if (d_->cached && d_->cachedId == r.id) return d_->cachedText;
  QVariant text = store_->readText(r.id);
  if (row == d_->current) {
    d_->cached = true;
    d_->cachedId = r.id;
    d_->cachedText = text;
  }
  return text;
}

RowId RecordList::currentId() const noexcept {
  if (d_->current < 0) return 0;
  return d_->rows[static_cast<size_t>(d_->current)].id;
}

QString RecordList::currentText() const { return value(QStringLiteral("LR")).toString(); }

int RecordList::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : count();
}

int RecordList::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecordList::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= count() || index.column() >= ColumnCount)
    return QVariant();
  if (role != Qt::DisplayRole && role != Qt::EditRole) return QVariant();
  const ListRow& r = d_->rows[static_cast<size_t>(index.row())];
  const int column = index.column();
  if (column == ColLR) return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
  if (role == Qt::EditRole) return RawValue(r, column);
  switch (column) {
    case ColSJ:
      return r.sj.isNull() ? QString() : r.sj.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case ColFK:
      if (r.fk.isNull()) return QString();
      return r.fk.toBool() ? QStringLiteral("√") : QStringLiteral("×");
    default:
      return RawValue(r, column);
  }
}

QVariant RecordList::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
  switch (section) {
    case ColBT: return QStringLiteral("标题");
    case ColQZR: return QStringLiteral("求占人");
    case ColSJ: return QStringLiteral("时间");
    case ColFK: return QStringLiteral("反馈");
    case ColID: case ColFL: case ColLR: return QString();
    default: return QVariant();
  }
}

Qt::ItemFlags RecordList::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void RecordList::open(std::unique_ptr<Data> data) {
  beginResetModel();
  d_ = std::move(data);
  d_->current = -1;
  open_ = true;
  endResetModel();
  if (!d_->rows.empty())
    setCurrent(0);
  else
    emit currentChanged(-1);
}

void RecordList::close() noexcept {
  const bool hadRows = !d_->rows.empty();
  const bool wasOpen = open_;
  beginResetModel();
  d_->rows.clear();
  d_->rows.shrink_to_fit();
  d_->current = -1;
  d_->cached = false;
  d_->cachedText = QVariant();
  open_ = false;
  endResetModel();
  if (hadRows || wasOpen) emit currentChanged(-1);
}

// ---------------------------------------------------------------------------
// The store

struct CasebookStore::Impl {
  QString connection;
  QString dir;
  QString path;
  bool open = false;
  RecordList* list = nullptr;
  // The word index is there and its answers can be trusted (see
  // CreateWordIndex).
  bool wordIndex = false;
  // The file failed its check at opening: it is open read-only.
  bool damaged = false;
  QStringList problems;
  // The check of a large casebook runs on `checker` while the connection
  // reads, read-only; `checkError` is set when the check could not run.
  bool checking = false;
  std::thread checker;
  std::atomic<bool> cancelCheck{false};
  FileCheck checkResult;  // written by `checker`, read after joining it
  QString checkError;
  int generation = 0;  // of the opening, so that a late report of an earlier one is ignored

  QSqlDatabase db() const { return QSqlDatabase::database(connection, false); }

  // Runs one statement text without parameters; throws on failure.
  QSqlQuery exec(const QString& text) const {
    QSqlQuery q(db());
    if (!q.exec(text)) Fail(q.lastError());
    return q;
  }

  // The first column of the first row of a statement without parameters
  // (null when there is no row); throws on failure.
  QVariant scalar(const QString& text) const {
    QSqlQuery q = exec(text);
    if (!q.next()) {
      if (q.lastError().isValid()) Fail(q.lastError());
      return QVariant();
    }
    return q.value(0);
  }

  void requireOpen() const {
    if (!open) throw StoreError(QStringLiteral("database is not open"));
  }
};

namespace {

// A write transaction on the store's connection that rolls back unless
// committed. It takes the write lock at its start (BEGIN IMMEDIATE), waiting
// the busy timeout while another connection (another copy of the program, a
// backup, a tool) holds it. A transaction that began by reading would have
// to upgrade its lock at its first write, and SQLite refuses such an upgrade
// at once, without waiting, whenever another connection writes: a record's
// first save (its statement reads the word index's settings when it is
// prepared) would fail with "database is locked".
class Transaction {
 public:
  explicit Transaction(QSqlDatabase db) : db_(std::move(db)) {
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) Fail(q.lastError());
  }
  ~Transaction() {
    if (!done_) rollback();
  }
  void commit() {
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("COMMIT"))) {
      const QSqlError e = q.lastError();
      q.finish();
      rollback();
      Fail(e);
    }
    done_ = true;
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

 private:
  void rollback() noexcept {
    done_ = true;
    QSqlQuery q(db_);
    q.exec(QStringLiteral("ROLLBACK"));
  }

  QSqlDatabase db_;
  bool done_ = false;
};

void MakeOwnerOnly(const QString& path, QFileDevice::Permissions perms) {
  if (QFileInfo::exists(path)) QFile::setPermissions(path, perms);
}

// ---- the word index of the search
//
// Two FTS5 tables hold the trigrams (every run of three characters) of each
// record's title and text: OmenryTitleWords and OmenryTextWords, their rowid
// being the record's ID. They are contentless (they keep no copy of the
// text) and keep no positions (detail=none), which makes them small: a
// tenth of the text's size.
//
// What is indexed is lower(value) followed by two line feeds:
//  - lower() folds A-Z and nothing else, exactly as SQLite's LIKE compares
//    letters (checked at open), and the tokenizer keeps letter case
//    (case_sensitive 1); so "the lowered value contains the lowered word"
//    is the LIKE condition, character for character;
//  - the two line feeds make every character of the value start a trigram,
//    so that a word of one or two characters is found as the first
//    characters of an indexed trigram, even at the end of the value.
// Triggers keep the tables in step with Omenry inside the same transaction
// as the change of the record. A contentless table forgets a row only when
// told the values it was given, so the delete triggers hand over the
// record's old values, worked out the same way.
//
// PRAGMA user_version holds the version of the index built into the file;
// a file without it (made before the index existed) gets the index built
// from its records when it is opened.
constexpr int kWordIndexVersion = 1;

const char* const kWordIndexTables[] = {"OmenryTitleWords", "OmenryTextWords"};
const char* const kWordIndexTerms[] = {"OmenryTitleTerms", "OmenryTextTerms"};

QString IndexedValue(const QString& row, const QString& field) {
  return QStringLiteral("lower(%1.%2)||char(10,10)").arg(row, field);
}

void CreateWordIndex(const std::function<void(const QString&)>& exec) {
  exec(QStringLiteral("DROP TRIGGER IF EXISTS OmenryWordsInsert"));
  exec(QStringLiteral("DROP TRIGGER IF EXISTS OmenryWordsDelete"));
  exec(QStringLiteral("DROP TRIGGER IF EXISTS OmenryWordsUpdate"));
  const QString fields[] = {QStringLiteral("BT"), QStringLiteral("LR")};
  for (int i = 0; i < 2; ++i) {
    const QString table = QLatin1String(kWordIndexTables[i]);
    exec(QStringLiteral("DROP TABLE IF EXISTS ") + table);
    exec(QStringLiteral("CREATE VIRTUAL TABLE %1 USING fts5(%2, content='', "
                        "tokenize='trigram case_sensitive 1', detail=none)")
             .arg(table, fields[i]));
    exec(QStringLiteral("INSERT INTO %1(rowid, %2) SELECT ID, %3 FROM Omenry")
             .arg(table, fields[i], IndexedValue(QStringLiteral("Omenry"), fields[i])));
  }
  auto insertNew = [&](int i) {
    return QStringLiteral("INSERT INTO %1(rowid, %2) VALUES (new.ID, %3);")
        .arg(QLatin1String(kWordIndexTables[i]), fields[i],
             IndexedValue(QStringLiteral("new"), fields[i]));
  };
  auto deleteOld = [&](int i) {
    return QStringLiteral("INSERT INTO %1(%1, rowid, %2) VALUES ('delete', old.ID, %3);")
        .arg(QLatin1String(kWordIndexTables[i]), fields[i],
             IndexedValue(QStringLiteral("old"), fields[i]));
  };
  exec(QStringLiteral("CREATE TRIGGER OmenryWordsInsert AFTER INSERT ON Omenry BEGIN ") +
       insertNew(0) + insertNew(1) + QStringLiteral(" END"));
  exec(QStringLiteral("CREATE TRIGGER OmenryWordsDelete AFTER DELETE ON Omenry BEGIN ") +
       deleteOld(0) + deleteOld(1) + QStringLiteral(" END"));
  exec(QStringLiteral("CREATE TRIGGER OmenryWordsUpdate AFTER UPDATE OF ID, BT, LR ON Omenry BEGIN ") +
       deleteOld(0) + deleteOld(1) + insertNew(0) + insertNew(1) + QStringLiteral(" END"));
  exec(QStringLiteral("PRAGMA user_version=%1").arg(kWordIndexVersion));
}

}  // namespace

namespace {

// Opens the Qt SQL connection `name` on the file (read-only when asked),
// waiting up to 5 s for another connection's lock. Throws StoreError.
void OpenConnection(const QString& name, const QString& path, bool readOnly) {
  QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
  db.setDatabaseName(path);
  db.setConnectOptions(readOnly ? QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000;QSQLITE_OPEN_READONLY")
                                : QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
  if (!db.open()) {
    const QSqlError e = db.lastError();
    const QString text = EngineText(e) + QStringLiteral(" (") + QDir::toNativeSeparators(path) +
                         QLatin1Char(')');
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
    throw StoreError(text, IsDamage(e));
  }
}

void CloseConnection(const QString& name) noexcept {
  if (!QSqlDatabase::contains(name)) return;
  {
    QSqlDatabase db = QSqlDatabase::database(name, false);
    db.close();
  }
  QSqlDatabase::removeDatabase(name);
}

std::atomic<qint64> g_backgroundCheckBytes{64 * 1024 * 1024};

}  // namespace

CasebookStore::CasebookStore(QObject* parent) : QObject(parent), d_(new Impl) {
  d_->connection = QStringLiteral("casebook-%1").arg(g_connectionSerial.fetchAndAddRelaxed(1));
  d_->list = new RecordList(this);
}

CasebookStore::~CasebookStore() {
  // Whoever listens to the list may be half destroyed by now (a window that
  // owns the store): the last close tells nobody.
  d_->list->blockSignals(true);
  close();
}

QString CasebookStore::DefaultDataDir() {
  const QString portable = QCoreApplication::applicationDirPath() + QStringLiteral("/Data");
  const QFileInfo info(portable);
  if (!QCoreApplication::applicationDirPath().isEmpty() && info.isDir() && info.isWritable())
    return portable;
  return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
         QStringLiteral("/Data");
}

QString CasebookStore::DatabaseFileName() { return QStringLiteral("casebook.sqlite"); }

qint64 CasebookStore::BackgroundCheckBytes() { return g_backgroundCheckBytes; }
void CasebookStore::SetBackgroundCheckBytes(qint64 bytes) { g_backgroundCheckBytes = bytes; }

void CasebookStore::OpenStore(const QString& dataDir) {
  close();
  const QString dir = QDir::cleanPath(dataDir.isEmpty() ? DefaultDataDir() : dataDir);
  const QString path = dir + QLatin1Char('/') + DatabaseFileName();

  // The directory and the file are made before SQLite sees them, so that the
  // file never exists with wider permissions; SQLite gives its journal files
  // the permissions of the database file.
  QDir().mkpath(dir);
  MakeOwnerOnly(dir, kOwnerDir);
  if (!QFileInfo::exists(path)) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly, kOwnerFile)) f.close();
  }
  MakeOwnerOnly(path, kOwnerFile);
  d_->dir = dir;
  d_->path = path;

  try {
    // A large casebook that needs nothing set up is checked on a thread of
    // its own, while this connection reads it, read-only, for the window;
    // writing waits for the check's verdict (see requireWritable).
    if (QFileInfo(path).size() >= g_backgroundCheckBytes) {
      OpenConnection(d_->connection, path, true);
      d_->open = true;
      if (readyAsIs()) {
        setUpReading();
        d_->checking = true;
        d_->cancelCheck = false;
        const int generation = ++d_->generation;
        d_->checker = std::thread([this, path, generation] {
          d_->checkResult = QuickCheck(path, &d_->cancelCheck);
          // The verdict is taken in the store's thread, unless a write has
          // taken it already.
          QMetaObject::invokeMethod(
              this,
              [this, generation] {
                if (generation == d_->generation) finishCheck(true);
              },
              Qt::QueuedConnection);
        });
        return;
      }
      CloseConnection(d_->connection);
      d_->open = false;
    }

    // Otherwise the file is checked first, before anything is written into
    // it: a damaged file is opened read-only, so that what can still be read
    // is shown and nothing makes the damage worse.
    const FileCheck check = QuickCheck(path, nullptr);
    if (!check.error.isEmpty())
      throw StoreError(check.error + QStringLiteral(" (") + QDir::toNativeSeparators(path) + QLatin1Char(')'));
    if (check.unreadable) throw StoreError(check.problems.value(0), true);
    d_->damaged = !check.problems.isEmpty();
    d_->problems = check.problems;
    OpenConnection(d_->connection, path, d_->damaged);
    d_->open = true;
    if (!d_->damaged) setUpWritable();
    setUpReading();
  } catch (...) {
    close();
    throw;
  }
}

bool CasebookStore::readyAsIs() {
  const bool haveFts5 =
      d_->scalar(QStringLiteral("SELECT sqlite_compileoption_used('ENABLE_FTS5')")).toInt() != 0;
  return d_->scalar(QStringLiteral("PRAGMA journal_mode")).toString() == QLatin1String("wal") &&
         d_->scalar(QStringLiteral(
                        "SELECT COUNT(*) FROM sqlite_master WHERE name IN ('Folder', 'Omenry', "
                        "'FolderParent', 'OmenryList')"))
                 .toInt() == 4 &&
         d_->scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name='OmenryFolder'"))
                 .toInt() == 0 &&
         (!haveFts5 || wordIndexComplete());
}

bool CasebookStore::wordIndexComplete() {
  return d_->scalar(QStringLiteral("PRAGMA user_version")).toInt() >= kWordIndexVersion &&
         d_->scalar(QStringLiteral(
                        "SELECT COUNT(*) FROM sqlite_master WHERE name IN ('OmenryTitleWords', "
                        "'OmenryTextWords', 'OmenryWordsInsert', 'OmenryWordsDelete', "
                        "'OmenryWordsUpdate')"))
                 .toInt() == 5;
}

void CasebookStore::setUpWritable() {
  d_->exec(QStringLiteral("PRAGMA journal_mode=WAL"));
  d_->exec(QStringLiteral("PRAGMA synchronous=FULL"));
  Transaction t(d_->db());
  d_->exec(QStringLiteral(
      "CREATE TABLE IF NOT EXISTS Folder("
      "ID INTEGER PRIMARY KEY AUTOINCREMENT, ParentID INTEGER, Name TEXT)"));
  d_->exec(QStringLiteral(
      "CREATE INDEX IF NOT EXISTS FolderParent ON Folder(ParentID, ID)"));
  d_->exec(QStringLiteral(
      "CREATE TABLE IF NOT EXISTS Omenry("
      "ID INTEGER PRIMARY KEY AUTOINCREMENT, BT TEXT, QZR TEXT, SJ DATE, "
      "FL INTEGER, FK BOOLEAN, LR TEXT)"));
  // The record list of a folder is read from this index alone: it carries
  // every listed field, so listing a folder of thousands of records never
  // touches the pages of their texts. (An earlier index on FL, ID alone
  // would draw the planner away from it.)
  d_->exec(QStringLiteral("DROP INDEX IF EXISTS OmenryFolder"));
  d_->exec(QStringLiteral(
      "CREATE INDEX IF NOT EXISTS OmenryList ON Omenry(FL, ID, BT, QZR, SJ, FK)"));
  // The word index of the search, unless this SQLite lacks FTS5 (then
  // every search scans the table).
  const bool haveFts5 =
      d_->scalar(QStringLiteral("SELECT sqlite_compileoption_used('ENABLE_FTS5')")).toInt() != 0;
  if (haveFts5 && !wordIndexComplete())
    CreateWordIndex([this](const QString& text) { d_->exec(text); });
  t.commit();
  for (const char* suffix : {"-wal", "-shm"})
    MakeOwnerOnly(d_->path + QLatin1String(suffix), kOwnerFile);
}

void CasebookStore::setUpReading() {
  const bool haveFts5 =
      d_->scalar(QStringLiteral("SELECT sqlite_compileoption_used('ENABLE_FTS5')")).toInt() != 0;
  // A file that is only read uses its word index when it is all there.
  d_->wordIndex = false;
  if (haveFts5 && wordIndexComplete()) {
    // The index's terms, for the words of one or two characters; temp
    // tables belong to this connection alone.
    for (int i = 0; i < 2; ++i)
      d_->exec(QStringLiteral(
                   "CREATE VIRTUAL TABLE IF NOT EXISTS temp.%1 USING fts5vocab(main, %2, row)")
                   .arg(QLatin1String(kWordIndexTerms[i]), QLatin1String(kWordIndexTables[i])));
    // The index answers exactly only while lower() and LIKE fold the same
    // letters, A-Z alone (an SQLite built with ICU folds more).
    d_->wordIndex =
        d_->scalar(QStringLiteral(
                       "SELECT lower('AZ\u00c0\u0130\u212a') = 'az\u00c0\u0130\u212a' "
                       "AND 'a' LIKE 'A' AND 'Z' LIKE 'z' AND '\u00e9' NOT LIKE '\u00c9' "
                       "AND '\u212a' NOT LIKE 'k'"))
            .toInt() == 1;
  }
  // A quick look that the file really is a casebook and not something
  // else that SQLite happens to open.
  d_->exec(QStringLiteral("SELECT ID, ParentID, Name FROM Folder LIMIT 0"));
  d_->exec(QStringLiteral("SELECT ID, BT, QZR, SJ, FL, FK, LR FROM Omenry LIMIT 0"));
  // Texts are written and read as UTF-8 bytes (TextParameter, TextColumn):
  // a file in another encoding is not one of ours.
  if (d_->scalar(QStringLiteral("PRAGMA encoding")).toString() != QLatin1String("UTF-8"))
    throw StoreError(QStringLiteral("数据库文件的文本编码不是 UTF-8，不是本程序的数据库。"));
}

void CasebookStore::finishCheck(bool notifyNow) {
  if (!d_->checking) return;
  if (d_->checker.joinable()) d_->checker.join();
  d_->checking = false;
  const FileCheck& check = d_->checkResult;
  if (!check.error.isEmpty()) {
    d_->checkError = check.error;
  } else if (!check.problems.isEmpty()) {
    // Damaged: the connection stays as it is, read-only.
    d_->damaged = true;
    d_->problems = check.problems;
  } else {
    // Sound: the connection becomes a writing one. Nothing needs setting up
    // (readyAsIs), so opening it writes nothing either.
    try {
      CloseConnection(d_->connection);
      OpenConnection(d_->connection, d_->path, false);
      setUpWritable();
      setUpReading();
    } catch (const StoreError& e) {
      // Reading goes on through a read-only connection; writing reports this.
      d_->checkError = e.message();
      CloseConnection(d_->connection);
      try {
        OpenConnection(d_->connection, d_->path, true);
        setUpReading();
      } catch (...) {
        const QString error = d_->checkError;
        close();
        d_->checkError = error;
      }
    }
  }
  if (notifyNow)
    emit checkFinished();
  else
    QMetaObject::invokeMethod(this, [this] { emit checkFinished(); }, Qt::QueuedConnection);
}

void CasebookStore::requireWritable() {
  d_->requireOpen();
  // A write waits for the check of the file.
  finishCheck(false);
  d_->requireOpen();
  if (d_->damaged) throw StoreError(kDamagedText, true);
  if (!d_->checkError.isEmpty()) throw StoreError(d_->checkError);
}

bool CasebookStore::isOpen() const noexcept { return d_->open; }
bool CasebookStore::isChecking() const noexcept { return d_->open && d_->checking; }
bool CasebookStore::isDamaged() const noexcept { return d_->open && d_->damaged; }
QStringList CasebookStore::damageReport() const { return d_->open ? d_->problems : QStringList(); }
QString CasebookStore::checkError() const { return d_->checkError; }
QString CasebookStore::dataDir() const { return d_->open ? d_->dir : QString(); }
QString CasebookStore::databasePath() const { return d_->open ? d_->path : QString(); }

void CasebookStore::close() noexcept {
  if (d_->checker.joinable()) {
    d_->cancelCheck = true;
    d_->checker.join();
  }
  d_->checking = false;
  d_->list->close();
  CloseConnection(d_->connection);
  d_->open = false;
  d_->wordIndex = false;
  d_->damaged = false;
  d_->problems.clear();
  d_->checkError.clear();
  d_->dir.clear();
  d_->path.clear();
}

// ---- folders

QList<FolderRow> CasebookStore::FolderChildren(RowId parentId) {
  d_->requireOpen();
  QSqlQuery q(d_->db());
  q.setForwardOnly(true);
  if (!q.exec(QStringLiteral("SELECT ID, CAST(Name AS BLOB) FROM Folder WHERE ParentID=") + Num(parentId) +
              QStringLiteral(" ORDER BY ID")))
    Fail(q.lastError());
  QList<FolderRow> rows;
  while (q.next()) rows.append(FolderRow{q.value(0).toLongLong(), TextColumn(q.value(1))});
  if (q.lastError().isValid()) Fail(q.lastError());
  return rows;
}

int CasebookStore::FolderRecordCount(RowId id) {
  d_->requireOpen();
  QSqlQuery q(d_->db());
  q.setForwardOnly(true);
  if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM Omenry WHERE FL=") + Num(id)) || !q.next())
    Fail(q.lastError());
  return q.value(0).toInt();
}

RowId CasebookStore::AddFolder(RowId parentId, const QString& name) {
  requireWritable();
  Transaction t(d_->db());
  QSqlQuery q(d_->db());
  if (!q.prepare(QStringLiteral(
          "INSERT INTO Folder (ParentID, Name) VALUES (:ParentID, CAST(:Name AS TEXT))")))
    Fail(q.lastError());
  q.bindValue(QStringLiteral(":ParentID"), QVariant::fromValue<qint64>(parentId));
  q.bindValue(QStringLiteral(":Name"), TextParameter(CutToGbkBytes(StorableText(name), kFolderNameBytes)));
  if (!q.exec()) Fail(q.lastError());
  const RowId id = q.lastInsertId().toLongLong();
  q.finish();
  t.commit();
  return id;
}

std::optional<QString> CasebookStore::RenameFolder(RowId id, const QString& name) {
  requireWritable();
  const QString stored = CutToGbkBytes(StorableText(name), kFolderNameBytes);
  Transaction t(d_->db());
  QSqlQuery q(d_->db());
  if (!q.prepare(QStringLiteral("UPDATE Folder SET Name=CAST(:Name AS TEXT) WHERE ID=") + Num(id)))
    Fail(q.lastError());
  q.bindValue(QStringLiteral(":Name"), TextParameter(stored));
  if (!q.exec()) Fail(q.lastError());
  const int changed = q.numRowsAffected();
  q.finish();
  t.commit();
  if (changed <= 0) return std::nullopt;
  return stored;
}

bool CasebookStore::DeleteFolder(RowId id) {
  requireWritable();
  Transaction t(d_->db());
  QSqlQuery q(d_->db());
  if (!q.exec(QStringLiteral("DELETE FROM Folder WHERE ID=") + Num(id))) Fail(q.lastError());
  if (q.numRowsAffected() <= 0) return false;  // rolls back: nothing was changed
  q.finish();
  d_->list->close();
  if (!q.exec(QStringLiteral("DELETE FROM Omenry WHERE FL=") + Num(id))) Fail(q.lastError());
  q.finish();
  t.commit();
  return true;
}

// ---- the record list

namespace {

// Titles and querents are read as their bytes (see TextColumn).
const QString kListFields =
    QStringLiteral("SELECT ID,CAST(BT AS BLOB),CAST(QZR AS BLOB),SJ,FL,FK FROM Omenry");

}  // namespace

void CasebookStore::openList(const QString& text, const QList<SearchBinding>& bindings) {
  try {
    d_->requireOpen();
    auto data = std::make_unique<RecordList::Data>();
    QSqlQuery q(d_->db());
    q.setForwardOnly(true);
    if (bindings.isEmpty()) {
      if (!q.exec(text)) Fail(q.lastError());
    } else {
      if (!q.prepare(text)) Fail(q.lastError());
      for (const SearchBinding& b : bindings) q.bindValue(b.first, b.second);
      if (!q.exec()) Fail(q.lastError());
    }
    while (q.next()) {
      ListRow r;
      r.id = q.value(0).toLongLong();
      r.bt = TextColumn(q.value(1));
      r.qzr = TextColumn(q.value(2));
      r.sj = DateValue(q.value(3));
      r.fl = q.value(4).toLongLong();
      r.fk = BoolValue(q.value(5));
      data->rows.push_back(std::move(r));
    }
    if (q.lastError().isValid()) Fail(q.lastError());
    d_->list->open(std::move(data));
  } catch (...) {
    d_->list->close();
    throw;
  }
}

void CasebookStore::ListFolderRecords(RowId folderId) {
  openList(kListFields + QStringLiteral(" WHERE FL=") + Num(folderId) +
           QStringLiteral(" ORDER BY ID DESC"));
}

namespace {

// How a search word is answered by the word index.
struct WordPlan {
  enum Kind {
    None,         // no record can hold the word
    Match,        // the records that match expr
    Unselective,  // too many records hold it for the index to pay
  } kind = None;
  QString expr;        // FTS5 query (Match)
  bool exact = false;  // expr gives exactly the records whose field holds the word
};

// An FTS5 string: the text in double quotes, a quote inside doubled. Its
// characters are taken as they are.
QString FtsString(const QString& text) {
  QString s = text;
  s.replace(QLatin1Char('"'), QStringLiteral("\"\""));
  return QLatin1Char('"') + s + QLatin1Char('"');
}

// Words the index is not asked about: control characters (the line feeds
// that close every indexed value among them), unpaired surrogates, the
// characters the tokenizer reads as U+FFFD, and U+FEFF (SQLite drops it as
// a byte-order mark at the start of a bound text).
bool IndexableWord(const QString& word) {
  for (qsizetype i = 0; i < word.size(); ++i) {
    const char16_t c = word.at(i).unicode();
    if (c < 0x20 || c == 0x7f || c == 0xfeff || c == 0xfffd || c == 0xfffe || c == 0xffff)
      return false;
    if (QChar::isHighSurrogate(c)) {
      if (i + 1 >= word.size() || !QChar::isLowSurrogate(word.at(i + 1).unicode())) return false;
      ++i;
    } else if (QChar::isLowSurrogate(c)) {
      return false;
    }
  }
  return true;
}

QString AsciiLower(const QString& text) {
  QString s = text;
  for (QChar& c : s)
    if (c.unicode() >= u'A' && c.unicode() <= u'Z') c = QChar(c.unicode() + (u'a' - u'A'));
  return s;
}

// A word of one or two characters is found as the start of indexed
// trigrams: the terms from the word itself up to the word followed by the
// largest characters are exactly the terms that begin with it, and the
// records holding any of them are the records holding the word. Such a word
// is left to the LIKE check when it begins more than kMaxTerms terms (an
// FTS5 "or" of that many is slow) or when its terms are held by more than
// kMaxDocsPerRecord times as many records as there are (it is everywhere and
// narrows nothing).
constexpr int kMaxTerms = 256;
constexpr qint64 kMaxDocsPerRecord = 16;

}  // namespace

QString CasebookStore::indexedSearch(const SearchCondition& condition,
                                     QList<SearchBinding>* bindings) {
  qint64 records = -1;  // counted when first needed
  bool exact = true;
  QStringList unions;   // one "rowid IN" source per clause
  QList<SearchBinding> matches;
  for (const SearchClause& clause : condition.clauses) {
    const QStringList words = clause.usedWords();
    if (words.isEmpty()) continue;
    const int field = static_cast<int>(clause.field);
    QStringList exprs;
    bool clauseNone = false;  // the clause can match nothing
    bool clauseAll = false;   // the index cannot narrow the clause
    for (const QString& word : words) {
      if (!IndexableWord(word)) return QString();
      const std::u32string chars = AsciiLower(word).toStdU32String();
      WordPlan plan;
      if (chars.size() >= 3) {
        // Every trigram of the word must be there; three characters are one
        // trigram and say it exactly, a longer word leaves the order of its
        // trigrams to the LIKE check.
        QStringList terms;
        for (size_t i = 0; i + 3 <= chars.size(); ++i) {
          const QString term = FtsString(QString::fromStdU32String(chars.substr(i, 3)));
          if (!terms.contains(term)) terms << term;
        }
        plan.kind = WordPlan::Match;
        plan.expr = terms.size() == 1 ? terms.first()
                                      : QLatin1Char('(') + terms.join(QStringLiteral(" AND ")) +
                                            QLatin1Char(')');
        plan.exact = chars.size() == 3;
      } else {
        if (records < 0) records = d_->scalar(QStringLiteral("SELECT COUNT(*) FROM Omenry")).toLongLong();
        const QString lo = QString::fromStdU32String(chars);
        QString hi = lo;
        for (size_t k = chars.size(); k < 3; ++k) hi += QString::fromStdU32String(U"\U0010FFFF");
        QSqlQuery q(d_->db());
        q.setForwardOnly(true);
        if (!q.prepare(QStringLiteral("SELECT CAST(term AS BLOB), doc FROM temp.%1 WHERE term >= :lo AND term <= :hi")
                           .arg(QLatin1String(kWordIndexTerms[field]))))
          Fail(q.lastError());
        q.bindValue(QStringLiteral(":lo"), lo);
        q.bindValue(QStringLiteral(":hi"), hi);
        if (!q.exec()) Fail(q.lastError());
        QStringList terms;
        qint64 docs = 0;
        while (q.next() && terms.size() <= kMaxTerms) {
          terms << FtsString(TextColumn(q.value(0)));
          docs += q.value(1).toLongLong();
        }
        if (q.lastError().isValid()) Fail(q.lastError());
        if (terms.isEmpty()) {
          plan.kind = WordPlan::None;
        } else if (terms.size() > kMaxTerms || docs > kMaxDocsPerRecord * std::max<qint64>(records, 1)) {
          plan.kind = WordPlan::Unselective;
        } else {
          plan.kind = WordPlan::Match;
          plan.expr = terms.size() == 1 ? terms.first()
                                        : QLatin1Char('(') + terms.join(QStringLiteral(" OR ")) +
                                              QLatin1Char(')');
          plan.exact = true;
        }
      }
      // Combine into the clause: with "and" one word that no record holds
      // empties the clause, and a word the index cannot narrow is left to
      // the LIKE check; with "or" such a word makes the clause unnarrowable.
      switch (plan.kind) {
        case WordPlan::None:
          if (clause.all) clauseNone = true;
          break;
        case WordPlan::Unselective:
          if (clause.all) exact = false;
          else clauseAll = true;
          break;
        case WordPlan::Match:
          exprs << plan.expr;
          if (!plan.exact) exact = false;
          break;
      }
    }
    if (clause.all && clauseNone) continue;  // adds no records
    if (clauseAll || (clause.all && exprs.isEmpty())) return QString();
    if (exprs.isEmpty()) continue;  // "or" of words no record holds
    const QString param = QStringLiteral(":match%1").arg(matches.size());
    matches.append({param, exprs.join(clause.all ? QStringLiteral(" AND ") : QStringLiteral(" OR "))});
    const QString table = QLatin1String(kWordIndexTables[field]);
    unions << QStringLiteral("SELECT rowid FROM %1 WHERE %1 MATCH %2").arg(table, param);
  }
  if (unions.isEmpty()) return kListFields + QStringLiteral(" WHERE 0");
  const QString ids = QStringLiteral(" IN (") + unions.join(QStringLiteral(" UNION ")) + QLatin1Char(')');
  *bindings = matches;
  if (exact) {
    // The listed fields all stand in the index OmenryList: one pass over it
    // (ID kept from being looked up one by one by the "+") reads a large
    // result far faster than a look-up in the table per record.
    return kListFields + QStringLiteral(" WHERE +ID") + ids;
  }
  *bindings += condition.bindings();
  return kListFields + QStringLiteral(" WHERE ID") + ids + QStringLiteral(" AND (") +
         ConditionPredicate(condition) + QLatin1Char(')');
}

void CasebookStore::search(const SearchCondition& condition, bool useIndex) {
  if (!d_->open) {
    d_->list->close();
    d_->requireOpen();
  }
  // Every statement of a search only reads; the connection is read-only
  // while it runs, whatever the condition holds.
  d_->exec(QStringLiteral("PRAGMA query_only=1"));
  try {
    QList<SearchBinding> bindings;
    QString text;
    if (condition.isEmpty()) {
      text = kListFields + QStringLiteral(" WHERE 0");
    } else {
      if (useIndex && d_->wordIndex) text = indexedSearch(condition, &bindings);
      if (text.isEmpty()) {
        text = kListFields + condition.text();
        bindings = condition.bindings();
      }
    }
    openList(text, bindings);
  } catch (...) {
    d_->list->close();
    try {
      d_->exec(QStringLiteral("PRAGMA query_only=0"));
    } catch (...) {
    }
    throw;
  }
  d_->exec(QStringLiteral("PRAGMA query_only=0"));
}

void CasebookStore::SearchRecords(const SearchCondition& condition) { search(condition, true); }

void CasebookStore::SearchRecordsByScan(const SearchCondition& condition) {
  search(condition, false);
}

RecordList* CasebookStore::records() noexcept { return d_->list; }

QVariant CasebookStore::readText(RowId id) const {
  d_->requireOpen();
  QSqlQuery q(d_->db());
  q.setForwardOnly(true);
  if (!q.exec(QStringLiteral("SELECT CAST(LR AS BLOB) FROM Omenry WHERE ID=") + Num(id)))
    Fail(q.lastError());
  if (!q.next()) {
    if (q.lastError().isValid()) Fail(q.lastError());
    return QVariant();
  }
  const QVariant value = q.value(0);
  return value.isNull() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(TextColumn(value));
}

// ---- records

namespace {

// The fields an insert and an update both write; title and querent cut at
// their byte sizes as a last resort.
void BindRecordFields(QSqlQuery& q, const QString& bt, const QString& qzr, bool fk,
                      const QString& lr, const QDate& sj) {
  q.bindValue(QStringLiteral(":BT"), TextParameter(CutToGbkBytes(StorableText(bt), kTitleBytes)));
  q.bindValue(QStringLiteral(":QZR"), TextParameter(CutToGbkBytes(StorableText(qzr), kQuerentBytes)));
  q.bindValue(QStringLiteral(":FK"), fk ? 1 : 0);
  q.bindValue(QStringLiteral(":LR"), TextParameter(lr.isNull() ? QString(QLatin1String("")) : lr));
  q.bindValue(QStringLiteral(":SJ"),
              sj.isValid() ? QVariant(sj.toString(Qt::ISODate)) : QVariant(QMetaType(QMetaType::QString)));
}

}  // namespace

RowId CasebookStore::InsertRecord(const QString& bt, const QString& qzr, bool fk,
                                  const QString& lr, const QDate& sj, RowId fl) {
  d_->list->close();
  requireWritable();
  Transaction t(d_->db());
  QSqlQuery q(d_->db());
  if (!q.prepare(QStringLiteral(
          "Insert into Omenry (BT,QZR,FK,LR,SJ,FL) VALUES (CAST(:BT AS TEXT),CAST(:QZR AS TEXT),"
          ":FK,CAST(:LR AS TEXT),:SJ,:FL)")))
    Fail(q.lastError());
  BindRecordFields(q, bt, qzr, fk, lr, sj);
  q.bindValue(QStringLiteral(":FL"), QVariant::fromValue<qint64>(fl));
  if (!q.exec()) Fail(q.lastError());
  const RowId id = q.lastInsertId().toLongLong();
  q.finish();
  t.commit();
  return id;
}

void CasebookStore::UpdateRecord(const QString& bt, const QString& qzr, bool fk,
                                 const QDate& sj, const QString& lr, RowId id) {
  d_->list->close();
  requireWritable();
  Transaction t(d_->db());
  QSqlQuery q(d_->db());
  if (!q.prepare(QStringLiteral(
          "Update Omenry set BT=CAST(:BT AS TEXT),QZR=CAST(:QZR AS TEXT),FK=:FK,"
          "LR=CAST(:LR AS TEXT),SJ=:SJ where (ID=:ID)")))
    Fail(q.lastError());
  BindRecordFields(q, bt, qzr, fk, lr, sj);
  q.bindValue(QStringLiteral(":ID"), QVariant::fromValue<qint64>(id));
  if (!q.exec()) Fail(q.lastError());
  q.finish();
  t.commit();
}

void CasebookStore::DeleteRecord(RowId id) {
  d_->list->close();
  requireWritable();
  Transaction t(d_->db());
  QSqlQuery q(d_->db());
  if (!q.exec(QStringLiteral("DELETE FROM Omenry WHERE ID=") + Num(id))) Fail(q.lastError());
  q.finish();
  t.commit();
}
