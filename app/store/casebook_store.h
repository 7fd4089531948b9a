// The casebook store: the folder tree (table Folder) and the records (table
// Omenry) of the desktop program, kept in one SQLite file through Qt SQL.
//
// Everything here runs on the user-interface thread. No window is needed: a
// CasebookStore works in tests and tools without a QApplication (a
// QCoreApplication is enough; DefaultDataDir() needs one for the program's
// own directory).
//
// ERRORS. Every operation that talks to the database reports a failure by
// throwing StoreError, whose message() is the database engine's own message
// text (QSqlError::text()). Nothing is logged. The operation that threw has
// changed nothing: every modifying operation runs in one transaction that is
// rolled back on failure. Callers (the main window, the editor) catch
// StoreError in the handler that called the store and show message() in a
// message box; the program keeps running. Operations never throw anything
// else on purpose (std::bad_alloc aside). Functions marked noexcept below
// never throw. Qt model callbacks (data(), headerData(), rowCount()) never
// throw.
//
// THE RECORD LIST. The store owns one RecordList (records()), a read-only
// table model over Omenry that the main window shows and navigates. It is
// opened by ListFolderRecords or SearchRecords and holds, for each row, only
// ID, BT, QZR, SJ, FL and FK; the text LR is read from the database on demand
// for the row that is asked for (value("LR") of the current row, cached for
// that row only). A folder of 10,000 records therefore costs its titles, not
// its texts.
//
// Running a modifying record statement
// (InsertRecord, UpdateRecord, DeleteRecord, and DeleteFolder's removal of
// records) first closes the record list: it becomes empty (isOpen() false,
// count() 0, current row -1, currentChanged(-1) emitted). The caller re-opens
// it with ListFolderRecords afterwards. If the statement fails, the list
// stays closed until the next ListFolderRecords or SearchRecords. A failed
// ListFolderRecords or SearchRecords likewise leaves the list closed.
//
// TEXT SIZES. BT, QZR and Folder.Name are limited to 100, 20 and 30 GBK bytes
// (50, 10 and 15 Chinese characters). The input fields refuse more (use
// GbkByteCount / CutToGbkBytes); the store cuts longer values itself as a
// last resort, at a character boundary, never half a character.
//
// CHARACTERS. Every text is stored exactly as given, character for
// character (U+0000, U+FEFF at the start, U+FFFE and U+FFFF included), with
// one exception: a surrogate that is not part of a pair is not a character,
// and is replaced by U+FFFD before anything is bound (StorableText). The same
// holds for the words of a search.
//
// WRITING. Every modifying operation takes the database's write lock when
// its transaction begins, and waits up to 5 seconds while another connection
// (another copy of the program, a backup, a tool) holds it; only then does it
// fail, with SQLite's "database is locked".
//
// CHECKING. The file is checked (PRAGMA quick_check) before anything is
// written into it. A file that fails the check is damaged: the store keeps it
// open read-only (isDamaged()), everything that can still be read is read as
// usual, and every modifying operation throws a StoreError (damaged() true)
// with a Chinese message, writing nothing. The check reads the whole file
// (about 0.6 s of CPU for 450 MB): a casebook of BackgroundCheckBytes() or
// more that needs nothing set up is checked on a thread of its own while the
// store reads it through a read-only connection (isChecking()); the first
// modifying operation waits for the verdict, and checkFinished() reports it.
// A smaller casebook is checked within OpenStore.
//
// IDS. Folder and record IDs, ParentID and FL are 64-bit integers (SQLite
// rowids): no 16-bit truncation anywhere. Folder 0 is the tree's virtual
// root; it is not a row.

#pragma once

#include <QAbstractTableModel>
#include <QDate>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <stdexcept>

// ---------------------------------------------------------------------------
// Errors

class StoreError : public std::runtime_error {
 public:
  explicit StoreError(const QString& message, bool damaged = false);
  // The database engine's message text, as it should be shown to the user.
  const QString& message() const noexcept { return message_; }
  // The failure comes from a damaged database file: SQLite cannot read it
  // as a sound database (or the store refuses to write into a file that
  // failed its check at opening).
  bool damaged() const noexcept { return damaged_; }

 private:
  QString message_;
  bool damaged_ = false;
};

// ---------------------------------------------------------------------------
// GBK byte sizes

using RowId = qint64;

inline constexpr int kTitleBytes = 100;      // Omenry.BT
inline constexpr int kQuerentBytes = 20;     // Omenry.QZR
inline constexpr int kFolderNameBytes = 30;  // Folder.Name

