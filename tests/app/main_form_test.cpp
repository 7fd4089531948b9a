// The main window on a real casebook: start-up, the folder tree, records
// through the real editor, deleting, moving, highlighting, the column rule
// and the view settings.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QPointer>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest>
#include <functional>

#include "casebook_store.h"
#include "edit_form.h"
#include "folder_tree.h"
#include "main_form.h"
#include "main_form_parts.h"
#include "skin.h"
#include "test_support.h"
#include "window_test.h"

using namespace main_form_parts;

namespace {

QStringList Captions(const QList<QAction*>& actions, bool iconText = false) {
  QStringList out;
  for (QAction* a : actions)
    out << (a->isSeparator() ? QStringLiteral("|") : iconText ? a->iconText() : a->text());
  return out;
}


}  // namespace

class MainFormTest : public WindowTest {
  Q_OBJECT

  // What a double click is on the screen: a click, then the double click.
  static void DoubleClick(QWidget* w, QPoint pos) {
    QTest::mouseClick(w, Qt::LeftButton, {}, pos);
    QTest::mouseDClick(w, Qt::LeftButton, {}, pos);
  }

  // Triggers a command that may open a record editor and, when one opened,
  // runs `drive` on it (the editor is not modal: the main window works
  // beside it). Returns whether an editor was opened. If the driver leaves
  // the editor open, it is closed unsaved so the test can go on.
  bool WithEditor(TMainForm& form, const std::function<void()>& trigger,
                  const std::function<void(TEditForm*)>& drive) {
    QPointer<TEditForm> opened;
    const auto conn = connect(&form, &TMainForm::editorOpened, &form, [&](TEditForm* ed) { opened = ed; });
    trigger();
    disconnect(conn);
    if (!opened) return false;
    drive(opened);
    if (opened && opened->isVisible()) opened->CloseDiscarding();
    Settle();
    return true;
  }

  // A folder under the root with records (oldest first in `titles`); the
  // records' texts are "<title>的正文".
  RowId MakeFolder(TMainForm& form, const QString& name, const QStringList& titles) {
    CasebookStore& s = form.Store();
    const RowId id = s.AddFolder(0, name);
    for (const QString& t : titles)
      s.InsertRecord(id, {t, QStringLiteral("某人"), QDate(2025, 6, 1), false, t + QStringLiteral("的正文")});
    return id;
  }

  // Makes the folder current. Checks as it goes: the caller ends the test
  // when it failed.
  void Select(TMainForm& form, const QString& caption) {
    QTreeWidgetItem* node = Node(form, caption);
    QVERIFY(node);
    Tree(form)->setCurrentItem(node);
  }

 private slots:
  void startUp() {
    auto form = MakeForm();
    QVERIFY(form);
    QCOMPARE(form->windowTitle(), QStringLiteral("Hexalore " ORV_EXPECTED_VERSION));
    QCOMPARE(TreeShape(*form), (QStringList{"分类目录(0)", "回收站(0)"}));
    QCOMPARE(Tree(*form)->currentItem(), Tree(*form)->topLevelItem(0));
    QCOMPARE(form->SelectedFolderId(), RowId(0));
    QVERIFY(form->Records()->isOpen());
    QCOMPARE(form->Records()->count(), 0);
    QVERIFY(Preview(*form)->toPlainText().isEmpty());
    QVERIFY(Preview(*form)->isReadOnly());
    QVERIFY(form->HighlightWords().isEmpty());
    QVERIFY(boxes_->shown.isEmpty());
    // The whole casebook lives in the data directory given.
    QVERIFY(QFile::exists(QDir(dataDir_).filePath(CasebookStore::DatabaseFileName())));
  }

