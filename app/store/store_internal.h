#pragma once
// What the store's files share; not for the store's users. The contract is
// in casebook_store.h.

#include <QSqlDatabase>
#include <QTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <atomic>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

#include "casebook_store.h"
#include "chart_cast.h"

struct sqlite3;

namespace store_detail {

// ---------------------------------------------------------------------------
// Errors

// The engine's own words for an error: SQLite's message when there is one,
// else what the Qt driver says.
QString EngineText(const QSqlError& e);

// SQLite's primary result codes for a file that is not (or no longer) a
// sound database.
inline constexpr int kSqliteCorrupt = 11;
inline constexpr int kSqliteNotADb = 26;

// The error comes from a damaged file.
bool IsDamage(const QSqlError& e);
inline bool IsDamageCode(int code) { return code == kSqliteCorrupt || code == kSqliteNotADb; }

// Throws the error as a StoreError.
[[noreturn]] void Fail(const QSqlError& e);

// The SQLite connection under a Qt SQL one. Qt's SQLite driver and the store
// must use one and the same SQLite library (on Debian both use the system's
// libsqlite3); a StoreError says so when they do not.
sqlite3* Handle(const QSqlDatabase& db);

// What the user reads for an error of SQLite's primary result code `code`:
// a Chinese sentence, then the engine's own text as the detail.
QString UserText(int code, const QString& detail);

// The record checksum over the stored bytes of BT, QZR, SJ, FK and LR (each
// as CAST(x AS BLOB); a null QByteArray stands for NULL).
QByteArray RecordChecksum(const QByteArray& bt, const QByteArray& qzr, const QByteArray& sj,
                          const QByteArray& fk, const QByteArray& lr);

// ---------------------------------------------------------------------------
// Statements

// A number as it is spliced into a statement's text.
inline QString Num(RowId n) { return QString::number(n); }

// A text as it is bound to a statement, where it stands as CAST(:X AS TEXT):
// its UTF-8 bytes, which SQLite takes as they are. (Bound as UTF-16 text,
// SQLite would drop a U+FEFF at its start as a byte-order mark.) A null text
// is NULL, an empty one ''.
QVariant TextParameter(const QString& text);

// A value read as CAST(X AS BLOB), as bytes; a null QByteArray for NULL, an
// empty one (not null) for ''.
inline QByteArray Bytes(const QVariant& value) {
  if (value.isNull()) return QByteArray();
  QByteArray b = value.toByteArray();
  if (b.isNull()) b = QByteArray("");
  return b;
}

// A text read as CAST(X AS BLOB): its UTF-8 bytes exactly as stored. (Read
// as UTF-16, SQLite would turn U+FFFE and U+FFFF into U+FFFD.) NULL gives a
// null string.
QString TextColumn(const QVariant& value);

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

// What PRAGMA quick_check says of a file.
struct FileCheck {
  QStringList problems;  // SQLite's lines (at most 20); empty: sound
  QString error;         // the check could not run: SQLite's message
  int code = 0;          // and its primary result code
  bool unreadable = false;  // SQLite cannot read the file as a database
  bool cancelled = false;
};

// ---------------------------------------------------------------------------
// The kept casts (casebook_casts.cpp)

// Writes the casts as rows of OmenryCasts belonging to `record` (within the
// caller's transaction); returns their new IDs, in order. Each cast's own
// `id` and `record` are not read.
QList<RowId> InsertCasts(const QSqlDatabase& db, RowId record, const QList<ChartCast>& casts);

// ---------------------------------------------------------------------------
// The word index of the search (casebook_search.cpp)

// The version of the index that PRAGMA user_version holds once it is built.
// 1: the trigram tables and their triggers; 2: also OmenryNulTexts.
inline constexpr int kWordIndexVersion = 2;
// The index's tables, of the titles and of the texts, and the term tables
// (fts5vocab) over them that each connection makes for itself.
inline constexpr const char* kWordIndexTables[] = {"OmenryTitleWords", "OmenryTextWords"};
inline constexpr const char* kWordIndexTerms[] = {"OmenryTitleTerms", "OmenryTextTerms"};
// The IDs of the records whose title or text holds a U+0000, which the
// trigram tables see only up to there.
inline constexpr const char* kNulTexts = "OmenryNulTexts";

// Builds what the index lacks, and the triggers that keep it in step, on the
// store's connection (within the caller's transaction).
void CreateWordIndex(const QSqlDatabase& db);

// The name of the search's comparison, contains_word(value, word), an SQL
// function of the store's own that every connection of the store has.
inline constexpr const char* kContainsWord = "contains_word";

// The clauses of the condition that have words, joined by " or ", without
// " where " (search_condition.cpp).
QString ConditionPredicate(const SearchCondition& condition);

// ---------------------------------------------------------------------------
// The record list's rows

// The listed fields of the records, read as their bytes (see TextColumn),
// in the order of ListRow; a condition follows.
inline const QString kListFields = QStringLiteral(
    "SELECT ID,CAST(BT AS BLOB),CAST(QZR AS BLOB),SJ,FL,FK,"
    "(SELECT CAST(Name AS BLOB) FROM Folder WHERE Folder.ID=Omenry.FL) FROM Omenry");

struct ListRow {
  RowId id = 0;
  QString bt;
  QString qzr;
  QVariant sj;  // QDate, or null
  RowId fl = 0;
  QVariant fk;  // bool, or null
  QString folderName;  // the name of folder FL ("" when there is none)
};

// SJ as read: a QDate, or null when empty or not a date.
QVariant DateValue(const QVariant& v);
// FK as read: a bool, or null when empty.
QVariant BoolValue(const QVariant& v);

}  // namespace store_detail

