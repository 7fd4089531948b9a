#pragma once
// TMainForm: the program's main window. The folder tree on the left, the
// record list of the selected folder (or of the last search) at the top
// right, and the current record's text below it, read-only. From here the
// user manages folders and records; records are written in TEditForm.
//
// The window owns the casebook store and its record list, and the list of
// highlight words of the last search. A casebook that is only read (see
// READ-ONLY in casebook_store.h), or could not be opened, is named in the
// window's title and in a bar above the list, with the reason, and every
// command that would write is disabled.

#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <memory>

#include "casebook_store.h"
#include "edit_host.h"
#include "search_form.h"

class QAction;
class QLabel;
class QMenu;
class QSplitter;
class QTableView;
class QTextEdit;
class QToolBar;
class QTreeWidgetItem;
class TEditForm;
class TFolderTree;
class TChartDialogs;
class TEngineBinding;
class TRecordColumns;
class AutomaticBackup;

class TMainForm : public QMainWindow, public TEditHost, public TSearchHost {
  Q_OBJECT

 public:
  // Opens the casebook in dataDir (the program's default when empty),
  // builds the folder tree, selects its root and reads the view settings.
  // The window starts maximised once shown.
  explicit TMainForm(const QString& dataDir = QString(), QWidget* parent = nullptr);
  ~TMainForm() override;

  // "%d.%d" from the program's version (major.minor).
  static QString VersionText();

  // ---- TEditHost
  RowId SelectedFolderId() const override;
  CasebookStore& Store() override { return store_; }
  // Empties the highlight words and opens the record list with the folder's
  // records. Throws StoreError.
  void ListFolderRecords(RowId folderId) override;
  // After an editor's save: the list shows again what it showed (the
  // folder, the hits of the search with their words and status, the bin),
  // the saved record current when it is among them.
  void RecordSaved(RowId id) override;
  // A chart command of the editor: the method's dialog, the engine, the
  // chart above the record text.
  bool RunChart(TEditForm& editor, ChartKind kind) override;

  // A record deleted, or a new record's folder deleted, while its editor was
  // open: the folder picker asks where to file what the editor holds.
  std::optional<RowId> FolderForOrphan(TEditForm& editor) override;

  // The record editors that are open (not modal: the main window goes on
  // working beside them), in the order they were opened.
  QList<TEditForm*> Editors() const;

  // ---- TSearchHost
  void SetHighlightWords(const QStringList& words) override { highlight_ = words; }
  // The search over all folders: the wait window, status panel 0
  // "正在查询数据……", panel 2 the caption text (panels 1 and 3 cleared),
  // the search (the first row found becomes current and the preview shows
  // it with the words in red), then panel 0 "完成", panel 1 the number of
  // hits ("找到 12 条记录") and panel 3 "查找耗时：" with the time taken as
  // "hh:mm:ss.zzz". A store error is shown in a message box and leaves the
  // record list empty. Listing a folder again clears the panels.
  void RunSearch(const SearchCondition& where, const QString& caption) override;

  // ---- the record list and the words the preview shows in red
  RecordList* Records() { return store_.records(); }
  const QStringList& HighlightWords() const { return highlight_; }

  // Shows the current record's text in the preview, its highlight words in
  // red; clears the preview when there is no current record.
  void RefreshPreview();

  // Starts the automatic backup of the casebook on a thread of its own when
  // the newest backup is more than a day old (not for a damaged casebook;
  // while the casebook's check runs, once it has found it sound). Its end is
  // reported in the status bar, a failure in a message box.
  void StartAutomaticBackup();
  AutomaticBackup* Backup() const { return autoBackup_.get(); }

