// The casebook store: the folder tree (table Folder) and the records (table
// Omenry) of the desktop program, kept in one SQLite file through Qt SQL.
//
// Everything here runs on the user-interface thread. No window is needed: a
// CasebookStore works in tests and tools without a QApplication (a
// QCoreApplication is enough; DefaultDataDir() needs one for the program's
// own directory).
//
// ERRORS. Every operation that talks to the database reports a failure by
// throwing StoreError. Its message() is for the user: Chinese, saying what
// went wrong, with the database engine's own text (QSqlError::text()) after
// it as the technical detail. Nothing is logged. The operation that threw has
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
// for the row that is asked for (text() of the current row, cached for
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
// OPENING. Nothing is written into a file, and no mode is changed, before
// the file is known to be a casebook: it is read first, read-only. A file
// that is not an SQLite database, or fails SQLite's check (PRAGMA
// quick_check), is damaged; an SQLite file without the casebook's tables is
// foreign and refused; a 0-byte casebook file, or a missing one while
// backups of it exist, counts as damage too (a new, empty casebook would
// push the last good backup out). Only a casebook file that does not exist
// and has no backups is created anew.
//
// READ-ONLY. A casebook that is damaged, whose file or directory cannot be
// written, that belongs to another user, or whose write lock another
// program holds, is opened read-only (readOnlyReason()): everything is read
// as usual and every modifying operation throws a StoreError with a Chinese
// message, writing nothing. A locked casebook is tried again every few
// seconds and becomes writable once the lock is released (accessChanged());
// a write asked of it meanwhile waits for the lock as every write does.
//
// CHECKING. The file's check reads the whole file (about 0.6 s of CPU for
// 450 MB): a casebook of BackgroundCheckBytes() or more that needs nothing
// set up is checked on a thread of its own while the store reads it through
// a read-only connection (isChecking()); the first modifying operation waits
// for the verdict, and checkFinished() reports it. A smaller casebook is
// checked within OpenStore.
//
// THE RECYCLE BIN. Deleting a record or a folder moves it to the recycle bin
// (its row is kept, marked with the time of deletion); a folder takes its
// records with it. Nothing in the bin is listed with the folders, counted or
// found by a search. From the bin a record or folder is restored, or
// deleted for good; emptying the bin deletes everything in it for good.
//
// RECORD CHECKSUMS. Beside every record the store keeps a checksum of its
// title, querent, date, feedback and text, written in the same transaction
// as the record, and compares it whenever the text is read (the record
// list's currentText()): SQLite checks the file's structure, not its
// content, so damage inside a text is found only this way. A casebook made
// before the checksums gets them when it is first opened for writing.
//
// KEPT CASTS. Beside the records the store keeps the charts cast while
// editing them (table OmenryCasts, one row per cast, see chart_cast.h): what
// was asked, how the moment was corrected, and what the engine gave. A
// record's casts stay with it in the recycle bin and come back with it; they
// are deleted with it when it is deleted for good. A casebook made before the
// table gets it, empty, when it is first opened for writing; one that is
// only read shows no casts.
//
// THE LOG. The write-ahead log is folded back into the file (a TRUNCATE
// checkpoint) when the program is idle after a save and when the store
// closes, so that committed saves rarely live in the log alone.
//
// IDS. Folder and record IDs, ParentID and FL are 64-bit integers (SQLite
// rowids): no 16-bit truncation anywhere. Folder 0 is the tree's virtual
// root; it is not a row.

#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

#include "casebook_text.h"
#include "chart_cast.h"
#include "record_list.h"
#include "search_condition.h"
#include "store_types.h"

