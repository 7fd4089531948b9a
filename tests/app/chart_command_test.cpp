// The chart commands as the user meets them: the record editor's chart
// actions, the dialogs shown modally, the chart inserted above the record
// text; with the stand-in engine and with the real liborv.so.

#include <dlfcn.h>
#include <iconv.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>
#include <QtTest>
#include <functional>
#include <memory>

#include "casebook_store.h"
#include "chart_dialogs.h"
#include "edit_form.h"
#include "engine_binding.h"
#include "folder_tree.h"
#include "main_form.h"
#include "main_form_parts.h"
#include "skin.h"
#include "bazi_worked_example.h"
#include "liuyao_worked_example.h"
#include "test_support.h"

using namespace main_form_parts;

namespace {

const QString kFakeDir = QStringLiteral(FAKEORV_DIR);
const QString kEngineDir = QStringLiteral(ORV_LIBRARY_DIR);

// Stands in for the main window: a store, a selected folder, the chart
// dialogs made once, and the chart commands bound to the library in `dir`.
class Host : public TEditHost {
 public:
  Host(const QString& dataDir, const QString& libraryDir) {
    store.OpenStore(dataDir);
    folder = store.AddFolder(0, QStringLiteral("案例"));
    TEngineBinding::Options options;
    options.libraryDir = libraryDir;
    binding = std::make_unique<TEngineBinding>(dialogs, options);
  }
  RowId SelectedFolderId() const override { return folder; }
  CasebookStore& Store() override { return store; }
  void ListFolderRecords(RowId id) override { store.ListFolderRecords(id); }
  bool RunChart(TEditForm& editor, ChartKind kind) override {
    return binding->Run(kind, &editor, [&editor](const QString& text) {
      editor.InsertChartText(text);
    }) == ChartOutcome::Inserted;
  }

  CasebookStore store;
  RowId folder = 0;
  TChartDialogs dialogs;
  std::unique_ptr<TEngineBinding> binding;
};

// Answers of earlier tests that are still waiting stop when this changes.
int answerGeneration = 0;

void AnswerDialog(std::function<void(QDialog&)> fill, bool ok, int generation, int attempts) {
  QTimer::singleShot(attempts == 200 ? 0 : 10, qApp, [fill, ok, generation, attempts] {
    if (generation != answerGeneration) return;
    auto* form = qobject_cast<TChartForm*>(QApplication::activeModalWidget());
    if (form == nullptr) {
      if (attempts > 0) AnswerDialog(fill, ok, generation, attempts - 1);
      return;
    }
    if (fill) fill(*form);
    QTest::mouseClick(ok ? form->btnOk() : form->btnCancel(), Qt::LeftButton);
  });
}

// Answers the next chart dialog once it shows modally: fills it, then
// presses "确定" or "取消". Gives up quietly when no dialog comes.
void WhenDialogShows(std::function<void(QDialog&)> fill, bool ok) {
  AnswerDialog(std::move(fill), ok, answerGeneration, 200);
}

void FillBazi(QDialog& dialog, const QString& y, const QString& m, const QString& d,
              const QString& h, bool male) {
  auto& form = static_cast<TBaziForm&>(dialog);
  form.cbYear()->setEditText(y);
  form.cbMonth()->setEditText(m);
  form.cbDay()->setEditText(d);
  form.cbHour()->setEditText(h);
  (male ? form.rbNan() : form.rbNv())->setChecked(true);
  form.rbSolar()->setChecked(true);
}

// Whether the liborv.so in `dir` is still loaded in this process.
bool Loaded(const QString& dir) {
  const QByteArray path = QFile::encodeName(dir + QStringLiteral("/liborv.so"));
  void* handle = dlopen(path.constData(), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  dlclose(handle);
  return true;
}

// Bytes of a text in GBK, by glibc's converter.
int GbkBytes(const QString& text) {
  iconv_t cd = iconv_open("GBK", "UTF-8");
  QByteArray in = text.toUtf8();
  QByteArray out(in.size() * 2 + 4, '\0');
  char* inPtr = in.data();
  char* outPtr = out.data();
  size_t inLeft = size_t(in.size());
  size_t outLeft = size_t(out.size());
  const size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  return done == size_t(-1) ? -1 : int(outPtr - out.data());
}

// The worked Four Pillars chart of a man born 1984-02-04 12:00 (solar), and
// the caption line that names it in the record.
QString WorkedExample() { return QString::fromStdString(fixtures::BaziWorkedExample()); }
const QString kWorkedCaption = QStringLiteral("八字 男 1984-02-04 12:00 阳历\r\n");

}  // namespace

class ChartCommandTest : public QObject {
  Q_OBJECT

