#include "casebook_care.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>
#include <QSettings>
#include <QTimer>

#include <atomic>
#include <thread>

#include "casebook_backup.h"
#include "casebook_store.h"
#include "recovery_dialog.h"
#include "skin.h"

namespace {

BackupDialogHook& Hook() {
  static BackupDialogHook hook;
  return hook;
}

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

QString AskFileName(QWidget* parent, const QString& suggested) {
  if (Hook()) return Hook()(suggested);
  QFileDialog dialog(parent, QStringLiteral("备份数据库"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(QString::fromUtf16(kBackupFilter));
  dialog.setDefaultSuffix(QString::fromLatin1(kBackupSuffix));
  dialog.setDirectory(QFileInfo(suggested).path());
  dialog.selectFile(QFileInfo(suggested).fileName());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().first();
}

// The directory as the system finds it (links resolved), or the path made
// absolute when it does not exist.
QString RealDir(const QString& dir) {
  const QString real = QFileInfo(dir).canonicalFilePath();
  return real.isEmpty() ? QDir::cleanPath(QFileInfo(dir).absoluteFilePath()) : real;
}

// Puts a copy that 备份数据库… wrote first in the remembered list.
void RememberBackupCopy(const QString& path) {
  QStringList copies = RememberedBackupCopies();
  const QString absolute = QFileInfo(path).absoluteFilePath();
  copies.removeAll(absolute);
  copies.prepend(absolute);
  while (copies.size() > kRememberedCopies) copies.removeLast();
  QSettings settings;
  settings.setValue(QStringLiteral("BackupCopies"), copies);
}

}  // namespace

void SetBackupDialogHook(BackupDialogHook hook) { Hook() = std::move(hook); }

bool OfferBackupForDamagedCasebook(QWidget* parent, CasebookStore& store, const QString& dataDir) {
  if (store.isOpen() && !store.isDamaged()) return false;
  return OfferRecovery(parent, store, dataDir);
}

bool BackupCasebookTo(QWidget* parent, CasebookStore& store) {
  if (!store.isOpen()) {
    skin::ShowError(parent, QStringLiteral("数据库没有打开，无法备份。"));
    return false;
  }
  const QString suggested =
      QDir::homePath() + QStringLiteral("/casebook-") +
      QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".sqlite");
  const QString target = AskFileName(parent, suggested);
  if (target.isEmpty()) return false;
  // Nothing is written beside the casebook: a copy there could take the
  // place of the casebook's own files (its log, its lock).
  if (RealDir(QFileInfo(target).absolutePath()) == RealDir(store.dataDir())) {
    skin::Message(parent, QStringLiteral("提示"),
                  QStringLiteral("不能把备份写在数据库所在的目录中：\n%1\n\n请另选一个位置。")
                      .arg(Native(store.dataDir())),
                  skin::Buttons::Ok, skin::Icon::Warning);
    return false;
  }

  CopyOutcome outcome = CopyOutcome::Failed;
  QString error;
  const QString source = store.databasePath();
  RunBeside(parent, QStringLiteral("备份数据库"), QStringLiteral("正在备份数据库…"),
            [&](const std::atomic<bool>& cancel, const CopyProgress& progress) {
              outcome = CopyDatabase(source, target, &cancel, progress, &error);
            });
  switch (outcome) {
    case CopyOutcome::Done:
      RememberBackupCopy(target);
      skin::Message(parent, QStringLiteral("提示"),
                    QStringLiteral("数据库已备份到：\n%1").arg(Native(target)), skin::Buttons::Ok,
                    skin::Icon::Information);
      return true;
    case CopyOutcome::Cancelled:
    case CopyOutcome::Skipped:
      return false;
    case CopyOutcome::Failed:
      skin::ShowError(parent, QStringLiteral("备份数据库失败：%1").arg(error));
      return false;
  }
  return false;
}

void RunBeside(QWidget* parent, const QString& title, const QString& label, const BesideWork& work,
               bool cancellable) {
  constexpr int kShowAfterMs = 500;
  std::atomic<bool> cancel{false};
  std::atomic<int> done{0}, total{0};
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    work(cancel, [&](int d, int t) {
      done = d;
      total = t;
    });
    finished = true;
  });
  {
    QProgressDialog progress(label, QStringLiteral("取消"), 0, 0, parent);
    progress.setWindowTitle(title);
    if (!cancellable) progress.setCancelButton(nullptr);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(kShowAfterMs);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    QElapsedTimer running;
    running.start();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
      if (total > 0) {
        progress.setMaximum(total);
        progress.setValue(done);
      }
      // Work that tells no progress gets the box too (running to and fro).
      if (!progress.isVisible() && !finished && running.hasExpired(kShowAfterMs)) progress.show();
      if (progress.wasCanceled()) cancel = true;
      if (finished) loop.quit();
    });
    poll.start();
    if (!finished) loop.exec();
  }
  worker.join();
}

QStringList RememberedBackupCopies() {
  return QSettings().value(QStringLiteral("BackupCopies")).toStringList();
}

CopyOutcome BackUpOnClose(QWidget* parent, CasebookStore& store) {
  if (!store.isOpen() || store.isDamaged() || store.isChecking() || !store.checkError().isEmpty())
    return CopyOutcome::Skipped;
  // A casebook in a place that cannot be written has no backup directory
  // to write into either (one locked by another program has).
  const ReadOnlyReason reason = store.readOnlyReason();
  if (reason != ReadOnlyReason::None && reason != ReadOnlyReason::Locked) return CopyOutcome::Skipped;
  const QString dir = store.dataDir();
  store.close();
  if (!CasebookChangedSinceBackup(dir)) return CopyOutcome::Skipped;
  AutomaticBackupResult result;
  const QDateTime now = QDateTime::currentDateTime();
  RunBeside(parent, QStringLiteral("备份数据库"), QStringLiteral("正在备份数据库，请稍候…"),
            [&](const std::atomic<bool>& cancel, const CopyProgress& progress) {
              result = MakeAutomaticBackup(dir, now, &cancel, progress);
            });
  if (result.outcome == CopyOutcome::Failed)
    skin::ShowError(parent, QStringLiteral("关闭前自动备份数据库失败：%1").arg(result.error));
  return result.outcome;
}
