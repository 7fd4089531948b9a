// 文件 → 导出… and 导入… in the main window: what is asked, in which order,
// what is written and read, what the tree shows afterwards, and that a bad
// file or a cancel changes nothing. (The formats themselves, and odd texts
// going out and back in, are tested at the store: tests/store/exchange_test.)

#include <QAction>
#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "casebook_store.h"
#include "exchange_form.h"
#include "folder_picker.h"
#include "folder_tree.h"
#include "main_form.h"
#include "main_form_parts.h"
#include "skin.h"
#include "test_support.h"
#include "window_test.h"
#include "text_export.h"

using namespace main_form_parts;

namespace {

QAction* Action(TMainForm& form, const char* name) {
  return form.findChild<QAction*>(QString::fromLatin1(name));
}

QTreeWidgetItem* Node(TMainForm& form, const QString& caption) {
  const auto found = Tree(form)->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
  return found.value(0);
}

// The captions of the tree's nodes, each indented by its depth, the bin
// left out.
QStringList Outline(TMainForm& form) {
  QStringList lines;
  std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* node, int depth) {
    if (TFolderTree::Kind(node) == TFolderTree::BinNode) return;
    lines << QString(depth * 2, QLatin1Char(' ')) + node->text(0);
    for (int i = 0; i < node->childCount(); ++i) walk(node->child(i), depth + 1);
  };
  for (int i = 0; i < Tree(form)->topLevelItemCount(); ++i) walk(Tree(form)->topLevelItem(i), 0);
  return lines;
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

}  // namespace

class CasebookExchangeTest : public WindowTest {
  Q_OBJECT

  QList<QString> choiceOffers_;  // the folder names the export window offered

  // The hooks answer: the export window with `choice`, the save dialog and
  // the open dialog with `file`, the folder picker with `into`.
  std::optional<ExportChoice> choice_;
  QString file_;
  std::optional<RowId> into_;
  QStringList asked_;  // which dialogs came, in order

 protected:
  void Prepare() override {
    CasebookStore s;
    s.OpenStore(dataDir_);
    const RowId liuyao = s.AddFolder(0, QStringLiteral("六爻"));
    const RowId old = s.AddFolder(liuyao, QStringLiteral("旧例"));
    s.AddFolder(0, QStringLiteral("八字"));
    s.InsertRecord(liuyao, {QStringLiteral("问财"), QStringLiteral("王"), QDate(2024, 5, 1), true, QStringLiteral("天风姤\r\n世应")});
    s.InsertRecord(old, {QStringLiteral("问病"), QString(), QDate(), false, QStringLiteral("x")});
    asked_.clear();
    choiceOffers_.clear();
    SetExportChoiceHook([this](const QString& folder) {
      asked_ << QStringLiteral("export");
      choiceOffers_ << folder;
      return choice_;
    });
    SetSaveDialogHook([this](const QString& filter, const QString& suffix) {
      asked_ << QStringLiteral("save ") + filter + QLatin1Char(' ') + suffix;
      return file_;
    });
    SetOpenDialogHook([this](const QString& filter) {
      asked_ << QStringLiteral("open ") + filter;
      return file_;
    });
    SetFolderPickerHook([this](const QString& caption) {
      asked_ << QStringLiteral("folder ") + caption;
      return into_;
    });
  }

  void Finish() override {
    SetExportChoiceHook({});
    SetSaveDialogHook({});
    SetOpenDialogHook({});
    SetFolderPickerHook({});
  }

 private slots:
  // The two commands stand in 文件 after 备份数据库…; 导入 needs a casebook
  // that can be written.
  void commandsInTheFileMenu() {
    auto form = ShownMainForm(dataDir_);
    QVERIFY(form);
    QVERIFY(Action(*form, "actExport")->isEnabled());
    QVERIFY(Action(*form, "actImport")->isEnabled());
    QCOMPARE(Action(*form, "actExport")->text(), QStringLiteral("导出(&E)…"));
    QCOMPARE(Action(*form, "actImport")->text(), QStringLiteral("导入(&I)…"));
  }

