// Organising cases in the main window: moving records and folders (by the
// folder picker and by dragging onto the tree), sorting by a column title,
// the menus and keys, the window's state from one session to the next, the
// 时间 column at a small, scaled window, and the status bar's empty panels.
// Runs at QT_SCALE_FACTOR=1.5 (see CMakeLists.txt), as on a dense screen.

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "casebook_store.h"
#include "search_condition.h"
#include "edit_form.h"
#include "folder_picker.h"
#include "folder_tree.h"
#include "held_lock.h"
#include "main_form.h"
#include "main_form_parts.h"
#include "skin.h"
#include "test_support.h"
#include "window_test.h"

using namespace main_form_parts;

namespace {

QStringList Captions(const QMenu* menu) {
  QStringList out;
  for (QAction* a : menu->actions()) out << (a->isSeparator() ? QStringLiteral("|") : a->text());
  return out;
}

// The titles of the record list, top to bottom.
QStringList Titles(TMainForm& form) {
  QStringList out;
  for (int r = 0; r < form.Records()->count(); ++r) out << form.Records()->title(r);
  return out;
}

// The titles of a folder's records in the casebook itself, newest first.
QStringList StoredTitles(CasebookStore& store, RowId folder) {
  store.ListFolderRecords(folder);
  QStringList out;
  for (int r = 0; r < store.records()->count(); ++r) out << store.records()->title(r);
  return out;
}

// A drag over the tree and its drop at the node, as the window system
// delivers them; returns whether the tree accepted the drop.
bool DropOnto(TFolderTree* tree, QTreeWidgetItem* node, QMimeData* data) {
  const QPoint at = tree->visualItemRect(node).center();
  QWidget* port = tree->viewport();
  QDragEnterEvent enter(at, Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(port, &enter);
  QDragMoveEvent move(at, Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(port, &move);
  const bool mayDrop = move.isAccepted();
  QDropEvent drop(at, Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(port, &drop);
  return mayDrop && drop.isAccepted();
}

}  // namespace

class OrganiseWindowTest : public WindowTest {
  Q_OBJECT

  QStringList pickerCaptions_;
  QList<std::optional<RowId>> picks_;  // answers of the folder picker

  // 甲 (records 一, 二, 三) with 甲一 and its 甲一一; 乙 (record 四) — made
  // before the window, which then shows them.
  void MakeCasebook() {
    CasebookStore s;
    s.OpenStore(dataDir_);
    const RowId a = s.AddFolder(0, QStringLiteral("甲"));
    const RowId b = s.AddFolder(0, QStringLiteral("乙"));
    const RowId a1 = s.AddFolder(a, QStringLiteral("甲一"));
    s.AddFolder(a1, QStringLiteral("甲一一"));
    const struct {
      RowId folder;
      const char* title;
      const char* querent;
      QDate date;
      bool feedback;
    } records[] = {
        {a, "一", "张三", QDate(2024, 3, 1), true},
        {a, "二", "李四", QDate(2021, 1, 9), false},
        {a, "三", "王五", QDate(2025, 7, 20), true},
        {b, "四", "赵六", QDate(2023, 5, 5), false},
    };
    for (const auto& r : records)
      s.InsertRecord(r.folder, {QString::fromUtf8(r.title), QString::fromUtf8(r.querent), r.date, r.feedback,
                                QString::fromUtf8(r.title) + QStringLiteral("的正文")});
  }

  void Select(TMainForm& form, const QString& caption) {
    QTreeWidgetItem* node = Node(form, caption);
    QVERIFY2(node, qPrintable(caption));
    Tree(form)->setCurrentItem(node);
  }

  // The record with that title becomes current in the list.
  void SelectRecord(TMainForm& form, const QString& title) {
    const int row = static_cast<int>(Titles(form).indexOf(title));
    QVERIFY2(row >= 0, qPrintable(title));
    form.Records()->setCurrentRow(row);
  }

  RowId FolderIdOf(const TMainForm& form, const QString& caption) {
    return TFolderTree::FolderId(Node(form, caption));
  }

  void Prepare() override {
    pickerCaptions_.clear();
    picks_.clear();
    SetFolderPickerHook([this](const QString& caption) -> std::optional<RowId> {
      pickerCaptions_ << caption;
      return picks_.isEmpty() ? std::nullopt : picks_.takeFirst();
    });
  }

  void Finish() override { SetFolderPickerHook({}); }

 private slots:

  // The menu bar holds the commands of the tool bar and the context menus;
  // each key does what it says; the buttons' tips say what they do.
  void menusKeysAndTips() {
    MakeCasebook();
    auto form = MakeForm();
    QVERIFY(form);
    QStringList menus;
    for (QAction* a : form->menuBar()->actions()) menus << a->text();
    QCOMPARE(menus, (QStringList{"文件(&F)", "记录(&R)", "分类(&C)", "查看(&V)", "搜索(&S)", "帮助(&H)"}));
    QCOMPARE(Captions(form->findChild<QMenu*>(QStringLiteral("mnuRecord"))),
             (QStringList{"新建(&N)\tCtrl+N", "打开(&O)", "删除(&D)", "|", "移动到…"}));
    QCOMPARE(Captions(form->findChild<QMenu*>(QStringLiteral("mnuFolder"))),
             (QStringList{"新建分类(&N)", "重命名(&M)", "删除分类(&D)", "|", "移动到…"}));
    QCOMPARE(Captions(form->findChild<QMenu*>(QStringLiteral("mnuHelp"))), QStringList{"关于(&A)…"});
    QVERIFY(Captions(form->findChild<QMenu*>(QStringLiteral("mnuList"))).contains(QStringLiteral("移动到…")));
    QVERIFY(Captions(form->findChild<QMenu*>(QStringLiteral("mnuTree"))).contains(QStringLiteral("移动到…")));
    QCOMPARE(Action(form.get(), "actSearchAll")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
    QCOMPARE(Action(form.get(), "actExit")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    QCOMPARE(Action(form.get(), "actRenameFolder")->shortcut(), QKeySequence(Qt::Key_F2));

    // The menu bar's entries follow their commands: nothing to open at the
    // root, and 打开 runs the editor once a record is there.
    QVERIFY(!Action(form.get(), "actMenuOpenRecord")->isEnabled() ||
            !Action(form.get(), "actMoveRecords")->isEnabled());
    Select(*form, QStringLiteral("甲"));
    if (QTest::currentTestFailed()) return;
    QCOMPARE(Action(form.get(), "actMenuOpenRecord")->isEnabled(), Action(form.get(), "actOpenRecord")->isEnabled());
    QVERIFY(Action(form.get(), "actMoveRecords")->isEnabled());
    QVERIFY(Action(form.get(), "actMoveFolder")->isEnabled());
    int opened = 0;
    QString openedTitle;
    QPointer<TEditForm> last;
    // Editors open beside the window: each is closed unsaved at once, so
    // that the next key reaches the list again.
    connect(form.get(), &TMainForm::editorOpened, form.get(), [&](TEditForm* ed) {
      ++opened;
      openedTitle = form->Records()->currentTitle();
      last = ed;
      QTimer::singleShot(0, ed, [ed] { ed->CloseDiscarding(); });
    });
    Action(form.get(), "actMenuOpenRecord")->trigger();
    QCOMPARE(opened, 1);

    // Enter on the list opens the current record.
    QTableView* view = RecordView(*form);
    SelectRecord(*form, QStringLiteral("二"));
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    view->setFocus();
    QTRY_VERIFY(view->hasFocus());
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(opened, 2);
    QCOMPARE(openedTitle, QStringLiteral("二"));
    QTRY_VERIFY(!last);
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    view->setFocus();
    QTRY_VERIFY(view->hasFocus());
    QTest::keyClick(view, Qt::Key_Enter);  // the one of the keypad
    QCOMPARE(opened, 3);
    QTRY_VERIFY(!last);

    // Delete on the list asks first; 取消 keeps the record, 确定 deletes it.
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Delete);
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].caption, QStringLiteral("确认"));
    QVERIFY(boxes_->shown[0].text.startsWith(QStringLiteral("确认要删除记录“二”吗？")));
    QCOMPARE(Titles(*form), (QStringList{"三", "二", "一"}));
    boxes_->answers << skin::Answer::Ok;
    QTest::keyClick(view, Qt::Key_Delete);
    QCOMPARE(Titles(*form), (QStringList{"三", "一"}));
    QCOMPARE(form->Store().RecycleBinCount(), 1);

    // Delete in the tree asks about the folder (its sub-folders first).
    Tree(*form)->setFocus();
    QTRY_VERIFY(Tree(*form)->hasFocus());
    Select(*form, QStringLiteral("乙"));
    boxes_->shown.clear();
    QTest::keyClick(Tree(*form), Qt::Key_Delete);
    QCOMPARE(boxes_->shown.size(), 1);
    QVERIFY(boxes_->shown[0].text.startsWith(QStringLiteral("确认要删除分类“乙”吗？")));
    QVERIFY(Node(*form, QStringLiteral("乙")));  // 取消

    // Tips tell what a button does, not its caption again.
    for (QAction* a : ToolBar(*form)->actions()) {
      if (a->isSeparator()) continue;
      auto* button = qobject_cast<QToolButton*>(ToolBar(*form)->widgetForAction(a));
      QVERIFY(button);
      const QString tip = button->toolTip();
      QString caption = a->text();
      caption.remove(QStringLiteral("(&")).remove(QLatin1Char('&'));
      QVERIFY2(!tip.isEmpty() && !tip.startsWith(a->iconText()) && tip.size() > caption.size() + 4,
               qPrintable(a->iconText() + QStringLiteral(": ") + tip));
    }

    // 关于: the version and where the casebook lies.
    boxes_->shown.clear();
    Action(form.get(), "actAbout")->trigger();
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].caption, QStringLiteral("关于"));
    QVERIFY(boxes_->shown[0].text.contains(TMainForm::VersionText()));
    QVERIFY2(boxes_->shown[0].text.contains(QDir::toNativeSeparators(form->Store().databasePath())),
             qPrintable(boxes_->shown[0].text));

    // Ctrl+Q quits.
    form->activateWindow();
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Q, Qt::ControlModifier);
    QTRY_VERIFY(!form->isVisible());
  }

  // 移动到… on a record: the picker, the record in its new folder, the list
  // of the old one without it; a cancelled picker changes nothing.
  void moveRecordWithThePicker() {
    MakeCasebook();
    auto form = MakeForm();
    QVERIFY(form);
    Select(*form, QStringLiteral("甲"));
    if (QTest::currentTestFailed()) return;
    SelectRecord(*form, QStringLiteral("二"));
    const RowId b = FolderIdOf(*form, QStringLiteral("乙"));

    picks_ << std::nullopt;  // 取消
    Action(form.get(), "actMoveRecords")->trigger();
    QCOMPARE(pickerCaptions_, QStringList{"移动记录"});
    QCOMPARE(Titles(*form), (QStringList{"三", "二", "一"}));

    picks_ << b;
    Action(form.get(), "actMoveRecords")->trigger();
    QCOMPARE(Titles(*form), (QStringList{"三", "一"}));
    QCOMPARE(form->Records()->currentTitle(), QStringLiteral("一"));  // the row below takes its place
    QVERIFY(form->statusBar()->currentMessage().contains(QStringLiteral("“二”")));
    QVERIFY(boxes_->shown.isEmpty());
    Select(*form, QStringLiteral("乙"));
    QCOMPARE(Titles(*form), (QStringList{"四", "二"}));
    QCOMPARE(form->Records()->text(1), QStringLiteral("二的正文"));

    // Into the folder it is in already: nothing is written.
    SelectRecord(*form, QStringLiteral("二"));
    const QByteArray before = testing_support::FileHash(form->Store().databasePath());
    picks_ << b;
    Action(form.get(), "actMoveRecords")->trigger();
    QCOMPARE(Titles(*form), (QStringList{"四", "二"}));
    QCOMPARE(testing_support::FileHash(form->Store().databasePath()), before);
  }

  // A hit moved to another folder stays among the hits, which show its new
  // folder; the list does not fall back to a folder's records.
  void movingAHitKeepsTheHits() {
    MakeCasebook();
    auto form = MakeForm();
    QVERIFY(form);
    Select(*form, QStringLiteral("乙"));
    if (QTest::currentTestFailed()) return;
    SearchCondition answered;
    answered.feedback = true;
    form->RunSearch(answered, QStringLiteral("查找：有反馈"));
    QCOMPARE(Titles(*form), (QStringList{"三", "一"}));
    SelectRecord(*form, QStringLiteral("三"));
    picks_ << FolderIdOf(*form, QStringLiteral("乙"));
    Action(form.get(), "actMoveRecords")->trigger();
    QCOMPARE(Titles(*form), (QStringList{"三", "一"}));
    RecordList* list = form->Records();
    QCOMPARE(list->currentTitle(), QStringLiteral("三"));
    QCOMPARE(list->folderName(list->currentRow()), QStringLiteral("乙"));
    QVERIFY(!RecordView(*form)->isColumnHidden(RecordList::ColFolder));
    QVERIFY(boxes_->shown.isEmpty());
  }

  // 移动到… on a folder: never into itself or below itself (a message, and
  // nothing changes); into another folder or the root with its sub-folders
  // and records.
  void moveFolderWithThePicker() {
    MakeCasebook();
    auto form = MakeForm();
    QVERIFY(form);
    const QStringList shape = TreeShape(*form);
    QCOMPARE(shape, (QStringList{"分类目录(0)", "甲(1)", "甲一(2)", "甲一一(3)", "乙(1)", "回收站(0)"}));
    const RowId a = FolderIdOf(*form, QStringLiteral("甲"));
    const RowId a1 = FolderIdOf(*form, QStringLiteral("甲一"));
    const RowId a11 = FolderIdOf(*form, QStringLiteral("甲一一"));
    const RowId b = FolderIdOf(*form, QStringLiteral("乙"));
    Select(*form, QStringLiteral("甲"));
    if (QTest::currentTestFailed()) return;
    for (const RowId into : {a, a1, a11}) {
      boxes_->shown.clear();
      picks_ << into;
      Action(form.get(), "actMoveFolder")->trigger();
      QCOMPARE(boxes_->shown.size(), 1);
      QCOMPARE(boxes_->shown[0].caption, QStringLiteral("提示"));
      QCOMPARE(boxes_->shown[0].text, QStringLiteral("不能把分类“甲”移到它自己或它的子分类之下。"));
      QCOMPARE(TreeShape(*form), shape);
      QCOMPARE(form->Store().FolderChildren(0).size(), 2);
    }
    QCOMPARE(pickerCaptions_.last(), QStringLiteral("移动分类"));

    boxes_->shown.clear();
    Select(*form, QStringLiteral("甲一"));
    picks_ << b;
    Action(form.get(), "actMoveFolder")->trigger();
    QVERIFY(boxes_->shown.isEmpty());
    QCOMPARE(TreeShape(*form), (QStringList{"分类目录(0)", "甲(1)", "乙(1)", "甲一(2)", "甲一一(3)", "回收站(0)"}));
    QCOMPARE(Tree(*form)->currentItem(), Node(*form, QStringLiteral("甲一")));
    QCOMPARE(form->Store().FolderChildren(b).size(), 1);
    QCOMPARE(form->Store().FolderChildren(b).first().id, a1);
    QVERIFY(form->Store().FolderIsWithin(a11, b));

    // To the root: among the root's folders in the order they were made.
    // (甲一 was made after 乙, so it follows it.)
    picks_ << RowId(0);
    Action(form.get(), "actMoveFolder")->trigger();
    QCOMPARE(TreeShape(*form), (QStringList{"分类目录(0)", "甲(1)", "乙(1)", "甲一(1)", "甲一一(2)", "回收站(0)"}));
    QCOMPARE(form->Store().FolderChildren(0).size(), 3);
    form.reset();
    form = MakeForm();  // the tree built anew agrees
    QVERIFY(form);
    QCOMPARE(TreeShape(*form), (QStringList{"分类目录(0)", "甲(1)", "乙(1)", "甲一(1)", "甲一一(2)", "回收站(0)"}));
  }

  // Dragging: records from the list onto a folder of the tree, a folder
  // onto another; the bin and the root take no records, a folder does not
  // go below itself, and a read-only casebook takes nothing.
  void dragOntoTheTree() {
    MakeCasebook();
    auto form = MakeForm();
    QVERIFY(form);
    TFolderTree* tree = Tree(*form);
    Select(*form, QStringLiteral("甲"));
    if (QTest::currentTestFailed()) return;
    SelectRecord(*form, QStringLiteral("三"));
    QTableView* view = RecordView(*form);
    QVERIFY(view->dragEnabled());
    const QModelIndex cell = view->model()->index(form->Records()->currentRow(), RecordList::ColBT);
    QVERIFY(view->model()->flags(cell) & Qt::ItemIsDragEnabled);
    // What a drag of the row carries, as the view makes it.
    auto rowData = [&] {
      return view->model()->mimeData(view->selectionModel()->selectedIndexes());
    };

    // Not onto the bin, nor the root: the drop is refused, nothing moves.
    for (const QString& where : {QStringLiteral("回收站"), QStringLiteral("分类目录")}) {
      std::unique_ptr<QMimeData> data(rowData());
      QVERIFY(data);
      QVERIFY2(!DropOnto(tree, Node(*form, where), data.get()), qPrintable(where));
    }
    QCOMPARE(StoredTitles(form->Store(), FolderIdOf(*form, QStringLiteral("甲"))), (QStringList{"三", "二", "一"}));
    Select(*form, QStringLiteral("甲"));
    SelectRecord(*form, QStringLiteral("三"));

    {
      std::unique_ptr<QMimeData> data(rowData());
      QVERIFY(DropOnto(tree, Node(*form, QStringLiteral("甲一一")), data.get()));
    }
    QCOMPARE(Titles(*form), (QStringList{"二", "一"}));
    QCOMPARE(StoredTitles(form->Store(), FolderIdOf(*form, QStringLiteral("甲一一"))), QStringList{"三"});
    Select(*form, QStringLiteral("甲"));

    // A folder onto one of its own: refused with the message.
    {
      std::unique_ptr<QMimeData> data(TFolderTree::FolderMimeData(FolderIdOf(*form, QStringLiteral("甲"))));
      DropOnto(tree, Node(*form, QStringLiteral("甲一一")), data.get());
    }
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].text, QStringLiteral("不能把分类“甲”移到它自己或它的子分类之下。"));
    QCOMPARE(TreeShape(*form), (QStringList{"分类目录(0)", "甲(1)", "甲一(2)", "甲一一(3)", "乙(1)", "回收站(0)"}));
    // Onto itself: no move, no message; onto the bin: not taken.
    for (const QString& where : {QStringLiteral("甲"), QStringLiteral("回收站")}) {
      std::unique_ptr<QMimeData> data(TFolderTree::FolderMimeData(FolderIdOf(*form, QStringLiteral("甲"))));
      QVERIFY(!DropOnto(tree, Node(*form, where), data.get()));
    }
    QCOMPARE(boxes_->shown.size(), 1);

    // 乙 onto 甲一: it goes there, and the tree says so.
    {
      std::unique_ptr<QMimeData> data(TFolderTree::FolderMimeData(FolderIdOf(*form, QStringLiteral("乙"))));
      QVERIFY(DropOnto(tree, Node(*form, QStringLiteral("甲一")), data.get()));
    }
    // (Among 甲一's sub-folders in the order they were made: 乙 first.)
    QCOMPARE(TreeShape(*form), (QStringList{"分类目录(0)", "甲(1)", "甲一(2)", "乙(3)", "甲一一(3)", "回收站(0)"}));
    QVERIFY(form->Store().FolderIsWithin(FolderIdOf(*form, QStringLiteral("乙")), FolderIdOf(*form, QStringLiteral("甲一"))));
    // Nothing is dragged out of the bin's list.
    Select(*form, QStringLiteral("回收站"));
    QVERIFY(!view->dragEnabled());
    Select(*form, QStringLiteral("甲"));
    QVERIFY(view->dragEnabled());
    // A folder dragged from the tree carries its ID.
    QVERIFY(tree->dragEnabled());
    QVERIFY(Node(*form, QStringLiteral("乙"))->flags() & Qt::ItemIsDragEnabled);
    QVERIFY(!(Node(*form, QStringLiteral("分类目录"))->flags() & Qt::ItemIsDragEnabled));
    QVERIFY(!(Node(*form, QStringLiteral("回收站"))->flags() & Qt::ItemIsDragEnabled));
  }

  void readOnlyCasebookMovesNothing() {
    MakeCasebook();
    CasebookStore::SetLockRetryMilliseconds(100);
    HeldLock other(dbPath());
    QVERIFY(other.holding());
    auto form = MakeForm();
    QVERIFY(form);
    Select(*form, QStringLiteral("甲"));
    if (QTest::currentTestFailed()) return;
    QVERIFY(form->Records()->count() > 0);
    for (const char* name : {"actMoveRecords", "actMoveFolder", "actMenuNewRecord", "actMenuOpenRecord"})
      QVERIFY2(!Action(form.get(), name)->isEnabled(), name);
    QVERIFY(!Tree(*form)->dragEnabled());
    QVERIFY(!RecordView(*form)->dragEnabled());
    std::unique_ptr<QMimeData> data(TFolderTree::FolderMimeData(FolderIdOf(*form, QStringLiteral("乙"))));
    QVERIFY(!DropOnto(Tree(*form), Node(*form, QStringLiteral("甲")), data.get()));
    QCOMPARE(TreeShape(*form), (QStringList{"分类目录(0)", "甲(1)", "甲一(2)", "甲一一(3)", "乙(1)", "回收站(0)"}));
    other.release();
    CasebookStore::SetLockRetryMilliseconds(3000);
  }

  // A click on a column title sorts the list by it, in the database; a
  // second click reverses; the order is remembered for the next session.
  void sortByColumnTitle() {
    MakeCasebook();
    {
      auto form = MakeForm();
      QVERIFY(form);
      Select(*form, QStringLiteral("甲"));
      if (QTest::currentTestFailed()) return;
      QCOMPARE(Titles(*form), (QStringList{"三", "二", "一"}));  // newest first
      QHeaderView* header = RecordView(*form)->horizontalHeader();
      QVERIFY(header->isSortIndicatorShown());
      QCOMPARE(header->sortIndicatorSection(), -1);
      auto click = [&](int column) {
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
      };
      click(RecordList::ColQZR);  // 李四 (lǐ), 王五 (wáng), 张三 (zhāng)
      QCOMPARE(Titles(*form), (QStringList{"二", "三", "一"}));
      QCOMPARE(header->sortIndicatorSection(), int(RecordList::ColQZR));
      QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
      QCOMPARE(form->Store().listOrder(), ListOrder::Querent);
      click(RecordList::ColQZR);
      QCOMPARE(Titles(*form), (QStringList{"一", "三", "二"}));
      QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
      click(RecordList::ColSJ);
      QCOMPARE(Titles(*form), (QStringList{"二", "一", "三"}));
      click(RecordList::ColSJ);
      QCOMPARE(Titles(*form), (QStringList{"三", "一", "二"}));
      // The current record stays current when the order changes.
      SelectRecord(*form, QStringLiteral("一"));
      click(RecordList::ColFK);  // × before √, then the newest
      QCOMPARE(Titles(*form), (QStringList{"二", "三", "一"}));
      QCOMPARE(form->Records()->currentTitle(), QStringLiteral("一"));
      QCOMPARE(Preview(*form)->toPlainText(), QStringLiteral("一的正文"));
      click(RecordList::ColFK);
      click(RecordList::ColSJ);
      click(RecordList::ColSJ);  // dates, latest first
      // Another folder is listed in the same order.
      Select(*form, QStringLiteral("乙"));
      QCOMPARE(Titles(*form), QStringList{"四"});
      form->close();
    }
    auto form = MakeForm();
    QVERIFY(form);
    QHeaderView* header = RecordView(*form)->horizontalHeader();
    QCOMPARE(header->sortIndicatorSection(), int(RecordList::ColSJ));
    QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
    QCOMPARE(form->Store().listOrder(), ListOrder::Date);
    Select(*form, QStringLiteral("甲"));
    QCOMPARE(Titles(*form), (QStringList{"三", "一", "二"}));
  }

  // Size, splitters, column widths and the folder come back next time.
  void windowStateIsRemembered() {
    MakeCasebook();
    QList<int> mainSizes, rightSizes, widths;
    QSize size;
    {
      auto form = MakeForm();
      QVERIFY(form);
      // Within the screen (800 × 600 pixels offscreen, 533 × 400 at 1.5),
      // which a restored window is kept inside.
      form->resize(520, 390);
      QTRY_COMPARE(form->size(), QSize(520, 390));
      MainSplitter(*form)->setSizes({150, 365});
      RightSplitter(*form)->setSizes({120, 150});
      QTableView* view = RecordView(*form);
      view->setColumnWidth(RecordList::ColQZR, 90);
      Select(*form, QStringLiteral("甲一"));
      if (QTest::currentTestFailed()) return;
      mainSizes = MainSplitter(*form)->sizes();
      rightSizes = RightSplitter(*form)->sizes();
      for (const int c : {RecordList::ColBT, RecordList::ColQZR, RecordList::ColSJ, RecordList::ColFK})
        widths << view->columnWidth(c);
      size = form->size();
      form->close();
    }
    auto form = std::make_unique<TMainForm>(dataDir_);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QCOMPARE(form->size(), size);
    QCOMPARE(MainSplitter(*form)->sizes(), mainSizes);
    QCOMPARE(RightSplitter(*form)->sizes(), rightSizes);
    QList<int> now;
    for (const int c : {RecordList::ColBT, RecordList::ColQZR, RecordList::ColSJ, RecordList::ColFK})
      now << RecordView(*form)->columnWidth(c);
    for (int i = 0; i < 4; ++i)
      QVERIFY2(qAbs(now[i] - widths[i]) <= 1, qPrintable(QStringLiteral("column %1: %2, was %3").arg(i).arg(now[i]).arg(widths[i])));
    QCOMPARE(Tree(*form)->currentItem(), Node(*form, QStringLiteral("甲一")));
    QCOMPARE(form->SelectedFolderId(), FolderIdOf(*form, QStringLiteral("甲一")));
    form->close();

    // A folder that is gone by then: the root, as on a first start.
    {
      QSettings settings;
      settings.setValue(QStringLiteral("Window/LastFolder"), 9999);
    }
    form = MakeForm();
    QVERIFY(form);
    QCOMPARE(form->SelectedFolderId(), RowId(0));
  }

  // A window of 700 × 450 device pixels at a scale of 1.5: 时间 shows a
  // whole date, and 标题 is the column that gives up room for it.
  void dateColumnShowsAWholeDate() {
    MakeCasebook();
    auto form = MakeForm();
    QVERIFY(form);
    const qreal scale = form->devicePixelRatio();
    QCOMPARE(scale, 1.5);
    const QSize logical(qRound(700 / scale), qRound(450 / scale));
    form->resize(logical);
    QTRY_COMPARE(form->size(), logical);
    Select(*form, QStringLiteral("甲"));
    if (QTest::currentTestFailed()) return;
    QTableView* view = RecordView(*form);
    const QString date = QStringLiteral("2025-07-20");
    const QModelIndex cell = view->model()->index(0, RecordList::ColSJ);
    QCOMPARE(view->model()->data(cell).toString(), date);
    // The room the cell gives its text: its rectangle less the item view's
    // margins on each side.
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    const int room = view->visualRect(cell).width() - 2 * margin;
    QCOMPARE(view->fontMetrics().elidedText(date, Qt::ElideRight, room), date);
    // The other columns still share the list, 标题 the widest of them.
    const int bt = view->columnWidth(RecordList::ColBT);
    QVERIFY2(bt > view->columnWidth(RecordList::ColQZR) / 2 && bt > view->columnWidth(RecordList::ColFK),
             qPrintable(QStringLiteral("%1").arg(bt)));
    // Grown again, the columns keep their shares (the rule of the window).
    form->resize(1000, 700);
    QTRY_COMPARE(form->width(), 1000);
    QVERIFY(view->columnWidth(RecordList::ColBT) > 2 * view->columnWidth(RecordList::ColSJ));
  }

  // Status panels with nothing to say show no empty boxes; a search's
  // panels are framed.
  void statusPanelsWithoutTextShowNoBox() {
    MakeCasebook();
    auto form = MakeForm();
    QVERIFY(form);
    const QColor line(QStringLiteral("#c8b89c"));  // the skin's frame colour
    auto framed = [&](int i) {
      const QImage image = StatusPanel(*form, i)->grab().toImage();
      int lines = 0;
      for (int y = 0; y < image.height(); ++y)
        if (image.pixelColor(0, y) == line) ++lines;
      return lines >= image.height() / 2;
    };
    for (int i = 0; i < 4; ++i) {
      QVERIFY(StatusPanel(*form, i)->text().isEmpty());
      QVERIFY2(!framed(i), qPrintable(QStringLiteral("empty panel %1 is framed").arg(i)));
    }
    SearchCondition where;
    where.clauses = {LikeClause(SearchField::Title, QStringLiteral("一"), true)};
    form->RunSearch(where, QStringLiteral("查找“一”"));
    for (int i = 0; i < 4; ++i) {
      QVERIFY(!StatusPanel(*form, i)->text().isEmpty());
      QVERIFY2(framed(i), qPrintable(QStringLiteral("panel %1 with text is not framed").arg(i)));
    }
    Select(*form, QStringLiteral("甲"));
    for (int i = 0; i < 4; ++i) QVERIFY(!framed(i));
  }
};

QTEST_MAIN(OrganiseWindowTest)
#include "organise_window_test.moc"