  QTemporaryDir dataDir_;
  std::unique_ptr<testing_support::Boxes> boxes_;
  std::unique_ptr<Host> host_;
  std::unique_ptr<TEditForm> editor_;
  const QString existing_ = QStringLiteral("旧的记录\r\n第二行");

  int casebooks_ = 0;

  // An editor on a stored record holding `existing_`, in a new casebook.
  // Checks as it goes: the caller ends the test when it failed.
  void OpenEditor(const QString& libraryDir) {
    editor_.reset();
    host_ = std::make_unique<Host>(
        dataDir_.path() + QStringLiteral("/casebook%1").arg(++casebooks_), libraryDir);
    const RowId id = host_->store.InsertRecord(host_->folder, {QStringLiteral("标题"), QStringLiteral("某人"), QDate(2026, 1, 2), false, existing_});
    editor_ = std::make_unique<TEditForm>(*host_);
    editor_->OpenEdit(id, {QStringLiteral("标题"), QStringLiteral("某人"), QDate(2026, 1, 2), false, existing_});
    editor_->show();
    QVERIFY(QTest::qWaitForWindowExposed(editor_.get()));
    QVERIFY(!editor_->isDirty());
  }

 private slots:
  void initTestCase() {
    testing_support::IsolateSettings();
    skin::ApplyTheme(*qApp);
    QVERIFY(dataDir_.isValid());
  }
  void init() {
    boxes_.reset();  // the old hooks go before the new ones come
    boxes_ = std::make_unique<testing_support::Boxes>();
  }
  void cleanup() {
    ++answerGeneration;
    editor_.reset();
    host_.reset();
    boxes_.reset();
    // After every command, whatever its end, the engine is unloaded.
    QVERIFY(!Loaded(kFakeDir));
    QVERIFY(!Loaded(kEngineDir));
  }

  // A chart goes above the record text under its caption, followed by a
  // line break; the record becomes dirty.
  void insertedAboveTheText() {
    OpenEditor(kFakeDir);
    if (QTest::currentTestFailed()) return;
    WhenDialogShows([](QDialog& d) { FillBazi(d, "1984", "2", "4", "12", true); }, true);
    Action(editor_.get(), "actBazi")->trigger();
    QCOMPARE(editor_->RecordText(),
             QStringLiteral("八字 男 1984-02-04 12:00 阳历\r\n"
                            "测试盘　━━━○ A\r\nStrBazi 1 0 1 1984 2 4 12\r\nbuffer 3000\r\n\r\n") +
                 existing_);
    QVERIFY(editor_->isDirty());
    QVERIFY(boxes_->shown.isEmpty());
  }

  // Every command of the editor reaches its export.
  void everyActionReachesItsExport_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("exportName");
    QTest::newRow("bazi") << "actBazi" << "StrBazi";
    QTest::newRow("ziwei") << "actZiwei" << "StrZiwei";
    QTest::newRow("liuyao") << "actLiuyao" << "StrLiuyao";
    QTest::newRow("qimen") << "actQimen" << "StrQimen";
    QTest::newRow("liuren") << "actLiuren" << "Str6Ren";
    QTest::newRow("xuankong") << "actXuankong" << "StrXuankong";
  }
  void everyActionReachesItsExport() {
    QFETCH(QString, action);
    QFETCH(QString, exportName);
    OpenEditor(kFakeDir);
    if (QTest::currentTestFailed()) return;
    WhenDialogShows({}, true);
    Action(editor_.get(), qPrintable(action))->trigger();
    const QStringList lines = editor_->RecordText().split(QStringLiteral("\r\n"));
    // Under the caption and the stand-in's marker.
    QCOMPARE(lines.value(2).section(QLatin1Char(' '), 0, 0), exportName);
  }

