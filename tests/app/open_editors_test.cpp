// Record editors beside the main window: not modal, several at once, one
// per record, asked about when the main window closes, and a record deleted
// or moved while its editor is open kept without loss.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QTextEdit>
#include <QtTest>
#include <optional>

#include "casebook_store.h"
#include "edit_form.h"
#include "folder_picker.h"
#include "held_lock.h"
#include "main_form.h"
#include "main_form_parts.h"
#include "window_test.h"

using namespace main_form_parts;

class OpenEditorsTest : public WindowTest {
  Q_OBJECT

  RowId jia_ = 0, yi_ = 0;           // folders 甲类, 乙类
  RowId first_ = 0, second_ = 0, third_ = 0;  // records 一, 二, 三 in 甲类
  QStringList picked_;               // the folder picker's captions, in order
  std::optional<RowId> pickAnswer_;  // what the folder picker answers

  void Prepare() override {
    CasebookStore s;
    s.OpenStore(dataDir_);
    jia_ = s.AddFolder(0, QStringLiteral("甲类"));
    yi_ = s.AddFolder(0, QStringLiteral("乙类"));
    first_ = s.InsertRecord(jia_, {QStringLiteral("一"), QStringLiteral("张"), QDate(2025, 1, 1), false, QStringLiteral("一的正文")});
    second_ = s.InsertRecord(jia_, {QStringLiteral("二"), QStringLiteral("李"), QDate(2025, 1, 2), false, QStringLiteral("二的正文")});
    third_ = s.InsertRecord(jia_, {QStringLiteral("三"), QStringLiteral("王"), QDate(2025, 1, 3), false, QStringLiteral("三的正文")});
    picked_.clear();
    pickAnswer_.reset();
    SetFolderPickerHook([this](const QString& caption) {
      picked_ << caption;
      return pickAnswer_;
    });
  }

  void Finish() override { SetFolderPickerHook({}); }

  // The main window with 甲类 selected.
  std::unique_ptr<TMainForm> FormOnJia() {
    auto form = MakeForm();
    if (!form) return nullptr;
    const auto found = Tree(*form)->findItems(QStringLiteral("甲类"), Qt::MatchExactly | Qt::MatchRecursive);
    if (found.size() != 1) return nullptr;
    Tree(*form)->setCurrentItem(found.first());
    return form;
  }

  // Opens the record through the list and 编辑; the editor that came, or
  // null.
  static TEditForm* Open(TMainForm& form, RowId id) {
    TEditForm* opened = nullptr;
    const auto conn = QObject::connect(&form, &TMainForm::editorOpened, &form, [&](TEditForm* ed) { opened = ed; });
    if (form.Records()->locate(id)) Action(&form, "actOpenRecord")->trigger();
    QObject::disconnect(conn);
    return opened;
  }

  // The record's title as stored, or a null string when it is not in the
  // folder (outside the bin).
  static QString StoredTitle(TMainForm& form, RowId folder, RowId id) {
    CasebookStore& s = form.Store();
    s.ListFolderRecords(folder);
    const int row = s.records()->rowOfId(id);
    return row < 0 ? QString() : s.records()->title(row);
  }

 private slots:
  // Several records open at once, each in its own editor; the main window
  // goes on working beside them (another folder, the preview); opening a
  // record that is open brings its editor forward instead of a second one.
  void severalEditorsBesideTheMainWindow() {
    auto form = FormOnJia();
    QVERIFY(form);
    QPointer<TEditForm> one = Open(*form, first_);
    QVERIFY(one);
    QVERIFY(!one->isModal());
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(QTest::qWaitForWindowExposed(one));
    QPointer<TEditForm> two = Open(*form, second_);
    QVERIFY(two);
    QVERIFY(two != one);
    QCOMPARE(form->Editors(), (QList<TEditForm*>{one, two}));
    QCOMPARE(one->edtBT()->text(), QStringLiteral("一"));
    QCOMPARE(two->edtBT()->text(), QStringLiteral("二"));

    // Reading another record in the preview while both are open.
    QVERIFY(form->Records()->locate(third_));
    QCOMPARE(Preview(*form)->toPlainText(), QStringLiteral("三的正文"));
    const auto other = Tree(*form)->findItems(QStringLiteral("乙类"), Qt::MatchExactly | Qt::MatchRecursive);
    Tree(*form)->setCurrentItem(other.first());
    QCOMPARE(form->Records()->count(), 0);
    const auto back = Tree(*form)->findItems(QStringLiteral("甲类"), Qt::MatchExactly | Qt::MatchRecursive);
    Tree(*form)->setCurrentItem(back.first());

    // The first record again: its editor comes forward, no new one.
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QVERIFY(!Open(*form, first_));
    QCOMPARE(form->Editors().size(), 2);
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(one.data()));

