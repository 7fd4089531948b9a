// The place and time correction of the dated chart dialogs, with the real
// liborv.so: the moment corrected for the place and cast through the same
// export as without it, the caption and correction lines above the chart,
// input that cannot be corrected (the dialog shows again, nothing is
// inserted), the question at a repeated clock time and at a boundary, and
// the casts handed out to be kept.
//
// Run with ORV_SCREENSHOT_DIR set, on a real X server, `screenshots` saves
// the Four Pillars dialog with its correction group open and the record
// editor with the corrected chart inserted:
//   export ORV_SCREENSHOT_DIR=/tmp LSAN_OPTIONS=suppressions=tests/app/xcb_leaks.supp
//   sh tests/app/xvfb_run.sh build/bin/chart_correction_test screenshots

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>
#include <functional>
#include <memory>

#include "chart_cast.h"
#include "chart_dialogs.h"
#include "edit_form.h"
#include "engine_binding.h"
#include "engine_library.h"
#include "orv.h"
#include "window_test.h"

using namespace main_form_parts;

namespace {

const QString kEngineDir = QStringLiteral(ORV_LIBRARY_DIR);
const QString kCrLf = QStringLiteral("\r\n");

// The Four Pillars text of a man or woman born at a solar date and time (the
// text the binding must insert unchanged), in Unicode: at a whole hour what
// StrBazi gives, off it what StrChartText gives, cast to the second.
QString BaziExport(bool male, int year, int month, int day, int hour, int minute = 0,
                   int second = 0) {
  const TEngineLibrary library(QFile::encodeName(kEngineDir).toStdString());
  std::vector<char> buffer(ORV_CHART_BUFFER_SIZE, '\0');
  int32_t result = -1;
  if (minute == 0 && second == 0) {
    auto* call = library.Find<decltype(StrBazi)>("StrBazi");
    if (call == nullptr) return QStringLiteral("(no StrBazi)");
    result = call(1, 0, male ? 1 : 0, year, month, day, hour, buffer.data());
  } else {
    auto* call = library.Find<decltype(StrChartText)>("StrChartText");
    if (call == nullptr) return QStringLiteral("(no StrChartText)");
    OrvChartRequest r{};
    r.size = sizeof r;
    r.method = ORV_METHOD_BAZI;
    r.solar = 1;
    r.male = male ? 1 : 0;
    r.year = year;
    r.month = month;
    r.day = day;
    r.hour = hour;
    r.minute = minute;
    r.second = second;
    result = call(&r, buffer.data(), static_cast<int32_t>(buffer.size()));
  }
  if (result != 0) return QStringLiteral("(refused)");
  return GbkToUnicode(std::string_view(buffer.data(), strnlen(buffer.data(), buffer.size())));
}

// The Four Pillars dialog's values.
struct Entry {
  QString year, month, day, hour, minute;
  bool male = true;
  QString place, longitude, zone;
  TDatedForm::Correction correction = TDatedForm::Correction::None;
};

void Fill(TDatedForm& form, const Entry& e) {
  form.cbYear()->setEditText(e.year);
  form.cbMonth()->setEditText(e.month);
  form.cbDay()->setEditText(e.day);
  form.cbHour()->setEditText(e.hour);
  form.cbMinute()->setEditText(e.minute);
  form.rbSolar()->setChecked(true);
  if (auto* bazi = qobject_cast<TBaziForm*>(&form))
    (e.male ? bazi->rbNan() : bazi->rbNv())->setChecked(true);
  form.ShowCorrection(true);
  // The place first: a known place fills in longitude and zone.
  form.edtPlace()->setText(e.place);
  if (!e.longitude.isNull()) form.edtLongitude()->setText(e.longitude);
  if (!e.zone.isNull()) form.edtZone()->setText(e.zone);
  QRadioButton* const choices[] = {form.rbNoCorrection(), form.rbMeanSolar(), form.rbTrueSolar()};
  choices[int(e.correction)]->setChecked(true);
}

// The Urumqi client: 1988-07-15 14:30 Beijing time (daylight saving in
// force), true solar time, a man.
const Entry kUrumqi = {"1988", "7", "15", "14", "30", true, "乌鲁木齐", {}, {},
                       TDatedForm::Correction::TrueSolar};

}  // namespace

