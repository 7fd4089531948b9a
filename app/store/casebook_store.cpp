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
#include <QTextBoundaryFinder>

#include <utility>
#include <vector>

// ---------------------------------------------------------------------------
// Errors

StoreError::StoreError(const QString& message)
    : std::runtime_error(message.toStdString()), message_(message) {}

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

[[noreturn]] void Fail(const QSqlError& e) { throw StoreError(EngineText(e)); }

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

  QSqlDatabase db() const { return QSqlDatabase::database(connection, false); }

  // Runs one statement text without parameters; throws on failure.
  QSqlQuery exec(const QString& text) const {
    QSqlQuery q(db());
    if (!q.exec(text)) Fail(q.lastError());
    return q;
  }

  void requireOpen() const {
    if (!open) throw StoreError(QStringLiteral("database is not open"));
  }
};

namespace {

// A transaction on the store's connection that rolls back unless committed.
class Transaction {
 public:
  explicit Transaction(QSqlDatabase db) : db_(std::move(db)) {
    if (!db_.transaction()) Fail(db_.lastError());
  }
  ~Transaction() {
    if (!done_) db_.rollback();
  }
  void commit() {
    if (!db_.commit()) {
      const QSqlError e = db_.lastError();
      db_.rollback();
      done_ = true;
      Fail(e);
    }
    done_ = true;
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

 private:
  QSqlDatabase db_;
  bool done_ = false;
};

void MakeOwnerOnly(const QString& path, QFileDevice::Permissions perms) {
  if (QFileInfo::exists(path)) QFile::setPermissions(path, perms);
}

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

  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), d_->connection);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) {
      const QString text = EngineText(db.lastError()) + QStringLiteral(" (") +
                           QDir::toNativeSeparators(path) + QLatin1Char(')');
      db = QSqlDatabase();
      QSqlDatabase::removeDatabase(d_->connection);
      throw StoreError(text);
    }
  }
  d_->open = true;
  d_->dir = dir;
  d_->path = path;
  try {
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
    t.commit();
    // A quick look that the file really is a casebook and not something
    // else that SQLite happens to open.
    d_->exec(QStringLiteral("SELECT ID, ParentID, Name FROM Folder LIMIT 0"));
    d_->exec(QStringLiteral("SELECT ID, BT, QZR, SJ, FL, FK, LR FROM Omenry LIMIT 0"));
  } catch (...) {
    close();
    throw;
  }
  for (const char* suffix : {"-wal", "-shm"})
    MakeOwnerOnly(path + QLatin1String(suffix), kOwnerFile);
}

bool CasebookStore::isOpen() const noexcept { return d_->open; }
QString CasebookStore::dataDir() const { return d_->open ? d_->dir : QString(); }
QString CasebookStore::databasePath() const { return d_->open ? d_->path : QString(); }

void CasebookStore::close() noexcept {
  d_->list->close();
  if (QSqlDatabase::contains(d_->connection)) {
    {
      QSqlDatabase db = QSqlDatabase::database(d_->connection, false);
      db.close();
    }
    QSqlDatabase::removeDatabase(d_->connection);
  }
  d_->open = false;
  d_->dir.clear();
  d_->path.clear();
}

// ---- folders

QList<FolderRow> CasebookStore::FolderChildren(RowId parentId) {
  d_->requireOpen();
  QSqlQuery q(d_->db());
  q.setForwardOnly(true);
  if (!q.exec(QStringLiteral("SELECT ID, Name FROM Folder WHERE ParentID=") + Num(parentId) +
              QStringLiteral(" ORDER BY ID")))
    Fail(q.lastError());
  QList<FolderRow> rows;
  while (q.next()) rows.append(FolderRow{q.value(0).toLongLong(), q.value(1).toString()});
  if (q.lastError().isValid()) Fail(q.lastError());
  return rows;
}

RowId CasebookStore::AddFolder(RowId parentId, const QString& name) {
  d_->requireOpen();
  Transaction t(d_->db());
  QSqlQuery q(d_->db());
  if (!q.prepare(QStringLiteral("INSERT INTO Folder (ParentID, Name) VALUES (:ParentID, :Name)")))
    Fail(q.lastError());
  q.bindValue(QStringLiteral(":ParentID"), QVariant::fromValue<qint64>(parentId));
  q.bindValue(QStringLiteral(":Name"), CutToGbkBytes(name, kFolderNameBytes));
  if (!q.exec()) Fail(q.lastError());
  const RowId id = q.lastInsertId().toLongLong();
  q.finish();
  t.commit();
  return id;
}

