// Pasting into the record editor from another program's clipboard, on a
// real X server (tests/app/xvfb_run.sh): an owner that answers once and
// quits, a clipboard whose owner has gone, owners that change while the
// user edits. xclip stands in for the other program. Nothing may crash,
// and the record's text must come out as the user made it.

#include <QAction>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "casebook_store.h"
#include "edit_form.h"
#include "skin.h"
#include "test_support.h"

namespace {

class Host : public TEditHost {
 public:
  explicit Host(const QString& dir) {
    store.OpenStore(dir);
    folder = store.AddFolder(0, QStringLiteral("卦例"));
  }
  RowId SelectedFolderId() const override { return folder; }
  CasebookStore& Store() override { return store; }
  void ListFolderRecords(RowId id) override { store.ListFolderRecords(id); }

  CasebookStore store;
  RowId folder = 0;
};

QAction* Action(QWidget* w, const char* name) {
  return w->findChild<QAction*>(QString::fromLatin1(name));
}

// Another program owning the clipboard: xclip with a text, answering
// `answers` requests for it (0: until another owner takes over) and then
// quitting.
class Owner {
 public:
  // Starts the owner and waits until this program has noticed it.
  bool Start(const QString& text, int answers) {
    QSignalSpy changed(QGuiApplication::clipboard(), &QClipboard::dataChanged);
    process_.setProgram(QStringLiteral("xclip"));
    process_.setArguments({"-selection", "clipboard", "-target", "UTF8_STRING", "-quiet",
                           "-loops", QString::number(answers)});
    // (-quiet keeps it in the foreground, talking on its error output.)
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(QProcess::nullDevice());
    process_.start();
    if (!process_.waitForStarted(5000)) return false;
    process_.write(text.toUtf8());
    process_.closeWriteChannel();
    return changed.wait(5000);
  }
  // Quits (as a program does that exits after copying) and waits until this
  // program has noticed that the clipboard has no owner any more.
  bool Quit() {
    QSignalSpy changed(QGuiApplication::clipboard(), &QClipboard::dataChanged);
    process_.kill();
    process_.waitForFinished(5000);
    return changed.wait(5000) || Ownerless();
  }
  bool Finished(int ms) {
    return process_.state() == QProcess::NotRunning || process_.waitForFinished(ms);
  }
  ~Owner() {
    process_.kill();
    process_.waitForFinished(5000);
  }
  static bool Ownerless() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data == nullptr || data->formats().isEmpty();
  }

 private:
  QProcess process_;
};

}  // namespace

class PasteTest : public QObject {
  Q_OBJECT

  QTemporaryDir dataDir_;
  std::unique_ptr<Host> host_;
  std::unique_ptr<testing_support::Boxes> boxes_;
  std::unique_ptr<TEditForm> editor_;