struct CasebookData;
struct ExchangeCount;
struct RecordFields;

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

  // Closes the store if it is open, then opens the casebook in dataDir
  // (DefaultDataDir() when empty), as OPENING above says: recognises the
  // file read-only first, checks it, and then, when it can be written,
  // creates the tables and indexes it lacks, builds the word index of the
  // search when there is none yet (on a large casebook made before it, this
  // takes a few seconds once), fills in missing record checksums and makes
  // the database files readable and writable by their owner only (files of
  // its own, never anything else). A directory it creates is owner-only.
  // A casebook that cannot be written is opened read-only (see READ-ONLY).
  // Throws StoreError when the casebook cannot be opened: problem() tells
  // whether it is damaged, empty, missing, foreign or not a file.
  // createMissing: create a missing casebook file even though backups of it
  // exist (the user has chosen to start anew).
  void OpenStore(const QString& dataDir = QString(), bool createMissing = false);
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
  // Whether the open casebook is only read, and why (None when it can be
  // written, or while nothing is open).
  ReadOnlyReason readOnlyReason() const noexcept;
  bool isWritable() const noexcept { return isOpen() && readOnlyReason() == ReadOnlyReason::None; }
  // The reason in Chinese, one sentence ("" when writable).
  QString readOnlyText() const;
  // Text for a reason, as readOnlyText() gives it.
  static QString ReadOnlyText(ReadOnlyReason reason);
  // How often a locked casebook is tried again; tests set it lower.
  static int LockRetryMilliseconds();
  static void SetLockRetryMilliseconds(int ms);
  QString dataDir() const;       // the directory in use ("" when closed)
  QString databasePath() const;  // the database file in use ("" when closed)
  // Closes the record list and the database (the destructor does it too).
  void close() noexcept;

  // ---- folders (table Folder). Folders in the recycle bin are left out of
  // all but the bin's own operations.
  // The folders whose ParentID is parentId, in ascending ID order.
  QList<FolderRow> FolderChildren(RowId parentId);
  // The number of records whose FL is the folder's ID (those that deleting
  // the folder moves to the bin with it).
  int FolderRecordCount(RowId id);
  // Whether a folder with that ID exists outside the bin (0, the root,
  // always does).
  bool FolderIsLive(RowId id);
  // Appends a folder under parentId (0 = under the root) and returns its new
  // ID. The name is cut to kFolderNameBytes if longer. A name that is empty
  // or blank (spaces and other white space only) is refused: StoreError,
  // nothing written (see IsBlankName).
  RowId AddFolder(RowId parentId, const QString& name);
  // Renames the folder and returns the name as stored (cut to
  // kFolderNameBytes). No folder with that ID: changes nothing, returns
  // std::nullopt, throws nothing. A blank name is refused as by AddFolder.
  std::optional<QString> RenameFolder(RowId id, const QString& name);
  // Moves the folder and every record whose FL is its ID to the recycle bin,
  // in one transaction (both or neither). Returns true when the folder was
  // found. No folder with that ID: changes nothing, returns false, throws
  // nothing. Does not check for sub-folders (the main window refuses that
  // before calling). Closes the record list when the folder was found.
  bool DeleteFolder(RowId id);

  // ---- the recycle bin
  struct RecycledFolder {
    RowId id = 0;
    RowId parentId = 0;
    QString name;
    QDateTime deletedAt;  // local time
    int records = 0;      // the records deleted with it
  };
  // The folders in the bin, the most recently deleted first.
  QList<RecycledFolder> RecycledFolders();
  // Opens the record list with the records in the bin that were deleted on
  // their own (not with their folder), the most recently deleted first.
  void ListRecycledRecords();
  // Opens the record list with the records deleted together with the folder.
  void ListRecycledFolderRecords(RowId folderId);
  // The number of records and folders in the bin.
  int RecycleBinCount();
  // The folder a record in the bin came from (its FL), or -1 when there is
  // no such record in the bin.
  RowId RecycledRecordFolder(RowId id);
  // The parent of a folder in the bin, or -1 when there is no such folder
  // in the bin.
  RowId RecycledFolderParent(RowId id);
  // Restores a record from the bin into folder `to` (its own folder when
  // -1). Returns false when no such record is in the bin. Throws StoreError
  // when the folder to restore into is not a live folder other than the root.
  // Closes the record list.
  bool RestoreRecord(RowId id, RowId to = -1);
  // Restores a folder and the records deleted with it, under `to` (its own
  // parent when -1; 0 is the root). Returns false when no such folder is in
  // the bin; throws StoreError when the parent is not live. Closes the record
  // list.
  bool RestoreFolder(RowId id, RowId to = -1);
  // Deletes for good a record in the bin. Returns false when there is none.
  bool PurgeRecord(RowId id);
  // Deletes for good a folder in the bin and the records deleted with it.
  bool PurgeFolder(RowId id);
  // Deletes for good everything in the bin; returns the number of records
  // and folders deleted.
  int EmptyRecycleBin();

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
  // Opens the record list again with what it last listed (a folder, a
  // search, the bin), in the list's order: after a record was saved the
  // list shows it as it is now. Nothing listed yet: does nothing. Throws
  // StoreError, leaving the list closed.
  void Relist();
  RecordList* records() noexcept;
  // The order of the record list, for every listing and search from now on;
  // the list open now is read again in it, its current record staying
  // current. Descending for Newest is newest first; for the fields,
  // Ascending is A to Z (pinyin), the earliest date, × before √.
  void SetListOrder(ListOrder order, Qt::SortOrder direction);
  ListOrder listOrder() const noexcept;
  Qt::SortOrder listDirection() const noexcept;

  // ---- moving
  // Files the records into folder `to` (a live folder, not the root), in
  // one transaction; returns how many moved. Records in the bin stay there.
  // Closes the record list.
  int MoveRecords(const QList<RowId>& ids, RowId to);
  // Hangs the folder under `to` (0: the root). Refused with a StoreError
  // when `to` is the folder itself or one of its sub-folders, or not a live
  // folder. Returns false when there is no such live folder.
  bool MoveFolder(RowId id, RowId to);
  // Whether `folder` is `ancestor` or lies anywhere below it.
  bool FolderIsWithin(RowId folder, RowId ancestor);

  // ---- records (table Omenry). Each closes the record list first.
  // Inserts a record into the folder and returns its new ID (larger than any
  // before). The title and querent are cut to their byte sizes if longer.
  // The casts, if any, are kept with it, in the same transaction.
  RowId InsertRecord(RowId folder, const RecordFields& fields, const QList<ChartCast>& casts = {});
  // Rewrites the record's fields; its folder does not change. Returns false,
  // changing nothing, when no record outside the bin has that ID. The
  // casts, if any, are added to the record's, in the same transaction.
  bool UpdateRecord(RowId id, const RecordFields& fields, const QList<ChartCast>& casts = {});
  // Moves record id to the recycle bin. No record with that ID outside the
  // bin: nothing happens, nothing is thrown.
  void DeleteRecord(RowId id);

  // ---- kept casts (table OmenryCasts, casebook_casts.cpp); the record
  // list stays as it is.
  // The casts kept with the record (in the bin or not), oldest first; none
  // for a record that has none, and on a casebook made before them that is
  // only read.
  QList<ChartCast> ListCasts(RowId record);
  // Keeps the casts with the record, in one transaction, and returns their
  // new IDs in order (each cast's own id and record are not read). Throws
  // StoreError, writing nothing, when no record outside the bin has that ID.
  QList<RowId> AddCasts(RowId record, const QList<ChartCast>& casts);
  // Deletes one cast. Returns false when there is no cast with that ID.
  bool DeleteCast(RowId id);

  // ---- the casebook as data (casebook_exchange.cpp, casebook_exchange.h)
  // Hands the records of folder folderId (those outside the bin; not those
  // of its sub-folders) to `visit`, oldest (smallest ID) first, their fields
  // as stored. Throws StoreError.
  void ForEachRecord(RowId folderId, const std::function<void(const RecordFields&)>& visit);
  // The name of a folder outside the bin; std::nullopt when there is no
  // such folder (and for the root, which has no row).
  std::optional<QString> FolderName(RowId id);
  // Adds the data's folders, with everything in them, under folder
  // parentId (0: the root), and its records into parentId itself, in one
  // transaction: all of it or, on any failure, nothing. Each record gets
  // its checksum as InsertRecord gives it. Throws StoreError, writing
  // nothing, when parentId is not a live folder (or is the root while
  // there are records to file in it), a folder name is blank or longer
  // than kFolderNameBytes, or a title or querent longer than its byte size
  // (nothing is cut here). Closes the record list.
  ExchangeCount ImportData(RowId parentId, const CasebookData& data);

  // ---- checksums
  // Reads the record and compares its checksum (Unchecked when it has
  // none, or there is no such record).
  RecordIntegrity CheckRecord(RowId id);

  // Folds the write-ahead log back into the file now (see THE LOG); returns
  // false when a reader kept it from finishing. Does nothing on a read-only
  // casebook.
  bool Checkpoint() noexcept;

 signals:
  // The casebook's access changed: a locked casebook became writable.
  void accessChanged();
  // The check that ran beside has given its verdict (isDamaged(),
  // checkError()); emitted in the store's thread, once per such opening.
  void checkFinished();

 private:
  friend class RecordList;
  bool readyAsIs();          // the file needs nothing set up (no write at opening)
  bool wordIndexComplete();
  // Opens the connection for writing and sets the file up; read-only
  // (Locked) when another program holds the write lock.
  void openWritable(int lockWaitMs = 500);
  // Tables, indexes, checksums, journal, in one write transaction; false
  // when another program holds the write lock (nothing was written).
  bool setUpWritable(int lockWaitMs);
  void fillChecksums();
  void setUpReading();       // the search's set-up, the file's sanity
  void setUpSearch();        // contains_word, the word index's terms
  // Takes the verdict of the check beside (waiting for it); tells at once or
  // through the event loop.
  void finishCheck(bool notifyNow);
  // Every modifying operation begins here.
  void requireWritable();
  // Opens the record list with the statement (without ORDER BY) in the
  // list's order; `newest` is the listing's own newest-first order.
  void openList(const QString& text, const QList<SearchBinding>& bindings = {},
                const QString& newest = QStringLiteral("ID DESC"));
  QString orderBy(const QString& newest) const;
  void setUpOrder();  // the collation of Chinese names
  void search(const SearchCondition& condition, bool useIndex);
  // What finds the condition's records through the word index (the text
  // after WHERE), or an empty text when the index cannot narrow the search.
  QString indexedSearch(const SearchCondition& condition, QList<SearchBinding>* bindings);
  // The record's text (null when there is no such record) and what its
  // checksum says of it.
  QVariant readText(RowId id, RecordIntegrity* integrity) const;
  // After every committed write: the log is folded back once the program
  // is idle.
  void wrote();
  // Opens the connection for reading only, for `reason`.
  void openReadOnly(ReadOnlyReason reason);
  // A locked casebook: tries to take the write lock; on success the store
  // becomes writable and accessChanged() is emitted.
  void retryWritable();
  // Takes the write lock of a locked casebook: at once or not at all
  // (wait false), or waiting as a write does.
  void becomeWritable(bool wait);
  // The store's thread runs an event loop: its timers can be used.
  bool hasEventLoop() const;
  struct Impl;
  std::unique_ptr<Impl> d_;
};
