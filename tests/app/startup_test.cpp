// The program's start-up on a casebook: one running Omenry per casebook (a
// second program, the real Omenry, holds the lock), a damaged file reported
// in the recovery dialog, left alone or restored from the chosen backup, the
// day's automatic backup, the backup at close, and the command "备份数据库…".

#include <QAction>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QElapsedTimer>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "casebook_backup.h"
#include "casebook_care.h"
#include "casebook_store.h"
#include "damage.h"
#include "folder_tree.h"
#include "main_form.h"
#include "main_form_parts.h"
#include "recovery_parts.h"
#include "skin.h"
#include "startup.h"
#include "test_support.h"
#include "window_test.h"

#include <chrono>
#include <thread>

using namespace main_form_parts;
using namespace recovery_parts;
using testing_support::FileHash;

namespace {

constexpr auto kOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                         QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;

QList<TMainForm*> MainWindows() {
  QList<TMainForm*> forms;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* f = qobject_cast<TMainForm*>(w)) forms << f;
  return forms;
}

QString LongText() {
  QString text;
  for (int i = 0; i < 2000; ++i) text += QStringLiteral("卦%1 ").arg(i);
  return text;
}

}  // namespace

class StartupTest : public WindowTest {
  Q_OBJECT

  // A casebook with one folder "卦例" and two records, one of them long.
  void MakeCasebook() {
    CasebookStore s;
    s.OpenStore(dataDir_);
    const RowId f = s.AddFolder(0, QStringLiteral("卦例"));
    s.InsertRecord(f, {QStringLiteral("长"), QString(), QDate(2024, 1, 1), false, LongText()});
    s.InsertRecord(f, {QStringLiteral("短"), QString(), QDate(2024, 1, 2), false, QStringLiteral("正文")});
  }

  bool Shown(const QString& part) const {
    for (const auto& box : boxes_->shown)
      if (box.text.contains(part)) return true;
    return false;
  }

  void AddFolder(const QString& name) {
    CasebookStore s;
    s.OpenStore(dataDir_);
    s.AddFolder(0, name);
  }

 protected:
  void Finish() override {
    SetBackupDialogHook({});
    SetRecoveryFormHook({});
    CasebookStore::SetBackgroundCheckBytes(64 * 1024 * 1024);
  }

 private slots:
  void damagedCasebookIsReportedAndLeftAlone() {
    MakeCasebook();
    QVERIFY(DamageRecordsPage(dbPath()));
    const QByteArray before = FileHash(dbPath());
    {
      Recovery recovery;  // 取消
      TMainForm form(dataDir_);
      form.show();
      QVERIFY(QTest::qWaitForWindowExposed(&form));
      QCOMPARE(recovery.seen.size(), 1);
      const Recovery::Seen& seen = recovery.seen[0];
      QVERIFY(seen.reason.contains(QStringLiteral("损坏")));
      QVERIFY(seen.reason.contains(QStringLiteral("不会向这个文件写入任何内容")));
      QVERIFY(seen.noBackupShown);  // nothing to restore
      QVERIFY(seen.rows.isEmpty());
      QVERIFY(!seen.restoreEnabled);
      QVERIFY(seen.salvageShown);
      QVERIFY(boxes_->shown.isEmpty());
      // What can be read is shown.
      QCOMPARE(FolderNames(form), QStringList{QStringLiteral("卦例")});
      // The window says it is only read, and why; the commands that would
      // write are not offered, so nothing is typed in vain.
      QVERIFY(form.windowTitle().contains(QStringLiteral("只读：数据库已损坏")));
      auto* bar = form.findChild<QLabel*>(QStringLiteral("lblReadOnly"));
      QVERIFY(bar && bar->isVisible());
      QVERIFY(bar->text().contains(QStringLiteral("已损坏")));
      for (const char* name : {"actNewFolder", "actNewRecord", "actOpenRecord", "actDeleteRecord",
                               "actRenameFolder", "actDeleteFolder", "actEmptyRecycleBin"})
        QVERIFY2(!form.findChild<QAction*>(QLatin1String(name))->isEnabled(), name);
      QVERIFY(form.findChild<QAction*>(QStringLiteral("actRestoreBackup"))->isEnabled());
      boxes_->shown.clear();
      boxes_->names << QStringLiteral("新分类");
      form.findChild<QAction*>(QStringLiteral("actNewFolder"))->trigger();
      QCOMPARE(FolderNames(form), QStringList{QStringLiteral("卦例")});
      // No automatic backup is made of a damaged file, at start or at close.
      form.StartAutomaticBackup();
      QVERIFY(!form.Backup() || !form.Backup()->isRunning());
      form.close();
    }
    QCOMPARE(FileHash(dbPath()), before);
    QVERIFY(ListBackups(dataDir_).isEmpty());
  }