// The number of bytes the text takes in the GBK code page: 1 for an ASCII
// character (U+0000..U+007F), 2 for any other character of the Basic
// Multilingual Plane (every Chinese character and full-width symbol), 4 for a
// character beyond it (as GB18030 writes those). Never less than the text's
// real GBK size.
int GbkByteCount(const QString& text) noexcept;

// The longest prefix of the text whose GbkByteCount is at most maxBytes,
// ending at a character boundary (a user-perceived character: a surrogate
// pair or a base letter with its combining marks is kept whole or dropped
// whole). Text that already fits is returned unchanged. maxBytes <= 0 gives
// an empty string.
QString CutToGbkBytes(const QString& text, int maxBytes);

// The text as the store keeps it: every surrogate that is not part of a pair
// replaced by U+FFFD, everything else unchanged.
QString StorableText(const QString& text);

// ---------------------------------------------------------------------------
// Search conditions
//
// A search looks for words in the title (BT), the text (LR) or both. A
// condition is a list of clauses joined by "or"; a clause names one field and
// joins its words by "and" (every word) or "or" (any word). Each word matches
// anywhere in the field's value. Latin letters A-Z match regardless of case;
// every other character (Chinese, full-width, accented ...) matches exactly.
//
// The words never become part of a statement's text: each one is bound as a
// parameter holding its LIKE pattern (LikePattern), so a quote, "%", "_" or
// any other character is searched for as itself. Empty words are skipped.

enum class SearchField { Title, Text };  // BT, LR

struct SearchClause {
  SearchField field = SearchField::Title;
  QStringList words;  // empty entries are skipped
  bool all = true;    // true: every word ("and"); false: any word ("or")

  // The words that take part: the non-empty entries, in order.
  QStringList usedWords() const;
  // The clause as statement text, its parameters named after the field and
  // numbered from first: "(BT like :BT0 escape '\' and BT like :BT1 escape
  // '\')". Empty when no word takes part.
  QString text(int first = 0) const;
};

// A parameter of a statement: its name (":BT0") and value.
using SearchBinding = QPair<QString, QVariant>;

class SearchCondition {
 public:
  QList<SearchClause> clauses;  // joined by "or"

  // True when no clause has a word: such a condition finds nothing.
  bool isEmpty() const;
  // The condition as it follows "select ... from Omenry": " where ", then
  // the clauses that have words, joined by " or ". The parameters of each
  // field are numbered on across clauses (:BT0, :BT1, :LR0 ...). Empty when
  // isEmpty().
  QString text() const;
  // The values of text()'s parameters: the LIKE pattern of each word.
  QList<SearchBinding> bindings() const;
};

// The field's name in the table: "BT" or "LR".
QString FieldName(SearchField field);

// The escape character of the search's LIKE patterns: a backslash.
inline constexpr char16_t kLikeEscape = u'\\';

// The LIKE pattern that finds the word anywhere in a value: "%", the word
// with every backslash, "%" and "_" preceded by the escape character (a
// backslash), then "%".
QString LikePattern(const QString& word);

// ---------------------------------------------------------------------------
// Folder rows

struct FolderRow {
  RowId id = 0;
  QString name;
};

// ---------------------------------------------------------------------------
// The record list

class CasebookStore;

class RecordList : public QAbstractTableModel {
  Q_OBJECT

 public:
  // Model columns, in the order of the main window's list. ID, FL and LR are
  // meant to be hidden by the view. Column LR's data() is always empty (the
  // text is not held by the list; ask value("LR")).
  enum Column { ColID = 0, ColBT, ColQZR, ColSJ, ColFL, ColFK, ColLR, ColumnCount };

  ~RecordList() override;

  // ---- state
  // Open after a successful ListFolderRecords / SearchRecords (even with no
  // rows); closed before the first listing, while and after a modifying
  // statement, and after a failed listing.
  bool isOpen() const noexcept;
  int count() const noexcept;    // number of rows (0 when closed)
  bool isEmpty() const noexcept { return count() == 0; }
  int currentRow() const noexcept;  // 0-based; -1 when there are no rows

  // bof(): there are no rows, or the current row is the first.
  // eof(): there are no rows, or the current row is the last.
  bool bof() const noexcept;
  bool eof() const noexcept;

