// The casts kept with a record, in the record editor: a cast made while
// editing waits for the save and is listed after a restart; closing without
// saving drops it; 重新起盘 casts it again with the real liborv.so and says
// whether the text came out the same, or shows both texts side by side.

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTextBlock>
#include <QtTest>

#include <sqlite3.h>

#include <optional>
#include <string>

#include "casebook_store.h"
#include "cast_request.h"
#include "chart_lines.h"
#include "edit_form.h"
#include "engine_binding.h"
#include "engine_library.h"
#include "kept_casts.h"
#include "main_form.h"
#include "main_form_parts.h"
#include "time_correction.h"
#include "window_test.h"

using namespace main_form_parts;

namespace {

const QString kEngineDir = QStringLiteral(ORV_LIBRARY_DIR);

// A real cast, as the Four Pillars dialog makes one for a man born
// 1988-07-15 at 14:30 Beijing time in Urumqi, at true solar time: the
// moment corrected by the client library, the chart cast by liborv.so.
std::optional<ChartCast> RealCast() {
  const timefix::Place* place = timefix::FindPlace("乌鲁木齐");
  if (place == nullptr) return std::nullopt;
  timefix::CorrectionInput in;
  in.clock = {1988, 7, 15, 14, 30, 0};
  in.correction = timefix::Correction::TrueSolar;
  in.placeName = std::string(place->name);
  in.longitude = place->longitude;
  in.zone = std::string(place->zone);
  const timefix::CorrectionResult corrected = timefix::Correct(in);
  if (corrected.status != timefix::CorrectionStatus::Ok) return std::nullopt;
  timefix::CastRequest request = timefix::EmptyRequest(ORV_METHOD_BAZI);
  request.request.solar = 1;
  request.request.male = 1;
  request.request.year = corrected.corrected.year;
  request.request.month = corrected.corrected.month;
  request.request.day = corrected.corrected.day;
  request.request.hour = corrected.corrected.hour;
  request.request.minute = corrected.corrected.minute;
  request.request.second = corrected.corrected.second;
  const TEngineLibrary engine(QFile::encodeName(kEngineDir).toStdString());
  std::string gbk, json;
  if (!engine.loaded() || timefix::CastText(engine, request, gbk) != 0 ||
      timefix::CastJson(engine, request, json) != 0)
    return std::nullopt;
  ChartCast cast;
  cast.method = QStringLiteral("bazi");
  cast.request = QString::fromStdString(timefix::RequestToJson(request));
  cast.clock = QStringLiteral("1988-07-15 14:30");
  cast.place = QString::fromUtf8(place->name.data(), qsizetype(place->name.size()));
  cast.longitude = place->longitude;
  cast.zone = QString::fromUtf8(place->zone.data(), qsizetype(place->zone.size()));
  cast.correction = QStringLiteral("真太阳时");
  const timefix::CivilTime& t = corrected.corrected;
  cast.corrected = QStringLiteral("%1-%2-%3 %4:%5:%6")
                       .arg(t.year)
                       .arg(t.month, 2, 10, QLatin1Char('0'))
                       .arg(t.day, 2, 10, QLatin1Char('0'))
                       .arg(t.hour, 2, 10, QLatin1Char('0'))
                       .arg(t.minute, 2, 10, QLatin1Char('0'))
                       .arg(t.second, 2, 10, QLatin1Char('0'));
  const QByteArray jsonBytes = QByteArray::fromStdString(json);
  cast.chartJson = QString::fromUtf8(jsonBytes);
  const int at = int(jsonBytes.indexOf("\"engine\":\""));
  if (at >= 0) {
    const int from = at + 10;
    cast.engineVersion = QString::fromUtf8(jsonBytes.mid(from, jsonBytes.indexOf('"', from) - from));
  }
  cast.chartText = GbkToUnicode(gbk);
  cast.castAt = QDateTime(QDate(2026, 12, 10), QTime(21, 40));
  return cast;
}

// A host of the editor alone, whose engine library is looked for where the
// test says.
class Host : public TEditHost {
 public:
  Host(const QString& dataDir, const QString& libraryDir) : dir(libraryDir) {
    store.OpenStore(dataDir);
    folder = store.AddFolder(0, QStringLiteral("案例"));
  }
  RowId SelectedFolderId() const override { return folder; }
  CasebookStore& Store() override { return store; }
  void ListFolderRecords(RowId id) override { store.ListFolderRecords(id); }
  QString EngineLibraryDir() const override { return dir; }

  CasebookStore store;
  RowId folder = 0;
  QString dir;
};

QString Cell(const TEditForm& editor, int row, int column) {
  const QTableWidgetItem* item = editor.keptCasts()->table()->item(row, column);
  return item ? item->text() : QString();
}

}  // namespace

