// The look shared by all windows: theme, message boxes with their Chinese
// buttons, and the text font in which charts line up.

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include "application.h"
#include "gbk_validator.h"
#include "skin.h"
#include "test_support.h"

class SkinTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    testing_support::IsolateSettings();
    skin::ApplyTheme(*qApp);
  }

  void themeReachesEveryWindowAndBox() {
    QVERIFY(!qApp->styleSheet().isEmpty());
    QCOMPARE(qApp->styleSheet(), skin::StyleSheet());
    auto box = skin::MakeMessageBox(nullptr, QStringLiteral("提示"), QStringLiteral("x"),
                                    skin::Buttons::Ok);
    box->ensurePolished();
    // The box's background is the theme's paper colour, not the platform's.
    QCOMPARE(box->palette().color(QPalette::Window), QColor(0xf6, 0xf1, 0xe7));
  }

  // A scroll bar's handle is its dark part, on a light groove, and it
  // stands where the position says: at the start for the first line, at
  // the end for the last, in the middle between. (The handle used to be
  // lighter than the empty groove, which looked like a handle at the other
  // end.)
  void scrollBarHandleIsTheDarkPart_data() {
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("value");
    for (const auto& [name, o] : {std::pair{"vertical", Qt::Vertical}, {"horizontal", Qt::Horizontal}})
      for (const int value : {0, 50, 100})
        QTest::addRow("%s at %d", name, value) << int(o) << value;
  }

  void scrollBarHandleIsTheDarkPart() {
    QFETCH(int, orientation);
    QFETCH(int, value);
    const bool vertical = orientation == Qt::Vertical;
    QWidget window;
    auto* bar = new QScrollBar(Qt::Orientation(orientation), &window);
    bar->setRange(0, 100);
    bar->setPageStep(25);
    bar->setValue(value);
    bar->setGeometry(vertical ? QRect(0, 0, bar->sizeHint().width(), 300)
                              : QRect(0, 0, 300, bar->sizeHint().height()));
    window.resize(bar->size());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QImage image = bar->grab().toImage();
    // Along the middle of the bar: the dark run and the light rest.
    const int length = vertical ? image.height() : image.width();
    const int across = (vertical ? image.width() : image.height()) / 2 + 1;
    QList<int> light;
    int darkFrom = -1, darkTo = -1;
    long darkSum = 0, lightSum = 0;
    for (int i = 0; i < length; ++i) {
      const int l = (vertical ? image.pixelColor(across, i) : image.pixelColor(i, across)).lightness();
      if (l < 180) {
        if (darkFrom < 0) darkFrom = i;
        darkTo = i;
        darkSum += l;
      } else {
        light << l;
        lightSum += l;
      }
    }
    QVERIFY2(darkFrom >= 0, "no dark handle");
    const int dark = darkTo - darkFrom + 1;
    QVERIFY(!light.isEmpty());
    // Clearly darker than the groove, and one piece a page step long.
    QVERIFY2(lightSum / light.size() - darkSum / dark > 80, "the handle is the dark part");
    QCOMPARE(dark + light.size(), length);
    QVERIFY(dark > length / 8 && dark < length / 3);
    const int before = darkFrom, after = length - 1 - darkTo;
    if (value == 0) QVERIFY2(before <= 4 && after > length / 2, qPrintable(QString::number(before)));
    if (value == 100) QVERIFY2(after <= 4 && before > length / 2, qPrintable(QString::number(after)));
    if (value == 50) QVERIFY(qAbs(before - after) <= 4);
  }

  void messageBoxButtons_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("ok") << int(skin::Buttons::Ok) << QStringList{QStringLiteral("确定")};
    QTest::newRow("ok-cancel") << int(skin::Buttons::OkCancel)
                               << QStringList{QStringLiteral("确定"), QStringLiteral("取消")};
    QTest::newRow("ok-cancel, destructive")
        << int(skin::Buttons::OkCancelDestructive)
        << QStringList{QStringLiteral("确定"), QStringLiteral("取消")};
    QTest::newRow("yes-no-cancel")
        << int(skin::Buttons::YesNoCancel)
        << QStringList{QStringLiteral("是"), QStringLiteral("否"), QStringLiteral("取消")};
    QTest::newRow("save-discard-cancel")
        << int(skin::Buttons::SaveDiscardCancel)
        << QStringList{QStringLiteral("保存"), QStringLiteral("不保存"), QStringLiteral("取消")};
  }

  void messageBoxButtons() {
    QFETCH(int, kind);
    QFETCH(QStringList, texts);
    auto box = skin::MakeMessageBox(nullptr, QStringLiteral("确认"), QStringLiteral("确认要删除吗？"),
                                    skin::Buttons(kind));
    QCOMPARE(box->windowTitle(), QStringLiteral("确认"));
    QCOMPARE(box->text(), QStringLiteral("确认要删除吗？"));
    QStringList shown;
    for (QAbstractButton* b : box->buttons()) shown << b->text();
    shown.sort();
    texts.sort();
    QCOMPARE(shown, texts);
  }

  // The real box answers by the button pressed: Enter takes the default
  // button, Escape the cancelling one.
  void messageBoxAnswers_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("answer");
    QTest::newRow("ok/enter") << int(skin::Buttons::Ok) << int(Qt::Key_Return) << int(skin::Answer::Ok);
    QTest::newRow("ok/escape") << int(skin::Buttons::Ok) << int(Qt::Key_Escape) << int(skin::Answer::Ok);
    QTest::newRow("okcancel/enter") << int(skin::Buttons::OkCancel) << int(Qt::Key_Return)
                                    << int(skin::Answer::Ok);
    QTest::newRow("okcancel/escape") << int(skin::Buttons::OkCancel) << int(Qt::Key_Escape)
                                     << int(skin::Answer::Cancel);
    QTest::newRow("destructive/enter") << int(skin::Buttons::OkCancelDestructive)
                                       << int(Qt::Key_Return) << int(skin::Answer::Cancel);
    QTest::newRow("destructive/escape") << int(skin::Buttons::OkCancelDestructive)
                                        << int(Qt::Key_Escape) << int(skin::Answer::Cancel);
    QTest::newRow("destructive/space on 确定")
        << int(skin::Buttons::OkCancelDestructive) << int(-Qt::Key_Space) << int(skin::Answer::Ok);
    QTest::newRow("ync/enter") << int(skin::Buttons::YesNoCancel) << int(Qt::Key_Return)
                               << int(skin::Answer::Yes);
    QTest::newRow("ync/escape") << int(skin::Buttons::YesNoCancel) << int(Qt::Key_Escape)
                                << int(skin::Answer::Cancel);
    QTest::newRow("save/enter") << int(skin::Buttons::SaveDiscardCancel) << int(Qt::Key_Return)
                                << int(skin::Answer::Yes);
    QTest::newRow("save/escape") << int(skin::Buttons::SaveDiscardCancel) << int(Qt::Key_Escape)
                                 << int(skin::Answer::Cancel);
  }

  void messageBoxAnswers() {
    QFETCH(int, kind);
    QFETCH(int, key);
    QFETCH(int, answer);
    QTimer::singleShot(0, [key] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      if (key < 0) {  // on 确定, which the user has to reach first
        for (QAbstractButton* b : box->buttons())
          if (b->text() == QStringLiteral("确定")) QTest::keyClick(b, Qt::Key(-key));
        return;
      }
      QTest::keyClick(box, Qt::Key(key));
    });
    QCOMPARE(int(skin::Message(nullptr, QStringLiteral("确认"), QStringLiteral("?"),
                               skin::Buttons(kind))),
             answer);
  }

  // Qt's own texts are Chinese whatever the system's locale: the context
  // menus of the text fields, the file dialog, standard buttons.
  void qtTextsAreChinese() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QVERIFY(InstallChineseTranslations(*qApp));
    QCOMPARE(QLocale().language(), QLocale::Chinese);
    auto texts = [](QMenu* menu) {
      QStringList out;
      for (QAction* a : menu->actions())
        if (!a->isSeparator()) out << a->text().section(QLatin1Char('\t'), 0, 0);
      delete menu;
      return out;
    };
    QLineEdit line;
    const QStringList lineMenu = texts(line.createStandardContextMenu());
    QPlainTextEdit plain;
    const QStringList plainMenu = texts(plain.createStandardContextMenu());
    QTextEdit rich;
    rich.setReadOnly(true);
    const QStringList richMenu = texts(rich.createStandardContextMenu());
    for (const QStringList& menu : {lineMenu, plainMenu}) {
      QVERIFY2(menu.contains(QStringLiteral("粘贴(&P)")), qPrintable(menu.join(' ')));
      QVERIFY2(menu.contains(QStringLiteral("全选")), qPrintable(menu.join(' ')));
    }
    QVERIFY2(richMenu.contains(QStringLiteral("复制(&C)")), qPrintable(richMenu.join(' ')));
    QFileDialog files(nullptr, QString(), QDir::tempPath(), QStringLiteral("PDF 文件(*.pdf)"));
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.setAcceptMode(QFileDialog::AcceptSave);
    QStringList labels;
    for (QLabel* l : files.findChildren<QLabel*>()) labels << l->text();
    for (QAbstractButton* b : files.findChildren<QPushButton*>()) labels << b->text();
    QVERIFY2(labels.contains(QStringLiteral("文件名称(&N)：")), qPrintable(labels.join(' ')));
    QVERIFY2(labels.contains(QStringLiteral("取消")), qPrintable(labels.join(' ')));
    QVERIFY2(labels.contains(QStringLiteral("保存(&S)")), qPrintable(labels.join(' ')));
    QDialogButtonBox box(QDialogButtonBox::Open | QDialogButtonBox::Close);
    QCOMPARE(box.button(QDialogButtonBox::Close)->text(), QStringLiteral("关闭"));
  }

  void inputBoxReturnsTheTextOnOkOnly() {
    QTimer::singleShot(0, [] {
      QWidget* dlg = QApplication::activeModalWidget();
      QVERIFY(dlg);
      QCOMPARE(dlg->windowTitle(), QStringLiteral("新建分类"));
      auto* edit = dlg->findChild<QLineEdit*>();
      QVERIFY(edit);
      testing_support::TypeText(edit, QStringLiteral("案例"));
      QTest::keyClick(edit, Qt::Key_Return);
    });
    QString text;
    QVERIFY(skin::InputText(nullptr, QStringLiteral("新建分类"), QStringLiteral("请输入分类名称："),
                            &text));
    QCOMPARE(text, QStringLiteral("案例"));

    QTimer::singleShot(0, [] {
      if (QWidget* dlg = QApplication::activeModalWidget()) QTest::keyClick(dlg, Qt::Key_Escape);
    });
    QString untouched = QStringLiteral("old");
    QVERIFY(!skin::InputText(nullptr, QStringLiteral("新建分类"), QStringLiteral("请输入分类名称："),
                             &untouched));
    QCOMPARE(untouched, QStringLiteral("old"));
  }

  // Chart texts are laid out in columns of bytes: a Chinese character, a box
  // character or the full-width space is two ASCII columns wide.
  void textFontKeepsChartColumns() {
    const QFont font = skin::TextFont();
    const QFontInfo info(font);
    QCOMPARE(info.family(), QStringLiteral("Noto Sans Mono CJK SC"));
    QCOMPARE(info.pixelSize(), 14);
    const QFontMetrics fm(font);
    const int ascii = fm.horizontalAdvance(QLatin1Char('a'));
    QVERIFY(ascii > 0);
    for (const char* s : {"0", "W", "i", " "})
      QCOMPARE(fm.horizontalAdvance(QString::fromUtf8(s)), ascii);
    for (const char* s : {"中", "甲", "━", "┃", "　", "○", "×"})
      QCOMPARE(fm.horizontalAdvance(QString::fromUtf8(s)), 2 * ascii);
    // A line of a chart: 4 + 3×2 + 2 + 2×2 columns.
    QCOMPARE(fm.horizontalAdvance(QString::fromUtf8("年柱 ━━━ 甲子")),
             (2 * 2 + 1 + 3 * 2 + 1 + 2 * 2) * ascii);
  }

  void gbkLimit_data() {
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("ascii at limit") << 20 << QString(20, QLatin1Char('a')) << true;
    QTest::newRow("ascii over") << 20 << QString(21, QLatin1Char('a')) << false;
    QTest::newRow("10 chinese = 20") << 20 << QString(10, QChar(0x7532)) << true;
    QTest::newRow("11 chinese = 22") << 20 << QString(11, QChar(0x7532)) << false;
    QTest::newRow("mixed 19+2") << 20 << QString(19, QLatin1Char('a')) + QChar(0x7532) << false;
    QTest::newRow("mixed 18+2") << 20 << QString(18, QLatin1Char('a')) + QChar(0x7532) << true;
    QTest::newRow("15 chinese = 30") << 30 << QString(15, QChar(0x4e59)) << true;
    QTest::newRow("empty") << 30 << QString() << true;
  }

  void gbkLimit() {
    QFETCH(int, limit);
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    GbkLimitValidator v(limit, nullptr);
    int pos = 0;
    QCOMPARE(v.validate(text, pos) == QValidator::Acceptable, accepted);
  }

  // Typing into a limited field stops at the limit (Chinese characters
  // count two bytes each).
  void limitedFieldRefusesMoreTyping() {
    QLineEdit edit;
    LimitGbkBytes(&edit, 20);
    testing_support::TypeText(&edit, QString::fromUtf8("甲乙丙丁戊己庚辛壬癸子丑"));
    QCOMPARE(edit.text(), QString::fromUtf8("甲乙丙丁戊己庚辛壬癸"));
    edit.clear();
    testing_support::TypeText(&edit, QString::fromUtf8("abc甲乙丙丁戊己庚辛壬"));
    QCOMPARE(edit.text(), QString::fromUtf8("abc甲乙丙丁戊己庚辛"));
    testing_support::TypeText(&edit, QStringLiteral("d"));
    QCOMPARE(edit.text(), QString::fromUtf8("abc甲乙丙丁戊己庚辛d"));
  }
};

QTEST_MAIN(SkinTest)
#include "skin_test.moc"