  void windowLayout() {
    auto form = MakeForm();
    QVERIFY(form);
    // Status bar: four panels of 100, 120, 150 and 50 pixels.
    for (int i = 0; i < 4; ++i) QVERIFY(StatusPanel(*form, i));
    QCOMPARE(StatusPanel(*form, 0)->width(), 100);
    QCOMPARE(StatusPanel(*form, 1)->width(), 120);
    QCOMPARE(StatusPanel(*form, 2)->width(), 150);
    QVERIFY(StatusPanel(*form, 3)->width() >= 50);  // the last panel takes the rest
    QCOMPARE(MainSplitter(*form)->handleWidth(), 5);
    QCOMPARE(RightSplitter(*form)->handleWidth(), 5);
    QCOMPARE(Tree(*form)->width(), 185);
    QCOMPARE(RecordView(*form)->height(), 170);
    QCOMPARE(MainSplitter(*form)->orientation(), Qt::Horizontal);
    QCOMPARE(RightSplitter(*form)->orientation(), Qt::Vertical);

    // The preview uses the chart font.
    const QFontInfo info(Preview(*form)->font());
    QCOMPARE(info.family(), QStringLiteral("Noto Sans Mono CJK SC"));
    QCOMPARE(info.pixelSize(), 14);

    // Record list: ID, FL and LR hidden; the others titled.
    QTableView* view = RecordView(*form);
    const QList<bool> hidden = {true, false, false, false, true, false, true};
    for (int c = 0; c < 7; ++c) QCOMPARE(view->isColumnHidden(c), hidden[c]);
    QStringList titles;
    for (int c : {1, 2, 3, 5}) titles << view->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(titles, (QStringList{"标题", "求占人", "时间", "反馈"}));
    // Widths start from 50, 20, 10 and 5 characters and, once the window is
    // shown, together take the list's width less 50 pixels.
    const int bt = view->columnWidth(1), qzr = view->columnWidth(2), sj = view->columnWidth(3),
              fk = view->columnWidth(5);
    QVERIFY2(bt > 2 * qzr && qzr > 3 * sj / 2 && sj > fk,
             qPrintable(QStringLiteral("%1 %2 %3 %4").arg(bt).arg(qzr).arg(sj).arg(fk)));
    QVERIFY(qAbs(bt + qzr + sj + fk - (view->width() - 50)) <= 2);
    QCOMPARE(view->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(view->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(view->showGrid());
  }

  // What the record list's cells show: titles and querents as stored, the
  // date as yyyy-mm-dd (empty when the record has none), the feedback as √
  // or ×, nothing of the text.
  void recordListCells() {
    {
      CasebookStore s;
      s.OpenStore(dataDir_);
      const RowId folder = s.AddFolder(0, QStringLiteral("甲"));
      s.InsertRecord(folder, {QStringLiteral("一"), QStringLiteral("甲某"), QDate(1920, 1, 1), true, QStringLiteral("text 1")});
      s.InsertRecord(folder, {QStringLiteral("二"), QString(), QDate(2050, 12, 31), false, QStringLiteral("text 2")});
      s.InsertRecord(folder, {QStringLiteral("三"), QStringLiteral("丙"), QDate(), false, QString()});
    }
    auto form = MakeForm();
    QVERIFY(form);
    Select(*form, QStringLiteral("甲"));
    if (QTest::currentTestFailed()) return;
    const QTableView* view = RecordView(*form);
    const QAbstractItemModel* model = view->model();
    QCOMPARE(model->rowCount(), 3);
    // The text the view draws in a cell.
    auto shown = [&](int row, int column) {
      const QModelIndex index = model->index(row, column);
      const auto* delegate = qobject_cast<QStyledItemDelegate*>(view->itemDelegateForIndex(index));
      return delegate ? delegate->displayText(model->data(index), view->locale())
                      : QStringLiteral("(no delegate)");
    };
    // Newest first.
    const QStringList rows[] = {{"三", "丙", "", "×", ""},
                                {"二", "", "2050-12-31", "×", ""},
                                {"一", "甲某", "1920-01-01", "√", ""}};
    for (int row = 0; row < 3; ++row) {
      const QStringList cells = {shown(row, RecordList::ColBT), shown(row, RecordList::ColQZR),
                                 shown(row, RecordList::ColSJ), shown(row, RecordList::ColFK),
                                 shown(row, RecordList::ColLR)};
      QCOMPARE(cells, rows[row]);
    }
  }

  void commandsAndMenus() {
    auto form = MakeForm();
    QVERIFY(form);
    QStringList menus;
    for (QAction* a : form->menuBar()->actions()) menus << a->text();
    QCOMPARE(menus, (QStringList{"文件(&F)", "记录(&R)", "分类(&C)", "查看(&V)", "搜索(&S)", "帮助(&H)"}));
    // 新建分类 also in 文件, where a first-time user looks for it.
    QCOMPARE(Captions(form->findChild<QMenu*>(QStringLiteral("mnuFile"))->actions()),
             (QStringList{"新建分类(&N)", "|", "保存为文本(&S)", "打印(&P)...", "备份数据库…", "恢复备份…",
                          "导出(&E)…", "导入(&I)…", "|", "退出(&X)"}));
    QCOMPARE(form->findChild<QMenu*>(QStringLiteral("mnuFile"))->actions().first(),
             Action(form.get(), "actNewFolder"));
    QCOMPARE(Captions(form->findChild<QMenu*>(QStringLiteral("mnuView"))->actions()),
             (QStringList{"工具栏(&T)", "状态栏(&S)"}));
    QCOMPARE(Captions(form->findChild<QMenu*>(QStringLiteral("mnuSearch"))->actions()),
             (QStringList{"按标题(&T)", "按内容(&M)", "全部(&A)"}));
    QCOMPARE(Captions(form->findChild<QMenu*>(QStringLiteral("mnuTree"))->actions()),
             (QStringList{"新建文章(&A)", "|", "新建分类(&N)", "重命名(&M)", "删除分类(&D)", "移动到…", "|",
                          "还原分类(&R)", "彻底删除分类(&D)", "清空回收站(&E)"}));
    QCOMPARE(Captions(form->findChild<QMenu*>(QStringLiteral("mnuList"))->actions()),
             (QStringList{"编辑(&E)", "删除(&D)", "移动到…", "还原(&R)", "彻底删除(&D)"}));
    QCOMPARE(Action(form.get(), "actRenameFolder")->shortcut(), QKeySequence(Qt::Key_F2));
    QCOMPARE(Captions(ToolBar(*form)->actions(), true),
             (QStringList{"新建", "编辑", "打印", "|", "上一条", "下一条", "搜索"}));
    QCOMPARE(Action(form.get(), "actNewRecord")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    QCOMPARE(Action(form.get(), "actPrint")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    QVERIFY(Action(form.get(), "actViewToolbar")->isChecked());
    QVERIFY(Action(form.get(), "actViewStatusBar")->isChecked());
    // Search, export and print are tested in search_test and
    // export_print_test.
    QVERIFY(boxes_->shown.isEmpty());
    QCOMPARE(form->Records()->count(), 0);
  }

  void folderLifeCycle() {
    auto form = MakeForm();
    QVERIFY(form);
    TFolderTree* tree = Tree(*form);
    QAction* newFolder = Action(form.get(), "actNewFolder");
    QAction* deleteFolder = Action(form.get(), "actDeleteFolder");

    // Under the root, selected: the new folder is a child of the root.
    boxes_->names << QStringLiteral("甲");
    newFolder->trigger();
    QCOMPARE(boxes_->inputs.size(), 1);
    QCOMPARE(boxes_->inputs[0].caption, QStringLiteral("新建分类"));
    QCOMPARE(boxes_->inputs[0].text, QStringLiteral("请输入分类名称："));
    QCOMPARE(tree->currentItem()->text(0), QStringLiteral("甲"));
    QVERIFY(form->SelectedFolderId() > 0);
    QCOMPARE(form->Records()->count(), 0);
    const RowId jia = form->SelectedFolderId();

    // Under 甲; then back to the root for a sibling of 甲.
    boxes_->names << QStringLiteral("丙");
    newFolder->trigger();
    Select(*form, QStringLiteral("分类目录"));
    if (QTest::currentTestFailed()) return;
    boxes_->names << QStringLiteral("乙");
    newFolder->trigger();
    boxes_->names << QString();  // Cancel: nothing happens
    newFolder->trigger();
    QCOMPARE(TreeShape(*form),
             (QStringList{"分类目录(0)", "甲(1)", "丙(2)", "乙(1)", "回收站(0)"}));
    QCOMPARE(tree->currentItem()->text(0), QStringLiteral("乙"));

    // Flat positions; renaming is closed to the root and the bin only: the
    // first folder under the root is renamed like any other.
    QCOMPARE(tree->FlatPosition(Node(*form, "分类目录")), 0);
    QCOMPARE(tree->FlatPosition(Node(*form, "甲")), 1);
    QCOMPARE(tree->FlatPosition(Node(*form, "丙")), 2);
    QCOMPARE(tree->FlatPosition(Node(*form, "乙")), 3);
    Node(*form, "丙")->setExpanded(false);  // collapsed nodes count too
    QCOMPARE(tree->FlatPosition(Node(*form, "乙")), 3);
    QVERIFY(!tree->CanRename(Node(*form, "分类目录")));
    QVERIFY(!tree->CanRename(Node(*form, "回收站")));
    QVERIFY(tree->CanRename(Node(*form, "甲")));
    QVERIFY(tree->CanRename(Node(*form, "丙")));
    QVERIFY(tree->CanRename(Node(*form, "乙")));
    tree->editItem(Node(*form, "分类目录"));
    QVERIFY(!tree->findChild<QLineEdit*>(QStringLiteral("edtFolderName")));
    tree->editItem(Node(*form, "回收站"));
    QVERIFY(!tree->findChild<QLineEdit*>(QStringLiteral("edtFolderName")));

    // Renaming 乙 in place: the field takes at most 30 GBK bytes, and the
    // node shows the name as stored.
    Select(*form, QStringLiteral("乙"));
    if (QTest::currentTestFailed()) return;
    tree->editItem(Node(*form, "乙"));
    auto* edit = tree->findChild<QLineEdit*>(QStringLiteral("edtFolderName"));
    QVERIFY(edit);
    edit->clear();
    testing_support::TypeText(edit, QString::fromUtf8("一二三四五六七八九十甲乙丙丁戊己庚"));
    QCOMPARE(edit->text(), QString::fromUtf8("一二三四五六七八九十甲乙丙丁戊"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_VERIFY(!tree->findChild<QLineEdit*>(QStringLiteral("edtFolderName")));
    const QString longName = QString::fromUtf8("一二三四五六七八九十甲乙丙丁戊");
    QVERIFY(Node(*form, longName));
    QStringList stored;
    for (const FolderRow& r : form->Store().FolderChildren(0)) stored << r.name;
    QCOMPARE(stored, (QStringList{"甲", longName}));

    // A cancelled edit changes nothing.
    tree->editItem(Node(*form, longName));
    edit = tree->findChild<QLineEdit*>(QStringLiteral("edtFolderName"));
    QVERIFY(edit);
    edit->setText(QStringLiteral("作废"));
    QTest::keyClick(edit, Qt::Key_Escape);
    QTRY_VERIFY(!tree->findChild<QLineEdit*>(QStringLiteral("edtFolderName")));
    QVERIFY(Node(*form, longName));
    QCOMPARE(form->Store().FolderChildren(0).at(1).name, longName);

    // The root cannot be deleted: nothing is asked, nothing changes.
    Select(*form, QStringLiteral("分类目录"));
    if (QTest::currentTestFailed()) return;
    deleteFolder->trigger();
    QVERIFY(boxes_->shown.isEmpty());
    QCOMPARE(TreeShape(*form).size(), 5);

    // A folder with sub-folders is refused with its reason.
    Select(*form, QStringLiteral("甲"));
    if (QTest::currentTestFailed()) return;
    deleteFolder->trigger();
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].caption, QStringLiteral("确认"));
    QCOMPARE(boxes_->shown[0].text, QStringLiteral("请先删除子类。"));
    QCOMPARE(boxes_->shown[0].buttons, skin::Buttons::Ok);
    QCOMPARE(form->Store().FolderChildren(0).size(), 2);

    // 丙 holds two records; 甲 holds one. Cancel keeps 丙; OK moves it to the
    // recycle bin with its records and without a further question.
    const RowId bing = TFolderTree::FolderId(Node(*form, "丙"));
    CasebookStore& s = form->Store();
    s.InsertRecord(bing, {QStringLiteral("r1"), {}, QDate(2025, 1, 1), false, {}});
    s.InsertRecord(bing, {QStringLiteral("r2"), {}, QDate(2025, 1, 1), false, {}});
    s.InsertRecord(jia, {QStringLiteral("r3"), {}, QDate(2025, 1, 1), false, {}});
    Select(*form, QStringLiteral("丙"));
    if (QTest::currentTestFailed()) return;
    QCOMPARE(form->Records()->count(), 2);
    boxes_->shown.clear();
    boxes_->answers << skin::Answer::Cancel;
    deleteFolder->trigger();
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].caption, QStringLiteral("确认"));
    QCOMPARE(boxes_->shown[0].text,
             QStringLiteral("确认要删除分类“丙”吗？\n其中的 2 条记录将一并放进回收站。\n删除的分类可以从回收站还原。"));
    QCOMPARE(boxes_->shown[0].buttons, skin::Buttons::OkCancelDestructive);
    QVERIFY(Node(*form, "丙"));
    boxes_->answers << skin::Answer::Ok;
    deleteFolder->trigger();
    QCOMPARE(boxes_->shown.size(), 2);
    QVERIFY(Node(*form, "丙"));  // now in the recycle bin
    QCOMPARE(TFolderTree::Kind(Node(*form, "丙")), TFolderTree::BinFolderNode);
    QCOMPARE(s.FolderChildren(jia).size(), 0);
    // The tree selected another node and listed that folder's records.
    QVERIFY(Tree(*form)->currentItem());
    QVERIFY(form->Records()->isOpen());
    s.ListFolderRecords(bing);
    QCOMPARE(s.records()->count(), 0);
    s.ListFolderRecords(jia);
    QCOMPARE(s.records()->count(), 1);

    // Position 1 can be deleted once it is empty of sub-folders.
    Select(*form, QStringLiteral("甲"));
    if (QTest::currentTestFailed()) return;
    boxes_->answers << skin::Answer::Ok;
    deleteFolder->trigger();
    QCOMPARE(TFolderTree::Kind(Node(*form, "甲")), TFolderTree::BinFolderNode);

    // What is stored comes back after a restart.
    form.reset();
    auto again = MakeForm();
    QVERIFY(again);
    QCOMPARE(TreeShape(*again), (QStringList{"分类目录(0)", longName + "(1)", "回收站(0)", "甲(1)", "丙(1)"}));  // the bin: newest first
  }

  // A deep tree is rebuilt in ascending ID order, parents before children.
  void treeRebuildOrder() {
    {
      CasebookStore s;
      s.OpenStore(dataDir_);
      const RowId a = s.AddFolder(0, QStringLiteral("A"));
      const RowId b = s.AddFolder(0, QStringLiteral("B"));
      const RowId a1 = s.AddFolder(a, QStringLiteral("A1"));
      s.AddFolder(b, QStringLiteral("B1"));
      s.AddFolder(a, QStringLiteral("A2"));
      s.AddFolder(a1, QStringLiteral("A1x"));
    }
    auto form = MakeForm();
    QVERIFY(form);
    QCOMPARE(TreeShape(*form), (QStringList{"分类目录(0)", "A(1)", "A1(2)", "A1x(3)", "A2(2)",
                                            "B(1)", "B1(2)", "回收站(0)"}));
    for (QTreeWidgetItemIterator it(Tree(*form)); *it; ++it)
      if ((*it)->childCount()) QVERIFY((*it)->isExpanded());
    QCOMPARE(form->SelectedFolderId(), RowId(0));
  }

  // A press of any mouse button on a node selects it first.
  void mousePressSelects() {
    auto form = MakeForm();
    QVERIFY(form);
    MakeFolder(*form, QStringLiteral("甲"), {QStringLiteral("t")});
    form.reset();
    form = MakeForm();
    QVERIFY(form);
    QTreeWidgetItem* node = Node(*form, "甲");
    const QRect rect = Tree(*form)->visualItemRect(node);
    QTest::mousePress(Tree(*form)->viewport(), Qt::RightButton, {}, rect.center());
    QCOMPARE(Tree(*form)->currentItem(), node);
    QCOMPARE(form->Records()->count(), 1);
    QTest::mouseRelease(Tree(*form)->viewport(), Qt::RightButton, {}, rect.center());
  }

  void newRecordNeedsAFolder() {
    auto form = MakeForm();
    QVERIFY(form);
    const bool opened =
        WithEditor(*form, [&] { Action(form.get(), "actNewRecord")->trigger(); }, [](TEditForm*) {});
    QVERIFY(!opened);
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].caption, QStringLiteral("提示"));
    QCOMPARE(boxes_->shown[0].text, QStringLiteral("请先选择一个分类。"));
    QCOMPARE(boxes_->shown[0].buttons, skin::Buttons::Ok);
  }