class KeptCastsTest : public WindowTest {
  Q_OBJECT

  RowId folder_ = 0;
  std::optional<ChartCast> cast_;

  void PrepareOnce() override { cast_ = RealCast(); }

  void Prepare() override {
    CasebookStore s;
    s.OpenStore(dataDir_);
    folder_ = s.AddFolder(0, QStringLiteral("八字命例"));
  }

  // The main window with the folder selected.
  std::unique_ptr<TMainForm> FormOnFolder() {
    auto form = MakeForm();
    if (!form) return nullptr;
    const auto found = Tree(*form)->findItems(QStringLiteral("八字命例"), Qt::MatchExactly | Qt::MatchRecursive);
    if (found.size() != 1) return nullptr;
    Tree(*form)->setCurrentItem(found.first());
    return form;
  }

  // The editor that the action opens, or null.
  static TEditForm* OpenBy(TMainForm& form, const char* action) {
    TEditForm* opened = nullptr;
    const auto conn = QObject::connect(&form, &TMainForm::editorOpened, &form, [&](TEditForm* ed) { opened = ed; });
    Action(&form, action)->trigger();
    QObject::disconnect(conn);
    return opened;
  }

  // The casts in the casebook file, as another program reads them (-1
  // when it cannot).
  qint64 StoredCasts() const {
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    qint64 n = -1;
    if (sqlite3_open_v2(QFile::encodeName(dbPath()).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM OmenryCasts", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
      n = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return n;
  }

 private slots:
  // A cast made in a new record's editor is listed at once as not saved,
  // goes into the casebook with the record, and is there after the program
  // starts again; cast again, it comes out the same.
  void keptWithTheRecordListedAfterARestartAndCastTheSame() {
    QVERIFY2(cast_.has_value(), "no real cast: liborv.so or the place list is missing");
    RowId id = 0;
    {
      auto form = FormOnFolder();
      QVERIFY(form);
      TEditForm* editor = OpenBy(*form, "actNewRecord");
      QVERIFY(editor);
      QVERIFY(editor->keptCasts()->isHidden());  // nothing cast yet
      editor->InsertChartText(cast_->chartText);
      editor->AddCast(*cast_);
      QVERIFY(editor->keptCasts()->isVisible());
      QCOMPARE(editor->keptCasts()->table()->rowCount(), 1);
      QVERIFY(Cell(*editor, 0, 5).endsWith(QStringLiteral("（未保存）")));
      QCOMPARE(StoredCasts(), 0);  // waiting for the save
      editor->edtBT()->setText(QStringLiteral("乌鲁木齐 戊辰年生"));
      QVERIFY(editor->Save());
      id = editor->recordId();
      QCOMPARE(StoredCasts(), 1);
      QCOMPARE(editor->PendingCastCount(), 0);
      QCOMPARE(Cell(*editor, 0, 5), QStringLiteral("2026-12-10 21:40"));  // saved now
      QVERIFY(editor->Save());  // a second save adds nothing
      QCOMPARE(StoredCasts(), 1);
      editor->close();
      Settle();
    }  // the program ends
    auto form = FormOnFolder();
    QVERIFY(form);
    QVERIFY(form->Records()->locate(id));
    TEditForm* editor = OpenBy(*form, "actOpenRecord");
    QVERIFY(editor);
    QVERIFY(editor->keptCasts()->isVisible());
    QCOMPARE(editor->keptCasts()->table()->rowCount(), 1);
    QCOMPARE(Cell(*editor, 0, 0), QStringLiteral("八字"));
    QCOMPARE(Cell(*editor, 0, 1), cast_->corrected);
    QVERIFY(cast_->corrected.startsWith(QStringLiteral("1988-07-15 11:1")));  // the 午 hour, not 未
    QCOMPARE(Cell(*editor, 0, 2), QStringLiteral("真太阳时"));
    QCOMPARE(Cell(*editor, 0, 3), QStringLiteral("乌鲁木齐"));
    QVERIFY(!Cell(*editor, 0, 4).isEmpty());
    QCOMPARE(Cell(*editor, 0, 4), cast_->engineVersion);
    const ChartCast stored = editor->Casts().value(0);
    QCOMPARE(stored.chartText, cast_->chartText);
    QCOMPARE(stored.request, cast_->request);

    // 重新起盘, by its button.
    QVERIFY(editor->keptCasts()->recastButton()->isEnabled());
    boxes_->shown.clear();
    QTest::mouseClick(editor->keptCasts()->recastButton(), Qt::LeftButton);
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].text, QStringLiteral("与原结果相同"));
    QVERIFY(!editor->isDirty());  // casting again changes nothing of the record
  }