  // Cancel, a refused year, a missing library: the record stays as it was
  // and clean, and the editor goes on working.
  void recordUntouched_data() {
    QTest::addColumn<QString>("dir");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("message");
    QTest::newRow("cancel") << kFakeDir << false << "1984" << QString();
    QTest::newRow("year 2051") << kFakeDir << true << "2051"
                               << "本软件的有效工作范围为1920年至2050年。";
    QTest::newRow("not a number") << kFakeDir << true << "一九八四"
                                  << "年份输入错误：“一九八四”不是整数，请输入数字。";
    QTest::newRow("library missing") << QStringLiteral("/nonexistent-dir") << true << "1984"
                                     << "程序被病毒感染或已损坏，请重新安装 !";
  }
  void recordUntouched() {
    QFETCH(QString, dir);
    QFETCH(bool, confirm);
    QFETCH(QString, year);
    QFETCH(QString, message);
    OpenEditor(dir);
    if (QTest::currentTestFailed()) return;
    // (Without a library no dialog may show; should one come, it is answered.)
    WhenDialogShows([year](QDialog& d) { FillBazi(d, year, "2", "4", "12", true); }, confirm);
    Action(editor_.get(), "actBazi")->trigger();
    QCOMPARE(editor_->RecordText(), existing_);
    QVERIFY(!editor_->isDirty());
    if (message.isEmpty()) {
      QVERIFY(boxes_->shown.isEmpty());
    } else {
      QCOMPARE(boxes_->shown.size(), 1);
      QCOMPARE(boxes_->shown[0].text, message);
    }
    // Still an editor: typing makes the record dirty and it can be saved.
    editor_->reText()->appendPlainText(QStringLiteral("补充"));
    QVERIFY(editor_->isDirty());
    QVERIFY(editor_->Save());
  }

  // The shared Four Pillars / Purple Star dialog says which chart it casts;
  // the others keep their own captions.
  void captionNamesTheChart() {
    OpenEditor(kFakeDir);
    if (QTest::currentTestFailed()) return;
    const struct {
      const char* action;
      const char* caption;
    } cases[] = {{"actBazi", "八字排盘"}, {"actZiwei", "紫微排盘"}, {"actBazi", "八字排盘"},
                 {"actLiuyao", "六爻"},    {"actQimen", "奇门遁甲"}, {"actLiuren", "六壬"},
                 {"actXuankong", "玄空"}};
    for (const auto& c : cases) {
      QString caption;
      WhenDialogShows([&caption](QDialog& d) { caption = d.windowTitle(); }, false);
      Action(editor_.get(), c.action)->trigger();
      QCOMPARE(caption, QString::fromUtf8(c.caption));
    }
  }

  // A new record, too, stays clean when the chart is cancelled.
  void cancelLeavesANewRecordClean() {
    OpenEditor(kFakeDir);
    if (QTest::currentTestFailed()) return;
    editor_ = std::make_unique<TEditForm>(*host_);
    editor_->OpenNew(QDate(2026, 5, 6));
    WhenDialogShows({}, false);
    Action(editor_.get(), "actQimen")->trigger();
    QVERIFY(editor_->RecordText().isEmpty());
    QVERIFY(!editor_->isDirty());
  }