  // New → save → save: one insert, then an update of the same record; the
  // list follows each save.
  void recordLifeCycle() {
    auto form = MakeForm();
    QVERIFY(form);
    const RowId folder = MakeFolder(*form, QStringLiteral("案例"), {});
    form.reset();
    form = MakeForm();
    QVERIFY(form);
    Select(*form, QStringLiteral("案例"));
    if (QTest::currentTestFailed()) return;

    RowId savedId = 0;
    const bool opened = WithEditor(
        *form, [&] { Action(form.get(), "actNewRecord")->trigger(); },
        [&](TEditForm* ed) {
          QCOMPARE(ed->windowTitle(), QStringLiteral("新建"));
          QVERIFY(!ed->isModal());
          const QDate today = QDate::currentDate();
          QCOMPARE(ed->cbYear()->currentText(), QString::number(today.year()));
          QCOMPARE(ed->cbMonth()->currentText(), QString::number(today.month()));
          QCOMPARE(ed->cbDay()->currentText(), QString::number(today.day()));
          QVERIFY(!ed->isDirty());
          testing_support::TypeText(ed->edtBT(), QStringLiteral("寻人"));
          testing_support::TypeText(ed->edtQZR(), QStringLiteral("王五"));
          ed->reText()->setPlainText(QStringLiteral("初稿"));
          Action(ed, "actSave")->trigger();
          QCOMPARE(form->Records()->count(), 1);
          savedId = ed->recordId();
          QCOMPARE(form->Records()->currentId(), savedId);
          QCOMPARE(Preview(*form)->toPlainText(), QStringLiteral("初稿"));
          ed->reText()->setPlainText(QStringLiteral("定稿\n第二行"));
          Action(ed, "actSave")->trigger();
          QCOMPARE(form->Records()->count(), 1);
          QCOMPARE(ed->recordId(), savedId);
          ed->close();  // saved: closes without a question
          QVERIFY(!ed->isVisible());
        });
    QVERIFY(opened);
    QVERIFY(boxes_->shown.isEmpty());
    RecordList* list = form->Records();
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->currentId(), savedId);
    QCOMPARE(list->currentTitle(), QStringLiteral("寻人"));
    const QAbstractItemModel* shown = RecordView(*form)->model();
    QCOMPARE(shown->data(shown->index(0, RecordList::ColFK)).toString(), QStringLiteral("×"));
    QCOMPARE(list->currentText(), QStringLiteral("定稿\r\n第二行"));
    QCOMPARE(Preview(*form)->toPlainText(), QStringLiteral("定稿\n第二行"));

