#include "main_form.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QSet>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolBar>
#include <QTreeWidgetItem>
#include <cmath>

#include "casebook_backup.h"
#include "casebook_care.h"
#include "chart_dialogs.h"
#include "chart_lines.h"
#include "edit_form.h"
#include "engine_binding.h"
#include "folder_tree.h"
#include "gbk_validator.h"
#include "preview_form.h"
#include "record_columns.h"
#include "record_text.h"
#include "recovery_dialog.h"
#include "search_form.h"
#include "skin.h"
#include "text_export.h"

#ifndef ORV_VERSION_MAJOR
#define ORV_VERSION_MAJOR 0
#endif
#ifndef ORV_VERSION_MINOR
#define ORV_VERSION_MINOR 0
#endif

namespace {

constexpr int kPanelWidths[4] = {100, 120, 150, 50};
constexpr int kTreeWidth = 185;
constexpr int kListHeight = 170;
constexpr int kSplitterHandle = 5;
// Shown columns of the record list and their display widths in characters.
constexpr int kShownColumns[] = {RecordList::ColBT, RecordList::ColQZR, RecordList::ColSJ,
                                 RecordList::ColFK};
constexpr int kColumnChars[] = {50, 20, 10, 5};
// The deepest folder nesting the tree follows (protects against a damaged
// Folder table whose links form a loop).
constexpr int kMaxDepth = 256;

}  // namespace

TMainForm::TMainForm(const QString& dataDir, QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QString::fromLatin1(skin::kProductName) + QLatin1Char(' ') + VersionText());
  CreateActions();
  CreateMenus();
  CreateToolBar();
  CreateStatusBar();
  CreateClientArea();
  casebookDir_ = QDir::cleanPath(dataDir.isEmpty() ? CasebookStore::DefaultDataDir() : dataDir);
  OpenCasebook(dataDir);
  highlight_.clear();
  ShowRecordList();
  RebuildTree();
  setWindowState(windowState() | Qt::WindowMaximized);
  ReadSettings();
  // The chart dialogs live as long as the window; the Qimen and Liu Ren
  // dialogs read their remembered options now.
  charts_ = std::make_unique<TChartDialogs>(this);
  chartCommands_ = std::make_unique<TEngineBinding>(*charts_);
}

TMainForm::~TMainForm() {
  // The view and its columns must let go of the record list before the
  // store (a member) goes.
  lvRecords_->setModel(nullptr);
  columns_->setSourceModel(nullptr);
}

QString TMainForm::VersionText() {
  return QString::asprintf("%d.%d", ORV_VERSION_MAJOR, ORV_VERSION_MINOR);
}

void TMainForm::OpenCasebook(const QString& dataDir) {
  bool unreadable = false;
  try {
    store_.OpenStore(dataDir);
  } catch (const StoreError& e) {
    unreadable = e.damaged();
    if (!unreadable) skin::ShowError(this, e.message());
  }
  if (unreadable || store_.isDamaged()) OfferBackupForDamagedCasebook(this, store_, dataDir);
  connect(&store_, &CasebookStore::checkFinished, this, &TMainForm::OnCasebookChecked);
  if (store_.isChecking()) statusBar()->showMessage(QStringLiteral("正在检查数据库…"));
}

void TMainForm::ShowRecordList() {
  columns_ = new TRecordColumns(this);
  columns_->setSourceModel(store_.records());
  lvRecords_->setModel(columns_);
  for (int c = 0; c < RecordList::ColumnCount; ++c) {
    const bool shown = c == RecordList::ColBT || c == RecordList::ColQZR ||
                       c == RecordList::ColSJ || c == RecordList::ColFK;
    lvRecords_->setColumnHidden(c, !shown);
  }
  const int digit = lvRecords_->fontMetrics().horizontalAdvance(QLatin1Char('0'));
  for (int i = 0; i < 4; ++i)
    lvRecords_->setColumnWidth(kShownColumns[i], kColumnChars[i] * digit + 8);
  connect(store_.records(), &RecordList::currentChanged, this,
          &TMainForm::OnRecordCurrentChanged);
  connect(lvRecords_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) { OnViewCurrentRowChanged(current.row()); });
}