 public slots:
  void NewFolder();
  void DeleteFolder();
  void NewRecord();
  void OpenRecord();
  void DeleteRecord();
  void PriorRecord();
  void NextRecord();
  // Renames the selected folder in place (F2, "重命名"); not the root or the
  // bin.
  void RenameFolder();
  // The recycle bin: the selected record or folder back where it was (or
  // where the user says, when that is gone), or deleted for good; the whole
  // bin emptied.
  void RestoreRecord();
  void PurgeRecord();
  void RestoreFolder();
  void PurgeFolder();
  void EmptyRecycleBin();
  // "移动到…": the current record, or the selected folder, into a folder
  // the user picks. A folder is never moved into itself or one of its
  // sub-folders; records go into a folder, not the root or the bin.
  void MoveRecordTo();
  void MoveFolderTo();
  // Files the records into folder `to` (dragged onto its node, or picked).
  void MoveRecordsInto(const QList<RowId>& ids, RowId to);
  // Hangs the folder under `to` (0: the root), or says why it cannot.
  void MoveFolderInto(RowId id, RowId to);
  // "关于(&A)…": the version and where the casebook lies.
  void About();

  // The search commands (按标题, 按内容, 全部): show the one
  // search window, made on first use.
  void Search(SearchMode mode);
  // "保存为文本(&S)": the current record's text to a text file.
  void SaveAsText();
  // "打印(&P)...": the current record in the print window.
  void Print();
  // "备份数据库…": a copy of the casebook where the user chooses.
  void BackupDatabase();
  // "恢复备份…": the recovery dialog (OfferRecovery); the tree is built
  // again when the casebook was replaced.
  void RecoverCasebook();
  // "导出…": the casebook, or the selected folder, as JSON or CSV;
  // "导入…": a JSON file into a folder the user chooses, which is shown
  // afterwards (exchange_form.h).
  void ExportCasebook();
  void ImportCasebook();

 signals:
  // Emitted when a record editor has been filled and shown.
  void editorOpened(TEditForm* editor);
  // The casebook's access was shown anew (read-only or writable).
  void accessShown();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  // Asks about each editor with unsaved changes (保存 / 不保存 / 取消;
  // 取消 keeps every window open) and closes the editors; writes the view
  // settings, then backs the casebook up when it changed
  // since its newest backup (BackUpOnClose; the store is closed then).
  void closeEvent(QCloseEvent* event) override;
  QMenu* createPopupMenu() override { return nullptr; }

 private:
  void ClearPreview();
  // There is a current record; else says "请先选择一条记录。".
  bool RequireCurrentRecord();
  // The record list's shown columns (标题, 求占人, 时间, 反馈) take the
  // list's width less 50 pixels, each keeping its share; 时间 never less
  // than a date's width, which 标题 gives up.
  void FitColumns();
  // Sets the shown columns to these shares (时间 widened to a date).
  void ShowColumnShares(const int (&shares)[4]);
  // The window's parts, made in this order at its creation.
  QAction* MakeAction(const QString& name, const QString& text, const QKeySequence& key = {});
  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  void CreateStatusBar();
  void CreateClientArea();
  void CreateTree();
  void CreateRecordView();
  void CreatePreview();
  // Opens the casebook in dataDir; for a damaged, empty or missing one
  // offers a backup (and, failing that, a new empty casebook).
  void OpenCasebook(const QString& dataDir);
  // A missing or empty casebook that no backup replaced: asks whether to
  // start anew with an empty casebook (an empty file is kept renamed).
  void OfferNewCasebook(StoreProblem problem);
  // Shows whether the casebook can be written: title, bar, commands.
  void ShowAccess();
  // Enables the commands that can act now.
  void UpdateCommands();
  // Lists what the selected node holds: a folder's records, the bin's.
  void ListSelectedNode();
  // Adds the bin and its folders to the tree (after the root's nodes).
  void FillRecycleBin();
  // The text of the current record has just been read: tells when its
  // checksum says it is damaged (once per record, unless `always`) and
  // offers the version of the newest backup that holds it.
  void CheckCurrentRecord(bool always);
  // The record view shows the store's record list through columns_.
  void ShowRecordList();
  void RebuildTree();
  void FillTree(QTreeWidgetItem* node, RowId id, int depth);
  void OnTreeCurrentChanged(QTreeWidgetItem* current);
  void OnRenameConfirmed(QTreeWidgetItem* item, const QString& text);
  void OnRecordCurrentChanged(int row);
  void OnViewCurrentRowChanged(int row);
  void ListFolder(RowId folderId);  // ListFolderRecords, errors shown
  // Shows a new editor beside the window (maximised); it is destroyed when
  // it closes.
  void ShowEditor(TEditForm* editor);
  // The open editor of a stored record, or null.
  TEditForm* EditorOf(RowId id) const;
  void ReadSettings();
  void WriteSettings();
  // The window's state of the last session: the order of the list (before
  // the first listing), then geometry, splitters and column widths, and the
  // folder that was selected.
  void ReadListOrder();
  void ReadWindowState();
  void SelectLastFolder();
  void WriteWindowState();
  // The list's sort indicator shows the store's order.
  void ShowListOrder();
  // The width a date ("yyyy-MM-dd") needs in the record list.
  int DateColumnWidth() const;
  // A menu bar entry with a caption of its own that runs `of` and is
  // enabled with it.
  QAction* MenuEntryFor(QAction* of, const QString& name, const QString& text);
  // The verdict of the casebook's check that ran beside the window.
  void OnCasebookChecked();

