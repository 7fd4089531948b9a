#include "main_form.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QSettings>
#include <QShortcut>
#include <QStyle>
#include <QSet>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidgetItem>
#include <QVBoxLayout>
#include <QDir>
#include <QFile>
#include <QDateTime>
#include <functional>
#include <optional>
#include <cmath>

#include "casebook_backup.h"
#include "casebook_care.h"
#include "chart_dialogs.h"
#include "chart_lines.h"
#include "edit_form.h"
#include "engine_binding.h"
#include "exchange_form.h"
#include "folder_tree.h"
#include "gbk_validator.h"
#include "preview_form.h"
#include "record_columns.h"
#include "record_text.h"
#include "record_versions.h"
#include "folder_picker.h"
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

// Settings of the window's state, beside "VT" and "VS".
const QString kGeometryKey = QStringLiteral("Window/Geometry");
const QString kMainSplitterKey = QStringLiteral("Window/MainSplitter");
const QString kRightSplitterKey = QStringLiteral("Window/RightSplitter");
const QString kColumnsKey = QStringLiteral("Window/Columns");
const QString kLastFolderKey = QStringLiteral("Window/LastFolder");
const QString kListOrderKey = QStringLiteral("List/Order");
const QString kListDirectionKey = QStringLiteral("List/Direction");

// A panel of the status bar: framed while it tells something, and nothing
// at all (no empty box) while it has no text.
class TStatusPanel : public QLabel {
 public:
  using QLabel::QLabel;

 protected:
  bool event(QEvent* event) override {
    const bool done = QLabel::event(event);
    // The skin's frame and background are drawn here, by paintEvent, not
    // behind every panel by the widget itself.
    if (event->type() == QEvent::Polish) setAttribute(Qt::WA_StyledBackground, false);
    return done;
  }
  void paintEvent(QPaintEvent* event) override {
    if (text().isEmpty()) return;
    {
      QStyleOption option;
      option.initFrom(this);
      QPainter painter(this);
      style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    }
    QLabel::paintEvent(event);
  }
};

}  // namespace

TMainForm::TMainForm(const QString& dataDir, QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QString::fromLatin1(skin::kProductName) + QLatin1Char(' ') + VersionText());
  CreateActions();
  CreateMenus();
  CreateToolBar();
  CreateStatusBar();
  CreateClientArea();
  OpenCasebook(dataDir);
  highlight_.clear();
  ReadListOrder();
  ShowRecordList();
  RebuildTree();
  setWindowState(windowState() | Qt::WindowMaximized);
  ReadSettings();
  ReadWindowState();
  SelectLastFolder();
  // The chart dialogs live as long as the window; the Qimen and Liu Ren
  // dialogs read their remembered options now.
  charts_ = std::make_unique<TChartDialogs>(this);
  chartCommands_ = std::make_unique<TEngineBinding>(*charts_);
  ShowAccess();
}

TMainForm::~TMainForm() {
  // Editors still open go first: they work on this window's store.
  for (const QPointer<TEditForm>& editor : editors_) delete editor.data();
  // The view and its columns must let go of the record list before the
  // store (a member) goes.
  lvRecords_->setModel(nullptr);
  columns_->setSourceModel(nullptr);
}

QString TMainForm::VersionText() {
  return QString::asprintf("%d.%d", ORV_VERSION_MAJOR, ORV_VERSION_MINOR);
}

void TMainForm::OpenCasebook(const QString& dataDir) {
  dataDir_ = QDir::cleanPath(dataDir.isEmpty() ? CasebookStore::DefaultDataDir() : dataDir);
  std::optional<StoreError> failure;
  try {
    store_.OpenStore(dataDir_);
  } catch (const StoreError& e) {
    failure = e;
  }
  if ((failure && failure->damaged()) || store_.isDamaged()) {
    OfferRecovery(this, store_, dataDir_, failure ? failure->message() : QString());
    if (!store_.isOpen() && failure &&
        (failure->problem() == StoreProblem::Missing || failure->problem() == StoreProblem::Empty))
      OfferNewCasebook(failure->problem());
  } else if (failure) {
    skin::ShowError(this, failure->message());
  }
  openFailure_ = store_.isOpen() || !failure ? QString() : failure->message();
  connect(&store_, &CasebookStore::checkFinished, this, &TMainForm::OnCasebookChecked);
  connect(&store_, &CasebookStore::accessChanged, this, [this] {
    ShowAccess();
    if (store_.isWritable()) statusBar()->showMessage(QStringLiteral("数据库已经可以修改了。"), 10000);
  });
  if (store_.isChecking()) statusBar()->showMessage(QStringLiteral("正在检查数据库…"));
}

void TMainForm::OfferNewCasebook(StoreProblem problem) {
  const QString question =
      problem == StoreProblem::Empty
          ? QStringLiteral("数据库文件是空的，没有用备份恢复。\n\n要新建一个空的数据库重新开始吗？"
                           "空文件会改名保留在原处。")
          : QStringLiteral("数据库文件不见了，没有用备份恢复。\n\n要新建一个空的数据库重新开始吗？");
  if (skin::Message(this, QStringLiteral("确认"), question, skin::Buttons::OkCancelDestructive,
                    skin::Icon::Question) != skin::Answer::Ok)
    return;
  const QString db = dataDir_ + QLatin1Char('/') + CasebookStore::DatabaseFileName();
  if (problem == StoreProblem::Empty) {
    const QString kept = db + QStringLiteral(".empty-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (!QFile::rename(db, kept)) {
      skin::ShowError(this, QStringLiteral("无法把空的数据库文件改名：\n%1").arg(QDir::toNativeSeparators(db)));
      return;
    }
  }
  try {
    store_.OpenStore(dataDir_, /*createMissing=*/true);
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
  }
}

void TMainForm::ShowAccess() {
  QString reason;   // for the title
  QString bar;      // for the bar above the list
  if (!store_.isOpen()) {
    reason = QStringLiteral("数据库没有打开");
    bar = QStringLiteral("数据库没有打开，什么也不能修改。") +
          (openFailure_.isEmpty() ? QString() : QStringLiteral("\n") + openFailure_);
  } else if (store_.readOnlyReason() != ReadOnlyReason::None) {
    switch (store_.readOnlyReason()) {
      case ReadOnlyReason::Damaged: reason = QStringLiteral("数据库已损坏"); break;
      case ReadOnlyReason::FileReadOnly: reason = QStringLiteral("数据库文件是只读的"); break;
      case ReadOnlyReason::FolderReadOnly: reason = QStringLiteral("数据库所在的目录不能写入"); break;
      case ReadOnlyReason::OtherOwner: reason = QStringLiteral("数据库属于另一个用户"); break;
      case ReadOnlyReason::Locked: reason = QStringLiteral("数据库正被其他程序占用"); break;
      case ReadOnlyReason::None: break;
    }
    bar = QStringLiteral("只读：") + store_.readOnlyText() + QStringLiteral("\n") +
          QDir::toNativeSeparators(store_.databasePath());
  }
  QString title = QString::fromLatin1(skin::kProductName) + QLatin1Char(' ') + VersionText();
  if (!reason.isEmpty()) title += QStringLiteral("（只读：%1）").arg(reason);
  setWindowTitle(title);
  lblReadOnly_->setText(bar);
  lblReadOnly_->setVisible(!bar.isEmpty());
  tree_->SetRenamingAllowed(store_.isWritable() || store_.isChecking());
  for (TEditForm* editor : Editors()) editor->SetWritable(store_.isWritable() || store_.isChecking());
  UpdateCommands();
  emit accessShown();
}