  // Closing without saving drops the casts made meanwhile: for a new record
  // and for one that exists (whose stored casts stay as they were).
  void closingWithoutSavingDropsThem() {
    QVERIFY(cast_.has_value());
    RowId kept = 0;
    {
      CasebookStore s;
      s.OpenStore(dataDir_);
      kept = s.InsertRecord(folder_, {QStringLiteral("已有"), {}, QDate(2025, 1, 1), false, QStringLiteral("正文")},
                            {*cast_});
    }
    auto form = FormOnFolder();
    QVERIFY(form);
    TEditForm* fresh = OpenBy(*form, "actNewRecord");
    QVERIFY(fresh);
    fresh->AddCast(*cast_);
    QVERIFY(fresh->isDirty());  // a cast alone is worth the question
    boxes_->answers << skin::Answer::No;
    fresh->close();
    Settle();
    QVERIFY(form->Records()->locate(kept));
    TEditForm* editor = OpenBy(*form, "actOpenRecord");
    QVERIFY(editor);
    QCOMPARE(editor->keptCasts()->table()->rowCount(), 1);
    editor->AddCast(*cast_);
    QCOMPARE(editor->keptCasts()->table()->rowCount(), 2);
    boxes_->answers << skin::Answer::No;
    editor->close();
    Settle();
    QCOMPARE(StoredCasts(), 1);
    QCOMPARE(form->Store().ListCasts(kept).size(), 1);
  }

  // A record made before casts were kept, or without any, shows no list.
  void aRecordWithoutCastsShowsNoList() {
    RowId id = 0;
    {
      CasebookStore s;
      s.OpenStore(dataDir_);
      id = s.InsertRecord(folder_, {QStringLiteral("旧记录"), {}, QDate(2020, 5, 1), false, QStringLiteral("旧")});
    }
    auto form = FormOnFolder();
    QVERIFY(form);
    QVERIFY(form->Records()->locate(id));
    TEditForm* editor = OpenBy(*form, "actOpenRecord");
    QVERIFY(editor);
    QVERIFY(editor->keptCasts()->isHidden());
    QVERIFY(editor->Casts().isEmpty());
  }

  // A kept text that is not what the engine gives now: both texts side by
  // side, the differing line marked in each, in the chart font.
  void aDifferentTextIsShownBesideTheKeptOne() {
    QVERIFY(cast_.has_value());
    Host host(dataDir_ + QStringLiteral("-host"), kEngineDir);
    TEditForm editor(host);
    editor.OpenNew(QDate(2026, 12, 10));
    ChartCast older = *cast_;
    QStringList lines = older.chartText.split(QStringLiteral("\r\n"));
    QVERIFY(lines.size() > 5);
    lines[3] = QStringLiteral("旧版引擎写的一行");
    older.chartText = lines.join(QStringLiteral("\r\n"));
    older.engineVersion = QStringLiteral("0.9");
    editor.AddCast(older);
    editor.show();
    QCOMPARE(editor.RecastCast(0), Recast::Outcome::Different);
    auto* shown = editor.findChild<TRecastForm*>();
    QVERIFY(shown);
    QVERIFY(shown->isVisible());
    QCOMPARE(shown->windowTitle(), QStringLiteral("重新起盘"));
    QCOMPARE(shown->verdict()->text(), QStringLiteral("与原结果不同"));
    QCOMPARE(shown->changedBefore(), QList<int>{3});
    QCOMPARE(shown->changedNow(), QList<int>{3});
    QCOMPARE(shown->before()->toPlainText().split(QLatin1Char('\n'))[3], QStringLiteral("旧版引擎写的一行"));
    QCOMPARE(shown->now()->toPlainText(), cast_->chartText.split(QStringLiteral("\r\n")).join(QLatin1Char('\n')));
    QVERIFY(shown->before()->isReadOnly() && shown->now()->isReadOnly());
    QCOMPARE(shown->now()->font().family(), skin::TextFont().family());
    QVERIFY(shown->now()->font().fixedPitch());
    // The marked line is red; its neighbours are not.
    const QTextBlock marked = shown->now()->document()->findBlockByNumber(3);
    QCOMPARE(marked.begin().fragment().charFormat().foreground().color(), QColor(255, 0, 0));
    const QTextBlock plain = shown->now()->document()->findBlockByNumber(2);
    QVERIFY(plain.begin().fragment().charFormat().foreground().color() != QColor(255, 0, 0));
    if (qEnvironmentVariableIsSet("KEPT_CASTS_SCREENSHOTS")) {
      QVERIFY(QTest::qWaitForWindowExposed(shown));
      QVERIFY(shown->grab().save(qEnvironmentVariable("KEPT_CASTS_SCREENSHOTS") + QStringLiteral("/recast-different.png")));
    }
    // Scrolled together.
    shown->resize(600, 200);
    QApplication::processEvents();
    QVERIFY(shown->before()->verticalScrollBar()->maximum() > 0);
    shown->before()->verticalScrollBar()->setValue(shown->before()->verticalScrollBar()->maximum());
    QCOMPARE(shown->now()->verticalScrollBar()->value(), shown->before()->verticalScrollBar()->value());
    shown->close();
  }