  CasebookStore store_;
  QString dataDir_;       // where the casebook is, even when it could not be opened
  QString openFailure_;   // why it could not be opened ("" when it is open)
  QSet<RowId> warnedDamaged_;  // records whose damage was told already
  QStringList highlight_;
  bool syncing_ = false;
  // The shown columns' shares of the list's width (their widths as last set
  // by the user or fitted, before 时间 was widened to a date), and whether
  // FitColumns is setting the widths.
  int columnShares_[4] = {};
  bool fittingColumns_ = false;
  QList<QPointer<TEditForm>> editors_;
  // The record list holds the hits of a search (their folders are shown).
  bool showingHits_ = false;
  void ShowHits(bool hits);

  TFolderTree* tree_ = nullptr;
  QTableView* lvRecords_ = nullptr;
  TRecordColumns* columns_ = nullptr;  // how lvRecords_ shows the record list
  QTextEdit* preview_ = nullptr;
  QSplitter* splitMain_ = nullptr;
  QSplitter* splitRight_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QLabel* panels_[4] = {};
  QLabel* lblReadOnly_ = nullptr;  // the bar above the list
  QTreeWidgetItem* binNode_ = nullptr;
  QMenu* treeMenu_ = nullptr;
  QMenu* listMenu_ = nullptr;

  QAction* actSaveText_ = nullptr;
  QAction* actPrint_ = nullptr;
  QAction* actExit_ = nullptr;
  QAction* actBackup_ = nullptr;
  QAction* actRecover_ = nullptr;
  QAction* actExport_ = nullptr;
  QAction* actImport_ = nullptr;
  QAction* actViewToolbar_ = nullptr;
  QAction* actViewStatus_ = nullptr;
  QAction* actSearchTitle_ = nullptr;
  QAction* actSearchText_ = nullptr;
  QAction* actSearchAll_ = nullptr;
  QAction* actNewRecord_ = nullptr;
  QAction* actOpenRecord_ = nullptr;
  QAction* actDeleteRecord_ = nullptr;
  QAction* actPrior_ = nullptr;
  QAction* actNext_ = nullptr;
  QAction* actNewFolder_ = nullptr;
  QAction* actRenameFolder_ = nullptr;
  QAction* actDeleteFolder_ = nullptr;
  QAction* actRestoreRecord_ = nullptr;
  QAction* actPurgeRecord_ = nullptr;
  QAction* actRestoreFolder_ = nullptr;
  QAction* actPurgeFolder_ = nullptr;
  QAction* actEmptyBin_ = nullptr;
  QAction* actMoveRecords_ = nullptr;
  QAction* actMoveFolder_ = nullptr;
  QAction* actAbout_ = nullptr;

  // The five chart dialogs, made at start-up and kept for the window's
  // life, and the chart commands that show them.
  std::unique_ptr<TChartDialogs> charts_;
  std::unique_ptr<TEngineBinding> chartCommands_;

  // The automatic backup running at start-up, if any, and whether one waits
  // for the casebook's check.
  std::unique_ptr<AutomaticBackup> autoBackup_;
  bool backupWanted_ = false;
};