class ChartCorrectionTest : public WindowTest {
  Q_OBJECT

  std::unique_ptr<TChartDialogs> dialogs_;
  std::unique_ptr<TEngineBinding> binding_;
  // Each showing of a dialog takes the next of these: fill, then OK (true)
  // or Cancel (false). Without one left: Cancel.
  QList<std::pair<std::function<void(TDatedForm&)>, bool>> showings_;
  int shown_ = 0;
  // The questions asked (text and choices) and the answers to give.
  QList<std::pair<QString, QStringList>> asked_;
  QList<int> answers_;
  QStringList inserted_;
  QList<ChartCast> kept_;

  void Prepare() override {
    dialogs_ = std::make_unique<TChartDialogs>();
    TEngineBinding::Options options;
    options.libraryDir = kEngineDir;
    options.show = [this](QDialog& dialog) {
      ++shown_;
      const auto next = showings_.isEmpty() ? std::pair<std::function<void(TDatedForm&)>, bool>{}
                                            : showings_.takeFirst();
      QTimer::singleShot(0, &dialog, [&dialog, next] {
        auto& form = static_cast<TDatedForm&>(dialog);
        if (next.first) next.first(form);
        QTest::mouseClick(next.second ? form.btnOk() : form.btnCancel(), Qt::LeftButton);
      });
      return dialog.exec();
    };
    options.choose = [this](const QString& text, const QStringList& choices) {
      asked_.append({text, choices});
      return answers_.isEmpty() ? int(choices.size()) - 1 : answers_.takeFirst();
    };
    binding_ = std::make_unique<TEngineBinding>(*dialogs_, options);
    showings_.clear();
    shown_ = 0;
    asked_.clear();
    answers_.clear();
    inserted_.clear();
    kept_.clear();
  }
  void Finish() override {
    binding_.reset();
    dialogs_.reset();
  }

  ChartOutcome RunBazi() {
    return binding_->Run(
        ChartKind::Bazi, nullptr, [this](const QString& text) { inserted_ << text; },
        [this](const ChartCast& cast) { kept_ << cast; });
  }

  // The record text the inserts make, the first insert ending lowest.
  QString Record() const {
    QString text;
    for (const QString& insert : inserted_) text = insert + kCrLf + text;
    return text;
  }