void TMainForm::UpdateCommands() {
  // A casebook being checked beside is written once the check is done.
  const bool writable = store_.isWritable() || store_.isChecking();
  const TFolderTree::NodeKind kind = TFolderTree::Kind(tree_->currentItem());
  const bool inFolders = tree_->currentItem() && (kind == TFolderTree::RootNode || kind == TFolderTree::FolderNode);
  const bool inBin = tree_->currentItem() && !inFolders;
  const bool hasRecord = store_.records()->currentRow() >= 0;
  actNewRecord_->setEnabled(writable && inFolders);
  actOpenRecord_->setEnabled(writable && inFolders);
  actDeleteRecord_->setEnabled(writable && inFolders && hasRecord);
  actNewFolder_->setEnabled(writable && inFolders);
  actRenameFolder_->setEnabled(writable && kind == TFolderTree::FolderNode && tree_->currentItem());
  actDeleteFolder_->setEnabled(writable && kind == TFolderTree::FolderNode && tree_->currentItem());
  actRestoreRecord_->setEnabled(writable && inBin && hasRecord);
  actPurgeRecord_->setEnabled(writable && inBin && hasRecord);
  actRestoreFolder_->setEnabled(writable && kind == TFolderTree::BinFolderNode && inBin);
  actPurgeFolder_->setEnabled(writable && kind == TFolderTree::BinFolderNode && inBin);
  actEmptyBin_->setEnabled(writable && binNode_ != nullptr);
  actMoveRecords_->setEnabled(writable && inFolders && hasRecord);
  actMoveFolder_->setEnabled(writable && kind == TFolderTree::FolderNode && tree_->currentItem());
  tree_->SetMovingAllowed(writable);
  // Records are dragged out of a folder's list (or a search's), not out of
  // the bin: they go back from there by 还原.
  lvRecords_->setDragEnabled(writable && inFolders);
  // A backup replaces the casebook's file: not under another program's
  // feet, nor where the file cannot be replaced.
  const ReadOnlyReason reason = store_.readOnlyReason();
  actRecover_->setEnabled(!store_.isOpen() || reason == ReadOnlyReason::None ||
                          reason == ReadOnlyReason::Damaged);
  actExport_->setEnabled(store_.isOpen());
  actImport_->setEnabled(store_.isWritable());
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
  lvRecords_->setColumnWidth(RecordList::ColSJ,
                             std::max(lvRecords_->columnWidth(RecordList::ColSJ), DateColumnWidth()));
  lvRecords_->setColumnWidth(RecordList::ColFolder, 15 * digit + 8);  // the hits' folder
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
  actExport_ = MakeAction(QStringLiteral("actExport"), QStringLiteral("导出(&E)…"));
  actExport_->setToolTip(QStringLiteral("把整个数据库或一个分类写成 JSON 或 CSV 文件"));
  actImport_ = MakeAction(QStringLiteral("actImport"), QStringLiteral("导入(&I)…"));
  actImport_->setToolTip(QStringLiteral("把导出的 JSON 文件读入一个分类"));
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
  actRenameFolder_ = MakeAction(QStringLiteral("actRenameFolder"), QStringLiteral("重命名(&M)"),
                                QKeySequence(Qt::Key_F2));
  actDeleteFolder_ = MakeAction(QStringLiteral("actDeleteFolder"), QStringLiteral("删除分类(&D)"));
  actRestoreRecord_ = MakeAction(QStringLiteral("actRestoreRecord"), QStringLiteral("还原(&R)"));
  actPurgeRecord_ = MakeAction(QStringLiteral("actPurgeRecord"), QStringLiteral("彻底删除(&D)"));
  actRestoreFolder_ = MakeAction(QStringLiteral("actRestoreFolder"), QStringLiteral("还原分类(&R)"));
  actPurgeFolder_ = MakeAction(QStringLiteral("actPurgeFolder"), QStringLiteral("彻底删除分类(&D)"));
  actEmptyBin_ = MakeAction(QStringLiteral("actEmptyRecycleBin"), QStringLiteral("清空回收站(&E)"));
  actMoveRecords_ = MakeAction(QStringLiteral("actMoveRecords"), QStringLiteral("移动到…"));
  actMoveFolder_ = MakeAction(QStringLiteral("actMoveFolder"), QStringLiteral("移动到…"));
  actAbout_ = MakeAction(QStringLiteral("actAbout"), QStringLiteral("关于(&A)…"));
  // Keys: Ctrl+F searches, Ctrl+Q quits; Delete deletes what has the focus
  // (a record in the list, a folder in the tree), after the question.
  actSearchAll_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  actExit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  actDeleteRecord_->setShortcut(QKeySequence(Qt::Key_Delete));
  actDeleteRecord_->setShortcutContext(Qt::WidgetShortcut);
  actDeleteFolder_->setShortcut(QKeySequence(Qt::Key_Delete));
  actDeleteFolder_->setShortcutContext(Qt::WidgetShortcut);
  // What the buttons do, beyond their captions.
  actNewRecord_->setToolTip(QStringLiteral("在选中的分类中写一条新记录（Ctrl+N）"));
  actOpenRecord_->setToolTip(QStringLiteral("在编辑窗口中打开列表中选中的记录（Enter）"));
  actPrint_->setToolTip(QStringLiteral("预览并打印选中记录的标题和正文（Ctrl+P）"));
  actPrior_->setToolTip(QStringLiteral("选中列表中的前一条记录，在下方显示它的正文"));
  actNext_->setToolTip(QStringLiteral("选中列表中的后一条记录，在下方显示它的正文"));
  actSearchAll_->setToolTip(QStringLiteral("在所有分类中按标题和正文查找记录（Ctrl+F）"));
  actMoveRecords_->setToolTip(QStringLiteral("把选中的记录放到另一个分类中"));
  actMoveFolder_->setToolTip(QStringLiteral("把选中的分类连同其中的记录和子分类放到另一个分类之下"));

  connect(actSaveText_, &QAction::triggered, this, &TMainForm::SaveAsText);
  connect(actPrint_, &QAction::triggered, this, &TMainForm::Print);
  connect(actExit_, &QAction::triggered, this, &QWidget::close);
  connect(actBackup_, &QAction::triggered, this, &TMainForm::BackupDatabase);
  connect(actRecover_, &QAction::triggered, this, &TMainForm::RecoverCasebook);
  connect(actExport_, &QAction::triggered, this, &TMainForm::ExportCasebook);
  connect(actImport_, &QAction::triggered, this, &TMainForm::ImportCasebook);
  connect(actViewToolbar_, &QAction::toggled, this, [this](bool on) { toolBar_->setVisible(on); });
  connect(actViewStatus_, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });
  connect(actSearchTitle_, &QAction::triggered, this, [this] { Search(SearchMode::Title); });
  connect(actSearchText_, &QAction::triggered, this, [this] { Search(SearchMode::Text); });
  connect(actSearchAll_, &QAction::triggered, this, [this] { Search(SearchMode::Both); });
  connect(actNewRecord_, &QAction::triggered, this, &TMainForm::NewRecord);
  connect(actOpenRecord_, &QAction::triggered, this, &TMainForm::OpenRecord);
  connect(actDeleteRecord_, &QAction::triggered, this, &TMainForm::DeleteRecord);
  connect(actPrior_, &QAction::triggered, this, &TMainForm::PriorRecord);
  connect(actNext_, &QAction::triggered, this, &TMainForm::NextRecord);
  connect(actNewFolder_, &QAction::triggered, this, &TMainForm::NewFolder);
  connect(actDeleteFolder_, &QAction::triggered, this, &TMainForm::DeleteFolder);
  connect(actRenameFolder_, &QAction::triggered, this, &TMainForm::RenameFolder);
  connect(actRestoreRecord_, &QAction::triggered, this, &TMainForm::RestoreRecord);
  connect(actPurgeRecord_, &QAction::triggered, this, &TMainForm::PurgeRecord);
  connect(actRestoreFolder_, &QAction::triggered, this, &TMainForm::RestoreFolder);
  connect(actPurgeFolder_, &QAction::triggered, this, &TMainForm::PurgeFolder);
  connect(actEmptyBin_, &QAction::triggered, this, &TMainForm::EmptyRecycleBin);
  connect(actMoveRecords_, &QAction::triggered, this, &TMainForm::MoveRecordTo);
  connect(actMoveFolder_, &QAction::triggered, this, &TMainForm::MoveFolderTo);
  connect(actAbout_, &QAction::triggered, this, &TMainForm::About);
}

