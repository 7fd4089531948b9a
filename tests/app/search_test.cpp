// The record search through the real windows: the search window, the
// clauses it builds, the search over all folders, the highlight words, the
// status panels, the wait window and the window's life.

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QTableView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QTreeWidget>
#include <QtTest>
#include <algorithm>
#include <memory>

#include "casebook_store.h"
#include "folder_tree.h"
#include "main_form.h"
#include "main_form_parts.h"
#include "search_form.h"
#include "edit_form.h"
#include "skin.h"
#include "test_support.h"
#include "window_test.h"

using namespace main_form_parts;

namespace {

// The term of one word: the field (named by the parameter) holds the word.
QString Has(const QString& param) {
  return QStringLiteral("contains_word(") + param.left(3).mid(1) + QStringLiteral(", ") + param +
         QLatin1Char(')');
}

// The folders and records every test starts from. Texts use CR LF lines.
struct Casebook {
  RowId fa = 0, fb = 0, fc = 0;  // 甲类, 乙类 (under 甲类), 丙类
  RowId both = 0;       // title 甲 and 乙
  RowId titleJia = 0;   // title 甲 only, text 乙
  RowId textBoth = 0;   // text 甲 and 乙
  RowId quote = 0;      // it's, 50%, a_b
  RowId latin = 0;      // Hexagram in mixed case
  RowId plain = 0;      // none of the words
};

Casebook Fill(const QString& dir) {
  Casebook c;
  CasebookStore s;
  s.OpenStore(dir);
  c.fa = s.AddFolder(0, QStringLiteral("甲类"));
  c.fb = s.AddFolder(c.fa, QStringLiteral("乙类"));
  c.fc = s.AddFolder(0, QStringLiteral("丙类"));
  const QDate d(2025, 5, 1);
  c.both = s.InsertRecord(c.fa, {QStringLiteral("甲乙同见"), QStringLiteral("张三"), d, false, QStringLiteral("无关的正文")});
  c.titleJia = s.InsertRecord(c.fb, {QStringLiteral("只有甲"), QStringLiteral("李四"), d, true, QStringLiteral("乙在正文")});
  c.textBoth = s.InsertRecord(c.fc, {QStringLiteral("无关标题"), QString(), d, false, QStringLiteral("第一行甲子\r\n第二行乙丑　│　　│")});
  c.quote = s.InsertRecord(c.fc, {QStringLiteral("it's 50% a_b"), QString(), d, false, QStringLiteral("it's 50% a_b")});
  c.latin = s.InsertRecord(c.fa, {QStringLiteral("HEXAGRAM"), QString(), d, false, QStringLiteral("a hexagram and a HexaGram")});
  c.plain = s.InsertRecord(c.fb, {QStringLiteral("its 500 axb"), QString(), d, false, QStringLiteral("its 500 axb ＡＢＣ")});
  return c;
}

std::vector<RowId> Listed(TMainForm& form) {
  std::vector<RowId> ids;
  RecordList* list = form.Records();
  for (int r = 0; r < list->count(); ++r)
    ids.push_back(list->id(r));
  std::sort(ids.begin(), ids.end());
  return ids;
}


template <typename T>
T* Child(QWidget* w, const char* name) {
  return w->findChild<T*>(QString::fromLatin1(name));
}

}  // namespace

class SearchTest : public WindowTest {
  Q_OBJECT

  Casebook book_;

  // The search command of the mode, through its menu action; returns the
  // search window it shows.
  static TfrmSearch* Open(TMainForm& form, int mode) {
    const char* names[] = {"actSearchTitle", "actSearchContent", "actSearchAll"};
    form.findChild<QAction*>(QString::fromLatin1(names[mode]))->trigger();
    return TfrmSearch::Find();
  }

  // Types the words, chooses the relation and confirms with "确定".
  static void Confirm(TfrmSearch* s, const QString& words, bool all = true) {
    auto* edit = Child<QLineEdit>(s, "edtSearchStr");
    edit->clear();
    testing_support::TypeText(edit, words);
    Child<QRadioButton>(s, all ? "rbAnd" : "rbOr")->click();
    QTest::mouseClick(Child<QPushButton>(s, "btnOK"), Qt::LeftButton);
  }

  // Makes the folder current. Checks as it goes: the caller ends the test
  // when it failed.
  void Select(TMainForm& form, const QString& caption) {
    const auto found = Tree(form)->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(found.size(), 1);
    Tree(form)->setCurrentItem(found.first());
  }

 protected:
  void Prepare() override {
    book_ = Fill(dataDir_);
  }

  void Finish() override {
    QVERIFY(!QApplication::overrideCursor());
  }