QAction* TMainForm::MakeAction(const QString& name, const QString& text,
                               const QKeySequence& key) {
  auto* act = new QAction(text, this);
  act->setObjectName(name);
  if (!key.isEmpty()) act->setShortcut(key);
  addAction(act);  // shortcuts work while the toolbar is hidden
  return act;
}

void TMainForm::CreateActions() {
  actSaveText_ = MakeAction(QStringLiteral("actSaveAsText"), QStringLiteral("保存为文本(&S)"));
  actPrint_ = MakeAction(QStringLiteral("actPrint"), QStringLiteral("打印(&P)..."),
                         QKeySequence(Qt::CTRL | Qt::Key_P));
  actPrint_->setIconText(QStringLiteral("打印"));
  actExit_ = MakeAction(QStringLiteral("actExit"), QStringLiteral("退出(&X)"));
  actBackup_ = MakeAction(QStringLiteral("actBackupDatabase"), QStringLiteral("备份数据库…"));
  actRecover_ = MakeAction(QStringLiteral("actRestoreBackup"), QStringLiteral("恢复备份…"));
  actViewToolbar_ = MakeAction(QStringLiteral("actViewToolbar"), QStringLiteral("工具栏(&T)"));
  actViewToolbar_->setCheckable(true);
  actViewToolbar_->setChecked(true);
  actViewStatus_ = MakeAction(QStringLiteral("actViewStatusBar"), QStringLiteral("状态栏(&S)"));
  actViewStatus_->setCheckable(true);
  actViewStatus_->setChecked(true);
  actSearchTitle_ = MakeAction(QStringLiteral("actSearchTitle"), QStringLiteral("按标题(&T)"));
  actSearchText_ = MakeAction(QStringLiteral("actSearchContent"), QStringLiteral("按内容(&M)"));
  actSearchAll_ = MakeAction(QStringLiteral("actSearchAll"), QStringLiteral("全部(&A)"));
  actSearchAll_->setIconText(QStringLiteral("搜索"));
  actNewRecord_ = MakeAction(QStringLiteral("actNewRecord"), QStringLiteral("新建文章(&A)"),
                             QKeySequence(Qt::CTRL | Qt::Key_N));
  actNewRecord_->setIconText(QStringLiteral("新建"));
  actOpenRecord_ = MakeAction(QStringLiteral("actOpenRecord"), QStringLiteral("编辑(&E)"));
  actOpenRecord_->setIconText(QStringLiteral("编辑"));
  actDeleteRecord_ = MakeAction(QStringLiteral("actDeleteRecord"), QStringLiteral("删除(&D)"));
  actPrior_ = MakeAction(QStringLiteral("actPriorRecord"), QStringLiteral("上一条"));
  actNext_ = MakeAction(QStringLiteral("actNextRecord"), QStringLiteral("下一条"));
  actNewFolder_ = MakeAction(QStringLiteral("actNewFolder"), QStringLiteral("新建分类(&N)"));
  actDeleteFolder_ = MakeAction(QStringLiteral("actDeleteFolder"), QStringLiteral("删除分类(&D)"));

  connect(actSaveText_, &QAction::triggered, this, &TMainForm::SaveAsText);
  connect(actPrint_, &QAction::triggered, this, &TMainForm::Print);
  connect(actExit_, &QAction::triggered, this, &QWidget::close);
  connect(actBackup_, &QAction::triggered, this, &TMainForm::BackupDatabase);
  connect(actRecover_, &QAction::triggered, this, &TMainForm::RecoverCasebook);
  connect(actViewToolbar_, &QAction::toggled, this, [this](bool on) { toolBar_->setVisible(on); });
  connect(actViewStatus_, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });
  connect(actSearchTitle_, &QAction::triggered, this, [this] { Search(0); });
  connect(actSearchText_, &QAction::triggered, this, [this] { Search(1); });
  connect(actSearchAll_, &QAction::triggered, this, [this] { Search(2); });
  connect(actNewRecord_, &QAction::triggered, this, &TMainForm::NewRecord);
  connect(actOpenRecord_, &QAction::triggered, this, &TMainForm::OpenRecord);
  connect(actDeleteRecord_, &QAction::triggered, this, &TMainForm::DeleteRecord);
  connect(actPrior_, &QAction::triggered, this, &TMainForm::PriorRecord);
  connect(actNext_, &QAction::triggered, this, &TMainForm::NextRecord);
  connect(actNewFolder_, &QAction::triggered, this, &TMainForm::NewFolder);
  connect(actDeleteFolder_, &QAction::triggered, this, &TMainForm::DeleteFolder);
}