QAction* TMainForm::MenuEntryFor(QAction* of, const QString& name, const QString& text) {
  // The shortcut stays with `of` (one key, one action); the entry shows it.
  QString caption = text;
  if (!of->shortcut().isEmpty())
    caption += QLatin1Char('\t') + of->shortcut().toString(QKeySequence::NativeText);
  auto* entry = new QAction(caption, this);
  entry->setObjectName(name);
  entry->setToolTip(of->toolTip());
  entry->setEnabled(of->isEnabled());
  connect(entry, &QAction::triggered, of, &QAction::trigger);
  connect(of, &QAction::enabledChanged, entry, &QAction::setEnabled);
  return entry;
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
  file->addAction(actExport_);
  file->addAction(actImport_);
  file->addSeparator();
  file->addAction(actExit_);
  QMenu* records = menuBar()->addMenu(QStringLiteral("记录(&R)"));
  records->setObjectName(QStringLiteral("mnuRecord"));
  records->addAction(MenuEntryFor(actNewRecord_, QStringLiteral("actMenuNewRecord"), QStringLiteral("新建(&N)")));
  records->addAction(MenuEntryFor(actOpenRecord_, QStringLiteral("actMenuOpenRecord"), QStringLiteral("打开(&O)")));
  records->addAction(actDeleteRecord_);
  records->addSeparator();
  records->addAction(actMoveRecords_);
  connect(records, &QMenu::aboutToShow, this, &TMainForm::UpdateCommands);
  QMenu* folders = menuBar()->addMenu(QStringLiteral("分类(&C)"));
  folders->setObjectName(QStringLiteral("mnuFolder"));
  folders->addAction(actNewFolder_);
  folders->addAction(actRenameFolder_);
  folders->addAction(actDeleteFolder_);
  folders->addSeparator();
  folders->addAction(actMoveFolder_);
  connect(folders, &QMenu::aboutToShow, this, &TMainForm::UpdateCommands);
  QMenu* view = menuBar()->addMenu(QStringLiteral("查看(&V)"));
  view->setObjectName(QStringLiteral("mnuView"));
  view->addAction(actViewToolbar_);
  view->addAction(actViewStatus_);
  QMenu* search = menuBar()->addMenu(QStringLiteral("搜索(&S)"));
  search->setObjectName(QStringLiteral("mnuSearch"));
  search->addAction(actSearchTitle_);
  search->addAction(actSearchText_);
  search->addAction(actSearchAll_);
  QMenu* help = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
  help->setObjectName(QStringLiteral("mnuHelp"));
  help->addAction(actAbout_);

  treeMenu_ = new QMenu(this);
  treeMenu_->setObjectName(QStringLiteral("mnuTree"));
  treeMenu_->addAction(actNewRecord_);
  treeMenu_->addSeparator();
  treeMenu_->addAction(actNewFolder_);
  treeMenu_->addAction(actRenameFolder_);
  treeMenu_->addAction(actDeleteFolder_);
  treeMenu_->addAction(actMoveFolder_);
  treeMenu_->addSeparator();
  treeMenu_->addAction(actRestoreFolder_);
  treeMenu_->addAction(actPurgeFolder_);
  treeMenu_->addAction(actEmptyBin_);
  // Each menu enables what applies to the node or row it was opened on.
  connect(treeMenu_, &QMenu::aboutToShow, this, &TMainForm::UpdateCommands);
  listMenu_ = new QMenu(this);
  listMenu_->setObjectName(QStringLiteral("mnuList"));
  listMenu_->addAction(actOpenRecord_);
  listMenu_->addAction(actDeleteRecord_);
  listMenu_->addAction(actMoveRecords_);
  listMenu_->addAction(actRestoreRecord_);
  listMenu_->addAction(actPurgeRecord_);
  connect(listMenu_, &QMenu::aboutToShow, this, &TMainForm::UpdateCommands);
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
    panels_[i] = new TStatusPanel(bar);
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
  // The bar above the list that says why the casebook is only read.
  lblReadOnly_ = new QLabel(this);
  lblReadOnly_->setObjectName(QStringLiteral("lblReadOnly"));
  lblReadOnly_->setWordWrap(true);
  lblReadOnly_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblReadOnly_->setStyleSheet(QStringLiteral(
      "QLabel { background: #fff3c4; color: #5c4400; border-bottom: 1px solid #d9b84a; padding: 6px 10px; }"));
  lblReadOnly_->hide();
  auto* client = new QWidget(this);
  auto* column = new QVBoxLayout(client);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(lblReadOnly_);
  column->addWidget(splitMain_, 1);
  setCentralWidget(client);
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
  // Dragged onto a folder: a folder of the tree, or records of the list.
  connect(tree_, &TFolderTree::folderDropped, this, &TMainForm::MoveFolderInto);
  connect(tree_, &TFolderTree::recordsDropped, this, &TMainForm::MoveRecordsInto);
  tree_->addAction(actDeleteFolder_);  // Delete in the tree
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
  // Enter opens the record, Delete deletes it (after the question).
  for (const int key : {Qt::Key_Return, Qt::Key_Enter}) {
    auto* open = new QShortcut(QKeySequence(key), lvRecords_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(open, &QShortcut::activated, this, [this] {
      if (actOpenRecord_->isEnabled()) OpenRecord();
    });
  }
  lvRecords_->addAction(actDeleteRecord_);
  // A click on a column's title sorts the list by it (in the database), a
  // second click reverses, a third goes back to newest first.
  QHeaderView* header = lvRecords_->horizontalHeader();
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(true);
  header->setSortIndicatorClearable(true);
  header->setSortIndicator(-1, Qt::AscendingOrder);
  connect(header, &QHeaderView::sortIndicatorChanged, this, [this](int section, Qt::SortOrder order) {
    if (syncing_) return;
    const ListOrder by = section < 0 ? ListOrder::Newest : RecordList::OrderOfColumn(section);
    const Qt::SortOrder direction = by == ListOrder::Newest ? Qt::DescendingOrder : order;
    try {
      store_.SetListOrder(by, direction);
    } catch (const StoreError& e) {
      skin::ShowError(this, e.message());
      ListSelectedNode();
    }
    ShowListOrder();
  });
  // A column's width set by the user (or restored) is its share from now on.
  connect(header, &QHeaderView::sectionResized, this, [this](int column, int, int size) {
    if (fittingColumns_) return;
    for (int i = 0; i < 4; ++i)
      if (kShownColumns[i] == column) columnShares_[i] = size;
  });
  // Records are dragged onto a folder of the tree.
  lvRecords_->setDragEnabled(true);
  lvRecords_->setDragDropMode(QAbstractItemView::DragOnly);
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
    binNode_ = nullptr;
    root = tree_->AddNode(nullptr, QStringLiteral("分类目录"), 0);
    if (store_.isOpen()) {
      try {
        FillTree(root, 0, 0);
      } catch (const StoreError& e) {
        skin::ShowError(this, e.message());
      }
      FillRecycleBin();
    }
    tree_->expandAll();
    tree_->setCurrentItem(root);
  }
  tree_->setUpdatesEnabled(true);
  OnTreeCurrentChanged(root);
}