  void damagedCasebookIsRestoredFromTheChosenBackup() {
    MakeCasebook();
    const QDateTime older(QDate(2025, 6, 1), QTime(9, 0)), newer(QDate(2025, 6, 2), QTime(9, 0));
    QCOMPARE(MakeAutomaticBackup(dataDir_, older).outcome, CopyOutcome::Done);
    AddFolder(QStringLiteral("新"));
    QCOMPARE(MakeAutomaticBackup(dataDir_, newer).outcome, CopyOutcome::Done);
    AddFolder(QStringLiteral("后来"));  // after the last backup
    QVERIFY(DamageRecordsPage(dbPath()));
    const QByteArray damaged = FileHash(dbPath());

    // 取消: the damaged file stays and is only read.
    {
      Recovery recovery;
      TMainForm form(dataDir_);
      QCOMPARE(recovery.seen.size(), 1);
      const Recovery::Seen& seen = recovery.seen[0];
      QVERIFY(seen.reason.contains(QStringLiteral("损坏")));
      // Both backups, newest first, each with its time, size and records;
      // the newest is chosen.
      QCOMPARE(seen.rows.size(), 2);
      QCOMPARE(seen.rows[0].mid(0, 2), (QStringList{"2025-06-02 09:00", "自动备份"}));
      QCOMPARE(seen.rows[1].mid(0, 2), (QStringList{"2025-06-01 09:00", "自动备份"}));
      QCOMPARE(seen.rows[0][3], QStringLiteral("2"));
      QVERIFY(seen.rows[0][2].endsWith(QStringLiteral(" KB")));
      QCOMPARE(seen.rows[0][4], QDir::toNativeSeparators(ListBackups(dataDir_).first().path));
      QCOMPARE(seen.chosen, 0);
      QVERIFY(seen.restoreEnabled);
      QVERIFY(form.Store().isDamaged());
      QCOMPARE(FolderNames(form), (QStringList{"卦例", "新", "后来"}));
    }
    QCOMPARE(FileHash(dbPath()), damaged);

    // The older backup, chosen and restored: no question, for the damaged
    // file is kept.
    Recovery recovery([](TRecoveryForm& dialog) {
      ClickRow(dialog, 1);
      Click(dialog, "btnRestore");
    });
    TMainForm form(dataDir_);
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].caption, QStringLiteral("提示"));
    QVERIFY2(boxes_->shown[0].text.contains(QStringLiteral("已用 2025-06-01 09:00 的备份恢复数据库")),
             qPrintable(boxes_->shown[0].text));
    QVERIFY(!form.Store().isDamaged());
    QCOMPARE(FolderNames(form), QStringList{QStringLiteral("卦例")});
    // The damaged file is kept, with its log beside it when it had one.
    const QStringList kept = KeptDamagedFiles(dataDir_);
    QCOMPARE(kept.size(), 1);
    QCOMPARE(FileHash(dataDir_ + QLatin1Char('/') + kept.first()), damaged);
    QVERIFY(boxes_->shown[0].text.contains(kept.first()));
    // The restored casebook is written as usual.
    boxes_->names << QStringLiteral("再来");
    form.findChild<QAction*>(QStringLiteral("actNewFolder"))->trigger();
    QCOMPARE(FolderNames(form), (QStringList{"卦例", "再来"}));
    QCOMPARE(boxes_->shown.size(), 1);
  }

  // A large casebook is checked beside the window: the window comes up at
  // once, and the verdict follows.
  void largeDamagedCasebookIsReportedOnceTheWindowIsUp() {
    MakeCasebook();
    QCOMPARE(MakeAutomaticBackup(dataDir_, QDateTime(QDate(2025, 6, 1), QTime(9, 0))).outcome,
             CopyOutcome::Done);
    AddFolder(QStringLiteral("后来"));
    QVERIFY(DamageRecordsPage(dbPath()));
    const QByteArray damaged = FileHash(dbPath());
    CasebookStore::SetBackgroundCheckBytes(0);
    Recovery recovery([](TRecoveryForm& dialog) { Click(dialog, "btnRestore"); });
    const std::unique_ptr<TRunningOmenry> program = StartOmenry(dataDir_);
    QVERIFY(program);
    TMainForm& form = *program->form;
    QVERIFY(recovery.seen.isEmpty());
    QVERIFY(form.Store().isChecking());
    QCOMPARE(form.statusBar()->currentMessage(), QStringLiteral("正在检查数据库…"));
    QCOMPARE(FolderNames(form), (QStringList{"卦例", "后来"}));  // read meanwhile
    QTRY_COMPARE(recovery.seen.size(), 1);
    QVERIFY(recovery.seen[0].reason.contains(QStringLiteral("损坏")));
    QCOMPARE(boxes_->shown.size(), 1);
    QVERIFY(boxes_->shown[0].text.contains(QStringLiteral("已用 2025-06-01 09:00 的备份恢复数据库")));
    QCOMPARE(FolderNames(form), QStringList{QStringLiteral("卦例")});  // the tree shows the restored casebook
    QVERIFY(!form.Store().isDamaged());
    QVERIFY(form.statusBar()->currentMessage() != QStringLiteral("正在检查数据库…"));
    // The damaged file was never written; the restored casebook is backed up.
    const QStringList kept = KeptDamagedFiles(dataDir_);
    QCOMPARE(kept.size(), 1);
    QCOMPARE(FileHash(dataDir_ + QLatin1Char('/') + kept.first()), damaged);
    QTRY_COMPARE(ListBackups(dataDir_).size(), 2);
  }

  void largeSoundCasebookIsBackedUpOnceChecked() {
    MakeCasebook();
    CasebookStore::SetBackgroundCheckBytes(0);
    const std::unique_ptr<TRunningOmenry> program = StartOmenry(dataDir_);
    QVERIFY(program);
    TMainForm& form = *program->form;
    QVERIFY(form.Store().isChecking());
    QVERIFY(!form.Backup());  // not before the verdict
    QTRY_VERIFY(!form.Store().isChecking());
    QVERIFY(form.Backup());
    QTRY_VERIFY(!form.Backup()->isRunning());
    QCOMPARE(ListBackups(dataDir_).size(), 1);
    QVERIFY(boxes_->shown.isEmpty());
    // And it is written as usual.
    boxes_->names << QStringLiteral("新");
    form.findChild<QAction*>(QStringLiteral("actNewFolder"))->trigger();
    QCOMPARE(FolderNames(form), (QStringList{"卦例", "新"}));
  }

  void unreadableCasebookIsRestoredToo() {
    MakeCasebook();
    QCOMPARE(MakeAutomaticBackup(dataDir_, QDateTime(QDate(2025, 6, 1), QTime(9, 0))).outcome,
             CopyOutcome::Done);
    {
      QFile f(dbPath());
      QVERIFY(f.open(QIODevice::ReadWrite));
      f.write(QByteArray(4096, 'Z'));  // over the file's header
    }
    Recovery recovery([](TRecoveryForm& dialog) { Click(dialog, "btnRestore"); });
    TMainForm form(dataDir_);
    QCOMPARE(recovery.seen.size(), 1);
    QVERIFY(recovery.seen[0].reason.contains(QStringLiteral("数据库文件已损坏，无法读取")));
    QVERIFY(!recovery.seen[0].reason.contains(QStringLiteral("可以查看")));  // nothing could be read
    QCOMPARE(boxes_->shown.size(), 1);
    QVERIFY(boxes_->shown[0].text.contains(QStringLiteral("已用 2025-06-01 09:00 的备份恢复数据库")));
    QCOMPARE(FolderNames(form), QStringList{QStringLiteral("卦例")});
  }

  void secondStartOnOneCasebookIsRefused() {
    // The first Omenry: the real program, portable, with its Data directory
    // beside it, in a home of its own.
    const QString app = tmp_->path() + QStringLiteral("/app");
    const QString home = tmp_->path() + QStringLiteral("/home");
    QVERIFY(QDir().mkpath(app + QStringLiteral("/Data")));
    QVERIFY(QDir().mkpath(home + QStringLiteral("/run")));
    QFile::setPermissions(home + QStringLiteral("/run"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(QFile::copy(QStringLiteral(OMENRY_PATH), app + QStringLiteral("/Omenry")));
    QFile::setPermissions(app + QStringLiteral("/Omenry"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    dataDir_ = app + QStringLiteral("/Data");
    QProcess first;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/run"));
    env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));  // it is killed
    first.setProcessEnvironment(env);
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    first.start(app + QStringLiteral("/Omenry"), {});
    QVERIFY(first.waitForStarted());
    const QString lockPath = dataDir_ + QLatin1Char('/') + QLatin1String(kCasebookLockName);
    auto lockHolder = [&] {
      QFile f(lockPath);
      return f.open(QIODevice::ReadOnly) ? f.readLine().trimmed().toLongLong() : 0;
    };
    QTRY_COMPARE_WITH_TIMEOUT(lockHolder(), first.processId(), 60000);

    // The second start says so and makes no window.
    QVERIFY(!StartOmenry(dataDir_));
    QCOMPARE(boxes_->shown.size(), 1);
    QCOMPARE(boxes_->shown[0].caption, QStringLiteral("提示"));
    QVERIFY(boxes_->shown[0].text.contains(QStringLiteral("Omenry 已经在运行")));
    QVERIFY(boxes_->shown[0].text.contains(QDir::toNativeSeparators(dataDir_)));
    QVERIFY(MainWindows().isEmpty());

    // Once the first has gone (killed, so its lock is left behind), the
    // casebook can be opened again.
    first.kill();
    QVERIFY(first.waitForFinished());
    boxes_->shown.clear();
    const std::unique_ptr<TRunningOmenry> program = StartOmenry(dataDir_);
    QVERIFY(program);
    QVERIFY(program->form->isVisible());
    QVERIFY(program->form->Store().isOpen());
    QCOMPARE(lockHolder(), QCoreApplication::applicationPid());
    // And while this one runs, another start in the same process is refused
    // the same way.
    QVERIFY(!StartOmenry(dataDir_));
    QCOMPARE(MainWindows().size(), 1);
    QTRY_VERIFY(!program->form->Backup() || !program->form->Backup()->isRunning());
  }

  void startUpMakesTheDaysBackupBesideTheWindow() {
    MakeCasebook();
    {
      const std::unique_ptr<TRunningOmenry> program = StartOmenry(dataDir_);
      QVERIFY(program);
      TMainForm& form = *program->form;
      // The window is up and answers while the copy is made.
      QVERIFY(QTest::qWaitForWindowExposed(&form));
      QVERIFY(form.Backup());
      QTRY_VERIFY(!form.Backup()->isRunning());
      QVERIFY(boxes_->shown.isEmpty());
      QCOMPARE(form.statusBar()->currentMessage(), QStringLiteral("已自动备份数据库。"));
    }
    const QList<BackupFile> backups = ListBackups(dataDir_);
    QCOMPARE(backups.size(), 1);
    QVERIFY(qAbs(backups[0].time.secsTo(QDateTime::currentDateTime())) < 600);
    QVERIFY(!(QFile::permissions(BackupDir(dataDir_)) & kOthers));
    QVERIFY(!(QFile::permissions(backups[0].path) & kOthers));
    // The copy is the casebook.
    {
      const QString other = tmp_->path() + QStringLiteral("/Other");
      QVERIFY(QDir().mkpath(other));
      QVERIFY(QFile::copy(backups[0].path, other + QLatin1Char('/') + CasebookStore::DatabaseFileName()));
      CasebookStore copy;
      copy.OpenStore(other);
      QCOMPARE(copy.FolderChildren(0).size(), 1);
      copy.ListFolderRecords(copy.FolderChildren(0)[0].id);
      QCOMPARE(copy.records()->count(), 2);
    }
    // A second start on the same day makes none.
    {
      const std::unique_ptr<TRunningOmenry> program = StartOmenry(dataDir_);
      QVERIFY(program);
      QVERIFY(!program->form->Backup()->isRunning());
    }
    QCOMPARE(ListBackups(dataDir_).size(), 1);
  }

  // Closing the window backs up what changed since the newest backup; a
  // session that changed nothing, a damaged casebook and an empty one make
  // no backup.
  void closingBacksUpWhatChanged() {
    auto newestFolders = [this] {
      const QList<BackupFile> backups = ListBackups(dataDir_);
      return backups.isEmpty() ? -1 : ReadCopyContents(backups.first().path).folders;
    };
    // An empty casebook: nothing at start, nothing at close.
    {
      const std::unique_ptr<TRunningOmenry> program = StartOmenry(dataDir_);
      QVERIFY(program);
      QTRY_VERIFY(!program->form->Backup() || !program->form->Backup()->isRunning());
      program->form->close();
    }
    QVERIFY(ListBackups(dataDir_).isEmpty());

    MakeCasebook();
    {
      const std::unique_ptr<TRunningOmenry> program = StartOmenry(dataDir_);
      QVERIFY(program);
      TMainForm& form = *program->form;
      QTRY_VERIFY(!form.Backup()->isRunning());
      QCOMPARE(newestFolders(), 1);  // the start-up backup
      boxes_->names << QStringLiteral("新");
      form.findChild<QAction*>(QStringLiteral("actNewFolder"))->trigger();
      form.close();
      QVERIFY(!form.Store().isOpen());
    }
    QVERIFY(boxes_->shown.isEmpty());
    QCOMPARE(newestFolders(), 2);  // the new folder is in the newest backup

    // Nothing changed: no new backup.
    const QString newest = ListBackups(dataDir_).first().path;
    const QByteArray newestHash = FileHash(newest);
    const int count = int(QDir(BackupDir(dataDir_)).entryList(QDir::Files).size());
    {
      const std::unique_ptr<TRunningOmenry> program = StartOmenry(dataDir_);
      QVERIFY(program);
      program->form->close();
    }
    QCOMPARE(ListBackups(dataDir_).first().path, newest);
    QCOMPARE(FileHash(newest), newestHash);
    QCOMPARE(int(QDir(BackupDir(dataDir_)).entryList(QDir::Files).size()), count);

    // A change this session did not make (a session that ended without
    // closing, a tool) is backed up at close too.
    AddFolder(QStringLiteral("外来"));
    {
      TMainForm form(dataDir_);
      form.close();
    }
    QCOMPARE(newestFolders(), 3);

    // A damaged casebook: no backup at close, the last good one stays.
    AddFolder(QStringLiteral("损坏前"));
    QVERIFY(DamageRecordsPage(dbPath()));
    const QString good = ListBackups(dataDir_).first().path;
    {
      Recovery recovery;  // 取消
      TMainForm form(dataDir_);
      QCOMPARE(recovery.seen.size(), 1);
      boxes_->shown.clear();
      form.close();
      QVERIFY(boxes_->shown.isEmpty());
    }
    QCOMPARE(ListBackups(dataDir_).first().path, good);
    QCOMPARE(newestFolders(), 3);
  }

  // Long work on the casebook's files (the backup at close, a restore, a
  // salvage) runs beside the window: after half a second a progress box
  // says what is going on, and its 取消 reaches the work.
  void longWorkShowsItsProgressAndCanBeCancelled() {
    TMainForm form(dataDir_);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QProgressDialog* seen = nullptr;
    QString label;
    QTimer look;
    look.setInterval(100);
    connect(&look, &QTimer::timeout, this, [&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QProgressDialog*>(w);
        if (!box || !box->isVisible() || seen) continue;
        seen = box;
        label = box->labelText();
        QPushButton* cancel = box->findChild<QPushButton*>();
        QVERIFY(cancel);
        QCOMPARE(cancel->text(), QStringLiteral("取消"));
        QTest::mouseClick(cancel, Qt::LeftButton);
      }
    });
    look.start();
    QElapsedTimer clock;
    clock.start();
    bool cancelled = false;
    RunBeside(&form, QStringLiteral("备份数据库"), QStringLiteral("正在备份数据库，请稍候…"),
              [&](const std::atomic<bool>& cancel, const CopyProgress& progress) {
                for (int i = 0; i < 100 && !cancel; ++i) {
                  progress(i, 100);
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
                }
                cancelled = cancel;
              });
    look.stop();
    QVERIFY(seen);
    QCOMPARE(label, QStringLiteral("正在备份数据库，请稍候…"));
    QVERIFY(cancelled);
    QVERIFY(clock.elapsed() < 4000);  // it stopped at 取消, not after the 5 s of work

    // Work that cannot be cancelled and tells no progress (a restore): the
    // box shows all the same, without 取消.
    bool shown = false, withCancel = true;
    connect(&look, &QTimer::timeout, this, [&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QProgressDialog*>(w);
        if (!box || !box->isVisible() || box->labelText() != QStringLiteral("正在恢复数据库…")) continue;
        shown = true;
        withCancel = box->findChild<QPushButton*>() && box->findChild<QPushButton*>()->isVisible();
      }
    });
    look.start();
    RunBeside(
        &form, QStringLiteral("恢复备份"), QStringLiteral("正在恢复数据库…"),
        [](const std::atomic<bool>&, const CopyProgress&) {
          std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        },
        false);
    look.stop();
    QVERIFY(shown);
    QVERIFY(!withCancel);
  }

  void backupCommandWritesACopyWhereTheUserChooses() {
    MakeCasebook();
    TMainForm form(dataDir_);
    QAction* command = form.findChild<QAction*>(QStringLiteral("actBackupDatabase"));
    QVERIFY(command);
    QCOMPARE(command->text(), QStringLiteral("备份数据库…"));
    QString chosen;
    QString suggested;
    SetBackupDialogHook([&](const QString& s) {
      suggested = s;
      return chosen;
    });
    // Cancelled: nothing.
    command->trigger();
    QVERIFY(suggested.endsWith(QStringLiteral(".sqlite")));
    QVERIFY(boxes_->shown.isEmpty());
    // Into the data directory itself: refused.
    chosen = dataDir_ + QStringLiteral("/copy.sqlite");
    command->trigger();
    QCOMPARE(boxes_->shown.size(), 1);
    QVERIFY(boxes_->shown[0].text.contains(QStringLiteral("不能把备份写在数据库所在的目录中")));
    QVERIFY(!QFile::exists(chosen));
    // Elsewhere: a copy, owner-only, and the user is told where.
    boxes_->shown.clear();
    chosen = tmp_->path() + QStringLiteral("/copies/我的备份.sqlite");
    QVERIFY(QDir().mkpath(tmp_->path() + QStringLiteral("/copies")));
    command->trigger();
    SetBackupDialogHook({});
    QCOMPARE(boxes_->shown.size(), 1);
    QVERIFY(boxes_->shown[0].text.contains(QStringLiteral("数据库已备份到")));
    QVERIFY(boxes_->shown[0].text.contains(QDir::toNativeSeparators(chosen)));
    QVERIFY(QFile::exists(chosen));
    QVERIFY(!(QFile::permissions(chosen) & kOthers));
    const QString other = tmp_->path() + QStringLiteral("/Other");
    QVERIFY(QDir().mkpath(other));
    QVERIFY(QFile::copy(chosen, other + QLatin1Char('/') + CasebookStore::DatabaseFileName()));
    CasebookStore copy;
    copy.OpenStore(other);
    QCOMPARE(copy.FolderChildren(0).size(), 1);
    QCOMPARE(copy.FolderChildren(0)[0].name, QStringLiteral("卦例"));
  }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
