// The recovery dialog, worked as the user works it: 文件 → "恢复备份…" on a
// sound casebook (choose a backup, asked first, undo), a file pointed to, an
// empty newest backup beside a full copy of the user's, and the salvage of a
// damaged casebook at start, with and without a backup.

#include <QAction>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "casebook_backup.h"
#include "casebook_care.h"
#include "casebook_salvage.h"
#include "casebook_store.h"
#include "damage.h"
#include "folder_tree.h"
#include "main_form.h"
#include "main_form_parts.h"
#include "recovery_parts.h"
#include "skin.h"
#include "test_support.h"
#include "window_test.h"

using namespace main_form_parts;
using namespace recovery_parts;
using testing_support::FileHash;

namespace {

// The titles of a folder's records, as the window lists them.
QStringList Titles(TMainForm& form, const QString& folder) {
  for (QTreeWidgetItemIterator it(Tree(form)); *it; ++it) {
    if ((*it)->text(0) != folder) continue;
    Tree(form)->setCurrentItem(*it);
    QStringList titles;
    for (int i = 0; i < form.Records()->count(); ++i) {
      form.Records()->setCurrentRow(i);
      titles << form.Records()->currentTitle();
    }
    titles.sort();
    return titles;
  }
  return {QStringLiteral("<no folder %1>").arg(folder)};
}

}  // namespace

class RecoveryTest : public WindowTest {
  Q_OBJECT

  // A folder "卦例" with `records` records, one of them long (a damaged
  // page can fall in its text).
  void MakeCasebook(int records) {
    CasebookStore s;
    s.OpenStore(dataDir_);
    const RowId f = s.AddFolder(0, QStringLiteral("卦例"));
    s.InsertRecord(f, {QStringLiteral("长文"), QString(), QDate(2024, 1, 1), false, QString(20000, QChar(0x5366))});
    for (int i = 1; i < records; ++i)
      s.InsertRecord(f, {QStringLiteral("例%1").arg(i), QString(), QDate(2024, 1, 2), false, QStringLiteral("正文%1").arg(i)});
  }

  void AddRecord(const QString& folder, const QString& title) {
    CasebookStore s;
    s.OpenStore(dataDir_);
    RowId id = 0;
    for (const FolderRow& row : s.FolderChildren(0))
      if (row.name == folder) id = row.id;
    if (id == 0) id = s.AddFolder(0, folder);
    s.InsertRecord(id, {title, QString(), QDate(2024, 3, 1), false, QStringLiteral("后来写的")});
  }

  QString Copy(const char* name) {
    const QString path = tmp_->path() + QLatin1Char('/') + QLatin1String(name);
    if (!QFile::copy(dbPath(), path)) return QString();
    return path;
  }

 protected:
  void Finish() override {
    SetBackupDialogHook({});
    SetRecoveryFileHook({});
    SetRecoveryFormHook({});
  }