// The menu bar, and the context menus of the tree and of the record list.
void TMainForm::CreateMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
  file->setObjectName(QStringLiteral("mnuFile"));
  file->addAction(actNewFolder_);  // also here, where a first-time user looks
  file->addSeparator();
  file->addAction(actSaveText_);
  file->addAction(actPrint_);
  file->addAction(actBackup_);
  file->addAction(actRecover_);
  file->addSeparator();
  file->addAction(actExit_);
  QMenu* view = menuBar()->addMenu(QStringLiteral("查看(&V)"));
  view->setObjectName(QStringLiteral("mnuView"));
  view->addAction(actViewToolbar_);
  view->addAction(actViewStatus_);
  QMenu* search = menuBar()->addMenu(QStringLiteral("搜索(&S)"));
  search->setObjectName(QStringLiteral("mnuSearch"));
  search->addAction(actSearchTitle_);
  search->addAction(actSearchText_);
  search->addAction(actSearchAll_);

  treeMenu_ = new QMenu(this);
  treeMenu_->setObjectName(QStringLiteral("mnuTree"));
  treeMenu_->addAction(actNewRecord_);
  treeMenu_->addSeparator();
  treeMenu_->addAction(actNewFolder_);
  treeMenu_->addAction(actDeleteFolder_);
  listMenu_ = new QMenu(this);
  listMenu_->setObjectName(QStringLiteral("mnuList"));
  listMenu_->addAction(actOpenRecord_);
  listMenu_->addAction(actDeleteRecord_);
}

void TMainForm::CreateToolBar() {
  toolBar_ = new QToolBar(this);
  toolBar_->setObjectName(QStringLiteral("tbMain"));
  toolBar_->setMovable(false);
  toolBar_->setFloatable(false);
  toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  toolBar_->setContextMenuPolicy(Qt::PreventContextMenu);
  toolBar_->addAction(actNewRecord_);
  toolBar_->addAction(actOpenRecord_);
  toolBar_->addAction(actPrint_);
  toolBar_->addSeparator();
  toolBar_->addAction(actPrior_);
  toolBar_->addAction(actNext_);
  toolBar_->addAction(actSearchAll_);
  addToolBar(Qt::TopToolBarArea, toolBar_);
}

// Four panels: 100, 120, 150 and 50 pixels wide.
void TMainForm::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("sbMain"));
  bar->setSizeGripEnabled(false);
  for (int i = 0; i < 4; ++i) {
    panels_[i] = new QLabel(bar);
    panels_[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    // The last panel reaches to the end of the bar, as a status bar's last
    // part does: the search's elapsed time is wider than its 50 pixels.
    if (i < 3)
      panels_[i]->setFixedWidth(kPanelWidths[i]);
    else
      panels_[i]->setMinimumWidth(kPanelWidths[i]);
    bar->addWidget(panels_[i], i < 3 ? 0 : 1);
  }
}

// The tree on the left; on the right the record list above the preview.
void TMainForm::CreateClientArea() {
  CreateTree();
  CreateRecordView();
  CreatePreview();

  splitRight_ = new QSplitter(Qt::Vertical, this);
  splitRight_->setObjectName(QStringLiteral("splitRight"));
  splitRight_->setHandleWidth(kSplitterHandle);
  splitRight_->setChildrenCollapsible(false);
  splitRight_->addWidget(lvRecords_);
  splitRight_->addWidget(preview_);
  splitRight_->setStretchFactor(0, 0);
  splitRight_->setStretchFactor(1, 1);
  splitRight_->setSizes({kListHeight, 400});

  splitMain_ = new QSplitter(Qt::Horizontal, this);
  splitMain_->setObjectName(QStringLiteral("splitMain"));
  splitMain_->setHandleWidth(kSplitterHandle);
  splitMain_->setChildrenCollapsible(false);
  splitMain_->addWidget(tree_);
  splitMain_->addWidget(splitRight_);
  splitMain_->setStretchFactor(0, 0);
  splitMain_->setStretchFactor(1, 1);
  splitMain_->setSizes({kTreeWidth, 600});
  setCentralWidget(splitMain_);
  resize(960, 640);
}