  // ---- moves. Each move that changes the current row emits currentChanged
  // once, after the move. A move that cannot go anywhere (prior() on the
  // first row, next() on the last, anything on an empty list) does nothing
  // and emits nothing.
  void first() noexcept;
  void prior() noexcept;
  void next() noexcept;
  void last() noexcept;
  // Makes the row current (0 <= row < count()); returns false and does
  // nothing when out of range. Selecting the row that is already current
  // returns true and emits nothing.
  bool setCurrentRow(int row) noexcept;
  // Makes the row whose ID equals id current and returns true; returns false
  // and leaves the current row where it is when no row has that ID.
  bool locate(RowId id) noexcept;
  // The row whose ID equals id, or -1.
  int rowOfId(RowId id) const noexcept;

  // ---- field values by name ("ID", "BT", "QZR", "SJ", "FL", "FK", "LR";
  // letter case ignored). Types: ID, FL qint64; BT, QZR, LR QString; SJ
  // QDate; FK bool. A NULL field gives a null QVariant (an empty SJ or FK
  // shows empty). An unknown name or a row out of range gives an invalid
  // QVariant. "LR" is read from the database here (the current row's text is
  // cached until the next move or re-opening); reading it may throw
  // StoreError. The other fields never throw.
  QVariant value(const QString& field) const;            // current row
  QVariant value(int row, const QString& field) const;   // any row
  // Shortcuts for the current row; 0 / empty when there is none.
  RowId currentId() const noexcept;
  QString currentText() const;  // LR of the current row (may throw StoreError)

  // ---- QAbstractTableModel (read-only; never throws)
  // DisplayRole: BT and QZR as text, SJ as "yyyy-MM-dd" (empty when empty),
  // FK as "√" / "×" (empty when empty), ID and FL as numbers, LR empty.
  // EditRole: the raw values as value() gives them (LR empty).
  // Horizontal header DisplayRole: "", "标题", "求占人", "时间", "", "反馈", "".
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 signals:
  // After every change of the current row: a move, the first row becoming
  // current when a list with rows is opened, and -1 when a list is opened
  // with no rows or the list is closed. The preview refresh hangs here.
  void currentChanged(int row);

 private:
  friend class CasebookStore;
  struct Data;
  explicit RecordList(CasebookStore* store);
  void open(std::unique_ptr<Data> data);  // model reset + first row current
  void close() noexcept;                  // model reset + currentChanged(-1)
  void setCurrent(int row) noexcept;

  CasebookStore* store_;
  std::unique_ptr<Data> d_;
  bool open_ = false;
};

// ---------------------------------------------------------------------------
// The store

class CasebookStore : public QObject {
  Q_OBJECT

 public:
  explicit CasebookStore(QObject* parent = nullptr);
  ~CasebookStore() override;
  CasebookStore(const CasebookStore&) = delete;
  CasebookStore& operator=(const CasebookStore&) = delete;

  // The data directory the program uses: "Data" in the program's own
  // directory when that directory exists and is writable (portable use);
  // otherwise QStandardPaths::AppDataLocation + "/Data" (set the
  // application's organisation and name before calling).
  static QString DefaultDataDir();
  // The database file's name inside the data directory.
  static QString DatabaseFileName();  // "casebook.sqlite"
  // The size from which a casebook is checked beside the window (64 MB);
  // tests set it lower.
  static qint64 BackgroundCheckBytes();
  static void SetBackgroundCheckBytes(qint64 bytes);

  // Closes the store if it is open, then opens the database in dataDir
  // (DefaultDataDir() when empty): creates the directory if missing, checks
  // the file (PRAGMA quick_check, see CHECKING above), creates
  // the tables and the index if missing, builds the word index of the search
  // (see SearchRecords) when the file has none yet (on a large casebook made
  // before it, this takes a few seconds once), and makes the directory and
  // the database files readable and writable by the owner only. A file that
  // fails the check is opened read-only and isDamaged() tells so; a large
  // one is checked beside (see CHECKING above). Throws StoreError when the
  // database cannot be opened or created; its damaged() is true when SQLite
  // cannot read the file as a database at all.
  void OpenStore(const QString& dataDir = QString());
  bool isOpen() const noexcept;
  // The file's check runs beside; the store reads meanwhile, and a
  // modifying operation waits for it.
  bool isChecking() const noexcept;
  // The open file failed its check: it is open read-only and every
  // modifying operation throws. damageReport() holds what the check found
  // (SQLite's own lines, at most 20).
  bool isDamaged() const noexcept;
  QStringList damageReport() const;
  // Why the check beside could not run or the file could not be opened for
  // writing after it ("" when nothing went wrong); every modifying
  // operation then throws a StoreError with this text.
  QString checkError() const;
  QString dataDir() const;       // the directory in use ("" when closed)
  QString databasePath() const;  // the database file in use ("" when closed)
  // Closes the record list and the database (the destructor does it too).
  void close() noexcept;