  // What cannot be cast again is told in Chinese, and nothing changes.
  void whatCannotBeCastAgainIsTold() {
    QVERIFY(cast_.has_value());
    struct Case {
      const char* what;
      QString libraryDir;
      QString request;
      Recast::Outcome outcome;
      QString message;
    };
    const QString nowhere = tmp_->filePath(QStringLiteral("no-engine-here"));
    const Case cases[] = {
        {"no library where it is looked for", nowhere, cast_->request, Recast::Outcome::LibraryMissing,
         QStringLiteral("程序被病毒感染或已损坏，请重新安装 !")},
        {"a request that is not JSON", kEngineDir, QStringLiteral("八字 1988"), Recast::Outcome::BadRequest,
         QStringLiteral("这次起盘的请求无法读出，不能重新起盘。")},
        {"a request the engine refuses (30 February)", kEngineDir,
         QString(cast_->request).replace(QStringLiteral("\"month\":7,\"day\":15"), QStringLiteral("\"month\":2,\"day\":30")),
         Recast::Outcome::EngineRefused, QStringLiteral("现在的排盘引擎不接受这次起盘的请求（结果代码 1），不能重新起盘。")},
        {"a method the engine does not know", kEngineDir,
         QString(cast_->request).replace(QStringLiteral("\"method\":1"), QStringLiteral("\"method\":42")),
         Recast::Outcome::BadRequest, QStringLiteral("这次起盘的请求无法读出，不能重新起盘。")},
    };
    for (const Case& c : cases) {
      Host host(tmp_->filePath(QStringLiteral("casebook-%1").arg(int(&c - cases))), c.libraryDir);
      TEditForm editor(host);
      editor.OpenNew(QDate(2026, 12, 10));
      ChartCast cast = *cast_;
      cast.request = c.request;
      editor.AddCast(cast);
      boxes_->shown.clear();
      QCOMPARE(editor.RecastCast(0), c.outcome);
      QVERIFY2(boxes_->shown.size() == 1, c.what);
      QCOMPARE(boxes_->shown[0].text, c.message);
      QVERIFY(editor.findChild<TRecastForm*>() == nullptr);
      QCOMPARE(editor.PendingCastCount(), 1);
    }
  }

  // A picture of an editor with its casts, for a look (KEPT_CASTS_SCREENSHOTS
  // names the directory; under Xvfb with the xcb platform).
  void picture() {
    if (!qEnvironmentVariableIsSet("KEPT_CASTS_SCREENSHOTS")) QSKIP("no picture asked for");
    QVERIFY(cast_.has_value());
    Host host(dataDir_ + QStringLiteral("-picture"), kEngineDir);
    const RowId id = host.store.InsertRecord(host.folder, {QStringLiteral("乌鲁木齐 戊辰年生"), QStringLiteral("某先生"),
                                                           QDate(2026, 12, 10), false, cast_->chartText},
                                             {*cast_});
    TEditForm editor(host);
    editor.OpenEdit(id, {QStringLiteral("乌鲁木齐 戊辰年生"), QStringLiteral("某先生"), QDate(2026, 12, 10), false,
                         cast_->chartText});
    ChartCast plain = *cast_;
    plain.correction = QStringLiteral("不校正");
    plain.place.clear();
    plain.corrected = QStringLiteral("1988-07-15 14:30:00");
    editor.AddCast(plain);
    ChartCast byHand = *cast_;
    byHand.place.clear();
    byHand.longitude = -73.9;
    byHand.correction = QStringLiteral("平太阳时");
    editor.AddCast(byHand);
    editor.resize(1280, 800);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QApplication::processEvents();
    QVERIFY(editor.grab().save(qEnvironmentVariable("KEPT_CASTS_SCREENSHOTS") + QStringLiteral("/editor-casts.png")));
    editor.close();
  }
};

QTEST_MAIN(KeptCastsTest)
#include "kept_casts_test.moc"