void TMainForm::CreateTree() {
  tree_ = new TFolderTree(this);
  connect(tree_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current) { OnTreeCurrentChanged(current); });
  connect(tree_, &TFolderTree::renameConfirmed, this, &TMainForm::OnRenameConfirmed);
  // A click on the highlighted folder lists it again (after a search, say).
  connect(tree_, &TFolderTree::currentNodeClicked, this,
          [this](QTreeWidgetItem* node) { OnTreeCurrentChanged(node); });
  connect(tree_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { treeMenu_->popup(tree_->viewport()->mapToGlobal(pos)); });
}

void TMainForm::CreateRecordView() {
  lvRecords_ = new QTableView(this);
  lvRecords_->setObjectName(QStringLiteral("lvRecords"));
  lvRecords_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvRecords_->setSelectionMode(QAbstractItemView::SingleSelection);
  lvRecords_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvRecords_->setShowGrid(true);
  lvRecords_->setWordWrap(false);
  lvRecords_->setTabKeyNavigation(false);
  lvRecords_->verticalHeader()->setVisible(false);
  lvRecords_->verticalHeader()->setDefaultSectionSize(lvRecords_->fontMetrics().height() + 6);
  lvRecords_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  lvRecords_->horizontalHeader()->setStretchLastSection(false);
  lvRecords_->horizontalHeader()->setHighlightSections(false);
  lvRecords_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  lvRecords_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(lvRecords_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    listMenu_->popup(lvRecords_->viewport()->mapToGlobal(pos));
  });
  connect(lvRecords_, &QAbstractItemView::clicked, this, [this] { RefreshPreview(); });
  connect(lvRecords_, &QAbstractItemView::doubleClicked, this, [this] { OpenRecord(); });
}