  // ---- folders (table Folder)
  // The folders whose ParentID is parentId, in ascending ID order.
  QList<FolderRow> FolderChildren(RowId parentId);
  // The number of records whose FL is the folder's ID (those that deleting
  // the folder deletes with it).
  int FolderRecordCount(RowId id);
  // Appends a folder under parentId (0 = under the root) and returns its new
  // ID. The name is cut to kFolderNameBytes if longer.
  RowId AddFolder(RowId parentId, const QString& name);
  // Renames the folder and returns the name as stored (cut to
  // kFolderNameBytes). No folder with that ID: changes nothing, returns
  // std::nullopt, throws nothing.
  std::optional<QString> RenameFolder(RowId id, const QString& name);
  // Deletes the folder's row and every record whose FL is its ID, in one
  // transaction (both or neither). Returns true when the folder's row was
  // found. No folder with that ID: deletes nothing, returns false, throws
  // nothing. Does not check for sub-folders (the main window refuses that
  // before calling). Closes the record list when the folder was found.
  bool DeleteFolder(RowId id);

  // ---- the record list
  // Opens the record list with the records whose FL is folderId, newest
  // (largest ID) first; the first row becomes current. folderId 0 lists the
  // root's records: none.
  void ListFolderRecords(RowId folderId);
  // Opens the record list with the records of all folders that meet the
  // condition (the rows "select ... from Omenry" + condition.text() gives
  // with its bindings), in the engine's order; the first row becomes
  // current. An empty condition opens the list with no rows. The statement
  // runs as a read-only query. A failure throws StoreError and leaves the
  // list closed.
  //
  // The word index: besides the tables, the database holds a trigram index
  // of the titles and of the texts (SQLite FTS5, kept in step with Omenry by
  // triggers, so that every change of a record changes its index entries in
  // the same transaction). A search asks the index which records can match
  // and reads only those; when a word is one the index cannot answer exactly
  // (longer than three characters, or holding a character the index leaves
  // out), the LIKE condition itself is checked on those records too. Either
  // way the result is exactly the rows the LIKE condition gives. A search
  // the index cannot narrow (a word found in most records, with "or") scans
  // the table with the LIKE condition alone.
  void SearchRecords(const SearchCondition& condition);
  // The same search, always by scanning the table with the LIKE condition,
  // without the word index (for comparison and measurement).
  void SearchRecordsByScan(const SearchCondition& condition);
  RecordList* records() noexcept;

  // ---- records (table Omenry). Each closes the record list first.
  // Inserts a record into folder fl and returns its new ID (larger than any
  // before). BT and QZR are cut to their byte sizes if longer.
  RowId InsertRecord(const QString& bt, const QString& qzr, bool fk,
                     const QString& lr, const QDate& sj, RowId fl);
  // Rewrites BT, QZR, FK, LR and SJ of record id; FL never changes. No record
  // with that ID: nothing changes, nothing is thrown.
  void UpdateRecord(const QString& bt, const QString& qzr, bool fk,
                    const QDate& sj, const QString& lr, RowId id);
  // Deletes record id. No record with that ID: nothing happens, nothing is
  // thrown.
  void DeleteRecord(RowId id);

 signals:
  // The check that ran beside has given its verdict (isDamaged(),
  // checkError()); emitted in the store's thread, once per such opening.
  void checkFinished();

 private:
  friend class RecordList;
  bool readyAsIs();          // the file needs nothing set up (no write at opening)
  bool wordIndexComplete();
  void setUpWritable();      // tables, index, journal; in one write transaction
  void setUpReading();       // the word index's terms, the file's sanity
  // Takes the verdict of the check beside (waiting for it); tells at once or
  // through the event loop.
  void finishCheck(bool notifyNow);
  // Every modifying operation begins here.
  void requireWritable();
  void openList(const QString& text, const QList<SearchBinding>& bindings = {});
  void search(const SearchCondition& condition, bool useIndex);
  // The statement that finds the condition's records through the word index,
  // or an empty text when the index cannot narrow the search.
  QString indexedSearch(const SearchCondition& condition, QList<SearchBinding>* bindings);
  QVariant readText(RowId id) const;
  struct Impl;
  std::unique_ptr<Impl> d_;
};
