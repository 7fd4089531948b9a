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

#include <QDate>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

#include "casebook_text.h"
#include "record_list.h"
#include "search_condition.h"
#include "store_types.h"

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
  // Every character is compared literally (see search_condition.h): A-Z in
  // either case, everything else (U+0000, U+FFFD, U+FFFE, U+FFFF ...)
  // exactly, through the whole value.
  //
  // The word index: besides the tables, the database holds a trigram index
  // of the titles and of the texts (SQLite FTS5, kept in step with Omenry by
  // triggers, so that every change of a record changes its index entries in
  // the same transaction). A search asks the index which records can match
  // and reads only those; when a word is one the index cannot answer exactly
  // (longer than three characters, or holding a character the index does not
  // tell apart), the condition itself is checked on those records too; and
  // the few records the index sees only in part (a title or text holding a
  // U+0000) are always checked with the condition. Either way the result is
  // exactly the rows the condition gives. A search the index cannot narrow
  // (a word found in most records, with "or") scans the table with the
  // condition alone.
  void SearchRecords(const SearchCondition& condition);
  // The same search, always by scanning the table with the condition,
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
  void setUpReading();       // the search's set-up, the file's sanity
  void setUpSearch();        // contains_word, the word index's terms
  // Takes the verdict of the check beside (waiting for it); tells at once or
  // through the event loop.
  void finishCheck(bool notifyNow);
  // Every modifying operation begins here.
  void requireWritable();
  void openList(const QString& text, const QList<SearchBinding>& bindings = {});
  void search(const SearchCondition& condition, bool useIndex);
  // What finds the condition's records through the word index (the text
  // after WHERE), or an empty text when the index cannot narrow the search.
  QString indexedSearch(const SearchCondition& condition, QList<SearchBinding>* bindings);
  QVariant readText(RowId id) const;
  struct Impl;
  std::unique_ptr<Impl> d_;
};
