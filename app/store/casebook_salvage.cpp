// Salvage through SQLite's C interface. Two connections: one reads the
// damaged file, read-only and without a transaction of its own; the other
// writes the fresh casebook, in one transaction, with the backup attached
// read-only as "bak". They must be two: once a statement meets a damaged
// page (SQLITE_CORRUPT), SQLite refuses every later write of the
// transaction on that connection, in whichever database. The fresh file
// keeps no journal until it is complete (it is thrown away on failure).

#include "casebook_salvage.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <QUrl>

#include <sqlite3.h>

#include <limits>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "casebook_store.h"

namespace {

// A copy of a value read from a statement, kept after the statement moves on.
using Value = std::unique_ptr<sqlite3_value, decltype(&sqlite3_value_free)>;
Value NoValue() { return Value(nullptr, &sqlite3_value_free); }
Value Dup(sqlite3_stmt* st, int column) {
  return Value(sqlite3_value_dup(sqlite3_column_value(st, column)), &sqlite3_value_free);
}

QString Quoted(const QString& name) {
  return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
         QLatin1Char('"');
}

// The place of a column name in a list, letter case aside (as SQLite
// compares names); -1 when it is not there.
int ColumnAt(const QStringList& columns, const QString& name) {
  for (int i = 0; i < int(columns.size()); ++i)
    if (columns[i].compare(name, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

QString QuotedList(const QStringList& names, const QString& prefix = QString()) {
  QStringList quoted;
  for (const QString& n : names) quoted << prefix + Quoted(n);
  return quoted.join(QLatin1Char(','));
}

// A prepared statement, finalised on every path. A statement that cannot be
// prepared steps to SQLITE_ERROR.
class Statement {
 public:
  Statement(sqlite3* db, const QString& sql) {
    sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st_, nullptr);
  }
  ~Statement() { sqlite3_finalize(st_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  sqlite3_stmt* get() const { return st_; }
  int step() { return st_ ? sqlite3_step(st_) : SQLITE_ERROR; }
  void reset() {
    if (!st_) return;
    sqlite3_reset(st_);
    sqlite3_clear_bindings(st_);
  }
  void bind(int i, qint64 v) {
    if (st_) sqlite3_bind_int64(st_, i, v);
  }
  void bind(int i, const QString& text) {
    if (!st_) return;
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(st_, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
  }
  qint64 int64(int column) const { return sqlite3_column_int64(st_, column); }
  QString text(int column) const {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st_, column)));
  }

 private:
  sqlite3_stmt* st_ = nullptr;
};

class Cancelled {};
class Failed {
 public:
  explicit Failed(QString what) : what_(std::move(what)) {}
  const QString& what() const { return what_; }

 private:
  QString what_;
};

class Salvage {
 public:
  Salvage(const std::atomic<bool>* cancel, const CopyProgress& progress)
      : cancel_(cancel), progress_(progress) {}
  ~Salvage() {
    sqlite3_close(db_);
    sqlite3_close(reader_);
  }

  SalvageReport run(const QString& damaged, const QString& backup, const QString& fresh);

 private:
  // One table of the damaged file, as far as it can be read.
  struct TableRead {
    QString table;
    QStringList columns;  // copied: in both files, "ID" among them
    std::set<qint64> ids;  // found in the table itself
    // Rows found only in an index: the values of the index's columns.
    std::map<qint64, std::vector<std::pair<int, Value>>> fromIndex;
  };

  void exec(const QString& sql);
  qint64 scalar(const QString& sql, bool* ok = nullptr);
  bool attach(const QString& path, const char* name);
  void detach(const char* name);
  bool openDamaged(const QString& path);
  QStringList columns(sqlite3* db, const char* schema, const QString& table);
  QStringList common(sqlite3* db, const char* schema, const QString& table);
  void checkCancel() const {
    if (cancel_ && cancel_->load()) throw Cancelled();
  }
  TableRead scan(const QString& table);
  void scanIds(TableRead& t);
  void scanIndexes(TableRead& t);
  qint64 copyRows(TableRead& t);
  // Adds what the backup holds that is missing; *replaced of those were
  // read in part, *taken others were not read at all.
  void mergeBackup(const QString& table, qint64* taken, qint64* replaced);
  qint64 addVariants();
  qint64 keepWholeCasts();
  void raiseSequences();
  qint64 addFolder(const QString& name);
  void hangFoldersUnderRoot();
  qint64 fileLostRecords();
  void markLost(const QString& table, const QString& column, const QString& marker);

  sqlite3* db_ = nullptr;      // the fresh casebook ("main"), the backup ("bak")
  sqlite3* reader_ = nullptr;  // the damaged file
  const std::atomic<bool>* cancel_;
  const CopyProgress& progress_;
  int done_ = 0;
  int total_ = 0;
  bool haveBackup_ = false;
};

void Salvage::exec(const QString& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
    const QString what = QString::fromUtf8(message ? message : sqlite3_errmsg(db_));
    sqlite3_free(message);
    throw Failed(what);
  }
}

qint64 Salvage::scalar(const QString& sql, bool* ok) {
  Statement st(db_, sql);
  const int rc = st.step();
  if (ok) *ok = rc == SQLITE_ROW;
  else if (rc != SQLITE_ROW) throw Failed(QString::fromUtf8(sqlite3_errmsg(db_)));
  return rc == SQLITE_ROW ? st.int64(0) : 0;
}

bool Salvage::attach(const QString& path, const char* name) {
  // Read-only through a URI; the path is percent-encoded for it.
  const QString uri = QStringLiteral("file:") +
                      QString::fromUtf8(QUrl::toPercentEncoding(QFileInfo(path).absoluteFilePath(), "/")) +
                      QStringLiteral("?mode=ro");
  {
    Statement st(db_, QStringLiteral("ATTACH ?1 AS %1").arg(QLatin1String(name)));
    st.bind(1, uri);
    if (st.step() != SQLITE_DONE) return false;
  }
  // The schema is read at the first look into it.
  bool ok = false;
  scalar(QStringLiteral("SELECT COUNT(*) FROM %1.sqlite_master").arg(QLatin1String(name)), &ok);
  if (!ok) detach(name);
  return ok;
}

void Salvage::detach(const char* name) {
  sqlite3_exec(db_, QStringLiteral("DETACH DATABASE %1").arg(QLatin1String(name)).toUtf8().constData(),
               nullptr, nullptr, nullptr);
}

// The damaged file, read-only, as far as SQLite can read its schema.
bool Salvage::openDamaged(const QString& path) {
  if (sqlite3_open_v2(QFile::encodeName(path).constData(), &reader_, SQLITE_OPEN_READONLY, nullptr) !=
      SQLITE_OK)
    return false;
  Statement st(reader_, QStringLiteral("SELECT COUNT(*) FROM sqlite_master"));
  return st.step() == SQLITE_ROW;
}

QStringList Salvage::columns(sqlite3* db, const char* schema, const QString& table) {
  Statement st(db, QStringLiteral("SELECT name FROM pragma_table_info(?1, ?2)"));
  st.bind(1, table);
  st.bind(2, QString::fromLatin1(schema));
  QStringList names;
  while (st.step() == SQLITE_ROW) names << st.text(0);
  return names;
}

// The fresh casebook's columns of the table that the other file has too, in
// the fresh casebook's order; empty unless "ID" is one of them.
QStringList Salvage::common(sqlite3* db, const char* schema, const QString& table) {
  const QStringList theirs = columns(db, schema, table);
  QStringList both;
  for (const QString& c : columns(db_, "main", table))
    if (ColumnAt(theirs, c) >= 0) both << c;
  return ColumnAt(both, QStringLiteral("ID")) >= 0 ? both : QStringList();
}

// ---------------------------------------------------------------------------
// Reading the damaged file

Salvage::TableRead Salvage::scan(const QString& table) {
  TableRead t;
  t.table = table;
  t.columns = common(reader_, "main", table);
  if (t.columns.isEmpty()) return t;
  scanIds(t);
  scanIndexes(t);
  return t;
}

// The IDs of the table, read in order from the table's own b-tree (its rows'
// IDs stand in its pages; no text is read). Where a damaged page stops the
// scan, seeks at growing distances find a point past it, and halving the
// distance finds the first ID from which the scan reads again. (A seek for
// "ID >= x" lands on x's own leaf; "ID > x" would land on the leaf of x and
// step on from there, so it could not pass a damaged page at its last ID.)
void Salvage::scanIds(TableRead& t) {
  const QString from = QStringLiteral("SELECT ID FROM %1 NOT INDEXED WHERE ID >= ?1 ORDER BY ID")
                           .arg(Quoted(t.table));
  Statement next(reader_, from);
  Statement probe(reader_, from + QStringLiteral(" LIMIT 1"));
  auto readsOn = [&](qint64 x) {
    probe.bind(1, x);
    const int rc = probe.step();
    probe.reset();
    return rc == SQLITE_ROW || rc == SQLITE_DONE;
  };
  constexpr qint64 kMax = std::numeric_limits<qint64>::max();
  qint64 start = std::numeric_limits<qint64>::min();
  for (;;) {
    next.bind(1, start);
    int rc;
    while ((rc = next.step()) == SQLITE_ROW) {
      const qint64 id = next.int64(0);
      t.ids.insert(id);
      if (id == kMax) break;
      start = id + 1;  // where a failure would leave the scan
      if (t.ids.size() % 1024 == 0) checkCancel();
    }
    next.reset();
    if (rc == SQLITE_DONE || rc == SQLITE_ROW) return;  // the end, or the highest ID there can be
    // No seek reads from `start`. The distances are counted unsigned: from
    // the lowest ID to the highest is more than a signed 64-bit number holds.
    const quint64 span = quint64(kMax) - quint64(start);
    quint64 distance = 1;
    qint64 past = kMax;
    for (;;) {
      checkCancel();
      past = distance >= span ? kMax : qint64(quint64(start) + distance);
      if (readsOn(past)) break;
      if (past == kMax) return;  // nothing readable past the damage
      distance = distance > span / 2 ? span : distance * 2;
    }
    qint64 before = start;
    while (quint64(past) - quint64(before) > 1) {
      const qint64 mid = qint64(quint64(before) + (quint64(past) - quint64(before)) / 2);
      if (readsOn(mid)) past = mid;
      else before = mid;
    }
    start = past;
  }
}

// Rows that stand in an index of the table but were not found in the table:
// each index is read forwards, and backwards from its end, as far as it
// reads; only the index's own columns are asked for, so that the table is
// not touched.
void Salvage::scanIndexes(TableRead& t) {
  Statement list(reader_, QStringLiteral("SELECT name FROM pragma_index_list(?1)"));
  list.bind(1, t.table);
  QStringList indexes;
  while (list.step() == SQLITE_ROW) indexes << list.text(0);
  for (const QString& index : indexes) {
    Statement info(reader_, QStringLiteral("SELECT name FROM pragma_index_info(?1)"));
    info.bind(1, index);
    QStringList keys;
    bool plain = true;
    while (info.step() == SQLITE_ROW) {
      if (sqlite3_column_type(info.get(), 0) == SQLITE_NULL) plain = false;  // an expression
      keys << info.text(0);
    }
    if (!plain || keys.isEmpty()) continue;
    // The columns read: ID and the index's columns that are copied.
    QStringList read{QStringLiteral("ID")};
    std::vector<int> at{ColumnAt(t.columns, QStringLiteral("ID"))};
    for (const QString& k : keys) {
      const int i = ColumnAt(t.columns, k);
      if (i >= 0 && i != at.front()) {
        read << t.columns[i];
        at.push_back(i);
      }
    }
    for (const char* direction : {"", " DESC"}) {
      QStringList order;
      for (const QString& k : keys) order << Quoted(k) + QLatin1String(direction);
      Statement rows(reader_, QStringLiteral("SELECT %1 FROM %2 INDEXED BY %3 ORDER BY %4")
                              .arg(QuotedList(read), Quoted(t.table), Quoted(index), order.join(QLatin1Char(','))));
      int n = 0;
      while (rows.step() == SQLITE_ROW) {
        if (++n % 1024 == 0) checkCancel();
        const qint64 id = rows.int64(0);
        if (t.ids.count(id) || t.fromIndex.count(id)) continue;
        auto& values = t.fromIndex[id];
        for (int c = 1; c < int(read.size()); ++c) values.emplace_back(at[size_t(c)], Dup(rows.get(), c));
      }
    }
  }
}

// Writes the rows of the damaged file into the fresh casebook: each read
// whole, or else field by field, or else from the index that held it. The
// fields that could not be read are noted in temp.salvage_lost. Returns the
// rows written.
qint64 Salvage::copyRows(TableRead& t) {
  if (t.columns.isEmpty()) return 0;
  const int n = int(t.columns.size());
  const int idAt = ColumnAt(t.columns, QStringLiteral("ID"));
  Statement whole(reader_, QStringLiteral("SELECT %1 FROM %2 WHERE ID = ?1")
                           .arg(QuotedList(t.columns), Quoted(t.table)));
  std::vector<std::unique_ptr<Statement>> single;
  for (const QString& c : t.columns)
    single.push_back(std::make_unique<Statement>(
        reader_, QStringLiteral("SELECT %1 FROM %2 WHERE ID = ?1").arg(Quoted(c), Quoted(t.table))));
  // The rows are gathered in a table of their own, in memory, and go into
  // the casebook a thousand at a time, each time by one statement: the word
  // index (FTS5) writes out what it holds at the end of every statement,
  // which row by row would take minutes for a large casebook.
  exec(QStringLiteral("DROP TABLE IF EXISTS temp.salvage_rows"));
  exec(QStringLiteral("CREATE TEMP TABLE salvage_rows AS SELECT %1 FROM main.%2 WHERE 0")
           .arg(QuotedList(t.columns), Quoted(t.table)));
  qint64 written = 0;
  int gathered = 0;
  auto flush = [&] {
    // A row that contradicts the casebook's schema is left out.
    exec(QStringLiteral("INSERT OR IGNORE INTO main.%1(%2) SELECT %2 FROM temp.salvage_rows ORDER BY ID")
             .arg(Quoted(t.table), QuotedList(t.columns)));
    written += sqlite3_changes64(db_);
    exec(QStringLiteral("DELETE FROM temp.salvage_rows"));
    gathered = 0;
  };
  QStringList marks;
  for (int i = 0; i < n; ++i) marks << QStringLiteral("?%1").arg(i + 1);
  Statement insert(db_, QStringLiteral("INSERT INTO temp.salvage_rows(%1) VALUES(%2)")
                            .arg(QuotedList(t.columns), marks.join(QLatin1Char(','))));
  Statement lost(db_, QStringLiteral("INSERT INTO temp.salvage_lost(tbl, ID, col) VALUES(?1, ?2, ?3)"));

  std::set<qint64> ids = t.ids;
  for (const auto& [id, values] : t.fromIndex) ids.insert(id);
  for (const qint64 id : ids) {
    checkCancel();
    if (progress_) progress_(++done_, total_);
    std::vector<Value> values;
    for (int i = 0; i < n; ++i) values.push_back(NoValue());
    std::vector<bool> have(size_t(n), false);
    whole.bind(1, id);
    int rc = whole.step();
    if (rc == SQLITE_ROW) {
      for (int i = 0; i < n; ++i) {
        values[size_t(i)] = Dup(whole.get(), i);
        have[size_t(i)] = true;
      }
    }
    whole.reset();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
      for (int i = 0; i < n; ++i) {
        Statement& one = *single[size_t(i)];
        one.bind(1, id);
        if (one.step() == SQLITE_ROW) {
          values[size_t(i)] = Dup(one.get(), 0);
          have[size_t(i)] = true;
        }
        one.reset();
      }
    }
    if (const auto it = t.fromIndex.find(id); it != t.fromIndex.end()) {
      for (auto& [at, value] : it->second) {
        if (have[size_t(at)]) continue;
        values[size_t(at)] = std::move(value);
        have[size_t(at)] = true;
      }
    }
    bool any = false;
    for (int i = 0; i < n; ++i) any = any || (i != idAt && have[size_t(i)]);
    if (!any) continue;
    for (int i = 0; i < n; ++i) {
      if (i == idAt) sqlite3_bind_int64(insert.get(), i + 1, id);
      else if (values[size_t(i)]) sqlite3_bind_value(insert.get(), i + 1, values[size_t(i)].get());
    }
    rc = insert.step();
    insert.reset();
    if (rc != SQLITE_DONE) throw Failed(QString::fromUtf8(sqlite3_errmsg(db_)));
    if (++gathered == 1000) flush();
    for (int i = 0; i < n; ++i) {
      if (have[size_t(i)]) continue;
      lost.bind(1, t.table);
      lost.bind(2, id);
      lost.bind(3, t.columns[i]);
      lost.step();
      lost.reset();
    }
  }
  flush();
  exec(QStringLiteral("DROP TABLE temp.salvage_rows"));
  exec(QStringLiteral("DELETE FROM temp.salvage_lost WHERE tbl = '%1' AND ID NOT IN (SELECT ID FROM main.%2)")
           .arg(t.table, Quoted(t.table)));
  return written;
}

// ---------------------------------------------------------------------------
// Adding what the backup holds

// Rows of the backup that are missing from what was read go in; so do those
// of which the damaged file gave only a part, in place of that part.
void Salvage::mergeBackup(const QString& table, qint64* taken, qint64* replaced) {
  const QStringList cols = common(db_, "bak", table);
  if (cols.isEmpty()) return;
  const QString t = Quoted(table);
  exec(QStringLiteral("DELETE FROM main.%1 WHERE ID IN (SELECT ID FROM temp.salvage_lost WHERE tbl = '%2') "
                      "AND ID IN (SELECT ID FROM bak.%1)")
           .arg(t, table));
  *replaced = sqlite3_changes(db_);
  exec(QStringLiteral("DELETE FROM temp.salvage_lost WHERE tbl = '%1' AND ID NOT IN (SELECT ID FROM main.%2)")
           .arg(table, t));
  exec(QStringLiteral("INSERT INTO main.%1(%2) SELECT %2 FROM bak.%1 WHERE ID NOT IN (SELECT ID FROM main.%1) ORDER BY ID")
           .arg(t, QuotedList(cols)));
  *taken = sqlite3_changes(db_) - *replaced;
}

// The backup's versions of records that were read whole and differ in what
// the user wrote go in as copies, under kVariantFolderName. Returns how many.
qint64 Salvage::addVariants() {
  const QStringList cols = common(db_, "bak", QStringLiteral("Omenry"));
  if (cols.isEmpty()) return 0;
  QStringList differs;
  for (const char* field : {"BT", "QZR", "SJ", "FK", "LR"})
    if (cols.contains(QLatin1String(field), Qt::CaseInsensitive))
      differs << QStringLiteral("m.%1 IS NOT b.%1").arg(QLatin1String(field));
  if (differs.isEmpty()) return 0;
  const QString which = QStringLiteral(
                            "FROM bak.Omenry b WHERE EXISTS (SELECT 1 FROM main.Omenry m WHERE m.ID = b.ID AND (%1))")
                            .arg(differs.join(QStringLiteral(" OR ")));
  const qint64 count = scalar(QStringLiteral("SELECT COUNT(*) ") + which);
  if (count == 0) return 0;
  const qint64 folder = addFolder(QString::fromUtf16(kVariantFolderName));
  QStringList into, from;
  for (const QString& c : cols) {
    if (c.compare(QStringLiteral("ID"), Qt::CaseInsensitive) == 0) continue;
    into << Quoted(c);
    from << (c.compare(QStringLiteral("FL"), Qt::CaseInsensitive) == 0 ? QString::number(folder)
                                                                        : QStringLiteral("b.") + Quoted(c));
  }
  exec(QStringLiteral("INSERT INTO main.Omenry(%1) SELECT %2 %3 ORDER BY b.ID")
           .arg(into.join(QLatin1Char(',')), from.join(QLatin1Char(',')), which));
  return count;
}

// A kept cast is of use only whole and with its record: one read in part
// (neither file gave it whole) or whose record was not saved is left out.
// Returns the casts kept.
qint64 Salvage::keepWholeCasts() {
  exec(QStringLiteral("DELETE FROM main.OmenryCasts WHERE ID IN "
                      "(SELECT ID FROM temp.salvage_lost WHERE tbl = 'OmenryCasts') "
                      "OR RecordID IS NULL OR RecordID NOT IN (SELECT ID FROM main.Omenry)"));
  return scalar(QStringLiteral("SELECT COUNT(*) FROM main.OmenryCasts"));
}

// New rows get IDs above every ID either file ever gave out.
void Salvage::raiseSequences() {
  for (const char* table : {"Folder", "Omenry", "OmenryCasts"}) {
    qint64 top = scalar(QStringLiteral("SELECT IFNULL(MAX(ID), 0) FROM main.%1").arg(QLatin1String(table)));
    for (sqlite3* db : {reader_, haveBackup_ ? db_ : nullptr}) {
      if (!db) continue;
      Statement seq(db, QStringLiteral("SELECT IFNULL(MAX(seq), 0) FROM %1.sqlite_sequence WHERE name = '%2'")
                            .arg(QLatin1String(db == db_ ? "bak" : "main"), QLatin1String(table)));
      if (seq.step() == SQLITE_ROW) top = std::max(top, seq.int64(0));
    }
    exec(QStringLiteral("DELETE FROM main.sqlite_sequence WHERE name = '%1'").arg(QLatin1String(table)));
    exec(QStringLiteral("INSERT INTO main.sqlite_sequence(name, seq) VALUES('%1', %2)")
             .arg(QLatin1String(table))
             .arg(top));
  }
}

qint64 Salvage::addFolder(const QString& name) {
  Statement st(db_, QStringLiteral("INSERT INTO main.Folder(ParentID, Name) VALUES(0, ?1)"));
  st.bind(1, name);
  if (st.step() != SQLITE_DONE) throw Failed(QString::fromUtf8(sqlite3_errmsg(db_)));
  return sqlite3_last_insert_rowid(db_);
}

// Folders whose parent is lost, or whose parents run in a circle that never
// reaches the root, hang under the root.
void Salvage::hangFoldersUnderRoot() {
  exec(QStringLiteral("UPDATE main.Folder SET ParentID = 0 WHERE ParentID IS NULL OR "
                      "(ParentID <> 0 AND ParentID NOT IN (SELECT ID FROM main.Folder))"));
  QHash<qint64, qint64> parent;
  {
    Statement all(db_, QStringLiteral("SELECT ID, ParentID FROM main.Folder"));
    while (all.step() == SQLITE_ROW) parent.insert(all.int64(0), all.int64(1));
  }
  Statement hang(db_, QStringLiteral("UPDATE main.Folder SET ParentID = 0 WHERE ID = ?1"));
  QSet<qint64> rooted{0};
  for (const qint64 folder : parent.keys()) {
    QList<qint64> path;
    QSet<qint64> seen;
    qint64 at = folder;
    while (!rooted.contains(at) && !seen.contains(at)) {
      seen.insert(at);
      path << at;
      at = parent.value(at, 0);
    }
    if (!rooted.contains(at)) {  // a circle: it is broken where it closed
      hang.bind(1, at);
      hang.step();
      hang.reset();
      parent[at] = 0;
    }
    for (const qint64 id : path) rooted.insert(id);
  }
}

qint64 Salvage::fileLostRecords() {
  const QString which = QStringLiteral("FL IS NULL OR FL NOT IN (SELECT ID FROM main.Folder)");
  const qint64 count = scalar(QStringLiteral("SELECT COUNT(*) FROM main.Omenry WHERE ") + which);
  if (count == 0) return 0;
  const qint64 folder = addFolder(QString::fromUtf16(kLostFolderName));
  exec(QStringLiteral("UPDATE main.Omenry SET FL = %1 WHERE ").arg(folder) + which);
  return count;
}

void Salvage::markLost(const QString& table, const QString& column, const QString& marker) {
  Statement st(db_, QStringLiteral("UPDATE main.%1 SET %2 = ?1 WHERE ID IN "
                                   "(SELECT ID FROM temp.salvage_lost WHERE tbl = ?2 AND col = ?3)")
                        .arg(Quoted(table), Quoted(column)));
  st.bind(1, marker);
  st.bind(2, table);
  st.bind(3, column);
  if (st.step() != SQLITE_DONE) throw Failed(QString::fromUtf8(sqlite3_errmsg(db_)));
}

// ---------------------------------------------------------------------------

SalvageReport Salvage::run(const QString& damaged, const QString& backup, const QString& fresh) {
  SalvageReport report;
  try {
    if (sqlite3_open_v2(QFile::encodeName(fresh).constData(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, nullptr) != SQLITE_OK)
      throw Failed(db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QStringLiteral("out of memory"));
    // Until it is complete the fresh file is only a draft: no log, no sync.
    // The rows on their way (see copyRows) are kept in memory.
    exec(QStringLiteral("PRAGMA journal_mode=DELETE; PRAGMA synchronous=OFF; PRAGMA temp_store=MEMORY"));
    bool ok = false;
    if (scalar(QStringLiteral("SELECT (SELECT COUNT(*) FROM Folder) + (SELECT COUNT(*) FROM Omenry)"), &ok) != 0 || !ok)
      throw Failed(QStringLiteral("抢救用的新数据库不是空的"));
    report.damagedReadable = !damaged.isEmpty() && openDamaged(damaged);
    if (!backup.isEmpty()) {
      // A damaged backup would stop the writing half-way (see above).
      if (const QString problem = CheckCopy(backup); !problem.isEmpty())
        throw Failed(QStringLiteral("备份 %1 没有通过完整性检查（%2）")
                         .arg(QDir::toNativeSeparators(backup), problem));
      if (!attach(backup, "bak"))
        throw Failed(QStringLiteral("无法读取备份 %1（%2）")
                         .arg(QDir::toNativeSeparators(backup), QString::fromUtf8(sqlite3_errmsg(db_))));
      haveBackup_ = true;
    }
    exec(QStringLiteral("BEGIN"));
    exec(QStringLiteral("CREATE TEMP TABLE salvage_lost(tbl TEXT, ID INTEGER, col TEXT)"));
    if (report.damagedReadable) {
      TableRead folders = scan(QStringLiteral("Folder"));
      TableRead records = scan(QStringLiteral("Omenry"));
      TableRead casts = scan(QStringLiteral("OmenryCasts"));
      total_ = int(folders.ids.size() + folders.fromIndex.size() + records.ids.size() +
                   records.fromIndex.size() + casts.ids.size() + casts.fromIndex.size());
      report.folders = copyRows(folders);
      report.records = copyRows(records);
      copyRows(casts);
    }
    if (haveBackup_) {
      qint64 replacedFolders = 0;
      mergeBackup(QStringLiteral("Folder"), &report.backupFolders, &replacedFolders);
      report.backupFolders += replacedFolders;
      mergeBackup(QStringLiteral("Omenry"), &report.backupRecords, &report.replacedRecords);
      qint64 takenCasts = 0, replacedCasts = 0;
      mergeBackup(QStringLiteral("OmenryCasts"), &takenCasts, &replacedCasts);
    }
    report.casts = keepWholeCasts();
    raiseSequences();
    if (haveBackup_) report.variants = addVariants();
    hangFoldersUnderRoot();
    report.lostFolderRecords = fileLostRecords();
    markLost(QStringLiteral("Omenry"), QStringLiteral("LR"), QString::fromUtf16(kUnreadableText));
    markLost(QStringLiteral("Omenry"), QStringLiteral("BT"), QString::fromUtf16(kUnreadableTitle));
    markLost(QStringLiteral("Folder"), QStringLiteral("Name"), QString::fromUtf16(kUnreadableName));
    report.partialRecords =
        scalar(QStringLiteral("SELECT COUNT(DISTINCT ID) FROM temp.salvage_lost WHERE tbl = 'Omenry'"));
    exec(QStringLiteral("COMMIT"));
    detach("bak");
    if (report.folders + report.records + report.backupFolders + report.backupRecords +
            report.replacedRecords ==
        0)
      throw Failed(QStringLiteral("损坏的文件中读不出任何分类或记录") +
                   (haveBackup_ ? QStringLiteral("，备份中也没有") : QStringLiteral("，也没有选定备份")));
    Statement check(db_, QStringLiteral("PRAGMA main.quick_check(1)"));
    if (check.step() != SQLITE_ROW || check.text(0) != QLatin1String("ok"))
      throw Failed(QStringLiteral("抢救出的数据库没有通过完整性检查（%1）").arg(check.text(0)));
   
  } catch (const Cancelled&) {
    report.error = QStringLiteral("已取消。");
  } catch (const Failed& f) {
    report.error = f.what();
  }
  return report;
}

}  // namespace

SalvageReport SalvageCasebook(const QString& damaged, const QString& backup, const QString& fresh,
                              const std::atomic<bool>* cancel, const CopyProgress& progress) {
  Salvage salvage(cancel, progress);
  return salvage.run(damaged, backup, fresh);
}

QString MakeSalvageTarget(const QString& dataDir, QString* error) {
  const QString base = QDir::cleanPath(dataDir) + QStringLiteral("/salvage-") +
                       QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  QString dir = base;
  for (int i = 2; QFileInfo::exists(dir); ++i) dir = base + QStringLiteral("-%1").arg(i);
  try {
    CasebookStore store;
    store.OpenStore(dir);
    store.close();
  } catch (const StoreError& e) {
    if (error) *error = e.message();
    QDir(dir).removeRecursively();
    return QString();
  }
  return dir + QLatin1Char('/') + CasebookStore::DatabaseFileName();
}

QString PutSalvageInPlace(const QString& dataDir, const QString& fresh, QString* keptAs) {
  const QString error = ReplaceCasebook(dataDir, fresh, KeptCasebook::Damaged, keptAs);
  if (error.isEmpty()) DiscardSalvage(fresh);
  return error;
}

void DiscardSalvage(const QString& fresh) {
  const QFileInfo info(fresh);
  if (info.dir().dirName().startsWith(QStringLiteral("salvage-"))) info.dir().removeRecursively();
}
