// The chart commands against a stand-in engine (tests/app/fake_orv), loaded
// by file name like the real liborv.so: the arguments every export receives,
// the buffer sizes, the date checks before any call, the messages, the
// unloading on every path, the solar-term question, and the GBK conversion.

#include <dlfcn.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <stdexcept>

#include "chart_dialogs.h"
#include "engine_binding.h"
#include "skin.h"
#include "test_support.h"

namespace {

const QString kFakeDir = QStringLiteral(FAKEORV_DIR);
const QString kFakeOnlyBaziDir = QStringLiteral(FAKEORV_ONLY_BAZI_DIR);
const QString kFakeSearchDir = QStringLiteral(FAKEORV_SEARCH_DIR);

// The moment the presets take: 2026-05-06 07:30 (hour 7, branch 辰).
const QDateTime kNow(QDate(2026, 5, 6), QTime(7, 30));

bool Loaded(const QString& dir) {
  const QByteArray path = QFile::encodeName(dir + QStringLiteral("/liborv.so"));
  void* handle = dlopen(path.constData(), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  dlclose(handle);
  return true;
}

// Sets an environment variable for one scope.
class Env {
 public:
  Env(const char* name, const QByteArray& value) : name_(name) { qputenv(name, value); }
  ~Env() { qunsetenv(name_); }
  Env(const Env&) = delete;
  Env& operator=(const Env&) = delete;

 private:
  const char* name_;
};

// What was inserted: the caption line above the chart, then what the
// stand-in reported: its marker, the export and its arguments, the buffer
// size and the answer to the question.
struct Report {
  QString caption;
  QString marker;
  QString call;
  QString buffer;
  QString answer;
};

Report Parse(const QString& text) {
  Report r;
  const QStringList lines = text.split(QStringLiteral("\r\n"));
  if (lines.size() >= 4) {
    r.caption = lines[0];
    r.marker = lines[1];
    r.call = lines[2];
    r.buffer = lines[3];
  }
  if (lines.size() >= 6) r.answer = lines[4];
  return r;
}

}  // namespace

class EngineBindingTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TChartDialogs> dialogs_;
  std::unique_ptr<TEngineBinding> binding_;
  std::unique_ptr<testing_support::Boxes> boxes_;
  QString dir_ = kFakeDir;

  // What the next showing of a dialog does: fill the controls, then OK or
  // Cancel (by their buttons).
  std::function<void(QDialog&)> fill_;
  bool confirm_ = true;
  QList<QDialog*> shown_;
  QList<QString> inserted_;

  void MakeBinding() {
    TEngineBinding::Options options;
    options.libraryDir = dir_;
    options.now = [] { return kNow; };
    options.show = [this](QDialog& dialog) {
      shown_.append(&dialog);
      QTimer::singleShot(0, &dialog, [this, &dialog] {
        if (fill_) fill_(dialog);
        auto* form = qobject_cast<TChartForm*>(&dialog);
        QTest::mouseClick(confirm_ ? form->btnOk() : form->btnCancel(), Qt::LeftButton);
      });
      return dialog.exec();
    };
    binding_ = std::make_unique<TEngineBinding>(*dialogs_, options);
  }

  ChartOutcome Run(ChartKind kind) {
    return binding_->Run(kind, nullptr, [this](const QString& text) { inserted_.append(text); });
  }

  // Runs and returns the stand-in's report of the one inserted chart.
  Report RunInserted(ChartKind kind) {
    inserted_.clear();
    const ChartOutcome outcome = Run(kind);
    if (outcome != ChartOutcome::Inserted || inserted_.size() != 1) {
      qWarning("chart not inserted: outcome %d", int(outcome));
      return {};
    }
    return Parse(inserted_.first());
  }

  TBaziForm& bazi() { return *dialogs_->bazi(); }
  TLiuyaoForm& liuyao() { return *dialogs_->liuyao(); }
  TQimenForm& qimen() { return *dialogs_->qimen(); }
  TLiurenForm& liuren() { return *dialogs_->liuren(); }
  TXuankongForm& xuankong() { return *dialogs_->xuankong(); }