    // Each saves its own record.
    one->edtBT()->setText(QStringLiteral("一改"));
    two->edtBT()->setText(QStringLiteral("二改"));
    QVERIFY(two->Save());
    QVERIFY(one->Save());
    QCOMPARE(StoredTitle(*form, jia_, first_), QStringLiteral("一改"));
    QCOMPARE(StoredTitle(*form, jia_, second_), QStringLiteral("二改"));

    // Closed, an editor is gone, and the record opens anew.
    one->close();
    Settle();
    QVERIFY(!one);
    QCOMPARE(form->Editors(), (QList<TEditForm*>{two}));
    form->ListFolderRecords(jia_);
    QVERIFY(Open(*form, first_));
    QCOMPARE(form->Editors().size(), 2);
    QVERIFY(boxes_->shown.isEmpty());
  }

  // Closing the main window asks about each editor with unsaved changes,
  // 保存 / 不保存 / 取消; 取消 keeps every window open; once all are
  // answered, the editors close with the main window.
  void closingTheMainWindowAsksAboutEachChangedEditor() {
    auto form = FormOnJia();
    QVERIFY(form);
    QPointer<TEditForm> one = Open(*form, first_);
    QPointer<TEditForm> two = Open(*form, second_);
    QPointer<TEditForm> three = Open(*form, third_);
    QVERIFY(one && two && three);
    one->edtBT()->setText(QStringLiteral("一改"));
    three->reText()->setPlainText(QStringLiteral("三改"));

    // 保存 for 一, 取消 for 三: nothing closes; 一 is saved.
    boxes_->answers << skin::Answer::Yes << skin::Answer::Cancel;
    QVERIFY(!form->close());
    QVERIFY(form->isVisible());
    QCOMPARE(boxes_->shown.size(), 2);
    for (const auto& box : boxes_->shown) {
      QCOMPARE(box.text, QStringLiteral("是否保存对当前记录的修改？"));
      QCOMPARE(box.buttons, skin::Buttons::SaveDiscardCancel);
    }
    Settle();
    QVERIFY(one && two && three);
    QVERIFY(one->isVisible() && two->isVisible() && three->isVisible());
    QVERIFY(!one->isDirty());
    QVERIFY(three->isDirty());
    QCOMPARE(three->reText()->toPlainText(), QStringLiteral("三改"));
    QCOMPARE(StoredTitle(*form, jia_, first_), QStringLiteral("一改"));

    // Again: only 三 is asked about now; 不保存 lets everything close.
    boxes_->shown.clear();
    boxes_->answers << skin::Answer::No;
    QVERIFY(form->close());
    QCOMPARE(boxes_->shown.size(), 1);
    Settle();
    QVERIFY(!one && !two && !three);
    form.reset();
    CasebookStore s;
    s.OpenStore(dataDir_);
    s.ListFolderRecords(jia_);
    QVERIFY(s.records()->locate(third_));
    QCOMPARE(s.records()->currentText(), QStringLiteral("三的正文"));
  }

  // A record deleted in the main window while its editor is open: the
  // editor keeps the text; saving asks where to file it (declined: nothing
  // stored, the text stays) and stores it there as a record of its own. The
  // deleted one stays in the recycle bin as it was.
  void recordDeletedWhileOpenIsFiledWhereTheUserSays() {
    auto form = FormOnJia();
    QVERIFY(form);
    QPointer<TEditForm> ed = Open(*form, second_);
    QVERIFY(ed);
    ed->reText()->setPlainText(QStringLiteral("写到一半"));
    QVERIFY(form->Records()->locate(second_));
    boxes_->answers << skin::Answer::Ok;  // 确认要删除吗？
    Action(form.get(), "actDeleteRecord")->trigger();
    QCOMPARE(form->Records()->count(), 2);
    QVERIFY(ed && ed->isVisible());

    pickAnswer_.reset();  // the picker cancelled
    QVERIFY(!ed->Save());
    QCOMPARE(picked_.size(), 1);
    QVERIFY(ed->isDirty());
    QCOMPARE(ed->reText()->toPlainText(), QStringLiteral("写到一半"));
    QCOMPARE(form->Store().FolderRecordCount(yi_), 0);

    pickAnswer_ = yi_;
    QVERIFY(ed->Save());
    QCOMPARE(picked_.size(), 2);
    QVERIFY(!ed->isDirty());
    CasebookStore& s = form->Store();
    s.ListFolderRecords(yi_);
    QCOMPARE(s.records()->count(), 1);
    QCOMPARE(s.records()->id(0), ed->recordId());
    QCOMPARE(s.records()->title(0), QStringLiteral("二"));
    s.records()->first();
    QCOMPARE(s.records()->currentText(), QStringLiteral("写到一半"));
    QCOMPARE(s.RecycledRecordFolder(second_), jia_);  // the deleted one, untouched
    // Saved again, it updates the new record: no second question.
    ed->edtQZR()->setText(QStringLiteral("赵"));
    QVERIFY(ed->Save());
    QCOMPARE(picked_.size(), 2);
    QCOMPARE(s.FolderRecordCount(yi_), 1);
  }

  // A record moved to another folder while its editor is open is saved
  // where it now is; nothing is asked.
  void recordMovedWhileOpenIsSavedWhereItIs() {
    auto form = FormOnJia();
    QVERIFY(form);
    QPointer<TEditForm> ed = Open(*form, first_);
    QVERIFY(ed);
    QCOMPARE(form->Store().MoveRecords({first_}, yi_), 1);
    form->ListFolderRecords(jia_);
    ed->edtBT()->setText(QStringLiteral("一改"));
    QVERIFY(ed->Save());
    QVERIFY(picked_.isEmpty());
    QCOMPARE(ed->recordId(), first_);
    QCOMPARE(StoredTitle(*form, yi_, first_), QStringLiteral("一改"));
    QCOMPARE(StoredTitle(*form, jia_, first_), QString());
  }

  // A new record whose folder is deleted before its first save: saving asks
  // where to file it.
  void newRecordWhoseFolderWasDeleted() {
    auto form = FormOnJia();
    QVERIFY(form);
    TEditForm* opened = nullptr;
    const auto conn = connect(form.get(), &TMainForm::editorOpened, this, [&](TEditForm* e) { opened = e; });
    Action(form.get(), "actNewRecord")->trigger();
    disconnect(conn);
    QPointer<TEditForm> ed = opened;
    QVERIFY(ed);
    ed->edtBT()->setText(QStringLiteral("新的"));
    QVERIFY(form->Store().DeleteFolder(jia_));
    pickAnswer_ = yi_;
    QVERIFY(ed->Save());
    QCOMPARE(picked_.size(), 1);
    QCOMPARE(StoredTitle(*form, yi_, ed->recordId()), QStringLiteral("新的"));
  }

  // The casebook's access reaches open editors: while another program holds
  // the write lock, 保存 is not offered (the text stays editable); once the
  // lock is free it is.
  void readOnlyCasebookReachesOpenEditors() {
    CasebookStore::SetLockRetryMilliseconds(100);
    HeldLock other(dbPath());
    QVERIFY(other.holding());
    auto form = FormOnJia();
    QVERIFY(form);
    QVERIFY(!form->Store().isWritable());
    form->NewRecord();  // the command itself is disabled; the slot still opens one
    QCOMPARE(form->Editors().size(), 1);
    TEditForm* ed = form->Editors().first();
    QVERIFY(!Action(ed, "actSave")->isEnabled());
    QVERIFY(!ed->reText()->isReadOnly());
    other.release();
    QTRY_VERIFY_WITH_TIMEOUT(form->Store().isWritable(), 5000);
    QVERIFY(Action(ed, "actSave")->isEnabled());
    CasebookStore::SetLockRetryMilliseconds(3000);
  }
};

QTEST_MAIN(OpenEditorsTest)
#include "open_editors_test.moc"