    // Opened and closed untouched: no question, nothing changes.
    bool sawEditor = WithEditor(
        *form, [&] { Action(form.get(), "actOpenRecord")->trigger(); },
        [&](TEditForm* ed) {
          QCOMPARE(ed->windowTitle(), QStringLiteral("编辑"));
          QCOMPARE(ed->edtBT()->text(), QStringLiteral("寻人"));
          QCOMPARE(ed->edtQZR()->text(), QStringLiteral("王五"));
          QCOMPARE(ed->reText()->toPlainText(), QStringLiteral("定稿\n第二行"));
          QVERIFY(!ed->isDirty());
          ed->close();
          QVERIFY(!ed->isVisible());
        });
    QVERIFY(sawEditor);
    QVERIFY(boxes_->shown.isEmpty());

    // Changed, then closed: the question; 取消 keeps it open, 是 saves.
    sawEditor = WithEditor(
        *form, [&] { Action(form.get(), "actOpenRecord")->trigger(); },
        [&](TEditForm* ed) {
          QTest::mouseClick(ed->cbFK(), Qt::LeftButton);
          boxes_->answers << skin::Answer::Cancel << skin::Answer::Yes;
          ed->close();
          QVERIFY(ed->isVisible());
          ed->close();
          QVERIFY(!ed->isVisible());
        });
    QVERIFY(sawEditor);
    QCOMPARE(boxes_->shown.size(), 2);
    QCOMPARE(boxes_->shown[0].text, QStringLiteral("是否保存对当前记录的修改？"));
    QCOMPARE(form->Records()->count(), 1);
    QCOMPARE(form->Records()->currentFeedback().value_or(false), true);
    QCOMPARE(shown->data(shown->index(0, RecordList::ColFK)).toString(), QStringLiteral("√"));