  // The real engine: "八字(&B)" with 1984-02-04 12 男 inserts its caption
  // and the worked example above the existing text; saved, the record holds
  // it.
  void realEngineFourPillars() {
    OpenEditor(kEngineDir);
    if (QTest::currentTestFailed()) return;
    WhenDialogShows([](QDialog& d) { FillBazi(d, "1984", "2", "4", "12", true); }, true);
    Action(editor_.get(), "actBazi")->trigger();
    QVERIFY(boxes_->shown.isEmpty());
    const QString expected = kWorkedCaption + WorkedExample() + QStringLiteral("\r\n") + existing_;
    QCOMPARE(editor_->RecordText(), expected);
    QVERIFY(editor_->isDirty());
    QVERIFY(editor_->Save());
    host_->store.ListFolderRecords(host_->folder);
    RecordList* records = host_->store.records();
    QVERIFY(records->locate(editor_->recordId()));
    QCOMPARE(records->currentText(), expected);
  }

  // The real engine: "六爻(&L)" with the lines 天风姤, its first line old yin,
  // given by hand for 1984-02-10 12:00 (a 甲 day) inserts that chart; in the
  // editor's font every character of its grid starts at the column its GBK
  // bytes give, the line glyphs and marks two columns wide like the Chinese.
  void realEngineSixLines() {
    OpenEditor(kEngineDir);
    if (QTest::currentTestFailed()) return;
    WhenDialogShows(
        [](QDialog& d) {
          auto& form = static_cast<TLiuyaoForm&>(d);
          for (int k = 0; k < 6; ++k) form.cbYao(6 - k)->setCurrentIndex(fixtures::kGouCast[k]);
          form.rbManual()->setChecked(true);
          form.cbYear()->setEditText(QStringLiteral("1984"));
          form.cbMonth()->setEditText(QStringLiteral("2"));
          form.cbDay()->setEditText(QStringLiteral("10"));
          form.cbHour()->setEditText(QStringLiteral("12"));
          form.rbSolar()->setChecked(true);
        },
        true);
    Action(editor_.get(), "actLiuyao")->trigger();
    QVERIFY(boxes_->shown.isEmpty());
    QStringList chart;
    for (const auto& lines : {fixtures::LiuyaoGouHeaderLines(), fixtures::LiuyaoGouGridLines()})
      for (const std::string& line : lines) chart << QString::fromStdString(line);
    QCOMPARE(editor_->RecordText(), QStringLiteral("六爻 手动 1984-02-10 12时\r\n") +
                                        chart.join(QStringLiteral("\r\n")) +
                                        QStringLiteral("\r\n\r\n") + existing_);
    QVERIFY(editor_->isDirty());

    const QFontMetricsF metrics(editor_->reText()->document()->defaultFont());
    const qreal column = metrics.horizontalAdvance(QLatin1Char(' '));
    for (int row = 7; row < chart.size(); ++row) {
      const QString& line = chart[row];
      int bytes = 0;
      for (int i = 0; i <= line.size(); ++i) {
        QVERIFY2(qFuzzyCompare(1 + metrics.horizontalAdvance(line.left(i)), 1 + bytes * column),
                 qPrintable(QStringLiteral("row %1 column %2").arg(row).arg(bytes)));
        if (i < line.size()) bytes += GbkBytes(line.mid(i, 1));
      }
    }
  }