  // With a folder selected, the export window offers it; the JSON goes
  // where the save dialog says, and the user is told what went out.
  // With the root selected only the whole casebook is offered.
  void exportAsked() {
    auto form = ShownMainForm(dataDir_);
    QVERIFY(form);
    Tree(*form)->setCurrentItem(Node(*form, QStringLiteral("六爻")));
    choice_ = ExportChoice{false, ExchangeFormat::Json};
    file_ = tmp_->filePath(QStringLiteral("六爻.json"));
    Action(*form, "actExport")->trigger();
    QCOMPARE(asked_, (QStringList{"export", "save JSON 文件(*.json) json"}));
    QCOMPARE(choiceOffers_, QStringList{QStringLiteral("六爻")});
    const QByteArray json = ReadFile(file_);
    QVERIFY(json.contains("\"Hexalore casebook\""));
    QVERIFY(json.contains("旧例") && json.contains("问病") && !json.contains("八字"));
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].text, QStringLiteral("已导出 2 个分类、2 条记录：\n") + QDir::toNativeSeparators(file_));

    // The root: the whole casebook, as CSV.
    asked_.clear();
    choiceOffers_.clear();
    boxes_->shown.clear();
    Tree(*form)->setCurrentItem(Tree(*form)->topLevelItem(0));
    choice_ = ExportChoice{true, ExchangeFormat::Csv};
    file_ = tmp_->filePath(QStringLiteral("all.csv"));
    Action(*form, "actExport")->trigger();
    QCOMPARE(asked_, (QStringList{"export", "save CSV 文件(*.csv) csv"}));
    QCOMPARE(choiceOffers_, QStringList{QString()});
    QVERIFY(ReadFile(file_).startsWith("\xEF\xBB\xBF\"分类\""));
    QCOMPARE(boxes_->shown[0].text, QStringLiteral("已导出 3 个分类、2 条记录：\n") + QDir::toNativeSeparators(file_));
  }

  // 取消 in the export window, or in the save dialog, or at the question
  // whether to replace a file: nothing is written and nothing said.
  void exportCancelled() {
    auto form = ShownMainForm(dataDir_);
    QVERIFY(form);
    file_ = tmp_->filePath(QStringLiteral("old.json"));
    WriteFile(file_, "old");
    choice_ = std::nullopt;
    Action(*form, "actExport")->trigger();
    QCOMPARE(asked_, QStringList{"export"});
    choice_ = ExportChoice{};
    boxes_->answers << skin::Answer::Cancel;
    Action(*form, "actExport")->trigger();
    QCOMPARE(boxes_->shown.size(), 1);
    QVERIFY(boxes_->shown[0].text.startsWith(QStringLiteral("文件已存在，要替换它吗？")));
    QCOMPARE(ReadFile(file_), QByteArray("old"));
    file_.clear();
    Action(*form, "actExport")->trigger();
    QCOMPARE(boxes_->shown.size(), 1);
  }

  // A file that cannot be written is reported; no half file stays.
  void exportFails() {
    auto form = ShownMainForm(dataDir_);
    QVERIFY(form);
    choice_ = ExportChoice{};
    file_ = tmp_->filePath(QStringLiteral("missing/x.json"));
    Action(*form, "actExport")->trigger();
    QCOMPARE(boxes_->shown.size(), 1);
    QVERIFY(boxes_->shown[0].text.startsWith(QStringLiteral("导出失败：")));
    QVERIFY(!QFileInfo::exists(tmp_->filePath(QStringLiteral("missing"))));
  }

  // A file exported from one casebook goes into a folder of another: it is
  // asked for, read, the folder asked, the user told what will go where and
  // asked to go on; the tree then shows the new folders and the folder
  // imported into, with its records listed.
  void importIntoAFolder() {
    const QString file = tmp_->filePath(QStringLiteral("in.json"));
    {
      auto form = ShownMainForm(dataDir_);
      QVERIFY(form);
      choice_ = ExportChoice{};
      file_ = file;
      Action(*form, "actExport")->trigger();
    }
    QTemporaryDir other;
    CasebookStore s;
    s.OpenStore(other.path());
    const RowId target = s.AddFolder(0, QStringLiteral("收到"));
    s.close();
    auto form = ShownMainForm(other.path());
    QVERIFY(form);
    asked_.clear();
    boxes_->shown.clear();
    into_ = target;
    boxes_->answers << skin::Answer::Ok;
    Action(*form, "actImport")->trigger();
    QCOMPARE(asked_, (QStringList{"open JSON 文件(*.json)", "folder 导入"}));
    QCOMPARE(boxes_->shown.size(), 2);
    QCOMPARE(boxes_->shown[0].caption, QStringLiteral("确认"));
    QCOMPARE(boxes_->shown[0].text, QStringLiteral("要把 3 个分类、2 条记录导入到“收到”吗？"));
    QCOMPARE(boxes_->shown[1].text, QStringLiteral("已导入 3 个分类、2 条记录到“收到”。"));
    QCOMPARE(Outline(*form), (QStringList{"分类目录", "  收到", "    六爻", "      旧例", "    八字"}));
    QCOMPARE(Tree(*form)->currentItem(), Node(*form, QStringLiteral("收到")));
    // Into the root, this time answered 取消 at the question: nothing.
    boxes_->shown.clear();
    into_ = 0;
    boxes_->answers << skin::Answer::Cancel;
    Action(*form, "actImport")->trigger();
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].text, QStringLiteral("要把 3 个分类、2 条记录导入到“分类目录”吗？"));
    QCOMPARE(Outline(*form), (QStringList{"分类目录", "  收到", "    六爻", "      旧例", "    八字"}));
    // 取消 in the folder picker: nothing either.
    into_ = std::nullopt;
    boxes_->shown.clear();
    Action(*form, "actImport")->trigger();
    QVERIFY(boxes_->shown.isEmpty());
    QCOMPARE(form->Store().FolderChildren(0).size(), qsizetype(1));
  }

  // A bad file is refused with the file's name and what is wrong in it,
  // before any folder is asked; the casebook and the tree stay as they
  // were, and the folder shown still lists its records.
  void importBadFile_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("says");
    QTest::newRow("not JSON") << QByteArray("{\"format\": ") << QStringLiteral("不是有效的 JSON");
    QTest::newRow("another program's") << QByteArray("{\"a\": 1}") << QStringLiteral("不是导出的案例数据");
    QTest::newRow("a long title")
        << (QByteArray("{\"format\": \"Hexalore casebook\", \"version\": 1, \"folders\": "
                       "[{\"name\": \"甲\", \"records\": [{\"title\": \"") +
            QString(51, QChar(u'长')).toUtf8() + "\"}]}]}")
        << QStringLiteral("分类“甲”的第 1 条记录的标题太长");
    QTest::newRow("empty") << QByteArray("{\"format\": \"Hexalore casebook\", \"version\": 1, \"folders\": []}")
                           << QStringLiteral("没有分类，也没有记录");
  }

  void importBadFile() {
    QFETCH(QByteArray, content);
    QFETCH(QString, says);
    auto form = ShownMainForm(dataDir_);
    QVERIFY(form);
    Tree(*form)->setCurrentItem(Node(*form, QStringLiteral("六爻")));
    const QStringList before = Outline(*form);
    file_ = tmp_->filePath(QStringLiteral("bad.json"));
    WriteFile(file_, content);
    into_ = 0;
    Action(*form, "actImport")->trigger();
    QCOMPARE(asked_, QStringList{"open JSON 文件(*.json)"});
    QCOMPARE(boxes_->shown.size(), 1);
    QVERIFY2(boxes_->shown[0].text.contains(says), qPrintable(boxes_->shown[0].text));
    QVERIFY(boxes_->shown[0].text.contains(QDir::toNativeSeparators(file_)));
    QCOMPARE(Outline(*form), before);
    QCOMPARE(form->Records()->count(), 1);
  }

  // The export window itself: the folder offered when there is one, and
  // chosen first; without one only the whole casebook.
  void exportWindow() {
    TExportForm withFolder(QStringLiteral("六爻"));
    auto* folder = withFolder.findChild<QRadioButton*>(QStringLiteral("rbFolder"));
    QVERIFY(folder->isEnabled() && folder->isChecked());
    QCOMPARE(folder->text(), QStringLiteral("分类“六爻”及其子分类"));
    QVERIFY(!withFolder.Choice().wholeCasebook);
    QCOMPARE(withFolder.Choice().format, ExchangeFormat::Json);
    withFolder.findChild<QRadioButton*>(QStringLiteral("rbCsv"))->setChecked(true);
    QCOMPARE(withFolder.Choice().format, ExchangeFormat::Csv);
    TExportForm without{QString()};
    QVERIFY(!without.findChild<QRadioButton*>(QStringLiteral("rbFolder"))->isEnabled());
    QVERIFY(without.Choice().wholeCasebook);
  }
};

QTEST_MAIN(CasebookExchangeTest)
#include "casebook_exchange_test.moc"