void TMainForm::CreatePreview() {
  preview_ = new TChartTextEdit(this);  // chart grids drawn joined
  preview_->setObjectName(QStringLiteral("rePreview"));
  preview_->setReadOnly(true);
  preview_->setUndoRedoEnabled(false);
  preview_->setAcceptRichText(true);
  preview_->setFont(skin::TextFont());
  preview_->document()->setDefaultFont(skin::TextFont());
  preview_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  preview_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

// ---------------------------------------------------------------------------
// Folder tree

void TMainForm::RebuildTree() {
  tree_->setUpdatesEnabled(false);
  QTreeWidgetItem* root = nullptr;
  {
    const QSignalBlocker block(tree_);
    tree_->clear();
    root = tree_->AddNode(nullptr, QStringLiteral("分类目录"), 0);
    if (store_.isOpen()) {
      try {
        FillTree(root, 0, 0);
      } catch (const StoreError& e) {
        skin::ShowError(this, e.message());
      }
    }
    tree_->expandAll();
    tree_->setCurrentItem(root);
  }
  tree_->setUpdatesEnabled(true);
  OnTreeCurrentChanged(root);
}

void TMainForm::FillTree(QTreeWidgetItem* node, RowId id, int depth) {
  if (depth >= kMaxDepth) return;
  const QList<FolderRow> children = store_.FolderChildren(id);
  QList<QTreeWidgetItem*> added;
  for (const FolderRow& row : children) {
    if (row.id == id || row.id == 0) continue;  // a folder is never its own child
    added << tree_->AddNode(node, row.name, row.id);
  }
  for (QTreeWidgetItem* child : added) FillTree(child, TFolderTree::FolderId(child), depth + 1);
}

RowId TMainForm::SelectedFolderId() const {
  return tree_ ? TFolderTree::FolderId(tree_->currentItem()) : -1;
}

void TMainForm::ListFolderRecords(RowId folderId) {
  highlight_.clear();
  // The status bar told of the search whose result the list held.
  for (QLabel* panel : panels_) panel->clear();
  store_.ListFolderRecords(folderId);
}

void TMainForm::ListFolder(RowId folderId) {
  try {
    ListFolderRecords(folderId);
  } catch (const StoreError& e) {
    ClearPreview();
    skin::ShowError(this, e.message());
  }
}

void TMainForm::OnTreeCurrentChanged(QTreeWidgetItem* current) {
  if (!current) return;
  ClearPreview();
  ListFolder(TFolderTree::FolderId(current));
}

void TMainForm::NewFolder() {
  QTreeWidgetItem* node = tree_->currentItem();
  if (!node) return;
  QString name;
  GbkLimitValidator limit(kFolderNameBytes, nullptr);
  if (!skin::InputText(this, QStringLiteral("新建分类"), QStringLiteral("请输入分类名称："), &name,
                       &limit))
    return;
  RowId id = 0;
  try {
    id = store_.AddFolder(TFolderTree::FolderId(node), name);
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
    return;
  }
  QTreeWidgetItem* child = tree_->AddNode(node, CutToGbkBytes(name, kFolderNameBytes), id);
  node->setExpanded(true);
  tree_->scrollToItem(child);
  tree_->setCurrentItem(child);
}

void TMainForm::OnRenameConfirmed(QTreeWidgetItem* item, const QString& text) {
  if (!tree_->CanRename(item)) return;
  try {
    if (const std::optional<QString> stored =
            store_.RenameFolder(TFolderTree::FolderId(item), text))
      item->setText(0, *stored);
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
  }
}

void TMainForm::DeleteFolder() {
  QTreeWidgetItem* node = tree_->currentItem();
  if (!node || !node->parent()) return;  // nothing, or the root
  if (node->childCount() > 0) {
    skin::Message(this, QStringLiteral("确认"), QStringLiteral("请先删除子类。"), skin::Buttons::Ok,
                  skin::Icon::Information);
    return;
  }
  // Say what goes with the folder; Enter keeps it.
  QString question = QStringLiteral("确认要删除吗？");
  try {
    if (const int records = store_.FolderRecordCount(TFolderTree::FolderId(node)); records > 0)
      question += QStringLiteral("\n（其中的 %1 条记录将一并删除）").arg(records);
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
    return;
  }
  if (skin::Message(this, QStringLiteral("确认"), question, skin::Buttons::OkCancelDestructive,
                    skin::Icon::Question) != skin::Answer::Ok)
    return;
  bool found = false;
  try {
    found = store_.DeleteFolder(TFolderTree::FolderId(node));
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
    return;
  }
  if (!found) return;
  delete node;  // the tree moves its selection on, which lists that folder
  if (!store_.records()->isOpen()) {
    ClearPreview();
    ListFolder(SelectedFolderId());
  }
}

// ---------------------------------------------------------------------------
// Records

bool TMainForm::RunChart(TEditForm& editor, ChartKind kind) {
  return chartCommands_->Run(kind, &editor, [&editor](const QString& text) {
    editor.InsertChartText(text);
  }) == ChartOutcome::Inserted;
}

void TMainForm::RunEditor(TEditForm& editor) {
  editor.setWindowState(editor.windowState() | Qt::WindowMaximized);
  emit editorOpened(&editor);
  editor.exec();
}

void TMainForm::NewRecord() {
  if (SelectedFolderId() <= 0) {
    skin::Message(this, QStringLiteral("提示"), QStringLiteral("请先选择一个分类。"),
                  skin::Buttons::Ok, skin::Icon::Information);
    return;
  }
  TEditForm editor(*this, this);
  editor.OpenNew(QDate::currentDate());
  RunEditor(editor);
}

void TMainForm::OpenRecord() {
  RecordList* list = store_.records();
  if (SelectedFolderId() <= 0 || list->count() == 0 || list->currentRow() < 0) return;
  QString text;
  try {
    text = list->currentText();
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
    return;
  }
  TEditForm editor(*this, this);
  editor.OpenEdit(list->currentId(), list->value(QStringLiteral("BT")).toString(),
                  list->value(QStringLiteral("QZR")).toString(),
                  list->value(QStringLiteral("FK")).toBool(), text,
                  list->value(QStringLiteral("SJ")).toDate());
  RunEditor(editor);
}

void TMainForm::DeleteRecord() {
  const RowId folder = SelectedFolderId();
  if (folder < 0) return;
  RecordList* list = store_.records();
  const int rows = list->count();
  if (rows >= 1 &&
      skin::Message(this, QStringLiteral("确认"), QStringLiteral("确认要删除吗？"),
                    skin::Buttons::OkCancelDestructive, skin::Icon::Question) != skin::Answer::Ok)
    return;
  if (rows == 1) ClearPreview();
  try {
    if (rows >= 1) store_.DeleteRecord(list->currentId());
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
  }
  ListFolder(folder);
}

void TMainForm::PriorRecord() {
  lvRecords_->setFocus();
  RecordList* list = store_.records();
  if (!list->bof()) list->prior();
}

void TMainForm::NextRecord() {
  lvRecords_->setFocus();
  RecordList* list = store_.records();
  if (!list->eof()) list->next();
}

void TMainForm::OnRecordCurrentChanged(int row) {
  {
    syncing_ = true;
    QItemSelectionModel* sel = lvRecords_->selectionModel();
    if (row >= 0) {
      const QModelIndex index = columns_->index(row, RecordList::ColBT);
      sel->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
      lvRecords_->scrollTo(index);
    } else {
      sel->clear();
    }
    syncing_ = false;
  }
  RefreshPreview();
}

void TMainForm::OnViewCurrentRowChanged(int row) {
  if (syncing_ || row < 0) return;
  store_.records()->setCurrentRow(row);  // moves emit currentChanged → preview
}

void TMainForm::ClearPreview() {
  preview_->clear();
  // Text put in later must not inherit the colour of a highlighted word.
  preview_->setCurrentCharFormat(QTextCharFormat());
}

void TMainForm::RefreshPreview() {
  ClearPreview();
  RecordList* list = store_.records();
  if (!list->isOpen() || list->currentRow() < 0) return;
  QString text;
  try {
    text = list->currentText();
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
    return;
  }
  preview_->document()->setPlainText(ToDisplayText(text));
  QTextDocument* doc = preview_->document();
  if (!highlight_.isEmpty()) {
    QTextCursor all(doc);
    all.select(QTextCursor::Document);
    QTextCharFormat plain;
    plain.setForeground(QColor(0, 0, 0));
    plain.setFontWeight(QFont::Normal);
    plain.setFontItalic(false);
    plain.setFontUnderline(false);
    plain.setFontStrikeOut(false);
    all.mergeCharFormat(plain);
    QTextCharFormat red;
    red.setForeground(QColor(255, 0, 0));
    for (const QString& word : highlight_) {
      if (word.isEmpty()) continue;
      QTextCursor found(doc);
      for (;;) {
        found = doc->find(word, found);  // letter case ignored, not whole words only
        if (found.isNull()) break;
        found.mergeCharFormat(red);
      }
    }
  }
  preview_->moveCursor(QTextCursor::Start);
}

// ---------------------------------------------------------------------------
// Window

void TMainForm::FitColumns() {
  int widths[4];
  int sum = 0;
  for (int i = 0; i < 4; ++i) {
    widths[i] = lvRecords_->columnWidth(kShownColumns[i]);
    sum += widths[i];
  }
  if (sum <= 0) return;
  const double room = lvRecords_->width() - 50;
  for (int i = 0; i < 4; ++i) {
    // Nearest pixel, ties to the even pixel (the default rounding mode).
    const double w = std::nearbyint(widths[i] * room / sum);
    lvRecords_->setColumnWidth(kShownColumns[i], std::max(0, static_cast<int>(w)));
  }
}

void TMainForm::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  // A window that is not shown yet has not laid out its list: its width
  // means nothing, and fitting to it would squash every column to the
  // minimum and lose their proportions.
  if (isVisible()) FitColumns();
}