  // The real engine: "奇门(&Q)" with 2000-01-06 10 (转盘, 局 自动). 小寒 falls
  // at 09:00:42 that day, in the same double hour: the engine asks in the
  // 提示 box, and 是 (before the change) draws the chart under 冬至 (癸亥 day,
  // 下元: 阳遁四局) instead of 小寒 (阳遁五局), the month still 丙子.
  void realEngineQimenAsksAtATermChange() {
    OpenEditor(kEngineDir);
    if (QTest::currentTestFailed()) return;
    boxes_->answers = {skin::Answer::Yes};
    WhenDialogShows(
        [](QDialog& d) {
          auto& form = static_cast<TQimenForm&>(d);
          form.cbYear()->setEditText(QStringLiteral("2000"));
          form.cbMonth()->setEditText(QStringLiteral("1"));
          form.cbDay()->setEditText(QStringLiteral("6"));
          form.cbHour()->setEditText(QStringLiteral("10"));
          form.rbSolar()->setChecked(true);
          form.rbTypeZhuan()->setChecked(true);
        },
        true);
    Action(editor_.get(), "actQimen")->trigger();
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].caption, QStringLiteral("提示"));
    QCOMPARE(boxes_->shown[0].text, QStringLiteral("今日09:00交节气，您所用的时间在此之前吗？"));
    QCOMPARE(boxes_->shown[0].buttons, skin::Buttons::YesNoCancel);
    const QStringList record = editor_->RecordText().split(QStringLiteral("\r\n"));
    // The caption names the ju the chart took with that answer.
    QCOMPARE(record.value(0), QStringLiteral("奇门 转盘 阳遁四局（自动） 2000-01-06 10时"));
    const QStringList lines = record.mid(1);
    QCOMPARE(lines.value(0), QStringLiteral("2000年1月6日　冬月三十"));
    QCOMPARE(lines.value(1), QStringLiteral("己卯 丙子 癸亥 丁巳"));
    QCOMPARE(lines.value(3), QStringLiteral("冬至下元　阳遁四局"));
    QCOMPARE(lines.value(6), QStringLiteral("┌─────┬─────┬─────┐"));
    QCOMPARE(lines.value(18), QStringLiteral("└─────┴─────┴─────┘"));
    QCOMPARE(lines.mid(19).join(QStringLiteral("\r\n")), existing_);
    QVERIFY(editor_->isDirty());
  }

  // Opened from the editor in the program, a chart dialog stands over the
  // editor (its window's transient parent is the editor's, not the main
  // window's) and, once closed, hands the keyboard back to the editor:
  // to the text when a chart went there, else where it was.
  void dialogOverTheEditor() {
    QTemporaryDir dir;
    {
      CasebookStore store;
      store.OpenStore(dir.path());
      store.AddFolder(0, QStringLiteral("案例"));
    }
    TMainForm form(dir.path());
    form.showNormal();
    form.resize(1000, 700);
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    Tree(form)->setCurrentItem(
        Tree(form)->findItems(QStringLiteral("案例"), Qt::MatchExactly | Qt::MatchRecursive).first());

    struct Seen {
      bool overEditor = false;
      bool focusBack = false;
    };
    QList<Seen> seen;
    connect(&form, &TMainForm::editorOpened, &form, [&](TEditForm* editor) {
      QTimer::singleShot(0, editor, [&, editor] {
        QVERIFY(QTest::qWaitForWindowActive(editor));
        const struct {
          const char* action;
          bool ok;
        } cases[] = {{"actBazi", true}, {"actQimen", false}, {"actXuankong", true}};
        for (const auto& c : cases) {
          editor->edtBT()->setFocus();  // the user was typing the title
          QTRY_COMPARE(QApplication::focusWidget(), editor->edtBT());
          Seen s;
          WhenDialogShows(
              [&s, editor](QDialog& d) {
                const QWindow* shown = d.windowHandle();
                s.overEditor = d.parentWidget() == editor && shown &&
                               shown->transientParent() == editor->windowHandle();
              },
              c.ok);
          Action(editor, c.action)->trigger();
          QTest::qWait(50);
          // A chart: the keyboard goes to the text that holds it; nothing
          // cast: back where it was.
          QWidget* expected = c.ok ? static_cast<QWidget*>(editor->reText()) : editor->edtBT();
          s.focusBack = QApplication::activeWindow() == editor &&
                        QApplication::focusWidget() == expected;
          seen << s;
        }
        editor->done(QDialog::Rejected);
      });
    });
    boxes_->answers << skin::Answer::No;  // the close question: do not save
    Action(&form, "actNewRecord")->trigger();  // the editor is not modal
    QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 3, 30000);
    for (const Seen& s : seen) {
      QVERIFY(s.overEditor);
      QVERIFY(s.focusBack);
    }
    // Between commands the dialogs belong to the main window again.
    auto* bazi = form.findChild<TBaziForm*>();
    QVERIFY(bazi);
    QCOMPARE(bazi->parentWidget(), &form);
  }

  // The program itself: in the main window, a new record in a folder; in its
  // editor "八字(&B)" with 1984-02-04 12 男 (the real liborv.so beside the
  // program); saved, the record shows in the preview, its grid aligned.
  void mainWindowFourPillars() {
    QTemporaryDir dir;
    {
      CasebookStore store;
      store.OpenStore(dir.path());
      store.AddFolder(0, QStringLiteral("案例"));
    }
    TMainForm form(dir.path());
    form.showNormal();
    form.resize(1000, 700);
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const auto nodes = Tree(form)->findItems(QStringLiteral("案例"),
                                              Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(nodes.size(), 1);
    Tree(form)->setCurrentItem(nodes.first());

    bool opened = false;
    QString recordText;
    bool dirtyAfterChart = false;
    qsizetype listedBeforeSave = 0;
    RowId savedId = 0;
    const QString typed = QStringLiteral("来访者所问：事业。");
    connect(&form, &TMainForm::editorOpened, &form, [&](TEditForm* editor) {
      opened = true;
      QTimer::singleShot(0, editor, [&, editor] {
        editor->reText()->setPlainText(typed);
        WhenDialogShows([](QDialog& d) { FillBazi(d, "1984", "2", "4", "12", true); }, true);
        Action(editor, "actBazi")->trigger();
        recordText = editor->RecordText();
        dirtyAfterChart = editor->isDirty();
        listedBeforeSave = editor->keptCasts()->casts().size();
        editor->Save();
        savedId = editor->recordId();
        editor->close();  // saved: nothing to ask
      });
    });
    Action(&form, "actNewRecord")->trigger();  // the editor is not modal
    QVERIFY(opened);
    QTRY_VERIFY_WITH_TIMEOUT(form.Editors().isEmpty(), 30000);
    QVERIFY(boxes_->shown.isEmpty());
    const QString expected = kWorkedCaption + WorkedExample() + QStringLiteral("\r\n") + typed;
    QCOMPARE(recordText, expected);
    QVERIFY(dirtyAfterChart);

    // The preview shows the stored record.
    QString shown = expected;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QCOMPARE(Preview(form)->toPlainText(), shown);

    // Aligned: in the preview's font every cell of the seven grid lines
    // (under the caption and the two date lines) starts where its column
    // does, 8 byte columns apart, a Chinese character being two columns wide.
    const QFontMetricsF metrics(Preview(form)->document()->defaultFont());
    const qreal column = metrics.horizontalAdvance(QLatin1Char(' '));
    const QStringList lines = shown.split(QLatin1Char('\n'));
    for (int row = 3; row <= 9; ++row) {
      const QString& line = lines[row];
      int bytes = 0;
      for (int i = 0; i < line.size(); ++i) {
        if (bytes > 0 && bytes % 8 == 0)
          QVERIFY2(qFuzzyCompare(metrics.horizontalAdvance(line.left(i)), bytes * column),
                   qPrintable(QStringLiteral("line %1 column %2").arg(row).arg(bytes)));
        bytes += line[i].unicode() < 0x80 ? 1 : 2;
      }
    }

    // The cast behind the chart was listed in the editor and is kept with
    // the saved record: the export's text under the caption, as cast.
    QCOMPARE(listedBeforeSave, qsizetype{1});
    QVERIFY(savedId > 0);
    const QList<ChartCast> casts = form.Store().ListCasts(savedId);
    QCOMPARE(casts.size(), qsizetype{1});
    QCOMPARE(casts.first().method, QStringLiteral("bazi"));
    QCOMPARE(casts.first().correction, QStringLiteral("不校正"));
    QCOMPARE(casts.first().chartText, WorkedExample());
  }
};

QTEST_MAIN(ChartCommandTest)
#include "chart_command_test.moc"
