// The everyday paths that must never change or drop what the user wrote:
// renaming folders only when asked, names that name something, the recycle
// bin, a casebook that can only be read, and a record whose text was
// damaged behind the program's back.

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "casebook_backup.h"
#include "casebook_store.h"
#include "folder_picker.h"
#include "folder_tree.h"
#include "main_form.h"
#include "main_form_parts.h"
#include "skin.h"
#include "held_lock.h"
#include "test_support.h"
#include "window_test.h"

using namespace main_form_parts;

namespace {

QLineEdit* NameEditor(TMainForm& form) {
  return Tree(form)->findChild<QLineEdit*>(QStringLiteral("edtFolderName"));
}

QStringList Titles(TMainForm& form) {
  QStringList titles;
  RecordList* list = form.Records();
  for (int r = 0; r < list->count(); ++r) titles << list->title(r);
  return titles;
}

}  // namespace

class EverydayPathsTest : public WindowTest {
  Q_OBJECT

  // A casebook with folders 八字命例（男） (records 甲, 乙) and 六爻, closed.
  void MakeCasebook() {
    CasebookStore s;
    s.OpenStore(dataDir_);
    const RowId bazi = s.AddFolder(0, QStringLiteral("八字命例（男）"));
    s.AddFolder(0, QStringLiteral("六爻"));
    s.InsertRecord(bazi, {QStringLiteral("甲"), QStringLiteral("张"), QDate(2024, 1, 1), false, QStringLiteral("甲的正文")});
    s.InsertRecord(bazi, {QStringLiteral("乙"), QStringLiteral("李"), QDate(2024, 1, 2), true, QStringLiteral("乙的正文")});
  }

  void Select(TMainForm& form, const QString& caption) {
    QTreeWidgetItem* node = Node(form, caption);
    QVERIFY2(node, qPrintable(caption));
    Tree(form)->setCurrentItem(node);
  }

 protected:
  void Prepare() override {
    MakeCasebook();
  }

  void Finish() override {
    SetFolderPickerHook({});
  }