  // New dialogs (a new program run) and a binding to the first stand-in.
  void Fresh() {
    testing_support::ClearSettings();
    binding_.reset();
    dialogs_ = std::make_unique<TChartDialogs>();
    dir_ = kFakeDir;
    fill_ = {};
    confirm_ = true;
    shown_.clear();
    inserted_.clear();
    boxes_->shown.clear();
    MakeBinding();
  }

  static void SetDate(TDatedForm& form, const QString& y, const QString& m, const QString& d,
                      const QString& h) {
    form.cbYear()->setEditText(y);
    form.cbMonth()->setEditText(m);
    form.cbDay()->setEditText(d);
    form.cbHour()->setEditText(h);
  }

 private slots:
  void initTestCase() {
    testing_support::IsolateSettings();
    skin::ApplyTheme(*qApp);
  }

  void init() {
    boxes_.reset();  // the old hooks go before the new ones come
    boxes_ = std::make_unique<testing_support::Boxes>();
    Fresh();
  }

  void cleanup() {
    binding_.reset();
    dialogs_.reset();
    boxes_.reset();
    // Whatever happened, the library is gone after the command.
    QVERIFY(!Loaded(kFakeDir));
    QVERIFY(!Loaded(kFakeOnlyBaziDir));
  }

  // ---- the arguments of every export, in order