 private slots:
  // The clauses of the worked examples: each word a parameter holding the
  // word itself, words joined by the relation, fields by "or".
  void likeClause_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("all");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("bound");
    QTest::addColumn<QStringList>("highlight");
    const int bt = static_cast<int>(SearchField::Title);
    const int lr = static_cast<int>(SearchField::Text);
    QTest::newRow("甲 and BT") << bt << "甲" << true << "(" + Has(":BT0") + ")"
                               << QStringList{"甲"} << QStringList{"甲"};
    QTest::newRow("甲 乙 and BT") << bt << "甲 乙" << true
                                  << "(" + Has(":BT0") + " and " + Has(":BT1") + ")"
                                  << QStringList{"甲", "乙"} << QStringList{"甲", "乙"};
    QTest::newRow("甲 乙 or LR") << lr << "甲 乙" << false
                                 << "(" + Has(":LR0") + " or " + Has(":LR1") + ")"
                                 << QStringList{"甲", "乙"} << QStringList{"甲", "乙"};
    // Mends: blanks at either end and in a row make no empty words; quotes
    // and wildcards stay inside the bound values as they are.
    QTest::newRow("blanks") << bt << "  甲   乙 \t" << true
                            << "(" + Has(":BT0") + " and " + Has(":BT1") + ")"
                            << QStringList{"甲", "乙"} << QStringList{"甲", "乙"};
    QTest::newRow("quote") << bt << "it's" << true << "(" + Has(":BT0") + ")"
                           << QStringList{"it's"} << QStringList{"it's"};
    QTest::newRow("wildcards") << lr << "50% a_b c\\d" << true
                               << "(" + Has(":LR0") + " and " + Has(":LR1") + " and " +
                                      Has(":LR2") + ")"
                               << QStringList{"50%", "a_b", "c\\d"}
                               << QStringList{"50%", "a_b", "c\\d"};
    QTest::newRow("full-width space is no blank") << lr << "│　　│" << true
                                                 << "(" + Has(":LR0") + ")"
                                                 << QStringList{"│　　│"}
                                                 << QStringList{"│　　│"};
    QTest::newRow("blanks alone") << bt << "   " << true << QString() << QStringList{}
                                  << QStringList{};
  }

  void likeClause() {
    QFETCH(int, field);
    QFETCH(QString, typed);
    QFETCH(bool, all);
    QFETCH(QString, text);
    QFETCH(QStringList, bound);
    QFETCH(QStringList, highlight);
    QStringList words = {QStringLiteral("old")};
    const SearchClause clause = LikeClause(static_cast<SearchField>(field), typed, all, &words);
    QCOMPARE(clause.text(), text);
    QCOMPARE(words, highlight);
    SearchCondition c;
    c.clauses = {clause};
    QStringList values;
    for (const SearchBinding& b : c.bindings()) values << b.second.toString();
    QCOMPARE(values, bound);
  }

  // The search window's condition for each mode and relation, and the
  // records it finds over all folders.
  void searchWindowConditions() {
    auto form = MakeForm();
    QVERIFY(form);
    Select(*form, QStringLiteral("丙类"));
    if (QTest::currentTestFailed()) return;
    QTreeWidgetItem* selected = Tree(*form)->currentItem();
    const Casebook& b = book_;
    const struct {
      int mode;
      const char* typed;
      bool all;
      QString where;
      std::vector<RowId> found;
    } cases[] = {
        {0, "甲 乙", true, " where (" + Has(":BT0") + " and " + Has(":BT1") + ")", {b.both}},
        {1, "甲 乙", true, " where (" + Has(":LR0") + " and " + Has(":LR1") + ")", {b.textBoth}},
        // Both fields: "and" inside each, "or" between them.
        {2, "甲 乙", true,
         " where (" + Has(":BT0") + " and " + Has(":BT1") + ") or (" + Has(":LR0") + " and " +
             Has(":LR1") + ")",
         {b.both, b.textBoth}},
        {0, "甲 乙", false, " where (" + Has(":BT0") + " or " + Has(":BT1") + ")", {b.both, b.titleJia}},
        {2, "甲 乙", false,
         " where (" + Has(":BT0") + " or " + Has(":BT1") + ") or (" + Has(":LR0") + " or " +
             Has(":LR1") + ")",
         {b.both, b.titleJia, b.textBoth}},
        // Mode 1 looks in the text only: the title's 甲 does not count.
        {1, "只有甲", true, " where (" + Has(":LR0") + ")", {}},
        {0, "只有甲", true, " where (" + Has(":BT0") + ")", {b.titleJia}},
        // Each character as itself: a quote, "%" and "_" are no wildcards.
        {2, "it's", true, " where (" + Has(":BT0") + ") or (" + Has(":LR0") + ")", {b.quote}},
        {2, "'", true, " where (" + Has(":BT0") + ") or (" + Has(":LR0") + ")", {b.quote}},
        {0, "0%", true, " where (" + Has(":BT0") + ")", {b.quote}},
        {0, "a_b", true, " where (" + Has(":BT0") + ")", {b.quote}},
        // Double blanks make no word that matches everything.
        {0, "甲  乙", false, " where (" + Has(":BT0") + " or " + Has(":BT1") + ")", {b.both, b.titleJia}},
        // Latin letters in any case; full-width letters exactly.
        {2, "hExAgRaM", true, " where (" + Has(":BT0") + ") or (" + Has(":LR0") + ")", {b.latin}},
        {1, "ａｂｃ", true, " where (" + Has(":LR0") + ")", {}},
        {1, "ＡＢＣ", true, " where (" + Has(":LR0") + ")", {b.plain}},
        {1, "│　　│", true, " where (" + Has(":LR0") + ")", {b.textBoth}},
    };
    for (const auto& c : cases) {
      TfrmSearch* s = Open(*form, c.mode);
      QVERIFY(s);
      Confirm(s, QString::fromUtf8(c.typed), c.all);
      QVERIFY2(!s->isVisible(), c.typed);  // hidden, not destroyed
      QCOMPARE(s->WhereText().text(), c.where);
      QCOMPARE(s->CaptionText(), QStringLiteral("查找“") + QString::fromUtf8(c.typed) + QStringLiteral("”"));
      QCOMPARE(Listed(*form), c.found);
      QCOMPARE(form->Records()->currentRow(), c.found.empty() ? -1 : 0);
      QCOMPARE(Tree(*form)->currentItem(), selected);  // the tree keeps its selection
      Settle();
    }
    QVERIFY(boxes_->shown.isEmpty());
  }

  // Pasted words with characters SQLite's own comparison does not take
  // literally are found as they are: what follows a U+0000, U+FFFD, U+FFFE
  // and U+FFFF apart, a character beyond the Basic Multilingual Plane, and
  // the syntax of FTS5 queries.
  void oddWordsAreFoundLiterally() {
    const QString nul(QChar(0));
    RowId afterNul = 0, fffd = 0, fffe = 0, ffff = 0, emoji = 0, syntax = 0;
    {
      CasebookStore s;
      s.OpenStore(dataDir_);
      const QDate d(2025, 6, 1);
      afterNul = s.InsertRecord(book_.fc, {QStringLiteral("空字符"), QString(), d, false, QStringLiteral("前") + nul + QStringLiteral("后文")});
      fffd = s.InsertRecord(book_.fc, {QStringLiteral("怪\uFFFD字"), QString(), d, false, QString()});
      fffe = s.InsertRecord(book_.fc, {QStringLiteral("怪\uFFFE字"), QString(), d, false, QString()});
      ffff = s.InsertRecord(book_.fc, {QStringLiteral("怪\uFFFF字"), QString(), d, false, QString()});
      emoji = s.InsertRecord(book_.fc, {QStringLiteral("笑\U0001F600"), QString(), d, false, QString()});
      syntax = s.InsertRecord(book_.fc, {QStringLiteral("NEAR(甲 乙) \"引\" *"), QString(), d, false, QString()});
    }
    auto form = MakeForm();
    QVERIFY(form);
    const struct {
      int mode;
      QString pasted;
      std::vector<RowId> found;
    } cases[] = {
        {1, QStringLiteral("后文"), {afterNul}},
        {1, QStringLiteral("前") + nul + QStringLiteral("后"), {afterNul}},
        {1, QStringLiteral("前") + nul + QStringLiteral("前"), {}},
        {0, QStringLiteral("\uFFFD"), {fffd}},
        {0, QStringLiteral("\uFFFE"), {fffe}},
        {0, QStringLiteral("\uFFFF"), {ffff}},
        {0, QStringLiteral("怪\uFFFF字"), {ffff}},
        {0, QStringLiteral("\U0001F600"), {emoji}},
        {2, QStringLiteral("NEAR(甲"), {syntax}},
        {2, QStringLiteral("\"引\""), {syntax}},
        {2, QStringLiteral("*"), {syntax}},
    };
    for (const auto& c : cases) {
      TfrmSearch* s = Open(*form, c.mode);
      QVERIFY(s);
      Child<QLineEdit>(s, "edtSearchStr")->setText(c.pasted);
      QTest::mouseClick(Child<QPushButton>(s, "btnOK"), Qt::LeftButton);
      QVERIFY(!s->isVisible());
      QVERIFY2(Listed(*form) == c.found, qPrintable(c.pasted.toUtf8().toHex(' ')));
      Settle();
    }
    QVERIFY(boxes_->shown.isEmpty());
  }

  // The found records' texts show with the words in red; the words stay
  // until a folder is listed again.
  void highlightAfterSearch() {
    auto form = MakeForm();
    QVERIFY(form);
    TfrmSearch* s = Open(*form, 1);
    Confirm(s, QStringLiteral("甲子  乙丑"));
    QCOMPARE(form->HighlightWords(), (QStringList{"甲子", "乙丑"}));
    QCOMPARE(Listed(*form), std::vector<RowId>{book_.textBoth});
    QCOMPARE(Preview(*form)->toPlainText(), QStringLiteral("第一行甲子\n第二行乙丑　│　　│"));
    QCOMPARE(testing_support::ColourMask(Preview(*form)), (QStringList{"...RR", "...RR....."}));
    Select(*form, QStringLiteral("甲类"));
    if (QTest::currentTestFailed()) return;
    QVERIFY(form->HighlightWords().isEmpty());
    Settle();
  }

  // The status bar during and after a search, written even while hidden,
  // and the wait window that lives exactly as long as the query.
  void statusAndWaitWindow() {
    auto form = MakeForm();
    QVERIFY(form);
    form->findChild<QAction*>(QStringLiteral("actViewStatusBar"))->trigger();
    QVERIFY(!form->statusBar()->isVisible());
    for (int i = 0; i < 4; ++i) StatusPanel(*form, i)->setText(QStringLiteral("旧"));

    SearchCondition where;
    where.clauses = {LikeClause(SearchField::Title, QStringLiteral("甲"), true)};
    form->RunSearch(where, QStringLiteral("查找“甲”"));
    // The query is done, the program not yet back in its event loop.
    TFormWait* wait = TFormWait::Current();
    QVERIFY(wait);
    QVERIFY(wait->isVisible());
    QCOMPARE(wait->size(), QSize(431, 67));
    QVERIFY(wait->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QCOMPARE(StatusPanel(*form, 0)->text(), QStringLiteral("完成"));
    QCOMPARE(StatusPanel(*form, 1)->text(), QStringLiteral("找到 2 条记录"));
    QCOMPARE(StatusPanel(*form, 2)->text(), QStringLiteral("查找“甲”"));
    QVERIFY2(QRegularExpression(QStringLiteral("^查找耗时：\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$"))
                 .match(StatusPanel(*form, 3)->text())
                 .hasMatch(),
             qPrintable(StatusPanel(*form, 3)->text()));
    QCOMPARE(Listed(*form), (std::vector<RowId>{book_.both, book_.titleJia}));
    Settle();
    QVERIFY(!TFormWait::Current());
    QVERIFY(!QApplication::overrideCursor());

    // An empty condition does nothing at all.
    for (int i = 0; i < 4; ++i) StatusPanel(*form, i)->setText(QStringLiteral("旧"));
    form->RunSearch(SearchCondition(), QStringLiteral("查找“ ”"));
    QVERIFY(!TFormWait::Current());
    for (int i = 0; i < 4; ++i) QCOMPARE(StatusPanel(*form, i)->text(), QStringLiteral("旧"));
    QCOMPARE(Listed(*form), (std::vector<RowId>{book_.both, book_.titleJia}));
  }

  void elapsedText() {
    QCOMPARE(ElapsedText(0), QStringLiteral("00:00:00.000"));
    QCOMPARE(ElapsedText(7), QStringLiteral("00:00:00.007"));
    QCOMPARE(ElapsedText(1234), QStringLiteral("00:00:01.234"));
    QCOMPARE(ElapsedText(59999), QStringLiteral("00:00:59.999"));
    QCOMPARE(ElapsedText(3723004), QStringLiteral("01:02:03.004"));
  }

  // The two error messages; the window stays and nothing is searched.
  void errorMessages() {
    auto form = MakeForm();
    QVERIFY(form);
    Select(*form, QStringLiteral("甲类"));
    if (QTest::currentTestFailed()) return;
    const std::vector<RowId> before = Listed(*form);
    TfrmSearch* s = Open(*form, 2);
    const struct {
      const char* typed;
      bool title, content;
      const char* message;
    } cases[] = {
        {"", true, true, "请输入要查询的关键字。"},
        {"   ", true, true, "请输入要查询的关键字。"},
        {"甲", false, false, "请指定按什么来查找。"},
    };
    for (const auto& c : cases) {
      boxes_->shown.clear();
      auto* edit = Child<QLineEdit>(s, "edtSearchStr");
      edit->clear();
      testing_support::TypeText(edit, QString::fromUtf8(c.typed));
      Child<QCheckBox>(s, "chkTitle")->setChecked(c.title);
      Child<QCheckBox>(s, "chkContent")->setChecked(c.content);
      QTest::mouseClick(Child<QPushButton>(s, "btnOK"), Qt::LeftButton);
      QCOMPARE(boxes_->shown.size(), 1);
      QCOMPARE(boxes_->shown[0].text, QString::fromUtf8(c.message));
      QCOMPARE(boxes_->shown[0].buttons, skin::Buttons::Ok);
      QVERIFY(s->isVisible());
      QCOMPARE(Listed(*form), before);
      QVERIFY(!TFormWait::Current());
    }
    s->close();
  }

  // 求占人, a date range and the feedback flag, alone (no words) or with
  // the words: every criterion given must hold. Records in the recycle bin
  // are never found. The status bar's caption tells what was asked.
  void criteriaWithAndWithoutWords() {
    RowId old = 0;
    {
      CasebookStore s;
      s.OpenStore(dataDir_);
      old = s.InsertRecord(book_.fc, {QStringLiteral("旧案"), QStringLiteral("张三"), QDate(2020, 3, 1), true, QStringLiteral("甲")});
      const RowId binned = s.InsertRecord(book_.fa, {QStringLiteral("回收"), QStringLiteral("张三"), QDate(2020, 3, 1), true, QStringLiteral("甲")});
      s.DeleteRecord(binned);
    }
    auto form = MakeForm();
    QVERIFY(form);
    const Casebook& b = book_;
    const struct {
      const char* typed;
      const char* querent;
      QDate from, to;  // null: no date range
      const char* feedback;  // the radio button
      std::vector<RowId> found;
      const char* caption;
    } cases[] = {
        {"", "张", {}, {}, "rbFkAll", {b.both, old}, "查找：求占人“张”"},
        {"", " 张三 ", {}, {}, "rbFkAll", {b.both, old}, "查找：求占人“张三”"},
        {"", "", {}, {}, "rbFkYes", {b.titleJia, old}, "查找：有反馈"},
        {"", "李", {}, {}, "rbFkNo", {}, "查找：求占人“李”，无反馈"},
        {"", "", QDate(2020, 1, 1), QDate(2020, 12, 31), "rbFkAll", {old}, "查找：2020-01-01 至 2020-12-31"},
        {"甲", "张三", {}, {}, "rbFkAll", {b.both, old}, "查找“甲”，求占人“张三”"},
        {"甲", "", QDate(2025, 5, 1), QDate(2025, 5, 1), "rbFkYes", {b.titleJia},
         "查找“甲”，2025-05-01 至 2025-05-01，有反馈"},
    };
    for (const auto& c : cases) {
      TfrmSearch* s = Open(*form, 2);
      QVERIFY(s);
      Child<QLineEdit>(s, "edtQZR")->setText(QString::fromUtf8(c.querent));
      Child<QCheckBox>(s, "chkDate")->setChecked(c.from.isValid());
      if (c.from.isValid()) {
        Child<QDateEdit>(s, "deFrom")->setDate(c.from);
        Child<QDateEdit>(s, "deTo")->setDate(c.to);
      }
      Child<QRadioButton>(s, c.feedback)->click();
      Confirm(s, QString::fromUtf8(c.typed));
      QVERIFY2(!s->isVisible(), c.caption);
      QCOMPARE(s->CaptionText(), QString::fromUtf8(c.caption));
      QCOMPARE(StatusPanel(*form, 2)->text(), QString::fromUtf8(c.caption));
      QCOMPARE(Listed(*form), c.found);
      Settle();
    }
    QVERIFY(boxes_->shown.isEmpty());

    // A range that ends before it begins is refused; nothing is searched.
    TfrmSearch* s = Open(*form, 2);
    Child<QCheckBox>(s, "chkDate")->setChecked(true);
    Child<QDateEdit>(s, "deFrom")->setDate(QDate(2025, 2, 1));
    Child<QDateEdit>(s, "deTo")->setDate(QDate(2025, 1, 1));
    const std::vector<RowId> before = Listed(*form);
    Confirm(s, QString());
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].text, QStringLiteral("开始的日期晚于结束的日期，请检查。"));
    QVERIFY(s->isVisible());
    QCOMPARE(Listed(*form), before);
    // Unticked, the dates ask nothing: with no words and nothing else, the
    // words are asked for.
    boxes_->shown.clear();
    Child<QCheckBox>(s, "chkDate")->setChecked(false);
    Child<QLineEdit>(s, "edtQZR")->clear();
    Child<QRadioButton>(s, "rbFkAll")->click();
    Confirm(s, QStringLiteral("  "));
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].text, QStringLiteral("请输入要查询的关键字。"));
    s->close();
  }

  // Hits show their folder in a column of their own ("分类"), and sort
  // like a folder's list, by folder too (names in pinyin order); a folder's
  // list hides the column again.
  void hitsShowTheirFolderAndSort() {
    auto form = MakeForm();
    QVERIFY(form);
    Select(*form, QStringLiteral("丙类"));
    if (QTest::currentTestFailed()) return;
    QTableView* view = RecordView(*form);
    QVERIFY(view->isColumnHidden(RecordList::ColFolder));
    Confirm(Open(*form, 2), QStringLiteral("甲"));
    QVERIFY(!view->isColumnHidden(RecordList::ColFolder));
    // The shown columns, the folder's among them, fit the list's width less
    // 50 pixels as a folder's list does: no scroll bar across.
    auto widths = [view] {
      int sum = 0;
      for (int c = 0; c < RecordList::ColumnCount; ++c)
        if (!view->isColumnHidden(c)) sum += view->columnWidth(c);
      return sum;
    };
    QVERIFY(qAbs(widths() - (view->width() - 50)) <= 4);
    QAbstractItemModel* model = view->model();
    QCOMPARE(model->headerData(RecordList::ColFolder, Qt::Horizontal).toString(), QStringLiteral("分类"));
    auto column = [model](int col) {
      QStringList cells;
      for (int r = 0; r < model->rowCount(); ++r) cells << model->index(r, col).data().toString();
      return cells;
    };
    model->sort(RecordList::ColFolder, Qt::AscendingOrder);  // what a click on the title does
    QCOMPARE(column(RecordList::ColFolder), (QStringList{"丙类", "甲类", "乙类"}));
    QCOMPARE(column(RecordList::ColBT), (QStringList{"无关标题", "甲乙同见", "只有甲"}));
    model->sort(RecordList::ColFolder, Qt::DescendingOrder);
    QCOMPARE(column(RecordList::ColFolder), (QStringList{"乙类", "甲类", "丙类"}));
    model->sort(RecordList::ColBT, Qt::AscendingOrder);  // 无关 wu, 只有 zhi, 甲乙 jia
    QCOMPARE(column(RecordList::ColBT), (QStringList{"甲乙同见", "无关标题", "只有甲"}));
    QCOMPARE(form->HighlightWords(), QStringList{"甲"});  // still the hits
    Select(*form, QStringLiteral("甲类"));
    QVERIFY(view->isColumnHidden(RecordList::ColFolder));
    QVERIFY(qAbs(widths() - (view->width() - 50)) <= 4);
    model->sort(RecordList::ColID, Qt::DescendingOrder);  // newest first again
  }

  // Saving a record opened from the hits keeps the hits, the record's row
  // showing it as saved, the words and the status bar as they were.
  void savingAHitKeepsTheHits() {
    auto form = MakeForm();
    QVERIFY(form);
    Select(*form, QStringLiteral("丙类"));
    if (QTest::currentTestFailed()) return;
    Confirm(Open(*form, 2), QStringLiteral("甲"));
    const std::vector<RowId> hits{book_.both, book_.titleJia, book_.textBoth};
    QCOMPARE(Listed(*form), hits);
    const QString found = StatusPanel(*form, 1)->text();
    QVERIFY(form->Records()->locate(book_.titleJia));  // in 乙类, not the selected folder
    TEditForm* ed = nullptr;
    const auto conn = connect(form.get(), &TMainForm::editorOpened, this, [&](TEditForm* e) { ed = e; });
    form->findChild<QAction*>(QStringLiteral("actOpenRecord"))->trigger();
    disconnect(conn);
    QVERIFY(ed);
    QCOMPARE(ed->edtBT()->text(), QStringLiteral("只有甲"));
    ed->edtBT()->setText(QStringLiteral("只有甲，已应"));
    ed->cbFK()->setChecked(false);
    QVERIFY(ed->Save());
    QCOMPARE(Listed(*form), hits);
    RecordList* list = form->Records();
    QCOMPARE(list->currentId(), book_.titleJia);
    QCOMPARE(list->currentTitle(), QStringLiteral("只有甲，已应"));
    QCOMPARE(list->currentFeedback().value_or(true), false);
    QCOMPARE(RecordView(*form)->currentIndex().row(), list->currentRow());
    QCOMPARE(form->HighlightWords(), QStringList{"甲"});
    QCOMPARE(StatusPanel(*form, 1)->text(), found);
    QVERIFY(!RecordView(*form)->isColumnHidden(RecordList::ColFolder));
    ed->close();
    Settle();
    // A record saved from a folder's list keeps that list, as before.
    Select(*form, QStringLiteral("甲类"));
    Select(*form, QStringLiteral("丙类"));
    QVERIFY(form->Records()->locate(book_.textBoth));
    ed = nullptr;
    const auto again = connect(form.get(), &TMainForm::editorOpened, this, [&](TEditForm* e) { ed = e; });
    form->findChild<QAction*>(QStringLiteral("actOpenRecord"))->trigger();
    disconnect(again);
    QVERIFY(ed);
    ed->edtQZR()->setText(QStringLiteral("某"));
    QVERIFY(ed->Save());
    QCOMPARE(Listed(*form), (std::vector<RowId>{book_.textBoth, book_.quote}));
    QCOMPARE(form->Records()->currentId(), book_.textBoth);
    ed->close();
  }

  // One window at most: "确定" hides it and the next command shows the same
  // window with its text and relation, the ticks set from the mode.
  // "取消", Escape and closing destroy it; the next command makes a new one.
  void windowLife() {
    auto form = MakeForm();
    QVERIFY(form);
    TfrmSearch* s = Open(*form, 2);
    QVERIFY(s);
    QCOMPARE(s->windowTitle(), QStringLiteral("查找"));
    QVERIFY(!s->isModal());
    QCOMPARE(s->objectName(), QStringLiteral("frmSearch"));
    QVERIFY(Child<QRadioButton>(s, "rbAnd")->isChecked());
    QVERIFY(Child<QCheckBox>(s, "chkTitle")->isChecked());
    QVERIFY(Child<QCheckBox>(s, "chkContent")->isChecked());
    QCOMPARE(Child<QLineEdit>(s, "edtSearchStr")->text(), QString());
    QCOMPARE(s->size(), s->minimumSize());  // fixed size
    QCOMPARE(s->size(), s->maximumSize());
    QCOMPARE(Open(*form, 2), s);  // showing it again makes no second one
    Confirm(s, QStringLiteral("甲 乙"), false);
    QVERIFY(!s->isVisible());
    Settle();

    const struct {
      int mode;
      bool title, content;
    } modes[] = {{0, true, false}, {1, false, true}, {2, true, true}};
    for (const auto& m : modes) {
      QCOMPARE(Open(*form, m.mode), s);
      QVERIFY(s->isVisible());
      QCOMPARE(Child<QLineEdit>(s, "edtSearchStr")->text(), QStringLiteral("甲 乙"));
      QVERIFY(Child<QRadioButton>(s, "rbOr")->isChecked());
      QCOMPARE(Child<QCheckBox>(s, "chkTitle")->isChecked(), m.title);
      QCOMPARE(Child<QCheckBox>(s, "chkContent")->isChecked(), m.content);
    }
    int windows = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (qobject_cast<TfrmSearch*>(w)) ++windows;
    QCOMPARE(windows, 1);

    // Each way of closing destroys the window; the next one starts empty.
    const std::function<void(TfrmSearch*)> closers[] = {
        [](TfrmSearch* w) { QTest::mouseClick(Child<QPushButton>(w, "btnCancel"), Qt::LeftButton); },
        [](TfrmSearch* w) { QTest::keyClick(Child<QLineEdit>(w, "edtSearchStr"), Qt::Key_Escape); },
        [](TfrmSearch* w) { w->close(); },
    };
    for (const auto& closeIt : closers) {
      QPointer<TfrmSearch> old(s);
      testing_support::TypeText(Child<QLineEdit>(s, "edtSearchStr"), QStringLiteral("丙"));
      Child<QRadioButton>(s, "rbOr")->setChecked(true);
      closeIt(s);
      QVERIFY(!TfrmSearch::Find());
      Settle();
      QVERIFY(old.isNull());
      s = Open(*form, 1);
      QVERIFY(s);
      QCOMPARE(Child<QLineEdit>(s, "edtSearchStr")->text(), QString());
      QVERIFY(Child<QRadioButton>(s, "rbAnd")->isChecked());
      QVERIFY(!Child<QCheckBox>(s, "chkTitle")->isChecked());
      QVERIFY(Child<QCheckBox>(s, "chkContent")->isChecked());
    }
    // The search window goes with the main window.
    QPointer<TfrmSearch> last(s);
    form.reset();
    QVERIFY(last.isNull());
  }

  // Keys in the search text: Ctrl+Enter confirms and goes no further,
  // Enter alone reaches the default button; the text takes the focus.
  void keys() {
    auto form = MakeForm();
    QVERIFY(form);
    TfrmSearch* s = Open(*form, 0);
    QVERIFY(QTest::qWaitForWindowActive(s));
    auto* edit = Child<QLineEdit>(s, "edtSearchStr");
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(edit));
    QVERIFY(Child<QPushButton>(s, "btnOK")->isDefault());

    testing_support::TypeText(edit, QStringLiteral("甲"));
    QTest::keyClick(edit, Qt::Key_Return, Qt::ControlModifier);
    QVERIFY(!s->isVisible());
    QCOMPARE(edit->text(), QStringLiteral("甲"));  // no line break went in
    QCOMPARE(Listed(*form), (std::vector<RowId>{book_.both, book_.titleJia}));
    Settle();

    QCOMPARE(Open(*form, 1), s);
    QVERIFY(QTest::qWaitForWindowActive(s));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(edit));
    QTest::keyClick(edit, Qt::Key_Return);
    QVERIFY(!s->isVisible());
    QCOMPARE(Listed(*form), (std::vector<RowId>{book_.textBoth}));
    Settle();
  }

  // Deleting a record found by a search lists the selected folder again.
  void deleteAfterSearch() {
    auto form = MakeForm();
    QVERIFY(form);
    Select(*form, QStringLiteral("丙类"));
    if (QTest::currentTestFailed()) return;
    TfrmSearch* s = Open(*form, 0);
    Confirm(s, QStringLiteral("甲"));
    QCOMPARE(Listed(*form), (std::vector<RowId>{book_.both, book_.titleJia}));
    const RowId deleted = form->Records()->currentId();
    boxes_->answers << skin::Answer::Ok;
    form->findChild<QAction*>(QStringLiteral("actDeleteRecord"))->trigger();
    QCOMPARE(Listed(*form), (std::vector<RowId>{book_.textBoth, book_.quote}));
    QVERIFY(form->Records()->rowOfId(deleted) < 0);
    Settle();
  }

  // After a search, a click on the folder that is still highlighted lists
  // its records again; the status bar tells the hits of the search and
  // forgets them once the list shows a folder again.
  void clickOnTheCurrentFolderReloadsIt() {
    auto form = MakeForm();
    QVERIFY(form);
    Select(*form, QStringLiteral("丙类"));
    if (QTest::currentTestFailed()) return;
    const std::vector<RowId> folder = {book_.textBoth, book_.quote};
    QCOMPARE(Listed(*form), folder);
    const struct {
      const char* words;
      std::vector<RowId> found;
    } searches[] = {{"无此字", {}}, {"甲", {book_.both, book_.titleJia}}};
    QTreeWidgetItem* node = Tree(*form)->currentItem();
    for (const auto& search : searches) {
      Confirm(Open(*form, 0), QString::fromUtf8(search.words));
      Settle();
      QCOMPARE(Listed(*form), search.found);
      const QString hits = StatusPanel(*form, 1)->text();
      QCOMPARE(Tree(*form)->currentItem(), node);  // still highlighted
      const QPoint at = Tree(*form)->visualItemRect(node).center();
      QTest::mouseClick(Tree(*form)->viewport(), Qt::LeftButton, {}, at);
      QCOMPARE(Listed(*form), folder);
      QCOMPARE(hits, QStringLiteral("找到 %1 条记录").arg(search.found.size()));
      QVERIFY(form->HighlightWords().isEmpty());
      QCOMPARE(Preview(*form)->toPlainText(), QStringLiteral("it's 50% a_b"));
      for (int i = 0; i < 4; ++i) QCOMPARE(StatusPanel(*form, i)->text(), QString());
      // A click there once more just lists it again; another folder lists its own.
      QTest::mouseClick(Tree(*form)->viewport(), Qt::LeftButton, {}, at);
      QCOMPARE(Listed(*form), folder);
    }
    const auto other = Tree(*form)->findItems(QStringLiteral("乙类"), Qt::MatchExactly | Qt::MatchRecursive);
    QTest::mouseClick(Tree(*form)->viewport(), Qt::LeftButton, {},
                      Tree(*form)->visualItemRect(other.first()).center());
    QCOMPARE(Listed(*form), (std::vector<RowId>{book_.titleJia, book_.plain}));
    QVERIFY(boxes_->shown.isEmpty());
  }

  // A failing search shows the engine's message and leaves the list empty.
  void storeErrorIsShown() {
    auto form = MakeForm();
    QVERIFY(form);
    Select(*form, QStringLiteral("丙类"));
    if (QTest::currentTestFailed()) return;
    // More words joined by "and" than the engine's expression depth allows
    // (1000), all of them in one record's text.
    QStringList many;
    for (int i = 0; i < 1100; ++i) many << QStringLiteral("甲%1").arg(i);
    {
      CasebookStore s;
      s.OpenStore(dataDir_);
      s.InsertRecord(book_.fc, {QStringLiteral("长"), QString(), QDate(2025, 1, 1), false, many.join(QLatin1Char(' '))});
    }
    SearchCondition where;
    where.clauses = {LikeClause(SearchField::Text, many.join(QLatin1Char(' ')), true)};
    form->RunSearch(where, QStringLiteral("查找"));
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].caption, QStringLiteral("Hexalore"));
    QVERIFY(!boxes_->shown[0].text.isEmpty());
    QCOMPARE(form->Records()->count(), 0);
    QVERIFY(Preview(*form)->toPlainText().isEmpty());
    Settle();
    QVERIFY(!QApplication::overrideCursor());
  }
};

QTEST_MAIN(SearchTest)
#include "search_test.moc"
