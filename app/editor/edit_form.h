#pragma once
// TEditForm: the window in which one record is written: title, querent,
// date, feedback flag and free text, plus the six chart commands, which
// insert a chart's text above the first line of the record text. Below the
// text it lists the casts kept with the record (TKeptCasts), each of which
// can be cast again with the engine there is now.
//
// The main window creates one editor per use, opens it with OpenNew() or
// OpenEdit() and runs it modally; the editor saves through the store
// (insert for a new record, update afterwards), re-lists the host's record
// list after each save and asks before closing with unsaved changes.

#include <QDate>
#include <QDialog>

#include <optional>

#include "casebook_store.h"
#include "edit_host.h"
#include "kept_casts.h"
#include "record_text_edit.h"
#include "skin.h"
#include "years.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QMenuBar;
class QToolBar;

class TEditForm : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kFirstYear = years::kFirst;
  static constexpr int kLastYear = years::kLast;

  explicit TEditForm(TEditHost& host, QWidget* parent = nullptr);
  ~TEditForm() override;

  // New mode: empty fields, feedback not ticked, the date selectors on
  // `today`, caption "新建". The record will go into the folder selected
  // in the host now. Leaves the editor clean.
  void OpenNew(const QDate& today);
  // Edit mode for record `id`: fields from the record, caption "编辑".
  // Leaves the editor clean.
  void OpenEdit(RowId id, const RecordFields& fields);

  // Saves the record (insert in new mode, then update) and has the host
  // show it (TEditHost::RecordSaved). A record deleted meanwhile, or a new
  // one whose folder was, is filed where the host says (FolderForOrphan).
  // Returns false when nothing could be stored (no folder, a store error,
  // already shown to the user, or no folder chosen).
  bool Save();

  // The question before closing with unsaved changes, in the buttons given
  // (是/否/取消 for the editor's own close, 保存/不保存/取消 when the main
  // window closes); saves on 是 or 保存. Returns false when the editor must
  // stay open: 取消, or a save that failed. Asks nothing when clean.
  bool ConfirmClose(skin::Buttons buttons);
  // Closes without asking; what was unsaved is given up (the user said so).
  void CloseDiscarding();

  // Whether the casebook can be written now: 保存 is offered only then
  // (the text stays editable, so nothing typed is lost meanwhile).
  void SetWritable(bool writable);

  // Inserts a block of text, followed by a line break, before the first
  // line of the record text (a chart). Marks the record dirty.
  void InsertChartText(const QString& text);

  // Keeps a chart cast while editing with the record: it waits until the
  // record is saved (a new record gets its ID then) and goes into the
  // casebook with it; closing without saving drops it. Listed at once, marked
  // as not saved yet. Marks the record dirty. (The chart's text in the record
  // text is the user's to keep or not, as with any chart.)
  void AddCast(const ChartCast& cast);
  // The record's casts as listed: those stored, oldest first, then those
  // waiting for the save.
  QList<ChartCast> Casts() const { return storedCasts_ + pendingCasts_; }
  int PendingCastCount() const { return int(pendingCasts_.size()); }
  // Casts the listed cast in `row` again with the engine there is now and
  // tells the user: "与原结果相同" in a message box, or the two texts side
  // by side (TRecastForm, "与原结果不同"); a missing library, a request that
  // cannot be read or an engine that refuses it in Chinese. Returns what it
  // came to (BadRequest also for a row that is not listed).
  Recast::Outcome RecastCast(int row);
  TKeptCasts* keptCasts() const { return keptCasts_; }

  // Sets the date selectors (year index year − 1920, month − 1, day − 1; a
  // year outside the list leaves the year without a selection). Setting
  // the selectors by program does not make the record dirty.
  void SetDate(const QDate& date);
  // The date the selectors form. When they form none, the record keeps its
  // own date if the user has not touched the selectors (a date outside the
  // year list, or none at all); otherwise the user is told which date is
  // wrong ("2023年2月30日不存在，请检查日期。"), the focus goes to the
  // selector to mend, and std::nullopt comes back: nothing may be saved.
  std::optional<QDate> DateFromSelectors();

  bool isDirty() const { return dirty_; }

  bool isEditMode() const { return editMode_; }
  RowId recordId() const { return id_; }

  // The record text with CR LF line ends, as stored.
  QString RecordText() const;

  QLineEdit* edtBT() const { return edtBT_; }
  QLineEdit* edtQZR() const { return edtQZR_; }
  QComboBox* cbYear() const { return cbYear_; }
  QComboBox* cbMonth() const { return cbMonth_; }
  QComboBox* cbDay() const { return cbDay_; }
  QCheckBox* cbFK() const { return cbFK_; }
  TRecordTextEdit* reText() const { return reText_; }
  QToolBar* toolBar() const { return toolBar_; }
  QMenuBar* menuBar() const { return menuBar_; }

 public slots:
  // Refreshes the enabled state of the editing commands.
  void UpdateEditActions();

 protected:
  // The close query: the title bar, "关闭(&G)" and the system all come here.
  void reject() override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // The window's parts, made in this order.
  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  void CreateFields();
  void CreateLayout();
  void ConnectDirtyFlag();
  void ConnectEditActions();
  QAction* MakeAction(const QString& name, const QString& text, const QKeySequence& key);
  void SetDirty() { dirty_ = true; }
  // A chart command through the host; afterwards the keyboard comes back
  // to this window: to the text when a chart went there, else to where it
  // was.
  void RunChartCommand(ChartKind kind);
  QWidget* FocusedTextControl() const;
  // Reads the record's stored casts again (none for a new record) and lists
  // them with the pending ones.
  void LoadCasts();
  void ListCasts();
  void OnClipboardChanged();
  void OnFocusChanged(QWidget* old, QWidget* now);
  void Undo();
  void Cut();
  void Copy();
  void Paste();
  void SelectAll();

  TEditHost& host_;
  bool editMode_ = false;
  RowId id_ = 0;
  RowId folder_ = -1;  // where a new record goes
  bool dirty_ = false;
  // The record's date as it was filled in or last saved, and whether the
  // user has touched the date selectors since.
  QDate date_;
  bool dateTouched_ = false;

  QMenuBar* menuBar_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QLineEdit* edtBT_ = nullptr;
  QLineEdit* edtQZR_ = nullptr;
  QComboBox* cbYear_ = nullptr;
  QComboBox* cbMonth_ = nullptr;
  QComboBox* cbDay_ = nullptr;
  QCheckBox* cbFK_ = nullptr;
  TRecordTextEdit* reText_ = nullptr;
  TKeptCasts* keptCasts_ = nullptr;
  QList<ChartCast> storedCasts_;   // kept with the record in the casebook
  QList<ChartCast> pendingCasts_;  // cast since the last save
  QWidget* textFocus_ = nullptr;  // the text control the editing commands act on
  // Whether the clipboard offers text, as it said when it last changed. Only
  // the offered formats are asked for, never the data: an owner that hands
  // its text over once keeps that answer for the paste.
  bool clipboardHasText_ = false;

  QAction* actSave_ = nullptr;
  QAction* actClose_ = nullptr;
  QAction* actUndo_ = nullptr;
  QAction* actCut_ = nullptr;
  QAction* actCopy_ = nullptr;
  QAction* actPaste_ = nullptr;
  QAction* actSelectAll_ = nullptr;
  QList<QAction*> chartActions_;  // the six charts, in menu order
};