void TMainForm::ReadSettings() {
  QSettings settings;
  if (settings.contains(QStringLiteral("VT")))
    actViewToolbar_->setChecked(settings.value(QStringLiteral("VT")).toInt() != 0);
  if (settings.contains(QStringLiteral("VS")))
    actViewStatus_->setChecked(settings.value(QStringLiteral("VS")).toInt() != 0);
  toolBar_->setVisible(actViewToolbar_->isChecked());
  statusBar()->setVisible(actViewStatus_->isChecked());
}

void TMainForm::WriteSettings() {
  QSettings settings;
  settings.setValue(QStringLiteral("VT"), actViewToolbar_->isChecked() ? 1 : 0);
  settings.setValue(QStringLiteral("VS"), actViewStatus_->isChecked() ? 1 : 0);
  settings.sync();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  highlight_.clear();
  WriteSettings();
  // A start-up backup still running gives way to the one at close, which
  // takes in everything.
  autoBackup_.reset();
  BackUpOnClose(this, store_);
  event->accept();
}

// ---------------------------------------------------------------------------
// Search, text export, printing

void TMainForm::Search(int mode) {
  TfrmSearch* form = TfrmSearch::Find();
  if (!form) form = new TfrmSearch(*this, this);
  form->ShowForMode(mode);
}