 private slots:
  // A single click on a folder's name selects it and nothing more: typing
  // then goes nowhere near its name. Renaming starts by F2, by 重命名, or
  // by a double click on the name; the first folder under the root is
  // renamed like any other.
  void renamingStartsOnlyWhenAsked() {
    auto form = ShownMainForm(dataDir_);
    QVERIFY(form);
    TFolderTree* tree = Tree(*form);
    QTreeWidgetItem* first = Node(*form, QStringLiteral("八字命例（男）"));
    QVERIFY(first);
    const QPoint at = tree->visualItemRect(first).center();
    // Click once on the unselected name, then again a moment later (the
    // gesture that used to start an edit), type, click elsewhere.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    QVERIFY(!NameEditor(*form));
    QTest::keyClicks(tree, QStringLiteral("x"));
    QTest::mouseClick(RecordView(*form)->viewport(), Qt::LeftButton);
    QVERIFY(!NameEditor(*form));
    QCOMPARE(first->text(0), QStringLiteral("八字命例（男）"));
    QCOMPARE(form->Store().FolderChildren(0).at(0).name, QStringLiteral("八字命例（男）"));

    // F2 on the first folder under the root.
    tree->setFocus();
    tree->setCurrentItem(first);
    QTest::keyClick(form.get(), Qt::Key_F2);
    QVERIFY(NameEditor(*form));
    NameEditor(*form)->setText(QStringLiteral("八字命例"));
    QTest::keyClick(NameEditor(*form), Qt::Key_Return);
    QTRY_VERIFY(!NameEditor(*form));
    QCOMPARE(first->text(0), QStringLiteral("八字命例"));
    QCOMPARE(form->Store().FolderChildren(0).at(0).name, QStringLiteral("八字命例"));

    // The 重命名 command.
    Select(*form, QStringLiteral("六爻"));
    if (QTest::currentTestFailed()) return;
    Action(form.get(), "actRenameFolder")->trigger();
    QVERIFY(NameEditor(*form));
    QTest::keyClick(NameEditor(*form), Qt::Key_Escape);
    QTRY_VERIFY(!NameEditor(*form));

    // A double click on the name.
    // (On the screen a double click is a click, then the double click.)
    const QPoint name = tree->visualItemRect(Node(*form, QStringLiteral("六爻"))).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, name);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, name);
    QVERIFY(NameEditor(*form));
    QTest::keyClick(NameEditor(*form), Qt::Key_Escape);
    QTRY_VERIFY(!NameEditor(*form));

    // Never the root or the bin.
    for (const char* caption : {"分类目录", "回收站"}) {
      Select(*form, QString::fromUtf8(caption));
      if (QTest::currentTestFailed()) return;
      QTest::keyClick(form.get(), Qt::Key_F2);
      QVERIFY(!NameEditor(*form));
      QVERIFY(!Action(form.get(), "actRenameFolder")->isEnabled());
    }
    QVERIFY(boxes_->shown.isEmpty());
  }

  // An empty name, or one of blanks, is refused: a new folder is asked for
  // again (and not made on 取消), a renamed one keeps its old name.
  void blankNamesAreRefused() {
    auto form = ShownMainForm(dataDir_);
    QVERIFY(form);
    Select(*form, QStringLiteral("分类目录"));
    if (QTest::currentTestFailed()) return;
    boxes_->names << QStringLiteral("") << QStringLiteral("\u3000 ") << QString();  // then 取消
    Action(form.get(), "actNewFolder")->trigger();
    QCOMPARE(boxes_->inputs.size(), 3);
    QCOMPARE(boxes_->shown.size(), 2);
    QCOMPARE(boxes_->shown[0].text, QStringLiteral("分类名称不能为空，也不能只有空格。"));
    QCOMPARE(form->Store().FolderChildren(0).size(), 2);

    boxes_->shown.clear();
    Select(*form, QStringLiteral("六爻"));
    if (QTest::currentTestFailed()) return;
    Action(form.get(), "actRenameFolder")->trigger();
    QVERIFY(NameEditor(*form));
    NameEditor(*form)->setText(QStringLiteral("   "));
    QTest::keyClick(NameEditor(*form), Qt::Key_Return);
    QTRY_VERIFY(!NameEditor(*form));
    QCOMPARE(boxes_->shown.size(), 1);
    QVERIFY(boxes_->shown[0].text.contains(QStringLiteral("仍然使用原来的名称“六爻”")));
    QVERIFY(Node(*form, QStringLiteral("六爻")));
    QCOMPARE(form->Store().FolderChildren(0).at(1).name, QStringLiteral("六爻"));
  }

  // Deleting goes to the recycle bin, whose records and folders come back
  // where they were (or where the user says, when that is gone), and which
  // asks before it is emptied.
  void recycleBin() {
    auto form = ShownMainForm(dataDir_);
    QVERIFY(form);
    Select(*form, QStringLiteral("八字命例（男）"));
    if (QTest::currentTestFailed()) return;
    QCOMPARE(Titles(*form), (QStringList{"乙", "甲"}));
    boxes_->answers << skin::Answer::Ok;
    Action(form.get(), "actDeleteRecord")->trigger();
    QCOMPARE(boxes_->shown.last().text, QStringLiteral("确认要删除记录“乙”吗？\n删除的记录会放进回收站，可以还原。"));
    QCOMPARE(Titles(*form), QStringList{"甲"});

    Select(*form, QStringLiteral("回收站"));
    if (QTest::currentTestFailed()) return;
    QCOMPARE(Titles(*form), QStringList{"乙"});
    QCOMPARE(Preview(*form)->toPlainText(), QStringLiteral("乙的正文"));  // readable there
    QVERIFY(!Action(form.get(), "actDeleteRecord")->isEnabled());
    QVERIFY(!Action(form.get(), "actNewRecord")->isEnabled());
    QVERIFY(Action(form.get(), "actRestoreRecord")->isEnabled());
    Action(form.get(), "actRestoreRecord")->trigger();
    QVERIFY(Titles(*form).isEmpty());
    Select(*form, QStringLiteral("八字命例（男）"));
    if (QTest::currentTestFailed()) return;
    QCOMPARE(Titles(*form), (QStringList{"乙", "甲"}));

    // The folder goes with its records; the question names both.
    boxes_->shown.clear();
    boxes_->answers << skin::Answer::Ok;
    Action(form.get(), "actDeleteFolder")->trigger();
    QCOMPARE(boxes_->shown[0].text, QStringLiteral("确认要删除分类“八字命例（男）”吗？\n其中的 2 条记录将一并放进回收站。\n"
                                                   "删除的分类可以从回收站还原。"));
    QTreeWidgetItem* gone = Node(*form, QStringLiteral("八字命例（男）"));
    QVERIFY(gone);
    QCOMPARE(TFolderTree::Kind(gone), TFolderTree::BinFolderNode);
    Tree(*form)->setCurrentItem(gone);
    QCOMPARE(Titles(*form), (QStringList{"乙", "甲"}));

    // One record out of the deleted folder: its folder is gone, so the user
    // is asked where to.
    const RowId liuyao = form->Store().FolderChildren(0).at(0).id;
    QString asked;
    SetFolderPickerHook([&](const QString& caption) {
      asked = caption;
      return std::optional<RowId>(liuyao);
    });
    Action(form.get(), "actRestoreRecord")->trigger();
    QCOMPARE(asked, QStringLiteral("还原记录"));
    QCOMPARE(Titles(*form), QStringList{"甲"});
    Select(*form, QStringLiteral("六爻"));
    if (QTest::currentTestFailed()) return;
    QCOMPARE(Titles(*form), QStringList{"乙"});

    // The folder itself comes back under the root, with what is left in it.
    Tree(*form)->setCurrentItem(Node(*form, QStringLiteral("八字命例（男）")));
    Action(form.get(), "actRestoreFolder")->trigger();
    QTreeWidgetItem* back = Node(*form, QStringLiteral("八字命例（男）"));
    QVERIFY(back);
    QCOMPARE(TFolderTree::Kind(back), TFolderTree::FolderNode);
    QCOMPARE(Tree(*form)->currentItem(), back);
    QCOMPARE(Titles(*form), QStringList{"甲"});

    // Emptying the bin asks first; 取消 keeps everything.
    boxes_->answers << skin::Answer::Ok;
    Action(form.get(), "actDeleteRecord")->trigger();
    boxes_->shown.clear();
    boxes_->answers << skin::Answer::Cancel;
    Action(form.get(), "actEmptyRecycleBin")->trigger();
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].buttons, skin::Buttons::OkCancelDestructive);
    QCOMPARE(boxes_->shown[0].text, QStringLiteral("确认要清空回收站吗？\n其中的 1 项（记录和分类）将彻底删除，不能还原。"));
    QCOMPARE(form->Store().RecycleBinCount(), 1);
    boxes_->answers << skin::Answer::Ok;
    Action(form.get(), "actEmptyRecycleBin")->trigger();
    QCOMPARE(form->Store().RecycleBinCount(), 0);
  }

  // A casebook another program holds the write lock of: shown at once,
  // read-only, saying so in the title and in a bar above the list, with no
  // command offered that would write; writable as soon as the lock is free.
  void lockedCasebookIsShownReadOnlyUntilFree() {
    CasebookStore::SetLockRetryMilliseconds(100);
    HeldLock other(dataDir_ + QStringLiteral("/casebook.sqlite"));
    QVERIFY(other.holding());
    QElapsedTimer clock;
    clock.start();
    auto form = ShownMainForm(dataDir_);
    QVERIFY(form);
    QVERIFY(clock.elapsed() < 3000);
    QVERIFY(boxes_->shown.isEmpty());  // no error: the casebook is read
    QVERIFY(form->windowTitle().endsWith(QStringLiteral("（只读：数据库正被其他程序占用）")));
    QLabel* bar = Part<QLabel>(*form, QStringLiteral("lblReadOnly"));
    QVERIFY(bar->isVisible());
    QVERIFY(bar->text().contains(QStringLiteral("数据库正被其他程序占用")));
    Select(*form, QStringLiteral("八字命例（男）"));
    if (QTest::currentTestFailed()) return;
    QCOMPARE(Titles(*form), (QStringList{"乙", "甲"}));
    for (const char* name : {"actNewRecord", "actOpenRecord", "actDeleteRecord", "actNewFolder",
                             "actRenameFolder", "actDeleteFolder"})
      QVERIFY2(!Action(form.get(), name)->isEnabled(), name);
    QVERIFY(Action(form.get(), "actPrint")->isEnabled());  // reading goes on

    other.release();
    QTRY_VERIFY_WITH_TIMEOUT(form->Store().isWritable(), 5000);
    QVERIFY(!bar->isVisible());
    QCOMPARE(form->windowTitle(), QStringLiteral("Hexalore ") + TMainForm::VersionText());
    for (const char* name : {"actNewRecord", "actOpenRecord", "actDeleteRecord", "actNewFolder",
                             "actRenameFolder", "actDeleteFolder"})
      QVERIFY2(Action(form.get(), name)->isEnabled(), name);
    CasebookStore::SetLockRetryMilliseconds(3000);
  }

  // A record whose text was changed behind the program's back: shown with
  // the warning, and the newest backup's version is offered; taking it keeps
  // the damaged text as a record of its own.
  void damagedRecordIsToldAndMendedFromABackup() {
    QCOMPARE(MakeAutomaticBackup(dataDir_, QDateTime::currentDateTime().addSecs(-3600)).outcome, CopyOutcome::Done);
    {
      QFile f(dataDir_ + QStringLiteral("/casebook.sqlite"));
      QVERIFY(f.open(QIODevice::ReadWrite));
      QByteArray all = f.readAll();
      const QByteArray was = QStringLiteral("乙的正文").toUtf8();
      const qsizetype at = all.indexOf(was);
      QVERIFY(at > 0);
      QVERIFY(f.seek(at));
      QVERIFY(f.write(QStringLiteral("丙的正文").toUtf8()) == was.size());  // same length
    }
    auto form = ShownMainForm(dataDir_);
    QVERIFY(form);
    QVERIFY(boxes_->shown.isEmpty());  // SQLite finds nothing wrong
    boxes_->answers << skin::Answer::Ok;
    Select(*form, QStringLiteral("八字命例（男）"));
    if (QTest::currentTestFailed()) return;
    QTRY_COMPARE(boxes_->shown.size(), 1);
    QVERIFY(boxes_->shown[0].text.startsWith(QStringLiteral("这条记录的内容可能已损坏：“乙”")));
    QVERIFY(boxes_->shown[0].text.contains(QStringLiteral("要用备份中的版本替换它吗？")));
    QTRY_COMPARE(Preview(*form)->toPlainText(), QStringLiteral("乙的正文"));
    QCOMPARE(Titles(*form), (QStringList{"乙（可能已损坏）", "乙", "甲"}));
    form->Records()->locate(form->Records()->id(0));
    QCOMPARE(form->Records()->currentText(), QStringLiteral("丙的正文"));  // nothing lost
    QCOMPARE(form->Store().CheckRecord(form->Records()->id(1)),
             RecordIntegrity::Sound);
  }
};

QTEST_MAIN(EverydayPathsTest)
#include "everyday_paths_test.moc"
