// The chart dialogs on their own: controls, entries, initial values, the
// presets, the Liu Ren dialog's behaviour and the remembered options.

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStandardItemModel>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "chart_dialogs.h"
#include "skin.h"
#include "test_support.h"

namespace {

QStringList Entries(const QComboBox* list) {
  QStringList entries;
  for (int i = 0; i < list->count(); ++i) entries << list->itemText(i);
  return entries;
}

QStringList Numbers(int first, int last) {
  QStringList list;
  for (int n = first; n <= last; ++n) list << QString::number(n);
  return list;
}

const QStringList kBranches = {"子", "丑", "寅", "卯", "辰", "巳", "午", "未", "申", "酉", "戌", "亥"};

void Store(const QString& name, const QVariant& value) {
  QSettings settings;
  settings.setValue(name, value);
  settings.sync();
}

QVariant Stored(const QString& name) {
  QSettings settings;
  return settings.value(name);
}

}  // namespace

class ChartDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    testing_support::IsolateSettings();
    skin::ApplyTheme(*qApp);
  }
  void init() { testing_support::ClearSettings(); }

  // The date block of the four dated dialogs.
  void datedControls() {
    TChartDialogs dialogs;
    struct {
      TDatedForm* form;
      QString caption;
      QString year;
      QStringList hours;
    } cases[] = {
        {dialogs.bazi(), QString(), "1980", Numbers(0, 23)},
        {dialogs.liuyao(), "六爻", "1920", Numbers(0, 23)},
        {dialogs.qimen(), "奇门遁甲", "1980", Numbers(0, 23)},
        {dialogs.liuren(), "六壬", "1980", kBranches},
    };
    for (const auto& c : cases) {
      const QByteArray name = c.form->objectName().toUtf8();
      QVERIFY2(c.form->windowTitle() == c.caption, name);
      QCOMPARE(Entries(c.form->cbYear()), Numbers(1920, 2050));
      QCOMPARE(Entries(c.form->cbMonth()), Numbers(1, 12));
      QCOMPARE(Entries(c.form->cbDay()), Numbers(1, 31));
      QCOMPARE(Entries(c.form->cbHour()), c.hours);
      QCOMPARE(c.form->cbYear()->currentText(), c.year);
      QCOMPARE(c.form->cbMonth()->currentText(), QStringLiteral("1"));
      QCOMPARE(c.form->cbDay()->currentText(), QStringLiteral("1"));
      QCOMPARE(c.form->cbHour()->currentIndex(), 0);
      for (QComboBox* list : {c.form->cbYear(), c.form->cbMonth(), c.form->cbDay(),
                              c.form->cbHour()})
        QVERIFY2(list->isEditable(), name);
      QVERIFY(c.form->rbSolar()->isChecked());
      QVERIFY(!c.form->rbLunar()->isChecked());
      QCOMPARE(c.form->rbSolar()->text(), QStringLiteral("阳历"));
      QCOMPARE(c.form->rbLunar()->text(), QStringLiteral("阴历"));
      QCOMPARE(c.form->cbRunyue()->text(), QStringLiteral("闰月"));
      QVERIFY(!c.form->cbRunyue()->isChecked());
    }
  }

  // Typing into a date list never adds an entry.
  void typingAddsNoEntry() {
    TBaziForm form;
    form.show();
    QLineEdit* edit = form.cbYear()->lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, "1899");
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(form.cbYear()->count(), 131);
    QCOMPARE(form.cbYear()->currentText(), QStringLiteral("1899"));
  }

  void buttons() {
    TChartDialogs dialogs;
    const QList<TChartForm*> forms = {dialogs.bazi(), dialogs.liuyao(), dialogs.qimen(),
                                      dialogs.liuren(), dialogs.xuankong()};
    for (TChartForm* form : forms) {
      QCOMPARE(form->btnOk()->text(), QStringLiteral("确定"));
      QCOMPARE(form->btnCancel()->text(), QStringLiteral("取消"));
      QVERIFY(form->btnOk()->isDefault());
      // Return takes the default button, Escape cancels, also while typing
      // into a list.
      for (const auto& [key, expected] : {std::pair{Qt::Key_Return, QDialog::Accepted},
                                          std::pair{Qt::Key_Enter, QDialog::Accepted},
                                          std::pair{Qt::Key_Escape, QDialog::Rejected}}) {
        const Qt::Key k = key;
        QTimer::singleShot(0, form, [form, k] {
          QWidget* target = form->focusWidget() ? form->focusWidget() : form;
          QTest::keyClick(target, k);
          if (form->isVisible()) form->done(99);  // the key did nothing
        });
        QCOMPARE(form->exec(), int(expected));
      }
    }
  }

  // The keyboard starts in the first field: the year, the top line, the period.
  void firstFieldHasFocus() {
    TChartDialogs dialogs;
    const std::pair<QDialog*, QWidget*> cases[] = {
        {dialogs.bazi(), dialogs.bazi()->cbYear()},
        {dialogs.liuyao(), dialogs.liuyao()->cbYao(6)},
        {dialogs.qimen(), dialogs.qimen()->cbYear()},
        {dialogs.liuren(), dialogs.liuren()->cbYear()},
        {dialogs.xuankong(), dialogs.xuankong()->cbYun()},
    };
    for (const auto& [dialog, field] : cases) {
      QWidget* seen = nullptr;
      QTimer::singleShot(0, dialog, [&, d = dialog] {
        seen = d->focusWidget();
        d->reject();
      });
      dialog->exec();
      QVERIFY2(seen == field || (seen != nullptr && seen->parentWidget() == field),
               qPrintable(dialog->objectName()));
    }
  }

  void baziSex() {
    TBaziForm form;
    QCOMPARE(form.rbNan()->text(), QStringLiteral("男"));
    QCOMPARE(form.rbNv()->text(), QStringLiteral("女"));
    QVERIFY(form.rbNan()->isChecked());
    form.rbNv()->setChecked(true);
    QVERIFY(!form.rbNan()->isChecked());
  }

  void liuyaoLines() {
    TLiuyaoForm form;
    const QStringList lines = {"━　━", "━━━", "━　━×", "━━━○"};
    for (int line = 1; line <= 6; ++line) {
      QCOMPARE(Entries(form.cbYao(line)), lines);
      QCOMPARE(form.cbYao(line)->currentIndex(), 0);
      QCOMPARE(form.cbYao(line)->objectName(), QStringLiteral("cbYao%1").arg(line));
    }
    QVERIFY(form.rbManual()->isChecked());
    QCOMPARE(form.rbManual()->text(), QStringLiteral("手工指定"));
    QCOMPARE(form.rbDatetime()->text(), QStringLiteral("时间卦"));
    // Line 6 stands at the top, line 1 at the bottom.
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    for (int line = 6; line > 1; --line)
      QVERIFY(form.cbYao(line)->geometry().top() < form.cbYao(line - 1)->geometry().top());
  }

  void qimenJu() {
    TQimenForm form;
    const QStringList ju = {"自动",   "阳一局", "阳二局", "阳三局", "阳四局", "阳五局", "阳六局",
                            "阳七局", "阳八局", "阳九局", "阴一局", "阴二局", "阴三局", "阴四局",
                            "阴五局", "阴六局", "阴七局", "阴八局", "阴九局"};
    QCOMPARE(Entries(form.cbJu()), ju);
    QCOMPARE(form.cbJu()->currentIndex(), -1);  // "自动" shown, no entry picked
    QCOMPARE(form.cbJu()->placeholderText(), QStringLiteral("自动"));
    QVERIFY(!form.cbJu()->isEditable());
    QCOMPARE(form.rbTypeZhuan()->text(), QStringLiteral("转盘"));
    QCOMPARE(form.rbTypeFei()->text(), QStringLiteral("飞盘"));
  }

  void liurenControls() {
    TLiurenForm form;
    QCOMPARE(Entries(form.cbXingNian()), Numbers(1920, 2050));
    QCOMPARE(form.cbXingNian()->currentIndex(), 60);
    QCOMPARE(form.cbXingNian()->currentText(), QStringLiteral("1980"));
    QCOMPARE(form.cbXingNianEnable()->text(), QStringLiteral("不使用"));
    QVERIFY(form.cbXingNianEnable()->isChecked());
    QVERIFY(form.rbNan()->isChecked());
    QCOMPARE(form.rbJWG()->text(), QStringLiteral("甲戊庚牛羊"));
    QCOMPARE(form.rbJYW()->text(), QStringLiteral("甲羊戊庚牛"));
    QCOMPARE(form.rbMZJ()->text(), QStringLiteral("按孟仲季"));
    QCOMPARE(form.rbShengQian()->text(), QStringLiteral("按涉害深浅"));
    QCOMPARE(form.rbZhou()->text(), QStringLiteral("昼"));
    QCOMPARE(form.rbYe()->text(), QStringLiteral("夜"));
  }

  // 昼 for 卯 … 申 (entries 3–8), 夜 otherwise, whenever the hour changes.
  void liurenDayFollowsHour() {
    TLiurenForm form;
    form.show();
    for (int entry : {0, 3, 8, 9, 2, 5, 11, 4, 1, 6, 10, 7}) {
      form.cbHour()->setCurrentIndex(entry);
      const bool day = entry >= 3 && entry <= 8;
      QVERIFY2(form.rbZhou()->isChecked() == day, qPrintable(kBranches[entry]));
      QVERIFY(form.rbYe()->isChecked() == !day);
    }
    // A branch typed by hand counts like the entry; other text changes nothing.
    form.cbHour()->setEditText(QStringLiteral("卯"));
    QVERIFY(form.rbZhou()->isChecked());
    form.cbHour()->setEditText(QStringLiteral("x"));
    QVERIFY(form.rbZhou()->isChecked());
    QCOMPARE(form.HourEntry(), -1);
  }

  // Showing follows the hour and ticks "不使用"; a birth year picked after
  // that (even the one shown) unticks it.
  void liurenShowing() {
    TLiurenForm form;
    form.cbHour()->setCurrentIndex(9);  // 酉
    form.rbZhou()->setChecked(true);    // set by hand, showing corrects it
    form.cbXingNianEnable()->setChecked(false);
    form.show();
    QVERIFY(form.rbYe()->isChecked());
    QVERIFY(form.cbXingNianEnable()->isChecked());
    form.cbXingNian()->setCurrentIndex(70);
    QVERIFY(!form.cbXingNianEnable()->isChecked());
    form.hide();
    form.show();
    QVERIFY(form.cbXingNianEnable()->isChecked());
    emit form.cbXingNian()->activated(70);  // the same entry picked again
    QVERIFY(!form.cbXingNianEnable()->isChecked());
  }

  void xuankongLists() {
    TXuankongForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("玄空"));
    QCOMPARE(Entries(form.cbYun()), QStringList({"一运", "二运", "三运", "四运", "五运", "六运",
                                                 "七运", "八运", "九运"}));
    QCOMPARE(Entries(form.cbShan()),
             QStringList({"壬山丙向", "子山午向", "癸山丁向", "丑山未向", "艮山坤向", "寅山申向",
                          "甲山庚向", "卯山酉向", "乙山辛向", "辰山戌向", "巽山乾向", "巳山亥向",
                          "丙山壬向", "午山子向", "丁山癸向", "未山丑向", "坤山艮向", "申山寅向",
                          "庚山甲向", "酉山卯向", "辛山乙向", "戌山辰向", "乾山巽向", "亥山巳向"}));
    QCOMPARE(Entries(form.cbXiang()), QStringList({"挨星下卦", "挨星替卦"}));
    QCOMPARE(form.cbYun()->currentIndex(), 7);
    QCOMPARE(form.cbShan()->currentIndex(), 0);
    QCOMPARE(form.cbXiang()->currentIndex(), 0);
    for (QComboBox* list : {form.cbYun(), form.cbShan(), form.cbXiang()})
      QVERIFY(!list->isEditable());
  }

  // Year, month, day and hour entries of the moment.
  void presets() {
    TChartDialogs dialogs;
    const QDateTime now(QDate(2026, 3, 9), QTime(17, 59));
    for (TDatedForm* form : {static_cast<TDatedForm*>(dialogs.liuyao()),
                             static_cast<TDatedForm*>(dialogs.qimen())}) {
      form->Preset(now);
      QCOMPARE(form->cbYear()->currentIndex(), 2026 - 1920);
      QCOMPARE(form->cbYear()->currentText(), QStringLiteral("2026"));
      QCOMPARE(form->cbMonth()->currentText(), QStringLiteral("3"));
      QCOMPARE(form->cbDay()->currentText(), QStringLiteral("9"));
      QCOMPARE(form->cbHour()->currentText(), QStringLiteral("17"));
    }
  }

  // The Liu Ren hour entry is the branch: ((hour + 1) div 2) mod 12.
  void liurenPresetBranch() {
    TLiurenForm form;
    const struct {
      int hour;
      QString branch;
    } cases[] = {{23, "子"}, {0, "子"}, {1, "丑"}, {2, "丑"}, {5, "卯"},  {11, "午"},
                 {12, "午"}, {13, "未"}, {17, "酉"}, {21, "亥"}, {22, "亥"}};
    for (const auto& c : cases) {
      form.Preset(QDateTime(QDate(2031, 12, 31), QTime(c.hour, 30)));
      QVERIFY2(form.cbHour()->currentText() == c.branch, qPrintable(QString::number(c.hour)));
      QCOMPARE(form.cbYear()->currentText(), QStringLiteral("2031"));
      QCOMPARE(form.cbMonth()->currentText(), QStringLiteral("12"));
      QCOMPARE(form.cbDay()->currentText(), QStringLiteral("31"));
    }
  }

  // With nothing stored: 转盘, 甲戊庚牛羊, 按孟仲季.
  void firstRunDefaults() {
    TChartDialogs dialogs;
    QVERIFY(dialogs.qimen()->rbTypeZhuan()->isChecked());
    QVERIFY(dialogs.liuren()->rbJWG()->isChecked());
    QVERIFY(dialogs.liuren()->rbMZJ()->isChecked());
    // Creating the dialogs stores nothing.
    QVERIFY(!Stored("Zhuan").isValid());
    QVERIFY(!Stored("GuiRen").isValid());
    QVERIFY(!Stored("SheHai").isValid());
  }

  void optionsReadAtCreation_data() {
    QTest::addColumn<QVariant>("zhuan");
    QTest::addColumn<QVariant>("guiRen");
    QTest::addColumn<QVariant>("sheHai");
    QTest::addColumn<bool>("expectZhuan");
    QTest::addColumn<bool>("expectJWG");
    QTest::addColumn<bool>("expectMZJ");
    QTest::newRow("all false") << QVariant(0) << QVariant(0) << QVariant(0) << false << false << false;
    QTest::newRow("all true") << QVariant(1) << QVariant(1) << QVariant(1) << true << true << true;
    QTest::newRow("mixed") << QVariant(1) << QVariant(0) << QVariant(1) << true << false << true;
    QTest::newRow("mixed 2") << QVariant(0) << QVariant(1) << QVariant(0) << false << true << false;
    // One Liu Ren value missing or unreadable: both keep their initial choice.
    QTest::newRow("SheHai missing") << QVariant() << QVariant(0) << QVariant() << true << true << true;
    QTest::newRow("GuiRen missing") << QVariant() << QVariant() << QVariant(0) << true << true << true;
    QTest::newRow("unreadable") << QVariant("x") << QVariant("no") << QVariant(0) << true << true
                                << true;
  }
  void optionsReadAtCreation() {
    QFETCH(QVariant, zhuan);
    QFETCH(QVariant, guiRen);
    QFETCH(QVariant, sheHai);
    QFETCH(bool, expectZhuan);
    QFETCH(bool, expectJWG);
    QFETCH(bool, expectMZJ);
    if (zhuan.isValid()) Store("Zhuan", zhuan);
    if (guiRen.isValid()) Store("GuiRen", guiRen);
    if (sheHai.isValid()) Store("SheHai", sheHai);
    TChartDialogs dialogs;
    QCOMPARE(dialogs.qimen()->rbTypeZhuan()->isChecked(), expectZhuan);
    QCOMPARE(dialogs.qimen()->rbTypeFei()->isChecked(), !expectZhuan);
    QCOMPARE(dialogs.liuren()->rbJWG()->isChecked(), expectJWG);
    QCOMPARE(dialogs.liuren()->rbJYW()->isChecked(), !expectJWG);
    QCOMPARE(dialogs.liuren()->rbMZJ()->isChecked(), expectMZJ);
    QCOMPARE(dialogs.liuren()->rbShengQian()->isChecked(), !expectMZJ);
  }

  // Written at every close, Cancel included, and read back by the next run.
  void optionsWrittenAtClose() {
    for (const int result : {int(QDialog::Rejected), int(QDialog::Accepted)}) {
      testing_support::ClearSettings();
      {
        TChartDialogs dialogs;
        dialogs.qimen()->rbTypeFei()->setChecked(true);
        dialogs.liuren()->rbJYW()->setChecked(true);
        QTimer::singleShot(0, dialogs.qimen(), [&] { dialogs.qimen()->done(result); });
        QCOMPARE(dialogs.qimen()->exec(), result);
        QCOMPARE(Stored("Zhuan").toInt(), 0);
        QVERIFY(!Stored("GuiRen").isValid());  // the Liu Ren dialog has not closed yet
        QTimer::singleShot(0, dialogs.liuren(), [&] { dialogs.liuren()->done(result); });
        QCOMPARE(dialogs.liuren()->exec(), result);
        QCOMPARE(Stored("GuiRen").toInt(), 0);
        QCOMPARE(Stored("SheHai").toInt(), 1);
      }
      TChartDialogs next;  // the next program run
      QVERIFY(next.qimen()->rbTypeFei()->isChecked());
      QVERIFY(next.liuren()->rbJYW()->isChecked());
      QVERIFY(next.liuren()->rbMZJ()->isChecked());
    }
    // And back to true.
    {
      TChartDialogs dialogs;
      dialogs.qimen()->rbTypeZhuan()->setChecked(true);
      dialogs.qimen()->reject();
      dialogs.liuren()->rbJWG()->setChecked(true);
      dialogs.liuren()->rbShengQian()->setChecked(true);
      dialogs.liuren()->reject();
    }
    QCOMPARE(Stored("Zhuan").toInt(), 1);
    QCOMPARE(Stored("GuiRen").toInt(), 1);
    QCOMPARE(Stored("SheHai").toInt(), 0);
  }

  // The place and time-correction group: collapsed at first, its toggle
  // named for the dialog; opening it makes the dialog taller, closing it
  // gives the old size back. The minutes stand beside the hour.
  void correctionGroup() {
    TChartDialogs dialogs;
    const std::pair<TDatedForm*, QString> cases[] = {
        {dialogs.bazi(), "出生地与时间校正"},
        {dialogs.liuyao(), "起课地点与时间校正"},
        {dialogs.qimen(), "起课地点与时间校正"},
        {dialogs.liuren(), "起课地点与时间校正"},
    };
    for (const auto& [form, title] : cases) {
      const QByteArray name = form->objectName().toUtf8();
      QCOMPARE(form->btnCorrection()->text(), title);
      QCOMPARE(Entries(form->cbMinute()), Numbers(0, 59));
      QCOMPARE(form->cbMinute()->currentText(), QStringLiteral("0"));
      QVERIFY(form->rbNoCorrection()->isChecked());
      QCOMPARE(form->rbNoCorrection()->text(), QStringLiteral("不校正"));
      QCOMPARE(form->rbMeanSolar()->text(), QStringLiteral("平太阳时"));
      QCOMPARE(form->rbTrueSolar()->text(), QStringLiteral("真太阳时"));
      form->show();
      QVERIFY(QTest::qWaitForWindowExposed(form));
      QVERIFY2(!form->gbCorrection()->isVisible(), name);
      // The minutes follow the hour on its row.
      QCOMPARE(form->cbMinute()->geometry().center().y(), form->cbHour()->geometry().center().y());
      QVERIFY(form->cbMinute()->geometry().left() > form->cbHour()->geometry().right());
      const int closed = form->height();
      QTest::mouseClick(form->btnCorrection(), Qt::LeftButton);
      QVERIFY2(form->gbCorrection()->isVisible(), name);
      QTRY_VERIFY2(form->height() > closed + 60, name);
      // Nothing of the group lies outside the dialog.
      QVERIFY(form->rect().contains(
          QRect(form->gbCorrection()->mapTo(form, QPoint(0, 0)), form->gbCorrection()->size())));
      QTest::mouseClick(form->btnCorrection(), Qt::LeftButton);
      QVERIFY(!form->gbCorrection()->isVisible());
      QTRY_COMPARE(form->height(), closed);
      form->hide();
    }
  }

  // Tab runs from the method's own controls on to the group below them,
  // from the minutes' field to the calendar after the hour.
  void tabOrder() {
    TChartDialogs dialogs;
    const std::pair<TDatedForm*, QWidget*> cases[] = {
        {dialogs.bazi(), dialogs.bazi()->rbNv()},
        {dialogs.liuyao(), dialogs.liuyao()->rbDatetime()},
        {dialogs.qimen(), dialogs.qimen()->rbTypeFei()},
        {dialogs.liuren(), dialogs.liuren()->rbShengQian()},
    };
    for (const auto& [form, lastOwn] : cases) {
      form->show();
      QVERIFY(QTest::qWaitForWindowExposed(form));
      QList<QWidget*> chain;
      for (QWidget* w = form->nextInFocusChain(); w != form; w = w->nextInFocusChain())
        chain << w;
      const QByteArray name = form->objectName().toUtf8();
      QVERIFY2(chain.indexOf(lastOwn) < chain.indexOf(form->btnCorrection()), name);
      QVERIFY2(chain.indexOf(form->btnCorrection()) < chain.indexOf(form->edtPlace()), name);
      QVERIFY2(chain.indexOf(form->cbHour()) < chain.indexOf(form->cbMinute()), name);
      QVERIFY2(chain.indexOf(form->cbMinute()) < chain.indexOf(form->rbSolar()), name);
      form->hide();
    }
  }

  // Typing a place offers the built-in places that begin so; choosing one
  // fills in longitude and zone. A name typed out in full does the same;
  // longitude and zone can be typed over.
  void placeCompletion() {
    TBaziForm form;
    form.show();
    form.ShowCorrection(true);
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.edtPlace()->setFocus();
    testing_support::TypeText(form.edtPlace(), QStringLiteral("乌鲁"));
    QStandardItemModel* offered = form.placeCompletions();
    QVERIFY(offered->rowCount() >= 1);
    QCOMPARE(offered->item(0)->text(), QStringLiteral("乌鲁木齐（新疆）"));
    QCompleter* completer = form.edtPlace()->completer();
    QVERIFY(completer->popup()->isVisible());
    completer->popup()->setCurrentIndex(completer->completionModel()->index(0, 0));
    QTest::keyClick(completer->popup(), Qt::Key_Return);
    QCOMPARE(form.edtPlace()->text(), QStringLiteral("乌鲁木齐"));
    QCOMPARE(form.edtLongitude()->text(), QStringLiteral("87.618"));
    QCOMPARE(form.edtZone()->text(), QStringLiteral("Asia/Shanghai"));
    // By hand: the fields take what is typed.
    form.edtLongitude()->setText(QStringLiteral("87.5"));
    QCOMPARE(form.edtLongitude()->text(), QStringLiteral("87.5"));
    // A known place typed in full fills the fields too; an unknown one
    // leaves them.
    form.edtPlace()->setText(QStringLiteral("哈尔滨"));
    QCOMPARE(form.edtZone()->text(), QStringLiteral("Asia/Shanghai"));
    QVERIFY(form.edtLongitude()->text().startsWith(QStringLiteral("126.")));
    form.edtPlace()->setText(QStringLiteral("某村"));
    QVERIFY(form.edtLongitude()->text().startsWith(QStringLiteral("126.")));
  }

  // The dialogs keep their values from one showing to the next.
  void valuesKeptBetweenUses() {
    TChartDialogs dialogs;
    dialogs.xuankong()->cbYun()->setCurrentIndex(2);
    dialogs.bazi()->cbYear()->setEditText(QStringLiteral("1999"));
    for (QDialog* d : {static_cast<QDialog*>(dialogs.xuankong()), static_cast<QDialog*>(dialogs.bazi())}) {
      QTimer::singleShot(0, d, [d] { d->accept(); });
      d->exec();
    }
    QCOMPARE(dialogs.xuankong()->cbYun()->currentIndex(), 2);
    QCOMPARE(dialogs.bazi()->cbYear()->currentText(), QStringLiteral("1999"));
  }
};

QTEST_MAIN(ChartDialogsTest)
#include "chart_dialogs_test.moc"