void TMainForm::RunSearch(const SearchCondition& where, const QString& caption) {
  if (where.isEmpty()) return;
  QElapsedTimer timer;
  timer.start();
  TFormWait::Open();
  panels_[0]->setText(QStringLiteral("正在查询数据……"));
  panels_[0]->repaint();
  panels_[1]->clear();
  panels_[2]->setText(caption);
  panels_[3]->clear();
  statusBar()->repaint();
  try {
    store_.SearchRecords(where);
  } catch (const StoreError& e) {
    panels_[0]->clear();
    preview_->clear();
    skin::ShowError(this, e.message());
    return;
  }
  panels_[0]->setText(QStringLiteral("完成"));
  panels_[1]->setText(QStringLiteral("找到 %1 条记录").arg(store_.records()->count()));
  panels_[3]->setText(QStringLiteral("查找耗时：") + ElapsedText(timer.elapsed()));
}

// The current record's text as stored, or nothing when there is none.
static QString CurrentText(RecordList& list) {
  if (!list.isOpen() || list.currentRow() < 0) return QString();
  return list.currentText();
}

void TMainForm::SaveAsText() {
  try {
    ::SaveAsText(this, CurrentText(*store_.records()));
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
  }
}

void TMainForm::Print() {
  QString text;
  try {
    text = CurrentText(*store_.records());
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
    return;
  }
  PrintText(this, text, store_.dataDir());
}

// ---------------------------------------------------------------------------
// Backups

void TMainForm::BackupDatabase() { BackupCasebookTo(this, store_); }

void TMainForm::RecoverCasebook() {
  if (!OfferRecovery(this, store_, casebookDir_)) return;
  ClearPreview();
  RebuildTree();
}

void TMainForm::OnCasebookChecked() {
  statusBar()->clearMessage();
  if (store_.isDamaged()) {
    const QString dir = store_.dataDir();
    if (OfferBackupForDamagedCasebook(this, store_, dir)) {
      ClearPreview();
      RebuildTree();
      if (backupWanted_) StartAutomaticBackup();
    }
    return;
  }
  if (!store_.checkError().isEmpty()) {
    skin::ShowError(this, store_.checkError());
    return;
  }
  if (backupWanted_) StartAutomaticBackup();
}

void TMainForm::StartAutomaticBackup() {
  backupWanted_ = true;
  if (store_.isChecking()) return;  // once the casebook is found sound
  if (!store_.isOpen() || store_.isDamaged() || !store_.checkError().isEmpty()) return;
  if (!autoBackup_) {
    autoBackup_ = std::make_unique<AutomaticBackup>();
    connect(autoBackup_.get(), &AutomaticBackup::finished, this,
            [this](const AutomaticBackupResult& result) {
              if (result.outcome == CopyOutcome::Done)
                statusBar()->showMessage(QStringLiteral("已自动备份数据库。"), 10000);
              else if (result.outcome == CopyOutcome::Failed)
                skin::ShowError(this, QStringLiteral("自动备份数据库失败：%1").arg(result.error));
            });
  }
  autoBackup_->StartIfDue(store_.dataDir());
}
