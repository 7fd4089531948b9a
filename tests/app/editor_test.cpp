// The record editor on a real casebook: dirty flag, the date rule, saving
// (insert, then update), the close query, the editing commands and the
// chart commands' hooks.

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include "casebook_store.h"
#include "edit_form.h"
#include "skin.h"
#include "test_support.h"

namespace {

// Stands in for the main window: a real store, a selected folder, and a log
// of the re-listings and chart commands the editor asks for.
class Host : public TEditHost {
 public:
  explicit Host(const QString& dir) { store.OpenStore(dir); }
  RowId SelectedFolderId() const override { return folder; }
  CasebookStore& Store() override { return store; }
  void ListFolderRecords(RowId folderId) override {
    listed.append(folderId);
    store.ListFolderRecords(folderId);
  }
  bool RunChart(TEditForm& editor, ChartKind kind) override {
    charts.append(kind);
    if (chartText.isEmpty()) return false;
    editor.InsertChartText(chartText);
    return true;
  }

  CasebookStore store;
  RowId folder = -1;
  QList<RowId> listed;
  QList<ChartKind> charts;
  QString chartText;
};

QAction* Action(QWidget* w, const char* name) {
  return w->findChild<QAction*>(QString::fromLatin1(name));
}

int RecordCount(CasebookStore& store, RowId folder) {
  store.ListFolderRecords(folder);
  return store.records()->count();
}

}  // namespace

class EditorTest : public QObject {
  Q_OBJECT

  QTemporaryDir dataDir_;
  std::unique_ptr<Host> host_;
  std::unique_ptr<testing_support::Boxes> boxes_;
  RowId folder_ = 0;

 private slots:
  void initTestCase() {
    testing_support::IsolateSettings();
    skin::ApplyTheme(*qApp);
    QVERIFY(dataDir_.isValid());
  }

  void init() {
    host_ = std::make_unique<Host>(dataDir_.path());
    folder_ = host_->store.AddFolder(0, QStringLiteral("案例"));
    host_->folder = folder_;
    boxes_ = std::make_unique<testing_support::Boxes>();
  }

  void cleanup() {
    boxes_.reset();
    host_.reset();
    QFile::remove(QDir(dataDir_.path()).filePath(CasebookStore::DatabaseFileName()));
  }

  void selectorsAndCaptions() {
    TEditForm ed(*host_);
    // Years 1920 to 2050, so that cases of today can be dated.
    QCOMPARE(ed.cbYear()->count(), 131);
    QCOMPARE(ed.cbYear()->itemText(0), QStringLiteral("1920"));
    QCOMPARE(ed.cbYear()->itemText(130), QStringLiteral("2050"));
    QCOMPARE(ed.cbMonth()->count(), 12);
    QCOMPARE(ed.cbMonth()->itemText(11), QStringLiteral("12"));
    QCOMPARE(ed.cbDay()->count(), 31);
    QCOMPARE(ed.cbDay()->itemText(30), QStringLiteral("31"));
    QVERIFY(!ed.cbYear()->isEditable());

    ed.OpenNew(QDate(2026, 3, 15));
    QCOMPARE(ed.windowTitle(), QStringLiteral("新建"));
    QCOMPARE(ed.cbYear()->currentText(), QStringLiteral("2026"));
    QCOMPARE(ed.cbMonth()->currentText(), QStringLiteral("3"));
    QCOMPARE(ed.cbDay()->currentText(), QStringLiteral("15"));
    QVERIFY(!ed.isDirty());
    QVERIFY(!ed.isEditMode());

    TEditForm ed2(*host_);
    ed2.OpenEdit(7, {QStringLiteral("标题"), QStringLiteral("张三"), QDate(1999, 12, 31), true, QStringLiteral("一\r\n二")});
    QCOMPARE(ed2.windowTitle(), QStringLiteral("编辑"));
    QCOMPARE(ed2.edtBT()->text(), QStringLiteral("标题"));
    QCOMPARE(ed2.edtQZR()->text(), QStringLiteral("张三"));
    QVERIFY(ed2.cbFK()->isChecked());
    QCOMPARE(ed2.reText()->toPlainText(), QStringLiteral("一\n二"));
    QCOMPARE(ed2.RecordText(), QStringLiteral("一\r\n二"));
    QCOMPARE(ed2.cbYear()->currentIndex(), 1999 - 1920);
    QCOMPARE(ed2.cbMonth()->currentIndex(), 11);
    QCOMPARE(ed2.cbDay()->currentIndex(), 30);
    QVERIFY(!ed2.isDirty());  // filling does not count as a change
    QVERIFY(ed2.isEditMode());
    QCOMPARE(ed2.recordId(), RowId(7));
  }

