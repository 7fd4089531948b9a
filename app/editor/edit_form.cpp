#include "edit_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolBar>
#include <QVBoxLayout>

#include "engine_binding.h"
#include "gbk_validator.h"
#include "record_text.h"
#include "record_text_edit.h"
#include "skin.h"

TEditForm::TEditForm(TEditHost& host, QWidget* parent) : QDialog(parent), host_(host) {
  setObjectName(QStringLiteral("EditForm"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setSizeGripEnabled(false);
  resize(900, 650);
  CreateActions();
  CreateMenus();
  CreateToolBar();
  CreateFields();
  CreateLayout();
  ConnectDirtyFlag();
  ConnectEditActions();
  connect(qApp, &QApplication::focusChanged, this, &TEditForm::OnFocusChanged);
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
          &TEditForm::OnClipboardChanged);
  OnClipboardChanged();
}

TEditForm::~TEditForm() {
  // The children go away after this body; focus moves caused by that must not
  // reach this half-destroyed window.
  disconnect(qApp, nullptr, this, nullptr);
  disconnect(QGuiApplication::clipboard(), nullptr, this, nullptr);
}

QAction* TEditForm::MakeAction(const QString& name, const QString& text,
                               const QKeySequence& key) {
  auto* act = new QAction(text, this);
  act->setObjectName(name);
  if (!key.isEmpty()) {
    act->setShortcut(key);
    act->setShortcutContext(Qt::WindowShortcut);
  }
  addAction(act);  // shortcuts work with the menu closed and the toolbar anywhere
  return act;
}

// The commands: file, editing and the six charts.
void TEditForm::CreateActions() {
  actSave_ = MakeAction(QStringLiteral("actSave"), QStringLiteral("保存(&S)"),
                        QKeySequence(Qt::CTRL | Qt::Key_S));
  actSave_->setIconText(QStringLiteral("保存"));
  actClose_ = MakeAction(QStringLiteral("actClose"), QStringLiteral("关闭(&G)"), {});
  actUndo_ = MakeAction(QStringLiteral("actUndo"), QStringLiteral("撤消(&U)"),
                        QKeySequence(Qt::CTRL | Qt::Key_Z));
  actCut_ = MakeAction(QStringLiteral("actCut"), QStringLiteral("剪切(&T)"),
                       QKeySequence(Qt::CTRL | Qt::Key_X));
  actCopy_ = MakeAction(QStringLiteral("actCopy"), QStringLiteral("复制(&C)"),
                        QKeySequence(Qt::CTRL | Qt::Key_C));
  actPaste_ = MakeAction(QStringLiteral("actPaste"), QStringLiteral("粘贴(&P)"),
                         QKeySequence(Qt::CTRL | Qt::Key_V));
  actSelectAll_ = MakeAction(QStringLiteral("actSelectAll"), QStringLiteral("全选(&A)"),
                             QKeySequence(Qt::CTRL | Qt::Key_A));

  struct Chart {
    const char* name;
    const char* text;
    const char* iconText;
    int key;  // 0: no shortcut
    ChartKind kind;
  };
  const Chart charts[] = {
      {"actBazi", "八字(&B)", "八字", Qt::Key_B, ChartKind::Bazi},
      {"actZiwei", "紫微(&I)", "紫微", Qt::Key_I, ChartKind::Ziwei},
      {"actLiuyao", "六爻(&L)", "六爻", Qt::Key_L, ChartKind::Liuyao},
      {"actQimen", "奇门(&Q)", "奇门", Qt::Key_Q, ChartKind::Qimen},
      {"actLiuren", "六壬(&R)", "六壬", Qt::Key_R, ChartKind::Liuren},
      {"actXuankong", "玄空(&X)", "玄空", 0, ChartKind::Xuankong},
  };
  for (const Chart& c : charts) {
    QAction* act =
        MakeAction(QString::fromLatin1(c.name), QString::fromUtf8(c.text),
                   c.key ? QKeySequence(Qt::CTRL | Qt::Key(c.key)) : QKeySequence());
    act->setIconText(QString::fromUtf8(c.iconText));
    const ChartKind kind = c.kind;
    connect(act, &QAction::triggered, this, [this, kind] { RunChartCommand(kind); });
    chartActions_ << act;
  }

  connect(actSave_, &QAction::triggered, this, [this] { Save(); });
  connect(actClose_, &QAction::triggered, this, &QWidget::close);
  connect(actUndo_, &QAction::triggered, this, &TEditForm::Undo);
  connect(actCut_, &QAction::triggered, this, &TEditForm::Cut);
  connect(actCopy_, &QAction::triggered, this, &TEditForm::Copy);
  connect(actPaste_, &QAction::triggered, this, &TEditForm::Paste);
  connect(actSelectAll_, &QAction::triggered, this, &TEditForm::SelectAll);
}

void TEditForm::CreateMenus() {
  menuBar_ = new QMenuBar(this);
  QMenu* file = menuBar_->addMenu(QStringLiteral("文件(&F)"));
  file->setObjectName(QStringLiteral("mnuFile"));
  file->addAction(actSave_);
  file->addSeparator();
  file->addAction(actClose_);
  QMenu* edit = menuBar_->addMenu(QStringLiteral("编辑(&E)"));
  edit->setObjectName(QStringLiteral("mnuEdit"));
  edit->addAction(actUndo_);
  edit->addSeparator();
  edit->addAction(actCut_);
  edit->addAction(actCopy_);
  edit->addAction(actPaste_);
  edit->addSeparator();
  edit->addAction(actSelectAll_);
  connect(edit, &QMenu::aboutToShow, this, &TEditForm::UpdateEditActions);
  QMenu* chart = menuBar_->addMenu(QStringLiteral("排盘(&P)"));
  chart->setObjectName(QStringLiteral("mnuChart"));
  chart->addActions(chartActions_);  // all six, for the keyboard too
}

void TEditForm::CreateToolBar() {
  toolBar_ = new QToolBar(this);
  toolBar_->setObjectName(QStringLiteral("tbEdit"));
  toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  toolBar_->addAction(actSave_);
  toolBar_->addSeparator();
  toolBar_->addActions(chartActions_);
}

void TEditForm::CreateFields() {
  edtBT_ = new QLineEdit(this);
  edtBT_->setObjectName(QStringLiteral("edtBT"));
  LimitGbkBytes(edtBT_, kTitleBytes);
  edtQZR_ = new QLineEdit(this);
  edtQZR_->setObjectName(QStringLiteral("edtQZR"));
  LimitGbkBytes(edtQZR_, kQuerentBytes);

  cbYear_ = new QComboBox(this);
  cbYear_->setObjectName(QStringLiteral("cbYear"));
  for (int y = kFirstYear; y <= kLastYear; ++y) cbYear_->addItem(QString::number(y));
  cbMonth_ = new QComboBox(this);
  cbMonth_->setObjectName(QStringLiteral("cbMonth"));
  for (int m = 1; m <= 12; ++m) cbMonth_->addItem(QString::number(m));
  cbDay_ = new QComboBox(this);
  cbDay_->setObjectName(QStringLiteral("cbDay"));
  for (int d = 1; d <= 31; ++d) cbDay_->addItem(QString::number(d));
  for (QComboBox* cb : {cbYear_, cbMonth_, cbDay_}) {
    cb->setEditable(false);
    cb->setMaxVisibleItems(16);
    cb->setCurrentIndex(-1);
  }
  cbFK_ = new QCheckBox(QStringLiteral("反馈"), this);
  cbFK_->setObjectName(QStringLiteral("cbFK"));

  reText_ = new TRecordTextEdit(this);
  reText_->setObjectName(QStringLiteral("reText"));
  reText_->setFont(skin::TextFont());
  reText_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  reText_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  reText_->setTabChangesFocus(false);

  keptCasts_ = new TKeptCasts(this);
  connect(keptCasts_, &TKeptCasts::recastRequested, this, [this](int row) { RecastCast(row); });
}

// The menu bar and the toolbar at the top; below them the fields, then the
// record text filling the rest.
void TEditForm::CreateLayout() {
  auto* form = new QGridLayout;
  form->setHorizontalSpacing(6);
  form->addWidget(new QLabel(QStringLiteral("标　题："), this), 0, 0);
  form->addWidget(edtBT_, 0, 1);
  form->addWidget(new QLabel(QStringLiteral("求占人："), this), 1, 0);
  form->addWidget(edtQZR_, 1, 1);
  form->addWidget(new QLabel(QStringLiteral("时　间："), this), 2, 0);
  auto* dateRow = new QHBoxLayout;
  dateRow->addWidget(cbYear_);
  dateRow->addWidget(new QLabel(QStringLiteral("年"), this));
  dateRow->addWidget(cbMonth_);
  dateRow->addWidget(new QLabel(QStringLiteral("月"), this));
  dateRow->addWidget(cbDay_);
  dateRow->addWidget(new QLabel(QStringLiteral("日"), this));
  dateRow->addSpacing(24);
  dateRow->addWidget(cbFK_);
  dateRow->addStretch(1);
  form->addLayout(dateRow, 2, 1);
  form->setColumnStretch(1, 1);

  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(0, 0, 0, 0);
  top->setSpacing(0);
  top->setMenuBar(menuBar_);
  top->addWidget(toolBar_);
  auto* body = new QVBoxLayout;
  body->setContentsMargins(8, 8, 8, 8);
  body->setSpacing(6);
  body->addLayout(form);
  body->addWidget(reText_, 1);
  body->addWidget(keptCasts_);  // hidden while the record has no casts
  top->addLayout(body, 1);

  setTabOrder(edtBT_, edtQZR_);
  setTabOrder(edtQZR_, cbYear_);
  setTabOrder(cbYear_, cbMonth_);
  setTabOrder(cbMonth_, cbDay_);
  setTabOrder(cbDay_, cbFK_);
  setTabOrder(cbFK_, reText_);
  setTabOrder(reText_, keptCasts_->table());
  setTabOrder(keptCasts_->table(), keptCasts_->recastButton());
}

// Any change of any field, by the user or by program, makes the record
// dirty.
void TEditForm::ConnectDirtyFlag() {
  connect(edtBT_, &QLineEdit::textChanged, this, &TEditForm::SetDirty);
  connect(edtQZR_, &QLineEdit::textChanged, this, &TEditForm::SetDirty);
  connect(reText_, &QPlainTextEdit::textChanged, this, &TEditForm::SetDirty);
  connect(cbFK_, &QCheckBox::toggled, this, &TEditForm::SetDirty);
  for (QComboBox* cb : {cbYear_, cbMonth_, cbDay_})
    connect(cb, &QComboBox::currentIndexChanged, this, [this] {
      SetDirty();
      dateTouched_ = true;
    });
}

// The editing commands are available only where they can act.
void TEditForm::ConnectEditActions() {
  for (QLineEdit* e : {edtBT_, edtQZR_}) {
    connect(e, &QLineEdit::textChanged, this, &TEditForm::UpdateEditActions);
    connect(e, &QLineEdit::selectionChanged, this, &TEditForm::UpdateEditActions);
  }
  connect(reText_, &QPlainTextEdit::textChanged, this, &TEditForm::UpdateEditActions);
  connect(reText_, &QPlainTextEdit::selectionChanged, this, &TEditForm::UpdateEditActions);
  connect(reText_, &QPlainTextEdit::undoAvailable, this, &TEditForm::UpdateEditActions);
}

void TEditForm::OpenNew(const QDate& today) {
  editMode_ = false;
  id_ = 0;
  folder_ = host_.SelectedFolderId();
  setWindowTitle(QStringLiteral("新建"));
  edtBT_->clear();
  edtQZR_->clear();
  cbFK_->setChecked(false);
  reText_->clear();
  SetDate(today);
  pendingCasts_.clear();
  LoadCasts();
  dirty_ = false;
  UpdateEditActions();
}

void TEditForm::OpenEdit(RowId id, const RecordFields& fields) {
  editMode_ = true;
  id_ = id;
  setWindowTitle(QStringLiteral("编辑"));
  edtBT_->setText(fields.title);
  edtQZR_->setText(fields.querent);
  cbFK_->setChecked(fields.feedback);
  reText_->setPlainText(ToDisplayText(fields.text));
  SetDate(fields.date);
  pendingCasts_.clear();
  LoadCasts();
  // Filling the fields has set the flag; an opened record starts clean.
  dirty_ = false;
  UpdateEditActions();
}

void TEditForm::SetDate(const QDate& date) {
  date_ = date;
  dateTouched_ = false;
  const QSignalBlocker by(cbYear_), bm(cbMonth_), bd(cbDay_);
  if (!date.isValid()) {
    cbYear_->setCurrentIndex(-1);
    cbMonth_->setCurrentIndex(-1);
    cbDay_->setCurrentIndex(-1);
    return;
  }
  const int y = date.year() - kFirstYear;
  cbYear_->setCurrentIndex(y >= 0 && y < cbYear_->count() ? y : -1);
  cbMonth_->setCurrentIndex(date.month() - 1);
  cbDay_->setCurrentIndex(date.day() - 1);
}

std::optional<QDate> TEditForm::DateFromSelectors() {
  const int y = cbYear_->currentIndex();
  const int m = cbMonth_->currentIndex();
  const int d = cbDay_->currentIndex();
  if (y >= 0 && m >= 0 && d >= 0) {
    const QDate date(kFirstYear + y, m + 1, d + 1);
    if (date.isValid()) return date;
  }
  // Selectors the user has not touched keep the record's own date, even
  // one the lists cannot show (or none).
  if (!dateTouched_) return date_;
  QComboBox* mend = cbDay_;
  QString text;
  if (y < 0 || m < 0 || d < 0) {
    mend = y < 0 ? cbYear_ : m < 0 ? cbMonth_ : cbDay_;
    text = QStringLiteral("日期不完整，请选择年、月、日。");
  } else {
    text = QStringLiteral("%1年%2月%3日不存在，请检查日期。").arg(kFirstYear + y).arg(m + 1).arg(d + 1);
  }
  skin::PlainMessage(this, text);
  mend->setFocus(Qt::OtherFocusReason);
  return std::nullopt;
}

QString TEditForm::RecordText() const { return ToStoredText(reText_->toPlainText()); }

bool TEditForm::Save() {
  if (!editMode_ && folder_ <= 0) return false;
  // A date that does not exist is not saved, and nothing else is either.
  const std::optional<QDate> date = DateFromSelectors();
  if (!date) return false;
  const RecordFields fields{edtBT_->text(), edtQZR_->text(), *date, cbFK_->isChecked(), RecordText()};
  CasebookStore& store = host_.Store();
  try {
    if (editMode_) {
      if (!store.UpdateRecord(id_, fields, pendingCasts_)) {
        // The record is gone from the casebook (deleted meanwhile): what the
        // user wrote is kept as a new record where the user says, with the
        // casts the editor lists.
        const std::optional<RowId> into = host_.FolderForOrphan(*this);
        if (!into) return false;
        id_ = store.InsertRecord(*into, fields, storedCasts_ + pendingCasts_);
        folder_ = *into;
        skin::Message(this, QStringLiteral("提示"),
                      QStringLiteral("这条记录已经被删除了，现在的内容已另存为一条新记录。"),
                      skin::Buttons::Ok, skin::Icon::Information);
      }
    } else {
      if (!store.FolderIsLive(folder_)) {
        // The folder it was begun in was deleted meanwhile.
        const std::optional<RowId> into = host_.FolderForOrphan(*this);
        if (!into) return false;
        folder_ = *into;
      }
      id_ = store.InsertRecord(folder_, fields, pendingCasts_);
      editMode_ = true;  // the record exists from now on
    }
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
    return false;
  }
  dirty_ = false;
  date_ = fields.date;
  dateTouched_ = false;
  pendingCasts_.clear();  // stored with the record
  LoadCasts();
  try {
    host_.RecordSaved(id_);
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
  }
  return true;
}

void TEditForm::InsertChartText(const QString& text) {
  QTextCursor cursor(reText_->document());
  cursor.movePosition(QTextCursor::Start);
  cursor.insertText(ToDisplayText(text) + QLatin1Char('\n'));
  dirty_ = true;
}

void TEditForm::AddCast(const ChartCast& cast) {
  ChartCast pending = cast;
  pending.id = 0;
  pending.record = editMode_ ? id_ : 0;
  pendingCasts_ << pending;
  dirty_ = true;
  ListCasts();
}

void TEditForm::LoadCasts() {
  storedCasts_.clear();
  if (editMode_) {
    try {
      storedCasts_ = host_.Store().ListCasts(id_);
    } catch (const StoreError& e) {
      // The record itself is shown; its casts are not listed.
      skin::ShowError(this, e.message());
    }
  }
  ListCasts();
}

void TEditForm::ListCasts() { keptCasts_->SetCasts(Casts(), int(storedCasts_.size())); }

Recast::Outcome TEditForm::RecastCast(int row) {
  const QList<ChartCast> casts = Casts();
  if (row < 0 || row >= int(casts.size())) return Recast::Outcome::BadRequest;
  const ChartCast& cast = casts[row];
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const Recast now = CastAgain(cast, host_.EngineLibraryDir());
  QApplication::restoreOverrideCursor();
  switch (now.outcome) {
    case Recast::Outcome::Same:
      skin::Message(this, QStringLiteral("提示"), QStringLiteral("与原结果相同"), skin::Buttons::Ok,
                    skin::Icon::Information);
      break;
    case Recast::Outcome::Different: {
      // Beside the record, so that both can be looked at; it goes when closed.
      auto* form = new TRecastForm(cast, now, this);
      form->setAttribute(Qt::WA_DeleteOnClose);
      form->show();
      break;
    }
    case Recast::Outcome::LibraryMissing:
      // As the chart commands say it.
      skin::PlainMessage(this, BrokenLibraryMessage());
      break;
    case Recast::Outcome::BadRequest:
      skin::PlainMessage(this, QStringLiteral("这次起盘的请求无法读出，不能重新起盘。"));
      break;
    case Recast::Outcome::EngineRefused:
      skin::PlainMessage(this, QStringLiteral("现在的排盘引擎不接受这次起盘的请求（结果代码 %1），不能重新起盘。")
                                   .arg(now.code));
      break;
  }
  return now.outcome;
}

void TEditForm::RunChartCommand(ChartKind kind) {
  QPointer<QWidget> before = QApplication::focusWidget();
  if (before && before->window() != this) before = nullptr;
  const bool inserted = host_.RunChart(*this, kind);
  activateWindow();
  raise();
  QWidget* next = inserted || !before ? reText_ : before.data();
  next->setFocus(Qt::OtherFocusReason);
}

bool TEditForm::ConfirmClose(skin::Buttons buttons) {
  if (!dirty_) return true;
  const skin::Answer answer = skin::Message(this, QStringLiteral("确认"), QStringLiteral("是否保存对当前记录的修改？"),
                                            buttons, skin::Icon::Question);
  if (answer == skin::Answer::Cancel) return false;
  if (answer == skin::Answer::Yes && !Save()) return false;  // keep what could not be stored
  return true;
}

void TEditForm::CloseDiscarding() {
  dirty_ = false;
  close();
}

void TEditForm::SetWritable(bool writable) { actSave_->setEnabled(writable); }

void TEditForm::reject() {
  if (!ConfirmClose(skin::Buttons::YesNoCancel)) return;
  QDialog::reject();
  // Not modal, the editor goes when it is done with (the main window's
  // editors are WA_DeleteOnClose; a hidden dialog is not closed by Qt).
  if (testAttribute(Qt::WA_DeleteOnClose)) deleteLater();
}

void TEditForm::keyPressEvent(QKeyEvent* event) {
  // The editor is a document window: Escape does not close it.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TEditForm::OnFocusChanged(QWidget*, QWidget* now) {
  if (now == edtBT_ || now == edtQZR_ || now == reText_) {
    textFocus_ = now;
  } else if (now && now->window() == this && !qobject_cast<QMenuBar*>(now) &&
             !qobject_cast<QMenu*>(now)) {
    textFocus_ = nullptr;  // a selector, the check box ...
  }
  // Focus in the menu bar (Alt+E gives it the keyboard), a menu or another
  // window: the commands keep acting on the last text control of this window.
  UpdateEditActions();
}

QWidget* TEditForm::FocusedTextControl() const { return textFocus_; }

void TEditForm::OnClipboardChanged() {
  // Read here, once per change of the clipboard, not at every keystroke:
  // asking another program for its clipboard is a round trip to it.
  const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
  clipboardHasText_ = clip != nullptr && clip->hasText();
  UpdateEditActions();
}

void TEditForm::UpdateEditActions() {
  bool undo = false, selection = false, hasText = false;
  QWidget* w = FocusedTextControl();
  if (auto* line = qobject_cast<QLineEdit*>(w)) {
    undo = line->isUndoAvailable();
    selection = line->hasSelectedText();
    hasText = !line->text().isEmpty();
  } else if (w == reText_) {
    undo = reText_->document()->isUndoAvailable();
    selection = reText_->textCursor().hasSelection();
    hasText = !reText_->document()->isEmpty();
  }
  actUndo_->setEnabled(w && undo);
  actCut_->setEnabled(w && selection);
  actCopy_->setEnabled(w && selection);
  actPaste_->setEnabled(w && clipboardHasText_);
  actSelectAll_->setEnabled(w && hasText);
}

void TEditForm::Undo() {
  if (auto* line = qobject_cast<QLineEdit*>(textFocus_)) line->undo();
  else if (textFocus_ == reText_) reText_->undo();
  UpdateEditActions();
}

void TEditForm::Cut() {
  if (auto* line = qobject_cast<QLineEdit*>(textFocus_)) line->cut();
  else if (textFocus_ == reText_) reText_->cut();
  UpdateEditActions();
}

void TEditForm::Copy() {
  if (auto* line = qobject_cast<QLineEdit*>(textFocus_)) line->copy();
  else if (textFocus_ == reText_) reText_->copy();
  UpdateEditActions();
}

void TEditForm::Paste() {
  if (auto* line = qobject_cast<QLineEdit*>(textFocus_)) line->paste();
  else if (textFocus_ == reText_) reText_->paste();
  UpdateEditActions();
}

void TEditForm::SelectAll() {
  if (auto* line = qobject_cast<QLineEdit*>(textFocus_)) line->selectAll();
  else if (textFocus_ == reText_) reText_->selectAll();
  UpdateEditActions();
}