 private slots:
  // 1988-07-15 14:30 in Urumqi, true solar time: daylight saving −1:00
  // (13:30 standard time); the longitude 87.618° against the zone's 120°:
  // −32.382° × 4 min = −129.53 min, written −2:09.5 (hours, minutes to the
  // tenth); the equation of time in mid-July about −5.9 min: 13:30 − 2:09.5
  // − 0:05.9 = 11:14.6, the 午 hour, cast at that moment to the second (as
  // the kept cast names it).
  void urumqiTrueSolar() {
    showings_ = {{[](TDatedForm& f) { Fill(f, kUrumqi); }, true}};
    QCOMPARE(RunBazi(), ChartOutcome::Inserted);
    QCOMPARE(inserted_.size(), 1);
    QVERIFY(boxes_->shown.isEmpty());
    QVERIFY(asked_.isEmpty());  // 11:14 is no boundary's neighbour
    const QString caption = QStringLiteral("八字 男 1988-07-15 11:14 阳历");
    const QString line = QStringLiteral(
        "真太阳时 1988-07-15 11:14（北京时间 14:30，夏令时 −1:00，乌鲁木齐 东经87.6°，"
        "经度差 −2:09.5，均时差 −5.9分）");
    QCOMPARE(kept_.size(), 1);
    const QString corrected = kept_[0].corrected;  // "1988-07-15 11:14:ss"
    const QString chart = BaziExport(true, 1988, 7, 15, 11, 14, corrected.mid(17, 2).toInt());
    QCOMPARE(inserted_[0], caption + kCrLf + line + kCrLf + chart);

    QCOMPARE(kept_.size(), 1);
    const ChartCast& cast = kept_[0];
    QCOMPARE(cast.method, QStringLiteral("bazi"));
    QCOMPARE(cast.clock, QStringLiteral("1988-07-15 14:30"));
    QCOMPARE(cast.place, QStringLiteral("乌鲁木齐"));
    QCOMPARE(cast.longitude, 87.618);
    QCOMPARE(cast.zone, QStringLiteral("Asia/Shanghai"));
    QCOMPARE(cast.correction, QStringLiteral("真太阳时"));
    QVERIFY2(cast.corrected.startsWith(QStringLiteral("1988-07-15 11:14:")),
             qPrintable(cast.corrected));
    QCOMPARE(cast.chartText, chart);
    // The chart JSON of the corrected moment, and the engine's version from it.
    const QJsonObject json = QJsonDocument::fromJson(cast.chartJson.toUtf8()).object();
    QCOMPARE(json.value(QStringLiteral("method")).toString(), QStringLiteral("bazi"));
    QVERIFY(!cast.engineVersion.isEmpty());
    QCOMPARE(json.value(QStringLiteral("engine")).toString(), cast.engineVersion);
    const QJsonObject asked = json.value(QStringLiteral("request")).toObject();
    QCOMPARE(asked.value(QStringLiteral("hour")).toInt(), 11);
    QCOMPARE(asked.value(QStringLiteral("minute")).toInt(), 14);
    // The request kept: the corrected moment, a man, no term question.
    const QJsonObject request = QJsonDocument::fromJson(cast.request.toUtf8()).object();
    QCOMPARE(request.value(QStringLiteral("method")).toInt(), int(ORV_METHOD_BAZI));
    QCOMPARE(request.value(QStringLiteral("year")).toInt(), 1988);
    QCOMPARE(request.value(QStringLiteral("month")).toInt(), 7);
    QCOMPARE(request.value(QStringLiteral("day")).toInt(), 15);
    QCOMPARE(request.value(QStringLiteral("hour")).toInt(), 11);
    QCOMPARE(request.value(QStringLiteral("minute")).toInt(), 14);
    QCOMPARE(request.value(QStringLiteral("solar")).toInt(), 1);
    QCOMPARE(request.value(QStringLiteral("male")).toInt(), 1);
    QCOMPARE(request.value(QStringLiteral("termAnswer")).toInt(), 2);
    QVERIFY(cast.castAt.isValid());
    QCOMPARE(cast.record, RowId(0));
    QCOMPARE(cast.id, RowId(0));
  }

  // 不校正 with no minutes: the chart as before, under its caption only.
  void noCorrection() {
    showings_ = {{[](TDatedForm& f) {
                    Fill(f, {"1984", "2", "4", "12", "0", true, "乌鲁木齐", {}, {},
                             TDatedForm::Correction::None});
                  },
                  true}};
    QCOMPARE(RunBazi(), ChartOutcome::Inserted);
    QCOMPARE(inserted_.value(0), QStringLiteral("八字 男 1984-02-04 12:00 阳历") + kCrLf +
                                     BaziExport(true, 1984, 2, 4, 12));
    QCOMPARE(kept_.size(), 1);
    QCOMPARE(kept_[0].correction, QStringLiteral("不校正"));
    QCOMPARE(kept_[0].clock, QStringLiteral("1984-02-04 12:00"));
    QCOMPARE(kept_[0].corrected, QStringLiteral("1984-02-04 12:00:00"));
    QVERIFY(asked_.isEmpty());
    QVERIFY(boxes_->shown.isEmpty());
  }

  // A lunar date corrected: 正月初三 1984 is 1984-02-04; at 120° mean solar
  // time is Beijing time (no daylight saving in 1984), so the chart is the
  // solar 1984-02-04 12:00 one, the correction line above it.
  void lunarDateCorrected() {
    showings_ = {{[](TDatedForm& f) {
                    Fill(f, {"1984", "1", "3", "12", "0", true, "", "120", "Asia/Shanghai",
                             TDatedForm::Correction::MeanSolar});
                    f.rbLunar()->setChecked(true);
                  },
                  true}};
    QCOMPARE(RunBazi(), ChartOutcome::Inserted);
    const QStringList lines = inserted_.value(0).split(kCrLf);
    QCOMPARE(lines.value(0), QStringLiteral("八字 男 1984-02-04 12:00 阳历"));
    QVERIFY2(lines.value(1).startsWith(QStringLiteral("平太阳时 1984-02-04 12:00（北京时间 12:00")),
             qPrintable(lines.value(1)));
    QCOMPARE(lines.mid(2).join(kCrLf), BaziExport(true, 1984, 2, 4, 12));
    QCOMPARE(kept_.value(0).clock, QStringLiteral("1984-02-04 12:00"));
    QCOMPARE(kept_.value(0).corrected, QStringLiteral("1984-02-04 12:00:00"));
  }