void TMainForm::FillRecycleBin() {
  if (!binNode_) binNode_ = tree_->AddBinNode();
  for (QTreeWidgetItem* child : binNode_->takeChildren()) delete child;
  try {
    for (const CasebookStore::RecycledFolder& f : store_.RecycledFolders()) {
      QTreeWidgetItem* node = tree_->AddBinFolderNode(binNode_, f.name, f.id);
      node->setToolTip(0, QStringLiteral("%1 删除，%2 条记录")
                              .arg(f.deletedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm")))
                              .arg(f.records));
    }
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
  }
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
  if (!tree_) return -1;
  const TFolderTree::NodeKind kind = TFolderTree::Kind(tree_->currentItem());
  if (kind != TFolderTree::RootNode && kind != TFolderTree::FolderNode) return -1;
  return TFolderTree::FolderId(tree_->currentItem());
}

void TMainForm::ShowHits(bool hits) {
  const bool changed = hits != showingHits_;
  showingHits_ = hits;
  lvRecords_->setColumnHidden(RecordList::ColFolder, !hits);
  if (changed && isVisible()) FitColumns();
}

void TMainForm::RecordSaved(RowId id) {
  if (showingHits_) {
    store_.Relist();  // the same search, its words and status kept
  } else {
    ListSelectedNode();
  }
  store_.records()->locate(id);
}

void TMainForm::ListFolderRecords(RowId folderId) {
  ShowHits(false);
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

void TMainForm::ListSelectedNode() {
  QTreeWidgetItem* node = tree_->currentItem();
  if (!node) return;
  switch (TFolderTree::Kind(node)) {
    case TFolderTree::RootNode:
    case TFolderTree::FolderNode:
      ListFolder(TFolderTree::FolderId(node));
      break;
    case TFolderTree::BinNode:
    case TFolderTree::BinFolderNode:
      ShowHits(false);
      highlight_.clear();
      for (QLabel* panel : panels_) panel->clear();
      try {
        if (TFolderTree::Kind(node) == TFolderTree::BinNode)
          store_.ListRecycledRecords();
        else
          store_.ListRecycledFolderRecords(TFolderTree::FolderId(node));
      } catch (const StoreError& e) {
        ClearPreview();
        skin::ShowError(this, e.message());
      }
      break;
  }
  UpdateCommands();
}

void TMainForm::OnTreeCurrentChanged(QTreeWidgetItem* current) {
  if (!current) return;
  ClearPreview();
  ListSelectedNode();
}

void TMainForm::NewFolder() {
  QTreeWidgetItem* node = tree_->currentItem();
  if (!node || SelectedFolderId() < 0) return;
  QString name;
  GbkLimitValidator limit(kFolderNameBytes, nullptr);
  for (;;) {
    if (!skin::InputText(this, QStringLiteral("新建分类"), QStringLiteral("请输入分类名称："), &name,
                         &limit))
      return;
    if (!IsBlankName(name)) break;
    // A folder with no name cannot be made: ask again.
    skin::Message(this, QStringLiteral("提示"), QStringLiteral("分类名称不能为空，也不能只有空格。"),
                  skin::Buttons::Ok, skin::Icon::Information);
  }
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

void TMainForm::RenameFolder() {
  QTreeWidgetItem* node = tree_->currentItem();
  if (!tree_->CanRename(node)) return;
  tree_->setFocus();
  tree_->editItem(node, 0);
}

void TMainForm::OnRenameConfirmed(QTreeWidgetItem* item, const QString& text) {
  if (!tree_->CanRename(item)) return;
  if (IsBlankName(text)) {
    // The old name stays.
    skin::Message(this, QStringLiteral("提示"),
                  QStringLiteral("分类名称不能为空，也不能只有空格。\n仍然使用原来的名称“%1”。").arg(item->text(0)),
                  skin::Buttons::Ok, skin::Icon::Information);
    return;
  }
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
  if (!node || TFolderTree::Kind(node) != TFolderTree::FolderNode) return;  // nothing, the root, the bin
  if (node->childCount() > 0) {
    skin::Message(this, QStringLiteral("确认"), QStringLiteral("请先删除子类。"), skin::Buttons::Ok,
                  skin::Icon::Information);
    return;
  }
  // Say what goes, and where; Enter keeps it.
  QString question = QStringLiteral("确认要删除分类“%1”吗？").arg(node->text(0));
  try {
    const int records = store_.FolderRecordCount(TFolderTree::FolderId(node));
    question += records > 0 ? QStringLiteral("\n其中的 %1 条记录将一并放进回收站。").arg(records)
                            : QStringLiteral("\n这个分类中没有记录。");
    question += QStringLiteral("\n删除的分类可以从回收站还原。");
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
  FillRecycleBin();
  if (!store_.records()->isOpen()) {
    ClearPreview();
    ListSelectedNode();
  }
}

// ---- the recycle bin

namespace {

// "“标题”", or "（无标题）" for a record without one.
QString Quoted(const QString& title) {
  return title.isEmpty() ? QStringLiteral("（无标题）") : QStringLiteral("“%1”").arg(title);
}

}  // namespace

void TMainForm::RestoreRecord() {
  RecordList* list = store_.records();
  if (list->currentRow() < 0) return;
  const RowId id = list->currentId();
  const QString title = list->currentTitle();
  try {
    const RowId from = store_.RecycledRecordFolder(id);
    if (from < 0) return;
    RowId to = -1;
    if (from <= 0 || !store_.FolderIsLive(from)) {
      // Its folder is gone (or in the bin itself): the user says where.
      const std::optional<RowId> chosen = ChooseFolder(
          this, store_, QStringLiteral("还原记录"),
          QStringLiteral("记录%1原来所在的分类已经不在了。\n请选择一个分类来放这条记录：").arg(Quoted(title)), false);
      if (!chosen) return;
      to = *chosen;
    }
    store_.RestoreRecord(id, to);
    const RowId where = to < 0 ? from : to;
    QTreeWidgetItem* folder = tree_->FindFolder(where);
    statusBar()->showMessage(QStringLiteral("记录%1已还原到“%2”。")
                                 .arg(Quoted(title), folder ? folder->text(0) : QString()),
                             10000);
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
  }
  ClearPreview();
  ListSelectedNode();
}

void TMainForm::PurgeRecord() {
  RecordList* list = store_.records();
  if (list->currentRow() < 0) return;
  const RowId id = list->currentId();
  if (skin::Message(this, QStringLiteral("确认"),
                    QStringLiteral("确认要彻底删除记录%1吗？\n彻底删除后不能还原。")
                        .arg(Quoted(list->currentTitle())),
                    skin::Buttons::OkCancelDestructive, skin::Icon::Warning) != skin::Answer::Ok)
    return;
  try {
    store_.PurgeRecord(id);
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
  }
  ClearPreview();
  ListSelectedNode();
}

void TMainForm::RestoreFolder() {
  QTreeWidgetItem* node = tree_->currentItem();
  if (TFolderTree::Kind(node) != TFolderTree::BinFolderNode) return;
  const RowId id = TFolderTree::FolderId(node);
  const QString name = node->text(0);
  try {
    const RowId parent = store_.RecycledFolderParent(id);
    if (parent < 0) return;
    RowId to = -1;
    if (!store_.FolderIsLive(parent)) {
      const std::optional<RowId> chosen = ChooseFolder(
          this, store_, QStringLiteral("还原分类"),
          QStringLiteral("分类“%1”原来的上级分类已经不在了。\n请选择把它放在哪里：").arg(name), true);
      if (!chosen) return;
      to = *chosen;
    }
    store_.RestoreFolder(id, to);
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
    return;
  }
  RebuildTree();
  if (QTreeWidgetItem* restored = tree_->FindFolder(id)) {
    tree_->scrollToItem(restored);
    tree_->setCurrentItem(restored);
  }
  statusBar()->showMessage(QStringLiteral("分类“%1”已还原。").arg(name), 10000);
}

void TMainForm::PurgeFolder() {
  QTreeWidgetItem* node = tree_->currentItem();
  if (TFolderTree::Kind(node) != TFolderTree::BinFolderNode) return;
  QString question = QStringLiteral("确认要彻底删除分类“%1”吗？").arg(node->text(0));
  const int records = store_.records()->count();
  if (records > 0) question += QStringLiteral("\n其中的 %1 条记录也将彻底删除。").arg(records);
  question += QStringLiteral("\n彻底删除后不能还原。");
  if (skin::Message(this, QStringLiteral("确认"), question, skin::Buttons::OkCancelDestructive,
                    skin::Icon::Warning) != skin::Answer::Ok)
    return;
  try {
    store_.PurgeFolder(TFolderTree::FolderId(node));
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
    return;
  }
  tree_->setCurrentItem(binNode_);
  FillRecycleBin();
  ClearPreview();
  ListSelectedNode();
}

void TMainForm::EmptyRecycleBin() {
  int items = 0;
  try {
    items = store_.RecycleBinCount();
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
    return;
  }
  if (items == 0) {
    skin::Message(this, QStringLiteral("提示"), QStringLiteral("回收站是空的。"), skin::Buttons::Ok,
                  skin::Icon::Information);
    return;
  }
  if (skin::Message(this, QStringLiteral("确认"),
                    QStringLiteral("确认要清空回收站吗？\n其中的 %1 项（记录和分类）将彻底删除，不能还原。").arg(items),
                    skin::Buttons::OkCancelDestructive, skin::Icon::Warning) != skin::Answer::Ok)
    return;
  try {
    store_.EmptyRecycleBin();
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
  }
  const TFolderTree::NodeKind kind = TFolderTree::Kind(tree_->currentItem());
  if (kind == TFolderTree::BinFolderNode) tree_->setCurrentItem(binNode_);
  FillRecycleBin();
  ClearPreview();
  ListSelectedNode();
}

// ---------------------------------------------------------------------------
// Records

bool TMainForm::RunChart(TEditForm& editor, ChartKind kind) {
  // Each chart goes into the text, and the cast behind it is kept with the
  // record (written when the record is saved).
  return chartCommands_->Run(
             kind, &editor, [&editor](const QString& text) { editor.InsertChartText(text); },
             [&editor](const ChartCast& cast) { editor.AddCast(cast); }) ==
         ChartOutcome::Inserted;
}

QList<TEditForm*> TMainForm::Editors() const {
  QList<TEditForm*> open;
  for (const QPointer<TEditForm>& editor : editors_)
    if (editor) open << editor.data();
  return open;
}

TEditForm* TMainForm::EditorOf(RowId id) const {
  for (TEditForm* editor : Editors())
    if (editor->isEditMode() && editor->recordId() == id) return editor;
  return nullptr;
}

void TMainForm::ShowEditor(TEditForm* editor) {
  editors_.removeAll(nullptr);
  editors_ << editor;
  editor->setAttribute(Qt::WA_DeleteOnClose);
  editor->setWindowModality(Qt::NonModal);
  editor->SetWritable(store_.isWritable() || store_.isChecking());
  editor->setWindowState(editor->windowState() | Qt::WindowMaximized);
  editor->show();
  editor->raise();
  editor->activateWindow();
  emit editorOpened(editor);
}

std::optional<RowId> TMainForm::FolderForOrphan(TEditForm& editor) {
  const QString prompt =
      editor.isEditMode()
          ? QStringLiteral("这条记录已经被删除了（在回收站中）。\n要把编辑器中的内容保存到哪个分类？")
          : QStringLiteral("这条记录所在的分类已经被删除了。\n要把编辑器中的内容保存到哪个分类？");
  return ChooseFolder(&editor, store_, QStringLiteral("保存到分类"), prompt, /*allowRoot=*/false);
}

void TMainForm::NewRecord() {
  if (SelectedFolderId() <= 0) {
    skin::Message(this, QStringLiteral("提示"), QStringLiteral("请先选择一个分类。"),
                  skin::Buttons::Ok, skin::Icon::Information);
    return;
  }
  auto* editor = new TEditForm(*this);
  editor->OpenNew(QDate::currentDate());
  ShowEditor(editor);
}

void TMainForm::OpenRecord() {
  RecordList* list = store_.records();
  if (SelectedFolderId() <= 0 || list->count() == 0 || list->currentRow() < 0) return;
  // A record that is open already: its editor comes forward.
  if (TEditForm* open = EditorOf(list->currentId())) {
    if (open->isMinimized()) open->showNormal();
    open->raise();
    open->activateWindow();
    return;
  }
  // A casebook that is only read is not edited: nothing typed could be kept.
  if (!store_.isWritable() && !store_.isChecking()) return;
  RecordFields fields;
  try {
    list->currentText();
    // A damaged record is told of before it is edited: saving it would take
    // the damage for the record's content.
    CheckCurrentRecord(true);
    if (list->currentRow() < 0) return;
    fields = list->currentFields();
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
    return;
  }
  auto* editor = new TEditForm(*this);
  editor->OpenEdit(list->currentId(), fields);
  ShowEditor(editor);
}

void TMainForm::DeleteRecord() {
  const RowId folder = SelectedFolderId();
  if (folder < 0) return;
  RecordList* list = store_.records();
  const int rows = list->count();
  if (rows >= 1 &&
      skin::Message(this, QStringLiteral("确认"),
                    QStringLiteral("确认要删除记录%1吗？\n删除的记录会放进回收站，可以还原。")
                        .arg(Quoted(list->currentTitle())),
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
  UpdateCommands();
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
  // Told once the text is on screen, so that the user sees what is meant.
  QTimer::singleShot(0, this, [this] { CheckCurrentRecord(false); });
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
// Moving

void TMainForm::MoveRecordTo() {
  RecordList* list = store_.records();
  if (!actMoveRecords_->isEnabled() || list->currentRow() < 0) return;
  const RowId id = list->currentId();
  const std::optional<RowId> to =
      ChooseFolder(this, store_, QStringLiteral("移动记录"),
                   QStringLiteral("把记录%1移到哪个分类？").arg(Quoted(list->currentTitle())), false);
  if (to) MoveRecordsInto({id}, *to);
}

void TMainForm::MoveFolderTo() {
  QTreeWidgetItem* node = tree_->currentItem();
  if (!actMoveFolder_->isEnabled() || TFolderTree::Kind(node) != TFolderTree::FolderNode) return;
  const std::optional<RowId> to =
      ChooseFolder(this, store_, QStringLiteral("移动分类"),
                   QStringLiteral("把分类“%1”移到哪个分类之下？").arg(node->text(0)), true);
  if (to) MoveFolderInto(TFolderTree::FolderId(node), *to);
}

void TMainForm::MoveRecordsInto(const QList<RowId>& ids, RowId to) {
  if (ids.isEmpty() || (!store_.isWritable() && !store_.isChecking())) return;
  QTreeWidgetItem* target = tree_->FindFolder(to);
  if (to <= 0 || !target) {
    skin::Message(this, QStringLiteral("提示"), QStringLiteral("记录只能放在一个分类中，不能放在分类目录或回收站中。"),
                  skin::Buttons::Ok, skin::Icon::Information);
    return;
  }
  RecordList* list = store_.records();
  // Records already there stay as they are.
  QList<RowId> moving;
  for (const RowId id : ids) {
    const int row = list->rowOfId(id);
    if (row < 0 || list->folder(row) != to) moving << id;
  }
  if (moving.isEmpty()) return;
  const int row = list->currentRow();
  const QString title = moving.size() == 1 && list->rowOfId(moving.first()) >= 0
                            ? Quoted(list->title(list->rowOfId(moving.first())))
                            : QStringLiteral("%1 条").arg(moving.size());
  int moved = 0;
  try {
    moved = store_.MoveRecords(moving, to);
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
  }
  ClearPreview();
  if (showingHits_) {
    // The hits stay, the moved records' folder shown anew.
    try {
      store_.Relist();
    } catch (const StoreError& e) {
      skin::ShowError(this, e.message());
    }
    if (!list->locate(moving.first()) && row > 0) list->setCurrentRow(std::min(row, list->count() - 1));
  } else {
    ListSelectedNode();
    // The row that took the moved record's place becomes current.
    if (row > 0) list->setCurrentRow(std::min(row, list->count() - 1));
  }
  if (moved > 0)
    statusBar()->showMessage(QStringLiteral("已把记录%1移到“%2”。").arg(title, target->text(0)), 10000);
}

void TMainForm::MoveFolderInto(RowId id, RowId to) {
  if (!store_.isWritable() && !store_.isChecking()) return;
  QTreeWidgetItem* node = tree_->FindFolder(id);
  QTreeWidgetItem* target = tree_->FindFolder(to);
  if (!node || id <= 0) return;
  if (!target) {
    skin::Message(this, QStringLiteral("提示"), QStringLiteral("分类不能放进回收站，请用“删除分类”。"),
                  skin::Buttons::Ok, skin::Icon::Information);
    return;
  }
  if (node->parent() == target) return;  // already there
  for (const QTreeWidgetItem* at = target; at; at = at->parent()) {
    if (at == node) {
      skin::Message(this, QStringLiteral("提示"),
                    QStringLiteral("不能把分类“%1”移到它自己或它的子分类之下。").arg(node->text(0)),
                    skin::Buttons::Ok, skin::Icon::Information);
      return;
    }
  }
  try {
    if (!store_.MoveFolder(id, to)) return;
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
    return;
  }
  // The node goes under its new parent, among the children in the order of
  // their IDs, with its own sub-folders; it stays (or becomes) the selected
  // folder.
  {
    const QSignalBlocker block(tree_);
    node->parent()->removeChild(node);
    int at = 0;
    while (at < target->childCount() && TFolderTree::FolderId(target->child(at)) < id) ++at;
    target->insertChild(at, node);
    // The tree is kept fully expanded; taken out, the node lost that.
    std::function<void(QTreeWidgetItem*)> expand = [&expand](QTreeWidgetItem* item) {
      item->setExpanded(true);
      for (int i = 0; i < item->childCount(); ++i) expand(item->child(i));
    };
    expand(node);
    target->setExpanded(true);
    tree_->setCurrentItem(node);
  }
  tree_->scrollToItem(node);
  ClearPreview();
  ListSelectedNode();
  statusBar()->showMessage(QStringLiteral("已把分类“%1”移到“%2”之下。").arg(node->text(0), target->text(0)), 10000);
}

void TMainForm::About() {
  QString where = QDir::toNativeSeparators(store_.isOpen() ? store_.databasePath() : dataDir_);
  if (!store_.isOpen()) where += QStringLiteral("（没有打开）");
  skin::Message(this, QStringLiteral("关于"),
                QStringLiteral("%1 %2\n占例记录簿\n\n数据库：\n%3")
                    .arg(QString::fromLatin1(skin::kProductName), VersionText(), where),
                skin::Buttons::Ok, skin::Icon::Information);
}

// ---------------------------------------------------------------------------
// Window

void TMainForm::FitColumns() {
  // The shares are the widths before the change, except that a date column
  // widened to a date's width keeps the share it had.
  const int* widths = columnShares_;
  int sum = 0;
  for (int i = 0; i < 4; ++i) sum += widths[i];
  if (sum <= 0) return;
  // The hits' folder column keeps its width; the others share the rest.
  const int folder = lvRecords_->isColumnHidden(RecordList::ColFolder)
                         ? 0
                         : lvRecords_->columnWidth(RecordList::ColFolder);
  const double room = lvRecords_->width() - 50 - folder;
  int fitted[4];
  for (int i = 0; i < 4; ++i) {
    // Nearest pixel, ties to the even pixel (the default rounding mode).
    const double w = std::nearbyint(widths[i] * room / sum);
    fitted[i] = std::max(0, static_cast<int>(w));
  }
  // A date is never cut ("202…"): 时间 keeps the width of a date, and 标题,
  // the column that can best spare it, gives up what it lacks.
  ShowColumnShares(fitted);
}

void TMainForm::ShowColumnShares(const int (&shares)[4]) {
  int fitted[4];
  for (int i = 0; i < 4; ++i) fitted[i] = columnShares_[i] = shares[i];
  const int date = DateColumnWidth();
  if (fitted[2] < date) {
    fitted[0] = std::max(0, fitted[0] - (date - fitted[2]));
    fitted[2] = date;
  }
  fittingColumns_ = true;
  for (int i = 0; i < 4; ++i) lvRecords_->setColumnWidth(kShownColumns[i], fitted[i]);
  fittingColumns_ = false;
}

int TMainForm::DateColumnWidth() const {
  // The text a cell shows, within the margins the item view leaves on each
  // side of it and the grid line.
  const int margin = lvRecords_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, lvRecords_) + 1;
  return lvRecords_->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) + 2 * margin + 4;
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
  WriteWindowState();
  settings.sync();
}

void TMainForm::ReadListOrder() {
  QSettings settings;
  if (!settings.contains(kListOrderKey)) return;
  const int order = settings.value(kListOrderKey).toInt();
  const int direction = settings.value(kListDirectionKey).toInt();
  if (order < static_cast<int>(ListOrder::Newest) || order > static_cast<int>(ListOrder::Folder)) return;
  store_.SetListOrder(static_cast<ListOrder>(order),
                      direction == Qt::AscendingOrder ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void TMainForm::ShowListOrder() {
  const ListOrder order = store_.listOrder();
  const int column = order == ListOrder::Newest ? -1 : RecordList::ColumnOfOrder(order);
  syncing_ = true;
  lvRecords_->horizontalHeader()->setSortIndicator(column, store_.listDirection());
  syncing_ = false;
}

void TMainForm::ReadWindowState() {
  ShowListOrder();
  QSettings settings;
  // A window of the last session comes back where and as large as it was
  // (maximised, if it was); without one it starts maximised.
  if (settings.contains(kGeometryKey)) restoreGeometry(settings.value(kGeometryKey).toByteArray());
  if (settings.contains(kMainSplitterKey)) splitMain_->restoreState(settings.value(kMainSplitterKey).toByteArray());
  if (settings.contains(kRightSplitterKey)) splitRight_->restoreState(settings.value(kRightSplitterKey).toByteArray());
  const QList<QVariant> widths = settings.value(kColumnsKey).toList();
  if (widths.size() == 4) {
    int shares[4];
    for (int i = 0; i < 4; ++i) {
      const int w = widths[i].toInt();
      shares[i] = w > 0 && w < 10000 ? w : columnShares_[i];
    }
    ShowColumnShares(shares);
  }
}

void TMainForm::SelectLastFolder() {
  QSettings settings;
  if (!settings.contains(kLastFolderKey) || !store_.isOpen()) return;
  const RowId id = settings.value(kLastFolderKey).toLongLong();
  if (id <= 0) return;
  if (QTreeWidgetItem* node = tree_->FindFolder(id)) {
    tree_->setCurrentItem(node);
    tree_->scrollToItem(node);
  }
}

void TMainForm::WriteWindowState() {
  QSettings settings;
  settings.setValue(kGeometryKey, saveGeometry());
  settings.setValue(kMainSplitterKey, splitMain_->saveState());
  settings.setValue(kRightSplitterKey, splitRight_->saveState());
  QList<QVariant> widths;
  for (const int share : columnShares_) widths << share;
  settings.setValue(kColumnsKey, widths);
  settings.setValue(kListOrderKey, static_cast<int>(store_.listOrder()));
  settings.setValue(kListDirectionKey, static_cast<int>(store_.listDirection()));
  const QTreeWidgetItem* node = tree_->currentItem();
  const TFolderTree::NodeKind kind = TFolderTree::Kind(node);
  settings.setValue(kLastFolderKey,
                    QVariant::fromValue<qint64>(node && kind == TFolderTree::FolderNode ? TFolderTree::FolderId(node) : 0));
}

void TMainForm::closeEvent(QCloseEvent* event) {
  // Every editor with unsaved changes is asked about first; 取消 (or a save
  // that failed) keeps everything open.
  for (TEditForm* editor : Editors()) {
    if (!editor->isDirty()) continue;
    if (editor->isMinimized()) editor->showNormal();
    editor->raise();
    editor->activateWindow();
    if (!editor->ConfirmClose(skin::Buttons::SaveDiscardCancel)) {
      event->ignore();
      return;
    }
  }
  for (TEditForm* editor : Editors()) editor->CloseDiscarding();
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

void TMainForm::Search(SearchMode mode) {
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
  ShowHits(true);
  panels_[0]->setText(QStringLiteral("完成"));
  panels_[1]->setText(QStringLiteral("找到 %1 条记录").arg(store_.records()->count()));
  panels_[3]->setText(QStringLiteral("查找耗时：") + ElapsedText(timer.elapsed()));
}

// The current record's text as stored, or nothing when there is none.
static QString CurrentText(RecordList& list) {
  if (!list.isOpen() || list.currentRow() < 0) return QString();
  return list.currentText();
}

void TMainForm::CheckCurrentRecord(bool always) {
  RecordList* list = store_.records();
  if (list->currentRow() < 0 || list->currentIntegrity() != RecordIntegrity::Damaged) return;
  const RowId id = list->currentId();
  if (!always && warnedDamaged_.contains(id)) return;
  warnedDamaged_.insert(id);
  const QString title = list->currentTitle();
  QString text = QStringLiteral("这条记录的内容可能已损坏：%1\n（它和保存时记下的校验值不符。）").arg(Quoted(title));
  const std::optional<RecordVersion> version = NewestBackedUpVersion(store_.dataDir(), id);
  if (!version) {
    text += QStringLiteral("\n\n备份中没有这条记录的完好版本。");
    skin::Message(this, QStringLiteral("提示"), text, skin::Buttons::Ok, skin::Icon::Warning);
    return;
  }
  const QString when = version->backupTime.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
  if (!store_.isWritable()) {
    text += QStringLiteral("\n\n%1 的备份中有这条记录的完好版本，但数据库现在只能查看，不能替换。").arg(when);
    skin::Message(this, QStringLiteral("提示"), text, skin::Buttons::Ok, skin::Icon::Warning);
    return;
  }
  text += QStringLiteral(
              "\n\n%1 的备份中有这条记录的完好版本。要用备份中的版本替换它吗？\n"
              "现在的内容会另存为一条新记录%2，不会丢失。")
              .arg(when, Quoted(title + QStringLiteral("（可能已损坏）")));
  if (skin::Message(this, QStringLiteral("确认"), text, skin::Buttons::OkCancel, skin::Icon::Warning) !=
      skin::Answer::Ok)
    return;
  const RowId folder = list->currentFolder();
  const QString damagedText = list->currentText();
  const QString qzr = list->currentQuerent();
  const bool fk = list->currentFeedback().value_or(false);
  const QDate sj = list->currentDate();
  try {
    store_.InsertRecord(folder, {title + QStringLiteral("（可能已损坏）"), qzr, sj, fk, damagedText});
    store_.UpdateRecord(id, {version->bt, version->qzr, version->sj, version->fk, version->lr});
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
  }
  ListSelectedNode();
  store_.records()->locate(id);
  statusBar()->showMessage(QStringLiteral("已用 %1 的备份替换这条记录。").arg(when), 10000);
}

// Saving and printing need a record: without one they say so instead of
// writing an empty file or printing a blank page.
bool TMainForm::RequireCurrentRecord() {
  RecordList* list = store_.records();
  if (list->isOpen() && list->currentRow() >= 0) return true;
  skin::Message(this, QStringLiteral("提示"), QStringLiteral("请先选择一条记录。"));
  return false;
}

void TMainForm::SaveAsText() {
  if (!RequireCurrentRecord()) return;
  try {
    const QString text = CurrentText(*store_.records());
    CheckCurrentRecord(false);
    ::SaveAsText(this, text);
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
  }
}

void TMainForm::Print() {
  if (!RequireCurrentRecord()) return;
  PrintedRecord record;
  try {
    RecordList& list = *store_.records();
    record.text = CurrentText(list);
    record.title = list.currentTitle();
    record.querent = list.currentQuerent();
    record.date = list.currentDate();
    record.feedback = list.currentFeedback().value_or(false);
    CheckCurrentRecord(false);
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
    return;
  }
  PrintText(this, record, store_.dataDir());
}

// ---------------------------------------------------------------------------
// Backups

void TMainForm::BackupDatabase() { BackupCasebookTo(this, store_); }

void TMainForm::RecoverCasebook() {
  if (!OfferRecovery(this, store_, dataDir_)) return;
  openFailure_.clear();
  ClearPreview();
  RebuildTree();
  ShowAccess();
}

// ---------------------------------------------------------------------------
// Export and import

void TMainForm::ExportCasebook() {
  const QTreeWidgetItem* node = tree_->currentItem();
  const RowId folder = TFolderTree::Kind(node) == TFolderTree::FolderNode ? TFolderTree::FolderId(node) : 0;
  ExportCasebookTo(this, store_, folder);
}

void TMainForm::ImportCasebook() {
  const std::optional<RowId> into = ImportCasebookFrom(this, store_);
  if (!into) {
    // A failed import closed the record list and changed nothing else.
    if (!store_.records()->isOpen()) ListSelectedNode();
    return;
  }
  // The tree anew, with the new folders, and the folder imported into shown.
  RebuildTree();
  if (QTreeWidgetItem* node = tree_->FindFolder(*into)) {
    tree_->setCurrentItem(node);
    tree_->scrollToItem(node);
  }
}

void TMainForm::OnCasebookChecked() {
  statusBar()->clearMessage();
  ShowAccess();
  if (store_.isDamaged()) {
    const QString dir = store_.dataDir();
    if (OfferRecovery(this, store_, dir)) {
      ClearPreview();
      RebuildTree();
      ShowAccess();
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
  // A casebook in a place that cannot be written has no backup directory
  // to write into either.
  const ReadOnlyReason reason = store_.readOnlyReason();
  if (reason != ReadOnlyReason::None && reason != ReadOnlyReason::Locked) return;
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