 private slots:
  // 文件 → 恢复备份… on a sound casebook: every backup listed, the user's
  // own copy too; restoring asks first (取消 keeps everything), then the
  // tree shows the restored casebook; the replaced one is listed and can be
  // chosen back.
  void commandRestoresTheChosenBackupAfterAsking() {
    MakeCasebook(3);
    QCOMPARE(MakeAutomaticBackup(dataDir_, QDateTime(QDate(2025, 6, 1), QTime(9, 0))).outcome,
             CopyOutcome::Done);
    AddRecord(QStringLiteral("六爻"), QStringLiteral("新一"));
    auto form = ShownMainForm(dataDir_);
    QVERIFY(form);
    // The user's own copy, where the user chose.
    const QString mine = tmp_->path() + QStringLiteral("/mine.sqlite");
    SetBackupDialogHook([&](const QString&) { return mine; });
    form->findChild<QAction*>(QStringLiteral("actBackupDatabase"))->trigger();
    QVERIFY(QFile::exists(mine));
    QCOMPARE(RememberedBackupCopies(), QStringList{mine});
    boxes_->shown.clear();
    // Then more is written.
    boxes_->names << QStringLiteral("八字");
    Tree(*form)->setCurrentItem(Tree(*form)->topLevelItem(0));
    form->findChild<QAction*>(QStringLiteral("actNewFolder"))->trigger();
    QCOMPARE(FolderNames(*form), (QStringList{"卦例", "六爻", "八字"}));
    const QByteArray current = FileHash(dbPath());

    QAction* command = form->findChild<QAction*>(QStringLiteral("actRestoreBackup"));
    QVERIFY(command);
    QCOMPARE(command->text(), QStringLiteral("恢复备份…"));
    QVERIFY(form->findChild<QMenu*>(QStringLiteral("mnuFile"))->actions().contains(command));

    // The automatic backup, chosen; 取消 at the question.
    Recovery recovery([](TRecoveryForm& dialog) {
      ClickRow(dialog, 1);
      Click(dialog, "btnRestore");
    });
    command->trigger();
    QCOMPARE(recovery.seen.size(), 1);
    const Recovery::Seen& seen = recovery.seen[0];
    QVERIFY(!seen.salvageShown);  // nothing to salvage from a sound casebook
    QCOMPARE(seen.rows.size(), 2);
    QCOMPARE(seen.rows[0][1], QStringLiteral("手动备份"));
    QCOMPARE(seen.rows[0][3], QStringLiteral("4"));
    QCOMPARE(seen.rows[0][4], QDir::toNativeSeparators(mine));
    QCOMPARE(seen.rows[1].mid(0, 2), (QStringList{"2025-06-01 09:00", "自动备份"}));
    QCOMPARE(seen.rows[1][3], QStringLiteral("3"));
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].caption, QStringLiteral("确认"));
    QCOMPARE(boxes_->shown[0].buttons, skin::Buttons::OkCancelDestructive);
    QVERIFY2(boxes_->shown[0].text.contains(QStringLiteral("要用 2025-06-01 09:00 的备份（3 条记录）替换当前的数据库（4 条记录）吗？")),
             qPrintable(boxes_->shown[0].text));
    QCOMPARE(FileHash(dbPath()), current);
    QCOMPARE(FolderNames(*form), (QStringList{"卦例", "六爻", "八字"}));

    // 确定: restored, and the tree is built anew.
    boxes_->shown.clear();
    boxes_->answers << skin::Answer::Ok;
    command->trigger();
    QCOMPARE(boxes_->shown.size(), 2);
    QVERIFY2(boxes_->shown[1].text.contains(QStringLiteral("已用 2025-06-01 09:00 的备份恢复数据库（3 条记录）")),
             qPrintable(boxes_->shown[1].text));
    QVERIFY(boxes_->shown[1].text.contains(QStringLiteral("原来的数据库已改名为")));
    QCOMPARE(FolderNames(*form), QStringList{QStringLiteral("卦例")});
    QVERIFY(form->Store().isOpen() && !form->Store().isDamaged());

    // The replaced casebook is listed; choosing it undoes the restore.
    recovery.act([](TRecoveryForm& dialog) {
      const QList<QStringList> rows = Rows(dialog);
      for (int i = 0; i < int(rows.size()); ++i)
        if (rows[i][1] == QStringLiteral("恢复前的数据库")) ClickRow(dialog, i);
      Click(dialog, "btnRestore");
    });
    boxes_->shown.clear();
    boxes_->answers << skin::Answer::Ok;
    command->trigger();
    QCOMPARE(recovery.seen.size(), 3);
    QCOMPARE(recovery.seen[2].rows.size(), 3);
    QCOMPARE(boxes_->shown.size(), 2);
    QCOMPARE(FolderNames(*form), (QStringList{"卦例", "六爻", "八字"}));
    QCOMPARE(Titles(*form, QStringLiteral("六爻")), QStringList{QStringLiteral("新一")});
  }

  // The newest automatic backup holds nothing (made of an empty casebook by
  // an older Omenry), the user's own copy holds the records. Both are listed
  // with their record counts, and the copy that holds something is the one
  // chosen.
  void anEmptyNewestBackupIsNotTheOneChosen() {
    MakeCasebook(11);
    const QString mine = Copy("mine.sqlite");
    {
      QSettings settings;
      settings.setValue(QStringLiteral("BackupCopies"), QStringList{mine});
    }
    {
      const QString empty = tmp_->path() + QStringLiteral("/Empty");
      CasebookStore s;
      s.OpenStore(empty);
      s.close();
      QVERIFY(QDir().mkpath(BackupDir(dataDir_)));
      QVERIFY(QFile::copy(empty + QStringLiteral("/casebook.sqlite"),
                          BackupDir(dataDir_) + QLatin1Char('/') +
                              BackupFileName(QDateTime::currentDateTime().addSecs(3600))));
    }
    QVERIFY(DamageRecordsPage(dbPath()));
    Recovery recovery([](TRecoveryForm& dialog) { Click(dialog, "btnRestore"); });
    TMainForm form(dataDir_);
    QCOMPARE(recovery.seen.size(), 1);
    const Recovery::Seen& seen = recovery.seen[0];
    QCOMPARE(seen.rows.size(), 2);
    QCOMPARE(seen.rows[0][1], QStringLiteral("自动备份"));
    QCOMPARE(seen.rows[0][3], QStringLiteral("0"));
    QCOMPARE(seen.rows[1][1], QStringLiteral("手动备份"));
    QCOMPARE(seen.rows[1][3], QStringLiteral("11"));
    QCOMPARE(seen.chosen, 1);
    QCOMPARE(Titles(form, QStringLiteral("卦例")).size(), 11);
  }

  // "选择文件…": a file that is no casebook is refused with a word; a
  // casebook anywhere is listed first, chosen, and restored.
  void aFilePointedToIsListedAndRestored() {
    MakeCasebook(2);
    const QString elsewhere = Copy("elsewhere.sqlite");
    const QString text = tmp_->path() + QStringLiteral("/notes.txt");
    {
      QFile f(text);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write("卦例\n");
    }
    AddRecord(QStringLiteral("卦例"), QStringLiteral("后来"));
    QVERIFY(DamageRecordsPage(dbPath()));
    QStringList files{text, elsewhere};
    SetRecoveryFileHook([&] { return files.takeFirst(); });
    Recovery recovery([this](TRecoveryForm& dialog) {
      Click(dialog, "btnChooseFile");
      QCOMPARE(boxes_->shown.size(), 1);
      QVERIFY(boxes_->shown[0].text.contains(QStringLiteral("不是 Omenry 的数据库")));
      QCOMPARE(Rows(dialog).size(), 0);
      QVERIFY(!Button(dialog, "btnRestore")->isEnabled());
      Click(dialog, "btnChooseFile");
      QCOMPARE(Rows(dialog).size(), 1);
      QCOMPARE(Rows(dialog)[0][1], QStringLiteral("选定的文件"));
      QCOMPARE(Rows(dialog)[0][3], QStringLiteral("2"));
      QCOMPARE(ChosenRow(dialog), 0);
      QVERIFY(!dialog.findChild<QLabel*>(QStringLiteral("lblNoBackup"))->isVisible());
      Click(dialog, "btnRestore");
    });
    TMainForm form(dataDir_);
    QVERIFY(recovery.seen[0].noBackupShown);
    QCOMPARE(boxes_->shown.size(), 2);
    QVERIFY(boxes_->shown[1].text.contains(QStringLiteral("的备份恢复数据库（2 条记录）")));
    QCOMPARE(Titles(form, QStringLiteral("卦例")), (QStringList{"例1", "长文"}));
    QVERIFY(QFile::exists(elsewhere));  // the file itself stays
  }

  // 抢救记录 at start: what the damaged file still gives, with what the
  // chosen backup adds; the user is told what was done, the damaged file is
  // kept, and the salvaged casebook is written as usual.
  void salvageKeepsWhatTheDamagedFileStillGives() {
    MakeCasebook(5);
    QCOMPARE(MakeAutomaticBackup(dataDir_, QDateTime(QDate(2025, 6, 1), QTime(9, 0))).outcome,
             CopyOutcome::Done);
    AddRecord(QStringLiteral("卦例"), QStringLiteral("备份之后"));
    AddRecord(QStringLiteral("六爻"), QStringLiteral("新分类里"));
    QVERIFY(DamageRecordsPage(dbPath()));  // the long record's text
    const QByteArray damaged = FileHash(dbPath());

    Recovery recovery([](TRecoveryForm& dialog) { Click(dialog, "btnSalvage"); });
    TMainForm form(dataDir_);
    QCOMPARE(recovery.seen.size(), 1);
    QVERIFY(recovery.seen[0].salvageShown);
    QVERIFY(recovery.seen[0].reason.contains(QStringLiteral("抢救记录")));
    QCOMPARE(recovery.seen[0].chosen, 0);  // the backup
    QCOMPARE(boxes_->shown.size(), 1);
    const QString told = boxes_->shown[0].text;
    QVERIFY2(told.contains(QStringLiteral("已把损坏的文件中还能读出的 2 个分类、7 条记录抢救到新的数据库中")),
             qPrintable(told));
    QVERIFY2(told.contains(QStringLiteral("其中 1 条记录只能读出一部分，已换用 2025-06-01 09:00 的备份中完整的记录")),
             qPrintable(told));
    QVERIFY2(told.contains(QStringLiteral("从 2025-06-01 09:00 的备份补上了损坏的文件中读不出的 0 个分类、0 条记录")),
             qPrintable(told));
    QVERIFY(!told.contains(QStringLiteral("部分内容无法读出")));  // the backup had the long text whole
    QVERIFY(told.contains(QStringLiteral("损坏的原文件已改名保留为")));
    QVERIFY(!form.Store().isDamaged());
    QCOMPARE(FolderNames(form), (QStringList{"卦例", "六爻"}));
    QCOMPARE(Titles(form, QStringLiteral("卦例")),
             (QStringList{"例1", "例2", "例3", "例4", "备份之后", "长文"}));
    QCOMPARE(Titles(form, QStringLiteral("六爻")), QStringList{QStringLiteral("新分类里")});
    const QStringList kept = KeptDamagedFiles(dataDir_);
    QCOMPARE(kept.size(), 1);
    QCOMPARE(FileHash(dataDir_ + QLatin1Char('/') + kept.first()), damaged);
    QVERIFY(QDir(dataDir_).entryList({QStringLiteral("salvage-*")}, QDir::Dirs).isEmpty());
    boxes_->names << QStringLiteral("抢救之后");
    form.findChild<QAction*>(QStringLiteral("actNewFolder"))->trigger();
    QCOMPARE(FolderNames(form).last(), QStringLiteral("抢救之后"));
  }

  // Without any backup, what cannot be read is marked in the record.
  void salvageWithoutABackupMarksWhatIsLost() {
    MakeCasebook(3);
    QVERIFY(DamageRecordsPage(dbPath()));
    Recovery recovery([](TRecoveryForm& dialog) {
      QVERIFY(!Button(dialog, "btnRestore")->isEnabled());
      Click(dialog, "btnSalvage");
    });
    TMainForm form(dataDir_);
    QCOMPARE(boxes_->shown.size(), 1);
    const QString told = boxes_->shown[0].text;
    QVERIFY2(told.contains(QStringLiteral("1 个分类、3 条记录")), qPrintable(told));
    QVERIFY(told.contains(QStringLiteral("有 1 条记录的部分内容无法读出，已在记录中注明")));
    QVERIFY(!told.contains(QStringLiteral("的备份补上")));
    QCOMPARE(Titles(form, QStringLiteral("卦例")), (QStringList{"例1", "例2", "长文"}));
    for (int i = 0; i < form.Records()->count(); ++i) {
      form.Records()->setCurrentRow(i);
      if (form.Records()->currentTitle() == QStringLiteral("长文"))
        QCOMPARE(Preview(form)->toPlainText(), QString::fromUtf16(kUnreadableText));
    }
  }
};

QTEST_MAIN(RecoveryTest)
#include "recovery_test.moc"