std::optional<QString> CasebookStore::RenameFolder(RowId id, const QString& name) {
  d_->requireOpen();
  const QString stored = CutToGbkBytes(name, kFolderNameBytes);
  Transaction t(d_->db());
  QSqlQuery q(d_->db());
  if (!q.prepare(QStringLiteral("UPDATE Folder SET Name=:Name WHERE ID=") + Num(id)))
    Fail(q.lastError());
  q.bindValue(QStringLiteral(":Name"), stored);
  if (!q.exec()) Fail(q.lastError());
  const int changed = q.numRowsAffected();
  q.finish();
  t.commit();
  if (changed <= 0) return std::nullopt;
  return stored;
}

bool CasebookStore::DeleteFolder(RowId id) {
  d_->requireOpen();
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

const QString kListFields = QStringLiteral("SELECT ID,BT,QZR,SJ,FL,FK FROM Omenry");

}  // namespace

void CasebookStore::openList(const QString& text) {
  try {
    d_->requireOpen();
    auto data = std::make_unique<RecordList::Data>();
    QSqlQuery q(d_->db());
    q.setForwardOnly(true);
    if (!q.exec(text)) Fail(q.lastError());
    while (q.next()) {
      ListRow r;
      r.id = q.value(0).toLongLong();
      r.bt = q.value(1).toString();
      r.qzr = q.value(2).toString();
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

void CasebookStore::SearchRecords(const QString& condition) {
  if (!d_->open) {
    d_->list->close();
    d_->requireOpen();
  }
  // The condition comes from the user's words unescaped: it runs with the
  // connection switched to read-only, so that nothing in it can change data.
  // (A second statement after a semicolon is refused by the driver anyway.)
  d_->exec(QStringLiteral("PRAGMA query_only=1"));
  try {
    openList(kListFields + condition);
  } catch (...) {
    try {
      d_->exec(QStringLiteral("PRAGMA query_only=0"));
    } catch (...) {
    }
    throw;
  }
  d_->exec(QStringLiteral("PRAGMA query_only=0"));
}

RecordList* CasebookStore::records() noexcept { return d_->list; }

QVariant CasebookStore::readText(RowId id) const {
  d_->requireOpen();
  QSqlQuery q(d_->db());
  q.setForwardOnly(true);
  if (!q.exec(QStringLiteral("SELECT LR FROM Omenry WHERE ID=") + Num(id))) Fail(q.lastError());
  if (!q.next()) {
    if (q.lastError().isValid()) Fail(q.lastError());
    return QVariant();
  }
  return q.value(0);
}

// ---- records

RowId CasebookStore::InsertRecord(const QString& bt, const QString& qzr, bool fk,
                                  const QString& lr, const QDate& sj, RowId fl) {
  d_->list->close();
  d_->requireOpen();
  Transaction t(d_->db());
  QSqlQuery q(d_->db());
  if (!q.prepare(QStringLiteral(
          "Insert into Omenry (BT,QZR,FK,LR,SJ,FL) VALUES (:BT,:QZR,:FK,:LR,:SJ,:FL)")))
    Fail(q.lastError());
  q.bindValue(QStringLiteral(":BT"), CutToGbkBytes(bt, kTitleBytes));
  q.bindValue(QStringLiteral(":QZR"), CutToGbkBytes(qzr, kQuerentBytes));
  q.bindValue(QStringLiteral(":FK"), fk ? 1 : 0);
  q.bindValue(QStringLiteral(":LR"), lr.isNull() ? QString(QLatin1String("")) : lr);
  q.bindValue(QStringLiteral(":SJ"),
              sj.isValid() ? QVariant(sj.toString(Qt::ISODate)) : QVariant(QMetaType(QMetaType::QString)));
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
  d_->requireOpen();
  Transaction t(d_->db());
  QSqlQuery q(d_->db());
  if (!q.prepare(QStringLiteral(
          "Update Omenry set BT=:BT,QZR=:QZR,FK=:FK,LR=:LR,SJ=:SJ where (ID=:ID)")))
    Fail(q.lastError());
  q.bindValue(QStringLiteral(":BT"), CutToGbkBytes(bt, kTitleBytes));
  q.bindValue(QStringLiteral(":QZR"), CutToGbkBytes(qzr, kQuerentBytes));
  q.bindValue(QStringLiteral(":FK"), fk ? 1 : 0);
  q.bindValue(QStringLiteral(":LR"), lr.isNull() ? QString(QLatin1String("")) : lr);
  q.bindValue(QStringLiteral(":SJ"),
              sj.isValid() ? QVariant(sj.toString(Qt::ISODate)) : QVariant(QMetaType(QMetaType::QString)));
  q.bindValue(QStringLiteral(":ID"), QVariant::fromValue<qint64>(id));
  if (!q.exec()) Fail(q.lastError());
  q.finish();
  t.commit();
}

void CasebookStore::DeleteRecord(RowId id) {
  d_->list->close();
  d_->requireOpen();
  Transaction t(d_->db());
  QSqlQuery q(d_->db());
  if (!q.exec(QStringLiteral("DELETE FROM Omenry WHERE ID=") + Num(id))) Fail(q.lastError());
  q.finish();
  t.commit();
}