  // Qimen at a term change in the double hour (小寒 2000-01-06 09:00:42): the
  // engine's question is asked as before; the answer given (是: before the
  // change, 冬至 阳遁四局) is kept in the request, and the chart JSON is
  // cast with it, so that both name the same ju.
  void qimenTermAnswerKept() {
    boxes_->answers = {skin::Answer::Yes};
    showings_ = {{[](TDatedForm& f) {
                    Fill(f, {"2000", "1", "6", "10", "0", true, "", "", "",
                             TDatedForm::Correction::None});
                  },
                  true}};
    QCOMPARE(binding_->Run(
                 ChartKind::Qimen, nullptr, [this](const QString& text) { inserted_ << text; },
                 [this](const ChartCast& cast) { kept_ << cast; }),
             ChartOutcome::Inserted);
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].text, QStringLiteral("今日09:00交节气，您所用的时间在此之前吗？"));
    QCOMPARE(inserted_.value(0).section(kCrLf, 0, 0),
             QStringLiteral("奇门 转盘 阳遁四局（自动） 2000-01-06 10时"));
    QCOMPARE(kept_.size(), 1);
    const QJsonObject request = QJsonDocument::fromJson(kept_[0].request.toUtf8()).object();
    QCOMPARE(request.value(QStringLiteral("termAnswer")).toInt(), 0);
    const QJsonObject chart = QJsonDocument::fromJson(kept_[0].chartJson.toUtf8())
                                  .object()
                                  .value(QStringLiteral("chart"))
                                  .toObject();
    QCOMPARE(chart.value(QStringLiteral("ju")).toInt(), 4);
    QCOMPARE(chart.value(QStringLiteral("dun")).toString(), QStringLiteral("阳遁"));
    QCOMPARE(kept_[0].method, QStringLiteral("qimen"));
  }

  // Input that cannot be corrected: said in Chinese, the dialog shows again
  // with the user's values, and nothing is inserted.
  void uncorrectableInput_data() {
    QTest::addColumn<QString>("place");
    QTest::addColumn<QString>("longitude");
    QTest::addColumn<QStringList>("clock");  // year month day hour minute
    QTest::addColumn<QString>("message");
    const QStringList noon = {"1990", "3", "1", "12", "0"};
    QTest::newRow("unknown place") << "火星城" << "" << noon
                                   << "不认识地点“火星城”。请从列表中选择地点，或填写经度和时区。";
    QTest::newRow("no place, no longitude")
        << "" << "" << noon << "请填写地点，或填写经度和时区，再校正时间。";
    QTest::newRow("longitude not a number")
        << "" << "东经87" << noon << "经度输入错误：“东经87”不是数字（东经为正，西经为负）。";
    QTest::newRow("longitude out of range") << "" << "181" << noon << "经度必须在 −180 到 180 之间。";
    // China's clocks went from 02:00 to 03:00 on 1986-05-04.
    QTest::newRow("skipped clock time")
        << "上海" << QString() << QStringList{"1986", "5", "4", "2", "30"}
        << "1986年5月4日 2:30 这个时刻不存在：当天夏令时开始，时钟从2:00拨到3:00。请检查时间。";
  }
  void uncorrectableInput() {
    QFETCH(QString, place);
    QFETCH(QString, longitude);
    QFETCH(QStringList, clock);
    QFETCH(QString, message);
    const Entry entry = {clock[0], clock[1], clock[2], clock[3], clock[4], true,
                         place,    longitude, {},      TDatedForm::Correction::MeanSolar};
    QString placeSeen, longitudeSeen, minuteSeen;
    bool meanSolarSeen = false;
    showings_ = {{[entry](TDatedForm& f) { Fill(f, entry); }, true},
                 {[&](TDatedForm& f) {
                    placeSeen = f.edtPlace()->text();
                    longitudeSeen = f.edtLongitude()->text();
                    minuteSeen = f.cbMinute()->currentText();
                    meanSolarSeen = f.rbMeanSolar()->isChecked();
                  },
                  false}};
    QCOMPARE(RunBazi(), ChartOutcome::Cancelled);
    QCOMPARE(shown_, 2);
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].caption, QStringLiteral("提示"));
    QCOMPARE(boxes_->shown[0].text, message);
    QVERIFY(inserted_.isEmpty());
    QVERIFY(kept_.isEmpty());
    // Shown again as the user left it.
    QCOMPARE(placeSeen, place);
    if (!longitude.isNull()) QCOMPARE(longitudeSeen, longitude);
    QCOMPARE(minuteSeen, clock[4]);
    QVERIFY(meanSolarSeen);
  }

  // Shown again, the Liu Ren dialog keeps even what a showing resets: the
  // birth year picked and 夜 chosen by hand at the 午 hour.
  void liurenShownAgainAsLeft() {
    bool birthYearKept = false;
    bool nightKept = false;
    QString hourKept;
    showings_ = {{[](TDatedForm& f) {
                    auto& form = static_cast<TLiurenForm&>(f);
                    Entry e = kUrumqi;
                    e.hour = QStringLiteral("午");
                    e.place = QStringLiteral("火星城");
                    Fill(form, e);
                    form.cbXingNian()->setCurrentIndex(form.cbXingNian()->findText("1975"));
                    form.rbYe()->setChecked(true);
                  },
                  true},
                 {[&](TDatedForm& f) {
                    auto& form = static_cast<TLiurenForm&>(f);
                    birthYearKept = form.UsesBirthYear() &&
                                    form.cbXingNian()->currentText() == QStringLiteral("1975");
                    nightKept = form.rbYe()->isChecked();
                    hourKept = form.cbHour()->currentText();
                  },
                  false}};
    QCOMPARE(binding_->Run(ChartKind::Liuren, nullptr,
                           [this](const QString& text) { inserted_ << text; }),
             ChartOutcome::Cancelled);
    QCOMPARE(shown_, 2);
    QCOMPARE(boxes_->shown.size(), 1);
    QVERIFY(birthYearKept);
    QVERIFY(nightKept);
    QCOMPARE(hourKept, QStringLiteral("午"));
    QVERIFY(inserted_.isEmpty());
    // A new command starts afresh: the birth year is off again.
    showings_ = {
        {[&](TDatedForm& f) { birthYearKept = static_cast<TLiurenForm&>(f).UsesBirthYear(); },
         false}};
    binding_->Run(ChartKind::Liuren, nullptr, [](const QString&) {});
    QVERIFY(!birthYearKept);
  }

  // After the first showing's mistake is mended, the second casts.
  void mendedOnTheSecondShowing() {
    Entry wrong = kUrumqi;
    wrong.place = QStringLiteral("乌鲁木");  // not quite
    showings_ = {{[wrong](TDatedForm& f) { Fill(f, wrong); }, true},
                 {[](TDatedForm& f) { f.edtPlace()->setText(QStringLiteral("乌鲁木齐")); }, true}};
    QCOMPARE(RunBazi(), ChartOutcome::Inserted);
    QCOMPARE(shown_, 2);
    QCOMPARE(inserted_.size(), 1);
    QVERIFY(inserted_[0].startsWith(QStringLiteral("八字 男 1988-07-15 11:14 阳历\r\n真太阳时 ")));
  }

  // China's clocks went back from 02:00 to 01:00 on 1986-09-14: 01:30 came
  // twice. At longitude 120° (the zone's meridian) mean solar time is
  // standard time: the first 01:30 (daylight saving) was 00:30 standard,
  // the second 01:30.
  void repeatedClockTimeAsks_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("caption");
    QTest::newRow("夏令时") << 0 << "八字 男 1986-09-14 00:30 阳历";
    QTest::newRow("标准时") << 1 << "八字 男 1986-09-14 01:30 阳历";
    QTest::newRow("取消") << 2 << QString();
  }
  void repeatedClockTimeAsks() {
    QFETCH(int, answer);
    QFETCH(QString, caption);
    showings_ = {{[](TDatedForm& f) {
                    Fill(f, {"1986", "9", "14", "1", "30", true, "", "120", "Asia/Shanghai",
                             TDatedForm::Correction::MeanSolar});
                  },
                  true}};
    answers_ = {answer};
    const ChartOutcome outcome = RunBazi();
    QCOMPARE(asked_.size(), 1);
    QCOMPARE(asked_[0].second, QStringList({"夏令时", "标准时", "取消"}));
    QVERIFY2(asked_[0].first.contains(QStringLiteral("1986年9月14日 1:30 这个时刻出现两次")),
             qPrintable(asked_[0].first));
    QCOMPARE(shown_, 1);
    if (caption.isEmpty()) {
      QCOMPARE(outcome, ChartOutcome::Cancelled);
      QVERIFY(inserted_.isEmpty());
      QVERIFY(kept_.isEmpty());
      return;
    }
    QCOMPARE(outcome, ChartOutcome::Inserted);
    const QStringList lines = inserted_.value(0).split(kCrLf);
    QCOMPARE(lines.value(0), caption);
    // A longitude typed by hand: no place named in the line.
    QVERIFY2(lines.value(1).contains(QStringLiteral("东经120.0°")), qPrintable(lines.value(1)));
    QCOMPARE(lines.value(1).contains(QStringLiteral("夏令时 −1:00")), answer == 0);
    QCOMPARE(kept_.value(0).place, QString());
    QCOMPARE(kept_.value(0).longitude, 120.0);
  }

  // 12:55 lies 5 minutes before the 未 hour: the user is asked, with both
  // hour pillars named, which to cast (minutes alone, no correction).
  void boundaryChoice_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("captions");  // top to bottom
    QTest::addColumn<QList<int>>("times");      // the minute of the day cast of each
    QTest::newRow("this") << 0 << QStringList{"八字 男 1984-02-04 12:55 阳历"}
                          << QList<int>{12 * 60 + 55};
    QTest::newRow("other") << 1 << QStringList{"八字 男 1984-02-04 13:00 阳历"}
                           << QList<int>{13 * 60};
    QTest::newRow("both") << 2
                          << QStringList{"八字 男 1984-02-04 12:55 阳历",
                                         "八字 男 1984-02-04 13:00 阳历"}
                          << QList<int>{12 * 60 + 55, 13 * 60};
    QTest::newRow("cancel") << 3 << QStringList{} << QList<int>{};
  }
  void boundaryChoice() {
    QFETCH(int, answer);
    QFETCH(QStringList, captions);
    QFETCH(QList<int>, times);
    showings_ = {{[](TDatedForm& f) {
                    Fill(f, {"1984", "2", "4", "12", "55", true, "", "", "",
                             TDatedForm::Correction::None});
                  },
                  true}};
    answers_ = {answer};
    const ChartOutcome outcome = RunBazi();
    QCOMPARE(asked_.size(), 1);
    QVERIFY2(asked_[0].first.contains(QStringLiteral("时柱：午时 / 未时")), qPrintable(asked_[0].first));
    QVERIFY(asked_[0].first.contains(QStringLiteral("1984-02-04 13:00")));
    QCOMPARE(asked_[0].second.size(), 4);
    QCOMPARE(asked_[0].second.last(), QStringLiteral("取消"));
    if (captions.isEmpty()) {
      QCOMPARE(outcome, ChartOutcome::Cancelled);
      QVERIFY(inserted_.isEmpty());
      QVERIFY(kept_.isEmpty());
      return;
    }
    QCOMPARE(outcome, ChartOutcome::Inserted);
    // Minutes without a correction: no correction line.
    QString expected;
    for (int k = 0; k < captions.size(); ++k)
      expected += captions[k] + kCrLf +
                  BaziExport(true, 1984, 2, 4, times[k] / 60, times[k] % 60) + kCrLf;
    QCOMPARE(Record(), expected);
    QCOMPARE(kept_.size(), captions.size());
    for (int k = 0; k < captions.size(); ++k) {
      QCOMPARE(kept_[k].chartText, BaziExport(true, 1984, 2, 4, times[k] / 60, times[k] % 60));
      QCOMPARE(kept_[k].clock, QStringLiteral("1984-02-04 12:55"));
    }
  }

  // Liu Ren in Urumqi: the clock's 卯 (06:00, 昼 as the dialog ticks it) is
  // 05:00 standard time, − 2:09.5 for the longitude, − 5.9 min: 02:44.6,
  // the 丑 hour, by night; cast as hour 2 with the night's flag.
  void liurenFollowsTheCorrectedHour() {
    showings_ = {{[](TDatedForm& f) {
                    Entry e = kUrumqi;
                    e.hour = QStringLiteral("卯");
                    e.minute = QStringLiteral("0");
                    Fill(f, e);
                  },
                  true}};
    QCOMPARE(binding_->Run(ChartKind::Liuren, nullptr,
                           [this](const QString& text) { inserted_ << text; },
                           [this](const ChartCast& cast) { kept_ << cast; }),
             ChartOutcome::Inserted);
    QVERIFY(asked_.isEmpty());
    const QStringList lines = inserted_.value(0).split(kCrLf);
    QCOMPARE(lines.value(0), QStringLiteral("六壬 1988-07-15 丑时 夜 甲戊庚牛羊 按孟仲季"));
    QVERIFY2(lines.value(1).startsWith(QStringLiteral("真太阳时 1988-07-15 02:44")),
             qPrintable(lines.value(1)));
    const TEngineLibrary library(QFile::encodeName(kEngineDir).toStdString());
    auto* call = library.Find<decltype(Str6Ren)>("Str6Ren");
    QVERIFY(call != nullptr);
    std::vector<char> buffer(ORV_CHART_BUFFER_SIZE, '\0');
    QCOMPARE(call(1, 0, 1, 1988, 7, 15, 2, buffer.data(), 0, 1, 1, -1), 0);
    const QString chart =
        GbkToUnicode(std::string_view(buffer.data(), strnlen(buffer.data(), buffer.size())));
    QCOMPARE(lines.mid(2).join(kCrLf), chart);
    QCOMPARE(kept_.value(0).method, QStringLiteral("liuren"));
    QCOMPARE(kept_.value(0).clock, QStringLiteral("1988-07-15 06:00"));
  }

  // Without a hook the choice is a message box of the program's look: the
  // question, one button per choice, 取消 for Escape.
  void choiceBox() {
    TEngineBinding::Options options;
    options.libraryDir = kEngineDir;
    options.show = [](QDialog& dialog) {
      QTimer::singleShot(0, &dialog, [&dialog] {
        auto& form = static_cast<TDatedForm&>(dialog);
        Fill(form, {"1984", "2", "4", "12", "55", true, "", "", "", TDatedForm::Correction::None});
        form.btnOk()->click();
      });
      return dialog.exec();
    };
    TEngineBinding binding(*dialogs_, options);
    QString caption, text;
    QStringList buttons;
    bool escapeCancels = false;
    const auto answer = [&](const QString& choice) {
      QTimer::singleShot(100, qApp, [&, choice] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        caption = box->windowTitle();
        text = box->text();
        buttons.clear();
        for (QAbstractButton* button : box->buttons()) buttons << button->text();
        escapeCancels = box->escapeButton() != nullptr && box->escapeButton()->text() == "取消";
        for (QAbstractButton* button : box->buttons())
          if (button->text() == choice) button->click();
      });
    };
    answer(QStringLiteral("按另一侧"));
    QCOMPARE(binding.Run(ChartKind::Bazi, nullptr, [this](const QString& t) { inserted_ << t; }),
             ChartOutcome::Inserted);
    QCOMPARE(caption, QStringLiteral("确认"));
    QVERIFY2(text.contains(QStringLiteral("时柱：午时 / 未时")), qPrintable(text));
    buttons.sort();
    QStringList expected = {"按本时刻", "按另一侧", "两个都排", "取消"};
    expected.sort();
    QCOMPARE(buttons, expected);
    QVERIFY(escapeCancels);
    QCOMPARE(inserted_.value(0).section(kCrLf, 0, 0), QStringLiteral("八字 男 1984-02-04 13:00 阳历"));
  }

  // The place, longitude, zone and choice of each dialog come back in the
  // next program run; a dialog with a correction remembered shows its group
  // open, the others stay collapsed.
  void rememberedSettings() {
    {
      TChartDialogs dialogs;
      Fill(*dialogs.bazi(), kUrumqi);
      dialogs.bazi()->edtLongitude()->setText(QStringLiteral("87.6"));  // mended by hand
      dialogs.bazi()->reject();
      Fill(*dialogs.liuren(), {"2024", "2", "10", "午", "0", true, "", "116.4", "Asia/Shanghai",
                               TDatedForm::Correction::MeanSolar});
      dialogs.liuren()->accept();
      // The Six Lines dialog is opened and closed with nothing chosen.
      dialogs.liuyao()->reject();
    }
    TChartDialogs next;
    TBaziForm& bazi = *next.bazi();
    QCOMPARE(bazi.edtPlace()->text(), QStringLiteral("乌鲁木齐"));
    QCOMPARE(bazi.edtLongitude()->text(), QStringLiteral("87.6"));
    QCOMPARE(bazi.edtZone()->text(), QStringLiteral("Asia/Shanghai"));
    QVERIFY(bazi.rbTrueSolar()->isChecked());
    QVERIFY(bazi.btnCorrection()->isChecked());
    QVERIFY(!bazi.gbCorrection()->isHidden());
    TLiurenForm& liuren = *next.liuren();
    QCOMPARE(liuren.edtPlace()->text(), QString());
    QCOMPARE(liuren.edtLongitude()->text(), QStringLiteral("116.4"));
    QVERIFY(liuren.rbMeanSolar()->isChecked());
    for (TDatedForm* form : {static_cast<TDatedForm*>(next.liuyao()),
                             static_cast<TDatedForm*>(next.qimen())}) {
      QVERIFY(form->rbNoCorrection()->isChecked());
      QVERIFY(!form->btnCorrection()->isChecked());
      QVERIFY(form->gbCorrection()->isHidden());
      QCOMPARE(form->edtPlace()->text(), QString());
    }
  }

  // The program itself under X: the Four Pillars dialog with its group open
  // and the editor with the corrected chart, saved as pictures to look at.
  void screenshots() {
    const QString dir = qEnvironmentVariable("ORV_SCREENSHOT_DIR");
    if (dir.isEmpty()) QSKIP("set ORV_SCREENSHOT_DIR to save the pictures");
    {
      CasebookStore store;
      store.OpenStore(dataDir_);
      store.AddFolder(0, QStringLiteral("案例"));
    }
    auto form = MakeForm();
    QVERIFY(form);
    Tree(*form)->setCurrentItem(Tree(*form)
                                    ->findItems(QStringLiteral("案例"),
                                                Qt::MatchExactly | Qt::MatchRecursive)
                                    .first());
    bool done = false;
    bool dialogSaved = false;
    bool editorSaved = false;
    bool boxSaved = false;
    connect(form.get(), &TMainForm::editorOpened, form.get(), [&](TEditForm* editor) {
      QTimer::singleShot(0, editor, [&, editor] {
        editor->resize(1100, 760);
        editor->reText()->setPlainText(QStringLiteral("来访者：1988年7月15日下午两点半生于乌鲁木齐。"));
        QTimer::singleShot(300, editor, [&] {
          auto* dialog = qobject_cast<TBaziForm*>(QApplication::activeModalWidget());
          if (dialog != nullptr) {
            Fill(*dialog, kUrumqi);
            QTest::qWait(300);
            dialogSaved = dialog->grab().save(dir + QStringLiteral("/correction-dialog.png"));
            dialog->btnOk()->click();
          }
        });
        Action(editor, "actBazi")->trigger();
        QTest::qWait(300);
        editorSaved = editor->grab().save(dir + QStringLiteral("/correction-editor.png"));
        // Again at 12:55 without a correction: the boundary question, both cast.
        QTimer::singleShot(300, editor, [&] {
          auto* dialog = qobject_cast<TBaziForm*>(QApplication::activeModalWidget());
          if (dialog == nullptr) return;
          Fill(*dialog, {"1984", "2", "4", "12", "55", true, "", "", "",
                         TDatedForm::Correction::None});
          dialog->btnOk()->click();
          QTimer::singleShot(300, qApp, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            boxSaved = box->grab().save(dir + QStringLiteral("/correction-boundary.png"));
            for (QAbstractButton* button : box->buttons())
              if (button->text() == QStringLiteral("两个都排")) button->click();
          });
        });
        Action(editor, "actBazi")->trigger();
        QTest::qWait(300);
        editorSaved = editorSaved &&
                      editor->grab().save(dir + QStringLiteral("/correction-editor-both.png"));
        editor->Save();
        editor->close();
        done = true;
      });
    });
    Action(form.get(), "actNewRecord")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(done, 30000);
    QVERIFY(dialogSaved);
    QVERIFY(boxSaved);
    QVERIFY(editorSaved);
  }
};

QTEST_MAIN(ChartCorrectionTest)
#include "chart_correction_test.moc"