    // A new editor closed untouched asks nothing and stores nothing.
    boxes_->shown.clear();
    sawEditor = WithEditor(
        *form, [&] { Action(form.get(), "actNewRecord")->trigger(); },
        [&](TEditForm* ed) { ed->close(); QVERIFY(!ed->isVisible()); });
    QVERIFY(sawEditor);
    QVERIFY(boxes_->shown.isEmpty());
    QCOMPARE(form->Records()->count(), 1);

    // Everything survives a restart.
    form.reset();
    form = MakeForm();
    QVERIFY(form);
    Select(*form, QStringLiteral("案例"));
    if (QTest::currentTestFailed()) return;
    QCOMPARE(form->SelectedFolderId(), folder);
    QCOMPARE(form->Records()->count(), 1);
    QCOMPARE(Preview(*form)->toPlainText(), QStringLiteral("定稿\n第二行"));
  }

  // Double-clicking a row opens it; an empty list opens nothing; the root
  // opens nothing either.
  void openRecordNeedsARow() {
    auto form = MakeForm();
    QVERIFY(form);
    MakeFolder(*form, QStringLiteral("空"), {});
    MakeFolder(*form, QStringLiteral("满"), {QStringLiteral("一")});
    form.reset();
    form = MakeForm();
    QVERIFY(form);
    QTableView* view = RecordView(*form);
    Select(*form, QStringLiteral("空"));
    if (QTest::currentTestFailed()) return;
    bool opened = WithEditor(
        *form, [&] { DoubleClick(view->viewport(), QPoint(20, 10)); },
        [](TEditForm*) {});
    QVERIFY(!opened);
    opened = WithEditor(*form, [&] { Action(form.get(), "actOpenRecord")->trigger(); },
                        [](TEditForm*) {});
    QVERIFY(!opened);
    Select(*form, QStringLiteral("满"));
    if (QTest::currentTestFailed()) return;
    const QRect row = view->visualRect(view->model()->index(0, RecordList::ColBT));
    opened = WithEditor(
        *form, [&] { DoubleClick(view->viewport(), row.center()); },
        [](TEditForm* ed) { QCOMPARE(ed->edtBT()->text(), QStringLiteral("一")); ed->close(); });
    QVERIFY(opened);
    QVERIFY(boxes_->shown.isEmpty());
  }

  void deleteTheOnlyRecord() {
    auto form = MakeForm();
    QVERIFY(form);
    const RowId folder = MakeFolder(*form, QStringLiteral("单"), {QStringLiteral("唯一")});
    form.reset();
    form = MakeForm();
    QVERIFY(form);
    Select(*form, QStringLiteral("单"));
    if (QTest::currentTestFailed()) return;
    QCOMPARE(Preview(*form)->toPlainText(), QStringLiteral("唯一的正文"));
    QAction* del = Action(form.get(), "actDeleteRecord");
    boxes_->answers << skin::Answer::Cancel;
    del->trigger();
    QCOMPARE(form->Records()->count(), 1);
    boxes_->answers << skin::Answer::Ok;
    del->trigger();
    QCOMPARE(boxes_->shown.size(), 2);
    QCOMPARE(boxes_->shown[1].caption, QStringLiteral("确认"));
    QCOMPARE(boxes_->shown[1].text,
             QStringLiteral("确认要删除记录“唯一”吗？\n删除的记录会放进回收站，可以还原。"));
    QCOMPARE(boxes_->shown[1].buttons, skin::Buttons::OkCancelDestructive);
    QVERIFY(form->Records()->isOpen());
    QCOMPARE(form->Records()->count(), 0);
    QVERIFY(Preview(*form)->toPlainText().isEmpty());
    QCOMPARE(form->SelectedFolderId(), folder);

    // With an empty list nothing is asked.
    del->trigger();
    QCOMPARE(boxes_->shown.size(), 2);
    QCOMPARE(form->Records()->count(), 0);
  }

  // With several rows the current one goes; the list is re-read and its
  // first row shown.
  void deleteOneOfSeveral() {
    auto form = MakeForm();
    QVERIFY(form);
    MakeFolder(*form, QStringLiteral("多"), {"一", "二", "三"});
    const RowId other = MakeFolder(*form, QStringLiteral("别"), {"外"});
    form.reset();
    form = MakeForm();
    QVERIFY(form);
    Select(*form, QStringLiteral("多"));
    if (QTest::currentTestFailed()) return;
    RecordList* list = form->Records();
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->currentTitle(), QStringLiteral("三"));  // newest first
    // The user clicks the middle row.
    QTableView* view = RecordView(*form);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(view->model()->index(1, RecordList::ColBT)).center());
    QCOMPARE(list->currentRow(), 1);
    QCOMPARE(Preview(*form)->toPlainText(), QStringLiteral("二的正文"));
    boxes_->answers << skin::Answer::Ok;
    Action(form.get(), "actDeleteRecord")->trigger();
    QCOMPARE(boxes_->shown.size(), 1);
    QStringList left;
    for (int r = 0; r < list->count(); ++r) left << list->title(r);
    QCOMPARE(left, (QStringList{"三", "一"}));
    QCOMPARE(list->currentRow(), 0);
    QCOMPARE(Preview(*form)->toPlainText(), QStringLiteral("三的正文"));
    QCOMPARE(view->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(view->selectionModel()->selectedRows().first().row(), 0);
    form->Store().ListFolderRecords(other);
    QCOMPARE(form->Records()->count(), 1);  // other folders keep theirs
  }

  // 上一条 on the first row and 下一条 on the last leave the row; the list
  // takes the focus.
  void priorAndNext() {
    auto form = MakeForm();
    QVERIFY(form);
    MakeFolder(*form, QStringLiteral("序"), {"一", "二", "三"});
    form.reset();
    form = MakeForm();
    QVERIFY(form);
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    Select(*form, QStringLiteral("序"));
    if (QTest::currentTestFailed()) return;
    RecordList* list = form->Records();
    QAction* prior = Action(form.get(), "actPriorRecord");
    QAction* next = Action(form.get(), "actNextRecord");
    QTableView* view = RecordView(*form);
    struct Step {
      QAction* act;
      int row;
      const char* text;
    };
    const Step steps[] = {
        {prior, 0, "三的正文"}, {next, 1, "二的正文"}, {next, 2, "一的正文"},
        {next, 2, "一的正文"},  {prior, 1, "二的正文"}, {prior, 0, "三的正文"},
        {prior, 0, "三的正文"},
    };
    for (const Step& s : steps) {
      s.act->trigger();
      QCOMPARE(list->currentRow(), s.row);
      QCOMPARE(view->currentIndex().row(), s.row);
      QCOMPARE(Preview(*form)->toPlainText(), QString::fromUtf8(s.text));
    }
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(view));
  }

  // Every occurrence of every word is red, whatever its letter case; the
  // rest is black; an empty word colours nothing.
  void highlightWords() {
    auto form = MakeForm();
    QVERIFY(form);
    const RowId f = form->Store().AddFolder(0, QStringLiteral("亮"));
    form->Store().InsertRecord(f, {QStringLiteral("t"), {}, QDate(2025, 1, 1), false, QString::fromUtf8("ABC 甲子 xabcx 乙丑\r\n丙abcAbC甲子丑\r\n无")});
    form.reset();
    form = MakeForm();
    QVERIFY(form);
    Select(*form, QStringLiteral("亮"));
    if (QTest::currentTestFailed()) return;
    QCOMPARE(testing_support::ColourMask(Preview(*form)), (QStringList{"...............", "..........", "."}));

    form->SetHighlightWords({QString(), QStringLiteral("abc"), QString::fromUtf8("甲子"),
                             QString::fromUtf8("子丑")});
    form->RefreshPreview();
    QCOMPARE(testing_support::ColourMask(Preview(*form)),
             (QStringList{"RRR.RR..RRR....", ".RRRRRRRRR", "."}));
    QCOMPARE(Preview(*form)->textCursor().position(), 0);

    // Clicking the row refreshes with the words; choosing a folder drops them.
    QTableView* view = RecordView(*form);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(view->model()->index(0, RecordList::ColBT)).center());
    QCOMPARE(testing_support::ColourMask(Preview(*form)).at(0), QStringLiteral("RRR.RR..RRR...."));
    Select(*form, QStringLiteral("分类目录"));
    if (QTest::currentTestFailed()) return;
    Select(*form, QStringLiteral("亮"));
    if (QTest::currentTestFailed()) return;
    QVERIFY(form->HighlightWords().isEmpty());
    QCOMPARE(testing_support::ColourMask(Preview(*form)).at(0), QStringLiteral("..............."));
  }

  // After a resize the shown columns keep their shares and take the list's
  // width less 50 pixels, each rounded to the nearest pixel, ties to even.
  void columnsFollowTheWindow() {
    auto form = MakeForm();
    QVERIFY(form);
    QTableView* view = RecordView(*form);
    view->horizontalHeader()->setMinimumSectionSize(1);
    // The list's width at the target size.
    form->resize(1100, 700);
    QTRY_COMPARE(form->width(), 1100);
    const int target = view->width();
    form->resize(1000, 700);
    QTRY_COMPARE(form->width(), 1000);
    QCOMPARE(view->width(), target - 100);

    // Widths whose shares are exact halves: sum 2·(W−50), so each new width
    // is half the old one. (时间 takes the large share: it never gets
    // narrower than a date, see below.)
    const int room = target - 50;
    const int widths[4] = {101, 103, 105, 2 * room - 309};
    const int cols[4] = {RecordList::ColBT, RecordList::ColQZR, RecordList::ColFK,
                         RecordList::ColSJ};
    for (int i = 0; i < 4; ++i) view->setColumnWidth(cols[i], widths[i]);
    // A splitter move does not run the rule.
    MainSplitter(*form)->setSizes({200, 700});
    for (int i = 0; i < 4; ++i) QCOMPARE(view->columnWidth(cols[i]), widths[i]);
    MainSplitter(*form)->setSizes({185, 810});
    QTRY_COMPARE(view->width(), target - 100);

    form->resize(1100, 700);
    QTRY_COMPARE(view->width(), target);
    // 50.5 → 50, 51.5 → 52, 52.5 → 52, room − 154.5 → the even neighbour.
    const int last = (room - 155) % 2 == 0 ? room - 155 : room - 154;
    QCOMPARE(view->columnWidth(cols[0]), 50);
    QCOMPARE(view->columnWidth(cols[1]), 52);
    QCOMPARE(view->columnWidth(cols[2]), 52);
    QCOMPARE(view->columnWidth(cols[3]), last);

    // Where its share is less than a date, 时间 keeps the width of a date
    // and 标题 gives up the difference. (The widths already take the room
    // of the smaller window, so the shares stay as they are.)
    const int date = view->columnWidth(RecordList::ColSJ);
    const int smaller = room - 100;
    view->setColumnWidth(RecordList::ColBT, smaller - 120);
    view->setColumnWidth(RecordList::ColQZR, 60);
    view->setColumnWidth(RecordList::ColSJ, 40);
    view->setColumnWidth(RecordList::ColFK, 20);
    form->resize(1000, 700);
    QTRY_COMPARE(view->width(), target - 100);
    const int sj = view->columnWidth(RecordList::ColSJ);
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    QVERIFY2(sj - 1 - 2 * margin >= view->fontMetrics().horizontalAdvance(QStringLiteral("2025-06-01")),
             qPrintable(QString::number(sj)));
    QVERIFY(sj > 40 && sj < date);
    QCOMPARE(view->columnWidth(RecordList::ColQZR), 60);
    QCOMPARE(view->columnWidth(RecordList::ColFK), 20);
    QCOMPARE(view->columnWidth(RecordList::ColBT), smaller - 120 - (sj - 40));
  }

  void viewSettings() {
    {
      auto form = MakeForm();
      QVERIFY(form);
      // No settings yet: both bars shown.
      QVERIFY(ToolBar(*form)->isVisible());
      QVERIFY(form->statusBar()->isVisible());
      Action(form.get(), "actViewToolbar")->trigger();
      QVERIFY(!Action(form.get(), "actViewToolbar")->isChecked());
      QVERIFY(!ToolBar(*form)->isVisible());
      Action(form.get(), "actExit")->trigger();
      QVERIFY(!form->isVisible());
    }
    {
      QSettings settings;
      QCOMPARE(settings.value(QStringLiteral("VT")).toInt(), 0);
      QCOMPARE(settings.value(QStringLiteral("VS")).toInt(), 1);
    }
    {
      auto form = MakeForm();
      QVERIFY(form);
      QVERIFY(!Action(form.get(), "actViewToolbar")->isChecked());
      QVERIFY(!ToolBar(*form)->isVisible());
      QVERIFY(Action(form.get(), "actViewStatusBar")->isChecked());
      QVERIFY(form->statusBar()->isVisible());
      Action(form.get(), "actViewToolbar")->trigger();
      Action(form.get(), "actViewStatusBar")->trigger();
      QVERIFY(ToolBar(*form)->isVisible());
      QVERIFY(!form->statusBar()->isVisible());
      form->close();
    }
    {
      QSettings settings;
      QCOMPARE(settings.value(QStringLiteral("VT")).toInt(), 1);
      QCOMPARE(settings.value(QStringLiteral("VS")).toInt(), 0);
      settings.remove(QStringLiteral("VT"));  // a missing value keeps its bar
    }
    auto form = MakeForm();
    QVERIFY(form);
    QVERIFY(ToolBar(*form)->isVisible());
    QVERIFY(!form->statusBar()->isVisible());
  }

  // The delete questions are real boxes here, answered as a hurried user
  // does: Enter. 取消 is their default button, so nothing goes; the folder's
  // question tells how many records would go with it.
  void deleteQuestionsDefaultToCancel() {
    auto form = MakeForm();
    QVERIFY(form);
    MakeFolder(*form, QStringLiteral("满"), {"一", "二", "三"});
    MakeFolder(*form, QStringLiteral("空"), {});
    form.reset();
    form = MakeForm();
    QVERIFY(form);
    boxes_.reset();  // no hooks: the boxes really show
    struct Seen {
      QString caption, text, defaultButton, escapeButton;
    };
    auto pressEnter = [](Seen* seen) {
      QTimer::singleShot(0, qApp, [seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        seen->caption = box->windowTitle();
        seen->text = box->text();
        seen->defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
        seen->escapeButton = box->escapeButton() ? box->escapeButton()->text() : QString();
        QTest::keyClick(box, Qt::Key_Return);
      });
    };
    const struct {
      const char* folder;
      const char* action;
      const char* text;
    } cases[] = {
        {"满", "actDeleteFolder",
         "确认要删除分类“满”吗？\n其中的 3 条记录将一并放进回收站。\n删除的分类可以从回收站还原。"},
        {"空", "actDeleteFolder", "确认要删除分类“空”吗？\n这个分类中没有记录。\n删除的分类可以从回收站还原。"},
        {"满", "actDeleteRecord", "确认要删除记录“三”吗？\n删除的记录会放进回收站，可以还原。"},
    };
    for (const auto& c : cases) {
      Select(*form, QString::fromUtf8(c.folder));
      if (QTest::currentTestFailed()) return;
      Seen seen;
      pressEnter(&seen);
      Action(form.get(), c.action)->trigger();
      QVERIFY2(Node(*form, QString::fromUtf8(c.folder)) && form->Records()->count() ==
                   form->Store().FolderRecordCount(form->SelectedFolderId()),
               "Enter deleted");
      QCOMPARE(form->Store().FolderRecordCount(form->SelectedFolderId()),
               c.folder == std::string("满") ? 3 : 0);
      QCOMPARE(seen.defaultButton, QStringLiteral("取消"));
      QCOMPARE(seen.escapeButton, QStringLiteral("取消"));
      QCOMPARE(seen.caption, QStringLiteral("确认"));
      QCOMPARE(seen.text, QString::fromUtf8(c.text));
    }
    Select(*form, QStringLiteral("满"));
    if (QTest::currentTestFailed()) return;
    QCOMPARE(form->Records()->count(), 3);
    boxes_ = std::make_unique<testing_support::Boxes>();
  }

  // A casebook that cannot be opened: the engine's message, then a window
  // with only the root that keeps working.
  void storeErrorsAreShown() {
    const QString blocker = tmp_->filePath(QStringLiteral("notadir"));
    QFile f(blocker);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
    f.close();
    auto form = std::make_unique<TMainForm>(blocker + QStringLiteral("/Data"));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QVERIFY(!boxes_->shown.isEmpty());
    QCOMPARE(boxes_->shown[0].caption, QStringLiteral("Hexalore"));
    QVERIFY(!boxes_->shown[0].text.isEmpty());
    QCOMPARE(TreeShape(*form), QStringList{QStringLiteral("分类目录(0)")});
    // The window says nothing can be changed, and offers nothing that would.
    QVERIFY(form->windowTitle().contains(QStringLiteral("只读：数据库没有打开")));
    QVERIFY(Part<QLabel>(*form, QStringLiteral("lblReadOnly"))->isVisible());
    QVERIFY(!Action(form.get(), "actNewFolder")->isEnabled());
    boxes_->shown.clear();
    boxes_->names << QStringLiteral("甲");
    Action(form.get(), "actNewFolder")->trigger();
    QVERIFY(boxes_->shown.isEmpty());
    QCOMPARE(TreeShape(*form), QStringList{QStringLiteral("分类目录(0)")});
  }
};

QTEST_MAIN(MainFormTest)
#include "main_form_test.moc"