  void setDate_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::newRow("first") << QDate(1920, 1, 1) << 0 << 0 << 0;
    QTest::newRow("2026") << QDate(2026, 7, 9) << 106 << 6 << 8;
    QTest::newRow("last") << QDate(2050, 12, 31) << 130 << 11 << 30;
    QTest::newRow("before list") << QDate(1919, 5, 6) << -1 << 4 << 5;
    QTest::newRow("after list") << QDate(2051, 5, 6) << -1 << 4 << 5;
    QTest::newRow("no date") << QDate() << -1 << -1 << -1;
  }

  void setDate() {
    QFETCH(QDate, date);
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    TEditForm ed(*host_);
    ed.OpenNew(QDate(2000, 1, 1));
    ed.SetDate(date);
    QCOMPARE(ed.cbYear()->currentIndex(), year);
    QCOMPARE(ed.cbMonth()->currentIndex(), month);
    QCOMPARE(ed.cbDay()->currentIndex(), day);
    QVERIFY(!ed.isDirty());  // set by program
  }

  // Year = 1920 + index, month and day = index + 1. Selectors the user set
  // to no date give nothing, with a message that names the wrong date, and
  // the focus goes to the selector to mend.
  void dateFromSelectors_data() {
    QTest::addColumn<int>("yearIndex");
    QTest::addColumn<int>("monthIndex");
    QTest::addColumn<int>("dayIndex");
    QTest::addColumn<QDate>("expected");  // null: no date, with the message
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("mend");    // the selector that gets the focus
    QTest::newRow("2026-05-01") << 106 << 4 << 0 << QDate(2026, 5, 1) << QString() << QString();
    QTest::newRow("2050-12-31") << 130 << 11 << 30 << QDate(2050, 12, 31) << QString() << QString();
    QTest::newRow("leap 2024-02-29") << 104 << 1 << 28 << QDate(2024, 2, 29) << QString() << QString();
    QTest::newRow("leap 2000-02-29") << 80 << 1 << 28 << QDate(2000, 2, 29) << QString() << QString();
    QTest::newRow("2023-02-29") << 103 << 1 << 28 << QDate() << QStringLiteral("2023年2月29日不存在，请检查日期。")
                                << QStringLiteral("cbDay");
    QTest::newRow("2023-02-30") << 103 << 1 << 29 << QDate() << QStringLiteral("2023年2月30日不存在，请检查日期。")
                                << QStringLiteral("cbDay");
    QTest::newRow("1921-02-29") << 1 << 1 << 28 << QDate() << QStringLiteral("1921年2月29日不存在，请检查日期。")
                                << QStringLiteral("cbDay");
    QTest::newRow("2026-04-31") << 106 << 3 << 30 << QDate() << QStringLiteral("2026年4月31日不存在，请检查日期。")
                                << QStringLiteral("cbDay");
    QTest::newRow("no year") << -1 << 0 << 0 << QDate() << QStringLiteral("日期不完整，请选择年、月、日。")
                             << QStringLiteral("cbYear");
    QTest::newRow("no month") << 106 << -1 << 0 << QDate() << QStringLiteral("日期不完整，请选择年、月、日。")
                              << QStringLiteral("cbMonth");
    QTest::newRow("no day") << 106 << 0 << -1 << QDate() << QStringLiteral("日期不完整，请选择年、月、日。")
                            << QStringLiteral("cbDay");
  }

  void dateFromSelectors() {
    QFETCH(int, yearIndex);
    QFETCH(int, monthIndex);
    QFETCH(int, dayIndex);
    QFETCH(QDate, expected);
    QFETCH(QString, message);
    QFETCH(QString, mend);
    TEditForm ed(*host_);
    ed.OpenNew(QDate(2000, 1, 1));
    ed.show();
    QVERIFY(QTest::qWaitForWindowActive(&ed));
    ed.edtBT()->setFocus();
    ed.cbYear()->setCurrentIndex(yearIndex);
    ed.cbMonth()->setCurrentIndex(monthIndex);
    ed.cbDay()->setCurrentIndex(dayIndex);
    const std::optional<QDate> got = ed.DateFromSelectors();
    if (expected.isValid()) {
      QVERIFY(got.has_value());
      QCOMPARE(*got, expected);
      QVERIFY(boxes_->shown.isEmpty());
    } else {
      QVERIFY(!got.has_value());
      QCOMPARE(boxes_->shown.size(), 1);
      QCOMPARE(boxes_->shown[0].text, message);
      QCOMPARE(boxes_->shown[0].caption, QStringLiteral("Hexalore"));
      QCOMPARE(boxes_->shown[0].buttons, skin::Buttons::Ok);
      QCOMPARE(QApplication::focusWidget()->objectName(), mend);
    }
  }

  // A date that does not exist stops the save: nothing is written, the
  // record keeps its real date, and the editor keeps what was typed.
  void badDateSavesNothing() {
    const RowId id = host_->store.InsertRecord(folder_, {QStringLiteral("旧题"), QStringLiteral("某"), QDate(2020, 5, 6), false, QStringLiteral("旧文")});
    TEditForm ed(*host_);
    ed.OpenEdit(id, {QStringLiteral("旧题"), QStringLiteral("某"), QDate(2020, 5, 6), false, QStringLiteral("旧文")});
    ed.show();
    QVERIFY(QTest::qWaitForWindowActive(&ed));
    ed.edtBT()->setText(QStringLiteral("新题"));
    ed.cbYear()->setCurrentIndex(2023 - 1920);
    ed.cbMonth()->setCurrentIndex(1);
    ed.cbDay()->setCurrentIndex(29);
    QVERIFY(!ed.Save());
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].text, QStringLiteral("2023年2月30日不存在，请检查日期。"));
    QCOMPARE(QApplication::focusWidget(), ed.cbDay());
    QVERIFY(ed.isDirty());
    host_->store.ListFolderRecords(folder_);
    QVERIFY(host_->store.records()->locate(id));
    QCOMPARE(host_->store.records()->currentDate(), QDate(2020, 5, 6));
    QCOMPARE(host_->store.records()->currentTitle(), QStringLiteral("旧题"));
    QCOMPARE(ed.cbDay()->currentIndex(), 29);  // the editor shows what the user chose

    // Mended, it saves.
    ed.cbDay()->setCurrentIndex(27);
    QVERIFY(ed.Save());
    host_->store.ListFolderRecords(folder_);
    QVERIFY(host_->store.records()->locate(id));
    QCOMPARE(host_->store.records()->currentDate(), QDate(2023, 2, 28));
  }

  // A date the lists cannot show (before 1920, after 2050) or no date at all
  // stays the record's date as long as the user leaves the selectors alone.
  void untouchedDateIsKept_data() {
    QTest::addColumn<QDate>("date");
    QTest::newRow("1910-03-04") << QDate(1910, 3, 4);
    QTest::newRow("2060-01-01") << QDate(2060, 1, 1);
    QTest::newRow("no date") << QDate();
  }

  void untouchedDateIsKept() {
    QFETCH(QDate, date);
    const RowId id = host_->store.InsertRecord(folder_, {QStringLiteral("题"), QString(), date, false, QStringLiteral("文")});
    TEditForm ed(*host_);
    ed.OpenEdit(id, {QStringLiteral("题"), QString(), date, false, QStringLiteral("文")});
    ed.reText()->setPlainText(QStringLiteral("改过的文"));
    QVERIFY(ed.Save());
    QVERIFY(boxes_->shown.isEmpty());
    host_->store.ListFolderRecords(folder_);
    QVERIFY(host_->store.records()->locate(id));
    QCOMPARE(host_->store.records()->currentDate(), date);
    QCOMPARE(host_->store.records()->currentText(), QStringLiteral("改过的文"));
  }

  // Every kind of change marks the record dirty, in both modes.
  void dirtyFlag_data() {
    QTest::addColumn<int>("change");
    QTest::addColumn<bool>("editMode");
    const char* names[] = {"title", "querent", "text", "feedback", "year", "month", "day"};
    for (int edit = 0; edit < 2; ++edit)
      for (int c = 0; c < 7; ++c)
        QTest::addRow("%s/%s", edit ? "edit" : "new", names[c]) << c << bool(edit);
  }

  void dirtyFlag() {
    QFETCH(int, change);
    QFETCH(bool, editMode);
    TEditForm ed(*host_);
    if (editMode)
      ed.OpenEdit(1, {QStringLiteral("t"), QStringLiteral("q"), QDate(2001, 2, 3), false, QStringLiteral("x")});
    else
      ed.OpenNew(QDate(2001, 2, 3));
    ed.show();
    QVERIFY(!ed.isDirty());
    switch (change) {
      case 0: testing_support::TypeText(ed.edtBT(), QStringLiteral("a")); break;
      case 1: testing_support::TypeText(ed.edtQZR(), QStringLiteral("b")); break;
      case 2: testing_support::TypeText(ed.reText(), QStringLiteral("c")); break;
      case 3: QTest::mouseClick(ed.cbFK(), Qt::LeftButton); break;
      case 4: ed.cbYear()->setCurrentIndex(5); break;
      case 5: ed.cbMonth()->setCurrentIndex(5); break;
      case 6: ed.cbDay()->setCurrentIndex(5); break;
    }
    QVERIFY(ed.isDirty());
  }

  // A new record's first save inserts it; every later save updates it.
  void saveInsertsThenUpdates() {
    TEditForm ed(*host_);
    ed.OpenNew(QDate(2026, 1, 2));
    ed.edtBT()->setText(QStringLiteral("失物"));
    ed.edtQZR()->setText(QStringLiteral("李四"));
    ed.reText()->setPlainText(QStringLiteral("第一行\n第二行"));
    QVERIFY(ed.isDirty());
    QVERIFY(ed.Save());
    QVERIFY(!ed.isDirty());
    QVERIFY(ed.isEditMode());
    QCOMPARE(ed.windowTitle(), QStringLiteral("新建"));  // the caption stays
    const RowId id = ed.recordId();
    QVERIFY(id > 0);
    QCOMPARE(host_->listed, QList<RowId>{folder_});
    RecordList* list = host_->store.records();
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->currentId(), id);
    QCOMPARE(list->currentTitle(), QStringLiteral("失物"));
    QCOMPARE(list->currentQuerent(), QStringLiteral("李四"));
    QCOMPARE(list->currentDate(), QDate(2026, 1, 2));
    QCOMPARE(list->currentFeedback().value_or(false), false);
    QCOMPARE(list->currentFolder(), folder_);
    QCOMPARE(list->currentText(), QStringLiteral("第一行\r\n第二行"));

    ed.edtBT()->setText(QStringLiteral("失物已得"));
    ed.cbFK()->setChecked(true);
    QVERIFY(ed.Save());
    QCOMPARE(ed.recordId(), id);
    QCOMPARE(RecordCount(host_->store, folder_), 1);
    list = host_->store.records();
    QCOMPARE(list->currentId(), id);
    QCOMPARE(list->currentTitle(), QStringLiteral("失物已得"));
    QCOMPARE(list->currentFeedback().value_or(false), true);
    QVERIFY(boxes_->shown.isEmpty());
  }

  // After a save the list's current row is the saved record, also when it
  // is not the newest one.
  void saveKeepsTheSavedRowCurrent() {
    CasebookStore& s = host_->store;
    const RowId a = s.InsertRecord(folder_, {QStringLiteral("a"), {}, QDate(2020, 1, 1), false, {}});
    s.InsertRecord(folder_, {QStringLiteral("b"), {}, QDate(2020, 1, 1), false, {}});
    s.InsertRecord(folder_, {QStringLiteral("c"), {}, QDate(2020, 1, 1), false, {}});
    TEditForm ed(*host_);
    ed.OpenEdit(a, {QStringLiteral("a"), {}, QDate(2020, 1, 1), false, {}});
    ed.edtBT()->setText(QStringLiteral("a2"));
    QVERIFY(ed.Save());
    QCOMPARE(s.records()->count(), 3);
    QCOMPARE(s.records()->currentRow(), 2);  // oldest of three, newest first
    QCOMPARE(s.records()->currentId(), a);
  }

  // A record opened from another folder (a search result) is updated in
  // place; the list shows the selected folder with its first row current.
  void saveOfARecordFromAnotherFolder() {
    CasebookStore& s = host_->store;
    const RowId other = s.AddFolder(0, QStringLiteral("其他"));
    const RowId elsewhere = s.InsertRecord(other, {QStringLiteral("x"), {}, QDate(2020, 1, 1), false, {}});
    const RowId here = s.InsertRecord(folder_, {QStringLiteral("h"), {}, QDate(2020, 1, 1), false, {}});
    TEditForm ed(*host_);
    ed.OpenEdit(elsewhere, {QStringLiteral("x"), {}, QDate(2020, 1, 1), false, {}});
    ed.edtBT()->setText(QStringLiteral("x2"));
    QVERIFY(ed.Save());
    QVERIFY(ed.Save());
    QCOMPARE(s.records()->count(), 1);
    QCOMPARE(s.records()->currentId(), here);
    s.ListFolderRecords(other);
    QCOMPARE(s.records()->count(), 1);
    QCOMPARE(s.records()->currentId(), elsewhere);
    QCOMPARE(s.records()->currentTitle(), QStringLiteral("x2"));
  }

  // A new record with a date that does not exist is not inserted at all.
  void newRecordWithAnInvalidDateIsNotInserted() {
    TEditForm ed(*host_);
    ed.OpenNew(QDate(2026, 1, 1));
    ed.edtBT()->setText(QStringLiteral("t"));
    ed.cbMonth()->setCurrentIndex(1);
    ed.cbDay()->setCurrentIndex(29);  // 2月30日
    QVERIFY(!ed.Save());
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].text, QStringLiteral("2026年2月30日不存在，请检查日期。"));
    QVERIFY(!ed.isEditMode());
    QVERIFY(ed.isDirty());
    QCOMPARE(RecordCount(host_->store, folder_), 0);
  }

  void saveNeedsAFolder() {
    host_->folder = 0;  // the root
    TEditForm ed(*host_);
    ed.OpenNew(QDate(2026, 1, 1));
    ed.edtBT()->setText(QStringLiteral("t"));
    QVERIFY(!ed.Save());
    QVERIFY(ed.isDirty());
    QVERIFY(!ed.isEditMode());
    QCOMPARE(RecordCount(host_->store, folder_), 0);
  }

  // A store error is shown with its own text; the editor keeps its content.
  void saveShowsStoreErrors() {
    TEditForm ed(*host_);
    ed.OpenNew(QDate(2026, 1, 1));
    ed.edtBT()->setText(QStringLiteral("t"));
    host_->store.close();
    QVERIFY(!ed.Save());
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].caption, QStringLiteral("Hexalore"));
    QVERIFY(!boxes_->shown[0].text.isEmpty());
    QVERIFY(ed.isDirty());
    QVERIFY(!ed.isEditMode());
    QCOMPARE(ed.edtBT()->text(), QStringLiteral("t"));
  }

  // The close query: a clean editor closes without a word; a dirty one asks
  // "是否保存对当前记录的修改？" and 是 saves, 否 discards, 取消 stays.
  void closeQuery_data() {
    QTest::addColumn<bool>("touch");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<int>("stored");
    QTest::newRow("untouched") << false << -1 << true << 0;
    QTest::newRow("yes") << true << int(skin::Answer::Yes) << true << 1;
    QTest::newRow("no") << true << int(skin::Answer::No) << true << 0;
    QTest::newRow("cancel") << true << int(skin::Answer::Cancel) << false << 0;
  }

  void closeQuery() {
    QFETCH(bool, touch);
    QFETCH(int, answer);
    QFETCH(bool, closed);
    QFETCH(int, stored);
    TEditForm ed(*host_);
    ed.OpenNew(QDate(2026, 1, 1));
    ed.show();
    QVERIFY(QTest::qWaitForWindowExposed(&ed));
    if (touch) testing_support::TypeText(ed.reText(), QStringLiteral("断语"));
    if (answer >= 0) boxes_->answers << skin::Answer(answer);
    Action(&ed, "actClose")->trigger();
    QCOMPARE(boxes_->shown.size(), touch ? 1 : 0);
    if (touch) {
      QCOMPARE(boxes_->shown[0].caption, QStringLiteral("确认"));
      QCOMPARE(boxes_->shown[0].text, QStringLiteral("是否保存对当前记录的修改？"));
      QCOMPARE(boxes_->shown[0].buttons, skin::Buttons::YesNoCancel);
    }
    QCOMPARE(!ed.isVisible(), closed);
    QCOMPARE(RecordCount(host_->store, folder_), stored);
    if (!closed) {
      // Still open with its text; closing again with 否 lets it go.
      QCOMPARE(ed.reText()->toPlainText(), QStringLiteral("断语"));
      boxes_->answers << skin::Answer::No;
      ed.close();
      QVERIFY(!ed.isVisible());
    }
  }

  // The title bar's close button goes through the same query; Escape does
  // not close the editor.
  void titleBarCloseAsksAndEscapeDoesNothing() {
    TEditForm ed(*host_);
    ed.OpenEdit(1, {QStringLiteral("t"), {}, QDate(2020, 1, 1), false, QStringLiteral("x")});
    ed.show();
    QVERIFY(QTest::qWaitForWindowExposed(&ed));
    QTest::keyClick(&ed, Qt::Key_Escape);
    QVERIFY(ed.isVisible());
    ed.cbFK()->setChecked(true);
    boxes_->answers << skin::Answer::Cancel;
    QVERIFY(!ed.close());
    QVERIFY(ed.isVisible());
    QCOMPARE(boxes_->shown.size(), 1);
  }

  void chartCommandsAreInMenuAndToolbar() {
    TEditForm ed(*host_);
    struct Cmd {
      const char* name;
      const char* text;
      QKeySequence key;
      ChartKind kind;
      bool inMenu;
    };
    const Cmd cmds[] = {
        {"actBazi", "八字(&B)", QKeySequence(Qt::CTRL | Qt::Key_B), ChartKind::Bazi, true},
        {"actZiwei", "紫微(&I)", QKeySequence(Qt::CTRL | Qt::Key_I), ChartKind::Ziwei, true},
        {"actLiuyao", "六爻(&L)", QKeySequence(Qt::CTRL | Qt::Key_L), ChartKind::Liuyao, true},
        {"actQimen", "奇门(&Q)", QKeySequence(Qt::CTRL | Qt::Key_Q), ChartKind::Qimen, true},
        {"actLiuren", "六壬(&R)", QKeySequence(Qt::CTRL | Qt::Key_R), ChartKind::Liuren, true},
        {"actXuankong", "玄空(&X)", QKeySequence(), ChartKind::Xuankong, true},
    };
    auto* chartMenu = ed.findChild<QMenu*>(QStringLiteral("mnuChart"));
    QVERIFY(chartMenu);
    QCOMPARE(chartMenu->title(), QStringLiteral("排盘(&P)"));
    for (const Cmd& c : cmds) {
      QAction* act = Action(&ed, c.name);
      QVERIFY2(act, c.name);
      QCOMPARE(act->text(), QString::fromUtf8(c.text));
      QCOMPARE(act->shortcut(), c.key);
      QCOMPARE(chartMenu->actions().contains(act), c.inMenu);
      host_->charts.clear();
      act->trigger();
      QCOMPARE(host_->charts, QList<ChartKind>{c.kind});
    }
    // Toolbar: 保存, a separator, 八字 紫微 六爻 奇门 六壬 玄空.
    QStringList captions;
    for (QAction* a : ed.toolBar()->actions())
      captions << (a->isSeparator() ? QStringLiteral("|") : a->iconText());
    QCOMPARE(captions, (QStringList{"保存", "|", "八字", "紫微", "六爻", "奇门", "六壬", "玄空"}));
  }

  // A chart goes above the first line, followed by a line break, and makes
  // the record dirty.
  void chartTextGoesOnTop() {
    TEditForm ed(*host_);
    ed.OpenEdit(1, {QStringLiteral("t"), {}, QDate(2020, 1, 1), false, QStringLiteral("旧文\r\n第二行")});
    QVERIFY(!ed.isDirty());
    host_->chartText = QStringLiteral("乾造　━━━\r\n┃　甲子");
    Action(&ed, "actBazi")->trigger();
    QVERIFY(ed.isDirty());
    QCOMPARE(ed.RecordText(), QStringLiteral("乾造　━━━\r\n┃　甲子\r\n旧文\r\n第二行"));
  }

  void fieldsRefuseTooManyBytes() {
    TEditForm ed(*host_);
    ed.OpenNew(QDate(2026, 1, 1));
    testing_support::TypeText(ed.edtBT(), QString(60, QChar(0x7532)));
    QCOMPARE(ed.edtBT()->text(), QString(50, QChar(0x7532)));  // 100 bytes
    testing_support::TypeText(ed.edtQZR(), QStringLiteral("abcdefghij") + QString(6, QChar(0x4e59)));
    QCOMPARE(ed.edtQZR()->text(), QStringLiteral("abcdefghij") + QString(5, QChar(0x4e59)));
  }

  // Undo, cut, copy, paste and select all act on the focused text control
  // and are available only when they can act.
  void editingCommands() {
    TEditForm ed(*host_);
    ed.OpenNew(QDate(2026, 1, 1));
    ed.show();
    QVERIFY(QTest::qWaitForWindowActive(&ed));
    QAction* undo = Action(&ed, "actUndo");
    QAction* cut = Action(&ed, "actCut");
    QAction* copy = Action(&ed, "actCopy");
    QAction* paste = Action(&ed, "actPaste");
    QAction* all = Action(&ed, "actSelectAll");
    auto state = [&] {
      return QList<bool>{undo->isEnabled(), cut->isEnabled(), copy->isEnabled(),
                         paste->isEnabled(), all->isEnabled()};
    };
    QGuiApplication::clipboard()->clear();

    ed.edtBT()->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), ed.edtBT());
    QCOMPARE(state(), (QList<bool>{false, false, false, false, false}));
    testing_support::TypeText(ed.edtBT(), QStringLiteral("甲乙"));
    QCOMPARE(state(), (QList<bool>{true, false, false, false, true}));
    all->trigger();
    QCOMPARE(ed.edtBT()->selectedText(), QStringLiteral("甲乙"));
    QCOMPARE(state(), (QList<bool>{true, true, true, false, true}));
    copy->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("甲乙"));
    QCOMPARE(state(), (QList<bool>{true, true, true, true, true}));

    // The text area: its own undo and selection.
    ed.reText()->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ed.reText()));
    QCOMPARE(state(), (QList<bool>{false, false, false, true, false}));
    paste->trigger();
    QCOMPARE(ed.reText()->toPlainText(), QStringLiteral("甲乙"));
    QCOMPARE(state(), (QList<bool>{true, false, false, true, true}));
    all->trigger();
    cut->trigger();
    QCOMPARE(ed.reText()->toPlainText(), QString());
    QCOMPARE(state(), (QList<bool>{true, false, false, true, false}));
    undo->trigger();
    QCOMPARE(ed.reText()->toPlainText(), QStringLiteral("甲乙"));

    // A date selector has the focus: nothing to act on.
    ed.cbYear()->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ed.cbYear()));
    QCOMPARE(state(), (QList<bool>{false, false, false, false, false}));
    QGuiApplication::clipboard()->clear();
  }

  // Alt+E opens 编辑 from the keyboard: the menu bar takes the focus, yet
  // the commands follow the text control the user was in, as they do when
  // the menu is opened with the mouse. Then Escape, and the title field.
  void editMenuFromTheKeyboardFollowsTheText() {
    TEditForm ed(*host_);
    ed.OpenNew(QDate(2026, 1, 1));
    ed.show();
    QVERIFY(QTest::qWaitForWindowActive(&ed));
    QGuiApplication::clipboard()->setText(QStringLiteral("丙"));
    ed.reText()->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ed.reText()));
    testing_support::TypeText(ed.reText(), QStringLiteral("甲乙"));
    ed.reText()->selectAll();
    auto* menu = ed.menuBar()->findChild<QMenu*>(QStringLiteral("mnuEdit"));
    QVERIFY(menu);
    auto enabled = [menu] {
      QStringList on;
      for (QAction* a : menu->actions())
        if (!a->isSeparator() && a->isEnabled()) on << a->objectName();
      return on;
    };
    QTest::keyClick(&ed, Qt::Key_E, Qt::AltModifier);
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(enabled(), (QStringList{"actUndo", "actCut", "actCopy", "actPaste", "actSelectAll"}));
    // Ctrl+X's command from the open menu acts on the text.
    QTest::keyClick(menu, Qt::Key_T);
    QTRY_VERIFY(!menu->isVisible());
    QCOMPARE(ed.reText()->toPlainText(), QString());
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ed.reText()));

    // The empty title: only paste can act there.
    ed.edtBT()->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), ed.edtBT());
    QTest::keyClick(&ed, Qt::Key_E, Qt::AltModifier);
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(enabled(), (QStringList{"actPaste"}));
    QTest::keyClick(menu, Qt::Key_Escape);
    QTRY_VERIFY(!menu->isVisible());
    QGuiApplication::clipboard()->clear();
  }

  void menusAndSaveCommand() {
    TEditForm ed(*host_);
    QStringList menus;
    for (QAction* a : ed.menuBar()->actions()) menus << a->text();
    QCOMPARE(menus, (QStringList{"文件(&F)", "编辑(&E)", "排盘(&P)"}));
    QCOMPARE(Action(&ed, "actSave")->text(), QStringLiteral("保存(&S)"));
    QCOMPARE(Action(&ed, "actSave")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    QCOMPARE(Action(&ed, "actClose")->text(), QStringLiteral("关闭(&G)"));
    const QList<QPair<const char*, QKeySequence>> edits = {
        {"actUndo", QKeySequence(Qt::CTRL | Qt::Key_Z)}, {"actCut", QKeySequence(Qt::CTRL | Qt::Key_X)},
        {"actCopy", QKeySequence(Qt::CTRL | Qt::Key_C)}, {"actPaste", QKeySequence(Qt::CTRL | Qt::Key_V)},
        {"actSelectAll", QKeySequence(Qt::CTRL | Qt::Key_A)}};
    for (const auto& [name, key] : edits) QCOMPARE(Action(&ed, name)->shortcut(), key);

    ed.OpenNew(QDate(2026, 1, 1));
    ed.show();
    QVERIFY(QTest::qWaitForWindowActive(&ed));
    ed.reText()->setFocus();
    testing_support::TypeText(ed.reText(), QStringLiteral("x"));
    QTest::keyClick(&ed, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(!ed.isDirty());
    QCOMPARE(RecordCount(host_->store, folder_), 1);
  }
};

QTEST_MAIN(EditorTest)
#include "editor_test.moc"