  // A shown editor on a stored record; the focus in `field`.
  void OpenEditor(QWidget* (*field)(TEditForm&)) {
    editor_ = std::make_unique<TEditForm>(*host_);
    const RowId id = host_->store.InsertRecord(host_->folder, {QStringLiteral("标题"), QString(), QDate(2026, 1, 2), false, QStringLiteral("原文")});
    editor_->OpenEdit(id, {QStringLiteral("标题"), QString(), QDate(2026, 1, 2), false, QStringLiteral("原文")});
    editor_->show();
    QVERIFY(QTest::qWaitForWindowExposed(editor_.get()));
    editor_->activateWindow();
    QWidget* target = field(*editor_);
    target->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), target);
    if (auto* text = qobject_cast<QPlainTextEdit*>(target)) text->moveCursor(QTextCursor::End);
    if (auto* line = qobject_cast<QLineEdit*>(target)) line->end(false);
  }

  static QWidget* Text(TEditForm& ed) { return ed.reText(); }
  static QWidget* Title(TEditForm& ed) { return ed.edtBT(); }

  static QString Content(QWidget* field) {
    if (auto* text = qobject_cast<QPlainTextEdit*>(field)) return text->toPlainText();
    return qobject_cast<QLineEdit*>(field)->text();
  }

  // Ctrl+V as the user types it, or the menu command "粘贴(&P)".
  void Paste(QWidget* field, bool byKey) {
    if (byKey)
      QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    else
      Action(editor_.get(), "actPaste")->trigger();
  }

 private slots:
  void initTestCase() {
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    testing_support::IsolateSettings();
    skin::ApplyTheme(*qApp);
    QVERIFY(dataDir_.isValid());
    host_ = std::make_unique<Host>(dataDir_.path());
  }

  void init() { boxes_ = std::make_unique<testing_support::Boxes>(); }

  void cleanup() {
    editor_.reset();
    boxes_.reset();
  }

  // The program that copied has quit: the clipboard has no owner. Pasting
  // pastes nothing, by key and by menu, into the text and into the title.
  void pasteWithoutOwner_data() {
    QTest::addColumn<bool>("text");
    QTest::addColumn<bool>("byKey");
    QTest::newRow("text, Ctrl+V") << true << true;
    QTest::newRow("text, 粘贴") << true << false;
    QTest::newRow("title, Ctrl+V") << false << true;
    QTest::newRow("title, 粘贴") << false << false;
  }
  void pasteWithoutOwner() {
    QFETCH(bool, text);
    QFETCH(bool, byKey);
    Owner owner;
    QVERIFY(owner.Start(QStringLiteral("已经走了"), 0));
    OpenEditor(text ? &Text : &Title);
    if (QTest::currentTestFailed()) return;
    QVERIFY(owner.Quit());
    QVERIFY(Owner::Ownerless());
    QWidget* field = QApplication::focusWidget();
    const QString before = Content(field);
    Paste(field, byKey);
    QCOMPARE(Content(field), before);
    QVERIFY(!editor_->isDirty());
    QVERIFY(boxes_->shown.isEmpty());
    // Nothing to paste, so the menu command is off.
    editor_->UpdateEditActions();
    QVERIFY(!Action(editor_.get(), "actPaste")->isEnabled());
  }

  // A program that hands its text over once and quits: the paste gets it,
  // whether it is typed or chosen from the menu.
  void pasteFromAnOwnerThatAnswersOnce_data() {
    QTest::addColumn<bool>("text");
    QTest::addColumn<bool>("byKey");
    QTest::newRow("text, Ctrl+V") << true << true;
    QTest::newRow("text, 粘贴") << true << false;
    QTest::newRow("title, Ctrl+V") << false << true;
  }
  void pasteFromAnOwnerThatAnswersOnce() {
    QFETCH(bool, text);
    QFETCH(bool, byKey);
    OpenEditor(text ? &Text : &Title);
    if (QTest::currentTestFailed()) return;
    QWidget* field = QApplication::focusWidget();
    const QString before = Content(field);
    Owner owner;
    QVERIFY(owner.Start(QStringLiteral("甲子　┃ paste"), 1));
    // The editor only looks at what the clipboard offers; the one answer is
    // left for the paste.
    QVERIFY(Action(editor_.get(), "actPaste")->isEnabled());
    QVERIFY(!owner.Finished(200));
    Paste(field, byKey);
    QCOMPARE(Content(field), before + QStringLiteral("甲子　┃ paste"));
    QVERIFY(editor_->isDirty());
    QVERIFY(owner.Finished(5000));
    // Gone now: pasting again pastes nothing.
    QTRY_VERIFY(Owner::Ownerless());
    Paste(field, byKey);
    QCOMPARE(Content(field), before + QStringLiteral("甲子　┃ paste"));
  }

  // Owners come and go while the user edits: every editing command keeps
  // working and the record is saved as edited.
  void editingWhileTheOwnerChanges() {
    OpenEditor(&Text);
    if (QTest::currentTestFailed()) return;
    QPlainTextEdit* text = editor_->reText();
    QAction* paste = Action(editor_.get(), "actPaste");
    {
      Owner first;
      QVERIFY(first.Start(QStringLiteral("一"), 0));
      Paste(text, false);
      Owner second;  // takes over; the first quits
      QVERIFY(second.Start(QStringLiteral("二"), 0));
      QVERIFY(first.Finished(5000));
      Paste(text, true);
      QVERIFY(paste->isEnabled());
      QVERIFY(second.Quit());
      QTRY_VERIFY(!paste->isEnabled());
      // The commands, the gone owner's stale answer included.
      Paste(text, true);
      paste->setEnabled(true);
      Paste(text, false);
    }
    QCOMPARE(text->toPlainText(), QStringLiteral("原文一二"));
    Action(editor_.get(), "actSelectAll")->trigger();
    Action(editor_.get(), "actCopy")->trigger();  // this program owns it now
    QTRY_VERIFY(paste->isEnabled());
    Action(editor_.get(), "actCut")->trigger();
    QCOMPARE(text->toPlainText(), QString());
    Paste(text, true);
    QCOMPARE(text->toPlainText(), QStringLiteral("原文一二"));
    Action(editor_.get(), "actUndo")->trigger();  // the paste
    QCOMPARE(text->toPlainText(), QString());
    Action(editor_.get(), "actUndo")->trigger();  // the cut
    QCOMPARE(text->toPlainText(), QStringLiteral("原文一二"));
    QVERIFY(editor_->Save());
    host_->store.ListFolderRecords(host_->folder);
    QVERIFY(host_->store.records()->locate(editor_->recordId()));
    QCOMPARE(host_->store.records()->currentText(), QStringLiteral("原文一二"));
  }
};

QTEST_MAIN(PasteTest)
#include "paste_test.moc"