struct RecordList::Data {
  std::vector<store_detail::ListRow> rows;
  int current = -1;
  // The text of one row, read on demand and kept until the list moves on.
  mutable RowId cachedId = 0;
  mutable bool cached = false;
  mutable QVariant cachedText;
  mutable RecordIntegrity cachedIntegrity = RecordIntegrity::Unchecked;
};

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
  // Why the casebook is only read (Damaged with `damaged`).
  ReadOnlyReason readOnly = ReadOnlyReason::None;
  // Tries a locked casebook again (ReadOnlyReason::Locked).
  QTimer* lockRetry = nullptr;
  // Folds the log back once the program is idle after a write.
  QTimer* checkpoint = nullptr;
  // The file has the recycle bin's columns (DT) and the checksums' table: a
  // casebook made before them and only read lacks them.
  bool hasBin = false;
  bool hasChecks = false;
  // The file has the table of kept casts: a casebook made before it and
  // only read lacks it (its records simply have no casts).
  bool hasCasts = false;
  // The record list's order, and the listing it was last opened with (its
  // statement without the order, its parameters, its own newest-first
  // order), so that a new order lists it again.
  ListOrder order = ListOrder::Newest;
  Qt::SortOrder direction = Qt::DescendingOrder;
  QString listText;
  QList<SearchBinding> listBindings;
  QString listNewest;
  // When the list holds a search's result: the search, to be run anew by
  // Relist (the statement may hold what the word index said at the time).
  std::optional<SearchCondition> listSearch;
  bool listSearchIndexed = true;
  QStringList problems;
  // The check of a large casebook runs on `checker` while the connection
  // reads, read-only; `checkError` is set when the check could not run.
  bool checking = false;
  std::thread checker;
  std::atomic<bool> cancelCheck{false};
  store_detail::FileCheck checkResult;  // written by `checker`, read after joining it
  QString checkError;
  int generation = 0;  // of the opening, so that a late report of an earlier one is ignored

  QSqlDatabase db() const { return QSqlDatabase::database(connection, false); }

  // Runs one statement text without parameters; throws on failure.
  QSqlQuery exec(const QString& text) const {
    QSqlQuery q(db());
    if (!q.exec(text)) store_detail::Fail(q.lastError());
    return q;
  }

  // The first column of the first row of a statement without parameters
  // (null when there is no row); throws on failure.
  QVariant scalar(const QString& text) const {
    QSqlQuery q = exec(text);
    if (!q.next()) {
      if (q.lastError().isValid()) store_detail::Fail(q.lastError());
      return QVariant();
    }
    return q.value(0);
  }

  // Whether the table has the column.
  bool hasColumn(const QString& table, const QString& column) const {
    return scalar(QStringLiteral("SELECT COUNT(*) FROM pragma_table_info('%1') WHERE name='%2' COLLATE NOCASE")
                      .arg(table, column))
               .toInt() > 0;
  }

  void requireOpen() const {
    if (!open) throw StoreError(QStringLiteral("数据库没有打开。\n详细信息：database is not open"));
  }

  // " AND DT IS NULL" (outside the bin) on a file that has the bin, for the
  // table's alias or name given.
  QString live(const QString& table = QString()) const {
    if (!hasBin) return QString();
    return QStringLiteral(" AND ") + (table.isEmpty() ? QString() : table + QLatin1Char('.')) +
           QStringLiteral("DT IS NULL");
  }
};