  void bazi_and_ziwei_arguments_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("date");  // year, month, day, hour as typed
    QTest::addColumn<bool>("lunar");
    QTest::addColumn<bool>("leap");
    QTest::addColumn<bool>("woman");
    QTest::addColumn<QString>("call");
    QTest::addColumn<QString>("buffer");
    QTest::addColumn<QString>("caption");
    QTest::newRow("bazi solar") << int(ChartKind::Bazi) << QStringList{"1984", "2", "4", "12"}
                                << false << false << false << "StrBazi 1 0 1 1984 2 4 12"
                                << "buffer 3000" << "八字 男 1984-02-04 12:00 阳历";
    QTest::newRow("bazi lunar leap woman")
        << int(ChartKind::Bazi) << QStringList{"2023", "2", "1", "23"} << true << true << true
        << "StrBazi 0 1 0 2023 2 1 23" << "buffer 3000" << "八字 女 2023-闰02-01 23:00 农历";
    QTest::newRow("ziwei") << int(ChartKind::Ziwei) << QStringList{"1920", "12", "31", "0"}
                           << false << false << false << "StrZiwei 1 0 1 1920 12 31 0"
                           << "buffer 4000" << "紫微 男 1920-12-31 00:00 阳历";
    // Blanks and a sign are no obstacle; the leap flag is passed even with a
    // solar date (where the caption has no use for it).
    QTest::newRow("ziwei blanks, sign, leap flag")
        << int(ChartKind::Ziwei) << QStringList{" 1990", "07 ", "+9", "5"} << false << true
        << true << "StrZiwei 1 1 0 1990 7 9 5" << "buffer 4000" << "紫微 女 1990-07-09 05:00 阳历";
  }
  void bazi_and_ziwei_arguments() {
    QFETCH(int, kind);
    QFETCH(QStringList, date);
    QFETCH(bool, lunar);
    QFETCH(bool, leap);
    QFETCH(bool, woman);
    QFETCH(QString, call);
    QFETCH(QString, buffer);
    QFETCH(QString, caption);
    fill_ = [&](QDialog&) {
      SetDate(bazi(), date[0], date[1], date[2], date[3]);
      if (lunar) bazi().rbLunar()->setChecked(true);
      if (leap) bazi().cbRunyue()->setChecked(true);
      if (woman) bazi().rbNv()->setChecked(true);
    };
    const Report r = RunInserted(ChartKind(kind));
    QCOMPARE(r.call, call);
    QCOMPARE(r.buffer, buffer);
    QCOMPARE(r.caption, caption);
    QCOMPARE(shown_, QList<QDialog*>({dialogs_->bazi()}));
  }

  void liuyao_arguments() {
    // No change: the preset date and six yin lines given by hand.
    Report r = RunInserted(ChartKind::Liuyao);
    QCOMPARE(r.call, QStringLiteral("StrLiuyao 0 0 0 0 0 0 1 0 1 2026 5 6 7"));
    QCOMPARE(r.caption, QStringLiteral("六爻 手动 2026-05-06 7时"));
    // Lines by selector, top line first; "━━━○" is 3.
    fill_ = [this](QDialog&) {
      const int lines[7] = {0, /*1*/ 2, /*2*/ 1, /*3*/ 0, /*4*/ 1, /*5*/ 2, /*6*/ 3};
      for (int line = 1; line <= 6; ++line) liuyao().cbYao(line)->setCurrentIndex(lines[line]);
      liuyao().rbDatetime()->setChecked(true);
      liuyao().rbLunar()->setChecked(true);
      liuyao().cbHour()->setEditText(QStringLiteral("22"));
    };
    r = RunInserted(ChartKind::Liuyao);
    QCOMPARE(r.call, QStringLiteral("StrLiuyao 3 2 1 0 1 2 0 0 0 2026 5 6 22"));
    QCOMPARE(r.caption, QStringLiteral("六爻 时间卦 2026-05-06 22时 农历"));
    QCOMPARE(r.buffer, QStringLiteral("buffer 3000"));
    QCOMPARE(liuyao().cbYao(6)->currentText(), QStringLiteral("━━━○"));
  }

  // The 局 entry picked (-1: none) and the placement.
  void qimen_arguments_data() {
    QTest::addColumn<int>("ju");
    QTest::addColumn<bool>("fei");
    QTest::addColumn<QString>("call");
    QTest::addColumn<QString>("caption");
    // First use: no 局 picked passes −1; 转盘 is not flying. (The stand-in
    // has no JSON to tell the ju an automatic chart took.)
    QTest::newRow("first use") << -1 << false << "StrQimen 1 0 0 -1 2026 5 6 7"
                               << "奇门 转盘 自动定局 2026-05-06 7时";
    QTest::newRow("auto, zhuan") << 0 << false << "StrQimen 1 0 0 0 2026 5 6 7"
                                 << "奇门 转盘 自动定局 2026-05-06 7时";
    QTest::newRow("yang 1, fei") << 1 << true << "StrQimen 1 0 1 1 2026 5 6 7"
                                 << "奇门 飞盘 阳遁一局（指定） 2026-05-06 7时";
    QTest::newRow("yang 9, zhuan") << 9 << false << "StrQimen 1 0 0 9 2026 5 6 7"
                                   << "奇门 转盘 阳遁九局（指定） 2026-05-06 7时";
    QTest::newRow("yin 1, fei") << 10 << true << "StrQimen 1 0 1 10 2026 5 6 7"
                                << "奇门 飞盘 阴遁一局（指定） 2026-05-06 7时";
    QTest::newRow("yin 9, fei") << 18 << true << "StrQimen 1 0 1 18 2026 5 6 7"
                                << "奇门 飞盘 阴遁九局（指定） 2026-05-06 7时";
  }
  void qimen_arguments() {
    QFETCH(int, ju);
    QFETCH(bool, fei);
    QFETCH(QString, call);
    QFETCH(QString, caption);
    if (ju >= 0) {
      fill_ = [this, ju, fei](QDialog&) {
        qimen().cbJu()->setCurrentIndex(ju);
        (fei ? qimen().rbTypeFei() : qimen().rbTypeZhuan())->setChecked(true);
      };
    }
    const Report r = RunInserted(ChartKind::Qimen);
    QCOMPARE(r.call, call);
    QCOMPARE(r.buffer, QStringLiteral("buffer 3000"));
    QCOMPARE(r.caption, caption);
  }

  void liuren_arguments() {
    // The preset at 07:30 selects 辰 (hour 8, daytime); no birth year.
    Report first = RunInserted(ChartKind::Liuren);
    QCOMPARE(first.call, QStringLiteral("Str6Ren 1 0 1 2026 5 6 8 1 1 1 -1"));
    QCOMPARE(first.caption, QStringLiteral("六壬 2026-05-06 辰时 昼 甲戊庚牛羊 按孟仲季"));
    // Hour = 2 × entry; 酉 is night; a birth year picked after showing.
    fill_ = [this](QDialog&) {
      liuren().cbHour()->setCurrentIndex(9);
      liuren().cbXingNian()->setCurrentIndex(70);
      liuren().rbNv()->setChecked(true);
      liuren().rbJYW()->setChecked(true);
      liuren().rbShengQian()->setChecked(true);
      liuren().cbRunyue()->setChecked(true);
      liuren().rbLunar()->setChecked(true);
    };
    Report r = RunInserted(ChartKind::Liuren);
    QCOMPARE(r.call, QStringLiteral("Str6Ren 0 1 0 2026 5 6 18 0 0 0 1990"));
    QCOMPARE(r.buffer, QStringLiteral("buffer 3000"));
    QCOMPARE(r.caption,
             QStringLiteral("六壬 2026-闰05-06 酉时 夜 甲羊戊庚牛 按涉害深浅 生年1990 女 农历"));
    // The options of the last run were kept; the birth year is off again.
    fill_ = [this](QDialog&) { liuren().cbHour()->setCurrentIndex(0); };
    r = RunInserted(ChartKind::Liuren);
    QCOMPARE(r.call, QStringLiteral("Str6Ren 0 1 0 2026 5 6 0 0 0 0 -1"));
    // The year shown (1990, kept from before) picked again counts as chosen;
    // 夜 chosen by hand at the preset 辰.
    fill_ = [this](QDialog&) {
      emit liuren().cbXingNian()->activated(liuren().cbXingNian()->currentIndex());
      liuren().rbYe()->setChecked(true);
    };
    r = RunInserted(ChartKind::Liuren);
    QCOMPARE(r.call, QStringLiteral("Str6Ren 0 1 0 2026 5 6 8 0 0 0 1990"));
    // Birth years run to 2050, so a querent born this year can be entered.
    fill_ = [this](QDialog&) {
      liuren().cbXingNian()->setCurrentIndex(liuren().cbXingNian()->findText(QStringLiteral("2026")));
    };
    r = RunInserted(ChartKind::Liuren);
    QCOMPARE(r.call, QStringLiteral("Str6Ren 0 1 0 2026 5 6 8 1 0 0 2026"));
  }

  // Every hour entry of the Liu Ren dialog: hour 0, 2, … 22; day or night as
  // the dialog sets it.
  void liuren_hours_data() {
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("call");
    const char* const branches[12] = {"zi",  "chou", "yin",  "mao", "chen", "si",
                                      "wu",  "wei",  "shen", "you", "xu",   "hai"};
    for (int entry = 0; entry < 12; ++entry) {
      const int daytime = entry >= 3 && entry <= 8 ? 1 : 0;
      QTest::newRow(branches[entry])
          << entry
          << QStringLiteral("Str6Ren 1 0 1 2026 5 6 %1 %2 1 1 -1").arg(entry * 2).arg(daytime);
    }
  }
  void liuren_hours() {
    QFETCH(int, entry);
    QFETCH(QString, call);
    fill_ = [this, entry](QDialog&) { liuren().cbHour()->setCurrentIndex(entry); };
    QCOMPARE(RunInserted(ChartKind::Liuren).call, call);
  }

  // The 运, the mountain and the kind picked (-1: left as shown).
  void xuankong_arguments_data() {
    QTest::addColumn<int>("yun");
    QTest::addColumn<int>("shan");
    QTest::addColumn<int>("xiang");
    QTest::addColumn<QString>("call");
    QTest::addColumn<QString>("caption");
    // Untouched: 八运, 壬山丙向, 挨星下卦.
    QTest::newRow("untouched") << -1 << -1 << -1 << "StrXuankong 7 0 1"
                               << "玄空 八运 壬山丙向 挨星下卦";
    QTest::newRow("yun 1, mountain 23, tigua") << 0 << 23 << 1 << "StrXuankong 0 23 0"
                                               << "玄空 一运 亥山巳向 挨星替卦";
    QTest::newRow("yun 9, mountain 13, xiagua") << 8 << 13 << 0 << "StrXuankong 8 13 1"
                                                << "玄空 九运 午山子向 挨星下卦";
  }
  void xuankong_arguments() {
    QFETCH(int, yun);
    QFETCH(int, shan);
    QFETCH(int, xiang);
    QFETCH(QString, call);
    QFETCH(QString, caption);
    fill_ = [this, yun, shan, xiang](QDialog&) {
      if (yun >= 0) xuankong().cbYun()->setCurrentIndex(yun);
      if (shan >= 0) xuankong().cbShan()->setCurrentIndex(shan);
      if (xiang >= 0) xuankong().cbXiang()->setCurrentIndex(xiang);
    };
    const Report r = RunInserted(ChartKind::Xuankong);
    QCOMPARE(r.call, call);
    QCOMPARE(r.buffer, QStringLiteral("buffer 3000"));
    QCOMPARE(r.caption, caption);
  }

  // Four Pillars and Purple Star share their dialog, which is not preset.
  void baziAndZiweiShareTheDialog() {
    fill_ = [this](QDialog&) {
      SetDate(bazi(), "1975", "11", "30", "3");
      bazi().rbNv()->setChecked(true);
    };
    QCOMPARE(RunInserted(ChartKind::Bazi).call, QStringLiteral("StrBazi 1 0 0 1975 11 30 3"));
    fill_ = {};
    QCOMPARE(RunInserted(ChartKind::Ziwei).call, QStringLiteral("StrZiwei 1 0 0 1975 11 30 3"));
  }

  // The presets overwrite the last use's date, and only the date.
  void presetsOverwriteTheDate() {
    fill_ = [this](QDialog&) {
      SetDate(qimen(), "1950", "1", "2", "3");
      qimen().cbJu()->setCurrentIndex(4);
    };
    QCOMPARE(RunInserted(ChartKind::Qimen).call, QStringLiteral("StrQimen 1 0 0 4 1950 1 2 3"));
    fill_ = {};
    QCOMPARE(RunInserted(ChartKind::Qimen).call, QStringLiteral("StrQimen 1 0 0 4 2026 5 6 7"));
  }

  // ---- the checks before the call

  void yearLimits_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("year");
    QTest::addColumn<bool>("called");
    for (ChartKind kind : {ChartKind::Bazi, ChartKind::Ziwei, ChartKind::Liuyao, ChartKind::Qimen,
                           ChartKind::Liuren}) {
      const char* name = TEngineBinding::ExportName(kind);
      QTest::addRow("%s 1919", name) << int(kind) << "1919" << false;
      QTest::addRow("%s 1920", name) << int(kind) << "1920" << true;
      QTest::addRow("%s 2050", name) << int(kind) << "2050" << true;
      QTest::addRow("%s 2051", name) << int(kind) << "2051" << false;
      QTest::addRow("%s -2026", name) << int(kind) << "-2026" << false;
    }
  }
  void yearLimits() {
    QFETCH(int, kind);
    QFETCH(QString, year);
    QFETCH(bool, called);
    fill_ = [&year](QDialog& dialog) {
      static_cast<TDatedForm&>(dialog).cbYear()->setEditText(year);
    };
    const ChartOutcome outcome = Run(ChartKind(kind));
    if (called) {
      QCOMPARE(outcome, ChartOutcome::Inserted);
      QVERIFY(Parse(inserted_.value(0)).call.contains(QLatin1Char(' ') + year + QLatin1Char(' ')));
      QVERIFY(boxes_->shown.isEmpty());
    } else {
      QCOMPARE(outcome, ChartOutcome::YearOutOfRange);
      QVERIFY(inserted_.isEmpty());
      QCOMPARE(boxes_->shown.size(), 1);
      QCOMPARE(boxes_->shown[0].caption, QStringLiteral("提示"));
      QCOMPARE(boxes_->shown[0].text, QStringLiteral("本软件的有效工作范围为1920年至2050年。"));
      QCOMPARE(boxes_->shown[0].buttons, skin::Buttons::Ok);
    }
  }

  // Fields that are no decimal integer, and fields outside their lists, are
  // refused before the call with a message of their own.
  void invalidInput_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("message");
    const int notNumber = int(ChartOutcome::NotANumber);
    const int refused = int(ChartOutcome::DateRefused);
    const QString date = QStringLiteral("日期输入错误！");
    const int bazi = int(ChartKind::Bazi);
    QTest::newRow("year with a Chinese digit") << bazi << "year" << "19八0" << notNumber
                                               << "年份输入错误：“19八0”不是整数，请输入数字。";
    QTest::newRow("empty year") << bazi << "year" << "" << notNumber
                                << "年份输入错误：“”不是整数，请输入数字。";
    QTest::newRow("hex month") << bazi << "month" << "0x1" << notNumber
                               << "月份输入错误：“0x1”不是整数，请输入数字。";
    QTest::newRow("day with a unit") << int(ChartKind::Qimen) << "day" << "5日" << notNumber
                                     << "日期输入错误：“5日”不是整数，请输入数字。";
    QTest::newRow("hour beyond 32 bits") << int(ChartKind::Liuyao) << "hour" << "99999999999"
                                         << notNumber
                                         << "时辰输入错误：“99999999999”不是整数，请输入数字。";
    QTest::newRow("month 13") << bazi << "month" << "13" << refused << date;
    QTest::newRow("month 0") << int(ChartKind::Ziwei) << "month" << "0" << refused << date;
    QTest::newRow("day 32") << int(ChartKind::Liuyao) << "day" << "32" << refused << date;
    QTest::newRow("day 0") << bazi << "day" << "0" << refused << date;
    QTest::newRow("hour 24") << int(ChartKind::Qimen) << "hour" << "24" << refused << date;
    QTest::newRow("hour -1") << bazi << "hour" << "-1" << refused << date;
    QTest::newRow("Liu Ren hour not a branch") << int(ChartKind::Liuren) << "hour" << "午时"
                                               << refused << date;
    QTest::newRow("Liu Ren hour empty") << int(ChartKind::Liuren) << "hour" << "" << refused << date;
    QTest::newRow("Liu Ren month 13") << int(ChartKind::Liuren) << "month" << "13" << refused
                                      << date;
  }
  void invalidInput() {
    QFETCH(int, kind);
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(int, outcome);
    QFETCH(QString, message);
    fill_ = [&](QDialog& dialog) {
      auto& form = static_cast<TDatedForm&>(dialog);
      QComboBox* list = field == "year"    ? form.cbYear()
                        : field == "month" ? form.cbMonth()
                        : field == "day"   ? form.cbDay()
                                           : form.cbHour();
      list->setEditText(text);
    };
    QCOMPARE(int(Run(ChartKind(kind))), outcome);
    QVERIFY(inserted_.isEmpty());
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].caption, QStringLiteral("提示"));
    QCOMPARE(boxes_->shown[0].text, message);
  }

  // A nonzero result: "日期输入错误！", nothing inserted.
  void engineRefusesTheDate_data() {
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<int>("kind");
    const struct {
      const char* name;
      ChartKind kind;
    } kinds[] = {{"bazi", ChartKind::Bazi},   {"ziwei", ChartKind::Ziwei},
                 {"liuyao", ChartKind::Liuyao}, {"qimen", ChartKind::Qimen},
                 {"liuren", ChartKind::Liuren}, {"xuankong", ChartKind::Xuankong}};
    for (const char* code : {"1", "2", "-7"})
      for (const auto& k : kinds)
        QTest::addRow("%s %s", k.name, code) << QByteArray(code) << int(k.kind);
  }
  void engineRefusesTheDate() {
    QFETCH(QByteArray, code);
    QFETCH(int, kind);
    Env result("FAKEORV_RESULT", code);
    QCOMPARE(Run(ChartKind(kind)), ChartOutcome::EngineRefused);
    QVERIFY(inserted_.isEmpty());
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].caption, QStringLiteral("提示"));
    QCOMPARE(boxes_->shown[0].text, QStringLiteral("日期输入错误！"));
  }

  void cancelCallsNothing() {
    confirm_ = false;
    for (ChartKind kind : {ChartKind::Bazi, ChartKind::Ziwei, ChartKind::Liuyao, ChartKind::Qimen,
                           ChartKind::Liuren, ChartKind::Xuankong}) {
      QCOMPARE(Run(kind), ChartOutcome::Cancelled);
    }
    QCOMPARE(shown_.size(), 6);
    QVERIFY(inserted_.isEmpty());
    QVERIFY(boxes_->shown.isEmpty());
  }

  // The Qimen placement is stored at Cancel too.
  void cancelStoresTheOption() {
    confirm_ = false;
    fill_ = [this](QDialog&) { qimen().rbTypeFei()->setChecked(true); };
    QCOMPARE(Run(ChartKind::Qimen), ChartOutcome::Cancelled);
    QSettings settings;
    QCOMPARE(settings.value(QStringLiteral("Zhuan")).toInt(), 0);
  }

  // ---- the library

  void missingLibrary() {
    QTemporaryDir empty;
    dir_ = empty.path();
    MakeBinding();
    for (ChartKind kind : {ChartKind::Bazi, ChartKind::Xuankong}) {
      boxes_->shown.clear();
      QCOMPARE(Run(kind), ChartOutcome::LibraryMissing);
      QCOMPARE(boxes_->shown.size(), 1);
      QCOMPARE(boxes_->shown[0].text, QStringLiteral("程序被病毒感染或已损坏，请重新安装 !"));
      QCOMPARE(boxes_->shown[0].buttons, skin::Buttons::Ok);
    }
    QVERIFY(shown_.isEmpty());
    QVERIFY(inserted_.isEmpty());
  }

  // A library without the export is reported as damaged, before any dialog;
  // nothing is inserted. One without the question setter still serves the
  // charts it has.
  void missingExport() {
    dir_ = kFakeOnlyBaziDir;
    MakeBinding();
    QCOMPARE(Run(ChartKind::Ziwei), ChartOutcome::ExportMissing);
    QVERIFY(shown_.isEmpty());
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].text, QStringLiteral("程序被病毒感染或已损坏，请重新安装 !"));
    QVERIFY(inserted_.isEmpty());
    boxes_->shown.clear();
    QCOMPARE(RunInserted(ChartKind::Bazi).call, QStringLiteral("StrBazi 1 0 1 1980 1 1 0"));
  }

  // The program's directory first, then the system's search.
  void searchOrder() {
    if (!qEnvironmentVariable("LD_LIBRARY_PATH").split(QLatin1Char(':')).contains(kFakeSearchDir))
      QSKIP("run with LD_LIBRARY_PATH naming the second stand-in's directory");
    QCOMPARE(RunInserted(ChartKind::Bazi).marker, QStringLiteral("测试盘　━━━○ A"));
    QTemporaryDir empty;
    dir_ = empty.path();
    MakeBinding();
    QCOMPARE(RunInserted(ChartKind::Bazi).marker, QStringLiteral("测试盘　━━━○ B"));
    QVERIFY(!Loaded(kFakeSearchDir));
  }

  // An error while inserting still unloads the library (checked in cleanup).
  void errorInsideTheCommand() {
    bool thrown = false;
    try {
      binding_->Run(ChartKind::Bazi, nullptr,
                    [](const QString&) { throw std::runtime_error("no room"); });
    } catch (const std::runtime_error&) {
      thrown = true;
    }
    QVERIFY(thrown);
  }

  // ---- the solar-term question

  void question_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("reply");
    for (ChartKind kind : {ChartKind::Qimen, ChartKind::Liuren}) {
      const char* name = TEngineBinding::ExportName(kind);
      QTest::addRow("%s yes", name) << int(kind) << int(skin::Answer::Yes) << "answer 0";
      QTest::addRow("%s no", name) << int(kind) << int(skin::Answer::No) << "answer 1";
      QTest::addRow("%s cancel", name) << int(kind) << int(skin::Answer::Cancel) << "answer 2";
    }
  }
  void question() {
    QFETCH(int, kind);
    QFETCH(int, answer);
    QFETCH(QString, reply);
    Env ask("FAKEORV_ASK", "1");
    // Twice: the handler is installed after every load.
    for (int round = 0; round < 2; ++round) {
      boxes_->shown.clear();
      boxes_->answers = {skin::Answer(answer)};
      QCOMPARE(RunInserted(ChartKind(kind)).answer, reply);
      QCOMPARE(boxes_->shown.size(), 1);
      QCOMPARE(boxes_->shown[0].caption, QStringLiteral("提示"));
      QCOMPARE(boxes_->shown[0].text,
               QStringLiteral("今日09:47交节气，您所用的时间在此之前吗？"));
      QCOMPARE(boxes_->shown[0].buttons, skin::Buttons::YesNoCancel);
    }
  }

  // ---- GBK → Unicode

  void gbkToUnicode_data() {
    QTest::addColumn<QByteArray>("gbk");
    QTest::addColumn<QString>("unicode");
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("ASCII with CR LF") << QByteArray("a 1\r\nb\r\n") << QString("a 1\r\nb\r\n");
    QTest::newRow("八字") << QByteArray("\xB0\xCB\xD7\xD6") << QString("八字");
    QTest::newRow("full-width space") << QByteArray("\xA1\xA1x\xA1\xA1") << QString("　x　");
    QTest::newRow("lines and marks") << QByteArray("\xA9\xA5\xA1\xA1\xA9\xA5\xA1\xC1\xA1\xF0")
                                     << QString("━　━×○");
    QTest::newRow("CR LF between characters")
        << QByteArray("\xC4\xD0\xC3\xFC\r\n\xD2\xF5\xC0\xFA") << QString("男命\r\n阴历");
    QTest::newRow("euro") << QByteArray("\x80") << QString("€");
    QTest::newRow("not GBK") << QByteArray("a\xFF" "b") << QString("a\uFFFDb");
    QTest::newRow("lead byte at the end") << QByteArray("a\xB0") << QString("a\uFFFD");
  }
  void gbkToUnicode() {
    QFETCH(QByteArray, gbk);
    QFETCH(QString, unicode);
    QCOMPARE(GbkToUnicode(std::string_view(gbk.constData(), size_t(gbk.size()))), unicode);
  }

  // The stand-in's whole text arrives in Unicode with its CR LF.
  void chartTextConverted() {
    fill_ = [this](QDialog&) { SetDate(bazi(), "1984", "2", "4", "12"); };
    QCOMPARE(Run(ChartKind::Bazi), ChartOutcome::Inserted);
    QCOMPARE(inserted_.value(0), QStringLiteral("八字 男 1984-02-04 12:00 阳历\r\n"
                                                "测试盘　━━━○ A\r\nStrBazi 1 0 1 1984 2 4 12\r\n"
                                                "buffer 3000\r\n"));
  }
};

QTEST_MAIN(EngineBindingTest)
#include "engine_binding_test.moc"
